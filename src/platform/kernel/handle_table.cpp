// The process-wide handle table. Handles count up from 0x100 in steps of 4
// and are never reused within a run, so closing twice or using a closed
// handle is detected.
#include <unordered_map>

#include "kernel_object.h"

namespace platform {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<KernelObject>> objects;
    uintptr_t next = 0x100;
};

HandleTable& Table() {
    static HandleTable* table = new HandleTable;  // outlives static destructors of callers
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    uintptr_t value = t.next;
    t.next += 4;
    t.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupAnyHandle(HANDLE handle) {
    HandleTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle, KernelObject::Kind kind) {
    std::shared_ptr<KernelObject> object = LookupAnyHandle(handle);
    if (object && object->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return object;
}

bool RemoveHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> object;
    {
        HandleTable& t = Table();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
        if (it == t.objects.end()) return false;
        object = std::move(it->second);
        t.objects.erase(it);
    }
    // Outside the table lock: closing a file or joining bookkeeping may take other locks.
    object->OnLastHandleClosed();
    return true;
}

std::mutex& WaitLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::condition_variable& WaitCondition() {
    static std::condition_variable* condition = new std::condition_variable;
    return *condition;
}

void NotifyWaiters() { WaitCondition().notify_all(); }

}  // namespace platform

BOOL CloseHandle(HANDLE object) {
    if (!platform::RemoveHandle(object)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
