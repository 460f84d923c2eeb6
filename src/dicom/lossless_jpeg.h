// The lossless JPEG decoder: ITU-T T.81 process 14 (Huffman coded, one scan,
// predictors 0-7, point transform, restart intervals, 1-4 components sampled
// 1x1, 2-16 bits). Input: the bytes of ONE frame from its SOI marker; nothing
// outside [data, data + size) is read. Output: rows into the caller's buffer,
// never past its size; the caller owns both buffers. Result: 0, a format
// error 101-119 or out of memory 200-204 (table below). Re-entrant.
#pragma once

#include <cstddef>
#include <cstdint>

enum LosslessResult : int {
    kLosslessOk = 0,
    kLosslessNoSoi = 101,                // the data does not start with FF D8
    kLosslessEmptyFrame = 102,           // frame header: zero lines, samples per line or components
    kLosslessQuantTable = 103,           // a DQT segment (lossy data) is present
    kLosslessBadPrecision = 104,         // sample precision outside 2-16
    kLosslessBadSampling = 105,          // a component with sampling factors other than 1x1
    kLosslessSecondScan = 106,           // another scan follows the first
    kLosslessBadFrameMarker = 107,       // frame marker other than C0, C1, C3 (or none at all)
    kLosslessUndefinedTable = 108,       // the scan uses a Huffman table never defined
    kLosslessTooManyComponents = 109,    // more than four scan components
    kLosslessBadCode = 110,              // Huffman code longer than 16 bits, or category above 16
    kLosslessBadTableCounts = 111,       // DHT counts above 256, past the segment, or over-full
    kLosslessBadTableClass = 112,        // DHT class not 0 (DC) or identifier not 0-3
    kLosslessBadRestartDefinition = 113, // DRI length not 4, or interval not whole rows
    kLosslessBadFrameHeader = 114,       // frame header length wrong or header cut short
    kLosslessBadScanHeader = 115,        // no scan header, its length or component count wrong,
                                         // or a point transform not below the precision
    kLosslessUnknownScanComponent = 116, // scan component not in the frame
    kLosslessBadRestartMarker = 117,     // wrong or missing RSTn marker
    kLosslessGeometryMismatch = 118,     // frame differs from the caller's geometry or buffer
    kLosslessTruncated = 119,            // compressed data ends before the last sample
    kLosslessNoMemoryTable = 200,        // no memory for a Huffman table
    kLosslessNoMemoryPreviousPointers = 201, // 201-202: no memory for row pointer arrays;
    kLosslessNoMemoryCurrentPointers = 202,  // never returned, rows here need no pointers
    kLosslessNoMemoryPreviousRow = 203,  // no memory for the previous-row buffer
    kLosslessNoMemoryCurrentRow = 204,   // no memory for the current-row buffer
};

// How each decoded sample lands in the destination. A pixel holds one sample
// when the scan has one component, else three (scan components 0, 1, 2; a
// missing third component of a two-component scan is written as 0).
enum class LosslessSampleForm {
    kLow8,   // one byte per sample: the low 8 bits of (sample << Pt)
    kFull16, // one 16-bit word per sample, host byte order: (sample << Pt), the
             // full precision that grey-scale windowing needs above 8 bits
};
// Samples are the P-bit values as coded; for signed pixel data they are the
// two's-complement bits, which the caller sign-extends from bit P - 1.

struct LosslessDestination {
    uint8_t* pixels = nullptr;  // first byte of the destination
    size_t size = 0;            // bytes writable at pixels
    size_t rowStride = 0;       // bytes between row starts; 0: rows packed
    uint32_t width = 0;         // expected samples per line (the frame's X)
    uint32_t height = 0;        // expected lines (the frame's Y)
    uint32_t samplesPerPixel = 0; // expected samples per output pixel: 1 or 3
    LosslessSampleForm form = LosslessSampleForm::kLow8;
    bool blueGreenRed = false;  // three-sample pixels land as components 2, 1, 0
    bool bottomUp = false;      // the top picture row goes to the last row slot
    size_t maxWorkingMemory = 0; // cap on tables and row buffers; 0: 2 MiB (ample)
};

// What the headers of a frame say, read without decoding its samples.
struct LosslessFrameInfo {
    uint32_t width = 0;            // samples per line (X)
    uint32_t height = 0;           // lines (Y)
    uint32_t precision = 0;        // sample precision P in bits
    uint32_t frameComponents = 0;  // Nf
    uint32_t scanComponents = 0;   // Ns
    uint32_t samplesPerPixel = 0;  // 1 when Ns is 1, else 3
    uint32_t predictor = 0;        // selection value Ss
    uint32_t pointTransform = 0;   // Pt
    uint32_t restartInterval = 0;  // Ri, in samples per component (0: none)
    uint32_t frameMarker = 0;      // 0xC0, 0xC1 or 0xC3
};

// Decodes one frame into dest. The frame's X, Y and output samples per pixel
// must equal dest's width, height and samplesPerPixel and its rows must fit
// the buffer, else 118 before anything is written. On a format error the rows
// already written stay in the destination. Once every row is decoded, only a
// second scan changes the result (106): a missing EOI and any bytes after it
// (fragment padding) are ignored. Re-entrant; no global state.
int DecodeLossless(const uint8_t* data, size_t size, const LosslessDestination& dest);

// Reads the headers up to and including the scan header and fills *info
// (partially on failure). Returns 0 or the code DecodeLossless would give for
// those headers.
int ReadLosslessFrameInfo(const uint8_t* data, size_t size, LosslessFrameInfo* info);

// English text of a result code, for logs ("unknown result" for others).
const char* LosslessResultText(int code);
