// Events, waits, critical sections, interlocked operations and the tick
// count. Every waitable object changes state under the one WaitLock(), so a
// wait tests its whole set of objects at one instant and cannot miss a
// signal that arrives between two tests.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <vector>

#include "kernel_object.h"

namespace platform {
namespace {

struct EventObject : Waitable {
    explicit EventObject(bool manual) : Waitable(Kind::Event), manualReset(manual) {}

    // All fields are guarded by WaitLock().
    bool IsSignaled() const override { return signaled; }
    void OnWaitSatisfied() override {
        if (!manualReset) signaled = false;
    }

    // Whether a PulseEvent since the waiter began (at pulse count `since`)
    // releases it. A manual-reset pulse releases everyone who was waiting;
    // an auto-reset pulse releases only the first of them to look.
    bool PulseReleases(unsigned long long since) const {
        if (manualReset) return pulses > since;
        return pulseGrant && grantedAt > since;
    }
    void TakePulse() {
        if (!manualReset) pulseGrant = false;
    }

    const bool manualReset;
    bool signaled = false;
    int waiters = 0;
    unsigned long long pulses = 0;     // PulseEvent calls so far
    unsigned long long grantedAt = 0;  // auto reset: the pulse that left a grant
    bool pulseGrant = false;           // auto reset: one waiter may still go
};

std::shared_ptr<EventObject> LookupEvent(HANDLE handle) {
    return LookupHandleAs<EventObject>(handle, KernelObject::Kind::Event);
}

// One object of a wait, with what the waiter saw when it began.
struct WaitEntry {
    std::shared_ptr<Waitable> object;
    EventObject* event = nullptr;  // set when the object is an event
    unsigned long long pulsesAtStart = 0;

    bool Ready() const { return object->IsSignaled() || (event && event->PulseReleases(pulsesAtStart)); }
    void Satisfy() const {
        if (object->IsSignaled()) {
            object->OnWaitSatisfied();
        } else if (event) {
            event->TakePulse();
        }
    }
};

// Registers the waiter with its events for the duration of a wait, so that
// an auto-reset pulse knows whether anyone is there to release.
class WaiterRegistration {
public:
    explicit WaiterRegistration(std::vector<WaitEntry>& entries) : entries_(entries) {
        for (WaitEntry& e : entries_) {
            if (!e.event) continue;
            ++e.event->waiters;
            e.pulsesAtStart = e.event->pulses;
        }
    }
    ~WaiterRegistration() {
        for (WaitEntry& e : entries_) {
            if (e.event) --e.event->waiters;
        }
    }
    WaiterRegistration(const WaiterRegistration&) = delete;
    WaiterRegistration& operator=(const WaiterRegistration&) = delete;

private:
    std::vector<WaitEntry>& entries_;
};

}  // namespace
}  // namespace platform

using platform::EventObject;

// ---- Events -----------------------------------------------------------------

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name) {
    // Named events are shared between processes on the device; this program
    // is a single process and never opens an event by name, so a name only
    // labels the object.
    (void)name;
    auto event = std::make_shared<EventObject>(manualReset != FALSE);
    event->signaled = initialState != FALSE;
    HANDLE handle = platform::InsertHandle(event);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL SetEvent(HANDLE event) {
    std::shared_ptr<EventObject> object = platform::LookupEvent(event);
    if (!object) return FALSE;
    {
        std::lock_guard<std::mutex> guard(platform::WaitLock());
        object->signaled = true;
    }
    platform::NotifyWaiters();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    std::shared_ptr<EventObject> object = platform::LookupEvent(event);
    if (!object) return FALSE;
    std::lock_guard<std::mutex> guard(platform::WaitLock());
    object->signaled = false;
    return TRUE;
}

BOOL PulseEvent(HANDLE event) {
    std::shared_ptr<EventObject> object = platform::LookupEvent(event);
    if (!object) return FALSE;
    {
        std::lock_guard<std::mutex> guard(platform::WaitLock());
        ++object->pulses;
        if (!object->manualReset && object->waiters > 0) {
            object->pulseGrant = true;
            object->grantedAt = object->pulses;
        }
        // The event ends non-signalled whatever it was before.
        object->signaled = false;
    }
    platform::NotifyWaiters();
    return TRUE;
}

// ---- Waits ------------------------------------------------------------------

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForMultipleObjects(1, &handle, FALSE, milliseconds);
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds) {
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<platform::WaitEntry> entries(count);
    for (DWORD i = 0; i < count; ++i) {
        auto object = std::dynamic_pointer_cast<platform::Waitable>(platform::LookupAnyHandle(handles[i]));
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        entries[i].event = dynamic_cast<EventObject*>(object.get());
        entries[i].object = std::move(object);
    }
    if (waitAll) {
        // Waiting for all of a set that names one object twice is refused,
        // as on the device: an auto-reset event could never satisfy both.
        for (DWORD i = 0; i < count; ++i) {
            for (DWORD j = i + 1; j < count; ++j) {
                if (entries[i].object == entries[j].object) {
                    SetLastError(ERROR_INVALID_PARAMETER);
                    return WAIT_FAILED;
                }
            }
        }
    }

    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);

    std::unique_lock<std::mutex> lock(platform::WaitLock());
    platform::WaiterRegistration registration(entries);
    for (;;) {
        if (waitAll) {
            bool all = std::all_of(entries.begin(), entries.end(),
                                   [](const platform::WaitEntry& e) { return e.Ready(); });
            if (all) {
                for (const platform::WaitEntry& e : entries) e.Satisfy();
                return WAIT_OBJECT_0;
            }
        } else {
            for (DWORD i = 0; i < count; ++i) {
                if (entries[i].Ready()) {
                    entries[i].Satisfy();
                    return WAIT_OBJECT_0 + i;
                }
            }
        }
        if (milliseconds == 0) return WAIT_TIMEOUT;
        if (milliseconds == INFINITE) {
            platform::WaitCondition().wait(lock);
        } else if (platform::WaitCondition().wait_until(lock, deadline) == std::cv_status::timeout) {
            // One last look: the state may have changed just as time ran out.
            milliseconds = 0;
        }
    }
}

// ---- Critical sections ------------------------------------------------------

namespace platform {
namespace {

struct CriticalSectionState {
    std::recursive_mutex mutex;
    std::atomic<DWORD> owner{0};
    DWORD depth = 0;  // only touched by the owner
};

CriticalSectionState* StateOf(LPCRITICAL_SECTION section) {
    return static_cast<CriticalSectionState*>(section->impl);
}

// Called by the new owner once it holds the mutex.
void NoteEntered(LPCRITICAL_SECTION section, CriticalSectionState* state) {
    if (state->depth++ == 0) state->owner.store(GetCurrentThreadId());
    section->OwnerThread = state->owner.load(std::memory_order_relaxed);
    section->LockCount = state->depth;
}

}  // namespace
}  // namespace platform

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
    if (!section) return;
    section->impl = new platform::CriticalSectionState;
    section->OwnerThread = 0;
    section->LockCount = 0;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
    if (!section) return;
    delete platform::StateOf(section);
    section->impl = nullptr;
    section->OwnerThread = 0;
    section->LockCount = 0;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
    platform::CriticalSectionState* state = platform::StateOf(section);
    state->mutex.lock();
    platform::NoteEntered(section, state);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
    platform::CriticalSectionState* state = platform::StateOf(section);
    if (!state->mutex.try_lock()) return FALSE;
    platform::NoteEntered(section, state);
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
    platform::CriticalSectionState* state = platform::StateOf(section);
    // Leaving a section the thread does not own is a caller's bug; ignoring
    // it keeps the real owner's lock intact instead of corrupting the mutex.
    if (state->owner.load() != GetCurrentThreadId() || state->depth == 0) return;
    if (--state->depth == 0) state->owner.store(0);
    section->OwnerThread = state->owner.load(std::memory_order_relaxed);
    section->LockCount = state->depth;
    state->mutex.unlock();
}

// ---- Interlocked operations -------------------------------------------------

LONG InterlockedIncrement(LONG volatile* addend) { return __atomic_add_fetch(addend, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedDecrement(LONG volatile* addend) { return __atomic_sub_fetch(addend, 1, __ATOMIC_SEQ_CST); }

LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchangeAdd(LONG volatile* addend, LONG value) {
    return __atomic_fetch_add(addend, value, __ATOMIC_SEQ_CST);
}

LONG InterlockedCompareExchange(LONG volatile* destination, LONG exchange, LONG comparand) {
    // On failure the builtin stores the value it found into `comparand`; on
    // success that value equals `comparand` already: either way it is the
    // initial value the caller expects back.
    __atomic_compare_exchange_n(destination, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return comparand;
}

PVOID InterlockedExchangePointer(PVOID volatile* target, PVOID value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

// ---- Tick count -------------------------------------------------------------

DWORD GetTickCount() {
    // Monotonic: setting the clock never makes intervals jump. The value
    // wraps after 49.7 days, as on the device.
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    unsigned long long ms = static_cast<unsigned long long>(now.tv_sec) * 1000ULL +
                            static_cast<unsigned long long>(now.tv_nsec) / 1000000ULL;
    return static_cast<DWORD>(ms);
}
