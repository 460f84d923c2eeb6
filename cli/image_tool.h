// What the image commands of kestrava-cli share: the image library built once
// per process (plug-ins included) and the report of a failed load.
#pragma once

#include <string>

#include "image_file.h"
#include "image_library.h"

// Builds and publishes the process's image library on first use.
ImageLibrary& CliImageLibrary();

// Host path (as typed) -> device path.
std::u16string DevicePathOf(const std::string& hostPath);

// Prints "kestrava-cli: PATH: error N: MESSAGE" to stderr; returns the code.
int ReportLoadError(const std::string& path, LoadError code);
