// The resource layer: kestrava.rc is embedded in this test executable and the
// test module carries its own script. Strings (16-string blocks, missing ids,
// the pointer form), raw records, bitmaps against their BMP source, icons,
// cursors, and malformed .res and BMP input refused without overruns.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "platform/device.h"
#include "res/res_file.h"
#include "resource.h"
#include "windows.h"

extern "C" const unsigned char* kestrava_resources(size_t* size);

namespace {

std::u16string Text(LPCWSTR text, size_t length) { return std::u16string(text, length); }

// ---- Strings ------------------------------------------------------------------------

struct StringCase {
    UINT id;
    const char16_t* expected;  // empty: the id has no string
};

const StringCase kStrings[] = {
    {IDS_TEST_FIRST, u"First"},
    {IDS_TEST_LAST_OF_BLOCK, u"Last of block"},      // last slot of block 1
    {IDS_TEST_FIRST_OF_BLOCK, u"First of next block"},  // first slot of block 2
    {IDS_TEST_LONG, u"A longer string for truncation"},
    {IDS_TEST_FAR, u"Far away"},
    {0, u""},    // the slot before the first string, inside block 1
    {2, u""},    // between strings of block 1
    {17, u""},   // absent from block 2
    {IDS_TEST_EMPTY, u""},
};

TEST(LoadStringTest, CopiesEachStringAndEmptiesMissingOnes) {
    for (const StringCase& c : kStrings) {
        SCOPED_TRACE(c.id);
        WCHAR buffer[64];
        buffer[0] = u'?';
        int length = LoadStringW(nullptr, c.id, buffer, 64);
        EXPECT_EQ(length, static_cast<int>(std::char_traits<char16_t>::length(c.expected)));
        EXPECT_EQ(std::u16string(buffer), c.expected);
        // The executable's handle names the same module as NULL.
        length = LoadStringW(GetModuleHandleW(nullptr), c.id, buffer, 64);
        EXPECT_EQ(std::u16string(buffer), c.expected);
    }
}

TEST(LoadStringTest, PointerFormReturnsTheResourceCharacters) {
    for (const StringCase& c : kStrings) {
        SCOPED_TRACE(c.id);
        LPCWSTR pointer = nullptr;
        int length = LoadStringW(nullptr, c.id, reinterpret_cast<LPWSTR>(&pointer), 0);
        size_t expected = std::char_traits<char16_t>::length(c.expected);
        ASSERT_EQ(length, static_cast<int>(expected));
        ASSERT_NE(pointer, nullptr);
        EXPECT_EQ(Text(pointer, expected), c.expected);
    }
    // The pointer lies inside the block's own data.
    HRSRC block = FindResourceW(nullptr, MAKEINTRESOURCEW(IDS_TEST_FIRST_OF_BLOCK / 16 + 1), RT_STRING);
    ASSERT_NE(block, nullptr);
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, block)));
    LPCWSTR pointer = nullptr;
    LoadStringW(nullptr, IDS_TEST_FIRST_OF_BLOCK, reinterpret_cast<LPWSTR>(&pointer), 0);
    const auto* at = reinterpret_cast<const uint8_t*>(pointer);
    EXPECT_GE(at, data);
    EXPECT_LT(at, data + SizeofResource(nullptr, block));
}

TEST(LoadStringTest, TruncatesToTheBufferAndAlwaysTerminates) {
    const struct {
        int bufferMax;
        const char16_t* expected;
    } cases[] = {{5, u"A lo"}, {2, u"A"}, {1, u""}, {31, u"A longer string for truncation"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bufferMax);
        WCHAR buffer[40];
        std::fill(std::begin(buffer), std::end(buffer), u'?');
        int length = LoadStringW(nullptr, IDS_TEST_LONG, buffer, c.bufferMax);
        EXPECT_EQ(length, static_cast<int>(std::char_traits<char16_t>::length(c.expected)));
        EXPECT_EQ(std::u16string(buffer), c.expected);
        EXPECT_EQ(buffer[c.bufferMax], u'?');  // nothing written past the buffer
    }
}

TEST(LoadStringTest, MissingBlockFailsWithNameNotFound) {
    WCHAR buffer[8] = u"keep";
    SetLastError(0);
    EXPECT_EQ(LoadStringW(nullptr, 500, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadStringW(nullptr, IDS_TEST_FIRST, nullptr, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// ---- Finding and loading raw resources ----------------------------------------------

TEST(FindResourceTest, RecordsComeBackByteForByte) {
    const struct {
        LPCWSTR name;
        LPCWSTR type;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {MAKEINTRESOURCEW(IDR_TEST_RECORD), RT_RCDATA, {1, 2, 3, 4, 'A', 'B'}},
        {u"#103", RT_RCDATA, {1, 2, 3, 4, 'A', 'B'}},  // the "#id" spelling
        {u"TestName", u"testtype", {'x', 'y', 'z'}},   // names ignore case
        {u"TESTNAME", u"TESTTYPE", {'x', 'y', 'z'}},
    };
    for (const auto& c : cases) {
        HRSRC resource = FindResourceW(nullptr, c.name, c.type);
        ASSERT_NE(resource, nullptr);
        ASSERT_EQ(SizeofResource(nullptr, resource), c.bytes.size());
        const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, resource)));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(std::vector<uint8_t>(data, data + c.bytes.size()), c.bytes);
    }
}

TEST(FindResourceTest, MenuAndDialogTemplatesArePresent) {
    HRSRC menu = FindResourceW(nullptr, MAKEINTRESOURCEW(IDM_TEST), RT_MENU);
    ASSERT_NE(menu, nullptr);
    const auto* words = static_cast<const WORD*>(LockResource(LoadResource(nullptr, menu)));
    ASSERT_GE(SizeofResource(nullptr, menu), 4u);
    EXPECT_EQ(words[0], 0);  // menu template version
    EXPECT_EQ(words[1], 0);  // header size

    HRSRC dialog = FindResourceW(nullptr, MAKEINTRESOURCEW(IDD_TEST), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    ASSERT_GE(SizeofResource(nullptr, dialog), 18u);
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(nullptr, dialog)));
    DWORD style;
    WORD items, cx, cy;
    std::memcpy(&style, bytes, 4);
    std::memcpy(&items, bytes + 8, 2);
    std::memcpy(&cx, bytes + 14, 2);
    std::memcpy(&cy, bytes + 16, 2);
    EXPECT_EQ(style & (WS_POPUP | WS_CAPTION), static_cast<DWORD>(WS_POPUP | WS_CAPTION));
    EXPECT_EQ(items, 3);
    EXPECT_EQ(cx, 120);
    EXPECT_EQ(cy, 60);
}

TEST(FindResourceTest, MissesSayWhatWasMissing) {
    const struct {
        LPCWSTR name;
        LPCWSTR type;
        DWORD error;
    } cases[] = {
        {MAKEINTRESOURCEW(999), RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"NOSUCH", u"TESTTYPE", ERROR_RESOURCE_NAME_NOT_FOUND},
        {MAKEINTRESOURCEW(1), RT_ACCELERATOR, ERROR_RESOURCE_TYPE_NOT_FOUND},
        {u"#x1", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {u"#99999", RT_RCDATA, ERROR_RESOURCE_NAME_NOT_FOUND},
        {nullptr, RT_RCDATA, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindResourceW(nullptr, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST(FindResourceTest, ForeignHandlesAreRefused) {
    int notAResource = 0;
    HRSRC bogus = reinterpret_cast<HRSRC>(&notAResource);
    SetLastError(0);
    EXPECT_EQ(LoadResource(nullptr, bogus), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SizeofResource(nullptr, bogus), 0u);
    EXPECT_EQ(LoadResource(nullptr, nullptr), nullptr);
}

// ---- Resources of loaded modules ----------------------------------------------------

using ModuleResourceTest = DeviceTest;

TEST_F(ModuleResourceTest, EachModuleReadsItsOwnResources) {
    HMODULE module = LoadLibraryW(u"KTestModule.dll");
    ASSERT_NE(module, nullptr);
    WCHAR buffer[32];
    EXPECT_EQ(LoadStringW(module, 1, buffer, 32), 15);
    EXPECT_EQ(std::u16string(buffer), u"From the module");
    EXPECT_EQ(LoadStringW(nullptr, 1, buffer, 32), 5);
    EXPECT_EQ(std::u16string(buffer), u"First");

    HRSRC record = FindResourceW(module, MAKEINTRESOURCEW(103), RT_RCDATA);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(SizeofResource(module, record), 6u);
    EXPECT_EQ(std::memcmp(LockResource(LoadResource(module, record)), "module", 6), 0);
    // A handle from one module means nothing in another.
    EXPECT_EQ(LoadResource(nullptr, record), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(ModuleResourceTest, ModuleWithoutResourcesHasNone) {
    HMODULE platformLibrary = LoadLibraryW(u"libkestrava_platform.so");
    ASSERT_NE(platformLibrary, nullptr);
    SetLastError(0);
    EXPECT_EQ(FindResourceW(platformLibrary, MAKEINTRESOURCEW(IDR_TEST_RECORD), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));
    EXPECT_TRUE(FreeLibrary(platformLibrary));

    int notAModule = 0;
    EXPECT_EQ(FindResourceW(reinterpret_cast<HMODULE>(&notAModule), MAKEINTRESOURCEW(1), RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// ---- Bitmaps, icons, cursors ----------------------------------------------------------

// Every pixel of test.bmp (see src/res/make-test-art.sh).
void ExpectTestPicture(HBITMAP bitmap) {
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
    EXPECT_EQ(info.bmWidth, 5);
    EXPECT_EQ(info.bmHeight, 3);
    EXPECT_EQ(info.bmBitsPixel, 24);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(GetPixel(dc, x, y), RGB(40 * x, 80 * y, 200)) << x << "," << y;
        }
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

using ImageTest = DeviceTest;

TEST_F(ImageTest, BitmapsMatchTheirBmpFile) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    ExpectTestPicture(LoadBitmapW(self, MAKEINTRESOURCEW(IDB_TEST)));
    ExpectTestPicture(static_cast<HBITMAP>(LoadImageW(self, MAKEINTRESOURCEW(IDB_TEST), IMAGE_BITMAP, 0, 0, 0)));
    std::u16string file = platform::HostToDevicePath(KESTRAVA_RES_DIR "/test.bmp");
    ExpectTestPicture(static_cast<HBITMAP>(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));

    SetLastError(0);
    EXPECT_EQ(LoadBitmapW(self, MAKEINTRESOURCEW(IDI_TEST)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(IDB_TEST)), nullptr);  // system bitmaps
}

TEST_F(ImageTest, MalformedBmpFilesAreRefused) {
    std::ifstream in(KESTRAVA_RES_DIR "/test.bmp", std::ios::binary);
    std::vector<char> good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(good.size(), 102u);
    auto with = [&](size_t offset, std::vector<char> bytes) {
        std::vector<char> file = good;
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(offset));
        return file;
    };
    const struct {
        const char* what;
        std::vector<char> bytes;
    } cases[] = {
        {"empty", {}},
        {"file header only", std::vector<char>(good.begin(), good.begin() + 14)},
        {"cut inside the info header", std::vector<char>(good.begin(), good.begin() + 40)},
        {"cut inside the pixels", std::vector<char>(good.begin(), good.end() - 1)},
        {"not BM", with(0, {'X', 'M'})},
        {"pixel offset past the end", with(10, {'\x00', '\x10', 0, 0})},
        {"pixel offset into the header", with(10, {20, 0, 0, 0})},
        {"info header larger than the file", with(14, {'\x00', '\x10', 0, 0})},
        {"huge width", with(18, {'\x00', '\x00', '\x01', 0})},
        {"zero height", with(22, {0, 0, 0, 0})},
        {"unknown bit count", with(28, {7, 0})},
        {"run-length compression", with(30, {1, 0, 0, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string host = Host("bad.bmp");
        std::ofstream(host, std::ios::binary).write(c.bytes.data(), static_cast<long>(c.bytes.size()));
        std::u16string file = platform::HostToDevicePath(host);
        SetLastError(0);
        EXPECT_EQ(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
        EXPECT_NE(GetLastError(), 0u);
    }
}

TEST(IconTest, IconResourceBecomesAnIcon) {
    HINSTANCE self = GetModuleHandleW(nullptr);
    HICON icons[] = {LoadIconW(self, MAKEINTRESOURCEW(IDI_TEST)),
                     static_cast<HICON>(LoadImageW(self, MAKEINTRESOURCEW(IDI_TEST), IMAGE_ICON, 16, 16, 0))};
    for (HICON icon : icons) {
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        EXPECT_TRUE(info.fIcon);
        ASSERT_NE(info.hbmColor, nullptr);
        BITMAP color{};
        GetObjectW(info.hbmColor, sizeof(color), &color);
        EXPECT_EQ(color.bmWidth, 16);
        EXPECT_EQ(color.bmHeight, 16);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, info.hbmColor);
        EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 128, 255));
        EXPECT_EQ(GetPixel(dc, 15, 15), RGB(0, 128, 255));
        SelectObject(dc, info.hbmMask);
        EXPECT_EQ(GetPixel(dc, 7, 7), RGB(0, 0, 0));  // opaque everywhere
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_TRUE(DestroyIcon(icon));
    }
    EXPECT_EQ(LoadIconW(self, MAKEINTRESOURCEW(IDR_TEST_RECORD)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST(CursorTest, SystemCursorsAreDistinctAndSetCursorReturnsThePrevious) {
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    ASSERT_NE(arrow, nullptr);
    ASSERT_NE(wait, nullptr);
    EXPECT_NE(arrow, wait);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), wait);
    EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(1)), nullptr);

    HCURSOR before = SetCursor(arrow);
    EXPECT_EQ(SetCursor(wait), arrow);
    EXPECT_EQ(GetCursor(), wait);
    EXPECT_EQ(SetCursor(arrow), wait);
    SetCursor(before);
}

// ---- Malformed .res files ------------------------------------------------------------

// Each cut of the real file either fails or lists only entries inside the cut.
// The bytes are copied to a buffer of exactly the cut's size so that the
// sanitizer build catches any read past it.
TEST(ResFileTest, EveryTruncationIsRefusedOrStaysInside) {
    size_t size = 0;
    const unsigned char* resources = kestrava_resources(&size);
    std::vector<platform::ResEntry> entries;
    ASSERT_EQ(platform::ParseResFile(resources, size, &entries), platform::ResError::kOk);
    size_t full = entries.size();
    ASSERT_GE(full, 8u);
    for (size_t cut = 0; cut < size; ++cut) {
        std::vector<uint8_t> bytes(resources, resources + cut);
        platform::ResError error = platform::ParseResFile(bytes.data(), bytes.size(), &entries);
        if (error != platform::ResError::kOk) continue;
        EXPECT_LE(entries.size(), full) << cut;
        for (const platform::ResEntry& e : entries) {
            EXPECT_LE(e.data + e.size, bytes.data() + bytes.size()) << cut;
        }
    }
}

// A .res of one empty lead entry and one RCDATA entry, with its fields listed.
std::vector<uint8_t> OneRecord() {
    return {
        0, 0, 0, 0,  32, 0, 0, 0,        // lead entry: data size 0, header size 32
        0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0,  // type 0, name 0
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        4, 0, 0, 0,  32, 0, 0, 0,        // data size 4, header size 32
        0xFF, 0xFF, 10, 0, 0xFF, 0xFF, 7, 0,  // RT_RCDATA, id 7
        0, 0, 0, 0, 0x30, 0, 0x09, 0x04, 0, 0, 0, 0, 0, 0, 0, 0,
        'd', 'a', 't', 'a',
    };
}

std::vector<uint8_t> Patched(size_t offset, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> file = OneRecord();
    std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<long>(offset));
    return file;
}

TEST(ResFileTest, MalformedHeadersGetTheirOwnCode) {
    using platform::ResError;
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        ResError expected;
    } cases[] = {
        {"well formed", OneRecord(), ResError::kOk},
        {"empty", {}, ResError::kNotResFile},
        {"data size past the end", Patched(32, {5, 0, 0, 0}), ResError::kTruncated},
        {"data size near 4 GiB", Patched(32, {0xFF, 0xFF, 0xFF, 0xFF}), ResError::kTruncated},
        {"header size past the end", Patched(36, {64, 0, 0, 0}), ResError::kTruncated},
        {"header size near 4 GiB", Patched(36, {0xFC, 0xFF, 0xFF, 0xFF}), ResError::kTruncated},
        {"header size below the minimum", Patched(36, {8, 0, 0, 0}), ResError::kBadHeader},
        {"name string runs out of header", Patched(40, std::vector<uint8_t>(24, 'A')), ResError::kBadName},
        {"empty name string", Patched(44, {0, 0}), ResError::kBadName},
        {"lead entry carries data", Patched(0, {4, 0, 0, 0}), ResError::kNotResFile},
        {"lead entry has a type", Patched(10, {6, 0}), ResError::kNotResFile},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<platform::ResEntry> entries;
        std::vector<uint8_t> bytes = c.bytes;  // exact size for the sanitizer
        EXPECT_EQ(platform::ParseResFile(bytes.data(), bytes.size(), &entries), c.expected)
            << platform::ResErrorText(platform::ParseResFile(bytes.data(), bytes.size(), &entries));
        if (c.expected == ResError::kOk) {
            ASSERT_EQ(entries.size(), 1u);
            EXPECT_EQ(entries[0].type.id, 10);
            EXPECT_EQ(entries[0].name.id, 7);
            EXPECT_EQ(entries[0].language, 0x0409);
            EXPECT_EQ(std::memcmp(entries[0].data, "data", 4), 0);
        }
    }
}

}  // namespace
