// The "Button" control: push buttons (a black frame marks the default one),
// check boxes, radio buttons, group boxes and owner-drawn buttons. A tap
// pushes the button while the pen stays on it; lifting the pen there clicks
// it: automatic check boxes toggle, automatic radio buttons check themselves
// and uncheck the others of their group, and the parent gets BN_CLICKED.
// The space key does the same from the keyboard.
#include <algorithm>

#include "controls/standard_controls.h"

namespace controls {

namespace {

struct ButtonState : StateBase {
    UINT check = BST_UNCHECKED;
    bool pushed = false;    // drawn pushed (BM_SETSTATE)
    bool tracking = false;  // the pen went down on the button
    bool spaceDown = false;
    bool focused = false;
    HFONT font = nullptr;
    HANDLE image = nullptr;
    UINT imageType = IMAGE_BITMAP;
};

UINT Type(DWORD style) { return style & BS_TYPEMASK; }

bool IsCheckType(UINT type) {
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_3STATE || type == BS_AUTO3STATE;
}
bool IsRadioType(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

// The highest check state each type can hold.
UINT MaxCheck(UINT type) {
    if (type == BS_3STATE || type == BS_AUTO3STATE) return BST_INDETERMINATE;
    if (IsCheckType(type) || IsRadioType(type)) return BST_CHECKED;
    return BST_UNCHECKED;
}

bool DrawnAsPush(DWORD style) {
    UINT type = Type(style);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_USERBUTTON) return true;
    return (style & BS_PUSHLIKE) && (IsCheckType(type) || IsRadioType(type));
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

bool Inside(HWND hwnd, POINT p) {
    RECT r;
    GetClientRect(hwnd, &r);
    return PtInRect(&r, p) != FALSE;
}

// The other automatic radio buttons of the group: the siblings from the
// nearest one with WS_GROUP up to the next one with WS_GROUP.
void UncheckGroup(HWND hwnd) {
    HWND first = hwnd;
    while (!(Style(first) & WS_GROUP)) {
        HWND prev = GetWindow(first, GW_HWNDPREV);
        if (!prev) break;
        first = prev;
    }
    for (HWND h = first; h; h = GetWindow(h, GW_HWNDNEXT)) {
        if (h != first && (Style(h) & WS_GROUP)) break;
        if (h == hwnd || !HasClass(h, u"Button")) continue;
        if (Type(Style(h)) == BS_AUTORADIOBUTTON) SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void Click(HWND hwnd, ButtonState& s) {
    UINT type = Type(Style(hwnd));
    switch (type) {
    case BS_AUTOCHECKBOX:
        SendMessageW(hwnd, BM_SETCHECK, s.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED, 0);
        break;
    case BS_AUTO3STATE:
        SendMessageW(hwnd, BM_SETCHECK, (s.check + 1) % 3, 0);
        break;
    case BS_AUTORADIOBUTTON:
        SendMessageW(hwnd, BM_SETCHECK, BST_CHECKED, 0);
        if (Style(hwnd) & WS_CHILD) UncheckGroup(hwnd);
        break;
    default: break;
    }
    Notify(hwnd, BN_CLICKED);
}


// ---- Painting ------------------------------------------------------------------------

// Horizontal placement of the label: BS_LEFT, BS_RIGHT, BS_CENTER; push
// buttons centre by default, check boxes start at the left.
UINT HorizontalFormat(DWORD style, bool push) {
    DWORD h = style & BS_CENTER;
    if (h == BS_LEFT) return DT_LEFT;
    if (h == BS_RIGHT) return DT_RIGHT;
    if (h == BS_CENTER || push) return DT_CENTER;
    return DT_LEFT;
}

// Draws the label (image or text) inside r; returns where the text went.
RECT DrawLabel(HWND hwnd, ButtonState& s, HDC dc, RECT r, DWORD style, bool push) {
    if (s.image && (style & (BS_BITMAP | BS_ICON))) {
        int w = 0, h = 0;
        if (s.imageType == IMAGE_ICON) {
            w = GetSystemMetrics(SM_CXICON);
            h = GetSystemMetrics(SM_CYICON);
            ICONINFO ii;
            if (GetIconInfo(static_cast<HICON>(s.image), &ii)) {
                BITMAP bm;
                if (GetObjectW(ii.hbmMask, sizeof bm, &bm)) {
                    w = bm.bmWidth;
                    h = ii.hbmColor ? bm.bmHeight : bm.bmHeight / 2;
                }
                DeleteObject(ii.hbmMask);
                if (ii.hbmColor) DeleteObject(ii.hbmColor);
            }
        } else {
            BITMAP bm;
            if (GetObjectW(s.image, sizeof bm, &bm)) {
                w = bm.bmWidth;
                h = std::abs(bm.bmHeight);
            }
        }
        int x = r.left + (r.right - r.left - w) / 2, y = r.top + (r.bottom - r.top - h) / 2;
        if (s.imageType == IMAGE_ICON) {
            DrawIconEx(dc, x, y, static_cast<HICON>(s.image), w, h, 0, nullptr, DI_NORMAL);
        } else {
            HDC mem = CreateCompatibleDC(dc);
            HGDIOBJ old = SelectObject(mem, s.image);
            BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteDC(mem);
        }
        return RECT{x, y, x + w, y + h};
    }
    std::u16string text = WindowText(hwnd);
    if (text.empty()) return RECT{r.left, r.top, r.left, r.top};
    UINT lines = DT_NOCLIP | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);
    UINT horizontal = HorizontalFormat(style, push);
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    // Measure first: the block is placed vertically by hand, and the focus
    // rectangle goes round the text.
    RECT calc = r;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc, lines | DT_CALCRECT);
    int tw = std::min<int>(calc.right - calc.left, r.right - r.left), th = calc.bottom - calc.top;
    int y = r.top + (r.bottom - r.top - th) / 2;
    if ((style & BS_VCENTER) == BS_TOP) y = r.top;
    else if ((style & BS_VCENTER) == BS_BOTTOM) y = r.bottom - th;
    int x = r.left;
    if (horizontal == DT_CENTER) x = r.left + (r.right - r.left - tw) / 2;
    else if (horizontal == DT_RIGHT) x = r.right - tw;
    RECT t = {r.left, y, r.right, y + th};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, lines | horizontal);
    return RECT{x, y, x + tw, y + th};
}

void PaintOwnerDraw(HWND hwnd, ButtonState& s, HDC dc, UINT action) {
    ControlColor(hwnd, dc, WM_CTLCOLORBTN);
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(ControlId(hwnd));
    dis.itemID = 0;
    dis.itemAction = action;
    dis.itemState = (s.pushed ? ODS_SELECTED : 0) | (s.focused ? ODS_FOCUS : 0) |
                    (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
    dis.hwndItem = hwnd;
    dis.hDC = dc;
    GetClientRect(hwnd, &dis.rcItem);
    HWND parent = NotifyTarget(hwnd);
    if (parent) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void PaintPush(HWND hwnd, ButtonState& s, HDC dc, DWORD style) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = ControlColor(hwnd, dc, WM_CTLCOLORBTN);
    FillRect(dc, &client, brush);
    RECT r = client;
    if (Type(style) == BS_DEFPUSHBUTTON) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    bool checked = (style & BS_PUSHLIKE) && s.check != BST_UNCHECKED;
    UINT state = DFCS_BUTTONPUSH | (s.pushed ? DFCS_PUSHED : 0) | (checked ? DFCS_CHECKED : 0) |
                 ((style & BS_FLAT) ? DFCS_FLAT : 0);
    RECT face = r;
    DrawFrameControl(dc, &face, DFC_BUTTON, state);
    RECT inside = r;
    InflateRect(&inside, -2, -2);
    if (s.pushed || checked) OffsetRect(&inside, 1, 1);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawLabel(hwnd, s, dc, inside, style, true);
    if (s.focused) {
        RECT focus = r;
        InflateRect(&focus, -3, -3);
        DrawFocusRect(dc, &focus);
    }
}

void PaintCheck(HWND hwnd, ButtonState& s, HDC dc, DWORD style) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = ControlColor(hwnd, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &client, brush);
    UINT type = Type(style);
    const int scale = std::max(1, GetSystemMetrics(SM_CXBORDER));  // doubled on the large screens
    int side = std::min<int>(13 * scale, client.bottom - client.top);
    int y = client.top + (client.bottom - client.top - side) / 2;
    if ((style & BS_VCENTER) == BS_TOP) y = client.top;
    else if ((style & BS_VCENTER) == BS_BOTTOM) y = client.bottom - side;
    bool boxRight = (style & BS_LEFTTEXT) != 0;
    RECT box = boxRight ? RECT{client.right - side, y, client.right, y + side}
                        : RECT{client.left, y, client.left + side, y + side};
    UINT state = IsRadioType(type) ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    if (s.check == BST_CHECKED) state |= DFCS_CHECKED;
    if (s.check == BST_INDETERMINATE) state |= DFCS_CHECKED | DFCS_BUTTON3STATE;
    if (s.pushed) state |= DFCS_PUSHED;
    if (!IsWindowEnabled(hwnd)) state |= DFCS_INACTIVE;
    // The device's check boxes and radio buttons are flat, with black outlines.
    state |= IsRadioType(type) ? DFCS_FLAT : DFCS_MONO;
    DrawFrameControl(dc, &box, DFC_BUTTON, state);
    RECT text = client;
    if (boxRight) text.right = box.left - 4 * scale;
    else text.left = box.right + 4 * scale;
    RECT label = DrawLabel(hwnd, s, dc, text, style, false);
    if (s.focused && label.right > label.left) {
        InflateRect(&label, 1, 1);
        IntersectRect(&label, &label, &client);
        DrawFocusRect(dc, &label);
    }
}

void PaintGroup(HWND hwnd, ButtonState& s, HDC dc, DWORD style) {
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = ControlColor(hwnd, dc, WM_CTLCOLORSTATIC);
    std::u16string text = WindowText(hwnd);
    int lineHeight = LineHeight(s.font);
    RECT frame = client;
    frame.top += lineHeight / 2;
    FrameRect(dc, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
    if (text.empty()) return;
    RECT calc = {0, 0, 0, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &calc, DT_SINGLELINE | DT_CALCRECT);
    int width = std::min<int>(calc.right - calc.left, client.right - client.left - 12);
    int x = client.left + 8;
    if ((style & BS_CENTER) == BS_CENTER) x = client.left + (client.right - client.left - width) / 2;
    else if ((style & BS_CENTER) == BS_RIGHT) x = client.right - 8 - width;
    RECT label = {x - 2, client.top, x + width + 2, client.top + lineHeight};
    FillRect(dc, &label, brush);
    SetBkMode(dc, TRANSPARENT);
    if (!IsWindowEnabled(hwnd)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    RECT t = {x, client.top, x + width, client.top + lineHeight};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);
}

void Paint(HWND hwnd, ButtonState& s, HDC dc, UINT ownerDrawAction) {
    DWORD style = Style(hwnd);
    HGDIOBJ oldFont = SelectObject(dc, FontOrSystem(s.font));
    UINT type = Type(style);
    if (type == BS_OWNERDRAW) PaintOwnerDraw(hwnd, s, dc, ownerDrawAction);
    else if (type == BS_GROUPBOX) PaintGroup(hwnd, s, dc, style);
    else if (DrawnAsPush(style)) PaintPush(hwnd, s, dc, style);
    else PaintCheck(hwnd, s, dc, style);
    SelectObject(dc, oldFont);
}

// Repaints now: owner-drawn buttons are told what changed.
void Refresh(HWND hwnd, ButtonState& s, UINT ownerDrawAction) {
    if (Type(Style(hwnd)) != BS_OWNERDRAW) {
        InvalidateRect(hwnd, nullptr, FALSE);
        UpdateWindow(hwnd);
        return;
    }
    if (!IsWindowVisible(hwnd)) return;
    HDC dc = GetDC(hwnd);
    if (!dc) return;
    Paint(hwnd, s, dc, ownerDrawAction);
    ReleaseDC(hwnd, dc);
}

void SetPushed(HWND hwnd, ButtonState& s, bool pushed) {
    if (s.pushed == pushed) return;
    s.pushed = pushed;
    Refresh(hwnd, s, ODA_SELECT);
}

}  // namespace

LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ButtonState* s = EnsureState<ButtonState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_CREATE:
        // A group box only frames its neighbours: they show through it and the
        // pen reaches them.
        if (Type(Style(hwnd)) == BS_GROUPBOX)
            SetWindowLongW(hwnd, GWL_EXSTYLE, GetWindowLongW(hwnd, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
        return 0;
    case WM_NCDESTROY:
        ReleaseState<ButtonState>(hwnd);
        return 0;
    case WM_GETDLGCODE:
        switch (Type(Style(hwnd))) {
        case BS_PUSHBUTTON:
        case BS_USERBUTTON: return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
        case BS_DEFPUSHBUTTON: return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON: return DLGC_BUTTON | DLGC_RADIOBUTTON;
        case BS_GROUPBOX: return DLGC_STATIC;
        default: return DLGC_BUTTON;
        }
    case BM_GETCHECK: return s->check;
    case BM_SETCHECK: {
        UINT type = Type(Style(hwnd));
        UINT check = std::min<UINT>(static_cast<UINT>(wParam), MaxCheck(type));
        // A checked radio button is where the tab key enters its group.
        if (IsRadioType(type)) {
            DWORD style = Style(hwnd);
            DWORD wanted = check ? (style | WS_TABSTOP) : (style & ~static_cast<DWORD>(WS_TABSTOP));
            if (wanted != style) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(wanted));
        }
        if (check != s->check) {
            s->check = check;
            Refresh(hwnd, *s, ODA_SELECT);
        }
        return 0;
    }
    case BM_GETSTATE:
        return s->check | (s->pushed ? BST_PUSHED : 0) | (s->focused ? BST_FOCUS : 0);
    case BM_SETSTATE:
        if ((wParam != 0) != s->pushed) {
            s->pushed = wParam != 0;
            Refresh(hwnd, *s, ODA_SELECT);
        }
        return 0;
    case BM_SETSTYLE: {
        DWORD style = (Style(hwnd) & ~static_cast<DWORD>(BS_TYPEMASK)) | (static_cast<DWORD>(wParam) & BS_TYPEMASK);
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(style));
        if (LOWORD(lParam)) Refresh(hwnd, *s, ODA_DRAWENTIRE);
        return 0;
    }
    case BM_CLICK:
        if (!IsWindowEnabled(hwnd)) return 0;
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_GETIMAGE: return reinterpret_cast<LRESULT>(s->image);
    case BM_SETIMAGE: {
        if (wParam != IMAGE_BITMAP && wParam != IMAGE_ICON) return 0;
        HANDLE old = s->image;
        s->image = reinterpret_cast<HANDLE>(lParam);
        s->imageType = static_cast<UINT>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(old);
    }
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return r;
    }
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
        s->focused = true;
        Refresh(hwnd, *s, ODA_FOCUS);
        if (Style(hwnd) & BS_NOTIFY) Notify(hwnd, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        if (s->tracking || s->spaceDown) {
            s->tracking = s->spaceDown = false;
            if (GetCapture() == hwnd) ReleaseCapture();
            s->pushed = false;
        }
        Refresh(hwnd, *s, ODA_FOCUS);
        if (Style(hwnd) & BS_NOTIFY) Notify(hwnd, BN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDBLCLK:
        // Radio buttons and owner-drawn buttons report a double tap with BS_NOTIFY;
        // others take it as a second tap.
        if ((Style(hwnd) & BS_NOTIFY) && (IsRadioType(Type(Style(hwnd))) || Type(Style(hwnd)) == BS_OWNERDRAW)) {
            Notify(hwnd, BN_DOUBLECLICKED);
            return 0;
        }
        [[fallthrough]];
    case WM_LBUTTONDOWN:
        if (Type(Style(hwnd)) == BS_GROUPBOX) return 0;
        SetFocus(hwnd);
        if (!IsWindow(hwnd)) return 0;
        SetCapture(hwnd);
        s->tracking = true;
        SetPushed(hwnd, *s, true);
        return 0;
    case WM_MOUSEMOVE:
        if (s->tracking && GetCapture() == hwnd) SetPushed(hwnd, *s, Inside(hwnd, PointOf(lParam)));
        return 0;
    case WM_LBUTTONUP: {
        if (!s->tracking) return 0;
        s->tracking = false;
        bool click = Inside(hwnd, PointOf(lParam));
        SetPushed(hwnd, *s, false);
        if (GetCapture() == hwnd) ReleaseCapture();
        if (click) Click(hwnd, *s);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (s->tracking && reinterpret_cast<HWND>(lParam) != hwnd) {
            s->tracking = false;
            SetPushed(hwnd, *s, false);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_SPACE && !s->spaceDown && Type(Style(hwnd)) != BS_GROUPBOX) {
            s->spaceDown = true;
            SetPushed(hwnd, *s, true);
        }
        return 0;
    case WM_KEYUP:
        if (wParam == VK_SPACE && s->spaceDown) {
            s->spaceDown = false;
            SetPushed(hwnd, *s, false);
            Click(hwnd, *s);
        }
        return 0;
    case WM_CHAR:
        return 0;  // keys act through WM_KEYDOWN / WM_KEYUP
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc) Paint(hwnd, *s, dc, ODA_DRAWENTIRE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace controls
