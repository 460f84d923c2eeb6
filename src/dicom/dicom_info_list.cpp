// The information list: the reader's elements turned into named text lines.
#include "dicom/dicom_info_list.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Copies up to sizeof(T) bytes of the value into a zeroed T, so that a value
// shorter than its VR's unit never reads past its buffer.
template <class T>
T ValueAs(const DicomElement* element) {
    T out{};
    const size_t n = element->length < sizeof(T) ? element->length : sizeof(T);
    std::memcpy(&out, element->value, n);
    return out;
}

}  // namespace

bool IsListed(const DicomElement& element) {
    // Pixel data and everything after it stays out, and so do the fragments
    // of encapsulated pixel data; the items and delimiters of sequences are
    // listed like the elements inside them.
    if (element.group == 0xFFFE) return element.encapsulated == 0;
    return element.group < 0x7FE0;
}

bool DicomInfoListAppend(DicomInfoList* list, const DicomDictEntry* entry, const char* text,
                         uint8_t depth) {
    if (list->count == list->capacity) {
        const size_t capacity = list->capacity == 0 ? 64 : list->capacity * 2;
        if (capacity > SIZE_MAX / sizeof(DicomInfoRecord)) return false;
        auto* records = static_cast<DicomInfoRecord*>(
            std::realloc(list->records, capacity * sizeof(DicomInfoRecord)));
        if (records == nullptr) return false;
        list->records = records;
        list->capacity = capacity;
    }
    DicomInfoRecord& record = list->records[list->count++];
    record.entry = entry;
    std::strncpy(record.text, text, kDicomInfoTextSize - 1);
    record.text[kDicomInfoTextSize - 1] = '\0';
    record.depth = depth;
    return true;
}

void DicomInfoListRelease(DicomInfoList* list) {
    std::free(list->records);
    list->records = nullptr;
    list->count = 0;
    list->capacity = 0;
}

const DicomDictEntry* FormatDicomValue(const DicomElement* element,
                                       char text[kDicomInfoTextSize]) {
    text[0] = '\0';
    const DicomDictEntry* entry = dicom_find_entry(element->group, element->element);
    if (entry == nullptr || entry->name[0] == '?') return nullptr;
    // Group lengths are headings; sequences, items and empty values have no text.
    if (element->element == 0x0000 || element->length == 0 || element->value == nullptr) {
        return entry;
    }
    int32_t vr = element->vr;
    if (vr == kVrUN) vr = DictEntryVr(*entry);  // implicit-VR data

    const char* value = static_cast<const char*>(element->value);
    switch (vr) {
        case kVrAT: case kVrOB: case kVrOW:
        // The later binary VRs are no more readable as a line of text.
        case kVrOD: case kVrOF: case kVrOL: case kVrOV:
            return nullptr;
        case kVrDA:
            if (std::strlen(value) == 8) {
                std::snprintf(text, kDicomInfoTextSize, "%.2s/%.2s/%.4s", value + 6, value + 4,
                              value);
                return entry;
            }
            break;
        case kVrTM:
            if (std::strlen(value) == 6) {
                std::snprintf(text, kDicomInfoTextSize, "%.2s:%.2s:%.2s", value, value + 2,
                              value + 4);
                return entry;
            }
            break;
        case kVrFD:
            std::snprintf(text, kDicomInfoTextSize, "%f", ValueAs<double>(element));
            return entry;
        case kVrFL:
            std::snprintf(text, kDicomInfoTextSize, "%f", (double)ValueAs<float>(element));
            return entry;
        case kVrSL:
            std::snprintf(text, kDicomInfoTextSize, "%d", (int)ValueAs<int32_t>(element));
            return entry;
        case kVrUL:
            std::snprintf(text, kDicomInfoTextSize, "%u", (unsigned)ValueAs<uint32_t>(element));
            return entry;
        case kVrSS:
            std::snprintf(text, kDicomInfoTextSize, "%d", (int)ValueAs<int16_t>(element));
            return entry;
        case kVrUS: case kVrXs:
            std::snprintf(text, kDicomInfoTextSize, "%d", (int)ValueAs<uint16_t>(element));
            return entry;
        case kVrSV:
            std::snprintf(text, kDicomInfoTextSize, "%" PRId64, ValueAs<int64_t>(element));
            return entry;
        case kVrUV:
            std::snprintf(text, kDicomInfoTextSize, "%" PRIu64, ValueAs<uint64_t>(element));
            return entry;
        default:
            break;
    }
    // Text as stored: several values keep their backslashes, names their
    // carets and padding.
    const size_t n = element->length < kDicomInfoTextSize - 1 ? element->length
                                                              : kDicomInfoTextSize - 1;
    std::memcpy(text, value, n);
    text[n] = '\0';
    return entry;
}

void TrimToUtf8Boundary(char* text) {
    const size_t length = std::strlen(text);
    // Walk back over continuation bytes to the last lead byte; keep it only
    // when its whole sequence is there.
    size_t start = length;
    while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0) == 0x80 &&
           length - start < 3) {
        --start;
    }
    if (start == 0) return;
    const unsigned char lead = static_cast<unsigned char>(text[start - 1]);
    size_t need = 0;
    if (lead >= 0xF0) {
        need = 4;
    } else if (lead >= 0xE0) {
        need = 3;
    } else if (lead >= 0xC0) {
        need = 2;
    } else {
        return;  // an ASCII byte (or a stray continuation run) ends the text
    }
    if (length - (start - 1) < need) text[start - 1] = '\0';
}

namespace {

// Whether a Specific Character Set value names UTF-8 among its values.
bool NamesUtf8(const DicomElement& element) {
    if (element.value == nullptr) return false;
    const char* value = static_cast<const char*>(element.value);
    const size_t n = element.length;
    static const char kUtf8[] = "ISO_IR 192";
    const size_t k = sizeof(kUtf8) - 1;
    for (size_t i = 0; i + k <= n; ++i) {
        if (std::memcmp(value + i, kUtf8, k) == 0) return true;
    }
    return false;
}

}  // namespace

bool BuildDicomInfoList(HANDLE fileHandle, DicomInfoList* list) {
    ByteStream& stream = DicomStream();
    const bool attach = fileHandle != nullptr && fileHandle != INVALID_HANDLE_VALUE &&
                        stream.kind != kStreamRemote;
    if (attach) stream.attach_file(fileHandle);
    stream.seek(0, FILE_BEGIN);
    if (dicom_open() == 0) {
        while (DicomElement* element = dicom_next_element()) {
            if (dicom_load_value(element->vr) < 0) break;
            if (element->group == 0x0008 && element->element == 0x0005 && element->depth == 0) {
                list->utf8 = NamesUtf8(*element);
            }
            if (IsListed(*element)) {
                char text[kDicomInfoTextSize];
                const DicomDictEntry* entry = FormatDicomValue(element, text);
                if (entry != nullptr && list->utf8 && element->length >= kDicomInfoTextSize - 1) {
                    TrimToUtf8Boundary(text);
                }
                if (entry != nullptr &&
                    !DicomInfoListAppend(list, entry, text, element->depth)) {
                    dicom_free_value(element->value);
                    element->value = nullptr;
                    break;
                }
            }
            dicom_free_value(element->value);
            element->value = nullptr;
        }
    }
    if (attach) stream.detach();
    return true;
}
