// The list view's geometry and painting. Every position is derived from one
// Layout computed from the client size, the mode, the font and the image
// lists: report rows under a header of push buttons, list-mode columns
// filled top to bottom, icon and small-icon cells filled left to right. The
// same rectangles serve painting, hit testing and LVM_GETITEMRECT, so what
// the pen hits is what is drawn there.
#include <algorithm>

#include "controls/list_view.h"

namespace commctl::listview {

namespace {

SIZE ImageSize(HIMAGELIST list) {
    SIZE s = {0, 0};
    int cx = 0, cy = 0;
    if (list && ImageList_GetIconSize(list, &cx, &cy)) s = SIZE{cx, cy};
    return s;
}

HFONT FontOf(const ListView& lv) {
    return lv.font ? lv.font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

int DivUp(int a, int b) { return b > 0 ? (a + b - 1) / b : 0; }

// The widest label of all items, measured once until something changes.
int WidestLabel(ListView& lv) {
    if (lv.widest >= 0) return lv.widest;
    MeasureDC m(FontOf(lv));
    int widest = 0;
    for (int i = 0; i < lv.Count() && !lv.dead; ++i) widest = std::max(widest, m.TextWidth(ItemText(lv, i, 0)));
    if (!lv.dead) lv.widest = widest;
    return widest;
}

// The parts of a row-shaped item (report column 0, list, small icon) from
// its left edge: indent, state image, small image, label.
struct RowParts {
    RECT state, icon, label;
};

RowParts PartsOf(ListView& lv, const Layout& l, int item, RECT cell, int labelRight) {
    RowParts p;
    int x = cell.left + (l.mode == LVS_REPORT ? lv.items[static_cast<size_t>(item)].indent * l.small.cx : 0);
    p.state = RECT{x, cell.top, x + l.state.cx, cell.bottom};
    x += l.state.cx;
    p.icon = RECT{x, cell.top, x + l.small.cx, cell.bottom};
    x += l.small.cx;
    p.label = RECT{x, cell.top, std::max(x, labelRight), cell.bottom};
    return p;
}

// The cell of item i in the list and icon modes (client coordinates).
RECT CellOf(const ListView& lv, const Layout& l, int i) {
    int col, row, h;
    if (l.mode == LVS_LIST) {
        col = i / l.perLine - lv.top;
        row = i % l.perLine;
        h = l.rowHeight;
    } else {
        row = i / l.perLine - lv.top;
        col = i % l.perLine;
        h = l.mode == LVS_ICON ? l.cellHeight : l.rowHeight;
    }
    int x = l.area.left + col * l.cellWidth, y = l.area.top + row * h;
    return RECT{x, y, x + l.cellWidth, y + h};
}

// Report: the row of item i across all columns.
RECT RowOf(const ListView& lv, const Layout& l, int i) {
    int y = l.area.top + (i - lv.top) * l.rowHeight;
    return RECT{l.area.left - lv.xOffset, y, l.area.left - lv.xOffset + l.contentWidth, y + l.rowHeight};
}

RECT ColumnRect(const ListView& lv, const Layout& l, int column, RECT row) {
    int left = l.area.left - lv.xOffset + ColumnLeft(lv, PositionOf(lv, column));
    return RECT{left, row.top, left + lv.columns[static_cast<size_t>(column)].width, row.bottom};
}

// Icon mode: the picture centred at the top of the cell, the label (up to
// two lines) under it.
struct IconParts {
    RECT icon, label;
};

IconParts IconPartsOf(ListView& lv, const Layout& l, int i) {
    RECT cell = CellOf(lv, l, i);
    SIZE img = l.large.cx > 0 ? l.large : SIZE{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
    IconParts p;
    int x = cell.left + (l.cellWidth - img.cx) / 2;
    p.icon = RECT{x, cell.top + 2, x + img.cx, cell.top + 2 + img.cy};
    int room = std::max(1, l.cellWidth - 2 * kLabelPad);
    int w = std::min(room, TextWidth(lv, ItemText(lv, i, 0)) + 2 * kLabelPad);
    int lines = TextWidth(lv, ItemText(lv, i, 0)) + 2 * kLabelPad > room ? 2 : 1;
    int lx = cell.left + (l.cellWidth - w) / 2;
    p.label = RECT{lx, p.icon.bottom + 2, lx + w, p.icon.bottom + 2 + lines * l.textHeight};
    return p;
}

COLORREF Sys(int index) { return GetSysColor(index); }

void Fill(HDC dc, const RECT& r, COLORREF c) {
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

UINT AlignOf(int fmt) {
    switch (fmt & LVCFMT_JUSTIFYMASK) {
        case LVCFMT_RIGHT: return DT_RIGHT;
        case LVCFMT_CENTER: return DT_CENTER;
        default: return DT_LEFT;
    }
}

void DrawLabel(HDC dc, const std::u16string& text, RECT r, UINT format, COLORREF color) {
    if (text.empty() || r.right <= r.left) return;
    SetTextColor(dc, color);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
              format | DT_NOPREFIX | DT_END_ELLIPSIS);
}

struct Colors {
    bool show = false;   // the item shows as selected
    COLORREF back = 0;
    COLORREF text = 0;
    COLORREF normalText = 0;
};

Colors ColorsOf(const ListView& lv, const Item& item) {
    Colors c;
    bool enabled = IsWindowEnabled(lv.hwnd) != FALSE;
    c.normalText = enabled ? lv.textColor : Sys(COLOR_GRAYTEXT);
    c.show = (item.state & LVIS_SELECTED) && (lv.hasFocus || (lv.Style() & LVS_SHOWSELALWAYS));
    c.back = lv.hasFocus ? Sys(COLOR_HIGHLIGHT) : Sys(COLOR_BTNFACE);
    c.text = c.show ? (lv.hasFocus ? Sys(COLOR_HIGHLIGHTTEXT) : Sys(COLOR_BTNTEXT)) : c.normalText;
    return c;
}

UINT ImageStyle(const Item& item, bool blend) {
    UINT style = ILD_TRANSPARENT | (item.state & LVIS_OVERLAYMASK);
    if (blend) style |= ILD_SELECTED;
    return style;
}

void DrawStateImage(ListView& lv, HDC dc, const Item& item, const RECT& r, const Layout& l) {
    int index = static_cast<int>((item.state & LVIS_STATEIMAGEMASK) >> 12);
    if (!lv.images[LVSIL_STATE] || index == 0) return;
    ImageList_Draw(lv.images[LVSIL_STATE], index - 1, dc, r.left, r.top + (l.rowHeight - l.state.cy) / 2,
                   ILD_TRANSPARENT);
}

// One row-shaped item: report column 0 or a list / small-icon cell.
void PaintRowItem(ListView& lv, HDC dc, const Layout& l, int i, RECT cell, int labelRight, bool fullRow) {
    RowParts p = PartsOf(lv, l, i, cell, labelRight);
    Item item = lv.items[static_cast<size_t>(i)];
    Colors c = ColorsOf(lv, item);
    DrawStateImage(lv, dc, item, p.state, l);
    if (lv.images[LVSIL_SMALL]) {
        int image = ItemImage(lv, i);
        if (lv.dead) return;
        if (image >= 0)
            ImageList_Draw(lv.images[LVSIL_SMALL], image, dc, p.icon.left,
                           p.icon.top + (l.rowHeight - l.small.cy) / 2,
                           ImageStyle(item, c.show && lv.hasFocus && !fullRow));
    }
    std::u16string text = ItemText(lv, i, 0);
    if (lv.dead) return;
    RECT label = p.label;
    if (c.show && !fullRow) {
        RECT back = label;
        back.right = std::min<LONG>(label.right, label.left + TextWidth(lv, text) + 2 * kLabelPad);
        Fill(dc, back, c.back);
    }
    label.left += kLabelPad;
    label.right -= kLabelPad;
    DrawLabel(dc, text, label, DT_LEFT | DT_SINGLELINE | DT_VCENTER, c.text);
}

void PaintReport(ListView& lv, HDC dc, const Layout& l) {
    bool fullRow = (lv.exStyle & LVS_EX_FULLROWSELECT) != 0;
    int rows = DivUp(l.area.bottom - l.area.top, l.rowHeight);
    // A copy: a callback asked for text may change the columns.
    const std::vector<int> order = lv.order;
    for (int i = lv.top; i < lv.top + rows && i < lv.Count() && !lv.dead; ++i) {
        RECT row = RowOf(lv, l, i);
        Colors c = ColorsOf(lv, lv.items[static_cast<size_t>(i)]);
        if (c.show && fullRow) Fill(dc, row, c.back);
        for (int column : order) {
            if (lv.dead || !lv.Valid(i)) return;
            if (column >= static_cast<int>(lv.columns.size())) continue;
            RECT cr = ColumnRect(lv, l, column, row);
            if (cr.right <= l.area.left || cr.left >= l.area.right || cr.right <= cr.left) continue;
            if (column == 0) {
                PaintRowItem(lv, dc, l, i, cr, cr.right, fullRow);
                continue;
            }
            std::u16string text = ItemText(lv, i, column);
            if (lv.dead) return;
            RECT tr = {cr.left + kSubItemPad, cr.top, cr.right - kSubItemPad, cr.bottom};
            DrawLabel(dc, text, tr, AlignOf(lv.columns[static_cast<size_t>(column)].fmt) | DT_SINGLELINE | DT_VCENTER,
                      c.show && fullRow ? c.text : c.normalText);
        }
    }
    if (lv.dead || !(lv.exStyle & LVS_EX_GRIDLINES)) return;
    // Grid lines run through the whole area, under the items and below them.
    COLORREF grid = Sys(COLOR_BTNFACE);
    for (int r = 1; r <= rows; ++r) {
        int y = l.area.top + r * l.rowHeight - 1;
        Fill(dc, RECT{l.area.left, y, l.area.right, y + 1}, grid);
    }
    int x = l.area.left - lv.xOffset;
    for (int column : lv.order) {
        if (column >= static_cast<int>(lv.columns.size())) continue;
        x += lv.columns[static_cast<size_t>(column)].width;
        Fill(dc, RECT{x - 1, l.area.top, x, l.area.bottom}, grid);
    }
}

void PaintHeader(ListView& lv, HDC dc, const Layout& l) {
    RECT band = {l.area.left, 0, l.area.right, l.headerHeight};
    int saved = SaveDC(dc);
    IntersectClipRect(dc, band.left, band.top, band.right, band.bottom);
    SetBkMode(dc, TRANSPARENT);
    int x = l.area.left - lv.xOffset;
    bool pressable = !(lv.Style() & LVS_NOSORTHEADER);
    for (int column : lv.order) {
        const Column& c = lv.columns[static_cast<size_t>(column)];
        RECT r = {x, 0, x + c.width, l.headerHeight};
        x += c.width;
        if (c.width <= 0) continue;
        bool pushed = pressable && lv.pen.track == PenTrack::Header && lv.pen.column == column && lv.pen.inside;
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
        RECT t = {r.left + kHeaderPad, r.top, r.right - kHeaderPad, r.bottom};
        if (pushed) OffsetRect(&t, 1, 1);
        DrawLabel(dc, c.text, t, (column == 0 ? DT_LEFT : AlignOf(c.fmt)) | DT_SINGLELINE | DT_VCENTER,
                  Sys(COLOR_BTNTEXT));
    }
    if (x < band.right) {
        RECT rest = {x, 0, band.right, l.headerHeight};
        DrawFrameControl(dc, &rest, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    RestoreDC(dc, saved);
}

void PaintCells(ListView& lv, HDC dc, const Layout& l) {
    int first, last;
    if (l.mode == LVS_LIST) {
        first = lv.top * l.perLine;
        last = first + l.perLine * (DivUp(l.area.right - l.area.left, l.cellWidth) + 1);
    } else {
        int h = l.mode == LVS_ICON ? l.cellHeight : l.rowHeight;
        first = lv.top * l.perLine;
        last = first + l.perLine * (DivUp(l.area.bottom - l.area.top, h) + 1);
    }
    for (int i = first; i < last && i < lv.Count() && !lv.dead; ++i) {
        RECT cell = CellOf(lv, l, i);
        if (l.mode != LVS_ICON) {
            PaintRowItem(lv, dc, l, i, cell, cell.right, false);
            continue;
        }
        IconParts p = IconPartsOf(lv, l, i);
        if (lv.dead || !lv.Valid(i)) return;
        Item item = lv.items[static_cast<size_t>(i)];
        Colors c = ColorsOf(lv, item);
        if (lv.images[LVSIL_NORMAL]) {
            int image = ItemImage(lv, i);
            if (lv.dead) return;
            if (image >= 0)
                ImageList_Draw(lv.images[LVSIL_NORMAL], image, dc, p.icon.left, p.icon.top,
                               ImageStyle(item, c.show && lv.hasFocus));
        }
        std::u16string text = ItemText(lv, i, 0);
        if (lv.dead) return;
        if (c.show) Fill(dc, p.label, c.back);
        RECT t = {p.label.left + kLabelPad, p.label.top, p.label.right - kLabelPad, p.label.bottom};
        DrawLabel(dc, text, t, DT_CENTER | DT_WORDBREAK, c.text);
    }
}

}  // namespace

int TextWidth(ListView& lv, const std::u16string& text) {
    MeasureDC m(FontOf(lv));
    return m.TextWidth(text);
}

int ColumnLeft(const ListView& lv, int position) {
    int x = 0;
    for (int k = 0; k < position && k < static_cast<int>(lv.order.size()); ++k)
        x += lv.columns[static_cast<size_t>(lv.order[static_cast<size_t>(k)])].width;
    return x;
}

int PositionOf(const ListView& lv, int column) {
    auto it = std::find(lv.order.begin(), lv.order.end(), column);
    return it == lv.order.end() ? 0 : static_cast<int>(it - lv.order.begin());
}

Layout ComputeLayout(ListView& lv) {
    Layout l;
    l.mode = lv.Mode();
    if (l.mode != lv.lastMode) {
        // A new mode starts at its beginning.
        lv.lastMode = l.mode;
        lv.top = 0;
        lv.xOffset = 0;
    }
    GetClientRect(lv.hwnd, &l.client);
    DWORD style = lv.Style();
    {
        MeasureDC m(FontOf(lv));
        l.textHeight = m.TextHeight();
    }
    l.small = ImageSize(lv.images[LVSIL_SMALL]);
    l.large = ImageSize(lv.images[LVSIL_NORMAL]);
    l.state = ImageSize(lv.images[LVSIL_STATE]);
    l.rowHeight = std::max({l.textHeight + 2, static_cast<int>(l.small.cy) + 1, static_cast<int>(l.state.cy) + 1});
    bool scroll = !(style & LVS_NOSCROLL);
    int sb = ScrollBarSize();
    int w = l.client.right, h = l.client.bottom;
    int n = lv.Count();
    bool needV = false, needH = false;
    l.vbar.vertical = true;
    l.hbar.vertical = false;
    switch (l.mode) {
        case LVS_REPORT: {
            l.headerHeight = (style & LVS_NOCOLUMNHEADER) ? 0 : l.textHeight + 6;
            for (const Column& c : lv.columns) l.contentWidth += c.width;
            for (int pass = 0; pass < 2; ++pass) {
                needV = scroll && n * l.rowHeight > h - l.headerHeight - (needH ? sb : 0);
                needH = scroll && l.contentWidth > w - (needV ? sb : 0);
            }
            l.area = RECT{0, std::min(l.headerHeight, h), std::max(0, w - (needV ? sb : 0)),
                          std::max(0, h - (needH ? sb : 0))};
            l.vbar.range = n;
            l.vbar.page = std::max(1, static_cast<int>(l.area.bottom - l.area.top) / l.rowHeight);
            l.hbar.range = l.contentWidth;
            l.hbar.page = std::max(1, static_cast<int>(l.area.right - l.area.left));
            int maxTop = std::max(0, n - l.vbar.page);
            lv.top = std::clamp(lv.top, 0, maxTop);
            lv.xOffset = std::clamp(lv.xOffset, 0, std::max(0, l.contentWidth - l.hbar.page));
            l.vbar.pos = lv.top;
            l.hbar.pos = lv.xOffset;
            break;
        }
        case LVS_LIST: {
            l.cellWidth = lv.listWidth > 0 ? lv.listWidth
                                           : l.state.cx + l.small.cx + WidestLabel(lv) + 3 * kLabelPad + 4;
            l.cellWidth = std::max(l.cellWidth, 8);
            for (int pass = 0; pass < 2; ++pass) {
                l.perLine = std::max(1, (h - (needH ? sb : 0)) / l.rowHeight);
                needH = scroll && DivUp(n, l.perLine) * l.cellWidth > w;
            }
            l.perLine = std::max(1, (h - (needH ? sb : 0)) / l.rowHeight);
            l.area = RECT{0, 0, w, std::max(0, h - (needH ? sb : 0))};
            l.hbar.range = DivUp(n, l.perLine);
            l.hbar.page = std::max(1, w / l.cellWidth);
            lv.top = std::clamp(lv.top, 0, std::max(0, l.hbar.range - l.hbar.page));
            l.hbar.pos = lv.top;
            break;
        }
        default: {
            bool icons = l.mode == LVS_ICON;
            if (icons) {
                l.cellWidth = lv.spacingX > 0 ? lv.spacingX : GetSystemMetrics(SM_CXICONSPACING);
                l.cellHeight = lv.spacingY > 0 ? lv.spacingY : GetSystemMetrics(SM_CYICONSPACING);
            } else {
                l.cellWidth = lv.listWidth > 0 ? lv.listWidth
                                               : l.state.cx + l.small.cx + WidestLabel(lv) + 3 * kLabelPad + 4;
                l.cellWidth = std::max(l.cellWidth, 8);
                l.cellHeight = l.rowHeight;
            }
            for (int pass = 0; pass < 2; ++pass) {
                l.perLine = std::max(1, (w - (needV ? sb : 0)) / l.cellWidth);
                needV = scroll && DivUp(n, l.perLine) * l.cellHeight > h;
            }
            l.perLine = std::max(1, (w - (needV ? sb : 0)) / l.cellWidth);
            l.area = RECT{0, 0, std::max(0, w - (needV ? sb : 0)), h};
            l.vbar.range = DivUp(n, l.perLine);
            l.vbar.page = std::max(1, h / l.cellHeight);
            lv.top = std::clamp(lv.top, 0, std::max(0, l.vbar.range - l.vbar.page));
            l.vbar.pos = lv.top;
            break;
        }
    }
    if (needV) l.vbar.rect = RECT{l.area.right, 0, w, l.area.bottom};
    if (needH) l.hbar.rect = RECT{0, l.area.bottom, l.area.right, h};
    return l;
}

RECT ItemRect(ListView& lv, const Layout& l, int item, int code) {
    if (l.mode == LVS_REPORT) {
        RECT row = RowOf(lv, l, item);
        if (code == LVIR_BOUNDS) return row;
        RECT col0 = lv.columns.empty() ? RECT{row.left, row.top, row.left, row.bottom}
                                       : ColumnRect(lv, l, 0, row);
        RowParts p = PartsOf(lv, l, item, col0, col0.right);
        switch (code) {
            case LVIR_ICON: return p.icon;
            case LVIR_LABEL: return p.label;
            default: {
                if (lv.exStyle & LVS_EX_FULLROWSELECT) return row;
                RECT r;
                UnionRect(&r, &p.icon, &p.label);
                return r;
            }
        }
    }
    if (l.mode == LVS_ICON) {
        IconParts p = IconPartsOf(lv, l, item);
        RECT cell = CellOf(lv, l, item);
        switch (code) {
            case LVIR_ICON: return p.icon;
            case LVIR_LABEL: return p.label;
            case LVIR_SELECTBOUNDS: {
                RECT r;
                UnionRect(&r, &p.icon, &p.label);
                return r;
            }
            default: return RECT{cell.left, cell.top, cell.right, std::max(p.label.bottom, p.icon.bottom)};
        }
    }
    RECT cell = CellOf(lv, l, item);
    RowParts p = PartsOf(lv, l, item, cell, cell.right);
    // The label reaches as far as its text (the rest of the cell is empty).
    p.label.right = std::min<LONG>(cell.right, p.label.left + TextWidth(lv, ItemText(lv, item, 0)) + 2 * kLabelPad);
    switch (code) {
        case LVIR_ICON: return p.icon;
        case LVIR_LABEL: return p.label;
        default: return RECT{p.state.left, cell.top, p.label.right, cell.bottom};
    }
}

RECT SubItemRect(ListView& lv, const Layout& l, int item, int column, int code) {
    if (column == 0 || l.mode != LVS_REPORT) {
        // Sub-item 0 is the whole row for the bounds, as on the desktop.
        return ItemRect(lv, l, item, code == LVIR_BOUNDS ? LVIR_BOUNDS : code);
    }
    RECT cr = ColumnRect(lv, l, column, RowOf(lv, l, item));
    if (code == LVIR_ICON) cr.right = cr.left;
    return cr;
}

LVHITTESTINFO HitTest(ListView& lv, const Layout& l, POINT p, bool subItems) {
    LVHITTESTINFO r = {p, 0, -1, 0};
    if (p.x < l.client.left) r.flags |= LVHT_TOLEFT;
    if (p.x >= l.client.right) r.flags |= LVHT_TORIGHT;
    if (p.y < l.client.top) r.flags |= LVHT_ABOVE;
    if (p.y >= l.client.bottom) r.flags |= LVHT_BELOW;
    if (r.flags) return r;
    r.flags = LVHT_NOWHERE;
    if (!PtInRect(&l.area, p)) return r;
    int item = -1;
    if (l.mode == LVS_REPORT) {
        item = (p.y - l.area.top) / l.rowHeight + lv.top;
        if (!lv.Valid(item)) return r;
        int x = p.x - l.area.left + lv.xOffset, left = 0, column = -1;
        for (int c : lv.order) {
            int width = lv.columns[static_cast<size_t>(c)].width;
            if (x >= left && x < left + width) {
                column = c;
                break;
            }
            left += width;
        }
        if (column < 0) {
            // Right of the last column (or no columns at all).
            if (!lv.columns.empty()) return r;
            column = 0;
        }
        if (column > 0) {
            if (subItems) {
                r.flags = LVHT_ONITEMLABEL;
                r.iItem = item;
                r.iSubItem = column;
            } else if (lv.exStyle & LVS_EX_FULLROWSELECT) {
                r.flags = LVHT_ONITEM;
                r.iItem = item;
            }
            return r;
        }
        RECT row = RowOf(lv, l, item);
        RECT col0 = lv.columns.empty() ? RECT{row.left, row.top, row.left, row.bottom} : ColumnRect(lv, l, 0, row);
        RowParts parts = PartsOf(lv, l, item, col0, col0.right);
        if (PtInRect(&parts.state, p)) r.flags = LVHT_ONITEMSTATEICON;
        else if (PtInRect(&parts.icon, p)) r.flags = LVHT_ONITEMICON;
        else if (PtInRect(&parts.label, p)) r.flags = LVHT_ONITEMLABEL;
        else if (lv.exStyle & LVS_EX_FULLROWSELECT) r.flags = LVHT_ONITEM;
        else return r;
        r.iItem = item;
        return r;
    }
    if (l.mode == LVS_LIST) {
        int col = (p.x - l.area.left) / l.cellWidth + lv.top, row = (p.y - l.area.top) / l.rowHeight;
        if (row >= l.perLine) return r;
        item = col * l.perLine + row;
    } else {
        int h = l.mode == LVS_ICON ? l.cellHeight : l.rowHeight;
        int row = (p.y - l.area.top) / h + lv.top, col = (p.x - l.area.left) / l.cellWidth;
        if (col >= l.perLine) return r;
        item = row * l.perLine + col;
    }
    if (!lv.Valid(item)) return r;
    RECT icon = ItemRect(lv, l, item, LVIR_ICON), label = ItemRect(lv, l, item, LVIR_LABEL);
    RECT state = {0, 0, 0, 0};
    if (l.mode != LVS_ICON) {
        RECT cell = CellOf(lv, l, item);
        state = PartsOf(lv, l, item, cell, cell.right).state;
    }
    if (PtInRect(&state, p)) r.flags = LVHT_ONITEMSTATEICON;
    else if (PtInRect(&icon, p)) r.flags = LVHT_ONITEMICON;
    else if (PtInRect(&label, p)) r.flags = LVHT_ONITEMLABEL;
    else return r;
    r.iItem = item;
    return r;
}

void ScrollTo(ListView& lv, bool vertical, int pos) {
    Layout l = ComputeLayout(lv);
    int oldTop = lv.top, oldX = lv.xOffset;
    if (l.mode == LVS_REPORT) {
        if (vertical) lv.top = std::clamp(pos, 0, l.vbar.MaxPos());
        else lv.xOffset = std::clamp(pos, 0, l.hbar.MaxPos());
    } else if (l.mode == LVS_LIST) {
        if (!vertical) lv.top = std::clamp(pos, 0, l.hbar.MaxPos());
    } else if (vertical) {
        lv.top = std::clamp(pos, 0, l.vbar.MaxPos());
    }
    if (lv.top != oldTop || lv.xOffset != oldX) Invalidate(lv);
}

bool EnsureVisible(ListView& lv, int item, bool partialOk) {
    Layout l = ComputeLayout(lv);
    int oldTop = lv.top, oldX = lv.xOffset;
    if (l.mode == LVS_REPORT) {
        int rows = l.vbar.page;
        if (item < lv.top) lv.top = item;
        else if (item >= lv.top + rows) {
            // A partly shown last row is enough when the caller allows it.
            bool partial = partialOk && (item - lv.top) * l.rowHeight < l.area.bottom - l.area.top;
            if (!partial) lv.top = item - rows + 1;
        }
        lv.top = std::clamp(lv.top, 0, l.vbar.MaxPos());
    } else if (l.mode == LVS_LIST) {
        int col = item / l.perLine, cols = l.hbar.page;
        if (col < lv.top) lv.top = col;
        else if (col >= lv.top + cols) lv.top = col - cols + 1;
        lv.top = std::clamp(lv.top, 0, std::max(0, l.hbar.range - l.hbar.page));
    } else {
        int row = item / l.perLine, rows = l.vbar.page;
        if (row < lv.top) lv.top = row;
        else if (row >= lv.top + rows) lv.top = row - rows + 1;
        lv.top = std::clamp(lv.top, 0, std::max(0, l.vbar.range - l.vbar.page));
    }
    // Details keep their sideways scroll: the row is there whatever the column.
    bool moved = lv.top != oldTop || lv.xOffset != oldX;
    if (moved) Invalidate(lv);
    return moved;
}

int TopIndex(ListView& lv, const Layout& l) {
    if (l.mode == LVS_REPORT) return lv.Count() ? lv.top : 0;
    if (l.mode == LVS_LIST) return lv.Count() ? std::min(lv.top * l.perLine, lv.Count() - 1) : 0;
    return 0;
}

int CountPerPage(ListView& lv, const Layout& l) {
    if (l.mode == LVS_REPORT) return (l.area.bottom - l.area.top) / l.rowHeight;
    if (l.mode == LVS_LIST)
        return l.perLine * std::max(1, static_cast<int>(l.area.right - l.area.left) / l.cellWidth);
    return lv.Count();
}

int AutoWidth(ListView& lv, int column, bool useHeader) {
    MeasureDC m(FontOf(lv));
    int widest = 0;
    for (int i = 0; i < lv.Count() && !lv.dead; ++i) widest = std::max(widest, m.TextWidth(ItemText(lv, i, column)));
    if (column == 0) {
        widest += ImageSize(lv.images[LVSIL_SMALL]).cx + ImageSize(lv.images[LVSIL_STATE]).cx + 2 * kLabelPad;
        int indent = 0;
        for (const Item& item : lv.items) indent = std::max(indent, item.indent);
        widest += indent * ImageSize(lv.images[LVSIL_SMALL]).cx;
    } else {
        widest += 2 * kSubItemPad;
    }
    if (useHeader && column >= 0 && column < static_cast<int>(lv.columns.size()))
        widest = std::max(widest, m.TextWidth(lv.columns[static_cast<size_t>(column)].text) + 2 * kHeaderPad);
    return widest;
}

int Neighbour(ListView& lv, const Layout& l, int item, UINT direction) {
    int n = lv.Count(), next = -1;
    if (!lv.Valid(item)) return -1;
    switch (l.mode) {
        case LVS_REPORT:
            if (direction & LVNI_ABOVE) next = item - 1;
            else if (direction & LVNI_BELOW) next = item + 1;
            break;
        case LVS_LIST:
            if (direction & LVNI_ABOVE) next = item % l.perLine ? item - 1 : -1;
            else if (direction & LVNI_BELOW) next = (item + 1) % l.perLine ? item + 1 : -1;
            else if (direction & LVNI_TOLEFT) next = item - l.perLine;
            else if (direction & LVNI_TORIGHT) next = item + l.perLine;
            break;
        default:
            if (direction & LVNI_ABOVE) next = item - l.perLine;
            else if (direction & LVNI_BELOW) next = item + l.perLine;
            else if (direction & LVNI_TOLEFT) next = item % l.perLine ? item - 1 : -1;
            else if (direction & LVNI_TORIGHT) next = (item + 1) % l.perLine ? item + 1 : -1;
            break;
    }
    return next >= 0 && next < n ? next : -1;
}

void Paint(ListView& lv, HDC dc) {
    Layout l = ComputeLayout(lv);
    HGDIOBJ oldFont = SelectObject(dc, FontOf(lv));
    SetBkMode(dc, TRANSPARENT);
    if (lv.bkColor != CLR_NONE) Fill(dc, l.area, lv.bkColor);
    int saved = SaveDC(dc);
    IntersectClipRect(dc, l.area.left, l.area.top, l.area.right, l.area.bottom);
    if (l.mode == LVS_REPORT) PaintReport(lv, dc, l);
    else PaintCells(lv, dc, l);
    if (!lv.dead && lv.hasFocus && lv.Valid(lv.focused)) {
        RECT f = ItemRect(lv, l, lv.focused, l.mode == LVS_REPORT ? LVIR_SELECTBOUNDS : LVIR_LABEL);
        if (!IsRectEmpty(&f)) DrawFocusRect(dc, &f);
    }
    RestoreDC(dc, saved);
    if (lv.dead) return;
    if (l.mode == LVS_REPORT && l.headerHeight > 0) PaintHeader(lv, dc, l);
    bool tracking = lv.pen.track == PenTrack::Scroll;
    l.vbar.Draw(dc, tracking && lv.pen.scroll.vertical ? lv.pen.scroll.part : ScrollPart::None);
    l.hbar.Draw(dc, tracking && !lv.pen.scroll.vertical ? lv.pen.scroll.part : ScrollPart::None);
    if (l.vbar.Shown() && l.hbar.Shown())
        Fill(dc, RECT{l.area.right, l.area.bottom, l.client.right, l.client.bottom}, Sys(COLOR_BTNFACE));
    SelectObject(dc, oldFont);
}

}  // namespace commctl::listview
