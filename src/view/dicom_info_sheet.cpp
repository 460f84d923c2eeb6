// The "Patient Info" sheet and the texts of its two pages.
#include "view/dicom_info_sheet.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "album/image_album.h"
#include "app/dialog_base.h"
#include "app/settings_store.h"
#include "app/shell_helpers.h"
#include "app/viewer_host.h"
#include "dicom/byte_stream.h"
#include "dicom/dicom_handler.h"
#include "res/resource.h"

const PatientField kPatientFields[kPatientFieldCount] = {
    {IDC_PATIENT_NAME, 0x0010, 0x0010},       {IDC_PATIENT_SEX, 0x0010, 0x0040},
    {IDC_PATIENT_ISSUER, 0x0010, 0x0021},     {IDC_PATIENT_ID, 0x0010, 0x0020},
    {IDC_PATIENT_BIRTH_DATE, 0x0010, 0x0030}, {IDC_PATIENT_HISTORY, 0x0010, 0x21B0},
    {IDC_PATIENT_ADDRESS, 0x0010, 0x1040},    {IDC_PATIENT_REGION, 0x0010, 0x2152},
    {IDC_PATIENT_COUNTRY, 0x0010, 0x2150},
};

namespace {

// The identifying elements beyond the nine fields: the names, IDs, dates,
// addresses and numbers of the basic de-identification profile that a study
// shown at the bedside must not show.
constexpr uint32_t kIdentifyingTags[] = {
    0x00080050,  // Accession Number
    0x00080080,  // Institution Name
    0x00080081,  // Institution Address
    0x00080090,  // Referring Physician's Name
    0x00080092,  // Referring Physician's Address
    0x00080094,  // Referring Physician's Telephone Numbers
    0x00081040,  // Institutional Department Name
    0x00081048,  // Physician(s) of Record
    0x00081050,  // Performing Physician's Name
    0x00081060,  // Name of Physician(s) Reading Study
    0x00081070,  // Operators' Name
    0x00100032,  // Patient's Birth Time
    0x00101000,  // Other Patient IDs
    0x00101001,  // Other Patient Names
    0x00101005,  // Patient's Birth Name
    0x00101060,  // Patient's Mother's Birth Name
    0x00102154,  // Patient's Telephone Numbers
    0x00200010,  // Study ID
    0x00321032,  // Requesting Physician
    0x00400006,  // Scheduled Performing Physician's Name
};

constexpr LPCWSTR kOptionsKey = u"Options";
constexpr LPCWSTR kHideValue = u"HidePatientData";
constexpr WCHAR kReplacement = 0xFFFD;
constexpr int kColumnWidth = 150;
constexpr int kTagColumnWidth = 80;

// Decodes UTF-8; every byte that does not start a whole, shortest-form
// sequence becomes one U+FFFD.
std::u16string Utf8ToWide(const char* text) {
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const size_t n = std::strlen(text);
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        uint32_t code = 0;
        size_t length = 0;
        uint32_t minimum = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if (c >= 0xC2 && c < 0xE0) {
            code = c & 0x1F, length = 2, minimum = 0x80;
        } else if (c >= 0xE0 && c < 0xF0) {
            code = c & 0x0F, length = 3, minimum = 0x800;
        } else if (c >= 0xF0 && c < 0xF5) {
            code = c & 0x07, length = 4, minimum = 0x10000;
        }
        bool whole = length != 0 && i + length <= n;
        for (size_t k = 1; whole && k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) whole = false;
            code = code << 6 | (p[i + k] & 0x3F);
        }
        if (!whole || code < minimum || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

std::u16string HiddenText() { return LoadResString(IDS_PATIENT_HIDDEN); }

std::u16string RecordText(const DicomInfoList& list, const DicomInfoRecord& record, bool hide) {
    if (hide && IsIdentifyingElement(record.entry->group, record.entry->element)) {
        return HiddenText();
    }
    return DicomTextToWide(record.text, list.utf8);
}

char16_t Lower(char16_t c) {
    if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

bool ContainsAnyCase(const std::u16string& text, const std::u16string& part) {
    if (part.size() > text.size()) return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i) {
        size_t k = 0;
        while (k < part.size() && Lower(text[i + k]) == Lower(part[k])) ++k;
        if (k == part.size()) return true;
    }
    return false;
}

bool HasInfoExtension(LPCWSTR path) {
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = path; *p; ++p) {
        if (*p == u'.') dot = p;
        if (*p == u'\\') dot = nullptr;
    }
    if (!dot) return false;
    return lstrcmpiW(dot + 1, u"dcm") == 0 || lstrcmpiW(dot + 1, u"url") == 0;
}

// ---- The pages ----

class InfoPage : public DialogBase {
public:
    InfoPage(int templateId, const DicomInfoList* list, bool* hide)
        : DialogBase(templateId, nullptr), list_(list), hide_(hide) {}
    bool OnCommand(WPARAM wParam, LPARAM) override {
        const int id = LOWORD(wParam);
        // The sheet's OK and Cancel reach the pages; the sheet ends itself.
        if (id == IDOK || id == IDCANCEL) return true;
        return OnPageCommand(id, HIWORD(wParam));
    }

protected:
    virtual bool OnPageCommand(int id, int code) = 0;
    const DicomInfoList* list_;
    bool* hide_;
};

class PatientPage : public InfoPage {
public:
    PatientPage(const DicomInfoList* list, bool* hide) : InfoPage(IDD_DICOM_PATIENT, list, hide) {}
    LRESULT OnInitDialog() override {
        DialogBase::OnInitDialog();
        CheckDlgButton(hwnd_, IDC_PATIENT_HIDE, *hide_ ? BST_CHECKED : BST_UNCHECKED);
        Fill();
        return 1;
    }

private:
    void Fill() {
        for (const PatientField& field : kPatientFields) {
            const std::u16string text =
                PatientFieldText(*list_, field.group, field.element, *hide_);
            SetDlgItemTextW(hwnd_, field.controlId, text.c_str());
        }
    }
    bool OnPageCommand(int id, int code) override {
        if (id != IDC_PATIENT_HIDE || code != BN_CLICKED) return false;
        *hide_ = IsDlgButtonChecked(hwnd_, IDC_PATIENT_HIDE) == BST_CHECKED;
        SetHidePatientData(*hide_);
        Fill();
        return true;
    }
};

class AllPage : public InfoPage {
public:
    AllPage(const DicomInfoList* list, bool* hide) : InfoPage(IDD_DICOM_ALL, list, hide) {}
    LRESULT OnInitDialog() override {
        DialogBase::OnInitDialog();
        HWND listView = GetDlgItem(hwnd_, IDC_DICOM_LIST);
        SendMessageW(listView, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_GRIDLINES, LVS_EX_GRIDLINES);
        const UINT headings[] = {IDS_DICOM_ELEMENT_HEADING, IDS_DICOM_VALUE, IDS_DICOM_TAG};
        const int widths[] = {kColumnWidth, kColumnWidth, kTagColumnWidth};
        for (int c = 0; c < 3; ++c) {
            WCHAR text[64];
            LoadResString(headings[c], nullptr, text, 64);
            LVCOLUMNW column = {};
            column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
            column.fmt = LVCFMT_LEFT;
            column.cx = widths[c];
            column.pszText = text;
            SendMessageW(listView, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
        }
        Fill();
        return 1;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        // The Patient page may have changed the hide switch meanwhile.
        if (message == MSG_PAGE_ACTIVE) {
            if (shownHide_ != *hide_) Fill();
            return 0;
        }
        return InfoPage::WindowProc(message, wParam, lParam);
    }

private:
    void Fill() {
        HWND listView = GetDlgItem(hwnd_, IDC_DICOM_LIST);
        WCHAR filterText[128] = {};
        GetDlgItemTextW(hwnd_, IDC_DICOM_FILTER, filterText, 128);
        const std::u16string filter = filterText;
        shownHide_ = *hide_;
        SendMessageW(listView, WM_SETREDRAW, FALSE, 0);
        SendMessageW(listView, LVM_DELETEALLITEMS, 0, 0);
        int item = 0;
        for (size_t i = 0; i < list_->count; ++i) {
            DicomInfoRow row = AllPageRow(*list_, i, *hide_);
            if (!RowMatches(row, filter)) continue;
            LVITEMW entry = {};
            entry.mask = LVIF_TEXT;
            entry.iItem = item;
            entry.pszText = row.name.data();
            const int at = static_cast<int>(
                SendMessageW(listView, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
            if (at < 0) break;
            LVITEMW sub = {};
            sub.iSubItem = 1;
            sub.pszText = row.value.data();
            SendMessageW(listView, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
            sub.iSubItem = 2;
            sub.pszText = row.tag.data();
            SendMessageW(listView, LVM_SETITEMTEXTW, at, reinterpret_cast<LPARAM>(&sub));
            ++item;
        }
        SendMessageW(listView, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(listView, nullptr, TRUE);
    }
    bool OnPageCommand(int id, int code) override {
        if (id != IDC_DICOM_FILTER) return false;
        if (code == EN_CHANGE) Fill();
        return true;
    }
    bool shownHide_ = false;
};

}  // namespace

bool IsIdentifyingElement(uint16_t group, uint16_t element) {
    for (const PatientField& field : kPatientFields) {
        if (field.group == group && field.element == element) return true;
    }
    const uint32_t tag = static_cast<uint32_t>(group) << 16 | element;
    for (uint32_t t : kIdentifyingTags) {
        if (t == tag) return true;
    }
    return false;
}

bool HidePatientData() {
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    DWORD value = 0;
    if (!store.Open(kOptionsKey, false) || !store.ReadNumber(kHideValue, &value)) return false;
    return value != 0;
}

void SetHidePatientData(bool hide) {
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    if (store.Open(kOptionsKey, true)) store.WriteNumber(kHideValue, hide ? 1 : 0);
}

std::u16string DicomTextToWide(const char* text, bool utf8) {
    if (utf8) return Utf8ToWide(text);
    WCHAR wide[kDicomInfoTextSize * 2] = {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, kDicomInfoTextSize * 2);
    if (n <= 0) return std::u16string();
    return std::u16string(wide);
}

std::u16string PatientFieldText(const DicomInfoList& list, uint16_t group, uint16_t element,
                                bool hide) {
    for (size_t i = 0; i < list.count; ++i) {
        const DicomInfoRecord& record = list.records[i];
        if (record.depth != 0) continue;
        if (record.entry->group != group || record.entry->element != element) continue;
        if (hide) return HiddenText();
        return DicomTextToWide(record.text, list.utf8);
    }
    return std::u16string();
}

DicomInfoRow AllPageRow(const DicomInfoList& list, size_t index, bool hide) {
    DicomInfoRow row;
    const DicomInfoRecord& record = list.records[index];
    const DicomDictEntry& entry = *record.entry;
    if (entry.element != 0x0000) row.name = u"   ";
    for (const char* p = entry.name; *p; ++p) row.name.push_back(static_cast<unsigned char>(*p));
    row.value = RecordText(list, record, hide);
    char tag[16];
    std::snprintf(tag, sizeof(tag), "(%04X,%04X)", entry.group, entry.element);
    for (const char* p = tag; *p; ++p) row.tag.push_back(static_cast<unsigned char>(*p));
    return row;
}

bool RowMatches(const DicomInfoRow& row, const std::u16string& filter) {
    if (filter.empty()) return true;
    return ContainsAnyCase(row.name, filter) || ContainsAnyCase(row.tag, filter) ||
           ContainsAnyCase(row.value, filter);
}

bool ShowDicomInfo(ImageAlbum* album, int row, HWND owner, ViewerHost* host) {
    if (!album || !album->Entry(row)) return false;
    WCHAR path[MAX_PATH];
    if (!album->FullPath(row, false, path, MAX_PATH)) return false;
    if (!HasInfoExtension(path)) {
        ShowMessage(owner, nullptr, MB_OK | MB_ICONEXCLAMATION, IDS_ERROR, IDS_ONLY_DICOM_INFO);
        return false;
    }
    // The loader decodes with the same process-wide reader: it waits while
    // the file is read.
    const bool loaderWasRunning = host && host->PauseLoader();
    DicomInfoList list;
    bool read = true;
    if (DicomStream().kind != kStreamRemote) {
        HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            read = false;
        } else {
            DicomHandler handler;  // puts the reader on the local-file kind
            BuildDicomInfoList(file, &list);
            CloseHandle(file);
        }
    } else {
        // A remote file attached by the link handler: read as it stands.
        BuildDicomInfoList(nullptr, &list);
    }
    if (loaderWasRunning) host->ResumeLoader();
    if (!read) return false;

    bool hide = HidePatientData();
    PatientPage patient(&list, &hide);
    AllPage all(&list, &hide);
    PropertySheetSpec sheet;
    sheet.captionId = IDS_PATIENT_INFO;
    sheet.parent = owner;
    sheet.instance = AppInstance();
    sheet.pages = {{IDD_DICOM_PATIENT, &patient}, {IDD_DICOM_ALL, &all}};
    RunPropertySheet(sheet);
    DicomInfoListRelease(&list);
    return true;
}
