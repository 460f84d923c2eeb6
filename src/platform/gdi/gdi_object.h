// GDI objects behind HGDIOBJ/HDC/HICON values. A handle is a number in one
// process-wide table, checked for kind and generation, never a pointer, so a
// stale or forged handle is refused instead of touching freed memory. Lookups
// hand out shared ownership: an object stays alive while a call uses it even
// if another thread deletes it. Selection counts and which DC holds a bitmap
// are changed only under TableLock().
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "gdi/surface.h"
#include "windows.h"

namespace gdi {

enum class Kind : uint8_t {
    Pen = OBJ_PEN,
    Brush = OBJ_BRUSH,
    DisplayDC = OBJ_DC,
    Font = OBJ_FONT,
    Bitmap = OBJ_BITMAP,
    Region = OBJ_REGION,
    MemoryDC = OBJ_MEMDC,
    Icon = 20,
};

struct Object {
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    const Kind kind;
    bool stock = false;
    int selectCount = 0;  // DCs holding it selected (TableLock)
};

std::recursive_mutex& TableLock();
HGDIOBJ InsertObject(std::shared_ptr<Object> object);
// The object when the handle is live; null otherwise (no error code set).
std::shared_ptr<Object> LookupObject(HGDIOBJ handle);
bool RemoveObject(HGDIOBJ handle);

template <class T>
std::shared_ptr<T> Lookup(const void* handle) {
    std::shared_ptr<Object> o = LookupObject(const_cast<void*>(handle));
    if (!o || o->kind != T::kKind) return nullptr;
    return std::static_pointer_cast<T>(o);
}

// ---- Drawing objects --------------------------------------------------------------

struct Pen : Object {
    static constexpr Kind kKind = Kind::Pen;
    Pen() : Object(kKind) {}
    LOGPEN log{};
    int Style() const { return static_cast<int>(log.lopnStyle & PS_STYLE_MASK); }
    int Width() const { return log.lopnWidth.x < 1 ? 1 : log.lopnWidth.x; }
};

struct Bitmap;

struct Brush : Object {
    static constexpr Kind kKind = Kind::Brush;
    Brush() : Object(kKind) {}
    LOGBRUSH log{};
    // Pattern brushes keep their own copy of the pattern pixels.
    std::shared_ptr<Bitmap> pattern;
    bool IsNull() const { return log.lbStyle == BS_NULL; }
};

struct Region : Object {
    static constexpr Kind kKind = Kind::Region;
    Region() : Object(kKind) {}
    std::vector<RECT> rects;  // disjoint, non-empty
};

struct Bitmap : Object {
    static constexpr Kind kKind = Kind::Bitmap;
    Bitmap() : Object(kKind) {}
    ~Bitmap() override;
    Surface surface;            // top-down view of the pixels
    uint8_t* memory = nullptr;  // owned, allocated with calloc
    size_t memoryBytes = 0;
    std::unique_ptr<Palette> palette;  // indexed formats
    bool dib = false;                  // a DIB section (else a device-dependent bitmap)
    BITMAPINFOHEADER header{};         // DIB sections: as created (height sign kept)
    DWORD bitfields[3] = {0, 0, 0};
    int bitsPerPixel = 0;
    int widthBytes = 0;          // DIB: the padded DIB stride; DDB: rows padded to 16 bits
    HDC selectedInto = nullptr;  // TableLock
};

struct Icon : Object {
    static constexpr Kind kKind = Kind::Icon;
    Icon() : Object(kKind) {}
    ICONINFO info{};  // handles of the icon's own copies of its bitmaps
    std::shared_ptr<Bitmap> mask;
    std::shared_ptr<Bitmap> color;  // null for a monochrome icon (mask twice as high)
};

// Creates a bitmap object (not yet in the table) of the given format; false
// on bad sizes or memory exhaustion (error code set).
std::shared_ptr<Bitmap> NewBitmap(int width, int height, Format format, bool topDown,
                                  std::vector<Rgb> colors, const Fields* fields);
// A device-dependent bitmap of the given bits per pixel (1: monochrome).
std::shared_ptr<Bitmap> NewDdb(int width, int height, int bitsPerPixel);
// A copy of a bitmap's pixels and colours, as a new device-dependent bitmap
// in the same format (icons and pattern brushes keep such copies).
std::shared_ptr<Bitmap> CopyBitmap(const Bitmap& source);

// The format that the display memory uses.
Format ScreenFormat();

// Stock objects, created on first use.
std::shared_ptr<Object> StockObject(int index);
HGDIOBJ StockHandle(int index);
// The 1x1 monochrome bitmap every memory DC starts with.
HBITMAP StockBitmapHandle();

// Handle of a system-colour brush (owned by GDI, never deleted).
HBRUSH SysColorBrushHandle(int index);
// Resolves a brush argument of FillRect-style calls: a real brush handle, or a
// system colour index + 1 passed as a handle, as window classes do.
std::shared_ptr<Brush> ResolveBrush(HBRUSH brush);

}  // namespace gdi
