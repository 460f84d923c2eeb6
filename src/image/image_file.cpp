// Loading a file through the image library into an ImageFile.
#include "image_file.h"

#include <platform/fault_guard.h>

#include "frame_source.h"
#include "image_library.h"

namespace {

// Opens an existing file for reading, without sharing.
HANDLE OpenForReading(LPCWSTR path) {
    return CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

}  // namespace

void ImageFile::InitImageFile() {
    ResetImage(&image);
    provider = nullptr;
    bitsPerPixel = 0;
}

void ImageFile::Unload() {
    if (provider && provider->deleteImage) provider->deleteImage(this, provider);
    ResetImage(&image);
}

bool ImageFile::LoadFromPath(LPCWSTR path, DWORD flags) {
    DisplayAdjustment* adjustment = image.adjustment;
    Unload();
    image.adjustment = adjustment;
    WCHAR chosen[MAX_PATH];
    lstrcpynW(chosen, path ? path : filePath, MAX_PATH);
    lstrcpynW(image.path, chosen, MAX_PATH);
    HANDLE file = OpenForReading(chosen);
    if (file == INVALID_HANDLE_VALUE) {
        lastError = kLoadCannotOpen;
        return false;
    }
    lstrcpynW(filePath, chosen, MAX_PATH);
    LoadFromHandle(file, flags);
    CloseHandle(file);
    return lastError == kLoadOk;
}

bool ImageFile::LoadFromHandle(HANDLE file, DWORD flags) {
    DisplayAdjustment* adjustment = image.adjustment;
    Unload();
    image.adjustment = adjustment;
    lastError = kLoadNoHandler;
    ImageLibrary* library = TheImageLibrary();
    provider = library ? library->FindProvider(filePath) : nullptr;
    if (!provider) return false;
    lstrcpynW(image.path, filePath, MAX_PATH);

    LoadError result = kLoadFault;
    ImageProvider* chosen = provider;
    bool returned = platform::RunGuarded(
        [&] { result = chosen->loadImage(file, &image, kLoadTag, flags); });
    if (!returned) {
        // The decoder's state after a fault is unknown: its allocations are
        // abandoned, the record is reset.
        lastError = kLoadFault;
        ResetImage(&image);
    } else {
        lastError = result;
        if (lastError != kLoadOk && (image.header || image.bitmap)) {
            // A provider must leave a failed image reset; make sure it is.
            Unload();
        }
    }
    image.adjustment = adjustment;
    if (image.header) bitsPerPixel = image.header->biBitCount;
    return lastError == kLoadOk;
}

int ImageFile::LoadFrame(HANDLE file, int index, INT_PTR p1, INT_PTR p2) {
    if (!provider || !provider->loadFrame || !IsMultiFrame(image.frameSource)) return 0;
    return provider->loadFrame(file, this, index, p1, p2);
}

LoadError ImageFile::LoadPage(int index) {
    if (index < 0 || static_cast<DWORD>(index) >= image.pageCount || !image.pageLoader) {
        return kLoadIndexOutOfRange;
    }
    HANDLE file = OpenForReading(filePath);
    if (file == INVALID_HANDLE_VALUE) return kLoadCannotOpen;
    LoadError result = kLoadFault;
    PageLoader loader = image.pageLoader;
    platform::RunGuarded([&] { result = loader(file, &image, index); });
    CloseHandle(file);
    if (result == kLoadOk && image.header) bitsPerPixel = image.header->biBitCount;
    return result;
}

bool ImageFile::MakeThumbnail(int maxWidth, int maxHeight, RImage* thumbnail) const {
    if (!StretchToTrueColor(image, maxWidth, maxHeight, thumbnail)) return false;
    // The icon of an incomplete picture says so wherever it is shown.
    thumbnail->truncated = image.truncated;
    return true;
}
