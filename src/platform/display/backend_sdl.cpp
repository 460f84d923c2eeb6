// The sdl backend: the display memory in a host window, scaled by a whole
// factor. One thread owns every SDL call: it opens the window, turns host
// input into device input (mouse = pen, arrow keys = navigation keys, Enter =
// Action key, typed text = WM_CHAR, closing the window = WM_CLOSE to the
// foreground top-level window) and presents the display memory whenever its
// generation changes.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "display/backend.h"
#include "display/external_display.h"
#include "display/frame_buffer.h"
#include "display/sdl_library.h"
#include "gwes/window_manager.h"
#include "platform/wstr.h"

namespace platform {

// Set by Run before anything else on the backend's thread touches SDL.
const SdlLibrary* g_sdl = nullptr;

namespace {

struct SdlState {
    std::thread thread;
    std::atomic<bool> stop{false};
    std::atomic<bool> raise{false};
    std::mutex startLock;
    std::condition_variable started;
    int startResult = 0;  // 0 pending, 1 running, -1 failed
    int scale = 2;
};

SdlState& State() {
    static auto* state = new SdlState;
    return *state;
}

Uint32 TextureFormat(int bitsPerPixel) {
    switch (bitsPerPixel) {
    case 16: return SDL_PIXELFORMAT_RGB565;
    case 24: return SDL_PIXELFORMAT_BGR24;  // bytes B, G, R
    default: return SDL_PIXELFORMAT_RGB888;  // 32-bit words 0x00RRGGBB, bytes B, G, R, x
    }
}

UINT VirtualKey(SDL_Keycode key) {
    switch (key) {
    case SDLK_UP: return VK_UP;
    case SDLK_DOWN: return VK_DOWN;
    case SDLK_LEFT: return VK_LEFT;
    case SDLK_RIGHT: return VK_RIGHT;
    case SDLK_RETURN:
    case SDLK_KP_ENTER: return VK_RETURN;  // the Action key
    case SDLK_ESCAPE: return VK_ESCAPE;
    case SDLK_BACKSPACE: return VK_BACK;
    case SDLK_TAB: return VK_TAB;
    case SDLK_DELETE: return VK_DELETE;
    case SDLK_HOME: return VK_HOME;
    case SDLK_END: return VK_END;
    case SDLK_PAGEUP: return VK_PRIOR;
    case SDLK_PAGEDOWN: return VK_NEXT;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT: return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL: return VK_CONTROL;
    default:
        if (key >= SDLK_F1 && key <= SDLK_F12) return static_cast<UINT>(VK_F1 + (key - SDLK_F1));
        return 0;  // printable keys arrive as text
    }
}

class Presenter {
public:
    bool Open(int scale) {
        scale_ = scale;
        FrameBuffer& fb = Screen();
        {
            std::lock_guard<std::recursive_mutex> guard(fb.lock);
            width_ = fb.width;
            height_ = fb.height;
            bpp_ = fb.bitsPerPixel;
        }
        window_ = g_sdl->SDL_CreateWindow("Kestrava", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                   width_ * scale_, height_ * scale_, SDL_WINDOW_SHOWN);
        if (!window_) return false;
        renderer_ = g_sdl->SDL_CreateRenderer(window_, -1, 0);
        if (!renderer_) renderer_ = g_sdl->SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!renderer_) return false;
        return MakeTexture();
    }

    void Close() {
        if (texture_) g_sdl->SDL_DestroyTexture(texture_);
        if (renderer_) g_sdl->SDL_DestroyRenderer(renderer_);
        if (window_) g_sdl->SDL_DestroyWindow(window_);
        texture_ = nullptr;
        renderer_ = nullptr;
        window_ = nullptr;
    }

    // Shows the display memory when it changed since the last time (or always).
    void Present(bool always) {
        FrameBuffer& fb = Screen();
        {
            std::lock_guard<std::recursive_mutex> guard(fb.lock);
            if (!always && fb.generation == shown_) return;
            shown_ = fb.generation;
            if (fb.width != width_ || fb.height != height_ || fb.bitsPerPixel != bpp_) {
                // The screen was reconfigured: follow it.
                width_ = fb.width;
                height_ = fb.height;
                bpp_ = fb.bitsPerPixel;
                g_sdl->SDL_SetWindowSize(window_, width_ * scale_, height_ * scale_);
                if (!MakeTexture()) return;
            }
            g_sdl->SDL_UpdateTexture(texture_, nullptr, fb.pixels.data(), fb.pitch);
        }
        g_sdl->SDL_RenderClear(renderer_);
        g_sdl->SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        g_sdl->SDL_RenderPresent(renderer_);
    }

    void Raise() {
        if (window_) g_sdl->SDL_RaiseWindow(window_);
    }

    POINT ToScreen(int x, int y) const { return {x / scale_, y / scale_}; }
    Uint32 WindowId() const { return window_ ? g_sdl->SDL_GetWindowID(window_) : 0; }

private:
    bool MakeTexture() {
        if (texture_) g_sdl->SDL_DestroyTexture(texture_);
        texture_ = g_sdl->SDL_CreateTexture(renderer_, TextureFormat(bpp_), SDL_TEXTUREACCESS_STREAMING, width_, height_);
        return texture_ != nullptr;
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int width_ = 0, height_ = 0, bpp_ = 16, scale_ = 2;
    uint64_t shown_ = ~uint64_t{0};
};

// The external displays' windows, kept in step with the open displays: one
// per display, named after its card, full screen on a second monitor when
// the host has one (as a projector shows it). Closing one does nothing: the
// program turns its output off.
class ExternalWindows {
public:
    ~ExternalWindows() { CloseAll(); }

    void Sync() {
        std::vector<std::shared_ptr<ExternalDisplay>> open = ExternalDisplays();
        for (size_t i = 0; i < windows_.size();) {
            bool still = false;
            for (const auto& d : open) still = still || d == windows_[i].display;
            if (still) {
                ++i;
            } else {
                Close(windows_[i]);
                windows_.erase(windows_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        for (const auto& d : open) {
            bool shown = false;
            for (const Window& w : windows_) shown = shown || w.display == d;
            if (!shown) Open(d);
        }
        for (Window& w : windows_) Present(w, false);
    }

    bool Owns(Uint32 id) const {
        for (const Window& w : windows_)
            if (w.id == id) return true;
        return false;
    }

    void Expose(Uint32 id) {
        for (Window& w : windows_)
            if (w.id == id) Present(w, true);
    }

    void CloseAll() {
        for (Window& w : windows_) Close(w);
        windows_.clear();
    }

private:
    struct Window {
        std::shared_ptr<ExternalDisplay> display;
        SDL_Window* window = nullptr;
        SDL_Renderer* renderer = nullptr;
        SDL_Texture* texture = nullptr;
        Uint32 id = 0;
        uint64_t shown = ~uint64_t{0};
    };

    void Open(const std::shared_ptr<ExternalDisplay>& display) {
        Window w;
        w.display = display;
        const FrameBuffer& fb = display->buffer;
        std::string title = Utf16ToUtf8(display->card);
        bool second = g_sdl->SDL_GetNumVideoDisplays() > 1;
        int at = second ? static_cast<int>(SDL_WINDOWPOS_CENTERED_DISPLAY(1)) : static_cast<int>(SDL_WINDOWPOS_UNDEFINED);
        w.window = g_sdl->SDL_CreateWindow(title.c_str(), at, at, fb.width, fb.height,
                                           SDL_WINDOW_SHOWN | (second ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0));
        if (w.window) {
            w.renderer = g_sdl->SDL_CreateRenderer(w.window, -1, 0);
            if (!w.renderer) w.renderer = g_sdl->SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
        }
        if (w.renderer) {
            w.texture = g_sdl->SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                                 fb.width, fb.height);
        }
        if (!w.texture) {
            std::fprintf(stderr, "kestrava: cannot show the external display: %s\n", g_sdl->SDL_GetError());
            Close(w);
        }
        // Kept even when it could not be shown, so it is not tried again.
        if (w.window) w.id = g_sdl->SDL_GetWindowID(w.window);
        windows_.push_back(w);
    }

    void Present(Window& w, bool always) {
        if (!w.texture) return;
        FrameBuffer& fb = w.display->buffer;
        {
            std::lock_guard<std::recursive_mutex> guard(fb.lock);
            if (!always && fb.generation == w.shown) return;
            w.shown = fb.generation;
            g_sdl->SDL_UpdateTexture(w.texture, nullptr, fb.pixels.data(), fb.pitch);
        }
        g_sdl->SDL_RenderClear(w.renderer);
        g_sdl->SDL_RenderCopy(w.renderer, w.texture, nullptr, nullptr);
        g_sdl->SDL_RenderPresent(w.renderer);
    }

    static void Close(Window& w) {
        if (w.texture) g_sdl->SDL_DestroyTexture(w.texture);
        if (w.renderer) g_sdl->SDL_DestroyRenderer(w.renderer);
        if (w.window) g_sdl->SDL_DestroyWindow(w.window);
        w.texture = nullptr;
        w.renderer = nullptr;
        w.window = nullptr;
    }

    std::vector<Window> windows_;
};

void HandleEvent(const SDL_Event& e, Presenter& presenter, ExternalWindows& external) {
    // Only the device's own window takes input.
    const Uint32 device = presenter.WindowId();
    switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT && e.button.windowID == device)
            gwes::InjectPen(gwes::PenAction::Down, presenter.ToScreen(e.button.x, e.button.y));
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && e.button.windowID == device)
            gwes::InjectPen(gwes::PenAction::Up, presenter.ToScreen(e.button.x, e.button.y));
        break;
    case SDL_MOUSEMOTION:
        if ((e.motion.state & SDL_BUTTON_LMASK) && e.motion.windowID == device)
            gwes::InjectPen(gwes::PenAction::Move, presenter.ToScreen(e.motion.x, e.motion.y));
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (UINT vk = VirtualKey(e.key.keysym.sym)) gwes::InjectKey(vk, e.type == SDL_KEYDOWN);
        break;
    case SDL_TEXTINPUT:
        for (char16_t c : Utf8ToUtf16(e.text.text)) gwes::InjectChar(c);
        break;
    case SDL_WINDOWEVENT:
        if (external.Owns(e.window.windowID)) {
            if (e.window.event == SDL_WINDOWEVENT_EXPOSED) external.Expose(e.window.windowID);
        } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            gwes::InjectClose();
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            presenter.Present(true);
        }
        break;
    case SDL_QUIT:
        // Sent when the last window closes; with an external window open the
        // device's own close arrives as its window event instead.
        gwes::InjectClose();
        break;
    default:
        break;
    }
}

void RequestRaise() { State().raise = true; }

void Run(int scale) {
    SdlState& s = State();
    Presenter presenter;
    g_sdl = Sdl();
    if (!g_sdl) {
        {
            std::lock_guard<std::mutex> guard(s.startLock);
            s.startResult = -1;
        }
        s.started.notify_all();
        return;
    }
    bool ok = g_sdl->SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (ok) {
        ok = presenter.Open(scale);
        if (!ok) {
            presenter.Close();
            g_sdl->SDL_QuitSubSystem(SDL_INIT_VIDEO);
        }
    }
    if (!ok) std::fprintf(stderr, "kestrava: cannot open the sdl display: %s\n", g_sdl->SDL_GetError());
    {
        std::lock_guard<std::mutex> guard(s.startLock);
        s.startResult = ok ? 1 : -1;
    }
    s.started.notify_all();
    if (!ok) return;
    g_sdl->SDL_StartTextInput();
    presenter.Present(true);
    ExternalWindows external;
    while (!s.stop) {
        SDL_Event e;
        // About 60 frames a second at most; events wake the loop at once.
        if (g_sdl->SDL_WaitEventTimeout(&e, 16)) {
            HandleEvent(e, presenter, external);
            while (g_sdl->SDL_PollEvent(&e)) HandleEvent(e, presenter, external);
        }
        if (s.raise.exchange(false)) presenter.Raise();
        presenter.Present(false);
        external.Sync();
    }
    g_sdl->SDL_StopTextInput();
    external.CloseAll();
    presenter.Close();
    g_sdl->SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace

bool StartSdlBackend(int scale) {
    SdlState& s = State();
    if (s.thread.joinable()) return true;
    s.stop = false;
    s.startResult = 0;
    s.scale = scale;
    s.thread = std::thread(Run, scale);
    std::unique_lock<std::mutex> lock(s.startLock);
    s.started.wait(lock, [&] { return s.startResult != 0; });
    if (s.startResult < 0) {
        lock.unlock();
        s.thread.join();
        return false;
    }
    gwes::SetForegroundHook(RequestRaise);
    return true;
}

void StopSdlBackend() {
    SdlState& s = State();
    if (!s.thread.joinable()) return;
    gwes::SetForegroundHook(nullptr);
    s.stop = true;
    s.thread.join();
}

const SdlLibrary* Sdl() {
    static const SdlLibrary* loaded = []() -> const SdlLibrary* {
        static SdlLibrary table;
        const char* soname = KESTRAVA_SDL2_SONAME;
        void* lib = OpenHostLibrary(soname);
        if (!lib) return nullptr;
        bool ok = true;
        KESTRAVA_SDL_FUNCTIONS(KESTRAVA_HOST_BIND)
        return ok ? &table : nullptr;
    }();
    return loaded;
}

}  // namespace platform
