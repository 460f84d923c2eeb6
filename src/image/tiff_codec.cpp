// The TIFF adapter: client procedures on the file handle, directory reading
// and colour-model conversion, the page loader and the page-replacing writer.
#include "tiff_codec.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include <tiffio.h>

#include "image_memory.h"

namespace {

// ---- Client procedures (the client data is the program's file handle) -----

constexpr DWORD kMaxTransfer = 0x40000000;

tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    if (size <= 0) return 0;
    tmsize_t done = 0;
    while (done < size) {
        DWORD want = static_cast<DWORD>(size - done < kMaxTransfer ? size - done : kMaxTransfer);
        DWORD got = 0;
        if (!ReadFile(static_cast<HANDLE>(handle), static_cast<BYTE*>(buffer) + done, want, &got, nullptr)) {
            return done;
        }
        done += got;
        if (got < want) break;
    }
    return done;
}

tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
    if (size <= 0) return 0;
    tmsize_t done = 0;
    while (done < size) {
        DWORD want = static_cast<DWORD>(size - done < kMaxTransfer ? size - done : kMaxTransfer);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(handle), static_cast<BYTE*>(buffer) + done, want, &written, nullptr) ||
            written != want) {
            return 0;
        }
        done += written;
    }
    return done;
}

// whence 1: from the current position, 2: from the end, else from the start.
toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    DWORD method = whence == 1 ? FILE_CURRENT : whence == 2 ? FILE_END : FILE_BEGIN;
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    DWORD low = SetFilePointer(static_cast<HANDLE>(handle), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return static_cast<toff_t>(-1);
    return (static_cast<toff_t>(static_cast<DWORD>(high)) << 32) | low;
}

// The file handle belongs to its owner, who closes it.
int CloseProc(thandle_t) { return 0; }

toff_t SizeProc(thandle_t handle) {
    DWORD high = 0;
    DWORD low = GetFileSize(static_cast<HANDLE>(handle), &high);
    return (static_cast<toff_t>(high) << 32) | low;
}

// No memory mapping: libtiff reads through ReadProc.
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// ---- Messages ----------------------------------------------------------------

int HandleMessage(TIFF*, void* userData, const char* module, const char* format, va_list args) {
    if (userData) static_cast<TiffHandler*>(userData)->RecordMessage(module, format, args);
    return 1;  // handled: the process-wide handlers are not called
}

// Messages libtiff reports without a handle go to its process-wide handlers,
// which print to the standard error stream; only this adapter uses libtiff
// in the program, so they are silenced once.
void SilenceProcessHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

TIFF* OpenOn(HANDLE file, const char* mode, TiffHandler* owner) {
    SilenceProcessHandlers();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, HandleMessage, owner);
    TIFFOpenOptionsSetWarningHandlerExtR(options, HandleMessage, owner);
    TIFF* tiff = TIFFClientOpenExt("", mode, static_cast<thandle_t>(file), ReadProc, WriteProc, SeekProc,
                                   CloseProc, SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tiff;
}

// ---- Directory description -------------------------------------------------

// How a directory is turned into an image.
enum class Layout {
    Copy,  // source rows copied (grey, palette and everything else)
    Rgb,   // three samples: red, green, blue triples swapped to blue, green, red
    Cmyk,  // separated: four samples to blue, green, red
    Rgba,  // libtiff's RGBA reader (YCbCr, tiles, separate planes) into 24 bits
};

struct Directory {
    uint32_t width = 0;
    uint32_t length = 0;
    uint16_t samples = 1;
    uint16_t bits = 1;
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t planar = PLANARCONFIG_CONTIG;
    uint32_t rowsPerStrip = 0;
    float xResolution = 0;
    float yResolution = 0;
    bool tiled = false;
    int64_t stretch = 1;         // aspect factor m
    Layout layout = Layout::Copy;
    int imageSamples = 1;        // samples per image pixel
    int bitsPerPixel = 0;        // of the image
};

void Describe(TIFF* tiff, Directory* d) {
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &d->width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &d->length);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &d->samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &d->bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &d->rowsPerStrip);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &d->compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &d->planar);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &d->photometric)) {
        d->photometric = d->samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    }
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &d->xResolution);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &d->yResolution);
    d->tiled = TIFFIsTiled(tiff) != 0;
    if (d->rowsPerStrip == 0 || d->rowsPerStrip > d->length) d->rowsPerStrip = d->length;

    // Pixels wider than tall (fax resolutions such as 200 x 100) are
    // stretched vertically by the whole ratio.
    d->stretch = 1;
    if (d->xResolution > 0 && d->yResolution > 0 && d->xResolution > d->yResolution) {
        double ratio = static_cast<double>(d->xResolution) / d->yResolution;
        d->stretch = ratio >= 2147483647.0 ? 2147483647 : static_cast<int64_t>(ratio);
    }

    d->imageSamples = d->samples;
    d->layout = Layout::Copy;
    if (d->photometric == PHOTOMETRIC_SEPARATED) {
        d->imageSamples = 3;
        d->layout = Layout::Cmyk;
    } else if (d->samples == 3) {
        d->layout = Layout::Rgb;
    }
    // Models and storage the row copy cannot express are read through
    // libtiff's RGBA reader, which converts YCbCr correctly.
    const bool separatePlanes = d->planar == PLANARCONFIG_SEPARATE && d->samples > 1;
    if (d->photometric == PHOTOMETRIC_YCBCR ||
        (separatePlanes && d->bits == 8 &&
         (d->photometric == PHOTOMETRIC_RGB || d->photometric == PHOTOMETRIC_SEPARATED ||
          d->photometric == PHOTOMETRIC_MINISBLACK || d->photometric == PHOTOMETRIC_MINISWHITE ||
          d->photometric == PHOTOMETRIC_PALETTE))) {
        d->layout = Layout::Rgba;
        d->imageSamples = 3;
    }
    // Both factors come from the file and reach 65535 each: the product is
    // taken in 64 bits and held below what an int carries (no depth above
    // 32 bits is ever made, so such a file is refused further on).
    const int64_t bits = static_cast<int64_t>(d->imageSamples) * d->bits;
    d->bitsPerPixel = d->layout == Layout::Rgba ? 24 : static_cast<int>(std::min<int64_t>(bits, 0xFFFF));
}

// Decoded height of a directory (length x m), or -1 when it cannot be an image.
int64_t DecodedHeight(const Directory& d) {
    int64_t height = static_cast<int64_t>(d.length) * d.stretch;
    return height > kMaxImageSide ? -1 : height;
}

// Source row length L of the strip data.
uint64_t SourceRowBytes(const Directory& d) {
    return (static_cast<uint64_t>(d.bits) * d.samples * d.width + 7) / 8;
}

// Converts `count` source pixels into the image row `out`, starting at
// pixel `first` of the row; the row holds `rowBytes` bytes.
void ConvertPixels(const Directory& d, const BYTE* in, BYTE* out, uint32_t first, uint32_t count, size_t rowBytes) {
    switch (d.layout) {
        case Layout::Cmyk:
            // Plain CMYK (TIFF stores ink amounts, 0 for none).
            out += 3 * static_cast<size_t>(first);
            for (uint32_t x = 0; x < count; ++x, in += d.samples, out += 3) {
                unsigned k = 255u - in[3];
                out[0] = static_cast<BYTE>(((255u - in[2]) * k + 127) / 255);
                out[1] = static_cast<BYTE>(((255u - in[1]) * k + 127) / 255);
                out[2] = static_cast<BYTE>(((255u - in[0]) * k + 127) / 255);
            }
            break;
        case Layout::Rgb:
            out += 3 * static_cast<size_t>(first);
            for (uint32_t x = 0; x < count; ++x, in += 3, out += 3) {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
            break;
        default: {
            // Tiles start on byte boundaries (their widths are multiples of 16).
            const uint64_t bitsPerPixel = static_cast<uint64_t>(d.bits) * d.samples;
            const size_t start = static_cast<size_t>(first * bitsPerPixel / 8);
            if (start >= rowBytes) break;
            size_t n = static_cast<size_t>((count * bitsPerPixel + 7) / 8);
            if (n > rowBytes - start) n = rowBytes - start;
            std::memcpy(out + start, in, n);
            if (d.photometric == PHOTOMETRIC_MINISWHITE) {
                for (size_t j = start; j < start + n; ++j) out[j] = static_cast<BYTE>(~out[j]);
            }
            break;
        }
    }
}

}  // namespace

// ---- The handler -------------------------------------------------------------

TiffHandler::~TiffHandler() { Close(); }

void TiffHandler::RecordMessage(const char* module, const char* format, va_list args) {
    char text[sizeof libraryMessage_];
    std::vsnprintf(text, sizeof text, format, args);
    std::snprintf(libraryMessage_, sizeof libraryMessage_, "%.40s: %.200s", module ? module : "libtiff", text);
}

void TiffHandler::Close() {
    if (tiffOpen_ && tiff_) TIFFClose(tiff_);
    tiff_ = nullptr;
    tiffOpen_ = 0;
    currentPage_ = 0;
    pageCountCache_ = 0;
}

void TiffHandler::ReleaseHandlerImage() {
    FormatHandler::ReleaseHandlerImage();
    if (tiffOpen_) Close();
}

LoadError TiffHandler::Open(HANDLE file) {
    Close();
    // libtiff reads the header wherever the handle stands; its offsets
    // count from the start of the file.
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    tiff_ = OpenOn(file, "r", this);
    if (!tiff_) return kLoadCorrupt;
    tiffOpen_ = 1;
    return kLoadOk;
}

DWORD TiffHandler::PageCount() {
    if (!tiffOpen_) return 0;
    if (pageCountCache_ == 0) pageCountCache_ = TIFFNumberOfDirectories(tiff_);
    return pageCountCache_;
}

LoadError TiffHandler::SelectPage(int page) {
    if (!tiffOpen_) return kLoadNoFileOpen;
    // TIFFSetDirectory rewinds the chain to the header's first directory and
    // reads forward to the one asked for.
    if (page < 0 || !TIFFSetDirectory(tiff_, static_cast<tdir_t>(page))) return kLoadCorrupt;
    currentPage_ = page;
    return kLoadOk;
}

LoadError TiffHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    LoadError result = Open(file);
    if (result != kLoadOk) return result;
    result = ReadDirectory();
    if (result != kLoadOk) return result;
    image_.pageCount = PageCount();
    if (image_.pageCount < 1) image_.pageCount = 1;
    if (image_.pageCount > 1) image_.pageLoader = TiffPageLoader;
    return kLoadOk;
}

LoadError TiffHandler::ReadDirectory() {
    if (!tiffOpen_) return kLoadNoFileOpen;
    TIFF* tiff = tiff_;
    Directory d;
    Describe(tiff, &d);
    if (d.compression == COMPRESSION_LZW) {
        Close();
        return kLoadLzwTiff;
    }

    RGBQUAD colours[256];
    const RGBQUAD* table = nullptr;
    int colourCount = 0;
    const int entries = d.bits < 9 ? 1 << d.bits : 0;
    switch (d.photometric) {
        case PHOTOMETRIC_MINISWHITE:
        case PHOTOMETRIC_MINISBLACK:
            if (entries >= 2 && d.layout != Layout::Rgba) {
                const int step = 255 / (entries - 1);
                for (int i = 0; i < entries; ++i) {
                    BYTE v = static_cast<BYTE>(i * step);
                    colours[i] = {v, v, v, 0};
                }
                table = colours;
                colourCount = entries;
            }
            break;
        case PHOTOMETRIC_PALETTE: {
            uint16_t* red = nullptr;
            uint16_t* green = nullptr;
            uint16_t* blue = nullptr;
            if (entries > 0 && d.layout != Layout::Rgba && TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) {
                // Most writers store 16-bit values; a few old ones stored
                // bytes, which show as a map without any value above 255.
                bool wide = false;
                for (int i = 0; i < entries; ++i) wide = wide || red[i] > 255 || green[i] > 255 || blue[i] > 255;
                for (int i = 0; i < entries; ++i) {
                    if (wide) {
                        colours[i] = {static_cast<BYTE>(blue[i] * 255u / 65535u), static_cast<BYTE>(green[i] * 255u / 65535u),
                                      static_cast<BYTE>(red[i] * 255u / 65535u), 0};
                    } else {
                        colours[i] = {static_cast<BYTE>(blue[i]), static_cast<BYTE>(green[i]),
                                      static_cast<BYTE>(red[i]), 0};
                    }
                }
                table = colours;
                colourCount = entries;
            }
            break;
        }
        case PHOTOMETRIC_MASK:
        case PHOTOMETRIC_LOGL:
        case PHOTOMETRIC_LOGLUV:
            return kLoadUnsupportedCompression;
        default:
            break;
    }
    if (d.layout == Layout::Cmyk && (d.samples < 4 || d.bits != 8)) return kLoadUnsupportedVersion;

    const int64_t height = DecodedHeight(d);
    if (d.width == 0 || d.length == 0) return kLoadCorrupt;
    // The release inside CreatePlain must not close the file.
    tiffOpen_ = 0;
    bool created = height > 0 && d.width <= static_cast<uint32_t>(kMaxImageSide) &&
                   CreatePlain(static_cast<int>(d.width), static_cast<int>(height), d.bitsPerPixel, table, colourCount);
    tiffOpen_ = 1;
    if (!created) {
        Close();
        return static_cast<int64_t>(d.samples) * d.bits >= 25 ? kLoadUnsupportedVersion : kLoadOutOfMemory;
    }
    if (d.stretch > 1) {
        image_.header->biXPelsPerMeter = static_cast<LONG>(d.xResolution);
        image_.header->biYPelsPerMeter = static_cast<LONG>(d.yResolution);
    }

    const int length = static_cast<int>(d.length);
    const int width = static_cast<int>(d.width);
    const size_t destinationRow = static_cast<size_t>(RowStride(image_));
    LoadError result = kLoadOk;
    if (d.layout == Layout::Rgba) {
        char message[1024];
        TIFFRGBAImage reader;
        if (!TIFFRGBAImageOK(tiff, message) || !TIFFRGBAImageBegin(&reader, tiff, 0, message)) {
            ReleaseHandlerImage();
            return kLoadUnsupportedCompression;
        }
        reader.req_orientation = ORIENTATION_TOPLEFT;
        // Bands of whole strips, so that no strip is decoded twice; tiled
        // files in one band.
        uint32_t band = d.tiled ? d.length : d.rowsPerStrip;
        if (static_cast<uint64_t>(band) * d.width > (uint64_t(1) << 26)) {
            band = static_cast<uint32_t>((uint64_t(1) << 26) / d.width);
            if (!d.tiled && band > d.rowsPerStrip) band -= band % d.rowsPerStrip;
            if (band == 0) band = 1;
        }
        auto* raster = static_cast<uint32_t*>(ImageAllocate(sizeof(uint32_t) * d.width * band));
        if (!raster) {
            result = kLoadOutOfMemory;
        } else {
            for (uint32_t row = 0; row < d.length; row += band) {
                uint32_t rows = d.length - row < band ? d.length - row : band;
                reader.row_offset = static_cast<int>(row);
                reader.col_offset = 0;
                if (!TIFFRGBAImageGet(&reader, raster, d.width, rows)) {
                    result = kLoadCorrupt;
                    break;
                }
                for (uint32_t i = 0; i < rows; ++i) {
                    BYTE* out = RowAddress(image_, length - 1 - static_cast<int>(row + i));
                    const uint32_t* in = raster + static_cast<size_t>(i) * d.width;
                    for (int x = 0; x < width; ++x, out += 3) {
                        out[0] = static_cast<BYTE>(TIFFGetB(in[x]));
                        out[1] = static_cast<BYTE>(TIFFGetG(in[x]));
                        out[2] = static_cast<BYTE>(TIFFGetR(in[x]));
                    }
                }
            }
            ImageFree(raster);
        }
        TIFFRGBAImageEnd(&reader);
    } else if (d.tiled) {
        // Tiles, converted row by row into their place in the picture.
        uint32_t tileWidth = 0;
        uint32_t tileLength = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileLength);
        const tmsize_t tileSize = TIFFTileSize(tiff);
        const tmsize_t tileRow = TIFFTileRowSize(tiff);
        BYTE* tile = tileSize > 0 && tileRow > 0 && tileWidth > 0 && tileLength > 0
                         ? static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(tileSize)))
                         : nullptr;
        if (!tile) {
            result = tileSize > 0 ? kLoadOutOfMemory : kLoadCorrupt;
        } else {
            for (uint32_t y = 0; y < d.length && result == kLoadOk; y += tileLength) {
                for (uint32_t x = 0; x < d.width; x += tileWidth) {
                    const tmsize_t got = TIFFReadEncodedTile(tiff, TIFFComputeTile(tiff, x, y, 0, 0), tile,
                                                             static_cast<tmsize_t>(-1));
                    if (got < 0) {
                        result = kLoadCorrupt;
                        break;
                    }
                    const uint32_t rows = std::min<uint32_t>(tileLength, d.length - y);
                    const uint32_t columns = std::min<uint32_t>(tileWidth, d.width - x);
                    const uint32_t usable = std::min<uint64_t>(rows, static_cast<uint64_t>(got / tileRow));
                    for (uint32_t i = 0; i < usable; ++i) {
                        ConvertPixels(d, tile + i * tileRow, RowAddress(image_, length - 1 - static_cast<int>(y + i)),
                                      x, columns, destinationRow);
                    }
                }
            }
            ImageFree(tile);
        }
    } else {
        const tmsize_t stripSize = TIFFStripSize(tiff);
        const uint64_t sourceRow = SourceRowBytes(d);
        BYTE* strip = stripSize > 0 ? static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(stripSize))) : nullptr;
        if (!strip) {
            result = stripSize > 0 ? kLoadOutOfMemory : kLoadCorrupt;
        } else {
            for (uint32_t row = 0; row < d.length;) {
                const uint32_t rows = d.length - row < d.rowsPerStrip ? d.length - row : d.rowsPerStrip;
                const tstrip_t index = TIFFComputeStrip(tiff, row, 0);
                const tmsize_t got = TIFFReadEncodedStrip(tiff, index, strip, static_cast<tmsize_t>(-1));
                if (got < 0) {
                    result = kLoadCorrupt;
                    break;
                }
                // Only rows the strip really delivered are converted.
                uint64_t available = static_cast<uint64_t>(got) / sourceRow;
                const uint32_t usable = available < rows ? static_cast<uint32_t>(available) : rows;
                for (uint32_t i = 0; i < usable; ++i) {
                    ConvertPixels(d, strip + i * sourceRow, RowAddress(image_, length - 1 - static_cast<int>(row + i)),
                                  0, d.width, destinationRow);
                }
                row += rows;
            }
            ImageFree(strip);
        }
    }

    if (result == kLoadOk && d.stretch > 1) {
        const int m = static_cast<int>(d.stretch);
        for (int k = length - 1; k >= 0; --k) {
            const BYTE* source = RowAddress(image_, k);
            for (int j = m - 1; j >= 0; --j) {
                BYTE* target = RowAddress(image_, k * m + j);
                if (target != source) std::memcpy(target, source, destinationRow);
            }
        }
    }
    if (result == kLoadOk && !AbortFlagSet() && ReducedLoadRequested()) ShrinkAfterDecode();
    return result;
}

LoadError TiffPageLoader(HANDLE file, RImage* image, int index) {
    TiffHandler* reader = new (std::nothrow) TiffHandler;
    if (!reader) return kLoadOutOfMemory;
    // The page gets the palette treatment of the first one.
    reader->Image().adjustment = image->adjustment;
    LoadError result = reader->Open(file);
    if (result == kLoadOk && (index < 0 || static_cast<DWORD>(index) >= reader->PageCount())) {
        result = kLoadIndexOutOfRange;
    }
    if (result == kLoadOk) result = reader->SelectPage(index);
    if (result == kLoadOk) result = reader->ReadDirectory();
    if (result == kLoadOk) {
        RImage& page = reader->Image();
        ReleaseImagePixels(image);
        image->header = page.header;
        image->bitmap = page.bitmap;
        image->pixels = page.pixels;
        page.header = nullptr;
        page.bitmap = nullptr;
        page.pixels = nullptr;
    }
    reader->Image().adjustment = nullptr;
    delete reader;
    return result;
}

// ---- Writing -------------------------------------------------------------------

namespace {

template <typename T>
void CopyScalar(TIFF* in, TIFF* out, uint32_t tag) {
    T value;
    if (TIFFGetField(in, tag, &value)) TIFFSetField(out, tag, value);
}

void CopyText(TIFF* in, TIFF* out, uint32_t tag) {
    const char* text = nullptr;
    if (TIFFGetField(in, tag, &text) && text) TIFFSetField(out, tag, text);
}

void CopyPair(TIFF* in, TIFF* out, uint32_t tag) {
    uint16_t a = 0;
    uint16_t b = 0;
    if (TIFFGetField(in, tag, &a, &b)) TIFFSetField(out, tag, a, b);
}

// The tags that describe a page rather than its storage.
void CopyDescription(TIFF* in, TIFF* out, const Directory& d, bool keepModel) {
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, d.width);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, d.length);
    CopyScalar<uint32_t>(in, out, TIFFTAG_SUBFILETYPE);
    CopyScalar<uint16_t>(in, out, TIFFTAG_ORIENTATION);
    CopyScalar<uint16_t>(in, out, TIFFTAG_RESOLUTIONUNIT);
    CopyScalar<float>(in, out, TIFFTAG_XRESOLUTION);
    CopyScalar<float>(in, out, TIFFTAG_YRESOLUTION);
    CopyScalar<float>(in, out, TIFFTAG_XPOSITION);
    CopyScalar<float>(in, out, TIFFTAG_YPOSITION);
    for (uint32_t tag : {TIFFTAG_DOCUMENTNAME, TIFFTAG_IMAGEDESCRIPTION, TIFFTAG_MAKE, TIFFTAG_MODEL,
                         TIFFTAG_SOFTWARE, TIFFTAG_DATETIME, TIFFTAG_ARTIST, TIFFTAG_HOSTCOMPUTER,
                         TIFFTAG_PAGENAME}) {
        CopyText(in, out, tag);
    }
    CopyPair(in, out, TIFFTAG_PAGENUMBER);
    if (!keepModel) return;
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, d.bits);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, d.samples);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, d.photometric);
    CopyScalar<uint16_t>(in, out, TIFFTAG_SAMPLEFORMAT);
    CopyScalar<uint16_t>(in, out, TIFFTAG_INKSET);
    uint16_t count = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(in, TIFFTAG_EXTRASAMPLES, &count, &extra)) TIFFSetField(out, TIFFTAG_EXTRASAMPLES, count, extra);
    uint16_t* red = nullptr;
    uint16_t* green = nullptr;
    uint16_t* blue = nullptr;
    if (d.photometric == PHOTOMETRIC_PALETTE && TIFFGetField(in, TIFFTAG_COLORMAP, &red, &green, &blue)) {
        TIFFSetField(out, TIFFTAG_COLORMAP, red, green, blue);
    }
}

// An unchanged page: its tags and its compressed strips or tiles as they are.
bool CopyPageRaw(TIFF* in, TIFF* out, const Directory& d, uint64_t fileSize) {
    if (d.compression == COMPRESSION_OJPEG) return false;  // its tables cannot be carried over
    CopyDescription(in, out, d, true);
    TIFFSetField(out, TIFFTAG_COMPRESSION, d.compression);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, d.planar);
    CopyScalar<uint16_t>(in, out, TIFFTAG_FILLORDER);
    CopyScalar<uint16_t>(in, out, TIFFTAG_PREDICTOR);
    CopyScalar<uint32_t>(in, out, TIFFTAG_GROUP3OPTIONS);
    CopyScalar<uint32_t>(in, out, TIFFTAG_GROUP4OPTIONS);
    CopyScalar<uint16_t>(in, out, TIFFTAG_YCBCRPOSITIONING);
    CopyPair(in, out, TIFFTAG_YCBCRSUBSAMPLING);
    float* values = nullptr;
    if (TIFFGetField(in, TIFFTAG_YCBCRCOEFFICIENTS, &values)) TIFFSetField(out, TIFFTAG_YCBCRCOEFFICIENTS, values);
    if (TIFFGetField(in, TIFFTAG_REFERENCEBLACKWHITE, &values)) TIFFSetField(out, TIFFTAG_REFERENCEBLACKWHITE, values);
    uint32_t tableSize = 0;
    void* tables = nullptr;
    if (TIFFGetField(in, TIFFTAG_JPEGTABLES, &tableSize, &tables)) TIFFSetField(out, TIFFTAG_JPEGTABLES, tableSize, tables);
    if (d.tiled) {
        CopyScalar<uint32_t>(in, out, TIFFTAG_TILEWIDTH);
        CopyScalar<uint32_t>(in, out, TIFFTAG_TILELENGTH);
    } else {
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, d.rowsPerStrip);
    }

    uint64_t* counts = nullptr;
    if (!TIFFGetField(in, d.tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts) return false;
    const uint32_t pieces = d.tiled ? TIFFNumberOfTiles(in) : TIFFNumberOfStrips(in);
    uint64_t largest = 0;
    for (uint32_t i = 0; i < pieces; ++i) largest = counts[i] > largest ? counts[i] : largest;
    if (largest > fileSize) return false;  // a count the file cannot hold
    BYTE* buffer = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(largest)));
    if (!buffer) return false;
    bool ok = true;
    for (uint32_t i = 0; i < pieces && ok; ++i) {
        tmsize_t size = static_cast<tmsize_t>(counts[i]);
        tmsize_t got = d.tiled ? TIFFReadRawTile(in, i, buffer, size) : TIFFReadRawStrip(in, i, buffer, size);
        ok = got >= 0 && (d.tiled ? TIFFWriteRawTile(out, i, buffer, got) : TIFFWriteRawStrip(out, i, buffer, got)) >= 0;
    }
    ImageFree(buffer);
    return ok;
}

// The replaced page, uncompressed, its rows converted back from the image
// the way they were read.
bool WriteReplacedPage(TIFF* in, TIFF* out, const Directory& d, const RImage& image) {
    const bool rgba = d.layout == Layout::Rgba;
    Directory written = d;
    if (rgba) {
        written.bits = 8;
        written.samples = 3;
        written.photometric = PHOTOMETRIC_RGB;
    } else if (d.layout == Layout::Cmyk) {
        written.samples = 4;
    }
    CopyDescription(in, out, written, !rgba && d.layout != Layout::Cmyk);
    if (rgba || d.layout == Layout::Cmyk) {
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, written.samples);
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, written.photometric);
    }
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const uint64_t rowBytes = SourceRowBytes(written);
    const uint32_t rowsPerStrip = rowBytes >= 65536 ? 1 : static_cast<uint32_t>(65536 / rowBytes);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);

    BYTE* row = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(rowBytes)));
    if (!row) return false;
    const int m = static_cast<int>(d.stretch);
    const size_t stride = static_cast<size_t>(RowStride(image));
    bool ok = true;
    for (uint32_t y = 0; y < d.length && ok; ++y) {
        const BYTE* source = RowAddress(image, (static_cast<int>(d.length) - 1 - static_cast<int>(y)) * m);
        switch (d.layout) {
            case Layout::Rgba:
            case Layout::Rgb:
                for (uint32_t x = 0; x < d.width; ++x) {
                    row[3 * x] = source[3 * x + 2];
                    row[3 * x + 1] = source[3 * x + 1];
                    row[3 * x + 2] = source[3 * x];
                }
                break;
            case Layout::Cmyk:
                for (uint32_t x = 0; x < d.width; ++x) {
                    row[4 * x] = static_cast<BYTE>(255 - source[3 * x + 2]);
                    row[4 * x + 1] = static_cast<BYTE>(255 - source[3 * x + 1]);
                    row[4 * x + 2] = static_cast<BYTE>(255 - source[3 * x]);
                    row[4 * x + 3] = 0;
                }
                break;
            case Layout::Copy: {
                const size_t n = rowBytes < stride ? static_cast<size_t>(rowBytes) : stride;
                std::memcpy(row, source, n);
                if (d.photometric == PHOTOMETRIC_MINISWHITE) {
                    for (size_t j = 0; j < n; ++j) row[j] = static_cast<BYTE>(~row[j]);
                }
                break;
            }
        }
        ok = TIFFWriteScanline(out, row, y, 0) >= 0;
    }
    ImageFree(row);
    return ok;
}

}  // namespace

LoadError TiffHandler::Save(HANDLE file, const RImage& image) { return SavePage(file, image, currentPage_); }

LoadError TiffHandler::SavePage(HANDLE target, const RImage& image, int page) {
    if (!tiffOpen_) return kLoadNoFileOpen;
    if (!image.header || !image.pixels) return kLoadCorrupt;
    const DWORD pages = PageCount();
    if (page < 0 || static_cast<DWORD>(page) >= pages) return kLoadCorrupt;
    const uint64_t fileSize = SizeProc(TIFFClientdata(tiff_));
    const int restore = currentPage_;

    TIFF* out = OpenOn(target, "w", this);
    if (!out) return kLoadCorrupt;
    bool ok = true;
    for (DWORD i = 0; i < pages && ok; ++i) {
        if (!TIFFSetDirectory(tiff_, static_cast<tdir_t>(i))) {
            ok = false;
            break;
        }
        Directory d;
        Describe(tiff_, &d);
        if (static_cast<int>(i) == page) {
            // The image must be exactly what this page decodes to.
            const int64_t height = DecodedHeight(d);
            ok = height > 0 && image.header->biWidth == static_cast<LONG>(d.width) &&
                 image.header->biHeight == height &&
                 static_cast<int64_t>(image.header->biSizeImage) ==
                     DibImageSize(d.width, height, d.bitsPerPixel) &&
                 image.header->biBitCount == d.bitsPerPixel && WriteReplacedPage(tiff_, out, d, image);
        } else {
            ok = CopyPageRaw(tiff_, out, d, fileSize);
        }
        ok = ok && TIFFWriteDirectory(out);
    }
    TIFFClose(out);
    if (TIFFSetDirectory(tiff_, static_cast<tdir_t>(restore))) currentPage_ = restore;
    return ok ? kLoadOk : kLoadCorrupt;
}
