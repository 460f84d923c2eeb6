#include "view/external_outputs.h"

namespace {

HDC g_outputs[kExternalCardCount] = {};
bool g_internalDisplay = false;

}  // namespace

HDC ExternalOutput(int card) { return card >= 0 && card < kExternalCardCount ? g_outputs[card] : nullptr; }

void SetExternalOutputContext(int card, HDC dc) {
    if (card >= 0 && card < kExternalCardCount) g_outputs[card] = dc;
}

bool AnyExternalOutput() { return g_outputs[kMargiCard] || g_outputs[kVoyagerCard]; }

bool InternalDisplayEnabled() { return g_internalDisplay; }
void SetInternalDisplayEnabled(bool enabled) { g_internalDisplay = enabled; }

void ClearExternalOutput(HDC dc) {
    if (!dc) return;
    RECT whole = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void ClearExternalOutputs() {
    for (HDC dc : g_outputs) ClearExternalOutput(dc);
}
