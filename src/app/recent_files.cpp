// The recent-files list: registry form, the order rules of Add and the menu.
#include "app/recent_files.h"

#include <string>
#include <vector>

#include "app/settings_store.h"
#include "app/shell_helpers.h"

namespace {

constexpr WCHAR kSubkey[] = u"RecentFiles";
constexpr WCHAR kCountName[] = u"FCount";

using Path = std::u16string;

// Letters and digits end the search for the last component; anything else at
// the end (a closing "\", a tab mark, punctuation) is skipped first.
bool IsLetterOrDigit(WCHAR c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

// The text without its trailing tab mark.
Path Unmarked(const Path& text) {
    if (!text.empty() && text.back() == u'\t') return text.substr(0, text.size() - 1);
    return text;
}

void ValueName(LPWSTR out, int number) {
    wsprintfW(out, u"File%d", number);
}

}  // namespace

bool RecentFiles::Attach(HMENU menu, int position, LPCWSTR keyPath, UINT baseCommand) {
    lstrcpynW(keyPath_, keyPath ? keyPath : u"", MAX_PATH);
    baseCommand_ = baseCommand;
    popup_ = nullptr;
    if (menu) {
        HMENU sub = GetSubMenu(menu, position);
        popup_ = sub ? sub : menu;
    }
    Read();
    RebuildMenu();
    return popup_ != nullptr;
}

void RecentFiles::Read() {
    count_ = 0;
    SettingsStore store(keyPath_);
    if (!store.Open(kSubkey, false)) return;
    DWORD stored = 0;
    if (!store.ReadNumber(kCountName, &stored)) return;
    int count = stored > kMaxEntries ? kMaxEntries : static_cast<int>(stored);
    for (int n = 0; n < count; ++n) {
        WCHAR name[16];
        ValueName(name, n);
        WCHAR text[MAX_PATH];
        if (!store.ReadString(name, text, MAX_PATH) || !text[0]) continue;
        // Entries written by old versions start with their menu prefix "&1 ".
        LPCWSTR start = text;
        if (text[0] == u'&') start = lstrlenW(text) > 3 ? text + 3 : u"";
        if (!start[0]) continue;
        lstrcpynW(entries_[count_++], start, MAX_PATH);
    }
}

void RecentFiles::Add(LPCWSTR path) {
    if (!path || !path[0]) return;
    Read();
    std::vector<Path> list;
    list.emplace_back(path);
    for (int i = 0; i < count_; ++i) list.emplace_back(entries_[i]);
    // One older copy goes: the last one, found searching from the end.
    const Path key = Unmarked(list.front());
    for (size_t i = list.size() - 1; i > 0; --i) {
        if (lstrcmpiW(Unmarked(list[i]).c_str(), key.c_str()) == 0) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    // "FCount" holds the whole length; only the first four entries are kept.
    {
        SettingsStore store(keyPath_);
        if (store.Open(kSubkey, true)) {
            store.WriteNumber(kCountName, static_cast<DWORD>(list.size()));
            for (int n = 0; n < kMaxEntries && n < static_cast<int>(list.size()); ++n) {
                WCHAR name[16];
                ValueName(name, n);
                store.WriteString(name, list[n].c_str());
            }
        }
    }
    count_ = 0;
    for (const Path& entry : list) {
        if (count_ == kMaxEntries) break;
        lstrcpynW(entries_[count_++], entry.c_str(), MAX_PATH);
    }
    RebuildMenu();
}

bool RecentFiles::Get(UINT command, LPWSTR path, int capacity, bool* marked) const {
    if (marked) *marked = false;
    if (path && capacity > 0) path[0] = 0;
    if (command < baseCommand_ || command - baseCommand_ >= static_cast<UINT>(count_)) return false;
    Path entry = entries_[command - baseCommand_];
    bool hasMark = !entry.empty() && entry.back() == u'\t';
    if (marked) *marked = hasMark;
    if (path && capacity > 0) lstrcpynW(path, Unmarked(entry).c_str(), capacity);
    return true;
}

void RecentFiles::MenuText(int index, LPCWSTR path, LPWSTR out, int capacity) {
    if (!out || capacity <= 0) return;
    Path text = u"&1 ";
    text[1] = static_cast<WCHAR>(u'1' + index);
    Path full = path ? path : u"";
    size_t end = full.size();
    while (end > 0 && !IsLetterOrDigit(full[end - 1])) --end;
    size_t slash = full.find_last_of(u'\\', end == 0 ? 0 : end - 1);
    if (end == 0 || slash == Path::npos) slash = 0;
    if (slash > 0) text += u"...";
    text += full.substr(slash);
    lstrcpynW(out, text.c_str(), capacity);
}

void RecentFiles::RebuildMenu() {
    if (!popup_) return;
    for (int i = GetMenuItemCount(popup_) - 1; i >= 0; --i) {
        UINT id = GetMenuItemID(popup_, i);
        if (id == kNoRecentFileCommand || (id >= baseCommand_ && id < baseCommand_ + kMaxEntries))
            DeleteMenu(popup_, static_cast<UINT>(i), MF_BYPOSITION);
    }
    if (count_ == 0) {
        WCHAR text[64];
        LoadResString(kNoRecentFileString, nullptr, text, 64);
        AppendMenuW(popup_, MF_STRING | MF_GRAYED, kNoRecentFileCommand, text);
        return;
    }
    for (int i = 0; i < count_; ++i) {
        WCHAR text[MAX_PATH + 8];
        MenuText(i, entries_[i], text, MAX_PATH + 8);
        AppendMenuW(popup_, MF_STRING, baseCommand_ + static_cast<UINT>(i), text);
    }
}
