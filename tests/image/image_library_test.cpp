// The image library: plug-in discovery and its refusals, provider
// precedence, the fault guard, loading errors, pages and frames, abort,
// the extension list, format names and the dither entry.
#include <gtest/gtest.h>

#include <platform/fault_guard.h>

#include <string>

#include "adjustment_hooks.h"
#include "format_handler.h"
#include "frame_source.h"
#include "image_test_util.h"

namespace {

const std::string kPlugins = IMAGE_TEST_PLUGIN_DIR;
const std::string kBin = KESTRAVA_BIN_DIR;

struct Counters {
    int loads;
    int deletes;
    int aborts;
    DWORD lastTag;
    DWORD lastFlags;
};

class LibraryTest : public ImageTest {
protected:
    void InstallTestPlugins() {
        InstallPlugins({kPlugins + "/RImgOld.dll", kPlugins + "/RImgPartial.dll",
                        kPlugins + "/RImgTest.dll", kBin + "/RImgPng.dll"});
    }
    ImageProvider* ProviderOf(const char* fileName) {
        for (int i = 0; i < library_.ProviderCount(); ++i) {
            ImageProvider* p = library_.Provider(i);
            if (!p->module) continue;
            WCHAR name[MAX_PATH];
            GetModuleFileNameW(p->module, name, MAX_PATH);
            std::u16string path(name);
            if (path.size() >= strlen(fileName) &&
                path.compare(path.size() - strlen(fileName), std::u16string::npos,
                             platform::Utf8ToUtf16(fileName)) == 0) {
                return p;
            }
        }
        return nullptr;
    }
    Counters* TestCounters() {
        ImageProvider* p = ProviderOf("RImgTest.dll");
        if (!p) return nullptr;
        auto fn = reinterpret_cast<Counters* (*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(p->module, "RTestCounters")));
        return fn ? fn() : nullptr;
    }
    // A 2 x 2 24-bit BMP.
    Bytes SmallBmp() {
        return ByteWriter().raw(BmpFileHeader(70, 54)).raw(InfoHeader(2, 2, 24)).fill(16, 0x33).bytes;
    }
};

TEST_F(LibraryTest, WithoutPluginsOnlyTheBuiltInProviderExists) {
    ASSERT_EQ(library_.ProviderCount(), 1);
    ImageProvider* builtin = library_.Provider(0);
    EXPECT_EQ(builtin->module, nullptr);
    EXPECT_EQ(builtin->table, FileTypeTable);
    EXPECT_NE(builtin->loadImage, nullptr);
    EXPECT_NE(builtin->loadFrame, nullptr);
    EXPECT_NE(builtin->deleteImage, nullptr);
    EXPECT_NE(builtin->abort, nullptr);
    EXPECT_NE(builtin->registerAllocator, nullptr);
}

TEST_F(LibraryTest, WrongVersionsAndMissingExportsAreRefused) {
    InstallTestPlugins();
    // Built in, RImgTest and RImgPng; RImgOld (version 100) and RImgPartial
    // (no RDeleteImage) are unloaded again.
    EXPECT_EQ(library_.ProviderCount(), 3);
    EXPECT_NE(ProviderOf("RImgTest.dll"), nullptr);
    EXPECT_NE(ProviderOf("RImgPng.dll"), nullptr);
    EXPECT_EQ(ProviderOf("RImgOld.dll"), nullptr);
    EXPECT_EQ(ProviderOf("RImgPartial.dll"), nullptr);
    ImageProvider* test = ProviderOf("RImgTest.dll");
    EXPECT_NE(test->abort, nullptr);
    EXPECT_EQ(test->loadFrame, nullptr);  // optional, missing
    EXPECT_EQ(test->registerAllocator, nullptr);
}

TEST_F(LibraryTest, ThePluginPatternIgnoresOtherFilesAndFolders) {
    std::filesystem::create_directories(Host("Plugins/RImgFolder.dll"));
    std::filesystem::copy_file(kPlugins + "/RImgTest.dll", Host("Plugins/Other.dll"));
    std::filesystem::copy_file(kPlugins + "/RImgTest.dll", Host("Plugins/.RImgHidden.dll"));
    library_.BuildLibraryFrom(u"\\Plugins");
    EXPECT_EQ(library_.ProviderCount(), 1);
}

TEST_F(LibraryTest, BuiltInFormatsTakePrecedenceOverPlugins) {
    InstallTestPlugins();
    Counters* counters = TestCounters();
    ASSERT_NE(counters, nullptr);
    *counters = {};
    ImageFile file;
    // The test plug-in also lists "bmp" but never receives BMP files.
    ASSERT_TRUE(Load(&file, Put("a.BMP", SmallBmp())));
    EXPECT_EQ(std::u16string(file.image.formatText), u"Uncompressed");
    EXPECT_EQ(file.provider, library_.Provider(0));
    EXPECT_EQ(counters->loads, 0);
    // Its own extension goes to it, with the host's tag and the flags.
    ASSERT_TRUE(Load(&file, Put("b.kst", {1, 2, 3}), 0x104));
    EXPECT_EQ(std::u16string(file.image.formatText), u"test plug-in");
    EXPECT_EQ(file.bitsPerPixel, 24);
    EXPECT_EQ(counters->loads, 1);
    EXPECT_EQ(counters->lastTag, kLoadTag);
    EXPECT_EQ(counters->lastFlags, 0x104u);
    // Unloading calls the plug-in's delete entry and resets the image.
    file.Unload();
    EXPECT_EQ(counters->deletes, 1);
    EXPECT_EQ(file.image.header, nullptr);
    EXPECT_EQ(file.provider, ProviderOf("RImgTest.dll"));  // kept after unloading
}

TEST_F(LibraryTest, AFaultInsideAPluginIsError2) {
    if (!platform::FaultGuardEnabled()) GTEST_SKIP() << "the sanitizer build has no fault guard";
    InstallTestPlugins();
    ImageFile file;
    EXPECT_FALSE(Load(&file, Put("crash.fault", {0})));
    EXPECT_EQ(file.lastError, kLoadFault);
    EXPECT_EQ(file.image.header, nullptr);
    // The library still works afterwards.
    EXPECT_TRUE(Load(&file, Put("fine.kst", {0})));
}

TEST_F(LibraryTest, FilesWithoutAProviderOrFileGiveTheirErrors) {
    ImageFile file;
    EXPECT_FALSE(Load(&file, Put("archive.tar.gz", {1})));
    EXPECT_EQ(file.lastError, kLoadNoHandler);
    EXPECT_FALSE(Load(&file, Put("noextension", {1})));
    EXPECT_EQ(file.lastError, kLoadNoHandler);
    EXPECT_FALSE(Load(&file, u"\\missing.bmp"));
    EXPECT_EQ(file.lastError, kLoadCannotOpen);
    // Rows whose decoders belong to later work answer 9.
    for (const char* name : {"a.mpg", "a.avi", "a.mov", "a.wmv", "a.mp3", "a.dcm", "a.url"}) {
        EXPECT_FALSE(Load(&file, Put(name, {1, 2, 3})));
        EXPECT_EQ(file.lastError, kLoadNoHandler) << name;
    }
}

TEST_F(LibraryTest, AFailedLoadLeavesTheImageResetWithItsAdjustment) {
    auto* adjustment = reinterpret_cast<DisplayAdjustment*>(0x4242);
    ImageFile file;
    file.InitImageFile();
    file.image.adjustment = adjustment;
    EXPECT_TRUE(file.LoadFromPath(Put("ok.bmp", SmallBmp()).c_str(), 0));
    EXPECT_EQ(file.image.adjustment, adjustment);
    EXPECT_FALSE(file.LoadFromPath(Put("bad.bmp", {'B', 'M'}).c_str(), 0));
    EXPECT_EQ(file.lastError, kLoadReadError);
    EXPECT_EQ(file.image.header, nullptr);
    EXPECT_EQ(file.image.adjustment, adjustment);
    file.image.adjustment = nullptr;
}

int gInitialised = 0;

TEST_F(LibraryTest, ASuccessfulBuiltInLoadInitialisesTheAdjustment) {
    gInitialised = 0;
    SetAdjustmentHooks(nullptr, [](RImage* image) {
        ++gInitialised;
        EXPECT_NE(image->header, nullptr);
    });
    ImageFile file;
    file.InitImageFile();
    file.image.adjustment = reinterpret_cast<DisplayAdjustment*>(0x4343);
    EXPECT_TRUE(file.LoadFromPath(Put("ok.bmp", SmallBmp()).c_str(), 0));
    EXPECT_EQ(gInitialised, 1);
    file.image.adjustment = nullptr;
    EXPECT_TRUE(file.LoadFromPath(nullptr, 0));  // filePath again, no adjustment
    EXPECT_EQ(gInitialised, 1);
    SetAdjustmentHooks(nullptr, nullptr);
    file.Unload();
}

TEST_F(LibraryTest, PageOneOfASinglePageFileIsOutOfRange) {
    ImageFile file;
    ASSERT_TRUE(Load(&file, Put("one.bmp", SmallBmp())));
    EXPECT_EQ(file.image.pageCount, 1u);
    EXPECT_EQ(file.LoadPage(1), kLoadIndexOutOfRange);
    EXPECT_EQ(file.LoadPage(0), kLoadIndexOutOfRange);  // no page loader either
    file.Unload();
}

int gFetchIndex = -100;
BYTE* gFetchPixels = nullptr;

TEST_F(LibraryTest, FramesAreFetchedOnlyFromMultiFrameImages) {
    ImageFile file;
    ASSERT_TRUE(Load(&file, Put("movie.bmp", SmallBmp())));
    // A still image: no frame source, or one with a single slot.
    EXPECT_EQ(file.LoadFrame(nullptr, 1, 0, 0), 0);
    FrameSource* source = AllocateFrameSource(1);
    source->fetch = [](HANDLE, FrameSource*, DisplayAdjustment*, int) { return -7; };
    file.image.frameSource = source;
    EXPECT_EQ(file.LoadFrame(nullptr, 0, 0, 0), 0);
    // Two slots: the fetch runs with slot 0 pointed at the image's pixels.
    FreeFrameSource(source);
    source = AllocateFrameSource(2);
    source->fetch = [](HANDLE, FrameSource* s, DisplayAdjustment*, int index) {
        gFetchIndex = index;
        gFetchPixels = s->Slots()[0].pixels;
        return 5;
    };
    file.image.frameSource = source;
    EXPECT_EQ(file.LoadFrame(nullptr, -1, 0, 0), 5);
    EXPECT_EQ(gFetchIndex, -1);
    EXPECT_EQ(gFetchPixels, file.image.pixels);
    EXPECT_EQ(source->Slots()[0].pixels, nullptr);  // only while the fetch runs
    file.Unload();  // frees the frame source with the image
    EXPECT_EQ(file.image.frameSource, nullptr);
}

TEST_F(LibraryTest, AbortAllReachesEveryProvider) {
    InstallTestPlugins();
    Counters* counters = TestCounters();
    ASSERT_NE(counters, nullptr);
    counters->aborts = 0;
    ClearAbortFlag();
    library_.AbortAll();
    EXPECT_TRUE(AbortFlagSet());
    EXPECT_EQ(counters->aborts, 1);
    // The next load clears the flag again.
    ImageFile file;
    EXPECT_TRUE(Load(&file, Put("x.bmp", SmallBmp())));
    EXPECT_FALSE(AbortFlagSet());
    file.Unload();
}

TEST_F(LibraryTest, ExtensionListAndFormatNames) {
    std::u16string list;
    ASSERT_TRUE(library_.ExtensionList(&list));
    EXPECT_EQ(list.substr(0, 12), std::u16string(u"2bp\0bmp\0img\0", 12));
    EXPECT_EQ(list.back(), u'\0');
    EXPECT_EQ(list.substr(list.size() - 6), std::u16string(u"\0url\0\0", 6));
    EXPECT_NE(list.find(std::u16string(u"\0dcm\0", 5)), std::u16string::npos);
    InstallTestPlugins();
    ASSERT_TRUE(library_.ExtensionList(&list));
    EXPECT_NE(list.find(std::u16string(u"\0kst\0", 5)), std::u16string::npos);
    EXPECT_NE(list.find(std::u16string(u"\0png\0", 5)), std::u16string::npos);
    EXPECT_EQ(list.substr(list.size() - 2), std::u16string(u"\0\0", 2));  // plug-in order is the folder's

    EXPECT_EQ(std::u16string(library_.FormatName(u"x.jpeg")), u"Standard JPEG Format");
    EXPECT_EQ(std::u16string(library_.FormatName(u"x.kst")), u"Test Format");
    EXPECT_EQ(std::u16string(library_.FormatName(u"x.png")), u"Portable Network Graphics");
    EXPECT_EQ(std::u16string(library_.FormatName(u"x.zzz")), u"Unknown Format Name");
    EXPECT_EQ(std::u16string(library_.FormatName(u"README")), u"Unknown Format Name");

    library_.TeardownLibrary();
    EXPECT_FALSE(library_.ExtensionList(&list));
}

TEST_F(LibraryTest, BuildingFromTheProgramFolderFindsThePngPlugin) {
    ImageLibrary library;
    ASSERT_TRUE(library.BuildLibrary());
    const FormatEntry* entry = nullptr;
    ImageProvider* provider = library.FindProvider(u"photo.PNG", &entry);
    ASSERT_NE(provider, nullptr);
    EXPECT_NE(provider->module, nullptr);
    EXPECT_EQ(std::u16string(entry->defaultExtension), u"png");
}

TEST_F(LibraryTest, DitherNeedsAnEightOrTwentyFourBitImage) {
    ImageFile file;
    file.InitImageFile();
    EXPECT_FALSE(library_.Dither(&file));
    ASSERT_TRUE(Load(&file, Put("d.bmp", SmallBmp())));
    EXPECT_TRUE(library_.Dither(&file));
    EXPECT_EQ(file.image.pixels[0] & 0x0F, 0);  // 0x33 -> 0x30 and a carried residue
    file.Unload();
    Bytes oneBit = ByteWriter().raw(BmpFileHeader(70, 62)).raw(InfoHeader(2, 2, 1)).u32(0).u32(0xFFFFFF)
                       .fill(8, 0).bytes;
    ASSERT_TRUE(Load(&file, Put("one.bmp", oneBit)));
    EXPECT_FALSE(library_.Dither(&file));
    file.Unload();
}

}  // namespace
