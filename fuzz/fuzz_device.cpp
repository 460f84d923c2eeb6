// The fuzz targets' device root and input file.
#include "fuzz_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/device.h"
#include "platform/wstr.h"

namespace fuzz {

namespace {

std::string g_root;

void RemoveRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

}  // namespace

void InitFuzzDevice() {
    if (!g_root.empty()) return;
    char pattern[] = "/tmp/kestrava-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || !platform::InitDevice(pattern)) {
        std::fprintf(stderr, "fuzz: cannot create the device root\n");
        std::abort();
    }
    g_root = pattern;
    std::atexit(RemoveRoot);
    platform::SetProgramFolder(KESTRAVA_BIN_DIR);
}

std::u16string PutInput(const uint8_t* data, size_t size, const char* extension) {
    const std::string name = std::string("fuzz.") + extension;
    const std::string host = g_root + "/" + name;
    const int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0) std::abort();
    size_t done = 0;
    while (done < size) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) std::abort();
        done += (size_t)n;
    }
    close(fd);
    return u"\\" + platform::Utf8ToUtf16(name);
}

}  // namespace fuzz
