// The adjustment of decoded images: ApplyAdjustment on 24-bit and 8-bit
// pseudo-colour images, the palette conversion inside CreateImage, and the
// image library's hooks after a real load (BMP, PGM, PPM written here).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "image/adjustment_hooks.h"
#include "image_test_util.h"
#include "view/display_adjustment.h"

namespace {

class AdjustmentTest : public ImageTest {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        InstallDisplayAdjustment();
        InitAdjustment(&adjustment_);
        image_.adjustment = &adjustment_;
        ResetImage(&image_);
    }
    void TearDown() override {
        ReleaseImage(&image_);
        ImageTest::TearDown();
    }

    // A 24-bit image whose memory bytes count 0, 1, 2, ... (mod 256).
    void MakeCountingImage(int w, int h) {
        ASSERT_TRUE(CreateImage(nullptr, &image_, 24, w, h, nullptr, 0));
        for (DWORD i = 0; i < image_.header->biSizeImage; ++i)
            image_.pixels[i] = static_cast<BYTE>(i);
    }
    // An 8-bit image of `count` colours whose pixels are 0, 1, ..., count - 1.
    void MakeIndexImage(const std::vector<RGBQUAD>& colours, int bitsPerPixel = 8) {
        int count = static_cast<int>(colours.size());
        ASSERT_TRUE(CreateImage(nullptr, &image_, bitsPerPixel, count, 1, colours.data(), count));
        for (int i = 0; i < count && bitsPerPixel == 8; ++i)
            image_.pixels[i] = static_cast<BYTE>(i);
    }

    DisplayAdjustment adjustment_;
    RImage image_;
};

const std::vector<RGBQUAD> kFourColours = {
    {0, 0, 255, 0},      // red
    {0, 255, 0, 0},      // green
    {255, 0, 0, 0},      // blue
    {255, 255, 255, 0},  // white
};

TEST_F(AdjustmentTest, TrueColourNegativeWithoutWindowInvertsEveryByte) {
    adjustment_.negative = 1;
    MakeCountingImage(5, 3);  // rows padded: the padding bytes are inverted too
    ApplyAdjustment(&image_);
    for (DWORD i = 0; i < image_.header->biSizeImage; ++i) {
        ASSERT_EQ(image_.pixels[i], static_cast<BYTE>(255 - static_cast<BYTE>(i))) << i;
    }
}

TEST_F(AdjustmentTest, TrueColourWindowMapsEveryChannel) {
    struct {
        BYTE negative;
        BYTE in[6];
        BYTE out[6];
    } cases[] = {
        // centre 128, width 128: low 64, high 192, scale 2
        {0, {0, 63, 64, 100, 191, 192}, {0, 0, 0, 72, 254, 255}},
        {1, {0, 63, 64, 100, 191, 192}, {255, 255, 255, 183, 1, 0}},
    };
    for (const auto& c : cases) {
        ReleaseImage(&image_);
        InitAdjustment(&adjustment_);
        adjustment_.center = 128;
        adjustment_.width = 128;
        adjustment_.negative = c.negative;
        ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 2, 1, nullptr, 0));
        std::memcpy(image_.pixels, c.in, 6);
        ApplyAdjustment(&image_);
        EXPECT_EQ(std::memcmp(image_.pixels, c.out, 6), 0) << int(c.negative);
        EXPECT_EQ(adjustment_.low, 64);
        EXPECT_EQ(adjustment_.high, 192);
    }
}

TEST_F(AdjustmentTest, NothingWhenAppliedAutomaticOrWithoutRecord) {
    for (int mode = 0; mode < 3; ++mode) {
        ReleaseImage(&image_);
        InitAdjustment(&adjustment_);
        adjustment_.negative = 1;
        if (mode == 0) adjustment_.applied = 1;
        if (mode == 1) adjustment_.autoWindow = 1;
        MakeCountingImage(4, 2);
        if (mode == 2) image_.adjustment = nullptr;
        ApplyAdjustment(&image_);
        for (DWORD i = 0; i < image_.header->biSizeImage; ++i) {
            ASSERT_EQ(image_.pixels[i], static_cast<BYTE>(i)) << mode;
        }
        image_.adjustment = &adjustment_;
    }
}

TEST_F(AdjustmentTest, HotIronWithoutWindowShowsLuminanceThroughThePalette) {
    adjustment_.palette = 2;
    MakeIndexImage(kFourColours);
    // CreateImage converted the table already.
    const RGBQUAD* table = ColourTable(image_.header);
    EXPECT_EQ(image_.header->biClrUsed, 256u);
    EXPECT_EQ(table[255].rgbRed, 255);
    EXPECT_EQ(table[255].rgbGreen, 255);
    EXPECT_EQ(table[255].rgbBlue, 255);
    EXPECT_EQ(table[128].rgbRed, 255);
    EXPECT_EQ(table[128].rgbGreen, 0);
    // A decoder may declare its own colour count after creating the image
    // (GIF does); the pixels index the whole palette all the same.
    image_.header->biClrUsed = 4;
    ApplyAdjustment(&image_);
    const BYTE expected[4] = {76, 149, 29, 255};
    EXPECT_EQ(std::memcmp(image_.pixels, expected, 4), 0);
    EXPECT_EQ(image_.header->biClrUsed, 256u);
}

TEST_F(AdjustmentTest, PaletteImageWindowAndNegative) {
    struct {
        int32_t center, width;
        BYTE negative;
        BYTE out[4];
    } cases[] = {
        {0, 0, 1, {179, 106, 226, 0}},
        {128, 128, 0, {24, 170, 0, 255}},  // low 64, scale 2
        {128, 128, 1, {231, 85, 255, 0}},
    };
    for (const auto& c : cases) {
        ReleaseImage(&image_);
        InitAdjustment(&adjustment_);
        adjustment_.palette = 0;
        adjustment_.center = c.center;
        adjustment_.width = c.width;
        adjustment_.negative = c.negative;
        MakeIndexImage(kFourColours);
        ApplyAdjustment(&image_);
        EXPECT_EQ(std::memcmp(image_.pixels, c.out, 4), 0)
            << c.width << " " << int(c.negative) << ": " << int(image_.pixels[0]) << " "
            << int(image_.pixels[1]) << " " << int(image_.pixels[2]) << " "
            << int(image_.pixels[3]);
    }
}

TEST_F(AdjustmentTest, PaletteImagesWithoutPaletteOrBelowEightBitsStay) {
    adjustment_.negative = 1;
    adjustment_.center = 128;
    adjustment_.width = 128;
    MakeIndexImage(kFourColours);
    ApplyAdjustment(&image_);
    const BYTE same[4] = {0, 1, 2, 3};
    EXPECT_EQ(std::memcmp(image_.pixels, same, 4), 0);
    EXPECT_EQ(ColourTable(image_.header)[0].rgbRed, 255);

    // A 4-bit image never had its table converted: its indices stay.
    ReleaseImage(&image_);
    adjustment_.palette = 2;
    MakeIndexImage(kFourColours, 4);
    image_.pixels[0] = 0x12;
    ApplyAdjustment(&image_);
    EXPECT_EQ(image_.pixels[0], 0x12);
    EXPECT_EQ(ColourTable(image_.header)[0].rgbRed, 255);
}

TEST_F(AdjustmentTest, AppliedRecordKeepsLaterTables) {
    adjustment_.palette = 2;
    adjustment_.applied = 1;
    MakeIndexImage(kFourColours);
    EXPECT_EQ(image_.header->biClrUsed, 4u);
    EXPECT_EQ(ColourTable(image_.header)[0].rgbRed, 255);
    EXPECT_EQ(ColourTable(image_.header)[0].rgbGreen, 0);
}

// Loads through the image library: the palette conversion runs while the
// decoder creates its image, the record is applied once the load succeeded.
class LoadedAdjustmentTest : public AdjustmentTest {
protected:
    bool LoadWith(const std::u16string& path) {
        file_.InitImageFile();
        file_.image.adjustment = &adjustment_;
        return file_.LoadFromPath(path.c_str(), 0);
    }
    void TearDown() override {
        file_.Unload();
        AdjustmentTest::TearDown();
    }
    ImageFile file_;
};

Bytes EightBitBmp() {
    // 4 x 1 pixels, indices 0-3 of the four colours.
    ByteWriter w;
    w.raw(BmpFileHeader(14 + 40 + 16 + 4, 14 + 40 + 16)).raw(InfoHeader(4, 1, 8, 0, 4));
    for (const RGBQUAD& c : kFourColours) w.u8(c.rgbBlue).u8(c.rgbGreen).u8(c.rgbRed).u8(0);
    w.u8(0).u8(1).u8(2).u8(3);
    return w.bytes;
}

TEST_F(LoadedAdjustmentTest, EightBitBmpWithHotIron) {
    adjustment_.palette = 2;
    ASSERT_TRUE(LoadWith(Put("four.bmp", EightBitBmp())));
    EXPECT_EQ(adjustment_.applied, 1);
    EXPECT_EQ(PixelAt(file_.image, 0, 0), (Bgr{0, 0, 151}));  // HotIron at 76: dark red
    EXPECT_EQ(IndexAt(file_.image, 0, 0), 76);
    EXPECT_EQ(IndexAt(file_.image, 1, 0), 149);
    EXPECT_EQ(IndexAt(file_.image, 2, 0), 29);
    EXPECT_EQ(PixelAt(file_.image, 3, 0), (Bgr{255, 255, 255}));
}

TEST_F(LoadedAdjustmentTest, DefaultRecordLeavesTheImage) {
    ASSERT_TRUE(LoadWith(Put("four.bmp", EightBitBmp())));
    EXPECT_EQ(adjustment_.applied, 1);
    EXPECT_EQ(PixelAt(file_.image, 0, 0), (Bgr{0, 0, 255}));
    EXPECT_EQ(IndexAt(file_.image, 2, 0), 2);
}

TEST_F(LoadedAdjustmentTest, GreyMapNegativeThroughGrayscale) {
    Bytes pgm = {'P', '5', '\n', '3', ' ', '1', '\n', '2', '5', '5', '\n', 0, 100, 255};
    adjustment_.palette = 0;
    adjustment_.negative = 1;
    ASSERT_TRUE(LoadWith(Put("grey.pgm", pgm)));
    ASSERT_EQ(file_.bitsPerPixel, 8);
    EXPECT_EQ(PixelAt(file_.image, 0, 0), (Bgr{255, 255, 255}));
    EXPECT_EQ(PixelAt(file_.image, 1, 0), (Bgr{155, 155, 155}));
    EXPECT_EQ(PixelAt(file_.image, 2, 0), (Bgr{0, 0, 0}));
}

TEST_F(LoadedAdjustmentTest, PixMapWindow) {
    Bytes ppm = {'P', '6',  '\n', '2', ' ', '1', '\n', '2', '5',
                 '5', '\n', 10,   64,  100, 191, 192,  250};
    adjustment_.center = 128;
    adjustment_.width = 128;
    ASSERT_TRUE(LoadWith(Put("colour.ppm", ppm)));
    ASSERT_EQ(file_.bitsPerPixel, 24);
    EXPECT_EQ(PixelAt(file_.image, 0, 0), (Bgr{72, 0, 0}));       // red 10, green 64, blue 100
    EXPECT_EQ(PixelAt(file_.image, 1, 0), (Bgr{255, 255, 254}));  // 191, 192, 250
}

TEST_F(LoadedAdjustmentTest, FailedLoadLeavesTheRecordUnapplied) {
    adjustment_.negative = 1;
    EXPECT_FALSE(LoadWith(Put("cut.bmp", Bytes{'B', 'M'})));
    EXPECT_EQ(adjustment_.applied, 0);
}

}  // namespace
