// The album's window/level attachment record.
#include "view/adjustment_attachment.h"

#include <cstring>

#include "view/display_adjustment.h"

namespace {

int32_t ReadInt32(const BYTE* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(v);
}

void WriteInt32(BYTE* p, int32_t value) {
    uint32_t v = static_cast<uint32_t>(value);
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

}  // namespace

bool ReadAdjustmentAttachment(const BYTE* data, size_t size, AdjustmentAttachment* out) {
    if (!data || !out || size < kAdjustmentAttachmentSize) return false;
    out->center = ReadInt32(data);
    out->width = ReadInt32(data + 4);
    out->palette = ReadInt32(data + 8);
    out->negative = ReadInt32(data + 12);
    return true;
}

void WriteAdjustmentAttachment(const AdjustmentAttachment& attachment,
                               BYTE out[kAdjustmentAttachmentSize]) {
    std::memset(out, 0, kAdjustmentAttachmentSize);
    WriteInt32(out, attachment.center);
    WriteInt32(out + 4, attachment.width);
    WriteInt32(out + 8, attachment.palette);
    WriteInt32(out + 12, attachment.negative);
}

void ApplyAdjustmentAttachment(const AdjustmentAttachment& attachment,
                               DisplayAdjustment* adjustment) {
    if (!adjustment) return;
    adjustment->center = attachment.center;
    adjustment->width = attachment.width;
    adjustment->palette = attachment.palette;
    adjustment->negative = static_cast<BYTE>(attachment.negative);
}

AdjustmentAttachment AttachmentFromAdjustment(const DisplayAdjustment& adjustment) {
    return {adjustment.center, adjustment.width, adjustment.palette, adjustment.negative};
}
