// The tab control: items, the selection and what a tap on a tab tells the
// parent, tabs at the bottom, the display area, and tabs that scroll.
#include <gtest/gtest.h>

#include "bars_fixture.h"

using namespace bars_test;

namespace {

class TabControlTest : public BarsTest {
protected:
    HWND Make(DWORD style, std::initializer_list<const char16_t*> titles, int w = 220, int h = 150) {
        HWND tc = Control(WC_TABCONTROLW, style, 10, 30, w, h, 12320);
        EXPECT_NE(tc, nullptr);
        int i = 0;
        for (const char16_t* title : titles) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT | TCIF_PARAM;
            item.pszText = const_cast<LPWSTR>(title);
            item.lParam = 1000 + i;
            EXPECT_EQ(TabCtrl_InsertItem(tc, i, &item), i);
            ++i;
        }
        Pump();
        Take();
        return tc;
    }
    static void TapTab(HWND tc, int index) {
        RECT r;
        ASSERT_TRUE(TabCtrl_GetItemRect(tc, index, &r));
        Tap(tc, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    static std::vector<UINT> Codes() {
        std::vector<UINT> out;
        for (const Event& e : Take())
            if (e.message == WM_NOTIFY) out.push_back(e.code);
        return out;
    }
};

TEST_F(TabControlTest, ItemsAndSelection) {
    HWND tc = Make(0, {u"General", u"Slides", u"Thumbnails"});
    EXPECT_EQ(TabCtrl_GetItemCount(tc), 3);
    EXPECT_EQ(TabCtrl_GetCurSel(tc), 0);  // the first tab is selected once there is one

    WCHAR text[32];
    TCITEMW item = {};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = text;
    item.cchTextMax = 32;
    ASSERT_TRUE(SendMessageW(tc, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(std::u16string(text), u"Slides");
    EXPECT_EQ(item.lParam, 1001);
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(u"Slide show");
    ASSERT_TRUE(SendMessageW(tc, TCM_SETITEMW, 1, reinterpret_cast<LPARAM>(&item)));
    item.pszText = text;
    SendMessageW(tc, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::u16string(text), u"Slide show");
    EXPECT_FALSE(SendMessageW(tc, TCM_GETITEMW, 3, reinterpret_cast<LPARAM>(&item)));

    // TCM_SETCURSEL returns the old selection and tells nobody.
    EXPECT_EQ(TabCtrl_SetCurSel(tc, 2), 0);
    EXPECT_EQ(TabCtrl_SetCurSel(tc, 7), -1);
    EXPECT_EQ(TabCtrl_GetCurSel(tc), 2);
    EXPECT_TRUE(Codes().empty());

    // Deleting tabs moves the selection with them.
    struct Row {
        int deleted;
        bool done;
        int selected;
        int count;
    } rows[] = {{0, true, 1, 2}, {1, true, -1, 1}, {5, false, -1, 1}};
    for (const Row& r : rows) {
        EXPECT_EQ(TabCtrl_DeleteItem(tc, r.deleted) != 0, r.done) << r.deleted;
        EXPECT_EQ(TabCtrl_GetCurSel(tc), r.selected) << r.deleted;
        EXPECT_EQ(TabCtrl_GetItemCount(tc), r.count) << r.deleted;
    }
}

TEST_F(TabControlTest, TapAsksThenChangesTheSelection) {
    HWND tc = Make(0, {u"One", u"Two", u"Three"});
    TapTab(tc, 2);
    EXPECT_EQ(TabCtrl_GetCurSel(tc), 2);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE}));
    // A tap on the selected tab changes nothing.
    TapTab(tc, 2);
    EXPECT_TRUE(Codes().empty());
    // The parent may refuse.
    RefuseTabChange() = TRUE;
    TapTab(tc, 0);
    EXPECT_EQ(TabCtrl_GetCurSel(tc), 2);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_SELCHANGING}));
    RefuseTabChange() = FALSE;
    // The arrow keys move the selection the same way.
    SetFocus(tc);
    Key(VK_LEFT);
    EXPECT_EQ(TabCtrl_GetCurSel(tc), 1);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TCN_KEYDOWN, TCN_SELCHANGING, TCN_SELCHANGE}));
}

TEST_F(TabControlTest, TabsAtTheTopOrTheBottom) {
    for (DWORD style : {DWORD{0}, DWORD{TCS_BOTTOM}}) {
        HWND tc = Make(style, {u"General", u"Slides"});
        RECT client, tab, display;
        GetClientRect(tc, &client);
        TabCtrl_GetItemRect(tc, 0, &tab);
        display = client;
        TabCtrl_AdjustRect(tc, FALSE, &display);
        if (style & TCS_BOTTOM) {
            EXPECT_EQ(tab.bottom, client.bottom);
            EXPECT_LE(display.bottom, tab.top);
            EXPECT_LT(display.top, 5);
        } else {
            EXPECT_EQ(tab.top, 0);
            EXPECT_GE(display.top, tab.bottom);
            EXPECT_GT(display.bottom, client.bottom - 5);
        }
        // The display area and the control around it convert both ways.
        RECT back = display;
        TabCtrl_AdjustRect(tc, TRUE, &back);
        EXPECT_TRUE(EqualRect(&back, &client)) << style;
        // A tap lands on the tab where it is drawn.
        TapTab(tc, 1);
        EXPECT_EQ(TabCtrl_GetCurSel(tc), 1) << style;
        DestroyWindow(tc);
        Take();
    }
}

TEST_F(TabControlTest, TabsThatDoNotFitScroll) {
    HWND tc = Make(0, {u"General", u"Slides", u"Thumbnails", u"Associations", u"Cleaner", u"More"}, 150, 100);
    RECT client, last;
    GetClientRect(tc, &client);
    TabCtrl_GetItemRect(tc, 5, &last);
    EXPECT_GT(last.right, client.right);
    // Selecting a tab brings it into view.
    TabCtrl_SetCurSel(tc, 5);
    TabCtrl_GetItemRect(tc, 5, &last);
    EXPECT_LE(last.right, client.right);
    RECT first;
    TabCtrl_GetItemRect(tc, 0, &first);
    EXPECT_LT(first.left, 0);
    // The tab under the pen is the one selected.
    TCHITTESTINFO hit = {{(last.left + last.right) / 2, (last.top + last.bottom) / 2}, 0};
    EXPECT_EQ(SendMessageW(tc, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), 5);
    EXPECT_EQ(hit.flags, static_cast<UINT>(TCHT_ONITEMLABEL));
}

}  // namespace
