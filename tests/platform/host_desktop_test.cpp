// The host desktop's side of file associations: the MIME globs reader, the
// rewriting of mimeapps.list, and publishing the classes root's associations
// with this program, checked with the desktop's own tools (gio, xdg-mime,
// desktop-file-validate). Every test points the XDG folders into its device's
// temporary folder and never touches the user's.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "device_fixture.h"
#include "shell/host_associations.h"
#include "shell/mime_globs.h"
#include "shell/mimeapps_list.h"
#include "shlobj.h"
#include "windows.h"

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Standard output of a shell command, and its exit status.
std::string Shell(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int result = pclose(pipe);
    if (status) *status = WIFEXITED(result) ? WEXITSTATUS(result) : -1;
    return out;
}

TEST(MimeGlobsTest, ReadsBothFormatsAndPicksTheHeaviestGlob) {
    std::vector<shell::MimeGlob> globs = shell::ParseMimeGlobs(
        "# comment\n"
        "50:image/jpeg:*.jpg\n"
        "60:image/x-special:*.JPG:cs\n"
        "40:text/x-weak:*.txt\n"
        "80:text/plain:*.txt\r\n"
        "50:application/x-markaby:*.mab\n"
        "garbage without colon\n"
        "99::*.empty-type\n"
        "application/dicom:*.dcm\n"
        "text/x-colon:*.a:b\n");
    struct Case {
        const char* extension;
        const char* type;
    } cases[] = {
        {"jpg", "image/jpeg"},         // the case-sensitive heavier glob names only "JPG"
        {"JPG", "image/x-special"},
        {"txt", "text/plain"},          // heavier wins whatever the order
        {"dcm", "application/dicom"},   // "globs" lines weigh 50
        {"mab", "application/x-markaby"},
        {"a:b", "text/x-colon"},
        {"empty-type", ""},
        {"png", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shell::MediaTypeOfExtension(globs, c.extension), c.type) << c.extension;
    }
}

TEST(MimeGlobsTest, HostileTextsGiveNothingOrWhatParses) {
    EXPECT_TRUE(shell::ParseMimeGlobs("").empty());
    EXPECT_TRUE(shell::ParseMimeGlobs(std::string(100000, ':')).empty());
    std::string longLine = "50:image/x-long:*." + std::string(5000, 'a') + "\n50:image/png:*.png";
    std::vector<shell::MimeGlob> globs = shell::ParseMimeGlobs(longLine);
    ASSERT_EQ(globs.size(), 1u);
    EXPECT_EQ(globs[0].type, "image/png");
    EXPECT_EQ(shell::ParseMimeGlobs(std::string("50:a/b:*.x\0\n", 12)).size(), 1u);
}

TEST(MimeAppsListTest, EditsOnlyTheLinesItMustAndKeepsTheRest) {
    struct Case {
        const char* name;
        const char* before;
        const char* after;
    } cases[] = {
        {"empty file", "", "[Default Applications]\nimage/jpeg=k.desktop;\n"},
        {"no section",
         "[Added Associations]\nimage/png=gimp.desktop;\n",
         "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\nimage/jpeg=k.desktop;\n"},
        {"other programs stay after",
         "[Default Applications]\nimage/jpeg=eog.desktop;k.desktop;gimp.desktop\n# note\n",
         "[Default Applications]\nimage/jpeg=k.desktop;eog.desktop;gimp.desktop;\n# note\n"},
        {"new line ends the section",
         "[Default Applications]\ntext/plain=vim.desktop;\n\n[Removed Associations]\nx/y=z;\n",
         "[Default Applications]\ntext/plain=vim.desktop;\nimage/jpeg=k.desktop;\n\n[Removed Associations]\nx/y=z;\n"},
        {"no newline at the end",
         "; odd comment\n[Default Applications]\ntext/plain=vim.desktop;",
         "; odd comment\n[Default Applications]\ntext/plain=vim.desktop;\nimage/jpeg=k.desktop;"},
    };
    for (const Case& c : cases) {
        shell::MimeAppsList list(c.before);
        list.SetDefault("image/jpeg", "k.desktop");
        EXPECT_EQ(list.Text(), c.after) << c.name;
        EXPECT_TRUE(list.Changed()) << c.name;
    }
}

TEST(MimeAppsListTest, RemovesThisProgramFromTypesNoLongerItsOwn) {
    shell::MimeAppsList list(
        "[Default Applications]\n"
        "image/jpeg=k.desktop;\n"
        "image/png=k.desktop;gimp.desktop;\n"
        "application/dicom=k.desktop;\n"
        "[Added Associations]\n"
        "image/jpeg=k.desktop;\n");
    list.RemoveDefaults("k.desktop", [](std::string_view type) { return type == "application/dicom"; });
    EXPECT_EQ(list.Text(),
              "[Default Applications]\n"
              "image/png=gimp.desktop;\n"
              "application/dicom=k.desktop;\n"
              "[Added Associations]\n"
              "image/jpeg=k.desktop;\n");
    shell::MimeAppsList same("[Default Applications]\nimage/png=gimp.desktop;\n");
    same.RemoveDefaults("k.desktop", [](std::string_view) { return false; });
    same.SetDefault("image/png", "gimp.desktop");
    EXPECT_FALSE(same.Changed());
}

// A device whose classes root gives extensions to this program, and the XDG
// folders in the device's temporary folder.
class HostAssociationsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        xdg_ = root_ + "-xdg";
        setenv("XDG_DATA_HOME", (xdg_ + "/data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (xdg_ + "/config").c_str(), 1);
        setenv("XDG_DATA_DIRS", "/usr/local/share:/usr/share", 1);
        WCHAR module[MAX_PATH];
        DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
        ASSERT_GT(n, 0u);
        program_.assign(module, n);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(xdg_, ignored);
        DeviceTest::TearDown();
    }
    void SetDefault(const std::u16string& key, const std::u16string& text) {
        HKEY h = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(h);
    }
    // ".ext" opens with `program` through type "<ext>file".
    void Give(const std::u16string& extension, const std::u16string& program) {
        SetDefault(u"." + extension, extension + u"file");
        SetDefault(extension + u"file\\Shell\\Open\\Command", program + u" %1");
    }
    std::string Entry() const { return xdg_ + "/data/applications/" + shell::DesktopEntryName(); }
    std::string MimeApps() const { return xdg_ + "/config/mimeapps.list"; }
    std::string Environment() const {
        return "XDG_DATA_HOME='" + xdg_ + "/data' XDG_CONFIG_HOME='" + xdg_ + "/config' ";
    }

    std::string xdg_;
    std::u16string program_;
};

TEST_F(HostAssociationsTest, ReadersOfTheDesktopSeeThisViewerAsTheOpener) {
    Give(u"dcm", program_);
    Give(u"mab", program_);
    Give(u"2bp", program_);
    Give(u"bmp", u"\\Windows\\pimg.exe");       // another program's
    SetDefault(u".jpg", u"jpegimage");          // no open command at all
    SetDefault(u".bad", u"");                   // an empty type
    // Keys of the wrong type: a number for the type, bytes for the command.
    HKEY h = nullptr;
    DWORD number = 7;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u".num", 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr), 0);
    RegSetValueExW(h, nullptr, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(h);
    SetDefault(u".raw", u"rawfile");
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, u"rawfile\\Shell\\Open\\Command", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &h, nullptr), 0);
    RegSetValueExW(h, nullptr, 0, REG_BINARY, reinterpret_cast<const BYTE*>(program_.c_str()),
                   static_cast<DWORD>(program_.size() * 2));
    RegCloseKey(h);
    Spit(MimeApps(), "[Default Applications]\nimage/png=gimp.desktop;\n# the user's note\n"
                     "[Added Associations]\ntext/plain=vim.desktop;\n");

    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);

    std::vector<std::u16string> ours = shell::ExtensionsOpenedBy(program_);
    EXPECT_EQ(ours, (std::vector<std::u16string>{u"2bp", u"dcm", u"mab"}));
    std::string entry = Slurp(Entry());
    ASSERT_FALSE(entry.empty());
    EXPECT_NE(entry.find("MimeType=application/x-kestrava-2bp;application/dicom;application/x-kestrava-album;\n"),
              std::string::npos) << entry;
    int status = -1;
    std::string verdict = Shell("desktop-file-validate '" + Entry() + "'", &status);
    EXPECT_EQ(status, 0) << verdict;

    std::string list = Slurp(MimeApps());
    EXPECT_NE(list.find("image/png=gimp.desktop;\n# the user's note\n"), std::string::npos) << list;
    EXPECT_NE(list.find("[Added Associations]\ntext/plain=vim.desktop;\n"), std::string::npos) << list;

    const std::string name = shell::DesktopEntryName();
    EXPECT_NE(Shell(Environment() + "gio mime application/dicom").find("Default application for “application/dicom”: " + name),
              std::string::npos);
    EXPECT_EQ(Shell(Environment() + "xdg-mime query default application/dicom"), name + "\n");

    // Albums are told from Markaby files by their first bytes.
    Spit(root_ + "/album.mab", std::string("RAB 100\0\0\0\0", 11));
    Spit(root_ + "/page.mab", "html do\n  body { h1 'Hello' }\nend\n");
    std::string info = Environment() + "gio info -a standard::content-type '" + root_;
    EXPECT_NE(Shell(info + "/album.mab'").find("application/x-kestrava-album"), std::string::npos);
    EXPECT_NE(Shell(info + "/page.mab'").find("application/x-markaby"), std::string::npos);

    // Giving DICOM files to another program takes the desktop's default back.
    Give(u"dcm", u"\\Windows\\other.exe");
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    EXPECT_EQ(Shell(Environment() + "xdg-mime query default application/dicom").find(name), std::string::npos);
    EXPECT_EQ(Slurp(MimeApps()).find("application/dicom"), std::string::npos);
    EXPECT_NE(Slurp(Entry()).find("MimeType=application/x-kestrava-2bp;application/x-kestrava-album;\n"),
              std::string::npos);
}

TEST_F(HostAssociationsTest, TheEntryStartsThisExecutableOnThisRoot) {
    Give(u"dcm", program_);
    ASSERT_TRUE(shell::PublishHostAssociations());
    std::string entry = Slurp(Entry());
    std::string executable = std::string(KESTRAVA_BIN_DIR) + "/";
    EXPECT_NE(entry.find("Exec=\"" + executable), std::string::npos) << entry;
    EXPECT_NE(entry.find(" --root \"" + root_ + "\" %f\n"), std::string::npos) << entry;

    // Without associations nothing of this viewer is left on the desktop.
    Give(u"dcm", u"\\Windows\\other.exe");
    ASSERT_TRUE(shell::PublishHostAssociations());
    EXPECT_FALSE(std::filesystem::exists(Entry()));
    EXPECT_FALSE(std::filesystem::exists(xdg_ + "/data/mime/packages/" + "kestrava.xml"));
}

TEST_F(HostAssociationsTest, TheDesktopsOwnRootNeedsNoRootOption) {
    std::string desktopRoot = xdg_ + "/data/kestrava/device";
    ASSERT_TRUE(platform::InitDevice(desktopRoot));
    Give(u"dcm", program_);
    ASSERT_TRUE(shell::PublishHostAssociations());
    EXPECT_EQ(shell::DesktopEntryName(), "kestrava.desktop");
    std::string entry = Slurp(Entry());
    EXPECT_EQ(entry.find("--root"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\" %f\n"), std::string::npos) << entry;
}

TEST_F(HostAssociationsTest, AwkwardRootNamesAreQuotedForTheDesktop) {
    std::string awkward = root_ + "-dir with \"quotes\" $HOME `x` 50% \\ end";
    ASSERT_TRUE(platform::InitDevice(awkward));
    Give(u"dcm", program_);
    ASSERT_TRUE(shell::PublishHostAssociations());
    int status = -1;
    std::string verdict = Shell("desktop-file-validate '" + Entry() + "'", &status);
    EXPECT_EQ(status, 0) << verdict;
    EXPECT_NE(Slurp(Entry()).find("--root \"" + root_ + "-dir with \\\\\"quotes\\\\\" \\\\$HOME \\\\`x\\\\` 50%% \\\\\\\\ end\" %f"),
              std::string::npos) << Slurp(Entry());
    std::error_code ignored;
    std::filesystem::remove_all(awkward, ignored);
}

TEST_F(HostAssociationsTest, AListTooLargeOrARootNotUtf8IsLeftAlone) {
    Give(u"dcm", program_);
    std::string huge = "[Default Applications]\n" + std::string(shell::MimeAppsList::kLargestFile, '#');
    Spit(MimeApps(), huge);
    EXPECT_FALSE(shell::PublishHostAssociations());
    EXPECT_EQ(Slurp(MimeApps()), huge);

    std::string odd = root_ + "-\xff\xfe";
    ASSERT_TRUE(platform::InitDevice(odd));
    Give(u"dcm", program_);
    EXPECT_FALSE(shell::PublishHostAssociations());
    EXPECT_FALSE(std::filesystem::exists(Entry()));
    std::error_code ignored;
    std::filesystem::remove_all(odd, ignored);
}

}  // namespace
