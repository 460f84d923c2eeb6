// Resource strings, message boxes, the input panel, full-screen dialogs,
// help and the property-sheet runner.
#include "app/shell_helpers.h"

#include <aygshell.h>
#include <commctrl.h>

#include <cstdarg>

#include "app/window_base.h"

namespace {
WCHAR g_sharedString[256];

// The page procedure: binds the page object at WM_INITDIALOG and turns the
// sheet's notifications into the commands the pages already handle.
INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* record = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
        return WindowBase::SharedProc(hwnd, message, wParam, record ? record->lParam : 0);
    }
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        switch (header->code) {
        case PSN_QUERYCANCEL:
            SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, FALSE);  // cancelling is allowed
            return TRUE;
        case PSN_HELP:
            SendMessageW(hwnd, WM_COMMAND, 57670, 0);
            return TRUE;
        case PSN_APPLY:
            SendMessageW(hwnd, WM_COMMAND, IDOK, 0);
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        case PSN_SETACTIVE:
            SendMessageW(hwnd, MSG_PAGE_ACTIVE, 0, 0);
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
            return TRUE;
        default:
            break;
        }
    }
    return WindowBase::SharedProc(hwnd, message, wParam, lParam);
}

int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED) {
        HWND tabs = GetDlgItem(sheet, kPropertySheetTabId);
        if (tabs) SetWindowLongW(tabs, GWL_STYLE, GetWindowLongW(tabs, GWL_STYLE) | TCS_BOTTOM);
        return 0;
    }
    if (message == PSCB_GETVERSION) return 0x20C;
    return 0;
}
}  // namespace

LPCWSTR LoadResString(UINT id, HINSTANCE instance, LPWSTR buffer, int capacity) {
    if (!buffer) {
        buffer = g_sharedString;
        capacity = 256;
    }
    if (capacity <= 0) return buffer;
    buffer[0] = 0;
    if (LoadStringW(instance ? instance : AppInstance(), id, buffer, capacity) <= 0) buffer[0] = 0;
    return buffer;
}

int ShowMessage(HWND owner, HINSTANCE instance, UINT flags, UINT captionId, UINT formatId, ...) {
    WCHAR format[1024];
    LoadResString(formatId, instance, format, 1024);
    static WCHAR text[4096];
    va_list args;
    va_start(args, formatId);
    vswprintf(text, 4096, format, args);
    va_end(args);
    WCHAR caption[256] = {};
    if (captionId) LoadResString(captionId, instance, caption, 256);
    if (!caption[0]) LoadResString(kErrorCaptionId, instance, caption, 256);
    if (!caption[0]) lstrcpynW(caption, u"ERROR", 256);
    return MessageBoxW(owner, text, caption, flags);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void SetInputPanel(HWND window, bool up) { SHSipPreference(window, up ? SIP_UP : SIP_DOWN); }

void FitToVisibleDesktop(HWND window) {
    SIPINFO info = {};
    info.cbSize = sizeof(info);
    if (!SHSipInfo(SPI_GETSIPINFO, 0, &info, 0)) return;
    const RECT& r = info.rcVisibleDesktop;
    MoveWindow(window, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

void InitFullScreenDialog(HWND dialog, DWORD flags) {
    SHINITDLGINFO info = {};
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    // A full-screen dialog covers the frame's menu bar with an empty one of
    // its own, so nothing of the frame behind it can be tapped.
    info.dwFlags = flags | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_EMPTYMENU;
    SHInitDialog(&info);
}

bool ShowHelp(LPCWSTR file, LPCWSTR anchor) {
    WCHAR commandLine[MAX_PATH * 2];
    if (anchor) {
        wsprintfW(commandLine, u"file:%s#%s", file, anchor);
    } else {
        wsprintfW(commandLine, u"file:%s", file);
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(u"PegHelp.exe", commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        nullptr, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool RunPropertySheet(const PropertySheetSpec& sheet) {
    std::vector<PROPSHEETPAGEW> pages(sheet.pages.size());
    for (size_t i = 0; i < pages.size(); ++i) {
        PROPSHEETPAGEW& page = pages[i];
        page = {};
        page.dwSize = sizeof(page);
        page.hInstance = sheet.instance;
        page.pszTemplate = MAKEINTRESOURCEW(sheet.pages[i].templateId);
        page.pfnDlgProc = &PageProc;
        page.lParam = reinterpret_cast<LPARAM>(sheet.pages[i].page);
    }
    WCHAR caption[256];
    LoadResString(sheet.captionId, sheet.instance, caption, 256);
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_MAXIMIZE | PSH_USECALLBACK;
    header.hwndParent = sheet.parent;
    header.hInstance = sheet.instance;
    header.pszCaption = caption;
    header.nPages = (UINT)pages.size();
    header.nStartPage = 0;
    header.ppsp = pages.data();
    header.pfnCallback = &SheetCallback;
    INT_PTR result = PropertySheetW(&header);
    if (sheet.parent) SetForegroundWindow(sheet.parent);
    return result == 1;
}
