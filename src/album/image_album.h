// ImageAlbum: the ordered list of ImageEntry records the main window shows,
// with the current index, the base folder relative entry paths resolve
// against, the sound settings and the album file it came from. The album
// owns its entries. It is not locked itself: the thumbnail loader's lock
// guards every access once that thread runs. Results are counts or LoadError.
#pragma once

#include <windows.h>

#include "album/image_entry.h"

// Album flags: bits 0-1 the sound mode, bit 2 loop the common sound.
constexpr DWORD kSoundModeMask = 3;
constexpr DWORD kSoundNone = 0;
constexpr DWORD kSoundCommon = 1;
constexpr DWORD kSoundPerImage = 2;
constexpr DWORD kAlbumLoopCommonSound = 4;

// Move operations.
enum : int {
    kSortByName = 1,
    kSortByTime = 2,
    kSortBySize = 3,
    kMoveLeft = 4,
    kMoveRight = 5,
};

// Step codes: the low four bits select, kStepWrap wraps next/previous.
enum : int {
    kStepNext = 0,
    kStepPrevious = 1,
    kStepRandom = 2,
    kStepFirst = 4,
    kStepLast = 5,
    kStepWrap = 0x80,
};

class ImageAlbum {
public:
    ImageAlbum();
    ~ImageAlbum();
    ImageAlbum(const ImageAlbum&) = delete;
    ImageAlbum& operator=(const ImageAlbum&) = delete;

    // Destroys every entry (unless borrowed) and empties the array.
    void Clear();
    // Fills the album from a file, a folder, a wildcard pattern or an album
    // file (".mab"); with `add` (and a non-empty album) appends instead of
    // replacing. Returns the entry count, or -LoadError.
    int Load(LPCWSTR path, bool add, bool recurse);
    // Whether Load would find what `path` names, without touching any album:
    // 0, kLoadPathNotFound, or an album file's read or parse error. The
    // frame asks first, so that a failed open keeps the album it has.
    static LoadError Probe(LPCWSTR path);
    // A fresh entry with that path appended; null (album emptied) when the
    // array cannot grow, null without change when the path is too long.
    ImageEntry* Append(LPCWSTR path);
    // Destroys the entry and closes the gap; index must be inside the album.
    void Remove(int index);
    // kSortBy* or kMoveLeft/kMoveRight of the entry at index (beeps at the
    // ends); the current index follows the current entry.
    void Move(int operation, int index);
    // Puts the entries in the given order (the reorder dialog's result): a
    // permutation of the album's own entries, else false and no change. The
    // current index follows the current entry.
    bool Reorder(ImageEntry* const* order, int count);
    // The new current entry, or null for an empty album; *endReached (may be
    // null) is set when next/previous stopped at an end without wrapping.
    ImageEntry* Step(int code, bool* endReached);
    ImageEntry* Current() const;
    // The entry's path (or, with preferSourceUrl, its source address when it
    // has one) joined to baseFolder into out[outChars]. index -1 = current.
    // False when the index is outside, the entry has no path or it does not fit.
    bool FullPath(int index, bool preferSourceUrl, WCHAR* out, size_t outChars = MAX_PATH) const;
    // Joins a name to baseFolder the same way; false when it does not fit.
    bool JoinToBase(LPCWSTR name, WCHAR* out, size_t outChars = MAX_PATH) const;

    // Asks for a file with the installed file chooser (proposing albumFile,
    // else "New.mab" in baseFolder) and writes it there with SaveFile. 0 also
    // when the user cancels or no chooser is installed; *saved (may be null)
    // tells whether a file was written.
    LoadError Save(HWND owner, HINSTANCE instance, bool* saved = nullptr);
    // Writes the album file to `path` (through a temporary file that replaces
    // the old one only when complete): 0, 5 cannot create, 7 write error.
    // albumFile becomes path on success.
    LoadError SaveFile(LPCWSTR path);
    // Replaces the album by an album file: 0, 4 cannot open, 10 wrong
    // header, 8 damaged (album cleared).
    LoadError LoadFile(LPCWSTR path);
    // Appends the entries of an album file; their relative paths are made
    // absolute against the file's base folder. Same codes as LoadFile.
    LoadError AppendFile(LPCWSTR path);

    int Count() const { return count_; }
    ImageEntry* Entry(int index) const {
        return index >= 0 && index < count_ ? items_[index] : nullptr;
    }
    int IndexOf(const ImageEntry* entry) const;  // searching from the end; -1

    bool borrowed = false;  // clearing does not free the entries
    int current = -1;       // -1 while being refilled
    DWORD flags = 0;        // kSound*, kAlbumLoopCommonSound
    WCHAR baseFolder[MAX_PATH] = {};
    WCHAR albumFile[MAX_PATH] = {};
    WCHAR commonSound[MAX_PATH] = {};

private:
    // Room for n more pointers; false (album emptied) when it cannot grow.
    bool Reserve(int n);
    // Takes ownership; false (entry destroyed, album emptied) on failure.
    bool AppendEntry(ImageEntry* entry);
    void Scan(const WCHAR* pattern, bool recurse);
    LoadError ReadAlbumFile(LPCWSTR path, bool append);

    int count_ = 0;
    int capacity_ = 0;
    ImageEntry** items_ = nullptr;
};
