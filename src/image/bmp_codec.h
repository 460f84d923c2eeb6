// The BMP handler (file type row 0: "2bp", "bmp", "img"). Reads Windows
// bitmaps (40-byte and longer information headers), OS/2 bitmaps (12-byte core
// header) and bare bitmaps without a file header; 1, 2, 4, 8, 16, 24 and 32
// bits per pixel, uncompressed, RLE8 or RLE4; 16- and 32-bit pixels become
// 24-bit. Bottom-up and top-down row orders load the right way up. Writes
// uncompressed BMPs of the image's own depth.
#pragma once

#include "format_handler.h"

class BmpHandler : public FormatHandler {
public:
    // 0 on success (an abort also returns 0 with the rows read so far; a
    // file that ends inside the pixels keeps what it holds, black beyond,
    // and marks the image truncated), 6 when a header is short, 8 for a header no image can be made of, 1 when
    // the image cannot be created.
    LoadError Load(HANDLE file, DWORD flags) override;
    LoadError Save(HANDLE file, const RImage& image) override;
};

// Writes `image` as an uncompressed BMP: file header, the image's header
// block with its colour table, then the pixels. 7 when a write fails, 18 for
// a record without pixels.
LoadError SaveBmp(HANDLE file, const RImage& image);
