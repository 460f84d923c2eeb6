// The GIF decoder: block parser, LZW expansion and the interlacing row writer.
#include "gif_codec.h"

#include <cstring>
#include <new>

#include "image_memory.h"

namespace {

constexpr size_t kReadBufferSize = 16 * 1024;  // file data are read in 16 KB chunks
constexpr int kMaxCodes = 4096;                // 12-bit LZW codes
constexpr int kMaxCodeSize = 12;
constexpr BYTE kExtensionIntroducer = 0x21;
constexpr BYTE kImageSeparator = 0x2C;
constexpr BYTE kGraphicControlLabel = 0xF9;

inline int U16(const BYTE* p) { return p[0] | (p[1] << 8); }

// The 16 KB buffered reader over the file handle. ReadByte returns -1 once
// the file is exhausted (or a read fails), so every loop fed by it ends at
// the end of the file.
class GifReader {
public:
    explicit GifReader(HANDLE file) : file_(file) {}

    int ReadByte() {
        if (next_ < end_) return buffer_[next_++];
        return Refill() ? buffer_[next_++] : -1;
    }
    // Reads up to `count` bytes; returns how many arrived.
    size_t Read(BYTE* destination, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (next_ == end_ && !Refill()) break;
            size_t n = end_ - next_;
            if (n > count - done) n = count - done;
            std::memcpy(destination + done, buffer_ + next_, n);
            next_ += n;
            done += n;
        }
        return done;
    }
    // Skips `count` bytes; false when the file ended first.
    bool Skip(size_t count) {
        while (count > 0) {
            if (next_ == end_ && !Refill()) return false;
            size_t n = end_ - next_;
            if (n > count) n = count;
            next_ += n;
            count -= n;
        }
        return true;
    }
    // Skips data sub-blocks up to and including a zero-length one.
    void SkipSubBlocks() {
        for (;;) {
            int length = ReadByte();
            if (length <= 0 || !Skip(static_cast<size_t>(length))) return;
        }
    }

private:
    bool Refill() {
        if (ended_) return false;
        DWORD got = 0;
        if (!ReadFile(file_, buffer_, kReadBufferSize, &got, nullptr) || got == 0) {
            ended_ = true;
            return false;
        }
        next_ = 0;
        end_ = got;
        return true;
    }

    HANDLE file_;
    size_t next_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    BYTE buffer_[kReadBufferSize];
};

// Puts decoded lines into the image rows. Memory row 0 is the bottom of the
// picture, so the top display row is memory row height - 1.
class RowWriter {
public:
    RowWriter(const RImage& image, bool interlaced)
        : pixels_(image.pixels),
          stride_(RowStride(image)),
          height_(image.header->biHeight),
          memoryRow_(height_ - 1),
          interlaced_(interlaced) {}

    // Writes one line of `length` bytes. False when the image is complete or
    // the load was aborted, which stops the decoding of the block.
    bool Write(const BYTE* line, int length) {
        if (AbortFlagSet()) return false;
        if (!interlaced_) {
            if (memoryRow_ < 0) return false;
            std::memcpy(pixels_ + static_cast<ptrdiff_t>(memoryRow_) * stride_, line, length);
            --memoryRow_;
            return true;
        }
        if (pass_ > 3) return false;
        std::memcpy(pixels_ + static_cast<ptrdiff_t>(height_ - displayRow_ - 1) * stride_, line, length);
        // Passes: rows 0, 8, 16, ...; 4, 12, ...; 2, 6, ...; 1, 3, 5, ...
        // After the fourth pass every row is written and the writer refuses
        // further lines, so no line can land outside the image.
        displayRow_ += step_;
        while (displayRow_ >= height_ && pass_ <= 3) {
            ++pass_;
            if (pass_ >= 2) step_ /= 2;
            displayRow_ = step_ / 2;
        }
        return true;
    }

private:
    BYTE* pixels_;
    int stride_;
    int height_;
    int memoryRow_;  // next row of a non-interlaced image
    bool interlaced_;
    int displayRow_ = 0;
    int step_ = 8;
    int pass_ = 0;
};

// The LZW tables and the code reader over the image data sub-blocks.
struct LzwDecoder {
    GifReader* in = nullptr;
    int blockLeft = 0;        // bytes left in the current sub-block
    bool dataEnded = false;   // the zero-length sub-block was read (or the file ended)
    uint32_t bits = 0;        // bit buffer, least significant bit first
    int bitCount = 0;
    int badCodes = 0;         // tolerated, never reported
    WORD prefix[kMaxCodes];
    BYTE suffix[kMaxCodes];
    BYTE stack[kMaxCodes + 2];

    int NextDataByte() {
        if (blockLeft == 0) {
            if (dataEnded) return -1;
            int length = in->ReadByte();
            if (length <= 0) {
                dataEnded = true;
                return -1;
            }
            blockLeft = length;
        }
        --blockLeft;
        int b = in->ReadByte();
        if (b < 0) dataEnded = true;
        return b;
    }

    // The next code of `size` bits, or -1 when the data ended.
    int NextCode(int size) {
        while (bitCount < size) {
            int b = NextDataByte();
            if (b < 0) return -1;
            bits |= static_cast<uint32_t>(b) << bitCount;
            bitCount += 8;
        }
        int code = static_cast<int>(bits & ((1u << size) - 1));
        bits >>= size;
        bitCount -= size;
        return code;
    }

    // Skips what is left of the image data so that the next block follows.
    void Finish() {
        if (dataEnded) return;
        if (blockLeft > 0 && !in->Skip(static_cast<size_t>(blockLeft))) return;
        in->SkipSubBlocks();
    }

    // Decodes one image block of `width` pixels per line.
    void Decode(RowWriter& rows, int width);
};

void LzwDecoder::Decode(RowWriter& rows, int width) {
    blockLeft = 0;
    dataEnded = false;
    bits = 0;
    bitCount = 0;
    const int rootSize = in->ReadByte();
    if (rootSize < 0) {
        dataEnded = true;
        return;
    }
    if (rootSize < 2 || rootSize > 9) return;
    BYTE* line = static_cast<BYTE*>(ImageAllocate(static_cast<size_t>(width) + 1));
    if (!line) return;

    const int clear = 1 << rootSize;
    const int end = clear + 1;
    const int firstFree = clear + 2;
    int codeSize = rootSize + 1;
    int slot = firstFree;
    int slotLimit = 1 << codeSize;
    int previous = -1;  // no previous code yet
    int firstChar = 0;
    int linePos = 0;
    BYTE* const stackEnd = stack + sizeof stack;

    for (;;) {
        int code = NextCode(codeSize);
        if (code < 0 || code == end) break;
        BYTE* sp = stack;
        if (code == clear || previous < 0) {
            // A stream that starts without a clear code is read as if it had
            // one (some encoders omit it).
            if (code == clear) {
                codeSize = rootSize + 1;
                slot = firstFree;
                slotLimit = 1 << codeSize;
                do {
                    code = NextCode(codeSize);
                } while (code == clear);
                if (code < 0 || code == end) break;
            }
            if (code >= slot) code = 0;
            previous = code;
            firstChar = code;
            *sp++ = static_cast<BYTE>(code);
        } else {
            int expand = code;
            if (expand >= slot) {
                if (expand > slot) ++badCodes;
                expand = previous;
                *sp++ = static_cast<BYTE>(firstChar);
            }
            // Hostile data can make the prefix chain wander; the stack bound
            // ends such a chain instead of overrunning.
            while (expand >= firstFree && sp < stackEnd - 1) {
                *sp++ = suffix[expand];
                expand = prefix[expand];
            }
            *sp++ = static_cast<BYTE>(expand);
            firstChar = expand & 0xFF;
            if (slot < slotLimit) {
                suffix[slot] = static_cast<BYTE>(firstChar);
                prefix[slot] = static_cast<WORD>(previous);
                ++slot;
            }
            if (slot >= slotLimit && codeSize < kMaxCodeSize) {
                slotLimit <<= 1;
                ++codeSize;
            }
            previous = code;
        }
        bool stop = false;
        while (sp > stack) {
            line[linePos++] = *--sp;
            if (linePos == width) {
                linePos = 0;
                if (!rows.Write(line, width)) {
                    stop = true;
                    break;
                }
            }
        }
        if (stop) {
            linePos = 0;
            break;
        }
    }
    if (linePos > 0) rows.Write(line, linePos);
    ImageFree(line);
}

// Everything one load needs beyond the handler: reader and LZW tables.
struct GifState {
    explicit GifState(HANDLE file) : reader(file) {}
    GifReader reader;
    LzwDecoder lzw;
    BYTE triples[256][3] = {};
    int entryCount = 0;
};

const RGBQUAD kWhite = {255, 255, 255, 0};

bool IsWhite(const BYTE* t) { return t[0] == 255 && t[1] == 255 && t[2] == 255; }

}  // namespace

LoadError GifHandler::Save(HANDLE, const RImage&) { return kLoadOutOfMemory; }

LoadError GifHandler::Load(HANDLE file, DWORD /*flags*/) {
    ClearAbortFlag();
    void* memory = ImageAllocate(sizeof(GifState));
    if (!memory) return kLoadOutOfMemory;
    GifState* state = new (memory) GifState(file);
    struct Release {
        GifState* state;
        ~Release() {
            state->~GifState();
            ImageFree(state);
        }
    } release{state};
    GifReader& in = state->reader;

    BYTE header[13] = {};
    size_t got = in.Read(header, sizeof header);
    auto upper = [](BYTE c) { return static_cast<BYTE>(c >= 'a' && c <= 'z' ? c - 32 : c); };
    if (got < 4 || upper(header[0]) != 'G' || upper(header[1]) != 'I' || upper(header[2]) != 'F' ||
        header[3] != '8') {
        return kLoadUnsupportedVersion;
    }
    // Every new image block resets the record, so the text is put in last.
    WCHAR formatText[32];
    wsprintfW(formatText, u"Ver.%c%c%c - LZW compression", u'8', static_cast<WCHAR>(header[4]),
              static_cast<WCHAR>(header[5]));
    if (got < sizeof header) return kLoadCorrupt;

    const bool globalTable = (header[10] & 0x80) != 0;
    state->entryCount = 2 << (header[10] & 7);
    if (globalTable) in.Read(&state->triples[0][0], static_cast<size_t>(state->entryCount) * 3);

    for (;;) {
        if (AbortFlagSet()) return kLoadAborted;
        int introducer = in.ReadByte();
        if (introducer < 0) break;
        if (introducer == kExtensionIntroducer) {
            int label = in.ReadByte();
            if (label < 0) return kLoadCorrupt;
            if (label == kGraphicControlLabel) {
                int size = in.ReadByte();
                if (size < 0) return kLoadCorrupt;
                BYTE control[4];
                if (size != 4 || in.Read(control, 4) != 4) return kLoadCorrupt;
                if (control[0] & 1) transparentIndex_ = control[3];
            }
            in.SkipSubBlocks();
            continue;
        }
        if (introducer != kImageSeparator) break;  // the trailer, or anything unknown

        BYTE descriptor[9];
        if (in.Read(descriptor, sizeof descriptor) != sizeof descriptor) break;
        const int width = U16(descriptor + 4);
        const int height = U16(descriptor + 6);
        const BYTE flags = descriptor[8];
        // A block without pixels, or one too large for an image record,
        // cannot be shown.
        if (width == 0 || height == 0 || DibImageSize(width, height, 8) < 0) return kLoadCorrupt;
        const bool localTable = (flags & 0x80) != 0;
        if (localTable) {
            state->entryCount = 2 << (flags & 7);
            size_t bytes = static_cast<size_t>(state->entryCount) * 3;
            size_t read = in.Read(&state->triples[0][0], bytes);
            std::memset(&state->triples[0][0] + read, 0, bytes - read);
        }
        bool created;
        if (localTable || globalTable) {
            RGBQUAD colours[256];
            const int count = state->entryCount;
            bool anyWhite = false;
            for (int i = 0; i < count; ++i) {
                const BYTE* t = state->triples[i];
                colours[i] = {t[2], t[1], t[0], 0};
                anyWhite = anyWhite || IsWhite(t);
            }
            // The transparent colour shows as white, like every entry the
            // file does not define; a full table without white gives up its
            // last entry for it.
            if (transparentIndex_ != -1) colours[transparentIndex_] = kWhite;
            for (int i = count; i < 256; ++i) colours[i] = kWhite;
            if (!anyWhite) colours[255] = kWhite;
            created = CreatePlain(width, height, 8, colours, 256);
            if (created) image_.header->biClrUsed = static_cast<DWORD>(count);
        } else {
            // No colour table at all: the grey ramp stands in.
            created = CreatePlain(width, height, 8, nullptr, 0);
        }
        if (!created) return kLoadOutOfMemory;

        RowWriter rows(image_, (flags & 0x40) != 0);
        state->lzw.in = &in;
        state->lzw.Decode(rows, width);
        state->lzw.Finish();
        if (AbortFlagSet()) return kLoadAborted;
    }
    // A file that ends before its first image block has nothing to show.
    if (!image_.header) return kLoadCorrupt;
    if (ReducedLoadRequested()) ShrinkAfterDecode();
    lstrcpyW(image_.formatText, formatText);
    return kLoadOk;
}
