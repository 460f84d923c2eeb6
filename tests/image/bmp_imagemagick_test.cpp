// BMP files written by ImageMagick (and the shapes it cannot write, made from
// its pixels by make_image_fixtures.sh) decode to exactly ImageMagick's own
// decoding, pixel by pixel.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "image_test_util.h"

namespace {

enum class Compare {
    Exact,
    FiveBits,  // 16-bit pixels: our channels are the field's bits shifted left, not widened
};

struct Fixture {
    const char* name;
    int bitsPerPixel;  // of the decoded image
    const char* formatText;
    Compare compare;
};

const Fixture kFixtures[] = {
    {"v3_24.bmp", 24, "Uncompressed", Compare::Exact},
    {"v5_24.bmp", 24, "Uncompressed", Compare::Exact},
    {"v3_8.bmp", 8, "Uncompressed", Compare::Exact},
    {"v5_8.bmp", 8, "Uncompressed", Compare::Exact},
    {"v3_8_rle.bmp", 8, "RLE8 compression", Compare::Exact},
    {"v5_8_rle.bmp", 8, "RLE8 compression", Compare::Exact},
    {"v3_4.bmp", 4, "Uncompressed", Compare::Exact},
    {"v5_4.bmp", 4, "Uncompressed", Compare::Exact},
    {"v3_4_rle.bmp", 4, "RLE4 compression", Compare::Exact},
    {"v3_1.bmp", 1, "Uncompressed", Compare::Exact},
    {"v4_1.bmp", 1, "Uncompressed", Compare::Exact},
    {"os2_24.bmp", 24, "Uncompressed", Compare::Exact},
    {"os2_8.bmp", 8, "Uncompressed", Compare::Exact},
    {"os2_4.bmp", 4, "Uncompressed", Compare::Exact},
    {"os2_1.bmp", 1, "Uncompressed", Compare::Exact},
    {"topdown_24.bmp", 24, "Uncompressed", Compare::Exact},
    {"topdown_8.bmp", 8, "Uncompressed", Compare::Exact},
    {"bare_24.img", 24, "Uncompressed", Compare::Exact},
    {"v3_32.bmp", 24, "Uncompressed", Compare::Exact},
    {"v3_16.bmp", 24, "Uncompressed", Compare::FiveBits},
    {"v5_16_bitfields.bmp", 24, "Uncompressed", Compare::FiveBits},
    {"v5_32_bitfields.bmp", 24, "Uncompressed", Compare::Exact},
};

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ImageMagickBmpTest : public ImageTest {};

TEST_F(ImageMagickBmpTest, EveryFileDecodesAsImageMagickDecodesIt) {
    const std::string folder = IMAGE_FIXTURE_DIR;
    for (const char* picture : {"small", "large"}) {
        for (const Fixture& f : kFixtures) {
            std::string name = std::string(picture) + "_" + f.name;
            SCOPED_TRACE(name);
            std::string reference = ReadAll(folder + "/" + name + ".rgb");
            ASSERT_FALSE(reference.empty()) << "fixture missing: run make_image_fixtures.sh";
            ImageFile file;
            std::u16string path = platform::HostToDevicePath(folder + "/" + name);
            ASSERT_TRUE(Load(&file, path)) << file.lastError;
            const RImage& image = file.image;
            ASSERT_EQ(image.header->biBitCount, f.bitsPerPixel);
            EXPECT_EQ(platform::Utf16ToUtf8(image.formatText), f.formatText);
            int w = image.header->biWidth;
            int h = image.header->biHeight;
            ASSERT_EQ(reference.size(), static_cast<size_t>(w) * h * 3);
            int mismatches = 0;
            for (int y = 0; y < h && mismatches < 5; ++y) {
                for (int x = 0; x < w && mismatches < 5; ++x) {
                    Bgr ours = PixelAt(image, x, y);
                    const auto* rgb = reinterpret_cast<const uint8_t*>(reference.data()) + (y * w + x) * 3;
                    Bgr theirs = {rgb[2], rgb[1], rgb[0]};
                    if (f.compare == Compare::FiveBits) {
                        auto top5 = [](Bgr p) {
                            return Bgr{static_cast<uint8_t>(p.b & 0xF8), static_cast<uint8_t>(p.g & 0xF8),
                                       static_cast<uint8_t>(p.r & 0xF8)};
                        };
                        ours = top5(ours);
                        theirs = top5(theirs);
                    }
                    if (!(ours == theirs)) {
                        ++mismatches;
                        ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << int(ours.r) << ","
                                      << int(ours.g) << "," << int(ours.b) << " ImageMagick "
                                      << int(theirs.r) << "," << int(theirs.g) << "," << int(theirs.b);
                    }
                }
            }
            file.Unload();
        }
    }
}

}  // namespace
