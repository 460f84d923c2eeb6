// The allocation hooks and the platform functions behind null hooks.
#include "image_memory.h"

#include <atomic>
#include <cstring>

#include "rimage.h"

namespace {

AllocationHooks gHooks = {nullptr, nullptr, nullptr, nullptr, 0};
std::atomic<size_t> gCeiling{0};

// Bytes of the pixels a DIB header describes, or -1 when it describes none.
int64_t DibBytes(const BITMAPINFO* info) {
    if (info == nullptr || info->bmiHeader.biSize < sizeof(BITMAPINFOHEADER)) return -1;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int64_t height = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    return DibImageSize(h.biWidth, height, h.biBitCount);
}

}  // namespace

void SetImageMemoryCeiling(size_t bytes) { gCeiling.store(bytes, std::memory_order_relaxed); }

bool ImageRequestFits(uint64_t bytes) {
    const size_t ceiling = gCeiling.load(std::memory_order_relaxed);
    if (ceiling != 0) return bytes <= ceiling;
    if (bytes < kCeilingCheckBytes) return true;
    MEMORYSTATUS status = {};
    status.dwLength = sizeof status;
    GlobalMemoryStatus(&status);
    return bytes <= status.dwAvailPhys;
}

void RegisterAllocationHooks(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                             ImageCreateDibFn createDibSection, ImageDeleteObjectFn deleteObject) {
    gHooks.allocate = allocate;
    gHooks.free = free;
    gHooks.createDibSection = createDibSection;
    gHooks.deleteObject = deleteObject;
    gHooks.value = value;
}

const AllocationHooks& CurrentAllocationHooks() { return gHooks; }

void* ImageAllocate(size_t size) {
    if (size == 0) size = 1;
    if (!ImageRequestFits(size)) return nullptr;
    if (gHooks.allocate) {
        // A registrant's allocator need not clear; callers rely on zeroed blocks.
        void* memory = gHooks.allocate(size);
        if (memory) std::memset(memory, 0, size);
        return memory;
    }
    return LocalAlloc(LPTR, size);
}

void ImageFree(void* memory) {
    if (!memory) return;
    if (gHooks.free) {
        gHooks.free(memory);
    } else {
        LocalFree(memory);
    }
}

HBITMAP ImageCreateDibSection(HDC dc, const BITMAPINFO* info, void** pixels) {
    const int64_t bytes = DibBytes(info);
    if (bytes >= 0 && !ImageRequestFits(static_cast<uint64_t>(bytes))) {
        if (pixels) *pixels = nullptr;
        return nullptr;
    }
    if (gHooks.createDibSection) return gHooks.createDibSection(dc, info, pixels);
    return CreateDIBSection(dc, info, DIB_RGB_COLORS, pixels, nullptr, 0);
}

BOOL ImageDeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    if (gHooks.deleteObject) return gHooks.deleteObject(object);
    return DeleteObject(object);
}
