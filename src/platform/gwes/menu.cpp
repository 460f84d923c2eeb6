// Menus: the HMENU table and every call that builds, reads or changes a menu.
//
// Handles count up in steps of 4 from a base well below 2^32 and are never
// reused, so a stale HMENU finds nothing and every handle fits in 32 bits.
// Lookups by command search the submenus too, depth first, the way the
// desktop system does: an item inside a submenu wins over a popup item that
// carries the same id. Menus may share submenus or even contain themselves,
// so every walk keeps a visited set.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <set>
#include <unordered_map>

#include "gwes/menu.h"

namespace gwes {

namespace {

struct Menu {
    bool popup = false;
    std::vector<MenuItem> items;
};

std::mutex& MenuLock() {
    static auto* lock = new std::mutex;  // never destroyed: menus may be used during exit
    return *lock;
}

std::unordered_map<uintptr_t, Menu>& Menus() {
    static auto* menus = new std::unordered_map<uintptr_t, Menu>;
    return *menus;
}

uintptr_t g_nextMenu = 0x00060004;

uintptr_t Key(HMENU menu) { return reinterpret_cast<uintptr_t>(menu); }

// Call with MenuLock() held.
Menu* Find(HMENU menu) {
    auto& menus = Menus();
    auto it = menus.find(Key(menu));
    return it == menus.end() ? nullptr : &it->second;
}

Menu* FindOrError(HMENU menu) {
    Menu* m = Find(menu);
    if (!m) SetLastError(ERROR_INVALID_MENU_HANDLE);
    return m;
}

HMENU NewMenu(bool popup) {
    std::lock_guard<std::mutex> guard(MenuLock());
    HMENU handle = reinterpret_cast<HMENU>(g_nextMenu);
    g_nextMenu += 4;
    Menus()[Key(handle)].popup = popup;
    return handle;
}

// Where an item lives: the menu that holds it and its index there.
struct Place {
    HMENU menu = nullptr;
    Menu* object = nullptr;
    size_t index = 0;
    MenuItem& Item() const { return object->items[index]; }
};

bool FindByCommand(HMENU menu, UINT id, std::set<uintptr_t>& visited, Place* place) {
    if (!visited.insert(Key(menu)).second) return false;
    Menu* m = Find(menu);
    if (!m) return false;
    bool fallback = false;
    size_t fallbackIndex = 0;
    for (size_t i = 0; i < m->items.size(); ++i) {
        const MenuItem& item = m->items[i];
        if (item.subMenu) {
            if (FindByCommand(item.subMenu, id, visited, place)) return true;
            if (item.id == id && !fallback) {
                fallback = true;
                fallbackIndex = i;
            }
        } else if (item.id == id) {
            *place = {menu, m, i};
            return true;
        }
    }
    if (fallback) {
        *place = {menu, m, fallbackIndex};
        return true;
    }
    return false;
}

// Finds an item by position in `menu` or by command below it; false with the
// error set when there is no such menu or item.
bool Locate(HMENU menu, UINT item, bool byPosition, Place* place) {
    Menu* m = FindOrError(menu);
    if (!m) return false;
    if (byPosition) {
        if (item >= m->items.size()) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return false;
        }
        *place = {menu, m, item};
        return true;
    }
    std::set<uintptr_t> visited;
    if (FindByCommand(menu, item, visited, place)) return true;
    SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
    return false;
}

void DestroyTree(HMENU menu, std::set<uintptr_t>& visited) {
    if (!visited.insert(Key(menu)).second) return;
    Menu* m = Find(menu);
    if (!m) return;
    std::vector<HMENU> subs;
    for (const MenuItem& item : m->items)
        if (item.subMenu) subs.push_back(item.subMenu);
    Menus().erase(Key(menu));
    for (HMENU sub : subs) DestroyTree(sub, visited);
}

void DestroyMenuLocked(HMENU menu) {
    std::set<uintptr_t> visited;
    DestroyTree(menu, visited);
}

constexpr UINT kStateFlags = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;
constexpr UINT kTypeFlags = MF_MENUBARBREAK | MF_MENUBREAK | MF_RIGHTJUSTIFY;

// An item as the MF_* flags of AppendMenu, InsertMenu and ModifyMenu describe
// it. Call with the lock held; false (with the error set) for a bad submenu.
bool ItemFromFlags(UINT flags, UINT_PTR idNewItem, LPCWSTR newItem, MenuItem* item) {
    *item = MenuItem();
    item->state = flags & kStateFlags;
    item->type = flags & kTypeFlags;
    if (flags & MF_SEPARATOR) {
        item->type |= MFT_SEPARATOR;
    } else if (flags & MF_BITMAP) {
        item->type |= MFT_BITMAP;
        item->bitmap = reinterpret_cast<HBITMAP>(const_cast<LPWSTR>(newItem));
    } else if (flags & MF_OWNERDRAW) {
        item->type |= MFT_OWNERDRAW;
        item->data = reinterpret_cast<ULONG_PTR>(newItem);
    } else if (newItem) {
        item->text = newItem;
    } else if (!(flags & MF_POPUP)) {
        item->type |= MFT_SEPARATOR;  // a string item without a string, as MENU resources write separators
    }
    if (flags & MF_POPUP) {
        HMENU sub = reinterpret_cast<HMENU>(idNewItem);
        Menu* s = FindOrError(sub);
        if (!s) return false;
        s->popup = true;
        item->subMenu = sub;
    }
    item->id = static_cast<UINT>(idNewItem);
    return true;
}

bool InsertItem(HMENU menu, UINT position, UINT flags, const MenuItem& item) {
    Menu* m = FindOrError(menu);
    if (!m) return false;
    Place place;
    if (flags & MF_BYPOSITION) {
        size_t at = std::min<size_t>(position, m->items.size());  // 0xFFFFFFFF appends
        m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), item);
        return true;
    }
    std::set<uintptr_t> visited;
    if (FindByCommand(menu, position, visited, &place)) {
        auto& items = place.object->items;
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(place.index), item);
    } else {
        m->items.push_back(item);  // no such command: the item goes at the end
    }
    return true;
}

// The MF_* view of an item (GetMenuState).
UINT StateFlags(const MenuItem& item) {
    UINT flags = (item.state & kStateFlags) | (item.type & (kTypeFlags | MFT_SEPARATOR | MFT_BITMAP | MFT_OWNERDRAW));
    if (item.subMenu) {
        flags |= MF_POPUP;
        Menu* sub = Find(item.subMenu);
        size_t count = sub ? std::min<size_t>(sub->items.size(), 0xFF) : 0;
        flags = (flags & 0xFF) | static_cast<UINT>(count << 8);
    }
    return flags;
}

// Copies `text` into a caller's buffer of `capacity` characters (truncated,
// always terminated) and returns the number copied.
UINT CopyText(const std::u16string& text, LPWSTR buffer, UINT capacity) {
    if (!buffer || capacity == 0) return 0;
    UINT n = static_cast<UINT>(std::min<size_t>(text.size(), capacity - 1));
    std::memcpy(buffer, text.data(), n * sizeof(WCHAR));
    buffer[n] = 0;
    return n;
}

// MENUITEMINFOW as Windows CE has it (up to cch); hbmpItem needs the desktop size.
constexpr UINT kInfoSizeCe = offsetof(MENUITEMINFOW, hbmpItem);

bool InfoSizeOk(UINT cbSize) { return cbSize == kInfoSizeCe || cbSize == sizeof(MENUITEMINFOW); }

// Applies a MENUITEMINFOW to an item. Call with the lock held.
bool ApplyInfo(const MENUITEMINFOW& info, MenuItem* item) {
    if (info.fMask & MIIM_SUBMENU) {
        if (info.hSubMenu) {
            Menu* sub = FindOrError(info.hSubMenu);
            if (!sub) return false;
            sub->popup = true;
        }
        item->subMenu = info.hSubMenu;
    }
    if (info.fMask & MIIM_TYPE) {
        item->type = info.fType;
        item->bitmap = nullptr;
        item->text.clear();
        if (info.fType & MFT_BITMAP) item->bitmap = reinterpret_cast<HBITMAP>(info.dwTypeData);
        else if (!(info.fType & (MFT_SEPARATOR | MFT_OWNERDRAW)) && info.dwTypeData) item->text = info.dwTypeData;
    }
    if (info.fMask & MIIM_FTYPE)
        item->type = (info.fType & ~static_cast<UINT>(MFT_BITMAP)) | (item->type & MFT_BITMAP);
    if (info.fMask & MIIM_STRING) item->text = info.dwTypeData ? std::u16string(info.dwTypeData) : std::u16string();
    if (info.fMask & MIIM_STATE) item->state = info.fState & kStateFlags;
    if (info.fMask & MIIM_ID) item->id = info.wID;
    if (info.fMask & MIIM_CHECKMARKS) {
        item->checkedBitmap = info.hbmpChecked;
        item->uncheckedBitmap = info.hbmpUnchecked;
    }
    if (info.fMask & MIIM_DATA) item->data = info.dwItemData;
    if ((info.fMask & MIIM_BITMAP) && info.cbSize >= sizeof(MENUITEMINFOW)) item->bitmap = info.hbmpItem;
    return true;
}

}  // namespace

bool MenuItems(HMENU menu, std::vector<MenuItem>* items) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Menu* m = FindOrError(menu);
    if (!m) return false;
    *items = m->items;
    return true;
}

}  // namespace gwes

using namespace gwes;

// ---- Creating and destroying -------------------------------------------------------------

HMENU CreateMenu() { return NewMenu(false); }

HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL DestroyMenu(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if (!FindOrError(menu)) return FALSE;
    DestroyMenuLocked(menu);
    return TRUE;
}

BOOL IsMenu(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    return Find(menu) != nullptr;
}

// ---- Items by MF_* flags -------------------------------------------------------------------

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
    return InsertMenuW(menu, 0xFFFFFFFFu, flags | MF_BYPOSITION, idNewItem, newItem);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
    std::lock_guard<std::mutex> guard(MenuLock());
    if (!FindOrError(menu)) return FALSE;
    MenuItem item;
    if (!ItemFromFlags(flags, idNewItem, newItem, &item)) return FALSE;
    return InsertItem(menu, position, flags, item) ? TRUE : FALSE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, position, (flags & MF_BYPOSITION) != 0, &place)) return FALSE;
    MenuItem item;
    if (!ItemFromFlags(flags, idNewItem, newItem, &item)) return FALSE;
    // A popup item that is given something else loses its old submenu for good.
    HMENU old = place.Item().subMenu;
    place.Item() = item;
    if (old && old != item.subMenu) DestroyMenuLocked(old);
    return TRUE;
}

namespace {

BOOL RemoveOrDelete(HMENU menu, UINT position, UINT flags, bool destroySubMenu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, position, (flags & MF_BYPOSITION) != 0, &place)) return FALSE;
    HMENU sub = place.Item().subMenu;
    auto& items = place.object->items;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(place.index));
    if (sub && destroySubMenu) DestroyMenuLocked(sub);
    return TRUE;
}

}  // namespace

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) { return RemoveOrDelete(menu, position, flags, true); }

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) { return RemoveOrDelete(menu, position, flags, false); }

// ---- Reading ---------------------------------------------------------------------------------

HMENU GetSubMenu(HMENU menu, int position) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Menu* m = FindOrError(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
    return m->items[static_cast<size_t>(position)].subMenu;
}

int GetMenuItemCount(HMENU menu) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Menu* m = FindOrError(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Menu* m = FindOrError(menu);
    if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return 0xFFFFFFFFu;
    const MenuItem& item = m->items[static_cast<size_t>(position)];
    return item.subMenu ? 0xFFFFFFFFu : item.id;
}

UINT GetMenuState(HMENU menu, UINT id, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, id, (flags & MF_BYPOSITION) != 0, &place)) return 0xFFFFFFFFu;
    return StateFlags(place.Item());
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR text, int maxCount, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, item, (flags & MF_BYPOSITION) != 0, &place)) return 0;
    const std::u16string& s = place.Item().text;
    if (!text || maxCount <= 0) return static_cast<int>(s.size());
    return static_cast<int>(CopyText(s, text, static_cast<UINT>(maxCount)));
}

// ---- States ------------------------------------------------------------------------------------

BOOL EnableMenuItem(HMENU menu, UINT idEnableItem, UINT enable) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, idEnableItem, (enable & MF_BYPOSITION) != 0, &place)) return -1;
    UINT& state = place.Item().state;
    UINT old = state & (MF_GRAYED | MF_DISABLED);
    state = (state & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(old);
}

DWORD CheckMenuItem(HMENU menu, UINT idCheckItem, UINT check) {
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, idCheckItem, (check & MF_BYPOSITION) != 0, &place)) return 0xFFFFFFFFu;
    UINT& state = place.Item().state;
    DWORD old = state & MF_CHECKED;
    state = (state & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
    return old;
}

BOOL CheckMenuRadioItem(HMENU menu, UINT first, UINT last, UINT check, UINT flags) {
    std::lock_guard<std::mutex> guard(MenuLock());
    bool byPosition = (flags & MF_BYPOSITION) != 0;
    Place place;
    if (!Locate(menu, check, byPosition, &place)) return FALSE;
    // The group is the run of items in the menu that holds the checked one.
    auto& items = place.object->items;
    for (size_t i = 0; i < items.size(); ++i) {
        MenuItem& item = items[i];
        UINT key = byPosition ? static_cast<UINT>(i) : item.id;
        if (key < first || key > last || item.subMenu) continue;
        if (i == place.index) {
            item.state |= MF_CHECKED;
            item.type |= MFT_RADIOCHECK;
        } else {
            item.state &= ~static_cast<UINT>(MF_CHECKED);
        }
    }
    return TRUE;
}

// ---- MENUITEMINFOW ------------------------------------------------------------------------------

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPMENUITEMINFOW info) {
    if (!info || !InfoSizeOk(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, item, byPosition != FALSE, &place)) return FALSE;
    const MenuItem& it = place.Item();
    bool textWanted = false;
    if (info->fMask & (MIIM_TYPE | MIIM_FTYPE)) info->fType = it.type;
    if (info->fMask & MIIM_TYPE) {
        if (it.type & MFT_BITMAP) {
            info->dwTypeData = reinterpret_cast<LPWSTR>(it.bitmap);
            info->cch = 0;
        } else if (!(it.type & (MFT_SEPARATOR | MFT_OWNERDRAW))) {
            textWanted = true;
        } else {
            info->cch = 0;
        }
    }
    if (info->fMask & MIIM_STRING) textWanted = true;
    if (textWanted) {
        // With no buffer (or no room) the caller learns the length.
        if (!info->dwTypeData || info->cch == 0) info->cch = static_cast<UINT>(it.text.size());
        else info->cch = CopyText(it.text, info->dwTypeData, info->cch);
    }
    if (info->fMask & MIIM_STATE) info->fState = it.state;
    if (info->fMask & MIIM_ID) info->wID = it.id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = it.subMenu;
    if (info->fMask & MIIM_CHECKMARKS) {
        info->hbmpChecked = it.checkedBitmap;
        info->hbmpUnchecked = it.uncheckedBitmap;
    }
    if (info->fMask & MIIM_DATA) info->dwItemData = it.data;
    if ((info->fMask & MIIM_BITMAP) && info->cbSize >= sizeof(MENUITEMINFOW)) info->hbmpItem = it.bitmap;
    return TRUE;
}

BOOL SetMenuItemInfoW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    if (!info || !InfoSizeOk(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    Place place;
    if (!Locate(menu, item, byPosition != FALSE, &place)) return FALSE;
    MenuItem changed = place.Item();
    if (!ApplyInfo(*info, &changed)) return FALSE;
    HMENU old = place.Item().subMenu;
    place.Item() = changed;
    if (old && old != changed.subMenu) DestroyMenuLocked(old);
    return TRUE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL byPosition, LPCMENUITEMINFOW info) {
    if (!info || !InfoSizeOk(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(MenuLock());
    if (!FindOrError(menu)) return FALSE;
    MenuItem added;
    if (!ApplyInfo(*info, &added)) return FALSE;
    return InsertItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND, added) ? TRUE : FALSE;
}
