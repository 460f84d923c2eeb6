// ImageFile: what user-interface code holds for one loaded file: the decoded
// RImage (always the first member, which plug-ins rely on), the provider that
// decoded it, the path and the result of the last load. Every load unloads
// first; on failure the image is left reset with its adjustment kept.
#pragma once

#include <windows.h>

#include "load_error.h"
#include "rimage.h"

struct ImageProvider;

struct ImageFile {
    RImage image;
    ImageProvider* provider = nullptr;  // kept after unloading
    WCHAR filePath[MAX_PATH] = {};
    int bitsPerPixel = 0;               // of the loaded image, 0 after init
    LoadError lastError = 0;

    // Resets the image and clears provider and bitsPerPixel.
    void InitImageFile();
    // Opens `path` (filePath when null) and decodes it through the image
    // library; true when lastError is 0.
    bool LoadFromPath(LPCWSTR path, DWORD flags);
    // Decodes an open file named by filePath.
    bool LoadFromHandle(HANDLE file, DWORD flags);
    void Unload();
    // The frame fetch of a multi-frame image; 0 when there is none.
    int LoadFrame(HANDLE file, int index, INT_PTR p1, INT_PTR p2);
    // Decodes page `index` of a multi-page file; 17 when there is no such page.
    LoadError LoadPage(int index);
    // A 24-bit copy of the image fitting maxWidth x maxHeight; it keeps the
    // image's truncated mark.
    bool MakeThumbnail(int maxWidth, int maxHeight, RImage* thumbnail) const;
};
