// File associations in the classes root: what each viewer row writes, what
// this viewer's registration writes and refuses, and the report the page
// shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "device_fixture.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "shellapi.h"
#include "tools/associations_page.h"
#include "tools/file_associations.h"

namespace {

class AssociationsTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        platform::ReloadRegistryForTest();
        std::filesystem::create_directories(Host("Windows/Tools"));
        std::filesystem::create_directories(Host("My Documents/Tools"));
        std::filesystem::create_directories(Host("My Documents/My Tools"));
        for (const char* name : {"Windows/Tools/view.exe", "My Documents/Tools/view.exe", "My Documents/My Tools/view.exe",
                                 "My Documents/Tools/view", "My Documents/Tools/view.com"})
            std::ofstream(Host(name)) << "program";
    }
    // A value under the classes root, or "(none)".
    static std::u16string Value(LPCWSTR key, LPCWSTR name = nullptr) {
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key, 0, KEY_READ, &h) != ERROR_SUCCESS) return u"(none)";
        WCHAR text[512] = {};
        DWORD type = 0, size = sizeof(text) - sizeof(WCHAR);
        LONG result = RegQueryValueExW(h, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size);
        RegCloseKey(h);
        return result == ERROR_SUCCESS && type == REG_SZ ? std::u16string(text) : u"(none)";
    }
};

TEST_F(AssociationsTest, TheDevicesOtherViewersGetTheirOwnTypes) {
    struct Case {
        LPCWSTR extension;
        int viewer;
        LPCWSTR key;
        LPCWSTR type;
        LPCWSTR contentType;
    } cases[] = {
        {u".BMP", kInternetExplorer, u".bmp", u"bmpimage", u"(none)"},
        {u".jpg", kInternetExplorer, u".jpg", u"jpegimage", u"image/jpeg"},
        {u".jpe", kInternetExplorer, u".jpe", u"jpegimage", u"image/jpeg"},
        {u".2bp", kInternetExplorer, u".2bp", u"bmpimage", u"(none)"},
        {u".gif", kInternetExplorer, u".gif", u"gifimage", u"image/gif"},
        {u".png", kPictureViewer, u".png", u"ImageFile", u"(none)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::Utf16ToUtf8(c.key));
        EXPECT_TRUE(RegisterAssociation(c.extension, c.viewer));
        EXPECT_EQ(Value(c.key), c.type);
        EXPECT_EQ(Value(c.key, u"Content Type"), c.contentType);
    }
    EXPECT_FALSE(RegisterAssociation(u".jpg", 3));
}

TEST_F(AssociationsTest, AProgramGetsTypeIconAndOpenCommand) {
    const LPCWSTR program = u"\\Windows\\Tools\\view.exe";
    // A content type set before stays when the format has none of its own.
    ASSERT_TRUE(RegisterAssociation(u".mab", kPictureViewer));
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u".mab", 0, KEY_WRITE, &h), ERROR_SUCCESS);
    const std::u16string kept = u"application/x-kept";
    RegSetValueExW(h, u"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(kept.c_str()),
                   static_cast<DWORD>((kept.size() + 1) * 2));
    RegCloseKey(h);

    ASSERT_TRUE(RegisterForProgram(u".mab", program, nullptr, nullptr, 101));
    EXPECT_EQ(Value(u".mab"), u"mabfile");
    EXPECT_EQ(Value(u".mab", u"Content Type"), kept);
    EXPECT_EQ(Value(u"mabfile"), u"MAB File");
    EXPECT_EQ(Value(u"mabfile\\DefaultIcon"), std::u16string(program) + u",-101");
    EXPECT_EQ(Value(u"mabfile\\Shell\\Open\\Command"), std::u16string(program) + u" %1");

    // The media type, never the description, is the content type.
    ASSERT_TRUE(RegisterForProgram(u"scan.JPG", program, nullptr, nullptr, 101));
    EXPECT_EQ(Value(u".jpg"), u"jpgfile");
    EXPECT_EQ(Value(u".jpg", u"Content Type"), u"image/jpeg");
    EXPECT_EQ(Value(u"jpgfile"), u"JPG File");
    ASSERT_TRUE(RegisterForProgram(u".dcm", u"\\My Documents\\My Tools\\view.exe", u"study", u"A study", 7));
    EXPECT_EQ(Value(u".dcm"), u"study");
    EXPECT_EQ(Value(u".dcm", u"Content Type"), u"application/dicom");
    EXPECT_EQ(Value(u"study"), u"A study");
    EXPECT_EQ(Value(u"study\\DefaultIcon"), u"\\My Documents\\My Tools\\view.exe,-7");
    EXPECT_EQ(Value(u"study\\Shell\\Open\\Command"), u"\"\\My Documents\\My Tools\\view.exe\" %1");

    // The type name follows the shell.
    SHFILEINFOW info = {};
    ASSERT_NE(SHGetFileInfoW(u"album.mab", FILE_ATTRIBUTE_NORMAL, &info, sizeof info,
                             SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME), 0u);
    EXPECT_EQ(std::u16string(info.szTypeName), u"MAB File");
}

TEST_F(AssociationsTest, ProgramsThatCannotOpenFilesAreRefusedWithNothingWritten) {
    const LPCWSTR refused[] = {
        u"\\My Documents\\Tools",          // a folder
        u"\\My Documents\\none.exe",       // missing
        u"\\My Documents\\Tools\\view",    // no extension
        u"\\My Documents\\Tools\\view.com",
        u"",
    };
    for (LPCWSTR program : refused) {
        EXPECT_FALSE(RegisterForProgram(u".tif", program, nullptr, nullptr, 101));
        EXPECT_EQ(Value(u".tif"), u"(none)");
    }
    EXPECT_FALSE(RegisterForProgram(u"tif", u"\\My Documents\\Tools\\view.exe", nullptr, nullptr, 101));
}

TEST_F(AssociationsTest, ThisViewerRegistersItsOwnExecutable) {
    ASSERT_TRUE(RegisterAssociation(u".dcm", kThisViewer));
    WCHAR module[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    std::u16string command = Value(u"dcmfile\\Shell\\Open\\Command");
    EXPECT_EQ(command, u"\"" + std::u16string(module) + u"\" %1");
    EXPECT_NE(GetFileAttributesW(module), INVALID_FILE_ATTRIBUTES);
}

TEST(AssociationReportTest, SaysWhatWasGivenAndWhatCouldNotBe) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    struct Case {
        std::vector<std::u16string> given, refused;
        std::u16string report;
    } cases[] = {
        {{u"MAB", u"JPG, JPE, JPEG"}, {},
         u"Formats:\n    - MAB\n    - JPG, JPE, JPEG\n\nwere associated with\n  \"Halvoric Kestrava\""},
        {{}, {u"PNG"}, u"PNG could not be associated"},
        {{u"DCM"}, {u"URL", u"PNG"},
         u"Formats:\n    - DCM\n\nwere associated with\n  \"Halvoric Kestrava\"\n\nURL, PNG could not be associated"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AssociationsPage::AssociationReport(kThisViewer, c.given, c.refused, instance), c.report);
    }
}

}  // namespace
