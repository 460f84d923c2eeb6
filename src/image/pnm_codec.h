// The portable map handler (file type row 6: "raw", "pgm", "ppm"). Reads
// binary grey (P5) into 8 bits with the grey table and binary colour (P6)
// into 24 bits; other magics are read as grey. Header tokens may be
// separated by "#" comments; samples are taken as stored (maximum value
// 1..255, no scaling). Decimates while decoding when loading reduced.
#pragma once

#include "format_handler.h"

class PortableMapHandler : public FormatHandler {
public:
    // 0 on success (a file that ends early leaves the remaining rows black),
    // 8 for a header without width, height and maximum value or with values
    // out of range, 1 when memory runs out, 15 when aborted.
    LoadError Load(HANDLE file, DWORD flags) override;
};
