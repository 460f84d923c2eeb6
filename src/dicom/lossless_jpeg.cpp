// The lossless JPEG decoder. Headers are parsed through one bounded byte
// reader; the entropy-coded data through a bit reader on the same bytes that
// stops at the first marker and never moves past the end of the input. Only
// two rows of samples are held; every other buffer is the caller's.
#include "dicom/lossless_jpeg.h"

#include <bit>
#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr size_t kDefaultWorkingMemory = size_t{2} << 20;
constexpr int kMaxScanComponents = 4;
constexpr int kTableCount = 4;

// Marker codes (the byte after FF).
constexpr int kSof0 = 0xC0;
constexpr int kSof1 = 0xC1;
constexpr int kSof3 = 0xC3;
constexpr int kDht = 0xC4;
constexpr int kRst0 = 0xD0;
constexpr int kSoi = 0xD8;
constexpr int kEoi = 0xD9;
constexpr int kSos = 0xDA;
constexpr int kDqt = 0xDB;
constexpr int kDri = 0xDD;
constexpr int kTem = 0x01;

// All header byte access goes through this reader: it knows how much is left
// and returns -1 rather than read past the end.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : pos_(data), end_(data + size) {}

    int Read() { return pos_ < end_ ? *pos_++ : -1; }
    bool Has(size_t count) const { return static_cast<size_t>(end_ - pos_) >= count; }
    size_t Left() const { return static_cast<size_t>(end_ - pos_); }
    // U8 and U16 are called only after Has() said the bytes are there.
    unsigned U8() { return *pos_++; }
    unsigned U16() {
        unsigned v = (unsigned{pos_[0]} << 8) | pos_[1];
        pos_ += 2;
        return v;
    }
    void Skip(size_t count) { pos_ += count < Left() ? count : Left(); }

    const uint8_t* Position() const { return pos_; }
    const uint8_t* End() const { return end_; }
    void SetPosition(const uint8_t* pos) { pos_ = pos; }

private:
    const uint8_t* pos_;
    const uint8_t* end_;
};

// One DC Huffman table as read from a DHT segment, plus the tables derived
// from it (T.81 Annex C) for decoding.
struct HuffmanTable {
    uint8_t counts[17] = {};   // counts[l]: codes of length l, 1-16
    uint8_t symbols[256] = {};
    int symbolCount = 0;
    int32_t maxCode[18] = {};  // largest code of each length, -1 when none
    int32_t valueOffset[17] = {}; // symbol index of a code = valueOffset[l] + code
    // For every 8-bit prefix: the length of the code it begins with (0 when
    // that code is longer than 8 bits) and the code's symbol.
    uint8_t lookLength[256] = {};
    uint8_t lookSymbol[256] = {};
};

struct FrameComponent {
    uint8_t id;
    uint8_t sampling; // high nibble horizontal, low nibble vertical
};

struct ScanHeader {
    int count = 0;                           // Ns
    int frameIndex[kMaxScanComponents] = {}; // which frame component
    int table[kMaxScanComponents] = {};      // DC table selector Td
    int predictor = 0;                       // Ss
    int pointTransform = 0;                  // Pt
};

struct Decoder {
    explicit Decoder(const uint8_t* data, size_t size, size_t memoryCap)
        : in(data, size), memoryLeft(memoryCap) {}

    ByteReader in;
    size_t memoryLeft;

    int frameMarker = 0;
    int precision = 0;       // P
    uint32_t lines = 0;      // Y
    uint32_t samplesPerLine = 0; // X
    int frameComponentCount = 0; // Nf
    FrameComponent frameComponents[256] = {};
    ScanHeader scan;
    uint32_t restartInterval = 0; // Ri, in MCUs (one sample per component each)
    std::unique_ptr<HuffmanTable> tables[kTableCount];

    bool Charge(size_t bytes) {
        if (bytes > memoryLeft)
            return false;
        memoryLeft -= bytes;
        return true;
    }
};

// Finds the next marker: skips bytes up to an FF, then any further FF fill
// bytes; FF 00 is not a marker and the search goes on. -1 at the end.
int NextMarker(ByteReader& in) {
    for (;;) {
        int c = in.Read();
        if (c < 0)
            return -1;
        if (c != 0xFF)
            continue;
        do {
            c = in.Read();
        } while (c == 0xFF);
        if (c < 0)
            return -1;
        if (c != 0)
            return c;
    }
}

int ReadHuffmanTables(Decoder& d) {
    ByteReader& in = d.in;
    if (!in.Has(2))
        return kLosslessBadTableCounts;
    size_t length = in.U16();
    size_t left = length >= 2 ? length - 2 : 0;
    if (!in.Has(left))
        return kLosslessBadTableCounts;
    while (left > 0) {
        unsigned classAndId = in.U8();
        --left;
        // Only DC-class tables 0-3 exist in lossless data; an AC table means
        // the frame is not one this decoder can read.
        if (classAndId > 3)
            return kLosslessBadTableClass;
        if (left < 16)
            return kLosslessBadTableCounts;
        uint8_t counts[17] = {};
        int sum = 0;
        for (int l = 1; l <= 16; ++l) {
            counts[l] = static_cast<uint8_t>(in.U8());
            sum += counts[l];
        }
        left -= 16;
        if (sum > 256 || static_cast<size_t>(sum) > left)
            return kLosslessBadTableCounts;
        std::unique_ptr<HuffmanTable>& table = d.tables[classAndId];
        if (!table) {
            if (!d.Charge(sizeof(HuffmanTable)))
                return kLosslessNoMemoryTable;
            table.reset(new (std::nothrow) HuffmanTable);
            if (!table)
                return kLosslessNoMemoryTable;
        }
        std::memcpy(table->counts, counts, sizeof counts);
        table->symbolCount = sum;
        for (int i = 0; i < sum; ++i)
            table->symbols[i] = static_cast<uint8_t>(in.U8());
        left -= static_cast<size_t>(sum);
    }
    return kLosslessOk;
}

int ReadRestartDefinition(Decoder& d) {
    ByteReader& in = d.in;
    if (!in.Has(2) || in.U16() != 4 || !in.Has(2))
        return kLosslessBadRestartDefinition;
    d.restartInterval = in.U16();
    return kLosslessOk;
}

// Runs the marker search, handling the table segments met on the way, until a
// frame, scan, SOI or EOI marker (returned in *marker) or the end (-1).
int ProcessTables(Decoder& d, int* marker) {
    for (;;) {
        int m = NextMarker(d.in);
        *marker = m;
        if (m < 0)
            return kLosslessOk;
        if (m == kTem || (m >= kRst0 && m <= kRst0 + 7))
            continue;
        if (m == kDht) {
            if (int code = ReadHuffmanTables(d))
                return code;
            continue;
        }
        if (m == kDri) {
            if (int code = ReadRestartDefinition(d))
                return code;
            continue;
        }
        if (m == kDqt)
            return kLosslessQuantTable;
        bool frameMarker = m >= 0xC0 && m <= 0xCF && m != kDht && m != 0xCC;
        if (frameMarker || m == kSoi || m == kEoi || m == kSos)
            return kLosslessOk;
        // APPn, COM, DAC and the rest: skipped by their segment length. A
        // length below 2 (which cannot count itself) skips nothing.
        if (!d.in.Has(2)) {
            d.in.Skip(2);
            continue;
        }
        size_t length = d.in.U16();
        if (length > 2)
            d.in.Skip(length - 2);
    }
}

int ReadFrameHeader(Decoder& d) {
    ByteReader& in = d.in;
    if (!in.Has(8))
        return kLosslessBadFrameHeader;
    unsigned length = in.U16();
    d.precision = static_cast<int>(in.U8());
    d.lines = in.U16();
    d.samplesPerLine = in.U16();
    d.frameComponentCount = static_cast<int>(in.U8());
    if (d.lines == 0 || d.samplesPerLine == 0 || d.frameComponentCount == 0)
        return kLosslessEmptyFrame;
    if (d.precision < 2 || d.precision > 16)
        return kLosslessBadPrecision;
    if (length != 8u + 3u * static_cast<unsigned>(d.frameComponentCount))
        return kLosslessBadFrameHeader;
    if (!in.Has(3 * static_cast<size_t>(d.frameComponentCount)))
        return kLosslessBadFrameHeader;
    for (int i = 0; i < d.frameComponentCount; ++i) {
        d.frameComponents[i].id = static_cast<uint8_t>(in.U8());
        d.frameComponents[i].sampling = static_cast<uint8_t>(in.U8());
        in.U8(); // quantisation table selector: lossless data has none
    }
    return kLosslessOk;
}

int ReadScanHeader(Decoder& d, ScanHeader* scan) {
    ByteReader& in = d.in;
    if (!in.Has(3))
        return kLosslessBadScanHeader;
    unsigned length = in.U16();
    int count = static_cast<int>(in.U8());
    if (length != 6u + 2u * static_cast<unsigned>(count) || count < 1 ||
        count > kMaxScanComponents)
        return kLosslessBadScanHeader;
    if (!in.Has(2 * static_cast<size_t>(count) + 3))
        return kLosslessBadScanHeader;
    scan->count = count;
    for (int i = 0; i < count; ++i) {
        unsigned id = in.U8();
        unsigned tables = in.U8();
        int found = -1;
        for (int k = 0; k < d.frameComponentCount && found < 0; ++k) {
            if (d.frameComponents[k].id == id)
                found = k;
        }
        if (found < 0)
            return kLosslessUnknownScanComponent;
        scan->frameIndex[i] = found;
        scan->table[i] = static_cast<int>(tables >> 4);
    }
    scan->predictor = static_cast<int>(in.U8());
    in.U8(); // Se: unused in lossless scans
    scan->pointTransform = static_cast<int>(in.U8() & 0x0F);
    // The first prediction is 2^(P - Pt - 1): a point transform that leaves
    // no bits is not a lossless scan.
    if (scan->pointTransform >= d.precision)
        return kLosslessBadScanHeader;
    return kLosslessOk;
}

// SOI, tables, the frame header, more tables, the scan header.
int ReadHeaders(Decoder& d) {
    if (d.in.Read() != 0xFF || d.in.Read() != kSoi)
        return kLosslessNoSoi;
    int marker = -1;
    if (int code = ProcessTables(d, &marker))
        return code;
    if (marker != kSof0 && marker != kSof1 && marker != kSof3)
        return kLosslessBadFrameMarker;
    d.frameMarker = marker;
    if (int code = ReadFrameHeader(d))
        return code;
    if (int code = ProcessTables(d, &marker))
        return code;
    if (marker != kSos)
        return kLosslessBadScanHeader;
    return ReadScanHeader(d, &d.scan);
}

// Checks that belong to the frame as a whole, before any memory is spent.
int CheckFrame(const Decoder& d) {
    for (int i = 0; i < d.frameComponentCount; ++i) {
        if (d.frameComponents[i].sampling != 0x11)
            return kLosslessBadSampling;
    }
    if (d.scan.count > kMaxScanComponents)
        return kLosslessTooManyComponents;
    return kLosslessOk;
}

// T.81 Annex C: canonical codes from the counts, then the per-length limits
// and the 8-bit look-ahead table.
int BuildDecodingTables(HuffmanTable& t) {
    int32_t code = 0;
    int index = 0;
    for (int l = 1; l <= 16; ++l) {
        int count = t.counts[l];
        if (count == 0) {
            t.maxCode[l] = -1;
        } else {
            t.valueOffset[l] = index - code;
            // An over-full table would give codes longer than their length;
            // a last code of all one bits is still unambiguous and some
            // encoders use it, so it is accepted.
            if (code + count > (int32_t{1} << l))
                return kLosslessBadTableCounts;
            if (l <= 8) {
                for (int k = 0; k < count; ++k) {
                    int first = (code + k) << (8 - l);
                    for (int e = 0; e < (1 << (8 - l)); ++e) {
                        t.lookLength[first + e] = static_cast<uint8_t>(l);
                        t.lookSymbol[first + e] = t.symbols[index + k];
                    }
                }
            }
            code += count;
            index += count;
            t.maxCode[l] = code - 1;
        }
        code <<= 1;
    }
    t.maxCode[17] = INT32_MAX; // stops the bit-by-bit extension
    return kLosslessOk;
}

// Reads entropy-coded bits. Stuffed FF 00 is the data byte FF; any other FF
// is a marker, which the reader stops in front of and from then on feeds
// zero bytes, counting them so that consuming them can be detected.
struct BitReader {
    const uint8_t* pos;
    const uint8_t* end;
    uint64_t acc = 0;  // valid bits are the low `bits` bits, oldest highest
    int bits = 0;
    int padBits = 0;   // zero bits fed in behind a marker or the end
    bool stopped = false;

    void Fill() {
        // Fast path: eight bytes none of which is FF go in whole, up to 56
        // bits at once (the reader only fills when fewer than 32 are left).
        if (!stopped && end - pos >= 8) {
            uint64_t chunk;
            std::memcpy(&chunk, pos, 8);
            if constexpr (std::endian::native == std::endian::little)
                chunk = __builtin_bswap64(chunk);
            uint64_t inverted = ~chunk; // an FF byte becomes a zero byte
            bool hasFF = ((inverted - 0x0101010101010101u) & ~inverted & 0x8080808080808080u) != 0;
            if (!hasFF) {
                int count = (63 - bits) >> 3;
                acc = (acc << (8 * count)) | (chunk >> (64 - 8 * count));
                bits += 8 * count;
                pos += count;
                return;
            }
        }
        while (bits <= 56) {
            uint64_t byte = 0;
            if (!stopped) {
                if (pos < end && *pos != 0xFF) {
                    byte = *pos++;
                } else if (end - pos > 1 && pos[1] == 0) {
                    byte = 0xFF;
                    pos += 2;
                } else {
                    stopped = true;
                }
            }
            if (stopped)
                padBits += 8;
            acc = (acc << 8) | byte;
            bits += 8;
        }
    }

    // Forgets the buffered bits (before a restart marker).
    void Reset() {
        acc = 0;
        bits = 0;
        padBits = 0;
        stopped = false;
    }

    bool Overrun() const { return bits < padBits; }
};

// Decodes one difference (T.81 F.2.2.3, F.2.2.1, H.1.2.2); false on a code
// that is not in the table. Inlined into the row loops, where nearly all the
// decoding time goes.
[[gnu::always_inline]] inline bool DecodeDifference(BitReader& br, const HuffmanTable& t, int* diff) {
    if (br.bits < 32)
        br.Fill(); // now at least 56 bits: a 16-bit code and 15 extra bits fit
    unsigned peek = static_cast<unsigned>(br.acc >> (br.bits - 8)) & 0xFF;
    int s;
    if (int length = t.lookLength[peek]) {
        br.bits -= length;
        s = t.lookSymbol[peek];
    } else {
        int32_t code = static_cast<int32_t>(peek);
        br.bits -= 8;
        int l = 8;
        do {
            if (++l > 16)
                return false;
            code = (code << 1) | static_cast<int32_t>((br.acc >> --br.bits) & 1);
        } while (code > t.maxCode[l]);
        int index = t.valueOffset[l] + code;
        if (index < 0 || index >= t.symbolCount)
            return false;
        s = t.symbols[index];
    }
    if (s <= 15) {
        // s more bits, extended to a signed value (a value below 2^(s-1)
        // has 2^s - 1 subtracted). Written without branches, as the sign
        // of a difference cannot be predicted; s = 0 gives 0.
        br.bits -= s;
        int v = static_cast<int>((br.acc >> br.bits) & ((uint64_t{1} << s) - 1));
        int half = (1 << s) >> 1;
        v += ((v - half) >> 31) & (1 - (1 << s));
        *diff = v;
    } else if (s == 16) {
        *diff = 32768;
    } else {
        return false;
    }
    return true;
}

// Predictors of T.81 table H.1 on samples taken as unsigned values; the sum
// with the difference is reduced modulo 2^16 by the store.
template <int kPredictor>
inline int Predict(int ra, int rb, int rc) {
    switch (kPredictor) {
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

struct RowContext {
    const HuffmanTable* tables[kMaxScanComponents];
    int components;    // Ns
    uint32_t width;    // X
    int firstPrediction; // 2^(P - Pt - 1)
};

// The first row of the picture or of a restart interval: the first sample
// from the fixed prediction, the rest from their left neighbours.
template <int kComponents>
int DecodeFirstRow(const RowContext& rc, BitReader& br, uint16_t* cur) {
    const int ns = kComponents ? kComponents : rc.components;
    int diff;
    for (int c = 0; c < ns; ++c) {
        if (!DecodeDifference(br, *rc.tables[c], &diff))
            return kLosslessBadCode;
        cur[c] = static_cast<uint16_t>(rc.firstPrediction + diff);
    }
    const size_t n = size_t{rc.width} * static_cast<size_t>(ns);
    for (size_t i = static_cast<size_t>(ns); i < n; i += static_cast<size_t>(ns)) {
        for (int c = 0; c < ns; ++c) {
            if (!DecodeDifference(br, *rc.tables[c], &diff))
                return kLosslessBadCode;
            cur[i + c] = static_cast<uint16_t>(cur[i + c - ns] + diff);
        }
    }
    return kLosslessOk;
}

// Any other row: the first sample from the one above, the rest from the
// selected predictor.
template <int kPredictor, int kComponents>
int DecodeRow(const RowContext& rc, BitReader& br, const uint16_t* prev, uint16_t* cur) {
    const int ns = kComponents ? kComponents : rc.components;
    int diff;
    for (int c = 0; c < ns; ++c) {
        if (!DecodeDifference(br, *rc.tables[c], &diff))
            return kLosslessBadCode;
        cur[c] = static_cast<uint16_t>(prev[c] + diff);
    }
    const size_t n = size_t{rc.width} * static_cast<size_t>(ns);
    for (size_t i = static_cast<size_t>(ns); i < n; i += static_cast<size_t>(ns)) {
        for (int c = 0; c < ns; ++c) {
            if (!DecodeDifference(br, *rc.tables[c], &diff))
                return kLosslessBadCode;
            int prediction = Predict<kPredictor>(cur[i + c - ns], prev[i + c], prev[i + c - ns]);
            cur[i + c] = static_cast<uint16_t>(prediction + diff);
        }
    }
    return kLosslessOk;
}

using RowDecoder = int (*)(const RowContext&, BitReader&, const uint16_t*, uint16_t*);
using FirstRowDecoder = int (*)(const RowContext&, BitReader&, uint16_t*);

template <int kComponents>
RowDecoder PickRowDecoder(int predictor) {
    switch (predictor) {
    case 1: return DecodeRow<1, kComponents>;
    case 2: return DecodeRow<2, kComponents>;
    case 3: return DecodeRow<3, kComponents>;
    case 4: return DecodeRow<4, kComponents>;
    case 5: return DecodeRow<5, kComponents>;
    case 6: return DecodeRow<6, kComponents>;
    case 7: return DecodeRow<7, kComponents>;
    default: return DecodeRow<0, kComponents>;
    }
}

// Searches for the restart marker after a restart interval: an FF followed
// by a byte that is neither FF nor 00. It must be RST(expected).
bool ReadRestartMarker(BitReader& br, int expected) {
    ByteReader in(br.pos, static_cast<size_t>(br.end - br.pos));
    int m = NextMarker(in);
    br.pos = in.Position();
    br.Reset();
    return m == kRst0 + expected;
}

struct OutputLayout {
    uint8_t* pixels;
    size_t stride;
    uint32_t height;
    int samplesPerPixel; // 1 or 3
    int order[3];        // scan component for each output sample
    bool wide;           // 16-bit samples
    bool bottomUp;
};

void WriteRow(const OutputLayout& out, uint32_t row, const uint16_t* cur, uint32_t width,
              int components, int pointTransform) {
    uint32_t slot = out.bottomUp ? out.height - 1 - row : row;
    uint8_t* dst = out.pixels + size_t{slot} * out.stride;
    if (out.samplesPerPixel == 1) {
        if (out.wide) {
            if (pointTransform == 0) {
                std::memcpy(dst, cur, size_t{width} * 2);
                return;
            }
            for (uint32_t x = 0; x < width; ++x) {
                uint16_t v = static_cast<uint16_t>(cur[x] << pointTransform);
                std::memcpy(dst + 2 * size_t{x}, &v, 2);
            }
        } else {
            for (uint32_t x = 0; x < width; ++x)
                dst[x] = static_cast<uint8_t>(cur[x] << pointTransform);
        }
        return;
    }
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t* pixel = cur + size_t{x} * static_cast<size_t>(components);
        for (int k = 0; k < 3; ++k) {
            int c = out.order[k];
            unsigned v = c < components ? static_cast<unsigned>(pixel[c]) << pointTransform : 0;
            if (out.wide) {
                uint16_t w = static_cast<uint16_t>(v);
                std::memcpy(dst + (size_t{x} * 3 + static_cast<size_t>(k)) * 2, &w, 2);
            } else {
                dst[size_t{x} * 3 + static_cast<size_t>(k)] = static_cast<uint8_t>(v);
            }
        }
    }
}

// Checks the frame against the caller's expectations and buffer and works
// out where rows go. 0 or 118.
int PlanOutput(const Decoder& d, const LosslessDestination& dest, OutputLayout* out) {
    int samplesPerPixel = d.scan.count == 1 ? 1 : 3;
    if (d.samplesPerLine != dest.width || d.lines != dest.height ||
        static_cast<uint32_t>(samplesPerPixel) != dest.samplesPerPixel || !dest.pixels)
        return kLosslessGeometryMismatch;
    bool wide = dest.form == LosslessSampleForm::kFull16;
    // Width is at most 65535 and a pixel at most 6 bytes: no overflow here.
    size_t rowBytes = size_t{d.samplesPerLine} * static_cast<size_t>(samplesPerPixel) * (wide ? 2 : 1);
    size_t stride = dest.rowStride ? dest.rowStride : rowBytes;
    if (stride < rowBytes)
        return kLosslessGeometryMismatch;
    size_t lastRow = d.lines - 1;
    if (lastRow > 0 && stride > (SIZE_MAX - rowBytes) / lastRow)
        return kLosslessGeometryMismatch;
    if (lastRow * stride + rowBytes > dest.size)
        return kLosslessGeometryMismatch;
    out->pixels = dest.pixels;
    out->stride = stride;
    out->height = d.lines;
    out->samplesPerPixel = samplesPerPixel;
    for (int k = 0; k < 3; ++k)
        out->order[k] = dest.blueGreenRed ? 2 - k : k;
    out->wide = wide;
    out->bottomUp = dest.bottomUp;
    return kLosslessOk;
}

struct RowBuffer {
    uint16_t* samples = nullptr;
    ~RowBuffer() { delete[] samples; }
};

int DecodeScan(Decoder& d, const LosslessDestination& dest) {
    OutputLayout out;
    if (int code = PlanOutput(d, dest, &out))
        return code;

    const int ns = d.scan.count;
    const size_t rowSamples = size_t{d.samplesPerLine} * static_cast<size_t>(ns);
    RowBuffer previous, current;
    if (!d.Charge(rowSamples * sizeof(uint16_t)) ||
        !(previous.samples = new (std::nothrow) uint16_t[rowSamples]))
        return kLosslessNoMemoryPreviousRow;
    if (!d.Charge(rowSamples * sizeof(uint16_t)) ||
        !(current.samples = new (std::nothrow) uint16_t[rowSamples]))
        return kLosslessNoMemoryCurrentRow;

    RowContext rc;
    for (int c = 0; c < ns; ++c) {
        int selector = d.scan.table[c];
        if (selector >= kTableCount || !d.tables[selector])
            return kLosslessUndefinedTable;
        rc.tables[c] = d.tables[selector].get();
    }
    // Only the tables the scan uses are built: a defective table that is
    // defined but never used does not spoil the frame.
    bool built[kTableCount] = {};
    for (int c = 0; c < ns; ++c) {
        int selector = d.scan.table[c];
        if (!built[selector]) {
            if (int code = BuildDecodingTables(*d.tables[selector]))
                return code;
            built[selector] = true;
        }
    }
    rc.components = ns;
    rc.width = d.samplesPerLine;
    rc.firstPrediction = 1 << (d.precision - d.scan.pointTransform - 1);

    // Restart intervals count MCUs of one sample per component; in lossless
    // data they must cover whole rows, else predictions would restart
    // mid-row, which the format does not define.
    uint32_t intervalRows = 0;
    if (d.restartInterval != 0) {
        if (d.restartInterval % d.samplesPerLine != 0)
            return kLosslessBadRestartDefinition;
        intervalRows = d.restartInterval / d.samplesPerLine;
    }

    FirstRowDecoder firstRow = ns == 1 ? DecodeFirstRow<1> : DecodeFirstRow<0>;
    RowDecoder nextRow = ns == 1 ? PickRowDecoder<1>(d.scan.predictor)
                                 : PickRowDecoder<0>(d.scan.predictor);

    BitReader br;
    br.pos = d.in.Position();
    br.end = d.in.End();
    uint16_t* prev = previous.samples;
    uint16_t* cur = current.samples;
    int expectedRestart = 0;
    for (uint32_t row = 0; row < d.lines; ++row) {
        bool restart = intervalRows != 0 && row > 0 && row % intervalRows == 0;
        if (restart) {
            if (!ReadRestartMarker(br, expectedRestart))
                return kLosslessBadRestartMarker;
            expectedRestart = (expectedRestart + 1) & 7;
        }
        int code = row == 0 || restart ? firstRow(rc, br, cur) : nextRow(rc, br, prev, cur);
        if (code)
            return code;
        // Bits invented behind a marker or the end of the data were used:
        // the row is not what was encoded.
        if (br.Overrun())
            return kLosslessTruncated;
        WriteRow(out, row, cur, d.samplesPerLine, ns, d.scan.pointTransform);
        uint16_t* swap = prev;
        prev = cur;
        cur = swap;
    }

    // The picture is complete. Only a real second scan changes the result:
    // trailing bytes, padding after EOI (fragments are padded to even length)
    // or a defective segment after the scan are left alone.
    d.in.SetPosition(br.pos);
    int marker = -1;
    if (ProcessTables(d, &marker) == kLosslessOk && marker == kSos) {
        ScanHeader second;
        if (ReadScanHeader(d, &second) == kLosslessOk)
            return kLosslessSecondScan;
    }
    return kLosslessOk;
}

} // namespace

int DecodeLossless(const uint8_t* data, size_t size, const LosslessDestination& dest) {
    if (!data)
        size = 0;
    Decoder d(data, size, dest.maxWorkingMemory ? dest.maxWorkingMemory : kDefaultWorkingMemory);
    if (int code = ReadHeaders(d))
        return code;
    if (int code = CheckFrame(d))
        return code;
    return DecodeScan(d, dest);
}

int ReadLosslessFrameInfo(const uint8_t* data, size_t size, LosslessFrameInfo* info) {
    if (!data)
        size = 0;
    Decoder d(data, size, kDefaultWorkingMemory);
    int code = ReadHeaders(d);
    if (code == kLosslessOk)
        code = CheckFrame(d);
    if (info) {
        *info = LosslessFrameInfo{};
        info->width = d.samplesPerLine;
        info->height = d.lines;
        info->precision = static_cast<uint32_t>(d.precision);
        info->frameComponents = static_cast<uint32_t>(d.frameComponentCount);
        info->scanComponents = static_cast<uint32_t>(d.scan.count);
        info->samplesPerPixel = d.scan.count == 0 ? 0 : d.scan.count == 1 ? 1 : 3;
        info->predictor = static_cast<uint32_t>(d.scan.predictor);
        info->pointTransform = static_cast<uint32_t>(d.scan.pointTransform);
        info->restartInterval = d.restartInterval;
        info->frameMarker = static_cast<uint32_t>(d.frameMarker);
    }
    return code;
}

const char* LosslessResultText(int code) {
    static const struct {
        int code;
        const char* text;
    } kTexts[] = {
        {kLosslessOk, "decoded"},
        {kLosslessNoSoi, "no SOI marker at the start"},
        {kLosslessEmptyFrame, "frame with zero lines, samples per line or components"},
        {kLosslessQuantTable, "DQT segment present"},
        {kLosslessBadPrecision, "sample precision outside 2-16"},
        {kLosslessBadSampling, "component sampling factors other than 1x1"},
        {kLosslessSecondScan, "a second scan follows"},
        {kLosslessBadFrameMarker, "frame marker other than C0, C1, C3"},
        {kLosslessUndefinedTable, "scan uses an undefined Huffman table"},
        {kLosslessTooManyComponents, "more than four scan components"},
        {kLosslessBadCode, "Huffman code longer than 16 bits"},
        {kLosslessBadTableCounts, "Huffman table counts wrong"},
        {kLosslessBadTableClass, "Huffman table class or identifier not accepted"},
        {kLosslessBadRestartDefinition, "restart interval definition wrong"},
        {kLosslessBadFrameHeader, "frame header length wrong"},
        {kLosslessBadScanHeader, "scan header missing or wrong"},
        {kLosslessUnknownScanComponent, "scan component not in the frame"},
        {kLosslessBadRestartMarker, "wrong or missing restart marker"},
        {kLosslessGeometryMismatch, "frame does not match the destination"},
        {kLosslessTruncated, "compressed data ends early"},
        {kLosslessNoMemoryTable, "no memory for a Huffman table"},
        {kLosslessNoMemoryPreviousPointers, "no memory for the row pointers"},
        {kLosslessNoMemoryCurrentPointers, "no memory for the row pointers"},
        {kLosslessNoMemoryPreviousRow, "no memory for the previous row"},
        {kLosslessNoMemoryCurrentRow, "no memory for the current row"},
    };
    for (const auto& entry : kTexts) {
        if (entry.code == code)
            return entry.text;
    }
    return "unknown result";
}
