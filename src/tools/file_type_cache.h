// The shell's type names and system icons as the file chooser shows them.
// Folders and the handful of extensions every folder of a handheld is full of
// ("2bp", "bmp", "gif", "psw", "pwi", "htm", "wav", "dll") are looked up once
// per run and reused; any other file is asked about on its own. One cache per
// process, used from the thread that runs the chooser.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

struct FileTypeInfo {
    std::u16string typeName;
    int icon = 0;  // index into the shell's system image lists
};

// The type of `name` (a file or, with FILE_ATTRIBUTE_DIRECTORY, a folder)
// inside `folder`.
FileTypeInfo LookUpFileType(const std::u16string& folder, const std::u16string& name, DWORD attributes);

// The shell's system image lists (never destroyed: they belong to the shell).
HIMAGELIST SystemSmallIcons();
HIMAGELIST SystemLargeIcons();
