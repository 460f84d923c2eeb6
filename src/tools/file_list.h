// FileList: the entries of one folder as the file chooser lists them, with
// the texts of their columns and their order. Filling enumerates the folder
// once (a folder that cannot be read gives an empty list); type names and
// icons are looked up when first asked for (a sort by type asks for all).
// Sizes are 64-bit throughout, in the text and in the sort.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The columns of the details view, in order.
enum FileColumn { kColumnName = 0, kColumnSize = 1, kColumnDate = 2, kColumnType = 3, kColumnCount = 4 };
constexpr int kNoSortColumn = -1;

struct FileEntry {
    std::u16string name;
    DWORD attributes = 0;
    uint64_t size = 0;
    FILETIME lastWrite = {0, 0};
    bool link = false;  // a ".lnk" file, shown with the link overlay
    int order = 0;      // position in the enumeration
    bool typeKnown = false;
    std::u16string typeName;
    int icon = 0;

    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// "1K" under 1024 bytes, else the whole kilobytes: "5242880K" for 5 GiB.
std::u16string FileSizeText(uint64_t size);
// The last-write time in local time as the user locale's short date; when
// the locale cannot format it, "dd/mm/yy" with a two-digit year.
std::u16string FileDateText(const FILETIME& lastWrite);
// The fallback on its own: day, month and the year's last two digits.
std::u16string FallbackDateText(const SYSTEMTIME& date);

class FileList {
public:
    // Enumerates `folder` under the chooser's flags (0x8 folders only, 0x40
    // hidden and system files too) and filter (null: every file). Keeps the
    // sort column and direction.
    void Fill(const std::u16string& folder, DWORD flags, LPCWSTR extensions);
    void Clear() { entries_.clear(); }

    // A tap on column `column`'s header: ascending, or the other way round
    // when it is the sort column already. kNoSortColumn restores the
    // enumeration order.
    void SortBy(int column);
    int SortColumn() const { return sortColumn_; }
    bool Descending() const { return descending_; }

    int Count() const { return static_cast<int>(entries_.size()); }
    const FileEntry* Entry(int index) const {
        return index >= 0 && index < Count() ? &entries_[static_cast<size_t>(index)] : nullptr;
    }
    // The text of a column and the icon, looking the type up when needed.
    std::u16string Text(int index, int column);
    int Icon(int index);
    const std::u16string& Folder() const { return folder_; }

private:
    void EnsureType(FileEntry& entry);
    void Sort();

    std::u16string folder_;
    std::vector<FileEntry> entries_;
    int sortColumn_ = kNoSortColumn;
    bool descending_ = false;
};
