// DefWindowProcW: the default handling that programs rely on when they pass
// a message on. Closing destroys the window, erasing fills with the class
// brush, painting validates, text messages read and write the window text,
// and WM_WINDOWPOSCHANGED reports the new place with WM_MOVE and WM_SIZE.
#include <algorithm>

#include "gwes/window_manager.h"

using namespace gwes;

namespace {

HBRUSH ClassBrush(HWND hwnd) {
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    if (!w || !w->cls) return nullptr;
    HBRUSH b = w->cls->background;
    // A class may name a system colour as (HBRUSH)(COLOR_xxx + 1).
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(b);
    if (value != 0 && value <= C_SYS_COLOR_TYPES) b = GetSysColorBrush(static_cast<int>(value - 1));
    else if (value > SYS_COLOR_INDEX_FLAG && value <= (SYS_COLOR_INDEX_FLAG | C_SYS_COLOR_TYPES))
        b = GetSysColorBrush(static_cast<int>(value - 1));
    return b;
}

LRESULT SetText(HWND hwnd, LPCWSTR text) {
    bool caption, topLevel;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return FALSE;
        w->text = text ? std::u16string(text) : std::u16string();
        caption = (w->style & WS_CAPTION) == WS_CAPTION;
        topLevel = !w->IsChild();
        if (caption && ReallyVisible(*w)) {
            w->frameDirty = true;
            if (w->queue) WakeQueue(*w->queue);
        }
    }
    if (topLevel) NotifyCaptionChanged();  // the navigation bar may show this title
    return TRUE;
}

LRESULT GetText(HWND hwnd, WPARAM capacity, LPWSTR buffer) {
    if (!buffer || capacity == 0) return 0;
    Guard guard(Lock());
    auto w = FindWindowObject(hwnd);
    if (!w) {
        buffer[0] = 0;
        return 0;
    }
    size_t n = std::min<size_t>(w->text.size(), capacity - 1);
    std::copy(w->text.begin(), w->text.begin() + static_cast<std::ptrdiff_t>(n), buffer);
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
}

}  // namespace

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_ERASEBKGND: {
        HBRUSH brush = ClassBrush(hwnd);
        HDC dc = reinterpret_cast<HDC>(wParam);
        if (!brush || !dc) return 0;
        RECT box;
        if (GetClipBox(dc, &box) == 0 /* ERROR */) return 0;
        FillRect(dc, &box, brush);
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        if (BeginPaint(hwnd, &ps)) EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETTEXT: return SetText(hwnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT: return GetText(hwnd, wParam, reinterpret_cast<LPWSTR>(lParam));
    case WM_GETTEXTLENGTH: {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_WINDOWPOSCHANGED: {
        const WINDOWPOS* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!wp) return 0;
        RECT client;
        POINT origin;
        bool maximized;
        {
            Guard guard(Lock());
            auto w = FindWindowObject(hwnd);
            if (!w) return 0;
            client = ClientRectInWindow(*w);
            origin = {w->rect.left + client.left, w->rect.top + client.top};
            maximized = (w->style & WS_MAXIMIZE) != 0;
        }
        if (!(wp->flags & SWP_NOMOVE))
            SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
        if (!(wp->flags & SWP_NOSIZE) || (wp->flags & SWP_FRAMECHANGED))
            SendMessageW(hwnd, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                         MAKELPARAM(client.right - client.left, client.bottom - client.top));
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && GetActiveWindow() == hwnd) SetFocus(hwnd);
        return 0;
    case WM_SETREDRAW: {
        // As on the desktop system: the visible bit goes off and on without
        // any repainting; the caller invalidates when it turns drawing back on.
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return 0;
        if (wParam) w->style |= WS_VISIBLE;
        else w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        return 0;
    }
    case WM_GETICON: {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return 0;
        return reinterpret_cast<LRESULT>(wParam ? w->iconBig : w->iconSmall);
    }
    case WM_SETICON: {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return 0;
        HICON& slot = wParam ? w->iconBig : w->iconSmall;
        HICON old = slot;
        slot = reinterpret_cast<HICON>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_CANCELMODE:
        if (GetCapture() == hwnd) ReleaseCapture();
        return 0;
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        bool window = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
        SetTextColor(dc, GetSysColor(window ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
        SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_CONTEXTMENU:
    case WM_HELP: {
        // Children pass these on to their parent.
        HWND parent = nullptr;
        {
            Guard guard(Lock());
            auto w = FindWindowObject(hwnd);
            if (w && w->IsChild() && w->parent && !w->parent->isDesktop) parent = w->parent->handle;
        }
        return parent ? SendMessageW(parent, message, wParam, lParam) : 0;
    }
    case WM_MOUSEACTIVATE: return 1;  // MA_ACTIVATE
    case WM_QUERYENDSESSION: return TRUE;
    case WM_NOTIFYFORMAT: return 2;   // NFR_UNICODE
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == 0xF060) SendMessageW(hwnd, WM_CLOSE, 0, 0);  // SC_CLOSE
        return 0;
    default: return 0;
    }
}
