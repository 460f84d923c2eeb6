// The registry: value types and sizes, error codes, enumeration, deleting,
// the text file (format, persistence, tolerated and damaged files) and
// writers in several threads and processes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "device_fixture.h"
#include "platform/registry.h"
#include "windows.h"

namespace {

using Bytes = std::vector<BYTE>;

Bytes Utf16Bytes(std::u16string_view text, bool terminated = true) {
    Bytes b;
    for (char16_t c : text) {
        b.push_back(static_cast<BYTE>(c));
        b.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminated) b.insert(b.end(), {0, 0});
    return b;
}

std::u16string Ascii16(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool HostFileExists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

const std::string kHeader = "Windows Registry Editor Version 5.00\n";

class RegistryTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        platform::ReloadRegistryForTest();
    }
    void TearDown() override {
        for (HKEY key : opened_) RegCloseKey(key);
        DeviceTest::TearDown();
    }

    HKEY Create(const char16_t* path, HKEY root = HKEY_LOCAL_MACHINE) {
        HKEY key = nullptr;
        DWORD disposition = 0;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, 0, nullptr, &key, &disposition),
                  ERROR_SUCCESS);
        opened_.push_back(key);
        return key;
    }
    LONG Open(const char16_t* path, HKEY* key, HKEY root = HKEY_LOCAL_MACHINE) {
        LONG e = RegOpenKeyExW(root, path, 0, KEY_READ, key);
        if (e == ERROR_SUCCESS) opened_.push_back(*key);
        return e;
    }
    // The value as stored, or the error of the query.
    LONG Query(HKEY key, const char16_t* name, DWORD* type, Bytes* data) {
        DWORD size = 0;
        LONG e = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
        if (e != ERROR_SUCCESS) return e;
        data->assign(size, 0xCC);
        return RegQueryValueExW(key, name, nullptr, type, data->data(), &size);
    }
    LONG Set(HKEY key, const char16_t* name, DWORD type, const Bytes& data) {
        return RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    std::string RegFile() const { return Host("Windows/registry.reg"); }

    std::vector<HKEY> opened_;
};

// Every type comes back byte for byte, before and after the file is read again.
TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
    struct Row {
        const char16_t* name;
        DWORD type;
        Bytes data;
    };
    const Row rows[] = {
        {u"String", REG_SZ, Utf16Bytes(u"\\My Documents\\*.*")},
        {u"Quotes", REG_SZ, Utf16Bytes(u"say \"hi\" \\ ; [x] = 1")},
        {u"Unicode", REG_SZ, Utf16Bytes(u"caf\u00e9 \U0001F600 \u4e2d")},
        {u"Tab", REG_SZ, Utf16Bytes(u"a\tb")},
        {u"LineBreak", REG_SZ, Utf16Bytes(u"line1\r\nline2")},
        {u"EmptyString", REG_SZ, Utf16Bytes(u"")},
        {u"NoTerminator", REG_SZ, Utf16Bytes(u"abc", false)},
        {u"OddSize", REG_SZ, {'a', 0, 'b'}},
        {u"LoneSurrogate", REG_SZ, Utf16Bytes(u"\xD800x")},
        {u"Zero bytes", REG_SZ, {}},
        {u"BkgColor", REG_BINARY, {0x12, 0x34, 0x56, 0x00}},
        {u"EmptyBinary", REG_BINARY, {}},
        {u"Dword", REG_DWORD, {0x0a, 0, 0, 0x80}},
        {u"ShortDword", REG_DWORD, {1, 2}},
        {u"Multi", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"one\0two\0", 8))},
        {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%TEMP%\\x")},
        {u"None", REG_NONE, {1, 2, 3}},
        {u"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"", REG_SZ, Utf16Bytes(u"default")},
    };
    Bytes longBinary(300);
    for (size_t i = 0; i < longBinary.size(); ++i) longBinary[i] = static_cast<BYTE>(i * 7);

    HKEY key = Create(u"Software\\Halvoric\\Kestrava\\Options");
    for (const Row& row : rows) ASSERT_EQ(Set(key, row.name, row.type, row.data), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, u"Long", REG_BINARY, longBinary), ERROR_SUCCESS);

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "as written" : "after reading the file again");
        for (const Row& row : rows) {
            SCOPED_TRACE(&row - rows);
            DWORD type = 0;
            Bytes data;
            ASSERT_EQ(Query(key, row.name, &type, &data), ERROR_SUCCESS);
            EXPECT_EQ(type, row.type);
            EXPECT_EQ(data, row.data);
        }
        DWORD type = 0;
        Bytes data;
        ASSERT_EQ(Query(key, u"Long", &type, &data), ERROR_SUCCESS);
        EXPECT_EQ(data, longBinary);
        platform::ReloadRegistryForTest();
    }
}

TEST_F(RegistryTest, FileIsRegeditText) {
    HKEY key = Create(u"Software\\Halvoric\\Kestrava\\Options");
    Create(u"Software\\Halvoric\\OpenDlg");
    ASSERT_EQ(Set(key, u"FileName", REG_SZ, Utf16Bytes(u"\\My \"Docs\"")), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, u"BkgColor", REG_BINARY, {0xff, 0x80, 0x00, 0x00}), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, u"Count", REG_DWORD, {10, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, nullptr, REG_MULTI_SZ, Utf16Bytes(std::u16string(u"a\0", 2))),
              ERROR_SUCCESS);
    HKEY classes = Create(u".dcm", HKEY_CLASSES_ROOT);
    ASSERT_EQ(Set(classes, u"", REG_SZ, Utf16Bytes(u"dcmfile")), ERROR_SUCCESS);

    EXPECT_EQ(ReadHostFile(RegFile()),
              kHeader +
                  "\n[HKEY_LOCAL_MACHINE\\Software]\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric]\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava]\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\Kestrava\\Options]\n"
                  "\"FileName\"=\"\\\\My \\\"Docs\\\"\"\n"
                  "\"BkgColor\"=hex:ff,80,00,00\n"
                  "\"Count\"=dword:0000000a\n"
                  "@=hex(7):61,00,00,00,00,00\n"
                  "\n[HKEY_LOCAL_MACHINE\\Software\\Halvoric\\OpenDlg]\n"
                  "\n[HKEY_CLASSES_ROOT\\.dcm]\n"
                  "@=\"dcmfile\"\n");
}

TEST_F(RegistryTest, QueryReportsSizes) {
    HKEY key = Create(u"Software\\Sizes");
    const Bytes value = Utf16Bytes(u"abc");  // 8 bytes
    ASSERT_EQ(Set(key, u"v", REG_SZ, value), ERROR_SUCCESS);
    struct Row {
        DWORD bufferSize;
        LONG result;
    };
    for (const Row& row : {Row{0, ERROR_MORE_DATA}, Row{7, ERROR_MORE_DATA}, Row{8, ERROR_SUCCESS},
                           Row{20, ERROR_SUCCESS}}) {
        SCOPED_TRACE(row.bufferSize);
        BYTE buffer[20] = {};
        DWORD size = row.bufferSize;
        DWORD type = 0;
        EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, &type, buffer, &size), row.result);
        EXPECT_EQ(size, 8u);
        EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
        if (row.result == ERROR_SUCCESS) {
            EXPECT_EQ(Bytes(buffer, buffer + 8), value);
        }
    }
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    BYTE buffer[8];
    EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, buffer, nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"v", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, ErrorCodes) {
    HKEY key = Create(u"Software\\Codes");
    HKEY missing = reinterpret_cast<HKEY>(0x12345678);
    EXPECT_EQ(Open(u"Software\\Nothing", &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);

    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExW(key, u"none", nullptr, nullptr, data, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, u"none"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(key, u"none"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, u""), ERROR_ACCESS_DENIED);

    // Stale and forged handles are refused by every call.
    HKEY closed = Create(u"Software\\Codes\\Closed");
    EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    for (HKEY bad : {closed, static_cast<HKEY>(nullptr), reinterpret_cast<HKEY>(0x4321)}) {
        HKEY out;
        WCHAR name[8];
        DWORD length = 8;
        EXPECT_EQ(RegOpenKeyExW(bad, u"x", 0, 0, &out), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCreateKeyExW(bad, u"x", 0, nullptr, 0, 0, nullptr, &out, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExW(bad, u"x", nullptr, nullptr, nullptr, &size),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegSetValueExW(bad, u"x", 0, REG_BINARY, data, 4), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteValueW(bad, u"x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegDeleteKeyW(bad, u"x"), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumKeyExW(bad, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegEnumValueW(bad, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegFlushKey(bad), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegCloseKey(bad), ERROR_INVALID_HANDLE);
    }
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);

    // Parameters the calls cannot work without, and limits of the file.
    EXPECT_EQ(RegOpenKeyExW(key, u"x", 0, 0, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyExW(key, u"x", 0, nullptr, 0, 0, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
    HKEY out;
    EXPECT_EQ(RegCreateKeyExW(key, nullptr, 0, nullptr, 0, 0, nullptr, &out, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKeyW(key, nullptr), ERROR_INVALID_PARAMETER);
    std::u16string longName(256, u'k');
    EXPECT_EQ(RegCreateKeyExW(key, longName.c_str(), 0, nullptr, 0, 0, nullptr, &out, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"two\nlines", 0, REG_BINARY, data, 4), ERROR_INVALID_PARAMETER);
    Bytes tooLarge((1 << 20) + 1);
    EXPECT_EQ(Set(key, u"big", REG_BINARY, tooLarge), ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryTest, LargestValueSurvivesTheFile) {
    HKEY key = Create(u"Software\\Big");
    Bytes largest(1 << 20);
    for (size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<BYTE>(i >> 3);
    ASSERT_EQ(Set(key, u"big", REG_BINARY, largest), ERROR_SUCCESS);
    platform::ReloadRegistryForTest();
    DWORD type = 0;
    Bytes data;
    ASSERT_EQ(Query(key, u"big", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, largest);
    EXPECT_EQ(platform::TakeRegistryDamageNotice(), "");
}

TEST_F(RegistryTest, CreateAndOpenPaths) {
    HKEY key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Halvoric\\OpenDlg", 0, nullptr, 0, 0,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    opened_.push_back(key);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    // A leading '\' (as a store without base path produces) and a trailing one name the same key.
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"\\Software\\Halvoric\\OpenDlg\\", 0, nullptr, 0,
                              0, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    opened_.push_back(key);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    HKEY parent;
    ASSERT_EQ(Open(u"Software\\Halvoric", &parent), ERROR_SUCCESS);
    HKEY child;
    EXPECT_EQ(Open(u"OpenDlg", &child, parent), ERROR_SUCCESS);
    HKEY same;
    EXPECT_EQ(Open(nullptr, &same, parent), ERROR_SUCCESS);
    EXPECT_NE(same, parent);                                    // every open is a handle of its own
    EXPECT_EQ(Open(u"OpenDlg", &child), ERROR_FILE_NOT_FOUND);  // relative to the root
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirCase) {
    HKEY key = Create(u"Software\\Halvoric");
    HKEY other;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\halvoric", 0, nullptr, 0, 0, nullptr,
                              &other, &disposition),
              ERROR_SUCCESS);
    opened_.push_back(other);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    ASSERT_EQ(Set(key, u"BkgColor", REG_BINARY, {1, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(other, u"BKGCOLOR", REG_BINARY, {2, 0, 0, 0}), ERROR_SUCCESS);
    DWORD type;
    Bytes data;
    ASSERT_EQ(Query(key, u"bkgcolor", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, (Bytes{2, 0, 0, 0}));

    WCHAR name[32];
    DWORD length = 32;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"BkgColor");
    length = 32;
    ASSERT_EQ(
        RegEnumKeyExW(HKEY_LOCAL_MACHINE, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Software");
    EXPECT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistryTest, Enumeration) {
    HKEY key = Create(u"Software\\Enum");
    for (const char16_t* sub : {u"beta", u"Alpha", u"gamma"}) Create(sub, key);
    for (const char16_t* value : {u"zulu", u"alpha", u"Mike"}) {
        ASSERT_EQ(Set(key, value, REG_BINARY, {1, 2, 3}), ERROR_SUCCESS);
    }
    const std::u16string keysInOrder[] = {u"Alpha", u"beta", u"gamma"};   // sorted ignoring case
    const std::u16string valuesInOrder[] = {u"zulu", u"alpha", u"Mike"};  // as first set

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "as written" : "after reading the file again");
        WCHAR name[16];
        DWORD length;
        for (DWORD i = 0; i < 3; ++i) {
            length = 16;
            FILETIME written{};
            ASSERT_EQ(RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, &written),
                      ERROR_SUCCESS);
            EXPECT_EQ(std::u16string(name), keysInOrder[i]);
            EXPECT_EQ(length, keysInOrder[i].size());
            EXPECT_NE(written.dwHighDateTime, 0u);
        }
        length = 16;
        EXPECT_EQ(RegEnumKeyExW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS);
        // Going back to an earlier index works after the end.
        length = 16;
        ASSERT_EQ(RegEnumKeyExW(key, 1, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(std::u16string(name), u"beta");

        for (DWORD i = 0; i < 3; ++i) {
            length = 16;
            DWORD type = 0;
            BYTE data[3];
            DWORD size = 3;
            ASSERT_EQ(RegEnumValueW(key, i, name, &length, nullptr, &type, data, &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(std::u16string(name), valuesInOrder[i]);
            EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        }
        length = 16;
        EXPECT_EQ(RegEnumValueW(key, 3, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_NO_MORE_ITEMS);
        platform::ReloadRegistryForTest();
    }

    // Short buffers: the name needs room for its terminator; data reports its size.
    WCHAR name[8];
    DWORD length = 4;  // "zulu" + terminator needs 5
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
    length = 5;
    BYTE data[2];
    DWORD size = 2;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &length, nullptr, nullptr, data, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 3u);
    length = 5;  // "Alpha" needs 6
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
              ERROR_MORE_DATA);
}

TEST_F(RegistryTest, DeletingAKeyTakesItsSubkeysAndStalesHandles) {
    HKEY top = Create(u"Software\\Del");
    HKEY middle = Create(u"Software\\Del\\A");
    HKEY bottom = Create(u"Software\\Del\\A\\B\\C");
    ASSERT_EQ(Set(bottom, u"v", REG_BINARY, {1}), ERROR_SUCCESS);
    ASSERT_EQ(Set(top, u"keep", REG_BINARY, {2}), ERROR_SUCCESS);

    ASSERT_EQ(RegDeleteKeyW(top, u"a"), ERROR_SUCCESS);
    HKEY gone;
    EXPECT_EQ(Open(u"Software\\Del\\A\\B", &gone), ERROR_FILE_NOT_FOUND);
    Create(u"Software\\Del\\A\\B\\C");  // a new key of the same name is another key
    for (HKEY stale : {middle, bottom}) {
        DWORD size = 0;
        WCHAR name[8];
        DWORD length = 8;
        HKEY out;
        EXPECT_EQ(RegQueryValueExW(stale, u"v", nullptr, nullptr, nullptr, &size),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(Set(stale, u"v", REG_BINARY, {3}), ERROR_KEY_DELETED);
        EXPECT_EQ(RegEnumKeyExW(stale, 0, name, &length, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        EXPECT_EQ(RegCreateKeyExW(stale, u"x", 0, nullptr, 0, 0, nullptr, &out, nullptr),
                  ERROR_KEY_DELETED);
    }
    DWORD type;
    Bytes data;
    EXPECT_EQ(Query(top, u"keep", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(middle), ERROR_SUCCESS);

    // Deleting the key of a handle itself with an empty subkey name.
    HKEY self = Create(u"Software\\Del\\Self");
    EXPECT_EQ(RegDeleteKeyW(self, u""), ERROR_SUCCESS);
    EXPECT_EQ(Open(u"Software\\Del\\Self", &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(self, u"v"), ERROR_KEY_DELETED);
}

TEST_F(RegistryTest, PersistsAcrossRestartAndFollowsTheDeviceRoot) {
    HKEY key = Create(u"Software\\Halvoric\\Kestrava\\Options");
    ASSERT_EQ(Set(key, u"SlideDelay", REG_BINARY, {5, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueW(key, u"SlideDelay"), ERROR_SUCCESS);
    ASSERT_EQ(Set(key, u"HTTPPreload", REG_BINARY, {0xe8, 3, 0, 0}), ERROR_SUCCESS);

    char pattern[] = "/tmp/kestrava-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    std::string otherRoot = pattern;
    ASSERT_TRUE(platform::InitDevice(otherRoot));
    HKEY elsewhere;
    EXPECT_EQ(Open(u"Software\\Halvoric", &elsewhere), ERROR_FILE_NOT_FOUND);
    ASSERT_TRUE(platform::InitDevice(root_));
    std::filesystem::remove_all(otherRoot);

    platform::ReloadRegistryForTest();
    DWORD type;
    Bytes data;
    ASSERT_EQ(Query(key, u"HTTPPreload", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, (Bytes{0xe8, 3, 0, 0}));
    EXPECT_EQ(Query(key, u"SlideDelay", &type, &data), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, ReadsSeeAFileReplacedByAnotherWriter) {
    HKEY key = Create(u"Software\\Shared");
    ASSERT_EQ(Set(key, u"v", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    WriteHostFile(RegFile(), kHeader +
                                 "[HKEY_LOCAL_MACHINE\\Software\\Shared]\n\"v\"=dword:00000002\n"
                                 "\"w\"=hex:07\n");
    DWORD type;
    Bytes data;
    ASSERT_EQ(Query(key, u"v", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, (Bytes{2, 0, 0, 0}));
    ASSERT_EQ(Set(key, u"x", REG_BINARY, {9}), ERROR_SUCCESS);
    platform::ReloadRegistryForTest();
    EXPECT_EQ(Query(key, u"w", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(Query(key, u"x", &type, &data), ERROR_SUCCESS);
}

TEST_F(RegistryTest, UnwritableFileKeepsChangesUntilFlushed) {
    HKEY key = Create(u"Software\\Pending");
    // A folder where the lock file belongs makes every write fail.
    std::filesystem::remove(RegFile() + ".lock");
    ASSERT_TRUE(std::filesystem::create_directory(RegFile() + ".lock"));
    ASSERT_EQ(Set(key, u"v", REG_BINARY, {4}), ERROR_SUCCESS);
    DWORD type;
    Bytes data;
    EXPECT_EQ(Query(key, u"v", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(key), ERROR_CANTWRITE);
    std::filesystem::remove(RegFile() + ".lock");
    EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    platform::ReloadRegistryForTest();
    EXPECT_EQ(Query(key, u"v", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, Bytes{4});
}

TEST_F(RegistryTest, ThreadsWritingTogetherLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kValues = 20;
    HKEY key = Create(u"Software\\Threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([key, t] {
            for (int i = 0; i < kValues; ++i) {
                std::u16string name = Ascii16("t" + std::to_string(t) + "_" + std::to_string(i));
                DWORD value = static_cast<DWORD>(t * 1000 + i);
                RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    platform::ReloadRegistryForTest();
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kValues; ++i) {
            std::u16string name = Ascii16("t" + std::to_string(t) + "_" + std::to_string(i));
            DWORD value = 0;
            DWORD size = 4;
            ASSERT_EQ(RegQueryValueExW(key, name.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size),
                      ERROR_SUCCESS);
            EXPECT_EQ(value, static_cast<DWORD>(t * 1000 + i));
        }
    }
}

TEST_F(RegistryTest, ProcessesWritingTogetherLoseNothing) {
    constexpr int kChildren = 3;
    constexpr int kValues = 25;
    HKEY key = Create(u"Software\\Processes");
    auto name = [](int p, int i) {
        return Ascii16("p" + std::to_string(p) + "_" + std::to_string(i));
    };
    std::vector<pid_t> children;
    for (int p = 0; p < kChildren; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int failures = 0;
            for (int i = 0; i < kValues; ++i) {
                DWORD value = static_cast<DWORD>(p * 1000 + i);
                if (RegSetValueExW(key, name(p, i).c_str(), 0, REG_DWORD,
                                   reinterpret_cast<BYTE*>(&value), 4) != ERROR_SUCCESS) {
                    ++failures;
                }
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    // This process writes at the same time.
    for (int i = 0; i < kValues; ++i) {
        DWORD value = static_cast<DWORD>(kChildren * 1000 + i);
        ASSERT_EQ(RegSetValueExW(key, name(kChildren, i).c_str(), 0, REG_DWORD,
                                 reinterpret_cast<BYTE*>(&value), 4),
                  ERROR_SUCCESS);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p <= kChildren; ++p) {
        for (int i = 0; i < kValues; ++i) {
            DWORD value = 0;
            DWORD size = 4;
            ASSERT_EQ(RegQueryValueExW(key, name(p, i).c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(&value), &size),
                      ERROR_SUCCESS)
                << "process " << p << " value " << i;
            EXPECT_EQ(value, static_cast<DWORD>(p * 1000 + i));
        }
    }
}

// Files regedit or a person could have written, which load without complaint.
TEST_F(RegistryTest, ToleratedFiles) {
    const std::string section = "[HKEY_LOCAL_MACHINE\\Software\\T]";
    struct Row {
        const char* what;
        std::string file;
        LONG result;  // of reading "v"
        Bytes data;
    };
    auto utf16 = [](const std::string& text) {
        std::string out = "\xff\xfe";
        for (char c : text) out.append({c, '\0'});
        return out;
    };
    const std::string crlf = "Windows Registry Editor Version 5.00\r\n\r\n; exported\r\n" +
                             section + "\r\n\"v\"=dword:0000000a\r\n";
    const Row rows[] = {
        {"CRLF, comments, blank lines", crlf, ERROR_SUCCESS, {10, 0, 0, 0}},
        {"UTF-16LE with byte-order mark", utf16(crlf), ERROR_SUCCESS, {10, 0, 0, 0}},
        {"UTF-8 byte-order mark",
         "\xef\xbb\xbf" + kHeader + section + "\n\"v\"=hex:01\n",
         ERROR_SUCCESS,
         {1}},
        {"hex continued over lines",
         kHeader + section + "\n\"v\"=hex:01,02,\\\n  03,\\\n  04\n",
         ERROR_SUCCESS,
         {1, 2, 3, 4}},
        {"blanks and comment around a value",
         kHeader + "  " + section + "  \n\"v\" = dword:1 ; one\n",
         ERROR_SUCCESS,
         {1, 0, 0, 0}},
        {"upper-case type and root",
         kHeader + "[hkey_local_machine\\Software\\T]\n\"v\"=DWORD:2\n",
         ERROR_SUCCESS,
         {2, 0, 0, 0}},
        {"later value wins",
         kHeader + section + "\n\"v\"=hex:01\n" + section + "\n\"V\"=hex:02\n",
         ERROR_SUCCESS,
         {2}},
        {"literal backslash", kHeader + section + "\n\"v\"=\"C:\\Temp\"\n", ERROR_SUCCESS,
         Utf16Bytes(u"C:\\Temp")},
        {"value removed",
         kHeader + section + "\n\"v\"=hex:01\n\"v\"=-\n",
         ERROR_FILE_NOT_FOUND,
         {}},
        {"key removed",
         kHeader + section + "\n\"v\"=hex:01\n[-HKEY_LOCAL_MACHINE\\Software\\T]\n\"v\"=hex:05\n" +
             section + "\n",
         ERROR_FILE_NOT_FOUND,
         {}},
        {"continuation at end of file",
         kHeader + section + "\n\"v\"=hex:01,\\",
         ERROR_SUCCESS,
         {1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteHostFile(RegFile(), row.file);
        platform::ReloadRegistryForTest();
        HKEY key;
        ASSERT_EQ(Open(u"Software\\T", &key), ERROR_SUCCESS);
        DWORD type;
        Bytes data;
        EXPECT_EQ(Query(key, u"v", &type, &data), row.result);
        if (row.result == ERROR_SUCCESS) {
            EXPECT_EQ(data, row.data);
        }
        EXPECT_EQ(platform::TakeRegistryDamageNotice(), "");
        EXPECT_EQ(ReadHostFile(RegFile()), row.file);
    }
}

// A file that does not parse is moved aside untouched, reported once, and the
// registry starts empty and works.
TEST_F(RegistryTest, DamagedFilesAreSetAside) {
    const std::string section = "[HKEY_LOCAL_MACHINE\\Software\\T]\n";
    struct Row {
        const char* what;
        std::string file;
    };
    const Row rows[] = {
        {"empty file", ""},
        {"old header", "REGEDIT4\n" + section},
        {"unterminated section", kHeader + "[HKEY_LOCAL_MACHINE\\Software\\T\n"},
        {"unknown root", kHeader + "[HKEY_USERS\\Software]\n"},
        {"empty key name", kHeader + "[HKEY_LOCAL_MACHINE\\Software\\\\T]\n"},
        {"key name too long", kHeader + "[HKEY_LOCAL_MACHINE\\" + std::string(256, 'k') + "]\n"},
        {"value before any key", kHeader + "\"v\"=hex:01\n" + section},
        {"unquoted name", kHeader + section + "v=hex:01\n"},
        {"unterminated string", kHeader + section + "\"v\"=\"abc\n"},
        {"text after a string", kHeader + section + "\"v\"=\"abc\" x\n"},
        {"bad hex digit", kHeader + section + "\"v\"=hex:01,zz\n"},
        {"hex byte too wide", kHeader + section + "\"v\"=hex:123\n"},
        {"empty hex item", kHeader + section + "\"v\"=hex:01,,02\n"},
        {"bad hex type", kHeader + section + "\"v\"=hex(x):01\n"},
        {"dword too long", kHeader + section + "\"v\"=dword:123456789\n"},
        {"unknown type", kHeader + section + "\"v\"=qword:1\n"},
        {"invalid UTF-8", kHeader + section + "\"v\"=\"\xc3\x28\"\n"},
        {"NUL character", kHeader + section + std::string("\"v\"=\"a\0b\"\n", 10)},
        {"odd-sized UTF-16", std::string("\xff\xfeW\0i\0", 7)},
        {"oversized hex value", kHeader + section + "\"v\"=hex:" +
                                    [] {
                                        std::string list;
                                        for (int i = 0; i <= (1 << 20); ++i) list += "00,";
                                        return list;
                                    }() +
                                    "\n"},
        {"oversized string", kHeader + section + "\"v\"=\"" + std::string(1 << 19, 'a') + "\"\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WriteHostFile(RegFile(), row.file);
        platform::ReloadRegistryForTest();
        HKEY key;
        EXPECT_EQ(Open(u"Software\\T", &key), ERROR_FILE_NOT_FOUND);
        std::string aside = platform::TakeRegistryDamageNotice();
        ASSERT_NE(aside, "");
        EXPECT_EQ(aside.rfind(RegFile() + ".damaged-", 0), 0u) << aside;
        EXPECT_EQ(ReadHostFile(aside), row.file);
        EXPECT_FALSE(HostFileExists(RegFile()));
        EXPECT_EQ(platform::TakeRegistryDamageNotice(), "");  // reported once

        key = Create(u"Software\\T");
        ASSERT_EQ(Set(key, u"v", REG_BINARY, {7}), ERROR_SUCCESS);
        platform::ReloadRegistryForTest();
        DWORD type;
        Bytes data;
        EXPECT_EQ(Query(key, u"v", &type, &data), ERROR_SUCCESS);
        EXPECT_EQ(platform::TakeRegistryDamageNotice(), "");
        EXPECT_EQ(ReadHostFile(aside), row.file);  // a new file never touches the old one
    }
}

TEST_F(RegistryTest, FolderInPlaceOfTheFileIsSetAside) {
    ASSERT_TRUE(std::filesystem::create_directory(RegFile()));
    HKEY key;
    EXPECT_EQ(Open(u"Software", &key), ERROR_FILE_NOT_FOUND);
    std::string aside = platform::TakeRegistryDamageNotice();
    ASSERT_NE(aside, "");
    EXPECT_TRUE(std::filesystem::is_directory(aside));
    key = Create(u"Software");
    EXPECT_EQ(Set(key, u"v", REG_BINARY, {1}), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::is_regular_file(RegFile()));
}

}  // namespace
