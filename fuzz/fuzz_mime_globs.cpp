// The reader of the host's MIME globs ("globs2" and "globs") on any text,
// and the lookup of an extension in what it read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "shell/mime_globs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<shell::MimeGlob> globs = shell::ParseMimeGlobs(text);
    for (const char* extension : {"dcm", "mab", "JPG", ""}) shell::MediaTypeOfExtension(globs, extension);
    return 0;
}
