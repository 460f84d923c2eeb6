// The lossless JPEG frame decoder: joined fragments through the built-in
// decoder. Samples of up to 8 bits whose window maps every value to itself
// land straight in the image (three components as blue, green, red, rows
// bottom-up); all others are decoded at full precision and windowed like
// uncompressed samples.
#include <vector>

#include "dicom/frame_decoders.h"
#include "dicom/jpeg_frame.h"
#include "dicom/lossless_jpeg.h"
#include "image/format_handler.h"
#include "image/image_memory.h"

namespace {

// The decoder's codes: out of memory above 200, any other failure bad data.
int LoadErrorOf(int code) { return code == kLosslessOk ? 0 : code >= 200 ? 1 : 8; }

// Whether the window leaves unsigned 8-bit samples as they are.
bool IdentityWindow(const DisplayAdjustment& a, bool inverted) {
    if (inverted || a.pixelRepresentation != 0) return false;
    return a.width == 0 || (a.low == 0 && a.high >= 255 && a.scale == 1.0f);
}

// Luminance-chrominance data becomes RGB; an abort during the decode (which
// the decoder does not poll) still reports 15.
int Finish(int result, const FrameTarget& target) {
    if (result == 0 && AbortFlagSet()) return 15;
    if (result == 0 && target.ybrFull) ConvertYbrFullRows(target);
    return result;
}

}  // namespace

int DecodeLosslessFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                            const FrameTarget& target) {
    LosslessFrameInfo info;
    const int header = ReadLosslessFrameInfo(data, size, &info);
    if (header != kLosslessOk) return LoadErrorOf(header);
    if (info.width != (uint32_t)target.width || info.height != (uint32_t)target.height) return 8;
    const int decodedSamples = (int)info.samplesPerPixel;
    const bool wide = info.precision > 8;

    LosslessDestination dest;
    dest.width = info.width;
    dest.height = info.height;
    dest.samplesPerPixel = info.samplesPerPixel;
    if (!wide && decodedSamples == target.samplesPerPixel) {
        const bool inverted = PrepareFrameWindow(adjustment, false, nullptr, nullptr);
        if (IdentityWindow(*adjustment, inverted)) {
            dest.pixels = target.pixels;
            dest.size = target.stride * (size_t)target.height;
            dest.rowStride = target.stride;
            dest.form = LosslessSampleForm::kLow8;
            dest.blueGreenRed = decodedSamples == 3;
            dest.bottomUp = true;
            const int code = DecodeLossless(data, size, dest);
            adjustment->applied = 1;
            return Finish(LoadErrorOf(code), target);
        }
    }

    const size_t count = (size_t)target.width * (size_t)target.height * (size_t)decodedSamples;
    auto* samples = static_cast<uint16_t*>(ImageAllocate(count * sizeof(uint16_t)));
    if (samples == nullptr) return 1;
    dest.pixels = reinterpret_cast<uint8_t*>(samples);
    dest.size = count * sizeof(uint16_t);
    dest.form = LosslessSampleForm::kFull16;  // red, green, blue; rows top first
    int result = LoadErrorOf(DecodeLossless(data, size, dest));
    if (result == 0) {
        // Signed samples are coded as their two's-complement bits.
        if (adjustment->pixelRepresentation == 1) SignExtendSamples(samples, count, (int)info.precision);
        result = WindowFrame16(adjustment, target, samples, decodedSamples, wide);
    }
    ImageFree(samples);
    return Finish(result, target);
}

int FetchLosslessFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index) {
    CompressedFetch fetch;
    int result = 0;
    if (!BeginCompressedFetch(file, source, adjustment, index, &fetch, &result)) return result;
    // The frame's own markers decide: a DCT frame in a lossless syntax (a
    // mislabelled file) still decodes, through libjpeg.
    return DecodeJpegFrameData(fetch.data.data(), fetch.data.size(), fetch.adjustment, fetch.target);
}
