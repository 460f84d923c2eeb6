// The PCX handler: files written by ImageMagick and netpbm against
// ImageMagick's decoding; hand-made files for the header codes, the planar
// bit order, the colour table marker and runs that overrun lines, the image
// or the file.
#include <random>

#include "codec_test_util.h"

namespace {

// A 128-byte header: manufacturer 10, window (0, 0)-(width - 1, height - 1).
Bytes PcxHeader(int bits, int planes, int width, int height, int bytesPerLine, int version = 5, int encoding = 1,
                int manufacturer = 10) {
    Bytes h(128, 0);
    h[0] = static_cast<uint8_t>(manufacturer);
    h[1] = static_cast<uint8_t>(version);
    h[2] = static_cast<uint8_t>(encoding);
    h[3] = static_cast<uint8_t>(bits);
    h[8] = static_cast<uint8_t>((width - 1) & 0xFF);
    h[9] = static_cast<uint8_t>(((width - 1) >> 8) & 0xFF);
    h[10] = static_cast<uint8_t>((height - 1) & 0xFF);
    h[11] = static_cast<uint8_t>(((height - 1) >> 8) & 0xFF);
    for (int i = 0; i < 16; ++i) {  // header colour table: entry i = (16 i, 8 i, 4 i)
        h[16 + 3 * i] = static_cast<uint8_t>(16 * i);
        h[17 + 3 * i] = static_cast<uint8_t>(8 * i);
        h[18 + 3 * i] = static_cast<uint8_t>(4 * i);
    }
    h[65] = static_cast<uint8_t>(planes);
    h[66] = static_cast<uint8_t>(bytesPerLine & 0xFF);
    h[67] = static_cast<uint8_t>(bytesPerLine >> 8);
    return h;
}

struct Fixture {
    const char* name;
    int bitsPerPixel;
};

const Fixture kFixtures[] = {
    {"imagemagick24", 24}, {"imagemagick8", 8}, {"netpbm24", 24}, {"netpbm8", 8},
    {"planar16", 4},       {"packed16", 4},     {"bilevel", 1},
};

class PcxTest : public CodecTest {};

TEST_F(PcxTest, FilesDecodeAsImageMagickDecodesThem) {
    for (const char* picture : {"small", "large"}) {
        for (const Fixture& f : kFixtures) {
            std::string name = std::string("pcx_") + picture + "_" + f.name + ".pcx";
            SCOPED_TRACE(name);
            std::string reference = ReadHostFile(CodecFixture(name) + ".rgb");
            ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
            ImageFile file;
            ASSERT_TRUE(LoadHost(&file, CodecFixture(name))) << file.lastError;
            EXPECT_EQ(file.image.header->biBitCount, f.bitsPerPixel);
            EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), "Ver.5 - RLE compression");
            EXPECT_EQ(CompareWithReference(file.image, reference, 0), 0);
            file.Unload();
        }
    }
}

// xmin 10 beyond xmax 3.
Bytes Reversed() {
    Bytes h = PcxHeader(8, 1, 4, 4, 4);
    h[4] = 10;
    return h;
}

TEST_F(PcxTest, HeaderCodes) {
    struct Case {
        const char* what;
        Bytes bytes;
        LoadError result;
    };
    const Case cases[] = {
        {"manufacturer 5", PcxHeader(8, 1, 4, 4, 4, 5, 1, 5), kLoadCorrupt},
        {"empty file", {}, kLoadCorrupt},
        {"2 bits", PcxHeader(2, 1, 4, 4, 1), kLoadUnsupportedVersion},
        {"16 bits", PcxHeader(8, 2, 4, 4, 4), kLoadUnsupportedVersion},
        {"32 bits", PcxHeader(8, 4, 4, 4, 4), kLoadUnsupportedVersion},
        {"corners reversed", Reversed(), kLoadCorrupt},
        {"header only", PcxHeader(8, 1, 4, 4, 4), kLoadOk},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadResult("h.pcx", c.bytes), c.result) << c.what;
}

TEST_F(PcxTest, FormatTextNamesVersionAndEncoding) {
    ImageFile file;
    Bytes raw = PcxHeader(8, 1, 2, 1, 2, 3, 0);
    raw.insert(raw.end(), {5, 7});
    ASSERT_TRUE(LoadBytes(&file, "raw.pcx", raw));
    EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), "Ver.3 - uncompressed");
    file.Unload();
}

TEST_F(PcxTest, TwoHundredFiftySixColoursWithAndWithoutTheirTable) {
    Bytes data = PcxHeader(8, 1, 2, 1, 2);
    data.insert(data.end(), {5, 7});
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "grey.pcx", data));
    EXPECT_EQ(IndexAt(file.image, 0, 0), 5);
    EXPECT_EQ(IndexAt(file.image, 1, 0), 7);
    // No marker after the data: the grey table stays.
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{7, 7, 7}));
    file.Unload();

    data.push_back(12);
    for (int i = 0; i < 256; ++i) data.insert(data.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    ASSERT_TRUE(LoadBytes(&file, "table.pcx", data));
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{3, 248, 7}));
    file.Unload();
}

TEST_F(PcxTest, PlanarBitsMakeTheFourBitValue) {
    // One line of 8 pixels; plane bits of pixel 0 are 1, 0, 1, 1 (planes 0-3).
    Bytes data = PcxHeader(1, 4, 8, 1, 1);
    data.insert(data.end(), {0x80, 0x00, 0x80, 0x80});
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "planar.pcx", data));
    ASSERT_EQ(file.image.header->biBitCount, 4);
    EXPECT_EQ(IndexAt(file.image, 0, 0), 13);
    for (int x = 1; x < 8; ++x) EXPECT_EQ(IndexAt(file.image, x, 0), 0);
    // The header's colour table.
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{4 * 13, 8 * 13, 16 * 13}));
    file.Unload();
}

TEST_F(PcxTest, RunsNeverPassTheImageOrTheFile) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    auto with = [](Bytes header, std::initializer_list<uint8_t> data) {
        header.insert(header.end(), data);
        return header;
    };
    const Case cases[] = {
        // A run of 63 across both lines of a 4 x 2 picture and beyond.
        {"8-bit overrun", with(PcxHeader(8, 1, 4, 2, 4), {0xFF, 9, 0xFF, 9})},
        // Bytes-per-line far beyond the row, in every layout.
        {"planar wide lines", with(PcxHeader(1, 4, 8, 2, 200), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"bilevel wide lines", with(PcxHeader(1, 1, 8, 2, 300), {0xFF, 0xAA, 0xFF, 0xAA})},
        {"24-bit wide lines", with(PcxHeader(8, 3, 3, 2, 500), {0xFF, 1, 0xFF, 2, 0xFF, 3})},
        // A run without its value at the end of the file.
        {"cut run", with(PcxHeader(8, 1, 4, 2, 4), {1, 2, 0xC5})},
        // Zero-length runs.
        {"empty runs", with(PcxHeader(8, 1, 4, 2, 4), {0xC0, 1, 0xC0, 2, 3})},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadResult("run.pcx", c.bytes), kLoadOk) << c.what;

    // The run fills the whole picture; the data after it are never used.
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "fill.pcx", with(PcxHeader(8, 1, 4, 2, 4), {0xFF, 9})));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) EXPECT_EQ(IndexAt(file.image, x, y), 9);
    }
    file.Unload();
    // Data past the end of the file decode as zeros.
    ASSERT_TRUE(LoadBytes(&file, "short.pcx", with(PcxHeader(8, 1, 4, 3, 4), {4, 6})));
    EXPECT_EQ(IndexAt(file.image, 0, 0), 4);
    EXPECT_EQ(IndexAt(file.image, 1, 0), 6);
    EXPECT_EQ(IndexAt(file.image, 2, 0), 0);
    EXPECT_EQ(IndexAt(file.image, 3, 2), 0);
    file.Unload();
}

TEST_F(PcxTest, RandomFilesEndCleanly) {
    std::mt19937 random(17);
    const int layouts[][2] = {{1, 1}, {1, 4}, {4, 1}, {8, 1}, {8, 3}};
    for (int round = 0; round < 100; ++round) {
        const auto& layout = layouts[round % 5];
        Bytes data = PcxHeader(layout[0], layout[1], 1 + static_cast<int>(random() % 50),
                               1 + static_cast<int>(random() % 50), static_cast<int>(random() % 80));
        const size_t extra = random() % 3000;
        for (size_t i = 0; i < extra; ++i) data.push_back(static_cast<uint8_t>(random()));
        EXPECT_EQ(LoadResult("random.pcx", data), kLoadOk) << round;
    }
}

TEST_F(PcxTest, AbortReturns15) {
    ImageFile file;
    file.InitImageFile();
    {
        AbortOnImageCreation abort;
        EXPECT_FALSE(LoadHost(&file, CodecFixture("pcx_large_imagemagick24.pcx")));
    }
    EXPECT_EQ(file.lastError, kLoadAborted);
    EXPECT_EQ(file.image.header, nullptr);
}

}  // namespace
