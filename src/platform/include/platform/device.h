// The virtual device: which host folder is the device root "\", where the
// program's own folder is, and how device paths map onto host paths.
// "\Storage Card" is the host's "/", "\Program Files\Kestrava" the folder of
// the executable; a path component missing in its exact case is looked up
// ignoring case. Not part of the Win32 API: the program's entry and the tests
// call it to set the device up.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Chooses the device root: the explicit folder when given, else KESTRAVA_ROOT,
// else $XDG_DATA_HOME/kestrava/device (~/.local/share/kestrava/device), and
// creates it with "My Documents", "Temp" and "Windows" when missing. Calling
// it again switches roots (tests use a fresh root each). Returns false when
// the folder cannot be created.
bool InitDevice(const std::string& rootFolder = {});

// The root a viewer started without options or KESTRAVA_ROOT uses (as the
// desktop starts it): $XDG_DATA_HOME/kestrava/device.
std::string DesktopDeviceRoot();

// Host folder of "\" (initialising from the environment on first use).
std::string DeviceRoot();

// Host folder that appears as "\Program Files\Kestrava": the folder of the
// running executable unless set (tests set it to their build folder).
std::string ProgramFolder();
void SetProgramFolder(const std::string& hostFolder);

// Maps a device path ("\My Documents\a.dcm"; '/' is accepted as '\') to the
// host path. Existing components are matched ignoring case when the exact
// case is missing; the last components may not exist yet. Relative paths are
// taken from "\". Returns false for a name the device cannot hold.
bool DeviceToHostPath(std::u16string_view devicePath, std::string* hostPath);

// Maps a host path (as given on the command line, relative to the current
// directory or absolute) to the device path that names it: below the device
// root it is the path from "\", in the program's folder it is below
// "\Program Files\Kestrava", anything else is below "\Storage Card".
std::u16string HostToDevicePath(const std::string& hostPath);

// The registry file, "\Windows\registry.reg", as a host path.
std::string RegistryHostPath();

}  // namespace platform
