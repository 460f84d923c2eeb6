// The progress bar ("msctls_progress32"): a position inside a range shown as
// a filled part of the bar, in blocks or smooth (PBS_SMOOTH), filling from
// the left or, with PBS_VERTICAL, from the bottom. It takes no input.
#include <algorithm>
#include <cstdint>

#include "controls/bar_controls.h"

namespace {

constexpr COLORREF kDefaultColor = 0xFF000000;  // CLR_DEFAULT: the system colour

struct Progress {
    HWND hwnd = nullptr;
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    COLORREF barColor = kDefaultColor;
    COLORREF backColor = kDefaultColor;
};

int Clamp(const Progress& p, int value) {
    if (p.high <= p.low) return p.low;
    return std::clamp(value, p.low, p.high);
}

// Sets the position and repaints when it moved; returns the old one.
LRESULT MoveTo(Progress& p, int value) {
    int old = p.pos;
    p.pos = Clamp(p, value);
    if (p.pos != old) InvalidateRect(p.hwnd, nullptr, FALSE);
    return old;
}

LRESULT SetRange(Progress& p, int low, int high) {
    LRESULT old = MAKELONG(static_cast<WORD>(p.low), static_cast<WORD>(p.high));
    p.low = low;
    p.high = high;
    p.pos = Clamp(p, p.pos);
    InvalidateRect(p.hwnd, nullptr, FALSE);
    return old;
}

void Paint(Progress& p) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(p.hwnd, &ps);
    if (!dc) return;
    DWORD style = static_cast<DWORD>(GetWindowLongW(p.hwnd, GWL_STYLE));
    RECT client;
    GetClientRect(p.hwnd, &client);
    RECT inside = client;
    DrawEdge(dc, &inside, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    HBRUSH back = p.backColor == kDefaultColor ? GetSysColorBrush(COLOR_BTNFACE)
                                                          : CreateSolidBrush(p.backColor);
    FillRect(dc, &inside, back);
    if (p.backColor != kDefaultColor) DeleteObject(back);
    InflateRect(&inside, -1, -1);

    bool vertical = (style & PBS_VERTICAL) != 0;
    int length = vertical ? inside.bottom - inside.top : inside.right - inside.left;
    int64_t span = static_cast<int64_t>(p.high) - p.low;
    int filled = span > 0 ? static_cast<int>((static_cast<int64_t>(p.pos) - p.low) * length / span) : 0;
    if (filled <= 0 || length <= 0) {
        EndPaint(p.hwnd, &ps);
        return;
    }
    HBRUSH bar = p.barColor == kDefaultColor ? GetSysColorBrush(COLOR_HIGHLIGHT)
                                                        : CreateSolidBrush(p.barColor);
    auto part = [&](int from, int to) {
        RECT r = vertical ? RECT{inside.left, inside.bottom - to, inside.right, inside.bottom - from}
                          : RECT{inside.left + from, inside.top, inside.left + to, inside.bottom};
        FillRect(dc, &r, bar);
    };
    if (style & PBS_SMOOTH) {
        part(0, filled);
    } else {
        // Blocks two thirds as long as the bar is thick, two pixels apart;
        // the last block may be cut short at the position.
        int thickness = vertical ? inside.right - inside.left : inside.bottom - inside.top;
        int block = std::max(2, thickness * 2 / 3);
        for (int from = 0; from < filled; from += block + 2) part(from, std::min(from + block, filled));
    }
    if (p.barColor != kDefaultColor) DeleteObject(bar);
    EndPaint(p.hwnd, &ps);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Progress* p = bars::StateOf<Progress>(hwnd);
    if (!p) {
        if (message != WM_CREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
        p = new Progress;
        p->hwnd = hwnd;
        bars::SetState(hwnd, p);
        return 0;
    }
    switch (message) {
    case WM_NCDESTROY:
        bars::SetState(hwnd, nullptr);
        delete p;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(*p);
        return 0;
    case WM_SIZE:
    case WM_STYLECHANGED:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case PBM_SETRANGE:
        // The 16-bit form: both ends unsigned.
        return SetRange(*p, LOWORD(lParam), HIWORD(lParam));
    case PBM_SETRANGE32:
        return SetRange(*p, static_cast<int>(wParam), static_cast<int>(lParam));
    case PBM_GETRANGE: {
        PBRANGE* range = reinterpret_cast<PBRANGE*>(lParam);
        if (range) {
            range->iLow = p->low;
            range->iHigh = p->high;
        }
        return wParam ? p->low : p->high;
    }
    case PBM_SETPOS:
        return MoveTo(*p, static_cast<int>(wParam));
    case PBM_DELTAPOS:
        return MoveTo(*p, p->pos + static_cast<int>(wParam));
    case PBM_GETPOS:
        return p->pos;
    case PBM_SETSTEP: {
        int old = p->step;
        p->step = static_cast<int>(wParam);
        return old;
    }
    case PBM_STEPIT: {
        // Past the end the bar starts over from the beginning.
        int old = p->pos;
        int64_t value = static_cast<int64_t>(p->pos) + p->step;
        int64_t span = static_cast<int64_t>(p->high) - p->low;
        if (span <= 0) value = p->low;
        else if (value > p->high) value = p->low + (value - p->high) % span;
        else if (value < p->low) value = p->high - (p->low - value) % span;
        p->pos = static_cast<int>(value);
        if (p->pos != old) InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR: {
        COLORREF& slot = message == PBM_SETBARCOLOR ? p->barColor : p->backColor;
        COLORREF old = slot;
        slot = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return old;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void bars::RegisterProgressClass() { RegisterControlClass(PROGRESS_CLASSW, ProgressProc, 0); }
