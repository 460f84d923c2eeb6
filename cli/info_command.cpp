// "kestrava-cli info IN...": for each file its path, format name, size,
// depth, pages, frames and format text, and "truncated: yes" for a picture
// whose file ends early, one "key: value" per line, a blank
// line between files. A file that fails is reported on stderr and the others
// still run; the exit code is the last failure's LoadError.
#include <cstdio>
#include <string>

#include "commands.h"
#include "frame_source.h"
#include "image_tool.h"
#include "platform/wstr.h"

int RunInfoCommand(int argc, char** argv) {
    if (argc < 1) {
        std::fprintf(stderr, "usage: kestrava-cli info IN...\n");
        return 2;
    }
    ImageLibrary& library = CliImageLibrary();
    int exitCode = 0;
    bool first = true;
    for (int i = 0; i < argc; ++i) {
        std::string host = argv[i];
        std::u16string device = DevicePathOf(host);
        ImageFile file;
        file.InitImageFile();
        if (device.size() >= MAX_PATH) {
            exitCode = ReportLoadError(host, kLoadPathNotFound);
            continue;
        }
        if (!file.LoadFromPath(device.c_str(), 0)) {
            exitCode = ReportLoadError(host, file.lastError);
            continue;
        }
        const BITMAPINFOHEADER* header = file.image.header;
        const FrameSource* frames = file.image.frameSource;
        if (!first) std::printf("\n");
        first = false;
        std::printf("path: %s\n", host.c_str());
        std::printf("format: %s\n", platform::Utf16ToUtf8(library.FormatName(device.c_str())).c_str());
        std::printf("width: %d\n", header ? static_cast<int>(header->biWidth) : 0);
        std::printf("height: %d\n", header ? static_cast<int>(header->biHeight) : 0);
        std::printf("bits per pixel: %d\n", file.bitsPerPixel);
        std::printf("pages: %u\n", static_cast<unsigned>(file.image.pageCount));
        std::printf("frames: %d\n", frames && frames->frameCount > 0 ? frames->frameCount : 1);
        std::printf("format text: %s\n", platform::Utf16ToUtf8(file.image.formatText).c_str());
        // Only a picture whose file ended early gets the line, so that a
        // batch can pick such files out with one grep.
        if (file.image.truncated) std::printf("truncated: yes\n");
        file.Unload();
    }
    std::fflush(stdout);
    return exitCode;
}
