// JPEG frames of DICOM pixel data, decoded from their joined fragments in
// memory. The frame's own markers choose the decoder: a lossless frame (SOF3)
// goes to the built-in lossless decoder whatever the transfer syntax says;
// DCT frames of 8 bits to libjpeg, of 12 bits to the 12-bit build of the
// library (GDCM's libgdcmjpeg12). Colours follow the stream's own markers
// (JFIF, Adobe, component identifiers), not the photometric interpretation.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dicom/frame_rows.h"

// The frame header of a JPEG stream.
struct JpegFrameInfo {
    unsigned frameMarker = 0;  // 0xC0-0xCF except C4, C8, CC
    unsigned precision = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned components = 0;
    // The samples are predicted (T.81 lossless): a lossless frame marker, or
    // a sequential marker (C0, C1) whose first scan has a predictor (Ss 1-7)
    // and no spectral end (Se 0), where a DCT scan has Se 63.
    bool lossless = false;
};

// Reads the markers from SOI up to the first scan header. False when the
// data does not start with SOI or ends before a frame header.
bool InspectJpegFrame(const uint8_t* data, size_t size, JpegFrameInfo* info);

// Decodes one frame of any JPEG kind into the target, choosing the decoder by
// its frame marker. 0, 1 out of memory, 8 bad or unsupported data (hierarchical
// and arithmetic-coded lossless frames, precisions other than 8 and 12 for DCT
// frames, a size other than the image's), 15 aborted.
int DecodeJpegFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                        const FrameTarget& target);

// The lossless decoder's part (lossless_frame.cpp): samples of more than 8
// bits through the window, three components into blue-green-red.
int DecodeLosslessFrameData(const uint8_t* data, size_t size, DisplayAdjustment* adjustment,
                            const FrameTarget& target);

// The 12-bit library (jpeg12_frame.cpp): decodes a DCT frame of 12-bit
// precision into width x height x samplesPerPixel host-order words (rows top
// first; 3 samples as red, green, blue). 0, 1 out of memory, 8 library error
// or a frame of another size, 15 aborted (polled per scanline).
int DecodeJpeg12(const uint8_t* data, size_t size, int width, int height, int samplesPerPixel,
                 uint16_t* samples);
