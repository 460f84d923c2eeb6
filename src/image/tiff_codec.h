// The TIFF handler (file type row 3: "tif", "tiff", "cfx"): an adapter over
// libtiff opened on the program's file handle (which stays the caller's).
// The current directory becomes an image strip by strip (or tile by tile):
// grey and palette files keep their depth, RGB and CMYK become 24 bits;
// YCbCr and plane-separated files go through libtiff's RGBA reader into 24
// bits. A horizontal resolution above the vertical one stretches the picture
// vertically. Multi-page files load further pages through the image's page
// loader. LZW-compressed files are refused. libtiff's messages are dropped.
#pragma once

#include <cstdarg>

#include "format_handler.h"

struct tiff;

class TiffHandler : public FormatHandler {
public:
    ~TiffHandler() override;
    // Opens the file and reads the first directory. 0 on success, 8 for a
    // file libtiff cannot open or a strip it cannot read, 11 for the
    // transparency-mask and LogL/LogLuv models, 12 for LZW compression, 10
    // for more than 24 bits per pixel, 1 when memory runs out. The libtiff
    // handle stays open until the handler is released or destroyed.
    LoadError Load(HANDLE file, DWORD flags) override;
    // Writes a copy of the open file to `file` with the current page
    // replaced by `image` (SavePage).
    LoadError Save(HANDLE file, const RImage& image) override;
    // Base release, then the libtiff handle is closed.
    void ReleaseHandlerImage() override;

    // Opens `file` (closing an earlier handle): 0, or 8.
    LoadError Open(HANDLE file);
    // Makes directory `page` current: 16 without an open file, 8 when the
    // chain ends first.
    LoadError SelectPage(int page);
    // Reads the current directory into the handler's image.
    LoadError ReadDirectory();
    // The number of directories of the open file (0 when none is open).
    DWORD PageCount();
    // Copies every page of the open file to `target`, page `page` replaced
    // by `image`, which must have the width, height and image size that page
    // decodes to. 16 without an open file, 8 for a mismatch or any failure.
    LoadError SavePage(HANDLE target, const RImage& image, int page);
    // The last message libtiff reported (for diagnostics only).
    const char* LibraryMessage() const { return libraryMessage_; }

    void RecordMessage(const char* module, const char* format, va_list args);

private:
    void Close();

    int currentPage_ = 0;        // index of the directory read last
    DWORD pageCountCache_ = 0;   // 0 until first asked
    int tiffOpen_ = 0;           // nonzero while tiff_ belongs to the handler
    struct tiff* tiff_ = nullptr;
    char libraryMessage_[256] = {};
};

// RImage::pageLoader of multi-page files: reads page `index` of the file
// into `image`, replacing its header, DIB section and pixels. 17 when the
// file has no such page; otherwise the results of TiffHandler::Load.
LoadError TiffPageLoader(HANDLE file, RImage* image, int index);
