// "kestrava-cli convert": decodes images through the image library (plug-ins
// included) and writes each as an uncompressed BMP, 1, 8 or 24 bits as
// decoded, other depths converted to 24 bits.
//   convert IN OUT.bmp [options]
//   convert [options] --to DIR IN...      (each into DIR/<file name>.bmp)
// Options: --frame N, --page N, --reduced FLAGS, --window CENTER WIDTH,
// --palette 0-7, --negative, --twelve-bit. A failure is reported on stderr
// with its LoadError; the batch form goes on with the next file and exits
// with the last failure's code. Files are written through a temporary file
// and a rename.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_codec.h"
#include "commands.h"
#include "frame_source.h"
#include "image_tool.h"

namespace {

struct ConvertOptions {
    int frame = 0;
    int page = 0;
    DWORD flags = 0;
    bool twelveBit = false;
    std::string toFolder;
    std::vector<std::string> paths;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: kestrava-cli convert IN OUT.bmp [options]\n"
                 "       kestrava-cli convert [options] --to DIR IN...\n"
                 "options: --frame N  --page N  --reduced FLAGS  --twelve-bit\n"
                 "         --window CENTER WIDTH  --palette 0-7  --negative\n");
    return 2;
}

bool ParseNumber(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 0);
    return end != text && *end == 0;
}

// 0 when the arguments are usable, else the exit code.
int ParseOptions(int argc, char** argv, ConvertOptions* options) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        auto number = [&](long* value) {
            return i + 1 < argc && ParseNumber(argv[++i], value);
        };
        long value = 0;
        if (arg == "--frame") {
            if (!number(&value) || value < 0) return Usage();
            options->frame = static_cast<int>(value);
        } else if (arg == "--page") {
            if (!number(&value) || value < 0) return Usage();
            options->page = static_cast<int>(value);
        } else if (arg == "--reduced") {
            if (!number(&value)) return Usage();
            options->flags = static_cast<DWORD>(value);
        } else if (arg == "--twelve-bit") {
            options->twelveBit = true;
        } else if (arg == "--to") {
            if (i + 1 >= argc) return Usage();
            options->toFolder = argv[++i];
        } else if (arg == "--window" || arg == "--palette" || arg == "--negative") {
            // Window/level, palettes and the negative switch belong to the
            // display adjustment, which this build does not contain yet.
            std::fprintf(stderr,
                         "kestrava-cli: %s needs the display adjustment (window/level and "
                         "palettes), which this build does not have yet\n",
                         arg.c_str());
            return 2;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kestrava-cli: unknown option %s\n", arg.c_str());
            return Usage();
        } else {
            options->paths.push_back(arg);
        }
    }
    return 0;
}

// Writes the image to a device path through a temporary file and a rename.
LoadError WriteBmp(const RImage& image, const std::u16string& target) {
    const RImage* toWrite = &image;
    RImage converted;
    bool convertedMade = false;
    int depth = image.header ? image.header->biBitCount : 0;
    if (depth != 1 && depth != 8 && depth != 24) {
        if (!StretchToTrueColor(image, 0, 0, &converted)) return kLoadOutOfMemory;
        toWrite = &converted;
        convertedMade = true;
    }
    std::u16string temporary = target + u".part";
    LoadError result = kLoadOk;
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        result = kLoadCannotCreate;
    } else {
        result = SaveBmp(file, *toWrite);
        if (!CloseHandle(file) && result == kLoadOk) result = kLoadWriteError;
        if (result == kLoadOk) {
            DeleteFileW(target.c_str());
            if (!MoveFileW(temporary.c_str(), target.c_str())) result = kLoadCannotCreate;
        }
        if (result != kLoadOk) DeleteFileW(temporary.c_str());
    }
    if (convertedMade) ReleaseImage(&converted);
    return result;
}

// Decodes one file and writes it; returns 0 or the LoadError (reported).
int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options) {
    std::u16string device = DevicePathOf(input);
    std::u16string target = DevicePathOf(output);
    if (device.size() >= MAX_PATH) return ReportLoadError(input, kLoadPathNotFound);
    if (target.size() + 5 >= MAX_PATH) return ReportLoadError(output, kLoadCannotCreate);
    ImageFile file;
    file.InitImageFile();
    if (!file.LoadFromPath(device.c_str(), options.flags)) {
        return ReportLoadError(input, file.lastError);
    }
    LoadError error = kLoadOk;
    if (options.page != 0) error = file.LoadPage(options.page);
    if (error == kLoadOk && options.frame != 0) {
        const FrameSource* frames = file.image.frameSource;
        if (!IsMultiFrame(frames) || options.frame >= frames->frameCount) {
            error = kLoadIndexOutOfRange;
        } else {
            HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle == INVALID_HANDLE_VALUE) {
                error = kLoadCannotOpen;
            } else {
                if (file.LoadFrame(handle, options.frame, 0, 0) < 0) error = kLoadCorrupt;
                CloseHandle(handle);
            }
        }
    }
    if (error == kLoadOk && options.twelveBit) CliImageLibrary().Dither(&file);
    if (error == kLoadOk) error = WriteBmp(file.image, target);
    file.Unload();
    if (error != kLoadOk) return ReportLoadError(error == kLoadCannotCreate || error == kLoadWriteError
                                                     ? output
                                                     : input,
                                                 error);
    return 0;
}

std::string FileName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

int RunConvertCommand(int argc, char** argv) {
    ConvertOptions options;
    if (int code = ParseOptions(argc, argv, &options)) return code;
    CliImageLibrary();
    if (options.toFolder.empty()) {
        if (options.paths.size() != 2) return Usage();
        return ConvertOne(options.paths[0], options.paths[1], options);
    }
    if (options.paths.empty()) return Usage();
    int exitCode = 0;
    for (const std::string& input : options.paths) {
        std::string output = options.toFolder + "/" + FileName(input) + ".bmp";
        if (int code = ConvertOne(input, output, options)) exitCode = code;
    }
    return exitCode;
}
