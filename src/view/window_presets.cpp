// The window presets: the file's own windows and the CT windows.
#include "view/window_presets.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "dicom/byte_stream.h"
#include "dicom/dicom_handler.h"
#include "dicom/dicom_reader.h"

namespace {

struct HounsfieldPreset {
    const char16_t* name;
    int32_t center;
    int32_t width;
};
// Level/width pairs in Hounsfield units, as radiology departments use them.
constexpr HounsfieldPreset kHounsfieldPresets[] = {
    {u"Brain", 40, 80},     {u"Lung", -600, 1500}, {u"Mediastinum", 50, 350},
    {u"Abdomen", 50, 400},  {u"Liver", 30, 150},   {u"Bone", 400, 1800},
};

// Splits a backslash-separated value into its parts, spaces trimmed.
std::vector<std::string> Split(const char* text) {
    std::vector<std::string> parts;
    if (text == nullptr) return parts;
    std::string part;
    for (const char* p = text;; ++p) {
        if (*p == '\\' || *p == '\0') {
            size_t b = part.find_first_not_of(' ');
            size_t e = part.find_last_not_of(' ');
            parts.push_back(b == std::string::npos ? std::string() : part.substr(b, e - b + 1));
            part.clear();
            if (*p == '\0') break;
        } else {
            part.push_back(*p);
        }
    }
    return parts;
}

// A decimal string as an integer (truncated); false when it is no number
// or out of the 32-bit range.
bool ParseDecimal(const std::string& text, int32_t* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value) || value < -2147483648.0 ||
        value > 2147483647.0) {
        return false;
    }
    *out = static_cast<int32_t>(value);
    return true;
}

std::u16string Widen(const std::string& text) {
    std::u16string out;
    for (unsigned char c : text) out.push_back(c);
    return out;
}

// A text value of at most `capacity` - 1 bytes.
void CopyValue(const DicomElement& element, char* out, size_t capacity) {
    const size_t n = element.value == nullptr ? 0
                     : element.length < capacity - 1 ? element.length
                                                     : capacity - 1;
    if (n) std::memcpy(out, element.value, n);
    out[n] = '\0';
}

}  // namespace

void ParseFileWindows(const char* centers, const char* widths, const char* explanations,
                      FileWindows* out) {
    const std::vector<std::string> c = Split(centers);
    const std::vector<std::string> w = Split(widths);
    const std::vector<std::string> names = Split(explanations);
    for (size_t i = 0; i < c.size() && i < w.size(); ++i) {
        WindowPreset preset;
        if (!ParseDecimal(c[i], &preset.center) || !ParseDecimal(w[i], &preset.width)) continue;
        if (preset.width < 1) continue;
        if (i < names.size() && !names[i].empty()) {
            preset.name = Widen(names[i]);
        } else {
            preset.name = Widen(c[i] + "/" + w[i]);
        }
        out->windows.push_back(preset);
    }
}

bool ReadFileWindows(LPCWSTR path, FileWindows* out) {
    out->windows.clear();
    out->hounsfield = false;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    // Values are short decimal strings; 1024 bytes hold every sensible list.
    constexpr size_t kValueSize = 1024;
    char centers[kValueSize] = {};
    char widths[kValueSize] = {};
    char explanations[kValueSize] = {};
    bool ok = false;
    {
        DicomHandler handler;  // the reader on the local-file kind
        ByteStream& stream = DicomStream();
        stream.attach_file(file);
        stream.seek(0, FILE_BEGIN);
        if (dicom_open() == 0) {
            while (DicomElement* element = dicom_next_element()) {
                ok = true;  // at least one element: a DICOM stream
                // Everything of interest lies before the pixel data.
                if (element->group >= 0x7FE0 && element->depth == 0) break;
                const bool wanted =
                    element->depth == 0 &&
                    ((element->group == 0x0008 && element->element == 0x0060) ||
                     (element->group == 0x0028 &&
                      (element->element == 0x1050 || element->element == 0x1051 ||
                       element->element == 0x1054 || element->element == 0x1055)));
                if (dicom_load_value(element->vr) < 0) break;
                if (!wanted) {
                    dicom_free_value(element->value);
                    element->value = nullptr;
                    continue;
                }
                char text[kValueSize];
                CopyValue(*element, text, kValueSize);
                if (element->group == 0x0008) {
                    if (std::strncmp(text, "CT", 2) == 0) out->hounsfield = true;
                } else if (element->element == 0x1050) {
                    std::memcpy(centers, text, kValueSize);
                } else if (element->element == 0x1051) {
                    std::memcpy(widths, text, kValueSize);
                } else if (element->element == 0x1054) {
                    if (std::strncmp(text, "HU", 2) == 0) out->hounsfield = true;
                } else {
                    std::memcpy(explanations, text, kValueSize);
                }
                dicom_free_value(element->value);
                element->value = nullptr;
            }
        }
        stream.detach();
    }
    CloseHandle(file);
    ParseFileWindows(centers, widths, explanations, out);
    return ok;
}

std::vector<WindowPreset> WindowPresets(const FileWindows& file) {
    std::vector<WindowPreset> presets = file.windows;
    if (file.hounsfield) {
        for (const HounsfieldPreset& p : kHounsfieldPresets) {
            presets.push_back({p.name, p.center, p.width});
        }
    }
    return presets;
}
