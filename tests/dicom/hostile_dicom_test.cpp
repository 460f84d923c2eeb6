// Hostile DICOM files, by the classes of fault that damaged or forged files
// have caused in DICOM readers: value lengths near 4 GB or beyond the data,
// geometry products that wrap 32 bits, pixel data shorter than the geometry,
// palette tables that disagree with their descriptors, compressed frames
// that disagree with the data set, sequences nested thousands deep, elements
// of the wrong VR, and the memory a forged size may cost. Each file must
// give a defined result code without reading or allocating beyond what it
// holds (the sanitizer build checks the reads).
#include "dicom/dicom_info_list.h"
#include "dicom/lossless_jpeg.h"
#include "handler_test_util.h"
#include "image/image_memory.h"
#include "memory_room.h"

using namespace handler_test;

namespace {

// A name, then one element whose 4-byte length is `length` with eight bytes
// of data behind its header, then the end of the file.
Bytes FileWithLength(bool implicit, uint32_t length) {
    ByteWriter w;
    w.preambleAndMeta(implicit ? kImplicitLittle : kExplicitLittle);
    if (implicit) {
        w.implicitHeader(0x0010, 0x0010, 8).text("Doe^John");
        w.implicitHeader(0x0010, 0x4000, length).text("ABCDEFGH");
    } else {
        w.explicitHeader(0x0010, 0x0010, "PN", 8).text("Doe^John");
        w.explicitHeader(0x0010, 0x4000, "UT", length).text("ABCDEFGH");
    }
    return w.data;
}

// A lossless JPEG frame (one component, precision P, predictor Ss) from its
// differences in coding order, with one DC table in which category c has
// the 5-bit code c. For a 2 x 2 frame: row 0 (the first sample against
// 2^(P-1), then its left neighbour), row 1 (the first sample against the one
// above, then the predictor).
Bytes LosslessFrame(int precision, uint16_t width, uint16_t height, int predictor,
                    const std::vector<int>& differences) {
    Bytes dht = {0x00, 0, 0, 0, 0, 17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (uint8_t c = 0; c <= 16; ++c) dht.push_back(c);
    auto segment = [](uint8_t marker, const Bytes& body) {
        Bytes s(4 + body.size());
        s[0] = 0xFF;
        s[1] = marker;
        s[2] = (uint8_t)((body.size() + 2) >> 8);
        s[3] = (uint8_t)(body.size() + 2);
        std::copy(body.begin(), body.end(), s.begin() + 4);
        return s;
    };
    Bytes bits;
    uint64_t acc = 0;
    int count = 0;
    auto put = [&](uint32_t value, int n) {
        acc = (acc << n) | (value & ((1u << n) - 1));
        count += n;
        while (count >= 8) {
            count -= 8;
            const uint8_t byte = (uint8_t)(acc >> count);
            bits.push_back(byte);
            if (byte == 0xFF) bits.push_back(0);
        }
    };
    for (int d : differences) {
        int c = 0;
        for (int m = d < 0 ? -d : d; m; m >>= 1) ++c;
        put((uint32_t)c, 5);
        if (c > 0 && c < 16) put((uint32_t)(d > 0 ? d : d - 1), c);  // 16: 32768, no bits
    }
    if (count) put(0x7F, 8 - count);
    const Bytes sof = {(uint8_t)precision, (uint8_t)(height >> 8), (uint8_t)height, (uint8_t)(width >> 8),
                       (uint8_t)width, 1, 1, 0x11, 0};
    return Join({{0xFF, 0xD8}, segment(0xC4, dht), segment(0xC3, sof),
                 segment(0xDA, {1, 1, 0x00, (uint8_t)predictor, 0, 0}), bits, {0xFF, 0xD9}});
}

class HostileDicomTest : public HandlerTest {
protected:
    void TearDown() override {
        SetImageMemoryCeiling(0);
        HandlerTest::TearDown();
    }
    // Loads through the image library ("\My Documents\image.dcm").
    LoadError LoadFile(const Bytes& bytes) {
        LoadThroughLibrary(Put(bytes));
        return file_image_.lastError;
    }
    // The element list of a file, as the information dialog builds it.
    std::vector<std::string> InfoList(const Bytes& bytes) {
        HANDLE file = OpenBytes(bytes, "info.dcm");
        DicomInfoList list;
        EXPECT_TRUE(BuildDicomInfoList(file, &list));
        std::vector<std::string> texts;
        for (size_t i = 0; i < list.count; ++i) texts.push_back(list.records[i].text);
        DicomInfoListRelease(&list);
        return texts;
    }
};

// ---- value lengths -----------------------------------------------------------

// 0xFFFFFFFF is the undefined length (of a value that is no sequence here);
// the others run past the end of the data. None may make the reader read or
// allocate past what is left.
TEST_F(HostileDicomTest, ValueLengthsNearFourGigabytesOrBeyondTheData) {
    const struct {
        uint32_t length;
        int loaded;  // dicom_load_value of the element
    } rows[] = {
        {0xFFFFFFFFu, 0},   // undefined: nothing to read
        {0xFFFFFFFEu, -2},  // no room for the four zero bytes behind a value
        {0x80000000u, -3},  // beyond the end
        {0x7FFFFFFFu, -3},
        {9, -3},            // one byte more than is left
    };
    for (bool implicit : {true, false}) {
        for (const auto& r : rows) {
            SCOPED_TRACE(std::string(implicit ? "implicit " : "explicit ") + std::to_string(r.length));
            LogCapture log;
            const Bytes bytes = FileWithLength(implicit, r.length);
            Attach(bytes);
            ASSERT_EQ(dicom_open(), 0);
            DicomElement* e = dicom_next_element();
            while (e != nullptr && e->group == 0x0002) {  // the meta group
                ASSERT_EQ(dicom_skip_value(), 0);
                e = dicom_next_element();
            }
            ASSERT_NE(e, nullptr);
            ASSERT_EQ(e->element, 0x0010);
            ASSERT_EQ(dicom_load_value(kVrPN), 1);
            e = dicom_next_element();
            ASSERT_NE(e, nullptr);
            EXPECT_EQ(e->length, r.length);
            // The whole walk runs with no more than 64 MB of room: a value
            // allocated at its declared length would not fit.
            const int loaded = WithAddressSpaceRoom(64u << 20, [] { return dicom_load_value(kVrLT); });
            EXPECT_EQ(loaded, r.loaded);
            EXPECT_EQ(dicom_load_value(kVrLT), r.loaded);
            EXPECT_EQ(DicomReaderState().current.value, nullptr);
            if (r.loaded < 0) {
                EXPECT_EQ(DicomStream().tell(), 0) << "an error rewinds the stream";
            }

            // The element list ends where the damage is; the name is listed.
            const std::vector<std::string> texts = InfoList(bytes);
            EXPECT_NE(std::find(texts.begin(), texts.end(), "Doe^John"), texts.end());
            // Without pixel data there is nothing to show.
            EXPECT_EQ(LoadFile(bytes), kLoadCorrupt);
        }
    }
}

// A palette table of a length far beyond the file: the scan stops there and
// the picture is refused, without allocating what the length says.
TEST_F(HostileDicomTest, AttributeLengthBeyondTheDataStopsTheScan) {
    Bytes bytes = ImageBuilder().Grey(1, 4, 8, 8, false, "PALETTE COLOR")
                      .Us(0x1101, {4, 0, 16}).Us(0x1102, {4, 0, 16}).Us(0x1103, {4, 0, 16})
                      .Words(0x0028, 0x1201, "OW", {1, 2, 3, 4})
                      .Raw(0x7FE0, 0x0010, "OB", {0, 1, 2, 3})
                      .Build();
    // The red table's length (an OW: 4-byte length behind two reserved bytes).
    const size_t at = bytes.size() - 12 - 4 - 8 - 4;
    ASSERT_EQ(bytes[at - 8], 0x28);
    ASSERT_EQ(bytes[at - 6], 0x01);
    ASSERT_EQ(bytes[at - 5], 0x12);
    for (uint32_t length : {0xFFFFFFFEu, 0x80000000u, 0x00100000u}) {
        SCOPED_TRACE(length);
        for (int i = 0; i < 4; ++i) bytes[at + i] = (uint8_t)(length >> (8 * i));
        const int result = WithAddressSpaceRoom(64u << 20, [&] { return (int)LoadBytes(bytes); });
        EXPECT_EQ(result, (int)kLoadCorrupt);
    }
}

// ---- geometry ----------------------------------------------------------------

// Rows x columns x samples x bits whose product wraps 32 bits (to 0 or to a
// few bytes) describe a frame far larger than the file: refused before
// anything of that size exists. Compressed data, whose size the file cannot
// tell, fails when the picture cannot be allocated.
TEST_F(HostileDicomTest, GeometryProductsThatWrap32Bits) {
    const struct {
        const char* what;
        const char* syntax;
        uint16_t rows, columns, samples, bits;
        Bytes pixels;
        LoadError result;
    } rows[] = {
        {"2^32 bytes: 32768 x 32768 x 4 x 8", kExplicitLittle, 0x8000, 0x8000, 4, 8, {}, kLoadCorrupt},
        {"2^32 + 4 bytes", kExplicitLittle, 0x8000, 0x8000, 4, 8, Bytes(4), kLoadCorrupt},
        {"2^32 bytes: 16384 x 16384 x 1 x 32 bits", kExplicitLittle, 0x4000, 0x4000, 1, 32, Bytes(8),
         kLoadCorrupt},
        {"65535 x 65535 x 3 x 16", kExplicitLittle, 0xFFFF, 0xFFFF, 3, 16, Bytes(6), kLoadCorrupt},
        {"65535 x 65535 x 1 x 12 (packed)", kExplicitLittle, 0xFFFF, 0xFFFF, 1, 12, Bytes(6),
         kLoadCorrupt},
        {"32768 x 32768 x 1 bit", kExplicitLittle, 0x8000, 0x8000, 1, 1, Bytes(2), kLoadCorrupt},
        {"2^32 samples, big endian", kExplicitBig, 0x8000, 0x8000, 4, 16, Bytes(8), kLoadCorrupt},
        // 12 GB of 24-bit pixels: no picture of that size can be made.
        {"RLE 65535 x 65535 x 3", kRle, 0xFFFF, 0xFFFF, 3, 8,
         Join({Item({}), Item(Bytes(64)), SequenceDelimiter()}), kLoadOutOfMemory},
        {"RLE 65535 x 65535 x 1 x 16", kRle, 0xFFFF, 0xFFFF, 1, 16,
         Join({Item({}), Item(Bytes(64)), SequenceDelimiter()}), kLoadOutOfMemory},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const bool encapsulated = std::string(r.syntax) == kRle;
        ImageBuilder builder(r.syntax);
        builder.Grey(r.rows, r.columns, r.bits, r.bits, false, r.samples == 1 ? "MONOCHROME2" : "RGB", 1,
                     r.samples);
        builder.Raw(0x7FE0, 0x0010, r.bits > 8 && !encapsulated ? "OW" : "OB", r.pixels, encapsulated);
        const Bytes bytes = builder.Build();
        const int result = WithAddressSpaceRoom(256u << 20, [&] { return (int)LoadBytes(bytes); });
        EXPECT_EQ(result, (int)r.result);
    }
}

// A frame count beyond what the file holds is cut to the frames that are
// there; counts no frame source can hold (above 2^20) or below 1 are damage.
TEST_F(HostileDicomTest, FrameCountsTheFileCannotHold) {
    const struct {
        int frames;
        LoadError result;
        int kept;
    } rows[] = {
        {1 << 20, kLoadOk, 3},
        {(1 << 20) + 1, kLoadCorrupt, 0},
        {2147483647, kLoadCorrupt, 0},
        {0, kLoadCorrupt, 0},
        {-1, kLoadCorrupt, 0},
        {-2147483647 - 1, kLoadCorrupt, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.frames);
        const Bytes bytes = ImageBuilder().Grey(2, 2, 8, 8, false, "MONOCHROME2", r.frames)
                                .Raw(0x7FE0, 0x0010, "OB", Bytes(12, 7))
                                .Build();
        ASSERT_EQ(LoadBytes(bytes), r.result);
        if (r.result != kLoadOk) continue;
        ASSERT_NE(Image().frameSource, nullptr);
        EXPECT_EQ(Image().frameSource->frameCount, r.kept);
    }
}

// ---- pixel data shorter than the geometry ---------------------------------------

TEST_F(HostileDicomTest, PixelDataShorterThanTheGeometry) {
    // The file ends inside the first frame: refused.
    EXPECT_EQ(LoadBytes(ImageBuilder().Grey(4, 4, 8, 8).Raw(0x7FE0, 0x0010, "OB", Bytes(10, 9)).Build()),
              kLoadCorrupt);
    EXPECT_EQ(LoadBytes(ImageBuilder().Grey(4, 4, 16, 12).Raw(0x7FE0, 0x0010, "OW", Bytes(31, 9)).Build()),
              kLoadCorrupt);
    EXPECT_EQ(LoadBytes(ImageBuilder().Grey(4, 4, 8, 8, false, "RGB", 1, 3)
                            .Raw(0x7FE0, 0x0010, "OB", Bytes(47, 9)).Build()),
              kLoadCorrupt);
    // A short value followed by more of the file: the frame is read from
    // the bytes that are there (its own and those behind it), never beyond.
    Bytes shortValue = ImageBuilder().Grey(4, 4, 8, 8).Raw(0x7FE0, 0x0010, "OB", Bytes(10, 9)).Build();
    shortValue.insert(shortValue.end(), 6, 5);
    ASSERT_EQ(LoadBytes(shortValue), kLoadOk);
    EXPECT_EQ(PictureBytes(Image()), Join({Bytes(10, 9), Bytes(6, 5)}));
    // An RLE segment shorter than the plane leaves the rest black.
    ByteWriter rle;
    rle.u32(1).u32(64);
    for (int i = 0; i < 14; ++i) rle.u32(0);
    rle.raw({0x01, 200, 201});  // two of sixteen pixels
    ASSERT_EQ(LoadBytes(ImageBuilder(kRle).Grey(4, 4, 8, 8)
                            .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(rle.data), SequenceDelimiter()}),
                                 true)
                            .Build()),
              kLoadOk);
    Bytes expected(16, 0);
    expected[0] = 200;
    expected[1] = 201;
    EXPECT_EQ(PictureBytes(Image()), expected);
}

// ---- offset tables and fragments ------------------------------------------------

// Two RLE frames behind a basic offset table, with the table's length, one of
// its entries or a fragment's length forged: a length or offset outside the
// data refuses the frame it belongs to (8), before anything of that size is
// read or allocated; the other frame still decodes.
TEST_F(HostileDicomTest, OffsetTablesAndFragmentsOutsideTheItem) {
    ByteWriter rle;
    rle.u32(1).u32(64);
    for (int i = 0; i < 14; ++i) rle.u32(0);
    rle.raw({0x03, 1, 2, 3, 4, 0});  // four pixels and a padding byte
    const Bytes frame = rle.data;
    const uint32_t second = 8 + (uint32_t)frame.size();
    auto file = [&](uint32_t tableLength, uint32_t entry1, uint32_t length0, uint32_t length1) {
        ByteWriter table;
        table.implicitHeader(0xFFFE, 0xE000, tableLength).u32(0).u32(entry1);
        ByteWriter items;
        items.implicitHeader(0xFFFE, 0xE000, length0);
        items.data.insert(items.data.end(), frame.begin(), frame.end());
        items.implicitHeader(0xFFFE, 0xE000, length1);
        items.data.insert(items.data.end(), frame.begin(), frame.end());
        return ImageBuilder(kRle).Grey(2, 2, 8, 8, false, "MONOCHROME2", 2)
            .Raw(0x7FE0, 0x0010, "OB", Join({table.data, items.data, SequenceDelimiter()}), true)
            .Build();
    };
    const uint32_t n = (uint32_t)frame.size();
    const struct {
        const char* what;
        Bytes bytes;
        LoadError load;
        int frame1;  // LoadFrame of the second frame, when the load succeeds
    } rows[] = {
        {"as written", file(8, second, n, n), kLoadOk, 0},
        {"table length 4 GB - 2", file(0xFFFFFFFEu, second, n, n), kLoadCorrupt, 0},
        {"table length 2 GB", file(0x80000000u, second, n, n), kLoadCorrupt, 0},
        {"table length 12 (three entries)", file(12, second, n, n), kLoadCorrupt, 0},
        {"entry far outside", file(8, 0xFFFFFFF0u, n, n), kLoadCorrupt, 0},
        {"entry into the first fragment", file(8, 20, n, n), kLoadOk, 8},
        {"second fragment of 4 GB - 16", file(8, second, n, 0xFFFFFFF0u), kLoadOk, 8},
        {"second fragment of undefined length", file(8, second, n, 0xFFFFFFFFu), kLoadOk, 8},
        {"first fragment of 2 GB", file(8, second, 0x80000000u, n), kLoadCorrupt, 0},
        {"first fragment one byte too long", file(8, second, n + 1, n), kLoadOk, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const std::u16string path = Put(r.bytes);
        const int result = WithAddressSpaceRoom(64u << 20, [&] {
            if (!LoadThroughLibrary(path)) return (int)file_image_.lastError;
            return 50 + LoadFrame(path, 1);
        });
        EXPECT_EQ(result, r.load == kLoadOk ? 50 + r.frame1 : (int)r.load);
    }
}

// RLE headers through the whole load: segment counts of 0, 16 and 4 G - 1,
// and offsets past the frame, give 8 for the frame (the decoder's own table
// of header faults is in compressed_frames_test.cpp).
TEST_F(HostileDicomTest, RleHeadersOutsideTheFrame) {
    auto header = [](uint32_t count, std::vector<uint32_t> offsets) {
        ByteWriter w;
        w.u32(count);
        for (int i = 0; i < 15; ++i) w.u32(i < (int)offsets.size() ? offsets[(size_t)i] : 0);
        w.raw({0x03, 1, 2, 3, 4, 0});
        return w.data;
    };
    const struct {
        const char* what;
        Bytes frame;
        LoadError result;
    } rows[] = {
        {"one segment", header(1, {64}), kLoadOk},
        {"no segment", header(0, {64}), kLoadCorrupt},
        {"16 segments", header(16, {64, 65, 66, 67, 68, 69, 70, 71, 72, 73, 74, 75, 76, 77, 78}), kLoadCorrupt},
        {"4 G - 1 segments", header(0xFFFFFFFFu, {64}), kLoadCorrupt},
        {"offset past the frame", header(1, {70}), kLoadCorrupt},
        {"offset 4 G - 1", header(1, {0xFFFFFFFFu}), kLoadCorrupt},
        {"second offset past the frame", header(2, {64, 0x80000000u}), kLoadCorrupt},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const Bytes bytes = ImageBuilder(kRle).Grey(2, 2, 8, 8)
                                .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(r.frame), SequenceDelimiter()}), true)
                                .Build();
        EXPECT_EQ(LoadFile(bytes), r.result);
    }
}

// ---- palettes ------------------------------------------------------------------

// Descriptors that disagree with their data and samples past the table: the
// picture is made from the data that is there. Samples beyond the last entry
// of a table that goes into 24 bits take that entry; in an 8-bit palette
// image they index the unused rest of its 256-entry colour table.
TEST_F(HostileDicomTest, PaletteTablesThatDisagreeWithTheirData) {
    auto palette = [](uint16_t bits, std::initializer_list<uint16_t> descriptor, std::vector<uint16_t> red,
                      Bytes pixels) {
        return ImageBuilder().Grey(1, (uint16_t)(pixels.size() / (bits / 8)), bits, bits, false, "PALETTE COLOR")
            .Us(0x1101, descriptor).Us(0x1102, descriptor).Us(0x1103, descriptor)
            .Words(0x0028, 0x1201, "OW", red)
            .Words(0x0028, 0x1202, "OW", red)
            .Words(0x0028, 0x1203, "OW", red)
            .Raw(0x7FE0, 0x0010, bits == 8 ? "OB" : "OW", pixels)
            .Build();
    };
    const struct {
        const char* what;
        Bytes file;
        int bitsPerPixel;
        Bytes picture;  // 8 bits: the indices; 24 bits: blue, green, red
    } rows[] = {
        // 256 entries declared, 2 present: the rest repeat the last one.
        {"8-bit, two of 256 entries", palette(8, {256, 0, 16}, {0x1000, 0x2000}, {0, 1, 200, 255}), 8,
         {0, 1, 200, 255}},
        // 4 entries: indices past them stay indices of the 8-bit image.
        {"8-bit, indices past 4 entries", palette(8, {4, 0, 16}, {0x1000, 0x2000, 0x3000, 0x4000}, {3, 4, 255, 0}),
         8, {3, 4, 255, 0}},
        // 65536 entries declared (0), one word present, samples beyond it.
        {"16-bit, one of 65536 entries", palette(16, {0, 0, 16}, {0x8000}, Le16({0, 1, 65535})), 24,
         Bytes(9, 0x80)},
        // A first mapped value above every sample: all take the first entry.
        {"16-bit, first mapped above the samples", palette(16, {3, 60000, 16}, {0x1000, 0x2000, 0x3000},
                                                            Le16({0, 59999, 60002, 65535})),
         24, Join({Bytes(3, 0x10), Bytes(3, 0x10), Bytes(3, 0x30), Bytes(3, 0x30)})},
        // 8 bits per entry declared over words that hold bytes.
        {"16-bit, byte entries in words", palette(16, {2, 0, 8}, {0x00FF, 0x0010}, Le16({0, 1, 2})), 24,
         Join({Bytes(3, 0xFF), Bytes(3, 0x10), Bytes(3, 0x10)})},
        // Descriptors of the wrong multiplicity are ignored: the data is read
        // as a table of bytes (its words 0x1000, 0x2000 as 00 10 00 20).
        {"descriptor of two values", palette(16, {2, 0}, {0x1000, 0x2000}, Le16({0, 1, 3})), 24,
         Join({Bytes(3, 0x00), Bytes(3, 0x10), Bytes(3, 0x20)})},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ASSERT_EQ(LoadBytes(r.file), kLoadOk);
        ASSERT_EQ(Image().header->biBitCount, r.bitsPerPixel);
        EXPECT_EQ(PictureBytes(Image()), r.picture);
    }
    // Entries past a short 8-bit palette's table never read its data.
    ASSERT_EQ(LoadBytes(rows[0].file), kLoadOk);
    const RGBQUAD* table = ColourTable(Image().header);
    EXPECT_EQ(table[0].rgbRed, 0x10);
    EXPECT_EQ(table[1].rgbRed, 0x20);
    EXPECT_EQ(table[255].rgbRed, 0x20);
}

// ---- compressed frames that disagree with the data set ---------------------------

// A pydicom test file with its Rows, Columns or Bits Allocated replaced: the
// frame's own header then disagrees with the data set, which is refused (8)
// before a sample is written.
class MismatchedFrames : public HostileDicomTest {
protected:
    // Replaces the US value of (0028,element) in an explicit little-endian file.
    static bool Patch(Bytes* bytes, uint16_t element, uint16_t value) {
        const uint8_t tag[] = {0x28, 0x00, (uint8_t)element, (uint8_t)(element >> 8), 'U', 'S', 2, 0};
        auto at = std::search(bytes->begin(), bytes->end(), std::begin(tag), std::end(tag));
        if (at == bytes->end()) return false;
        at[8] = (uint8_t)value;
        at[9] = (uint8_t)(value >> 8);
        return true;
    }
};

TEST_F(MismatchedFrames, FrameSizeOrPrecisionDisagreesWithTheDataSet) {
    const struct {
        const char* file;
        uint16_t element;
        uint16_t value;
        LoadError result;
    } rows[] = {
        {"SC_rgb_jpeg_dcmtk.dcm", 0x0010, 0, kLoadOk},  // untouched (the value is ignored)
        {"SC_rgb_jpeg_dcmtk.dcm", 0x0010, 99, kLoadCorrupt},   // rows
        {"SC_rgb_jpeg_dcmtk.dcm", 0x0011, 101, kLoadCorrupt},  // columns
        {"SC_rgb_jpeg_dcmtk.dcm", 0x0011, 65535, kLoadCorrupt},
        {"JPEG-lossy.dcm", 0x0010, 1, kLoadCorrupt},  // 12-bit extended
        {"JPGExtended.dcm", 0x0011, 2, kLoadCorrupt},
        {"MR_small_RLE.dcm", 0x0010, 63, kLoadOk},  // RLE: the geometry is the data set's
        {"SC_rgb_rle.dcm", 0x0100, 16, kLoadCorrupt},  // 3 segments, 6 needed for 16 bits
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.file) + " " + std::to_string(r.element) + "=" + std::to_string(r.value));
        Bytes bytes = ReadHostFile(PydicomTestFile(r.file));
        ASSERT_FALSE(bytes.empty());
        if (r.value != 0) {
            ASSERT_TRUE(Patch(&bytes, r.element, r.value));
        }
        const int result = WithAddressSpaceRoom(256u << 20, [&] { return (int)LoadBytes(bytes); });
        EXPECT_EQ(result, (int)r.result);
    }
}

// A JPEG frame and its data set both claiming 3000 x 3000 pixels over the
// data of a 100 x 100 picture: the decode stops soon after the data ends
// instead of making nine million pixels from nothing, and the rows it does
// not reach are black.
TEST_F(MismatchedFrames, JpegFrameWhoseDataEndsEarly) {
    Bytes bytes = ReadHostFile(PydicomTestFile("SC_rgb_jpeg_dcmtk.dcm"));
    ASSERT_TRUE(Patch(&bytes, 0x0010, 3000));
    ASSERT_TRUE(Patch(&bytes, 0x0011, 3000));
    const uint8_t sof[] = {0xFF, 0xC0};
    auto at = std::search(bytes.begin(), bytes.end(), std::begin(sof), std::end(sof));
    ASSERT_NE(at, bytes.end());
    at[5] = at[7] = 3000 >> 8;
    at[6] = at[8] = 3000 & 0xFF;
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    ASSERT_EQ(Image().header->biWidth, 3000);
    const Bytes picture = PictureBytes(Image());
    EXPECT_EQ(Bytes(picture.end() - 3000 * 3, picture.end()), Bytes(3000 * 3, 0));
    EXPECT_NE(Bytes(picture.begin(), picture.begin() + 300), Bytes(300, 0));
}

// A hand-made 2 x 2 lossless frame of 16-bit precision under data sets that
// say otherwise: another size is refused; other depths and sample counts
// decode through the window (the frame's own precision rules).
TEST_F(HostileDicomTest, LosslessFrameThatDisagreesWithTheDataSet) {
    const Bytes frame = LosslessFrame(16, 2, 2, 1, {32767, 1, 0, 5});
    const struct {
        const char* what;
        uint16_t rows, columns, bits, samples;
        LoadError result;
    } rows[] = {
        {"as coded", 2, 2, 16, 1, kLoadOk},
        {"one row more", 3, 2, 16, 1, kLoadCorrupt},
        {"one column less", 2, 1, 16, 1, kLoadCorrupt},
        {"65535 rows", 65535, 2, 16, 1, kLoadCorrupt},
        {"8 bits allocated", 2, 2, 8, 1, kLoadOk},
        {"three samples", 2, 2, 16, 3, kLoadOk},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const Bytes bytes = ImageBuilder("1.2.840.10008.1.2.4.70")
                                .Grey(r.rows, r.columns, r.bits, r.bits, false, r.samples == 1 ? "MONOCHROME2" : "RGB",
                                      1, r.samples)
                                .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(frame), SequenceDelimiter()}), true)
                                .Build();
        EXPECT_EQ(LoadBytes(bytes), r.result);
    }
}

// ---- sequences -------------------------------------------------------------------

// Sequences nested far deeper than the reader's 255 levels, of undefined and
// of defined length, before the image attributes: read without recursion, so
// that no depth exhausts the stack; the data set's own attributes after the
// nest are found again.
TEST_F(HostileDicomTest, SequencesNestedFarDeeperThan255Levels) {
    constexpr int kDepth = 100000;
    // Undefined lengths, each level closed by its item and sequence delimiters.
    ByteWriter open;
    for (int i = 0; i < kDepth; ++i) {
        open.explicitHeader(0x0008, 0x1140, "SQ", kUndefinedLength);
        open.implicitHeader(0xFFFE, 0xE000, kUndefinedLength);
    }
    for (int i = 0; i < kDepth; ++i) {
        open.implicitHeader(0xFFFE, 0xE00D, 0);
        open.implicitHeader(0xFFFE, 0xE0DD, 0);
    }
    // Defined lengths, each sequence holding one item holding the next: the
    // sequence at depth i holds 8 + 20 (kDepth - 1 - i) bytes.
    ByteWriter nested;
    for (int i = 0; i < kDepth; ++i) {
        const uint32_t inner = 20u * (uint32_t)(kDepth - 1 - i);
        nested.explicitHeader(0x0008, 0x1140, "SQ", 8 + inner);
        nested.implicitHeader(0xFFFE, 0xE000, inner);
    }
    const Bytes& defined = nested.data;
    const Bytes* const nests[] = {&open.data, &defined};
    for (const Bytes* nest : nests) {
        SCOPED_TRACE(nest == &defined ? "defined lengths" : "undefined lengths");
        const Bytes bytes = ImageBuilder().Raw(0x0008, 0x1140, "SQ", {})  // placeholder, replaced below
                                .Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", {40, 50}).Build();
        // The nest goes where the empty placeholder sequence is.
        const uint8_t empty[] = {0x08, 0x00, 0x40, 0x11, 'S', 'Q', 0, 0, 0, 0, 0, 0};
        auto at = std::search(bytes.begin(), bytes.end(), std::begin(empty), std::end(empty));
        ASSERT_NE(at, bytes.end());
        Bytes file(bytes.begin(), at);
        file.insert(file.end(), nest->begin(), nest->end());
        file.insert(file.end(), at + sizeof empty, bytes.end());

        ASSERT_EQ(LoadBytes(file), kLoadOk);
        EXPECT_EQ(PictureBytes(Image()), (Bytes{40, 50}));
        EXPECT_FALSE(InfoList(file).empty());
    }
}

// Elements whose VR is not what the dictionary expects: a sequence tag
// carrying bytes (explicit VR), bytes where a sequence's items should be
// (implicit VR, where the dictionary makes the tag a sequence), image
// attributes carried as sequences, and pixel data as a sequence.
TEST_F(HostileDicomTest, ElementsOfAnotherVrThanExpected) {
    const Bytes pixels = {40, 50};
    const struct {
        const char* what;
        Bytes file;
        LoadError result;
    } rows[] = {
        {"sequence tag as OB", ImageBuilder().Raw(0x0008, 0x1140, "OB", Bytes(16, 0xFE))
                                   .Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadOk},
        {"sequence tag as US", ImageBuilder().Words(0x0008, 0x1140, "US", {1, 2, 3})
                                   .Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadOk},
        // The dictionary makes the tag a sequence: its text, read as the
        // elements of the sequence, ends the data set.
        {"implicit: sequence tag holding text", ImageBuilder(kImplicitLittle)
                                                     .Text(0x0008, 0x1140, "UI", "1.2.3.4.5.6.7.8.9")
                                                     .Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", pixels)
                                                     .Build(),
         kLoadCorrupt},
        // An item claiming 2 GB inside a sequence of 8 bytes: the sequence
        // closes with its own length, and the data set goes on.
        {"implicit: sequence tag holding an item header that runs past it",
         ImageBuilder(kImplicitLittle)
             .Raw(0x0008, 0x1140, "SQ", {0xFE, 0xFF, 0x00, 0xE0, 0xFF, 0xFF, 0xFF, 0x7F})
             .Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadOk},
        {"rows as a sequence", ImageBuilder().Us(0x0002, {1}).Text(0x0028, 0x0004, "CS", "MONOCHROME2")
                                   .Raw(0x0028, 0x0010, "SQ", Join({Item(Le16({1})), SequenceDelimiter()}), true)
                                   .Us(0x0011, {2}).Us(0x0100, {8}).Us(0x0101, {8})
                                   .Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadCorrupt},
        // A sequence gives no table; its item, which holds no elements,
        // ends the data set.
        {"palette data as a sequence",
         ImageBuilder().Grey(1, 2, 8, 8, false, "PALETTE COLOR").Us(0x1101, {2, 0, 16})
             .Raw(0x0028, 0x1201, "SQ", Join({Item(Le16({1, 2})), SequenceDelimiter()}), true)
             .Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadCorrupt},
        // The same with an empty item: no table, and the picture is grey.
        {"palette data as an empty sequence",
         ImageBuilder().Grey(1, 2, 8, 8, false, "PALETTE COLOR").Us(0x1101, {2, 0, 16})
             .Raw(0x0028, 0x1201, "SQ", Join({Item({}), SequenceDelimiter()}), true)
             .Raw(0x7FE0, 0x0010, "OB", pixels).Build(),
         kLoadOk},
        {"pixel data as a sequence", ImageBuilder().Grey(1, 2, 8, 8)
                                         .Raw(0x7FE0, 0x0010, "SQ", Join({Item(pixels), SequenceDelimiter()}), true)
                                         .Build(),
         kLoadCorrupt},
        {"pixel data as text", ImageBuilder().Grey(1, 2, 8, 8).Raw(0x7FE0, 0x0010, "CS", {'A', 'B'}).Build(),
         kLoadOk},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(LoadBytes(r.file), r.result);
        InfoList(r.file);
        EXPECT_EQ(LoadFile(r.file), r.result);
    }
}

// ---- the memory a forged size may cost ------------------------------------------------

// A picture larger than the memory the system can give fails with 1, before
// its memory is touched; the ceiling stands in for a device's small memory.
TEST_F(HostileDicomTest, PicturesBeyondTheMemoryCeilingFailWithOutOfMemory) {
    SetImageMemoryCeiling(4u << 20);
    const Bytes rle = [] {
        ByteWriter w;
        w.u32(1).u32(64);
        for (int i = 0; i < 14; ++i) w.u32(0);
        w.raw({0x81, 7});
        return w.data;
    }();
    // 3000 x 3000 grey (9 MB) and 1000 x 2000 RGB (6 MB), RLE-coded in a few
    // bytes; 1000 x 1000 grey (1 MB) fits.
    EXPECT_EQ(LoadFile(ImageBuilder(kRle).Grey(3000, 3000, 8, 8)
                           .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(rle), SequenceDelimiter()}), true)
                           .Build()),
              kLoadOutOfMemory);
    EXPECT_EQ(LoadFile(ImageBuilder(kRle).Grey(1000, 2000, 8, 8, false, "RGB", 1, 3)
                           .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(rle), SequenceDelimiter()}), true)
                           .Build()),
              kLoadOutOfMemory);
    EXPECT_EQ(LoadFile(ImageBuilder(kRle).Grey(1000, 1000, 8, 8)
                           .Raw(0x7FE0, 0x0010, "OB", Join({Item({}), Item(rle), SequenceDelimiter()}), true)
                           .Build()),
              kLoadOk);
    EXPECT_EQ(file_image_.image.header->biWidth, 1000);
}

// ---- lossless predictions -------------------------------------------------------------

// Hand-made 16-bit lossless frames of two rows: the second row's samples come
// from predictors 5-7 on values near the top of the range, where the
// prediction exceeds 16 bits and the sum wraps modulo 65536. The expected
// samples are worked out by hand from T.81's formulas.
TEST(HostileLosslessFrames, SixteenBitPredictionsWrapModulo65536) {
    const struct {
        int predictor;
        std::vector<int> differences;
        std::vector<uint16_t> samples;
    } rows[] = {
        // Row 0: 32768 + 32767 = 65535, then 65535 + 1 = 0; row 1: 65535.
        // P5: Ra + ((Rb - Rc) >> 1) = 65535 + (-65535 >> 1) = 65535 - 32768
        //     = 32767 (the shift rounds down); + 5 = 32772.
        {5, {32767, 1, 0, 5}, {65535, 0, 65535, 32772}},
        // Row 0: 32768 + 32768 = 0 (category 16), then 0 - 1 = 65535; row 1:
        // 0 - 1 = 65535. P5: 65535 + ((65535 - 0) >> 1) = 98302, beyond 16
        // bits; + 3 = 98305 = 32769 modulo 65536.
        {5, {32768, -1, -1, 3}, {0, 65535, 65535, 32769}},
        // The same samples, P6: Rb + ((Ra - Rc) >> 1) = 65535 + 32767 = 98302;
        // - 2 = 98300 = 32764 modulo 65536.
        {6, {32768, -1, -1, -2}, {0, 65535, 65535, 32764}},
        // P7: (Ra + Rb) >> 1 on 65535 and 65534 = 131069 >> 1 = 65534 (the
        // sum is not cut to 16 bits first, which would give 32766); - 2 =
        // 65532.
        {7, {32767, -1, 0, -2}, {65535, 65534, 65535, 65532}},
        // P7: (65535 + 65535) >> 1 = 65535; + 1 wraps to 0.
        {7, {32767, 0, 0, 1}, {65535, 65535, 65535, 0}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.predictor);
        const Bytes data = LosslessFrame(16, 2, 2, r.predictor, r.differences);
        std::vector<uint16_t> samples(4, 0xAAAA);
        LosslessDestination dest;
        dest.pixels = reinterpret_cast<uint8_t*>(samples.data());
        dest.size = samples.size() * 2;
        dest.width = 2;
        dest.height = 2;
        dest.samplesPerPixel = 1;
        dest.form = LosslessSampleForm::kFull16;
        ASSERT_EQ(DecodeLossless(data.data(), data.size(), dest), kLosslessOk);
        EXPECT_EQ(samples, r.samples);
    }
}

}  // namespace
