// The system sounds: every MessageBeep (message boxes beep through it too) is
// recorded here in order, so tests can see which sounds a program made, and
// handed to the player the audio layer installs (none yet: nothing plays).
// Not part of the Win32 API. The log keeps the last 256 beeps.
#pragma once

#include <vector>

#include "windows.h"

namespace platform {

// The beep types (MessageBeep's argument: MB_OK, MB_ICONHAND,
// MB_ICONQUESTION, MB_ICONEXCLAMATION, MB_ICONASTERISK or 0xFFFFFFFF) played
// since the last call, oldest first; the log is emptied.
std::vector<UINT> TakeBeepLog();

// Installs the function that plays a beep (null: beeps are only recorded).
// It is called on the beeping thread and must not wait for that thread.
using BeepPlayer = void (*)(UINT type);
void SetBeepPlayer(BeepPlayer player);

}  // namespace platform
