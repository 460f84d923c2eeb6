// WindowBase: every window and dialog of the program is an object bound to
// its window handle through one shared window procedure (the object sits in
// the window's user data from WM_CREATE, WM_INITDIALOG or subclassing until
// MSG_DETACH after WM_DESTROY). Subclasses override the virtual operations;
// a system control (a scroll bar, an edit) is subclassed instead.
#pragma once

#include <windows.h>

// Sent by a window to itself after WM_DESTROY: unbinds the object.
constexpr UINT MSG_DETACH = 0x7FFF;

// The module instance of the program (set once at start-up).
HINSTANCE AppInstance();
void SetAppInstance(HINSTANCE instance);

class WindowBase {
public:
    WindowBase() = default;
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;
    virtual ~WindowBase();

    // Slot 0: subclassed -> the replaced procedure; dialog -> 0; otherwise
    // the system's default window procedure.
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Slot 1: after MSG_DETACH; the object may delete itself here.
    virtual void OnFinalMessage() {}
    // Slot 2: the dispatch of the common messages.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Slot 3: WM_NOTIFY from control `id`; true when handled (*result then
    // is the message's result).
    virtual bool OnNotify(int id, NMHDR* header, LRESULT* result);
    // Slot 4: WM_COMMAND; true when handled.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Slot 5.
    virtual void OnInitMenuPopup(HMENU menu);
    // Slot 6: WM_INITDIALOG's result.
    virtual LRESULT OnInitDialog();
    // Slot 7: 0 or -1 (the creation fails).
    virtual int OnCreate(CREATESTRUCTW* create);
    // Slot 8: subclasses dialog item `id` of `dialog` as this object.
    virtual bool SubclassDlgItem(int id, HWND dialog);

    // Creates a window whose creation parameter is this object; `rect` null
    // means default position and size, else right and bottom are width and
    // height. A window that did not bind itself (a system class) is
    // subclassed.
    HWND CreateChild(LPCWSTR className, DWORD style, const RECT* rect, HINSTANCE instance,
                     HWND parent, int id);
    bool Subclass(HWND window);
    void Unsubclass();
    // new = add | (old & ~remove) of GWL_STYLE or GWL_EXSTYLE (`which`);
    // false when nothing changed. With `positionFlags` the frame is
    // recomputed.
    bool ModifyStyle(int which, DWORD remove, DWORD add, UINT positionFlags = 0);

    HWND Handle() const { return hwnd_; }
    HINSTANCE Instance() const { return instance_; }
    bool IsDialog() const { return isDialog_; }

    // The shared window procedure, registered for every window class of the
    // program and used as the dialog procedure (it then returns the
    // dialog-procedure result).
    static LRESULT CALLBACK SharedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The object bound to a window, or null.
    static WindowBase* FromHandle(HWND hwnd);

protected:
    void Bind(HWND hwnd);
    void SetOwnedFont(HFONT font);

    WNDPROC replacedProc_ = nullptr;  // subclassing
    HFONT ownedFont_ = nullptr;       // deleted with the window
    bool isDialog_ = false;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
};
