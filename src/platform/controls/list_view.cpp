// The list view (WC_LISTVIEW): its window procedure, items, sub-items and
// columns, selection state with LVN_ITEMCHANGING/LVN_ITEMCHANGED, callbacks
// through LVN_GETDISPINFO, sorting, searching and the LVM_ messages that
// read geometry (computed in list_view_paint.cpp).
#include <algorithm>
#include <mutex>
#include <numeric>
#include <unordered_map>

#include "controls/list_view.h"

namespace commctl::listview {

namespace {

std::mutex& ViewLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::unordered_map<HWND, std::shared_ptr<ListView>>& Views() {
    static auto* views = new std::unordered_map<HWND, std::shared_ptr<ListView>>;
    return *views;
}

std::shared_ptr<ListView> Lookup(HWND hwnd) {
    std::lock_guard<std::mutex> guard(ViewLock());
    auto it = Views().find(hwnd);
    return it == Views().end() ? nullptr : it->second;
}

void StoreText(std::u16string& text, bool& callback, LPCWSTR source) {
    callback = source == LPSTR_TEXTCALLBACKW;
    text = callback ? std::u16string() : ReadText(source);
}

SubItem& SubItemAt(Item& item, int subItem) {
    if (item.subItems.size() < static_cast<size_t>(subItem)) item.subItems.resize(static_cast<size_t>(subItem));
    return item.subItems[static_cast<size_t>(subItem - 1)];
}

// Asks the parent for what an item keeps as a callback; `mask` names the
// fields wanted. The parent may answer in our buffer or with its own pointer.
NMLVDISPINFOW AskDispInfo(ListView& lv, int item, int subItem, UINT mask, WCHAR* buffer, int capacity) {
    NMLVDISPINFOW di = {};
    di.item.mask = mask;
    di.item.iItem = item;
    di.item.iSubItem = subItem;
    di.item.state = lv.items[static_cast<size_t>(item)].state;
    di.item.lParam = lv.items[static_cast<size_t>(item)].lParam;
    di.item.pszText = buffer;
    di.item.cchTextMax = capacity;
    di.item.iImage = I_IMAGECALLBACK;
    if (buffer && capacity > 0) buffer[0] = 0;
    SendNotify(lv.hwnd, LVN_GETDISPINFOW, &di.hdr);
    return di;
}

// Items whose sorted position depends on their text (LVS_SORTASCENDING/DESCENDING).
int SortedPosition(ListView& lv, const std::u16string& text) {
    DWORD style = lv.Style();
    bool descending = (style & LVS_SORTDESCENDING) != 0;
    int n = lv.Count();
    for (int i = 0; i < n; ++i) {
        std::u16string other = ItemText(lv, i, 0);
        if (lv.dead || i >= lv.Count()) return std::min(i, lv.Count());
        int c = lstrcmpiW(text.c_str(), other.c_str());
        if (descending ? c > 0 : c < 0) return i;
    }
    return lv.Count();
}

void ShiftIndices(ListView& lv, int from, int delta) {
    auto shift = [&](int& index) {
        if (index < 0) return;
        if (delta < 0 && index == from) index = -1;
        else if (index >= from + (delta < 0 ? 1 : 0)) index += delta;
    };
    shift(lv.focused);
    shift(lv.mark);
    shift(lv.pen.item);
}

int InsertItem(ListView& lv, const LVITEMW* in) {
    if (!in || in->iSubItem != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Item item;
    if (in->mask & LVIF_TEXT) StoreText(item.text, item.textCallback, in->pszText);
    if (in->mask & LVIF_IMAGE) item.image = in->iImage;
    if (in->mask & LVIF_PARAM) item.lParam = in->lParam;
    if (in->mask & LVIF_INDENT) item.indent = std::max(0, in->iIndent);
    UINT state = (in->mask & LVIF_STATE) ? (in->state & in->stateMask) : 0;
    item.state = state & ~static_cast<UINT>(LVIS_FOCUSED | LVIS_SELECTED);
    int at = std::clamp(in->iItem, 0, lv.Count());
    if ((lv.Style() & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) && !item.textCallback) {
        at = SortedPosition(lv, item.text);
        if (lv.dead) return -1;
    }
    lv.items.insert(lv.items.begin() + at, std::move(item));
    ShiftIndices(lv, at, 1);
    lv.widest = -1;
    // A new item's selection and focus follow the same rules as later changes,
    // without the ITEMCHANGING question (it is not there to ask about yet).
    if (state & LVIS_FOCUSED) {
        if (lv.Valid(lv.focused) && lv.focused != at) SetItemState(lv, lv.focused, 0, LVIS_FOCUSED);
        if (lv.dead || !lv.Valid(at)) return -1;
        lv.items[static_cast<size_t>(at)].state |= LVIS_FOCUSED;
        lv.focused = at;
    }
    if (state & LVIS_SELECTED) {
        if (lv.Style() & LVS_SINGLESEL)
            for (int j = 0; j < lv.Count() && !lv.dead; ++j)
                if (j != at && (lv.items[static_cast<size_t>(j)].state & LVIS_SELECTED))
                    SetItemState(lv, j, 0, LVIS_SELECTED);
        if (lv.dead || !lv.Valid(at)) return -1;
        lv.items[static_cast<size_t>(at)].state |= LVIS_SELECTED;
    }
    NotifyListView(lv, LVN_INSERTITEM, at, 0, POINT{0, 0});
    Invalidate(lv);
    return at;
}

bool SetItem(ListView& lv, const LVITEMW* in) {
    if (!in || !lv.Valid(in->iItem) || in->iSubItem < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int i = in->iItem;
    if (in->iSubItem > 0) {
        SubItem& s = SubItemAt(lv.items[static_cast<size_t>(i)], in->iSubItem);
        if (in->mask & LVIF_TEXT) StoreText(s.text, s.callback, in->pszText);
        if (in->mask & LVIF_IMAGE) s.image = in->iImage;
        Invalidate(lv);
        return true;
    }
    // Text, image, parameter and indent change together, announced once.
    Item& item = lv.items[static_cast<size_t>(i)];
    UINT changed = 0;
    if ((in->mask & LVIF_TEXT) &&
        ((in->pszText == LPSTR_TEXTCALLBACKW) != item.textCallback ||
         (!item.textCallback && ReadText(in->pszText) != item.text)))
        changed |= LVIF_TEXT;
    if ((in->mask & LVIF_IMAGE) && in->iImage != item.image) changed |= LVIF_IMAGE;
    if ((in->mask & LVIF_PARAM) && in->lParam != item.lParam) changed |= LVIF_PARAM;
    if ((in->mask & LVIF_INDENT) && in->iIndent != item.indent) changed |= LVIF_INDENT;
    if (changed) {
        NMLISTVIEW nm = {};
        nm.iItem = i;
        nm.uChanged = changed;
        nm.uOldState = nm.uNewState = item.state;
        nm.lParam = item.lParam;
        if (SendNotify(lv.hwnd, LVN_ITEMCHANGING, &nm.hdr)) return false;
        if (lv.dead || !lv.Valid(i)) return false;
        Item& now = lv.items[static_cast<size_t>(i)];
        if (changed & LVIF_TEXT) StoreText(now.text, now.textCallback, in->pszText);
        if (changed & LVIF_IMAGE) now.image = in->iImage;
        if (changed & LVIF_PARAM) now.lParam = in->lParam;
        if (changed & LVIF_INDENT) now.indent = std::max(0, in->iIndent);
        lv.widest = -1;
        nm.lParam = now.lParam;
        Invalidate(lv);
        SendNotify(lv.hwnd, LVN_ITEMCHANGED, &nm.hdr);
        if (lv.dead || !lv.Valid(i)) return false;
    }
    if (in->mask & LVIF_STATE) return SetItemState(lv, i, in->state, in->stateMask);
    return true;
}

bool GetItem(ListView& lv, LVITEMW* out) {
    if (!out || !lv.Valid(out->iItem) || out->iSubItem < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    int i = out->iItem, sub = out->iSubItem;
    if (out->mask & LVIF_TEXT) {
        std::u16string text = ItemText(lv, i, sub);
        if (lv.dead || !lv.Valid(i)) return false;
        if (out->pszText && out->pszText != LPSTR_TEXTCALLBACKW)
            CopyText(text, out->pszText, out->cchTextMax);
    }
    const Item& item = lv.items[static_cast<size_t>(i)];
    if (out->mask & LVIF_IMAGE) {
        if (sub == 0) {
            out->iImage = ItemImage(lv, i);
            if (lv.dead || !lv.Valid(i)) return false;
        } else {
            out->iImage = static_cast<size_t>(sub) <= item.subItems.size()
                              ? item.subItems[static_cast<size_t>(sub - 1)].image
                              : I_IMAGENONE;
        }
    }
    const Item& again = lv.items[static_cast<size_t>(i)];
    if (sub == 0) {
        if (out->mask & LVIF_PARAM) out->lParam = again.lParam;
        if (out->mask & LVIF_STATE) out->state = again.state & out->stateMask;
        if (out->mask & LVIF_INDENT) out->iIndent = again.indent;
    } else {
        if (out->mask & LVIF_STATE) out->state = 0;
        if (out->mask & LVIF_INDENT) out->iIndent = 0;
    }
    return true;
}

bool DeleteItem(ListView& lv, int i) {
    if (!lv.Valid(i)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    NotifyListView(lv, LVN_DELETEITEM, i, 0, POINT{0, 0});
    if (lv.dead || !lv.Valid(i)) return false;
    lv.items.erase(lv.items.begin() + i);
    ShiftIndices(lv, i, -1);
    lv.widest = -1;
    Invalidate(lv);
    return true;
}

bool DeleteAllItems(ListView& lv) {
    if (lv.items.empty()) return true;
    // A parent that answers TRUE to LVN_DELETEALLITEMS wants no per-item notes.
    bool each = NotifyListView(lv, LVN_DELETEALLITEMS, -1, 0, POINT{0, 0}) == 0;
    if (lv.dead) return false;
    if (each) {
        // The notes come first, from the last item down, while every item is still there.
        for (int i = lv.Count() - 1; i >= 0 && !lv.dead; --i)
            if (lv.Valid(i)) NotifyListView(lv, LVN_DELETEITEM, i, 0, POINT{0, 0});
        if (lv.dead) return false;
    }
    lv.items.clear();
    lv.focused = lv.mark = lv.pen.item = -1;
    lv.top = 0;
    lv.xOffset = 0;
    lv.widest = -1;
    Invalidate(lv);
    return true;
}

// ---- Columns --------------------------------------------------------------------------

int InsertColumn(ListView& lv, int index, const LVCOLUMNW* in) {
    if (!in || index < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    int n = static_cast<int>(lv.columns.size());
    int at = std::min(index, n);
    Column c;
    if (in->mask & LVCF_FMT) c.fmt = in->fmt;
    if (in->mask & LVCF_TEXT) c.text = in->pszText == LPSTR_TEXTCALLBACKW ? u"" : ReadText(in->pszText);
    if (in->mask & LVCF_SUBITEM) c.subItem = in->iSubItem;
    else c.subItem = at;
    if (in->mask & LVCF_IMAGE) c.image = in->iImage;
    int width = (in->mask & LVCF_WIDTH) ? in->cx : 0;
    c.width = std::max(0, width);
    lv.columns.insert(lv.columns.begin() + at, c);
    // Sub-items keep following their columns.
    if (at >= 1 && at < n)
        for (Item& item : lv.items)
            if (item.subItems.size() >= static_cast<size_t>(at))
                item.subItems.insert(item.subItems.begin() + (at - 1), SubItem{u"", false, I_IMAGENONE});
    for (int& o : lv.order)
        if (o >= at) ++o;
    int pos = (in->mask & LVCF_ORDER) ? std::clamp(in->iOrder, 0, n) : at;
    lv.order.insert(lv.order.begin() + pos, at);
    if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER)
        lv.columns[static_cast<size_t>(at)].width = AutoWidth(lv, at, width == LVSCW_AUTOSIZE_USEHEADER);
    Invalidate(lv);
    return at;
}

bool DeleteColumn(ListView& lv, int index) {
    if (index < 0 || index >= static_cast<int>(lv.columns.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    lv.columns.erase(lv.columns.begin() + index);
    if (index >= 1)
        for (Item& item : lv.items)
            if (item.subItems.size() >= static_cast<size_t>(index))
                item.subItems.erase(item.subItems.begin() + (index - 1));
    lv.order.erase(std::find(lv.order.begin(), lv.order.end(), index));
    for (int& o : lv.order)
        if (o > index) --o;
    Invalidate(lv);
    return true;
}

bool GetColumn(ListView& lv, int index, LVCOLUMNW* out) {
    if (!out || index < 0 || index >= static_cast<int>(lv.columns.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const Column& c = lv.columns[static_cast<size_t>(index)];
    if (out->mask & LVCF_FMT) out->fmt = c.fmt;
    if (out->mask & LVCF_WIDTH) out->cx = c.width;
    if (out->mask & LVCF_TEXT) CopyText(c.text, out->pszText, out->cchTextMax);
    if (out->mask & LVCF_SUBITEM) out->iSubItem = c.subItem;
    if (out->mask & LVCF_IMAGE) out->iImage = c.image;
    if (out->mask & LVCF_ORDER) out->iOrder = PositionOf(lv, index);
    return true;
}

bool SetColumnWidth(ListView& lv, int index, int cx) {
    DWORD mode = lv.Mode();
    if (mode == LVS_LIST || mode == LVS_SMALLICON) {
        if (index != 0 && index != -1) return false;
        lv.listWidth = cx > 0 ? cx : 0;
        Invalidate(lv);
        return true;
    }
    if (mode != LVS_REPORT || index < 0 || index >= static_cast<int>(lv.columns.size())) return false;
    if (cx == LVSCW_AUTOSIZE || cx == LVSCW_AUTOSIZE_USEHEADER) {
        int width = AutoWidth(lv, index, cx == LVSCW_AUTOSIZE_USEHEADER);
        // The last column takes whatever room is left.
        if (cx == LVSCW_AUTOSIZE_USEHEADER && !lv.order.empty() && lv.order.back() == index) {
            Layout l = ComputeLayout(lv);
            int others = 0;
            for (size_t k = 0; k < lv.columns.size(); ++k)
                if (static_cast<int>(k) != index) others += lv.columns[k].width;
            width = std::max(width, static_cast<int>(l.area.right - l.area.left) - others);
        }
        cx = width;
    }
    if (cx < 0) return false;
    lv.columns[static_cast<size_t>(index)].width = cx;
    Invalidate(lv);
    return true;
}

bool SetColumn(ListView& lv, int index, const LVCOLUMNW* in) {
    if (!in || index < 0 || index >= static_cast<int>(lv.columns.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    Column& c = lv.columns[static_cast<size_t>(index)];
    if (in->mask & LVCF_FMT) c.fmt = in->fmt;
    if (in->mask & LVCF_TEXT) c.text = in->pszText == LPSTR_TEXTCALLBACKW ? u"" : ReadText(in->pszText);
    if (in->mask & LVCF_SUBITEM) c.subItem = in->iSubItem;
    if (in->mask & LVCF_IMAGE) c.image = in->iImage;
    if (in->mask & LVCF_WIDTH) {
        if (in->cx < 0) SetColumnWidth(lv, index, in->cx);
        else c.width = in->cx;
    }
    Invalidate(lv);
    return true;
}

// ---- Searching and sorting -------------------------------------------------------------

bool StateMatches(UINT state, UINT flags) {
    if ((flags & LVNI_SELECTED) && !(state & LVIS_SELECTED)) return false;
    if ((flags & LVNI_FOCUSED) && !(state & LVIS_FOCUSED)) return false;
    if ((flags & LVNI_CUT) && !(state & LVIS_CUT)) return false;
    if ((flags & LVNI_DROPHILITED) && !(state & LVIS_DROPHILITED)) return false;
    return true;
}

int GetNextItem(ListView& lv, int start, UINT flags) {
    UINT direction = flags & (LVNI_ABOVE | LVNI_BELOW | LVNI_TOLEFT | LVNI_TORIGHT);
    if (direction) {
        if (!lv.Valid(start)) return -1;
        Layout l = ComputeLayout(lv);
        for (int i = Neighbour(lv, l, start, direction); i >= 0; i = Neighbour(lv, l, i, direction))
            if (StateMatches(lv.items[static_cast<size_t>(i)].state, flags)) return i;
        return -1;
    }
    for (int i = std::max(0, start + 1); i < lv.Count(); ++i)
        if (StateMatches(lv.items[static_cast<size_t>(i)].state, flags)) return i;
    return -1;
}

bool FindMatches(ListView& lv, int i, const LVFINDINFOW& info, const std::u16string& wanted) {
    if (info.flags & LVFI_PARAM) return lv.items[static_cast<size_t>(i)].lParam == info.lParam;
    std::u16string text = ItemText(lv, i, 0);
    if (info.flags & LVFI_PARTIAL) {
        if (text.size() < wanted.size()) return false;
        text.resize(wanted.size());
    }
    return lstrcmpiW(text.c_str(), wanted.c_str()) == 0;
}

int FindItem(ListView& lv, int start, const LVFINDINFOW* info) {
    if (!info || !(info->flags & (LVFI_PARAM | LVFI_STRING | LVFI_PARTIAL))) return -1;
    std::u16string wanted = (info->flags & LVFI_PARAM) ? u"" : ReadText(info->psz);
    int n = lv.Count();
    int first = std::max(0, start + 1);
    for (int i = first; i < n && i < lv.Count() && !lv.dead; ++i)
        if (FindMatches(lv, i, *info, wanted)) return i;
    if (info->flags & LVFI_WRAP)
        for (int i = 0; i < std::min(first, n) && i < lv.Count() && !lv.dead; ++i)
            if (FindMatches(lv, i, *info, wanted)) return i;
    return -1;
}

// A stable merge sort that tolerates a comparison that is not consistent
// (a program's callback): it only ever compares two elements it holds.
template <class Less>
void MergeSort(std::vector<int>& v, Less less) {
    std::vector<int> tmp(v.size());
    for (size_t width = 1; width < v.size(); width *= 2) {
        for (size_t lo = 0; lo < v.size(); lo += 2 * width) {
            size_t mid = std::min(lo + width, v.size()), hi = std::min(lo + 2 * width, v.size());
            size_t a = lo, b = mid, out = lo;
            while (a < mid && b < hi) tmp[out++] = less(v[b], v[a]) ? v[b++] : v[a++];
            while (a < mid) tmp[out++] = v[a++];
            while (b < hi) tmp[out++] = v[b++];
        }
        v.swap(tmp);
    }
}

bool SortItems(ListView& lv, PFNLVCOMPARE compare, LPARAM param, bool byIndex) {
    if (!compare) return false;
    int n = lv.Count();
    std::vector<LPARAM> keys(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) keys[static_cast<size_t>(i)] = byIndex ? i : lv.items[static_cast<size_t>(i)].lParam;
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 0);
    MergeSort(order, [&](int a, int b) {
        return compare(keys[static_cast<size_t>(a)], keys[static_cast<size_t>(b)], param) < 0;
    });
    // A callback that changed the list leaves it as the callback left it.
    if (lv.dead || lv.Count() != n) return false;
    std::vector<Item> sorted;
    sorted.reserve(static_cast<size_t>(n));
    for (int k : order) sorted.push_back(std::move(lv.items[static_cast<size_t>(k)]));
    auto moved = [&](int old) {
        if (old < 0) return old;
        return static_cast<int>(std::find(order.begin(), order.end(), old) - order.begin());
    };
    lv.items.swap(sorted);
    lv.focused = moved(lv.focused);
    lv.mark = moved(lv.mark);
    Invalidate(lv);
    return true;
}

// A virtual list (LVS_OWNERDATA) holds only states: every text and image is
// a callback. Other lists take the count as a hint for memory.
bool SetItemCount(ListView& lv, WPARAM count) {
    constexpr WPARAM kMaxItems = 1u << 22;
    if (!(lv.Style() & LVS_OWNERDATA)) {
        if (count < 100000) lv.items.reserve(count);
        return true;
    }
    if (count > kMaxItems) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    Item blank;
    blank.textCallback = true;
    blank.image = I_IMAGECALLBACK;
    lv.items.resize(count, blank);
    for (int* index : {&lv.focused, &lv.mark, &lv.pen.item})
        if (*index >= lv.Count()) *index = -1;
    lv.widest = -1;
    Invalidate(lv);
    return true;
}

// ---- Messages ---------------------------------------------------------------------------

bool SetStateOfAll(ListView& lv, const LVITEMW* in) {
    for (int i = 0; i < lv.Count() && !lv.dead; ++i) SetItemState(lv, i, in->state, in->stateMask);
    return !lv.dead;
}

void Destroy(ListView& lv) {
    CancelPen(lv);
    DeleteAllItems(lv);
}

void FinalRelease(HWND hwnd) {
    std::shared_ptr<ListView> lv;
    {
        std::lock_guard<std::mutex> guard(ViewLock());
        auto it = Views().find(hwnd);
        if (it == Views().end()) return;
        lv = it->second;
        Views().erase(it);
    }
    lv->dead = true;
    if (!(lv->Style() & LVS_SHAREIMAGELISTS))
        for (HIMAGELIST& list : lv->images)
            if (list) ImageList_Destroy(list);
    for (HIMAGELIST& list : lv->images) list = nullptr;
    lv->items.clear();
}

LRESULT Handle(ListView& lv, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = lv.hwnd;
    switch (message) {
        case WM_DESTROY: Destroy(lv); return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (dc) Paint(lv, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            Paint(lv, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SIZE: Invalidate(lv); return 0;
        case WM_STYLECHANGED:
            if (static_cast<int>(wParam) == GWL_STYLE) {
                lv.widest = -1;
                Invalidate(lv);
            }
            return 0;
        case WM_SETFONT:
            lv.font = reinterpret_cast<HFONT>(wParam);
            lv.widest = -1;
            if (LOWORD(lParam)) Invalidate(lv);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(lv.font);
        case WM_SETFOCUS: {
            lv.hasFocus = true;
            Invalidate(lv);
            NMHDR h = {};
            SendNotify(hwnd, NM_SETFOCUS, &h);
            return 0;
        }
        case WM_KILLFOCUS: {
            lv.hasFocus = false;
            Invalidate(lv);
            NMHDR h = {};
            SendNotify(hwnd, NM_KILLFOCUS, &h);
            return 0;
        }
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: OnKeyDown(lv, static_cast<UINT>(wParam)); return 0;
        case WM_CHAR: OnChar(lv, static_cast<WCHAR>(wParam)); return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnPenDown(lv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, message == WM_LBUTTONDBLCLK);
            return 0;
        case WM_MOUSEMOVE: OnPenMove(lv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
        case WM_LBUTTONUP: OnPenUp(lv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
        case WM_TIMER: OnTimer(lv, wParam); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) CancelPen(lv);
            return 0;
        case WM_CANCELMODE:
            CancelPen(lv);
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case WM_ENABLE:
        case WM_SYSCOLORCHANGE: Invalidate(lv); return 0;
        case WM_SETREDRAW:
            DefWindowProcW(hwnd, message, wParam, lParam);
            if (wParam) Invalidate(lv);
            return 0;
        case WM_NOTIFYFORMAT: return 2;  // NFR_UNICODE

        case LVM_GETBKCOLOR: return static_cast<LRESULT>(lv.bkColor);
        case LVM_SETBKCOLOR:
            lv.bkColor = static_cast<COLORREF>(lParam);
            Invalidate(lv);
            return TRUE;
        case LVM_GETTEXTCOLOR: return static_cast<LRESULT>(lv.textColor);
        case LVM_SETTEXTCOLOR:
            lv.textColor = static_cast<COLORREF>(lParam);
            Invalidate(lv);
            return TRUE;
        case LVM_GETTEXTBKCOLOR: return static_cast<LRESULT>(lv.textBkColor);
        case LVM_SETTEXTBKCOLOR:
            lv.textBkColor = static_cast<COLORREF>(lParam);
            Invalidate(lv);
            return TRUE;
        case LVM_GETIMAGELIST:
            return wParam <= LVSIL_STATE ? reinterpret_cast<LRESULT>(lv.images[wParam]) : 0;
        case LVM_SETIMAGELIST: {
            if (wParam > LVSIL_STATE) return 0;
            HIMAGELIST old = lv.images[wParam];
            lv.images[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
            lv.widest = -1;
            Invalidate(lv);
            return reinterpret_cast<LRESULT>(old);
        }
        case LVM_GETITEMCOUNT: return lv.Count();
        case LVM_SETITEMCOUNT: return SetItemCount(lv, wParam);
        case LVM_INSERTITEMW: return InsertItem(lv, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_SETITEMW: return SetItem(lv, reinterpret_cast<const LVITEMW*>(lParam));
        case LVM_GETITEMW: return GetItem(lv, reinterpret_cast<LVITEMW*>(lParam));
        case LVM_SETITEMTEXTW: {
            const auto* in = reinterpret_cast<const LVITEMW*>(lParam);
            if (!in) return FALSE;
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(wParam);
            item.iSubItem = in->iSubItem;
            item.pszText = in->pszText;
            return SetItem(lv, &item);
        }
        case LVM_GETITEMTEXTW: {
            auto* out = reinterpret_cast<LVITEMW*>(lParam);
            int i = static_cast<int>(wParam);
            if (!out || !lv.Valid(i) || out->iSubItem < 0) return 0;
            std::u16string text = ItemText(lv, i, out->iSubItem);
            return CopyText(text, out->pszText, out->cchTextMax);
        }
        case LVM_SETITEMSTATE: {
            const auto* in = reinterpret_cast<const LVITEMW*>(lParam);
            int i = static_cast<int>(wParam);
            if (!in) return FALSE;
            if (i == -1) return SetStateOfAll(lv, in);
            return SetItemState(lv, i, in->state, in->stateMask);
        }
        case LVM_GETITEMSTATE: {
            int i = static_cast<int>(wParam);
            return lv.Valid(i) ? (lv.items[static_cast<size_t>(i)].state & static_cast<UINT>(lParam)) : 0;
        }
        case LVM_DELETEITEM: return DeleteItem(lv, static_cast<int>(wParam));
        case LVM_DELETEALLITEMS: return DeleteAllItems(lv);
        case LVM_GETCALLBACKMASK: return lv.callbackMask;
        case LVM_SETCALLBACKMASK: lv.callbackMask = static_cast<UINT>(wParam); return TRUE;
        case LVM_GETNEXTITEM:
            return GetNextItem(lv, static_cast<int>(wParam), LOWORD(lParam));
        case LVM_FINDITEMW:
            return FindItem(lv, static_cast<int>(wParam), reinterpret_cast<const LVFINDINFOW*>(lParam));
        case LVM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            int i = static_cast<int>(wParam);
            if (!r || !lv.Valid(i) || r->left < LVIR_BOUNDS || r->left > LVIR_SELECTBOUNDS) return FALSE;
            Layout l = ComputeLayout(lv);
            *r = ItemRect(lv, l, i, r->left);
            return TRUE;
        }
        case LVM_GETSUBITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            int i = static_cast<int>(wParam);
            if (!r || !lv.Valid(i) || r->left < LVIR_BOUNDS || r->left > LVIR_SELECTBOUNDS) return FALSE;
            int sub = r->top;
            if (sub < 0 || sub >= std::max<int>(1, static_cast<int>(lv.columns.size()))) return FALSE;
            if (sub > 0 && lv.Mode() != LVS_REPORT) return FALSE;
            Layout l = ComputeLayout(lv);
            *r = SubItemRect(lv, l, i, sub, r->left);
            return TRUE;
        }
        case LVM_GETITEMPOSITION: {
            auto* p = reinterpret_cast<POINT*>(lParam);
            int i = static_cast<int>(wParam);
            if (!p || !lv.Valid(i)) return FALSE;
            Layout l = ComputeLayout(lv);
            RECT r = ItemRect(lv, l, i, LVIR_BOUNDS);
            *p = POINT{r.left, r.top};
            return TRUE;
        }
        case LVM_SETITEMPOSITION: return FALSE;  // items are always arranged
        case LVM_HITTEST:
        case LVM_SUBITEMHITTEST: {
            auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
            if (!info) return -1;
            Layout l = ComputeLayout(lv);
            LVHITTESTINFO r = HitTest(lv, l, info->pt, message == LVM_SUBITEMHITTEST);
            info->flags = r.flags;
            info->iItem = r.iItem;
            if (message == LVM_SUBITEMHITTEST) info->iSubItem = r.iSubItem;
            return r.iItem;
        }
        case LVM_ENSUREVISIBLE: {
            int i = static_cast<int>(wParam);
            if (!lv.Valid(i)) return FALSE;
            EnsureVisible(lv, i, LOWORD(lParam) != 0);
            return TRUE;
        }
        case LVM_SCROLL: {
            Layout l = ComputeLayout(lv);
            int dx = static_cast<int>(wParam), dy = static_cast<int>(lParam);
            auto rows = [](int pixels, int unit) {
                if (unit <= 0) return 0;
                return (pixels + (pixels < 0 ? -unit / 2 : unit / 2)) / unit;
            };
            switch (l.mode) {
                case LVS_REPORT:
                    if (dy) ScrollTo(lv, true, lv.top + rows(dy, l.rowHeight));
                    if (dx) ScrollTo(lv, false, lv.xOffset + dx);
                    break;
                case LVS_LIST:
                    if (dx) ScrollTo(lv, false, lv.top + dx);
                    break;
                default:
                    if (dy) ScrollTo(lv, true, lv.top + rows(dy, l.cellHeight));
                    break;
            }
            return TRUE;
        }
        case LVM_REDRAWITEMS:
        case LVM_UPDATE:
            Invalidate(lv);
            return TRUE;
        case LVM_ARRANGE: return TRUE;
        case LVM_GETEDITCONTROL:
        case LVM_EDITLABELW:
        case LVM_GETHEADER: return 0;
        case LVM_INSERTCOLUMNW:
            return InsertColumn(lv, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
        case LVM_DELETECOLUMN: return DeleteColumn(lv, static_cast<int>(wParam));
        case LVM_GETCOLUMNW:
            return GetColumn(lv, static_cast<int>(wParam), reinterpret_cast<LVCOLUMNW*>(lParam));
        case LVM_SETCOLUMNW:
            return SetColumn(lv, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
        case LVM_GETCOLUMNWIDTH: {
            int c = static_cast<int>(wParam);
            DWORD mode = lv.Mode();
            if (mode == LVS_REPORT)
                return c >= 0 && c < static_cast<int>(lv.columns.size()) ? lv.columns[static_cast<size_t>(c)].width : 0;
            if (mode == LVS_LIST) return ComputeLayout(lv).cellWidth;
            return 0;
        }
        case LVM_SETCOLUMNWIDTH:
            return SetColumnWidth(lv, static_cast<int>(wParam), static_cast<SHORT>(LOWORD(lParam)));
        case LVM_SETCOLUMNORDERARRAY: {
            const int* in = reinterpret_cast<const int*>(lParam);
            size_t n = lv.columns.size();
            if (!in || wParam != n) return FALSE;
            std::vector<int> order(in, in + n), check = order;
            std::sort(check.begin(), check.end());
            for (size_t k = 0; k < n; ++k)
                if (check[k] != static_cast<int>(k)) return FALSE;
            lv.order = order;
            Invalidate(lv);
            return TRUE;
        }
        case LVM_GETCOLUMNORDERARRAY: {
            int* out = reinterpret_cast<int*>(lParam);
            if (!out || wParam < lv.order.size()) return FALSE;
            std::copy(lv.order.begin(), lv.order.end(), out);
            return TRUE;
        }
        case LVM_GETVIEWRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            if (!r) return FALSE;
            Layout l = ComputeLayout(lv);
            *r = RECT{0, 0, 0, 0};
            for (int i : {0, lv.Count() - 1}) {
                if (!lv.Valid(i)) continue;
                RECT b = ItemRect(lv, l, i, LVIR_BOUNDS);
                if (IsRectEmpty(r)) *r = b;
                else UnionRect(r, r, &b);
            }
            if (l.mode == LVS_REPORT) r->right = r->left + l.contentWidth;
            return TRUE;
        }
        case LVM_GETORIGIN: {
            auto* p = reinterpret_cast<POINT*>(lParam);
            Layout l = ComputeLayout(lv);
            if (!p || l.mode == LVS_REPORT || l.mode == LVS_LIST) return FALSE;
            *p = POINT{0, lv.top * l.cellHeight};
            return TRUE;
        }
        case LVM_GETTOPINDEX: {
            Layout l = ComputeLayout(lv);
            return TopIndex(lv, l);
        }
        case LVM_GETCOUNTPERPAGE: {
            Layout l = ComputeLayout(lv);
            return CountPerPage(lv, l);
        }
        case LVM_GETSTRINGWIDTHW:
            return lParam ? TextWidth(lv, ReadText(reinterpret_cast<LPCWSTR>(lParam))) : 0;
        case LVM_SORTITEMS:
        case LVM_SORTITEMSEX:
            return SortItems(lv, reinterpret_cast<PFNLVCOMPARE>(lParam), static_cast<LPARAM>(wParam),
                             message == LVM_SORTITEMSEX);
        case LVM_GETSELECTEDCOUNT: {
            int n = 0;
            for (const Item& item : lv.items) n += (item.state & LVIS_SELECTED) ? 1 : 0;
            return n;
        }
        case LVM_GETSELECTIONMARK: return lv.mark;
        case LVM_SETSELECTIONMARK: {
            int old = lv.mark;
            int i = static_cast<int>(lParam);
            lv.mark = lv.Valid(i) ? i : -1;
            return old;
        }
        case LVM_GETITEMSPACING: {
            Layout l = ComputeLayout(lv);
            if (wParam) return MAKELONG(l.cellWidth, l.rowHeight);
            int cx = lv.spacingX > 0 ? lv.spacingX : GetSystemMetrics(SM_CXICONSPACING);
            int cy = lv.spacingY > 0 ? lv.spacingY : GetSystemMetrics(SM_CYICONSPACING);
            return MAKELONG(cx, cy);
        }
        case LVM_SETICONSPACING: {
            int cx = lv.spacingX > 0 ? lv.spacingX : GetSystemMetrics(SM_CXICONSPACING);
            int cy = lv.spacingY > 0 ? lv.spacingY : GetSystemMetrics(SM_CYICONSPACING);
            SHORT nx = static_cast<SHORT>(LOWORD(lParam)), ny = static_cast<SHORT>(HIWORD(lParam));
            lv.spacingX = nx > 0 ? nx : 0;
            lv.spacingY = ny > 0 ? ny : 0;
            Invalidate(lv);
            return MAKELONG(cx, cy);
        }
        case LVM_SETEXTENDEDLISTVIEWSTYLE: {
            DWORD old = lv.exStyle;
            DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFu;
            lv.exStyle = (lv.exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
            Invalidate(lv);
            return static_cast<LRESULT>(old);
        }
        case LVM_GETEXTENDEDLISTVIEWSTYLE: return static_cast<LRESULT>(lv.exStyle);
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto lv = std::make_shared<ListView>();
        lv->hwnd = hwnd;
        lv->bkColor = GetSysColor(COLOR_WINDOW);
        lv->textColor = GetSysColor(COLOR_WINDOWTEXT);
        lv->textBkColor = GetSysColor(COLOR_WINDOW);
        lv->lastMode = lv->Mode();
        std::lock_guard<std::mutex> guard(ViewLock());
        Views()[hwnd] = lv;
        return 0;
    }
    if (message == WM_NCDESTROY) {
        FinalRelease(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    std::shared_ptr<ListView> lv = Lookup(hwnd);
    if (!lv || lv->dead) return DefWindowProcW(hwnd, message, wParam, lParam);
    return Handle(*lv, message, wParam, lParam);
}

}  // namespace

std::u16string ItemText(ListView& lv, int item, int subItem) {
    if (!lv.Valid(item) || subItem < 0) return {};
    const Item& it = lv.items[static_cast<size_t>(item)];
    // A sub-item that was never set is asked for, as a callback is.
    if (subItem == 0 && !it.textCallback) return it.text;
    if (subItem > 0 && static_cast<size_t>(subItem) <= it.subItems.size() &&
        !it.subItems[static_cast<size_t>(subItem - 1)].callback)
        return it.subItems[static_cast<size_t>(subItem - 1)].text;
    WCHAR buffer[260];
    NMLVDISPINFOW di = AskDispInfo(lv, item, subItem, LVIF_TEXT, buffer, 260);
    std::u16string text;
    if (di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACKW)
        text = di.item.pszText == buffer ? ReadText(buffer, 259) : ReadText(di.item.pszText);
    if (!lv.dead && lv.Valid(item) && (di.item.mask & LVIF_DI_SETITEM)) {
        Item& now = lv.items[static_cast<size_t>(item)];
        if (subItem == 0) {
            now.text = text;
            now.textCallback = false;
        } else {
            SubItem& s = SubItemAt(now, subItem);
            s.text = text;
            s.callback = false;
        }
    }
    return text;
}

int ItemImage(ListView& lv, int item) {
    if (!lv.Valid(item)) return I_IMAGENONE;
    if (lv.items[static_cast<size_t>(item)].image != I_IMAGECALLBACK) return lv.items[static_cast<size_t>(item)].image;
    NMLVDISPINFOW di = AskDispInfo(lv, item, 0, LVIF_IMAGE, nullptr, 0);
    if (!lv.dead && lv.Valid(item) && (di.item.mask & LVIF_DI_SETITEM))
        lv.items[static_cast<size_t>(item)].image = di.item.iImage;
    return di.item.iImage;
}

bool SetItemState(ListView& lv, int item, UINT state, UINT mask) {
    if (!lv.Valid(item)) return false;
    UINT old = lv.items[static_cast<size_t>(item)].state;
    UINT now = (old & ~mask) | (state & mask);
    if (now == old) return true;
    // Only one item has the focus; LVS_SINGLESEL allows one selected item.
    if ((now & LVIS_FOCUSED) && !(old & LVIS_FOCUSED) && lv.Valid(lv.focused) && lv.focused != item) {
        SetItemState(lv, lv.focused, 0, LVIS_FOCUSED);
        if (lv.dead) return false;
    }
    if ((now & LVIS_SELECTED) && !(old & LVIS_SELECTED) && (lv.Style() & LVS_SINGLESEL)) {
        for (int j = 0; j < lv.Count() && !lv.dead; ++j)
            if (j != item && (lv.items[static_cast<size_t>(j)].state & LVIS_SELECTED))
                SetItemState(lv, j, 0, LVIS_SELECTED);
        if (lv.dead) return false;
    }
    if (!lv.Valid(item)) return false;
    old = lv.items[static_cast<size_t>(item)].state;
    now = (old & ~mask) | (state & mask);
    if (now == old) return true;
    NMLISTVIEW nm = {};
    nm.iItem = item;
    nm.uChanged = LVIF_STATE;
    nm.uOldState = old;
    nm.uNewState = now;
    nm.lParam = lv.items[static_cast<size_t>(item)].lParam;
    if (SendNotify(lv.hwnd, LVN_ITEMCHANGING, &nm.hdr)) return false;
    if (lv.dead || !lv.Valid(item)) return false;
    Item& it = lv.items[static_cast<size_t>(item)];
    nm.uOldState = it.state;
    it.state = (it.state & ~mask) | (state & mask);
    nm.uNewState = it.state;
    if (it.state & LVIS_FOCUSED) lv.focused = item;
    else if (lv.focused == item) lv.focused = -1;
    Invalidate(lv);
    SendNotify(lv.hwnd, LVN_ITEMCHANGED, &nm.hdr);
    return !lv.dead;
}

void SelectOnly(ListView& lv, int item) {
    for (int j = 0; j < lv.Count() && !lv.dead; ++j) {
        if (j == item) continue;
        UINT s = lv.items[static_cast<size_t>(j)].state;
        if (s & LVIS_SELECTED) SetItemState(lv, j, 0, LVIS_SELECTED | (j == lv.focused && item >= 0 ? LVIS_FOCUSED : 0));
    }
    if (lv.dead || !lv.Valid(item)) return;
    SetItemState(lv, item, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    if (!lv.dead) lv.mark = item;
}

void SelectRange(ListView& lv, int item) {
    if (!lv.Valid(lv.mark) || (lv.Style() & LVS_SINGLESEL)) {
        SelectOnly(lv, item);
        return;
    }
    int lo = std::min(lv.mark, item), hi = std::max(lv.mark, item);
    for (int j = 0; j < lv.Count() && !lv.dead; ++j) {
        bool want = j >= lo && j <= hi;
        SetItemState(lv, j, want ? LVIS_SELECTED : 0, LVIS_SELECTED);
    }
    if (!lv.dead && lv.Valid(item)) SetItemState(lv, item, LVIS_FOCUSED, LVIS_FOCUSED);
}

void Invalidate(ListView& lv) { InvalidateRect(lv.hwnd, nullptr, TRUE); }

LRESULT NotifyActivate(ListView& lv, UINT code, int item, int subItem, POINT pt) {
    NMITEMACTIVATE nm = {};
    nm.iItem = item;
    nm.iSubItem = subItem;
    nm.ptAction = pt;
    if (lv.Valid(item)) {
        nm.uNewState = nm.uOldState = lv.items[static_cast<size_t>(item)].state;
        nm.lParam = lv.items[static_cast<size_t>(item)].lParam;
    }
    if (GetKeyState(VK_MENU) < 0) nm.uKeyFlags |= LVKF_ALT;
    if (GetKeyState(VK_CONTROL) < 0) nm.uKeyFlags |= LVKF_CONTROL;
    if (GetKeyState(VK_SHIFT) < 0) nm.uKeyFlags |= LVKF_SHIFT;
    return SendNotify(lv.hwnd, code, &nm.hdr);
}

LRESULT NotifyListView(ListView& lv, UINT code, int item, int subItem, POINT pt) {
    NMLISTVIEW nm = {};
    nm.iItem = item;
    nm.iSubItem = subItem;
    nm.ptAction = pt;
    if (lv.Valid(item)) nm.lParam = lv.items[static_cast<size_t>(item)].lParam;
    return SendNotify(lv.hwnd, code, &nm.hdr);
}

}  // namespace commctl::listview

namespace commctl {

void RegisterListViewClass() {
    WNDCLASSW wc = {};
    // A global class without an instance belongs to the layer.
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = listview::ListViewProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = WC_LISTVIEWW;
    RegisterClassW(&wc);
}

}  // namespace commctl
