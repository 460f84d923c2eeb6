// SHChangeNotify: a program tells the shell what it changed. Of the events
// only SHCNE_ASSOCCHANGED does anything here: the file associations of the
// classes root that start the calling program are published to the host
// desktop, so that its file manager opens those files with this viewer.
#pragma once

#ifndef RC_INVOKED
#include "windows.h"

#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNF_IDLIST 0x0000
#define SHCNF_PATHW 0x0005
#define SHCNF_FLUSH 0x1000

void SHChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);
#endif
