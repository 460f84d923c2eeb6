// The tree view: inserting and linking, walking with TVM_GETNEXTITEM,
// deleting with notifications, expanding on demand from TVN_ITEMEXPANDING,
// the selection with its notifications, the pen (buttons, labels, double
// taps, holds), the keys, hit testing, item rectangles and callbacks.
#include <iterator>

#include "list_tree_fixture.h"

namespace list_tree_test {
namespace {

constexpr DWORD kTreeStyle = TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;

class TreeViewTest : public ListTreeTest {
protected:
    HWND Tree(DWORD style = kTreeStyle) { return Make(WC_TREEVIEWW, style, 10, 10, 200, 200); }

    static HTREEITEM Add(HWND tv, HTREEITEM parent, const std::u16string& text, LPARAM param = 0,
                         HTREEITEM after = TVI_LAST, int children = -2) {
        TVINSERTSTRUCTW ins = {};
        ins.hParent = parent;
        ins.hInsertAfter = after;
        ins.item.mask = TVIF_TEXT | TVIF_PARAM | (children != -2 ? TVIF_CHILDREN : 0);
        ins.item.pszText = const_cast<LPWSTR>(text.c_str());
        ins.item.lParam = param;
        ins.item.cChildren = children;
        return TreeView_InsertItem(tv, &ins);
    }
    static std::u16string Text(HWND tv, HTREEITEM item) {
        WCHAR buffer[64] = {};
        TVITEMW it = {};
        it.mask = TVIF_TEXT;
        it.hItem = item;
        it.pszText = buffer;
        it.cchTextMax = 64;
        EXPECT_TRUE(TreeView_GetItem(tv, &it));
        return buffer;
    }
    // The texts of the visible items, top to bottom.
    static std::vector<std::u16string> Visible(HWND tv) {
        std::vector<std::u16string> out;
        for (HTREEITEM i = TreeView_GetRoot(tv); i; i = TreeView_GetNextVisible(tv, i)) out.push_back(Text(tv, i));
        return out;
    }
    static RECT Rect(HWND tv, HTREEITEM item, bool textOnly) {
        RECT r = {};
        EXPECT_TRUE(TreeView_GetItemRect(tv, item, &r, textOnly));
        return r;
    }
    static TVHITTESTINFO Hit(HWND tv, POINT p) {
        TVHITTESTINFO info = {};
        info.pt = p;
        HTREEITEM item = TreeView_HitTest(tv, &info);
        EXPECT_EQ(item, info.hItem);
        return info;
    }
    static bool Expanded(HWND tv, HTREEITEM item) {
        return (TreeView_GetItemState(tv, item, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    }
};

TEST_F(TreeViewTest, InsertLinksItemsWhereAsked) {
    HWND tv = Tree();
    HTREEITEM b = Add(tv, TVI_ROOT, u"beta");
    HTREEITEM d = Add(tv, nullptr, u"delta");
    HTREEITEM a = Add(tv, TVI_ROOT, u"alpha", 0, TVI_FIRST);
    HTREEITEM c = Add(tv, TVI_ROOT, u"Charlie", 0, TVI_SORT);
    HTREEITEM bb = Add(tv, TVI_ROOT, u"beta two", 0, b);
    ASSERT_TRUE(a && b && c && d && bb);
    EXPECT_EQ(Visible(tv), (std::vector<std::u16string>{u"alpha", u"beta", u"beta two", u"Charlie", u"delta"}));
    EXPECT_EQ(TreeView_GetCount(tv), 5u);
    HTREEITEM child = Add(tv, b, u"inner");
    EXPECT_EQ(TreeView_GetCount(tv), 6u);
    // A child of a collapsed item is not visible.
    EXPECT_EQ(Visible(tv).size(), 5u);
    struct Case {
        HTREEITEM item;
        UINT code;
        HTREEITEM expected;
    };
    const Case cases[] = {
        {nullptr, TVGN_ROOT, a},        {a, TVGN_NEXT, b},          {b, TVGN_PREVIOUS, a},
        {a, TVGN_PREVIOUS, nullptr},    {d, TVGN_NEXT, nullptr},    {b, TVGN_CHILD, child},
        {child, TVGN_PARENT, b},        {a, TVGN_PARENT, nullptr},  {TVI_ROOT, TVGN_CHILD, a},
        {nullptr, TVGN_CARET, nullptr}, {b, TVGN_NEXTVISIBLE, bb},  {child, TVGN_NEXTVISIBLE, nullptr},
        {nullptr, TVGN_FIRSTVISIBLE, a}, {nullptr, TVGN_LASTVISIBLE, d}, {bb, TVGN_PREVIOUSVISIBLE, b},
    };
    for (const Case& k : cases)
        EXPECT_EQ(TreeView_GetNextItem(tv, k.item, k.code), k.expected) << k.code;
    // A stale or foreign handle finds nothing.
    auto bogus = reinterpret_cast<HTREEITEM>(static_cast<ULONG_PTR>(0x1234560));
    EXPECT_EQ(TreeView_GetNextItem(tv, bogus, TVGN_NEXT), nullptr);
    EXPECT_EQ(Add(tv, bogus, u"x"), nullptr);
    TVITEMW it = {};
    it.mask = TVIF_PARAM;
    it.hItem = bogus;
    EXPECT_FALSE(TreeView_GetItem(tv, &it));
}

TEST_F(TreeViewTest, DeleteReportsTheItemThenItsBranch) {
    HWND tv = Tree();
    HTREEITEM a = Add(tv, TVI_ROOT, u"a", 1);
    HTREEITEM b = Add(tv, TVI_ROOT, u"b", 2);
    HTREEITEM b1 = Add(tv, b, u"b1", 21);
    Add(tv, b1, u"b11", 211);
    Add(tv, b, u"b2", 22);
    Notes().clear();
    ASSERT_TRUE(TreeView_DeleteItem(tv, b));
    auto deleted = Only(TVN_DELETEITEMW);
    ASSERT_EQ(deleted.size(), 4u);
    std::vector<LPARAM> params;
    for (const Note& n : deleted) params.push_back(n.oldParam);
    EXPECT_EQ(params, (std::vector<LPARAM>{2, 21, 211, 22}));
    EXPECT_EQ(TreeView_GetCount(tv), 1u);
    EXPECT_FALSE(TreeView_DeleteItem(tv, b));  // already gone
    EXPECT_EQ(TreeView_GetNextItem(tv, a, TVGN_NEXT), nullptr);
    Add(tv, TVI_ROOT, u"c");
    ASSERT_TRUE(TreeView_DeleteAllItems(tv));
    EXPECT_EQ(TreeView_GetCount(tv), 0u);
    EXPECT_EQ(TreeView_GetRoot(tv), nullptr);
}

TEST_F(TreeViewTest, DeletingTheSelectionMovesItToANeighbour) {
    HWND tv = Tree();
    HTREEITEM p = Add(tv, TVI_ROOT, u"p");
    HTREEITEM x = Add(tv, p, u"x");
    HTREEITEM y = Add(tv, p, u"y");
    ASSERT_TRUE(TreeView_SelectItem(tv, x));
    Notes().clear();
    TreeView_DeleteItem(tv, x);
    EXPECT_EQ(TreeView_GetSelection(tv), y);
    auto changed = Only(TVN_SELCHANGEDW);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].newItem, y);
    TreeView_DeleteItem(tv, y);
    EXPECT_EQ(TreeView_GetSelection(tv), p);
}

TEST_F(TreeViewTest, ParentMayDeleteMoreFromInsideADeleteNotification) {
    HWND tv = Tree();
    HTREEITEM a = Add(tv, TVI_ROOT, u"a");
    HTREEITEM a1 = Add(tv, a, u"a1");
    HTREEITEM b = Add(tv, TVI_ROOT, u"b");
    Answer() = [&](NMHDR* h) -> LRESULT {
        if (h->code != TVN_DELETEITEMW) return 0;
        auto* t = reinterpret_cast<NMTREEVIEWW*>(h);
        // Deleting what is already going fails; deleting something else works.
        if (t->itemOld.hItem == a) {
            EXPECT_FALSE(TreeView_DeleteItem(tv, a1));
            EXPECT_TRUE(TreeView_DeleteItem(tv, b));
        }
        return 0;
    };
    EXPECT_TRUE(TreeView_DeleteItem(tv, a));
    EXPECT_EQ(TreeView_GetCount(tv), 0u);
}

TEST_F(TreeViewTest, BranchesFillOnDemandWhenFirstExpanded) {
    HWND tv = Tree();
    HTREEITEM folder = Add(tv, TVI_ROOT, u"folder", 7, TVI_LAST, 1);
    HTREEITEM empty = Add(tv, TVI_ROOT, u"empty", 8, TVI_LAST, 1);
    Add(tv, TVI_ROOT, u"file", 9);
    int fills = 0;
    Answer() = [&](NMHDR* h) -> LRESULT {
        if (h->code != TVN_ITEMEXPANDINGW) return 0;
        auto* t = reinterpret_cast<NMTREEVIEWW*>(h);
        if (t->action == TVE_EXPAND && t->itemNew.hItem == folder && !TreeView_GetChild(tv, folder)) {
            ++fills;
            for (const WCHAR* name : {u"one", u"two", u"three"}) Add(tv, folder, name);
        }
        return 0;
    };
    ASSERT_TRUE(TreeView_Expand(tv, folder, TVE_EXPAND));
    EXPECT_EQ(fills, 1);
    EXPECT_EQ(Codes(), (std::vector<UINT>{TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW}));
    auto expanding = Only(TVN_ITEMEXPANDINGW);
    EXPECT_EQ(expanding[0].newItem, folder);
    EXPECT_EQ(expanding[0].newParam, 7);
    EXPECT_EQ(expanding[0].action, static_cast<UINT>(TVE_EXPAND));
    EXPECT_EQ(TreeView_GetItemState(tv, folder, TVIS_EXPANDED | TVIS_EXPANDEDONCE),
              static_cast<UINT>(TVIS_EXPANDED | TVIS_EXPANDEDONCE));
    EXPECT_EQ(Visible(tv), (std::vector<std::u16string>{u"folder", u"one", u"two", u"three", u"empty", u"file"}));

    // Messages after the first expansion leave the parent alone.
    Notes().clear();
    EXPECT_TRUE(TreeView_Expand(tv, folder, TVE_COLLAPSE));
    EXPECT_FALSE(Expanded(tv, folder));
    EXPECT_TRUE(TreeView_Expand(tv, folder, TVE_TOGGLE));
    EXPECT_TRUE(Expanded(tv, folder));
    EXPECT_TRUE(Codes().empty());

    // An item whose branch turns out empty loses its button.
    EXPECT_FALSE(TreeView_Expand(tv, empty, TVE_EXPAND));
    EXPECT_FALSE(Expanded(tv, empty));
    TVITEMW it = {};
    it.mask = TVIF_CHILDREN;
    it.hItem = empty;
    ASSERT_TRUE(TreeView_GetItem(tv, &it));
    EXPECT_EQ(it.cChildren, 0);

    // The parent may refuse.
    Answer() = [](NMHDR* h) -> LRESULT { return h->code == TVN_ITEMEXPANDINGW ? TRUE : 0; };
    HTREEITEM locked = Add(tv, TVI_ROOT, u"locked", 0, TVI_LAST, 1);
    Add(tv, locked, u"hidden");
    EXPECT_FALSE(TreeView_Expand(tv, locked, TVE_EXPAND));
    EXPECT_FALSE(Expanded(tv, locked));
}

TEST_F(TreeViewTest, ChildrenCallbackIsAskedFor) {
    HWND tv = Tree();
    HTREEITEM maybe = Add(tv, TVI_ROOT, u"maybe", 5, TVI_LAST, I_CHILDRENCALLBACK);
    Answer() = [](NMHDR* h) -> LRESULT {
        if (h->code == TVN_GETDISPINFOW) {
            auto* d = reinterpret_cast<NMTVDISPINFOW*>(h);
            if (d->item.mask & TVIF_CHILDREN) d->item.cChildren = d->item.lParam == 5 ? 1 : 0;
        }
        return 0;
    };
    RECT label = Rect(tv, maybe, true);
    TVHITTESTINFO h = Hit(tv, POINT{static_cast<LONG>(TreeView_GetIndent(tv) / 2), (label.top + label.bottom) / 2});
    EXPECT_EQ(h.flags, static_cast<UINT>(TVHT_ONITEMBUTTON));
    auto asked = Only(TVN_GETDISPINFOW);
    ASSERT_FALSE(asked.empty());
    EXPECT_TRUE(asked[0].mask & TVIF_CHILDREN);
    EXPECT_EQ(asked[0].newItem, maybe);
}

TEST_F(TreeViewTest, SelectItemNotifiesAndRevealsTheItem) {
    HWND tv = Tree();
    HTREEITEM a = Add(tv, TVI_ROOT, u"a", 1);
    HTREEITEM b = Add(tv, TVI_ROOT, u"b", 2);
    HTREEITEM b1 = Add(tv, b, u"b1", 3);
    ASSERT_TRUE(TreeView_SelectItem(tv, a));
    Notes().clear();
    ASSERT_TRUE(TreeView_SelectItem(tv, b1));
    EXPECT_EQ(TreeView_GetSelection(tv), b1);
    EXPECT_TRUE(Expanded(tv, b));  // the hidden item came into view
    auto changing = Only(TVN_SELCHANGINGW), changed = Only(TVN_SELCHANGEDW);
    ASSERT_EQ(changing.size(), 1u);
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0].oldItem, a);
    EXPECT_EQ(changed[0].newItem, b1);
    EXPECT_EQ(changed[0].oldParam, 1);
    EXPECT_EQ(changed[0].newParam, 3);
    EXPECT_EQ(changed[0].action, static_cast<UINT>(TVC_UNKNOWN));
    EXPECT_TRUE(changed[0].newItemState & TVIS_SELECTED);
    EXPECT_EQ(TreeView_GetItemState(tv, a, TVIS_SELECTED), 0u);

    // The parent may refuse; selecting the selected item asks nothing.
    Answer() = [](NMHDR* h) -> LRESULT { return h->code == TVN_SELCHANGINGW ? TRUE : 0; };
    EXPECT_FALSE(TreeView_SelectItem(tv, a));
    EXPECT_EQ(TreeView_GetSelection(tv), b1);
    Notes().clear();
    EXPECT_TRUE(TreeView_SelectItem(tv, b1));
    EXPECT_TRUE(Notes().empty());
    // Collapsing the branch moves the selection up to it.
    Answer() = nullptr;
    TreeView_Expand(tv, b, TVE_COLLAPSE);
    EXPECT_EQ(TreeView_GetSelection(tv), b);
}

TEST_F(TreeViewTest, HitTestNamesEveryPartOfARow) {
    HWND tv = Tree();
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 1, 1);
    TreeView_SetImageList(tv, images, TVSIL_NORMAL);
    HTREEITEM p = Add(tv, TVI_ROOT, u"parent");
    HTREEITEM c = Add(tv, p, u"child");
    HTREEITEM leaf = Add(tv, TVI_ROOT, u"leaf");
    TreeView_Expand(tv, p, TVE_EXPAND);
    int indent = TreeView_GetIndent(tv);
    ASSERT_GT(indent, 0);
    RECT pl = Rect(tv, p, true), cl = Rect(tv, c, true), ll = Rect(tv, leaf, true);
    RECT client;
    GetClientRect(tv, &client);
    // Lines at the root: parent items start one indent in; their image sits
    // just left of the label, the button in the indent before it.
    EXPECT_EQ(pl.left, indent + 16);
    EXPECT_EQ(cl.left, 2 * indent + 16);
    int py = (pl.top + pl.bottom) / 2, cy = (cl.top + cl.bottom) / 2, ly = (ll.top + ll.bottom) / 2;
    struct Case {
        POINT p;
        HTREEITEM item;
        UINT flags;
    };
    const Case cases[] = {
        {{indent / 2, py}, p, TVHT_ONITEMBUTTON},
        {{indent / 2, ly}, leaf, TVHT_ONITEMINDENT},  // no children: no button
        {{indent / 2, cy}, c, TVHT_ONITEMINDENT},
        {{indent + 8, py}, p, TVHT_ONITEMICON},
        {{pl.left + 3, py}, p, TVHT_ONITEMLABEL},
        {{pl.right + 10, py}, p, TVHT_ONITEMRIGHT},
        {{20, ll.bottom + 5}, nullptr, TVHT_NOWHERE},
        {{20, -3}, nullptr, TVHT_ABOVE},
        {{20, client.bottom + 2}, nullptr, TVHT_BELOW},
        {{-3, py}, nullptr, TVHT_TOLEFT},
        {{client.right, py}, nullptr, TVHT_TORIGHT},
    };
    for (const Case& k : cases) {
        TVHITTESTINFO h = Hit(tv, k.p);
        EXPECT_EQ(h.hItem, k.item) << k.p.x << "," << k.p.y;
        EXPECT_EQ(h.flags, k.flags) << k.p.x << "," << k.p.y;
    }
    // A collapsed branch has no rectangle; a shown one spans the width.
    RECT full = Rect(tv, c, false);
    EXPECT_EQ(full.left, 0);
    EXPECT_EQ(full.right, client.right);
    EXPECT_EQ(full.top, cl.top);
    TreeView_Expand(tv, p, TVE_COLLAPSE);
    RECT none = {};
    EXPECT_FALSE(TreeView_GetItemRect(tv, c, &none, TRUE));
    TreeView_SetImageList(tv, nullptr, TVSIL_NORMAL);
    ImageList_Destroy(images);
}

TEST_F(TreeViewTest, PenTogglesButtonsAndSelectsLabels) {
    HWND tv = Tree();
    HTREEITEM p = Add(tv, TVI_ROOT, u"parent", 1);
    HTREEITEM c = Add(tv, p, u"child", 2);
    HTREEITEM q = Add(tv, TVI_ROOT, u"other", 3);
    int indent = TreeView_GetIndent(tv);
    RECT pl = Rect(tv, p, true);
    int py = (pl.top + pl.bottom) / 2;
    // The button: NM_CLICK, then the expansion, announced because the user made it.
    Tap(tv, indent / 2, py);
    EXPECT_TRUE(Expanded(tv, p));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW}));
    EXPECT_EQ(TreeView_GetSelection(tv), nullptr);
    Notes().clear();
    Tap(tv, indent / 2, py);
    EXPECT_FALSE(Expanded(tv, p));
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, TVN_ITEMEXPANDINGW, TVN_ITEMEXPANDEDW}));
    EXPECT_EQ(Only(TVN_ITEMEXPANDINGW)[0].action, static_cast<UINT>(TVE_COLLAPSE));

    // A label: NM_CLICK first, then the selection, by mouse.
    RECT ql = Rect(tv, q, true);
    Notes().clear();
    Tap(tv, ql.left + 3, (ql.top + ql.bottom) / 2);
    EXPECT_EQ(TreeView_GetSelection(tv), q);
    EXPECT_EQ(GetFocus(), tv);
    EXPECT_EQ(Codes(), (std::vector<UINT>{NM_CLICK, TVN_SELCHANGINGW, TVN_SELCHANGEDW}));
    EXPECT_EQ(Only(TVN_SELCHANGEDW)[0].action, static_cast<UINT>(TVC_BYMOUSE));

    // A parent that answers NM_CLICK keeps the selection where it is.
    Answer() = [](NMHDR* h) -> LRESULT { return h->code == NM_CLICK ? TRUE : 0; };
    Tap(tv, pl.left + 3, py);
    EXPECT_EQ(TreeView_GetSelection(tv), q);
    Answer() = nullptr;

    // A double tap on a label toggles its branch.
    Notes().clear();
    DoubleTap(tv, pl.left + 3, py);
    EXPECT_TRUE(Expanded(tv, p));
    EXPECT_EQ(Count(NM_DBLCLK), 1u);
    EXPECT_EQ(TreeView_GetSelection(tv), p);
    (void)c;

    // A hold is a right click and selects nothing.
    Notes().clear();
    RECT cl = Rect(tv, c, true);
    Hold(tv, cl.left + 3, (cl.top + cl.bottom) / 2, NM_RCLICK);
    EXPECT_EQ(Count(NM_RCLICK), 1u);
    EXPECT_EQ(Count(NM_CLICK), 0u);
    EXPECT_EQ(TreeView_GetSelection(tv), p);
}

TEST_F(TreeViewTest, KeysWalkExpandAndCollapse) {
    HWND tv = Tree();
    HTREEITEM a = Add(tv, TVI_ROOT, u"a");
    HTREEITEM a1 = Add(tv, a, u"a1");
    HTREEITEM a2 = Add(tv, a, u"a2");
    HTREEITEM b = Add(tv, TVI_ROOT, u"b");
    SetFocus(tv);
    Pump();
    struct Step {
        UINT key;
        HTREEITEM selected;
        bool aExpanded;
    };
    const Step steps[] = {
        {VK_DOWN, a, false},   // nothing selected: the first item
        {VK_DOWN, b, false},
        {VK_UP, a, false},
        {VK_RIGHT, a, true},   // expands
        {VK_RIGHT, a1, true},  // then goes in
        {VK_DOWN, a2, true},
        {VK_LEFT, a, true},    // up to the parent
        {VK_LEFT, a, false},   // then collapses
        {VK_END, b, false},
        {VK_HOME, a, false},
    };
    for (const Step& s : steps) {
        Key(s.key);
        EXPECT_EQ(TreeView_GetSelection(tv), s.selected) << "key " << s.key;
        EXPECT_EQ(Expanded(tv, a), s.aExpanded) << "key " << s.key;
    }
    auto keys = Only(TVN_KEYDOWN);
    ASSERT_EQ(keys.size(), std::size(steps));
    EXPECT_EQ(keys[3].key, VK_RIGHT);
    for (const Note& n : Only(TVN_SELCHANGEDW)) EXPECT_EQ(n.action, static_cast<UINT>(TVC_BYKEYBOARD));
}

TEST_F(TreeViewTest, ItemsKeepFieldsAndCallbackText) {
    HWND tv = Tree();
    TVINSERTSTRUCTW ins = {};
    ins.hParent = TVI_ROOT;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    ins.item.pszText = LPSTR_TEXTCALLBACKW;
    ins.item.iImage = 3;
    ins.item.iSelectedImage = 4;
    ins.item.lParam = 77;
    ins.item.state = TVIS_BOLD;
    ins.item.stateMask = TVIS_BOLD;
    HTREEITEM item = TreeView_InsertItem(tv, &ins);
    ASSERT_NE(item, nullptr);
    Answer() = [](NMHDR* h) -> LRESULT {
        if (h->code == TVN_GETDISPINFOW) {
            auto* d = reinterpret_cast<NMTVDISPINFOW*>(h);
            if (d->item.mask & TVIF_TEXT) lstrcpynW(d->item.pszText, u"from parent", d->item.cchTextMax);
        }
        return 0;
    };
    EXPECT_EQ(Text(tv, item), u"from parent");
    auto asked = Only(TVN_GETDISPINFOW);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked[0].newParam, 77);
    TVITEMW it = {};
    it.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_STATE;
    it.hItem = item;
    it.stateMask = 0xFFFF;
    ASSERT_TRUE(TreeView_GetItem(tv, &it));
    EXPECT_EQ(it.iImage, 3);
    EXPECT_EQ(it.iSelectedImage, 4);
    EXPECT_EQ(it.lParam, 77);
    EXPECT_TRUE(it.state & TVIS_BOLD);
    it.mask = TVIF_TEXT | TVIF_PARAM;
    it.pszText = const_cast<LPWSTR>(u"own text");
    it.lParam = 78;
    ASSERT_TRUE(TreeView_SetItem(tv, &it));
    Answer() = nullptr;
    EXPECT_EQ(Text(tv, item), u"own text");
}

int CALLBACK ByParamDown(LPARAM a, LPARAM b, LPARAM) { return a > b ? -1 : a < b ? 1 : 0; }

TEST_F(TreeViewTest, SortChildrenByTextOrByCallback) {
    HWND tv = Tree();
    for (int i = 0; i < 4; ++i) {
        const WCHAR* names[] = {u"pear", u"Apple", u"fig", u"banana"};
        Add(tv, TVI_ROOT, names[i], i);
    }
    ASSERT_TRUE(TreeView_SortChildren(tv, TVI_ROOT, FALSE));
    EXPECT_EQ(Visible(tv), (std::vector<std::u16string>{u"Apple", u"banana", u"fig", u"pear"}));
    TVSORTCB sort = {TVI_ROOT, ByParamDown, 0};
    ASSERT_TRUE(TreeView_SortChildrenCB(tv, &sort, FALSE));
    EXPECT_EQ(Visible(tv), (std::vector<std::u16string>{u"banana", u"fig", u"Apple", u"pear"}));
}

TEST_F(TreeViewTest, DrawsButtonsAndTheSelection) {
    HWND tv = Tree(kTreeStyle | TVS_SHOWSELALWAYS);
    HTREEITEM p = Add(tv, TVI_ROOT, u"parent");
    Add(tv, p, u"child");
    HTREEITEM q = Add(tv, TVI_ROOT, u"other");
    TreeView_SelectItem(tv, q);
    SetFocus(tv);
    UpdateWindow(tv);
    auto screen = [&](int x, int y) {
        POINT s = OnScreen(tv, x, y);
        return gwes_test::ScreenPixel(s.x, s.y);
    };
    int indent = TreeView_GetIndent(tv);
    RECT pl = Rect(tv, p, true), ql = Rect(tv, q, true);
    int py = (pl.top + pl.bottom) / 2;
    // The plus box: a frame with a horizontal and a vertical bar through its centre.
    COLORREF mark = AsOnScreen(GetSysColor(COLOR_WINDOWTEXT)), window = AsOnScreen(GetSysColor(COLOR_WINDOW));
    int cx = indent / 2;
    EXPECT_EQ(screen(cx - 2, py), mark);
    EXPECT_EQ(screen(cx, py - 2), mark);
    EXPECT_EQ(screen(cx - 2, py - 2), window);
    TreeView_Expand(tv, p, TVE_EXPAND);
    UpdateWindow(tv);
    EXPECT_EQ(screen(cx, py - 2), window);  // a minus now
    ql = Rect(tv, q, true);
    EXPECT_EQ(screen(ql.right - 2, ql.top + 2), AsOnScreen(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(screen(ql.right + 4, ql.top + 2), window);
}

// On a large screen the plus and minus boxes grow with the icons: twice the
// size, with marks and frame two pixels thick.
TEST_F(TreeViewTest, ALargeScreenDrawsTheButtonsTwiceAsBig) {
    platform::DisplayOptions large;
    large.root = root_;
    large.screen = "480x640x16";
    large.backend = "headless";
    ASSERT_TRUE(platform::StartDisplay(large));
    HWND tv = Tree();
    HTREEITEM p = Add(tv, TVI_ROOT, u"parent");
    Add(tv, p, u"child");
    UpdateWindow(tv);
    auto screen = [&](int x, int y) {
        POINT s = OnScreen(tv, x, y);
        return gwes_test::ScreenPixel(s.x, s.y);
    };
    const COLORREF mark = AsOnScreen(GetSysColor(COLOR_WINDOWTEXT)), window = AsOnScreen(GetSysColor(COLOR_WINDOW));
    const COLORREF frame = AsOnScreen(GetSysColor(COLOR_BTNSHADOW));
    RECT pl = Rect(tv, p, true);
    const int cx = TreeView_GetIndent(tv) / 2, cy = (pl.top + pl.bottom) / 2;
    EXPECT_EQ(screen(cx - 4, cy), mark);
    EXPECT_EQ(screen(cx - 4, cy - 1), mark);  // two pixels thick
    EXPECT_EQ(screen(cx, cy - 4), mark);
    EXPECT_EQ(screen(cx - 1, cy - 4), mark);
    EXPECT_EQ(screen(cx - 3, cy - 3), window);
    EXPECT_EQ(screen(cx - 8, cy - 3), frame);
    EXPECT_EQ(screen(cx - 7, cy - 3), frame);
    EXPECT_EQ(screen(cx - 6, cy - 3), window);
}

}  // namespace
}  // namespace list_tree_test
