// The shell: the navigation bar (full screen, its title and buttons),
// SHInitDialog, the tap-and-hold gesture and SHGetFileInfo's type names and
// system icons.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "shell_fixture.h"

using namespace shell_test;

namespace {

class ShellBarsTest : public ShellTest {
protected:
    // The navigation bar's pixels in a strip of x, for telling drawings apart.
    static std::vector<COLORREF> Strip(int left, int right) {
        std::vector<COLORREF> out;
        for (int y = 0; y < 26; ++y)
            for (int x = left; x < right; ++x) out.push_back(gwes_test::ScreenPixel(x, y));
        return out;
    }
    static int CountColor(const std::vector<COLORREF>& pixels, COLORREF color) {
        return static_cast<int>(std::count(pixels.begin(), pixels.end(), color));
    }
};

TEST_F(ShellBarsTest, HidingTheTaskBarGivesAWindowTheWholeScreen) {
    HWND owner = Owner();
    HWND navigation = FindWindowW(u"HHTaskBar", nullptr);
    ASSERT_NE(navigation, nullptr);
    RECT bar = WindowRectOf(navigation), expected = {0, 0, 240, 26};
    EXPECT_TRUE(EqualRect(&bar, &expected));
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), navigation);

    ASSERT_TRUE(SHFullScreen(owner, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON));
    MoveWindow(owner, 0, 0, 240, 320, TRUE);
    Pump();
    EXPECT_FALSE(IsWindowVisible(navigation));
    EXPECT_EQ(WorkArea().top, 0);
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), owner);

    ASSERT_TRUE(SHFullScreen(owner, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON));
    Pump();
    EXPECT_TRUE(IsWindowVisible(navigation));
    EXPECT_EQ(WorkArea().top, 26);
    EXPECT_EQ(WindowFromPoint(POINT{5, 5}), navigation);  // the bar stays above the window
    EXPECT_EQ(GetActiveWindow(), owner);

    SetLastError(0);
    EXPECT_FALSE(SHFullScreen(reinterpret_cast<HWND>(0x7777), SHFS_HIDETASKBAR));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(ShellBarsTest, TheStartIconAndThePanelButtonComeAndGo) {
    Owner();
    Pump();
    const COLORREF red = RGB(255, 0, 0), white = RGB(255, 255, 255);
    EXPECT_GT(CountColor(Strip(0, 26), red), 10);
    EXPECT_GT(CountColor(Strip(214, 240), white), 10);
    SHFullScreen(GetDesktopWindow(), SHFS_HIDESTARTICON | SHFS_HIDESIPBUTTON);
    Pump();
    EXPECT_EQ(CountColor(Strip(0, 26), red), 0);
    EXPECT_EQ(CountColor(Strip(214, 240), white), 0);
    SHFullScreen(GetDesktopWindow(), SHFS_SHOWSTARTICON | SHFS_SHOWSIPBUTTON);
    Pump();
    EXPECT_GT(CountColor(Strip(0, 26), red), 10);
}

TEST_F(ShellBarsTest, TheTitleIsTheActiveWindows) {
    HWND first = Owner(u"Images");
    Pump();
    auto before = Strip(30, 180);
    SetWindowTextW(first, u"Other title");
    Pump();
    auto renamed = Strip(30, 180);
    EXPECT_NE(renamed, before);
    HWND second = Owner(u"Images");  // activated on showing
    ASSERT_EQ(GetActiveWindow(), second);
    Pump();
    EXPECT_EQ(Strip(30, 180), before);  // the same title draws the same
    SetActiveWindow(first);
    Pump();
    EXPECT_EQ(Strip(30, 180), renamed);
}

// ---- SHInitDialog ----------------------------------------------------------------------------

TEST_F(ShellBarsTest, InitDialogSizesTheDialog) {
    const struct {
        DWORD flags;
        bool panel;
        bool taskBar;
        RECT expected;
    } cases[] = {
        {SHIDIF_SIZEDLGFULLSCREEN, false, true, {0, 26, 240, 294}},
        {SHIDIF_SIZEDLGFULLSCREEN, true, true, {0, 26, 240, 294}},  // whatever the panel does
        {SHIDIF_SIZEDLG, false, true, {0, 26, 240, 294}},
        {SHIDIF_SIZEDLG, true, true, {0, 26, 240, 214}},            // above the panel
        {SHIDIF_FULLSCREENNOMENUBAR, false, true, {0, 26, 240, 320}},
        {SHIDIF_SIZEDLGFULLSCREEN, false, false, {0, 0, 240, 294}},
        {SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN, true, true, {0, 26, 240, 294}},
        {SHIDIF_SIZEDLG | SHIDIF_SIPDOWN, true, true, {0, 26, 240, 294}},  // the panel goes down first
        {SHIDIF_DONEBUTTON, false, true, {30, 40, 130, 140}},               // no size flag: left alone
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " panel " << c.panel);
        SHFullScreen(GetDesktopWindow(), c.taskBar ? SHFS_SHOWTASKBAR : SHFS_HIDETASKBAR);
        SipShowIM(c.panel ? SIPF_ON : SIPF_OFF);
        HWND dialog = CreateWindowExW(0, kLoggingClass, u"Dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, 30, 40,
                                      100, 100, nullptr, nullptr, nullptr, nullptr);
        SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, c.flags};
        ASSERT_TRUE(SHInitDialog(&init));
        RECT r = WindowRectOf(dialog);
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        // A dialog sized to the screen has its title in the navigation bar
        // only; its own caption strip goes.
        const bool sized = (c.flags & (SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR)) != 0;
        EXPECT_EQ((GetWindowLongW(dialog, GWL_STYLE) & WS_CAPTION) == WS_CAPTION, !sized);
        RECT client;
        GetClientRect(dialog, &client);
        if (sized) {
            EXPECT_EQ(client.bottom, r.bottom - r.top);
        }
        SIPINFO si = {};
        si.cbSize = sizeof(si);
        SipGetInfo(&si);
        EXPECT_EQ((si.fdwFlags & SIPF_ON) != 0, c.panel && !(c.flags & SHIDIF_SIPDOWN));
        DestroyWindow(dialog);
    }
    SHINITDLGINFO bad = {SHIDIM_FLAGS, reinterpret_cast<HWND>(0x7777), SHIDIF_SIZEDLG};
    EXPECT_FALSE(SHInitDialog(&bad));
    EXPECT_FALSE(SHInitDialog(nullptr));
}

TEST_F(ShellBarsTest, TheDoneButtonSendsTheDialogOk) {
    const struct {
        DWORD flags;
        WPARAM command;
    } cases[] = {{SHIDIF_DONEBUTTON, IDOK}, {SHIDIF_CANCELBUTTON, IDCANCEL}};
    for (const auto& c : cases) {
        Messages().clear();
        HWND dialog = CreateWindowExW(0, kLoggingClass, u"Dialog", WS_POPUP | WS_VISIBLE, 0, 26, 240, 268,
                                      nullptr, nullptr, nullptr, nullptr);
        SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, c.flags | SHIDIF_SIZEDLGFULLSCREEN};
        ASSERT_TRUE(SHInitDialog(&init));
        Pump();
        // The button sits left of the panel button at the right end of the bar.
        Tap(POINT{240 - 26 - 14, 13});
        Pump();
        auto commands = Of(WM_COMMAND, dialog);
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
        EXPECT_EQ(GetActiveWindow(), dialog);
        DestroyWindow(dialog);
    }
    // A window without the button: the same tap sends nothing.
    HWND plain = Owner();
    Messages().clear();
    Tap(POINT{240 - 26 - 14, 13});
    Pump();
    EXPECT_TRUE(Of(WM_COMMAND, plain).empty());
}

TEST_F(ShellBarsTest, AnEmptyMenuBarForTheDialog) {
    HWND dialog = Owner(u"Dialog");
    SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, SHIDIF_EMPTYMENU | SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&init));
    HWND bar = SHFindMenuBar(dialog);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0), 0);
    EXPECT_TRUE(IsWindowVisible(bar));
}

// ---- Tap and hold ------------------------------------------------------------------------------

TEST_F(ShellBarsTest, TapAndHoldIsAGestureAndATapIsNot) {
    HWND owner = Owner();
    HWND child = CreateWindowExW(0, kLoggingClass, nullptr, WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, owner,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(12)), nullptr, nullptr);
    SHRGINFO rg = {sizeof(SHRGINFO), child, {20, 20}, SHRG_RETURNCMD};
    platform::InjectPen(platform::Pen::Down, 30, 56);
    platform::InjectPen(platform::Pen::Up, 30, 56);
    MSG down;
    ASSERT_TRUE(PeekMessageW(&down, child, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(SHRecognizeGesture(&rg), 0u);  // lifted: a tap
    MSG up;
    EXPECT_TRUE(PeekMessageW(&up, child, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE));  // left for the window

    Pump();
    platform::InjectPen(platform::Pen::Down, 30, 56);
    ASSERT_TRUE(PeekMessageW(&down, child, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    rg.dwFlags = SHRG_NOTIFYPARENT;
    EXPECT_EQ(SHRecognizeGesture(&rg), static_cast<DWORD>(GN_CONTEXTMENU));  // held
    auto notes = Of(WM_NOTIFY, owner);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].wParam, 12u);
    platform::InjectPen(platform::Pen::Up, 30, 56);
    Pump();
}

// ---- SHGetFileInfo -------------------------------------------------------------------------------

TEST_F(ShellBarsTest, TypeNames) {
    const struct {
        const char16_t* path;
        DWORD attributes;
        const char16_t* type;
        const char16_t* display;
    } cases[] = {
        {u"\\My Documents\\scan.dcm", FILE_ATTRIBUTE_NORMAL, u"DICOM File", u"scan.dcm"},
        {u"\\My Documents\\KNEE.DCM", FILE_ATTRIBUTE_NORMAL, u"DICOM File", u"KNEE.DCM"},
        {u"photo.jpg", FILE_ATTRIBUTE_NORMAL, u"JPEG Image", u"photo.jpg"},
        {u"\\a.b\\x.bmp", FILE_ATTRIBUTE_NORMAL, u"Bitmap Image", u"x.bmp"},
        {u"clip.avi", FILE_ATTRIBUTE_NORMAL, u"Video Clip", u"clip.avi"},
        {u"note.wav", FILE_ATTRIBUTE_NORMAL, u"Wave Sound", u"note.wav"},
        {u"data.xyz", FILE_ATTRIBUTE_NORMAL, u"XYZ File", u"data.xyz"},
        {u"\\README", FILE_ATTRIBUTE_NORMAL, u"File", u"README"},
        {u"\\My Documents\\Trip.dcm", FILE_ATTRIBUTE_DIRECTORY, u"Folder", u"Trip.dcm"},
    };
    for (const auto& c : cases) {
        SHFILEINFOW info = {};
        ASSERT_TRUE(SHGetFileInfoW(c.path, c.attributes, &info, sizeof(info),
                                   SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME | SHGFI_DISPLAYNAME));
        EXPECT_EQ(std::u16string(info.szTypeName), c.type);
        EXPECT_EQ(std::u16string(info.szDisplayName), c.display);
    }
}

TEST_F(ShellBarsTest, RealFilesAndRegisteredTypes) {
    HANDLE file = CreateFileW(u"\\My Documents\\head.dcm", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    SHFILEINFOW info = {};
    ASSERT_TRUE(SHGetFileInfoW(u"\\My Documents\\head.dcm", 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_ATTRIBUTES));
    EXPECT_EQ(std::u16string(info.szTypeName), u"DICOM File");
    EXPECT_FALSE(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(SHGetFileInfoW(u"\\Windows", 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_ATTRIBUTES));
    EXPECT_EQ(std::u16string(info.szTypeName), u"Folder");
    EXPECT_TRUE(info.dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
    SetLastError(0);
    EXPECT_EQ(SHGetFileInfoW(u"\\My Documents\\missing.dcm", 0, &info, sizeof(info), SHGFI_TYPENAME), 0u);
    EXPECT_NE(GetLastError(), 0u);
    EXPECT_EQ(SHGetFileInfoW(u"x.dcm", 0, &info, 10, SHGFI_TYPENAME | SHGFI_USEFILEATTRIBUTES), 0u);

    // A file association in the registry names its type.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u".mab", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    const WCHAR progId[] = u"mabfile";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(progId), sizeof(progId));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"mabfile", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    const WCHAR described[] = u"Image Album";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(described), sizeof(described));
    RegCloseKey(key);
    ASSERT_TRUE(SHGetFileInfoW(u"trip.mab", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                               SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME));
    EXPECT_EQ(std::u16string(info.szTypeName), u"Image Album");
}

TEST_F(ShellBarsTest, SystemIcons) {
    const struct {
        const char16_t* path;
        DWORD attributes;
    } kinds[] = {
        {u"a.txt", FILE_ATTRIBUTE_NORMAL},  {u"folder", FILE_ATTRIBUTE_DIRECTORY}, {u"a.jpg", FILE_ATTRIBUTE_NORMAL},
        {u"a.avi", FILE_ATTRIBUTE_NORMAL},  {u"a.wav", FILE_ATTRIBUTE_NORMAL},     {u"a.dcm", FILE_ATTRIBUTE_NORMAL},
    };
    std::set<int> indices;
    for (UINT size : {SHGFI_SMALLICON, SHGFI_LARGEICON}) {
        HIMAGELIST list = nullptr;
        for (const auto& k : kinds) {
            SHFILEINFOW info = {};
            DWORD_PTR result = SHGetFileInfoW(k.path, k.attributes, &info, sizeof(info),
                                              SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | size);
            ASSERT_NE(result, 0u);
            if (!list) list = reinterpret_cast<HIMAGELIST>(result);
            EXPECT_EQ(reinterpret_cast<HIMAGELIST>(result), list);  // one list per size
            indices.insert(info.iIcon);
            EXPECT_LT(info.iIcon, ImageList_GetImageCount(list));
        }
        int cx = 0, cy = 0;
        ASSERT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
        EXPECT_EQ(cx, size == SHGFI_SMALLICON ? 16 : 32);
        EXPECT_EQ(cy, cx);
    }
    EXPECT_EQ(indices.size(), 6u);  // one icon per kind, the same in both sizes

    // Files of one kind share their icon.
    SHFILEINFOW a = {}, b = {};
    SHGetFileInfoW(u"x.gif", 0, &a, sizeof(a), SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX);
    SHGetFileInfoW(u"y.bmp", 0, &b, sizeof(b), SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX);
    EXPECT_EQ(a.iIcon, b.iIcon);

    // SHGFI_ICON hands out an icon of the caller's own.
    SHFILEINFOW withIcon = {};
    ASSERT_TRUE(SHGetFileInfoW(u"x.dcm", 0, &withIcon, sizeof(withIcon),
                               SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON));
    ASSERT_NE(withIcon.hIcon, nullptr);
    ICONINFO ii = {};
    EXPECT_TRUE(GetIconInfo(withIcon.hIcon, &ii));
    if (ii.hbmColor) DeleteObject(ii.hbmColor);
    if (ii.hbmMask) DeleteObject(ii.hbmMask);
    EXPECT_TRUE(DestroyIcon(withIcon.hIcon));
}

// A large screen draws everything twice as big: the system icons too. Each
// size keeps its own list, so a later small screen gets its 16x16 icons back.
TEST_F(ShellBarsTest, SystemIconsFollowTheScreensIconSize) {
    auto iconSizes = [] {
        std::pair<int, int> sizes;
        for (UINT size : {SHGFI_SMALLICON, SHGFI_LARGEICON}) {
            SHFILEINFOW info = {};
            auto list = reinterpret_cast<HIMAGELIST>(SHGetFileInfoW(
                u"a.dcm", 0, &info, sizeof(info), SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | size));
            int cx = 0, cy = 0;
            EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
            (size == SHGFI_SMALLICON ? sizes.first : sizes.second) = cx;
        }
        return sizes;
    };
    platform::DisplayOptions large;
    large.root = root_;
    large.screen = "480x640x16";
    large.backend = "headless";
    ASSERT_TRUE(platform::StartDisplay(large));
    EXPECT_EQ(iconSizes(), std::make_pair(32, 64));
    platform::DisplayOptions small = large;
    small.screen = "240x320x16";
    ASSERT_TRUE(platform::StartDisplay(small));
    EXPECT_EQ(iconSizes(), std::make_pair(16, 32));
}

}  // namespace
