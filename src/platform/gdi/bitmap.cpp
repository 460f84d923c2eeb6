// Bitmaps: device-dependent bitmaps (the display's format, or monochrome),
// DIB sections of 1, 2, 4, 8, 16, 24 and 32 bits with their colour tables or
// channel masks, and the calls that take DIB bits from the caller.
#include <cstdlib>
#include <cstring>

#include "gdi/paint.h"

namespace gdi {

namespace {

// Sizes GDI accepts: enough for any picture the system shows, small enough
// that a row index times the stride fits in the arithmetic below.
constexpr int64_t kMaxSide = 1 << 20;
constexpr uint64_t kMaxImageBytes = 0x7FFFFFFFu;

uint64_t DibStride(int64_t width, int bpp) {
    return static_cast<uint64_t>((width * bpp + 31) / 32) * 4;
}

Format FormatForBits(int bpp) {
    switch (bpp) {
        case 1:
            return Format::Index1;
        case 2:
            return Format::Index2;
        case 4:
            return Format::Index4;
        case 8:
            return Format::Index8;
        case 16:
            return Format::Rgb565;
        case 24:
            return Format::Bgr24;
        default:
            return Format::Bgrx32;
    }
}

// Rounds a requested depth to one a bitmap can have.
int RoundBits(UINT bpp) {
    if (bpp <= 1) return 1;
    if (bpp <= 2) return 2;
    if (bpp <= 4) return 4;
    if (bpp <= 8) return 8;
    if (bpp <= 16) return 16;
    if (bpp <= 24) return 24;
    return 32;
}

bool SameMasks(const DWORD m[3], DWORD r, DWORD g, DWORD b) {
    return m[0] == r && m[1] == g && m[2] == b;
}

}  // namespace

Bitmap::~Bitmap() {
    std::free(memory);
}

std::shared_ptr<Bitmap> NewBitmap(int width, int height, Format format, bool topDown,
                                  std::vector<Rgb> colors, const Fields* fields) {
    int bpp = BitsOf(format);
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    uint64_t stride = DibStride(width, bpp);
    if (stride > kMaxImageBytes / static_cast<uint64_t>(height)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    size_t bytes = static_cast<size_t>(stride * static_cast<uint64_t>(height));
    auto b = std::make_shared<Bitmap>();
    b->memory = static_cast<uint8_t*>(std::calloc(bytes, 1));
    if (!b->memory) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    b->memoryBytes = bytes;
    b->bitsPerPixel = bpp;
    b->widthBytes = static_cast<int>(stride);
    Surface& s = b->surface;
    s.width = width;
    s.height = height;
    s.format = format;
    s.stride = topDown ? static_cast<ptrdiff_t>(stride) : -static_cast<ptrdiff_t>(stride);
    s.bits = topDown ? b->memory : b->memory + stride * static_cast<uint64_t>(height - 1);
    if (IsIndexed(format)) {
        size_t entries = size_t{1} << bpp;
        if (colors.empty()) colors = DefaultColors(bpp);
        colors.resize(entries, 0);
        b->palette = std::make_unique<Palette>(std::move(colors));
        s.palette = b->palette.get();
    }
    if (fields) s.fields = *fields;
    return b;
}

std::shared_ptr<Bitmap> NewDdb(int width, int height, int bitsPerPixel) {
    int bpp = RoundBits(static_cast<UINT>(bitsPerPixel));
    Format format = FormatForBits(bpp);
    std::shared_ptr<Bitmap> b = NewBitmap(width, height, format, true, {}, nullptr);
    if (!b) return nullptr;
    b->widthBytes = ((width * bpp + 15) / 16) * 2;
    b->surface.monoDdb = bpp == 1;
    return b;
}

std::shared_ptr<Bitmap> CopyBitmap(const Bitmap& source) {
    const Surface& src = source.surface;
    std::vector<Rgb> colors;
    if (src.palette) colors = src.palette->Colors();
    std::shared_ptr<Bitmap> b =
        NewBitmap(src.width, src.height, src.format, true, colors, &src.fields);
    if (!b) return nullptr;
    b->surface.monoDdb = src.monoDdb;
    b->widthBytes = ((src.width * BitsOf(src.format) + 15) / 16) * 2;
    size_t rowBytes =
        (static_cast<size_t>(src.width) * static_cast<size_t>(BitsOf(src.format)) + 7) / 8;
    for (int y = 0; y < src.height; ++y) std::memcpy(b->surface.Row(y), src.Row(y), rowBytes);
    return b;
}

bool DescribeDib(const BITMAPINFO* info, UINT usage, DibDescription* out) {
    DibDescription d;
    if (!info || usage > DIB_PAL_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const BYTE* base = reinterpret_cast<const BYTE*>(info);
    DWORD headerSize = info->bmiHeader.biSize;
    const BYTE* colorData = base + headerSize;
    bool core = headerSize == 12;
    BITMAPINFOHEADER h{};
    if (core) {
        // The old OS/2 header: 16-bit sizes and three-byte colour entries.
        WORD v[4];
        std::memcpy(v, base + 4, sizeof(v));
        h.biWidth = v[0];
        h.biHeight = v[1];
        h.biPlanes = v[2];
        h.biBitCount = v[3];
        h.biCompression = BI_RGB;
    } else if (headerSize >= sizeof(BITMAPINFOHEADER)) {
        std::memcpy(&h, base, sizeof(h));
    } else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int bpp = h.biBitCount;
    bool bppOk =
        bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    bool compressionOk =
        h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32));
    if (h.biWidth <= 0 || h.biHeight == 0 || h.biPlanes == 0 || !bppOk || !compressionOk ||
        h.biWidth > kMaxSide || h.biHeight > kMaxSide || h.biHeight < -kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    d.width = h.biWidth;
    d.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    d.topDown = h.biHeight < 0;
    d.bitsPerPixel = bpp;
    d.stride = static_cast<size_t>(DibStride(d.width, bpp));
    if (d.stride > kMaxImageBytes / static_cast<uint64_t>(d.height)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    d.imageBytes = d.stride * static_cast<size_t>(d.height);
    if (bpp <= 8) {
        size_t maxColors = size_t{1} << bpp;
        size_t count = h.biClrUsed && h.biClrUsed < maxColors ? h.biClrUsed : maxColors;
        d.colors.resize(maxColors, 0);
        if (usage == DIB_PAL_COLORS) {
            // Indices into the palette; the device has the default one only.
            std::vector<Rgb> system = DefaultColors(8);
            for (size_t i = 0; i < count; ++i) {
                WORD index;
                std::memcpy(&index, colorData + 2 * i, 2);
                d.colors[i] = system[index % system.size()];
            }
        } else {
            size_t entrySize = core ? 3 : 4;
            for (size_t i = 0; i < count; ++i) {
                const BYTE* e = colorData + i * entrySize;
                d.colors[i] = MakeRgb(e[2], e[1], e[0]);
            }
        }
        d.format = FormatForBits(bpp);
        h.biClrUsed = static_cast<DWORD>(maxColors);
    } else if (h.biCompression == BI_BITFIELDS) {
        // The masks follow the 40-byte header part in every header version.
        std::memcpy(d.masks, base + sizeof(BITMAPINFOHEADER), sizeof(d.masks));
        uint32_t m[3] = {d.masks[0], d.masks[1], d.masks[2]};
        if (bpp == 16 && SameMasks(d.masks, 0xF800, 0x07E0, 0x001F)) {
            d.format = Format::Rgb565;
        } else if (bpp == 16 && SameMasks(d.masks, 0x7C00, 0x03E0, 0x001F)) {
            d.format = Format::Rgb555;
        } else if (bpp == 32 && SameMasks(d.masks, 0xFF0000, 0xFF00, 0xFF)) {
            d.format = Format::Bgrx32;
        } else {
            if (!MakeFields(m, &d.fields) || (bpp == 16 && ((m[0] | m[1] | m[2]) >> 16) != 0)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return false;
            }
            d.format = bpp == 16 ? Format::Fields16 : Format::Fields32;
        }
        h.biClrUsed = 0;
    } else {
        d.format = bpp == 16 ? Format::Rgb555 : bpp == 24 ? Format::Bgr24 : Format::Bgrx32;
        if (bpp == 16) {
            d.masks[0] = 0x7C00;
            d.masks[1] = 0x03E0;
            d.masks[2] = 0x001F;
        } else if (bpp == 32) {
            d.masks[0] = 0xFF0000;
            d.masks[1] = 0xFF00;
            d.masks[2] = 0xFF;
        }
        h.biClrUsed = 0;
    }
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biSizeImage = static_cast<DWORD>(d.imageBytes);
    d.header = h;
    *out = std::move(d);
    return true;
}

Surface SurfaceOverBits(const DibDescription& d, const void* bits, int rows,
                        const Palette* palette) {
    Surface s;
    auto* base = static_cast<uint8_t*>(const_cast<void*>(bits));
    s.width = d.width;
    s.height = rows;
    s.format = d.format;
    s.fields = d.fields;
    s.palette = palette;
    ptrdiff_t stride = static_cast<ptrdiff_t>(d.stride);
    s.stride = d.topDown ? stride : -stride;
    s.bits = d.topDown ? base : base + stride * (rows - 1);
    return s;
}

}  // namespace gdi

using namespace gdi;

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
    if (width < 0 || height < 0 || planes > 32 || bitsPerPixel > 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0) return StockBitmapHandle();
    UINT depth = planes * bitsPerPixel;
    std::shared_ptr<Bitmap> b = NewDdb(width, height, static_cast<int>(depth == 0 ? 1 : depth));
    if (!b) return nullptr;
    if (bits) {
        // Rows of the caller's bits are padded to 16 bits.
        size_t srcStride = static_cast<size_t>(b->widthBytes);
        size_t rowBytes =
            (static_cast<size_t>(width) * static_cast<size_t>(b->bitsPerPixel) + 7) / 8;
        for (int y = 0; y < height; ++y)
            std::memcpy(b->surface.Row(y),
                        static_cast<const uint8_t*>(bits) + srcStride * static_cast<size_t>(y),
                        rowBytes);
    }
    return static_cast<HBITMAP>(InsertObject(b));
}

HBITMAP CreateBitmapIndirect(const BITMAP* bitmap) {
    if (!bitmap) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateBitmap(bitmap->bmWidth, bitmap->bmHeight, bitmap->bmPlanes, bitmap->bmBitsPixel,
                        bitmap->bmBits);
}

HBITMAP CreateCompatibleBitmap(HDC handle, int width, int height) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return nullptr;
    if (width < 0 || height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (width == 0 || height == 0) return StockBitmapHandle();
    std::shared_ptr<Bitmap> b;
    if (dc->IsDisplay()) {
        b = NewDdb(width, height, BitsOf(ScreenFormat()));
    } else {
        // The format of the bitmap the memory DC holds (monochrome at first).
        const Bitmap& current = *dc->state.bitmapObject;
        const Surface& s = current.surface;
        std::vector<Rgb> colors;
        if (s.palette) colors = s.palette->Colors();
        b = NewBitmap(width, height, s.format, true, colors, &s.fields);
        if (b) {
            b->surface.monoDdb = s.monoDdb || (s.format == Format::Index1 && !current.dib);
            b->widthBytes = ((width * b->bitsPerPixel + 15) / 16) * 2;
        }
    }
    if (!b) return nullptr;
    return static_cast<HBITMAP>(InsertObject(b));
}

HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    (void)offset;
    if (bits) *bits = nullptr;
    if (dc && !LookupDC(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (section) {
        // Sections backed by file mappings are not offered.
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    DibDescription d;
    if (!DescribeDib(info, usage, &d)) return nullptr;
    std::shared_ptr<Bitmap> b =
        NewBitmap(d.width, d.height, d.format, d.topDown, d.colors, &d.fields);
    if (!b) return nullptr;
    b->dib = true;
    b->header = d.header;
    b->header.biHeight =
        info->bmiHeader.biSize == 12 ? d.header.biHeight : info->bmiHeader.biHeight;
    std::memcpy(b->bitfields, d.masks, sizeof(b->bitfields));
    HBITMAP handle = static_cast<HBITMAP>(InsertObject(b));
    if (handle && bits) *bits = b->memory;
    return handle;
}

namespace {

std::shared_ptr<Bitmap> DibOfDC(HDC handle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || dc->IsDisplay()) return nullptr;
    std::shared_ptr<Bitmap> b = dc->state.bitmapObject;
    if (!b || !b->dib || !b->palette) return nullptr;
    return b;
}

}  // namespace

UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors) {
    std::shared_ptr<Bitmap> b = DibOfDC(dc);
    if (!b || !colors) return 0;
    const std::vector<Rgb>& table = b->palette->Colors();
    if (start >= table.size()) return 0;
    UINT n = static_cast<UINT>(table.size()) - start;
    if (count < n) n = count;
    for (UINT i = 0; i < n; ++i) {
        Rgb c = table[start + i];
        colors[i] = RGBQUAD{static_cast<BYTE>(BlueOf(c)), static_cast<BYTE>(GreenOf(c)),
                            static_cast<BYTE>(RedOf(c)), 0};
    }
    return n;
}

UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors) {
    std::shared_ptr<Bitmap> b = DibOfDC(dc);
    if (!b || !colors) return 0;
    std::vector<Rgb> table = b->palette->Colors();
    if (start >= table.size()) return 0;
    UINT n = static_cast<UINT>(table.size()) - start;
    if (count < n) n = count;
    for (UINT i = 0; i < n; ++i)
        table[start + i] = MakeRgb(colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue);
    b->palette->Assign(std::move(table));
    return n;
}

HBRUSH CreateDIBPatternBrushPt(const void* packedDib, UINT usage) {
    DibDescription d;
    if (!DescribeDib(static_cast<const BITMAPINFO*>(packedDib), usage, &d)) return nullptr;
    // The pixels follow the header and its colour table (or, after a
    // 40-byte header, its three masks).
    const BITMAPINFO* info = static_cast<const BITMAPINFO*>(packedDib);
    DWORD headerSize = info->bmiHeader.biSize;
    size_t tableBytes = 0;
    if (d.bitsPerPixel <= 8) {
        size_t entries = d.colors.size();
        if (headerSize != 12 && info->bmiHeader.biClrUsed && info->bmiHeader.biClrUsed < entries)
            entries = info->bmiHeader.biClrUsed;
        size_t entrySize = usage == DIB_PAL_COLORS ? 2 : headerSize == 12 ? 3 : 4;
        tableBytes = entries * entrySize;
    } else if (info->bmiHeader.biCompression == BI_BITFIELDS &&
               headerSize == sizeof(BITMAPINFOHEADER)) {
        tableBytes = 3 * sizeof(DWORD);
    }
    const BYTE* bits = reinterpret_cast<const BYTE*>(packedDib) + headerSize + tableBytes;
    Palette palette(d.colors);
    Surface source = SurfaceOverBits(d, bits, d.height, &palette);
    std::shared_ptr<Bitmap> pattern =
        NewBitmap(d.width, d.height, d.format, true, d.colors, &d.fields);
    if (!pattern) return nullptr;
    size_t rowBytes = (static_cast<size_t>(d.width) * static_cast<size_t>(d.bitsPerPixel) + 7) / 8;
    for (int y = 0; y < d.height; ++y)
        std::memcpy(pattern->surface.Row(y), source.Row(y), rowBytes);
    auto brush = std::make_shared<Brush>();
    brush->log.lbStyle = BS_DIBPATTERNPT;
    brush->log.lbColor = usage;
    brush->log.lbHatch = reinterpret_cast<ULONG_PTR>(packedDib);
    brush->pattern = pattern;
    return static_cast<HBRUSH>(InsertObject(brush));
}

int StretchDIBits(HDC handle, int xDest, int yDest, int destWidth, int destHeight, int xSrc,
                  int ySrc, int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info,
                  UINT usage, DWORD rop) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return 0;
    DibDescription d;
    if (!bits || !DescribeDib(info, usage, &d)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Palette palette(d.colors);
    SourceImage source;
    source.surface = SurfaceOverBits(d, bits, d.height, &palette);
    BlitRequest r;
    r.x = xDest;
    r.y = yDest;
    r.width = destWidth;
    r.height = destHeight;
    r.source = &source;
    r.srcX = xSrc;
    // Source rows count from the bottom of a bottom-up DIB.
    r.srcY = d.topDown ? ySrc : d.height - ySrc - srcHeight;
    r.srcWidth = srcWidth;
    r.srcHeight = srcHeight;
    r.rop = rop;
    if (!Blit(*dc, r)) return 0;
    return d.height;
}

int SetDIBitsToDevice(HDC handle, int xDest, int yDest, DWORD width, DWORD height, int xSrc,
                      int ySrc, UINT startScan, UINT scanLines, const void* bits,
                      const BITMAPINFO* info, UINT usage) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return 0;
    DibDescription d;
    if (!bits || !DescribeDib(info, usage, &d)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (scanLines == 0 || startScan >= static_cast<UINT>(d.height) || width > 0x7FFFFFFF ||
        height > 0x7FFFFFFF)
        return 0;
    UINT lines = scanLines;
    if (lines > static_cast<UINT>(d.height) - startScan)
        lines = static_cast<UINT>(d.height) - startScan;
    // The bits hold `lines` scan lines starting at scan line startScan
    // (counted from the bottom); source y counts from the bottom as well.
    Palette palette(d.colors);
    SourceImage source;
    source.surface = SurfaceOverBits(d, bits, static_cast<int>(lines), &palette);
    BlitRequest r;
    r.x = xDest;
    r.y = yDest;
    r.width = static_cast<int>(width);
    r.height = static_cast<int>(height);
    r.source = &source;
    r.srcX = xSrc;
    r.srcY = static_cast<int>(startScan + lines) - (ySrc + static_cast<int>(height));
    if (d.topDown) r.srcY = ySrc - static_cast<int>(startScan);
    r.srcWidth = static_cast<int>(width);
    r.srcHeight = static_cast<int>(height);
    r.rop = SRCCOPY;
    if (!Blit(*dc, r)) return 0;
    return static_cast<int>(lines);
}
