// The allocation hooks and the platform functions behind null hooks.
#include "image_memory.h"

#include <cstring>

namespace {

AllocationHooks gHooks = {nullptr, nullptr, nullptr, nullptr, 0};

}  // namespace

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
    if (gHooks.createDibSection) return gHooks.createDibSection(dc, info, pixels);
    return CreateDIBSection(dc, info, DIB_RGB_COLORS, pixels, nullptr, 0);
}

BOOL ImageDeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    if (gHooks.deleteObject) return gHooks.deleteObject(object);
    return DeleteObject(object);
}
