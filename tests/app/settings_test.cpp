// The settings block against a real registry file in a fresh device root:
// defaults, clamps, the value rules, and start-up over a damaged or foreign
// registry.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/settings.h"
#include "app/settings_store.h"
#include "device_fixture.h"
#include "platform/memory_watch.h"
#include "platform/registry.h"

namespace {

class SettingsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        platform::ReloadRegistryForTest();
    }
    static void WriteOption(LPCWSTR name, DWORD value) {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        ASSERT_TRUE(store.Open(u"Options", true));
        ASSERT_TRUE(store.WriteNumber(name, value));
    }
    static void WriteRaw(LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
        HKEY handle;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &handle, nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExW(handle, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
        RegCloseKey(handle);
    }
    static DWORD StoredType(LPCWSTR key, LPCWSTR name, DWORD* size) {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 0;
        DWORD type = 0;
        *size = 0;
        LONG result = RegQueryValueExW(handle, name, nullptr, &type, nullptr, size);
        RegCloseKey(handle);
        return result == ERROR_SUCCESS ? type : 0;
    }
};

TEST_F(SettingsTest, DefaultsWithNoRegistry) {
    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    EXPECT_EQ(std::u16string(block.currentFile), u"\\My Documents\\*.*");
    EXPECT_EQ(block.bkgColor, 0u);
    EXPECT_EQ(block.autoZoomToFit, 1u);
    EXPECT_EQ(block.slideInFullScreen, 1u);
    EXPECT_EQ(block.wndOnStartSlides, 1u);
    EXPECT_EQ(block.slideDelay, 5u);
    EXPECT_EQ(block.prevVertScroller, 1u);
    EXPECT_EQ(block.prevFileName, 1u);
    EXPECT_EQ(block.prevSynchronice, 1u);
    EXPECT_EQ(block.showSplashScreen, 1u);
    EXPECT_EQ(block.httpPreload, 1000u);
    EXPECT_EQ(HttpPreload(), 1000u);
    EXPECT_EQ(std::u16string(block.cleanerFolder[0]), u"\\My Documents");
    EXPECT_EQ(std::u16string(block.cleanerFolder[1]), u"\\Temp");
    EXPECT_EQ(std::u16string(block.cleanerFolder[2]), u"\\Windows\\Temporary Internet Files");
    EXPECT_EQ(recent.urls[0][0], 0);
}

TEST_F(SettingsTest, StoredValuesAreClampedWhenRead) {
    struct Case {
        LPCWSTR name;
        DWORD stored;
        DWORD SettingsBlock::*field;
        DWORD expected;
    };
    const Case cases[] = {
        {u"HTTPPreload", 50, &SettingsBlock::httpPreload, 100},
        {u"HTTPPreload", 20000, &SettingsBlock::httpPreload, 10000},
        {u"HTTPPreload", 2500, &SettingsBlock::httpPreload, 2500},
        {u"LandscapeMode", 7, &SettingsBlock::landscapeMode, 0},
        {u"LandscapeMode", 2, &SettingsBlock::landscapeMode, 2},
        {u"LoadInReducedSize", 1, &SettingsBlock::loadInReducedSize, 0},
        {u"SlideDelay", 9, &SettingsBlock::slideDelay, 9},
    };
    for (const Case& c : cases) {
        WriteOption(c.name, c.stored);
        SettingsBlock block;
        RecentAddresses recent;
        LoadSettings(&block, &recent);
        EXPECT_EQ(block.*c.field, c.expected) << std::string(c.name, c.name + lstrlenW(c.name));
    }
}

TEST_F(SettingsTest, NumbersAreFourByteBinaryValues) {
    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    block.bkgColor = 0x00808080;
    SaveSettings(block, recent);
    DWORD size;
    EXPECT_EQ(StoredType(KESTRAVA_SETTINGS_BASE u"Options", u"BkgColor", &size), (DWORD)REG_BINARY);
    EXPECT_EQ(size, 4u);
    SettingsBlock again;
    LoadSettings(&again, &recent);
    EXPECT_EQ(again.bkgColor, 0x00808080u);
}

// The image memory budget is read in KiB and handed to the platform's watch;
// a missing, zero or foreign value leaves the platform's default.
TEST_F(SettingsTest, TheImageMemoryBudgetReachesThePlatformInKilobytes) {
    platform::SetImageMemoryBudget(0);
    const uint64_t platformDefault = platform::ImageMemoryBudget();
    const BYTE zero[4] = {0, 0, 0, 0};
    const BYTE mib64[4] = {0x00, 0x00, 0x01, 0x00};  // 65536 KiB, little-endian
    const BYTE largest[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    const BYTE eight[8] = {0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0};
    struct Case {
        const char* what;
        const BYTE* bytes;  // null: no value at all
        DWORD size;
        uint64_t budget;  // 0: the platform's default
    };
    const Case cases[] = {
        {"missing", nullptr, 0, 0},
        {"zero", zero, 4, 0},
        {"64 MiB", mib64, 4, 64ull << 20},
        {"the largest number", largest, 4, 0xFFFFFFFFull << 10},
        {"two bytes", mib64, 2, 0},
        {"eight bytes", eight, 8, 0},
    };
    for (const Case& c : cases) {
        platform::SetImageMemoryBudget(0);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, KESTRAVA_SETTINGS_BASE u"Options");
        if (c.bytes) WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"ImageMemoryBudget", REG_BINARY, c.bytes, c.size);
        ApplyImageMemoryBudget();
        EXPECT_EQ(platform::ImageMemoryBudget(), c.budget ? c.budget : platformDefault) << c.what;
    }
    platform::SetImageMemoryBudget(0);
}

TEST_F(SettingsTest, ForeignValueTypesAndSizesKeepTheDefaults) {
    const DWORD dword = 3;
    const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"SlideDelay", REG_BINARY, eight, sizeof(eight));
    WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"AutoZoomToFit", REG_BINARY, eight, 2);
    WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"CleanerFolder1", REG_BINARY, &dword, 4);
    // A text far longer than any buffer of the block.
    std::u16string huge(5000, u'x');
    WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"FileName", REG_SZ, huge.c_str(),
             (DWORD)((huge.size() + 1) * sizeof(WCHAR)));
    WriteRaw(KESTRAVA_SETTINGS_BASE u"RecentUrls", u"Url1", REG_SZ, huge.c_str(),
             (DWORD)((huge.size() + 1) * sizeof(WCHAR)));

    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    EXPECT_EQ(block.slideDelay, 5u);
    EXPECT_EQ(block.autoZoomToFit, 1u);
    // A cleaner folder that cannot be read names no folder (the cleaner
    // refuses it): the default would have the cleaner empty "\My Documents".
    EXPECT_EQ(std::u16string(block.cleanerFolder[0]), u"");
    EXPECT_EQ(block.currentFile[0], 0);  // the key exists, the value is unusable
    EXPECT_EQ(recent.urls[0][0], 0);
}

TEST_F(SettingsTest, NoStoredFileNameOpensTheDefaultFolder) {
    // The key holds other values (as the device's registry does before the
    // first exit) but no file name.
    const DWORD one = 1;
    WriteRaw(KESTRAVA_SETTINGS_BASE u"Options", u"SampleAlbumInstalled", REG_BINARY, &one, 4);
    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    EXPECT_EQ(std::u16string(block.currentFile), u"\\My Documents\\*.*");
}

TEST_F(SettingsTest, EmptyStringsAndLinkFilesAreNeverWritten) {
    SettingsBlock block;
    RecentAddresses recent;
    LoadSettings(&block, &recent);
    lstrcpyW(recent.urls[2], u"http://old/third");
    lstrcpyW(block.currentFile, u"\\My Documents\\ct.dcm");
    SaveSettings(block, recent);

    recent.urls[2][0] = 0;
    lstrcpyW(block.currentFile, u"\\My Documents\\study.url");
    SaveSettings(block, recent);
    StoreFileName(u"");

    SettingsBlock again;
    RecentAddresses recentAgain;
    LoadSettings(&again, &recentAgain);
    EXPECT_EQ(std::u16string(recentAgain.urls[2]), u"http://old/third");
    EXPECT_EQ(std::u16string(again.currentFile), u"\\My Documents\\ct.dcm");

    // Only the exact lower-case extension marks a link.
    StoreFileName(u"\\My Documents\\LINK.URL");
    WCHAR name[MAX_PATH];
    LoadFileName(name, MAX_PATH);
    EXPECT_EQ(std::u16string(name), u"\\My Documents\\LINK.URL");
}

TEST_F(SettingsTest, StorePathsEndWithOneBackslash) {
    EXPECT_EQ(std::u16string(SettingsStore(u"A\\B").Path()), u"A\\B\\");
    EXPECT_EQ(std::u16string(SettingsStore(u"A\\B\\").Path()), u"A\\B\\");
    EXPECT_EQ(std::u16string(SettingsStore(nullptr).Path()), u"");
    SettingsStore store(KESTRAVA_SETTINGS_BASE);
    ASSERT_TRUE(store.Open(u"Options", true));
    EXPECT_FALSE(store.WriteString(u"Empty", u""));
    DWORD value = 7;
    EXPECT_FALSE(store.ReadNumber(u"Missing", &value));
    EXPECT_EQ(value, 7u);
}

}  // namespace
