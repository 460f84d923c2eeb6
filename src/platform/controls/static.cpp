// The "Static" control: text (left, centred, right, without word wrap),
// icons and bitmaps (from the window text as a resource name, or
// STM_SETIMAGE), filled and framed rectangles, etched lines and owner-drawn
// statics. The parent's WM_CTLCOLORSTATIC answer paints it. With SS_NOTIFY a
// tap reports STN_CLICKED; without it the pen passes to the parent, as it
// would through a window that is transparent to hit tests.
#include <algorithm>

#include "controls/standard_controls.h"

namespace controls {

namespace {

struct StaticState : StateBase {
    HFONT font = nullptr;
    HANDLE image = nullptr;
    UINT imageType = IMAGE_BITMAP;
};

DWORD Kind(DWORD style) { return style & SS_TYPEMASK; }

SIZE ImageSize(HANDLE image, UINT type) {
    SIZE size = {0, 0};
    if (!image) return size;
    if (type == IMAGE_ICON) {
        ICONINFO ii;
        if (!GetIconInfo(static_cast<HICON>(image), &ii)) return size;
        BITMAP bm;
        if (GetObjectW(ii.hbmMask, sizeof bm, &bm)) size = {bm.bmWidth, ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2};
        DeleteObject(ii.hbmMask);
        if (ii.hbmColor) DeleteObject(ii.hbmColor);
        return size;
    }
    BITMAP bm;
    if (GetObjectW(image, sizeof bm, &bm)) size = {bm.bmWidth, std::abs(bm.bmHeight)};
    return size;
}

// An image static takes the size of its image unless told to centre it.
void FitToImage(HWND hwnd, const StaticState& s) {
    if (Style(hwnd) & (SS_CENTERIMAGE | SS_REALSIZEIMAGE)) return;
    SIZE size = ImageSize(s.image, s.imageType);
    if (size.cx <= 0 || size.cy <= 0) return;
    SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A dialog template gives the resource of an icon or bitmap static as its
// text: an ordinal (0xFFFF, id) or a name.
HANDLE LoadImageFromName(HWND hwnd, LPCWSTR name, bool icon) {
    if (!name) return nullptr;
    LPCWSTR resource = name;
    if (!IS_INTRESOURCE(name)) {
        if (name[0] == 0xFFFF) resource = MAKEINTRESOURCEW(name[1]);
        else if (!name[0]) return nullptr;
    }
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWL_HINSTANCE));
    if (icon) {
        HICON h = LoadIconW(instance, resource);
        if (!h && instance) h = LoadIconW(nullptr, resource);
        return h;
    }
    return LoadBitmapW(instance, resource);
}

void SetImage(HWND hwnd, StaticState& s, HANDLE image, UINT type) {
    s.image = image;
    s.imageType = type;
    FitToImage(hwnd, s);
    InvalidateRect(hwnd, nullptr, TRUE);
}

UINT TextFormat(DWORD style) {
    UINT f = DT_EXPANDTABS;
    switch (Kind(style)) {
    case SS_CENTER: f |= DT_CENTER | DT_WORDBREAK; break;
    case SS_RIGHT: f |= DT_RIGHT | DT_WORDBREAK; break;
    case SS_SIMPLE: f = DT_LEFT | DT_SINGLELINE; break;
    case SS_LEFTNOWORDWRAP: f |= DT_LEFT; break;
    default: f |= DT_LEFT | DT_WORDBREAK; break;
    }
    if (style & SS_NOPREFIX) f |= DT_NOPREFIX;
    if (style & SS_CENTERIMAGE) f = (f & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_VCENTER;
    if (style & SS_ENDELLIPSIS) f = (f & ~static_cast<UINT>(DT_WORDBREAK)) | DT_SINGLELINE | DT_END_ELLIPSIS;
    return f;
}

void DrawImage(HDC dc, const StaticState& s, const RECT& client, DWORD style) {
    SIZE size = ImageSize(s.image, s.imageType);
    int x = client.left, y = client.top;
    if (style & SS_CENTERIMAGE) {
        x = client.left + (client.right - client.left - size.cx) / 2;
        y = client.top + (client.bottom - client.top - size.cy) / 2;
    }
    if (s.imageType == IMAGE_ICON) {
        DrawIconEx(dc, x, y, static_cast<HICON>(s.image), size.cx, size.cy, 0, nullptr, DI_NORMAL);
        return;
    }
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, s.image);
    BitBlt(dc, x, y, size.cx, size.cy, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Paint(HWND hwnd, StaticState& s, HDC dc) {
    DWORD style = Style(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    HGDIOBJ oldFont = SelectObject(dc, FontOrSystem(s.font));
    DWORD kind = Kind(style);
    switch (kind) {
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = ODT_STATIC;
        dis.CtlID = static_cast<UINT>(ControlId(hwnd));
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED;
        dis.hwndItem = hwnd;
        dis.hDC = dc;
        dis.rcItem = client;
        if (HWND parent = NotifyTarget(hwnd)) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        break;
    }
    case SS_BLACKRECT:
    case SS_GRAYRECT:
    case SS_WHITERECT: {
        int color = kind == SS_BLACKRECT ? COLOR_WINDOWFRAME : kind == SS_GRAYRECT ? COLOR_BTNSHADOW : COLOR_WINDOW;
        FillRect(dc, &client, GetSysColorBrush(color));
        break;
    }
    case SS_BLACKFRAME:
    case SS_GRAYFRAME:
    case SS_WHITEFRAME: {
        FillRect(dc, &client, ControlColor(hwnd, dc, WM_CTLCOLORSTATIC));
        int color = kind == SS_BLACKFRAME ? COLOR_WINDOWFRAME : kind == SS_GRAYFRAME ? COLOR_BTNSHADOW : COLOR_WINDOW;
        FrameRect(dc, &client, GetSysColorBrush(color));
        break;
    }
    case SS_ETCHEDHORZ:
    case SS_ETCHEDVERT:
    case SS_ETCHEDFRAME: {
        FillRect(dc, &client, ControlColor(hwnd, dc, WM_CTLCOLORSTATIC));
        RECT r = client;
        UINT sides = kind == SS_ETCHEDHORZ ? BF_TOP : kind == SS_ETCHEDVERT ? BF_LEFT : BF_RECT;
        DrawEdge(dc, &r, EDGE_ETCHED, sides);
        break;
    }
    case SS_ICON:
    case SS_BITMAP:
        FillRect(dc, &client, ControlColor(hwnd, dc, WM_CTLCOLORSTATIC));
        if (s.image) DrawImage(dc, s, client, style);
        break;
    default: {
        HBRUSH brush = ControlColor(hwnd, dc, WM_CTLCOLORSTATIC);
        FillRect(dc, &client, brush);
        std::u16string text = WindowText(hwnd);
        if (text.empty()) break;
        SetBkMode(dc, TRANSPARENT);
        if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
        RECT r = client;
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, TextFormat(style));
        break;
    }
    }
    if (style & SS_SUNKEN) {
        RECT r = client;
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
    }
    SelectObject(dc, oldFont);
}

// Without SS_NOTIFY the pen goes on to the parent, in its coordinates.
void PassToParent(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND parent = (Style(hwnd) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    if (!parent) return;
    POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    MapWindowPoints(hwnd, parent, &p, 1);
    SendMessageW(parent, message, wParam, MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
}

}  // namespace

LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    StaticState* s = EnsureState<StaticState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_CREATE: {
        DWORD kind = Kind(Style(hwnd));
        if (kind == SS_ICON || kind == SS_BITMAP) {
            const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            HANDLE image = cs ? LoadImageFromName(hwnd, cs->lpszName, kind == SS_ICON) : nullptr;
            if (image) SetImage(hwnd, *s, image, kind == SS_ICON ? IMAGE_ICON : IMAGE_BITMAP);
        }
        return 0;
    }
    case WM_NCDESTROY:
        ReleaseState<StaticState>(hwnd);
        return 0;
    case WM_GETDLGCODE: return DLGC_STATIC;
    case STM_SETIMAGE: {
        if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
        HANDLE old = s->imageType == wParam ? s->image : nullptr;
        SetImage(hwnd, *s, reinterpret_cast<HANDLE>(lParam), static_cast<UINT>(wParam));
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETIMAGE: return s->imageType == wParam ? reinterpret_cast<LRESULT>(s->image) : 0;
    case STM_SETICON: {
        HANDLE old = s->imageType == IMAGE_ICON ? s->image : nullptr;
        SetImage(hwnd, *s, reinterpret_cast<HANDLE>(wParam), IMAGE_ICON);
        return reinterpret_cast<LRESULT>(old);
    }
    case STM_GETICON: return s->imageType == IMAGE_ICON ? reinterpret_cast<LRESULT>(s->image) : 0;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (Style(hwnd) & SS_NOTIFY) Notify(hwnd, wParam ? STN_ENABLE : STN_DISABLE);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (Style(hwnd) & SS_NOTIFY) {
            Notify(hwnd, message == WM_LBUTTONDOWN ? STN_CLICKED : STN_DBLCLK);
            return 0;
        }
        PassToParent(hwnd, message, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        if (!(Style(hwnd) & SS_NOTIFY)) PassToParent(hwnd, message, wParam, lParam);
        return 0;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *s, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace controls
