// The small Pocket PC helpers every window uses: resource strings, message
// boxes from string formats, the input panel, full-screen dialogs, help,
// pumping messages, and the property-sheet runner.
#pragma once

#include <windows.h>

#include <vector>

class WindowBase;

// String `id` of `instance` (the program's when null) into `buffer` (a
// shared 256-character buffer when null); a missing string is empty.
LPCWSTR LoadResString(UINT id, HINSTANCE instance = nullptr, LPWSTR buffer = nullptr,
                      int capacity = 256);

// The string caption of a message box when none is given or it is empty.
constexpr UINT kErrorCaptionId = 412;  // "ERROR"
// Loads format `formatId`, fills it with the arguments (wsprintfW rules,
// 4096 characters at most) and shows it; the message box result.
int ShowMessage(HWND owner, HINSTANCE instance, UINT flags, UINT captionId, UINT formatId, ...);

// Dispatches waiting messages until none is left.
void PumpMessages();
void SetInputPanel(HWND window, bool up);
// Moves the window onto the visible desktop the input panel leaves.
void FitToVisibleDesktop(HWND window);
// The shell's dialog initialisation with `flags` plus full-screen sizing.
void InitFullScreenDialog(HWND dialog, DWORD flags);
// Opens help `file` (at `anchor`) with the device's help viewer; false when
// the viewer could not be started (the caller tells the user).
bool ShowHelp(LPCWSTR file, LPCWSTR anchor = nullptr);

// A property sheet of dialog pages bound to their objects.
struct PropertySheetPage {
    int templateId;
    WindowBase* page;
};
struct PropertySheetSpec {
    UINT captionId;
    HWND parent;
    HINSTANCE instance;
    std::vector<PropertySheetPage> pages;
};
constexpr int kPropertySheetTabId = 12320;
// Page activation reaches the page as this message.
constexpr UINT MSG_PAGE_ACTIVE = 32766;
// True when the sheet closed with OK.
bool RunPropertySheet(const PropertySheetSpec& sheet);
