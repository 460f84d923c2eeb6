// The GDI handle table, stock objects, SelectObject/DeleteObject/GetObjectW,
// and pen and brush creation.
#include "gdi/gdi_object.h"

#include <cstring>

#include "gdi/dc.h"
#include "gdi/font.h"

namespace gdi {

namespace {

// Handle layout: 0x10000000 | generation << 20 | (slot + 1). The high marker
// keeps handles apart from the small "system colour + 1" brush values.
constexpr uintptr_t kHandleMarker = 0x10000000u;
constexpr uint32_t kMaxSlots = 0xFFFFE;

struct Slot {
    std::shared_ptr<Object> object;
    uint8_t generation = 1;
};

struct Table {
    std::vector<Slot> slots;
    std::vector<uint32_t> freeSlots;
};

Table& TheTable() {
    static Table* table = new Table;  // outlives static destructors of callers
    return *table;
}

bool DecodeHandle(const void* handle, uint32_t* slot, uint8_t* generation) {
    uintptr_t v = reinterpret_cast<uintptr_t>(handle);
    if ((v & ~static_cast<uintptr_t>(0x0FFFFFFF)) != kHandleMarker) return false;
    uint32_t index = static_cast<uint32_t>(v & 0xFFFFF);
    if (index == 0) return false;
    *slot = index - 1;
    *generation = static_cast<uint8_t>((v >> 20) & 0xFF);
    return true;
}

}  // namespace

std::recursive_mutex& TableLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

HGDIOBJ InsertObject(std::shared_ptr<Object> object) {
    std::lock_guard<std::recursive_mutex> guard(TableLock());
    Table& t = TheTable();
    uint32_t slot;
    if (!t.freeSlots.empty()) {
        slot = t.freeSlots.back();
        t.freeSlots.pop_back();
    } else {
        if (t.slots.size() >= kMaxSlots) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        slot = static_cast<uint32_t>(t.slots.size());
        t.slots.emplace_back();
    }
    Slot& s = t.slots[slot];
    s.object = std::move(object);
    uintptr_t v = kHandleMarker | (static_cast<uintptr_t>(s.generation) << 20) | (slot + 1);
    return reinterpret_cast<HGDIOBJ>(v);
}

std::shared_ptr<Object> LookupObject(HGDIOBJ handle) {
    uint32_t slot;
    uint8_t generation;
    if (!DecodeHandle(handle, &slot, &generation)) return nullptr;
    std::lock_guard<std::recursive_mutex> guard(TableLock());
    Table& t = TheTable();
    if (slot >= t.slots.size()) return nullptr;
    const Slot& s = t.slots[slot];
    if (s.generation != generation) return nullptr;
    return s.object;
}

bool RemoveObject(HGDIOBJ handle) {
    uint32_t slot;
    uint8_t generation;
    if (!DecodeHandle(handle, &slot, &generation)) return false;
    std::shared_ptr<Object> dying;  // released after the lock
    {
        std::lock_guard<std::recursive_mutex> guard(TableLock());
        Table& t = TheTable();
        if (slot >= t.slots.size()) return false;
        Slot& s = t.slots[slot];
        if (s.generation != generation || !s.object) return false;
        dying = std::move(s.object);
        s.object.reset();
        s.generation = static_cast<uint8_t>(s.generation == 0xFF ? 1 : s.generation + 1);
        t.freeSlots.push_back(slot);
    }
    return true;
}

// ---- Stock objects ----------------------------------------------------------------

namespace {

constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct Stock {
    HGDIOBJ handles[kStockCount] = {};
    HBITMAP bitmap = nullptr;
};

std::shared_ptr<Object> MakeBrush(UINT style, COLORREF color) {
    auto b = std::make_shared<Brush>();
    b->log.lbStyle = style;
    b->log.lbColor = color;
    return b;
}

std::shared_ptr<Object> MakePen(UINT style, COLORREF color) {
    auto p = std::make_shared<Pen>();
    p->log.lopnStyle = style;
    p->log.lopnWidth = {0, 0};
    p->log.lopnColor = color;
    return p;
}

std::shared_ptr<Object> MakeFont(const LOGFONTW& lf) {
    auto f = std::make_shared<Font>();
    f->log = lf;
    return f;
}

Stock& Stocks() {
    static Stock* stock = [] {
        auto* s = new Stock;
        std::shared_ptr<Object> objects[kStockCount];
        objects[WHITE_BRUSH] = MakeBrush(BS_SOLID, RGB(255, 255, 255));
        objects[LTGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(192, 192, 192));
        objects[GRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(128, 128, 128));
        objects[DKGRAY_BRUSH] = MakeBrush(BS_SOLID, RGB(64, 64, 64));
        objects[BLACK_BRUSH] = MakeBrush(BS_SOLID, RGB(0, 0, 0));
        objects[NULL_BRUSH] = MakeBrush(BS_NULL, 0);
        objects[WHITE_PEN] = MakePen(PS_SOLID, RGB(255, 255, 255));
        objects[BLACK_PEN] = MakePen(PS_SOLID, RGB(0, 0, 0));
        objects[NULL_PEN] = MakePen(PS_NULL, 0);
        LOGFONTW system = SystemLogFont(), fixed = FixedLogFont();
        objects[OEM_FIXED_FONT] = MakeFont(fixed);
        objects[ANSI_FIXED_FONT] = MakeFont(fixed);
        objects[ANSI_VAR_FONT] = MakeFont(system);
        objects[SYSTEM_FONT] = MakeFont(system);
        objects[DEVICE_DEFAULT_FONT] = MakeFont(system);
        objects[SYSTEM_FIXED_FONT] = MakeFont(fixed);
        objects[DEFAULT_GUI_FONT] = MakeFont(system);
        for (int i = 0; i < kStockCount; ++i) {
            if (!objects[i]) continue;
            objects[i]->stock = true;
            s->handles[i] = InsertObject(objects[i]);
        }
        std::shared_ptr<Bitmap> one = NewDdb(1, 1, 1);
        one->stock = true;
        s->bitmap = static_cast<HBITMAP>(InsertObject(one));
        return s;
    }();
    return *stock;
}

}  // namespace

std::shared_ptr<Object> StockObject(int index) {
    if (index < 0 || index >= kStockCount) return nullptr;
    return LookupObject(Stocks().handles[index]);
}

HGDIOBJ StockHandle(int index) {
    if (index < 0 || index >= kStockCount) return nullptr;
    return Stocks().handles[index];
}

HBITMAP StockBitmapHandle() {
    return Stocks().bitmap;
}

std::shared_ptr<Brush> ResolveBrush(HBRUSH brush) {
    uintptr_t v = reinterpret_cast<uintptr_t>(brush);
    uintptr_t index = v & ~static_cast<uintptr_t>(SYS_COLOR_INDEX_FLAG);
    if (v != 0 && index >= 1 && index <= C_SYS_COLOR_TYPES)
        return Lookup<Brush>(SysColorBrushHandle(static_cast<int>(index - 1)));
    return Lookup<Brush>(brush);
}

}  // namespace gdi

using namespace gdi;

HGDIOBJ GetStockObject(int object) {
    return StockHandle(object);
}

DWORD GetObjectType(HGDIOBJ object) {
    std::shared_ptr<Object> o = LookupObject(object);
    if (!o || o->kind == Kind::Icon) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(o->kind);
}

BOOL DeleteObject(HGDIOBJ object) {
    std::lock_guard<std::recursive_mutex> guard(TableLock());
    std::shared_ptr<Object> o = LookupObject(object);
    if (!o) return FALSE;
    switch (o->kind) {
        case Kind::DisplayDC:
        case Kind::MemoryDC:
        case Kind::Icon:
            return FALSE;
        default:
            break;
    }
    if (o->stock) return TRUE;
    // A selected object stays: the DC still draws with it.
    if (o->selectCount > 0) return FALSE;
    if (o->kind == Kind::Bitmap && static_cast<Bitmap&>(*o).selectedInto) return FALSE;
    return RemoveObject(object) ? TRUE : FALSE;
}

namespace {

int GetBitmapObject(const Bitmap& b, int size, void* buffer) {
    BITMAP bm{};
    bm.bmType = 0;
    bm.bmWidth = b.surface.width;
    bm.bmHeight = b.surface.height;
    bm.bmWidthBytes = b.widthBytes;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(b.bitsPerPixel);
    bm.bmBits = b.dib ? b.memory : nullptr;
    if (!buffer) return sizeof(BITMAP);
    if (b.dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
        DIBSECTION ds{};
        ds.dsBm = bm;
        ds.dsBmih = b.header;
        ds.dsBmih.biHeight = b.surface.height;  // reported positive, as GDI does
        std::memcpy(ds.dsBitfields, b.bitfields, sizeof(ds.dsBitfields));
        ds.dshSection = nullptr;
        ds.dsOffset = 0;
        std::memcpy(buffer, &ds, sizeof(ds));
        return sizeof(DIBSECTION);
    }
    if (size >= static_cast<int>(sizeof(BITMAP))) {
        std::memcpy(buffer, &bm, sizeof(bm));
        return sizeof(BITMAP);
    }
    return 0;
}

}  // namespace

int GetObjectW(HGDIOBJ object, int size, LPVOID buffer) {
    std::shared_ptr<Object> o = LookupObject(object);
    if (!o) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (size < 0) size = 0;
    switch (o->kind) {
        case Kind::Pen: {
            const LOGPEN& lp = static_cast<Pen&>(*o).log;
            if (!buffer) return sizeof(LOGPEN);
            if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
            std::memcpy(buffer, &lp, sizeof(lp));
            return sizeof(LOGPEN);
        }
        case Kind::Brush: {
            const LOGBRUSH& lb = static_cast<Brush&>(*o).log;
            if (!buffer) return sizeof(LOGBRUSH);
            int n = size < static_cast<int>(sizeof(LOGBRUSH)) ? size
                                                              : static_cast<int>(sizeof(LOGBRUSH));
            std::memcpy(buffer, &lb, static_cast<size_t>(n));
            return n;
        }
        case Kind::Font: {
            const LOGFONTW& lf = static_cast<Font&>(*o).log;
            if (!buffer) return sizeof(LOGFONTW);
            int n = size < static_cast<int>(sizeof(LOGFONTW)) ? size
                                                              : static_cast<int>(sizeof(LOGFONTW));
            std::memcpy(buffer, &lf, static_cast<size_t>(n));
            return n;
        }
        case Kind::Bitmap:
            return GetBitmapObject(static_cast<Bitmap&>(*o), size, buffer);
        default:
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
    }
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
    if (!pen) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    UINT style = pen->lopnStyle & PS_STYLE_MASK;
    if (style > PS_INSIDEFRAME) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (style == PS_NULL) return static_cast<HPEN>(StockHandle(NULL_PEN));
    auto p = std::make_shared<Pen>();
    p->log = *pen;
    p->log.lopnStyle = style;
    if (p->log.lopnWidth.x < 0) p->log.lopnWidth.x = 0;
    p->log.lopnWidth.y = 0;
    return static_cast<HPEN>(InsertObject(p));
}

HPEN CreatePen(int style, int width, COLORREF color) {
    LOGPEN lp{};
    lp.lopnStyle = static_cast<UINT>(style);
    lp.lopnWidth.x = width;
    lp.lopnColor = color;
    return CreatePenIndirect(&lp);
}

HBRUSH CreateSolidBrush(COLORREF color) {
    auto b = std::make_shared<Brush>();
    b->log.lbStyle = BS_SOLID;
    b->log.lbColor = color;
    return static_cast<HBRUSH>(InsertObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
    if (!brush) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    switch (brush->lbStyle) {
        case BS_SOLID:
            return CreateSolidBrush(brush->lbColor);
        case BS_NULL:
            return static_cast<HBRUSH>(StockHandle(NULL_BRUSH));
        case BS_PATTERN:
            return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
        case BS_DIBPATTERNPT:
            return CreateDIBPatternBrushPt(reinterpret_cast<const void*>(brush->lbHatch),
                                           static_cast<UINT>(brush->lbColor));
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
    std::shared_ptr<Bitmap> source = Lookup<Bitmap>(bitmap);
    if (!source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto b = std::make_shared<Brush>();
    b->log.lbStyle = BS_PATTERN;
    b->log.lbHatch = reinterpret_cast<ULONG_PTR>(bitmap);
    b->pattern = CopyBitmap(*source);
    if (!b->pattern) return nullptr;
    return static_cast<HBRUSH>(InsertObject(b));
}
