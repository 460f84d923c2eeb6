// The contrast/brightness transform: the 16-bit table of the video output
// and the 8-bit form applied to the visible rectangle of a 24-bit surface.
#include "view/contrast_brightness.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "image/screen_surface.h"

namespace {

int gContrast = 0;
int gBrightness = 0;
WORD* gTable = nullptr;  // exists exactly while the transform is active
BYTE gBytes[256];        // the 8-bit form of the current values

int Clamp100(int value) {
    return value < -100 ? -100 : value > 100 ? 100 : value;
}

// Channel value at 6-bit scale -> 6-bit result, clamped.
int Clamp6(int value) {
    return value < 0 ? 0 : value >= 64 ? 63 : value;
}
// The same for red and blue, which are computed at 6-bit scale and kept
// with 5 bits.
int Clamp5(int value) {
    return value < 0 ? 0 : value >= 64 ? 31 : value >> 1;
}

void BuildTable(WORD* table, int c, int b) {
    int B = std::abs(b);
    int E = (b > 0 ? B * 63 : 0) * 100 + c * (B - 100) * 32;
    int F = (100 - B) * (c + 100);
    for (int i = 0; i < 65536; ++i) {
        int r = (E + ((i >> 10) & 0x3E) * F) / 10000;
        int g = (E + ((i >> 5) & 0x3F) * F) / 10000;
        int bl = (E + (i & 0x1F) * 2 * F) / 10000;
        table[i] = static_cast<WORD>(Clamp5(r) << 11 | Clamp6(g) << 5 | Clamp5(bl));
    }
}

// The rectangle clipped to the surface; false when nothing is left.
bool ClipToSurface(const ScreenSurface& surface, const RECT& rect, RECT* clipped) {
    if (!surface.pixels || surface.width <= 0 || surface.height <= 0) return false;
    RECT r = rect;
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > surface.width) r.right = surface.width;
    if (r.bottom > surface.height) r.bottom = surface.height;
    if (r.left >= r.right || r.top >= r.bottom) return false;
    *clipped = r;
    return true;
}

// The memory of the rectangle's rows: bottom-up, so picture rows top ..
// bottom - 1 are memory rows height - bottom .. height - 1 - top, one block.
BYTE* RowsStart(const ScreenSurface& surface, const RECT& r) {
    return surface.pixels + static_cast<size_t>(surface.height - r.bottom) * surface.stride;
}

size_t RowsSize(const ScreenSurface& surface, const RECT& r) {
    return static_cast<size_t>(r.bottom - r.top) * surface.stride;
}

}  // namespace

BYTE ContrastBrightnessByte(int contrast, int brightness, int value) {
    int c = Clamp100(contrast);
    int b = Clamp100(brightness);
    int B = std::abs(b);
    int E = (b > 0 ? B * 255 : 0) * 100 + c * (B - 100) * 128;
    int F = (100 - B) * (c + 100);
    int out = (E + value * F) / 10000;
    return static_cast<BYTE>(out < 0 ? 0 : out > 255 ? 255 : out);
}

void BuildContrastBrightnessBytes(int contrast, int brightness, BYTE table[256]) {
    for (int v = 0; v < 256; ++v) table[v] = ContrastBrightnessByte(contrast, brightness, v);
}

void SetContrastBrightness(int contrast, int brightness) {
    gContrast = Clamp100(contrast);
    gBrightness = Clamp100(brightness);
    if (gContrast == 0 && gBrightness == 0) {
        delete[] gTable;
        gTable = nullptr;
        return;
    }
    if (!gTable) gTable = new (std::nothrow) WORD[65536];
    if (!gTable) return;
    BuildTable(gTable, gContrast, gBrightness);
    BuildContrastBrightnessBytes(gContrast, gBrightness, gBytes);
}

int CurrentContrast() {
    return gContrast;
}
int CurrentBrightness() {
    return gBrightness;
}
bool ContrastBrightnessActive() {
    return gTable != nullptr;
}
const WORD* ContrastBrightnessTable() {
    return gTable;
}

BYTE* AdjustSurfaceRect(ScreenSurface* surface, const RECT& rect) {
    RECT r;
    if (!surface || !ContrastBrightnessActive() || !ClipToSurface(*surface, rect, &r))
        return nullptr;
    BYTE* first = RowsStart(*surface, r);
    size_t size = RowsSize(*surface, r);
    BYTE* saved = new (std::nothrow) BYTE[size];
    if (!saved) return nullptr;  // drawn untransformed
    std::memcpy(saved, first, size);
    int from = r.left * surface->bytesPerPixel;
    int to = r.right * surface->bytesPerPixel;
    for (int y = 0; y < r.bottom - r.top; ++y) {
        BYTE* row = first + static_cast<size_t>(y) * surface->stride;
        for (int x = from; x < to; ++x) row[x] = gBytes[row[x]];
    }
    return saved;
}

void RestoreSurfaceRect(ScreenSurface* surface, const RECT& rect, BYTE* saved) {
    if (!saved) return;
    RECT r;
    if (surface && ClipToSurface(*surface, rect, &r)) {
        std::memcpy(RowsStart(*surface, r), saved, RowsSize(*surface, r));
    }
    delete[] saved;
}
