// Block transfers: BitBlt, StretchBlt (nearest neighbour, negative extents
// mirror), PatBlt, MaskBlt and TransparentImage, all through Blit(). A plain
// copy takes a fast row routine chosen by source and destination format
// (memcpy for equal formats, table look-ups for 8-bit sources, templated
// conversions between the true-colour formats); every other raster operation
// converts the source to destination pixel values and evaluates the truth
// table per pixel.
#include <algorithm>
#include <cstring>
#include <optional>

#include "gdi/paint.h"

namespace gdi {

bool RopUsesSource(DWORD rop) {
    unsigned c = (rop >> 16) & 0xFF;
    return (((c >> 2) ^ c) & 0x33) != 0;
}

bool RopUsesPattern(DWORD rop) {
    unsigned c = (rop >> 16) & 0xFF;
    return (((c >> 4) ^ c) & 0x0F) != 0;
}

uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    switch (code) {
        case 0x00:
            return 0;
        case 0xFF:
            return ~0u;
        case 0xCC:
            return s;
        case 0x33:
            return ~s;
        case 0x66:
            return s ^ d;
        case 0x88:
            return s & d;
        case 0xEE:
            return s | d;
        case 0x44:
            return s & ~d;
        case 0x11:
            return ~(s | d);
        case 0xBB:
            return ~s | d;
        case 0xC0:
            return p & s;
        case 0xF0:
            return p;
        case 0x5A:
            return p ^ d;
        case 0x55:
            return ~d;
        case 0xAA:
            return d;
        default:
            break;
    }
    // Bit i of the code is the result for pattern bit (i >> 2) & 1, source
    // bit (i >> 1) & 1 and destination bit i & 1.
    uint32_t r = 0;
    for (int i = 0; i < 8; ++i) {
        if (!((code >> i) & 1)) continue;
        r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

namespace {

// ---- Converting source pixel values to destination pixel values --------------------

struct Converter {
    enum class Mode { Identity, Lut, ToMono, Generic };
    Mode mode = Mode::Generic;
    std::vector<uint32_t> lut;    // indexed sources: destination value per index
    std::vector<uint16_t> lut16;  // the same for 16-bit destinations
    const FormatOps* srcOps = nullptr;
    const FormatOps* dstOps = nullptr;
    std::vector<Rgb> sourceColors;  // indexed sources: colour per index
    const Surface* src = nullptr;
    const Surface* dst = nullptr;
    Rgb sourceBk = 0xFFFFFF;

    uint32_t operator()(uint32_t v) const {
        switch (mode) {
            case Mode::Identity:
                return v;
            case Mode::Lut:
                return v < lut.size() ? lut[v] : 0;
            case Mode::ToMono:
                return PixelToRgb(*src, v) == sourceBk ? 1u : 0u;
            case Mode::Generic:
                return RgbToPixel(*dst, PixelToRgb(*src, v));
        }
        return v;
    }
    Rgb ColorOf(uint32_t v) const {
        if (!sourceColors.empty()) return v < sourceColors.size() ? sourceColors[v] : 0;
        return PixelToRgb(*src, v);
    }
};

bool SameLayout(const Surface& a, const Surface& b) {
    if (a.format != b.format) return false;
    if (a.format == Format::Fields16 || a.format == Format::Fields32)
        return std::memcmp(a.fields.mask, b.fields.mask, sizeof(a.fields.mask)) == 0;
    if (IsIndexed(a.format)) {
        if (a.monoDdb || b.monoDdb) return a.monoDdb && b.monoDdb;
        return a.palette && b.palette && a.palette->SameColors(*b.palette);
    }
    return true;
}

void SetupConverter(Converter& c, const DC& dc, const Surface& src, const Surface& dst,
                    COLORREF sourceBk) {
    c.src = &src;
    c.dst = &dst;
    c.srcOps = &Ops(src.format);
    c.dstOps = &Ops(dst.format);
    c.sourceBk = RgbFromColorRef(sourceBk);
    if (IsIndexed(src.format)) {
        // A monochrome bitmap takes the destination DC's text (0) and
        // background (1) colours.
        if (src.monoDdb)
            c.sourceColors = {RgbFromColorRef(dc.state.textColor),
                              RgbFromColorRef(dc.state.bkColor)};
        else if (src.palette)
            c.sourceColors = src.palette->Colors();
        c.sourceColors.resize(size_t{1} << BitsOf(src.format), 0);
    }
    if (SameLayout(src, dst)) {
        c.mode = Converter::Mode::Identity;
        return;
    }
    if (IsIndexed(src.format)) {
        c.mode = Converter::Mode::Lut;
        c.lut.resize(c.sourceColors.size());
        for (size_t i = 0; i < c.sourceColors.size(); ++i) {
            Rgb color = c.sourceColors[i];
            c.lut[i] = dst.monoDdb ? (color == c.sourceBk ? 1u : 0u) : RgbToPixel(dst, color);
        }
        if (BitsOf(dst.format) == 16)
            for (uint32_t v : c.lut) c.lut16.push_back(static_cast<uint16_t>(v));
        return;
    }
    c.mode = dst.monoDdb ? Converter::Mode::ToMono : Converter::Mode::Generic;
}

// ---- Fast plain-copy rows ------------------------------------------------------------

// One row: n destination pixels from x; the source pixel of destination pixel
// i is cols[i] when cols is given, else srcX + i.
using CopyRowFn = void (*)(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                           const Converter& c);

inline uint16_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline void Store16(uint8_t* p, uint16_t v) {
    std::memcpy(p, &v, 2);
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

struct P565 {
    static Rgb Load(const uint8_t* r, int x) { return Unpack565(Load16(r + 2 * x)); }
    static void Store(uint8_t* r, int x, Rgb c) { Store16(r + 2 * x, Pack565(c)); }
    static void StoreValue(uint8_t* r, int x, uint32_t v) {
        Store16(r + 2 * x, static_cast<uint16_t>(v));
    }
};
struct P555 {
    static Rgb Load(const uint8_t* r, int x) { return Unpack555(Load16(r + 2 * x)); }
    static void Store(uint8_t* r, int x, Rgb c) { Store16(r + 2 * x, Pack555(c)); }
    static void StoreValue(uint8_t* r, int x, uint32_t v) {
        Store16(r + 2 * x, static_cast<uint16_t>(v));
    }
};
struct P24 {
    static Rgb Load(const uint8_t* r, int x) {
        const uint8_t* p = r + 3 * x;
        return p[0] | (static_cast<Rgb>(p[1]) << 8) | (static_cast<Rgb>(p[2]) << 16);
    }
    static void Store(uint8_t* r, int x, Rgb c) {
        uint8_t* p = r + 3 * x;
        p[0] = static_cast<uint8_t>(c);
        p[1] = static_cast<uint8_t>(c >> 8);
        p[2] = static_cast<uint8_t>(c >> 16);
    }
    static void StoreValue(uint8_t* r, int x, uint32_t v) { Store(r, x, v); }
};
struct P32 {
    static Rgb Load(const uint8_t* r, int x) { return Load32(r + 4 * x) & 0xFFFFFF; }
    static void Store(uint8_t* r, int x, Rgb c) { Store32(r + 4 * x, c); }
    static void StoreValue(uint8_t* r, int x, uint32_t v) { Store32(r + 4 * x, v); }
};

template <class S, class D>
void CopyTrueColor(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                   const Converter&) {
    if (cols) {
        for (int i = 0; i < n; ++i) D::Store(d, x + i, S::Load(s, cols[i]));
    } else {
        for (int i = 0; i < n; ++i) D::Store(d, x + i, S::Load(s, srcX + i));
    }
}

// 24-bit rows onto the 5-6-5 display: the copy every picture takes.
void Copy24To565(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                 const Converter&) {
    uint8_t* out = d + 2 * x;
    if (cols) {
        for (int i = 0; i < n; ++i) {
            const uint8_t* p = s + 3 * cols[i];
            Store16(out + 2 * i, static_cast<uint16_t>(((p[2] & 0xF8) << 8) | ((p[1] & 0xFC) << 3) |
                                                       (p[0] >> 3)));
        }
        return;
    }
    const uint8_t* p = s + 3 * srcX;
    for (int i = 0; i < n; ++i, p += 3)
        Store16(out + 2 * i,
                static_cast<uint16_t>(((p[2] & 0xF8) << 8) | ((p[1] & 0xFC) << 3) | (p[0] >> 3)));
}

template <class D>
void CopyIndex8(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                const Converter& c) {
    const uint32_t* lut = c.lut.data();
    if (cols) {
        for (int i = 0; i < n; ++i) D::StoreValue(d, x + i, lut[s[cols[i]]]);
    } else {
        for (int i = 0; i < n; ++i) D::StoreValue(d, x + i, lut[s[srcX + i]]);
    }
}

void CopyIndex8To16(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                    const Converter& c) {
    const uint16_t* lut = c.lut16.data();
    uint8_t* out = d + 2 * x;
    if (cols) {
        for (int i = 0; i < n; ++i) Store16(out + 2 * i, lut[s[cols[i]]]);
    } else {
        for (int i = 0; i < n; ++i) Store16(out + 2 * i, lut[s[srcX + i]]);
    }
}

template <int Bytes>
void CopySame(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
              const Converter&) {
    if (!cols) {
        std::memmove(d + Bytes * x, s + Bytes * srcX, static_cast<size_t>(n) * Bytes);
        return;
    }
    for (int i = 0; i < n; ++i) std::memcpy(d + Bytes * (x + i), s + Bytes * cols[i], Bytes);
}

// Anything else: pixel values through the converter.
void CopyGeneric(const uint8_t* s, uint8_t* d, int x, int n, const int* cols, int srcX,
                 const Converter& c) {
    const FormatOps& so = *c.srcOps;
    const FormatOps& dops = *c.dstOps;
    for (int i = 0; i < n; ++i) dops.put(d, x + i, c(so.get(s, cols ? cols[i] : srcX + i)));
}

template <class S>
CopyRowFn TrueColorTo(Format dst) {
    switch (dst) {
        case Format::Rgb565:
            return &CopyTrueColor<S, P565>;
        case Format::Rgb555:
            return &CopyTrueColor<S, P555>;
        case Format::Bgr24:
            return &CopyTrueColor<S, P24>;
        case Format::Bgrx32:
            return &CopyTrueColor<S, P32>;
        default:
            return nullptr;
    }
}

CopyRowFn ChooseCopy(const Surface& src, const Surface& dst, const Converter& c) {
    if (c.mode == Converter::Mode::Identity) {
        switch (BitsOf(src.format)) {
            case 8:
                return &CopySame<1>;
            case 16:
                return &CopySame<2>;
            case 24:
                return &CopySame<3>;
            case 32:
                return &CopySame<4>;
            default:
                return &CopyGeneric;
        }
    }
    if (src.format == Format::Index8 && c.mode == Converter::Mode::Lut) {
        switch (dst.format) {
            case Format::Rgb565:
            case Format::Rgb555:
                return &CopyIndex8To16;
            case Format::Bgr24:
                return &CopyIndex8<P24>;
            case Format::Bgrx32:
                return &CopyIndex8<P32>;
            default:
                return &CopyGeneric;
        }
    }
    if (c.mode == Converter::Mode::Generic) {
        CopyRowFn f = nullptr;
        switch (src.format) {
            case Format::Rgb565:
                f = TrueColorTo<P565>(dst.format);
                break;
            case Format::Rgb555:
                f = TrueColorTo<P555>(dst.format);
                break;
            case Format::Bgr24:
                f = dst.format == Format::Rgb565 ? &Copy24To565 : TrueColorTo<P24>(dst.format);
                break;
            case Format::Bgrx32:
                f = TrueColorTo<P32>(dst.format);
                break;
            default:
                break;
        }
        if (f) return f;
    }
    return &CopyGeneric;
}

// Maps destination index i of [0, count) to a source index of [0, srcCount),
// flipped when mirrored; identity scale needs no table.
void BuildMap(std::vector<int>& map, int64_t first, int64_t count, int64_t dstStart,
              int64_t dstCount, int64_t srcStart, int64_t srcCount, bool mirror) {
    map.resize(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) {
        int64_t i = first + k - dstStart;  // index within the destination extent
        if (mirror) i = dstCount - 1 - i;
        int64_t s = srcStart + (i * srcCount) / dstCount;
        map[static_cast<size_t>(k)] = static_cast<int>(s);
    }
}

// Range [lo, hi) of the table whose entries lie in [0, limit).
void ValidRange(const std::vector<int>& map, int limit, size_t* lo, size_t* hi) {
    size_t a = 0, b = map.size();
    while (a < b && (map[a] < 0 || map[a] >= limit)) ++a;
    while (b > a && (map[b - 1] < 0 || map[b - 1] >= limit)) --b;
    *lo = a;
    *hi = b;
}

int Clamp64(int64_t v) {
    if (v < -(int64_t{1} << 30)) return -(1 << 30);
    if (v > (int64_t{1} << 30)) return 1 << 30;
    return static_cast<int>(v);
}

}  // namespace

// ---- Brush painter ------------------------------------------------------------------------

BrushPainter::BrushPainter(const DC& dc, const Surface& dest, POINT origin, const Brush* brush)
    : origin_(origin) {
    if (!brush) brush = dc.state.brushObject.get();
    if (!brush || brush->IsNull()) return;
    null_ = false;
    if (!brush->pattern) {
        solid_ = true;
        solidValue_ = SolidPixel(dc, dest, brush->log.lbColor);
        return;
    }
    solid_ = false;
    const Surface& p = brush->pattern->surface;
    width_ = p.width;
    height_ = p.height;
    values_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    const FormatOps& ops = Ops(p.format);
    for (int y = 0; y < height_; ++y) {
        const uint8_t* row = p.Row(y);
        for (int x = 0; x < width_; ++x) {
            uint32_t v = ops.get(row, x);
            uint32_t out;
            if (p.monoDdb && dest.monoDdb) {
                out = v;
            } else if (p.monoDdb) {
                out = SolidPixel(dc, dest, v ? dc.state.bkColor : dc.state.textColor);
            } else {
                out = SolidPixel(dc, dest, ColorRefFromRgb(PixelToRgb(p, v)));
            }
            values_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
                out;
        }
    }
}

uint32_t BrushPainter::At(int x, int y) const {
    if (solid_) return solidValue_;
    int px = (x - origin_.x) % width_, py = (y - origin_.y) % height_;
    if (px < 0) px += width_;
    if (py < 0) py += height_;
    return values_[static_cast<size_t>(py) * static_cast<size_t>(width_) + static_cast<size_t>(px)];
}

void BrushPainter::FillSpan(Target& t, int y, int x0, int x1, int rop2) const {
    if (null_ || x0 >= x1) return;
    uint32_t mask = t.surface.ValueMask();
    if (solid_) {
        uint32_t a, x;
        Rop2Masks(rop2, solidValue_, mask, &a, &x);
        t.FillSpan(y, x0, x1, a, x);
        return;
    }
    for (int px = x0; px < x1; ++px) {
        uint32_t a, x;
        Rop2Masks(rop2, At(px, y), mask, &a, &x);
        t.Pixel(px, y, a, x);
    }
}

void BrushPainter::FillRect(Target& t, const RECT& r, int rop2) const {
    if (null_) return;
    if (solid_) {
        uint32_t a, x;
        Rop2Masks(rop2, solidValue_, t.surface.ValueMask(), &a, &x);
        t.FillRect(r, a, x);
        return;
    }
    RECT area = IntersectRects(r, t.clipBounds);
    for (int y = area.top; y < area.bottom; ++y) FillSpan(t, y, area.left, area.right, rop2);
}

bool SourceFromDC(DC& dc, SourceImage* out, POINT* offset) {
    POINT origin = {0, 0};
    if (dc.IsDisplay()) {
        out->surface = ScreenSurface();
        std::lock_guard<std::mutex> guard(dc.regionLock);
        origin = dc.origin;
    } else {
        if (!dc.state.bitmapObject) return false;
        out->surface = dc.state.bitmapObject->surface;
    }
    out->bkColor = dc.state.bkColor;
    *offset = {dc.state.viewportOrg.x + origin.x, dc.state.viewportOrg.y + origin.y};
    return true;
}

// ---- The transfer ---------------------------------------------------------------------------

bool Blit(DC& dc, const BlitRequest& req) {
    const uint8_t fore = static_cast<uint8_t>(req.rop >> 16);
    const uint8_t back = static_cast<uint8_t>((req.mask ? req.backRop : req.rop) >> 16);
    const bool needSource =
        RopUsesSource(req.rop) || (req.mask && RopUsesSource(req.backRop)) || req.useKey;
    const bool needPattern = RopUsesPattern(req.rop) || (req.mask && RopUsesPattern(req.backRop));
    if (needSource && !req.source) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Target t(dc);
    if (!t.Ok()) return false;

    // Destination and source extents, normalised; a negative extent on one
    // side only mirrors the picture. As in GDI, a negative extent counts back
    // from one past the given coordinate: x = 3, width = -4 covers 0..3.
    int64_t dx = int64_t{req.x} + t.offset.x, dy = int64_t{req.y} + t.offset.y;
    int64_t dw = req.width, dh = req.height;
    bool mirrorX = false, mirrorY = false;
    if (dw < 0) {
        dx += dw + 1;
        dw = -dw;
        mirrorX = !mirrorX;
    }
    if (dh < 0) {
        dy += dh + 1;
        dh = -dh;
        mirrorY = !mirrorY;
    }
    int64_t sx = req.srcX, sy = req.srcY, sw = req.srcWidth, sh = req.srcHeight;
    if (needSource) {
        if (sw < 0) {
            sx += sw + 1;
            sw = -sw;
            mirrorX = !mirrorX;
        }
        if (sh < 0) {
            sy += sh + 1;
            sh = -sh;
            mirrorY = !mirrorY;
        }
        if (sw == 0 || sh == 0) return true;
    } else {
        sw = dw;
        sh = dh;
        mirrorX = mirrorY = false;
    }
    if (dw == 0 || dh == 0) return true;

    // Visible part of the destination.
    RECT dest = {Clamp64(dx), Clamp64(dy), Clamp64(dx + dw), Clamp64(dy + dh)};
    RECT area = IntersectRects(dest, t.clipBounds);
    if (EmptyRect(area)) return true;

    // Pattern-only operations: fills with the brush.
    if (!needSource && !req.mask) {
        // The truth table without the source: bits 0, 1, 4, 5 give the
        // binary raster operation (2 * pattern + destination).
        unsigned r2 = (fore & 1u) | ((fore >> 1) & 1u) << 1 | ((fore >> 4) & 1u) << 2 |
                      ((fore >> 5) & 1u) << 3;
        int rop2 = static_cast<int>(r2) + 1;
        if (!needPattern) {
            uint32_t a, x;
            Rop2Masks(rop2, 0, t.surface.ValueMask(), &a, &x);
            t.FillRect(dest, a, x);
            return true;
        }
        POINT origin = {dc.state.brushOrg.x + t.offset.x - dc.state.viewportOrg.x,
                        dc.state.brushOrg.y + t.offset.y - dc.state.viewportOrg.y};
        BrushPainter brush(dc, t.surface, origin);
        brush.FillRect(t, dest, rop2);
        return true;
    }

    // Source pixels: a private copy when source and destination share memory,
    // so that overlapping copies read the original pixels.
    Surface src = req.source ? req.source->surface : Surface{};
    std::vector<uint8_t> copy;
    if (needSource && src.bits) {
        const uint8_t* dstFirst = t.surface.Row(t.surface.stride < 0 ? t.surface.height - 1 : 0);
        const uint8_t* srcFirst = src.Row(src.stride < 0 ? src.height - 1 : 0);
        if (dstFirst == srcFirst) {
            size_t rowBytes = static_cast<size_t>(src.stride < 0 ? -src.stride : src.stride);
            copy.resize(rowBytes * static_cast<size_t>(src.height));
            for (int y = 0; y < src.height; ++y)
                std::memcpy(copy.data() + rowBytes * static_cast<size_t>(y), src.Row(y), rowBytes);
            src.bits = copy.data();
            src.stride = static_cast<ptrdiff_t>(rowBytes);
        }
    }
    if (needSource && !src.bits) return false;

    // Source index of every visible destination column and row.
    const bool identity = sw == dw && sh == dh && !mirrorX && !mirrorY;
    std::vector<int> cols, rows;
    size_t colLo = 0, colHi = 0, rowLo = 0, rowHi = 0;
    if (needSource) {
        BuildMap(cols, area.left, area.right - area.left, dx, dw, sx, sw, mirrorX);
        BuildMap(rows, area.top, area.bottom - area.top, dy, dh, sy, sh, mirrorY);
        ValidRange(cols, src.width, &colLo, &colHi);
        ValidRange(rows, src.height, &rowLo, &rowHi);
        if (colLo >= colHi || rowLo >= rowHi) return true;
        area = RECT{area.left + static_cast<LONG>(colLo), area.top + static_cast<LONG>(rowLo),
                    area.left + static_cast<LONG>(colHi), area.top + static_cast<LONG>(rowHi)};
    }
    const int colBase = area.left - static_cast<int>(colLo);
    const int rowBase = area.top - static_cast<int>(rowLo);

    Converter conv;
    if (needSource) SetupConverter(conv, dc, src, t.surface, req.source->bkColor);
    const FormatOps& dops = Ops(t.surface.format);
    const FormatOps& sops = Ops(src.format);

    const bool plainCopy = fore == 0xCC && back == 0xCC && !req.useKey;
    CopyRowFn copyRow = nullptr;
    if (plainCopy) copyRow = ChooseCopy(src, t.surface, conv);
    POINT brushOrigin = {dc.state.brushOrg.x + t.offset.x - dc.state.viewportOrg.x,
                         dc.state.brushOrg.y + t.offset.y - dc.state.viewportOrg.y};
    std::optional<BrushPainter> brush;
    if (needPattern) brush.emplace(dc, t.surface, brushOrigin);
    const uint32_t valueMask = t.surface.ValueMask();
    const FormatOps& maskOps = Ops(Format::Index1);

    for (const RECT& c : t.clip) {
        RECT r = IntersectRects(area, c);
        if (EmptyRect(r)) continue;
        for (int y = r.top; y < r.bottom; ++y) {
            int srcRow = rows[static_cast<size_t>(y - rowBase)];
            const uint8_t* s = src.Row(srcRow);
            uint8_t* d = t.surface.Row(y);
            const int* colPtr = cols.data() + (r.left - colBase);
            int n = r.right - r.left;
            if (copyRow) {
                copyRow(s, d, r.left, n, identity ? nullptr : colPtr, identity ? colPtr[0] : 0,
                        conv);
                continue;
            }
            for (int i = 0; i < n; ++i) {
                int x = r.left + i;
                uint32_t sv = 0;
                if (needSource) {
                    uint32_t raw = sops.get(s, colPtr[i]);
                    if (req.useKey && conv.ColorOf(raw) == req.key) continue;
                    sv = conv(raw);
                }
                uint8_t code = fore;
                if (req.mask) {
                    int mx = req.maskX + static_cast<int>(x - dx),
                        my = req.maskY + static_cast<int>(y - dy);
                    if (mx >= 0 && my >= 0 && mx < req.mask->width && my < req.mask->height &&
                        !maskOps.get(req.mask->Row(my), mx))
                        code = back;
                }
                uint32_t pv = brush && !brush->IsNull() ? brush->At(x, y) : 0;
                uint32_t dv = dops.get(d, x);
                dops.put(d, x, Rop3(code, pv, sv, dv) & valueMask);
            }
        }
        t.Touch(r);
    }
    return true;
}

}  // namespace gdi

using namespace gdi;

namespace {

// Takes the display lock when a DC reads from the display memory, so a
// screen-to-bitmap copy sees whole frames.
std::unique_lock<std::recursive_mutex> LockIfDisplay(const DC* dc) {
    if (dc && dc->IsDisplay())
        return std::unique_lock<std::recursive_mutex>(platform::Screen().lock);
    return {};
}

BOOL StretchCore(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                 int srcWidth, int srcHeight, DWORD rop, const Surface* mask, int maskX, int maskY,
                 DWORD backRop) {
    std::shared_ptr<DC> d = LookupDC(dest);
    if (!d) return FALSE;
    bool needSource = RopUsesSource(rop) || (mask && RopUsesSource(backRop));
    std::shared_ptr<DC> s;
    if (needSource) {
        s = LookupDC(src);
        if (!s) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
    }
    auto lock = LockIfDisplay(s.get());
    SourceImage image;
    POINT offset = {0, 0};
    if (s && !SourceFromDC(*s, &image, &offset)) return FALSE;
    BlitRequest r;
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.source = s ? &image : nullptr;
    r.srcX = xSrc + offset.x;
    r.srcY = ySrc + offset.y;
    r.srcWidth = srcWidth;
    r.srcHeight = srcHeight;
    r.rop = rop;
    r.mask = mask;
    r.maskX = maskX;
    r.maskY = maskY;
    r.backRop = backRop;
    return Blit(*d, r) ? TRUE : FALSE;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
    return StretchCore(dest, x, y, width, height, src, xSrc, ySrc, width, height, rop, nullptr, 0,
                       0, rop);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop) {
    return StretchCore(dest, x, y, width, height, src, xSrc, ySrc, srcWidth, srcHeight, rop,
                       nullptr, 0, 0, rop);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
    if (RopUsesSource(rop)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return StretchCore(dc, x, y, width, height, nullptr, 0, 0, width, height, rop, nullptr, 0, 0,
                       rop);
}

BOOL MaskBlt(HDC dest, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
             HBITMAP mask, int xMask, int yMask, DWORD rop) {
    DWORD foreRop = (rop & 0x00FFFFFFu);
    DWORD backRop = ((rop >> 8) & 0x00FF0000u) | 0x00000020u;
    if (!mask) return BitBlt(dest, x, y, width, height, src, xSrc, ySrc, foreRop);
    std::shared_ptr<Bitmap> m = Lookup<Bitmap>(mask);
    if (!m || m->surface.format != Format::Index1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return StretchCore(dest, x, y, width, height, src, xSrc, ySrc, width, height, foreRop,
                       &m->surface, xMask, yMask, backRop);
}

BOOL TransparentImage(HDC dest, int x, int y, int width, int height, HANDLE src, int xSrc, int ySrc,
                      int srcWidth, int srcHeight, COLORREF transparent) {
    std::shared_ptr<DC> d = LookupDC(dest);
    if (!d) return FALSE;
    // The source is a DC or a bitmap.
    SourceImage image;
    POINT offset = {0, 0};
    std::shared_ptr<DC> s = LookupDC(static_cast<HDC>(src));
    std::shared_ptr<Bitmap> b;
    auto lock = LockIfDisplay(s.get());
    if (s) {
        if (!SourceFromDC(*s, &image, &offset)) return FALSE;
    } else if ((b = Lookup<Bitmap>(src))) {
        image.surface = b->surface;
    } else {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    BlitRequest r;
    r.x = x;
    r.y = y;
    r.width = width;
    r.height = height;
    r.source = &image;
    r.srcX = xSrc + offset.x;
    r.srcY = ySrc + offset.y;
    r.srcWidth = srcWidth;
    r.srcHeight = srcHeight;
    r.rop = SRCCOPY;
    r.useKey = true;
    r.key = RgbFromColorRef(transparent);
    return Blit(*d, r) ? TRUE : FALSE;
}
