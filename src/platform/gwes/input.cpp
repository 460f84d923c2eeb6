// Input and activation: the active (foreground) window, the focus, the pen
// capture, hot keys, and the routing of pen and key input into the queues.
//
// The device has one pen and one keyboard, so activation, focus and capture
// are process-wide. Pen input goes to the capture window, else to the window
// under the pen (a disabled child passes it to its parent); keys go to the
// focus window, else to the active window. A pen-down on an inactive
// top-level window activates it first.
#include <algorithm>
#include <cstdlib>

#include "gwes/window_manager.h"

namespace gwes {

namespace {

HWND g_active = nullptr;
HWND g_focus = nullptr;
HWND g_capture = nullptr;
POINT g_cursor = {0, 0};
bool g_penDown = false;
BYTE g_keys[256] = {};  // 0x80 down, 0x01 toggled

// The last pen-down, for double clicks.
HWND g_lastDownWindow = nullptr;
DWORD g_lastDownTime = 0;
POINT g_lastDownPoint = {0, 0};
bool g_lastWasDouble = false;

void (*g_foregroundHook)() = nullptr;
void (*g_captionHook)() = nullptr;

struct HotKey {
    HWND hwnd;
    int id;
    UINT modifiers;
    UINT vk;
    DWORD threadId;
};
std::vector<HotKey>& HotKeys() {
    static auto* keys = new std::vector<HotKey>;
    return *keys;
}

UINT CurrentModifiers() {
    UINT m = 0;
    if (g_keys[VK_MENU] & 0x80) m |= MOD_ALT;
    if (g_keys[VK_CONTROL] & 0x80) m |= MOD_CONTROL;
    if (g_keys[VK_SHIFT] & 0x80) m |= MOD_SHIFT;
    if ((g_keys[VK_LWIN] | g_keys[VK_RWIN]) & 0x80) m |= MOD_WIN;
    return m;
}

bool Alive(HWND hwnd) {
    auto w = FindWindowObject(hwnd);
    return w && !w->destroyed;
}

// The next window to activate when `leaving` goes away: its owner when that
// can take it, else the highest visible, enabled top-level window.
HWND NextActiveCandidate(HWND leaving) {
    auto w = FindWindowObject(leaving);
    if (w && w->owner) {
        auto o = FindWindowObject(w->owner);
        if (o && !o->destroying && o->Visible() && !(o->style & WS_DISABLED)) return o->handle;
    }
    for (auto& t : Desktop().children) {
        if (t->handle == leaving || t->destroying || !t->Visible() || (t->style & WS_DISABLED)) continue;
        if (t->exStyle & WS_EX_TOOLWINDOW) continue;
        return t->handle;
    }
    return nullptr;
}

}  // namespace

void SetForegroundHook(void (*hook)()) {
    Guard guard(Lock());
    g_foregroundHook = hook;
}

void SetCaptionHook(void (*hook)()) {
    Guard guard(Lock());
    g_captionHook = hook;
}

void NotifyCaptionChanged() {
    void (*hook)();
    {
        Guard guard(Lock());
        hook = g_captionHook;
    }
    if (hook) hook();
}

void OnWindowDestroyed(Window& w) {
    if (g_active == w.handle) g_active = nullptr;
    if (g_focus == w.handle) g_focus = nullptr;
    if (g_capture == w.handle) {
        g_capture = nullptr;
        g_penDown = false;
    }
    if (g_lastDownWindow == w.handle) g_lastDownWindow = nullptr;
    auto& keys = HotKeys();
    keys.erase(std::remove_if(keys.begin(), keys.end(), [&](const HotKey& k) { return k.hwnd == w.handle; }),
               keys.end());
}

void LeaveFocusAndActivation(HWND hwnd) {
    HWND newFocus = nullptr;
    bool moveFocus = false;
    HWND next = nullptr;
    bool wasActive = false;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return;
        auto focus = FindWindowObject(g_focus);
        if (focus && (focus == w || IsDescendant(w.get(), focus.get()))) {
            moveFocus = true;
            newFocus = (w->IsChild() && w->parent && !w->parent->isDesktop) ? w->parent->handle : nullptr;
        }
        if (g_active == hwnd) {
            wasActive = true;
            next = NextActiveCandidate(hwnd);
        }
    }
    if (moveFocus && !wasActive) SetFocus(newFocus);
    if (wasActive) {
        if (next) {
            ActivateWindow(next, WA_ACTIVE);
        } else {
            // Nothing left to activate: the window just loses activation and focus.
            {
                Guard guard(Lock());
                if (g_active == hwnd) g_active = nullptr;
            }
            SendMessageInternal(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), 0);
            SetFocus(nullptr);
            NotifyCaptionChanged();
        }
    }
}

HWND ActivateWindow(HWND hwnd, int how) {
    HWND old;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w || w->destroying) return nullptr;
        Window* top = TopLevelOf(w.get());
        hwnd = top->handle;
        old = g_active;
        if (old == hwnd) return old;
        g_active = hwnd;
    }
    // The window comes to the top of the z-order as it becomes active.
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    bool oldAlive;
    {
        Guard guard(Lock());
        oldAlive = old && Alive(old);
    }
    if (oldAlive) {
        SendMessageInternal(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
        Guard guard(Lock());
        if (auto o = FindWindowObject(old)) o->frameDirty = o->frameDirty || ((o->style & WS_CAPTION) == WS_CAPTION);
    }
    SendMessageInternal(hwnd, WM_ACTIVATE, MAKEWPARAM(how, 0), oldAlive ? reinterpret_cast<LPARAM>(old) : 0);
    // When the window did not take the focus itself, it gets it now, unless
    // the focus is already inside it.
    bool giveFocus;
    void (*hook)() = nullptr;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (w && (w->style & WS_CAPTION) == WS_CAPTION) {
            w->frameDirty = true;
            if (w->queue) WakeQueue(*w->queue);
        }
        auto focus = FindWindowObject(g_focus);
        giveFocus = g_active == hwnd && w && !(focus && (focus == w || IsDescendant(w.get(), focus.get())));
        hook = g_foregroundHook;
    }
    if (giveFocus) SetFocus(hwnd);
    if (hook) hook();
    NotifyCaptionChanged();
    return old;
}

void PostInput(Window& target, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPoint) {
    if (!target.queue || target.queue->dead) return;
    MSG m = {target.handle, message, wParam, lParam, GetTickCount(), screenPoint};
    target.queue->posted.push_back(m);
    WakeQueue(*target.queue);
}

void InjectPen(PenAction action, POINT screen) {
    Guard guard(Lock());
    g_cursor = screen;
    if (action == PenAction::Move && !g_penDown) return;  // a pen has no hover
    if (action == PenAction::Down) {
        g_penDown = true;
        g_keys[VK_LBUTTON] = 0x80;
    }
    if (action == PenAction::Up) {
        g_penDown = false;
        g_keys[VK_LBUTTON] = 0;
    }
    std::shared_ptr<Window> target = FindWindowObject(g_capture);
    if (!target) {
        Window* hit = HitTest(Desktop(), screen);
        if (hit) target = FindWindowObject(hit->handle);
    }
    if (!target) return;
    Window* top = TopLevelOf(target.get());
    if ((top->style & WS_DISABLED) && !g_capture) return;  // behind a modal window
    POINT origin = ClientScreenOrigin(*target);
    LPARAM lp = MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(screen.x - origin.x)),
                           static_cast<WORD>(static_cast<SHORT>(screen.y - origin.y)));
    UINT message = WM_MOUSEMOVE;
    WPARAM wp = g_penDown ? MK_LBUTTON : 0;
    if (action == PenAction::Down) {
        message = WM_LBUTTONDOWN;
        DWORD now = GetTickCount();
        int cx = GetSystemMetrics(SM_CXDOUBLECLK), cy = GetSystemMetrics(SM_CYDOUBLECLK);
        bool dbl = target->cls && (target->cls->style & CS_DBLCLKS) && !g_lastWasDouble &&
                   g_lastDownWindow == target->handle && now - g_lastDownTime <= GetDoubleClickTime() &&
                   std::abs(screen.x - g_lastDownPoint.x) <= cx / 2 && std::abs(screen.y - g_lastDownPoint.y) <= cy / 2;
        if (dbl) message = WM_LBUTTONDBLCLK;
        g_lastWasDouble = dbl;
        g_lastDownWindow = target->handle;
        g_lastDownTime = now;
        g_lastDownPoint = screen;
    } else if (action == PenAction::Up) {
        message = WM_LBUTTONUP;
    }
    // Activation by the pen happens when the window's thread takes the
    // pen-down from its queue (see ClickActivationTarget), never on the
    // thread that delivers the input, which must not wait for anybody.
    PostInput(*target, message, wp, lp, screen);
}

HWND ClickActivationTarget(const MSG& msg) {
    if (msg.message != WM_LBUTTONDOWN && msg.message != WM_LBUTTONDBLCLK) return nullptr;
    auto w = FindWindowObject(msg.hwnd);
    if (!w || w->destroying) return nullptr;
    Window* top = TopLevelOf(w.get());
    if (top->handle == g_active || (top->style & WS_DISABLED)) return nullptr;
    if (top->exStyle & WS_EX_NOACTIVATE) return nullptr;  // menus and the shell's bars
    return top->handle;
}

void InjectKey(UINT vk, bool down) {
    vk &= 0xFF;
    Guard guard(Lock());
    bool wasDown = (g_keys[vk] & 0x80) != 0;
    if (down) {
        if (!wasDown) g_keys[vk] ^= 0x01;
        g_keys[vk] |= 0x80;
    } else {
        g_keys[vk] &= static_cast<BYTE>(~0x80);
    }
    // Left/right modifier keys also count as the generic one.
    if (vk == VK_LSHIFT || vk == VK_RSHIFT) g_keys[VK_SHIFT] = g_keys[vk];
    if (vk == VK_LCONTROL || vk == VK_RCONTROL) g_keys[VK_CONTROL] = g_keys[vk];
    UINT mods = CurrentModifiers();
    for (const HotKey& k : HotKeys()) {
        if (k.vk != vk) continue;
        if (k.hwnd) {
            // A window behind a modal dialog gets no hot keys; the key goes
            // to the dialog as an ordinary key.
            auto w = FindWindowObject(k.hwnd);
            if (w && (TopLevelOf(w.get())->style & WS_DISABLED)) continue;
        }
        UINT wanted = k.modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
        if (wanted != (mods & ~(vk == VK_SHIFT ? MOD_SHIFT : 0))) continue;
        if (!down && !(k.modifiers & MOD_KEYUP)) break;
        MSG m = {k.hwnd, WM_HOTKEY, static_cast<WPARAM>(k.id),
                 MAKELPARAM(wanted | (down ? 0 : MOD_KEYUP), vk), GetTickCount(), g_cursor};
        std::shared_ptr<MessageQueue> q;
        if (k.hwnd) {
            auto w = FindWindowObject(k.hwnd);
            if (w) q = w->queue;
        } else {
            q = QueueOfThread(k.threadId);
        }
        if (q && !q->dead) {
            q->posted.push_back(m);
            WakeQueue(*q);
        }
        return;
    }
    auto target = FindWindowObject(g_focus);
    if (!target) target = FindWindowObject(g_active);
    if (!target) return;
    LPARAM lp = 1;
    if (down) lp |= wasDown ? (1 << 30) : 0;
    else lp |= (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    PostInput(*target, down ? WM_KEYDOWN : WM_KEYUP, vk, lp, g_cursor);
}

void InjectChar(WCHAR c) {
    Guard guard(Lock());
    auto target = FindWindowObject(g_focus);
    if (!target) target = FindWindowObject(g_active);
    if (!target) return;
    PostInput(*target, WM_CHAR, c, 1, g_cursor);
}

bool InjectCommand(UINT id) {
    HWND target;
    {
        Guard guard(Lock());
        target = g_active;
    }
    if (!target) return false;
    return PostMessageInternal(target, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool InjectClose() {
    HWND target;
    {
        Guard guard(Lock());
        target = g_active;
        if (!target && !Desktop().children.empty()) target = Desktop().children.front()->handle;
    }
    if (!target) return false;
    return PostMessageInternal(target, WM_CLOSE, 0, 0);
}

}  // namespace gwes

using namespace gwes;

// ---- Activation and focus ------------------------------------------------------------------

HWND SetActiveWindow(HWND hwnd) {
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return nullptr;
        if (w->IsChild() || (w->style & WS_DISABLED)) return nullptr;
    }
    return ActivateWindow(hwnd, WA_ACTIVE);
}

HWND GetActiveWindow() {
    Guard guard(Lock());
    return g_active;
}

BOOL SetForegroundWindow(HWND hwnd) {
    {
        Guard guard(Lock());
        if (!FindWindowObject(hwnd)) {
            if (IsRemoteWindow(hwnd)) {
                // Handled below, without the lock.
            } else {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return FALSE;
            }
        }
    }
    if (IsRemoteWindow(hwnd)) return RemoteSetForeground(hwnd);
    HWND top;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return FALSE;
        top = TopLevelOf(w.get())->handle;
    }
    ActivateWindow(top, WA_ACTIVE);
    void (*hook)();
    {
        Guard guard(Lock());
        hook = g_foregroundHook;
    }
    if (hook) hook();
    return TRUE;
}

HWND GetForegroundWindow() {
    Guard guard(Lock());
    return g_active;
}

HWND SetFocus(HWND hwnd) {
    HWND old;
    HWND activateFirst = nullptr;
    {
        Guard guard(Lock());
        if (hwnd) {
            auto w = WindowOrError(hwnd);
            if (!w || w->destroyed) return nullptr;
            // A disabled window, or one inside a disabled window, cannot take the focus.
            for (Window* p = w.get(); p && !p->isDesktop; p = p->parent)
                if (p->style & WS_DISABLED) return nullptr;
            Window* top = TopLevelOf(w.get());
            if (top->handle != g_active) activateFirst = top->handle;
        }
    }
    if (activateFirst) {
        ActivateWindow(activateFirst, WA_ACTIVE);
        if (!IsWindow(hwnd)) return nullptr;
    }
    {
        Guard guard(Lock());
        old = g_focus;
        if (old == hwnd) return old;
        g_focus = hwnd;
        if (old && !Alive(old)) old = nullptr;
    }
    if (old) SendMessageInternal(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    bool stillFocused;
    {
        Guard guard(Lock());
        stillFocused = hwnd && g_focus == hwnd && Alive(hwnd);
    }
    if (stillFocused) SendMessageInternal(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    Guard guard(Lock());
    return g_focus;
}

// ---- Capture ---------------------------------------------------------------------------------

HWND SetCapture(HWND hwnd) {
    HWND old;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return nullptr;
        old = g_capture;
        if (old == hwnd) return old;
        g_capture = hwnd;
        if (old && !Alive(old)) old = nullptr;
    }
    if (old) SendMessageInternal(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture() {
    HWND old;
    {
        Guard guard(Lock());
        old = g_capture;
        g_capture = nullptr;
        if (old && !Alive(old)) old = nullptr;
    }
    if (old) SendMessageInternal(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture() {
    Guard guard(Lock());
    return g_capture;
}

// ---- Hot keys -----------------------------------------------------------------------------

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT virtualKey) {
    Guard guard(Lock());
    if (hwnd && !WindowOrError(hwnd)) return FALSE;
    UINT mods = modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
    for (const HotKey& k : HotKeys()) {
        bool sameKey = k.vk == (virtualKey & 0xFF) && (k.modifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN)) == mods;
        bool sameId = k.hwnd == hwnd && k.id == id && (hwnd || k.threadId == GetCurrentThreadId());
        if (sameKey || sameId) {
            SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
            return FALSE;
        }
    }
    HotKeys().push_back({hwnd, id, modifiers, virtualKey & 0xFF, GetCurrentThreadId()});
    if (!hwnd) CurrentQueue();
    return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id) {
    Guard guard(Lock());
    auto& keys = HotKeys();
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        if (it->hwnd == hwnd && it->id == id && (hwnd || it->threadId == GetCurrentThreadId())) {
            keys.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
    return FALSE;
}

// ---- Keys and the pen ----------------------------------------------------------------------

SHORT GetKeyState(int vk) {
    Guard guard(Lock());
    BYTE s = g_keys[vk & 0xFF];
    return static_cast<SHORT>(((s & 0x80) ? 0x8000 : 0) | (s & 0x01));
}

SHORT GetAsyncKeyState(int vk) {
    Guard guard(Lock());
    return (g_keys[vk & 0xFF] & 0x80) ? static_cast<SHORT>(0x8000) : 0;
}

void keybd_event(BYTE vk, BYTE, DWORD flags, ULONG_PTR) { InjectKey(vk, !(flags & KEYEVENTF_KEYUP)); }

void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD, ULONG_PTR) {
    POINT p;
    {
        Guard guard(Lock());
        p = g_cursor;
    }
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // Absolute positions are given on a 0..65535 scale across the screen.
        p.x = static_cast<LONG>((static_cast<uint64_t>(dx) * GetSystemMetrics(SM_CXSCREEN)) / 65536);
        p.y = static_cast<LONG>((static_cast<uint64_t>(dy) * GetSystemMetrics(SM_CYSCREEN)) / 65536);
    } else if (flags & MOUSEEVENTF_MOVE) {
        p.x += static_cast<LONG>(dx);
        p.y += static_cast<LONG>(dy);
    }
    if (flags & MOUSEEVENTF_LEFTDOWN) InjectPen(PenAction::Down, p);
    else if (flags & MOUSEEVENTF_MOVE) InjectPen(PenAction::Move, p);
    if (flags & MOUSEEVENTF_LEFTUP) InjectPen(PenAction::Up, p);
}

UINT GetDoubleClickTime() { return 500; }

BOOL GetCursorPos(LPPOINT point) {
    if (!point) return FALSE;
    Guard guard(Lock());
    *point = g_cursor;
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    UINT vk = static_cast<UINT>(msg->wParam);
    WCHAR c = 0;
    bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (vk >= 'A' && vk <= 'Z') c = static_cast<WCHAR>(shift ? vk : vk + ('a' - 'A'));
    else if (vk >= '0' && vk <= '9') c = static_cast<WCHAR>(vk);
    else if (vk == VK_SPACE) c = u' ';
    else if (vk == VK_RETURN) c = u'\r';
    else if (vk == VK_BACK) c = 8;
    else if (vk == VK_TAB) c = u'\t';
    else if (vk == VK_ESCAPE) c = 27;
    else return TRUE;
    // The character comes next, ahead of anything queued after the key.
    auto q = CurrentQueue();
    Guard guard(Lock());
    MSG m = *msg;
    m.message = WM_CHAR;
    m.wParam = c;
    q->posted.push_front(m);
    return TRUE;
}
