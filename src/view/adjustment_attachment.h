// AdjustmentAttachment: the album entry's attachment (kind 3) that keeps the
// user's window/level choices: 32 bytes, little-endian, centre, width,
// palette and negative as 32-bit signed integers, then 16 bytes of zero.
// Before each decode of the entry its four values go into the fresh
// DisplayAdjustment (the negative as a byte).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

struct DisplayAdjustment;

constexpr int kAdjustmentAttachmentKind = 3;
constexpr size_t kAdjustmentAttachmentSize = 32;

struct AdjustmentAttachment {
    int32_t center;
    int32_t width;
    int32_t palette;
    int32_t negative;
};

// Reads the four values; false (and `out` untouched) when the data is
// missing or shorter than the record. The 16 reserved bytes are not checked.
bool ReadAdjustmentAttachment(const BYTE* data, size_t size, AdjustmentAttachment* out);
// Writes the 32-byte record, reserved bytes zero.
void WriteAdjustmentAttachment(const AdjustmentAttachment& attachment,
                               BYTE out[kAdjustmentAttachmentSize]);
// Copies the four values into a fresh DisplayAdjustment.
void ApplyAdjustmentAttachment(const AdjustmentAttachment& attachment,
                               DisplayAdjustment* adjustment);
// The user's current choices of a DisplayAdjustment, as an attachment.
AdjustmentAttachment AttachmentFromAdjustment(const DisplayAdjustment& adjustment);
