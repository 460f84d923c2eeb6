// The external display outputs: one device context per VGA card, present
// while that card's output is on, and whether the device's own display goes
// on being drawn while a playback draws frames directly ("Enable PocketPC
// display"). The utilities turn them on and off; the picture view and the
// playback loops draw on them. Process-wide, main thread only.
#pragma once

#include <windows.h>

enum ExternalCard : int { kMargiCard = 0, kVoyagerCard = 1, kExternalCardCount = 2 };

// The card's output context, or null while it is off.
HDC ExternalOutput(int card);
void SetExternalOutputContext(int card, HDC dc);
bool AnyExternalOutput();

bool InternalDisplayEnabled();
void SetInternalDisplayEnabled(bool enabled);

// Fills every output black over its whole resolution (a playback starts, an
// output is released).
void ClearExternalOutput(HDC dc);
void ClearExternalOutputs();
