// The format handler base: reduced-size creation, decimation and shrinking.
#include "format_handler.h"

#include <atomic>
#include <cstring>

#include "image_memory.h"

namespace {

std::atomic<bool> gAbort{false};
std::atomic<DWORD> gLoadFlags{0};

int MultiplierFor(DWORD flags) { return (flags & kLoadFlagTwoScreens) ? 2 : 1; }

}  // namespace

void SetAbortFlag() { gAbort.store(true, std::memory_order_relaxed); }
void ClearAbortFlag() { gAbort.store(false, std::memory_order_relaxed); }
bool AbortFlagSet() { return gAbort.load(std::memory_order_relaxed); }

void SetCurrentLoadFlags(DWORD flags) { gLoadFlags.store(flags, std::memory_order_relaxed); }
DWORD CurrentLoadFlags() { return gLoadFlags.load(std::memory_order_relaxed); }

void ReducedTarget(int width, int height, int multiplier, int* targetWidth, int* targetHeight,
                   int screenWidth, int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0) {
        screenWidth = GetSystemMetrics(SM_CXSCREEN);
        screenHeight = GetSystemMetrics(SM_CYSCREEN);
    }
    int minScreen = screenWidth < screenHeight ? screenWidth : screenHeight;
    int maxScreen = screenWidth < screenHeight ? screenHeight : screenWidth;
    int minSide = width < height ? width : height;
    int maxSide = width < height ? height : width;
    if (minSide < 1) minSide = 1;
    if (maxSide < 1) maxSide = 1;
    // 32-bit float arithmetic throughout: 2000 x 1000 on 240 x 320 gives
    // s = 0.48 and exactly 960 x 480.
    float a = static_cast<float>(multiplier * minScreen) / static_cast<float>(minSide);
    float b = static_cast<float>(multiplier * maxScreen) / static_cast<float>(maxSide);
    float s = a > b ? a : b;
    float w = static_cast<float>(width) * s;
    float h = static_cast<float>(height) * s;
    // Saturate instead of overflowing for absurd inputs.
    *targetWidth = w >= 2147483520.0f ? 0x7FFFFF80 : static_cast<int>(w);
    *targetHeight = h >= 2147483520.0f ? 0x7FFFFF80 : static_cast<int>(h);
}

FormatHandler::FormatHandler() {
    image_.adjustment = nullptr;
    image_.path[0] = 0;
    ResetImage(&image_);
    ClearAbortFlag();
}

FormatHandler::~FormatHandler() { FormatHandler::ReleaseHandlerImage(); }

LoadError FormatHandler::Load(HANDLE, DWORD) { return kLoadNoHandler; }

LoadError FormatHandler::Save(HANDLE, const RImage&) { return kLoadSaveUnsupported; }

void FormatHandler::ReleaseHandlerImage() {
    FreeDecimation();
    ReleaseImage(&image_);
}

void FormatHandler::FreeDecimation() {
    ImageFree(rowBuffer_);
    ImageFree(columnMap_);
    ImageFree(rowMap_);
    rowBuffer_ = nullptr;
    columnMap_ = nullptr;
    rowMap_ = nullptr;
    decimating_ = false;
}

bool FormatHandler::ReducedLoadRequested() const {
    return (CurrentLoadFlags() & kLoadFlagReducedAny) != 0;
}

bool FormatHandler::CreatePlain(int width, int height, int bitsPerPixel, const RGBQUAD* colours,
                                int colourCount) {
    ReleaseHandlerImage();
    return CreateImage(nullptr, &image_, bitsPerPixel, width, height, colours, colourCount);
}

bool FormatHandler::CreateForDecode(int width, int height, int bitsPerPixel,
                                    const RGBQUAD* colours, int colourCount) {
    DWORD flags = CurrentLoadFlags();
    if (!(flags & kLoadFlagReducedAny)) {
        if (CreatePlain(width, height, bitsPerPixel, colours, colourCount)) return true;
        if (flags & kLoadFlagNoDecimation) return false;
        // A picture too large for memory is loaded reduced.
    }
    if (bitsPerPixel < 8 || (flags & kLoadFlagNoDecimation)) {
        return CreatePlain(width, height, bitsPerPixel, colours, colourCount);
    }
    int w = 0;
    int h = 0;
    if (flags & (kLoadFlagOneScreen | kLoadFlagTwoScreens)) {
        ReducedTarget(width, height, MultiplierFor(flags), &w, &h);
        if (w >= width && CreatePlain(width, height, bitsPerPixel, colours, colourCount)) {
            return true;
        }
        if (!CreatePlain(w, h, bitsPerPixel, colours, colourCount)) return false;
    } else {
        bool created = false;
        for (int m = 2; m >= 1 && !created; --m) {
            ReducedTarget(width, height, m, &w, &h);
            if (w >= width && CreatePlain(width, height, bitsPerPixel, colours, colourCount)) {
                return true;
            }
            created = CreatePlain(w, h, bitsPerPixel, colours, colourCount);
        }
        if (!created) return false;
    }
    if (!SetUpDecimation(width, height, bitsPerPixel)) {
        ReleaseHandlerImage();
        return false;
    }
    return true;
}

bool FormatHandler::SetUpDecimation(int sourceWidth, int sourceHeight, int bitsPerPixel) {
    int w = image_.header->biWidth;
    int h = image_.header->biHeight;
    int64_t stride = DibRowStride(sourceWidth, bitsPerPixel);
    if (stride < 0 || sourceHeight < 1) return false;
    ratio_ = static_cast<float>(sourceWidth) / static_cast<float>(w);
    columnStep_ = static_cast<int>(ratio_ * 1024.0f);
    rowBuffer_ = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(stride)));
    columnMap_ = static_cast<DWORD*>(ImageAllocate(sizeof(DWORD) * (static_cast<size_t>(w) + 1)));
    rowMap_ = static_cast<DWORD*>(
        ImageAllocate(sizeof(DWORD) * (static_cast<size_t>(sourceHeight) + 1)));
    if (!rowBuffer_ || !columnMap_ || !rowMap_) {
        FreeDecimation();
        return false;
    }
    for (int x = 0; x < w; ++x) {
        int64_t source = (static_cast<int64_t>(x) * columnStep_) >> 10;
        if (source < 0) source = 0;
        if (source > sourceWidth - 1) source = sourceWidth - 1;
        columnMap_[x] = static_cast<DWORD>(source);
    }
    columnMap_[0] = 0;
    columnMap_[w - 1] = static_cast<DWORD>(sourceWidth - 1);
    for (int y = 0; y < sourceHeight; ++y) {
        float target = static_cast<float>(y) / ratio_;
        int row = target >= static_cast<float>(h) ? h - 1 : static_cast<int>(target);
        if (row < 0) row = 0;
        rowMap_[y] = static_cast<DWORD>(row);
    }
    rowMap_[0] = 0;
    rowMap_[sourceHeight - 1] = static_cast<DWORD>(h - 1);
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    bytesPerPixel_ = bitsPerPixel / 8;
    decimating_ = true;
    return true;
}

BYTE* FormatHandler::RowTarget(int y) {
    if (decimating_) return rowBuffer_;
    return RowAddress(image_, y);
}

void FormatHandler::CommitRow(int y) {
    if (!decimating_ || y < 0 || y >= sourceHeight_) return;
    int w = image_.header->biWidth;
    int h = image_.header->biHeight;
    DWORD row = rowMap_[y];
    if (row >= static_cast<DWORD>(h)) return;
    BYTE* target = RowAddress(image_, static_cast<int>(row));
    const BYTE* source = rowBuffer_;
    switch (bytesPerPixel_) {
        case 1:
            for (int x = 0; x < w; ++x) target[x] = source[columnMap_[x]];
            break;
        case 3:
            for (int x = 0; x < w; ++x) {
                const BYTE* p = source + columnMap_[x] * 3;
                target[0] = p[0];
                target[1] = p[1];
                target[2] = p[2];
                target += 3;
            }
            break;
        default:
            for (int x = 0; x < w; ++x) {
                std::memcpy(target + x * bytesPerPixel_, source + columnMap_[x] * bytesPerPixel_,
                            bytesPerPixel_);
            }
            break;
    }
}

bool FormatHandler::StretchInto(int width, int height) {
    RImage result;
    if (!StretchToTrueColor(image_, width, height, &result)) return false;
    ReleaseImagePixels(&image_);
    image_.header = result.header;
    image_.bitmap = result.bitmap;
    image_.pixels = result.pixels;
    return true;
}

bool FormatHandler::ShrinkAfterDecode() {
    if (!image_.header) return false;
    int width = image_.header->biWidth;
    int height = image_.header->biHeight;
    DWORD flags = CurrentLoadFlags();
    int w = 0;
    int h = 0;
    if (flags & (kLoadFlagOneScreen | kLoadFlagTwoScreens)) {
        ReducedTarget(width, height, MultiplierFor(flags), &w, &h);
        if (width < w && height < h) return true;
        return StretchInto(w, h);
    }
    for (int m = 2; m >= 1; --m) {
        ReducedTarget(width, height, m, &w, &h);
        if (width < w && height < h) return true;
        if (StretchInto(w, h)) return true;
    }
    return false;
}
