// PaneContainer: the child of the main window that holds the thumbnail bar
// and the picture view, one before the other with a splitter between them,
// or one of them alone. While the splash bitmap is set it shows that instead
// and a tap on it asks the frame for the main layout.
#pragma once

#include "app/window_base.h"

class PaneContainer : public WindowBase {
public:
    // Panes one above the other (0) or side by side (1).
    enum Orientation { kStacked = 0, kSideBySide = 1 };
    // The split point and the splitter's half width around it, at the
    // handheld's size (doubled on the large screens).
    static constexpr int kSplitX = 50;
    static constexpr int kSplitY = 75;
    static constexpr int kSplitterHalf = 3;

    // The two panes, in order; either may be null. The first pane gets the
    // small strip before the split point; with `smallLast` the split point
    // is measured from the far edge instead, so the second pane gets the
    // strip (the thumbnail bar at the bottom or on the right).
    void SetPanes(HWND first, HWND second, Orientation orientation, bool smallLast = false);
    // Shows `bitmap` (owned by the caller) over the whole screen, hiding
    // the panes; null removes it.
    void SetSplash(HBITMAP bitmap);
    HBITMAP Splash() const { return splash_; }
    void SuspendLayout(bool suspended) { suspended_ = suspended; }
    // The small pane's thickness that must fit: the split point moves past
    // its usual place when the strip needs more (names under a scroll bar,
    // cells beside a vertical one).
    void SetStripThickness(int thickness) { stripThickness_ = thickness; }
    // Puts the splitter back at its split point and lays the panes out.
    void Reset();
    void Layout();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void PlaceSplitter();
    void Paint(HDC dc);

    HWND first_ = nullptr;
    HWND second_ = nullptr;
    HWND focus_ = nullptr;
    Orientation orientation_ = kStacked;
    bool smallLast_ = false;
    HBITMAP splash_ = nullptr;
    bool suspended_ = false;
    RECT splitter_ = {0, 0, 0, 0};
    int stripThickness_ = 0;
};
