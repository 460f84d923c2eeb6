// The recent-files list against a real registry file: the order rules of
// Add, what old versions left behind, the tab mark, and the menu it keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/recent_files.h"
#include "app/settings_store.h"
#include "app/window_base.h"
#include "gwes_fixture.h"
#include "platform/registry.h"

namespace {

constexpr WCHAR kKeyPath[] = u"Software\\Halvoric\\Kestrava\\RecentPaths";
constexpr UINT kBase = 17029;

class RecentFilesTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ReloadRegistryForTest();
        SetAppInstance(GetModuleHandleW(nullptr));
        // A "File" popup whose item 1 is the "Recent files" submenu.
        file_ = CreatePopupMenu();
        AppendMenuW(file_, MF_STRING, 100, u"&Open");
        recentPopup_ = CreatePopupMenu();
        AppendMenuW(file_, MF_POPUP, reinterpret_cast<UINT_PTR>(recentPopup_), u"Recent files");
    }
    void TearDown() override {
        DestroyMenu(file_);
        WindowTest::TearDown();
    }

    static void Store(DWORD count, const std::vector<std::u16string>& files) {
        SettingsStore store(kKeyPath);
        ASSERT_TRUE(store.Open(u"RecentFiles", true));
        ASSERT_TRUE(store.WriteNumber(u"FCount", count));
        for (size_t n = 0; n < files.size(); ++n) {
            std::u16string name = u"File" + std::u16string(1, char16_t(u'0' + n));
            if (files[n].empty()) {
                // An empty string cannot be written through the store.
                HKEY key;
                ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                        u"Software\\Halvoric\\Kestrava\\RecentPaths\\RecentFiles",
                                        0, KEY_ALL_ACCESS, &key),
                          ERROR_SUCCESS);
                WCHAR none = 0;
                RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(&none),
                               sizeof(none));
                RegCloseKey(key);
                continue;
            }
            ASSERT_TRUE(store.WriteString(name.c_str(), files[n].c_str()));
        }
    }
    static DWORD StoredCount() {
        SettingsStore store(kKeyPath);
        DWORD count = 0;
        if (!store.Open(u"RecentFiles", false) || !store.ReadNumber(u"FCount", &count))
            return 0xFFFFFFFF;
        return count;
    }
    // The stored "File%d" values; a missing one reads as "<none>".
    static std::vector<std::u16string> StoredFiles(int upTo) {
        SettingsStore store(kKeyPath);
        std::vector<std::u16string> out;
        if (!store.Open(u"RecentFiles", false)) return out;
        for (int n = 0; n < upTo; ++n) {
            WCHAR name[16], text[MAX_PATH];
            wsprintfW(name, u"File%d", n);
            out.push_back(store.ReadString(name, text, MAX_PATH) ? std::u16string(text)
                                                                 : u"<none>");
        }
        return out;
    }
    struct Item {
        UINT id;
        std::u16string text;
        bool grey;
        bool operator==(const Item& o) const {
            return id == o.id && text == o.text && grey == o.grey;
        }
    };
    std::vector<Item> MenuItems() const {
        std::vector<Item> items;
        for (int i = 0; i < GetMenuItemCount(recentPopup_); ++i) {
            WCHAR text[MAX_PATH + 8] = {};
            GetMenuStringW(recentPopup_, static_cast<UINT>(i), text, MAX_PATH + 8, MF_BYPOSITION);
            UINT state = GetMenuState(recentPopup_, static_cast<UINT>(i), MF_BYPOSITION);
            items.push_back({GetMenuItemID(recentPopup_, i), text, (state & MF_GRAYED) != 0});
        }
        return items;
    }

    HMENU file_ = nullptr;
    HMENU recentPopup_ = nullptr;
};

TEST_F(RecentFilesTest, EmptyListShowsTheGreyedPlaceholder) {
    RecentFiles recent;
    ASSERT_TRUE(recent.Attach(file_, 1, kKeyPath, kBase));
    EXPECT_EQ(recent.Popup(), recentPopup_);
    EXPECT_EQ(MenuItems(), (std::vector<Item>{{24, u"No recent file", true}}));
    WCHAR path[MAX_PATH];
    EXPECT_FALSE(recent.Get(kBase, path, MAX_PATH));
    EXPECT_EQ(path[0], 0);
}

TEST_F(RecentFilesTest, SameFileTwiceKeepsOneEntryAtTheTop) {
    RecentFiles recent;
    recent.Attach(file_, 1, kKeyPath, kBase);
    recent.Add(u"\\My Documents\\a.dcm");
    recent.Add(u"\\My Documents\\b.dcm");
    recent.Add(u"\\MY DOCUMENTS\\A.DCM");  // the same file, other case
    EXPECT_EQ(StoredCount(), 2u);
    EXPECT_EQ(StoredFiles(2),
              (std::vector<std::u16string>{u"\\MY DOCUMENTS\\A.DCM", u"\\My Documents\\b.dcm"}));
    EXPECT_EQ(MenuItems(), (std::vector<Item>{{kBase, u"&1 ...\\A.DCM", false},
                                              {kBase + 1, u"&2 ...\\b.dcm", false}}));
}

TEST_F(RecentFilesTest, FiveFilesCountFiveButKeepFour) {
    RecentFiles recent;
    recent.Attach(file_, 1, kKeyPath, kBase);
    for (const char16_t* path :
         {u"\\a\\0.bmp", u"\\a\\1.bmp", u"\\a\\2.bmp", u"\\a\\3.bmp", u"\\a\\4.bmp"})
        recent.Add(path);
    EXPECT_EQ(StoredCount(), 5u);
    EXPECT_EQ(StoredFiles(5),
              (std::vector<std::u16string>{u"\\a\\4.bmp", u"\\a\\3.bmp", u"\\a\\2.bmp",
                                           u"\\a\\1.bmp", u"<none>"}));
    EXPECT_EQ(recent.Count(), 4);
    std::vector<Item> items = MenuItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[3], (Item{kBase + 3, u"&4 ...\\1.bmp", false}));
    // A fresh list over the same registry reads at most four entries.
    RecentFiles again;
    again.Attach(nullptr, 0, kKeyPath, kBase);
    EXPECT_EQ(again.Count(), 4);
}

TEST_F(RecentFilesTest, TheLastCopyIsDroppedNotTheFirst) {
    // Two stored copies of the new path: only the one nearest the end goes.
    Store(3, {u"\\x.dcm", u"\\y.dcm", u"\\X.DCM"});
    RecentFiles recent;
    recent.Attach(file_, 1, kKeyPath, kBase);
    recent.Add(u"\\x.dcm");
    EXPECT_EQ(StoredCount(), 3u);
    EXPECT_EQ(StoredFiles(3), (std::vector<std::u16string>{u"\\x.dcm", u"\\x.dcm", u"\\y.dcm"}));
}

TEST_F(RecentFilesTest, OldPrefixesEmptyValuesAndTabMarks) {
    Store(9, {u"&1 \\old\\first.dcm", u"", u"\\b\\marked.dcm\t", u"\\c\\plain.dcm"});
    RecentFiles recent;
    recent.Attach(file_, 1, kKeyPath, kBase);
    ASSERT_EQ(recent.Count(), 3);  // at most four read; the empty one skipped
    EXPECT_EQ(std::u16string(recent.Entry(0)), u"\\old\\first.dcm");
    EXPECT_EQ(std::u16string(recent.Entry(1)), u"\\b\\marked.dcm\t");
    const struct {
        UINT command;
        bool found;
        const char16_t* path;
        bool marked;
    } cases[] = {
        {kBase, true, u"\\old\\first.dcm", false},
        {kBase + 1, true, u"\\b\\marked.dcm", true},
        {kBase + 2, true, u"\\c\\plain.dcm", false},
        {kBase + 3, false, u"", false},
        {kBase - 1, false, u"", false},
        {24, false, u"", false},
    };
    for (const auto& c : cases) {
        WCHAR path[MAX_PATH] = u"junk";
        bool marked = true;
        EXPECT_EQ(recent.Get(c.command, path, MAX_PATH, &marked), c.found) << c.command;
        EXPECT_EQ(std::u16string(path), c.path) << c.command;
        EXPECT_EQ(marked, c.marked) << c.command;
    }
    // A marked entry counts as the same file as its unmarked path.
    recent.Add(u"\\B\\MARKED.DCM");
    EXPECT_EQ(StoredFiles(3), (std::vector<std::u16string>{u"\\B\\MARKED.DCM", u"\\old\\first.dcm",
                                                           u"\\c\\plain.dcm"}));
}

TEST_F(RecentFilesTest, MenuTextsKeepTheLastComponent) {
    const struct {
        int index;
        const char16_t* path;
        const char16_t* text;
    } cases[] = {
        {0, u"\\My Documents\\ct.dcm", u"&1 ...\\ct.dcm"},
        {3, u"\\file.bmp", u"&4 \\file.bmp"},  // nothing cut
        {1, u"name.jpg", u"&2 name.jpg"},      // no folder at all
        {0, u"\\My Documents\\Album\\", u"&1 ...\\Album\\"},
        {2, u"\\Storage Card\\data\\*.*", u"&3 ...\\data\\*.*"},
        {1, u"\\a\\b.dcm\t", u"&2 ...\\b.dcm\t"},
        {0, u"\\\\", u"&1 \\\\"},
        {0, u"", u"&1 "},
    };
    for (const auto& c : cases) {
        WCHAR text[MAX_PATH + 8];
        RecentFiles::MenuText(c.index, c.path, text, MAX_PATH + 8);
        EXPECT_EQ(std::u16string(text), c.text)
            << std::string(c.path, c.path + std::char_traits<char16_t>::length(c.path));
    }
}

TEST_F(RecentFilesTest, RebuildKeepsOtherItemsOfThePopup) {
    // Attached to a popup that also holds another command.
    AppendMenuW(recentPopup_, MF_STRING, 555, u"Clear");
    RecentFiles recent;
    recent.Attach(file_, 1, kKeyPath, kBase);
    recent.Add(u"\\one.bmp");
    recent.Add(u"\\two.bmp");
    EXPECT_EQ(MenuItems(), (std::vector<Item>{{555, u"Clear", false},
                                              {kBase, u"&1 \\two.bmp", false},
                                              {kBase + 1, u"&2 \\one.bmp", false}}));
}

}  // namespace
