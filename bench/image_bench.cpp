// Image subsystem benchmarks against peers, with ratios printed at the end:
//   - BMP decode of a 4000 x 3000 24-bit file through the image library
//     against ImageMagick's MagickCore reading the same file in-process;
//   - DrawImage of a 2048 x 2048 8-bit and 24-bit image into the 240 x 320
//     surface, zoomed to fit and at 1:1, for each rotation, against memcpy of
//     the output bytes.
#include <benchmark/benchmark.h>

#include <magick/MagickCore.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "image_file.h"
#include "image_library.h"
#include "platform/device.h"
#include "platform/wstr.h"
#include "screen_surface.h"

namespace {

std::string gRoot;
std::string gBmpHost;  // the 4000 x 3000 file

void WriteLargeBmp(const std::string& path) {
    const int w = 4000, h = 3000, stride = w * 3;
    std::vector<uint8_t> file(54 + static_cast<size_t>(stride) * h);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    file[0] = 'B';
    file[1] = 'M';
    put32(2, static_cast<uint32_t>(file.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    file[26] = 1;
    file[28] = 24;
    std::mt19937 random(1);
    for (size_t i = 54; i < file.size(); ++i) file[i] = static_cast<uint8_t>((i * 7 + (random() & 15)) & 0xFF);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<char*>(file.data()), file.size());
}

void BM_BmpDecode_Kestrava(benchmark::State& state) {
    std::u16string path = platform::HostToDevicePath(gBmpHost);
    ImageFile file;
    file.InitImageFile();
    for (auto _ : state) {
        if (!file.LoadFromPath(path.c_str(), 0)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(file.image.pixels);
        file.Unload();
    }
}

void BM_BmpDecode_ImageMagick(benchmark::State& state) {
    ExceptionInfo* exception = AcquireExceptionInfo();
    ImageInfo* info = CloneImageInfo(nullptr);
    std::snprintf(info->filename, MaxTextExtent, "%s", gBmpHost.c_str());
    for (auto _ : state) {
        Image* image = ReadImage(info, exception);
        if (!image) state.SkipWithError("ImageMagick could not read the file");
        benchmark::DoNotOptimize(image);
        if (image) DestroyImage(image);
    }
    DestroyImageInfo(info);
    DestroyExceptionInfo(exception);
}

struct DrawSetup {
    RImage image;
    ScreenSurface surface;
};

DrawSetup* MakeDrawSetup(int bitsPerPixel) {
    auto* setup = new DrawSetup;
    setup->image.adjustment = nullptr;
    ResetImage(&setup->image);
    if (!CreateImage(nullptr, &setup->image, bitsPerPixel, 2048, 2048, nullptr, 0)) std::abort();
    std::mt19937 random(2);
    for (DWORD i = 0; i < setup->image.header->biSizeImage; ++i) setup->image.pixels[i] = static_cast<BYTE>(random());
    if (!setup->surface.CreateSurface()) std::abort();
    return setup;
}

// range(0): bits per pixel; range(1): rotation; range(2): 1 = zoom to fit.
void BM_DrawImage(benchmark::State& state) {
    static std::map<int, DrawSetup*> setups;
    int bpp = static_cast<int>(state.range(0));
    if (!setups[bpp]) setups[bpp] = MakeDrawSetup(bpp);
    DrawSetup& s = *setups[bpp];
    s.surface.rotation = static_cast<int>(state.range(1));
    bool fit = state.range(2) != 0;
    // Zoom to fit: the whole 2048 x 2048 picture in 240 x 240; 1:1: a
    // 240 x 320 window of it.
    int dstW = 240, dstH = fit ? 240 : 320, srcW = fit ? 2048 : 240;
    for (auto _ : state) {
        s.surface.DrawImage(0, 0, dstW, dstH, 100, 100, srcW, 0, s.image.header, s.image.pixels);
        benchmark::DoNotOptimize(s.surface.pixels);
    }
    state.SetBytesProcessed(state.iterations() * dstW * dstH * 3);
}

void BM_Memcpy(benchmark::State& state) {
    size_t bytes = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_BmpDecode_Kestrava)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BmpDecode_ImageMagick)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DrawImage)
    ->ArgsProduct({{8, 24}, {0, 90, 180, 270}, {1, 0}})
    ->ArgNames({"bpp", "rotation", "fit"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy)->Arg(240 * 240 * 3)->Arg(240 * 320 * 3)->Unit(benchmark::kMicrosecond);

// Remembers each benchmark's CPU time per iteration (steadier than wall time on
// a shared machine) to print ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/kestrava-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    gRoot = pattern;
    platform::InitDevice(gRoot);
    gBmpHost = gRoot + "/large.bmp";
    WriteLargeBmp(gBmpHost);
    ImageLibrary library;
    library.BuildLibrary();
    PublishImageLibrary(&library);
    MagickCoreGenesis(argv[0], MagickFalse);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto& t = reporter.times;
    // A benchmark's time by the start of its name (options such as
    // "/min_time:2.000" follow it).
    auto time = [&](const std::string& prefix) {
        for (const auto& [name, value] : t) {
            if (name.compare(0, prefix.size(), prefix) == 0) return value;
        }
        return 0.0;
    };
    std::printf("\nRatios of CPU time (below 1: Kestrava is faster):\n");
    if (time("BM_BmpDecode_Kestrava") > 0 && time("BM_BmpDecode_ImageMagick") > 0) {
        std::printf("  BMP decode 4000x3000x24, Kestrava / ImageMagick: %.3f\n",
                    time("BM_BmpDecode_Kestrava") / time("BM_BmpDecode_ImageMagick"));
    }
    for (int bpp : {8, 24}) {
        for (int fit : {1, 0}) {
            std::string copy = fit ? "BM_Memcpy/172800" : "BM_Memcpy/230400";
            for (int rotation : {0, 90, 180, 270}) {
                std::string name = "BM_DrawImage/bpp:" + std::to_string(bpp) +
                                   "/rotation:" + std::to_string(rotation) + "/fit:" + std::to_string(fit);
                if (t.count(name) && t.count(copy)) {
                    std::printf("  DrawImage %2d-bit %-6s rotation %3d / memcpy of its output: %.1f\n", bpp,
                                fit ? "fit" : "1:1", rotation, t[name] / t[copy]);
                }
            }
        }
    }
    MagickCoreTerminus();
    library.TeardownLibrary();
    std::filesystem::remove_all(gRoot);
    benchmark::Shutdown();
    return 0;
}
