// How the window manager gets device contexts onto the screen: a DC whose
// origin is a window's client (or window) origin in screen coordinates and
// whose drawing is clipped to the window's visible region, given as a list of
// disjoint screen rectangles. GDI owns the DC; the window manager creates it
// for GetDC/BeginPaint and releases it in ReleaseDC/EndPaint.
#pragma once

#include <vector>

#include "windows.h"

namespace platform {

HDC CreateDisplayDC(HWND window, POINT origin, const std::vector<RECT>& visibleRegion);
// Replaces the clip region of a live display DC (the window moved or was uncovered).
void SetDisplayDCRegion(HDC dc, POINT origin, const std::vector<RECT>& visibleRegion);
void DeleteDisplayDC(HDC dc);
// The window a display DC was made for, or null for memory DCs.
HWND WindowFromDisplayDC(HDC dc);

}  // namespace platform
