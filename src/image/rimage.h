// RImage: one decoded picture. The pixels are a bottom-up DIB section (memory
// row 0 is the bottom row; rows padded to 4 bytes; 24-bit pixels blue, green,
// red; indices below 8 bits packed leftmost pixel in the high bits). The
// header block is a 40-byte BITMAPINFOHEADER followed by room for 2^bpp
// colour entries below 9 bits. The record owns header, bitmap and frame
// source; it is moved by bitwise copy and reset of the source (MoveImage).
#pragma once

#include <windows.h>
#include <wingdi.h>

#include <cstdint>

struct RImage;
struct FrameSource;
struct DisplayAdjustment;

typedef DWORD LoadError;

// Reloads page `index` of a multi-page file into `image` (its header, DIB
// section and pixels are replaced); returns a LoadError.
typedef LoadError (*PageLoader)(HANDLE file, RImage* image, int index);

struct RImage {
    PageLoader pageLoader = nullptr;          // set only when pageCount > 1
    BITMAPINFOHEADER* header = nullptr;       // owned: header block with colour table
    FrameSource* frameSource = nullptr;       // owned: multi-frame sources, else null
    DisplayAdjustment* adjustment = nullptr;  // not owned: the caller's adjustment record
    HBITMAP bitmap = nullptr;                 // owned: the DIB section
    BYTE* pixels = nullptr;                   // the DIB section's memory
    DWORD pageCount = 1;                      // 1 after reset
    WCHAR path[MAX_PATH] = {};                // file the image came from
    WCHAR formatText[64] = {};                // short description of the encoding
    // The file ended before the picture did: what was decoded is kept and
    // the rest is black, so the picture must never pass for a whole one.
    bool truncated = false;
};

// Hard limits of an image record: each side at most kMaxImageSide pixels and
// the pixel memory (row stride x height) below 2 GiB, so that every row and
// size product of the subsystem fits 32-bit arithmetic. Decoders refuse
// larger headers before allocating anything.
constexpr int kMaxImageSide = 1 << 20;
constexpr int64_t kMaxImageBytes = 0x7FFFFFFF;

// Padded row length of a DIB row: ((bpp * width + 31) / 32) * 4, or -1 when
// the width is outside 1..kMaxImageSide or the depth outside 1..32.
int64_t DibRowStride(int64_t width, int bitsPerPixel);
// Row stride x height, or -1 when either is out of range or the product
// reaches kMaxImageBytes.
int64_t DibImageSize(int64_t width, int64_t height, int bitsPerPixel);
// Row stride of the image's own header.
int RowStride(const RImage& image);
// pixels + y * stride (y counts memory rows from the bottom).
BYTE* RowAddress(const RImage& image, int y);
// The colour table behind a header block.
inline RGBQUAD* ColourTable(BITMAPINFOHEADER* header) {
    return reinterpret_cast<RGBQUAD*>(header + 1);
}
inline const RGBQUAD* ColourTable(const BITMAPINFOHEADER* header) {
    return reinterpret_cast<const RGBQUAD*>(header + 1);
}

// Reset state: pageLoader, header, frameSource, bitmap, pixels null,
// pageCount 1, formatText empty, truncated false; adjustment and path are
// kept.
void ResetImage(RImage* image);
// Copies every field of `from` into `to` and resets `from`.
void MoveImage(RImage* to, RImage* from);

// The default colour table for a depth: 1 bit black and white; 4 bits the
// 16-colour table; any other depth entry i = (i, i, i).
void FillDefaultColourTable(RGBQUAD* table, int bitsPerPixel);

// Allocates and fills the header block, the colour table (the given colours,
// else the default table) and the DIB section (through the allocation hooks,
// in a memory context compatible with `dc`, the screen when null). A previous
// header or bitmap of the record is not released here: callers release first.
// On failure the record's header, bitmap and pixels are cleared.
bool CreateImage(HDC dc, RImage* image, int bitsPerPixel, int width, int height,
                 const RGBQUAD* colours, int colourCount);

// Frees the header block and deletes the DIB section.
void ReleaseImagePixels(RImage* image);
// Frees the frame source, the pixels and resets the record.
void ReleaseImage(RImage* image);

// A resampled 24-bit copy of an image, at most maxWidth x maxHeight when a
// limit is given (maxWidth <= 0 means none), never enlarged. The result is a
// fresh record (header, bitmap, pixels) the caller releases; the source is
// untouched. Returns false on failure.
bool StretchToTrueColor(const RImage& image, int maxWidth, int maxHeight, RImage* result);
