// The module loader: KTestModule.dll, built into the program folder, is
// found by bare name in any case or by its device path; exports are found
// by name; unknown modules, exports and handles fail with the right codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>

#include "device_fixture.h"
#include "windows.h"

namespace {

using TestAddFn = int (*)(int, int);
using TestCountFn = int (*)();

// FARPROC is a function type of its own; going through void (*)() tells the
// compiler the cast to the export's real type is meant.
template <class Fn>
Fn ProcAs(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

class ModuleTest : public DeviceTest {};

TEST_F(ModuleTest, BareNameInAnyCaseOrDevicePathLoadsTheSameModule) {
    const char16_t* names[] = {
        u"KTestModule.dll",
        u"ktestmodule.DLL",
        u"KTestModule",  // ".dll" is implied
        u"\\Program Files\\Kestrava\\KTestModule.dll",
        u"\\program files\\kestrava\\ktestmodule.dll",
    };
    HMODULE first = LoadLibraryW(names[0]);
    ASSERT_NE(first, nullptr) << GetLastError();
    for (const char16_t* name : names) {
        SCOPED_TRACE(std::string(name, name + std::char_traits<char16_t>::length(name)));
        HMODULE module = LoadLibraryW(name);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module, first);
        EXPECT_TRUE(FreeLibrary(module));
    }
    EXPECT_TRUE(FreeLibrary(first));
}

TEST_F(ModuleTest, ExportsAreFoundByNameAndKeepTheirState) {
    HMODULE module = LoadLibraryW(u"KTestModule.dll");
    ASSERT_NE(module, nullptr);
    auto add = ProcAs<TestAddFn>(GetProcAddress(module, "TestAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 40), 42);
    auto count = ProcAs<TestCountFn>(GetProcAddressW(module, u"TestCount"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(count(), 2);

    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(GetProcAddressW(module, u"NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(1)), nullptr);  // by ordinal
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleTest, FreeLibraryUnloadsAfterTheLastReference) {
    HMODULE module = LoadLibraryW(u"KTestModule.dll");
    ASSERT_NE(module, nullptr);
    auto count = ProcAs<TestCountFn>(GetProcAddress(module, "TestCount"));
    ASSERT_NE(count, nullptr);
    count();
    count();
    ASSERT_TRUE(FreeLibrary(module));
    // A freed handle is refused, not passed on.
    SetLastError(0);
    EXPECT_EQ(GetProcAddress(module, "TestCount"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(FreeLibrary(module));

    // Loaded afresh, the module's state starts over.
    module = LoadLibraryW(u"KTestModule.dll");
    ASSERT_NE(module, nullptr);
    count = ProcAs<TestCountFn>(GetProcAddress(module, "TestCount"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleTest, MissingModulesFail) {
    const char16_t* names[] = {
        u"NoSuchModule.dll",
        u"\\Program Files\\Kestrava\\NoSuchModule.dll",
        u"\\My Documents\\KTestModule.dll",  // a path is not searched elsewhere
    };
    for (const char16_t* name : names) {
        SCOPED_TRACE(std::string(name, name + std::char_traits<char16_t>::length(name)));
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(name), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    }
    // A file that exists but is no module.
    FILE* text = fopen(Host("My Documents/NotAModule.dll").c_str(), "w");
    ASSERT_NE(text, nullptr);
    fputs("hello", text);
    fclose(text);
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"\\My Documents\\NotAModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(ModuleTest, SystemLibrariesComeFromTheHostSearchPath) {
    HMODULE module = LoadLibraryW(u"libm.so.6");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "cos"), nullptr);
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    // Outside the device root and the program folder: below the storage card.
    EXPECT_EQ(std::u16string(path, 14), u"\\Storage Card\\");
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleTest, ModuleFileNamesAreDevicePaths) {
    HMODULE module = LoadLibraryW(u"ktestmodule.dll");
    ASSERT_NE(module, nullptr);
    WCHAR path[MAX_PATH];
    const std::u16string expected = u"\\Program Files\\Kestrava\\KTestModule.dll";
    ASSERT_EQ(GetModuleFileNameW(module, path, MAX_PATH), expected.size());
    EXPECT_EQ(std::u16string(path), expected);

    // The executable, named through NULL, lives in the same folder.
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    // Device programs carry ".exe"; the host's executable has none.
    EXPECT_EQ(std::u16string(path), u"\\Program Files\\Kestrava\\platform_tests.exe");
    EXPECT_EQ(GetModuleHandleW(nullptr), GetModuleHandleW(nullptr));
    EXPECT_NE(GetModuleHandleW(nullptr), nullptr);

    EXPECT_EQ(GetModuleHandleW(u"KTESTMODULE.DLL"), module);
    SetLastError(0);
    EXPECT_EQ(GetModuleHandleW(u"NoSuchModule.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleTest, ModuleFileNameTruncatesLikeWin32) {
    HMODULE module = LoadLibraryW(u"KTestModule.dll");
    ASSERT_NE(module, nullptr);
    const std::u16string full = u"\\Program Files\\Kestrava\\KTestModule.dll";
    struct Case {
        DWORD size;
        DWORD returned;
        DWORD error;  // 0: success, the last error is left alone
        std::u16string text;
    } cases[] = {
        {static_cast<DWORD>(full.size() + 1), static_cast<DWORD>(full.size()), 0, full},
        {static_cast<DWORD>(full.size()), static_cast<DWORD>(full.size()), ERROR_INSUFFICIENT_BUFFER,
         full.substr(0, full.size() - 1)},
        {5, 5, ERROR_INSUFFICIENT_BUFFER, full.substr(0, 4)},
        {1, 1, ERROR_INSUFFICIENT_BUFFER, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        WCHAR buffer[MAX_PATH];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        SetLastError(0);
        EXPECT_EQ(GetModuleFileNameW(module, buffer, c.size), c.returned);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(std::u16string(buffer), c.text);
        EXPECT_EQ(buffer[c.size], u'#');  // nothing written past the buffer
    }
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(module, nullptr, 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(FreeLibrary(module));

    SetLastError(0);
    WCHAR buffer[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(module, buffer, MAX_PATH), 0u);  // freed
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

}  // namespace
