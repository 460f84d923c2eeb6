// The album file "RAB 100": the 7 magic bytes, count, flags, base folder and
// common sound, then per entry path, sound path, the 332-byte EntryBlock, the
// data of every used attachment slot and the icon (size, 44-byte header, bits).
// Integers are 32-bit little-endian; strings a byte length then UTF-16LE
// without terminator, at most 259 characters. The reader works on a bounded
// buffer and never reads past it: any short or inconsistent field is 8.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "album/image_entry.h"
#include "image/load_error.h"

class ImageAlbum;

constexpr char kAlbumMagic[7] = {'R', 'A', 'B', ' ', '1', '0', '0'};
// Album files are read whole; larger ones are refused as damaged.
constexpr size_t kMaxAlbumFileBytes = 256u * 1024 * 1024;

struct AlbumFileContents {
    DWORD flags = 0;
    std::u16string baseFolder;
    std::u16string commonSound;
    std::vector<std::unique_ptr<ImageEntry>> entries;
};

// Parses a whole album file: 0, 10 wrong magic (or fewer than 7 bytes),
// 8 damaged. `out` holds the entries only on success.
LoadError ParseAlbumFile(const BYTE* data, size_t size, AlbumFileContents* out);
// Serialises an album; false when memory runs out.
bool SerializeAlbum(const ImageAlbum& album, std::vector<BYTE>* out);
// Entry point for fuzzing the reader: parses and drops the result.
int ParseAlbumFileBytes(const BYTE* data, size_t size);
