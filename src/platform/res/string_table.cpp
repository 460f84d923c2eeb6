// LoadStringW over RT_STRING resources. Strings are stored in blocks of 16:
// block n + 1 holds ids 16n..16n+15, each a WORD length and that many UTF-16
// units, with no terminator; an absent id inside a block has length 0.
#include <algorithm>
#include <cstring>

#include "res/resource_module.h"
#include "windows.h"

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax) {
    if (!buffer || bufferMax < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WORD block = static_cast<WORD>(((id & 0xFFFF) >> 4) + 1);
    const platform::ResEntry* entry = platform::FindEntry(instance, MAKEINTRESOURCEW(block), RT_STRING);
    if (!entry) return 0;
    // Walks to the string through lengths that are all checked against the block.
    size_t offset = 0;
    WORD length = 0;
    for (UINT index = 0;; ++index) {
        if (entry->size - offset < 2) {
            SetLastError(ERROR_BAD_FORMAT);
            return 0;
        }
        std::memcpy(&length, entry->data + offset, 2);
        offset += 2;
        if ((entry->size - offset) / 2 < length) {
            SetLastError(ERROR_BAD_FORMAT);
            return 0;
        }
        if (index == (id & 0xF)) break;
        offset += size_t{length} * 2;
    }
    const uint8_t* text = entry->data + offset;
    if (bufferMax == 0) {
        // The caller gets the resource's own read-only characters.
        LPCWSTR pointer = reinterpret_cast<LPCWSTR>(text);
        std::memcpy(buffer, &pointer, sizeof(pointer));
        return length;
    }
    int copied = std::min(static_cast<int>(length), bufferMax - 1);
    std::memcpy(buffer, text, static_cast<size_t>(copied) * 2);
    buffer[copied] = u'\0';
    return copied;
}
