// The device every fuzz target runs in: a temporary device root made once
// per process (removed at a normal exit), the build's program folder (where
// RImgPng.dll lives), and a helper that writes an input to a file there.
// Targets are single-threaded; the file is rewritten for every input.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// Sets the device up once; later calls do nothing.
void InitFuzzDevice();

// Writes `data` to "\fuzz.EXT" (host file below the device root) and returns
// its device path.
std::u16string PutInput(const uint8_t* data, size_t size, const char* extension);

}  // namespace fuzz
