// The attribute scan of a DICOM file up to its pixel data, side by side with
// DCMTK (DcmFileFormat::loadFileUntilTag) and GDCM (gdcm::Reader::ReadUpToTag):
// over every file of python3-pydicom's test set and over a generated 512x512
// CT. Kestrava opens each file through the platform layer and reads every
// value (dicom_read_value) as the image extraction does. Prints the time per
// file and the ratios to Kestrava after the runs; "Kestrava-open" is the
// platform's part of Kestrava's time (CreateFileW, one ReadFile, CloseHandle).
//
//   dicom_scan_bench [--ct=PATH] [benchmark flags]
//
// --ct keeps the generated CT at PATH (dicom_scan_vs_pydicom.py times pydicom
// on it); otherwise it lives in a temporary folder for the run.
#include <windows.h>

#include <benchmark/benchmark.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/oflog/oflog.h>
#include <gdcmReader.h>
#include <gdcmTrace.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dicom/dicom_reader.h"
#include "platform/device.h"

namespace {

namespace fs = std::filesystem;

struct TestFile {
    std::string host;
    std::u16string device;
};

std::vector<TestFile> g_pydicomSet;
std::vector<TestFile> g_ct;

// The test set, copied into the device's "\My Documents" where the viewer
// finds its files (every peer reads the same copies).
std::vector<TestFile> PydicomSet(const std::string& deviceRoot) {
    std::vector<TestFile> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(KESTRAVA_PYDICOM_TEST_FILES, error), end;
         !error && it != end; it.increment(error)) {
        if (!it->is_regular_file()) continue;
        const std::string ext = it->path().extension().string();
        if (ext == ".txt" || ext == ".json" || ext == ".dump" || ext == ".gz" ||
            it->path().filename() == "README") {
            continue;
        }
        // GDCM (as Debian builds it, with assertions) aborts on this one.
        if (it->path().filename() == "DICOMDIR-nooffset") continue;
        std::string flat = fs::relative(it->path(), KESTRAVA_PYDICOM_TEST_FILES).string();
        std::replace(flat.begin(), flat.end(), '/', '_');
        const std::string copy = deviceRoot + "/My Documents/" + flat;
        if (!fs::copy_file(it->path(), copy, fs::copy_options::overwrite_existing, error)) continue;
        files.push_back({copy, {}});
    }
    std::sort(files.begin(), files.end(),
              [](const TestFile& a, const TestFile& b) { return a.host < b.host; });
    return files;
}

// A 512x512 16-bit CT: the header of pydicom's CT_small.dcm with new pixels.
bool WriteCt(const std::string& path) {
    DcmFileFormat file;
    const std::string source = std::string(KESTRAVA_PYDICOM_TEST_FILES) + "/CT_small.dcm";
    if (file.loadFile(source.c_str()).bad()) return false;
    DcmDataset* data = file.getDataset();
    std::vector<Uint16> pixels(512 * 512);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = (Uint16)((i * 13) & 0x0FFF);
    if (data->putAndInsertUint16(DCM_Rows, 512).bad() ||
        data->putAndInsertUint16(DCM_Columns, 512).bad() ||
        data->putAndInsertUint16Array(DCM_PixelData, pixels.data(), (unsigned long)pixels.size())
            .bad()) {
        return false;
    }
    return file.saveFile(path.c_str(), EXS_LittleEndianExplicit).good();
}

// Kestrava: the reader over the platform's file API, up to the pixel data.
int KestravaScan(const TestFile& file) {
    HANDLE handle = CreateFileW(file.device.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    ByteStream& stream = DicomStream();
    stream.attach_file(handle);
    stream.seek(0, FILE_BEGIN);
    int elements = 0;
    if (dicom_open() == 0) {
        while (DicomElement* e = dicom_next_element()) {
            if (e->group == 0x7FE0 && e->element == 0x0010 && e->depth == 0) break;
            if (dicom_read_value(e->vr) < 0) break;
            dicom_free_value(e->value);
            e->value = nullptr;
            ++elements;
        }
    }
    stream.detach();
    CloseHandle(handle);
    return elements;
}

// The platform's share of KestravaScan: opening the file, one read of the
// stream's window size, closing it.
int PlatformOpenRead(const TestFile& file) {
    static BYTE window[16384];
    HANDLE handle = CreateFileW(file.device.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return -1;
    DWORD got = 0;
    ReadFile(handle, window, sizeof window, &got, nullptr);
    CloseHandle(handle);
    return (int)got;
}

int DcmtkScan(const TestFile& file) {
    DcmFileFormat format;
    const OFCondition status =
        format.loadFileUntilTag(file.host.c_str(), EXS_Unknown, EGL_noChange, DCM_MaxReadLength,
                                ERM_autoDetect, DCM_PixelData);
    return status.good() ? (int)format.getDataset()->card() : -1;
}

int GdcmScan(const TestFile& file) {
    gdcm::Reader reader;
    reader.SetFileName(file.host.c_str());
    if (!reader.ReadUpToTag(gdcm::Tag(0x7FE0, 0x0010))) return -1;
    return (int)reader.GetFile().GetDataSet().Size();
}

template <int (*Scan)(const TestFile&)>
void BM_Scan(benchmark::State& state, const std::vector<TestFile>* files) {
    for (auto _ : state) {
        for (const TestFile& file : *files) benchmark::DoNotOptimize(Scan(file));
    }
    state.counters["files"] = (double)files->size();
    state.counters["per_file"] = benchmark::Counter(
        (double)files->size(),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Prints as the console does, then the time per file of each peer and its
// ratio to Kestrava.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration || run.iterations == 0) {
                continue;
            }
            const std::string name = run.benchmark_name();  // Scan/<set>/<peer>
            const size_t slash = name.rfind('/');
            const auto files = run.counters.find("files");
            if (slash == std::string::npos || files == run.counters.end()) continue;
            // Processor time: the machine may be shared, and the system time
            // of opening and reading the files counts too.
            const double perFile =
                run.cpu_accumulated_time / (double)run.iterations / files->second.value;
            times_[name.substr(0, slash)][name.substr(slash + 1)] = perFile;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nProcessor time per file, and how many times Kestrava's:\n");
        for (const auto& [set, peers] : times_) {
            const auto ours = peers.find("Kestrava");
            for (const auto& [peer, seconds] : peers) {
                std::printf("  %-20s %-9s %10.2f us", set.c_str(), peer.c_str(), seconds * 1e6);
                if (ours != peers.end() && ours->second > 0) {
                    std::printf("   x%.1f", seconds / ours->second);
                }
                std::printf("\n");
            }
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> times_;
};

}  // namespace

int main(int argc, char** argv) {
    std::string ctPath;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--ct=", 5) == 0) {
            ctPath = argv[i] + 5;
        } else {
            args.push_back(argv[i]);
        }
    }
    int benchArgc = (int)args.size();
    benchmark::Initialize(&benchArgc, args.data());

    char rootPattern[] = "/tmp/kestrava-bench-XXXXXX";
    if (mkdtemp(rootPattern) == nullptr || !platform::InitDevice(rootPattern)) {
        std::fprintf(stderr, "dicom_scan_bench: cannot create a device root\n");
        return 1;
    }
    const bool keepCt = !ctPath.empty();
    if (!keepCt) ctPath = std::string(rootPattern) + "/My Documents/ct512.dcm";

    // Damaged files of the set would otherwise fill the output with warnings.
    OFLog::configure(OFLogger::FATAL_LOG_LEVEL);
    gdcm::Trace::SetWarning(false);
    gdcm::Trace::SetError(false);
    gdcm::Trace::SetDebug(false);

    if (!WriteCt(ctPath)) {
        std::fprintf(stderr, "dicom_scan_bench: cannot write the CT (is python3-pydicom there?)\n");
        return 1;
    }
    g_pydicomSet = PydicomSet(rootPattern);
    g_ct = {{ctPath, {}}};
    for (auto* set : {&g_pydicomSet, &g_ct}) {
        for (TestFile& file : *set) file.device = platform::HostToDevicePath(file.host);
    }
    // Every peer must read the CT, or the comparison means nothing.
    if (KestravaScan(g_ct[0]) < 50 || DcmtkScan(g_ct[0]) < 50 || GdcmScan(g_ct[0]) < 50) {
        std::fprintf(stderr, "dicom_scan_bench: a peer does not read the CT\n");
        return 1;
    }

    benchmark::RegisterBenchmark("Scan/PydicomSet/Kestrava", BM_Scan<KestravaScan>, &g_pydicomSet);
    benchmark::RegisterBenchmark("Scan/PydicomSet/DCMTK", BM_Scan<DcmtkScan>, &g_pydicomSet);
    benchmark::RegisterBenchmark("Scan/PydicomSet/GDCM", BM_Scan<GdcmScan>, &g_pydicomSet);
    benchmark::RegisterBenchmark("Scan/PydicomSet/Kestrava-open", BM_Scan<PlatformOpenRead>,
                                 &g_pydicomSet);
    benchmark::RegisterBenchmark("Scan/CT512/Kestrava", BM_Scan<KestravaScan>, &g_ct);
    benchmark::RegisterBenchmark("Scan/CT512/DCMTK", BM_Scan<DcmtkScan>, &g_ct);
    benchmark::RegisterBenchmark("Scan/CT512/GDCM", BM_Scan<GdcmScan>, &g_ct);
    benchmark::RegisterBenchmark("Scan/CT512/Kestrava-open", BM_Scan<PlatformOpenRead>, &g_ct);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::error_code ignored;
    fs::remove_all(rootPattern, ignored);  // with the CT unless it was asked for
    return 0;
}
