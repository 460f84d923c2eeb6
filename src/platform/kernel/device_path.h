// How the kernel's file functions see a device path: the normalised device
// components, the host path they map to, and whether the path names one of
// the device's mount points ("\", "\Storage Card", "\Program Files" and
// "\Program Files\Kestrava"), which the file functions never delete, move or
// re-attribute. Also the folders protected like them when reached by another
// name, the program folder's executables and the one place that turns a host
// errno into a Win32 code.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

namespace platform {

enum class DeviceMount {
    None,           // an ordinary file or folder
    Root,           // "\", the device root folder
    StorageCard,    // "\Storage Card", the host's "/"
    ProgramFiles,   // "\Program Files", shown even when the root holds none
    ProgramFolder,  // "\Program Files\Kestrava", the executable's folder
};

struct ResolvedPath {
    std::vector<std::u16string> parts;  // device components after "." and ".."
    std::string host;                   // the host path they name
    DeviceMount mount = DeviceMount::None;
};

// Maps a device path for a file function. A null name sets
// ERROR_INVALID_PARAMETER, an empty one ERROR_PATH_NOT_FOUND, one longer than
// MAX_PATH ERROR_FILENAME_EXCED_RANGE, wildcards or control characters
// ERROR_INVALID_NAME; each returns false.
bool ResolveDevicePath(LPCWSTR devicePath, ResolvedPath* out);
// The same for a name already known to be non-null (empty means "\").
bool ResolveDevicePath(std::u16string_view devicePath, ResolvedPath* out);
// The same checks and mapping without a look at the disk: every component
// as given, so the host path is the exact-case one. A caller that opens an
// existing file tries it first and resolves case only when it is missing,
// which saves a walk of the path for the names that exist as written. It
// leaves `parts` empty: such a caller needs only the host path and the mount.
bool ResolveDevicePathAsGiven(LPCWSTR devicePath, ResolvedPath* out);

// A mount point that appears inside a device folder ("Storage Card" in "\",
// "Kestrava" in "\Program Files"), with the host folder it stands for.
struct MountEntry {
    std::u16string name;
    std::string host;
    DeviceMount mount;
};
std::vector<MountEntry> MountsInFolder(const ResolvedPath& folder);

// Whether the path is a mount point or a protected folder (below): the file
// functions never delete, move or re-attribute either.
bool IsProtectedPath(const ResolvedPath& path);

// The device root, the program's folder, every host folder holding one of
// them, and "\Windows", by identity: reached through "\Storage Card" (or a
// host link) they are still the device's own folders and report
// FILE_ATTRIBUTE_INROM.
bool IsProtectedHostFolder(dev_t device, ino_t inode);

// The device name of an executable in the program's folder carries ".exe",
// as device programs do; on the host it has no extension. `name` is a host
// name directly inside `folder`: true for a regular executable file whose
// name holds no ".".
constexpr char16_t kExecutableExtension[] = u".exe";
bool IsHostExecutable(const std::string& folder, const std::string& name);

// Win32 error for a failed host call on `hostPath`. ENOENT becomes
// ERROR_FILE_NOT_FOUND when the containing folder exists and
// ERROR_PATH_NOT_FOUND when it does not.
DWORD Win32ErrorFromErrno(int error, const std::string& hostPath = {});
// Sets that error and returns FALSE, for the common failure exit.
BOOL FailWithErrno(int error, const std::string& hostPath = {});

// Host path without its last component ("/" for "/a").
std::string HostParent(const std::string& hostPath);

}  // namespace platform
