// kestrava: the viewer. "kestrava [platform options] [FILE]" starts the
// device's screen (headless or a window), then the viewer with FILE (a host
// path, given to the viewer as the device path that names it) or with the
// file it opened last.
#include <cstdio>
#include <string>

#include "app/startup.h"
#include "platform/device.h"
#include "platform/display.h"
#include "tools/utilities.h"

int main(int argc, char** argv) {
    if (!platform::StartDisplay(&argc, argv)) return 2;
    // The whole command line is one path.
    std::string joined;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) joined += ' ';
        joined += argv[i];
    }
    std::u16string path;
    if (!joined.empty()) path = platform::HostToDevicePath(joined);
    InstallUtilities();
    const int result = RunViewer(GetModuleHandleW(nullptr), path.c_str());
    platform::StopDisplay();
    return result;
}
