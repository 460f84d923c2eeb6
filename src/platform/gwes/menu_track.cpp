// Popup menus on the screen: TrackPopupMenu(Ex), GetMenuItemRect, EndMenu.
//
// Popups are placed inside the visible desktop: below the navigation bar,
// above an open input panel and above the menu bar while one shows, so a
// menu never hides the bar it came from. A popup taller than that space
// shows what fits between two scroll arrows, as the device's menus do: a tap
// on an arrow scrolls by one item, and the keys scroll the highlighted item
// into view.
//
// A tracked menu is a stack of popup windows (class "#32768"), the tracked
// menu first and each open submenu after it. They are topmost, never take the
// activation, and the first one holds the pen capture, so every pen event of
// the thread comes to the menu loop, which reads the thread's queue itself:
// pen and key messages drive the menu and are not dispatched; everything else
// (timers, paints, posted and sent messages) is dispatched as usual.
//
// The pen: a pen-down on an item highlights it (and opens its submenu), a
// pen-up on a selectable item chooses it, provided the pen went down on that
// same item or was dragged onto it (so lifting the pen that opened a menu or
// a submenu under it chooses nothing); a pen-down outside every popup
// dismisses the menu and is not passed on. The keys: up and down
// move the highlight past separators, right opens a submenu, left closes one,
// Enter (the Action key) chooses or opens, Escape closes one level, and a
// character chooses the item whose '&' mnemonic it is.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>

#include "gwes/menu.h"
#include "gwes/window_manager.h"
#include "platform/wstr.h"

namespace gwes {

namespace {

constexpr const WCHAR* kPopupClass = u"#32768";

// Item layout, in pixels at the device's own scale.
constexpr int kBorder = 1;
constexpr int kCheckColumn = 16;
constexpr int kArrowColumn = 14;
constexpr int kTextPadding = 3;  // above and below the text
constexpr int kSeparatorHeight = 7;
constexpr int kAcceleratorGap = 12;
constexpr int kMinWidth = 60;
constexpr int kSubmenuOverlap = 3;
constexpr int kPenSlack = 4;  // movement that counts as the pen moving onto an item
constexpr int kScrollArrowHeight = 12;  // each arrow strip of a scrolling popup
// The shell's menu bar windows (the device's class name for them).
constexpr const WCHAR* kMenuBarClass = u"menu_worker";
// HitTest's index for the pen on a scroll arrow.
constexpr int kScrollUpArrow = -2;
constexpr int kScrollDownArrow = -3;

struct Level {
    HMENU menu = nullptr;
    HWND window = nullptr;
    std::vector<MenuItem> items;
    std::vector<RECT> rects;   // client coordinates, as scrolled
    std::vector<RECT> layout;  // the same unscrolled: the whole column of items
    int selected = -1;
    // A popup taller than the visible desktop shows the band between its two
    // arrow strips; `scroll` pixels of the item column lie above the band.
    bool scrolls = false;
    int scroll = 0;
    RECT band = {0, 0, 0, 0};  // client coordinates of the items' visible band
};

class Tracker;

std::mutex& TrackLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
Tracker* g_tracker = nullptr;  // the menu being tracked, under TrackLock()
std::atomic<bool> g_endRequested{false};

class Tracker {
public:
    explicit Tracker(const TrackRequest& request) : request_(request) {}
    TrackResult Run();
    void Paint(HWND window);
    bool ItemRect(HMENU menu, UINT position, RECT* rect);
    HWND RootWindow() const { return levels_.empty() ? nullptr : levels_.front().window; }

private:
    bool Notify() const { return !(request_.flags & TPM_NONOTIFY); }
    bool OpenLevel(HMENU menu, LPARAM position, const RECT* parentItem);
    void CloseLevelsAbove(size_t keep);
    void CloseAll();
    void Select(size_t level, int index, bool openSubmenu);
    void Redraw(size_t level);
    // Scrolls a scrolling level by `delta` pixels (clamped); true when it moved.
    bool ScrollBy(size_t level, int delta);
    // Scrolls a scrolling level so that item `index` is wholly in its band.
    void ScrollIntoView(size_t level, int index);
    bool HitTest(POINT screen, size_t* level, int* index) const;
    void OnPen(const MSG& msg);
    void OnKey(const MSG& msg);
    void Choose(size_t level, int index);
    void Dismiss();
    int NextSelectable(const Level& level, int from, int step) const;

    TrackRequest request_;
    std::vector<Level> levels_;  // changed only under TrackLock()
    bool done_ = false;
    // The pen: the item it went down on while the menu showed (if it did),
    // and whether it has since moved away from where it went down (or from
    // where it was when the menu opened).
    bool pressed_ = false;
    size_t pressLevel_ = 0;
    int pressIndex_ = -1;
    bool penMoved_ = false;
    POINT pressPoint_ = {0, 0};
    TrackResult result_;
};

// ---- Geometry --------------------------------------------------------------------------

int Scale() { return std::max(1, GetSystemMetrics(SM_CXBORDER)); }

// The character after the first single '&' ("&&" is a literal ampersand), folded; 0 for none.
char16_t MnemonicOf(const std::u16string& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] != u'&') return platform::FoldCase(text[i + 1]);
        ++i;
    }
    return 0;
}

std::u16string Label(const std::u16string& text) { return text.substr(0, text.find(u'\t')); }

std::u16string Accelerator(const std::u16string& text) {
    size_t tab = text.find(u'\t');
    return tab == std::u16string::npos ? std::u16string() : text.substr(tab + 1);
}

SIZE TextSize(HDC dc, const std::u16string& text) {
    RECT r = {0, 0, 0, 0};
    if (!text.empty()) DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    return {r.right - r.left, r.bottom - r.top};
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof(bm), &bm)) return {0, 0};
    return {bm.bmWidth, std::abs(bm.bmHeight)};
}

// Lays the items out one below the other; returns the window size.
SIZE Layout(const std::vector<MenuItem>& items, std::vector<RECT>* rects) {
    const int s = Scale();
    HDC dc = GetDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    const int lineHeight = tm.tmHeight + 2 * kTextPadding * s;
    int labelWidth = 0, accelWidth = 0;
    std::vector<int> heights;
    for (const MenuItem& item : items) {
        int h = lineHeight;
        if (item.Separator()) {
            h = kSeparatorHeight * s;
        } else if (item.type & MFT_BITMAP) {
            SIZE b = BitmapSize(item.bitmap);
            labelWidth = std::max(labelWidth, static_cast<int>(b.cx));
            h = std::max(h, static_cast<int>(b.cy) + 2 * s);
        } else {
            labelWidth = std::max(labelWidth, static_cast<int>(TextSize(dc, Label(item.text)).cx));
            accelWidth = std::max(accelWidth, static_cast<int>(TextSize(dc, Accelerator(item.text)).cx));
        }
        heights.push_back(h);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(nullptr, dc);
    int width = kCheckColumn * s + labelWidth + (accelWidth ? kAcceleratorGap * s + accelWidth : 0) + kArrowColumn * s;
    width = std::max(width, kMinWidth * s) + 2 * kBorder * s;
    rects->clear();
    int y = kBorder * s;
    for (int h : heights) {
        rects->push_back({kBorder * s, y, width - kBorder * s, y + h});
        y += h;
    }
    return {width, y + kBorder * s};
}

RECT ScreenRect() { return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

bool Overlaps(const RECT& a, const RECT& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool MenuBarShown() {
    bool shown = false;
    EnumWindows(
        [](HWND hwnd, LPARAM found) {
            WCHAR name[32] = {};
            if (!IsWindowVisible(hwnd) || !GetClassNameW(hwnd, name, 32) || lstrcmpW(name, kMenuBarClass) != 0)
                return TRUE;
            *reinterpret_cast<bool*>(found) = true;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&shown));
    return shown;
}

}  // namespace

RECT PopupMenuArea() {
    RECT area;
    SystemWorkArea(&area);
    if (MenuBarShown()) area.bottom = std::min(area.bottom, MenuBarRect().top);
    // A screen with no room left between the bars: the whole screen, rather
    // than no menu at all.
    if (area.bottom - area.top < 4 * kScrollArrowHeight * Scale() || area.right <= area.left) area = ScreenRect();
    return area;
}

namespace {

// Where the tracked menu goes: aligned on the point as the flags say, flipped
// to the other side of the point when it would leave the visible desktop,
// then kept clear of the excluded rectangle and inside the visible desktop
// (a point outside it, such as one on the menu bar, brings the menu to its
// edge).
RECT PlaceRoot(const TrackRequest& r, SIZE size, const RECT& area) {
    const int w = size.cx, h = size.cy;
    int x = r.at.x, y = r.at.y;
    if (r.flags & TPM_CENTERALIGN) x -= w / 2;
    else if (r.flags & TPM_RIGHTALIGN) x -= w;
    if (r.flags & TPM_VCENTERALIGN) y -= h / 2;
    else if (r.flags & TPM_BOTTOMALIGN) y -= h;
    if (x + w > area.right) x = r.at.x - w >= area.left ? r.at.x - w : area.right - w;
    if (y + h > area.bottom) y = r.at.y - h >= area.top ? r.at.y - h : area.bottom - h;
    x = std::max(std::min(x, static_cast<int>(area.right) - w), static_cast<int>(area.left));
    y = std::max(std::min(y, static_cast<int>(area.bottom) - h), static_cast<int>(area.top));
    RECT placed = {x, y, x + w, y + h};
    const RECT& ex = r.exclude;
    if (ex.right > ex.left && ex.bottom > ex.top && Overlaps(placed, ex)) {
        if (ex.bottom + h <= area.bottom) y = ex.bottom;
        else if (ex.top - h >= area.top) y = ex.top - h;
        placed = {x, y, x + w, y + h};
    }
    return placed;
}

// A submenu opens beside its item: on the right, else on the left, else (a
// narrow screen) over the parent on the side with more room; always inside
// the visible desktop.
RECT PlaceSubmenu(const RECT& parentWindow, const RECT& itemScreen, SIZE size, const RECT& area) {
    const int overlap = kSubmenuOverlap * Scale();
    const int right = parentWindow.right - overlap, left = parentWindow.left - size.cx + overlap;
    int x;
    if (right + size.cx <= area.right) x = right;
    else if (left >= area.left) x = left;
    else x = area.right - parentWindow.right >= parentWindow.left - area.left ? area.right - size.cx : area.left;
    x = std::max(static_cast<int>(area.left), x);
    int y = itemScreen.top - kBorder * Scale();
    if (y + size.cy > area.bottom) y = area.bottom - size.cy;
    y = std::max(y, static_cast<int>(area.top));
    return {x, y, x + size.cx, y + size.cy};
}

// A level whose column of items is taller than `height` scrolls: the window
// gets that height, and the items' band lies between an arrow strip at the
// top and one at the bottom.
void SetUpScrolling(Level* level, SIZE* size, int height) {
    level->layout = level->rects;
    level->scroll = 0;
    const int s = Scale();
    if (size->cy <= height) {
        level->scrolls = false;
        level->band = {0, 0, size->cx, size->cy};
        return;
    }
    level->scrolls = true;
    size->cy = height;
    const int arrow = kScrollArrowHeight * s;
    level->band = {kBorder * s, kBorder * s + arrow, size->cx - kBorder * s, height - kBorder * s - arrow};
}

// The column's height beyond the band: how far a level can scroll.
int ScrollLimit(const Level& level) {
    if (!level.scrolls || level.layout.empty()) return 0;
    const int column = level.layout.back().bottom - level.layout.front().top;
    return std::max(0, column - static_cast<int>(level.band.bottom - level.band.top));
}

// The items' client rectangles for the level's scroll position.
void ApplyScroll(Level* level) {
    level->rects = level->layout;
    if (!level->scrolls || level->layout.empty()) return;
    const int dy = level->band.top - level->layout.front().top - level->scroll;
    for (RECT& r : level->rects) OffsetRect(&r, 0, dy);
}

// A tap on an arrow scrolls by the tallest item, so that every tap brings a
// whole item into view.
int ScrollStep(const Level& level) {
    int step = 0;
    for (const RECT& r : level.layout) step = std::max(step, static_cast<int>(r.bottom - r.top));
    return step;
}

RECT UpArrowRect(const Level& level) {
    const int s = Scale();
    return {level.band.left, kBorder * s, level.band.right, level.band.top};
}

RECT DownArrowRect(const Level& level) {
    const int s = Scale();
    return {level.band.left, level.band.bottom, level.band.right, level.band.bottom + kScrollArrowHeight * s};
}

// ---- The popup window ----------------------------------------------------------------------

LRESULT CALLBACK PopupProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        std::lock_guard<std::mutex> guard(TrackLock());
        if (g_tracker) {
            g_tracker->Paint(hwnd);
            return 0;
        }
        break;
    }
    case WM_ERASEBKGND: return 1;  // the paint fills everything
    case WM_CLOSE: return 0;       // only the menu loop closes its popups
    default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterPopupClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc = {};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = PopupProc;
        wc.lpszClassName = kPopupClass;
        RegisterClassW(&wc);
    });
}

// The check mark (a tick, or a dot for radio items) in the item's text colour,
// so that it shows on the highlight too.
void DrawCheckMark(HDC dc, const RECT& item, bool radio, COLORREF color) {
    const int s = Scale();
    const int cx = item.left + kCheckColumn * s / 2, cy = (item.top + item.bottom) / 2;
    HPEN pen = CreatePen(PS_SOLID, 2 * s, color);
    HBRUSH brush = CreateSolidBrush(color);
    HGDIOBJ oldPen = SelectObject(dc, pen), oldBrush = SelectObject(dc, brush);
    if (radio) {
        Ellipse(dc, cx - 3 * s, cy - 3 * s, cx + 3 * s, cy + 3 * s);
    } else {
        const POINT tick[] = {{cx - 4 * s, cy}, {cx - 1 * s, cy + 3 * s}, {cx + 4 * s, cy - 3 * s}};
        Polyline(dc, tick, 3);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
}

void DrawItem(HDC dc, const MenuItem& item, const RECT& r, bool selected) {
    const int s = Scale();
    if (item.Separator()) {
        // The whole row is the menu's, not only its line: a popup's window
        // starts with whatever was on the screen under it.
        FillRect(dc, &r, GetSysColorBrush(COLOR_MENU));
        int y = (r.top + r.bottom) / 2;
        RECT line = {r.left + 2 * s, y - s / 2, r.right - 2 * s, y - s / 2 + s};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNSHADOW));
        return;
    }
    bool highlight = selected;
    FillRect(dc, &r, GetSysColorBrush(highlight ? COLOR_HIGHLIGHT : COLOR_MENU));
    COLORREF textColor = GetSysColor(item.Grayed() ? COLOR_GRAYTEXT : highlight ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
    if (item.state & MF_CHECKED) DrawCheckMark(dc, r, (item.type & MFT_RADIOCHECK) != 0, textColor);
    RECT text = {r.left + kCheckColumn * s, r.top, r.right - kArrowColumn * s, r.bottom};
    if (item.type & MFT_BITMAP) {
        SIZE b = BitmapSize(item.bitmap);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, item.bitmap);
        BitBlt(dc, text.left, (r.top + r.bottom - b.cy) / 2, b.cx, b.cy, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    } else {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, textColor);
        std::u16string label = Label(item.text), accel = Accelerator(item.text);
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
        if (!accel.empty())
            DrawTextW(dc, accel.c_str(), static_cast<int>(accel.size()), &text,
                      DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_NOPREFIX);
    }
    if (item.subMenu) {
        RECT arrow = {r.right - kArrowColumn * s, r.top + 3 * s, r.right - 3 * s, r.bottom - 3 * s};
        DrawFrameControl(dc, &arrow, DFC_MENU, DFCS_MENUARROW);
    }
}

// ---- The tracker ---------------------------------------------------------------------------

void Tracker::Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    for (const Level& level : levels_) {
        if (level.window != window) continue;
        RECT client;
        GetClientRect(window, &client);
        FrameRect(dc, &client, GetSysColorBrush(COLOR_WINDOWFRAME));
        // Below the last item (a window made larger than its items) the
        // menu's colour too.
        RECT inside = client;
        InflateRect(&inside, -kBorder * Scale(), -kBorder * Scale());
        if (!level.rects.empty() && level.rects.back().bottom < inside.bottom) {
            RECT rest = {inside.left, level.rects.back().bottom, inside.right, inside.bottom};
            FillRect(dc, &rest, GetSysColorBrush(COLOR_MENU));
        }
        if (level.scrolls) {
            // Each arrow is greyed at its end of the column.
            RECT up = UpArrowRect(level), down = DownArrowRect(level);
            FillRect(dc, &up, GetSysColorBrush(COLOR_MENU));
            FillRect(dc, &down, GetSysColorBrush(COLOR_MENU));
            DrawFrameControl(dc, &up, DFC_SCROLL,
                             DFCS_SCROLLUP | DFCS_FLAT | (level.scroll > 0 ? 0 : DFCS_INACTIVE));
            DrawFrameControl(dc, &down, DFC_SCROLL,
                             DFCS_SCROLLDOWN | DFCS_FLAT | (level.scroll < ScrollLimit(level) ? 0 : DFCS_INACTIVE));
            IntersectClipRect(dc, level.band.left, level.band.top, level.band.right, level.band.bottom);
        }
        HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
        for (size_t i = 0; i < level.items.size(); ++i) {
            if (level.scrolls && !Overlaps(level.rects[i], level.band)) continue;
            DrawItem(dc, level.items[i], level.rects[i], static_cast<int>(i) == level.selected);
        }
        SelectObject(dc, oldFont);
    }
    EndPaint(window, &ps);
}

bool Tracker::ItemRect(HMENU menu, UINT position, RECT* rect) {
    for (const Level& level : levels_) {
        if (level.menu != menu || position >= level.rects.size()) continue;
        RECT window;
        if (!GetWindowRect(level.window, &window)) return false;
        *rect = level.rects[position];
        OffsetRect(rect, window.left, window.top);
        return true;
    }
    return false;
}

bool Tracker::OpenLevel(HMENU menu, LPARAM position, const RECT* parentItem) {
    // The owner fills in or updates the menu before it shows.
    if (Notify())
        SendMessageW(request_.owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu),
                     MAKELPARAM(LOWORD(position), FALSE));
    Level level;
    level.menu = menu;
    if (!MenuItems(menu, &level.items) || level.items.empty()) return false;
    SIZE size = Layout(level.items, &level.rects);
    const RECT area = PopupMenuArea();
    SetUpScrolling(&level, &size, area.bottom - area.top);
    ApplyScroll(&level);
    RECT place;
    if (parentItem) {
        RECT parentWindow;
        GetWindowRect(levels_.back().window, &parentWindow);
        place = PlaceSubmenu(parentWindow, *parentItem, size, area);
    } else {
        place = PlaceRoot(request_, size, area);
    }
    level.window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPopupClass, nullptr,
                                   WS_POPUP, place.left, place.top, place.right - place.left,
                                   place.bottom - place.top, request_.owner, nullptr, nullptr, nullptr);
    if (!level.window) return false;
    {
        std::lock_guard<std::mutex> guard(TrackLock());
        levels_.push_back(level);
    }
    ShowWindow(level.window, SW_SHOWNA);
    UpdateWindow(level.window);
    return true;
}

void Tracker::CloseLevelsAbove(size_t keep) {
    while (levels_.size() > keep) {
        HWND window = levels_.back().window;
        {
            std::lock_guard<std::mutex> guard(TrackLock());
            levels_.pop_back();
        }
        DestroyWindow(window);
    }
}

void Tracker::CloseAll() {
    // The first popup holds the capture; give it back before it goes.
    if (!levels_.empty() && GetCapture() == levels_.front().window) ReleaseCapture();
    CloseLevelsAbove(0);
}

void Tracker::Redraw(size_t level) {
    if (level >= levels_.size()) return;
    InvalidateRect(levels_[level].window, nullptr, FALSE);
    UpdateWindow(levels_[level].window);
}

bool Tracker::ScrollBy(size_t level, int delta) {
    if (level >= levels_.size() || !levels_[level].scrolls) return false;
    Level& l = levels_[level];
    const int scroll = std::clamp(l.scroll + delta, 0, ScrollLimit(l));
    if (scroll == l.scroll) return false;
    // A submenu stays beside the item it belongs to only while that item
    // stays put.
    CloseLevelsAbove(level + 1);
    {
        std::lock_guard<std::mutex> guard(TrackLock());
        l.scroll = scroll;
        ApplyScroll(&l);
    }
    Redraw(level);
    return true;
}

void Tracker::ScrollIntoView(size_t level, int index) {
    if (level >= levels_.size() || index < 0) return;
    const Level& l = levels_[level];
    if (!l.scrolls) return;
    const RECT& item = l.rects[static_cast<size_t>(index)];
    if (item.top < l.band.top) ScrollBy(level, item.top - l.band.top);
    else if (item.bottom > l.band.bottom) ScrollBy(level, item.bottom - l.band.bottom);
}

void Tracker::Select(size_t level, int index, bool openSubmenu) {
    if (level >= levels_.size()) return;
    // Submenus of other items go away.
    if (levels_.size() > level + 1 && levels_[level].selected != index) CloseLevelsAbove(level + 1);
    ScrollIntoView(level, index);
    if (levels_[level].selected != index) {
        {
            std::lock_guard<std::mutex> guard(TrackLock());
            levels_[level].selected = index;
        }
        Redraw(level);
    }
    if (!openSubmenu || index < 0 || levels_.size() > level + 1) return;
    const MenuItem& item = levels_[level].items[static_cast<size_t>(index)];
    if (!item.subMenu || !item.Selectable()) return;
    RECT window, itemScreen = levels_[level].rects[static_cast<size_t>(index)];
    GetWindowRect(levels_[level].window, &window);
    OffsetRect(&itemScreen, window.left, window.top);
    OpenLevel(item.subMenu, index, &itemScreen);
}

bool Tracker::HitTest(POINT screen, size_t* level, int* index) const {
    for (size_t l = levels_.size(); l-- > 0;) {
        RECT window;
        if (!GetWindowRect(levels_[l].window, &window) || !PtInRect(&window, screen)) continue;
        *level = l;
        *index = -1;
        POINT client = {screen.x - window.left, screen.y - window.top};
        const Level& hit = levels_[l];
        if (hit.scrolls) {
            // Items scrolled out of the band are not there to be hit.
            RECT up = UpArrowRect(hit), down = DownArrowRect(hit);
            if (PtInRect(&up, client)) *index = kScrollUpArrow;
            if (PtInRect(&down, client)) *index = kScrollDownArrow;
            if (!PtInRect(&hit.band, client)) return true;
        }
        for (size_t i = 0; i < hit.rects.size(); ++i)
            if (PtInRect(&hit.rects[i], client)) *index = static_cast<int>(i);
        return true;
    }
    return false;
}

void Tracker::Choose(size_t level, int index) {
    const MenuItem& item = levels_[level].items[static_cast<size_t>(index)];
    if (!item.Selectable()) return;
    if (item.subMenu) {
        Select(level, index, true);
        if (levels_.size() > level + 1) {
            int first = NextSelectable(levels_[level + 1], -1, 1);
            if (first >= 0) Select(level + 1, first, false);
        }
        return;
    }
    result_.command = item.id;
    done_ = true;
}

void Tracker::Dismiss() {
    result_.command = 0;
    done_ = true;
}

int Tracker::NextSelectable(const Level& level, int from, int step) const {
    const int n = static_cast<int>(level.items.size());
    int i = from;
    for (int tries = 0; tries < n; ++tries) {
        if (i < 0) i = step > 0 ? 0 : n - 1;
        else i = (i + step + n) % n;
        if (!level.items[static_cast<size_t>(i)].Separator()) return i;
    }
    return -1;
}

void Tracker::OnPen(const MSG& msg) {
    POINT pt = msg.pt;
    size_t level = 0;
    int index = -1;
    bool inside = HitTest(pt, &level, &index);
    switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        if (!inside) {
            result_.dismissedByPen = true;
            result_.penPoint = pt;
            Dismiss();
            return;
        }
        pressed_ = true;
        pressLevel_ = level;
        pressIndex_ = index;
        pressPoint_ = pt;
        penMoved_ = false;
        if (index == kScrollUpArrow || index == kScrollDownArrow) {
            const int step = ScrollStep(levels_[level]);
            ScrollBy(level, index == kScrollUpArrow ? -step : step);
            return;
        }
        if (index >= 0) Select(level, index, true);
        return;
    case WM_MOUSEMOVE:
        if (!(msg.wParam & MK_LBUTTON)) return;
        if (std::abs(pt.x - pressPoint_.x) > kPenSlack || std::abs(pt.y - pressPoint_.y) > kPenSlack) penMoved_ = true;
        if (inside && index >= 0 && penMoved_) Select(level, index, true);
        return;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        // Only the item the pen went down on, or one it was dragged onto: a
        // submenu that opened under the pen, or a menu that opened under a
        // pen already down, is not chosen by lifting the pen.
        bool same = pressed_ && level == pressLevel_ && index == pressIndex_;
        pressed_ = false;
        if (!inside || index < 0 || !(same || penMoved_)) return;
        if (!levels_[level].items[static_cast<size_t>(index)].subMenu) Choose(level, index);
        return;
    }
    default: return;
    }
}

void Tracker::OnKey(const MSG& msg) {
    Level& top = levels_.back();
    const size_t depth = levels_.size() - 1;
    if (msg.message == WM_CHAR || msg.message == WM_SYSCHAR) {
        // The item whose mnemonic this is.
        char16_t c = platform::FoldCase(static_cast<char16_t>(msg.wParam));
        for (size_t i = 0; i < top.items.size(); ++i) {
            if (MnemonicOf(top.items[i].text) != c || c == 0) continue;
            Select(depth, static_cast<int>(i), false);
            Choose(depth, static_cast<int>(i));
            return;
        }
        return;
    }
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return;
    switch (msg.wParam) {
    case VK_UP:
    case VK_DOWN: {
        int next = NextSelectable(top, top.selected, msg.wParam == VK_DOWN ? 1 : -1);
        if (next >= 0) Select(depth, next, false);
        return;
    }
    case VK_RIGHT:
        if (top.selected >= 0 && top.items[static_cast<size_t>(top.selected)].subMenu)
            Choose(depth, top.selected);
        return;
    case VK_LEFT:
        if (depth > 0) CloseLevelsAbove(depth);
        return;
    case VK_RETURN:
        if (top.selected >= 0) Choose(depth, top.selected);
        return;
    case VK_ESCAPE:
        if (depth > 0) CloseLevelsAbove(depth);
        else Dismiss();
        return;
    default: return;
    }
}

bool IsPenMessage(UINT m) {
    return m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_LBUTTONDBLCLK || m == WM_MOUSEMOVE ||
           m == WM_RBUTTONDOWN || m == WM_RBUTTONUP || m == WM_RBUTTONDBLCLK;
}

bool IsKeyMessage(UINT m) { return m >= WM_KEYFIRST && m <= WM_KEYLAST; }

bool IsMenuKey(WPARAM vk) {
    return vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT || vk == VK_RETURN || vk == VK_ESCAPE;
}

TrackResult Tracker::Run() {
    GetCursorPos(&pressPoint_);
    if (!OpenLevel(request_.menu, request_.initPosition, nullptr)) return result_;
    result_.ok = true;
    SetCapture(levels_.front().window);
    while (!done_) {
        if (g_endRequested.exchange(false)) {
            Dismiss();
            break;
        }
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // the caller's loop must still see it
            Dismiss();
            break;
        }
        if (IsPenMessage(msg.message)) {
            OnPen(msg);
        } else if (IsKeyMessage(msg.message)) {
            // Letters become characters for the mnemonics; the keys that drive
            // the menu leave no character behind for the window under it.
            if (msg.message == WM_KEYDOWN && !IsMenuKey(msg.wParam)) TranslateMessage(&msg);
            OnKey(msg);
        }
        else DispatchMessageW(&msg);
        if (!done_ && (!IsWindow(request_.owner) || GetCapture() != levels_.front().window)) Dismiss();
    }
    CloseAll();
    return result_;
}

}  // namespace

TrackResult TrackMenu(const TrackRequest& request) {
    TrackResult failed;
    if (!IsMenu(request.menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return failed;
    }
    if (!IsWindow(request.owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return failed;
    }
    RegisterPopupClass();
    Tracker tracker(request);
    {
        std::lock_guard<std::mutex> guard(TrackLock());
        if (g_tracker) {
            SetLastError(ERROR_POPUP_ALREADY_ACTIVE);
            return failed;
        }
        g_tracker = &tracker;
        g_endRequested = false;
    }
    TrackResult result = tracker.Run();
    {
        std::lock_guard<std::mutex> guard(TrackLock());
        g_tracker = nullptr;
    }
    return result;
}

}  // namespace gwes

using namespace gwes;

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
    TrackRequest request;
    request.menu = menu;
    request.owner = owner;
    request.flags = flags;
    request.at = {x, y};
    if (params) {
        if (params->cbSize != sizeof(TPMPARAMS)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        request.exclude = params->rcExclude;
    }
    TrackResult result = TrackMenu(request);
    if (!result.ok) return FALSE;
    if (flags & TPM_RETURNCMD) return static_cast<BOOL>(result.command);
    // The command arrives after the menu has gone, as a posted message.
    if (result.command && !(flags & TPM_NONOTIFY))
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(result.command, 0), 0);
    return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int /*reserved*/, HWND owner, const RECT* /*rect*/) {
    return TrackPopupMenuEx(menu, flags, x, y, owner, nullptr);
}

BOOL GetMenuItemRect(HWND /*window*/, HMENU menu, UINT item, LPRECT rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(TrackLock());
    if (!g_tracker || !g_tracker->ItemRect(menu, item, rect)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL EndMenu() {
    HWND wake = nullptr;
    {
        std::lock_guard<std::mutex> guard(TrackLock());
        if (!g_tracker) return TRUE;
        g_endRequested = true;
        wake = g_tracker->RootWindow();
    }
    if (wake) PostMessageW(wake, WM_NULL, 0, 0);  // the loop wakes up and sees the request
    return TRUE;
}
