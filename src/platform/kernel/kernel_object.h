// Kernel objects behind HANDLE values: files, find searches, events, threads
// and processes. A HANDLE is an index into one process-wide table, never a
// pointer, so a stale or forged handle is refused with ERROR_INVALID_HANDLE
// instead of touching freed memory. Lookups hand out shared ownership, so an
// object stays alive while a call uses it even if another thread closes it.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>

#include "windows.h"

namespace platform {

struct KernelObject {
    enum class Kind { File, Find, Event, Thread, Process };
    explicit KernelObject(Kind k) : kind(k) {}
    virtual ~KernelObject() = default;
    // Called once when the last handle to the object is closed.
    virtual void OnLastHandleClosed() {}
    const Kind kind;
};

// Registers the object and returns its new handle.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);
// The object of a handle when it is of the given kind; else null with
// ERROR_INVALID_HANDLE set.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, KernelObject::Kind kind);
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle, KernelObject::Kind kind) {
    return std::static_pointer_cast<T>(LookupHandle(handle, kind));
}
// Any kind; null with ERROR_INVALID_HANDLE when unknown.
std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle);
// Removes the handle from the table; false when it was not there.
bool RemoveHandle(HANDLE handle);

// Objects a thread can wait for (events, threads, processes). Every state
// change happens under WaitLock() and is announced with NotifyWaiters(), so
// WaitForMultipleObjects can test a whole set at once without lost wake-ups.
struct Waitable : KernelObject {
    using KernelObject::KernelObject;
    // Both called with WaitLock() held.
    virtual bool IsSignaled() const = 0;
    // Called when a wait is satisfied by this object (auto-reset events reset).
    virtual void OnWaitSatisfied() {}
};
std::mutex& WaitLock();
// Call after changing a waitable's state, with or without WaitLock() held.
void NotifyWaiters();
std::condition_variable& WaitCondition();

}  // namespace platform
