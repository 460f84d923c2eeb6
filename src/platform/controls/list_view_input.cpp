// The list view's pen and keys. A pen-down selects at once (as the desktop
// does) and captures the pen; lifting it sends NM_CLICK, unless it moved far
// (LVN_BEGINDRAG) or was held for the hold time, which sends NM_RCLICK at the
// moment the time is up. The header sends LVN_COLUMNCLICK when the pen goes
// up on the column it went down on; its dividers drag column widths. The
// inner scroll bars step on a timer while held.
#include <algorithm>

#include "controls/list_view.h"

namespace commctl::listview {

namespace {

bool KeyDown(int vk) { return GetKeyState(vk) < 0; }

// The header column under a client x, or -1; *divider tells whether x is on
// that column's right edge (where dragging sizes it).
int HeaderColumnAt(const ListView& lv, const Layout& l, int x, bool* divider) {
    int content = x - l.area.left + lv.xOffset, left = 0;
    *divider = false;
    int found = -1;
    for (int c : lv.order) {
        int width = lv.columns[static_cast<size_t>(c)].width;
        int right = left + width;
        if (std::abs(content - right) <= kDividerSlop && width >= 0) {
            *divider = true;
            return c;
        }
        if (content >= left && content < right && found < 0) found = c;
        left = right;
    }
    return found;
}

const InnerScrollBar& TrackedBar(const Layout& l, const ListView& lv) {
    return lv.pen.scroll.vertical ? l.vbar : l.hbar;
}

void StopTimers(ListView& lv) {
    KillTimer(lv.hwnd, kHoldTimer);
    KillTimer(lv.hwnd, kScrollTimer);
}

void Activate(ListView& lv, int item, int subItem, POINT p) {
    if (lv.Valid(item)) NotifyActivate(lv, LVN_ITEMACTIVATE, item, subItem, p);
}

void SelectByPen(ListView& lv, int item) {
    bool multi = !(lv.Style() & LVS_SINGLESEL);
    if (item < 0) {
        if (!(multi && KeyDown(VK_CONTROL))) SelectOnly(lv, -1);
        return;
    }
    if (multi && KeyDown(VK_CONTROL)) {
        UINT s = lv.items[static_cast<size_t>(item)].state;
        SetItemState(lv, item, (s & LVIS_SELECTED) ? LVIS_FOCUSED : (LVIS_SELECTED | LVIS_FOCUSED),
                     LVIS_SELECTED | LVIS_FOCUSED);
        if (!lv.dead) lv.mark = item;
    } else if (multi && KeyDown(VK_SHIFT)) {
        SelectRange(lv, item);
    } else {
        SelectOnly(lv, item);
    }
}

}  // namespace

void OnPenDown(ListView& lv, POINT p, bool doubleTap) {
    HWND hwnd = lv.hwnd;
    if (GetFocus() != hwnd) SetFocus(hwnd);
    if (lv.dead) return;
    StopTimers(lv);
    lv.pen = PenState{};
    lv.pen.down = p;
    lv.pen.doubleTap = doubleTap;
    Layout l = ComputeLayout(lv);
    for (const InnerScrollBar* bar : {&l.vbar, &l.hbar}) {
        if (!bar->Shown() || !PtInRect(&bar->rect, p)) continue;
        lv.pen.track = PenTrack::Scroll;
        int pos = BeginScrollTracking(lv.pen.scroll, *bar, p);
        SetCapture(hwnd);
        ScrollTo(lv, bar->vertical, pos);
        ScrollPart part = lv.pen.scroll.part;
        if (part != ScrollPart::Thumb && part != ScrollPart::None) SetTimer(hwnd, kScrollTimer, kScrollDelay, nullptr);
        Invalidate(lv);
        return;
    }
    if (l.mode == LVS_REPORT && l.headerHeight > 0 && p.y < l.area.top) {
        bool divider = false;
        int column = HeaderColumnAt(lv, l, p.x, &divider);
        if (column < 0) return;
        if (divider) {
            lv.pen.track = PenTrack::Divider;
            lv.pen.column = column;
            lv.pen.startWidth = lv.columns[static_cast<size_t>(column)].width;
        } else if (!(lv.Style() & LVS_NOSORTHEADER)) {
            lv.pen.track = PenTrack::Header;
            lv.pen.column = column;
            lv.pen.inside = true;
            Invalidate(lv);
        } else {
            return;
        }
        SetCapture(hwnd);
        return;
    }
    LVHITTESTINFO hit = HitTest(lv, l, p, false);
    LVHITTESTINFO sub = HitTest(lv, l, p, true);
    lv.pen.item = hit.iItem;
    lv.pen.subItem = sub.iItem >= 0 ? sub.iSubItem : 0;
    lv.pen.track = PenTrack::Items;
    SelectByPen(lv, hit.iItem);
    if (lv.dead) return;
    if (lv.Valid(lv.pen.item)) EnsureVisible(lv, lv.pen.item, false);
    if (doubleTap) {
        int item = lv.pen.item, subItem = lv.pen.subItem;
        NotifyActivate(lv, NM_DBLCLK, item, subItem, p);
        if (!lv.dead) Activate(lv, item, subItem, p);
        if (!lv.dead && lv.pen.track == PenTrack::Items) SetCapture(hwnd);
        return;
    }
    SetCapture(hwnd);
    lv.pen.holdPending = true;
    SetTimer(hwnd, kHoldTimer, kHoldMs, nullptr);
}

void OnPenMove(ListView& lv, POINT p) {
    switch (lv.pen.track) {
        case PenTrack::Scroll: {
            Layout l = ComputeLayout(lv);
            const InnerScrollBar& bar = TrackedBar(l, lv);
            int pos = ContinueScrollTracking(lv.pen.scroll, bar, p, false);
            if (pos != bar.pos) ScrollTo(lv, bar.vertical, pos);
            return;
        }
        case PenTrack::Header: {
            Layout l = ComputeLayout(lv);
            bool divider = false;
            bool inside = p.y >= 0 && p.y < l.area.top && HeaderColumnAt(lv, l, p.x, &divider) == lv.pen.column;
            if (inside != lv.pen.inside) {
                lv.pen.inside = inside;
                Invalidate(lv);
            }
            return;
        }
        case PenTrack::Divider: {
            int width = std::max(0, lv.pen.startWidth + p.x - lv.pen.down.x);
            if (lv.pen.column >= 0 && lv.pen.column < static_cast<int>(lv.columns.size()) &&
                lv.columns[static_cast<size_t>(lv.pen.column)].width != width) {
                lv.columns[static_cast<size_t>(lv.pen.column)].width = width;
                Invalidate(lv);
            }
            return;
        }
        case PenTrack::Items:
            if (lv.pen.moved || lv.pen.doubleTap || !MovedFar(lv.pen.down, p)) return;
            lv.pen.moved = true;
            if (lv.pen.holdPending) {
                KillTimer(lv.hwnd, kHoldTimer);
                lv.pen.holdPending = false;
            }
            if (lv.Valid(lv.pen.item) && !lv.pen.holdFired)
                NotifyListView(lv, LVN_BEGINDRAG, lv.pen.item, 0, lv.pen.down);
            return;
        default: return;
    }
}

void OnPenUp(ListView& lv, POINT p) {
    PenState was = lv.pen;
    lv.pen.track = PenTrack::None;
    lv.pen.holdPending = false;
    StopTimers(lv);
    if (GetCapture() == lv.hwnd) ReleaseCapture();
    switch (was.track) {
        case PenTrack::Scroll: Invalidate(lv); return;
        case PenTrack::Header: {
            Invalidate(lv);
            Layout l = ComputeLayout(lv);
            bool divider = false;
            if (was.inside && p.y >= 0 && p.y < l.area.top && HeaderColumnAt(lv, l, p.x, &divider) == was.column)
                NotifyListView(lv, LVN_COLUMNCLICK, -1, was.column, POINT{0, 0});
            return;
        }
        case PenTrack::Items:
            if (was.holdFired || was.moved || was.doubleTap) return;
            NotifyActivate(lv, NM_CLICK, lv.pen.item, was.subItem, p);
            if (!lv.dead && (lv.exStyle & LVS_EX_ONECLICKACTIVATE)) Activate(lv, lv.pen.item, was.subItem, p);
            return;
        default: return;
    }
}

void OnTimer(ListView& lv, UINT_PTR id) {
    if (id == kHoldTimer) {
        KillTimer(lv.hwnd, kHoldTimer);
        if (lv.pen.track != PenTrack::Items || !lv.pen.holdPending) return;
        lv.pen.holdPending = false;
        lv.pen.holdFired = true;
        // The parent usually opens a menu now: the pen is let go first, and
        // the pen-up that follows is not a tap.
        lv.pen.track = PenTrack::None;
        if (GetCapture() == lv.hwnd) ReleaseCapture();
        NotifyActivate(lv, NM_RCLICK, lv.pen.item, lv.pen.subItem, lv.pen.down);
        return;
    }
    if (id == kScrollTimer) {
        if (lv.pen.track != PenTrack::Scroll) {
            KillTimer(lv.hwnd, kScrollTimer);
            return;
        }
        Layout l = ComputeLayout(lv);
        const InnerScrollBar& bar = TrackedBar(l, lv);
        int pos = ContinueScrollTracking(lv.pen.scroll, bar, lv.pen.scroll.pen, true);
        if (pos != bar.pos) ScrollTo(lv, bar.vertical, pos);
        SetTimer(lv.hwnd, kScrollTimer, kScrollRate, nullptr);
    }
}

void CancelPen(ListView& lv) {
    if (lv.pen.track == PenTrack::None && !lv.pen.holdPending) return;
    StopTimers(lv);
    lv.pen.track = PenTrack::None;
    lv.pen.holdPending = false;
    Invalidate(lv);
}

void OnKeyDown(ListView& lv, UINT vk) {
    NMLVKEYDOWN key = {};
    key.wVKey = static_cast<WORD>(vk);
    SendNotify(lv.hwnd, LVN_KEYDOWN, &key.hdr);
    if (lv.dead) return;
    int n = lv.Count();
    int cur = lv.Valid(lv.focused) ? lv.focused : -1;
    if (vk == VK_RETURN) {
        NMHDR h = {};
        SendNotify(lv.hwnd, NM_RETURN, &h);
        if (!lv.dead && cur >= 0) Activate(lv, cur, 0, POINT{0, 0});
        return;
    }
    if (n == 0) return;
    Layout l = ComputeLayout(lv);
    int next = -1;
    bool navigate = true;
    switch (vk) {
        case VK_UP:
            next = l.mode == LVS_REPORT || l.mode == LVS_LIST ? cur - 1 : Neighbour(lv, l, cur, LVNI_ABOVE);
            if (cur >= 0 && next < 0) next = cur;
            break;
        case VK_DOWN:
            next = l.mode == LVS_REPORT || l.mode == LVS_LIST ? cur + 1 : Neighbour(lv, l, cur, LVNI_BELOW);
            if (cur >= 0 && next < 0) next = cur;
            break;
        case VK_LEFT:
        case VK_RIGHT:
            if (l.mode == LVS_REPORT) {
                // Details scroll sideways; the selection stays.
                ScrollTo(lv, false, lv.xOffset + (vk == VK_LEFT ? -1 : 1) * l.rowHeight);
                return;
            }
            next = Neighbour(lv, l, cur, vk == VK_LEFT ? LVNI_TOLEFT : LVNI_TORIGHT);
            if (cur >= 0 && next < 0) next = cur;
            break;
        case VK_HOME: next = 0; break;
        case VK_END: next = n - 1; break;
        case VK_PRIOR:
        case VK_NEXT: {
            int page = std::max(1, CountPerPage(lv, l));
            if (l.mode == LVS_ICON || l.mode == LVS_SMALLICON) page = l.perLine * std::max(1, l.vbar.page);
            int first = TopIndex(lv, l);
            if (l.mode == LVS_ICON || l.mode == LVS_SMALLICON) first = lv.top * l.perLine;
            int last = std::min(n - 1, first + page - 1);
            // The first step goes to the edge of what shows, the next a page on.
            if (vk == VK_PRIOR) next = cur != first ? first : cur - page + 1;
            else next = cur != last ? last : cur + page - 1;
            if (cur < 0) next = 0;
            break;
        }
        case VK_SPACE:
            navigate = false;
            if (cur >= 0) {
                if (KeyDown(VK_CONTROL) && !(lv.Style() & LVS_SINGLESEL))
                    SetItemState(lv, cur, lv.items[static_cast<size_t>(cur)].state ^ LVIS_SELECTED, LVIS_SELECTED);
                else SelectOnly(lv, cur);
            }
            return;
        default: navigate = false; break;
    }
    if (!navigate) return;
    if (cur < 0) next = 0;
    next = std::clamp(next, 0, n - 1);
    if (KeyDown(VK_CONTROL) && !(lv.Style() & LVS_SINGLESEL)) SetItemState(lv, next, LVIS_FOCUSED, LVIS_FOCUSED);
    else if (KeyDown(VK_SHIFT)) SelectRange(lv, next);
    else SelectOnly(lv, next);
    if (!lv.dead && lv.Valid(next)) EnsureVisible(lv, next, false);
}

void OnChar(ListView& lv, WCHAR c) {
    if (c < 0x20 || lv.items.empty()) return;
    DWORD now = GetTickCount();
    // Letters typed in quick succession search for a longer prefix.
    if (now - lv.typedAt > 1000) lv.typed.clear();
    lv.typedAt = now;
    lv.typed.push_back(c);
    int n = lv.Count();
    int start = lv.Valid(lv.focused) ? lv.focused + (lv.typed.size() == 1 ? 1 : 0) : 0;
    for (int k = 0; k < n && !lv.dead; ++k) {
        int i = (start + k) % n;
        if (i >= lv.Count()) break;
        std::u16string text = ItemText(lv, i, 0);
        if (text.size() < lv.typed.size()) continue;
        text.resize(lv.typed.size());
        if (lstrcmpiW(text.c_str(), lv.typed.c_str()) != 0) continue;
        SelectOnly(lv, i);
        if (!lv.dead && lv.Valid(i)) EnsureVisible(lv, i, false);
        return;
    }
}

}  // namespace commctl::listview
