// The contract of an image plug-in: a DLL named RImg*.dll in the program's
// folder exporting these C functions by name. RGetVersion must return 101;
// RLoadImage, RDeleteImage and RGetSupportedFormats are required, the others
// optional. RLoadImage fills the caller's RImage (header block, DIB section,
// pixels, optional formatText), which the host owns until RDeleteImage.
#pragma once

#include <windows.h>

#include "file_type_table.h"
#include "image_file.h"
#include "image_memory.h"
#include "load_error.h"
#include "rimage.h"

constexpr DWORD kPluginVersion = 101;

extern "C" {
typedef DWORD (*RGetVersionFn)();
typedef const FormatEntry* (*RGetSupportedFormatsFn)();
// file: open for reading at the start; image: path and adjustment set, the
// rest reset; tag: a fixed value of the host; flags: the LoadFlags.
typedef LoadError (*RLoadImageFn)(HANDLE file, RImage* image, DWORD tag, DWORD flags);
// The frame fetch of a multi-frame image (see FrameSource).
typedef int (*RLoadFrameFn)(HANDLE file, ImageFile* imageFile, int frameIndex, INT_PTR p1,
                            INT_PTR p2);
// Releases what RLoadImage put into imageFile->image; the host resets it.
typedef void (*RDeleteImageFn)(ImageFile* imageFile, ImageProvider* provider);
// Asks a running RLoadImage to stop; any thread.
typedef void (*RAbortLoadingFn)();
typedef void (*RRegAllocFuncFn)(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                                ImageCreateDibFn createDibSection,
                                ImageDeleteObjectFn deleteObject);
}

// Export names, as the host looks them up.
#define RIMG_GET_VERSION "RGetVersion"
#define RIMG_GET_SUPPORTED_FORMATS "RGetSupportedFormats"
#define RIMG_LOAD_IMAGE "RLoadImage"
#define RIMG_LOAD_FRAME "RLoadFrame"
#define RIMG_ABORT_LOADING "RAbortLoading"
#define RIMG_DELETE_IMAGE "RDeleteImage"
#define RIMG_REG_ALLOC_FUNC "RRegAllocFunc"

// Marks a plug-in's exported functions.
#define RIMG_EXPORT extern "C" __attribute__((visibility("default")))
