// Menu bars (SHCreateMenuBar): made from the test script's SHMENUBAR record
// and its menu (or from a menu handle), their buttons opening popups above
// the bar and sending commands, and the toolbar messages the bar answers.
#include <gtest/gtest.h>

#include "shell_fixture.h"
#include "shell_ids.h"

using namespace shell_test;

namespace {

class MenuBarTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        owner_ = Owner();
    }

    HWND MakeBar(DWORD flags = 0, UINT id = IDM_SHELL_BAR) {
        SHMENUBARINFO mb = {};
        mb.cbSize = sizeof(mb);
        mb.hwndParent = owner_;
        mb.dwFlags = flags;
        mb.nToolBarId = id;
        mb.hInstRes = Module();
        if (!SHCreateMenuBar(&mb)) return nullptr;
        Pump();
        return mb.hwndMB;
    }
    // The centre of a button on the screen.
    static POINT Button(HWND bar, int command) {
        RECT r = {};
        EXPECT_TRUE(SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&r)));
        RECT place = WindowRectOf(bar);
        OffsetRect(&r, place.left, place.top);
        return Center(r);
    }
    static HMENU Popup(HWND bar, int command) {
        return reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, command));
    }

    HWND owner_ = nullptr;
};

TEST_F(MenuBarTest, TheRecordMakesOneButtonPerPopupAndItsPlainButtons) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    WCHAR cls[32] = {};
    GetClassNameW(bar, cls, 32);
    EXPECT_EQ(std::u16string(cls), u"menu_worker");
    RECT place = WindowRectOf(bar);
    EXPECT_EQ(place.left, 0);
    EXPECT_EQ(place.top, 320 - 26);
    EXPECT_EQ(place.right, 240);
    EXPECT_EQ(place.bottom, 320);
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_EQ(SHFindMenuBar(owner_), bar);
    EXPECT_EQ(GetWindow(bar, GW_OWNER), owner_);

    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 3);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0));
    ASSERT_TRUE(IsMenu(menu));
    EXPECT_EQ(Popup(bar, IDC_SHELL_BAR_FILE), GetSubMenu(menu, 0));
    EXPECT_EQ(Popup(bar, IDC_SHELL_BAR_IMAGE), GetSubMenu(menu, 1));
    EXPECT_EQ(Popup(bar, IDC_SHELL_BAR_DONE), nullptr);
    // Buttons side by side from the left, as wide as their texts.
    POINT file = Button(bar, IDC_SHELL_BAR_FILE), image = Button(bar, IDC_SHELL_BAR_IMAGE),
          done = Button(bar, IDC_SHELL_BAR_DONE);
    EXPECT_LT(file.x, image.x);
    EXPECT_LT(image.x, done.x);
    EXPECT_LT(done.x, 200);

    // The bar owns the menu it loaded.
    DestroyWindow(bar);
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_EQ(SHFindMenuBar(owner_), nullptr);
}

TEST_F(MenuBarTest, AMenuButtonOpensItsPopupAboveTheBar) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    HMENU file = Popup(bar, IDC_SHELL_BAR_FILE);
    RECT item = {};
    Tap(Button(bar, IDC_SHELL_BAR_FILE));
    {
        Driver driver;
        driver.Then([&] { GetMenuItemRect(nullptr, file, 1, &item); })
            .Then([&] { Tap(ItemCenter(file, 1)); })  // Save is greyed: nothing
            .Then([&] { Tap(ItemCenter(file, 0)); });
        Pump();
    }
    EXPECT_LE(item.bottom, 320 - 26);  // the popup sits on the bar
    EXPECT_GT(item.bottom, 320 - 26 - 8);
    auto inits = Of(WM_INITMENUPOPUP, owner_);
    ASSERT_EQ(inits.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[0].wParam), file);
    EXPECT_EQ(LOWORD(inits[0].lParam), 0);
    auto commands = Of(WM_COMMAND, owner_);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].wParam, MAKEWPARAM(IDC_SHELL_NEW, 0));
    EXPECT_EQ(GetActiveWindow(), owner_);  // the bar never takes the activation
    EXPECT_EQ(GetFocus(), owner_);
}

TEST_F(MenuBarTest, ATapOnAnotherMenuButtonOpensThatOne) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    HMENU image = Popup(bar, IDC_SHELL_BAR_IMAGE);
    HMENU rotate = GetSubMenu(image, 0);
    Tap(Button(bar, IDC_SHELL_BAR_FILE));
    {
        Driver driver;
        driver.Then([&] { Tap(Button(bar, IDC_SHELL_BAR_IMAGE)); })
            .Then([&] { Tap(ItemCenter(image, 0)); })  // the Rotate submenu cascades
            .Then([&] { Tap(ItemCenter(rotate, 1)); });
        Pump();
    }
    auto inits = Of(WM_INITMENUPOPUP, owner_);
    ASSERT_EQ(inits.size(), 3u);
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[1].wParam), image);
    EXPECT_EQ(LOWORD(inits[1].lParam), 1);  // its position in the bar's menu
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[2].wParam), rotate);
    auto commands = Of(WM_COMMAND, owner_);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), IDC_SHELL_ROTATE_RIGHT);
}

TEST_F(MenuBarTest, TappingTheOpenButtonAgainClosesItsPopup) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    bool open = false;
    Tap(Button(bar, IDC_SHELL_BAR_FILE));
    {
        Driver driver;
        driver.Then([&] { open = FindWindowW(u"#32768", nullptr) != nullptr; })
            .Then([&] { Tap(Button(bar, IDC_SHELL_BAR_FILE)); })
            .Then([] { EXPECT_EQ(FindWindowW(u"#32768", nullptr), nullptr); });
        Pump();
    }
    EXPECT_TRUE(open);
    EXPECT_EQ(Of(WM_INITMENUPOPUP).size(), 1u);
    EXPECT_TRUE(Of(WM_COMMAND).empty());
}

TEST_F(MenuBarTest, APlainButtonSendsItsCommand) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    Tap(Button(bar, IDC_SHELL_BAR_DONE));
    Pump();
    auto commands = Of(WM_COMMAND, owner_);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), IDC_SHELL_BAR_DONE);
    EXPECT_TRUE(Of(WM_INITMENUPOPUP).empty());
    EXPECT_EQ(GetActiveWindow(), owner_);
}

TEST_F(MenuBarTest, ToolbarMessagesCountTheMenuButtonsFirst) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    TBBUTTON added[2] = {};
    added[0].iBitmap = 0;
    added[0].idCommand = 7001;
    added[0].fsState = TBSTATE_ENABLED;
    added[0].fsStyle = TBSTYLE_BUTTON;
    added[0].iString = -1;
    added[1] = added[0];
    added[1].idCommand = 7002;
    added[1].fsStyle = TBSTYLE_CHECK;
    ASSERT_TRUE(SendMessageW(bar, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(added)));
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 5);
    EXPECT_EQ(SendMessageW(bar, TB_COMMANDTOINDEX, 7001, 0), 3);
    TBBUTTON first = {};
    ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, 0, reinterpret_cast<LPARAM>(&first)));
    EXPECT_EQ(first.idCommand, IDC_SHELL_BAR_FILE);

    ASSERT_TRUE(SendMessageW(bar, TB_CHECKBUTTON, 7002, TRUE));
    EXPECT_TRUE(SendMessageW(bar, TB_GETSTATE, 7002, 0) & TBSTATE_CHECKED);
    // An image button's tap goes to the owner like a menu command.
    Tap(Button(bar, 7001));
    Pump();
    ASSERT_EQ(Of(WM_COMMAND, owner_).size(), 1u);
    EXPECT_EQ(LOWORD(Of(WM_COMMAND, owner_)[0].wParam), 7001);

    // A disabled menu button opens nothing.
    ASSERT_TRUE(SendMessageW(bar, TB_ENABLEBUTTON, IDC_SHELL_BAR_IMAGE, FALSE));
    EXPECT_FALSE(SendMessageW(bar, TB_GETSTATE, IDC_SHELL_BAR_IMAGE, 0) & TBSTATE_ENABLED);
    Tap(Button(bar, IDC_SHELL_BAR_IMAGE));
    Pump();
    EXPECT_TRUE(Of(WM_INITMENUPOPUP).empty());

    ASSERT_TRUE(SendMessageW(bar, TB_DELETEBUTTON, 3, 0));
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(bar, TB_COMMANDTOINDEX, 7001, 0), -1);
}

// The program's image buttons join the bar's text buttons; however many
// come, every button lies on the bar, its full height can be tapped, and
// room is taken from the padding only when the bar is crowded.
TEST_F(MenuBarTest, EveryButtonFitsOnTheBar) {
    const struct {
        int imageButtons;
        bool crowded;
    } cases[] = {{2, false}, {6, true}, {7, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.imageButtons);
        HWND bar = MakeBar();
        ASSERT_NE(bar, nullptr);
        RECT file0 = {};
        SendMessageW(bar, TB_GETRECT, IDC_SHELL_BAR_FILE, reinterpret_cast<LPARAM>(&file0));
        std::vector<TBBUTTON> added(static_cast<size_t>(c.imageButtons));
        for (int i = 0; i < c.imageButtons; ++i) {
            added[static_cast<size_t>(i)] = {i % 4, 7001 + i, TBSTATE_ENABLED, TBSTYLE_BUTTON, {0}, 0, -1};
        }
        ASSERT_TRUE(SendMessageW(bar, TB_ADDBUTTONSW, added.size(), reinterpret_cast<LPARAM>(added.data())));
        Pump();
        RECT place = WindowRectOf(bar);
        const int count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT r = {};
            ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)));
            EXPECT_LE(r.right, place.right - place.left) << "button " << i;
            EXPECT_EQ(r.bottom - r.top, place.bottom - place.top) << "button " << i;
        }
        RECT file = {};
        SendMessageW(bar, TB_GETRECT, IDC_SHELL_BAR_FILE, reinterpret_cast<LPARAM>(&file));
        EXPECT_EQ(file.right - file.left < file0.right - file0.left, c.crowded);
        // Fitting again (a button hidden and shown) sizes the same way.
        const LRESULT size = SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0);
        SendMessageW(bar, TB_HIDEBUTTON, 7001, TRUE);
        SendMessageW(bar, TB_HIDEBUTTON, 7001, FALSE);
        EXPECT_EQ(SendMessageW(bar, TB_GETBUTTONSIZE, 0, 0), size);
        // The last button answers a tap at the bar's bottom edge.
        RECT last = {};
        SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(7000 + c.imageButtons), reinterpret_cast<LPARAM>(&last));
        Messages().clear();
        Tap({place.left + (last.left + last.right) / 2, place.bottom - 2});
        Pump();
        ASSERT_EQ(Of(WM_COMMAND, owner_).size(), 1u);
        EXPECT_EQ(LOWORD(Of(WM_COMMAND, owner_)[0].wParam), 7000 + c.imageButtons);
        DestroyWindow(bar);
        Pump();
    }
}

TEST_F(MenuBarTest, ButtonTextsAreDrawnGreyWhenDisabled) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    // Pixels of a button that are dark (black text) and that are not the face at all.
    auto count = [&](int command, int* dark, int* drawn) {
        RECT r = {};
        SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&r));
        RECT place = WindowRectOf(bar);
        const COLORREF face = GetSysColor(COLOR_BTNFACE);
        *dark = *drawn = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                COLORREF c = gwes_test::ScreenPixel(place.left + x, place.top + y);
                if (c != face) ++*drawn;
                if (GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100) ++*dark;
            }
    };
    int dark = 0, drawn = 0;
    count(IDC_SHELL_BAR_DONE, &dark, &drawn);
    EXPECT_GT(dark, 5);
    SendMessageW(bar, TB_ENABLEBUTTON, IDC_SHELL_BAR_DONE, FALSE);
    Pump();
    count(IDC_SHELL_BAR_DONE, &dark, &drawn);
    EXPECT_EQ(dark, 0);
    EXPECT_GT(drawn, 5);  // still there, in grey
}

TEST_F(MenuBarTest, FlagsAndRefusals) {
    HWND empty = MakeBar(SHCMBF_EMPTYBAR, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SendMessageW(empty, TB_BUTTONCOUNT, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(empty));
    DestroyWindow(empty);

    HWND hidden = MakeBar(SHCMBF_HIDDEN);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    DestroyWindow(hidden);

    // From a menu handle: a button per popup, and plain items as plain buttons.
    HMENU menu = LoadMenuW(Module(), MAKEINTRESOURCEW(IDM_SHELL_MENU));
    SHMENUBARINFO mb = {};
    mb.cbSize = sizeof(mb);
    mb.hwndParent = owner_;
    mb.dwFlags = SHCMBF_HMENU;
    mb.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    EXPECT_EQ(SendMessageW(mb.hwndMB, TB_BUTTONCOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(mb.hwndMB, SHCMBM_GETMENU, 0, 0), reinterpret_cast<LRESULT>(menu));
    DestroyWindow(mb.hwndMB);
    EXPECT_TRUE(IsMenu(menu));  // the caller's menu stays the caller's
    DestroyMenu(menu);

    const struct {
        const char* what;
        DWORD cbSize;
        HWND parent;
        UINT id;
        DWORD error;
    } refused[] = {
        {"no size", 0, owner_, IDM_SHELL_BAR, ERROR_INVALID_PARAMETER},
        {"no parent", sizeof(SHMENUBARINFO), reinterpret_cast<HWND>(0x7777), IDM_SHELL_BAR,
         ERROR_INVALID_WINDOW_HANDLE},
        {"no record", sizeof(SHMENUBARINFO), owner_, 4999, ERROR_RESOURCE_NAME_NOT_FOUND},
        {"a popup the menu lacks", sizeof(SHMENUBARINFO), owner_, IDM_SHELL_BAD_BAR, ERROR_BAD_FORMAT},
    };
    for (const auto& r : refused) {
        SHMENUBARINFO bad = {};
        bad.cbSize = r.cbSize;
        bad.hwndParent = r.parent;
        bad.nToolBarId = r.id;
        bad.hInstRes = Module();
        SetLastError(0);
        EXPECT_FALSE(SHCreateMenuBar(&bad)) << r.what;
        EXPECT_EQ(GetLastError(), r.error) << r.what;
        EXPECT_EQ(bad.hwndMB, nullptr) << r.what;
    }
    EXPECT_FALSE(SHCreateMenuBar(nullptr));
}

TEST_F(MenuBarTest, TheBarGoesWithItsOwner) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    DestroyWindow(owner_);
    EXPECT_FALSE(IsWindow(bar));
}

TEST_F(MenuBarTest, SubmenusCanBeReplaced) {
    HWND bar = MakeBar();
    ASSERT_NE(bar, nullptr);
    HMENU replacement = CreatePopupMenu();
    AppendMenuW(replacement, MF_STRING, 8123, u"Other");
    HMENU old = reinterpret_cast<HMENU>(
        SendMessageW(bar, SHCMBM_SETSUBMENU, IDC_SHELL_BAR_FILE, reinterpret_cast<LPARAM>(replacement)));
    EXPECT_TRUE(IsMenu(old));
    EXPECT_EQ(Popup(bar, IDC_SHELL_BAR_FILE), replacement);
    Tap(Button(bar, IDC_SHELL_BAR_FILE));
    {
        Driver driver;
        driver.Then([&] { Tap(ItemCenter(replacement, 0)); });
        Pump();
    }
    ASSERT_EQ(Of(WM_COMMAND, owner_).size(), 1u);
    EXPECT_EQ(LOWORD(Of(WM_COMMAND, owner_)[0].wParam), 8123);
    DestroyWindow(bar);
    DestroyMenu(replacement);
}

}  // namespace
