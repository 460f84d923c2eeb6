// The JPEG handler (file type row 1: "jpg", "jpe", "jpeg"): an adapter over
// the IJG library (6b interface, libjpeg-turbo). Baseline and progressive
// files decode with the fast integer DCT and without fancy upsampling,
// scanline by scanline straight into the image rows (blue, green, red as the
// library emits them); grey files become 8 bits with the grey table, CMYK
// and YCCK files 24 bits. The library's working memory comes from the image
// library's allocation hooks. Library messages never reach the user.
#pragma once

#include "format_handler.h"

class JpegHandler : public FormatHandler {
public:
    // 0 on success (a truncated file decodes to its end and the image is
    // marked truncated), 8 for an empty or broken file, 10 for more than 24
    // bits per pixel, 1 when the image cannot be created, 15 when aborted.
    LoadError Load(HANDLE file, DWORD flags) override;
    // SaveJpeg at the default quality.
    LoadError Save(HANDLE file, const RImage& image) override;
};

constexpr int kDefaultJpegQuality = 75;

// Writes `image` (1 to 24 bits per pixel) as a progressive JPEG of the given
// quality (1..100) to the file handle in 4096-byte blocks. 1 when the row
// buffer cannot be allocated, 8 for a library error (a short write among
// them), 10 for a depth it cannot write, 15 when aborted, 18 for a record
// without pixels.
LoadError SaveJpeg(HANDLE file, const RImage& image, int quality);

struct jpeg_common_struct;
// Gives a freshly created library object (compress or decompress) the
// adapter's memory manager on the image library's allocation hooks; the
// DICOM JPEG frame decoder shares it. A failure raises the library's
// out-of-memory error through the object's error manager.
void UseImageMemoryForJpeg(jpeg_common_struct* cinfo);
