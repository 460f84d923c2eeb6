// LoadBitmapW, LoadImageW and LoadIconW: packed DIBs from RT_BITMAP, BMP files
// and RT_GROUP_ICON/RT_ICON turned into DIB sections and icons through GDI.
// Every header, colour table and pixel block is checked against the bytes the
// resource or file really has before GDI sees it.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "res/resource_module.h"
#include "windows.h"

namespace {

constexpr LONG kMaxSide = 16384;
constexpr DWORD kMaxBmpFileBytes = 256u << 20;

struct PackedDib {
    std::vector<uint8_t> info;  // header, masks and colour table, as CreateDIBSection reads them
    LONG width = 0;
    LONG height = 0;  // rows of the picture (for icons: the colour half)
    WORD bitCount = 0;
    size_t stride = 0;
    size_t imageBytes = 0;
    size_t bitsOffset = 0;  // where the pixels start, from the start of the header
};

uint32_t Dword(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Reads a packed DIB's header and colour table from data[0, size). For icons
// the stored height covers the colour and mask images and is halved.
bool ParsePackedDib(const uint8_t* data, size_t size, bool icon, PackedDib* dib) {
    if (size < sizeof(BITMAPINFOHEADER)) return false;
    BITMAPINFOHEADER h;
    std::memcpy(&h, data, sizeof(h));
    // The 12-byte OS/2 header never occurs in resources built by our tools.
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > size || h.biPlanes != 1) return false;
    int bpp = h.biBitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
    bool bitfields = h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32);
    if (h.biCompression != BI_RGB && !bitfields) return false;
    LONG height = h.biHeight;
    if (icon) {
        if (height <= 0 || height % 2 != 0) return false;
        height /= 2;
    }
    if (h.biWidth <= 0 || h.biWidth > kMaxSide || height == 0 || height > kMaxSide || height < -kMaxSide) {
        return false;
    }
    uint64_t tableBytes = 0;
    if (bpp <= 8) {
        uint64_t maxColors = uint64_t{1} << bpp;
        tableBytes = 4 * (h.biClrUsed && h.biClrUsed < maxColors ? h.biClrUsed : maxColors);
    } else {
        // Masks follow a plain 40-byte header; later headers carry them inside.
        if (bitfields && h.biSize == sizeof(BITMAPINFOHEADER)) tableBytes = 12;
        // A table beside true-colour pixels is only a display hint, skipped.
        tableBytes += 4 * uint64_t{h.biClrUsed};
    }
    uint64_t bitsOffset = uint64_t{h.biSize} + tableBytes;
    if (bitsOffset > size) return false;
    dib->width = h.biWidth;
    dib->height = height;
    dib->bitCount = static_cast<WORD>(bpp);
    dib->stride = ((static_cast<size_t>(h.biWidth) * static_cast<size_t>(bpp) + 31) / 32) * 4;
    dib->imageBytes = dib->stride * static_cast<size_t>(std::labs(height));
    dib->bitsOffset = static_cast<size_t>(bitsOffset);
    // GDI reads at least the 40-byte header and 12 mask bytes past it.
    dib->info.assign(data, data + bitsOffset);
    if (dib->info.size() < sizeof(BITMAPINFOHEADER) + 12) dib->info.resize(sizeof(BITMAPINFOHEADER) + 12, 0);
    BITMAPINFOHEADER* out = reinterpret_cast<BITMAPINFOHEADER*>(dib->info.data());
    out->biHeight = height;
    out->biSizeImage = 0;
    return true;
}

// A DIB section holding `bits`, which must hold dib.imageBytes bytes.
HBITMAP MakeSection(const PackedDib& dib, const uint8_t* bits) {
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(dib.info.data()),
                                      DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) return nullptr;
    std::memcpy(pixels, bits, dib.imageBytes);
    return bitmap;
}

HBITMAP BitmapFromPackedDib(const uint8_t* data, size_t size) {
    PackedDib dib;
    if (!ParsePackedDib(data, size, false, &dib) || size - dib.bitsOffset < dib.imageBytes) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return MakeSection(dib, data + dib.bitsOffset);
}

HBITMAP BitmapFromResource(HINSTANCE instance, LPCWSTR name) {
    if (!instance) {
        // The system's own bitmaps (OBM_*) are not provided.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const platform::ResEntry* entry = platform::FindEntry(instance, name, RT_BITMAP);
    if (!entry) return nullptr;
    return BitmapFromPackedDib(entry->data, entry->size);
}

// A BMP file: the 14-byte file header, then a packed DIB whose pixels start at
// the file header's offset.
HBITMAP BitmapFromFile(LPCWSTR path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (high != 0 || size > kMaxBmpFileBytes) {
        CloseHandle(file);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::vector<uint8_t> bytes(size);
    DWORD read = 0;
    BOOL ok = size == 0 || ReadFile(file, bytes.data(), size, &read, nullptr);
    CloseHandle(file);
    if (!ok || read != size || size < 14 || bytes[0] != 'B' || bytes[1] != 'M') {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    const uint8_t* dibBytes = bytes.data() + 14;
    size_t dibSize = size - 14;
    PackedDib dib;
    if (!ParsePackedDib(dibBytes, dibSize, false, &dib)) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    size_t bitsAt = 14 + dib.bitsOffset;
    uint32_t offBits = Dword(bytes.data() + 10);
    // Writers may leave a gap before the pixels; the header's offset says where
    // they are. An offset of 0 (some old writers) means "right after the table".
    if (offBits != 0) bitsAt = offBits;
    if (bitsAt < 14 + dib.bitsOffset || bitsAt > size || size - bitsAt < dib.imageBytes) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    return MakeSection(dib, bytes.data() + bitsAt);
}

#pragma pack(push, 2)
struct GroupIconHeader {
    WORD reserved;
    WORD type;  // 1 for icons
    WORD count;
};
struct GroupIconEntry {
    BYTE width;  // 0 stands for 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)
static_assert(sizeof(GroupIconHeader) == 6 && sizeof(GroupIconEntry) == 14, "packed as stored");

// The icon image closest to cx x cy (0 x 0: the first), the deepest on a tie.
bool ChooseIcon(const platform::ResEntry& group, int cx, int cy, WORD* id) {
    GroupIconHeader header;
    if (group.size < sizeof(header)) return false;
    std::memcpy(&header, group.data, sizeof(header));
    if (header.type != 1 || header.count == 0 ||
        (group.size - sizeof(header)) / sizeof(GroupIconEntry) < header.count) {
        return false;
    }
    long bestScore = -1;
    WORD bestBits = 0;
    for (WORD i = 0; i < header.count; ++i) {
        GroupIconEntry e;
        std::memcpy(&e, group.data + sizeof(header) + i * sizeof(e), sizeof(e));
        int w = e.width ? e.width : 256, h = e.height ? e.height : 256;
        long score = (cx || cy) ? std::labs(w - cx) + std::labs(h - cy) : (i == 0 ? 0 : 1);
        if (bestScore < 0 || score < bestScore || (score == bestScore && e.bitCount > bestBits)) {
            bestScore = score;
            bestBits = e.bitCount;
            *id = e.id;
        }
    }
    return true;
}

// An RT_ICON image: a packed DIB of twice the height, colour rows then the
// 1-bpp AND mask rows.
HICON IconFromImage(const platform::ResEntry& image) {
    static const uint8_t kPng[4] = {0x89, 'P', 'N', 'G'};
    if (image.size >= 4 && std::memcmp(image.data, kPng, 4) == 0) {
        SetLastError(ERROR_NOT_SUPPORTED);  // PNG-compressed (256-pixel) images
        return nullptr;
    }
    PackedDib color;
    if (!ParsePackedDib(image.data, image.size, true, &color)) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    PackedDib mask;
    mask.width = color.width;
    mask.height = color.height;
    mask.bitCount = 1;
    mask.stride = ((static_cast<size_t>(color.width) + 31) / 32) * 4;
    mask.imageBytes = mask.stride * static_cast<size_t>(color.height);
    size_t left = image.size - color.bitsOffset;
    if (left < color.imageBytes || left - color.imageBytes < mask.imageBytes) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    mask.info.assign(sizeof(BITMAPINFOHEADER) + 12, 0);
    BITMAPINFOHEADER maskHeader{};
    maskHeader.biSize = sizeof(BITMAPINFOHEADER);
    maskHeader.biWidth = mask.width;
    maskHeader.biHeight = mask.height;
    maskHeader.biPlanes = 1;
    maskHeader.biBitCount = 1;
    maskHeader.biCompression = BI_RGB;
    std::memcpy(mask.info.data(), &maskHeader, sizeof(maskHeader));
    const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0};
    std::memcpy(mask.info.data() + sizeof(BITMAPINFOHEADER) + 4, white, 4);

    const uint8_t* bits = image.data + color.bitsOffset;
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmColor = MakeSection(color, bits);
    info.hbmMask = MakeSection(mask, bits + color.imageBytes);
    HICON icon = info.hbmColor && info.hbmMask ? CreateIconIndirect(&info) : nullptr;
    // The icon keeps its own copies of both bitmaps.
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return icon;
}

HICON IconFromResource(HINSTANCE instance, LPCWSTR name, int cx, int cy) {
    if (!instance) {
        // The system's own icons (IDI_*) are not provided.
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const platform::ResEntry* group = platform::FindEntry(instance, name, RT_GROUP_ICON);
    if (!group) return nullptr;
    WORD id = 0;
    if (!ChooseIcon(*group, cx, cy, &id)) {
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    const platform::ResEntry* image = platform::FindEntry(instance, MAKEINTRESOURCEW(id), RT_ICON);
    if (!image) return nullptr;
    return IconFromImage(*image);
}

}  // namespace

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return BitmapFromResource(instance, name);
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return IconFromResource(instance, name, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
    if (!name || cx < 0 || cy < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool fromFile = (flags & LR_LOADFROMFILE) != 0;
    if (fromFile && IS_INTRESOURCE(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (type) {
        case IMAGE_BITMAP: {
            HBITMAP bitmap = fromFile ? BitmapFromFile(name) : BitmapFromResource(instance, name);
            if (!bitmap) return nullptr;
            // Bitmaps are loaded at their own size; stretching on load is not offered.
            BITMAP described{};
            GetObjectW(bitmap, sizeof(described), &described);
            if ((cx && cx != described.bmWidth) || (cy && cy != described.bmHeight)) {
                DeleteObject(bitmap);
                SetLastError(ERROR_NOT_SUPPORTED);
                return nullptr;
            }
            return bitmap;
        }
        case IMAGE_ICON: {
            if (fromFile) {
                SetLastError(ERROR_NOT_SUPPORTED);
                return nullptr;
            }
            if (flags & LR_DEFAULTSIZE) {
                if (!cx) cx = GetSystemMetrics(SM_CXICON);
                if (!cy) cy = GetSystemMetrics(SM_CYICON);
            }
            return IconFromResource(instance, name, cx, cy);
        }
        case IMAGE_CURSOR:
            if (!fromFile && !instance) return LoadCursorW(nullptr, name);
            SetLastError(ERROR_NOT_SUPPORTED);
            return nullptr;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}
