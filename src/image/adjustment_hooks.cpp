// The two installed display-adjustment operations.
#include "adjustment_hooks.h"

namespace {

PaletteConversionHook gConvert = nullptr;
AdjustmentInitHook gInitialise = nullptr;

}  // namespace

void SetAdjustmentHooks(PaletteConversionHook convert, AdjustmentInitHook initialise) {
    gConvert = convert;
    gInitialise = initialise;
}

PaletteConversionHook CurrentPaletteConversionHook() { return gConvert; }
AdjustmentInitHook CurrentAdjustmentInitHook() { return gInitialise; }
