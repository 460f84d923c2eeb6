// The picture view as a window on the headless 240x320 screen: what a paint
// puts on the screen, the placeholders, the zoom and rotation operations,
// pen input (tap, hold, pan, double tap), the zoom rectangle, the pages of
// a TIFF written by libtiff and the frames of multi-frame DICOM files.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "album/thumbnail_bar.h"
#include "app/main_frame_messages.h"
#include "dicom/dicom_handler.h"
#include "gwes_fixture.h"
#include "image/bmp_codec.h"
#include "image/image_library.h"
#include "res/resource.h"
#include "platform/wstr.h"
#include "view/picture_view.h"
#include "viewer_host_fixture.h"

namespace {

using gwes_test::ScreenPixel;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);
constexpr COLORREF kCyan = RGB(0, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The screen keeps 5-6-5 pixels: channels come back within a few steps.
bool Near(COLORREF a, COLORREF b) {
    auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
           close(GetBValue(a), GetBValue(b));
}

std::string Hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof text, "%06X", static_cast<unsigned>(c));
    return text;
}

// Writes a file below the device root (a device path without the leading
// backslash) from the host side.
void WriteHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes) {
    FILE* f = fopen(hostPath.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
}

// A minimal multi-frame DICOM file: explicit VR little endian, 8-bit
// MONOCHROME2, `frames` frames of `size` x `size` whose samples are
// value(frame, x, y).
std::vector<uint8_t> MultiFrameDicom(int frames, int size,
                                     const std::function<uint8_t(int, int, int)>& value) {
    std::vector<uint8_t> out(128, 0);
    auto text = [&](const char* s, size_t n) { out.insert(out.end(), s, s + n); };
    auto u16 = [&](unsigned v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    auto shortElement = [&](unsigned group, unsigned element, const char* vr,
                            const std::string& value) {
        u16(group);
        u16(element);
        text(vr, 2);
        u16(static_cast<unsigned>(value.size()));
        text(value.data(), value.size());
    };
    auto us = [&](unsigned element, unsigned v) {
        std::string value = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        shortElement(0x0028, element, "US", value);
    };
    text("DICM", 4);
    u16(0x0002);
    u16(0x0001);
    text("OB", 2);
    u16(0);
    u32(2);
    out.push_back(0);
    out.push_back(1);
    shortElement(0x0002, 0x0010, "UI", std::string("1.2.840.10008.1.2.1", 19) + '\0');
    us(0x0002, 1);
    shortElement(0x0028, 0x0004, "CS", "MONOCHROME2 ");
    std::string count = std::to_string(frames);
    if (count.size() % 2) count += ' ';
    shortElement(0x0028, 0x0008, "IS", count);
    us(0x0010, size);
    us(0x0011, size);
    us(0x0100, 8);
    us(0x0101, 8);
    us(0x0102, 7);
    us(0x0103, 0);
    u16(0x7FE0);
    u16(0x0010);
    text("OB", 2);
    u16(0);
    u32(static_cast<uint32_t>(frames * size * size));
    for (int f = 0; f < frames; ++f) {
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) out.push_back(value(f, x, y));
        }
    }
    return out;
}

// The decoded picture's bytes, rows top first.
std::vector<uint8_t> PictureBytes(const ImageFile& file) {
    const RImage& image = file.image;
    std::vector<uint8_t> out;
    const int width = image.header->biWidth;
    const int height = std::abs(image.header->biHeight);
    const int bytes = (width * image.header->biBitCount + 7) / 8;
    for (int y = height - 1; y >= 0; --y) {
        const BYTE* row = RowAddress(image, y);
        out.insert(out.end(), row, row + bytes);
    }
    return out;
}

class PictureViewTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        static const bool installed = [] {
            InstallDicomHandler();
            return true;
        }();
        (void)installed;
        library_ = std::make_unique<ImageLibrary>();
        library_->BuildLibrary();
        PublishImageLibrary(library_.get());
        host_ = std::make_unique<TestViewerHost>();
        host_->Options().bkgColor = kCyan;
        RECT inHost;
        GetClientRect(host_->HostWindow(), &inHost);
        // The view's parent logs what the view passes on (double taps).
        container_ = Child(host_->HostWindow(), 1, 0, 0, inHost.right, inHost.bottom);
        RECT rect = {0, 0, inHost.right, inHost.bottom};
        ASSERT_TRUE(view_.Create(host_.get(), container_, &rect, WS_VISIBLE, 16, nullptr));
        host_->view = &view_;
        Pump();
    }
    void TearDown() override {
        StopMenuWatch();
        WindowTest::TearDown();
        // Decoded images go back to the providers that made them.
        entries_.clear();
        host_.reset();
        PublishImageLibrary(nullptr);
        library_.reset();
    }

    // An entry decoded through the image library from a BMP of width x
    // height, 24 bits, whose pixel (x, y) (top row 0) is colour(x, y).
    ImageEntry* Picture(int width, int height, const std::function<COLORREF(int, int)>& colour,
                        DWORD flags = kDisplayZoomToFit, float zoom = 1.0f) {
        RImage picture;
        EXPECT_TRUE(CreateImage(nullptr, &picture, 24, width, height, nullptr, 0));
        for (int y = 0; y < height; ++y) {
            BYTE* row = RowAddress(picture, height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const COLORREF c = colour(x, y);
                row[x * 3 + 0] = GetBValue(c);
                row[x * 3 + 1] = GetGValue(c);
                row[x * 3 + 2] = GetRValue(c);
            }
        }
        const std::u16string path =
            u"\\Temp\\picture" + std::u16string(1, u'a' + entries_.size()) + u".bmp";
        HANDLE out =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_EQ(SaveBmp(out, picture), kLoadOk);
        CloseHandle(out);
        ReleaseImagePixels(&picture);
        return Decoded(path, flags, zoom);
    }

    ImageEntry* Decoded(const std::u16string& path, DWORD flags = kDisplayZoomToFit,
                        float zoom = 1.0f) {
        auto entry = std::make_unique<ImageEntry>();
        entry->image = new ImageFile();
        entry->image->InitImageFile();
        EXPECT_TRUE(entry->image->LoadFromPath(path.c_str(), 0)) << entry->image->lastError;
        if (entry->image->image.header) {
            entry->block.width = entry->image->image.header->biWidth;
            entry->block.height = std::abs(entry->image->image.header->biHeight);
            entry->block.bitsPerPixel = static_cast<BYTE>(entry->image->image.header->biBitCount);
        }
        entry->block.flags = flags;
        entry->block.zoom = zoom;
        entry->loadState = kDecoded;
        entries_.push_back(std::move(entry));
        return entries_.back().get();
    }

    // A picture in four quadrants: red, green above; yellow, white below.
    ImageEntry* Quadrants(int width, int height) {
        return Picture(width, height, [width, height](int x, int y) {
            const bool right = x >= width / 2;
            const bool bottom = y >= height / 2;
            return bottom ? (right ? kWhite : kYellow) : (right ? kGreen : kRed);
        });
    }

    // A screen pixel at a client point of the view.
    COLORREF ViewPixel(int x, int y) const {
        POINT p = {x, y};
        ClientToScreen(view_.Handle(), &p);
        return ScreenPixel(p.x, p.y);
    }
    POINT OnScreen(int x, int y) const {
        POINT p = {x, y};
        ClientToScreen(view_.Handle(), &p);
        return p;
    }
    void Pen(platform::Pen action, int x, int y) {
        const POINT p = OnScreen(x, y);
        platform::InjectPen(action, p.x, p.y);
    }
    // Dispatches messages (timers included) for `ms` milliseconds.
    void PumpFor(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            Pump();
            Sleep(5);
        }
        Pump();
    }

    // While a menu is open: notes it and presses `key` in it (0: closes it).
    void WatchMenus(UINT key) {
        g_menuKey = key;
        g_menusSeen = 0;
        watchTimer_ = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
            if (!FindWindowW(u"#32768", nullptr)) return;
            ++g_menusSeen;
            if (g_menuKey) {
                platform::InjectKey(g_menuKey, true);
                platform::InjectKey(g_menuKey, false);
            } else {
                EndMenu();
            }
        });
    }
    void StopMenuWatch() {
        if (watchTimer_) KillTimer(nullptr, watchTimer_);
        watchTimer_ = 0;
    }
    std::vector<WPARAM> HostCommands() const {
        std::vector<WPARAM> out;
        for (const auto& m : host_->received) {
            if (m.message == WM_COMMAND) out.push_back(LOWORD(m.wParam));
        }
        return out;
    }

    static inline UINT g_menuKey = 0;
    static inline int g_menusSeen = 0;
    UINT_PTR watchTimer_ = 0;
    std::unique_ptr<ImageLibrary> library_;
    std::unique_ptr<TestViewerHost> host_;
    std::vector<std::unique_ptr<ImageEntry>> entries_;
    HWND container_ = nullptr;
    PictureView view_;
};

// ---- Paint -------------------------------------------------------------------------------------

TEST_F(PictureViewTest, PaintPutsThePictureInDestRectAndTheBackgroundAround) {
    // 100x50 in 240x268: zoom 1, centred; the rotation turns the quadrants.
    const struct {
        int rotation;
        RECT dest;
        COLORREF topLeft, topRight, bottomLeft, bottomRight;
    } cases[] = {
        {0, {70, 109, 170, 159}, kRed, kGreen, kYellow, kWhite},
        // A quarter turn anticlockwise: the top-right corner comes to the top left.
        {90, {95, 84, 145, 184}, kGreen, kWhite, kRed, kYellow},
        {180, {70, 109, 170, 159}, kWhite, kYellow, kGreen, kRed},
        {270, {95, 84, 145, 184}, kYellow, kRed, kWhite, kGreen},
        {-90, {95, 84, 145, 184}, kYellow, kRed, kWhite, kGreen},
    };
    ImageEntry* entry = Quadrants(100, 50);
    for (const auto& c : cases) {
        entry->block.rotation = c.rotation;
        ASSERT_TRUE(view_.ShowEntry(entry, true));
        Pump();
        const RECT& d = view_.DestRect();
        EXPECT_EQ(d.left, c.dest.left) << c.rotation;
        EXPECT_EQ(d.top, c.dest.top) << c.rotation;
        EXPECT_EQ(d.right, c.dest.right) << c.rotation;
        EXPECT_EQ(d.bottom, c.dest.bottom) << c.rotation;
        const struct {
            int x, y;
            COLORREF expected;
        } points[] = {
            {d.left + 2, d.top + 2, c.topLeft},
            {d.right - 3, d.top + 2, c.topRight},
            {d.left + 2, d.bottom - 3, c.bottomLeft},
            {d.right - 3, d.bottom - 3, c.bottomRight},
            // The margins, right next to the picture and far from it.
            {d.left - 1, d.top + 5, kCyan},
            {d.right, d.top + 5, kCyan},
            {d.left + 5, d.top - 1, kCyan},
            {d.left + 5, d.bottom, kCyan},
            {0, 0, kCyan},
            {239, 267, kCyan},
        };
        for (const auto& p : points) {
            const COLORREF got = ViewPixel(p.x, p.y);
            EXPECT_TRUE(Near(got, p.expected))
                << "rotation " << c.rotation << " at (" << p.x << ", " << p.y << "): " << Hex(got)
                << " instead of " << Hex(p.expected);
        }
    }
}

TEST_F(PictureViewTest, ZoomedPaintShowsTheSourceRectangle) {
    // A 400x400 picture whose left half is red and right half blue, at 2x
    // panned so that the boundary (x = 200, at 400 on screen) is at 120.
    ImageEntry* entry = Picture(
        400, 400, [](int x, int) { return x < 200 ? kRed : kBlue; }, 0, 2.0f);
    entry->block.offsetX = -280;
    entry->block.offsetY = -100;
    view_.ShowEntry(entry, true);
    Pump();
    EXPECT_EQ(view_.SourceRect().left, 140);
    EXPECT_EQ(view_.SourceRect().right, 260);
    EXPECT_TRUE(Near(ViewPixel(0, 100), kRed));
    EXPECT_TRUE(Near(ViewPixel(118, 100), kRed));
    EXPECT_TRUE(Near(ViewPixel(122, 100), kBlue));
    EXPECT_TRUE(Near(ViewPixel(239, 267), kBlue));
}

TEST_F(PictureViewTest, PlaceholdersAndTheirRedMessages) {
    RECT client;
    GetClientRect(view_.Handle(), &client);
    const int bitmapLeft = (client.right - 32) / 2;
    const int bitmapTop = (client.bottom - 38) / 2;
    const struct {
        int code;
        bool message;
    } cases[] = {
        {kViewLoading, true}, {static_cast<int>(kLoadCorrupt), true}, {kViewNoMessage, false}};
    for (const auto& c : cases) {
        view_.ShowMessage(c.code, true);
        Pump();
        EXPECT_FALSE(view_.ImageShown());
        EXPECT_EQ(view_.ErrorCode(), c.code);
        // The text's pixels, smoothed into the background: red over cyan.
        int red = 0;
        for (int y = bitmapTop + 38 + 5; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF c = ViewPixel(x, y);
                red += GetRValue(c) > 128 && GetGValue(c) < 128 && GetBValue(c) < 128 ? 1 : 0;
            }
        }
        if (c.message) {
            EXPECT_GT(red, 10) << c.code;
            // The sheet is drawn; its magenta corner lets the background through.
            EXPECT_TRUE(Near(ViewPixel(bitmapLeft + 10, bitmapTop + 3), kWhite)) << c.code;
            EXPECT_TRUE(Near(ViewPixel(bitmapLeft + 31, bitmapTop), kCyan)) << c.code;
            EXPECT_TRUE(Near(ViewPixel(2, 2), kCyan)) << c.code;
        } else {
            // Nothing to say: the white class background.
            EXPECT_EQ(red, 0);
            EXPECT_TRUE(Near(ViewPixel(client.right / 2, client.bottom / 2), kWhite));
        }
    }
    EXPECT_EQ(host_->menuBars.back(), kViewMainMenuBar);
}

TEST_F(PictureViewTest, APictureWhoseFileEndsEarlySaysSoInRed) {
    // A grey picture, whole and cut to its first rows: both are shown, the
    // cut one with its black remainder and the red line at the bottom.
    ImageEntry* whole = Picture(120, 80, [](int, int) { return RGB(128, 128, 128); });
    std::ifstream in(Host("Temp/picturea.bmp"), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 2000u);
    bytes.resize(bytes.size() / 2);
    WriteHostFile(Host("Temp/cut.bmp"), bytes);
    ImageEntry* cut = Decoded(u"\\Temp\\cut.bmp");
    RECT client;
    GetClientRect(view_.Handle(), &client);
    const struct {
        const char* what;
        ImageEntry* entry;
        bool incomplete;
    } cases[] = {{"whole", whole, false}, {"cut", cut, true}, {"whole again", whole, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(view_.ShowEntry(c.entry, true));
        Pump();
        EXPECT_EQ(view_.ShowsIncompletePicture(), c.incomplete);
        int red = 0;
        for (int y = client.bottom - 14; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                const COLORREF p = ViewPixel(x, y);
                red += GetRValue(p) > 128 && GetGValue(p) < 128 && GetBValue(p) < 128 ? 1 : 0;
            }
        }
        EXPECT_EQ(red > 0, c.incomplete) << red << " red pixels";
        // The picture is there either way: its bottom rows, the first the
        // file stores, arrived.
        const POINT centre = {(view_.DestRect().left + view_.DestRect().right) / 2, view_.DestRect().bottom - 3};
        EXPECT_TRUE(Near(ViewPixel(centre.x, centre.y), RGB(128, 128, 128))) << Hex(ViewPixel(centre.x, centre.y));
    }
}

TEST_F(PictureViewTest, BackgroundComesFromTheSettingsAndSetBackground) {
    ImageEntry* entry = Quadrants(20, 20);
    view_.ShowEntry(entry, true);
    Pump();
    EXPECT_TRUE(Near(ViewPixel(3, 3), kCyan));
    view_.SetBackground(kBlack);
    view_.Layout();
    Pump();
    EXPECT_TRUE(Near(ViewPixel(3, 3), kBlack));
}

// ---- Zoom, rotation, resizing ------------------------------------------------------------------

TEST_F(PictureViewTest, SetZoomKeepsTheVisibleCentre) {
    ImageEntry* entry = Picture(1000, 1000, [](int, int) { return kWhite; });
    EXPECT_FALSE(view_.SetZoom(1.0f, true));  // nothing shown yet
    view_.ShowEntry(entry, true);
    EXPECT_FLOAT_EQ(entry->block.zoom, 0.24f);
    ASSERT_TRUE(view_.SetZoom(1.0f, true));
    EXPECT_FALSE(entry->block.flags & kDisplayZoomToFit);
    EXPECT_EQ(entry->block.offsetX, 120 - 500);
    EXPECT_EQ(entry->block.offsetY, 134 - 500);
    EXPECT_EQ(view_.SourceRect().left, 380);
    EXPECT_EQ(view_.SourceRect().top, 366);
    ASSERT_TRUE(view_.SetZoom(-1.0f, true));
    EXPECT_TRUE(entry->block.flags & kDisplayZoomToFit);
    EXPECT_FLOAT_EQ(entry->block.zoom, 0.24f);
}

TEST_F(PictureViewTest, ResizeRefitsUnlessTheUserZoomed) {
    ImageEntry* entry = Picture(480, 640, [](int, int) { return kWhite; });
    view_.ShowEntry(entry, true);
    EXPECT_FLOAT_EQ(entry->block.zoom, 0.41875f);
    MoveWindow(view_.Handle(), 0, 0, 240, 320, TRUE);
    EXPECT_FLOAT_EQ(entry->block.zoom, 0.5f);
    view_.SetZoom(2.0f, true);
    MoveWindow(view_.Handle(), 0, 0, 240, 268, TRUE);
    EXPECT_FLOAT_EQ(entry->block.zoom, 2.0f);
    EXPECT_FALSE(entry->block.flags & kDisplayZoomToFit);
}

TEST_F(PictureViewTest, RotateNormalisesAndFits) {
    ImageEntry* entry = Picture(64, 48, [](int, int) { return kWhite; });
    EXPECT_FALSE(view_.Rotate(90, true));  // nothing shown yet
    view_.ShowEntry(entry, true);
    for (int i = 1; i <= 4; ++i) {
        ASSERT_TRUE(view_.Rotate(90, true));
        EXPECT_EQ(entry->block.rotation, (i * 90) % 360);
    }
    view_.Rotate(-90, true);
    EXPECT_EQ(entry->block.rotation, 270);  // stored as 270, not -90
    view_.Rotate(-180, true);
    EXPECT_EQ(entry->block.rotation, 90);
    view_.Rotate(180, true);
    EXPECT_EQ(entry->block.rotation, 270);
    EXPECT_FALSE(entry->block.flags & kDisplayRotateToFit);
    // Rotate to fit: the landscape picture in the portrait view turns.
    entry->block.rotation = 0;
    ASSERT_TRUE(view_.Rotate(-1, true));
    EXPECT_TRUE(entry->block.flags & kDisplayRotateToFit);
    EXPECT_EQ(entry->block.rotation, 90);
    view_.Rotate(-1, true);
    EXPECT_EQ(entry->block.rotation, 90);
    // In a landscape view it turns back.
    MoveWindow(view_.Handle(), 0, 0, 240, 120, TRUE);
    EXPECT_EQ(entry->block.rotation, 0);
}

TEST_F(PictureViewTest, LayoutMessageAndMenuBarsFromTheLoaderThread) {
    ImageEntry* entry = Quadrants(100, 50);
    // The loader shows entries without drawing, from its own thread; the
    // frame's menu bar is then asked for by a posted message.
    std::thread loader([&] { view_.ShowEntry(entry, false); });
    loader.join();
    EXPECT_TRUE(host_->menuBars.empty());
    Pump();
    bool posted = false;
    for (const auto& m : host_->received) {
        posted = posted || (m.message == MSG_SWITCH_MENU_BAR && m.wParam == kViewMainMenuBar);
    }
    EXPECT_TRUE(posted);
    SendMessageW(view_.Handle(), MSG_VIEW_LAYOUT, 0, 0);
    EXPECT_EQ(view_.DestRect().left, 70);
    EXPECT_TRUE(Near(ViewPixel(72, 111), kRed));
}

// ---- Pen input ---------------------------------------------------------------------------------

TEST_F(PictureViewTest, TapDoesNothingAndHoldOpensTheImageMenu) {
    view_.ShowEntry(Quadrants(100, 50), true);
    // A tap shorter than the hold time.
    WatchMenus(0);
    Pen(platform::Pen::Down, 120, 134);
    Pen(platform::Pen::Up, 120, 134);
    PumpFor(kViewHoldMs + 200);
    EXPECT_EQ(g_menusSeen, 0);
    StopMenuWatch();
    // Holding still (a wobble within 5 pixels included): the "Image" menu
    // opens; its commands go to the frame.
    WatchMenus('F');  // "&Full Screen"
    Pen(platform::Pen::Down, 120, 134);
    Pen(platform::Pen::Move, 124, 131);
    // The hold time, then (on a busy machine) until the chosen command came.
    PumpFor(kViewHoldMs + 100);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (HostCommands().empty() && std::chrono::steady_clock::now() < until) PumpFor(10);
    Pen(platform::Pen::Up, 124, 131);
    Pump();
    EXPECT_GE(g_menusSeen, 1);
    EXPECT_EQ(HostCommands(), std::vector<WPARAM>{IDM_FULL_SCREEN});
    EXPECT_FALSE(view_.Panning());
}

TEST_F(PictureViewTest, MovingFirstPansInsteadOfHolding) {
    ImageEntry* entry = Picture(
        1000, 1000, [](int, int) { return kWhite; }, 0, 1.0f);
    entry->block.offsetX = -400;
    entry->block.offsetY = -300;
    view_.ShowEntry(entry, true);
    WatchMenus(0);
    Pen(platform::Pen::Down, 120, 134);
    Pen(platform::Pen::Move, 126, 134);  // 6 pixels: beyond the threshold
    Pump();
    EXPECT_TRUE(view_.Panning());
    EXPECT_EQ(entry->block.offsetX, -394);
    Pen(platform::Pen::Move, 100, 120);
    Pump();
    EXPECT_EQ(entry->block.offsetX, -420);
    EXPECT_EQ(entry->block.offsetY, -314);
    EXPECT_EQ(view_.SourceRect().left, 420);
    // Panning never shows a margin: the offsets stop at their limits.
    Pen(platform::Pen::Move, 2000, -5000);
    Pump();
    EXPECT_EQ(entry->block.offsetX, 0);
    EXPECT_EQ(entry->block.offsetY, 268 - 1000);
    PumpFor(kViewHoldMs + 200);
    Pen(platform::Pen::Up, 0, 0);
    Pump();
    EXPECT_FALSE(view_.Panning());
    EXPECT_EQ(g_menusSeen, 0);
    EXPECT_TRUE(HostCommands().empty());
}

TEST_F(PictureViewTest, SmallPictureStaysCentredWhenDragged) {
    ImageEntry* entry = Quadrants(100, 50);
    view_.ShowEntry(entry, true);
    Pen(platform::Pen::Down, 120, 134);
    Pen(platform::Pen::Move, 160, 170);
    Pen(platform::Pen::Up, 160, 170);
    Pump();
    EXPECT_EQ(entry->block.offsetX, 70);
    EXPECT_EQ(entry->block.offsetY, 109);
}

TEST_F(PictureViewTest, DoubleTapGoesToTheParentUnlessTheZoomRectangleShows) {
    view_.ShowEntry(Quadrants(100, 50), true);
    auto doubleTap = [&] {
        gwes_test::ClearLog();
        for (int i = 0; i < 2; ++i) {
            Pen(platform::Pen::Down, 120, 134);
            Pen(platform::Pen::Up, 120, 134);
        }
        Pump();
        int seen = 0;
        for (const auto& m : gwes_test::TakeLog()) {
            seen += m.hwnd == container_ && m.message == WM_LBUTTONDBLCLK ? 1 : 0;
        }
        return seen;
    };
    EXPECT_EQ(doubleTap(), 1);
    // The first tap inside the rectangle zooms; the second is not a double
    // tap for the frame.
    ASSERT_TRUE(view_.HandleCommand(IDM_ZOOM_RECT_LAST));
    ASSERT_EQ(view_.ZoomRectMode(), kZoomRectShown);
    EXPECT_EQ(doubleTap(), 0);
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectOff);
    // Nor is a double tap that ends the rectangle outside it.
    ASSERT_TRUE(view_.HandleCommand(IDM_ZOOM_RECT_FIRST));
    gwes_test::ClearLog();
    for (int i = 0; i < 2; ++i) {
        Pen(platform::Pen::Down, 5, 5);
        Pen(platform::Pen::Up, 5, 5);
    }
    Pump();
    for (const auto& m : gwes_test::TakeLog()) EXPECT_NE(m.message, (UINT)WM_LBUTTONDBLCLK);
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectOff);
    EXPECT_EQ(doubleTap(), 1);
}

// ---- The zoom rectangle ------------------------------------------------------------------------

TEST_F(PictureViewTest, ZoomRectangleFollowsThePenAndZoomsOnATapInside) {
    ImageEntry* entry = Picture(240, 268, [](int, int) { return kWhite; });
    view_.ShowEntry(entry, true);
    ASSERT_FLOAT_EQ(entry->block.zoom, 1.0f);
    auto framePixels = [&] {
        int dark = 0;
        for (int x = 96; x < 144; ++x) dark += Near(ViewPixel(x, 107), kWhite) ? 0 : 1;
        return dark;
    };
    EXPECT_EQ(framePixels(), 0);
    ASSERT_TRUE(view_.HandleCommand(IDM_ZOOM_RECT_FIRST));
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectShown);
    const RECT shown = view_.ZoomRect();
    EXPECT_EQ(shown.left, 96);
    EXPECT_EQ(shown.top, 107);
    EXPECT_EQ(shown.right, 144);
    // The dotted focus frame is on the screen along the rectangle's top.
    EXPECT_GT(framePixels(), 10);
    // Dragging moves the rectangle; lifting after a move zooms nothing.
    Pen(platform::Pen::Down, 100, 110);
    Pump();
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectPenDown);
    Pen(platform::Pen::Move, 110, 115);
    Pen(platform::Pen::Up, 110, 115);
    Pump();
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectShown);
    EXPECT_EQ(view_.ZoomRect().left, 106);
    EXPECT_EQ(view_.ZoomRect().top, 112);
    EXPECT_FLOAT_EQ(entry->block.zoom, 1.0f);
    // A tap inside: 240 / 48 = 5 and 268 / 53 = 5.
    Pen(platform::Pen::Down, 120, 130);
    Pen(platform::Pen::Up, 120, 130);
    Pump();
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectOff);
    EXPECT_FLOAT_EQ(entry->block.zoom, 5.0f);
    EXPECT_FALSE(entry->block.flags & kDisplayZoomToFit);
    // The centre of the rectangle (130, 138) is now the centre of the view.
    EXPECT_EQ(entry->block.offsetX, 120 - 130 * 5);
    EXPECT_EQ(entry->block.offsetY, 134 - 138 * 5);
    // A tap outside the rectangle ends the mode.
    view_.HandleCommand(IDM_ZOOM_RECT_LAST);
    Pen(platform::Pen::Down, 5, 5);
    Pen(platform::Pen::Up, 5, 5);
    Pump();
    EXPECT_EQ(view_.ZoomRectMode(), kZoomRectOff);
    EXPECT_FLOAT_EQ(entry->block.zoom, 5.0f);
}

// ---- Commands ----------------------------------------------------------------------------------

TEST_F(PictureViewTest, CommandsOfLaterWorkAreDisabledAndNotConsumed) {
    view_.ShowEntry(Quadrants(100, 50), true);
    const UINT later[] = {IDM_PLAY_VIDEO, IDM_DRAW_NOTES, IDM_VIDEO_START, IDM_VIDEO_STOP};
    for (UINT id : later) {
        EXPECT_EQ(view_.IsCommandEnabled(id), 0) << id;
        EXPECT_FALSE(view_.HandleCommand(id)) << id;
    }
    // The view has no opinion on the frame's own commands and leaves them.
    const UINT frames[] = {IDM_NEXT_IMAGE, IDM_ZOOM_IN, IDM_FULL_SCREEN, IDM_EXIT};
    for (UINT id : frames) {
        EXPECT_EQ(view_.IsCommandEnabled(id), -1) << id;
        EXPECT_FALSE(view_.HandleCommand(id)) << id;
    }
    // A still picture: the main menu bar and no steps.
    EXPECT_EQ(host_->menuBars.back(), kViewMainMenuBar);
    EXPECT_FALSE(view_.UsesFrameBar());
    const UINT steps[] = {IDM_PREVIOUS_PAGE,  IDM_NEXT_PAGE,  IDM_VIDEO_FIRST,
                          IDM_VIDEO_PREVIOUS, IDM_VIDEO_NEXT, IDM_VIDEO_LAST};
    for (UINT id : steps) EXPECT_EQ(view_.IsCommandEnabled(id), 0) << id;
}

TEST_F(PictureViewTest, TheDialogCommandsFollowTheShownPictureAndTheFrameModes) {
    const UINT adjust[] = {IDM_CONTRAST_BRIGHTNESS, IDM_WINDOW_LEVEL};
    // Nothing shown: nothing to adjust or to read.
    for (UINT id : adjust) EXPECT_EQ(view_.IsCommandEnabled(id), 0) << id;
    EXPECT_EQ(view_.IsCommandEnabled(IDM_DICOM_INFO), 0);
    view_.ShowEntry(Quadrants(100, 50), true);
    for (UINT id : adjust) EXPECT_EQ(view_.IsCommandEnabled(id), 1) << id;
    // The information needs an album entry naming a real file.
    struct Case {
        const char16_t* path;
        int enabled;
    };
    const Case cases[] = {
        {u"\\Temp\\picturea.bmp", 1},
        {u"\\Temp\\remote.url", 0},                // a link to a remote file
        {u"\\My Documents\\temp.url", 1},          // the downloaded copy is real
        {u"\\My Documents\\TEMP.URL", 1},
    };
    ImageAlbum& album = host_->HostAlbum();
    for (const Case& c : cases) {
        album.Clear();
        album.Append(c.path);
        album.current = 0;
        EXPECT_EQ(view_.IsCommandEnabled(IDM_DICOM_INFO), c.enabled) << platform::Utf16ToUtf8(c.path);
    }
    // A slide show or full screen takes the adjustments away, a slide show
    // the information too.
    host_->fullScreen = true;
    for (UINT id : adjust) EXPECT_EQ(view_.IsCommandEnabled(id), 0) << id;
    EXPECT_EQ(view_.IsCommandEnabled(IDM_DICOM_INFO), 1);
    host_->fullScreen = false;
    host_->slideShow = true;
    for (UINT id : adjust) EXPECT_EQ(view_.IsCommandEnabled(id), 0) << id;
    EXPECT_EQ(view_.IsCommandEnabled(IDM_DICOM_INFO), 0);
    host_->slideShow = false;
    album.Clear();
}

// ---- Pages -------------------------------------------------------------------------------------

struct Page {
    uint32_t width, height;
    uint8_t red, green, blue;
};

void WriteTiffPages(const std::string& hostPath, const std::vector<Page>& pages) {
    TIFF* tiff = TIFFOpen(hostPath.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    for (const Page& page : pages) {
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
        std::vector<uint8_t> row(page.width * 3);
        for (uint32_t x = 0; x < page.width; ++x) {
            row[x * 3] = page.red;
            row[x * 3 + 1] = page.green;
            row[x * 3 + 2] = page.blue;
        }
        for (uint32_t y = 0; y < page.height; ++y) TIFFWriteScanline(tiff, row.data(), y, 0);
        TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
}

TEST_F(PictureViewTest, PagesOfAMultiPageTiff) {
    WriteTiffPages(Host("Temp/pages.tif"),
                   {{40, 30, 255, 0, 0}, {60, 20, 0, 0, 255}, {20, 50, 0, 255, 0}});
    ImageEntry* entry = Decoded(u"\\Temp\\pages.tif");
    ASSERT_EQ(view_.PageCount(), 1);  // nothing shown yet
    view_.ShowEntry(entry, true);
    ASSERT_EQ(view_.PageCount(), 3);
    EXPECT_EQ(host_->menuBars.back(), kViewVideoMenuBar);
    EXPECT_TRUE(view_.UsesFrameBar());

    const struct {
        UINT command;
        int page, width;
        COLORREF colour;
        // Enabled: previous page, next page, first, previous, next, last.
        int enabled[6];
    } steps[] = {
        {0, 0, 40, kRed, {0, 1, 0, 0, 1, 1}},
        {IDM_PREVIOUS_PAGE, 0, 40, kRed, {0, 1, 0, 0, 1, 1}},  // already on the first
        {IDM_NEXT_PAGE, 1, 60, kBlue, {1, 1, 1, 1, 1, 1}},
        {IDM_VIDEO_NEXT, 2, 20, kGreen, {1, 0, 1, 1, 0, 0}},
        {IDM_VIDEO_NEXT, 2, 20, kGreen, {1, 0, 1, 1, 0, 0}},  // beyond the last
        {IDM_VIDEO_FIRST, 0, 40, kRed, {0, 1, 0, 0, 1, 1}},
        {IDM_VIDEO_LAST, 2, 20, kGreen, {1, 0, 1, 1, 0, 0}},
        {IDM_VIDEO_PREVIOUS, 1, 60, kBlue, {1, 1, 1, 1, 1, 1}},
    };
    const UINT rules[] = {IDM_PREVIOUS_PAGE,  IDM_NEXT_PAGE,  IDM_VIDEO_FIRST,
                          IDM_VIDEO_PREVIOUS, IDM_VIDEO_NEXT, IDM_VIDEO_LAST};
    for (const auto& s : steps) {
        if (s.command) {
            EXPECT_TRUE(view_.HandleCommand(s.command));
        }
        Pump();
        EXPECT_EQ(view_.PageIndex(), s.page) << s.command;
        EXPECT_EQ(view_.ImageWidth(), s.width) << s.command;
        EXPECT_EQ(entry->block.width, s.width) << s.command;
        EXPECT_TRUE(Near(ViewPixel(120, 134), s.colour))
            << s.command << ": " << Hex(ViewPixel(120, 134));
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(view_.IsCommandEnabled(rules[i]), s.enabled[i])
                << "after " << s.command << ", rule of " << rules[i];
        }
    }

    // A page that cannot be read shows its error, then the entry again,
    // still on the page it holds.
    ASSERT_EQ(DeleteFileW(u"\\Temp\\pages.tif"), TRUE);
    host_->menuBars.clear();
    EXPECT_TRUE(view_.HandleCommand(IDM_NEXT_PAGE));
    EXPECT_EQ(view_.PageIndex(), 1);
    EXPECT_TRUE(view_.ImageShown());
    EXPECT_EQ(view_.ErrorCode(), kViewNoMessage);
    EXPECT_EQ(host_->menuBars, (std::vector<int>{kViewMainMenuBar, kViewVideoMenuBar}));
    EXPECT_TRUE(Near(ViewPixel(120, 134), kBlue));
}

// ---- Frames ------------------------------------------------------------------------------------

TEST_F(PictureViewTest, FramesOfAMultiFrameDicom) {
    // Frame f: a horizontal ramp starting at 30 + 50 f.
    WriteHostFile(Host("Temp/cine.dcm"), MultiFrameDicom(4, 16, [](int f, int x, int) {
                      return static_cast<uint8_t>(30 + 50 * f + x);
                  }));
    ImageEntry* entry = Decoded(u"\\Temp\\cine.dcm");
    view_.ShowEntry(entry, true);
    ASSERT_TRUE(view_.MultiFrame());
    ASSERT_EQ(view_.FrameCount(), 4);
    EXPECT_EQ(host_->menuBars.back(), kViewVideoMenuBar);
    EXPECT_TRUE(view_.UsesFrameBar());
    EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_FIRST), 0);
    EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_NEXT), 1);

    // Each frame's picture and its brightness on the screen.
    std::vector<std::vector<uint8_t>> pictures;
    std::vector<int> brightness;
    for (int f = 0; f < 4; ++f) {
        ASSERT_TRUE(view_.GoToFrame(f)) << f;
        EXPECT_EQ(view_.FrameIndex(), f);
        pictures.push_back(PictureBytes(*entry->image));
        brightness.push_back(GetGValue(ViewPixel(120, 134)));
    }
    for (int f = 1; f < 4; ++f) {
        EXPECT_NE(pictures[f], pictures[f - 1]) << f;
        EXPECT_GT(brightness[f], brightness[f - 1]) << f;
    }
    // Beyond the last shows the last; before the first the first.
    ASSERT_TRUE(view_.GoToFrame(99));
    EXPECT_EQ(view_.FrameIndex(), 3);
    EXPECT_EQ(PictureBytes(*entry->image), pictures[3]);
    EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_NEXT), 0);
    EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_PREVIOUS), 1);
    ASSERT_TRUE(view_.GoToFrame(-5));
    EXPECT_EQ(PictureBytes(*entry->image), pictures[0]);

    // The video bar's buttons step the frames.
    const struct {
        UINT command;
        int frame;
    } steps[] = {{IDM_VIDEO_NEXT, 1},    {IDM_VIDEO_NEXT, 2}, {IDM_VIDEO_PREVIOUS, 1},
                 {IDM_VIDEO_LAST, 3},    {IDM_VIDEO_NEXT, 3}, {IDM_VIDEO_FIRST, 0},
                 {IDM_VIDEO_PREVIOUS, 0}};
    for (const auto& s : steps) {
        EXPECT_TRUE(view_.HandleCommand(s.command));
        EXPECT_EQ(view_.FrameIndex(), s.frame) << s.command;
        EXPECT_EQ(PictureBytes(*entry->image), pictures[s.frame]) << s.command;
    }

    // The frame comes from the file: without it nothing changes, neither
    // the picture nor the frame index, whichever way the step was asked for,
    // so the video bar's rules still follow the frame on the screen.
    ASSERT_TRUE(view_.GoToFrame(2));
    ASSERT_EQ(DeleteFileW(u"\\Temp\\cine.dcm"), TRUE);
    const struct {
        UINT command;  // 0: GoToFrame(frame)
        int frame;
    } failedSteps[] = {{0, 1}, {0, 3}, {0, 0}, {IDM_VIDEO_NEXT, 0}, {IDM_VIDEO_PREVIOUS, 0},
                       {IDM_VIDEO_LAST, 0}, {IDM_VIDEO_FIRST, 0}};
    for (const auto& s : failedSteps) {
        SCOPED_TRACE(testing::Message() << "command " << s.command << " frame " << s.frame);
        if (s.command == 0) {
            EXPECT_FALSE(view_.GoToFrame(s.frame));
        } else {
            view_.HandleCommand(s.command);
        }
        EXPECT_EQ(view_.FrameIndex(), 2);
        EXPECT_EQ(PictureBytes(*entry->image), pictures[2]);
        EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_NEXT), 1);
        EXPECT_EQ(view_.IsCommandEnabled(IDM_VIDEO_PREVIOUS), 1);
    }
}

TEST_F(PictureViewTest, FramesWithTheTwelveBitConversion) {
    WriteHostFile(Host("Temp/cine.dcm"), MultiFrameDicom(3, 32, [](int f, int x, int y) {
                      return static_cast<uint8_t>(f * 80 + (x + y) * 2);
                  }));
    ImageEntry* entry = Decoded(u"\\Temp\\cine.dcm");
    host_->Options().iPaqOptimization = 1;
    view_.ShowEntry(entry, true);
    ASSERT_TRUE(view_.GoToFrame(2));
    EXPECT_EQ(view_.FrameIndex(), 2);
    EXPECT_TRUE(view_.ImageShown());
}

TEST_F(PictureViewTest, FramesOfPydicomFiles) {
    const std::string folder = KESTRAVA_PYDICOM_TEST_FILES;
    const char* names[] = {"SC_rgb_rle_2frame.dcm", "rtdose.dcm"};
    int tried = 0;
    for (const char* name : names) {
        const std::string source = folder + "/" + name;
        if (!std::filesystem::exists(source)) continue;
        ++tried;
        std::filesystem::copy_file(source, Host(std::string("Temp/") + name));
        ImageEntry* entry = Decoded(u"\\Temp\\" + std::u16string(name, name + strlen(name)));
        if (!entry->image->image.header) continue;  // reported by Decoded
        view_.ShowEntry(entry, true);
        ASSERT_TRUE(view_.MultiFrame()) << name;
        const std::vector<uint8_t> first = PictureBytes(*entry->image);
        ASSERT_TRUE(view_.HandleCommand(IDM_VIDEO_NEXT)) << name;
        EXPECT_EQ(view_.FrameIndex(), 1) << name;
        EXPECT_NE(PictureBytes(*entry->image), first) << name << ": the second frame differs";
        view_.HandleCommand(IDM_VIDEO_FIRST);
        EXPECT_EQ(PictureBytes(*entry->image), first) << name;
    }
    if (tried == 0) {
        GTEST_SKIP() << "python3-pydicom's test files are not installed";
    }
}

// The DICOM frame decoders share the process-wide reader with the loader:
// each step pauses the loader, whose decodes of the other files run at the
// same time, and every frame still comes out exactly as a lone decode.
TEST_F(PictureViewTest, FrameStepsWhileTheLoaderDecodesTheAlbum) {
    constexpr int kFiles = 8;
    constexpr int kFrames = 4;
    constexpr int kSize = 512;
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents\\cines", nullptr));
    for (int i = 0; i < kFiles; ++i) {
        char name[64];
        snprintf(name, sizeof name, "My Documents/cines/%02d.dcm", i);
        WriteHostFile(Host(name), MultiFrameDicom(kFrames, kSize, [i](int f, int x, int y) {
                          return static_cast<uint8_t>(i * 7 + f * 31 + x + y);
                      }));
    }
    // The frames as a lone decode gives them.
    ImageEntry* lone = Decoded(u"\\My Documents\\cines\\00.dcm");
    ASSERT_TRUE(lone->image->image.header);
    std::vector<std::vector<uint8_t>> expected;
    for (int f = 0; f < kFrames; ++f) {
        HANDLE file = CreateFileW(u"\\My Documents\\cines\\00.dcm", GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_EQ(lone->image->LoadFrame(file, f, 0, 0), 0);
        CloseHandle(file);
        expected.push_back(PictureBytes(*lone->image));
    }

    WNDCLASSW wc = {};
    wc.lpfnWndProc = &WindowBase::SharedProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"PictureViewTestPane";
    ASSERT_NE(RegisterClassW(&wc), 0);
    ImageAlbum& album = host_->HostAlbum();
    ASSERT_EQ(album.Load(u"\\My Documents\\cines", false, false), kFiles);
    album.current = 0;
    auto bar = std::make_unique<ThumbnailBar>();
    ASSERT_TRUE(
        bar->Create(u"PictureViewTestPane", host_->HostWindow(), 15, GetModuleHandleW(nullptr)));
    MoveWindow(bar->Handle(), 0, 0, 240, 54, TRUE);
    host_->thumbnails = bar.get();
    bar->SetWanted(0);
    bar->Attach(host_.get(), &album);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!view_.MultiFrame() && std::chrono::steady_clock::now() < until) PumpFor(10);
    ASSERT_TRUE(view_.MultiFrame());
    ASSERT_EQ(view_.Entry(), album.Entry(0));

    for (int step = 0; step < 24; ++step) {
        // The other files are decoded again from now on.
        bar->StopLoader();
        bar->LockAlbum();
        for (int i = 1; i < album.Count(); ++i) {
            album.Entry(i)->ReleaseImage();
            album.Entry(i)->SetIcon(nullptr);
        }
        bar->UnlockAlbum();
        ASSERT_TRUE(bar->StartLoader());
        // Step while the loader is in the middle of a decode.
        const auto decodeStarts = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        bool decoding = false;
        while (!decoding && bar->LoaderRunning() &&
               std::chrono::steady_clock::now() < decodeStarts) {
            bar->LockAlbum();
            for (int i = 1; i < album.Count(); ++i)
                decoding = decoding || album.Entry(i)->loadState == kDecoding;
            bar->UnlockAlbum();
        }
        const int frame = (step * 5) % kFrames;
        ASSERT_TRUE(view_.GoToFrame(frame)) << step;
        EXPECT_EQ(PictureBytes(*view_.Entry()->image), expected[frame]) << "step " << step;
        Pump();
    }
    bar->StopLoader();
    DestroyWindow(bar->Handle());
    host_->thumbnails = nullptr;
    bar.reset();
    UnregisterClassW(u"PictureViewTestPane", GetModuleHandleW(nullptr));
}

}  // namespace
