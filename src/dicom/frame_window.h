// The window of a DICOM frame: grey samples of more than 8 bits (and colour
// samples of more than 8 bits) reach the 8-bit image through the image's
// DisplayAdjustment. Every frame decoder (uncompressed, RLE, lossless JPEG,
// 12-bit JPEG) prepares the window the same way before its first row and
// maps rows the same way, so a frame looks alike whatever its encoding.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "view/display_adjustment.h"

// Visits the frame's samples so that the window can be taken from their
// range: fills adjustment->smallest and ->largest. Called at most once, and
// only when the window needs the range.
typedef void (*SampleRangeFn)(void* context, DisplayAdjustment* adjustment);

// Prepares the window for one frame: the automatic window or the file's
// window (from the sample range when the file gives none), the user's window
// when one is chosen, the bounds, and whether the output is inverted
// (MONOCHROME1, toggled by the negative switch unless the window is
// automatic; a negative rescale slope reverses once more). `wideSamples`:
// the samples have more than 8 bits, so their range is worth scanning.
// Returns whether the output is inverted.
bool PrepareFrameWindow(DisplayAdjustment* adjustment, bool wideSamples, SampleRangeFn range,
                        void* context);

// The file's window taken from the sample range (smallest, largest) and the
// rescale values, in rescaled units: the centre is the middle of the range,
// the width its extent times the magnitude of the slope (so that
// ComputeWindowBounds turns it back into exactly the stored range).
void DefaultWindowFromRange(DisplayAdjustment* adjustment);

// A decoded 16-bit word as a sample value: sign-extended from bitsStored
// when the samples are signed, else taken as it is.
inline int32_t SampleValue16(const DisplayAdjustment& adjustment, uint16_t word) {
    if (adjustment.pixelRepresentation != 1) return word;
    const int stored = adjustment.bitsStored;
    const int bits = stored >= 1 && stored < 16 ? stored : 16;
    const int shift = 16 - bits;
    return (int32_t)(int16_t)(uint16_t)(word << shift) >> shift;
}

// Smallest and largest of `count` decoded samples (host-order 16-bit words;
// sign-extended from bitsStored when the adjustment's pixelRepresentation is
// 1). With no samples both stay as they were.
void SampleRange16(const DisplayAdjustment& adjustment, const uint16_t* samples, size_t count,
                   int32_t* smallest, int32_t* largest);

// Maps one picture row of decoded samples (host-order 16-bit words as above,
// `samplesPerPixel` 1, or 3 in red-green-blue order) into an 8-bit grey or
// 24-bit blue-green-red destination row. Without a window (width 0) the low 8
// bits are used.
void WindowRow16(const DisplayAdjustment& adjustment, bool inverted, const uint16_t* samples,
                 int columns, int samplesPerPixel, BYTE* out);
