// GDI: objects, DIB sections at every depth, block transfers and raster
// operations, clipping, lines and shapes, and the display DCs. Pixels are
// checked exactly, through raw DIB memory read here independently of GDI.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "display/frame_buffer.h"
#include "gdi/display_dc.h"
#include "windows.h"

namespace {

// ---- Helpers ---------------------------------------------------------------------

struct DibLayout {
    const char* name;
    int bpp;
    DWORD compression;
    DWORD masks[3];
};

// Every depth and channel layout a DIB section can have.
const DibLayout kDibLayouts[] = {
    {"1", 1, BI_RGB, {0, 0, 0}},
    {"2", 2, BI_RGB, {0, 0, 0}},
    {"4", 4, BI_RGB, {0, 0, 0}},
    {"8", 8, BI_RGB, {0, 0, 0}},
    {"16-555", 16, BI_RGB, {0, 0, 0}},
    {"16-565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
    {"16-444", 16, BI_BITFIELDS, {0x0F00, 0x00F0, 0x000F}},
    {"24", 24, BI_RGB, {0, 0, 0}},
    {"32", 32, BI_RGB, {0, 0, 0}},
    {"32-rgb", 32, BI_BITFIELDS, {0x000000FF, 0x0000FF00, 0x00FF0000}},
};

// Colour tables of the indexed test bitmaps: the colours every table shares
// come first.
std::vector<COLORREF> TableFor(int bpp) {
    std::vector<COLORREF> base = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(255, 0, 0),
                                  RGB(0, 0, 255),   RGB(0, 255, 0),     RGB(255, 255, 0),
                                  RGB(0, 255, 255), RGB(255, 0, 255)};
    size_t n = size_t{1} << bpp;
    std::vector<COLORREF> table;
    for (size_t i = 0; i < n; ++i) {
        if (i < base.size()) {
            table.push_back(base[i]);
        } else {
            int g = static_cast<int>(i * 255 / (n - 1));
            table.push_back(RGB(g, g / 2, 255 - g));
        }
    }
    return table;
}

// Colours that survive every format of both bitmaps exactly.
std::vector<COLORREF> SharedColors(int bppA, int bppB) {
    int smallest = std::min(bppA, bppB);
    std::vector<COLORREF> all = TableFor(8);
    size_t n = smallest == 1 ? 2 : smallest == 2 ? 4 : 8;
    return std::vector<COLORREF>(all.begin(), all.begin() + static_cast<ptrdiff_t>(n));
}

struct Dib {
    HBITMAP bitmap = nullptr;
    uint8_t* bits = nullptr;
    int width = 0, height = 0, bpp = 0;
    bool topDown = false;
    int Stride() const { return ((width * bpp + 31) / 32) * 4; }
    // Raw pixel value at (x, y) of the picture, read from the DIB layout.
    uint32_t Raw(int x, int y) const {
        int row = topDown ? y : height - 1 - y;
        const uint8_t* p = bits + static_cast<size_t>(row) * static_cast<size_t>(Stride());
        switch (bpp) {
            case 1:
                return (p[x / 8] >> (7 - x % 8)) & 1;
            case 2:
                return (p[x / 4] >> (6 - 2 * (x % 4))) & 3;
            case 4:
                return (p[x / 2] >> (x % 2 ? 0 : 4)) & 15;
            case 8:
                return p[x];
            case 16:
                return p[2 * x] | (p[2 * x + 1] << 8);
            case 24:
                return p[3 * x] | (p[3 * x + 1] << 8) | (static_cast<uint32_t>(p[3 * x + 2]) << 16);
            default: {
                uint32_t v;
                std::memcpy(&v, p + 4 * x, 4);
                return v;
            }
        }
    }
};

Dib MakeDib(int width, int height, const DibLayout& layout, bool topDown = false,
            std::vector<COLORREF> table = {}) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = topDown ? -height : height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(layout.bpp);
    h->biCompression = layout.compression;
    auto* colors = reinterpret_cast<RGBQUAD*>(info.data() + sizeof(BITMAPINFOHEADER));
    if (layout.compression == BI_BITFIELDS) {
        std::memcpy(colors, layout.masks, sizeof(layout.masks));
    } else if (layout.bpp <= 8) {
        if (table.empty()) table = TableFor(layout.bpp);
        for (size_t i = 0; i < table.size(); ++i)
            colors[i] = RGBQUAD{GetBValue(table[i]), GetGValue(table[i]), GetRValue(table[i]), 0};
        h->biClrUsed = static_cast<DWORD>(table.size());
    }
    Dib d;
    void* bits = nullptr;
    d.bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS,
                                &bits, nullptr, 0);
    d.bits = static_cast<uint8_t*>(bits);
    d.width = width;
    d.height = height;
    d.bpp = layout.bpp;
    d.topDown = topDown;
    return d;
}

Dib MakeDib24(int width, int height, bool topDown = false) {
    return MakeDib(width, height, kDibLayouts[7], topDown);
}

// A memory DC holding a bitmap for the life of the object.
class MemDC {
public:
    explicit MemDC(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr)) {
        old_ = SelectObject(dc_, bitmap);
    }
    ~MemDC() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    operator HDC() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Raw pixel value of a colour in a format (computed here, not by GDI).
uint32_t Pack(const DibLayout& layout, COLORREF c) {
    uint32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (layout.bpp <= 8) {
        std::vector<COLORREF> table = TableFor(layout.bpp);
        for (size_t i = 0; i < table.size(); ++i)
            if (table[i] == c) return static_cast<uint32_t>(i);
        return 0xFFFFFFFF;
    }
    if (layout.bpp == 24 || (layout.bpp == 32 && layout.compression == BI_RGB))
        return (r << 16) | (g << 8) | b;
    if (layout.bpp == 16 && layout.compression == BI_RGB)
        return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    uint32_t v = 0;
    uint32_t channel[3] = {r, g, b};
    for (int i = 0; i < 3; ++i) {
        uint32_t m = layout.masks[i];
        int shift = 0, bits = 0;
        while (!((m >> shift) & 1)) ++shift;
        while ((m >> (shift + bits)) & 1) ++bits;
        v |= (channel[i] >> (8 - bits)) << shift;
    }
    return v;
}

// ---- Objects -------------------------------------------------------------------------

TEST(GdiObjects, StockBrushesPensAndFont) {
    struct Case {
        int index;
        UINT style;
        COLORREF color;
    };
    const Case brushes[] = {
        {WHITE_BRUSH, BS_SOLID, RGB(255, 255, 255)}, {LTGRAY_BRUSH, BS_SOLID, RGB(192, 192, 192)},
        {GRAY_BRUSH, BS_SOLID, RGB(128, 128, 128)},  {DKGRAY_BRUSH, BS_SOLID, RGB(64, 64, 64)},
        {BLACK_BRUSH, BS_SOLID, RGB(0, 0, 0)},       {NULL_BRUSH, BS_NULL, 0}};
    for (const Case& c : brushes) {
        HGDIOBJ o = GetStockObject(c.index);
        ASSERT_NE(o, nullptr) << c.index;
        EXPECT_EQ(GetObjectType(o), static_cast<DWORD>(OBJ_BRUSH));
        LOGBRUSH lb{};
        EXPECT_EQ(GetObjectW(o, sizeof(lb), &lb), static_cast<int>(sizeof(lb)));
        EXPECT_EQ(lb.lbStyle, c.style) << c.index;
        if (c.style == BS_SOLID) {
            EXPECT_EQ(lb.lbColor, c.color) << c.index;
        }
    }
    EXPECT_EQ(GetStockObject(HOLLOW_BRUSH), GetStockObject(NULL_BRUSH));
    const Case pens[] = {{BLACK_PEN, PS_SOLID, RGB(0, 0, 0)},
                         {WHITE_PEN, PS_SOLID, RGB(255, 255, 255)},
                         {NULL_PEN, PS_NULL, 0}};
    for (const Case& c : pens) {
        LOGPEN lp{};
        ASSERT_EQ(GetObjectW(GetStockObject(c.index), sizeof(lp), &lp),
                  static_cast<int>(sizeof(lp)));
        EXPECT_EQ(lp.lopnStyle, c.style);
        if (c.style == PS_SOLID) {
            EXPECT_EQ(lp.lopnColor, c.color);
        }
    }
    LOGFONTW lf{};
    ASSERT_EQ(GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(lf), &lf),
              static_cast<int>(sizeof(lf)));
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
    EXPECT_LT(lf.lfHeight, 0);
    // Deleting a stock object is harmless and leaves it usable.
    EXPECT_TRUE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_EQ(GetObjectType(GetStockObject(BLACK_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
}

TEST(GdiObjects, MemoryDcStartsWithMonochromeBitmapAndSelectReturnsPrevious) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_MEMDC));
    HBITMAP initial = static_cast<HBITMAP>(GetCurrentObject(dc, OBJ_BITMAP));
    BITMAP bm{};
    ASSERT_EQ(GetObjectW(initial, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmWidth, 1);
    EXPECT_EQ(bm.bmHeight, 1);
    EXPECT_EQ(bm.bmBitsPixel, 1);

    Dib d = MakeDib24(4, 4);
    EXPECT_EQ(SelectObject(dc, d.bitmap), initial);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
    EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), pen);
    EXPECT_EQ(SelectObject(dc, initial), d.bitmap);
    // A compatible bitmap of a fresh memory DC is monochrome.
    HBITMAP mono = CreateCompatibleBitmap(dc, 8, 8);
    ASSERT_EQ(GetObjectW(mono, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmBitsPixel, 1);
    EXPECT_EQ(bm.bmWidthBytes, 2);
    DeleteObject(mono);
    DeleteObject(pen);
    DeleteObject(d.bitmap);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetObjectType(dc), 0u);
}

TEST(GdiObjects, DeleteObjectRefusesSelectedObjects) {
    Dib d = MakeDib24(2, 2);
    HPEN pen = CreatePen(PS_DASH, 1, RGB(9, 9, 9));
    HBRUSH brush = CreateSolidBrush(RGB(7, 7, 7));
    HFONT font = CreateFontW(-10, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Arial");
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ objects[] = {d.bitmap, pen, brush, font};
    std::vector<HGDIOBJ> previous;
    for (HGDIOBJ o : objects) previous.push_back(SelectObject(dc, o));
    for (HGDIOBJ o : objects) EXPECT_FALSE(DeleteObject(o)) << GetObjectType(o);
    for (HGDIOBJ o : previous) SelectObject(dc, o);
    for (HGDIOBJ o : objects) EXPECT_TRUE(DeleteObject(o)) << GetObjectType(o);
    // The handles are dead now.
    for (HGDIOBJ o : objects) {
        EXPECT_FALSE(DeleteObject(o));
        EXPECT_EQ(GetObjectType(o), 0u);
    }
    DeleteDC(dc);
}

TEST(GdiObjects, BitmapSelectedIntoOneDcAtATime) {
    Dib d = MakeDib24(2, 2);
    HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
    HGDIOBJ oldA = SelectObject(a, d.bitmap);
    EXPECT_NE(oldA, nullptr);
    EXPECT_EQ(SelectObject(b, d.bitmap), nullptr);
    SelectObject(a, oldA);
    HGDIOBJ oldB = SelectObject(b, d.bitmap);
    EXPECT_NE(oldB, nullptr);
    // Deleting the DC lets the bitmap go.
    DeleteDC(b);
    EXPECT_TRUE(DeleteObject(d.bitmap));
    DeleteDC(a);
}

TEST(GdiObjects, GetObjectDescribesDibSections) {
    for (const DibLayout& layout : kDibLayouts) {
        for (bool topDown : {false, true}) {
            Dib d = MakeDib(13, 5, layout, topDown);
            ASSERT_NE(d.bitmap, nullptr) << layout.name;
            DIBSECTION ds{};
            ASSERT_EQ(GetObjectW(d.bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)))
                << layout.name;
            EXPECT_EQ(ds.dsBm.bmWidth, 13);
            EXPECT_EQ(ds.dsBm.bmHeight, 5);
            EXPECT_EQ(ds.dsBm.bmWidthBytes, d.Stride()) << layout.name;
            EXPECT_EQ(ds.dsBm.bmBitsPixel, layout.bpp);
            EXPECT_EQ(ds.dsBm.bmBits, d.bits);
            EXPECT_EQ(ds.dsBmih.biHeight, 5) << "reported positive";
            EXPECT_EQ(ds.dsBmih.biSizeImage, static_cast<DWORD>(d.Stride() * 5));
            if (layout.compression == BI_BITFIELDS) {
                EXPECT_EQ(ds.dsBitfields[0], layout.masks[0]) << layout.name;
            }
            BITMAP bm{};
            EXPECT_EQ(GetObjectW(d.bitmap, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
            EXPECT_EQ(GetObjectW(d.bitmap, 0, nullptr), static_cast<int>(sizeof(BITMAP)));
            DeleteObject(d.bitmap);
        }
    }
}

TEST(GdiObjects, CreateDibSectionRejectsBadHeaders) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biPlanes = 1;
    struct Case {
        LONG width, height;
        WORD bpp;
        DWORD compression;
    };
    const Case cases[] = {{0, 4, 24, BI_RGB},       {4, 0, 24, BI_RGB},        {-4, 4, 24, BI_RGB},
                          {4, 4, 7, BI_RGB},        {4, 4, 24, BI_BITFIELDS},  {4, 4, 8, BI_RLE8},
                          {1 << 21, 4, 24, BI_RGB}, {60000, 60000, 32, BI_RGB}};
    for (const Case& c : cases) {
        info.bmiHeader.biWidth = c.width;
        info.bmiHeader.biHeight = c.height;
        info.bmiHeader.biBitCount = c.bpp;
        info.bmiHeader.biCompression = c.compression;
        void* bits = reinterpret_cast<void*>(1);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr)
            << c.width << "x" << c.height << "x" << c.bpp;
        EXPECT_EQ(bits, nullptr);
    }
    // Masks with holes in them.
    std::vector<uint8_t> buffer(sizeof(BITMAPINFOHEADER) + 12);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(buffer.data());
    *h = info.bmiHeader;
    h->biWidth = 4;
    h->biHeight = 4;
    h->biBitCount = 16;
    h->biCompression = BI_BITFIELDS;
    DWORD masks[3] = {0xF0F0, 0x0F00, 0x000F};
    std::memcpy(buffer.data() + sizeof(BITMAPINFOHEADER), masks, sizeof(masks));
    EXPECT_EQ(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(buffer.data()),
                               DIB_RGB_COLORS, nullptr, nullptr, 0),
              nullptr);
}

// ---- Pixel layout ---------------------------------------------------------------------

TEST(GdiPixels, SetPixelLandsInDibLayoutAtEveryDepth) {
    for (const DibLayout& layout : kDibLayouts) {
        for (bool topDown : {false, true}) {
            Dib d = MakeDib(11, 3, layout, topDown);
            MemDC dc(d.bitmap);
            std::vector<COLORREF> colors = SharedColors(layout.bpp, layout.bpp);
            for (size_t i = 0; i < colors.size(); ++i) {
                int x = static_cast<int>(i % 11), y = static_cast<int>(1 + i / 11);
                EXPECT_EQ(SetPixel(dc, x, y, colors[i]), colors[i]) << layout.name;
                EXPECT_EQ(d.Raw(x, y), Pack(layout, colors[i]))
                    << layout.name << " colour " << i << " topDown " << topDown;
                EXPECT_EQ(GetPixel(dc, x, y), colors[i]) << layout.name;
            }
            // Row 0 and the pixels beside stay untouched.
            for (int x = 0; x < 11; ++x) EXPECT_EQ(d.Raw(x, 0), 0u) << layout.name;
            EXPECT_EQ(GetPixel(dc, 11, 0), CLR_INVALID);
            EXPECT_EQ(GetPixel(dc, -1, 0), CLR_INVALID);
            EXPECT_EQ(SetPixel(dc, 0, 3, RGB(1, 1, 1)), CLR_INVALID);
        }
    }
}

TEST(GdiPixels, Packing565And555) {
    struct Case {
        COLORREF color;
        uint32_t word565, word555;
    };
    const Case cases[] = {
        {RGB(255, 0, 0), 0xF800, 0x7C00},        {RGB(0, 255, 0), 0x07E0, 0x03E0},
        {RGB(0, 0, 255), 0x001F, 0x001F},        {RGB(255, 255, 255), 0xFFFF, 0x7FFF},
        {RGB(8, 4, 8), 0x0821, 0x0401},          {RGB(7, 3, 7), 0x0000, 0x0000},
        {RGB(0x84, 0x82, 0x81), 0x8410, 0x4210},
    };
    Dib d565 = MakeDib(1, 1, kDibLayouts[5]);
    Dib d555 = MakeDib(1, 1, kDibLayouts[4]);
    MemDC dc565(d565.bitmap), dc555(d555.bitmap);
    for (const Case& c : cases) {
        SetPixel(dc565, 0, 0, c.color);
        SetPixel(dc555, 0, 0, c.color);
        EXPECT_EQ(d565.Raw(0, 0), c.word565) << std::hex << c.color;
        EXPECT_EQ(d555.Raw(0, 0), c.word555) << std::hex << c.color;
    }
    // Reading back widens each channel by repeating its high bits.
    *reinterpret_cast<uint16_t*>(d565.bits) = 0x8410;
    EXPECT_EQ(GetPixel(dc565, 0, 0), RGB(0x84, 0x82, 0x84));
}

// ---- Block transfers ------------------------------------------------------------------

TEST(GdiBlit, CopiesBetweenEveryPairOfDepths) {
    for (const DibLayout& from : kDibLayouts) {
        for (const DibLayout& to : kDibLayouts) {
            Dib src = MakeDib(9, 4, from);
            Dib dst = MakeDib(12, 6, to, true);
            MemDC s(src.bitmap), d(dst.bitmap);
            std::vector<COLORREF> colors = SharedColors(from.bpp, to.bpp);
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 9; ++x)
                    SetPixel(s, x, y, colors[static_cast<size_t>(x * 3 + y) % colors.size()]);
            ASSERT_TRUE(BitBlt(d, 2, 1, 9, 4, s, 0, 0, SRCCOPY)) << from.name << "->" << to.name;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 9; ++x)
                    ASSERT_EQ(GetPixel(d, x + 2, y + 1),
                              colors[static_cast<size_t>(x * 3 + y) % colors.size()])
                        << from.name << "->" << to.name << " at " << x << "," << y;
            // Nothing outside the destination rectangle changed.
            for (int y = 0; y < 6; ++y)
                for (int x = 0; x < 12; ++x)
                    if (x < 2 || x >= 11 || y < 1 || y >= 5) {
                        ASSERT_EQ(dst.Raw(x, y), 0u)
                            << from.name << "->" << to.name << " at " << x << "," << y;
                    }
            DeleteObject(src.bitmap);
            DeleteObject(dst.bitmap);
        }
    }
}

TEST(GdiBlit, ColourTableConversion) {
    // An 8-bit picture through its table onto 24 bits, and back by nearest colour.
    std::vector<COLORREF> table(256);
    for (int i = 0; i < 256; ++i) table[static_cast<size_t>(i)] = RGB(255 - i, i, i / 2);
    Dib indexed = MakeDib(16, 16, kDibLayouts[3], false, table);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            indexed.bits[static_cast<size_t>((15 - y) * indexed.Stride() + x)] =
                static_cast<uint8_t>(y * 16 + x);
    Dib rgb = MakeDib24(16, 16);
    {
        MemDC s(indexed.bitmap), d(rgb.bitmap);
        ASSERT_TRUE(BitBlt(d, 0, 0, 16, 16, s, 0, 0, SRCCOPY));
        for (int i = 0; i < 256; ++i) {
            uint32_t expect =
                (static_cast<uint32_t>(255 - i) << 16) | (static_cast<uint32_t>(i) << 8) | (i / 2);
            ASSERT_EQ(rgb.Raw(i % 16, i / 16), expect) << i;
        }
        // Changing the table changes what the same indices show.
        RGBQUAD grey[256];
        for (int i = 0; i < 256; ++i)
            grey[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
        EXPECT_EQ(SetDIBColorTable(s, 0, 256, grey), 256u);
        RGBQUAD back[4];
        EXPECT_EQ(GetDIBColorTable(s, 252, 10, back), 4u);
        EXPECT_EQ(back[3].rgbRed, 255);
        ASSERT_TRUE(BitBlt(d, 0, 0, 16, 16, s, 0, 0, SRCCOPY));
        EXPECT_EQ(rgb.Raw(5, 2), 0x252525u);
        EXPECT_EQ(GetDIBColorTable(d, 0, 1, back), 0u) << "24-bit bitmaps have no table";
    }
    // 24 -> 8: exact table colours find their index, others the nearest.
    Dib grey = MakeDib(3, 1, kDibLayouts[3], true, [] {
        std::vector<COLORREF> t(256);
        for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = RGB(i, i, i);
        return t;
    }());
    Dib source = MakeDib24(3, 1);
    MemDC s(source.bitmap), d(grey.bitmap);
    SetPixel(s, 0, 0, RGB(7, 7, 7));
    SetPixel(s, 1, 0, RGB(200, 200, 200));
    SetPixel(s, 2, 0, RGB(100, 104, 102));
    BitBlt(d, 0, 0, 3, 1, s, 0, 0, SRCCOPY);
    EXPECT_EQ(grey.Raw(0, 0), 7u);
    EXPECT_EQ(grey.Raw(1, 0), 200u);
    EXPECT_EQ(grey.Raw(2, 0), 102u);
}

TEST(GdiBlit, RasterOperationsOnPixelValues) {
    struct Rop {
        const char* name;
        DWORD code;
        std::function<uint32_t(uint32_t p, uint32_t s, uint32_t d)> f;
    };
    const Rop rops[] = {
        {"SRCCOPY", SRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return s; }},
        {"SRCPAINT", SRCPAINT, [](uint32_t, uint32_t s, uint32_t d) { return s | d; }},
        {"SRCAND", SRCAND, [](uint32_t, uint32_t s, uint32_t d) { return s & d; }},
        {"SRCINVERT", SRCINVERT, [](uint32_t, uint32_t s, uint32_t d) { return s ^ d; }},
        {"SRCERASE", SRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return s & ~d; }},
        {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t, uint32_t s, uint32_t) { return ~s; }},
        {"NOTSRCERASE", NOTSRCERASE, [](uint32_t, uint32_t s, uint32_t d) { return ~(s | d); }},
        {"MERGECOPY", MERGECOPY, [](uint32_t p, uint32_t s, uint32_t) { return p & s; }},
        {"MERGEPAINT", MERGEPAINT, [](uint32_t, uint32_t s, uint32_t d) { return ~s | d; }},
        {"PATCOPY", PATCOPY, [](uint32_t p, uint32_t, uint32_t) { return p; }},
        {"PATPAINT", PATPAINT, [](uint32_t p, uint32_t s, uint32_t d) { return p | ~s | d; }},
        {"PATINVERT", PATINVERT, [](uint32_t p, uint32_t, uint32_t d) { return p ^ d; }},
        {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t, uint32_t d) { return ~d; }},
        {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
        {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return ~0u; }},
    };
    struct Depth {
        const DibLayout& layout;
        COLORREF s, d, p;  // colours whose pixel values the test knows
        uint32_t mask;
    };
    std::vector<COLORREF> greyTable(256);
    for (int i = 0; i < 256; ++i) greyTable[static_cast<size_t>(i)] = RGB(i, i, i);
    const Depth depths[] = {
        {kDibLayouts[7], RGB(0x3C, 0x5A, 0x96), RGB(0xF0, 0x0F, 0x55), RGB(0x81, 0x7E, 0x18),
         0xFFFFFF},
        {kDibLayouts[8], RGB(0x3C, 0x5A, 0x96), RGB(0xF0, 0x0F, 0x55), RGB(0x81, 0x7E, 0x18),
         0xFFFFFFFF},
        {kDibLayouts[5], RGB(0x38, 0x5C, 0x90), RGB(0xF0, 0x0C, 0x50), RGB(0x80, 0x7C, 0x18),
         0xFFFF},
        {kDibLayouts[3], RGB(0x3C, 0x3C, 0x3C), RGB(0xA5, 0xA5, 0xA5), RGB(0x6E, 0x6E, 0x6E), 0xFF},
        {kDibLayouts[0], RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), 0x1},
    };
    for (const Depth& depth : depths) {
        bool grey = depth.layout.bpp == 8;
        for (const Rop& rop : rops) {
            Dib src =
                MakeDib(4, 2, depth.layout, false, grey ? greyTable : std::vector<COLORREF>{});
            Dib dst =
                MakeDib(4, 2, depth.layout, false, grey ? greyTable : std::vector<COLORREF>{});
            MemDC s(src.bitmap), d(dst.bitmap);
            HBRUSH brush = CreateSolidBrush(depth.p);
            HGDIOBJ old = SelectObject(d, brush);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < 4; ++x) {
                    SetPixel(s, x, y, depth.s);
                    SetPixel(d, x, y, depth.d);
                }
            // The same values read back through a one-pixel probe.
            uint32_t sv = src.Raw(0, 0), dv = dst.Raw(0, 0);
            SetPixel(d, 3, 1, depth.p);
            uint32_t pv = dst.Raw(3, 1);
            SetPixel(d, 3, 1, depth.d);
            ASSERT_TRUE(BitBlt(d, 1, 0, 2, 2, s, 0, 0, rop.code)) << rop.name;
            uint32_t expect = rop.f(pv, sv, dv) & depth.mask;
            EXPECT_EQ(dst.Raw(1, 0), expect) << depth.layout.name << " " << rop.name;
            EXPECT_EQ(dst.Raw(2, 1), expect) << depth.layout.name << " " << rop.name;
            EXPECT_EQ(dst.Raw(0, 0), dv) << depth.layout.name << " " << rop.name;
            EXPECT_EQ(dst.Raw(3, 1), dv) << depth.layout.name << " " << rop.name;
            SelectObject(d, old);
            DeleteObject(brush);
            DeleteObject(src.bitmap);
            DeleteObject(dst.bitmap);
        }
    }
}

TEST(GdiBlit, PatBltRefusesSourceOperations) {
    Dib dst = MakeDib24(4, 4);
    MemDC d(dst.bitmap);
    EXPECT_FALSE(PatBlt(d, 0, 0, 4, 4, SRCCOPY));
    EXPECT_FALSE(BitBlt(d, 0, 0, 4, 4, nullptr, 0, 0, SRCCOPY));
    EXPECT_TRUE(PatBlt(d, 0, 0, 4, 4, WHITENESS));
    EXPECT_EQ(dst.Raw(3, 3), 0xFFFFFFu);
    // A negative width counts back from one past x.
    EXPECT_TRUE(PatBlt(d, 2, 0, -2, 1, BLACKNESS));
    EXPECT_EQ(dst.Raw(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dst.Raw(1, 0), 0u);
    EXPECT_EQ(dst.Raw(2, 0), 0u);
    EXPECT_EQ(dst.Raw(3, 0), 0xFFFFFFu);
}

TEST(GdiBlit, MonochromeToColourUsesTextAndBackgroundColours) {
    const WORD bits[1] = {0x00B0};  // 1011 0000: pixels 0, 2 and 3 set
    HBITMAP mono = CreateBitmap(8, 1, 1, 1, bits);
    ASSERT_NE(mono, nullptr);
    Dib dst = MakeDib24(8, 1);
    MemDC s(mono), d(dst.bitmap);
    SetTextColor(d, RGB(255, 0, 0));
    SetBkColor(d, RGB(0, 0, 255));
    ASSERT_TRUE(BitBlt(d, 0, 0, 8, 1, s, 0, 0, SRCCOPY));
    const uint32_t red = 0xFF0000, blue = 0x0000FF;
    const uint32_t expect[8] = {blue, red, blue, blue, red, red, red, red};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.Raw(x, 0), expect[x]) << x;
    EXPECT_EQ(GetPixel(s, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(s, 1, 0), RGB(0, 0, 0));
    DeleteObject(mono);
}

TEST(GdiBlit, ColourToMonochromeMatchesSourceBackground) {
    Dib src = MakeDib24(4, 1);
    HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
    MemDC s(src.bitmap), d(mono);
    const COLORREF key = RGB(10, 20, 30);
    SetPixel(s, 0, 0, key);
    SetPixel(s, 1, 0, RGB(255, 255, 255));
    SetPixel(s, 2, 0, key);
    SetPixel(s, 3, 0, RGB(0, 0, 0));
    SetBkColor(s, key);
    ASSERT_TRUE(BitBlt(d, 0, 0, 4, 1, s, 0, 0, SRCCOPY));
    const COLORREF expect[4] = {RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0)};
    for (int x = 0; x < 4; ++x) EXPECT_EQ(GetPixel(d, x, 0), expect[x]) << x;
    DeleteObject(mono);
}

TEST(GdiBlit, StretchNearestNeighbourAndMirrors) {
    Dib src = MakeDib24(4, 2);
    MemDC s(src.bitmap);
    const COLORREF c[4] = {RGB(1, 0, 0), RGB(2, 0, 0), RGB(3, 0, 0), RGB(4, 0, 0)};
    for (int x = 0; x < 4; ++x) {
        SetPixel(s, x, 0, c[x]);
        SetPixel(s, x, 1, c[x] | RGB(0, 9, 0));
    }
    struct Case {
        const char* name;
        int x, w, sx, sw;
        int outWidth;
        std::vector<int> expect;  // source column per destination column, -1 untouched
    };
    const Case cases[] = {
        {"double", 0, 8, 0, 4, 8, {0, 0, 1, 1, 2, 2, 3, 3}},
        {"half", 0, 2, 0, 4, 4, {0, 2, -1, -1}},
        {"same", 0, 4, 0, 4, 4, {0, 1, 2, 3}},
        {"mirror destination", 3, -4, 0, 4, 4, {3, 2, 1, 0}},
        {"mirror source", 0, 4, 3, -4, 4, {3, 2, 1, 0}},
        {"both negative", 3, -4, 3, -4, 4, {0, 1, 2, 3}},
        {"source partly outside", 0, 4, 2, 4, 4, {2, 3, -1, -1}},
    };
    for (const Case& k : cases) {
        Dib dst = MakeDib24(k.outWidth, 1);
        MemDC d(dst.bitmap);
        ASSERT_TRUE(StretchBlt(d, k.x, 0, k.w, 1, s, k.sx, 0, k.sw, 1, SRCCOPY)) << k.name;
        for (int x = 0; x < k.outWidth; ++x) {
            uint32_t expect = k.expect[static_cast<size_t>(x)] < 0
                                  ? 0u
                                  : static_cast<uint32_t>(k.expect[static_cast<size_t>(x)] + 1)
                                        << 16;
            EXPECT_EQ(dst.Raw(x, 0), expect) << k.name << " column " << x;
        }
        DeleteObject(dst.bitmap);
    }
    // A negative source height flips rows.
    Dib flipped = MakeDib24(4, 2);
    MemDC f(flipped.bitmap);
    ASSERT_TRUE(StretchBlt(f, 0, 0, 4, 2, s, 0, 1, 4, -2, SRCCOPY));
    EXPECT_EQ(GetPixel(f, 0, 0), c[0] | RGB(0, 9, 0));
    EXPECT_EQ(GetPixel(f, 0, 1), c[0]);
}

TEST(GdiBlit, StretchesEightBitsOntoTheScreenFormat) {
    // The picture path: an 8-bit image through its table into a 5-6-5 bitmap.
    std::vector<COLORREF> table(256);
    for (int i = 0; i < 256; ++i) table[static_cast<size_t>(i)] = RGB(i, 255 - i, 0);
    Dib src = MakeDib(64, 64, kDibLayouts[3], false, table);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            src.bits[static_cast<size_t>((63 - y) * src.Stride() + x)] =
                static_cast<uint8_t>(x * 4);
    Dib dst = MakeDib(16, 16, kDibLayouts[5], true);
    MemDC s(src.bitmap), d(dst.bitmap);
    ASSERT_TRUE(StretchBlt(d, 0, 0, 16, 16, s, 0, 0, 64, 64, SRCCOPY));
    for (int x = 0; x < 16; ++x) {
        int index = x * 4 * 4;  // source column 4x, value 4 * column
        uint32_t r = static_cast<uint32_t>(index) >> 3, g = static_cast<uint32_t>(255 - index) >> 2;
        EXPECT_EQ(dst.Raw(x, 7), (r << 11) | (g << 5)) << x;
    }
}

TEST(GdiBlit, OverlappingCopyWithinOneBitmap) {
    Dib d = MakeDib24(6, 1);
    MemDC dc(d.bitmap);
    for (int x = 0; x < 6; ++x) SetPixel(dc, x, 0, RGB(x + 1, 0, 0));
    ASSERT_TRUE(BitBlt(dc, 1, 0, 5, 1, dc, 0, 0, SRCCOPY));
    const int expect[6] = {1, 1, 2, 3, 4, 5};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(d.Raw(x, 0), static_cast<uint32_t>(expect[x]) << 16) << x;
}

TEST(GdiBlit, DibCallsTakeRowsFromTheBottom) {
    // A bottom-up 2x2 DIB: the first row in memory is the lower one.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const uint32_t bits[4] = {0x000001, 0x000002, 0x000003,
                              0x000004};  // bottom row 1, 2; top row 3, 4
    Dib dst = MakeDib24(2, 2, true);
    MemDC d(dst.bitmap);
    EXPECT_EQ(StretchDIBits(d, 0, 0, 2, 2, 0, 0, 2, 2, bits, &info, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(dst.Raw(0, 0), 3u);
    EXPECT_EQ(dst.Raw(1, 1), 2u);
    Dib dst2 = MakeDib24(2, 2, true);
    MemDC d2(dst2.bitmap);
    EXPECT_EQ(SetDIBitsToDevice(d2, 0, 0, 2, 1, 0, 0, 0, 2, bits, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(dst2.Raw(0, 0), 1u) << "y = 0 is the bottom scan line";
    EXPECT_EQ(dst2.Raw(0, 1), 0u);
}

TEST(GdiBlit, TransparentImageAndMaskBlt) {
    Dib src = MakeDib24(3, 1);
    Dib dst = MakeDib24(3, 1);
    MemDC s(src.bitmap), d(dst.bitmap);
    SetPixel(s, 0, 0, RGB(255, 0, 255));
    SetPixel(s, 1, 0, RGB(1, 2, 3));
    SetPixel(s, 2, 0, RGB(255, 0, 255));
    PatBlt(d, 0, 0, 3, 1, WHITENESS);
    ASSERT_TRUE(TransparentImage(d, 0, 0, 3, 1, s, 0, 0, 3, 1, RGB(255, 0, 255)));
    EXPECT_EQ(dst.Raw(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dst.Raw(1, 0), 0x010203u);
    EXPECT_EQ(dst.Raw(2, 0), 0xFFFFFFu);

    const WORD maskBits[1] = {0x0040};  // 010: only the middle pixel takes the source
    HBITMAP mask = CreateBitmap(3, 1, 1, 1, maskBits);
    PatBlt(d, 0, 0, 3, 1, BLACKNESS);
    ASSERT_TRUE(MaskBlt(d, 0, 0, 3, 1, s, 0, 0, mask, 0, 0, MAKEROP4(SRCCOPY, DSTINVERT)));
    EXPECT_EQ(dst.Raw(0, 0), 0xFFFFFFu);
    EXPECT_EQ(dst.Raw(1, 0), 0x010203u);
    EXPECT_EQ(dst.Raw(2, 0), 0xFFFFFFu);
    DeleteObject(mask);
}

// ---- Clipping ----------------------------------------------------------------------------

TEST(GdiClip, RectangleClipsAndRegions) {
    Dib d = MakeDib24(10, 10, true);
    MemDC dc(d.bitmap);
    RECT all = {0, 0, 10, 10};
    EXPECT_EQ(IntersectClipRect(dc, 2, 2, 8, 8), SIMPLEREGION);
    EXPECT_EQ(ExcludeClipRect(dc, 4, 4, 6, 6), COMPLEXREGION);
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 2);
    EXPECT_EQ(box.bottom, 8);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside =
                x >= 2 && x < 8 && y >= 2 && y < 8 && !(x >= 4 && x < 6 && y >= 4 && y < 6);
            ASSERT_EQ(d.Raw(x, y), inside ? 0xFFFFFFu : 0u) << x << "," << y;
        }
    // A region replaces the clip; removing it opens the whole bitmap again.
    HRGN rgn = CreateRectRgn(0, 0, 1, 10);
    EXPECT_EQ(SelectClipRgn(dc, rgn), SIMPLEREGION);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetClipRgn(dc, probe), 1);
    EXPECT_TRUE(EqualRgn(probe, rgn));
    PatBlt(dc, 0, 0, 10, 10, DSTINVERT);
    EXPECT_EQ(d.Raw(0, 5), 0xFFFFFFu);
    EXPECT_EQ(d.Raw(3, 3), 0xFFFFFFu);
    EXPECT_EQ(SelectClipRgn(dc, nullptr), SIMPLEREGION);
    EXPECT_EQ(GetClipRgn(dc, probe), 0);
    PatBlt(dc, 0, 0, 10, 10, DSTINVERT);
    EXPECT_EQ(d.Raw(0, 5), 0u);
    EXPECT_EQ(d.Raw(3, 3), 0u);
    DeleteObject(rgn);
    DeleteObject(probe);
}

TEST(GdiClip, CombineRegions) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15),
         r = CreateRectRgn(0, 0, 0, 0);
    struct Case {
        int mode;
        int type;
        POINT inside, outside;
    };
    const Case cases[] = {
        {RGN_AND, SIMPLEREGION, {7, 7}, {2, 2}},    {RGN_OR, COMPLEXREGION, {12, 12}, {12, 2}},
        {RGN_DIFF, COMPLEXREGION, {2, 2}, {7, 7}},  {RGN_XOR, COMPLEXREGION, {12, 12}, {7, 7}},
        {RGN_COPY, SIMPLEREGION, {2, 2}, {12, 12}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CombineRgn(r, a, b, c.mode), c.type) << c.mode;
        EXPECT_TRUE(PtInRegion(r, c.inside.x, c.inside.y)) << c.mode;
        EXPECT_FALSE(PtInRegion(r, c.outside.x, c.outside.y)) << c.mode;
    }
    RECT box;
    CombineRgn(r, a, b, RGN_OR);
    EXPECT_EQ(GetRgnBox(r, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 15);
    EXPECT_EQ(OffsetRgn(a, 1, 1), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(a, b) == FALSE);
    SetRectRgn(a, 5, 5, 15, 15);
    EXPECT_TRUE(EqualRgn(a, b));
    for (HRGN h : {a, b, r}) DeleteObject(h);
}

TEST(GdiClip, ViewportOriginMovesDrawingAndClipsStayInDeviceUnits) {
    Dib d = MakeDib24(8, 8, true);
    MemDC dc(d.bitmap);
    POINT old;
    EXPECT_TRUE(SetViewportOrgEx(dc, 3, 2, &old));
    EXPECT_EQ(old.x, 0);
    SetPixel(dc, 0, 0, RGB(1, 1, 1));
    EXPECT_EQ(d.Raw(3, 2), 0x010101u);
    EXPECT_EQ(IntersectClipRect(dc, 0, 0, 1, 1), SIMPLEREGION);
    RECT box;
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.right, 1);
    SetViewportOrgEx(dc, 0, 0, nullptr);
    GetClipBox(dc, &box);
    EXPECT_EQ(box.left, 3) << "the clip stays where it was on the device";
}

// ---- Lines and shapes ------------------------------------------------------------------------

TEST(GdiShapes, LinesLeaveOutTheLastPixel) {
    struct Case {
        const char* name;
        POINT from, to;
        std::vector<POINT> pixels;
    };
    const Case cases[] = {
        {"horizontal", {1, 1}, {5, 1}, {{1, 1}, {2, 1}, {3, 1}, {4, 1}}},
        {"leftwards", {5, 1}, {1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
        {"vertical", {2, 0}, {2, 3}, {{2, 0}, {2, 1}, {2, 2}}},
        {"diagonal", {0, 0}, {3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {"up diagonal", {3, 3}, {0, 0}, {{3, 3}, {2, 2}, {1, 1}}},
        {"shallow", {0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {"empty", {2, 2}, {2, 2}, {}},
    };
    for (const Case& c : cases) {
        Dib d = MakeDib24(8, 8, true);
        MemDC dc(d.bitmap);
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, c.from.x, c.from.y, nullptr);
        EXPECT_TRUE(LineTo(dc, c.to.x, c.to.y));
        POINT pos;
        GetCurrentPositionEx(dc, &pos);
        EXPECT_EQ(pos.x, c.to.x);
        int set = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) set += d.Raw(x, y) != 0;
        EXPECT_EQ(set, static_cast<int>(c.pixels.size())) << c.name;
        for (const POINT& p : c.pixels)
            EXPECT_EQ(d.Raw(p.x, p.y), 0xFFFFFFu) << c.name << " " << p.x << "," << p.y;
        SelectObject(dc, old);
        DeleteObject(pen);
    }
}

TEST(GdiShapes, XorPenDrawnTwiceRestores) {
    Dib d = MakeDib24(16, 16, true);
    MemDC dc(d.bitmap);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) SetPixel(dc, x, y, RGB(x * 16, y * 16, 77));
    std::vector<uint32_t> before;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) before.push_back(d.Raw(x, y));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    SelectObject(dc, pen);
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    EXPECT_EQ(SetROP2(dc, R2_XORPEN), R2_COPYPEN);
    const POINT pts[] = {{1, 1}, {14, 3}, {9, 14}, {1, 1}};
    for (int pass = 0; pass < 2; ++pass) {
        Polyline(dc, pts, 4);
        Rectangle(dc, 2, 2, 12, 9);
        Ellipse(dc, 3, 4, 15, 13);
        if (pass == 0) {
            EXPECT_NE(d.Raw(1, 1), before[1 * 16 + 1]);
        }
    }
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(d.Raw(x, y), before[static_cast<size_t>(y * 16 + x)]) << x << "," << y;
    // R2_NOT inverts whatever is below the line.
    SetROP2(dc, R2_NOT);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 3, 0);
    EXPECT_EQ(d.Raw(2, 0), ~before[2] & 0xFFFFFF);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiShapes, RectangleOutlineAndFill) {
    Dib d = MakeDib24(8, 8, true);
    MemDC dc(d.bitmap);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 200));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(200, 0, 0));
    SelectObject(dc, brush);
    SelectObject(dc, pen);
    Rectangle(dc, 1, 1, 6, 5);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            bool in = x >= 1 && x <= 5 && y >= 1 && y <= 4;
            bool edge = in && (x == 1 || x == 5 || y == 1 || y == 4);
            uint32_t expect = edge ? 0xC80000u : in ? 0x0000C8u : 0u;
            ASSERT_EQ(d.Raw(x, y), expect) << x << "," << y;
        }
    // Without a pen the fill stops one pixel short on the right and bottom.
    PatBlt(dc, 0, 0, 8, 8, BLACKNESS);
    SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, 1, 1, 6, 5);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(d.Raw(x, y), (x >= 1 && x < 5 && y >= 1 && y < 4) ? 0x0000C8u : 0u)
                << x << "," << y;
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(brush);
    DeleteObject(pen);
}

TEST(GdiShapes, EllipseTouchesItsBoxAndStaysInside) {
    struct Case {
        RECT box;
    };
    const Case cases[] = {{{0, 0, 10, 6}}, {{2, 1, 9, 12}}, {{0, 0, 3, 3}}, {{1, 1, 17, 17}}};
    for (const Case& c : cases) {
        Dib d = MakeDib24(20, 20, true);
        MemDC dc(d.bitmap);
        SelectObject(dc, GetStockObject(WHITE_PEN));
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Ellipse(dc, c.box.left, c.box.top, c.box.right, c.box.bottom);
        int minX = 99, maxX = -1, minY = 99, maxY = -1;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                if (d.Raw(x, y)) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                    maxY = std::max(maxY, y);
                }
        EXPECT_EQ(minX, c.box.left);
        EXPECT_EQ(maxX, c.box.right - 1);
        EXPECT_EQ(minY, c.box.top);
        EXPECT_EQ(maxY, c.box.bottom - 1);
        // Symmetric about both axes, and the outline is closed: the centre row
        // has exactly two outline runs.
        for (int y = c.box.top; y < c.box.bottom; ++y)
            for (int x = c.box.left; x < c.box.right; ++x) {
                int mx = c.box.left + c.box.right - 1 - x, my = c.box.top + c.box.bottom - 1 - y;
                ASSERT_EQ(d.Raw(x, y), d.Raw(mx, y)) << x << "," << y;
                ASSERT_EQ(d.Raw(x, y), d.Raw(x, my)) << x << "," << y;
            }
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, GetStockObject(WHITE_BRUSH));
    }
}

TEST(GdiShapes, DashedPenFillsGapsOnlyWhenOpaque) {
    for (int mode : {TRANSPARENT, OPAQUE}) {
        Dib d = MakeDib24(40, 1, true);
        MemDC dc(d.bitmap);
        HPEN pen = CreatePen(PS_DASH, 1, RGB(255, 0, 0));
        SelectObject(dc, pen);
        SetBkMode(dc, mode);
        SetBkColor(dc, RGB(0, 0, 255));
        MoveToEx(dc, 0, 0, nullptr);
        LineTo(dc, 31, 0);
        for (int x = 0; x < 31; ++x) {
            bool dash = x < 18 || x >= 24;
            uint32_t expect = dash ? 0xFF0000u : mode == OPAQUE ? 0x0000FFu : 0u;
            ASSERT_EQ(d.Raw(x, 0), expect) << x << " mode " << mode;
        }
        EXPECT_EQ(d.Raw(31, 0), 0u);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        DeleteObject(pen);
    }
}

TEST(GdiShapes, WidePenCoversItsWidth) {
    Dib d = MakeDib24(20, 20, true);
    MemDC dc(d.bitmap);
    HPEN pen = CreatePen(PS_SOLID, 5, RGB(255, 255, 255));
    SelectObject(dc, pen);
    MoveToEx(dc, 5, 10, nullptr);
    LineTo(dc, 15, 10);
    for (int y = 8; y <= 12; ++y) EXPECT_EQ(d.Raw(10, y), 0xFFFFFFu) << y;
    EXPECT_EQ(d.Raw(10, 6), 0u);
    EXPECT_EQ(d.Raw(10, 14), 0u);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    DeleteObject(pen);
}

TEST(GdiShapes, FillFrameInvertAndFocusRect) {
    Dib d = MakeDib24(10, 10, true);
    MemDC dc(d.bitmap);
    RECT r = {2, 2, 7, 6};
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    FrameRect(dc, &r, brush);
    EXPECT_EQ(d.Raw(2, 2), 0x00FF00u);
    EXPECT_EQ(d.Raw(6, 5), 0x00FF00u);
    EXPECT_EQ(d.Raw(3, 3), 0u);
    EXPECT_EQ(d.Raw(7, 6), 0u);
    FillRect(dc, &r, brush);
    EXPECT_EQ(d.Raw(3, 3), 0x00FF00u);
    InvertRect(dc, &r);
    EXPECT_EQ(d.Raw(3, 3), 0xFF00FFu);
    // A system colour index + 1 works as a brush.
    FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNSHADOW + 1)));
    EXPECT_EQ(d.Raw(4, 4), 0x808080u);
    std::vector<uint32_t> before;
    for (int i = 0; i < 100; ++i) before.push_back(d.Raw(i % 10, i / 10));
    RECT focus = {1, 1, 9, 8};
    DrawFocusRect(dc, &focus);
    EXPECT_NE(d.Raw(1, 1), before[11]);
    EXPECT_EQ(d.Raw(2, 1), before[12]) << "dotted";
    DrawFocusRect(dc, &focus);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(d.Raw(i % 10, i / 10), before[static_cast<size_t>(i)]) << i;
    DeleteObject(brush);
}

TEST(GdiShapes, SaveAndRestoreDc) {
    Dib d = MakeDib24(2, 2);
    MemDC dc(d.bitmap);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    SetTextColor(dc, RGB(9, 9, 9));
    int level = SaveDC(dc);
    EXPECT_EQ(level, 1);
    SelectObject(dc, pen);
    SetTextColor(dc, RGB(1, 1, 1));
    SetBkMode(dc, TRANSPARENT);
    EXPECT_TRUE(RestoreDC(dc, -1));
    EXPECT_EQ(GetTextColor(dc), RGB(9, 9, 9));
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen)) << "no longer selected after the restore";
    EXPECT_FALSE(RestoreDC(dc, 1));
}

// ---- System colours, edges, frame controls, icons
// -------------------------------------------------

TEST(GdiUser, SystemColoursAndBrushes) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOW & ~SYS_COLOR_INDEX_FLAG));
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), RGB(0, 0, 0));
    for (int i = 0; i < C_SYS_COLOR_TYPES; ++i) {
        HBRUSH b = GetSysColorBrush(i | SYS_COLOR_INDEX_FLAG);
        ASSERT_NE(b, nullptr);
        LOGBRUSH lb;
        GetObjectW(b, sizeof(lb), &lb);
        EXPECT_EQ(lb.lbColor, GetSysColor(i)) << i;
        EXPECT_EQ(GetSysColorBrush(i), b);
        EXPECT_TRUE(DeleteObject(b));
        EXPECT_EQ(GetObjectType(b), static_cast<DWORD>(OBJ_BRUSH)) << "system brushes stay";
    }
}

TEST(GdiUser, DrawEdgeColoursAndAdjust) {
    Dib d = MakeDib24(10, 10, true);
    MemDC dc(d.bitmap);
    RECT r = {0, 0, 10, 10};
    ASSERT_TRUE(DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST));
    EXPECT_EQ(r.left, 2);
    EXPECT_EQ(r.bottom, 8);
    auto rgb = [](COLORREF c) {
        return (static_cast<uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    };
    EXPECT_EQ(d.Raw(0, 5), rgb(GetSysColor(COLOR_BTNSHADOW)));     // outer top-left
    EXPECT_EQ(d.Raw(9, 5), rgb(GetSysColor(COLOR_BTNHIGHLIGHT)));  // outer bottom-right
    EXPECT_EQ(d.Raw(1, 5), rgb(GetSysColor(COLOR_3DDKSHADOW)));    // inner top-left
    EXPECT_EQ(d.Raw(8, 5), rgb(GetSysColor(COLOR_3DLIGHT)));       // inner bottom-right
    EXPECT_EQ(d.Raw(9, 0), rgb(GetSysColor(COLOR_BTNHIGHLIGHT))) << "bottom-right owns the corner";
    EXPECT_EQ(d.Raw(5, 5), 0u);
}

TEST(GdiUser, FrameControlStatesDrawDifferently) {
    auto draw = [](UINT type, UINT state) {
        Dib d = MakeDib24(16, 16, true);
        MemDC dc(d.bitmap);
        RECT r = {0, 0, 16, 16};
        EXPECT_TRUE(DrawFrameControl(dc, &r, type, state));
        std::vector<uint32_t> px;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) px.push_back(d.Raw(x, y));
        DeleteObject(d.bitmap);
        return px;
    };
    EXPECT_NE(draw(DFC_BUTTON, DFCS_BUTTONPUSH), draw(DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED));
    EXPECT_NE(draw(DFC_BUTTON, DFCS_BUTTONCHECK),
              draw(DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED));
    EXPECT_NE(draw(DFC_BUTTON, DFCS_BUTTONRADIO),
              draw(DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED));
    EXPECT_NE(draw(DFC_SCROLL, DFCS_SCROLLUP), draw(DFC_SCROLL, DFCS_SCROLLDOWN));
    // An unchecked box is a white square inside a sunken edge.
    std::vector<uint32_t> box = draw(DFC_BUTTON, DFCS_BUTTONCHECK);
    EXPECT_EQ(box[8 * 16 + 8], 0xFFFFFFu);
    std::vector<uint32_t> checked = draw(DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
    int dark = 0;
    for (int y = 2; y < 14; ++y)
        for (int x = 2; x < 14; ++x) dark += checked[static_cast<size_t>(y * 16 + x)] == 0;
    EXPECT_GT(dark, 10) << "a check mark";
}

TEST(GdiUser, IconsDrawThroughTheirMask) {
    // A 2x1 icon: the left pixel is transparent (mask 1, colour black), the
    // right one opaque red (mask 0).
    const WORD maskBits[1] = {0x0080};
    HBITMAP mask = CreateBitmap(2, 1, 1, 1, maskBits);
    Dib color = MakeDib24(2, 1);
    {
        MemDC c(color.bitmap);
        SetPixel(c, 1, 0, RGB(255, 0, 0));
    }
    ICONINFO ii{TRUE, 0, 0, mask, color.bitmap};
    HICON icon = CreateIconIndirect(&ii);
    ASSERT_NE(icon, nullptr);
    DeleteObject(mask);  // the icon keeps its own copies
    DeleteObject(color.bitmap);
    Dib d = MakeDib24(4, 2, true);
    MemDC dc(d.bitmap);
    PatBlt(dc, 0, 0, 4, 2, WHITENESS);
    ASSERT_TRUE(DrawIconEx(dc, 1, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(d.Raw(1, 0), 0xFFFFFFu);
    EXPECT_EQ(d.Raw(2, 0), 0xFF0000u);
    // Stretched to 4x2.
    PatBlt(dc, 0, 0, 4, 2, WHITENESS);
    ASSERT_TRUE(DrawIconEx(dc, 0, 0, icon, 4, 2, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(d.Raw(1, 1), 0xFFFFFFu);
    EXPECT_EQ(d.Raw(2, 1), 0xFF0000u);
    ICONINFO back;
    ASSERT_TRUE(GetIconInfo(icon, &back));
    EXPECT_TRUE(back.fIcon);
    EXPECT_TRUE(DeleteObject(back.hbmMask));
    EXPECT_TRUE(DeleteObject(back.hbmColor));
    EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_FALSE(DestroyIcon(icon));
}

// ---- The display
// -------------------------------------------------------------------------------------

class GdiScreen : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(platform::ConfigureScreen(240, 320, 16)); }
    static uint16_t ScreenWord(int x, int y) {
        platform::FrameBuffer& fb = platform::Screen();
        uint16_t v;
        std::memcpy(&v, fb.pixels.data() + y * fb.pitch + 2 * x, 2);
        return v;
    }
};

TEST_F(GdiScreen, WindowDcDrawsOnlyInsideItsVisibleRegion) {
    // A window at (10, 20) whose right part is covered: visible are two pieces.
    std::vector<RECT> visible = {{10, 20, 30, 40}, {10, 40, 60, 50}};
    HDC dc = platform::CreateDisplayDC(reinterpret_cast<HWND>(0x1234), POINT{10, 20}, visible);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetObjectType(dc), static_cast<DWORD>(OBJ_DC));
    EXPECT_EQ(platform::WindowFromDisplayDC(dc), reinterpret_cast<HWND>(0x1234));
    uint64_t generation = platform::Screen().generation;
    RECT all = {0, 0, 100, 100};
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, red);
    EXPECT_GT(platform::Screen().generation, generation);
    for (int y = 15; y < 55; ++y)
        for (int x = 5; x < 70; ++x) {
            bool in = (x >= 10 && x < 30 && y >= 20 && y < 40) ||
                      (x >= 10 && x < 60 && y >= 40 && y < 50);
            ASSERT_EQ(ScreenWord(x, y), in ? 0xF800 : 0) << x << "," << y;
        }
    // Client coordinates: (0, 0) is the window origin.
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 45, 5), CLR_INVALID) << "covered";
    RECT box;
    EXPECT_EQ(GetClipBox(dc, &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 50);
    // The window manager moves it.
    platform::SetDisplayDCRegion(dc, POINT{0, 0}, {RECT{0, 0, 5, 5}});
    SetPixel(dc, 1, 1, RGB(0, 0, 255));
    EXPECT_EQ(ScreenWord(1, 1), 0x001F);
    platform::DeleteDisplayDC(dc);
    EXPECT_EQ(GetObjectType(dc), 0u);
    DeleteObject(red);
}

TEST_F(GdiScreen, ScreenDcCopiesTwentyFourBitPicturesAsFiveSixFive) {
    HDC screen = platform::CreateDisplayDC(nullptr, POINT{0, 0}, {RECT{0, 0, 240, 320}});
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
    EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 320);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 16);
    EXPECT_EQ(GetDeviceCaps(screen, PLANES), 1);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), 96);
    EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
    EXPECT_EQ(GetDeviceCaps(screen, NUMCOLORS), -1);
    EXPECT_TRUE(GetDeviceCaps(screen, RASTERCAPS) & RC_STRETCHBLT);
    Dib pic = MakeDib24(240, 320);
    MemDC m(pic.bitmap);
    SetPixel(m, 0, 0, RGB(255, 0, 0));
    SetPixel(m, 239, 319, RGB(0, 255, 0));
    SetPixel(m, 5, 7, RGB(0x84, 0x82, 0x81));
    ASSERT_TRUE(BitBlt(screen, 0, 0, 240, 320, m, 0, 0, SRCCOPY));
    EXPECT_EQ(ScreenWord(0, 0), 0xF800);
    EXPECT_EQ(ScreenWord(239, 319), 0x07E0);
    EXPECT_EQ(ScreenWord(5, 7), 0x8410);
    // And back: a compatible bitmap has the display's format.
    HBITMAP ddb = CreateCompatibleBitmap(screen, 4, 4);
    BITMAP bm;
    GetObjectW(ddb, sizeof(bm), &bm);
    EXPECT_EQ(bm.bmBitsPixel, 16);
    MemDC back(ddb);
    ASSERT_TRUE(BitBlt(back, 0, 0, 4, 4, screen, 3, 5, SRCCOPY));
    EXPECT_EQ(GetPixel(back, 2, 2), RGB(0x84, 0x82, 0x84));
    platform::DeleteDisplayDC(screen);
    DeleteObject(ddb);
    DeleteObject(pic.bitmap);
}

TEST_F(GdiScreen, OtherDepthsOfTheDisplay) {
    for (int bpp : {24, 32}) {
        ASSERT_TRUE(platform::ConfigureScreen(64, 48, bpp));
        HDC screen = platform::CreateDisplayDC(nullptr, POINT{0, 0}, {RECT{0, 0, 64, 48}});
        EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), bpp);
        SetPixel(screen, 3, 2, RGB(1, 2, 3));
        platform::FrameBuffer& fb = platform::Screen();
        const uint8_t* p = fb.pixels.data() + 2 * fb.pitch + 3 * (bpp / 8);
        EXPECT_EQ(p[0], 3);
        EXPECT_EQ(p[1], 2);
        EXPECT_EQ(p[2], 1);
        EXPECT_EQ(GetPixel(screen, 3, 2), RGB(1, 2, 3));
        platform::DeleteDisplayDC(screen);
    }
}

}  // namespace
