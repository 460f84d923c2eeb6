// Reading dialog templates. Both forms are little-endian WORD streams:
//
//   DLGTEMPLATE    style, exStyle (DWORDs), item count, x, y, cx, cy (WORDs),
//                  menu, class, title, [point size, face name] when DS_SETFONT
//   DLGTEMPLATEEX  version 1, signature 0xFFFF, help id, exStyle, style,
//                  item count, x, y, cx, cy, menu, class, title,
//                  [point size, weight, italic, charset, face name]
//
// Each item starts on a DWORD boundary; the normal form has style, exStyle,
// x, y, cx, cy and a WORD id, the extended form help id, exStyle, style, x,
// y, cx, cy and a DWORD id. Then class, title and a WORD with the number of
// creation-data bytes that follow it.
#include "gwes/dialog_template.h"

#include <cstring>

namespace gwes {

// The fixed parts as the SDK lays them out (packed to WORDs).
static_assert(sizeof(DLGTEMPLATE) == 18, "DLGTEMPLATE is 18 bytes");
static_assert(sizeof(DLGITEMTEMPLATE) == 18, "DLGITEMTEMPLATE is 18 bytes");

namespace {

// A cursor over [data, data + size) that never reads past the end; every
// read reports whether the bytes were there.
class TemplateReader {
public:
    TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    size_t Offset() const { return pos_; }
    size_t Left() const { return size_ - pos_; }

    bool Word(WORD* v) {
        if (Left() < 2) return false;
        std::memcpy(v, data_ + pos_, 2);
        pos_ += 2;
        return true;
    }
    bool Short(short* v) {
        WORD w;
        if (!Word(&w)) return false;
        *v = static_cast<short>(w);
        return true;
    }
    bool Dword(DWORD* v) {
        if (Left() < 4) return false;
        std::memcpy(v, data_ + pos_, 4);
        pos_ += 4;
        return true;
    }
    bool Byte(BYTE* v) {
        if (Left() < 1) return false;
        *v = data_[pos_++];
        return true;
    }
    bool Skip(size_t n) {
        if (Left() < n) return false;
        pos_ += n;
        return true;
    }
    // Moves to the next multiple of `unit` counted from the start.
    bool Align(size_t unit) {
        size_t rem = pos_ % unit;
        return rem == 0 || Skip(unit - rem);
    }

    // A NUL-terminated UTF-16 string.
    TemplateError String(std::u16string* out) {
        out->clear();
        for (;;) {
            WORD c;
            if (!Word(&c)) return TemplateError::kBadString;
            if (c == 0) return TemplateError::kOk;
            out->push_back(static_cast<char16_t>(c));
        }
    }

    // A menu, class or title field: 0x0000 (none), 0xFFFF and an ordinal, or a string.
    TemplateError Name(TemplateName* out) {
        *out = TemplateName{};
        WORD first;
        if (Left() < 2) return TemplateError::kTruncated;
        std::memcpy(&first, data_ + pos_, 2);
        if (first == 0xFFFF) {
            pos_ += 2;
            return Word(&out->ordinal) ? TemplateError::kOk : TemplateError::kTruncated;
        }
        return String(&out->text);
    }

    const BYTE* Here() const { return data_ + pos_; }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
};

#define READ(call)                                          \
    do {                                                    \
        if (!(call)) return TemplateError::kTruncated;      \
    } while (0)
#define CHECK(call)                                         \
    do {                                                    \
        TemplateError e_ = (call);                          \
        if (e_ != TemplateError::kOk) return e_;            \
    } while (0)

TemplateError ReadItem(TemplateReader& r, bool extended, DialogItem* item) {
    READ(r.Align(4));
    if (extended) {
        READ(r.Dword(&item->helpId));
        READ(r.Dword(&item->exStyle));
        READ(r.Dword(&item->style));
    } else {
        READ(r.Dword(&item->style));
        READ(r.Dword(&item->exStyle));
    }
    READ(r.Short(&item->x));
    READ(r.Short(&item->y));
    READ(r.Short(&item->cx));
    READ(r.Short(&item->cy));
    if (extended) {
        READ(r.Dword(&item->id));
    } else {
        WORD id;
        READ(r.Word(&id));
        item->id = id;
    }
    CHECK(r.Name(&item->className));
    CHECK(r.Name(&item->title));
    const BYTE* sizeWord = r.Here();
    WORD extra;
    READ(r.Word(&extra));
    if (extra > 0) {
        // The bytes must all be there before anyone is handed the pointer.
        READ(r.Skip(extra));
        item->creationData = sizeWord;
        item->creationSize = extra;
    }
    return TemplateError::kOk;
}

}  // namespace

const char* TemplateErrorText(TemplateError error) {
    switch (error) {
    case TemplateError::kOk: return "no error";
    case TemplateError::kTruncated: return "the template ends inside a field";
    case TemplateError::kBadVersion: return "an extended template of an unknown version";
    case TemplateError::kBadString: return "a string runs past the end of the template";
    }
    return "unknown error";
}

const char16_t* StandardClassName(WORD ordinal) {
    switch (ordinal) {
    case 0x0080: return u"Button";
    case 0x0081: return u"Edit";
    case 0x0082: return u"Static";
    case 0x0083: return u"ListBox";
    case 0x0084: return u"ScrollBar";
    case 0x0085: return u"ComboBox";
    default: return nullptr;
    }
}

TemplateError ParseDialogTemplate(const void* data, size_t size, DialogTemplate* out) {
    *out = DialogTemplate{};
    if (!data) return TemplateError::kTruncated;
    TemplateReader r(static_cast<const BYTE*>(data), size);

    // The extended form starts with version 1 and the signature 0xFFFF; the
    // normal form starts with its style, whose high word is never 0xFFFF in
    // a meaningful template (WS_POPUP | WS_CHILD together).
    WORD version = 0, signature = 0;
    if (size >= 4) {
        std::memcpy(&version, data, 2);
        std::memcpy(&signature, static_cast<const BYTE*>(data) + 2, 2);
    }
    out->extended = signature == 0xFFFF;
    WORD count = 0;
    if (out->extended) {
        if (version != 1) return TemplateError::kBadVersion;
        READ(r.Skip(4));
        READ(r.Dword(&out->helpId));
        READ(r.Dword(&out->exStyle));
        READ(r.Dword(&out->style));
    } else {
        READ(r.Dword(&out->style));
        READ(r.Dword(&out->exStyle));
    }
    READ(r.Word(&count));
    READ(r.Short(&out->x));
    READ(r.Short(&out->y));
    READ(r.Short(&out->cx));
    READ(r.Short(&out->cy));
    CHECK(r.Name(&out->menu));
    CHECK(r.Name(&out->className));
    CHECK(r.String(&out->title));
    if (out->style & DS_SETFONT) {
        out->hasFont = true;
        READ(r.Word(&out->pointSize));
        if (out->extended) {
            READ(r.Word(&out->weight));
            READ(r.Byte(&out->italic));
            READ(r.Byte(&out->charSet));
        }
        CHECK(r.String(&out->faceName));
    }
    // Each item takes at least 18 bytes, so a count larger than the bytes
    // left can hold is found out before anything is reserved.
    if (static_cast<size_t>(count) > r.Left() / 18 + 1) return TemplateError::kTruncated;
    out->items.resize(count);
    for (DialogItem& item : out->items) CHECK(ReadItem(r, out->extended, &item));
    return TemplateError::kOk;
}

#undef READ
#undef CHECK

}  // namespace gwes
