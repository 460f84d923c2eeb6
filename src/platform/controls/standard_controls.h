// The standard controls' shared parts: class registration, per-window state
// kept in the first pointer of the window's extra bytes (created on first use,
// freed at WM_NCDESTROY), notifications to the parent, the WM_CTLCOLORxxx
// question, fonts and text measuring, and the scroll-bar geometry, drawing and
// pen tracking that the scroll bar control, list boxes and edits share.
// Everything here runs on the control's own thread without the window lock.
#pragma once

#include <string>

#include "windows.h"

namespace controls {

// ---- Registration ---------------------------------------------------------------------
// Window procedures of the classes (one file each).
LRESULT CALLBACK ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ComboBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The drop-down list of a combo box: a list box in a popup window.
constexpr const WCHAR* kComboListClass = u"ComboLBox";
// Control ids of a combo box's parts, as on the desktop system.
constexpr int kComboListId = 1000;
constexpr int kComboEditId = 1001;
// The list tells its combo box that the user picked an item (wParam) with
// the pen (a message number below WM_USER that Win32 leaves unused).
constexpr UINT kComboListPicked = 0x03F0;
// The brush (and DC colours) of a combo box's list: its parent's answer to
// WM_CTLCOLORLISTBOX for the combo box.
HBRUSH ComboListColor(HWND combo, HDC dc);

// The timer a control uses for auto-repeat while the pen is held (scroll
// arrows, list drags); far from the ids programs pick.
constexpr UINT_PTR kRepeatTimer = 0xFFF0;
constexpr UINT kRepeatDelay = 400;
constexpr UINT kRepeatRate = 80;

// ---- Per-window state -------------------------------------------------------------------
// A control's notification may make its parent destroy it while the control
// is still inside its own handler; the state then lives on until the
// outermost handler returns (StateRef), so no handler touches freed memory.
struct StateBase {
    virtual ~StateBase() = default;
    int busy = 0;
    bool dead = false;
};

class StateRef {
public:
    explicit StateRef(StateBase* s) : s_(s) {
        if (s_) ++s_->busy;
    }
    ~StateRef() {
        if (s_ && --s_->busy == 0 && s_->dead) delete s_;
    }
    StateRef(const StateRef&) = delete;
    StateRef& operator=(const StateRef&) = delete;

private:
    StateBase* s_;
};

template <class T>
T* GetState(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
template <class T>
T* EnsureState(HWND hwnd) {
    T* s = GetState<T>(hwnd);
    if (!s && IsWindow(hwnd)) {
        s = new T;
        SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(s));
    }
    return s;
}
// At WM_NCDESTROY: detaches the state; it goes when no handler uses it.
template <class T>
void ReleaseState(HWND hwnd) {
    T* s = GetState<T>(hwnd);
    SetWindowLongPtrW(hwnd, 0, 0);
    if (!s) return;
    if (s->busy > 0) s->dead = true;
    else delete s;
}

// ---- Parent, notifications, colours --------------------------------------------------------
DWORD Style(HWND hwnd);
int ControlId(HWND hwnd);
// The window that gets the control's notifications: the parent of a child,
// the owner of a popup.
HWND NotifyTarget(HWND hwnd);
void Notify(HWND hwnd, UINT code);
// Asks the parent for the brush to paint with (WM_CTLCOLORBTN, ...); the
// parent also sets the DC's text and background colours. A parent that
// answers 0 gets the default handling.
HBRUSH ControlColor(HWND hwnd, HDC dc, UINT ctlColorMessage);
bool HasClass(HWND hwnd, const WCHAR* className);
// The text a control shows, from the window manager's copy.
std::u16string WindowText(HWND hwnd);

// ---- Fonts and text -----------------------------------------------------------------------
// A control's font: the one WM_SETFONT gave, else the system font.
HFONT FontOrSystem(HFONT font);
int LineHeight(HFONT font);  // tmHeight of the font

// A DC to measure text in the control's font, released on scope exit.
class MeasureDC {
public:
    explicit MeasureDC(HFONT font);
    ~MeasureDC();
    MeasureDC(const MeasureDC&) = delete;
    MeasureDC& operator=(const MeasureDC&) = delete;
    HDC dc() const { return dc_; }
    int Width(const WCHAR* text, int count) const;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// ---- Scroll bars ------------------------------------------------------------------------------
struct ScrollValues {
    int min = 0;
    int max = 0;
    UINT page = 0;
    int pos = 0;
    int trackPos = 0;
    bool tracking = false;            // the thumb is being dragged: trackPos counts
    UINT disabled = ESB_ENABLE_BOTH;  // ESB_DISABLE_xxx arrows
    int MaxPos() const;               // the largest position: max - (page - 1)
    bool Scrollable() const { return MaxPos() > min; }
    int Clamp(int value) const;
};
// SetScrollInfo's rules: an inverted range becomes 0..0, the page shrinks to
// the range, the position is clamped between min and MaxPos().
void ApplyScrollInfo(ScrollValues& v, const SCROLLINFO& info);
// Fills the fields info->fMask asks for; false when it asks for none.
bool FillScrollInfo(const ScrollValues& v, SCROLLINFO* info);

enum class ScrollPart { None, ArrowLow, PageLow, Thumb, PageHigh, ArrowHigh };

struct ScrollGeometry {
    RECT arrowLow = {};
    RECT arrowHigh = {};
    RECT track = {};   // between the arrows
    RECT thumb = {};   // empty without a thumb
    bool hasThumb = false;
};

// The parts of a bar lying in `bar`, with the thumb at `pos`.
ScrollGeometry LayoutScrollBar(const RECT& bar, bool vertical, const ScrollValues& v, int pos);
ScrollPart HitScrollBar(const ScrollGeometry& g, bool vertical, POINT p);
// The position a thumb whose leading edge lies at `edge` (pixels) stands for.
int ScrollPosFromThumb(const ScrollGeometry& g, bool vertical, const ScrollValues& v, int edge);
// Draws a bar; `pressed` shows a held arrow sunk; `thumbPos` places the thumb.
void DrawScrollBar(HDC dc, const RECT& bar, bool vertical, const ScrollValues& v, int thumbPos,
                   ScrollPart pressed, HBRUSH track, bool enabled);

// Follows the pen on a bar from pen-down to pen-up: arrows and page areas
// send their codes at once and repeat while held (kRepeatTimer on `owner`),
// the thumb sends SB_THUMBTRACK while it moves and SB_THUMBPOSITION where it
// is let go, and every tracking ends with SB_ENDSCROLL. Codes go to
// `notify` as WM_HSCROLL/WM_VSCROLL with lParam `control` (null for a
// window's own bars).
class ScrollTracker {
public:
    struct Target {
        HWND owner = nullptr;    // gets the pen messages, the timer and the capture
        HWND notify = nullptr;   // gets WM_HSCROLL / WM_VSCROLL
        HWND control = nullptr;  // lParam of those messages
        bool vertical = true;
        RECT bar = {};           // in the owner's client coordinates
        bool takeCapture = true;
    };
    // The bar's values now (the notified window may change them).
    using ValuesFn = ScrollValues (*)(HWND owner, bool vertical);
    // Redraws the bar while it is tracked (pressed part, thumb at TrackPos()).
    using RedrawFn = void (*)(HWND owner, const ScrollTracker& tracker);

    bool Active() const { return part_ != ScrollPart::None; }
    ScrollPart Pressed() const { return inside_ ? part_ : ScrollPart::None; }
    bool TrackingThumb() const { return part_ == ScrollPart::Thumb; }
    int TrackPos() const { return trackPos_; }
    bool Vertical() const { return target_.vertical; }

    // Starts at a pen-down; false when the point hits nothing that scrolls.
    bool Begin(const Target& target, ValuesFn values, RedrawFn redraw, POINT p);
    void Move(POINT p);
    void End(POINT p);
    void Timer();
    // The pen left without a pen-up (capture lost): ends like a pen-up.
    void Cancel();

private:
    void Send(UINT code, int pos = 0);
    void Step();
    bool PointStillCounts(POINT p) const;

    Target target_;
    ValuesFn values_ = nullptr;
    RedrawFn redraw_ = nullptr;
    ScrollPart part_ = ScrollPart::None;
    bool inside_ = false;
    bool ending_ = false;
    int grabOffset_ = 0;  // pen offset inside the thumb
    int trackPos_ = 0;
    POINT last_ = {0, 0};
};

// ---- A window's own scroll bars (gwes/scroll_info.cpp) ----------------------------------------
// The values of SB_HORZ or SB_VERT of a window (defaults when never set).
ScrollValues WindowScrollValues(HWND hwnd, int bar);
// Sets the thumb-tracking position that GetScrollInfo(SIF_TRACKPOS) reports
// while `tracking` (the position itself otherwise).
void SetWindowTrackPos(HWND hwnd, int bar, int trackPos, bool tracking);
// Where a window's bar lies, in the window's client coordinates (empty
// without the bar).
RECT WindowScrollBarRect(HWND hwnd, int bar);
// Draws a window's bars with the thumb of `bar` at `thumbPos` and `pressed`
// held (both ignored with bar -1).
void DrawWindowScrollBar(HWND hwnd, int bar, int thumbPos, ScrollPart pressed);

// Pen handling for controls that have window scroll bars (list box, edit):
// starts tracking when a pen-down lands on one of the window's bars.
bool BeginWindowScrollTracking(ScrollTracker& tracker, HWND hwnd, POINT p, bool takeCapture);

}  // namespace controls
