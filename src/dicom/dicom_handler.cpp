// The DICOM format handler: the attribute scan, the LUT palette, the frame
// source with its frame offsets and display adjustment, and the load.
#include "dicom/dicom_handler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "dicom/dicom_image_info.h"
#include "dicom/dicom_reader.h"
#include "dicom/frame_decoders.h"
#include "image/file_type_table.h"
#include "image/image_library.h"
#include "image/image_memory.h"

namespace {

DicomImageInfo g_info;

// Slot offsets are 32-bit stream positions; a frame source never holds
// more slots than the image library allocates.
constexpr uint64_t kMaxOffset = 0xFFFFFFFFu;
constexpr int kMaxFrames = 1 << 20;

constexpr uint16_t kItemGroup = 0xFFFE;
constexpr uint16_t kItem = 0xE000;

// The photometric names by index, compared over each name's own length.
constexpr const char* kPhotometricNames[] = {
    "MONOCHROME2", "MONOCHROME1", "PALETTE COLOR", "RGB", "HSV", "ARGB", "CMYK",
};

bool IsStringVr(int32_t vr) {
    switch (vr) {
        case kVrAE: case kVrAS: case kVrCS: case kVrDA: case kVrDS: case kVrDT:
        case kVrIS: case kVrLO: case kVrPN: case kVrSH: case kVrTM: case kVrUI:
            return true;
        default:
            return false;
    }
}

// The first text of a value: the first split text of a string VR, else the
// raw bytes (the reader ends every value with zero bytes).
const char* FirstText(const DicomElement& e) {
    if (e.value == nullptr) return "";
    if (IsStringVr(e.vr)) return e.vm > 0 ? DicomValueTexts(e)[0] : "";
    return static_cast<const char*>(e.value);
}

// The 16-bit word `index` of a binary value (host order: the reader swaps
// big-endian US and SS values); a value written as text by a damaged file
// gives its number instead.
bool ValueWord(const DicomElement& e, uint32_t index, uint16_t* out) {
    if (e.value == nullptr) return false;
    if (IsStringVr(e.vr)) {
        if (index >= e.vm) return false;
        *out = (uint16_t)std::strtol(DicomValueTexts(e)[index], nullptr, 10);
        return true;
    }
    if (e.length < 2 * (uint64_t)index + 2) return false;
    std::memcpy(out, static_cast<const uint8_t*>(e.value) + 2 * index, 2);
    return true;
}

// Window and rescale values: a text with a decimal point is a decimal
// number, any other its leading integer. Some writers use an exponent
// ("1E-3") without a point; those are read as decimal numbers too.
bool ParseNumber(const char* text, float* out) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '\0') return false;  // nothing but padding: the default stays
    if (std::strpbrk(text, ".eE") != nullptr) {
        *out = (float)std::strtod(text, nullptr);
    } else {
        *out = (float)std::strtol(text, nullptr, 10);
    }
    if (!std::isfinite(*out)) *out = 0.0f;
    return true;
}

uint32_t MatchPhotometric(const char* value, uint8_t* ybr) {
    *ybr = kYbrNone;
    for (uint32_t i = 0; i < sizeof kPhotometricNames / sizeof kPhotometricNames[0]; ++i) {
        const char* name = kPhotometricNames[i];
        if (std::strncmp(value, name, std::strlen(name)) == 0) return i;
    }
    // Luminance-chrominance data keeps the index of an unknown value; the
    // decoders learn it from the frame source. The 4:2:2 name begins with
    // the full one, so it is tried first.
    if (std::strncmp(value, "YBR_FULL_422", 12) == 0) {
        *ybr = kYbrFull422;
    } else if (std::strncmp(value, "YBR_FULL", 8) == 0) {
        *ybr = kYbrFull;
    } else {
        dicom_log(4, "Unknown PhotometricInterpretation");
    }
    return kPhotometricUnknown;
}

void FreeLutData(LutDescriptor* lut) {
    std::free(lut->data);
    lut->data = nullptr;
    lut->dataBytes = 0;
}

// Reads and stores one attribute of group 0028. False when the read failed
// (which ends the scan like the end of the data).
bool ReadImageAttribute(DicomElement* e) {
    DicomImageInfo& info = g_info;
    const uint16_t element = e->element;
    int32_t expected;
    switch (element) {
        case 0x0002: case 0x0006: case 0x0010: case 0x0011: case 0x0100: case 0x0101:
        case 0x0102: case 0x0103: case 0x0106: case 0x0107:
        case 0x1101: case 0x1102: case 0x1103:
        case 0x1201: case 0x1202: case 0x1203:
            expected = kVrUS;
            break;
        case 0x0004:
            expected = kVrCS;
            break;
        case 0x0008:
            expected = kVrIS;
            break;
        case 0x1050: case 0x1051: case 0x1052: case 0x1053:
            // Read as text even in implicit-VR data, so that the values are split.
            expected = kVrCS;
            break;
        default:
            return dicom_skip_value() == 0;
    }
    if (dicom_read_value(expected) < 0) return false;
    if (e->value == nullptr) return true;  // empty: the default stays

    uint16_t word = 0;
    switch (element) {
        case 0x0002: if (ValueWord(*e, 0, &word)) info.samplesPerPixel = word; break;
        case 0x0006: if (ValueWord(*e, 0, &word)) info.planarConfiguration = word; break;
        case 0x0010: if (ValueWord(*e, 0, &word)) info.rows = word; break;
        case 0x0011: if (ValueWord(*e, 0, &word)) info.columns = word; break;
        case 0x0100: if (ValueWord(*e, 0, &word)) info.bitsAllocated = word; break;
        case 0x0101: if (ValueWord(*e, 0, &word)) info.bitsStored = word; break;
        case 0x0102: if (ValueWord(*e, 0, &word)) info.highBit = word; break;
        case 0x0103: if (ValueWord(*e, 0, &word)) info.pixelRepresentation = word; break;
        case 0x0106:
        case 0x0107:
            if (ValueWord(*e, 0, &word)) {
                // Signed images store these as SS: a value above 32767 is
                // then a negative one.
                const bool isSigned = info.pixelRepresentation == 1 || e->vr == kVrSS;
                const int32_t v = isSigned ? (int32_t)(int16_t)word : (int32_t)word;
                (element == 0x0106 ? info.smallest : info.largest) = v;
            }
            break;
        case 0x0004:
            dicom_clean_text();
            info.photometric = MatchPhotometric(FirstText(*e), &info.ybr);
            break;
        case 0x0008: {
            dicom_clean_text();
            const long frames = std::strtol(FirstText(*e), nullptr, 10);
            info.frameCount = frames > INT32_MAX ? INT32_MAX : frames < INT32_MIN ? INT32_MIN
                                                                                   : (int32_t)frames;
            break;
        }
        case 0x1050: case 0x1051: case 0x1052: case 0x1053: {
            float v;
            if (ParseNumber(FirstText(*e), &v)) {
                float* fields[] = {&info.windowCenter, &info.windowWidth, &info.rescaleIntercept,
                                   &info.rescaleSlope};
                *fields[element - 0x1050] = v;
            }
            break;
        }
        case 0x1101: case 0x1102: case 0x1103: {
            LutDescriptor& lut = info.lut[element - 0x1101];
            uint16_t entries, first, bits;
            if (e->vm != 3 || !ValueWord(*e, 0, &entries) || !ValueWord(*e, 1, &first) ||
                !ValueWord(*e, 2, &bits)) {
                dicom_log(4, "Wrong VM for PaletteColorLookupTableDescriptor");
                break;
            }
            lut.entries = entries;
            lut.firstMapped = first;
            lut.bitsPerEntry = bits;
            break;
        }
        case 0x1201: case 0x1202: case 0x1203: {
            if (IsStringVr(e->vr)) break;  // a damaged file's text is no table
            LutDescriptor& lut = info.lut[element - 0x1201];
            FreeLutData(&lut);  // a later occurrence replaces an earlier one
            // Short values live in the reader's shared buffer, which the next
            // short value overwrites: the info keeps a copy of its own.
            void* data = e->value;
            if (data == DicomReaderState().small_buffer) {
                data = std::malloc((size_t)e->length + 4);
                if (data == nullptr) break;
                std::memcpy(data, e->value, (size_t)e->length + 4);
            } else {
                e->value = nullptr;  // the info owns it now
            }
            lut.data = static_cast<uint16_t*>(data);
            lut.dataBytes = e->length;
            break;
        }
        default:
            break;
    }
    dicom_free_value(e->value);
    e->value = nullptr;
    return true;
}

bool IsPixelData(const DicomElement& e) {
    return (e.group & 1) == 0 && e.group >= 0x7F00 && e.group <= 0x7FFE && e.element == 0x0010;
}

// Samples in one picture row as stored: 4:2:2 data holds two luminance
// samples and one pair of chrominance samples per two pixels.
uint64_t StoredRowSamples(const DicomImageInfo& info) {
    if (info.ybr == kYbrFull422 && info.samplesPerPixel == 3) {
        return ((uint64_t)info.columns + 1) / 2 * 4;
    }
    return (uint64_t)info.columns * info.samplesPerPixel;
}

uint64_t FrameBits(const DicomImageInfo& info) {
    return StoredRowSamples(info) * info.rows * info.bitsAllocated;
}

bool IsCompressed(int32_t syntax) {
    return syntax == JpegProcess || syntax == JpegLossless || syntax == RleLossless;
}

uint32_t Le32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

bool ReadAt(ByteStream& stream, uint64_t position, void* buffer, DWORD count) {
    DWORD got = 0;
    return stream.seek((int64_t)position, FILE_BEGIN) == (int64_t)position &&
           stream.read(buffer, count, &got) && got == count;
}

// The fragment items from `position` on, up to the sequence delimiter, the
// end of the data or anything that is no item: their positions and whether
// each begins with a JPEG start-of-image marker.
void WalkFragments(ByteStream& stream, uint64_t position, uint64_t end,
                   std::vector<uint32_t>* starts, std::vector<bool>* startsImage) {
    while (position + 8 <= end && starts->size() < (size_t)kMaxFrames) {
        uint8_t header[10];
        if (!ReadAt(stream, position, header, 8)) break;
        const uint16_t group = (uint16_t)(header[0] | (header[1] << 8));
        const uint16_t element = (uint16_t)(header[2] | (header[3] << 8));
        const uint32_t length = Le32(header + 4);
        if (group != kItemGroup || element != kItem || length == kUndefinedLength) break;
        if (position + 8 + length > end || position > kMaxOffset) break;
        DWORD got = 0;
        const bool soi = length >= 2 && stream.read(header + 8, 2, &got) && got == 2 &&
                         header[8] == 0xFF && header[9] == 0xD8;
        starts->push_back((uint32_t)position);
        startsImage->push_back(soi);
        position += 8 + (uint64_t)length;
    }
}

// The frame offsets of encapsulated pixel data whose first item (the basic
// offset table) starts at `p`. 0, or 8 for a table that disagrees with the
// frame count or points outside the data.
LoadError EncapsulatedOffsets(ByteStream& stream, uint64_t p, uint64_t end, int32_t syntax,
                              int32_t* frameCount, std::vector<uint32_t>* offsets) {
    uint8_t header[8];
    if (p + 8 > end || !ReadAt(stream, p, header, 8) ||
        header[0] != 0xFE || header[1] != 0xFF || header[2] != 0x00 || header[3] != 0xE0) {
        // No item: the offsets stay 0 and decoding the frame fails.
        offsets->assign((size_t)*frameCount, 0);
        return kLoadOk;
    }
    const uint32_t length = Le32(header + 4);
    if (length == kUndefinedLength || p + 8 + length > end) return kLoadCorrupt;
    const uint64_t first = p + 8 + length;  // the first fragment behind the table
    if (first > kMaxOffset) return kLoadCorrupt;

    if (length == 0) {
        offsets->assign(1, (uint32_t)first);
        if (*frameCount == 1) return kLoadOk;
        // Without a table, a multi-frame file shows only its first frame
        // unless the fragments themselves tell the frames apart: one fragment
        // per frame, or (JPEG) each frame's first fragment starting with its
        // start-of-image marker.
        std::vector<uint32_t> starts;
        std::vector<bool> startsImage;
        WalkFragments(stream, first, end, &starts, &startsImage);
        if ((int64_t)starts.size() == *frameCount) {
            *offsets = starts;
            return kLoadOk;
        }
        if (syntax == JpegProcess || syntax == JpegLossless) {
            std::vector<uint32_t> images;
            for (size_t i = 0; i < starts.size(); ++i) {
                if (startsImage[i]) images.push_back(starts[i]);
            }
            if ((int64_t)images.size() == *frameCount && !starts.empty() && startsImage[0]) {
                *offsets = images;
                return kLoadOk;
            }
        }
        *frameCount = 1;
        return kLoadOk;
    }

    if (length % 4 != 0 || length / 4 != (uint32_t)*frameCount) return kLoadCorrupt;
    std::vector<uint8_t> table(length);
    DWORD got = 0;
    if (!stream.read(table.data(), length, &got) || got != length) return kLoadCorrupt;
    offsets->resize((size_t)*frameCount);
    for (int32_t i = 0; i < *frameCount; ++i) {
        const uint64_t offset = first + Le32(table.data() + 4 * (size_t)i);
        // Each frame starts with an item header inside the data.
        if (offset + 8 > end || offset > kMaxOffset) return kLoadCorrupt;
        (*offsets)[(size_t)i] = (uint32_t)offset;
    }
    return kLoadOk;
}

// Saturating float-to-integer truncation (a forged window must not overflow).
int32_t TruncValue(float v) {
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) return INT32_MAX;
    if (v <= -2147483648.0f) return INT32_MIN;
    return (int32_t)v;
}

void FillAdjustment(DisplayAdjustment* a, const DicomImageInfo& info) {
    a->packedIndex = 0;
    a->packedNibble = 0;
    a->cursor = nullptr;
    a->rows = (SHORT)info.rows;
    a->columns = (SHORT)info.columns;
    a->samplesPerPixel = info.samplesPerPixel;
    a->bitsAllocated = info.bitsAllocated;
    a->bitsStored = info.bitsStored;
    a->highBit = (SHORT)info.highBit;
    a->pixelRepresentation = info.pixelRepresentation;
    a->planarConfiguration = (SHORT)info.planarConfiguration;
    a->photometric = info.photometric;
    a->fileCenter = TruncValue(info.windowCenter);
    a->fileWidth = TruncValue(info.windowWidth);
    a->rescaleIntercept = info.rescaleIntercept;
    a->rescaleSlope = info.rescaleSlope;
    a->bytesPerSample = info.bitsAllocated < 9 ? 1 : info.bitsAllocated <= 16 ? 2 : 4;
    a->smallest = info.smallest;
    a->largest = info.largest;
    const int magnitudeBits = (int)info.bitsStored - (info.pixelRepresentation == 1 ? 1 : 0);
    const int64_t n = magnitudeBits <= 0 ? 1 : magnitudeBits >= 32 ? INT64_C(1) << 32
                                                                   : INT64_C(1) << magnitudeBits;
    a->maxValue = (int32_t)std::min<int64_t>(n, INT32_MAX);
    a->minValue = info.pixelRepresentation == 1 ? (int32_t)std::max<int64_t>(-n, INT32_MIN) : 0;

    // CT files from scanners that leave the slope 0 hold 12-bit samples
    // offset by 1024.
    if (a->rescaleSlope == 0.0f && a->bitsStored == 12) {
        a->rescaleIntercept = -1024.0f;
        a->rescaleSlope = 1.0f;
    } else if (a->rescaleSlope == 0.0f) {
        // Any other slope of 0 would flatten the picture to one grey.
        a->rescaleSlope = 1.0f;
    }
    if (a->smallest == 0 && a->largest == 0) {
        a->smallest = a->minValue;
        a->largest = a->maxValue;
    }
    if (a->width == 0) {
        a->center = a->fileCenter;
        a->width = a->fileWidth;
    }
    ComputeWindowBounds(a);
}

// The 8-bit colour of LUT entry i. LUT data is 16-bit words (the colour is
// the high byte) or, when the value is only one byte per entry, bytes; the
// reader has swapped the words of big-endian files, which puts such bytes
// pairwise out of order.
struct LutReader {
    const uint8_t* bytes;
    uint32_t count;   // entries present
    bool words;       // 16-bit entries
    bool lowByte;     // 8-bit values stored one per word
    bool swapped;     // bytes of a big-endian file

    uint8_t Entry(uint32_t i) const {
        if (words) {
            uint16_t w;
            std::memcpy(&w, bytes + 2 * (size_t)i, 2);
            return lowByte ? (uint8_t)w : (uint8_t)(w >> 8);
        }
        return bytes[swapped ? (i ^ 1) : i];
    }
};

// Reads a LUT's layout; false when it has no data.
bool OpenLut(const LutDescriptor& lut, bool bigEndian, LutReader* out) {
    if (lut.data == nullptr || lut.dataBytes == 0) return false;
    const uint32_t declared = lut.entries == 0 ? 65536u : lut.entries;
    out->bytes = reinterpret_cast<const uint8_t*>(lut.data);
    out->swapped = false;
    out->lowByte = false;
    if (lut.dataBytes >= 2ull * declared) {
        out->words = true;
        out->count = declared;
    } else if (lut.dataBytes >= declared && lut.bitsPerEntry != 16) {
        out->words = false;
        out->count = declared;
        out->swapped = bigEndian;
    } else if (lut.bitsPerEntry == 16) {
        // Shorter than it says: only the entries present are used.
        out->words = true;
        out->count = lut.dataBytes / 2;
    } else {
        out->words = false;
        out->count = lut.dataBytes;
        out->swapped = bigEndian;
    }
    if (out->count == 0) return false;
    if (out->words && lut.bitsPerEntry == 8) {
        // Some writers put 8-bit entries into 16-bit words unscaled.
        bool small = true;
        for (uint32_t i = 0; i < out->count && small; ++i) {
            uint16_t w;
            std::memcpy(&w, out->bytes + 2 * (size_t)i, 2);
            small = w <= 255;
        }
        out->lowByte = small;
    }
    return true;
}

bool AllLutsOpen(const DicomImageInfo& info, LutReader readers[3]) {
    const bool bigEndian = info.syntax == ExplicitVrBigEndian;
    for (int c = 0; c < 3; ++c) {
        if (!OpenLut(info.lut[c], bigEndian, &readers[c])) return false;
    }
    return true;
}

// Whether the samples go through the three LUTs into a 24-bit image: any
// palette that the 8-bit colour table cannot carry.
bool UsesLutColour(const DicomImageInfo& info) {
    if (info.photometric != kPhotometricPalette || info.samplesPerPixel != 1) return false;
    LutReader readers[3];
    if (!AllLutsOpen(info, readers)) return false;
    RGBQUAD unused[256];
    return BuildLutPalette(info, unused) == 0;
}

FrameFetchFn FetchFor(int32_t syntax) {
    switch (syntax) {
        case JpegProcess: return FetchJpegFrame;
        case JpegLossless: return FetchLosslessFrame;
        case RleLossless: return FetchRleFrame;
        case UnknownSyntax: return nullptr;
        default: return FetchRawFrame;
    }
}

size_t AlignUp(size_t n) {
    return (n + 7) & ~(size_t)7;
}

}  // namespace

DicomImageInfo* ScanImageAttributes() {
    ReleaseImageAttributes();
    DicomImageInfo& info = g_info;
    info.frameCount = 1;
    info.samplesPerPixel = 1;
    info.rescaleSlope = 1.0f;
    info.syntax = UnknownSyntax;

    while (!AbortFlagSet()) {
        DicomElement* e = dicom_next_element();
        if (e == nullptr) break;
        // Attributes and pixel data inside sequences belong to other
        // pictures (icon images, referenced frames): only the data set's own
        // count.
        if (e->group == 0x0028 && e->depth == 0) {
            if (!ReadImageAttribute(e)) break;
            continue;
        }
        if (IsPixelData(*e) && e->depth == 0) {
            info.syntax = DicomReaderState().syntax;
            info.pixelLength = e->length;
            if (IsCompressed(info.syntax)) {
                info.pixelVr = e->vr;
                return &info;
            }
            if (e->vr == kVrOB && info.bitsAllocated == 16) {
                dicom_log(4, "Incorrect OB value representation (fixed)");
                e->vr = kVrOW;
            }
            info.pixelVr = e->vr;
            if (e->length == kUndefinedLength) break;
            const uint64_t bits = FrameBits(info) * (uint64_t)(info.frameCount > 0 ? info.frameCount : 0);
            const uint64_t expected = (bits + 7) / 8;
            // Odd-length data carries one padding byte.
            if (e->length != expected && !(expected % 2 == 1 && e->length == expected + 1)) {
                dicom_log(4, "Incorrect PixelData length");
            }
            return &info;
        }
        if (dicom_skip_value() != 0) break;
    }
    ReleaseImageAttributes();
    return nullptr;
}

void ReleaseImageAttributes() {
    for (LutDescriptor& lut : g_info.lut) FreeLutData(&lut);
    g_info = DicomImageInfo{};
}

int BuildLutPalette(const DicomImageInfo& info, RGBQUAD entries[256]) {
    // Samples wider than a byte cannot index an 8-bit colour table.
    if (info.photometric != kPhotometricPalette || info.bitsAllocated > 8) return 0;
    const uint16_t count = info.lut[0].entries;
    if (count == 0 || count > 256 || info.lut[1].entries != count || info.lut[2].entries != count) {
        return 0;
    }
    LutReader readers[3];
    if (!AllLutsOpen(info, readers)) return 0;
    for (uint32_t i = 0; i < count; ++i) {
        // A table shorter than its descriptor repeats its last entry.
        auto at = [&](int c) { return readers[c].Entry(std::min(i, readers[c].count - 1)); };
        entries[i] = RGBQUAD{at(2), at(1), at(0), 0};
    }
    return count;
}

LoadError BuildFrameSource(RImage* image, DicomImageInfo* info) {
    if (info->frameCount < 1 || info->frameCount > kMaxFrames) return kLoadCorrupt;
    const FrameFetchFn fetch = FetchFor(info->syntax);
    if (fetch == nullptr) return kLoadCorrupt;
    if (info->rows == 0 || info->columns == 0 || info->samplesPerPixel == 0 ||
        info->samplesPerPixel > 4) {
        return kLoadCorrupt;
    }
    // Files that leave Bits Stored out, or claim more than is allocated.
    if (info->bitsStored == 0 || info->bitsStored > info->bitsAllocated) {
        info->bitsStored = info->bitsAllocated;
    }
    const bool compressed = IsCompressed(info->syntax);
    if (!compressed) {
        const uint16_t bits = info->bitsAllocated;
        if (bits != 1 && bits != 8 && bits != 12 && bits != 16 && bits != 32) return kLoadCorrupt;
        if (bits == 1 && info->samplesPerPixel != 1) return kLoadCorrupt;
    } else if (info->bitsAllocated == 0 || info->bitsAllocated > 16) {
        return kLoadCorrupt;
    }
    // 4:2:2 luminance-chrominance data pairs its pixels; other colour
    // layouts of it are not defined.
    if (info->ybr == kYbrFull422 && info->samplesPerPixel != 3) info->ybr = kYbrNone;

    const bool lutColour = UsesLutColour(*info);
    int bitsPerPixel;
    const uint32_t ph = info->photometric;
    if (ph == kPhotometricRgb || ph == kPhotometricHsv || ph == kPhotometricCmyk || lutColour) {
        bitsPerPixel = 24;
    } else {
        bitsPerPixel = info->samplesPerPixel < 3 ? 8 : 24;
    }

    ByteStream& stream = DicomStream();
    const int64_t here = stream.tell();
    const int64_t size = stream.size();
    if (here < 0) return kLoadCorrupt;
    // Without a known size (a remote resource that cannot tell) nothing
    // lies beyond the 32-bit offsets.
    const uint64_t end = size >= 0 ? (uint64_t)size : kMaxOffset;
    const uint64_t p = (uint64_t)here;

    int32_t frameCount = info->frameCount;
    std::vector<uint32_t> offsets;
    uint64_t frameBits = 0;
    if (compressed) {
        const LoadError result = EncapsulatedOffsets(stream, p, end, info->syntax, &frameCount,
                                                     &offsets);
        if (result != kLoadOk) return result;
    } else {
        frameBits = FrameBits(*info);
        const uint64_t firstFrameBytes = (frameBits + 7) / 8;
        // A picture bigger than the file is a damaged or forged header:
        // refused before anything of its size is allocated.
        if (p + firstFrameBytes > end || p > kMaxOffset) return kLoadCorrupt;
        // Frames the file does not hold are dropped (a truncated cine shows
        // what it has).
        const uint64_t available = (end - p) * 8 / frameBits;
        if ((uint64_t)frameCount > available) frameCount = (int32_t)available;
        offsets.resize((size_t)frameCount);
        for (int32_t i = 0; i < frameCount; ++i) {
            const uint64_t offset = p + (uint64_t)i * frameBits / 8;
            if (offset > kMaxOffset) return kLoadCorrupt;
            offsets[(size_t)i] = (uint32_t)offset;
        }
    }

    // One block: the record, its slots, the DICOM part and the LUT tables.
    LutReader readers[3];
    uint32_t lutBytes = 0;
    if (lutColour) {
        AllLutsOpen(*info, readers);
        for (const LutReader& r : readers) lutBytes += r.count;
    }
    const size_t dataOffset = AlignUp(sizeof(FrameSource) + sizeof(FrameSlot) * (size_t)frameCount);
    const size_t total = dataOffset + sizeof(DicomSourceData) + lutBytes;
    auto* source = static_cast<FrameSource*>(ImageAllocate(total));
    if (source == nullptr) return kLoadOutOfMemory;
    auto* data = reinterpret_cast<DicomSourceData*>(reinterpret_cast<BYTE*>(source) + dataOffset);

    source->fetch = fetch;
    source->frameDelay = 250;
    source->width = info->columns;
    source->height = info->rows;
    source->bitsPerPixel = bitsPerPixel;
    FrameSlot* slots = source->Slots();
    for (int32_t i = 0; i < frameCount; ++i) slots[i].offset = offsets[(size_t)i];

    data->magic = kDicomSourceMagic;
    data->syntax = info->syntax;
    data->bigEndian = info->syntax == ExplicitVrBigEndian;
    data->ybr = info->ybr;
    data->lutColour = lutColour;
    data->frameBits = frameBits;
    data->frameBytes = (frameBits + 7) / 8;
    data->dataStart = p;
    if (lutColour) {
        uint32_t tableOffset = (uint32_t)sizeof(DicomSourceData);
        const bool signedSamples = info->pixelRepresentation == 1;
        for (int c = 0; c < 3; ++c) {
            ColourLut& lut = data->lut[c];
            lut.count = readers[c].count;
            lut.first = signedSamples ? (int16_t)info->lut[c].firstMapped : info->lut[c].firstMapped;
            lut.tableOffset = tableOffset;
            BYTE* table = reinterpret_cast<BYTE*>(data) + tableOffset;
            for (uint32_t i = 0; i < lut.count; ++i) table[i] = readers[c].Entry(i);
            tableOffset += lut.count;
        }
    }

    InitAdjustment(&data->fileAdjustment);
    FillAdjustment(&data->fileAdjustment, *info);
    if (image->adjustment != nullptr) FillAdjustment(image->adjustment, *info);

    if (image->frameSource != nullptr) FreeFrameSource(image->frameSource);
    image->frameSource = source;
    source->frameCount = frameCount;  // last: the source is complete now
    return kLoadOk;
}

DicomSourceData* DicomSourceOf(FrameSource* source) {
    if (source == nullptr || source->frameCount < 1) return nullptr;
    if (source->fetch != FetchRawFrame && source->fetch != FetchJpegFrame &&
        source->fetch != FetchLosslessFrame && source->fetch != FetchRleFrame) {
        return nullptr;
    }
    const size_t dataOffset =
        AlignUp(sizeof(FrameSource) + sizeof(FrameSlot) * (size_t)source->frameCount);
    auto* data = reinterpret_cast<DicomSourceData*>(reinterpret_cast<BYTE*>(source) + dataOffset);
    return data->magic == kDicomSourceMagic ? data : nullptr;
}

DicomHandler::DicomHandler() {
    DicomStream().attach_file(nullptr);
}

LoadError DicomHandler::Load(HANDLE file, DWORD /*flags*/) {
    ByteStream& stream = DicomStream();
    if (stream.kind == kStreamLocalFile) stream.attach_file(file);
    ClearAbortFlag();
    stream.seek(0, FILE_BEGIN);
    if (dicom_open() != 0) return kLoadNoHandler;

    DicomImageInfo* info = ScanImageAttributes();
    if (info == nullptr) return AbortFlagSet() ? kLoadAborted : kLoadCorrupt;
    if (AbortFlagSet()) {
        ReleaseImageAttributes();
        return kLoadAborted;
    }

    RGBQUAD palette[256];
    const int paletteEntries = BuildLutPalette(*info, palette);
    LoadError result = BuildFrameSource(&image_, info);
    ReleaseImageAttributes();
    if (result != kLoadOk) return result;

    // Creating the image releases the handler's image, frame source and
    // all: the source waits aside meanwhile.
    FrameSource* source = image_.frameSource;
    image_.frameSource = nullptr;
    if (!CreatePlain(source->width, source->height, source->bitsPerPixel,
                     paletteEntries > 0 ? palette : nullptr, paletteEntries)) {
        FreeFrameSource(source);
        return kLoadOutOfMemory;
    }
    image_.frameSource = source;

    FrameSlot* slots = source->Slots();
    for (int i = 0; i < source->frameCount; ++i) slots[i].byteSize = image_.header->biSizeImage;
    slots[0].pixels = image_.pixels;
    const DWORD start = GetTickCount();
    const int fetched = source->fetch(file, source, image_.adjustment, 0);
    slots[0].pixels = nullptr;
    const DWORD spent = GetTickCount() - start;
    source->frameDelay = spent < source->frameDelay ? source->frameDelay - spent : 0;
    return fetched < 0 ? kLoadCorrupt : (LoadError)fetched;
}

void InstallDicomHandler() {
    RegisterFormatHandler(kFormatDicom, []() -> FormatHandler* {
        return new (std::nothrow) DicomHandler;
    });
}
