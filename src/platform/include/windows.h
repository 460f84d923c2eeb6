// The platform layer's umbrella header, as on the device: system code
// includes <windows.h> and calls the Win32 API by its real names.
#pragma once

#include "winnt.h"
#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winnls.h"
#include "winreg.h"
#include "wingdi.h"
#include "winuser.h"
