// The user-interface tests' own resource script is embedded in the test
// executable, so every area's dialogs and menus can be loaded by id.
#include <gtest/gtest.h>

#include <windows.h>

TEST(UiResources, TestScriptIsEmbedded) {
    WCHAR text[64];
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), 1, text, 64), 0);
    EXPECT_EQ(std::u16string(text), u"User interface tests");
}
