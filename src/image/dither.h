// The 12-bit dither: serpentine Floyd-Steinberg error diffusion to 4 bits per
// channel, in place, for 24-bit images and for 8-bit images whose colour
// table is the identity grey ramp. Errors are fixed point with 22 fraction
// bits. The state's buffers persist between uses and grow only when a larger
// image arrives; the image library owns the single instance.
#pragma once

#include <windows.h>

#include "rimage.h"

struct DitherState {
    BYTE* rowCopy;           // bytes per pixel x width
    bool identityGrey;       // the 8-bit image has the identity grey table
    int* errors;             // two lines of (width + 2) x 3 words, back to back
    const RGBQUAD* palette;
    int paletteEntries;
    int bitsPerPixel;
    int width;
    int height;
    int rowLength;           // padded row stride in bytes
    int bytesPerPixel;
    int wordsPerLine;        // (width + 2) x 3
    int widthTimesThree;
    size_t rowCopyCapacity;  // bytes allocated behind rowCopy
    size_t errorCapacity;    // words allocated behind errors
};

DitherState* CreateDitherState();
void DestroyDitherState(DitherState* state);

// Dithers `image` in place. False when it has no pixels, is neither 8 nor 24
// bits per pixel, or the buffers cannot be allocated. An 8-bit image without
// the identity grey table is left unchanged (true). Stops early (true) when
// the image library's abort flag is set.
bool DitherFor12Bit(DitherState* state, RImage* image);
