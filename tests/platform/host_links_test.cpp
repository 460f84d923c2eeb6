// How the device sees what the host's file system holds beyond plain files
// and folders: symbolic links (reparse points acted on as links, never
// through them), the device's own folders reached by another name (read-only
// memory that nothing deletes, moves or re-attributes), and the executables
// of the program's folder (named with ".exe").
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "platform/wstr.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

class HostLinksTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // The outside world: a folder and a file the device must never reach
        // through a link.
        outside_ = root_ + "-outside";
        fs::create_directories(outside_ + "/folder");
        std::ofstream(outside_ + "/folder/kept.txt") << "kept";
        std::ofstream(outside_ + "/file.txt") << "outside";
        chmod((outside_ + "/file.txt").c_str(), 0444);
        fs::create_directories(Host("Temp/links"));
        fs::create_directory_symlink(outside_ + "/folder", Host("Temp/links/to-folder"));
        fs::create_symlink(outside_ + "/file.txt", Host("Temp/links/to-file"));
        fs::create_symlink(outside_ + "/gone", Host("Temp/links/dangling"));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(outside_ + "/file.txt", fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(outside_, ignored);
        DeviceTest::TearDown();
    }
    static DWORD Found(const std::u16string& name) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(name.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
        FindClose(find);
        return data.dwFileAttributes;
    }
    std::u16string OnCard(const std::string& host) const { return Utf8ToUtf16("\\Storage Card" + host); }

    std::string outside_;
};

TEST_F(HostLinksTest, LinksAreListedAndReportedAsReparsePoints) {
    struct Case {
        const char16_t* name;
        DWORD attributes;
    } cases[] = {
        {u"\\Temp\\links\\to-folder", FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY},
        {u"\\Temp\\links\\to-file", FILE_ATTRIBUTE_REPARSE_POINT},
        {u"\\Temp\\links\\dangling", FILE_ATTRIBUTE_REPARSE_POINT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.name));
        EXPECT_EQ(GetFileAttributesW(c.name), c.attributes);
        EXPECT_EQ(Found(c.name), c.attributes);
    }
    // Through a folder link the host's files are still readable by name: the
    // link is only never followed by the calls that change things.
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\links\\to-folder\\kept.txt"),
              static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
}

TEST_F(HostLinksTest, DeletingOrReattributingALinkNeverReachesItsTarget) {
    // Clearing a link's attributes succeeds without making the target writable;
    // setting any is refused.
    EXPECT_TRUE(SetFileAttributesW(u"\\Temp\\links\\to-file", FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(access((outside_ + "/file.txt").c_str(), W_OK) == 0, getuid() == 0);
    struct stat st;
    ASSERT_EQ(stat((outside_ + "/file.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
    EXPECT_FALSE(SetFileAttributesW(u"\\Temp\\links\\to-folder", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A folder link is removed as a folder, a file link as a file.
    EXPECT_FALSE(DeleteFileW(u"\\Temp\\links\\to-folder"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(RemoveDirectoryW(u"\\Temp\\links\\to-file"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));
    EXPECT_TRUE(RemoveDirectoryW(u"\\Temp\\links\\to-folder"));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\links\\to-file"));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\links\\dangling"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\Temp\\links"));

    // Everything outside is as it was.
    EXPECT_TRUE(fs::exists(outside_ + "/folder/kept.txt"));
    EXPECT_TRUE(fs::exists(outside_ + "/file.txt"));
    ASSERT_EQ(stat((outside_ + "/file.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(HostLinksTest, TheDevicesOwnFoldersByAnotherNameAreReadOnlyMemory) {
    // The device root, the program's folder and every folder holding them,
    // reached through the storage card.
    std::vector<std::string> protectedFolders;
    for (std::string folder : {root_, std::string(KESTRAVA_BIN_DIR)}) {
        folder = fs::canonical(folder).string();
        while (folder != "/") {
            protectedFolders.push_back(folder);
            folder = fs::path(folder).parent_path().string();
        }
    }
    for (const std::string& folder : protectedFolders) {
        const std::u16string name = OnCard(folder);
        SCOPED_TRACE(folder);
        EXPECT_EQ(GetFileAttributesW(name.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_INROM));
        EXPECT_EQ(Found(name), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_INROM));
        EXPECT_FALSE(RemoveDirectoryW(name.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        // Moves are tried only where a failing guard could do no harm: the
        // root and its holders would move into themselves.
        if (fs::canonical(root_).string().rfind(folder, 0) == 0) {
            EXPECT_FALSE(MoveFileW(name.c_str(), u"\\Temp\\moved"));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        }
        EXPECT_FALSE(SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_TRUE(fs::is_directory(folder));
    }
    // Folders inside the root by another name, and the root's own folders
    // by their device names, are ordinary.
    EXPECT_EQ(GetFileAttributesW(OnCard(root_ + "/Temp").c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"\\Temp"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    // A link to the root is a link: it goes, the root stays.
    fs::create_directory_symlink(root_, Host("Temp/to-root"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\Temp\\to-root"));
    EXPECT_TRUE(fs::is_directory(root_ + "/Windows"));
}

TEST_F(HostLinksTest, ProgramsOfTheProgramFolderCarryExe) {
    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    EXPECT_EQ(std::u16string(path), u"\\Program Files\\Kestrava\\platform_tests.exe");
    // That name, in any case, finds the host file.
    for (const char16_t* name : {u"\\Program Files\\Kestrava\\platform_tests.exe",
                                 u"\\program files\\kestrava\\PLATFORM_TESTS.EXE"}) {
        SCOPED_TRACE(Utf16ToUtf8(name));
        EXPECT_EQ(GetFileAttributesW(name), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
        HANDLE file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    // Listed so, found by "*.exe"; the libraries keep their names; through
    // the storage card the host's own name shows.
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\Program Files\\Kestrava\\platform_tests*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"platform_tests.exe");
    FindClose(find);
    find = FindFirstFileW(u"\\Program Files\\Kestrava\\*.exe", &data);
    EXPECT_NE(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Kestrava\\KTestModule.dll"),
              static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Kestrava\\KTestModule.dll.exe"), INVALID_FILE_ATTRIBUTES);
    const std::u16string onCard = OnCard(fs::canonical(KESTRAVA_BIN_DIR).string() + "/platform_tests");
    EXPECT_EQ(GetFileAttributesW(onCard.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW((onCard + u".exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
