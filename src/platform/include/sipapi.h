// The input panel (SIP) as programs see it: its state and where it sits.
// The panel is the layer's on-screen keyboard; while it is up it covers the
// strip just above the menu bar and the visible desktop ends above it.
// SIPINFO::cbSize must be sizeof(SIPINFO).
#pragma once

#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#define SIPF_DOCKED 0x00000002
#define SIPF_LOCKED 0x00000004

#ifndef RC_INVOKED
#include "windows.h"

typedef struct tagSIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;          // SIPF_ON while the panel is up; the panel is always SIPF_DOCKED
    RECT rcVisibleDesktop;   // the screen between the navigation bar and the panel (or the bottom)
    RECT rcSipRect;          // where the panel is, or would be
    DWORD dwImDataSize;      // no input method data: always 0
    void* pvImData;
} SIPINFO, *PSIPINFO, *LPSIPINFO;

// SHSipPreference's requests.
typedef enum tagSIPSTATE {
    SIP_UP = 0,
    SIP_DOWN,
    SIP_FORCEDOWN,
    SIP_UNCHANGED,
    SIP_INPUTDIALOG,
} SIPSTATE;

// Raises (SIPF_ON) or lowers (SIPF_OFF) the panel.
BOOL SipShowIM(DWORD flags);
BOOL SipGetInfo(SIPINFO* info);
// Takes SIPF_ON from fdwFlags; the rectangles are the system's.
BOOL SipSetInfo(SIPINFO* info);
#endif
