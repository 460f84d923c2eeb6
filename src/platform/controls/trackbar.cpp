// The trackbar ("msctls_trackbar32"): a thumb that slides along a channel
// over a range of integer positions. The pen drags the thumb or pages towards
// the point it holds, the arrow, page, Home and End keys step it, and each
// move is reported to the parent as WM_HSCROLL (WM_VSCROLL when vertical)
// with the trackbar's handle in lParam. Vertical trackbars have their
// minimum at the top.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "controls/bar_controls.h"

namespace {

constexpr UINT_PTR kPageTimer = 1;
constexpr UINT kPageFirstDelay = 400;  // ms before a held pen starts repeating
constexpr UINT kPageRepeatDelay = 100;
constexpr int kMaxThumbLength = 21;
constexpr int kTickSpace = 4;  // a 3-pixel tick and a 1-pixel gap

enum class Mode { None, Thumb, Page };

struct Trackbar {
    HWND hwnd = nullptr;
    LONG min = 0;
    LONG max = 100;
    LONG pos = 0;
    LONG page = 20;
    bool userPage = false;  // TBM_SETPAGESIZE was used: a new range keeps the page
    LONG line = 1;
    LONG ticFreq = 1;
    std::vector<DWORD> tics;  // positions between the ends, sorted; the ends are implicit
    LONG selStart = 0;
    LONG selEnd = 0;
    int fixedThumbLength = 0;
    Mode mode = Mode::None;
    int dragOffset = 0;  // pen minus thumb centre along the channel
    int pageDirection = 0;
    POINT pen = {0, 0};
};

// Where everything lies, in "along" (the channel's direction) and "across"
// coordinates; Rect() turns them into client rectangles.
struct Layout {
    bool vertical = false;
    int along = 0;
    int across = 0;
    int thumbLength = 0;  // across the channel
    int thumbWidth = 0;   // along the channel
    int thumbTop = 0;     // across coordinate of the thumb's near side
    int travelStart = 0;  // thumb centre at the minimum
    int travelEnd = 0;    // thumb centre at the maximum
    bool ticksBefore = false;
    bool ticksAfter = false;

    RECT Rect(int a0, int c0, int a1, int c1) const {
        return vertical ? RECT{c0, a0, c1, a1} : RECT{a0, c0, a1, c1};
    }
    int Centre() const { return thumbTop + thumbLength / 2; }
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

Layout ComputeLayout(const Trackbar& tb) {
    Layout l;
    DWORD style = Style(tb.hwnd);
    RECT client;
    GetClientRect(tb.hwnd, &client);
    l.vertical = (style & TBS_VERT) != 0;
    l.along = l.vertical ? client.bottom : client.right;
    l.across = l.vertical ? client.right : client.bottom;
    if (!(style & TBS_NOTICKS)) {
        if (style & TBS_BOTH) l.ticksBefore = l.ticksAfter = true;
        else if (style & TBS_TOP) l.ticksBefore = true;
        else l.ticksAfter = true;
    }
    int before = l.ticksBefore ? kTickSpace : 0, after = l.ticksAfter ? kTickSpace : 0;
    int room = std::max(4, l.across - before - after - 2);
    l.thumbLength = (style & TBS_FIXEDLENGTH) && tb.fixedThumbLength > 0
                        ? std::min(tb.fixedThumbLength, std::max(4, l.across))
                        : std::min(room, kMaxThumbLength);
    l.thumbWidth = std::max(7, (l.thumbLength / 2) | 1);
    l.thumbTop = before + 1 + std::max(0, (room - l.thumbLength) / 2);
    l.travelStart = 2 + l.thumbWidth / 2;
    l.travelEnd = std::max(l.travelStart, l.along - 3 - l.thumbWidth / 2);
    return l;
}

int PixelOf(const Trackbar& tb, const Layout& l, LONG value) {
    if (tb.max <= tb.min) return l.travelStart;
    int64_t span = static_cast<int64_t>(tb.max) - tb.min;
    int64_t offset = std::clamp<int64_t>(static_cast<int64_t>(value) - tb.min, 0, span);
    return l.travelStart + static_cast<int>(offset * (l.travelEnd - l.travelStart) / span);
}

LONG ValueAt(const Trackbar& tb, const Layout& l, int pixel) {
    int travel = l.travelEnd - l.travelStart;
    if (tb.max <= tb.min || travel <= 0) return tb.min;
    int64_t span = static_cast<int64_t>(tb.max) - tb.min;
    int64_t p = std::clamp(pixel - l.travelStart, 0, travel);
    // Rounded to the nearest position, so the thumb follows the pen evenly.
    return static_cast<LONG>(tb.min + (p * span + travel / 2) / travel);
}

RECT ThumbRect(const Trackbar& tb, const Layout& l) {
    int centre = PixelOf(tb, l, tb.pos);
    int a0 = centre - l.thumbWidth / 2;
    return l.Rect(a0, l.thumbTop, a0 + l.thumbWidth, l.thumbTop + l.thumbLength);
}

RECT ChannelRect(const Trackbar& tb, const Layout& l) {
    // A sunken frame two pixels deep around a white groove.
    int thickness = (Style(tb.hwnd) & TBS_ENABLESELRANGE) ? 10 : 6;
    int c0 = l.Centre() - thickness / 2;
    return l.Rect(l.travelStart - l.thumbWidth / 2, c0, l.travelEnd + l.thumbWidth / 2 + 1,
                  c0 + thickness);
}

void Notify(const Trackbar& tb, int code) {
    HWND parent = GetParent(tb.hwnd);
    if (!parent) return;
    WORD value = (code == TB_THUMBTRACK || code == TB_THUMBPOSITION)
                     ? static_cast<WORD>(tb.pos) : 0;
    UINT message = (Style(tb.hwnd) & TBS_VERT) ? WM_VSCROLL : WM_HSCROLL;
    SendMessageW(parent, message, MAKEWPARAM(code, value), reinterpret_cast<LPARAM>(tb.hwnd));
}

void Redraw(const Trackbar& tb) { InvalidateRect(tb.hwnd, nullptr, FALSE); }

LONG Clamp(const Trackbar& tb, LONG value) {
    if (value < tb.min) return tb.min;
    if (value > tb.max) return tb.max;
    return value;
}

void RecalculateTics(Trackbar& tb) {
    tb.tics.clear();
    if (!(Style(tb.hwnd) & TBS_AUTOTICKS) || tb.ticFreq <= 0) return;
    for (int64_t v = static_cast<int64_t>(tb.min) + tb.ticFreq; v < tb.max; v += tb.ticFreq)
        tb.tics.push_back(static_cast<DWORD>(static_cast<LONG>(v)));
}

void RangeChanged(Trackbar& tb, bool redraw) {
    tb.pos = Clamp(tb, tb.pos);
    if (!tb.userPage) {
        tb.page = (tb.max - tb.min) / 5;
        if (tb.page == 0) tb.page = 1;
    }
    RecalculateTics(tb);
    if (redraw) Redraw(tb);
}

// One step of the pen held on the channel; false when the thumb has reached
// the pen (or the end) and paging stops.
bool PageStep(Trackbar& tb, bool first) {
    Layout l = ComputeLayout(tb);
    int penAlong = l.vertical ? tb.pen.y : tb.pen.x;
    int centre = PixelOf(tb, l, tb.pos);
    if (!first) {
        bool beyond = tb.pageDirection < 0 ? penAlong < centre - l.thumbWidth / 2
                                           : penAlong >= centre + l.thumbWidth / 2 + 1;
        if (!beyond) return false;
    }
    LONG old = tb.pos;
    tb.pos = Clamp(tb, tb.pageDirection < 0 ? tb.pos - tb.page : tb.pos + tb.page);
    if (tb.pos == old) return false;
    Redraw(tb);
    Notify(tb, tb.pageDirection < 0 ? TB_PAGEUP : TB_PAGEDOWN);
    return true;
}

void EndPen(Trackbar& tb, bool notify) {
    Mode mode = tb.mode;
    tb.mode = Mode::None;
    KillTimer(tb.hwnd, kPageTimer);
    if (GetCapture() == tb.hwnd) ReleaseCapture();
    if (!notify) return;
    if (mode == Mode::Thumb) Notify(tb, TB_THUMBPOSITION);
    if (mode != Mode::None) Notify(tb, TB_ENDTRACK);
    Redraw(tb);
}

void OnPenDown(Trackbar& tb, POINT p) {
    if (!IsWindowEnabled(tb.hwnd)) return;
    if (GetFocus() != tb.hwnd) SetFocus(tb.hwnd);
    tb.pen = p;
    Layout l = ComputeLayout(tb);
    int along = l.vertical ? p.y : p.x;
    int centre = PixelOf(tb, l, tb.pos);
    SetCapture(tb.hwnd);
    // The thumb is small under a pen: a couple of pixels either side count.
    if (!(Style(tb.hwnd) & TBS_NOTHUMB) && along >= centre - l.thumbWidth / 2 - 2 &&
        along <= centre + l.thumbWidth / 2 + 2) {
        tb.mode = Mode::Thumb;
        tb.dragOffset = along - centre;
        Redraw(tb);
        return;
    }
    tb.mode = Mode::Page;
    tb.pageDirection = along < centre ? -1 : 1;
    PageStep(tb, true);
    SetTimer(tb.hwnd, kPageTimer, kPageFirstDelay, nullptr);
}

void OnPenMove(Trackbar& tb, POINT p) {
    tb.pen = p;
    if (tb.mode != Mode::Thumb) return;
    Layout l = ComputeLayout(tb);
    LONG value = ValueAt(tb, l, (l.vertical ? p.y : p.x) - tb.dragOffset);
    if (value == tb.pos) return;
    tb.pos = value;
    Redraw(tb);
    Notify(tb, TB_THUMBTRACK);
}

bool OnKey(Trackbar& tb, UINT vk) {
    LONG old = tb.pos;
    int code;
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
        code = TB_LINEUP;
        tb.pos = Clamp(tb, tb.pos - tb.line);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        code = TB_LINEDOWN;
        tb.pos = Clamp(tb, tb.pos + tb.line);
        break;
    case VK_PRIOR:
        code = TB_PAGEUP;
        tb.pos = Clamp(tb, tb.pos - tb.page);
        break;
    case VK_NEXT:
        code = TB_PAGEDOWN;
        tb.pos = Clamp(tb, tb.pos + tb.page);
        break;
    case VK_HOME:
        code = TB_TOP;
        tb.pos = tb.min;
        break;
    case VK_END:
        code = TB_BOTTOM;
        tb.pos = tb.max;
        break;
    default:
        return false;
    }
    // At the end of the range a key moves nothing and reports nothing.
    if (tb.pos == old) return true;
    Redraw(tb);
    Notify(tb, code);
    return true;
}

// ---- Painting ----

void DrawTicks(HDC dc, const Trackbar& tb, const Layout& l) {
    auto tick = [&](LONG value, int extra) {
        int a = PixelOf(tb, l, value);
        if (l.ticksBefore) {
            int c1 = l.thumbTop - 1;
            RECT r = l.Rect(a, c1 - 3 - extra, a + 1, c1);
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNTEXT));
        }
        if (l.ticksAfter) {
            int c0 = l.thumbTop + l.thumbLength + 1;
            RECT r = l.Rect(a, c0, a + 1, c0 + 3 + extra);
            FillRect(dc, &r, GetSysColorBrush(COLOR_BTNTEXT));
        }
    };
    tick(tb.min, 0);
    for (DWORD t : tb.tics) tick(static_cast<LONG>(t), 0);
    tick(tb.max, 0);
}

void DrawThumb(HDC dc, const Trackbar& tb, const Layout& l, bool enabled) {
    RECT r = ThumbRect(tb, l);
    int face = !enabled || tb.mode == Mode::Thumb ? COLOR_3DLIGHT : COLOR_BTNFACE;
    if (l.ticksBefore == l.ticksAfter) {
        // Both ways (or no ticks): a plain raised block.
        RECT box = r;
        DrawEdge(dc, &box, EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST);
        bars::FillSys(dc, box, face);
        return;
    }
    // A pointer towards the ticks: a block with a triangular end.
    int point = l.thumbWidth / 2;
    POINT pts[5];
    bool down = l.ticksAfter;
    if (!l.vertical) {
        int left = r.left, right = r.right - 1, top = r.top, bottom = r.bottom - 1, mid = left + point;
        if (down) {
            POINT p[5] = {{left, top}, {right, top}, {right, bottom - point}, {mid, bottom},
                          {left, bottom - point}};
            std::copy(p, p + 5, pts);
        } else {
            POINT p[5] = {{mid, top}, {right, top + point}, {right, bottom}, {left, bottom},
                          {left, top + point}};
            std::copy(p, p + 5, pts);
        }
    } else {
        int left = r.left, right = r.right - 1, top = r.top, bottom = r.bottom - 1, mid = top + point;
        if (down) {
            POINT p[5] = {{left, top}, {right - point, top}, {right, mid}, {right - point, bottom},
                          {left, bottom}};
            std::copy(p, p + 5, pts);
        } else {
            POINT p[5] = {{left + point, top}, {right, top}, {right, bottom},
                          {left + point, bottom}, {left, mid}};
            std::copy(p, p + 5, pts);
        }
    }
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_3DDKSHADOW));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetSysColorBrush(face));
    Polygon(dc, pts, 5);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

void Paint(Trackbar& tb) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(tb.hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(tb.hwnd, &client);
    FillRect(dc, &client, bars::ParentBackground(tb.hwnd, dc));
    Layout l = ComputeLayout(tb);
    DWORD style = Style(tb.hwnd);
    bool enabled = IsWindowEnabled(tb.hwnd) != FALSE;

    RECT channel = ChannelRect(tb, l);
    RECT inside = channel;
    DrawEdge(dc, &inside, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    bars::FillSys(dc, inside, COLOR_WINDOW);
    if ((style & TBS_ENABLESELRANGE) && tb.selEnd > tb.selStart) {
        int a0 = PixelOf(tb, l, tb.selStart), a1 = PixelOf(tb, l, tb.selEnd);
        RECT sel = l.vertical ? RECT{inside.left, a0, inside.right, a1 + 1}
                              : RECT{a0, inside.top, a1 + 1, inside.bottom};
        IntersectRect(&sel, &sel, &inside);
        bars::FillSys(dc, sel, COLOR_HIGHLIGHT);
    }
    if (!(style & TBS_NOTICKS)) DrawTicks(dc, tb, l);
    if (!(style & TBS_NOTHUMB)) DrawThumb(dc, tb, l, enabled);
    if (GetFocus() == tb.hwnd) DrawFocusRect(dc, &client);
    EndPaint(tb.hwnd, &ps);
}

LRESULT CALLBACK TrackbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Trackbar* tb = bars::StateOf<Trackbar>(hwnd);
    if (!tb) {
        if (message != WM_CREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
        tb = new Trackbar;
        tb->hwnd = hwnd;
        bars::SetState(hwnd, tb);
        RecalculateTics(*tb);
        return 0;
    }
    switch (message) {
    case WM_NCDESTROY:
        bars::SetState(hwnd, nullptr);
        delete tb;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_PAINT:
        Paint(*tb);
        return 0;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_STYLECHANGED:
        Redraw(*tb);
        return 0;
    case WM_GETDLGCODE:
        return bars::kWantArrows;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnPenDown(*tb, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        if (tb->mode != Mode::None)
            OnPenMove(*tb, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        if (tb->mode != Mode::None) EndPen(*tb, true);
        return 0;
    case WM_CAPTURECHANGED:
        if (tb->mode != Mode::None && reinterpret_cast<HWND>(lParam) != hwnd) {
            tb->mode = Mode::None;
            KillTimer(hwnd, kPageTimer);
            Redraw(*tb);
        }
        return 0;
    case WM_TIMER:
        if (wParam == kPageTimer) {
            if (tb->mode != Mode::Page || !PageStep(*tb, false)) KillTimer(hwnd, kPageTimer);
            else SetTimer(hwnd, kPageTimer, kPageRepeatDelay, nullptr);
        }
        return 0;
    case WM_KEYDOWN:
        if (OnKey(*tb, static_cast<UINT>(wParam))) return 0;
        break;
    case WM_KEYUP:
        switch (wParam) {
        case VK_LEFT: case VK_UP: case VK_RIGHT: case VK_DOWN:
        case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END:
            Notify(*tb, TB_ENDTRACK);
            return 0;
        default:
            break;
        }
        break;

    case TBM_GETPOS:
        return tb->pos;
    case TBM_GETRANGEMIN:
        return tb->min;
    case TBM_GETRANGEMAX:
        return tb->max;
    case TBM_SETPOS: {
        LONG value = Clamp(*tb, static_cast<LONG>(lParam));
        if (value != tb->pos) {
            tb->pos = value;
            if (wParam) Redraw(*tb);
        }
        return 0;
    }
    case TBM_SETRANGE:
        // Both ends are 16-bit signed values, so a range may start below zero.
        tb->min = static_cast<SHORT>(LOWORD(lParam));
        tb->max = static_cast<SHORT>(HIWORD(lParam));
        RangeChanged(*tb, wParam != 0);
        return 0;
    case TBM_SETRANGEMIN:
        tb->min = static_cast<LONG>(lParam);
        RangeChanged(*tb, wParam != 0);
        return 0;
    case TBM_SETRANGEMAX:
        tb->max = static_cast<LONG>(lParam);
        RangeChanged(*tb, wParam != 0);
        return 0;
    case TBM_SETPAGESIZE: {
        LONG old = tb->page;
        if (static_cast<LONG>(lParam) == -1) {
            // Back to the default that follows the range.
            tb->userPage = false;
            tb->page = std::max<LONG>(1, (tb->max - tb->min) / 5);
        } else {
            tb->userPage = true;
            tb->page = static_cast<LONG>(lParam);
        }
        return old;
    }
    case TBM_GETPAGESIZE:
        return tb->page;
    case TBM_SETLINESIZE: {
        LONG old = tb->line;
        tb->line = static_cast<LONG>(lParam);
        return old;
    }
    case TBM_GETLINESIZE:
        return tb->line;
    case TBM_SETTICFREQ:
        tb->ticFreq = static_cast<LONG>(wParam);
        RecalculateTics(*tb);
        Redraw(*tb);
        return 0;
    case TBM_SETTIC: {
        LONG value = static_cast<LONG>(lParam);
        if (value < tb->min || value > tb->max) return FALSE;
        auto at = std::lower_bound(tb->tics.begin(), tb->tics.end(), value,
                                   [](DWORD t, LONG v) { return static_cast<LONG>(t) < v; });
        if (at == tb->tics.end() || static_cast<LONG>(*at) != value)
            tb->tics.insert(at, static_cast<DWORD>(value));
        Redraw(*tb);
        return TRUE;
    }
    case TBM_CLEARTICS:
        tb->tics.clear();
        if (wParam) Redraw(*tb);
        return 0;
    case TBM_GETTIC:
        return wParam < tb->tics.size() ? static_cast<LONG>(tb->tics[wParam]) : -1;
    case TBM_GETPTICS:
        return tb->tics.empty() ? 0 : reinterpret_cast<LRESULT>(tb->tics.data());
    case TBM_GETNUMTICS:
        return (Style(hwnd) & TBS_NOTICKS) ? 0 : static_cast<LRESULT>(tb->tics.size() + 2);
    case TBM_GETTICPOS:
        if (wParam >= tb->tics.size()) return -1;
        return PixelOf(*tb, ComputeLayout(*tb), static_cast<LONG>(tb->tics[wParam]));
    case TBM_GETTHUMBRECT:
    case TBM_GETCHANNELRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        Layout l = ComputeLayout(*tb);
        *r = message == TBM_GETTHUMBRECT ? ThumbRect(*tb, l) : ChannelRect(*tb, l);
        return 0;
    }
    case TBM_SETTHUMBLENGTH:
        tb->fixedThumbLength = static_cast<int>(wParam);
        Redraw(*tb);
        return 0;
    case TBM_GETTHUMBLENGTH:
        return ComputeLayout(*tb).thumbLength;
    case TBM_SETSEL:
        tb->selStart = static_cast<SHORT>(LOWORD(lParam));
        tb->selEnd = static_cast<SHORT>(HIWORD(lParam));
        if (wParam) Redraw(*tb);
        return 0;
    case TBM_SETSELSTART:
        tb->selStart = static_cast<LONG>(lParam);
        if (wParam) Redraw(*tb);
        return 0;
    case TBM_SETSELEND:
        tb->selEnd = static_cast<LONG>(lParam);
        if (wParam) Redraw(*tb);
        return 0;
    case TBM_GETSELSTART:
        return tb->selStart;
    case TBM_GETSELEND:
        return tb->selEnd;
    case TBM_CLEARSEL:
        tb->selStart = tb->selEnd = 0;
        if (wParam) Redraw(*tb);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void bars::RegisterTrackbarClass() { RegisterControlClass(TRACKBAR_CLASSW, TrackbarProc); }
