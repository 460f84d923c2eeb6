// FrameSource: what a multi-frame loader (DICOM cine, the movie handlers)
// hangs on an RImage so that later frames can be fetched or played. One
// zero-filled block holds the record and its `frameCount` slots; the RImage
// owns it and ReleaseImage frees it (never the slots' pixel pointers). An
// image is multi-frame when its source's frameCount is above 1.
#pragma once

#include <windows.h>

struct FrameSource;
struct DisplayAdjustment;

// Prepares playback: (file, view window, path, width | height << 16) -> 0 on
// success, non-zero on failure.
typedef int (*FrameOpenFn)(HANDLE file, HWND view, LPCWSTR path, DWORD packedSize);
// index >= 0: decode frame `index` into slots[index].pixels; -1: copy the frame
// on the screen into slot 0 and end playback; -2: the same, keeping the decoder
// positioned. 0 on success, negative on failure.
typedef int (*FrameFetchFn)(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment,
                            int index);
// Draws one frame on the screen; returns the next frame to show or -1.
typedef int (*FrameStepFn)(void* first, int frameIndex, const RECT* source, const RECT* screen,
                           DWORD flags);
// Ends playback and releases the decoder.
typedef int (*FrameCloseFn)(int value);

struct FrameSlot {
    DWORD offset;    // stream position of the frame's data (DICOM only)
    DWORD byteSize;  // bytes of one decoded frame
    BYTE* pixels;    // not owned; set by the caller only while one fetch runs
};

struct FrameSource {
    FrameOpenFn open;  // or the media-player marker, see IsMediaPlayerPlaceholder
    FrameFetchFn fetch;
    FrameStepFn step;  // null for cine sources
    FrameCloseFn close;
    DWORD frameDelay;  // milliseconds
    int width;
    int height;
    int bitsPerPixel;
    int frameCount;

    FrameSlot* Slots() { return reinterpret_cast<FrameSlot*>(this + 1); }
    const FrameSlot* Slots() const { return reinterpret_cast<const FrameSlot*>(this + 1); }
};

// The value the Windows Media handler stores in `open`: a file that the
// media-player control plays. It is a marker, never called.
constexpr uintptr_t kMediaPlayerMarker = 1;
inline bool IsMediaPlayerPlaceholder(const FrameSource* source) {
    return source && reinterpret_cast<uintptr_t>(source->open) == kMediaPlayerMarker;
}

// A zero-filled record with `frameCount` slots (at least one), allocated
// through the image allocation hooks; null on failure or a count below 1.
FrameSource* AllocateFrameSource(int frameCount);
void FreeFrameSource(FrameSource* source);

// Multi-frame: a source whose frameCount is above 1.
inline bool IsMultiFrame(const FrameSource* source) {
    return source && source->frameCount > 1;
}
