// Start-up of the virtual screen for a program: the platform options of the
// command line and the environment, the device root, the display memory's
// size, the backend and the automation script; and the input entry points.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/backend.h"
#include "display/frame_buffer.h"
#include "gwes/window_manager.h"
#include "platform/device.h"
#include "platform/display.h"

namespace platform {

bool AppendScriptText(std::string_view text);  // script.cpp

namespace {

const char* g_backend = "";

struct OptionName {
    const char* flag;
    std::string DisplayOptions::*field;
};
const OptionName kOptions[] = {
    {"--root", &DisplayOptions::root},
    {"--screen", &DisplayOptions::screen},
    {"--script", &DisplayOptions::script},
    {"--screenshot", &DisplayOptions::screenshot},
};

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

}  // namespace

bool DisplayServerReachable() { return !Env("DISPLAY").empty() || !Env("WAYLAND_DISPLAY").empty(); }

bool ParseDisplayOptions(int* argc, char** argv, DisplayOptions* options) {
    if (!argc || !argv || !options) return false;
    int out = 1;
    for (int i = 1; i < *argc; ++i) {
        const char* arg = argv[i];
        bool matched = false;
        for (const OptionName& o : kOptions) {
            size_t n = std::strlen(o.flag);
            if (std::strncmp(arg, o.flag, n) != 0) continue;
            if (arg[n] == '=') {
                options->*o.field = arg + n + 1;
            } else if (arg[n] == 0) {
                if (i + 1 >= *argc) {
                    std::fprintf(stderr, "kestrava: %s needs a value\n", o.flag);
                    return false;
                }
                options->*o.field = argv[++i];
            } else {
                continue;
            }
            if ((options->*o.field).empty()) {
                std::fprintf(stderr, "kestrava: %s needs a value\n", o.flag);
                return false;
            }
            matched = true;
            break;
        }
        if (!matched) argv[out++] = argv[i];
    }
    *argc = out;
    argv[out] = nullptr;
    return true;
}

bool StartDisplay(const DisplayOptions& options) {
    if (!InitDevice(options.root)) {
        std::fprintf(stderr, "kestrava: cannot set up the device root\n");
        return false;
    }
    std::string screen = options.screen.empty() ? Env("KESTRAVA_SCREEN") : options.screen;
    if (!screen.empty() && !ConfigureScreenFromText(screen.c_str())) {
        std::fprintf(stderr, "kestrava: bad screen size '%s' (WxH or WxHxBPP, 16/24/32 bpp)\n", screen.c_str());
        return false;
    }
    Screen();  // the display memory exists from here on

    std::string backend = options.backend.empty() ? Env("KESTRAVA_DISPLAY") : options.backend;
    int scale = options.scale;
    if (scale <= 0) {
        std::string s = Env("KESTRAVA_SCALE");
        scale = s.empty() ? 2 : std::atoi(s.c_str());
        if (scale <= 0 || scale > 8) {
            std::fprintf(stderr, "kestrava: bad KESTRAVA_SCALE '%s', using 2\n", s.c_str());
            scale = 2;
        }
    }
    if (backend.empty()) {
        backend = DisplayServerReachable() && StartSdlBackend(scale) ? "sdl" : "headless";
    } else if (backend == "sdl") {
        if (!StartSdlBackend(scale)) return false;
    } else if (backend != "headless") {
        std::fprintf(stderr, "kestrava: unknown display backend '%s' (headless or sdl)\n", backend.c_str());
        return false;
    }
    g_backend = backend == "sdl" ? "sdl" : "headless";

    if (!options.script.empty() && !StartScript(options.script)) return false;
    if (!options.screenshot.empty()) {
        std::string tail = "idle\nscreenshot " + options.screenshot + "\nquit\n";
        if (!AppendScriptText(tail)) return false;
    }
    return true;
}

bool StartDisplay(int* argc, char** argv) {
    DisplayOptions options;
    if (!ParseDisplayOptions(argc, argv, &options)) return false;
    return StartDisplay(options);
}

void StopDisplay() {
    if (std::strcmp(g_backend, "sdl") == 0) StopSdlBackend();
    g_backend = "";
}

const char* DisplayBackendName() { return g_backend; }

void RegisterIdleProbe(bool (*probe)()) { gwes::AddIdleProbe(probe); }

void InjectPen(Pen action, int x, int y) {
    gwes::PenAction a = action == Pen::Down ? gwes::PenAction::Down
                        : action == Pen::Up ? gwes::PenAction::Up
                                            : gwes::PenAction::Move;
    gwes::InjectPen(a, POINT{x, y});
}

void InjectKey(UINT virtualKey, bool down) { gwes::InjectKey(virtualKey, down); }

void InjectText(std::u16string_view text) {
    for (char16_t c : text) gwes::InjectChar(c);
}

}  // namespace platform
