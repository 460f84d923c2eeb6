// WorkerThread: one background thread with the lock its owner guards shared
// data with. Stop asks the thread to end (state 1), waits 4000 ms and then
// terminates it; the lock is released first if the owner holds it through
// the object, so a stop never waits on its own lock.
#pragma once

#include <windows.h>

class WorkerThread {
public:
    enum State : LONG { kNone = 0, kStopRequested = 1, kRunning = 2 };
    static constexpr DWORD kStopWaitMs = 4000;

    WorkerThread();
    ~WorkerThread();  // stops, then deletes the lock
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Stops any previous thread, then starts `function(parameter)`; a
    // priority other than THREAD_PRIORITY_NORMAL is applied to it.
    bool Start(LPTHREAD_START_ROUTINE function, LPVOID parameter,
               int priority = THREAD_PRIORITY_NORMAL);
    void Stop();
    void Close();
    // Nested locks on the thread that holds it are counted, and the lock is
    // released by the matching last unlock; other threads wait. Unlock on a
    // thread that does not hold it does nothing.
    void Lock();
    void Unlock();

    // Polled by the thread function.
    bool StopRequested() const { return state_ == kStopRequested; }
    LONG State() const { return state_; }
    HANDLE Handle() const { return thread_; }

private:
    static DWORD WINAPI Trampoline(LPVOID self);
    // Releases the lock whatever the nesting, when this thread holds it.
    void ReleaseLock();

    LPTHREAD_START_ROUTINE function_ = nullptr;
    CRITICAL_SECTION lock_;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    volatile LONG state_ = kNone;
    volatile LONG lockHeld_ = 0;
    volatile DWORD lockOwner_ = 0;  // the thread holding the lock while lockHeld_
    int lockDepth_ = 0;             // nested locks of the owner
    LPVOID parameter_ = nullptr;
};
