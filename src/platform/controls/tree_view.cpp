// The tree view (WC_TREEVIEW): items and their links, callbacks through
// TVN_GETDISPINFO, expanding and collapsing with TVN_ITEMEXPANDING (where a
// parent fills a branch on demand) and TVN_ITEMEXPANDED, the selection with
// TVN_SELCHANGING and TVN_SELCHANGED, deletion with TVN_DELETEITEM, sorting,
// the pen (a tap on a button toggles it, a tap on an item selects it after
// NM_CLICK, a hold sends NM_RCLICK) and the keys.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "controls/tree_view.h"

namespace commctl::treeview {

namespace {

std::mutex& TreeLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::unordered_map<HWND, std::shared_ptr<TreeView>>& Trees() {
    static auto* trees = new std::unordered_map<HWND, std::shared_ptr<TreeView>>;
    return *trees;
}

std::shared_ptr<TreeView> Lookup(HWND hwnd) {
    std::lock_guard<std::mutex> guard(TreeLock());
    auto it = Trees().find(hwnd);
    return it == Trees().end() ? nullptr : it->second;
}

// The node a handle names, or null; TVI_ROOT and null name the hidden root
// only where `rootOk`.
Node* NodeOf(TreeView& tv, HTREEITEM h, bool rootOk) {
    if (rootOk && (!h || h == TVI_ROOT)) return &tv.root;
    return tv.Valid(h) ? h : nullptr;
}

void TreeChanged(TreeView& tv) {
    tv.rowsDirty = true;
    Invalidate(tv);
}

// What the notifications carry about an item.
TVITEMW Describe(const Node* n) {
    TVITEMW item = {};
    if (!n) return item;
    item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    item.hItem = const_cast<Node*>(n);
    item.state = n->state;
    item.stateMask = 0xFFFFFFFFu;
    item.lParam = n->lParam;
    item.iImage = n->image;
    item.iSelectedImage = n->selectedImage;
    item.cChildren = n->children == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (n->first ? 1 : n->children);
    return item;
}

LRESULT NotifyTree(TreeView& tv, UINT code, UINT action, const Node* oldItem, const Node* newItem, POINT pt) {
    NMTREEVIEWW nm = {};
    nm.action = action;
    nm.itemOld = Describe(oldItem);
    nm.itemNew = Describe(newItem);
    nm.ptDrag = pt;
    return SendNotify(tv.hwnd, code, &nm.hdr);
}

LRESULT NotifySimple(TreeView& tv, UINT code) {
    NMHDR h = {};
    return SendNotify(tv.hwnd, code, &h);
}

NMTVDISPINFOW AskDispInfo(TreeView& tv, Node* n, UINT mask, WCHAR* buffer, int capacity) {
    NMTVDISPINFOW di = {};
    di.item.mask = mask;
    di.item.hItem = n;
    di.item.state = n->state;
    di.item.stateMask = 0xFFFFFFFFu;
    di.item.lParam = n->lParam;
    di.item.pszText = buffer;
    di.item.cchTextMax = capacity;
    di.item.iImage = n->image;
    di.item.iSelectedImage = n->selectedImage;
    // An unanswered question about children means none.
    di.item.cChildren = (mask & TVIF_CHILDREN) ? 0 : n->children;
    if (buffer && capacity > 0) buffer[0] = 0;
    SendNotify(tv.hwnd, TVN_GETDISPINFOW, &di.hdr);
    return di;
}

// ---- Links ----------------------------------------------------------------------------------

void Unlink(Node* n) {
    Node* p = n->parent;
    if (n->prev) n->prev->next = n->next;
    else if (p) p->first = n->next;
    if (n->next) n->next->prev = n->prev;
    else if (p) p->last = n->prev;
    n->prev = n->next = nullptr;
}

void LinkAfter(Node* parent, Node* after, Node* n) {
    n->parent = parent;
    n->prev = after;
    n->next = after ? after->next : parent->first;
    if (n->next) n->next->prev = n;
    else parent->last = n;
    if (after) after->next = n;
    else parent->first = n;
}

bool IsAncestor(const Node* ancestor, const Node* n) {
    for (const Node* p = n ? n->parent : nullptr; p; p = p->parent)
        if (p == ancestor) return true;
    return false;
}

void CollectSubtree(Node* n, std::vector<Node*>& out) {
    out.push_back(n);
    for (Node* c = n->first; c; c = c->next) CollectSubtree(c, out);
}

// ---- Selection and expanding ---------------------------------------------------------------

bool Expand(TreeView& tv, Node* n, UINT action, bool byUser);

bool Select(TreeView& tv, Node* n, UINT cause) {
    if (n == tv.selected) return true;
    Node* old = tv.selected;
    if (NotifyTree(tv, TVN_SELCHANGINGW, cause, old, n, POINT{0, 0})) return false;
    if (tv.dead || (n && !tv.Valid(n))) return false;
    if (tv.Valid(tv.selected)) tv.selected->state &= ~static_cast<UINT>(TVIS_SELECTED);
    old = tv.Valid(tv.selected) ? tv.selected : nullptr;
    tv.selected = n;
    if (n) {
        n->state |= TVIS_SELECTED;
        // An item inside a collapsed branch comes into view.
        for (Node* p = n->parent; p && p != &tv.root && !tv.dead; p = p->parent)
            if (!(p->state & TVIS_EXPANDED)) Expand(tv, p, TVE_EXPAND, false);
        if (tv.dead || !tv.Valid(n)) return false;
        int row = RowIndex(tv, n);
        if (row >= 0) ScrollIntoView(tv, row);
    }
    Invalidate(tv);
    NotifyTree(tv, TVN_SELCHANGEDW, cause, old, tv.Valid(n) ? n : nullptr, POINT{0, 0});
    return !tv.dead;
}

bool DeleteNode(TreeView& tv, Node* n);

bool Expand(TreeView& tv, Node* n, UINT action, bool byUser) {
    if (!tv.Valid(n)) return false;
    UINT code = action & TVE_TOGGLE;
    if (code == TVE_TOGGLE) code = (n->state & TVIS_EXPANDED) ? TVE_COLLAPSE : TVE_EXPAND;
    if (code == TVE_EXPAND) {
        if (n->state & TVIS_EXPANDED) return true;
        if (!HasChildren(tv, n) || tv.dead || !tv.Valid(n)) return false;
        // A branch announces its first expansion, and every one the user makes.
        bool notify = byUser || !(n->state & TVIS_EXPANDEDONCE);
        if (notify && NotifyTree(tv, TVN_ITEMEXPANDINGW, TVE_EXPAND, nullptr, n, POINT{0, 0})) return false;
        if (tv.dead || !tv.Valid(n)) return false;
        if (!n->first) {
            // The parent found nothing to show: the button goes.
            if (n->children != I_CHILDRENCALLBACK) n->children = 0;
            Invalidate(tv);
            return false;
        }
        n->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
        TreeChanged(tv);
        if (notify) NotifyTree(tv, TVN_ITEMEXPANDEDW, TVE_EXPAND, nullptr, n, POINT{0, 0});
        if (tv.dead || !tv.Valid(n)) return false;
        if (byUser) {
            // Show as much of the new branch as fits, keeping its parent in view.
            int last = RowIndex(tv, n->last), self = RowIndex(tv, n);
            if (last >= 0) ScrollIntoView(tv, last);
            if (self >= 0) ScrollIntoView(tv, self);
        }
        return true;
    }
    if (code != TVE_COLLAPSE) return false;
    bool reset = (action & TVE_COLLAPSERESET) != 0;
    if (!(n->state & TVIS_EXPANDED) && !reset) return false;
    bool notify = byUser && (n->state & TVIS_EXPANDED);
    if (notify && NotifyTree(tv, TVN_ITEMEXPANDINGW, TVE_COLLAPSE, nullptr, n, POINT{0, 0})) return false;
    if (tv.dead || !tv.Valid(n)) return false;
    n->state &= ~static_cast<UINT>(TVIS_EXPANDED);
    TreeChanged(tv);
    // The selection does not stay hidden inside a closed branch.
    if (tv.selected && IsAncestor(n, tv.selected)) {
        if (!Select(tv, n, TVC_UNKNOWN) && !tv.dead && tv.Valid(tv.selected) && IsAncestor(n, tv.selected)) {
            tv.selected->state &= ~static_cast<UINT>(TVIS_SELECTED);
            tv.selected = nullptr;
        }
        if (tv.dead || !tv.Valid(n)) return false;
    }
    if (reset) {
        while (n->first && !tv.dead && tv.Valid(n) && DeleteNode(tv, n->first)) {
        }
        if (tv.dead || !tv.Valid(n)) return false;
        n->state &= ~static_cast<UINT>(TVIS_EXPANDEDONCE);
    }
    if (notify) NotifyTree(tv, TVN_ITEMEXPANDEDW, TVE_COLLAPSE, nullptr, n, POINT{0, 0});
    return !tv.dead;
}

// ---- Inserting and deleting ---------------------------------------------------------------

void StoreText(Node* n, LPCWSTR text) {
    n->textCallback = text == LPSTR_TEXTCALLBACKW;
    n->text = n->textCallback ? std::u16string() : ReadText(text);
    n->width = -1;
}

HTREEITEM Insert(TreeView& tv, const TVINSERTSTRUCTW* in) {
    if (!in) return nullptr;
    Node* parent = NodeOf(tv, in->hParent, true);
    if (!parent || parent->deleting) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto node = std::make_unique<Node>();
    const TVITEMW& it = in->item;
    if (it.mask & TVIF_TEXT) StoreText(node.get(), it.pszText);
    if (it.mask & TVIF_IMAGE) node->image = it.iImage;
    if (it.mask & TVIF_SELECTEDIMAGE) node->selectedImage = it.iSelectedImage;
    if (it.mask & TVIF_PARAM) node->lParam = it.lParam;
    if (it.mask & TVIF_CHILDREN) node->children = it.cChildren == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (it.cChildren > 0 ? 1 : 0);
    // The selection and focus are the control's own; other bits are kept.
    if (it.mask & TVIF_STATE) node->state = it.state & it.stateMask & ~static_cast<UINT>(TVIS_SELECTED | TVIS_FOCUSED);
    Node* after = parent->last;
    HTREEITEM where = in->hInsertAfter;
    if (where == TVI_FIRST) {
        after = nullptr;
    } else if (where == TVI_SORT) {
        std::u16string text = node->textCallback ? std::u16string() : node->text;
        after = nullptr;
        for (Node* c = parent->first; c; c = c->next) {
            std::u16string other = NodeText(tv, c);
            if (tv.dead || !tv.Valid(c)) return nullptr;
            if (lstrcmpiW(other.c_str(), text.c_str()) > 0) break;
            after = c;
        }
    } else if (where && where != TVI_LAST && tv.Valid(where) && where->parent == parent) {
        after = where;
    }
    Node* raw = node.release();
    LinkAfter(parent, after, raw);
    tv.nodes.insert(raw);
    TreeChanged(tv);
    return raw;
}

// Deletes a node and everything below it: the parent hears TVN_DELETEITEM
// for each (the node first, then its branch, as the desktop does), then the
// nodes go.
void DeleteSubtree(TreeView& tv, Node* n) {
    std::vector<Node*> doomed;
    CollectSubtree(n, doomed);
    for (Node* d : doomed) d->deleting = true;
    for (Node* d : doomed) {
        if (tv.dead) break;
        NotifyTree(tv, TVN_DELETEITEMW, TVC_UNKNOWN, d, nullptr, POINT{0, 0});
    }
    Node* parent = n->parent;
    if (!tv.dead && tv.selected && tv.selected->deleting) {
        // The selection moves to a neighbour, or up to the parent.
        Node* next = n->next;
        while (next && next->deleting) next = next->next;
        Node* prev = n->prev;
        while (prev && prev->deleting) prev = prev->prev;
        Node* replacement = next ? next : prev ? prev : (parent != &tv.root ? parent : nullptr);
        Select(tv, replacement, TVC_UNKNOWN);
    }
    if (tv.selected && tv.selected->deleting) tv.selected = nullptr;
    if (tv.dropHilite && tv.dropHilite->deleting) tv.dropHilite = nullptr;
    if (tv.pen.item && tv.pen.item->deleting) tv.pen.item = nullptr;
    Unlink(n);
    for (Node* d : doomed) {
        tv.nodes.erase(d);
        delete d;
    }
    if (parent && parent != &tv.root && !parent->first) parent->state &= ~static_cast<UINT>(TVIS_EXPANDED);
    TreeChanged(tv);
}

// Whether a branch holds a node that an outer deletion is taking away (a
// parent deleting from inside TVN_DELETEITEM); such a branch is left alone.
bool Busy(Node* n) {
    if (n->deleting) return true;
    for (Node* c = n->first; c; c = c->next)
        if (Busy(c)) return true;
    return false;
}

bool DeleteNode(TreeView& tv, Node* n) {
    if (Busy(n)) return false;
    DeleteSubtree(tv, n);
    return true;
}

bool DeleteItem(TreeView& tv, HTREEITEM h) {
    Node* n = NodeOf(tv, h, true);
    if (!n) return false;
    if (n != &tv.root) return DeleteNode(tv, n);
    // Everything: the selection goes without a question.
    if (tv.Valid(tv.selected)) tv.selected->state &= ~static_cast<UINT>(TVIS_SELECTED);
    tv.selected = nullptr;
    while (tv.root.first && DeleteNode(tv, tv.root.first)) {
    }
    tv.top = 0;
    tv.xOffset = 0;
    return tv.root.first == nullptr;
}

// ---- Reading and changing items -----------------------------------------------------------

bool GetItem(TreeView& tv, TVITEMW* out) {
    if (!out || !tv.Valid(out->hItem)) return false;
    Node* n = out->hItem;
    if (out->mask & TVIF_TEXT) {
        std::u16string text = NodeText(tv, n);
        if (tv.dead || !tv.Valid(n)) return false;
        if (out->pszText != LPSTR_TEXTCALLBACKW) CopyText(text, out->pszText, out->cchTextMax);
    }
    if (out->mask & TVIF_IMAGE) out->iImage = NodeImage(tv, n, false);
    if (tv.dead || !tv.Valid(n)) return false;
    if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = NodeImage(tv, n, true);
    if (tv.dead || !tv.Valid(n)) return false;
    if (out->mask & TVIF_PARAM) out->lParam = n->lParam;
    if (out->mask & TVIF_STATE) out->state = n->state;
    if (out->mask & TVIF_CHILDREN) out->cChildren = n->children == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (n->first ? 1 : n->children);
    return true;
}

bool SetItem(TreeView& tv, const TVITEMW* in) {
    if (!in || !tv.Valid(in->hItem)) return false;
    Node* n = in->hItem;
    if (in->mask & TVIF_TEXT) StoreText(n, in->pszText);
    if (in->mask & TVIF_IMAGE) n->image = in->iImage;
    if (in->mask & TVIF_SELECTEDIMAGE) n->selectedImage = in->iSelectedImage;
    if (in->mask & TVIF_PARAM) n->lParam = in->lParam;
    if (in->mask & TVIF_CHILDREN) n->children = in->cChildren == I_CHILDRENCALLBACK ? I_CHILDRENCALLBACK : (in->cChildren > 0 ? 1 : 0);
    if (in->mask & TVIF_STATE) {
        // Expanding through the state bits shows or hides the branch without
        // notifications; the selection itself stays with TVM_SELECTITEM.
        UINT mask = in->stateMask & ~static_cast<UINT>(TVIS_SELECTED | TVIS_FOCUSED);
        n->state = (n->state & ~mask) | (in->state & mask);
        n->width = -1;
    }
    TreeChanged(tv);
    return true;
}

HTREEITEM GetNextItem(TreeView& tv, UINT code, HTREEITEM h) {
    const std::vector<Row>& rows = VisibleRows(tv);
    switch (code) {
        case TVGN_ROOT: return tv.root.first;
        case TVGN_CARET: return tv.selected;
        case TVGN_DROPHILITE: return tv.dropHilite;
        case TVGN_FIRSTVISIBLE: {
            ComputeLayout(tv);
            return tv.top < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(tv.top)].node : nullptr;
        }
        case TVGN_LASTVISIBLE: return rows.empty() ? nullptr : rows.back().node;
        default: break;
    }
    Node* n = NodeOf(tv, h, code == TVGN_CHILD);
    if (!n) return nullptr;
    switch (code) {
        case TVGN_NEXT: return n->next;
        case TVGN_PREVIOUS: return n->prev;
        case TVGN_PARENT: return n->parent == &tv.root ? nullptr : n->parent;
        case TVGN_CHILD: return n->first;
        case TVGN_NEXTVISIBLE:
        case TVGN_PREVIOUSVISIBLE: {
            int row = RowIndex(tv, n);
            if (row < 0) return nullptr;
            row += code == TVGN_NEXTVISIBLE ? 1 : -1;
            return row >= 0 && row < static_cast<int>(tv.rows.size()) ? tv.rows[static_cast<size_t>(row)].node : nullptr;
        }
        default: return nullptr;
    }
}

bool SelectItem(TreeView& tv, UINT code, HTREEITEM h) {
    Node* n = h ? NodeOf(tv, h, false) : nullptr;
    if (h && !n) return false;
    switch (code) {
        case TVGN_CARET: return Select(tv, n, TVC_UNKNOWN);
        case TVGN_DROPHILITE:
            if (tv.Valid(tv.dropHilite)) tv.dropHilite->state &= ~static_cast<UINT>(TVIS_DROPHILITED);
            tv.dropHilite = n;
            if (n) n->state |= TVIS_DROPHILITED;
            Invalidate(tv);
            return true;
        case TVGN_FIRSTVISIBLE: {
            if (!n) return false;
            for (Node* p = n->parent; p && p != &tv.root && !tv.dead; p = p->parent)
                if (!(p->state & TVIS_EXPANDED)) Expand(tv, p, TVE_EXPAND, false);
            if (tv.dead || !tv.Valid(n)) return false;
            int row = RowIndex(tv, n);
            if (row < 0) return false;
            ScrollTo(tv, true, row);
            return true;
        }
        default: return false;
    }
}

bool EnsureVisible(TreeView& tv, Node* n) {
    for (Node* p = n->parent; p && p != &tv.root && !tv.dead; p = p->parent)
        if (!(p->state & TVIS_EXPANDED)) Expand(tv, p, TVE_EXPAND, false);
    if (tv.dead || !tv.Valid(n)) return false;
    int row = RowIndex(tv, n);
    return row >= 0 && ScrollIntoView(tv, row);
}

template <class Less>
void MergeSort(std::vector<Node*>& v, Less less) {
    std::vector<Node*> tmp(v.size());
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

// Sorts the children of a node (and their children when `recurse`). The
// comparison may call back into the control: the new order is applied only
// when the children are still the ones that were sorted.
bool SortChildren(TreeView& tv, Node* parent, bool recurse, PFNTVCOMPARE compare, LPARAM param) {
    std::vector<Node*> kids;
    for (Node* c = parent->first; c; c = c->next) kids.push_back(c);
    std::vector<std::u16string> texts;
    if (!compare) {
        for (Node* c : kids) texts.push_back(NodeText(tv, c));
        if (tv.dead) return false;
    }
    std::vector<Node*> sorted = kids;
    std::unordered_map<Node*, size_t> at;
    for (size_t i = 0; i < kids.size(); ++i) at[kids[i]] = i;
    MergeSort(sorted, [&](Node* a, Node* b) {
        if (compare) return compare(a->lParam, b->lParam, param) < 0;
        return lstrcmpiW(texts[at[a]].c_str(), texts[at[b]].c_str()) < 0;
    });
    if (tv.dead) return false;
    std::vector<Node*> now;
    for (Node* c = parent->first; c; c = c->next) now.push_back(c);
    if (now != kids) return false;
    parent->first = parent->last = nullptr;
    for (Node* c : sorted) {
        c->prev = c->next = nullptr;
        LinkAfter(parent, parent->last, c);
    }
    TreeChanged(tv);
    if (recurse)
        for (Node* c : sorted)
            if (!tv.dead && tv.Valid(c) && c->first) SortChildren(tv, c, true, compare, param);
    return !tv.dead;
}

// ---- Pen and keys ------------------------------------------------------------------------

void StopTimers(TreeView& tv) {
    KillTimer(tv.hwnd, kHoldTimer);
    KillTimer(tv.hwnd, kScrollTimer);
}

void CancelPen(TreeView& tv) {
    if (tv.pen.track == PenTrack::None && !tv.pen.holdPending) return;
    StopTimers(tv);
    tv.pen.track = PenTrack::None;
    tv.pen.holdPending = false;
    Invalidate(tv);
}

void OnPenDown(TreeView& tv, POINT p, bool doubleTap) {
    HWND hwnd = tv.hwnd;
    if (GetFocus() != hwnd) SetFocus(hwnd);
    if (tv.dead) return;
    StopTimers(tv);
    tv.pen = PenState{};
    tv.pen.down = p;
    tv.pen.doubleTap = doubleTap;
    Layout l = ComputeLayout(tv);
    for (const InnerScrollBar* bar : {&l.vbar, &l.hbar}) {
        if (!bar->Shown() || !PtInRect(&bar->rect, p)) continue;
        tv.pen.track = PenTrack::Scroll;
        int pos = BeginScrollTracking(tv.pen.scroll, *bar, p);
        SetCapture(hwnd);
        ScrollTo(tv, bar->vertical, pos);
        ScrollPart part = tv.pen.scroll.part;
        if (part != ScrollPart::Thumb && part != ScrollPart::None) SetTimer(hwnd, kScrollTimer, kScrollDelay, nullptr);
        Invalidate(tv);
        return;
    }
    TVHITTESTINFO hit = HitTest(tv, l, p);
    if (tv.dead) return;
    if (doubleTap) {
        if (NotifySimple(tv, NM_DBLCLK) == 0 && !tv.dead && tv.Valid(hit.hItem) &&
            (hit.flags & (TVHT_ONITEM | TVHT_ONITEMBUTTON)))
            Expand(tv, hit.hItem, TVE_TOGGLE, true);
        return;
    }
    if (hit.flags & TVHT_ONITEMBUTTON) {
        if (NotifySimple(tv, NM_CLICK) == 0 && !tv.dead && tv.Valid(hit.hItem))
            Expand(tv, hit.hItem, TVE_TOGGLE, true);
        return;
    }
    tv.pen.track = PenTrack::Items;
    tv.pen.item = hit.hItem;
    tv.pen.flags = hit.flags;
    SetCapture(hwnd);
    tv.pen.holdPending = true;
    SetTimer(hwnd, kHoldTimer, kHoldMs, nullptr);
}

void OnPenMove(TreeView& tv, POINT p) {
    if (tv.pen.track == PenTrack::Scroll) {
        Layout l = ComputeLayout(tv);
        const InnerScrollBar& bar = tv.pen.scroll.vertical ? l.vbar : l.hbar;
        int pos = ContinueScrollTracking(tv.pen.scroll, bar, p, false);
        if (pos != bar.pos) ScrollTo(tv, bar.vertical, pos);
        return;
    }
    if (tv.pen.track != PenTrack::Items || tv.pen.moved || !MovedFar(tv.pen.down, p)) return;
    tv.pen.moved = true;
    if (tv.pen.holdPending) {
        KillTimer(tv.hwnd, kHoldTimer);
        tv.pen.holdPending = false;
    }
    if (tv.Valid(tv.pen.item) && (tv.pen.flags & TVHT_ONITEM) && !(tv.Style() & TVS_DISABLEDRAGDROP))
        NotifyTree(tv, TVN_BEGINDRAGW, 0, nullptr, tv.pen.item, tv.pen.down);
}

void OnPenUp(TreeView& tv, POINT) {
    PenState was = tv.pen;
    tv.pen.track = PenTrack::None;
    tv.pen.holdPending = false;
    StopTimers(tv);
    if (GetCapture() == tv.hwnd) ReleaseCapture();
    if (was.track == PenTrack::Scroll) {
        Invalidate(tv);
        return;
    }
    if (was.track != PenTrack::Items || was.holdFired || was.moved) return;
    // NM_CLICK comes first; a parent that answers it keeps the selection.
    if (NotifySimple(tv, NM_CLICK) != 0 || tv.dead) return;
    Node* n = tv.pen.item;
    bool onItem = (was.flags & TVHT_ONITEM) || ((was.flags & TVHT_ONITEMRIGHT) && (tv.Style() & TVS_FULLROWSELECT));
    if (tv.Valid(n) && onItem) Select(tv, n, TVC_BYMOUSE);
}

void OnTimer(TreeView& tv, UINT_PTR id) {
    if (id == kHoldTimer) {
        KillTimer(tv.hwnd, kHoldTimer);
        if (tv.pen.track != PenTrack::Items || !tv.pen.holdPending) return;
        tv.pen.holdPending = false;
        tv.pen.holdFired = true;
        tv.pen.track = PenTrack::None;
        if (GetCapture() == tv.hwnd) ReleaseCapture();
        NotifySimple(tv, NM_RCLICK);
        return;
    }
    if (id == kScrollTimer) {
        if (tv.pen.track != PenTrack::Scroll) {
            KillTimer(tv.hwnd, kScrollTimer);
            return;
        }
        Layout l = ComputeLayout(tv);
        const InnerScrollBar& bar = tv.pen.scroll.vertical ? l.vbar : l.hbar;
        int pos = ContinueScrollTracking(tv.pen.scroll, bar, tv.pen.scroll.pen, true);
        if (pos != bar.pos) ScrollTo(tv, bar.vertical, pos);
        SetTimer(tv.hwnd, kScrollTimer, kScrollRate, nullptr);
    }
}

void OnKeyDown(TreeView& tv, UINT vk) {
    NMTVKEYDOWN key = {};
    key.wVKey = static_cast<WORD>(vk);
    SendNotify(tv.hwnd, TVN_KEYDOWN, &key.hdr);
    if (tv.dead) return;
    if (vk == VK_RETURN) {
        NotifySimple(tv, NM_RETURN);
        return;
    }
    const std::vector<Row>& rows = VisibleRows(tv);
    if (rows.empty()) return;
    Node* cur = tv.Valid(tv.selected) ? tv.selected : nullptr;
    int row = cur ? RowIndex(tv, cur) : -1;
    int count = static_cast<int>(tv.rows.size());
    Node* next = nullptr;
    switch (vk) {
        case VK_UP: next = tv.rows[static_cast<size_t>(std::max(0, row - 1))].node; break;
        case VK_DOWN: next = tv.rows[static_cast<size_t>(std::min(count - 1, row + 1))].node; break;
        case VK_HOME: next = tv.rows.front().node; break;
        case VK_END: next = tv.rows.back().node; break;
        case VK_PRIOR:
        case VK_NEXT: {
            int page = std::max(1, ComputeLayout(tv).vbar.page - 1);
            if (tv.dead || tv.rows.empty()) return;
            count = static_cast<int>(tv.rows.size());
            int target = vk == VK_PRIOR ? row - page : row + page;
            next = tv.rows[static_cast<size_t>(std::clamp(target, 0, count - 1))].node;
            break;
        }
        case VK_LEFT:
            if (!cur) break;
            if (cur->state & TVIS_EXPANDED) {
                Expand(tv, cur, TVE_COLLAPSE, true);
                return;
            }
            next = cur->parent != &tv.root ? cur->parent : cur;
            break;
        case VK_RIGHT:
            if (!cur) break;
            if (!HasChildren(tv, cur) || tv.dead) return;
            if (!(cur->state & TVIS_EXPANDED)) {
                Expand(tv, cur, TVE_EXPAND, true);
                return;
            }
            next = cur->first;
            break;
        case VK_ADD:
            if (cur) Expand(tv, cur, TVE_EXPAND, true);
            return;
        case VK_SUBTRACT:
            if (cur) Expand(tv, cur, TVE_COLLAPSE, true);
            return;
        default: return;
    }
    if (tv.dead) return;
    if (!cur) next = tv.rows.front().node;
    if (next && tv.Valid(next)) {
        Select(tv, next, TVC_BYKEYBOARD);
        if (!tv.dead && tv.Valid(next)) EnsureVisible(tv, next);
    }
}

void OnChar(TreeView& tv, WCHAR c) {
    if (c < 0x20) return;
    DWORD now = GetTickCount();
    if (now - tv.typedAt > 1000) tv.typed.clear();
    tv.typedAt = now;
    tv.typed.push_back(c);
    std::vector<Node*> candidates;
    for (const Row& r : VisibleRows(tv)) candidates.push_back(r.node);
    int n = static_cast<int>(candidates.size());
    if (n == 0) return;
    int cur = tv.Valid(tv.selected) ? RowIndex(tv, tv.selected) : -1;
    int start = cur >= 0 ? cur + (tv.typed.size() == 1 ? 1 : 0) : 0;
    for (int k = 0; k < n && !tv.dead; ++k) {
        Node* node = candidates[static_cast<size_t>((start + k) % n)];
        if (!tv.Valid(node)) continue;
        std::u16string text = NodeText(tv, node);
        if (text.size() < tv.typed.size()) continue;
        text.resize(tv.typed.size());
        if (lstrcmpiW(text.c_str(), tv.typed.c_str()) != 0) continue;
        if (tv.Valid(node)) Select(tv, node, TVC_BYKEYBOARD);
        return;
    }
}

// ---- Window procedure ---------------------------------------------------------------------

void FinalRelease(HWND hwnd) {
    std::shared_ptr<TreeView> tv;
    {
        std::lock_guard<std::mutex> guard(TreeLock());
        auto it = Trees().find(hwnd);
        if (it == Trees().end()) return;
        tv = it->second;
        Trees().erase(it);
    }
    tv->dead = true;
    std::vector<Node*> all;
    for (Node* c = tv->root.first; c; c = c->next) CollectSubtree(c, all);
    for (Node* n : all) delete n;
    tv->nodes.clear();
    tv->root.first = tv->root.last = nullptr;
    tv->selected = tv->dropHilite = tv->pen.item = nullptr;
    tv->rows.clear();
    if (tv->boldFont) DeleteObject(tv->boldFont);
    tv->boldFont = nullptr;
}

LRESULT Handle(TreeView& tv, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = tv.hwnd;
    switch (message) {
        case WM_DESTROY:
            CancelPen(tv);
            DeleteItem(tv, TVI_ROOT);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            if (dc) Paint(tv, dc);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: Paint(tv, reinterpret_cast<HDC>(wParam)); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_SIZE:
        case WM_STYLECHANGED:
        case WM_ENABLE:
        case WM_SYSCOLORCHANGE: Invalidate(tv); return 0;
        case WM_SETFONT:
            tv.font = reinterpret_cast<HFONT>(wParam);
            if (tv.boldFont) DeleteObject(tv.boldFont);
            tv.boldFont = nullptr;
            for (Node* n : tv.nodes) n->width = -1;
            if (LOWORD(lParam)) Invalidate(tv);
            return 0;
        case WM_GETFONT: return reinterpret_cast<LRESULT>(tv.font);
        case WM_SETFOCUS:
            tv.hasFocus = true;
            Invalidate(tv);
            NotifySimple(tv, NM_SETFOCUS);
            return 0;
        case WM_KILLFOCUS:
            tv.hasFocus = false;
            Invalidate(tv);
            NotifySimple(tv, NM_KILLFOCUS);
            return 0;
        case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
        case WM_KEYDOWN: OnKeyDown(tv, static_cast<UINT>(wParam)); return 0;
        case WM_CHAR: OnChar(tv, static_cast<WCHAR>(wParam)); return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnPenDown(tv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, message == WM_LBUTTONDBLCLK);
            return 0;
        case WM_MOUSEMOVE: OnPenMove(tv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
        case WM_LBUTTONUP: OnPenUp(tv, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
        case WM_TIMER: OnTimer(tv, wParam); return 0;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd) CancelPen(tv);
            return 0;
        case WM_CANCELMODE:
            CancelPen(tv);
            if (GetCapture() == hwnd) ReleaseCapture();
            return 0;
        case WM_SETREDRAW:
            DefWindowProcW(hwnd, message, wParam, lParam);
            if (wParam) Invalidate(tv);
            return 0;
        case WM_NOTIFYFORMAT: return 2;  // NFR_UNICODE

        case TVM_INSERTITEMW: return reinterpret_cast<LRESULT>(Insert(tv, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
        case TVM_DELETEITEM: return DeleteItem(tv, reinterpret_cast<HTREEITEM>(lParam));
        case TVM_EXPAND: {
            Node* n = NodeOf(tv, reinterpret_cast<HTREEITEM>(lParam), false);
            return n ? Expand(tv, n, static_cast<UINT>(wParam), false) : FALSE;
        }
        case TVM_GETITEMRECT: {
            auto* r = reinterpret_cast<RECT*>(lParam);
            if (!r) return FALSE;
            HTREEITEM h = nullptr;
            std::memcpy(&h, r, sizeof(h));
            if (!tv.Valid(h)) return FALSE;
            Layout l = ComputeLayout(tv);
            int row = RowIndex(tv, h);
            if (row < 0 || tv.dead) return FALSE;
            RowParts p = PartsOf(tv, l, row);
            *r = wParam ? p.label : RECT{l.area.left, p.row.top, l.area.right, p.row.bottom};
            return TRUE;
        }
        case TVM_GETCOUNT: return static_cast<LRESULT>(tv.nodes.size());
        case TVM_GETINDENT: return ComputeLayout(tv).indent;
        case TVM_SETINDENT:
            tv.indent = std::max(0, static_cast<int>(wParam));
            Invalidate(tv);
            return TRUE;
        case TVM_GETIMAGELIST:
            return wParam == TVSIL_NORMAL || wParam == TVSIL_STATE ? reinterpret_cast<LRESULT>(tv.images[wParam]) : 0;
        case TVM_SETIMAGELIST: {
            if (wParam != TVSIL_NORMAL && wParam != TVSIL_STATE) return 0;
            HIMAGELIST old = tv.images[wParam];
            tv.images[wParam] = reinterpret_cast<HIMAGELIST>(lParam);
            Invalidate(tv);
            return reinterpret_cast<LRESULT>(old);
        }
        case TVM_GETNEXTITEM:
            return reinterpret_cast<LRESULT>(GetNextItem(tv, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
        case TVM_SELECTITEM: return SelectItem(tv, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
        case TVM_GETITEMW: return GetItem(tv, reinterpret_cast<TVITEMW*>(lParam));
        case TVM_SETITEMW: return SetItem(tv, reinterpret_cast<const TVITEMW*>(lParam));
        case TVM_GETITEMSTATE: {
            auto h = reinterpret_cast<HTREEITEM>(wParam);
            return tv.Valid(h) ? (h->state & static_cast<UINT>(lParam)) : 0;
        }
        case TVM_GETVISIBLECOUNT: {
            Layout l = ComputeLayout(tv);
            return (l.area.bottom - l.area.top) / l.itemHeight;
        }
        case TVM_HITTEST: {
            auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
            if (!info) return 0;
            Layout l = ComputeLayout(tv);
            TVHITTESTINFO r = HitTest(tv, l, info->pt);
            info->flags = r.flags;
            info->hItem = r.hItem;
            return reinterpret_cast<LRESULT>(r.hItem);
        }
        case TVM_ENSUREVISIBLE: {
            Node* n = NodeOf(tv, reinterpret_cast<HTREEITEM>(lParam), false);
            return n ? EnsureVisible(tv, n) : FALSE;
        }
        case TVM_SORTCHILDREN: {
            Node* n = NodeOf(tv, reinterpret_cast<HTREEITEM>(lParam), true);
            return n ? SortChildren(tv, n, wParam != 0, nullptr, 0) : FALSE;
        }
        case TVM_SORTCHILDRENCB: {
            const auto* sort = reinterpret_cast<const TVSORTCB*>(lParam);
            if (!sort || !sort->lpfnCompare) return FALSE;
            Node* n = NodeOf(tv, sort->hParent, true);
            return n ? SortChildren(tv, n, wParam != 0, sort->lpfnCompare, sort->lParam) : FALSE;
        }
        case TVM_SETITEMHEIGHT: {
            int old = ComputeLayout(tv).itemHeight;
            int cy = static_cast<int>(static_cast<SHORT>(LOWORD(wParam)));
            tv.itemHeight = cy > 0 ? cy : 0;
            Invalidate(tv);
            return old;
        }
        case TVM_GETITEMHEIGHT: return ComputeLayout(tv).itemHeight;
        case TVM_SETBKCOLOR: {
            COLORREF old = tv.bkColor;
            tv.bkColor = static_cast<COLORREF>(lParam);
            Invalidate(tv);
            return static_cast<LRESULT>(static_cast<LONG>(old));
        }
        case TVM_SETTEXTCOLOR: {
            COLORREF old = tv.textColor;
            tv.textColor = static_cast<COLORREF>(lParam);
            Invalidate(tv);
            return static_cast<LRESULT>(static_cast<LONG>(old));
        }
        case TVM_GETBKCOLOR: return static_cast<LRESULT>(static_cast<LONG>(tv.bkColor));
        case TVM_GETTEXTCOLOR: return static_cast<LRESULT>(static_cast<LONG>(tv.textColor));
        case TVM_GETEDITCONTROL:
        case TVM_EDITLABELW: return 0;
        case TVM_ENDEDITLABELNOW: return FALSE;
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK TreeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        auto tv = std::make_shared<TreeView>();
        tv->hwnd = hwnd;
        tv->root.state = TVIS_EXPANDED;
        std::lock_guard<std::mutex> guard(TreeLock());
        Trees()[hwnd] = tv;
        return 0;
    }
    if (message == WM_NCDESTROY) {
        FinalRelease(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    std::shared_ptr<TreeView> tv = Lookup(hwnd);
    if (!tv || tv->dead) return DefWindowProcW(hwnd, message, wParam, lParam);
    return Handle(*tv, message, wParam, lParam);
}

}  // namespace

std::u16string NodeText(TreeView& tv, Node* n) {
    if (!n->textCallback) return n->text;
    WCHAR buffer[260];
    NMTVDISPINFOW di = AskDispInfo(tv, n, TVIF_TEXT, buffer, 260);
    std::u16string text;
    if (di.item.pszText && di.item.pszText != LPSTR_TEXTCALLBACKW)
        text = di.item.pszText == buffer ? ReadText(buffer, 259) : ReadText(di.item.pszText);
    if (!tv.dead && tv.Valid(n) && (di.item.mask & TVIF_DI_SETITEM)) {
        n->text = text;
        n->textCallback = false;
        n->width = -1;
    }
    return text;
}

int NodeImage(TreeView& tv, Node* n, bool selectedImage) {
    int image = selectedImage ? n->selectedImage : n->image;
    if (image != I_IMAGECALLBACK) return image;
    NMTVDISPINFOW di = AskDispInfo(tv, n, selectedImage ? TVIF_SELECTEDIMAGE : TVIF_IMAGE, nullptr, 0);
    image = selectedImage ? di.item.iSelectedImage : di.item.iImage;
    if (!tv.dead && tv.Valid(n) && (di.item.mask & TVIF_DI_SETITEM)) {
        if (selectedImage) n->selectedImage = image;
        else n->image = image;
    }
    return image;
}

bool HasChildren(TreeView& tv, Node* n) {
    if (n->first) return true;
    if (n->children != I_CHILDRENCALLBACK) return n->children > 0;
    NMTVDISPINFOW di = AskDispInfo(tv, n, TVIF_CHILDREN, nullptr, 0);
    int children = di.item.cChildren;
    if (!tv.dead && tv.Valid(n) && (di.item.mask & TVIF_DI_SETITEM)) n->children = children > 0 ? 1 : 0;
    return children > 0;
}

void Invalidate(TreeView& tv) { InvalidateRect(tv.hwnd, nullptr, TRUE); }

}  // namespace commctl::treeview

namespace commctl {

void RegisterTreeViewClass() {
    WNDCLASSW wc = {};
    wc.style = CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = treeview::TreeViewProc;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = WC_TREEVIEWW;
    RegisterClassW(&wc);
}

}  // namespace commctl
