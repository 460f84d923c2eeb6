// Opening a folder of DICOM files in the viewer, headless: the main frame
// opens the folder as the viewer does on its command line, the loader
// decodes the current entry and makes every icon in the background. Prints
// the time to the first picture on the view, the time to the last icon and
// the process's peak memory. album_open.sh runs it over 1000 CT files next to
// DCMTK's dcmj2pnm making the same thumbnails, one process per file. With
// --budget-mib the image memory budget is stored in the registry first, as an
// administrator would, and the run also prints the low-memory notices the
// frame heard and the highest image memory seen between two turns of the
// loop.
//
//   album_open_bench [--root DEVICE_ROOT] [--budget-mib N] FOLDER
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/main_frame.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "app/window_base.h"
#include "dicom/dicom_handler.h"
#include "image/image_library.h"
#include "platform/device.h"
#include "platform/display.h"
#include "platform/memory_watch.h"
#include "view/display_adjustment.h"

namespace {

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// Every entry has its icon or has failed, and the loader has ended.
bool EveryIconMade(MainFrame* frame) {
    if (frame->Thumbnails()->LoaderRunning()) return false;
    ImageAlbum& album = frame->Album();
    frame->Thumbnails()->LockAlbum();
    bool done = album.Count() > 0;
    for (int i = 0; i < album.Count() && done; ++i) {
        const ImageEntry* entry = album.Entry(i);
        done = entry->icon != nullptr || entry->loadState == kDecodeFailed;
    }
    frame->Thumbnails()->UnlockAlbum();
    return done;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("KESTRAVA_DISPLAY", "headless", 0);
    if (!platform::StartDisplay(&argc, argv)) return 2;
    DWORD budgetMib = 0;
    if (argc == 4 && std::strcmp(argv[1], "--budget-mib") == 0) {
        budgetMib = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10));
        argv[1] = argv[3];
        argc = 2;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: album_open_bench [--root DEVICE_ROOT] [--budget-mib N] FOLDER\n");
        return 2;
    }
    if (budgetMib) {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        if (!store.Open(u"Options", true) || !store.WriteNumber(u"ImageMemoryBudget", budgetMib << 10)) return 1;
    }
    ApplyImageMemoryBudget();
    const std::u16string folder = platform::HostToDevicePath(argv[1]);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SetAppInstance(instance);
    InstallDisplayAdjustment();
    InstallDicomHandler();
    ImageLibrary library;
    library.BuildLibrary();
    PublishImageLibrary(&library);

    // As the process entry does: the command line becomes "FileName".
    StoreFileName(folder.c_str());
    const auto start = std::chrono::steady_clock::now();
    double firstPicture = -1, lastIcon = -1;
    uint64_t peakImageMemory = 0;
    int notices = 0;
    {
        MainFrame frame(folder.c_str());
        if (!frame.CreateMainWindow(instance)) return 1;
        MSG msg;
        while (lastIcon < 0) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                peakImageMemory = std::max(peakImageMemory, platform::ImageMemoryInUse());
                if (msg.message == WM_HIBERNATE) ++notices;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (firstPicture < 0 && frame.View()->ImageShown()) firstPicture = Milliseconds(start);
            if (firstPicture >= 0 && EveryIconMade(&frame)) lastIcon = Milliseconds(start);
            if (lastIcon < 0) MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        std::printf("entries %d\n", frame.Album().Count());
        DestroyWindow(frame.Handle());
    }
    PublishImageLibrary(nullptr);
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("first picture %.1f ms\nlast icon %.1f ms\npeak memory %.1f MiB\n", firstPicture, lastIcon,
                usage.ru_maxrss / 1024.0);
    std::printf("image memory budget %.1f MiB, peak seen %.1f MiB, low-memory notices %d\n",
                platform::ImageMemoryBudget() / 1048576.0, peakImageMemory / 1048576.0, notices);
    platform::StopDisplay();
    return 0;
}
