// The main frame with the program's own resources, on the headless screen in
// a fresh device root: the splash and the main layout, menu-bar switching,
// the commands' enabled state, navigation at the ends of the album, zoom
// arithmetic, opening files, the title and the settings written at exit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/main_frame_messages.h"
#include "app/settings.h"
#include "gwes_fixture.h"
#include "image/image_library.h"
#include "image/image_memory.h"
#include "platform/device.h"
#include "platform/memory_watch.h"
#include "platform/registry.h"
#include "platform/sound_log.h"
#include "platform/wstr.h"
#include "res/resource.h"

namespace {

class MainFrameTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ReloadRegistryForTest();
        platform::TakeBeepLog();
    }
    void TearDown() override {
        if (frame_ && IsWindow(frame_->Handle())) DestroyWindow(frame_->Handle());
        Pump();
        frame_.reset();
        WindowTest::TearDown();
    }
    // A small BMP in the device's "My Documents".
    void MakeImage(const std::string& name) {
        std::ofstream out(Host("My Documents/" + name), std::ios::binary);
        const unsigned char header[] = {
            'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
            1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        out.write(reinterpret_cast<const char*>(header), sizeof header);
        const unsigned char pixels[16] = {255, 0, 0, 0, 255, 0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0};
        out.write(reinterpret_cast<const char*>(pixels), sizeof pixels);
    }
    // As the process entry starts it: the command line is stored as
    // "FileName" first, which the frame reads back and opens.
    MainFrame* Start(LPCWSTR commandLine) {
        if (*commandLine) StoreFileName(commandLine);
        frame_ = std::make_unique<MainFrame>(commandLine);
        EXPECT_TRUE(frame_->CreateMainWindow(GetModuleHandleW(nullptr)));
        Pump();
        return frame_.get();
    }
    void Command(UINT id) {
        SendMessageW(frame_->Handle(), WM_COMMAND, id, 0);
        Pump();
    }
    std::u16string Title() const {
        WCHAR text[MAX_PATH] = {};
        GetWindowTextW(frame_->Handle(), text, MAX_PATH);
        return text;
    }
    std::unique_ptr<MainFrame> frame_;
};

TEST_F(MainFrameTest, TheFirstStartShowsTheSplashUntilATapThenTheMainLayout) {
    MainFrame* frame = Start(u"");
    EXPECT_TRUE(frame->SplashPending());
    EXPECT_TRUE(frame->FullScreen());
    EXPECT_NE(frame->Panes().Splash(), nullptr);
    EXPECT_FALSE(IsWindowVisible(frame->ViewPane()));
    // A tap on the splash ends it at once.
    SendMessageW(frame->Panes().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    Pump();
    EXPECT_FALSE(frame->SplashPending());
    EXPECT_FALSE(frame->FullScreen());
    EXPECT_EQ(frame->Panes().Splash(), nullptr);
    EXPECT_TRUE(IsWindowVisible(frame->ViewPane()));
    EXPECT_TRUE(IsWindowVisible(frame->ThumbnailPane()));
    // The later timer does nothing.
    SendMessageW(frame->Handle(), WM_TIMER, kSplashTimer, 0);
    Pump();
    EXPECT_FALSE(frame->FullScreen());
    // The stored default file was opened: every image of "My Documents".
    EXPECT_EQ(std::u16string(frame->CurrentFile()), u"\\My Documents\\*.*");
}

TEST_F(MainFrameTest, TheSplashTimerLeadsToTheMainLayout) {
    MainFrame* frame = Start(u"");
    ASSERT_TRUE(frame->SplashPending());
    SendMessageW(frame->Handle(), WM_TIMER, kSplashTimer, 0);
    Pump();
    EXPECT_FALSE(frame->SplashPending());
    EXPECT_FALSE(frame->FullScreen());
    RECT window;
    GetWindowRect(frame->Handle(), &window);
    EXPECT_EQ(window.top, 26);
}

TEST_F(MainFrameTest, ACommandLineSkipsTheSplashAndBecomesTheCurrentFile) {
    MakeImage("one.bmp");
    MainFrame* frame = Start(u"\\My Documents\\one.bmp");
    EXPECT_FALSE(frame->SplashPending());
    EXPECT_FALSE(frame->FullScreen());
    EXPECT_EQ(std::u16string(frame->CurrentFile()), u"\\My Documents\\one.bmp");
}

// Every button of the main and video bars can be reached on the 240-pixel
// screen: none lies past the bar's right end.
TEST_F(MainFrameTest, EveryToolbarButtonLiesOnTheScreen) {
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    for (int kind : {kMenuBarMain, kMenuBarVideo}) {
        SCOPED_TRACE(kind);
        frame->SwitchMenuBar(kind);
        Pump();
        HWND bar = frame->Bar().MenuBar();
        ASSERT_NE(bar, nullptr);
        RECT place;
        GetWindowRect(bar, &place);
        EXPECT_EQ(place.right, 240);
        const int count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT r = {};
            ASSERT_TRUE(SendMessageW(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)));
            EXPECT_LE(place.left + r.right, 240) << "button " << i;
        }
    }
}

TEST_F(MainFrameTest, MenuBarsAreRebuiltOnlyWhenTheKindChanges) {
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    EXPECT_EQ(frame->MenuBarKind(), kMenuBarMain);
    int count = 0;
    frame->ToolbarButtons(&count);
    EXPECT_EQ(count, 8);

    frame->SwitchMenuBar(kMenuBarVideo);
    HWND video = frame->Bar().MenuBar();
    ASSERT_NE(video, nullptr);
    frame->ToolbarButtons(&count);
    EXPECT_EQ(count, 10);
    frame->SwitchMenuBar(kMenuBarVideo);  // twice in a row: nothing rebuilt
    EXPECT_EQ(frame->Bar().MenuBar(), video);

    frame->SwitchMenuBar(kMenuBarDrawing);  // never recorded
    EXPECT_EQ(frame->MenuBarKind(), kMenuBarVideo);
    HWND drawing = frame->Bar().MenuBar();
    EXPECT_NE(drawing, video);
    frame->SwitchMenuBar(kMenuBarVideo);  // the recorded kind itself: nothing rebuilt
    EXPECT_EQ(frame->Bar().MenuBar(), drawing);
    frame->SwitchMenuBar(kMenuBarNone);  // 0 rebuilds the recorded bar
    frame->ToolbarButtons(&count);
    EXPECT_EQ(count, 10);

    frame->SwitchMenuBar(kMenuBarMain);
    EXPECT_EQ(frame->MenuBarKind(), kMenuBarMain);
    frame->ToolbarButtons(&count);
    EXPECT_EQ(count, 8);
}

TEST_F(MainFrameTest, NavigationBeepsAtTheEndsOfTheAlbum) {
    MakeImage("a.bmp");
    MakeImage("b.bmp");
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    ASSERT_EQ(frame->Album().Count(), 2);
    ASSERT_EQ(frame->Album().current, 0);
    platform::TakeBeepLog();

    Command(IDM_PREVIOUS_IMAGE);  // at the first: refused
    EXPECT_EQ(platform::TakeBeepLog().size(), 1u);
    EXPECT_EQ(frame->Album().current, 0);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_PREVIOUS_IMAGE), 0);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_NEXT_IMAGE), 1);

    Command(IDM_NEXT_IMAGE);
    EXPECT_TRUE(platform::TakeBeepLog().empty());
    EXPECT_EQ(frame->Album().current, 1);
    EXPECT_EQ(Title(), u"b.bmp");

    Command(IDM_NEXT_IMAGE);  // at the last: refused
    EXPECT_EQ(platform::TakeBeepLog().size(), 1u);
    EXPECT_EQ(frame->Album().current, 1);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_NEXT_IMAGE), 0);

    Command(IDM_FIRST_IMAGE);
    EXPECT_EQ(frame->Album().current, 0);
    EXPECT_EQ(Title(), u"a.bmp");
}

TEST_F(MainFrameTest, AnEmptyAlbumBeepsOnNextAndShowsTheProductTitle) {
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    EXPECT_EQ(frame->Album().Count(), 0);
    EXPECT_EQ(Title(), u"Halvoric Kestrava");
    platform::TakeBeepLog();
    Command(IDM_NEXT_IMAGE);
    EXPECT_EQ(platform::TakeBeepLog().size(), 1u);
}

TEST_F(MainFrameTest, ZoomCommandsComputeTheirZoom) {
    struct Case {
        UINT command;
        float current;
        int width;
        float expected;
    } cases[] = {
        {IDM_ZOOM_IN, 1.0f, 640, 1.15f},   {IDM_ZOOM_OUT, 1.0f, 640, 0.85f},
        {IDM_ZOOM_IN, 0.3125f, 512, 0.359375f}, {IDM_ZOOM_TO_FIT, 2.0f, 100, -1.0f},
        {IDM_ZOOM_50, 3.0f, 10, 0.5f},     {IDM_ZOOM_75, 3.0f, 10, 0.75f},
        {IDM_ZOOM_100, 3.0f, 10, 1.0f},    {IDM_ZOOM_400, 1.0f, 10, 4.0f},
        {IDM_EXIT, 1.0f, 10, 0.0f},
    };
    for (const Case& c : cases) {
        const float width = (float)c.width;
        const float zoom = ZoomForCommand(c.command, c.current, c.width);
        if (c.command == IDM_ZOOM_IN || c.command == IDM_ZOOM_OUT) {
            // Through the width in single precision, exactly.
            const float factor = c.command == IDM_ZOOM_IN ? 1.15f : 0.85f;
            EXPECT_EQ(zoom, width * c.current * factor / width) << c.command;
        }
        EXPECT_NEAR(zoom, c.expected, 1e-6f) << c.command;
    }
}

TEST_F(MainFrameTest, CommandsOfLaterSubsystemsAndWithoutAnImageAreDisabled) {
    MakeImage("a.bmp");
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    // Options, help and about work; nothing is shown in the view yet, so
    // the zoom and rotation commands are off; commands whose subsystem is
    // not part of this build are off too.
    struct Case {
        UINT id;
        int expected;
    } cases[] = {
        {IDM_OPTIONS, 1},       {IDM_TOGGLE_THUMBNAILS, 1}, {IDM_ZOOM_IN, 0},
        {IDM_ROTATE_PLUS_90, 0}, {IDM_FULL_SCREEN, 0},      {IDM_OPEN_URL, 0},
        {IDM_PLAY_VIDEO, 0},    {IDM_SYSTEM_INFO, 0},       {IDM_ALL_LANDSCAPE, 1},
        {IDM_HELP, -1},         {IDM_ABOUT, -1},            {IDM_EXIT, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(frame->IsCommandEnabled(c.id), c.expected) << c.id;
    // A zoom command without a shown image beeps.
    platform::TakeBeepLog();
    Command(IDM_ZOOM_IN);
    EXPECT_EQ(platform::TakeBeepLog().size(), 1u);
}

TEST_F(MainFrameTest, KeysAreCommands) {
    MakeImage("a.bmp");
    MakeImage("b.bmp");
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    ASSERT_EQ(frame->Album().Count(), 2);
    SendMessageW(frame->Handle(), WM_KEYDOWN, VK_DOWN, 0);
    Pump();
    EXPECT_EQ(frame->Album().current, 1);
    SendMessageW(frame->Handle(), WM_KEYDOWN, VK_LEFT, 0);
    Pump();
    EXPECT_EQ(frame->Album().current, 0);
}

TEST_F(MainFrameTest, ThumbnailsToggleAndTheirSettingFollows) {
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    ASSERT_TRUE(IsWindowVisible(frame->ThumbnailPane()));
    Command(IDM_TOGGLE_THUMBNAILS);
    EXPECT_FALSE(IsWindowVisible(frame->ThumbnailPane()));
    EXPECT_EQ(frame->Options().prevHideBar, 1u);
    // The view takes the whole container.
    RECT view, panes;
    GetClientRect(frame->ViewPane(), &view);
    GetClientRect(frame->Panes().Handle(), &panes);
    EXPECT_EQ(view.bottom, panes.bottom);
    Command(IDM_TOGGLE_THUMBNAILS);
    EXPECT_TRUE(IsWindowVisible(frame->ThumbnailPane()));
}

TEST_F(MainFrameTest, ExitSavesTheSettingsAndTheCurrentFile) {
    MakeImage("kept.bmp");
    MainFrame* frame = Start(u"\\My Documents\\kept.bmp");
    frame->Options().slideDelay = 9;
    Command(IDM_EXIT);
    EXPECT_FALSE(IsWindow(frame->Handle()));
    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    EXPECT_EQ(block.slideDelay, 9u);
    EXPECT_EQ(std::u16string(block.currentFile), u"\\My Documents\\kept.bmp");
}

TEST_F(MainFrameTest, OpenDialogPathsAreResolvedAndExtensionsJudged) {
    MakeImage("a.bmp");
    CreateDirectoryW(u"\\My Documents\\Study", nullptr);
    struct Case {
        const char16_t* chosen;
        bool ok;
        bool pattern;
        const char16_t* path;
    } cases[] = {
        {u"\\My Documents\\Study", true, true, u"\\My Documents\\Study\\*.*"},
        {u"\\My Documents\\", true, true, u"\\My Documents\\*.*"},
        {u"\\My Documents\\*.dcm", true, true, u"\\My Documents\\*.dcm"},
        {u"\\My Documents\\scan?.bmp", true, true, u"\\My Documents\\scan?.bmp"},
        {u"\\My Documents\\a.bmp", true, false, u"\\My Documents\\a.bmp"},
        {u"\\My Documents\\missing.bmp", false, false, u"\\My Documents\\missing.bmp"},
    };
    for (const Case& c : cases) {
        WCHAR path[MAX_PATH];
        bool pattern = true;
        EXPECT_EQ(ResolveChosenPath(c.chosen, path, &pattern), c.ok);
        EXPECT_EQ(pattern, c.pattern);
        if (c.ok) {
            EXPECT_EQ(std::u16string(path), c.path);
        }
    }
    struct Name {
        const char16_t* path;
        bool lacks;
    } names[] = {
        {u"\\My Documents\\IM0001", true}, {u"\\My Documents\\IM0001.", true},
        {u"\\a.b\\IM0001", true},           {u"\\My Documents\\x.dcm", false},
        {u"x.", true},
    };
    for (const Name& n : names) EXPECT_EQ(LacksExtension(n.path), n.lacks);
}


// The open flow with a chooser that picks a fixed path and message boxes
// answered by a thread timer.
WCHAR g_chosen[MAX_PATH];
int g_answer = IDNO;
int g_boxes = 0;
int PickChosen(FileDialogRequest* request) {
    lstrcpyW(request->path, g_chosen);
    return 1;
}
void CALLBACK AnswerBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = GetActiveWindow();
    if (!box || (TheMainFrame() && box == TheMainFrame()->Handle())) return;
    ++g_boxes;
    PostMessageW(box, WM_COMMAND, (WPARAM)g_answer, 0);
}

TEST_F(MainFrameTest, AFileWithoutExtensionIsOfferedTheDicomExtension) {
    MakeImage("a.bmp");
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    ASSERT_EQ(frame->IsCommandEnabled(IDM_OPEN), 0);  // no chooser yet
    SetFileChooser(PickChosen);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_OPEN), 1);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerBox);
    struct Case {
        int answer;
        bool renamed;
    } cases[] = {{IDNO, false}, {IDYES, true}};
    for (const Case& c : cases) {
        MakeImage("IM0001");
        DeleteFileW(u"\\My Documents\\IM0001.dcm");
        lstrcpyW(g_chosen, u"\\My Documents\\IM0001");
        g_answer = c.answer;
        g_boxes = 0;
        Command(IDM_OPEN);
        EXPECT_EQ(g_boxes, 1);
        const bool dcm = GetFileAttributesW(u"\\My Documents\\IM0001.dcm") != INVALID_FILE_ATTRIBUTES;
        EXPECT_EQ(dcm, c.renamed);
        // No opens nothing; Yes opens the renamed file and lists it first.
        EXPECT_EQ(std::u16string(frame->CurrentFile()),
                  c.renamed ? u"\\My Documents\\IM0001.dcm" : u"\\My Documents\\a.bmp");
        if (c.renamed) {
            EXPECT_EQ(std::u16string(frame->Recent().Entry(0)), u"\\My Documents\\IM0001.dcm");
        }
    }
    KillTimer(nullptr, timer);
    SetFileChooser(nullptr);
}

// Boxes answered by a thread timer that keeps every text they show.
std::u16string g_boxTexts;
void CALLBACK ReadAndCloseBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = GetActiveWindow();
    if (!box || (TheMainFrame() && box == TheMainFrame()->Handle())) return;
    ++g_boxes;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) {
            WCHAR text[512] = {};
            GetWindowTextW(child, text, 512);
            g_boxTexts += text;
            g_boxTexts += u"\n";
            return TRUE;
        },
        0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(MainFrameTest, HelpWithoutAViewerNamesTheHelpFile) {
    // The help viewer is the host's opener; when none can be started the
    // command says where the help file is instead of doing nothing.
    MakeImage("a.bmp");
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    const char* saved = std::getenv("KESTRAVA_OPENER");
    const std::string previous = saved ? saved : "";
    const struct {
        const char* what;
        std::string opener;
        bool message;
    } cases[] = {
        {"no opener", Host("no-such-opener"), true},
        {"an opener that starts", "/bin/true", false},
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, ReadAndCloseBox);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("KESTRAVA_OPENER", c.opener.c_str(), 1);
        g_boxes = 0;
        g_boxTexts.clear();
        Command(IDM_HELP);
        EXPECT_EQ(g_boxes, c.message ? 1 : 0);
        EXPECT_EQ(g_boxTexts.find(u"\\Windows\\Kestrava.htm") != std::u16string::npos, c.message);
    }
    KillTimer(nullptr, timer);
    if (saved) {
        setenv("KESTRAVA_OPENER", previous.c_str(), 1);
    } else {
        unsetenv("KESTRAVA_OPENER");
    }
    EXPECT_TRUE(IsWindow(frame->Handle()));
}

// The frame with its panes at work: the image library decodes, the
// thumbnail loader runs.
class ViewerTest : public MainFrameTest {
protected:
    void SetUp() override {
        MainFrameTest::SetUp();
        library_.BuildLibrary();
        PublishImageLibrary(&library_);
    }
    void TearDown() override {
        MainFrameTest::TearDown();
        PublishImageLibrary(nullptr);
    }
    // Handles messages until the loader has ended (at most 10 s).
    void WaitForLoader() {
        for (int i = 0; i < 2000; ++i) {
            Pump();
            if (!frame_->Thumbnails()->LoaderRunning()) break;
            Sleep(5);
        }
        Pump();
    }
    // The pane's rectangle in the container's client coordinates.
    RECT PaneRect(HWND pane) const {
        RECT r;
        GetWindowRect(pane, &r);
        MapWindowPoints(nullptr, frame_->Panes().Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    ImageLibrary library_;
};

TEST_F(ViewerTest, AnOpenedFolderIsShownIconsAreMadeAndTheViewFollowsTheCommands) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) MakeImage(name);
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    ImageAlbum& album = frame->Album();
    ASSERT_EQ(album.Count(), 3);
    PictureView* view = frame->View();
    ASSERT_TRUE(view->ImageShown());
    EXPECT_EQ(view->Entry(), album.Entry(0));
    for (int i = 0; i < 3; ++i) EXPECT_NE(album.Entry(i)->icon, nullptr) << i;
    EXPECT_EQ(frame->IsCommandEnabled(IDM_ZOOM_IN), 1);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_FULL_SCREEN), 1);

    Command(IDM_NEXT_IMAGE);
    WaitForLoader();
    ASSERT_EQ(view->Entry(), album.Entry(1));
    ASSERT_TRUE(view->ImageShown());
    // Zoom in starts from the fitted zoom and ends zoom to fit.
    EntryBlock& block = album.Entry(1)->block;
    const float before = block.zoom;
    Command(IDM_ZOOM_IN);
    EXPECT_EQ(block.zoom, ZoomForCommand(IDM_ZOOM_IN, before, view->ImageWidth()));
    EXPECT_EQ(block.flags & kDisplayZoomToFit, 0u);
    // Rotations arrive as MSG_ROTATE: +90, then -90 (posted as 270).
    Command(IDM_ROTATE_PLUS_90);
    EXPECT_EQ(block.rotation, 90);
    Command(IDM_ROTATE_MINUS_90);
    EXPECT_EQ(block.rotation % 360, 0);
    // The other entries keep their own state.
    EXPECT_EQ(album.Entry(0)->block.rotation, 0);
}

// A two-page TIFF of 2 x 2 grey pixels, uncompressed, written field by field:
// each page's directory (nine entries) followed by its four pixels.
void WriteTwoPageTiff(const std::string& hostPath) {
    std::vector<unsigned char> out = {'I', 'I', 42, 0, 8, 0, 0, 0};  // header, first directory at 8
    auto u16 = [&out](unsigned v) {
        out.push_back(static_cast<unsigned char>(v));
        out.push_back(static_cast<unsigned char>(v >> 8));
    };
    auto u32 = [&](unsigned v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    constexpr unsigned kDirectorySize = 2 + 9 * 12 + 4;
    for (unsigned page = 0; page < 2; ++page) {
        const unsigned directory = static_cast<unsigned>(out.size());
        const unsigned pixels = directory + kDirectorySize;
        const unsigned next = page == 0 ? pixels + 4 : 0;
        u16(9);
        const struct {
            unsigned tag, type, value;  // type 3 SHORT, 4 LONG; one value each
        } fields[] = {{256, 3, 2}, {257, 3, 2}, {258, 3, 8},      {259, 3, 1},      {262, 3, 1},
                      {273, 4, pixels}, {277, 3, 1}, {278, 3, 2}, {279, 4, 4}};
        for (const auto& f : fields) {
            u16(f.tag);
            u16(f.type);
            u32(1);
            if (f.type == 3) {
                u16(f.value);
                u16(0);
            } else {
                u32(f.value);
            }
        }
        u32(next);
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(60 + 100 * page + 20 * i));
    }
    std::ofstream(hostPath, std::ios::binary).write(reinterpret_cast<const char*>(out.data()),
                                                    static_cast<std::streamsize>(out.size()));
}

TEST_F(ViewerTest, EveryToolbarButtonShowsItsPictureEnabledOrNot) {
    // A multi-page file gets the video bar: its Last button switches to an
    // image past one per button when it is enabled, and some of its disabled
    // buttons have no picture in the disabled art. None may be blank.
    WriteTwoPageTiff(Host("My Documents/pages.tif"));
    MainFrame* frame = Start(u"\\My Documents\\pages.tif");
    WaitForLoader();
    ASSERT_TRUE(frame->View()->ImageShown());
    ASSERT_EQ(frame->View()->PageCount(), 2);
    HWND bar = frame->Bar().MenuBar();
    ASSERT_NE(bar, nullptr);
    RECT place = {};
    GetWindowRect(bar, &place);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    auto checkButtons = [&](const char* when) {
        SCOPED_TRACE(when);
        Pump();
        const int count = static_cast<int>(SendMessageW(bar, TB_BUTTONCOUNT, 0, 0));
        int checked = 0;
        for (int i = 0; i < count; ++i) {
            TBBUTTON button = {};
            ASSERT_TRUE(SendMessageW(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)));
            if (button.fsStyle & TBSTYLE_SEP || button.iBitmap < 0) continue;
            RECT r = {};
            ASSERT_TRUE(SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(button.idCommand),
                                     reinterpret_cast<LPARAM>(&r)));
            OffsetRect(&r, place.left, place.top);
            if (r.right > screenWidth) continue;  // not on the screen to look at
            ++checked;
            // The button's face is the colour at its corner; its picture is
            // whatever differs from it in the middle.
            const COLORREF face = gwes_test::ScreenPixel(r.left + 1, r.top + 1);
            bool picture = false;
            const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
            for (int y = cy - 6; y <= cy + 6 && !picture; ++y)
                for (int x = cx - 6; x <= cx + 6 && !picture; ++x) picture = gwes_test::ScreenPixel(x, y) != face;
            const bool enabled = (SendMessageW(bar, TB_GETSTATE, static_cast<WPARAM>(button.idCommand), 0) &
                                  TBSTATE_ENABLED) != 0;
            EXPECT_TRUE(picture) << "command " << button.idCommand << (enabled ? " (enabled)" : " (disabled)")
                                 << ", image " << SendMessageW(bar, TB_GETBITMAP, button.idCommand, 0);
        }
        EXPECT_GT(checked, 0);
    };
    ASSERT_EQ(frame->IsCommandEnabled(IDM_VIDEO_LAST), 1);
    checkButtons("first page: Last enabled");
    Command(IDM_VIDEO_LAST);
    ASSERT_EQ(frame->IsCommandEnabled(IDM_VIDEO_LAST), 0);
    checkButtons("last page: Last disabled");
}

TEST_F(ViewerTest, TheThumbnailMenuGreysWhatTheFrameGreys) {
    // The entry menu of a thumbnail offers commands of the frame's menus
    // too: each is greyed exactly when the frame's menus grey it, so that
    // none is offered that does nothing.
    for (const char* name : {"a.bmp", "b.bmp"}) MakeImage(name);
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    ASSERT_EQ(frame->Album().Count(), 2);
    auto greyed = [&](int cell, bool chooser) {
        SetFileChooser(chooser ? PickChosen : nullptr);
        HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MENU_THUMBNAIL));
        EXPECT_NE(menu, nullptr);
        HMENU popup = GetSubMenu(menu, 0);
        frame->Thumbnails()->PrepareEntryMenu(popup, cell);
        std::vector<std::pair<UINT, bool>> states;
        for (int i = 0; i < GetMenuItemCount(popup); ++i) {
            const UINT id = GetMenuItemID(popup, i);
            if (id == 0 || id == static_cast<UINT>(-1)) continue;
            states.push_back({id, (GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_GRAYED) != 0});
        }
        DestroyMenu(menu);
        SetFileChooser(nullptr);
        return states;
    };
    const struct {
        const char* what;
        int cell;
        bool chooser;
        UINT id;
        bool greyed;
    } cases[] = {
        {"no file chooser", 0, false, IDM_OPEN_FROM_BAR, true},
        {"a file chooser", 0, true, IDM_OPEN_FROM_BAR, false},
        {"not built yet", 0, true, IDM_PROPERTIES, true},
        {"on a cell", 0, false, IDM_DELETE_IMAGE, false},
        {"on a cell", 0, false, IDM_VIEW_THUMBNAIL, false},
        {"on a cell", 0, false, IDM_SORT_BY_NAME, false},
        {"off the cells", -1, false, IDM_DELETE_IMAGE, true},
        {"off the cells", -1, false, IDM_SORT_BY_NAME, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", command " << c.id);
        bool found = false;
        for (const auto& [id, isGreyed] : greyed(c.cell, c.chooser)) {
            if (id != c.id) continue;
            found = true;
            EXPECT_EQ(isGreyed, c.greyed);
        }
        EXPECT_TRUE(found);
    }
    // Every item the frame has a rule for follows it.
    for (bool chooser : {false, true}) {
        for (const auto& [id, isGreyed] : greyed(0, chooser)) {
            SetFileChooser(chooser ? PickChosen : nullptr);
            const int rule = frame->IsCommandEnabled(id);
            SetFileChooser(nullptr);
            if (rule == -1) continue;
            EXPECT_EQ(isGreyed, rule == 0) << "command " << id << (chooser ? " with" : " without") << " a chooser";
        }
    }
}

TEST_F(ViewerTest, TheThumbnailBarIsPlacedByThePositionSetting) {
    MakeImage("a.bmp");
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    WaitForLoader();
    RECT area;
    GetClientRect(frame->Panes().Handle(), &area);
    const int w = area.right, h = area.bottom;
    // Top and left: the bar gets the strip before the splitter (y < 72);
    // beside the view it is as wide as a column of cells with its gaps and
    // vertical scroll bar (2 + 54 + 2 + 10), where the usual 47 pixels
    // would cut the cells. Bottom and right mirror them.
    // With the horizontal scroller the names stay above its 10 pixels:
    // 2 + 64 + 2 + 10.
    struct Case {
        DWORD position, verticalScroller;
        RECT bar, view;
    } cases[] = {
        {0, 1, {0, 0, w, 72}, {0, 78, w, h}},
        {1, 1, {0, 0, 68, h}, {74, 0, w, h}},
        {2, 1, {0, h - 72, w, h}, {0, 0, w, h - 78}},
        {3, 1, {w - 68, 0, w, h}, {0, 0, w - 74, h}},
        {0, 0, {0, 0, w, 78}, {0, 84, w, h}},
        {2, 0, {0, h - 78, w, h}, {0, 0, w, h - 84}},
    };
    for (const Case& c : cases) {
        frame->Options().prevPosition = c.position;
        frame->Options().prevVertScroller = c.verticalScroller;
        SendMessageW(frame->Handle(), MSG_SHOW_MAIN_LAYOUT, 0, 0);
        Pump();
        const RECT bar = PaneRect(frame->ThumbnailPane()), view = PaneRect(frame->ViewPane());
        EXPECT_TRUE(EqualRect(&bar, &c.bar)) << c.position << ": bar " << bar.left << "," << bar.top
                                             << "," << bar.right << "," << bar.bottom;
        EXPECT_TRUE(EqualRect(&view, &c.view)) << c.position << ": view " << view.left << ","
                                               << view.top << "," << view.right << "," << view.bottom;
    }
}

TEST_F(ViewerTest, TheThumbnailsFillTheScreenUntilTheMainLayoutReturns) {
    MakeImage("a.bmp");
    MakeImage("b.bmp");
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    Command(IDM_THUMBNAILS_FILL_SCREEN);
    EXPECT_TRUE(frame->FullScreen());
    EXPECT_TRUE(frame->ThumbnailsFillScreen());
    EXPECT_FALSE(IsWindowVisible(frame->ViewPane()));
    RECT bar;
    GetClientRect(frame->ThumbnailPane(), &bar);
    EXPECT_EQ(bar.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(bar.bottom, GetSystemMetrics(SM_CYSCREEN));
    SendMessageW(frame->Handle(), MSG_SHOW_MAIN_LAYOUT, 0, 0);
    Pump();
    EXPECT_FALSE(frame->FullScreen());
    EXPECT_FALSE(frame->ThumbnailsFillScreen());
    EXPECT_TRUE(IsWindowVisible(frame->ViewPane()));
}

TEST_F(ViewerTest, ALowMemoryNoticeFreesEveryDecodedImageButTheCurrent) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) MakeImage(name);
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    ImageAlbum& album = frame->Album();
    ASSERT_EQ(album.Count(), 3);
    for (int i = 0; i < 3; ++i) ASSERT_NE(album.Entry(i)->image, nullptr) << i;  // cached
    SendMessageW(frame->Handle(), MSG_LOW_MEMORY, 0, 0);
    EXPECT_NE(album.Entry(0)->image, nullptr);
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(album.Entry(i)->image, nullptr) << i;
        EXPECT_EQ(album.Entry(i)->loadState, kNotDecoded) << i;
        EXPECT_NE(album.Entry(i)->icon, nullptr) << i;  // icons stay
    }
}

// A path that cannot be opened, by the Open and Add commands or handed over
// by a second start, is reported and changes nothing: the album, the shown
// picture and the current file stay, and the file stored for the next start
// is this viewer's own again.
TEST_F(ViewerTest, AFailedOpenKeepsTheAlbumThePictureAndTheCurrentFile) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) MakeImage(name);
    {
        std::ofstream(Host("My Documents/broken.mab"), std::ios::binary) << "RAB 100 with nothing after it";
        std::ofstream(Host("My Documents/foreign.mab"), std::ios::binary) << "a file of some other program";
    }
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    Command(IDM_NEXT_IMAGE);
    WaitForLoader();
    ImageAlbum& album = frame->Album();
    ASSERT_EQ(album.Count(), 3);
    ImageEntry* shown = album.Entry(1);
    ASSERT_EQ(frame->View()->Entry(), shown);
    const std::u16string currentFile = frame->CurrentFile();
    SetFileChooser(PickChosen);
    g_answer = IDOK;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerBox);
    // Missing paths never get past the chooser's resolution: no message,
    // nothing changes either.
    const struct {
        const char16_t* path;
        int boxes;
    } cases[] = {{u"\\My Documents\\gone.bmp", 0},
                 {u"\\Nowhere\\x.bmp", 0},
                 {u"\\My Documents\\broken.mab", 1},
                 {u"\\My Documents\\foreign.mab", 1}};
    for (UINT command : {IDM_OPEN, IDM_ADD_IMAGES}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(command == IDM_OPEN ? "open " : "add ") + platform::Utf16ToUtf8(c.path));
            lstrcpyW(g_chosen, c.path);
            g_boxes = 0;
            Command(command);
            EXPECT_EQ(g_boxes, c.boxes);
            EXPECT_EQ(album.Count(), 3);
            EXPECT_EQ(album.current, 1);
            EXPECT_EQ(frame->View()->Entry(), shown);
            EXPECT_TRUE(frame->View()->ImageShown());
            EXPECT_EQ(std::u16string(frame->CurrentFile()), currentFile);
        }
    }
    // A second start handed over a damaged album.
    StoreFileName(u"\\My Documents\\broken.mab");
    g_boxes = 0;
    SendMessageW(frame->Handle(), MSG_OPEN_STORED_FILE, 0, 0);
    Pump();
    EXPECT_EQ(g_boxes, 1);
    EXPECT_EQ(album.Count(), 3);
    WCHAR stored[MAX_PATH];
    LoadFileName(stored, MAX_PATH);
    EXPECT_EQ(std::u16string(stored), currentFile);
    KillTimer(nullptr, timer);
    SetFileChooser(nullptr);
}

// A start-up file that is gone is reported once; the next start opens the
// default folder.
TEST_F(MainFrameTest, AMissingStartUpFileIsReportedOnceThenForgotten) {
    g_answer = IDOK;
    g_boxes = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, AnswerBox);
    MainFrame* frame = Start(u"\\My Documents\\gone.bmp");
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_boxes, 1);
    EXPECT_EQ(frame->Album().Count(), 0);
    Command(IDM_EXIT);
    WCHAR stored[MAX_PATH];
    LoadFileName(stored, MAX_PATH);
    EXPECT_EQ(std::u16string(stored), u"\\My Documents\\*.*");
}

// The whole path of the notice: the image library counts what decoders take,
// the platform's watch sees the count near the budget and posts WM_HIBERNATE
// to the frame, and the frame drops every cached picture but the one shown.
TEST_F(ViewerTest, ImageMemoryPassingTheBudgetMakesTheFrameDropItsCache) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) MakeImage(name);
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    ImageAlbum& album = frame->Album();
    ASSERT_EQ(album.Count(), 3);
    for (int i = 0; i < 3; ++i) ASSERT_NE(album.Entry(i)->image, nullptr) << i;

    platform::ResetMemoryWatch();
    platform::SetLowMemoryNoticeInterval(0);
    platform::SetLowMemoryThreshold(1);  // the host's own figure stays out of it
    // The notice mark, fifteen sixteenths of the budget, 4 KiB above what is
    // in use now.
    const uint64_t mark = platform::ImageMemoryInUse() + 4096;
    platform::SetImageMemoryBudget((mark * 16 + 14) / 15);
    ASSERT_GE(platform::ImageMemoryNoticeMark(), mark);
    ASSERT_LT(platform::ImageMemoryNoticeMark(), mark + 1024);
    struct Step {
        const char* what;
        size_t allocate;  // by a decoder, through the library
        bool cacheKept;
    };
    const Step steps[] = {
        {"under the mark", 1024, true},
        {"past it", 8192, false},
    };
    std::vector<void*> blocks;
    for (const Step& s : steps) {
        blocks.push_back(ImageAllocate(s.allocate));
        ASSERT_NE(blocks.back(), nullptr) << s.what;
        Pump();
        EXPECT_NE(album.Entry(0)->image, nullptr) << s.what;  // the picture on show stays
        for (int i = 1; i < 3; ++i) {
            EXPECT_EQ(album.Entry(i)->image != nullptr, s.cacheKept) << s.what << ", entry " << i;
            EXPECT_NE(album.Entry(i)->icon, nullptr) << s.what << ", entry " << i;
        }
    }
    for (void* block : blocks) ImageFree(block);
    platform::SetImageMemoryBudget(0);
    platform::SetLowMemoryThreshold(0);
    platform::SetLowMemoryNoticeInterval(platform::kDefaultNoticeIntervalMs);
    platform::ResetMemoryWatch();
}

TEST_F(ViewerTest, DeletingTheCurrentImageShowsItsNeighbour) {
    MakeImage("a.bmp");
    MakeImage("b.bmp");
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    Command(IDM_LAST_IMAGE);
    WaitForLoader();
    Command(IDM_DELETE_IMAGE);
    WaitForLoader();
    ImageAlbum& album = frame->Album();
    ASSERT_EQ(album.Count(), 1);
    EXPECT_EQ(album.current, 0);
    EXPECT_EQ(frame->View()->Entry(), album.Entry(0));
    Command(IDM_DELETE_IMAGE);
    WaitForLoader();
    EXPECT_EQ(album.Count(), 0);
    EXPECT_FALSE(frame->View()->ImageShown());
    EXPECT_EQ(frame->IsCommandEnabled(IDM_DELETE_IMAGE), 0);
}

}  // namespace

namespace {

// A chooser that records what it was asked and answers from a script of
// paths (empty: cancel).
struct AskedRequest {
    std::u16string title, button, path;
    std::vector<std::u16string> extensions;
    DWORD flags = 0;
};
std::vector<AskedRequest> g_asked;
std::vector<std::u16string> g_answers;
int RecordingChooser(FileDialogRequest* request) {
    AskedRequest asked;
    asked.title = request->title ? request->title : u"";
    asked.button = request->buttonText ? request->buttonText : u"";
    asked.path = request->path;
    for (LPCWSTR e = request->extensions; e && *e; e += lstrlenW(e) + 1) asked.extensions.push_back(e);
    asked.flags = request->flags;
    g_asked.push_back(asked);
    const std::u16string answer = g_answers.empty() ? u"" : g_answers.front();
    if (!g_answers.empty()) g_answers.erase(g_answers.begin());
    if (answer.empty()) return 0;
    lstrcpyW(request->path, answer.c_str());
    return 1;
}

bool Lists(const std::vector<std::u16string>& list, const char16_t* item) {
    for (const auto& e : list) {
        if (e == item) return true;
    }
    return false;
}

}  // namespace

// Open and Add ask with the hint title, wildcards and "*.*"; Open also offers
// albums and Add says so on its button; the remembered folder goes in and the
// choice comes back into it for the next call.
TEST_F(ViewerTest, OpenAndAddAskTheChooserWithTheirRequestAndRememberWhereTheyEnded) {
    for (const char* name : {"a.bmp", "b.bmp"}) MakeImage(name);
    CreateDirectoryW(u"\\My Documents\\more", nullptr);
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    WaitForLoader();
    SetFileChooser(RecordingChooser);
    g_asked.clear();
    g_answers = {u"\\My Documents\\b.bmp", u"", u"\\My Documents\\a.bmp"};
    Command(IDM_OPEN);
    WaitForLoader();
    Command(IDM_ADD_IMAGES);
    Command(IDM_OPEN_FROM_BAR);
    WaitForLoader();
    SetFileChooser(nullptr);
    ASSERT_EQ(g_asked.size(), 3u);
    const AskedRequest& open = g_asked[0];
    EXPECT_EQ(open.title, u"Add image(s) [*? allowed]");
    EXPECT_EQ(open.button, u"");
    EXPECT_EQ(open.flags, 0xA0u);
    EXPECT_TRUE(Lists(open.extensions, u"mab"));
    EXPECT_TRUE(Lists(open.extensions, u"dcm"));
    EXPECT_TRUE(Lists(open.extensions, u"bmp"));
    EXPECT_EQ(open.path, u"\\My Documents\\a.bmp");  // the current file at first
    const AskedRequest& add = g_asked[1];
    EXPECT_EQ(add.button, u"Add");
    EXPECT_FALSE(Lists(add.extensions, u"mab"));
    EXPECT_TRUE(Lists(add.extensions, u"bmp"));
    EXPECT_EQ(add.path, u"\\My Documents\\b.bmp");  // where the Open ended
    // The cancelled Add left the remembered path alone.
    EXPECT_EQ(g_asked[2].path, u"\\My Documents\\b.bmp");
    EXPECT_EQ(std::u16string(frame->CurrentFile()), u"\\My Documents\\a.bmp");
}

// Save (17024) is offered once a chooser exists and the album has entries;
// it asks for an album file, and after a save the title names the album and
// the current file and the recent list are the album file. A cancel changes
// nothing.
TEST_F(ViewerTest, SavingTheAlbumAsksForAnAlbumFileAndMakesItTheCurrentFile) {
    for (const char* name : {"a.bmp", "b.bmp"}) MakeImage(name);
    MainFrame* frame = Start(u"\\My Documents\\*.*");
    WaitForLoader();
    EXPECT_EQ(frame->IsCommandEnabled(IDM_SAVE_ALBUM), 0);  // no chooser
    SetFileChooser(RecordingChooser);
    EXPECT_EQ(frame->IsCommandEnabled(IDM_SAVE_ALBUM), 1);
    g_asked.clear();
    g_answers = {u"", u"\\My Documents\\trip.mab"};
    Command(IDM_SAVE_ALBUM);
    EXPECT_EQ(std::u16string(frame->CurrentFile()), u"\\My Documents\\*.*");
    EXPECT_EQ(GetFileAttributesW(u"\\My Documents\\New.mab"), INVALID_FILE_ATTRIBUTES);
    Command(IDM_SAVE_ALBUM);
    SetFileChooser(nullptr);
    ASSERT_EQ(g_asked.size(), 2u);
    EXPECT_EQ(g_asked[0].title, u"Save images...");
    EXPECT_EQ(g_asked[0].button, u"Save");
    EXPECT_EQ(g_asked[0].flags, 0x14u);
    EXPECT_EQ(g_asked[0].extensions, std::vector<std::u16string>{u"mab"});
    EXPECT_EQ(g_asked[0].path, u"\\My Documents\\New.mab");
    EXPECT_NE(GetFileAttributesW(u"\\My Documents\\trip.mab"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(std::u16string(frame->CurrentFile()), u"\\My Documents\\trip.mab");
    EXPECT_EQ(std::u16string(frame->Recent().Entry(0)), u"\\My Documents\\trip.mab");
    EXPECT_EQ(Title(), u"trip[a.bmp]");
    // The next save proposes the album's own file.
    SetFileChooser(RecordingChooser);
    g_answers = {u""};
    Command(IDM_SAVE_ALBUM);
    SetFileChooser(nullptr);
    ASSERT_EQ(g_asked.size(), 3u);
    EXPECT_EQ(g_asked[2].path, u"\\My Documents\\trip.mab");
}
