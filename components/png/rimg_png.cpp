// RImgPng.dll: reads PNG files into an RImage through libpng. Palette images
// (any bit depth) become 8-bit indexed images, grey ones 8-bit images with the
// grey ramp, colour ones 24-bit; 16-bit samples are cut to 8 bits and
// transparency is composited onto white. Image memory comes from the
// allocation hooks registered through RRegAllocFunc (the platform's own when
// none are registered). A load polls the abort flag once per row.
#include <png.h>

#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "rimg_plugin.h"

namespace {

ImageAllocateFn gAllocate = nullptr;
ImageFreeFn gFree = nullptr;
ImageCreateDibFn gCreateDib = nullptr;
ImageDeleteObjectFn gDeleteObject = nullptr;
DWORD gValue = 0;
std::atomic<bool> gAbort{false};

// The largest side and pixel memory the plug-in decodes.
constexpr png_uint_32 kMaxSide = 1u << 20;
constexpr size_t kMaxBytes = 0x7FFFFFFF;

const FormatEntry kFormats[] = {
    {u"Portable Network Graphics", u"png", u"png\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

void* Allocate(size_t size) {
    void* memory = gAllocate ? gAllocate(size) : LocalAlloc(LPTR, size);
    if (memory) std::memset(memory, 0, size);
    return memory;
}

void Free(void* memory) {
    if (!memory) return;
    if (gFree) {
        gFree(memory);
    } else {
        LocalFree(memory);
    }
}

// Without hooks of the host's, a picture must fit in the physical memory
// available now (the platform commits what it is asked for, so a forged
// size would otherwise be found out only when the system runs dry).
constexpr size_t kMemoryCheckBytes = 16u << 20;

bool FitsInMemory(size_t bytes) {
    if (gCreateDib || bytes < kMemoryCheckBytes) return true;
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return bytes <= status.dwAvailPhys;
}

HBITMAP CreateDib(const BITMAPINFO* info, void** pixels) {
    if (!FitsInMemory(info->bmiHeader.biSizeImage)) return nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    if (!memory) return nullptr;
    HBITMAP bitmap = gCreateDib ? gCreateDib(memory, info, pixels)
                                : CreateDIBSection(memory, info, DIB_RGB_COLORS, pixels, nullptr, 0);
    DeleteDC(memory);
    return bitmap;
}

void DeleteBitmap(HBITMAP bitmap) {
    if (!bitmap) return;
    if (gDeleteObject) {
        gDeleteObject(bitmap);
    } else {
        DeleteObject(bitmap);
    }
}

// What a load has to undo when libpng jumps back.
struct LoadState {
    HANDLE file;
    BITMAPINFOHEADER* header;
    HBITMAP bitmap;
    BYTE* samples;  // rows with alpha, before compositing
    LoadError error;  // the code a jump back reports
    size_t blockLimit;  // the largest block libpng may allocate
};

// libpng's own memory (chunk data, row buffers, tables): one block may not
// exceed the file's size or kLibraryBlockBytes, whichever is larger, so that
// a chunk length the file cannot hold is refused (libpng then skips an
// ancillary chunk and fails on a critical one) instead of allocated.
constexpr size_t kLibraryBlockBytes = 32u << 20;

png_voidp LibraryAllocate(png_structp png, png_alloc_size_t size) {
    const size_t limit = *static_cast<const size_t*>(png_get_mem_ptr(png));
    return size <= limit ? std::malloc(size) : nullptr;
}

void LibraryFree(png_structp, png_voidp memory) { std::free(memory); }

void ReadData(png_structp png, png_bytep data, size_t length) {
    auto* state = static_cast<LoadState*>(png_get_io_ptr(png));
    DWORD got = 0;
    if (!ReadFile(state->file, data, static_cast<DWORD>(length), &got, nullptr)) {
        state->error = kLoadReadError;
        png_error(png, "read failed");
    }
    if (got != length) png_error(png, "file cut short");
}

void OnError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReleaseState(LoadState* state) {
    Free(state->samples);
    Free(state->header);
    DeleteBitmap(state->bitmap);
    state->samples = nullptr;
    state->header = nullptr;
    state->bitmap = nullptr;
}

void AppendText(WCHAR* text, LPCWSTR more) {
    int length = lstrlenW(text);
    lstrcpynW(text + length, more, 64 - length);
}

}  // namespace

RIMG_EXPORT DWORD RGetVersion() { return kPluginVersion; }

RIMG_EXPORT const FormatEntry* RGetSupportedFormats() { return kFormats; }

RIMG_EXPORT void RAbortLoading() { gAbort.store(true); }

RIMG_EXPORT void RRegAllocFunc(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                               ImageCreateDibFn createDibSection,
                               ImageDeleteObjectFn deleteObject) {
    gAllocate = allocate;
    gValue = value;
    gFree = free;
    gCreateDib = createDibSection;
    gDeleteObject = deleteObject;
}

RIMG_EXPORT void RDeleteImage(ImageFile* imageFile, ImageProvider*) {
    RImage& image = imageFile->image;
    Free(image.header);
    DeleteBitmap(image.bitmap);
    image.header = nullptr;
    image.bitmap = nullptr;
    image.pixels = nullptr;
}

namespace {

// The part of a load that libpng may leave by jumping back to RLoadImage;
// everything it allocates is recorded in `state` first.
LoadError Decode(png_structp png, png_infop info, LoadState* state, RImage* image) {
    png_set_read_fn(png, state, ReadData);
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    int depth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    int interlace = png_get_interlace_type(png, info);

    bool indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    if (depth == 16) png_set_strip_16(png);
    if (indexed || grey) {
        if (depth < 8) {
            if (indexed) {
                png_set_packing(png);
            } else {
                png_set_expand_gray_1_2_4_to_8(png);
            }
        }
    } else {
        png_set_bgr(png);
    }
    // Alpha is composited onto white by hand below, in plain 8-bit arithmetic
    // (libpng would blend in linear light when the file states a gamma).
    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0;
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    int bitsPerPixel = (indexed || grey) ? 8 : 24;
    size_t stride = ((static_cast<size_t>(bitsPerPixel) * width + 31) / 32) * 4;
    if (width == 0 || height == 0 || stride * height >= kMaxBytes ||
        png_get_rowbytes(png, info) >
            (alpha ? static_cast<size_t>(width) * (bitsPerPixel / 8 + 1) : stride)) {
        png_error(png, "unsupported size");
    }

    int entries = bitsPerPixel == 8 ? 256 : 0;
    state->header = static_cast<BITMAPINFOHEADER*>(
        Allocate(sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * entries));
    if (!state->header) {
        state->error = kLoadOutOfMemory;
        png_error(png, "no memory");
    }
    BITMAPINFOHEADER* header = state->header;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(width);
    header->biHeight = static_cast<LONG>(height);
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bitsPerPixel);
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(stride * height);
    header->biClrUsed = static_cast<DWORD>(entries);
    RGBQUAD* table = reinterpret_cast<RGBQUAD*>(header + 1);
    if (indexed) {
        png_colorp palette = nullptr;
        int count = 0;
        png_get_PLTE(png, info, &palette, &count);
        png_bytep alpha = nullptr;
        int alphaCount = 0;
        png_get_tRNS(png, info, &alpha, &alphaCount, nullptr);
        for (int i = 0; i < count && i < 256; ++i) {
            int a = i < alphaCount ? alpha[i] : 255;
            // Transparent entries are shown over white.
            auto over = [a](int c) { return static_cast<BYTE>((c * a + 255 * (255 - a)) / 255); };
            table[i] = {over(palette[i].blue), over(palette[i].green), over(palette[i].red), 0};
        }
    } else if (grey) {
        for (int i = 0; i < 256; ++i) {
            BYTE v = static_cast<BYTE>(i);
            table[i] = {v, v, v, 0};
        }
    }

    void* bits = nullptr;
    state->bitmap = CreateDib(reinterpret_cast<const BITMAPINFO*>(header), &bits);
    if (!state->bitmap || !bits) {
        state->error = kLoadOutOfMemory;
        png_error(png, "no memory");
    }
    BYTE* pixels = static_cast<BYTE*>(bits);
    // With alpha the rows are read as grey-alpha or blue, green, red, alpha
    // samples first and composited into the image: one row at a time, or the
    // whole picture when the file is interlaced (every pass adds to every
    // row). Without alpha they land in the image directly. PNG rows run
    // top-down, the image's bottom-up.
    const int channels = bitsPerPixel / 8;
    const size_t alphaStride = static_cast<size_t>(width) * (channels + 1);
    const bool wholePicture = passes > 1;
    if (alpha) {
        state->samples = static_cast<BYTE*>(Allocate(alphaStride * (wholePicture ? height : 1)));
        if (!state->samples) {
            state->error = kLoadOutOfMemory;
            png_error(png, "no memory");
        }
    }
    auto sampleRow = [&](png_uint_32 y) { return state->samples + (wholePicture ? y * alphaStride : 0); };
    auto composite = [&](png_uint_32 y) {
        const BYTE* in = sampleRow(y);
        BYTE* out = pixels + (height - 1 - y) * stride;
        for (png_uint_32 x = 0; x < width; ++x) {
            int a = in[channels];
            for (int c = 0; c < channels; ++c) {
                *out++ = static_cast<BYTE>((in[c] * a + 255 * (255 - a) + 127) / 255);
            }
            in += channels + 1;
        }
    };
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            if (gAbort.load()) {
                state->error = kLoadAborted;
                png_error(png, "aborted");
            }
            png_read_row(png, alpha ? sampleRow(y) : pixels + (height - 1 - y) * stride, nullptr);
            if (alpha && !wholePicture) composite(y);
        }
    }
    if (alpha && wholePicture) {
        for (png_uint_32 y = 0; y < height; ++y) composite(y);
    }
    Free(state->samples);
    state->samples = nullptr;

    image->header = state->header;
    image->bitmap = state->bitmap;
    image->pixels = pixels;
    image->pageCount = 1;
    state->header = nullptr;
    state->bitmap = nullptr;
    lstrcpyW(image->formatText, u"PNG ");
    AppendText(image->formatText, indexed ? u"palette" : grey ? u"greyscale" : u"colour");
    if (alpha) AppendText(image->formatText, u" with alpha");
    if (interlace != PNG_INTERLACE_NONE) AppendText(image->formatText, u", interlaced");
    return kLoadOk;
}

}  // namespace

RIMG_EXPORT LoadError RLoadImage(HANDLE file, RImage* image, DWORD, DWORD) {
    gAbort.store(false);
    png_byte signature[8];
    DWORD got = 0;
    if (!ReadFile(file, signature, sizeof signature, &got, nullptr)) return kLoadReadError;
    if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return kLoadCorrupt;
    }
    // Kept outside this frame so that nothing here changes after setjmp.
    LoadState* volatile state = static_cast<LoadState*>(Allocate(sizeof(LoadState)));
    if (!state) return kLoadOutOfMemory;
    state->file = file;
    state->error = kLoadCorrupt;
    DWORD sizeHigh = 0;
    const DWORD sizeLow = GetFileSize(file, &sizeHigh);
    const uint64_t fileSize = sizeLow == INVALID_FILE_SIZE ? 0 : (uint64_t{sizeHigh} << 32) | sizeLow;
    state->blockLimit = fileSize > kLibraryBlockBytes && fileSize < SIZE_MAX ? static_cast<size_t>(fileSize)
                                                                              : kLibraryBlockBytes;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning,
                                               &state->blockLimit, LibraryAllocate, LibraryFree);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        Free(state);
        return kLoadOutOfMemory;
    }
    LoadError result;
    if (setjmp(png_jmpbuf(png))) {
        ReleaseState(state);
        result = state->error;
    } else {
        result = Decode(png, info, state, image);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    Free(state);
    return result;
}
