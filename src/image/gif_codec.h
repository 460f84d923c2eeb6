// The GIF handler (file type row 2: "gif"). Reads GIF87a and GIF89a files
// into an 8-bit image with the file's colour table; the transparent colour of
// a graphic control extension shows as white. Every image block is decoded in
// turn into a new image, so the last block of an animation is the result, at
// that block's own size. Interlaced blocks land in display order. No writer.
#pragma once

#include "format_handler.h"

class GifHandler : public FormatHandler {
public:
    // 0 on success (also when the file ends without a trailer), 10 for a
    // wrong signature, 8 for an unreadable extension, a graphic control
    // extension whose size is not 4, a block of zero width or height, or a
    // file without any image block; 1 when an image cannot be created; 15
    // when aborted.
    LoadError Load(HANDLE file, DWORD flags) override;
    // GIF files are never written: 1.
    LoadError Save(HANDLE file, const RImage& image) override;

    int TransparentIndex() const { return transparentIndex_; }

private:
    int transparentIndex_ = -1;  // set by a graphic control extension, kept for later blocks
};
