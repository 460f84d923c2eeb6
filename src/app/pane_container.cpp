// The pane container: splitter layout, splash painting, forwarding to the
// frame.
#include "app/pane_container.h"

#include <algorithm>

#include "app/main_frame_messages.h"

void PaneContainer::SetPanes(HWND first, HWND second, Orientation orientation, bool smallLast) {
    first_ = first;
    second_ = second;
    orientation_ = orientation;
    smallLast_ = smallLast;
    Reset();
}

void PaneContainer::SetSplash(HBITMAP bitmap) {
    splash_ = bitmap;
    if (splash_) {
        if (first_) ShowWindow(first_, SW_HIDE);
        if (second_) ShowWindow(second_, SW_HIDE);
    }
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void PaneContainer::PlaceSplitter() {
    if (!hwnd_) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    // The splitter reaches 4 pixels past the client area at both ends.
    const int scale = std::max(1, GetSystemMetrics(SM_CXBORDER));
    const int half = kSplitterHalf * scale, reach = 4 * scale;
    if (orientation_ == kSideBySide) {
        const int split = std::max(kSplitX * scale, stripThickness_ + half);
        const int x = smallLast_ ? client.right - split : split;
        splitter_ = {x - half, client.top - reach, x + half, client.bottom + reach};
    } else {
        const int split = std::max(kSplitY * scale, stripThickness_ + half);
        const int y = smallLast_ ? client.bottom - split : split;
        splitter_ = {client.left - reach, y - half, client.right + reach, y + half};
    }
}

void PaneContainer::Reset() {
    if (suspended_ || splash_) return;
    PlaceSplitter();
    Layout();
}

void PaneContainer::Layout() {
    if (!hwnd_ || suspended_ || splash_) return;
    RECT area;
    GetClientRect(hwnd_, &area);
    const bool firstShown = first_ && IsWindowVisible(first_);
    const bool secondShown = second_ && IsWindowVisible(second_);
    if (firstShown && secondShown) {
        RECT a = area, b = area;
        if (orientation_ == kSideBySide) {
            a.right = splitter_.left;
            b.left = splitter_.right;
        } else {
            a.bottom = splitter_.top;
            b.top = splitter_.bottom;
        }
        MoveWindow(first_, a.left, a.top, a.right - a.left, a.bottom - a.top, TRUE);
        MoveWindow(second_, b.left, b.top, b.right - b.left, b.bottom - b.top, TRUE);
    } else if (firstShown || secondShown) {
        HWND only = firstShown ? first_ : second_;
        MoveWindow(only, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
        focus_ = only;
    }
    if (!focus_) focus_ = secondShown ? second_ : first_;
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void PaneContainer::Paint(HDC dc) {
    if (splash_) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, splash_);
        // The 240x320 picture covers the screen; large screens show it at
        // twice the size, as they show the rest of the interface.
        const int scale = std::max(1, GetSystemMetrics(SM_CXBORDER));
        StretchBlt(dc, 0, 0, 240 * scale, 320 * scale, memory, 0, 0, 240, 320, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        return;
    }
    if (first_ && second_ && IsWindowVisible(first_) && IsWindowVisible(second_)) {
        RECT face = splitter_;
        DrawFrameControl(dc, &face, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
}

LRESULT PaneContainer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND frame = GetParent(hwnd_);
    switch (message) {
    case WM_SIZE:
        Reset();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        Paint(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (splash_) {
            PostMessageW(frame, MSG_SHOW_MAIN_LAYOUT, 0, 0);
            return 0;
        }
        break;
    case WM_NOTIFY:
    case WM_KEYDOWN:
    case WM_LBUTTONDBLCLK:
        // The frame decides what the panes' reports and the keys mean.
        return SendMessageW(frame, message, wParam, lParam);
    case WM_SETFOCUS:
        if (focus_ && IsWindowVisible(focus_)) SetFocus(focus_);
        return 0;
    default:
        break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}
