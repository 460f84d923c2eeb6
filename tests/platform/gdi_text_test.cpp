// GDI text: font matching and heights, metrics and extents, DrawTextW's
// formatting (DT_CALCRECT, word breaks, prefixes, ellipses, alignment),
// ExtTextOutW's options, blending, and the font families offered.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "windows.h"

namespace {

// A white 24-bit canvas in a memory DC, with helpers to find what was drawn.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint8_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        Clear();
    }
    ~Canvas() {
        if (font_) SelectObject(dc_, oldFont_);
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
        if (font_) DeleteObject(font_);
    }
    HDC dc() const { return dc_; }
    void Clear() { PatBlt(dc_, 0, 0, width_, height_, WHITENESS); }
    void UseFont(int height, int weight = FW_NORMAL, const char16_t* face = u"Tahoma",
                 BYTE quality = 0, BYTE italic = 0) {
        HFONT f = CreateFontW(height, 0, 0, 0, weight, italic, 0, 0, 0, 0, 0, quality, 0, face);
        HGDIOBJ previous = SelectObject(dc_, f);
        if (font_) {
            DeleteObject(font_);
        } else {
            oldFont_ = previous;
        }
        font_ = f;
    }
    uint32_t At(int x, int y) const {
        const uint8_t* p = bits_ + static_cast<size_t>(y) * Stride() + 3 * static_cast<size_t>(x);
        return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    // Bounding box of every pixel that is no longer white; empty when none.
    RECT Ink() const {
        RECT r = {width_, height_, 0, 0};
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if (At(x, y) != 0xFFFFFF) {
                    r.left = std::min<LONG>(r.left, x);
                    r.top = std::min<LONG>(r.top, y);
                    r.right = std::max<LONG>(r.right, x + 1);
                    r.bottom = std::max<LONG>(r.bottom, y + 1);
                }
        if (r.right == 0) r = {0, 0, 0, 0};
        return r;
    }
    int CountColour(uint32_t c) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += At(x, y) == c;
        return n;
    }
    int CountOther(uint32_t a, uint32_t b) const {
        int n = 0;
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x) n += At(x, y) != a && At(x, y) != b;
        return n;
    }

private:
    size_t Stride() const { return static_cast<size_t>((width_ * 3 + 3) & ~3); }
    int width_, height_;
    HBITMAP bitmap_ = nullptr;
    uint8_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
    HFONT font_ = nullptr;
    HGDIOBJ oldFont_ = nullptr;
};

bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

SIZE Extent(HDC dc, const std::u16string& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size;
}

TEST(GdiText, HeightSignsSelectCellOrCharacterHeight) {
    Canvas c(10, 10);
    for (int h : {9, 12, 16, 20, 33}) {
        TEXTMETRICW tm{};
        c.UseFont(-h);
        ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
        EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, h) << "character height " << h;
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
        c.UseFont(h);
        ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
        EXPECT_EQ(tm.tmHeight, h) << "cell height " << h;
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
        EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);
    }
    TEXTMETRICW tm{};
    c.UseFont(0);
    ASSERT_TRUE(GetTextMetricsW(c.dc(), &tm));
    EXPECT_GT(tm.tmHeight, 8) << "height 0 takes the default size";
}

TEST(GdiText, DeviceFaceNamesMapToInstalledFaces) {
    Canvas c(10, 10);
    auto metrics = [&](const char16_t* face) {
        c.UseFont(-14, FW_NORMAL, face);
        TEXTMETRICW tm{};
        GetTextMetricsW(c.dc(), &tm);
        return std::make_pair(tm.tmHeight, Extent(c.dc(), u"The quick brown fox jumps over the lazy dog").cx);
    };
    // Tahoma's narrow widths come from the condensed face.
    EXPECT_EQ(metrics(u"Tahoma"), metrics(u"DejaVu Sans Condensed"));
    EXPECT_EQ(metrics(u"MS Sans Serif"), metrics(u"DejaVu Sans Condensed"));
    EXPECT_LT(metrics(u"Tahoma").second, metrics(u"DejaVu Sans").second);
    EXPECT_EQ(metrics(u"Arial"), metrics(u"Liberation Sans"));
    EXPECT_NE(metrics(u"Arial").second, metrics(u"Tahoma").second);
    // Bold is wider, italic is flagged.
    c.UseFont(-14, FW_NORMAL);
    LONG normal = Extent(c.dc(), u"Hello world").cx;
    c.UseFont(-14, FW_BOLD);
    EXPECT_GT(Extent(c.dc(), u"Hello world").cx, normal);
    c.UseFont(-14, FW_NORMAL, u"Tahoma", 0, 1);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    EXPECT_NE(tm.tmItalic, 0);
    WCHAR face[LF_FACESIZE];
    EXPECT_EQ(GetTextFaceW(c.dc(), LF_FACESIZE, face), 7);
    EXPECT_EQ(std::u16string(face), u"Tahoma");
}

TEST(GdiText, ExtentsAddUp) {
    Canvas c(10, 10);
    c.UseFont(-13);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    SIZE empty = Extent(c.dc(), u"");
    EXPECT_EQ(empty.cx, 0);
    EXPECT_EQ(empty.cy, tm.tmHeight);
    EXPECT_EQ(Extent(c.dc(), u"ab").cx, Extent(c.dc(), u"a").cx + Extent(c.dc(), u"b").cx);
    EXPECT_GT(Extent(c.dc(), u"W").cx, Extent(c.dc(), u"i").cx);
    int fit = 0, dx[5] = {};
    SIZE size{};
    ASSERT_TRUE(
        GetTextExtentExPointW(c.dc(), u"abcde", 5, Extent(c.dc(), u"abc").cx, &fit, dx, &size));
    EXPECT_EQ(fit, 3);
    EXPECT_EQ(dx[4], size.cx);
    EXPECT_EQ(dx[0], Extent(c.dc(), u"a").cx);
    INT widths[2];
    ASSERT_TRUE(GetCharWidth32W(c.dc(), 'a', 'b', widths));
    EXPECT_EQ(widths[0], Extent(c.dc(), u"a").cx);
}

TEST(GdiText, DrawnTextLandsInsideTheMeasuredRectangle) {
    struct Case {
        const char16_t* text;
        UINT format;
        int width;  // of the rectangle given to DT_CALCRECT
    };
    const Case cases[] = {
        {u"Hello, world", DT_SINGLELINE, 200},
        {u"gjpqy Ag", DT_SINGLELINE | DT_NOPREFIX, 200},
        {u"Two\r\nlines", 0, 200},
        {u"The quick brown fox jumps over the lazy dog", DT_WORDBREAK, 70},
        {u"Centred words that wrap", DT_WORDBREAK | DT_CENTER, 60},
        {u"Right side", DT_RIGHT | DT_SINGLELINE, 200},
        {u"&File && more", DT_SINGLELINE, 200},
    };
    Canvas c(240, 200);
    c.UseFont(-12);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    for (const Case& k : cases) {
        c.Clear();
        RECT r = {10, 20, 10 + k.width, 20};
        int height = DrawTextW(c.dc(), k.text, -1, &r, k.format | DT_CALCRECT);
        EXPECT_EQ(height, r.bottom - r.top);
        EXPECT_EQ((r.bottom - r.top) % tm.tmHeight, 0);
        EXPECT_EQ(c.Ink().right, 0) << "DT_CALCRECT draws nothing";
        EXPECT_EQ(DrawTextW(c.dc(), k.text, -1, &r, k.format | DT_NOCLIP), height);
        RECT ink = c.Ink();
        EXPECT_GT(ink.right, ink.left) << "something was drawn";
        // Glyphs may overhang their advance by a pixel (a 'T' or 'j' does).
        RECT slack = {r.left - 1, r.top, r.right + 1, r.bottom};
        EXPECT_TRUE(Inside(ink, slack))
            << "ink " << ink.left << "," << ink.top << "," << ink.right << "," << ink.bottom
            << " rect " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(GdiText, WordBreakWrapsAtSpaces) {
    Canvas c(240, 200);
    c.UseFont(-12);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    const char16_t* text = u"word word word word word";
    LONG twoWords = Extent(c.dc(), u"word word").cx;
    RECT r = {0, 0, twoWords, 0};
    DrawTextW(c.dc(), text, -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(r.bottom, 3 * tm.tmHeight) << "two words per line, the last alone";
    EXPECT_EQ(r.right, twoWords);
    RECT shorter = {0, 0, twoWords - 1, 0};
    DrawTextW(c.dc(), text, -1, &shorter, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(shorter.bottom, 5 * tm.tmHeight) << "one word per line";
    EXPECT_EQ(shorter.right, Extent(c.dc(), u"word").cx);
    // Without DT_WORDBREAK it is one line as wide as the text.
    RECT line = {0, 0, twoWords, 0};
    DrawTextW(c.dc(), text, -1, &line, DT_CALCRECT);
    EXPECT_EQ(line.bottom, tm.tmHeight);
    EXPECT_EQ(line.right, Extent(c.dc(), text).cx);
    // A word longer than the line keeps a line of its own.
    RECT narrow = {0, 0, 5, 0};
    DrawTextW(c.dc(), u"a verylongword b", -1, &narrow, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(narrow.bottom, 3 * tm.tmHeight);
    EXPECT_EQ(narrow.right, Extent(c.dc(), u"verylongword").cx);
}

TEST(GdiText, PrefixesUnderlineAndDoubleAmpersands) {
    Canvas c(200, 40);
    c.UseFont(-14);
    RECT a = {0, 0, 200, 0}, b = {0, 0, 200, 0}, literal = {0, 0, 200, 0};
    DrawTextW(c.dc(), u"&File", -1, &a, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(a.right, Extent(c.dc(), u"File").cx);
    DrawTextW(c.dc(), u"A&&B", -1, &b, DT_CALCRECT | DT_SINGLELINE);
    EXPECT_EQ(b.right, Extent(c.dc(), u"A&B").cx);
    DrawTextW(c.dc(), u"&File", -1, &literal, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_EQ(literal.right, Extent(c.dc(), u"&File").cx);
    // The underline: a full row of text colour under the F only.
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    RECT r = {0, 0, 200, 40};
    SetBkMode(c.dc(), TRANSPARENT);
    DrawTextW(c.dc(), u"&File", -1, &r, DT_SINGLELINE);
    int row = tm.tmAscent + 1;
    LONG f = Extent(c.dc(), u"F").cx;
    for (int x = 0; x < f; ++x) EXPECT_EQ(c.At(x, row), 0u) << x;
    c.Clear();
    DrawTextW(c.dc(), u"File", -1, &r, DT_SINGLELINE);
    int black = 0;
    for (int x = 0; x < f; ++x) black += c.At(x, row) == 0;
    EXPECT_LT(black, f) << "without the prefix no underline";
}

TEST(GdiText, EndEllipsisFitsTheRectangle) {
    Canvas c(240, 40);
    c.UseFont(-12);
    const char16_t* text = u"A long file name that does not fit.dcm";
    RECT r = {0, 0, 80, 0};
    DrawTextW(c.dc(), text, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_LE(r.right, 80);
    EXPECT_GT(r.right, 40);
    RECT draw = {0, 0, 80, 20};
    DrawTextW(c.dc(), text, -1, &draw, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOCLIP);
    EXPECT_LE(c.Ink().right, 80);
}

TEST(GdiText, VerticalCentreAndBottom) {
    Canvas c(100, 100);
    c.UseFont(-12);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    RECT r = {0, 0, 100, 100};
    int ret = DrawTextW(c.dc(), u"Mid", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    int top = 50 - tm.tmHeight / 2;
    EXPECT_EQ(ret, top + tm.tmHeight);
    RECT ink = c.Ink();
    EXPECT_GE(ink.top, top);
    EXPECT_LE(ink.bottom, top + tm.tmHeight);
    LONG w = Extent(c.dc(), u"Mid").cx;
    EXPECT_GE(ink.left, (100 - w) / 2);
    EXPECT_LE(ink.right, (100 - w) / 2 + w);
    c.Clear();
    DrawTextW(c.dc(), u"Low", -1, &r, DT_SINGLELINE | DT_BOTTOM | DT_RIGHT);
    ink = c.Ink();
    EXPECT_GE(ink.top, 100 - tm.tmHeight);
    EXPECT_LE(ink.right, 100);
    EXPECT_GE(ink.left, 100 - Extent(c.dc(), u"Low").cx);
}

TEST(GdiText, ExtTextOutOpaqueClippedAndTransparent) {
    Canvas c(120, 40);
    c.UseFont(-16);
    SetBkColor(c.dc(), RGB(0, 0, 255));
    SetTextColor(c.dc(), RGB(255, 0, 0));
    RECT r = {10, 5, 30, 25};
    ASSERT_TRUE(ExtTextOutW(c.dc(), 12, 6, ETO_OPAQUE | ETO_CLIPPED, &r, u"WWWWW", 5, nullptr));
    RECT ink = c.Ink();
    EXPECT_EQ(ink.left, 10);
    EXPECT_EQ(ink.top, 5);
    EXPECT_EQ(ink.right, 30);
    EXPECT_EQ(ink.bottom, 25);
    EXPECT_EQ(c.At(10, 24), 0x0000FFu);
    // Transparent mode: only glyph pixels change, in red or blends of red.
    c.Clear();
    SetBkMode(c.dc(), TRANSPARENT);
    ExtTextOutW(c.dc(), 2, 2, 0, nullptr, u"Kestrava", 8, nullptr);
    EXPECT_GT(c.CountColour(0xFF0000), 10);
    EXPECT_EQ(c.CountColour(0x0000FF), 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            uint32_t p = c.At(x, y);
            ASSERT_EQ((p >> 16) & 0xFF, 0xFFu) << "red stays full between red and white";
            ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF);
        }
    // Opaque mode fills the text cell with the background colour.
    c.Clear();
    SetBkMode(c.dc(), OPAQUE);
    TEXTMETRICW tm{};
    GetTextMetricsW(c.dc(), &tm);
    ExtTextOutW(c.dc(), 2, 2, 0, nullptr, u"ab", 2, nullptr);
    ink = c.Ink();
    EXPECT_EQ(ink.top, 2);
    EXPECT_EQ(ink.bottom, 2 + tm.tmHeight);
    EXPECT_EQ(ink.right, 2 + Extent(c.dc(), u"ab").cx);
    // Baseline and right alignment.
    c.Clear();
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextAlign(c.dc(), TA_RIGHT | TA_BASELINE);
    ExtTextOutW(c.dc(), 100, 30, 0, nullptr, u"x", 1, nullptr);
    ink = c.Ink();
    EXPECT_LE(ink.right, 100);
    EXPECT_LE(ink.bottom, 30);
    EXPECT_GT(ink.bottom, 25);
}

TEST(GdiText, AntialiasingFollowsTheFontQuality) {
    Canvas c(120, 30);
    SetBkMode(c.dc(), TRANSPARENT);
    c.UseFont(-16);
    TextOutW(c.dc(), 2, 2, u"Sowing", 6);
    EXPECT_GT(c.CountOther(0xFFFFFF, 0x000000), 0) << "blended edges";
    c.Clear();
    c.UseFont(-16, FW_NORMAL, u"Tahoma", NONANTIALIASED_QUALITY);
    TextOutW(c.dc(), 2, 2, u"Sowing", 6);
    EXPECT_EQ(c.CountOther(0xFFFFFF, 0x000000), 0) << "whole pixels only";
    EXPECT_GT(c.CountColour(0x000000), 20);
}

struct Enumerated {
    std::vector<std::u16string> names;
    std::vector<DWORD> types;
    int stopAfter = 1 << 30;
};

int CALLBACK Collect(const LOGFONTW* lf, const TEXTMETRICW* tm, DWORD type, LPARAM param) {
    auto* e = reinterpret_cast<Enumerated*>(param);
    e->names.push_back(lf->lfFaceName);
    e->types.push_back(type);
    EXPECT_GT(tm->tmHeight, 0);
    return static_cast<int>(e->names.size()) < e->stopAfter ? 1 : 0;
}

TEST(GdiText, EnumeratesTrueTypeFamilies) {
    Canvas c(1, 1);
    Enumerated all;
    EXPECT_EQ(EnumFontFamiliesW(c.dc(), nullptr, Collect, reinterpret_cast<LPARAM>(&all)), 1);
    for (const char16_t* name : {u"DejaVu Sans", u"Liberation Sans", u"Tahoma", u"Arial"})
        EXPECT_NE(std::find(all.names.begin(), all.names.end(), name), all.names.end())
            << std::string(name, name + 4);
    for (DWORD t : all.types) EXPECT_EQ(t, static_cast<DWORD>(TRUETYPE_FONTTYPE));
    std::vector<std::u16string> sorted = all.names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
        << "one call per family";
    // One family: one call per style.
    Enumerated styles;
    EnumFontFamiliesW(c.dc(), u"DejaVu Sans", Collect, reinterpret_cast<LPARAM>(&styles));
    EXPECT_GE(styles.names.size(), 2u);
    for (const std::u16string& n : styles.names) EXPECT_EQ(n, u"DejaVu Sans");
    // A callback returning 0 stops the enumeration.
    Enumerated first;
    first.stopAfter = 1;
    EXPECT_EQ(EnumFontFamiliesW(c.dc(), nullptr, Collect, reinterpret_cast<LPARAM>(&first)), 0);
    EXPECT_EQ(first.names.size(), 1u);
}

TEST(GdiText, FullCoverageKeepsTheExactTextColourOnFiveSixFive) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 12);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = 60;
    h->biHeight = -30;
    h->biPlanes = 1;
    h->biBitCount = 16;
    h->biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), masks, sizeof(masks));
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()),
                                   DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bmp);
    SetTextColor(dc, RGB(255, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    HFONT font = CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
    HGDIOBJ oldFont = SelectObject(dc, font);
    TextOutW(dc, 2, 2, u"IH", 2);
    int red = 0;
    auto* words = static_cast<uint16_t*>(bits);
    for (int i = 0; i < 60 * 30; ++i) red += words[i] == 0xF800;
    EXPECT_GT(red, 20);
    SelectObject(dc, oldFont);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    DeleteObject(bmp);
}

}  // namespace
