// The shared window procedure and the common message handling of every
// window of the program.
#include "app/window_base.h"

#include <aygshell.h>

#include "app/shell_helpers.h"

namespace {
HINSTANCE g_instance = nullptr;

WCHAR ToLowerAscii(WCHAR c) { return (c >= u'A' && c <= u'Z') ? WCHAR(c + 32) : c; }

bool ClassIs(HWND window, const char16_t* name) {
    WCHAR className[32];
    int length = GetClassNameW(window, className, 32);
    int i = 0;
    for (; i < length && name[i]; ++i) {
        if (ToLowerAscii(className[i]) != ToLowerAscii(name[i])) return false;
    }
    return i == length && name[i] == 0;
}

// Edit fields and editable combo boxes raise the input panel while they have
// the focus: a pen device has no other keyboard.
void FollowFocusWithInputPanel(HWND control, UINT code) {
    if (!IsWindow(control) || !IsWindowEnabled(control)) return;
    DWORD style = (DWORD)GetWindowLongW(control, GWL_STYLE);
    if (ClassIs(control, u"combobox")) {
        if ((style & 0x3) == CBS_DROPDOWNLIST) return;
        if (code == CBN_SETFOCUS) SetInputPanel(control, true);
        if (code == CBN_KILLFOCUS) SetInputPanel(control, false);
    } else if (ClassIs(control, u"edit")) {
        if (style & ES_READONLY) return;
        if (code == EN_SETFOCUS) SetInputPanel(control, true);
        if (code == EN_KILLFOCUS) SetInputPanel(control, false);
    }
}
}  // namespace

HINSTANCE AppInstance() { return g_instance ? g_instance : GetModuleHandleW(nullptr); }
void SetAppInstance(HINSTANCE instance) { g_instance = instance; }

WindowBase::~WindowBase() {
    if (ownedFont_) DeleteObject(ownedFont_);
}

WindowBase* WindowBase::FromHandle(HWND hwnd) {
    return reinterpret_cast<WindowBase*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
}

void WindowBase::Bind(HWND hwnd) {
    hwnd_ = hwnd;
    if (!instance_) instance_ = AppInstance();
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void WindowBase::SetOwnedFont(HFONT font) {
    if (ownedFont_ && ownedFont_ != font) DeleteObject(ownedFont_);
    ownedFont_ = font;
}

LRESULT CALLBACK WindowBase::SharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<WindowBase*>(create->lpCreateParams);
        if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
        self->Bind(hwnd);
        return self->OnCreate(create);
    }
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<WindowBase*>(lParam);
        if (!self) return TRUE;
        self->Bind(hwnd);
        return self->OnInitDialog();
    }
    WindowBase* self = FromHandle(hwnd);
    if (!self) {
        // A dialog's procedure answers "not handled"; a window gets the
        // system's default processing.
        if (GetWindowLongPtrW(hwnd, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&SharedProc)) {
            return FALSE;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = self->WindowProc(message, wParam, lParam);
    // The message may have ended the binding (WM_DESTROY sends MSG_DETACH)
    // and a modeless dialog then deleted itself: nothing of it is touched.
    if (FromHandle(hwnd) != self) return result;
    if (self->isDialog_ && !self->replacedProc_) {
        // Dialog procedures hand message results back through DWLP_MSGRESULT.
        switch (message) {
        case WM_CTLCOLORSTATIC: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX: case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORMSGBOX:
            return result;
        default:
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
            return result != 0 || message == WM_NOTIFY ? TRUE : FALSE;
        }
    }
    return result;
}

LRESULT WindowBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (replacedProc_) return CallWindowProcW(replacedProc_, hwnd_, message, wParam, lParam);
    if (isDialog_) return 0;
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT WindowBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: {
        if (ownedFont_) {
            DeleteObject(ownedFont_);
            ownedFont_ = nullptr;
        }
        DefaultProc(message, wParam, lParam);
        SendMessageW(hwnd_, MSG_DETACH, 0, 0);
        return 0;
    }
    case WM_CLOSE:
        SetInputPanel(hwnd_, false);
        return DefaultProc(message, wParam, lParam);
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (header && OnNotify((int)header->idFrom, header, &result)) return result;
        return DefaultProc(message, wParam, lParam);
    }
    case WM_COMMAND: {
        HWND control = reinterpret_cast<HWND>(lParam);
        if (control) FollowFocusWithInputPanel(control, HIWORD(wParam));
        if (OnCommand(wParam, lParam)) return 0;
        return DefaultProc(message, wParam, lParam);
    }
    case WM_INITMENUPOPUP:
        OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case MSG_DETACH: {
        HWND hwnd = hwnd_;
        if (replacedProc_) {
            SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(replacedProc_));
            replacedProc_ = nullptr;
        }
        SetWindowLongPtrW(hwnd, GWL_USERDATA, 0);
        OnFinalMessage();  // may delete the object
        return 0;
    }
    default:
        return DefaultProc(message, wParam, lParam);
    }
}

bool WindowBase::OnNotify(int, NMHDR*, LRESULT*) { return false; }
bool WindowBase::OnCommand(WPARAM, LPARAM) { return false; }
void WindowBase::OnInitMenuPopup(HMENU) {}
LRESULT WindowBase::OnInitDialog() { return 1; }
int WindowBase::OnCreate(CREATESTRUCTW*) { return 0; }

bool WindowBase::SubclassDlgItem(int id, HWND dialog) {
    return Subclass(GetDlgItem(dialog, id));
}

HWND WindowBase::CreateChild(LPCWSTR className, DWORD style, const RECT* rect, HINSTANCE instance,
                             HWND parent, int id) {
    if (!instance_) instance_ = instance ? instance : AppInstance();
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    if (rect) {
        x = rect->left;
        y = rect->top;
        width = rect->right;
        height = rect->bottom;
    }
    HWND window = CreateWindowExW(0, className, nullptr, style, x, y, width, height, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, this);
    // System classes ignore the creation parameter: bind by subclassing.
    if (window && hwnd_ != window) Subclass(window);
    return window;
}

bool WindowBase::Subclass(HWND window) {
    if (!window || !IsWindow(window)) return false;
    if (!instance_) instance_ = AppInstance();
    hwnd_ = window;
    replacedProc_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWL_WNDPROC));
    SetWindowLongPtrW(window, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&SharedProc));
    OnCreate(nullptr);
    return true;
}

void WindowBase::Unsubclass() {
    if (!hwnd_ || !replacedProc_) return;
    SetWindowLongPtrW(hwnd_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(replacedProc_));
    SetWindowLongPtrW(hwnd_, GWL_USERDATA, 0);
    replacedProc_ = nullptr;
}

bool WindowBase::ModifyStyle(int which, DWORD remove, DWORD add, UINT positionFlags) {
    DWORD old = (DWORD)GetWindowLongW(hwnd_, which);
    DWORD updated = add | (old & ~remove);
    if (updated == old) return false;
    SetWindowLongW(hwnd_, which, (LONG)updated);
    if (positionFlags) {
        SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0,
                     positionFlags | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return true;
}
