// The menu bar of a top-level window and the fitting of its content.
#include "app/menu_bar_holder.h"

#include <aygshell.h>

namespace {
int ScreenHeight() {
    static const int height = GetSystemMetrics(SM_CYSCREEN);
    return height;
}
}  // namespace

HWND MenuBarHolder::Create(HINSTANCE instance, HWND owner, int menuId) {
    Destroy();
    owner_ = owner;
    instance_ = instance;
    menuId_ = menuId;
    SHMENUBARINFO info = {};
    info.cbSize = sizeof(info);
    info.hwndParent = owner;
    info.nToolBarId = (UINT)menuId;
    info.hInstRes = instance;
    if (!SHCreateMenuBar(&info)) return nullptr;
    menuBar_ = info.hwndMB;
    return menuBar_;
}

void MenuBarHolder::Destroy() {
    if (toolbar_ && !toolbarShared_) DestroyWindow(toolbar_);
    toolbar_ = nullptr;
    if (menuBar_) DestroyWindow(menuBar_);
    menuBar_ = nullptr;
    if (imageList_) ImageList_Destroy(imageList_);
    imageList_ = nullptr;
}

void MenuBarHolder::FitContent(HWND content) {
    if (content) lastContent_ = content;
    if (!lastContent_ || !owner_) return;
    SIPINFO sip = {};
    sip.cbSize = sizeof(sip);
    bool panelUp = false;
    int bottom = ScreenHeight();
    if (SHSipInfo(SPI_GETSIPINFO, 0, &sip, 0)) {
        panelUp = (sip.fdwFlags & SIPF_ON) != 0;
        if (sip.rcVisibleDesktop.bottom < bottom) bottom = sip.rcVisibleDesktop.bottom;
    }
    RECT owner;
    GetWindowRect(owner_, &owner);
    int bar = 0;
    if (!panelUp) {
        bar = (toolbar_ && IsWindowVisible(toolbar_)) ? kMenuBarWithToolbarHeight : kMenuBarHeight;
    }
    int height = bottom - owner.top - bar;
    MoveWindow(lastContent_, 0, 0, owner.right - owner.left, height > 0 ? height : 0, TRUE);
}
