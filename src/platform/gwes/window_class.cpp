// Window classes and registered message numbers. Classes are found by name
// ignoring case (or by the atom RegisterClassW returned); a class registered
// by one module instance is also found from another, because Windows CE
// programs do not always pass the same instance handle.
#include <map>

#include "gwes/window_manager.h"
#include "platform/wstr.h"

namespace gwes {

namespace {

// Win32 gives class atoms and registered messages numbers from one table
// starting at 0xC000.
ATOM g_nextAtom = 0xC000;

std::vector<std::shared_ptr<WindowClass>>& Classes() {
    static auto* classes = new std::vector<std::shared_ptr<WindowClass>>;
    return *classes;
}

std::map<std::u16string, UINT>& RegisteredMessages() {
    static auto* messages = new std::map<std::u16string, UINT>;
    return *messages;
}

std::u16string Folded(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = platform::FoldCase(c);
    return out;
}

bool NameIsAtom(LPCWSTR name) { return IS_INTRESOURCE(name); }

bool Matches(const WindowClass& c, LPCWSTR name) {
    if (NameIsAtom(name)) return c.atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name));
    return platform::EqualsIgnoreCase(c.name, name);
}

}  // namespace

std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance) {
    if (!name) return nullptr;
    static bool controlsRegistered = false;
    if (!controlsRegistered) {
        controlsRegistered = true;
        RegisterSystemControlClasses();
    }
    std::shared_ptr<WindowClass> any;
    for (const auto& c : Classes()) {
        if (!Matches(*c, name)) continue;
        if (c->instance == instance) return c;
        if (!any) any = c;
    }
    return any;
}

}  // namespace gwes

using namespace gwes;

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || NameIsAtom(wc->lpszClassName) || !*wc->lpszClassName ||
        wc->cbClsExtra < 0 || wc->cbWndExtra < 0 || wc->cbWndExtra > 4096 ||
        wc->cbClsExtra > 4096) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Guard guard(Lock());
    for (const auto& c : Classes()) {
        if (platform::EqualsIgnoreCase(c->name, wc->lpszClassName) &&
            (c->instance == wc->hInstance || c->system)) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->atom = g_nextAtom++;
    c->style = wc->style;
    c->proc = wc->lpfnWndProc;
    c->cbClsExtra = wc->cbClsExtra;
    c->cbWndExtra = wc->cbWndExtra;
    c->instance = wc->hInstance;
    c->icon = wc->hIcon;
    c->cursor = wc->hCursor;
    c->background = wc->hbrBackground;
    if (wc->lpszMenuName && !NameIsAtom(wc->lpszMenuName)) c->menuName = wc->lpszMenuName;
    c->system = (wc->style & CS_GLOBALCLASS) != 0 && wc->hInstance == nullptr;
    Classes().push_back(c);
    return c->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance) {
    Guard guard(Lock());
    auto& classes = Classes();
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        const auto& c = *it;
        if (!className || !Matches(*c, className)) continue;
        if (c->instance != instance && instance != nullptr && c->instance != nullptr) continue;
        if (c->windowCount > 0) {
            SetLastError(ERROR_CLASS_HAS_WINDOWS);
            return FALSE;
        }
        classes.erase(it);
        return TRUE;
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, LPWNDCLASSW wc) {
    Guard guard(Lock());
    auto c = FindClass(className, instance);
    if (!c || !wc) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    wc->style = c->style;
    wc->lpfnWndProc = c->proc;
    wc->cbClsExtra = c->cbClsExtra;
    wc->cbWndExtra = c->cbWndExtra;
    wc->hInstance = c->instance;
    wc->hIcon = c->icon;
    wc->hCursor = c->cursor;
    wc->hbrBackground = c->background;
    wc->lpszMenuName = c->menuName.empty() ? nullptr : c->menuName.c_str();
    wc->lpszClassName = c->name.c_str();
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR className, int maxCount) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w || !className || maxCount <= 0) return 0;
    const std::u16string& name = w->cls ? w->cls->name : u"#32769";
    int n = static_cast<int>(std::min<size_t>(name.size(), static_cast<size_t>(maxCount - 1)));
    std::copy(name.begin(), name.begin() + n, className);
    className[n] = 0;
    return n;
}

DWORD GetClassLongW(HWND hwnd, int index) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w || !w->cls) return 0;
    const WindowClass& c = *w->cls;
    switch (index) {
    case GCL_STYLE: return c.style;
    case GCL_CBWNDEXTRA: return static_cast<DWORD>(c.cbWndExtra);
    case GCL_CBCLSEXTRA: return static_cast<DWORD>(c.cbClsExtra);
    case GCW_ATOM: return c.atom;
    // Handles and pointers: the low 32 bits only, as on 64-bit Windows.
    case GCL_HBRBACKGROUND: return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(c.background));
    case GCL_HICON: return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(c.icon));
    case GCL_HCURSOR: return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(c.cursor));
    case GCL_HMODULE: return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(c.instance));
    case GCL_WNDPROC: return static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(c.proc));
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

DWORD SetClassLongW(HWND hwnd, int index, LONG value) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w || !w->cls) return 0;
    WindowClass& c = *w->cls;
    DWORD old = 0;
    switch (index) {
    case GCL_STYLE: old = c.style; c.style = static_cast<UINT>(value); return old;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Guard guard(Lock());
    auto& messages = RegisteredMessages();
    std::u16string key = Folded(name);
    auto it = messages.find(key);
    if (it != messages.end()) return it->second;
    UINT id = g_nextAtom++;
    messages.emplace(key, id);
    return id;
}
