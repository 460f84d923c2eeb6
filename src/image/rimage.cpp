// The image record: creation, release, moving and resampling.
#include "rimage.h"

#include <cstring>

#include "adjustment_hooks.h"
#include "frame_source.h"
#include "image_memory.h"

namespace {

// The 16-colour table as (red, green, blue).
const BYTE kSixteenColours[16][3] = {
    {0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},   {0, 0, 128},   {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255},
};

bool IsImageDepth(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: case 2: case 4: case 8: case 16: case 24: case 32:
            return true;
        default:
            return false;
    }
}

}  // namespace

int64_t DibRowStride(int64_t width, int bitsPerPixel) {
    if (width < 1 || width > kMaxImageSide || bitsPerPixel < 1 || bitsPerPixel > 32) return -1;
    return ((bitsPerPixel * width + 31) / 32) * 4;
}

int64_t DibImageSize(int64_t width, int64_t height, int bitsPerPixel) {
    int64_t stride = DibRowStride(width, bitsPerPixel);
    if (stride < 0 || height < 1 || height > kMaxImageSide) return -1;
    int64_t size = stride * height;
    return size >= kMaxImageBytes ? -1 : size;
}

int RowStride(const RImage& image) {
    if (!image.header) return 0;
    return static_cast<int>(DibRowStride(image.header->biWidth, image.header->biBitCount));
}

BYTE* RowAddress(const RImage& image, int y) {
    return image.pixels + static_cast<ptrdiff_t>(y) * RowStride(image);
}

void ResetImage(RImage* image) {
    image->pageLoader = nullptr;
    image->header = nullptr;
    image->frameSource = nullptr;
    image->bitmap = nullptr;
    image->pixels = nullptr;
    image->pageCount = 1;
    image->formatText[0] = 0;
    image->truncated = false;
}

void MoveImage(RImage* to, RImage* from) {
    if (to == from) return;
    std::memcpy(static_cast<void*>(to), from, sizeof(RImage));
    ResetImage(from);
}

void FillDefaultColourTable(RGBQUAD* table, int bitsPerPixel) {
    if (bitsPerPixel < 1 || bitsPerPixel > 8) return;
    int entries = 1 << bitsPerPixel;
    if (bitsPerPixel == 1) {
        table[0] = {0, 0, 0, 0};
        table[1] = {255, 255, 255, 0};
        return;
    }
    if (bitsPerPixel == 4) {
        for (int i = 0; i < 16; ++i) {
            table[i] = {kSixteenColours[i][2], kSixteenColours[i][1], kSixteenColours[i][0], 0};
        }
        return;
    }
    // Every other depth gets entry i = (i, i, i): a 2-bit table is 0..3, not
    // a spread ramp.
    for (int i = 0; i < entries; ++i) {
        BYTE v = static_cast<BYTE>(i);
        table[i] = {v, v, v, 0};
    }
}

bool CreateImage(HDC dc, RImage* image, int bitsPerPixel, int width, int height,
                 const RGBQUAD* colours, int colourCount) {
    image->header = nullptr;
    image->bitmap = nullptr;
    image->pixels = nullptr;
    int64_t size = DibImageSize(width, height, bitsPerPixel);
    if (size < 0 || !IsImageDepth(bitsPerPixel)) return false;

    int entries = bitsPerPixel < 9 ? 1 << bitsPerPixel : 0;
    auto* header = static_cast<BITMAPINFOHEADER*>(
        ImageAllocate(sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * entries));
    if (!header) return false;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitsPerPixel);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(size);
    header->biXPelsPerMeter = 0;
    header->biYPelsPerMeter = 0;
    header->biClrImportant = 0;
    header->biClrUsed = static_cast<DWORD>(entries);
    if (entries > 0) {
        RGBQUAD* table = ColourTable(header);
        if (colours && colourCount > 0) {
            // The block has room for 2^bpp entries; a longer list is cut there.
            int count = colourCount < entries ? colourCount : entries;
            std::memcpy(table, colours, sizeof(RGBQUAD) * count);
            header->biClrUsed = static_cast<DWORD>(count);
        } else {
            FillDefaultColourTable(table, bitsPerPixel);
        }
    }
    image->header = header;

    // Only an 8-bit table has room for the 256 entries the palette
    // conversion writes.
    if (image->adjustment && bitsPerPixel == 8) {
        if (PaletteConversionHook convert = CurrentPaletteConversionHook()) {
            convert(header, image->adjustment);
        }
    }

    HDC memory = CreateCompatibleDC(dc);
    void* bits = nullptr;
    HBITMAP bitmap = nullptr;
    if (memory) {
        bitmap = ImageCreateDibSection(memory, reinterpret_cast<const BITMAPINFO*>(header), &bits);
        DeleteDC(memory);
    }
    if (!bitmap || !bits) {
        if (bitmap) ImageDeleteObject(bitmap);
        ImageFree(header);
        image->header = nullptr;
        return false;
    }
    image->bitmap = bitmap;
    image->pixels = static_cast<BYTE*>(bits);
    return true;
}

void ReleaseImagePixels(RImage* image) {
    ImageFree(image->header);
    if (image->bitmap) ImageDeleteObject(image->bitmap);
    image->header = nullptr;
    image->bitmap = nullptr;
    image->pixels = nullptr;
}

void ReleaseImage(RImage* image) {
    FreeFrameSource(image->frameSource);
    image->frameSource = nullptr;
    ReleaseImagePixels(image);
    ResetImage(image);
}

bool StretchToTrueColor(const RImage& image, int maxWidth, int maxHeight, RImage* result) {
    ResetImage(result);
    result->adjustment = nullptr;
    result->path[0] = 0;
    if (!image.header || !image.bitmap) return false;
    int width = image.header->biWidth;
    int height = image.header->biHeight;
    int newWidth = width;
    int newHeight = height;
    if (maxWidth > 0 && maxHeight > 0 && (width > maxWidth || height > maxHeight)) {
        float sx = static_cast<float>(maxWidth) / static_cast<float>(width);
        float sy = static_cast<float>(maxHeight) / static_cast<float>(height);
        float scale = sx < sy ? sx : sy;
        newWidth = static_cast<int>(static_cast<float>(width) * scale);
        newHeight = static_cast<int>(static_cast<float>(height) * scale);
        // A very long, thin picture keeps at least one pixel across.
        if (newWidth < 1) newWidth = 1;
        if (newHeight < 1) newHeight = 1;
    }
    if (!CreateImage(nullptr, result, 24, newWidth, newHeight, nullptr, 0)) return false;

    HDC target = CreateCompatibleDC(nullptr);
    HDC source = CreateCompatibleDC(nullptr);
    bool ok = false;
    if (target && source) {
        HGDIOBJ oldTarget = SelectObject(target, result->bitmap);
        HGDIOBJ oldSource = SelectObject(source, image.bitmap);
        if (oldTarget && oldSource) {
            ok = StretchBlt(target, 0, 0, newWidth, newHeight, source, 0, 0, width, height,
                            SRCCOPY) != FALSE;
        }
        if (oldTarget) SelectObject(target, oldTarget);
        if (oldSource) SelectObject(source, oldSource);
    }
    if (target) DeleteDC(target);
    if (source) DeleteDC(source);
    if (!ok) ReleaseImage(result);
    return ok;
}
