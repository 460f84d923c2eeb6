// Joining the fragments of a compressed DICOM frame. A frame's fragments run
// from its slot's offset to the next frame's first fragment (the nearest
// larger offset of any slot, so an unordered offset table still bounds every
// frame) or to the sequence delimiter; item headers are little-endian in
// every encapsulated transfer syntax.
#include "dicom/frame_fragments.h"

#include <algorithm>
#include <new>

#include "image/rimage.h"

namespace {

constexpr uint16_t kItemGroup = 0xFFFE;
constexpr uint16_t kItemElement = 0xE000;
constexpr uint32_t kUndefinedItemLength = 0xFFFFFFFFu;
// A compressed frame is never larger than an image the viewer can hold; a
// remote stream of unknown size is bounded by this instead of its size.
constexpr uint64_t kMaxFrameBytes = (uint64_t)kMaxImageBytes;
// The availability check reads fragments through this much stack at a time;
// joining reads them in pieces of at most kJoinPiece.
constexpr DWORD kCheckChunk = 16384;
constexpr DWORD kJoinPiece = 1 << 20;

uint32_t LittleEndian32(const BYTE* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}
uint16_t LittleEndian16(const BYTE* p) { return (uint16_t)(p[0] | p[1] << 8); }

// Where frame `index` ends at the latest: the smallest slot offset above its
// own, or 0 when no frame follows it.
uint64_t NextFrameOffset(const FrameSource& source, int index) {
    const uint64_t own = source.Slots()[index].offset;
    uint64_t next = 0;
    for (int i = 0; i < source.frameCount; ++i) {
        const uint64_t other = source.Slots()[i].offset;
        if (other > own && (next == 0 || other < next)) next = other;
    }
    return next;
}

enum class WalkMode {
    kJoin,   // append every fragment to the output
    kCheck,  // read every fragment, keep nothing (the remote stream fetches it)
};

// Walks the fragments of frame `index`: 0 done, 1 no memory, 8 bad data,
// -1 the data is not (yet) all there (kCheck only reports that one).
int WalkFragments(ByteStream& stream, const FrameSource& source, int index, WalkMode mode,
                  std::vector<uint8_t>* out) {
    if (index < 0 || index >= source.frameCount) return 8;
    const int missing = mode == WalkMode::kCheck ? -1 : 8;
    const uint64_t start = source.Slots()[index].offset;
    const uint64_t next = NextFrameOffset(source, index);
    const int64_t size = stream.size();  // -1: unknown (a remote stream may not say)
    if (size >= 0 && start + 8 > (uint64_t)size) return 8;  // the offset lies outside the data
    if (stream.seek((int64_t)start, FILE_BEGIN) < 0) return missing;

    uint64_t position = start;
    bool first = true;
    for (;;) {
        BYTE header[8];
        DWORD got = 0;
        if (!stream.read(header, sizeof header, &got) || got != sizeof header) {
            // A frame must begin with an item; a file that ends after a
            // frame's fragments without its delimiter (cut by a writer) keeps
            // the fragments read so far.
            if (first) return missing;
            break;
        }
        const uint16_t group = LittleEndian16(header);
        const uint16_t element = LittleEndian16(header + 2);
        const uint32_t length = LittleEndian32(header + 4);
        if (group != kItemGroup || element != kItemElement) {
            if (first) return 8;  // the slot's offset is not an item
            break;                // the sequence delimiter (FFFE,E0DD) or what ends the data
        }
        if (length == kUndefinedItemLength) return 8;
        position += 8;
        if (size >= 0 && length > (uint64_t)size - std::min<uint64_t>(position, (uint64_t)size)) {
            return 8;  // the fragment runs past the end of the data
        }
        if (mode == WalkMode::kJoin) {
            if (out->size() + (uint64_t)length > kMaxFrameBytes) return 8;
            // The output grows only as the data arrives, so a forged length
            // in a stream of unknown size costs no more than one piece.
            for (uint32_t left = length; left > 0;) {
                const DWORD want = std::min<uint32_t>(left, kJoinPiece);
                const size_t have = out->size();
                try {
                    out->resize(have + want);
                } catch (const std::bad_alloc&) {
                    return 1;
                }
                DWORD read = 0;
                if (!stream.read(out->data() + have, want, &read) || read != want) return 8;
                left -= want;
            }
        } else {
            BYTE chunk[kCheckChunk];
            for (uint32_t left = length; left > 0;) {
                const DWORD want = std::min<uint32_t>(left, kCheckChunk);
                DWORD read = 0;
                if (!stream.read(chunk, want, &read) || read != want) return -1;
                left -= want;
            }
        }
        position += length;
        first = false;
        if (next != 0 && position >= next) break;  // the next frame begins here
    }
    if (mode == WalkMode::kJoin && out->empty()) return 8;
    return 0;
}

}  // namespace

int ReadCompressedFrame(ByteStream& stream, const FrameSource& source, int index,
                        std::vector<uint8_t>* out) {
    out->clear();
    return WalkFragments(stream, source, index, WalkMode::kJoin, out);
}

int CheckCompressedFrameAvailable(ByteStream& stream, const FrameSource& source, int index) {
    return WalkFragments(stream, source, index, WalkMode::kCheck, nullptr) == 0 ? 0 : -1;
}
