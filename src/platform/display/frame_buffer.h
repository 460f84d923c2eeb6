// The display memory of the virtual device: one frame buffer, default 240x320
// at 16 bits per pixel (RGB 5-6-5, as on the devices), 24 or 32 bits by
// option. Rows are top-down, `pitch` bytes apart. GDI draws into it with
// clipping, the Game API writes into it directly, and the backends (headless,
// sdl) present it. Every writer holds `lock` and reports what it changed with
// MarkDirty so that a backend repaints only then.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "windows.h"

namespace platform {

struct FrameBuffer {
    int width = 240;
    int height = 320;
    int bitsPerPixel = 16;  // 16 (5-6-5), 24 (B, G, R bytes) or 32 (B, G, R, x)
    int pitch = 480;        // bytes per row
    std::vector<uint8_t> pixels;
    std::recursive_mutex lock;
    uint64_t generation = 0;  // bumped by MarkDirty
    RECT dirty = {0, 0, 0, 0};
};

// The process's display memory, created at the configured size on first use.
FrameBuffer& Screen();

// Sets the size and depth before first use: from "--screen WxH[xBPP]" or the
// KESTRAVA_SCREEN variable (same syntax). Returns false for a size it cannot
// show (depth other than 16, 24, 32; sides outside 16..4096).
bool ConfigureScreen(int width, int height, int bitsPerPixel);
bool ConfigureScreenFromText(const char* text);

// Records that a screen rectangle changed (call with `lock` held).
void MarkDirty(const RECT& rect);
// The same for any frame buffer (an external display's).
void MarkDirty(FrameBuffer& fb, const RECT& rect);

// Writes a frame buffer as an 8-bit RGB PNG through a temporary file and a
// rename; false when it cannot be written.
bool SaveFrameBuffer(FrameBuffer& fb, const std::string& path);

}  // namespace platform
