// System metrics, derived from the screen: sizes of the parts the system
// draws, scaled by two on screens whose short side is 480 pixels or more
// (VGA devices draw everything at double size), and the work area, which is
// the screen below the navigation bar and above the input panel while that is up.
#include <atomic>

#include "display/frame_buffer.h"
#include "gwes/window_manager.h"
#include "platform/display.h"

namespace {

// Deliberately without the window manager's lock: GDI may ask for metrics
// while it holds the display lock.
void ScreenSize(int* width, int* height) {
    platform::FrameBuffer& fb = platform::Screen();
    std::lock_guard<std::recursive_mutex> guard(fb.lock);
    *width = fb.width;
    *height = fb.height;
}

int Scale(int width, int height) { return (width < height ? width : height) >= 480 ? 2 : 1; }

// The navigation bar across the top of the screen, the menu bar across the
// bottom, and the input panel, which comes up just above the menu bar.
constexpr int kNavigationBar = 26;
constexpr int kMenuBar = 26;
constexpr int kInputPanel = 80;

// Set by the shell; read without the window manager's lock, like the screen size.
std::atomic<bool> g_navigationBarShown{true};
std::atomic<bool> g_inputPanelUp{false};

}  // namespace

int GetSystemMetrics(int index) {
    int w, h;
    ScreenSize(&w, &h);
    const int s = Scale(w, h);
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN:
    case SM_CXFULLSCREEN: return w;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return h;
    case SM_CYFULLSCREEN: return h - kNavigationBar * s;
    case SM_XVIRTUALSCREEN:
    case SM_YVIRTUALSCREEN: return 0;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
    case SM_CYVSCROLL:
    case SM_CXHSCROLL:
    case SM_CYVTHUMB:
    case SM_CXHTHUMB: return 13 * s;
    case SM_CYCAPTION:
    case SM_CYMENU: return kNavigationBar * s;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1 * s;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
    case SM_CXEDGE:
    case SM_CYEDGE: return 2 * s;
    case SM_CXFRAME:
    case SM_CYFRAME: return 3 * s;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32 * s;
    case SM_CXSMICON:
    case SM_CYSMICON:
    case SM_CXSIZE:
    case SM_CYSIZE: return 16 * s;
    case SM_CXICONSPACING:
    case SM_CYICONSPACING: return 75 * s;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 8 * s;  // a pen lands less precisely than a mouse
    case SM_CXMIN:
    case SM_CYMIN:
    case SM_CXMINTRACK:
    case SM_CYMINTRACK: return 0;
    case SM_MOUSEPRESENT: return 0;
    case SM_CMOUSEBUTTONS: return 1;
    case SM_CMONITORS: return 1;
    case SM_DEBUG: return 0;
    default: return 0;
    }
}

namespace gwes {

void SetShellLayout(bool navigationBar, bool inputPanelUp) {
    g_navigationBarShown.store(navigationBar);
    g_inputPanelUp.store(inputPanelUp);
}

RECT NavigationBarRect() {
    int w, h;
    ScreenSize(&w, &h);
    return {0, 0, w, kNavigationBar * Scale(w, h)};
}

RECT MenuBarRect() {
    int w, h;
    ScreenSize(&w, &h);
    return {0, h - kMenuBar * Scale(w, h), w, h};
}

RECT InputPanelRect() {
    int w, h;
    ScreenSize(&w, &h);
    int s = Scale(w, h);
    return {0, h - (kMenuBar + kInputPanel) * s, w, h - kMenuBar * s};
}

void SystemWorkArea(RECT* rect) {
    int w, h;
    ScreenSize(&w, &h);
    *rect = {0, g_navigationBarShown.load() ? NavigationBarRect().bottom : 0, w, h};
    if (g_inputPanelUp.load()) rect->bottom = InputPanelRect().top;
}

}  // namespace gwes

namespace platform {

void GetWorkArea(RECT* rect) {
    if (rect) gwes::SystemWorkArea(rect);
}

}  // namespace platform
