// Tests of the lossless JPEG decoder: frames that DCMTK encoded (and decoded
// as the reference) from pydicom's test files and synthetic images, made by
// make_lossless_fixtures.py at test time; and small frames built here by a
// tiny encoder so that each fault of the format can be shown precisely.
#include "dicom/lossless_jpeg.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// A small encoder for hand-made frames.

// Code lengths of the magnitude categories 0-16; codes of 9-14 bits take the
// decoder's slow path.
constexpr int kLengths[17] = {2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

struct Code {
    uint32_t bits;
    int length;
};

struct CanonicalTable {
    uint8_t counts[16] = {};
    Bytes symbols;
    Code codes[17] = {};
};

CanonicalTable MakeTable() {
    CanonicalTable t;
    for (int length = 1; length <= 16; ++length) {
        for (int s = 0; s < 17; ++s) {
            if (kLengths[s] == length) {
                t.symbols.push_back(static_cast<uint8_t>(s));
                ++t.counts[length - 1];
            }
        }
    }
    uint32_t code = 0;
    size_t at = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int k = 0; k < t.counts[length - 1]; ++k)
            t.codes[t.symbols[at++]] = {code++, length};
        code <<= 1;
    }
    return t;
}

class BitWriter {
public:
    void Put(uint32_t value, int count) {
        acc_ = (acc_ << count) | (value & ((uint64_t{1} << count) - 1));
        count_ += count;
        while (count_ >= 8) {
            count_ -= 8;
            uint8_t byte = static_cast<uint8_t>(acc_ >> count_);
            out.push_back(byte);
            if (byte == 0xFF)
                out.push_back(0); // stuffing
        }
    }
    void Flush() {
        if (count_)
            Put(0x7F, 8 - count_); // pad with one bits
    }
    Bytes out;

private:
    uint64_t acc_ = 0;
    int count_ = 0;
};

struct TestImage {
    int precision = 8;
    uint32_t width = 0;
    uint32_t height = 0;
    int components = 1;
    int predictor = 1;
    int pointTransform = 0;
    int restartRows = 0;
    std::vector<uint16_t> samples; // interleaved, rows top first
};

Bytes Segment(uint8_t marker, const Bytes& body) {
    Bytes s = {0xFF, marker, static_cast<uint8_t>((body.size() + 2) >> 8),
               static_cast<uint8_t>(body.size() + 2)};
    s.insert(s.end(), body.begin(), body.end());
    return s;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

const Bytes kSoi = {0xFF, 0xD8};
const Bytes kEoi = {0xFF, 0xD9};

struct EncodedFrame {
    Bytes tables;  // DHT segment
    Bytes frame;   // SOF3 segment
    Bytes restart; // DRI segment, empty without restart interval
    Bytes scan;    // SOS segment
    Bytes entropy; // entropy-coded data with its RST markers
    std::vector<size_t> restartAt; // offsets of the RST markers in entropy

    Bytes Join() const { return Concat({kSoi, tables, frame, restart, scan, entropy, kEoi}); }
};

int Predict(int p, int ra, int rb, int rc) {
    switch (p) {
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + ((rb - rc) >> 1);
    case 6: return rb + ((ra - rc) >> 1);
    case 7: return (ra + rb) >> 1;
    default: return 0;
    }
}

EncodedFrame Encode(const TestImage& img) {
    const CanonicalTable table = MakeTable();
    EncodedFrame e;
    Bytes dht = {0x00};
    dht.insert(dht.end(), table.counts, table.counts + 16);
    dht.insert(dht.end(), table.symbols.begin(), table.symbols.end());
    e.tables = Segment(0xC4, dht);
    Bytes sof = {static_cast<uint8_t>(img.precision), static_cast<uint8_t>(img.height >> 8),
                 static_cast<uint8_t>(img.height), static_cast<uint8_t>(img.width >> 8),
                 static_cast<uint8_t>(img.width), static_cast<uint8_t>(img.components)};
    for (int c = 0; c < img.components; ++c)
        sof.insert(sof.end(), {static_cast<uint8_t>(c + 1), 0x11, 0});
    e.frame = Segment(0xC3, sof);
    if (img.restartRows) {
        uint32_t ri = static_cast<uint32_t>(img.restartRows) * img.width;
        e.restart = Segment(0xDD, {static_cast<uint8_t>(ri >> 8), static_cast<uint8_t>(ri)});
    }
    Bytes sos = {static_cast<uint8_t>(img.components)};
    for (int c = 0; c < img.components; ++c)
        sos.insert(sos.end(), {static_cast<uint8_t>(c + 1), 0x00});
    sos.insert(sos.end(), {static_cast<uint8_t>(img.predictor), 0,
                           static_cast<uint8_t>(img.pointTransform)});
    e.scan = Segment(0xDA, sos);

    const int ns = img.components;
    auto at = [&](uint32_t x, uint32_t y, int c) {
        return static_cast<int>(img.samples[(size_t{y} * img.width + x) * ns + c] >> img.pointTransform);
    };
    BitWriter bits;
    int rst = 0;
    for (uint32_t y = 0; y < img.height; ++y) {
        bool first = y == 0;
        if (img.restartRows && y && y % img.restartRows == 0) {
            bits.Flush();
            e.restartAt.push_back(bits.out.size());
            bits.out.insert(bits.out.end(), {0xFF, static_cast<uint8_t>(0xD0 + rst)});
            rst = (rst + 1) & 7;
            first = true;
        }
        for (uint32_t x = 0; x < img.width; ++x) {
            for (int c = 0; c < ns; ++c) {
                int pred;
                if (first)
                    pred = x == 0 ? 1 << (img.precision - img.pointTransform - 1) : at(x - 1, y, c);
                else if (x == 0)
                    pred = at(x, y - 1, c);
                else
                    pred = Predict(img.predictor, at(x - 1, y, c), at(x, y - 1, c), at(x - 1, y - 1, c));
                int diff = (at(x, y, c) - pred) & 0xFFFF;
                if (diff >= 32768)
                    diff -= 65536;
                if (diff == -32768) {
                    bits.Put(table.codes[16].bits, table.codes[16].length);
                    continue;
                }
                int s = 0;
                for (int m = diff < 0 ? -diff : diff; m; m >>= 1)
                    ++s;
                bits.Put(table.codes[s].bits, table.codes[s].length);
                if (s)
                    bits.Put(static_cast<uint32_t>(diff > 0 ? diff : diff - 1), s);
            }
        }
    }
    bits.Flush();
    e.entropy = bits.out;
    return e;
}

// A deterministic image: smooth with noise and some extremes.
TestImage MakeImage(uint32_t width, uint32_t height, int components, int precision, int predictor) {
    TestImage img;
    img.width = width;
    img.height = height;
    img.components = components;
    img.precision = precision;
    img.predictor = predictor;
    uint32_t state = 12345;
    const int maxValue = (1 << precision) - 1;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (int c = 0; c < components; ++c) {
                state = state * 1103515245u + 12345u;
                int v = static_cast<int>((x * 7 + y * 3 + static_cast<uint32_t>(c) * 50) % (maxValue + 1u));
                v += static_cast<int>(state >> 28) - 8;
                if ((x + y) % 11 == 0)
                    v = (x % 2) ? maxValue : 0;
                img.samples.push_back(static_cast<uint16_t>(v < 0 ? 0 : v > maxValue ? maxValue : v));
            }
        }
    }
    return img;
}

// ---------------------------------------------------------------------------
// Decoding helpers.

struct Decoded {
    int code = -1;
    std::vector<uint16_t> samples;
};

LosslessDestination Destination(uint8_t* pixels, size_t size, uint32_t width, uint32_t height,
                                uint32_t spp, LosslessSampleForm form) {
    LosslessDestination d;
    d.pixels = pixels;
    d.size = size;
    d.width = width;
    d.height = height;
    d.samplesPerPixel = spp;
    d.form = form;
    return d;
}

// Decodes into 16-bit samples; the input sits in a buffer of exactly its
// size so that the sanitizer build sees any read past it.
Decoded Decode16(const Bytes& data, uint32_t width, uint32_t height, uint32_t spp) {
    Decoded r;
    r.samples.assign(size_t{width} * height * spp, 0);
    auto input = std::make_unique<uint8_t[]>(data.size() ? data.size() : 1);
    if (!data.empty())
        std::memcpy(input.get(), data.data(), data.size());
    r.code = DecodeLossless(input.get(), data.size(),
                            Destination(reinterpret_cast<uint8_t*>(r.samples.data()),
                                        r.samples.size() * 2, width, height, spp,
                                        LosslessSampleForm::kFull16));
    return r;
}

Decoded Decode16(const Bytes& data, const TestImage& img) {
    return Decode16(data, img.width, img.height, img.components == 1 ? 1 : 3);
}

// What the decoder should deliver for a hand-made image: (sample >> Pt) << Pt,
// three samples per pixel when there is more than one component.
std::vector<uint16_t> Expected(const TestImage& img) {
    std::vector<uint16_t> out;
    const int ns = img.components;
    for (size_t p = 0; p < size_t{img.width} * img.height; ++p) {
        int n = ns == 1 ? 1 : 3;
        for (int k = 0; k < n; ++k) {
            uint16_t v = k < ns ? img.samples[p * ns + k] : 0;
            out.push_back(static_cast<uint16_t>((v >> img.pointTransform) << img.pointTransform));
        }
    }
    return out;
}

bool IsKnownCode(int code) {
    return std::string(LosslessResultText(code)) != "unknown result";
}

// ---------------------------------------------------------------------------
// Reference frames from DCMTK.

struct FixtureRow {
    std::string name;
    uint32_t width, height, samplesPerPixel, precision, predictor, pointTransform, restart;
};

Bytes ReadFile(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

class LosslessJpegReference : public ::testing::Test {
protected:
    // The fixtures are made once per script version and shared by the test
    // processes: into a private folder first, then renamed into place, so a
    // concurrent run never sees half a folder.
    static void SetUpTestSuite() {
        fs::path script = fs::path(__FILE__).parent_path() / "make_lossless_fixtures.py";
        Bytes text = ReadFile(script);
        size_t hash = std::hash<std::string>()(std::string(text.begin(), text.end()));
        std::ostringstream name;
        name << "kestrava-lossless-fixtures-" << std::hex << hash;
        dir_ = fs::temp_directory_path() / name.str();
        if (!fs::exists(dir_ / "manifest.tsv")) {
            fs::path work = dir_;
            work += ".tmp" + std::to_string(getpid());
            fs::remove_all(work);
            std::string command = "/usr/bin/python3 '" + script.string() + "' '" + work.string() + "'";
            int status = std::system(command.c_str());
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (status_ != 0) {
                fs::remove_all(work);
                return;
            }
            std::error_code ec;
            fs::rename(work, dir_, ec);
            if (ec) { // another process got there first
                fs::remove_all(work);
            } else { // fixtures of earlier script versions are not needed again
                std::vector<fs::path> stale;
                for (const auto& entry : fs::directory_iterator(dir_.parent_path(), ec)) {
                    std::string other = entry.path().filename().string();
                    if (other.rfind("kestrava-lossless-fixtures-", 0) == 0 &&
                        other.find(".tmp") == std::string::npos && entry.path() != dir_)
                        stale.push_back(entry.path());
                }
                for (const fs::path& old : stale)
                    fs::remove_all(old, ec);
            }
        }
        status_ = 0;
        std::ifstream manifest(dir_ / "manifest.tsv");
        FixtureRow row;
        rows_.clear();
        while (manifest >> row.name >> row.width >> row.height >> row.samplesPerPixel >>
               row.precision >> row.predictor >> row.pointTransform >> row.restart)
            rows_.push_back(row);
    }

    void SetUp() override {
        if (status_ == 77)
            GTEST_SKIP() << "DCMTK's dcmcjpeg is not installed";
        ASSERT_EQ(status_, 0) << "make_lossless_fixtures.py failed";
        ASSERT_FALSE(rows_.empty());
    }

    static Bytes Frame(const FixtureRow& row) { return ReadFile(dir_ / (row.name + ".jpg")); }

    static std::vector<uint16_t> Samples(const FixtureRow& row) {
        Bytes raw = ReadFile(dir_ / (row.name + ".u16"));
        std::vector<uint16_t> s(raw.size() / 2);
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
        return s;
    }

    static const FixtureRow* Find(const std::string& name) {
        for (const FixtureRow& row : rows_) {
            if (row.name == name)
                return &row;
        }
        return nullptr;
    }

    static inline fs::path dir_;
    static inline int status_ = -1;
    static inline std::vector<FixtureRow> rows_;
};

size_t FirstDifference(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i])
            return i;
    }
    return a.size() == b.size() ? SIZE_MAX : std::min(a.size(), b.size());
}

TEST_F(LosslessJpegReference, HeadersMatchWhatTheEncoderWasAskedFor) {
    for (const FixtureRow& row : rows_) {
        SCOPED_TRACE(row.name);
        Bytes frame = Frame(row);
        LosslessFrameInfo info;
        ASSERT_EQ(ReadLosslessFrameInfo(frame.data(), frame.size(), &info), kLosslessOk);
        EXPECT_EQ(info.width, row.width);
        EXPECT_EQ(info.height, row.height);
        EXPECT_EQ(info.samplesPerPixel, row.samplesPerPixel);
        EXPECT_EQ(info.precision, row.precision);
        EXPECT_EQ(info.predictor, row.predictor);
        EXPECT_EQ(info.pointTransform, row.pointTransform);
        EXPECT_EQ(info.restartInterval, row.restart);
        EXPECT_EQ(info.frameMarker, 0xC3u);
    }
}

TEST_F(LosslessJpegReference, FullPrecisionSamplesEqualTheReference) {
    for (const FixtureRow& row : rows_) {
        SCOPED_TRACE(row.name);
        Decoded d = Decode16(Frame(row), row.width, row.height, row.samplesPerPixel);
        ASSERT_EQ(d.code, kLosslessOk) << LosslessResultText(d.code);
        std::vector<uint16_t> want = Samples(row);
        EXPECT_EQ(FirstDifference(d.samples, want), SIZE_MAX) << "first differing sample";
    }
}

TEST_F(LosslessJpegReference, ByteFormKeepsTheLowEightBits) {
    for (const FixtureRow& row : rows_) {
        SCOPED_TRACE(row.name);
        Bytes frame = Frame(row);
        std::vector<uint8_t> out(size_t{row.width} * row.height * row.samplesPerPixel);
        ASSERT_EQ(DecodeLossless(frame.data(), frame.size(),
                                 Destination(out.data(), out.size(), row.width, row.height,
                                             row.samplesPerPixel, LosslessSampleForm::kLow8)),
                  kLosslessOk);
        std::vector<uint16_t> want = Samples(row);
        size_t bad = SIZE_MAX;
        for (size_t i = 0; i < want.size() && bad == SIZE_MAX; ++i) {
            if (out[i] != static_cast<uint8_t>(want[i]))
                bad = i;
        }
        EXPECT_EQ(bad, SIZE_MAX) << "first differing sample";
    }
}

// Colour rows, blue-green-red and bottom-up, at a padded odd stride: every
// sample lands in its place and the padding is not touched.
TEST_F(LosslessJpegReference, ColourLandsBlueGreenRedBottomUpAtAnyStride) {
    int colourRows = 0;
    for (const FixtureRow& row : rows_) {
        if (row.samplesPerPixel != 3)
            continue;
        ++colourRows;
        SCOPED_TRACE(row.name);
        for (LosslessSampleForm form : {LosslessSampleForm::kLow8, LosslessSampleForm::kFull16}) {
            const size_t sampleBytes = form == LosslessSampleForm::kFull16 ? 2 : 1;
            const size_t rowBytes = size_t{row.width} * 3 * sampleBytes;
            const size_t stride = rowBytes + 3;
            std::vector<uint8_t> out(stride * row.height, 0xA5);
            LosslessDestination dest =
                Destination(out.data(), out.size(), row.width, row.height, 3, form);
            dest.rowStride = stride;
            dest.blueGreenRed = true;
            dest.bottomUp = true;
            Bytes frame = Frame(row);
            ASSERT_EQ(DecodeLossless(frame.data(), frame.size(), dest), kLosslessOk);
            std::vector<uint16_t> want = Samples(row);
            bool same = true;
            for (uint32_t y = 0; y < row.height && same; ++y) {
                const uint8_t* line = out.data() + (row.height - 1 - y) * stride;
                for (uint32_t x = 0; x < row.width; ++x) {
                    for (int k = 0; k < 3; ++k) {
                        uint16_t w = want[(size_t{y} * row.width + x) * 3 + (2 - k)];
                        const uint8_t* at = line + (size_t{x} * 3 + k) * sampleBytes;
                        uint16_t got = sampleBytes == 2 ? static_cast<uint16_t>(at[0] | at[1] << 8) : at[0];
                        same = same && got == (sampleBytes == 2 ? w : (w & 0xFF));
                    }
                }
                for (size_t pad = rowBytes; pad < stride; ++pad)
                    same = same && line[pad] == 0xA5;
            }
            EXPECT_TRUE(same);
        }
    }
    EXPECT_GT(colourRows, 0);
}

// A stream cut anywhere before its last entropy-coded byte fails with a code
// and reads nothing past the cut; one cut only inside or after EOI decodes.
TEST_F(LosslessJpegReference, EveryCutOfTheStreamFailsCleanly) {
    for (const char* name : {"gray8_p1_rst2", "rgb16_p5_rst4", "mr_p7"}) {
        SCOPED_TRACE(name);
        const FixtureRow* row = Find(name);
        ASSERT_NE(row, nullptr);
        Bytes frame = Frame(*row);
        ASSERT_GE(frame.size(), 2u);
        ASSERT_EQ(frame[frame.size() - 2], 0xFF);
        ASSERT_EQ(frame[frame.size() - 1], 0xD9);
        const size_t eoi = frame.size() - 2;
        for (size_t cut = 0; cut < frame.size(); ++cut) {
            Bytes part(frame.begin(), frame.begin() + static_cast<ptrdiff_t>(cut));
            Decoded d = Decode16(part, row->width, row->height, row->samplesPerPixel);
            ASSERT_TRUE(IsKnownCode(d.code)) << "cut " << cut << ": " << d.code;
            if (cut < eoi)
                ASSERT_NE(d.code, kLosslessOk) << "cut " << cut;
            else
                ASSERT_EQ(d.code, kLosslessOk) << "cut " << cut;
        }
    }
}

// Damaged bytes anywhere: the decoder returns one of its codes, never faults
// (the sanitizer build checks every access) and never hangs.
TEST_F(LosslessJpegReference, DamagedBytesGiveACode) {
    for (const char* name : {"rgb8_p7_rst3", "gray16_p6_rst1", "mr_p4"}) {
        SCOPED_TRACE(name);
        const FixtureRow* row = Find(name);
        ASSERT_NE(row, nullptr);
        const Bytes frame = Frame(*row);
        uint32_t state = 7;
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = frame;
            for (int k = 0; k < 1 + round % 4; ++k) {
                state = state * 1664525u + 1013904223u;
                size_t at = (state >> 8) % damaged.size();
                damaged[at] = static_cast<uint8_t>(round % 3 == 0 ? 0xFF : state >> 24);
            }
            Decoded d = Decode16(damaged, row->width, row->height, row->samplesPerPixel);
            ASSERT_TRUE(IsKnownCode(d.code)) << "round " << round;
        }
    }
}

// DICOM fragments have even length, so an odd frame arrives with a pad byte
// after EOI; other writers leave more behind it.
TEST_F(LosslessJpegReference, BytesAfterTheEndOfImageAreIgnored) {
    const FixtureRow* row = Find("ct_sv1");
    ASSERT_NE(row, nullptr);
    const Bytes frame = Frame(*row);
    const std::vector<uint16_t> want = Samples(*row);
    const Bytes tails[] = {
        {0x00},
        {0x00, 0x00, 0x00, 0x00},
        {0xFF, 0xD9, 0x00},
        {0x12, 0xFF, 0xDA, 0x00, 0x08, 0x01}, // the start of a scan header, cut off
        Bytes(1000, 0xFF),
    };
    for (const Bytes& tail : tails) {
        Decoded d = Decode16(Concat({frame, tail}), row->width, row->height, 1);
        EXPECT_EQ(d.code, kLosslessOk) << "tail of " << tail.size();
        EXPECT_EQ(d.samples, want);
    }
    // No EOI at all: the samples are complete, so the frame is.
    Bytes noEoi(frame.begin(), frame.end() - 2);
    EXPECT_EQ(Decode16(noEoi, row->width, row->height, 1).code, kLosslessOk);
}

// ---------------------------------------------------------------------------
// Hand-made frames.

TEST(LosslessJpegStream, EveryPredictorAndDepthRoundTrips) {
    struct Case {
        uint32_t width, height;
        int components, precision, pointTransform, restartRows;
    } cases[] = {
        {17, 9, 1, 8, 0, 0},  {13, 7, 3, 8, 0, 2},  {9, 12, 1, 16, 0, 1}, {11, 5, 1, 2, 0, 0},
        {8, 8, 2, 12, 3, 4},  {6, 9, 4, 16, 5, 3},  {1, 1, 1, 8, 0, 0},   {1, 20, 1, 16, 0, 1},
        {40, 1, 3, 16, 15, 0},
    };
    for (const Case& c : cases) {
        for (int predictor = 0; predictor <= 7; ++predictor) {
            TestImage img = MakeImage(c.width, c.height, c.components, c.precision, predictor);
            img.pointTransform = c.pointTransform;
            img.restartRows = c.restartRows;
            SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << c.components
                                            << " P" << c.precision << " Pt" << c.pointTransform
                                            << " rst" << c.restartRows << " predictor " << predictor);
            Decoded d = Decode16(Encode(img).Join(), img);
            ASSERT_EQ(d.code, kLosslessOk) << LosslessResultText(d.code);
            EXPECT_EQ(d.samples, Expected(img));
        }
    }
}

// At 16 bits predictions and sums wrap modulo 2^16 for every predictor: the
// predictors work on the samples as unsigned values, so (Ra + Rb) >> 1 of two
// samples above 32767 stays above 32767.
TEST(LosslessJpegStream, SixteenBitPredictionsWrap) {
    const std::vector<uint16_t> rows[] = {
        {65535, 65535, 0, 65535, 40000, 40000, 1},
        {65535, 0, 65535, 65535, 40000, 40001, 65534},
        {0, 32768, 0, 32768, 65535, 1, 65535},
    };
    for (int predictor = 1; predictor <= 7; ++predictor) {
        SCOPED_TRACE(predictor);
        TestImage img;
        img.precision = 16;
        img.width = 7;
        img.height = 3;
        img.predictor = predictor;
        for (const auto& r : rows)
            img.samples.insert(img.samples.end(), r.begin(), r.end());
        Decoded d = Decode16(Encode(img).Join(), img);
        ASSERT_EQ(d.code, kLosslessOk);
        EXPECT_EQ(d.samples, img.samples);
    }
}

// Category 16 is the difference 32768 and carries no further bits: the
// samples after it decode from the bits that follow its code directly.
TEST(LosslessJpegStream, CategorySixteenIsDifference32768) {
    TestImage img;
    img.precision = 16;
    img.width = 6;
    img.height = 1;
    img.samples = {32768, 0, 32768, 0, 5, 32773}; // first prediction is 32768
    EncodedFrame e = Encode(img);
    // The first sample has difference 0, then four jumps of 32768; 5 and the
    // last jump take ordinary categories.
    Decoded d = Decode16(e.Join(), img);
    ASSERT_EQ(d.code, kLosslessOk);
    EXPECT_EQ(d.samples, img.samples);
}

// Tolerated variations of the marker syntax.
TEST(LosslessJpegStream, MarkerSyntaxVariationsDecode) {
    TestImage img = MakeImage(10, 6, 1, 8, 4);
    img.restartRows = 2;
    const EncodedFrame e = Encode(img);
    Bytes sof0 = e.frame, sof1 = e.frame;
    sof0[1] = 0xC0;
    sof1[1] = 0xC1;
    Bytes entropyWithFill = e.entropy; // fill bytes before a restart marker
    entropyWithFill.insert(entropyWithFill.begin() + static_cast<ptrdiff_t>(e.restartAt[0]), {0xFF, 0xFF});
    // A table defined twice: the later definition replaces the first.
    Bytes junkTable = Segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5});
    const Bytes app0 = Segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    const Bytes shortApp0 = {0xFF, 0xE0, 0x00, 0x02};
    const Bytes comment = Segment(0xFE, {'h', 'i', 0xFF, 0xD9});
    const Bytes tem = {0xFF, 0x01};
    const Bytes ignoredQuantLikeApp = Segment(0xEF, {0xFF, 0xDB});
    struct Case {
        const char* what;
        Bytes data;
    } cases[] = {
        {"plain", e.Join()},
        {"APP0, COM, TEM and an APPn holding marker bytes",
         Concat({kSoi, app0, shortApp0, comment, tem, ignoredQuantLikeApp, e.tables, e.frame,
                 e.restart, e.scan, e.entropy, kEoi})},
        {"tables and restart after the frame header",
         Concat({kSoi, e.frame, e.tables, e.restart, e.scan, e.entropy, kEoi})},
        {"SOF0", Concat({kSoi, e.tables, sof0, e.restart, e.scan, e.entropy, kEoi})},
        {"SOF1", Concat({kSoi, e.tables, sof1, e.restart, e.scan, e.entropy, kEoi})},
        {"fill bytes and junk before markers",
         Concat({kSoi, {0x00, 0xFF, 0xFF}, e.tables, {0x17}, e.frame, e.restart, {0xFF}, e.scan,
                 entropyWithFill, {0xFF, 0xFF}, kEoi})},
        {"table redefined", Concat({kSoi, junkTable, e.tables, e.frame, e.restart, e.scan, e.entropy, kEoi})},
        {"restart marker after the last row", Concat({kSoi, e.tables, e.frame, e.restart, e.scan,
                                                      e.entropy, {0xFF, 0xD2}, kEoi})},
    };
    for (const Case& c : cases) {
        Decoded d = Decode16(c.data, img);
        EXPECT_EQ(d.code, kLosslessOk) << c.what << ": " << LosslessResultText(d.code);
        EXPECT_EQ(d.samples, Expected(img)) << c.what;
    }
}

// One case per result code: the frame, broken in one place.
TEST(LosslessJpegMalformed, EachFaultGivesItsCode) {
    TestImage img = MakeImage(8, 6, 1, 12, 1);
    img.restartRows = 1;
    const EncodedFrame e = Encode(img);
    auto with = [&](std::function<void(EncodedFrame&)> change) {
        EncodedFrame copy = e;
        change(copy);
        return copy.Join();
    };
    TestImage colour = MakeImage(4, 4, 3, 8, 7);
    const EncodedFrame ce = Encode(colour);

    // A table with one 1-bit code: all-ones data never matches it.
    const Bytes oneCodeTable = Segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    // Category 17 has no meaning.
    const Bytes category17 = Segment(0xC4, {0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 17});
    Bytes counts257 = {0x00, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 1};
    counts257.resize(counts257.size() + 256, 0);
    const Bytes overFull = Segment(0xC4, {0x00, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2});
    Bytes countsPastSegment = {0x00, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};

    struct Case {
        const char* what;
        Bytes data;
        int code;
    } cases[] = {
        {"empty", {}, kLosslessNoSoi},
        {"no SOI", Concat({{0x00, 0xD8}, e.tables, e.frame, e.scan, e.entropy, kEoi}), kLosslessNoSoi},
        {"EOI first", kEoi, kLosslessNoSoi},
        {"zero lines", with([](EncodedFrame& f) { f.frame[5] = 0; f.frame[6] = 0; }), kLosslessEmptyFrame},
        {"zero samples per line", with([](EncodedFrame& f) { f.frame[7] = 0; f.frame[8] = 0; }), kLosslessEmptyFrame},
        {"DQT", Concat({kSoi, Segment(0xDB, Bytes(65, 1)), e.tables, e.frame, e.scan, e.entropy, kEoi}),
         kLosslessQuantTable},
        {"precision 1", with([](EncodedFrame& f) { f.frame[4] = 1; }), kLosslessBadPrecision},
        {"precision 17", with([](EncodedFrame& f) { f.frame[4] = 17; }), kLosslessBadPrecision},
        {"sampling 2x1", with([](EncodedFrame& f) { f.frame[11] = 0x21; }), kLosslessBadSampling},
        {"second scan", with([&](EncodedFrame& f) {
             f.entropy.insert(f.entropy.end(), f.scan.begin(), f.scan.end());
             f.entropy.insert(f.entropy.end(), {0x12, 0x34});
         }), kLosslessSecondScan},
        {"progressive frame", with([](EncodedFrame& f) { f.frame[1] = 0xC2; }), kLosslessBadFrameMarker},
        {"no frame", Concat({kSoi, e.tables, kEoi}), kLosslessBadFrameMarker},
        {"scan before frame", Concat({kSoi, e.tables, e.scan, e.frame, e.entropy, kEoi}), kLosslessBadFrameMarker},
        {"table 1 not defined", with([](EncodedFrame& f) { f.scan[6] = 0x10; }), kLosslessUndefinedTable},
        {"table 5", with([](EncodedFrame& f) { f.scan[6] = 0x50; }), kLosslessUndefinedTable},
        {"no table at all", Concat({kSoi, e.frame, e.restart, e.scan, e.entropy, kEoi}), kLosslessUndefinedTable},
        {"code longer than 16 bits", Concat({kSoi, oneCodeTable, e.frame, e.scan, Bytes{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}, kEoi}),
         kLosslessBadCode},
        {"category 17", Concat({kSoi, category17, e.frame, e.scan, Bytes{0x00, 0x00}, kEoi}), kLosslessBadCode},
        {"counts over 256", Concat({kSoi, Segment(0xC4, counts257), e.frame, e.scan, e.entropy, kEoi}),
         kLosslessBadTableCounts},
        {"counts past the segment", Concat({kSoi, Segment(0xC4, countsPastSegment), e.frame, e.scan, kEoi}),
         kLosslessBadTableCounts},
        {"segment past the data", Concat({kSoi, {0xFF, 0xC4, 0x00, 0x40, 0x00, 0x01}}), kLosslessBadTableCounts},
        {"over-full table", Concat({kSoi, overFull, e.frame, e.scan, e.entropy, kEoi}), kLosslessBadTableCounts},
        {"AC table", with([](EncodedFrame& f) { f.tables[4] = 0x10; }), kLosslessBadTableClass},
        {"table identifier 4", with([](EncodedFrame& f) { f.tables[4] = 0x04; }), kLosslessBadTableClass},
        {"DRI length 5", with([](EncodedFrame& f) { f.restart[3] = 5; f.restart.push_back(0); }),
         kLosslessBadRestartDefinition},
        {"restart interval not whole rows", with([](EncodedFrame& f) { f.restart[5] = 12; }),
         kLosslessBadRestartDefinition},
        {"frame header length", with([](EncodedFrame& f) { f.frame[3] += 1; f.frame.push_back(0); }),
         kLosslessBadFrameHeader},
        {"frame header cut", Concat({kSoi, e.tables, Bytes(e.frame.begin(), e.frame.begin() + 9)}),
         kLosslessBadFrameHeader},
        {"frame components cut", Concat({kSoi, e.tables, Bytes(e.frame.begin(), e.frame.begin() + 11)}),
         kLosslessBadFrameHeader},
        {"scan header length", with([](EncodedFrame& f) { f.scan[3] += 2; }), kLosslessBadScanHeader},
        {"no scan components", with([](EncodedFrame& f) { f.scan[3] = 6; f.scan[4] = 0; }), kLosslessBadScanHeader},
        {"five scan components", with([](EncodedFrame& f) {
             f.scan[3] = 16;
             f.scan[4] = 5;
             f.scan.insert(f.scan.begin() + 7, 8, 0x01);
         }), kLosslessBadScanHeader},
        {"no scan", Concat({kSoi, e.tables, e.frame, kEoi}), kLosslessBadScanHeader},
        {"scan header cut", Concat({kSoi, e.tables, e.frame, Bytes(e.scan.begin(), e.scan.begin() + 7)}),
         kLosslessBadScanHeader},
        {"point transform 12 at 12 bits", with([](EncodedFrame& f) { f.scan.back() = 12; }), kLosslessBadScanHeader},
        {"scan component 9", with([](EncodedFrame& f) { f.scan[5] = 9; }), kLosslessUnknownScanComponent},
        {"RST2 where RST1 is due", with([](EncodedFrame& f) { f.entropy[f.restartAt[1] + 1] = 0xD2; }),
         kLosslessBadRestartMarker},
        {"restart marker missing", with([](EncodedFrame& f) {
             f.entropy.erase(f.entropy.begin() + static_cast<ptrdiff_t>(f.restartAt[0]),
                             f.entropy.begin() + static_cast<ptrdiff_t>(f.restartAt[0]) + 2);
         }), kLosslessBadRestartMarker},
        {"no restart markers left", with([](EncodedFrame& f) { f.entropy.resize(f.restartAt[0]); }),
         kLosslessBadRestartMarker},
        {"entropy data ends early", Concat({kSoi, ce.tables, ce.frame, ce.scan,
                                            Bytes(ce.entropy.begin(), ce.entropy.end() - 3), kEoi}),
         kLosslessTruncated},
        {"entropy data ends early, no EOI", Concat({kSoi, ce.tables, ce.frame, ce.scan,
                                                    Bytes(ce.entropy.begin(), ce.entropy.end() - 3)}),
         kLosslessTruncated},
        {"marker inside a restart interval", with([](EncodedFrame& f) {
             f.entropy.insert(f.entropy.begin() + static_cast<ptrdiff_t>(f.restartAt[2]) - 2, {0xFF, 0xFE});
         }), kLosslessTruncated},
    };
    for (const Case& c : cases) {
        uint32_t spp = 1;
        uint32_t width = img.width, height = img.height;
        if (std::string(c.what).find("entropy data ends early") == 0)
            width = colour.width, height = colour.height, spp = 3;
        Decoded d = Decode16(c.data, width, height, spp);
        EXPECT_EQ(d.code, c.code) << c.what << ": got " << d.code << " " << LosslessResultText(d.code);
    }
}

// Rows decoded before a fault stay in the destination.
TEST(LosslessJpegMalformed, RowsBeforeAFaultAreKept) {
    TestImage img = MakeImage(8, 6, 1, 8, 2);
    img.restartRows = 2;
    EncodedFrame e = Encode(img);
    e.entropy[e.restartAt[1] + 1] = 0xD5; // rows 0-3 decode, row 4 fails
    Decoded d = Decode16(e.Join(), img);
    ASSERT_EQ(d.code, kLosslessBadRestartMarker);
    EXPECT_TRUE(std::equal(img.samples.begin(), img.samples.begin() + 32, d.samples.begin()));
    EXPECT_TRUE(std::all_of(d.samples.begin() + 32, d.samples.end(), [](uint16_t v) { return v == 0; }));
}

// The frame must match what the caller expects and fit its buffer; a
// mismatch is refused before anything is written.
TEST(LosslessJpegMalformed, GeometryMismatchIsRefused) {
    TestImage img = MakeImage(9, 5, 3, 8, 5);
    const Bytes data = Encode(img).Join();
    const size_t rowBytes = 9 * 3;
    struct Case {
        const char* what;
        uint32_t width, height, spp;
        size_t size, stride;
        bool nullPixels;
    } cases[] = {
        {"width", 10, 5, 3, 1000, 0, false},
        {"height", 9, 4, 3, 1000, 0, false},
        {"samples per pixel", 9, 5, 1, 1000, 0, false},
        {"buffer one byte short", 9, 5, 3, rowBytes * 5 - 1, 0, false},
        {"stride below a row", 9, 5, 3, 1000, rowBytes - 1, false},
        {"stride too large for the buffer", 9, 5, 3, 1000, 300, false},
        {"stride overflowing", 9, 5, 3, 1000, SIZE_MAX / 2, false},
        {"no pixels", 9, 5, 3, 1000, 0, true},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(1000, 0x5A);
        LosslessDestination dest = Destination(c.nullPixels ? nullptr : out.data(), c.size, c.width,
                                               c.height, c.spp, LosslessSampleForm::kLow8);
        dest.rowStride = c.stride;
        EXPECT_EQ(DecodeLossless(data.data(), data.size(), dest), kLosslessGeometryMismatch) << c.what;
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0x5A; })) << c.what;
    }
    // Exactly the bytes needed are enough.
    std::vector<uint8_t> out(rowBytes * 5);
    EXPECT_EQ(DecodeLossless(data.data(), data.size(),
                             Destination(out.data(), out.size(), 9, 5, 3, LosslessSampleForm::kLow8)),
              kLosslessOk);
}

// Working memory is capped: a table or a row buffer beyond the cap gives the
// out-of-memory code of that allocation.
TEST(LosslessJpegMalformed, WorkingMemoryCapGivesOutOfMemoryCodes) {
    TestImage img = MakeImage(4000, 2, 1, 16, 1);
    const Bytes data = Encode(img).Join();
    const size_t row = 4000 * sizeof(uint16_t);
    struct Case {
        size_t cap;
        int code;
    } cases[] = {
        {1, kLosslessNoMemoryTable},
        {row / 2, kLosslessNoMemoryPreviousRow},
        {row + row / 2, kLosslessNoMemoryCurrentRow},
        {3 * row, kLosslessOk},
    };
    for (const Case& c : cases) {
        std::vector<uint16_t> out(4000 * 2);
        LosslessDestination dest = Destination(reinterpret_cast<uint8_t*>(out.data()), out.size() * 2,
                                               4000, 2, 1, LosslessSampleForm::kFull16);
        dest.maxWorkingMemory = c.cap;
        EXPECT_EQ(DecodeLossless(data.data(), data.size(), dest), c.code) << "cap " << c.cap;
    }
}

// Each code has its text (201 and 202 share one), and nothing else has one.
TEST(LosslessJpegResult, EveryCodeHasItsOwnText) {
    std::vector<std::string> seen;
    for (int code = 0; code < 300; ++code) {
        std::string text = LosslessResultText(code);
        bool known = code == 0 || (code >= 101 && code <= 119) || (code >= 200 && code <= 204);
        EXPECT_EQ(text != "unknown result", known) << code;
        if (known && code != 202) {
            EXPECT_EQ(std::count(seen.begin(), seen.end(), text), 0) << code << " " << text;
            seen.push_back(text);
        }
    }
}

} // namespace
