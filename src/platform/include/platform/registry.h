// Registry services beyond Win32. A registry file that does not parse is
// moved aside to "registry.reg.damaged-YYYYMMDD-HHMMSS" beside it (never
// emptied or overwritten) and the registry starts empty; the program asks
// once at start-up whether that happened so it can tell the user.
// Limits the API enforces with ERROR_INVALID_PARAMETER: value data up to 1 MB,
// key names up to 255 characters, 512 levels, no CR or LF in names.
#pragma once

#include <string>

namespace platform {

// Host path of the damaged registry file (where it was moved, or where it
// still lies when it could not be moved), once after one was found; else empty.
std::string TakeRegistryDamageNotice();

// Forgets everything read from the registry file, as a restart would: the
// next call reads the file again. Open key handles keep naming their keys.
void ReloadRegistryForTest();

}  // namespace platform
