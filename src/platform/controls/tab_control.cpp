// The tab control ("SysTabControl32"): one row of tabs along the top, or the
// bottom with TCS_BOTTOM as Pocket PC property sheets show them, above or
// below a display area that the owner fills (a property sheet puts its pages
// there). A tap on a tab asks the parent with TCN_SELCHANGING (a nonzero
// answer keeps the old tab), selects it and reports TCN_SELCHANGE. Tabs that
// do not fit scroll, with two arrow buttons at the end of the row.
#include <algorithm>
#include <string>
#include <vector>

#include "controls/bar_controls.h"

namespace {

constexpr int kBorder = 2;       // the display area's raised frame
constexpr int kStart = 2;        // room for the selected tab to grow
constexpr int kArrowWidth = 14;  // each of the two scroll buttons

struct Item {
    std::u16string text;
    int image = -1;
    LPARAM param = 0;
    DWORD state = 0;
    int width = 0;
    RECT rect = {0, 0, 0, 0};
};

struct TabControl {
    HWND hwnd = nullptr;
    std::vector<Item> items;
    int selected = -1;
    int firstVisible = 0;  // the first tab shown when they scroll
    bool scrolling = false;
    int tabHeight = 0;
    SIZE itemSize = {0, 0};  // TCM_SETITEMSIZE
    SIZE padding = {6, 3};
    int minTabWidth = -1;
    HIMAGELIST images = nullptr;
    HFONT font = nullptr;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
bool AtBottom(HWND hwnd) { return (Style(hwnd) & TCS_BOTTOM) != 0; }

SIZE TextSize(HDC dc, const std::u16string& text) {
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.empty() ? u" " : text.c_str(),
                          text.empty() ? 1 : static_cast<int>(text.size()), &size);
    if (text.empty()) size.cx = 0;
    return size;
}

void Layout(TabControl& tc) {
    RECT client;
    GetClientRect(tc.hwnd, &client);
    HDC dc = GetDC(tc.hwnd);
    HGDIOBJ old = SelectObject(dc, bars::FontOr(tc.font));
    int textHeight = TextSize(dc, u"Ag").cy;
    int iconW = 0, iconH = 0;
    if (tc.images) ImageList_GetIconSize(tc.images, &iconW, &iconH);
    tc.tabHeight = tc.itemSize.cy > 0 ? tc.itemSize.cy
                                      : std::max(textHeight, iconH) + 2 * tc.padding.cy + 2;
    bool fixed = (Style(tc.hwnd) & TCS_FIXEDWIDTH) != 0;
    int widest = 0;
    for (Item& item : tc.items) {
        int w = TextSize(dc, item.text).cx + 2 * tc.padding.cx;
        if (tc.images && item.image >= 0) w += iconW + 3;
        item.width = std::max(w, tc.minTabWidth > 0 ? tc.minTabWidth : 0);
        widest = std::max(widest, item.width);
    }
    SelectObject(dc, old);
    ReleaseDC(tc.hwnd, dc);
    if (fixed)
        for (Item& item : tc.items) item.width = tc.itemSize.cx > 0 ? tc.itemSize.cx : widest;

    int total = 0;
    for (const Item& item : tc.items) total += item.width;
    int room = client.right - 2 * kStart;
    tc.scrolling = total > room && tc.items.size() > 1;
    if (tc.scrolling) room -= 2 * kArrowWidth;
    if (!tc.scrolling) tc.firstVisible = 0;
    tc.firstVisible = std::clamp(tc.firstVisible, 0, std::max(0, static_cast<int>(tc.items.size()) - 1));

    int top = AtBottom(tc.hwnd) ? client.bottom - tc.tabHeight : 0;
    int x = kStart;
    for (int i = tc.firstVisible - 1; i >= 0; --i) x -= tc.items[static_cast<size_t>(i)].width;
    for (Item& item : tc.items) {
        item.rect = {x, top, x + item.width, top + tc.tabHeight};
        x += item.width;
    }
    InvalidateRect(tc.hwnd, nullptr, TRUE);
}

// The area under (or over) the tabs that the owner fills.
RECT DisplayRect(const TabControl& tc, RECT window) {
    if (AtBottom(tc.hwnd)) window.bottom -= tc.tabHeight;
    else window.top += tc.tabHeight;
    InflateRect(&window, -kBorder, -kBorder);
    return window;
}

RECT ArrowRect(const TabControl& tc, int which) {
    RECT client;
    GetClientRect(tc.hwnd, &client);
    int top = AtBottom(tc.hwnd) ? client.bottom - tc.tabHeight : 0;
    int right = client.right - (which == 0 ? kArrowWidth : 0);
    return RECT{right - kArrowWidth, top + 1, right, top + tc.tabHeight - 1};
}

int TabAt(const TabControl& tc, POINT p) {
    RECT client;
    GetClientRect(tc.hwnd, &client);
    int limit = tc.scrolling ? client.right - 2 * kArrowWidth : client.right;
    if (p.x >= limit) return -1;
    for (size_t i = 0; i < tc.items.size(); ++i) {
        RECT r = tc.items[i].rect;
        // The selected tab stands out a little; count that part too.
        if (static_cast<int>(i) == tc.selected) InflateRect(&r, kStart, 0);
        if (PtInRect(&r, p)) return static_cast<int>(i);
    }
    return -1;
}

void MakeVisible(TabControl& tc, int index) {
    if (!tc.scrolling || index < 0) return;
    RECT client;
    GetClientRect(tc.hwnd, &client);
    int limit = client.right - 2 * kArrowWidth;
    if (index < tc.firstVisible) {
        tc.firstVisible = index;
    } else {
        while (tc.firstVisible < index && tc.items[static_cast<size_t>(index)].rect.right > limit) {
            int w = tc.items[static_cast<size_t>(tc.firstVisible)].width;
            ++tc.firstVisible;
            for (Item& item : tc.items) OffsetRect(&item.rect, -w, 0);
        }
    }
    Layout(tc);
}

// Selects a tab the way a tap does: asks first, then reports.
void SelectByUser(TabControl& tc, int index) {
    if (index < 0 || index >= static_cast<int>(tc.items.size()) || index == tc.selected) return;
    HWND self = tc.hwnd;
    NMHDR header = {};
    if (bars::SendNotify(self, &header, TCN_SELCHANGING)) return;
    if (!IsWindow(self) || index >= static_cast<int>(tc.items.size())) return;
    tc.selected = index;
    MakeVisible(tc, index);
    InvalidateRect(self, nullptr, TRUE);
    UpdateWindow(self);
    header = {};
    bars::SendNotify(self, &header, TCN_SELCHANGE);
}

void DrawTab(const TabControl& tc, HDC dc, int index, bool bottom, const RECT& pane) {
    const Item& item = tc.items[static_cast<size_t>(index)];
    bool selected = index == tc.selected;
    RECT r = item.rect;
    if (selected) {
        InflateRect(&r, kStart, 0);
        // The selected tab joins the display area over its frame.
        if (bottom) {
            r.top = pane.bottom - kBorder;
        } else {
            r.bottom = pane.top + kBorder;
        }
    } else if (bottom) {
        r.bottom -= 2;
    } else {
        r.top += 2;
    }
    bars::FillSys(dc, r, COLOR_BTNFACE);
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW),
             dark = GetSysColor(COLOR_3DDKSHADOW);
    if (bottom) {
        bars::Line(dc, r.left, r.top, r.left, r.bottom - 1, light);
        bars::Line(dc, r.left + 1, r.bottom - 1, r.right - 1, r.bottom - 1, dark);
        bars::Line(dc, r.right - 1, r.top, r.right - 1, r.bottom - 1, dark);
        bars::Line(dc, r.right - 2, r.top, r.right - 2, r.bottom - 2, shadow);
    } else {
        bars::Line(dc, r.left, r.top + 1, r.left, r.bottom, light);
        bars::Line(dc, r.left + 1, r.top, r.right - 1, r.top, light);
        bars::Line(dc, r.right - 1, r.top + 1, r.right - 1, r.bottom, dark);
        bars::Line(dc, r.right - 2, r.top + 1, r.right - 2, r.bottom, shadow);
    }
    RECT content = item.rect;
    if (bottom) content.bottom -= selected ? 0 : 2;
    else content.top += selected ? 0 : 2;
    int x = content.left + tc.padding.cx;
    if (tc.images && item.image >= 0) {
        int iconW = 0, iconH = 0;
        ImageList_GetIconSize(tc.images, &iconW, &iconH);
        ImageList_Draw(tc.images, item.image, dc, x, (content.top + content.bottom - iconH) / 2,
                       ILD_TRANSPARENT);
        x += iconW + 3;
    }
    RECT text = {x, content.top, content.right - tc.padding.cx, content.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    if (selected && GetFocus() == tc.hwnd) {
        RECT focus = content;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(dc, &focus);
    }
}

void Paint(TabControl& tc) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(tc.hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(tc.hwnd, &client);
    bool bottom = AtBottom(tc.hwnd);
    RECT strip = client, pane = client;
    if (bottom) {
        strip.top = client.bottom - tc.tabHeight;
        pane.bottom = strip.top;
    } else {
        strip.bottom = tc.tabHeight;
        pane.top = strip.bottom;
    }
    FillRect(dc, &strip, bars::ParentBackground(tc.hwnd, dc));
    RECT inside = pane;
    DrawEdge(dc, &inside, EDGE_RAISED, BF_RECT | BF_SOFT | BF_ADJUST);
    bars::FillSys(dc, inside, COLOR_BTNFACE);

    HGDIOBJ old = SelectObject(dc, bars::FontOr(tc.font));
    int limit = tc.scrolling ? client.right - 2 * kArrowWidth : client.right;
    HRGN clip = CreateRectRgn(0, 0, limit, client.bottom);
    SelectClipRgn(dc, clip);
    for (int i = 0; i < static_cast<int>(tc.items.size()); ++i)
        if (i != tc.selected) DrawTab(tc, dc, i, bottom, pane);
    if (tc.selected >= 0 && tc.selected < static_cast<int>(tc.items.size()))
        DrawTab(tc, dc, tc.selected, bottom, pane);
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
    SelectObject(dc, old);
    if (tc.scrolling) {
        bool canLeft = tc.firstVisible > 0;
        bool canRight = !tc.items.empty() && tc.items.back().rect.right > limit;
        RECT left = ArrowRect(tc, 0), right = ArrowRect(tc, 1);
        DrawFrameControl(dc, &left, DFC_SCROLL, DFCS_SCROLLLEFT | (canLeft ? 0 : DFCS_INACTIVE));
        DrawFrameControl(dc, &right, DFC_SCROLL, DFCS_SCROLLRIGHT | (canRight ? 0 : DFCS_INACTIVE));
    }
    EndPaint(tc.hwnd, &ps);
}

void OnPenDown(TabControl& tc, POINT p) {
    if (tc.scrolling) {
        RECT left = ArrowRect(tc, 0), right = ArrowRect(tc, 1);
        RECT client;
        GetClientRect(tc.hwnd, &client);
        int limit = client.right - 2 * kArrowWidth;
        if (PtInRect(&left, p)) {
            if (tc.firstVisible > 0) --tc.firstVisible;
            Layout(tc);
            return;
        }
        if (PtInRect(&right, p)) {
            if (!tc.items.empty() && tc.items.back().rect.right > limit) ++tc.firstVisible;
            Layout(tc);
            return;
        }
    }
    int index = TabAt(tc, p);
    if (index < 0) return;
    if (Style(tc.hwnd) & TCS_FOCUSONBUTTONDOWN) SetFocus(tc.hwnd);
    SelectByUser(tc, index);
}

void Store(Item& item, const TCITEMW* in) {
    if ((in->mask & TCIF_TEXT) && in->pszText && in->pszText != LPSTR_TEXTCALLBACKW)
        item.text = in->pszText;
    if (in->mask & TCIF_IMAGE) item.image = in->iImage;
    if (in->mask & TCIF_PARAM) item.param = in->lParam;
    if (in->mask & TCIF_STATE) item.state = (item.state & ~in->dwStateMask) | (in->dwState & in->dwStateMask);
}

LRESULT CALLBACK TabProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TabControl* tc = bars::StateOf<TabControl>(hwnd);
    if (!tc) {
        if (message != WM_CREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
        tc = new TabControl;
        tc->hwnd = hwnd;
        bars::SetState(hwnd, tc);
        Layout(*tc);
        return 0;
    }
    switch (message) {
    case WM_NCDESTROY:
        bars::SetState(hwnd, nullptr);
        delete tc;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(*tc);
        return 0;
    case WM_SIZE:
    case WM_STYLECHANGED:
        Layout(*tc);
        MakeVisible(*tc, tc->selected);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_SETFONT:
        tc->font = reinterpret_cast<HFONT>(wParam);
        Layout(*tc);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(tc->font);
    case WM_GETDLGCODE:
        return bars::kWantArrows;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnPenDown(*tc, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_KEYDOWN: {
        if (wParam != VK_LEFT && wParam != VK_RIGHT) break;
        NMTCKEYDOWN key = {};
        key.wVKey = static_cast<WORD>(wParam);
        key.flags = static_cast<UINT>(lParam);
        HWND self = hwnd;
        bars::SendNotify(self, &key.hdr, TCN_KEYDOWN);
        if (!IsWindow(self)) return 0;
        SelectByUser(*tc, tc->selected + (wParam == VK_LEFT ? -1 : 1));
        return 0;
    }

    case TCM_GETITEMCOUNT:
        return static_cast<LRESULT>(tc->items.size());
    case TCM_INSERTITEMW: {
        const TCITEMW* in = reinterpret_cast<const TCITEMW*>(lParam);
        int at = static_cast<int>(wParam);
        if (!in || at < 0) return -1;
        at = std::min(at, static_cast<int>(tc->items.size()));
        Item item;
        Store(item, in);
        tc->items.insert(tc->items.begin() + at, item);
        // A tab control with tabs always has one selected.
        if (tc->selected < 0) tc->selected = 0;
        else if (tc->selected >= at && tc->items.size() > 1) ++tc->selected;
        Layout(*tc);
        return at;
    }
    case TCM_SETITEMW: {
        const TCITEMW* in = reinterpret_cast<const TCITEMW*>(lParam);
        if (!in || wParam >= tc->items.size()) return FALSE;
        Store(tc->items[wParam], in);
        Layout(*tc);
        return TRUE;
    }
    case TCM_GETITEMW: {
        TCITEMW* out = reinterpret_cast<TCITEMW*>(lParam);
        if (!out || wParam >= tc->items.size()) return FALSE;
        const Item& item = tc->items[wParam];
        if ((out->mask & TCIF_TEXT) && out->pszText && out->cchTextMax > 0) {
            size_t n = std::min(item.text.size(), static_cast<size_t>(out->cchTextMax - 1));
            std::copy(item.text.begin(), item.text.begin() + static_cast<std::ptrdiff_t>(n), out->pszText);
            out->pszText[n] = 0;
        }
        if (out->mask & TCIF_IMAGE) out->iImage = item.image;
        if (out->mask & TCIF_PARAM) out->lParam = item.param;
        if (out->mask & TCIF_STATE) out->dwState = item.state & out->dwStateMask;
        return TRUE;
    }
    case TCM_DELETEITEM: {
        if (wParam >= tc->items.size()) return FALSE;
        int index = static_cast<int>(wParam);
        tc->items.erase(tc->items.begin() + index);
        if (tc->selected > index) --tc->selected;
        else if (tc->selected == index) tc->selected = -1;
        Layout(*tc);
        return TRUE;
    }
    case TCM_DELETEALLITEMS:
        tc->items.clear();
        tc->selected = -1;
        tc->firstVisible = 0;
        Layout(*tc);
        return TRUE;
    case TCM_GETCURSEL:
    case TCM_GETCURFOCUS:
        return tc->selected;
    case TCM_SETCURSEL: {
        int index = static_cast<int>(wParam);
        if (index < 0 || index >= static_cast<int>(tc->items.size())) return -1;
        int old = tc->selected;
        tc->selected = index;
        MakeVisible(*tc, index);
        InvalidateRect(hwnd, nullptr, TRUE);
        return old;
    }
    case TCM_SETCURFOCUS:
        SelectByUser(*tc, static_cast<int>(wParam));
        return 0;
    case TCM_GETITEMRECT: {
        RECT* out = reinterpret_cast<RECT*>(lParam);
        if (!out || wParam >= tc->items.size()) return FALSE;
        *out = tc->items[wParam].rect;
        return TRUE;
    }
    case TCM_HITTEST: {
        TCHITTESTINFO* hit = reinterpret_cast<TCHITTESTINFO*>(lParam);
        if (!hit) return -1;
        int index = TabAt(*tc, hit->pt);
        hit->flags = index < 0 ? TCHT_NOWHERE : TCHT_ONITEMLABEL;
        return index;
    }
    case TCM_ADJUSTRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return 0;
        if (wParam) {
            // From a display area to the control around it.
            InflateRect(r, kBorder, kBorder);
            if (AtBottom(hwnd)) r->bottom += tc->tabHeight;
            else r->top -= tc->tabHeight;
        } else {
            *r = DisplayRect(*tc, *r);
        }
        return 0;
    }
    case TCM_SETITEMSIZE: {
        LRESULT old = MAKELONG(tc->items.empty() ? tc->itemSize.cx : tc->items[0].width, tc->tabHeight);
        tc->itemSize = {LOWORD(lParam), HIWORD(lParam)};
        Layout(*tc);
        return old;
    }
    case TCM_SETPADDING:
        tc->padding = {LOWORD(lParam), HIWORD(lParam)};
        Layout(*tc);
        return 0;
    case TCM_SETMINTABWIDTH: {
        int old = tc->minTabWidth;
        tc->minTabWidth = static_cast<int>(lParam);
        Layout(*tc);
        return old;
    }
    case TCM_GETROWCOUNT:
        return 1;
    case TCM_SETIMAGELIST: {
        HIMAGELIST old = tc->images;
        tc->images = reinterpret_cast<HIMAGELIST>(lParam);
        Layout(*tc);
        return reinterpret_cast<LRESULT>(old);
    }
    case TCM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(tc->images);
    case TCM_SETITEMEXTRA:
        // Each tab keeps one LPARAM of the owner's data.
        return tc->items.empty() && wParam <= sizeof(LPARAM);
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void bars::RegisterTabClass() { RegisterControlClass(WC_TABCONTROLW, TabProc); }
