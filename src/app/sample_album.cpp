// Copying the sample album into "\My Documents" on the first start.
#include "app/sample_album.h"

#include <vector>

#include "app/settings_store.h"

namespace {

constexpr LPCWSTR kOptionsKey = u"Options";

struct SourceFile {
    WCHAR name[MAX_PATH];
    bool copied;  // by this call, so removed again when a later copy fails
};

bool AlreadyInstalled() {
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    DWORD installed = 0;
    return store.Open(kOptionsKey, false) && store.ReadNumber(kSampleAlbumFlag, &installed) &&
           installed != 0;
}

bool MarkInstalled() {
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    return store.Open(kOptionsKey, true) && store.WriteNumber(kSampleAlbumFlag, 1);
}

// "folder\name" into `out` (MAX_PATH characters); false when it does not fit.
bool JoinPath(LPWSTR out, LPCWSTR folder, LPCWSTR name) {
    const int folderLength = lstrlenW(folder);
    const int nameLength = lstrlenW(name);
    if (folderLength + 1 + nameLength >= MAX_PATH) return false;
    lstrcpyW(out, folder);
    out[folderLength] = u'\\';
    lstrcpyW(out + folderLength + 1, name);
    return true;
}

// The plain files of `folder`; an album has no subfolders. False when there
// are none or the folder cannot be read.
bool ListFiles(LPCWSTR folder, std::vector<SourceFile>* files) {
    WCHAR pattern[MAX_PATH];
    if (!JoinPath(pattern, folder, u"*.*")) return false;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        SourceFile file{};
        lstrcpynW(file.name, found.cFileName, MAX_PATH);
        files->push_back(file);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return !files->empty();
}

bool IsFolder(LPCWSTR path) {
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates `folder` unless it is there; *created tells whether this call made it.
bool MakeFolder(LPCWSTR folder, bool* created) {
    *created = CreateDirectoryW(folder, nullptr) != FALSE;
    return *created || IsFolder(folder);
}

}  // namespace

bool InstallSampleAlbumFrom(LPCWSTR sourceFolder, LPWSTR openPath, size_t capacity) {
    if (openPath && capacity > 0) openPath[0] = 0;
    const size_t patternLength = static_cast<size_t>(lstrlenW(kSampleAlbumPattern));
    if (!openPath || !sourceFolder || capacity <= patternLength) return false;
    if (AlreadyInstalled()) return false;

    std::vector<SourceFile> files;
    if (!ListFiles(sourceFolder, &files)) return false;
    bool createdDocuments = false;
    bool createdAlbum = false;
    if (!MakeFolder(u"\\My Documents", &createdDocuments) ||
        !MakeFolder(kSampleAlbumFolder, &createdAlbum)) {
        return false;
    }

    bool ok = true;
    for (SourceFile& file : files) {
        WCHAR from[MAX_PATH];
        WCHAR to[MAX_PATH];
        if (!JoinPath(from, sourceFolder, file.name) || !JoinPath(to, kSampleAlbumFolder, file.name)) {
            ok = false;
            break;
        }
        // The layer's copy appears under its name only when complete. A name
        // that is taken (a picture of the user's, a folder) stays untouched.
        if (CopyFileW(from, to, TRUE)) {
            file.copied = true;
        } else if (GetLastError() != ERROR_FILE_EXISTS) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        // Back to how the folder was, so that the next start finds no copies
        // of ours that it would mistake for the user's files.
        for (const SourceFile& file : files) {
            WCHAR to[MAX_PATH];
            if (file.copied && JoinPath(to, kSampleAlbumFolder, file.name)) DeleteFileW(to);
        }
        if (createdAlbum) RemoveDirectoryW(kSampleAlbumFolder);
        return false;
    }

    // The copy is complete: the album opens now even if the flag cannot be
    // stored (a later start would then find every file present and keep it).
    MarkInstalled();
    lstrcpynW(openPath, kSampleAlbumPattern, static_cast<int>(patternLength + 1));
    return true;
}

bool InstallSampleAlbum(LPWSTR openPath, size_t capacity) {
    return InstallSampleAlbumFrom(kSampleAlbumSource, openPath, capacity);
}
