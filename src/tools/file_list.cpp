// The chooser's list of one folder.
#include "tools/file_list.h"

#include <winnls.h>

#include <algorithm>

#include "app/file_chooser.h"
#include "platform/wstr.h"
#include "tools/file_choice.h"
#include "tools/file_type_cache.h"

namespace {

// Files the user never opens from here unless asked to show everything.
const char16_t* const kSystemExtensions[] = {u"dll", u"cpl", u"drv"};

bool IsSystemFile(const std::u16string& extension) {
    for (const char16_t* e : kSystemExtensions) {
        if (platform::EqualsIgnoreCase(extension, e)) return true;
    }
    return false;
}

int CompareNames(const std::u16string& a, const std::u16string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = platform::FoldCase(a[i]), y = platform::FoldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

uint64_t TimeValue(const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

template <typename T>
int Compare3(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

std::u16string FileSizeText(uint64_t size) {
    const uint64_t kilobytes = size < 1024 ? 1 : size / 1024;
    std::u16string text;
    for (uint64_t v = kilobytes; v; v /= 10) text.insert(text.begin(), char16_t(u'0' + v % 10));
    return text + u"K";
}

std::u16string FallbackDateText(const SYSTEMTIME& date) {
    WCHAR text[32];
    wsprintfW(text, u"%02d/%02d/%02d", int(date.wDay), int(date.wMonth), int(date.wYear % 100));
    return text;
}

std::u16string FileDateText(const FILETIME& lastWrite) {
    FILETIME local;
    if (!FileTimeToLocalFileTime(&lastWrite, &local)) local = lastWrite;
    SYSTEMTIME date = {};
    FileTimeToSystemTime(&local, &date);
    WCHAR text[64];
    if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, 64) > 0) return text;
    return FallbackDateText(date);
}

void FileList::Fill(const std::u16string& folder, DWORD flags, LPCWSTR extensions) {
    entries_.clear();
    folder_ = folder;
    std::u16string pattern = folder;
    if (pattern.empty() || pattern.back() != u'\\') pattern += u'\\';
    pattern += u"*.*";
    WIN32_FIND_DATAW found;
    HANDLE find = pattern.size() <= kMaxPathChars ? FindFirstFileW(pattern.c_str(), &found) : INVALID_HANDLE_VALUE;
    if (find == INVALID_HANDLE_VALUE) return;  // unreadable or gone: an empty list
    const bool showAll = (flags & kChooseShowAll) != 0;
    const bool foldersOnly = (flags & kChooseFolder) != 0;
    do {
        const std::u16string name = found.cFileName;
        if (name.empty() || name == u"." || name == u"..") continue;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const std::u16string extension = isFolder ? std::u16string() : ExtensionOfName(name);
        if (!showAll && ((found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) || IsSystemFile(extension))) continue;
        if (!isFolder) {
            if (foldersOnly) continue;
            if (extensions && !ExtensionListed(extensions, extension)) continue;
        }
        FileEntry entry;
        entry.name = name;
        entry.attributes = found.dwFileAttributes;
        entry.size = (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.lastWrite = found.ftLastWriteTime;
        entry.link = !isFolder && platform::EqualsIgnoreCase(extension, u"lnk");
        entry.order = static_cast<int>(entries_.size());
        entries_.push_back(std::move(entry));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    Sort();
}

void FileList::SortBy(int column) {
    if (column < 0 || column >= kColumnCount) {
        sortColumn_ = kNoSortColumn;
        descending_ = false;
    } else if (column == sortColumn_) {
        descending_ = !descending_;
    } else {
        sortColumn_ = column;
        descending_ = false;
    }
    Sort();
}

void FileList::Sort() {
    if (sortColumn_ == kColumnType) {
        for (FileEntry& e : entries_) EnsureType(e);
    }
    const int column = sortColumn_;
    const bool descending = descending_;
    // Folders stay above files whichever way the column runs; equal keys
    // keep the enumeration order.
    std::sort(entries_.begin(), entries_.end(), [column, descending](const FileEntry& a, const FileEntry& b) {
        if (a.IsFolder() != b.IsFolder()) return a.IsFolder();
        int c = 0;
        switch (column) {
        case kColumnName: c = CompareNames(a.name, b.name); break;
        case kColumnSize: c = Compare3(a.size, b.size); break;
        case kColumnDate: c = Compare3(TimeValue(a.lastWrite), TimeValue(b.lastWrite)); break;
        case kColumnType: c = CompareNames(a.typeName, b.typeName); break;
        default: break;
        }
        if (descending) c = -c;
        return c != 0 ? c < 0 : a.order < b.order;
    });
}

void FileList::EnsureType(FileEntry& entry) {
    if (entry.typeKnown) return;
    FileTypeInfo info = LookUpFileType(folder_, entry.name, entry.attributes);
    entry.typeName = std::move(info.typeName);
    entry.icon = info.icon;
    entry.typeKnown = true;
}

std::u16string FileList::Text(int index, int column) {
    if (index < 0 || index >= Count()) return std::u16string();
    FileEntry& entry = entries_[static_cast<size_t>(index)];
    switch (column) {
    case kColumnName: return entry.name;
    case kColumnSize: return entry.IsFolder() ? std::u16string() : FileSizeText(entry.size);
    case kColumnDate: return FileDateText(entry.lastWrite);
    case kColumnType: EnsureType(entry); return entry.typeName;
    default: return std::u16string();
    }
}

int FileList::Icon(int index) {
    if (index < 0 || index >= Count()) return 0;
    FileEntry& entry = entries_[static_cast<size_t>(index)];
    EnsureType(entry);
    return entry.icon;
}
