// The frame decoders of DICOM pixel data, one per encoding, all of the
// FrameSource fetch form: (file handle or none, source, the image's display
// adjustment, frame index) -> 0 success, 1 no destination or out of memory,
// 8 bad data, 15 aborted. The destination is the slot's `pixels` (a
// bottom-up DIB of the source's width, height and bitsPerPixel, `byteSize`
// bytes). With no handle the call only checks that the frame's bytes have
// arrived in the (remote) stream: 0 when they have, -1 otherwise.
#pragma once

#include <windows.h>

#include "image/frame_source.h"
#include "view/display_adjustment.h"

// Uncompressed data: the three uncompressed transfer syntaxes.
int FetchRawFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index);
// JPEG baseline and extended (8 and 12 bits); lossless frames found in a
// JPEG syntax go to the lossless decoder.
int FetchJpegFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index);
// JPEG lossless, any predictor.
int FetchLosslessFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index);
// RLE.
int FetchRleFrame(HANDLE file, FrameSource* source, DisplayAdjustment* adjustment, int index);

// Swaps picture rows top for bottom in slot `index`'s buffer (decoders that
// write top row first turn their output into the bottom-up layout).
void FlipRows(FrameSource* source, int index);
