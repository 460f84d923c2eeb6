// One image decoder through the image library, as the viewer reaches it: the
// input becomes a file with the extension FUZZ_EXTENSION and is loaded with
// ImageFile::LoadFromPath (the library picks the handler or plug-in by that
// extension); then every further page and frame is fetched. Built once per
// format. The load flags come from the input's length, so that the
// reduced-size and decimating paths run on the same corpus.
#include <cstddef>
#include <cstdint>

#include "dicom/dicom_handler.h"
#include "format_handler.h"
#include "frame_source.h"
#include "fuzz_device.h"
#include "image_file.h"
#include "image_memory.h"
#include "image_library.h"
#include "view/display_adjustment.h"

#ifndef FUZZ_EXTENSION
#error "FUZZ_EXTENSION names the format, e.g. \"bmp\""
#endif

namespace {

ImageLibrary* g_library = nullptr;

// A forged size must fail as it would on a device with little memory, not
// make the run commit gigabytes.
constexpr size_t kImageMemoryCeiling = 16u << 20;

// Pages and frames fetched after the first: enough to reach every decoder
// path of a later frame without making one input run for minutes.
constexpr int kMaxPages = 8;
constexpr int kMaxFrames = 32;

const DWORD kFlagChoices[] = {0, 0, kLoadFlagReduced, kLoadFlagOneScreen, kLoadFlagTwoScreens,
                              kLoadFlagNoDecimation};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::InitFuzzDevice();
    SetImageMemoryCeiling(kImageMemoryCeiling);
    InstallDisplayAdjustment();
    InstallDicomHandler();
    g_library = new ImageLibrary;
    g_library->BuildLibrary();
    PublishImageLibrary(g_library);
    for (int i = 1; i < g_library->ProviderCount(); ++i) {
        ImageProvider* plugin = g_library->Provider(i);
        if (plugin->registerAllocator) {
            // The plug-in's memory passes the same ceiling.
            plugin->registerAllocator(ImageAllocate, 0, ImageFree, ImageCreateDibSection,
                                      ImageDeleteObject);
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string path = fuzz::PutInput(data, size, FUZZ_EXTENSION);
    const DWORD flags = kFlagChoices[size % (sizeof kFlagChoices / sizeof kFlagChoices[0])];

    DisplayAdjustment adjustment;
    InitAdjustment(&adjustment);
    ImageFile file;
    file.InitImageFile();
    file.image.adjustment = &adjustment;
    if (file.LoadFromPath(path.c_str(), flags)) {
        const int pages = file.image.pageCount < (DWORD)kMaxPages ? (int)file.image.pageCount
                                                                   : kMaxPages;
        for (int page = 1; page < pages; ++page) file.LoadPage(page);
        if (IsMultiFrame(file.image.frameSource)) {
            const int frames = file.image.frameSource->frameCount;
            HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
            if (handle != INVALID_HANDLE_VALUE) {
                for (int frame = 1; frame < frames && frame <= kMaxFrames; ++frame) {
                    file.LoadFrame(handle, frame, 0, 0);
                }
                if (frames - 1 > kMaxFrames) file.LoadFrame(handle, frames - 1, 0, 0);
                // Frame 0 again, after the others: the decoders' state must
                // allow going back.
                file.LoadFrame(handle, 0, 0, 0);
                CloseHandle(handle);
            }
        }
    }
    file.Unload();
    return 0;
}
