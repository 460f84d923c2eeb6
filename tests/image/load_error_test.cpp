// The LoadError table: every code's string id and text, and the fallback.
#include <gtest/gtest.h>

#include <string>

#include "load_error.h"

namespace {

struct ErrorCase {
    LoadError code;
    UINT stringId;
    std::u16string text;
};

const ErrorCase kCases[] = {
    {1, 422, u"Not enough memory or file storage space is not available to complete this operation."},
    {2, 21314, u"An internal error occurred. Possible causes are that image data file is corrupted or you are out of memory."},
    {3, 416, u"The system cannot find the path specified."},
    {4, 418, u"The system cannot open the file."},
    {5, 448, u"The system cannot create the file."},
    {6, 432, u"The system cannot read from the specified device."},
    {7, 431, u"The system cannot write to the specified device."},
    {8, 21322, u"Image data file corrupted or file has a unknown data format."},
    {9, 21319, u"Image file is corrupted or contain newer and not supported image version."},
    {10, 21316, u"Image contain not supported format version."},
    {11, 21317, u"Image compressed by not supported compression algorithm."},
    {12, 21318, u"LZW compression no supported due to Unisys patent enforcement."},
    {13, 21320, u"Image file contain CMYK or LAB color model."},
    {14, 21321, u"File contain 32bit image format. Device support maximally 24 bits per color."},
    {15, 21315, u"Loading aborted..."},
    {16, 452, u"Unknown error"},
    {17, 452, u"Unknown error"},
    {18, 452, u"Unknown error"},
    {19, 452, u"Unknown error"},
    {0xFFFFFFFF, 452, u"Unknown error"},
};

TEST(LoadErrorTest, EveryCodeHasItsStringAndText) {
    for (const ErrorCase& c : kCases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(LoadErrorStringId(c.code), c.stringId);
        EXPECT_EQ(std::u16string(LoadErrorMessage(c.code)), c.text);
    }
}

TEST(LoadErrorTest, SuccessHasNoMessage) {
    EXPECT_EQ(LoadErrorStringId(kLoadOk), 0u);
    EXPECT_EQ(std::u16string(LoadErrorMessage(kLoadOk)), u"");
}

TEST(LoadErrorTest, SubsystemStringTexts) {
    struct Case {
        UINT id;
        const char16_t* text;
    };
    const Case cases[] = {
        {kStringUnknownFormatName, u"Unknown Format Name"},
        {kStringIncompletePicture, u"Incomplete picture: the file ends early"},
    };
    for (const Case& c : cases) {
        ASSERT_NE(ImageString(c.id), nullptr) << c.id;
        EXPECT_EQ(std::u16string(ImageString(c.id)), c.text) << c.id;
    }
    EXPECT_EQ(ImageString(12345), nullptr);
}

}  // namespace
