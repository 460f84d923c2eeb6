// ImageEntry: one picture of the album. Its first part, EntryBlock, is the
// 332-byte little-endian block the album file stores as it lies in memory;
// the rest is run-time state. The entry owns its strings, the attachment
// data of its four slots, its icon and its decoded image (released by
// ReleaseContents and the destructor). Not copyable: it owns raw memory.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "image/image_file.h"
#include "image/load_error.h"
#include "image/rimage.h"

// One attachment slot: size 0 means free; the data reference is a file
// artefact, the data itself lives in ImageEntry::attachmentData.
struct AttachmentSlot {
    DWORD size;
    WORD kind;
    WORD reserved;
    DWORD dataRef;
};

constexpr int kAttachmentSlots = 4;
constexpr WORD kAttachmentAnnotations = 2;  // the "RDrwObj" block, kept opaque here
constexpr WORD kAttachmentAdjustment = 3;   // AdjustmentAttachment, 32 bytes

// Display flags: the whole value 255 asks the first decode to set them up.
constexpr DWORD kDisplayZoomToFit = 1;
constexpr DWORD kDisplayRotateToFit = 2;
constexpr DWORD kDisplayUninitialised = 255;
constexpr DWORD kEntryLoopSound = 4;  // entryFlags bit 2

struct EntryBlock {
    int32_t width;
    int32_t height;
    BYTE bitsPerPixel;
    BYTE reserved0;
    WORD slideDelay;  // seconds, 0 = the default delay
    int32_t offsetX;
    int32_t offsetY;
    DWORD flags;  // kDisplay*
    float zoom;   // -1.0 = fit requested
    int32_t rotation;
    DWORD entryFlags;
    DWORD fileSize;
    FILETIME fileTime;
    AttachmentSlot attachments[kAttachmentSlots];
    BYTE reserved[236];
};
constexpr size_t kEntryBlockSize = 332;
static_assert(sizeof(EntryBlock) == kEntryBlockSize, "the album file stores the block raw");
static_assert(offsetof(EntryBlock, fileTime) == 40 && offsetof(EntryBlock, attachments) == 48);

enum EntryLoadState : int { kNotDecoded = 0, kDecoding = 1, kDecoded = 2, kDecodeFailed = 3 };

// The address of an Open-URL command that is being opened: an entry whose
// new path ends with ".url" takes it as its source address. Main thread
// only; an empty or null value means none.
void SetPendingOpenUrl(LPCWSTR url);
LPCWSTR PendingOpenUrl();

class ImageEntry {
public:
    // Zero-filled with zoom 1.0.
    ImageEntry();
    ~ImageEntry();
    ImageEntry(const ImageEntry&) = delete;
    ImageEntry& operator=(const ImageEntry&) = delete;

    // Replace the string (null or empty: none). A path of more than 259
    // characters is refused (false, entry unchanged). SetPath drops the
    // source address, then takes the pending Open-URL address when the new
    // path ends with ".url".
    bool SetPath(LPCWSTR value);
    bool SetSoundPath(LPCWSTR value);
    // Text after the last '\' of path / soundPath ("" when none).
    LPCWSTR Name() const;
    LPCWSTR SoundName() const;
    bool HasPath() const { return !path.empty(); }

    // The first slot of that kind, else the first free slot, else -1.
    int FindSlot(WORD kind) const;
    // Stores a copy of `size` bytes in the slot FindSlot(kind) picks; false
    // when there is no slot or no memory. size 0 frees the slot.
    bool SetAttachment(WORD kind, const BYTE* data, DWORD size);
    // The data of the slot with that kind, or null.
    const BYTE* Attachment(WORD kind, DWORD* size) const;
    void FreeSlot(int slot);

    // Takes ownership of a fresh icon record (the previous one is released).
    void SetIcon(RImage* newIcon);
    void ReleaseImage();  // the decoded image only, back to kNotDecoded
    // Everything owned: attachments, strings, icon, decoded image.
    void ReleaseContents();

    EntryBlock block;  // persisted
    ImageFile* image = nullptr;  // decoded image (owned with its heap DisplayAdjustment), or null
    std::u16string formatText;
    std::u16string path;         // relative to the album's base folder unless it starts with '\'
    std::u16string soundPath;    // the same
    std::u16string sourceUrl;    // where the file was downloaded from, or empty
    RImage* icon = nullptr;      // thumbnail (owned), or null
    BYTE* attachmentData[kAttachmentSlots] = {};
    int loadState = kNotDecoded;
    LoadError errorCode = 0;
};
