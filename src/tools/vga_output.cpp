#include "tools/vga_output.h"

#include "res/resource.h"
#include "view/external_outputs.h"

namespace {

struct CardDriver {
    LPCWSTR driver;
    LPCWSTR device;
    LPCWSTR output;
};
constexpr CardDriver kDrivers[kExternalCardCount] = {
    {u"PresentertoGo.dll", u"crt", u"PTG"},
    {u"PCARDVGA.DLL", nullptr, nullptr},
};

// Black over the card's whole resolution, so the projector shows nothing
// after the output goes, then the context and its display are closed.
void Release(int card) {
    HDC dc = ExternalOutput(card);
    if (!dc) return;
    ClearExternalOutput(dc);
    DeleteDC(dc);
    SetExternalOutputContext(card, nullptr);
}

}  // namespace

bool SetExternalOutput(int card) {
    if (card < 0 || card >= kExternalCardCount) return false;
    if (ExternalOutput(card)) {
        Release(card);
        return false;
    }
    Release(1 - card);
    const CardDriver& d = kDrivers[card];
    HDC dc = CreateDCW(d.driver, d.device, d.output, nullptr);
    SetExternalOutputContext(card, dc);
    return dc != nullptr;
}

void ToggleInternalDisplay() { SetInternalDisplayEnabled(!InternalDisplayEnabled()); }

void ReleaseExternalOutputs() {
    for (int card = 0; card < kExternalCardCount; ++card) Release(card);
}

bool RunExternalOutputCommand(UINT id) {
    switch (id) {
    case IDM_OUTPUT_MARGI: SetExternalOutput(kMargiCard); return true;
    case IDM_OUTPUT_VOYAGER: SetExternalOutput(kVoyagerCard); return true;
    case IDM_OUTPUT_POCKETPC: ToggleInternalDisplay(); return true;
    default: return false;
    }
}
