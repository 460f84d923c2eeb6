// The cleaner emptying a tree of 20 000 files in 2 000 folders (200 folders
// of 9 subfolders, 10 files of 1 KiB in each of the 2 000), against `rm -rf` of
// an identical copy made with `cp -a`, in the same run on the same disk.
// Each round builds both trees afresh and syncs them, drops nothing from the
// page cache, and alternates which of the two goes first; prints the medians
// of wall and processor time (user + system; rm's through the shell that
// starts it), the ratios and the process's peak memory before and after.
//
//   cleaner_bench [ROUNDS]
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/device.h"
#include "tools/cleaner.h"

namespace {

namespace fs = std::filesystem;

constexpr int kTopFolders = 200;
constexpr int kSubfolders = 9;
constexpr int kFilesPerFolder = 10;

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// User plus system time of this process or of its waited-for children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BuildTree(const std::string& root) {
    const std::string kilobyte(1024, 'k');
    for (int top = 0; top < kTopFolders; ++top) {
        for (int sub = -1; sub < kSubfolders; ++sub) {
            std::string folder = root + "/study" + std::to_string(top);
            if (sub >= 0) folder += "/series" + std::to_string(sub);
            fs::create_directories(folder);
            for (int file = 0; file < kFilesPerFolder; ++file) {
                std::ofstream(folder + "/image" + std::to_string(file) + ".dcm", std::ios::binary) << kilobyte;
            }
        }
    }
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char pattern[] = "/tmp/kestrava-cleaner-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 2;
    const std::string root = pattern;
    if (!platform::InitDevice(root + "/device")) return 2;
    const std::string tree = root + "/device/Temp/tree";
    const std::string copy = root + "/copy";

    std::vector<double> cleaner, rm, cleanerCpu, rmCpu;
    const long peakBefore = PeakKib();
    bool failed = false;
    for (int round = 0; round < rounds; ++round) {
        fs::remove_all(tree);
        fs::remove_all(copy);
        BuildTree(tree);
        if (std::system(("cp -a '" + tree + "' '" + copy + "'").c_str()) != 0) return 2;
        // Both trees on the disk before either goes: neither pays for the
        // other's writeback.
        sync();
        auto runCleaner = [&] {
            const auto start = std::chrono::steady_clock::now();
            const double cpu = CpuSeconds(RUSAGE_SELF);
            CleanReport report;
            CleanedFolder result;
            CleanFolder(u"\\Temp\\tree", &result, &report);
            cleaner.push_back(Seconds(start));
            cleanerCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpu);
            if (result.files != kTopFolders * (kSubfolders + 1) * kFilesPerFolder ||
                result.folders != kTopFolders * (kSubfolders + 1) || !report.Complete()) {
                std::fprintf(stderr, "cleaner: %u files, %u folders, %u failures\n", result.files,
                             result.folders, report.failures);
                failed = true;
            }
        };
        auto runRm = [&] {
            const auto start = std::chrono::steady_clock::now();
            const double cpu = CpuSeconds(RUSAGE_CHILDREN);
            if (std::system(("rm -rf '" + copy + "'").c_str()) != 0) failed = true;
            rm.push_back(Seconds(start));
            rmCpu.push_back(CpuSeconds(RUSAGE_CHILDREN) - cpu);
        };
        if (round % 2 == 0) {
            runCleaner();
            runRm();
        } else {
            runRm();
            runCleaner();
        }
    }
    fs::remove_all(root);
    const double c = Median(cleaner), r = Median(rm), cc = Median(cleanerCpu), rc = Median(rmCpu);
    std::printf("20000 files in %d folders, %d rounds (medians)\n", kTopFolders * (kSubfolders + 1), rounds);
    std::printf("             wall      processor\n");
    std::printf("cleaner      %.3f s   %.3f s\n", c, cc);
    std::printf("rm -rf       %.3f s   %.3f s\n", r, rc);
    std::printf("ratio        %.2f      %.2f (cleaner / rm -rf)\n", c / r, cc / rc);
    std::printf("peak memory  %ld KiB before the rounds, %ld KiB after\n", peakBefore, PeakKib());
    return failed ? 1 : 0;
}
