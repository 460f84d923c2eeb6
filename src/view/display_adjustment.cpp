// Window/level, the pseudo-colour conversion of 8-bit images and the
// adjustment hooks of the image library.
#include "view/display_adjustment.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "image/adjustment_hooks.h"
#include "image/rimage.h"

namespace {

// trunc() into 32 bits; values outside the range (absurd windows or sample
// ranges of 32-bit data) stick at its ends instead of overflowing.
int32_t TruncToInt32(double value) {
    if (std::isnan(value)) return 0;  // from a damaged rescale value
    if (value <= static_cast<double>(INT32_MIN)) return INT32_MIN;
    if (value >= static_cast<double>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(value);
}

int32_t ClampToInt32(int64_t value) {
    if (value < INT32_MIN) return INT32_MIN;
    if (value > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(value);
}

// A stored-sample bound that lies within this distance of a whole number is
// taken as that number: slopes such as 0.1 are not exact in binary, and the
// error must not move a bound by a whole sample.
constexpr double kBoundTolerance = 1e-4;

double SnapToWhole(double value) {
    double nearest = std::nearbyint(value);
    return std::fabs(value - nearest) < kBoundTolerance ? nearest : value;
}

// A slope that is zero, not finite or exactly 1 carries no scale: the
// bounds only lose the intercept, the way images without a slope have
// always been shown.
bool SlopeScales(float slope) {
    return slope != 1.0f && slope != 0.0f && std::isfinite(slope);
}

// Moves window bounds given in rescaled units (real = slope * stored +
// intercept) into stored-sample units. MR, PET and CR images often carry a
// slope other than 1 and their window is given in real units, so the bounds
// are divided by the slope as well. Each bound is chosen so that a stored
// sample falls below `low` (or reaches `high`) exactly when its real value
// falls below the real bound (or reaches it). A negative slope turns the
// order round: the bounds are swapped and the caller inverts the output
// (InvertedBySlope).
void MoveBoundsToStoredUnits(DisplayAdjustment* a) {
    double m = a->rescaleSlope;
    double b = a->rescaleIntercept;
    double lowReal = a->low;
    double highReal = a->high;
    if (m > 0) {
        // stored < (lowReal - b) / m  <=>  stored < ceil of it.
        a->low = TruncToInt32(std::ceil(SnapToWhole((lowReal - b) / m)));
        a->high = TruncToInt32(std::ceil(SnapToWhole((highReal - b) / m)));
    } else {
        // Real values below lowReal are stored values above (lowReal - b) / m:
        // those reach the (swapped) upper bound and are inverted to black.
        double upper = std::floor(SnapToWhole((lowReal - b) / m)) + 1;
        double lower = std::floor(SnapToWhole((highReal - b) / m)) + 1;
        a->low = TruncToInt32(lower);
        a->high = TruncToInt32(upper);
    }
    // The scale spans the stored window, so the last sample below `high`
    // still maps below 256.
    int64_t span = static_cast<int64_t>(a->high) - a->low;
    a->scale = span > 0 ? 256.0f / static_cast<float>(span) : 0.0f;
}

// The byte map of ApplyAdjustment: the window (when one is chosen), the
// slope's inversion and the negative switch, for each of the 256 values.
void BuildByteMap(const DisplayAdjustment& a, const BYTE* source, BYTE* map) {
    bool inverted = a.width != 0 && InvertedBySlope(a);
    for (int p = 0; p < 256; ++p) {
        int v = source ? source[p] : p;
        if (a.width != 0) {
            v = WindowMap(a, v);
            if (inverted) v = 255 - v;
        }
        if (a.negative) v = 255 - v;
        map[p] = static_cast<BYTE>(v);
    }
}

// The image library's palette conversion hook: only for a record that has
// not been applied yet (later pages and reloads of an applied record keep
// their colour table).
void PaletteConversion(BITMAPINFOHEADER* header, DisplayAdjustment* adjustment) {
    if (adjustment && !adjustment->applied) ConvertToPseudoColour(header, adjustment);
}

// The image library's initialisation hook after a successful built-in load.
void InitialiseFromImage(RImage* image) {
    if (!image || !image->adjustment || image->adjustment->applied) return;
    ApplyAdjustment(image);
    image->adjustment->applied = 1;
}

}  // namespace

void InitAdjustment(DisplayAdjustment* adjustment) {
    std::memset(adjustment, 0, sizeof(*adjustment));
    adjustment->bitsAllocated = 8;
    adjustment->bitsStored = 8;
    adjustment->highBit = 7;
    adjustment->samplesPerPixel = 1;
    adjustment->rescaleSlope = 1.0f;
    adjustment->largest = 255;
    adjustment->fileCenter = 128;
    adjustment->fileWidth = 256;
    adjustment->bytesPerSample = 1;
    adjustment->maxValue = 255;
    adjustment->palette = -1;
}

void ComputeWindowBounds(DisplayAdjustment* a) {
    a->packedIndex = 0;
    a->packedNibble = 0;
    if (a->autoWindow) {
        // The sample range, in stored units already: no rescale values.
        int64_t range = static_cast<int64_t>(a->largest) - a->smallest;
        float c = static_cast<float>(a->smallest + range / 2);
        float w = static_cast<float>(range);
        a->low = TruncToInt32(c - w * 0.5f);
        a->high = TruncToInt32(w * 0.5f + c);
        // A single-valued range has no inside; its scale is never used.
        a->scale = w != 0.0f ? 256.0f / w : 0.0f;
        return;
    }
    int64_t c = a->center;
    // MONOCHROME1 shows high values dark: the centre is mirrored about the
    // file's own centre.
    if (a->photometric == 1 && a->fileCenter != 0) c = 2 * static_cast<int64_t>(a->fileCenter) - c;
    float fc = static_cast<float>(ClampToInt32(c));
    float w = static_cast<float>(a->width);
    a->low = TruncToInt32(fc - w * 0.5f);
    a->high = TruncToInt32(w * 0.5f + fc);
    // Width 0 means no window: nothing is mapped and the scale is unused.
    a->scale = w != 0.0f ? 256.0f / w : 0.0f;
    if (SlopeScales(a->rescaleSlope)) {
        MoveBoundsToStoredUnits(a);
    } else if (a->rescaleIntercept != 0.0f) {
        int64_t i = TruncToInt32(a->rescaleIntercept);
        a->low = ClampToInt32(a->low - i);
        a->high = ClampToInt32(a->high - i);
    }
}

bool InvertedBySlope(const DisplayAdjustment& adjustment) {
    return !adjustment.autoWindow && adjustment.rescaleSlope < 0.0f &&
           std::isfinite(adjustment.rescaleSlope);
}

void ApplyAdjustment(RImage* image) {
    if (!image || !image->adjustment || !image->header || !image->pixels) return;
    DisplayAdjustment* a = image->adjustment;
    if (a->autoWindow || a->applied) return;
    ComputeWindowBounds(a);
    BITMAPINFOHEADER* header = image->header;
    int64_t size = DibImageSize(header->biWidth, header->biHeight, header->biBitCount);
    if (size <= 0) return;
    if (header->biSizeImage != 0 && header->biSizeImage < size) size = header->biSizeImage;

    BYTE map[256];
    if (header->biBitCount > 8) {
        if (a->width == 0 && !a->negative) return;
        BuildByteMap(*a, nullptr, map);
    } else if (a->palette >= 0 && header->biBitCount == 8) {
        // Images below 8 bits never went through the pseudo-colour
        // conversion (their table has no room for 256 entries), so their
        // indices have no luminance to stand for and are left alone.
        BuildByteMap(*a, a->luminance, map);
        // The pixels now index the whole pseudo-colour palette, whatever
        // count of colours the decoder declared after creating its image
        // (GIF keeps its own count).
        header->biClrUsed = 256;
    } else {
        return;
    }
    BYTE* p = image->pixels;
    for (int64_t i = 0; i < size; ++i) p[i] = map[p[i]];
}

void ConvertToPseudoColour(BITMAPINFOHEADER* header, DisplayAdjustment* adjustment) {
    if (!header || !adjustment || adjustment->palette < 0 || adjustment->autoWindow) return;
    // Only an 8-bit header block has room for the 256 entries written here.
    if (header->biBitCount != 8) return;
    RGBQUAD* table = ColourTable(header);
    DWORD used = header->biClrUsed;
    if (used == 0 || used > 256) used = 256;
    for (DWORD j = 0; j < used; ++j) {
        float y = 0.587f * table[j].rgbGreen;
        y += 0.299f * table[j].rgbRed;
        y += 0.114f * table[j].rgbBlue;
        adjustment->luminance[j] = static_cast<BYTE>(static_cast<int>(y));
    }
    for (DWORD j = used; j < 256; ++j) adjustment->luminance[j] = static_cast<BYTE>(j);
    for (int i = 0; i < 256; ++i) {
        table[i].rgbBlue = table[i].rgbGreen = table[i].rgbRed = static_cast<BYTE>(i);
        table[i].rgbReserved = 0;
    }
    BuildPalette(table, adjustment->palette, 256);
    header->biClrUsed = 256;
}

void InstallDisplayAdjustment() {
    SetAdjustmentHooks(PaletteConversion, InitialiseFromImage);
}
