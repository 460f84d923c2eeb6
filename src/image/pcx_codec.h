// The PCX handler (file type row 4: "pcx"). Reads ZSoft Paintbrush files of
// 1 bit, 16 colours (four 1-bit planes or packed 4-bit), 256 colours (8 bits
// with the colour table after the data) and 24 bits (three 8-bit planes).
// Every file is decoded as run-length data; runs never reach beyond the
// image memory, and data past the end of the file decode as zeros. No writer.
#pragma once

#include "format_handler.h"

class PcxHandler : public FormatHandler {
public:
    // 0 on success, 8 for a wrong manufacturer byte or an empty picture, 10
    // for a depth other than 1, 4, 8 or 24, 1 when memory runs out, 15 when
    // aborted.
    LoadError Load(HANDLE file, DWORD flags) override;
};
