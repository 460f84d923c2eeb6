// The built-in provider: chooses a format handler by the file's extension,
// lets it decode into its own image and moves the result to the caller.
#include <new>

#include <platform/fault_guard.h>

#include "adjustment_hooks.h"
#include "bmp_codec.h"
#include "format_handler.h"
#include "frame_source.h"
#include "gif_codec.h"
#include "image_library.h"
#include "jpeg_codec.h"
#include "pcx_codec.h"
#include "photocd_codec.h"
#include "pnm_codec.h"
#include "tiff_codec.h"

namespace {
FormatHandlerFactory g_registered[kFileTypeCount] = {};
}

void RegisterFormatHandler(int row, FormatHandlerFactory factory) {
    if (row >= 0 && row < kFileTypeCount) g_registered[row] = factory;
}

FormatHandler* CreateFormatHandler(int row) {
    if (row >= 0 && row < kFileTypeCount && g_registered[row]) return g_registered[row]();
    switch (row) {
        case kFormatBmp:
            return new (std::nothrow) BmpHandler;
        case kFormatJpeg:
            return new (std::nothrow) JpegHandler;
        case kFormatGif:
            return new (std::nothrow) GifHandler;
        case kFormatTiff:
            return new (std::nothrow) TiffHandler;
        case kFormatPcx:
            return new (std::nothrow) PcxHandler;
        case kFormatPhotoCd:
            return new (std::nothrow) PhotoCdHandler;
        case kFormatPortableMap:
            return new (std::nothrow) PortableMapHandler;
        default:
            return new (std::nothrow) FormatHandler;
    }
}

LoadError BuiltinLoadImage(HANDLE file, RImage* image, DWORD /*tag*/, DWORD flags) {
    int row = FindFormatRow(FileTypeTable, PathExtension(image->path));
    if (row < 0) return kLoadNoHandler;
    FormatHandler* handler = CreateFormatHandler(row);  // clears the abort flag
    if (!handler) return kLoadOutOfMemory;
    SetCurrentLoadFlags(flags);
    RImage& decoded = handler->Image();
    decoded.adjustment = image->adjustment;
    lstrcpynW(decoded.path, image->path, MAX_PATH);

    LoadError result = handler->Load(file, flags);
    if (result != kLoadOk) {
        ResetImage(image);
    } else {
        if (decoded.adjustment) {
            if (AdjustmentInitHook initialise = CurrentAdjustmentInitHook()) initialise(&decoded);
        }
        MoveImage(image, &decoded);
    }
    decoded.adjustment = nullptr;
    delete handler;
    return result;
}

int BuiltinLoadFrame(HANDLE file, ImageFile* imageFile, int frameIndex, INT_PTR, INT_PTR) {
    RImage& image = imageFile->image;
    FrameSource* source = image.frameSource;
    if (!source || !source->fetch) return 0;
    if (frameIndex >= source->frameCount) return -1;
    // Decoders write into the slot of the frame they decode; slot 0 points at
    // the image too, for the playback paths (negative indices) that read it.
    FrameSlot& first = source->Slots()[0];
    FrameSlot& slot = source->Slots()[frameIndex > 0 ? frameIndex : 0];
    first.pixels = image.pixels;
    slot.pixels = image.pixels;
    int result = -1;
    // Frame decoders run under the fault guard like every decoder.
    platform::RunGuarded([&] { result = source->fetch(file, source, image.adjustment, frameIndex); });
    first.pixels = nullptr;
    slot.pixels = nullptr;
    return result;
}

void BuiltinDeleteImage(ImageFile* imageFile, ImageProvider*) { ReleaseImage(&imageFile->image); }

void BuiltinAbortLoading() { SetAbortFlag(); }

void BuiltinRegisterAllocator(ImageAllocateFn allocate, DWORD value, ImageFreeFn free,
                              ImageCreateDibFn createDibSection,
                              ImageDeleteObjectFn deleteObject) {
    RegisterAllocationHooks(allocate, value, free, createDibSection, deleteObject);
}
