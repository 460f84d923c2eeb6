// The list view: columns, items and sub-items, callbacks, sorting, searching,
// hit testing in every mode, selection and notifications from the pen and
// the keys (taps, the header, tap-and-hold, double taps), scrolling, image
// lists and what the control draws.
#include <algorithm>
#include <iterator>
#include <random>

#include "list_tree_fixture.h"

namespace list_tree_test {
namespace {

// Longer than the hold time (a pen held this long without moving is a hold).
constexpr DWORD kHoldWait = 450;

class ListViewTest : public ListTreeTest {
protected:
    HWND List(DWORD style, int items = 0, int w = 200, int h = 200) {
        HWND lv = Make(WC_LISTVIEWW, style, 10, 10, w, h);
        const WCHAR* names[] = {u"Name", u"Size", u"Type"};
        const int widths[] = {80, 60, 50};
        for (int c = 0; c < 3; ++c) {
            LVCOLUMNW col = {};
            col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
            col.fmt = c == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
            col.cx = widths[c];
            col.pszText = const_cast<LPWSTR>(names[c]);
            col.iSubItem = c;
            EXPECT_EQ(ListView_InsertColumn(lv, c, &col), c);
        }
        for (int i = 0; i < items; ++i) {
            std::u16string name = u"Item " + Number(i);
            Insert(lv, i, name, i * 10);
            std::u16string size = Number(i) + u" KB";
            ListView_SetItemText(lv, i, 1, const_cast<LPWSTR>(size.c_str()));
        }
        Pump();
        Notes().clear();
        return lv;
    }
    static std::u16string Number(int n) {
        std::string s = std::to_string(n);
        return std::u16string(s.begin(), s.end());
    }
    static int Insert(HWND lv, int index, const std::u16string& text, LPARAM param, UINT state = 0) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | (state ? LVIF_STATE : 0);
        item.iItem = index;
        item.pszText = const_cast<LPWSTR>(text.c_str());
        item.lParam = param;
        item.state = state;
        item.stateMask = state;
        return ListView_InsertItem(lv, &item);
    }
    static std::u16string Text(HWND lv, int i, int sub = 0) {
        WCHAR buffer[64] = {};
        ListView_GetItemText(lv, i, sub, buffer, 64);
        return buffer;
    }
    static LPARAM Param(HWND lv, int i) {
        LVITEMW item = {};
        item.mask = LVIF_PARAM;
        item.iItem = i;
        EXPECT_TRUE(ListView_GetItem(lv, &item));
        return item.lParam;
    }
    static RECT Rect(HWND lv, int i, int code) {
        RECT r = {};
        EXPECT_TRUE(ListView_GetItemRect(lv, i, &r, code));
        return r;
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    static LVHITTESTINFO Hit(HWND lv, POINT p, bool sub = false) {
        LVHITTESTINFO info = {};
        info.pt = p;
        int item = sub ? ListView_SubItemHitTest(lv, &info) : ListView_HitTest(lv, &info);
        EXPECT_EQ(item, info.iItem);
        return info;
    }
    static std::vector<int> Selected(HWND lv) {
        std::vector<int> out;
        for (int i = ListView_GetNextItem(lv, -1, LVNI_SELECTED); i >= 0; i = ListView_GetNextItem(lv, i, LVNI_SELECTED))
            out.push_back(i);
        return out;
    }
};

// ---- Classes ------------------------------------------------------------------------------

TEST_F(ListViewTest, ClassesComeFromInitCommonControlsAndDialogTemplates) {
    INITCOMMONCONTROLSEX bad = {sizeof(bad) + 1, ICC_LISTVIEW_CLASSES};
    EXPECT_FALSE(InitCommonControlsEx(&bad));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
    WNDCLASSW wc;
    EXPECT_TRUE(GetClassInfoW(nullptr, WC_LISTVIEWW, &wc));
    EXPECT_TRUE(GetClassInfoW(nullptr, WC_TREEVIEWW, &wc));
    // The layer's classes cannot be registered over by a program.
    wc.lpszClassName = WC_LISTVIEWW;
    wc.hInstance = nullptr;
    wc.style = 0;
    EXPECT_EQ(RegisterClassW(&wc), 0);
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_LT_DIALOG), parent_, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(IsClass(GetDlgItem(dialog, IDC_LT_LIST), WC_LISTVIEWW));
    EXPECT_TRUE(IsClass(GetDlgItem(dialog, IDC_LT_TREE), WC_TREEVIEWW));
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, IDC_LT_LIST), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    DestroyWindow(dialog);
}

// ---- Columns -----------------------------------------------------------------------------

TEST_F(ListViewTest, ColumnsKeepTextWidthFormatAndOrder) {
    HWND lv = List(LVS_REPORT, 2);
    WCHAR text[16];
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM | LVCF_ORDER;
    col.pszText = text;
    col.cchTextMax = 16;
    ASSERT_TRUE(ListView_GetColumn(lv, 1, &col));
    EXPECT_EQ(std::u16string(text), u"Size");
    EXPECT_EQ(col.cx, 60);
    EXPECT_EQ(col.fmt, LVCFMT_RIGHT);
    EXPECT_EQ(col.iSubItem, 1);
    EXPECT_EQ(col.iOrder, 1);
    EXPECT_FALSE(ListView_GetColumn(lv, 3, &col));

    EXPECT_TRUE(ListView_SetColumnWidth(lv, 0, 70));
    EXPECT_EQ(ListView_GetColumnWidth(lv, 0), 70);
    // The last column with LVSCW_AUTOSIZE_USEHEADER takes the rest of the width.
    EXPECT_TRUE(ListView_SetColumnWidth(lv, 2, LVSCW_AUTOSIZE_USEHEADER));
    RECT client;
    GetClientRect(lv, &client);
    EXPECT_EQ(ListView_GetColumnWidth(lv, 2), client.right - 70 - 60);
    // LVSCW_AUTOSIZE fits the widest text: wider than the text of any item.
    EXPECT_TRUE(ListView_SetColumnWidth(lv, 0, LVSCW_AUTOSIZE));
    EXPECT_GT(ListView_GetColumnWidth(lv, 0), ListView_GetStringWidth(lv, u"Item 1"));

    int order[3] = {2, 0, 1};
    EXPECT_TRUE(ListView_SetColumnOrderArray(lv, 3, order));
    int back[3] = {};
    EXPECT_TRUE(ListView_GetColumnOrderArray(lv, 3, back));
    EXPECT_TRUE(std::equal(order, order + 3, back));
    int bad[3] = {0, 0, 1};
    EXPECT_FALSE(ListView_SetColumnOrderArray(lv, 3, bad));
}

TEST_F(ListViewTest, SubItemsFollowInsertedAndDeletedColumns) {
    HWND lv = List(LVS_REPORT, 2);
    ListView_SetItemText(lv, 0, 2, const_cast<LPWSTR>(u"Doc"));
    EXPECT_EQ(Text(lv, 0, 1), u"0 KB");
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.pszText = const_cast<LPWSTR>(u"Date");
    col.cx = 40;
    ASSERT_EQ(ListView_InsertColumn(lv, 1, &col), 1);
    EXPECT_EQ(Text(lv, 0, 0), u"Item 0");
    EXPECT_EQ(Text(lv, 0, 1), u"");
    EXPECT_EQ(Text(lv, 0, 2), u"0 KB");
    EXPECT_EQ(Text(lv, 0, 3), u"Doc");
    ASSERT_TRUE(ListView_DeleteColumn(lv, 2));
    EXPECT_EQ(Text(lv, 0, 2), u"Doc");
    EXPECT_FALSE(ListView_DeleteColumn(lv, 7));
}

// ---- Items ---------------------------------------------------------------------------------

TEST_F(ListViewTest, ItemsKeepTheirFieldsAndCutTextToTheBuffer) {
    HWND lv = List(LVS_REPORT);
    EXPECT_EQ(Insert(lv, 5, u"last", 7), 0);  // an index past the end appends
    EXPECT_EQ(Insert(lv, 0, u"first", 8), 0);
    EXPECT_EQ(Insert(lv, -3, u"clamped", 9), 0);
    EXPECT_EQ(ListView_GetItemCount(lv), 3);
    EXPECT_EQ(Text(lv, 0), u"clamped");
    EXPECT_EQ(Text(lv, 2), u"last");
    EXPECT_EQ(Param(lv, 1), 8);

    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT;
    item.iItem = 1;
    item.pszText = const_cast<LPWSTR>(u"renamed");
    item.iImage = 4;
    item.iIndent = 2;
    ASSERT_TRUE(ListView_SetItem(lv, &item));
    WCHAR small[4];
    item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT;
    item.iItem = 1;
    item.pszText = small;
    item.cchTextMax = 4;
    ASSERT_TRUE(ListView_GetItem(lv, &item));
    EXPECT_EQ(std::u16string(small), u"ren");
    EXPECT_EQ(item.iImage, 4);
    EXPECT_EQ(item.iIndent, 2);
    LVITEMW textOnly = {};
    textOnly.iSubItem = 0;
    textOnly.pszText = small;
    textOnly.cchTextMax = 4;
    EXPECT_EQ(SendMessageW(lv, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&textOnly)), 3);

    // One change of the item's own fields is announced once, naming them.
    auto changed = Only(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].item, 1);
    EXPECT_EQ(changed[0].changed, static_cast<UINT>(LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT));

    item.iItem = 3;
    EXPECT_FALSE(ListView_GetItem(lv, &item));
    LVITEMW sub = {};
    sub.mask = LVIF_TEXT;
    sub.iSubItem = 1;
    EXPECT_EQ(ListView_InsertItem(lv, &sub), -1);  // sub-items are not inserted
}

TEST_F(ListViewTest, CallbackTextIsAskedForAndCanBeStored) {
    HWND lv = List(LVS_REPORT);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.pszText = LPSTR_TEXTCALLBACKW;
    item.lParam = 42;
    ASSERT_EQ(ListView_InsertItem(lv, &item), 0);
    int asked = 0;
    Answer() = [&](NMHDR* h) -> LRESULT {
        if (h->code != LVN_GETDISPINFOW) return 0;
        auto* d = reinterpret_cast<NMLVDISPINFOW*>(h);
        ++asked;
        std::u16string text = d->item.iSubItem == 0 ? u"asked" : u"sub";
        lstrcpynW(d->item.pszText, text.c_str(), d->item.cchTextMax);
        if (d->item.iSubItem == 2) d->item.mask |= LVIF_DI_SETITEM;
        return 0;
    };
    EXPECT_EQ(Text(lv, 0), u"asked");
    auto d = Only(LVN_GETDISPINFOW);
    ASSERT_FALSE(d.empty());
    EXPECT_EQ(d[0].item, 0);
    EXPECT_EQ(d[0].lParam, 42);
    EXPECT_TRUE(d[0].mask & LVIF_TEXT);
    // Sub-items that were never set are asked for as well; one that the
    // parent stores is not asked for again.
    EXPECT_EQ(Text(lv, 0, 2), u"sub");
    int before = asked;
    EXPECT_EQ(Text(lv, 0, 2), u"sub");
    EXPECT_EQ(asked, before);
}

TEST_F(ListViewTest, SortedStylesPlaceNewItemsByText) {
    struct Case {
        DWORD style;
        std::vector<std::u16string> expected;
    };
    const Case cases[] = {
        {LVS_SORTASCENDING, {u"apple", u"Banana", u"cherry"}},
        {LVS_SORTDESCENDING, {u"cherry", u"Banana", u"apple"}},
    };
    for (const Case& c : cases) {
        HWND lv = List(LVS_REPORT | c.style);
        for (const WCHAR* t : {u"cherry", u"apple", u"Banana"}) Insert(lv, 0, t, 0);
        for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(Text(lv, static_cast<int>(i)), c.expected[i]);
        DestroyWindow(lv);
    }
}

TEST_F(ListViewTest, OwnerDataListsAskForEveryText) {
    HWND lv = List(LVS_REPORT | LVS_OWNERDATA);
    ListView_SetItemCount(lv, 5000);
    EXPECT_EQ(ListView_GetItemCount(lv), 5000);
    Answer() = [](NMHDR* h) -> LRESULT {
        if (h->code == LVN_GETDISPINFOW) {
            auto* d = reinterpret_cast<NMLVDISPINFOW*>(h);
            if (d->item.mask & LVIF_TEXT) {
                std::u16string text = u"row " + Number(d->item.iItem) + u"." + Number(d->item.iSubItem);
                lstrcpynW(d->item.pszText, text.c_str(), d->item.cchTextMax);
            }
        }
        return 0;
    };
    EXPECT_EQ(Text(lv, 4321, 2), u"row 4321.2");
    ListView_SetItemState(lv, 4999, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_EQ(Selected(lv), std::vector<int>{4999});
    ListView_EnsureVisible(lv, 4999, FALSE);
    EXPECT_EQ(ListView_GetTopIndex(lv), 5000 - ListView_GetCountPerPage(lv));
    UpdateWindow(lv);
    // Painting asked for the rows on the screen only.
    for (const Note& n : Only(LVN_GETDISPINFOW)) EXPECT_TRUE(n.item == 4321 || n.item >= ListView_GetTopIndex(lv));
    ListView_SetItemCount(lv, 10);
    EXPECT_EQ(ListView_GetNextItem(lv, -1, LVNI_FOCUSED), -1);
    EXPECT_EQ(ListView_GetTopIndex(lv), 0);
}

// ---- Sorting ---------------------------------------------------------------------------------

int CALLBACK ByParam(LPARAM a, LPARAM b, LPARAM direction) {
    return static_cast<int>(direction * (a < b ? -1 : a > b ? 1 : 0));
}

TEST_F(ListViewTest, SortItemsOrdersByParamAndStatesTravelWithItems) {
    HWND lv = List(LVS_REPORT);
    const LPARAM params[] = {30, 10, 50, 20, 40};
    for (int i = 0; i < 5; ++i) Insert(lv, i, u"p" + Number(static_cast<int>(params[i])), params[i]);
    ListView_SetItemText(lv, 2, 1, const_cast<LPWSTR>(u"fifty"));
    ListView_SetItemState(lv, 2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    struct Case {
        LPARAM direction;
        std::vector<LPARAM> order;
    };
    const Case cases[] = {{1, {10, 20, 30, 40, 50}}, {-1, {50, 40, 30, 20, 10}}};
    for (const Case& c : cases) {
        ASSERT_TRUE(ListView_SortItems(lv, ByParam, c.direction));
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(Param(lv, i), c.order[static_cast<size_t>(i)]);
            EXPECT_EQ(Text(lv, i), u"p" + Number(static_cast<int>(c.order[static_cast<size_t>(i)])));
        }
        int fifty = static_cast<int>(std::find(c.order.begin(), c.order.end(), 50) - c.order.begin());
        EXPECT_EQ(ListView_GetNextItem(lv, -1, LVNI_FOCUSED), fifty);
        EXPECT_EQ(Selected(lv), std::vector<int>{fifty});
        EXPECT_EQ(Text(lv, fifty, 1), u"fifty");
    }
    EXPECT_FALSE(ListView_SortItems(lv, nullptr, 0));
}

int CALLBACK Erratic(LPARAM, LPARAM, LPARAM seed) {
    static std::mt19937 random(static_cast<unsigned>(seed));
    return static_cast<int>(random() % 3) - 1;
}

TEST_F(ListViewTest, SortWithAnInconsistentComparisonKeepsEveryItem) {
    HWND lv = List(LVS_REPORT);
    for (int i = 0; i < 40; ++i) Insert(lv, i, Number(i), i);
    ASSERT_TRUE(ListView_SortItems(lv, Erratic, 7));
    std::vector<LPARAM> seen;
    for (int i = 0; i < 40; ++i) seen.push_back(Param(lv, i));
    std::sort(seen.begin(), seen.end());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

// ---- Searching ----------------------------------------------------------------------------

TEST_F(ListViewTest, FindItemByParamStringPrefixAndWrap) {
    HWND lv = List(LVS_REPORT);
    const WCHAR* names[] = {u"alpha", u"beta", u"Alphabet", u"gamma"};
    for (int i = 0; i < 4; ++i) Insert(lv, i, names[i], 100 + i);
    struct Case {
        UINT flags;
        const WCHAR* text;
        LPARAM param;
        int start;
        int expected;
    };
    const Case cases[] = {
        {LVFI_PARAM, nullptr, 102, -1, 2},
        {LVFI_PARAM, nullptr, 999, -1, -1},
        {LVFI_STRING, u"ALPHA", 0, -1, 0},
        {LVFI_STRING, u"alph", 0, -1, -1},
        {LVFI_PARTIAL | LVFI_STRING, u"alph", 0, -1, 0},
        {LVFI_PARTIAL | LVFI_STRING, u"alph", 0, 0, 2},
        {LVFI_PARTIAL | LVFI_STRING, u"alph", 0, 2, -1},
        {LVFI_PARTIAL | LVFI_STRING | LVFI_WRAP, u"alph", 0, 2, 0},
        {LVFI_STRING, u"gamma", 0, 3, -1},
    };
    for (const Case& c : cases) {
        LVFINDINFOW find = {};
        find.flags = c.flags;
        find.psz = c.text;
        find.lParam = c.param;
        EXPECT_EQ(ListView_FindItem(lv, c.start, &find), c.expected) << c.flags << " from " << c.start;
    }
}

TEST_F(ListViewTest, GetNextItemFiltersByStateAndDirection) {
    HWND lv = List(LVS_REPORT, 6);
    ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(lv, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    struct Case {
        int start;
        UINT flags;
        int expected;
    };
    const Case cases[] = {
        {-1, LVNI_ALL, 0}, {2, LVNI_ALL, 3},       {5, LVNI_ALL, -1},
        {-1, LVNI_SELECTED, 1}, {1, LVNI_SELECTED, 4}, {4, LVNI_SELECTED, -1},
        {-1, LVNI_FOCUSED, 4},  {-1, LVNI_SELECTED | LVNI_FOCUSED, 4},
        {2, LVNI_BELOW, 3},     {2, LVNI_ABOVE, 1}, {0, LVNI_ABOVE, -1},
        {2, LVNI_BELOW | LVNI_SELECTED, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListView_GetNextItem(lv, c.start, c.flags), c.expected) << c.start << " " << c.flags;
    EXPECT_EQ(ListView_GetSelectedCount(lv), 2u);
}

// ---- Geometry and hit testing --------------------------------------------------------------

TEST_F(ListViewTest, ReportRowsStackBelowTheHeader) {
    HWND lv = List(LVS_REPORT, 3);
    RECT r0 = Rect(lv, 0, LVIR_BOUNDS), r1 = Rect(lv, 1, LVIR_BOUNDS);
    EXPECT_GT(r0.top, 0);  // under the header
    EXPECT_EQ(r1.top, r0.bottom);
    EXPECT_EQ(r0.left, 0);
    EXPECT_EQ(r0.right, 80 + 60 + 50);
    RECT label = Rect(lv, 0, LVIR_LABEL);
    EXPECT_EQ(label.right, 80);
    RECT sub = {};
    ASSERT_TRUE(ListView_GetSubItemRect(lv, 0, 2, LVIR_BOUNDS, &sub));
    EXPECT_EQ(sub.left, 140);
    EXPECT_EQ(sub.right, 190);

    HWND plain = List(LVS_REPORT | LVS_NOCOLUMNHEADER, 1);
    EXPECT_EQ(Rect(plain, 0, LVIR_BOUNDS).top, 0);
}

TEST_F(ListViewTest, HitTestInReportMode) {
    HWND lv = List(LVS_REPORT, 5);
    RECT row2 = Rect(lv, 2, LVIR_BOUNDS);
    RECT label2 = Rect(lv, 2, LVIR_LABEL);
    int y = (row2.top + row2.bottom) / 2;
    RECT client;
    GetClientRect(lv, &client);
    struct Case {
        POINT p;
        DWORD exStyle;
        bool sub;
        int item;
        int subItem;
        UINT flags;
    };
    const Case cases[] = {
        {{label2.left + 5, y}, 0, false, 2, 0, LVHT_ONITEMLABEL},
        {{100, y}, 0, false, -1, 0, LVHT_NOWHERE},  // a sub-item without full-row select
        {{100, y}, LVS_EX_FULLROWSELECT, false, 2, 0, LVHT_ONITEM},
        {{100, y}, 0, true, 2, 1, LVHT_ONITEMLABEL},
        {{150, y}, 0, true, 2, 2, LVHT_ONITEMLABEL},
        {{195, y}, LVS_EX_FULLROWSELECT, false, -1, 0, LVHT_NOWHERE},  // right of the columns
        {{20, Rect(lv, 4, LVIR_BOUNDS).bottom + 3}, 0, false, -1, 0, LVHT_NOWHERE},
        {{20, 2}, 0, false, -1, 0, LVHT_NOWHERE},  // the header
        {{20, -5}, 0, false, -1, 0, LVHT_ABOVE},
        {{20, client.bottom + 5}, 0, false, -1, 0, LVHT_BELOW},
        {{-5, y}, 0, false, -1, 0, LVHT_TOLEFT},
        {{client.right + 5, -5}, 0, false, -1, 0, LVHT_TORIGHT | LVHT_ABOVE},
    };
    for (const Case& c : cases) {
        ListView_SetExtendedListViewStyle(lv, c.exStyle);
        LVHITTESTINFO h = Hit(lv, c.p, c.sub);
        EXPECT_EQ(h.iItem, c.item) << c.p.x << "," << c.p.y;
        EXPECT_EQ(h.flags, c.flags) << c.p.x << "," << c.p.y;
        if (c.sub) {
            EXPECT_EQ(h.iSubItem, c.subItem) << c.p.x << "," << c.p.y;
        }
    }
}

TEST_F(ListViewTest, HitTestFindsWhatGetItemRectReportsInEveryMode) {
    HIMAGELIST small = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 1, 1);
    HIMAGELIST large = ImageList_Create(32, 32, ILC_COLOR | ILC_MASK, 1, 1);
    for (DWORD mode : {LVS_REPORT, LVS_LIST, LVS_SMALLICON, LVS_ICON}) {
        HWND lv = List(mode | LVS_SHAREIMAGELISTS, 60);
        ListView_SetImageList(lv, small, LVSIL_SMALL);
        ListView_SetImageList(lv, large, LVSIL_NORMAL);
        // Scrolled away from the start, so positions depend on the scroll too.
        ListView_EnsureVisible(lv, 59, FALSE);
        RECT client;
        GetClientRect(lv, &client);
        int checked = 0;
        for (int i = 0; i < 60; ++i) {
            RECT label = Rect(lv, i, LVIR_LABEL), icon = Rect(lv, i, LVIR_ICON);
            POINT c = Centre(label);
            if (!PtInRect(&client, c) || c.x >= client.right - 14 || c.y >= client.bottom - 14) continue;
            if (mode == LVS_REPORT && c.y < Rect(lv, ListView_GetTopIndex(lv), LVIR_BOUNDS).top) continue;
            LVHITTESTINFO h = Hit(lv, c);
            EXPECT_EQ(h.iItem, i) << "mode " << mode;
            EXPECT_EQ(h.flags, static_cast<UINT>(LVHT_ONITEMLABEL)) << "mode " << mode;
            h = Hit(lv, Centre(icon));
            EXPECT_EQ(h.iItem, i) << "mode " << mode;
            EXPECT_EQ(h.flags, static_cast<UINT>(LVHT_ONITEMICON)) << "mode " << mode;
            ++checked;
        }
        EXPECT_GT(checked, 3) << "mode " << mode;
        // The last item shows after LVM_ENSUREVISIBLE.
        RECT last = Rect(lv, 59, LVIR_LABEL);
        EXPECT_TRUE(PtInRect(&client, Centre(last))) << "mode " << mode;
        DestroyWindow(lv);
    }
    ImageList_Destroy(small);
    ImageList_Destroy(large);
}

// ---- Scrolling -------------------------------------------------------------------------------

TEST_F(ListViewTest, ScrollingByMessagesAndByTheScrollBar) {
    // Wide enough for the columns and the vertical bar: no horizontal bar.
    HWND lv = List(LVS_REPORT, 40, 220, 200);
    int page = ListView_GetCountPerPage(lv);
    ASSERT_GT(page, 3);
    EXPECT_EQ(ListView_GetTopIndex(lv), 0);
    RECT r0 = Rect(lv, 0, LVIR_BOUNDS);
    int rowHeight = r0.bottom - r0.top;
    EXPECT_TRUE(ListView_Scroll(lv, 0, rowHeight * 3));
    EXPECT_EQ(ListView_GetTopIndex(lv), 3);
    EXPECT_EQ(Rect(lv, 3, LVIR_BOUNDS).top, r0.top);
    EXPECT_TRUE(ListView_EnsureVisible(lv, 39, FALSE));
    EXPECT_EQ(ListView_GetTopIndex(lv), 40 - page);
    EXPECT_TRUE(ListView_EnsureVisible(lv, 0, FALSE));
    EXPECT_EQ(ListView_GetTopIndex(lv), 0);

    // The vertical bar runs along the right edge: its bottom arrow steps one
    // row, the track under the thumb a page.
    RECT client;
    GetClientRect(lv, &client);
    int sb = GetSystemMetrics(SM_CXVSCROLL);
    Tap(lv, client.right - sb / 2, client.bottom - sb / 2);
    EXPECT_EQ(ListView_GetTopIndex(lv), 1);
    Tap(lv, client.right - sb / 2, client.bottom - sb * 3);
    EXPECT_EQ(ListView_GetTopIndex(lv), 1 + page);
    Tap(lv, client.right - sb / 2, sb / 2);  // the top arrow
    EXPECT_EQ(ListView_GetTopIndex(lv), page);
    EXPECT_EQ(Count(NM_CLICK), 0u);
    EXPECT_EQ(Selected(lv), std::vector<int>{});
}

TEST_F(ListViewTest, ListModeScrollsByColumns) {
    HWND lv = List(LVS_LIST, 60);
    int perPage = ListView_GetCountPerPage(lv);
    ASSERT_GT(perPage, 0);
    RECT r0 = Rect(lv, 0, LVIR_BOUNDS), r1 = Rect(lv, 1, LVIR_BOUNDS);
    EXPECT_EQ(r1.top, r0.bottom);  // filled top to bottom
    EXPECT_EQ(r1.left, r0.left);
    EXPECT_TRUE(ListView_Scroll(lv, 1, 0));
    int perColumn = ListView_GetTopIndex(lv);
    EXPECT_GT(perColumn, 1);
    EXPECT_EQ(Rect(lv, perColumn, LVIR_BOUNDS).left, r0.left);
    EXPECT_EQ(ListView_GetNextItem(lv, 0, LVNI_TORIGHT), perColumn);
}

// ---- Selection and notifications ---------------------------------------------------------

TEST_F(ListViewTest, TapSelectsFocusesAndReportsTheClick) {
    HWND lv = List(LVS_REPORT | LVS_SINGLESEL, 5);
    RECT label = Rect(lv, 2, LVIR_LABEL);
    Tap(lv, label.left + 4, (label.top + label.bottom) / 2);
    EXPECT_EQ(GetFocus(), lv);
    EXPECT_EQ(Codes(), (std::vector<UINT>{LVN_ITEMCHANGING, LVN_ITEMCHANGED, NM_CLICK}));
    auto changed = Only(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].item, 2);
    EXPECT_EQ(changed[0].changed, static_cast<UINT>(LVIF_STATE));
    EXPECT_EQ(changed[0].newState & (LVIS_SELECTED | LVIS_FOCUSED), static_cast<UINT>(LVIS_SELECTED | LVIS_FOCUSED));
    EXPECT_EQ(changed[0].oldState, 0u);
    EXPECT_EQ(changed[0].lParam, 20);
    auto click = Only(NM_CLICK);
    EXPECT_EQ(click[0].item, 2);
    EXPECT_EQ(click[0].subItem, 0);
    EXPECT_EQ(click[0].lParam, 20);

    // Another item: the first one is let go first.
    Notes().clear();
    RECT other = Rect(lv, 4, LVIR_BOUNDS);
    Tap(lv, 100, (other.top + other.bottom) / 2);  // its sub-item: no item without full-row select
    EXPECT_EQ(Selected(lv), std::vector<int>{});
    EXPECT_EQ(Only(NM_CLICK)[0].item, -1);
    ListView_SetExtendedListViewStyle(lv, LVS_EX_FULLROWSELECT);
    Tap(lv, 2, (label.top + label.bottom) / 2);
    Notes().clear();
    Tap(lv, 100, (other.top + other.bottom) / 2);
    EXPECT_EQ(Selected(lv), std::vector<int>{4});
    changed = Only(LVN_ITEMCHANGED);
    ASSERT_EQ(changed.size(), 2u);
    EXPECT_EQ(changed[0].item, 2);
    EXPECT_EQ(changed[0].newState & LVIS_SELECTED, 0u);
    EXPECT_EQ(changed[1].item, 4);
    EXPECT_EQ(Only(NM_CLICK)[0].subItem, 1);
    EXPECT_EQ(ListView_GetSelectionMark(lv), 4);
}

TEST_F(ListViewTest, ParentCanRefuseAChange) {
    HWND lv = List(LVS_REPORT, 3);
    Answer() = [](NMHDR* h) -> LRESULT { return h->code == LVN_ITEMCHANGING ? TRUE : 0; };
    RECT label = Rect(lv, 1, LVIR_LABEL);
    Tap(lv, label.left + 4, label.top + 2);
    EXPECT_EQ(Selected(lv), std::vector<int>{});
    EXPECT_EQ(Count(LVN_ITEMCHANGED), 0u);
    EXPECT_EQ(Count(NM_CLICK), 1u);
}

TEST_F(ListViewTest, ControlAndShiftExtendTheSelection) {
    HWND lv = List(LVS_REPORT, 6);
    auto tapItem = [&](int i) {
        RECT label = Rect(lv, i, LVIR_LABEL);
        Tap(lv, label.left + 4, (label.top + label.bottom) / 2);
    };
    tapItem(1);
    platform::InjectKey(VK_CONTROL, true);
    tapItem(3);
    platform::InjectKey(VK_CONTROL, false);
    EXPECT_EQ(Selected(lv), (std::vector<int>{1, 3}));
    platform::InjectKey(VK_SHIFT, true);
    tapItem(5);
    platform::InjectKey(VK_SHIFT, false);
    EXPECT_EQ(Selected(lv), (std::vector<int>{3, 4, 5}));
    tapItem(0);
    EXPECT_EQ(Selected(lv), std::vector<int>{0});
    // A tap on empty space lets the selection go.
    Tap(lv, 20, 190);
    EXPECT_EQ(Selected(lv), std::vector<int>{});
}

TEST_F(ListViewTest, HeaderTapSendsColumnClick) {
    HWND lv = List(LVS_REPORT, 2);
    RECT row = Rect(lv, 0, LVIR_BOUNDS);
    int headerY = row.top / 2;
    Tap(lv, 100, headerY);
    auto clicks = Only(LVN_COLUMNCLICK);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0].subItem, 1);
    EXPECT_EQ(clicks[0].item, -1);
    EXPECT_EQ(Count(NM_CLICK), 0u);
    // Pressed on one column and let go on another: nothing.
    Notes().clear();
    Unpair();
    PenDown(lv, 30, headerY);
    PenMove(lv, 100, headerY);
    PenUp(lv, 100, headerY);
    EXPECT_EQ(Count(LVN_COLUMNCLICK), 0u);
    // The divider drags the width.
    PenDown(lv, 80, headerY);
    PenMove(lv, 100, headerY);
    PenUp(lv, 100, headerY);
    EXPECT_EQ(ListView_GetColumnWidth(lv, 0), 100);
    EXPECT_EQ(Count(LVN_COLUMNCLICK), 0u);

    DestroyWindow(lv);
    HWND fixed = List(LVS_REPORT | LVS_NOSORTHEADER, 2);
    Tap(fixed, 100, headerY);
    EXPECT_EQ(Count(LVN_COLUMNCLICK), 0u);
}

TEST_F(ListViewTest, TapAndHoldSendsRightClickInsteadOfClick) {
    HWND lv = List(LVS_REPORT | LVS_SINGLESEL, 4);
    RECT label = Rect(lv, 3, LVIR_LABEL);
    Hold(lv, label.left + 4, label.top + 3, NM_RCLICK);
    auto r = Only(NM_RCLICK);
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].item, 3);
    EXPECT_EQ(r[0].pt.x, label.left + 4);
    EXPECT_EQ(r[0].pt.y, label.top + 3);
    EXPECT_EQ(Count(NM_CLICK), 0u);
    EXPECT_EQ(Selected(lv), std::vector<int>{3});
    // A pen that moves away is a drag, neither a tap nor a hold.
    Notes().clear();
    Unpair();
    PenDown(lv, label.left + 4, label.top + 3);
    PenMove(lv, label.left + 40, label.top + 30);
    Sleep(kHoldWait);
    Pump();
    PenUp(lv, label.left + 40, label.top + 30);
    EXPECT_EQ(Count(NM_RCLICK), 0u);
    EXPECT_EQ(Count(NM_CLICK), 0u);
    EXPECT_EQ(Count(LVN_BEGINDRAG), 1u);
}

TEST_F(ListViewTest, DoubleTapSendsDoubleClickAndActivate) {
    HWND lv = List(LVS_REPORT, 3);
    RECT label = Rect(lv, 1, LVIR_LABEL);
    DoubleTap(lv, label.left + 4, label.top + 3);
    EXPECT_EQ(Count(NM_CLICK), 1u);
    ASSERT_EQ(Count(NM_DBLCLK), 1u);
    EXPECT_EQ(Only(NM_DBLCLK)[0].item, 1);
    ASSERT_EQ(Count(LVN_ITEMACTIVATE), 1u);
    EXPECT_EQ(Only(LVN_ITEMACTIVATE)[0].item, 1);
}

TEST_F(ListViewTest, KeysMoveTheSelectionAndScroll) {
    HWND lv = List(LVS_REPORT | LVS_SINGLESEL, 30);
    SetFocus(lv);
    Pump();
    int page = ListView_GetCountPerPage(lv);
    struct Step {
        UINT key;
        int selected;
    };
    const Step steps[] = {
        {VK_DOWN, 0},  // nothing focused yet: the first item
        {VK_DOWN, 1},
        {VK_DOWN, 2},
        {VK_UP, 1},
        {VK_NEXT, page - 1},  // to the bottom of the page first
        {VK_NEXT, 2 * page - 2},
        {VK_END, 29},
        {VK_HOME, 0},
        {VK_UP, 0},
    };
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(Selected(lv), std::vector<int>{s.selected}) << "key " << s.key;
        EXPECT_EQ(ListView_GetNextItem(lv, -1, LVNI_FOCUSED), s.selected);
        int top = ListView_GetTopIndex(lv);
        EXPECT_TRUE(s.selected >= top && s.selected < top + page) << "key " << s.key;
    }
    auto keys = Only(LVN_KEYDOWN);
    ASSERT_EQ(keys.size(), std::size(steps));
    EXPECT_EQ(keys[0].key, VK_DOWN);
}

TEST_F(ListViewTest, DeletingReportsEveryItem) {
    HWND lv = List(LVS_REPORT, 4);
    ASSERT_TRUE(ListView_DeleteItem(lv, 1));
    auto d = Only(LVN_DELETEITEM);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].item, 1);
    EXPECT_EQ(d[0].lParam, 10);
    EXPECT_EQ(Text(lv, 1), u"Item 2");
    EXPECT_FALSE(ListView_DeleteItem(lv, 3));

    Notes().clear();
    ASSERT_TRUE(ListView_DeleteAllItems(lv));
    EXPECT_EQ(Codes(), (std::vector<UINT>{LVN_DELETEALLITEMS, LVN_DELETEITEM, LVN_DELETEITEM, LVN_DELETEITEM}));
    EXPECT_EQ(ListView_GetItemCount(lv), 0);

    // A parent that answers LVN_DELETEALLITEMS hears nothing more.
    for (int i = 0; i < 3; ++i) Insert(lv, i, u"x", i);
    Notes().clear();
    Answer() = [](NMHDR* h) -> LRESULT { return h->code == LVN_DELETEALLITEMS ? TRUE : 0; };
    DestroyWindow(lv);
    EXPECT_EQ(Codes(), std::vector<UINT>{LVN_DELETEALLITEMS});
}

TEST_F(ListViewTest, ParentMayDestroyTheControlFromANotification) {
    HWND lv = List(LVS_REPORT, 3);
    Answer() = [lv](NMHDR* h) -> LRESULT {
        if (h->code == LVN_ITEMCHANGED) DestroyWindow(lv);
        return 0;
    };
    RECT label = Rect(lv, 1, LVIR_LABEL);
    Tap(lv, label.left + 4, label.top + 3);
    EXPECT_FALSE(IsWindow(lv));
}

// ---- Image lists and drawing --------------------------------------------------------------

TEST_F(ListViewTest, ImageListsAreOwnedUnlessShared) {
    HWND lv = List(LVS_REPORT, 1);
    HIMAGELIST a = ImageList_Create(16, 16, ILC_COLOR, 1, 1), b = ImageList_Create(16, 16, ILC_COLOR, 1, 1);
    EXPECT_EQ(ListView_SetImageList(lv, a, LVSIL_SMALL), nullptr);
    EXPECT_EQ(ListView_SetImageList(lv, b, LVSIL_SMALL), a);
    EXPECT_EQ(ListView_GetImageList(lv, LVSIL_SMALL), b);
    DestroyWindow(lv);
    int cx, cy;
    EXPECT_TRUE(ImageList_GetIconSize(a, &cx, &cy));   // replaced: the program's again
    EXPECT_FALSE(ImageList_GetIconSize(b, &cx, &cy));  // went with the control
    HWND shared = List(LVS_REPORT | LVS_SHAREIMAGELISTS, 1);
    ListView_SetImageList(shared, a, LVSIL_NORMAL);
    DestroyWindow(shared);
    EXPECT_TRUE(ImageList_GetIconSize(a, &cx, &cy));
    ImageList_Destroy(a);
}

TEST_F(ListViewTest, DrawsSelectionIconsHeaderAndGridLines) {
    HWND lv = List(LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS, 4);
    HIMAGELIST strip = ImageList_LoadBitmap(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP), 16, 1, CLR_DEFAULT);
    ASSERT_NE(strip, nullptr);
    ListView_SetImageList(lv, strip, LVSIL_SMALL);
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 0;
    item.iImage = 2;  // blue
    ListView_SetItem(lv, &item);
    ListView_SetItemState(lv, 1, LVIS_SELECTED, LVIS_SELECTED);
    UpdateWindow(lv);
    auto screen = [&](int x, int y) {
        POINT p = OnScreen(lv, x, y);
        return gwes_test::ScreenPixel(p.x, p.y);
    };
    RECT icon = Rect(lv, 0, LVIR_ICON);
    int iconTop = icon.top + (icon.bottom - icon.top - 16) / 2;
    EXPECT_EQ(icon.right - icon.left, 16);
    EXPECT_EQ(screen(icon.left + 10, iconTop + 8), AsOnScreen(RGB(0, 0, 255)));
    // The image's masked corner shows the background.
    EXPECT_EQ(screen(icon.left + 1, iconTop + 1), AsOnScreen(GetSysColor(COLOR_WINDOW)));
    RECT row1 = Rect(lv, 1, LVIR_BOUNDS);
    RECT label1 = Rect(lv, 1, LVIR_LABEL);
    COLORREF inactive = AsOnScreen(GetSysColor(COLOR_BTNFACE)), window = AsOnScreen(GetSysColor(COLOR_WINDOW));
    // The list has no focus: LVS_SHOWSELALWAYS keeps the selection in grey.
    EXPECT_EQ(screen(label1.left + 1, row1.top + 1), inactive);
    EXPECT_EQ(screen(170, row1.top + 1), window);
    SetFocus(lv);
    ListView_SetExtendedListViewStyle(lv, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    UpdateWindow(lv);
    COLORREF highlight = AsOnScreen(GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(screen(170, row1.top + 2), highlight);
    // Grid lines: the last pixel row of each row and the last column of each column.
    RECT row2 = Rect(lv, 2, LVIR_BOUNDS);
    EXPECT_EQ(screen(170, row2.bottom - 1), inactive);
    EXPECT_EQ(screen(79, row2.top + 3), inactive);
    EXPECT_EQ(screen(170, row2.top + 3), window);
    // The header is a row of button faces.
    EXPECT_EQ(screen(60, 4), inactive);
    ImageList_Destroy(strip);
}

// An item's overlay state (a file chooser marks links so) draws the list's
// overlay image over the item's icon, in every mode with small icons.
TEST_F(ListViewTest, AnItemsOverlayStateDrawsTheOverlayOverItsIcon) {
    HIMAGELIST strip = ImageList_LoadBitmap(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP), 16, 1, CLR_DEFAULT);
    ASSERT_NE(strip, nullptr);
    ASSERT_TRUE(ImageList_SetOverlayImage(strip, 2, 1));  // the blue image is overlay 1
    for (DWORD mode : {LVS_REPORT, LVS_LIST}) {
        HWND lv = List(mode | LVS_SHAREIMAGELISTS, 2);
        ListView_SetImageList(lv, strip, LVSIL_SMALL);
        for (int i = 0; i < 2; ++i) {
            LVITEMW item = {};
            item.mask = LVIF_IMAGE;
            item.iItem = i;
            item.iImage = 0;
            ListView_SetItem(lv, &item);
        }
        ListView_SetItemState(lv, 1, INDEXTOOVERLAYMASK(1), LVIS_OVERLAYMASK);
        EXPECT_EQ(ListView_GetItemState(lv, 1, LVIS_OVERLAYMASK), UINT(INDEXTOOVERLAYMASK(1)));
        UpdateWindow(lv);
        auto iconCentre = [&](int i) {
            RECT icon = Rect(lv, i, LVIR_ICON);
            POINT p = OnScreen(lv, icon.left + 10, (icon.top + icon.bottom) / 2);
            return gwes_test::ScreenPixel(p.x, p.y);
        };
        EXPECT_NE(iconCentre(0), AsOnScreen(RGB(0, 0, 255))) << "mode " << mode;
        EXPECT_EQ(iconCentre(1), AsOnScreen(RGB(0, 0, 255))) << "mode " << mode;
        DestroyWindow(lv);
    }
    ImageList_Destroy(strip);
}

}  // namespace
}  // namespace list_tree_test
