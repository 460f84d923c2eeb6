// "kestrava-cli device [PATH...]": where the virtual device lives, and the
// device path each host path given on the command line maps to.
#include <cstdio>

#include "commands.h"
#include "platform/device.h"
#include "platform/wstr.h"

int RunDeviceCommand(int argc, char** argv) {
    std::printf("device root: %s\n", platform::DeviceRoot().c_str());
    std::printf("program folder: %s\n", platform::ProgramFolder().c_str());
    std::printf("registry: %s\n", platform::RegistryHostPath().c_str());
    for (int i = 0; i < argc; ++i) {
        std::printf("%s: %s\n", argv[i],
                    platform::Utf16ToUtf8(platform::HostToDevicePath(argv[i])).c_str());
    }
    return 0;
}
