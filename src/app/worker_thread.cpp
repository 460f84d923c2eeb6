// The background thread object with its owner's lock.
#include "app/worker_thread.h"

WorkerThread::WorkerThread() { InitializeCriticalSection(&lock_); }

WorkerThread::~WorkerThread() {
    Stop();
    DeleteCriticalSection(&lock_);
}

DWORD WINAPI WorkerThread::Trampoline(LPVOID self) {
    auto* worker = static_cast<WorkerThread*>(self);
    DWORD result = worker->function_(worker->parameter_);
    worker->state_ = kNone;
    return result;
}

bool WorkerThread::Start(LPTHREAD_START_ROUTINE function, LPVOID parameter, int priority) {
    Stop();
    function_ = function;
    parameter_ = parameter;
    state_ = kRunning;
    thread_ = CreateThread(nullptr, 0, &Trampoline, this, 0, &threadId_);
    if (!thread_) {
        state_ = kNone;
        return false;
    }
    if (priority != THREAD_PRIORITY_NORMAL) SetThreadPriority(thread_, priority);
    return true;
}

void WorkerThread::Stop() {
    if (!thread_) return;
    // The thread may be waiting for the lock its owner holds through us.
    ReleaseLock();
    state_ = kStopRequested;
    if (WaitForSingleObject(thread_, kStopWaitMs) == WAIT_TIMEOUT) TerminateThread(thread_, 0);
    Close();
}

void WorkerThread::Close() {
    ReleaseLock();
    if (thread_) CloseHandle(thread_);
    thread_ = nullptr;
    threadId_ = 0;
    state_ = kNone;
}

// The held flag answers "does this thread hold it": a nested lock on the
// holding thread only counts, while another thread waits for the section.
// (A flag shared by both threads would let the second one walk in; a nested
// unlock that released the section would open it under the outer holder.)
void WorkerThread::Lock() {
    if (lockHeld_ && lockOwner_ == GetCurrentThreadId()) {
        ++lockDepth_;
        return;
    }
    EnterCriticalSection(&lock_);
    lockOwner_ = GetCurrentThreadId();
    lockDepth_ = 1;
    lockHeld_ = 1;
}

void WorkerThread::Unlock() {
    if (!lockHeld_ || lockOwner_ != GetCurrentThreadId()) return;
    if (--lockDepth_ > 0) return;
    lockHeld_ = 0;
    lockOwner_ = 0;
    LeaveCriticalSection(&lock_);
}

void WorkerThread::ReleaseLock() {
    if (!lockHeld_ || lockOwner_ != GetCurrentThreadId()) return;
    lockDepth_ = 1;
    Unlock();
}
