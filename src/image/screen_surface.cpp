// The screen surface: creation, fills, the scaled and rotated draw and the
// copy to display memory.
#include "screen_surface.h"

#include <gx.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "channel_map.h"
#include "image_memory.h"
#include "rimage.h"

namespace {

// float -> int truncating towards zero, saturating instead of overflowing.
int TruncSaturate(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483520.0f) return 0x7FFFFF80;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int>(value);
}

int Clamp(int64_t value, int low, int high) {
    if (value < low) return low;
    if (value > high) return high;
    return static_cast<int>(value);
}

// Colour of pixel x of a source row, as three output bytes through the map.
template <int Bits>
inline const BYTE* IndexedPixel(const BYTE* row, int x, const BYTE* lut) {
    int index;
    if constexpr (Bits == 1) {
        index = (row[x >> 3] >> (7 - (x & 7))) & 1;
    } else if constexpr (Bits == 2) {
        index = (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
    } else if constexpr (Bits == 4) {
        index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15;
    } else {
        index = row[x];
    }
    return lut + index * 3;
}

template <int Bits>
inline void WritePixel(BYTE* out, const BYTE* row, int x, const BYTE* lut, const BYTE* map) {
    if constexpr (Bits == 24) {
        const BYTE* p = row + x * 3;
        out[0] = map[p[0]];
        out[1] = map[p[1]];
        out[2] = map[p[2]];
    } else if constexpr (Bits == 16) {
        // Bits 10-14, 5-9 and 0-4 go to blue, green and red as they are, not
        // widened to 8 bits.
        unsigned v = row[x * 2] | (row[x * 2 + 1] << 8);
        out[0] = map[(v >> 10) & 0x1F];
        out[1] = map[(v >> 5) & 0x1F];
        out[2] = map[v & 0x1F];
    } else {
        const BYTE* c = IndexedPixel<Bits>(row, x, lut);
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
}

struct DrawJob {
    BYTE* firstOut;  // first visible output pixel
    int surfaceStride;
    int rows;
    int columns;
    const BYTE** rowTable;
    const int* columnTable;
    const BYTE* lut;
    const BYTE* map;
};

template <int Bits, bool QuarterTurn>
void DrawRows(const DrawJob& job) {
    BYTE* outRow = job.firstOut;
    for (int i = 0; i < job.rows; ++i) {
        BYTE* out = outRow;
        if constexpr (QuarterTurn) {
            int x = job.columnTable[i];
            for (int j = 0; j < job.columns; ++j, out += 3) {
                WritePixel<Bits>(out, job.rowTable[j], x, job.lut, job.map);
            }
        } else {
            const BYTE* row = job.rowTable[i];
            for (int j = 0; j < job.columns; ++j, out += 3) {
                WritePixel<Bits>(out, row, job.columnTable[j], job.lut, job.map);
            }
        }
        outRow -= job.surfaceStride;
    }
}

template <bool QuarterTurn>
bool DrawAll(int bits, const DrawJob& job) {
    switch (bits) {
        case 1: DrawRows<1, QuarterTurn>(job); return true;
        case 2: DrawRows<2, QuarterTurn>(job); return true;
        case 4: DrawRows<4, QuarterTurn>(job); return true;
        case 8: DrawRows<8, QuarterTurn>(job); return true;
        case 16: DrawRows<16, QuarterTurn>(job); return true;
        case 24: DrawRows<24, QuarterTurn>(job); return true;
        default: return false;
    }
}

}  // namespace

ScreenSurface::ScreenSurface() { BuildChannelMap(1.0f, 0, 0, false); }

ScreenSurface::~ScreenSurface() { DestroySurface(); }

bool ScreenSurface::CreateSurface() {
    if (bitmap) return true;
    return CreateSurfaceOfSize(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

bool ScreenSurface::CreateSurfaceOfSize(int w, int h) {
    if (bitmap && width == w && height == h) return true;
    DestroySurface();
    if (w <= 0 || h <= 0) return false;
    int64_t rowStride = DibRowStride(w, 24);
    if (rowStride < 0 || DibImageSize(w, h, 24) < 0) return false;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[1];
    } info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = w;
    info.header.biHeight = h;
    info.header.biPlanes = 1;
    info.header.biBitCount = 24;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = static_cast<DWORD>(rowStride * h);
    info.colours[0] = {255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP created = ImageCreateDibSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), &bits);
    if (!created || !bits) {
        if (created) ImageDeleteObject(created);
        return false;
    }
    int entries = (w > h ? w : h) + 32;
    auto* rows = static_cast<const BYTE**>(ImageAllocate(sizeof(BYTE*) * entries));
    auto* columns = static_cast<int*>(ImageAllocate(sizeof(int) * entries));
    if (!rows || !columns) {
        ImageFree(rows);
        ImageFree(columns);
        ImageDeleteObject(created);
        return false;
    }
    bitmap = created;
    pixels = static_cast<BYTE*>(bits);
    rowTable = rows;
    columnTable = columns;
    tableEntries = entries;
    width = w;
    height = h;
    bytesPerPixel = 3;
    bitsPerPixel = 24;
    stride = static_cast<int>(rowStride);
    return true;
}

bool ScreenSurface::ReadDisplayProperties() {
    if (!displayKnown) {
        GXDisplayProperties properties = GXGetDisplayProperties();
        displayWidth = properties.cxWidth;
        displayHeight = properties.cyHeight;
        displayPitchX = static_cast<int>(properties.cbxPitch);
        displayPitchY = static_cast<int>(properties.cbyPitch);
        displayBitsPerPixel = static_cast<int>(properties.cBPP);
        displayFormat = properties.ffFormat;
        displayKnown = 1;
    }
    return CreateSurface();
}

HDC ScreenSurface::MemoryContext() {
    if (!memoryContext && bitmap) {
        memoryContext = CreateCompatibleDC(nullptr);
        if (memoryContext) previousObject = SelectObject(memoryContext, bitmap);
    }
    return memoryContext;
}

bool ScreenSurface::CopyTo(HDC dc, int width, int height) {
    HDC memory = bitmap ? MemoryContext() : nullptr;
    return memory && BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
}

void ScreenSurface::DestroySurface() {
    if (memoryContext) {
        if (previousObject) SelectObject(memoryContext, previousObject);
        DeleteDC(memoryContext);
    }
    memoryContext = nullptr;
    previousObject = nullptr;
    if (bitmap) ImageDeleteObject(bitmap);
    bitmap = nullptr;
    pixels = nullptr;
    ImageFree(rowTable);
    ImageFree(columnTable);
    rowTable = nullptr;
    columnTable = nullptr;
    tableEntries = 0;
}

void ScreenSurface::FillRect(COLORREF colour, const RECT* rect) {
    if (!pixels) return;
    RECT r = rect ? *rect : RECT{0, 0, width, height};
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > width) r.right = width;
    if (r.bottom > height) r.bottom = height;
    if (r.left >= r.right || r.top >= r.bottom) return;
    BYTE blue = GetBValue(colour);
    BYTE green = GetGValue(colour);
    BYTE red = GetRValue(colour);
    for (int y = r.top; y < r.bottom; ++y) {
        BYTE* out = pixels + static_cast<ptrdiff_t>(height - 1 - y) * stride + r.left * 3;
        for (int x = r.left; x < r.right; ++x, out += 3) {
            out[0] = blue;
            out[1] = green;
            out[2] = red;
        }
    }
}

void ScreenSurface::FillMargins(COLORREF colour, const RECT& picture, const RECT& client) {
    if (picture.top > 0) {
        RECT band = client;
        band.bottom = picture.top;
        FillRect(colour, &band);
    }
    if (picture.bottom < client.bottom) {
        RECT band = client;
        band.top = picture.bottom;
        FillRect(colour, &band);
    }
    if (picture.left > 0) {
        RECT band = client;
        band.right = picture.left;
        FillRect(colour, &band);
    }
    if (picture.right < client.right) {
        RECT band = client;
        band.left = picture.right;
        FillRect(colour, &band);
    }
}

bool ScreenSurface::DrawImage(int dstX, int dstY, int dstW, int dstH, int srcX, int srcY,
                              int srcW, int /*srcH*/, const BITMAPINFOHEADER* header,
                              const BYTE* source) {
    drawnRows = 0;
    drawnColumns = 0;
    if (!header) return false;
    palette = ColourTable(header);
    sourceBitsPerPixel = header->biBitCount;
    if (sourceBitsPerPixel == 32 || !bitmap) return false;
    const int W = header->biWidth;
    const int H = header->biHeight;
    const int64_t S = DibRowStride(W, sourceBitsPerPixel);
    if (!source || S < 0 || H < 1 || H > kMaxImageSide) return false;

    const bool quarterTurn = rotation == 90 || rotation == -270 || rotation == 270 || rotation == -90;

    // Clip the output to the surface.
    if (dstW < 0 || dstX + dstW >= width) dstW = width - dstX;
    if (dstH < 0 || dstY + dstH >= height) dstH = height - dstY;

    int rowStart, rowDir, colStart, colDir;
    switch (rotation) {
        case 90:
        case -270:
            rowStart = W - srcY - 1, rowDir = -1, colStart = H - srcX - 1, colDir = -1;
            break;
        case 180:
        case -180:
            rowStart = srcY, rowDir = 1, colStart = W - srcX - 1, colDir = -1;
            break;
        case 270:
        case -90:
            rowStart = srcY, rowDir = 1, colStart = srcX, colDir = 1;
            break;
        default:
            // Memory rows count from the bottom: an upright picture starts
            // at H - srcY - 1 and walks downwards in memory.
            rowStart = H - srcY - 1, rowDir = -1, colStart = srcX, colDir = 1;
            break;
    }

    const int rows = std::abs(dstH - 1) + 1;
    const int columns = std::abs(dstW - 1) + 1;
    // Only outputs that land inside the surface are computed and written;
    // tables are filled from the first visible output on.
    const int i0 = dstY < 0 ? -dstY : 0;
    const int i1 = rows < height - dstY ? rows : height - dstY;
    const int j0 = dstX < 0 ? -dstX : 0;
    const int j1 = columns < width - dstX ? columns : width - dstX;
    if (dstW == 0 || i1 <= i0 || j1 <= j0) return true;

    const float ratio = static_cast<float>(srcW) / static_cast<float>(dstW);
    const int step = TruncSaturate(ratio * 1024.0f);

    // Limits: the index following output rows runs over W columns when
    // rotated by a quarter turn, else over H memory rows; and the reverse.
    if (!quarterTurn) {
        for (int i = i0; i < i1; ++i) {
            int m = Clamp(static_cast<int64_t>(rowStart) +
                              TruncSaturate(static_cast<float>(i * rowDir) * ratio),
                          0, H - 1);
            rowTable[i - i0] = source + m * S;
        }
        for (int j = j0; j < j1; ++j) {
            int64_t offset = (static_cast<int64_t>(j) * colDir * step) >> 10;
            columnTable[j - j0] = Clamp(colStart + offset, 0, W - 1);
        }
    } else {
        for (int i = i0; i < i1; ++i) {
            int64_t offset = (static_cast<int64_t>(i) * rowDir * step) >> 10;
            columnTable[i - i0] = Clamp(rowStart + offset, 0, W - 1);
        }
        for (int j = j0; j < j1; ++j) {
            int m = Clamp(static_cast<int64_t>(colStart) +
                              TruncSaturate(static_cast<float>(j * colDir) * ratio),
                          0, H - 1);
            rowTable[j - j0] = source + m * S;
        }
    }

    // Indexed colours through the map, once per draw.
    BYTE lut[256 * 3];
    const BYTE* map = ChannelMap();
    if (sourceBitsPerPixel <= 8) {
        int entries = 1 << sourceBitsPerPixel;
        for (int e = 0; e < entries; ++e) {
            lut[e * 3 + 0] = map[palette[e].rgbBlue];
            lut[e * 3 + 1] = map[palette[e].rgbGreen];
            lut[e * 3 + 2] = map[palette[e].rgbRed];
        }
    }

    DrawJob job;
    job.firstOut = pixels + static_cast<ptrdiff_t>(height - (dstY + i0) - 1) * stride +
                   static_cast<ptrdiff_t>(dstX + j0) * 3;
    job.surfaceStride = stride;
    job.rows = i1 - i0;
    job.columns = j1 - j0;
    job.rowTable = rowTable;
    job.columnTable = columnTable;
    job.lut = lut;
    job.map = map;
    bool drawn = quarterTurn ? DrawAll<true>(sourceBitsPerPixel, job)
                             : DrawAll<false>(sourceBitsPerPixel, job);
    if (!drawn) return false;
    drawnRows = job.rows;
    drawnColumns = job.columns;
    return true;
}

bool ScreenSurface::BlitToDisplay(HWND window, int x, int y, int w, int h) {
    if (!displayKnown || !memoryContext || displayBitsPerPixel < 8 || !pixels) return false;
    POINT screen = {x, y};
    if (window) ClientToScreen(window, &screen);
    BYTE* display = static_cast<BYTE*>(GXBeginDraw());
    if (!display) return false;

    // Only pixels inside both the surface and the display are copied.
    int c0 = 0, c1 = w, r0 = 0, r1 = h;
    if (x + c0 < 0) c0 = -x;
    if (screen.x + c0 < 0) c0 = -screen.x;
    if (x + c1 > width) c1 = width - x;
    if (screen.x + c1 > static_cast<int>(displayWidth)) c1 = static_cast<int>(displayWidth) - screen.x;
    if (y + r0 < 0) r0 = -y;
    if (screen.y + r0 < 0) r0 = -screen.y;
    if (y + r1 > height) r1 = height - y;
    if (screen.y + r1 > static_cast<int>(displayHeight)) r1 = static_cast<int>(displayHeight) - screen.y;

    const bool rgb565 = (displayFormat & kfDirect565) != 0;
    for (int r = r1 - 1; r >= r0 && c0 < c1; --r) {
        const BYTE* in = pixels + static_cast<ptrdiff_t>(height - r - y - 1) * stride +
                         static_cast<ptrdiff_t>(x + c0) * 3;
        BYTE* out = display + static_cast<ptrdiff_t>(r + screen.y) * displayPitchY +
                    static_cast<ptrdiff_t>(screen.x + c0) * displayPitchX;
        switch (displayBitsPerPixel) {
            case 8:
                for (int c = c0; c < c1; ++c, in += 3, out += displayPitchX) *out = in[0];
                break;
            case 16:
                for (int c = c0; c < c1; ++c, in += 3, out += displayPitchX) {
                    unsigned blue = in[0], green = in[1], red = in[2];
                    unsigned word = rgb565
                                        ? ((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3)
                                        : ((red & 0xF8) << 7) | ((green & 0xF8) << 2) | (blue >> 3);
                    out[0] = static_cast<BYTE>(word);
                    out[1] = static_cast<BYTE>(word >> 8);
                }
                break;
            case 24:
                for (int c = c0; c < c1; ++c, in += 3, out += displayPitchX) {
                    out[0] = in[0];
                    out[1] = in[1];
                    out[2] = in[2];
                }
                break;
            default:
                break;  // other display depths draw nothing
        }
    }
    GXEndDraw();
    return true;
}
