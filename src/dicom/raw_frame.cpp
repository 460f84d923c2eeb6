// The decoder of uncompressed DICOM frames: grey samples of 1, 8, 12
// (packed), 16 and 32 bits through the window into 8-bit pixels, colour
// samples (interleaved or planar, RGB or luminance-chrominance) and palette
// samples through the LUTs into 24-bit pixels. One row buffer per frame;
// rows go straight into the image memory.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "dicom/byte_stream.h"
#include "dicom/dicom_image_info.h"
#include "dicom/frame_decoders.h"
#include "dicom/frame_window.h"
#include "image/format_handler.h"
#include "image/image_memory.h"

namespace {

// How one stored sample is laid out.
enum class SampleKind {
    k8,         // one byte
    k12Packed,  // two samples in three bytes
    k16Little,
    k16Big,     // explicit VR big endian: swapped before windowing
    k32Little,
    k32Big,
};

struct SampleFormat {
    SampleKind kind;
    bool isSigned;
    int shift;  // 32 - bits stored: sign extension of signed samples
};

// The packed 12-bit reading state; restarts with every frame.
struct PackedState {
    int32_t index = 0;
    int32_t nibble = 0;
};

SampleFormat FormatOf(const DisplayAdjustment& f, bool bigEndian) {
    SampleFormat format;
    format.isSigned = f.pixelRepresentation == 1;
    const int stored = f.bitsStored >= 1 && f.bitsStored <= f.bitsAllocated ? f.bitsStored
                                                                           : f.bitsAllocated;
    format.shift = 32 - std::clamp(stored, 1, 32);
    switch (f.bitsAllocated) {
        case 12: format.kind = SampleKind::k12Packed; break;
        case 16: format.kind = bigEndian ? SampleKind::k16Big : SampleKind::k16Little; break;
        case 32: format.kind = bigEndian ? SampleKind::k32Big : SampleKind::k32Little; break;
        default: format.kind = SampleKind::k8; break;
    }
    return format;
}

inline int32_t Extend(const SampleFormat& f, uint32_t raw) {
    return (int32_t)(raw << f.shift) >> f.shift;
}

// Bytes that `count` samples may take from the cursor on (packed samples:
// the most a row can use whichever half of a pair it starts with).
size_t BytesFor(SampleKind kind, uint64_t count) {
    switch (kind) {
        case SampleKind::k8: return (size_t)count;
        case SampleKind::k12Packed: return (size_t)(count * 3 / 2 + 2);
        case SampleKind::k16Little: case SampleKind::k16Big: return (size_t)count * 2;
        default: return (size_t)count * 4;
    }
}

// Reads `count` samples from the cursor into `out`, moving the cursor.
// Packed 12-bit pairs: the first sample is the little-endian word b0 b1
// shifted right by 4 (b1 gives its top 8 bits, the high nibble of b0 its low
// 4), the low nibble of b0 waits for the second sample, whose top 8 bits are
// b2.
template <SampleKind K>
void ReadSamplesOf(const BYTE*& cursor, const SampleFormat& f, PackedState& packed,
                   int32_t* out, size_t count) {
    const BYTE* p = cursor;
    for (size_t i = 0; i < count; ++i) {
        int32_t v;
        if constexpr (K == SampleKind::k8) {
            v = f.isSigned ? Extend(f, p[0]) : p[0];
            p += 1;
        } else if constexpr (K == SampleKind::k12Packed) {
            if ((packed.index++ & 1) == 0) {
                v = (int16_t)(uint16_t)(p[0] | (p[1] << 8)) >> 4;
                packed.nibble = p[0] & 0x0F;
                p += 2;
            } else {
                v = (int32_t)(int8_t)p[0] * 16 | packed.nibble;
                p += 1;
            }
            if (!f.isSigned) v &= 0x0FFF;
        } else if constexpr (K == SampleKind::k16Little || K == SampleKind::k16Big) {
            const uint32_t raw = K == SampleKind::k16Little ? (uint32_t)(p[0] | (p[1] << 8))
                                                            : (uint32_t)((p[0] << 8) | p[1]);
            v = f.isSigned ? Extend(f, raw) : (int32_t)raw;
            p += 2;
        } else {
            const uint32_t raw =
                K == SampleKind::k32Little
                    ? (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                          ((uint32_t)p[3] << 24)
                    : ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) |
                          (uint32_t)p[3];
            // Unsigned values beyond the signed range (never seen in dose
            // grids) stick at its top.
            v = f.isSigned ? Extend(f, raw) : raw > (uint32_t)INT32_MAX ? INT32_MAX : (int32_t)raw;
            p += 4;
        }
        out[i] = v;
    }
    cursor = p;
}

void ReadSamples(const BYTE*& cursor, const SampleFormat& f, PackedState& packed, int32_t* out,
                 size_t count) {
    switch (f.kind) {
        case SampleKind::k8: ReadSamplesOf<SampleKind::k8>(cursor, f, packed, out, count); break;
        case SampleKind::k12Packed:
            ReadSamplesOf<SampleKind::k12Packed>(cursor, f, packed, out, count);
            break;
        case SampleKind::k16Little:
            ReadSamplesOf<SampleKind::k16Little>(cursor, f, packed, out, count);
            break;
        case SampleKind::k16Big:
            ReadSamplesOf<SampleKind::k16Big>(cursor, f, packed, out, count);
            break;
        case SampleKind::k32Little:
            ReadSamplesOf<SampleKind::k32Little>(cursor, f, packed, out, count);
            break;
        case SampleKind::k32Big:
            ReadSamplesOf<SampleKind::k32Big>(cursor, f, packed, out, count);
            break;
    }
}

// Reads one frame's bytes in order through the row buffer. The frame lies
// inside the file (checked before), so a short read is a read failure.
class FrameReader {
public:
    FrameReader(ByteStream& stream, BYTE* buffer, size_t capacity)
        : stream_(stream), buffer_(buffer), capacity_(capacity) {}

    bool Start(uint64_t offset, uint64_t frameBytes) {
        have_ = pos_ = 0;
        left_ = frameBytes;
        return stream_.seek((int64_t)offset, FILE_BEGIN) == (int64_t)offset;
    }
    // At least `need` (at most half the capacity) bytes at Data(); the bytes
    // after the frame's end read as zeros.
    bool Ensure(size_t need) {
        if (have_ - pos_ >= need) return true;
        std::memmove(buffer_, buffer_ + pos_, have_ - pos_);
        have_ -= pos_;
        pos_ = 0;
        const size_t want = (size_t)std::min<uint64_t>(capacity_ - have_, left_);
        if (want > 0) {
            DWORD got = 0;
            if (!stream_.read(buffer_ + have_, (DWORD)want, &got) || got != want) return false;
            have_ += want;
            left_ -= want;
        }
        if (have_ < need) {
            std::memset(buffer_ + have_, 0, need - have_);
            have_ = need;
        }
        return true;
    }
    const BYTE* Data() const { return buffer_ + pos_; }
    void Consume(size_t count) { pos_ += std::min(count, have_ - pos_); }

private:
    ByteStream& stream_;
    BYTE* buffer_;
    size_t capacity_;
    size_t have_ = 0;
    size_t pos_ = 0;
    uint64_t left_ = 0;
};

// Everything one frame decode uses.
struct RawFrame {
    const DicomSourceData* data;
    const DisplayAdjustment* format;  // the file's sample format
    SampleFormat sample;
    FrameReader* reader;
    int32_t* samples;     // one stored row as values
    uint64_t offset;      // of the frame's first byte
    uint64_t bytes;       // bytes the frame spans
    int bitShift;         // first bit of a 1-bit frame within its first byte
    int width;
    int height;
    int samplesPerPixel;
    size_t rowSamples;    // samples in one stored row
};

// Reads the next `count` samples of the frame into frame.samples.
bool NextSamples(RawFrame& frame, PackedState& packed, size_t count) {
    if (!frame.reader->Ensure(BytesFor(frame.sample.kind, count))) return false;
    const BYTE* start = frame.reader->Data();
    const BYTE* cursor = start;
    ReadSamples(cursor, frame.sample, packed, frame.samples, count);
    frame.reader->Consume((size_t)(cursor - start));
    return true;
}

// The smallest and largest sample of the whole frame (all rows, all
// channels), for a window taken from the sample range.
void ScanSampleRange(void* context, DisplayAdjustment* adjustment) {
    RawFrame& frame = *static_cast<RawFrame*>(context);
    if (!frame.reader->Start(frame.offset, frame.bytes)) return;
    PackedState packed;
    int32_t lo = INT32_MAX;
    int32_t hi = INT32_MIN;
    for (int y = 0; y < frame.height; ++y) {
        if (!NextSamples(frame, packed, frame.rowSamples)) return;
        for (size_t i = 0; i < frame.rowSamples; ++i) {
            lo = std::min(lo, frame.samples[i]);
            hi = std::max(hi, frame.samples[i]);
        }
    }
    if (lo <= hi) {
        adjustment->smallest = lo;
        adjustment->largest = hi;
    }
}

inline BYTE MapSample(const DisplayAdjustment& a, bool windowed, int32_t v) {
    return windowed ? WindowMap(a, v) : (BYTE)v;
}

// Luminance-chrominance to RGB on 8-bit values, in 32-bit float, rounded to
// the nearest value and clamped.
inline BYTE Clamp255(float v) {
    const int32_t i = (int32_t)std::floor(v + 0.5f);
    return (BYTE)(i < 0 ? 0 : i > 255 ? 255 : i);
}

void YbrToBgr(BYTE* pixel) {
    const float y = pixel[2];
    const float cb = (float)pixel[1] - 128.0f;
    const float cr = (float)pixel[0] - 128.0f;
    pixel[2] = Clamp255(y + 1.402f * cr);
    pixel[1] = Clamp255(y - (0.114f * 1.772f / 0.587f) * cb - (0.299f * 1.402f / 0.587f) * cr);
    pixel[0] = Clamp255(y + 1.772f * cb);
}

// Destination row of picture row y (rows go top first into the bottom-up
// layout).
inline BYTE* PictureRow(BYTE* pixels, size_t stride, int height, int y) {
    return pixels + (size_t)(height - 1 - y) * stride;
}

// One stored 8- or 16-bit word as it lies in the file.
template <SampleKind K>
inline uint32_t RawWord(const BYTE* p) {
    if constexpr (K == SampleKind::k8) return p[0];
    else if constexpr (K == SampleKind::k16Little) return (uint32_t)(p[0] | (p[1] << 8));
    else return (uint32_t)((p[0] << 8) | p[1]);
}

// 8- and 16-bit grey samples through the frame's window table, straight
// from the bytes read.
template <SampleKind K>
int DecodeGreyByTable(RawFrame& frame, const DisplayAdjustment& a, bool inverted, BYTE* pixels,
                      size_t stride) {
    WindowTable table;
    if (!table.Build(a, inverted, 32 - frame.sample.shift, frame.sample.isSigned)) {
        return kLoadOutOfMemory;
    }
    constexpr size_t kBytes = K == SampleKind::k8 ? 1 : 2;
    const size_t width = (size_t)frame.width;
    const size_t rowBytes = width * kBytes;
    for (int y = 0; y < frame.height; ++y) {
        if (AbortFlagSet()) break;
        if (!frame.reader->Ensure(rowBytes)) return kLoadCorrupt;
        const BYTE* in = frame.reader->Data();
        table.MapRow([in](size_t x) { return RawWord<K>(in + x * kBytes); }, width,
                     PictureRow(pixels, stride, frame.height, y));
        frame.reader->Consume(rowBytes);
    }
    return kLoadOk;
}

int DecodeGrey(RawFrame& frame, const DisplayAdjustment& a, bool inverted, BYTE* pixels,
               size_t stride) {
    const bool windowed = a.width != 0;
    const BYTE flip = inverted ? 0xFF : 0x00;
    if (frame.samplesPerPixel == 1 && frame.sample.shift >= 16) {
        switch (frame.sample.kind) {
            case SampleKind::k8:
                return DecodeGreyByTable<SampleKind::k8>(frame, a, inverted, pixels, stride);
            case SampleKind::k16Little:
                return DecodeGreyByTable<SampleKind::k16Little>(frame, a, inverted, pixels, stride);
            case SampleKind::k16Big:
                return DecodeGreyByTable<SampleKind::k16Big>(frame, a, inverted, pixels, stride);
            default: break;
        }
    }
    PackedState packed;
    for (int y = 0; y < frame.height; ++y) {
        if (AbortFlagSet()) break;
        if (!NextSamples(frame, packed, frame.rowSamples)) return kLoadCorrupt;
        BYTE* out = PictureRow(pixels, stride, frame.height, y);
        const int32_t* s = frame.samples;
        const int step = frame.samplesPerPixel;
        for (int x = 0; x < frame.width; ++x, s += step) {
            out[x] = (BYTE)(MapSample(a, windowed, *s) ^ flip);
        }
    }
    return kLoadOk;
}

// Interleaved colour (and grey samples in a 24-bit picture): red, green and
// blue samples, each through the window, stored blue, green, red.
int DecodeColour(RawFrame& frame, const DisplayAdjustment& a, BYTE* pixels, size_t stride) {
    const bool windowed = a.width != 0;
    const int step = frame.samplesPerPixel;
    // ARGB keeps alpha first; one or two samples are grey.
    const int first = frame.format->photometric == kPhotometricArgb && step >= 4 ? 1 : 0;
    const int c1 = step >= 3 ? first + 1 : 0;
    const int c2 = step >= 3 ? first + 2 : 0;
    const bool ybr = frame.data->ybr != kYbrNone;
    PackedState packed;
    for (int y = 0; y < frame.height; ++y) {
        if (AbortFlagSet()) break;
        if (!NextSamples(frame, packed, frame.rowSamples)) return kLoadCorrupt;
        BYTE* out = PictureRow(pixels, stride, frame.height, y);
        const int32_t* s = frame.samples;
        if (frame.data->ybr == kYbrFull422) {
            // Per pair of pixels: Y0 Y1 Cb Cr.
            for (int x = 0; x < frame.width; x += 2, s += 4) {
                const BYTE cb = MapSample(a, windowed, s[2]);
                const BYTE cr = MapSample(a, windowed, s[3]);
                for (int k = 0; k < 2 && x + k < frame.width; ++k) {
                    BYTE* pixel = out + (size_t)(x + k) * 3;
                    pixel[2] = MapSample(a, windowed, s[k]);
                    pixel[1] = cb;
                    pixel[0] = cr;
                    YbrToBgr(pixel);
                }
            }
            continue;
        }
        for (int x = 0; x < frame.width; ++x, s += step) {
            BYTE* pixel = out + (size_t)x * 3;
            pixel[2] = MapSample(a, windowed, s[first]);
            pixel[1] = MapSample(a, windowed, s[c1]);
            pixel[0] = MapSample(a, windowed, s[c2]);
            if (ybr) YbrToBgr(pixel);
        }
    }
    return kLoadOk;
}

// Planar colour: the whole red plane, then green, then blue; each sample
// lands in its byte of the blue-green-red pixel.
int DecodePlanar(RawFrame& frame, const DisplayAdjustment& a, BYTE* pixels, size_t stride) {
    const bool windowed = a.width != 0;
    const int first = frame.format->photometric == kPhotometricArgb ? 1 : 0;
    PackedState packed;
    for (int plane = 0; plane < frame.samplesPerPixel; ++plane) {
        const int channel = plane - first;  // 0 red, 1 green, 2 blue; others are skipped
        for (int y = 0; y < frame.height; ++y) {
            if (AbortFlagSet()) return kLoadOk;
            if (!NextSamples(frame, packed, (size_t)frame.width)) return kLoadCorrupt;
            if (channel < 0 || channel > 2) continue;
            BYTE* out = PictureRow(pixels, stride, frame.height, y) + (2 - channel);
            for (int x = 0; x < frame.width; ++x) {
                out[(size_t)x * 3] = MapSample(a, windowed, frame.samples[x]);
            }
        }
    }
    if (frame.data->ybr == kYbrFull) {
        for (int y = 0; y < frame.height; ++y) {
            BYTE* row = pixels + (size_t)y * stride;
            for (int x = 0; x < frame.width; ++x) YbrToBgr(row + (size_t)x * 3);
        }
    }
    return kLoadOk;
}

// Palette samples through the red, green and blue LUTs: values below the
// first mapped one take the first entry, values beyond the table the last.
int DecodeLutColour(RawFrame& frame, BYTE* pixels, size_t stride) {
    const DicomSourceData& data = *frame.data;
    const BYTE* tables[3] = {LutEntries(data, 0), LutEntries(data, 1), LutEntries(data, 2)};
    PackedState packed;
    for (int y = 0; y < frame.height; ++y) {
        if (AbortFlagSet()) break;
        if (!NextSamples(frame, packed, frame.rowSamples)) return kLoadCorrupt;
        BYTE* out = PictureRow(pixels, stride, frame.height, y);
        const int32_t* s = frame.samples;
        for (int x = 0; x < frame.width; ++x, s += frame.samplesPerPixel) {
            for (int c = 0; c < 3; ++c) {
                const ColourLut& lut = data.lut[c];
                const int64_t i = std::clamp<int64_t>((int64_t)*s - lut.first, 0, lut.count - 1);
                out[(size_t)x * 3 + 2 - c] = tables[c][i];
            }
        }
    }
    return kLoadOk;
}

// 1-bit samples (segmentations), the first pixel in the lowest bit: 0 black,
// 1 white. Frames and rows need not start on a byte.
int DecodeBits(RawFrame& frame, bool inverted, BYTE* pixels, size_t stride) {
    const BYTE on = inverted ? 0 : 255;
    const BYTE off = inverted ? 255 : 0;
    int bit = frame.bitShift;
    for (int y = 0; y < frame.height; ++y) {
        if (AbortFlagSet()) break;
        const size_t span = ((size_t)bit + (size_t)frame.width + 7) / 8;
        if (!frame.reader->Ensure(span)) return kLoadCorrupt;
        const BYTE* in = frame.reader->Data();
        BYTE* out = PictureRow(pixels, stride, frame.height, y);
        for (int x = 0; x < frame.width; ++x) {
            const size_t b = (size_t)bit + (size_t)x;
            out[x] = (in[b >> 3] >> (b & 7)) & 1 ? on : off;
        }
        const size_t used = (size_t)bit + (size_t)frame.width;
        frame.reader->Consume(used / 8);
        bit = (int)(used % 8);
    }
    return kLoadOk;
}

// Without a handle: asks the stream for every byte of the frame (a remote
// resource fetches what it lacks). 0 when all arrived, -1 otherwise.
int CheckFrameArrived(ByteStream& stream, uint64_t offset, uint64_t count) {
    if (stream.seek((int64_t)offset, FILE_BEGIN) != (int64_t)offset) return -1;
    BYTE scratch[4096];
    while (count > 0) {
        const DWORD want = (DWORD)std::min<uint64_t>(count, sizeof scratch);
        DWORD got = 0;
        if (!stream.read(scratch, want, &got) || got != want) return -1;
        count -= want;
    }
    return 0;
}

bool NoHandle(HANDLE file) {
    return file == nullptr || file == INVALID_HANDLE_VALUE;
}

}  // namespace

int FetchRawFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index) {
    ByteStream& stream = DicomStream();
    if (stream.kind == kStreamLocalFile) stream.attach_file(NoHandle(file) ? nullptr : file);
    const DicomSourceData* data = DicomSourceOf(source);
    if (data == nullptr) return kLoadCorrupt;
    // The frame on the screen is already in the image: nothing to copy.
    if (index < 0) return kLoadOk;
    if (index >= source->frameCount) return kLoadIndexOutOfRange;

    const DisplayAdjustment& format = data->fileAdjustment;
    const uint64_t startBit = (uint64_t)index * data->frameBits;
    const FrameSlot* slots = source->Slots();
    const uint64_t offset = slots[index].offset;
    const int bitShift = (int)(startBit % 8);
    const uint64_t bytes = (bitShift + data->frameBits + 7) / 8;
    if (NoHandle(file)) return CheckFrameArrived(stream, offset, bytes);

    // The image library's frame load points slot 0 at the image: a slot
    // without memory of its own decodes there.
    BYTE* pixels = slots[index].pixels;
    DWORD byteSize = slots[index].byteSize;
    if (pixels == nullptr) {
        pixels = slots[0].pixels;
        byteSize = slots[0].byteSize;
    }
    if (pixels == nullptr) return kLoadOutOfMemory;
    const int64_t stride = DibRowStride(source->width, source->bitsPerPixel);
    if (stride < 0 || (uint64_t)stride * (uint64_t)source->height > byteSize) {
        return kLoadOutOfMemory;
    }
    // A decode without the image's record (a bare frame fetch) still shows
    // the file's window.
    DisplayAdjustment fallback;
    if (adjustment == nullptr) {
        fallback = data->fileAdjustment;
        adjustment = &fallback;
    }
    const int64_t size = stream.size();
    if (size >= 0 && offset + bytes > (uint64_t)size) return kLoadCorrupt;

    RawFrame frame{};
    frame.data = data;
    frame.format = &format;
    frame.sample = FormatOf(format, data->bigEndian != 0);
    frame.offset = offset;
    frame.bytes = bytes;
    frame.bitShift = bitShift;
    frame.width = source->width;
    frame.height = source->height;
    frame.samplesPerPixel = std::max<int>(format.samplesPerPixel, 1);
    frame.rowSamples = data->ybr == kYbrFull422 ? ((size_t)frame.width + 1) / 2 * 4
                                                : (size_t)frame.width * frame.samplesPerPixel;

    // One buffer: room for two stored rows, and one row of sample values.
    const size_t rowBytes = format.bitsAllocated == 1
                                ? ((size_t)frame.width + 7) / 8 + 1
                                : BytesFor(frame.sample.kind, frame.rowSamples);
    // Large reads: the file comes in blocks of at least 256 KB straight into
    // the buffer, and rows are moved down only once per block.
    const size_t blockBytes = (size_t)std::min<uint64_t>(bytes, 256 * 1024);
    const size_t capacity =
        (std::max(2 * rowBytes, blockBytes) + 16 + 7) & ~(size_t)7;  // the values follow aligned
    const size_t valueBytes = frame.rowSamples * sizeof(int32_t);
    BYTE* buffer = static_cast<BYTE*>(ImageAllocate(capacity + valueBytes));
    if (buffer == nullptr) return kLoadOutOfMemory;
    FrameReader reader(stream, buffer, capacity);
    frame.reader = &reader;
    frame.samples = reinterpret_cast<int32_t*>(buffer + capacity);

    const bool planar = frame.samplesPerPixel >= 3 && format.planarConfiguration != 0 &&
                        data->ybr != kYbrFull422;
    int result = kLoadOk;
    if (data->lutColour) {
        if (!reader.Start(offset, bytes)) result = kLoadCorrupt;
        if (result == kLoadOk) result = DecodeLutColour(frame, pixels, (size_t)stride);
    } else if (format.bitsAllocated == 1) {
        bool inverted = format.photometric == kPhotometricMonochrome1;
        if (!adjustment->autoWindow && adjustment->negative) inverted = !inverted;
        if (!reader.Start(offset, bytes)) result = kLoadCorrupt;
        if (result == kLoadOk) result = DecodeBits(frame, inverted, pixels, (size_t)stride);
    } else {
        const bool wide = format.bitsAllocated > 8;
        const bool inverted = PrepareFrameWindow(adjustment, wide, ScanSampleRange, &frame);
        if (!reader.Start(offset, bytes)) result = kLoadCorrupt;
        if (result == kLoadOk) {
            if (planar) {
                result = DecodePlanar(frame, *adjustment, pixels, (size_t)stride);
            } else if (source->bitsPerPixel == 24) {
                result = DecodeColour(frame, *adjustment, pixels, (size_t)stride);
            } else {
                result = DecodeGrey(frame, *adjustment, inverted, pixels, (size_t)stride);
            }
        }
    }
    adjustment->applied = 1;
    ImageFree(buffer);
    if (result != kLoadOk) return result;
    return AbortFlagSet() ? kLoadAborted : kLoadOk;
}
