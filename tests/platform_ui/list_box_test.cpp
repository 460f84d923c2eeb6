// The list box: the item messages and their error results, sorting, taps,
// drags and keys with their notifications, focus notifications, the
// vertical scroll bar (shown only when needed, driven by the pen), owner
// drawing, integral height and multiple selection; the horizontal extent
// with its bar (shown only while the extent is wider than the list, moved
// by line, page and thumb) and the items painted and tapped after
// scrolling sideways.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls_fixture.h"

using namespace controls_test;

namespace {

class ListBoxTest : public ControlTest {
protected:
    HWND List(DWORD style, int h = 80, int id = 400, int w = 120) {
        return Make(u"LISTBOX", WS_BORDER | style, id, 10, 10, w, h);
    }
    static void Fill(HWND list, std::initializer_list<const WCHAR*> items) {
        for (const WCHAR* item : items) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    static std::u16string ItemText(HWND list, int index) {
        WCHAR buffer[64] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
        return buffer;
    }
    static int Height(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)); }
    // Taps the middle of an item (counted from the top of the list).
    void TapRow(HWND list, int row) {
        Tap(list, 20, row * Height(list) + Height(list) / 2);
    }
};

TEST_F(ListBoxTest, ItemMessagesAndTheirErrors) {
    HWND list = List(0);
    struct Call {
        UINT message;
        WPARAM wParam;
        const WCHAR* text;
        LRESULT result;
    } calls[] = {
        {LB_GETCOUNT, 0, nullptr, 0},
        {LB_GETCURSEL, 0, nullptr, LB_ERR},
        {LB_ADDSTRING, 0, u"banana", 0},
        {LB_ADDSTRING, 0, u"apple", 1},  // no LBS_SORT: added at the end
        {LB_INSERTSTRING, 1, u"cherry", 1},
        {LB_INSERTSTRING, static_cast<WPARAM>(-1), u"date", 3},
        {LB_INSERTSTRING, 9, u"fig", LB_ERR},
        {LB_GETCOUNT, 0, nullptr, 4},
        {LB_GETTEXTLEN, 1, nullptr, 6},
        {LB_GETTEXTLEN, 4, nullptr, LB_ERR},
        {LB_FINDSTRING, static_cast<WPARAM>(-1), u"AP", 2},       // a prefix, ignoring case
        {LB_FINDSTRING, 2, u"b", 0},                              // wraps round
        {LB_FINDSTRING, static_cast<WPARAM>(-1), u"x", LB_ERR},
        {LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"DATE", 3},
        {LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"dat", LB_ERR},
        {LB_SETCURSEL, 2, nullptr, 2},
        {LB_GETCURSEL, 0, nullptr, 2},
        {LB_SETCURSEL, 7, nullptr, LB_ERR},
        {LB_GETCURSEL, 0, nullptr, 2},
        {LB_SELECTSTRING, static_cast<WPARAM>(-1), u"ch", 1},
        {LB_GETCURSEL, 0, nullptr, 1},
        {LB_SETITEMDATA, 3, reinterpret_cast<const WCHAR*>(static_cast<LONG_PTR>(77)), TRUE},
        {LB_GETITEMDATA, 3, nullptr, 77},
        {LB_GETITEMDATA, 4, nullptr, LB_ERR},
        {LB_DELETESTRING, 0, nullptr, 3},  // the selection moves with its item
        {LB_GETCURSEL, 0, nullptr, 0},
        {LB_DELETESTRING, 0, nullptr, 2},  // the selected item goes
        {LB_GETCURSEL, 0, nullptr, LB_ERR},
        {LB_DELETESTRING, 5, nullptr, LB_ERR},
        {LB_GETITEMDATA, 1, nullptr, 77},
        {LB_SETCURSEL, static_cast<WPARAM>(-1), nullptr, LB_ERR},  // clears, and says LB_ERR
        {LB_RESETCONTENT, 0, nullptr, LB_OKAY},
        {LB_GETCOUNT, 0, nullptr, 0},
    };
    int step = 0;
    for (const Call& c : calls) {
        LRESULT r = SendMessageW(list, c.message, c.wParam, reinterpret_cast<LPARAM>(c.text));
        EXPECT_EQ(r, c.result) << "step " << step << " message 0x" << std::hex << c.message;
        ++step;
    }
    EXPECT_EQ(Count(WM_COMMAND, list), 0);  // messages from the program are not reported
}

TEST_F(ListBoxTest, SortedListIgnoresCaseAndInsertStringDoesNotSort) {
    HWND list = List(LBS_SORT);
    Fill(list, {u"pear", u"Apple", u"banana", u"apple"});
    EXPECT_EQ(ItemText(list, 0), u"Apple");
    EXPECT_EQ(ItemText(list, 1), u"apple");  // equal ones keep their order
    EXPECT_EQ(ItemText(list, 2), u"banana");
    EXPECT_EQ(ItemText(list, 3), u"pear");
    SendMessageW(list, LB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(u"zebra"));
    EXPECT_EQ(ItemText(list, 0), u"zebra");
    WCHAR buffer[16];
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 4, reinterpret_cast<LPARAM>(buffer)), 4);
    EXPECT_EQ(std::u16string(buffer), u"pear");
}

TEST_F(ListBoxTest, TapsSelectAndNotifyWithLbsNotify) {
    HWND notifying = List(LBS_NOTIFY, 80, 1);
    Fill(notifying, {u"one", u"two", u"three"});
    TapRow(notifying, 1);
    EXPECT_EQ(GetFocus(), notifying);
    EXPECT_EQ(SendMessageW(notifying, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(WM_COMMAND, notifying), (std::vector<int>{LBN_SETFOCUS, LBN_SELCHANGE}));

    // The same item again: no change to report; then a double tap.
    Notes().clear();
    TapRow(notifying, 1);
    EXPECT_EQ(Codes(WM_COMMAND, notifying), (std::vector<int>{LBN_DBLCLK}));

    // A tap below the last item changes nothing.
    Notes().clear();
    TapRow(notifying, 4);
    EXPECT_EQ(SendMessageW(notifying, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Count(WM_COMMAND, notifying), 0);

    // Dragging the pen drags the selection.
    Down(notifying, 20, Height(notifying) / 2);
    Move(notifying, 20, 2 * Height(notifying) + 2);
    Up(notifying, 20, 2 * Height(notifying) + 2);
    EXPECT_EQ(SendMessageW(notifying, LB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Codes(WM_COMMAND, notifying), (std::vector<int>{LBN_SELCHANGE, LBN_SELCHANGE}));
    EXPECT_EQ(GetCapture(), nullptr);

    // Without LBS_NOTIFY only the focus is reported.
    HWND quiet = Make(u"LISTBOX", WS_BORDER, 2, 130, 10, 100, 80);
    Fill(quiet, {u"one", u"two"});
    Notes().clear();
    TapRow(quiet, 1);
    EXPECT_EQ(SendMessageW(quiet, LB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Codes(WM_COMMAND, quiet), std::vector<int>{LBN_SETFOCUS});
    EXPECT_EQ(Codes(WM_COMMAND, notifying), (std::vector<int>{LBN_KILLFOCUS}));
}

TEST_F(ListBoxTest, KeysMoveTheSelection) {
    HWND list = List(LBS_NOTIFY, 80);
    Fill(list, {u"alpha", u"beta", u"gamma", u"delta", u"epsilon"});
    SetFocus(list);
    Pump();
    struct Case {
        UINT key;
        WCHAR typed;
        LRESULT sel;
    } cases[] = {
        {VK_DOWN, 0, 0},  // from no selection to the first item
        {VK_DOWN, 0, 1},  {VK_END, 0, 4},  {VK_DOWN, 0, 4}, {VK_UP, 0, 3},
        {VK_HOME, 0, 0},  {VK_UP, 0, 0},   {0, u'g', 2},    {0, u'E', 4},
        {0, u'e', 4},     // wraps round to itself
    };
    for (const Case& c : cases) {
        Notes().clear();
        LRESULT before = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (c.key) Key(c.key);
        else Type(std::u16string(1, c.typed));
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), c.sel) << "key " << c.key << " char " << static_cast<int>(c.typed);
        EXPECT_EQ(Count(WM_COMMAND, list), before != c.sel ? 1 : 0) << "key " << c.key;
    }
    EXPECT_EQ(SendMessageW(list, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTCHARS);
}

TEST_F(ListBoxTest, ScrollBarShowsOnlyWhenItemsDoNotFit) {
    HWND list = List(WS_VSCROLL | LBS_NOTIFY, 80);
    int h = Height(list);
    int visible = ClientRect(list).bottom / h;
    RECT withBar = ClientRect(list);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);  // nothing to scroll yet
    for (int i = 0; i < 20; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"item"));
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(ClientRect(list).right, withBar.right - GetSystemMetrics(SM_CXVSCROLL));
    SCROLLINFO si = {sizeof si, SIF_ALL, 0, 0, 0, 0, 0};
    ASSERT_TRUE(GetScrollInfo(list, SB_VERT, &si));
    EXPECT_EQ(si.nMin, 0);
    EXPECT_EQ(si.nMax, 19);
    EXPECT_EQ(si.nPage, static_cast<UINT>(visible));
    EXPECT_EQ(si.nPos, 0);

    // Top index: clamped so the last page stays full.
    EXPECT_EQ(SendMessageW(list, LB_SETTOPINDEX, 19, 0), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 20 - visible);
    EXPECT_EQ(GetScrollPos(list, SB_VERT), 20 - visible);
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);

    // The selection keeps itself in view.
    SendMessageW(list, LB_SETCURSEL, 10, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 10 - visible + 1);
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);

    // The pen on the bar: the down arrow, the page below the thumb, the thumb.
    RECT client = ClientRect(list);
    int barX = client.right + GetSystemMetrics(SM_CXVSCROLL) / 2;
    Notes().clear();
    Tap(list, barX, client.bottom - 3);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 1);
    Tap(list, barX, client.bottom - GetSystemMetrics(SM_CXVSCROLL) - 3);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 1 + visible - 1);
    EXPECT_EQ(Count(WM_COMMAND, list), 0);  // scrolling is not a selection change
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 10);
    SendMessageW(list, LB_SETTOPINDEX, 0, 0);
    int arrow = GetSystemMetrics(SM_CXVSCROLL);
    Down(list, barX, arrow + 2);                // on the thumb
    Move(list, barX, client.bottom - arrow + 40);  // dragged past the end
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 20 - visible);
    Up(list, barX, client.bottom - arrow + 40);
    EXPECT_EQ(GetScrollPos(list, SB_VERT), 20 - visible);
    EXPECT_EQ(GetCapture(), nullptr);

    // Emptying the list hides the bar again.
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    EXPECT_FALSE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);
    EXPECT_EQ(ClientRect(list).right, withBar.right);
}

TEST_F(ListBoxTest, OwnerDrawnItemsAreMeasuredAndDrawnByTheParent) {
    ParentAnswers().itemHeight = 22;
    HWND list = List(LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT, 80, 9);
    std::vector<Note> measures = Taken(WM_MEASUREITEM);
    ASSERT_EQ(measures.size(), 1u);
    EXPECT_EQ(measures[0].trackPos, ODT_LISTBOX);
    EXPECT_EQ(measures[0].id, 9);
    EXPECT_EQ(Height(list), 22);

    // Without LBS_HASSTRINGS an item is its data.
    SendMessageW(list, LB_ADDSTRING, 0, 1000);
    SendMessageW(list, LB_ADDSTRING, 0, 2000);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 2000);
    ULONG_PTR data = 0;
    EXPECT_EQ(SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(&data)), static_cast<LRESULT>(sizeof data));
    EXPECT_EQ(data, 1000u);
    EXPECT_EQ(SendMessageW(list, LB_FINDSTRING, static_cast<WPARAM>(-1), 2000), 1);
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    Notes().clear();
    UpdateWindow(list);
    std::vector<Note> draws = Taken(WM_DRAWITEM);
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0].trackPos, ODT_LISTBOX);
    EXPECT_EQ(draws[0].item, 0);
    EXPECT_EQ(draws[0].pos & ODS_SELECTED, 0);
    EXPECT_EQ(draws[1].item, 1);
    EXPECT_TRUE(draws[1].pos & ODS_SELECTED);
    EXPECT_EQ(draws[1].rect.top, 22);
    EXPECT_EQ(draws[1].rect.bottom, 44);
    EXPECT_EQ(draws[1].code, ODA_DRAWENTIRE);

    // Removing items tells the parent.
    Notes().clear();
    SendMessageW(list, LB_DELETESTRING, 0, 0);
    std::vector<Note> deleted = Taken(WM_DELETEITEM);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].item, 0);
    EXPECT_EQ(deleted[0].pos, 1000);
}

TEST_F(ListBoxTest, SortedOwnerDrawnItemsAreComparedByTheParent) {
    ParentAnswers().compareByData = true;
    HWND list = List(LBS_OWNERDRAWFIXED | LBS_SORT, 80);
    for (LPARAM v : {30, 10, 20}) SendMessageW(list, LB_ADDSTRING, 0, v);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 0, 0), 10);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 1, 0), 20);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMDATA, 2, 0), 30);
}

TEST_F(ListBoxTest, HeightShowsWholeItemsUnlessAskedNotTo) {
    HWND integral = List(0, 83, 1);
    HWND free = List(LBS_NOINTEGRALHEIGHT, 83, 2);
    int h = Height(integral);
    EXPECT_EQ(ClientRect(integral).bottom % h, 0);
    EXPECT_EQ(ClientRect(free).bottom, 81);
    EXPECT_EQ(SendMessageW(integral, LB_SETITEMHEIGHT, 0, 300), LB_ERR);
    EXPECT_EQ(SendMessageW(free, LB_SETITEMHEIGHT, 0, 27), LB_OKAY);
    EXPECT_EQ(Height(free), 27);
}

TEST_F(ListBoxTest, ItemRectAndItemFromPoint) {
    HWND list = List(0, 80);
    Fill(list, {u"a", u"b", u"c"});
    int h = Height(list);
    RECT r;
    EXPECT_EQ(SendMessageW(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&r)), 1);
    EXPECT_EQ(r.top, 2 * h);
    EXPECT_EQ(r.bottom, 3 * h);
    EXPECT_EQ(r.right, ClientRect(list).right);
    EXPECT_EQ(SendMessageW(list, LB_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r)), LB_ERR);
    EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, h + 1)), MAKELRESULT(1, 0));
    EXPECT_EQ(HIWORD(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(5, 5 * h))), 1);
}

TEST_F(ListBoxTest, MultipleSelectionTogglesItems) {
    HWND list = List(LBS_MULTIPLESEL | LBS_NOTIFY, 80);
    Fill(list, {u"a", u"b", u"c", u"d"});
    EXPECT_EQ(SendMessageW(list, LB_SETCURSEL, 1, 0), LB_ERR);
    TapRow(list, 0);
    TapRow(list, 2);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 2);
    int items[4] = {};
    EXPECT_EQ(SendMessageW(list, LB_GETSELITEMS, 4, reinterpret_cast<LPARAM>(items)), 2);
    EXPECT_EQ(items[0], 0);
    EXPECT_EQ(items[1], 2);
    TapRow(list, 0);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageW(list, LB_GETSEL, 2, 0), 1);
    EXPECT_EQ(SendMessageW(list, LB_SETSEL, TRUE, -1), LB_OKAY);
    EXPECT_EQ(SendMessageW(list, LB_GETSELCOUNT, 0, 0), 4);
    std::vector<int> codes = Codes(WM_COMMAND, list);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), LBN_SELCHANGE), 3);

    HWND single = List(0, 80, 2);
    EXPECT_EQ(SendMessageW(single, LB_GETSELCOUNT, 0, 0), LB_ERR);
    EXPECT_EQ(SendMessageW(single, LB_SETSEL, TRUE, 0), LB_ERR);
}

TEST_F(ListBoxTest, SelectedItemIsHighlightedAndTheParentColoursTheRest) {
    ParentAnswers().brush = CreateSolidBrush(RGB(0, 255, 0));
    HWND list = List(0, 80);
    Fill(list, {u"a", u"b"});
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    Pump();
    EXPECT_GT(Count(WM_CTLCOLORLISTBOX, list), 0);
    int h = Height(list);
    HDC dc = GetDC(nullptr);
    COLORREF highlight = GetNearestColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(PixelAt(list, 100, h / 2), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(list, 100, h + h / 2), highlight);
    EXPECT_EQ(PixelAt(list, 100, 3 * h), RGB(0, 255, 0));
}

TEST_F(ListBoxTest, ParentMayDestroyTheListWhenTheSelectionChanges) {
    ParentAnswers().destroyOn = WM_COMMAND;
    ParentAnswers().destroyCode = LBN_SELCHANGE;
    HWND list = List(LBS_NOTIFY | WS_VSCROLL, 80);
    for (int i = 0; i < 20; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"item"));
    Down(list, 20, 3);
    Move(list, 20, 200);  // a drag past the end would go on scrolling
    Up(list, 20, 200);
    EXPECT_FALSE(IsWindow(list));
    EXPECT_EQ(GetCapture(), nullptr);
}

// ---- Scrolling sideways ------------------------------------------------------------------

class ListBoxExtentTest : public ListBoxTest {
protected:
    static bool HasHorzBar(HWND list) { return (GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) != 0; }
    // How far the items are scrolled left: where item 0 starts.
    static int Offset(HWND list) {
        RECT r = {};
        SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        return -static_cast<int>(r.left);
    }
    static void Scroll(HWND list, int code) { SendMessageW(list, WM_HSCROLL, MAKEWPARAM(code, 0), 0); }
    static int AveCharWidth(HWND list) {
        HDC dc = GetDC(list);
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(list, dc);
        return tm.tmAveCharWidth;
    }
    static int TextWidth(HWND list, const WCHAR* text) {
        HDC dc = GetDC(list);
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        SelectObject(dc, old);
        ReleaseDC(list, dc);
        return size.cx;
    }
    static constexpr int kWidth = 120;
    // The client width of a bordered list of kWidth without a vertical bar.
    static int Inner() { return kWidth - 2 * GetSystemMetrics(SM_CXBORDER); }
};

TEST_F(ListBoxExtentTest, BarFollowsTheExtentAgainstTheClientWidth) {
    const int v = GetSystemMetrics(SM_CXVSCROLL);
    struct Case {
        const char* what;
        DWORD style;
        int items;       // 20 need the vertical bar
        int extent;      // beyond the client width the list has without any bar
        bool bar;        // the horizontal bar shows
        int maxOffset;   // as far as SB_RIGHT goes
    } cases[] = {
        {"no extent", WS_HSCROLL, 3, -Inner(), false, 0},
        {"as wide as the list", WS_HSCROLL, 3, 0, false, 0},
        {"a pixel wider", WS_HSCROLL, 3, 1, true, 1},
        {"much wider", WS_HSCROLL, 3, 200, true, 200},
        {"without WS_HSCROLL", 0, 3, 200, false, 0},
        {"greyed, not hidden, when it fits", WS_HSCROLL | LBS_DISABLENOSCROLL, 3, -10, true, 0},
        {"greyed bar that can scroll", WS_HSCROLL | LBS_DISABLENOSCROLL, 3, 50, true, 50},
        {"fits only without the vertical bar", WS_HSCROLL | WS_VSCROLL, 20, 0, true, v},
        {"wider than both", WS_HSCROLL | WS_VSCROLL, 20, 200, true, 200 + v},
    };
    int id = 1;
    for (const Case& c : cases) {
        HWND list = List(c.style | LBS_NOINTEGRALHEIGHT, 80, id++, kWidth);
        for (int i = 0; i < c.items; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"item"));
        int extent = Inner() + c.extent;
        SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
        EXPECT_EQ(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0), extent) << c.what;
        EXPECT_EQ(HasHorzBar(list), c.bar) << c.what;
        if (c.bar) {
            EXPECT_EQ(ClientRect(list).bottom, 80 - 2 * GetSystemMetrics(SM_CYBORDER) - GetSystemMetrics(SM_CYHSCROLL))
                << c.what;
        }
        Scroll(list, SB_RIGHT);
        EXPECT_EQ(Offset(list), c.maxOffset) << c.what;
        if (c.bar) {
            EXPECT_EQ(GetScrollPos(list, SB_HORZ), c.maxOffset) << c.what;
        }
        // An item spans the extent, so a selection reaches the list's edge.
        RECT r = {};
        SendMessageW(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
        EXPECT_EQ(r.right, std::max(static_cast<int>(ClientRect(list).right),
                                    (c.style & WS_HSCROLL) ? extent : 0) - c.maxOffset) << c.what;

        // A narrower extent pulls the items back; none hides the bar.
        SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent - 1), 0);
        EXPECT_EQ(Offset(list), std::max(0, c.maxOffset - 1)) << c.what;
        SendMessageW(list, LB_SETHORIZONTALEXTENT, 0, 0);
        EXPECT_EQ(Offset(list), 0) << c.what;
        EXPECT_EQ(HasHorzBar(list), (c.style & LBS_DISABLENOSCROLL) != 0) << c.what;
        DestroyWindow(list);
    }
}

TEST_F(ListBoxExtentTest, PenOnTheBarScrollsByLinePageAndThumb) {
    HWND list = List(WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 80, 1, kWidth);
    Fill(list, {u"alpha", u"beta", u"gamma"});
    const int extent = 400;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, extent, 0);
    ASSERT_TRUE(HasHorzBar(list));
    RECT client = ClientRect(list);
    const int page = client.right, maxOffset = extent - page, line = AveCharWidth(list);
    const int arrow = GetSystemMetrics(SM_CYHSCROLL);
    const int barY = client.bottom + arrow / 2;
    ASSERT_GT(line, 0);
    enum Action { TapLeft, TapRight, TapPageRight, TapPageLeft, Message };
    struct Step {
        Action action;
        int code;  // with Message
        int offset;
    } steps[] = {
        {TapRight, 0, line},
        {TapRight, 0, 2 * line},
        {TapLeft, 0, line},
        {TapLeft, 0, 0},
        {TapLeft, 0, 0},  // already at the left end
        {TapPageRight, 0, page},
        {Message, SB_PAGERIGHT, 2 * page},
        {Message, SB_PAGERIGHT, maxOffset},
        {TapPageLeft, 0, maxOffset - page},
        {Message, SB_LINERIGHT, maxOffset - page + line},
        {Message, SB_RIGHT, maxOffset},
        {Message, SB_LINERIGHT, maxOffset},
        {Message, SB_LEFT, 0},
    };
    int n = 0;
    for (const Step& st : steps) {
        switch (st.action) {
        case TapLeft: Tap(list, 3, barY); break;
        case TapRight: Tap(list, client.right - 3, barY); break;
        // Just inside the arrows: the thumb is never there at these offsets.
        case TapPageRight: Tap(list, client.right - arrow - 3, barY); break;
        case TapPageLeft: Tap(list, arrow + 3, barY); break;
        case Message: Scroll(list, st.code); break;
        }
        EXPECT_EQ(Offset(list), st.offset) << "step " << n;
        EXPECT_EQ(GetScrollPos(list, SB_HORZ), st.offset) << "step " << n;
        ++n;
    }
    // The thumb dragged past the right end, and back to the left one.
    Down(list, arrow + 2, barY);
    Move(list, client.right + 40, barY);
    EXPECT_EQ(Offset(list), maxOffset);
    Up(list, client.right + 40, barY);
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), maxOffset);
    EXPECT_EQ(GetCapture(), nullptr);
    // None of it was a selection.
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
    EXPECT_EQ(Count(WM_COMMAND, list), 0);
}

TEST_F(ListBoxExtentTest, ScrolledItemsArePaintedShiftedAndTapsPickTheRowUnderThePen) {
    HWND list = List(WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, 80, 1, kWidth);
    const WCHAR* longName = u"a long name that does not fit the list at all";
    Fill(list, {u"x", u"y", longName});
    const int extent = TextWidth(list, longName) + 4;
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
    Pump();
    int h = Height(list);
    HDC dc = GetDC(nullptr);
    COLORREF paper = GetNearestColor(dc, GetSysColor(COLOR_WINDOW));
    COLORREF highlight = GetNearestColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    ReleaseDC(nullptr, dc);
    RECT client = ClientRect(list);
    // Text drawn anywhere in a row: a pixel that is not the list's paper.
    auto inked = [&](int row) {
        for (int y = row * h; y < (row + 1) * h; ++y)
            for (int x = 0; x < client.right; ++x)
                if (PixelAt(list, x, y) != paper) return true;
        return false;
    };
    EXPECT_TRUE(inked(0));
    // Scrolled to the right end: the short item has gone off to the left,
    // the long one still shows its end.
    Scroll(list, SB_RIGHT);
    Pump();
    EXPECT_FALSE(inked(0));
    EXPECT_TRUE(inked(2));

    // Taps still pick the row under the pen, and the highlight fills the row.
    struct Tapped {
        int row;
        LRESULT selection;
    } taps[] = {{1, 1}, {2, 2}, {0, 0}, {4, 0} /* below the items */};
    for (const Tapped& t : taps) {
        TapRow(list, t.row);
        EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), t.selection) << "row " << t.row;
        EXPECT_EQ(SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(client.right - 2, t.row * h + 1)),
                  MAKELRESULT(std::min(t.row, 2), t.row > 2 ? 1 : 0)) << "row " << t.row;
    }
    Pump();
    EXPECT_EQ(PixelAt(list, 1, h / 2), highlight);
    EXPECT_EQ(PixelAt(list, client.right - 1, h / 2), highlight);
    EXPECT_EQ(Offset(list), extent - client.right);  // selecting does not scroll sideways
    // A tap on the bar scrolls and does not select.
    Tap(list, 3, client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2);
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_LT(Offset(list), extent - client.right);
    // Emptying the list scrolls back.
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    EXPECT_EQ(GetScrollPos(list, SB_HORZ), 0);
}

TEST_F(ListBoxExtentTest, BarComingAndGoingLeavesTheIntegralHeightAlone) {
    // Items not as high as the bar is thick: each time the bar shows, the
    // client area stops being whole items.
    for (int itemHeight : {11, 17, 20}) {
        HWND list = List(WS_HSCROLL, 100, 1, kWidth);
        Fill(list, {u"a", u"b"});
        SendMessageW(list, LB_SETITEMHEIGHT, 0, itemHeight);
        RECT before = WindowRect(list);
        for (int extent : {400, 0, 400, 0, 400}) SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(extent), 0);
        EXPECT_TRUE(HasHorzBar(list)) << itemHeight;
        SendMessageW(list, LB_SETHORIZONTALEXTENT, 0, 0);
        RECT after = WindowRect(list);
        EXPECT_EQ(after.bottom - after.top, before.bottom - before.top) << itemHeight;
        DestroyWindow(list);
    }
}

}  // namespace
