// The trackbar: its range, position, page and tick messages, and the
// WM_HSCROLL/WM_VSCROLL traffic that keys, taps on the channel and drags of
// the thumb send to the parent.
#include <gtest/gtest.h>

#include "bars_fixture.h"

using namespace bars_test;

namespace {

class TrackbarTest : public BarsTest {
protected:
    HWND Make(DWORD style = 0, int w = 200, int h = 30) {
        HWND tb = Control(TRACKBAR_CLASSW, style, 20, 40, w, h, 7);
        EXPECT_NE(tb, nullptr);
        return tb;
    }
    static LRESULT Send(HWND tb, UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(tb, m, w, l); }

    // The scroll codes (and the positions of the thumb codes) the parent saw.
    static std::vector<std::pair<int, int>> Scrolls(HWND tb, UINT message = WM_HSCROLL) {
        std::vector<std::pair<int, int>> out;
        for (const Event& e : Take()) {
            if (e.message != message) continue;
            EXPECT_EQ(e.lParam, reinterpret_cast<LPARAM>(tb));
            out.emplace_back(LOWORD(e.wParam), static_cast<SHORT>(HIWORD(e.wParam)));
        }
        return out;
    }
};

using Scroll = std::vector<std::pair<int, int>>;

TEST_F(TrackbarTest, RangePositionAndPageSize) {
    HWND tb = Make();
    EXPECT_EQ(Send(tb, TBM_GETRANGEMIN), 0);
    EXPECT_EQ(Send(tb, TBM_GETRANGEMAX), 100);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 0);
    EXPECT_EQ(Send(tb, TBM_GETPAGESIZE), 20);
    EXPECT_EQ(Send(tb, TBM_GETLINESIZE), 1);

    // Both ends of TBM_SETRANGE are signed 16-bit values; the default page
    // follows the range.
    Send(tb, TBM_SETRANGE, TRUE, MAKELONG(static_cast<WORD>(-100), 100));
    EXPECT_EQ(Send(tb, TBM_GETRANGEMIN), -100);
    EXPECT_EQ(Send(tb, TBM_GETRANGEMAX), 100);
    EXPECT_EQ(Send(tb, TBM_GETPAGESIZE), 40);

    struct Case {
        LONG set;
        LONG got;
    } cases[] = {{50, 50}, {500, 100}, {-500, -100}, {-7, -7}};
    for (const Case& c : cases) {
        Send(tb, TBM_SETPOS, TRUE, c.set);
        EXPECT_EQ(Send(tb, TBM_GETPOS), c.got) << c.set;
    }

    // A page set by the program stays when the range changes.
    EXPECT_EQ(Send(tb, TBM_SETPAGESIZE, 0, 10), 40);
    Send(tb, TBM_SETRANGEMAX, TRUE, 100000);
    EXPECT_EQ(Send(tb, TBM_GETRANGEMAX), 100000);
    EXPECT_EQ(Send(tb, TBM_GETPAGESIZE), 10);
    EXPECT_EQ(Send(tb, TBM_SETLINESIZE, 0, 5), 1);
    EXPECT_EQ(Send(tb, TBM_GETLINESIZE), 5);

    // A new minimum above the position pulls the position along.
    Send(tb, TBM_SETRANGEMIN, TRUE, 10);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 10);
    // Setting values from the program reports nothing to the parent.
    Pump();
    EXPECT_TRUE(Scrolls(tb).empty());
}

TEST_F(TrackbarTest, Ticks) {
    HWND tb = Make(TBS_AUTOTICKS);
    Send(tb, TBM_SETTICFREQ, 10);
    // Nine tics between the ends, and the two ends.
    EXPECT_EQ(Send(tb, TBM_GETNUMTICS), 11);
    EXPECT_EQ(Send(tb, TBM_GETTIC, 0), 10);
    EXPECT_EQ(Send(tb, TBM_GETTIC, 8), 90);
    EXPECT_EQ(Send(tb, TBM_GETTIC, 9), -1);
    EXPECT_TRUE(Send(tb, TBM_SETTIC, 0, 55));
    EXPECT_FALSE(Send(tb, TBM_SETTIC, 0, 101));
    EXPECT_EQ(Send(tb, TBM_GETNUMTICS), 12);
    // Tic positions run left to right.
    EXPECT_LT(Send(tb, TBM_GETTICPOS, 0), Send(tb, TBM_GETTICPOS, 1));
    Send(tb, TBM_CLEARTICS, TRUE);
    EXPECT_EQ(Send(tb, TBM_GETNUMTICS), 2);

    HWND none = Make(TBS_NOTICKS | TBS_BOTH);
    EXPECT_EQ(Send(none, TBM_GETNUMTICS), 0);
}

TEST_F(TrackbarTest, KeysStepAndEndTrack) {
    HWND tb = Make();
    SetFocus(tb);
    struct Case {
        UINT vk;
        int code;
        LONG pos;
    } cases[] = {
        {VK_RIGHT, TB_LINEDOWN, 51}, {VK_LEFT, TB_LINEUP, 49},   {VK_UP, TB_LINEUP, 49},
        {VK_DOWN, TB_LINEDOWN, 51},  {VK_PRIOR, TB_PAGEUP, 30},  {VK_NEXT, TB_PAGEDOWN, 70},
        {VK_HOME, TB_TOP, 0},        {VK_END, TB_BOTTOM, 100},
    };
    for (const Case& c : cases) {
        Send(tb, TBM_SETPOS, TRUE, 50);
        Take();
        Key(c.vk);
        EXPECT_EQ(Send(tb, TBM_GETPOS), c.pos) << c.vk;
        EXPECT_EQ(Scrolls(tb), (Scroll{{c.code, 0}, {TB_ENDTRACK, 0}})) << c.vk;
    }
    // At the end of the range a key moves nothing: only the end of tracking.
    Send(tb, TBM_SETPOS, TRUE, 0);
    Key(VK_LEFT);
    EXPECT_EQ(Scrolls(tb), (Scroll{{TB_ENDTRACK, 0}}));
}

TEST_F(TrackbarTest, TapsOnTheChannelPage) {
    HWND tb = Make();
    RECT thumb, channel;
    Send(tb, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    Send(tb, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    int y = (thumb.top + thumb.bottom) / 2;
    Tap(tb, channel.right - 4, y);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 20);
    EXPECT_EQ(Scrolls(tb), (Scroll{{TB_PAGEDOWN, 0}, {TB_ENDTRACK, 0}}));
    Tap(tb, channel.left + 1, y);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 0);
    EXPECT_EQ(Scrolls(tb), (Scroll{{TB_PAGEUP, 0}, {TB_ENDTRACK, 0}}));
    // The trackbar took the focus, so the keys reach it now.
    EXPECT_EQ(GetFocus(), tb);
}

TEST_F(TrackbarTest, DraggingTheThumbTracksThenSetsThePosition) {
    HWND tb = Make(TBS_NOTICKS | TBS_BOTH, 240, 16);
    RECT thumb, channel;
    Send(tb, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    Send(tb, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    int x0 = (thumb.left + thumb.right) / 2, y = (thumb.top + thumb.bottom) / 2;
    Pen(platform::Pen::Down, tb, x0, y);
    Pen(platform::Pen::Move, tb, x0 + 40, y);
    LONG middle = static_cast<LONG>(Send(tb, TBM_GETPOS));
    EXPECT_GT(middle, 0);
    Pen(platform::Pen::Move, tb, channel.right + 30, y);
    Pen(platform::Pen::Up, tb, channel.right + 30, y);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 100);
    EXPECT_EQ(Scrolls(tb), (Scroll{{TB_THUMBTRACK, middle},
                                   {TB_THUMBTRACK, 100},
                                   {TB_THUMBPOSITION, 100},
                                   {TB_ENDTRACK, 0}}));
    // The thumb now sits at the right end of the channel.
    Send(tb, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    EXPECT_GT(thumb.left, 200);
}

TEST_F(TrackbarTest, VerticalTrackbarsScrollVertically) {
    HWND tb = Make(TBS_VERT, 30, 200);
    RECT thumb;
    Send(tb, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    // The minimum is at the top.
    EXPECT_LT(thumb.top, 20);
    Tap(tb, (thumb.left + thumb.right) / 2, 150);
    EXPECT_EQ(Send(tb, TBM_GETPOS), 20);
    EXPECT_EQ(Scrolls(tb, WM_VSCROLL), (Scroll{{TB_PAGEDOWN, 0}, {TB_ENDTRACK, 0}}));
}

TEST_F(TrackbarTest, ThumbIsDrawnAtThePosition) {
    HWND tb = Make();
    RECT thumb, channel;
    Send(tb, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    Send(tb, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    int y = (channel.top + channel.bottom) / 2;
    int left = (thumb.left + thumb.right) / 2, right = channel.right - 8;
    Pump();
    // The channel is white where the thumb is not.
    EXPECT_NE(At(tb, left, y), Sys(COLOR_WINDOW));
    EXPECT_EQ(At(tb, right, y), Sys(COLOR_WINDOW));
    Send(tb, TBM_SETPOS, TRUE, 100);
    Pump();
    EXPECT_EQ(At(tb, left, y), Sys(COLOR_WINDOW));
    EXPECT_NE(At(tb, right, y), Sys(COLOR_WINDOW));
}

}  // namespace
