// The device's file system: path mapping, files, share modes, search,
// attributes, move/copy/delete, folders and temporary names.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "platform/device.h"
#include "platform/wstr.h"
#include "windows.h"

namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

constexpr DWORD kRead = GENERIC_READ;
constexpr DWORD kWrite = GENERIC_WRITE;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareRW = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const std::u16string& name, DWORD access, DWORD share, DWORD disposition,
            DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(name.c_str(), access, share, nullptr, disposition, attributes, nullptr);
}

class FileSystemTest : public DeviceTest {
protected:
    // Creates a device file with the given contents through the API.
    void Make(const std::u16string& name, const std::string& contents = {},
              DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        HANDLE h = Open(name, kWrite, 0, CREATE_ALWAYS, attributes);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << Utf16ToUtf8(name) << " error " << GetLastError();
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(h, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr));
        ASSERT_EQ(written, contents.size());
        ASSERT_TRUE(CloseHandle(h));
    }
    static std::string ReadHost(const std::string& hostPath) {
        std::ifstream in(hostPath, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static bool Exists(const std::u16string& name) {
        return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // The names FindFirstFileW/FindNextFileW report, in order; empty with
    // *error set when the search fails.
    static std::vector<std::string> FindNames(const std::u16string& pattern, DWORD* error = nullptr) {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) {
            if (error) *error = GetLastError();
            return names;
        }
        do {
            names.push_back(Utf16ToUtf8(data.cFileName));
        } while (FindNextFileW(find, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(find));
        if (error) *error = ERROR_SUCCESS;
        return names;
    }
    static std::string DevicePathOf(const std::string& hostPath) {
        return Utf16ToUtf8(platform::HostToDevicePath(hostPath));
    }
};

// ---- Device paths -----------------------------------------------------------

TEST_F(FileSystemTest, DevicePathsMapOntoHostPaths) {
    ASSERT_EQ(mkdir(Host("My Documents/Study").c_str(), 0777), 0);
    std::ofstream(Host("My Documents/Study/a.dcm")) << "x";
    const std::string bin = KESTRAVA_BIN_DIR;
    struct Case {
        const char16_t* device;
        std::string host;
    } cases[] = {
        {u"\\My Documents\\Study\\a.dcm", Host("My Documents/Study/a.dcm")},
        // Components missing in their exact case are found ignoring case.
        {u"\\MY DOCUMENTS\\study\\A.DCM", Host("My Documents/Study/a.dcm")},
        {u"/my documents/study", Host("My Documents/Study")},
        // Relative names start at "\"; missing components pass through.
        {u"my documents\\New\\b.dcm", Host("My Documents/New/b.dcm")},
        {u"\\Temp\\.\\x\\..\\y", Host("Temp/y")},
        // ".." never leaves the device root.
        {u"\\..\\..\\etc\\passwd", Host("etc/passwd")},
        {u"\\Temp\\..\\..\\..\\x", Host("x")},
        {u"\\Storage Card\\..\\..\\Temp", Host("Temp")},
        {u"\\", root_},
        {u"\\Storage Card", "/"},
        {u"\\storage card\\ETC", "/etc"},
        {u"\\Program Files\\Kestrava", bin},
        {u"\\PROGRAM FILES\\kestrava\\plugin.dll", bin + "/plugin.dll"},
        {u"\\Program Files\\Other", Host("Program Files/Other")},
    };
    for (const Case& c : cases) {
        std::string host;
        EXPECT_TRUE(platform::DeviceToHostPath(c.device, &host)) << Utf16ToUtf8(c.device);
        EXPECT_EQ(host, c.host) << Utf16ToUtf8(c.device);
    }
}

TEST_F(FileSystemTest, NamesTheDeviceCannotHoldAreRefused) {
    std::u16string tooLong = u"\\" + std::u16string(MAX_PATH, u'a');
    struct Case {
        std::u16string name;
        DWORD error;
    } cases[] = {
        {tooLong, ERROR_FILENAME_EXCED_RANGE},
        {u"\\My Documents\\a*b", ERROR_INVALID_NAME},
        {u"\\My Documents\\a?b", ERROR_INVALID_NAME},
        {u"\\a|b", ERROR_INVALID_NAME},
        {u"", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.name, kWrite, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name);
        EXPECT_EQ(GetFileAttributesW(c.name.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    std::string host;
    EXPECT_FALSE(platform::DeviceToHostPath(tooLong, &host));
}

TEST_F(FileSystemTest, HostPathsMapOntoDevicePaths) {
    const std::string bin = KESTRAVA_BIN_DIR;
    struct Case {
        std::string host;
        std::string device;
    } cases[] = {
        {Host("My Documents/a.dcm"), "\\My Documents\\a.dcm"},
        {root_, "\\"},
        {root_ + "/Temp/../Windows//x", "\\Windows\\x"},
        {bin + "/RImgPng.dll", "\\Program Files\\Kestrava\\RImgPng.dll"},
        {"/data/ct.dcm", "\\Storage Card\\data\\ct.dcm"},
        {"/", "\\Storage Card"},
        {root_ + "/../elsewhere", "\\Storage Card" + [] (std::string p) {
             for (char& c : p) c = c == '/' ? '\\' : c;
             return p;
         }(root_.substr(0, root_.rfind('/')) + "/elsewhere")},
    };
    for (const Case& c : cases) EXPECT_EQ(DevicePathOf(c.host), c.device) << c.host;

    // Relative to the current directory.
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(Host("My Documents").c_str()), 0);
    std::string relative = DevicePathOf("scan/b.dcm");
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(relative, "\\My Documents\\scan\\b.dcm");
}

TEST_F(FileSystemTest, InitDeviceCreatesTheStandardFoldersFromTheEnvironment) {
    struct Case {
        const char* variable;
        std::string value;
        std::string expectedRoot;
    } cases[] = {
        {"KESTRAVA_ROOT", root_ + "/env-root", root_ + "/env-root"},
        {"XDG_DATA_HOME", root_ + "/xdg", root_ + "/xdg/kestrava/device"},
    };
    const char* savedRoot = std::getenv("KESTRAVA_ROOT");
    std::string keepRoot = savedRoot ? savedRoot : "";
    unsetenv("KESTRAVA_ROOT");
    for (const Case& c : cases) {
        const char* saved = std::getenv(c.variable);
        std::string keep = saved ? saved : "";
        setenv(c.variable, c.value.c_str(), 1);
        EXPECT_TRUE(platform::InitDevice());
        EXPECT_EQ(platform::DeviceRoot(), c.expectedRoot);
        for (const char16_t* folder : {u"\\My Documents", u"\\Temp", u"\\Windows"}) {
            // "\Windows" holds the registry: the device's read-only memory.
            const DWORD expected = folder[1] == u'W' ? FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_INROM
                                                     : FILE_ATTRIBUTE_DIRECTORY;
            EXPECT_EQ(GetFileAttributesW(folder), expected) << c.variable << " " << Utf16ToUtf8(folder);
        }
        if (saved) setenv(c.variable, keep.c_str(), 1);
        else unsetenv(c.variable);
    }
    if (savedRoot) setenv("KESTRAVA_ROOT", keepRoot.c_str(), 1);
    ASSERT_TRUE(platform::InitDevice(root_));
    EXPECT_EQ(platform::RegistryHostPath(), Host("Windows/registry.reg"));
}

// ---- Mount points -------------------------------------------------------------

TEST_F(FileSystemTest, StorageCardIsTheHostRootAndCarriesTheTemporaryAttribute) {
    EXPECT_EQ(GetFileAttributesW(u"\\Storage Card"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
    std::vector<std::string> root = FindNames(u"\\*");
    for (const char* name : {"My Documents", "Program Files", "Storage Card", "Temp", "Windows"}) {
        EXPECT_NE(std::find(root.begin(), root.end(), name), root.end()) << name;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\storage card", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"Storage Card");
    EXPECT_EQ(data.dwFileAttributes,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY));
    FindClose(find);

    std::vector<std::string> hostRoot = FindNames(u"\\Storage Card\\*");
    EXPECT_NE(std::find(hostRoot.begin(), hostRoot.end(), "tmp"), hostRoot.end());
    EXPECT_EQ(FindNames(u"\\Program Files\\*"), std::vector<std::string>{"Kestrava"});
    EXPECT_EQ(GetFileAttributesW(u"\\Program Files\\Kestrava"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));

    // A file on the host, reached through the card, ignoring case.
    std::string hostFile = root_ + "/Temp/card.txt";
    std::ofstream(hostFile) << "card";
    std::u16string onCard = Utf8ToUtf16("\\Storage Card" + hostFile);
    HANDLE h = Open(onCard, kRead, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    char buffer[8];
    DWORD read = 0;
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "card");
    CloseHandle(h);
}

TEST_F(FileSystemTest, MountPointsCannotBeRemovedMovedOrChanged) {
    for (const char16_t* mount : {u"\\", u"\\Storage Card", u"\\Program Files\\Kestrava"}) {
        SCOPED_TRACE(Utf16ToUtf8(mount));
        EXPECT_FALSE(RemoveDirectoryW(mount));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(DeleteFileW(mount));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(MoveFileW(mount, u"\\Temp\\moved"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(SetFileAttributesW(mount, FILE_ATTRIBUTE_HIDDEN));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Open(mount, kRead, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
}

// ---- CreateFileW ----------------------------------------------------------------

TEST_F(FileSystemTest, CreationDispositions) {
    struct Case {
        DWORD disposition;
        bool exists;
        bool opens;
        DWORD error;
        DWORD sizeAfter;  // the existing file holds 5 bytes
    } cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, 0},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, 5},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 0},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, 0},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, 5},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, 0},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, 5},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, 0},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, 0},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::u16string name = u"\\Temp\\d" + Utf8ToUtf16(std::to_string(index++));
        SCOPED_TRACE(Utf16ToUtf8(name));
        if (c.exists) Make(name, "12345");
        SetLastError(0xBAD);
        HANDLE h = Open(name, kReadWrite, 0, c.disposition);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_EQ(GetFileSize(h, nullptr), c.sizeAfter);
            CloseHandle(h);
        }
        EXPECT_EQ(Exists(name), c.exists || c.opens);
    }
}

TEST_F(FileSystemTest, CreateFileErrors) {
    Make(u"\\Temp\\f", "x");
    struct Case {
        const char16_t* name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {u"\\Missing\\f", kWrite, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {u"\\Missing\\f", kRead, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"\\Temp\\f\\g", kRead, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {u"\\Temp\\missing", kRead, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {u"\\Temp", kRead, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {u"\\Temp", kWrite, OPEN_ALWAYS, ERROR_ACCESS_DENIED},
        {u"\\Temp\\f", kRead, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {u"\\Temp\\f", kRead, 0, ERROR_INVALID_PARAMETER},
        {u"\\Temp\\f", kRead, 6, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Open(c.name, c.access, 0, c.disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name) << " " << c.disposition;
    }
    EXPECT_EQ(CreateFileW(nullptr, kRead, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// Opening an existing file tries the name as written and looks its case up
// on the disk only when that misses: both must find the same file as a full
// lookup would, the exact name first.
TEST_F(FileSystemTest, OpeningAnExistingFileFindsItInAnyCase) {
    ASSERT_EQ(mkdir(Host("Temp/Study").c_str(), 0777), 0);
    ASSERT_EQ(mkdir(Host("Temp/Case").c_str(), 0777), 0);
    std::ofstream(Host("Temp/Study/a.dcm")) << "lower";
    std::ofstream(Host("Temp/Study/A.DCM")) << "upper";
    std::ofstream(Host("Temp/Case/x.dcm")) << "x file";
    struct Case {
        const char16_t* name;
        DWORD disposition;
        const char* contents;  // read through the handle; null: the open fails
        DWORD error;
    } cases[] = {
        {u"\\Temp\\Study\\a.dcm", OPEN_EXISTING, "lower", 0},
        {u"\\Temp\\Study\\A.DCM", OPEN_EXISTING, "upper", 0},
        // Neither as written: the smallest of the names that match.
        {u"\\temp\\STUDY\\A.dcm", OPEN_EXISTING, "upper", 0},
        {u"\\TEMP\\CASE\\X.DCM", OPEN_EXISTING, "x file", 0},
        {u"\\Temp\\case\\x.dcm", OPEN_EXISTING, "x file", 0},
        {u"\\Temp\\case\\y.dcm", OPEN_EXISTING, nullptr, ERROR_FILE_NOT_FOUND},
        {u"\\Temp\\none\\x.dcm", OPEN_EXISTING, nullptr, ERROR_PATH_NOT_FOUND},
        {u"\\Temp\\case\\x.dcm\\z", OPEN_EXISTING, nullptr, ERROR_PATH_NOT_FOUND},
        {u"\\temp\\Case", OPEN_EXISTING, nullptr, ERROR_ACCESS_DENIED},  // a folder
        {u"\\STORAGE CARD", OPEN_EXISTING, nullptr, ERROR_ACCESS_DENIED},  // a mount point
        // Truncation reaches the file found ignoring case, and only it.
        {u"\\Temp\\CASE\\x.DCM", TRUNCATE_EXISTING, "", 0},
    };
    for (const Case& c : cases) {
        SetLastError(0xBAD);
        HANDLE h = Open(c.name, kReadWrite, FILE_SHARE_READ, c.disposition);
        if (!c.contents) {
            EXPECT_EQ(h, INVALID_HANDLE_VALUE) << Utf16ToUtf8(c.name);
            EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name);
            continue;
        }
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << Utf16ToUtf8(c.name) << " error " << GetLastError();
        char buffer[64] = {};
        DWORD count = 99;
        EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &count, nullptr));
        EXPECT_EQ(std::string(buffer, count), c.contents) << Utf16ToUtf8(c.name);
        // The end, once more: success with nothing.
        EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &count, nullptr));
        EXPECT_EQ(count, 0u) << Utf16ToUtf8(c.name);
        CloseHandle(h);
    }
    EXPECT_EQ(ReadHost(Host("Temp/Case/x.dcm")), "");
    EXPECT_EQ(ReadHost(Host("Temp/Study/a.dcm")), "lower");
    EXPECT_EQ(ReadHost(Host("Temp/Study/A.DCM")), "upper");
}

// Reads of a regular file in pieces: whole pieces, then the short one at the
// end, then nothing.
TEST_F(FileSystemTest, ReadsStopAtTheEndOfAFile) {
    Make(u"\\Temp\\r", "0123456789");
    HANDLE h = Open(u"\\Temp\\r", kRead, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    struct Step {
        DWORD ask;
        const char* got;
    } steps[] = {{4, "0123"}, {4, "4567"}, {4, "89"}, {4, ""}, {0, ""}, {4, ""}};
    for (const Step& s : steps) {
        char buffer[8] = {};
        DWORD count = 99;
        EXPECT_TRUE(ReadFile(h, buffer, s.ask, &count, nullptr));
        EXPECT_EQ(std::string(buffer, count), s.got);
    }
    CloseHandle(h);
}

TEST_F(FileSystemTest, AccessRightsAreHonoured) {
    Make(u"\\Temp\\f", "abc");
    char buffer[4] = {};
    DWORD count = 0;
    HANDLE writeOnly = Open(u"\\Temp\\f", kWrite, kShareRW, OPEN_EXISTING);
    HANDLE readOnly = Open(u"\\Temp\\f", kRead, kShareRW, OPEN_EXISTING);
    ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReadFile(writeOnly, buffer, 3, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(WriteFile(readOnly, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(SetEndOfFile(readOnly));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    FILETIME time{};
    EXPECT_FALSE(SetFileTime(readOnly, nullptr, nullptr, &time));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(ReadFile(readOnly, buffer, 3, &count, nullptr));
    EXPECT_EQ(std::string(buffer, count), "abc");
    CloseHandle(writeOnly);
    CloseHandle(readOnly);
    // Handles are checked for kind and life.
    EXPECT_FALSE(ReadFile(readOnly, buffer, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(readOnly));
}

TEST_F(FileSystemTest, CreateAlwaysThroughAReadHandleStillTruncates) {
    Make(u"\\Temp\\f", "abcdef");
    HANDLE h = Open(u"\\Temp\\f", kRead, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(h, nullptr), 0u);
    DWORD count = 0;
    EXPECT_FALSE(WriteFile(h, "x", 1, &count, nullptr));
    CloseHandle(h);
}

// ---- Share modes -----------------------------------------------------------------

TEST_F(FileSystemTest, ShareModesBetweenHandles) {
    struct Case {
        DWORD firstAccess, firstShare, secondAccess, secondShare;
        bool compatible;
    } cases[] = {
        {kRead, FILE_SHARE_READ, kRead, FILE_SHARE_READ, true},
        {kRead, 0, kRead, FILE_SHARE_READ, false},
        {kRead, FILE_SHARE_READ, kWrite, FILE_SHARE_READ, false},
        {kRead, FILE_SHARE_READ, kWrite, kShareRW, false},
        {kRead, kShareRW, kWrite, FILE_SHARE_READ, true},
        {kWrite, FILE_SHARE_READ, kRead, FILE_SHARE_READ, false},
        {kWrite, FILE_SHARE_READ, kRead, kShareRW, true},
        {kWrite, FILE_SHARE_WRITE, kWrite, FILE_SHARE_WRITE, true},
        {kReadWrite, kShareRW, kReadWrite, kShareRW, true},
        {kReadWrite, FILE_SHARE_DELETE, kRead, kShareRW, false},
        // A handle that neither reads nor writes takes no part in sharing.
        {0, 0, kReadWrite, 0, true},
    };
    Make(u"\\Temp\\shared", "x");
    for (const Case& c : cases) {
        // The rule holds whichever handle came first.
        for (bool swap : {false, true}) {
            SCOPED_TRACE(testing::Message() << std::hex << c.firstAccess << "/" << c.firstShare
                                            << " then " << c.secondAccess << "/" << c.secondShare
                                            << (swap ? " swapped" : ""));
            DWORD a1 = swap ? c.secondAccess : c.firstAccess, s1 = swap ? c.secondShare : c.firstShare;
            DWORD a2 = swap ? c.firstAccess : c.secondAccess, s2 = swap ? c.firstShare : c.secondShare;
            HANDLE first = Open(u"\\Temp\\shared", a1, s1, OPEN_EXISTING);
            ASSERT_NE(first, INVALID_HANDLE_VALUE);
            HANDLE second = Open(u"\\TEMP\\SHARED", a2, s2, OPEN_EXISTING);
            EXPECT_EQ(second != INVALID_HANDLE_VALUE, c.compatible);
            if (second != INVALID_HANDLE_VALUE) {
                CloseHandle(second);
            } else {
                EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            }
            CloseHandle(first);
        }
    }
    // Closing gives the file back.
    HANDLE h = Open(u"\\Temp\\shared", kReadWrite, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

TEST_F(FileSystemTest, RefusedOpenLeavesTheFileAlone) {
    Make(u"\\Temp\\keep", "contents");
    HANDLE reader = Open(u"\\Temp\\keep", kRead, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    for (DWORD disposition : {CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open(u"\\Temp\\keep", kWrite, kShareRW, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    CloseHandle(reader);
    EXPECT_EQ(ReadHost(Host("Temp/keep")), "contents");
}

TEST_F(FileSystemTest, DeleteAndMoveNeedFileShareDelete) {
    Make(u"\\Temp\\f", "x");
    struct Case {
        DWORD share;
        bool allowed;
    } cases[] = {
        {FILE_SHARE_READ, false},
        {kShareRW, false},
        {FILE_SHARE_READ | FILE_SHARE_DELETE, true},
    };
    for (const Case& c : cases) {
        HANDLE h = Open(u"\\Temp\\f", kRead, c.share, OPEN_EXISTING);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_EQ(MoveFileW(u"\\Temp\\f", u"\\Temp\\g") != FALSE, c.allowed) << c.share;
        if (c.allowed) {
            EXPECT_TRUE(MoveFileW(u"\\Temp\\g", u"\\Temp\\f"));
            EXPECT_TRUE(DeleteFileW(u"\\Temp\\f"));
            CloseHandle(h);
            Make(u"\\Temp\\f", "x");
        } else {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            EXPECT_FALSE(DeleteFileW(u"\\Temp\\f"));
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
            CloseHandle(h);
        }
    }
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\f"));
}

// ---- Reading, writing, position and size ------------------------------------------

TEST_F(FileSystemTest, PointerAndSize) {
    HANDLE h = Open(u"\\Temp\\p", kReadWrite, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    ASSERT_TRUE(WriteFile(h, "0123456789", 10, &count, nullptr));
    char buffer[16];
    // At the end a read succeeds with nothing.
    EXPECT_TRUE(ReadFile(h, buffer, sizeof buffer, &count, nullptr));
    EXPECT_EQ(count, 0u);

    struct Seek {
        LONG distance;
        DWORD method;
        DWORD expected;
    } seeks[] = {
        {0, FILE_BEGIN, 0}, {4, FILE_CURRENT, 4}, {-3, FILE_END, 7}, {-2, FILE_CURRENT, 5},
        {20, FILE_BEGIN, 20}, {0, FILE_END, 10},
    };
    for (const Seek& s : seeks) {
        EXPECT_EQ(SetFilePointer(h, s.distance, nullptr, s.method), s.expected)
            << s.distance << " from " << s.method;
    }
    // Before the start: refused, position unchanged.
    EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The high part: 5 GB from the start, then back by more than 4 GB.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 0x40000000, &high, FILE_BEGIN), 0x40000000u);
    EXPECT_EQ(high, 1);
    high = -1;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), 0x40000000u);
    EXPECT_EQ(high, 0);
    high = -1;
    EXPECT_EQ(SetFilePointer(h, 0, &high, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));

    // Writing past the end fills the gap with zeros; SetEndOfFile cuts.
    EXPECT_EQ(SetFilePointer(h, 12, nullptr, FILE_BEGIN), 12u);
    ASSERT_TRUE(WriteFile(h, "ab", 2, &count, nullptr));
    DWORD sizeHigh = 7;
    EXPECT_EQ(GetFileSize(h, &sizeHigh), 14u);
    EXPECT_EQ(sizeHigh, 0u);
    EXPECT_EQ(SetFilePointer(h, 8, nullptr, FILE_BEGIN), 8u);
    EXPECT_TRUE(SetEndOfFile(h));
    EXPECT_EQ(GetFileSize(h, nullptr), 8u);
    EXPECT_TRUE(FlushFileBuffers(h));
    CloseHandle(h);
    EXPECT_EQ(ReadHost(Host("Temp/p")), "01234567");

    h = Open(u"\\Temp\\p", kReadWrite, 0, OPEN_EXISTING);
    EXPECT_EQ(SetFilePointer(h, 12, nullptr, FILE_BEGIN), 12u);
    ASSERT_TRUE(WriteFile(h, "z", 1, &count, nullptr));
    CloseHandle(h);
    EXPECT_EQ(ReadHost(Host("Temp/p")), std::string("01234567\0\0\0\0z", 13));
}

TEST_F(FileSystemTest, FileTimes) {
    HANDLE h = Open(u"\\Temp\\t", kReadWrite, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SYSTEMTIME when{2004, 3, 0, 15, 10, 30, 45, 500};
    FILETIME write{};
    ASSERT_TRUE(SystemTimeToFileTime(&when, &write));
    EXPECT_TRUE(SetFileTime(h, nullptr, nullptr, &write));
    FILETIME creation{}, access{}, lastWrite{};
    EXPECT_TRUE(GetFileTime(h, &creation, &access, &lastWrite));
    EXPECT_EQ(CompareFileTime(&lastWrite, &write), 0);
    EXPECT_NE(creation.dwHighDateTime, 0u);
    CloseHandle(h);

    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\Temp\\t", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &write), 0);
    FindClose(find);
}

// ---- Search -----------------------------------------------------------------------

TEST_F(FileSystemTest, WildcardsFollowTheFileNameRules) {
    ASSERT_TRUE(CreateDirectoryW(u"\\My Documents\\w", nullptr));
    for (const char* name : {"a.txt", "B.TXT", "readme", "abc.dcm", "x.y.z", ".hidden"}) {
        Make(u"\\My Documents\\w\\" + Utf8ToUtf16(name));
    }
    using Names = std::vector<std::string>;
    struct Case {
        const char* pattern;
        Names names;
    } cases[] = {
        {"*", {".hidden", "a.txt", "abc.dcm", "B.TXT", "readme", "x.y.z"}},
        {"*.*", {".hidden", "a.txt", "abc.dcm", "B.TXT", "readme", "x.y.z"}},
        {"*.txt", {"a.txt", "B.TXT"}},
        {"*.TxT", {"a.txt", "B.TXT"}},
        {"?.txt", {"a.txt", "B.TXT"}},
        {"??.txt", {}},
        {"a*", {"a.txt", "abc.dcm"}},
        {"*c*", {"abc.dcm"}},
        {"readme.*", {"readme"}},
        {"*.", {"readme"}},
        {"x.*.z", {"x.y.z"}},
        {"README", {"readme"}},
        {"*.d?m", {"abc.dcm"}},
    };
    for (const Case& c : cases) {
        DWORD error = 0;
        Names found = FindNames(u"\\My Documents\\w\\" + Utf8ToUtf16(c.pattern), &error);
        EXPECT_EQ(found, c.names) << c.pattern;
        EXPECT_EQ(error, c.names.empty() ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS) << c.pattern;
    }
    // The same through '/' and a folder name in another case.
    EXPECT_EQ(FindNames(u"my documents/W/*.txt"), (Names{"a.txt", "B.TXT"}));
}

TEST_F(FileSystemTest, SearchErrorsAndData) {
    DWORD error = 0;
    EXPECT_TRUE(FindNames(u"\\Missing\\*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(FindNames(u"\\Temp\\*", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(FindNames(u"\\Temp\\", &error).empty());
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    Make(u"\\Temp\\data.bin", std::string(1234, 'x'), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryW(u"\\Temp\\sub", nullptr));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\Temp\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(data.cFileName), u"data.bin");
    EXPECT_EQ(data.nFileSizeLow, 1234u);
    EXPECT_EQ(data.nFileSizeHigh, 0u);
    EXPECT_EQ(data.dwFileAttributes, GetFileAttributesW(u"\\Temp\\data.bin"));
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(FindNextFileW(find, &data));
    EXPECT_EQ(std::u16string(data.cFileName), u"sub");
    EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---- Attributes ---------------------------------------------------------------------

TEST_F(FileSystemTest, AttributesAreStoredAndReported) {
    struct Case {
        DWORD set;
        DWORD reported;
    } cases[] = {
        {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_NORMAL},
        {0, FILE_ATTRIBUTE_NORMAL},
        {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_READONLY},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
        {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
        {FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_TEMPORARY},
        // DIRECTORY comes from the host and cannot be set on a file.
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_ARCHIVE},
    };
    Make(u"\\Temp\\a");
    for (const Case& c : cases) {
        ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\a", c.set)) << c.set;
        EXPECT_EQ(GetFileAttributesW(u"\\Temp\\a"), c.reported) << c.set;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(u"\\Temp\\a", &data);
        ASSERT_NE(find, INVALID_HANDLE_VALUE);
        EXPECT_EQ(data.dwFileAttributes, c.reported) << c.set;
        FindClose(find);
    }
    // They live with the file on disk, not in this process.
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\a", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(platform::InitDevice(root_));
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\a"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    char value[16] = {};
    EXPECT_GT(getxattr(Host("Temp/a").c_str(), "user.kestrava.attributes", value, sizeof value), 0);

    // Folders keep theirs beside DIRECTORY; names starting with '.' are hidden.
    ASSERT_TRUE(CreateDirectoryW(u"\\Temp\\dir", nullptr));
    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\dir", FILE_ATTRIBUTE_SYSTEM));
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\dir"),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    Make(u"\\Temp\\.profile");
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\.profile"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));

    // A host file without write permission reads as read-only.
    std::ofstream(Host("Temp/host")) << "h";
    ASSERT_EQ(chmod(Host("Temp/host").c_str(), 0444), 0);
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\host"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\missing"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesW(u"\\Missing\\x"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(SetFileAttributesW(u"\\Temp\\missing", FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FileSystemTest, ReadOnlyIsEnforced) {
    // Created read-only: the creating handle may still write.
    HANDLE h = Open(u"\\Temp\\ro", kWrite, 0, CREATE_NEW, FILE_ATTRIBUTE_READONLY);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    EXPECT_TRUE(WriteFile(h, "data", 4, &count, nullptr));
    CloseHandle(h);
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\ro"), static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));

    struct Case {
        DWORD access;
        DWORD disposition;
        bool opens;
    } cases[] = {
        {kRead, OPEN_EXISTING, true},
        {kWrite, OPEN_EXISTING, false},
        {kReadWrite, OPEN_ALWAYS, false},
        {kRead, CREATE_ALWAYS, false},
        {kWrite, TRUNCATE_EXISTING, false},
    };
    for (const Case& c : cases) {
        h = Open(u"\\Temp\\ro", c.access, kShareRW, c.disposition);
        EXPECT_EQ(h != INVALID_HANDLE_VALUE, c.opens) << c.access << " " << c.disposition;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        else EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    EXPECT_FALSE(DeleteFileW(u"\\Temp\\ro"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(ReadHost(Host("Temp/ro")), "data");

    ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\ro", FILE_ATTRIBUTE_NORMAL));
    h = Open(u"\\Temp\\ro", kWrite, 0, OPEN_EXISTING);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\ro"));
}

// ---- Move, copy, delete, folders ----------------------------------------------------

TEST_F(FileSystemTest, MoveFile) {
    Make(u"\\Temp\\a", "A");
    Make(u"\\Temp\\b", "B");
    struct Case {
        const char16_t* from;
        const char16_t* to;
        DWORD error;
    } failures[] = {
        {u"\\Temp\\a", u"\\Temp\\b", ERROR_ALREADY_EXISTS},
        {u"\\Temp\\a", u"\\temp\\B", ERROR_ALREADY_EXISTS},
        {u"\\Temp\\missing", u"\\Temp\\c", ERROR_FILE_NOT_FOUND},
        {u"\\Missing\\a", u"\\Temp\\c", ERROR_PATH_NOT_FOUND},
        {u"\\Temp\\a", u"\\Missing\\c", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : failures) {
        EXPECT_FALSE(MoveFileW(c.from, c.to)) << Utf16ToUtf8(c.to);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.from) << " -> " << Utf16ToUtf8(c.to);
    }
    EXPECT_TRUE(MoveFileW(u"\\Temp\\a", u"\\My Documents\\moved"));
    EXPECT_FALSE(Exists(u"\\Temp\\a"));
    EXPECT_EQ(ReadHost(Host("My Documents/moved")), "A");
    // A change of case alone is a rename.
    EXPECT_TRUE(MoveFileW(u"\\My Documents\\moved", u"\\My Documents\\MOVED"));
    EXPECT_EQ(FindNames(u"\\My Documents\\*"), std::vector<std::string>{"MOVED"});

    // Folders move with their contents, but not into themselves.
    ASSERT_TRUE(CreateDirectoryW(u"\\Temp\\dir", nullptr));
    Make(u"\\Temp\\dir\\inner", "I");
    EXPECT_FALSE(MoveFileW(u"\\Temp\\dir", u"\\Temp\\dir\\deeper"));
    EXPECT_TRUE(MoveFileW(u"\\Temp\\dir", u"\\Windows\\dir2"));
    EXPECT_EQ(ReadHost(Host("Windows/dir2/inner")), "I");
}

TEST_F(FileSystemTest, MoveAcrossFileSystemsCopiesAndDeletes) {
    struct stat shm, rootStat;
    if (stat("/dev/shm", &shm) != 0 || stat(root_.c_str(), &rootStat) != 0 ||
        shm.st_dev == rootStat.st_dev) {
        GTEST_SKIP() << "no second file system at /dev/shm";
    }
    char pattern[] = "/dev/shm/kestrava-move-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string other = pattern;
    std::u16string card = Utf8ToUtf16("\\Storage Card" + other);
    for (char16_t& c : card) c = c == u'/' ? u'\\' : c;

    Make(card + u"\\file", "F", FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryW((card + u"\\dir").c_str(), nullptr));
    Make(card + u"\\dir\\inner", "I");
    EXPECT_TRUE(MoveFileW((card + u"\\file").c_str(), u"\\Temp\\file"));
    EXPECT_TRUE(MoveFileW((card + u"\\dir").c_str(), u"\\Temp\\dir"));
    EXPECT_EQ(ReadHost(Host("Temp/file")), "F");
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\file"), static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(ReadHost(Host("Temp/dir/inner")), "I");
    EXPECT_FALSE(Exists(card + u"\\file"));
    EXPECT_FALSE(Exists(card + u"\\dir"));
    std::error_code ignored;
    std::filesystem::remove_all(other, ignored);
}

TEST_F(FileSystemTest, CopyFile) {
    Make(u"\\Temp\\src", "source", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);
    Make(u"\\Temp\\old", "old");
    EXPECT_TRUE(CopyFileW(u"\\Temp\\src", u"\\Temp\\copy", TRUE));
    EXPECT_EQ(ReadHost(Host("Temp/copy")), "source");
    EXPECT_EQ(GetFileAttributesW(u"\\Temp\\copy"),
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

    struct Case {
        const char16_t* from;
        const char16_t* to;
        BOOL failIfExists;
        DWORD error;
    } failures[] = {
        {u"\\Temp\\src", u"\\Temp\\old", TRUE, ERROR_FILE_EXISTS},
        {u"\\Temp\\src", u"\\Temp\\copy", FALSE, ERROR_ACCESS_DENIED},  // target read-only
        {u"\\Temp\\src", u"\\TEMP\\SRC", FALSE, ERROR_SHARING_VIOLATION},  // onto itself
        {u"\\Temp\\missing", u"\\Temp\\x", FALSE, ERROR_FILE_NOT_FOUND},
        {u"\\Temp\\src", u"\\Missing\\x", FALSE, ERROR_PATH_NOT_FOUND},
        {u"\\Temp", u"\\Windows\\x", FALSE, ERROR_ACCESS_DENIED},
        {u"\\Temp\\src", u"\\Windows", FALSE, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : failures) {
        EXPECT_FALSE(CopyFileW(c.from, c.to, c.failIfExists));
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.from) << " -> " << Utf16ToUtf8(c.to);
    }
    EXPECT_EQ(ReadHost(Host("Temp/old")), "old");
    EXPECT_TRUE(CopyFileW(u"\\Temp\\src", u"\\Temp\\old", FALSE));
    EXPECT_EQ(ReadHost(Host("Temp/old")), "source");

    // A source opened without FILE_SHARE_READ cannot be copied.
    Make(u"\\Temp\\locked", "l");
    HANDLE h = Open(u"\\Temp\\locked", kWrite, 0, OPEN_EXISTING);
    EXPECT_FALSE(CopyFileW(u"\\Temp\\locked", u"\\Temp\\l2", FALSE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(h);
    // No temporary files are left behind.
    EXPECT_EQ(FindNames(u"\\Temp\\*"), (std::vector<std::string>{"copy", "locked", "old", "src"}));
}

TEST_F(FileSystemTest, DeleteFilesAndFolders) {
    Make(u"\\Temp\\f");
    ASSERT_TRUE(CreateDirectoryW(u"\\Temp\\dir", nullptr));
    Make(u"\\Temp\\dir\\inner");
    struct Case {
        BOOL (*call)(LPCWSTR);
        const char16_t* name;
        DWORD error;
    } failures[] = {
        {DeleteFileW, u"\\Temp\\dir", ERROR_ACCESS_DENIED},
        {DeleteFileW, u"\\Temp\\missing", ERROR_FILE_NOT_FOUND},
        {DeleteFileW, u"\\Missing\\f", ERROR_PATH_NOT_FOUND},
        {RemoveDirectoryW, u"\\Temp\\dir", ERROR_DIR_NOT_EMPTY},
        {RemoveDirectoryW, u"\\Temp\\f", ERROR_DIRECTORY},
        {RemoveDirectoryW, u"\\Temp\\missing", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : failures) {
        EXPECT_FALSE(c.call(c.name)) << Utf16ToUtf8(c.name);
        EXPECT_EQ(GetLastError(), c.error) << Utf16ToUtf8(c.name);
    }
    EXPECT_FALSE(CreateDirectoryW(u"\\Temp\\dir", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryW(u"\\Missing\\dir", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    EXPECT_TRUE(DeleteFileW(u"\\TEMP\\DIR\\INNER"));
    EXPECT_TRUE(RemoveDirectoryW(u"\\Temp\\dir"));
    EXPECT_TRUE(DeleteFileW(u"\\Temp\\f"));
    EXPECT_FALSE(Exists(u"\\Temp\\dir"));
    EXPECT_FALSE(Exists(u"\\Temp\\f"));
}

// ---- Temporary names and space --------------------------------------------------------

TEST_F(FileSystemTest, TempPathAndNames) {
    WCHAR path[MAX_PATH];
    EXPECT_EQ(GetTempPathW(MAX_PATH, path), 6u);
    EXPECT_EQ(std::u16string(path), u"\\Temp\\");
    EXPECT_EQ(GetTempPathW(6, path), 7u);  // too small: the size needed

    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetTempFileNameW(u"\\Temp", u"kestrava", 0x1A2B, name), 0x1A2Bu);
    EXPECT_EQ(std::u16string(name), u"\\Temp\\kes1A2B.tmp");
    EXPECT_FALSE(Exists(name));  // a given number creates nothing
    EXPECT_EQ(GetTempFileNameW(u"\\Temp\\", u"a", 0xF, name), 0xFu);
    EXPECT_EQ(std::u16string(name), u"\\Temp\\aF.tmp");

    WCHAR first[MAX_PATH], second[MAX_PATH];
    UINT a = GetTempFileNameW(u"\\Temp", u"img", 0, first);
    UINT b = GetTempFileNameW(u"\\Temp", u"img", 0, second);
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_NE(std::u16string(first), std::u16string(second));
    EXPECT_TRUE(Exists(first));
    EXPECT_TRUE(Exists(second));
    WCHAR expected[MAX_PATH];
    ASSERT_EQ(GetTempFileNameW(u"\\Temp", u"img", a, expected), a);
    EXPECT_EQ(std::u16string(first), std::u16string(expected));

    EXPECT_EQ(GetTempFileNameW(u"\\Missing", u"img", 0, name), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileSystemTest, DiskSpace) {
    struct statvfs vfs;
    ASSERT_EQ(statvfs(root_.c_str(), &vfs), 0);
    ULONGLONG total = static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize;
    ULARGE_INTEGER available{}, size{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(u"\\My Documents", &available, &size, &free));
    EXPECT_EQ(size.QuadPart, total);
    EXPECT_LE(available.QuadPart, free.QuadPart);
    EXPECT_LE(free.QuadPart, size.QuadPart);
    EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, nullptr, &size, nullptr));
    EXPECT_TRUE(GetDiskFreeSpaceExW(u"\\Program Files", nullptr, &size, nullptr));
    EXPECT_FALSE(GetDiskFreeSpaceExW(u"\\Missing", &available, &size, &free));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    STORE_INFORMATION store{};
    ASSERT_TRUE(GetStoreInformation(&store));
    EXPECT_EQ(store.dwStoreSize, static_cast<DWORD>(std::min<ULONGLONG>(total, MAXDWORD)));
    EXPECT_GT(store.dwFreeSize, 0u);
    EXPECT_LE(store.dwFreeSize, store.dwStoreSize);
    EXPECT_FALSE(GetStoreInformation(nullptr));
}

}  // namespace
