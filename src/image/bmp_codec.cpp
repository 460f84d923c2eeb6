// The BMP decoder and writer.
#include "bmp_codec.h"

#include <cstring>

#include "file_reader.h"
#include "image_memory.h"

namespace {

constexpr WORD kBmpType = 0x4D42;  // "BM"
constexpr DWORD kCoreHeaderSize = 12;
constexpr DWORD kInfoHeaderSize = 40;
// Files written by one old converter carry 3-byte colour entries behind a
// 40-byte header; their pixels start at exactly this offset.
constexpr DWORD kThreeByteTableOffset = 462;

inline WORD U16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
inline DWORD U32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}
inline void Put16(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
inline void Put32(BYTE* p, DWORD v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

bool IsBmpDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32:
            return true;
        default:
            return false;
    }
}

// The header fields the decoder works with.
struct BmpInfo {
    DWORD headerSize;
    int width;
    int height;  // positive; topDown tells the row order
    bool topDown;
    int bitsPerPixel;
    DWORD compression;
    DWORD coloursUsed;
    DWORD masks[3];  // red, green, blue of 16- and 32-bit pixels
};

// One channel of a 16- or 32-bit pixel: where its bits are and how many.
struct ChannelMask {
    DWORD mask;
    int shift;
    int bits;
};

ChannelMask MakeChannelMask(DWORD mask) {
    ChannelMask c = {mask, 0, 0};
    if (mask == 0) return c;
    while (!((mask >> c.shift) & 1)) ++c.shift;
    for (DWORD m = mask >> c.shift; m & 1; m >>= 1) ++c.bits;
    return c;
}

// The channel's value as 8 bits: narrower fields are shifted up (a 5-bit
// field gives v << 3), wider ones keep their top 8 bits.
inline BYTE ChannelValue(const ChannelMask& c, DWORD pixel) {
    if (c.bits == 0) return 0;
    DWORD v = (pixel & c.mask) >> c.shift;
    return static_cast<BYTE>(c.bits >= 8 ? v >> (c.bits - 8) : v << (8 - c.bits));
}

// RLE8 into bottom-up image memory of `size` bytes with lines of `lineLength`
// bytes. Every write is bounded by the image memory; the stream ends at an
// end-of-bitmap or delta code, or at the end of the file. True when the file
// ended first while lines were still to come: the picture is incomplete.
bool DecodeRle8(FileReader& in, BYTE* memory, size_t size, size_t lineLength) {
    size_t lineStart = 0;
    size_t pos = 0;
    for (;;) {
        int count = in.ReadByte();
        if (count < 0) return true;
        if (count > 0) {
            int value = in.ReadByte();
            if (value < 0) return true;
            if (pos < size) {
                size_t n = static_cast<size_t>(count) < size - pos ? count : size - pos;
                std::memset(memory + pos, value, n);
            }
            pos += count;
            continue;
        }
        int code = in.ReadByte();
        if (code < 0) return true;
        if (code == 1) return false;        // end of bitmap
        if (code == 2) return false;        // deltas are not supported: stop
        if (code == 0) {                    // end of line
            if (AbortFlagSet()) return false;
            lineStart += lineLength;
            pos = lineStart;
            if (lineStart >= size) return false;  // nothing more can land in the image
            continue;
        }
        for (int i = 0; i < code; ++i) {  // absolute run
            int value = in.ReadByte();
            if (value < 0) return true;
            if (pos < size) memory[pos] = static_cast<BYTE>(value);
            ++pos;
        }
        if (code & 1) in.ReadByte();  // runs are padded to 16 bits
    }
}

// RLE4: nibbles are OR-ed into zeroed memory; each run starts at the high half
// of the current byte. The result as DecodeRle8's.
bool DecodeRle4(FileReader& in, BYTE* memory, size_t size, size_t lineLength) {
    size_t lineStart = 0;
    size_t pos = 0;
    for (;;) {
        int count = in.ReadByte();
        if (count < 0) return true;
        if (count > 0) {
            int value = in.ReadByte();
            if (value < 0) return true;
            for (int i = 0; i < count; ++i) {
                if ((i & 1) == 0) {
                    if (pos < size) memory[pos] |= static_cast<BYTE>(value & 0xF0);
                } else {
                    if (pos < size) memory[pos] |= static_cast<BYTE>(value & 0x0F);
                    ++pos;
                }
            }
            continue;
        }
        int code = in.ReadByte();
        if (code < 0) return true;
        if (code == 1 || code == 2) return false;
        if (code == 0) {
            if (AbortFlagSet()) return false;
            lineStart += lineLength;
            pos = lineStart;
            if (lineStart >= size) return false;
            continue;
        }
        int data = in.ReadByte();
        if (data < 0) return true;
        for (int i = 0; i < code; ++i) {
            if ((i & 1) == 0) {
                if (pos < size) memory[pos] |= static_cast<BYTE>(data & 0xF0);
            } else {
                if (pos < size) memory[pos] |= static_cast<BYTE>(data & 0x0F);
                ++pos;
                if (i + 1 < code) {
                    data = in.ReadByte();
                    if (data < 0) return true;
                }
            }
        }
        if (((code + 1) / 2) & 1) in.ReadByte();
    }
}

// Swaps memory rows so that a picture decoded in file order from the bottom
// row up is the right way up although its file stored it top-down.
void FlipRows(RImage& image) {
    int height = image.header->biHeight;
    int stride = RowStride(image);
    BYTE* low = image.pixels;
    BYTE* high = image.pixels + static_cast<ptrdiff_t>(height - 1) * stride;
    for (; low < high; low += stride, high -= stride) {
        for (int i = 0; i < stride; ++i) {
            BYTE t = low[i];
            low[i] = high[i];
            high[i] = t;
        }
    }
}

bool WriteAll(HANDLE file, const void* data, DWORD count) {
    DWORD written = 0;
    return WriteFile(file, data, count, &written, nullptr) && written == count;
}

}  // namespace

LoadError BmpHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    ReleaseHandlerImage();
    FileReader in(file);
    if (in.Failed()) return kLoadReadError;
    const uint64_t start = in.Position();

    BYTE fileHeader[14];
    if (in.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader) return kLoadReadError;
    DWORD pixelOffset = 0;
    if (U16(fileHeader) == kBmpType) {
        pixelOffset = U32(fileHeader + 10);
    } else {
        // A bare bitmap: the information header comes first ("2bp", "img").
        in.Seek(start);
    }
    const uint64_t headerStart = in.Position();
    BYTE raw[40];
    if (in.Read(raw, sizeof raw) != sizeof raw) return kLoadReadError;

    BmpInfo info = {};
    info.headerSize = U32(raw);
    int64_t height;
    if (info.headerSize == kCoreHeaderSize) {
        info.width = U16(raw + 4);
        height = U16(raw + 6);
        info.bitsPerPixel = U16(raw + 10);
        info.compression = BI_RGB;
        info.coloursUsed = 0;
        in.Seek(headerStart + kCoreHeaderSize);
    } else {
        info.width = static_cast<LONG>(U32(raw + 4));
        height = static_cast<LONG>(U32(raw + 8));
        info.bitsPerPixel = U16(raw + 14);
        info.compression = U32(raw + 16);
        info.coloursUsed = U32(raw + 32);
        if (info.compression == BI_BITFIELDS) {
            // Bit-field masks (ImageMagick writes every 16- and 32-bit BMP
            // so): inside a version 4 or 5 header, else right after the
            // 40-byte header, before any colour table.
            BYTE masks[12] = {};
            if (info.headerSize >= kInfoHeaderSize + 12) in.Seek(headerStart + kInfoHeaderSize);
            if (in.Read(masks, sizeof masks) != sizeof masks) return kLoadReadError;
            for (int i = 0; i < 3; ++i) info.masks[i] = U32(masks + 4 * i);
        }
        // Version 4 and 5 headers (and OS/2 2.x ones) are longer than 40
        // bytes; their colour table starts after the whole header.
        if (info.headerSize > kInfoHeaderSize && headerStart + info.headerSize <= in.Size()) {
            in.Seek(headerStart + info.headerSize);
        }
    }
    info.topDown = height < 0;
    if (height < 0) height = -height;

    // A header whose sizes would overflow the row or image arithmetic, or
    // that describes no picture at all, is refused before allocating.
    if (!IsBmpDepth(info.bitsPerPixel) ||
        DibImageSize(info.width, height, info.bitsPerPixel) < 0 ||
        DibImageSize(info.width, height, 24) < 0) {
        return kLoadCorrupt;
    }
    info.height = static_cast<int>(height);
    const int rowLength = static_cast<int>(DibRowStride(info.width, info.bitsPerPixel));

    // The colour table: at most 256 entries are kept, the rest of a longer
    // table is skipped; a table cut short by the end of the file keeps zeros.
    RGBQUAD colours[256] = {};
    uint64_t count = info.coloursUsed;
    if (count == 0 && info.bitsPerPixel <= 8) count = 1u << info.bitsPerPixel;
    if (count > 0) {
        bool threeByte = info.headerSize == kCoreHeaderSize || pixelOffset == kThreeByteTableOffset;
        size_t entrySize = threeByte ? 3 : 4;
        size_t kept = count < 256 ? static_cast<size_t>(count) : 256;
        if (threeByte) {
            BYTE triples[256][3] = {};
            in.Read(triples, kept * 3);
            for (size_t i = 0; i < kept; ++i) {
                colours[i] = {triples[i][0], triples[i][1], triples[i][2], 0};
            }
        } else {
            in.Read(colours, kept * 4);
        }
        in.Seek(in.Position() + (count - kept) * entrySize);
    }
    const int colourCount = static_cast<int>(count < 256 ? count : 256);

    const bool rle = info.compression == BI_RLE8 || info.compression == BI_RLE4;
    const int depth = (info.bitsPerPixel == 16 || info.bitsPerPixel == 32) ? 24 : info.bitsPerPixel;
    // RLE data is laid out with the file's full row length, so it is decoded
    // at full size and shrunk afterwards.
    bool created = rle ? CreatePlain(info.width, info.height, depth, colours, colourCount)
                       : CreateForDecode(info.width, info.height, depth, colours, colourCount);
    if (!created) return kLoadOutOfMemory;

    if (pixelOffset != 0) in.Seek(start + pixelOffset);

    const int width = info.width;
    const int rows = info.height;
    auto memoryRow = [&](int fileRow) { return info.topDown ? rows - 1 - fileRow : fileRow; };

    switch (info.compression) {
        case BI_RLE8:
        case BI_RLE4: {
            size_t size = static_cast<size_t>(RowStride(image_)) * rows;
            if (info.compression == BI_RLE8) {
                image_.truncated = DecodeRle8(in, image_.pixels, size, RowStride(image_));
                lstrcpyW(image_.formatText, u"RLE8 compression");
            } else {
                std::memset(image_.pixels, 0, size);
                image_.truncated = DecodeRle4(in, image_.pixels, size, RowStride(image_));
                lstrcpyW(image_.formatText, u"RLE4 compression");
            }
            if (info.topDown) FlipRows(image_);
            break;
        }
        case BI_BITFIELDS:
            if (info.bitsPerPixel != 16 && info.bitsPerPixel != 32) break;  // stays blank
            [[fallthrough]];
        case BI_RGB: {
            lstrcpyW(image_.formatText, u"Uncompressed");
            if (info.bitsPerPixel == 16 || info.bitsPerPixel == 32) {
                // Uncompressed 16-bit pixels are 5-5-5, 32-bit ones blue,
                // green, red, unused bytes; bit-field files bring their masks.
                static const DWORD kMasks16[3] = {0x7C00, 0x03E0, 0x001F};
                static const DWORD kMasks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};
                const DWORD* masks = info.compression == BI_BITFIELDS ? info.masks
                                     : info.bitsPerPixel == 16       ? kMasks16
                                                                     : kMasks32;
                const ChannelMask red = MakeChannelMask(masks[0]);
                const ChannelMask green = MakeChannelMask(masks[1]);
                const ChannelMask blue = MakeChannelMask(masks[2]);
                BYTE* row = static_cast<BYTE*>(ImageAllocate(rowLength));
                if (!row) return kLoadOutOfMemory;
                for (int y = 0; y < rows && !AbortFlagSet(); ++y) {
                    std::memset(row, 0, rowLength);
                    int my = memoryRow(y);
                    BYTE* out = RowTarget(my);
                    const size_t got = in.Read(row, rowLength);
                    for (int x = 0; x < width; ++x, out += 3) {
                        DWORD v = info.bitsPerPixel == 16 ? U16(row + x * 2) : U32(row + x * 4);
                        out[0] = ChannelValue(blue, v);
                        out[1] = ChannelValue(green, v);
                        out[2] = ChannelValue(red, v);
                    }
                    CommitRow(my);
                    if (got < static_cast<size_t>(rowLength)) {
                        image_.truncated = true;  // the file ends: the rows left stay black
                        break;
                    }
                }
                ImageFree(row);
                break;
            }
            if (!Decimating() && !info.topDown) {
                // Rows land in the image exactly as stored: read blocks of
                // rows straight into the pixel memory, polling the abort flag
                // between blocks.
                int block = rowLength >= (1 << 20) ? 1 : (1 << 20) / rowLength;
                for (int y = 0; y < rows && !AbortFlagSet(); y += block) {
                    int n = rows - y < block ? rows - y : block;
                    const size_t wanted = static_cast<size_t>(rowLength) * n;
                    if (in.Read(RowAddress(image_, y), wanted) < wanted) {
                        image_.truncated = true;  // the rows the file lacks stay black
                        break;
                    }
                }
                return kLoadOk;
            }
            for (int y = 0; y < rows && !AbortFlagSet(); ++y) {
                int my = memoryRow(y);
                BYTE* target = RowTarget(my);
                // The decimating row buffer holds the previous row: what the
                // file does not give is cleared, and the rows after it stay
                // black without being read from nothing.
                const size_t got = in.Read(target, rowLength);
                if (got < static_cast<size_t>(rowLength)) std::memset(target + got, 0, rowLength - got);
                CommitRow(my);
                if (got < static_cast<size_t>(rowLength)) {
                    image_.truncated = true;
                    break;
                }
            }
            return kLoadOk;
        }
        default:
            // Unknown compression: nothing is read, the image stays blank.
            break;
    }
    if (!AbortFlagSet() && ReducedLoadRequested()) ShrinkAfterDecode();
    return kLoadOk;
}

LoadError BmpHandler::Save(HANDLE file, const RImage& image) { return SaveBmp(file, image); }

LoadError SaveBmp(HANDLE file, const RImage& image) {
    const BITMAPINFOHEADER* header = image.header;
    if (!header || !image.pixels) return kLoadSaveUnsupported;
    DWORD headerSize = header->biSize;
    DWORD colours = header->biClrUsed;
    DWORD count = colours;
    if (count == 0 && header->biBitCount <= 8) count = 1u << header->biBitCount;
    DWORD colourBytes = count * (headerSize == kCoreHeaderSize ? 3 : 4);
    DWORD imageSize = header->biSizeImage;
    if (imageSize == 0) imageSize = static_cast<DWORD>(RowStride(image)) * header->biHeight;

    BYTE fileHeader[14] = {};
    Put16(fileHeader, kBmpType);
    Put32(fileHeader + 2, imageSize + colours * 4 + headerSize + 14);
    Put32(fileHeader + 10, headerSize + colourBytes + 14);
    if (!WriteAll(file, fileHeader, sizeof fileHeader) ||
        !WriteAll(file, header, headerSize + colours * 4) ||
        !WriteAll(file, image.pixels, imageSize)) {
        return kLoadWriteError;
    }
    return kLoadOk;
}
