// DisplayAdjustment: how one decoded image's samples become 8-bit grey levels
// (window centre and width, rescale values, negative) and which pseudo-colour
// palette an 8-bit image is shown through. One record per decode, owned by
// the loader and handed to the image library with the RImage; the DICOM
// decoder fills the sample format and window, the image library applies the
// rest after an ordinary decode. Fields in this order; defaults by
// InitAdjustment.
#pragma once

#include <windows.h>

#include <cstdint>

struct RImage;

struct DisplayAdjustment {
    WORD bitsAllocated;
    WORD bitsStored;
    SHORT highBit;
    WORD pixelRepresentation;  // 1 signed samples, 0 unsigned
    SHORT planarConfiguration;
    SHORT rows;
    SHORT columns;
    WORD samplesPerPixel;
    const BYTE* cursor;  // read position of the DICOM sample reader
    BYTE negative;       // the user's negative switch
    BYTE applied;        // already applied to the decoded pixels
    BYTE autoWindow;     // window from the sample range, not centre and width
    BYTE luminance[256]; // grey level of each former colour entry (pseudo-colour)
    float rescaleIntercept;
    float rescaleSlope;
    float scale;         // 256 / width, set by ComputeWindowBounds
    int32_t smallest;
    int32_t largest;
    int32_t center;      // window in use; width 0 means none chosen yet
    int32_t width;
    int32_t fileCenter;  // window of the file (or of the sample range)
    int32_t fileWidth;
    DWORD photometric;   // DICOM photometric index (1 = MONOCHROME1)
    DWORD bytesPerSample;
    int32_t minValue;    // lowest representable sample
    int32_t maxValue;    // upper bound of the representable samples
    int32_t low;         // window bounds in stored-sample units
    int32_t high;
    int32_t packedIndex; // packed 12-bit reading state
    int32_t packedNibble;
    int32_t palette;     // pseudo-colour palette 0-7, -1 none
};

// Zeroes the record and sets the defaults (8 bits, centre 128 / width 256 of
// the file, no window in use, palette -1, slope 1).
void InitAdjustment(DisplayAdjustment* adjustment);

// Sets low, high and scale from the window in use (or the sample range with
// autoWindow, which is in stored units already), mirrored for MONOCHROME1 and
// moved into stored-sample units: with slope 1 (or 0) the bounds lose the
// truncated intercept and scale is 256 / width; with another slope m each
// bound becomes the first stored value whose real value m x v + intercept
// reaches it, and scale is 256 / (high - low). Resets the packed 12-bit state.
void ComputeWindowBounds(DisplayAdjustment* adjustment);

// The window mapping of one value: below low 0, at or above high 255, else
// (v - low) * scale truncated. A negative rescale slope has swapped low and
// high into stored units already, and InvertedBySlope tells the caller.
inline BYTE WindowMap(const DisplayAdjustment& a, int32_t v) {
    if (v < a.low) return 0;
    if (v >= a.high) return 255;
    // The difference is taken in 64 bits: 32-bit samples against a bound
    // at the end of the range would overflow 32.
    return (BYTE)(int32_t)((float)((int64_t)v - a.low) * a.scale);
}

// Whether a negative rescale slope reverses the grey scale (the window is
// computed in stored units, where higher stored values mean lower real ones).
bool InvertedBySlope(const DisplayAdjustment& adjustment);

// Applies the record to an image its decoder has not windowed (ordinary
// formats): window per byte and negative above 8 bits, luminance through the
// window and negative for 8-bit pseudo-colour images (whose table then counts
// 256 colours). Nothing when there is no record, autoWindow or applied is
// set; images below 8 bits are left alone. The caller sets applied.
void ApplyAdjustment(RImage* image);

// Turns an 8-bit image's colour table into the chosen pseudo-colour palette,
// keeping each former entry's luminance for ApplyAdjustment. Nothing without
// a palette, with autoWindow, or for a header of another depth.
void ConvertToPseudoColour(BITMAPINFOHEADER* header, DisplayAdjustment* adjustment);

// The pseudo-colour palettes, by index (the dialog's list order).
constexpr int kPaletteCount = 8;
// "Grayscale", "GrayRain", "HotIron", "BlackBody", "NIH", "Flow", "Cardiac",
// "Spektrum"; null outside 0-7.
LPCWSTR PaletteName(int index);
// Writes palette `index` into the first `entries` colour entries; any other
// index leaves the table unchanged. The reserved byte is not touched.
void BuildPalette(RGBQUAD* table, int index, int entries);

// Installs ApplyAdjustment and ConvertToPseudoColour as the image library's
// adjustment hooks. The program and kestrava-cli call it once at start-up.
void InstallDisplayAdjustment();
