// System colours and the drawing helpers that controls use: DrawEdge,
// DrawFrameControl (buttons, check boxes, radio buttons, scroll arrows, menu
// marks, caption buttons), and icons (CreateIconIndirect, DrawIconEx).
// The colours are the Pocket PC scheme: white windows and dialogs, grey
// button faces, navy highlight.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "gdi/paint.h"

using namespace gdi;

namespace {

COLORREF g_sysColors[C_SYS_COLOR_TYPES] = {
    RGB(192, 192, 192),  // COLOR_SCROLLBAR
    RGB(255, 255, 255),  // COLOR_BACKGROUND
    RGB(0, 0, 128),      // COLOR_ACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_INACTIVECAPTION
    RGB(255, 255, 255),  // COLOR_MENU
    RGB(255, 255, 255),  // COLOR_WINDOW
    RGB(0, 0, 0),        // COLOR_WINDOWFRAME
    RGB(0, 0, 0),        // COLOR_MENUTEXT
    RGB(0, 0, 0),        // COLOR_WINDOWTEXT
    RGB(255, 255, 255),  // COLOR_CAPTIONTEXT
    RGB(192, 192, 192),  // COLOR_ACTIVEBORDER
    RGB(192, 192, 192),  // COLOR_INACTIVEBORDER
    RGB(128, 128, 128),  // COLOR_APPWORKSPACE
    RGB(0, 0, 128),      // COLOR_HIGHLIGHT
    RGB(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    RGB(192, 192, 192),  // COLOR_BTNFACE
    RGB(128, 128, 128),  // COLOR_BTNSHADOW
    RGB(128, 128, 128),  // COLOR_GRAYTEXT
    RGB(0, 0, 0),        // COLOR_BTNTEXT
    RGB(192, 192, 192),  // COLOR_INACTIVECAPTIONTEXT
    RGB(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    RGB(0, 0, 0),        // COLOR_3DDKSHADOW
    RGB(224, 224, 224),  // COLOR_3DLIGHT
    RGB(0, 0, 0),        // COLOR_INFOTEXT
    RGB(255, 255, 225),  // COLOR_INFOBK
    RGB(255, 255, 255),  // COLOR_STATIC (dialog backgrounds)
    RGB(0, 0, 0),        // COLOR_STATICTEXT
    RGB(0, 0, 128),      // COLOR_GRADIENTACTIVECAPTION
    RGB(128, 128, 128),  // COLOR_GRADIENTINACTIVECAPTION
};

std::mutex g_sysColorLock;
HBRUSH g_sysBrushes[C_SYS_COLOR_TYPES] = {};

int ColorIndex(int index) {
    int i = index & ~SYS_COLOR_INDEX_FLAG;
    return i >= 0 && i < C_SYS_COLOR_TYPES ? i : -1;
}

COLORREF Sys(int index) {
    int i = ColorIndex(index);
    std::lock_guard<std::mutex> guard(g_sysColorLock);
    return i < 0 ? 0 : g_sysColors[i];
}

// Fills a surface rectangle with a colour through the target's clip.
void Fill(Target& t, const RECT& r, COLORREF color) {
    if (EmptyRect(r)) return;
    t.FillRect(r, 0, SolidPixel(t.dc, t.surface, color));
}

void FillSpans(Target& t, int top, const std::vector<int>& left, const std::vector<int>& right,
               COLORREF color) {
    uint32_t v = SolidPixel(t.dc, t.surface, color);
    for (size_t i = 0; i < left.size(); ++i)
        if (left[i] <= right[i]) t.FillSpan(top + static_cast<int>(i), left[i], right[i] + 1, 0, v);
}

// Edge colours of one layer: top-left and bottom-right.
struct EdgeColors {
    int lt = -1;
    int rb = -1;
};

EdgeColors LayerColors(UINT bits, bool outer, UINT flags) {
    EdgeColors c;
    if (!bits) return c;
    if (flags & BF_MONO) {
        c.lt = c.rb = outer ? COLOR_WINDOWFRAME : COLOR_WINDOW;
        return c;
    }
    if (flags & BF_FLAT) {
        c.lt = c.rb = outer ? COLOR_BTNSHADOW : COLOR_BTNFACE;
        return c;
    }
    bool raised = outer ? (bits & BDR_RAISEDOUTER) != 0 : (bits & BDR_RAISEDINNER) != 0;
    bool soft = (flags & BF_SOFT) != 0;
    if (outer) {
        if (raised) {
            c.lt = soft ? COLOR_BTNHIGHLIGHT : COLOR_3DLIGHT;
            c.rb = COLOR_3DDKSHADOW;
        } else {
            c.lt = soft ? COLOR_3DDKSHADOW : COLOR_BTNSHADOW;
            c.rb = COLOR_BTNHIGHLIGHT;
        }
    } else {
        if (raised) {
            c.lt = soft ? COLOR_3DLIGHT : COLOR_BTNHIGHLIGHT;
            c.rb = COLOR_BTNSHADOW;
        } else {
            c.lt = soft ? COLOR_BTNSHADOW : COLOR_3DDKSHADOW;
            c.rb = COLOR_3DLIGHT;
        }
    }
    return c;
}

// Draws the edges on a surface rectangle and returns what is inside them.
RECT DrawEdgeOn(Target& t, RECT r, UINT edge, UINT flags) {
    EdgeColors layers[2] = {LayerColors(edge & BDR_OUTER, true, flags),
                            LayerColors(edge & BDR_INNER, false, flags)};
    for (const EdgeColors& c : layers) {
        if (c.lt < 0) continue;
        COLORREF lt = Sys(c.lt), rb = Sys(c.rb);
        // Top and left first; bottom and right own the far corners.
        if (flags & BF_TOP) Fill(t, RECT{r.left, r.top, r.right, r.top + 1}, lt);
        if (flags & BF_LEFT) Fill(t, RECT{r.left, r.top, r.left + 1, r.bottom}, lt);
        if (flags & BF_BOTTOM) Fill(t, RECT{r.left, r.bottom - 1, r.right, r.bottom}, rb);
        if (flags & BF_RIGHT) Fill(t, RECT{r.right - 1, r.top, r.right, r.bottom}, rb);
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_BOTTOM) --r.bottom;
        if (flags & BF_RIGHT) --r.right;
    }
    if (flags & BF_MIDDLE) Fill(t, r, Sys((flags & BF_MONO) ? COLOR_WINDOW : COLOR_BTNFACE));
    return r;
}

// A square of the largest size that fits, centred in r.
RECT CentredSquare(const RECT& r, int maxSide = 1 << 20) {
    int side =
        std::min({static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top), maxSide});
    int x = r.left + (r.right - r.left - side) / 2, y = r.top + (r.bottom - r.top - side) / 2;
    return RECT{x, y, x + side, y + side};
}

// The check mark: a thick "V" whose short arm starts at 15% of the width.
void DrawTick(Target& t, const RECT& box, COLORREF color) {
    int w = box.right - box.left, h = box.bottom - box.top;
    if (w < 3 || h < 3) return;
    int thickness = std::max(2, h * 3 / 8);
    uint32_t v = SolidPixel(t.dc, t.surface, color);
    double x0 = box.left + w * 0.1, xm = box.left + w * 0.4, x1 = box.left + w * 0.9;
    double y0 = box.top + h * 0.45, ym = box.top + h * 0.85 - thickness + 1, y1 = box.top + h * 0.1;
    for (int x = static_cast<int>(std::ceil(x0)); x < x1; ++x) {
        double y =
            x <= xm ? y0 + (x - x0) * (ym - y0) / (xm - x0) : ym + (x - xm) * (y1 - ym) / (x1 - xm);
        int top = static_cast<int>(std::lround(y));
        t.FillRect(RECT{x, top, x + 1, top + thickness}, 0, v);
    }
}

enum class Arrow { Up, Down, Left, Right };

void DrawArrow(Target& t, const RECT& r, Arrow dir, COLORREF color) {
    int w = r.right - r.left, h = r.bottom - r.top;
    int size = std::max(1, std::min(w, h) / 3);  // rows of the triangle
    uint32_t v = SolidPixel(t.dc, t.surface, color);
    int cx = r.left + w / 2, cy = r.top + h / 2;
    for (int i = 0; i < size; ++i) {
        // Row i of the triangle has 2 * i + 1 pixels, the tip first.
        switch (dir) {
            case Arrow::Up:
                t.FillSpan(cy - size / 2 + i, cx - i, cx + i + 1, 0, v);
                break;
            case Arrow::Down:
                t.FillSpan(cy + size / 2 - i, cx - i, cx + i + 1, 0, v);
                break;
            case Arrow::Left:
                t.FillRect(RECT{cx - size / 2 + i, cy - i, cx - size / 2 + i + 1, cy + i + 1}, 0,
                           v);
                break;
            case Arrow::Right:
                t.FillRect(RECT{cx + size / 2 - i, cy - i, cx + size / 2 - i + 1, cy + i + 1}, 0,
                           v);
                break;
        }
    }
}

// Spans of the ellipse in box (inclusive [left, right] per row).
void Circle(const RECT& box, std::vector<int>& left, std::vector<int>& right) {
    left.clear();
    right.clear();
    double w = box.right - box.left, h = box.bottom - box.top;
    double cx = box.left + w / 2, cy = box.top + h / 2;
    for (int y = box.top; y < box.bottom; ++y) {
        double dy = (y + 0.5 - cy) / (h / 2);
        double ext = (w / 2) * std::sqrt(std::max(0.0, 1 - dy * dy));
        int l = static_cast<int>(std::ceil(cx - ext - 0.5)),
            r = static_cast<int>(std::floor(cx + ext - 0.5));
        if (l > r) {
            l = static_cast<int>(std::floor(cx - 0.5));
            r = static_cast<int>(std::ceil(cx - 0.5));
        }
        left.push_back(l);
        right.push_back(r);
    }
}

void DrawRadio(Target& t, const RECT& r, UINT state) {
    RECT box = CentredSquare(r);
    if (box.right - box.left < 4) return;
    bool flat = (state & (DFCS_FLAT | DFCS_MONO)) != 0;
    std::vector<int> l, rr;
    Circle(box, l, rr);
    double c = box.left + (box.right - box.left) / 2.0 + box.top + (box.bottom - box.top) / 2.0;
    // The ring: shadow on the upper left half, light on the lower right.
    uint32_t dark = SolidPixel(t.dc, t.surface, Sys(flat ? COLOR_WINDOWFRAME : COLOR_BTNSHADOW));
    uint32_t light =
        SolidPixel(t.dc, t.surface, Sys(flat ? COLOR_WINDOWFRAME : COLOR_BTNHIGHLIGHT));
    for (size_t i = 0; i < l.size(); ++i) {
        int y = box.top + static_cast<int>(i);
        for (int x = l[i]; x <= rr[i]; ++x) t.Pixel(x, y, 0, x + y + 1 < c ? dark : light);
    }
    RECT inner = {box.left + 1, box.top + 1, box.right - 1, box.bottom - 1};
    Circle(inner, l, rr);
    COLORREF face =
        (state & (DFCS_INACTIVE | DFCS_PUSHED)) ? Sys(COLOR_BTNFACE) : Sys(COLOR_WINDOW);
    FillSpans(t, inner.top, l, rr, face);
    if (state & DFCS_CHECKED) {
        int side = box.right - box.left;
        int inset = std::max(2, side * 3 / 10);
        RECT dot = {box.left + inset, box.top + inset, box.right - inset, box.bottom - inset};
        Circle(dot, l, rr);
        FillSpans(t, dot.top, l, rr,
                  Sys((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    }
}

void DrawCheckBox(Target& t, const RECT& r, UINT state) {
    RECT box = CentredSquare(r);
    if (box.right - box.left < 3) return;
    UINT edgeFlags = BF_RECT | BF_ADJUST;
    if (state & DFCS_FLAT) edgeFlags |= BF_FLAT;
    if (state & DFCS_MONO) edgeFlags |= BF_MONO;
    RECT inside = DrawEdgeOn(t, box, EDGE_SUNKEN, edgeFlags);
    bool grey = (state & (DFCS_INACTIVE | DFCS_PUSHED)) != 0;
    Fill(t, inside, Sys(grey ? COLOR_BTNFACE : COLOR_WINDOW));
    if (state & DFCS_CHECKED) {
        bool third = (state & DFCS_BUTTON3STATE) != 0;
        COLORREF mark = Sys((state & DFCS_INACTIVE) || third ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT);
        RECT m = {inside.left + 1, inside.top + 1, inside.right - 1, inside.bottom - 1};
        DrawTick(t, m, mark);
    }
}

RECT DrawButtonFace(Target& t, const RECT& r, UINT state) {
    bool down = (state & (DFCS_PUSHED | DFCS_CHECKED)) != 0;
    UINT flags = BF_RECT | BF_SOFT | BF_MIDDLE | BF_ADJUST;
    if (state & DFCS_FLAT) flags |= BF_FLAT;
    if (state & DFCS_MONO) flags |= BF_MONO;
    RECT inside = DrawEdgeOn(t, r, down ? EDGE_SUNKEN : EDGE_RAISED, flags);
    if ((state & DFCS_CHECKED) && !(state & DFCS_PUSHED)) Fill(t, inside, Sys(COLOR_3DLIGHT));
    return inside;
}

}  // namespace

HBRUSH gdi::SysColorBrushHandle(int index) {
    int i = ColorIndex(index);
    if (i < 0) return nullptr;
    std::lock_guard<std::mutex> guard(g_sysColorLock);
    if (!g_sysBrushes[i]) {
        auto b = std::make_shared<Brush>();
        b->log.lbStyle = BS_SOLID;
        b->log.lbColor = g_sysColors[i];
        b->stock = true;  // owned by the system: DeleteObject leaves it
        g_sysBrushes[i] = static_cast<HBRUSH>(InsertObject(b));
    }
    return g_sysBrushes[i];
}

DWORD GetSysColor(int index) {
    return Sys(index);
}

HBRUSH GetSysColorBrush(int index) {
    return SysColorBrushHandle(index);
}

BOOL SetSysColors(int count, const INT* indices, const COLORREF* colors) {
    if (count < 0 || (count > 0 && (!indices || !colors))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (int k = 0; k < count; ++k) {
        int i = ColorIndex(indices[k]);
        if (i < 0) continue;
        HBRUSH brush;
        {
            std::lock_guard<std::mutex> guard(g_sysColorLock);
            g_sysColors[i] = colors[k] & 0xFFFFFF;
            brush = g_sysBrushes[i];
        }
        if (std::shared_ptr<Brush> b = Lookup<Brush>(brush)) b->log.lbColor = colors[k] & 0xFFFFFF;
    }
    return TRUE;
}

BOOL DrawEdge(HDC handle, LPRECT rect, UINT edge, UINT flags) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (flags & BF_DIAGONAL) return TRUE;  // diagonal edges are not used on the device
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT inside = DrawEdgeOn(t, t.ToSurface(*rect), edge, flags);
    if (flags & BF_ADJUST) *rect = OffsetRectBy(inside, -t.offset.x, -t.offset.y);
    return TRUE;
}

BOOL DrawFrameControl(HDC handle, LPRECT rect, UINT type, UINT state) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT r = t.ToSurface(*rect);
    COLORREF glyph = Sys((state & DFCS_INACTIVE) ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    switch (type) {
        case DFC_BUTTON:
            if (state & DFCS_BUTTONPUSH) {
                RECT inside = DrawButtonFace(t, r, state);
                if (state & DFCS_ADJUSTRECT) *rect = OffsetRectBy(inside, -t.offset.x, -t.offset.y);
            } else if (state & (DFCS_BUTTONRADIO | DFCS_BUTTONRADIOIMAGE | DFCS_BUTTONRADIOMASK)) {
                DrawRadio(t, r, state);
            } else {
                DrawCheckBox(t, r, state);
            }
            return TRUE;
        case DFC_SCROLL: {
            RECT inside = DrawButtonFace(t, r, (state & DFCS_PUSHED) ? (state | DFCS_FLAT) : state);
            if (state & DFCS_PUSHED) inside = OffsetRectBy(inside, 1, 1);
            switch (state & 0x1F) {
                case DFCS_SCROLLUP:
                    DrawArrow(t, inside, Arrow::Up, glyph);
                    break;
                case DFCS_SCROLLDOWN:
                case DFCS_SCROLLCOMBOBOX:
                    DrawArrow(t, inside, Arrow::Down, glyph);
                    break;
                case DFCS_SCROLLLEFT:
                    DrawArrow(t, inside, Arrow::Left, glyph);
                    break;
                case DFCS_SCROLLRIGHT:
                    DrawArrow(t, inside, Arrow::Right, glyph);
                    break;
                default:
                    break;
            }
            return TRUE;
        }
        case DFC_MENU: {
            COLORREF mark = Sys(COLOR_MENUTEXT);
            RECT box = CentredSquare(r);
            switch (state & 0xFF) {
                case DFCS_MENUCHECK:
                    DrawTick(t, RECT{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1},
                             mark);
                    break;
                case DFCS_MENUBULLET: {
                    int inset = (box.right - box.left) / 3;
                    RECT dot = {box.left + inset, box.top + inset, box.right - inset,
                                box.bottom - inset};
                    std::vector<int> l, rr;
                    Circle(dot, l, rr);
                    FillSpans(t, dot.top, l, rr, mark);
                    break;
                }
                case DFCS_MENUARROW:
                case DFCS_MENUARROWRIGHT:
                    DrawArrow(t, box, Arrow::Right, mark);
                    break;
                default:
                    break;
            }
            return TRUE;
        }
        case DFC_CAPTION: {
            RECT inside = DrawButtonFace(t, r, state);
            if ((state & 0xFF) == DFCS_CAPTIONCLOSE) {
                RECT box = CentredSquare(inside);
                int inset = (box.right - box.left) / 4;
                uint32_t v = SolidPixel(*dc, t.surface, glyph);
                int n = box.right - box.left - 2 * inset;
                for (int i = 0; i < n; ++i) {
                    t.FillRect(RECT{box.left + inset + i, box.top + inset + i,
                                    box.left + inset + i + 2, box.top + inset + i + 1},
                               0, v);
                    t.FillRect(RECT{box.right - inset - i - 2, box.top + inset + i,
                                    box.right - inset - i, box.top + inset + i + 1},
                               0, v);
                }
            }
            return TRUE;
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
    }
}

// ---- Icons ---------------------------------------------------------------------------------

HICON CreateIconIndirect(PICONINFO info) {
    if (!info || !info->hbmMask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::shared_ptr<Bitmap> mask = Lookup<Bitmap>(info->hbmMask);
    std::shared_ptr<Bitmap> color = info->hbmColor ? Lookup<Bitmap>(info->hbmColor) : nullptr;
    if (!mask || (info->hbmColor && !color)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto icon = std::make_shared<Icon>();
    icon->info = *info;
    icon->info.hbmMask = nullptr;
    icon->info.hbmColor = nullptr;
    // The icon keeps copies: the caller still owns and deletes its bitmaps.
    icon->mask = CopyBitmap(*mask);
    if (color) icon->color = CopyBitmap(*color);
    if (!icon->mask || (color && !icon->color)) return nullptr;
    if (info->fIcon) {
        int w = icon->mask->surface.width,
            h = icon->color ? icon->mask->surface.height : icon->mask->surface.height / 2;
        icon->info.xHotspot = static_cast<DWORD>(w / 2);
        icon->info.yHotspot = static_cast<DWORD>(h / 2);
    }
    return static_cast<HICON>(InsertObject(icon));
}

BOOL GetIconInfo(HICON handle, PICONINFO info) {
    std::shared_ptr<Icon> icon = Lookup<Icon>(handle);
    if (!icon || !info) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *info = icon->info;
    // New bitmaps that the caller deletes.
    std::shared_ptr<Bitmap> mask = CopyBitmap(*icon->mask);
    if (!mask) return FALSE;
    info->hbmMask = static_cast<HBITMAP>(InsertObject(mask));
    info->hbmColor = nullptr;
    if (icon->color) {
        std::shared_ptr<Bitmap> color = CopyBitmap(*icon->color);
        if (color) info->hbmColor = static_cast<HBITMAP>(InsertObject(color));
    }
    return TRUE;
}

BOOL DestroyIcon(HICON handle) {
    if (!Lookup<Icon>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return RemoveObject(handle) ? TRUE : FALSE;
}

BOOL DrawIconEx(HDC handle, int x, int y, HICON iconHandle, int width, int height, UINT step,
                HBRUSH flickerFreeDraw, UINT flags) {
    (void)step;
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Icon> icon = Lookup<Icon>(iconHandle);
    if (!dc || !icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const Surface& mask = icon->mask->surface;
    int iconW = mask.width, iconH = icon->color ? mask.height : mask.height / 2;
    if (width == 0) width = (flags & DI_DEFAULTSIZE) ? 32 : iconW;
    if (height == 0) height = (flags & DI_DEFAULTSIZE) ? 32 : iconH;
    if ((flags & DI_NORMAL) == 0) flags |= DI_NORMAL;
    if (flickerFreeDraw) {
        RECT r = {x, y, x + width, y + height};
        FillRect(handle, &r, flickerFreeDraw);
    }
    // The mask's 0 and 1 bits read as black and white.
    COLORREF text = dc->state.textColor, bk = dc->state.bkColor;
    dc->state.textColor = RGB(0, 0, 0);
    dc->state.bkColor = RGB(255, 255, 255);
    SourceImage maskImage;
    maskImage.surface = mask;
    BlitRequest r;
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.srcWidth = iconW;
    r.srcHeight = iconH;
    bool ok = true;
    if (flags & DI_MASK) {
        r.source = &maskImage;
        r.rop = (flags & DI_IMAGE) ? SRCAND : SRCCOPY;
        ok = Blit(*dc, r) && ok;
    }
    if (flags & DI_IMAGE) {
        SourceImage colorImage;
        if (icon->color) {
            colorImage.surface = icon->color->surface;
            r.srcY = 0;
        } else {
            colorImage.surface = mask;  // the lower half of a monochrome icon
            r.srcY = iconH;
        }
        r.source = &colorImage;
        r.rop = (flags & DI_MASK) ? SRCINVERT : SRCCOPY;
        ok = Blit(*dc, r) && ok;
    }
    dc->state.textColor = text;
    dc->state.bkColor = bk;
    return ok ? TRUE : FALSE;
}
