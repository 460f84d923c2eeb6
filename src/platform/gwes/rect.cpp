// The rectangle helpers of the window manager's API (half-open rectangles).
#include <algorithm>

#include "windows.h"

BOOL SetRect(LPRECT r, int left, int top, int right, int bottom) {
    if (!r) return FALSE;
    *r = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT r) {
    if (!r) return FALSE;
    *r = {0, 0, 0, 0};
    return TRUE;
}

BOOL CopyRect(LPRECT d, const RECT* s) {
    if (!d || !s) return FALSE;
    *d = *s;
    return TRUE;
}

BOOL IsRectEmpty(const RECT* r) { return !r || r->left >= r->right || r->top >= r->bottom; }

BOOL EqualRect(const RECT* a, const RECT* b) {
    if (!a || !b) return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* r, POINT p) {
    return r && p.x >= r->left && p.x < r->right && p.y >= r->top && p.y < r->bottom;
}

BOOL OffsetRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT r, int dx, int dy) {
    if (!r) return FALSE;
    r->left -= dx;
    r->right += dx;
    r->top -= dy;
    r->bottom += dy;
    return TRUE;
}

BOOL IntersectRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
              std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(a) || IsRectEmpty(b) || r.left >= r.right || r.top >= r.bottom) {
        *d = {0, 0, 0, 0};
        return FALSE;
    }
    *d = r;
    return TRUE;
}

BOOL UnionRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    if (IsRectEmpty(a)) {
        if (IsRectEmpty(b)) {
            *d = {0, 0, 0, 0};
            return FALSE;
        }
        *d = *b;
        return TRUE;
    }
    if (IsRectEmpty(b)) {
        *d = *a;
        return TRUE;
    }
    *d = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
          std::max(a->bottom, b->bottom)};
    return TRUE;
}

// Subtracting only changes the first rectangle when the second one covers a
// whole side of it; otherwise the result is the first rectangle.
BOOL SubtractRect(LPRECT d, const RECT* a, const RECT* b) {
    if (!d || !a || !b) return FALSE;
    RECT r = *a;
    RECT i;
    if (IntersectRect(&i, a, b)) {
        if (i.top == r.top && i.bottom == r.bottom) {
            if (i.left == r.left) r.left = i.right;
            else if (i.right == r.right) r.right = i.left;
        } else if (i.left == r.left && i.right == r.right) {
            if (i.top == r.top) r.top = i.bottom;
            else if (i.bottom == r.bottom) r.bottom = i.top;
        }
    }
    if (IsRectEmpty(&r)) {
        *d = {0, 0, 0, 0};
        return FALSE;
    }
    *d = r;
    return TRUE;
}
