// Window presets of the window/level dialog: every window a DICOM file
// carries (each value pair of Window Center (0028,1050) and Window Width
// (0028,1051), named by Window Center & Width Explanation (0028,1055) when
// present) and, for images in Hounsfield units (modality CT or rescale type
// "HU"), the usual CT windows. Centre and width are in rescaled units.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct WindowPreset {
    std::u16string name;
    int32_t center;
    int32_t width;
};

// What the file says about its windows, from the top-level elements.
struct FileWindows {
    std::vector<WindowPreset> windows;  // the file's own, in file order
    bool hounsfield = false;            // CT, or rescale type "HU"
};

// Parses the three values (backslash-separated decimal strings); a pair
// without an explanation is named "center/width". Pairs with a width below 1
// are left out.
void ParseFileWindows(const char* centers, const char* widths, const char* explanations,
                      FileWindows* out);
// Reads a DICOM file's window elements with the process-wide reader (the
// caller keeps other readers away). False when the file is not readable
// DICOM; `out` then has no windows.
bool ReadFileWindows(LPCWSTR path, FileWindows* out);
// The file's windows followed by the Hounsfield presets when they apply.
std::vector<WindowPreset> WindowPresets(const FileWindows& file);
