// Finds the resource directory of a module: the .res bytes its build embedded
// behind kestrava_resources(size_t*), parsed once and kept for the
// life of the process (entries point into the module's read-only data).
// FindEntry returns null and sets the Win32 error when nothing matches.
#pragma once

#include "res/res_file.h"
#include "windows.h"

namespace platform {

const ResEntry* FindEntry(HMODULE module, LPCWSTR name, LPCWSTR type);

}  // namespace platform
