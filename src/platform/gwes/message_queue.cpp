// Per-thread message queues: posting, sending (also across threads),
// retrieval in the system's order, timers and the automation hook.
//
// GetMessage/PeekMessage first handle messages that other threads sent to
// this one, then return, in this order: posted and input messages (FIFO),
// WM_QUIT, WM_PAINT for a window with something to paint, WM_TIMER for a due
// timer. A thread blocked in SendMessage keeps handling messages sent to it,
// so two threads that send to each other never deadlock. Each turn of the
// loop also looks at the low-memory watch (platform/memory_watch.h) and posts
// WM_HIBERNATE to every top-level window when it says so.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "gwes/window_manager.h"
#include "platform/memory_watch.h"

namespace gwes {

namespace {

std::map<DWORD, std::weak_ptr<MessageQueue>>& Queues() {
    static auto* queues = new std::map<DWORD, std::weak_ptr<MessageQueue>>;
    return *queues;
}

// Owns the thread's queue; when the thread ends, the queue is marked dead and
// every thread still waiting on a message sent to it gets 0 back.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    ~QueueHolder() {
        if (!queue) return;
        Guard guard(Lock());
        queue->dead = true;
        for (auto& sm : queue->sent) {
            sm->done = true;
            if (sm->sender) WakeQueue(*sm->sender);
        }
        queue->sent.clear();
        queue->posted.clear();
        queue->timers.clear();
        DestroyThreadWindows(queue->threadId);
        auto& all = Queues();
        auto it = all.find(queue->threadId);
        if (it != all.end() && it->second.lock() == queue) all.erase(it);
    }
};
thread_local QueueHolder t_holder;

DWORD g_scriptThread = 0;
ScriptStep g_scriptStep = nullptr;
bool g_inScript = false;

std::vector<bool (*)()>& IdleProbes() {
    static auto* probes = new std::vector<bool (*)()>;
    return *probes;
}

UINT_PTR g_nextTimerId = 0x7F00;

LRESULT CallProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

bool InRange(UINT min, UINT max, UINT message) {
    if (min == 0 && max == 0) return true;
    return message >= min && message <= max;
}

bool WindowMatches(HWND filter, HWND hwnd) {
    if (!filter) return true;
    if (filter == reinterpret_cast<HWND>(-1)) return hwnd == nullptr;
    if (hwnd == filter) return true;
    auto f = FindWindowObject(filter);
    auto w = FindWindowObject(hwnd);
    return f && w && IsDescendant(f.get(), w.get());
}

// Handles every message other threads sent to this one.
void ProcessSentMessages(const std::shared_ptr<MessageQueue>& q) {
    for (;;) {
        std::shared_ptr<SentMessage> sm;
        WNDPROC proc = nullptr;
        bool valid = false;
        {
            Guard guard(Lock());
            if (q->sent.empty()) return;
            sm = q->sent.front();
            q->sent.pop_front();
            auto w = FindWindowObject(sm->hwnd);
            valid = w && !w->destroyed;
            if (valid) proc = w->proc;
            q->receiving.push_back(sm);
        }
        LRESULT result = valid ? CallProc(proc, sm->hwnd, sm->message, sm->wParam, sm->lParam) : 0;
        Guard guard(Lock());
        q->receiving.pop_back();
        if (!sm->done) {
            sm->result = result;
            sm->done = true;
            if (sm->sender) WakeQueue(*sm->sender);
        }
    }
}

std::vector<HWND> TopLevelHandles() {
    Guard guard(Lock());
    std::vector<HWND> all;
    for (auto& t : Desktop().children) all.push_back(t->handle);
    return all;
}

// The low-memory notice goes to the top-level windows, as on the device.
// Posted, not sent: the watch runs inside GetMessage of whichever thread
// turns its loop, and each window hears it on its own thread.
void PostLowMemoryNotice() {
    for (HWND hwnd : TopLevelHandles()) PostMessageW(hwnd, WM_HIBERNATE, 0, 0);
}

// An image allocation on another thread passed the budget: every waiting
// loop looks at the watch again.
void WakeForImageBudget() {
    Guard guard(Lock());
    for (auto& q : AllQueues()) WakeQueue(*q);
}

struct InstallImageBudgetWake {
    InstallImageBudgetWake() { platform::SetImageBudgetWake(WakeForImageBudget); }
} g_installImageBudgetWake;

}  // namespace

uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::shared_ptr<MessageQueue> CurrentQueue() {
    if (t_holder.queue) return t_holder.queue;
    Guard guard(Lock());
    auto q = std::make_shared<MessageQueue>();
    q->threadId = GetCurrentThreadId();
    Queues()[q->threadId] = q;
    t_holder.queue = q;
    return q;
}

std::shared_ptr<MessageQueue> QueueOfThread(DWORD threadId) {
    auto& all = Queues();
    auto it = all.find(threadId);
    if (it == all.end()) return nullptr;
    auto q = it->second.lock();
    return q && !q->dead ? q : nullptr;
}

std::vector<std::shared_ptr<MessageQueue>> AllQueues() {
    std::vector<std::shared_ptr<MessageQueue>> out;
    for (auto& [id, weak] : Queues())
        if (auto q = weak.lock()) out.push_back(q);
    return out;
}

void WakeQueue(MessageQueue& queue) { queue.wake.notify_all(); }

void SetScriptHook(DWORD threadId, ScriptStep step) {
    Guard guard(Lock());
    g_scriptThread = threadId;
    g_scriptStep = step;
    if (auto q = QueueOfThread(threadId)) WakeQueue(*q);
}

void AddIdleProbe(bool (*probe)()) {
    Guard guard(Lock());
    if (probe) IdleProbes().push_back(probe);
}

bool SystemQuiet() {
    std::vector<bool (*)()> probes;
    {
        Guard guard(Lock());
        uint64_t now = NowMs();
        for (auto& q : AllQueues()) {
            if (q->dead) continue;
            if (!q->posted.empty() || !q->sent.empty() || q->quit) return false;
            for (const Timer& t : q->timers)
                if (t.due <= now) return false;
            if (FindWindowToPaint(*q, nullptr)) return false;
        }
        probes = IdleProbes();
    }
    for (auto probe : probes)
        if (!probe()) return false;
    return true;
}

LRESULT SendMessageInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Lock().HeldByMe()) {
        std::fprintf(stderr, "kestrava: a message was sent with the window lock held\n");
        std::abort();
    }
    if (hwnd == HWND_BROADCAST) {
        for (HWND h : TopLevelHandles()) SendMessageInternal(h, message, wParam, lParam);
        return 0;
    }
    std::shared_ptr<MessageQueue> target;
    WNDPROC proc = nullptr;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->isDesktop) return 0;
        if (w->threadId != GetCurrentThreadId()) target = w->queue;
        else proc = w->proc;
    }
    if (!target) return CallProc(proc, hwnd, message, wParam, lParam);

    auto me = CurrentQueue();
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->message = message;
    sm->wParam = wParam;
    sm->lParam = lParam;
    sm->sender = me;
    UniqueGuard lock(Lock());
    if (target->dead) return 0;
    target->sent.push_back(sm);
    WakeQueue(*target);
    while (!sm->done) {
        if (!me->sent.empty()) {
            lock.unlock();
            ProcessSentMessages(me);
            lock.lock();
            continue;
        }
        if (target->dead) break;
        me->wake.wait(lock);
    }
    return sm->result;
}

bool PostMessageInternal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    if (!w || w->isDesktop || !w->queue || w->queue->dead) {
        if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    MSG m = {hwnd, message, wParam, lParam, GetTickCount(), {0, 0}};
    GetCursorPos(&m.pt);
    w->queue->posted.push_back(m);
    WakeQueue(*w->queue);
    return true;
}

void RemoveMessagesFor(HWND hwnd) {
    for (auto& q : AllQueues()) {
        auto& posted = q->posted;
        posted.erase(std::remove_if(posted.begin(), posted.end(), [&](const MSG& m) { return m.hwnd == hwnd; }),
                     posted.end());
    }
}

void RemoveTimersFor(HWND hwnd) {
    for (auto& q : AllQueues()) {
        auto& timers = q->timers;
        timers.erase(std::remove_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.hwnd == hwnd; }),
                     timers.end());
    }
}

namespace {

// The heart of GetMessage, PeekMessage and WaitMessage.
bool FetchMessage(MSG* out, HWND filter, UINT min, UINT max, UINT remove, bool wait) {
    auto q = CurrentQueue();
    const bool take = (remove & PM_REMOVE) != 0;
    for (;;) {
        uint64_t memoryWakeAt = UINT64_MAX;
        const uint64_t crossingsSeen = platform::ImageBudgetCrossings();
        if (platform::LowMemoryNoticeDue(NowMs(), &memoryWakeAt)) PostLowMemoryNotice();
        ProcessSentMessages(q);
        UniqueGuard lock(Lock());
        if (!q->sent.empty()) continue;
        for (auto it = q->posted.begin(); it != q->posted.end(); ++it) {
            if (!InRange(min, max, it->message) || !WindowMatches(filter, it->hwnd)) continue;
            *out = *it;
            if (take) {
                q->posted.erase(it);
                q->lastTime = out->time;
                q->lastPos = out->pt;
                // A pen-down on an inactive top-level window activates it first.
                if (HWND activate = ClickActivationTarget(*out)) {
                    lock.unlock();
                    ActivateWindow(activate, WA_CLICKACTIVE);
                }
            }
            return true;
        }
        if (q->quit && InRange(min, max, WM_QUIT)) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q->quitCode), 0, GetTickCount(), q->lastPos};
            if (take) q->quit = false;
            return true;
        }
        if (InRange(min, max, WM_PAINT)) {
            if (auto w = FindWindowToPaint(*q, filter)) {
                if (w->frameDirty) {
                    // The system draws frames itself; then the client gets its turn.
                    HWND hwnd = w->handle;
                    lock.unlock();
                    DrawFrame(hwnd);
                    continue;
                }
                *out = MSG{w->handle, WM_PAINT, 0, 0, GetTickCount(), q->lastPos};
                if (take && w->update.empty()) w->internalPaint = false;
                return true;
            }
        }
        // The automation script runs when this thread has nothing but timers
        // left to do (only from the blocking calls, so that a program's own
        // peek loop never sees the script move on under it).
        uint64_t wakeAt = UINT64_MAX;
        if (wait && g_scriptStep && q->threadId == g_scriptThread && !g_inScript) {
            ScriptStep step = g_scriptStep;
            lock.unlock();
            g_inScript = true;
            bool did = step(&wakeAt);
            g_inScript = false;
            if (did) continue;
            lock.lock();
            if (!q->posted.empty() || !q->sent.empty() || q->quit) continue;
        }
        if (InRange(min, max, WM_TIMER)) {
            uint64_t now = NowMs();
            for (Timer& t : q->timers) {
                if (!WindowMatches(filter, t.hwnd)) continue;
                if (t.due <= now) {
                    *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(),
                               q->lastPos};
                    if (take) t.due = now + t.elapse;
                    return true;
                }
                wakeAt = std::min(wakeAt, t.due);
            }
        }
        if (!wait) return false;
        // A budget crossing since the look above would find no one awake.
        if (platform::ImageBudgetCrossings() != crossingsSeen) continue;
        wakeAt = std::min(wakeAt, memoryWakeAt);
        if (wakeAt == UINT64_MAX) {
            q->wake.wait(lock);
        } else {
            uint64_t now = NowMs();
            if (wakeAt > now) q->wake.wait_for(lock, std::chrono::milliseconds(wakeAt - now));
        }
    }
}

}  // namespace

}  // namespace gwes

using namespace gwes;

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    FetchMessage(msg, hwnd, filterMin, filterMax, PM_REMOVE, true);
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMsg) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return FetchMessage(msg, hwnd, filterMin, filterMax, removeMsg, false) ? TRUE : FALSE;
}

BOOL WaitMessage() {
    MSG msg;
    FetchMessage(&msg, nullptr, 0, 0, PM_NOREMOVE, true);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg) return 0;
    if ((msg->message == WM_TIMER || msg->message == WM_SYSTIMER) && msg->lParam) {
        // Only a timer procedure this thread registered is called.
        TIMERPROC proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        bool known = false;
        {
            Guard guard(Lock());
            for (const Timer& t : CurrentQueue()->timers)
                if (t.proc == proc && t.id == msg->wParam && t.hwnd == msg->hwnd) known = true;
        }
        if (!known) return 0;
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd) return 0;
    WNDPROC proc;
    {
        Guard guard(Lock());
        auto w = WindowOrError(msg->hwnd);
        if (!w || w->isDesktop) return 0;
        if (w->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_WINDOW_OF_OTHER_THREAD);
            return 0;
        }
        proc = w->proc;
    }
    return CallProc(proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hwnd) return PostThreadMessageW(GetCurrentThreadId(), message, wParam, lParam);
    if (hwnd == HWND_BROADCAST) {
        for (HWND h : TopLevelHandles()) PostMessageInternal(h, message, wParam, lParam);
        return TRUE;
    }
    if (PostMessageInternal(hwnd, message, wParam, lParam)) return TRUE;
    if (IsRemoteWindow(hwnd)) return RemotePostMessage(hwnd, message, wParam, lParam);
    return FALSE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
    if (threadId == GetCurrentThreadId()) CurrentQueue();
    Guard guard(Lock());
    auto q = QueueOfThread(threadId);
    if (!q) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    MSG m = {nullptr, message, wParam, lParam, GetTickCount(), {0, 0}};
    GetCursorPos(&m.pt);
    q->posted.push_back(m);
    WakeQueue(*q);
    return TRUE;
}

void PostQuitMessage(int exitCode) {
    auto q = CurrentQueue();
    Guard guard(Lock());
    q->quit = true;
    q->quitCode = exitCode;
    WakeQueue(*q);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageInternal(hwnd, message, wParam, lParam);
}

BOOL SendNotifyMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<MessageQueue> target;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return FALSE;
        if (w->threadId != GetCurrentThreadId()) {
            // Queued as a sent message that nobody waits for.
            auto sm = std::make_shared<SentMessage>();
            sm->hwnd = hwnd;
            sm->message = message;
            sm->wParam = wParam;
            sm->lParam = lParam;
            sm->notify = true;
            if (w->queue->dead) return FALSE;
            w->queue->sent.push_back(sm);
            WakeQueue(*w->queue);
            return TRUE;
        }
    }
    SendMessageInternal(hwnd, message, wParam, lParam);
    return TRUE;
}

BOOL InSendMessage() {
    Guard guard(Lock());
    return !CurrentQueue()->receiving.empty();
}

BOOL ReplyMessage(LRESULT result) {
    Guard guard(Lock());
    auto q = CurrentQueue();
    if (q->receiving.empty()) return FALSE;
    auto& sm = q->receiving.back();
    if (sm->done) return FALSE;
    sm->result = result;
    sm->done = true;
    if (sm->sender) WakeQueue(*sm->sender);
    return TRUE;
}

DWORD GetQueueStatus(UINT flags) {
    auto q = CurrentQueue();
    Guard guard(Lock());
    DWORD status = 0;
    for (const MSG& m : q->posted) {
        if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST) status |= QS_KEY;
        else if (m.message == WM_MOUSEMOVE) status |= QS_MOUSEMOVE;
        else if (m.message >= WM_MOUSEFIRST && m.message <= WM_MOUSELAST) status |= QS_MOUSEBUTTON;
        else if (m.message == WM_HOTKEY) status |= QS_HOTKEY;
        else status |= QS_POSTMESSAGE;
    }
    if (!q->sent.empty()) status |= QS_SENDMESSAGE;
    uint64_t now = NowMs();
    for (const Timer& t : q->timers)
        if (t.due <= now) status |= QS_TIMER;
    if (FindWindowToPaint(*q, nullptr)) status |= QS_PAINT;
    status &= flags;
    return MAKELONG(status, status);
}

DWORD GetMessagePos() {
    Guard guard(Lock());
    auto q = CurrentQueue();
    return MAKELONG(static_cast<WORD>(q->lastPos.x), static_cast<WORD>(q->lastPos.y));
}

LONG GetMessageTime() {
    Guard guard(Lock());
    return static_cast<LONG>(CurrentQueue()->lastTime);
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds,
                                  DWORD wakeMask, DWORD flags) {
    return MsgWaitForMultipleObjects(count, handles, (flags & 1) ? TRUE : FALSE, milliseconds, wakeMask);
}

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll,
                                DWORD milliseconds, DWORD wakeMask) {
    if (count > MAXIMUM_WAIT_OBJECTS || (count && !handles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    auto q = CurrentQueue();
    const uint64_t start = NowMs();
    // Kernel objects and the queue have different wake-ups; the wait looks at
    // both in short slices.
    for (;;) {
        if (HIWORD(GetQueueStatus(wakeMask)) != 0) return WAIT_OBJECT_0 + count;
        uint64_t elapsed = NowMs() - start;
        if (milliseconds != INFINITE && elapsed >= milliseconds) return WAIT_TIMEOUT;
        DWORD slice = 10;
        if (milliseconds != INFINITE) slice = static_cast<DWORD>(std::min<uint64_t>(slice, milliseconds - elapsed));
        if (count) {
            DWORD r = WaitForMultipleObjects(count, handles, waitAll, slice);
            if (r != WAIT_TIMEOUT) return r;
        } else {
            UniqueGuard lock(Lock());
            if (q->posted.empty() && q->sent.empty())
                q->wake.wait_for(lock, std::chrono::milliseconds(slice));
        }
    }
}

// ---- Timers ------------------------------------------------------------------------------

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC timerProc) {
    // The system's minimum period, as USER_TIMER_MINIMUM.
    elapse = std::max<UINT>(elapse, 10);
    std::shared_ptr<MessageQueue> q;
    Guard guard(Lock());
    if (hwnd) {
        auto w = WindowOrError(hwnd);
        if (!w || w->isDesktop) return 0;
        q = w->queue;
    } else {
        q = CurrentQueue();
    }
    if (!q || q->dead) return 0;
    uint64_t due = NowMs() + elapse;
    for (Timer& t : q->timers) {
        if (t.hwnd == hwnd && t.id == id && (hwnd || id)) {
            t.elapse = elapse;
            t.proc = timerProc;
            t.due = due;
            WakeQueue(*q);
            return hwnd ? (id ? id : 1) : id;
        }
    }
    Timer t;
    t.hwnd = hwnd;
    t.id = hwnd ? id : g_nextTimerId++;
    t.elapse = elapse;
    t.proc = timerProc;
    t.due = due;
    q->timers.push_back(t);
    WakeQueue(*q);
    return hwnd ? (id ? id : 1) : t.id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    Guard guard(Lock());
    for (auto& q : AllQueues()) {
        auto& timers = q->timers;
        for (auto it = timers.begin(); it != timers.end(); ++it) {
            if (it->hwnd == hwnd && it->id == id) {
                timers.erase(it);
                return TRUE;
            }
        }
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
