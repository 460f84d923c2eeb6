// The installed file chooser.
#include "app/file_chooser.h"

namespace {
FileChooser g_chooser = nullptr;
}

void SetFileChooser(FileChooser chooser) { g_chooser = chooser; }
FileChooser CurrentFileChooser() { return g_chooser; }
