// Contrast/brightness: the 8-bit form, the 16-bit table and its lifetime,
// and the transform of a surface rectangle with its restoration.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "device_fixture.h"
#include "image/screen_surface.h"
#include "view/contrast_brightness.h"

namespace {

class ContrastBrightnessTest : public ::testing::Test {
protected:
    void TearDown() override { SetContrastBrightness(0, 0); }
};

TEST_F(ContrastBrightnessTest, EightBitForm) {
    struct {
        int contrast, brightness, value, out;
    } cases[] = {
        {0, 0, 0, 0},        {0, 0, 100, 100},   {0, 0, 255, 255},   {100, 0, 100, 72},
        {100, 0, 200, 255},  {100, 0, 0, 0},     {100, 0, 128, 128}, {0, -100, 0, 0},
        {0, -100, 200, 0},   {0, -100, 255, 0},  {0, 100, 0, 255},   {0, 100, 77, 255},
        {0, 50, 0, 127},     {0, 50, 255, 255},  {0, -50, 255, 127}, {-100, 0, 0, 128},
        {-100, 0, 255, 128}, {50, -50, 100, 43}, {250, 0, 100, 72},  // clamped to 100
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ContrastBrightnessByte(c.contrast, c.brightness, c.value), c.out)
            << c.contrast << " " << c.brightness << " " << c.value;
    }
    BYTE table[256];
    BuildContrastBrightnessBytes(100, 0, table);
    EXPECT_EQ(table[100], 72);
    EXPECT_EQ(table[200], 255);
}

TEST_F(ContrastBrightnessTest, TableExistsExactlyWhileActive) {
    EXPECT_FALSE(ContrastBrightnessActive());
    EXPECT_EQ(ContrastBrightnessTable(), nullptr);
    SetContrastBrightness(100, 0);
    EXPECT_TRUE(ContrastBrightnessActive());
    EXPECT_NE(ContrastBrightnessTable(), nullptr);
    SetContrastBrightness(0, 0);
    EXPECT_FALSE(ContrastBrightnessActive());
    EXPECT_EQ(ContrastBrightnessTable(), nullptr);
    SetContrastBrightness(150, -300);
    EXPECT_EQ(CurrentContrast(), 100);
    EXPECT_EQ(CurrentBrightness(), -100);
}

WORD Rgb565(int r5, int g6, int b5) {
    return static_cast<WORD>(r5 << 11 | g6 << 5 | b5);
}

TEST_F(ContrastBrightnessTest, SixteenBitEntries) {
    struct {
        int contrast, brightness;
        WORD in, out;
    } cases[] = {
        {100, 0, Rgb565(0, 0, 0), Rgb565(0, 0, 0)},
        {100, 0, Rgb565(31, 63, 31), Rgb565(31, 63, 31)},
        {100, 0, Rgb565(16, 32, 16), Rgb565(16, 32, 16)},  // the middle stays
        {100, 0, Rgb565(20, 40, 20), Rgb565(24, 48, 24)},  // red 40 at 6 bits -> 48
        {100, 0, Rgb565(12, 24, 12), Rgb565(8, 16, 8)},
        {0, -100, Rgb565(31, 63, 31), Rgb565(0, 0, 0)},
        {0, 100, Rgb565(0, 0, 0), Rgb565(31, 63, 31)},
        {0, 50, Rgb565(0, 0, 0), Rgb565(15, 31, 15)},     // 31 at 6 bits
        {-100, 0, Rgb565(31, 0, 0), Rgb565(16, 32, 16)},  // everything grey
        {1, 0, Rgb565(31, 63, 31), Rgb565(31, 63, 31)},
        {0, -1, Rgb565(10, 10, 10), Rgb565(9, 9, 9)},
    };
    for (const auto& c : cases) {
        SetContrastBrightness(c.contrast, c.brightness);
        ASSERT_NE(ContrastBrightnessTable(), nullptr);
        EXPECT_EQ(ContrastBrightnessTable()[c.in], c.out)
            << c.contrast << " " << c.brightness << " " << std::hex << c.in;
    }
}

class SurfaceAdjustTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        ASSERT_TRUE(surface_.CreateSurface());
        for (int y = 0; y < surface_.height; ++y) {
            BYTE* row = surface_.pixels + static_cast<size_t>(y) * surface_.stride;
            for (int x = 0; x < surface_.stride; ++x) row[x] = static_cast<BYTE>(x * 7 + y);
        }
        original_.assign(surface_.pixels,
                         surface_.pixels + static_cast<size_t>(surface_.height) * surface_.stride);
    }
    void TearDown() override {
        SetContrastBrightness(0, 0);
        surface_.DestroySurface();
        DeviceTest::TearDown();
    }
    // Byte `channel` of the surface pixel (x, y), y from the top.
    BYTE At(const BYTE* pixels, int x, int y, int channel) const {
        return pixels[static_cast<size_t>(surface_.height - 1 - y) * surface_.stride + 3 * x +
                      channel];
    }
    bool Unchanged() const {
        return std::memcmp(surface_.pixels, original_.data(), original_.size()) == 0;
    }

    ScreenSurface surface_;
    std::vector<BYTE> original_;
};

TEST_F(SurfaceAdjustTest, TransformsTheRectangleAndRestoresIt) {
    SetContrastBrightness(100, -20);
    RECT rect = {10, 20, 30, 45};
    BYTE* saved = AdjustSurfaceRect(&surface_, rect);
    ASSERT_NE(saved, nullptr);
    for (int y = 0; y < surface_.height; ++y) {
        for (int x = 0; x < surface_.width; ++x) {
            bool inside = x >= 10 && x < 30 && y >= 20 && y < 45;
            for (int ch = 0; ch < 3; ++ch) {
                BYTE before = At(original_.data(), x, y, ch);
                BYTE expected = inside ? ContrastBrightnessByte(100, -20, before) : before;
                ASSERT_EQ(At(surface_.pixels, x, y, ch), expected) << x << "," << y;
            }
        }
    }
    RestoreSurfaceRect(&surface_, rect, saved);
    EXPECT_TRUE(Unchanged());
}

TEST_F(SurfaceAdjustTest, ClippedToTheSurface) {
    SetContrastBrightness(0, 100);
    RECT rect = {-10, 300, 20, 400};
    BYTE* saved = AdjustSurfaceRect(&surface_, rect);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(At(surface_.pixels, 0, 319, 0), 255);
    EXPECT_EQ(At(surface_.pixels, 19, 300, 2), 255);
    EXPECT_EQ(At(surface_.pixels, 20, 300, 0), At(original_.data(), 20, 300, 0));
    EXPECT_EQ(At(surface_.pixels, 0, 299, 0), At(original_.data(), 0, 299, 0));
    RestoreSurfaceRect(&surface_, rect, saved);
    EXPECT_TRUE(Unchanged());
}

TEST_F(SurfaceAdjustTest, NothingWhileInactiveOrEmpty) {
    RECT rect = {0, 0, 240, 320};
    EXPECT_EQ(AdjustSurfaceRect(&surface_, rect), nullptr);
    EXPECT_TRUE(Unchanged());
    SetContrastBrightness(50, 0);
    RECT empty = {30, 30, 30, 60};
    RECT outside = {240, 0, 300, 10};
    EXPECT_EQ(AdjustSurfaceRect(&surface_, empty), nullptr);
    EXPECT_EQ(AdjustSurfaceRect(&surface_, outside), nullptr);
    EXPECT_TRUE(Unchanged());
    RestoreSurfaceRect(&surface_, rect, nullptr);
    EXPECT_TRUE(Unchanged());
}

}  // namespace
