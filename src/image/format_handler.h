// FormatHandler: the base of the built-in decoders. One handler is created
// per load by the built-in provider, decodes into its own RImage (moved to the
// caller on success) and is destroyed before the load returns. The helpers
// create the image at full or reduced size (decimating rows and columns while
// decoding) and shrink it afterwards. The abort flag and the current load
// flags are process-wide and unlocked: one load runs at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "load_error.h"
#include "rimage.h"

// LoadFlags bits.
enum : DWORD {
    kLoadFlagReduced = 0x2,     // load in reduced size
    kLoadFlagOneScreen = 0x4,   // reduce with a one-screen limit
    kLoadFlagTwoScreens = 0x8,  // reduce with a two-screen limit (wins over 0x4)
    kLoadFlagNoDecimation = 0x10,  // never decimate while decoding
    kLoadFlagReducedAny = kLoadFlagReduced | kLoadFlagOneScreen | kLoadFlagTwoScreens,
};

// The process-wide abort flag: set by the built-in abort entry (from any
// thread), cleared by every decoder when it starts, polled per row or block.
void SetAbortFlag();
void ClearAbortFlag();
bool AbortFlagSet();

// The flags of the load in progress.
void SetCurrentLoadFlags(DWORD flags);
DWORD CurrentLoadFlags();

// The reduced-size target for multiplier m: a = m * min(screen) / min(W, H),
// b = m * max(screen) / max(W, H) as 32-bit floats, s = the larger, target =
// (trunc(W * s), trunc(H * s)). Screen size from the system metrics unless
// given (screenWidth > 0).
void ReducedTarget(int width, int height, int multiplier, int* targetWidth, int* targetHeight,
                   int screenWidth = 0, int screenHeight = 0);

class FormatHandler {
public:
    FormatHandler();
    // Slot 1, destroy: releases the handler's image. Subclasses with state of
    // their own release it in their destructors.
    virtual ~FormatHandler();
    // Slot 2: decodes the file into Image(). The base knows no format.
    virtual LoadError Load(HANDLE file, DWORD flags);
    // Slot 3: writes `image` in the handler's format.
    virtual LoadError Save(HANDLE file, const RImage& image);
    // Slot 4: frees the decimation buffers, then ReleaseImage.
    virtual void ReleaseHandlerImage();

    RImage& Image() { return image_; }

    // Creates the handler's image for decoding, at full size or reduced
    // according to the current load flags. False when no image could be made.
    bool CreateForDecode(int width, int height, int bitsPerPixel, const RGBQUAD* colours,
                         int colourCount);
    // Releases the current image (slot 4) and creates one at full size.
    bool CreatePlain(int width, int height, int bitsPerPixel, const RGBQUAD* colours,
                     int colourCount);
    // Where the decoder writes source row y (memory-row numbering, 0 is the
    // bottom row of the source picture).
    BYTE* RowTarget(int y);
    // Completes source row y: copies the decimated row while decimating.
    void CommitRow(int y);
    // After a complete decode with a reduced-size flag: converts the image to
    // 24 bits at the reduced target unless it is small enough already.
    bool ShrinkAfterDecode();
    bool ReducedLoadRequested() const;
    bool AbortRequested() const { return AbortFlagSet(); }
    bool Decimating() const { return decimating_; }

protected:
    RImage image_;
    BYTE* rowBuffer_ = nullptr;      // one padded source row while decimating
    DWORD* columnMap_ = nullptr;     // destination column -> source column (w + 1)
    DWORD* rowMap_ = nullptr;        // source row -> destination row (H + 1)
    int columnStep_ = 0;             // ratio * 1024
    float ratio_ = 0.0f;             // source width / destination width

private:
    bool SetUpDecimation(int sourceWidth, int sourceHeight, int bitsPerPixel);
    void FreeDecimation();
    bool StretchInto(int width, int height);

    bool decimating_ = false;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int bytesPerPixel_ = 0;
};
