// External displays: the surfaces that display drivers of add-on video cards
// (components such as "PresentertoGo.dll") open, as a projector or monitor
// on the card would show them. A driver opens one when a program creates a
// device context with it (CreateDCW) and the layer closes it with that
// context (DeleteDC). The sdl backend shows each as a second host window
// named after the card; the headless backend keeps it in memory. Not part of
// the Win32 API: drivers, the automation script and tests call it.
#pragma once

#include <string>

#include "windows.h"

// A display driver's entry, exported under kDisplayDriverEntry: opens the
// card's display for the device and output names asked (either may be
// null) in `mode` (null: the card's own) and returns its number from
// platform::OpenExternalDisplay, or 0 when the card refuses.
typedef int (*DisplayDriverEntry)(LPCWSTR device, LPCWSTR output, const DEVMODEW* mode);
constexpr const char* kDisplayDriverEntry = "DrvOpenDisplay";

namespace platform {

// The card's mode when the program asks for none: 640x480 at 16 bits,
// unless KESTRAVA_VGA=WxH says otherwise.
void DefaultExternalMode(int* width, int* height);

// Opens a 16-bit (5-6-5) surface of the given size, black, for the card
// named `card`; its number (above 0), or 0 for a size outside 16..4096.
int OpenExternalDisplay(const char16_t* card, int width, int height);
void CloseExternalDisplay(int id);

// How many external displays are open.
int ExternalDisplayCount();

// Writes the most recently opened external display as an 8-bit RGB PNG;
// false when none is open or the file cannot be written.
bool SaveExternalScreenshot(const std::string& path);

}  // namespace platform
