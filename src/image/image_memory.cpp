// The allocation hooks and the platform functions behind null hooks, and the
// tally of image memory that the platform's low-memory watch compares with
// its budget.
#include "image_memory.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "platform/memory_watch.h"
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

// Every block and DIB section handed out, with its bytes: neither the
// platform's LocalFree nor a registrant's free function tells how much went
// back. Keyed by the block's address or the bitmap's handle; a key handed
// out again was released behind the library's back, so its old bytes go.
std::mutex g_tallyMutex;
std::unordered_map<const void*, uint64_t>& Tally() {
    static auto* tally = new std::unordered_map<const void*, uint64_t>;
    return *tally;
}

void TallyAdd(const void* key, uint64_t bytes) {
    int64_t change = static_cast<int64_t>(bytes);
    {
        std::lock_guard<std::mutex> lock(g_tallyMutex);
        auto [it, added] = Tally().try_emplace(key, bytes);
        if (!added) {
            change -= static_cast<int64_t>(it->second);
            it->second = bytes;
        }
    }
    // Outside the lock: passing the budget wakes the message loops.
    platform::AddImageMemory(change);
}

void TallyRemove(const void* key) {
    int64_t change = 0;
    {
        std::lock_guard<std::mutex> lock(g_tallyMutex);
        auto it = Tally().find(key);
        if (it == Tally().end()) return;
        change = -static_cast<int64_t>(it->second);
        Tally().erase(it);
    }
    platform::AddImageMemory(change);
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
    void* memory;
    if (gHooks.allocate) {
        // A registrant's allocator need not clear; callers rely on zeroed blocks.
        memory = gHooks.allocate(size);
        if (memory) std::memset(memory, 0, size);
    } else {
        memory = LocalAlloc(LPTR, size);
    }
    if (memory) TallyAdd(memory, size);
    return memory;
}

void ImageFree(void* memory) {
    if (!memory) return;
    TallyRemove(memory);
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
    HBITMAP bitmap = gHooks.createDibSection ? gHooks.createDibSection(dc, info, pixels)
                                             : CreateDIBSection(dc, info, DIB_RGB_COLORS, pixels, nullptr, 0);
    if (bitmap && bytes > 0) TallyAdd(bitmap, static_cast<uint64_t>(bytes));
    return bitmap;
}

BOOL ImageDeleteObject(HGDIOBJ object) {
    if (!object) return FALSE;
    TallyRemove(object);
    if (gHooks.deleteObject) return gHooks.deleteObject(object);
    return DeleteObject(object);
}
