// RLE unpacking of one DICOM frame (DecodeRleFrameData) and of one bare
// PackBits segment. The first 8 bytes of the input choose the destination
// and the sample format (so that the corpus of real frames needs an 8-byte
// prefix, which make-corpus.sh adds); the rest is the frame from its header.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dicom/rle_frame.h"
#include "view/display_adjustment.h"

namespace {
constexpr size_t kPrefix = 8;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kPrefix) return 0;
    DisplayAdjustment adjustment;
    InitAdjustment(&adjustment);
    const int width = 1 + (data[0] | (data[1] & 0x01) << 8);  // 1-512
    const int height = 1 + (data[2] | (data[3] & 0x01) << 8);
    const bool colour = data[4] & 1;
    adjustment.bitsAllocated = (data[4] & 2) ? 16 : 8;
    adjustment.samplesPerPixel = colour ? 3 : 1;
    adjustment.bitsStored = (WORD)(1 + data[5] % adjustment.bitsAllocated);
    adjustment.highBit = (SHORT)(adjustment.bitsStored - 1);
    adjustment.pixelRepresentation = (data[4] & 4) ? 1 : 0;
    adjustment.autoWindow = (data[4] & 8) ? 1 : 0;
    adjustment.photometric = (data[4] & 16) ? 1 : 0;
    adjustment.negative = (data[4] & 32) ? 1 : 0;
    adjustment.rows = (SHORT)height;
    adjustment.columns = (SHORT)width;
    if (data[6] & 1) {
        adjustment.center = (int32_t)(int8_t)data[7] * 64;
        adjustment.width = 1 + data[7] * 16;
    }
    adjustment.bytesPerSample = adjustment.bitsAllocated / 8;

    FrameTarget target;
    target.width = width;
    target.height = height;
    target.samplesPerPixel = colour ? 3 : 1;
    target.stride = ((size_t)width * target.samplesPerPixel + 3) & ~(size_t)3;
    target.ybrFull = colour && (data[6] & 2);
    std::vector<BYTE> pixels(target.stride * (size_t)height);
    target.pixels = pixels.data();
    DecodeRleFrameData(data + kPrefix, size - kPrefix, &adjustment, target);

    // The segment unpacker alone, into a buffer as long as the input says.
    std::vector<BYTE> out((size_t)width * height);
    UnpackRleSegment(out.data(), out.size(), data + kPrefix, size - kPrefix);
    return 0;
}
