// The progress bar: range and position messages with their return values,
// stepping past the end, and the filled part as the screen shows it.
#include <gtest/gtest.h>

#include "bars_fixture.h"

using namespace bars_test;

namespace {

class ProgressBarTest : public BarsTest {
protected:
    HWND Make(DWORD style, int w = 104, int h = 20) {
        HWND pb = Control(PROGRESS_CLASSW, style, 10, 50, w, h, 17362);
        EXPECT_NE(pb, nullptr);
        return pb;
    }
    static LRESULT Send(HWND pb, UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(pb, m, w, l); }
};

TEST_F(ProgressBarTest, MessagesReturnWhatWasBefore) {
    HWND pb = Make(PBS_SMOOTH);
    // Each row: a message, its parameters, what it returns, and the position after it.
    struct Row {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        int pos;
    } rows[] = {
        {PBM_GETPOS, 0, 0, 0, 0},
        {PBM_SETPOS, 40, 0, 0, 40},
        {PBM_DELTAPOS, 25, 0, 40, 65},
        {PBM_SETPOS, 500, 0, 65, 100},                        // clamped to the range
        {PBM_SETRANGE, 0, MAKELPARAM(0, 200), MAKELONG(0, 100), 100},
        {PBM_SETSTEP, 30, 0, 10, 100},                        // the old step
        {PBM_STEPIT, 0, 0, 100, 130},
        {PBM_SETPOS, 190, 0, 130, 190},
        {PBM_STEPIT, 0, 0, 190, 20},                          // past the end: from the start again
        {PBM_SETRANGE32, 1000, 5000, MAKELONG(0, 200), 1000}, // the position moves into the range
        {PBM_GETRANGE, TRUE, 0, 1000, 1000},
        {PBM_GETRANGE, FALSE, 0, 5000, 1000},
        {PBM_DELTAPOS, static_cast<WPARAM>(-50), 0, 1000, 1000},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(Send(pb, r.message, r.wParam, r.lParam), r.result) << std::hex << r.message;
        EXPECT_EQ(Send(pb, PBM_GETPOS), r.pos) << std::hex << r.message;
    }
    PBRANGE range = {};
    Send(pb, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 1000);
    EXPECT_EQ(range.iHigh, 5000);
}

TEST_F(ProgressBarTest, FilledPartFollowsThePosition) {
    struct Case {
        DWORD style;
        int w, h;
        POINT filled, empty;  // client points at 20% and 80% along the bar
    } cases[] = {
        {PBS_SMOOTH, 104, 20, {20, 10}, {84, 10}},
        {PBS_SMOOTH | PBS_VERTICAL, 20, 104, {10, 84}, {10, 20}},
        {0, 104, 20, {4, 10}, {84, 10}},  // blocks: the first block is full
    };
    for (const Case& c : cases) {
        HWND pb = Make(c.style, c.w, c.h);
        Send(pb, PBM_SETPOS, 50);
        Pump();
        EXPECT_EQ(At(pb, c.filled.x, c.filled.y), Sys(COLOR_HIGHLIGHT)) << c.style;
        EXPECT_EQ(At(pb, c.empty.x, c.empty.y), Sys(COLOR_BTNFACE)) << c.style;
        // A bar colour of the program's own.
        Send(pb, PBM_SETBARCOLOR, 0, RGB(255, 0, 0));
        Pump();
        EXPECT_EQ(At(pb, c.filled.x, c.filled.y), OnDisplay(RGB(255, 0, 0))) << c.style;
        DestroyWindow(pb);
    }
}

}  // namespace
