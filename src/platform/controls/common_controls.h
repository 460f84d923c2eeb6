// What the common controls share: the class registration entry points that
// InitCommonControlsEx calls (list and tree views here, the bar classes in
// controls/bar_controls*), the WM_NOTIFY sender, pen-gesture constants, and
// the scroll bar that a control draws inside its own client area. Controls
// run on their window's thread; nothing here takes a lock.
#pragma once

#include <algorithm>
#include <string>

#include "commctrl.h"

// Registers WC_LISTVIEW and WC_TREEVIEW (list_view.cpp, tree_view.cpp).
void RegisterListTreeClasses();
// Registers the trackbar, progress bar, toolbar, tooltip and tab classes.
void RegisterBarClasses();

namespace commctl {

// The classes' own registration (list_view.cpp, tree_view.cpp).
void RegisterListViewClass();
void RegisterTreeViewClass();

// Pen held this long without moving is a tap-and-hold (as the shell's gesture).
constexpr UINT kHoldMs = 400;
// A pen that moves further than this from where it went down is dragging.
constexpr int kDragDistance = 5;

// Sends WM_NOTIFY to the control's parent (its owner for a pop-up), filling
// in hwndFrom, idFrom and code. Returns the parent's answer, 0 without one.
LRESULT SendNotify(HWND control, UINT code, NMHDR* header);

// True when the pen is further than kDragDistance from `from`.
bool MovedFar(POINT from, POINT to);

// Copies text into a caller's buffer of `capacity` characters, cutting it
// and always terminating it; returns the characters copied.
int CopyText(const std::u16string& text, LPWSTR buffer, int capacity);
// Reads a NUL-terminated string handed in by a caller, at most `limit`
// characters (a caller's text without a terminator cannot run away).
std::u16string ReadText(LPCWSTR text, size_t limit = 4096);

// A DC for measuring text in the control's font outside WM_PAINT.
class MeasureDC {
public:
    explicit MeasureDC(HFONT font);
    ~MeasureDC();
    MeasureDC(const MeasureDC&) = delete;
    MeasureDC& operator=(const MeasureDC&) = delete;
    HDC dc() const { return dc_; }
    int TextWidth(const std::u16string& text) const;
    int TextHeight() const;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// The parts of a scroll bar under the pen.
enum class ScrollPart { None, LineUp, LineDown, PageUp, PageDown, Thumb };

// A scroll bar drawn by the control inside its own client area, so that its
// painting and pen handling stay with the control's. Positions are in the
// control's own units (rows, columns or pixels): pos runs from 0 to
// range - page.
struct InnerScrollBar {
    bool vertical = true;
    RECT rect = {0, 0, 0, 0};  // client coordinates; empty when not shown
    int range = 0;
    int page = 1;
    int pos = 0;

    bool Shown() const { return rect.right > rect.left && rect.bottom > rect.top; }
    int MaxPos() const { return std::max(0, range - page); }
    RECT ArrowRect(bool first) const;
    RECT TrackRect() const;  // between the arrows
    RECT ThumbRect() const;  // empty when everything fits
    ScrollPart HitTest(POINT p) const;
    // The position a line or page part steps to.
    int StepFor(ScrollPart part) const;
    // The position that puts the thumb's leading edge at `edge` pixels.
    int PosForThumb(int edge) const;
    void Draw(HDC dc, ScrollPart pressed) const;
};

// The pen on an inner scroll bar: line and page parts repeat on a timer while
// the pen stays on them, the thumb follows the pen.
struct ScrollTracking {
    bool active = false;
    bool vertical = true;
    ScrollPart part = ScrollPart::None;
    int grab = 0;  // pen offset into the thumb
    POINT pen = {0, 0};
};

// Starts tracking on a pen-down inside `bar`; returns the position to scroll to.
int BeginScrollTracking(ScrollTracking& t, const InnerScrollBar& bar, POINT p);
// The position for a pen move (thumb) or a repeat (line, page: only while the
// pen is still on the part); the bar's own position when nothing changes.
int ContinueScrollTracking(ScrollTracking& t, const InnerScrollBar& bar, POINT p, bool repeat);

// Thickness of an inner scroll bar.
int ScrollBarSize();

}  // namespace commctl

// Key codes the dialog manager asks controls about (WM_GETDLGCODE).
#ifndef DLGC_WANTARROWS
#define DLGC_WANTARROWS 0x0001
#endif
#ifndef DLGC_WANTCHARS
#define DLGC_WANTCHARS 0x0080
#endif
