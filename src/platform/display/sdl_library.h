// SDL2 for the sdl backend, opened when the backend starts (see
// host/host_library.h): the headless backend and the batch tools never load
// it. Only the backend's thread calls these.
#pragma once

#include <SDL.h>

#include "host/host_library.h"

#define KESTRAVA_SDL_FUNCTIONS(X)  X(SDL_InitSubSystem) X(SDL_QuitSubSystem) X(SDL_GetError) X(SDL_CreateWindow) X(SDL_CreateRenderer) X(SDL_DestroyTexture) X(SDL_DestroyRenderer) X(SDL_DestroyWindow) X(SDL_SetWindowSize) X(SDL_UpdateTexture) X(SDL_RenderClear) X(SDL_RenderCopy) X(SDL_RenderPresent) X(SDL_RaiseWindow) X(SDL_CreateTexture) X(SDL_StartTextInput) X(SDL_StopTextInput) X(SDL_WaitEventTimeout) X(SDL_PollEvent) X(SDL_GetWindowID) X(SDL_GetNumVideoDisplays)

namespace platform {

struct SdlLibrary {
    KESTRAVA_SDL_FUNCTIONS(KESTRAVA_HOST_MEMBER)
};

// The library's functions, loaded on the first call; null when the host
// has no SDL2.
const SdlLibrary* Sdl();

}  // namespace platform
