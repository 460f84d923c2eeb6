// ImageEntry: strings, attachment slots and owned records of one album entry.
#include "album/image_entry.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "view/display_adjustment.h"

namespace {

std::u16string& PendingUrl() {
    static std::u16string url;
    return url;
}

size_t Length(LPCWSTR text) {
    size_t n = 0;
    if (text != nullptr) {
        while (text[n] != 0) ++n;
    }
    return n;
}

LPCWSTR AfterLastBackslash(const std::u16string& text) {
    size_t slash = text.rfind(u'\\');
    return text.c_str() + (slash == std::u16string::npos ? 0 : slash + 1);
}

}  // namespace

void SetPendingOpenUrl(LPCWSTR url) {
    PendingUrl().assign(url != nullptr ? url : u"");
}

LPCWSTR PendingOpenUrl() {
    return PendingUrl().empty() ? nullptr : PendingUrl().c_str();
}

ImageEntry::ImageEntry() {
    std::memset(&block, 0, sizeof block);
    block.zoom = 1.0f;
}

ImageEntry::~ImageEntry() {
    ReleaseContents();
}

bool ImageEntry::SetPath(LPCWSTR value) {
    size_t n = Length(value);
    if (n >= MAX_PATH) return false;
    path.assign(value != nullptr ? value : u"", n);
    sourceUrl.clear();
    // An address the user is opening arrives as a downloaded ".url" link.
    if (n >= 4 && path.compare(n - 4, 4, u".url") == 0 && PendingOpenUrl() != nullptr) {
        sourceUrl = PendingOpenUrl();
    }
    return true;
}

bool ImageEntry::SetSoundPath(LPCWSTR value) {
    size_t n = Length(value);
    if (n >= MAX_PATH) return false;
    soundPath.assign(value != nullptr ? value : u"", n);
    return true;
}

LPCWSTR ImageEntry::Name() const {
    return AfterLastBackslash(path);
}

LPCWSTR ImageEntry::SoundName() const {
    return AfterLastBackslash(soundPath);
}

int ImageEntry::FindSlot(WORD kind) const {
    for (int i = 0; i < kAttachmentSlots; ++i) {
        if (block.attachments[i].size != 0 && block.attachments[i].kind == kind) return i;
    }
    for (int i = 0; i < kAttachmentSlots; ++i) {
        if (block.attachments[i].size == 0) return i;
    }
    return -1;
}

bool ImageEntry::SetAttachment(WORD kind, const BYTE* data, DWORD size) {
    int slot = FindSlot(kind);
    if (slot < 0) return false;
    if (size == 0) {
        FreeSlot(slot);
        return true;
    }
    BYTE* copy = static_cast<BYTE*>(std::malloc(size));
    if (copy == nullptr) return false;
    if (data != nullptr) {
        std::memcpy(copy, data, size);
    } else {
        std::memset(copy, 0, size);
    }
    FreeSlot(slot);
    attachmentData[slot] = copy;
    block.attachments[slot].size = size;
    block.attachments[slot].kind = kind;
    return true;
}

const BYTE* ImageEntry::Attachment(WORD kind, DWORD* size) const {
    for (int i = 0; i < kAttachmentSlots; ++i) {
        if (block.attachments[i].size != 0 && block.attachments[i].kind == kind) {
            if (size != nullptr) *size = block.attachments[i].size;
            return attachmentData[i];
        }
    }
    if (size != nullptr) *size = 0;
    return nullptr;
}

void ImageEntry::FreeSlot(int slot) {
    if (slot < 0 || slot >= kAttachmentSlots) return;
    std::free(attachmentData[slot]);
    attachmentData[slot] = nullptr;
    std::memset(&block.attachments[slot], 0, sizeof(AttachmentSlot));
}

void ImageEntry::SetIcon(RImage* newIcon) {
    if (icon != nullptr) {
        ::ReleaseImage(icon);
        delete icon;
    }
    icon = newIcon;
}

void ImageEntry::ReleaseImage() {
    if (image != nullptr) {
        // The adjustment the image was decoded with goes with it: frame and
        // page decodes of the same image use it again.
        DisplayAdjustment* adjustment = image->image.adjustment;
        image->Unload();
        delete image;
        delete adjustment;
        image = nullptr;
    }
    formatText.clear();
    loadState = kNotDecoded;
}

void ImageEntry::ReleaseContents() {
    for (int i = 0; i < kAttachmentSlots; ++i) FreeSlot(i);
    path.clear();
    soundPath.clear();
    sourceUrl.clear();
    SetIcon(nullptr);
    ReleaseImage();
}
