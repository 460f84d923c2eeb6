// FolderTreePopup: the drop-down of the file chooser's folder display - a
// tree of the device's folders (buttons and lines), opened at the current
// folder. A branch's subfolders are read when it is expanded, and whether a
// folder has any (its expand button) when it is first shown, so a link
// cycle or a huge tree costs one folder read per step the user takes.
// Choosing a folder sends MSG_CHANGE_FOLDER with its path to the chooser and
// closes; Cancel or a tap outside the popup closes it without a choice.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <deque>
#include <string>

#include "app/dialog_base.h"

// wParam: the folder (LPCWSTR) the chooser changes to.
constexpr UINT MSG_CHANGE_FOLDER = 32757;
// The popup's template (an empty dialog; the tree is made in code).
constexpr int kFolderTreeTemplateId = 601;

// Whether `folder` holds at least one folder the tree can show (a path to
// it fits in 259 characters).
bool HasSubfolders(const std::u16string& folder);

class FolderTreePopup : public DialogBase {
public:
    // `area`: where the popup goes, in screen coordinates.
    FolderTreePopup(HWND chooser, HINSTANCE instance, const std::u16string& currentFolder, const RECT& area);

    LRESULT OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnNotify(int id, NMHDR* header, LRESULT* result) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    HWND Tree() const { return tree_; }
    // The folder of a tree item.
    const std::u16string* PathOf(HTREEITEM item) const;

private:
    HTREEITEM AddFolder(HTREEITEM parent, const std::u16string& path, LPCWSTR label);
    void FillChildren(HTREEITEM item);
    HTREEITEM FindChild(HTREEITEM parent, const std::u16string& path);
    void Choose(HTREEITEM item);
    static LRESULT CALLBACK TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    std::u16string current_;
    RECT area_;
    HWND tree_ = nullptr;
    WNDPROC treeProc_ = nullptr;
    std::deque<std::u16string> paths_;  // a tree item's lParam indexes this
    std::deque<int> hasChildren_;       // -1 not known yet, 0, 1
    WCHAR myDevice_[64] = {};
};
