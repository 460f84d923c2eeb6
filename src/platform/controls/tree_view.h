// The tree view's state, shared by tree_view.cpp (messages, items,
// expanding, selection, pen and keys) and tree_view_paint.cpp (layout, hit
// testing, painting). An HTREEITEM is the address of its node; handles are
// checked against the set of live nodes, so a stale one fails cleanly. Nodes
// being deleted are marked first, so a parent that answers TVN_DELETEITEM by
// deleting more cannot free them twice. The state lives in a shared_ptr held
// by each message handler; `dead` tells a handler that the parent destroyed
// the control inside a notification.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "controls/common_controls.h"

struct _TREEITEM {
    _TREEITEM* parent = nullptr;
    _TREEITEM* first = nullptr;  // children
    _TREEITEM* last = nullptr;
    _TREEITEM* prev = nullptr;   // siblings
    _TREEITEM* next = nullptr;
    std::u16string text;
    bool textCallback = false;
    int image = 0;
    int selectedImage = 0;
    int children = 0;  // cChildren: 0, 1 or I_CHILDRENCALLBACK
    UINT state = 0;
    LPARAM lParam = 0;
    int width = -1;  // label text width, -1 when not measured
    bool deleting = false;
};

namespace commctl::treeview {

using Node = _TREEITEM;

enum class PenTrack { None, Items, Scroll };

struct PenState {
    PenTrack track = PenTrack::None;
    POINT down = {0, 0};
    Node* item = nullptr;
    UINT flags = 0;
    bool holdPending = false;
    bool holdFired = false;
    bool moved = false;
    bool doubleTap = false;
    ScrollTracking scroll;
};

struct Row {
    Node* node;
    int level;
};

struct Layout {
    RECT client = {0, 0, 0, 0};
    RECT area = {0, 0, 0, 0};
    int textHeight = 0;
    int itemHeight = 0;
    int indent = 0;
    int rootOffset = 0;  // 1 when root items have a button column (TVS_LINESATROOT)
    SIZE image = {0, 0};
    SIZE state = {0, 0};
    int contentWidth = 0;
    InnerScrollBar vbar;
    InnerScrollBar hbar;
};

// Where the parts of one row are (client coordinates).
struct RowParts {
    RECT row;     // the whole line across the area
    RECT button;  // the button column (empty for root items without one)
    RECT state, image, label;
};

struct TreeView {
    HWND hwnd = nullptr;
    bool dead = false;
    Node root;
    std::unordered_set<Node*> nodes;
    Node* selected = nullptr;
    Node* dropHilite = nullptr;
    HIMAGELIST images[3] = {nullptr, nullptr, nullptr};  // TVSIL_NORMAL, -, TVSIL_STATE
    HFONT font = nullptr;
    HFONT boldFont = nullptr;  // made from `font` when a bold item shows
    int indent = 0;      // set by the program (0: the default)
    int itemHeight = 0;  // set by the program (0: the default)
    COLORREF bkColor = CLR_NONE;  // CLR_NONE: the system's
    COLORREF textColor = CLR_NONE;
    int top = 0;      // first visible row shown
    int xOffset = 0;  // pixels scrolled to the left
    bool hasFocus = false;
    std::vector<Row> rows;  // visible rows, rebuilt when `rowsDirty`
    bool rowsDirty = true;
    std::u16string typed;
    DWORD typedAt = 0;
    PenState pen;

    DWORD Style() const { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }
    bool Valid(const Node* n) const { return n && nodes.count(const_cast<Node*>(n)) != 0; }
};

constexpr UINT_PTR kHoldTimer = 0xFE11;
constexpr UINT_PTR kScrollTimer = 0xFE12;
constexpr UINT kScrollDelay = 300;
constexpr UINT kScrollRate = 80;
constexpr int kLabelPad = 2;
constexpr int kButtonSize = 9;

// ---- tree_view.cpp ----
std::u16string NodeText(TreeView& tv, Node* n);
int NodeImage(TreeView& tv, Node* n, bool selectedImage);
bool HasChildren(TreeView& tv, Node* n);
void Invalidate(TreeView& tv);

// ---- tree_view_paint.cpp ----
const std::vector<Row>& VisibleRows(TreeView& tv);
int RowIndex(TreeView& tv, const Node* n);  // -1 when not visible
Layout ComputeLayout(TreeView& tv);
RowParts PartsOf(TreeView& tv, const Layout& l, int rowIndex);
TVHITTESTINFO HitTest(TreeView& tv, const Layout& l, POINT p);
void ScrollTo(TreeView& tv, bool vertical, int pos);
// Scrolls so that the visible row shows; returns whether anything moved.
bool ScrollIntoView(TreeView& tv, int rowIndex);
void Paint(TreeView& tv, HDC dc);
HFONT FontOf(const TreeView& tv);

}  // namespace commctl::treeview
