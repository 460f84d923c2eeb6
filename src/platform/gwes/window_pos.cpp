// Window geometry: the non-client frame, visible regions, SetWindowPos and
// ShowWindow with their messages, and coordinate mapping.
//
// Moving, sizing, showing, hiding or restacking a window exposes what it
// covered before: every window that shows there gets that part added to its
// update region (and the bare desktop is repainted at once). Pixels are never
// copied, so a moved window repaints all of itself.
#include <algorithm>

#include "display/frame_buffer.h"
#include "gwes/window_manager.h"

namespace gwes {

RECT NonClientInsets(DWORD style, DWORD exStyle) {
    RECT in = {0, 0, 0, 0};
    int frame = 0;
    if ((style & WS_DLGFRAME) || (style & WS_THICKFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        frame = GetSystemMetrics(SM_CXDLGFRAME);
    else if (style & WS_BORDER)
        frame = GetSystemMetrics(SM_CXBORDER);
    if (exStyle & WS_EX_CLIENTEDGE) frame += GetSystemMetrics(SM_CXEDGE);
    if (exStyle & WS_EX_STATICEDGE) frame += GetSystemMetrics(SM_CXBORDER);
    in = {frame, frame, frame, frame};
    if ((style & WS_CAPTION) == WS_CAPTION) in.top += GetSystemMetrics(SM_CYCAPTION);
    if (style & WS_VSCROLL) in.right += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) in.bottom += GetSystemMetrics(SM_CYHSCROLL);
    return in;
}

RECT ClientRectInWindow(const Window& w) {
    int width = w.rect.right - w.rect.left;
    int height = w.rect.bottom - w.rect.top;
    if (w.isDesktop) return {0, 0, width, height};
    RECT in = NonClientInsets(w.style, w.exStyle);
    RECT r = {in.left, in.top, width - in.right, height - in.bottom};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

POINT ScreenOrigin(const Window& w) {
    if (w.isDesktop || !w.parent) return {w.rect.left, w.rect.top};
    POINT p = ClientScreenOrigin(*w.parent);
    return {p.x + w.rect.left, p.y + w.rect.top};
}

POINT ClientScreenOrigin(const Window& w) {
    if (w.isDesktop) return {0, 0};
    POINT o = ScreenOrigin(w);
    RECT c = ClientRectInWindow(w);
    return {o.x + c.left, o.y + c.top};
}

bool ReallyVisible(const Window& w) {
    if (w.destroyed) return false;
    for (const Window* p = &w; p; p = p->parent) {
        if (!p->Visible()) return false;
        if (p->isDesktop) return true;
    }
    return false;  // detached from the tree
}

namespace {

RECT ScreenWindowRect(const Window& w) {
    POINT o = ScreenOrigin(w);
    return {o.x, o.y, o.x + (w.rect.right - w.rect.left), o.y + (w.rect.bottom - w.rect.top)};
}

RECT ScreenClientRect(const Window& w) {
    POINT o = ClientScreenOrigin(w);
    RECT c = ClientRectInWindow(w);
    return {o.x, o.y, o.x + (c.right - c.left), o.y + (c.bottom - c.top)};
}

// What the window covers on the screen, its children included.
RectList VisibleArea(const Window& w, bool clientOnly) {
    if (!ReallyVisible(w)) return {};
    RectList region{clientOnly ? ScreenClientRect(w) : ScreenWindowRect(w)};
    if (IsEmpty(region[0])) return {};
    for (const Window* cur = &w; cur->parent; cur = cur->parent) {
        const Window* p = cur->parent;
        region = Intersect(region, p->isDesktop ? ScreenWindowRect(*p) : ScreenClientRect(*p));
        for (const auto& s : p->children) {
            if (s.get() == cur) break;
            // A transparent sibling (a group box) leaves what lies below it visible.
            if (s->Visible() && !(s->exStyle & WS_EX_TRANSPARENT)) region = Subtract(region, ScreenWindowRect(*s));
        }
        if (region.empty()) break;
    }
    return region;
}

}  // namespace

RectList VisibleRegion(const Window& w, bool clientOnly) {
    RectList region = VisibleArea(w, clientOnly);
    // Children clip their parent, except transparent ones (group boxes): the
    // parent's background shows through them.
    for (const auto& c : w.children)
        if (!region.empty() && c->Visible() && !(c->exStyle & WS_EX_TRANSPARENT))
            region = Subtract(region, ScreenWindowRect(*c));
    return region;
}

RectList CoveredArea(const Window& w) { return VisibleArea(w, false); }

}  // namespace gwes

using namespace gwes;

// ---- SetWindowPos ----------------------------------------------------------------------

namespace {

// Fills in what SWP_NO* leaves out and drops changes that change nothing.
bool NormalizePos(Window& w, WINDOWPOS& wp) {
    RECT r = w.rect;
    if (wp.flags & SWP_NOMOVE) {
        wp.x = r.left;
        wp.y = r.top;
    }
    if (wp.flags & SWP_NOSIZE) {
        wp.cx = r.right - r.left;
        wp.cy = r.bottom - r.top;
    }
    wp.cx = std::max(wp.cx, 0);
    wp.cy = std::max(wp.cy, 0);
    if (wp.x == r.left && wp.y == r.top) wp.flags |= SWP_NOMOVE;
    if (wp.cx == r.right - r.left && wp.cy == r.bottom - r.top) wp.flags |= SWP_NOSIZE;
    if (w.Visible()) wp.flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    else wp.flags &= ~static_cast<UINT>(SWP_HIDEWINDOW);
    if (wp.hwndInsertAfter == w.handle) wp.flags |= SWP_NOZORDER;
    if (!(wp.flags & SWP_NOZORDER) && w.parent) {
        // Already in place: no z-order change to report.
        auto& siblings = w.parent->children;
        HWND after = wp.hwndInsertAfter;
        bool topmost = (w.exStyle & WS_EX_TOPMOST) != 0;
        if (after == HWND_TOP && !siblings.empty() && siblings.front().get() == &w)
            wp.flags |= SWP_NOZORDER;
        else if (after == HWND_BOTTOM && !siblings.empty() && siblings.back().get() == &w)
            wp.flags |= SWP_NOZORDER;
        else if (after == HWND_TOPMOST && topmost && siblings.front().get() == &w)
            wp.flags |= SWP_NOZORDER;
    }
    if (w.IsChild()) wp.flags |= SWP_NOACTIVATE;
    const UINT nothing = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    return (wp.flags & nothing) != nothing ||
           (wp.flags & (SWP_SHOWWINDOW | SWP_HIDEWINDOW | SWP_FRAMECHANGED)) != 0;
}

}  // namespace

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WINDOWPOS wp = {hwnd, insertAfter, x, y, cx, cy, flags};
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w || w->isDesktop) return FALSE;
        // Nothing would change: no messages at all.
        if (!NormalizePos(*w, wp)) return TRUE;
    }
    if (!(wp.flags & SWP_NOSENDCHANGING))
        SendMessageInternal(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&wp));

    bool changed, hiding, showing;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return FALSE;
        wp.hwnd = hwnd;
        changed = NormalizePos(*w, wp);
        hiding = (wp.flags & SWP_HIDEWINDOW) != 0;
        showing = (wp.flags & SWP_SHOWWINDOW) != 0;
    }
    if (!changed) return TRUE;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return FALSE;
        RectList before = CoveredArea(*w);
        POINT originBefore = ScreenOrigin(*w);
        RECT clientBefore = ClientRectInWindow(*w);
        if (!(wp.flags & SWP_NOMOVE) || !(wp.flags & SWP_NOSIZE))
            w->rect = {wp.x, wp.y, wp.x + wp.cx, wp.y + wp.cy};
        if (!(wp.flags & SWP_NOZORDER) && w->parent) LinkWindow(w, *w->parent, wp.hwndInsertAfter);
        if (showing) w->style |= WS_VISIBLE;
        if (hiding) w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        RectList after = CoveredArea(*w);

        ExposeScreenRegion(Subtract(before, after));
        if (!(wp.flags & SWP_NOREDRAW) && !after.empty()) {
            POINT originAfter = ScreenOrigin(*w);
            RECT clientAfter = ClientRectInWindow(*w);
            bool moved = originAfter.x != originBefore.x || originAfter.y != originBefore.y;
            bool widthChanged = (clientAfter.right - clientAfter.left) != (clientBefore.right - clientBefore.left);
            bool heightChanged = (clientAfter.bottom - clientAfter.top) != (clientBefore.bottom - clientBefore.top);
            UINT classStyle = w->cls ? w->cls->style : 0;
            if (showing || moved || (wp.flags & SWP_FRAMECHANGED) ||
                (widthChanged && (classStyle & CS_HREDRAW)) ||
                (heightChanged && (classStyle & CS_VREDRAW))) {
                InvalidateTree(*w);
            } else {
                // Only what came into view needs painting; the frame moved
                // with a size change.
                ExposeScreenRegion(Subtract(after, before), w.get());
                if (!(wp.flags & SWP_NOSIZE)) w->frameDirty = true;
            }
        }
        RefreshLiveDCs();
    }
    SendMessageInternal(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    // A hidden window gives up the focus and the activation.
    if (hiding) LeaveFocusAndActivation(hwnd);
    if (!(wp.flags & SWP_NOACTIVATE) && !hiding) {
        bool wanted;
        {
            Guard guard(Lock());
            auto w = FindWindowObject(hwnd);
            wanted = w && w->Visible() && !w->IsChild() && !(w->style & WS_DISABLED) &&
                     !(w->exStyle & WS_EX_NOACTIVATE);
        }
        if (wanted) ActivateWindow(hwnd, WA_ACTIVE);
    }
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd) {
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL ShowWindow(HWND hwnd, int command) {
    bool wasVisible, child;
    RECT work;
    SystemWorkArea(&work);
    RECT maxRect;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w || w->isDesktop) return FALSE;
        wasVisible = w->Visible();
        child = w->IsChild();
        maxRect = child && w->parent ? ClientRectInWindow(*w->parent) : work;
    }
    UINT flags = SWP_NOSIZE | SWP_NOMOVE;
    switch (command) {
    case SW_HIDE:
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
        // Windows CE has no minimized state: the window goes out of sight.
        if (!wasVisible) return FALSE;
        SendMessageInternal(hwnd, WM_SHOWWINDOW, FALSE, 0);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    case SW_SHOWMAXIMIZED: {
        {
            Guard guard(Lock());
            auto w = FindWindowObject(hwnd);
            if (w) w->style |= WS_MAXIMIZE;
        }
        if (!wasVisible) SendMessageInternal(hwnd, WM_SHOWWINDOW, TRUE, 0);
        SetWindowPos(hwnd, HWND_TOP, maxRect.left, maxRect.top, maxRect.right - maxRect.left,
                     maxRect.bottom - maxRect.top, SWP_SHOWWINDOW | SWP_FRAMECHANGED);
        return wasVisible;
    }
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
        flags |= SWP_NOACTIVATE | SWP_NOZORDER;
        break;
    case SW_RESTORE: {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (w) w->style &= ~static_cast<DWORD>(WS_MAXIMIZE);
        break;
    }
    case SW_SHOW:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
        if (wasVisible) return TRUE;
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (child) flags |= SWP_NOACTIVATE | SWP_NOZORDER;
    if (!wasVisible) SendMessageInternal(hwnd, WM_SHOWWINDOW, TRUE, 0);
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, flags | SWP_SHOWWINDOW);
    return wasVisible;
}

// ---- Rectangles and coordinates ------------------------------------------------------------

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    Window* win = w ? w.get() : (hwnd == Desktop().handle ? &Desktop() : nullptr);
    if (!win || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT c = ClientRectInWindow(*win);
    *rect = {0, 0, c.right - c.left, c.bottom - c.top};
    return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    Window* win = w ? w.get() : (hwnd == Desktop().handle ? &Desktop() : nullptr);
    if (!win || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = ScreenWindowRect(*win);
    return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL /*menu*/, DWORD exStyle) {
    if (!rect) return FALSE;
    RECT in = NonClientInsets(style, exStyle);
    rect->left -= in.left;
    rect->top -= in.top;
    rect->right += in.right;
    rect->bottom += in.bottom;
    return TRUE;
}

namespace {

bool ClientOrigin(HWND hwnd, POINT* origin) {
    Guard guard(Lock());
    if (!hwnd || hwnd == Desktop().handle) {
        *origin = {0, 0};
        return true;
    }
    auto w = WindowOrError(hwnd);
    if (!w) return false;
    *origin = ClientScreenOrigin(*w);
    return true;
}

}  // namespace

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
    POINT o;
    if (!point || !ClientOrigin(hwnd, &o)) return FALSE;
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
    POINT o;
    if (!point || !ClientOrigin(hwnd, &o)) return FALSE;
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, LPPOINT points, UINT count) {
    POINT a, b;
    if (!ClientOrigin(from, &a) || !ClientOrigin(to, &b)) return 0;
    int dx = a.x - b.x, dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    SetLastError(0);
    return MAKELONG(static_cast<WORD>(static_cast<SHORT>(dx)), static_cast<WORD>(static_cast<SHORT>(dy)));
}

namespace gwes {

// The deepest visible window at a screen point. Disabled children are passed
// through to their parent, which then gets the pen input, as on the device.
Window* HitTest(Window& root, POINT screen) {
    for (auto& c : root.children) {
        if (!c->Visible()) continue;
        if (c->IsChild() && (c->exStyle & WS_EX_TRANSPARENT)) continue;  // group boxes let the pen through
        RECT r = ScreenWindowRect(*c);
        if (screen.x < r.left || screen.x >= r.right || screen.y < r.top || screen.y >= r.bottom) continue;
        if (c->style & WS_DISABLED) return c->IsChild() ? nullptr : c.get();
        RECT client = ScreenClientRect(*c);
        if (screen.x >= client.left && screen.x < client.right && screen.y >= client.top &&
            screen.y < client.bottom) {
            if (Window* deeper = HitTest(*c, screen)) return deeper;
        }
        return c.get();
    }
    return nullptr;
}

}  // namespace gwes

HWND WindowFromPoint(POINT point) {
    Guard guard(Lock());
    Window* w = HitTest(Desktop(), point);
    return w ? w->handle : nullptr;  // null over the bare desktop
}

HWND ChildWindowFromPoint(HWND parent, POINT point) {
    Guard guard(Lock());
    auto p = FindWindowObject(parent);
    Window* win = p ? p.get() : (parent == Desktop().handle ? &Desktop() : nullptr);
    if (!win) return nullptr;
    RECT c = ClientRectInWindow(*win);
    if (point.x < 0 || point.y < 0 || point.x >= c.right - c.left || point.y >= c.bottom - c.top)
        return nullptr;
    POINT o = ClientScreenOrigin(*win);
    POINT screen = {point.x + o.x, point.y + o.y};
    for (auto& child : win->children) {
        RECT r = ScreenWindowRect(*child);
        if (screen.x >= r.left && screen.x < r.right && screen.y >= r.top && screen.y < r.bottom)
            return child->handle;
    }
    return win->handle;
}
