// The first-start install of the sample album in a fresh device root: from a
// small source folder made by each test, and once from the album the build
// generated in the program's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/sample_album.h"
#include "app/settings_store.h"
#include "device_fixture.h"
#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr const WCHAR* kSource = u"\\Temp\\source";

class SampleAlbumTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        platform::ReloadRegistryForTest();
    }

    // Writes a host file below the device root, creating its folders.
    void WriteFile(const std::string& relative, const std::string& text) {
        fs::create_directories(fs::path(Host(relative)).parent_path());
        std::ofstream(Host(relative), std::ios::binary) << text;
    }
    std::string ReadFile(const std::string& relative) const {
        std::ifstream in(Host(relative), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    bool Exists(const std::string& relative) const { return fs::exists(Host(relative)); }

    // Two pictures and a subfolder, which is not part of the album.
    void MakeSource() {
        WriteFile("Temp/source/a.dcm", "first study");
        WriteFile("Temp/source/b.jpg", "a picture");
        WriteFile("Temp/source/nested/c.bmp", "not copied");
    }

    static bool FlagSet() {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        DWORD value = 0;
        return store.Open(u"Options", false) && store.ReadNumber(kSampleAlbumFlag, &value) && value != 0;
    }

    // Runs the install from `source`; `open` receives the pattern (or is emptied).
    bool Install(LPCWSTR source = kSource) {
        open_[0] = u'?';
        return InstallSampleAlbumFrom(source, open_, MAX_PATH);
    }

    WCHAR open_[MAX_PATH] = {};
};

TEST_F(SampleAlbumTest, FirstStartCopiesEveryFileAndOpensTheFolder) {
    MakeSource();
    ASSERT_TRUE(Install());
    EXPECT_EQ(std::u16string(open_), kSampleAlbumPattern);
    EXPECT_EQ(ReadFile("My Documents/Sample Album/a.dcm"), "first study");
    EXPECT_EQ(ReadFile("My Documents/Sample Album/b.jpg"), "a picture");
    EXPECT_FALSE(Exists("My Documents/Sample Album/nested"));
    EXPECT_TRUE(FlagSet());
    // The source stays as it was.
    EXPECT_EQ(ReadFile("Temp/source/a.dcm"), "first study");
}

TEST_F(SampleAlbumTest, LaterStartsDoNothing) {
    MakeSource();
    ASSERT_TRUE(Install());
    // Even with the folder gone (the user deleted it), nothing comes back.
    fs::remove_all(Host("My Documents/Sample Album"));
    EXPECT_FALSE(Install());
    EXPECT_EQ(open_[0], 0);
    EXPECT_FALSE(Exists("My Documents/Sample Album"));
    EXPECT_TRUE(FlagSet());
}

TEST_F(SampleAlbumTest, UserFilesOfTheSameNameAreKept) {
    MakeSource();
    WriteFile("My Documents/Sample Album/a.dcm", "the user's own");
    WriteFile("My Documents/Sample Album/notes.txt", "unrelated");
    ASSERT_TRUE(Install());
    EXPECT_EQ(std::u16string(open_), kSampleAlbumPattern);
    EXPECT_EQ(ReadFile("My Documents/Sample Album/a.dcm"), "the user's own");
    EXPECT_EQ(ReadFile("My Documents/Sample Album/b.jpg"), "a picture");
    EXPECT_EQ(ReadFile("My Documents/Sample Album/notes.txt"), "unrelated");
    EXPECT_TRUE(FlagSet());
}

TEST_F(SampleAlbumTest, NothingToInstallLeavesNoTrace) {
    // A missing folder, an empty one, one with only a subfolder.
    const struct {
        const char* name;
        bool folder;
        const char* file;  // made below the folder when set
    } cases[] = {
        {"missing", false, nullptr},
        {"empty", true, nullptr},
        {"folders only", true, "Temp/source/nested/c.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Host("Temp/source"));
        if (c.folder) fs::create_directories(Host("Temp/source"));
        if (c.file) WriteFile(c.file, "x");
        EXPECT_FALSE(Install());
        EXPECT_EQ(open_[0], 0);
        EXPECT_FALSE(Exists("My Documents/Sample Album"));
        EXPECT_FALSE(FlagSet());
    }
}

TEST_F(SampleAlbumTest, BufferTooSmallForThePatternInstallsNothing) {
    MakeSource();
    const size_t patternLength = std::u16string(kSampleAlbumPattern).size();
    for (size_t capacity : {size_t{1}, patternLength}) {
        SCOPED_TRACE(capacity);
        WCHAR open[MAX_PATH] = {u'?'};
        EXPECT_FALSE(InstallSampleAlbumFrom(kSource, open, capacity));
        EXPECT_EQ(open[0], 0);
    }
    EXPECT_FALSE(InstallSampleAlbumFrom(kSource, nullptr, MAX_PATH));
    EXPECT_FALSE(InstallSampleAlbumFrom(nullptr, open_, MAX_PATH));
    EXPECT_FALSE(Exists("My Documents/Sample Album"));
    EXPECT_FALSE(FlagSet());
    // One character more is enough.
    WCHAR open[MAX_PATH] = {};
    EXPECT_TRUE(InstallSampleAlbumFrom(kSource, open, patternLength + 1));
    EXPECT_EQ(std::u16string(open), kSampleAlbumPattern);
}

TEST_F(SampleAlbumTest, FailedCopyTakesBackWhatItCopied) {
    // Obstacles met after the files listed before them were copied: a name
    // that fits the source folder's path but not the album's, and a source
    // entry that cannot be read (a dangling link on the host).
    const std::string longName = std::string(240, 'z') + ".dcm";
    const struct {
        const char* name;
        std::string file;
        bool link;
    } obstacles[] = {
        {"name too long", longName, false},
        {"unreadable", "zz.dcm", true},
    };
    for (const auto& obstacle : obstacles) {
        for (bool userFolder : {false, true}) {
            SCOPED_TRACE(std::string(obstacle.name) + (userFolder ? ", folder of the user's" : ""));
            fs::remove_all(Host("Temp/source"));
            fs::remove_all(Host("My Documents/Sample Album"));
            MakeSource();
            const std::string blocker = Host("Temp/source/" + obstacle.file);
            if (obstacle.link) {
                fs::create_symlink(Host("Temp/nowhere"), blocker);
            } else {
                WriteFile("Temp/source/" + obstacle.file, "too long for the album");
            }
            if (userFolder) WriteFile("My Documents/Sample Album/a.dcm", "the user's own");
            EXPECT_FALSE(Install());
            EXPECT_EQ(open_[0], 0);
            EXPECT_FALSE(FlagSet());
            EXPECT_FALSE(Exists("My Documents/Sample Album/b.jpg"));
            if (userFolder) {
                EXPECT_EQ(ReadFile("My Documents/Sample Album/a.dcm"), "the user's own");
            } else {
                EXPECT_FALSE(Exists("My Documents/Sample Album"));
            }
        }
    }
    // With the obstacle gone, the next start installs.
    fs::remove(Host("Temp/source/zz.dcm"));
    EXPECT_TRUE(Install());
    EXPECT_EQ(ReadFile("My Documents/Sample Album/b.jpg"), "a picture");
}

TEST_F(SampleAlbumTest, InstallsTheAlbumTheBuildGenerated) {
    // The program folder is the build's bin folder; the build puts the
    // generated album there (app_tests depends on it).
    const fs::path generated = fs::path(KESTRAVA_BIN_DIR) / "sample-album";
    ASSERT_TRUE(fs::is_directory(generated)) << generated;
    WCHAR open[MAX_PATH] = {};
    ASSERT_TRUE(InstallSampleAlbum(open, MAX_PATH));
    EXPECT_EQ(std::u16string(open), kSampleAlbumPattern);
    const fs::path album = Host("My Documents/Sample Album");
    for (const fs::directory_entry& entry : fs::directory_iterator(generated)) {
        SCOPED_TRACE(entry.path().string());
        const fs::path copy = album / entry.path().filename();
        ASSERT_TRUE(fs::exists(copy));
        EXPECT_EQ(fs::file_size(copy), entry.file_size());
    }
    EXPECT_TRUE(fs::exists(album / "ct_head.dcm"));
    EXPECT_FALSE(InstallSampleAlbum(open, MAX_PATH));
}

}  // namespace
