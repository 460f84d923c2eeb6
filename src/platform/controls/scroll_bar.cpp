// The scroll bar: its geometry (arrows as square as the bar is thick, a
// thumb as long as the page is to the range), its drawing, the pen tracking
// shared with list boxes and edits, and the "ScrollBar" control, which keeps
// its own values (SBM_xxx) and reports to its parent with WM_HSCROLL or
// WM_VSCROLL, lParam the control.
#include <algorithm>
#include <cstdint>

#include "controls/standard_controls.h"

namespace controls {

// ---- Values -----------------------------------------------------------------------------

int ScrollValues::MaxPos() const {
    int64_t top = static_cast<int64_t>(max) - std::max<int64_t>(static_cast<int64_t>(page) - 1, 0);
    return static_cast<int>(std::max<int64_t>(top, min));
}

int ScrollValues::Clamp(int value) const { return std::clamp(value, min, MaxPos()); }

void ApplyScrollInfo(ScrollValues& v, const SCROLLINFO& info) {
    if (info.fMask & SIF_PAGE) v.page = info.nPage;
    if (info.fMask & SIF_RANGE) {
        // An inverted or oversized range is taken as empty.
        if (info.nMin > info.nMax ||
            static_cast<int64_t>(info.nMax) - static_cast<int64_t>(info.nMin) >= 0x80000000LL) {
            v.min = v.max = 0;
        } else {
            v.min = info.nMin;
            v.max = info.nMax;
        }
    }
    int64_t span = static_cast<int64_t>(v.max) - v.min + 1;
    if (static_cast<int64_t>(v.page) > span) v.page = static_cast<UINT>(span);
    if (info.fMask & SIF_POS) v.pos = info.nPos;
    v.pos = v.Clamp(v.pos);
}

bool FillScrollInfo(const ScrollValues& v, SCROLLINFO* info) {
    if (!info || !(info->fMask & SIF_ALL)) return false;
    if (info->fMask & SIF_RANGE) {
        info->nMin = v.min;
        info->nMax = v.max;
    }
    if (info->fMask & SIF_PAGE) info->nPage = v.page;
    if (info->fMask & SIF_POS) info->nPos = v.pos;
    if (info->fMask & SIF_TRACKPOS) info->nTrackPos = v.tracking ? v.trackPos : v.pos;
    return true;
}

// ---- Geometry ---------------------------------------------------------------------------

namespace {

int Along(POINT p, bool vertical) { return vertical ? p.y : p.x; }
int Start(const RECT& r, bool vertical) { return vertical ? r.top : r.left; }
int End(const RECT& r, bool vertical) { return vertical ? r.bottom : r.right; }

RECT Slice(const RECT& bar, bool vertical, int from, int to) {
    return vertical ? RECT{bar.left, from, bar.right, to} : RECT{from, bar.top, to, bar.bottom};
}

}  // namespace

ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const ScrollValues& v, int pos) {
    ScrollGeometry g;
    int start = Start(bar, vertical), end = End(bar, vertical);
    int length = std::max(0, end - start);
    int thick = vertical ? bar.right - bar.left : bar.bottom - bar.top;
    int arrow = std::max(0, std::min(thick, length / 2));
    g.arrowLow = Slice(bar, vertical, start, start + arrow);
    g.arrowHigh = Slice(bar, vertical, end - arrow, end);
    g.track = Slice(bar, vertical, start + arrow, end - arrow);
    int trackLength = length - 2 * arrow;
    if (!v.Scrollable() || (v.disabled & ESB_DISABLE_BOTH) == ESB_DISABLE_BOTH || trackLength <= 0)
        return g;
    int64_t span = static_cast<int64_t>(v.max) - v.min + 1;
    int thumb = v.page ? static_cast<int>(trackLength * static_cast<int64_t>(v.page) / span) : thick;
    int minThumb = std::min(trackLength, std::max(6, thick / 2));
    thumb = std::clamp(thumb, minThumb, trackLength);
    int movable = trackLength - thumb;
    int64_t steps = static_cast<int64_t>(v.MaxPos()) - v.min;
    int offset = steps > 0 ? static_cast<int>(movable * (static_cast<int64_t>(v.Clamp(pos)) - v.min) / steps) : 0;
    int thumbStart = start + arrow + offset;
    g.thumb = Slice(bar, vertical, thumbStart, thumbStart + thumb);
    g.hasThumb = true;
    return g;
}

ScrollPart HitScrollBar(const ScrollGeometry& g, bool vertical, POINT p) {
    if (PtInRect(&g.arrowLow, p)) return ScrollPart::ArrowLow;
    if (PtInRect(&g.arrowHigh, p)) return ScrollPart::ArrowHigh;
    if (!g.hasThumb || !PtInRect(&g.track, p)) return ScrollPart::None;
    if (PtInRect(&g.thumb, p)) return ScrollPart::Thumb;
    return Along(p, vertical) < Start(g.thumb, vertical) ? ScrollPart::PageLow : ScrollPart::PageHigh;
}

int ScrollPosFromThumb(const ScrollGeometry& g, bool vertical, const ScrollValues& v, int edge) {
    if (!g.hasThumb) return v.pos;
    int trackStart = Start(g.track, vertical);
    int movable = (End(g.track, vertical) - trackStart) - (End(g.thumb, vertical) - Start(g.thumb, vertical));
    if (movable <= 0) return v.min;
    int64_t rel = std::clamp(edge - trackStart, 0, movable);
    int64_t steps = static_cast<int64_t>(v.MaxPos()) - v.min;
    return v.Clamp(static_cast<int>(v.min + (rel * steps + movable / 2) / movable));
}

void DrawScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollValues& v, int thumbPos,
                   ScrollPart pressed, HBRUSH track, bool enabled) {
    ScrollGeometry g = LayoutScrollBar(bar, vertical, v, thumbPos);
    bool live = enabled && v.Scrollable();
    auto arrow = [&](RECT r, UINT kind, bool down, bool off) {
        if (r.right <= r.left || r.bottom <= r.top) return;
        UINT state = kind | (down ? DFCS_PUSHED | DFCS_FLAT : 0) | (off ? DFCS_INACTIVE : 0);
        DrawFrameControl(dc, &r, DFC_SCROLL, state);
    };
    arrow(g.arrowLow, vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT, pressed == ScrollPart::ArrowLow,
          !live || (v.disabled & ESB_DISABLE_LTUP));
    arrow(g.arrowHigh, vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT, pressed == ScrollPart::ArrowHigh,
          !live || (v.disabled & ESB_DISABLE_RTDN));
    FillRect(dc, &g.track, track ? track : GetSysColorBrush(COLOR_SCROLLBAR));
    if (!g.hasThumb) return;
    // A held page area shows darker, up to the thumb.
    if (pressed == ScrollPart::PageLow || pressed == ScrollPart::PageHigh) {
        RECT page = pressed == ScrollPart::PageLow
                        ? Slice(bar, vertical, Start(g.track, vertical), Start(g.thumb, vertical))
                        : Slice(bar, vertical, End(g.thumb, vertical), End(g.track, vertical));
        FillRect(dc, &page, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    RECT thumb = g.thumb;
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT | BF_MIDDLE);
}

// ---- Tracking -----------------------------------------------------------------------------

bool ScrollTracker::Begin(const Target& target, ValuesFn values, RedrawFn redraw, POINT p) {
    if (Active()) End(last_);
    ScrollValues v = values(target.owner, target.vertical);
    ScrollGeometry g = LayoutScrollBar(target.bar, target.vertical, v, v.pos);
    ScrollPart part = HitScrollBar(g, target.vertical, p);
    if (part == ScrollPart::None || !v.Scrollable()) return false;
    if (part == ScrollPart::ArrowLow && (v.disabled & ESB_DISABLE_LTUP)) return false;
    if (part == ScrollPart::ArrowHigh && (v.disabled & ESB_DISABLE_RTDN)) return false;
    target_ = target;
    values_ = values;
    redraw_ = redraw;
    part_ = part;
    inside_ = true;
    trackPos_ = v.pos;
    last_ = p;
    if (target_.takeCapture) SetCapture(target_.owner);
    if (part == ScrollPart::Thumb) {
        grabOffset_ = Along(p, target_.vertical) - Start(g.thumb, target_.vertical);
        redraw_(target_.owner, *this);
        return true;
    }
    Step();
    SetTimer(target_.owner, kRepeatTimer, kRepeatDelay, nullptr);
    if (Active()) redraw_(target_.owner, *this);
    return true;
}

void ScrollTracker::Send(UINT code, int pos) {
    if (!target_.notify) return;
    SendMessageW(target_.notify, target_.vertical ? WM_VSCROLL : WM_HSCROLL,
                 MAKEWPARAM(code, static_cast<WORD>(pos)), reinterpret_cast<LPARAM>(target_.control));
}

void ScrollTracker::Step() {
    switch (part_) {
    case ScrollPart::ArrowLow: Send(SB_LINEUP); break;
    case ScrollPart::ArrowHigh: Send(SB_LINEDOWN); break;
    case ScrollPart::PageLow: Send(SB_PAGEUP); break;
    case ScrollPart::PageHigh: Send(SB_PAGEDOWN); break;
    default: break;
    }
}

bool ScrollTracker::PointStillCounts(POINT p) const {
    ScrollValues v = values_(target_.owner, target_.vertical);
    ScrollGeometry g = LayoutScrollBar(target_.bar, target_.vertical, v, v.pos);
    return HitScrollBar(g, target_.vertical, p) == part_;
}

void ScrollTracker::Move(POINT p) {
    if (!Active()) return;
    last_ = p;
    if (part_ != ScrollPart::Thumb) {
        bool inside = PointStillCounts(p);
        if (inside != inside_) {
            inside_ = inside;
            redraw_(target_.owner, *this);
        }
        return;
    }
    ScrollValues v = values_(target_.owner, target_.vertical);
    ScrollGeometry g = LayoutScrollBar(target_.bar, target_.vertical, v, trackPos_);
    int pos = ScrollPosFromThumb(g, target_.vertical, v, Along(p, target_.vertical) - grabOffset_);
    if (pos == trackPos_) return;
    trackPos_ = pos;
    if (!target_.control) SetWindowTrackPos(target_.owner, target_.vertical ? SB_VERT : SB_HORZ, pos, true);
    Send(SB_THUMBTRACK, pos);
    if (Active()) redraw_(target_.owner, *this);
}

void ScrollTracker::Timer() {
    if (!Active() || part_ == ScrollPart::Thumb) return;
    SetTimer(target_.owner, kRepeatTimer, kRepeatRate, nullptr);
    bool inside = PointStillCounts(last_);
    bool changed = inside != inside_;
    inside_ = inside;
    if (inside_) Step();
    if (Active() && (changed || inside_)) redraw_(target_.owner, *this);
}

void ScrollTracker::End(POINT p) {
    if (!Active() || ending_) return;
    ending_ = true;
    last_ = p;
    KillTimer(target_.owner, kRepeatTimer);
    inside_ = false;
    // The thumb still counts as tracked while its final position is told.
    if (part_ == ScrollPart::Thumb) Send(SB_THUMBPOSITION, trackPos_);
    part_ = ScrollPart::None;
    if (!target_.control) SetWindowTrackPos(target_.owner, target_.vertical ? SB_VERT : SB_HORZ, 0, false);
    Send(SB_ENDSCROLL);
    ending_ = false;
    if (target_.takeCapture && GetCapture() == target_.owner) ReleaseCapture();
    if (IsWindow(target_.owner)) redraw_(target_.owner, *this);
}

void ScrollTracker::Cancel() { End(last_); }

bool BeginWindowScrollTracking(ScrollTracker& tracker, HWND hwnd, POINT p, bool takeCapture) {
    for (int bar : {SB_VERT, SB_HORZ}) {
        RECT r = WindowScrollBarRect(hwnd, bar);
        if (!PtInRect(&r, p)) continue;
        ScrollTracker::Target t;
        t.owner = hwnd;
        t.notify = hwnd;
        t.control = nullptr;
        t.vertical = bar == SB_VERT;
        t.bar = r;
        t.takeCapture = takeCapture;
        auto values = [](HWND owner, bool vertical) {
            return WindowScrollValues(owner, vertical ? SB_VERT : SB_HORZ);
        };
        auto redraw = [](HWND owner, const ScrollTracker& tr) {
            int bar = tr.Vertical() ? SB_VERT : SB_HORZ;
            int pos = tr.TrackingThumb() ? tr.TrackPos() : WindowScrollValues(owner, bar).pos;
            DrawWindowScrollBar(owner, bar, pos, tr.Pressed());
        };
        return tracker.Begin(t, values, redraw, p);
    }
    return false;
}

// ---- The scroll bar control -------------------------------------------------------------------

namespace {

struct ScrollBarState : StateBase {
    ScrollValues values;
    ScrollTracker tracker;
};

bool Vertical(HWND hwnd) { return (Style(hwnd) & SBS_VERT) != 0; }

ScrollValues ControlValues(HWND hwnd, bool) {
    ScrollBarState* s = GetState<ScrollBarState>(hwnd);
    if (!s) return {};
    ScrollValues v = s->values;
    v.tracking = s->tracker.TrackingThumb();
    v.trackPos = s->tracker.TrackPos();
    return v;
}

void Repaint(HWND hwnd, const ScrollTracker&) {
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
}

void Redraw(HWND hwnd, bool redraw) {
    if (redraw) InvalidateRect(hwnd, nullptr, FALSE);
}

// SetScrollInfo on a control: it never hides, but SIF_DISABLENOSCROLL greys
// a bar that cannot scroll, and a new range that can scroll enables it.
int SetInfo(HWND hwnd, ScrollBarState& s, const SCROLLINFO* info, bool redraw) {
    if (!info) return s.values.pos;
    ApplyScrollInfo(s.values, *info);
    if (info->fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) {
        if (!s.values.Scrollable()) {
            if (info->fMask & SIF_DISABLENOSCROLL) s.values.disabled = ESB_DISABLE_BOTH;
        } else if ((info->fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL)) != SIF_PAGE) {
            s.values.disabled = ESB_ENABLE_BOTH;
        }
    }
    Redraw(hwnd, redraw);
    return s.values.pos;
}

void KeyScroll(HWND hwnd, WPARAM key) {
    bool vertical = Vertical(hwnd);
    UINT code;
    switch (key) {
    case VK_UP: if (!vertical) return; code = SB_LINEUP; break;
    case VK_LEFT: if (vertical) return; code = SB_LINELEFT; break;
    case VK_DOWN: if (!vertical) return; code = SB_LINEDOWN; break;
    case VK_RIGHT: if (vertical) return; code = SB_LINERIGHT; break;
    case VK_PRIOR: code = SB_PAGEUP; break;
    case VK_NEXT: code = SB_PAGEDOWN; break;
    case VK_HOME: code = SB_TOP; break;
    case VK_END: code = SB_BOTTOM; break;
    default: return;
    }
    HWND parent = NotifyTarget(hwnd);
    UINT message = vertical ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(parent, message, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(hwnd));
    SendMessageW(parent, message, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(hwnd));
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ScrollBarState* s = EnsureState<ScrollBarState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_NCDESTROY:
        ReleaseState<ScrollBarState>(hwnd);
        return 0;
    case SBM_SETSCROLLINFO:
        return SetInfo(hwnd, *s, reinterpret_cast<const SCROLLINFO*>(lParam), wParam != 0);
    case SBM_GETSCROLLINFO: {
        ScrollValues v = ControlValues(hwnd, false);
        return FillScrollInfo(v, reinterpret_cast<SCROLLINFO*>(lParam)) ? TRUE : FALSE;
    }
    case SBM_SETPOS: {
        int old = s->values.pos;
        SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, static_cast<int>(wParam), 0};
        SetInfo(hwnd, *s, &si, lParam != 0);
        return old;
    }
    case SBM_GETPOS: return s->values.pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        int old = s->values.pos;
        SCROLLINFO si = {sizeof si, SIF_RANGE, static_cast<int>(wParam), static_cast<int>(lParam), 0, 0, 0};
        SetInfo(hwnd, *s, &si, message == SBM_SETRANGEREDRAW);
        return old;
    }
    case SBM_GETRANGE:
        if (wParam) *reinterpret_cast<LPINT>(wParam) = s->values.min;
        if (lParam) *reinterpret_cast<LPINT>(lParam) = s->values.max;
        return 0;
    case SBM_ENABLE_ARROWS: {
        UINT old = s->values.disabled;
        s->values.disabled = static_cast<UINT>(wParam) & ESB_DISABLE_BOTH;
        if (old != s->values.disabled) InvalidateRect(hwnd, nullptr, FALSE);
        return old != s->values.disabled;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (Style(hwnd) & WS_TABSTOP) SetFocus(hwnd);
        ScrollTracker::Target t;
        t.owner = hwnd;
        t.notify = NotifyTarget(hwnd);
        t.control = hwnd;
        t.vertical = Vertical(hwnd);
        GetClientRect(hwnd, &t.bar);
        s->tracker.Begin(t, ControlValues, Repaint, PointOf(lParam));
        return 0;
    }
    case WM_MOUSEMOVE:
        s->tracker.Move(PointOf(lParam));
        return 0;
    case WM_LBUTTONUP:
        s->tracker.End(PointOf(lParam));
        return 0;
    case WM_TIMER:
        if (wParam == kRepeatTimer) {
            s->tracker.Timer();
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) s->tracker.Cancel();
        return 0;
    case WM_KEYDOWN:
        KeyScroll(hwnd, wParam);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (!dc) return 0;
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH track = ControlColor(hwnd, dc, WM_CTLCOLORSCROLLBAR);
        ScrollValues v = s->values;
        int thumb = s->tracker.TrackingThumb() ? s->tracker.TrackPos() : v.pos;
        DrawScrollBar(dc, client, Vertical(hwnd), v, thumb, s->tracker.Pressed(), track,
                      IsWindowEnabled(hwnd) != FALSE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace controls
