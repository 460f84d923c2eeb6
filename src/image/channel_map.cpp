// The process-wide channel map.
#include "channel_map.h"

#include <cmath>

namespace {

BYTE gMap[256];
// Gamma -1.0 never occurs in a real build, so the first build always runs.
float gLastGamma = -1.0f;
int gLastContrast = 0;
int gLastBrightness = 0;
bool gLastNegate = false;

}  // namespace

const BYTE* ChannelMap() { return gMap; }

void BuildChannelMap(float gamma, int contrast, int brightness, bool negate) {
    if (gamma == gLastGamma && contrast == gLastContrast && brightness == gLastBrightness &&
        negate == gLastNegate) {
        return;
    }
    gLastGamma = gamma;
    gLastContrast = contrast;
    gLastBrightness = brightness;
    gLastNegate = negate;
    float k = static_cast<float>(contrast);
    float c = static_cast<float>(brightness);
    for (int i = 0; i < 256; ++i) {
        float base = static_cast<float>(std::pow(i / 255.0, 1.0 / gamma) * 255.0 + 0.5);
        float v = (base + c - k) * 255.0f / (255.0f - 2.0f * k);
        int entry;
        if (!(v > 0.0f)) {  // also NaN from a degenerate contrast
            entry = 0;
        } else if (v >= 255.0f) {
            entry = 255;
        } else {
            entry = static_cast<int>(v);
        }
        if (negate) entry = 255 - entry;
        gMap[i] = static_cast<BYTE>(entry);
    }
}
