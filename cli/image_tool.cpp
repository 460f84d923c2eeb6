// The image library of kestrava-cli and its error report.
#include "image_tool.h"

#include <cstdio>

#include "platform/device.h"
#include "platform/wstr.h"

ImageLibrary& CliImageLibrary() {
    static ImageLibrary* library = [] {
        auto* built = new ImageLibrary;
        built->BuildLibrary();
        PublishImageLibrary(built);
        return built;
    }();
    return *library;
}

std::u16string DevicePathOf(const std::string& hostPath) {
    return platform::HostToDevicePath(hostPath);
}

int ReportLoadError(const std::string& path, LoadError code) {
    std::fprintf(stderr, "kestrava-cli: %s: error %u: %s\n", path.c_str(), static_cast<unsigned>(code),
                 platform::Utf16ToUtf8(LoadErrorMessage(code)).c_str());
    return static_cast<int>(code);
}
