// Pixel memory that GDI draws into (DIB sections, device-dependent bitmaps,
// the display memory), described one way: a top row address, a signed stride
// (negative for bottom-up DIBs) and a pixel format. One table of routines per
// format reads and writes runs of "pixel values" (the raw bits of a pixel:
// an index, a 16-bit word, 0xRRGGBB), so every depth goes through the same code.
// Colours inside GDI are Rgb values 0x00RRGGBB, never COLORREFs (0x00BBGGRR).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "windows.h"

namespace gdi {

using Rgb = uint32_t;

inline Rgb RgbFromColorRef(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF ColorRefFromRgb(Rgb v) {
    return ((v & 0xFFu) << 16) | (v & 0xFF00u) | ((v >> 16) & 0xFFu);
}
inline int RedOf(Rgb v) {
    return (v >> 16) & 0xFF;
}
inline int GreenOf(Rgb v) {
    return (v >> 8) & 0xFF;
}
inline int BlueOf(Rgb v) {
    return v & 0xFF;
}
inline Rgb MakeRgb(int r, int g, int b) {
    return (static_cast<Rgb>(r) << 16) | (static_cast<Rgb>(g) << 8) | static_cast<Rgb>(b);
}

enum class Format : uint8_t {
    Index1,
    Index2,
    Index4,
    Index8,
    Rgb555,    // 16 bits, x-R5-G5-B5
    Rgb565,    // 16 bits, R5-G6-B5 (the display's format)
    Bgr24,     // bytes blue, green, red
    Bgrx32,    // bytes blue, green, red, unused
    Fields16,  // 16 bits with other channel masks
    Fields32,  // 32 bits with other channel masks
};

inline bool IsIndexed(Format f) {
    return f <= Format::Index8;
}
int BitsOf(Format f);

// The colour table of an indexed surface, with a cache for the colour -> index
// search (exact matches first, then the nearest entry by squared distance).
class Palette {
public:
    explicit Palette(std::vector<Rgb> colors = {});
    const std::vector<Rgb>& Colors() const { return colors_; }
    void Set(size_t index, Rgb color);
    void Assign(std::vector<Rgb> colors);
    uint32_t Nearest(Rgb color) const;
    bool SameColors(const Palette& other) const { return colors_ == other.colors_; }

private:
    void Clear();
    std::vector<Rgb> colors_;
    static constexpr size_t kCacheSize = 4096;
    // Entry: (color + 1) << 8 | index; 0 = empty. Atomic because a bitmap may
    // be read by two threads at once; a lost entry only costs a search.
    std::unique_ptr<std::atomic<uint64_t>[]> cache_;
};

// Channel layout of a bit-field format.
struct Fields {
    uint32_t mask[3] = {0, 0, 0};  // red, green, blue
    int shift[3] = {0, 0, 0};
    int bits[3] = {0, 0, 0};
};
// Fills `out` from three masks; false when a mask is empty or not contiguous.
bool MakeFields(const uint32_t masks[3], Fields* out);

struct Surface {
    uint8_t* bits = nullptr;  // first (top) row
    ptrdiff_t stride = 0;     // bytes from a row to the row below it
    int width = 0;
    int height = 0;
    Format format = Format::Bgrx32;
    const Palette* palette = nullptr;  // indexed formats
    // 1-bpp device-dependent bitmap: copied onto colour surfaces with the
    // destination DC's text (0) and background (1) colours, and painted on by
    // matching the DC's background colour, as GDI does for monochrome bitmaps.
    bool monoDdb = false;
    Fields fields;  // Fields16 / Fields32

    uint8_t* Row(int y) const { return bits + static_cast<ptrdiff_t>(y) * stride; }
    int Bpp() const { return BitsOf(format); }
    uint32_t ValueMask() const {
        int b = Bpp();
        return b >= 32 ? 0xFFFFFFFFu : ((1u << b) - 1u);
    }
};

// Per-format routines on pixel values. Rows are the surface row address.
struct FormatOps {
    uint32_t (*get)(const uint8_t* row, int x);
    void (*put)(uint8_t* row, int x, uint32_t value);
    void (*read)(const uint8_t* row, int x, int count, uint32_t* out);
    void (*write)(uint8_t* row, int x, int count, const uint32_t* in);
    // dst = (dst & andMask) ^ xorMask over a run: every binary raster
    // operation with a fixed pen or brush colour has this form.
    void (*fill)(uint8_t* row, int x, int count, uint32_t andMask, uint32_t xorMask);
};
const FormatOps& Ops(Format f);

Rgb PixelToRgb(const Surface& s, uint32_t value);
uint32_t RgbToPixel(const Surface& s, Rgb color);

// The pixel value a solid colour takes on a surface. A COLORREF carrying
// PALETTEINDEX names a colour-table entry directly.
uint32_t ColorRefToPixel(const Surface& s, COLORREF color);

// Expands an n-bit channel value to 8 bits by repeating its high bits.
inline int Expand(uint32_t v, int bits) {
    if (bits >= 8) return static_cast<int>(v >> (bits - 8)) & 0xFF;
    if (bits <= 0) return 0;
    uint32_t r = v << (8 - bits);
    for (int have = bits; have < 8; have += bits) r |= r >> bits;
    return static_cast<int>(r & 0xFF);
}

inline uint16_t Pack565(Rgb c) {
    return static_cast<uint16_t>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
}
inline uint16_t Pack555(Rgb c) {
    return static_cast<uint16_t>(((c >> 9) & 0x7C00) | ((c >> 6) & 0x03E0) | ((c >> 3) & 0x1F));
}
inline Rgb Unpack565(uint32_t v) {
    uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return MakeRgb(static_cast<int>((r << 3) | (r >> 2)), static_cast<int>((g << 2) | (g >> 4)),
                   static_cast<int>((b << 3) | (b >> 2)));
}
inline Rgb Unpack555(uint32_t v) {
    uint32_t r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
    return MakeRgb(static_cast<int>((r << 3) | (r >> 2)), static_cast<int>((g << 3) | (g >> 2)),
                   static_cast<int>((b << 3) | (b >> 2)));
}

// Default colour tables used when a bitmap is made without one.
std::vector<Rgb> DefaultColors(int bitsPerPixel);

}  // namespace gdi
