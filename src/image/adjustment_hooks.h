// Where the display adjustment (window/level, negative, pseudo-colour; owned
// by the view subsystem) meets the image subsystem. The image code only holds
// DisplayAdjustment pointers; the view subsystem installs these two operations
// at start-up. Until it does, both steps do nothing.
#pragma once

#include "rimage.h"

// Runs for every 8-bit image created for an adjustment record: the palette
// conversion (it decides itself whether a palette is chosen and whether the
// record is still uninitialised, and may rewrite all 256 colour entries).
typedef void (*PaletteConversionHook)(BITMAPINFOHEADER* header, DisplayAdjustment* adjustment);
// Runs after every successful built-in load whose image carries an
// adjustment: initialises the record from the decoded image unless it is
// initialised already, and marks it initialised.
typedef void (*AdjustmentInitHook)(RImage* image);

void SetAdjustmentHooks(PaletteConversionHook convert, AdjustmentInitHook initialise);
PaletteConversionHook CurrentPaletteConversionHook();
AdjustmentInitHook CurrentAdjustmentInitHook();
