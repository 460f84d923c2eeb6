// The window of a DICOM frame: grey samples of more than 8 bits (and colour
// samples of more than 8 bits) reach the 8-bit image through the image's
// DisplayAdjustment. Every frame decoder (uncompressed, RLE, lossless JPEG,
// 12-bit JPEG) prepares the window the same way before its first row and
// maps rows the same way, so a frame looks alike whatever its encoding.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The window of one frame as a table of every stored value of samples up to
// 16 bits: the sign extension, the window and the inversion are worked out
// once per value rather than once per pixel. A signed word is looked up by
// its stored bits; an unsigned word with bits above them (outside the stored
// range) goes through the window's own arithmetic.
class WindowTable {
public:
    WindowTable() = default;
    WindowTable(const WindowTable&) = delete;
    WindowTable& operator=(const WindowTable&) = delete;
    ~WindowTable();

    // `storedBits` 1-16. False when the table cannot be allocated.
    bool Build(const DisplayAdjustment& adjustment, bool inverted, int storedBits, bool isSigned);

    // The output byte of one stored word.
    BYTE Map(uint32_t word) const {
        return isSigned_ || word <= mask_ ? entries_[word & mask_] : Outside(word);
    }

    // `count` pixels, word i read by wordAt(i), into out. An unsigned row is
    // first checked for words above the stored bits (a pass the compiler
    // vectorises) so that the common row maps without a test per pixel, and
    // four pixels go out per store: single byte stores hold the loop back.
    template <class WordAt>
    void MapRow(WordAt wordAt, size_t count, BYTE* out) const {
        uint32_t above = 0;
        if (!isSigned_) {
            for (size_t x = 0; x < count; ++x) above |= wordAt(x);
            above &= ~mask_;
        }
        if (above != 0) {
            for (size_t x = 0; x < count; ++x) out[x] = Map(wordAt(x));
            return;
        }
        const BYTE* t = entries_;
        const uint32_t m = mask_;
        size_t x = 0;
        for (; x + 4 <= count; x += 4) {
            const uint32_t quad = (uint32_t)t[wordAt(x) & m] | (uint32_t)t[wordAt(x + 1) & m] << 8 |
                                  (uint32_t)t[wordAt(x + 2) & m] << 16 |
                                  (uint32_t)t[wordAt(x + 3) & m] << 24;
            std::memcpy(out + x, &quad, 4);  // bytes in memory order on a little-endian host
        }
        for (; x < count; ++x) out[x] = t[wordAt(x) & m];
    }

private:
    BYTE Outside(uint32_t word) const;

    BYTE* entries_ = nullptr;
    uint32_t mask_ = 0;
    bool isSigned_ = false;
    bool inverted_ = false;
    const DisplayAdjustment* adjustment_ = nullptr;
};
