// The system's own file chooser: dialog 600 with the name field, the folder
// display and its tree popup, Up, the list-mode button and the list of the
// current folder, used for every open and save (FileDialogRequest in
// app/file_chooser.h). The list mode is kept in the registry value
// "ListViewMode" under Software\Halvoric\OpenDlg (1 plain list, 0 details);
// everything else starts afresh with each call.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/dialog_base.h"
#include "app/file_chooser.h"
#include "tools/file_list.h"

// 1 when the user confirmed (request->path holds the choice), 0 on cancel.
int ShowFileDialog(FileDialogRequest* request);

// The list mode as stored (1 plain list, 0 details); 1 when the value is
// missing or not a 4-byte number of 0 or 1.
DWORD LoadListViewMode();
void SaveListViewMode(DWORD mode);

// `text` shortened in the middle to fit: its first component, "..." and
// the longest tail that `fits` accepts (found by halving) when that tail
// holds the whole last component; else "..." and the longest tail.
std::u16string ShortenInMiddle(const std::u16string& text, bool (*fits)(const std::u16string&, void*), void* context);

// What the user sees of a request, for tests and the window alike.
constexpr const WCHAR* kOverwriteQuestion = u"Selected path exist. Do you wish to rewrite this file?";

class FileDialog : public DialogBase {
public:
    explicit FileDialog(FileDialogRequest* request);

    LRESULT OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(int id, NMHDR* header, LRESULT* result) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    // What tests look at.
    const std::u16string& Folder() const { return folder_; }
    FileList& List() { return list_; }
    DWORD ListMode() const { return listMode_; }

private:
    void Layout();
    void SetListMode(DWORD mode);
    void Refill();
    void ChangeFolder(const std::u16string& folder);
    void GoUp();
    void Activate(int item);
    void HoldOn(int item);
    void Confirm();
    void Refuse(UINT messageId);
    void SetName(const std::u16string& text);
    void ClearNameUnlessPreset();
    void UpdateConfirmButton();
    void DrawFolderDisplay(const DRAWITEMSTRUCT* item);
    void ShowFolderTree();

    FileDialogRequest* request_;
    FileList list_;
    std::u16string folder_;
    bool namePreset_ = false;
    DWORD listMode_ = 1;
    HWND listView_ = nullptr;
    HBITMAP modeBitmaps_[2] = {nullptr, nullptr};  // details, plain list
    WCHAR myDevice_[64] = {};
};
