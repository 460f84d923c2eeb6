// The two copies every displayed picture takes, against memcpy of the same
// bytes: a full-screen BitBlt of a 24-bit DIB section to the 5-6-5 display,
// and a StretchBlt of a 1024x1024 8-bit DIB section into 240x268 of it.
// Prints each copy's time as a multiple of memcpy's after the table.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "display/frame_buffer.h"
#include "gdi/display_dc.h"
#include "windows.h"

namespace {

constexpr int kScreenW = 240, kScreenH = 320;

HBITMAP MakeDib(int width, int height, int bpp, void** bits) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bpp);
    if (bpp == 8) {
        auto* colors = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < 256; ++i)
            colors[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(255 - i),
                                static_cast<BYTE>(i / 2), 0};
    }
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                            bits, nullptr, 0);
}

void Fill(void* bits, size_t bytes) {
    auto* p = static_cast<uint8_t*>(bits);
    for (size_t i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(i * 7 + (i >> 9));
}

HDC ScreenDC() {
    static HDC dc = [] {
        platform::ConfigureScreen(kScreenW, kScreenH, 16);
        return platform::CreateDisplayDC(nullptr, POINT{0, 0}, {RECT{0, 0, kScreenW, kScreenH}});
    }();
    return dc;
}

void BM_BitBlt24ToScreen565(benchmark::State& state) {
    void* bits = nullptr;
    HBITMAP dib = MakeDib(kScreenW, kScreenH, 24, &bits);
    Fill(bits, static_cast<size_t>(kScreenW) * kScreenH * 3);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, dib);
    HDC screen = ScreenDC();
    for (auto _ : state) {
        BitBlt(screen, 0, 0, kScreenW, kScreenH, mem, 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kScreenW * kScreenH * 3);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
}
BENCHMARK(BM_BitBlt24ToScreen565)->Unit(benchmark::kMicrosecond);

void BM_StretchBlt8To565(benchmark::State& state) {
    void* bits = nullptr;
    HBITMAP dib = MakeDib(1024, 1024, 8, &bits);
    Fill(bits, 1024 * 1024);
    HDC mem = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(mem, dib);
    HDC screen = ScreenDC();
    for (auto _ : state) {
        StretchBlt(screen, 0, 26, 240, 268, mem, 0, 0, 1024, 1024, SRCCOPY);
        benchmark::ClobberMemory();
    }
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
}
BENCHMARK(BM_StretchBlt8To565)->Unit(benchmark::kMicrosecond);

// memcpy of the bytes each copy reads (the 24-bit picture) and writes (the
// 5-6-5 area of the display).
void Memcpy(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> a(bytes, 1), b(bytes, 2);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), bytes);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
void BM_Memcpy_Screen24(benchmark::State& state) {
    Memcpy(state, size_t{kScreenW} * kScreenH * 3);
}
void BM_Memcpy_Screen565(benchmark::State& state) {
    Memcpy(state, size_t{kScreenW} * kScreenH * 2);
}
void BM_Memcpy_Stretch565(benchmark::State& state) {
    Memcpy(state, size_t{240} * 268 * 2);
}
BENCHMARK(BM_Memcpy_Screen24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_Screen565)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memcpy_Stretch565)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration)
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&](const char* copy, const char* peer) {
        auto a = reporter.times.find(copy), b = reporter.times.find(peer);
        if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0) return;
        std::printf("%-24s %8.1f us = %5.2f x %s\n", copy, a->second, a->second / b->second, peer);
    };
    std::printf("\n");
    ratio("BM_BitBlt24ToScreen565", "BM_Memcpy_Screen24");
    ratio("BM_BitBlt24ToScreen565", "BM_Memcpy_Screen565");
    ratio("BM_StretchBlt8To565", "BM_Memcpy_Stretch565");
    benchmark::Shutdown();
    return 0;
}
