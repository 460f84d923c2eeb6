// The layer's side of the external displays: each is a frame buffer of its
// own, drawn into through its device context and presented by the backend.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "display/frame_buffer.h"
#include "platform/external_display.h"

namespace platform {

struct ExternalDisplay {
    int id = 0;
    std::u16string card;
    FrameBuffer buffer;  // 16 bits; `buffer.lock` guards the pixels
};

std::shared_ptr<ExternalDisplay> FindExternalDisplay(int id);
// Every open display, oldest first.
std::vector<std::shared_ptr<ExternalDisplay>> ExternalDisplays();

}  // namespace platform
