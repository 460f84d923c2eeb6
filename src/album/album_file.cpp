// Reader and writer of the album file.
#include "album/album_file.h"

#include <bit>
#include <cstdlib>
#include <cstring>
#include <new>

#include "album/image_album.h"

static_assert(std::endian::native == std::endian::little,
              "the entry block is stored as it lies in memory");

namespace {

constexpr size_t kIconHeaderSize = sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD);
static_assert(kIconHeaderSize == 44);

// Every read goes through here: it knows how much is left and fails instead
// of reading past the end.
class BoundedReader {
public:
    BoundedReader(const BYTE* data, size_t size) : data_(data), left_(size) {}
    size_t Left() const { return left_; }
    bool Bytes(void* out, size_t n) {
        if (n > left_) return false;
        if (n != 0) std::memcpy(out, data_, n);
        data_ += n;
        left_ -= n;
        return true;
    }
    bool Skip(size_t n) {
        if (n > left_) return false;
        data_ += n;
        left_ -= n;
        return true;
    }
    bool Dword(DWORD* out) {
        BYTE b[4];
        if (!Bytes(b, 4)) return false;
        *out = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
        return true;
    }
    // A length-prefixed UTF-16LE string of at most MAX_PATH - 1 characters.
    bool String(std::u16string* out) {
        DWORD bytes;
        if (!Dword(&bytes)) return false;
        if (bytes % 2 != 0 || bytes / 2 >= MAX_PATH || bytes > left_) return false;
        out->clear();
        for (DWORD i = 0; i < bytes; i += 2) {
            char16_t c = char16_t(data_[i] | data_[i + 1] << 8);
            if (c == 0) return false;  // the buffers are NUL-terminated strings
            out->push_back(c);
        }
        return Skip(bytes);
    }

private:
    const BYTE* data_;
    size_t left_;
};

// The smallest entry record: two empty strings, the block, icon size 0.
constexpr size_t kMinEntryBytes = 4 + 4 + kEntryBlockSize + 4;

LoadError ReadIcon(BoundedReader* reader, ImageEntry* entry) {
    DWORD iconSize;
    if (!reader->Dword(&iconSize)) return kLoadCorrupt;
    if (iconSize == 0) return kLoadOk;
    BITMAPINFOHEADER header;
    RGBQUAD colour;
    if (!reader->Bytes(&header, sizeof header) || !reader->Bytes(&colour, sizeof colour)) {
        return kLoadCorrupt;
    }
    switch (header.biBitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return kLoadCorrupt;
    }
    int64_t imageSize = DibImageSize(header.biWidth, header.biHeight, header.biBitCount);
    if (imageSize < 0 || header.biSize != sizeof(BITMAPINFOHEADER) ||
        int64_t(header.biSizeImage) != imageSize ||
        int64_t(iconSize) != imageSize + int64_t(kIconHeaderSize) ||
        size_t(imageSize) > reader->Left()) {
        return kLoadCorrupt;
    }
    RImage* icon = new (std::nothrow) RImage;
    if (icon == nullptr) return kLoadCorrupt;
    if (!CreateImage(nullptr, icon, header.biBitCount, header.biWidth, header.biHeight, nullptr, 0)) {
        delete icon;
        return kLoadCorrupt;
    }
    // The file keeps one colour entry; the rest of a palette icon's table
    // stays the default one.
    if (header.biBitCount <= 8) ColourTable(icon->header)[0] = colour;
    entry->SetIcon(icon);
    if (!reader->Bytes(icon->pixels, size_t(imageSize))) return kLoadCorrupt;
    return kLoadOk;
}

LoadError ReadEntry(BoundedReader* reader, ImageEntry* entry) {
    std::u16string path, soundPath;
    if (!reader->String(&path) || !reader->String(&soundPath)) return kLoadCorrupt;
    entry->SetPath(path.c_str());
    entry->SetSoundPath(soundPath.c_str());
    if (!reader->Bytes(&entry->block, kEntryBlockSize)) return kLoadCorrupt;
    for (int i = 0; i < kAttachmentSlots; ++i) {
        AttachmentSlot& slot = entry->block.attachments[i];
        slot.dataRef = 0;  // a pointer of the writing process, meaningless here
        entry->attachmentData[i] = nullptr;
        if (slot.size == 0) continue;
        if (slot.size > reader->Left()) {
            std::memset(&slot, 0, sizeof slot);
            return kLoadCorrupt;
        }
        if (slot.kind == kAttachmentAnnotations || slot.kind == kAttachmentAdjustment) {
            BYTE* data = static_cast<BYTE*>(std::malloc(slot.size));
            if (data == nullptr) {
                std::memset(&slot, 0, sizeof slot);
                return kLoadCorrupt;
            }
            reader->Bytes(data, slot.size);
            entry->attachmentData[i] = data;
        } else {
            // Kinds this program does not know are read over and dropped.
            reader->Skip(slot.size);
            std::memset(&slot, 0, sizeof slot);
        }
    }
    return ReadIcon(reader, entry);
}

void PutDword(std::vector<BYTE>* out, DWORD value) {
    for (int i = 0; i < 4; ++i) out->push_back(BYTE(value >> (8 * i)));
}

void PutBytes(std::vector<BYTE>* out, const void* data, size_t n) {
    // resize and copy: g++ 12 misreads an insert into a just-cleared vector
    // as an overflow.
    const size_t old = out->size();
    out->resize(old + n);
    if (n > 0) std::memcpy(out->data() + old, data, n);
}

void PutString(std::vector<BYTE>* out, const char16_t* text) {
    size_t n = 0;
    while (text[n] != 0 && n < MAX_PATH - 1) ++n;
    PutDword(out, DWORD(n * 2));
    for (size_t i = 0; i < n; ++i) {
        out->push_back(BYTE(text[i]));
        out->push_back(BYTE(text[i] >> 8));
    }
}

void PutIcon(std::vector<BYTE>* out, const RImage* icon) {
    if (icon == nullptr || icon->header == nullptr || icon->pixels == nullptr) {
        PutDword(out, 0);
        return;
    }
    BITMAPINFOHEADER header = *icon->header;
    int64_t imageSize = DibImageSize(header.biWidth, header.biHeight, header.biBitCount);
    if (imageSize < 0) {
        PutDword(out, 0);
        return;
    }
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biSizeImage = DWORD(imageSize);
    RGBQUAD colour = {};
    if (header.biBitCount <= 8) colour = ColourTable(icon->header)[0];
    PutDword(out, DWORD(imageSize + int64_t(kIconHeaderSize)));
    PutBytes(out, &header, sizeof header);
    PutBytes(out, &colour, sizeof colour);
    PutBytes(out, icon->pixels, size_t(imageSize));
}

}  // namespace

LoadError ParseAlbumFile(const BYTE* data, size_t size, AlbumFileContents* out) {
    out->entries.clear();
    BoundedReader reader(data, size);
    char magic[sizeof kAlbumMagic];
    if (!reader.Bytes(magic, sizeof magic) || std::memcmp(magic, kAlbumMagic, sizeof magic) != 0) {
        return kLoadUnsupportedVersion;
    }
    DWORD count;
    if (!reader.Dword(&count) || !reader.Dword(&out->flags) || !reader.String(&out->baseFolder) ||
        !reader.String(&out->commonSound)) {
        return kLoadCorrupt;
    }
    // A count the remaining bytes cannot hold is damage, not a reason to
    // allocate that many entries.
    if (count > reader.Left() / kMinEntryBytes) return kLoadCorrupt;
    out->entries.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        std::unique_ptr<ImageEntry> entry(new (std::nothrow) ImageEntry);
        if (entry == nullptr) return kLoadCorrupt;
        LoadError error = ReadEntry(&reader, entry.get());
        if (error != kLoadOk) {
            out->entries.clear();
            return error;
        }
        out->entries.push_back(std::move(entry));
    }
    return kLoadOk;
}

int ParseAlbumFileBytes(const BYTE* data, size_t size) {
    AlbumFileContents contents;
    return int(ParseAlbumFile(data, size, &contents));
}

bool SerializeAlbum(const ImageAlbum& album, std::vector<BYTE>* out) try {
    out->clear();
    PutBytes(out, kAlbumMagic, sizeof kAlbumMagic);
    PutDword(out, DWORD(album.Count()));
    PutDword(out, album.flags);
    PutString(out, album.baseFolder);
    PutString(out, album.commonSound);
    for (int i = 0; i < album.Count(); ++i) {
        const ImageEntry* entry = album.Entry(i);
        PutString(out, entry->path.c_str());
        PutString(out, entry->soundPath.c_str());
        EntryBlock block = entry->block;
        for (int s = 0; s < kAttachmentSlots; ++s) {
            // A used slot without data would make the file unreadable.
            if (entry->attachmentData[s] == nullptr) block.attachments[s].size = 0;
            block.attachments[s].dataRef = 0;
        }
        PutBytes(out, &block, kEntryBlockSize);
        for (int s = 0; s < kAttachmentSlots; ++s) {
            if (block.attachments[s].size != 0) {
                PutBytes(out, entry->attachmentData[s], block.attachments[s].size);
            }
        }
        PutIcon(out, entry->icon);
    }
    return true;
} catch (const std::bad_alloc&) {
    out->clear();
    return false;
}
