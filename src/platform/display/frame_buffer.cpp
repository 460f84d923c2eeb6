// The display memory. It is created lazily at the configured size; tests may
// reconfigure it later, which reallocates the pixels under the lock and marks
// the whole screen dirty (writers never keep pixel pointers across calls).
#include "display/frame_buffer.h"

#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

struct ScreenState {
    FrameBuffer buffer;
    bool allocated = false;
};

ScreenState& State() {
    static ScreenState* state = new ScreenState;  // lives until exit, also for late users
    return *state;
}

bool ValidSize(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
    return width >= 16 && width <= 4096 && height >= 16 && height <= 4096;
}

// "WxH" or "WxHxBPP" with nothing after it.
bool ParseScreenText(const char* text, int* width, int* height, int* bitsPerPixel) {
    int w = 0, h = 0, bpp = 16, used = 0;
    if (std::sscanf(text, "%dx%d%n", &w, &h, &used) != 2) return false;
    if (text[used] == 'x') {
        int more = 0;
        if (std::sscanf(text + used + 1, "%d%n", &bpp, &more) != 1) return false;
        used += 1 + more;
    }
    if (text[used] != 0 || !ValidSize(w, h, bpp)) return false;
    *width = w;
    *height = h;
    *bitsPerPixel = bpp;
    return true;
}

// Rows are padded to 4 bytes, as DIB rows are, so 24 bpp rows stay aligned.
int PitchFor(int width, int bitsPerPixel) { return ((width * bitsPerPixel / 8) + 3) & ~3; }

void Allocate(FrameBuffer& fb) {
    fb.pitch = PitchFor(fb.width, fb.bitsPerPixel);
    fb.pixels.assign(static_cast<size_t>(fb.pitch) * static_cast<size_t>(fb.height), 0);
    fb.dirty = {0, 0, fb.width, fb.height};
    ++fb.generation;
}

}  // namespace

FrameBuffer& Screen() {
    ScreenState& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.buffer.lock);
    if (!state.allocated) {
        // The environment applies unless the program configured the screen first.
        if (const char* text = std::getenv("KESTRAVA_SCREEN"); text && *text) {
            FrameBuffer& fb = state.buffer;
            ParseScreenText(text, &fb.width, &fb.height, &fb.bitsPerPixel);
        }
        Allocate(state.buffer);
        state.allocated = true;
    }
    return state.buffer;
}

bool ConfigureScreen(int width, int height, int bitsPerPixel) {
    if (!ValidSize(width, height, bitsPerPixel)) return false;
    ScreenState& state = State();
    std::lock_guard<std::recursive_mutex> guard(state.buffer.lock);
    state.buffer.width = width;
    state.buffer.height = height;
    state.buffer.bitsPerPixel = bitsPerPixel;
    Allocate(state.buffer);
    state.allocated = true;
    return true;
}

bool ConfigureScreenFromText(const char* text) {
    int w = 0, h = 0, bpp = 0;
    if (!text || !ParseScreenText(text, &w, &h, &bpp)) return false;
    return ConfigureScreen(w, h, bpp);
}

void MarkDirty(const RECT& rect) { MarkDirty(State().buffer, rect); }

void MarkDirty(FrameBuffer& fb, const RECT& rect) {
    RECT r = rect;
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > fb.width) r.right = fb.width;
    if (r.bottom > fb.height) r.bottom = fb.height;
    if (r.left >= r.right || r.top >= r.bottom) return;
    if (fb.dirty.left >= fb.dirty.right || fb.dirty.top >= fb.dirty.bottom) {
        fb.dirty = r;
    } else {
        if (r.left < fb.dirty.left) fb.dirty.left = r.left;
        if (r.top < fb.dirty.top) fb.dirty.top = r.top;
        if (r.right > fb.dirty.right) fb.dirty.right = r.right;
        if (r.bottom > fb.dirty.bottom) fb.dirty.bottom = r.bottom;
    }
    ++fb.generation;
}

}  // namespace platform
