// The JPEG adapter: files written by cjpeg and ImageMagick decode exactly as
// djpeg decodes them with the same settings (fast integer DCT, no fancy
// upsampling); CMYK in both storage conventions; format text; truncated,
// empty and corrupt files; abort; reduced loading; and the writer.
#include <cstdio>
#include <random>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "codec_test_util.h"
#include "jpeg_codec.h"

namespace {

// A JPEG written by libjpeg itself: `samples` holds `components` bytes per
// pixel, top row first; no chroma subsampling.
Bytes EncodeJpeg(int width, int height, int components, J_COLOR_SPACE space, const std::vector<uint8_t>& samples,
                 bool adobeMarker, int quality = 100, bool progressive = false) {
    jpeg_compress_struct c;
    jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = space;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, space);
    for (int i = 0; i < c.num_components; ++i) {
        c.comp_info[i].h_samp_factor = 1;
        c.comp_info[i].v_samp_factor = 1;
    }
    c.write_Adobe_marker = adobeMarker;
    jpeg_set_quality(&c, quality, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < height; ++y) {
        JSAMPROW row = const_cast<JSAMPLE*>(samples.data()) + static_cast<size_t>(y) * width * components;
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    jpeg_destroy_compress(&c);
    return bytes;
}

Bytes UniformCmyk(int c, int m, int y, int k, bool adobe) {
    std::vector<uint8_t> samples;
    for (int i = 0; i < 16 * 16; ++i) samples.insert(samples.end(), {uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k)});
    return EncodeJpeg(16, 16, 4, JCS_CMYK, samples, adobe);
}

Bytes NoiseJpeg(int width, int height, unsigned seed, bool progressive = false) {
    std::vector<uint8_t> samples;
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            samples.push_back(static_cast<uint8_t>(x * 255 / width));
            samples.push_back(static_cast<uint8_t>(y * 255 / height));
            samples.push_back(static_cast<uint8_t>(random() & 0x3F));
        }
    }
    return EncodeJpeg(width, height, 3, JCS_RGB, samples, false, 80, progressive);
}

struct Fixture {
    const char* name;
    int bitsPerPixel;
    const char* formatText;
};

const Fixture kFixtures[] = {
    {"baseline", 24, "Ver.1.01"},
    {"progressive", 24, "Ver.1.01 - progressive"},
    {"grey", 8, "Ver.1.01"},
    {"grey_progressive", 8, "Ver.1.01 - progressive"},
    {"444", 24, "Ver.1.01"},
    {"422", 24, "Ver.1.01"},
    {"restart", 24, "Ver.1.01"},
    {"rgb", 24, "Ver.1.01"},
    {"arithmetic", 24, "Ver.1.01"},
    {"imagemagick", 24, "Ver.1.01"},
};

class JpegTest : public CodecTest {};

TEST_F(JpegTest, FilesDecodeExactlyAsDjpegWithTheSameSettings) {
    for (const char* picture : {"small", "large"}) {
        for (const Fixture& f : kFixtures) {
            std::string name = std::string("jpeg_") + picture + "_" + f.name + ".jpg";
            SCOPED_TRACE(name);
            std::string reference = ReadHostFile(CodecFixture(name) + ".rgb");
            ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
            ImageFile file;
            ASSERT_TRUE(LoadHost(&file, CodecFixture(name))) << file.lastError;
            ASSERT_EQ(file.image.header->biBitCount, f.bitsPerPixel);
            EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), f.formatText);
            EXPECT_FALSE(file.image.truncated) << "a whole file passed for a cut one";
            EXPECT_EQ(CompareWithReference(file.image, reference, 0), 0);
            if (f.bitsPerPixel == 8) {
                // The identity grey table.
                const RGBQUAD* table = ColourTable(file.image.header);
                for (int i = 0; i < 256; ++i) {
                    ASSERT_TRUE(table[i].rgbRed == i && table[i].rgbGreen == i && table[i].rgbBlue == i) << i;
                }
            }
            file.Unload();
        }
    }
}

TEST_F(JpegTest, ImageMagicksCmykFilesShowTheirColours) {
    // ImageMagick writes inverted CMYK behind Adobe's segment; its own
    // decoding (accurate DCT, fancy upsampling) differs from ours only by
    // rounding.
    for (const char* name : {"jpeg_small_cmyk.jpg", "jpeg_large_cmyk.jpg"}) {
        SCOPED_TRACE(name);
        ImageFile file;
        ASSERT_TRUE(LoadHost(&file, CodecFixture(name))) << file.lastError;
        ASSERT_EQ(file.image.header->biBitCount, 24);
        EXPECT_LE(CompareWithReference(file.image, ReadHostFile(CodecFixture(name) + ".rgb"), 12), 12);
        file.Unload();
    }
}

TEST_F(JpegTest, CmykIsConvertedAsItIsStored) {
    struct Case {
        int c, m, y, k;
        bool adobe;
        int red, green, blue;
    };
    const Case cases[] = {
        // Adobe's inverted storage: 255 is no ink. All 255 stays white.
        {255, 255, 255, 255, true, 255, 255, 255},
        {0, 0, 0, 0, true, 0, 0, 0},
        {128, 64, 200, 100, true, 128 * 100 / 255, 64 * 100 / 255, 200 * 100 / 255},
        {200, 200, 200, 30, true, 200 * 30 / 255, 200 * 30 / 255, 200 * 30 / 255},
        // Plain CMYK: 0 is no ink.
        {0, 0, 0, 0, false, 255, 255, 255},
        {255, 255, 255, 255, false, 0, 0, 0},
        {128, 64, 200, 100, false, 127 * 155 / 255, 191 * 155 / 255, 55 * 155 / 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.c << "," << c.m << "," << c.y << "," << c.k << (c.adobe ? " adobe" : ""));
        ImageFile file;
        ASSERT_TRUE(LoadBytes(&file, "cmyk.jpg", UniformCmyk(c.c, c.m, c.y, c.k, c.adobe))) << file.lastError;
        ASSERT_EQ(file.image.header->biBitCount, 24);
        Bgr p = PixelAt(file.image, 7, 9);
        EXPECT_NEAR(p.r, c.red, 2);
        EXPECT_NEAR(p.g, c.green, 2);
        EXPECT_NEAR(p.b, c.blue, 2);
        file.Unload();
    }
}

TEST_F(JpegTest, Jfif102ProgressiveFormatText) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("jpeg_jfif102.jpg"))) << file.lastError;
    EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), "Ver.1.02 - progressive");
    file.Unload();
}

TEST_F(JpegTest, PicturesCutShortAreMarkedTruncated) {
    // Whatever of the picture arrived is kept, but the image record says the
    // file ended early, so that nothing shows it as a whole picture.
    const Bytes baseline = NoiseJpeg(64, 48, 3);
    const Bytes progressive = NoiseJpeg(64, 48, 3, true);
    auto scanStart = [](const Bytes& b) {
        for (size_t i = 0; i + 1 < b.size(); ++i) {
            if (b[i] == 0xFF && b[i + 1] == 0xDA) return i;
        }
        return size_t(0);
    };
    ASSERT_NE(scanStart(baseline), 0u);
    auto cut = [](const Bytes& b, size_t size) { return Bytes(b.begin(), b.begin() + static_cast<ptrdiff_t>(size)); };
    struct Case {
        const char* name;
        Bytes bytes;
        bool truncated;
    };
    const Case cases[] = {
        {"whole baseline", baseline, false},
        {"whole progressive", progressive, false},
        {"baseline cut in the middle of the scan", cut(baseline, (scanStart(baseline) + baseline.size()) / 2), true},
        {"baseline cut just after the scan header", cut(baseline, scanStart(baseline) + 20), true},
        {"baseline cut a few bytes before its end", cut(baseline, baseline.size() - 40), true},
        {"progressive cut in the middle", cut(progressive, progressive.size() / 2), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ImageFile file;
        ASSERT_TRUE(LoadBytes(&file, "cut.jpg", c.bytes)) << file.lastError;
        EXPECT_EQ(file.image.header->biWidth, 64);
        EXPECT_EQ(file.image.truncated, c.truncated);
        file.Unload();
    }
    ImageFile fixture;
    ASSERT_TRUE(LoadHost(&fixture, CodecFixture("jpeg_truncated.jpg"))) << fixture.lastError;
    EXPECT_TRUE(fixture.image.truncated);
    // Its thumbnail keeps the mark.
    RImage icon;
    ASSERT_TRUE(fixture.MakeThumbnail(20, 20, &icon));
    EXPECT_TRUE(icon.truncated);
    ReleaseImage(&icon);
    fixture.Unload();
    EXPECT_FALSE(fixture.image.truncated) << "unloading must clear the mark";
}

TEST_F(JpegTest, TruncatedEmptyAndCorruptFiles) {
    // Cut after the first scan: the inserted end-of-image marker completes it.
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("jpeg_truncated.jpg"))) << file.lastError;
    EXPECT_EQ(file.image.header->biWidth, 301);
    EXPECT_EQ(file.image.header->biHeight, 157);
    file.Unload();

    const Bytes good = ReadHostBytes(CodecFixture("jpeg_small_baseline.jpg"));
    ASSERT_FALSE(good.empty());
    EXPECT_EQ(LoadResult("empty.jpg", {}), kLoadCorrupt);
    EXPECT_EQ(LoadResult("soi_eoi.jpg", {0xFF, 0xD8, 0xFF, 0xD9}), kLoadCorrupt);
    EXPECT_EQ(LoadResult("text.jpg", Bytes{'h', 'e', 'l', 'l', 'o'}), kLoadCorrupt);
    // Cut just after the start of the scan: the header is complete.
    size_t scan = 0;
    for (size_t i = 0; i + 1 < good.size() && !scan; ++i) scan = good[i] == 0xFF && good[i + 1] == 0xDA ? i : 0;
    ASSERT_NE(scan, 0u);
    EXPECT_EQ(LoadResult("header_only.jpg", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(scan) + 20)),
              kLoadOk);
    EXPECT_EQ(LoadResult("tables_only.jpg", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(scan))),
              kLoadCorrupt);
    // Baseline cut anywhere: success or 8, never a crash.
    for (size_t cut = 2; cut < good.size(); cut += 37) {
        LoadError r = LoadResult("cut.jpg", Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)));
        EXPECT_TRUE(r == kLoadOk || r == kLoadCorrupt) << cut << ": " << r;
    }
    // Random damage.
    std::mt19937 random(5);
    for (int round = 0; round < 80; ++round) {
        Bytes bad = good;
        for (int i = 0; i < 4; ++i) bad[2 + random() % (bad.size() - 2)] = static_cast<uint8_t>(random());
        LoadError r = LoadResult("bad.jpg", bad);
        EXPECT_TRUE(r == kLoadOk || r == kLoadCorrupt) << round << ": " << r;
    }
}

TEST_F(JpegTest, AbortDuringDecodingReturns15AndResetsTheImage) {
    for (bool progressive : {false, true}) {
        ImageFile file;
        file.InitImageFile();
        {
            AbortOnImageCreation abort;
            EXPECT_FALSE(LoadBytes(&file, "abort.jpg", NoiseJpeg(64, 48, 1, progressive)));
        }
        EXPECT_EQ(file.lastError, kLoadAborted);
        EXPECT_EQ(file.image.header, nullptr);
        EXPECT_EQ(file.image.pixels, nullptr);
        EXPECT_EQ(file.image.bitmap, nullptr);
        EXPECT_TRUE(LoadBytes(&file, "after.jpg", NoiseJpeg(64, 48, 1, progressive)));
        file.Unload();
    }
}

TEST_F(JpegTest, ReducedLoadingDecimatesWhileDecoding) {
    const Bytes bytes = NoiseJpeg(1200, 900, 3);
    ImageFile full;
    ASSERT_TRUE(LoadBytes(&full, "big.jpg", bytes));
    ImageFile reduced;
    ASSERT_TRUE(LoadBytes(&reduced, "big.jpg", bytes, kLoadFlagReduced));
    int w = 0, h = 0;
    ReducedTarget(1200, 900, 2, &w, &h);
    EXPECT_EQ(reduced.image.header->biWidth, w);
    EXPECT_EQ(reduced.image.header->biHeight, h);
    EXPECT_EQ(reduced.image.header->biBitCount, 24);
    // The corners come from the corners of the full picture (the top row
    // from one of the first source rows that map onto it).
    bool topLeft = false;
    for (int k = 0; k < 3; ++k) topLeft = topLeft || PixelAt(reduced.image, 0, 0) == PixelAt(full.image, 0, k);
    EXPECT_TRUE(topLeft);
    EXPECT_TRUE(PixelAt(reduced.image, w - 1, h - 1) == PixelAt(full.image, 1199, 899));
    full.Unload();
    reduced.Unload();
}

class JpegSaveTest : public CodecTest {
protected:
    // Saves through the handler interface and loads the result back.
    void SaveAndLoad(const RImage& image, int quality, ImageFile* loaded, LoadError expected = kLoadOk) {
        std::u16string path = u"\\saved.jpg";
        HANDLE out = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        EXPECT_EQ(SaveJpeg(out, image, quality), expected);
        CloseHandle(out);
        if (expected == kLoadOk) {
            ASSERT_TRUE(Load(loaded, path)) << loaded->lastError;
        }
    }
};

TEST_F(JpegSaveTest, TrueColourRoundTrip) {
    ImageFile source;
    ASSERT_TRUE(LoadHost(&source, CodecFixture("jpeg_large_444.jpg")));
    ImageFile saved;
    SaveAndLoad(source.image, 95, &saved);
    EXPECT_EQ(platform::Utf16ToUtf8(saved.image.formatText), "Ver.1.01 - progressive");
    ASSERT_EQ(saved.image.header->biWidth, 301);
    ASSERT_EQ(saved.image.header->biHeight, 157);
    long total = 0;
    for (int y = 0; y < 157; ++y) {
        for (int x = 0; x < 301; ++x) {
            Bgr a = PixelAt(source.image, x, y);
            Bgr b = PixelAt(saved.image, x, y);
            total += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    }
    EXPECT_LT(total / (301.0 * 157 * 3), 3.0);
    source.Unload();
    saved.Unload();
}

TEST_F(JpegSaveTest, IndexedAndSixteenBitRowsAreExpanded) {
    struct Case {
        int bitsPerPixel;
        int fill;   // every pixel's index or word
        Bgr expected;
    };
    const Case cases[] = {
        {1, 1, {30, 20, 10}},
        {4, 5, {130, 120, 110}},
        {8, 200, {10, 20, 200}},
        // 16 bits: the fields at bits 10-14, 5-9 and 0-4 go to blue, green
        // and red without widening.
        {16, 0x7C00, {31, 0, 0}},
        {16, 0x001F, {0, 0, 31}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitsPerPixel);
        RGBQUAD table[256] = {};
        table[1] = {30, 20, 10, 0};
        table[5] = {130, 120, 110, 0};
        table[200] = {10, 20, 200, 0};
        RImage image;
        ASSERT_TRUE(CreateImage(nullptr, &image, c.bitsPerPixel, 24, 16, table, 256));
        const int stride = RowStride(image);
        for (int y = 0; y < 16; ++y) {
            BYTE* row = RowAddress(image, y);
            for (int x = 0; x < 24; ++x) {
                switch (c.bitsPerPixel) {
                    case 1: row[x / 8] |= static_cast<BYTE>(c.fill << (7 - x % 8)); break;
                    case 4: row[x / 2] |= static_cast<BYTE>(c.fill << (x % 2 ? 0 : 4)); break;
                    case 8: row[x] = static_cast<BYTE>(c.fill); break;
                    case 16: row[2 * x] = static_cast<BYTE>(c.fill); row[2 * x + 1] = static_cast<BYTE>(c.fill >> 8); break;
                }
            }
            (void)stride;
        }
        ImageFile saved;
        SaveAndLoad(image, 100, &saved);
        Bgr p = PixelAt(saved.image, 11, 7);
        EXPECT_NEAR(p.r, c.expected.r, 3);
        EXPECT_NEAR(p.g, c.expected.g, 3);
        EXPECT_NEAR(p.b, c.expected.b, 3);
        saved.Unload();
        ReleaseImage(&image);
    }
}

TEST_F(JpegSaveTest, FailuresGiveTheirCodes) {
    RImage empty;
    EXPECT_EQ(SaveJpeg(nullptr, empty, 75), kLoadSaveUnsupported);
    RImage image;
    ASSERT_TRUE(CreateImage(nullptr, &image, 24, 8, 8, nullptr, 0));
    // A handle that cannot be written: the library's write error.
    Put("readonly.jpg", {1});
    HANDLE in = CreateFileW(u"\\readonly.jpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveJpeg(in, image, 75), kLoadCorrupt);
    CloseHandle(in);
    // Through the handler slot, at the default quality.
    HANDLE out = CreateFileW(u"\\slot.jpg", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    JpegHandler handler;
    EXPECT_EQ(handler.Save(out, image), kLoadOk);
    CloseHandle(out);
    ReleaseImage(&image);
}

}  // namespace
