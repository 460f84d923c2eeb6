// "kestrava-cli device": where the virtual device lives.
#include <cstdio>

#include "commands.h"
#include "platform/device.h"

int RunDeviceCommand(int argc, char**) {
    if (argc != 0) return 2;
    std::printf("device root: %s\n", platform::DeviceRoot().c_str());
    std::printf("program folder: %s\n", platform::ProgramFolder().c_str());
    std::printf("registry: %s\n", platform::RegistryHostPath().c_str());
    return 0;
}
