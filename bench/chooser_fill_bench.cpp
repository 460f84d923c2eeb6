// Filling and sorting the file chooser for a folder of 10 000 files, against
// `ls -l` and `ls -lS` of the same folder. Two measurements of the
// chooser: the list alone (enumerate, every entry's name, size, date and
// type name, sort by size) and the chooser's window (the dialog created on the folder in details mode and
// painted, sorted by a tap on the Size header and painted again). The peers
// are whole processes (`ls` started per run, output to /dev/null); the
// chooser runs in this process. Medians of the runs, then the ratios.
//
//   chooser_fill_bench [--root DEVICE_ROOT] [COUNT] [RUNS]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <commctrl.h>

#include "app/file_chooser.h"
#include "app/window_base.h"
#include "platform/device.h"
#include "platform/display.h"
#include "platform/wstr.h"
#include "tools/file_dialog.h"
#include "tools/file_list.h"
#include "res/resource.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Since(Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); }

// The folder: names of several lengths and kinds, sizes from bytes to
// gigabytes (sparse), dates spread over years.
void MakeFolder(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    const char* extensions[] = {"dcm", "bmp", "jpg", "tif", "txt", "mab", "wav", "xyz"};
    for (int i = 0; i < count; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "%s/IM%05d_series%d_%s.%s", folder.c_str(), (i * 7919) % count, i % 17,
                      i % 3 ? "axial" : "sagittal_reconstruction", extensions[i % 8]);
        std::ofstream(name).put('x');
        std::filesystem::resize_file(name, (uintmax_t(i) * 104729u) % (uintmax_t(3) << 30));
        const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::hours(i % 20000);
        std::filesystem::last_write_time(name, when);
    }
    std::filesystem::create_directories(folder + "/subfolder");
}

double RunPeer(const char* const* arguments) {
    const auto start = Clock::now();
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid, arguments[0], &actions, nullptr, const_cast<char* const*>(arguments), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? Since(start) : -1;
}

// The list alone: what the window asks of it for every entry.
double FillList(const std::u16string& folder, size_t* characters) {
    const auto start = Clock::now();
    FileList list;
    list.Fill(folder, 0, nullptr);
    size_t total = 0;
    for (int i = 0; i < list.Count(); ++i) {
        for (int c = 0; c < kColumnCount; ++c) total += list.Text(i, c).size();
    }
    list.SortBy(kColumnSize);
    const double ms = Since(start);
    *characters = total + static_cast<size_t>(list.Count());
    return ms;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The chooser's window on the folder, painted, sorted by size, painted.
double FillWindow(const std::u16string& folder, int* items) {
    FileDialogRequest request;
    lstrcpyW(request.path, folder.c_str());
    const auto start = Clock::now();
    auto* dialog = new FileDialog(&request);  // a modeless dialog deletes itself
    HWND window = dialog->CreateModeless();
    if (!window) return -1;
    HWND list = GetDlgItem(window, IDC_FILE_LIST);
    UpdateWindow(window);
    NMLISTVIEW nm = {};
    nm.hdr.hwndFrom = list;
    nm.hdr.idFrom = IDC_FILE_LIST;
    nm.hdr.code = LVN_COLUMNCLICK;
    nm.iItem = -1;
    nm.iSubItem = kColumnSize;
    SendMessageW(window, WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&nm));
    UpdateWindow(window);
    const double ms = Since(start);
    *items = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    DestroyWindow(window);
    Pump();
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTRAVA_DISPLAY", "headless", 0);
    if (!platform::StartDisplay(&argc, argv)) return 2;
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 7;
    if (count <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: chooser_fill_bench [--root DEVICE_ROOT] [COUNT] [RUNS]\n");
        return 2;
    }
    SetAppInstance(GetModuleHandleW(nullptr));
    char pattern[] = "/tmp/kestrava-chooser-bench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string host = std::string(pattern) + "/many";
    MakeFolder(host, count);
    const std::u16string folder = platform::HostToDevicePath(host);
    // Details mode, as after a tap on the list-mode button.
    SaveListViewMode(0);

    size_t characters = 0;
    int items = 0;
    std::vector<double> list, window, lsLong, lsSize;
    const char* const longListing[] = {"ls", "-l", host.c_str(), nullptr};
    const char* const bySize[] = {"ls", "-lS", host.c_str(), nullptr};
    FillList(folder, &characters);  // warm the file system's and the type cache
    for (int r = 0; r < runs; ++r) {
        list.push_back(FillList(folder, &characters));
        window.push_back(FillWindow(folder, &items));
        lsLong.push_back(RunPeer(longListing));
        lsSize.push_back(RunPeer(bySize));
    }
    std::filesystem::remove_all(pattern);

    const double l = Median(list), w = Median(window), ll = Median(lsLong), ls = Median(lsSize);
    std::printf("files %d, runs %d, texts %zu characters, list view items %d\n", count, runs, characters, items);
    std::printf("chooser list: fill, every text, sort by size   %8.1f ms\n", l);
    std::printf("chooser window: open, paint, sort, paint       %8.1f ms\n", w);
    std::printf("ls -l                                          %8.1f ms\n", ll);
    std::printf("ls -lS                                         %8.1f ms\n", ls);
    std::printf("ratio list / ls -l    %.2f\nratio list / ls -lS   %.2f\nratio window / ls -lS %.2f\n", l / ll, l / ls,
                w / ls);
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak memory %.1f MiB\n", usage.ru_maxrss / 1024.0);
    platform::StopDisplay();
    return 0;
}
