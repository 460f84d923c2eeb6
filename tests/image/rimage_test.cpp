// The image record: creation with default and given colour tables, the
// allocation hooks, release, moving and resampling to true colour.
#include <gtest/gtest.h>

#include <cstring>

#include "adjustment_hooks.h"
#include "frame_source.h"
#include "image_memory.h"
#include "image_test_util.h"
#include "rimage.h"

namespace {

class RImageTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        image_.adjustment = nullptr;
        image_.path[0] = 0;
        ResetImage(&image_);
    }
    void TearDown() override {
        ReleaseImage(&image_);
        DeviceTest::TearDown();
    }
    RImage image_;
};

RGBQUAD Rgb(int r, int g, int b) {
    return {static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}
bool Same(const RGBQUAD& a, const RGBQUAD& b) { return std::memcmp(&a, &b, 4) == 0; }

struct StrideCase {
    int width;
    int bpp;
    int64_t stride;
};

TEST(DibRowStrideTest, RowsArePaddedTo32Bits) {
    const StrideCase cases[] = {
        {1, 1, 4},   {32, 1, 4},  {33, 1, 8},    {37, 4, 20},     {37, 8, 40},
        {37, 24, 112}, {101, 24, 304}, {3, 16, 8}, {3, 32, 12}, {5, 2, 4},
        {0, 8, -1},  {-3, 8, -1}, {kMaxImageSide + 1, 8, -1}, {10, 0, -1}, {10, 33, -1},
    };
    for (const StrideCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.bpp);
        EXPECT_EQ(DibRowStride(c.width, c.bpp), c.stride);
    }
    EXPECT_EQ(DibImageSize(4000, 3000, 24), 36000000);
    EXPECT_EQ(DibImageSize(40000, 40000, 24), -1);  // past 2 GiB
    EXPECT_EQ(DibImageSize(10, 0, 24), -1);
}

TEST_F(RImageTest, HeaderFieldsAtCreation) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 101, 7, nullptr, 0));
    const BITMAPINFOHEADER& h = *image_.header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 101);
    EXPECT_EQ(h.biHeight, 7);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, 304u * 7);
    EXPECT_EQ(h.biXPelsPerMeter, 0);
    EXPECT_EQ(h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed, 0u);
    EXPECT_EQ(h.biClrImportant, 0u);
    ASSERT_NE(image_.bitmap, nullptr);
    ASSERT_NE(image_.pixels, nullptr);
    EXPECT_EQ(RowAddress(image_, 3), image_.pixels + 3 * 304);
}

TEST_F(RImageTest, DefaultColourTables) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 1, 8, 8, nullptr, 0));
    EXPECT_EQ(image_.header->biClrUsed, 2u);
    EXPECT_TRUE(Same(ColourTable(image_.header)[0], Rgb(0, 0, 0)));
    EXPECT_TRUE(Same(ColourTable(image_.header)[1], Rgb(255, 255, 255)));
    ReleaseImage(&image_);

    const int sixteen[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},
                                {0, 0, 128},   {128, 0, 128}, {0, 128, 128},   {192, 192, 192},
                                {128, 128, 128}, {255, 0, 0}, {0, 255, 0},     {255, 255, 0},
                                {0, 0, 255},   {255, 0, 255}, {0, 255, 255},   {255, 255, 255}};
    ASSERT_TRUE(CreateImage(nullptr, &image_, 4, 8, 8, nullptr, 0));
    EXPECT_EQ(image_.header->biClrUsed, 16u);
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(Same(ColourTable(image_.header)[i], Rgb(sixteen[i][0], sixteen[i][1], sixteen[i][2])))
            << i;
    }
    ReleaseImage(&image_);

    // Every other depth: entry i = (i, i, i), so 2 bits gives 0..3.
    for (int bpp : {2, 8}) {
        ASSERT_TRUE(CreateImage(nullptr, &image_, bpp, 8, 8, nullptr, 0));
        EXPECT_EQ(image_.header->biClrUsed, 1u << bpp);
        for (int i = 0; i < (1 << bpp); ++i) EXPECT_TRUE(Same(ColourTable(image_.header)[i], Rgb(i, i, i)));
        ReleaseImage(&image_);
    }
}

TEST_F(RImageTest, GivenColoursAreCopiedAndCountedUpToTheTableRoom) {
    RGBQUAD colours[300];
    for (int i = 0; i < 300; ++i) colours[i] = Rgb(i & 255, 1, 2);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 4, 4, colours, 3));
    EXPECT_EQ(image_.header->biClrUsed, 3u);
    EXPECT_TRUE(Same(ColourTable(image_.header)[2], colours[2]));
    ReleaseImage(&image_);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 4, 4, 4, colours, 300));
    EXPECT_EQ(image_.header->biClrUsed, 16u);
    ReleaseImage(&image_);
    // Above 8 bits there is no table, whatever is given.
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 4, 4, colours, 256));
    EXPECT_EQ(image_.header->biClrUsed, 0u);
}

TEST_F(RImageTest, ImpossibleImagesFailWithTheRecordCleared) {
    const int cases[][3] = {{0, 5, 8}, {5, 0, 8}, {5, -5, 8}, {5, 5, 3}, {5, 5, 0}, {40000, 40000, 24}};
    for (const auto& c : cases) {
        EXPECT_FALSE(CreateImage(nullptr, &image_, c[2], c[0], c[1], nullptr, 0));
        EXPECT_EQ(image_.header, nullptr);
        EXPECT_EQ(image_.bitmap, nullptr);
        EXPECT_EQ(image_.pixels, nullptr);
    }
}

struct HookCounts {
    int allocations = 0;
    int frees = 0;
    int sections = 0;
    int deletions = 0;
};
HookCounts gCounts;

TEST_F(RImageTest, AllImageMemoryGoesThroughTheHooks) {
    gCounts = {};
    RegisterAllocationHooks(
        [](size_t size) -> void* { ++gCounts.allocations; return LocalAlloc(LPTR, size); }, 7,
        [](void* memory) { ++gCounts.frees; LocalFree(memory); },
        [](HDC dc, const BITMAPINFO* info, void** bits) -> HBITMAP {
            ++gCounts.sections;
            return CreateDIBSection(dc, info, DIB_RGB_COLORS, bits, nullptr, 0);
        },
        [](HGDIOBJ object) -> BOOL { ++gCounts.deletions; return DeleteObject(object); });
    EXPECT_EQ(CurrentAllocationHooks().value, 7u);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 16, 16, nullptr, 0));
    image_.frameSource = AllocateFrameSource(3);
    ReleaseImage(&image_);
    RegisterAllocationHooks(nullptr, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(gCounts.allocations, 2);  // header block, frame source
    EXPECT_EQ(gCounts.frees, 2);
    EXPECT_EQ(gCounts.sections, 1);
    EXPECT_EQ(gCounts.deletions, 1);
}

TEST_F(RImageTest, ReleaseFreesEverythingButKeepsAdjustmentAndPath) {
    auto* adjustment = reinterpret_cast<DisplayAdjustment*>(0x1234);
    image_.adjustment = adjustment;
    lstrcpyW(image_.path, u"\\a.bmp");
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 4, 4, nullptr, 0));
    image_.frameSource = AllocateFrameSource(2);
    image_.pageCount = 5;
    lstrcpyW(image_.formatText, u"x");
    image_.adjustment = nullptr;  // no palette conversion hook runs for 24 bits anyway
    image_.adjustment = adjustment;
    ReleaseImage(&image_);
    EXPECT_EQ(image_.header, nullptr);
    EXPECT_EQ(image_.frameSource, nullptr);
    EXPECT_EQ(image_.bitmap, nullptr);
    EXPECT_EQ(image_.pixels, nullptr);
    EXPECT_EQ(image_.pageLoader, nullptr);
    EXPECT_EQ(image_.pageCount, 1u);
    EXPECT_EQ(image_.formatText[0], 0);
    EXPECT_EQ(image_.adjustment, adjustment);
    EXPECT_EQ(std::u16string(image_.path), u"\\a.bmp");
    image_.adjustment = nullptr;
}

TEST_F(RImageTest, MoveCopiesAndResetsTheSource) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 4, 4, nullptr, 0));
    lstrcpyW(image_.formatText, u"moved");
    RImage target;
    MoveImage(&target, &image_);
    EXPECT_EQ(image_.header, nullptr);
    EXPECT_EQ(image_.bitmap, nullptr);
    EXPECT_EQ(image_.formatText[0], 0);
    EXPECT_NE(target.header, nullptr);
    EXPECT_EQ(std::u16string(target.formatText), u"moved");
    ReleaseImage(&target);
}

int gConversions = 0;
DisplayAdjustment* gConverted = nullptr;

TEST_F(RImageTest, EightBitImagesOfAnAdjustmentPassThePaletteConversion) {
    gConversions = 0;
    SetAdjustmentHooks(
        [](BITMAPINFOHEADER* header, DisplayAdjustment* adjustment) {
            ++gConversions;
            gConverted = adjustment;
            ColourTable(header)[255] = {1, 2, 3, 0};
        },
        nullptr);
    auto* adjustment = reinterpret_cast<DisplayAdjustment*>(0x5678);
    image_.adjustment = adjustment;
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 4, 4, nullptr, 0));
    EXPECT_EQ(gConversions, 1);
    EXPECT_EQ(gConverted, adjustment);
    EXPECT_EQ(ColourTable(image_.header)[255].rgbRed, 3);
    ReleaseImage(&image_);
    // Below 8 bits the table has no room for a palette: no conversion.
    ASSERT_TRUE(CreateImage(nullptr, &image_, 4, 4, 4, nullptr, 0));
    ReleaseImage(&image_);
    image_.adjustment = nullptr;
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 4, 4, nullptr, 0));
    EXPECT_EQ(gConversions, 1);
    SetAdjustmentHooks(nullptr, nullptr);
}

TEST_F(RImageTest, StretchToTrueColorWithALargerLimitCopiesAtTheSameSize) {
    RGBQUAD colours[2] = {Rgb(10, 20, 30), Rgb(200, 100, 50)};
    ASSERT_TRUE(CreateImage(nullptr, &image_, 1, 9, 5, colours, 2));
    // A checkerboard of the two colours.
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            if ((x + y) & 1) RowAddress(image_, y)[x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
        }
    }
    RImage copy;
    ASSERT_TRUE(StretchToTrueColor(image_, 100, 100, &copy));
    EXPECT_EQ(copy.header->biBitCount, 24);
    EXPECT_EQ(copy.header->biWidth, 9);
    EXPECT_EQ(copy.header->biHeight, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 9; ++x) {
            EXPECT_TRUE(PixelAt(copy, x, y) == PixelAt(image_, x, y)) << x << "," << y;
        }
    }
    ReleaseImage(&copy);
    // Without a limit: the same.
    ASSERT_TRUE(StretchToTrueColor(image_, 0, 0, &copy));
    EXPECT_EQ(copy.header->biWidth, 9);
    ReleaseImage(&copy);
}

TEST_F(RImageTest, StretchToTrueColorShrinksByTheSmallerScale) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 200, 100, nullptr, 0));
    std::memset(image_.pixels, 0x40, image_.header->biSizeImage);
    RImage small;
    ASSERT_TRUE(StretchToTrueColor(image_, 50, 50, &small));
    EXPECT_EQ(small.header->biWidth, 50);   // scale = min(0.25, 0.5)
    EXPECT_EQ(small.header->biHeight, 25);
    EXPECT_TRUE(PixelAt(small, 10, 10) == (Bgr{0x40, 0x40, 0x40}));
    ReleaseImage(&small);
    EXPECT_NE(image_.pixels, nullptr);  // the source is untouched
}

TEST_F(RImageTest, FrameSourceRecord) {
    FrameSource* source = AllocateFrameSource(4);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->frameCount, 4);
    EXPECT_EQ(source->open, nullptr);
    EXPECT_EQ(source->Slots()[3].pixels, nullptr);
    EXPECT_TRUE(IsMultiFrame(source));
    source->frameCount = 1;
    EXPECT_FALSE(IsMultiFrame(source));  // a still image
    EXPECT_FALSE(IsMediaPlayerPlaceholder(source));
    source->open = reinterpret_cast<FrameOpenFn>(kMediaPlayerMarker);
    EXPECT_TRUE(IsMediaPlayerPlaceholder(source));
    FreeFrameSource(source);
    EXPECT_EQ(AllocateFrameSource(0), nullptr);
}

}  // namespace
