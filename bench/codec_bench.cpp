// Codec benchmarks against the reference libraries, with ratios printed at
// the end (the files are made at start-up in a temporary device root):
//   - JPEG decode of a 4000 x 3000 baseline and a progressive file through
//     the image library, against libjpeg-turbo running djpeg's decode loop
//     with the same settings (fast integer DCT, no fancy upsampling) in
//     process, and against the djpeg program itself (wall time, output to
//     /dev/null as a portable map and as a BMP). The adapter's limit: within
//     10 % of djpeg.
//   - GIF decode of a 2000 x 1500 file and of a 40-frame animation against
//     giflib's DGifSlurp.
//   - TIFF decode of a 4000 x 3000 RGB file (uncompressed and deflate)
//     against libtiff's TIFFReadRGBAImage and a bare TIFFReadEncodedStrip
//     loop over the same file.
#include <benchmark/benchmark.h>
#include <gif_lib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

// clang-format off
#include <jpeglib.h>
// clang-format on

#include "image_file.h"
#include "image_library.h"
#include "platform/device.h"
#include "platform/wstr.h"

extern char** environ;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::string gRoot;
std::map<std::string, std::string> gFiles;  // key -> host path

// A photograph-like picture: smooth shading, a few edges and grain, so that
// the entropy coder has realistic work.
std::vector<uint8_t> Picture(int width, int height) {
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    std::mt19937 random(3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double fx = x / static_cast<double>(width);
            double fy = y / static_cast<double>(height);
            int grain = static_cast<int>(random() % 13) - 6;
            double wave = 40 * std::sin(fx * 23 + fy * 7) * std::cos(fy * 17);
            int edge = ((x / 250 + y / 190) % 3) * 30;
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(std::clamp(60 + 120 * fx + wave + edge + grain, 0.0, 255.0));
            p[1] = static_cast<uint8_t>(std::clamp(90 + 100 * fy - wave / 2 + grain, 0.0, 255.0));
            p[2] = static_cast<uint8_t>(std::clamp(140 - 80 * fx * fy + edge / 2 + grain, 0.0, 255.0));
        }
    }
    return rgb;
}

void WriteJpeg(const std::string& path, const std::vector<uint8_t>& rgb, bool progressive) {
    FILE* out = std::fopen(path.c_str(), "wb");
    jpeg_compress_struct c;
    jpeg_error_mgr error;
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = kWidth;
    c.image_height = kHeight;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(&rgb[static_cast<size_t>(c.next_scanline) * kWidth * 3]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
}

int WriteGifData(GifFileType* gif, const GifByteType* data, int length) {
    return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(length), static_cast<FILE*>(gif->UserData)));
}

// `frames` frames of width x height, each with its own 256-colour table.
void WriteGif(const std::string& path, int width, int height, int frames) {
    FILE* out = std::fopen(path.c_str(), "wb");
    int error = 0;
    GifFileType* gif = EGifOpen(out, WriteGifData, &error);
    EGifSetGifVersion(gif, true);
    std::vector<GifColorType> colours(256);
    for (int i = 0; i < 256; ++i) {
        colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i * 3)};
    }
    ColorMapObject* global = GifMakeMapObject(256, colours.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, global);
    std::vector<GifPixelType> line(static_cast<size_t>(width));
    std::mt19937 random(9);
    for (int f = 0; f < frames; ++f) {
        ColorMapObject* local = GifMakeMapObject(256, colours.data());
        EGifPutImageDesc(gif, 0, 0, width, height, false, local);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                line[x] = static_cast<GifPixelType>((x / 7 + y / 5 + f * 3 + (random() % 4)) & 0xFF);
            }
            EGifPutLine(gif, line.data(), width);
        }
        GifFreeMapObject(local);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(global);
    std::fclose(out);
}

void WriteTiff(const std::string& path, const std::vector<uint8_t>& rgb, uint16_t compression) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 16);
    for (int y = 0; y < kHeight; ++y) {
        TIFFWriteScanline(tiff, const_cast<uint8_t*>(&rgb[static_cast<size_t>(y) * kWidth * 3]), y, 0);
    }
    TIFFClose(tiff);
}

// ---- Kestrava: every format through the image library -------------------------

void BM_Kestrava(benchmark::State& state, const std::string& key) {
    std::u16string path = platform::HostToDevicePath(gFiles[key]);
    ImageFile file;
    file.InitImageFile();
    for (auto _ : state) {
        if (!file.LoadFromPath(path.c_str(), 0)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(file.image.pixels);
        file.Unload();
    }
}

// ---- JPEG peers ---------------------------------------------------------------

// djpeg's decode loop in process: stdio source, the adapter's settings,
// scanlines into one full-size buffer.
void BM_LibjpegTurbo(benchmark::State& state, const std::string& key) {
    const std::string& path = gFiles[key];
    for (auto _ : state) {
        FILE* in = std::fopen(path.c_str(), "rb");
        jpeg_decompress_struct d;
        jpeg_error_mgr error;
        d.err = jpeg_std_error(&error);
        jpeg_create_decompress(&d);
        jpeg_stdio_src(&d, in);
        jpeg_read_header(&d, TRUE);
        d.dct_method = JDCT_IFAST;
        d.do_fancy_upsampling = FALSE;
        jpeg_start_decompress(&d);
        const size_t stride = static_cast<size_t>(d.output_width) * d.output_components;
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[stride * d.output_height]);
        while (d.output_scanline < d.output_height) {
            JSAMPROW rows[4];
            for (int i = 0; i < 4; ++i) {
                rows[i] = pixels.get() + stride * std::min<size_t>(d.output_scanline + i, d.output_height - 1);
            }
            jpeg_read_scanlines(&d, rows, 4);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        std::fclose(in);
        benchmark::DoNotOptimize(pixels.get());
    }
}

// Runs a program to completion; wall time in seconds.
double RunProgram(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// djpeg writing a portable map streams rows out and never holds the
// picture; writing a BMP (bottom-up, like the image memory) it keeps the
// whole picture, as the adapter does.
void BM_DjpegProgram(benchmark::State& state, const std::string& key, const char* format) {
    for (auto _ : state) {
        double seconds =
            RunProgram({"djpeg", "-dct", "fast", "-nosmooth", format, "-outfile", "/dev/null", gFiles[key]});
        if (seconds < 0) {
            state.SkipWithError("djpeg failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

// The adapter's wall time, to set beside the djpeg program's.
void BM_KestravaWall(benchmark::State& state, const std::string& key) {
    std::u16string path = platform::HostToDevicePath(gFiles[key]);
    ImageFile file;
    file.InitImageFile();
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        if (!file.LoadFromPath(path.c_str(), 0)) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(file.image.pixels);
        file.Unload();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}

// ---- GIF peer -------------------------------------------------------------------

void BM_Giflib(benchmark::State& state, const std::string& key) {
    for (auto _ : state) {
        int error = 0;
        GifFileType* gif = DGifOpenFileName(gFiles[key].c_str(), &error);
        if (!gif || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(gif->SavedImages);
        DGifCloseFile(gif, &error);
    }
}

// ---- TIFF peers -------------------------------------------------------------------

void BM_TiffReadRGBAImage(benchmark::State& state, const std::string& key) {
    for (auto _ : state) {
        TIFF* tiff = TIFFOpen(gFiles[key].c_str(), "r");
        std::unique_ptr<uint32_t[]> raster(new uint32_t[static_cast<size_t>(kWidth) * kHeight]);
        if (!TIFFReadRGBAImageOriented(tiff, kWidth, kHeight, raster.get(), ORIENTATION_TOPLEFT, 0)) {
            state.SkipWithError("libtiff failed");
        }
        benchmark::DoNotOptimize(raster.get());
        TIFFClose(tiff);
    }
}

void BM_TiffStrips(benchmark::State& state, const std::string& key) {
    for (auto _ : state) {
        TIFF* tiff = TIFFOpen(gFiles[key].c_str(), "r");
        const tmsize_t stripSize = TIFFStripSize(tiff);
        const uint32_t strips = TIFFNumberOfStrips(tiff);
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[static_cast<size_t>(stripSize) * strips]);
        for (uint32_t s = 0; s < strips; ++s) {
            if (TIFFReadEncodedStrip(tiff, s, pixels.get() + static_cast<size_t>(s) * stripSize, -1) < 0) {
                state.SkipWithError("libtiff failed");
            }
        }
        benchmark::DoNotOptimize(pixels.get());
        TIFFClose(tiff);
    }
}

void Register() {
    const auto ms = benchmark::kMillisecond;
    for (const char* key : {"jpeg_baseline", "jpeg_progressive"}) {
        benchmark::RegisterBenchmark((std::string("BM_Kestrava/") + key).c_str(), BM_Kestrava, key)->Unit(ms)->MinTime(3);
        benchmark::RegisterBenchmark((std::string("BM_LibjpegTurbo/") + key).c_str(), BM_LibjpegTurbo, key)
            ->Unit(ms)->MinTime(3);
        benchmark::RegisterBenchmark((std::string("BM_KestravaWall/") + key).c_str(), BM_KestravaWall, key)
            ->Unit(ms)->UseManualTime()->MinTime(3);
        benchmark::RegisterBenchmark((std::string("BM_DjpegProgram/pnm/") + key).c_str(), BM_DjpegProgram, key, "-pnm")
            ->Unit(ms)->UseManualTime()->MinTime(3);
        benchmark::RegisterBenchmark((std::string("BM_DjpegProgram/bmp/") + key).c_str(), BM_DjpegProgram, key, "-bmp")
            ->Unit(ms)->UseManualTime()->MinTime(3);
    }
    for (const char* key : {"gif_large", "gif_animated"}) {
        benchmark::RegisterBenchmark((std::string("BM_Kestrava/") + key).c_str(), BM_Kestrava, key)->Unit(ms)->MinTime(2);
        benchmark::RegisterBenchmark((std::string("BM_Giflib/") + key).c_str(), BM_Giflib, key)->Unit(ms)->MinTime(2);
    }
    for (const char* key : {"tiff_none", "tiff_deflate"}) {
        benchmark::RegisterBenchmark((std::string("BM_Kestrava/") + key).c_str(), BM_Kestrava, key)->Unit(ms)->MinTime(2);
        benchmark::RegisterBenchmark((std::string("BM_TiffReadRGBAImage/") + key).c_str(), BM_TiffReadRGBAImage, key)
            ->Unit(ms)->MinTime(2);
        benchmark::RegisterBenchmark((std::string("BM_TiffStrips/") + key).c_str(), BM_TiffStrips, key)
            ->Unit(ms)->MinTime(2);
    }
}

// Remembers each benchmark's time per iteration: CPU time for in-process
// runs (steadier on a shared machine), wall time for the manual ones; with
// --benchmark_repetitions the median of the repetitions.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1 && run.iterations > 0;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (single || median) {
                // Options follow the name: "/min_time:3.000", "/manual_time".
                std::string name = run.benchmark_name();
                const bool manual = name.find("/manual_time") != std::string::npos;
                name = name.substr(0, std::min(name.find("/min_time"), name.find("/manual_time")));
                times[name] = manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    char pattern[] = "/tmp/kestrava-codec-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    gRoot = pattern;
    platform::InitDevice(gRoot);
    const std::vector<uint8_t> picture = Picture(kWidth, kHeight);
    gFiles["jpeg_baseline"] = gRoot + "/baseline.jpg";
    gFiles["jpeg_progressive"] = gRoot + "/progressive.jpg";
    gFiles["gif_large"] = gRoot + "/large.gif";
    gFiles["gif_animated"] = gRoot + "/animated.gif";
    gFiles["tiff_none"] = gRoot + "/none.tif";
    gFiles["tiff_deflate"] = gRoot + "/deflate.tif";
    WriteJpeg(gFiles["jpeg_baseline"], picture, false);
    WriteJpeg(gFiles["jpeg_progressive"], picture, true);
    WriteGif(gFiles["gif_large"], 2000, 1500, 1);
    WriteGif(gFiles["gif_animated"], 500, 400, 40);
    WriteTiff(gFiles["tiff_none"], picture, COMPRESSION_NONE);
    WriteTiff(gFiles["tiff_deflate"], picture, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetWarningHandler(nullptr);

    ImageLibrary library;
    library.BuildLibrary();
    PublishImageLibrary(&library);

    Register();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    auto& t = reporter.times;
    auto ratio = [&](const std::string& what, const std::string& ours, const std::string& theirs) {
        if (t.count(ours) && t.count(theirs) && t[theirs] > 0) {
            std::printf("  %-56s %.3f\n", what.c_str(), t[ours] / t[theirs]);
        }
    };
    std::printf("\nRatios (below 1: Kestrava is faster; CPU time in process, wall time against programs):\n");
    ratio("JPEG 4000x3000 baseline, Kestrava / libjpeg-turbo", "BM_Kestrava/jpeg_baseline",
          "BM_LibjpegTurbo/jpeg_baseline");
    ratio("JPEG 4000x3000 progressive, Kestrava / libjpeg-turbo", "BM_Kestrava/jpeg_progressive",
          "BM_LibjpegTurbo/jpeg_progressive");
    for (const char* format : {"pnm", "bmp"}) {
        for (const char* kind : {"baseline", "progressive"}) {
            std::string what = std::string("JPEG 4000x3000 ") + kind + ", Kestrava / djpeg -" + format;
            ratio(what.c_str(), std::string("BM_KestravaWall/jpeg_") + kind,
                  std::string("BM_DjpegProgram/") + format + "/jpeg_" + kind);
        }
    }
    ratio("GIF 2000x1500, Kestrava / giflib", "BM_Kestrava/gif_large", "BM_Giflib/gif_large");
    ratio("GIF 40 x 500x400 frames, Kestrava / giflib", "BM_Kestrava/gif_animated", "BM_Giflib/gif_animated");
    ratio("TIFF 4000x3000 RGB, Kestrava / TIFFReadRGBAImage", "BM_Kestrava/tiff_none", "BM_TiffReadRGBAImage/tiff_none");
    ratio("TIFF 4000x3000 RGB, Kestrava / strip loop", "BM_Kestrava/tiff_none", "BM_TiffStrips/tiff_none");
    ratio("TIFF 4000x3000 deflate, Kestrava / TIFFReadRGBAImage", "BM_Kestrava/tiff_deflate",
          "BM_TiffReadRGBAImage/tiff_deflate");
    ratio("TIFF 4000x3000 deflate, Kestrava / strip loop", "BM_Kestrava/tiff_deflate", "BM_TiffStrips/tiff_deflate");

    library.TeardownLibrary();
    std::filesystem::remove_all(gRoot);
    benchmark::Shutdown();
    return 0;
}
