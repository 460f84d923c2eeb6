// Lines and shapes: pixels, lines (Bresenham, the last pixel left out as GDI
// does), polylines, polygons, rectangles, rounded rectangles and ellipses,
// rectangle fills and frames, focus rectangles. Outlines use the selected pen
// and interiors the selected brush, both through the DC's binary raster
// operation; outline and interior never share a pixel, so XOR modes work.
#include <algorithm>
#include <cmath>
#include <vector>

#include "gdi/paint.h"

using namespace gdi;

namespace {

POINT BrushOriginOf(const DC& dc, const Target& t) {
    return POINT{dc.state.brushOrg.x + t.offset.x - dc.state.viewportOrg.x,
                 dc.state.brushOrg.y + t.offset.y - dc.state.viewportOrg.y};
}

// Pixels of the selected pen.
class PenPainter {
public:
    explicit PenPainter(Target& t) : t_(t) {
        const Pen* pen = t.dc.state.penObject.get();
        if (!pen || pen->Style() == PS_NULL) return;
        null_ = false;
        style_ = pen->Style();
        width_ = pen->log.lopnWidth.x > 1 ? pen->log.lopnWidth.x : 1;
        uint32_t mask = t.surface.ValueMask();
        uint32_t value = SolidPixel(t.dc, t.surface, pen->log.lopnColor);
        Rop2Masks(t.dc.state.rop2, value, mask, &and_, &xor_);
        uint32_t gap = SolidPixel(t.dc, t.surface, t.dc.state.bkColor);
        Rop2Masks(t.dc.state.rop2, gap, mask, &gapAnd_, &gapXor_);
        switch (style_) {
            case PS_DASH:
                pattern_ = {18, 6};
                break;
            case PS_DOT:
                pattern_ = {3, 3};
                break;
            case PS_DASHDOT:
                pattern_ = {9, 6, 3, 6};
                break;
            case PS_DASHDOTDOT:
                pattern_ = {9, 3, 3, 3, 3, 3};
                break;
            default:
                break;
        }
        // Styled lines are drawn one pixel wide.
        if (!pattern_.empty()) width_ = 1;
        for (int p : pattern_) patternLength_ += p;
    }

    bool IsNull() const { return null_; }
    int Width() const { return width_; }
    int Style() const { return style_; }
    uint32_t And() const { return and_; }
    uint32_t Xor() const { return xor_; }

    // One pixel of a one-pixel line, in surface coordinates, following the
    // dash pattern; gaps take the background colour in opaque mode.
    void Plot(int x, int y) {
        if (pattern_.empty()) {
            t_.Pixel(x, y, and_, xor_);
            return;
        }
        int pos = t_.dc.dashPosition % patternLength_;
        t_.dc.dashPosition = (pos + 1) % patternLength_;
        int segment = 0;
        while (pos >= pattern_[static_cast<size_t>(segment)])
            pos -= pattern_[static_cast<size_t>(segment++)];
        if (segment % 2 == 0)
            t_.Pixel(x, y, and_, xor_);
        else if (t_.dc.state.bkMode == OPAQUE)
            t_.Pixel(x, y, gapAnd_, gapXor_);
    }

private:
    Target& t_;
    bool null_ = true;
    int style_ = PS_SOLID;
    int width_ = 1;
    uint32_t and_ = 0, xor_ = 0, gapAnd_ = 0, gapXor_ = 0;
    std::vector<int> pattern_;
    int patternLength_ = 0;
};

// The pixels of a one-pixel line from (x0, y0) towards (x1, y1), without the
// end point.
void ThinLine(PenPainter& pen, int x0, int y0, int x1, int y1) {
    int64_t dx = std::llabs(int64_t{x1} - x0), dy = std::llabs(int64_t{y1} - y0);
    int sx = x1 >= x0 ? 1 : -1, sy = y1 >= y0 ? 1 : -1;
    if (dx >= dy) {
        for (int64_t i = 0; i < dx; ++i) {
            int64_t off = (2 * i * dy + dx - 1) / (2 * dx);  // rounds halves towards the start
            pen.Plot(static_cast<int>(x0 + sx * i), static_cast<int>(y0 + sy * off));
        }
    } else {
        for (int64_t i = 0; i < dy; ++i) {
            int64_t off = (2 * i * dx + dy - 1) / (2 * dy);
            pen.Plot(static_cast<int>(x0 + sx * off), static_cast<int>(y0 + sy * i));
        }
    }
}

struct PointF {
    double x, y;
};

// Fills a polygon by the alternate rule: pixel (x, y) is inside when the
// point (x, y) is, with right and bottom edges left out, as GDI fills.
template <class SpanFn>
void ScanPolygon(const std::vector<PointF>& pts, SpanFn&& span, int clipTop, int clipBottom) {
    if (pts.size() < 3) return;
    double minY = pts[0].y, maxY = pts[0].y;
    for (const PointF& p : pts) {
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    int y0 = std::max(static_cast<int>(std::ceil(minY)), clipTop);
    int y1 = std::min(static_cast<int>(std::ceil(maxY)), clipBottom);
    std::vector<double> xs;
    for (int y = y0; y < y1; ++y) {
        xs.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
            const PointF& a = pts[i];
            const PointF& b = pts[(i + 1) % pts.size()];
            if (a.y == b.y) continue;
            const PointF& lo = a.y < b.y ? a : b;
            const PointF& hi = a.y < b.y ? b : a;
            if (y < lo.y || y >= hi.y) continue;
            xs.push_back(lo.x + (y - lo.y) * (hi.x - lo.x) / (hi.y - lo.y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            int xa = static_cast<int>(std::ceil(xs[i]));
            int xb = static_cast<int>(std::ceil(xs[i + 1]));
            if (xa < xb) span(y, xa, xb);
        }
    }
}

// A wide line: the segment thickened to the pen width with round ends.
void WideLine(Target& t, const PenPainter& pen, int x0, int y0, int x1, int y1) {
    double r = pen.Width() / 2.0;
    double cy0 = y0, cx1 = x1, cy1 = y1;
    double ddx = cx1 - x0, ddy = cy1 - cy0;
    double len = std::sqrt(ddx * ddx + ddy * ddy);
    double ux = len > 0 ? ddx / len : 1, uy = len > 0 ? ddy / len : 0;
    double nx = -uy, ny = ux;  // the normal to the left of the direction
    std::vector<PointF> pts;
    constexpr int kSteps = 8;
    // Half circle around the end from +normal through the tip to -normal,
    // then around the start from -normal back to +normal.
    for (int i = 0; i <= kSteps; ++i) {
        double a = M_PI * i / kSteps, ca = std::cos(a), sa = std::sin(a);
        pts.push_back({cx1 + r * (nx * ca + ux * sa), cy1 + r * (ny * ca + uy * sa)});
    }
    for (int i = 0; i <= kSteps; ++i) {
        double a = M_PI * i / kSteps, ca = std::cos(a), sa = std::sin(a);
        pts.push_back({x0 - r * (nx * ca + ux * sa), cy0 - r * (ny * ca + uy * sa)});
    }
    ScanPolygon(
        pts, [&](int y, int xa, int xb) { t.FillSpan(y, xa, xb, pen.And(), pen.Xor()); },
        t.clipBounds.top, t.clipBounds.bottom);
}

void DrawLine(Target& t, PenPainter& pen, POINT a, POINT b) {
    if (pen.IsNull()) return;
    if (pen.Width() > 1)
        WideLine(t, pen, a.x, a.y, b.x, b.y);
    else
        ThinLine(pen, a.x, a.y, b.x, b.y);
}

// A shape given by one inclusive span [left, right] per row, from row `top`.
struct Spans {
    int top = 0;
    std::vector<int> left, right;
    int Rows() const { return static_cast<int>(left.size()); }
};

// Spans of the ellipse inscribed in [l, r) x [t, b): a pixel belongs to it
// when its centre lies inside; every row keeps at least its middle pixel(s)
// so the outline stays closed.
Spans EllipseSpans(int l, int t, int r, int b) {
    Spans s;
    s.top = t;
    double w = r - l, h = b - t;
    double cx = l + w / 2, cy = t + h / 2, a = w / 2, bb = h / 2;
    for (int y = t; y < b; ++y) {
        double dy = (y + 0.5 - cy) / bb;
        double ext = a * std::sqrt(std::max(0.0, 1 - dy * dy));
        int L = static_cast<int>(std::ceil(cx - ext - 0.5));
        int R = static_cast<int>(std::floor(cx + ext - 0.5));
        if (L > R) {
            L = static_cast<int>(std::floor(cx - 0.5));
            R = static_cast<int>(std::ceil(cx - 0.5));
        }
        s.left.push_back(L);
        s.right.push_back(R);
    }
    return s;
}

// Draws a span shape: with a one-pixel pen the outline is the boundary
// pixels (each row joined to its neighbours), the rest takes the brush.
void DrawSpans(Target& t, const Spans& s, PenPainter& pen, const BrushPainter& brush,
               bool outline) {
    int rop2 = t.dc.state.rop2;
    int n = s.Rows();
    for (int i = 0; i < n; ++i) {
        int y = s.top + i, L = s.left[static_cast<size_t>(i)], R = s.right[static_cast<size_t>(i)];
        if (!outline) {
            brush.FillSpan(t, y, L, R + 1, rop2);
            continue;
        }
        int leftEnd = R, rightStart = L;  // first/last rows: all outline
        if (i > 0 && i < n - 1) {
            int nl =
                std::min(s.left[static_cast<size_t>(i - 1)], s.left[static_cast<size_t>(i + 1)]);
            int nr =
                std::max(s.right[static_cast<size_t>(i - 1)], s.right[static_cast<size_t>(i + 1)]);
            leftEnd = std::min(R, std::max(L, nl - 1));
            rightStart = std::max(leftEnd + 1, std::min(R, std::max(L, nr + 1)));
            if (rightStart > R) rightStart = R + 1;
        }
        t.FillSpan(y, L, leftEnd + 1, pen.And(), pen.Xor());
        if (rightStart <= R) t.FillSpan(y, rightStart, R + 1, pen.And(), pen.Xor());
        if (leftEnd + 1 < rightStart) brush.FillSpan(t, y, leftEnd + 1, rightStart, rop2);
    }
}

// A ring between an outer and an inner span shape (wide pens).
void DrawRing(Target& t, const Spans& outer, const Spans& inner, const PenPainter& pen,
              const BrushPainter& brush) {
    int rop2 = t.dc.state.rop2;
    for (int i = 0; i < outer.Rows(); ++i) {
        int y = outer.top + i, L = outer.left[static_cast<size_t>(i)],
            R = outer.right[static_cast<size_t>(i)];
        int k = y - inner.top;
        if (k < 0 || k >= inner.Rows() ||
            inner.left[static_cast<size_t>(k)] > inner.right[static_cast<size_t>(k)]) {
            t.FillSpan(y, L, R + 1, pen.And(), pen.Xor());
            continue;
        }
        int il = std::max(L, inner.left[static_cast<size_t>(k)]),
            ir = std::min(R, inner.right[static_cast<size_t>(k)]);
        t.FillSpan(y, L, il, pen.And(), pen.Xor());
        t.FillSpan(y, ir + 1, R + 1, pen.And(), pen.Xor());
        brush.FillSpan(t, y, il, ir + 1, rop2);
    }
}

RECT Ordered(int l, int t, int r, int b) {
    return NormalizedRect(l, t, r, b);
}

}  // namespace

// ---- Pixels ------------------------------------------------------------------------------

COLORREF SetPixel(HDC handle, int x, int y, COLORREF color) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return CLR_INVALID;
    Target t(*dc);
    if (!t.Ok()) return CLR_INVALID;
    POINT p = t.ToSurface(x, y);
    if (!t.Visible(p.x, p.y)) return CLR_INVALID;
    uint32_t v = SolidPixel(*dc, t.surface, color);
    t.Pixel(p.x, p.y, 0, v);
    return ColorRefFromRgb(PixelToRgb(t.surface, v));
}

COLORREF GetPixel(HDC handle, int x, int y) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return CLR_INVALID;
    Target t(*dc);
    if (!t.Ok()) return CLR_INVALID;
    POINT p = t.ToSurface(x, y);
    if (!t.Visible(p.x, p.y)) return CLR_INVALID;
    uint32_t v = Ops(t.surface.format).get(t.surface.Row(p.y), p.x);
    return ColorRefFromRgb(PixelToRgb(t.surface, v));
}

// ---- Lines --------------------------------------------------------------------------------

BOOL MoveToEx(HDC handle, int x, int y, LPPOINT previous) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    if (previous) *previous = dc->state.position;
    dc->state.position = {x, y};
    dc->dashPosition = 0;
    return TRUE;
}

BOOL LineTo(HDC handle, int x, int y) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    {
        Target t(*dc);
        if (!t.Ok()) return FALSE;
        PenPainter pen(t);
        POINT from = dc->state.position;
        DrawLine(t, pen, t.ToSurface(from.x, from.y), t.ToSurface(x, y));
    }
    dc->state.position = {x, y};
    return TRUE;
}

BOOL Polyline(HDC handle, const POINT* points, int count) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    if (!points || count < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    PenPainter pen(t);
    dc->dashPosition = 0;
    for (int i = 1; i < count; ++i)
        DrawLine(t, pen, t.ToSurface(points[i - 1].x, points[i - 1].y),
                 t.ToSurface(points[i].x, points[i].y));
    return TRUE;
}

BOOL Polygon(HDC handle, const POINT* points, int count) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    if (!points || count < 2) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    BrushPainter brush(*dc, t.surface, BrushOriginOf(*dc, t));
    std::vector<PointF> pts;
    for (int i = 0; i < count; ++i) {
        POINT p = t.ToSurface(points[i].x, points[i].y);
        pts.push_back({static_cast<double>(p.x), static_cast<double>(p.y)});
    }
    PenPainter pen(t);
    if (!brush.IsNull()) {
        ScanPolygon(
            pts, [&](int y, int xa, int xb) { brush.FillSpan(t, y, xa, xb, dc->state.rop2); },
            t.clipBounds.top, t.clipBounds.bottom);
    }
    dc->dashPosition = 0;
    for (int i = 0; i < count; ++i) {
        const POINT& a = points[i];
        const POINT& b = points[(i + 1) % count];
        DrawLine(t, pen, t.ToSurface(a.x, a.y), t.ToSurface(b.x, b.y));
    }
    return TRUE;
}

// ---- Rectangles and ellipses -----------------------------------------------------------------

BOOL Rectangle(HDC handle, int left, int top, int right, int bottom) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT box = t.ToSurface(Ordered(left, top, right, bottom));
    PenPainter pen(t);
    BrushPainter brush(*dc, t.surface, BrushOriginOf(*dc, t));
    int rop2 = dc->state.rop2;
    if (pen.IsNull()) {
        // Without a pen the fill is one pixel smaller to the right and below.
        brush.FillRect(t, RECT{box.left, box.top, box.right - 1, box.bottom - 1}, rop2);
        return TRUE;
    }
    if (box.right - box.left < 1 || box.bottom - box.top < 1) return TRUE;
    if (pen.Width() == 1 && pen.Style() != PS_SOLID && pen.Style() != PS_INSIDEFRAME) {
        // Styled outline: the closed path of the four edges.
        brush.FillRect(t, RECT{box.left + 1, box.top + 1, box.right - 1, box.bottom - 1}, rop2);
        dc->dashPosition = 0;
        POINT c[5] = {{box.left, box.top},
                      {box.right - 1, box.top},
                      {box.right - 1, box.bottom - 1},
                      {box.left, box.bottom - 1},
                      {box.left, box.top}};
        for (int i = 0; i < 4; ++i) ThinLine(pen, c[i].x, c[i].y, c[i + 1].x, c[i + 1].y);
        if (box.right - box.left == 1 || box.bottom - box.top == 1) pen.Plot(box.left, box.top);
        return TRUE;
    }
    int w = pen.Width();
    // Outer and inner edges of the outline band (inclusive coordinates).
    int grow = pen.Style() == PS_INSIDEFRAME ? 0 : (w - 1) / 2;
    int ol = box.left - grow, ot = box.top - grow;
    int orr = box.right - 1 - grow + w - 1, ob = box.bottom - 1 - grow + w - 1;
    if (pen.Style() == PS_INSIDEFRAME) {
        orr = box.right - 1;
        ob = box.bottom - 1;
    }
    int il = ol + w, it = ot + w, ir = orr - w, ib = ob - w;
    uint32_t a = pen.And(), x = pen.Xor();
    if (il > ir || it > ib) {
        t.FillRect(RECT{ol, ot, orr + 1, ob + 1}, a, x);
        return TRUE;
    }
    t.FillRect(RECT{ol, ot, orr + 1, it}, a, x);
    t.FillRect(RECT{ol, ib + 1, orr + 1, ob + 1}, a, x);
    t.FillRect(RECT{ol, it, il, ib + 1}, a, x);
    t.FillRect(RECT{ir + 1, it, orr + 1, ib + 1}, a, x);
    brush.FillRect(t, RECT{il, it, ir + 1, ib + 1}, rop2);
    return TRUE;
}

namespace {

BOOL DrawRoundShape(HDC handle, int left, int top, int right, int bottom, int ellipseW,
                    int ellipseH, bool fullEllipse) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc) return FALSE;
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT box = t.ToSurface(Ordered(left, top, right, bottom));
    PenPainter pen(t);
    BrushPainter brush(*dc, t.surface, BrushOriginOf(*dc, t));
    if (pen.IsNull()) {
        box.right -= 1;
        box.bottom -= 1;
    }
    auto shape = [&](RECT b, int cornerW, int cornerH) {
        int w = b.right - b.left, h = b.bottom - b.top;
        if (w <= 0 || h <= 0) return Spans{};
        if (fullEllipse) return EllipseSpans(b.left, b.top, b.right, b.bottom);
        int ew = std::min(std::abs(cornerW), w), eh = std::min(std::abs(cornerH), h);
        if (ew < 2 || eh < 2) {
            Spans s;
            s.top = b.top;
            s.left.assign(static_cast<size_t>(h), b.left);
            s.right.assign(static_cast<size_t>(h), b.right - 1);
            return s;
        }
        // The corners are quarters of an ew x eh ellipse.
        Spans corner = EllipseSpans(0, 0, ew, eh);
        Spans s;
        s.top = b.top;
        for (int i = 0; i < h; ++i) {
            int k = -1;
            if (i < eh / 2)
                k = i;
            else if (h - 1 - i < eh / 2)
                k = eh - 1 - (h - 1 - i);
            if (k < 0) {
                s.left.push_back(b.left);
                s.right.push_back(b.right - 1);
            } else {
                s.left.push_back(b.left + corner.left[static_cast<size_t>(k)]);
                s.right.push_back(b.right - ew + corner.right[static_cast<size_t>(k)]);
            }
        }
        return s;
    };
    if (pen.IsNull()) {
        DrawSpans(t, shape(box, ellipseW, ellipseH), pen, brush, false);
    } else if (pen.Width() == 1) {
        DrawSpans(t, shape(box, ellipseW, ellipseH), pen, brush, true);
    } else {
        int w = pen.Width(), grow = pen.Style() == PS_INSIDEFRAME ? 0 : (w - 1) / 2;
        RECT outer = {box.left - grow, box.top - grow,
                      box.right + (pen.Style() == PS_INSIDEFRAME ? 0 : w / 2),
                      box.bottom + (pen.Style() == PS_INSIDEFRAME ? 0 : w / 2)};
        RECT inner = {outer.left + w, outer.top + w, outer.right - w, outer.bottom - w};
        DrawRing(t, shape(outer, ellipseW + 2 * grow, ellipseH + 2 * grow),
                 shape(inner, ellipseW - 2 * (w - grow), ellipseH - 2 * (w - grow)), pen, brush);
    }
    return TRUE;
}

}  // namespace

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    return DrawRoundShape(dc, left, top, right, bottom, 0, 0, true);
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
    return DrawRoundShape(dc, left, top, right, bottom, width, height, false);
}

// ---- Rectangle fills -----------------------------------------------------------------------

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Brush> brush = ResolveBrush(brushHandle);
    if (!dc || !brush || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    Target t(*dc);
    if (!t.Ok()) return 0;
    BrushPainter painter(*dc, t.surface, BrushOriginOf(*dc, t), brush.get());
    RECT r = t.ToSurface(*rect);
    if (!EmptyRect(r)) painter.FillRect(t, r, R2_COPYPEN);
    return 1;
}

int FrameRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Brush> brush = ResolveBrush(brushHandle);
    if (!dc || !brush || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    Target t(*dc);
    if (!t.Ok()) return 0;
    BrushPainter painter(*dc, t.surface, BrushOriginOf(*dc, t), brush.get());
    RECT r = t.ToSurface(*rect);
    if (EmptyRect(r)) return 1;
    painter.FillRect(t, RECT{r.left, r.top, r.right, r.top + 1}, R2_COPYPEN);
    if (r.bottom - r.top > 1)
        painter.FillRect(t, RECT{r.left, r.bottom - 1, r.right, r.bottom}, R2_COPYPEN);
    painter.FillRect(t, RECT{r.left, r.top + 1, r.left + 1, r.bottom - 1}, R2_COPYPEN);
    if (r.right - r.left > 1)
        painter.FillRect(t, RECT{r.right - 1, r.top + 1, r.right, r.bottom - 1}, R2_COPYPEN);
    return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
    if (!rect) return FALSE;
    return PatBlt(dc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
                  DSTINVERT);
}

BOOL DrawFocusRect(HDC handle, const RECT* rect) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    RECT r = t.ToSurface(*rect);
    if (EmptyRect(r)) return TRUE;
    // Every other pixel of the outline, inverted: drawing it twice removes it.
    uint32_t ones = t.surface.ValueMask();
    auto dot = [&](int x, int y) {
        if (((x + y) & 1) == 0) t.Pixel(x, y, ones, ones);
    };
    for (int x = r.left; x < r.right; ++x) {
        dot(x, r.top);
        if (r.bottom - 1 > r.top) dot(x, r.bottom - 1);
    }
    for (int y = r.top + 1; y < r.bottom - 1; ++y) {
        dot(r.left, y);
        if (r.right - 1 > r.left) dot(r.right - 1, y);
    }
    return TRUE;
}

BOOL FillRgn(HDC handle, HRGN region, HBRUSH brushHandle) {
    std::shared_ptr<DC> dc = LookupDC(handle);
    std::shared_ptr<Region> rgn = Lookup<Region>(region);
    std::shared_ptr<Brush> brush = ResolveBrush(brushHandle);
    if (!dc || !rgn || !brush) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Target t(*dc);
    if (!t.Ok()) return FALSE;
    BrushPainter painter(*dc, t.surface, BrushOriginOf(*dc, t), brush.get());
    // Region coordinates are device coordinates.
    POINT origin = {t.offset.x - dc->state.viewportOrg.x, t.offset.y - dc->state.viewportOrg.y};
    for (const RECT& r : rgn->rects)
        painter.FillRect(t, OffsetRectBy(r, origin.x, origin.y), R2_COPYPEN);
    return TRUE;
}
