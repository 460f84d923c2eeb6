// The DICOM pull parser: preamble and byte-order detection, the meta group,
// element headers, sequence levels, encapsulated data and values.
#include "dicom/dicom_reader.h"

#include <cstdlib>
#include <cstring>

namespace {

DicomReader g_reader;

constexpr uint16_t kItemGroup = 0xFFFE;
constexpr uint16_t kItem = 0xE000;
constexpr uint16_t kSequenceDelimiter = 0xE0DD;

uint16_t Swap16(uint16_t v) {
    return (uint16_t)((v >> 8) | (v << 8));
}

uint32_t Swap32(uint32_t v) {
    return __builtin_bswap32(v);
}

uint16_t Load16(const uint8_t* p, bool littleEndian) {
    return littleEndian ? (uint16_t)(p[0] | (p[1] << 8)) : (uint16_t)((p[0] << 8) | p[1]);
}

uint32_t Load32(const uint8_t* p, bool littleEndian) {
    return littleEndian
               ? (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
                     ((uint32_t)p[3] << 24)
               : ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) |
                     (uint32_t)p[3];
}

bool LittleEndian() {
    return (g_reader.mode & kModeLittleEndian) != 0;
}

// Every read of the reader goes through here, so that dicom_check knows
// whether the data ended inside one.
inline void ReadBytes(void* buffer, DWORD count) {
    DWORD got = 0;
    DicomStream().read(buffer, count, &got);
    if (got < count) {
        // Whatever did not arrive reads as zeros, so no header field is left
        // uninitialised before dicom_check reports the short read.
        std::memset(static_cast<uint8_t*>(buffer) + got, 0, count - got);
        g_reader.short_read = true;
    }
}

// The string VRs as one bit per second letter under each first letter: the
// reader asks for every value, and a switch over a dozen scattered codes
// costs a chain of compares each time.
constexpr int32_t kStringVrs[] = {kVrAE, kVrAS, kVrCS, kVrDA, kVrDS, kVrDT,
                                  kVrIS, kVrLO, kVrPN, kVrSH, kVrTM, kVrUI};

struct StringVrLetters {
    uint32_t seconds[26] = {};
    constexpr StringVrLetters() {
        for (int32_t vr : kStringVrs) seconds[(vr >> 8) - 'A'] |= 1u << ((vr & 0xFF) - 'A');
    }
};
constexpr StringVrLetters kStringVrLetters;

inline bool IsStringVr(int32_t vr) {
    const uint32_t first = (uint32_t)(vr >> 8) - 'A';
    const uint32_t second = (uint32_t)(vr & 0xFF) - 'A';
    if ((uint32_t)vr > 0xFFFF || first >= 26 || second >= 26) return false;
    return (kStringVrLetters.seconds[first] >> second) & 1;
}

// VRs with two reserved bytes and a 4-byte length in explicit-VR data.
bool HasLongLength(int32_t vr) {
    return vr == kVrOB || vr == kVrOW || vr == kVrSQ || vr == kVrUN || vr == kVrUT;
}

// Byte-swap unit of a VR in big-endian data; 0 leaves the value as it is.
unsigned SwapUnit(int32_t vr) {
    switch (vr) {
        case kVrAT: case kVrOW: case kVrSS: case kVrUS:
            return 2;
        case kVrFL: case kVrSL: case kVrUL:
        case kVrOF: case kVrOL:
            return 4;
        case kVrFD:
        case kVrOD: case kVrSV: case kVrUV:
            return 8;
        default:
            return 0;
    }
}

void SwapInPlace(uint8_t* data, uint32_t length, unsigned unit) {
    for (uint64_t i = 0; i + unit <= length; i += unit) {
        for (unsigned a = 0, b = unit - 1; a < b; ++a, --b) {
            const uint8_t t = data[i + a];
            data[i + a] = data[i + b];
            data[i + b] = t;
        }
    }
}

void Rewind() {
    DicomStream().seek(0, FILE_BEGIN);
}

// Whether the next four bytes are an item tag, without moving.
bool ItemTagFollows(bool littleEndian) {
    ByteStream& stream = DicomStream();
    const bool shortBefore = g_reader.short_read;
    const int64_t here = stream.tell();
    uint8_t bytes[4];
    DWORD got = 0;
    stream.read(bytes, 4, &got);
    stream.seek(here, FILE_BEGIN);
    g_reader.short_read = shortBefore;
    return got == 4 && Load16(bytes, littleEndian) == kItemGroup &&
           Load16(bytes + 2, littleEndian) == kItem;
}

// Closes sequence level `level` and returns the level below it.
int CloseLevel(int level) {
    if (g_reader.restore_mode[level] != 0) {
        g_reader.mode = g_reader.restore_mode[level];
        g_reader.restore_mode[level] = 0;
    }
    return level - 1;
}

void dicom_encapsulated(bool reset) {
    dicom_log(7, "dicom_encapsulated()");
    DicomReader& r = g_reader;
    if (reset) {
        r.in_encapsulated = 0;
        return;
    }
    DicomElement& e = r.current;
    e.encapsulated = r.in_encapsulated;
    if (r.in_encapsulated && e.group == kItemGroup && e.element == kSequenceDelimiter) {
        r.in_encapsulated = 0;
    }
    if (e.length == kUndefinedLength && e.vr != kVrSQ && e.group != kItemGroup) {
        r.in_encapsulated = 1;  // encapsulated pixel data begins
    }
}

// Closes every level whose bytes are used up, innermost first.
int CloseExhaustedLevels(int level) {
    while (level > 0 && g_reader.remaining[level] == 0) level = CloseLevel(level);
    return level;
}

// `unSequence`: the element is a sequence stored as UN in explicit-VR data;
// its level is read as implicit VR little endian.
void dicom_sequence(bool reset, bool unSequence = false) {
    dicom_log(7, "dicom_sequence()");
    DicomReader& r = g_reader;
    if (reset) {
        r.level = 0;
        return;
    }
    DicomElement& e = r.current;
    int level = r.level;
    e.depth = (uint8_t)level;

    // Bytes of this element that count against its sequence: the header, and
    // the value unless it is undefined or an item's (whose contents arrive as
    // further elements).
    uint64_t consumed = (uint64_t)(DicomStream().tell() - r.element_start);
    const bool item = e.group == kItemGroup && e.element == kItem;
    if (e.length != kUndefinedLength && !item) consumed += e.length;
    r.remaining[0] = consumed > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)consumed;

    // The bytes count against the innermost sequence of defined length: a
    // sequence of undefined length inside one passes its contents on, since
    // the outer length includes them.
    int counted = level;
    while (counted > 0 && r.remaining[counted] == kUndefinedLength) --counted;
    if (counted > 0) {
        if (consumed > r.remaining[counted]) {
            dicom_log(4, "Incorrect sequence length");
            while (level >= counted) level = CloseLevel(level);  // abandoned
        } else {
            r.remaining[counted] -= (uint32_t)consumed;
        }
    }

    // A sequence of defined length closes with the element that uses up its
    // last byte, unless that element is a sequence itself, whose contents the
    // outer length already counted: then both close when the inner one does.
    // An empty sequence opens no level at all.
    const bool opens = e.vr == kVrSQ && e.length != 0 && level < 255;
    if (!opens) level = CloseExhaustedLevels(level);
    if (e.vr == kVrSQ && e.length != 0) {
        if (level == 255) {
            dicom_log(4, "Deep sequence hierarchy");
        } else {
            ++level;
            r.remaining[level] = e.length;
            r.restore_mode[level] = 0;
            if (unSequence) {
                r.restore_mode[level] = r.mode;
                r.mode = kModeLittleEndian | kModeImplicitVr;
            }
        }
    }

    if (e.group == kItemGroup && e.element == kSequenceDelimiter && e.encapsulated == 0) {
        if (level > 0) {
            level = CloseExhaustedLevels(CloseLevel(level));
        } else {
            dicom_log(4, "Incorrect sequence delimiter");
        }
    }
    r.level = (uint8_t)level;
}

// dicom_check without its call when nothing went wrong, which is after
// nearly every read: those come from the window and cannot fail.
inline int CheckStream(ByteStream& stream, int quiet) {
    if (!g_reader.short_read && !stream.has_failed()) return 0;
    return dicom_check(quiet);
}

// A top-level element that is neither a sequence nor an item tag opens and
// closes no level: dicom_sequence's work for it, which is most elements'.
inline bool SequenceAtTopLevel(ByteStream& stream) {
    DicomReader& r = g_reader;
    const DicomElement& e = r.current;
    if (r.level != 0 || e.vr == kVrSQ || e.group == kItemGroup) return false;
    dicom_log(7, "dicom_sequence()");
    r.current.depth = 0;
    uint64_t consumed = (uint64_t)(stream.tell() - r.element_start);
    if (e.length != kUndefinedLength) consumed += e.length;
    r.remaining[0] = consumed > 0xFFFFFFFFu ? 0xFFFFFFFFu : (uint32_t)consumed;
    return true;
}

// A text value laid out in its block: `vm` pointers, then the `length`
// bytes of text (already in place) and room for one terminator. The text is
// ended, loses the one space that padded it to even length, and is cut at
// each backslash into the values the pointers name.
void SplitTexts(char* block, size_t arrayBytes, uint32_t length, uint32_t vm) {
    char* text = block + arrayBytes;
    text[length] = '\0';
    if (length > 0 && (length & 1) == 0 && text[length - 1] == ' ') text[length - 1] = '\0';
    char** texts = reinterpret_cast<char**>(block);
    texts[0] = text;
    for (uint32_t next = 1; next < vm; ++next) {
        char* separator = static_cast<char*>(std::memchr(texts[next - 1], '\\',
                                                         length - (texts[next - 1] - text)));
        *separator = '\0';
        texts[next] = separator + 1;
    }
}

}  // namespace

const DicomReader& DicomReaderState() {
    return g_reader;
}

int dicom_check(int quiet) {
    ByteStream& stream = DicomStream();
    const bool shortRead = g_reader.short_read;
    g_reader.short_read = false;
    if (stream.has_failed()) {
        dicom_log(3, "Error while reading file");
        Rewind();
        return -1;
    }
    if (shortRead) {
        if (!quiet) dicom_log(3, "Unexpected end of file");
        Rewind();
        return -2;
    }
    return 0;
}

int dicom_open() {
    DicomReader& r = g_reader;
    ByteStream& stream = DicomStream();
    r.short_read = false;
    r.current = DicomElement{};
    const int64_t start = stream.tell();
    uint8_t head[132];
    ReadBytes(head, sizeof head);
    if (dicom_check(0) != 0) return -1;

    if (std::memcmp(head + 128, "DICM", 4) == 0) {
        dicom_log(6, "Dicom preamble");
        char preamble[129];
        std::memcpy(preamble, head, 128);
        preamble[128] = '\0';
        dicom_log(6, preamble);
        r.meta = 1;
        r.mode = kModeLittleEndian | kModeExplicitVr;
        r.syntax = ExplicitVrLittleEndian;
    } else {
        // No preamble: the data set starts at once, and its first bytes tell
        // the byte order (a group below 0100 has a zero high byte) and the VR
        // mode (an explicit VR's second letter is never zero, an implicit
        // length's second byte almost always is).
        stream.seek(start, FILE_BEGIN);
        r.meta = 0;
        if (head[0] == 0) {
            r.syntax = ExplicitVrBigEndian;
            r.mode = head[4] != 0 ? (kModeBigEndian | kModeExplicitVr)
                                  : (kModeBigEndian | kModeImplicitVr);
        } else if (head[5] == 0) {
            r.mode = kModeLittleEndian | kModeImplicitVr;
            r.syntax = ImplicitVrLittleEndian;
        } else {
            r.mode = kModeLittleEndian | kModeExplicitVr;
            r.syntax = ExplicitVrLittleEndian;
        }
    }
    dicom_encapsulated(true);
    dicom_sequence(true);
    return 0;
}

DicomElement* dicom_next_element() {
    DicomReader& r = g_reader;
    ByteStream& stream = DicomStream();
    DicomElement& e = r.current;
    uint16_t group;
    uint16_t element;
    // Most headers lie whole in the read window and are taken from there;
    // at its edge, at the end of the data and from a remote resource they
    // are read piece by piece.
    const uint8_t* header;
    for (;;) {
        r.element_start = stream.tell();
        header = stream.peek(12);
        if (header != nullptr) {
            group = Load16(header, LittleEndian());
            element = Load16(header + 2, LittleEndian());
        } else {
            uint8_t tag[4];
            ReadBytes(tag, 4);
            // The end of the stream here is the normal end of the data.
            if (dicom_check(1) != 0) return nullptr;
            group = Load16(tag, LittleEndian());
            element = Load16(tag + 2, LittleEndian());
        }
        if (r.meta && group != 0x0002) {
            // The meta group is always explicit little endian; the data set
            // that follows is read as the transfer syntax says, from this
            // element on. The meta information is group 0002 alone: a
            // directory (group 0004) or command group written in implicit VR
            // right after it is part of the data set.
            r.meta = 0;
            if (r.syntax == ImplicitVrLittleEndian) {
                r.mode = kModeLittleEndian | kModeImplicitVr;
            } else if (r.syntax == ExplicitVrBigEndian) {
                r.mode = kModeBigEndian | kModeExplicitVr;
            }
            if (header == nullptr) stream.seek(r.element_start, FILE_BEGIN);
            continue;
        }
        break;
    }

    int32_t vr;
    uint32_t length;
    if ((r.mode & kModeImplicitVr) || group == kItemGroup) {
        const DicomTag tag = {group, element};
        vr = (int32_t)dicom_private(VrRangeTable, &tag)->vr;
        if (header != nullptr) {
            length = Load32(header + 4, true);
            stream.advance(8);
        } else {
            uint8_t bytes[4];
            ReadBytes(bytes, 4);
            length = Load32(bytes, true);
        }
    } else if (header != nullptr) {
        vr = MakeVrCode((char)header[4], (char)header[5]);
        if (HasLongLength(vr)) {
            length = Load32(header + 8, true);  // after two reserved bytes
            stream.advance(12);
        } else {
            length = Load16(header + 6, true);
            stream.advance(8);
        }
    } else {
        uint8_t letters[2];
        ReadBytes(letters, 2);
        vr = MakeVrCode((char)letters[0], (char)letters[1]);
        if (HasLongLength(vr)) {
            uint8_t bytes[6];  // two reserved bytes, then the length
            ReadBytes(bytes, 6);
            length = Load32(bytes + 2, true);
        } else {
            uint8_t bytes[2];
            ReadBytes(bytes, 2);
            length = Load16(bytes, true);  // widened: never an undefined length
        }
    }
    if (!LittleEndian()) {
        length = ((r.mode & kModeImplicitVr) || group == kItemGroup || HasLongLength(vr))
                     ? Swap32(length)
                     : Swap16((uint16_t)length);
    }
    if (CheckStream(stream, 0) != 0) return nullptr;

    // Sequences the VR does not announce. An element of undefined length
    // whose value starts with an item is a sequence, not encapsulated pixel
    // data: private sequences in implicit-VR files, and sequences that a
    // converter without their definition stored as UN in explicit-VR files
    // (those keep their items in implicit VR little endian).
    bool unSequence = false;
    if (length == kUndefinedLength && vr == kVrUN && group != kItemGroup) {
        if (r.mode & kModeImplicitVr) {
            const DicomDictEntry* entry = dicom_find_entry(group, element);
            if ((entry == nullptr || entry->name[0] == '?') && ItemTagFollows(LittleEndian())) {
                vr = kVrSQ;
            }
        } else if (ItemTagFollows(true)) {
            vr = kVrSQ;
            unSequence = true;
        }
    }

    e.group = group;
    e.element = element;
    e.vr = vr;
    e.length = length;
    e.value = nullptr;
    e.vm = 0;
    dicom_encapsulated(false);
    if (unSequence || !SequenceAtTopLevel(stream)) dicom_sequence(false, unSequence);

    if (group == 0x0002 && element == 0x0010) {
        // The transfer syntax decides how the data set is read; the caller
        // still meets its value as usual.
        const int64_t valueStart = stream.tell();
        if (dicom_read_value(kVrUI) < 0) return nullptr;
        // A damaged file may give the element another VR; its value is then
        // raw bytes, NUL-terminated all the same.
        const char* uid = "";
        if (e.value != nullptr && IsStringVr(e.vr)) {
            if (e.vm > 0) uid = DicomValueTexts(e)[0];
        } else if (e.value != nullptr) {
            uid = static_cast<const char*>(e.value);
        }
        stream.seek(valueStart, FILE_BEGIN);
        r.syntax = dicom_transfer_syntax(uid);
        dicom_free_value(e.value);
        e.value = nullptr;
        e.vm = 0;
    }
    return &e;
}

int dicom_load_value(int32_t expected_vr) {
    DicomReader& r = g_reader;
    DicomElement& e = r.current;
    ByteStream& stream = DicomStream();
    if (e.vr == kVrUN) e.vr = expected_vr;
    if (e.vr == kVrSQ) return 0;
    if (e.length == kUndefinedLength || (e.group == kItemGroup && e.encapsulated == 0)) return 0;
    e.value = nullptr;
    if (e.length == 0) return 1;

    // A length this close to 4 GB cannot carry its four zero bytes.
    if (e.length > 0xFFFFFFFFu - 4) {
        dicom_log(3, "Out of memory");
        Rewind();
        return -2;
    }
    // A length beyond the end of the data is a damaged or truncated file;
    // refusing it here also keeps a forged length from allocating gigabytes.
    if (!stream.has_bytes(e.length)) {
        dicom_log(3, "Unexpected end of file");
        Rewind();
        return -3;
    }

    const size_t size = (size_t)e.length + 4;
    uint8_t* value;
    if (size < sizeof r.small_buffer) {
        value = reinterpret_cast<uint8_t*>(r.small_buffer);
    } else {
        value = static_cast<uint8_t*>(std::malloc(size));
        if (value == nullptr) {
            dicom_log(3, "Out of memory");
            Rewind();
            return -2;
        }
    }
    ReadBytes(value, e.length);
    std::memset(value + e.length, 0, 4);
    if (CheckStream(stream, 0) != 0) {
        dicom_free_value(value);
        return -3;
    }
    if (!LittleEndian()) {
        const unsigned unit = SwapUnit(e.vr);
        if (unit != 0) SwapInPlace(value, e.length, unit);
    }
    e.value = value;
    return 1;
}

int dicom_split_value() {
    DicomReader& r = g_reader;
    DicomElement& e = r.current;
    if (e.length == 0) {
        e.vm = 0;
        return 0;
    }
    if (e.length == kUndefinedLength) {
        e.vm = 1;
        return 0;
    }
    switch (e.vr) {
        case kVrAT: case kVrFL: case kVrSL: case kVrUL:
            e.vm = e.length / 4;
            return 0;
        case kVrFD:
            e.vm = e.length / 8;
            return 0;
        case kVrSS: case kVrUS:
            e.vm = e.length / 2;
            return 0;
        default:
            break;
    }
    if (!IsStringVr(e.vr) || e.value == nullptr) {
        e.vm = 1;
        return 0;
    }

    const uint32_t length = e.length;
    char* raw = static_cast<char*>(e.value);
    uint32_t vm = 1;
    for (const char* c = raw; (c = static_cast<const char*>(std::memchr(c, '\\', length - (c - raw))));
         ++c) {
        ++vm;
    }
    // The pointer array, the texts and one terminator. length < 4 GB and
    // vm <= length + 1, so the sum fits a 64-bit size; a 32-bit host checks.
    const uint64_t need64 = (uint64_t)vm * sizeof(char*) + length + 1;
    if (need64 > SIZE_MAX) {
        dicom_log(3, "Out of memory");
        Rewind();
        return -1;
    }
    const size_t need = (size_t)need64;
    const size_t arrayBytes = (size_t)vm * sizeof(char*);
    char* block;
    if (raw == r.small_buffer && need < sizeof r.small_buffer) {
        block = r.small_buffer;
        std::memmove(block + arrayBytes, raw, length);
    } else if (raw == r.small_buffer) {
        block = static_cast<char*>(std::malloc(need));
        if (block == nullptr) {
            dicom_log(3, "Out of memory");
            Rewind();
            return -1;
        }
        std::memcpy(block + arrayBytes, raw, length);
    } else {
        block = static_cast<char*>(std::realloc(raw, need));
        if (block == nullptr) {
            dicom_log(3, "Out of memory");  // the old block stays the value
            Rewind();
            return -1;
        }
        std::memmove(block + arrayBytes, block, length);
    }
    SplitTexts(block, arrayBytes, length, vm);
    e.value = block;
    e.vm = vm;
    return 0;
}

void dicom_clean_text() {
    DicomElement& e = g_reader.current;
    if (!IsStringVr(e.vr) || e.value == nullptr || e.length == kUndefinedLength) return;
    char** texts = DicomValueTexts(e);
    for (uint32_t i = 0; i < e.vm; ++i) {
        char* text = texts[i];
        if (e.vr == kVrPN) {
            for (char* c = text; *c != '\0'; ++c) {
                if (*c == '^') *c = ' ';
            }
        }
        while (*text == ' ' || *text == '\t') ++text;
        size_t end = std::strlen(text);
        while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) text[--end] = '\0';
        texts[i] = text;
    }
}

namespace {

// dicom_load_value and dicom_split_value at once for the commonest values:
// short ones lying whole in the read window, with no failure pending. They
// go into the shared buffer as those two would leave them, to the byte, with
// fewer calls and checks; a text's separators are counted in the window and
// the text is copied once, straight behind its pointer array, instead of
// being read first and then moved there. False: not such a value, nothing
// done.
bool ReadSmallValue(int32_t expected_vr) {
    DicomReader& r = g_reader;
    DicomElement& e = r.current;
    ByteStream& stream = DicomStream();
    const int32_t vr = e.vr == kVrUN ? expected_vr : e.vr;
    const uint32_t length = e.length;
    if (vr == kVrSQ || length == kUndefinedLength || e.group == kItemGroup || r.short_read ||
        stream.has_failed()) {
        return false;
    }
    if (length == 0) {
        e.vr = vr;
        e.value = nullptr;
        e.vm = 0;
        return true;
    }
    if (length >= sizeof r.small_buffer - 4) return false;  // its four zero bytes must fit too
    const BYTE* raw = stream.peek(length);
    if (raw == nullptr) return false;

    if (!IsStringVr(vr)) {
        uint8_t* value = reinterpret_cast<uint8_t*>(r.small_buffer);
        std::memcpy(value, raw, length);
        std::memset(value + length, 0, 4);
        stream.advance(length);
        e.vr = vr;
        if (!LittleEndian()) {
            const unsigned unit = SwapUnit(vr);
            if (unit != 0) SwapInPlace(value, length, unit);
        }
        e.value = value;
        switch (vr) {
            case kVrAT: case kVrFL: case kVrSL: case kVrUL:
                e.vm = length / 4;
                break;
            case kVrFD:
                e.vm = length / 8;
                break;
            case kVrSS: case kVrUS:
                e.vm = length / 2;
                break;
            default:
                e.vm = 1;
                break;
        }
        return true;
    }

    uint32_t vm = 1;
    for (const BYTE* c = raw; (c = static_cast<const BYTE*>(std::memchr(c, '\\', length - (c - raw))));
         ++c) {
        ++vm;
    }
    const size_t arrayBytes = (size_t)vm * sizeof(char*);
    if (arrayBytes + length + 1 >= sizeof r.small_buffer) return false;

    e.vr = vr;
    char* block = r.small_buffer;
    std::memcpy(block + arrayBytes, raw, length);
    stream.advance(length);
    SplitTexts(block, arrayBytes, length, vm);
    e.value = block;
    e.vm = vm;
    return true;
}

}  // namespace

int dicom_read_value(int32_t expected_vr) {
    if (ReadSmallValue(expected_vr)) return 0;
    const int loaded = dicom_load_value(expected_vr);
    if (loaded < 0) return loaded;
    if (loaded == 1 && dicom_split_value() < 0) {
        DicomElement& e = g_reader.current;
        dicom_free_value(e.value);
        e.value = nullptr;
        return -1;
    }
    return 0;
}

int dicom_skip_value() {
    ByteStream& stream = DicomStream();
    const DicomElement& e = g_reader.current;
    if (stream.kind == kStreamNone) return -1;
    if (e.vr == kVrSQ || e.length == kUndefinedLength ||
        (e.group == kItemGroup && e.encapsulated == 0)) {
        return 0;
    }
    // Seeking past the end would succeed and hide the damage until the next
    // header; a value that does not fit is the end of the data now.
    if (!stream.has_bytes(e.length)) {
        dicom_log(3, "Unexpected end of file");
        Rewind();
        return -2;
    }
    stream.seek(e.length, FILE_CURRENT);
    return dicom_check(0);
}

void dicom_free_value(void* value) {
    if (value != nullptr && value != g_reader.small_buffer) std::free(value);
}
