// Serpentine Floyd-Steinberg dither to 4 bits per channel.
#include "dither.h"

#include <cstring>

#include "format_handler.h"
#include "image_memory.h"

namespace {

constexpr int kFractionBits = 22;
constexpr int kLowest = 255 << 14;  // 255/256 of one level, not 0
constexpr int kHighest = 255 << kFractionBits;

bool Grow(DitherState* state, size_t rowBytes, size_t errorWords) {
    if (rowBytes > state->rowCopyCapacity) {
        BYTE* buffer = static_cast<BYTE*>(ImageAllocate(rowBytes));
        if (!buffer) return false;
        ImageFree(state->rowCopy);
        state->rowCopy = buffer;
        state->rowCopyCapacity = rowBytes;
    }
    if (errorWords > state->errorCapacity) {
        int* buffer = static_cast<int*>(ImageAllocate(errorWords * sizeof(int)));
        if (!buffer) return false;
        ImageFree(state->errors);
        state->errors = buffer;
        state->errorCapacity = errorWords;
    }
    return true;
}

bool HasIdentityGreyTable(const RGBQUAD* table, int entries) {
    for (int i = 0; i < entries; ++i) {
        if (table[i].rgbBlue != i || table[i].rgbGreen != i || table[i].rgbRed != i) return false;
    }
    return true;
}

}  // namespace

DitherState* CreateDitherState() {
    return static_cast<DitherState*>(ImageAllocate(sizeof(DitherState)));
}

void DestroyDitherState(DitherState* state) {
    if (!state) return;
    ImageFree(state->rowCopy);
    ImageFree(state->errors);
    ImageFree(state);
}

bool DitherFor12Bit(DitherState* state, RImage* image) {
    if (!state || !image->pixels || !image->header) return false;
    const BITMAPINFOHEADER* header = image->header;
    int bitsPerPixel = header->biBitCount;
    if (bitsPerPixel != 8 && bitsPerPixel != 24) return false;
    int width = header->biWidth;
    int height = header->biHeight;
    int64_t stride = DibRowStride(width, bitsPerPixel);
    if (stride < 0 || height < 1) return false;

    state->bitsPerPixel = bitsPerPixel;
    state->width = width;
    state->height = height;
    state->rowLength = static_cast<int>(stride);
    state->bytesPerPixel = bitsPerPixel / 8;
    state->wordsPerLine = (width + 2) * 3;
    state->widthTimesThree = width * 3;
    state->palette = bitsPerPixel == 8 ? ColourTable(header) : nullptr;
    state->paletteEntries = bitsPerPixel == 8 ? (header->biClrUsed ? header->biClrUsed : 256) : 0;
    if (state->paletteEntries > 256) state->paletteEntries = 256;
    if (!Grow(state, static_cast<size_t>(state->bytesPerPixel) * width,
              2 * static_cast<size_t>(state->wordsPerLine))) {
        return false;
    }
    if (bitsPerPixel == 8) {
        state->identityGrey = HasIdentityGreyTable(state->palette, state->paletteEntries);
        if (!state->identityGrey) return true;
    }

    ClearAbortFlag();
    std::memset(state->errors, 0, sizeof(int) * 2 * state->wordsPerLine);
    const int channels = bitsPerPixel == 24 ? 3 : 1;
    const int bytesPerPixel = state->bytesPerPixel;
    int* lines[2] = {state->errors, state->errors + state->wordsPerLine};
    for (int row = 0; row < height; ++row) {
        if (AbortFlagSet()) break;
        BYTE* pixels = image->pixels + static_cast<ptrdiff_t>(row) * state->rowLength;
        std::memcpy(state->rowCopy, pixels, static_cast<size_t>(bytesPerPixel) * width);
        int* current = lines[row & 1];
        int* next = lines[(row & 1) ^ 1];
        // The next line is written backwards from cell `width`; cell width + 1
        // only ever receives errors that fall outside the picture and is
        // cleared too so that it cannot accumulate.
        for (int w = 0; w < 6; ++w) next[width * 3 + w] = 0;
        bool leftToRight = (row & 1) == 0;
        for (int k = 0; k < width; ++k) {
            int x = leftToRight ? k : width - 1 - k;
            for (int ch = 0; ch < channels; ++ch) {
                int word = 2 - ch;  // blue uses word 2, green 1, red 0
                int byteIndex = x * bytesPerPixel + ch;
                int value = (state->rowCopy[byteIndex] << kFractionBits) + current[(k + 1) * 3 + word];
                if (value < kLowest) value = kLowest;
                if (value > kHighest) value = kHighest;
                int out = (value >> kFractionBits) & 0xF0;
                int e = (value - (out << kFractionBits)) >> 4;
                pixels[byteIndex] = static_cast<BYTE>(out);
                current[(k + 2) * 3 + word] += 7 * e;
                next[(width - k - 1) * 3 + word] = e;  // below and ahead: visited first
                next[(width - k) * 3 + word] += 5 * e;
                next[(width - k + 1) * 3 + word] += 3 * e;
            }
        }
    }
    return true;
}
