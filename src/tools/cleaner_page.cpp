// The Cleaner page of the Options sheet.
#include "tools/cleaner_page.h"

#include "res/resource.h"

namespace {

constexpr int kFolderCount = 3;
constexpr WCHAR kAutoRunWarning[] =
    u"WARNING!\rThis option forces program to delete ALL files and ALL subfolders in the selected folders "
    u"WITHOUT confirmation on EACH program exit!";

}  // namespace

LRESULT CleanerPage::OnInitDialog() {
    OptionsPage::OnInitDialog();
    MakeBold(IDC_CLEANER_HEADING);
    filling_ = true;
    for (int i = 0; i < kFolderCount; ++i) {
        ShowCheck(IDC_CLEANER_CHECK1 + i, copy_->cleanerCheck[i]);
        // A device path holds at most 259 characters.
        SendDlgItemMessageW(hwnd_, IDC_CLEANER_FOLDER1 + i, EM_LIMITTEXT, MAX_PATH - 1, 0);
        SetDlgItemTextW(hwnd_, IDC_CLEANER_FOLDER1 + i, copy_->cleanerFolder[i]);
        EnableFolder(i);
    }
    ShowCheck(IDC_CLEANER_AUTO_ON_EXIT, copy_->cleanerAutoOnExit);
    filling_ = false;
    return 1;
}

void CleanerPage::EnableFolder(int index) {
    EnableWindow(GetDlgItem(hwnd_, IDC_CLEANER_FOLDER1 + index), copy_->cleanerCheck[index] ? TRUE : FALSE);
}

bool CleanerPage::OnPageCommand(int id, int code) {
    if (id >= IDC_CLEANER_CHECK1 && id <= IDC_CLEANER_CHECK3) {
        if (code == BN_CLICKED) {
            copy_->cleanerCheck[id - IDC_CLEANER_CHECK1] = Checked(id);
            EnableFolder(id - IDC_CLEANER_CHECK1);
        }
        return true;
    }
    if (id >= IDC_CLEANER_FOLDER1 && id <= IDC_CLEANER_FOLDER3) {
        if (code == EN_CHANGE && !filling_) {
            WCHAR* folder = copy_->cleanerFolder[id - IDC_CLEANER_FOLDER1];
            GetDlgItemTextW(hwnd_, id, folder, MAX_PATH);
        }
        return true;
    }
    if (id == IDC_CLEANER_AUTO_ON_EXIT) {
        if (code == BN_CLICKED) {
            copy_->cleanerAutoOnExit = Checked(id);
            if (copy_->cleanerAutoOnExit) {
                MessageBoxW(hwnd_, kAutoRunWarning, u"WARNING!", MB_OK | MB_ICONEXCLAMATION);
            }
        }
        return true;
    }
    return false;
}

void AddCleanerPage(OptionsSheet* sheet) {
    sheet->AddPage(std::make_unique<CleanerPage>(sheet->Copy()));
}
