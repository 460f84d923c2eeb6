// The GIF handler: files written by ImageMagick and gifsicle against
// ImageMagick's decoding, files written by giflib against giflib's own
// decoding (indices and colour table), the colour-table and transparency
// rules, interlace order, the error codes and hostile data.
#include <gif_lib.h>

#include <cstring>
#include <random>
#include <vector>

#include "codec_test_util.h"
#include "gif_codec.h"

namespace {

struct GifFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;            // indices, top row first
    std::vector<GifColorType> localTable;   // empty: none
    bool interlaced = false;
    int transparent = -1;                   // a graphic control extension when >= 0
};

int WriteToBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

ColorMapObject* MakeMap(const std::vector<GifColorType>& colours) {
    if (colours.empty()) return nullptr;
    return GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
}

// A GIF written by giflib. Interlaced frames are handed over in the
// interlaced row order, as the format stores them.
Bytes MakeGif(int screenWidth, int screenHeight, const std::vector<GifColorType>& globalTable,
              const std::vector<GifFrame>& frames, bool gif89 = true) {
    Bytes bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, WriteToBytes, &error);
    EXPECT_NE(gif, nullptr);
    EGifSetGifVersion(gif, gif89);
    ColorMapObject* global = MakeMap(globalTable);
    EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, 0, global);
    for (const GifFrame& f : frames) {
        if (f.transparent >= 0) {
            GifByteType control[4] = {1, 0, 0, static_cast<GifByteType>(f.transparent)};
            EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
        }
        ColorMapObject* local = MakeMap(f.localTable);
        EGifPutImageDesc(gif, 0, 0, f.width, f.height, f.interlaced, local);
        std::vector<int> order;
        if (f.interlaced) {
            for (int start : {0, 4, 2, 1}) {
                for (int y = start; y < f.height; y += (start == 0 ? 8 : start * 2)) order.push_back(y);
            }
        } else {
            for (int y = 0; y < f.height; ++y) order.push_back(y);
        }
        for (int y : order) {
            EGifPutLine(gif, const_cast<GifPixelType*>(f.pixels.data()) + static_cast<size_t>(y) * f.width, f.width);
        }
        if (local) GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    if (global) GifFreeMapObject(global);
    return bytes;
}

struct Reader {
    const Bytes* bytes;
    size_t at = 0;
};

int ReadFromBytes(GifFileType* gif, GifByteType* data, int length) {
    auto* r = static_cast<Reader*>(gif->UserData);
    size_t n = std::min(static_cast<size_t>(length), r->bytes->size() - r->at);
    std::memcpy(data, r->bytes->data() + r->at, n);
    r->at += n;
    return static_cast<int>(n);
}

// giflib's decoding of the last image block: indices (de-interlaced) and the
// colour table that applies to it.
struct GiflibImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<GifColorType> table;
};

GiflibImage DecodeWithGiflib(const Bytes& bytes) {
    GiflibImage result;
    Reader reader{&bytes};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromBytes, &error);
    EXPECT_NE(gif, nullptr);
    if (!gif) return result;
    EXPECT_EQ(DGifSlurp(gif), GIF_OK);
    if (gif->ImageCount > 0) {
        const SavedImage& last = gif->SavedImages[gif->ImageCount - 1];
        result.width = last.ImageDesc.Width;
        result.height = last.ImageDesc.Height;
        result.indices.assign(last.RasterBits, last.RasterBits + static_cast<size_t>(result.width) * result.height);
        const ColorMapObject* map = last.ImageDesc.ColorMap ? last.ImageDesc.ColorMap : gif->SColorMap;
        if (map) result.table.assign(map->Colors, map->Colors + map->ColorCount);
    }
    DGifCloseFile(gif, &error);
    return result;
}

std::vector<GifColorType> Table(std::initializer_list<GifColorType> colours) { return colours; }

GifFrame Frame(int width, int height, unsigned seed, int colours) {
    GifFrame f;
    f.width = width;
    f.height = height;
    std::mt19937 random(seed);
    for (int i = 0; i < width * height; ++i) f.pixels.push_back(static_cast<uint8_t>(random() % colours));
    return f;
}

std::vector<GifColorType> Ramp(int count, int seed) {
    std::vector<GifColorType> table;
    for (int i = 0; i < count; ++i) {
        table.push_back({static_cast<GifByteType>(i * 7 + seed), static_cast<GifByteType>(i * 3),
                         static_cast<GifByteType>(200 - i)});
    }
    return table;
}

bool SameColour(const RGBQUAD& ours, const GifColorType& theirs) {
    return ours.rgbRed == theirs.Red && ours.rgbGreen == theirs.Green && ours.rgbBlue == theirs.Blue;
}

class GifTest : public CodecTest {
protected:
    // Loads the file and checks it index by index and colour by colour
    // against giflib (no transparency, tables without a full 256 entries).
    // `loaded` (by default the same bytes) is what our decoder reads.
    void ExpectAsGiflib(const std::string& name, const Bytes& bytes, const Bytes* loaded = nullptr) {
        SCOPED_TRACE(name);
        GiflibImage reference = DecodeWithGiflib(bytes);
        ImageFile file;
        ASSERT_TRUE(LoadBytes(&file, name, loaded ? *loaded : bytes)) << file.lastError;
        const RImage& image = file.image;
        ASSERT_EQ(image.header->biBitCount, 8);
        ASSERT_EQ(image.header->biWidth, reference.width);
        ASSERT_EQ(image.header->biHeight, reference.height);
        EXPECT_EQ(image.header->biClrUsed, reference.table.size());
        // A full table without white gives up its last entry to white.
        bool anyWhite = false;
        for (const GifColorType& c : reference.table) anyWhite = anyWhite || (c.Red == 255 && c.Green == 255 && c.Blue == 255);
        for (size_t i = 0; i < reference.table.size(); ++i) {
            GifColorType expected = reference.table[i];
            if (i == 255 && !anyWhite) expected = {255, 255, 255};
            EXPECT_TRUE(SameColour(ColourTable(image.header)[i], expected)) << "entry " << i;
        }
        int mismatches = 0;
        for (int y = 0; y < reference.height && mismatches < 5; ++y) {
            for (int x = 0; x < reference.width && mismatches < 5; ++x) {
                int theirs = reference.indices[static_cast<size_t>(y) * reference.width + x];
                if (IndexAt(image, x, y) != theirs) {
                    ++mismatches;
                    ADD_FAILURE() << "index at " << x << "," << y << ": " << IndexAt(image, x, y) << " giflib " << theirs;
                }
            }
        }
        file.Unload();
    }
};

TEST_F(GifTest, ImageMagickAndGifsicleFilesDecodeAsImageMagickDecodesThem) {
    for (const char* name : {"gif_small.gif", "gif_large.gif", "gif_small_interlaced.gif", "gif_large_interlaced.gif",
                             "gif_small_87a.gif", "gif_large_87a.gif", "gif_gifsicle_interlaced.gif",
                             "gif_animated.gif"}) {
        SCOPED_TRACE(name);
        std::string reference = ReadHostFile(CodecFixture(name) + ".rgb");
        ASSERT_FALSE(reference.empty()) << "fixture missing: run make_codec_fixtures.sh";
        ImageFile file;
        ASSERT_TRUE(LoadHost(&file, CodecFixture(name))) << file.lastError;
        EXPECT_EQ(CompareWithReference(file.image, reference, 0), 0);
        // The same files, index by index, against giflib.
        ExpectAsGiflib(name, ReadHostBytes(CodecFixture(name)));
        file.Unload();
    }
}

TEST_F(GifTest, AnAnimationShowsItsLastBlockAtThatBlocksSize) {
    ImageFile file;
    ASSERT_TRUE(LoadHost(&file, CodecFixture("gif_animated.gif"))) << file.lastError;
    EXPECT_EQ(file.image.header->biWidth, 20);
    EXPECT_EQ(file.image.header->biHeight, 10);
    EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), "Ver.89a - LZW compression");
    file.Unload();
}

TEST_F(GifTest, SignatureAndFormatText) {
    const Bytes base = MakeGif(4, 2, Ramp(4, 1), {Frame(4, 2, 1, 4)});
    struct Case {
        const char* signature;
        LoadError result;
        const char* text;
    };
    const Case cases[] = {
        {"GIF89a", kLoadOk, "Ver.89a - LZW compression"},
        {"GIF87a", kLoadOk, "Ver.87a - LZW compression"},
        {"gif89a", kLoadOk, "Ver.89a - LZW compression"},
        {"GIF80b", kLoadOk, "Ver.80b - LZW compression"},  // only G, I, F and the 8 are tested
        {"GIF90a", kLoadUnsupportedVersion, ""},
        {"GIX89a", kLoadUnsupportedVersion, ""},
        {"GIF79a", kLoadUnsupportedVersion, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.signature);
        Bytes bytes = base;
        std::memcpy(bytes.data(), c.signature, 6);
        ImageFile file;
        LoadBytes(&file, "sig.gif", bytes);
        EXPECT_EQ(file.lastError, c.result);
        if (c.result == kLoadOk) {
            EXPECT_EQ(platform::Utf16ToUtf8(file.image.formatText), c.text);
        }
        file.Unload();
    }
    EXPECT_EQ(LoadResult("empty.gif", {}), kLoadUnsupportedVersion);
}

TEST_F(GifTest, GiflibFilesOfEveryShape) {
    GifFrame interlaced = Frame(13, 10, 2, 16);
    interlaced.interlaced = true;
    GifFrame local = Frame(9, 7, 3, 4);
    local.localTable = Ramp(4, 90);
    GifFrame tall = Frame(3, 40, 4, 2);
    tall.interlaced = true;
    GifFrame wide = Frame(300, 3, 5, 256);
    GifFrame one = Frame(1, 1, 6, 2);
    one.interlaced = true;
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case cases[] = {
        {"plain.gif", MakeGif(13, 10, Ramp(16, 5), {Frame(13, 10, 1, 16)})},
        {"interlaced.gif", MakeGif(13, 10, Ramp(16, 5), {interlaced})},
        {"tall_interlaced.gif", MakeGif(3, 40, Ramp(2, 5), {tall})},
        {"one_pixel_interlaced.gif", MakeGif(1, 1, Ramp(2, 5), {one})},
        {"local_table.gif", MakeGif(9, 7, Ramp(16, 5), {Frame(9, 7, 7, 16), local})},
        {"local_only.gif", MakeGif(9, 7, {}, {local})},
        {"wide_8bit.gif", MakeGif(300, 3, Ramp(256, 0), {wide})},
        {"gif87a.gif", MakeGif(13, 10, Ramp(16, 5), {Frame(13, 10, 8, 16)}, false)},
    };
    for (const Case& c : cases) ExpectAsGiflib(c.name, c.bytes);
}

TEST_F(GifTest, InterlacedRowsLandInDisplayOrder) {
    // Every row of a 10-row picture has its own index, so the order in which
    // the decoder placed them shows directly: stored order 0, 8, 4, 2, 6, 1,
    // 3, 5, 7, 9 must come out as rows 0 to 9.
    GifFrame f;
    f.width = 3;
    f.height = 10;
    f.interlaced = true;
    for (int y = 0; y < 10; ++y) f.pixels.insert(f.pixels.end(), 3, static_cast<uint8_t>(y));
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "rows.gif", MakeGif(3, 10, Ramp(16, 0), {f})));
    for (int y = 0; y < 10; ++y) EXPECT_EQ(IndexAt(file.image, 1, y), y) << "row " << y;
    file.Unload();
}

TEST_F(GifTest, TransparentIndexTurnsItsEntryAndTheUndefinedOnesWhite) {
    GifFrame f = Frame(4, 4, 9, 4);
    f.transparent = 3;
    const auto table = Table({{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}});
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "transparent.gif", MakeGif(4, 4, table, {f})));
    const RGBQUAD* colours = ColourTable(file.image.header);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(SameColour(colours[i], table[i])) << i;
    for (int i = 3; i < 256; ++i) {
        EXPECT_TRUE(colours[i].rgbRed == 255 && colours[i].rgbGreen == 255 && colours[i].rgbBlue == 255) << i;
    }
    EXPECT_EQ(file.image.header->biClrUsed, 4u);
    file.Unload();

    // The transparent colour stays for later blocks of the file.
    GifFrame second = Frame(2, 2, 10, 4);
    ASSERT_TRUE(LoadBytes(&file, "kept.gif", MakeGif(4, 4, table, {f, second})));
    colours = ColourTable(file.image.header);
    EXPECT_TRUE(colours[3].rgbRed == 255 && colours[3].rgbGreen == 255 && colours[3].rgbBlue == 255);
    EXPECT_TRUE(SameColour(colours[2], table[2]));
    file.Unload();
}

TEST_F(GifTest, AFullTableWithoutWhiteGivesUpItsLastEntry) {
    std::vector<GifColorType> full = Ramp(256, 0);
    std::vector<GifColorType> withWhite = full;
    withWhite[17] = {255, 255, 255};
    ImageFile file;
    ASSERT_TRUE(LoadBytes(&file, "full.gif", MakeGif(4, 4, full, {Frame(4, 4, 1, 256)})));
    const RGBQUAD last = ColourTable(file.image.header)[255];
    EXPECT_TRUE(last.rgbRed == 255 && last.rgbGreen == 255 && last.rgbBlue == 255);
    file.Unload();
    ASSERT_TRUE(LoadBytes(&file, "white.gif", MakeGif(4, 4, withWhite, {Frame(4, 4, 1, 256)})));
    EXPECT_TRUE(SameColour(ColourTable(file.image.header)[255], withWhite[255]));
    file.Unload();
}

TEST_F(GifTest, TruncatedFilesLoadWhatTheyHold) {
    const Bytes whole = MakeGif(64, 64, Ramp(256, 0), {Frame(64, 64, 11, 256)});
    GifFrame f = Frame(64, 64, 12, 256);
    f.interlaced = true;
    const Bytes interlaced = MakeGif(64, 64, Ramp(256, 0), {f});
    // Without the trailer byte the file still loads completely.
    Bytes noTrailer(whole.begin(), whole.end() - 1);
    ExpectAsGiflib("no_trailer.gif", whole, &noTrailer);
    // Cut in the middle of the pixel data: decoding ends at the end of the
    // file, interlaced or not.
    for (const Bytes* source : {&whole, &interlaced}) {
        for (size_t cut : {size_t(800), source->size() / 2, source->size() - 10}) {
            Bytes part(source->begin(), source->begin() + static_cast<ptrdiff_t>(cut));
            EXPECT_EQ(LoadResult("cut.gif", part), kLoadOk) << cut;
        }
    }
}

TEST_F(GifTest, MalformedFilesGiveTheirCodes) {
    const Bytes good = MakeGif(4, 2, Ramp(4, 1), {Frame(4, 2, 1, 4)});
    const size_t afterTable = 13 + 4 * 3;
    auto header = [&] { return Bytes(good.begin(), good.begin() + afterTable); };
    struct Case {
        const char* what;
        Bytes bytes;
        LoadError result;
    };
    std::vector<Case> cases;
    // A graphic control extension whose size is not 4.
    cases.push_back({"control size 5", ByteWriter().raw(header()).u8(0x21).u8(0xF9).u8(5).fill(5, 0).u8(0).bytes,
                     kLoadCorrupt});
    cases.push_back({"control cut", ByteWriter().raw(header()).u8(0x21).u8(0xF9).u8(4).u8(1).bytes, kLoadCorrupt});
    cases.push_back({"label missing", ByteWriter().raw(header()).u8(0x21).bytes, kLoadCorrupt});
    // Blocks without pixels.
    cases.push_back({"zero width",
                     ByteWriter().raw(header()).u8(0x2C).u16(0).u16(0).u16(0).u16(2).u8(0).u8(2).u8(0).bytes,
                     kLoadCorrupt});
    cases.push_back({"zero height",
                     ByteWriter().raw(header()).u8(0x2C).u16(0).u16(0).u16(4).u16(0).u8(0).u8(2).u8(0).bytes,
                     kLoadCorrupt});
    // No image block at all.
    cases.push_back({"trailer only", ByteWriter().raw(header()).u8(0x3B).bytes, kLoadCorrupt});
    cases.push_back({"header cut", Bytes(good.begin(), good.begin() + 8), kLoadCorrupt});
    // Unknown extensions are skipped; a bad code size decodes nothing but
    // the image exists.
    cases.push_back({"comment extension",
                     ByteWriter().raw(header()).u8(0x21).u8(0xFE).u8(3).u8('a').u8('b').u8('c').u8(0)
                         .raw(Bytes(good.begin() + static_cast<ptrdiff_t>(afterTable), good.end())).bytes,
                     kLoadOk});
    cases.push_back({"code size 12",
                     ByteWriter().raw(header()).u8(0x2C).u16(0).u16(0).u16(4).u16(2).u8(0).u8(12).u8(2).u8(0xFF)
                         .u8(0xFF).u8(0).u8(0x3B).bytes,
                     kLoadOk});
    for (const Case& c : cases) EXPECT_EQ(LoadResult("bad.gif", c.bytes), c.result) << c.what;
}

TEST_F(GifTest, RandomPixelDataNeverEscapesTheImage) {
    // Valid headers followed by random LZW data, with every code size and
    // both row orders: the decoder must end cleanly.
    std::mt19937 random(99);
    for (int round = 0; round < 60; ++round) {
        const int width = 1 + static_cast<int>(random() % 40);
        const int height = 1 + static_cast<int>(random() % 40);
        ByteWriter w;
        w.raw(Bytes{'G', 'I', 'F', '8', '9', 'a'}).u16(width).u16(height).u8(0x87).u8(0).u8(0).fill(256 * 3, 0x40);
        w.u8(0x2C).u16(0).u16(0).u16(width).u16(height).u8(round % 2 ? 0x40 : 0).u8(2 + round % 8);
        const int blocks = 1 + static_cast<int>(random() % 6);
        for (int b = 0; b < blocks; ++b) {
            w.u8(255);
            for (int i = 0; i < 255; ++i) w.u8(random() & 0xFF);
        }
        if (round % 3) w.u8(0).u8(0x3B);
        EXPECT_EQ(LoadResult("random.gif", w.bytes), kLoadOk) << round;
    }
}

TEST_F(GifTest, SavingIsRefused) {
    GifHandler handler;
    RImage image;
    EXPECT_EQ(handler.Save(nullptr, image), kLoadOutOfMemory);
}

TEST_F(GifTest, AbortDuringDecodingReturns15AndResetsTheImage) {
    const Bytes bytes = MakeGif(64, 64, Ramp(256, 0), {Frame(64, 64, 1, 256), Frame(64, 64, 2, 256)});
    ImageFile file;
    file.InitImageFile();
    {
        AbortOnImageCreation abort;
        EXPECT_FALSE(LoadBytes(&file, "abort.gif", bytes));
    }
    EXPECT_EQ(file.lastError, kLoadAborted);
    EXPECT_EQ(file.image.header, nullptr);
    EXPECT_EQ(file.image.pixels, nullptr);
    EXPECT_EQ(file.image.bitmap, nullptr);
    // The next load clears the flag and succeeds.
    EXPECT_TRUE(LoadBytes(&file, "abort.gif", bytes));
    file.Unload();
}

}  // namespace
