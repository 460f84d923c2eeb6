// The desktop's mimeapps.list on any text: setting and removing this
// viewer's defaults must keep every other line, and what it writes must
// read back with the same defaults.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/mimeapps_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > shell::MimeAppsList::kLargestFile) return 0;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    shell::MimeAppsList list(text);
    list.SetDefault("application/dicom", "kestrava.desktop");
    list.SetDefault("image/jpeg", "kestrava.desktop");
    list.RemoveDefaults("kestrava.desktop", [](std::string_view type) { return type == "application/dicom"; });
    const std::string written = list.Text();
    shell::MimeAppsList again(written);
    if (again.DefaultsOf("application/dicom").empty() ||
        again.DefaultsOf("application/dicom").front() != "kestrava.desktop") {
        std::abort();
    }
    for (const std::string& program : again.DefaultsOf("image/jpeg")) {
        if (program == "kestrava.desktop") std::abort();
    }
    return 0;
}
