// What the compressed frame decoders share: the destination (slot `index`'s
// bottom-up DIB: rows padded to 4 bytes, 8-bit grey or 24-bit blue-green-red),
// the file attached to the reader's stream, and the way decoded samples reach
// the destination: host-order 16-bit words (colour as red, green, blue)
// mapped row by row through the image's window (frame_window.h).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dicom/frame_window.h"
#include "image/frame_source.h"
#include "view/display_adjustment.h"

struct FrameTarget {
    BYTE* pixels = nullptr;
    size_t stride = 0;        // padded row length
    int width = 0;
    int height = 0;
    int samplesPerPixel = 0;  // 1 (8 bits per pixel) or 3 (24)
    // The data set's samples are luminance-chrominance (YBR_FULL): decoders
    // without a colour transform of their own (RLE, lossless JPEG) turn the
    // windowed pixels into RGB with ConvertYbrFullRows.
    bool ybrFull = false;

    // Picture row y counted from the top lands at memory row height - 1 - y.
    BYTE* Row(int y) const { return pixels + (size_t)(height - 1 - y) * stride; }
};

// The slot's destination: 0; 1 without pixels or when byteSize cannot hold
// the picture; 8 for a depth other than 8 or 24 bits or an unusable size.
int GetFrameTarget(const FrameSource* source, int index, FrameTarget* target);

// Attaches the caller's file to the reader's stream unless the stream is
// remote (its resource is the data) or holds that file already.
void AttachFrameFile(HANDLE file);

// One compressed fetch under way: the destination, the frame's joined
// fragments and the adjustment in use.
struct CompressedFetch {
    FrameTarget target;
    std::vector<uint8_t> data;
    DisplayAdjustment* adjustment = nullptr;
    // The source's own sample format and window, for callers that pass no
    // adjustment record (a copy, so every such fetch starts afresh).
    DisplayAdjustment fallback = {};
};

// The start of every compressed fetch. Without a file only the availability
// check runs (*result 0 or -1). Otherwise the file is attached, the target
// found and the frame's fragments joined. True when the frame is ready to
// decode; false with *result set (1 no destination, adjustment or memory;
// 8 bad data).
bool BeginCompressedFetch(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment,
                          int index, CompressedFetch* fetch, int* result);

// YBR_FULL pixels of the target (already windowed to 8 bits, in the places
// of blue, green, red as Cr, Cb, Y) become blue, green, red.
void ConvertYbrFullRows(const FrameTarget& target);

// Sign-extends P-bit two's-complement samples to 16 bits (P < 16).
void SignExtendSamples(uint16_t* samples, size_t count, int precision);

// Maps picture rows of decoded samples into the target. A decoder whose
// pixels have another sample count than the target (a grey stream in a
// colour image, or the reverse) gets them converted: grey is repeated into
// red, green and blue; of colour the first component is taken.
// Plain record (no destructor): the JPEG decoders may leave by a jump.
struct RowWindow {
    DisplayAdjustment* adjustment;
    const FrameTarget* target;
    int decodedSamples;  // 1 or 3 per decoded pixel
    bool inverted;
    uint16_t* converted;  // one target row of samples when the counts differ
    // The window as a table, when the caller built one (see WindowFrame16);
    // rows are mapped through it instead of value by value.
    const WindowTable* table;

    // Prepares the window (the range comes from `range` when it is needed,
    // for wide samples only). 0, or 1 when the conversion row cannot be
    // allocated.
    int Begin(DisplayAdjustment* adjustment, const FrameTarget& target, int decodedSamples,
              bool wideSamples, SampleRangeFn range, void* context);
    // Picture row y (0 at the top) from `samples` (width x decodedSamples).
    void Write(int y, const uint16_t* samples);
    // Marks the window applied and frees the conversion row.
    void End();
};

// A whole decoded frame (width x height x decodedSamples words, rows top
// first) through the window into the target; the range, when the window
// needs it, is taken from these samples. 0, 1 out of memory, 15 aborted
// (polled per row).
int WindowFrame16(DisplayAdjustment* adjustment, const FrameTarget& target,
                  const uint16_t* samples, int decodedSamples, bool wideSamples);
