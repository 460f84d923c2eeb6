// The eight pseudo-colour palettes: key points per channel, linearly
// interpolated into a 256-entry colour table.
#include "view/display_adjustment.h"

namespace {

// -1: this point is no key for that channel.
struct KeyPoint {
    int position;
    int red;
    int green;
    int blue;
};

constexpr int N = -1;

const KeyPoint kGrayscale[] = {
    {0, 0, 0, 0},
    {255, 255, 255, 255},
};

// A grey ramp with a coloured rainbow line every sixteenth entry.
const KeyPoint kGrayRain[] = {
    {0, 0, 0, 0},         {15, 15, 15, 15},     {16, 175, 0, 255},    {17, 17, 17, 17},
    {31, 31, 31, 31},     {32, 95, 0, 255},     {33, 33, 33, 33},     {47, 47, 47, 47},
    {48, 15, 0, 255},     {49, 49, 49, 49},     {63, 63, N, 63},      {64, 0, N, 255},
    {65, 65, N, 65},      {79, 79, 79, 79},     {80, 0, 143, 255},    {81, 81, 81, 81},
    {95, 95, 95, 95},     {96, 0, 223, 255},    {97, 97, 97, 97},     {111, 111, 111, 111},
    {112, 0, 255, 207},   {113, 113, 113, 113}, {127, 127, 127, N},   {128, 0, 255, N},
    {129, 129, 129, N},   {143, 143, 143, 143}, {144, 0, 255, 47},    {145, 145, 145, 145},
    {159, 159, 159, 159}, {160, 31, 255, 0},    {161, 161, 161, 161}, {175, 175, 175, 175},
    {176, 111, 255, 0},   {177, 177, 177, 177}, {191, N, 191, 191},   {192, N, 255, 0},
    {193, N, 193, 193},   {207, 207, 207, 207}, {208, 255, 239, 0},   {209, 209, 209, 209},
    {223, 223, 223, 223}, {224, 255, 159, 0},   {225, 225, 225, 225}, {239, 239, 239, 239},
    {240, 255, 79, 0},    {241, 241, 241, 241}, {255, 255, 255, 255},
};

const KeyPoint kHotIron[] = {
    {0, 0, 0, 0},
    {128, 255, 0, N},
    {191, N, N, 0},
    {255, 255, 255, 255},
};

const KeyPoint kBlackBody[] = {
    {0, 0, 0, 0},
    {85, 255, 0, N},
    {170, N, 255, 0},
    {255, 255, 255, 255},
};

const KeyPoint kNih[] = {
    {0, 0, 0, 0},    {15, 85, N, 170},   {31, 0, N, 85},     {63, N, 0, 255},
    {79, N, N, 255}, {95, N, N, 170},    {111, N, 255, 170}, {127, 0, N, 0},
    {143, N, N, 85}, {159, 255, 255, 0}, {217, 255, 0, N},   {255, 170, 0, 0},
};

const KeyPoint kFlow[] = {
    {0, 32, 200, 255}, {60, N, 20, N}, {63, N, N, 255},      {127, 0, 0, 0},
    {191, 255, 2, N},  {223, N, N, 0}, {255, 255, 255, 255},
};

const KeyPoint kCardiac[] = {
    {0, 72, 192, 0},   {15, 47, 223, N},   {31, 0, 233, 255},   {47, N, 127, N},   {63, 0, N, N},
    {79, 15, 15, 255}, {95, 19, 0, N},     {111, 31, N, 207},   {143, N, N, 127},  {159, 223, 0, N},
    {175, 225, 31, 0}, {223, 255, 239, 0}, {239, 175, 223, 11}, {255, 71, 191, 0},
};

const KeyPoint kSpektrum[] = {
    {0, 255, 0, 255}, {51, 0, 0, N},      {102, N, 255, 255},
    {153, 0, N, 0},   {204, 255, 255, N}, {255, 255, 0, 0},
};

struct Palette {
    const WCHAR* name;
    const KeyPoint* points;
    int count;
};

template <int Count>
constexpr Palette MakePalette(const WCHAR* name, const KeyPoint (&points)[Count]) {
    return {name, points, Count};
}

const Palette kPalettes[kPaletteCount] = {
    MakePalette(u"Grayscale", kGrayscale),
    MakePalette(u"GrayRain", kGrayRain),
    MakePalette(u"HotIron", kHotIron),
    MakePalette(u"BlackBody", kBlackBody),
    MakePalette(u"NIH", kNih),
    MakePalette(u"Flow", kFlow),
    MakePalette(u"Cardiac", kCardiac),
    MakePalette(u"Spektrum", kSpektrum),
};

int ChannelOf(const KeyPoint& point, int channel) {
    return channel == 0 ? point.red : channel == 1 ? point.green : point.blue;
}

BYTE* ChannelByte(RGBQUAD* entry, int channel) {
    return channel == 0 ? &entry->rgbRed : channel == 1 ? &entry->rgbGreen : &entry->rgbBlue;
}

}  // namespace

LPCWSTR PaletteName(int index) {
    if (index < 0 || index >= kPaletteCount) return nullptr;
    return kPalettes[index].name;
}

void BuildPalette(RGBQUAD* table, int index, int entries) {
    if (!table || index < 0 || index >= kPaletteCount || entries <= 0) return;
    if (entries > 256) entries = 256;
    const Palette& palette = kPalettes[index];
    for (int channel = 0; channel < 3; ++channel) {
        const KeyPoint* previous = nullptr;
        for (int i = 0; i < palette.count; ++i) {
            const KeyPoint& point = palette.points[i];
            int v = ChannelOf(point, channel);
            if (v < 0) continue;
            if (previous) {
                int e = previous->position;
                int d = point.position;
                int u = ChannelOf(*previous, channel);
                for (int k = e; k < d && k < entries; ++k) {
                    *ChannelByte(&table[k], channel) =
                        static_cast<BYTE>(u + ((k - e) * (v - u)) / (d - e));
                }
            }
            previous = &point;
        }
        if (previous && previous->position < entries) {
            *ChannelByte(&table[previous->position], channel) =
                static_cast<BYTE>(ChannelOf(*previous, channel));
        }
    }
}
