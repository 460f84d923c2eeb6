// Allocation of frame source records.
#include "frame_source.h"

#include "image_memory.h"

// Sources with absurd slot counts are refused rather than allocated.
static constexpr int kMaxFrameSlots = 1 << 20;

FrameSource* AllocateFrameSource(int frameCount) {
    if (frameCount < 1 || frameCount > kMaxFrameSlots) return nullptr;
    size_t bytes = sizeof(FrameSource) + sizeof(FrameSlot) * static_cast<size_t>(frameCount);
    auto* source = static_cast<FrameSource*>(ImageAllocate(bytes));
    if (!source) return nullptr;
    source->frameCount = frameCount;
    return source;
}

void FreeFrameSource(FrameSource* source) { ImageFree(source); }
