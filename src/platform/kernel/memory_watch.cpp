// The low-memory watch: the image memory counter, the budget and threshold,
// and the decision when the notice is due. Sending it is the window
// system's part (gwes/message_queue.cpp).
#include "platform/memory_watch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "windows.h"

namespace platform {
namespace {

std::atomic<int64_t> g_inUse{0};
std::atomic<uint64_t> g_budget{0};     // 0: the default, worked out on first use
std::atomic<uint64_t> g_threshold{0};  // 0: the default
std::atomic<uint32_t> g_interval{kDefaultNoticeIntervalMs};
std::atomic<uint64_t> g_crossings{0};
std::atomic<void (*)()> g_wake{nullptr};

// What the watch remembers between two looks (under g_stateMutex).
struct WatchState {
    bool imageNoticed = false;  // the image memory is over budget and was told
    bool hostNoticed = false;   // the host is short and was told
    bool hostLow = false;       // at the last reading
    uint64_t nextHostPoll = 0;
    bool anyNotice = false;
    uint64_t lastNotice = 0;
};
std::mutex g_stateMutex;
WatchState g_state;

uint64_t PhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return 256ull << 20;  // a guess no host falls below
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

uint64_t DefaultBudget() {
    static const uint64_t budget = PhysicalMemory() / 4;
    return budget;
}

uint64_t DefaultThreshold() {
    static const uint64_t threshold = std::min<uint64_t>(PhysicalMemory() / 16, 512ull << 20);
    return threshold;
}

}  // namespace

void AddImageMemory(int64_t bytes) {
    const int64_t before = g_inUse.fetch_add(bytes, std::memory_order_relaxed);
    if (bytes <= 0) return;
    const int64_t mark = static_cast<int64_t>(ImageMemoryNoticeMark());
    const int64_t after = before + bytes;
    if (before <= mark && after > mark) {
        g_crossings.fetch_add(1, std::memory_order_release);
        if (void (*wake)() = g_wake.load(std::memory_order_acquire)) wake();
    }
}

uint64_t ImageMemoryInUse() {
    const int64_t used = g_inUse.load(std::memory_order_relaxed);
    return used > 0 ? static_cast<uint64_t>(used) : 0;
}

void SetImageMemoryBudget(uint64_t bytes) { g_budget.store(bytes, std::memory_order_relaxed); }

uint64_t ImageMemoryBudget() {
    const uint64_t set = g_budget.load(std::memory_order_relaxed);
    return set ? set : DefaultBudget();
}

uint64_t ImageMemoryNoticeMark() {
    const uint64_t budget = ImageMemoryBudget();
    return budget - budget / 16;
}

void SetLowMemoryThreshold(uint64_t bytes) { g_threshold.store(bytes, std::memory_order_relaxed); }

uint64_t LowMemoryThreshold() {
    const uint64_t set = g_threshold.load(std::memory_order_relaxed);
    return set ? set : DefaultThreshold();
}

void SetLowMemoryNoticeInterval(uint32_t milliseconds) {
    g_interval.store(milliseconds, std::memory_order_relaxed);
}

void SetImageBudgetWake(void (*wake)()) { g_wake.store(wake, std::memory_order_release); }

uint64_t ImageBudgetCrossings() { return g_crossings.load(std::memory_order_acquire); }

bool LowMemoryNoticeDue(uint64_t nowMs, uint64_t* wakeAt) {
    // Another thread looking right now decides for both.
    std::unique_lock<std::mutex> lock(g_stateMutex, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    WatchState& s = g_state;

    const bool imageOver = ImageMemoryInUse() > ImageMemoryNoticeMark();
    if (nowMs >= s.nextHostPoll) {
        s.nextHostPoll = nowMs + kHostPollMs;
        MEMORYSTATUS status = {};
        status.dwLength = sizeof status;
        GlobalMemoryStatus(&status);
        s.hostLow = status.dwTotalPhys != 0 && status.dwAvailPhys < LowMemoryThreshold();
    }
    // Back under a limit: the next crossing is news again.
    if (!imageOver) s.imageNoticed = false;
    if (!s.hostLow) s.hostNoticed = false;
    const bool crossed = (imageOver && !s.imageNoticed) || (s.hostLow && !s.hostNoticed);
    if (!crossed) return false;

    const uint64_t interval = g_interval.load(std::memory_order_relaxed);
    if (s.anyNotice && nowMs < s.lastNotice + interval) {
        if (wakeAt) *wakeAt = std::min(*wakeAt, s.lastNotice + interval);
        return false;
    }
    s.imageNoticed = imageOver;
    s.hostNoticed = s.hostLow;
    s.anyNotice = true;
    s.lastNotice = nowMs;
    return true;
}

void ResetMemoryWatch() {
    std::lock_guard<std::mutex> lock(g_stateMutex);
    g_state = WatchState{};
}

}  // namespace platform
