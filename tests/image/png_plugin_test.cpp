// RImgPng.dll through the plug-in path: every PNG colour type, depth and
// interlacing decodes as ImageMagick decodes it over white; bad files fail
// cleanly; the plug-in's images are released through its own entry.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "image_test_util.h"

namespace {

struct PngCase {
    const char* name;
    int bitsPerPixel;
    int tolerance;  // 16-bit samples and alpha blending may round differently
    const char* formatText;
};

const PngCase kCases[] = {
    {"png_rgb.png", 24, 0, "PNG colour"},
    {"png_rgb16.png", 24, 1, "PNG colour"},
    {"png_palette.png", 8, 0, "PNG palette"},
    {"png_palette2.png", 8, 0, "PNG palette"},
    {"png_grey.png", 8, 0, "PNG greyscale"},
    {"png_grey16.png", 8, 1, "PNG greyscale"},
    {"png_grey1.png", 8, 0, "PNG greyscale"},
    {"png_interlaced.png", 24, 0, "PNG colour, interlaced"},
    {"png_rgba.png", 24, 1, "PNG colour with alpha"},
    {"png_grey_alpha.png", 8, 1, "PNG greyscale with alpha"},
};

class PngPluginTest : public ImageTest {
protected:
    void SetUp() override {
        ImageTest::SetUp();
        InstallPlugins({std::string(KESTRAVA_BIN_DIR) + "/RImgPng.dll"});
        ASSERT_EQ(library_.ProviderCount(), 2);
    }
};

TEST_F(PngPluginTest, EveryKindDecodesAsImageMagickDecodesIt) {
    const std::string folder = IMAGE_FIXTURE_DIR;
    for (const PngCase& c : kCases) {
        SCOPED_TRACE(c.name);
        std::ifstream in(folder + "/" + c.name + ".rgb", std::ios::binary);
        std::string reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_FALSE(reference.empty());
        ImageFile file;
        ASSERT_TRUE(Load(&file, platform::HostToDevicePath(folder + "/" + c.name))) << file.lastError;
        EXPECT_EQ(file.provider, library_.Provider(1));
        EXPECT_EQ(file.bitsPerPixel, c.bitsPerPixel);
        EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), c.formatText);
        int w = file.image.header->biWidth, h = file.image.header->biHeight;
        ASSERT_EQ(reference.size(), static_cast<size_t>(w * h * 3));
        int worst = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                Bgr ours = PixelAt(file.image, x, y);
                const auto* rgb = reinterpret_cast<const uint8_t*>(reference.data()) + (y * w + x) * 3;
                worst = std::max({worst, std::abs(ours.r - rgb[0]), std::abs(ours.g - rgb[1]),
                                  std::abs(ours.b - rgb[2])});
            }
        }
        EXPECT_LE(worst, c.tolerance);
        file.Unload();
        EXPECT_EQ(file.image.header, nullptr);
    }
}

TEST_F(PngPluginTest, DamagedFilesFailCleanly) {
    const std::string folder = IMAGE_FIXTURE_DIR;
    std::ifstream in(folder + "/png_rgb.png", std::ios::binary);
    Bytes good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(good.size(), 100u);
    ImageFile file;
    struct Damage {
        const char* what;
        Bytes bytes;
    };
    Bytes flipped = good;
    flipped[40] ^= 0xFF;  // inside the image data: a checksum or inflate error
    const Damage cases[] = {
        {"not a PNG", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}},
        {"signature only", Bytes(good.begin(), good.begin() + 8)},
        {"cut in the header", Bytes(good.begin(), good.begin() + 20)},
        {"cut in the data", Bytes(good.begin(), good.begin() + good.size() / 2)},
        {"damaged data", flipped},
        {"empty", {}},
    };
    for (const Damage& d : cases) {
        SCOPED_TRACE(d.what);
        EXPECT_FALSE(Load(&file, Put("bad.png", d.bytes)));
        EXPECT_TRUE(file.lastError == kLoadCorrupt || file.lastError == kLoadReadError) << file.lastError;
        EXPECT_EQ(file.image.header, nullptr);
    }
}

}  // namespace
