// Scroll information: SetScrollInfo and its relatives. SB_CTL talks to a
// scroll bar control with SBM_xxx messages; SB_HORZ and SB_VERT keep the
// values of a window's own bars here, keyed by window handle (handles are
// never reused, so an entry of a destroyed window is only dropped later).
// A window's bar is drawn inside its right or bottom edge, in the areas the
// frame leaves for it; a range that needs no scrolling hides the bar.
#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "controls/standard_controls.h"
#include "gwes/window_manager.h"

using controls::ScrollValues;

namespace {

struct WindowBars {
    ScrollValues bars[2];  // SB_HORZ, SB_VERT
    bool set[2] = {false, false};
};

std::mutex g_barsLock;  // taken before the window lock, never inside it

std::unordered_map<HWND, WindowBars>& Bars() {
    static auto* bars = new std::unordered_map<HWND, WindowBars>;
    return *bars;
}

// A window's bar starts with the range 0..100, as on the desktop system.
ScrollValues DefaultValues() {
    ScrollValues v;
    v.max = 100;
    return v;
}

DWORD BarStyle(int bar) { return bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL; }

bool ValidWindowBar(int bar) { return bar == SB_HORZ || bar == SB_VERT; }

// Drops the entries of windows that are gone once the table has grown.
void Prune() {
    std::vector<HWND> keys;
    {
        std::lock_guard<std::mutex> guard(g_barsLock);
        if (Bars().size() < 64) return;
        for (auto& [hwnd, bars] : Bars()) keys.push_back(hwnd);
    }
    std::vector<HWND> dead;
    for (HWND h : keys)
        if (!IsWindow(h)) dead.push_back(h);
    std::lock_guard<std::mutex> guard(g_barsLock);
    for (HWND h : dead) Bars().erase(h);
}

bool HasBar(HWND hwnd, int bar) { return (GetWindowLongW(hwnd, GWL_STYLE) & BarStyle(bar)) != 0; }

// Bar rectangles in window coordinates (empty without the bar).
bool BarRects(HWND hwnd, RECT* vertical, RECT* horizontal, RECT* client) {
    gwes::Guard guard(gwes::Lock());
    auto w = gwes::FindWindowObject(hwnd);
    if (!w) return false;
    RECT c = gwes::ClientRectInWindow(*w);
    *client = c;
    *vertical = {0, 0, 0, 0};
    *horizontal = {0, 0, 0, 0};
    if (w->style & WS_VSCROLL) *vertical = {c.right, c.top, c.right + GetSystemMetrics(SM_CXVSCROLL), c.bottom};
    if (w->style & WS_HSCROLL) *horizontal = {c.left, c.bottom, c.right, c.bottom + GetSystemMetrics(SM_CYHSCROLL)};
    return true;
}

void DrawBars(HWND hwnd, HDC dc, int trackedBar, int thumbPos, controls::ScrollPart pressed) {
    RECT vertical, horizontal, client;
    if (!BarRects(hwnd, &vertical, &horizontal, &client)) return;
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    for (int bar : {SB_VERT, SB_HORZ}) {
        const RECT& r = bar == SB_VERT ? vertical : horizontal;
        if (r.right <= r.left || r.bottom <= r.top) continue;
        ScrollValues v = controls::WindowScrollValues(hwnd, bar);
        bool tracked = bar == trackedBar;
        controls::DrawScrollBar(dc, r, bar == SB_VERT, v, tracked ? thumbPos : v.pos,
                                tracked ? pressed : controls::ScrollPart::None,
                                GetSysColorBrush(COLOR_SCROLLBAR), enabled);
    }
}

void RedrawBars(HWND hwnd) {
    if (!IsWindowVisible(hwnd)) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    DrawBars(hwnd, dc, -1, 0, controls::ScrollPart::None);
    ReleaseDC(hwnd, dc);
}

// Turns a window's bar on or off: the style bit changes and the frame is
// recomputed, so the window gets WM_SIZE with its new client area.
bool SetBarShown(HWND hwnd, DWORD bits, bool show) {
    {
        gwes::Guard guard(gwes::Lock());
        auto w = gwes::WindowOrError(hwnd);
        if (!w) return false;
        DWORD style = show ? (w->style | bits) : (w->style & ~bits);
        if (style == w->style) return true;
        w->style = style;
    }
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return true;
}

bool ValidInfoSize(UINT size) {
    return size == sizeof(SCROLLINFO) || size == sizeof(SCROLLINFO) - sizeof(int);
}

}  // namespace

namespace controls {

ScrollValues WindowScrollValues(HWND hwnd, int bar) {
    if (!ValidWindowBar(bar)) return {};
    std::lock_guard<std::mutex> guard(g_barsLock);
    auto it = Bars().find(hwnd);
    if (it == Bars().end() || !it->second.set[bar]) return DefaultValues();
    return it->second.bars[bar];
}

void SetWindowTrackPos(HWND hwnd, int bar, int trackPos, bool tracking) {
    if (!ValidWindowBar(bar)) return;
    std::lock_guard<std::mutex> guard(g_barsLock);
    WindowBars& b = Bars()[hwnd];
    if (!b.set[bar]) {
        b.bars[bar] = DefaultValues();
        b.set[bar] = true;
    }
    b.bars[bar].trackPos = trackPos;
    b.bars[bar].tracking = tracking;
}

RECT WindowScrollBarRect(HWND hwnd, int bar) {
    RECT vertical, horizontal, client;
    if (!ValidWindowBar(bar) || !BarRects(hwnd, &vertical, &horizontal, &client)) return {0, 0, 0, 0};
    RECT r = bar == SB_VERT ? vertical : horizontal;
    if (r.right <= r.left || r.bottom <= r.top) return {0, 0, 0, 0};
    OffsetRect(&r, -client.left, -client.top);
    return r;
}

void DrawWindowScrollBar(HWND hwnd, int bar, int thumbPos, ScrollPart pressed) {
    if (!IsWindowVisible(hwnd)) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    DrawBars(hwnd, dc, bar, thumbPos, pressed);
    ReleaseDC(hwnd, dc);
}

}  // namespace controls

void gwes::DrawWindowScrollBars(HWND hwnd, HDC windowDC) {
    DrawBars(hwnd, windowDC, -1, 0, controls::ScrollPart::None);
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw) {
    if (!info || !ValidInfoSize(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bar == SB_CTL)
        return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    if (!ValidWindowBar(bar)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    Prune();
    ScrollValues v;
    {
        std::lock_guard<std::mutex> guard(g_barsLock);
        WindowBars& b = Bars()[hwnd];
        if (!b.set[bar]) {
            b.bars[bar] = DefaultValues();
            b.set[bar] = true;
        }
        controls::ApplyScrollInfo(b.bars[bar], *info);
        v = b.bars[bar];
    }
    // A bar that cannot scroll goes away (or greys with SIF_DISABLENOSCROLL);
    // one that can comes back, unless only the page changed.
    int show = -1;
    UINT disabled = v.disabled;
    UINT shape = info->fMask & (SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL);
    if (shape) {
        if (!v.Scrollable()) {
            if (info->fMask & SIF_DISABLENOSCROLL) disabled = ESB_DISABLE_BOTH;
            else show = 0;
        } else if (shape != SIF_PAGE) {
            disabled = ESB_ENABLE_BOTH;
            show = 1;
        }
    }
    if (disabled != v.disabled) {
        std::lock_guard<std::mutex> guard(g_barsLock);
        Bars()[hwnd].bars[bar].disabled = disabled;
    }
    bool had = HasBar(hwnd, bar);
    if (show == 0 && had) SetBarShown(hwnd, BarStyle(bar), false);
    else if (show == 1 && !had) SetBarShown(hwnd, BarStyle(bar), true);
    else if (redraw && had) RedrawBars(hwnd);
    return v.pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
    if (!info || !ValidInfoSize(info->cbSize)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (bar == SB_CTL) return SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)) ? TRUE : FALSE;
    if (!ValidWindowBar(bar) || !IsWindow(hwnd)) {
        SetLastError(ValidWindowBar(bar) ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool known;
    {
        std::lock_guard<std::mutex> guard(g_barsLock);
        auto it = Bars().find(hwnd);
        known = it != Bars().end() && it->second.set[bar];
    }
    // A window that never had the bar has no scroll information.
    if (!known && !HasBar(hwnd, bar)) return FALSE;
    ScrollValues v = controls::WindowScrollValues(hwnd, bar);
    return controls::FillScrollInfo(v, info) ? TRUE : FALSE;
}

int SetScrollPos(HWND hwnd, int bar, int pos, BOOL redraw) {
    if (bar == SB_CTL) return static_cast<int>(SendMessageW(hwnd, SBM_SETPOS, static_cast<WPARAM>(pos), redraw));
    int old = GetScrollPos(hwnd, bar);
    SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, pos, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return old;
}

int GetScrollPos(HWND hwnd, int bar) {
    if (bar == SB_CTL) return static_cast<int>(SendMessageW(hwnd, SBM_GETPOS, 0, 0));
    SCROLLINFO si = {sizeof si, SIF_POS, 0, 0, 0, 0, 0};
    return GetScrollInfo(hwnd, bar, &si) ? si.nPos : 0;
}

BOOL SetScrollRange(HWND hwnd, int bar, int minPos, int maxPos, BOOL redraw) {
    if (static_cast<int64_t>(maxPos) - minPos > 0x7FFFFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (bar == SB_CTL) {
        SendMessageW(hwnd, redraw ? SBM_SETRANGEREDRAW : SBM_SETRANGE, static_cast<WPARAM>(minPos), maxPos);
        return TRUE;
    }
    SCROLLINFO si = {sizeof si, SIF_RANGE, minPos, maxPos, 0, 0, 0};
    SetScrollInfo(hwnd, bar, &si, redraw);
    return IsWindow(hwnd);
}

BOOL GetScrollRange(HWND hwnd, int bar, int* minPos, int* maxPos) {
    if (!minPos || !maxPos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (bar == SB_CTL) {
        SendMessageW(hwnd, SBM_GETRANGE, reinterpret_cast<WPARAM>(minPos), reinterpret_cast<LPARAM>(maxPos));
        return TRUE;
    }
    SCROLLINFO si = {sizeof si, SIF_RANGE, 0, 0, 0, 0, 0};
    if (!GetScrollInfo(hwnd, bar, &si)) {
        *minPos = *maxPos = 0;
        return FALSE;
    }
    *minPos = si.nMin;
    *maxPos = si.nMax;
    return TRUE;
}

BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
    switch (bar) {
    case SB_CTL: ShowWindow(hwnd, show ? SW_SHOW : SW_HIDE); return IsWindow(hwnd);
    case SB_HORZ: return SetBarShown(hwnd, WS_HSCROLL, show != FALSE);
    case SB_VERT: return SetBarShown(hwnd, WS_VSCROLL, show != FALSE);
    case SB_BOTH: return SetBarShown(hwnd, WS_HSCROLL | WS_VSCROLL, show != FALSE);
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
}

BOOL EnableScrollBar(HWND hwnd, UINT bar, UINT arrows) {
    arrows &= ESB_DISABLE_BOTH;
    if (bar == SB_CTL) return SendMessageW(hwnd, SBM_ENABLE_ARROWS, arrows, 0) ? TRUE : FALSE;
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    bool changed = false;
    for (int b : {SB_HORZ, SB_VERT}) {
        if (bar != SB_BOTH && static_cast<int>(bar) != b) continue;
        std::lock_guard<std::mutex> guard(g_barsLock);
        WindowBars& w = Bars()[hwnd];
        if (!w.set[b]) {
            w.bars[b] = DefaultValues();
            w.set[b] = true;
        }
        changed = changed || w.bars[b].disabled != arrows;
        w.bars[b].disabled = arrows;
    }
    if (changed) RedrawBars(hwnd);
    return changed ? TRUE : FALSE;
}
