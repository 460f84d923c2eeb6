// The combo box: its height and dropped height, the item messages passed to
// its list, dropping the list with the pen and picking or cancelling (with
// the notification sequences), the keys, focus notifications for the combo
// box as a whole, typing into an editable one, and the dialog codes that
// give it Enter and Escape while the list is down; the dropped list's width
// and place for short and long items and near the screen's right edge, the
// dropped width messages, and a selected text too long for the field.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls_fixture.h"

using namespace controls_test;

namespace {

class ComboBoxTest : public ControlTest {
protected:
    HWND Combo(DWORD style, int id = 500, int x = 10, int y = 10, int w = 120, int h = 100) {
        HWND c = Make(u"COMBOBOX", style, id, x, y, w, h);
        for (const WCHAR* item : {u"red", u"green", u"blue"})
            SendMessageW(c, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
        Notes().clear();
        return c;
    }
    static HWND ListOf(HWND combo) {
        // The drop-down list is the visible "ComboLBox" window.
        struct Find {
            HWND found = nullptr;
        } f;
        EnumWindows(
            [](HWND h, LPARAM p) {
                WCHAR name[32];
                GetClassNameW(h, name, 32);
                if (std::u16string(name) == u"ComboLBox" && IsWindowVisible(h)) reinterpret_cast<Find*>(p)->found = h;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&f));
        (void)combo;
        return f.found;
    }
    static int ItemHeight(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0)); }
    // Taps item `row` of the dropped list (in screen coordinates).
    void TapItem(HWND combo, int row) {
        HWND list = ListOf(combo);
        ASSERT_NE(list, nullptr);
        POINT p = {20, row * ItemHeight(combo) + ItemHeight(combo) / 2};
        ClientToScreen(list, &p);
        platform::InjectPen(platform::Pen::Down, p.x, p.y);
        Pump();
        platform::InjectPen(platform::Pen::Up, p.x, p.y);
        Pump();
    }
    static std::u16string Field(HWND combo) { return Text(combo); }
};

TEST_F(ComboBoxTest, HeightIsTheFieldsAndTheRestIsForTheList) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    RECT w = WindowRect(combo);
    int field = static_cast<int>(w.bottom - w.top);
    EXPECT_LT(field, 40);
    EXPECT_GE(field, ItemHeight(combo));
    EXPECT_EQ(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0) + 6, field);
    RECT dropped;
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    EXPECT_EQ(dropped.bottom - dropped.top, 100);
    // Moving it with a new height changes the dropped height only.
    MoveWindow(combo, 10, 10, 120, 60, TRUE);
    EXPECT_EQ(WindowRect(combo).bottom - WindowRect(combo).top, field);
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
    EXPECT_EQ(dropped.bottom - dropped.top, 60);
}

TEST_F(ComboBoxTest, ItemMessagesGoToTheList) {
    HWND combo = Combo(CBS_DROPDOWNLIST | CBS_SORT);
    struct Call {
        UINT message;
        WPARAM wParam;
        const WCHAR* text;
        LRESULT result;
    } calls[] = {
        {CB_GETCOUNT, 0, nullptr, 3},
        {CB_ADDSTRING, 0, u"amber", 0},  // sorted
        {CB_FINDSTRING, static_cast<WPARAM>(-1), u"GR", 2},
        {CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"blue", 1},
        {CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), u"blu", CB_ERR},
        {CB_GETCURSEL, 0, nullptr, CB_ERR},
        {CB_SETCURSEL, 3, nullptr, 3},
        {CB_GETCURSEL, 0, nullptr, 3},
        {CB_SETCURSEL, 9, nullptr, CB_ERR},
        {CB_GETLBTEXTLEN, 3, nullptr, 3},
        {CB_GETLBTEXTLEN, 4, nullptr, CB_ERR},
        {CB_SELECTSTRING, static_cast<WPARAM>(-1), u"b", 1},
        {CB_GETCURSEL, 0, nullptr, 1},
        {CB_SETITEMDATA, 2, reinterpret_cast<const WCHAR*>(static_cast<LONG_PTR>(5)), TRUE},
        {CB_GETITEMDATA, 2, nullptr, 5},
        {CB_INSERTSTRING, 0, u"zinc", 0},  // not sorted
        {CB_DELETESTRING, 0, nullptr, 4},
        {CB_DELETESTRING, 7, nullptr, CB_ERR},
        {CB_GETDROPPEDSTATE, 0, nullptr, FALSE},
        {CB_LIMITTEXT, 5, nullptr, CB_ERR},  // a drop-down list has no edit
        {CB_GETEDITSEL, 0, nullptr, CB_ERR},
        {CB_RESETCONTENT, 0, nullptr, CB_OKAY},
        {CB_GETCOUNT, 0, nullptr, 0},
    };
    int step = 0;
    for (const Call& c : calls) {
        EXPECT_EQ(SendMessageW(combo, c.message, c.wParam, reinterpret_cast<LPARAM>(c.text)), c.result)
            << "step " << step << " message 0x" << std::hex << c.message;
        ++step;
    }
    EXPECT_EQ(Count(WM_COMMAND, combo), 0);
}

TEST_F(ComboBoxTest, TappingDropsTheListAndTappingAnItemPicksIt) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    Tap(combo, 40, 8);
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(GetFocus(), combo);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_SETFOCUS, CBN_DROPDOWN}));
    HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    RECT lr = WindowRect(list), cr = WindowRect(combo);
    EXPECT_EQ(lr.top, cr.bottom);  // right below the field
    EXPECT_EQ(lr.left, cr.left);
    // The active window stays the parent's.
    EXPECT_EQ(GetActiveWindow(), parent_);

    Notes().clear();
    TapItem(combo, 2);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(ListOf(combo), nullptr);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Field(combo), u"blue");
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(GetFocus(), combo);
}

TEST_F(ComboBoxTest, TappingElsewhereCancels) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    Tap(combo, 40, 8);
    Notes().clear();
    Tap(parent_, 200, 300);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_SELENDCANCEL, CBN_CLOSEUP}));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Count(WM_LBUTTONDOWN), 0);  // the closing tap goes nowhere else

    // A second tap on the field closes it keeping the choice.
    Tap(combo, 40, 8);
    Notes().clear();
    Tap(combo, 60, 8);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_SELENDOK, CBN_CLOSEUP}));
}

TEST_F(ComboBoxTest, DraggingFromTheFieldIntoTheListPicksWhereThePenLifts) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    Down(combo, 40, 8);
    HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    POINT p = {20, ItemHeight(combo) + 3};
    MapWindowPoints(list, combo, &p, 1);
    Move(combo, p.x, p.y);
    Up(combo, p.x, p.y);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
}

TEST_F(ComboBoxTest, KeysStepThroughTheItemsAndOpenAndCloseTheList) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    SetFocus(combo);
    Pump();
    Notes().clear();
    Key(VK_DOWN);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_SELENDOK, CBN_SELCHANGE}));
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);  // already at the last item: nothing
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
    EXPECT_EQ(Count(WM_COMMAND, combo), 6);
    Type(u"g");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Field(combo), u"green");

    Notes().clear();
    Key(VK_F4);
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    Key(VK_UP);  // moves inside the open list
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    Key(VK_RETURN);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Codes(WM_COMMAND, combo),
              (std::vector<int>{CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK, CBN_CLOSEUP}));
    Notes().clear();
    Key(VK_F4);
    Key(VK_ESCAPE);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(ComboBoxTest, ShowDropDownMessage) {
    HWND combo = Combo(CBS_DROPDOWN);
    EXPECT_TRUE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0));
    EXPECT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);  // already down: nothing more
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_DROPDOWN, CBN_SELENDCANCEL, CBN_CLOSEUP}));
}

TEST_F(ComboBoxTest, FocusIsReportedForTheComboBoxAsAWhole) {
    HWND editable = Combo(CBS_DROPDOWN, 1, 10, 10);
    HWND list = Combo(CBS_DROPDOWNLIST, 2, 10, 50);
    HWND edit = GetWindow(editable, GW_CHILD);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetDlgCtrlID(edit), 1001);
    SetFocus(editable);  // goes on to its edit
    EXPECT_EQ(GetFocus(), edit);
    SetFocus(editable);
    SetFocus(edit);  // inside the same combo box: nothing new
    SetFocus(list);
    SetFocus(editable);
    EXPECT_EQ(Codes(WM_COMMAND, editable), (std::vector<int>{CBN_SETFOCUS, CBN_KILLFOCUS, CBN_SETFOCUS}));
    EXPECT_EQ(Codes(WM_COMMAND, list), (std::vector<int>{CBN_SETFOCUS, CBN_KILLFOCUS}));
    // The edit's own notifications stay inside the combo box.
    EXPECT_EQ(Count(WM_COMMAND, edit), 0);
}

TEST_F(ComboBoxTest, TypingIntoTheEditIsReportedAndSelectingAnItemFillsIt) {
    HWND combo = Combo(CBS_DROPDOWN | CBS_AUTOHSCROLL);
    HWND edit = GetWindow(combo, GW_CHILD);
    SetFocus(combo);
    Pump();
    Notes().clear();
    Type(u"bl");
    EXPECT_EQ(Text(combo), u"bl");
    EXPECT_EQ(Codes(WM_COMMAND, combo),
              (std::vector<int>{CBN_EDITUPDATE, CBN_EDITCHANGE, CBN_EDITUPDATE, CBN_EDITCHANGE}));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), CB_ERR);

    // Choosing an item puts its text in the edit, selected, without edit reports.
    Notes().clear();
    SendMessageW(combo, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(Text(combo), u"green");
    EXPECT_EQ(Sel(edit), std::make_pair(0, 5));
    EXPECT_EQ(Count(WM_COMMAND, combo), 0);
    DWORD a = 0, b = 0;
    SendMessageW(combo, CB_GETEDITSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 5u);
    EXPECT_TRUE(SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(1, 3)));
    EXPECT_EQ(Sel(edit), std::make_pair(1, 3));
    SetWindowTextW(combo, u"typed");
    EXPECT_EQ(Text(edit), u"typed");
    EXPECT_TRUE(SendMessageW(combo, CB_LIMITTEXT, 6, 0));
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(5, 5));
    Type(u"xyz");
    EXPECT_EQ(Text(combo), u"typedx");

    // While the list is down, typing highlights the matching item.
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(combo, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    Type(u"r");
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    // And the arrow keys reach the list through the edit.
    Key(VK_DOWN);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(combo), u"green");
    Key(VK_RETURN);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
}

TEST_F(ComboBoxTest, ClipboardMessagesReachTheEdit) {
    HWND combo = Combo(CBS_DROPDOWN);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    const std::u16string address = u"http://host/dir/";
    HLOCAL block = LocalAlloc(LMEM_FIXED, (address.size() + 1) * sizeof(WCHAR));
    std::copy(address.begin(), address.end(), static_cast<WCHAR*>(block));
    static_cast<WCHAR*>(block)[address.size()] = 0;
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    SetWindowTextW(combo, u"");
    SendMessageW(combo, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(combo), address);
    EXPECT_EQ(Codes(WM_COMMAND, combo), (std::vector<int>{CBN_EDITUPDATE, CBN_EDITCHANGE}));
}

TEST_F(ComboBoxTest, DialogCodesAskForEnterAndEscapeOnlyWhileDropped) {
    HWND combo = Combo(CBS_DROPDOWNLIST);
    HWND editable = Combo(CBS_DROPDOWN, 2, 10, 50);
    HWND edit = GetWindow(editable, GW_CHILD);
    MSG enter = {combo, WM_KEYDOWN, VK_RETURN, 0, 0, {0, 0}};
    EXPECT_EQ(SendMessageW(combo, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)),
              DLGC_WANTARROWS | DLGC_WANTCHARS);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(SendMessageW(combo, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)),
              DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTMESSAGE);
    SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);

    enter.hwnd = edit;
    EXPECT_FALSE(SendMessageW(edit, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTMESSAGE);
    SendMessageW(editable, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_TRUE(SendMessageW(edit, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) & DLGC_WANTMESSAGE);
}

TEST_F(ComboBoxTest, ListOpensUpwardsNearTheBottomOfTheScreen) {
    HWND combo = Combo(CBS_DROPDOWNLIST, 1, 10, 290, 120, 100);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(WindowRect(list).bottom, WindowRect(combo).top);
    // Three items fit: the list is no taller than they are.
    int h = ItemHeight(combo);
    EXPECT_LE(WindowRect(list).bottom - WindowRect(list).top, 3 * h + 2);
}

TEST_F(ComboBoxTest, LongListScrollsInsideTheDroppedHeight) {
    HWND combo = Combo(CBS_DROPDOWNLIST, 1, 10, 10, 120, 80);
    for (int i = 0; i < 20; ++i) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"more"));
    SendMessageW(combo, CB_SETCURSEL, 15, 0);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    HWND list = ListOf(combo);
    ASSERT_NE(list, nullptr);
    RECT field = WindowRect(combo);
    EXPECT_LE(WindowRect(list).bottom - WindowRect(list).top, 80 - (field.bottom - field.top));
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL);
    // The current item is in view.
    int top = static_cast<int>(SendMessageW(combo, CB_GETTOPINDEX, 0, 0));
    EXPECT_LE(top, 15);
    EXPECT_GT(top, 0);
}

TEST_F(ComboBoxTest, ParentMayDestroyTheComboBoxFromItsNotifications) {
    ParentAnswers().destroyOn = WM_COMMAND;
    for (int code : {CBN_DROPDOWN, CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE}) {
        ParentAnswers().destroyCode = code;
        HWND combo = Combo(CBS_DROPDOWN);
        SetFocus(combo);
        Pump();
        Tap(combo, 114, 8);  // the drop-down button
        if (IsWindow(combo)) TapItem(combo, 1);
        EXPECT_FALSE(IsWindow(combo)) << code;
        EXPECT_EQ(GetCapture(), nullptr) << code;
        EXPECT_EQ(ListOf(combo), nullptr) << code;
    }
}

TEST_F(ComboBoxTest, SimpleComboBoxKeepsItsListOpenBelowTheEdit) {
    HWND combo = Combo(CBS_SIMPLE, 1, 10, 10, 120, 120);
    EXPECT_EQ(WindowRect(combo).bottom - WindowRect(combo).top, 120);
    HWND list = GetDlgItem(combo, 1000);
    ASSERT_NE(list, nullptr);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_GE(WindowRect(list).top, WindowRect(GetDlgItem(combo, 1001)).bottom);
    EXPECT_FALSE(SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0) && SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    Notes().clear();
    Tap(list, 20, ItemHeight(combo) + ItemHeight(combo) / 2);
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
    EXPECT_EQ(Text(combo), u"green");
    std::vector<int> codes = Codes(WM_COMMAND, combo);
    ASSERT_GE(codes.size(), 2u);
    EXPECT_EQ(std::vector<int>(codes.end() - 2, codes.end()), (std::vector<int>{CBN_SELENDOK, CBN_SELCHANGE}));
}

// ---- The dropped list's width ------------------------------------------------------------

class ComboWidthTest : public ComboBoxTest {
protected:
    static int TextWidth(const WCHAR* text) {
        HDC dc = GetDC(nullptr);
        HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        SIZE size = {};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        return size.cx;
    }
    static constexpr const WCHAR* kLong = u"Auto landscape mode";
};

TEST_F(ComboWidthTest, DroppedListIsWideEnoughForItsItemsAndStaysOnTheScreen) {
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    const int bar = GetSystemMetrics(SM_CXVSCROLL);
    // The list's text margins (two pixels each side) and its border.
    const int needed = TextWidth(kLong) + 4 + 2 * GetSystemMetrics(SM_CXBORDER);
    ASSERT_GT(needed, 60);
    struct Case {
        const char* what;
        int x, w;
        int extraItems;     // kLong, this many times
        int droppedWidth;   // CB_SETDROPPEDWIDTH (0: none)
        int width, left;    // of the dropped list; left -1: the combo box's
    } cases[] = {
        {"short items", 10, 120, 0, 0, 120, -1},
        {"a long item", 10, 60, 1, 0, needed, -1},
        {"long item near the right edge", screen - 70, 60, 1, 0, needed, screen - needed},
        {"long items with a vertical bar", 10, 60, 20, 0, needed + bar, -1},
        {"a long item in a wide combo box", 10, needed + 30, 1, 0, needed + 30, -1},
        {"dropped width asked for", 10, 60, 0, 150, 150, -1},
        {"dropped width near the right edge", screen - 70, 60, 0, 150, 150, screen - 150},
        {"dropped width wider than the screen", 10, 60, 0, screen + 50, screen, 0},
    };
    int id = 1;
    for (const Case& c : cases) {
        HWND combo = Combo(CBS_DROPDOWNLIST, id++, c.x, 10, c.w, 100);
        for (int i = 0; i < c.extraItems; ++i) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kLong));
        if (c.droppedWidth) SendMessageW(combo, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(c.droppedWidth), 0);
        SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
        HWND list = ListOf(combo);
        ASSERT_NE(list, nullptr) << c.what;
        RECT r = WindowRect(list);
        EXPECT_EQ(r.right - r.left, c.width) << c.what;
        EXPECT_EQ(r.left, c.left < 0 ? c.x : c.left) << c.what;
        EXPECT_EQ(r.top, WindowRect(combo).bottom) << c.what;
        EXPECT_LE(r.right, screen) << c.what;
        // The long item fits the list's client area, bar or not.
        if (c.extraItems) {
            EXPECT_GE(ClientRect(list).right, TextWidth(kLong) + 4) << c.what;
        }
        SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
        DestroyWindow(combo);
    }
}

TEST_F(ComboWidthTest, DroppedWidthMessages) {
    HWND combo = Combo(CBS_DROPDOWNLIST, 1, 10, 10, 120, 100);
    HWND simple = Combo(CBS_SIMPLE, 2, 10, 150, 120, 100);
    struct Call {
        HWND combo;
        UINT message;
        WPARAM wParam;
        LRESULT result;
    } calls[] = {
        {combo, CB_GETDROPPEDWIDTH, 0, 120},  // never narrower than the combo box
        {combo, CB_SETDROPPEDWIDTH, 50, 120},
        {combo, CB_GETDROPPEDWIDTH, 0, 120},
        {combo, CB_SETDROPPEDWIDTH, 200, 200},
        {combo, CB_GETDROPPEDWIDTH, 0, 200},
        {combo, CB_SETDROPPEDWIDTH, 0, 120},
        {simple, CB_SETDROPPEDWIDTH, 200, CB_ERR},  // its list never drops
    };
    int step = 0;
    for (const Call& c : calls) {
        EXPECT_EQ(SendMessageW(c.combo, c.message, c.wParam, 0), c.result) << "step " << step;
        ++step;
    }
}

TEST_F(ComboWidthTest, SelectedTextTooLongForTheFieldEndsInAnEllipsis) {
    // A combo box whose field is narrower than the text: what shows last
    // must be the dots of an ellipsis, sitting on the baseline, and not a
    // letter cut in two at the drop-down button.
    HWND combo = Combo(CBS_DROPDOWNLIST, 1, 10, 10, 70, 100);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kLong));
    SendMessageW(combo, CB_SETCURSEL, 3, 0);
    UpdateWindow(combo);
    RECT c = ClientRect(combo);
    const int buttonLeft = c.right - 1 - GetSystemMetrics(SM_CXVSCROLL);
    HDC dc = GetDC(nullptr);
    COLORREF paper = GetNearestColor(dc, GetSysColor(COLOR_WINDOW));
    ReleaseDC(nullptr, dc);
    auto ink = [&](int x, int y) { return PixelAt(combo, x, y) != paper; };
    // The rows the first letter ("A", a capital on the baseline) covers.
    int capTop = -1, baseline = -1, firstColumn = -1;
    for (int x = 2; x < buttonLeft && firstColumn < 0; ++x)
        for (int y = 2; y < c.bottom - 2; ++y)
            if (ink(x, y)) firstColumn = x;
    ASSERT_GE(firstColumn, 0);
    for (int x = firstColumn; x < firstColumn + 4; ++x)
        for (int y = 2; y < c.bottom - 2; ++y)
            if (ink(x, y)) {
                if (capTop < 0 || y < capTop) capTop = y;
                baseline = std::max(baseline, y);
            }
    // The last column with ink before the button.
    int lastColumn = -1;
    for (int x = buttonLeft - 1; x > firstColumn && lastColumn < 0; --x)
        for (int y = 2; y < c.bottom - 2; ++y)
            if (ink(x, y)) lastColumn = x;
    ASSERT_GT(lastColumn, firstColumn);
    EXPECT_LT(lastColumn, buttonLeft - 2);  // the text stops short of the button
    for (int y = 2; y < c.bottom - 2; ++y)
        if (ink(lastColumn, y)) {
            EXPECT_GT(y, (capTop + baseline) / 2) << "ink above the dots at row " << y;
        }
}

}  // namespace
