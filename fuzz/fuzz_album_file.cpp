// The album file reader ("RAB 100") on a bounded buffer.
#include <cstddef>
#include <cstdint>

#include "album/album_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ParseAlbumFileBytes(data, size);
    return 0;
}
