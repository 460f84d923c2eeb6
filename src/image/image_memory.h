// The image library's allocation hooks: every allocation of image memory in
// the image subsystem (header blocks, row buffers, index tables, DIB sections)
// goes through these four process-wide function pointers. A null hook means
// the platform's own: LocalAlloc/LocalFree, CreateDIBSection with RGB colour
// entries and no section handle, DeleteObject. The built-in provider's
// register-allocator entry installs them (plug-ins receive the same shape).
#pragma once

#include <windows.h>
#include <wingdi.h>

#include <cstdint>

typedef void* (*ImageAllocateFn)(size_t size);
typedef void (*ImageFreeFn)(void* memory);
typedef HBITMAP (*ImageCreateDibFn)(HDC dc, const BITMAPINFO* info, void** pixels);
typedef BOOL (*ImageDeleteObjectFn)(HGDIOBJ object);

struct AllocationHooks {
    ImageAllocateFn allocate;
    ImageFreeFn free;
    ImageCreateDibFn createDibSection;
    ImageDeleteObjectFn deleteObject;
    DWORD value;  // stored for the registrant, never interpreted
};

// Installs the hooks (nulls restore the platform's functions).
void RegisterAllocationHooks(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                             ImageCreateDibFn createDibSection, ImageDeleteObjectFn deleteObject);
const AllocationHooks& CurrentAllocationHooks();

// Allocation through the hooks. ImageAllocate returns zero-filled memory or
// null; ImageFree accepts null.
void* ImageAllocate(size_t size);
void ImageFree(void* memory);
HBITMAP ImageCreateDibSection(HDC dc, const BITMAPINFO* info, void** pixels);
BOOL ImageDeleteObject(HGDIOBJ object);

// The memory ceiling: a block or DIB section larger than it is refused (null),
// so that a forged header fails with "out of memory" instead of committing
// memory the system cannot give, which would get the process killed. The
// default ceiling is the physical memory available at the time of the
// request (asked for requests of kCeilingCheckBytes and more only); a
// configured ceiling (tests, fuzzing) replaces it; 0 restores the default.
constexpr size_t kCeilingCheckBytes = 16u << 20;
void SetImageMemoryCeiling(size_t bytes);
// Whether a request of `bytes` is within the ceiling.
bool ImageRequestFits(uint64_t bytes);
