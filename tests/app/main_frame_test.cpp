// The main frame with the program's own resources, on the headless screen in
// a fresh device root: the splash and the main layout, menu-bar switching,
// the commands' enabled state, navigation at the ends of the album, zoom
// arithmetic, opening files, the title and the settings written at exit.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/settings.h"
#include "gwes_fixture.h"
#include "image/image_library.h"
#include "image/image_memory.h"
#include "platform/device.h"
#include "platform/memory_watch.h"
#include "platform/registry.h"
#include "platform/sound_log.h"
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
bool PickChosen(HWND, HINSTANCE, bool, LPCWSTR, LPWSTR chosen) {
    lstrcpyW(chosen, g_chosen);
    return true;
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

TEST_F(ViewerTest, TheThumbnailBarIsPlacedByThePositionSetting) {
    MakeImage("a.bmp");
    MainFrame* frame = Start(u"\\My Documents\\a.bmp");
    WaitForLoader();
    RECT area;
    GetClientRect(frame->Panes().Handle(), &area);
    const int w = area.right, h = area.bottom;
    // Top and left: the bar gets the strip before the splitter (y < 72,
    // x < 47); bottom and right mirror them.
    struct Case {
        DWORD position;
        RECT bar, view;
    } cases[] = {
        {0, {0, 0, w, 72}, {0, 78, w, h}},
        {1, {0, 0, 47, h}, {53, 0, w, h}},
        {2, {0, h - 72, w, h}, {0, 0, w, h - 78}},
        {3, {w - 47, 0, w, h}, {0, 0, w - 53, h}},
    };
    for (const Case& c : cases) {
        frame->Options().prevPosition = c.position;
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
