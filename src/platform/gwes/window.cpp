// Windows: the handle table, creation and destruction, the parent/owner
// relations, window data (Get/SetWindowLong) and window text.
//
// Creation sends WM_CREATE (with the CREATESTRUCT), then WM_SIZE and WM_MOVE,
// then shows the window when WS_VISIBLE was asked for. Destruction destroys
// owned windows first, hides the window, sends WM_DESTROY to it and then to
// its children (parents first), and WM_NCDESTROY to the children before the
// parent, after which the handle is dead for good: HWND values are never
// reused, so IsWindow on a stale handle is simply FALSE.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "display/frame_buffer.h"
#include "gwes/window_manager.h"
#include "platform/wstr.h"

namespace gwes {

// ---- The lock --------------------------------------------------------------------

void WmMutex::lock() {
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    ++depth_;
}

void WmMutex::unlock() {
    if (--depth_ == 0) owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
}

bool WmMutex::HeldByMe() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

WmMutex& Lock() {
    static auto* lock = new WmMutex;  // never destroyed: threads may run during exit
    return *lock;
}

// ---- The handle table --------------------------------------------------------------

namespace {

std::unordered_map<uintptr_t, std::shared_ptr<Window>>& Table() {
    static auto* table = new std::unordered_map<uintptr_t, std::shared_ptr<Window>>;
    return *table;
}

// Handles count up from here in steps of 2 and are never reused; they stay
// clear of the special values HWND_TOP/BOTTOM/TOPMOST/NOTOPMOST/BROADCAST.
uintptr_t g_nextHandle = 0x10020;

uintptr_t Key(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }

}  // namespace

HWND NewWindowHandle() {
    HWND h = reinterpret_cast<HWND>(g_nextHandle);
    g_nextHandle += 2;
    return h;
}

Window& Desktop() {
    static Window* desktop = [] {
        auto* d = new Window;
        d->handle = reinterpret_cast<HWND>(uintptr_t{0x10010});
        d->isDesktop = true;
        d->style = WS_VISIBLE | WS_CLIPCHILDREN;
        return d;
    }();
    platform::FrameBuffer& fb = platform::Screen();
    desktop->rect = {0, 0, fb.width, fb.height};
    return *desktop;
}

std::shared_ptr<Window> FindWindowObject(HWND hwnd) {
    if (!hwnd) return nullptr;
    auto& table = Table();
    auto it = table.find(Key(hwnd));
    return it == table.end() ? nullptr : it->second;
}

std::shared_ptr<Window> WindowOrError(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

void AddWindowObject(const std::shared_ptr<Window>& window) { Table()[Key(window->handle)] = window; }

void RemoveWindowObject(HWND hwnd) { Table().erase(Key(hwnd)); }

std::vector<std::shared_ptr<Window>> AllWindows() {
    std::vector<std::shared_ptr<Window>> all;
    all.reserve(Table().size());
    for (auto& [key, w] : Table()) all.push_back(w);
    return all;
}

Window* TopLevelOf(Window* w) {
    while (w && w->parent && !w->parent->isDesktop) w = w->parent;
    return w;
}

bool IsDescendant(const Window* ancestor, const Window* w) {
    for (const Window* p = w ? w->parent : nullptr; p; p = p->parent)
        if (p == ancestor) return true;
    return false;
}

// ---- Z-order -----------------------------------------------------------------------

namespace {

void Unlink(Window& w) {
    if (!w.parent) return;
    auto& siblings = w.parent->children;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [&](const std::shared_ptr<Window>& s) { return s.get() == &w; }),
                   siblings.end());
}

}  // namespace

// Places w among its siblings: HWND_TOP, HWND_BOTTOM, HWND_TOPMOST,
// HWND_NOTOPMOST or after a sibling. Topmost windows stay above the others.
void LinkWindow(const std::shared_ptr<Window>& w, Window& parent, HWND after) {
    Unlink(*w);
    w->parent = &parent;
    auto& siblings = parent.children;
    if (after == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
    if (after == HWND_NOTOPMOST) w->exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    bool topmost = !w->IsChild() && (w->exStyle & WS_EX_TOPMOST);
    // First index that a non-topmost window may take.
    size_t firstPlain = 0;
    if (parent.isDesktop)
        while (firstPlain < siblings.size() && (siblings[firstPlain]->exStyle & WS_EX_TOPMOST))
            ++firstPlain;
    size_t index;
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        index = topmost ? 0 : firstPlain;
    } else if (after == HWND_BOTTOM) {
        index = topmost ? firstPlain : siblings.size();
    } else {
        index = topmost ? 0 : firstPlain;
        for (size_t i = 0; i < siblings.size(); ++i) {
            if (siblings[i]->handle == after) {
                index = i + 1;
                break;
            }
        }
        if (!topmost && index < firstPlain) index = firstPlain;
        if (topmost && index > firstPlain) index = firstPlain;
    }
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(index), w);
}

// ---- Creation ------------------------------------------------------------------------

namespace {

RECT WorkAreaRect() {
    RECT r;
    SystemWorkArea(&r);
    return r;
}

}  // namespace

}  // namespace gwes

using namespace gwes;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID param) {
    std::shared_ptr<Window> w;
    CREATESTRUCTW cs = {};
    {
        Guard guard(Lock());
        auto cls = FindClass(className, instance);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        Window* parentWindow = &Desktop();
        HWND owner = nullptr;
        if (style & WS_CHILD) {
            auto p = FindWindowObject(parent);
            if (!p && parent == Desktop().handle) p = nullptr;
            if (!p) {
                if (parent != Desktop().handle) {
                    SetLastError(parent ? ERROR_INVALID_WINDOW_HANDLE : ERROR_TLW_WITH_WSCHILD);
                    return nullptr;
                }
            } else {
                if (p->destroying) {
                    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                    return nullptr;
                }
                parentWindow = p.get();
            }
        } else if (parent) {
            auto p = FindWindowObject(parent);
            if (!p) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            owner = p->isDesktop ? nullptr : TopLevelOf(p.get())->handle;
        }

        // Default placement: top-level windows fill the work area below the
        // navigation bar, as on the device; children start empty at 0, 0.
        bool topLevel = parentWindow->isDesktop;
        RECT work = WorkAreaRect();
        if (x == CW_USEDEFAULT) {
            x = topLevel ? work.left : 0;
            y = topLevel ? work.top : 0;
        } else if (y == CW_USEDEFAULT) {
            y = topLevel ? work.top : 0;
        }
        if (width == CW_USEDEFAULT) {
            width = topLevel ? std::max(0, static_cast<int>(work.right) - x) : 0;
            height = topLevel ? std::max(0, static_cast<int>(work.bottom) - y) : 0;
        } else if (height == CW_USEDEFAULT) {
            height = topLevel ? std::max(0, static_cast<int>(work.bottom) - y) : 0;
        }
        width = std::max(width, 0);
        height = std::max(height, 0);

        w = std::make_shared<Window>();
        w->handle = NewWindowHandle();
        w->cls = cls;
        w->style = style & ~static_cast<DWORD>(WS_VISIBLE);
        w->exStyle = exStyle;
        w->id = reinterpret_cast<UINT_PTR>(menu);
        if (windowName && !IS_INTRESOURCE(windowName)) w->text = windowName;
        w->owner = owner;
        w->proc = cls->proc;
        w->extra.assign(static_cast<size_t>(cls->cbWndExtra), 0);
        w->instance = instance;
        w->rect = {x, y, x + width, y + height};
        w->queue = CurrentQueue();
        w->threadId = GetCurrentThreadId();
        w->iconBig = cls->icon;
        // Children join below their siblings (creation order is tab order);
        // top-level windows come up on top.
        LinkWindow(w, *parentWindow, topLevel ? HWND_TOP : HWND_BOTTOM);
        AddWindowObject(w);
        ++cls->windowCount;

        cs.lpCreateParams = param;
        cs.hInstance = instance;
        cs.hMenu = menu;
        cs.hwndParent = parent;
        cs.cx = width;
        cs.cy = height;
        cs.x = x;
        cs.y = y;
        cs.style = static_cast<LONG>(style);
        cs.lpszName = windowName;
        cs.lpszClass = className;
        cs.dwExStyle = exStyle;
    }
    HWND hwnd = w->handle;
    if (SendMessageInternal(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(hwnd)) return nullptr;  // it destroyed itself while being created

    RECT client;
    POINT origin;
    bool topLevel;
    {
        Guard guard(Lock());
        client = ClientRectInWindow(*w);
        origin = {w->rect.left + client.left, w->rect.top + client.top};
        topLevel = !w->IsChild();
        if (topLevel) PublishTopLevel(*w);
    }
    SendMessageInternal(hwnd, WM_SIZE, (style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED,
                        MAKELPARAM(client.right - client.left, client.bottom - client.top));
    SendMessageInternal(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if ((style & WS_VISIBLE) && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

// ---- Destruction ---------------------------------------------------------------------

namespace {

void SendDestroyTree(const std::shared_ptr<Window>& w) {
    SendMessageInternal(w->handle, WM_DESTROY, 0, 0);
    std::vector<std::shared_ptr<Window>> children;
    {
        Guard guard(Lock());
        children = w->children;
        for (auto& c : children) c->destroying = true;
    }
    for (auto& c : children)
        if (!c->destroyed) SendDestroyTree(c);
}

void FreeWindow(const std::shared_ptr<Window>& w) {
    Guard guard(Lock());
    if (w->destroyed) return;
    w->destroyed = true;
    OnWindowDestroyed(*w);
    if (!w->IsChild()) UnpublishTopLevel(*w);
    RemoveTimersFor(w->handle);
    RemoveMessagesFor(w->handle);
    ForgetDCsOf(w->handle);
    if (w->cls) --w->cls->windowCount;
    if (w->parent) {
        auto& siblings = w->parent->children;
        siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                      [&](const std::shared_ptr<Window>& s) { return s == w; }),
                       siblings.end());
    }
    w->parent = nullptr;
    RemoveWindowObject(w->handle);
}

void SendNcDestroyTree(const std::shared_ptr<Window>& w) {
    std::vector<std::shared_ptr<Window>> children;
    {
        Guard guard(Lock());
        children = w->children;
    }
    // Last-created children first, as they are freed in reverse z-order.
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (!(*it)->destroyed) SendNcDestroyTree(*it);
    SendMessageInternal(w->handle, WM_NCDESTROY, 0, 0);
    FreeWindow(w);
}

void FreeTreeSilently(const std::shared_ptr<Window>& w) {
    std::vector<std::shared_ptr<Window>> children = w->children;
    for (auto it = children.rbegin(); it != children.rend(); ++it) FreeTreeSilently(*it);
    FreeWindow(w);
}

}  // namespace

void gwes::DestroyThreadWindows(DWORD threadId) {
    Guard guard(Lock());
    for (auto& w : AllWindows()) {
        if (w->destroyed || w->threadId != threadId) continue;
        if (w->parent && !w->parent->isDesktop && w->parent->threadId == threadId) continue;
        RectList covered = CoveredArea(*w);
        w->destroying = true;
        FreeTreeSilently(w);
        ExposeScreenRegion(covered);
    }
    RefreshLiveDCs();
}

BOOL DestroyWindow(HWND hwnd) {
    std::shared_ptr<Window> w;
    std::vector<HWND> owned;
    {
        Guard guard(Lock());
        w = WindowOrError(hwnd);
        if (!w) return FALSE;
        if (w->isDesktop || w->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying) return TRUE;
        w->destroying = true;
        for (auto& top : Desktop().children)
            if (top->owner == hwnd) owned.push_back(top->handle);
    }
    for (HWND o : owned) DestroyWindow(o);

    bool visible;
    {
        Guard guard(Lock());
        visible = w->Visible();
    }
    if (visible)
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    else
        LeaveFocusAndActivation(hwnd);

    SendDestroyTree(w);
    SendNcDestroyTree(w);
    {
        Guard guard(Lock());
        RefreshLiveDCs();
    }
    return TRUE;
}

// ---- Relations -----------------------------------------------------------------------

BOOL IsWindow(HWND hwnd) {
    if (!hwnd) return FALSE;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (w) return !w->destroyed;
        if (hwnd == Desktop().handle) return TRUE;
    }
    if (IsRemoteWindow(hwnd)) return RemoteIsWindow(hwnd);
    return FALSE;
}

BOOL IsWindowVisible(HWND hwnd) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    return w && ReallyVisible(*w);
}

BOOL IsChild(HWND parent, HWND hwnd) {
    Guard guard(Lock());
    auto p = FindWindowObject(parent);
    auto w = FindWindowObject(hwnd);
    if (!p || !w) return FALSE;
    // Only a chain of WS_CHILD windows makes a child.
    for (Window* c = w.get(); c && c->IsChild(); c = c->parent)
        if (c->parent == p.get()) return TRUE;
    return FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    return w && !(w->style & WS_DISABLED);
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
    bool wasDisabled;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return FALSE;
        wasDisabled = (w->style & WS_DISABLED) != 0;
        if (wasDisabled == !enable) return wasDisabled;
        if (enable)
            w->style &= ~static_cast<DWORD>(WS_DISABLED);
        else
            w->style |= WS_DISABLED;
    }
    if (!enable) {
        // A disabled window can hold neither the focus nor the capture.
        HWND focus = GetFocus();
        if (focus == hwnd || IsChild(hwnd, focus)) SetFocus(nullptr);
        if (GetCapture() == hwnd) ReleaseCapture();
    }
    SendMessageInternal(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

HWND GetParent(HWND hwnd) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w || w->isDesktop) return nullptr;
    if (w->IsChild()) return (w->parent && !w->parent->isDesktop) ? w->parent->handle : nullptr;
    return w->owner;
}

HWND SetParent(HWND child, HWND newParent) {
    HWND old;
    {
        Guard guard(Lock());
        auto w = WindowOrError(child);
        if (!w || w->isDesktop) return nullptr;
        Window* target = &Desktop();
        if (newParent) {
            auto p = WindowOrError(newParent);
            if (!p) return nullptr;
            if (p.get() == w.get() || IsDescendant(w.get(), p.get())) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            target = p.get();
        }
        old = (w->parent && !w->parent->isDesktop) ? w->parent->handle : Desktop().handle;
        bool wasTop = w->parent && w->parent->isDesktop;
        if (wasTop && !target->isDesktop) UnpublishTopLevel(*w);
        RectList before = ReallyVisible(*w) ? VisibleRegion(*w, false) : RectList{};
        LinkWindow(w, *target, HWND_TOP);
        if (!wasTop && target->isDesktop) PublishTopLevel(*w);
        ExposeScreenRegion(before);
        if (ReallyVisible(*w)) InvalidateTree(*w);
        RefreshLiveDCs();
    }
    return old;
}

HWND GetDesktopWindow() {
    Guard guard(Lock());
    return Desktop().handle;
}

HWND GetWindow(HWND hwnd, UINT command) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    Window* win = w.get();
    if (!win && hwnd == Desktop().handle) win = &Desktop();
    if (!win) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (command == GW_CHILD) return win->children.empty() ? nullptr : win->children.front()->handle;
    if (command == GW_OWNER) return win->IsChild() ? nullptr : win->owner;
    if (!win->parent) return nullptr;
    auto& siblings = win->parent->children;
    size_t index = 0;
    while (index < siblings.size() && siblings[index].get() != win) ++index;
    switch (command) {
    case GW_HWNDFIRST: return siblings.front()->handle;
    case GW_HWNDLAST: return siblings.back()->handle;
    case GW_HWNDNEXT: return index + 1 < siblings.size() ? siblings[index + 1]->handle : nullptr;
    case GW_HWNDPREV: return index > 0 && index < siblings.size() ? siblings[index - 1]->handle : nullptr;
    default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
    }
}

HWND GetDlgItem(HWND dialog, int id) {
    Guard guard(Lock());
    auto w = WindowOrError(dialog);
    if (!w) return nullptr;
    for (auto& c : w->children)
        if (c->IsChild() && static_cast<int>(c->id) == id) return c->handle;
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w || !w->IsChild()) return 0;
    return static_cast<int>(w->id);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w) return 0;
    if (processId) *processId = GetCurrentProcessId();
    return w->threadId;
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM param) {
    std::vector<HWND> tops;
    {
        Guard guard(Lock());
        for (auto& t : Desktop().children) tops.push_back(t->handle);
    }
    for (HWND h : tops)
        if (IsWindow(h) && !proc(h, param)) return FALSE;
    return TRUE;
}

namespace {
void CollectDescendants(const Window& w, std::vector<HWND>& out) {
    for (auto& c : w.children) {
        out.push_back(c->handle);
        CollectDescendants(*c, out);
    }
}
}  // namespace

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM param) {
    std::vector<HWND> all;
    {
        Guard guard(Lock());
        auto w = parent ? FindWindowObject(parent) : nullptr;
        CollectDescendants(w ? *w : Desktop(), all);
    }
    for (HWND h : all)
        if (IsWindow(h) && !proc(h, param)) return FALSE;
    return TRUE;
}

// ---- Window data ---------------------------------------------------------------------

namespace {

LONG_PTR GetLongInternal(HWND hwnd, int index, size_t width) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w) return 0;
    if (index >= 0) {
        if (static_cast<size_t>(index) + width > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        if (width == sizeof(LONG)) {
            LONG v;
            std::memcpy(&v, w->extra.data() + index, sizeof v);
            return v;
        }
        LONG_PTR v;
        std::memcpy(&v, w->extra.data() + index, sizeof v);
        return v;
    }
    switch (index) {
    case GWL_WNDPROC: return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE: return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->IsChild() && w->parent ? w->parent->handle : w->owner);
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_USERDATA: return w->userData;
    case GWL_ID: return static_cast<LONG_PTR>(w->id);
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

LONG_PTR SetLongInternal(HWND hwnd, int index, LONG_PTR value, size_t width) {
    if (index == GWL_STYLE || index == GWL_EXSTYLE) {
        STYLESTRUCT ss;
        {
            Guard guard(Lock());
            auto w = WindowOrError(hwnd);
            if (!w) return 0;
            ss.styleOld = index == GWL_STYLE ? w->style : w->exStyle;
            ss.styleNew = static_cast<DWORD>(value);
        }
        SendMessageInternal(hwnd, WM_STYLECHANGING, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(&ss));
        {
            Guard guard(Lock());
            auto w = WindowOrError(hwnd);
            if (!w) return 0;
            if (index == GWL_STYLE) w->style = ss.styleNew;
            else w->exStyle = ss.styleNew;
        }
        SendMessageInternal(hwnd, WM_STYLECHANGED, static_cast<WPARAM>(index),
                            reinterpret_cast<LPARAM>(&ss));
        return static_cast<LONG>(ss.styleOld);
    }
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w) return 0;
    LONG_PTR old = 0;
    if (index >= 0) {
        if (static_cast<size_t>(index) + width > w->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        if (width == sizeof(LONG)) {
            LONG o, v = static_cast<LONG>(value);
            std::memcpy(&o, w->extra.data() + index, sizeof o);
            std::memcpy(w->extra.data() + index, &v, sizeof v);
            return o;
        }
        std::memcpy(&old, w->extra.data() + index, sizeof old);
        std::memcpy(w->extra.data() + index, &value, sizeof value);
        return old;
    }
    switch (index) {
    case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        w->proc = reinterpret_cast<WNDPROC>(value);
        return old;
    case GWL_HINSTANCE:
        old = reinterpret_cast<LONG_PTR>(w->instance);
        w->instance = reinterpret_cast<HINSTANCE>(value);
        return old;
    case GWL_HWNDPARENT:
        if (w->IsChild()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        old = reinterpret_cast<LONG_PTR>(w->owner);
        w->owner = reinterpret_cast<HWND>(value);
        return old;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    case GWL_ID:
        old = static_cast<LONG_PTR>(w->id);
        w->id = static_cast<UINT_PTR>(value);
        return old;
    default: SetLastError(ERROR_INVALID_INDEX); return 0;
    }
}

}  // namespace

LONG GetWindowLongW(HWND hwnd, int index) {
    return static_cast<LONG>(GetLongInternal(hwnd, index, sizeof(LONG)));
}

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
    return static_cast<LONG>(SetLongInternal(hwnd, index, value, sizeof(LONG)));
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return GetLongInternal(hwnd, index, sizeof(LONG_PTR)); }

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    return SetLongInternal(hwnd, index, value, sizeof(LONG_PTR));
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!proc) return 0;
    return proc(hwnd, message, wParam, lParam);
}

// ---- Text ------------------------------------------------------------------------------

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageInternal(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount) {
    if (!text || maxCount <= 0) return 0;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) {
            text[0] = 0;
            return 0;
        }
        // Another thread's window: read the stored text instead of sending,
        // so that a busy or hung thread cannot block the caller.
        if (w->threadId != GetCurrentThreadId()) {
            int n = static_cast<int>(std::min<size_t>(w->text.size(), static_cast<size_t>(maxCount - 1)));
            std::copy(w->text.begin(), w->text.begin() + n, text);
            text[n] = 0;
            return n;
        }
    }
    text[0] = 0;
    return static_cast<int>(SendMessageInternal(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount),
                                                reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd) {
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return 0;
        if (w->threadId != GetCurrentThreadId()) return static_cast<int>(w->text.size());
    }
    return static_cast<int>(SendMessageInternal(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

// ---- Finding windows ---------------------------------------------------------------------

namespace gwes {

HWND FindLocalTopLevel(LPCWSTR className, LPCWSTR windowName) {
    Guard guard(Lock());
    for (auto& t : Desktop().children) {
        if (t->destroying) continue;
        if (className) {
            if (IS_INTRESOURCE(className)) {
                if (!t->cls || t->cls->atom != static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(className)))
                    continue;
            } else if (!t->cls || !platform::EqualsIgnoreCase(t->cls->name, className)) {
                continue;
            }
        }
        if (windowName && !platform::EqualsIgnoreCase(t->text, windowName)) continue;
        return t->handle;
    }
    return nullptr;
}

}  // namespace gwes

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    if (HWND local = FindLocalTopLevel(className, windowName)) return local;
    // Another program on the same device root.
    if (className && !IS_INTRESOURCE(className)) return FindRemoteWindow(className, windowName);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}
