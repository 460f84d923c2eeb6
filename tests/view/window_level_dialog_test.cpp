// The window/level dialog: its arithmetic from a table of cases (ranges,
// thumbnail geometry, levelValue, bounds, slider ranges, peak cut, bar
// columns, histograms at every depth), the preview against the real decode
// of the chosen window for CT, MR with slope 2, MONOCHROME1 CR, 8-bit and
// 24-bit pictures, and the real dialog on the headless screen: OK writes the
// attachment and drops the decoded image, Close changes nothing, the palette
// list, presets and "Auto".
#include <commctrl.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "album/image_album.h"
#include "album/image_entry.h"
#include "dialog_fixture.h"
#include "image/rimage.h"
#include "res/resource.h"
#include "view/adjustment_attachment.h"
#include "view/window_level_dialog.h"
#include "view/window_presets.h"

namespace {

using namespace dialog_test;

constexpr const char16_t* kCaption = u"Adjust Colors...";

TEST(ThumbnailGeometryTest, TheCentralSquareFillsTheBox) {
    struct Case {
        int width, height, top;
        ThumbnailGeometry expected;
    };
    const Case cases[] = {
        {512, 512, 12, {1, 12, 114, 0, 0, 512}},
        {2048, 2500, 12, {1, 12, 114, 0, 226, 2048}},
        {300, 100, 12, {1, 12, 114, 100, 0, 100}},
        {1, 1, 12, {1, 12, 114, 0, 0, 1}},
        {1, 10000, 12, {1, 12, 114, 0, 4999, 1}},
        {64, 64, 1, {1, 1, 114, 0, 0, 64}},
        {0, 10, 12, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const ThumbnailGeometry g = ComputeThumbnailGeometry(c.width, c.height, c.top);
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(g.thumbX, c.expected.thumbX);
        EXPECT_EQ(g.thumbY, c.expected.thumbY);
        EXPECT_EQ(g.thumbSize, c.expected.thumbSize);
        EXPECT_EQ(g.cropX, c.expected.cropX);
        EXPECT_EQ(g.cropY, c.expected.cropY);
        EXPECT_EQ(g.cropSize, c.expected.cropSize);
    }
}

// An entry's adjustment after a decode, and the preview's.
struct Adjustments {
    DisplayAdjustment entry;
    DisplayAdjustment preview;
};
Adjustments Make(int32_t center, int32_t width, float intercept, float slope, int32_t smallest,
                 int32_t largest, int32_t minValue, int32_t maxValue, DWORD photometric,
                 int32_t fileCenter, int32_t fileWidth) {
    Adjustments a;
    InitAdjustment(&a.entry);
    a.entry.center = center;
    a.entry.width = width;
    a.entry.rescaleIntercept = intercept;
    a.entry.rescaleSlope = slope;
    a.entry.smallest = smallest;
    a.entry.largest = largest;
    a.entry.minValue = minValue;
    a.entry.maxValue = maxValue;
    a.entry.photometric = photometric;
    a.entry.fileCenter = fileCenter;
    a.entry.fileWidth = fileWidth;
    a.entry.bitsStored = 12;
    a.entry.bitsAllocated = 16;
    a.preview = a.entry;
    a.preview.autoWindow = 1;
    return a;
}

TEST(WindowLevelStateTest, RangesWindowsAndSlidersFollowTheSamples) {
    struct Case {
        const char* name;
        Adjustments a;
        int bpp;
        bool autoWindow;
        int32_t rangeLow, rangeHigh, rangeWidth;
        int32_t windowLow, windowHigh;
        int32_t levelMin, levelMax, widthMax;
        int32_t center, width;
        int paletteEntries;
        int32_t level0, level128, level255;
    };
    const Case cases[] = {
        // CT 40/400 with intercept -1024: the level slider from rangeLow - 1024,
        // the ramp from 864 to 1264 on the stored axis.
        {"ct", Make(40, 400, -1024, 1, 0, 2000, 0, 4095, 2, 40, 400), 8, false,
         0, 3000, 3000, 864, 1264, -1024, 1976, 3000, 40, 400, 256, 0, 1000, 1992},
        // "Auto" on the same CT: the window covers the sample range.
        {"ct auto", Make(40, 400, -1024, 1, 0, 2000, 0, 4095, 2, 40, 400), 8, true,
         0, 3000, 3000, 0, 2000, -1024, 1976, 3000, -24, 2000, 256, 0, 1000, 1992},
        // MR with slope 2: sliders in real units, the window back in stored ones.
        {"mr slope 2", Make(1000, 1000, 10, 2, 0, 1000, 0, 4095, 2, 1000, 1000), 8, false,
         0, 1500, 1500, 245, 745, 10, 3010, 3000, 1000, 1000, 256, 0, 500, 996},
        {"mr slope 2 auto", Make(1000, 1000, 10, 2, 0, 1000, 0, 4095, 2, 1000, 1000), 8, true,
         0, 1500, 1500, 0, 1000, 10, 3010, 3000, 1010, 2000, 256, 0, 500, 996},
        // MONOCHROME1: the preview arrives inverted, its levels run backwards;
        // the centre is mirrored about the file's as the decoder does.
        {"cr mono1", Make(1000, 1000, 0, 1, 0, 4000, 0, 4095, 1, 2048, 4096), 8, false,
         0, 4095, 4095, 2596, 3596, 0, 4095, 4095, 1000, 1000, 256, 3984, 1984, 0},
        {"cr mono1 auto", Make(1000, 1000, 0, 1, 0, 4000, 0, 4095, 1, 2048, 4096), 8, true,
         0, 4095, 4095, 0, 4000, 0, 4095, 4095, 2096, 4000, 256, 3984, 1984, 0},
        // A flat image: no range, one sample wide.
        {"flat", Make(100, 1, 0, 1, 100, 100, 0, 65535, 2, 100, 1), 8, false,
         100, 100, 1, 99, 100, 100, 100, 1, 100, 1, 256, 100, 100, 100},
        // An 8-bit picture: levels stand for themselves.
        {"grey8", Make(0, 0, 0, 1, 0, 255, 0, 255, 0, 128, 256), 8, false,
         0, 255, 255, 0, 256, 0, 255, 255, 128, 256, 256, 0, 128, 255},
        // A 24-bit picture: no palette entries.
        {"photo24", Make(0, 0, 0, 1, 0, 255, 0, 255, 0, 128, 256), 24, false,
         0, 255, 255, 0, 256, 0, 255, 255, 128, 256, 0, 0, 128, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WindowLevelState state = {};
        InitWindowLevelState(&state, c.a.entry, c.a.preview, 64, 64, c.bpp);
        if (c.autoWindow) AutoWindow(&state);
        EXPECT_EQ(state.rangeLow, c.rangeLow);
        EXPECT_EQ(state.rangeHigh, c.rangeHigh);
        EXPECT_EQ(state.rangeWidth, c.rangeWidth);
        EXPECT_EQ(state.windowLow, c.windowLow);
        EXPECT_EQ(state.windowHigh, c.windowHigh);
        int32_t widthMin, widthMax, levelMin, levelMax;
        SliderRanges(state, &widthMin, &widthMax, &levelMin, &levelMax);
        EXPECT_EQ(widthMin, 0);
        EXPECT_EQ(widthMax, c.widthMax);
        EXPECT_EQ(levelMin, c.levelMin);
        EXPECT_EQ(levelMax, c.levelMax);
        EXPECT_EQ(state.center, c.center);
        EXPECT_EQ(state.width, c.width);
        EXPECT_EQ(state.paletteEntries, c.paletteEntries);
        EXPECT_EQ(state.levelValue[0], c.level0);
        EXPECT_EQ(state.levelValue[128], c.level128);
        EXPECT_EQ(state.levelValue[255], c.level255);
        EXPECT_EQ(state.thumb.thumbSize, 114);
        EXPECT_EQ(state.thumb.thumbY, 12);
        // A flat image still draws: every sample maps somewhere.
        (void)PreviewLevel(state, state.levelValue[0]);
        ReleaseWindowLevelState(&state);
    }
}

TEST(WindowLevelStateTest, OriginalReturnsToTheFileWindowInGrey) {
    Adjustments a = Make(300, 100, -1024, 1, 0, 2000, 0, 4095, 2, 40, 400);
    a.entry.negative = 1;
    a.entry.palette = 5;
    WindowLevelState state = {};
    InitWindowLevelState(&state, a.entry, a.preview, 10, 10, 8);
    EXPECT_TRUE(state.negative);
    EXPECT_EQ(state.palette, 5);
    OriginalWindow(&state);
    EXPECT_FALSE(state.negative);
    EXPECT_EQ(state.palette, 0);
    EXPECT_EQ(state.center, 40);
    EXPECT_EQ(state.width, 400);
    // A palette of -1 (none) is shown as Grayscale.
    a.entry.palette = -1;
    InitWindowLevelState(&state, a.entry, a.preview, 10, 10, 8);
    EXPECT_EQ(state.palette, 0);
}

TEST(WindowLevelStateTest, FivePeaksAreCutToTheSixthUnlessThereAreSixLevelsOrFewer) {
    struct Case {
        std::vector<std::pair<int, uint32_t>> bins;
        uint32_t peak;
        std::vector<std::pair<int, uint32_t>> after;
    };
    const Case cases[] = {
        // A black background: bin 0 holds most pixels.
        {{{0, 100000}, {10, 50}, {20, 60}, {30, 70}, {40, 80}, {50, 9}, {60, 5}},
         9,
         {{0, 9}, {10, 9}, {20, 9}, {30, 9}, {40, 9}, {50, 9}, {60, 5}}},
        // Ties: the first one counts first.
        {{{5, 7}, {6, 7}, {7, 7}, {8, 7}, {9, 7}, {10, 7}, {11, 3}},
         7,
         {{5, 7}, {10, 7}, {11, 3}}},
        // Three levels: nothing is cut, the tallest fills the area.
        {{{0, 10}, {128, 20}, {255, 30}}, 30, {{0, 10}, {128, 20}, {255, 30}}},
        // Nothing at all: a height of one keeps the division safe.
        {{}, 1, {}},
    };
    for (const Case& c : cases) {
        uint32_t bins[256] = {};
        for (auto [i, n] : c.bins) bins[i] = n;
        EXPECT_EQ(CutPeaks(bins), c.peak);
        for (auto [i, n] : c.after) EXPECT_EQ(bins[i], n) << i;
    }
}

TEST(WindowLevelStateTest, BarColumnsAverageOrRepeatTheirBins) {
    uint32_t bins[256];
    for (int i = 0; i < 256; ++i) bins[i] = static_cast<uint32_t>(i * 2);
    struct Case {
        int k, n, m;
        uint32_t value;
    };
    const Case cases[] = {
        {0, 128, 1, 2},      // bins 0..2 averaged, m in their middle
        {127, 128, 254, 509},  // bins 254..255: t is capped at 255
        {0, 512, 0, 0},      // two columns per bin repeat it
        {1, 512, 0, 1},      // m 0, t 1: averaged
        {511, 512, 255, 510},
        {0, 1, 127, 255},    // one column for everything
    };
    for (const Case& c : cases) {
        int m = -1;
        uint32_t value = 0;
        BarColumn(bins, c.k, c.n, &m, &value);
        EXPECT_EQ(m, c.m) << c.k << "/" << c.n;
        EXPECT_EQ(value, c.value) << c.k << "/" << c.n;
    }
}

// A bottom-up DIB of the given depth in one block: header, table, pixels.
struct Dib {
    std::vector<BYTE> bytes;
    BITMAPINFOHEADER* Header() { return reinterpret_cast<BITMAPINFOHEADER*>(bytes.data()); }
    BYTE* Pixels() { return bytes.data() + pixelOffset; }
    size_t pixelOffset = 0;
};
Dib MakeDib(int width, int height, int bpp, const std::vector<BYTE>& pixels) {
    Dib dib;
    const size_t table = bpp <= 8 ? (1u << bpp) * 4 : bpp == 16 ? 12 : 0;
    const size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
    dib.pixelOffset = sizeof(BITMAPINFOHEADER) + table;
    dib.bytes.assign(dib.pixelOffset + stride * height, 0);
    BITMAPINFOHEADER* h = dib.Header();
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bpp);
    if (bpp <= 8) {
        RGBQUAD* colours = reinterpret_cast<RGBQUAD*>(dib.bytes.data() + sizeof(BITMAPINFOHEADER));
        for (int i = 0; i < (1 << bpp); ++i) {
            const BYTE v = static_cast<BYTE>(i * 255 / ((1 << bpp) - 1));
            colours[i] = {v, v, v, 0};
        }
    }
    std::memcpy(dib.Pixels(), pixels.data(), std::min(pixels.size(), stride * height));
    return dib;
}

TEST(WindowLevelStateTest, HistogramsReadPixelsAtTheirRealDepth) {
    struct Case {
        const char* name;
        int width, height, bpp;
        std::vector<BYTE> pixels;
        std::vector<std::pair<int, uint32_t>> bins;  // before the cut (six levels or fewer)
    };
    const Case cases[] = {
        {"1x1 8-bit", 1, 1, 8, {200, 0, 0, 0}, {{200, 1}}},
        {"4-bit", 2, 1, 4, {0x0F, 0, 0, 0}, {{0, 1}, {255, 1}}},
        {"1-bit", 8, 1, 1, {0xF0, 0, 0, 0}, {{0, 4}, {255, 4}}},
        {"16-bit 5-5-5", 2, 1, 16, {0xFF, 0x7F, 0x00, 0x00}, {{255, 1}, {0, 1}}},
        {"24-bit", 1, 1, 24, {0, 0, 255, 0}, {{76, 1}}},        // pure red
        {"32-bit", 2, 1, 32, {255, 0, 0, 0, 0, 255, 0, 0}, {{29, 1}, {149, 1}}},
        {"1x10000 8-bit", 1, 10000, 8, std::vector<BYTE>(40000, 7), {{7, 10000}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Dib dib = MakeDib(c.width, c.height, c.bpp, c.pixels);
        Adjustments a = Make(0, 0, 0, 1, 0, 255, 0, 255, 0, 128, 256);
        WindowLevelState state = {};
        InitWindowLevelState(&state, a.entry, a.preview, c.width, c.height, c.bpp);
        ComputeHistogram(&state, dib.Header(), dib.Pixels());
        ASSERT_NE(state.bins, nullptr);
        uint32_t total = 0;
        for (int i = 0; i < 256; ++i) total += state.bins[i];
        uint32_t expectedTotal = 0;
        for (auto [i, n] : c.bins) {
            EXPECT_EQ(state.bins[i], n) << i;
            expectedTotal += n;
        }
        EXPECT_EQ(total, expectedTotal);
        ReleaseWindowLevelState(&state);
    }
}

// ---- With the real decoder ----

class WindowLevelDecodeTest : public DialogTest {
protected:
    // Decodes a fixture through the image library with `adjustment`.
    bool Decode(const std::string& name, DisplayAdjustment* adjustment, ImageFile* file) {
        file->InitImageFile();
        file->image.adjustment = adjustment;
        return file->LoadFromPath(Fixtures().Device(name).c_str(), 0);
    }
};

TEST_F(WindowLevelDecodeTest, ThePreviewShowsWhatOkGives) {
    struct Case {
        const char* file;
        int32_t center, width;
        bool negative;
        int palette;
    };
    const Case cases[] = {
        {"ct.dcm", 40, 400, false, -1},
        {"ct.dcm", -600, 1500, true, -1},
        {"mr_slope2.dcm", 1000, 1000, false, -1},
        {"cr_mono1.dcm", 1500, 1000, false, -1},
        {"cr_mono1.dcm", 1500, 1000, true, -1},
        {"grey8.bmp", 100, 100, false, 0},
        {"photo24.bmp", 128, 128, false, -1},
        {"photo24.bmp", 60, 90, true, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.center) + "/" +
                     std::to_string(c.width));
        DisplayAdjustment entry;
        InitAdjustment(&entry);
        entry.center = c.center;
        entry.width = c.width;
        entry.negative = c.negative;
        entry.palette = c.palette;
        ImageFile result;
        ASSERT_TRUE(Decode(c.file, &entry, &result));
        DisplayAdjustment copy = entry;
        copy.autoWindow = 1;
        copy.applied = 0;
        ImageFile preview;
        ASSERT_TRUE(Decode(c.file, &copy, &preview));
        const BITMAPINFOHEADER* h = preview.image.header;
        ASSERT_EQ(h->biBitCount, result.image.header->biBitCount);
        WindowLevelState state = {};
        InitWindowLevelState(&state, entry, copy, h->biWidth, std::abs(h->biHeight), h->biBitCount);
        // One preview level stands for this many stored values, each moving
        // the output by the window's scale.
        const double perLevel =
            std::max(1.0, (static_cast<double>(copy.largest) - copy.smallest) / 256.0);
        const int tolerance = static_cast<int>(std::ceil(perLevel * state.result.scale)) + 1;
        const size_t bytes = DibImageSize(h->biWidth, h->biHeight, h->biBitCount);
        int worst = 0;
        for (size_t i = 0; i < bytes; ++i) {
            const int expected = result.image.pixels[i];
            const int got = PreviewLevel(state, state.levelValue[preview.image.pixels[i]]);
            worst = std::max(worst, std::abs(expected - got));
        }
        EXPECT_LE(worst, tolerance);
        ReleaseWindowLevelState(&state);
        result.Unload();
        preview.Unload();
    }
}

TEST_F(WindowLevelDecodeTest, TheFileWindowsAreOfferedWithTheCtPresets) {
    FileWindows windows;
    ASSERT_TRUE(ReadFileWindows(Fixtures().Device("ct.dcm").c_str(), &windows));
    EXPECT_TRUE(windows.hounsfield);
    std::vector<WindowPreset> presets = WindowPresets(windows);
    ASSERT_EQ(presets.size(), 8u);
    EXPECT_EQ(presets[0].name, u"BRAIN");
    EXPECT_EQ(presets[0].center, 40);
    EXPECT_EQ(presets[1].name, u"LUNG");
    EXPECT_EQ(presets[1].center, -600);
    EXPECT_EQ(presets[1].width, 1500);
    EXPECT_EQ(presets[3].name, u"Lung");
    EXPECT_EQ(presets[7].name, u"Bone");
    EXPECT_EQ(presets[7].center, 400);
    EXPECT_EQ(presets[7].width, 1800);

    ASSERT_TRUE(ReadFileWindows(Fixtures().Device("mr_slope2.dcm").c_str(), &windows));
    EXPECT_FALSE(windows.hounsfield);
    presets = WindowPresets(windows);
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0].name, u"1000.0/1000.0");  // as the file writes them

    // Text with a DICOM name reads as a few nonsense elements: no windows.
    ReadFileWindows(Fixtures().Device("info_text.dcm").c_str(), &windows);
    EXPECT_TRUE(WindowPresets(windows).empty());
    EXPECT_FALSE(ReadFileWindows(Fixtures().Device("no_such_file.dcm").c_str(), &windows));

    FileWindows parsed;
    ParseFileWindows("40\\ x \\-600.7", "400\\10\\1500", "A", &parsed);
    ASSERT_EQ(parsed.windows.size(), 2u);
    EXPECT_EQ(parsed.windows[0].name, u"A");
    EXPECT_EQ(parsed.windows[1].center, -600);
    EXPECT_EQ(parsed.windows[1].name, u"-600.7/1500");
}

// ---- The real dialog ----

class WindowLevelDialogTest : public DialogTest {
protected:
    void TearDown() override {
        album_.Clear();  // its images go back to the library before the library goes
        DialogTest::TearDown();
    }
    // An album of one fixture, decoded as the loader decodes it.
    ImageEntry* Load(const std::string& name) {
        ImageEntry* entry = album_.Append(Fixtures().Device(name).c_str());
        album_.current = 0;
        entry->image = new ImageFile;
        entry->image->InitImageFile();
        auto* adjustment = new DisplayAdjustment;
        InitAdjustment(adjustment);
        entry->image->image.adjustment = adjustment;
        EXPECT_TRUE(entry->image->LoadFromPath(Fixtures().Device(name).c_str(), 0));
        entry->loadState = kDecoded;
        return entry;
    }
    static std::u16string Text(int id) {
        WCHAR text[64] = {};
        GetDlgItemTextW(FindWindowW(nullptr, kCaption), id, text, 64);
        return text;
    }
    static Step Select(int id, int index) {
        return [id, index] {
            HWND dialog = FindWindowW(nullptr, kCaption);
            SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
            return true;
        };
    }
    bool Run(std::vector<Step> steps) {
        steps.insert(steps.begin(), WaitForWindow(kCaption));
        return Drive(steps, [&] { return OpenWindowLevelDialog(&album_, 0, owner_); });
    }
    ImageAlbum album_;
};

TEST_F(WindowLevelDialogTest, HotIronOnAnEightBitPictureIsStoredByOk) {
    ImageEntry* entry = Load("grey8.bmp");
    EXPECT_TRUE(Run({Check([] {
                         EXPECT_TRUE(IsWindowEnabled(
                             GetDlgItem(FindWindowW(nullptr, kCaption), IDC_WL_PALETTE)));
                         EXPECT_EQ(Text(IDC_WL_PALETTE), u"Grayscale");
                     }),
                     Select(IDC_WL_PALETTE, 2), End(kCaption, IDOK)}));
    EXPECT_EQ(entry->image, nullptr);
    EXPECT_EQ(entry->loadState, kNotDecoded);
    DWORD size = 0;
    const BYTE* data = entry->Attachment(kAttachmentAdjustment, &size);
    AdjustmentAttachment stored;
    ASSERT_TRUE(ReadAdjustmentAttachment(data, size, &stored));
    EXPECT_EQ(size, kAdjustmentAttachmentSize);
    EXPECT_EQ(stored.palette, 2);
    EXPECT_EQ(stored.center, 128);
    EXPECT_EQ(stored.width, 256);
    EXPECT_EQ(stored.negative, 0);
}

TEST_F(WindowLevelDialogTest, CloseChangesNothing) {
    ImageEntry* entry = Load("ct.dcm");
    ImageFile* image = entry->image;
    EXPECT_FALSE(Run({Select(IDC_WL_PALETTE, 3), Command(kCaption, IDC_WL_NEGATIVE),
                      End(kCaption, IDCANCEL)}));
    EXPECT_EQ(entry->image, image);
    DWORD size = 0;
    EXPECT_EQ(entry->Attachment(kAttachmentAdjustment, &size), nullptr);
}

TEST_F(WindowLevelDialogTest, PresetsAutoAndOriginalMoveBothSliders) {
    ImageEntry* entry = Load("ct.dcm");
    std::vector<std::pair<std::u16string, std::u16string>> seen;
    auto note = [&] { seen.push_back({Text(IDC_WL_WIDTH_VALUE), Text(IDC_WL_LEVEL_VALUE)}); };
    EXPECT_TRUE(Run({Check(note), Select(IDC_WL_PRESETS, 2), Check(note),
                     Command(kCaption, IDC_WL_AUTO), Check(note),
                     Command(kCaption, IDC_WL_ORIGINAL), Check(note), Select(IDC_WL_PRESETS, 8),
                     Check(note), End(kCaption, IDOK)}));
    const std::vector<std::pair<std::u16string, std::u16string>> expected = {
        {u"400", u"40"}, {u"1500", u"-600"}, {u"2000", u"-24"}, {u"400", u"40"},
        {u"1800", u"400"}};
    EXPECT_EQ(seen, expected);
    DWORD size = 0;
    AdjustmentAttachment stored;
    const BYTE* data = entry->Attachment(kAttachmentAdjustment, &size);
    ASSERT_TRUE(ReadAdjustmentAttachment(data, size, &stored));
    EXPECT_EQ(stored.center, 400);
    EXPECT_EQ(stored.width, 1800);
}

TEST_F(WindowLevelDialogTest, AColourPhotoHasNoPaletteList) {
    Load("photo24.bmp");
    EXPECT_FALSE(Run({Check([] {
                          EXPECT_FALSE(IsWindowEnabled(
                              GetDlgItem(FindWindowW(nullptr, kCaption), IDC_WL_PALETTE)));
                          EXPECT_FALSE(IsWindowEnabled(
                              GetDlgItem(FindWindowW(nullptr, kCaption), IDC_WL_PRESETS)));
                      }),
                      End(kCaption, IDCANCEL)}));
}

TEST_F(WindowLevelDialogTest, PicturesBelowEightBitsGetTheMessageOnly) {
    ImageEntry* entry = Load("grey4.bmp");
    ASSERT_EQ(entry->image->image.header->biBitCount, 4);
    std::u16string shown;
    EXPECT_FALSE(Drive({WaitForWindow(u"ERROR"), Check([&] {
                            EnumChildWindows(
                                FindWindowW(nullptr, u"ERROR"),
                                [](HWND child, LPARAM p) {
                                    WCHAR text[256] = {};
                                    GetWindowTextW(child, text, 256);
                                    *reinterpret_cast<std::u16string*>(p) += text;
                                    return TRUE;
                                },
                                reinterpret_cast<LPARAM>(&shown));
                            EXPECT_EQ(FindWindowW(nullptr, kCaption), nullptr);
                        }),
                        End(u"ERROR", IDOK)},
                       [&] { return OpenWindowLevelDialog(&album_, 0, owner_); }));
    EXPECT_NE(shown.find(u"This action is allowed for\n   8 bps images\n   16bps images\n"
                         u"   24bps images\nonly."),
              std::u16string::npos)
        << platform::Utf16ToUtf8(shown);
    // Nothing was changed or released.
    EXPECT_NE(entry->image, nullptr);
    DWORD size = 0;
    EXPECT_EQ(entry->Attachment(kAttachmentAdjustment, &size), nullptr);
}

TEST_F(WindowLevelDialogTest, FlatFewLevelAndLineImagesOpenAndDraw) {
    for (const char* name : {"flat.dcm", "few_levels.dcm", "line.dcm"}) {
        SCOPED_TRACE(name);
        album_.Clear();
        Load(name);
        // A window far wider than the range, then a redraw asked for while
        // slider messages are still queued.
        EXPECT_FALSE(Run({Check([] {
                              HWND dialog = FindWindowW(nullptr, kCaption);
                              HWND width = GetDlgItem(dialog, IDC_WL_WIDTH);
                              SendMessageW(width, TBM_SETPOS, TRUE, 1000000);
                              PostMessageW(dialog, WM_HSCROLL, TB_THUMBTRACK,
                                           reinterpret_cast<LPARAM>(width));
                              SendMessageW(dialog, WM_COMMAND, IDC_WL_AUTO, 0);
                              PostMessageW(dialog, WM_HSCROLL, TB_THUMBTRACK,
                                           reinterpret_cast<LPARAM>(width));
                          }),
                          End(kCaption, IDCANCEL)}));
    }
}

}  // namespace
