#include "tools/utilities.h"

#include "app/file_chooser.h"
#include "app/main_frame.h"
#include "app/utility_hooks.h"
#include "tools/file_dialog.h"

void InstallUtilities() {
    UtilityHooks hooks;
    SetUtilityHooks(hooks);
    SetFileChooser(ShowFileDialog);
}
