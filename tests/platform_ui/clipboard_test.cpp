// The clipboard: who may open it and what needs it open, text in and out with
// CF_TEXT and CF_UNICODETEXT standing in for each other, ownership of the
// data (freed on emptying, private handles left alone), delayed rendering,
// WM_DESTROYCLIPBOARD and registered formats.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "gwes_fixture.h"
#include "windows.h"

namespace {

std::vector<UINT> g_ownerMessages;

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROYCLIPBOARD || message == WM_RENDERFORMAT) g_ownerMessages.push_back(message);
    if (message == WM_RENDERFORMAT && wParam == CF_UNICODETEXT) {
        auto* text = static_cast<WCHAR*>(LocalAlloc(LMEM_FIXED, sizeof(u"rendered")));
        std::memcpy(text, u"rendered", sizeof(u"rendered"));
        SetClipboardData(CF_UNICODETEXT, text);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HANDLE WideBlock(const char16_t* text) {
    size_t bytes = (std::char_traits<char16_t>::length(text) + 1) * sizeof(WCHAR);
    void* block = LocalAlloc(LMEM_FIXED, bytes);
    std::memcpy(block, text, bytes);
    return block;
}

HANDLE AnsiBlock(const char* text, size_t bytes) {
    void* block = LocalAlloc(LMEM_FIXED, bytes);
    std::memcpy(block, text, bytes);
    return block;
}

class ClipboardTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = u"ClipOwner";
        RegisterClassW(&wc);
        first_ = CreateWindowExW(0, u"ClipOwner", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        second_ = CreateWindowExW(0, u"ClipOwner", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        g_ownerMessages.clear();
        // The clipboard outlives tests: start from an empty one.
        ASSERT_TRUE(OpenClipboard(nullptr));
        ASSERT_TRUE(EmptyClipboard());
        ASSERT_TRUE(CloseClipboard());
        g_ownerMessages.clear();
    }
    void TearDown() override {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        WindowTest::TearDown();
        UnregisterClassW(u"ClipOwner", nullptr);
    }
    HWND first_ = nullptr, second_ = nullptr;
};

TEST_F(ClipboardTest, CallsThatNeedTheClipboardOpen) {
    const struct {
        const char* what;
        bool (*call)();
    } rows[] = {
        {"CloseClipboard", [] { return CloseClipboard() != FALSE; }},
        {"EmptyClipboard", [] { return EmptyClipboard() != FALSE; }},
        {"SetClipboardData", [] { return SetClipboardData(CF_PRIVATEFIRST, reinterpret_cast<HANDLE>(1)) != nullptr; }},
        {"GetClipboardData", [] { return GetClipboardData(CF_TEXT) != nullptr; }},
        {"EnumClipboardFormats", [] { return EnumClipboardFormats(0) != 0; }},
    };
    for (const auto& row : rows) {
        SetLastError(0);
        EXPECT_FALSE(row.call()) << row.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLIPBOARD_NOT_OPEN)) << row.what;
    }
    // Opening again on the same thread is fine; one close closes it.
    EXPECT_TRUE(OpenClipboard(first_));
    EXPECT_TRUE(OpenClipboard(first_));
    EXPECT_EQ(GetOpenClipboardWindow(), first_);
    EXPECT_TRUE(CloseClipboard());
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    EXPECT_FALSE(CloseClipboard());
    EXPECT_FALSE(OpenClipboard(reinterpret_cast<HWND>(0x7772)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(ClipboardTest, OneThreadAtATime) {
    ASSERT_TRUE(OpenClipboard(first_));
    BOOL opened = TRUE;
    DWORD error = 0;
    std::thread([&] {
        opened = OpenClipboard(nullptr);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(opened);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(CloseClipboard());
    std::thread([&] {
        opened = OpenClipboard(nullptr);
        if (opened) CloseClipboard();
    }).join();
    EXPECT_TRUE(opened);
}

TEST_F(ClipboardTest, TextFormatsStandInForEachOther) {
    ASSERT_TRUE(OpenClipboard(first_));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(GetClipboardOwner(), first_);
    HANDLE wide = WideBlock(u"Caf\u00e9 \u20ac");
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, wide), wide);
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), wide);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
    EXPECT_EQ(CountClipboardFormats(), 3);  // CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT

    auto* ansi = static_cast<const char*>(GetClipboardData(CF_TEXT));
    ASSERT_NE(ansi, nullptr);
    EXPECT_STREQ(ansi, "Caf\xe9 \x80");  // Windows-1252
    EXPECT_EQ(GetClipboardData(CF_TEXT), ansi);  // made once, kept

    std::vector<UINT> formats;
    for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) formats.push_back(f);
    const std::vector<UINT> expected = {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT};
    EXPECT_EQ(formats, expected);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));

    // New text makes the converted copy stale.
    SetClipboardData(CF_UNICODETEXT, WideBlock(u"new"));
    EXPECT_STREQ(static_cast<const char*>(GetClipboardData(CF_TEXT)), "new");
    ASSERT_TRUE(CloseClipboard());

    // The other way round.
    ASSERT_TRUE(OpenClipboard(second_));
    ASSERT_TRUE(EmptyClipboard());
    SetClipboardData(CF_TEXT, AnsiBlock("abc\xe9", 5));
    auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"abc\u00e9");
    // A block without its terminator is read no further than the block
    // (the address sanitizer build checks the reads); what the allocator
    // added after the four bytes may come along.
    SetClipboardData(CF_TEXT, AnsiBlock("wxyz", 4));
    text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text).substr(0, 4), u"wxyz");
    ASSERT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, EmptyingTellsThePreviousOwnerAndFreesTheData) {
    HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_TRUE(OpenClipboard(first_));
    ASSERT_TRUE(EmptyClipboard());
    SetClipboardData(CF_BITMAP, bitmap);
    // A private format's handle is the owner's: any value is kept as it is.
    SetClipboardData(CF_PRIVATEFIRST, reinterpret_cast<HANDLE>(0x1234));
    SetClipboardData(CF_UNICODETEXT, WideBlock(u"freed"));
    EXPECT_EQ(GetClipboardData(CF_PRIVATEFIRST), reinterpret_cast<HANDLE>(0x1234));
    ASSERT_TRUE(CloseClipboard());

    g_ownerMessages.clear();
    ASSERT_TRUE(OpenClipboard(second_));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(g_ownerMessages, std::vector<UINT>{WM_DESTROYCLIPBOARD});
    EXPECT_EQ(GetClipboardOwner(), second_);
    EXPECT_EQ(GetObjectType(bitmap), 0u);  // deleted with the clipboard's data
    EXPECT_EQ(CountClipboardFormats(), 0);
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr);
    ASSERT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, DelayedRenderingAsksTheOwner) {
    ASSERT_TRUE(OpenClipboard(first_));
    ASSERT_TRUE(EmptyClipboard());
    EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, nullptr), nullptr);
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    ASSERT_TRUE(CloseClipboard());

    g_ownerMessages.clear();
    ASSERT_TRUE(OpenClipboard(second_));
    auto* text = static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"rendered");
    EXPECT_EQ(g_ownerMessages, std::vector<UINT>{WM_RENDERFORMAT});
    EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), text);  // rendered once
    ASSERT_TRUE(CloseClipboard());
}

TEST_F(ClipboardTest, RegisteredFormats) {
    UINT a = RegisterClipboardFormatW(u"Kestrava Annotation");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"kestrava annotation"), a);  // names ignore case
    EXPECT_NE(RegisterClipboardFormatW(u"Kestrava Other"), a);
    WCHAR name[64];
    EXPECT_EQ(GetClipboardFormatNameW(a, name, 64), 19);
    EXPECT_EQ(std::u16string(name), u"Kestrava Annotation");
    EXPECT_EQ(GetClipboardFormatNameW(a, name, 9), 8);
    EXPECT_EQ(std::u16string(name), u"Kestrava");
    EXPECT_EQ(GetClipboardFormatNameW(CF_TEXT, name, 64), 0);
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);

    ASSERT_TRUE(OpenClipboard(first_));
    ASSERT_TRUE(EmptyClipboard());
    HANDLE data = AnsiBlock("xyz", 4);
    SetClipboardData(a, data);
    EXPECT_EQ(GetClipboardData(a), data);
    EXPECT_TRUE(IsClipboardFormatAvailable(a));
    ASSERT_TRUE(CloseClipboard());
}

}  // namespace
