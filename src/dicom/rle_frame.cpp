// The RLE frame decoder: joined fragments, the segment table checked against
// the frame's bytes, every segment unpacked into its byte of each sample, and
// the samples windowed like uncompressed ones.
#include "dicom/rle_frame.h"

#include <cstring>
#include <vector>

#include "dicom/frame_decoders.h"
#include "image/format_handler.h"
#include "image/image_memory.h"

namespace {

constexpr size_t kHeaderSize = 64;
constexpr uint32_t kMaxSegments = 15;
constexpr int kAbortPollPackets = 256;

uint32_t LittleEndian32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

}  // namespace

size_t UnpackRleSegment(BYTE* out, size_t outSize, const BYTE* in, size_t inSize) {
    size_t o = 0;
    size_t i = 0;
    int packets = 0;
    while (o < outSize && i < inSize) {
        if (++packets == kAbortPollPackets) {
            packets = 0;
            if (AbortFlagSet()) break;
        }
        const int n = (int8_t)in[i++];
        if (n >= 0) {
            size_t count = (size_t)n + 1;
            if (count > inSize - i) count = inSize - i;
            if (count > outSize - o) count = outSize - o;
            std::memcpy(out + o, in + i, count);
            o += count;
            i += count;
        } else if (n != -128) {
            if (i >= inSize) break;
            size_t count = (size_t)(1 - n);
            if (count > outSize - o) count = outSize - o;
            std::memset(out + o, in[i++], count);
            o += count;
        }
    }
    return o;
}

int DecodeRleFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                       const FrameTarget& target) {
    if (size < kHeaderSize) return 8;
    const uint32_t segments = LittleEndian32(data);
    if (segments < 1 || segments > kMaxSegments) return 8;
    uint32_t offsets[kMaxSegments + 1];
    for (uint32_t k = 0; k < segments; ++k) {
        offsets[k] = LittleEndian32(data + 4 + 4 * k);
        // Segments start behind the header, inside the frame, in order.
        if (offsets[k] < kHeaderSize || offsets[k] >= size) return 8;
        if (k > 0 && offsets[k] <= offsets[k - 1]) return 8;
    }
    offsets[segments] = (uint32_t)size;  // the last segment runs to the end

    const int bytesPerSample = adjustment->bitsAllocated == 8 ? 1 : adjustment->bitsAllocated == 16 ? 2 : 0;
    const int components = adjustment->samplesPerPixel == 1 ? 1 : adjustment->samplesPerPixel == 3 ? 3 : 0;
    if (bytesPerSample == 0 || components == 0) return 8;
    if (segments < (uint32_t)(bytesPerSample * components)) return 8;

    const size_t plane = (size_t)target.width * (size_t)target.height;
    auto* samples = static_cast<uint16_t*>(ImageAllocate(plane * (size_t)components * sizeof(uint16_t)));
    auto* bytes = static_cast<BYTE*>(ImageAllocate(plane));
    if (samples == nullptr || bytes == nullptr) {
        ImageFree(samples);
        ImageFree(bytes);
        return 1;
    }
    // Segment s holds byte (s mod bytesPerSample) of component s / bytesPerSample,
    // the most significant byte first. A short segment leaves zeros.
    for (int s = 0; s < bytesPerSample * components && !AbortFlagSet(); ++s) {
        const int component = s / bytesPerSample;
        const int shift = 8 * (bytesPerSample - 1 - s % bytesPerSample);
        const size_t written =
            UnpackRleSegment(bytes, plane, data + offsets[s], offsets[s + 1] - offsets[s]);
        std::memset(bytes + written, 0, plane - written);
        uint16_t* out = samples + component;
        if (components == 1) {
            // Contiguous: loops the compiler vectorises; the first segment
            // stores, the second merges.
            if (s == 0) {
                for (size_t i = 0; i < plane; ++i) out[i] = (uint16_t)(bytes[i] << shift);
            } else {
                for (size_t i = 0; i < plane; ++i) out[i] = (uint16_t)(out[i] | bytes[i]);
            }
        } else {
            for (size_t i = 0; i < plane; ++i, out += components) *out |= (uint16_t)(bytes[i] << shift);
        }
    }
    ImageFree(bytes);
    int result = AbortFlagSet() ? 15 : 0;
    if (result == 0) result = WindowFrame16(adjustment, target, samples, components, bytesPerSample == 2);
    ImageFree(samples);
    if (result == 0 && target.ybrFull) ConvertYbrFullRows(target);
    return result;
}

int FetchRleFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index) {
    CompressedFetch fetch;
    int result = 0;
    if (!BeginCompressedFetch(file, source, adjustment, index, &fetch, &result)) return result;
    return DecodeRleFrameData(fetch.data.data(), fetch.data.size(), fetch.adjustment, fetch.target);
}
