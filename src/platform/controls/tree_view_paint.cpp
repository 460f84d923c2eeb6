// The tree view's geometry and painting: one row per visible item (an item
// whose ancestors are all expanded), indented by level; a button column
// (plus or minus box, TVS_HASBUTTONS) left of each item and dotted lines
// joining parents and children (TVS_HASLINES); then the state image, the
// image and the label. Painting, hit testing and TVM_GETITEMRECT share
// PartsOf, so what the pen hits is what is drawn there.
#include <algorithm>

#include "controls/tree_view.h"

namespace commctl::treeview {

namespace {

SIZE ImageSize(HIMAGELIST list) {
    SIZE s = {0, 0};
    int cx = 0, cy = 0;
    if (list && ImageList_GetIconSize(list, &cx, &cy)) s = SIZE{cx, cy};
    return s;
}

int LabelWidth(TreeView& tv, Node* n, HDC measure) {
    if (n->width >= 0) return n->width;
    std::u16string text = NodeText(tv, n);
    if (tv.dead || !tv.Valid(n)) return 0;
    SIZE size = {0, 0};
    if (!text.empty()) GetTextExtentPoint32W(measure, text.c_str(), static_cast<int>(text.size()), &size);
    // Bold labels are measured in the regular face: a little room is added.
    n->width = size.cx + ((n->state & TVIS_BOLD) ? static_cast<int>(text.size()) : 0);
    return n->width;
}

COLORREF BackColor(const TreeView& tv) {
    return tv.bkColor == CLR_NONE ? GetSysColor(COLOR_WINDOW) : tv.bkColor;
}
COLORREF TextColor(const TreeView& tv) {
    if (!IsWindowEnabled(tv.hwnd)) return GetSysColor(COLOR_GRAYTEXT);
    return tv.textColor == CLR_NONE ? GetSysColor(COLOR_WINDOWTEXT) : tv.textColor;
}

void Fill(HDC dc, const RECT& r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

// Dotted lines: every other pixel, on a grid fixed to the client area so
// the dots of neighbouring rows line up.
void DotsV(HDC dc, int x, int y0, int y1, COLORREF c) {
    for (int y = y0 + ((x + y0) & 1); y < y1; y += 2) SetPixel(dc, x, y, c);
}
void DotsH(HDC dc, int y, int x0, int x1, COLORREF c) {
    for (int x = x0 + ((x0 + y) & 1); x < x1; x += 2) SetPixel(dc, x, y, c);
}

void PaintLines(TreeView& tv, HDC dc, const Layout& l, int rowIndex, const RowParts& p) {
    const Row& row = tv.rows[static_cast<size_t>(rowIndex)];
    COLORREF c = GetSysColor(COLOR_GRAYTEXT);
    int cy = (p.row.top + p.row.bottom) / 2;
    if (!IsRectEmpty(&p.button)) {
        int cx = (p.button.left + p.button.right) / 2;
        DotsH(dc, cy, cx, p.button.right, c);
        bool firstAtRoot = row.node->parent == &tv.root && !row.node->prev;
        DotsV(dc, cx, firstAtRoot ? cy : p.row.top, row.node->next ? p.row.bottom : cy + 1, c);
    }
    // Lines of the ancestors that have more children below this row.
    int level = row.level - 1;
    for (Node* a = row.node->parent; a && a != &tv.root; a = a->parent, --level) {
        if (!a->next) continue;
        int column = level + l.rootOffset - 1;
        if (column < 0) continue;
        int cx = p.row.left + column * l.indent + l.indent / 2;
        DotsV(dc, cx, p.row.top, p.row.bottom, c);
    }
}

void PaintButton(HDC dc, const RECT& column, int cy, bool expanded, COLORREF back) {
    // A large screen draws the box and its marks twice as big, as it does
    // the icons beside it.
    const int scale = std::max(1, GetSystemMetrics(SM_CXSMICON) / 16);
    const int size = kButtonSize * scale - (scale - 1);  // odd: the marks sit in the middle
    int cx = (column.left + column.right) / 2;
    RECT box = {cx - size / 2, cy - size / 2, cx - size / 2 + size, cy - size / 2 + size};
    Fill(dc, box, back);
    for (int i = 0; i < scale; ++i) {
        RECT frame = {box.left + i, box.top + i, box.right - i, box.bottom - i};
        FrameRect(dc, &frame, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    COLORREF mark = GetSysColor(COLOR_WINDOWTEXT);
    const int inset = 2 * scale, half = scale / 2;
    Fill(dc, RECT{box.left + inset, cy - half, box.right - inset, cy - half + scale}, mark);
    if (!expanded) Fill(dc, RECT{cx - half, box.top + inset, cx - half + scale, box.bottom - inset}, mark);
}

HFONT BoldFont(TreeView& tv) {
    if (tv.boldFont) return tv.boldFont;
    LOGFONTW lf = {};
    if (!GetObjectW(FontOf(tv), sizeof(lf), &lf)) return FontOf(tv);
    lf.lfWeight = FW_BOLD;
    tv.boldFont = CreateFontIndirectW(&lf);
    return tv.boldFont ? tv.boldFont : FontOf(tv);
}

void PaintRow(TreeView& tv, HDC dc, const Layout& l, int rowIndex) {
    RowParts p = PartsOf(tv, l, rowIndex);
    Node* n = tv.rows[static_cast<size_t>(rowIndex)].node;
    DWORD style = tv.Style();
    if (style & TVS_HASLINES) PaintLines(tv, dc, l, rowIndex, p);
    if ((style & TVS_HASBUTTONS) && !IsRectEmpty(&p.button) && HasChildren(tv, n)) {
        if (tv.dead || !tv.Valid(n)) return;
        PaintButton(dc, p.button, (p.row.top + p.row.bottom) / 2, (n->state & TVIS_EXPANDED) != 0, BackColor(tv));
    }
    if (tv.dead || !tv.Valid(n)) return;
    int stateIndex = static_cast<int>((n->state & TVIS_STATEIMAGEMASK) >> 12);
    if (tv.images[TVSIL_STATE] && stateIndex > 0)
        ImageList_Draw(tv.images[TVSIL_STATE], stateIndex - 1, dc, p.state.left,
                       p.state.top + (l.itemHeight - l.state.cy) / 2, ILD_TRANSPARENT);
    bool selected = (n->state & TVIS_SELECTED) != 0;
    if (tv.images[TVSIL_NORMAL]) {
        int image = NodeImage(tv, n, selected);
        if (tv.dead || !tv.Valid(n)) return;
        if (image >= 0)
            ImageList_Draw(tv.images[TVSIL_NORMAL], image, dc, p.image.left,
                           p.image.top + (l.itemHeight - l.image.cy) / 2,
                           ILD_TRANSPARENT | (n->state & TVIS_OVERLAYMASK));
    }
    std::u16string text = NodeText(tv, n);
    if (tv.dead || !tv.Valid(n)) return;
    bool showSel = (selected && (tv.hasFocus || (style & TVS_SHOWSELALWAYS))) ||
                   ((n->state & TVIS_DROPHILITED) && n == tv.dropHilite);
    COLORREF textColor = TextColor(tv);
    if (showSel) {
        bool active = tv.hasFocus || (n->state & TVIS_DROPHILITED);
        Fill(dc, p.label, GetSysColor(active ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
        textColor = GetSysColor(active ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
    }
    if (!text.empty()) {
        HGDIOBJ old = (n->state & TVIS_BOLD) ? SelectObject(dc, BoldFont(tv)) : nullptr;
        SetTextColor(dc, textColor);
        RECT t = {p.label.left + kLabelPad, p.label.top, p.label.right, p.label.bottom};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t,
                  DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        if (old) SelectObject(dc, old);
    }
    if (selected && tv.hasFocus) DrawFocusRect(dc, &p.label);
}

void AddRows(std::vector<Row>& rows, Node* parent, int level) {
    for (Node* c = parent->first; c; c = c->next) {
        rows.push_back(Row{c, level});
        if (c->state & TVIS_EXPANDED) AddRows(rows, c, level + 1);
    }
}

}  // namespace

HFONT FontOf(const TreeView& tv) {
    return tv.font ? tv.font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

const std::vector<Row>& VisibleRows(TreeView& tv) {
    if (tv.rowsDirty) {
        tv.rows.clear();
        AddRows(tv.rows, &tv.root, 0);
        tv.rowsDirty = false;
    }
    return tv.rows;
}

int RowIndex(TreeView& tv, const Node* n) {
    const std::vector<Row>& rows = VisibleRows(tv);
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].node == n) return static_cast<int>(i);
    return -1;
}

Layout ComputeLayout(TreeView& tv) {
    Layout l;
    GetClientRect(tv.hwnd, &l.client);
    DWORD style = tv.Style();
    l.image = ImageSize(tv.images[TVSIL_NORMAL]);
    l.state = ImageSize(tv.images[TVSIL_STATE]);
    MeasureDC m(FontOf(tv));
    l.textHeight = m.TextHeight();
    l.itemHeight = tv.itemHeight > 0 ? tv.itemHeight
                                     : std::max({l.textHeight + 3, static_cast<int>(l.image.cy) + 1,
                                                 static_cast<int>(l.state.cy) + 1});
    l.indent = tv.indent > 0 ? tv.indent : std::max(19, static_cast<int>(l.image.cx) + 3);
    l.rootOffset = (style & TVS_LINESATROOT) && (style & (TVS_HASLINES | TVS_HASBUTTONS)) ? 1 : 0;
    const std::vector<Row>& rows = VisibleRows(tv);
    int n = static_cast<int>(rows.size());
    for (size_t i = 0; i < rows.size() && !tv.dead; ++i) {
        // A callback that changed the tree ends the measuring: the next layout
        // measures again.
        if (tv.rowsDirty || !tv.Valid(rows[i].node)) break;
        Node* node = rows[i].node;
        int right = (rows[i].level + l.rootOffset) * l.indent + l.state.cx + l.image.cx +
                    LabelWidth(tv, node, m.dc()) + 2 * kLabelPad;
        l.contentWidth = std::max(l.contentWidth, right);
    }
    bool scroll = !(style & TVS_NOSCROLL);
    int sb = ScrollBarSize();
    int w = l.client.right, h = l.client.bottom;
    bool needV = false, needH = false;
    for (int pass = 0; pass < 2; ++pass) {
        needV = scroll && n * l.itemHeight > h - (needH ? sb : 0);
        needH = scroll && l.contentWidth > w - (needV ? sb : 0);
    }
    l.area = RECT{0, 0, std::max(0, w - (needV ? sb : 0)), std::max(0, h - (needH ? sb : 0))};
    l.vbar.vertical = true;
    l.vbar.range = n;
    l.vbar.page = std::max(1, static_cast<int>(l.area.bottom) / l.itemHeight);
    l.hbar.vertical = false;
    l.hbar.range = l.contentWidth;
    l.hbar.page = std::max(1, static_cast<int>(l.area.right));
    tv.top = std::clamp(tv.top, 0, l.vbar.MaxPos());
    tv.xOffset = std::clamp(tv.xOffset, 0, l.hbar.MaxPos());
    l.vbar.pos = tv.top;
    l.hbar.pos = tv.xOffset;
    if (needV) l.vbar.rect = RECT{l.area.right, 0, w, l.area.bottom};
    if (needH) l.hbar.rect = RECT{0, l.area.bottom, l.area.right, h};
    return l;
}

RowParts PartsOf(TreeView& tv, const Layout& l, int rowIndex) {
    RowParts p = {};
    const Row& row = tv.rows[static_cast<size_t>(rowIndex)];
    int y = l.area.top + (rowIndex - tv.top) * l.itemHeight;
    int left = l.area.left - tv.xOffset;
    p.row = RECT{left, y, l.area.right, y + l.itemHeight};
    int column = row.level + l.rootOffset - 1;
    if (column >= 0) p.button = RECT{left + column * l.indent, y, left + (column + 1) * l.indent, y + l.itemHeight};
    int x = left + (row.level + l.rootOffset) * l.indent;
    int stateIndex = static_cast<int>((row.node->state & TVIS_STATEIMAGEMASK) >> 12);
    int stateWidth = tv.images[TVSIL_STATE] && stateIndex > 0 ? l.state.cx : 0;
    p.state = RECT{x, y, x + stateWidth, y + l.itemHeight};
    x += stateWidth;
    p.image = RECT{x, y, x + l.image.cx, y + l.itemHeight};
    x += l.image.cx;
    int width = row.node->width >= 0 ? row.node->width : 0;
    p.label = RECT{x, y, x + width + 2 * kLabelPad, y + l.itemHeight};
    return p;
}

TVHITTESTINFO HitTest(TreeView& tv, const Layout& l, POINT p) {
    TVHITTESTINFO r = {p, 0, nullptr};
    if (p.x < l.client.left) r.flags |= TVHT_TOLEFT;
    if (p.x >= l.client.right) r.flags |= TVHT_TORIGHT;
    if (p.y < l.client.top) r.flags |= TVHT_ABOVE;
    if (p.y >= l.client.bottom) r.flags |= TVHT_BELOW;
    if (r.flags) return r;
    r.flags = TVHT_NOWHERE;
    if (!PtInRect(&l.area, p)) return r;
    int index = (p.y - l.area.top) / l.itemHeight + tv.top;
    const std::vector<Row>& rows = VisibleRows(tv);
    if (index < 0 || index >= static_cast<int>(rows.size())) return r;
    RowParts parts = PartsOf(tv, l, index);
    Node* n = rows[static_cast<size_t>(index)].node;
    r.hItem = n;
    if (p.x < parts.state.left) {
        bool button = (tv.Style() & TVS_HASBUTTONS) && PtInRect(&parts.button, p) && HasChildren(tv, n);
        r.flags = button ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
    } else if (PtInRect(&parts.state, p)) {
        r.flags = TVHT_ONITEMSTATEICON;
    } else if (PtInRect(&parts.image, p)) {
        r.flags = TVHT_ONITEMICON;
    } else if (PtInRect(&parts.label, p)) {
        r.flags = TVHT_ONITEMLABEL;
    } else {
        r.flags = TVHT_ONITEMRIGHT;
    }
    if (tv.dead || !tv.Valid(n)) r = TVHITTESTINFO{p, TVHT_NOWHERE, nullptr};
    return r;
}

void ScrollTo(TreeView& tv, bool vertical, int pos) {
    Layout l = ComputeLayout(tv);
    int oldTop = tv.top, oldX = tv.xOffset;
    if (vertical) tv.top = std::clamp(pos, 0, l.vbar.MaxPos());
    else tv.xOffset = std::clamp(pos, 0, l.hbar.MaxPos());
    if (tv.top != oldTop || tv.xOffset != oldX) Invalidate(tv);
}

bool ScrollIntoView(TreeView& tv, int rowIndex) {
    Layout l = ComputeLayout(tv);
    int oldTop = tv.top;
    if (rowIndex < tv.top) tv.top = rowIndex;
    else if (rowIndex >= tv.top + l.vbar.page) tv.top = rowIndex - l.vbar.page + 1;
    tv.top = std::clamp(tv.top, 0, l.vbar.MaxPos());
    if (tv.top != oldTop) Invalidate(tv);
    return tv.top != oldTop;
}

void Paint(TreeView& tv, HDC dc) {
    Layout l = ComputeLayout(tv);
    HGDIOBJ oldFont = SelectObject(dc, FontOf(tv));
    SetBkMode(dc, TRANSPARENT);
    Fill(dc, l.area, BackColor(tv));
    int saved = SaveDC(dc);
    IntersectClipRect(dc, l.area.left, l.area.top, l.area.right, l.area.bottom);
    int shown = (l.area.bottom - l.area.top + l.itemHeight - 1) / l.itemHeight;
    for (int i = tv.top; i < tv.top + shown && !tv.dead; ++i) {
        if (tv.rowsDirty || i >= static_cast<int>(tv.rows.size())) break;
        PaintRow(tv, dc, l, i);
    }
    RestoreDC(dc, saved);
    if (tv.dead) return;
    bool tracking = tv.pen.track == PenTrack::Scroll;
    l.vbar.Draw(dc, tracking && tv.pen.scroll.vertical ? tv.pen.scroll.part : ScrollPart::None);
    l.hbar.Draw(dc, tracking && !tv.pen.scroll.vertical ? tv.pen.scroll.part : ScrollPart::None);
    if (l.vbar.Shown() && l.hbar.Shown())
        Fill(dc, RECT{l.area.right, l.area.bottom, l.client.right, l.client.bottom}, GetSysColor(COLOR_BTNFACE));
    SelectObject(dc, oldFont);
    // A callback that changed the tree while it was drawn gets a fresh picture.
    if (tv.rowsDirty) Invalidate(tv);
}

}  // namespace commctl::treeview
