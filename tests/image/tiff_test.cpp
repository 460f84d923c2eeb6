// The TIFF adapter: files written by ImageMagick and libtiff's tools against
// ImageMagick's decoding, every photometric case, colour maps of both
// widths, the resolution stretch, multi-page files through the page loader,
// the error codes, libtiff's messages kept off the standard error stream,
// and the page-replacing writer.
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "codec_test_util.h"
#include "tiff_codec.h"

namespace {

// A TIFF written by libtiff: `rows` holds the rows (each ceil(bits * spp *
// width / 8) bytes), top row first, in one strip per row.
void WriteTiff(const std::string& hostPath, uint32_t width, uint32_t height, uint16_t bits, uint16_t samples,
               uint16_t photometric, const Bytes& rows, const std::function<void(TIFF*)>& extra = {}) {
    TIFF* tiff = TIFFOpen(hostPath.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 1);
    if (extra) extra(tiff);
    const size_t rowBytes = (static_cast<size_t>(bits) * samples * width + 7) / 8;
    for (uint32_t y = 0; y < height; ++y) {
        TIFFWriteScanline(tiff, const_cast<uint8_t*>(rows.data()) + y * rowBytes, y, 0);
    }
    TIFFClose(tiff);
}

class TiffTest : public CodecTest {};

struct Fixture {
    const char* name;
    int bitsPerPixel;
    int tolerance;
};

const Fixture kFixtures[] = {
    {"rgb", 24, 0},      {"rgb_zip", 24, 0},   {"rgb_packbits", 24, 0}, {"grey", 8, 0},
    {"miniswhite", 8, 0}, {"palette8", 8, 0},  {"palette4", 4, 0},      {"bilevel", 8, 0},
    {"g4", 1, 0},        {"separate", 24, 0},  {"tiled", 24, 0},        {"strips5", 24, 0},
    // JPEG-compressed YCbCr: libtiff's conversion against ImageMagick's.
    {"ycbcr_jpeg", 24, 3},
};

TEST_F(TiffTest, FilesDecodeAsImageMagickDecodesThem) {
    for (const char* picture : {"small", "large"}) {
        for (const Fixture& f : kFixtures) {
            std::string name = std::string("tiff_") + picture + "_" + f.name + ".tif";
            SCOPED_TRACE(name);
            std::string reference = ReadHostFile(CodecFixture(name) + ".rgb");
            ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
            ImageFile file;
            ASSERT_TRUE(LoadHost(&file, CodecFixture(name))) << file.lastError;
            EXPECT_EQ(file.image.header->biBitCount, f.bitsPerPixel);
            EXPECT_LE(CompareWithReference(file.image, reference, f.tolerance), f.tolerance);
            EXPECT_EQ(file.image.pageCount, 1u);
            EXPECT_EQ(file.image.pageLoader, nullptr);
            file.Unload();
        }
    }
}

TEST_F(TiffTest, CmykIsPlainInk) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_cmyk.tif"))) << file.lastError;
    EXPECT_EQ(file.image.header->biBitCount, 24);
    EXPECT_LE(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_cmyk.tif") + ".rgb"), 1), 1);
    file.Unload();

    // Mid-tones: red = (255 - C) (255 - K) / 255.
    std::string path = Host("cmyk.tif");
    WriteTiff(path, 2, 1, 8, 4, PHOTOMETRIC_SEPARATED, Bytes{128, 64, 200, 100, 0, 0, 0, 255});
    ASSERT_TRUE(Load(&file, u"\\cmyk.tif")) << file.lastError;
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{(55 * 155 + 127) / 255, (191 * 155 + 127) / 255,
                                                  (127 * 155 + 127) / 255}));
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{0, 0, 0}));
    file.Unload();
}

TEST_F(TiffTest, WhiteIsZeroIsInvertedWithTheIdentityTable) {
    WriteTiff(Host("w.tif"), 3, 1, 8, 1, PHOTOMETRIC_MINISWHITE, Bytes{0, 100, 255});
    ImageFile file;
    ASSERT_TRUE(Load(&file, u"\\w.tif"));
    ASSERT_EQ(file.image.header->biBitCount, 8);
    EXPECT_EQ(IndexAt(file.image, 0, 0), 255);
    EXPECT_EQ(IndexAt(file.image, 1, 0), 155);
    EXPECT_EQ(IndexAt(file.image, 2, 0), 0);
    const RGBQUAD* table = ColourTable(file.image.header);
    for (int i = 0; i < 256; ++i) ASSERT_TRUE(table[i].rgbRed == i && table[i].rgbGreen == i && table[i].rgbBlue == i);
    file.Unload();
}

TEST_F(TiffTest, GreyTablesSpreadOverTheRange) {
    // 4 bits: entry i = i x (255 / 15).
    WriteTiff(Host("g4.tif"), 2, 1, 4, 1, PHOTOMETRIC_MINISBLACK, Bytes{0x3F});
    ImageFile file;
    ASSERT_TRUE(Load(&file, u"\\g4.tif"));
    ASSERT_EQ(file.image.header->biBitCount, 4);
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{51, 51, 51}));
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{255, 255, 255}));
    file.Unload();
}

TEST_F(TiffTest, ColourMapsOfBothWidths) {
    auto withMap = [](uint16_t r, uint16_t g, uint16_t b) {
        return [=](TIFF* tiff) {
            static uint16_t red[256], green[256], blue[256];
            std::fill(red, red + 256, 0);
            std::fill(green, green + 256, 0);
            std::fill(blue, blue + 256, 0);
            red[1] = r;
            green[1] = g;
            blue[1] = b;
            TIFFSetField(tiff, TIFFTAG_COLORMAP, red, green, blue);
        };
    };
    ImageFile file;
    // 16-bit values are scaled to 0..255.
    WriteTiff(Host("wide.tif"), 2, 1, 8, 1, PHOTOMETRIC_PALETTE, Bytes{1, 0}, withMap(65535, 32768, 257));
    ASSERT_TRUE(Load(&file, u"\\wide.tif")) << file.lastError;
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{1, 127, 255}));
    file.Unload();
    // A map without any value above 255 holds bytes.
    WriteTiff(Host("narrow.tif"), 2, 1, 8, 1, PHOTOMETRIC_PALETTE, Bytes{1, 0}, withMap(200, 100, 50));
    ASSERT_TRUE(Load(&file, u"\\narrow.tif")) << file.lastError;
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{50, 100, 200}));
    file.Unload();
}

TEST_F(TiffTest, WiderPixelsStretchThePictureVertically) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_resolution.tif"))) << file.lastError;
    const RImage& image = file.image;
    ASSERT_EQ(image.header->biWidth, 37);
    ASSERT_EQ(image.header->biHeight, 46);
    EXPECT_EQ(image.header->biXPelsPerMeter, 200);
    EXPECT_EQ(image.header->biYPelsPerMeter, 100);
    const std::string reference = ReadHostFile(CodecFixture("tiff_resolution.tif") + ".rgb");
    ASSERT_EQ(reference.size(), 37u * 23 * 3);
    for (int y = 0; y < 46; ++y) {
        for (int x = 0; x < 37; ++x) {
            const auto* p = reinterpret_cast<const uint8_t*>(reference.data()) + ((y / 2) * 37 + x) * 3;
            ASSERT_TRUE(PixelAt(image, x, y) == (Bgr{p[2], p[1], p[0]})) << x << "," << y;
        }
    }
    file.Unload();
}

TEST_F(TiffTest, OddWidthRowsArePadded) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_grey101.tif"))) << file.lastError;
    EXPECT_EQ(file.image.header->biBitCount, 8);
    EXPECT_EQ(RowStride(file.image), 104);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_grey101.tif") + ".rgb"), 0), 0);
    file.Unload();
}

TEST_F(TiffTest, SixteenBitGreyKeepsItsSamples) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_grey16.tif"))) << file.lastError;
    ASSERT_EQ(file.image.header->biBitCount, 16);
    const std::string reference = ReadHostFile(CodecFixture("tiff_grey16.tif") + ".rgb");
    for (int y = 0; y < 23; ++y) {
        const BYTE* row = RowAddress(file.image, 22 - y);
        for (int x = 0; x < 37; ++x) {
            int word = row[2 * x] | (row[2 * x + 1] << 8);
            EXPECT_NEAR((word + 128) / 257, static_cast<uint8_t>(reference[(y * 37 + x) * 3]), 1);
        }
    }
    file.Unload();
}

TEST_F(TiffTest, PagesLoadThroughThePageLoader) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_pages.tif"))) << file.lastError;
    EXPECT_EQ(file.image.pageCount, 3u);
    ASSERT_NE(file.image.pageLoader, nullptr);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_pages.tif.0.rgb")), 0), 0);
    ASSERT_EQ(file.LoadPage(1), kLoadOk);
    EXPECT_EQ(file.image.header->biWidth, 50);
    EXPECT_EQ(file.image.header->biHeight, 40);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_pages.tif.1.rgb")), 0), 0);
    ASSERT_EQ(file.LoadPage(2), kLoadOk);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_pages.tif.2.rgb")), 0), 0);
    EXPECT_EQ(file.LoadPage(3), kLoadIndexOutOfRange);
    // The page loader itself checks the index too.
    HANDLE in = CreateFileW(platform::HostToDevicePath(CodecFixture("tiff_pages.tif")).c_str(), GENERIC_READ,
                            FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TiffPageLoader(in, &file.image, 3), kLoadIndexOutOfRange);
    EXPECT_EQ(TiffPageLoader(in, &file.image, -1), kLoadIndexOutOfRange);
    EXPECT_EQ(TiffPageLoader(in, &file.image, 0), kLoadOk);
    EXPECT_EQ(file.image.header->biWidth, 37);
    CloseHandle(in);
    file.Unload();
    // A single page has no page loader: page 1 is out of range.
    ASSERT_TRUE(LoadHost(&file, CodecFixture("tiff_small_rgb.tif")));
    EXPECT_EQ(file.LoadPage(1), kLoadIndexOutOfRange);
    file.Unload();
}

TEST_F(TiffTest, RefusedFilesGiveTheirCodes) {
    struct Case {
        const char* name;
        LoadError result;
    };
    const Case cases[] = {
        {"tiff_small_lzw.tif", kLoadLzwTiff},
        {"tiff_large_lzw.tif", kLoadLzwTiff},
        {"tiff_mask.tif", kLoadUnsupportedCompression},
        {"tiff_logl.tif", kLoadUnsupportedCompression},
    };
    for (const Case& c : cases) {
        ImageFile file;
        EXPECT_FALSE(LoadHost(&file, CodecFixture(c.name)));
        EXPECT_EQ(file.lastError, c.result) << c.name;
        EXPECT_EQ(file.image.header, nullptr);
    }
    EXPECT_EQ(platform::Utf16ToUtf8(LoadErrorMessage(kLoadLzwTiff)),
              "LZW compression no supported due to Unisys patent enforcement.");
    EXPECT_EQ(LoadResult("empty.tif", {}), kLoadCorrupt);
    EXPECT_EQ(LoadResult("text.tif", Bytes{'I', 'I', 42, 0, 'x', 'y'}), kLoadCorrupt);
    // 16 bits per sample of colour: 48 bits per pixel.
    Bytes rows(2 * 6, 0);
    WriteTiff(Host("deep.tif"), 2, 1, 16, 3, PHOTOMETRIC_RGB, rows);
    ImageFile file;
    EXPECT_FALSE(Load(&file, u"\\deep.tif"));
    EXPECT_EQ(file.lastError, kLoadUnsupportedVersion);
}

TEST_F(TiffTest, DamagedFilesFailQuietly) {
    // libtiff complains about these; nothing may reach the standard error
    // stream (the command-line tool prints it to the user).
    const Bytes whole = ReadHostBytes(CodecFixture("tiff_large_rgb_zip.tif"));
    ASSERT_FALSE(whole.empty());
    std::string captured = Host("stderr.txt");
    std::fflush(stderr);
    int saved = dup(2);
    int fd = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, 2);
    std::vector<LoadError> results;
    for (size_t cut : {size_t(8), size_t(200), whole.size() / 3, whole.size() - 100}) {
        results.push_back(LoadResult("cut.tif", Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut))));
    }
    Bytes damaged = whole;
    for (size_t i = 200; i < damaged.size(); i += 97) damaged[i] ^= 0x5A;
    results.push_back(LoadResult("damaged.tif", damaged));
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(fd);
    EXPECT_EQ(ReadHostFile(captured), "");
    for (LoadError r : results) EXPECT_TRUE(r == kLoadOk || r == kLoadCorrupt) << r;
}

class TiffSaveTest : public TiffTest {
protected:
    HANDLE OpenFixture(const char* name) {
        return CreateFileW(platform::HostToDevicePath(CodecFixture(name)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
};

TEST_F(TiffSaveTest, ReplacesOnePageAndCopiesTheOthers) {
    SetCurrentLoadFlags(0);
    HANDLE in = OpenFixture("tiff_pages.tif");
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    {
        TiffHandler handler;
        ASSERT_EQ(handler.Load(in, 0), kLoadOk);
        ASSERT_EQ(handler.SelectPage(1), kLoadOk);
        ASSERT_EQ(handler.ReadDirectory(), kLoadOk);
        RImage& page = handler.Image();
        const size_t size = page.header->biSizeImage;
        for (size_t i = 0; i < size; ++i) page.pixels[i] = static_cast<BYTE>(~page.pixels[i]);
        HANDLE out = CreateFileW(u"\\saved.tif", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        EXPECT_EQ(handler.Save(out, page), kLoadOk);
        CloseHandle(out);

        // An image of another size does not fit the page.
        RImage other;
        ASSERT_TRUE(CreateImage(nullptr, &other, 24, 10, 10, nullptr, 0));
        out = CreateFileW(u"\\bad.tif", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
        EXPECT_EQ(handler.SavePage(out, other, 0), kLoadCorrupt);
        EXPECT_EQ(handler.SavePage(out, page, 3), kLoadCorrupt);
        CloseHandle(out);
        ReleaseImage(&other);
    }
    CloseHandle(in);

    ImageFile file;
    ASSERT_TRUE(Load(&file, u"\\saved.tif")) << file.lastError;
    EXPECT_EQ(file.image.pageCount, 3u);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_pages.tif.0.rgb")), 0), 0);
    ASSERT_EQ(file.LoadPage(1), kLoadOk);
    std::string inverted = ReadHostFile(CodecFixture("tiff_pages.tif.1.rgb"));
    for (char& c : inverted) c = static_cast<char>(~c);
    EXPECT_EQ(CompareWithReference(file.image, inverted, 0), 0);
    ASSERT_EQ(file.LoadPage(2), kLoadOk);
    EXPECT_EQ(CompareWithReference(file.image, ReadHostFile(CodecFixture("tiff_pages.tif.2.rgb")), 0), 0);
    file.Unload();
}

TEST_F(TiffSaveTest, EveryLayoutSurvivesARewrite) {
    // Each file's only page replaced by its own decoding: the rewritten file
    // decodes to the same pixels.
    for (const char* name : {"tiff_small_grey.tif", "tiff_small_miniswhite.tif", "tiff_small_palette4.tif",
                             "tiff_small_g4.tif", "tiff_small_ycbcr_jpeg.tif", "tiff_cmyk.tif",
                             "tiff_resolution.tif", "tiff_small_rgb_zip.tif", "tiff_grey16.tif"}) {
        SCOPED_TRACE(name);
        SetCurrentLoadFlags(0);
        HANDLE in = OpenFixture(name);
        ASSERT_NE(in, INVALID_HANDLE_VALUE);
        {
            TiffHandler handler;
            ASSERT_EQ(handler.Load(in, 0), kLoadOk);
            HANDLE out = CreateFileW(u"\\rewritten.tif", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
            EXPECT_EQ(handler.Save(out, handler.Image()), kLoadOk) << handler.LibraryMessage();
            CloseHandle(out);
            ImageFile file;
            ASSERT_TRUE(Load(&file, u"\\rewritten.tif")) << file.lastError;
            const RImage& a = handler.Image();
            const RImage& b = file.image;
            ASSERT_EQ(a.header->biWidth, b.header->biWidth);
            ASSERT_EQ(a.header->biHeight, b.header->biHeight);
            ASSERT_EQ(a.header->biBitCount, b.header->biBitCount);
            EXPECT_EQ(std::memcmp(a.pixels, b.pixels, a.header->biSizeImage), 0);
            file.Unload();
        }
        CloseHandle(in);
    }
}

TEST_F(TiffSaveTest, NothingToSaveWithoutAnOpenFile) {
    TiffHandler handler;
    RImage image;
    EXPECT_EQ(handler.Save(nullptr, image), kLoadNoFileOpen);
    EXPECT_EQ(handler.SelectPage(0), kLoadNoFileOpen);
}

}  // namespace
