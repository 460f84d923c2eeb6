// The album's adjustment record: its 32 little-endian bytes, short data,
// and the copy of its values into a fresh DisplayAdjustment.
#include <gtest/gtest.h>

#include <cstring>

#include "view/adjustment_attachment.h"
#include "view/display_adjustment.h"

namespace {

TEST(AdjustmentAttachment, WritesThirtyTwoLittleEndianBytes) {
    BYTE out[kAdjustmentAttachmentSize];
    std::memset(out, 0xEE, sizeof(out));
    WriteAdjustmentAttachment({-600, 1500, 2, 1}, out);
    const BYTE expected[kAdjustmentAttachmentSize] = {
        0xA8, 0xFD, 0xFF, 0xFF,  // centre -600
        0xDC, 0x05, 0x00, 0x00,  // width 1500
        0x02, 0x00, 0x00, 0x00,  // palette 2
        0x01, 0x00, 0x00, 0x00,  // negative
    };
    EXPECT_EQ(std::memcmp(out, expected, sizeof(out)), 0);
}

TEST(AdjustmentAttachment, ReadsWhatWasWritten) {
    const AdjustmentAttachment cases[] = {
        {40, 400, -1, 0}, {-600, 1500, 7, 1}, {INT32_MIN, INT32_MAX, 0, 0}};
    for (const AdjustmentAttachment& c : cases) {
        BYTE bytes[kAdjustmentAttachmentSize];
        WriteAdjustmentAttachment(c, bytes);
        AdjustmentAttachment read = {};
        ASSERT_TRUE(ReadAdjustmentAttachment(bytes, sizeof(bytes), &read));
        EXPECT_EQ(read.center, c.center);
        EXPECT_EQ(read.width, c.width);
        EXPECT_EQ(read.palette, c.palette);
        EXPECT_EQ(read.negative, c.negative);
    }
}

TEST(AdjustmentAttachment, ShortOrMissingDataIsRefused) {
    BYTE bytes[kAdjustmentAttachmentSize] = {1, 2, 3};
    AdjustmentAttachment read = {9, 9, 9, 9};
    EXPECT_FALSE(ReadAdjustmentAttachment(bytes, kAdjustmentAttachmentSize - 1, &read));
    EXPECT_FALSE(ReadAdjustmentAttachment(nullptr, kAdjustmentAttachmentSize, &read));
    EXPECT_EQ(read.center, 9);
}

TEST(AdjustmentAttachment, FillsAFreshAdjustment) {
    DisplayAdjustment a;
    InitAdjustment(&a);
    ApplyAdjustmentAttachment({-600, 1500, 3, 1}, &a);
    EXPECT_EQ(a.center, -600);
    EXPECT_EQ(a.width, 1500);
    EXPECT_EQ(a.palette, 3);
    EXPECT_EQ(a.negative, 1);
    // Everything else keeps its default.
    EXPECT_EQ(a.fileCenter, 128);
    EXPECT_EQ(a.rescaleSlope, 1.0f);
    AdjustmentAttachment back = AttachmentFromAdjustment(a);
    EXPECT_EQ(back.center, -600);
    EXPECT_EQ(back.negative, 1);
}

}  // namespace
