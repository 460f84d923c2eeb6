// The shell's help for ordinary windows and dialogs: SHInitDialog (size a
// dialog to the screen, give it the navigation bar's OK button, lower the
// input panel, an empty menu bar), SHHandleWMActivate and
// SHHandleWMSettingChange (keep a window fitted to the input panel),
// SHRecognizeGesture (tap and hold) and SHLoadDIBitmap.
#include <algorithm>
#include <cstdlib>

#include "gwes/window_manager.h"
#include "shell/shell.h"

using namespace shell;

namespace {

constexpr DWORD kHoldMs = 400;      // how long a pen must stay down for a tap and hold
constexpr DWORD kLongHoldMs = 800;  // SHRG_LONGDELAY
constexpr int kHoldSlack = 5;       // pixels the pen may wander while held

// The rectangle a dialog is sized to: below the navigation bar (when shown),
// down to the input panel, the menu bar or the bottom of the screen.
RECT DialogRect(DWORD flags) {
    RECT work;
    gwes::SystemWorkArea(&work);
    RECT r = {0, work.top, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (flags & SHIDIF_FULLSCREENNOMENUBAR) return r;
    r.bottom = gwes::MenuBarRect().top;
    // Only SHIDIF_SIZEDLG gives way to the input panel.
    if (!(flags & SHIDIF_SIZEDLGFULLSCREEN) && InputPanelUp()) r.bottom = std::min(r.bottom, work.bottom);
    return r;
}

}  // namespace

BOOL SHInitDialog(PSHINITDLGINFO info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!IsWindow(info->hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!(info->dwMask & SHIDIM_FLAGS)) return TRUE;
    const DWORD flags = info->dwFlags;
    EnsureTaskBar();
    if (flags & SHIDIF_SIPDOWN) SetInputPanel(false);
    if (flags & SHIDIF_DONEBUTTON) SetDoneButton(info->hDlg, DoneButton::Ok);
    else if (flags & SHIDIF_CANCELBUTTON) SetDoneButton(info->hDlg, DoneButton::Cancel);
    if (flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) {
        // A dialog sized to the screen shows its title in the navigation bar
        // only: its own caption strip would repeat it under the bar.
        LONG style = GetWindowLongW(info->hDlg, GWL_STYLE);
        UINT frame = 0;
        if ((style & WS_CAPTION) == WS_CAPTION) {
            SetWindowLongW(info->hDlg, GWL_STYLE, style & ~static_cast<LONG>(WS_CAPTION | WS_SYSMENU));
            frame = SWP_FRAMECHANGED;
        }
        RECT r = DialogRect(flags);
        SetWindowPos(info->hDlg, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | frame);
    }
    if (flags & SHIDIF_EMPTYMENU) {
        SHMENUBARINFO mb = {};
        mb.cbSize = sizeof(mb);
        mb.hwndParent = info->hDlg;
        mb.dwFlags = SHCMBF_EMPTYBAR;
        SHCreateMenuBar(&mb);
    }
    return TRUE;
}

BOOL SHHandleWMActivate(HWND window, WPARAM wParam, LPARAM /*lParam*/, SHACTIVATEINFO* info, DWORD /*flags*/) {
    if (!info || !IsWindow(window)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (LOWORD(wParam) == WA_INACTIVE) {
        // Remember the panel as this window leaves it.
        info->fSipOnDeactivation = InputPanelUp() ? 1 : 0;
        info->fSipUp = info->fSipOnDeactivation;
        info->fActive = 0;
    } else {
        // Back as the window left it (a new window starts with the panel down).
        SetInputPanel(info->fSipUp != 0);
        info->fActive = 1;
    }
    return TRUE;
}

BOOL SHHandleWMSettingChange(HWND window, WPARAM wParam, LPARAM /*lParam*/, SHACTIVATEINFO* info) {
    if (wParam != SPI_SETSIPINFO) return FALSE;
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    SIPINFO si = {};
    si.cbSize = sizeof(si);
    FillSipInfo(&si);
    bool up = (si.fdwFlags & SIPF_ON) != 0;
    if (info) info->fSipUp = up ? 1 : 0;
    RECT r = si.rcVisibleDesktop;
    // With the panel down the window ends above its menu bar.
    if (!up && MenuBarOf(window)) r.bottom = std::min(r.bottom, gwes::MenuBarRect().top);
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}

DWORD SHRecognizeGesture(SHRGINFO* info) {
    if (!info || info->cbSize != sizeof(SHRGINFO) || !IsWindow(info->hwndClient)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD hold = (info->dwFlags & SHRG_LONGDELAY) ? kLongHoldMs : kHoldMs;
    const DWORD start = GetTickCount();
    for (;;) {
        // The pen going up or away ends it; the message stays for the window.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
            if (msg.message != WM_MOUSEMOVE) return 0;
            POINT p = msg.pt;
            ScreenToClient(info->hwndClient, &p);
            if (std::abs(p.x - info->ptDown.x) > kHoldSlack || std::abs(p.y - info->ptDown.y) > kHoldSlack) return 0;
            PeekMessageW(&msg, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);  // a tremble of the hand
        }
        if (!(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) return 0;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= hold) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, hold - elapsed, QS_MOUSE);
    }
    if (info->dwFlags & SHRG_NOTIFYPARENT) {
        NMRGINFO nm = {};
        nm.hdr.hwndFrom = info->hwndClient;
        nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(info->hwndClient));
        nm.hdr.code = GN_CONTEXTMENU;
        nm.ptAction = info->ptDown;
        ClientToScreen(info->hwndClient, &nm.ptAction);
        nm.dwItemSpec = 0;
        HWND parent = GetParent(info->hwndClient);
        if (parent) SendMessageW(parent, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
    }
    return GN_CONTEXTMENU;
}

HBITMAP SHLoadDIBitmap(LPCWSTR fileName) {
    if (!fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HBITMAP>(
        LoadImageW(nullptr, fileName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
}
