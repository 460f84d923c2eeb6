// The window arithmetic: defaults, ComputeWindowBounds over a table of
// cases (rescale intercept, MONOCHROME1 mirror, automatic window, slopes
// other than 1), and the mapping of single values.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "view/display_adjustment.h"

namespace {

TEST(AdjustmentDefaults, InitSetsTheDocumentedValues) {
    DisplayAdjustment a;
    std::memset(&a, 0x5A, sizeof(a));
    InitAdjustment(&a);
    EXPECT_EQ(a.bitsAllocated, 8);
    EXPECT_EQ(a.bitsStored, 8);
    EXPECT_EQ(a.highBit, 7);
    EXPECT_EQ(a.pixelRepresentation, 0);
    EXPECT_EQ(a.planarConfiguration, 0);
    EXPECT_EQ(a.rows, 0);
    EXPECT_EQ(a.columns, 0);
    EXPECT_EQ(a.samplesPerPixel, 1);
    EXPECT_EQ(a.cursor, nullptr);
    EXPECT_EQ(a.negative, 0);
    EXPECT_EQ(a.applied, 0);
    EXPECT_EQ(a.autoWindow, 0);
    for (BYTE l : a.luminance) ASSERT_EQ(l, 0);
    EXPECT_EQ(a.rescaleIntercept, 0.0f);
    EXPECT_EQ(a.rescaleSlope, 1.0f);
    EXPECT_EQ(a.scale, 0.0f);
    EXPECT_EQ(a.smallest, 0);
    EXPECT_EQ(a.largest, 255);
    EXPECT_EQ(a.center, 0);
    EXPECT_EQ(a.width, 0);
    EXPECT_EQ(a.fileCenter, 128);
    EXPECT_EQ(a.fileWidth, 256);
    EXPECT_EQ(a.photometric, 0u);
    EXPECT_EQ(a.bytesPerSample, 1u);
    EXPECT_EQ(a.minValue, 0);
    EXPECT_EQ(a.maxValue, 255);
    EXPECT_EQ(a.low, 0);
    EXPECT_EQ(a.high, 0);
    EXPECT_EQ(a.packedIndex, 0);
    EXPECT_EQ(a.packedNibble, 0);
    EXPECT_EQ(a.palette, -1);
}

struct BoundsCase {
    const char* name;
    int32_t center;
    int32_t width;
    float intercept;
    float slope;
    DWORD photometric;
    int32_t fileCenter;
    BYTE autoWindow;
    int32_t smallest;
    int32_t largest;
    int32_t low;
    int32_t high;
    float scale;
    bool inverted;
};

// clang-format off
const BoundsCase kBoundsCases[] = {
    // name, centre, width, intercept, slope, photometric, fileCenter, autoWindow,
    // smallest, largest -> low, high, scale, inverted by the slope
    {"CT soft tissue",
     40, 400, -1024.0f, 1.0f, 0, 128, 0, 0, 0, 864, 1264, 0.64f, false},
    {"intercept truncated",
     40, 400, -1024.7f, 1.0f, 0, 128, 0, 0, 0, 864, 1264, 0.64f, false},
    {"positive intercept",
     40, 400, 100.9f, 1.0f, 0, 128, 0, 0, 0, -260, 140, 0.64f, false},
    {"no rescale",
     128, 256, 0.0f, 1.0f, 0, 128, 0, 0, 0, 0, 256, 1.0f, false},
    {"odd width",
     10, 5, 0.0f, 1.0f, 0, 128, 0, 0, 0, 7, 12, 51.2f, false},
    {"bounds truncate toward zero",
     0, 3, 0.0f, 1.0f, 0, 128, 0, 0, 0, -1, 1, 256.0f / 3, false},
    {"no window chosen",
     40, 0, 0.0f, 1.0f, 0, 128, 0, 0, 0, 40, 40, 0.0f, false},
    {"MONOCHROME1 mirrored",
     2000, 400, 0.0f, 1.0f, 1, 2048, 0, 0, 0, 1896, 2296, 0.64f, false},
    {"MONOCHROME1 no file centre",
     2000, 400, 0.0f, 1.0f, 1, 0, 0, 0, 0, 1800, 2200, 0.64f, false},
    {"MONOCHROME2 not mirrored",
     2000, 400, 0.0f, 1.0f, 0, 2048, 0, 0, 0, 1800, 2200, 0.64f, false},
    {"automatic 12-bit range",
     40, 400, -1024.0f, 2.0f, 0, 128, 1, 0, 4095, 0, 4094, 256.0f / 4095, false},
    {"automatic signed range",
     0, 0, 0.0f, -1.0f, 0, 128, 1, -100, 100, -100, 100, 1.28f, false},
    // Slope 1 keeps the integer arithmetic exactly, fractional intercept
    // and negative bounds included (a division would give -5 and -3).
    {"slope 1 exact",
     -5, 2, -0.5f, 1.0f, 0, 128, 0, 0, 0, -6, -4, 128.0f, false},
    {"slope 0 counts as 1",
     40, 400, -1024.0f, 0.0f, 0, 128, 0, 0, 0, 864, 1264, 0.64f, false},
    // Real = slope * stored + intercept: bounds divided by the slope.
    {"slope 2",
     40, 400, 0.0f, 2.0f, 0, 128, 0, 0, 0, -80, 120, 1.28f, false},
    {"slope 2 with intercept",
     40, 400, -1024.0f, 2.0f, 0, 128, 0, 0, 0, 432, 632, 1.28f, false},
    {"slope 2 half samples",
     0, 6, 0.0f, 2.0f, 0, 128, 0, 0, 0, -1, 2, 256.0f / 3, false},
    {"slope 0.5",
     40, 400, 0.0f, 0.5f, 0, 128, 0, 0, 0, -320, 480, 0.32f, false},
    {"slope 0.1 not exact",
     100, 100, 0.0f, 0.1f, 0, 128, 0, 0, 0, 500, 1500, 0.256f, false},
    {"slope 2 MONOCHROME1",
     2000, 400, 0.0f, 2.0f, 1, 2048, 0, 0, 0, 948, 1148, 1.28f, false},
    // A negative slope swaps the bounds; the output is inverted.
    {"slope -1",
     40, 400, 0.0f, -1.0f, 0, 128, 0, 0, 0, -239, 161, 0.64f, true},
    {"slope -1 with intercept",
     40, 400, 1000.0f, -1.0f, 0, 128, 0, 0, 0, 761, 1161, 0.64f, true},
    {"slope -2",
     40, 400, 0.0f, -2.0f, 0, 128, 0, 0, 0, -119, 81, 1.28f, true},
};
// clang-format on

class WindowBounds : public ::testing::TestWithParam<BoundsCase> {};

TEST_P(WindowBounds, ComputesLowHighAndScale) {
    const BoundsCase& c = GetParam();
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.center = c.center;
    a.width = c.width;
    a.rescaleIntercept = c.intercept;
    a.rescaleSlope = c.slope;
    a.photometric = c.photometric;
    a.fileCenter = c.fileCenter;
    a.autoWindow = c.autoWindow;
    a.smallest = c.smallest;
    a.largest = c.largest;
    a.packedIndex = 5;
    a.packedNibble = 9;
    ComputeWindowBounds(&a);
    EXPECT_EQ(a.low, c.low);
    EXPECT_EQ(a.high, c.high);
    EXPECT_FLOAT_EQ(a.scale, c.scale);
    EXPECT_EQ(InvertedBySlope(a), c.inverted);
    EXPECT_EQ(a.packedIndex, 0);
    EXPECT_EQ(a.packedNibble, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, WindowBounds, ::testing::ValuesIn(kBoundsCases),
                         [](const ::testing::TestParamInfo<BoundsCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

DisplayAdjustment CtWindow() {
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.center = 40;
    a.width = 400;
    a.rescaleIntercept = -1024.0f;
    ComputeWindowBounds(&a);
    return a;
}

TEST(WindowMapping, MapsAroundTheBounds) {
    DisplayAdjustment a = CtWindow();
    struct {
        int32_t value;
        BYTE out;
    } cases[] = {
        {-32768, 0}, {0, 0},      {863, 0},     {864, 0},
        {865, 0},    {866, 1},    {1064, 128},  // 40 HU, the centre
        {1263, 255}, {1264, 255}, {40000, 255},
    };
    for (const auto& c : cases) EXPECT_EQ(WindowMap(a, c.value), c.out) << c.value;
}

// The window applied to stored samples gives exactly what the same window
// gives on real values: real = slope * stored + intercept, mapped in real
// units with a scale of 256 / width.
TEST(WindowMapping, SlopeTwoMatchesTheRealWindow) {
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.center = 40;
    a.width = 400;
    a.rescaleSlope = 2.0f;
    a.rescaleIntercept = -1024.0f;
    ComputeWindowBounds(&a);
    for (int32_t stored = 0; stored < 1200; ++stored) {
        int32_t real = 2 * stored - 1024;
        int expected = real < -160 ? 0
                       : real >= 240
                           ? 255
                           : static_cast<int>(static_cast<float>(real + 160) * (256.0f / 400.0f));
        ASSERT_EQ(WindowMap(a, stored), expected) << stored;
    }
}

TEST(WindowMapping, NegativeSlopeInvertsToTheRealWindow) {
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.center = 40;
    a.width = 400;
    a.rescaleSlope = -1.0f;
    ComputeWindowBounds(&a);
    ASSERT_TRUE(InvertedBySlope(a));
    for (int32_t stored = -400; stored <= 400; ++stored) {
        int32_t real = -stored;
        int out = 255 - WindowMap(a, stored);
        if (real < -160) {
            ASSERT_EQ(out, 0) << stored;
        } else if (real >= 240) {
            ASSERT_EQ(out, 255) << stored;
        } else {
            int expected = (real + 160) * 256 / 400;
            ASSERT_LE(std::abs(out - expected), 1) << stored;
        }
    }
}

// 32-bit samples (dose grids) span the whole range: no overflow at either end.
TEST(WindowMapping, FullThirtyTwoBitRange) {
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.autoWindow = 1;
    a.smallest = INT32_MIN;
    a.largest = INT32_MAX;
    ComputeWindowBounds(&a);
    EXPECT_EQ(a.low, INT32_MIN);
    EXPECT_EQ(WindowMap(a, INT32_MIN), 0);
    EXPECT_EQ(WindowMap(a, 0), 128);
    EXPECT_EQ(WindowMap(a, INT32_MAX), 255);
}

}  // namespace
