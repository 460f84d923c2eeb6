// The file chooser's path rules without its window: where a request starts
// and what a confirmed name becomes, as a table of flags x typed name x what
// exists -> the path or the refusal, in a fresh device root.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/file_chooser.h"
#include "device_fixture.h"
#include "platform/wstr.h"
#include "tools/file_choice.h"

namespace {

class FileChoiceTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // What exists: a picture, a sound, a folder whose name has a dot, a
        // folder named like a picture, and a sound folder.
        MakeFile("My Documents/old.bmp");
        MakeFile("My Documents/a.wav");
        MakeFolder("My Documents/v1.2");
        MakeFolder("My Documents/sub.bmp");
        MakeFolder("My Documents/sounds");
    }
    void MakeFile(const std::string& relative) { std::ofstream(Host(relative)) << "x"; }
    void MakeFolder(const std::string& relative) { std::filesystem::create_directories(Host(relative)); }
};

constexpr DWORD kSaveBmp = kChooseToSave;
constexpr const WCHAR* kBmp = u"bmp\0";
constexpr const WCHAR* kWav = u"wav\0";

TEST_F(FileChoiceTest, ConfirmingANameFollowsTheRequestsRules) {
    const std::u16string docs = u"\\My Documents";
    const std::u16string longFolder = u"\\" + std::u16string(240, u'f');  // 241 characters
    const struct Case {
        const char* what;
        DWORD flags;
        const WCHAR* extensions;
        std::u16string folder;
        std::u16string name;
        ChoiceVerdict verdict;
        std::u16string path;  // the answer, or empty when refused
        UINT message;
    } cases[] = {
        // Saving applies the default extension to the name, never to a folder.
        {"save a plain name", kSaveBmp, kBmp, docs, u"scan", ChoiceVerdict::Accept, docs + u"\\scan.bmp", 0},
        {"save another extension", kSaveBmp, kBmp, docs, u"scan.jpg", ChoiceVerdict::Accept, docs + u"\\scan.bmp", 0},
        {"save the extension in capitals", kSaveBmp, kBmp, docs, u"scan.BMP", ChoiceVerdict::Accept,
         docs + u"\\scan.BMP", 0},
        {"save in a folder with a dot", kSaveBmp, kBmp, docs + u"\\v1.2", u"scan", ChoiceVerdict::Accept,
         docs + u"\\v1.2\\scan.bmp", 0},
        {"save a name ending in a dot", kSaveBmp, kBmp, docs, u"scan.", ChoiceVerdict::Accept, docs + u"\\scan.bmp",
         0},
        {"save over a file", kSaveBmp, kBmp, docs, u"old", ChoiceVerdict::AskOverwrite, docs + u"\\old.bmp", 0},
        {"save over a folder", kSaveBmp, kBmp, docs, u"sub", ChoiceVerdict::Refuse, u"", kFileNotFoundId},
        {"save without a filter", kChooseToSave, nullptr, docs, u"scan", ChoiceVerdict::Accept, docs + u"\\scan", 0},
        // Opening a sound: files only.
        {"open a sound", kChooseMustBeFile, kWav, docs, u"a.wav", ChoiceVerdict::Accept, docs + u"\\a.wav", 0},
        {"open a folder as a sound", kChooseMustBeFile, kWav, docs, u"sounds", ChoiceVerdict::Refuse, u"",
         kFileNotFoundId},
        {"open a missing sound", kChooseMustBeFile, kWav, docs, u"b.wav", ChoiceVerdict::Refuse, u"", kFileNotFoundId},
        {"must exist: missing", kChooseMustExist, nullptr, docs, u"none", ChoiceVerdict::Refuse, u"", kPathNotFoundId},
        {"must exist: a folder", kChooseMustExist, nullptr, docs, u"sounds", ChoiceVerdict::Accept,
         docs + u"\\sounds", 0},
        // Wildcards only where allowed, and only in the last component.
        {"wildcard refused", kChooseMustExist, nullptr, docs, u"*.bmp", ChoiceVerdict::Refuse, u"", kNoWildcardsId},
        {"question mark refused", 0, nullptr, docs, u"ol?.bmp", ChoiceVerdict::Refuse, u"", kNoWildcardsId},
        {"wildcard in a save", kSaveBmp, kBmp, docs, u"*", ChoiceVerdict::Refuse, u"", kNoWildcardsId},
        {"wildcard allowed", kChooseToOpen, nullptr, docs, u"*.bmp", ChoiceVerdict::Accept, docs + u"\\*.bmp", 0},
        {"open everything", kChooseToOpen, nullptr, docs, u"*.*", ChoiceVerdict::Accept, docs + u"\\*.*", 0},
        {"an empty name opens the folder", kChooseToOpen, nullptr, docs, u"", ChoiceVerdict::Accept, docs + u"\\",
         0},
        // Folder mode answers with the folder, whatever the name says.
        {"folder mode", kChooseFolder, nullptr, docs + u"\\v1.2", u"old.bmp", ChoiceVerdict::Accept,
         docs + u"\\v1.2", 0},
        {"folder at the root", kChooseFolder | kChooseMustExist, nullptr, u"\\", u"", ChoiceVerdict::Accept, u"\\",
         0},
        // 259 characters at most, never cut.
        {"259 characters", 0, nullptr, longFolder, std::u16string(17, u'n'), ChoiceVerdict::Accept,
         longFolder + u"\\" + std::u16string(17, u'n'), 0},
        {"260 characters", 0, nullptr, longFolder, std::u16string(18, u'n'), ChoiceVerdict::Refuse, u"",
         kPathNotFoundId},
        {"the extension passes the limit", kSaveBmp, kBmp, longFolder, std::u16string(15, u'n'),
         ChoiceVerdict::Refuse, u"", kPathNotFoundId},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Choice choice = ConfirmChoice(c.flags, c.extensions, c.folder, c.name);
        EXPECT_EQ(choice.verdict, c.verdict);
        if (c.verdict == ChoiceVerdict::Refuse) {
            EXPECT_EQ(choice.messageId, c.message);
        } else {
            EXPECT_EQ(platform::Utf16ToUtf8(choice.path), platform::Utf16ToUtf8(c.path));
        }
    }
}

TEST_F(FileChoiceTest, TheRequestPathChoosesTheStartFolderAndThePresetName) {
    const struct Case {
        const char* what;
        const WCHAR* request;
        std::u16string folder;
        std::u16string preset;
    } cases[] = {
        {"nothing", u"", u"\\My Documents", u""},
        {"a folder", u"\\My Documents\\v1.2", u"\\My Documents\\v1.2", u""},
        {"a folder with a trailing slash", u"\\My Documents\\v1.2\\", u"\\My Documents\\v1.2", u""},
        {"the root", u"\\", u"\\", u""},
        {"a file", u"\\My Documents\\old.bmp", u"\\My Documents", u"old.bmp"},
        {"a new name", u"\\My Documents\\v1.2\\New.mab", u"\\My Documents\\v1.2", u"New.mab"},
        {"a pattern", u"\\My Documents\\*.*", u"\\My Documents", u"*.*"},
        {"a new name at the root", u"\\New.mab", u"\\", u"New.mab"},
        {"a missing folder", u"\\Nowhere\\x.bmp", u"\\My Documents", u""},
        {"no device path", u"old.bmp", u"\\My Documents", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ChooserStart start = FindStartFolder(c.request);
        EXPECT_EQ(platform::Utf16ToUtf8(start.folder), platform::Utf16ToUtf8(c.folder));
        EXPECT_EQ(platform::Utf16ToUtf8(start.presetName), platform::Utf16ToUtf8(c.preset));
    }
    // A path longer than 259 characters is not looked at.
    const std::u16string tooLong = u"\\My Documents\\" + std::u16string(250, u'x');
    EXPECT_EQ(FindStartFolder(tooLong.c_str()).folder, u"\\My Documents");
    EXPECT_EQ(FindStartFolder(nullptr).folder, u"\\My Documents");
}

TEST_F(FileChoiceTest, WithoutMyDocumentsTheChooserStartsAtTheRoot) {
    std::filesystem::remove_all(Host("My Documents"));
    const ChooserStart start = FindStartFolder(u"\\My Documents\\x.bmp");
    EXPECT_EQ(start.folder, u"\\");
    EXPECT_EQ(start.presetName, u"");
}

TEST_F(FileChoiceTest, NamesAreReadAfterTheLastSeparator) {
    EXPECT_EQ(LastComponent(u"\\v1.2\\scan"), u"scan");
    EXPECT_EQ(ExtensionOfName(u"scan.tar.gz"), u"gz");
    EXPECT_EQ(ExtensionOfName(u"scan"), u"");
    EXPECT_EQ(ParentFolder(u"\\a"), u"\\");
    EXPECT_EQ(ParentFolder(u"\\a\\b"), u"\\a");
    EXPECT_EQ(ParentFolder(u"a"), u"");
    EXPECT_EQ(WithoutTrailingSlash(u"\\a\\\\"), u"\\a");
    EXPECT_EQ(WithoutTrailingSlash(u"\\"), u"\\");
    EXPECT_TRUE(ExtensionListed(u"bmp\0DCM\0", u"dcm"));
    EXPECT_FALSE(ExtensionListed(u"bmp\0dcm\0", u"dc"));
    EXPECT_FALSE(ExtensionListed(nullptr, u"bmp"));
}

}  // namespace
