// ContrastBrightness: the process-wide contrast and brightness (each -100 to
// 100, both 0 at start, not saved) that the picture view and the video output
// apply on the way to the screen. While either is non-zero a 65536-entry
// table maps 16-bit RGB 5-6-5 pixels; 24-bit surfaces use the 8-bit form.
// Written on the user-interface thread only; the video output reads the
// table while the dialog that changes it cannot be open.
#pragma once

#include <windows.h>

class ScreenSurface;

// Stores the values (clamped to -100..100) and builds the 16-bit table, or
// releases it when both are 0. When the table cannot be allocated the
// transform stays inactive; the values are kept all the same.
void SetContrastBrightness(int contrast, int brightness);
int CurrentContrast();
int CurrentBrightness();
// Whether the transform is active: exactly while the 16-bit table exists.
bool ContrastBrightnessActive();
// The 16-bit table (5 bits red at bit 11, 6 green at bit 5, 5 blue), or null.
const WORD* ContrastBrightnessTable();

// The 8-bit form for one channel value 0-255: contrast stretches about 128
// by (100 + contrast) / 100, then brightness blends towards white (above 0)
// or black (below 0) by its amount in per cent.
BYTE ContrastBrightnessByte(int contrast, int brightness, int value);
// The same for all 256 values (the dialog's preview uses it).
void BuildContrastBrightnessBytes(int contrast, int brightness, BYTE table[256]);

// While the transform is active: saves the rows of `rect` (surface
// coordinates, top row 0; clipped to the surface) and transforms the bytes
// inside the rectangle with the current values. Returns the saved rows, or
// null when nothing was changed (inactive, empty rectangle, no memory).
BYTE* AdjustSurfaceRect(ScreenSurface* surface, const RECT& rect);
// Copies saved rows back (the same surface and rectangle) and frees them;
// null does nothing.
void RestoreSurfaceRect(ScreenSurface* surface, const RECT& rect, BYTE* saved);
