// The DICOM handler: the attribute scan with its logs, the LUT palette, the
// frame source (offsets of uncompressed and encapsulated data, the display
// adjustment it sets up), the load's result codes, and hostile files that
// must fail cleanly.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "dicom/frame_decoders.h"
#include "handler_test_util.h"
#include "image/image_memory.h"

using namespace handler_test;

namespace {

class ScanTest : public HandlerTest {
protected:
    void TearDown() override {
        ReleaseImageAttributes();
        ReleaseImage(&image_);
        HandlerTest::TearDown();
    }
    // Attaches the bytes to the reader's stream and scans them.
    DicomImageInfo* Scan(const Bytes& bytes) {
        Attach(bytes);
        EXPECT_EQ(dicom_open(), 0);
        return ScanImageAttributes();
    }
    // Scans and builds the frame source into image_ (with adjustment_).
    LoadError Build(const Bytes& bytes) {
        ReleaseImage(&image_);
        image_.adjustment = &adjustment_;
        DicomImageInfo* info = Scan(bytes);
        EXPECT_NE(info, nullptr);
        if (info == nullptr) return 99;
        const LoadError result = BuildFrameSource(&image_, info);
        ReleaseImageAttributes();
        return result;
    }
    FrameSource* Source() { return image_.frameSource; }

    RImage image_;
};

Bytes GreyFile(uint16_t rows, uint16_t columns, int frames = 1,
               const std::string& syntax = kExplicitLittle) {
    std::vector<uint16_t> samples((size_t)rows * columns * frames);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (uint16_t)(i * 37 % 4096);
    return ImageBuilder(syntax).Grey(rows, columns, 16, 12, false, "MONOCHROME2", frames)
        .Raw(0x7FE0, 0x0010, "OW", Le16(samples))
        .Build();
}

// ---- the attribute scan ----

TEST_F(ScanTest, PhotometricNamesMatchOverTheirOwnLength) {
    struct Case {
        const char* value;
        uint32_t index;
        uint8_t ybr;
        bool logged;
    } cases[] = {
        {"MONOCHROME2", 0, kYbrNone, false}, {"MONOCHROME1", 1, kYbrNone, false},
        {"PALETTE COLOR", 2, kYbrNone, false}, {"RGB", 3, kYbrNone, false},
        {"HSV", 4, kYbrNone, false}, {"ARGB", 5, kYbrNone, false},
        {"CMYK", 6, kYbrNone, false}, {"RGBA", 3, kYbrNone, false},
        {"YBR_FULL", 7, kYbrFull, false}, {"YBR_FULL_422", 7, kYbrFull422, false},
        {"YBR_PARTIAL_420", 7, kYbrNone, true}, {"MONOCHROME", 7, kYbrNone, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        LogCapture log;
        DicomImageInfo* info = Scan(ImageBuilder().Grey(2, 2, 8, 8, false, c.value)
                                        .Raw(0x7FE0, 0x0010, "OB", Bytes(4))
                                        .Build());
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->photometric, c.index);
        EXPECT_EQ(info->ybr, c.ybr);
        EXPECT_EQ(log.Has(4, "Unknown PhotometricInterpretation"), c.logged);
    }
}

TEST_F(ScanTest, DefaultsWhereTheFileSaysNothing) {
    DicomImageInfo* info = Scan(ImageBuilder().Us(0x0010, {2}).Us(0x0011, {2}).Us(0x0100, {8})
                                    .Raw(0x7FE0, 0x0010, "OB", Bytes(4))
                                    .Build());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->photometric, 0u);
    EXPECT_EQ(info->frameCount, 1);
    EXPECT_EQ(info->samplesPerPixel, 1);
    EXPECT_EQ(info->bitsStored, 0);
    EXPECT_EQ(info->windowWidth, 0.0f);
    EXPECT_EQ(info->rescaleSlope, 1.0f);
    EXPECT_EQ(info->lut[0].data, nullptr);
    EXPECT_EQ(info->syntax, ExplicitVrLittleEndian);
}

TEST_F(ScanTest, WindowAndRescaleTextsBecomeNumbers) {
    struct Case {
        const char* text;
        float value;
    } cases[] = {
        {"40.5", 40.5f}, {"-1024", -1024.0f}, {"12abc", 12.0f}, {" 7 ", 7.0f},
        {"1E-3", 0.001f}, {"2.5\\3.5", 2.5f}, {"-0.25", -0.25f},
    };
    for (const char* syntax : {kExplicitLittle, kImplicitLittle, kExplicitBig}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(syntax) + " " + c.text);
            DicomImageInfo* info = Scan(ImageBuilder(syntax).Grey(2, 2, 8, 8)
                                            .Text(0x0028, 0x1050, "DS", c.text)
                                            .Text(0x0028, 0x1051, "DS", c.text)
                                            .Text(0x0028, 0x1052, "DS", c.text)
                                            .Text(0x0028, 0x1053, "DS", c.text)
                                            .Raw(0x7FE0, 0x0010, "OB", Bytes(4))
                                            .Build());
            ASSERT_NE(info, nullptr);
            EXPECT_FLOAT_EQ(info->windowCenter, c.value);
            EXPECT_FLOAT_EQ(info->windowWidth, c.value);
            EXPECT_FLOAT_EQ(info->rescaleIntercept, c.value);
            EXPECT_FLOAT_EQ(info->rescaleSlope, c.value);
        }
    }
}

TEST_F(ScanTest, NumbersOfFramesSignedRangesAndEmptyValues) {
    DicomImageInfo* info = Scan(ImageBuilder()
                                    .Raw(0x0028, 0x0002, "US", {})  // empty: the default stays
                                    .Text(0x0028, 0x0008, "IS", "10 ")
                                    .Us(0x0010, {2})
                                    .Us(0x0011, {2})
                                    .Us(0x0100, {16})
                                    .Us(0x0103, {1})
                                    .Words(0x0028, 0x0106, "SS", {0xFC00})  // -1024
                                    .Words(0x0028, 0x0107, "SS", {3071})
                                    .Raw(0x0028, 0x1053, "DS", {})
                                    .Raw(0x7FE0, 0x0010, "OW", Bytes(80))
                                    .Build());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->samplesPerPixel, 1);
    EXPECT_EQ(info->frameCount, 10);
    EXPECT_EQ(info->smallest, -1024);
    EXPECT_EQ(info->largest, 3071);
    EXPECT_EQ(info->rescaleSlope, 1.0f);
}

TEST_F(ScanTest, LutDescriptorsNeedThreeValuesAndShortLutDataIsKept) {
    LogCapture log;
    DicomImageInfo* info = Scan(ImageBuilder().Grey(2, 2, 8, 8, false, "PALETTE COLOR")
                                    .Us(0x1101, {4, 0, 16})
                                    .Us(0x1102, {4, 0})  // two values: refused
                                    .Us(0x1103, {4, 0, 16})
                                    .Us(0x1201, {0x1100, 0x2200, 0x3300, 0x4400})
                                    .Us(0x1202, {0xAA00, 0xBB00, 0xCC00, 0xDD00})
                                    .Us(0x1203, {0x0100, 0x0200, 0x0300, 0x0400})
                                    .Raw(0x7FE0, 0x0010, "OB", Bytes(4))
                                    .Build());
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(log.Has(4, "Wrong VM for PaletteColorLookupTableDescriptor"));
    EXPECT_EQ(info->lut[0].entries, 4);
    EXPECT_EQ(info->lut[1].entries, 0);
    EXPECT_EQ(info->lut[2].bitsPerEntry, 16);
    // Each short value lived in the reader's shared buffer, which the next
    // one overwrote: the info holds copies.
    ASSERT_NE(info->lut[0].data, nullptr);
    EXPECT_EQ(info->lut[0].dataBytes, 8u);
    EXPECT_EQ(info->lut[0].data[0], 0x1100);
    EXPECT_EQ(info->lut[0].data[3], 0x4400);
    EXPECT_EQ(info->lut[1].data[1], 0xBB00);
    EXPECT_EQ(info->lut[2].data[2], 0x0300);
}

TEST_F(ScanTest, PixelDataLogsAndRefusals) {
    struct Case {
        const char* name;
        uint16_t group;
        const char* vr;
        size_t bytes;
        bool undefinedLength;
        bool found;
        bool obFixed;
        bool lengthWarning;
    } cases[] = {
        {"exact", 0x7FE0, "OW", 8, false, true, false, false},
        {"OB for 16 bits", 0x7FE0, "OB", 8, false, true, true, false},
        {"two bytes short", 0x7FE0, "OW", 6, false, true, false, true},
        {"retired group", 0x7F10, "OW", 8, false, true, false, false},
        {"odd group", 0x7F11, "OW", 8, false, false, false, false},
        {"undefined length", 0x7FE0, "OW", 8, true, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log;
        DicomImageInfo* info = Scan(ImageBuilder().Grey(2, 2, 16, 16)
                                        .Raw(c.group, 0x0010, c.vr, Bytes(c.bytes), c.undefinedLength)
                                        .Build());
        EXPECT_EQ(info != nullptr, c.found);
        EXPECT_EQ(log.Has(4, "Incorrect OB value representation (fixed)"), c.obFixed);
        EXPECT_EQ(log.Has(4, "Incorrect PixelData length"), c.lengthWarning);
        if (info != nullptr && c.obFixed) {
            EXPECT_EQ(info->pixelVr, kVrOW);
        }
    }
    // 8-bit data of odd length carries one padding byte without a warning.
    LogCapture log;
    ASSERT_NE(Scan(ImageBuilder().Grey(1, 3, 8, 8).Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build()),
              nullptr);
    EXPECT_FALSE(log.Has(4, "Incorrect PixelData length"));
}

TEST_F(ScanTest, CompressedDataStopsAtTheEncapsulatedHeader) {
    const Bytes bytes = ImageBuilder(kRle).Grey(2, 2, 8, 8)
                            .Raw(0x7FE0, 0x0010, "OB",
                                 Join({Item({}), Item(Bytes(64 + 4)), SequenceDelimiter()}), true)
                            .Build();
    DicomImageInfo* info = Scan(bytes);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->syntax, RleLossless);
    EXPECT_EQ(info->pixelLength, kUndefinedLength);
    // The stream stands at the basic offset table's item.
    const size_t table = bytes.size() - (8 + 8 + 68 + 8);
    EXPECT_EQ(DicomStream().tell(), (int64_t)table);
}

// Attributes and pixel data inside a sequence belong to another picture
// (here an icon image): the data set's own are used.
TEST_F(ScanTest, AnIconImageInsideASequenceIsNotThePicture) {
    ByteWriter icon;
    icon.explicitHeader(0x0028, 0x0010, "US", 2).u16(1);
    icon.explicitHeader(0x0028, 0x0011, "US", 2).u16(1);
    icon.explicitHeader(0x7FE0, 0x0010, "OB", 2).raw({9, 9});
    const Bytes bytes = ImageBuilder().Grey(1, 4, 8, 8)
                            .Raw(0x0088, 0x0200, "SQ", Join({Item(icon.data), SequenceDelimiter()}),
                                 true)
                            .Raw(0x7FE0, 0x0010, "OB", {10, 20, 30, 40})
                            .Build();
    DicomImageInfo* info = Scan(bytes);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->rows, 1);
    EXPECT_EQ(info->columns, 4);
    ReleaseImageAttributes();
    // Window 0 .. 256 (the default of 8-bit samples): the samples as they are.
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    EXPECT_EQ(PictureBytes(Image()), (Bytes{10, 20, 30, 40}));
}

// ---- the palette ----

TEST(LutPaletteTest, OnlyEqualTablesOfAtMost256EntriesOverBytes) {
    std::vector<uint16_t> words(256), shortWords(100);
    for (int i = 0; i < 256; ++i) words[i] = (uint16_t)(i * 257);
    for (int i = 0; i < 100; ++i) shortWords[i] = (uint16_t)(i << 8);
    std::vector<uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) bytes[i] = (uint8_t)(255 - i);
    std::vector<uint16_t> byteWords(256);  // 8-bit entries written one per word
    for (int i = 0; i < 256; ++i) byteWords[i] = (uint16_t)(255 - i);

    struct Case {
        const char* name;
        uint32_t photometric;
        uint16_t bitsAllocated;
        uint16_t entries[3];
        uint16_t bitsPerEntry;
        void* data;
        uint32_t dataBytes;
        int expected;
        int entry10;  // red of entry 10, -1 unchecked
        int entry200;
    } cases[] = {
        {"256 words", 2, 8, {256, 256, 256}, 16, words.data(), 512, 256, 10, 200},
        {"256 bytes", 2, 8, {256, 256, 256}, 8, bytes.data(), 256, 256, 245, 55},
        {"256 bytes in words", 2, 8, {256, 256, 256}, 8, byteWords.data(), 512, 256, 245, 55},
        {"short table", 2, 8, {256, 256, 256}, 16, shortWords.data(), 200, 256, 10, 99},
        {"unequal", 2, 8, {256, 255, 256}, 16, words.data(), 512, 0, -1, -1},
        {"descriptor 0", 2, 8, {0, 0, 0}, 16, words.data(), 512, 0, -1, -1},
        {"4096 entries", 2, 8, {4096, 4096, 4096}, 16, words.data(), 512, 0, -1, -1},
        {"16-bit samples", 2, 16, {256, 256, 256}, 16, words.data(), 512, 0, -1, -1},
        {"not a palette", 0, 8, {256, 256, 256}, 16, words.data(), 512, 0, -1, -1},
        {"no data", 2, 8, {256, 256, 256}, 16, nullptr, 0, 0, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DicomImageInfo info{};
        info.photometric = c.photometric;
        info.bitsAllocated = c.bitsAllocated;
        for (int k = 0; k < 3; ++k) {
            info.lut[k].entries = c.entries[k];
            info.lut[k].bitsPerEntry = c.bitsPerEntry;
            info.lut[k].data = static_cast<uint16_t*>(c.data);
            info.lut[k].dataBytes = c.dataBytes;
        }
        RGBQUAD table[256] = {};
        EXPECT_EQ(BuildLutPalette(info, table), c.expected);
        if (c.entry10 >= 0) {
            EXPECT_EQ(table[10].rgbRed, c.entry10);
            EXPECT_EQ(table[10].rgbBlue, c.entry10);
            EXPECT_EQ(table[200].rgbGreen, c.entry200);
            EXPECT_EQ(table[200].rgbReserved, 0);
        }
    }
}

TEST_F(ScanTest, A256EntryPaletteBecomesTheColourTable) {
    std::vector<uint16_t> red(256), green(256), blue(256);
    for (int i = 0; i < 256; ++i) {
        red[i] = (uint16_t)(i << 8);
        green[i] = (uint16_t)((255 - i) << 8);
        blue[i] = 0x8000;
    }
    const Bytes bytes = ImageBuilder().Grey(1, 4, 8, 8, false, "PALETTE COLOR")
                            .Us(0x1101, {256, 0, 16}).Us(0x1102, {256, 0, 16}).Us(0x1103, {256, 0, 16})
                            .Words(0x0028, 0x1201, "OW", red)
                            .Words(0x0028, 0x1202, "OW", green)
                            .Words(0x0028, 0x1203, "OW", blue)
                            .Raw(0x7FE0, 0x0010, "OB", {0, 1, 100, 255})
                            .Build();
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    ASSERT_EQ(Image().header->biBitCount, 8);
    EXPECT_EQ(Image().header->biClrUsed, 256u);
    const RGBQUAD* table = ColourTable(Image().header);
    EXPECT_EQ(table[100].rgbRed, 100);
    EXPECT_EQ(table[100].rgbGreen, 155);
    EXPECT_EQ(table[100].rgbBlue, 0x80);
    EXPECT_EQ(PictureBytes(Image()), (Bytes{0, 1, 100, 255}));
}

// A palette the colour table cannot carry goes through the LUTs into 24
// bits; samples outside the table take its first or last entry, and a table
// shorter than its descriptor is read only as far as it goes.
TEST_F(ScanTest, LargePalettesAreShownInColourWithinTheirData) {
    const Bytes bytes = ImageBuilder().Grey(1, 4, 16, 16, false, "PALETTE COLOR")
                            .Us(0x1101, {0, 10, 16}).Us(0x1102, {0, 10, 16}).Us(0x1103, {0, 10, 16})
                            .Words(0x0028, 0x1201, "OW", {0x1000, 0x2000, 0x3000})
                            .Words(0x0028, 0x1202, "OW", {0x4000, 0x5000, 0x6000})
                            .Words(0x0028, 0x1203, "OW", {0x7000, 0x8000, 0x9000})
                            .Raw(0x7FE0, 0x0010, "OW", Le16({0, 10, 11, 60000}))
                            .Build();
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    ASSERT_EQ(Image().header->biBitCount, 24);
    EXPECT_EQ(PictureBytes(Image()), (Bytes{0x70, 0x40, 0x10, 0x70, 0x40, 0x10,  // below, first
                                            0x80, 0x50, 0x20, 0x90, 0x60, 0x30}));  // 11, beyond
}

// ---- the frame source ----

TEST_F(ScanTest, UncompressedFramesFollowEachOther) {
    const Bytes bytes = GreyFile(2, 4, 3);
    ASSERT_EQ(Build(bytes), kLoadOk);
    FrameSource* source = Source();
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->fetch, &FetchRawFrame);
    EXPECT_EQ(source->frameCount, 3);
    EXPECT_EQ(source->frameDelay, 250u);
    EXPECT_EQ(source->width, 4);
    EXPECT_EQ(source->height, 2);
    EXPECT_EQ(source->bitsPerPixel, 8);
    EXPECT_EQ(source->step, nullptr);
    const DWORD start = (DWORD)(bytes.size() - 3 * 16);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(source->Slots()[i].offset, start + 16u * i);
    EXPECT_NE(DicomSourceOf(source), nullptr);
}

TEST_F(ScanTest, BitsPerPixelByPhotometricAndSamples) {
    struct Case {
        const char* photometric;
        uint16_t samples;
        int bitsPerPixel;
    } cases[] = {
        {"MONOCHROME2", 1, 8}, {"MONOCHROME1", 1, 8}, {"RGB", 3, 24}, {"RGB", 1, 24},
        {"HSV", 3, 24}, {"CMYK", 4, 24}, {"ARGB", 4, 24}, {"YBR_FULL", 3, 24},
        {"PALETTE COLOR", 1, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.photometric) + " " + std::to_string(c.samples));
        ASSERT_EQ(Build(ImageBuilder().Grey(2, 2, 8, 8, false, c.photometric, 1, c.samples)
                            .Raw(0x7FE0, 0x0010, "OB", Bytes(4u * c.samples))
                            .Build()),
                  kLoadOk);
        EXPECT_EQ(Source()->bitsPerPixel, c.bitsPerPixel);
    }
}

TEST_F(ScanTest, TheAdjustmentTakesTheSampleFormatAndTheFileWindow) {
    struct Case {
        uint16_t bits, stored;
        bool isSigned;
        const char* slope;
        const char* intercept;
        int32_t maxValue, minValue;
        float slopeUsed, interceptUsed;
    } cases[] = {
        {16, 12, true, "1", "-1024", 2048, -2048, 1.0f, -1024.0f},
        {8, 8, false, "1", "0", 256, 0, 1.0f, 0.0f},
        {16, 16, false, "1", "0", 65536, 0, 1.0f, 0.0f},
        {16, 16, true, "1", "0", 32768, -32768, 1.0f, 0.0f},
        {32, 32, false, "1", "0", INT32_MAX, 0, 1.0f, 0.0f},
        {32, 32, true, "1", "0", INT32_MAX, INT32_MIN, 1.0f, 0.0f},
        {16, 12, false, "0", "0", 4096, 0, 1.0f, -1024.0f},  // slope 0, 12 bits: CT offset
        {16, 16, false, "0", "5", 65536, 0, 1.0f, 5.0f},     // any other slope 0: 1
        {16, 0, false, "1", "0", 65536, 0, 1.0f, 0.0f},      // no bits stored: all allocated
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bits) + "/" + std::to_string(c.stored) + " slope " + c.slope);
        InitAdjustment(&adjustment_);
        ASSERT_EQ(Build(ImageBuilder().Grey(1, 2, c.bits, c.stored, c.isSigned)
                            .Text(0x0028, 0x1050, "DS", "40.7")
                            .Text(0x0028, 0x1051, "DS", "400")
                            .Text(0x0028, 0x1052, "DS", c.intercept)
                            .Text(0x0028, 0x1053, "DS", c.slope)
                            .Raw(0x7FE0, 0x0010, "OW", Bytes(2u * c.bits / 8))
                            .Build()),
                  kLoadOk);
        EXPECT_EQ(adjustment_.bitsAllocated, c.bits);
        EXPECT_EQ(adjustment_.maxValue, c.maxValue);
        EXPECT_EQ(adjustment_.minValue, c.minValue);
        EXPECT_EQ(adjustment_.smallest, c.minValue);
        EXPECT_EQ(adjustment_.largest, c.maxValue);
        EXPECT_FLOAT_EQ(adjustment_.rescaleSlope, c.slopeUsed);
        EXPECT_FLOAT_EQ(adjustment_.rescaleIntercept, c.interceptUsed);
        EXPECT_EQ(adjustment_.fileCenter, 40);
        EXPECT_EQ(adjustment_.fileWidth, 400);
        EXPECT_EQ(adjustment_.center, 40);
        EXPECT_EQ(adjustment_.width, 400);
        EXPECT_EQ(adjustment_.bytesPerSample, c.bits == 8 ? 1u : c.bits == 16 ? 2u : 4u);
    }
    // A window chosen before (the album's) stays.
    InitAdjustment(&adjustment_);
    adjustment_.center = 100;
    adjustment_.width = 50;
    ASSERT_EQ(Build(ImageBuilder().Grey(1, 2, 16, 16)
                        .Text(0x0028, 0x1050, "DS", "40")
                        .Text(0x0028, 0x1051, "DS", "400")
                        .Raw(0x7FE0, 0x0010, "OW", Bytes(4))
                        .Build()),
              kLoadOk);
    EXPECT_EQ(adjustment_.center, 100);
    EXPECT_EQ(adjustment_.width, 50);
    EXPECT_EQ(adjustment_.low, 75);
}

// Encapsulated data (RLE here: no frame is decoded) with its basic offset
// table, or without one.
TEST_F(ScanTest, EncapsulatedFrameOffsets) {
    const Bytes f0(20, 1), f1(30, 2), f2(10, 3);
    auto table = [](std::initializer_list<uint32_t> offsets) {
        ByteWriter w;
        for (uint32_t o : offsets) w.u32(o);
        return w.data;
    };
    const Bytes jpegStart = {0xFF, 0xD8, 0, 0}, jpegRest = {0, 0, 0xFF, 0xD9};
    struct Case {
        const char* name;
        const char* syntax;
        int frames;
        Bytes data;  // the items behind the pixel data header
        LoadError result;
        int frameCount;
        std::vector<uint32_t> offsets;  // from the first item after the table
    } cases[] = {
        {"table", kRle, 3, Join({Item(table({0, 28, 66})), Item(f0), Item(f1), Item(f2)}),
         kLoadOk, 3, {0, 28, 66}},
        {"table of 9 for 10 frames", kRle, 10,
         Join({Item(table({0, 0, 0, 0, 0, 0, 0, 0, 0})), Item(f0)}), kLoadCorrupt, 0, {}},
        {"table pointing outside", kRle, 2, Join({Item(table({0, 4000})), Item(f0), Item(f1)}),
         kLoadCorrupt, 0, {}},
        {"table longer than the file", kRle, 2, {0xFE, 0xFF, 0x00, 0xE0, 0xF0, 0xFF, 0xFF, 0x0F},
         kLoadCorrupt, 0, {}},
        {"empty table, one fragment per frame", kRle, 3, Join({Item({}), Item(f0), Item(f1), Item(f2)}),
         kLoadOk, 3, {0, 28, 66}},
        {"empty table, JPEG frames over two fragments", kJpegBaseline, 2,
         Join({Item({}), Item(jpegStart), Item(jpegRest), Item(jpegStart), Item(jpegRest)}),
         kLoadOk, 2, {0, 24}},
        {"empty table, fragments that do not tell", kRle, 3,
         Join({Item({}), Item(f0), Item(f1), Item(f2), Item(f0)}), kLoadOk, 1, {0}},
        {"empty table, one frame", kRle, 1, Join({Item({}), Item(f0), Item(f1)}), kLoadOk, 1, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes bytes = ImageBuilder(c.syntax).Grey(2, 2, 8, 8, false, "MONOCHROME2", c.frames)
                                .Raw(0x7FE0, 0x0010, "OB", Join({c.data, SequenceDelimiter()}), true)
                                .Build();
        ASSERT_EQ(Build(bytes), c.result);
        if (c.result != kLoadOk) continue;
        const size_t itemsStart = bytes.size() - c.data.size() - 8;
        const size_t tableLength = bytes[itemsStart + 4] | bytes[itemsStart + 5] << 8;
        const DWORD first = (DWORD)(itemsStart + 8 + tableLength);
        ASSERT_EQ(Source()->frameCount, c.frameCount);
        for (int i = 0; i < c.frameCount; ++i) {
            EXPECT_EQ(Source()->Slots()[i].offset, first + c.offsets[i]) << i;
        }
    }
    // No item behind the header: the offsets stay 0 (the frame then fails).
    ASSERT_EQ(Build(ImageBuilder(kRle).Grey(2, 2, 8, 8)
                        .Raw(0x7FE0, 0x0010, "OB", Join({Bytes(8, 0x55), SequenceDelimiter()}), true)
                        .Build()),
              kLoadOk);
    EXPECT_EQ(Source()->Slots()[0].offset, 0u);
}

TEST_F(ScanTest, FramesTheFileDoesNotHoldAreDropped) {
    Bytes bytes = GreyFile(2, 4, 5);
    bytes.resize(bytes.size() - 2 * 16 - 5);  // two whole frames and a bit remain
    ASSERT_EQ(Build(bytes), kLoadOk);
    EXPECT_EQ(Source()->frameCount, 2);
}

// ---- the load ----

TEST_F(HandlerTest, LoadResults) {
    struct Case {
        const char* name;
        Bytes bytes;
        LoadError result;
    } cases[] = {
        {"shorter than a preamble", Bytes(100, 0), kLoadNoHandler},
        {"no pixel data", ImageBuilder().Grey(2, 2, 8, 8).Build(), kLoadCorrupt},
        {"unknown transfer syntax",
         ImageBuilder("1.2.840.10008.1.2.4.90").Grey(2, 2, 8, 8)
             .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(Bytes(8)), SequenceDelimiter()}), true)
             .Build(),
         kLoadCorrupt},
        {"uncompressed of undefined length",
         ImageBuilder().Grey(2, 2, 8, 8)
             .Raw(0x7FE0, 0x0010, "OB", Join({Item(Bytes(4)), SequenceDelimiter()}), true)
             .Build(),
         kLoadCorrupt},
        {"no frames", ImageBuilder().Grey(2, 2, 8, 8, false, "MONOCHROME2", 0)
                          .Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(), kLoadCorrupt},
        {"negative frames", ImageBuilder().Grey(2, 2, 8, 8, false, "MONOCHROME2", -3)
                                .Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(), kLoadCorrupt},
        {"24 bits allocated", ImageBuilder().Grey(2, 2, 24, 24)
                                  .Raw(0x7FE0, 0x0010, "OB", Bytes(12)).Build(), kLoadCorrupt},
        {"no bits allocated", ImageBuilder().Grey(2, 2, 0, 0)
                                  .Raw(0x7FE0, 0x0010, "OB", Bytes(12)).Build(), kLoadCorrupt},
        {"no samples", ImageBuilder().Grey(2, 2, 8, 8, false, "MONOCHROME2", 1, 0)
                           .Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(), kLoadCorrupt},
        {"five samples", ImageBuilder().Grey(2, 2, 8, 8, false, "RGB", 1, 5)
                             .Raw(0x7FE0, 0x0010, "OB", Bytes(20)).Build(), kLoadCorrupt},
        {"no rows", ImageBuilder().Grey(0, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(),
         kLoadCorrupt},
        {"colour bits", ImageBuilder().Grey(2, 2, 1, 1, false, "RGB", 1, 3)
                            .Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(), kLoadCorrupt},
        // A header claiming a picture of 8 GB over 4 bytes of data: refused
        // before anything of that size is allocated.
        {"huge picture", ImageBuilder().Grey(65535, 65535, 16, 16)
                             .Raw(0x7FE0, 0x0010, "OW", Bytes(4)).Build(), kLoadCorrupt},
        {"huge frame count", ImageBuilder().Grey(2, 2, 8, 8, false, "MONOCHROME2", 2000000000)
                                 .Raw(0x7FE0, 0x0010, "OB", Bytes(4)).Build(), kLoadCorrupt},
        {"fine", GreyFile(3, 5), kLoadOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(LoadBytes(c.bytes), c.result);
        if (c.result != kLoadOk) {
            EXPECT_EQ(Image().header, nullptr);
        }
    }
    // pydicom's JPEG 2000 file.
    EXPECT_EQ(LoadHost(PydicomTestFile("JPEG2000.dcm")), kLoadCorrupt);
}

TEST_F(HandlerTest, TheImageLibraryLoadsDicomFiles) {
    EXPECT_TRUE(LoadThroughLibrary(Put(GreyFile(3, 5, 2))));
    EXPECT_EQ(file_image_.bitsPerPixel, 8);
    EXPECT_TRUE(IsMultiFrame(file_image_.image.frameSource));
    EXPECT_EQ(adjustment_.applied, 1);
    EXPECT_FALSE(LoadThroughLibrary(Put(Bytes(50, 0), "short.dcm")));
    EXPECT_EQ(file_image_.lastError, kLoadNoHandler);
    EXPECT_FALSE(LoadThroughLibrary(platform::HostToDevicePath(PydicomTestFile("JPEG2000.dcm"))));
    EXPECT_EQ(file_image_.lastError, kLoadCorrupt);
    EXPECT_EQ(file_image_.image.header, nullptr);
}

int gTraces = 0;

TEST_F(HandlerTest, AnAbortDuringTheScanGivesFifteen) {
    gTraces = 0;
    SetDicomLogSink(
        [](int severity, const char*, void*) {
            if (severity == 7 && ++gTraces == 12) SetAbortFlag();
        },
        nullptr);
    const LoadError result = LoadBytes(GreyFile(8, 8));
    SetDicomLogSink(nullptr, nullptr);
    EXPECT_EQ(result, kLoadAborted);
    EXPECT_EQ(Image().header, nullptr);
    ClearAbortFlag();
}

TEST_F(HandlerTest, NoMemoryForTheImageGivesOne) {
    RegisterAllocationHooks(nullptr, 0, nullptr,
                            [](HDC, const BITMAPINFO*, void**) -> HBITMAP { return nullptr; },
                            nullptr);
    const LoadError result = LoadBytes(GreyFile(3, 5));
    RegisterAllocationHooks(nullptr, 0, nullptr, nullptr, nullptr);
    EXPECT_EQ(result, kLoadOutOfMemory);
}

// ---- hostile files: every outcome is a result code ----

TEST_F(HandlerTest, TruncatedFilesFailCleanly) {
    std::vector<Bytes> files = {
        GreyFile(3, 5, 3),
        ReadHostFile(PydicomTestFile("CT_small.dcm")),
        ImageBuilder(kRle).Grey(2, 2, 8, 8, false, "MONOCHROME2", 2)
            .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(Bytes(70)), Item(Bytes(70)),
                                             SequenceDelimiter()}), true)
            .Build(),
    };
    for (const Bytes& whole : files) {
        const size_t step = std::max<size_t>(1, whole.size() / 150);
        for (size_t length = 0; length < whole.size(); length += step) {
            const LoadError result = LoadBytes(Bytes(whole.begin(), whole.begin() + length));
            EXPECT_TRUE(result == kLoadOk || result == kLoadCorrupt || result == kLoadNoHandler)
                << length << ": " << result;
        }
    }
}

TEST_F(HandlerTest, DamagedHeaderBytesFailCleanly) {
    const Bytes whole = ImageBuilder().Grey(3, 5, 16, 12, true, "PALETTE COLOR", 2)
                            .Us(0x1101, {0, 0, 16})
                            .Words(0x0028, 0x1201, "OW", {1, 2, 3, 4})
                            .Text(0x0028, 0x1050, "DS", "40")
                            .Raw(0x7FE0, 0x0010, "OW", Bytes(60, 0x7F))
                            .Build();
    const size_t header = whole.size() - 60;
    for (size_t i = 132; i < header; ++i) {
        for (uint8_t value : {0x00, 0xFF}) {
            Bytes bytes = whole;
            bytes[i] = value;
            const LoadError result = LoadBytes(bytes);
            EXPECT_TRUE(result == kLoadOk || result == kLoadCorrupt) << i << ": " << result;
        }
    }
}

}  // namespace
