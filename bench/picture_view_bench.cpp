// The picture view's repaint: a 512x512 8-bit CT picture in the 240x268 view
// at zoom to fit and at 4x, at each rotation. One repaint is the whole paint
// pipeline: margins, the scaled and rotated draw into the back buffer and
// the copy to the display; mirrored, also the picture composed at a VGA
// card's size and copied to its display. Prints each case's repaints per
// second.
//
//   picture_view_bench [--root DEVICE_ROOT] [benchmark options]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "album/image_entry.h"
#include "app/viewer_host.h"
#include "app/window_base.h"
#include "image/bmp_codec.h"
#include "image/image_file.h"
#include "image/image_library.h"
#include "platform/display.h"
#include "view/external_outputs.h"
#include "view/picture_view.h"

namespace {

// The frame the view asks: nothing shows, nothing runs.
class BenchHost : public ViewerHost {
public:
    explicit BenchHost(HWND window) : window_(window) {}
    HWND HostWindow() const override { return window_; }
    ImageAlbum& HostAlbum() override { std::abort(); }
    SettingsBlock& Options() override { return options_; }
    PictureView* View() override { return nullptr; }
    ThumbnailBar* Thumbnails() override { return nullptr; }
    bool SlideShowRunning() const override { return false; }
    bool FullScreen() const override { return false; }
    bool ThumbnailsFillScreen() const override { return false; }
    void LockAlbum() override {}
    void UnlockAlbum() override {}
    bool PauseLoader() override { return false; }
    void ResumeLoader() override {}
    void SwitchMenuBar(int) override {}
    void RefreshToolbar() override {}
    int OpenFile(LPCWSTR, bool) override { return 0; }

private:
    HWND window_;
    SettingsBlock options_ = {};
};

struct Scene {
    HWND parent = nullptr;
    BenchHost* host = nullptr;
    PictureView view;
    ImageEntry entry;
};

// A grey CT-like picture (a bright disc on a ramp) written as an 8-bit BMP
// and decoded through the image library, as the loader would.
Scene* TheScene() {
    static Scene* scene = [] {
        auto* s = new Scene;
        static ImageLibrary library;
        library.BuildLibrary();
        PublishImageLibrary(&library);
        RImage picture;
        if (!CreateImage(nullptr, &picture, 8, 512, 512, nullptr, 0)) std::abort();
        for (int y = 0; y < 512; ++y) {
            BYTE* row = RowAddress(picture, y);
            for (int x = 0; x < 512; ++x) {
                const int dx = x - 256, dy = y - 256;
                row[x] = (BYTE)(dx * dx + dy * dy < 200 * 200 ? 160 + (x + y) % 64 : (x / 2) % 256);
            }
        }
        HANDLE out = CreateFileW(u"\\Temp\\ct.bmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        SaveBmp(out, picture);
        CloseHandle(out);
        ReleaseImagePixels(&picture);
        s->entry.image = new ImageFile();
        s->entry.image->InitImageFile();
        if (!s->entry.image->LoadFromPath(u"\\Temp\\ct.bmp", 0)) std::abort();
        s->entry.block.width = 512;
        s->entry.block.height = 512;
        s->entry.block.bitsPerPixel = 8;
        s->entry.loadState = kDecoded;
        s->parent = CreateWindowExW(0, u"STATIC", u"", WS_VISIBLE, 0, 26, 240, 268, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr);
        s->host = new BenchHost(s->parent);
        RECT rect = {0, 0, 240, 268};
        s->view.Create(s->host, s->parent, &rect, WS_CHILD | WS_VISIBLE, 16, GetModuleHandleW(nullptr));
        s->view.ShowEntry(&s->entry, true);
        return s;
    }();
    return scene;
}

void BM_Repaint(benchmark::State& state) {
    Scene* s = TheScene();
    const bool fit = state.range(0) == 0;
    s->entry.block.flags = fit ? kDisplayZoomToFit : 0;
    s->entry.block.zoom = fit ? -1.0f : 4.0f;
    s->entry.block.rotation = (int)state.range(1);
    s->entry.block.offsetX = -400;  // the middle of the picture at 4x
    s->entry.block.offsetY = -400;
    s->view.Layout();
    HWND window = s->view.Handle();
    for (auto _ : state) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    state.SetLabel(fit ? "zoom to fit" : "4x");
    state.counters["repaints/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Repaint)->ArgsProduct({{0, 1}, {0, 90, 180, 270}})->ArgNames({"4x", "rotation"});

// The same repaint mirrored to a VGA card's display of 640x480 or 1024x768:
// against BM_Repaint of the same case it gives the mirror's share.
void BM_RepaintMirrored(benchmark::State& state) {
    Scene* s = TheScene();
    const int width = (int)state.range(2);
    setenv("KESTRAVA_VGA", width == 640 ? "640x480" : "1024x768", 1);
    HDC output = CreateDCW(u"PCARDVGA.DLL", nullptr, nullptr, nullptr);
    if (!output) {
        state.SkipWithError("no display driver next to the benchmark");
        return;
    }
    SetExternalOutputContext(kVoyagerCard, output);
    const bool fit = state.range(0) == 0;
    s->entry.block.flags = fit ? kDisplayZoomToFit : 0;
    s->entry.block.zoom = fit ? -1.0f : 4.0f;
    s->entry.block.rotation = (int)state.range(1);
    s->entry.block.offsetX = -400;
    s->entry.block.offsetY = -400;
    s->view.Layout();
    HWND window = s->view.Handle();
    for (auto _ : state) {
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
    }
    SetExternalOutputContext(kVoyagerCard, nullptr);
    DeleteDC(output);
    state.SetLabel(fit ? "zoom to fit" : "4x");
    state.counters["repaints/s"] = benchmark::Counter((double)state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RepaintMirrored)
    ->ArgsProduct({{0, 1}, {0, 90}, {640, 1024}})
    ->ArgNames({"4x", "rotation", "output"});

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTRAVA_DISPLAY", "headless", 0);
    if (!platform::StartDisplay(&argc, argv)) return 2;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    platform::StopDisplay();
    return 0;
}
