// The window manager's API: windows, messages, input, painting, menus,
// dialogs and system parameters.
#pragma once

#include "windef.h"
#include "winbase.h"

// ---- System parameters -----------------------------------------------------
#define SPI_GETWORKAREA 48
#define SPI_GETOEMINFO 258
#define SPI_GETPLATFORMTYPE 257
BOOL SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT winIni);
#define SystemParametersInfo SystemParametersInfoW
