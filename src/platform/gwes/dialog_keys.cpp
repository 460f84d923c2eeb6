// The dialog manager's keyboard: IsDialogMessageW (Tab, the arrow keys,
// Enter, Escape and mnemonics) and the tab and group order that
// GetNextDlgTabItem and GetNextDlgGroupItem walk.
//
// A dialog's controls, in order, are its children in z-order (creation
// order, which is the template's order); a child with WS_EX_CONTROLPARENT
// (a property sheet page) is replaced by its own controls, when it is
// visible and enabled. A group runs from a control with WS_GROUP up to the
// next one among the same parent's children. Everything here talks to the
// controls through their messages only (WM_GETDLGCODE, BM_CLICK, ...).
#include <vector>

#include "windows.h"

namespace {

DWORD StyleOf(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

void CollectControls(HWND parent, std::vector<HWND>& out, int depth) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        DWORD exStyle = static_cast<DWORD>(GetWindowLongW(c, GWL_EXSTYLE));
        if ((exStyle & WS_EX_CONTROLPARENT) && depth < 16) {
            if ((StyleOf(c) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE) CollectControls(c, out, depth + 1);
        } else {
            out.push_back(c);
        }
    }
}

std::vector<HWND> DialogControls(HWND dialog) {
    std::vector<HWND> controls;
    CollectControls(dialog, controls, 0);
    return controls;
}

// The index of `control` in the list, or of the listed window that contains
// it (the edit inside a combo box); -1 when it is not in the dialog.
int IndexOf(const std::vector<HWND>& controls, HWND control) {
    for (HWND h = control; h; h = GetParent(h)) {
        for (size_t i = 0; i < controls.size(); ++i)
            if (controls[i] == h) return static_cast<int>(i);
        if (!(StyleOf(h) & WS_CHILD)) break;
    }
    return -1;
}

bool Usable(HWND hwnd) { return (StyleOf(hwnd) & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE; }

bool TabStop(HWND hwnd) { return Usable(hwnd) && (StyleOf(hwnd) & WS_TABSTOP); }

UINT DlgCode(HWND hwnd, WPARAM wParam = 0, LPARAM lParam = 0) {
    return static_cast<UINT>(SendMessageW(hwnd, WM_GETDLGCODE, wParam, lParam));
}

// The character after the single '&' of a control's text (0 when none).
WCHAR MnemonicOf(HWND hwnd) {
    WCHAR text[256];
    int n = GetWindowTextW(hwnd, text, 256);
    for (int i = 0; i + 1 < n; ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;  // "&&" is a plain ampersand
            continue;
        }
        return text[i + 1];
    }
    return 0;
}

WCHAR Upper(WCHAR c) {
    WCHAR s[2] = {c, 0};
    CharUpperW(s);
    return s[0];
}

// A typed character that a button's or a label's mnemonic names: the button
// is clicked; a label passes the focus to the control after it.
bool HandleMnemonic(HWND dialog, HWND from, WCHAR c) {
    std::vector<HWND> controls = DialogControls(dialog);
    if (controls.empty()) return false;
    int start = IndexOf(controls, from);
    const int n = static_cast<int>(controls.size());
    const WCHAR wanted = Upper(c);
    for (int k = 1; k <= n; ++k) {
        HWND h = controls[static_cast<size_t>((start + k + n) % n)];
        if (!Usable(h)) continue;
        UINT code = DlgCode(h);
        if (!(code & (DLGC_BUTTON | DLGC_STATIC))) continue;
        WCHAR m = MnemonicOf(h);
        if (!m || Upper(m) != wanted) continue;
        if ((code & DLGC_STATIC) || (StyleOf(h) & BS_TYPEMASK) == BS_GROUPBOX) {
            SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(h), TRUE);
            SendMessageW(dialog, WM_NEXTDLGCTL, 0, FALSE);
        } else {
            SendMessageW(h, BM_CLICK, 0, 0);
        }
        return true;
    }
    return false;
}

}  // namespace

HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous) {
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::vector<HWND> controls = DialogControls(dialog);
    const int n = static_cast<int>(controls.size());
    int start = control && control != dialog ? IndexOf(controls, control) : -1;
    if (start < 0) {
        // No starting control: the first tab stop (the last one going back).
        for (int k = 0; k < n; ++k) {
            HWND h = controls[static_cast<size_t>(previous ? n - 1 - k : k)];
            if (TabStop(h)) return h;
        }
        return nullptr;
    }
    for (int k = 1; k < n; ++k) {
        int i = previous ? start - k : start + k;
        HWND h = controls[static_cast<size_t>(((i % n) + n) % n)];
        if (TabStop(h)) return h;
    }
    return control;  // the only tab stop
}

HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous) {
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    std::vector<HWND> controls = DialogControls(dialog);
    const int n = static_cast<int>(controls.size());
    int index = control && control != dialog ? IndexOf(controls, control) : -1;
    if (index < 0) {
        for (int k = 0; k < n; ++k) {
            HWND h = controls[static_cast<size_t>(previous ? n - 1 - k : k)];
            if (Usable(h)) return h;
        }
        return nullptr;
    }
    // The group around the control: back to its WS_GROUP control, forward up
    // to (not including) the next one, among the same parent's children.
    HWND parent = GetParent(controls[static_cast<size_t>(index)]);
    int first = index;
    while (first > 0 && !(StyleOf(controls[static_cast<size_t>(first)]) & WS_GROUP) &&
           GetParent(controls[static_cast<size_t>(first - 1)]) == parent)
        --first;
    int end = index + 1;
    while (end < n && GetParent(controls[static_cast<size_t>(end)]) == parent &&
           !(StyleOf(controls[static_cast<size_t>(end)]) & WS_GROUP))
        ++end;
    const int size = end - first;
    for (int k = 1; k < size; ++k) {
        int offset = ((index - first + (previous ? -k : k)) % size + size) % size;
        HWND h = controls[static_cast<size_t>(first + offset)];
        if (Usable(h)) return h;
    }
    return controls[static_cast<size_t>(index)];
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg) {
    if (!msg || !dialog || !IsWindow(dialog)) return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd)) return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN: {
        UINT code = DlgCode(msg->hwnd, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & DLGC_WANTMESSAGE) break;
        switch (msg->wParam) {
        case VK_TAB:
            if (code & DLGC_WANTTAB) break;
            SendMessageW(dialog, WM_NEXTDLGCTL, (GetKeyState(VK_SHIFT) & 0x8000) ? TRUE : FALSE, 0);
            return TRUE;
        case VK_RIGHT:
        case VK_DOWN:
        case VK_LEFT:
        case VK_UP: {
            if (code & DLGC_WANTARROWS) break;
            BOOL back = msg->wParam == VK_LEFT || msg->wParam == VK_UP;
            HWND next = GetNextDlgGroupItem(dialog, msg->hwnd, back);
            if (next && DlgCode(next, msg->wParam, reinterpret_cast<LPARAM>(msg)) == (DLGC_BUTTON | DLGC_RADIOBUTTON)) {
                // Moving through a group of radio buttons checks them as it goes.
                SetFocus(next);
                if ((StyleOf(next) & BS_TYPEMASK) == BS_AUTORADIOBUTTON &&
                    SendMessageW(next, BM_GETCHECK, 0, 0) != BST_CHECKED)
                    SendMessageW(next, BM_CLICK, 1, 0);
            } else {
                SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
            }
            return TRUE;
        }
        case VK_ESCAPE:
        case VK_CANCEL:
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
            return TRUE;
        case VK_RETURN:
        case VK_EXECUTE: {
            // A focused push button answers Enter itself; otherwise the
            // default button does, or IDOK when the dialog has none.
            HWND focus = GetFocus();
            LRESULT defId;
            if (focus && IsChild(dialog, focus) && (DlgCode(focus) & DLGC_DEFPUSHBUTTON)) {
                SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED),
                             reinterpret_cast<LPARAM>(focus));
            } else if (HIWORD(defId = SendMessageW(dialog, DM_GETDEFID, 0, 0)) == DC_HASDEFID) {
                HWND button = GetDlgItem(dialog, LOWORD(defId));
                if (!button || IsWindowEnabled(button))
                    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(LOWORD(defId), BN_CLICKED),
                                 reinterpret_cast<LPARAM>(button));
            } else {
                SendMessageW(dialog, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
            }
            return TRUE;
        }
        default: break;
        }
        break;
    }
    case WM_CHAR: {
        UINT code = DlgCode(msg->hwnd, msg->wParam, reinterpret_cast<LPARAM>(msg));
        if (code & (DLGC_WANTCHARS | DLGC_WANTMESSAGE)) break;
        if (msg->wParam == u'\t' && (code & DLGC_WANTTAB)) break;
        if (HandleMnemonic(dialog, msg->hwnd, static_cast<WCHAR>(msg->wParam))) return TRUE;
        break;
    }
    case WM_SYSCHAR:
        if (HandleMnemonic(dialog, msg->hwnd, static_cast<WCHAR>(msg->wParam))) return TRUE;
        break;
    default: break;
    }
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}
