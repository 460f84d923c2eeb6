// ImageAlbum: loading, scanning, sorting, stepping and the album file on disk.
#include "album/image_album.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "album/album_file.h"
#include "app/file_chooser.h"
#include "image/file_type_table.h"
#include "image/image_library.h"
#include "platform/wstr.h"
#include "res/resource.h"

namespace {

size_t Length(LPCWSTR text) {
    size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

// Copies into a MAX_PATH buffer; false (buffer untouched) when too long.
bool CopyPath(WCHAR* out, std::u16string_view text) {
    if (text.size() >= MAX_PATH) return false;
    std::memcpy(out, text.data(), text.size() * sizeof(WCHAR));
    out[text.size()] = 0;
    return true;
}

LPCWSTR NameOf(const ImageEntry* entry) {
    return entry->Name();
}

bool IsKnownImageFile(LPCWSTR name) {
    if (const ImageLibrary* library = TheImageLibrary()) {
        return library->FindProvider(name) != nullptr;
    }
    // Before start-up has built the library (tools, tests) the built-in
    // table is the whole list.
    return FindFormatRow(FileTypeTable, PathExtension(name)) >= 0;
}

bool ReadWholeFile(LPCWSTR path, std::vector<BYTE>* out, LoadError* error) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = kLoadCannotOpen;
        return false;
    }
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    bool ok = high == 0 && low != INVALID_FILE_SIZE && low <= kMaxAlbumFileBytes;
    *error = ok ? kLoadOk : kLoadCorrupt;
    if (ok) {
        out->resize(low);
        DWORD done = 0;
        if (low != 0 && (!ReadFile(file, out->data(), low, &done, nullptr) || done != low)) {
            // The file shrank under us or cannot be read: what is there is damaged.
            *error = kLoadCorrupt;
            ok = false;
        }
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

ImageAlbum::ImageAlbum() = default;

ImageAlbum::~ImageAlbum() {
    Clear();
    std::free(items_);
}

void ImageAlbum::Clear() {
    if (!borrowed) {
        for (int i = 0; i < count_; ++i) delete items_[i];
    }
    if (items_ != nullptr) std::memset(items_, 0, sizeof(ImageEntry*) * size_t(capacity_));
    count_ = 0;
}

bool ImageAlbum::Reserve(int n) {
    if (n <= capacity_ - count_) return true;
    // Grow in steps of twenty slots beyond what is asked.
    int64_t grown = int64_t(capacity_) + (n / 20) * 20 + 20;
    void* items = grown > 0x1000000 ? nullptr
                                     : std::realloc(items_, size_t(grown) * sizeof(ImageEntry*));
    if (items == nullptr) {
        Clear();
        return false;
    }
    items_ = static_cast<ImageEntry**>(items);
    std::memset(items_ + capacity_, 0, size_t(grown - capacity_) * sizeof(ImageEntry*));
    capacity_ = int(grown);
    return true;
}

bool ImageAlbum::AppendEntry(ImageEntry* entry) {
    if (!Reserve(1)) {
        delete entry;
        return false;
    }
    items_[count_++] = entry;
    return true;
}

ImageEntry* ImageAlbum::Append(LPCWSTR path) {
    ImageEntry* entry = new (std::nothrow) ImageEntry;
    if (entry == nullptr) return nullptr;
    if (!entry->SetPath(path)) {
        delete entry;
        return nullptr;
    }
    return AppendEntry(entry) ? entry : nullptr;
}

void ImageAlbum::Remove(int index) {
    if (index < 0 || index >= count_) return;
    if (!borrowed) delete items_[index];
    std::memmove(items_ + index, items_ + index + 1, sizeof(ImageEntry*) * size_t(count_ - index - 1));
    items_[--count_] = nullptr;
}

int ImageAlbum::IndexOf(const ImageEntry* entry) const {
    for (int i = count_ - 1; i >= 0; --i) {
        if (items_[i] == entry) return i;
    }
    return -1;
}

ImageEntry* ImageAlbum::Current() const {
    return Entry(current);
}

bool ImageAlbum::JoinToBase(LPCWSTR name, WCHAR* out, size_t outChars) const {
    std::u16string joined;
    if (name[0] != u'\\') {
        joined = baseFolder;
        if (joined.empty() || joined.back() != u'\\') joined += u'\\';
    }
    joined += name;
    if (joined.size() >= outChars) return false;
    std::memcpy(out, joined.c_str(), (joined.size() + 1) * sizeof(WCHAR));
    return true;
}

bool ImageAlbum::FullPath(int index, bool preferSourceUrl, WCHAR* out, size_t outChars) const {
    const ImageEntry* entry = Entry(index == -1 ? current : index);
    if (entry == nullptr || !entry->HasPath()) return false;
    if (preferSourceUrl && !entry->sourceUrl.empty()) {
        return JoinToBase(entry->sourceUrl.c_str(), out, outChars);
    }
    return JoinToBase(entry->path.c_str(), out, outChars);
}

namespace {

// What Load opens for a path: a folder becomes the pattern "folder\*"; a
// name with wildcards is a pattern; anything else must be an existing file.
LoadError ResolveOpenPath(LPCWSTR path, std::u16string* resolved, bool* pattern) {
    resolved->assign(path != nullptr ? path : u"");
    *pattern = false;
    DWORD attributes = GetFileAttributesW(resolved->c_str());
    if (!resolved->empty() && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (resolved->back() != u'\\') *resolved += u'\\';
        *resolved += u'*';
        *pattern = true;
    } else {
        size_t slash = resolved->rfind(u'\\');
        if (slash == std::u16string::npos) return kLoadPathNotFound;
        *pattern = resolved->find_first_of(u"*?", slash + 1) != std::u16string::npos;
        if (!*pattern && attributes == INVALID_FILE_ATTRIBUTES) return kLoadPathNotFound;
    }
    if (resolved->size() >= MAX_PATH) return kLoadPathNotFound;
    return kLoadOk;
}

bool IsAlbumFileName(const std::u16string& resolved, bool pattern) {
    LPCWSTR extension = PathExtension(resolved.c_str() + resolved.rfind(u'\\') + 1);
    return !pattern && extension != nullptr && platform::EqualsIgnoreCase(extension, u"MAB");
}

}  // namespace

LoadError ImageAlbum::Probe(LPCWSTR path) {
    std::u16string resolved;
    bool pattern = false;
    LoadError error = ResolveOpenPath(path, &resolved, &pattern);
    if (error != kLoadOk || !IsAlbumFileName(resolved, pattern)) return error;
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(resolved.c_str(), &bytes, &error)) return error;
    AlbumFileContents contents;
    return ParseAlbumFile(bytes.data(), bytes.size(), &contents);
}

int ImageAlbum::Load(LPCWSTR path, bool add, bool recurse) {
    std::u16string resolved;
    bool pattern = false;
    const LoadError resolveError = ResolveOpenPath(path, &resolved, &pattern);
    bool replace = count_ == 0 || !add;
    if (replace) {
        Clear();
        baseFolder[0] = 0;
        current = -1;
    }
    // Nothing to add: the album stays as it was.
    if (resolveError != kLoadOk) return -int(resolveError);
    if (!replace) current = count_;
    size_t slash = resolved.rfind(u'\\');
    std::u16string folder = resolved.substr(0, slash);
    std::u16string name = resolved.substr(slash + 1);

    if (replace) {
        flags = 0;
        CopyPath(baseFolder, folder);
    }

    if (IsAlbumFileName(resolved, pattern)) {
        int first = replace ? 0 : count_;
        LoadError error = replace ? ReadAlbumFile(resolved.c_str(), false)
                                  : ReadAlbumFile(resolved.c_str(), true);
        current = first;
        if (error != kLoadOk) return -int(error);
        return count_;
    }

    if (replace) albumFile[0] = 0;
    if (pattern) {
        Scan(resolved.c_str(), recurse);
    } else if (replace) {
        // Opening one file opens its folder, with that file current.
        Scan((folder + u"\\*").c_str(), false);
    } else {
        Scan(resolved.c_str(), false);
    }
    const ImageEntry* wasCurrent = Current();
    Move(kSortByName, 0);
    if (!pattern) {
        for (int i = count_ - 1; i >= 0; --i) {
            if (platform::EqualsIgnoreCase(items_[i]->Name(), name)) {
                current = i;
                break;
            }
        }
    } else if (replace) {
        current = 0;
    } else {
        // Added entries are sorted among the old ones; keep the one that was
        // first added current when it is still there.
        int index = IndexOf(wasCurrent);
        if (index >= 0) current = index;
    }
    return count_;
}

namespace {

std::u16string Folded(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) c = platform::FoldCase(c);
    return out;
}

}  // namespace

void ImageAlbum::Scan(const WCHAR* pattern, bool recurse) {
    std::u16string text(pattern);
    size_t slash = text.rfind(u'\\');
    if (slash == std::u16string::npos) return;
    std::u16string folder = text.substr(0, slash);
    std::u16string mask = text.substr(slash + 1);
    bool inBase = platform::EqualsIgnoreCase(folder, baseFolder);

    // The folder's sounds, listed once: a lookup per image of a name that
    // is usually missing would read the whole folder each time.
    std::set<std::u16string> sounds;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + u"\\*.wav").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) sounds.insert(Folded(found.cFileName));
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    find = FindFirstFileW(pattern, &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] == u'.') continue;  // hidden by convention
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (!IsKnownImageFile(found.cFileName)) continue;
            std::u16string entryPath = inBase ? std::u16string(found.cFileName)
                                              : folder + u"\\" + found.cFileName;
            if (entryPath.size() >= MAX_PATH) continue;
            ImageEntry* entry = Append(entryPath.c_str());
            if (entry == nullptr) break;
            entry->block.fileSize = found.nFileSizeLow;
            entry->block.fileTime = found.ftLastWriteTime;
            entry->block.flags = kDisplayUninitialised;
            if (!entry->soundPath.empty()) continue;
            // A recorded sound lies next to its image with the extension "wav".
            std::u16string sound = entryPath;
            size_t dot = sound.rfind(u'.');
            size_t lastSlash = sound.rfind(u'\\');
            if (dot != std::u16string::npos &&
                (lastSlash == std::u16string::npos || dot > lastSlash)) {
                sound.resize(dot + 1);
            } else {
                sound += u'.';
            }
            sound += u"wav";
            const size_t nameStart = sound.rfind(u'\\') == std::u16string::npos ? 0 : sound.rfind(u'\\') + 1;
            if (sound.size() < MAX_PATH && sounds.count(Folded(sound.substr(nameStart)))) {
                flags = (flags & ~DWORD(kSoundModeMask)) | kSoundPerImage;
                entry->SetSoundPath(sound.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (!recurse) return;
    // Sub-folders are walked whatever the mask, so "\Scans\*.dcm" also finds
    // "\Scans\Series 1\*.dcm".
    find = FindFirstFileW((folder + u"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (found.cFileName[0] == u'.') continue;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        // A folder link is not walked: it may lead anywhere on the storage
        // card, or back up into the folder being walked.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        std::u16string sub = folder + u"\\" + found.cFileName + u"\\" + mask;
        if (sub.size() < MAX_PATH) Scan(sub.c_str(), true);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void ImageAlbum::Move(int operation, int index) {
    const ImageEntry* wasCurrent = Current();
    switch (operation) {
    case kSortByName:
        std::sort(items_, items_ + count_, [](const ImageEntry* a, const ImageEntry* b) {
            return lstrcmpiW(NameOf(a), NameOf(b)) < 0;
        });
        break;
    case kSortByTime:
        std::sort(items_, items_ + count_, [](const ImageEntry* a, const ImageEntry* b) {
            return CompareFileTime(&a->block.fileTime, &b->block.fileTime) < 0;
        });
        break;
    case kSortBySize:
        std::sort(items_, items_ + count_, [](const ImageEntry* a, const ImageEntry* b) {
            return a->block.fileSize < b->block.fileSize;
        });
        break;
    case kMoveLeft:
        if (index > 0 && index < count_) {
            std::swap(items_[index], items_[index - 1]);
        } else {
            MessageBeep(MB_ICONHAND);
        }
        break;
    case kMoveRight:
        if (index >= 0 && index < count_ - 1) {
            std::swap(items_[index], items_[index + 1]);
        } else {
            MessageBeep(MB_ICONHAND);
        }
        break;
    default:
        return;
    }
    if (wasCurrent != nullptr) current = IndexOf(wasCurrent);
}

bool ImageAlbum::Reorder(ImageEntry* const* order, int count) {
    if (order == nullptr || count != count_) return false;
    // Every entry exactly once: the count matches, so no entry may be missing
    // when none repeats and each is found in the album.
    for (int i = 0; i < count; ++i) {
        if (IndexOf(order[i]) < 0) return false;
        for (int j = 0; j < i; ++j) {
            if (order[j] == order[i]) return false;
        }
    }
    const ImageEntry* wasCurrent = Current();
    std::memcpy(items_, order, sizeof(ImageEntry*) * size_t(count));
    if (wasCurrent != nullptr) current = IndexOf(wasCurrent);
    return true;
}

ImageEntry* ImageAlbum::Step(int code, bool* endReached) {
    if (endReached != nullptr) *endReached = false;
    if (count_ == 0) return nullptr;
    bool wrap = (code & kStepWrap) != 0;
    switch (code & 0x0F) {
    case kStepNext:
        if (current >= count_ - 1) {
            if (wrap) {
                current = 0;
            } else if (endReached != nullptr) {
                *endReached = true;
            }
        } else {
            ++current;
        }
        break;
    case kStepPrevious:
        if (current <= 0) {
            if (wrap) {
                current = count_ - 1;
            } else if (endReached != nullptr) {
                *endReached = true;
            }
        } else {
            --current;
        }
        break;
    case kStepRandom: {
        static bool seeded = false;
        if (!seeded) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            std::srand((unsigned(now.wMinute) * 60 + now.wSecond) * 60 + now.wMilliseconds);
            seeded = true;
        }
        for (int draw = 0; draw < 100; ++draw) {
            // The device's generator yields 15 bits; a draw of exactly 32767
            // would land one past the end and is drawn again.
            int index = int(float(std::rand() & 0x7FFF) * (1.0f / 32767.0f) * float(count_));
            if (index >= count_) continue;
            if (index != current) {
                current = index;
                break;
            }
        }
        break;
    }
    case kStepFirst:
        current = 0;
        break;
    case kStepLast:
        current = count_ - 1;
        break;
    default:
        break;
    }
    current = std::clamp(current, 0, count_ - 1);
    return items_[current];
}

LoadError ImageAlbum::Save(HWND owner, HINSTANCE instance, bool* saved) {
    if (saved) *saved = false;
    FileChooser chooser = CurrentFileChooser();
    if (!chooser) return kLoadOk;
    WCHAR title[64] = {}, button[32] = {};
    LoadStringW(instance, IDS_SAVE_IMAGES, title, 64);
    LoadStringW(instance, IDS_SAVE, button, 32);
    FileDialogRequest request;
    request.owner = owner;
    request.instance = instance;
    request.extensions = u"mab\0";
    request.title = title;
    request.buttonText = button;
    request.flags = kChooseToSave;
    // The album's own file, else a new one beside its pictures.
    if (albumFile[0]) {
        CopyPath(request.path, albumFile);
    } else if (!JoinToBase(u"New.mab", request.path)) {
        request.path[0] = 0;
    }
    if (!chooser(&request)) return kLoadOk;
    const LoadError result = SaveFile(request.path);
    if (result == kLoadOk && saved) *saved = true;
    return result;
}

LoadError ImageAlbum::SaveFile(LPCWSTR path) {
    size_t length = Length(path);
    if (length == 0 || length + 1 >= MAX_PATH) return kLoadCannotCreate;
    std::vector<BYTE> bytes;
    if (!SerializeAlbum(*this, &bytes)) return kLoadWriteError;
    // The album goes to a temporary file next to the target first, so that a
    // failed save leaves the old album file as it was.
    std::u16string temporary = std::u16string(path) + u"~";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return kLoadCannotCreate;
    DWORD written = 0;
    bool ok = bytes.size() <= 0xFFFFFFFFu &&
              WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = CloseHandle(file) && ok;
    if (!ok) {
        DeleteFileW(temporary.c_str());
        return kLoadWriteError;
    }
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        if (!DeleteFileW(path)) {
            DeleteFileW(temporary.c_str());
            return kLoadCannotCreate;
        }
    }
    if (!MoveFileW(temporary.c_str(), path)) {
        DeleteFileW(temporary.c_str());
        return kLoadCannotCreate;
    }
    CopyPath(albumFile, path);
    return kLoadOk;
}

LoadError ImageAlbum::LoadFile(LPCWSTR path) {
    return ReadAlbumFile(path, false);
}

LoadError ImageAlbum::AppendFile(LPCWSTR path) {
    return ReadAlbumFile(path, true);
}

LoadError ImageAlbum::ReadAlbumFile(LPCWSTR path, bool append) {
    if (!append) CopyPath(albumFile, path != nullptr ? path : u"");
    std::vector<BYTE> bytes;
    LoadError error = kLoadOk;
    if (path == nullptr || !ReadWholeFile(path, &bytes, &error)) {
        if (error == kLoadCorrupt) Clear();
        return path == nullptr ? kLoadCannotOpen : error;
    }
    AlbumFileContents contents;
    error = ParseAlbumFile(bytes.data(), bytes.size(), &contents);
    if (error == kLoadUnsupportedVersion) return error;
    if (error != kLoadOk) {
        Clear();
        current = 0;
        return error;
    }
    int first = count_;
    if (!append) {
        Clear();
        first = 0;
        flags = contents.flags;
        CopyPath(baseFolder, contents.baseFolder);
        CopyPath(commonSound, contents.commonSound);
    }
    if (!Reserve(int(contents.entries.size()))) return kLoadOutOfMemory;
    for (auto& owned : contents.entries) {
        ImageEntry* entry = owned.release();
        if (append) {
            // The album keeps its own base folder: paths relative to the
            // file's base folder become absolute.
            for (std::u16string* text : {&entry->path, &entry->soundPath}) {
                if (text->empty() || (*text)[0] == u'\\') continue;
                std::u16string joined = contents.baseFolder;
                if (joined.empty() || joined.back() != u'\\') joined += u'\\';
                joined += *text;
                if (joined.size() < MAX_PATH) *text = joined;
            }
        }
        items_[count_++] = entry;
    }
    current = first;
    return kLoadOk;
}
