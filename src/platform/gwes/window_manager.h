// Internal state of the window manager: the window tree, classes and the
// per-thread message queues. All of it is guarded by one process-wide lock
// (Lock()); window procedures are always called with that lock released.
// Windows are kept by shared_ptr in a table keyed by HWND value, so a stale
// HWND finds nothing instead of freed memory. Coordinates: Window::rect is in
// the parent's client coordinates (screen coordinates for top-level windows).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gwes/region.h"
#include "windows.h"

namespace gwes {

// The window manager's lock: recursive, and able to tell whether the calling
// thread holds it, because sending a message with it held would deadlock.
class WmMutex {
public:
    void lock();
    void unlock();
    bool HeldByMe() const;

private:
    std::recursive_mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    int depth_ = 0;
};
WmMutex& Lock();
using Guard = std::lock_guard<WmMutex>;
using UniqueGuard = std::unique_lock<WmMutex>;

struct WindowClass {
    std::u16string name;
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    std::u16string menuName;
    bool system = false;   // registered by the layer (controls); never unregistered
    int windowCount = 0;   // live windows of the class; unregistering fails while > 0
};

struct MessageQueue;

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    DWORD style = 0;
    DWORD exStyle = 0;
    UINT_PTR id = 0;  // child windows: the control id; others: the menu handle
    std::u16string text;
    Window* parent = nullptr;                       // the desktop for top-level windows
    std::vector<std::shared_ptr<Window>> children;  // z-order, topmost first
    HWND owner = nullptr;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;  // cbWndExtra bytes for Get/SetWindowLong(index >= 0)
    HINSTANCE instance = nullptr;
    RECT rect = {0, 0, 0, 0};
    std::shared_ptr<MessageQueue> queue;
    DWORD threadId = 0;
    HICON iconBig = nullptr;
    HICON iconSmall = nullptr;

    // Painting state, in client coordinates.
    RectList update;
    bool eraseNeeded = false;
    bool internalPaint = false;
    bool frameDirty = false;  // the non-client area needs drawing
    bool redrawOff = false;   // WM_SETREDRAW FALSE

    bool destroying = false;
    bool destroyed = false;
    bool isDesktop = false;

    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool IsChild() const { return (style & WS_CHILD) != 0; }
};

// A message sent from another thread, waiting for the receiver to handle it.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    bool notify = false;  // SendNotifyMessage: nobody waits for the result
    std::shared_ptr<MessageQueue> sender;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    uint64_t due = 0;  // milliseconds on the monotonic clock
};

struct MessageQueue {
    DWORD threadId = 0;
    std::deque<MSG> posted;  // posted and input messages, in order
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::vector<std::shared_ptr<SentMessage>> receiving;  // being handled, innermost last
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool dead = false;  // the thread has ended
    std::condition_variable_any wake;
    DWORD lastTime = 0;
    POINT lastPos = {0, 0};
};

// ---- Tables (call with Lock() held) -------------------------------------------
std::shared_ptr<Window> FindWindowObject(HWND hwnd);
// Like FindWindowObject, but sets ERROR_INVALID_WINDOW_HANDLE when missing.
std::shared_ptr<Window> WindowOrError(HWND hwnd);
Window& Desktop();
std::shared_ptr<WindowClass> FindClass(LPCWSTR name, HINSTANCE instance);
void RemoveWindowObject(HWND hwnd);
HWND NewWindowHandle();
void AddWindowObject(const std::shared_ptr<Window>& window);
// Places w among the children of `parent`: HWND_TOP, HWND_BOTTOM,
// HWND_TOPMOST, HWND_NOTOPMOST or after a sibling.
void LinkWindow(const std::shared_ptr<Window>& w, Window& parent, HWND after);
HWND FindLocalTopLevel(LPCWSTR className, LPCWSTR windowName);
// A thread ended: its windows go away without messages (it cannot answer
// them any more), uncovering what they covered.
void DestroyThreadWindows(DWORD threadId);
std::vector<std::shared_ptr<Window>> AllWindows();

// The calling thread's queue, created on first use.
std::shared_ptr<MessageQueue> CurrentQueue();
std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId);
std::vector<std::shared_ptr<MessageQueue>> AllQueues();
// Wakes a queue's thread (call with Lock() held).
void WakeQueue(MessageQueue& queue);
uint64_t NowMs();

// ---- Geometry (call with Lock() held) -------------------------------------------
RECT ClientRectInWindow(const Window& w);       // client area relative to the window's origin
POINT ScreenOrigin(const Window& w);            // window's top-left in screen coordinates
POINT ClientScreenOrigin(const Window& w);      // client area's top-left in screen coordinates
bool ReallyVisible(const Window& w);            // it and all ancestors are visible
// The part of the window (client area only, or the whole window) that can be
// seen on the screen, in screen coordinates: clipped by ancestors, covered by
// higher siblings (of it and of each ancestor) and by its visible children.
RectList VisibleRegion(const Window& w, bool clientOnly);
// What the window covers on the screen with its children (clipped by
// ancestors and higher siblings), in screen coordinates.
RectList CoveredArea(const Window& w);
// The deepest visible window under a screen point (a disabled child passes
// the point to its parent); null over the bare desktop.
Window* HitTest(Window& root, POINT screen);
// Top-level window that contains w (w itself when top-level).
Window* TopLevelOf(Window* w);
bool IsDescendant(const Window* ancestor, const Window* w);
// The screen minus the navigation bar at the top and, while it is up, the
// input panel (system_metrics.cpp).
void SystemWorkArea(RECT* rect);
// The shell's layout of the screen, which the work area follows: whether the
// navigation bar is shown and whether the input panel is up. The bars' places
// for the current screen size: the navigation bar across the top, the menu
// bar across the bottom, and the input panel just above the menu bar.
void SetShellLayout(bool navigationBar, bool inputPanelUp);
RECT NavigationBarRect();
RECT MenuBarRect();
RECT InputPanelRect();
// Non-client insets of a window style: border, caption, scroll bars.
RECT NonClientInsets(DWORD style, DWORD exStyle);

// ---- Painting (paint.cpp) ----------------------------------------------------------
// Invalidates whatever windows show inside the screen region (after something
// that covered it went away) and repaints the bare desktop there.
void ExposeScreenRegion(const RectList& screenRegion, Window* onlyWithin = nullptr);
// Adds a client-coordinate region to a window's update region (and, with
// children, to the parts of its children it overlaps).
void InvalidateWindowRegion(Window& w, const RectList& clientRegion, bool erase, bool children);
// Invalidates all of w and its descendants, frames included.
void InvalidateTree(Window& w);
bool NeedsPaint(const Window& w);
// Finds a window of the queue's thread that needs WM_PAINT; null when none.
std::shared_ptr<Window> FindWindowToPaint(const MessageQueue& queue, HWND filter);
// Recomputes the clip regions of live display DCs after the tree changed.
void RefreshLiveDCs();
void ForgetDCsOf(HWND hwnd);
// Draws the frame (border, caption) of a window now; call without the lock.
void DrawFrame(HWND hwnd);
// Paints the bare desktop inside a screen region.
void PaintDesktop(const RectList& screenRegion);

// ---- Input and activation (input.cpp) -------------------------------------------
void OnWindowDestroyed(Window& w);  // clears focus, capture, active, hot keys (lock held)
// Before a window is hidden or destroyed (without the lock): the focus moves
// out of it (to its parent for a child) and, for the active window, another
// top-level window is activated.
void LeaveFocusAndActivation(HWND hwnd);
// Activates a top-level window: WM_ACTIVATE to the old and the new one, focus
// to the new one; `how` is WA_ACTIVE or WA_CLICKACTIVE. Without the lock.
HWND ActivateWindow(HWND hwnd, int how);
// The top-level window that a pen-down taken from a queue activates (lock
// held); null when it is already active.
HWND ClickActivationTarget(const MSG& msg);
// Posts an input message to the queue of the window (lock held).
void PostInput(Window& target, UINT message, WPARAM wParam, LPARAM lParam, POINT screenPoint);

// ---- Messages (message_queue.cpp) -------------------------------------------------
LRESULT SendMessageInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
bool PostMessageInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void RemoveMessagesFor(HWND hwnd);
void RemoveTimersFor(HWND hwnd);

// ---- Standard controls (controls/*.cpp, gwes/scroll_info.cpp) ----------------------
// Registers "Button", "Edit", ... as system classes; FindClass calls it once.
void RegisterSystemControlClasses();
// Draws a window's own scroll bars (WS_HSCROLL, WS_VSCROLL) into its window DC
// over the areas the frame leaves for them; DrawFrame calls it (no lock held).
void DrawWindowScrollBars(HWND hwnd, HDC windowDC);

// ---- Processes (instance_socket.cpp) ----------------------------------------------
void PublishTopLevel(const Window& w);   // lock held
void UnpublishTopLevel(const Window& w); // lock held
HWND FindRemoteWindow(LPCWSTR className, LPCWSTR windowName);
bool IsRemoteWindow(HWND hwnd);
BOOL RemoteIsWindow(HWND hwnd);
BOOL RemotePostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL RemoteSetForeground(HWND hwnd);

// ---- Automation and the display ------------------------------------------------------
// The automation hook: GetMessage (and the other blocking waits) call `step`
// on `threadId` whenever that thread's queue has no posted, sent or paint
// messages left. It returns true when it did something (the caller looks at
// the queue again) and stores in *wakeAt the NowMs() time it wants to run
// next (UINT64_MAX for none).
using ScriptStep = bool (*)(uint64_t* wakeAt);
void SetScriptHook(DWORD threadId, ScriptStep step);
// Every queue is empty, no window needs painting, no timer is due now and
// every registered idle probe reports idle.
bool SystemQuiet();
void AddIdleProbe(bool (*probe)());
// Called (without the lock) when a top-level window is brought forward, so a
// backend can raise its host window.
void SetForegroundHook(void (*hook)());
// Called (without the lock) when the active window changes or a top-level
// window's text changes: the shell's navigation bar shows the active title.
void SetCaptionHook(void (*hook)());
void NotifyCaptionChanged();  // call without the lock

// Input entry points for the backends and the script (screen coordinates).
enum class PenAction { Down, Move, Up };
void InjectPen(PenAction action, POINT screenPoint);
void InjectKey(UINT virtualKey, bool down);
void InjectChar(WCHAR c);
// WM_COMMAND / WM_CLOSE posted to the foreground top-level window.
bool InjectCommand(UINT id);
bool InjectClose();

}  // namespace gwes
