// The window of a DICOM frame, shared by every frame decoder.
#include "dicom/frame_window.h"

#include <cmath>

#include "image/image_memory.h"

namespace {

// Truncation towards zero of a 32-bit float into 64 bits: the offset terms
// of 32-bit signed samples reach 2^31 and must not stick at the 32-bit ends
// before they cancel.
int64_t Trunc64(float v) {
    if (!(v == v)) return 0;  // NaN
    if (v >= 9.2e18f) return INT64_MAX;
    if (v <= -9.2e18f) return INT64_MIN;
    return (int64_t)v;
}

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : (int32_t)v;
}

}  // namespace

void DefaultWindowFromRange(DisplayAdjustment* a) {
    const int bitsStored = a->bitsStored >= 1 && a->bitsStored <= 32 ? a->bitsStored : 16;
    const float o = a->pixelRepresentation == 1 ? std::ldexp(1.0f, bitsStored - 1) : 0.0f;
    const float m = a->rescaleSlope;
    const float smallest = (float)a->smallest;
    const float largest = (float)a->largest;
    // The middle of the range in rescaled units. The offset of signed
    // samples is added and taken away again in separately truncated steps,
    // so that both halves round the same way for either sign.
    a->fileCenter = Clamp32(Trunc64(a->rescaleIntercept) -
                            Trunc64((smallest + largest + 2.0f * o) * m * -0.5f) - Trunc64(o * m));
    // A negative slope turns the range around in rescaled units; the width
    // stays positive and ComputeWindowBounds swaps the bounds back.
    a->fileWidth = Clamp32(Trunc64((largest - smallest) * std::fabs(m)));
}

bool PrepareFrameWindow(DisplayAdjustment* a, bool wideSamples, SampleRangeFn range,
                        void* context) {
    if (a->autoWindow && wideSamples) {
        if (range != nullptr) range(context, a);
        ComputeWindowBounds(a);
        if (a->fileWidth == 0) DefaultWindowFromRange(a);
    } else if (a->fileWidth == 0) {
        // No window in the file: narrow samples span their representable
        // range (BuildFrameSource put it into smallest and largest), wide
        // ones are measured first.
        if (wideSamples && range != nullptr) range(context, a);
        DefaultWindowFromRange(a);
    }
    // A window the user (or the album) chose stays; otherwise the file's.
    if (a->width == 0) {
        a->center = a->fileCenter;
        a->width = a->fileWidth;
    }
    ComputeWindowBounds(a);

    bool inverted = a->photometric == 1;  // MONOCHROME1: low values are white
    if (!a->autoWindow && a->negative) inverted = !inverted;
    if (InvertedBySlope(*a)) inverted = !inverted;
    return inverted;
}

void SampleRange16(const DisplayAdjustment& adjustment, const uint16_t* samples, size_t count,
                   int32_t* smallest, int32_t* largest) {
    if (count == 0) return;
    int32_t lo = SampleValue16(adjustment, samples[0]);
    int32_t hi = lo;
    for (size_t i = 1; i < count; ++i) {
        const int32_t v = SampleValue16(adjustment, samples[i]);
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    *smallest = lo;
    *largest = hi;
}

void WindowRow16(const DisplayAdjustment& adjustment, bool inverted, const uint16_t* samples,
                 int columns, int samplesPerPixel, BYTE* out) {
    const bool windowed = adjustment.width != 0;
    if (samplesPerPixel >= 3) {
        // Red, green, blue in; blue, green, red out. Colour is never inverted.
        for (int x = 0; x < columns; ++x) {
            const uint16_t* s = samples + (size_t)x * 3;
            for (int c = 0; c < 3; ++c) {
                const int32_t v = SampleValue16(adjustment, s[c]);
                out[(size_t)x * 3 + 2 - c] = windowed ? WindowMap(adjustment, v) : (BYTE)v;
            }
        }
        return;
    }
    const BYTE flip = inverted ? 0xFF : 0x00;
    for (int x = 0; x < columns; ++x) {
        const int32_t v = SampleValue16(adjustment, samples[x]);
        out[x] = (BYTE)((windowed ? WindowMap(adjustment, v) : (BYTE)v) ^ flip);
    }
}

WindowTable::~WindowTable() {
    ImageFree(entries_);
}

bool WindowTable::Build(const DisplayAdjustment& a, bool inverted, int storedBits, bool isSigned) {
    const int bits = storedBits >= 1 && storedBits <= 16 ? storedBits : 16;
    ImageFree(entries_);
    mask_ = (1u << bits) - 1;
    entries_ = static_cast<BYTE*>(ImageAllocate((size_t)mask_ + 1));
    if (entries_ == nullptr) return false;
    isSigned_ = isSigned;
    inverted_ = inverted;
    adjustment_ = &a;
    const bool windowed = a.width != 0;
    const BYTE flip = inverted ? 0xFF : 0x00;
    const int shift = 32 - bits;
    for (uint32_t word = 0; word <= mask_; ++word) {
        const int32_t v = isSigned ? (int32_t)(word << shift) >> shift : (int32_t)word;
        entries_[word] = (BYTE)((windowed ? WindowMap(a, v) : (BYTE)v) ^ flip);
    }
    return true;
}

BYTE WindowTable::Outside(uint32_t word) const {
    const int32_t v = (int32_t)word;
    const BYTE mapped = adjustment_->width != 0 ? WindowMap(*adjustment_, v) : (BYTE)v;
    return (BYTE)(mapped ^ (inverted_ ? 0xFF : 0x00));
}
