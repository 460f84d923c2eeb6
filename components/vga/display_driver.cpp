// The display drivers of the two add-on VGA cards, one source built twice:
// "PresentertoGo.dll" (the Margi card, which answers only for device "crt"
// on output "PTG") and "PCARDVGA.DLL" (the Voyager card, which takes no
// names). Each opens the card's display in the mode asked for, else in the
// card's own (640x480 at 16 bits, or KESTRAVA_VGA=WxH), and refuses a mode
// it cannot show.
#include <windows.h>

#include "platform/external_display.h"

namespace {

#if defined(KESTRAVA_CARD_MARGI)
constexpr const char16_t* kCard = u"Margi Presenter-to-Go";
#else
constexpr const char16_t* kCard = u"Voyager VGA";
#endif

bool Named(LPCWSTR given, LPCWSTR expected) { return given && lstrcmpiW(given, expected) == 0; }

}  // namespace

extern "C" __attribute__((visibility("default"))) int DrvOpenDisplay(LPCWSTR device, LPCWSTR output,
                                                                     const DEVMODEW* mode) {
#if defined(KESTRAVA_CARD_MARGI)
    if (!Named(device, u"crt") || !Named(output, u"PTG")) return 0;
#else
    (void)device;
    (void)output;
    (void)Named;
#endif
    // The cards have one mode each; a program cannot choose another.
    if (mode) return 0;
    int width = 0, height = 0;
    platform::DefaultExternalMode(&width, &height);
    return platform::OpenExternalDisplay(kCard, width, height);
}
