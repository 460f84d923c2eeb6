// Opening the "Patient Info" sheet and the window/level dialog, side by side
// with their peers in one run:
//   - the sheet (the element list, both pages, the All list filled) for the
//     test-set file of python3-pydicom with the most elements before its
//     pixel data, and for a generated enhanced multi-frame header of about
//     20 000 elements, against DCMTK's dcmdump (DcmFileFormat::loadFile and
//     print, in-process) and pydicom (dcmread(stop_before_pixels) and a walk
//     formatting each element, timed by dialog_bench_files.py);
//   - the window/level dialog (the preview decode, the histogram, the first
//     draw) for a 512x512 CT and a 2048x2500 radiograph, against dcmj2pnm
//     +Wm (DicomImage with the min-max window and its 8-bit output,
//     in-process);
//   - one slider step of the open dialog (the window recomputed, the preview
//     and histogram redrawn, the block copy to the screen).
// The dialogs run on the headless screen and are closed from a thread timer
// as soon as they are up, so their times include one turn of the modal
// loop. Ratios to Kestrava are printed last.
//
//   dialog_bench [benchmark flags]
#include <windows.h>

#include <benchmark/benchmark.h>
#include <commctrl.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmimgle/dcmimage.h>
#include <dcmtk/oflog/oflog.h>
#include <prsht.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "album/image_album.h"
#include "album/image_entry.h"
#include "app/window_base.h"
#include "dicom/dicom_handler.h"
#include "image/format_handler.h"
#include "image/image_library.h"
#include "platform/device.h"
#include "platform/display.h"
#include "res/resource.h"
#include "view/dicom_info_sheet.h"
#include "view/display_adjustment.h"
#include "view/window_level_dialog.h"

namespace {

namespace fs = std::filesystem;

struct Case {
    std::string host;
    std::u16string device;
    double pydicomMs = 0;  // best of the pydicom runs, for the info files
};
std::map<std::string, Case> g_cases;

// ---- Closing the dialogs from a thread timer ----

enum class Closing { Sheet, WindowLevel, SliderSteps };
Closing g_closing;
int g_slideSteps = 0;
double g_slideSeconds = 0;

void CALLBACK CloseTick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_closing == Closing::Sheet) {
        HWND sheet = FindWindowW(nullptr, u"Patient Info");
        if (!sheet) return;
        // The All page is made when first shown: show it, then close.
        PropSheet_SetCurSel(sheet, nullptr, 1);
        PropSheet_PressButton(sheet, PSBTN_OK);
        return;
    }
    HWND dialog = FindWindowW(nullptr, u"Adjust Colors...");
    if (!dialog) return;
    if (g_closing == Closing::SliderSteps) {
        HWND level = GetDlgItem(dialog, IDC_WL_LEVEL);
        const LRESULT start = SendMessageW(level, TBM_GETPOS, 0, 0);
        const auto t0 = std::chrono::steady_clock::now();
        for (int i = 1; i <= g_slideSteps; ++i) {
            SendMessageW(level, TBM_SETPOS, TRUE, start + (i % 2 ? 5 : -5));
            SendMessageW(dialog, WM_HSCROLL, TB_THUMBTRACK, reinterpret_cast<LPARAM>(level));
        }
        g_slideSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

template <typename Run>
void WithCloser(Closing closing, Run run) {
    g_closing = closing;
    UINT_PTR timer = SetTimer(nullptr, 0, 0, CloseTick);
    run();
    KillTimer(nullptr, timer);
}

// ---- The runs ----

void BM_SheetKestrava(benchmark::State& state, const Case* c) {
    ImageAlbum album;
    album.Append(c->device.c_str());
    album.current = 0;
    for (auto _ : state) {
        WithCloser(Closing::Sheet, [&] { ShowDicomInfo(&album, 0, nullptr); });
    }
}

// dcmdump's work: the data set read as dcmdump reads it, printed.
void BM_SheetDcmdump(benchmark::State& state, const Case* c) {
    for (auto _ : state) {
        DcmFileFormat file;
        file.loadFile(c->host.c_str());
        std::ostringstream out;
        file.print(out);
        benchmark::DoNotOptimize(out.str().size());
    }
}

// Loads the entry as the thumbnail loader does, with the file's window.
ImageEntry* LoadEntry(ImageAlbum* album, const Case* c) {
    ImageEntry* entry = album->Append(c->device.c_str());
    album->current = 0;
    entry->image = new ImageFile;
    entry->image->InitImageFile();
    auto* adjustment = new DisplayAdjustment;
    InitAdjustment(adjustment);
    entry->image->image.adjustment = adjustment;
    entry->image->LoadFromPath(c->device.c_str(), 0);
    entry->loadState = kDecoded;
    return entry;
}

void BM_OpenWindowLevel(benchmark::State& state, const Case* c) {
    ImageAlbum album;
    LoadEntry(&album, c);
    for (auto _ : state) {
        WithCloser(Closing::WindowLevel, [&] { OpenWindowLevelDialog(&album, 0, nullptr); });
    }
}

// dcmj2pnm +Wm: the image with its min-max window, rendered to 8 bits.
void BM_Dcmj2pnm(benchmark::State& state, const Case* c) {
    for (auto _ : state) {
        DicomImage image(c->host.c_str());
        image.setMinMaxWindow();
        const void* out = image.getOutputData(8);
        benchmark::DoNotOptimize(out);
    }
}

void BM_SliderStep(benchmark::State& state, const Case* c) {
    ImageAlbum album;
    LoadEntry(&album, c);
    double steps = 0, seconds = 0;
    for (auto _ : state) {
        g_slideSteps = 20;
        WithCloser(Closing::SliderSteps, [&] { OpenWindowLevelDialog(&album, 0, nullptr); });
        steps += g_slideSteps;
        seconds += g_slideSeconds;
    }
    state.counters["ms_per_step"] = steps > 0 ? seconds * 1000.0 / steps : 0;
}

// Prints each run, then the ratio of every peer to Kestrava per case.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) continue;
            std::string name = run.benchmark_name();
            const size_t suffix = name.find("/real_time");
            if (suffix != std::string::npos) name.erase(suffix);
            const double n = static_cast<double>(run.iterations);
            times_[name] = {run.real_accumulated_time * 1000.0 / n,
                            run.cpu_accumulated_time * 1000.0 / n};
            auto step = run.counters.find("ms_per_step");
            if (step != run.counters.end()) stepMs_[name] = step->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        // CPU time is the fair measure: Kestrava's real time also holds the
        // modal loop's wait for the closing timer.
        std::printf("\nms per opening, CPU (real), and the peer's CPU time over Kestrava's:\n");
        for (const char* name : {"largest_test_header", "enhanced_20k"}) {
            const Times k = times_[std::string("Sheet/") + name + "/Kestrava"];
            const Times d = times_[std::string("Sheet/") + name + "/dcmdump"];
            const double p = g_cases[name].pydicomMs;
            std::printf("  sheet %-20s Kestrava %7.2f (%7.2f)  dcmdump %7.2f (%.2fx)  "
                        "pydicom %7.2f (%.2fx)\n",
                        name, k.cpu, k.real, d.cpu, d.cpu / k.cpu, p, p / k.cpu);
        }
        for (const char* name : {"ct512", "cr2048x2500"}) {
            const Times k = times_[std::string("WindowLevel/") + name + "/Kestrava"];
            const Times d = times_[std::string("WindowLevel/") + name + "/dcmj2pnm"];
            std::printf("  window/level %-13s Kestrava %7.2f (%7.2f)  dcmj2pnm +Wm %7.2f (%.2fx)\n",
                        name, k.cpu, k.real, d.cpu, d.cpu / k.cpu);
        }
        for (const auto& [name, ms] : stepMs_) {
            std::printf("  %s: %.3f ms per slider step\n", name.c_str(), ms);
        }
    }

private:
    struct Times {
        double real = 0, cpu = 0;
    };
    std::map<std::string, Times> times_;
    std::map<std::string, double> stepMs_;
};

std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    while (std::fgets(buffer, sizeof(buffer), pipe)) out += buffer;
    pclose(pipe);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    char rootPattern[] = "/tmp/kestrava-bench-XXXXXX";
    if (mkdtemp(rootPattern) == nullptr || !platform::InitDevice(rootPattern)) {
        std::fprintf(stderr, "dialog_bench: cannot create a device root\n");
        return 1;
    }
    platform::DisplayOptions screen;
    screen.root = rootPattern;
    screen.screen = "240x320x16";
    screen.backend = "headless";
    if (!platform::StartDisplay(screen)) return 1;
    SetAppInstance(GetModuleHandleW(nullptr));
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);

    const std::string script = fs::path(__FILE__).parent_path() / "dialog_bench_files.py";
    const std::string files = std::string(rootPattern) + "/files";
    std::string largest = Capture("/usr/bin/python3 '" + script + "' make '" + files + "'");
    while (!largest.empty() && (largest.back() == '\n' || largest.back() == '\r')) largest.pop_back();
    if (largest.empty()) {
        std::fprintf(stderr, "dialog_bench: no files (is python3-pydicom there?)\n");
        return 1;
    }
    g_cases["largest_test_header"].host = largest;
    g_cases["enhanced_20k"].host = files + "/enhanced.dcm";
    g_cases["ct512"].host = files + "/ct512.dcm";
    g_cases["cr2048x2500"].host = files + "/cr2048.dcm";
    for (auto& [name, c] : g_cases) c.device = platform::HostToDevicePath(c.host);
    // The info files' pydicom times, in the same run.
    std::istringstream times(Capture("/usr/bin/python3 '" + script + "' time '" +
                                     g_cases["largest_test_header"].host + "' '" +
                                     g_cases["enhanced_20k"].host + "'"));
    times >> g_cases["largest_test_header"].pydicomMs >> g_cases["enhanced_20k"].pydicomMs;

    ImageLibrary library;
    fs::create_directories(std::string(rootPattern) + "/Plugins");
    library.BuildLibraryFrom(u"\\Plugins");
    PublishImageLibrary(&library);
    InstallDicomHandler();
    InstallDisplayAdjustment();

    for (const char* name : {"largest_test_header", "enhanced_20k"}) {
        benchmark::RegisterBenchmark((std::string("Sheet/") + name + "/Kestrava").c_str(),
                                     BM_SheetKestrava, &g_cases[name])
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((std::string("Sheet/") + name + "/dcmdump").c_str(),
                                     BM_SheetDcmdump, &g_cases[name])
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    for (const char* name : {"ct512", "cr2048x2500"}) {
        benchmark::RegisterBenchmark((std::string("WindowLevel/") + name + "/Kestrava").c_str(),
                                     BM_OpenWindowLevel, &g_cases[name])
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((std::string("WindowLevel/") + name + "/dcmj2pnm").c_str(),
                                     BM_Dcmj2pnm, &g_cases[name])
            ->Unit(benchmark::kMillisecond)->UseRealTime();
        benchmark::RegisterBenchmark((std::string("SliderStep/") + name).c_str(), BM_SliderStep,
                                     &g_cases[name])
            ->Unit(benchmark::kMillisecond)->UseRealTime();
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    library.TeardownLibrary();
    PublishImageLibrary(nullptr);
    std::error_code ignored;
    fs::remove_all(rootPattern, ignored);
    return 0;
}
