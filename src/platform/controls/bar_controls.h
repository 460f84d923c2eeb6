// Shared pieces of the bar controls (trackbar, progress bar, toolbar,
// tooltips, tab control, property sheet): each window keeps a pointer to its
// C++ state in the first pointer-sized slot of its extra bytes, created in
// WM_CREATE and deleted in WM_NCDESTROY. The controls are built
// on the public window and GDI API only, as the device's own are.
#pragma once

#include <string>

#include "commctrl.h"
#include "windows.h"

namespace bars {

// Class registration, one function per control file; RegisterBarClasses
// calls them all.
void RegisterTrackbarClass();
void RegisterProgressClass();
void RegisterToolbarClass();
void RegisterTooltipClass();
void RegisterTabClass();

// Registers a layer-owned class with one pointer of extra bytes per window.
void RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT style = CS_DBLCLKS);

template <class T>
T* StateOf(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, 0));
}
inline void SetState(HWND hwnd, void* state) {
    SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(state));
}

// WM_NOTIFY from a control to `target` (its parent when null); hwndFrom and
// idFrom are filled in. Returns the target's answer.
LRESULT SendNotify(HWND from, NMHDR* header, UINT code, HWND target = nullptr);

// The font a control draws with: the one given by WM_SETFONT, else the
// system font.
HFONT FontOr(HFONT font);

// The background a control paints under itself: what its parent answers to
// WM_CTLCOLORSTATIC, else the button face.
HBRUSH ParentBackground(HWND hwnd, HDC dc);

// Fills a rectangle with a system colour.
void FillSys(HDC dc, const RECT& rect, int sysColor);
// A one-pixel line in a colour from (x0, y0) to (x1, y1), end excluded.
void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color);

// Text of a string that may be a resource id (MAKEINTRESOURCE) in `instance`.
std::u16string TextOrResource(HINSTANCE instance, LPCWSTR text);

// WM_GETDLGCODE answers (the dialog manager's values).
constexpr LRESULT kWantArrows = 0x0001;
constexpr LRESULT kWantChars = 0x0080;

}  // namespace bars
