// The portable map handler: files written by ImageMagick and netpbm against
// ImageMagick's decoding; header parsing (comments, token limits, numbers
// out of range); samples taken as stored; short files; reduced loading.
#include <string>

#include "codec_test_util.h"

namespace {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Map(const std::string& header, const Bytes& pixels) {
    Bytes bytes = Text(header);
    bytes.insert(bytes.end(), pixels.begin(), pixels.end());
    return bytes;
}

class PortableMapTest : public CodecTest {};

TEST_F(PortableMapTest, FilesDecodeAsImageMagickDecodesThem) {
    struct Fixture {
        const char* name;
        int bitsPerPixel;
    };
    const Fixture fixtures[] = {
        {"pnm_small.ppm", 24},        {"pnm_large.ppm", 24},        {"pnm_small.pgm", 8},
        {"pnm_large.pgm", 8},         {"pnm_small_netpbm.ppm", 24}, {"pnm_large_netpbm.ppm", 24},
        {"pnm_small_netpbm.pgm", 8},  {"pnm_large_netpbm.pgm", 8},  {"pnm_comments.pgm", 8},
    };
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        std::string reference = ReadHostFile(CodecFixture(f.name) + ".rgb");
        ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
        ImageFile file;
        ASSERT_TRUE(LoadHost(&file, CodecFixture(f.name))) << file.lastError;
        EXPECT_EQ(file.image.header->biBitCount, f.bitsPerPixel);
        EXPECT_EQ(CompareWithReference(file.image, reference, 0), 0);
        file.Unload();
    }
}

TEST_F(PortableMapTest, HeaderCodes) {
    struct Case {
        const char* what;
        Bytes bytes;
        LoadError result;
    };
    const Case cases[] = {
        {"maximum 65535", ReadHostBytes(CodecFixture("pnm_sixteen.pgm")), kLoadCorrupt},
        {"maximum 256", Map("P5 2 2 256\n", Bytes(4, 1)), kLoadCorrupt},
        {"maximum 0", Map("P5 2 2 0\n", Bytes(4, 1)), kLoadCorrupt},
        {"maximum 1", Map("P5 2 2 1\n", Bytes(4, 1)), kLoadOk},
        {"width 0", Map("P6 0 2 255\n", Bytes(12, 1)), kLoadCorrupt},
        {"negative height", Map("P5 2 -2 255\n", Bytes(4, 1)), kLoadCorrupt},
        {"three tokens", Text("P6 2 2"), kLoadCorrupt},
        {"letters", Map("P5 2x 2 255\n", Bytes(4, 1)), kLoadCorrupt},
        {"huge number", Map("P5 99999999999999999999 2 255\n", Bytes(4, 1)), kLoadCorrupt},
        {"empty", {}, kLoadCorrupt},
        {"comment to the end", Text("P5 # 2 2 255\n"), kLoadCorrupt},
        // Any other magic is read as grey.
        {"P2 read as grey", Map("P2 2 2 255\n", Bytes(4, 1)), kLoadOk},
        {"signed numbers", Map("P5 +2 2 255\n", Bytes(4, 1)), kLoadOk},
    };
    for (const Case& c : cases) EXPECT_EQ(LoadResult("h.pgm", c.bytes), c.result) << c.what;
}

TEST_F(PortableMapTest, CommentsAndWhiteSpaceBetweenTokens) {
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "c.ppm",
                          Map("P6#magic\n\t2 # width\r\n#\n1\n\n255 ", Bytes{1, 2, 3, 4, 5, 6})));
    ASSERT_EQ(file.image.header->biBitCount, 24);
    // Exactly one byte after the maximum value; then red, green, blue.
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{3, 2, 1}));
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{6, 5, 4}));
    file.Unload();
    // A comment straight after the maximum value runs to the end of its line.
    ASSERT_TRUE(LoadBytes(&file, "d.pgm", Map("P5 2 1 255# note\n", Bytes{9, 8})));
    EXPECT_EQ(IndexAt(file.image, 0, 0), 9);
    EXPECT_EQ(IndexAt(file.image, 1, 0), 8);
    file.Unload();
}

TEST_F(PortableMapTest, SamplesAreTakenAsStored) {
    // A maximum of 15 does not scale: 15 stays 15 in the grey table's terms.
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "m.pgm", Map("P5 3 1 15\n", Bytes{0, 7, 15})));
    EXPECT_EQ(IndexAt(file.image, 1, 0), 7);
    EXPECT_EQ(IndexAt(file.image, 2, 0), 15);
    EXPECT_TRUE(PixelAt(file.image, 2, 0) == (Bgr{15, 15, 15}));
    file.Unload();
}

TEST_F(PortableMapTest, ShortFilesEndAtTheirLastByte) {
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "short.ppm", Map("P6 4 3 255\n", Bytes{10, 20, 30, 40, 50})));
    EXPECT_TRUE(PixelAt(file.image, 0, 0) == (Bgr{30, 20, 10}));
    EXPECT_TRUE(PixelAt(file.image, 1, 0) == (Bgr{0, 50, 40}));
    EXPECT_TRUE(PixelAt(file.image, 3, 2) == (Bgr{0, 0, 0}));
    file.Unload();
    // A header promising a huge picture from a few bytes loads reduced and
    // stops at the end of the file.
    EXPECT_EQ(LoadResult("huge.pgm", Map("P5 100000 100000 255\n", Bytes(10, 7))), kLoadOk);
}

TEST_F(PortableMapTest, ReducedLoadingDecimatesWhileDecoding) {
    Bytes pixels;
    for (int y = 0; y < 900; ++y) {
        for (int x = 0; x < 1200; ++x) pixels.push_back(static_cast<uint8_t>((x + y) & 0xFF));
    }
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "big.pgm", Map("P5 1200 900 255\n", pixels), kLoadFlagReduced));
    int w = 0, h = 0;
    ReducedTarget(1200, 900, 2, &w, &h);
    EXPECT_EQ(file.image.header->biWidth, w);
    EXPECT_EQ(file.image.header->biHeight, h);
    EXPECT_EQ(file.image.header->biBitCount, 8);
    EXPECT_EQ(IndexAt(file.image, w - 1, h - 1), (1199 + 899) & 0xFF);
    file.Unload();
}

TEST_F(PortableMapTest, AbortReturns15) {
    ImageFile file;
    file.InitImageFile();
    {
        AbortOnImageCreation abort;
        EXPECT_FALSE(LoadHost(&file, CodecFixture("pnm_large.ppm")));
    }
    EXPECT_EQ(file.lastError, kLoadAborted);
    EXPECT_EQ(file.image.header, nullptr);
}

}  // namespace
