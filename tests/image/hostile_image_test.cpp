// Hostile image files: headers that claim pictures far larger than memory or
// whose size products wrap 32 bits, files that end long before the picture
// they describe, and directory chains that loop. Each must end with a result
// code, never a crash, an allocation of what the header says, or a decode
// that goes on without consuming input. The memory ceiling stands in for a
// device's small memory.
#include "codec_test_util.h"
#include "image_memory.h"
#include "memory_room.h"
#include "rimg_plugin.h"

namespace {

// ---- hand-made files -----------------------------------------------------------

Bytes Bmp(int32_t width, int32_t height, unsigned bpp, uint32_t compression, const Bytes& data) {
    const uint32_t colours = bpp <= 8 ? 1u << bpp : 0;
    const uint32_t offset = 14 + 40 + 4 * colours;
    return ByteWriter()
        .raw(BmpFileHeader(offset + (uint32_t)data.size(), offset))
        .raw(InfoHeader(width, height, bpp, compression))
        .fill(4 * colours, 0x40)
        .raw(data)
        .bytes;
}

Bytes Gif(uint16_t width, uint16_t height) {
    ByteWriter w;
    for (char c : std::string("GIF89a")) w.u8((uint8_t)c);
    w.u16(width).u16(height).u8(0x80).u8(0).u8(0);  // global table of 2 entries
    w.fill(6, 0x7F);
    w.u8(0x2C).u16(0).u16(0).u16(width).u16(height).u8(0);
    w.u8(2).u8(2).u8(0x4C).u8(0x01).u8(0);  // minimum code size 2, one sub-block
    w.u8(0x3B);
    return w.bytes;
}

Bytes Pcx(uint16_t width, uint16_t height) {
    ByteWriter w;
    w.u8(10).u8(5).u8(1).u8(8).u16(0).u16(0).u16((uint16_t)(width - 1)).u16((uint16_t)(height - 1));
    w.u16(72).u16(72).fill(48, 0).u8(0).u8(1).u16(width).u16(1).fill(58, 0);
    w.fill(8, 0xC1);
    return w.bytes;
}

Bytes Text(const std::string& text, size_t zeros = 0) {
    Bytes b(text.begin(), text.end());
    b.insert(b.end(), zeros, 0);
    return b;
}

// A little-endian TIFF of one grey strip per directory (8 bits, one sample
// unless told); `next` is the offset the last directory links to (0: none).
Bytes Tiff(uint32_t width, uint32_t length, uint32_t next = 0, uint16_t samples = 1, uint16_t bits = 8) {
    ByteWriter w;
    w.u8('I').u8('I').u16(42).u32(8);
    const struct {
        uint16_t tag, type;
        uint32_t value;
    } entries[] = {
        {256, 4, width}, {257, 4, length}, {258, 3, bits}, {259, 3, 1}, {262, 3, 1},
        {273, 4, 8 + 2 + 9 * 12 + 4}, {277, 3, samples}, {278, 4, length}, {279, 4, 16},
    };
    w.u16(9);
    for (const auto& e : entries) w.u16(e.tag).u16(e.type).u32(1).u32(e.value);
    w.u32(next);
    w.fill(16, 0x80);
    return w.bytes;
}

// The CRC of PNG chunks (ISO 3309, bit-reversed polynomial 0xEDB88320).
uint32_t Crc32(const Bytes& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// `data` as a zlib stream of one stored block.
Bytes StoredZlib(const Bytes& data) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    const uint16_t n = (uint16_t)data.size();
    ByteWriter w;
    w.u8(0x78).u8(0x01).u8(0x01).u16(n).u16((uint16_t)~n).raw(data);
    const uint32_t adler = (b << 16) | a;
    return w.u8(adler >> 24).u8(adler >> 16).u8(adler >> 8).u8(adler).bytes;
}

// A PNG chunk: length, type, data, CRC.
Bytes PngChunk(const char* type, const Bytes& data) {
    ByteWriter w;
    const uint32_t length = (uint32_t)data.size();
    w.u8(length >> 24).u8(length >> 16).u8(length >> 8).u8(length);
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    w.raw(body);
    const uint32_t crc = Crc32(body);
    w.u8(crc >> 24).u8(crc >> 16).u8(crc >> 8).u8(crc);
    return w.bytes;
}

Bytes Png(uint32_t width, uint32_t height, uint8_t colourType) {
    const Bytes header = {(uint8_t)(width >> 24), (uint8_t)(width >> 16), (uint8_t)(width >> 8), (uint8_t)width,
                          (uint8_t)(height >> 24), (uint8_t)(height >> 16), (uint8_t)(height >> 8), (uint8_t)height,
                          8, colourType, 0, 0, 0};
    // The picture data: a valid stream of a few bytes only.
    const Bytes packed = StoredZlib(Bytes(64, 0));
    return ByteWriter()
        .raw({0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A})
        .raw(PngChunk("IHDR", header))
        .raw(PngChunk("IDAT", packed))
        .raw(PngChunk("IEND", {}))
        .bytes;
}

// A real baseline JPEG (301 x 157) with its frame header's size replaced.
Bytes JpegOfSize(uint16_t width, uint16_t height) {
    Bytes jpeg = ReadHostBytes(CodecFixture("jpeg_large_baseline.jpg"));
    for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = (uint8_t)(height >> 8);
            jpeg[i + 6] = (uint8_t)height;
            jpeg[i + 7] = (uint8_t)(width >> 8);
            jpeg[i + 8] = (uint8_t)width;
            return jpeg;
        }
    }
    return {};
}

class HostileImageTest : public CodecTest {
protected:
    static constexpr size_t kCeiling = 64u << 20;

    void SetUp() override {
        CodecTest::SetUp();
        InstallPlugins({std::string(KESTRAVA_BIN_DIR) + "/RImgPng.dll"});
        ASSERT_EQ(library_.ProviderCount(), 2);
        // The plug-in's memory passes the image library's ceiling too.
        library_.Provider(1)->registerAllocator(ImageAllocate, 0, ImageFree, ImageCreateDibSection, ImageDeleteObject);
        SetImageMemoryCeiling(kCeiling);
    }
    void TearDown() override {
        SetImageMemoryCeiling(0);
        library_.Provider(1)->registerAllocator(nullptr, 0, nullptr, nullptr, nullptr);
        CodecTest::TearDown();
    }
    LoadError Result(const std::string& name, const Bytes& bytes, DWORD flags) {
        ImageFile file;
        file.InitImageFile();
        LoadBytes(&file, name, bytes, flags);
        const LoadError result = file.lastError;
        file.Unload();
        return result;
    }
};

// ---- memory ----------------------------------------------------------------------

// Headers of pictures beyond the ceiling (20000 x 20000 and more, in files
// of a few bytes) fail with 1 where the picture cannot be made; headers whose
// size products wrap 32 bits or exceed any image record are refused as
// damaged (8) or unsupported before anything is allocated. Decoders that
// decimate while decoding load such a picture reduced unless decimation is
// forbidden.
TEST_F(HostileImageTest, HeadersClaimingHugePictures) {
    const Bytes rle8End = {0, 1};
    const struct {
        const char* name;
        Bytes bytes;
        DWORD flags;
        LoadError result;
    } rows[] = {
        {"wrap.bmp", Bmp(0x10000, 0x10000, 32, BI_RGB, {}), 0, kLoadCorrupt},  // 2^36 bytes
        {"wide.bmp", Bmp(0x7FFFFFFF, 1, 24, BI_RGB, {}), 0, kLoadCorrupt},
        {"topdown.bmp", Bmp(0x10000, -0x10000, 8, BI_RGB, {}), 0, kLoadCorrupt},
        {"rle8.bmp", Bmp(20000, 20000, 8, BI_RLE8, rle8End), 0, kLoadOutOfMemory},
        {"plain.bmp", Bmp(20000, 20000, 8, BI_RGB, {}), kLoadFlagNoDecimation, kLoadOutOfMemory},
        {"wrap.gif", Gif(65535, 65535), 0, kLoadCorrupt},
        {"big.gif", Gif(20000, 20000), 0, kLoadOutOfMemory},
        {"big.pcx", Pcx(20000, 20000), 0, kLoadOutOfMemory},
        {"wrap.pcx", Pcx(65535, 65535), 0, kLoadOutOfMemory},
        {"big.pgm", Text("P5 20000 20000 255\n", 16), kLoadFlagNoDecimation, kLoadOutOfMemory},
        {"wrap.ppm", Text("P6 65536 65536 255\n", 16), kLoadFlagNoDecimation, kLoadOutOfMemory},
        {"big.tif", Tiff(20000, 20000), 0, kLoadOutOfMemory},
        {"wrap.tif", Tiff(0x10000, 0x10000), 0, kLoadOutOfMemory},
        // Samples times bits past what an int holds (a fuzzer's find).
        {"deep.tif", Tiff(4, 4, 0, 65535, 65288), 0, kLoadUnsupportedVersion},
        {"big.png", Png(20000, 20000, 0), 0, kLoadOutOfMemory},
        {"alpha.png", Png(20000, 20000, 6), 0, kLoadOutOfMemory},
        {"wrap.png", Png(65535, 65535, 6), 0, kLoadCorrupt},
        {"big.jpg", JpegOfSize(20000, 20000), kLoadFlagNoDecimation, kLoadOutOfMemory},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_FALSE(r.bytes.empty());
        EXPECT_EQ(Result(r.name, r.bytes, r.flags), r.result);
    }
}

// The same pictures without the flag load reduced: the memory stays bounded
// and the picture is black where the file has no data.
TEST_F(HostileImageTest, DecimatingDecodersLoadHugePicturesReduced) {
    const struct {
        const char* name;
        Bytes bytes;
    } rows[] = {
        {"plain.bmp", Bmp(20000, 20000, 8, BI_RGB, {})},
        {"big.pgm", Text("P5 20000 20000 255\n", 16)},
        {"big.jpg", JpegOfSize(20000, 20000)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ImageFile file;
        file.InitImageFile();
        ASSERT_TRUE(LoadBytes(&file, r.name, r.bytes)) << file.lastError;
        EXPECT_LT(file.image.header->biWidth, 20000);
        EXPECT_LE(DibImageSize(file.image.header->biWidth, file.image.header->biHeight, file.image.header->biBitCount),
                  (int64_t)kCeiling);
        file.Unload();
    }
}

// Chunk lengths a file cannot hold, ahead of the picture data: libpng's own
// memory for a chunk is limited to the file's size, so that the length is
// refused instead of allocated (fuzzing found a text chunk of 1.6 GB in a
// file of 63 bytes). An ancillary chunk is skipped and the file then ends;
// a critical one fails.
TEST_F(HostileImageTest, PngChunkLengthsBeyondTheFile) {
    const Bytes good = Png(2, 1, 0);
    const size_t afterHeader = 8 + 12 + 13;
    for (const char* type : {"tEXt", "zTXt", "iCCP", "sPLT", "IDAT", "abCd"}) {
        for (uint32_t length : {0x61000002u, 0x7FFFFFFFu, 0x00100000u}) {
            SCOPED_TRACE(std::string(type) + " " + std::to_string(length));
            Bytes bytes(good.begin(), good.begin() + (ptrdiff_t)afterHeader);
            ByteWriter chunk;
            chunk.u8(length >> 24).u8(length >> 16).u8(length >> 8).u8(length);
            for (int i = 0; i < 4; ++i) chunk.u8((uint8_t)type[i]);
            chunk.fill(16, 'x');
            bytes.insert(bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
            const int result = WithAddressSpaceRoom(256u << 20, [&] { return (int)Result("chunk.png", bytes, 0); });
            EXPECT_EQ(result, (int)kLoadCorrupt);
        }
    }
}

// ---- decodes that must end with their data ------------------------------------------

// A baseline JPEG whose header claims 60000 x 60000 pixels over the data of a
// 301 x 157 picture: the decode stops soon after the data ends instead of
// making 3.6 billion pixels from nothing. The rows the data holds are there.
TEST_F(HostileImageTest, JpegThatEndsEarlyStopsWithItsData) {
    SetImageMemoryCeiling(0);
    const Bytes bytes = JpegOfSize(60000, 60000);
    ASSERT_FALSE(bytes.empty());
    ImageFile file;
    file.InitImageFile();
    ASSERT_TRUE(LoadBytes(&file, "endless.jpg", bytes)) << file.lastError;
    EXPECT_LT(file.image.header->biWidth, 60000);  // reduced: 10.8 GB at full size
    file.Unload();

    // At its own size, a truncated baseline file keeps its first rows and
    // leaves the rest black.
    const Bytes good = ReadHostBytes(CodecFixture("jpeg_large_baseline.jpg"));
    ImageFile whole;
    whole.InitImageFile();
    ASSERT_TRUE(LoadBytes(&whole, "whole.jpg", good));
    const Bytes cut(good.begin(), good.begin() + (ptrdiff_t)(good.size() / 3));
    ImageFile part;
    part.InitImageFile();
    ASSERT_TRUE(LoadBytes(&part, "part.jpg", cut)) << part.lastError;
    EXPECT_EQ(PixelAt(part.image, 3, 0), PixelAt(whole.image, 3, 0));
    const int last = part.image.header->biHeight - 1;
    EXPECT_EQ(PixelAt(part.image, 3, last), (Bgr{0, 0, 0}));
    part.Unload();
    whole.Unload();
}

// Uncompressed BMPs that end long before their picture: the decode stops at
// the end of the data, and what the file does not hold is black, also in a
// picture loaded reduced, where one row buffer serves every row (it must
// not repeat the last row read). Fuzzing found a 16-bit picture of 2071 x
// 65439 in 55 bytes that took half a minute to make from nothing.
TEST_F(HostileImageTest, UncompressedBmpThatEndsEarly) {
    const struct {
        const char* name;
        int32_t width, height;
        unsigned bpp;
        bool reduced;
    } rows[] = {
        {"small24.bmp", 40, -30, 24, false},
        {"huge24.bmp", 20000, -20000, 24, true},
        {"small32.bmp", 40, -30, 32, false},
        {"huge16.bmp", 2071, -65439, 16, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        // One and a half rows of white.
        const size_t rowBytes = ((size_t)r.width * r.bpp / 8 + 3) & ~(size_t)3;
        const Bytes bytes = Bmp(r.width, r.height, r.bpp, BI_RGB, Bytes(rowBytes + rowBytes / 2, 0xFF));
        ImageFile file;
        file.InitImageFile();
        ASSERT_TRUE(LoadBytes(&file, r.name, bytes)) << file.lastError;
        const int width = file.image.header->biWidth;
        const int height = file.image.header->biHeight;
        EXPECT_EQ(width < -r.height, r.reduced);
        const Bgr white = PixelAt(file.image, 0, 0);
        EXPECT_GE(white.r, 0xF8);
        EXPECT_EQ(PixelAt(file.image, width - 1, height - 1), (Bgr{0, 0, 0}));
        EXPECT_EQ(PixelAt(file.image, width / 2, height / 2), (Bgr{0, 0, 0}));
        file.Unload();
    }
}

// Directory chains that point back at themselves end; the pages that exist
// are counted once.
TEST_F(HostileImageTest, TiffDirectoryLoops) {
    const struct {
        const char* name;
        Bytes bytes;
    } rows[] = {
        {"self.tif", Tiff(4, 4, 8)},         // the directory links to itself
        {"header.tif", Tiff(4, 4, 0)},       // no further directory
        {"outside.tif", Tiff(4, 4, 0xFFFFFFF0u)},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        ImageFile file;
        file.InitImageFile();
        ASSERT_TRUE(LoadBytes(&file, r.name, r.bytes)) << file.lastError;
        EXPECT_EQ(file.image.pageCount, 1u);
        EXPECT_EQ(file.LoadPage(1), kLoadIndexOutOfRange);
        file.Unload();
    }
}

}  // namespace
