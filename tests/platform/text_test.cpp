// UTF-16 strings, formatting and code pages.
#include <gtest/gtest.h>

#include <string>

#include "platform/wstr.h"
#include "windows.h"

namespace {

std::u16string Format(const WCHAR* format, ...) {
    WCHAR buffer[2048];
    va_list args;
    va_start(args, format);
    int n = wvsprintfW(buffer, format, args);
    va_end(args);
    EXPECT_EQ(n, lstrlenW(buffer));
    return buffer;
}

TEST(WsprintfTest, Conversions) {
    EXPECT_EQ(Format(u"%d|%i|%u", -42, 7, 4000000000u), u"-42|7|4000000000");
    EXPECT_EQ(Format(u"%x|%X|%#x", 0xBEEFu, 0xBEEFu, 255u), u"beef|BEEF|0xff");
    EXPECT_EQ(Format(u"%03u|%05d|%-4d|%4d", 7u, -12, 3, 3), u"007|-0012|3   |   3");
    EXPECT_EQ(Format(u"%s=%c", u"zoom", u'x'), u"zoom=x");
    EXPECT_EQ(Format(u"%.2f|%f|%.0f", 1.15, 0.5, 2.5), u"1.15|0.500000|2");
    EXPECT_EQ(Format(u"%5.1f|%-6.2f|", 3.14159, 2.0), u"  3.1|2.00  |");
    EXPECT_EQ(Format(u"100%%"), u"100%");
    EXPECT_EQ(Format(u"%ld|%lu", static_cast<LONG>(-5), static_cast<DWORD>(5)), u"-5|5");
    EXPECT_EQ(Format(u"%I64d|%lld", -9000000000LL, 9000000000LL), u"-9000000000|9000000000");
    EXPECT_EQ(Format(u"%hs|%S", "narrow", "too"), u"narrow|too");
    EXPECT_EQ(Format(u"%s", static_cast<const WCHAR*>(nullptr)), u"(null)");
    EXPECT_EQ(Format(u"%.3s|%8s|%-8s|", u"abcdef", u"ab", u"ab"), u"abc|      ab|ab      |");
    EXPECT_EQ(Format(u"sshot%03u.bmp", 12u), u"sshot012.bmp");
    EXPECT_EQ(Format(u"%d", INT32_MIN), u"-2147483648");
}

TEST(WsprintfTest, NarrowTextIsWindows1252) {
    EXPECT_EQ(Format(u"%hs", "\x80 \xE9"), u"\u20AC \u00E9");
}

TEST(WsprintfTest, WsprintfStopsAt1024Characters) {
    std::u16string longText(3000, u'a');
    WCHAR buffer[3000];
    int n = wsprintfW(buffer, u"%s", longText.c_str());
    EXPECT_EQ(n, 1023);
    EXPECT_EQ(buffer[1023], 0);
}

TEST(WsprintfTest, SwprintfReportsTruncation) {
    WCHAR buffer[8];
    EXPECT_EQ(swprintf(buffer, 8, u"%d", 1234567), 7);
    EXPECT_EQ(std::u16string(buffer), u"1234567");
    EXPECT_EQ(swprintf(buffer, 8, u"%d", 12345678), -1);
    EXPECT_EQ(std::u16string(buffer), u"1234567");  // terminated inside the buffer
    EXPECT_EQ(swprintf(buffer, u"%s", u"free"), 4);
}

TEST(StringTest, LstrFunctions) {
    WCHAR buffer[16];
    lstrcpyW(buffer, u"Album");
    lstrcatW(buffer, u".mab");
    EXPECT_EQ(lstrlenW(buffer), 9);
    EXPECT_EQ(lstrcmpW(buffer, u"Album.mab"), 0);
    EXPECT_LT(lstrcmpW(u"a", u"b"), 0);
    EXPECT_EQ(lstrcmpiW(u"ALBUM.MAB", buffer), 0);
    lstrcpynW(buffer, u"truncated text", 6);
    EXPECT_EQ(std::u16string(buffer), u"trunc");
    CharUpperW(buffer);
    EXPECT_EQ(std::u16string(buffer), u"TRUNC");
    CharLowerW(buffer);
    EXPECT_EQ(std::u16string(buffer), u"trunc");
    EXPECT_EQ(lstrlenW(nullptr), 0);
}

TEST(CodePageTest, Utf8RoundTrip) {
    const char* samples[] = {"", "plain", ("Kn\xC3\xB6" "chel"), "\xE2\x82\xAC 5", "\xF0\x9F\x98\x80"};
    for (const char* s : samples) {
        std::u16string wide = platform::Utf8ToUtf16(s);
        EXPECT_EQ(platform::Utf16ToUtf8(wide), s) << s;
    }
    EXPECT_EQ(platform::Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);  // a surrogate pair
}

TEST(CodePageTest, InvalidUtf8BecomesReplacement) {
    struct Case {
        const char* bytes;
        std::u16string expected;
    } cases[] = {
        {("a\xFF" "b"), u"a\uFFFDb"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},  // overlong '/'
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"ab\xE2\x82", u"ab\uFFFD"},  // cut off at the end
    };
    for (const Case& c : cases) {
        bool invalid = false;
        EXPECT_EQ(platform::Utf8ToUtf16(c.bytes, &invalid), c.expected) << c.bytes;
        EXPECT_TRUE(invalid);
    }
}

TEST(CodePageTest, MultiByteToWideCharRules) {
    WCHAR wide[16];
    // -1 converts the terminator too; length 0 asks for the size.
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "CT\x80", -1, nullptr, 0), 4);
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "CT\x80", -1, wide, 16), 4);
    EXPECT_EQ(std::u16string(wide), u"CT\u20AC");
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "abcdef", 6, wide, 3), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 16), 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xEF\xBF\xBD", 3, wide, 16), 1);
    EXPECT_EQ(MultiByteToWideChar(999, 0, "a", 1, wide, 16), 0);
}

TEST(CodePageTest, WideCharToMultiByteUsesDefaultForUnmappable) {
    char narrow[16];
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_1252, 0, u"\u20AC\u4E2D\U0001F600x", -1, narrow, 16, nullptr,
                                &usedDefault);
    EXPECT_EQ(n, 5);  // euro, '?', '?' for the whole pair, 'x', terminator
    EXPECT_STREQ(narrow, "\x80??x");
    EXPECT_TRUE(usedDefault);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", 1, narrow, 16, nullptr, nullptr), 2);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"x", 1, narrow, 16, "?", nullptr), 0);
}

TEST(CodePageTest, Windows1252RoundTripsEveryByte) {
    for (int b = 1; b < 256; ++b) {
        char in = static_cast<char>(b), out = 0;
        WCHAR wide = 0;
        ASSERT_EQ(MultiByteToWideChar(CP_1252, 0, &in, 1, &wide, 1), 1);
        ASSERT_EQ(WideCharToMultiByte(CP_1252, 0, &wide, 1, &out, 1, nullptr, nullptr), 1);
        EXPECT_EQ(static_cast<unsigned char>(out), b);
    }
}

}  // namespace
