// The element list of the DICOM information dialog: every displayable element
// of a file, in file order, as its dictionary row and a short single-byte
// text (at most 63 characters). Elements without a named dictionary row,
// AT/OB/OW (and the later binary VRs), group 7FE0 and above and the fragments
// of encapsulated pixel data are left out; sequence items and delimiters stay.
// The list owns its records; DicomInfoListRelease frees them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "dicom/dicom_dictionary.h"
#include "dicom/dicom_reader.h"

constexpr size_t kDicomInfoTextSize = 64;

struct DicomInfoRecord {
    const DicomDictEntry* entry;     // group, element, VR and name
    char text[kDicomInfoTextSize];   // NUL-terminated
    uint8_t depth;                   // the sequence level the element was read at (0 top)
};

struct DicomInfoList {
    DicomInfoRecord* records = nullptr;
    size_t count = 0;
    size_t capacity = 0;
    // The top-level Specific Character Set (0008,0005) names UTF-8
    // ("ISO_IR 192"): the texts are UTF-8, cut on a character boundary.
    // Otherwise they are single-byte text in the device's code page.
    bool utf8 = false;
};

// Appends a record; false when memory runs out (the list is unchanged).
bool DicomInfoListAppend(DicomInfoList* list, const DicomDictEntry* entry, const char* text,
                         uint8_t depth = 0);

// Cuts a UTF-8 text that was cut at a byte count back to its last whole
// character (a lead byte whose sequence is incomplete and what follows it).
void TrimToUtf8Boundary(char* text);
void DicomInfoListRelease(DicomInfoList* list);

// Whether an element of this group is listed at all: below group 7FE0, or an
// item or delimiter of a sequence (not a fragment of pixel data).
bool IsListed(const DicomElement& element);

// Reads the file with the DicomReader and appends one record per listed
// element. A handle is attached to DicomStream() unless a remote resource is
// attached there (and detached again at the end); nullptr reads the stream as
// it is. A read error ends the list where it happened. Always true.
bool BuildDicomInfoList(HANDLE fileHandle, DicomInfoList* list);

// The element's dictionary row with its value as text (the raw value as
// dicom_load_value left it), or nullptr when the element is not listed.
const DicomDictEntry* FormatDicomValue(const DicomElement* element, char text[kDicomInfoTextSize]);
