// ScreenSurface: a screen-sized 24-bit bottom-up DIB section that pictures are
// drawn into, scaled and rotated through per-row and per-column index tables,
// then copied to a window (through MemoryContext) or to display memory
// through the Game API. Every byte DrawImage writes passes the ChannelMap.
// The picture view keeps one as its back buffer; dialogs keep their own.
#pragma once

#include <windows.h>
#include <wingdi.h>

class ScreenSurface {
public:
    // Constructed cleared; builds the identity ChannelMap.
    ScreenSurface();
    ~ScreenSurface();
    ScreenSurface(const ScreenSurface&) = delete;
    ScreenSurface& operator=(const ScreenSurface&) = delete;

    // Creates the surface at the screen size from the system metrics and the
    // index tables (idempotent). False when the DIB section cannot be made.
    bool CreateSurface();
    // The same at another size (an external display's); a surface of
    // another size is made again.
    bool CreateSurfaceOfSize(int width, int height);
    // Reads the Game API display properties, then CreateSurface (idempotent).
    bool ReadDisplayProperties();
    // A memory context with the surface selected, created on first call.
    HDC MemoryContext();
    void DestroySurface();

    // Fills a rectangle (the whole surface when null), clipped to the surface.
    void FillRect(COLORREF colour, const RECT* rect);
    // Fills the bands of `client` above, below, left and right of `picture`.
    void FillMargins(COLORREF colour, const RECT& picture, const RECT& client);
    // Draws the visible part of an image scaled by srcW / dstW (both axes) and
    // rotated by `rotation` into the surface; (srcX, srcY) is the visible
    // top-left corner in the rotated picture. srcH is not used. False for
    // 32-bit images or a surface without bitmap.
    bool DrawImage(int dstX, int dstY, int dstW, int dstH, int srcX, int srcY, int srcW, int srcH,
                   const BITMAPINFOHEADER* header, const BYTE* pixels);
    // Copies a rectangle of the surface to display memory. (x, y) are client
    // coordinates of `window` for the destination (screen coordinates when
    // null) and surface coordinates for the source.
    bool BlitToDisplay(HWND window, int x, int y, int width, int height);
    // Copies the surface's top-left width x height to (0, 0) of `dc` in one
    // block (an owner-drawn control, an external display).
    bool CopyTo(HDC dc, int width, int height);

    // The record, in its documented order.
    const RGBQUAD* palette = nullptr;  // colour table of the image being drawn
    HBITMAP bitmap = nullptr;
    HGDIOBJ previousObject = nullptr;
    const BYTE** rowTable = nullptr;   // per output row (column when rotated): source row
    int* columnTable = nullptr;        // per output column (row when rotated): source pixel
    int rotation = 0;                  // 0, 90, 180, 270, -90, -180, -270
    int sourceBitsPerPixel = 0;
    BYTE* pixels = nullptr;
    HDC memoryContext = nullptr;
    int width = 0;
    int height = 0;
    int bytesPerPixel = 3;
    int stride = 0;
    int bitsPerPixel = 24;
    int displayKnown = 0;
    DWORD displayFormat = 0;  // Game API format flags (0x80: 5-6-5)
    int displayBitsPerPixel = 0;
    DWORD displayWidth = 0;
    DWORD displayHeight = 0;
    int displayPitchX = 0;
    int displayPitchY = 0;

    int tableEntries = 0;  // max(width, height) + 32 per table
    // Visible output rows and columns of the last draw (after clipping).
    int drawnRows = 0;
    int drawnColumns = 0;
};
