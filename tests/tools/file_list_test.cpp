// The chooser's list of one folder: what is listed under which flags and
// filter, the column texts (sizes in 64 bits, the date's fallback), the
// order (folders first both ways), and folders the host makes awkward:
// names that are not UTF-8 or very long, unreadable folders, dangling links
// and link cycles.
#include <gtest/gtest.h>
#include <shellapi.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/file_chooser.h"
#include "device_fixture.h"
#include "platform/wstr.h"
#include "tools/file_list.h"
#include "tools/file_type_cache.h"

namespace {

class FileListTest : public DeviceTest {
protected:
    // A file of `size` bytes (sparse: large sizes cost nothing).
    void MakeFile(const std::string& relative, uintmax_t size = 1) {
        std::ofstream(Host(relative)).put('x');
        std::filesystem::resize_file(Host(relative), size);
    }
    void MakeFolder(const std::string& relative) { std::filesystem::create_directories(Host(relative)); }
    static std::vector<std::u16string> Names(const FileList& list) {
        std::vector<std::u16string> names;
        for (int i = 0; i < list.Count(); ++i) names.push_back(list.Entry(i)->name);
        return names;
    }
};

TEST_F(FileListTest, SizesAreWholeKilobytesWithOneForSmallFiles) {
    const struct {
        uint64_t size;
        const char16_t* text;
    } cases[] = {
        {0, u"1K"},       {1, u"1K"},       {1023, u"1K"}, {1024, u"1K"}, {2047, u"1K"}, {2048, u"2K"},
        {5ull << 30, u"5242880K"},  // 5 GiB: all 64 bits count
        {(1ull << 32) + 1024, u"4194305K"},
    };
    for (const auto& c : cases) EXPECT_EQ(FileSizeText(c.size), c.text) << c.size;
}

TEST_F(FileListTest, DatesAreTheLocalesShortDateWithATwoDigitYearAsFallback) {
    SYSTEMTIME date = {};
    date.wYear = 2024;
    date.wMonth = 3;
    date.wDay = 7;
    EXPECT_EQ(FallbackDateText(date), u"07/03/24");
    date.wYear = 1999;
    EXPECT_EQ(FallbackDateText(date), u"07/03/99");
    // The list's text is the locale's short date of the local time.
    date.wYear = 2024;
    date.wHour = 12;
    FILETIME local, utc;
    ASSERT_TRUE(SystemTimeToFileTime(&date, &local));
    ASSERT_TRUE(LocalFileTimeToFileTime(&local, &utc));
    WCHAR expected[64];
    ASSERT_GT(GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, expected, 64), 0);
    EXPECT_EQ(FileDateText(utc), std::u16string(expected));
}

TEST_F(FileListTest, TheFlagsAndTheFilterChooseWhatIsListed) {
    MakeFile("My Documents/a.BMP");
    MakeFile("My Documents/b.dcm");
    MakeFile("My Documents/c.txt");
    MakeFile("My Documents/noext");
    MakeFile("My Documents/lib.dll");
    MakeFile("My Documents/panel.CPL");
    MakeFile("My Documents/x.drv");
    MakeFile("My Documents/secret.bmp");
    MakeFile("My Documents/link.lnk");
    ASSERT_TRUE(SetFileAttributesW(u"\\My Documents\\secret.bmp", FILE_ATTRIBUTE_HIDDEN));
    MakeFolder("My Documents/folder.bmp.d");
    MakeFolder("My Documents/sub");
    const struct {
        const char* what;
        DWORD flags;
        const WCHAR* extensions;
        std::vector<std::u16string> listed;  // in name order
    } cases[] = {
        {"everything visible", 0, nullptr,
         {u"folder.bmp.d", u"sub", u"a.BMP", u"b.dcm", u"c.txt", u"link.lnk", u"noext"}},
        {"pictures, any case", 0, u"bmp\0dcm\0", {u"folder.bmp.d", u"sub", u"a.BMP", u"b.dcm"}},
        {"hidden and system files too", kChooseShowAll, u"bmp\0dll\0cpl\0drv\0",
         {u"folder.bmp.d", u"sub", u"a.BMP", u"lib.dll", u"panel.CPL", u"secret.bmp", u"x.drv"}},
        {"folders only", kChooseFolder, u"bmp\0", {u"folder.bmp.d", u"sub"}},
        {"an empty filter", 0, u"\0", {u"folder.bmp.d", u"sub"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FileList list;
        list.SortBy(kColumnName);
        list.Fill(u"\\My Documents", c.flags, c.extensions);
        EXPECT_EQ(Names(list), c.listed);
    }
    FileList list;
    list.Fill(u"\\My Documents", 0, u"lnk\0");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_TRUE(list.Entry(2)->link);
    EXPECT_EQ(list.Text(2, kColumnType), u"Shortcut");
    EXPECT_EQ(list.Text(0, kColumnType), u"Folder");
    EXPECT_EQ(list.Text(0, kColumnSize), u"");
}

TEST_F(FileListTest, SortingKeepsFoldersFirstAndSizesCountInSixtyFourBits) {
    MakeFile("My Documents/small.bmp", 100);
    MakeFile("My Documents/five_gib.bmp", 5ull << 30);
    MakeFile("My Documents/one_gib.bmp", (1ull << 30) + 5);
    MakeFile("My Documents/Middle.bmp", 4096);
    MakeFolder("My Documents/zeta");
    MakeFolder("My Documents/Alpha");
    FileList list;
    list.Fill(u"\\My Documents", 0, nullptr);
    const std::vector<std::u16string> enumeration = Names(list);
    // Folders (of equal size) keep their enumeration order among themselves.
    std::vector<std::u16string> folders;
    for (const auto& name : enumeration) {
        if (name == u"zeta" || name == u"Alpha") folders.push_back(name);
    }
    list.SortBy(kColumnSize);
    EXPECT_EQ(Names(list), (std::vector<std::u16string>{folders[0], folders[1], u"small.bmp", u"Middle.bmp",
                                                        u"one_gib.bmp", u"five_gib.bmp"}));
    list.SortBy(kColumnSize);  // the same column again: the other way round
    EXPECT_TRUE(list.Descending());
    const std::vector<std::u16string> bySizeDown = Names(list);
    ASSERT_EQ(bySizeDown.size(), 6u);
    EXPECT_EQ(bySizeDown[2], u"five_gib.bmp");
    EXPECT_EQ(bySizeDown[5], u"small.bmp");
    EXPECT_TRUE(list.Entry(0)->IsFolder() && list.Entry(1)->IsFolder());
    EXPECT_EQ(list.Text(2, kColumnSize), u"5242880K");
    list.SortBy(kColumnName);
    EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"Alpha", u"zeta", u"five_gib.bmp", u"Middle.bmp",
                                                        u"one_gib.bmp", u"small.bmp"}));
    list.SortBy(kNoSortColumn);
    EXPECT_EQ(Names(list), enumeration);
    // A refill keeps the column and the direction.
    list.SortBy(kColumnName);
    list.SortBy(kColumnName);
    list.Fill(u"\\My Documents", 0, nullptr);
    EXPECT_EQ(Names(list).front(), u"zeta");
    EXPECT_EQ(Names(list).back(), u"five_gib.bmp");
}

TEST_F(FileListTest, TypesComeFromTheShellAndTheCommonOnesAreAskedOnce) {
    MakeFile("My Documents/a.bmp");
    MakeFile("My Documents/b.bmp");
    MakeFile("My Documents/c.dcm");
    SHFILEINFOW info = {};
    for (const char16_t* name : {u"\\My Documents\\a.bmp", u"\\My Documents\\c.dcm", u"\\My Documents"}) {
        ASSERT_NE(SHGetFileInfoW(name, 0, &info, sizeof(info), SHGFI_TYPENAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON),
                  0u);
        const DWORD attributes = GetFileAttributesW(name);
        const std::u16string path = name;
        const size_t slash = path.rfind(u'\\');
        const FileTypeInfo type = LookUpFileType(path.substr(0, slash ? slash : 1), path.substr(slash + 1), attributes);
        EXPECT_EQ(type.typeName, std::u16string(info.szTypeName));
        EXPECT_EQ(type.icon, info.iIcon);
    }
    EXPECT_NE(SystemSmallIcons(), nullptr);
    EXPECT_NE(SystemLargeIcons(), SystemSmallIcons());
}

// Host folders the chooser cannot control: each lists without a crash or
// a hang, and what cannot be read is an empty list.
TEST_F(FileListTest, AwkwardHostFoldersListWithoutHarm) {
    const std::string docs = Host("My Documents");
    std::ofstream(docs + "/\xff\xfe-latin1-\xe9.bmp").put('x');  // not UTF-8
    std::ofstream(docs + "/" + std::string(250, 'n') + ".bmp").put('x');  // a path past 259 characters
    std::filesystem::create_symlink(docs + "/missing.bmp", docs + "/dangling.bmp");
    std::filesystem::create_directory_symlink(docs, docs + "/cycle");
    std::filesystem::create_symlink(docs + "/loop.bmp", docs + "/loop.bmp");
    FileList list;
    list.Fill(u"\\My Documents", 0, nullptr);
    for (int i = 0; i < list.Count(); ++i) {
        for (int c = 0; c < kColumnCount; ++c) list.Text(i, c);  // every text can be made
    }
    list.SortBy(kColumnType);
    list.SortBy(kColumnDate);
    // Following the cycle goes one level per step, as the user takes them.
    std::u16string folder = u"\\My Documents";
    for (int depth = 0; depth < 40; ++depth) {
        folder += u"\\cycle";
        list.Fill(folder, 0, nullptr);
        if (folder.size() > 259) {
            EXPECT_EQ(list.Count(), 0);
        }
    }
    // Gone and unreadable folders are empty lists.
    list.Fill(u"\\Nowhere", 0, nullptr);
    EXPECT_EQ(list.Count(), 0);
    list.Fill(u"\\My Documents\\dangling.bmp", 0, nullptr);
    EXPECT_EQ(list.Count(), 0);
    std::filesystem::create_directories(docs + "/locked");
    std::ofstream(docs + "/locked/inside.bmp").put('x');
    std::filesystem::permissions(docs + "/locked", std::filesystem::perms::none);
    list.Fill(u"\\My Documents\\locked", 0, nullptr);
    if (geteuid() != 0) {
        EXPECT_EQ(list.Count(), 0);  // root reads it all the same
    }
    std::filesystem::permissions(docs + "/locked", std::filesystem::perms::owner_all);
}

}  // namespace
