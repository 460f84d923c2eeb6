// "kestrava-cli convert": decodes images through the image library (plug-ins
// included) and writes each as an uncompressed BMP, 1, 8 or 24 bits as
// decoded, other depths converted to 24 bits.
//   convert IN OUT.bmp [options]
//   convert [options] --to DIR IN...      (each into DIR/<file name>.bmp)
// Options: --frame N, --page N, --reduced FLAGS, --window CENTER WIDTH,
// --palette NAME|0-7, --negative, --twelve-bit. Every file is decoded with a
// fresh display adjustment carrying the window, palette and negative, as the
// viewer decodes an album entry with its saved choices. A failure is
// reported on stderr with its LoadError; the batch form goes on with the next
// file and exits with the last failure's code. Files are written through a
// temporary file and a rename.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_codec.h"
#include "commands.h"
#include "frame_source.h"
#include "image_tool.h"
#include "platform/wstr.h"
#include "view/display_adjustment.h"

namespace {

struct ConvertOptions {
    int frame = 0;
    int page = 0;
    DWORD flags = 0;
    bool twelveBit = false;
    bool window = false;
    int center = 0;
    int width = 0;
    int palette = -1;
    bool negative = false;
    std::string toFolder;
    std::vector<std::string> paths;
};

int Usage() {
    std::fprintf(stderr,
                 "usage: kestrava-cli convert IN OUT.bmp [options]\n"
                 "       kestrava-cli convert [options] --to DIR IN...\n"
                 "options: --frame N  --page N  --reduced FLAGS  --twelve-bit\n"
                 "         --window CENTER WIDTH  --palette NAME|0-7  --negative\n"
                 "palettes: Grayscale GrayRain HotIron BlackBody NIH Flow Cardiac Spektrum\n"
                 "The window is in the image's rescaled units (DICOM) or sample values.\n"
                 "An 8-bit image given --window or --negative without --palette is shown\n"
                 "through Grayscale, the palette the window/level dialog starts with.\n");
    return 2;
}

bool ParseNumber(const char* text, long* value) {
    char* end = nullptr;
    *value = std::strtol(text, &end, 0);
    return end != text && *end == 0;
}

// A palette by index 0-7 or by name (any case); -1 when there is none.
int ParsePalette(const char* text) {
    long index = 0;
    if (ParseNumber(text, &index)) {
        return index >= 0 && index < kPaletteCount ? static_cast<int>(index) : -1;
    }
    std::string wanted = text;
    for (char& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int i = 0; i < kPaletteCount; ++i) {
        std::string name = platform::Utf16ToUtf8(PaletteName(i));
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == wanted) return i;
    }
    return -1;
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
        } else if (arg == "--window") {
            long width = 0;
            if (!number(&value) || !number(&width)) return Usage();
            if (value < INT32_MIN || value > INT32_MAX || width < 0 || width > INT32_MAX) {
                return Usage();
            }
            options->window = true;
            options->center = static_cast<int>(value);
            options->width = static_cast<int>(width);
        } else if (arg == "--palette") {
            if (i + 1 >= argc) return Usage();
            options->palette = ParsePalette(argv[++i]);
            if (options->palette < 0) {
                std::fprintf(stderr, "kestrava-cli: unknown palette %s\n", argv[i]);
                return Usage();
            }
        } else if (arg == "--negative") {
            options->negative = true;
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

// A fresh display adjustment with the user's choices, as the viewer makes
// one for each decode of an album entry.
void PrepareAdjustment(const ConvertOptions& options, DisplayAdjustment* adjustment) {
    InitAdjustment(adjustment);
    if (options.window) {
        adjustment->center = options.center;
        adjustment->width = options.width;
    }
    adjustment->negative = options.negative ? 1 : 0;
    adjustment->palette = options.palette;
    // The window/level dialog always stores a palette (Grayscale unless
    // another is chosen), so an 8-bit picture with a window or the negative
    // shows through one; without it its colour indices would stay as they are.
    if (adjustment->palette < 0 && (options.window || options.negative)) adjustment->palette = 0;
}

// Decodes frame `index` of a multi-frame image into the image's pixels
// through its frame source, with the image's adjustment.
LoadError DecodeFrame(ImageFile* file, const std::u16string& device, int index) {
    FrameSource* frames = file->image.frameSource;
    if (!IsMultiFrame(frames) || index >= frames->frameCount) return kLoadIndexOutOfRange;
    HANDLE handle = CreateFileW(device.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kLoadCannotOpen;
    // The fetch decodes into the slot of the frame it is asked for; the
    // image's own pixels are the destination for as long as it runs.
    FrameSlot& slot = frames->Slots()[index];
    slot.pixels = file->image.pixels;
    int result = file->LoadFrame(handle, index, 0, 0);
    slot.pixels = nullptr;
    CloseHandle(handle);
    if (result < 0) return kLoadCorrupt;
    return static_cast<LoadError>(result);
}

// Decodes one file and writes it; returns 0 or the LoadError (reported).
int ConvertOne(const std::string& input, const std::string& output, const ConvertOptions& options) {
    std::u16string device = DevicePathOf(input);
    std::u16string target = DevicePathOf(output);
    if (device.size() >= MAX_PATH) return ReportLoadError(input, kLoadPathNotFound);
    if (target.size() + 5 >= MAX_PATH) return ReportLoadError(output, kLoadCannotCreate);
    DisplayAdjustment adjustment;
    PrepareAdjustment(options, &adjustment);
    ImageFile file;
    file.InitImageFile();
    file.image.adjustment = &adjustment;
    if (!file.LoadFromPath(device.c_str(), options.flags)) {
        return ReportLoadError(input, file.lastError);
    }
    LoadError error = kLoadOk;
    if (options.page != 0) {
        // A page is a decode of its own: a fresh record, applied once the
        // page is in, as after a load.
        PrepareAdjustment(options, &adjustment);
        error = file.LoadPage(options.page);
        if (error == kLoadOk) {
            ApplyAdjustment(&file.image);
            adjustment.applied = 1;
        }
    }
    if (error == kLoadOk && options.frame != 0) error = DecodeFrame(&file, device, options.frame);
    if (error == kLoadOk && options.twelveBit) CliImageLibrary().Dither(&file);
    if (error == kLoadOk) error = WriteBmp(file.image, target);
    file.Unload();
    file.image.adjustment = nullptr;
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
