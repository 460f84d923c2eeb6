// Hostile album files: every length field of the format set to the values
// that forged files use (4 GB - 1, 4 GB - 2, 2 GB, just past the end), and
// icon sizes whose products wrap 32 bits. Each is refused as damaged (8)
// without allocating what the field says: the parser runs in a child with
// 64 MB of room, on a buffer of exactly the file's size.
#include <cstring>

#include "album/album_file.h"
#include "album/image_album.h"
#include "album_fixture.h"
#include "memory_room.h"

namespace {

using Bytes = std::vector<BYTE>;

void PutDword(Bytes* bytes, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i) (*bytes)[at + i] = BYTE(v >> (8 * i));
}

// An album of one entry "a.jpg" with an empty icon, and the offsets of its
// fields: header 23 bytes (magic 7, count, flags, base folder 4 + 0, common
// sound 4 + 0), path 4 + 10, sound 4, block 332, icon size 4.
struct Layout {
    static constexpr size_t kCount = 7, kBase = 15, kSound = 19, kPath = 23, kEntrySound = 37,
                            kBlock = 41, kIcon = 41 + kEntryBlockSize;
};

Bytes OneEntry() {
    ImageAlbum album;
    album.Append(u"a.jpg");
    Bytes bytes;
    EXPECT_TRUE(SerializeAlbum(album, &bytes));
    EXPECT_EQ(bytes.size(), Layout::kIcon + 4);
    return bytes;
}

// The same with a 1 x 1 24-bit icon whose header fields can be changed.
Bytes WithIcon(int32_t width, int32_t height, WORD bpp, DWORD imageSize, DWORD iconSize) {
    Bytes bytes = OneEntry();
    PutDword(&bytes, Layout::kIcon, iconSize);
    BITMAPINFOHEADER header = {40, width, height, 1, bpp, 0, imageSize, 0, 0, 0, 0};
    bytes.insert(bytes.end(), reinterpret_cast<BYTE*>(&header), reinterpret_cast<BYTE*>(&header) + 40);
    bytes.insert(bytes.end(), 4 + 4, 0);  // the colour entry and four pixel bytes
    return bytes;
}

TEST(HostileAlbumFile, ForgedLengthsAreDamage) {
    const Bytes good = OneEntry();
    const DWORD forged[] = {0xFFFFFFFFu, 0xFFFFFFFEu, 0x80000000u, 0x7FFFFFFFu};
    const struct {
        const char* field;
        size_t at;
        DWORD pastTheEnd;  // the smallest value that runs past the end
    } fields[] = {
        {"count", Layout::kCount, 2},
        {"base folder", Layout::kBase, (DWORD)(good.size() - Layout::kBase - 4 + 2)},
        {"common sound", Layout::kSound, (DWORD)(good.size() - Layout::kSound - 4 + 2)},
        {"path", Layout::kPath, (DWORD)(good.size() - Layout::kPath - 4 + 2)},
        {"entry sound", Layout::kEntrySound, (DWORD)(good.size() - Layout::kEntrySound - 4 + 2)},
        {"attachment", Layout::kBlock + 48, 4 + 1},
        {"icon", Layout::kIcon, 44},
    };
    for (const auto& f : fields) {
        std::vector<DWORD> values(std::begin(forged), std::end(forged));
        values.push_back(f.pastTheEnd);
        for (DWORD value : values) {
            SCOPED_TRACE(std::string(f.field) + " " + std::to_string(value));
            Bytes bytes = good;
            PutDword(&bytes, f.at, value);
            if (f.at == Layout::kBlock + 48) bytes[Layout::kBlock + 52] = kAttachmentAnnotations;
            EXPECT_EQ(WithAddressSpaceRoom(64u << 20,
                                           [&] {
                                               // The buffer ends where the file does.
                                               std::unique_ptr<BYTE[]> exact(new BYTE[bytes.size()]);
                                               std::memcpy(exact.get(), bytes.data(), bytes.size());
                                               return ParseAlbumFileBytes(exact.get(), bytes.size());
                                           }),
                      (int)kLoadCorrupt);
        }
    }
}

// Icon sizes whose row and image products wrap 32 bits: 65536 x 65536 x 8
// bits is 2^32 bytes (0 in 32 bits), 0x8000 x 0x10000 x 32 bits 2^33; the
// declared sizes follow the wrapped products.
TEST(HostileAlbumFile, IconProductsThatWrap32Bits) {
    const struct {
        const char* what;
        int32_t width, height;
        WORD bpp;
        DWORD imageSize;
    } rows[] = {
        {"65536 x 65536 x 8", 0x10000, 0x10000, 8, 0},
        {"32768 x 65536 x 32", 0x8000, 0x10000, 32, 0},
        {"2^31 - 1 wide", 0x7FFFFFFF, 1, 24, 4},
        {"65537 x 65535 x 1 declaring 4 bytes", 0x10001, 0xFFFF, 1, 4},
        {"height -2^31", 1, INT32_MIN, 24, 4},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        const Bytes bytes = WithIcon(r.width, r.height, r.bpp, r.imageSize, r.imageSize + 44);
        EXPECT_EQ(WithAddressSpaceRoom(64u << 20, [&] { return ParseAlbumFileBytes(bytes.data(), bytes.size()); }),
                  (int)kLoadCorrupt);
    }
    // The good icon of the same file loads.
    const Bytes good = WithIcon(1, 1, 24, 4, 48);
    EXPECT_EQ(ParseAlbumFileBytes(good.data(), good.size()), (int)kLoadOk);
}

}  // namespace
