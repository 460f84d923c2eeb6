// Rectangle-list arithmetic for the window manager's regions.
#include "gwes/region.h"

#include <algorithm>

namespace gwes {

bool IsEmpty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
    if (IsEmpty(r)) r = {0, 0, 0, 0};
    return r;
}

RECT Offset(RECT r, int dx, int dy) {
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
    return r;
}

void OffsetRegion(RectList& region, int dx, int dy) {
    for (RECT& r : region) r = Offset(r, dx, dy);
}

RECT Bounds(const RectList& region) {
    if (region.empty()) return {0, 0, 0, 0};
    RECT b = region.front();
    for (const RECT& r : region) {
        b.left = std::min(b.left, r.left);
        b.top = std::min(b.top, r.top);
        b.right = std::max(b.right, r.right);
        b.bottom = std::max(b.bottom, r.bottom);
    }
    return b;
}

void SubtractRect(const RECT& r, const RECT& cut, RectList& out) {
    RECT overlap = Intersect(r, cut);
    if (IsEmpty(overlap)) {
        if (!IsEmpty(r)) out.push_back(r);
        return;
    }
    // Bands above and below the overlap span the full width; the sides only its height.
    if (r.top < overlap.top) out.push_back({r.left, r.top, r.right, overlap.top});
    if (overlap.bottom < r.bottom) out.push_back({r.left, overlap.bottom, r.right, r.bottom});
    if (r.left < overlap.left) out.push_back({r.left, overlap.top, overlap.left, overlap.bottom});
    if (overlap.right < r.right) out.push_back({overlap.right, overlap.top, r.right, overlap.bottom});
}

RectList Subtract(const RectList& region, const RECT& cut) {
    if (IsEmpty(cut)) return region;
    RectList out;
    out.reserve(region.size() + 4);
    for (const RECT& r : region) SubtractRect(r, cut, out);
    return out;
}

RectList Subtract(const RectList& region, const RectList& cut) {
    RectList out = region;
    for (const RECT& c : cut) {
        if (out.empty()) break;
        out = Subtract(out, c);
    }
    return out;
}

RectList Intersect(const RectList& region, const RECT& clip) {
    RectList out;
    for (const RECT& r : region) {
        RECT i = Intersect(r, clip);
        if (!IsEmpty(i)) out.push_back(i);
    }
    return out;
}

RectList Intersect(const RectList& region, const RectList& clip) {
    // The clip rectangles are disjoint, so the pieces are too.
    RectList out;
    for (const RECT& c : clip) {
        for (const RECT& r : region) {
            RECT i = Intersect(r, c);
            if (!IsEmpty(i)) out.push_back(i);
        }
    }
    return out;
}

void AddRect(RectList& region, const RECT& r) {
    if (IsEmpty(r)) return;
    RectList pieces{r};
    for (const RECT& existing : region) {
        if (pieces.empty()) return;
        pieces = Subtract(pieces, existing);
    }
    region.insert(region.end(), pieces.begin(), pieces.end());
    if (region.size() > kMaxRects) {
        RECT b = Bounds(region);
        region.assign(1, b);
    }
}

void AddRegion(RectList& region, const RectList& more) {
    for (const RECT& r : more) AddRect(region, r);
}

long long Area(const RectList& region) {
    long long a = 0;
    for (const RECT& r : region) a += static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
    return a;
}

}  // namespace gwes
