// The "ListBox" control and the drop-down list of a combo box ("ComboLBox").
// Items are kept in order (sorted without regard to case with LBS_SORT, or
// by WM_COMPAREITEM for owner-drawn items without strings), each with its
// item data. One item is selected (or, with LBS_MULTIPLESEL, any number),
// the caret item carries the focus rectangle, and the top index says which
// item shows first. The pen selects the item under it (and keeps selecting
// while it drags, scrolling past the edges); the arrow keys move the
// selection. With LBS_NOTIFY the parent hears of every change the user makes
// (LBN_SELCHANGE) and of double taps (LBN_DBLCLK); LBN_SETFOCUS and
// LBN_KILLFOCUS always. A window scroll bar (WS_VSCROLL) follows the top
// index and hides while everything fits.
//
// Items wider than the list can be read by scrolling sideways: the program
// says how wide its widest item is (LB_SETHORIZONTALEXTENT) and, with
// WS_HSCROLL, a horizontal bar appears while that extent is wider than the
// client area. The items are then painted shifted left by the horizontal
// offset; which item the pen hits depends on rows only, so taps still pick
// the item under the pen.
//
// A combo box's list is a popup that never takes the focus or the capture:
// the combo box holds both and hands the pen on, and the list tells the combo
// box which item the user picked.
#include <algorithm>
#include <vector>

#include "controls/standard_controls.h"

namespace controls {

namespace {

struct Item {
    std::u16string text;
    ULONG_PTR data = 0;
    bool selected = false;  // multiple selection only
};

struct ListBoxState : StateBase {
    std::vector<Item> items;
    DWORD style = 0;  // as created: a hidden scroll bar is still wanted
    int selection = -1;
    int caret = 0;
    int anchor = 0;
    int top = 0;
    int itemHeight = 0;
    HFONT font = nullptr;
    bool focused = false;
    bool tracking = false;   // the pen is down on the items
    POINT lastPen = {0, 0};
    HWND combo = nullptr;    // the combo box this list drops down from
    ScrollTracker scroll;
    bool resizing = false;
    bool updatingBars = false;  // our own bars are coming or going
    int extent = 0;             // LB_SETHORIZONTALEXTENT, in pixels
    int offset = 0;             // how far the items are scrolled to the left
    WCHAR lastChar = 0;
};

bool OwnerDraw(const ListBoxState& s) { return (s.style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }
bool HasStrings(const ListBoxState& s) { return !OwnerDraw(s) || (s.style & LBS_HASSTRINGS); }
bool Multiple(const ListBoxState& s) { return (s.style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0; }
int Count(const ListBoxState& s) { return static_cast<int>(s.items.size()); }
bool Valid(const ListBoxState& s, WPARAM index) {
    int i = static_cast<int>(index);
    return i >= 0 && i < Count(s);
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

RECT Client(HWND hwnd) {
    RECT r;
    GetClientRect(hwnd, &r);
    return r;
}

int VisibleRows(HWND hwnd, const ListBoxState& s) {
    RECT c = Client(hwnd);
    return std::max(1, static_cast<int>(c.bottom - c.top) / std::max(1, s.itemHeight));
}

// Owner-drawn items of a combo box's list are the combo box's items.
HWND OwnerWindow(HWND hwnd, const ListBoxState& s) { return s.combo ? GetParent(s.combo) : GetParent(hwnd); }
UINT OwnerCtlType(const ListBoxState& s) { return s.combo ? ODT_COMBOBOX : ODT_LISTBOX; }
UINT OwnerCtlId(HWND hwnd, const ListBoxState& s) { return static_cast<UINT>(ControlId(s.combo ? s.combo : hwnd)); }
HWND OwnerItemWindow(HWND hwnd, const ListBoxState& s) { return s.combo ? s.combo : hwnd; }

void NotifyParent(HWND hwnd, const ListBoxState& s, UINT code) {
    if (s.combo) return;  // the combo box follows its list itself
    Notify(hwnd, code);
}

void MeasureItemHeight(HWND hwnd, ListBoxState& s) {
    s.itemHeight = LineHeight(s.font);
    if (!(s.style & LBS_OWNERDRAWFIXED) && !(s.style & LBS_OWNERDRAWVARIABLE)) return;
    MEASUREITEMSTRUCT mis = {};
    mis.CtlType = OwnerCtlType(s);
    mis.CtlID = OwnerCtlId(hwnd, s);
    mis.itemID = 0;
    mis.itemHeight = static_cast<UINT>(s.itemHeight);
    RECT c = Client(hwnd);
    mis.itemWidth = static_cast<UINT>(c.right - c.left);
    if (HWND owner = OwnerWindow(hwnd, s)) SendMessageW(owner, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
    if (mis.itemHeight > 0 && mis.itemHeight <= 255) s.itemHeight = static_cast<int>(mis.itemHeight);
}

int ClientWidth(HWND hwnd) {
    RECT c = Client(hwnd);
    return std::max(0, static_cast<int>(c.right - c.left));
}

int MaxOffset(HWND hwnd, const ListBoxState& s) {
    if (!(s.style & WS_HSCROLL)) return 0;
    return std::max(0, s.extent - ClientWidth(hwnd));
}

// Showing or hiding one bar changes the client area and so whether the
// other is needed; each SetScrollInfo may come back here through WM_SIZE.
// Every value is therefore taken just before it is set, and the inner call
// has left the bars right when the outer one goes on.
void UpdateScrollBar(HWND hwnd, ListBoxState& s) {
    bool outer = !s.updatingBars;
    s.updatingBars = true;
    if (s.style & WS_VSCROLL) {
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, Count(s) - 1),
                         static_cast<UINT>(VisibleRows(hwnd, s)), s.top, 0};
        if (s.style & LBS_DISABLENOSCROLL) si.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    }
    if (s.style & WS_HSCROLL) {
        s.offset = std::clamp(s.offset, 0, MaxOffset(hwnd, s));
        SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, s.extent - 1),
                         static_cast<UINT>(ClientWidth(hwnd)), s.offset, 0};
        if (s.style & LBS_DISABLENOSCROLL) si.fMask |= SIF_DISABLENOSCROLL;
        SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
    }
    if (outer) s.updatingBars = false;
}

int MaxTop(HWND hwnd, const ListBoxState& s) { return std::max(0, Count(s) - VisibleRows(hwnd, s)); }

void SetOffset(HWND hwnd, ListBoxState& s, int offset) {
    offset = std::clamp(offset, 0, MaxOffset(hwnd, s));
    if (offset == s.offset) return;
    s.offset = offset;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateScrollBar(hwnd, s);
}

// One step of the horizontal arrows: a character of the list's font, so
// that a held arrow walks through a name at reading pace.
int HorizontalLine(const ListBoxState& s) {
    MeasureDC m(s.font);
    TEXTMETRICW tm;
    if (!GetTextMetricsW(m.dc(), &tm) || tm.tmAveCharWidth <= 0) return 6;
    return tm.tmAveCharWidth;
}

void SetTop(HWND hwnd, ListBoxState& s, int top) {
    top = std::clamp(top, 0, MaxTop(hwnd, s));
    if (top == s.top) return;
    s.top = top;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateScrollBar(hwnd, s);
}

void MakeVisible(HWND hwnd, ListBoxState& s, int index) {
    if (index < 0 || index >= Count(s)) return;
    int rows = VisibleRows(hwnd, s);
    if (index < s.top) SetTop(hwnd, s, index);
    else if (index >= s.top + rows) SetTop(hwnd, s, index - rows + 1);
}

// An item spans the horizontal extent when that is wider than the list,
// shifted by the horizontal offset.
RECT ItemRect(HWND hwnd, const ListBoxState& s, int index) {
    RECT c = Client(hwnd);
    int y = (index - s.top) * s.itemHeight;
    int width = static_cast<int>(c.right - c.left);
    if (s.style & WS_HSCROLL) width = std::max(width, s.extent);
    int left = static_cast<int>(c.left) - s.offset;
    return RECT{left, y, left + width, y + s.itemHeight};
}

void InvalidateItem(HWND hwnd, const ListBoxState& s, int index) {
    if (index < 0 || index >= Count(s)) return;
    RECT r = ItemRect(hwnd, s, index);
    InvalidateRect(hwnd, &r, TRUE);
}

// The item under a client point, or -1 below the last one.
int ItemAt(const ListBoxState& s, POINT p) {
    if (p.y < 0) return -1;
    int i = s.top + p.y / std::max(1, s.itemHeight);
    return i < Count(s) ? i : -1;
}

// Single selection: selects `index` (-1 for none) and moves the caret there.
// Returns whether the selection changed.
bool Select(HWND hwnd, ListBoxState& s, int index) {
    if (index >= Count(s)) index = -1;
    if (index >= 0) {
        InvalidateItem(hwnd, s, s.caret);
        s.caret = s.anchor = index;
        InvalidateItem(hwnd, s, index);
        MakeVisible(hwnd, s, index);
    }
    if (index == s.selection) return false;
    InvalidateItem(hwnd, s, s.selection);
    s.selection = index;
    InvalidateItem(hwnd, s, index);
    return true;
}

void SetCaret(HWND hwnd, ListBoxState& s, int index) {
    if (index < 0 || index >= Count(s)) return;
    InvalidateItem(hwnd, s, s.caret);
    s.caret = index;
    InvalidateItem(hwnd, s, index);
    MakeVisible(hwnd, s, index);
}

// The user moved the selection to `index`.
void UserSelect(HWND hwnd, ListBoxState& s, int index) {
    if (Multiple(s)) {
        SetCaret(hwnd, s, index);
        return;
    }
    if (Select(hwnd, s, index) && (s.style & LBS_NOTIFY)) NotifyParent(hwnd, s, LBN_SELCHANGE);
}

bool Equal(const std::u16string& a, const WCHAR* b) { return lstrcmpiW(a.c_str(), b) == 0; }
bool StartsWith(const std::u16string& a, const WCHAR* prefix) {
    size_t n = 0;
    while (prefix[n]) ++n;
    if (n > a.size()) return false;
    std::u16string head = a.substr(0, n), p(prefix, n);
    return lstrcmpiW(head.c_str(), p.c_str()) == 0;
}

// LB_FINDSTRING and friends: from the item after `start` round to `start`.
int Find(const ListBoxState& s, WPARAM start, LPARAM key, bool exact) {
    int n = Count(s);
    if (n == 0) return LB_ERR;
    int first = static_cast<int>(start);
    if (first < -1 || first >= n) first = -1;
    for (int k = 1; k <= n; ++k) {
        int i = (first + k) % n;
        if (!HasStrings(s)) {
            if (s.items[static_cast<size_t>(i)].data == static_cast<ULONG_PTR>(key)) return i;
            continue;
        }
        const WCHAR* text = reinterpret_cast<const WCHAR*>(key);
        if (!text) return LB_ERR;
        const std::u16string& item = s.items[static_cast<size_t>(i)].text;
        if (exact ? Equal(item, text) : StartsWith(item, text)) return i;
    }
    return LB_ERR;
}

int CompareOwnerItems(HWND hwnd, const ListBoxState& s, ULONG_PTR a, int indexB) {
    COMPAREITEMSTRUCT cis = {};
    cis.CtlType = OwnerCtlType(s);
    cis.CtlID = OwnerCtlId(hwnd, s);
    cis.hwndItem = OwnerItemWindow(hwnd, s);
    cis.itemID1 = static_cast<UINT>(-1);
    cis.itemData1 = a;
    cis.itemID2 = static_cast<UINT>(indexB);
    cis.itemData2 = s.items[static_cast<size_t>(indexB)].data;
    cis.dwLocaleId = 0x0409;
    HWND owner = OwnerWindow(hwnd, s);
    return owner ? static_cast<int>(SendMessageW(owner, WM_COMPAREITEM, cis.CtlID, reinterpret_cast<LPARAM>(&cis))) : 1;
}

LRESULT Insert(HWND hwnd, ListBoxState& s, int index, LPARAM value, bool sorted) {
    Item item;
    if (HasStrings(s)) {
        const WCHAR* text = reinterpret_cast<const WCHAR*>(value);
        item.text = text ? text : u"";
    } else {
        item.data = static_cast<ULONG_PTR>(value);
    }
    int n = Count(s);
    if (sorted) {
        // Equal items go after the ones already there.
        index = n;
        for (int i = 0; i < n; ++i) {
            int c = HasStrings(s) ? lstrcmpiW(item.text.c_str(), s.items[static_cast<size_t>(i)].text.c_str())
                                  : CompareOwnerItems(hwnd, s, item.data, i);
            if (c < 0) {
                index = i;
                break;
            }
        }
    } else if (index == -1) {
        index = n;
    } else if (index < 0 || index > n) {
        return LB_ERR;
    }
    s.items.insert(s.items.begin() + index, std::move(item));
    if (s.selection >= index) ++s.selection;
    if (s.caret >= index && n > 0) ++s.caret;
    if (s.anchor >= index && n > 0) ++s.anchor;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateScrollBar(hwnd, s);
    return index;
}

void SendDeleteItem(HWND hwnd, const ListBoxState& s, int index) {
    const Item& item = s.items[static_cast<size_t>(index)];
    if (!OwnerDraw(s) && !item.data) return;
    DELETEITEMSTRUCT dis = {};
    dis.CtlType = OwnerCtlType(s);
    dis.CtlID = OwnerCtlId(hwnd, s);
    dis.itemID = static_cast<UINT>(index);
    dis.hwndItem = OwnerItemWindow(hwnd, s);
    dis.itemData = item.data;
    if (HWND owner = OwnerWindow(hwnd, s)) SendMessageW(owner, WM_DELETEITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

LRESULT Delete(HWND hwnd, ListBoxState& s, WPARAM which) {
    if (!Valid(s, which)) return LB_ERR;
    int index = static_cast<int>(which);
    SendDeleteItem(hwnd, s, index);
    if (!Valid(s, which)) return LB_ERR;  // the owner changed the list meanwhile
    s.items.erase(s.items.begin() + index);
    auto shift = [&](int& v, int none) {
        if (v == index) v = none;
        else if (v > index) --v;
    };
    shift(s.selection, -1);
    shift(s.caret, std::max(0, std::min(index, Count(s) - 1)));
    shift(s.anchor, s.caret);
    s.top = std::clamp(s.top, 0, MaxTop(hwnd, s));
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateScrollBar(hwnd, s);
    return Count(s);
}

void Reset(HWND hwnd, ListBoxState& s) {
    for (int i = Count(s) - 1; i >= 0; --i)
        if (i < Count(s)) SendDeleteItem(hwnd, s, i);
    s.items.clear();
    s.selection = -1;
    s.caret = s.anchor = s.top = 0;
    s.offset = 0;
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateScrollBar(hwnd, s);
}

// Without LBS_NOINTEGRALHEIGHT the list shows whole items only.
// Our own horizontal bar coming and going does not count: fitting then
// would shrink the window a little more at every turn.
void FitIntegralHeight(HWND hwnd, ListBoxState& s) {
    if ((s.style & LBS_NOINTEGRALHEIGHT) || s.combo || s.resizing || s.updatingBars || s.itemHeight <= 0) return;
    RECT c = Client(hwnd), w;
    GetWindowRect(hwnd, &w);
    int height = c.bottom - c.top;
    int extra = height % s.itemHeight;
    if (extra == 0 || height < s.itemHeight) return;
    s.resizing = true;
    SetWindowPos(hwnd, nullptr, 0, 0, w.right - w.left, (w.bottom - w.top) - extra,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.resizing = false;
}

// ---- Painting --------------------------------------------------------------------------

void DrawItem(HWND hwnd, ListBoxState& s, HDC dc, int index, COLORREF textColor) {
    RECT r = ItemRect(hwnd, s, index);
    const Item& item = s.items[static_cast<size_t>(index)];
    bool selected = Multiple(s) ? item.selected : index == s.selection;
    bool focus = s.focused && index == s.caret && !s.combo;
    bool enabled = IsWindowEnabled(s.combo ? s.combo : hwnd) != FALSE;
    if (OwnerDraw(s)) {
        DRAWITEMSTRUCT dis = {};
        dis.CtlType = OwnerCtlType(s);
        dis.CtlID = OwnerCtlId(hwnd, s);
        dis.itemID = static_cast<UINT>(index);
        dis.itemAction = ODA_DRAWENTIRE;
        dis.itemState = (selected ? ODS_SELECTED : 0) | (focus ? ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
        dis.hwndItem = OwnerItemWindow(hwnd, s);
        dis.hDC = dc;
        dis.rcItem = r;
        dis.itemData = item.data;
        if (HWND owner = OwnerWindow(hwnd, s)) SendMessageW(owner, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        return;
    }
    if (selected) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        SetTextColor(dc, enabled ? textColor : GetSysColor(COLOR_GRAYTEXT));
    }
    RECT t = r;
    t.left += 2;
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT;
    if (s.style & LBS_USETABSTOPS) format |= DT_EXPANDTABS;
    DrawTextW(dc, item.text.c_str(), static_cast<int>(item.text.size()), &t, format);
    if (focus) DrawFocusRect(dc, &r);
}

void Paint(HWND hwnd, ListBoxState& s, HDC dc) {
    RECT c = Client(hwnd);
    HGDIOBJ oldFont = SelectObject(dc, FontOrSystem(s.font));
    HBRUSH brush = s.combo ? ComboListColor(s.combo, dc)
                           : ControlColor(hwnd, dc, WM_CTLCOLORLISTBOX);
    FillRect(dc, &c, brush);
    COLORREF textColor = GetTextColor(dc);
    SetBkMode(dc, TRANSPARENT);
    int rows = VisibleRows(hwnd, s) + 1;  // and the partly visible one
    for (int i = s.top; i < Count(s) && i < s.top + rows; ++i) DrawItem(hwnd, s, dc, i, textColor);
    // An empty list with the focus still shows where the caret is.
    if (Count(s) == 0 && s.focused && !s.combo) {
        RECT r = {c.left, c.top, c.right, c.top + s.itemHeight};
        DrawFocusRect(dc, &r);
    }
    SelectObject(dc, oldFont);
}

// ---- Input -----------------------------------------------------------------------------

// The pen is outside the items while dragging: scroll one item towards it.
void DragOutside(HWND hwnd, ListBoxState& s, POINT p) {
    RECT c = Client(hwnd);
    if (p.y < c.top) {
        SetTop(hwnd, s, s.top - 1);
        if (!Multiple(s)) UserSelect(hwnd, s, s.top);
    } else if (p.y >= c.bottom) {
        SetTop(hwnd, s, s.top + 1);
        int last = std::min(Count(s) - 1, s.top + VisibleRows(hwnd, s) - 1);
        if (!Multiple(s) && last >= 0) UserSelect(hwnd, s, last);
    }
}

void PenDown(HWND hwnd, ListBoxState& s, POINT p, bool doubleTap) {
    RECT c = Client(hwnd);
    if (!PtInRect(&c, p)) {
        BeginWindowScrollTracking(s.scroll, hwnd, p, !s.combo);
        return;
    }
    if (!s.combo) {
        SetFocus(hwnd);
        if (!IsWindow(hwnd)) return;
        SetCapture(hwnd);
    }
    s.tracking = true;
    s.lastPen = p;
    int index = ItemAt(s, p);
    if (doubleTap) {
        if (index >= 0 && (s.style & LBS_NOTIFY)) NotifyParent(hwnd, s, LBN_DBLCLK);
        return;
    }
    if (index < 0) return;
    if (s.combo) {
        Select(hwnd, s, index);
        return;
    }
    if (Multiple(s)) {
        Item& item = s.items[static_cast<size_t>(index)];
        item.selected = !item.selected;
        SetCaret(hwnd, s, index);
        InvalidateItem(hwnd, s, index);
        if (s.style & LBS_NOTIFY) NotifyParent(hwnd, s, LBN_SELCHANGE);
        return;
    }
    UserSelect(hwnd, s, index);
}

void PenMove(HWND hwnd, ListBoxState& s, POINT p, bool penDown) {
    if (s.scroll.Active()) {
        s.scroll.Move(p);
        return;
    }
    // A combo box's list follows the pen as soon as it is down, even when
    // the pen went down on the combo box itself.
    if (s.combo && penDown) s.tracking = true;
    if (!s.tracking) return;
    s.lastPen = p;
    RECT c = Client(hwnd);
    if (!PtInRect(&c, p)) {
        if (s.combo) return;
        DragOutside(hwnd, s, p);
        SetTimer(hwnd, kRepeatTimer, kRepeatRate, nullptr);
        return;
    }
    KillTimer(hwnd, kRepeatTimer);
    int index = ItemAt(s, p);
    if (index < 0 || Multiple(s)) return;
    if (s.combo) Select(hwnd, s, index);
    else UserSelect(hwnd, s, index);
}

void PenUp(HWND hwnd, ListBoxState& s, POINT p) {
    if (s.scroll.Active()) {
        s.scroll.End(p);
        return;
    }
    bool wasTracking = s.tracking;
    s.tracking = false;
    KillTimer(hwnd, kRepeatTimer);
    if (!s.combo) {
        if (GetCapture() == hwnd) ReleaseCapture();
        return;
    }
    RECT c = Client(hwnd);
    int index = PtInRect(&c, p) ? ItemAt(s, p) : -1;
    if (wasTracking && index >= 0) SendMessageW(s.combo, kComboListPicked, static_cast<WPARAM>(index), 0);
}

void Key(HWND hwnd, ListBoxState& s, WPARAM key) {
    int n = Count(s);
    if (n == 0) return;
    int from = Multiple(s) ? s.caret : (s.selection >= 0 ? s.selection : s.caret);
    int rows = VisibleRows(hwnd, s);
    int to = from;
    switch (key) {
    case VK_UP: to = from - 1; break;
    case VK_DOWN: to = (s.selection < 0 && !Multiple(s)) ? 0 : from + 1; break;
    case VK_PRIOR: to = from - (rows - 1); break;
    case VK_NEXT: to = from + (rows - 1); break;
    case VK_HOME: to = 0; break;
    case VK_END: to = n - 1; break;
    case VK_SPACE:
        if (Multiple(s) && s.caret < n) {
            Item& item = s.items[static_cast<size_t>(s.caret)];
            item.selected = !item.selected;
            InvalidateItem(hwnd, s, s.caret);
            if (s.style & LBS_NOTIFY) NotifyParent(hwnd, s, LBN_SELCHANGE);
        }
        return;
    default: return;
    }
    UserSelect(hwnd, s, std::clamp(to, 0, n - 1));
}

// A typed character selects the next item that starts with it.
void Char(HWND hwnd, ListBoxState& s, WCHAR c) {
    if (c < 0x20 || !HasStrings(s)) return;
    WCHAR key[2] = {c, 0};
    int start = Multiple(s) ? s.caret : s.selection;
    int found = Find(s, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(key), false);
    if (found >= 0) UserSelect(hwnd, s, found);
}

}  // namespace

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ListBoxState* s = EnsureState<ListBoxState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_CREATE: {
        const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        s->style = static_cast<DWORD>(cs->style);
        if (HasClass(hwnd, kComboListClass)) s->combo = reinterpret_cast<HWND>(cs->lpCreateParams);
        if (s->style & LBS_OWNERDRAWVARIABLE) s->style = (s->style & ~static_cast<DWORD>(LBS_OWNERDRAWVARIABLE)) | LBS_OWNERDRAWFIXED;
        if (s->combo) s->font = reinterpret_cast<HFONT>(SendMessageW(s->combo, WM_GETFONT, 0, 0));
        MeasureItemHeight(hwnd, *s);
        FitIntegralHeight(hwnd, *s);
        UpdateScrollBar(hwnd, *s);
        return 0;
    }
    case WM_NCDESTROY:
        ReleaseState<ListBoxState>(hwnd);
        return 0;
    case WM_DESTROY:
        Reset(hwnd, *s);
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
        s->font = reinterpret_cast<HFONT>(wParam);
        if (!OwnerDraw(*s)) MeasureItemHeight(hwnd, *s);
        FitIntegralHeight(hwnd, *s);
        UpdateScrollBar(hwnd, *s);
        if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SIZE:
        FitIntegralHeight(hwnd, *s);
        s->top = std::clamp(s->top, 0, MaxTop(hwnd, *s));
        s->offset = std::clamp(s->offset, 0, MaxOffset(hwnd, *s));
        UpdateScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;

    case LB_ADDSTRING: return Insert(hwnd, *s, -1, lParam, (s->style & LBS_SORT) != 0);
    case LB_INSERTSTRING: return Insert(hwnd, *s, static_cast<int>(wParam), lParam, false);
    case LB_DELETESTRING: return Delete(hwnd, *s, wParam);
    case LB_RESETCONTENT: Reset(hwnd, *s); return LB_OKAY;
    case LB_GETCOUNT: return Count(*s);
    case LB_GETCURSEL: return Multiple(*s) ? s->caret : s->selection;
    case LB_SETCURSEL: {
        if (Multiple(*s)) return LB_ERR;
        int index = static_cast<int>(wParam);
        if (index != -1 && !Valid(*s, wParam)) return LB_ERR;
        Select(hwnd, *s, index);
        return index == -1 ? LB_ERR : index;
    }
    case LB_GETTEXT: {
        if (!Valid(*s, wParam) || !lParam) return LB_ERR;
        const Item& item = s->items[wParam];
        if (!HasStrings(*s)) {
            *reinterpret_cast<ULONG_PTR*>(lParam) = item.data;
            return sizeof(ULONG_PTR);
        }
        WCHAR* out = reinterpret_cast<WCHAR*>(lParam);
        std::copy(item.text.begin(), item.text.end(), out);
        out[item.text.size()] = 0;
        return static_cast<LRESULT>(item.text.size());
    }
    case LB_GETTEXTLEN:
        if (!Valid(*s, wParam)) return LB_ERR;
        return HasStrings(*s) ? static_cast<LRESULT>(s->items[wParam].text.size()) : sizeof(ULONG_PTR);
    case LB_FINDSTRING: return Find(*s, wParam, lParam, false);
    case LB_FINDSTRINGEXACT: return Find(*s, wParam, lParam, true);
    case LB_SELECTSTRING: {
        int found = Find(*s, wParam, lParam, false);
        if (found < 0) return LB_ERR;
        if (Multiple(*s)) SetCaret(hwnd, *s, found);
        else Select(hwnd, *s, found);
        return found;
    }
    case LB_GETITEMDATA: return Valid(*s, wParam) ? static_cast<LRESULT>(s->items[wParam].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!Valid(*s, wParam)) return LB_ERR;
        s->items[wParam].data = static_cast<ULONG_PTR>(lParam);
        return TRUE;
    case LB_GETTOPINDEX: return s->top;
    case LB_SETTOPINDEX:
        if (!Valid(*s, wParam) && !(wParam == 0 && Count(*s) == 0)) return LB_ERR;
        SetTop(hwnd, *s, static_cast<int>(wParam));
        return LB_OKAY;
    case LB_GETITEMHEIGHT: return s->itemHeight;
    case LB_SETITEMHEIGHT: {
        int height = static_cast<int>(LOWORD(lParam));
        if (height <= 0 || height > 255) return LB_ERR;
        s->itemHeight = height;
        FitIntegralHeight(hwnd, *s);
        s->top = std::clamp(s->top, 0, MaxTop(hwnd, *s));
        UpdateScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return LB_OKAY;
    }
    case LB_GETITEMRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (!r || !(Valid(*s, wParam) || (wParam == 0 && Count(*s) == 0))) return LB_ERR;
        *r = ItemRect(hwnd, *s, static_cast<int>(wParam));
        RECT c = Client(hwnd);
        return r->top < c.bottom && r->bottom > c.top ? 1 : 0;
    }
    case LB_ITEMFROMPOINT: {
        POINT p = PointOf(lParam);
        RECT c = Client(hwnd);
        int index = ItemAt(*s, p);
        bool outside = !PtInRect(&c, p) || index < 0;
        if (index < 0) index = std::max(0, std::min(Count(*s) - 1, s->top + static_cast<int>(p.y) / std::max(1, s->itemHeight)));
        return MAKELRESULT(index, outside ? 1 : 0);
    }
    case LB_GETSEL:
        if (!Valid(*s, wParam)) return LB_ERR;
        return Multiple(*s) ? (s->items[wParam].selected ? 1 : 0) : (static_cast<int>(wParam) == s->selection ? 1 : 0);
    case LB_SETSEL: {
        if (!Multiple(*s)) return LB_ERR;
        int index = static_cast<int>(lParam);
        if (index == -1) {
            for (Item& item : s->items) item.selected = wParam != 0;
            InvalidateRect(hwnd, nullptr, TRUE);
            return LB_OKAY;
        }
        if (!Valid(*s, static_cast<WPARAM>(index))) return LB_ERR;
        s->items[static_cast<size_t>(index)].selected = wParam != 0;
        InvalidateItem(hwnd, *s, index);
        return LB_OKAY;
    }
    case LB_GETSELCOUNT:
        if (!Multiple(*s)) return LB_ERR;
        return std::count_if(s->items.begin(), s->items.end(), [](const Item& i) { return i.selected; });
    case LB_GETSELITEMS: {
        if (!Multiple(*s)) return LB_ERR;
        int* out = reinterpret_cast<int*>(lParam);
        int max = static_cast<int>(wParam), n = 0;
        for (int i = 0; i < Count(*s) && n < max && out; ++i)
            if (s->items[static_cast<size_t>(i)].selected) out[n++] = i;
        return n;
    }
    case LB_GETCARETINDEX: return s->caret;
    case LB_SETCARETINDEX:
        if (!Valid(*s, wParam)) return LB_ERR;
        SetCaret(hwnd, *s, static_cast<int>(wParam));
        return LB_OKAY;
    case LB_GETANCHORINDEX: return s->anchor;
    case LB_SETANCHORINDEX:
        if (!Valid(*s, wParam)) return LB_ERR;
        s->anchor = static_cast<int>(wParam);
        return LB_OKAY;
    case LB_INITSTORAGE:
        s->items.reserve(s->items.size() + wParam);
        return static_cast<LRESULT>(s->items.capacity());
    case LB_SETTABSTOPS: return TRUE;
    case LB_GETLOCALE:
    case LB_SETLOCALE: return 0x0409;
    case LB_GETHORIZONTALEXTENT: return s->extent;
    case LB_SETHORIZONTALEXTENT: {
        int extent = static_cast<int>(std::min<WPARAM>(wParam, 0x7FFF));
        if (extent == s->extent) return 0;
        s->extent = extent;
        s->offset = std::clamp(s->offset, 0, MaxOffset(hwnd, *s));
        UpdateScrollBar(hwnd, *s);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LB_SETCOLUMNWIDTH: return 0;
    case LB_DIR:
    case LB_ADDFILE:
    case LB_SETCOUNT:
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: return LB_ERR;

    case WM_SETFOCUS:
        s->focused = true;
        InvalidateItem(hwnd, *s, s->caret);
        if (Count(*s) == 0) InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, *s, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        s->focused = false;
        if (s->tracking && GetCapture() == hwnd) ReleaseCapture();
        s->tracking = false;
        InvalidateItem(hwnd, *s, s->caret);
        if (Count(*s) == 0) InvalidateRect(hwnd, nullptr, TRUE);
        NotifyParent(hwnd, *s, LBN_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_LBUTTONDOWN: PenDown(hwnd, *s, PointOf(lParam), false); return 0;
    case WM_LBUTTONDBLCLK: PenDown(hwnd, *s, PointOf(lParam), true); return 0;
    case WM_MOUSEMOVE: PenMove(hwnd, *s, PointOf(lParam), (wParam & MK_LBUTTON) != 0); return 0;
    case WM_LBUTTONUP: PenUp(hwnd, *s, PointOf(lParam)); return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            s->scroll.Cancel();
            s->tracking = false;
            KillTimer(hwnd, kRepeatTimer);
        }
        return 0;
    case WM_TIMER:
        if (wParam != kRepeatTimer) break;
        if (s->scroll.Active()) s->scroll.Timer();
        else if (s->tracking) DragOutside(hwnd, *s, s->lastPen);
        else KillTimer(hwnd, kRepeatTimer);
        return 0;
    case WM_VSCROLL: {
        int rows = VisibleRows(hwnd, *s);
        switch (LOWORD(wParam)) {
        case SB_LINEUP: SetTop(hwnd, *s, s->top - 1); break;
        case SB_LINEDOWN: SetTop(hwnd, *s, s->top + 1); break;
        case SB_PAGEUP: SetTop(hwnd, *s, s->top - std::max(1, rows - 1)); break;
        case SB_PAGEDOWN: SetTop(hwnd, *s, s->top + std::max(1, rows - 1)); break;
        case SB_TOP: SetTop(hwnd, *s, 0); break;
        case SB_BOTTOM: SetTop(hwnd, *s, MaxTop(hwnd, *s)); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
            int pos = GetScrollInfo(hwnd, SB_VERT, &si) ? si.nTrackPos : HIWORD(wParam);
            SetTop(hwnd, *s, pos);
            break;
        }
        default: break;
        }
        return 0;
    }
    case WM_HSCROLL: {
        int page = std::max(1, ClientWidth(hwnd));
        int line = HorizontalLine(*s);
        switch (LOWORD(wParam)) {
        case SB_LINELEFT: SetOffset(hwnd, *s, s->offset - line); break;
        case SB_LINERIGHT: SetOffset(hwnd, *s, s->offset + line); break;
        case SB_PAGELEFT: SetOffset(hwnd, *s, s->offset - page); break;
        case SB_PAGERIGHT: SetOffset(hwnd, *s, s->offset + page); break;
        case SB_LEFT: SetOffset(hwnd, *s, 0); break;
        case SB_RIGHT: SetOffset(hwnd, *s, MaxOffset(hwnd, *s)); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            SCROLLINFO si = {sizeof si, SIF_TRACKPOS, 0, 0, 0, 0, 0};
            int pos = GetScrollInfo(hwnd, SB_HORZ, &si) ? si.nTrackPos : HIWORD(wParam);
            SetOffset(hwnd, *s, pos);
            break;
        }
        default: break;
        }
        return 0;
    }
    case WM_KEYDOWN: Key(hwnd, *s, wParam); return 0;
    case WM_CHAR: Char(hwnd, *s, static_cast<WCHAR>(wParam)); return 0;
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
