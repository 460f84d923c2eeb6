// The clipboard: one per process, opened by one thread at a time. The data
// of each format is the handle the owner set; the clipboard frees it when it
// is emptied or the format is set again (see winuser.h for which kind of
// handle is freed how). A null handle asks for delayed rendering: the owner
// gets WM_RENDERFORMAT when somebody wants that format.
//
// CF_TEXT/CF_OEMTEXT and CF_UNICODETEXT stand in for each other: asking for
// a missing one converts the other (through the ANSI code page) into a block
// that the clipboard owns like any other. Text blocks are read no further
// than the block LocalAlloc made, terminator or not.
#include <malloc.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "windows.h"

namespace {

struct Entry {
    UINT format = 0;
    HANDLE data = nullptr;
    bool synthesized = false;  // made by the clipboard from another text format
};

struct Clipboard {
    std::mutex lock;
    bool open = false;
    DWORD openThread = 0;
    HWND openWindow = nullptr;
    HWND owner = nullptr;
    std::vector<Entry> entries;  // in the order they were set
    std::map<UINT, std::u16string> names;  // registered formats
    UINT rendering = 0;  // the format the owner is asked to render now (WM_RENDERFORMAT)
};

Clipboard& Board() {
    static auto* board = new Clipboard;  // never destroyed: threads may use it during exit
    return *board;
}

bool OpenedByMe(const Clipboard& c) { return c.open && c.openThread == GetCurrentThreadId(); }

bool IsAnsiText(UINT format) { return format == CF_TEXT || format == CF_OEMTEXT; }

void FreeData(UINT format, HANDLE data) {
    if (!data) return;
    if (format == CF_BITMAP || format == CF_PALETTE || format == CF_ENHMETAFILE ||
        (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST)) {
        DeleteObject(data);
    } else if (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) {
        // The owner's own handles; it frees them on WM_DESTROYCLIPBOARD.
    } else {
        LocalFree(data);
    }
}

Entry* FindEntry(Clipboard& c, UINT format) {
    for (Entry& e : c.entries)
        if (e.format == format) return &e;
    return nullptr;
}

// The text format that `format` can be made from, or 0.
UINT SourceFormat(const Clipboard& c, UINT format) {
    auto has = [&](UINT f) {
        for (const Entry& e : c.entries)
            if (e.format == f && !e.synthesized) return true;
        return false;
    };
    if (IsAnsiText(format)) {
        if (has(CF_UNICODETEXT)) return CF_UNICODETEXT;
        UINT other = format == CF_TEXT ? CF_OEMTEXT : CF_TEXT;
        return has(other) ? other : 0;
    }
    if (format == CF_UNICODETEXT) {
        if (has(CF_TEXT)) return CF_TEXT;
        return has(CF_OEMTEXT) ? CF_OEMTEXT : 0;
    }
    return 0;
}

// Converts a text block into the wanted format; null when it cannot.
HANDLE ConvertText(HANDLE source, UINT from, UINT to) {
    if (!source) return nullptr;
    const size_t bytes = malloc_usable_size(source);
    if (from == CF_UNICODETEXT) {
        const auto* wide = static_cast<const WCHAR*>(source);
        size_t n = 0;
        while (n < bytes / sizeof(WCHAR) && wide[n]) ++n;
        int ansi = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
        if (ansi < 0) return nullptr;
        auto* out = static_cast<char*>(LocalAlloc(LMEM_FIXED, static_cast<size_t>(ansi) + 1));
        if (!out) return nullptr;
        WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(n), out, ansi, nullptr, nullptr);
        out[ansi] = 0;
        return out;
    }
    const auto* ansiText = static_cast<const char*>(source);
    size_t n = 0;
    while (n < bytes && ansiText[n]) ++n;
    if (IsAnsiText(to)) {  // CF_TEXT and CF_OEMTEXT share the ANSI code page here
        auto* out = static_cast<char*>(LocalAlloc(LMEM_FIXED, n + 1));
        if (!out) return nullptr;
        std::copy(ansiText, ansiText + n, out);
        out[n] = 0;
        return out;
    }
    int wide = MultiByteToWideChar(CP_ACP, 0, ansiText, static_cast<int>(n), nullptr, 0);
    if (wide < 0) return nullptr;
    auto* out = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, (static_cast<size_t>(wide) + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    MultiByteToWideChar(CP_ACP, 0, ansiText, static_cast<int>(n), out, wide);
    out[wide] = 0;
    return out;
}

// The formats in enumeration order: those set, then those that can be made.
std::vector<UINT> Formats(const Clipboard& c) {
    std::vector<UINT> formats;
    for (const Entry& e : c.entries) formats.push_back(e.format);
    for (UINT f : {static_cast<UINT>(CF_UNICODETEXT), static_cast<UINT>(CF_TEXT), static_cast<UINT>(CF_OEMTEXT)}) {
        if (std::find(formats.begin(), formats.end(), f) == formats.end() && SourceFormat(c, f))
            formats.push_back(f);
    }
    return formats;
}

}  // namespace

BOOL OpenClipboard(HWND owner) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    if (c.open && c.openThread != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    c.open = true;
    c.openThread = GetCurrentThreadId();
    c.openWindow = owner;
    return TRUE;
}

BOOL CloseClipboard(void) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!OpenedByMe(c)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return FALSE;
    }
    c.open = false;
    c.openThread = 0;
    c.openWindow = nullptr;
    return TRUE;
}

BOOL EmptyClipboard(void) {
    Clipboard& c = Board();
    HWND previousOwner;
    std::vector<Entry> old;
    {
        std::lock_guard<std::mutex> guard(c.lock);
        if (!OpenedByMe(c)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return FALSE;
        }
        previousOwner = c.owner;
        old.swap(c.entries);
        c.owner = c.openWindow;
    }
    // The previous owner hears of it before its data goes, so that it can
    // free handles of its private formats.
    if (previousOwner && IsWindow(previousOwner)) SendMessageW(previousOwner, WM_DESTROYCLIPBOARD, 0, 0);
    for (const Entry& e : old) FreeData(e.format, e.data);
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Clipboard& c = Board();
    std::vector<Entry> dropped;
    {
        std::lock_guard<std::mutex> guard(c.lock);
        // While rendering a format the owner sets it without opening the
        // clipboard (the asking thread holds it open).
        if (!OpenedByMe(c) && !(c.rendering && c.rendering == format)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return nullptr;
        }
        if (format == 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        // The format's old data goes, and so does text made from another
        // text format, which the new text makes stale.
        auto stale = [&](const Entry& e) {
            return e.format == format ||
                   (e.synthesized && (format == CF_UNICODETEXT || IsAnsiText(format)) &&
                    (e.format == CF_UNICODETEXT || IsAnsiText(e.format)));
        };
        for (const Entry& e : c.entries)
            if (stale(e)) dropped.push_back(e);
        c.entries.erase(std::remove_if(c.entries.begin(), c.entries.end(), stale), c.entries.end());
        c.entries.push_back({format, data, false});
    }
    for (const Entry& e : dropped)
        if (e.data != data) FreeData(e.format, e.data);
    return data;
}

HANDLE GetClipboardData(UINT format) {
    Clipboard& c = Board();
    HWND renderer = nullptr;
    {
        std::lock_guard<std::mutex> guard(c.lock);
        if (!OpenedByMe(c)) {
            SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
            return nullptr;
        }
        Entry* e = FindEntry(c, format);
        if (e && e->data) return e->data;
        if (e) {
            renderer = c.owner;
            c.rendering = format;
        }
    }
    if (renderer) {
        // Delayed rendering: the owner puts the data in now.
        if (IsWindow(renderer)) SendMessageW(renderer, WM_RENDERFORMAT, format, 0);
        std::lock_guard<std::mutex> guard(c.lock);
        c.rendering = 0;
        Entry* e = FindEntry(c, format);
        return e ? e->data : nullptr;
    }
    std::lock_guard<std::mutex> guard(c.lock);
    if (!OpenedByMe(c)) return nullptr;
    UINT from = SourceFormat(c, format);
    Entry* source = from ? FindEntry(c, from) : nullptr;
    if (!source) return nullptr;
    HANDLE made = ConvertText(source->data, from, format);
    if (!made) return nullptr;
    c.entries.push_back({format, made, true});
    return made;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    return FindEntry(c, format) || SourceFormat(c, format) ? TRUE : FALSE;
}

int CountClipboardFormats(void) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    return static_cast<int>(Formats(c).size());
}

UINT EnumClipboardFormats(UINT format) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    if (!OpenedByMe(c)) {
        SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
        return 0;
    }
    std::vector<UINT> formats = Formats(c);
    auto it = format == 0 ? formats.begin() : std::find(formats.begin(), formats.end(), format);
    if (format != 0 && it != formats.end()) ++it;
    SetLastError(ERROR_SUCCESS);
    return it == formats.end() ? 0 : *it;
}

UINT RegisterClipboardFormatW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    // One table with the registered messages, as on the desktop system: the
    // same name gives the same number.
    UINT id = RegisterWindowMessageW(name);
    if (!id) return 0;
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    c.names.emplace(id, std::u16string(name));
    return id;
}

int GetClipboardFormatNameW(UINT format, LPWSTR name, int maxCount) {
    if (!name || maxCount <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.names.find(format);
    if (it == c.names.end()) {
        // The predefined formats have no names.
        name[0] = 0;
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int n = static_cast<int>(std::min<size_t>(it->second.size(), static_cast<size_t>(maxCount - 1)));
    std::copy(it->second.begin(), it->second.begin() + n, name);
    name[n] = 0;
    return n;
}

HWND GetClipboardOwner(void) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.owner;
}

HWND GetOpenClipboardWindow(void) {
    Clipboard& c = Board();
    std::lock_guard<std::mutex> guard(c.lock);
    return c.open ? c.openWindow : nullptr;
}
