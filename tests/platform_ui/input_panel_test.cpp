// The input panel and the visible desktop: the work area and the panel's
// information as the navigation bar and the panel come and go, the settings
// change every top-level window hears, typing on the panel's keyboard with
// the pen, and the navigation bar's panel button.
#include <gtest/gtest.h>

#include <string>

#include "shell_fixture.h"

using namespace shell_test;

namespace {

constexpr RECT kPanel = {0, 320 - 26 - 80, 240, 320 - 26};

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

std::string Show(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

class InputPanelTest : public ShellTest {};

TEST_F(InputPanelTest, TheVisibleDesktopFollowsTheBarsAndThePanel) {
    const struct {
        bool taskBar;
        bool panel;
        RECT visible;
    } cases[] = {
        {true, false, {0, 26, 240, 320}},
        {true, true, {0, 26, 240, kPanel.top}},
        {false, false, {0, 0, 240, 320}},
        {false, true, {0, 0, 240, kPanel.top}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "task bar " << c.taskBar << ", panel " << c.panel);
        SHFullScreen(GetDesktopWindow(), c.taskBar ? SHFS_SHOWTASKBAR : SHFS_HIDETASKBAR);
        SipShowIM(c.panel ? SIPF_ON : SIPF_OFF);
        Pump();
        SIPINFO si = {};
        si.cbSize = sizeof(si);
        ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
        EXPECT_EQ(si.fdwFlags, static_cast<DWORD>((c.panel ? SIPF_ON : SIPF_OFF) | SIPF_DOCKED));
        EXPECT_TRUE(Same(si.rcVisibleDesktop, c.visible)) << Show(si.rcVisibleDesktop);
        EXPECT_TRUE(Same(si.rcSipRect, kPanel)) << Show(si.rcSipRect);
        EXPECT_TRUE(Same(WorkArea(), c.visible)) << Show(WorkArea());
        RECT work;
        platform::GetWorkArea(&work);
        EXPECT_TRUE(Same(work, c.visible));
        SIPINFO again = {};
        again.cbSize = sizeof(again);
        ASSERT_TRUE(SipGetInfo(&again));
        EXPECT_TRUE(Same(again.rcVisibleDesktop, si.rcVisibleDesktop));

        // The bars' own windows show exactly when they are up.
        HWND navigation = FindWindowW(u"HHTaskBar", nullptr);
        ASSERT_NE(navigation, nullptr);
        EXPECT_EQ(IsWindowVisible(navigation) != FALSE, c.taskBar);
        HWND panel = FindWindowW(u"SipWndClass", nullptr);
        EXPECT_EQ(panel && IsWindowVisible(panel), c.panel);
        if (c.panel) {
            EXPECT_TRUE(Same(WindowRectOf(panel), kPanel));
        }

        // A new window's default place is the visible desktop.
        HWND top = CreateWindowExW(0, kLoggingClass, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
        EXPECT_TRUE(Same(WindowRectOf(top), c.visible)) << Show(WindowRectOf(top));
        DestroyWindow(top);
    }
}

TEST_F(InputPanelTest, EveryTopLevelWindowHearsThePanelMove) {
    HWND first = Owner(u"first");
    HWND second = Owner(u"second");
    HWND child = CreateWindowExW(0, kLoggingClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, first, nullptr,
                                 nullptr, nullptr);
    auto heard = [&](HWND h) {
        int n = 0;
        for (const Sent& s : Of(WM_SETTINGCHANGE, h)) n += s.wParam == SPI_SETSIPINFO ? 1 : 0;
        return n;
    };
    const struct {
        const char* what;
        std::function<void()> act;
        int total;  // settings changes each top-level window has heard so far
    } steps[] = {
        {"SipShowIM up", [] { SipShowIM(SIPF_ON); }, 1},
        {"up again: nothing moved", [] { SipShowIM(SIPF_ON); }, 1},
        {"SHSipInfo down",
         [] {
             SIPINFO si = {};
             si.cbSize = sizeof(si);
             si.fdwFlags = SIPF_OFF;
             SHSipInfo(SPI_SETSIPINFO, 0, &si, 0);
         },
         2},
        {"SHSipPreference up", [&] { SHSipPreference(first, SIP_UP); }, 3},
        {"SHSipPreference unchanged", [&] { SHSipPreference(first, SIP_UNCHANGED); }, 3},
        {"SipSetInfo down",
         [] {
             SIPINFO si = {};
             si.cbSize = sizeof(si);
             SipSetInfo(&si);
         },
         4},
    };
    for (const auto& s : steps) {
        s.act();
        Pump();
        EXPECT_EQ(heard(first), s.total) << s.what;
        EXPECT_EQ(heard(second), s.total) << s.what;
        EXPECT_EQ(heard(child), 0) << s.what;
    }
}

TEST_F(InputPanelTest, BadRequestsAreRefused) {
    SIPINFO si = {};
    si.cbSize = 12;
    SetLastError(0);
    EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(SHSipInfo(SPI_GETSIPINFO, 0, nullptr, 0));
    EXPECT_FALSE(SipGetInfo(&si));
    si.cbSize = sizeof(si);
    EXPECT_FALSE(SHSipInfo(0x7777, 0, &si, 0));
    EXPECT_FALSE(SHSipPreference(reinterpret_cast<HWND>(0x7777), SIP_UP));
}

// The centre of a key of the panel: rows of 16 pixels, keys in thirtieths of
// the width (8 pixels), as the panel lays them out.
POINT Key(int row, int firstUnit, int units) {
    return {(firstUnit * 2 + units) * 8 / 2, kPanel.top + row * 16 + 8};
}

TEST_F(InputPanelTest, ThePensKeysTypeIntoTheFocusWindow) {
    HWND owner = Owner();
    HWND field = CreateWindowExW(0, kLoggingClass, nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 100, 20, owner, nullptr,
                                 nullptr, nullptr);
    SetFocus(field);
    SipShowIM(SIPF_ON);
    Pump();
    const POINT keys[] = {
        Key(2, 14, 2),  // h
        Key(1, 17, 2),  // i
        Key(3, 0, 5),   // shift on
        Key(2, 4, 2),   // A
        Key(0, 2, 2),   // ! (a shifted 1)
        Key(3, 0, 5),   // shift off
        Key(0, 2, 2),   // 1
        Key(0, 22, 2),  // -
        Key(3, 21, 2),  // . after m , (units 5..19 are z..m, 19 is ",", 21 is ".")
        Key(4, 6, 18),  // space
        Key(0, 26, 4),  // backspace
        Key(2, 26, 4),  // enter
    };
    for (POINT p : keys) {
        Tap(p);
        Pump();
    }
    std::u16string typed;
    for (const Sent& s : Of(WM_CHAR, field)) typed.push_back(static_cast<char16_t>(s.wParam));
    EXPECT_EQ(typed, u"hiA!1-. \b\r");
    std::vector<WPARAM> downs;
    for (const Sent& s : Of(WM_KEYDOWN, field))
        if (s.wParam != VK_SHIFT) downs.push_back(s.wParam);
    const std::vector<WPARAM> expectedDowns = {'H', 'I', 'A', 0xE5, '1', 0xBD, 0xBE, VK_SPACE, VK_BACK, VK_RETURN};
    EXPECT_EQ(downs, expectedDowns);
    EXPECT_EQ(Of(WM_KEYUP, field).size(), Of(WM_KEYDOWN, field).size());
    EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);  // the shift went back up
    // The panel never took the focus or the activation.
    EXPECT_EQ(GetFocus(), field);
    EXPECT_EQ(GetActiveWindow(), owner);

    // A real keyboard still types into the same window.
    Messages().clear();
    Press('Q');
    Pump();
    ASSERT_EQ(Of(WM_CHAR, field).size(), 1u);
    EXPECT_EQ(Of(WM_CHAR, field)[0].wParam, static_cast<WPARAM>(u'q'));
}

TEST_F(InputPanelTest, TheNavigationBarButtonRaisesAndLowersThePanel) {
    Owner();
    const POINT button = {240 - 13, 13};
    Tap(button);
    Pump();
    EXPECT_TRUE(FindWindowW(u"SipWndClass", nullptr) && IsWindowVisible(FindWindowW(u"SipWndClass", nullptr)));
    SIPINFO si = {};
    si.cbSize = sizeof(si);
    SipGetInfo(&si);
    EXPECT_TRUE(si.fdwFlags & SIPF_ON);
    Tap(button);
    Pump();
    SipGetInfo(&si);
    EXPECT_FALSE(si.fdwFlags & SIPF_ON);

    // Without the button the tap does nothing.
    SHFullScreen(GetDesktopWindow(), SHFS_HIDESIPBUTTON);
    Tap(button);
    Pump();
    SipGetInfo(&si);
    EXPECT_FALSE(si.fdwFlags & SIPF_ON);
}

TEST_F(InputPanelTest, WindowsKeepThemselvesFittedToThePanel) {
    HWND owner = Owner();
    SHMENUBARINFO mb = {};
    mb.cbSize = sizeof(mb);
    mb.hwndParent = owner;
    mb.dwFlags = SHCMBF_EMPTYBAR;
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    SHACTIVATEINFO sai = {};
    sai.cbSize = sizeof(sai);

    SipShowIM(SIPF_ON);
    EXPECT_TRUE(SHHandleWMSettingChange(owner, SPI_SETSIPINFO, 0, &sai));
    EXPECT_TRUE(Same(WindowRectOf(owner), RECT{0, 26, 240, kPanel.top}));
    EXPECT_EQ(sai.fSipUp, 1u);
    SipShowIM(SIPF_OFF);
    EXPECT_TRUE(SHHandleWMSettingChange(owner, SPI_SETSIPINFO, 0, &sai));
    EXPECT_TRUE(Same(WindowRectOf(owner), RECT{0, 26, 240, 320 - 26}));  // above its menu bar
    EXPECT_FALSE(SHHandleWMSettingChange(owner, 0, 0, &sai));

    // Leaving with the panel up and coming back puts it up again.
    SipShowIM(SIPF_ON);
    EXPECT_TRUE(SHHandleWMActivate(owner, MAKEWPARAM(WA_INACTIVE, 0), 0, &sai, 0));
    SipShowIM(SIPF_OFF);
    EXPECT_TRUE(SHHandleWMActivate(owner, MAKEWPARAM(WA_ACTIVE, 0), 0, &sai, 0));
    SIPINFO si = {};
    si.cbSize = sizeof(si);
    SipGetInfo(&si);
    EXPECT_TRUE(si.fdwFlags & SIPF_ON);
}

}  // namespace
