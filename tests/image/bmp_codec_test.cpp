// The BMP handler on hand-made files: run-length byte sequences, OS/2 and
// 3-byte colour tables, 16- and 32-bit pixels, bare and top-down bitmaps,
// hostile headers and streams, reduced-size loading, abort and save.
#include <gtest/gtest.h>

#include <climits>
#include <fstream>
#include <iterator>

#include "bmp_codec.h"
#include "format_handler.h"
#include "image_memory.h"
#include "image_test_util.h"

namespace {

class BmpTest : public ImageTest {
protected:
    // A BMP of a header, a colour table and pixel bytes (offset after the table).
    static Bytes File(const Bytes& info, const Bytes& table, const Bytes& pixels) {
        uint32_t offset = static_cast<uint32_t>(14 + info.size() + table.size());
        return ByteWriter()
            .raw(BmpFileHeader(static_cast<uint32_t>(offset + pixels.size()), offset))
            .raw(info).raw(table).raw(pixels).bytes;
    }
    // Loads bytes as "name" and expects success.
    const RImage& Decode(const Bytes& bytes, const std::string& name = "t.bmp", DWORD flags = 0) {
        file_.Unload();
        EXPECT_TRUE(Load(&file_, Put(name, bytes), flags)) << "error " << file_.lastError;
        return file_.image;
    }
    LoadError Fails(const Bytes& bytes, const std::string& name = "t.bmp") {
        EXPECT_FALSE(Load(&file_, Put(name, bytes)));
        EXPECT_EQ(file_.image.header, nullptr);
        return file_.lastError;
    }
    void TearDown() override {
        file_.Unload();
        ImageTest::TearDown();
    }
    ImageFile file_{};
};

// A grey table of n entries, entry i = (i, i, i, 0).
Bytes GreyTable(int n) {
    ByteWriter w;
    for (int i = 0; i < n; ++i) w.u8(i).u8(i).u8(i).u8(0);
    return w.bytes;
}

TEST_F(BmpTest, Rle8RunThenEndOfBitmap) {
    // 03 05: index 5 three times; 00 01: end of bitmap.
    const RImage& image = Decode(File(InfoHeader(4, 2, 8, BI_RLE8), GreyTable(256), {3, 5, 0, 1}));
    EXPECT_EQ(std::u16string(image.formatText), u"RLE8 compression");
    const BYTE* bottom = RowAddress(image, 0);
    EXPECT_EQ(bottom[0], 5);
    EXPECT_EQ(bottom[2], 5);
    EXPECT_EQ(bottom[3], 0);
    EXPECT_EQ(RowAddress(image, 1)[0], 0);
}

TEST_F(BmpTest, Rle8AbsoluteRunsAreWordPaddedAndEndOfLineMovesUp) {
    const Bytes stream = {0, 3, 7, 8, 9, 0xEE,  // absolute run of 3 and its pad byte
                          0, 0,                 // end of line
                          2, 4,                 // 4, 4 on the next memory row
                          0, 4, 1, 2, 3, 4,     // absolute run of 4: no pad
                          0, 1};
    const RImage& image = Decode(File(InfoHeader(8, 2, 8, BI_RLE8), GreyTable(256), stream));
    const BYTE* row0 = RowAddress(image, 0);
    const BYTE* row1 = RowAddress(image, 1);
    EXPECT_EQ(Bytes(row0, row0 + 4), (Bytes{7, 8, 9, 0}));
    EXPECT_EQ(Bytes(row1, row1 + 8), (Bytes{4, 4, 1, 2, 3, 4, 0, 0}));
}

TEST_F(BmpTest, Rle8DeltaStopsAndKeepsTheRest) {
    const RImage& image =
        Decode(File(InfoHeader(4, 2, 8, BI_RLE8), GreyTable(256), {2, 9, 0, 2, 1, 1, 4, 6, 0, 1}));
    EXPECT_EQ(RowAddress(image, 0)[1], 9);
    EXPECT_EQ(RowAddress(image, 0)[2], 0);  // nothing after the delta was decoded
    EXPECT_EQ(RowAddress(image, 1)[0], 0);
}

TEST_F(BmpTest, Rle4RunsAlternateNibblesAndRestartAtTheHighHalf) {
    // 04 12: 1, 2, 1, 2. Then 03 34: 3, 4, 3 (the last 3 in the high half of
    // byte 2). Then 01 50: starts again at the high half of byte 2.
    const RImage& image =
        Decode(File(InfoHeader(8, 1, 4, BI_RLE4), GreyTable(16), {4, 0x12, 3, 0x34, 1, 0x50, 0, 1}));
    EXPECT_EQ(std::u16string(image.formatText), u"RLE4 compression");
    const BYTE* row = RowAddress(image, 0);
    EXPECT_EQ(row[0], 0x12);
    EXPECT_EQ(row[1], 0x12);
    EXPECT_EQ(row[2], 0x34);
    EXPECT_EQ(row[3], 0x30 | 0x50);  // nibbles are OR-ed into the zeroed image
}

TEST_F(BmpTest, Rle4AbsoluteRunPadding) {
    struct PadCase {
        Bytes run;  // the absolute run (with its pad byte when it has one)
        Bytes firstRow;
    };
    const PadCase cases[] = {
        // 3 pixels fill 2 bytes: no pad byte.
        {{0, 3, 0x12, 0x30}, {0x12, 0x30, 0, 0}},
        // 5 pixels fill 3 bytes: one pad byte.
        {{0, 5, 0x12, 0x34, 0x50, 0xEE}, {0x12, 0x34, 0x50, 0}},
        // 4 pixels fill 2 bytes: no pad byte.
        {{0, 4, 0xAB, 0xCD}, {0xAB, 0xCD, 0, 0}},
    };
    for (const PadCase& c : cases) {
        // After the run: end of line, then 02 77 on the second row. A wrongly
        // consumed pad byte would swallow the end-of-line code.
        Bytes stream = ByteWriter().raw(c.run).raw({0, 0, 2, 0x77, 0, 1}).bytes;
        const RImage& image = Decode(File(InfoHeader(8, 2, 4, BI_RLE4), GreyTable(16), stream));
        EXPECT_EQ(Bytes(RowAddress(image, 0), RowAddress(image, 0) + 4), c.firstRow);
        EXPECT_EQ(RowAddress(image, 1)[0], 0x77);
    }
}

TEST_F(BmpTest, HostileRunLengthStreamsStayInsideTheImage) {
    const Bytes streams[] = {
        {255, 1, 255, 2, 255, 3, 0, 1},                         // runs far past a 4 x 2 image
        ByteWriter().u8(0).u8(255).fill(255, 7).u8(0).u8(0).u8(0).u8(255).fill(255, 8).bytes,
        {0, 0, 0, 0, 0, 0, 0, 0, 5, 5},                         // lines past the end, no end code
        {9},                                                    // cut inside a run
        {0},                                                    // cut inside an escape
        {},                                                     // no data at all
    };
    for (unsigned compression : {BI_RLE8, BI_RLE4}) {
        for (const Bytes& stream : streams) {
            unsigned bpp = compression == BI_RLE8 ? 8 : 4;
            const RImage& image = Decode(File(InfoHeader(4, 2, bpp, compression), GreyTable(1 << bpp), stream));
            EXPECT_EQ(image.header->biWidth, 4);
        }
    }
}

TEST_F(BmpTest, Os2BitmapReadsThreeByteEntries) {
    // 12-byte core header, 8 bits: a 768-byte table, pixels right after it.
    Bytes core = ByteWriter().u32(12).u16(3).u16(1).u16(1).u16(8).bytes;
    ByteWriter table;
    for (int i = 0; i < 256; ++i) table.u8(i).u8(255 - i).u8(i / 2);  // blue, green, red
    Bytes pixels = {200, 10, 255, 0};
    Bytes bytes = File(core, table.bytes, pixels);
    ASSERT_EQ(bytes.size(), 14u + 12 + 768 + 4);
    const RImage& image = Decode(bytes);
    EXPECT_EQ(image.header->biSize, 40u);
    EXPECT_EQ(image.header->biClrUsed, 256u);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{200, 55, 100}));
    EXPECT_TRUE(PixelAt(image, 2, 0) == (Bgr{255, 0, 127}));
}

TEST_F(BmpTest, PixelOffset462MeansThreeByteEntries) {
    // 40-byte header, 136 colours of 3 bytes: the pixels start at 462.
    ByteWriter table;
    for (int i = 0; i < 136; ++i) table.u8(i).u8(1).u8(2);
    Bytes bytes = File(InfoHeader(2, 1, 8, 0, 136), table.bytes, {135, 7, 0, 0});
    ASSERT_EQ(bytes[10] | bytes[11] << 8, 462);
    const RImage& image = Decode(bytes);
    EXPECT_EQ(image.header->biClrUsed, 136u);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{135, 1, 2}));
    EXPECT_TRUE(PixelAt(image, 1, 0) == (Bgr{7, 1, 2}));
}

TEST_F(BmpTest, SixteenAndThirtyTwoBitPixelsBecomeTwentyFourBits) {
    // 0x7FFF -> 248, 248, 248; 0x001F -> blue 248; 0x7C00 -> red 248.
    Bytes pixels = ByteWriter().u16(0x7FFF).u16(0x001F).u16(0x7C00).u16(0).bytes;
    const RImage& image = Decode(File(InfoHeader(3, 1, 16), {}, pixels));
    EXPECT_EQ(image.header->biBitCount, 24);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{248, 248, 248}));
    EXPECT_TRUE(PixelAt(image, 1, 0) == (Bgr{248, 0, 0}));
    EXPECT_TRUE(PixelAt(image, 2, 0) == (Bgr{0, 0, 248}));
    const RImage& wide = Decode(File(InfoHeader(2, 1, 32), {}, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(wide.header->biBitCount, 24);
    EXPECT_TRUE(PixelAt(wide, 0, 0) == (Bgr{1, 2, 3}));
    EXPECT_TRUE(PixelAt(wide, 1, 0) == (Bgr{5, 6, 7}));
}

TEST_F(BmpTest, TrueColourFileWithATableConsumesItAndHasNone) {
    // Colours used 256 on a 24-bit file: 1024 table bytes, then the pixels
    // at the offset.
    Bytes table(1024, 0xCC);
    const RImage& image = Decode(File(InfoHeader(1, 1, 24, 0, 256), table, {10, 20, 30, 0}));
    EXPECT_EQ(image.header->biClrUsed, 0u);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{10, 20, 30}));
}

TEST_F(BmpTest, BareBitmapsStartWithTheInformationHeader) {
    for (const char* name : {"x.img", "x.2bp", "x.bmp"}) {
        SCOPED_TRACE(name);
        Bytes bytes = ByteWriter().raw(InfoHeader(2, 2, 8, 0, 4)).raw(GreyTable(4)).raw({1, 2, 0, 0, 3, 0, 0, 0}).bytes;
        const RImage& image = Decode(bytes, name);
        EXPECT_EQ(IndexAt(image, 0, 1), 1);  // bottom row
        EXPECT_EQ(IndexAt(image, 1, 1), 2);
        EXPECT_EQ(IndexAt(image, 0, 0), 3);
    }
}

TEST_F(BmpTest, TopDownBitmapsLoadTheRightWayUp) {
    // Height -2: the first row in the file is the top row.
    Bytes top = {1, 1, 1, 0}, bottom = {2, 2, 2, 0};
    const RImage& image = Decode(File(InfoHeader(1, -2, 24), {}, ByteWriter().raw(top).raw(bottom).bytes));
    EXPECT_EQ(image.header->biHeight, 2);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{1, 1, 1}));
    EXPECT_TRUE(PixelAt(image, 0, 1) == (Bgr{2, 2, 2}));
    // The same for run-length data.
    const RImage& rle = Decode(File(InfoHeader(2, -2, 8, BI_RLE8), GreyTable(256), {2, 7, 0, 0, 2, 9, 0, 1}));
    EXPECT_EQ(IndexAt(rle, 0, 0), 7);
    EXPECT_EQ(IndexAt(rle, 0, 1), 9);
}

TEST_F(BmpTest, HeadersThatCannotDescribeAnImageAreRefused) {
    struct HeaderCase {
        int32_t width, height;
        unsigned bpp;
    };
    const HeaderCase cases[] = {
        {0x7FFFFFFF, 0x7FFFFFFF, 24},  // row and image sizes overflow
        {0x40000000, 1, 32},           // the row length alone overflows
        {100000, 100000, 24},          // far beyond the image memory limit
        {-5, 5, 8},                    // negative width
        {5, 0, 8},                     // no rows
        {5, INT_MIN, 8},               // a height that cannot be negated
        {5, 5, 7},                     // no such depth
        {5, 5, 0},                     // compressed formats without a depth
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << " x " << c.bpp);
        EXPECT_EQ(Fails(File(InfoHeader(c.width, c.height, c.bpp), {}, {0, 0, 0, 0})), kLoadCorrupt);
    }
}

TEST_F(BmpTest, ShortHeadersAreReadErrors) {
    EXPECT_EQ(Fails({'B', 'M', 1, 2}), kLoadReadError);
    EXPECT_EQ(Fails(ByteWriter().raw(BmpFileHeader(60, 54)).u32(40).u32(2).bytes), kLoadReadError);
    EXPECT_EQ(Fails({}), kLoadReadError);
}

TEST_F(BmpTest, ColourTablesAreBoundedByTheTableAndTheFile) {
    // Colours used 1000 in a bare 8-bit file: 256 entries are kept, the other
    // 744 skipped, and the pixels follow the whole table.
    ByteWriter bytes;
    bytes.raw(InfoHeader(2, 1, 8, 0, 1000));
    for (int i = 0; i < 1000; ++i) bytes.u8(i & 255).u8(i >> 8).u8(9).u8(0);
    bytes.raw({5, 250, 0, 0});
    const RImage& image = Decode(bytes.bytes, "many.img");
    EXPECT_EQ(image.header->biClrUsed, 256u);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{5, 0, 9}));
    EXPECT_TRUE(PixelAt(image, 1, 0) == (Bgr{250, 0, 9}));
    // A table cut short by the end of the file keeps what arrived (here two
    // and a half entries), zero entries after it, and zero rows.
    Bytes cut = ByteWriter().raw(BmpFileHeader(0, 1078)).raw(InfoHeader(4, 4, 8)).fill(10, 0xFF).bytes;
    const RImage& shortImage = Decode(cut);
    const RGBQUAD* table = ColourTable(shortImage.header);
    EXPECT_EQ(table[1].rgbRed, 0xFF);
    EXPECT_EQ(table[2].rgbGreen, 0xFF);
    EXPECT_EQ(table[2].rgbRed, 0);
    EXPECT_EQ(table[3].rgbBlue, 0);
    EXPECT_EQ(IndexAt(shortImage, 3, 3), 0);
}

TEST_F(BmpTest, UnknownCompressionLeavesTheImageBlank) {
    // 7 is no compression a BMP knows; bit fields on 24-bit pixels mean nothing either.
    for (DWORD compression : {DWORD(7), DWORD(BI_BITFIELDS)}) {
        const RImage& image = Decode(File(InfoHeader(2, 2, 24, compression), {}, Bytes(16, 0x77)));
        EXPECT_EQ(image.formatText[0], 0);
        EXPECT_TRUE(PixelAt(image, 1, 1) == (Bgr{0, 0, 0}));
    }
}

TEST_F(BmpTest, BitFieldPixelsFollowTheirMasks) {
    // A 40-byte header followed by the red, green and blue masks of 5-6-5
    // pixels; one row of two pixels: pure red, and green 0x2A of 63.
    ByteWriter masks;
    masks.u8(0x00).u8(0xF8).u8(0).u8(0).u8(0xE0).u8(0x07).u8(0).u8(0).u8(0x1F).u8(0).u8(0).u8(0);
    Bytes pixels = {0x00, 0xF8, 0x40, 0x05};
    const RImage& image = Decode(File(InfoHeader(2, 1, 16, BI_BITFIELDS), masks.bytes, pixels));
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{0, 0, 0xF8}));
    EXPECT_TRUE(PixelAt(image, 1, 0) == (Bgr{0, 0x2A << 2, 0}));
    // 32-bit pixels with 10-bit fields (red in the top bits) keep each field's top 8 bits.
    ByteWriter wide;
    wide.u8(0).u8(0).u8(0xF0).u8(0xFF).u8(0).u8(0xFC).u8(0x0F).u8(0).u8(0xFF).u8(0x03).u8(0).u8(0);
    Bytes pixel = {0x00, 0x00, 0x00, 0x80};  // red field 0x200 of 0x3FF
    const RImage& deep = Decode(File(InfoHeader(1, 1, 32, BI_BITFIELDS), wide.bytes, pixel));
    EXPECT_TRUE(PixelAt(deep, 0, 0) == (Bgr{0, 0, 0x80}));
}

TEST_F(BmpTest, ShortPixelDataKeepsWhatArrived) {
    const RImage& image = Decode(File(InfoHeader(2, 2, 24), {}, {1, 2, 3}));
    EXPECT_TRUE(PixelAt(image, 0, 1) == (Bgr{1, 2, 3}));
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{0, 0, 0}));
}

struct TargetCase {
    int width, height, multiplier;
    int targetWidth, targetHeight;
};

TEST(ReducedTargetTest, ScreenMultiplesInThirtyTwoBitFloats) {
    const TargetCase cases[] = {
        {2000, 1000, 2, 960, 480},  // a = 0.48 wins over b = 0.32
        {2000, 1000, 1, 480, 240},
        {1000, 2000, 2, 480, 960},
        {4000, 3000, 1, 320, 240},  // a = 0.08, b = 0.08
        {100, 100, 2, 640, 640},    // small pictures give targets above their size
    };
    for (const TargetCase& c : cases) {
        int w = 0, h = 0;
        ReducedTarget(c.width, c.height, c.multiplier, &w, &h, 240, 320);
        EXPECT_EQ(w, c.targetWidth) << c.width << "x" << c.height << " m" << c.multiplier;
        EXPECT_EQ(h, c.targetHeight) << c.width << "x" << c.height << " m" << c.multiplier;
    }
}

// A 2000 x 1000 8-bit picture whose pixel value is its column / 8, with the
// given compression.
Bytes LargeEightBit(unsigned compression) {
    Bytes pixels;
    for (int y = 0; y < 1000; ++y) {
        for (int x = 0; x < 2000; ++x) {
            if (compression == BI_RLE8) {
                if (x % 8 == 0) pixels.insert(pixels.end(), {8, static_cast<uint8_t>(x / 8)});
            } else {
                pixels.push_back(static_cast<uint8_t>(x / 8));
            }
        }
        if (compression == BI_RLE8) pixels.insert(pixels.end(), {0, 0});
    }
    if (compression == BI_RLE8) pixels.insert(pixels.end(), {0, 1});
    uint32_t offset = 14 + 40 + 1024;
    return ByteWriter()
        .raw(BmpFileHeader(offset + static_cast<uint32_t>(pixels.size()), offset))
        .raw(InfoHeader(2000, 1000, 8, compression, 256))
        .raw(GreyTable(256))
        .raw(pixels)
        .bytes;
}

TEST_F(BmpTest, ReducedSizeLoadingOfA2000By1000Picture) {
    struct ReducedCase {
        unsigned compression;
        DWORD flags;
        int width, height, bpp;
    };
    const ReducedCase cases[] = {
        // Uncompressed rows are decimated while decoding and keep 8 bits.
        {BI_RGB, kLoadFlagReduced, 960, 480, 8},
        {BI_RGB, kLoadFlagOneScreen, 480, 240, 8},
        {BI_RGB, kLoadFlagTwoScreens | kLoadFlagOneScreen, 960, 480, 8},
        {BI_RGB, kLoadFlagReduced | kLoadFlagNoDecimation, 2000, 1000, 8},
        {BI_RGB, 0, 2000, 1000, 8},
        // Run-length data is decoded at full size and then shrunk to 24 bits.
        {BI_RLE8, kLoadFlagReduced, 960, 480, 24},
        {BI_RLE8, 0, 2000, 1000, 8},
    };
    for (const ReducedCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "compression " << c.compression << " flags " << c.flags);
        const RImage& image = Decode(LargeEightBit(c.compression), "big.bmp", c.flags);
        EXPECT_EQ(image.header->biWidth, c.width);
        EXPECT_EQ(image.header->biHeight, c.height);
        EXPECT_EQ(image.header->biBitCount, c.bpp);
        // The last column shows the last source column (value 249).
        Bgr last = PixelAt(image, c.width - 1, c.height / 2);
        EXPECT_GE(last.r, 245);
        EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{0, 0, 0}));
    }
}

TEST_F(BmpTest, FilesEndingInsideThePixelsAreMarkedTruncated) {
    // Every reading path of the decoder: rows straight into the image,
    // row by row (top-down and decimating), 16/32-bit conversion and both
    // run-length codings. A whole file must never be marked, a cut one
    // always.
    ByteWriter rle8Rows;  // two rows of four, each ended, then the end of bitmap
    rle8Rows.u8(4).u8(7).u8(0).u8(0).u8(4).u8(9).u8(0).u8(1);
    ByteWriter rle4Rows;
    rle4Rows.u8(4).u8(0x12).u8(0).u8(0).u8(4).u8(0x34).u8(0).u8(1);
    const Bytes big = LargeEightBit(BI_RGB);
    struct Case {
        const char* name;
        Bytes bytes;
        DWORD flags;
        bool truncated;
    };
    const Case cases[] = {
        {"24-bit whole", File(InfoHeader(2, 2, 24), {}, Bytes(16, 0x40)), 0, false},
        {"24-bit cut", File(InfoHeader(2, 2, 24), {}, Bytes(11, 0x40)), 0, true},
        {"24-bit top-down whole", File(InfoHeader(2, -2, 24), {}, Bytes(16, 0x40)), 0, false},
        {"24-bit top-down cut", File(InfoHeader(2, -2, 24), {}, Bytes(9, 0x40)), 0, true},
        {"16-bit whole", File(InfoHeader(2, 2, 16), {}, Bytes(8, 0x40)), 0, false},
        {"16-bit cut", File(InfoHeader(2, 2, 16), {}, Bytes(5, 0x40)), 0, true},
        {"32-bit cut", File(InfoHeader(2, 2, 32), {}, Bytes(12, 0x40)), 0, true},
        {"8-bit cut before its pixels", File(InfoHeader(4, 4, 8), GreyTable(256), {}), 0, true},
        {"RLE8 whole", File(InfoHeader(4, 2, 8, BI_RLE8), GreyTable(256), rle8Rows.bytes), 0, false},
        {"RLE8 cut", File(InfoHeader(4, 2, 8, BI_RLE8), GreyTable(256), {4, 7, 0, 0, 4}), 0, true},
        {"RLE8 stopped by a delta", File(InfoHeader(4, 2, 8, BI_RLE8), GreyTable(256), {4, 7, 0, 2, 1, 1}), 0,
         false},
        {"RLE4 whole", File(InfoHeader(4, 2, 4, BI_RLE4), GreyTable(16), rle4Rows.bytes), 0, false},
        {"RLE4 cut", File(InfoHeader(4, 2, 4, BI_RLE4), GreyTable(16), {4, 0x12, 0}), 0, true},
        {"decimated whole", big, kLoadFlagReduced, false},
        {"decimated cut", Bytes(big.begin(), big.begin() + static_cast<ptrdiff_t>(big.size() / 2)),
         kLoadFlagReduced, true},
        {"RLE8 reduced cut", [] {
             Bytes b = LargeEightBit(BI_RLE8);
             b.resize(b.size() / 2);
             return b;
         }(), kLoadFlagReduced, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RImage& image = Decode(c.bytes, "t.bmp", c.flags);
        ASSERT_NE(image.header, nullptr);
        EXPECT_EQ(image.truncated, c.truncated);
    }
}

TEST_F(BmpTest, DecimationMapsEveryDestinationColumn) {
    const RImage& image = Decode(LargeEightBit(BI_RGB), "big.bmp", kLoadFlagReduced);
    float ratio = 2000.0f / 960.0f;
    int step = static_cast<int>(ratio * 1024);
    for (int x : {1, 2, 100, 500, 958}) {
        int source = (x * step) >> 10;
        EXPECT_EQ(IndexAt(image, x, 10), source / 8) << x;
    }
}

TEST_F(BmpTest, AnAbortDuringDecodingReturnsSuccessWithTheRowsSoFar) {
    // The hook sets the abort flag as the image is created, before any row.
    RegisterAllocationHooks(nullptr, 0, nullptr,
                            [](HDC dc, const BITMAPINFO* info, void** bits) -> HBITMAP {
                                SetAbortFlag();
                                return CreateDIBSection(dc, info, DIB_RGB_COLORS, bits, nullptr, 0);
                            },
                            nullptr);
    const RImage& image = Decode(File(InfoHeader(2, 2, 24), {}, Bytes(16, 0x55)));
    RegisterAllocationHooks(nullptr, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(file_.lastError, kLoadOk);
    EXPECT_TRUE(PixelAt(image, 0, 0) == (Bgr{0, 0, 0}));
    EXPECT_FALSE(image.truncated) << "an abort is no short file";
    ClearAbortFlag();
}

TEST_F(BmpTest, SaveWritesTheHeaderBlockTableAndPixels) {
    ByteWriter pixels;
    for (int i = 0; i < 3; ++i) pixels.u8(i).u8(i).u8(i).u8(0);
    const RImage& image = Decode(File(InfoHeader(3, 3, 8, 0, 256), GreyTable(256), pixels.bytes));
    HANDLE out = CreateFileW(u"\\saved.bmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    BmpHandler handler;
    EXPECT_EQ(handler.Save(out, image), kLoadOk);
    CloseHandle(out);
    std::ifstream in(Host("saved.bmp"), std::ios::binary);
    Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(saved.size(), 14u + 40 + 1024 + 12);
    auto u32 = [&](size_t at) { return saved[at] | saved[at + 1] << 8 | saved[at + 2] << 16 | saved[at + 3] << 24; };
    EXPECT_EQ(saved[0], 'B');
    EXPECT_EQ(saved[1], 'M');
    EXPECT_EQ(u32(2), 12 + 256 * 4 + 40 + 14);
    EXPECT_EQ(u32(10), 40 + 1024 + 14);
    EXPECT_EQ(u32(14), 40);
    EXPECT_EQ(u32(46), 256);
    // Loading it again gives the same pixels.
    const RImage& again = Decode(saved, "again.bmp");
    EXPECT_EQ(IndexAt(again, 2, 0), 2);
    // The base handler cannot save.
    FormatHandler base;
    EXPECT_EQ(base.Save(nullptr, again), kLoadSaveUnsupported);
}

}  // namespace
