// The PCX decoder.
#include "pcx_codec.h"

#include <cstring>

#include "file_reader.h"
#include "image_memory.h"

namespace {

constexpr int kHeaderSize = 128;
constexpr BYTE kManufacturer = 10;
constexpr BYTE kPaletteMarker = 12;

inline int U16(const BYTE* p) { return p[0] | (p[1] << 8); }

// The decoded byte stream of the file's pixel data: bytes from 192 up start
// a run (count = byte & 0x3F, value = next byte), smaller ones stand for
// themselves. A run may continue across lines and planes, as some encoders
// write them. Past the end of the data the stream yields zeros.
class PcxStream {
public:
    PcxStream(const BYTE* data, size_t size) : p_(data), end_(data + size) {}

    BYTE Next() {
        if (runLeft_ > 0) {
            --runLeft_;
            return runValue_;
        }
        while (p_ < end_) {
            BYTE b = *p_++;
            if (b < 192) return b;
            int count = b & 0x3F;
            BYTE value = p_ < end_ ? *p_++ : 0;
            if (count == 0) continue;
            runLeft_ = count - 1;
            runValue_ = value;
            return value;
        }
        return 0;
    }
    // Nothing left but zeros.
    bool Exhausted() const { return runLeft_ == 0 && p_ >= end_; }
    // The raw data after the decoded part (for the colour table).
    const BYTE* Rest() const { return p_; }
    size_t RestSize() const { return static_cast<size_t>(end_ - p_); }

private:
    const BYTE* p_;
    const BYTE* end_;
    int runLeft_ = 0;
    BYTE runValue_ = 0;
};

}  // namespace

LoadError PcxHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    FileReader in(file);
    BYTE header[kHeaderSize] = {};
    in.Read(header, sizeof header);
    if (header[0] != kManufacturer) return kLoadCorrupt;

    const int bitsPerPlane = header[3];
    const int planes = header[65];
    const int depth = bitsPerPlane * planes;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return kLoadUnsupportedVersion;
    const int width = U16(header + 8) - U16(header + 4) + 1;
    const int height = U16(header + 10) - U16(header + 6) + 1;
    // Window corners the wrong way round describe no picture.
    if (width <= 0 || height <= 0) return kLoadCorrupt;
    const int bytesPerLine = U16(header + 66);

    RGBQUAD colours[16];
    const RGBQUAD* table = nullptr;
    int colourCount = 0;
    if (depth == 4) {
        for (int i = 0; i < 16; ++i) {
            const BYTE* t = header + 16 + 3 * i;
            colours[i] = {t[2], t[1], t[0], 0};
        }
        table = colours;
        colourCount = 16;
    } else if (depth == 1) {
        colours[0] = {0, 0, 0, 0};
        colours[1] = {255, 255, 255, 0};
        table = colours;
        colourCount = 2;
    }
    if (!CreatePlain(width, height, depth, table, colourCount)) return kLoadOutOfMemory;
    wsprintfW(image_.formatText, u"Ver.%d%s", header[1],
              header[2] == 1 ? u" - RLE compression" : u" - uncompressed");
    if (AbortFlagSet()) return kLoadAborted;

    // The whole pixel data in one read.
    const uint64_t dataSize = in.Remaining();
    if (in.Failed() || dataSize > SIZE_MAX / 2) return kLoadOutOfMemory;
    BYTE* data = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(dataSize)));
    if (!data) return kLoadOutOfMemory;
    const size_t got = in.Read(data, static_cast<size_t>(dataSize));

    const int stride = RowStride(image_);
    std::memset(image_.pixels, 0, static_cast<size_t>(stride) * height);
    PcxStream stream(data, got);
    LoadError result = kLoadOk;
    // Rows run from the top of the picture (memory row height - 1) down;
    // once the data are used up the remaining rows stay black.
    for (int line = 0; line < height && !stream.Exhausted(); ++line) {
        if (AbortFlagSet()) {
            result = kLoadAborted;
            break;
        }
        BYTE* row = RowAddress(image_, height - 1 - line);
        if (depth == 8) {
            // A line holds the width rounded up to even. Writers that do not
            // pad odd widths (ImageMagick, netpbm) and writers that pad
            // further both say so in bytes-per-line, which then rules.
            const int lineLength = bytesPerLine >= width ? bytesPerLine : width + (width & 1);
            for (int x = 0; x < lineLength; ++x) {
                BYTE v = stream.Next();
                if (x < width) row[x] = v;
            }
        } else if (depth == 24) {
            for (int plane = 0; plane < 3; ++plane) {
                BYTE* out = row + 2 - plane;
                for (int x = 0; x < bytesPerLine; ++x) {
                    BYTE v = stream.Next();
                    if (x < width) out[3 * x] = v;
                }
            }
        } else {
            for (int plane = 0; plane < planes; ++plane) {
                for (int x = 0; x < bytesPerLine; ++x) {
                    BYTE v = stream.Next();
                    if (planes == 4) {
                        // Plane k gives bit k of the eight pixels 8x .. 8x + 7,
                        // two to a byte of the packed 4-bit row.
                        if (4 * x + 3 >= stride) continue;
                        BYTE* out = row + 4 * x;
                        for (int j = 0; j < 8; ++j) {
                            if (v & (0x80 >> j)) out[j >> 1] |= static_cast<BYTE>((j & 1 ? 1 : 16) << plane);
                        }
                    } else if (x < stride) {
                        row[x] = v;
                    }
                }
            }
        }
    }
    if (result == kLoadOk && depth == 8 && stream.RestSize() >= 769 && stream.Rest()[0] == kPaletteMarker) {
        // The 256-colour table follows the pixel data behind its marker.
        RGBQUAD* tableOut = ColourTable(image_.header);
        const BYTE* t = stream.Rest() + 1;
        for (int i = 0; i < 256; ++i, t += 3) tableOut[i] = {t[2], t[1], t[0], 0};
    }
    ImageFree(data);
    if (result == kLoadOk && ReducedLoadRequested()) ShrinkAfterDecode();
    return result;
}
