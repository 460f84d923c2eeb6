// DicomReader: the pull parser of DICOM data. It reads one data element at a
// time from DicomStream() and leaves it to the caller whether the value is
// read, split, skipped or ignored; it never builds a tree. One instance for
// the process, not locked: one caller at a time. Values are owned by the
// caller (dicom_free_value); short ones share one 128-byte buffer that the
// next short value overwrites. After any error the stream is back at 0.
#pragma once

#include <cstdint>

#include "dicom/byte_stream.h"
#include "dicom/dicom_dictionary.h"
#include "dicom/dicom_log.h"

constexpr uint32_t kUndefinedLength = 0xFFFFFFFFu;

// The element most recently read.
struct DicomElement {
    uint16_t group;    // host order
    uint16_t element;  // host order
    // A VrCode: read from the stream in explicit-VR mode; in implicit-VR mode
    // and for group FFFE, SQ for a known sequence and UN otherwise.
    int32_t vr;
    uint32_t length;  // as read; kUndefinedLength for an undefined length
    // nullptr until read. Raw: length bytes and at least four zero bytes.
    // Split string VRs: vm text pointers followed by the NUL-terminated texts.
    void* value;
    uint32_t vm;           // value multiplicity, set by dicom_split_value
    int32_t encapsulated;  // non-zero inside encapsulated pixel data
    uint8_t depth;         // the sequence level the element was read at
};

// Bits of DicomReader::mode; only 5, 6, 9 and 10 occur.
enum : int32_t {
    kModeLittleEndian = 1,
    kModeBigEndian = 2,
    kModeImplicitVr = 4,
    kModeExplicitVr = 8,
};

struct DicomReader {
    // For levels 1-255: bytes still to come in the sequence opened at that
    // level, or kUndefinedLength; slot 0: the byte count of the element just read.
    uint32_t remaining[256];
    int64_t element_start;    // stream position of the current element's tag
    int32_t in_encapsulated;  // between encapsulated pixel data and its delimiter
    DicomElement current;
    uint8_t level;   // 0 at top level
    int32_t meta;    // while the file meta group is read
    int32_t mode;    // the kMode bits
    int32_t syntax;  // a TransferSyntaxCode
    alignas(alignof(char*)) char small_buffer[128];
    // The mode to return to when the level closes: a sequence stored as UN in
    // explicit-VR data holds implicit-VR little-endian items. 0: unchanged.
    int32_t restore_mode[256];
    // A read since the last dicom_check delivered fewer bytes than asked.
    bool short_read;
};

// The reader's state, for callers that look at mode, syntax or level.
const DicomReader& DicomReaderState();

// Reads the preamble (or the first bytes of a file without one) from the
// stream's current position and resets the reader. 0, or -1 when the first
// 132 bytes cannot be read.
int dicom_open();

// The next element with its header read but not its value, or nullptr at the
// end of the data or on an error.
DicomElement* dicom_next_element();

// Reads the current element's value raw, byte-swapped by VR in big-endian
// data; a UN element takes `expected_vr`. 1 value read (value nullptr for a
// zero length), 0 nothing to read (sequences, items, undefined lengths),
// -2 out of memory, -3 read error (the value released).
int dicom_load_value(int32_t expected_vr);

// dicom_load_value, then dicom_split_value when a value was read. 0, or a
// negative number on failure (the value released).
int dicom_read_value(int32_t expected_vr);

// Sets vm; string VRs become the text-pointer array. 0, or -1 out of memory.
int dicom_split_value();

// Trims the split texts of string VRs: "^" becomes a space in PN values, and
// leading and trailing spaces and tabs go.
void dicom_clean_text();

// Steps over the current element's value: 0, the dicom_check result after
// the move, or -1 without a stream.
int dicom_skip_value();

// Releases a value; the shared buffer and nullptr are ignored.
void dicom_free_value(void* value);

// 0; -1 after a stream failure ("Error while reading file"); -2 when a read
// came up short ("Unexpected end of file" unless quiet). Both rewind to 0.
int dicom_check(int quiet);

// The split texts of the current element (vm of them).
inline char** DicomValueTexts(const DicomElement& element) {
    return static_cast<char**>(element.value);
}
