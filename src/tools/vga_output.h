// Output to VGA: the picture mirrored to an add-on card's display through
// the card's display driver, at most one card at a time.
#pragma once

#include <windows.h>

// Turns a card's output off when it is on; otherwise releases the other
// card's output and opens this one's ("PresentertoGo.dll" on device "crt",
// output "PTG" for the Margi card; "PCARDVGA.DLL" for the Voyager card).
// True when the card's output is on afterwards.
bool SetExternalOutput(int card);
// "Enable PocketPC display": the device's display goes on being drawn
// during direct-drawing playback.
void ToggleInternalDisplay();
// Both outputs black, then closed (at exit).
void ReleaseExternalOutputs();

// The commands of the "Output to VGA" menu (Margi, Voyager, PocketPC
// display); false for another command.
bool RunExternalOutputCommand(UINT id);
