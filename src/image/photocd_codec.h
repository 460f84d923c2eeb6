// The PhotoCD handler (file type row 5: "pcd"). Reads the 768x512 image of
// a Kodak image pack at 0x30000, or the 384x256 image at 0xB800 of a file of
// exactly 98304 bytes, and converts PhotoYCC to 24-bit blue, green, red.
// Byte 72 (low 6 bits) of the file gives the row order. No writer.
#pragma once

#include "format_handler.h"

class PhotoCdHandler : public FormatHandler {
public:
    // 0 on success, 8 for a file too short to hold the image (the 98304-byte
    // file shows the row pairs it holds), 1 when memory runs out, 15 when
    // aborted.
    LoadError Load(HANDLE file, DWORD flags) override;
};

// PhotoYCC to red, green, blue (each clamped to 0..255).
void PhotoYccToRgb(int y, int c1, int c2, BYTE* red, BYTE* green, BYTE* blue);
