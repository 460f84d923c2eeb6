// Menus: building, changing and reading them, MENU templates from the test
// script's .res and MENUEX templates as inline bytes (malformed ones too),
// and popup menus tracked with keys and the pen from a timer inside the
// menu loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/menu_template.h"
#include "shell_fixture.h"
#include "shell_ids.h"

using namespace shell_test;

namespace {

std::u16string TextAt(HMENU menu, UINT position) {
    WCHAR text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

HMENU ThreeItems() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, u"&One");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 30, u"&Three");
    return menu;
}

// ---- Menu objects ------------------------------------------------------------------------

TEST(MenuObjects, ItemsAreAddedInsertedAndRead) {
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 21, u"Inner");
    HMENU menu = ThreeItems();
    ASSERT_TRUE(InsertMenuW(menu, 2, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"&Sub"));
    ASSERT_TRUE(InsertMenuW(menu, 30, MF_BYCOMMAND | MF_STRING, 25, u"Before three"));
    // A command nobody has: the item goes at the end.
    ASSERT_TRUE(InsertMenuW(menu, 999, MF_BYCOMMAND | MF_STRING, 40, u"Last"));

    ASSERT_EQ(GetMenuItemCount(menu), 6);
    const struct {
        UINT id;
        const char16_t* text;
    } expected[] = {{10, u"&One"}, {0, u""}, {0xFFFFFFFFu, u"&Sub"}, {25, u"Before three"}, {30, u"&Three"}, {40, u"Last"}};
    for (UINT i = 0; i < 6; ++i) {
        EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(i)), expected[i].id) << i;
        EXPECT_EQ(TextAt(menu, i), expected[i].text) << i;
    }
    EXPECT_EQ(GetSubMenu(menu, 2), sub);
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    EXPECT_EQ(GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR, static_cast<UINT>(MF_SEPARATOR));
    // A popup item reports its submenu's item count in the high byte.
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYPOSITION), static_cast<UINT>(MF_POPUP | (1 << 8)));
    EXPECT_EQ(GetMenuItemID(menu, 6), 0xFFFFFFFFu);

    ASSERT_TRUE(ModifyMenuW(menu, 10, MF_BYCOMMAND | MF_STRING | MF_GRAYED, 11, u"Changed"));
    EXPECT_EQ(GetMenuItemID(menu, 0), 11u);
    EXPECT_EQ(TextAt(menu, 0), u"Changed");
    EXPECT_EQ(GetMenuState(menu, 11, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(sub));  // destroyed with the menu that held it
}

TEST(MenuObjects, DeleteDestroysASubmenuAndRemoveKeepsIt) {
    for (bool remove : {false, true}) {
        HMENU menu = CreateMenu();
        HMENU sub = CreatePopupMenu();
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Sub");
        AppendMenuW(menu, MF_STRING, 5, u"Plain");
        EXPECT_TRUE(remove ? RemoveMenu(menu, 0, MF_BYPOSITION) : DeleteMenu(menu, 0, MF_BYPOSITION));
        EXPECT_EQ(GetMenuItemCount(menu), 1);
        EXPECT_EQ(IsMenu(sub) != FALSE, remove) << (remove ? "RemoveMenu" : "DeleteMenu");
        SetLastError(0);
        EXPECT_FALSE(DeleteMenu(menu, 77, MF_BYCOMMAND));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MENU_ITEM_NOT_FOUND));
        DestroyMenu(menu);
        if (remove) DestroyMenu(sub);
    }
}

TEST(MenuObjects, StateChangesReturnThePreviousState) {
    HMENU menu = CreateMenu();
    HMENU sub = ThreeItems();
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"Sub");
    enum Call { Enable, Check };
    const struct {
        Call call;
        UINT item;
        UINT flags;
        DWORD returned;
        UINT stateAfter;  // MF_GRAYED | MF_DISABLED | MF_CHECKED of the item, when it exists
    } cases[] = {
        {Enable, 10, MF_GRAYED, MF_ENABLED, MF_GRAYED},  // found by command inside the submenu
        {Enable, 10, MF_GRAYED, MF_GRAYED, MF_GRAYED},
        {Enable, 10, MF_DISABLED, MF_GRAYED, MF_DISABLED},
        {Enable, 10, MF_ENABLED, MF_DISABLED, 0},
        {Check, 30, MF_CHECKED, MF_UNCHECKED, MF_CHECKED},
        {Check, 30, MF_CHECKED, MF_CHECKED, MF_CHECKED},
        {Check, 30, MF_UNCHECKED, MF_CHECKED, 0},
        {Enable, 55, MF_GRAYED, 0xFFFFFFFFu, 0},  // no such item
        {Check, 55, MF_CHECKED, 0xFFFFFFFFu, 0},
    };
    for (const auto& c : cases) {
        DWORD returned = c.call == Enable ? static_cast<DWORD>(EnableMenuItem(menu, c.item, c.flags))
                                          : CheckMenuItem(menu, c.item, c.flags);
        EXPECT_EQ(returned, c.returned) << c.item << " " << c.flags;
        if (c.returned != 0xFFFFFFFFu) {
            EXPECT_EQ(GetMenuState(menu, c.item, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED | MF_CHECKED), c.stateAfter);
        }
    }
    // By position, in the menu given.
    EXPECT_EQ(static_cast<DWORD>(EnableMenuItem(sub, 2, MF_BYPOSITION | MF_GRAYED)), static_cast<DWORD>(MF_ENABLED));
    EXPECT_EQ(GetMenuState(sub, 30, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(static_cast<DWORD>(EnableMenuItem(sub, 3, MF_BYPOSITION | MF_GRAYED)), 0xFFFFFFFFu);
    DestroyMenu(menu);
}

TEST(MenuObjects, RadioItemsCheckOneOfARange) {
    HMENU menu = CreatePopupMenu();
    for (UINT id = 100; id < 104; ++id) AppendMenuW(menu, MF_STRING | MF_CHECKED, id, u"choice");
    ASSERT_TRUE(CheckMenuRadioItem(menu, 100, 102, 101, MF_BYCOMMAND));
    const UINT checked[] = {0, MF_CHECKED, 0, MF_CHECKED};  // 103 is outside the range
    for (UINT i = 0; i < 4; ++i) EXPECT_EQ(GetMenuState(menu, i, MF_BYPOSITION) & MF_CHECKED, checked[i]) << i;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 101, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    ASSERT_TRUE(CheckMenuRadioItem(menu, 0, 3, 3, MF_BYPOSITION));
    EXPECT_EQ(GetMenuState(menu, 101, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_FALSE(CheckMenuRadioItem(menu, 100, 102, 500, MF_BYCOMMAND));
    DestroyMenu(menu);
}

TEST(MenuObjects, ItemInfoWritesAndReadsEveryField) {
    HMENU menu = ThreeItems();
    MENUITEMINFOW set = {};
    set.cbSize = sizeof(set);
    set.fMask = MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_DATA;
    WCHAR text[] = u"Renamed";
    set.dwTypeData = text;
    set.fState = MFS_CHECKED | MFS_GRAYED;
    set.wID = 77;
    set.dwItemData = 0x1234;
    ASSERT_TRUE(SetMenuItemInfoW(menu, 0, TRUE, &set));

    MENUITEMINFOW get = {};
    get.cbSize = sizeof(get);
    get.fMask = MIIM_STRING | MIIM_STATE | MIIM_ID | MIIM_DATA | MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 77, FALSE, &get));
    EXPECT_EQ(get.cch, 7u);  // no buffer: the length
    WCHAR buffer[5];
    get.dwTypeData = buffer;
    get.cch = 5;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 77, FALSE, &get));
    EXPECT_EQ(std::u16string(buffer), u"Rena");  // cut to the buffer, terminated
    EXPECT_EQ(get.cch, 4u);
    EXPECT_EQ(get.fState, static_cast<UINT>(MFS_CHECKED | MFS_GRAYED));
    EXPECT_EQ(get.wID, 77u);
    EXPECT_EQ(get.dwItemData, 0x1234u);
    EXPECT_EQ(get.fType, static_cast<UINT>(MFT_STRING));

    get.fMask = MIIM_TYPE;
    get.dwTypeData = nullptr;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 1, TRUE, &get));
    EXPECT_EQ(get.fType, static_cast<UINT>(MFT_SEPARATOR));

    MENUITEMINFOW ce = set;
    ce.cbSize = offsetof(MENUITEMINFOW, hbmpItem);  // the Windows CE size
    EXPECT_TRUE(SetMenuItemInfoW(menu, 0, TRUE, &ce));
    ce.cbSize = 12;
    SetLastError(0);
    EXPECT_FALSE(SetMenuItemInfoW(menu, 0, TRUE, &ce));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DestroyMenu(menu);
}

TEST(MenuObjects, ByCommandPrefersAnItemInsideASubmenu) {
    HMENU menu = CreateMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuW(sub, MF_STRING, 9, u"inner nine");
    MENUITEMINFOW popup = {};
    popup.cbSize = sizeof(popup);
    popup.fMask = MIIM_STRING | MIIM_ID | MIIM_SUBMENU;
    WCHAR text[] = u"outer nine";
    popup.dwTypeData = text;
    popup.wID = 9;
    popup.hSubMenu = sub;
    ASSERT_TRUE(InsertMenuItemW(menu, 0, TRUE, &popup));
    WCHAR found[32] = {};
    GetMenuStringW(menu, 9, found, 32, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(found), u"inner nine");
    DeleteMenu(sub, 0, MF_BYPOSITION);
    GetMenuStringW(menu, 9, found, 32, MF_BYCOMMAND);
    EXPECT_EQ(std::u16string(found), u"outer nine");  // the popup item itself when nothing inside has it
    DestroyMenu(menu);
}

TEST(MenuObjects, StaleHandlesFailCleanly) {
    HMENU menu = ThreeItems();
    ASSERT_TRUE(DestroyMenu(menu));
    SetLastError(0);
    EXPECT_EQ(GetMenuItemCount(menu), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_FALSE(AppendMenuW(menu, MF_STRING, 1, u"x"));
    EXPECT_EQ(static_cast<DWORD>(EnableMenuItem(menu, 10, MF_GRAYED)), 0xFFFFFFFFu);
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    HMENU other = CreatePopupMenu();
    SetLastError(0);
    EXPECT_FALSE(AppendMenuW(other, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), u"dead"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    DestroyMenu(other);
}

TEST(MenuObjects, AMenuInsideItselfIsWalkedOnce) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, u"one");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), u"itself");
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND), 0xFFFFFFFFu);  // searched without looping
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(menu));
}

// ---- Templates ---------------------------------------------------------------------------

struct Expected {
    std::vector<int> path;  // positions: the item is path.back() inside the submenus before it
    const char16_t* text;
    UINT id;       // 0xFFFFFFFF for a popup
    UINT state;    // GetMenuState's flags
};

void ExpectItems(HMENU root, const std::vector<Expected>& items) {
    for (const Expected& e : items) {
        HMENU menu = root;
        for (size_t i = 0; i + 1 < e.path.size(); ++i) menu = GetSubMenu(menu, e.path[i]);
        ASSERT_NE(menu, nullptr);
        UINT position = static_cast<UINT>(e.path.back());
        EXPECT_EQ(TextAt(menu, position), e.text) << static_cast<int>(position);
        EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(position)), e.id) << static_cast<int>(position);
        // A popup's state has its item count in the high byte; other items may be separators.
        UINT state = GetMenuState(menu, position, MF_BYPOSITION);
        state &= (state & MF_POPUP) ? 0xFFu : static_cast<UINT>(0xFF | MF_SEPARATOR);
        EXPECT_EQ(state, e.state) << static_cast<int>(position);
    }
}

TEST(MenuTemplates, MenuFromTheScriptsResources) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_SHELL_MENU));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(menu, 0)), 4);
    ExpectItems(menu, {
        {{0}, u"&File", 0xFFFFFFFFu, MF_POPUP},
        {{0, 0}, u"&Open...\tCtrl+O", IDC_SHELL_OPEN, 0},
        {{0, 1}, u"", 0, MF_SEPARATOR},
        {{0, 2}, u"&Recent files", 0xFFFFFFFFu, MF_POPUP},
        {{0, 2, 0}, u"&1 scan.dcm", IDC_SHELL_RECENT1, 0},
        {{0, 2, 1}, u"&2 knee.dcm", IDC_SHELL_RECENT2, 0},
        {{0, 3}, u"E&xit", IDC_SHELL_EXIT, 0},
        {{1, 0}, u"&Full Screen", IDC_SHELL_FULLSCREEN, MF_CHECKED},
        {{1, 1}, u"&Zoom", IDC_SHELL_ZOOM, MF_GRAYED},
        {{1, 2}, u"&Rotate", IDC_SHELL_ROTATE, MF_DISABLED},
        {{2}, u"&Help", IDC_SHELL_HELP, 0},
    });
    EXPECT_EQ(GetMenuState(menu, IDC_SHELL_HELP, MF_BYCOMMAND) & MF_HELP, static_cast<UINT>(MF_HELP));
    DestroyMenu(menu);

    SetLastError(0);
    EXPECT_EQ(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(4999)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

// Builds template bytes from words, strings and padding.
struct Bytes {
    std::vector<uint8_t> data;
    Bytes& Word(uint16_t w) {
        data.push_back(static_cast<uint8_t>(w));
        data.push_back(static_cast<uint8_t>(w >> 8));
        return *this;
    }
    Bytes& Dword(uint32_t d) { return Word(static_cast<uint16_t>(d)).Word(static_cast<uint16_t>(d >> 16)); }
    Bytes& Text(const char16_t* s) {
        for (; *s; ++s) Word(*s);
        return Word(0);
    }
    Bytes& Align4() {
        while (data.size() % 4) data.push_back(0);
        return *this;
    }
};

// A MENUEX template: version 1, items 4 bytes after the offset word (the menu's
// help id), each item's text aligned to 2 bytes and what follows to 4.
Bytes MenuExTemplate() {
    Bytes b;
    b.Word(1).Word(4).Dword(0);                                  // header, help id
    b.Dword(MFT_STRING).Dword(0).Dword(600).Word(0x01).Text(u"&Tools").Align4().Dword(0);  // popup + help id
    b.Dword(MFT_STRING | MFT_RADIOCHECK).Dword(MFS_CHECKED).Dword(601).Word(0).Text(u"&Pen").Align4();
    b.Dword(MFT_SEPARATOR).Dword(0).Dword(0).Word(0).Text(u"").Align4();
    b.Dword(MFT_STRING).Dword(MFS_GRAYED).Dword(602).Word(0x80).Text(u"&Eraser").Align4();  // last in popup
    b.Dword(MFT_STRING).Dword(0).Dword(603).Word(0x80).Text(u"&About").Align4();             // last at the top
    return b;
}

TEST(MenuTemplates, MenuExTemplate) {
    Bytes b = MenuExTemplate();
    HMENU menu = platform::ParseMenuTemplate(b.data.data(), b.data.size());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    ExpectItems(menu, {
        {{0}, u"&Tools", 0xFFFFFFFFu, MF_POPUP},
        {{0, 0}, u"&Pen", 601, MF_CHECKED},
        {{0, 1}, u"", 0, MF_SEPARATOR},
        {{0, 2}, u"&Eraser", 602, MF_GRAYED | MF_DISABLED},
        {{1}, u"&About", 603, 0},
    });
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE;
    ASSERT_TRUE(GetMenuItemInfoW(menu, 0, TRUE, &info));
    EXPECT_EQ(info.wID, 600u);  // MENUEX popups carry their own id
    ASSERT_TRUE(GetMenuItemInfoW(menu, 601, FALSE, &info));
    EXPECT_TRUE(info.fType & MFT_RADIOCHECK);
    DestroyMenu(menu);

    // The same bytes through LoadMenuIndirectW.
    menu = LoadMenuIndirectW(b.data.data());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    DestroyMenu(menu);
}

TEST(MenuTemplates, MalformedTemplatesFailCleanly) {
    Bytes deep;
    deep.Word(0).Word(0);
    for (int i = 0; i < 40; ++i) deep.Word(MF_POPUP).Text(u"p");  // popups nested past any real menu
    deep.Word(MF_END).Word(1).Text(u"x");
    Bytes menuEx = MenuExTemplate();
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"empty", {}},
        {"half a header", Bytes().Word(0).data},
        {"unknown version", Bytes().Word(2).Word(0).Word(MF_END).Word(1).Text(u"x").data},
        {"header size past the end", Bytes().Word(0).Word(40).Word(MF_END).Word(1).Text(u"x").data},
        {"text without its terminator", Bytes().Word(0).Word(0).Word(MF_END).Word(1).Word(u'a').Word(u'b').data},
        {"popup without items", Bytes().Word(0).Word(0).Word(MF_POPUP | MF_END).Text(u"p").data},
        {"no last item", Bytes().Word(0).Word(0).Word(0).Word(1).Text(u"a").Word(0).Word(2).Text(u"b").data},
        {"nested too deep", deep.data},
        {"menuex cut short", std::vector<uint8_t>(menuEx.data.begin(), menuEx.data.end() - 6)},
        {"menuex cut in a popup's help id", std::vector<uint8_t>(menuEx.data.begin(), menuEx.data.begin() + 36)},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(platform::ParseMenuTemplate(c.bytes.data(), c.bytes.size()), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_FORMAT)) << c.what;
    }
    // An empty MENU block compiles to the header alone: an empty menu.
    Bytes header = Bytes().Word(0).Word(0);
    HMENU empty = platform::ParseMenuTemplate(header.data.data(), header.data.size());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GetMenuItemCount(empty), 0);
    DestroyMenu(empty);
}

// ---- Popup menus ---------------------------------------------------------------------------

class PopupMenuTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        owner_ = Owner();
        bar_ = LoadMenuW(Module(), MAKEINTRESOURCEW(IDM_SHELL_MENU));
        ASSERT_NE(bar_, nullptr);
        file_ = GetSubMenu(bar_, 0);
        view_ = GetSubMenu(bar_, 1);
        recent_ = GetSubMenu(file_, 2);
    }
    void TearDown() override {
        DestroyMenu(bar_);
        ShellTest::TearDown();
    }
    UINT Track(HMENU menu, UINT flags = TPM_RETURNCMD, int x = 20, int y = 60) {
        return static_cast<UINT>(TrackPopupMenuEx(menu, flags, x, y, owner_, nullptr));
    }

    HWND owner_ = nullptr;
    HMENU bar_ = nullptr, file_ = nullptr, view_ = nullptr, recent_ = nullptr;
};

TEST_F(PopupMenuTest, KeysMoveChooseAndClose) {
    const struct {
        std::vector<UINT> keys;
        UINT chosen;
    } cases[] = {
        {{VK_DOWN, VK_RETURN}, IDC_SHELL_OPEN},
        {{VK_UP, VK_RETURN}, IDC_SHELL_EXIT},                             // up from nothing: the last item
        {{VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, IDC_SHELL_EXIT},         // the separator is skipped
        {{VK_DOWN, VK_DOWN, VK_RETURN, VK_RETURN}, IDC_SHELL_RECENT1},     // Enter opens, then chooses
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}, IDC_SHELL_RECENT2},
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_LEFT, VK_DOWN, VK_RETURN}, IDC_SHELL_EXIT},
        {{'X'}, IDC_SHELL_EXIT},                                           // the mnemonic
        {{'R', '2'}, IDC_SHELL_RECENT2},
        {{VK_ESCAPE}, 0},
        {{VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}, 0},           // one level at a time
    };
    for (const auto& c : cases) {
        Driver driver;
        for (UINT key : c.keys) driver.Then([key] { Press(key); });
        EXPECT_EQ(Track(file_), c.chosen) << "first key " << c.keys[0] << ", " << c.keys.size() << " keys";
        EXPECT_EQ(FindWindowW(u"#32768", nullptr), nullptr);  // every popup gone
    }
}

TEST_F(PopupMenuTest, DisabledItemsCannotBeChosen) {
    Driver driver;
    // Zoom is greyed and Rotate disabled: Enter on them does nothing, Escape ends.
    driver.Then([] { Press(VK_DOWN); }).Then([] { Press(VK_DOWN); }).Then([] { Press(VK_RETURN); })
          .Then([] { Press(VK_DOWN); }).Then([] { Press(VK_RETURN); }).Then([this] {
              EXPECT_NE(FindWindowW(u"#32768", nullptr), nullptr);
              Tap(ItemCenter(view_, 1));  // the pen cannot choose them either
          }).Then([this] { Tap(ItemCenter(view_, 2)); }).Then([] { Press(VK_ESCAPE); });
    EXPECT_EQ(Track(view_), 0u);
}

TEST_F(PopupMenuTest, ThePenChoosesAnItemAndATapOutsideCloses) {
    {
        Driver driver;
        driver.Then([this] { Tap(ItemCenter(file_, 3)); });
        EXPECT_EQ(Track(file_), static_cast<UINT>(IDC_SHELL_EXIT));
    }
    {
        Driver driver;
        driver.Then([this] { Tap(ItemCenter(file_, 1)); })  // a separator: nothing
            .Then([this] { Tap(ItemCenter(file_, 2)); })     // opens Recent files
            .Then([this] { Tap(ItemCenter(recent_, 1)); });
        EXPECT_EQ(Track(file_), static_cast<UINT>(IDC_SHELL_RECENT2));
    }
    {
        Driver driver;
        driver.Then([] { Tap(POINT{230, 310}); });
        EXPECT_EQ(Track(file_), 0u);
    }
    // The tap outside is not passed on to the window under it.
    Pump();
    EXPECT_TRUE(Of(WM_COMMAND).empty());
}

TEST_F(PopupMenuTest, ThePenUpThatOpenedAMenuChoosesNothing) {
    // A context menu opens under a pen that is still down (its window took
    // the pen-down); lifting it there leaves the menu open.
    platform::InjectPen(platform::Pen::Down, 21, 61);
    MSG down;
    ASSERT_TRUE(PeekMessageW(&down, owner_, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    Driver driver;
    driver.Then([] { platform::InjectPen(platform::Pen::Up, 21, 61); })
        .Then([] { EXPECT_NE(FindWindowW(u"#32768", nullptr), nullptr); })
        .Then([] { Press(VK_ESCAPE); });
    EXPECT_EQ(Track(file_, TPM_RETURNCMD, 20, 60), 0u);
}

TEST_F(PopupMenuTest, TheOwnerHearsOfPopupsAndGetsTheCommand) {
    {
        Driver driver;
        driver.Then([] { Press(VK_DOWN); }).Then([] { Press(VK_DOWN); }).Then([] { Press(VK_RIGHT); })
            .Then([] { Press(VK_RETURN); });
        EXPECT_TRUE(TrackPopupMenu(file_, TPM_LEFTALIGN, 20, 60, 0, owner_, nullptr));
    }
    auto inits = Of(WM_INITMENUPOPUP, owner_);
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].wParam), file_);
    EXPECT_EQ(inits[0].lParam, MAKELPARAM(0, FALSE));
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[1].wParam), recent_);
    EXPECT_EQ(inits[1].lParam, MAKELPARAM(2, FALSE));  // its position in the File popup
    EXPECT_TRUE(Of(WM_COMMAND).empty());                 // posted: it comes with the next messages
    Pump();
    auto commands = Of(WM_COMMAND, owner_);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(IDC_SHELL_RECENT1, 0));
    EXPECT_EQ(commands[0].lParam, 0);

    // TPM_NONOTIFY: the owner hears nothing at all.
    Messages().clear();
    {
        Driver driver;
        driver.Then([] { Press(VK_DOWN); }).Then([] { Press(VK_RETURN); });
        EXPECT_TRUE(TrackPopupMenuEx(file_, TPM_NONOTIFY, 20, 60, owner_, nullptr));
    }
    Pump();
    EXPECT_TRUE(Of(WM_INITMENUPOPUP).empty());
    EXPECT_TRUE(Of(WM_COMMAND).empty());
}

TEST_F(PopupMenuTest, TheOwnerFillsAnEmptyPopupBeforeItShows) {
    HMENU empty = CreatePopupMenu();
    EXPECT_EQ(Track(empty), 0u);  // nothing to show: back at once
    OnInitMenuPopup() = [](HMENU menu) {
        if (GetMenuItemCount(menu) == 0) AppendMenuW(menu, MF_STRING, 4242, u"Filled in");
    };
    Driver driver;
    driver.Then([] { Press(VK_DOWN); }).Then([] { Press(VK_RETURN); });
    EXPECT_EQ(Track(empty), 4242u);
    DestroyMenu(empty);
}

TEST_F(PopupMenuTest, PopupsStayInsideTheVisibleDesktop) {
    const struct {
        int x, y;
        UINT flags;
        RECT expected;  // {0, 0, 0, 0}: only on the screen
    } cases[] = {
        {20, 60, TPM_LEFTALIGN | TPM_TOPALIGN, {20, 60, 0, 0}},
        {235, 315, TPM_LEFTALIGN | TPM_TOPALIGN, {0, 0, 235, 315}},    // flipped left of and above the point
        {5, 5, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {0, 0, 0, 0}},        // no room that way: kept on the screen
        {200, 160, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, {0, 0, 200, 160}},
        {120, 160, TPM_CENTERALIGN | TPM_VCENTERALIGN, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        RECT popup = {};
        Driver driver;
        driver.Then([&] { popup = WindowRectOf(FindWindowW(u"#32768", nullptr)); }).Then([] { Press(VK_ESCAPE); });
        Track(file_, TPM_RETURNCMD | c.flags, c.x, c.y);
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " flags " << c.flags);
        // The navigation bar stays visible above every popup.
        const RECT work = WorkArea();
        EXPECT_GE(popup.left, work.left);
        EXPECT_GE(popup.top, work.top);
        EXPECT_LE(popup.right, work.right);
        EXPECT_LE(popup.bottom, work.bottom);
        EXPECT_GT(popup.right - popup.left, 0);
        if (c.expected.left) {
            EXPECT_EQ(popup.left, c.expected.left);
        }
        if (c.expected.top) {
            EXPECT_EQ(popup.top, c.expected.top);
        }
        if (c.expected.right) {
            EXPECT_EQ(popup.right, c.expected.right);
        }
        if (c.expected.bottom) {
            EXPECT_EQ(popup.bottom, c.expected.bottom);
        }
        if (c.flags & TPM_CENTERALIGN) {
            EXPECT_NEAR((popup.left + popup.right) / 2, 120, 1);
            EXPECT_NEAR((popup.top + popup.bottom) / 2, 160, 1);
        }
    }
}

// A menu of `count` items, ids 100 and up, with a separator after every
// fifth.
HMENU TallMenu(int count) {
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < count; ++i) {
        WCHAR text[32];
        wsprintfW(text, u"Item %d", i);
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(100 + i), text);
        if (i % 5 == 4 && i + 1 < count) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    return menu;
}

// Position of item `i` of TallMenu.
UINT TallPosition(int i) { return static_cast<UINT>(i + i / 5); }

TEST_F(PopupMenuTest, PopupsOpenedFromTheMenuBarLeaveItVisible) {
    // With a menu bar up, the visible desktop ends at its top: a popup
    // opened anywhere, even at a point on the bar itself, stays above it.
    SHMENUBARINFO mb = {};
    mb.cbSize = sizeof(mb);
    mb.hwndParent = owner_;
    mb.nToolBarId = IDM_SHELL_BAR;
    mb.hInstRes = Module();
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    Pump();
    const RECT bar = WindowRectOf(mb.hwndMB);
    const RECT work = WorkArea();
    ASSERT_GT(bar.top, work.top);
    HMENU tall = TallMenu(30);
    const struct {
        const char* what;
        HMENU menu;
        int x, y;
        UINT flags;
    } cases[] = {
        {"small, above the bar", file_, 20, bar.top, TPM_LEFTALIGN | TPM_BOTTOMALIGN},
        {"small, from a point on the bar", file_, 20, bar.top + 5, TPM_LEFTALIGN | TPM_TOPALIGN},
        {"small, centred low", file_, 120, bar.top - 10, TPM_CENTERALIGN | TPM_VCENTERALIGN},
        {"small, near the top", file_, 200, 5, TPM_RIGHTALIGN | TPM_BOTTOMALIGN},
        {"too tall, above the bar", tall, 20, bar.top, TPM_LEFTALIGN | TPM_BOTTOMALIGN},
        {"too tall, from the top", tall, 20, work.top, TPM_LEFTALIGN | TPM_TOPALIGN},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RECT popup = {};
        Driver driver;
        driver.Then([&] { popup = WindowRectOf(FindWindowW(u"#32768", nullptr)); }).Then([] { Press(VK_ESCAPE); });
        Track(c.menu, TPM_RETURNCMD | c.flags, c.x, c.y);
        EXPECT_GT(popup.bottom, popup.top);
        EXPECT_GE(popup.top, work.top);
        EXPECT_LE(popup.bottom, bar.top);
        EXPECT_GE(popup.left, work.left);
        EXPECT_LE(popup.right, work.right);
        if (c.menu == tall) {
            // Too tall for the space: it takes all of it and scrolls.
            EXPECT_EQ(popup.top, work.top);
            EXPECT_EQ(popup.bottom, bar.top);
        }
    }
    DestroyMenu(tall);
    DestroyWindow(mb.hwndMB);
}

TEST_F(PopupMenuTest, ATallPopupScrollsBetweenItsArrows) {
    HMENU tall = TallMenu(40);
    const RECT work = WorkArea();
    RECT popup = {};
    RECT first = {}, firstAfterDown = {}, firstAfterUp = {}, last = {}, lastAtEnd = {};
    bool lastShowing = true;
    Driver driver;
    driver.Then([&] {
              popup = WindowRectOf(FindWindowW(u"#32768", nullptr));
              GetMenuItemRect(nullptr, tall, TallPosition(0), &first);
              GetMenuItemRect(nullptr, tall, TallPosition(39), &last);
              lastShowing = last.top < popup.bottom;
          })
        .Then([&] { Tap(POINT{(popup.left + popup.right) / 2, popup.bottom - 4}); })  // the down arrow
        .Then([&] { GetMenuItemRect(nullptr, tall, TallPosition(0), &firstAfterDown); })
        .Then([&] { Tap(POINT{(popup.left + popup.right) / 2, popup.top + 4}); })  // the up arrow
        .Then([&] { GetMenuItemRect(nullptr, tall, TallPosition(0), &firstAfterUp); })
        .Then([] { Press(VK_UP); })  // from nothing to the last item, scrolled into view
        .Then([&] { GetMenuItemRect(nullptr, tall, TallPosition(39), &lastAtEnd); })
        .Then([] { Press(VK_RETURN); });
    // The arrow taps chose nothing; Enter chose the last item.
    EXPECT_EQ(Track(tall, TPM_RETURNCMD, 20, work.top), 139u);
    EXPECT_EQ(popup.top, work.top);
    EXPECT_EQ(popup.bottom, work.bottom);
    EXPECT_GT(first.top, popup.top + 4) << "the first item lies below the up arrow";
    EXPECT_FALSE(lastShowing) << "the last item starts scrolled out of view";
    EXPECT_LT(firstAfterDown.top, first.top);
    EXPECT_EQ(firstAfterDown.bottom - firstAfterDown.top, first.bottom - first.top);
    EXPECT_EQ(firstAfterUp.top, first.top);
    EXPECT_GT(lastAtEnd.top, popup.top);
    EXPECT_LT(lastAtEnd.bottom, popup.bottom - 4) << "the last item lies above the down arrow";
    DestroyMenu(tall);
}

TEST_F(PopupMenuTest, SeparatorRowsAreThePopupsOwn) {
    // Whatever was on the screen before (here a red fill; on the device the
    // window under the menu, or a submenu that has just closed) must not
    // show through the separator rows, in a short popup or a scrolling one.
    HMENU tall = TallMenu(40);
    const struct {
        const char* what;
        HMENU menu;
        std::vector<UINT> separators;  // positions
    } cases[] = {
        {"short", file_, {1}},
        {"scrolling", tall, {TallPosition(4) + 1, TallPosition(9) + 1}},
    };
    auto isRed = [](COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HDC screen = GetDC(nullptr);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT all = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        FillRect(screen, &all, red);
        DeleteObject(red);
        ReleaseDC(nullptr, screen);
        std::vector<int> stale(c.separators.size(), -1);
        Driver driver;
        driver.Then([&] {
                  for (size_t i = 0; i < c.separators.size(); ++i) {
                      RECT r = {};
                      if (!GetMenuItemRect(nullptr, c.menu, c.separators[i], &r)) continue;
                      stale[i] = 0;
                      for (int y = r.top; y < r.bottom; ++y)
                          for (int x = r.left; x < r.right; ++x)
                              if (isRed(gwes_test::ScreenPixel(x, y))) ++stale[i];
                  }
              })
            .Then([] { Press(VK_ESCAPE); });
        Track(c.menu, TPM_RETURNCMD, 20, 60);
        for (size_t i = 0; i < c.separators.size(); ++i) {
            EXPECT_EQ(stale[i], 0) << "separator at position " << c.separators[i];
        }
    }
    DestroyMenu(tall);
}

TEST_F(PopupMenuTest, SubmenusCascadeOnTheSideWithRoom) {
    HMENU menu = CreatePopupMenu();
    HMENU sub = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, u"A");
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"B");
    AppendMenuW(sub, MF_STRING, 2, u"C");
    for (int x : {10, 235}) {
        RECT parent = {}, child = {};
        Driver driver;
        driver.Then([] { Press(VK_UP); }).Then([] { Press(VK_RIGHT); }).Then([&] {
            GetMenuItemRect(nullptr, menu, 1, &parent);
            GetMenuItemRect(nullptr, sub, 0, &child);
        });
        EXPECT_EQ(Track(menu, TPM_RETURNCMD, x, 60), 0u);
        SCOPED_TRACE(x);
        EXPECT_EQ(child.top, parent.top);
        if (x < 120) {
            EXPECT_GE(child.left, parent.right - 4);  // to the right
        } else {
            EXPECT_LE(child.right, parent.left + 4);  // no room there: to the left
        }
        EXPECT_GE(child.left, 0);
        EXPECT_LE(child.right, 240);
    }
    DestroyMenu(menu);
}

TEST_F(PopupMenuTest, CheckedItemsShowACheckMark) {
    int marks[2] = {0, 0};
    Driver driver;
    driver.Then([&] {
        for (UINT item = 0; item < 2; ++item) {
            RECT r = {};
            ASSERT_TRUE(GetMenuItemRect(nullptr, view_, item, &r));
            // The check column: the left part of the item, before the text.
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.left + 14; ++x)
                    if (gwes_test::ScreenPixel(x, y) == RGB(0, 0, 0)) ++marks[item];
        }
    }).Then([] { Press(VK_ESCAPE); });
    Track(view_);
    EXPECT_GT(marks[0], 4);   // Full Screen is checked
    EXPECT_EQ(marks[1], 0);   // Zoom is not
}

TEST_F(PopupMenuTest, OneMenuAtATime) {
    DWORD error = 0;
    BOOL second = TRUE;
    Driver driver;
    driver.Then([&] {
        SetLastError(0);
        second = TrackPopupMenuEx(view_, TPM_RETURNCMD, 10, 10, owner_, nullptr);
        error = GetLastError();
    }).Then([] { Press(VK_ESCAPE); });
    Track(file_);
    EXPECT_FALSE(second);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_POPUP_ALREADY_ACTIVE));

    SetLastError(0);
    EXPECT_FALSE(TrackPopupMenuEx(file_, 0, 10, 10, reinterpret_cast<HWND>(0x7777), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(TrackPopupMenuEx(reinterpret_cast<HMENU>(0x7777), 0, 10, 10, owner_, nullptr));
}

TEST_F(PopupMenuTest, AMenuNeverTakesTheFocus) {
    ASSERT_EQ(GetFocus(), owner_);
    HWND focus = nullptr, active = nullptr;
    Driver driver;
    driver.Then([this] { Tap(ItemCenter(file_, 1)); })  // a tap inside the menu (on the separator)
        .Then([&] {
            focus = GetFocus();
            active = GetActiveWindow();
        })
        .Then([this] { Tap(ItemCenter(file_, 0)); });
    EXPECT_EQ(Track(file_), static_cast<UINT>(IDC_SHELL_OPEN));
    EXPECT_EQ(focus, owner_);
    EXPECT_EQ(active, owner_);
    EXPECT_EQ(GetFocus(), owner_);
}

}  // namespace
