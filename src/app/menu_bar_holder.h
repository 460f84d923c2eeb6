// MenuBarHolder: the Pocket PC menu bar of a top-level window, an optional
// extra toolbar above it, and the fitting of the content window into what
// is left of the visible desktop.
#pragma once

#include <windows.h>
#include <commctrl.h>

constexpr int kMenuBarHeight = 26;
constexpr int kMenuBarWithToolbarHeight = 50;

class MenuBarHolder {
public:
    MenuBarHolder() = default;
    MenuBarHolder(const MenuBarHolder&) = delete;
    MenuBarHolder& operator=(const MenuBarHolder&) = delete;
    ~MenuBarHolder() { Destroy(); }

    // Destroys any previous bar, then creates the shell's menu bar from
    // menu-bar resource `menuId` (no flags, no bitmap). Null on failure.
    HWND Create(HINSTANCE instance, HWND owner, int menuId);
    // The extra toolbar (unless shared), the menu bar, the image list.
    void Destroy();
    // Places `content` (null: the last one) at (0, 0) over the owner's width
    // and the height the bar and the input panel leave.
    void FitContent(HWND content);

    HWND MenuBar() const { return menuBar_; }
    void SetExtraToolbar(HWND toolbar, bool shared) {
        toolbar_ = toolbar;
        toolbarShared_ = shared;
    }
    HWND ExtraToolbar() const { return toolbar_; }
    void SetImageList(HIMAGELIST list) { imageList_ = list; }

private:
    HWND owner_ = nullptr;
    HINSTANCE instance_ = nullptr;
    int menuId_ = 0;
    HWND menuBar_ = nullptr;
    HWND toolbar_ = nullptr;
    bool toolbarShared_ = false;
    HIMAGELIST imageList_ = nullptr;
    HWND lastContent_ = nullptr;
};
