// The cleaner: a table of trees (what goes, what stays and what is reported),
// the folder texts it refuses, its question, report and log, the album after
// a clean on request, the run at exit through the real main frame, the
// Cleaner page, and settings that cannot name a folder.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "app/options_sheet.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "app/utility_hooks.h"
#include "gwes_fixture.h"
#include "message_boxes.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "res/resource.h"
#include "tools/cleaner.h"
#include "tools/cleaner_log.h"
#include "tools/cleaner_page.h"
#include "tools/utilities.h"
#include "viewer_host_fixture.h"

namespace {

namespace fs = std::filesystem;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;
using tools_test::MessageBoxes;

class CleanerTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ReloadRegistryForTest();
        outside_ = root_ + "-outside";
        fs::create_directories(outside_ + "/folder");
        WriteHost(outside_ + "/folder/kept.txt", "kept");
        WriteHost(outside_ + "/file.txt", "outside");
        chmod((outside_ + "/file.txt").c_str(), 0444);
        fs::create_directories(Host("Temp/c"));
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(outside_ + "/file.txt", fs::perms::owner_write, fs::perm_options::add, ignored);
        fs::remove_all(outside_, ignored);
        WindowTest::TearDown();
    }
    static void WriteHost(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string ReadHost(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // Settings with only folder `index` (0-2) checked, naming `folder`.
    static SettingsBlock Checked(int index, const std::u16string& folder) {
        SettingsBlock settings = {};
        lstrcpynW(settings.cleanerFolder[index], folder.c_str(), MAX_PATH);
        settings.cleanerCheck[index] = 1;
        return settings;
    }
    std::vector<std::string> Remaining(const std::string& relative) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(Host(relative))) {
            names.push_back(fs::relative(entry.path(), Host(relative)).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string outside_;
};

// ---- The walk -------------------------------------------------------------------------------

TEST_F(CleanerTest, TreesCleanedAndWhatStays) {
    const std::string longName(200, 'd');
    struct Case {
        const char* name;
        std::function<void(const std::string& c, const std::string& outside)> build;  // c: \\Temp\\c
        DWORD files, folders;
        ULONGLONG bytes;
        std::vector<std::string> remaining;   // below \Temp\c afterwards
        std::vector<DWORD> errors;            // reported, in order
    } cases[] = {
        {"a read-only file and a subfolder",
         [](const std::string& c, const std::string&) {
             WriteHost((c + "/ro.txt"), "12345");
             ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\c\\ro.txt", FILE_ATTRIBUTE_READONLY));
             WriteHost((c + "/sub/a.dcm"), "abc");
             WriteHost((c + "/sub/deeper/b.dcm"), "");
             ASSERT_TRUE(SetFileAttributesW(u"\\Temp\\c\\sub", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
         },
         3, 2, 8, {}, {}},
        {"links to a folder and a file outside, and a dangling link",
         [](const std::string& c, const std::string& outside) {
             fs::create_directory_symlink(outside + "/folder", (c + "/to-folder"));
             fs::create_symlink(outside + "/file.txt", (c + "/to-file"));
             fs::create_symlink(outside + "/gone", (c + "/dangling"));
             fs::create_directories((c + "/sub"));
             fs::create_directory_symlink(outside, (c + "/sub/up"));
         },
         4, 1, 0, {}, {}},
        {"a file held open without delete sharing",
         [](const std::string& c, const std::string&) {
             WriteHost((c + "/held.dcm"), "held");
             WriteHost((c + "/free.dcm"), "free");
         },
         1, 0, 4, {"held.dcm"}, {ERROR_SHARING_VIOLATION}},
        {"an item whose path would pass 259 characters",
         [longName](const std::string& c, const std::string&) {
             WriteHost((c + "/" + longName + "/" + std::string(60, 'f') + ".dcm"), "x");
             WriteHost((c + "/" + longName + "/short.dcm"), "xy");
         },
         1, 0, 2, {longName, longName + "/" + std::string(60, 'f') + ".dcm"}, {kCleanErrorPathTooLong}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Host("Temp/c"));
        fs::create_directories(Host("Temp/c"));
        c.build(Host("Temp/c"), outside_);
        HANDLE held = CreateFileW(u"\\Temp\\c\\held.dcm", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        CleanReport report;
        CleanedFolder result;
        CleanFolder(u"\\Temp\\c", &result, &report);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

        EXPECT_EQ(result.files, c.files);
        EXPECT_EQ(result.folders, c.folders);
        EXPECT_EQ(result.bytes, c.bytes);
        EXPECT_EQ(Remaining("Temp/c"), c.remaining);
        std::vector<DWORD> errors;
        for (const CleanFailure& failure : report.firstFailures) errors.push_back(failure.error);
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(result.failures, c.errors.size());
        // Nothing outside moved, nothing there became writable.
        EXPECT_EQ(ReadHost(outside_ + "/folder/kept.txt"), "kept");
        EXPECT_EQ(ReadHost(outside_ + "/file.txt"), "outside");
        struct stat st;
        ASSERT_EQ(stat((outside_ + "/file.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0444u);
    }
}

TEST_F(CleanerTest, NeverDescendsIntoTheDevicesOwnFolders) {
    // A device whose root lies inside a folder reached through the card: the
    // folder holds the root, so it is refused; walked all the same, the root
    // is read-only memory there and stays, its neighbour goes.
    const std::string scratch = root_ + "/Temp/scratch";
    fs::create_directories(scratch + "/device");
    WriteHost(scratch + "/neighbour.txt", "n");
    ASSERT_TRUE(platform::InitDevice(scratch + "/device"));
    WriteHost(scratch + "/device/My Documents/patient.dcm", "p");
    const std::u16string folder = Utf8ToUtf16("\\Storage Card" + scratch);
    std::u16string checked;
    EXPECT_EQ(CheckCleanerFolder(folder.c_str(), &checked), CleanRefusal::kReadOnlyMemory);
    CleanReport report;
    CleanedFolder result;
    CleanFolder(folder, &result, &report);
    EXPECT_FALSE(fs::exists(scratch + "/neighbour.txt"));
    EXPECT_EQ(ReadHost(scratch + "/device/My Documents/patient.dcm"), "p");
    ASSERT_EQ(report.firstFailures.size(), 1u);
    EXPECT_EQ(report.firstFailures[0].error, kCleanErrorReadOnlyMemory);
    EXPECT_EQ(report.firstFailures[0].item, folder + u"\\device");
    ASSERT_TRUE(platform::InitDevice(root_));
}

TEST_F(CleanerTest, FolderTextsRefused) {
    fs::create_directories(Host("Windows/Temporary Internet Files"));
    fs::create_directory_symlink(outside_ + "/folder", Host("Temp/link"));
    WriteHost(Host("Temp/file.txt"), "f");
    const std::u16string deviceByCard = Utf8ToUtf16("\\Storage Card" + root_);
    const std::u16string tooLong = u"\\Temp\\" + std::u16string(252, u'x');
    struct Case {
        std::u16string text;
        CleanRefusal refusal;
        std::u16string folder;  // the walk's form when cleaned
    } cases[] = {
        {u"", CleanRefusal::kEmpty, u""},
        {u"\\", CleanRefusal::kDeviceRoot, u""},
        {u"..", CleanRefusal::kDeviceRoot, u""},
        {u"\\..\\..", CleanRefusal::kDeviceRoot, u""},
        {u"/.", CleanRefusal::kDeviceRoot, u""},
        {u"\\Storage Card", CleanRefusal::kMountPoint, u""},
        {u"\\storage card\\", CleanRefusal::kMountPoint, u""},
        {u"\\Program Files", CleanRefusal::kMountPoint, u""},
        {u"\\Program Files\\Kestrava", CleanRefusal::kMountPoint, u""},
        {u"\\Windows", CleanRefusal::kWindows, u""},
        {u"\\WINDOWS\\", CleanRefusal::kWindows, u""},
        {u"\\Temp\\..\\Windows", CleanRefusal::kWindows, u""},
        {deviceByCard, CleanRefusal::kReadOnlyMemory, u""},
        {deviceByCard + u"\\Windows", CleanRefusal::kReadOnlyMemory, u""},
        {u"\\Temp\\link", CleanRefusal::kLink, u""},
        {u"\\Temp\\missing", CleanRefusal::kNotFound, u""},
        {u"\\Temp\\file.txt", CleanRefusal::kNotFound, u""},
        {tooLong, CleanRefusal::kTooLong, u""},
        {u"\\Temp", CleanRefusal::kNone, u"\\Temp"},
        {u"Temp/", CleanRefusal::kNone, u"\\Temp"},
        {u"\\My Documents\\..\\Temp\\.\\c", CleanRefusal::kNone, u"\\Temp\\c"},
        {u"\\Windows\\Temporary Internet Files", CleanRefusal::kNone, u"\\Windows\\Temporary Internet Files"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.text));
        std::u16string folder;
        EXPECT_EQ(CheckCleanerFolder(c.text.c_str(), &folder), c.refusal);
        EXPECT_EQ(folder, c.folder);
    }
    // A refused folder is named with its reason and nothing in it goes.
    SettingsBlock settings = Checked(0, u"\\..");
    settings.cleanerCheck[1] = 1;  // an empty text
    WriteHost(Host("Windows/keep.txt"), "k");
    const CleanReport report = CleanCheckedFolders(settings, false);
    ASSERT_EQ(report.folders.size(), 2u);
    EXPECT_EQ(report.folders[0].refusal, CleanRefusal::kDeviceRoot);
    EXPECT_EQ(report.folders[1].refusal, CleanRefusal::kEmpty);
    EXPECT_EQ(ReadHost(Host("Windows/keep.txt")), "k");
    EXPECT_EQ(RefusalText(settings),
              u"\"\\..\" is not cleaned: it is the whole device.\r"
              u"Folder 2 is not cleaned: it has no folder name, and would name the whole device.");
}

// ---- Texts ----------------------------------------------------------------------------------

TEST_F(CleanerTest, QuestionNumbersTheCheckedFoldersFromOne) {
    SettingsBlock settings = Checked(1, u"\\Temp");
    lstrcpynW(settings.cleanerFolder[0], u"\\My Documents", MAX_PATH);
    lstrcpynW(settings.cleanerFolder[2], u"\\Temp\\c", MAX_PATH);
    EXPECT_EQ(CleanerQuestion(settings),
              u"Are you sure you want to delete ALL files and ALL subfolders in\r1. \"\\Temp\"\r");
    settings.cleanerCheck[2] = 1;
    EXPECT_EQ(CleanerQuestion(settings),
              u"Are you sure you want to delete ALL files and ALL subfolders in\r1. \"\\Temp\"\r"
              u"2. \"\\Temp\\c\"\r");
    EXPECT_EQ(CleanerQuestion(SettingsBlock{}), u"");
}

TEST_F(CleanerTest, ReportSaysWhatWentAndWhatStayed) {
    CleanReport report;
    CleanedFolder folder;
    folder.folder = u"\\Temp";
    folder.files = 1;
    folder.folders = 2;
    folder.bytes = 5368709120ULL;  // 5 GiB: counted in 64 bits
    report.folders.push_back(folder);
    EXPECT_EQ(ReportText(report), u"Clean complete\r\r1. \"\\Temp\": 1 file, 2 folders, 5368709120 bytes freed");

    for (int i = 0; i < 7; ++i) {
        report.AddFailure(u"\\Temp\\f" + Utf8ToUtf16(std::to_string(i)), i < 6 ? ERROR_SHARING_VIOLATION
                                                                               : ERROR_ACCESS_DENIED,
                          &report.folders[0]);
    }
    const std::u16string text = ReportText(report);
    EXPECT_EQ(text.substr(0, text.find(u"\r\r")),
              u"Could not delete 7 items:\r\\Temp\\f0: in use\r\\Temp\\f1: in use\r\\Temp\\f2: in use\r"
              u"\\Temp\\f3: in use\r\\Temp\\f4: in use\rand 2 more.");
    EXPECT_EQ(report.failuresByError.at(ERROR_ACCESS_DENIED), 1u);
}

// ---- The log --------------------------------------------------------------------------------

TEST_F(CleanerTest, EveryRunIsLoggedWithoutFileNames) {
    WriteHost(Host("Temp/c/secret-patient.dcm"), "0123456789");
    WriteHost(Host("Temp/c/held-patient.dcm"), "h");
    HANDLE held = CreateFileW(u"\\Temp\\c\\held-patient.dcm", GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    CleanCheckedFolders(Checked(1, u"\\Temp\\c"), false);
    CloseHandle(held);
    CleanCheckedFolders(Checked(0, u"\\Windows"), true);

    const std::string log = ReadHost(Host("Windows/Cleaner.log"));
    EXPECT_EQ(log.find("patient"), std::string::npos) << log;
    EXPECT_NE(log.find(" cleaner run on request: incomplete\r\n  1. \"\\Temp\\c\": 1 files, 0 folders, "
                       "10 bytes freed, 1 items left\r\n  left: 1 items (1 in use)\r\n\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(" cleaner run at exit: incomplete\r\n  1. \"\\Windows\": not cleaned, it holds the "
                       "device's settings\r\n"),
              std::string::npos)
        << log;
    // The date and time open each entry.
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(log.substr(0, 4), std::to_string(now.wYear));
    EXPECT_FALSE(fs::exists(Host("Windows/Cleaner.log.new")));
}

TEST_F(CleanerTest, LogStaysUnder64KilobytesDroppingTheOldestRuns) {
    std::string old;
    for (int i = 0; old.size() < 70 * 1024; ++i) {
        old += "2001-01-01 00:00:00 run " + std::to_string(i) + std::string(200, '.') + "\r\n\r\n";
    }
    WriteHost(Host("Windows/Cleaner.log"), old);
    CleanCheckedFolders(Checked(0, u"\\Temp\\c"), false);
    std::string log = ReadHost(Host("Windows/Cleaner.log"));
    EXPECT_LT(log.size(), kCleanerLogLimit);
    EXPECT_EQ(log.find("run 0."), std::string::npos);  // the oldest went
    EXPECT_NE(log.find("run 300."), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 2), "\r\n");
    EXPECT_NE(log.rfind("cleaner run on request: complete"), std::string::npos);
    // A rename a crash cut short: only the new file is there, and it counts.
    fs::rename(Host("Windows/Cleaner.log"), Host("Windows/Cleaner.log.new"));
    CleanCheckedFolders(Checked(0, u"\\Temp\\c"), true);
    log = ReadHost(Host("Windows/Cleaner.log"));
    EXPECT_NE(log.find("cleaner run on request: complete"), std::string::npos);
    EXPECT_NE(log.find("cleaner run at exit: complete"), std::string::npos);
    EXPECT_FALSE(fs::exists(Host("Windows/Cleaner.log.new")));
}

// ---- On request and at exit -----------------------------------------------------------------

TEST_F(CleanerTest, OnRequestAsksCleansAndDropsTheAlbumsGoneEntries) {
    WriteHost(Host("Temp/c/a.bmp"), "a");
    WriteHost(Host("Temp/c/b.bmp"), "b");
    WriteHost(Host("My Documents/kept.bmp"), "k");
    TestViewerHost host;
    SettingsBlock& settings = host.Options();
    settings = Checked(1, u"\\Temp\\c");
    lstrcpynW(settings.cleanerFolder[0], u"\\", MAX_PATH);
    ImageAlbum& album = host.HostAlbum();
    album.Append(u"\\Temp\\c\\a.bmp");
    album.Append(u"\\My Documents\\kept.bmp");
    album.Append(u"\\Temp\\c\\b.bmp");
    album.current = 2;

    {
        // No: nothing goes.
        MessageBoxes boxes({IDNO});
        RunCleaner(&host);
        ASSERT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(boxes.Shown()[0].caption, u"Warning");
        EXPECT_EQ(boxes.Shown()[0].text,
                  u"Are you sure you want to delete ALL files and ALL subfolders in\r1. \"\\Temp\\c\"\r");
        EXPECT_TRUE(fs::exists(Host("Temp/c/a.bmp")));
        EXPECT_EQ(album.Count(), 3);
    }
    {
        MessageBoxes boxes({IDYES, IDOK});
        RunCleaner(&host);
        ASSERT_EQ(boxes.Shown().size(), 2u);
        EXPECT_EQ(boxes.Shown()[1].caption, u"Finished");
        EXPECT_EQ(boxes.Shown()[1].text, u"Clean complete\r\r1. \"\\Temp\\c\": 2 files, 0 folders, 2 bytes freed");
    }
    EXPECT_TRUE(fs::is_directory(Host("Temp/c")));
    EXPECT_FALSE(fs::exists(Host("Temp/c/a.bmp")));
    ASSERT_EQ(album.Count(), 1);
    WCHAR path[MAX_PATH];
    ASSERT_TRUE(album.FullPath(0, false, path));
    EXPECT_EQ(std::u16string(path), u"\\My Documents\\kept.bmp");
    EXPECT_EQ(album.current, 0);
    host.Pump();
    ASSERT_FALSE(host.received.empty());
    EXPECT_EQ(host.received.back().message, static_cast<UINT>(MSG_NAVIGATE));

    // The device root checked as well: named and refused before the question.
    settings.cleanerCheck[0] = 1;
    {
        MessageBoxes boxes({IDOK, IDNO});
        RunCleaner(&host);
        ASSERT_EQ(boxes.Shown().size(), 2u);
        EXPECT_EQ(boxes.Shown()[0].text, u"\"\\\" is not cleaned: it is the whole device.");
        EXPECT_EQ(boxes.Shown()[1].text,
                  u"Are you sure you want to delete ALL files and ALL subfolders in\r1. \"\\Temp\\c\"\r");
    }
    // Nothing checked: the way to check folders.
    settings = SettingsBlock{};
    {
        MessageBoxes boxes;
        RunCleaner(&host);
        ASSERT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(boxes.Shown()[0].caption, u"Information");
        EXPECT_EQ(boxes.Shown()[0].text.substr(0, 30), u"No folders selected to CLEAN. ");
    }
}

TEST_F(CleanerTest, RunsAtExitLastWithoutAQuestion) {
    InstallUtilities();
    struct Case {
        const char* name;
        DWORD autoOnExit;
        DWORD check2;
        bool cleaned;
    } cases[] = {
        {"auto run, second folder checked", 1, 1, true},
        {"auto run, no folder checked", 1, 0, false},
        {"no auto run", 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Host("Windows/Cleaner.log"));
        WriteHost(Host("Temp/c/x.dcm"), "x");
        WriteHost(Host("My Documents/mine.dcm"), "m");
        MessageBoxes boxes;
        auto frame = std::make_unique<MainFrame>(u"");
        ASSERT_TRUE(frame->CreateMainWindow(GetModuleHandleW(nullptr)));
        SettingsBlock& options = frame->Options();
        options.cleanerAutoOnExit = c.autoOnExit;
        options.cleanerCheck[0] = 0;
        options.cleanerCheck[1] = c.check2;
        options.cleanerCheck[2] = 0;
        lstrcpynW(options.cleanerFolder[1], u"\\Temp\\c", MAX_PATH);
        DestroyWindow(frame->Handle());
        frame.reset();
        EXPECT_TRUE(boxes.Shown().empty());
        EXPECT_EQ(fs::exists(Host("Temp/c/x.dcm")), !c.cleaned);
        EXPECT_EQ(ReadHost(Host("My Documents/mine.dcm")), "m");
        EXPECT_TRUE(fs::is_directory(Host("Temp/c")));
        const std::string log = ReadHost(Host("Windows/Cleaner.log"));
        EXPECT_EQ(log.find("cleaner run at exit: complete") != std::string::npos, c.cleaned) << log;
        // The settings were saved before the clean, as they were set.
        SettingsBlock saved;
        RecentAddresses recent;
        LoadSettings(&saved, &recent);
        EXPECT_EQ(saved.cleanerCheck[1], c.check2);
    }
    SetUtilityHooks(UtilityHooks{});
}

TEST_F(CleanerTest, CommandsAreThereOnceTheUtilitiesAreInstalled) {
    for (bool installed : {false, true}) {
        SCOPED_TRACE(installed ? "installed" : "not installed");
        if (installed) {
            InstallUtilities();
        } else {
            SetUtilityHooks(UtilityHooks{});
        }
        auto frame = std::make_unique<MainFrame>(u"");
        ASSERT_TRUE(frame->CreateMainWindow(GetModuleHandleW(nullptr)));
        EXPECT_EQ(frame->IsCommandEnabled(IDM_SYSTEM_INFO), installed ? 1 : 0);
        EXPECT_EQ(frame->IsCommandEnabled(IDM_CLEANER) != 0, installed);
        DestroyWindow(frame->Handle());
    }
    SetUtilityHooks(UtilityHooks{});
}

// ---- The page and the settings ----------------------------------------------------------------

TEST_F(CleanerTest, PageEnablesEditsAndStoresEveryChange) {
    SettingsBlock copy = {};
    lstrcpynW(copy.cleanerFolder[0], u"\\My Documents", MAX_PATH);
    lstrcpynW(copy.cleanerFolder[1], u"\\Temp", MAX_PATH);
    copy.cleanerCheck[1] = 1;
    auto* page = new CleanerPage(&copy);  // modeless: the window owns it
    HWND dialog = page->CreateModeless();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLEANER_FOLDER1)));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLEANER_FOLDER1 + 1)));
    WCHAR text[MAX_PATH];
    GetDlgItemTextW(dialog, IDC_CLEANER_FOLDER1 + 1, text, MAX_PATH);
    EXPECT_EQ(std::u16string(text), u"\\Temp");

    // Checking enables; every change of the text is kept, cut at 259.
    CheckDlgButton(dialog, IDC_CLEANER_CHECK1, BST_CHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CLEANER_CHECK1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CLEANER_CHECK1)));
    EXPECT_EQ(copy.cleanerCheck[0], 1u);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CLEANER_FOLDER1)));
    HWND edit = GetDlgItem(dialog, IDC_CLEANER_FOLDER1 + 2);
    SetWindowTextW(edit, u"\\Temp\\scans");
    EXPECT_EQ(std::u16string(copy.cleanerFolder[2]), u"\\Temp\\scans");
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>((u"\\" + std::u16string(300, u'a')).c_str()));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CLEANER_FOLDER1 + 2, EN_CHANGE), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ(lstrlenW(copy.cleanerFolder[2]), MAX_PATH - 1);

    // Turning the run at exit on warns.
    {
        MessageBoxes boxes({IDOK}, dialog);
        CheckDlgButton(dialog, IDC_CLEANER_AUTO_ON_EXIT, BST_CHECKED);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_CLEANER_AUTO_ON_EXIT, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_CLEANER_AUTO_ON_EXIT)));
        ASSERT_EQ(boxes.Shown().size(), 1u);
        EXPECT_EQ(boxes.Shown()[0].caption, u"WARNING!");
        EXPECT_EQ(boxes.Shown()[0].text.substr(0, 9), u"WARNING!\r");
    }
    EXPECT_EQ(copy.cleanerAutoOnExit, 1u);
    DestroyWindow(dialog);
}

TEST_F(CleanerTest, StoredFoldersThatCannotBePathsAreRefusedNotReplaced) {
    // Too long for a path, and of the wrong type: neither becomes the default
    // folder (which the cleaner would then empty); both are refused by number.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, KESTRAVA_SETTINGS_BASE u"Options", 0, nullptr, 0, 0, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const std::u16string longFolder = u"\\" + std::u16string(300, u'x');
    RegSetValueExW(key, u"CleanerFolder1", 0, REG_SZ, reinterpret_cast<const BYTE*>(longFolder.c_str()),
                   static_cast<DWORD>((longFolder.size() + 1) * sizeof(WCHAR)));
    const DWORD number = 5;
    RegSetValueExW(key, u"CleanerFolder2", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);
    SettingsBlock settings;
    RecentAddresses recent;
    LoadSettings(&settings, &recent);
    EXPECT_EQ(std::u16string(settings.cleanerFolder[0]), u"");
    EXPECT_EQ(std::u16string(settings.cleanerFolder[1]), u"");
    EXPECT_EQ(std::u16string(settings.cleanerFolder[2]), u"\\Windows\\Temporary Internet Files");
    settings.cleanerCheck[0] = settings.cleanerCheck[1] = 1;
    WriteHost(Host("My Documents/mine.dcm"), "m");
    WriteHost(Host("Temp/t.dcm"), "t");
    const CleanReport report = CleanCheckedFolders(settings, true);
    EXPECT_EQ(report.folders[0].refusal, CleanRefusal::kEmpty);
    EXPECT_EQ(report.folders[1].refusal, CleanRefusal::kEmpty);
    EXPECT_TRUE(fs::exists(Host("My Documents/mine.dcm")));
    EXPECT_TRUE(fs::exists(Host("Temp/t.dcm")));
}

}  // namespace
