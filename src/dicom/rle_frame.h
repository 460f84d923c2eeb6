// RLE frames of DICOM pixel data: a 64-byte header (the segment count, at
// most 15, then the segments' offsets from the header's start, ascending),
// then PackBits segments, one per byte of each sample, most significant byte
// first, component by component (grey 8 bits: 1; grey 16 bits: high, low;
// colour 8 bits: red, green, blue; colour 16 bits: 6).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "dicom/frame_rows.h"

// Unpacks one PackBits segment: control byte n, 0..127 copies the next
// n + 1 bytes, -127..-1 repeats the next byte 1 - n times, -128 does nothing.
// Copies are cut at the end of the output and of the input; the abort flag
// is polled every 256 control bytes. Returns the bytes written.
size_t UnpackRleSegment(BYTE* out, size_t outSize, const BYTE* in, size_t inSize);

// Decodes one joined RLE frame into the target through the window: 0, 1 out
// of memory, 8 bad data (header, segment count or offsets, a depth other
// than 8 or 16 bits allocated), 15 aborted.
int DecodeRleFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                       const FrameTarget& target);
