// Painting: update regions, WM_PAINT and WM_ERASEBKGND, window and client
// DCs on the display, and the window frames the system draws itself.
//
// Each window keeps its update region as a rectangle list in client
// coordinates. A DC never draws outside the window's visible region (its
// children and higher siblings clip it); BeginPaint further limits it to the
// update region and then empties that region.
#include <algorithm>

#include "display/frame_buffer.h"
#include "gdi/display_dc.h"
#include "gwes/window_manager.h"

namespace gwes {

namespace {

struct LiveDC {
    HDC dc = nullptr;
    HWND hwnd = nullptr;  // null for the screen DC
    bool windowDC = false;
    bool own = false;        // CS_OWNDC: kept for the window's lifetime
    bool painting = false;   // limited to paintClip (client coordinates)
    RectList paintClip;
};

std::vector<LiveDC>& LiveDCs() {
    static auto* dcs = new std::vector<LiveDC>;
    return *dcs;
}

RECT ScreenRect() {
    platform::FrameBuffer& fb = platform::Screen();
    return {0, 0, fb.width, fb.height};
}

RECT ClientBox(const Window& w) {
    RECT c = ClientRectInWindow(w);
    return {0, 0, c.right - c.left, c.bottom - c.top};
}

// Origin and clip of a live DC in screen coordinates.
void DescribeDC(const LiveDC& d, POINT* origin, RectList* region) {
    if (!d.hwnd) {
        *origin = {0, 0};
        *region = {ScreenRect()};
        return;
    }
    auto w = FindWindowObject(d.hwnd);
    if (!w) {
        *origin = {0, 0};
        region->clear();
        return;
    }
    *origin = d.windowDC ? ScreenOrigin(*w) : ClientScreenOrigin(*w);
    *region = VisibleRegion(*w, !d.windowDC);
    if (d.painting) {
        RectList clip = d.paintClip;
        POINT c = ClientScreenOrigin(*w);
        OffsetRegion(clip, c.x, c.y);
        *region = Intersect(*region, clip);
    }
}

HDC OpenDC(const std::shared_ptr<Window>& w, bool windowDC, bool painting, const RectList& paintClip) {
    LiveDC d;
    d.hwnd = w ? w->handle : nullptr;
    d.windowDC = windowDC;
    d.painting = painting;
    d.paintClip = paintClip;
    bool own = w && !windowDC && w->cls && (w->cls->style & CS_OWNDC);
    if (own) {
        for (LiveDC& existing : LiveDCs()) {
            if (existing.own && existing.hwnd == d.hwnd) {
                existing.painting = painting;
                existing.paintClip = paintClip;
                POINT origin;
                RectList region;
                DescribeDC(existing, &origin, &region);
                platform::SetDisplayDCRegion(existing.dc, origin, region);
                return existing.dc;
            }
        }
    }
    d.own = own;
    POINT origin;
    RectList region;
    DescribeDC(d, &origin, &region);
    d.dc = platform::CreateDisplayDC(d.hwnd, origin, region);
    if (d.dc) LiveDCs().push_back(d);
    return d.dc;
}

// Ends a DC; an own DC goes back to the whole visible region instead.
bool CloseDC(HDC dc) {
    auto& dcs = LiveDCs();
    for (auto it = dcs.begin(); it != dcs.end(); ++it) {
        if (it->dc != dc) continue;
        if (it->own) {
            it->painting = false;
            it->paintClip.clear();
            POINT origin;
            RectList region;
            DescribeDC(*it, &origin, &region);
            platform::SetDisplayDCRegion(it->dc, origin, region);
            return true;
        }
        platform::DeleteDisplayDC(dc);
        dcs.erase(it);
        return true;
    }
    return false;
}

void WakeAllQueues() {
    for (auto& q : AllQueues()) WakeQueue(*q);
}

void ExposeWindow(Window& w, const RectList& screenRegion) {
    if (!w.Visible()) return;
    RectList seen = Intersect(VisibleRegion(w, false), screenRegion);
    if (!seen.empty()) {
        POINT c = ClientScreenOrigin(w);
        RECT clientScreen = Offset(ClientBox(w), c.x, c.y);
        RectList clientPart = Intersect(seen, clientScreen);
        if (Area(clientPart) < Area(seen)) w.frameDirty = true;
        OffsetRegion(clientPart, -c.x, -c.y);
        if (!clientPart.empty()) {
            AddRegion(w.update, clientPart);
            w.eraseNeeded = true;
        }
    }
    for (auto& child : w.children) ExposeWindow(*child, screenRegion);
}

}  // namespace

void PaintDesktop(const RectList& screenRegion) {
    if (screenRegion.empty()) return;
    HDC dc = platform::CreateDisplayDC(nullptr, {0, 0}, screenRegion);
    if (!dc) return;
    RECT all = ScreenRect();
    FillRect(dc, &all, GetSysColorBrush(COLOR_BACKGROUND));
    platform::DeleteDisplayDC(dc);
}

void ExposeScreenRegion(const RectList& screenRegion, Window* onlyWithin) {
    if (screenRegion.empty()) return;
    if (onlyWithin) {
        ExposeWindow(*onlyWithin, screenRegion);
    } else {
        Window& desktop = Desktop();
        RectList bare = Intersect(screenRegion, ScreenRect());
        for (auto& top : desktop.children) {
            if (top->Visible()) bare = Subtract(bare, CoveredArea(*top));
            ExposeWindow(*top, screenRegion);
        }
        PaintDesktop(bare);
    }
    WakeAllQueues();
}

void InvalidateWindowRegion(Window& w, const RectList& clientRegion, bool erase, bool children) {
    if (!ReallyVisible(w)) return;
    RectList part = Intersect(clientRegion, ClientBox(w));
    if (!part.empty()) {
        AddRegion(w.update, part);
        if (erase) w.eraseNeeded = true;
    }
    for (auto& c : w.children) {
        // A transparent child (a group box) does not clip its parent, which
        // paints below it: the child is drawn again over what the parent drew.
        if (children || !c->Visible() || !(c->exStyle & WS_EX_TRANSPARENT)) continue;
        if (Intersect(clientRegion, c->rect).empty()) continue;
        RECT cc = ClientRectInWindow(*c);
        RectList mapped = clientRegion;
        OffsetRegion(mapped, -(c->rect.left + cc.left), -(c->rect.top + cc.top));
        c->frameDirty = true;
        InvalidateWindowRegion(*c, mapped, erase, false);
    }
    if (children) {
        for (auto& c : w.children) {
            if (!c->Visible()) continue;
            RECT cc = ClientRectInWindow(*c);
            RectList mapped = clientRegion;
            OffsetRegion(mapped, -(c->rect.left + cc.left), -(c->rect.top + cc.top));
            RectList overWindow = Intersect(clientRegion, c->rect);
            if (!overWindow.empty()) c->frameDirty = true;
            InvalidateWindowRegion(*c, mapped, erase, true);
        }
    }
    if (w.queue) WakeQueue(*w.queue);
}

void InvalidateTree(Window& w) {
    if (!w.Visible()) return;
    w.frameDirty = true;
    RECT box = ClientBox(w);
    if (!IsEmpty(box)) {
        w.update.assign(1, box);
        w.eraseNeeded = true;
    }
    for (auto& c : w.children) InvalidateTree(*c);
    if (w.queue) WakeQueue(*w.queue);
}

bool NeedsPaint(const Window& w) {
    if (!w.update.empty() || w.internalPaint || w.frameDirty) return ReallyVisible(w);
    return false;
}

namespace {

Window* FindPaintable(Window& root, DWORD threadId, const Window* filter) {
    for (auto& c : root.children) {
        if (!c->Visible()) continue;
        if (c->threadId == threadId && NeedsPaint(*c) &&
            (!filter || c.get() == filter || IsDescendant(filter, c.get())))
            return c.get();
        if (Window* inner = FindPaintable(*c, threadId, filter)) return inner;
    }
    return nullptr;
}

}  // namespace

std::shared_ptr<Window> FindWindowToPaint(const MessageQueue& queue, HWND filter) {
    std::shared_ptr<Window> filterWindow;
    if (filter && filter != reinterpret_cast<HWND>(-1)) {
        filterWindow = FindWindowObject(filter);
        if (!filterWindow) return nullptr;
    } else if (filter) {
        return nullptr;  // thread messages only
    }
    Window* w = FindPaintable(Desktop(), queue.threadId, filterWindow.get());
    return w ? FindWindowObject(w->handle) : nullptr;
}

void RefreshLiveDCs() {
    for (LiveDC& d : LiveDCs()) {
        POINT origin;
        RectList region;
        DescribeDC(d, &origin, &region);
        platform::SetDisplayDCRegion(d.dc, origin, region);
    }
}

void ForgetDCsOf(HWND hwnd) {
    auto& dcs = LiveDCs();
    for (auto it = dcs.begin(); it != dcs.end();) {
        if (it->hwnd == hwnd) {
            platform::DeleteDisplayDC(it->dc);
            it = dcs.erase(it);
        } else {
            ++it;
        }
    }
}

// The frame: a one-pixel border (or the dialog frame), the caption bar with
// the window text, and the scroll-bar areas, which the scroll bars paint
// over when they are set up.
void DrawFrame(HWND hwnd) {
    DWORD style, exStyle;
    RECT window, client;
    std::u16string title;
    bool active;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w) return;
        w->frameDirty = false;
        if (!ReallyVisible(*w)) return;
        style = w->style;
        exStyle = w->exStyle;
        window = {0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        client = ClientRectInWindow(*w);
        title = w->text;
        active = GetActiveWindow() == TopLevelOf(w.get())->handle;
    }
    if (EqualRect(&window, &client)) return;
    HDC dc = GetWindowDC(hwnd);
    if (!dc) return;
    RECT in = NonClientInsets(style, exStyle);
    int frame = in.left;
    if (style & WS_VSCROLL) frame = std::min<int>(frame, in.right);
    // Border first, then what lies inside it.
    if (frame > 0) {
        HBRUSH border = GetSysColorBrush(COLOR_WINDOWFRAME);
        RECT r = window;
        for (int i = 0; i < frame; ++i) {
            FrameRect(dc, &r, i == 0 ? border : GetSysColorBrush(COLOR_BTNFACE));
            InflateRect(&r, -1, -1);
        }
    }
    if ((style & WS_CAPTION) == WS_CAPTION) {
        RECT bar = {frame, frame, window.right - frame, frame + GetSystemMetrics(SM_CYCAPTION)};
        FillRect(dc, &bar, GetSysColorBrush(active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
        if (!title.empty()) {
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, GetSysColor(active ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT));
            RECT text = bar;
            text.left += 4;
            DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
                      DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        }
    }
    if (style & WS_VSCROLL) {
        RECT bar = {client.right, client.top, client.right + GetSystemMetrics(SM_CXVSCROLL), client.bottom};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_SCROLLBAR));
    }
    if (style & WS_HSCROLL) {
        RECT bar = {client.left, client.bottom, client.right, client.bottom + GetSystemMetrics(SM_CYHSCROLL)};
        FillRect(dc, &bar, GetSysColorBrush(COLOR_SCROLLBAR));
        if (style & WS_VSCROLL) {
            RECT corner = {client.right, client.bottom, client.right + GetSystemMetrics(SM_CXVSCROLL),
                           bar.bottom};
            FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
        }
    }
    if (style & (WS_VSCROLL | WS_HSCROLL)) DrawWindowScrollBars(hwnd, dc);
    if (exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE)) {
        int edge = (exStyle & WS_EX_CLIENTEDGE) ? GetSystemMetrics(SM_CXEDGE) : 1;
        RECT r = {client.left - edge, client.top - edge, client.right + edge, client.bottom + edge};
        if (style & WS_VSCROLL) r.right += GetSystemMetrics(SM_CXVSCROLL);
        if (style & WS_HSCROLL) r.bottom += GetSystemMetrics(SM_CYHSCROLL);
        DrawEdge(dc, &r, (exStyle & WS_EX_CLIENTEDGE) ? EDGE_SUNKEN : BDR_SUNKENOUTER, BF_RECT);
    }
    ReleaseDC(hwnd, dc);
}

}  // namespace gwes

using namespace gwes;

// ---- DCs -------------------------------------------------------------------------------

HDC GetDC(HWND hwnd) {
    Guard guard(Lock());
    if (!hwnd || hwnd == Desktop().handle) return OpenDC(nullptr, false, false, {});
    auto w = WindowOrError(hwnd);
    if (!w) return nullptr;
    return OpenDC(w, false, false, {});
}

HDC GetWindowDC(HWND hwnd) {
    Guard guard(Lock());
    if (!hwnd || hwnd == Desktop().handle) return OpenDC(nullptr, true, false, {});
    auto w = WindowOrError(hwnd);
    if (!w) return nullptr;
    return OpenDC(w, true, false, {});
}

HDC GetDCEx(HWND hwnd, HRGN /*clip*/, DWORD flags) {
    return (flags & DCX_WINDOW) ? GetWindowDC(hwnd) : GetDC(hwnd);
}

int ReleaseDC(HWND /*hwnd*/, HDC dc) {
    Guard guard(Lock());
    return CloseDC(dc) ? 1 : 0;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool frame;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return nullptr;
        frame = w->frameDirty;
    }
    if (frame) DrawFrame(hwnd);
    HDC dc;
    bool erase;
    RECT bounds;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return nullptr;
        RectList update = Intersect(w->update, ClientBox(*w));
        erase = w->eraseNeeded;
        w->update.clear();
        w->eraseNeeded = false;
        w->internalPaint = false;
        bounds = Bounds(update);
        dc = OpenDC(w, false, true, update);
    }
    *ps = PAINTSTRUCT{};
    ps->hdc = dc;
    ps->rcPaint = bounds;
    // fErase tells the window to erase its background itself: the erase
    // message found no brush (or the window did not handle it).
    if (erase && dc) ps->fErase = SendMessageInternal(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND /*hwnd*/, const PAINTSTRUCT* ps) {
    if (!ps) return FALSE;
    Guard guard(Lock());
    CloseDC(ps->hdc);
    return TRUE;
}

// ---- Invalidation ---------------------------------------------------------------------------

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
    Guard guard(Lock());
    if (!hwnd) {
        RECT all = ScreenRect();
        ExposeScreenRegion({all});
        return TRUE;
    }
    auto w = WindowOrError(hwnd);
    if (!w) return FALSE;
    RECT r = rect ? *rect : ClientBox(*w);
    InvalidateWindowRegion(*w, {r}, erase != FALSE, false);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
    Guard guard(Lock());
    if (!hwnd) return TRUE;
    auto w = WindowOrError(hwnd);
    if (!w) return FALSE;
    if (!rect) {
        w->update.clear();
        w->eraseNeeded = false;
    } else {
        w->update = Subtract(w->update, *rect);
        if (w->update.empty()) w->eraseNeeded = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL /*erase*/) {
    Guard guard(Lock());
    auto w = WindowOrError(hwnd);
    if (!w) return FALSE;
    RECT b = Bounds(Intersect(w->update, ClientBox(*w)));
    if (rect) *rect = b;
    return !IsEmpty(b);
}

namespace {

// Sends WM_PAINT (and draws the frame) now wherever it is due, parents first.
void PaintNow(HWND hwnd, bool children) {
    bool frame = false, client = false;
    std::vector<HWND> kids;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w || !ReallyVisible(*w)) return;
        frame = w->frameDirty;
        client = !w->update.empty() || w->internalPaint;
        if (children)
            for (auto& c : w->children) kids.push_back(c->handle);
    }
    if (frame) DrawFrame(hwnd);
    if (client) SendMessageInternal(hwnd, WM_PAINT, 0, 0);
    for (HWND k : kids) PaintNow(k, true);
}

void EraseNow(HWND hwnd) {
    HDC dc = nullptr;
    {
        Guard guard(Lock());
        auto w = FindWindowObject(hwnd);
        if (!w || !w->eraseNeeded || w->update.empty()) return;
        w->eraseNeeded = false;
        dc = OpenDC(w, false, true, w->update);
    }
    if (!dc) return;
    SendMessageInternal(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    Guard guard(Lock());
    CloseDC(dc);
}

void ApplyRedraw(Window& w, const RectList& region, UINT flags) {
    if (!w.Visible()) return;
    if (flags & RDW_INVALIDATE) {
        InvalidateWindowRegion(w, region, (flags & RDW_ERASE) != 0, false);
        if (flags & RDW_FRAME) w.frameDirty = true;
    }
    if (flags & RDW_INTERNALPAINT) w.internalPaint = true;
    if (flags & RDW_VALIDATE) {
        w.update = Subtract(w.update, region);
        if (flags & RDW_NOFRAME) w.frameDirty = false;
        if (w.update.empty()) w.eraseNeeded = false;
    }
    if (flags & RDW_NOINTERNALPAINT) w.internalPaint = false;
    if (flags & RDW_NOERASE) w.eraseNeeded = false;
    // Windows here always clip their children, so only RDW_ALLCHILDREN reaches them.
    if ((flags & RDW_ALLCHILDREN) && !(flags & RDW_NOCHILDREN)) {
        for (auto& c : w.children) {
            RECT cc = ClientRectInWindow(*c);
            RectList mapped = region;
            OffsetRegion(mapped, -(c->rect.left + cc.left), -(c->rect.top + cc.top));
            if ((flags & RDW_INVALIDATE) && !Intersect(region, c->rect).empty()) c->frameDirty = true;
            ApplyRedraw(*c, mapped, flags);
        }
    }
    if (w.queue) WakeQueue(*w.queue);
}

}  // namespace

BOOL UpdateWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return FALSE;
    PaintNow(hwnd, true);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* update, HRGN updateRegion, UINT flags) {
    std::vector<HWND> roots;
    {
        Guard guard(Lock());
        std::vector<std::shared_ptr<Window>> targets;
        if (!hwnd || hwnd == Desktop().handle) {
            targets = Desktop().children;
            if (flags & RDW_INVALIDATE) {
                RECT all = ScreenRect();
                if (update) all = *update;
                PaintDesktop(Subtract(RectList{all}, [] {
                    RectList covered;
                    for (auto& t : Desktop().children) AddRegion(covered, CoveredArea(*t));
                    return covered;
                }()));
            }
            flags |= RDW_ALLCHILDREN;
        } else {
            auto w = WindowOrError(hwnd);
            if (!w) return FALSE;
            targets.push_back(w);
        }
        for (auto& w : targets) {
            RECT box = ClientBox(*w);
            RectList region{box};
            if (update) {
                region = {*update};
                if (!hwnd) {
                    POINT c = ClientScreenOrigin(*w);
                    OffsetRegion(region, -c.x, -c.y);
                }
            } else if (updateRegion) {
                RECT rgnBox;
                if (GetRgnBox(updateRegion, &rgnBox) != 0) region = {rgnBox};
            }
            ApplyRedraw(*w, region, flags);
            roots.push_back(w->handle);
        }
    }
    for (HWND r : roots) {
        if (flags & RDW_UPDATENOW) PaintNow(r, (flags & RDW_ALLCHILDREN) != 0);
        else if (flags & RDW_ERASENOW) EraseNow(r);
    }
    return TRUE;
}

BOOL ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN,
                    LPRECT updateRect, UINT flags) {
    std::vector<std::pair<HWND, RECT>> moves;
    {
        Guard guard(Lock());
        auto w = WindowOrError(hwnd);
        if (!w) return FALSE;
        RECT area = scroll ? *scroll : ClientBox(*w);
        if (clip) area = Intersect(area, *clip);
        // Pixels are not moved: the scrolled area is painted again, which
        // shows the same picture as copying it and painting the strip.
        InvalidateWindowRegion(*w, {area}, (flags & SW_ERASE) != 0 || !(flags & SW_INVALIDATE), false);
        if (updateRect) *updateRect = area;
        if ((flags & SW_SCROLLCHILDREN) || !scroll) {
            for (auto& c : w->children) {
                RECT r = c->rect;
                moves.push_back({c->handle, Offset(r, dx, dy)});
            }
        }
    }
    for (auto& [child, r] : moves)
        SetWindowPos(child, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return TRUE;
}
