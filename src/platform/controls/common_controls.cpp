// InitCommonControlsEx and the pieces the list and tree views share: the
// WM_NOTIFY sender, text copying, measuring, and the inner scroll bar (its
// geometry, drawing and pen tracking).
#include "controls/common_controls.h"

#include <cstdint>
#include <cstdlib>

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // Every class is registered whatever the flags ask for: a registered
    // class costs nothing, and a program that names one flag too few still
    // gets its controls, as with the desktop's later libraries.
    RegisterListTreeClasses();
    RegisterBarClasses();
    return TRUE;
}

void InitCommonControls(void) {
    INITCOMMONCONTROLSEX init = {sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
}

namespace {

// The classes exist from the moment the library is loaded, so a dialog
// template that names one works even before the program's own call.
// Registration only fills the class table, which needs nothing else set up.
const bool g_classesRegistered = [] {
    InitCommonControls();
    return true;
}();

}  // namespace

void RegisterListTreeClasses() {
    commctl::RegisterListViewClass();
    commctl::RegisterTreeViewClass();
}

namespace commctl {

LRESULT SendNotify(HWND control, UINT code, NMHDR* header) {
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    header->code = code;
    HWND parent = GetParent(control);
    if (!parent) return 0;
    return SendMessageW(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

bool MovedFar(POINT from, POINT to) {
    return std::abs(to.x - from.x) > kDragDistance || std::abs(to.y - from.y) > kDragDistance;
}

int CopyText(const std::u16string& text, LPWSTR buffer, int capacity) {
    if (!buffer || capacity <= 0) return 0;
    int n = static_cast<int>(std::min<size_t>(text.size(), static_cast<size_t>(capacity - 1)));
    std::copy(text.begin(), text.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

std::u16string ReadText(LPCWSTR text, size_t limit) {
    std::u16string out;
    if (!text) return out;
    for (size_t i = 0; i < limit && text[i]; ++i) out.push_back(text[i]);
    return out;
}

MeasureDC::MeasureDC(HFONT font) : dc_(CreateCompatibleDC(nullptr)), old_(nullptr) {
    if (dc_) old_ = SelectObject(dc_, font ? font : GetStockObject(SYSTEM_FONT));
}

MeasureDC::~MeasureDC() {
    if (!dc_) return;
    if (old_) SelectObject(dc_, old_);
    DeleteDC(dc_);
}

int MeasureDC::TextWidth(const std::u16string& text) const {
    SIZE size = {0, 0};
    if (!dc_ || text.empty()) return 0;
    GetTextExtentPoint32W(dc_, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int MeasureDC::TextHeight() const {
    TEXTMETRICW tm = {};
    if (!dc_ || !GetTextMetricsW(dc_, &tm)) return 13;
    return tm.tmHeight;
}

int ScrollBarSize() { return GetSystemMetrics(SM_CXVSCROLL); }

// ---- Inner scroll bar ---------------------------------------------------------------------

namespace {

// Length along the bar and thickness across it.
int Length(const InnerScrollBar& b) {
    return b.vertical ? b.rect.bottom - b.rect.top : b.rect.right - b.rect.left;
}
int Thickness(const InnerScrollBar& b) {
    return b.vertical ? b.rect.right - b.rect.left : b.rect.bottom - b.rect.top;
}
int Along(const InnerScrollBar& b, POINT p) { return b.vertical ? p.y : p.x; }
int Start(const InnerScrollBar& b) { return b.vertical ? b.rect.top : b.rect.left; }

// A span [from, to) along the bar as a rectangle.
RECT Span(const InnerScrollBar& b, int from, int to) {
    if (b.vertical) return RECT{b.rect.left, from, b.rect.right, to};
    return RECT{from, b.rect.top, to, b.rect.bottom};
}

// Arrows are square while the bar is long enough, else they share it.
int ArrowLength(const InnerScrollBar& b) { return std::min(Thickness(b), Length(b) / 2); }

constexpr int kMinThumb = 8;

}  // namespace

RECT InnerScrollBar::ArrowRect(bool first) const {
    int a = ArrowLength(*this), s = Start(*this), l = Length(*this);
    return first ? Span(*this, s, s + a) : Span(*this, s + l - a, s + l);
}

RECT InnerScrollBar::TrackRect() const {
    int a = ArrowLength(*this), s = Start(*this), l = Length(*this);
    return Span(*this, s + a, s + l - a);
}

RECT InnerScrollBar::ThumbRect() const {
    RECT track = TrackRect();
    int trackStart = vertical ? track.top : track.left;
    int trackLen = vertical ? track.bottom - track.top : track.right - track.left;
    if (range <= page || range <= 0 || trackLen < kMinThumb) return RECT{0, 0, 0, 0};
    int64_t len = static_cast<int64_t>(trackLen) * page / range;
    int thumb = static_cast<int>(std::clamp<int64_t>(len, kMinThumb, trackLen));
    int free = trackLen - thumb;
    int maxPos = MaxPos();
    int offset = maxPos > 0 ? static_cast<int>(static_cast<int64_t>(free) *
                                               std::clamp(pos, 0, maxPos) / maxPos)
                            : 0;
    return Span(*this, trackStart + offset, trackStart + offset + thumb);
}

ScrollPart InnerScrollBar::HitTest(POINT p) const {
    if (!Shown() || !PtInRect(&rect, p)) return ScrollPart::None;
    RECT up = ArrowRect(true), down = ArrowRect(false);
    if (PtInRect(&up, p)) return ScrollPart::LineUp;
    if (PtInRect(&down, p)) return ScrollPart::LineDown;
    RECT thumb = ThumbRect();
    if (IsRectEmpty(&thumb)) return ScrollPart::None;
    if (PtInRect(&thumb, p)) return ScrollPart::Thumb;
    int a = Along(*this, p);
    return a < (vertical ? thumb.top : thumb.left) ? ScrollPart::PageUp : ScrollPart::PageDown;
}

int InnerScrollBar::StepFor(ScrollPart part) const {
    int step = 0;
    switch (part) {
        case ScrollPart::LineUp: step = -1; break;
        case ScrollPart::LineDown: step = 1; break;
        case ScrollPart::PageUp: step = -std::max(1, page); break;
        case ScrollPart::PageDown: step = std::max(1, page); break;
        default: break;
    }
    return std::clamp(pos + step, 0, MaxPos());
}

int InnerScrollBar::PosForThumb(int edge) const {
    RECT track = TrackRect(), thumb = ThumbRect();
    if (IsRectEmpty(&thumb)) return pos;
    int trackStart = vertical ? track.top : track.left;
    int trackLen = vertical ? track.bottom - track.top : track.right - track.left;
    int thumbLen = vertical ? thumb.bottom - thumb.top : thumb.right - thumb.left;
    int free = trackLen - thumbLen;
    if (free <= 0) return pos;
    int offset = std::clamp(edge - trackStart, 0, free);
    // Rounded to the nearest position.
    int64_t p = (static_cast<int64_t>(offset) * MaxPos() + free / 2) / free;
    return static_cast<int>(std::clamp<int64_t>(p, 0, MaxPos()));
}

void InnerScrollBar::Draw(HDC dc, ScrollPart pressed) const {
    if (!Shown()) return;
    bool inactive = range <= page;
    UINT off = inactive ? DFCS_INACTIVE : 0;
    RECT up = ArrowRect(true), down = ArrowRect(false);
    DrawFrameControl(dc, &up, DFC_SCROLL,
                     (vertical ? DFCS_SCROLLUP : DFCS_SCROLLLEFT) | off |
                         (pressed == ScrollPart::LineUp ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &down, DFC_SCROLL,
                     (vertical ? DFCS_SCROLLDOWN : DFCS_SCROLLRIGHT) | off |
                         (pressed == ScrollPart::LineDown ? DFCS_PUSHED : 0));
    RECT track = TrackRect();
    if (IsRectEmpty(&track)) return;
    RECT thumb = ThumbRect();
    FillRect(dc, &track, GetSysColorBrush(COLOR_SCROLLBAR));
    if (IsRectEmpty(&thumb)) return;
    // The page part under the pen darkens while it repeats.
    if (pressed == ScrollPart::PageUp || pressed == ScrollPart::PageDown) {
        RECT part = track;
        if (pressed == ScrollPart::PageUp) {
            if (vertical) part.bottom = thumb.top;
            else part.right = thumb.left;
        } else {
            if (vertical) part.top = thumb.bottom;
            else part.left = thumb.right;
        }
        FillRect(dc, &part, GetSysColorBrush(COLOR_BTNSHADOW));
    }
    DrawFrameControl(dc, &thumb, DFC_BUTTON, DFCS_BUTTONPUSH);
}

int BeginScrollTracking(ScrollTracking& t, const InnerScrollBar& bar, POINT p) {
    t.active = true;
    t.vertical = bar.vertical;
    t.part = bar.HitTest(p);
    t.pen = p;
    if (t.part == ScrollPart::Thumb) {
        RECT thumb = bar.ThumbRect();
        t.grab = Along(bar, p) - (bar.vertical ? thumb.top : thumb.left);
        return bar.pos;
    }
    return bar.StepFor(t.part);
}

int ContinueScrollTracking(ScrollTracking& t, const InnerScrollBar& bar, POINT p, bool repeat) {
    if (!t.active) return bar.pos;
    if (!repeat) t.pen = p;
    if (t.part == ScrollPart::Thumb) return repeat ? bar.pos : bar.PosForThumb(Along(bar, p) - t.grab);
    if (!repeat) return bar.pos;
    // Line parts repeat while the pen is on them; page parts until the thumb
    // reaches the pen.
    if (bar.HitTest(t.pen) != t.part) return bar.pos;
    return bar.StepFor(t.part);
}

}  // namespace commctl
