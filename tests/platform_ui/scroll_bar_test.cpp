// Scroll bars: SetScrollInfo's rules for the control (SB_CTL) and for a
// window's own bars (hidden while nothing can scroll, unless told to grey
// out), the position and range helpers, the codes the pen sends from the
// arrows, the page areas and the thumb, and the keyboard.
#include <gtest/gtest.h>

#include "controls_fixture.h"

using namespace controls_test;

namespace {

class ScrollBarTest : public ControlTest {
protected:
    HWND Bar(DWORD style, int x = 10, int y = 10, int w = 13, int h = 130, int id = 600) {
        return Make(u"SCROLLBAR", style, id, x, y, w, h);
    }
    static SCROLLINFO Info(HWND hwnd, int bar) {
        SCROLLINFO si = {sizeof si, SIF_ALL, -1, -1, 99, -1, -1};
        EXPECT_TRUE(GetScrollInfo(hwnd, bar, &si));
        return si;
    }
    static int Set(HWND hwnd, int bar, UINT mask, int min, int max, UINT page, int pos) {
        SCROLLINFO si = {sizeof si, mask, min, max, page, pos, 0};
        return SetScrollInfo(hwnd, bar, &si, TRUE);
    }
    // The scroll codes the parent got, as (code, position) pairs.
    static std::vector<std::pair<int, int>> Scrolls(UINT message) {
        std::vector<std::pair<int, int>> out;
        for (const Note& n : Taken(message)) out.push_back({n.code, n.pos});
        return out;
    }
};

TEST_F(ScrollBarTest, SetScrollInfoClampsPageAndPosition) {
    HWND bar = Bar(SBS_VERT);
    SCROLLINFO start = Info(bar, SB_CTL);
    EXPECT_EQ(start.nMin, 0);  // a control starts with an empty range
    EXPECT_EQ(start.nMax, 0);
    struct Case {
        UINT mask;
        int min, max;
        UINT page;
        int pos;
        int wantMin, wantMax;
        UINT wantPage;
        int wantPos;
    } cases[] = {
        {SIF_ALL, 0, 100, 10, 50, 0, 100, 10, 50},
        {SIF_POS, 0, 0, 0, 95, 0, 100, 10, 91},           // at most max - page + 1
        {SIF_POS, 0, 0, 0, -5, 0, 100, 10, 0},
        {SIF_PAGE, 0, 0, 500, 0, 0, 100, 101, 0},         // the page shrinks to the range
        {SIF_RANGE | SIF_PAGE | SIF_POS, 10, 20, 0, 30, 10, 20, 0, 20},
        {SIF_RANGE, 20, 10, 0, 0, 0, 0, 0, 0},            // an inverted range is empty
        {SIF_RANGE | SIF_POS, -50, 50, 0, -60, -50, 50, 0, -50},
    };
    for (const Case& c : cases) {
        int returned = Set(bar, SB_CTL, c.mask, c.min, c.max, c.page, c.pos);
        SCROLLINFO si = Info(bar, SB_CTL);
        EXPECT_EQ(si.nMin, c.wantMin) << "mask " << c.mask << " pos " << c.pos;
        EXPECT_EQ(si.nMax, c.wantMax) << "mask " << c.mask << " pos " << c.pos;
        EXPECT_EQ(si.nPage, c.wantPage) << "mask " << c.mask << " pos " << c.pos;
        EXPECT_EQ(si.nPos, c.wantPos) << "mask " << c.mask << " pos " << c.pos;
        EXPECT_EQ(returned, c.wantPos);
        EXPECT_EQ(si.nTrackPos, si.nPos);  // not tracking: the position itself
    }
    // A size that is neither SCROLLINFO's nor its older one is refused.
    SCROLLINFO bad = {sizeof bad + 4, SIF_ALL, 0, 10, 0, 0, 0};
    SetLastError(0);
    EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &bad, TRUE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SCROLLINFO none = {sizeof none, 0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &none));
}

TEST_F(ScrollBarTest, PositionAndRangeHelpers) {
    HWND bar = Bar(SBS_HORZ, 10, 10, 130, 13);
    EXPECT_TRUE(SetScrollRange(bar, SB_CTL, 0, 20, TRUE));
    int lo = -1, hi = -1;
    EXPECT_TRUE(GetScrollRange(bar, SB_CTL, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 20);
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 7, TRUE), 0);  // the previous position
    EXPECT_EQ(SetScrollPos(bar, SB_CTL, 30, TRUE), 7);
    EXPECT_EQ(GetScrollPos(bar, SB_CTL), 20);
    EXPECT_EQ(SendMessageW(bar, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
}

TEST_F(ScrollBarTest, PenOnArrowsAndPageAreasSendsLineAndPageCodes) {
    HWND bar = Bar(SBS_VERT);
    Set(bar, SB_CTL, SIF_ALL, 0, 100, 10, 50);
    int arrow = 13;
    struct Case {
        int y;
        int code;
    } cases[] = {
        {3, SB_LINEUP},
        {130 - 3, SB_LINEDOWN},
        {arrow + 3, SB_PAGEUP},
        {130 - arrow - 3, SB_PAGEDOWN},
    };
    for (const Case& c : cases) {
        Notes().clear();
        Tap(bar, 6, c.y);
        EXPECT_EQ(Scrolls(WM_VSCROLL), (std::vector<std::pair<int, int>>{{c.code, 0}, {SB_ENDSCROLL, 0}})) << c.y;
        for (const Note& n : Taken(WM_VSCROLL)) EXPECT_EQ(n.from, bar);
        // The parent did not move the bar, so it stays where it was.
        EXPECT_EQ(GetScrollPos(bar, SB_CTL), 50);
        Sleep(0);
    }
    EXPECT_EQ(GetCapture(), nullptr);

    // A horizontal bar says WM_HSCROLL.
    HWND horizontal = Bar(SBS_HORZ, 30, 10, 130, 13, 601);
    Set(horizontal, SB_CTL, SIF_ALL, 0, 10, 0, 5);
    Notes().clear();
    Tap(horizontal, 130 - 3, 6);
    EXPECT_EQ(Scrolls(WM_HSCROLL), (std::vector<std::pair<int, int>>{{SB_LINERIGHT, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(Count(WM_VSCROLL), 0);
}

TEST_F(ScrollBarTest, ThumbDragTracksAndEndsWithThumbPosition) {
    HWND bar = Bar(SBS_VERT);
    Set(bar, SB_CTL, SIF_ALL, 0, 100, 0, 0);
    int arrow = 13;
    // Without a page the thumb is as long as the bar is wide; it starts at the top.
    Down(bar, 6, arrow + 3);
    EXPECT_EQ(GetCapture(), bar);
    EXPECT_EQ(Count(WM_VSCROLL), 0);
    Move(bar, 6, 130 - arrow - 10);  // its top edge lands at the last thumb place
    SCROLLINFO during = Info(bar, SB_CTL);
    EXPECT_EQ(during.nTrackPos, 100);
    EXPECT_EQ(during.nPos, 0);  // the parent has not taken it
    Move(bar, 6, 500);          // past the end: still the end, no new code
    Up(bar, 6, 500);
    std::vector<Note> notes = Taken(WM_VSCROLL);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(notes[0].code, SB_THUMBTRACK);
    EXPECT_EQ(notes[0].pos, 100);
    EXPECT_EQ(notes[0].trackPos, 100);
    EXPECT_EQ(notes[1].code, SB_THUMBPOSITION);
    EXPECT_EQ(notes[1].pos, 100);
    EXPECT_EQ(notes[2].code, SB_ENDSCROLL);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Info(bar, SB_CTL).nTrackPos, 0);

    // A parent that follows the codes moves the bar.
    ParentAnswers().followScroll = true;
    Notes().clear();
    Down(bar, 6, arrow + 3);
    Move(bar, 6, arrow + 3 + (130 - 3 * arrow) / 2);
    Up(bar, 6, arrow + 3 + (130 - 3 * arrow) / 2);
    EXPECT_NEAR(GetScrollPos(bar, SB_CTL), 50, 2);
}

TEST_F(ScrollBarTest, BarThatCannotScrollIgnoresThePen) {
    HWND bar = Bar(SBS_VERT);
    Set(bar, SB_CTL, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 5, 10, 0);
    Tap(bar, 6, 3);
    Tap(bar, 6, 60);
    EXPECT_EQ(Count(WM_VSCROLL), 0);
    EXPECT_EQ(GetCapture(), nullptr);
    // EnableScrollBar greys one arrow only.
    Set(bar, SB_CTL, SIF_RANGE | SIF_PAGE, 0, 100, 10, 0);
    EXPECT_TRUE(EnableScrollBar(bar, SB_CTL, ESB_DISABLE_UP));
    Tap(bar, 6, 3);
    EXPECT_EQ(Count(WM_VSCROLL), 0);
    Tap(bar, 6, 127);
    EXPECT_EQ(Codes(WM_VSCROLL), (std::vector<int>{SB_LINEDOWN, SB_ENDSCROLL}));
}

TEST_F(ScrollBarTest, KeysSendTheirCodes) {
    HWND bar = Bar(SBS_VERT | WS_TABSTOP);
    Set(bar, SB_CTL, SIF_ALL, 0, 100, 10, 50);
    SetFocus(bar);
    Pump();
    struct Case {
        UINT key;
        int code;
    } cases[] = {{VK_UP, SB_LINEUP}, {VK_DOWN, SB_LINEDOWN}, {VK_PRIOR, SB_PAGEUP},
                 {VK_NEXT, SB_PAGEDOWN}, {VK_HOME, SB_TOP},   {VK_END, SB_BOTTOM}};
    for (const Case& c : cases) {
        Notes().clear();
        Key(c.key);
        EXPECT_EQ(Codes(WM_VSCROLL), (std::vector<int>{c.code, SB_ENDSCROLL})) << c.key;
    }
    Notes().clear();
    Key(VK_LEFT);  // not for a vertical bar
    EXPECT_EQ(Count(WM_VSCROLL), 0);
}

TEST_F(ScrollBarTest, WindowBarsHideWhenNothingScrolls) {
    HWND w = Make(u"STATIC", WS_VSCROLL | WS_HSCROLL, 1, 10, 10, 100, 100);
    RECT full = ClientRect(w);
    int bar = GetSystemMetrics(SM_CXVSCROLL);
    SCROLLINFO si = Info(w, SB_VERT);
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 100);  // a window's bar starts at 0..100

    // Everything fits: the bar goes and the client area grows.
    EXPECT_EQ(Set(w, SB_VERT, SIF_RANGE | SIF_PAGE, 0, 9, 10, 0), 0);
    EXPECT_FALSE(GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(ClientRect(w).right, full.right + bar);
    // Only the page changing does not bring it back...
    Set(w, SB_VERT, SIF_PAGE, 0, 0, 5, 0);
    EXPECT_FALSE(GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL);
    // ... but a range that scrolls does.
    Set(w, SB_VERT, SIF_RANGE, 0, 50, 0, 0);
    EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(Set(w, SB_VERT, SIF_POS, 0, 0, 0, 60), 46);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), 46);
    // SIF_DISABLENOSCROLL keeps a bar that cannot scroll.
    Set(w, SB_HORZ, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 9, 10, 0);
    EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_HSCROLL);

    // A window that never had a bar has no scroll information, until it gets one.
    HWND plain = Make(u"STATIC", 0, 2, 120, 10, 100, 100);
    SCROLLINFO none = {sizeof none, SIF_ALL, 0, 0, 0, 0, 0};
    EXPECT_FALSE(GetScrollInfo(plain, SB_VERT, &none));
    int lo = 1, hi = 1;
    EXPECT_FALSE(GetScrollRange(plain, SB_VERT, &lo, &hi));
    EXPECT_EQ(lo, 0);
    EXPECT_TRUE(SetScrollRange(plain, SB_VERT, 0, 30, TRUE));
    EXPECT_TRUE(GetWindowLongW(plain, GWL_STYLE) & WS_VSCROLL);
    EXPECT_TRUE(GetScrollInfo(plain, SB_VERT, &none));
    EXPECT_TRUE(ShowScrollBar(plain, SB_VERT, FALSE));
    EXPECT_FALSE(GetWindowLongW(plain, GWL_STYLE) & WS_VSCROLL);
}

TEST_F(ScrollBarTest, WindowBarIsDrawnInsideTheWindowEdge) {
    HWND w = Make(u"STATIC", WS_VSCROLL, 1, 10, 10, 100, 100);
    Set(w, SB_VERT, SIF_ALL, 0, 100, 10, 0);
    Pump();
    // The up arrow's face sits at the top of the strip right of the client
    // area, with its black shadow on the arrow's bottom edge.
    RECT client = ClientRect(w);
    int barWidth = GetSystemMetrics(SM_CXVSCROLL);
    bool shadow = false;
    for (int x = client.right; x < client.right + barWidth; ++x)
        if (PixelAt(w, x, barWidth - 1) == RGB(0, 0, 0)) shadow = true;
    EXPECT_TRUE(shadow);
}

TEST_F(ScrollBarTest, ParentMayDestroyTheBarWhileItIsTracked) {
    for (int code : {SB_LINEDOWN, SB_THUMBTRACK, SB_THUMBPOSITION, SB_ENDSCROLL}) {
        ParentAnswers().destroyOn = WM_VSCROLL;
        ParentAnswers().destroyCode = code;
        HWND bar = Bar(SBS_VERT);
        Set(bar, SB_CTL, SIF_ALL, 0, 100, 0, 0);
        int y = code == SB_LINEDOWN || code == SB_ENDSCROLL ? 127 : 16;
        Down(bar, 6, y);
        Move(bar, 6, 60);
        Up(bar, 6, 60);
        EXPECT_FALSE(IsWindow(bar)) << code;
        EXPECT_EQ(GetCapture(), nullptr) << code;
    }
}

}  // namespace
