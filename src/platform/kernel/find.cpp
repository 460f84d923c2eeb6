// FindFirstFileW/FindNextFileW/FindClose. The search reads the whole folder
// when it starts, keeps the entries whose names match the pattern (with the
// device's wildcard rules, ignoring case) sorted by name, and hands them out
// one per call. Mount points appear in their folders like ordinary folders.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <vector>

#include "device_path.h"
#include "file_attributes.h"
#include "file_time.h"
#include "kernel_object.h"
#include "platform/wstr.h"

namespace platform {
namespace {

struct FindObject : KernelObject {
    FindObject() : KernelObject(Kind::Find) {}
    std::vector<WIN32_FIND_DATAW> entries;
    size_t next = 0;
    std::mutex lock;
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// '*' matches any run of characters, '?' exactly one; letters match ignoring
// case. Greedy with one backtrack point, so it never takes exponential time.
bool MatchWildcards(std::u16string_view pattern, std::u16string_view name) {
    size_t p = 0, n = 0;
    size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

// The file-name rules on top of plain wildcards: a name without an extension
// matches a pattern ending in ".*" ("*.*" finds every name, "readme.*" finds
// "readme"), and a pattern ending in "." finds only names without one.
bool MatchesFindPattern(std::u16string_view pattern, std::u16string_view name) {
    if (MatchWildcards(pattern, name)) return true;
    bool nameHasDot = name.find(u'.') != std::u16string_view::npos;
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*") {
        return MatchWildcards(pattern.substr(0, pattern.size() - 2), name);
    }
    if (pattern.size() >= 2 && pattern.back() == u'.' && !nameHasDot) {
        return MatchWildcards(pattern.substr(0, pattern.size() - 1), name);
    }
    return false;
}

WIN32_FIND_DATAW MakeEntry(std::u16string_view name, const FileInfo& info) {
    WIN32_FIND_DATAW data{};
    data.dwFileAttributes = info.attributes;
    data.ftCreationTime = info.creation;
    data.ftLastAccessTime = info.lastAccess;
    data.ftLastWriteTime = info.lastWrite;
    data.nFileSizeHigh = static_cast<DWORD>(info.size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(info.size);
    std::copy(name.begin(), name.end(), data.cFileName);  // callers keep names below MAX_PATH
    data.cFileName[name.size()] = 0;
    return data;
}

// A link is listed as itself (a reparse point), a dangling one too, so it
// can be deleted without its target being reached.
FileInfo QueryEntry(const std::string& host) {
    FileInfo info;
    if (!QueryHostEntry(host, &info)) info = FileInfo{};
    return info;
}

bool NameLess(const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
    std::u16string_view x(a.cFileName), y(b.cFileName);
    size_t common = std::min(x.size(), y.size());
    for (size_t i = 0; i < common; ++i) {
        char16_t fx = FoldCase(x[i]), fy = FoldCase(y[i]);
        if (fx != fy) return fx < fy;
    }
    if (x.size() != y.size()) return x.size() < y.size();
    return x < y;  // names differing only in case: a stable order all the same
}

std::shared_ptr<FindObject> LookupFind(HANDLE find) {
    return LookupHandleAs<FindObject>(find, KernelObject::Kind::Find);
}

}  // namespace
}  // namespace platform

using namespace platform;

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    if (!fileName || !findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    size_t length = 0;
    while (length < MAX_PATH && fileName[length]) ++length;
    std::u16string_view full(fileName, length);
    if (length >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return INVALID_HANDLE_VALUE;
    }
    if (full.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    size_t split = full.size();
    while (split > 0 && !IsSeparator(full[split - 1])) --split;
    std::u16string_view folder = full.substr(0, split);
    std::u16string_view pattern = full.substr(split);
    // No name to look for, or only "." and "..", which the device never lists.
    if (pattern.find_first_not_of(u'.') == std::u16string_view::npos) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    for (char16_t c : pattern) {
        if (c < 0x20 || c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'|') {
            SetLastError(ERROR_INVALID_NAME);
            return INVALID_HANDLE_VALUE;
        }
    }
    ResolvedPath dir;
    if (!ResolveDevicePath(folder, &dir)) return INVALID_HANDLE_VALUE;
    std::vector<MountEntry> mounts = MountsInFolder(dir);

    auto object = std::make_shared<FindObject>();
    if (DIR* stream = opendir(dir.host.c_str())) {
        while (const dirent* entry = readdir(stream)) {
            std::string hostName = entry->d_name;
            if (hostName == "." || hostName == "..") continue;
            // A host name that is not UTF-8, or too long for the device,
            // could not be opened again by the name we would report.
            bool invalid = false;
            std::u16string name = Utf8ToUtf16(hostName, &invalid);
            if (invalid) continue;
            // The programs of the program's folder carry ".exe" on the device.
            if (dir.mount == DeviceMount::ProgramFolder && IsHostExecutable(dir.host, hostName)) {
                name += kExecutableExtension;
            }
            if (name.size() >= MAX_PATH || !MatchesFindPattern(pattern, name)) continue;
            // A mount point hides the folder's own entry of that name.
            bool shadowed = std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) {
                return EqualsIgnoreCase(m.name, name);
            });
            if (shadowed) continue;
            std::string host = dir.host.back() == '/' ? dir.host + hostName : dir.host + "/" + hostName;
            object->entries.push_back(MakeEntry(name, QueryEntry(host)));
        }
        closedir(stream);
    } else if (dir.mount != DeviceMount::ProgramFiles) {
        // "\Program Files" exists on the device even when the root holds no
        // such folder; anything else missing is a bad path.
        DWORD error = Win32ErrorFromErrno(errno, dir.host);
        SetLastError(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
        return INVALID_HANDLE_VALUE;
    }
    for (const MountEntry& mount : mounts) {
        if (MatchesFindPattern(pattern, mount.name)) {
            object->entries.push_back(MakeEntry(mount.name, QueryMountPoint(mount.mount, mount.host)));
        }
    }
    if (object->entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::sort(object->entries.begin(), object->entries.end(), NameLess);
    *findData = object->entries[0];
    object->next = 1;
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::move(object));
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData) {
    std::shared_ptr<FindObject> object = LookupFind(find);
    if (!object) return FALSE;
    if (!findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(object->lock);
    if (object->next >= object->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findData = object->entries[object->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    if (!LookupFind(find)) return FALSE;
    RemoveHandle(find);
    return TRUE;
}
