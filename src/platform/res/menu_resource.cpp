// LoadMenuW and LoadMenuIndirectW: RT_MENU templates turned into menus.
//
// Two layouts, told apart by the header's version word:
//  - MENU (version 0, then a header-size word, normally 0): each item is a
//    flags word (MF_POPUP, MF_END on the last item of a level, MF_GRAYED, ...),
//    an id word unless it is a popup, and a NUL-terminated UTF-16 text; a
//    popup's items follow it. A separator is an item with id 0 and no text.
//  - MENUEX (version 1, then the offset of the items from the end of that
//    word, normally 4 to skip the menu's help id): each item is type, state
//    and id DWORDs, a resource-info word (0x01 popup, 0x80 last), the text
//    aligned to 2 bytes, then padding to 4 bytes and, for a popup, a help-id
//    DWORD before its items.
// A template that ends right after its header is an empty menu. Every read goes through a reader that knows how much is left; nesting is
// capped, and a bad template frees whatever was built and fails with
// ERROR_BAD_FORMAT.
#include <cstdint>
#include <cstring>
#include <string>

#include "res/menu_template.h"
#include "res/resource_module.h"
#include "windows.h"

namespace {

constexpr int kMaxDepth = 16;       // real menus nest two or three levels
constexpr size_t kMaxItems = 4096;  // per template
// LoadMenuIndirectW is given no size; templates are never anywhere near this.
constexpr size_t kIndirectLimit = 1 << 20;

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return pos_ == size_; }
    bool Word(uint16_t* v) { return Bytes(v, 2); }
    bool Dword(uint32_t* v) { return Bytes(v, 4); }
    bool Skip(size_t n) {
        if (size_ - pos_ < n) return false;
        pos_ += n;
        return true;
    }
    // Moves to the next multiple of `n` (from the template's start, which
    // resource files keep DWORD-aligned).
    bool Align(size_t n) { return Skip((n - pos_ % n) % n); }
    bool String(std::u16string* text) {
        text->clear();
        for (;;) {
            uint16_t c;
            if (!Word(&c)) return false;
            if (c == 0) return true;
            text->push_back(static_cast<char16_t>(c));
        }
    }

private:
    bool Bytes(void* out, size_t n) {
        if (size_ - pos_ < n) return false;
        std::memcpy(out, data_ + pos_, n);
        pos_ += n;
        return true;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

struct Parse {
    Reader reader;
    size_t items = 0;
};

bool CountItem(Parse& p) { return ++p.items <= kMaxItems; }

bool ParseMenuItems(Parse& p, HMENU menu, int depth) {
    if (depth > kMaxDepth) return false;
    for (;;) {
        uint16_t flags, id = 0;
        std::u16string text;
        if (!CountItem(p) || !p.reader.Word(&flags)) return false;
        bool popup = (flags & MF_POPUP) != 0;
        if (!popup && !p.reader.Word(&id)) return false;
        if (!p.reader.String(&text)) return false;
        UINT itemFlags = flags & ~static_cast<UINT>(MF_END);
        if (popup) {
            HMENU sub = CreatePopupMenu();
            if (!sub) return false;
            if (!ParseMenuItems(p, sub, depth + 1) ||
                !AppendMenuW(menu, itemFlags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str())) {
                DestroyMenu(sub);
                return false;
            }
        } else {
            // An item with no text is a separator (that is how scripts write MENUITEM SEPARATOR).
            if (!AppendMenuW(menu, itemFlags, id, text.empty() ? nullptr : text.c_str())) return false;
        }
        if (flags & MF_END) return true;
    }
}

bool ParseMenuExItems(Parse& p, HMENU menu, int depth) {
    if (depth > kMaxDepth) return false;
    for (;;) {
        uint32_t type, state, id;
        uint16_t resInfo;
        std::u16string text;
        if (!CountItem(p) || !p.reader.Dword(&type) || !p.reader.Dword(&state) || !p.reader.Dword(&id) ||
            !p.reader.Word(&resInfo) || !p.reader.Align(2) || !p.reader.String(&text) || !p.reader.Align(4)) {
            return false;
        }
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.fType = type;
        info.fState = state;
        info.wID = id;
        info.dwTypeData = text.data();
        HMENU sub = nullptr;
        if (resInfo & 0x01) {
            uint32_t helpId;
            if (!p.reader.Dword(&helpId)) return false;
            sub = CreatePopupMenu();
            if (!sub) return false;
            if (!ParseMenuExItems(p, sub, depth + 1)) {
                DestroyMenu(sub);
                return false;
            }
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = sub;
        } else if (text.empty() && !(type & MFT_SEPARATOR)) {
            info.fType |= MFT_SEPARATOR;
        }
        if (!InsertMenuItemW(menu, 0xFFFFFFFFu, TRUE, &info)) {
            if (sub) DestroyMenu(sub);
            return false;
        }
        if (resInfo & 0x80) return true;
    }
}

}  // namespace

HMENU platform::ParseMenuTemplate(const uint8_t* data, size_t size) {
    Parse p{Reader(data, size)};
    uint16_t version, offset;
    if (!data || !p.reader.Word(&version) || !p.reader.Word(&offset) || (version != 0 && version != 1) ||
        !p.reader.Skip(offset)) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    HMENU menu = CreateMenu();
    if (!menu) return nullptr;
    // An empty MENU block compiles to the header alone.
    if (p.reader.AtEnd()) return menu;
    bool ok = version == 0 ? ParseMenuItems(p, menu, 0) : ParseMenuExItems(p, menu, 0);
    if (!ok) {
        DestroyMenu(menu);
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return menu;
}

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    const platform::ResEntry* entry = platform::FindEntry(instance, name, RT_MENU);
    if (!entry) return nullptr;
    return platform::ParseMenuTemplate(entry->data, entry->size);
}

HMENU LoadMenuIndirectW(LPCMENUTEMPLATEW menuTemplate) {
    return platform::ParseMenuTemplate(static_cast<const uint8_t*>(menuTemplate), kIndirectLimit);
}
