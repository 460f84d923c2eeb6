// Tests of the virtual screen: platform options, screen sizes and depths,
// PNG screenshots of the headless screen, the automation script, the Game
// API, and finding and posting to a window of another process on the same
// device root.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "gwes_fixture.h"
#include "gx.h"
#include "platform/device.h"
#include "platform/display.h"

using namespace gwes_test;

namespace {

struct Rgb {
    int r, g, b;
};

// Reads one pixel of a screenshot file.
bool PixelOf(const std::string& png, int x, int y, Rgb* out, int* width = nullptr, int* height = nullptr) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!platform::LoadScreenshot(png, &w, &h, &rgb) || x < 0 || y < 0 || x >= w || y >= h) return false;
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
    *out = {p[0], p[1], p[2]};
    if (width) *width = w;
    if (height) *height = h;
    return true;
}

bool Same(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// ---- Options -------------------------------------------------------------------------------

TEST(DisplayOptions, ParsingRemovesPlatformOptions) {
    struct Case {
        std::vector<std::string> argv;
        bool ok;
        std::string root, screen, script, screenshot;
        std::vector<std::string> rest;
    };
    const Case cases[] = {
        {{"prog", "--root", "/r", "file.dcm"}, true, "/r", "", "", "", {"prog", "file.dcm"}},
        {{"prog", "--screen=480x640x32", "--script", "s.txt", "--screenshot", "o.png", "a", "b"},
         true, "", "480x640x32", "s.txt", "o.png", {"prog", "a", "b"}},
        {{"prog", "--rooted", "x"}, true, "", "", "", "", {"prog", "--rooted", "x"}},
        {{"prog"}, true, "", "", "", "", {"prog"}},
        {{"prog", "--root"}, false, "", "", "", "", {}},
        {{"prog", "--screenshot="}, false, "", "", "", "", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> storage = c.argv;
        std::vector<char*> argv;
        for (auto& s : storage) argv.push_back(s.data());
        argv.push_back(nullptr);
        int argc = static_cast<int>(storage.size());
        platform::DisplayOptions o;
        bool ok = platform::ParseDisplayOptions(&argc, argv.data(), &o);
        EXPECT_EQ(ok, c.ok) << c.argv.size();
        if (!ok || !c.ok) continue;
        EXPECT_EQ(o.root, c.root);
        EXPECT_EQ(o.screen, c.screen);
        EXPECT_EQ(o.script, c.script);
        EXPECT_EQ(o.screenshot, c.screenshot);
        ASSERT_EQ(argc, static_cast<int>(c.rest.size()));
        for (int i = 0; i < argc; ++i) EXPECT_EQ(argv[i], c.rest[i]);
        EXPECT_EQ(argv[argc], nullptr);
    }
}

class ScreenTest : public WindowTest {
protected:
    bool Start(const std::string& screen) {
        platform::DisplayOptions o;
        o.root = root_;
        o.screen = screen;
        o.backend = "headless";
        return platform::StartDisplay(o);
    }
    void TearDown() override {
        WindowTest::TearDown();
        EXPECT_TRUE(Start("240x320x16"));
    }
    std::string Shot(const char* name) { return Host(name); }
};

// The large screens show everything at twice the handheld's size: logical
// dots per inch, the system's lengths, the bars and what a point size becomes.
TEST_F(ScreenTest, LargeScreensDoubleTheInterface) {
    struct Case {
        const char* screen;
        int dpi, border, caption, workTop, menuBarTop;
    };
    const Case cases[] = {
        {"240x320", 96, 1, 26, 26, 294},
        {"480x640", 192, 2, 52, 52, 588},
    };
    int textWidth[2] = {};
    for (size_t i = 0; i < 2; ++i) {
        const Case& c = cases[i];
        ASSERT_TRUE(Start(c.screen)) << c.screen;
        HDC dc = GetDC(nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), c.dpi) << c.screen;
        EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), c.dpi) << c.screen;
        EXPECT_EQ(GetSystemMetrics(SM_CXBORDER), c.border) << c.screen;
        EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), c.caption) << c.screen;
        EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 13 * c.border) << c.screen;
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        EXPECT_EQ(work.top, c.workTop) << c.screen;
        // An 8-point face as a dialog template asks for it.
        LOGFONTW lf = {};
        lf.lfHeight = -(8 * GetDeviceCaps(dc, LOGPIXELSY) + 36) / 72;
        lstrcpyW(lf.lfFaceName, u"Tahoma");
        HFONT font = CreateFontIndirectW(&lf);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE size = {};
        GetTextExtentPoint32W(dc, u"Synchronize icon with viewed image", 34, &size);
        textWidth[i] = size.cx;
        SelectObject(dc, old);
        DeleteObject(font);
        ReleaseDC(nullptr, dc);
    }
    EXPECT_NEAR(textWidth[1], 2 * textWidth[0], textWidth[0] / 8);
}

TEST_F(ScreenTest, SizesAndDepths) {
    const char* bad[] = {"100x", "240x320x8", "10x10", "240x320x16x2", "x320", "5000x100"};
    for (const char* b : bad) EXPECT_FALSE(Start(b)) << b;

    struct Case {
        const char* screen;
        int width, height;
    };
    const Case cases[] = {{"240x320", 240, 320}, {"320x240x24", 320, 240}, {"480x640x32", 480, 640}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Start(c.screen)) << c.screen;
        EXPECT_STREQ(platform::DisplayBackendName(), "headless");
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.height);
        // Fill the screen in three colours and read them back from a screenshot.
        HDC dc = GetDC(nullptr);
        const COLORREF colors[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255)};
        for (int i = 0; i < 3; ++i) {
            RECT band = {0, c.height * i / 3, c.width, c.height * (i + 1) / 3};
            HBRUSH b = CreateSolidBrush(colors[i]);
            FillRect(dc, &band, b);
            DeleteObject(b);
        }
        ReleaseDC(nullptr, dc);
        std::string png = Shot("depth.png");
        ASSERT_TRUE(platform::SaveScreenshot(png));
        const Rgb expected[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
        for (int i = 0; i < 3; ++i) {
            Rgb got;
            int w = 0, h = 0;
            ASSERT_TRUE(PixelOf(png, c.width / 2, c.height * i / 3 + 2, &got, &w, &h));
            EXPECT_EQ(w, c.width);
            EXPECT_EQ(h, c.height);
            EXPECT_TRUE(Same(got, expected[i])) << c.screen << " band " << i << ": " << got.r << "," << got.g
                                                << "," << got.b;
        }
    }
    // VGA screens double the system's sizes.
    EXPECT_EQ(GetSystemMetrics(SM_CXVSCROLL), 26);
}

TEST_F(ScreenTest, ScreenshotShowsWindowsAndTheDesktop) {
    ASSERT_TRUE(Start("240x320x16"));
    HWND w = Top(0, 26, 240, 294);
    Pump();
    std::string png = Shot("screen.png");
    ASSERT_TRUE(platform::SaveScreenshot(png));
    Rgb inside, above;
    ASSERT_TRUE(PixelOf(png, 100, 100, &inside));
    ASSERT_TRUE(PixelOf(png, 100, 10, &above));
    EXPECT_TRUE(Same(inside, {255, 255, 255}));  // the class brush, COLOR_WINDOW
    EXPECT_FALSE(Same(above, inside));          // the bare desktop
    DestroyWindow(w);
    EXPECT_FALSE(platform::SaveScreenshot(Host("no-such-folder/x.png")));
    EXPECT_FALSE(platform::LoadScreenshot(Host("missing.png"), nullptr, nullptr, nullptr));
}

// ---- The Game API ------------------------------------------------------------------------------

TEST_F(ScreenTest, GameApiWritesAreShown) {
    ASSERT_TRUE(Start("240x320x16"));
    HWND w = Top(0, 0, 240, 320);
    Pump();
    ASSERT_EQ(GXOpenDisplay(w, GX_FULLSCREEN), 1);
    EXPECT_EQ(GXOpenDisplay(w, GX_FULLSCREEN), 0);  // one client at a time
    GXDisplayProperties p = GXGetDisplayProperties();
    EXPECT_EQ(p.cxWidth, 240u);
    EXPECT_EQ(p.cyHeight, 320u);
    EXPECT_EQ(p.cbxPitch, 2);
    EXPECT_EQ(p.cbyPitch, 480);
    EXPECT_EQ(p.cBPP, 16);
    EXPECT_TRUE(p.ffFormat & kfDirect565);
    EXPECT_TRUE(p.ffFormat & kfDirect);

    auto* base = static_cast<uint8_t*>(GXBeginDraw());
    ASSERT_NE(base, nullptr);
    for (int y = 100; y < 120; ++y)
        for (int x = 50; x < 70; ++x) {
            uint8_t* px = base + y * p.cbyPitch + x * p.cbxPitch;
            px[0] = 0x1F;  // 5-6-5 blue, little-endian
            px[1] = 0x00;
        }
    EXPECT_EQ(GXEndDraw(), 1);
    std::string png = Shot("gx.png");
    ASSERT_TRUE(platform::SaveScreenshot(png));
    Rgb got;
    ASSERT_TRUE(PixelOf(png, 60, 110, &got));
    EXPECT_TRUE(Same(got, {0, 0, 255}));

    EXPECT_EQ(GXSuspend(), 1);
    EXPECT_EQ(GXBeginDraw(), nullptr);
    EXPECT_EQ(GXResume(), 1);
    EXPECT_NE(GXBeginDraw(), nullptr);
    EXPECT_EQ(GXEndDraw(), 1);
    EXPECT_EQ(GXCloseDisplay(), 1);
    EXPECT_EQ(GXBeginDraw(), nullptr);
}

// ---- The automation script ---------------------------------------------------------------------

TEST_F(ScreenTest, ScriptDrivesTheMessageLoop) {
    ASSERT_TRUE(Start("240x320x16"));
    QuitOnDestroy() = true;
    HWND w = Top(0, 26, 240, 294);
    TakeLog();
    std::string png = Shot("scripted.png");
    std::string script =
        "# input of every kind, then a picture and the end\n"
        "idle\n"
        "tap 20 40\n"
        "key up\n"
        "key action\n"
        "text h\xC3\xA9\n"
        "command 4242\n"
        "hold 30 60\n"
        "drag 10 50 50 90\n"
        "wait 20\n"
        "idle\n"
        "screenshot " + png + "\n"
        "quit\n";
    ASSERT_TRUE(platform::StartScriptText(script));
    EXPECT_FALSE(platform::ScriptFinished());
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(platform::ScriptFinished());
    EXPECT_FALSE(IsWindow(w));

    struct Want {
        UINT message;
        WPARAM wParam;
        int x, y;  // client coordinates for pen messages
    };
    const Want wanted[] = {
        {WM_LBUTTONDOWN, MK_LBUTTON, 20, 14}, {WM_LBUTTONUP, 0, 20, 14},
        {WM_KEYDOWN, VK_UP, 0, 0},            {WM_KEYUP, VK_UP, 0, 0},
        {WM_KEYDOWN, VK_RETURN, 0, 0},        {WM_CHAR, '\r', 0, 0},
        {WM_KEYUP, VK_RETURN, 0, 0},          {WM_CHAR, 'h', 0, 0},
        {WM_CHAR, 0xE9, 0, 0},                {WM_COMMAND, 4242, 0, 0},
        {WM_LBUTTONDOWN, MK_LBUTTON, 30, 34}, {WM_LBUTTONUP, 0, 30, 34},
        {WM_LBUTTONDOWN, MK_LBUTTON, 10, 24}, {WM_MOUSEMOVE, MK_LBUTTON, 15, 29},
    };
    std::vector<Logged> input;
    for (const Logged& l : TakeLog())
        if (l.message != WM_PAINT && l.hwnd == w && l.message != WM_SIZE && l.message != WM_MOVE &&
            l.message != WM_WINDOWPOSCHANGING && l.message != WM_WINDOWPOSCHANGED)
            input.push_back(l);
    ASSERT_GE(input.size(), std::size(wanted));
    for (size_t i = 0; i < std::size(wanted); ++i) {
        EXPECT_EQ(input[i].message, wanted[i].message) << "input " << i;
        EXPECT_EQ(input[i].wParam, wanted[i].wParam) << "input " << i;
        if (wanted[i].message >= WM_MOUSEFIRST && wanted[i].message <= WM_MOUSELAST) {
            EXPECT_EQ(GET_X_LPARAM(input[i].lParam), wanted[i].x) << "input " << i;
            EXPECT_EQ(GET_Y_LPARAM(input[i].lParam), wanted[i].y) << "input " << i;
        }
    }
    // The hold kept the pen down past the tap-and-hold time.
    EXPECT_GE(input[11].time - input[10].time, 400);
    // The drag ends where it was told to, and the quit closed the window.
    bool dragEnded = false, closed = false;
    for (size_t i = 13; i < input.size(); ++i) {
        if (input[i].message == WM_LBUTTONUP && GET_X_LPARAM(input[i].lParam) == 50 &&
            GET_Y_LPARAM(input[i].lParam) == 64)
            dragEnded = true;
        if (input[i].message == WM_CLOSE) closed = true;
    }
    EXPECT_TRUE(dragEnded);
    EXPECT_TRUE(closed);
    Rgb got;
    ASSERT_TRUE(PixelOf(png, 120, 200, &got));
    EXPECT_TRUE(Same(got, {255, 255, 255}));
}

std::atomic<bool> g_sourceBusy{false};
bool SourceIdle() { return !g_sourceBusy; }

TEST_F(ScreenTest, IdleWaitsForRegisteredBusySources) {
    ASSERT_TRUE(Start("240x320x16"));
    QuitOnDestroy() = true;
    platform::RegisterIdleProbe(SourceIdle);
    g_sourceBusy = true;
    Top(0, 26, 240, 294);
    Pump();
    // A background source that finishes later, painting as it ends.
    std::thread source([] {
        Sleep(100);
        HDC dc = GetDC(nullptr);
        RECT r = {0, 100, 240, 200};
        HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
        FillRect(dc, &r, green);
        DeleteObject(green);
        ReleaseDC(nullptr, dc);
        g_sourceBusy = false;
    });
    std::string png = Shot("after-idle.png");
    ASSERT_TRUE(platform::StartScriptText("idle\nscreenshot " + png + "\nquit\n"));
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    source.join();
    Rgb got;
    ASSERT_TRUE(PixelOf(png, 120, 150, &got));
    EXPECT_TRUE(Same(got, {0, 255, 0}));
}

TEST_F(ScreenTest, ScreenshotOptionSavesAtTheFirstIdleMomentAndQuits) {
    platform::DisplayOptions o;
    o.root = root_;
    o.backend = "headless";
    o.screenshot = Shot("on-idle.png");
    ASSERT_TRUE(platform::StartDisplay(o));
    QuitOnDestroy() = true;
    HWND w = Top(0, 26, 240, 294);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    EXPECT_FALSE(IsWindow(w));
    Rgb got;
    ASSERT_TRUE(PixelOf(o.screenshot, 120, 150, &got));
    EXPECT_TRUE(Same(got, {255, 255, 255}));
}

TEST(DisplayScript, MalformedScriptsAreRefused) {
    const char* bad[] = {"tap 1\n", "tap 1 2 3\n", "drag 1 2 3\n", "key nosuchkey\n", "wait -5\n",
                         "command x\n", "screenshot\n", "idle now\n", "jump 3\n"};
    for (const char* b : bad) EXPECT_FALSE(platform::StartScriptText(b)) << b;
    EXPECT_FALSE(platform::StartScript("/nonexistent/script.txt"));
}

// ---- Two processes on one device root -----------------------------------------------------------

constexpr const WCHAR* kPeerClass = u"KestravaPeerClass";
constexpr UINT kHandOver = 32965;

std::string g_peerRoot;
LRESULT CALLBACK PeerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kHandOver) {
        std::ofstream(g_peerRoot + "/peer-" + std::to_string(wParam)) << "got it\n";
        DestroyWindow(hwnd);
        return 0;
    }
    if (message == WM_TIMER) DestroyWindow(hwnd);  // nobody came: give up
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The other process of the test below (started with KESTRAVA_GWES_PEER set).
TEST(GwesPeer, Serve) {
    const char* root = std::getenv("KESTRAVA_GWES_PEER");
    if (!root) GTEST_SKIP() << "runs only as the peer of GwesProcess";
    g_peerRoot = root;
    ASSERT_TRUE(platform::InitDevice(root));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PeerProc;
    wc.lpszClassName = kPeerClass;
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND w = CreateWindowExW(0, kPeerClass, u"peer", WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);
    SetTimer(w, 1, 20000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
}

using GwesProcess = WindowTest;

TEST_F(GwesProcess, FindAndPostAcrossProcesses) {
    char exe[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        setenv("KESTRAVA_GWES_PEER", root_.c_str(), 1);
        execl(exe, exe, "--gtest_filter=GwesPeer.Serve", static_cast<char*>(nullptr));
        _exit(127);
    }
    HWND remote = nullptr;
    for (int i = 0; i < 500 && !remote; ++i) {
        remote = FindWindowW(kPeerClass, nullptr);
        if (!remote) Sleep(20);
    }
    ASSERT_NE(remote, nullptr);
    EXPECT_TRUE(IsWindow(remote));
    EXPECT_EQ(FindWindowW(kPeerClass, u"peer"), remote);
    EXPECT_EQ(FindWindowW(kPeerClass, u"other title"), nullptr);
    EXPECT_TRUE(SetForegroundWindow(remote));
    EXPECT_TRUE(PostMessageW(remote, kHandOver, 5, 0));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(Host("peer-5")));
    // The other process is gone, and so is its window.
    EXPECT_FALSE(IsWindow(remote));
    EXPECT_FALSE(PostMessageW(remote, kHandOver, 6, 0));
    EXPECT_EQ(FindWindowW(kPeerClass, nullptr), nullptr);
}

}  // namespace
