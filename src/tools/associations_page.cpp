#include "tools/associations_page.h"

#include <shlobj.h>

#include "image/image_library.h"
#include "res/resource.h"
#include "tools/file_associations.h"

namespace {

// The check boxes each viewer may use.
struct ViewerRange {
    int first;
    int last;
};
constexpr ViewerRange kRanges[kViewerCount] = {
    {IDC_ASSOC_ALBUM, IDC_ASSOC_LAST},
    {IDC_ASSOC_FIRST_FORMAT, IDC_ASSOC_FIRST_FORMAT + 2},
    {IDC_ASSOC_FIRST_FORMAT, IDC_ASSOC_FIRST_FORMAT + 2},
};

// "jpg\0jpe\0jpeg\0\0" as "JPG,JPE,JPEG".
std::u16string Label(LPCWSTR extensions) {
    std::u16string label;
    for (LPCWSTR e = extensions; *e; e += lstrlenW(e) + 1) {
        if (!label.empty()) label += u',';
        label += e;
    }
    CharUpperW(label.data());
    return label;
}

std::u16string Joined(const std::vector<std::u16string>& items) {
    std::u16string text;
    for (const std::u16string& item : items) text += (text.empty() ? u"" : u", ") + item;
    return text;
}

}  // namespace

LRESULT AssociationsPage::OnInitDialog() {
    OptionsPage::OnInitDialog();
    MakeBold(IDC_ASSOC_HEADING);
    HWND combo = GetDlgItem(hwnd_, IDC_ASSOC_VIEWER);
    for (int v = 0; v < kViewerCount; ++v) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ViewerName(v)));
    SendMessageW(combo, CB_SETCURSEL, 0, 0);

    ShowWindow(GetDlgItem(hwnd_, IDC_ASSOC_ALBUM), SW_SHOW);
    int next = IDC_ASSOC_FIRST_FORMAT;
    if (ImageLibrary* library = TheImageLibrary()) {
        for (int p = 0; p < library->ProviderCount(); ++p) {
            for (const FormatEntry* row = library->Provider(p)->table; row && (row->displayName || row->extensions); ++row) {
                if (!row->displayName || !row->extensions || !row->extensions[0] || next > IDC_ASSOC_LAST) continue;
                SetDlgItemTextW(hwnd_, next, Label(row->extensions).c_str());
                ShowWindow(GetDlgItem(hwnd_, next), SW_SHOW);
                ++next;
            }
        }
    }
    EnableForViewer();
    EnableAssociate();
    return 1;
}

int AssociationsPage::Viewer() const {
    LRESULT selected = SendDlgItemMessageW(hwnd_, IDC_ASSOC_VIEWER, CB_GETCURSEL, 0, 0);
    return selected >= 0 && selected < kViewerCount ? static_cast<int>(selected) : 0;
}

void AssociationsPage::EnableForViewer() {
    const ViewerRange& range = kRanges[Viewer()];
    for (int id = IDC_ASSOC_ALBUM; id <= IDC_ASSOC_LAST; ++id)
        EnableWindow(GetDlgItem(hwnd_, id), id >= range.first && id <= range.last);
}

void AssociationsPage::EnableAssociate() {
    bool any = false;
    for (int id = IDC_ASSOC_ALBUM; id <= IDC_ASSOC_LAST && !any; ++id) any = Checked(id) != 0;
    EnableWindow(GetDlgItem(hwnd_, IDC_ASSOCIATE), any);
}

bool AssociationsPage::OnPageCommand(int id, int code) {
    if (id == IDC_ASSOC_VIEWER) {
        if (code == CBN_SELCHANGE) EnableForViewer();
        return true;
    }
    if (id >= IDC_ASSOC_ALBUM && id <= IDC_ASSOC_LAST) {
        if (code == BN_CLICKED) EnableAssociate();
        return true;
    }
    if (id == IDC_ASSOCIATE) {
        if (code == BN_CLICKED) Associate();
        return true;
    }
    return false;
}

void AssociationsPage::Associate() {
    const int viewer = Viewer();
    const ViewerRange& range = kRanges[viewer];
    std::vector<std::u16string> given, refused;
    for (int id = range.first; id <= range.last; ++id) {
        if (!Checked(id) || !IsWindowVisible(GetDlgItem(hwnd_, id))) continue;
        WCHAR label[128];
        GetDlgItemTextW(hwnd_, id, label, 128);
        std::u16string done, failed;
        std::u16string_view rest = label;
        while (!rest.empty()) {
            std::u16string extension(rest.substr(0, rest.find(u',')));
            rest.remove_prefix(std::min(rest.size(), extension.size() + 1));
            if (extension.empty()) continue;
            std::u16string& list = RegisterAssociation((u"." + extension).c_str(), viewer) ? done : failed;
            list += (list.empty() ? u"" : u", ") + extension;
        }
        if (!done.empty()) given.push_back(done);
        if (!failed.empty()) refused.push_back(failed);
    }
    if (given.empty() && refused.empty()) return;
    // As Windows programs do: the shell learns that associations changed.
    if (!given.empty()) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    std::u16string report = AssociationReport(viewer, given, refused, instance_);
    WCHAR caption[64];
    LoadResString(IDS_ASSOCIATION, instance_, caption, 64);
    MessageBoxW(hwnd_, report.c_str(), caption, MB_OK | (refused.empty() ? MB_ICONINFORMATION : MB_ICONWARNING));
}

std::u16string AssociationsPage::AssociationReport(int viewer, const std::vector<std::u16string>& given,
                                                   const std::vector<std::u16string>& refused,
                                                   HINSTANCE instance) {
    WCHAR text[128];
    std::u16string report;
    if (!given.empty()) {
        report = LoadResString(IDS_ASSOC_FORMATS, instance, text, 128);
        report += u":\n";
        for (const std::u16string& line : given) report += u"    - " + line + u"\n";
        report += u"\n";
        report += LoadResString(IDS_ASSOC_WERE_ASSOCIATED, instance, text, 128);
        report += u"\n  \"" + std::u16string(ViewerName(viewer)) + u"\"";
    }
    if (!refused.empty()) {
        if (!report.empty()) report += u"\n\n";
        report += Joined(refused) + u" ";
        report += LoadResString(IDS_ASSOC_NOT_ASSOCIATED, instance, text, 128);
    }
    return report;
}
