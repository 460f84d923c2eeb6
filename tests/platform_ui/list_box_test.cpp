// The list box: the item messages and their error results, sorting, taps,
// drags and keys with their notifications, focus notifications, the
// vertical scroll bar (shown only when needed, driven by the pen), owner
// drawing, integral height and multiple selection.
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

}  // namespace
