// Parses the binary .res format through one bounded reader: every field read
// checks what is left, so a truncated or lying file ends with an error code.
#include "res/res_file.h"

#include <cstring>

namespace platform {
namespace {

// Cursor over [begin, end). Each read fails instead of running past the end.
class ByteReader {
public:
    ByteReader(const uint8_t* begin, size_t size) : begin_(begin), size_(size) {}

    size_t Offset() const { return offset_; }
    size_t Left() const { return size_ - offset_; }
    const uint8_t* Here() const { return begin_ + offset_; }

    bool Skip(size_t count) {
        if (count > Left()) return false;
        offset_ += count;
        return true;
    }
    bool ReadWord(uint16_t* value) {
        if (Left() < 2) return false;
        *value = static_cast<uint16_t>(Here()[0] | (Here()[1] << 8));
        offset_ += 2;
        return true;
    }
    bool ReadDword(uint32_t* value) {
        if (Left() < 4) return false;
        *value = static_cast<uint32_t>(Here()[0]) | (static_cast<uint32_t>(Here()[1]) << 8) |
                 (static_cast<uint32_t>(Here()[2]) << 16) | (static_cast<uint32_t>(Here()[3]) << 24);
        offset_ += 4;
        return true;
    }
    // Moves to the next multiple of four from the start of the buffer.
    bool AlignDword() { return Skip((4 - (offset_ & 3)) & 3); }

private:
    const uint8_t* begin_;
    size_t size_;
    size_t offset_ = 0;
};

// 0xFFFF followed by an id, or a NUL-terminated UTF-16 string.
ResError ReadName(ByteReader& reader, ResName* name) {
    uint16_t first;
    if (!reader.ReadWord(&first)) return ResError::kTruncated;
    if (first == 0xFFFF) {
        if (!reader.ReadWord(&name->id)) return ResError::kTruncated;
        return ResError::kOk;
    }
    name->id = 0;
    name->text.clear();
    for (uint16_t c = first; c != 0;) {
        name->text.push_back(static_cast<char16_t>(c));
        if (!reader.ReadWord(&c)) return ResError::kBadName;
    }
    return name->text.empty() ? ResError::kBadName : ResError::kOk;
}

// The fixed tail of a header after type and name: data version, memory flags,
// language, version, characteristics.
constexpr size_t kHeaderTail = 4 + 2 + 2 + 4 + 4;
constexpr size_t kMinHeader = 4 + 4 + 4 + 4 + kHeaderTail;

}  // namespace

const char* ResErrorText(ResError error) {
    switch (error) {
        case ResError::kOk: return "no error";
        case ResError::kTruncated: return "resource entry runs past the end of the file";
        case ResError::kBadHeader: return "resource header sizes are inconsistent";
        case ResError::kBadName: return "resource type or name is malformed";
        case ResError::kNotResFile: return "not a binary resource file";
    }
    return "unknown resource error";
}

ResError ParseResFile(const uint8_t* data, size_t size, std::vector<ResEntry>* entries) {
    entries->clear();
    if (!data || size < kMinHeader) return ResError::kNotResFile;
    ByteReader reader(data, size);
    bool first = true;
    while (reader.Left() > 0) {
        size_t start = reader.Offset();
        uint32_t dataSize, headerSize;
        if (!reader.ReadDword(&dataSize) || !reader.ReadDword(&headerSize)) return ResError::kTruncated;
        if (headerSize < kMinHeader) return ResError::kBadHeader;
        if (headerSize > reader.Left() + 8) return ResError::kTruncated;
        // The header is read inside its own bounds, so names cannot spill into the data.
        ByteReader header(data + start, headerSize);
        header.Skip(8);
        ResEntry entry;
        if (ResError e = ReadName(header, &entry.type); e != ResError::kOk) {
            return e == ResError::kTruncated ? ResError::kBadHeader : e;
        }
        if (ResError e = ReadName(header, &entry.name); e != ResError::kOk) {
            return e == ResError::kTruncated ? ResError::kBadHeader : e;
        }
        uint32_t dataVersion, version, characteristics;
        uint16_t memoryFlags;
        if (!header.AlignDword() || !header.ReadDword(&dataVersion) || !header.ReadWord(&memoryFlags) ||
            !header.ReadWord(&entry.language) || !header.ReadDword(&version) ||
            !header.ReadDword(&characteristics)) {
            return ResError::kBadHeader;
        }
        if (!reader.Skip(headerSize - 8)) return ResError::kTruncated;
        if (dataSize > reader.Left()) return ResError::kTruncated;
        entry.data = reader.Here();
        entry.size = dataSize;
        reader.Skip(dataSize);
        // The last entry's padding may be missing in files cut at the data's end.
        if (reader.Left() > 0 && !reader.AlignDword()) return ResError::kTruncated;
        if (first) {
            // Every .res opens with an empty entry of type 0 and name 0, which
            // tells it from a 16-bit .res file.
            if (dataSize != 0 || entry.type.id != 0 || !entry.type.text.empty() || entry.name.id != 0 ||
                !entry.name.text.empty()) {
                return ResError::kNotResFile;
            }
            first = false;
            continue;
        }
        if (entry.type.id == 0 && entry.type.text.empty()) continue;  // further padding entries
        entries->push_back(std::move(entry));
    }
    return ResError::kOk;
}

}  // namespace platform
