// Regions as lists of disjoint rectangles: update regions, visible regions
// and exposed areas. Rectangles are half-open (right and bottom excluded);
// empty rectangles never appear in a list. A list that grows past
// kMaxRects collapses into its bounding box, which only ever repaints more.
#pragma once

#include <vector>

#include "windows.h"

namespace gwes {

using RectList = std::vector<RECT>;
constexpr size_t kMaxRects = 128;

bool IsEmpty(const RECT& r);
RECT Intersect(const RECT& a, const RECT& b);
RECT Offset(RECT r, int dx, int dy);
void OffsetRegion(RectList& region, int dx, int dy);
RECT Bounds(const RectList& region);
// Pieces of `r` not inside `cut` (up to four).
void SubtractRect(const RECT& r, const RECT& cut, RectList& out);
RectList Subtract(const RectList& region, const RECT& cut);
RectList Subtract(const RectList& region, const RectList& cut);
RectList Intersect(const RectList& region, const RECT& clip);
RectList Intersect(const RectList& region, const RectList& clip);
// Adds a rectangle (union), keeping the list disjoint.
void AddRect(RectList& region, const RECT& r);
void AddRegion(RectList& region, const RectList& more);
long long Area(const RectList& region);

}  // namespace gwes
