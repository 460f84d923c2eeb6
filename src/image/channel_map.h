// The ChannelMap: 256 bytes, shared by every ScreenSurface, through which
// each byte the draw routines write passes. Entry i = clamp(trunc(v), 0, 255)
// with v = ((float)(pow(i/255, 1/gamma) * 255 + 0.5) + c - k) * 255 / (255 - 2k),
// then 255 - entry when negated. Rebuilt only when a parameter changes; the
// first build always runs. Unlocked: drawing happens on one thread.
#pragma once

#include <windows.h>

const BYTE* ChannelMap();
// Rebuilds the map for gamma, contrast k, brightness c and negation unless
// those are the parameters of the last build.
void BuildChannelMap(float gamma, int contrast, int brightness, bool negate);
