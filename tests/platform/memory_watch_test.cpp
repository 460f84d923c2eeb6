// The low-memory watch: when the notice is due (image memory passing the
// mark below its budget, the host's available memory under its threshold, once per
// crossing, never inside the minimum interval), worked through with made-up
// clock readings; then the notice itself, WM_HIBERNATE posted to top-level
// windows only, also to a thread asleep in GetMessage when another thread's
// allocation passes the budget.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "gwes_fixture.h"
#include "platform/memory_watch.h"

namespace {

// Leaves the watch as the process found it: defaults, no image memory of
// its own, no remembered crossing.
class MemoryWatchTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ResetMemoryWatch();
        base_ = platform::ImageMemoryInUse();
        // The host's figure stays out of the way unless a case asks for it.
        platform::SetLowMemoryThreshold(1);
    }
    void TearDown() override {
        platform::AddImageMemory(-added_);
        platform::SetImageMemoryBudget(0);
        platform::SetLowMemoryThreshold(0);
        platform::SetLowMemoryNoticeInterval(platform::kDefaultNoticeIntervalMs);
        platform::ResetMemoryWatch();
        WindowTest::TearDown();
    }
    void Add(int64_t bytes) {
        platform::AddImageMemory(bytes);
        added_ += bytes;
    }
    uint64_t base_ = 0;
    int64_t added_ = 0;
};

constexpr uint64_t kNever = UINT64_MAX;

TEST_F(MemoryWatchTest, TheNoticeMarkIsFifteenSixteenthsOfTheBudget) {
    struct Case {
        uint64_t budget;
        uint64_t mark;
    };
    const Case cases[] = {
        {1600, 1500}, {16, 15}, {15, 15}, {1, 1}, {64ull << 30, 60ull << 30},
    };
    for (const Case& c : cases) {
        platform::SetImageMemoryBudget(c.budget);
        EXPECT_EQ(platform::ImageMemoryNoticeMark(), c.mark) << c.budget;
    }
}

TEST_F(MemoryWatchTest, ImageMemoryCrossingTheMarkIsToldOnceAndNotTooSoon) {
    ASSERT_EQ(base_, 0u);  // nothing else in this program holds image memory
    platform::SetImageMemoryBudget(1600);  // the mark at 1500
    platform::SetLowMemoryNoticeInterval(100);
    struct Step {
        const char* what;
        int64_t bytes;    // image memory allocated (+) or freed (-) first
        uint64_t now;     // the clock at the look
        bool due;
        uint64_t wakeAt;  // when a held-back notice falls due
    };
    const Step steps[] = {
        {"under the mark", 1400, 0, false, kNever},
        {"passes it", 200, 10, true, kNever},
        {"further over, already told", 100, 20, false, kNever},
        {"at the mark again is not over it", -200, 30, false, kNever},
        {"back under", -500, 40, false, kNever},
        {"over again inside the interval: held back", 800, 50, false, 110},
        {"still inside it", 0, 109, false, 110},
        {"the interval has passed", 0, 110, true, kNever},
        {"back under after the interval", -900, 300, false, kNever},
        {"a new crossing", 900, 400, true, kNever},
    };
    for (const Step& s : steps) {
        Add(s.bytes);
        uint64_t wakeAt = kNever;
        EXPECT_EQ(platform::LowMemoryNoticeDue(s.now, &wakeAt), s.due) << s.what;
        EXPECT_EQ(wakeAt, s.wakeAt) << s.what;
    }
}

TEST_F(MemoryWatchTest, TheHostRunningShortIsToldOncePerCrossingAndReadAtMostOnceASecond) {
    platform::SetLowMemoryNoticeInterval(0);
    constexpr uint64_t kShort = UINT64_MAX;  // no host has that much available
    constexpr uint64_t kPlenty = 1;
    const uint64_t poll = platform::kHostPollMs;
    struct Step {
        const char* what;
        uint64_t threshold;
        uint64_t now;
        bool due;
    };
    const Step steps[] = {
        {"plenty", kPlenty, 0, false},
        {"short, but not read again yet", kShort, 1, false},
        {"short at the next reading", kShort, poll, true},
        {"still short", kShort, 2 * poll, false},
        {"plenty again", kPlenty, 3 * poll, false},
        {"short again", kShort, 4 * poll, true},
    };
    for (const Step& s : steps) {
        platform::SetLowMemoryThreshold(s.threshold);
        EXPECT_EQ(platform::LowMemoryNoticeDue(s.now, nullptr), s.due) << s.what;
    }
}

// Counts the low-memory notices each window hears.
struct Heard {
    HWND hwnd;
    int notices;
};
std::vector<Heard>* g_heard = nullptr;

LRESULT CALLBACK ListeningProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_HIBERNATE && g_heard) {
        for (Heard& h : *g_heard)
            if (h.hwnd == hwnd) ++h.notices;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class MemoryNoticeTest : public MemoryWatchTest {
protected:
    void SetUp() override {
        MemoryWatchTest::SetUp();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ListeningProc;
        wc.lpszClassName = u"MemoryListener";
        ASSERT_NE(RegisterClassW(&wc), 0);
        // Hidden windows: nothing to paint, so a loop sees only the notice.
        top_ = CreateWindowExW(0, u"MemoryListener", u"top", 0, 0, 0, 100, 100, nullptr, nullptr,
                               nullptr, nullptr);
        other_ = CreateWindowExW(0, u"MemoryListener", u"other", 0, 0, 0, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        child_ = CreateWindowExW(0, u"MemoryListener", u"child", WS_CHILD, 0, 0, 10, 10, top_, nullptr,
                                 nullptr, nullptr);
        ASSERT_TRUE(top_ && other_ && child_);
        heard_ = {{top_, 0}, {other_, 0}, {child_, 0}};
        g_heard = &heard_;
        Pump();
        platform::SetLowMemoryNoticeInterval(0);
        ASSERT_EQ(base_, 0u);
        platform::SetImageMemoryBudget(1600);  // the mark at 1500
    }
    void TearDown() override {
        g_heard = nullptr;
        DestroyWindow(top_);
        DestroyWindow(other_);
        Pump();
        UnregisterClassW(u"MemoryListener", nullptr);
        MemoryWatchTest::TearDown();
    }
    std::vector<int> Notices() const {
        std::vector<int> out;
        for (const Heard& h : heard_) out.push_back(h.notices);
        return out;
    }
    HWND top_ = nullptr, other_ = nullptr, child_ = nullptr;
    std::vector<Heard> heard_;
};

TEST_F(MemoryNoticeTest, EveryTopLevelWindowHearsEachCrossingOnce) {
    struct Step {
        const char* what;
        int64_t bytes;
        std::vector<int> notices;  // top, other, child: the running totals
    };
    const std::vector<Step> steps = {
        {"under the mark", 1400, {0, 0, 0}},
        {"passes it", 200, {1, 1, 0}},
        {"further over", 5000, {1, 1, 0}},
        {"back under", -5200, {1, 1, 0}},
        {"passes it again", 2000, {2, 2, 0}},
    };
    for (const Step& s : steps) {
        Add(s.bytes);
        Pump();
        Pump();  // a second turn of the loop brings nothing new
        EXPECT_EQ(Notices(), s.notices) << s.what;
    }
}

TEST_F(MemoryNoticeTest, AnAllocationOnAnotherThreadWakesALoopAsleepInGetMessage) {
    // The loop may already sleep when the allocation comes or not yet have
    // looked; either way GetMessage must return the notice (without the wake
    // it would sleep on, and the test would run into its time limit).
    std::thread worker([this] { Add(5000); });
    MSG msg = {};
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    worker.join();
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_HIBERNATE));
    DispatchMessageW(&msg);
    Pump();
    EXPECT_EQ(Notices(), (std::vector<int>{1, 1, 0}));
}

}  // namespace
