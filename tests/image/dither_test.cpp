// The 12-bit dither against a plain spatial Floyd-Steinberg written from the
// description (serpentine rows, 22 fraction bits, 7-5-3-1 sixteenths), and
// its edge cases.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dither.h"
#include "image_test_util.h"

namespace {

// Reference: errors kept per pixel of the current and the next row.
void ReferenceDither(std::vector<std::vector<int>>& rows, int width, int channels) {
    const int lowest = 255 << 14, highest = 255 << 22;
    std::vector<int> current(width * channels, 0), next(width * channels, 0);
    for (size_t y = 0; y < rows.size(); ++y) {
        int dir = (y % 2 == 0) ? 1 : -1;
        for (int k = 0; k < width; ++k) {
            int x = dir > 0 ? k : width - 1 - k;
            for (int c = 0; c < channels; ++c) {
                int& p = rows[y][x * channels + c];
                int v = (p << 22) + current[x * channels + c];
                v = v < lowest ? lowest : v > highest ? highest : v;
                int out = (v >> 22) & 0xF0;
                int e = (v - (out << 22)) >> 4;
                p = out;
                auto inside = [&](int xx) { return xx >= 0 && xx < width; };
                if (inside(x + dir)) current[(x + dir) * channels + c] += 7 * e;
                next[x * channels + c] += 5 * e;
                if (inside(x - dir)) next[(x - dir) * channels + c] += 3 * e;
                if (inside(x + dir)) next[(x + dir) * channels + c] += e;
            }
        }
        current = next;
        std::fill(next.begin(), next.end(), 0);
    }
}

class DitherTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        image_.adjustment = nullptr;
        ResetImage(&image_);
        state_ = CreateDitherState();
    }
    void TearDown() override {
        ReleaseImage(&image_);
        DestroyDitherState(state_);
        DeviceTest::TearDown();
    }
    // Fills the image with random bytes; returns its rows in memory order.
    std::vector<std::vector<int>> Randomise(int channels, unsigned seed) {
        std::mt19937 random(seed);
        int w = image_.header->biWidth, h = image_.header->biHeight;
        std::vector<std::vector<int>> rows(h, std::vector<int>(w * channels));
        for (int y = 0; y < h; ++y) {
            for (int i = 0; i < w * channels; ++i) {
                rows[y][i] = static_cast<int>(random() & 0xFF);
                RowAddress(image_, y)[i] = static_cast<BYTE>(rows[y][i]);
            }
        }
        return rows;
    }
    void ExpectRows(const std::vector<std::vector<int>>& rows, int channels) {
        int w = image_.header->biWidth;
        for (size_t y = 0; y < rows.size(); ++y) {
            for (int i = 0; i < w * channels; ++i) {
                ASSERT_EQ(RowAddress(image_, static_cast<int>(y))[i], rows[y][i]) << "row " << y << " byte " << i;
            }
        }
    }
    RImage image_;
    DitherState* state_ = nullptr;
};

TEST_F(DitherTest, TwentyFourBitImagesMatchTheReference) {
    for (int width : {1, 2, 37, 64}) {
        ASSERT_TRUE(CreateImage(nullptr, &image_, 24, width, 23, nullptr, 0));
        auto rows = Randomise(3, static_cast<unsigned>(width));
        ReferenceDither(rows, width, 3);
        ASSERT_TRUE(DitherFor12Bit(state_, &image_));
        ExpectRows(rows, 3);
        ReleaseImage(&image_);
    }
}

TEST_F(DitherTest, GreyRampImagesMatchTheReference) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 41, 17, nullptr, 0));  // identity grey table
    auto rows = Randomise(1, 5);
    ReferenceDither(rows, 41, 1);
    ASSERT_TRUE(DitherFor12Bit(state_, &image_));
    ExpectRows(rows, 1);
}

TEST_F(DitherTest, BuffersGrowForLargerImagesAndAreReused) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 8, 8, nullptr, 0));
    ASSERT_TRUE(DitherFor12Bit(state_, &image_));
    size_t small = state_->errorCapacity;
    ReleaseImage(&image_);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 100, 3, nullptr, 0));
    auto rows = Randomise(3, 9);
    ReferenceDither(rows, 100, 3);
    ASSERT_TRUE(DitherFor12Bit(state_, &image_));
    ExpectRows(rows, 3);
    EXPECT_GT(state_->errorCapacity, small);
    EXPECT_EQ(state_->wordsPerLine, 102 * 3);
    EXPECT_EQ(state_->widthTimesThree, 300);
}

TEST_F(DitherTest, WhiteStaysF0WithAPositiveResidueCarriedOn) {
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 4, 1, nullptr, 0));
    std::fill(image_.pixels, image_.pixels + 12, 255);
    ASSERT_TRUE(DitherFor12Bit(state_, &image_));
    for (int i = 0; i < 12; ++i) EXPECT_EQ(image_.pixels[i], 0xF0);
    // The first pixel's residue (15 levels, a sixteenth of it 7 times) is
    // carried: value 255 plus it still clamps to 255.
    ReleaseImage(&image_);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 24, 2, 1, nullptr, 0));
    image_.pixels[0] = 255;  // blue 255, then blue 0x0B in the next pixel
    image_.pixels[3] = 0x0B;
    ASSERT_TRUE(DitherFor12Bit(state_, &image_));
    EXPECT_EQ(image_.pixels[0], 0xF0);
    // 0x0B + 7/16 of 15 = 0x0B + 6.56 -> 17.56 -> 0x10.
    EXPECT_EQ(image_.pixels[3], 0x10);
}

TEST_F(DitherTest, OtherTablesAndDepthsAreLeftAlone) {
    RGBQUAD colours[256];
    for (int i = 0; i < 256; ++i) colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), 0, 0};
    ASSERT_TRUE(CreateImage(nullptr, &image_, 8, 4, 4, colours, 256));
    std::fill(image_.pixels, image_.pixels + 16, 0x37);
    EXPECT_TRUE(DitherFor12Bit(state_, &image_));
    EXPECT_EQ(image_.pixels[5], 0x37);
    ReleaseImage(&image_);
    ASSERT_TRUE(CreateImage(nullptr, &image_, 16, 4, 4, nullptr, 0));
    EXPECT_FALSE(DitherFor12Bit(state_, &image_));
    ReleaseImage(&image_);
    EXPECT_FALSE(DitherFor12Bit(state_, &image_));  // no pixels
}

}  // namespace
