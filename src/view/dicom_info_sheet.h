// The "Patient Info" sheet of command 30058: the current entry's DICOM file
// read once into a DicomInfoList and shown on two read-only pages, "Patient"
// (nine patient attributes) and "All" (every listed element, with a search
// field). The list is built per opening and freed when the sheet closes.
// The row texts below are what the pages show, so that they can be checked
// without the sheet. Main thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "dicom/dicom_info_list.h"

class ImageAlbum;
class ViewerHost;

// The Patient page's fields: control, element.
struct PatientField {
    int controlId;
    uint16_t group;
    uint16_t element;
};
constexpr int kPatientFieldCount = 9;
extern const PatientField kPatientFields[kPatientFieldCount];

// Whether an element identifies the patient (the names, IDs, birth date,
// addresses, institution and accession number of DICOM's basic
// de-identification profile, and the nine Patient fields): its value reads
// "(hidden)" while patient data is hidden.
bool IsIdentifyingElement(uint16_t group, uint16_t element);

// The "Hide patient data" switch, kept as the "HidePatientData" value of the
// "Options" key (default off).
bool HidePatientData();
void SetHidePatientData(bool hide);

// A record's text as UTF-16: UTF-8 (invalid bytes become U+FFFD) or the
// device's single-byte code page.
std::u16string DicomTextToWide(const char* text, bool utf8);

// The Patient page's text of one element: the first top-level record with
// that tag (a nested one belongs to another patient or item), else empty.
std::u16string PatientFieldText(const DicomInfoList& list, uint16_t group, uint16_t element,
                                bool hide);

// One line of the All page.
struct DicomInfoRow {
    std::u16string name;   // three spaces first unless the element is a group length
    std::u16string value;
    std::u16string tag;    // "(gggg,eeee)"
};
DicomInfoRow AllPageRow(const DicomInfoList& list, size_t index, bool hide);
// Whether a row stays under the search text: its name, tag or value
// contains the text, in any case. An empty text keeps every row.
bool RowMatches(const DicomInfoRow& row, const std::u16string& filter);

// Shows the sheet for album entry `row`; true when it was shown. `host`,
// when given, pauses its thumbnail loader while the file is read (the
// loader decodes with the same process-wide reader).
bool ShowDicomInfo(ImageAlbum* album, int row, HWND owner, ViewerHost* host = nullptr);
