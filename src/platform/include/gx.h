// The Game API: direct access to the display memory. GXBeginDraw returns the
// address of the top-left pixel; rows are cbyPitch bytes apart and pixels
// cbxPitch bytes, in the format GXGetDisplayProperties reports (RGB 5-6-5 by
// default). Between GXBeginDraw and GXEndDraw the caller's thread holds the
// display lock (so it must not wait for other threads' windows meanwhile),
// and what it writes is shown after GXEndDraw.
#pragma once

#include "windows.h"

#define GX_FULLSCREEN 0x01
#define GX_NORMALKEYS 0x02
#define GX_LANDSCAPEKEYS 0x03

#define kfLandscape 0x8
#define kfPalette 0x10
#define kfDirect 0x20
#define kfDirect555 0x40
#define kfDirect565 0x80
#define kfDirect888 0x100
#define kfDirect444 0x200
#define kfDirectInverted 0x400

#define GETRAWFRAMEBUFFER 0x00020001

struct GXDisplayProperties {
    DWORD cxWidth;
    DWORD cyHeight;
    long cbxPitch;
    long cbyPitch;
    long cBPP;
    DWORD ffFormat;
};

struct GXKeyList {
    short vkUp;
    POINT ptUp;
    short vkDown;
    POINT ptDown;
    short vkLeft;
    POINT ptLeft;
    short vkRight;
    POINT ptRight;
    short vkA;
    POINT ptA;
    short vkB;
    POINT ptB;
    short vkC;
    POINT ptC;
    short vkStart;
    POINT ptStart;
};

int GXOpenDisplay(HWND window, DWORD flags);
int GXCloseDisplay();
void* GXBeginDraw();
int GXEndDraw();
int GXOpenInput();
int GXCloseInput();
GXDisplayProperties GXGetDisplayProperties();
GXKeyList GXGetDefaultKeys(int options);
int GXSuspend();
int GXResume();
int GXSetViewport(DWORD top, DWORD height, DWORD reserved1, DWORD reserved2);
BOOL GXIsDisplayDRAMBuffer();
