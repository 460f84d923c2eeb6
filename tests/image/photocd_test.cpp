// The PhotoCD handler: an image pack written by ImageMagick (both row
// orders) against ImageMagick's decoding, the two resolutions, the YCC
// conversion at its fixed points, and short files.
#include <cmath>
#include <cstdio>
#include <tuple>

#include "codec_test_util.h"
#include "photocd_codec.h"

namespace {

// A file of `size` bytes whose image data (at `offset`, width x height)
// holds one luma and one chroma value everywhere.
Bytes UniformPack(size_t size, size_t offset, int width, int height, uint8_t y, uint8_t c1, uint8_t c2,
                  uint8_t orientation = 0) {
    Bytes bytes(size, 0);
    bytes[72] = orientation;
    for (int pair = 0; pair < height / 2; ++pair) {
        size_t at = offset + static_cast<size_t>(pair) * width * 3;
        for (int i = 0; i < width && at + 3 * width <= size; ++i) {
            bytes[at + i] = y;
            bytes[at + width + i] = y;
            bytes[at + 2 * width + i] = i < width / 2 ? c1 : c2;
        }
    }
    return bytes;
}

class PhotoCdTest : public CodecTest {};

// Mean absolute channel difference from raw RGB rows (top row first), with
// the image read upside down when `flipped`.
double MeanDifference(const RImage& image, const std::string& rgb, bool flipped) {
    const int w = image.header->biWidth;
    const int h = image.header->biHeight;
    if (rgb.size() != static_cast<size_t>(w) * h * 3) return 1e9;
    double total = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Bgr ours = PixelAt(image, x, flipped ? h - 1 - y : y);
            const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + (static_cast<size_t>(y) * w + x) * 3;
            total += std::abs(ours.r - p[0]) + std::abs(ours.g - p[1]) + std::abs(ours.b - p[2]);
        }
    }
    return total / (3.0 * w * h);
}

TEST_F(PhotoCdTest, ImageMagicksImagePackInBothRowOrders) {
    // ImageMagick converts PhotoYCC with its own (non-linear) tables, so the
    // pictures agree on average, not pixel for pixel; a picture read from the
    // wrong place or the wrong way up is far off. ImageMagick's rows run top
    // down, which our file marks with orientation 8; without the mark the
    // first rows go to the bottom of the picture.
    struct Case {
        const char* name;
        bool flipped;
    };
    for (const Case& c : {Case{"pcd_topdown.pcd", false}, Case{"pcd_imagemagick.pcd", true}}) {
        SCOPED_TRACE(c.name);
        std::string reference = ReadHostFile(CodecFixture(c.name) + ".rgb");
        ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
        ImageFile file;
        ASSERT_TRUE(LoadHost(&file, CodecFixture(c.name))) << file.lastError;
        ASSERT_EQ(file.image.header->biBitCount, 24);
        ASSERT_EQ(file.image.header->biWidth, 768);
        ASSERT_EQ(file.image.header->biHeight, 512);
        const double right = MeanDifference(file.image, reference, c.flipped);
        const double wrong = MeanDifference(file.image, reference, !c.flipped);
        std::printf("%s: mean difference %.2f, upside down %.2f\n", c.name, right, wrong);
        EXPECT_LT(right, 40.0);
        EXPECT_GT(wrong, 3 * right);
        file.Unload();
    }
}

TEST_F(PhotoCdTest, TheTwoResolutions) {
    ImageFile file;
    // Exactly 98304 bytes: the 384 x 256 image at 0xB800, as far as the file
    // holds it; the rows it cannot hold stay black.
    ASSERT_TRUE(LoadBytes(&file, "small.pcd", UniformPack(98304, 0xB800, 384, 256, 182, 156, 137, 8)));
    EXPECT_EQ(file.image.header->biWidth, 384);
    EXPECT_EQ(file.image.header->biHeight, 256);
    EXPECT_TRUE(PixelAt(file.image, 100, 0) == (Bgr{255, 255, 255}));
    EXPECT_TRUE(PixelAt(file.image, 100, 255) == (Bgr{0, 0, 0}));
    file.Unload();
    // Any other size: 768 x 512 at 0x30000.
    ASSERT_TRUE(LoadBytes(&file, "large.pcd", UniformPack(0x30000 + 768 * 768, 0x30000, 768, 512, 182, 156, 137)));
    EXPECT_EQ(file.image.header->biWidth, 768);
    EXPECT_EQ(file.image.header->biHeight, 512);
    EXPECT_TRUE(PixelAt(file.image, 700, 500) == (Bgr{255, 255, 255}));
    file.Unload();
}

TEST_F(PhotoCdTest, ShortFilesAreRefused) {
    EXPECT_EQ(LoadResult("empty.pcd", {}), kLoadCorrupt);
    EXPECT_EQ(LoadResult("tiny.pcd", Bytes(1000, 0)), kLoadCorrupt);
    EXPECT_EQ(LoadResult("cut.pcd", Bytes(0x30000 + 768 * 768 - 1, 0)), kLoadCorrupt);
    EXPECT_EQ(LoadResult("exact.pcd", Bytes(0x30000 + 768 * 768, 0)), kLoadOk);
}

TEST_F(PhotoCdTest, ConversionAtItsFixedPoints) {
    struct Case {
        int y, c1, c2;
        int red, green, blue;
    };
    const Case cases[] = {
        {0, 156, 137, 0, 0, 0},          // black
        {182, 156, 137, 255, 255, 255},  // 256.17 on every channel, clamped
        {100, 156, 137, 141, 141, 141},  // 140.749 + 0.5
        {0, 0, 0, 0, 154, 0},            // negative terms clamp at 0
    };
    for (const Case& c : cases) {
        BYTE r, g, b;
        PhotoYccToRgb(c.y, c.c1, c.c2, &r, &g, &b);
        EXPECT_EQ(r, c.red) << c.y << "," << c.c1 << "," << c.c2;
        EXPECT_EQ(g, c.green) << c.y << "," << c.c1 << "," << c.c2;
        EXPECT_EQ(b, c.blue) << c.y << "," << c.c1 << "," << c.c2;
    }
    // Everywhere else the formula in double precision.
    for (int y = 0; y < 256; y += 15) {
        for (int c1 = 0; c1 < 256; c1 += 17) {
            for (int c2 = 0; c2 < 256; c2 += 19) {
                auto clamp = [](double v) { return std::min(255.0, std::max(0.0, std::floor(v + 0.5))); };
                double red = clamp(1.40749 * y + 1.32303 * (c2 - 137) + 0.0000256 * (c1 - 156));
                double green = clamp(1.40749 * y - 0.67392 * (c2 - 137) - 0.39542 * (c1 - 156));
                double blue = clamp(1.40749 * y + 2.03604 * (c1 - 156) + 0.0000256 * (c2 - 137));
                BYTE r, g, b;
                PhotoYccToRgb(y, c1, c2, &r, &g, &b);
                EXPECT_NEAR(r, red, 1);
                EXPECT_NEAR(g, green, 1);
                EXPECT_NEAR(b, blue, 1);
            }
        }
    }
}

TEST_F(PhotoCdTest, ChromaHalvesAndRowPairs) {
    // C1 from the first half of the chroma line, C2 from the second, one
    // sample per two pixels; both luma lines of a pair share them.
    Bytes bytes(0x30000 + 768 * 768, 0);
    bytes[72] = 8;  // top-down
    const size_t at = 0x30000;
    bytes[at + 0] = 100;          // luma, row 0, pixel 0
    bytes[at + 768 + 1] = 150;    // luma, row 1, pixel 1
    bytes[at + 2 * 768 + 0] = 0;  // C1 of pixels 0 and 1
    bytes[at + 2 * 768 + 384] = 255;  // C2 of pixels 0 and 1
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "pairs.pcd", bytes));
    for (auto [x, y, luma] : {std::tuple{0, 0, 100}, std::tuple{1, 1, 150}, std::tuple{1, 0, 0}}) {
        BYTE r, g, b;
        PhotoYccToRgb(luma, 0, 255, &r, &g, &b);
        EXPECT_TRUE(PixelAt(file.image, x, y) == (Bgr{b, g, r})) << x << "," << y;
    }
    file.Unload();
}

}  // namespace
