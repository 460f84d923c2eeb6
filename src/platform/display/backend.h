// The display backends behind platform/display.h. The headless backend keeps
// the display memory in memory only; the sdl backend shows it in a host
// window on a thread of its own, which owns every SDL call and turns host
// input into pen, key and character input for the window manager.
#pragma once

namespace platform {

// True when a display server looks reachable (DISPLAY or WAYLAND_DISPLAY).
bool DisplayServerReachable();

// Opens the host window at `scale` times the screen size; false (message on
// stderr) when SDL cannot open a window.
bool StartSdlBackend(int scale);
void StopSdlBackend();

}  // namespace platform
