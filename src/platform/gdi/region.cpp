// Rectangle regions: lists of disjoint rectangles, their arithmetic, and the
// region calls. Lists stay small (clip regions of a few rectangles), so the
// arithmetic is the plain rectangle-by-rectangle kind.
#include <algorithm>

#include "gdi/dc.h"

namespace gdi {

namespace {

// The parts of r outside cut: up to four rectangles (above, below, left, right).
void SubtractOne(const RECT& r, const RECT& cut, std::vector<RECT>& out) {
    RECT i = IntersectRects(r, cut);
    if (EmptyRect(i)) {
        out.push_back(r);
        return;
    }
    if (r.top < i.top) out.push_back(RECT{r.left, r.top, r.right, i.top});
    if (i.bottom < r.bottom) out.push_back(RECT{r.left, i.bottom, r.right, r.bottom});
    if (r.left < i.left) out.push_back(RECT{r.left, i.top, i.left, i.bottom});
    if (i.right < r.right) out.push_back(RECT{i.right, i.top, r.right, i.bottom});
}

}  // namespace

std::vector<RECT> IntersectRegion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out;
    for (const RECT& x : a)
        for (const RECT& y : b) {
            RECT r = IntersectRects(x, y);
            if (!EmptyRect(r)) out.push_back(r);
        }
    return out;
}

std::vector<RECT> SubtractRegion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> current;
    for (const RECT& r : a)
        if (!EmptyRect(r)) current.push_back(r);
    for (const RECT& cut : b) {
        if (EmptyRect(cut)) continue;
        std::vector<RECT> next;
        for (const RECT& r : current) SubtractOne(r, cut, next);
        current.swap(next);
    }
    return current;
}

std::vector<RECT> UnionRegion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out = SubtractRegion(a, b);
    for (const RECT& r : b)
        if (!EmptyRect(r)) out.push_back(r);
    CoalesceRegion(out);
    return out;
}

std::vector<RECT> XorRegion(const std::vector<RECT>& a, const std::vector<RECT>& b) {
    std::vector<RECT> out = SubtractRegion(a, b);
    std::vector<RECT> other = SubtractRegion(b, a);
    out.insert(out.end(), other.begin(), other.end());
    CoalesceRegion(out);
    return out;
}

RECT RegionBounds(const std::vector<RECT>& rects) {
    RECT box = {0, 0, 0, 0};
    bool first = true;
    for (const RECT& r : rects) {
        if (EmptyRect(r)) continue;
        if (first) {
            box = r;
            first = false;
            continue;
        }
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

void CoalesceRegion(std::vector<RECT>& rects) {
    rects.erase(
        std::remove_if(rects.begin(), rects.end(), [](const RECT& r) { return EmptyRect(r); }),
        rects.end());
    bool merged = true;
    while (merged) {
        merged = false;
        for (size_t i = 0; i < rects.size() && !merged; ++i) {
            for (size_t j = i + 1; j < rects.size(); ++j) {
                RECT& a = rects[i];
                const RECT& b = rects[j];
                bool sameColumns = a.left == b.left && a.right == b.right;
                bool sameRows = a.top == b.top && a.bottom == b.bottom;
                if (sameColumns && (a.bottom == b.top || b.bottom == a.top)) {
                    a.top = std::min(a.top, b.top);
                    a.bottom = std::max(a.bottom, b.bottom);
                } else if (sameRows && (a.right == b.left || b.right == a.left)) {
                    a.left = std::min(a.left, b.left);
                    a.right = std::max(a.right, b.right);
                } else {
                    continue;
                }
                rects.erase(rects.begin() + static_cast<ptrdiff_t>(j));
                merged = true;
                break;
            }
        }
    }
}

int RegionType(const std::vector<RECT>& rects) {
    if (rects.empty()) return NULLREGION;
    return rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

}  // namespace gdi

using namespace gdi;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    auto r = std::make_shared<Region>();
    RECT rect = NormalizedRect(left, top, right, bottom);
    if (!EmptyRect(rect)) r->rects.push_back(rect);
    return static_cast<HRGN>(InsertObject(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    RECT rect = NormalizedRect(left, top, right, bottom);
    r->rects.clear();
    if (!EmptyRect(rect)) r->rects.push_back(rect);
    return TRUE;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    std::shared_ptr<Region> d = Lookup<Region>(dest);
    std::shared_ptr<Region> a = Lookup<Region>(src1);
    if (!d || !a) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    if (mode == RGN_COPY) {
        d->rects = a->rects;
        return RegionType(d->rects);
    }
    std::shared_ptr<Region> b = Lookup<Region>(src2);
    if (!b) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    std::vector<RECT> result;
    switch (mode) {
        case RGN_AND:
            result = IntersectRegion(a->rects, b->rects);
            break;
        case RGN_OR:
            result = UnionRegion(a->rects, b->rects);
            break;
        case RGN_XOR:
            result = XorRegion(a->rects, b->rects);
            break;
        case RGN_DIFF:
            result = SubtractRegion(a->rects, b->rects);
            break;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return ERROR;
    }
    CoalesceRegion(result);
    d->rects = std::move(result);
    return RegionType(d->rects);
}

int GetRgnBox(HRGN region, LPRECT rect) {
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    *rect = RegionBounds(r->rects);
    return RegionType(r->rects);
}

int OffsetRgn(HRGN region, int dx, int dy) {
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r) {
        SetLastError(ERROR_INVALID_HANDLE);
        return ERROR;
    }
    for (RECT& rect : r->rects) rect = OffsetRectBy(rect, dx, dy);
    return RegionType(r->rects);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r) return FALSE;
    for (const RECT& rect : r->rects)
        if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) return TRUE;
    return FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect) {
    std::shared_ptr<Region> r = Lookup<Region>(region);
    if (!r || !rect) return FALSE;
    RECT probe = NormalizedRect(rect->left, rect->top, rect->right, rect->bottom);
    for (const RECT& part : r->rects)
        if (!EmptyRect(IntersectRects(part, probe))) return TRUE;
    return FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
    std::shared_ptr<Region> x = Lookup<Region>(a);
    std::shared_ptr<Region> y = Lookup<Region>(b);
    if (!x || !y) return ERROR;
    // Equal when neither has area outside the other.
    return SubtractRegion(x->rects, y->rects).empty() && SubtractRegion(y->rects, x->rects).empty()
               ? TRUE
               : FALSE;
}
