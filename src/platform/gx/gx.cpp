// The Game API over the display memory. A draw holds the display lock from
// GXBeginDraw to GXEndDraw on the calling thread (GDI and the backends wait
// meanwhile) and marks the whole screen changed at the end, so the backend
// shows it. Suspended or closed, GXBeginDraw returns null.
#include "gx.h"

#include <mutex>

#include "display/frame_buffer.h"

namespace {

struct GxState {
    std::mutex lock;
    bool open = false;
    bool suspended = false;
    HWND window = nullptr;
    DWORD drawingThread = 0;  // the thread between GXBeginDraw and GXEndDraw
    DWORD viewportTop = 0, viewportHeight = 0;
};

GxState& State() {
    static auto* state = new GxState;
    return *state;
}

}  // namespace

int GXOpenDisplay(HWND window, DWORD) {
    GxState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.open) return 0;  // one client at a time, as on the device
    s.open = true;
    s.suspended = false;
    s.window = window;
    return 1;
}

int GXCloseDisplay() {
    GxState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.open) return 0;
    s.open = false;
    s.window = nullptr;
    return 1;
}

void* GXBeginDraw() {
    GxState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.open || s.suspended || s.drawingThread) return nullptr;
        s.drawingThread = GetCurrentThreadId();
    }
    platform::FrameBuffer& fb = platform::Screen();
    fb.lock.lock();
    return fb.pixels.data();
}

int GXEndDraw() {
    GxState& s = State();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.drawingThread || s.drawingThread != GetCurrentThreadId()) return 0;
        s.drawingThread = 0;
    }
    platform::FrameBuffer& fb = platform::Screen();
    platform::MarkDirty(RECT{0, 0, fb.width, fb.height});
    fb.lock.unlock();
    return 1;
}

int GXOpenInput() { return 1; }
int GXCloseInput() { return 1; }

GXDisplayProperties GXGetDisplayProperties() {
    platform::FrameBuffer& fb = platform::Screen();
    std::lock_guard<std::recursive_mutex> guard(fb.lock);
    GXDisplayProperties p = {};
    p.cxWidth = static_cast<DWORD>(fb.width);
    p.cyHeight = static_cast<DWORD>(fb.height);
    p.cbxPitch = fb.bitsPerPixel / 8;
    p.cbyPitch = fb.pitch;
    p.cBPP = fb.bitsPerPixel;
    p.ffFormat = kfDirect | (fb.bitsPerPixel == 16 ? kfDirect565 : kfDirect888);
    return p;
}

GXKeyList GXGetDefaultKeys(int options) {
    GXKeyList k = {};
    // The rocker and the Action key; A/B/C/Start are the application buttons.
    bool landscape = options == GX_LANDSCAPEKEYS;
    k.vkUp = landscape ? VK_LEFT : VK_UP;
    k.vkDown = landscape ? VK_RIGHT : VK_DOWN;
    k.vkLeft = landscape ? VK_DOWN : VK_LEFT;
    k.vkRight = landscape ? VK_UP : VK_RIGHT;
    k.vkA = 0xC1;
    k.vkB = 0xC2;
    k.vkC = 0xC3;
    k.vkStart = VK_RETURN;
    return k;
}

int GXSuspend() {
    GxState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.suspended = true;
    return 1;
}

int GXResume() {
    GxState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.suspended = false;
    return 1;
}

int GXSetViewport(DWORD top, DWORD height, DWORD, DWORD) {
    GxState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.viewportTop = top;
    s.viewportHeight = height;
    return 1;
}

BOOL GXIsDisplayDRAMBuffer() { return FALSE; }
