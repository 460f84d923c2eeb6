// The list view's state and the functions its three files share:
// list_view.cpp (messages, items, columns, notifications), list_view_paint.cpp
// (layout, geometry, hit testing, painting) and list_view_input.cpp (pen,
// keys, scrolling). The state lives in a shared_ptr that each message handler
// holds, so a parent that destroys the control from inside a notification
// leaves the handler with a dead but valid object (`dead` set): every caller
// of a notification checks it, and re-checks item indices, before going on.
// Column k shows sub-item k (column 0 the item's own text), whatever the
// display order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/common_controls.h"

namespace commctl::listview {

struct SubItem {
    std::u16string text;
    bool callback = false;
    int image = I_IMAGENONE;
};

struct Item {
    std::u16string text;
    bool textCallback = false;
    int image = 0;
    int indent = 0;
    LPARAM lParam = 0;
    UINT state = 0;
    std::vector<SubItem> subItems;  // [k] is sub-item k + 1
};

struct Column {
    int fmt = LVCFMT_LEFT;
    int width = 0;
    std::u16string text;
    int subItem = 0;
    int image = -1;
};

enum class PenTrack { None, Items, Header, Divider, Scroll };

// What the pen started when it went down, until it comes up.
struct PenState {
    PenTrack track = PenTrack::None;
    POINT down = {0, 0};
    int item = -1;
    int subItem = 0;
    bool holdPending = false;  // the tap-and-hold timer runs
    bool holdFired = false;
    bool moved = false;
    bool doubleTap = false;
    int column = -1;      // header and divider: the column index
    bool inside = false;  // header: the pen is still on that column
    int startWidth = 0;   // divider: the column's width at pen-down
    ScrollTracking scroll;
};

// Where everything is for the current size, mode, fonts and image lists.
struct Layout {
    DWORD mode = LVS_ICON;
    RECT client = {0, 0, 0, 0};
    RECT area = {0, 0, 0, 0};  // where items show (below the header, beside the bars)
    int headerHeight = 0;
    int textHeight = 0;
    int rowHeight = 0;   // report, list and small-icon rows
    int cellWidth = 0;   // list, icon and small-icon cells
    int cellHeight = 0;
    int perLine = 1;     // icon modes: items per row; list: items per column
    int contentWidth = 0;  // report: all columns
    SIZE small = {0, 0};   // image sizes (0 without a list)
    SIZE large = {0, 0};
    SIZE state = {0, 0};
    InnerScrollBar vbar;
    InnerScrollBar hbar;
};

struct ListView {
    HWND hwnd = nullptr;
    bool dead = false;
    std::vector<Item> items;
    std::vector<Column> columns;
    std::vector<int> order;  // display position -> column
    HIMAGELIST images[3] = {nullptr, nullptr, nullptr};
    HFONT font = nullptr;
    DWORD exStyle = 0;
    UINT callbackMask = 0;
    COLORREF bkColor = 0;
    COLORREF textColor = 0;
    COLORREF textBkColor = 0;
    int focused = -1;  // the item with LVIS_FOCUSED
    int mark = -1;     // selection mark (start of shift ranges)
    int top = 0;       // first row shown (report, icon modes) or first column (list)
    int xOffset = 0;   // report: pixels scrolled to the left
    int listWidth = 0;  // list and small icon: column width the program set (0: widest item)
    int widest = -1;    // cached widest label, -1 when unknown
    int spacingX = 0;   // icon spacing the program set (0: the system's)
    int spacingY = 0;
    bool hasFocus = false;
    DWORD lastMode = 0xFFFFFFFFu;
    std::u16string typed;  // type-ahead search
    DWORD typedAt = 0;
    PenState pen;

    DWORD Style() const { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
    DWORD Mode() const { return Style() & LVS_TYPEMASK; }
    int Count() const { return static_cast<int>(items.size()); }
    bool Valid(int i) const { return i >= 0 && i < Count(); }
};

// Timers of the control (far from the ids programs use).
constexpr UINT_PTR kHoldTimer = 0xFE01;
constexpr UINT_PTR kScrollTimer = 0xFE02;
constexpr UINT kScrollDelay = 300;
constexpr UINT kScrollRate = 80;

// Inner spacing: between icon and label, inside labels, inside sub-item
// columns and header buttons.
constexpr int kLabelPad = 2;
constexpr int kSubItemPad = 6;
constexpr int kHeaderPad = 6;
// A pen within this many pixels of a column's right edge in the header drags
// the column's width.
constexpr int kDividerSlop = 3;

// ---- list_view.cpp ----
std::u16string ItemText(ListView& lv, int item, int subItem);
int ItemImage(ListView& lv, int item);
// Changes state bits of one item with LVN_ITEMCHANGING (which may refuse)
// and LVN_ITEMCHANGED; keeps focus unique and LVS_SINGLESEL single.
bool SetItemState(ListView& lv, int item, UINT state, UINT mask);
// Focuses and selects `item` alone (-1: only clears the selection).
void SelectOnly(ListView& lv, int item);
// Selects the range from the mark to `item` and focuses `item`.
void SelectRange(ListView& lv, int item);
void Invalidate(ListView& lv);
// Sends an NMITEMACTIVATE notification (NM_CLICK and friends).
LRESULT NotifyActivate(ListView& lv, UINT code, int item, int subItem, POINT pt);
LRESULT NotifyListView(ListView& lv, UINT code, int item, int subItem, POINT pt);

// ---- list_view_paint.cpp ----
Layout ComputeLayout(ListView& lv);
int TextWidth(ListView& lv, const std::u16string& text);
int ColumnLeft(const ListView& lv, int position);  // content x of a display position
int PositionOf(const ListView& lv, int column);
RECT ItemRect(ListView& lv, const Layout& l, int item, int code);
RECT SubItemRect(ListView& lv, const Layout& l, int item, int column, int code);
LVHITTESTINFO HitTest(ListView& lv, const Layout& l, POINT p, bool subItems);
// Scrolls so that the item shows; returns whether anything moved.
bool EnsureVisible(ListView& lv, int item, bool partialOk);
int TopIndex(ListView& lv, const Layout& l);
int CountPerPage(ListView& lv, const Layout& l);
void Paint(ListView& lv, HDC dc);
// The position a scroll bar or LVM_SCROLL sets: rows, columns or pixels.
void ScrollTo(ListView& lv, bool vertical, int pos);
int AutoWidth(ListView& lv, int column, bool useHeader);
// The item that lies one step in a direction (LVNI_ABOVE...), or -1.
int Neighbour(ListView& lv, const Layout& l, int item, UINT direction);

// ---- list_view_input.cpp ----
void OnPenDown(ListView& lv, POINT p, bool doubleTap);
void OnPenMove(ListView& lv, POINT p);
void OnPenUp(ListView& lv, POINT p);
void OnTimer(ListView& lv, UINT_PTR id);
void CancelPen(ListView& lv);
void OnKeyDown(ListView& lv, UINT vk);
void OnChar(ListView& lv, WCHAR c);

}  // namespace commctl::listview
