// RecentFiles: the four most recently opened paths, kept in the registry
// ("FCount" and "File0".."File3" below the key "RecentFiles" of a key path)
// and shown as the items of a popup menu with consecutive command ids. The
// registry is read when attached and again before every change; the popup is
// rebuilt after each change. Main thread only.
#pragma once

#include <windows.h>

class RecentFiles {
public:
    static constexpr int kMaxEntries = 4;
    static constexpr UINT kNoRecentFileCommand = 24;  // the greyed placeholder item
    static constexpr UINT kNoRecentFileString = 485;  // "No recent file"

    RecentFiles() = default;
    RecentFiles(const RecentFiles&) = delete;
    RecentFiles& operator=(const RecentFiles&) = delete;

    // Takes the popup at `position` of `menu` (the menu itself when that item
    // has no popup), reads the list stored below `keyPath` and fills the popup;
    // entry n gets command `baseCommand` + n. False when there is no menu.
    bool Attach(HMENU menu, int position, LPCWSTR keyPath, UINT baseCommand);
    // Puts `path` first, drops an older copy of it, stores the list and
    // rebuilds the popup.
    void Add(LPCWSTR path);
    // The path of the entry behind `command` without its tab mark;
    // `*marked` tells whether the entry carried one. False (and an empty
    // buffer) for a command that is not one of the entries.
    bool Get(UINT command, LPWSTR path, int capacity, bool* marked = nullptr) const;

    int Count() const { return count_; }
    // Entry `index` as stored (with its mark), or null.
    LPCWSTR Entry(int index) const {
        return index >= 0 && index < count_ ? entries_[index] : nullptr;
    }
    HMENU Popup() const { return popup_; }

    // The menu text of entry `index`: "&1 " (digit raised by the index) and
    // the path cut down to its last component, with "..." when cut.
    static void MenuText(int index, LPCWSTR path, LPWSTR out, int capacity);

private:
    void Read();
    void RebuildMenu();

    HMENU popup_ = nullptr;
    UINT baseCommand_ = 0;
    WCHAR keyPath_[MAX_PATH] = {};
    WCHAR entries_[kMaxEntries][MAX_PATH] = {};
    int count_ = 0;
};
