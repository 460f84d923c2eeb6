#include "display/external_display.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

struct Registry {
    std::mutex lock;
    std::vector<std::shared_ptr<ExternalDisplay>> open;
    int lastId = 0;
};

Registry& Displays() {
    static auto* registry = new Registry;
    return *registry;
}

bool ValidSide(int side) { return side >= 16 && side <= 4096; }

}  // namespace

void DefaultExternalMode(int* width, int* height) {
    *width = 640;
    *height = 480;
    if (const char* text = std::getenv("KESTRAVA_VGA"); text && *text) {
        int w = 0, h = 0, used = 0;
        if (std::sscanf(text, "%dx%d%n", &w, &h, &used) == 2 && text[used] == 0) {
            *width = w;
            *height = h;
        }
    }
}

int OpenExternalDisplay(const char16_t* card, int width, int height) {
    if (!ValidSide(width) || !ValidSide(height)) return 0;
    auto display = std::make_shared<ExternalDisplay>();
    display->card = card ? card : u"";
    FrameBuffer& fb = display->buffer;
    fb.width = width;
    fb.height = height;
    fb.bitsPerPixel = 16;
    fb.pitch = (width * 2 + 3) & ~3;
    fb.pixels.assign(static_cast<size_t>(fb.pitch) * static_cast<size_t>(height), 0);
    fb.dirty = {0, 0, width, height};
    fb.generation = 1;
    Registry& r = Displays();
    std::lock_guard<std::mutex> guard(r.lock);
    display->id = ++r.lastId;
    r.open.push_back(display);
    return display->id;
}

void CloseExternalDisplay(int id) {
    Registry& r = Displays();
    std::lock_guard<std::mutex> guard(r.lock);
    for (auto it = r.open.begin(); it != r.open.end(); ++it) {
        if ((*it)->id == id) {
            r.open.erase(it);
            return;
        }
    }
}

int ExternalDisplayCount() {
    Registry& r = Displays();
    std::lock_guard<std::mutex> guard(r.lock);
    return static_cast<int>(r.open.size());
}

std::shared_ptr<ExternalDisplay> FindExternalDisplay(int id) {
    Registry& r = Displays();
    std::lock_guard<std::mutex> guard(r.lock);
    for (const auto& display : r.open)
        if (display->id == id) return display;
    return nullptr;
}

std::vector<std::shared_ptr<ExternalDisplay>> ExternalDisplays() {
    Registry& r = Displays();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.open;
}

bool SaveExternalScreenshot(const std::string& path) {
    std::vector<std::shared_ptr<ExternalDisplay>> open = ExternalDisplays();
    return !open.empty() && SaveFrameBuffer(open.back()->buffer, path);
}

}  // namespace platform
