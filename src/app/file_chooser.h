// The file chooser's request and the hook through which the program reaches
// it. The chooser itself lives with the utilities (src/tools), above the
// shell; the main frame and the album ask through CurrentFileChooser(), which
// is empty until the program installs one (their commands stay greyed then).
#pragma once

#include <windows.h>

// Flags of a request.
constexpr DWORD kChooseMustExist = 0x1;       // the path must exist
constexpr DWORD kChooseMustBeFile = 0x2;      // ... and be a file, not a folder
constexpr DWORD kChooseSave = 0x4;            // default extension, overwrite question
constexpr DWORD kChooseFolder = 0x8;          // folders only; the folder is the answer
constexpr DWORD kChooseNeedsName = 0x10;      // confirm only while the name has text
constexpr DWORD kChooseWildcards = 0x20;      // "*" and "?" allowed in the name
constexpr DWORD kChooseShowAll = 0x40;        // hidden files, "dll", "cpl", "drv" too
constexpr DWORD kChooseStartAllFiles = 0x80;  // with 0x20: the name starts as "*.*"
constexpr DWORD kChooseNotFullScreen = 0x100;

// What the callers ask with.
constexpr DWORD kChooseToOpen = kChooseWildcards | kChooseStartAllFiles;  // images, albums
constexpr DWORD kChooseToSave = kChooseSave | kChooseNeedsName;          // frames, views, albums

struct FileDialogRequest {
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;  // where the strings come from (the program's when null)
    // The filter: extensions without dot, each NUL-terminated, ended by an
    // empty one; its first entry is the default extension when saving. Null
    // lists every file.
    LPCWSTR extensions = nullptr;
    // In: the starting file or folder; out: the chosen path on success.
    WCHAR path[MAX_PATH] = {};
    LPCWSTR title = nullptr;       // replaces the caption "Open file..."
    LPCWSTR buttonText = nullptr;  // replaces the confirm button's "&Open"
    DWORD flags = 0;
};

// 1 when the user confirmed (the path then holds the choice), 0 on cancel.
typedef int (*FileChooser)(FileDialogRequest* request);
void SetFileChooser(FileChooser chooser);
FileChooser CurrentFileChooser();
