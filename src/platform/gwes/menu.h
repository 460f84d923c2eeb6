// Menu objects behind HMENU handles (menu.cpp) and the popup-menu tracker
// (menu_track.cpp). Menus have a lock of their own that is never held while a
// window is called; everything that draws or tracks a menu works on copies of
// its items taken through MenuItems. The shell's menu bar opens its popups
// through TrackMenu, which reports where a dismissing pen-down landed.
#pragma once

#include <string>
#include <vector>

#include "windows.h"

namespace gwes {

struct MenuItem {
    UINT type = MFT_STRING;  // MFT_* bits
    UINT state = 0;          // MF_GRAYED and MF_DISABLED as given, MF_CHECKED, MF_HILITE, MF_DEFAULT
    UINT id = 0;             // a popup item keeps its submenu's handle value unless given an id
    HMENU subMenu = nullptr;
    std::u16string text;     // MFT_STRING items, '&' marking the mnemonic
    ULONG_PTR data = 0;
    HBITMAP bitmap = nullptr;  // MFT_BITMAP items
    HBITMAP checkedBitmap = nullptr;
    HBITMAP uncheckedBitmap = nullptr;

    bool Separator() const { return (type & MFT_SEPARATOR) != 0; }
    bool Grayed() const { return (state & MF_GRAYED) != 0; }
    // Separators and disabled items can be highlighted by keys but never chosen.
    bool Selectable() const { return !Separator() && !(state & (MF_GRAYED | MF_DISABLED)); }
};

// Copies of a menu's items; false (ERROR_INVALID_MENU_HANDLE) for a bad handle.
bool MenuItems(HMENU menu, std::vector<MenuItem>* items);

// One tracking of a popup menu on the calling thread.
struct TrackRequest {
    HMENU menu = nullptr;
    HWND owner = nullptr;
    UINT flags = 0;                 // TPM_* alignment, TPM_NONOTIFY, TPM_RETURNCMD
    POINT at = {0, 0};              // screen point the alignment flags refer to
    RECT exclude = {0, 0, 0, 0};    // kept clear when the menu is placed (may be empty)
    LPARAM initPosition = 0;        // LOWORD of WM_INITMENUPOPUP's lParam for the tracked menu
};

struct TrackResult {
    bool ok = false;         // false: nothing was shown (bad handle, empty menu, a menu already up)
    UINT command = 0;        // the chosen item's id, 0 when dismissed
    bool dismissedByPen = false;
    POINT penPoint = {0, 0};  // where the dismissing pen-down landed (screen)
};

// Where popup menus may lie on the screen: the work area (below the
// navigation bar, above an open input panel), and above the menu bar while
// one shows. A popup taller than this scrolls.
RECT PopupMenuArea();

// Shows the menu and runs the menu loop until an item is chosen or the menu
// is dismissed; sends WM_INITMENUPOPUP to the owner unless TPM_NONOTIFY. The
// caller decides what to do with the command (post it, return it).
TrackResult TrackMenu(const TrackRequest& request);

}  // namespace gwes
