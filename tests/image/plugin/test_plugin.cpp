// A test-only image plug-in, built in three variants from this one source:
//   RImgTest.dll     a complete plug-in (version 101) claiming "kst", "bmp"
//                    and "fault"; a ".fault" file makes RLoadImage fault.
//   RImgOld.dll      RGetVersion answers 100, so the host must refuse it.
//   RImgPartial.dll  lacks RDeleteImage, a required export.
// RTestCounters lets a test see what the host called.
#include <cstring>

#include "rimg_plugin.h"

#ifndef TEST_PLUGIN_VERSION
#define TEST_PLUGIN_VERSION 101
#endif

namespace {

const FormatEntry kFormats[] = {
    {u"Test Format", u"kst", u"kst\0bmp\0fault\0", 0},
    {nullptr, nullptr, nullptr, 0},
};

struct Counters {
    int loads;
    int deletes;
    int aborts;
    DWORD lastTag;
    DWORD lastFlags;
};
Counters gCounters;

int* volatile gNowhere = nullptr;

bool EndsWith(LPCWSTR text, LPCWSTR tail) {
    int a = lstrlenW(text);
    int b = lstrlenW(tail);
    return a >= b && lstrcmpiW(text + a - b, tail) == 0;
}

}  // namespace

RIMG_EXPORT DWORD RGetVersion() { return TEST_PLUGIN_VERSION; }

RIMG_EXPORT const FormatEntry* RGetSupportedFormats() { return kFormats; }

RIMG_EXPORT Counters* RTestCounters() { return &gCounters; }

RIMG_EXPORT void RAbortLoading() { ++gCounters.aborts; }

// A 2 x 2 24-bit image whose every byte is 0x5A.
RIMG_EXPORT LoadError RLoadImage(HANDLE, RImage* image, DWORD tag, DWORD flags) {
    ++gCounters.loads;
    gCounters.lastTag = tag;
    gCounters.lastFlags = flags;
    if (EndsWith(image->path, u".fault")) *gNowhere = 1;  // a real access violation
    auto* header = static_cast<BITMAPINFOHEADER*>(LocalAlloc(LPTR, sizeof(BITMAPINFOHEADER)));
    if (!header) return kLoadOutOfMemory;
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = 2;
    header->biHeight = 2;
    header->biPlanes = 1;
    header->biBitCount = 24;
    header->biSizeImage = 16;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        LocalFree(header);
        return kLoadOutOfMemory;
    }
    std::memset(bits, 0x5A, 16);
    image->header = header;
    image->bitmap = bitmap;
    image->pixels = static_cast<BYTE*>(bits);
    lstrcpyW(image->formatText, u"test plug-in");
    return kLoadOk;
}

#ifndef TEST_PLUGIN_NO_DELETE
RIMG_EXPORT void RDeleteImage(ImageFile* imageFile, ImageProvider*) {
    ++gCounters.deletes;
    RImage& image = imageFile->image;
    if (image.header) LocalFree(image.header);
    if (image.bitmap) DeleteObject(image.bitmap);
    image.header = nullptr;
    image.bitmap = nullptr;
    image.pixels = nullptr;
}
#endif
