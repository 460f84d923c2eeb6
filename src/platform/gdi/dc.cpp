// Device contexts: memory and display DCs, object selection, attributes,
// SaveDC/RestoreDC, device capabilities, and the drawing target with its clip.
#include "gdi/dc.h"

#include <algorithm>
#include <cstring>

#include "gdi/display_dc.h"
#include "gdi/font.h"

namespace gdi {

std::shared_ptr<DC> LookupDC(HDC dc) {
    std::shared_ptr<Object> o = LookupObject(dc);
    if (!o || (o->kind != Kind::DisplayDC && o->kind != Kind::MemoryDC)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<DC>(o);
}

Format ScreenFormat() {
    platform::FrameBuffer& fb = platform::Screen();
    switch (fb.bitsPerPixel) {
        case 16:
            return Format::Rgb565;
        case 24:
            return Format::Bgr24;
        default:
            return Format::Bgrx32;
    }
}

Surface ScreenSurface() {
    platform::FrameBuffer& fb = platform::Screen();
    Surface s;
    s.bits = fb.pixels.data();
    s.stride = fb.pitch;
    s.width = fb.width;
    s.height = fb.height;
    s.format = fb.bitsPerPixel == 16   ? Format::Rgb565
               : fb.bitsPerPixel == 24 ? Format::Bgr24
                                       : Format::Bgrx32;
    return s;
}

void Rop2Masks(int rop2, uint32_t pixel, uint32_t valueMask, uint32_t* andMask, uint32_t* xorMask) {
    // The raster operation's truth table, bit (2 * pen + dst): for each pen
    // bit the result is one of 0, 1, dst or ~dst, i.e. (dst & a) ^ x.
    unsigned code =
        static_cast<unsigned>((rop2 < R2_BLACK || rop2 > R2_WHITE ? R2_COPYPEN : rop2) - 1);
    uint32_t ones = valueMask;
    uint32_t a0 = (((code >> 0) ^ (code >> 1)) & 1) ? ones : 0;  // pen bit 0
    uint32_t x0 = ((code >> 0) & 1) ? ones : 0;
    uint32_t a1 = (((code >> 2) ^ (code >> 3)) & 1) ? ones : 0;  // pen bit 1
    uint32_t x1 = ((code >> 2) & 1) ? ones : 0;
    pixel &= valueMask;
    *andMask = ((pixel & a1) | (~pixel & a0)) & valueMask;
    *xorMask = ((pixel & x1) | (~pixel & x0)) & valueMask;
}

uint32_t SolidPixel(const DC& dc, const Surface& surface, COLORREF color) {
    if (surface.monoDdb) {
        uint32_t bk = ColorRefToPixel(surface, dc.state.bkColor);
        return ((color ^ dc.state.bkColor) & 0xFFFFFF) == 0 ? bk : (bk ^ 1u);
    }
    return ColorRefToPixel(surface, color);
}

// ---- Target ---------------------------------------------------------------------------

Target::Target(DC& d) : dc(d) {
    std::vector<RECT> base;
    POINT dcOrigin = {0, 0};
    if (d.IsDisplay()) {
        buffer_ = &platform::Screen();
        screenLock_ = std::unique_lock<std::recursive_mutex>(buffer_->lock);
        surface = ScreenSurface();
        RECT screenRect = {0, 0, surface.width, surface.height};
        std::lock_guard<std::mutex> guard(d.regionLock);
        dcOrigin = d.origin;
        base = IntersectRegion(d.visible, {screenRect});
    } else {
        if (!d.state.bitmapObject) return;
        if (d.external) {
            // An external display's pixels stand as the DC's bitmap; drawing
            // holds the display's lock and reports what changed.
            external_ = d.external;
            buffer_ = &external_->buffer;
            screenLock_ = std::unique_lock<std::recursive_mutex>(buffer_->lock);
        }
        surface = d.state.bitmapObject->surface;
        base.push_back(RECT{0, 0, surface.width, surface.height});
    }
    if (!surface.bits) return;
    offset = {d.state.viewportOrg.x + dcOrigin.x, d.state.viewportOrg.y + dcOrigin.y};
    if (d.state.hasClip) {
        std::vector<RECT> user = d.state.clip;
        for (RECT& r : user) r = OffsetRectBy(r, dcOrigin.x, dcOrigin.y);
        clip = IntersectRegion(base, user);
    } else {
        clip = std::move(base);
    }
    clipBounds = RegionBounds(clip);
    ok_ = true;
}

Target::~Target() {
    if (buffer_ && !EmptyRect(dirty_)) platform::MarkDirty(*buffer_, dirty_);
}

void Target::Touch(const RECT& r) {
    if (!buffer_ || EmptyRect(r)) return;
    if (EmptyRect(dirty_)) {
        dirty_ = r;
        return;
    }
    if (r.left < dirty_.left) dirty_.left = r.left;
    if (r.top < dirty_.top) dirty_.top = r.top;
    if (r.right > dirty_.right) dirty_.right = r.right;
    if (r.bottom > dirty_.bottom) dirty_.bottom = r.bottom;
}

bool Target::Visible(int x, int y) const {
    if (x < clipBounds.left || x >= clipBounds.right || y < clipBounds.top ||
        y >= clipBounds.bottom)
        return false;
    for (const RECT& r : clip)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

void Target::FillRect(const RECT& area, uint32_t andMask, uint32_t xorMask) {
    const FormatOps& ops = Ops(surface.format);
    for (const RECT& c : clip) {
        RECT r = IntersectRects(area, c);
        if (EmptyRect(r)) continue;
        for (int y = r.top; y < r.bottom; ++y)
            ops.fill(surface.Row(y), r.left, r.right - r.left, andMask, xorMask);
        Touch(r);
    }
}

void Target::FillSpan(int y, int x0, int x1, uint32_t andMask, uint32_t xorMask) {
    if (y < clipBounds.top || y >= clipBounds.bottom || x0 >= x1) return;
    FillRect(RECT{x0, y, x1, y + 1}, andMask, xorMask);
}

void Target::Pixel(int x, int y, uint32_t andMask, uint32_t xorMask) {
    if (!Visible(x, y)) return;
    const FormatOps& ops = Ops(surface.format);
    uint8_t* row = surface.Row(y);
    ops.put(row, x, (ops.get(row, x) & andMask) ^ xorMask);
    Touch(RECT{x, y, x + 1, y + 1});
}

namespace {

void InitState(DcState& s) {
    s = DcState{};
    s.pen = static_cast<HPEN>(StockHandle(BLACK_PEN));
    s.penObject = std::static_pointer_cast<Pen>(StockObject(BLACK_PEN));
    s.brush = static_cast<HBRUSH>(StockHandle(WHITE_BRUSH));
    s.brushObject = std::static_pointer_cast<Brush>(StockObject(WHITE_BRUSH));
    s.font = static_cast<HFONT>(StockHandle(SYSTEM_FONT));
    s.fontObject = std::static_pointer_cast<Font>(StockObject(SYSTEM_FONT));
}

HDC InsertDC(const std::shared_ptr<DC>& dc) {
    HDC h = static_cast<HDC>(InsertObject(dc));
    dc->handle = h;
    return h;
}

// Adjusts selection counts when a DC lets go of one object and takes another.
void Reselect(const std::shared_ptr<Object>& oldObject, const std::shared_ptr<Object>& newObject) {
    std::lock_guard<std::recursive_mutex> guard(TableLock());
    if (oldObject && oldObject->selectCount > 0) --oldObject->selectCount;
    if (newObject) ++newObject->selectCount;
}

void ReleaseSelections(DC& dc) {
    std::lock_guard<std::recursive_mutex> guard(TableLock());
    DcState& s = dc.state;
    for (Object* o :
         {static_cast<Object*>(s.penObject.get()), static_cast<Object*>(s.brushObject.get()),
          static_cast<Object*>(s.fontObject.get())})
        if (o && o->selectCount > 0) --o->selectCount;
    if (s.bitmapObject && !s.bitmapObject->stock && s.bitmapObject->selectedInto == dc.handle)
        s.bitmapObject->selectedInto = nullptr;
}

// The DC's whole drawable area in device coordinates (what an absent clip
// region means).
std::vector<RECT> DeviceArea(DC& dc) {
    if (dc.IsDisplay()) {
        std::lock_guard<std::mutex> guard(dc.regionLock);
        std::vector<RECT> area = dc.visible;
        for (RECT& r : area) r = OffsetRectBy(r, -dc.origin.x, -dc.origin.y);
        return area;
    }
    if (!dc.state.bitmapObject) return {};
    const Surface& s = dc.state.bitmapObject->surface;
    return {RECT{0, 0, s.width, s.height}};
}

// The clip that drawing uses, in device coordinates.
std::vector<RECT> EffectiveClip(DC& dc) {
    std::vector<RECT> area = DeviceArea(dc);
    if (!dc.state.hasClip) return area;
    return IntersectRegion(area, dc.state.clip);
}

int SetClip(DC& dc, std::vector<RECT> rects) {
    CoalesceRegion(rects);
    dc.state.hasClip = true;
    dc.state.clip = std::move(rects);
    return RegionType(EffectiveClip(dc));
}

}  // namespace

}  // namespace gdi

using namespace gdi;

// ---- Display DCs for the window manager -------------------------------------------------

namespace platform {

HDC CreateDisplayDC(HWND window, POINT origin, const std::vector<RECT>& visibleRegion) {
    auto dc = std::make_shared<DC>(true);
    InitState(dc->state);
    dc->window = window;
    dc->origin = origin;
    for (const RECT& r : visibleRegion)
        if (!EmptyRect(r)) dc->visible.push_back(r);
    return InsertDC(dc);
}

void SetDisplayDCRegion(HDC handle, POINT origin, const std::vector<RECT>& visibleRegion) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !dc->IsDisplay()) return;
    std::lock_guard<std::mutex> guard(dc->regionLock);
    dc->origin = origin;
    dc->visible.clear();
    for (const RECT& r : visibleRegion)
        if (!EmptyRect(r)) dc->visible.push_back(r);
}

void DeleteDisplayDC(HDC handle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !dc->IsDisplay()) return;
    ReleaseSelections(*dc);
    RemoveObject(handle);
}

HWND WindowFromDisplayDC(HDC handle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    return dc && dc->IsDisplay() ? dc->window : nullptr;
}

}  // namespace platform

// ---- Memory DCs ---------------------------------------------------------------------------

HDC CreateCompatibleDC(HDC dc) {
    if (dc && !LookupDC(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto memory = std::make_shared<DC>(false);
    InitState(memory->state);
    memory->state.bitmap = StockBitmapHandle();
    memory->state.bitmapObject = Lookup<Bitmap>(memory->state.bitmap);
    return InsertDC(memory);
}

BOOL DeleteDC(HDC handle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    // Window DCs go back through ReleaseDC/EndPaint.
    if (dc->IsDisplay()) return FALSE;
    ReleaseSelections(*dc);
    if (!RemoveObject(handle)) return FALSE;
    // An external display closes with its context, then its driver goes.
    if (dc->external) platform::CloseExternalDisplay(dc->external->id);
    if (dc->driver) FreeLibrary(dc->driver);
    return TRUE;
}

// ---- External displays --------------------------------------------------------------------

HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR output, const DEVMODEW* mode) {
    if (!driver || !*driver) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HMODULE module = LoadLibraryW(driver);
    if (!module) return nullptr;
    // Through a plain function type: FARPROC and the entry's type are unrelated.
    auto entry = reinterpret_cast<DisplayDriverEntry>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, kDisplayDriverEntry)));
    int id = entry ? entry(device, output, mode) : 0;
    std::shared_ptr<platform::ExternalDisplay> display = id ? platform::FindExternalDisplay(id) : nullptr;
    if (!display) {
        if (id) platform::CloseExternalDisplay(id);
        FreeLibrary(module);
        SetLastError(entry ? ERROR_NOT_SUPPORTED : ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    auto dc = std::make_shared<DC>(false);
    InitState(dc->state);
    dc->external = display;
    dc->driver = module;
    // The display's pixels stand as the DC's bitmap, so that everything a
    // memory DC does (compatible bitmaps, reading pixels, blits from it)
    // works on it; drawing goes through the display's lock (Target).
    auto pixels = std::make_shared<Bitmap>();
    platform::FrameBuffer& fb = display->buffer;
    pixels->stock = true;  // never freed or selected elsewhere
    pixels->surface.bits = fb.pixels.data();
    pixels->surface.stride = fb.pitch;
    pixels->surface.width = fb.width;
    pixels->surface.height = fb.height;
    pixels->surface.format = Format::Rgb565;
    pixels->bitsPerPixel = 16;
    pixels->widthBytes = fb.pitch;
    dc->state.bitmap = nullptr;
    dc->state.bitmapObject = pixels;
    return InsertDC(dc);
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Object> o = LookupObject(object);
    if (!dc || !o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    DcState& s = dc->state;
    switch (o->kind) {
        case Kind::Pen: {
            HGDIOBJ previous = s.pen;
            Reselect(s.penObject, o);
            s.pen = static_cast<HPEN>(object);
            s.penObject = std::static_pointer_cast<Pen>(o);
            return previous;
        }
        case Kind::Brush: {
            HGDIOBJ previous = s.brush;
            Reselect(s.brushObject, o);
            s.brush = static_cast<HBRUSH>(object);
            s.brushObject = std::static_pointer_cast<Brush>(o);
            return previous;
        }
        case Kind::Font: {
            HGDIOBJ previous = s.font;
            Reselect(s.fontObject, o);
            s.font = static_cast<HFONT>(object);
            s.fontObject = std::static_pointer_cast<Font>(o);
            return previous;
        }
        case Kind::Bitmap: {
            if (dc->IsDisplay() || dc->external) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return nullptr;
            }
            auto bitmap = std::static_pointer_cast<Bitmap>(o);
            std::lock_guard<std::recursive_mutex> guard(TableLock());
            // A bitmap can be selected into one DC at a time.
            if (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != handle)
                return nullptr;
            HGDIOBJ previous = s.bitmap;
            if (s.bitmapObject && !s.bitmapObject->stock && s.bitmapObject->selectedInto == handle)
                s.bitmapObject->selectedInto = nullptr;
            if (!bitmap->stock) bitmap->selectedInto = handle;
            s.bitmap = static_cast<HBITMAP>(object);
            s.bitmapObject = bitmap;
            return previous;
        }
        case Kind::Region: {
            int type = SelectClipRgn(handle, static_cast<HRGN>(object));
            return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
        }
        default:
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
    }
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return nullptr;
    switch (type) {
        case OBJ_PEN:
            return dc->state.pen;
        case OBJ_BRUSH:
            return dc->state.brush;
        case OBJ_FONT:
            return dc->state.font;
        case OBJ_BITMAP:
            return dc->state.bitmap;
        default:
            return nullptr;
    }
}

int SaveDC(HDC handle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return 0;
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC handle, int savedDC) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    int count = static_cast<int>(dc->saved.size());
    int level = savedDC < 0 ? count + savedDC + 1 : savedDC;
    if (level < 1 || level > count) return FALSE;
    DcState restored = dc->saved[static_cast<size_t>(level - 1)];
    dc->saved.resize(static_cast<size_t>(level - 1));
    DcState& s = dc->state;
    Reselect(s.penObject, restored.penObject);
    Reselect(s.brushObject, restored.brushObject);
    Reselect(s.fontObject, restored.fontObject);
    if (!dc->IsDisplay() && restored.bitmapObject != s.bitmapObject) {
        std::lock_guard<std::recursive_mutex> guard(TableLock());
        if (s.bitmapObject && !s.bitmapObject->stock && s.bitmapObject->selectedInto == handle)
            s.bitmapObject->selectedInto = nullptr;
        if (restored.bitmapObject && !restored.bitmapObject->stock) {
            if (restored.bitmapObject->selectedInto &&
                restored.bitmapObject->selectedInto != handle) {
                restored.bitmap = StockBitmapHandle();
                restored.bitmapObject = Lookup<Bitmap>(restored.bitmap);
            } else {
                restored.bitmapObject->selectedInto = handle;
            }
        }
    }
    s = std::move(restored);
    return TRUE;
}

// ---- Attributes ---------------------------------------------------------------------------

namespace {

template <class T, class F>
T Exchange(HDC handle, T failure, F&& change) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return failure;
    return change(dc->state);
}

}  // namespace

COLORREF SetTextColor(HDC dc, COLORREF color) {
    return Exchange(dc, CLR_INVALID, [&](DcState& s) {
        COLORREF old = s.textColor;
        s.textColor = color;
        return old;
    });
}
COLORREF GetTextColor(HDC dc) {
    return Exchange(dc, CLR_INVALID, [](DcState& s) { return s.textColor; });
}
COLORREF SetBkColor(HDC dc, COLORREF color) {
    return Exchange(dc, CLR_INVALID, [&](DcState& s) {
        COLORREF old = s.bkColor;
        s.bkColor = color;
        return old;
    });
}
COLORREF GetBkColor(HDC dc) {
    return Exchange(dc, CLR_INVALID, [](DcState& s) { return s.bkColor; });
}
int SetBkMode(HDC dc, int mode) {
    if (mode != OPAQUE && mode != TRANSPARENT) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Exchange(dc, 0, [&](DcState& s) {
        int old = s.bkMode;
        s.bkMode = mode;
        return old;
    });
}
int GetBkMode(HDC dc) {
    return Exchange(dc, 0, [](DcState& s) { return s.bkMode; });
}
int SetROP2(HDC dc, int mode) {
    if (mode < R2_BLACK || mode > R2_WHITE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Exchange(dc, 0, [&](DcState& s) {
        int old = s.rop2;
        s.rop2 = mode;
        return old;
    });
}
int GetROP2(HDC dc) {
    return Exchange(dc, 0, [](DcState& s) { return s.rop2; });
}
UINT SetTextAlign(HDC dc, UINT align) {
    return Exchange(dc, static_cast<UINT>(0xFFFFFFFF), [&](DcState& s) {
        UINT old = s.textAlign;
        s.textAlign = align;
        return old;
    });
}
UINT GetTextAlign(HDC dc) {
    return Exchange(dc, static_cast<UINT>(0xFFFFFFFF), [](DcState& s) { return s.textAlign; });
}
int SetStretchBltMode(HDC dc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return Exchange(dc, 0, [&](DcState& s) {
        int old = s.stretchMode;
        s.stretchMode = mode;
        return old;
    });
}
int GetStretchBltMode(HDC dc) {
    return Exchange(dc, 0, [](DcState& s) { return s.stretchMode; });
}

BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    return Exchange(dc, FALSE, [&](DcState& s) {
        if (previous) *previous = s.viewportOrg;
        s.viewportOrg = {x, y};
        return TRUE;
    });
}
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin) {
    if (!origin) return FALSE;
    return Exchange(dc, FALSE, [&](DcState& s) {
        *origin = s.viewportOrg;
        return TRUE;
    });
}
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous) {
    return Exchange(dc, FALSE, [&](DcState& s) {
        if (previous) *previous = s.viewportOrg;
        s.viewportOrg.x += dx;
        s.viewportOrg.y += dy;
        return TRUE;
    });
}
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous) {
    return Exchange(dc, FALSE, [&](DcState& s) {
        if (previous) *previous = s.brushOrg;
        s.brushOrg = {x, y};
        return TRUE;
    });
}
BOOL GetCurrentPositionEx(HDC dc, LPPOINT position) {
    if (!position) return FALSE;
    return Exchange(dc, FALSE, [&](DcState& s) {
        *position = s.position;
        return TRUE;
    });
}

COLORREF GetNearestColor(HDC handle, COLORREF color) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return CLR_INVALID;
    Surface s;
    if (dc->IsDisplay()) {
        s.format = ScreenFormat();
    } else {
        if (!dc->state.bitmapObject) return CLR_INVALID;
        s = dc->state.bitmapObject->surface;
    }
    return ColorRefFromRgb(PixelToRgb(s, ColorRefToPixel(s, color)));
}

int GetDeviceCaps(HDC handle, int index) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return 0;
    platform::FrameBuffer& fb = dc->external ? dc->external->buffer : platform::Screen();
    int width, height, bpp;
    {
        std::lock_guard<std::recursive_mutex> guard(fb.lock);
        width = fb.width;
        height = fb.height;
        bpp = fb.bitsPerPixel;
    }
    // Screens of 480 pixels and more across their short side show the
    // interface at twice the size, as high-resolution handhelds did: 192
    // logical dots per inch, so point sizes and dialog units double too.
    const int kDpi = std::min(width, height) >= 480 ? 192 : 96;
    switch (index) {
        case DRIVERVERSION:
            return 0x0400;
        case TECHNOLOGY:
            return DT_RASDISPLAY;
        case HORZSIZE:
            return (width * 254 + kDpi * 5) / (kDpi * 10);
        case VERTSIZE:
            return (height * 254 + kDpi * 5) / (kDpi * 10);
        case HORZRES:
            return width;
        case VERTRES:
            return height;
        case BITSPIXEL:
            return bpp;
        case PLANES:
            return 1;
        case NUMBRUSHES:
            return -1;
        case NUMPENS:
            return -1;
        case NUMFONTS:
            return 0;
        case NUMCOLORS:
            return -1;  // more than 256 colours
        case ASPECTX:
            return 36;
        case ASPECTY:
            return 36;
        case ASPECTXY:
            return 51;
        case LOGPIXELSX:
            return kDpi;
        case LOGPIXELSY:
            return kDpi;
        case SIZEPALETTE:
            return 0;
        case NUMRESERVED:
            return 0;
        case COLORRES:
            return bpp == 16 ? 16 : 24;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
                   RC_STRETCHDIB;
        case CURVECAPS:
            return 0x01 | 0x08;  // circles, ellipses
        case LINECAPS:
            return 0x02 | 0x04;  // polylines, wide lines
        case POLYGONALCAPS:
            return 0x01 | 0x02;  // polygons, rectangles
        case TEXTCAPS:
            return 0;
        case CLIPCAPS:
            return CP_RECTANGLE;
        case PHYSICALWIDTH:
        case PHYSICALHEIGHT:
        case PHYSICALOFFSETX:
        case PHYSICALOFFSETY:
            return 0;
        case SHADEBLENDCAPS:
            return 0;
        default:
            return 0;
    }
}

// ---- Clipping ----------------------------------------------------------------------------

int SelectClipRgn(HDC dc, HRGN region) {
    return ExtSelectClipRgn(dc, region, RGN_COPY);
}

int ExtSelectClipRgn(HDC handle, HRGN region, int mode) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return ERROR;
    if (!region) {
        if (mode != RGN_COPY) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
        }
        dc->state.hasClip = false;
        dc->state.clip.clear();
        return RegionType(EffectiveClip(*dc));
    }
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    std::vector<RECT> current = dc->state.hasClip ? dc->state.clip : DeviceArea(*dc);
    switch (mode) {
        case RGN_COPY:
            return SetClip(*dc, r->rects);
        case RGN_AND:
            return SetClip(*dc, IntersectRegion(current, r->rects));
        case RGN_OR:
            return SetClip(*dc, UnionRegion(current, r->rects));
        case RGN_XOR:
            return SetClip(*dc, XorRegion(current, r->rects));
        case RGN_DIFF:
            return SetClip(*dc, SubtractRegion(current, r->rects));
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
    }
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return ERROR;
    RECT r = NormalizedRect(left, top, right, bottom);
    r = OffsetRectBy(r, dc->state.viewportOrg.x, dc->state.viewportOrg.y);
    std::vector<RECT> rect;
    if (!EmptyRect(r)) rect.push_back(r);
    if (!dc->state.hasClip) return SetClip(*dc, rect);
    return SetClip(*dc, IntersectRegion(dc->state.clip, rect));
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return ERROR;
    RECT r = NormalizedRect(left, top, right, bottom);
    r = OffsetRectBy(r, dc->state.viewportOrg.x, dc->state.viewportOrg.y);
    std::vector<RECT> current = dc->state.hasClip ? dc->state.clip : DeviceArea(*dc);
    if (EmptyRect(r)) return SetClip(*dc, current);
    return SetClip(*dc, SubtractRegion(current, {r}));
}

int GetClipBox(HDC handle, LPRECT rect) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    std::vector<RECT> clip = EffectiveClip(*dc);
    RECT box = RegionBounds(clip);
    if (clip.empty()) {
        *rect = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    *rect = OffsetRectBy(box, -dc->state.viewportOrg.x, -dc->state.viewportOrg.y);
    return RegionType(clip);
}

int GetClipRgn(HDC handle, HRGN region) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!dc || !r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (!dc->state.hasClip) return 0;
    r->rects = dc->state.clip;
    return 1;
}
