// The menu template parser behind LoadMenuW and LoadMenuIndirectW: MENU
// (version 0) and MENUEX (version 1) templates read from data[0, size), every
// read checked against the size. A new menu, or null with ERROR_BAD_FORMAT
// (nothing built is left behind).
#pragma once

#include <cstddef>
#include <cstdint>

#include "windows.h"

namespace platform {

HMENU ParseMenuTemplate(const uint8_t* data, size_t size);

}  // namespace platform
