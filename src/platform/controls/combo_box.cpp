// The "ComboBox" control: a selection field with a drop-down button and a
// list. CBS_DROPDOWN puts an edit in the field, CBS_DROPDOWNLIST shows the
// selected item there, CBS_SIMPLE keeps the list open below an edit. The list
// is a "ComboLBox" popup that holds the items (CB_xxx messages go on to it as
// LB_xxx); while it is down the combo box holds the pen capture, hands the
// pen on to the list, and closes the list when the user picks an item
// (CBN_SELENDOK, CBN_CLOSEUP, CBN_SELCHANGE) or taps elsewhere
// (CBN_SELENDCANCEL, CBN_CLOSEUP). The arrow keys move the selection; F4
// opens and closes the list, Enter and Escape close it. The parent hears
// CBN_SETFOCUS and CBN_KILLFOCUS when the focus enters or leaves the combo
// box as a whole (its edit included), and CBN_EDITUPDATE / CBN_EDITCHANGE
// when the user types.
//
// The dropped list is as wide as the combo box at least, wider when the
// program asks (CB_SETDROPPEDWIDTH) or when an item would not fit: a short
// combo box on a narrow screen must still show its choices whole. It stays
// on the screen, moving left from the combo box's edge where it has to.
#include <algorithm>
#include <string>

#include "controls/standard_controls.h"

namespace controls {

namespace {

struct ComboState : StateBase {
    DWORD style = 0;
    HWND edit = nullptr;
    HWND list = nullptr;
    HFONT font = nullptr;
    int itemHeight = 12;    // of the selection field's text
    int fieldHeight = 18;   // the combo box's own height
    int droppedHeight = 0;  // the height asked for at creation: field and list
    int droppedWidth = 0;   // CB_SETDROPPEDWIDTH's least width (0: the combo box's)
    bool dropped = false;
    bool focused = false;     // the focus is on the combo box or its edit
    bool penDown = false;     // the pen went down while the list was down
    bool forwarding = false;  // ... and on the list
    bool updatingEdit = false;
    bool extendedUI = false;
    bool resizing = false;
};

UINT Kind(const ComboState& s) { return s.style & 3; }
bool HasEdit(const ComboState& s) { return Kind(s) == CBS_DROPDOWN || Kind(s) == CBS_SIMPLE; }
bool Simple(const ComboState& s) { return Kind(s) == CBS_SIMPLE; }
bool OwnerDrawn(const ComboState& s) { return (s.style & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }
LPARAM ToLParam(POINT p) { return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y)); }

int ButtonWidth() { return GetSystemMetrics(SM_CXVSCROLL); }

RECT ButtonRect(HWND hwnd, const ComboState& s) {
    RECT c;
    GetClientRect(hwnd, &c);
    return RECT{c.right - 1 - ButtonWidth(), c.top + 1, c.right - 1, c.top + s.fieldHeight - 1};
}

RECT FieldRect(HWND hwnd, const ComboState& s) {
    RECT c;
    GetClientRect(hwnd, &c);
    int right = Simple(s) ? c.right - 1 : ButtonRect(hwnd, s).left;
    return RECT{c.left + 1, c.top + 1, right, c.top + s.fieldHeight - 1};
}

LRESULT ToList(const ComboState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    return s.list ? SendMessageW(s.list, message, wParam, lParam) : CB_ERR;
}

int CurSel(const ComboState& s) { return static_cast<int>(ToList(s, LB_GETCURSEL, 0, 0)); }

std::u16string ItemText(const ComboState& s, int index) {
    int n = static_cast<int>(ToList(s, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
    if (n < 0) return std::u16string();
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    n = static_cast<int>(ToList(s, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(std::max(0, n)));
    return text;
}

bool ListHasStrings(const ComboState& s) { return !OwnerDrawn(s) || (s.style & CBS_HASSTRINGS); }

// The field follows the list's selection: the edit gets the item's text
// (selected, without edit notifications), a drop-down list repaints.
void ShowSelection(HWND hwnd, ComboState& s) {
    if (s.edit) {
        int sel = CurSel(s);
        std::u16string text = sel >= 0 && ListHasStrings(s) ? ItemText(s, sel) : std::u16string();
        s.updatingEdit = true;
        SetWindowTextW(s.edit, text.c_str());
        SendMessageW(s.edit, EM_SETSEL, 0, -1);
        s.updatingEdit = false;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

void Layout(HWND hwnd, ComboState& s) {
    RECT c;
    GetClientRect(hwnd, &c);
    if (s.edit) {
        RECT f = FieldRect(hwnd, s);
        MoveWindow(s.edit, f.left + 1, f.top, std::max(0, static_cast<int>(f.right - f.left) - 2),
                   f.bottom - f.top, TRUE);
    }
    if (Simple(s) && s.list)
        MoveWindow(s.list, c.left, c.top + s.fieldHeight, c.right - c.left,
                   std::max(0, static_cast<int>(c.bottom - c.top) - s.fieldHeight), TRUE);
}

void MeasureField(HWND hwnd, ComboState& s) {
    s.itemHeight = LineHeight(s.font);
    if (OwnerDrawn(s)) {
        MEASUREITEMSTRUCT mis = {};
        mis.CtlType = ODT_COMBOBOX;
        mis.CtlID = static_cast<UINT>(ControlId(hwnd));
        mis.itemID = static_cast<UINT>(-1);  // the selection field
        mis.itemHeight = static_cast<UINT>(s.itemHeight);
        if (HWND parent = GetParent(hwnd)) SendMessageW(parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
        if (mis.itemHeight > 0 && mis.itemHeight <= 255) s.itemHeight = static_cast<int>(mis.itemHeight);
    }
    s.fieldHeight = s.itemHeight + 6;
}

// Keeps the window as high as the field (the list drops out of it).
void FitHeight(HWND hwnd, ComboState& s) {
    if (Simple(s)) return;
    RECT w;
    GetWindowRect(hwnd, &w);
    if (w.bottom - w.top == s.fieldHeight) return;
    s.resizing = true;
    SetWindowPos(hwnd, nullptr, 0, 0, w.right - w.left, s.fieldHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.resizing = false;
}

// ---- Dropping and closing -------------------------------------------------------------------

// The text of an item of the list starts this far in from each side (the
// list box indents it by two pixels; the same is kept free on the right).
constexpr int kItemTextMargins = 4;

// The widest item in the combo box's font; 0 for owner-drawn items without
// strings, which only their owner could measure.
int WidestItem(const ComboState& s) {
    if (!ListHasStrings(s)) return 0;
    int count = static_cast<int>(ToList(s, LB_GETCOUNT, 0, 0));
    MeasureDC m(s.font);
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        std::u16string text = ItemText(s, i);
        widest = std::max(widest, m.Width(text.c_str(), static_cast<int>(text.size())));
    }
    return widest;
}

int ComboWidth(HWND hwnd) {
    RECT w;
    GetWindowRect(hwnd, &w);
    return static_cast<int>(w.right - w.left);
}

// The least width of the dropped list the program may rely on.
int DroppedWidth(HWND hwnd, const ComboState& s) { return std::max(s.droppedWidth, ComboWidth(hwnd)); }

void RepaintField(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, FALSE);
    UpdateWindow(hwnd);
}

void DropDown(HWND hwnd, ComboState& s) {
    if (s.dropped || Simple(s) || !s.list) return;
    Notify(hwnd, CBN_DROPDOWN);
    if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) return;
    RECT w;
    GetWindowRect(hwnd, &w);
    int count = static_cast<int>(ToList(s, LB_GETCOUNT, 0, 0));
    int itemHeight = std::max(1, static_cast<int>(ToList(s, LB_GETITEMHEIGHT, 0, 0)));
    int border = 2 * GetSystemMetrics(SM_CYBORDER);
    int wanted = std::max(1, count) * itemHeight + border;
    int room = s.droppedHeight - s.fieldHeight;
    if (room < itemHeight + border) room = itemHeight + border;
    // Whole items only, as many as the height asked for at creation allows.
    int height = std::min(wanted, ((room - border) / itemHeight) * itemHeight + border);
    int width = DroppedWidth(hwnd, s);
    if (int widest = WidestItem(s)) {
        int needed = widest + kItemTextMargins + 2 * GetSystemMetrics(SM_CXBORDER);
        if (count * itemHeight + border > height) needed += GetSystemMetrics(SM_CXVSCROLL);
        width = std::max(width, needed);
    }
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    width = std::min(width, screenWidth);
    int x = std::clamp(static_cast<int>(w.left), 0, screenWidth - width);
    int y = w.bottom;
    int screen = GetSystemMetrics(SM_CYSCREEN);
    if (y + height > screen && w.top - height >= 0) y = w.top - height;  // opens upwards near the bottom
    s.dropped = true;
    s.penDown = false;
    s.forwarding = false;
    int sel = CurSel(s);
    ToList(s, LB_SETTOPINDEX, static_cast<WPARAM>(std::max(0, sel)), 0);
    SetWindowPos(s.list, HWND_TOPMOST, x, y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (sel >= 0) ToList(s, LB_SETTOPINDEX, static_cast<WPARAM>(sel), 0);
    UpdateWindow(s.list);
    SetCapture(hwnd);
    RepaintField(hwnd);
}

void CloseUp(HWND hwnd, ComboState& s, bool ok) {
    if (!s.dropped) return;
    s.dropped = false;
    s.penDown = s.forwarding = false;
    if (GetCapture() == hwnd) ReleaseCapture();
    Notify(hwnd, ok ? CBN_SELENDOK : CBN_SELENDCANCEL);
    if (!IsWindow(hwnd)) return;
    if (s.list) ShowWindow(s.list, SW_HIDE);
    Notify(hwnd, CBN_CLOSEUP);
    if (IsWindow(hwnd)) RepaintField(hwnd);
}

// The user chose an item from the list.
void Picked(HWND hwnd, ComboState& s, int index) {
    ToList(s, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (Simple(s)) {
        if (s.edit && GetFocus() != s.edit) SetFocus(s.edit);
        if (!IsWindow(hwnd)) return;
        ShowSelection(hwnd, s);
        Notify(hwnd, CBN_SELENDOK);
        if (IsWindow(hwnd)) Notify(hwnd, CBN_SELCHANGE);
        return;
    }
    CloseUp(hwnd, s, true);
    if (!IsWindow(hwnd)) return;
    ShowSelection(hwnd, s);
    if (s.edit && GetFocus() != s.edit) SetFocus(s.edit);
    Notify(hwnd, CBN_SELCHANGE);
}

// The arrow keys on a combo box: one step (or a page) through the items.
void StepSelection(HWND hwnd, ComboState& s, int delta, bool toEnd) {
    int count = static_cast<int>(ToList(s, LB_GETCOUNT, 0, 0));
    if (count == 0) return;
    int sel = CurSel(s);
    int next;
    if (toEnd) next = delta < 0 ? 0 : count - 1;
    else if (sel < 0) next = delta > 0 ? 0 : count - 1;
    else next = std::clamp(sel + delta, 0, count - 1);
    if (next == sel) return;
    ToList(s, LB_SETCURSEL, static_cast<WPARAM>(next), 0);
    ShowSelection(hwnd, s);
    if (!s.dropped) Notify(hwnd, CBN_SELENDOK);
    if (IsWindow(hwnd)) Notify(hwnd, CBN_SELCHANGE);
}

void Key(HWND hwnd, ComboState& s, WPARAM key) {
    bool alt = GetKeyState(VK_MENU) < 0;
    int page = 1;
    if (s.list) {
        RECT r;
        GetClientRect(s.list, &r);
        int h = std::max(1, static_cast<int>(ToList(s, LB_GETITEMHEIGHT, 0, 0)));
        page = std::max(1, static_cast<int>(r.bottom - r.top) / h - 1);
    }
    switch (key) {
    case VK_F4:
        if (s.dropped) CloseUp(hwnd, s, true);
        else DropDown(hwnd, s);
        return;
    case VK_UP:
    case VK_DOWN:
        if (alt && !Simple(s)) {
            if (s.dropped) CloseUp(hwnd, s, true);
            else DropDown(hwnd, s);
            return;
        }
        StepSelection(hwnd, s, key == VK_UP ? -1 : 1, false);
        return;
    case VK_PRIOR: StepSelection(hwnd, s, -page, false); return;
    case VK_NEXT: StepSelection(hwnd, s, page, false); return;
    case VK_HOME:
    case VK_END:
        if (!s.edit) StepSelection(hwnd, s, key == VK_HOME ? -1 : 1, true);
        return;
    case VK_RETURN:
        if (s.dropped) CloseUp(hwnd, s, true);
        return;
    case VK_ESCAPE:
        if (s.dropped) CloseUp(hwnd, s, false);
        return;
    default: return;
    }
}

// A typed character in a drop-down list selects the next item starting with it.
void CharSelect(HWND hwnd, ComboState& s, WCHAR c) {
    if (c < 0x20 || !ListHasStrings(s)) return;
    WCHAR key[2] = {c, 0};
    int found = static_cast<int>(ToList(s, LB_FINDSTRING, static_cast<WPARAM>(CurSel(s)), reinterpret_cast<LPARAM>(key)));
    if (found < 0 || found == CurSel(s)) return;
    ToList(s, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
    ShowSelection(hwnd, s);
    if (!s.dropped) Notify(hwnd, CBN_SELENDOK);
    if (IsWindow(hwnd)) Notify(hwnd, CBN_SELCHANGE);
}

// ---- Focus ------------------------------------------------------------------------------------

bool InsideCombo(const ComboState& s, HWND hwnd, HWND other) { return other && (other == hwnd || other == s.edit || other == s.list); }

void FocusIn(HWND hwnd, ComboState& s) {
    if (s.focused) return;
    s.focused = true;
    if (s.edit) SendMessageW(s.edit, EM_SETSEL, 0, -1);
    InvalidateRect(hwnd, nullptr, FALSE);
    Notify(hwnd, CBN_SETFOCUS);
}

void FocusOut(HWND hwnd, ComboState& s, HWND newFocus) {
    if (!s.focused || InsideCombo(s, hwnd, newFocus)) return;
    CloseUp(hwnd, s, false);
    if (!IsWindow(hwnd)) return;
    s.focused = false;
    if (s.edit) SendMessageW(s.edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    InvalidateRect(hwnd, nullptr, FALSE);
    Notify(hwnd, CBN_KILLFOCUS);
}

// The user typed in the edit: the list follows the text.
void EditChanged(HWND hwnd, ComboState& s) {
    std::u16string text = WindowText(s.edit);
    int found = -1;
    if (!text.empty())
        found = static_cast<int>(ToList(s, LB_FINDSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text.c_str())));
    ToList(s, LB_SETCURSEL, static_cast<WPARAM>(s.dropped ? found : -1), 0);
    if (s.dropped && found >= 0) ToList(s, LB_SETTOPINDEX, static_cast<WPARAM>(found), 0);
    (void)hwnd;
}

// ---- Pen --------------------------------------------------------------------------------------

// A point of the combo box in the list's client coordinates, and whether it
// lies on the list window (its scroll bar included).
bool OnList(HWND hwnd, const ComboState& s, POINT p, POINT* inList) {
    if (!s.list) return false;
    POINT q = p;
    MapWindowPoints(hwnd, s.list, &q, 1);
    *inList = q;
    POINT screen = p;
    ClientToScreen(hwnd, &screen);
    RECT w;
    GetWindowRect(s.list, &w);
    return PtInRect(&w, screen) != FALSE;
}

void PenDown(HWND hwnd, ComboState& s, POINT p) {
    if (!s.dropped) {
        if (Simple(s)) {
            if (s.edit) SetFocus(s.edit);
            return;
        }
        RECT button = ButtonRect(hwnd, s);
        if (s.edit && !PtInRect(&button, p)) return;  // the edit takes taps on the field
        if (s.edit) SetFocus(s.edit);
        else SetFocus(hwnd);
        if (!IsWindow(hwnd)) return;
        DropDown(hwnd, s);
        return;
    }
    POINT q = {};
    if (OnList(hwnd, s, p, &q)) {
        s.penDown = true;
        s.forwarding = true;
        SendMessageW(s.list, WM_LBUTTONDOWN, MK_LBUTTON, ToLParam(q));
        return;
    }
    RECT c;
    GetClientRect(hwnd, &c);
    // A tap on the combo box closes the list keeping the choice; anywhere
    // else it drops it.
    CloseUp(hwnd, s, PtInRect(&c, p) != FALSE);
}

void PenMove(HWND hwnd, ComboState& s, POINT p, WPARAM keys) {
    if (!s.dropped || !(keys & MK_LBUTTON)) return;
    POINT q = {};
    bool on = OnList(hwnd, s, p, &q);
    if (s.forwarding || on) SendMessageW(s.list, WM_MOUSEMOVE, keys, ToLParam(q));
}

void PenUp(HWND hwnd, ComboState& s, POINT p) {
    if (!s.dropped) return;
    POINT q = {};
    bool on = OnList(hwnd, s, p, &q);
    bool forward = s.forwarding || on;
    s.penDown = s.forwarding = false;
    // Lifting the pen on an item picks it, also after a drag from the button.
    if (forward) SendMessageW(s.list, WM_LBUTTONUP, 0, ToLParam(q));
}

// ---- Painting ---------------------------------------------------------------------------------

void Paint(HWND hwnd, ComboState& s, HDC dc) {
    RECT c;
    GetClientRect(hwnd, &c);
    bool enabled = IsWindowEnabled(hwnd) != FALSE;
    HGDIOBJ oldFont = SelectObject(dc, FontOrSystem(s.font));
    HBRUSH brush = ControlColor(hwnd, dc, enabled ? WM_CTLCOLOREDIT : WM_CTLCOLORSTATIC);
    COLORREF textColor = enabled ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    RECT frame = {c.left, c.top, c.right, c.top + s.fieldHeight};
    FillRect(dc, &frame, brush);
    FrameRect(dc, &frame, GetSysColorBrush(COLOR_WINDOWFRAME));
    if (!Simple(s)) {
        RECT button = ButtonRect(hwnd, s);
        UINT state = DFCS_SCROLLCOMBOBOX | (s.dropped ? DFCS_PUSHED | DFCS_FLAT : 0) | (enabled ? 0 : DFCS_INACTIVE);
        DrawFrameControl(dc, &button, DFC_SCROLL, state);
    }
    if (!s.edit) {
        RECT field = FieldRect(hwnd, s);
        InflateRect(&field, -1, -1);
        int sel = CurSel(s);
        bool highlight = s.focused && !s.dropped && sel >= 0;
        if (OwnerDrawn(s)) {
            DRAWITEMSTRUCT dis = {};
            dis.CtlType = ODT_COMBOBOX;
            dis.CtlID = static_cast<UINT>(ControlId(hwnd));
            dis.itemID = static_cast<UINT>(sel);
            dis.itemAction = ODA_DRAWENTIRE;
            dis.itemState = ODS_COMBOBOXEDIT | (highlight ? ODS_SELECTED | ODS_FOCUS : 0) | (enabled ? 0 : ODS_DISABLED);
            dis.hwndItem = hwnd;
            dis.hDC = dc;
            dis.rcItem = field;
            dis.itemData = sel >= 0 ? static_cast<ULONG_PTR>(ToList(s, LB_GETITEMDATA, static_cast<WPARAM>(sel), 0)) : 0;
            if (HWND parent = GetParent(hwnd)) SendMessageW(parent, WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
        } else {
            if (highlight) {
                FillRect(dc, &field, GetSysColorBrush(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            } else {
                SetTextColor(dc, textColor);
            }
            SetBkMode(dc, TRANSPARENT);
            if (sel >= 0) {
                std::u16string text = ItemText(s, sel);
                RECT t = field;
                t.left += 2;
                DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t,
                          DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_LEFT | DT_END_ELLIPSIS);
            }
            if (s.focused && !s.dropped) DrawFocusRect(dc, &field);
        }
    }
    SelectObject(dc, oldFont);
}

// ---- Creation ---------------------------------------------------------------------------------

void Create(HWND hwnd, ComboState& s, const CREATESTRUCTW& cs) {
    s.style = static_cast<DWORD>(cs.style);
    if (s.style & CBS_OWNERDRAWVARIABLE) s.style = (s.style & ~static_cast<DWORD>(CBS_OWNERDRAWVARIABLE)) | CBS_OWNERDRAWFIXED;
    s.droppedHeight = cs.cy;
    MeasureField(hwnd, s);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWL_HINSTANCE));
    DWORD listStyle = WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    if (s.style & CBS_SORT) listStyle |= LBS_SORT;
    if (s.style & CBS_HASSTRINGS) listStyle |= LBS_HASSTRINGS;
    if (s.style & CBS_OWNERDRAWFIXED) listStyle |= LBS_OWNERDRAWFIXED;
    if (s.style & CBS_DISABLENOSCROLL) listStyle |= LBS_DISABLENOSCROLL;
    RECT c;
    GetClientRect(hwnd, &c);
    if (Simple(s)) {
        s.list = CreateWindowExW(0, kComboListClass, nullptr, WS_CHILD | WS_VISIBLE | listStyle, 0, s.fieldHeight,
                                 c.right - c.left, std::max(0, static_cast<int>(c.bottom - c.top) - s.fieldHeight),
                                 hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboListId)), instance, hwnd);
    } else {
        s.list = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kComboListClass, nullptr,
                                 WS_POPUP | listStyle, 0, 0, c.right - c.left, std::max(1, s.droppedHeight), hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboListId)), instance, hwnd);
    }
    if (HasEdit(s)) {
        DWORD editStyle = WS_CHILD | WS_VISIBLE | ES_LEFT | ES_COMBOBOX;
        if (s.style & CBS_AUTOHSCROLL) editStyle |= ES_AUTOHSCROLL;
        if (s.style & CBS_UPPERCASE) editStyle |= ES_UPPERCASE;
        if (s.style & CBS_LOWERCASE) editStyle |= ES_LOWERCASE;
        s.edit = CreateWindowExW(0, u"Edit", nullptr, editStyle, 0, 0, 0, 0, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kComboEditId)), instance, nullptr);
    }
    FitHeight(hwnd, s);
    Layout(hwnd, s);
}

void SetFont(HWND hwnd, ComboState& s, HFONT font, bool redraw) {
    s.font = font;
    if (s.edit) SendMessageW(s.edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (s.list) SendMessageW(s.list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    MeasureField(hwnd, s);
    FitHeight(hwnd, s);
    Layout(hwnd, s);
    if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
}

// Item-changing messages that keep the field in step.
LRESULT ChangeItems(HWND hwnd, ComboState& s, UINT message, WPARAM wParam, LPARAM lParam) {
    int before = CurSel(s);
    LRESULT r = ToList(s, message, wParam, lParam);
    if (message == LB_RESETCONTENT) {
        if (s.edit) {
            s.updatingEdit = true;
            SetWindowTextW(s.edit, u"");
            s.updatingEdit = false;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if (message == LB_DELETESTRING && before >= 0 && CurSel(s) != before) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    return r;
}

}  // namespace

HBRUSH ComboListColor(HWND combo, HDC dc) { return ControlColor(combo, dc, WM_CTLCOLORLISTBOX); }

LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ComboState* s = EnsureState<ComboState>(hwnd);
    if (!s) return DefWindowProcW(hwnd, message, wParam, lParam);
    StateRef ref(s);
    switch (message) {
    case WM_CREATE:
        Create(hwnd, *s, *reinterpret_cast<const CREATESTRUCTW*>(lParam));
        return s->list ? 0 : -1;
    case WM_DESTROY:
        if (s->dropped && GetCapture() == hwnd) ReleaseCapture();
        s->dropped = false;
        if (s->list && !Simple(*s)) DestroyWindow(s->list);
        s->list = nullptr;
        return 0;
    case WM_NCDESTROY:
        ReleaseState<ComboState>(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // The height a program gives is the dropped height; the window keeps
        // the field's.
        WINDOWPOS* wp = reinterpret_cast<WINDOWPOS*>(lParam);
        if (wp && !(wp->flags & SWP_NOSIZE) && !Simple(*s) && !s->resizing && wp->cy != s->fieldHeight) {
            s->droppedHeight = wp->cy;
            wp->cy = s->fieldHeight;
        }
        return 0;
    }
    case WM_SIZE:
        Layout(hwnd, *s);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETDLGCODE: {
        LRESULT code = DLGC_WANTARROWS | DLGC_WANTCHARS;
        const MSG* msg = reinterpret_cast<const MSG*>(lParam);
        if (s->dropped && msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_SETFONT:
        SetFont(hwnd, *s, reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(s->font);
    case WM_SETTEXT:
        if (s->edit) {
            s->updatingEdit = true;
            LRESULT r = SendMessageW(s->edit, WM_SETTEXT, wParam, lParam);
            s->updatingEdit = false;
            DefWindowProcW(hwnd, message, wParam, lParam);
            return r;
        } else {
            const WCHAR* text = reinterpret_cast<const WCHAR*>(lParam);
            int found = text ? static_cast<int>(ToList(*s, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), lParam)) : -1;
            if (found < 0) return CB_ERR;
            ToList(*s, LB_SETCURSEL, static_cast<WPARAM>(found), 0);
            InvalidateRect(hwnd, nullptr, FALSE);
            return TRUE;
        }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        if (s->edit) return SendMessageW(s->edit, message, wParam, lParam);
        int sel = CurSel(*s);
        std::u16string text = sel >= 0 && ListHasStrings(*s) ? ItemText(*s, sel) : std::u16string();
        if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(text.size());
        WCHAR* out = reinterpret_cast<WCHAR*>(lParam);
        if (!out || wParam == 0) return 0;
        size_t n = std::min<size_t>(text.size(), wParam - 1);
        std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), out);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_ENABLE:
        if (s->edit) EnableWindow(s->edit, wParam != 0);
        if (s->list) EnableWindow(s->list, wParam != 0);
        if (!wParam) CloseUp(hwnd, *s, false);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;

    case CB_ADDSTRING: return ToList(*s, LB_ADDSTRING, wParam, lParam);
    case CB_INSERTSTRING: return ToList(*s, LB_INSERTSTRING, wParam, lParam);
    case CB_DELETESTRING: return ChangeItems(hwnd, *s, LB_DELETESTRING, wParam, lParam);
    case CB_RESETCONTENT: ChangeItems(hwnd, *s, LB_RESETCONTENT, 0, 0); return CB_OKAY;
    case CB_GETCOUNT: return ToList(*s, LB_GETCOUNT, 0, 0);
    case CB_GETCURSEL: return ToList(*s, LB_GETCURSEL, 0, 0);
    case CB_SETCURSEL: {
        LRESULT r = ToList(*s, LB_SETCURSEL, wParam, 0);
        if (r != CB_ERR || static_cast<int>(wParam) == -1) ShowSelection(hwnd, *s);
        return r;
    }
    case CB_GETLBTEXT: return ToList(*s, LB_GETTEXT, wParam, lParam);
    case CB_GETLBTEXTLEN: return ToList(*s, LB_GETTEXTLEN, wParam, lParam);
    case CB_FINDSTRING: return ToList(*s, LB_FINDSTRING, wParam, lParam);
    case CB_FINDSTRINGEXACT: return ToList(*s, LB_FINDSTRINGEXACT, wParam, lParam);
    case CB_SELECTSTRING: {
        LRESULT r = ToList(*s, LB_SELECTSTRING, wParam, lParam);
        if (r != CB_ERR) ShowSelection(hwnd, *s);
        return r;
    }
    case CB_GETITEMDATA: return ToList(*s, LB_GETITEMDATA, wParam, lParam);
    case CB_SETITEMDATA: return ToList(*s, LB_SETITEMDATA, wParam, lParam);
    case CB_GETTOPINDEX: return ToList(*s, LB_GETTOPINDEX, 0, 0);
    case CB_SETTOPINDEX: return ToList(*s, LB_SETTOPINDEX, wParam, 0);
    case CB_INITSTORAGE: return ToList(*s, LB_INITSTORAGE, wParam, lParam);
    case CB_GETLOCALE:
    case CB_SETLOCALE: return 0x0409;
    case CB_DIR: return CB_ERR;
    case CB_SHOWDROPDOWN:
        if (wParam) DropDown(hwnd, *s);
        else CloseUp(hwnd, *s, false);
        return TRUE;
    case CB_GETDROPPEDSTATE: return s->dropped ? TRUE : FALSE;
    case CB_GETDROPPEDCONTROLRECT: {
        RECT* r = reinterpret_cast<RECT*>(lParam);
        if (!r) return CB_ERR;
        GetWindowRect(hwnd, r);
        r->bottom = r->top + std::max(s->droppedHeight, s->fieldHeight);
        return TRUE;
    }
    case CB_LIMITTEXT:
        if (!s->edit) return CB_ERR;
        SendMessageW(s->edit, EM_LIMITTEXT, wParam, 0);
        return TRUE;
    case CB_GETEDITSEL:
        if (!s->edit) return CB_ERR;
        return SendMessageW(s->edit, EM_GETSEL, wParam, lParam);
    case CB_SETEDITSEL:
        if (!s->edit) return CB_ERR;
        SendMessageW(s->edit, EM_SETSEL, static_cast<WPARAM>(static_cast<SHORT>(LOWORD(lParam))),
                     static_cast<SHORT>(HIWORD(lParam)));
        return TRUE;
    case CB_SETITEMHEIGHT: {
        int height = static_cast<int>(lParam);
        if (height <= 0 || height > 255) return CB_ERR;
        if (static_cast<int>(wParam) == -1) {
            s->itemHeight = height;
            s->fieldHeight = height + 6;
            FitHeight(hwnd, *s);
            Layout(hwnd, *s);
            InvalidateRect(hwnd, nullptr, FALSE);
            return CB_OKAY;
        }
        return ToList(*s, LB_SETITEMHEIGHT, wParam, lParam);
    }
    case CB_GETITEMHEIGHT:
        if (static_cast<int>(wParam) == -1) return s->itemHeight;
        return ToList(*s, LB_GETITEMHEIGHT, wParam, 0);
    case CB_SETEXTENDEDUI: s->extendedUI = wParam != 0; return CB_OKAY;
    case CB_GETEXTENDEDUI: return s->extendedUI ? TRUE : FALSE;
    case CB_GETDROPPEDWIDTH: return DroppedWidth(hwnd, *s);
    case CB_SETDROPPEDWIDTH:
        if (Simple(*s) || wParam > 0x7FFF) return CB_ERR;
        s->droppedWidth = static_cast<int>(wParam);
        return DroppedWidth(hwnd, *s);
    case CB_GETHORIZONTALEXTENT:
    case CB_SETHORIZONTALEXTENT: return 0;

    case WM_CUT:
    case WM_COPY:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
        // The clipboard messages are for the edit (a drop-down list has none).
        return s->edit ? SendMessageW(s->edit, message, wParam, lParam) : 0;
    case kComboListPicked:
        Picked(hwnd, *s, static_cast<int>(wParam));
        return 0;
    case WM_COMMAND: {
        HWND from = reinterpret_cast<HWND>(lParam);
        if (from != s->edit || !s->edit) return 0;
        switch (HIWORD(wParam)) {
        case EN_SETFOCUS: FocusIn(hwnd, *s); break;
        case EN_KILLFOCUS: FocusOut(hwnd, *s, GetFocus()); break;
        case EN_UPDATE:
            if (!s->updatingEdit) Notify(hwnd, CBN_EDITUPDATE);
            break;
        case EN_CHANGE:
            if (s->updatingEdit) break;
            EditChanged(hwnd, *s);
            Notify(hwnd, CBN_EDITCHANGE);
            break;
        default: break;
        }
        return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX: {
        // The parts are coloured by the combo box's parent.
        HWND parent = GetParent(hwnd);
        LRESULT r = parent ? SendMessageW(parent, message, wParam, lParam) : 0;
        return r ? r : DefWindowProcW(parent ? parent : hwnd, message, wParam, lParam);
    }
    case WM_SETFOCUS:
        if (s->edit) {
            SetFocus(s->edit);
            return 0;
        }
        FocusIn(hwnd, *s);
        return 0;
    case WM_KILLFOCUS:
        if (!s->edit) FocusOut(hwnd, *s, reinterpret_cast<HWND>(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: PenDown(hwnd, *s, PointOf(lParam)); return 0;
    case WM_MOUSEMOVE: PenMove(hwnd, *s, PointOf(lParam), wParam); return 0;
    case WM_LBUTTONUP: PenUp(hwnd, *s, PointOf(lParam)); return 0;
    case WM_CAPTURECHANGED:
        // Someone else took the pen: the list goes away.
        if (s->dropped && reinterpret_cast<HWND>(lParam) != hwnd) CloseUp(hwnd, *s, false);
        return 0;
    case WM_KEYDOWN: Key(hwnd, *s, wParam); return 0;
    case WM_CHAR:
        if (!s->edit) CharSelect(hwnd, *s, static_cast<WCHAR>(wParam));
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
