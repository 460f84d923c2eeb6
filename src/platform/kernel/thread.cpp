// Threads: CreateThread on POSIX threads, exit codes, suspension at start,
// priorities, thread and process identity, Sleep. A thread's bookkeeping is
// shared between its handle and the running thread itself, so either may go
// first: closing the handle never stops the thread, and a thread that ends
// leaves its exit code for whoever still holds the handle.
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "kernel_object.h"

namespace platform {
namespace {

// The handle values GetCurrentThread and GetCurrentProcess return on the
// device. They lie below the handle table's first value (0x100), so they can
// never name a table entry.
const HANDLE kCurrentThreadPseudoHandle = reinterpret_cast<HANDLE>(0x41);
const HANDLE kCurrentProcessPseudoHandle = reinterpret_cast<HANDLE>(0x42);

std::atomic<DWORD> g_nextThreadId{1};

DWORD NewThreadId() {
    DWORD id = g_nextThreadId.fetch_add(1);
    if (id == 0) id = g_nextThreadId.fetch_add(1);  // 0 never names a thread
    return id;
}

struct ThreadObject : Waitable {
    ThreadObject() : Waitable(Kind::Thread) {}

    bool IsSignaled() const override { return finished; }

    // Records the end of the thread unless TerminateThread got there first.
    void Finish(DWORD code) {
        {
            std::lock_guard<std::mutex> guard(WaitLock());
            if (finished) return;
            finished = true;
            exitCode = code;
        }
        NotifyWaiters();
    }

    // Set before the thread starts, read-only afterwards.
    LPTHREAD_START_ROUTINE start = nullptr;
    LPVOID parameter = nullptr;
    DWORD id = 0;

    // Guarded by WaitLock().
    DWORD suspendCount = 0;
    bool finished = false;
    bool abandoned = false;  // TerminateThread: the routine's result no longer counts
    DWORD exitCode = STILL_ACTIVE;
    int priority = THREAD_PRIORITY_NORMAL;

    // Touched only by the thread itself.
    bool runsOurRoutine = false;  // started by CreateThread and inside ThreadMain
    bool exitRequested = false;   // ExitThread was called; unwinding is under way
    DWORD requestedExitCode = 0;
};

thread_local DWORD t_threadId = 0;
// The calling thread's bookkeeping; created on first use for threads that
// CreateThread did not start (the main thread, library threads).
thread_local std::shared_ptr<ThreadObject> t_self;

ThreadObject& CurrentThreadObject() {
    if (!t_self) {
        t_self = std::make_shared<ThreadObject>();
        t_self->id = GetCurrentThreadId();
    }
    return *t_self;
}

std::shared_ptr<ThreadObject> ResolveThread(HANDLE handle) {
    if (handle == kCurrentThreadPseudoHandle) {
        CurrentThreadObject();
        return t_self;
    }
    // A process's primary thread is also a thread handle but not one of
    // ours; calls that need our bookkeeping refuse it.
    auto object = std::dynamic_pointer_cast<ThreadObject>(LookupHandle(handle, KernelObject::Kind::Thread));
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// Marks the thread finished however it leaves its routine: by returning, by
// ExitThread (which unwinds the stack) or by cancellation.
struct FinishOnExit {
    ThreadObject* self;
    DWORD code = STILL_ACTIVE;
    ~FinishOnExit() { self->Finish(self->exitRequested ? self->requestedExitCode : code); }
};

void* ThreadMain(void* argument) {
    std::shared_ptr<ThreadObject>* handoff = static_cast<std::shared_ptr<ThreadObject>*>(argument);
    t_self = std::move(*handoff);
    delete handoff;
    ThreadObject* self = t_self.get();
    t_threadId = self->id;

    {
        std::unique_lock<std::mutex> lock(WaitLock());
        WaitCondition().wait(lock, [self] { return self->suspendCount == 0 || self->abandoned; });
        // Terminated before it got going (while suspended, or before this
        // thread was first scheduled): the routine never runs.
        if (self->abandoned) return nullptr;
    }
    self->runsOurRoutine = true;
    FinishOnExit finish{self};
    finish.code = self->start(self->parameter);
    return nullptr;
}

}  // namespace
}  // namespace platform

using platform::ThreadObject;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD stackSize, LPTHREAD_START_ROUTINE startAddress,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId) {
    if (!startAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<ThreadObject>();
    thread->start = startAddress;
    thread->parameter = parameter;
    thread->id = platform::NewThreadId();
    thread->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;

    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    // The handle, not a join, tells others when the thread ends.
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    // The device treats the size as a hint; a request above the host's
    // default is honoured, a smaller one would only risk overflows.
    size_t defaultSize = 0;
    pthread_attr_getstacksize(&attributes, &defaultSize);
    if (stackSize > defaultSize) pthread_attr_setstacksize(&attributes, stackSize);

    // Insert before starting so the handle exists whatever the thread does.
    HANDLE handle = platform::InsertHandle(thread);
    auto* handoff = new std::shared_ptr<ThreadObject>(thread);
    pthread_t posixThread;
    int error = pthread_create(&posixThread, &attributes, platform::ThreadMain, handoff);
    pthread_attr_destroy(&attributes);
    if (error != 0) {
        delete handoff;
        platform::RemoveHandle(handle);
        SetLastError(error == EAGAIN ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (threadId) *threadId = thread->id;
    return handle;
}

void ExitThread(DWORD exitCode) {
    ThreadObject* self = platform::t_self.get();
    if (self && self->runsOurRoutine) {
        // Signalled once the stack is unwound, so that a waiter sees
        // everything the thread's destructors did.
        self->exitRequested = true;
        self->requestedExitCode = exitCode;
    } else if (self) {
        self->Finish(exitCode);
    }
    // pthread_exit unwinds the stack, running destructors, as returning would.
    pthread_exit(nullptr);
}

// A running POSIX thread cannot be stopped safely from outside: it may hold a
// lock or be halfway through an allocation. So the thread is abandoned
// instead: its handle is signalled at once with the given exit code, and
// whatever the thread does afterwards, including the value its routine
// returns, is ignored. The thread itself runs on, detached, until it leaves
// its routine; its bookkeeping is shared, so it stays valid until then.
BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
    std::shared_ptr<ThreadObject> object = platform::ResolveThread(thread);
    if (!object) return FALSE;
    if (object.get() == platform::t_self.get()) ExitThread(exitCode);
    {
        std::lock_guard<std::mutex> guard(platform::WaitLock());
        if (!object->finished) {
            object->abandoned = true;
            object->finished = true;
            object->exitCode = exitCode;
        }
    }
    platform::NotifyWaiters();
    return TRUE;
}

DWORD ResumeThread(HANDLE thread) {
    std::shared_ptr<ThreadObject> object = platform::ResolveThread(thread);
    if (!object) return 0xFFFFFFFF;
    DWORD previous;
    {
        std::lock_guard<std::mutex> guard(platform::WaitLock());
        previous = object->suspendCount;
        if (object->suspendCount > 0) --object->suspendCount;
    }
    if (previous == 1) platform::NotifyWaiters();
    return previous;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    if (!exitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<ThreadObject> object = platform::ResolveThread(thread);
    if (!object) return FALSE;
    std::lock_guard<std::mutex> guard(platform::WaitLock());
    *exitCode = object->exitCode;
    return TRUE;
}

DWORD GetCurrentThreadId() {
    if (platform::t_threadId == 0) platform::t_threadId = platform::NewThreadId();
    return platform::t_threadId;
}

HANDLE GetCurrentThread() { return platform::kCurrentThreadPseudoHandle; }

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }

HANDLE GetCurrentProcess() { return platform::kCurrentProcessPseudoHandle; }

// Priorities are recorded and reported but not applied: the host schedules
// all of the program's threads alike, and an unprivileged process could not
// raise a thread again after lowering it.
BOOL SetThreadPriority(HANDLE thread, int priority) {
    if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::shared_ptr<ThreadObject> object = platform::ResolveThread(thread);
    if (!object) return FALSE;
    std::lock_guard<std::mutex> guard(platform::WaitLock());
    object->priority = priority;
    return TRUE;
}

int GetThreadPriority(HANDLE thread) {
    std::shared_ptr<ThreadObject> object = platform::ResolveThread(thread);
    if (!object) return THREAD_PRIORITY_ERROR_RETURN;
    std::lock_guard<std::mutex> guard(platform::WaitLock());
    return object->priority;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == 0) {
        sched_yield();  // gives up the rest of the time slice, as on the device
        return;
    }
    if (milliseconds == INFINITE) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
