// kestrava-cli: the batch tool on the platform layer and the image library.
// "kestrava-cli [--root FOLDER] COMMAND ARGS..." sets up the virtual device
// (a fresh root when given) and runs one command.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "dicom/dicom_handler.h"
#include "platform/device.h"
#include "view/display_adjustment.h"

namespace {

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* help;
};

const Command kCommands[] = {
    {"device", RunDeviceCommand, "print the device root, program folder, registry file, and the device path of each PATH"},
    {"dump", RunDumpCommand, "[--verbose] IN...: list the elements of DICOM files"},
    {"convert", RunConvertCommand,
     "IN OUT.bmp | [options] --to DIR IN...: decode images and write them as BMP;\n"
     "           options --frame N, --page N, --window CENTER WIDTH, --palette NAME|0-7,\n"
     "           --negative, --reduced FLAGS, --twelve-bit"},
    {"info", RunInfoCommand, "IN...: format, size, depth, pages and frames of image files"},
};

int Usage() {
    std::fprintf(stderr, "usage: kestrava-cli [--root FOLDER] COMMAND ARGS...\n");
    for (const Command& c : kCommands) std::fprintf(stderr, "  %-8s %s\n", c.name, c.help);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    int i = 1;
    if (i + 1 < argc && std::strcmp(argv[i], "--root") == 0) {
        root = argv[i + 1];
        i += 2;
    }
    if (i >= argc) return Usage();
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[i], c.name) != 0) continue;
        if (!platform::InitDevice(root)) {
            std::fprintf(stderr, "kestrava-cli: cannot create the device root\n");
            return 1;
        }
        // The same decoders and display adjustment as the viewer: DICOM
        // files decode through their window, ordinary images get the
        // window, palette and negative after decoding.
        InstallDisplayAdjustment();
        InstallDicomHandler();
        return c.run(argc - i - 1, argv + i + 1);
    }
    return Usage();
}
