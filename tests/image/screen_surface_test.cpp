// The screen surface: the index walk of every rotation, clipping and
// clamping, pixel fetch at every depth, the channel map, fills and the copy
// to display memory.
#include <gtest/gtest.h>

#include <gx.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "channel_map.h"
#include "image_test_util.h"
#include "rimage.h"
#include "screen_surface.h"

namespace {

class SurfaceTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        image_.adjustment = nullptr;
        ResetImage(&image_);
        ASSERT_TRUE(surface_.CreateSurface());
        ASSERT_EQ(surface_.width, 240);
        ASSERT_EQ(surface_.height, 320);
    }
    void TearDown() override {
        ReleaseImage(&image_);
        surface_.DestroySurface();
        BuildChannelMap(1.0f, 0, 0, false);
        DeviceTest::TearDown();
    }
    // A 24-bit W x H image whose displayed pixel (x, y) is (x, y, 77).
    void MakeCoordinateImage(int w, int h) {
        ASSERT_TRUE(CreateImage(nullptr, &image_, 24, w, h, nullptr, 0));
        for (int y = 0; y < h; ++y) {
            BYTE* row = RowAddress(image_, h - 1 - y);
            for (int x = 0; x < w; ++x) {
                row[3 * x] = static_cast<BYTE>(x);
                row[3 * x + 1] = static_cast<BYTE>(y);
                row[3 * x + 2] = 77;
            }
        }
    }
    // The surface pixel at (x, y) from the top.
    Bgr Out(int x, int y) const {
        const BYTE* p = surface_.pixels + (surface_.height - 1 - y) * surface_.stride + 3 * x;
        return {p[0], p[1], p[2]};
    }
    int MemoryRowOf(int tableEntry) const {
        return static_cast<int>((surface_.rowTable[tableEntry] - image_.pixels) / RowStride(image_));
    }
    bool Draw(int dstX, int dstY, int dstW, int dstH, int srcX, int srcY, int srcW) {
        return surface_.DrawImage(dstX, dstY, dstW, dstH, srcX, srcY, srcW, 0, image_.header,
                                  image_.pixels);
    }

    RImage image_;
    ScreenSurface surface_;
};

TEST_F(SurfaceTest, QuarterTurnOf100By50WalksColumnsAndRowsDownwards) {
    MakeCoordinateImage(100, 50);
    surface_.rotation = 90;
    ASSERT_TRUE(Draw(0, 0, 50, 100, 5, 10, 50));
    // Output rows walk the source columns from W - srcY - 1 = 89 downwards,
    // output columns the memory rows from H - srcX - 1 = 44 downwards.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(surface_.columnTable[i], i <= 89 ? 89 - i : 0) << i;
    for (int j = 0; j < 50; ++j) EXPECT_EQ(MemoryRowOf(j), j <= 44 ? 44 - j : 0) << j;
}

struct WalkCase {
    int rotation;
    int firstRowIndex, rowStep;     // the index following output rows
    int firstColumnIndex, columnStep;
    bool quarterTurn;
};

// 100 x 50 image, srcX = 3, srcY = 2, scale 1.
const WalkCase kWalks[] = {
    {0, 50 - 2 - 1, -1, 3, +1, false},
    {90, 100 - 2 - 1, -1, 50 - 3 - 1, -1, true},
    {-270, 100 - 2 - 1, -1, 50 - 3 - 1, -1, true},
    {180, 2, +1, 100 - 3 - 1, -1, false},
    {-180, 2, +1, 100 - 3 - 1, -1, false},
    {270, 2, +1, 3, +1, true},
    {-90, 2, +1, 3, +1, true},
    {45, 50 - 2 - 1, -1, 3, +1, false},  // any other value draws upright
};

TEST_F(SurfaceTest, EveryRotationStartsAndStepsAsItsRowOfTheTable) {
    MakeCoordinateImage(100, 50);
    for (const WalkCase& c : kWalks) {
        SCOPED_TRACE(c.rotation);
        surface_.rotation = c.rotation;
        ASSERT_TRUE(Draw(0, 0, 20, 20, 3, 2, 20));
        for (int k = 0; k < 5; ++k) {
            int rowIndex = c.firstRowIndex + k * c.rowStep;
            int columnIndex = c.firstColumnIndex + k * c.columnStep;
            if (c.quarterTurn) {
                EXPECT_EQ(surface_.columnTable[k], rowIndex);  // source column per output row
                EXPECT_EQ(MemoryRowOf(k), columnIndex);        // memory row per output column
            } else {
                EXPECT_EQ(MemoryRowOf(k), rowIndex);
                EXPECT_EQ(surface_.columnTable[k], columnIndex);
            }
        }
    }
}

TEST_F(SurfaceTest, EveryRotationShowsTheRotatedPicture) {
    MakeCoordinateImage(100, 50);
    const int W = 100, H = 50, sx = 3, sy = 2;
    for (int rotation : {0, 90, 180, 270, -90, -180, -270}) {
        SCOPED_TRACE(rotation);
        surface_.rotation = rotation;
        ASSERT_TRUE(Draw(0, 0, 40, 40, sx, sy, 40));
        for (int i = 0; i < 40; i += 7) {
            for (int j = 0; j < 40; j += 5) {
                // The source pixel (x, y from the top) shown at output (j, i).
                int x, y;
                switch (rotation) {
                    case 90: case -270: x = W - 1 - sy - i, y = sx + j; break;
                    case 180: case -180: x = W - 1 - sx - j, y = H - 1 - sy - i; break;
                    case 270: case -90: x = sy + i, y = H - 1 - sx - j; break;
                    default: x = sx + j, y = sy + i; break;
                }
                if (x < 0) x = 0;
                if (y < 0) y = 0;
                if (y > H - 1) y = H - 1;
                EXPECT_TRUE(Out(j, i) == (Bgr{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 77}))
                    << "at " << j << "," << i;
            }
        }
    }
}

TEST_F(SurfaceTest, OutputIsClippedToTheSurface) {
    MakeCoordinateImage(100, 50);
    ASSERT_TRUE(Draw(200, 300, 1000, 1000, 0, 0, 1000));
    EXPECT_EQ(surface_.drawnColumns, 40);  // surface width - dstX
    EXPECT_EQ(surface_.drawnRows, 20);
    ASSERT_TRUE(Draw(230, 310, -1, -1, 0, 0, 10));
    EXPECT_EQ(surface_.drawnColumns, 10);  // a negative width is clipped the same way
    EXPECT_EQ(surface_.drawnRows, 10);
    ASSERT_TRUE(Draw(0, 0, 240, 320, 0, 0, 240));
    EXPECT_EQ(surface_.drawnColumns, 240);
    EXPECT_EQ(surface_.drawnRows, 320);
}

TEST_F(SurfaceTest, SourceIndicesPastTheEdgeAreClamped) {
    MakeCoordinateImage(10, 6);
    ASSERT_TRUE(Draw(0, 0, 20, 20, 0, 0, 20));
    EXPECT_EQ(surface_.columnTable[9], 9);
    EXPECT_EQ(surface_.columnTable[15], 9);   // past the right edge: the last column
    EXPECT_EQ(MemoryRowOf(5), 0);
    EXPECT_EQ(MemoryRowOf(12), 0);            // past the bottom: memory row 0
    EXPECT_TRUE(Out(15, 12) == (Bgr{9, 5, 77}));
    // A negative start clamps to 0.
    ASSERT_TRUE(Draw(0, 0, 5, 5, -4, 0, 5));
    EXPECT_EQ(surface_.columnTable[0], 0);
    EXPECT_EQ(surface_.columnTable[4], 0);
}

TEST_F(SurfaceTest, ZoomUsesTenBitFixedPointColumnsAndFloatRows) {
    MakeCoordinateImage(2048, 16);
    // Zoom to fit: 2048 source columns onto 240.
    ASSERT_TRUE(Draw(0, 0, 240, 2, 0, 0, 2048));
    float ratio = 2048.0f / 240.0f;
    int step = static_cast<int>(ratio * 1024);
    for (int j : {0, 1, 2, 100, 239}) EXPECT_EQ(surface_.columnTable[j], (j * step) >> 10) << j;
    EXPECT_EQ(MemoryRowOf(1), 15 + static_cast<int>(-1.0f * ratio));  // 15 - 8
}

TEST_F(SurfaceTest, ThirtyTwoBitImagesAndMissingSurfacesAreRefused) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 32, 4, 4, nullptr, 0));
    EXPECT_FALSE(Draw(0, 0, 4, 4, 0, 0, 4));
    ReleaseImage(&image_);
    MakeCoordinateImage(4, 4);
    ScreenSurface empty;
    EXPECT_FALSE(empty.DrawImage(0, 0, 4, 4, 0, 0, 4, 4, image_.header, image_.pixels));
}

TEST_F(SurfaceTest, IndexedAndSixteenBitPixels) {
    struct DepthCase {
        int bpp;
        std::vector<uint8_t> row;  // first bytes of the top row
        int x;
        int index;
    };
    const DepthCase cases[] = {
        {1, {0x20}, 2, 1},   {1, {0xDF}, 2, 0},       {2, {0x0C}, 2, 3}, {2, {0x30}, 1, 3},
        {4, {0x5A}, 0, 5},   {4, {0x5A}, 1, 10},      {8, {0, 0, 0, 200}, 3, 200},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpp << " bits, x " << c.x);
        ASSERT_TRUE(CreateImage(nullptr, &image_, c.bpp, 8, 1, nullptr, 0));
        // A table whose entry i is (i, 2i, 3i) as (blue, green, red).
        for (int i = 0; i < (1 << c.bpp); ++i) {
            ColourTable(image_.header)[i] = {static_cast<BYTE>(i), static_cast<BYTE>(2 * i),
                                             static_cast<BYTE>(3 * i), 0};
        }
        std::memcpy(image_.pixels, c.row.data(), c.row.size());
        ASSERT_TRUE(Draw(0, 0, 8, 1, 0, 0, 8));
        EXPECT_TRUE(Out(c.x, 0) == (Bgr{static_cast<uint8_t>(c.index), static_cast<uint8_t>(2 * c.index),
                                        static_cast<uint8_t>(3 * c.index)}));
        ReleaseImage(&image_);
    }
    // 16 bits: bits 10-14, 5-9, 0-4 into blue, green, red, not widened.
    ASSERT_TRUE(CreateImage(nullptr, &image_, 16, 2, 1, nullptr, 0));
    image_.pixels[0] = 0xFF;
    image_.pixels[1] = 0x7F;  // 0x7FFF
    image_.pixels[2] = 0x1F;
    image_.pixels[3] = 0x04;  // 0x041F: fields 1, 0, 31
    ASSERT_TRUE(Draw(0, 0, 2, 1, 0, 0, 2));
    EXPECT_TRUE(Out(0, 0) == (Bgr{31, 31, 31}));
    EXPECT_TRUE(Out(1, 0) == (Bgr{1, 0, 31}));
}

TEST_F(SurfaceTest, EveryDrawnByteGoesThroughTheChannelMap) {
    for (int i = 0; i < 256; ++i) EXPECT_EQ(ChannelMap()[i], i);  // identity after construction
    BuildChannelMap(1.0f, 0, 0, true);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(ChannelMap()[i], 255 - i);
    MakeCoordinateImage(10, 10);
    ASSERT_TRUE(Draw(0, 0, 10, 10, 0, 0, 10));
    EXPECT_TRUE(Out(3, 4) == (Bgr{252, 251, 178}));
    BuildChannelMap(2.0f, 0, 0, false);
    EXPECT_EQ(ChannelMap()[64], static_cast<int>(std::pow(64 / 255.0, 0.5) * 255 + 0.5));
    BuildChannelMap(1.0f, 0, 0, false);
}

TEST_F(SurfaceTest, FillRectClipsAndFillMarginsFillsTheFourBands) {
    surface_.FillRect(RGB(1, 2, 3), nullptr);
    EXPECT_TRUE(Out(239, 319) == (Bgr{3, 2, 1}));
    RECT outside = {-10, -10, 5, 5};
    surface_.FillRect(RGB(9, 9, 9), &outside);
    EXPECT_TRUE(Out(4, 4) == (Bgr{9, 9, 9}));
    EXPECT_TRUE(Out(5, 5) == (Bgr{3, 2, 1}));
    RECT far = {230, 310, 1000, 1000};
    surface_.FillRect(RGB(7, 7, 7), &far);
    EXPECT_TRUE(Out(239, 319) == (Bgr{7, 7, 7}));

    surface_.FillRect(RGB(0, 0, 0), nullptr);
    RECT picture = {20, 30, 200, 250};
    RECT client = {0, 0, 240, 320};
    surface_.FillMargins(RGB(255, 0, 0), picture, client);
    EXPECT_TRUE(Out(100, 29) == (Bgr{0, 0, 255}));   // above
    EXPECT_TRUE(Out(100, 250) == (Bgr{0, 0, 255}));  // below
    EXPECT_TRUE(Out(19, 100) == (Bgr{0, 0, 255}));   // left
    EXPECT_TRUE(Out(200, 100) == (Bgr{0, 0, 255}));  // right
    EXPECT_TRUE(Out(20, 30) == (Bgr{0, 0, 0}));      // the picture stays
    EXPECT_TRUE(Out(199, 249) == (Bgr{0, 0, 0}));
}

TEST_F(SurfaceTest, BlitPacksPureRedAsFiveSixFive) {
    ASSERT_TRUE(surface_.ReadDisplayProperties());
    ASSERT_EQ(surface_.displayBitsPerPixel, 16);
    ASSERT_TRUE(surface_.displayFormat & kfDirect565);
    // Without a memory context nothing is copied.
    EXPECT_FALSE(surface_.BlitToDisplay(nullptr, 0, 0, 4, 4));
    ASSERT_NE(surface_.MemoryContext(), nullptr);
    RECT block = {10, 20, 14, 24};
    surface_.FillRect(RGB(255, 0, 0), &block);
    RECT green = {14, 20, 18, 24};
    surface_.FillRect(RGB(0, 255, 0), &green);
    // Display memory exists only while the Game API display is open.
    EXPECT_FALSE(surface_.BlitToDisplay(nullptr, 10, 20, 8, 4));
    ASSERT_EQ(GXOpenDisplay(nullptr, GX_FULLSCREEN), 1);
    ASSERT_TRUE(surface_.BlitToDisplay(nullptr, 10, 20, 8, 4));
    auto* display = static_cast<BYTE*>(GXBeginDraw());
    ASSERT_NE(display, nullptr);
    auto word = [&](int x, int y) {
        const BYTE* p = display + y * surface_.displayPitchY + x * surface_.displayPitchX;
        return p[0] | (p[1] << 8);
    };
    EXPECT_EQ(word(10, 20), 0xF800);  // only bits 11-15
    EXPECT_EQ(word(13, 23), 0xF800);
    EXPECT_EQ(word(14, 20), 0x07E0);
    GXEndDraw();
    GXCloseDisplay();
}

}  // namespace
