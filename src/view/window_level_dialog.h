// The window/level dialog ("Adjust Colors...", command 30059): width and
// level sliders in rescaled units, a palette list, window presets, "Auto",
// "Negative" and "Original", and a drawing area with the image before and
// after the adjustment over a histogram of its samples with the window drawn
// on it. The dialog decodes the entry once more with an automatic window
// (its samples spread over 256 grey levels) and previews the user's window
// on that copy with the decoder's own window arithmetic, so the preview
// shows what OK gives. OK stores the choices as the entry's kind-3
// attachment and drops its decoded image, so the entry decodes anew.
// WindowLevelState is the dialog's arithmetic without windows. Main thread.
#pragma once

#include <windows.h>

#include <cstdint>

#include "image/image_file.h"
#include "view/display_adjustment.h"

class ImageAlbum;

// Where the thumbnails lie: the "Original" square at (thumbX, thumbY) of
// side thumbSize shows the central square (cropX, cropY, cropSize) of a
// width x height image. topMargin is 12 below the dialog's captions (window
// and level) or 1 (contrast and brightness).
struct ThumbnailGeometry {
    int thumbX, thumbY, thumbSize;
    int cropX, cropY, cropSize;
};
constexpr int kThumbnailBox = 114;
ThumbnailGeometry ComputeThumbnailGeometry(int width, int height, int topMargin);

// Widens an owner-drawn control to the dialog's whole client width (after
// the full-screen sizing): the drawings are laid out in pixels.
void StretchToDialogWidth(HWND dialog, HWND control);

constexpr int kHistogramBins = 256;

struct WindowLevelState {
    DisplayAdjustment previewAdjustment;  // of the preview decode (automatic window)
    // The entry's adjustment with the current choices, its bounds worked
    // out as the decoder works them out: what a decode after OK uses.
    DisplayAdjustment result;
    bool resultInverted;   // MONOCHROME1, the negative and a negative slope together
    bool previewInverted;  // the preview decode arrived inverted (MONOCHROME1)
    RGBQUAD colours[256];
    int paletteEntries;    // 256 for previews of 8 bits or fewer, else 0
    int bitsPerPixel;      // of the preview image
    uint32_t* bins;        // 256 counters in stored-sample order, or null
    uint32_t binPeak;      // bar height that fills the bar area (at least 1)
    int32_t levelValue[256];  // the stored sample each grey level of the preview stands for
    ThumbnailGeometry thumb;
    int32_t rangeLow, rangeHigh, rangeWidth;  // stored units; rangeWidth at least 1
    int32_t windowLow, windowHigh;            // stored units, as the decoder applies them
    float windowScale;
    bool negative;
    int palette;
    int32_t width, center;  // rescaled units
    int32_t intercept;      // trunc(rescale intercept)
};

// Sets up the state from the entry's adjustment (its choices, or the file's
// window when none is chosen), the preview decode's adjustment and the
// preview image's size and depth: ranges, thumbnail, levelValue, palette
// entries, the window. `bins` is left to ComputeHistogram.
void InitWindowLevelState(WindowLevelState* state, const DisplayAdjustment& entry,
                          const DisplayAdjustment& preview, int width, int height,
                          int bitsPerPixel);
// The window from the choices: result, windowLow/High/Scale, resultInverted.
void WindowFromChoices(WindowLevelState* state);
// The preview's grey level of a stored sample value (window, inversions).
BYTE PreviewLevel(const WindowLevelState& state, int32_t value);
// "Auto": the window that covers the sample range exactly, in rescaled units.
void AutoWindow(WindowLevelState* state);
// "Original": the file's window, grey, not negative.
void OriginalWindow(WindowLevelState* state);
// A stored sample value in rescaled units (slope and intercept).
int32_t RescaledValue(const WindowLevelState& state, int32_t stored);
// The slider ranges in rescaled units.
void SliderRanges(const WindowLevelState& state, int32_t* widthMin, int32_t* widthMax,
                  int32_t* levelMin, int32_t* levelMax);
// Counts the preview's pixels into state->bins (allocated here; none when
// that fails) by luminance, read at the image's real depth (1-8 bits through
// the colour table, 16 bits as 5-5-5, 24 and 32 bits as blue-green-red),
// then cuts the five tallest bins to the sixth (binPeak).
void ComputeHistogram(WindowLevelState* state, const BITMAPINFOHEADER* header,
                      const BYTE* pixels);
// Cuts the five tallest of 256 bins to the sixth; the peak (the sixth, or
// the tallest when six or fewer bins are filled; at least 1).
uint32_t CutPeaks(uint32_t bins[256]);
// Histogram column k of n: the bin index m it is coloured by and its value.
void BarColumn(const uint32_t bins[256], int k, int n, int* m, uint32_t* value);
void ReleaseWindowLevelState(WindowLevelState* state);

// Runs the dialog for album entry `row`; true when OK wrote the attachment
// and released the entry's decoded image. The caller keeps the thumbnail
// loader stopped meanwhile.
bool OpenWindowLevelDialog(ImageAlbum* album, int row, HWND owner);
