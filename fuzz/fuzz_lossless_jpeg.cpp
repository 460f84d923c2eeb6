// The lossless JPEG decoder alone on one frame from its SOI marker: the
// headers are read (ReadLosslessFrameInfo), then the frame is decoded into a
// destination of the geometry they give, in the sample form and row order
// the input's length chooses, and once more into a destination one row too
// short, which must be refused before anything is written.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dicom/lossless_jpeg.h"

namespace {
// Destinations above this many bytes are not worth a fuzz iteration; the
// decoder's own limits are what the run checks, not the host's memory.
constexpr size_t kMaxDestination = 64u << 20;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LosslessFrameInfo info;
    if (ReadLosslessFrameInfo(data, size, &info) != kLosslessOk) {
        // The decoder must refuse the same headers without touching memory.
        LosslessDestination none;
        DecodeLossless(data, size, none);
        return 0;
    }
    LosslessDestination dest;
    dest.width = info.width;
    dest.height = info.height;
    dest.samplesPerPixel = info.samplesPerPixel;
    dest.form = (size & 1) ? LosslessSampleForm::kFull16 : LosslessSampleForm::kLow8;
    dest.blueGreenRed = (size & 2) != 0;
    dest.bottomUp = (size & 4) != 0;
    const size_t sampleBytes = dest.form == LosslessSampleForm::kFull16 ? 2 : 1;
    const size_t packedRow = (size_t)info.width * info.samplesPerPixel * sampleBytes;
    dest.rowStride = (size & 8) ? (packedRow + 3) & ~(size_t)3 : 0;
    const size_t row = dest.rowStride ? dest.rowStride : packedRow;
    if (row == 0 || info.height > kMaxDestination / row) return 0;
    const size_t bytes = row * info.height;
    std::vector<uint8_t> pixels(bytes);
    dest.pixels = pixels.data();
    dest.size = bytes;
    DecodeLossless(data, size, dest);
    if (info.height > 1) {
        dest.size = bytes - row;
        DecodeLossless(data, size, dest);
    }
    return 0;
}
