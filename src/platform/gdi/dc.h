// Device contexts and the drawing target they open. A memory DC draws into its
// selected bitmap; a display DC into the display memory at its window's origin,
// clipped to the visible region the window manager gave it. Coordinates:
// logical + viewport origin = device (what clip regions use); device + the DC
// origin = surface pixel. A Target holds the display lock while it lives and
// reports what it changed with MarkDirty. A DC is used by one thread at a time,
// as on the device; only its visible region may be replaced from another.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "display/external_display.h"
#include "display/frame_buffer.h"
#include "gdi/gdi_object.h"
#include "windows.h"

namespace gdi {

struct Font;

// What SaveDC keeps.
struct DcState {
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    HFONT font = nullptr;
    HBITMAP bitmap = nullptr;  // memory DCs
    std::shared_ptr<Pen> penObject;
    std::shared_ptr<Brush> brushObject;
    std::shared_ptr<Font> fontObject;
    std::shared_ptr<Bitmap> bitmapObject;
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
    int rop2 = R2_COPYPEN;
    int stretchMode = BLACKONWHITE;
    UINT textAlign = TA_LEFT | TA_TOP | TA_NOUPDATECP;
    POINT viewportOrg = {0, 0};
    POINT brushOrg = {0, 0};
    POINT position = {0, 0};
    bool hasClip = false;
    std::vector<RECT> clip;  // device coordinates, when hasClip
};

struct DC : Object {
    explicit DC(bool isDisplay) : Object(isDisplay ? Kind::DisplayDC : Kind::MemoryDC) {}
    bool IsDisplay() const { return kind == Kind::DisplayDC; }

    HDC handle = nullptr;
    DcState state;
    std::vector<DcState> saved;
    int dashPosition = 0;  // pixels into the pen's dash pattern (restarted by MoveToEx)

    // A DC on an external display (CreateDCW): it draws into the display's
    // own frame buffer and holds the driver that opened it.
    std::shared_ptr<platform::ExternalDisplay> external;
    HMODULE driver = nullptr;

    // Display DCs. `regionLock` guards origin and visible.
    HWND window = nullptr;
    std::mutex regionLock;
    POINT origin = {0, 0};
    std::vector<RECT> visible;  // screen coordinates
};

// The DC of a handle; null with ERROR_INVALID_HANDLE set when it is none.
std::shared_ptr<DC> LookupDC(HDC dc);

// Rectangle helpers (half-open rectangles).
inline bool EmptyRect(const RECT& r) {
    return r.left >= r.right || r.top >= r.bottom;
}
inline RECT IntersectRects(const RECT& a, const RECT& b) {
    RECT r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
              a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (EmptyRect(r)) r = {0, 0, 0, 0};
    return r;
}
inline RECT OffsetRectBy(RECT r, int dx, int dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    return r;
}
inline RECT NormalizedRect(int x0, int y0, int x1, int y1) {
    RECT r = {x0 < x1 ? x0 : x1, y0 < y1 ? y0 : y1, x0 < x1 ? x1 : x0, y0 < y1 ? y1 : y0};
    return r;
}
// Region arithmetic on lists of disjoint rectangles.
std::vector<RECT> IntersectRegion(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> SubtractRegion(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> UnionRegion(const std::vector<RECT>& a, const std::vector<RECT>& b);
std::vector<RECT> XorRegion(const std::vector<RECT>& a, const std::vector<RECT>& b);
RECT RegionBounds(const std::vector<RECT>& rects);
// Joins neighbours that share a whole edge; the region stays the same.
void CoalesceRegion(std::vector<RECT>& rects);
int RegionType(const std::vector<RECT>& rects);

// dst = (dst & and) ^ xor masks of a binary raster operation with a pen or
// brush pixel value, limited to the surface's value bits.
void Rop2Masks(int rop2, uint32_t pixel, uint32_t valueMask, uint32_t* andMask, uint32_t* xorMask);

// The pixel value of a pen, brush or text colour on a DC's surface. On a
// monochrome bitmap a colour equal to the background colour takes the
// background's pixel and every other colour the opposite one.
uint32_t SolidPixel(const DC& dc, const Surface& surface, COLORREF color);

class Target {
public:
    explicit Target(DC& dc);
    ~Target();
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    bool Ok() const { return ok_; }
    DC& dc;
    Surface surface;
    std::vector<RECT> clip;  // surface coordinates, disjoint, inside the surface
    RECT clipBounds = {0, 0, 0, 0};
    POINT offset = {0, 0};  // logical -> surface

    POINT ToSurface(int x, int y) const { return POINT{x + offset.x, y + offset.y}; }
    RECT ToSurface(const RECT& r) const { return OffsetRectBy(r, offset.x, offset.y); }

    // Drawing through the clip, in surface coordinates.
    void FillRect(const RECT& r, uint32_t andMask, uint32_t xorMask);
    void FillSpan(int y, int x0, int x1, uint32_t andMask, uint32_t xorMask);  // [x0, x1)
    void Pixel(int x, int y, uint32_t andMask, uint32_t xorMask);
    bool Visible(int x, int y) const;
    // Records a changed area for the display (already clipped by the caller).
    void Touch(const RECT& r);

private:
    bool ok_ = false;
    platform::FrameBuffer* buffer_ = nullptr;  // the screen or an external display, when drawn on
    std::shared_ptr<platform::ExternalDisplay> external_;
    std::unique_lock<std::recursive_mutex> screenLock_;
    RECT dirty_ = {0, 0, 0, 0};
};

// The display memory as a surface (call with its lock held).
Surface ScreenSurface();

}  // namespace gdi
