// Tests of the compressed frame decoders (JPEG, lossless JPEG, RLE) and of
// fragment joining: files that DCMTK and GDCM encoded from uncompressed
// originals (make_compressed_fixtures.sh, run once per script version into a
// temporary folder) decode to pydicom's samples of the original through the
// same window, frame by frame through hand-built frame sources and whole
// files through the DICOM handler; hand-made hostile data fails cleanly.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dicom/dicom_handler.h"
#include "dicom/frame_decoders.h"
#include "dicom/frame_fragments.h"
#include "dicom/jpeg_frame.h"
#include "dicom/rle_frame.h"
#include "dicom_test_util.h"
#include "image/file_type_table.h"
#include "image/format_handler.h"
#include "image/frame_source.h"
#include "image/image_library.h"
#include "image/rimage.h"
#include "view/display_adjustment.h"

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The fixtures.

struct SourceRow {
    std::string name;
    int frames, rows, columns, samplesPerPixel, bitsAllocated, bitsStored, signedSamples,
        photometric;
};

struct CaseRow {
    std::string name, source, check;
    int pointTransform;
    std::string window;
};

class Fixtures {
public:
    // Made once per version of the scripts and shared by the test
    // processes: into a private folder first, then renamed into place.
    static Fixtures& Get() {
        static Fixtures fixtures;
        return fixtures;
    }

    int status = -1;  // the script's exit status; 77: a tool is missing
    fs::path dir;
    std::vector<SourceRow> sources;
    std::vector<CaseRow> cases;

    const SourceRow* Source(const std::string& name) const {
        for (const SourceRow& row : sources) {
            if (row.name == name) return &row;
        }
        return nullptr;
    }
    const CaseRow* Case(const std::string& name) const {
        for (const CaseRow& row : cases) {
            if (row.name == name) return &row;
        }
        return nullptr;
    }
    std::string Path(const std::string& name) const { return (dir / (name + ".dcm")).string(); }

    // pydicom's samples of a source: every frame, rows top first, samples
    // interleaved, signed sources sign-extended.
    std::vector<int32_t> Original(const SourceRow& row) const {
        const Bytes raw = ReadHostFile((dir / (row.name + ".u16")).string());
        std::vector<int32_t> samples(raw.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            const uint16_t word = (uint16_t)(raw[2 * i] | raw[2 * i + 1] << 8);
            samples[i] = row.signedSamples ? (int32_t)(int16_t)word : (int32_t)word;
        }
        return samples;
    }

private:
    Fixtures() {
        const fs::path here = fs::path(__FILE__).parent_path();
        const fs::path script = here / "make_compressed_fixtures.sh";
        Bytes text = ReadHostFile(script.string());
        const Bytes helper = ReadHostFile((here / "make_lossless_fixtures.py").string());
        text.insert(text.end(), helper.begin(), helper.end());
        const size_t hash = std::hash<std::string>()(std::string(text.begin(), text.end()));
        std::ostringstream name;
        name << "kestrava-compressed-fixtures-" << std::hex << hash;
        dir = fs::temp_directory_path() / name.str();
        if (!fs::exists(dir / "cases.tsv")) {
            fs::path work = dir;
            work += ".tmp" + std::to_string(getpid());
            fs::remove_all(work);
            const std::string command = "bash '" + script.string() + "' '" + work.string() + "'";
            const int result = std::system(command.c_str());
            status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
            if (status != 0) {
                fs::remove_all(work);
                return;
            }
            std::error_code error;
            fs::rename(work, dir, error);
            if (error) fs::remove_all(work);  // another process got there first
        }
        status = 0;
        std::ifstream sourceList(dir / "sources.tsv");
        SourceRow s;
        while (sourceList >> s.name >> s.frames >> s.rows >> s.columns >> s.samplesPerPixel >>
               s.bitsAllocated >> s.bitsStored >> s.signedSamples >> s.photometric) {
            sources.push_back(s);
        }
        std::ifstream caseList(dir / "cases.tsv");
        CaseRow c;
        while (caseList >> c.name >> c.source >> c.check >> c.pointTransform >> c.window) {
            cases.push_back(c);
        }
    }
};

// ---------------------------------------------------------------------------
// Frame sources built by hand from a file's bytes, as the handler builds
// them: the transfer syntax, and each frame's first fragment from the basic
// offset table or, without one, from the fragments themselves.

uint32_t Le32(const Bytes& b, size_t at) {
    return (uint32_t)b[at] | (uint32_t)b[at + 1] << 8 | (uint32_t)b[at + 2] << 16 |
           (uint32_t)b[at + 3] << 24;
}

size_t Find(const Bytes& b, const std::string& text, size_t from = 0) {
    const Bytes pattern(text.begin(), text.end());
    const auto it = std::search(b.begin() + (std::ptrdiff_t)from, b.end(), pattern.begin(), pattern.end());
    return it == b.end() ? std::string::npos : (size_t)(it - b.begin());
}

struct HandFile {
    int syntax = UnknownSyntax;
    std::vector<uint32_t> offsets;  // each frame's first fragment item
};

HandFile ParseHand(const Bytes& b, int frames) {
    HandFile hand;
    const size_t ts = Find(b, std::string("\x02\x00\x10\x00UI", 6));
    if (ts != std::string::npos) {
        std::string uid(b.begin() + (std::ptrdiff_t)ts + 8,
                        b.begin() + (std::ptrdiff_t)(ts + 8 + (b[ts + 6] | b[ts + 7] << 8)));
        while (!uid.empty() && (uid.back() == '\0' || uid.back() == ' ')) uid.pop_back();
        hand.syntax = dicom_transfer_syntax(uid.c_str());
    }
    const size_t pixel = Find(b, std::string("\xE0\x7F\x10\x00OB\x00\x00\xFF\xFF\xFF\xFF", 12));
    if (pixel == std::string::npos) return hand;
    const size_t table = pixel + 12;
    const uint32_t tableLength = Le32(b, table + 4);
    const size_t first = table + 8 + tableLength;
    if (tableLength > 0) {
        for (uint32_t i = 0; i < tableLength / 4; ++i) {
            hand.offsets.push_back((uint32_t)(first + Le32(b, table + 8 + 4 * i)));
        }
        return hand;
    }
    std::vector<uint32_t> all, images;
    for (size_t at = first; at + 8 <= b.size() && Le32(b, at) == 0xE000FFFEu;) {
        all.push_back((uint32_t)at);
        if (at + 10 <= b.size() && b[at + 8] == 0xFF && b[at + 9] == 0xD8) images.push_back((uint32_t)at);
        at += 8 + (size_t)Le32(b, at + 4);
    }
    if ((int)all.size() == frames) {
        hand.offsets = all;
    } else if ((int)images.size() == frames) {
        hand.offsets = images;
    } else if (!all.empty()) {
        hand.offsets = {all[0]};
    }
    return hand;
}

FrameFetchFn FetchFor(int syntax) {
    switch (syntax) {
        case JpegLossless: return FetchLosslessFrame;
        case RleLossless: return FetchRleFrame;
        default: return FetchJpegFrame;  // and every syntax the handler refuses
    }
}

struct SourceDeleter {
    void operator()(FrameSource* source) const { FreeFrameSource(source); }
};
using SourcePtr = std::unique_ptr<FrameSource, SourceDeleter>;

SourcePtr MakeSource(int width, int height, int samplesPerPixel, const std::vector<uint32_t>& offsets) {
    SourcePtr source(AllocateFrameSource((int)std::max<size_t>(offsets.size(), 1)));
    source->width = width;
    source->height = height;
    source->bitsPerPixel = samplesPerPixel == 3 ? 24 : 8;
    for (size_t i = 0; i < offsets.size(); ++i) source->Slots()[i].offset = offsets[i];
    return source;
}

// The adjustment as the handler fills it from the data set, with the test's
// window: "range" spans the original's samples, "narrow" a third of them
// (many samples clip), "none" leaves the choice to the file.
void SetUpAdjustment(DisplayAdjustment* a, const SourceRow& row, const std::string& window,
                     const std::vector<int32_t>& original) {
    InitAdjustment(a);
    a->rows = (SHORT)row.rows;
    a->columns = (SHORT)row.columns;
    a->samplesPerPixel = (WORD)row.samplesPerPixel;
    a->bitsAllocated = (WORD)row.bitsAllocated;
    a->bitsStored = (WORD)row.bitsStored;
    a->highBit = (SHORT)(row.bitsStored - 1);
    a->pixelRepresentation = (WORD)row.signedSamples;
    a->photometric = (DWORD)row.photometric;
    a->bytesPerSample = row.bitsAllocated > 8 ? 2 : 1;
    const int32_t n = 1 << (row.bitsStored - row.signedSamples);
    a->maxValue = n;
    a->minValue = row.signedSamples ? -n : 0;
    a->smallest = a->minValue;
    a->largest = a->maxValue;
    if (window == "none" || original.empty()) return;
    const auto [lo, hi] = std::minmax_element(original.begin(), original.end());
    a->center = (*lo + *hi) / 2;
    a->width = window == "range" ? *hi - *lo + 1 : std::max((*hi - *lo) / 3, 2);
    a->fileCenter = a->center;
    a->fileWidth = a->width;
}

// The 8-bit image the window makes of the original's samples of one frame:
// the reference the decoders are held to.
std::vector<BYTE> Expected(const DisplayAdjustment& a, const SourceRow& row, int pointTransform,
                           const std::vector<int32_t>& original, int frame) {
    const int spp = row.samplesPerPixel == 3 ? 3 : 1;
    const size_t stride = (size_t)DibRowStride(row.columns, spp * 8);
    std::vector<BYTE> out(stride * (size_t)row.rows, 0);
    const bool inverted = spp == 1 && a.photometric == 1;
    for (int y = 0; y < row.rows; ++y) {
        for (int x = 0; x < row.columns; ++x) {
            for (int c = 0; c < spp; ++c) {
                int32_t v = original[(((size_t)frame * row.rows + y) * row.columns + x) * spp + c];
                if (pointTransform > 0) v = (v >> pointTransform) << pointTransform;
                BYTE m;
                if (a.width == 0) {
                    m = (BYTE)v;
                } else if (v < a.low) {
                    m = 0;
                } else if (v >= a.high) {
                    m = 255;
                } else {
                    m = (BYTE)(int32_t)((float)(v - a.low) * a.scale);
                }
                if (inverted) m = (BYTE)(255 - m);
                const size_t at = (size_t)(row.rows - 1 - y) * stride + (spp == 3 ? (size_t)x * 3 + 2 - c : (size_t)x);
                out[at] = m;
            }
        }
    }
    return out;
}

struct Difference {
    size_t count = 0;      // pixels bytes that differ
    double mean = 0;       // mean absolute difference
    int largest = 0;
    size_t firstAt = 0;
};

Difference Compare(const std::vector<BYTE>& got, const std::vector<BYTE>& want, const SourceRow& row) {
    Difference d;
    const int spp = row.samplesPerPixel == 3 ? 3 : 1;
    const size_t stride = (size_t)DibRowStride(row.columns, spp * 8);
    const size_t rowBytes = (size_t)row.columns * spp;
    double total = 0;
    for (int y = 0; y < row.rows; ++y) {
        for (size_t i = 0; i < rowBytes; ++i) {
            const size_t at = (size_t)y * stride + i;
            const int diff = std::abs((int)got[at] - (int)want[at]);
            if (diff != 0 && d.count++ == 0) d.firstAt = at;
            d.largest = std::max(d.largest, diff);
            total += diff;
        }
    }
    d.mean = total / (double)(rowBytes * (size_t)row.rows);
    return d;
}

// What lossy coding (quality 95, fast DCT, no fancy upsampling) may change.
constexpr double kLossyMean = 2.5;
constexpr int kLossyLargest = 16;
// The colour conversion's rounding.
constexpr int kYbrLargest = 2;

void ExpectMatches(const CaseRow& c, const SourceRow& row, const std::vector<BYTE>& got,
                   const std::vector<BYTE>& want, int frame) {
    const Difference d = Compare(got, want, row);
    if (c.check == "exact") {
        EXPECT_EQ(d.count, 0u) << "frame " << frame << ": first difference at byte " << d.firstAt
                               << " (" << (int)got[d.firstAt] << " for " << (int)want[d.firstAt]
                               << "), largest " << d.largest;
    } else if (c.check == "ybr") {
        EXPECT_LE(d.largest, kYbrLargest) << "frame " << frame;
    } else {
        EXPECT_LE(d.mean, kLossyMean) << "frame " << frame << ", largest " << d.largest;
        EXPECT_LE(d.largest, kLossyLargest) << "frame " << frame << ", mean " << d.mean;
    }
}

class CompressedFrames : public DicomFileTest {
protected:
    void SetUp() override {
        DicomFileTest::SetUp();
        const Fixtures& f = Fixtures::Get();
        if (f.status == 77) GTEST_SKIP() << "DCMTK or GDCM tools are not installed";
        ASSERT_EQ(f.status, 0) << "make_compressed_fixtures.sh failed";
        ASSERT_FALSE(f.cases.empty());
        ClearAbortFlag();
    }
    void TearDown() override {
        ClearAbortFlag();
        DicomFileTest::TearDown();
    }

    // Decodes frame `index` of an opened file through a hand-built source.
    int FetchByHand(HANDLE file, FrameFetchFn fetch, FrameSource* source, DisplayAdjustment* a,
                    int index, std::vector<BYTE>* pixels) {
        const int64_t size = DibImageSize(source->width, source->height, source->bitsPerPixel);
        pixels->assign((size_t)size, 0xA5);  // stride padding included: nothing may stay
        FrameSlot& slot = source->Slots()[index];
        slot.pixels = pixels->data();
        slot.byteSize = (DWORD)size;
        const int result = fetch(file, source, a, index);
        slot.pixels = nullptr;
        return result;
    }

    // The file's bytes, attached to the reader's stream.
    HANDLE OpenCase(const CaseRow& c, Bytes* bytes) {
        *bytes = ReadHostFile(Fixtures::Get().Path(c.name));
        HANDLE file = OpenBytes(*bytes, c.name + ".dcm");
        DicomStream().attach_file(file);
        return file;
    }
};

// ---------------------------------------------------------------------------
// Every fixture, frame by frame.

TEST_F(CompressedFrames, DecodeToTheOriginalThroughTheWindow) {
    const Fixtures& f = Fixtures::Get();
    for (const CaseRow& c : f.cases) {
        if (c.check == "ybr") continue;  // only the handler knows the data set's colour space
        SCOPED_TRACE(c.name);
        const SourceRow* row = f.Source(c.source);
        ASSERT_NE(row, nullptr);
        const std::vector<int32_t> original = f.Original(*row);
        Bytes bytes;
        HANDLE file = OpenCase(c, &bytes);
        const HandFile hand = ParseHand(bytes, row->frames);
        ASSERT_FALSE(hand.offsets.empty());
        SourcePtr source = MakeSource(row->columns, row->rows, row->samplesPerPixel, hand.offsets);
        const FrameFetchFn fetch = FetchFor(hand.syntax);
        if (c.check == "refused") {
            DisplayAdjustment a;
            SetUpAdjustment(&a, *row, c.window, original);
            std::vector<BYTE> pixels;
            EXPECT_EQ(FetchByHand(file, FetchJpegFrame, source.get(), &a, 0, &pixels), 8);
            EXPECT_EQ(FetchByHand(file, FetchLosslessFrame, source.get(), &a, 0, &pixels), 8);
            continue;
        }
        ASSERT_EQ((int)hand.offsets.size(), row->frames);
        // Frames in reverse order: each fetch finds its own fragments.
        for (int frame = row->frames - 1; frame >= 0; --frame) {
            DisplayAdjustment a;
            SetUpAdjustment(&a, *row, c.window, original);
            std::vector<BYTE> pixels;
            ASSERT_EQ(FetchByHand(file, fetch, source.get(), &a, frame, &pixels), 0) << "frame " << frame;
            EXPECT_EQ(a.applied, 1);
            ExpectMatches(c, *row, pixels, Expected(a, *row, c.pointTransform, original, frame), frame);
        }
    }
}

// Whole files through the DICOM handler: the first frame at load, the others
// through the frame source it hangs on the image.
TEST_F(CompressedFrames, WholeFilesThroughTheHandler) {
    const Fixtures& f = Fixtures::Get();
    InstallDicomHandler();
    for (const CaseRow& c : f.cases) {
        SCOPED_TRACE(c.name);
        const SourceRow* row = f.Source(c.source);
        ASSERT_NE(row, nullptr);
        const std::vector<int32_t> original = f.Original(*row);
        Bytes bytes;
        HANDLE file = OpenCase(c, &bytes);
        std::unique_ptr<FormatHandler> handler(CreateFormatHandler(kFormatDicom));
        ASSERT_NE(handler, nullptr);
        DisplayAdjustment a;
        SetUpAdjustment(&a, *row, c.window, original);
        const int32_t center = a.center, width = a.width;
        InitAdjustment(&a);
        a.center = center;
        a.width = width;
        handler->Image().adjustment = &a;
        const LoadError loaded = handler->Load(file, 0);
        if (c.check == "refused") {
            EXPECT_EQ(loaded, kLoadCorrupt);
            continue;
        }
        ASSERT_EQ(loaded, kLoadOk);
        RImage& image = handler->Image();
        FrameSource* source = image.frameSource;
        ASSERT_NE(source, nullptr);
        ASSERT_EQ(source->frameCount, row->frames);
        const size_t size = image.header->biSizeImage;
        std::vector<BYTE> first(image.pixels, image.pixels + size);
        ExpectMatches(c, *row, first, Expected(a, *row, c.pointTransform, original, 0), 0);
        for (int frame = 1; frame < row->frames; ++frame) {
            std::vector<BYTE> pixels(size);
            source->Slots()[frame].pixels = pixels.data();
            ASSERT_EQ(source->fetch(file, source, &a, frame), 0) << "frame " << frame;
            source->Slots()[frame].pixels = nullptr;
            ExpectMatches(c, *row, pixels, Expected(a, *row, c.pointTransform, original, frame), frame);
        }
    }
}

// The frame's markers choose the decoder: lossless frames of the JPEG syntax
// (1.2.840.10008.1.2.4.57, any predictor) and 12-bit extended frames.
TEST_F(CompressedFrames, InspectsTheFrameMarkers) {
    const struct {
        const char* name;
        unsigned marker, precision;
        bool lossless;
    } rows[] = {
        {"gray16_p6", 0xC3, 16, true},
        {"ct_sv1", 0xC3, 16, true},
        {"gray8_baseline", 0xC0, 8, false},
        {"gray12_extended", 0xC1, 12, false},
        {"photo_rgb_marked_ybr", 0xC0, 8, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Bytes bytes;
        HANDLE file = OpenCase(*Fixtures::Get().Case(r.name), &bytes);
        (void)file;
        const HandFile hand = ParseHand(bytes, 1);
        ASSERT_FALSE(hand.offsets.empty());
        SourcePtr source = MakeSource(1, 1, 1, hand.offsets);
        std::vector<uint8_t> frame;
        ASSERT_EQ(ReadCompressedFrame(DicomStream(), *source, 0, &frame), 0);
        JpegFrameInfo info;
        ASSERT_TRUE(InspectJpegFrame(frame.data(), frame.size(), &info));
        EXPECT_EQ(info.frameMarker, r.marker);
        EXPECT_EQ(info.precision, r.precision);
        EXPECT_EQ(info.lossless, r.lossless);
    }
}

// ---------------------------------------------------------------------------
// Hand-made data.

// A file with encapsulated pixel data: the syntax, the image attributes and
// the given items (the first is the basic offset table), then the delimiter.
Bytes EncapsulatedFile(const std::string& syntax, int rows, int columns, int samplesPerPixel,
                       int bitsAllocated, const std::vector<Bytes>& items, bool delimiter = true) {
    ByteWriter w;
    w.preambleAndMeta(syntax);
    w.explicitHeader(0x0028, 0x0002, "US", 2).u16((uint16_t)samplesPerPixel);
    w.explicitHeader(0x0028, 0x0004, "CS", 12).text(samplesPerPixel == 3 ? "RGB         " : "MONOCHROME2 ");
    w.explicitHeader(0x0028, 0x0010, "US", 2).u16((uint16_t)rows);
    w.explicitHeader(0x0028, 0x0011, "US", 2).u16((uint16_t)columns);
    w.explicitHeader(0x0028, 0x0100, "US", 2).u16((uint16_t)bitsAllocated);
    w.explicitHeader(0x0028, 0x0101, "US", 2).u16((uint16_t)bitsAllocated);
    w.explicitHeader(0x0028, 0x0102, "US", 2).u16((uint16_t)(bitsAllocated - 1));
    w.explicitHeader(0x0028, 0x0103, "US", 2).u16(0);
    w.explicitHeader(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu);
    for (const Bytes& item : items) {
        w.implicitHeader(0xFFFE, 0xE000, (uint32_t)item.size());
        w.data.insert(w.data.end(), item.begin(), item.end());
    }
    if (delimiter) w.implicitHeader(0xFFFE, 0xE0DD, 0);
    return w.data;
}

constexpr const char* kRleSyntax = "1.2.840.10008.1.2.5";

// An RLE frame: the header (count and offsets as given), then the segments.
Bytes RleFrame(uint32_t count, const std::vector<uint32_t>& offsets, const std::vector<Bytes>& segments) {
    ByteWriter w;
    w.u32(count);
    for (int i = 0; i < 15; ++i) w.u32(i < (int)offsets.size() ? offsets[(size_t)i] : 0);
    for (const Bytes& s : segments) w.data.insert(w.data.end(), s.begin(), s.end());
    return w.data;
}

class HandMadeFrames : public DicomFileTest {
protected:
    void SetUp() override {
        DicomFileTest::SetUp();
        ClearAbortFlag();
    }
    void TearDown() override {
        ClearAbortFlag();
        DicomFileTest::TearDown();
    }

    // Decodes frame 0 of `bytes` (frames located as the handler does) with
    // an unwindowed 8- or 16-bit adjustment; the picture rows top first.
    int Decode(const Bytes& bytes, int rows, int columns, int samplesPerPixel, int bitsAllocated,
               std::vector<BYTE>* picture, FrameFetchFn fetch = FetchRleFrame,
               std::vector<uint32_t> offsets = {}) {
        Attach(bytes);
        if (offsets.empty()) offsets = ParseHand(bytes, 1).offsets;
        if (offsets.empty()) offsets = {0};
        SourcePtr source = MakeSource(columns, rows, samplesPerPixel, offsets);
        DisplayAdjustment a;
        InitAdjustment(&a);
        a.bitsAllocated = a.bitsStored = (WORD)bitsAllocated;
        a.highBit = (SHORT)(bitsAllocated - 1);
        a.samplesPerPixel = (WORD)samplesPerPixel;
        a.bytesPerSample = bitsAllocated > 8 ? 2 : 1;
        a.center = 128;
        a.width = 256;  // 8-bit samples as they are; 16-bit ones clip at 256
        std::vector<BYTE> pixels((size_t)DibImageSize(columns, rows, source->bitsPerPixel), 0xA5);
        source->Slots()[0].pixels = pixels.data();
        source->Slots()[0].byteSize = (DWORD)pixels.size();
        const int result = fetch(file_, source.get(), &a, 0);
        const size_t stride = (size_t)DibRowStride(columns, source->bitsPerPixel);
        picture->clear();
        for (int y = rows - 1; y >= 0; --y) {
            const BYTE* row = pixels.data() + (size_t)y * stride;
            picture->insert(picture->end(), row, row + (size_t)columns * (samplesPerPixel == 3 ? 3 : 1));
        }
        return result;
    }
};

TEST(UnpackRleSegment, PackBitsRuns) {
    const struct {
        const char* what;
        Bytes in;
        size_t outSize;
        Bytes out;
    } rows[] = {
        {"literal run", {0x02, 1, 2, 3}, 8, {1, 2, 3}},
        {"repeat run", {0xFD, 7}, 8, {7, 7, 7, 7}},
        {"-128 does nothing", {0x80, 0x00, 9}, 8, {9}},
        {"runs in turn", {0x00, 5, 0xFF, 6, 0x01, 1, 2}, 8, {5, 6, 6, 1, 2}},
        {"the longest repeat", {0x81, 3}, 200, Bytes(128, 3)},
        {"the longest literal", [] { Bytes b{0x7F}; for (int i = 0; i < 128; ++i) b.push_back((uint8_t)i); return b; }(), 200,
         [] { Bytes b; for (int i = 0; i < 128; ++i) b.push_back((uint8_t)i); return b; }()},
        {"literal cut at the output's end", {0x03, 1, 2, 3, 4}, 2, {1, 2}},
        {"repeat cut at the output's end", {0xF0, 8}, 3, {8, 8, 8}},
        {"literal cut at the input's end", {0x05, 1, 2}, 8, {1, 2}},
        {"repeat without its byte", {0x00, 4, 0xFE}, 8, {4}},
        {"nothing in", {}, 8, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Bytes out(r.outSize + 4, 0xEE);
        const size_t written = UnpackRleSegment(out.data(), r.outSize, r.in.data(), r.in.size());
        ASSERT_EQ(written, r.out.size());
        EXPECT_TRUE(std::equal(r.out.begin(), r.out.end(), out.begin()));
        for (size_t i = r.outSize; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "beyond the output";
    }
}

// Segments into their samples: 16-bit grey from its high and low bytes,
// 8-bit colour from its red, green and blue planes.
TEST_F(HandMadeFrames, RleSegmentsMakeTheSamples) {
    std::vector<BYTE> picture;
    // 3 x 2 grey, 16 bits: samples 0x0102 0x0304 ..., windowed 0..256.
    const Bytes high = {0x05, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};  // 0 0 0 0 1 0
    const Bytes low = {0x05, 10, 20, 30, 40, 0, 255};
    const Bytes grey16 = RleFrame(2, {64, 64 + (uint32_t)high.size()}, {high, low});
    ASSERT_EQ(Decode(EncapsulatedFile(kRleSyntax, 2, 3, 1, 16, {{}, grey16}), 2, 3, 1, 16, &picture), 0);
    EXPECT_EQ(picture, (std::vector<BYTE>{10, 20, 30, 40, 255, 255}));  // 256 and 255 reach the top

    // 2 x 1 colour, 8 bits: red, green, blue planes into blue-green-red pixels.
    const Bytes red = {0x01, 200, 201}, green = {0x01, 100, 101}, blue = {0xFF, 7};
    const Bytes rgb = RleFrame(3, {64, 67, 70}, {red, green, blue});
    ASSERT_EQ(Decode(EncapsulatedFile(kRleSyntax, 1, 2, 3, 8, {{}, rgb}), 1, 2, 3, 8, &picture), 0);
    EXPECT_EQ(picture, (std::vector<BYTE>{7, 100, 200, 7, 101, 201}));

    // A short segment leaves zeros; extra segments are ignored.
    const Bytes shortGrey = RleFrame(2, {64, 66}, {{0x00, 9}, {0x00, 1}});
    ASSERT_EQ(Decode(EncapsulatedFile(kRleSyntax, 1, 3, 1, 8, {{}, shortGrey}), 1, 3, 1, 8, &picture), 0);
    EXPECT_EQ(picture, (std::vector<BYTE>{9, 0, 0}));
}

// RLE headers and segment tables that do not fit the frame: 8, never a read
// outside the fragment.
TEST_F(HandMadeFrames, HostileRleHeaders) {
    const Bytes seg = {0x01, 1, 2};
    const struct {
        const char* what;
        Bytes frame;
        int bitsAllocated;
    } rows[] = {
        {"no segments", RleFrame(0, {}, {seg}), 8},
        {"16 segments", RleFrame(16, {64}, {seg}), 8},
        {"offset inside the header", RleFrame(1, {60}, {seg}), 8},
        {"offset zero", RleFrame(1, {0}, {seg}), 8},
        {"offset past the fragment", RleFrame(1, {64 + 3}, {seg}), 8},
        {"offset far past the fragment", RleFrame(1, {0x7FFFFFF0u}, {seg}), 8},
        {"offsets descending", RleFrame(2, {66, 64}, {seg, seg}), 16},
        {"offsets equal", RleFrame(2, {64, 64}, {seg, seg}), 16},
        {"too few segments for 16 bits", RleFrame(1, {64}, {seg}), 16},
        {"header cut short", Bytes{1, 0, 0, 0, 64, 0, 0, 0}, 8},
        {"12 bits allocated", RleFrame(1, {64}, {seg}), 12},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<BYTE> picture;
        EXPECT_EQ(Decode(EncapsulatedFile(kRleSyntax, 1, 2, 1, r.bitsAllocated, {{}, r.frame}), 1, 2, 1,
                         r.bitsAllocated, &picture),
                  8);
    }
}

// Fragment items that do not fit the file, and slot offsets outside it.
TEST_F(HandMadeFrames, HostileFragments) {
    const Bytes frame = RleFrame(1, {64}, {{0x01, 1, 2}});
    const Bytes good = EncapsulatedFile(kRleSyntax, 1, 2, 1, 8, {{}, frame});
    const size_t first = ParseHand(good, 1).offsets.at(0);
    Bytes longItem = good;
    longItem[first + 4] = 0xF0;  // the fragment's length runs past the file
    Bytes undefinedItem = good;
    undefinedItem[first + 4] = undefinedItem[first + 5] = undefinedItem[first + 6] =
        undefinedItem[first + 7] = 0xFF;
    Bytes notItem = good;
    notItem[first + 2] = 0x0D;  // (FFFE,E00D) where the item should be
    const struct {
        const char* what;
        Bytes file;
        uint32_t offset;  // 0: where the fragment is
        int result;
    } rows[] = {
        {"the frame as it is", good, 0, 0},
        {"no delimiter after the fragments", EncapsulatedFile(kRleSyntax, 1, 2, 1, 8, {{}, frame}, false), 0, 0},
        {"fragment longer than the file", longItem, 0, 8},
        {"fragment of undefined length", undefinedItem, 0, 8},
        {"no item at the offset", notItem, 0, 8},
        {"offset beyond the file", good, (uint32_t)good.size() + 100, 8},
        {"offset at the last bytes", good, (uint32_t)good.size() - 4, 8},
        {"offset far away", good, 0xFFFFFFF0u, 8},
        {"offset inside the data set", good, 200, 8},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::vector<BYTE> picture;
        std::vector<uint32_t> offsets;
        if (r.offset != 0) offsets = {r.offset};
        EXPECT_EQ(Decode(r.file, 1, 2, 1, 8, &picture, FetchRleFrame, offsets), r.result);
        if (r.result == 0) {
            EXPECT_EQ(picture, (std::vector<BYTE>{1, 2}));
        }
    }
}

// Fragments are joined up to the next frame's first fragment, whatever order
// the offset table lists the frames in.
TEST_F(HandMadeFrames, FragmentsJoinUpToTheNextFrame) {
    const Bytes a1 = {1, 2, 3}, a2 = {4, 5}, b1 = {6}, b2 = {7, 8, 9, 10};
    const Bytes file = EncapsulatedFile(kRleSyntax, 1, 1, 1, 8, {{}, a1, a2, b1, b2});
    Attach(file);
    const std::vector<uint32_t> all = [&] {
        std::vector<uint32_t> items;
        const size_t table = Find(file, std::string("\xE0\x7F\x10\x00OB", 6)) + 12;
        for (size_t at = table + 8; Le32(file, at) == 0xE000FFFEu; at += 8 + Le32(file, at + 4)) {
            items.push_back((uint32_t)at);
        }
        return items;
    }();
    ASSERT_EQ(all.size(), 4u);
    SourcePtr source = MakeSource(1, 1, 1, {all[2], all[0]});  // listed out of order
    std::vector<uint8_t> joined;
    ASSERT_EQ(ReadCompressedFrame(DicomStream(), *source, 1, &joined), 0);
    EXPECT_EQ(joined, (Bytes{1, 2, 3, 4, 5}));
    ASSERT_EQ(ReadCompressedFrame(DicomStream(), *source, 0, &joined), 0);
    EXPECT_EQ(joined, (Bytes{6, 7, 8, 9, 10}));
    EXPECT_EQ(ReadCompressedFrame(DicomStream(), *source, 2, &joined), 8);
    EXPECT_EQ(ReadCompressedFrame(DicomStream(), *source, -1, &joined), 8);
}

TEST(FlipRows, SwapsRowsAtThePaddedStride) {
    SourcePtr source = MakeSource(3, 3, 1, {0});
    BYTE pixels[12] = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0};
    source->Slots()[0].pixels = pixels;
    source->Slots()[0].byteSize = sizeof pixels;
    FlipRows(source.get(), 0);
    const BYTE want[12] = {3, 3, 3, 0, 2, 2, 2, 0, 1, 1, 1, 0};
    EXPECT_TRUE(std::equal(pixels, pixels + 12, want));
    source->Slots()[0].byteSize = 8;  // too small for the picture: left alone
    FlipRows(source.get(), 0);
    EXPECT_TRUE(std::equal(pixels, pixels + 12, want));
}

// Real files cut at many places and with damaged bytes: every decoder ends
// with 0 (a truncated JPEG frame decodes to its end) or 8, and never reads
// or writes outside its buffers.
TEST_F(CompressedFrames, TruncatedAndDamagedFilesFailCleanly) {
    const char* names[] = {"ct_p6", "rgb8_sv1", "gray12_extended", "photo_baseline_422", "rgb16_rle",
                           "cine12_sv1_frag", "gray12_p1_rst2"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const CaseRow& c = *Fixtures::Get().Case(name);
        const SourceRow& row = *Fixtures::Get().Source(c.source);
        const Bytes whole = ReadHostFile(Fixtures::Get().Path(name));
        const HandFile hand = ParseHand(whole, row.frames);
        ASSERT_FALSE(hand.offsets.empty());
        const size_t start = hand.offsets[0];
        const FrameFetchFn fetch = FetchFor(hand.syntax);
        auto check = [&](const Bytes& bytes, const std::string& what) {
            SCOPED_TRACE(what);
            HANDLE file = OpenBytes(bytes, "damaged.dcm");
            DicomStream().attach_file(file);
            SourcePtr source = MakeSource(row.columns, row.rows, row.samplesPerPixel, hand.offsets);
            DisplayAdjustment a;
            SetUpAdjustment(&a, row, "range", {0, 1000});
            std::vector<BYTE> pixels;
            const int result = FetchByHand(file, fetch, source.get(), &a, 0, &pixels);
            EXPECT_TRUE(result == 0 || result == 8) << result;
        };
        const size_t step = std::max<size_t>((whole.size() - start) / 23, 1);
        for (size_t cut = start; cut < whole.size(); cut += step) {
            check(Bytes(whole.begin(), whole.begin() + (std::ptrdiff_t)cut), "cut at " + std::to_string(cut));
        }
        uint32_t seed = 12345;
        for (int round = 0; round < 12; ++round) {
            Bytes damaged = whole;
            for (int k = 0; k < 6; ++k) {
                seed = seed * 1103515245u + 12345u;
                const size_t at = start + 8 + (seed >> 8) % (whole.size() - start - 8);
                damaged[at] = (uint8_t)(seed >> 3);
            }
            check(damaged, "damaged, round " + std::to_string(round));
        }
    }
}

// Without a handle the fetch only asks whether the frame's bytes have
// arrived in the (remote) stream.
TEST_F(CompressedFrames, AvailabilityOfARemoteFrame) {
    for (const char* name : {"ct_sv1_frag_nobot", "rgb16_rle", "gray8_baseline"}) {
        SCOPED_TRACE(name);
        const Bytes whole = ReadHostFile(Fixtures::Get().Path(name));
        const CaseRow& c = *Fixtures::Get().Case(name);
        const HandFile hand = ParseHand(whole, Fixtures::Get().Source(c.source)->frames);
        SourcePtr source = MakeSource(8, 8, 1, hand.offsets);
        const FrameFetchFn fetch = FetchFor(hand.syntax);
        MemoryResource complete(whole);
        AttachMemory(&complete);
        EXPECT_EQ(fetch(nullptr, source.get(), nullptr, 0), 0);
        // Cut inside the last fragment (trailing padding may follow the data).
        const size_t delimiter = Find(whole, std::string("\xFE\xFF\xDD\xE0", 4), hand.offsets.back());
        ASSERT_NE(delimiter, std::string::npos);
        MemoryResource cut(Bytes(whole.begin(), whole.begin() + (std::ptrdiff_t)delimiter - 20));
        AttachMemory(&cut);
        EXPECT_EQ(fetch(nullptr, source.get(), nullptr, 0), -1);
        DicomStream().detach();
    }
}

// The abort flag stops every decoder with 15.
TEST_F(CompressedFrames, AbortStopsTheDecode) {
    for (const char* name : {"ct_sv1", "gray8_sv1_nowindow", "gray8_baseline", "gray12_extended", "ct_rle"}) {
        SCOPED_TRACE(name);
        const CaseRow& c = *Fixtures::Get().Case(name);
        const SourceRow& row = *Fixtures::Get().Source(c.source);
        Bytes bytes;
        HANDLE file = OpenCase(c, &bytes);
        const HandFile hand = ParseHand(bytes, row.frames);
        SourcePtr source = MakeSource(row.columns, row.rows, row.samplesPerPixel, hand.offsets);
        DisplayAdjustment a;
        SetUpAdjustment(&a, row, "range", {0, 1000});
        std::vector<BYTE> pixels;
        SetAbortFlag();
        EXPECT_EQ(FetchByHand(file, FetchFor(hand.syntax), source.get(), &a, 0, &pixels), 15);
        ClearAbortFlag();
    }
}

// No destination, no adjustment, a slot too small for the picture: 1.
TEST_F(CompressedFrames, MissingDestination) {
    const CaseRow& c = *Fixtures::Get().Case("gray8_baseline");
    Bytes bytes;
    HANDLE file = OpenCase(c, &bytes);
    const HandFile hand = ParseHand(bytes, 1);
    SourcePtr source = MakeSource(61, 37, 1, hand.offsets);
    DisplayAdjustment a;
    InitAdjustment(&a);
    for (FrameFetchFn fetch : {FetchJpegFrame, FetchLosslessFrame, FetchRleFrame}) {
        EXPECT_EQ(fetch(file, source.get(), &a, 0), 1);
        std::vector<BYTE> pixels(100);
        source->Slots()[0].pixels = pixels.data();
        source->Slots()[0].byteSize = (DWORD)pixels.size();
        EXPECT_EQ(fetch(file, source.get(), &a, 0), 1);
        source->Slots()[0].pixels = nullptr;
    }
}

}  // namespace
