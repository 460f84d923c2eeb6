// The binary resource file (.res) that llvm-rc writes and each module embeds:
// a sequence of DWORD-aligned entries, each a header (data size, header size,
// type and name as 0xFFFF+id or a UTF-16 string, then version, flags and
// language) followed by the data. ParseResFile checks every header against the
// buffer; the entries point into that buffer, which the caller keeps alive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A type or name: an integer id, or a string (ids are 1..0xFFFF).
struct ResName {
    uint16_t id = 0;
    std::u16string text;  // used when id == 0
};

struct ResEntry {
    ResName type;
    ResName name;
    uint16_t language = 0;
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

enum class ResError {
    kOk,
    kTruncated,       // a header or its data runs past the end of the buffer
    kBadHeader,       // a header's sizes contradict each other
    kBadName,         // a type or name string is unterminated or empty
    kNotResFile,      // the first entry is not the empty entry every .res starts with
};

const char* ResErrorText(ResError error);

// Reads all entries of data[0, size). The leading empty entry is not listed.
ResError ParseResFile(const uint8_t* data, size_t size, std::vector<ResEntry>* entries);

}  // namespace platform
