// The pseudo-colour palettes: every key point of every palette, the
// interpolation between them (against a reference walk of the same key
// table and hand-computed entries), partial tables, unknown indices, the
// names, and the conversion of an 8-bit colour table.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "image/rimage.h"
#include "platform/wstr.h"
#include "view/display_adjustment.h"

namespace {

constexpr int N = -1;  // no key for this channel

struct Key {
    int palette;
    int position;
    int red;
    int green;
    int blue;
};

// The key points of the eight palettes, in list order.
const Key kKeys[] = {
    {0, 0, 0, 0, 0},         {0, 255, 255, 255, 255}, {1, 0, 0, 0, 0},
    {1, 15, 15, 15, 15},     {1, 16, 175, 0, 255},    {1, 17, 17, 17, 17},
    {1, 31, 31, 31, 31},     {1, 32, 95, 0, 255},     {1, 33, 33, 33, 33},
    {1, 47, 47, 47, 47},     {1, 48, 15, 0, 255},     {1, 49, 49, 49, 49},
    {1, 63, 63, N, 63},      {1, 64, 0, N, 255},      {1, 65, 65, N, 65},
    {1, 79, 79, 79, 79},     {1, 80, 0, 143, 255},    {1, 81, 81, 81, 81},
    {1, 95, 95, 95, 95},     {1, 96, 0, 223, 255},    {1, 97, 97, 97, 97},
    {1, 111, 111, 111, 111}, {1, 112, 0, 255, 207},   {1, 113, 113, 113, 113},
    {1, 127, 127, 127, N},   {1, 128, 0, 255, N},     {1, 129, 129, 129, N},
    {1, 143, 143, 143, 143}, {1, 144, 0, 255, 47},    {1, 145, 145, 145, 145},
    {1, 159, 159, 159, 159}, {1, 160, 31, 255, 0},    {1, 161, 161, 161, 161},
    {1, 175, 175, 175, 175}, {1, 176, 111, 255, 0},   {1, 177, 177, 177, 177},
    {1, 191, N, 191, 191},   {1, 192, N, 255, 0},     {1, 193, N, 193, 193},
    {1, 207, 207, 207, 207}, {1, 208, 255, 239, 0},   {1, 209, 209, 209, 209},
    {1, 223, 223, 223, 223}, {1, 224, 255, 159, 0},   {1, 225, 225, 225, 225},
    {1, 239, 239, 239, 239}, {1, 240, 255, 79, 0},    {1, 241, 241, 241, 241},
    {1, 255, 255, 255, 255}, {2, 0, 0, 0, 0},         {2, 128, 255, 0, N},
    {2, 191, N, N, 0},       {2, 255, 255, 255, 255}, {3, 0, 0, 0, 0},
    {3, 85, 255, 0, N},      {3, 170, N, 255, 0},     {3, 255, 255, 255, 255},
    {4, 0, 0, 0, 0},         {4, 15, 85, N, 170},     {4, 31, 0, N, 85},
    {4, 63, N, 0, 255},      {4, 79, N, N, 255},      {4, 95, N, N, 170},
    {4, 111, N, 255, 170},   {4, 127, 0, N, 0},       {4, 143, N, N, 85},
    {4, 159, 255, 255, 0},   {4, 217, 255, 0, N},     {4, 255, 170, 0, 0},
    {5, 0, 32, 200, 255},    {5, 60, N, 20, N},       {5, 63, N, N, 255},
    {5, 127, 0, 0, 0},       {5, 191, 255, 2, N},     {5, 223, N, N, 0},
    {5, 255, 255, 255, 255}, {6, 0, 72, 192, 0},      {6, 15, 47, 223, N},
    {6, 31, 0, 233, 255},    {6, 47, N, 127, N},      {6, 63, 0, N, N},
    {6, 79, 15, 15, 255},    {6, 95, 19, 0, N},       {6, 111, 31, N, 207},
    {6, 143, N, N, 127},     {6, 159, 223, 0, N},     {6, 175, 225, 31, 0},
    {6, 223, 255, 239, 0},   {6, 239, 175, 223, 11},  {6, 255, 71, 191, 0},
    {7, 0, 255, 0, 255},     {7, 51, 0, 0, N},        {7, 102, N, 255, 255},
    {7, 153, 0, N, 0},       {7, 204, 255, 255, N},   {7, 255, 255, 0, 0},
};

std::vector<RGBQUAD> Table(BYTE fill = 0xAB) {
    RGBQUAD q;
    std::memset(&q, fill, sizeof(q));
    return std::vector<RGBQUAD>(256, q);
}

TEST(BuildPalette, EveryKeyPointIsExact) {
    for (int p = 0; p < kPaletteCount; ++p) {
        std::vector<RGBQUAD> table = Table();
        BuildPalette(table.data(), p, 256);
        for (const Key& k : kKeys) {
            if (k.palette != p) continue;
            const RGBQUAD& e = table[k.position];
            if (k.red != N) {
                EXPECT_EQ(e.rgbRed, k.red) << p << " at " << k.position;
            }
            if (k.green != N) {
                EXPECT_EQ(e.rgbGreen, k.green) << p << " at " << k.position;
            }
            if (k.blue != N) {
                EXPECT_EQ(e.rgbBlue, k.blue) << p << " at " << k.position;
            }
        }
    }
}

// A walk of the key table channel by channel, written apart from the
// product's own.
int Reference(int palette, int channel, int entry) {
    const Key* before = nullptr;
    for (const Key& k : kKeys) {
        if (k.palette != palette) continue;
        int v = channel == 0 ? k.red : channel == 1 ? k.green : k.blue;
        if (v == N) continue;
        if (k.position == entry) return v;
        if (k.position > entry) {
            int u = channel == 0 ? before->red : channel == 1 ? before->green : before->blue;
            int e = before->position;
            return u + ((entry - e) * (v - u)) / (k.position - e);
        }
        before = &k;
    }
    return -1000;
}

TEST(BuildPalette, EveryEntryInterpolatesItsChannelKeys) {
    for (int p = 0; p < kPaletteCount; ++p) {
        std::vector<RGBQUAD> table = Table();
        BuildPalette(table.data(), p, 256);
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(table[i].rgbRed, Reference(p, 0, i)) << p << " entry " << i;
            ASSERT_EQ(table[i].rgbGreen, Reference(p, 1, i)) << p << " entry " << i;
            ASSERT_EQ(table[i].rgbBlue, Reference(p, 2, i)) << p << " entry " << i;
            ASSERT_EQ(table[i].rgbReserved, 0xAB) << "the reserved byte is not touched";
        }
    }
}

TEST(BuildPalette, HandComputedEntries) {
    struct {
        int palette;
        int entry;
        BYTE red, green, blue;
    } cases[] = {
        {7, 0, 255, 0, 255},  // Spektrum
        {7, 51, 0, 0, 255},      {7, 255, 255, 0, 0},
        {7, 1, 250, 0, 255},                          // 255 - 255/51 per step
        {7, 25, 130, 0, 255},    {2, 64, 127, 0, 0},  // HotIron: red ramps to 128, blue from 191
        {2, 191, 255, 126, 0},   {2, 223, 255, 190, 127},
        {2, 255, 255, 255, 255}, {6, 250, 104, 201, 4},  // Cardiac: -71.5 truncates towards zero
        {0, 100, 100, 100, 100},                         // Grayscale
        {1, 16, 175, 0, 255},                            // GrayRain's coloured lines
        {1, 20, 20, 20, 20},
    };
    for (const auto& c : cases) {
        std::vector<RGBQUAD> table = Table();
        BuildPalette(table.data(), c.palette, 256);
        const RGBQUAD& e = table[c.entry];
        EXPECT_EQ(e.rgbRed, c.red) << c.palette << " entry " << c.entry;
        EXPECT_EQ(e.rgbGreen, c.green) << c.palette << " entry " << c.entry;
        EXPECT_EQ(e.rgbBlue, c.blue) << c.palette << " entry " << c.entry;
    }
}

TEST(BuildPalette, WritesOnlyTheGivenEntries) {
    std::vector<RGBQUAD> full = Table();
    BuildPalette(full.data(), 3, 256);
    std::vector<RGBQUAD> part = Table();
    BuildPalette(part.data(), 3, 100);
    EXPECT_EQ(std::memcmp(part.data(), full.data(), 100 * sizeof(RGBQUAD)), 0);
    std::vector<RGBQUAD> untouched = Table();
    EXPECT_EQ(std::memcmp(part.data() + 100, untouched.data() + 100, 156 * sizeof(RGBQUAD)), 0);
}

TEST(BuildPalette, UnknownIndexLeavesTheTable) {
    for (int index : {-1, 8, 1000}) {
        std::vector<RGBQUAD> table = Table(0x33);
        BuildPalette(table.data(), index, 256);
        std::vector<RGBQUAD> before = Table(0x33);
        EXPECT_EQ(std::memcmp(table.data(), before.data(), 256 * sizeof(RGBQUAD)), 0) << index;
    }
}

TEST(PaletteName, ListOrder) {
    const char16_t* names[] = {u"Grayscale", u"GrayRain", u"HotIron", u"BlackBody",
                               u"NIH",       u"Flow",     u"Cardiac", u"Spektrum"};
    for (int i = 0; i < kPaletteCount; ++i) {
        ASSERT_NE(PaletteName(i), nullptr);
        EXPECT_EQ(std::u16string(PaletteName(i)), names[i]);
    }
    EXPECT_EQ(PaletteName(-1), nullptr);
    EXPECT_EQ(PaletteName(8), nullptr);
}

// An 8-bit header block with `count` colours.
struct HeaderBlock {
    BITMAPINFOHEADER header{};
    RGBQUAD colours[256]{};
};

TEST(ConvertToPseudoColour, KeepsLuminanceAndWritesThePalette) {
    HeaderBlock block;
    block.header.biBitCount = 8;
    block.header.biClrUsed = 4;
    block.colours[0] = {0, 0, 255, 0};   // red
    block.colours[1] = {0, 255, 0, 0};   // green
    block.colours[2] = {255, 0, 0, 0};   // blue
    block.colours[3] = {37, 37, 37, 0};  // grey 37
    block.colours[4] = {9, 9, 9, 0};     // beyond the colours used
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.palette = 2;
    ConvertToPseudoColour(&block.header, &a);
    EXPECT_EQ(a.luminance[0], 76);   // 0.299 x 255
    EXPECT_EQ(a.luminance[1], 149);  // 0.587 x 255
    EXPECT_EQ(a.luminance[2], 29);   // 0.114 x 255
    // The three weights in 32-bit floats add up just below 1.
    EXPECT_EQ(a.luminance[3], 36);
    for (int j = 4; j < 256; ++j) ASSERT_EQ(a.luminance[j], j);
    EXPECT_EQ(block.header.biClrUsed, 256u);
    std::vector<RGBQUAD> hotIron = Table(0);
    for (int i = 0; i < 256; ++i) hotIron[i] = {BYTE(i), BYTE(i), BYTE(i), 0};
    BuildPalette(hotIron.data(), 2, 256);
    EXPECT_EQ(std::memcmp(block.colours, hotIron.data(), sizeof(block.colours)), 0);
}

TEST(ConvertToPseudoColour, NothingWithoutPaletteOrWithAutomaticWindow) {
    for (int mode = 0; mode < 3; ++mode) {
        HeaderBlock block;
        block.header.biBitCount = mode == 2 ? 4 : 8;
        block.header.biClrUsed = 2;
        block.colours[0] = {1, 2, 3, 0};
        HeaderBlock before = block;
        DisplayAdjustment a;
        InitAdjustment(&a);
        a.palette = mode == 0 ? -1 : 2;
        a.autoWindow = mode == 1 ? 1 : 0;
        ConvertToPseudoColour(&block.header, &a);
        EXPECT_EQ(std::memcmp(&block, &before, sizeof(block)), 0) << mode;
        EXPECT_EQ(a.luminance[5], 0) << mode;
    }
}

}  // namespace
