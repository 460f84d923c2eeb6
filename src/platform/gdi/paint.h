// The raster engine shared by the block transfers, the DIB calls and icons:
// one routine copies (and stretches, nearest neighbour) a source rectangle
// onto a DC with a ternary raster operation, converting every pixel format to
// the destination's, plus the brush painter that fills with solid or pattern
// brushes. Raster operations work on destination pixel values, as GDI's do.
#pragma once

#include <memory>
#include <vector>

#include "gdi/dc.h"

namespace gdi {

struct SourceImage {
    Surface surface;
    // The source DC's background colour: colour pixels equal to it become
    // white (1) on a monochrome bitmap, all others black.
    COLORREF bkColor = RGB(255, 255, 255);
};

struct BlitRequest {
    int x = 0, y = 0, width = 0, height = 0;              // destination, logical
    const SourceImage* source = nullptr;                  // null for pattern-only operations
    int srcX = 0, srcY = 0, srcWidth = 0, srcHeight = 0;  // source surface pixels
    DWORD rop = SRCCOPY;
    // MaskBlt: where the 1-bpp mask has a 0 bit, backRop applies instead.
    const Surface* mask = nullptr;
    int maskX = 0, maskY = 0;
    DWORD backRop = SRCCOPY;
    // TransparentImage: source pixels of this colour are left out.
    bool useKey = false;
    Rgb key = 0;
};

bool RopUsesSource(DWORD rop);
bool RopUsesPattern(DWORD rop);
// Evaluates the raster operation's truth table on whole pixel values.
uint32_t Rop3(uint8_t code, uint32_t pattern, uint32_t source, uint32_t dest);

// Runs the transfer onto the DC; false (error set) when it cannot be done.
bool Blit(DC& dc, const BlitRequest& request);

// Brush colours on one destination surface: solid, or a pattern repeated
// from the brush origin (given in surface coordinates).
class BrushPainter {
public:
    // `brush` null: the DC's selected brush.
    BrushPainter(const DC& dc, const Surface& dest, POINT origin, const Brush* brush = nullptr);
    bool IsNull() const { return null_; }
    bool IsSolid() const { return solid_; }
    uint32_t SolidValue() const { return solidValue_; }
    uint32_t At(int x, int y) const;
    // Fills [x0, x1) of row y through the target's clip with a binary raster operation.
    void FillSpan(Target& t, int y, int x0, int x1, int rop2) const;
    void FillRect(Target& t, const RECT& r, int rop2) const;

private:
    bool null_ = true;
    bool solid_ = true;
    uint32_t solidValue_ = 0;
    int width_ = 0, height_ = 0;
    POINT origin_ = {0, 0};
    std::vector<uint32_t> values_;
};

// The source description of a DC (its bitmap or the display memory); the
// caller must hold the display lock while using a display source.
bool SourceFromDC(DC& dc, SourceImage* out, POINT* offset);

// A surface over caller-provided DIB bits (BITMAPINFO with its colour table
// or masks); the palette lives in `palette`.
struct DibDescription {
    int width = 0;
    int height = 0;  // positive
    bool topDown = false;
    int bitsPerPixel = 0;
    Format format = Format::Bgrx32;
    Fields fields;
    DWORD masks[3] = {0, 0, 0};
    std::vector<Rgb> colors;
    size_t stride = 0;
    size_t imageBytes = 0;
    BITMAPINFOHEADER header{};
};
// Validates and reads a BITMAPINFO; false with ERROR_INVALID_PARAMETER.
bool DescribeDib(const BITMAPINFO* info, UINT usage, DibDescription* out);
// `rows` rows of bits laid out as the description says (bottom-up unless top-down).
Surface SurfaceOverBits(const DibDescription& d, const void* bits, int rows,
                        const Palette* palette);

}  // namespace gdi
