// The uncompressed frame decoder: every fixture of make_handler_fixtures.py
// against pydicom's samples through the same window arithmetic (through the
// image library, every listed frame, and through the handler itself), then
// the cases the fixtures cannot show: packed 12-bit samples, the window the
// user chose, the negative switch, the availability check of a remote
// stream, frames outside the file.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dicom/frame_decoders.h"
#include "dicom/frame_window.h"
#include "handler_test_util.h"

using namespace handler_test;

namespace {

class RawFrameTest : public HandlerTest {
protected:
    void SetUp() override {
        HandlerTest::SetUp();
        ASSERT_EQ(Fixtures::Get().Error(), "");
    }
    std::u16string FixturePath(const std::string& name) {
        return platform::HostToDevicePath(Fixtures::Get().Path(name));
    }
    void ExpectPicture(const Fixture& f, int frame, const RImage& image) {
        SCOPED_TRACE(f.name + " frame " + std::to_string(frame));
        ASSERT_NE(image.header, nullptr);
        EXPECT_EQ(image.header->biWidth, f.width);
        EXPECT_EQ(image.header->biHeight, f.height);
        EXPECT_EQ(image.header->biBitCount, f.depth * 8);
        EXPECT_EQ(Difference(PictureBytes(image), Fixtures::Get().Expected(f.name, frame), f.width,
                             f.depth, f.tolerance),
                  "");
    }
};

TEST_F(RawFrameTest, EveryFixtureMatchesPydicomThroughTheImageLibrary) {
    for (const Fixture& f : Fixtures::Get().All()) {
        SCOPED_TRACE(f.name);
        InitAdjustment(&adjustment_);
        const std::u16string path = FixturePath(f.name);
        ASSERT_TRUE(LoadThroughLibrary(path)) << file_image_.lastError;
        EXPECT_EQ(adjustment_.applied, 1);
        for (int frame : f.frames) {
            if (frame != 0) {
                ASSERT_EQ(LoadFrame(path, frame), 0);
            }
            ExpectPicture(f, frame, file_image_.image);
        }
    }
}

TEST_F(RawFrameTest, EveryFixtureMatchesThroughTheHandlerWithOrWithoutARecord) {
    for (const Fixture& f : Fixtures::Get().All()) {
        for (bool withAdjustment : {true, false}) {
            SCOPED_TRACE(f.name + (withAdjustment ? " with" : " without") + " a record");
            InitAdjustment(&adjustment_);
            ASSERT_EQ(LoadHost(Fixtures::Get().Path(f.name), withAdjustment), kLoadOk);
            ExpectPicture(f, 0, Image());
            const FrameSource* source = Image().frameSource;
            ASSERT_NE(source, nullptr);
            EXPECT_LE(source->frameDelay, 250u);
            EXPECT_EQ(source->width, f.width);
            EXPECT_EQ(source->height, f.height);
        }
    }
}

TEST_F(RawFrameTest, CtWindowFortyOverFourHundredPutsFortyHuInTheMiddle) {
    ASSERT_EQ(LoadHost(Fixtures::Get().Path("ct_window")), kLoadOk);
    EXPECT_EQ(adjustment_.low, 864);
    EXPECT_EQ(adjustment_.high, 1264);
    EXPECT_FLOAT_EQ(adjustment_.scale, 0.64f);
    // The stored sample 1064 sits at column 20 of picture row 10.
    EXPECT_EQ(PictureBytes(Image())[10 * 512 + 20], 128);
}

TEST_F(RawFrameTest, WithoutAWindowTheRangeOfFrameZeroGivesIt) {
    const std::string path = Fixtures::Get().Path("ct_nowindow");
    // The samples are the last 512 x 512 x 2 bytes of the file.
    const Bytes file = ReadHostFile(path);
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (size_t i = file.size() - 512 * 512 * 2; i < file.size(); i += 2) {
        const int32_t v = (int16_t)(file[i] | (file[i + 1] << 8));
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    ASSERT_EQ(LoadHost(path), kLoadOk);
    EXPECT_EQ(adjustment_.smallest, lo);
    EXPECT_EQ(adjustment_.largest, hi);
    EXPECT_EQ(adjustment_.fileWidth, hi - lo);
    EXPECT_EQ(adjustment_.width, hi - lo);
    EXPECT_EQ(adjustment_.low, lo);
}

TEST_F(RawFrameTest, TheNegativeSwitchUndoesMonochromeOneAndAutoWindowIgnoresIt) {
    const Fixture* f = Fixtures::Get().Find("mono1");
    ASSERT_NE(f, nullptr);
    const Bytes inverted = Fixtures::Get().Expected("mono1", 0);
    Bytes plain = inverted;
    for (uint8_t& b : plain) b = (uint8_t)(255 - b);

    adjustment_.negative = 1;
    ASSERT_EQ(LoadHost(Fixtures::Get().Path("mono1")), kLoadOk);
    EXPECT_EQ(PictureBytes(Image()), plain);

    InitAdjustment(&adjustment_);
    adjustment_.negative = 1;
    adjustment_.autoWindow = 1;
    ASSERT_EQ(LoadHost(Fixtures::Get().Path("mono1")), kLoadOk);
    EXPECT_EQ(PictureBytes(Image()), inverted);
}

TEST_F(RawFrameTest, AWindowChosenBeforeTheLoadHoldsForEveryFrame) {
    // The album's window (rescaled units, like the file's): 0 .. 1000.
    adjustment_.center = 500;
    adjustment_.width = 1000;
    const std::u16string path = FixturePath("cine16");
    ASSERT_TRUE(LoadThroughLibrary(path));
    EXPECT_EQ(adjustment_.center, 500);
    EXPECT_EQ(adjustment_.low, 0);
    EXPECT_EQ(adjustment_.high, 1000);
    ASSERT_EQ(LoadFrame(path, 2), 0);
    // Frame 2 is (i * 5) % 3000 for pixel i: pixel 150 holds 750 -> 192.
    EXPECT_EQ(PictureBytes(file_image_.image)[150], 192);
    EXPECT_EQ(adjustment_.low, 0);
}

TEST_F(RawFrameTest, FramesOutsideTheRangeAndTheScreenFrameRequest) {
    const std::u16string path = FixturePath("cine16");
    ASSERT_TRUE(LoadThroughLibrary(path));
    ASSERT_NE(file_image_.image.frameSource, nullptr);
    FrameSource* source = file_image_.image.frameSource;
    EXPECT_EQ(source->frameCount, 4);
    HANDLE file = OpenHostFile(Fixtures::Get().Path("cine16"));
    source->Slots()[0].pixels = file_image_.image.pixels;
    EXPECT_EQ(source->fetch(file, source, &adjustment_, 4), (int)kLoadIndexOutOfRange);
    // The frame on the screen is in the image already.
    EXPECT_EQ(source->fetch(file, source, &adjustment_, -1), 0);
    EXPECT_EQ(source->fetch(file, source, &adjustment_, -2), 0);
    source->Slots()[0].pixels = nullptr;
}

// Packed 12-bit samples: pairs in three bytes b0 b1 b2, the first sample
// b1 << 4 | b0 >> 4, the second b2 << 4 | (b0 & 15). Three columns make the
// pairs run across rows.
TEST_F(RawFrameTest, PackedTwelveBitPairsRunAcrossRows) {
    const std::vector<uint16_t> samples = {0xABC, 0x123, 0xFFF, 0x000, 0x800, 0x7F0};
    Bytes packed;
    for (size_t i = 0; i < samples.size(); i += 2) {
        const uint16_t a = samples[i], b = samples[i + 1];
        packed.push_back((uint8_t)((a & 0xF) << 4 | (b & 0xF)));
        packed.push_back((uint8_t)(a >> 4));
        packed.push_back((uint8_t)(b >> 4));
    }
    // Window 0 .. 4096: each sample becomes its top 8 bits.
    const Bytes bytes = ImageBuilder()
                            .Grey(2, 3, 12, 12)
                            .Text(0x0028, 0x1050, "DS", "2048")
                            .Text(0x0028, 0x1051, "DS", "4096")
                            .Raw(0x7FE0, 0x0010, "OB", packed)
                            .Build();
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    Bytes expected;
    for (uint16_t s : samples) expected.push_back((uint8_t)(s >> 4));
    EXPECT_EQ(PictureBytes(Image()), expected);
}

TEST_F(RawFrameTest, SignedSamplesAreSignExtendedFromBitsStored) {
    // 12 of 16 bits stored, signed: 0x0800 is -2048, 0x07FF is 2047; the
    // unused top bits carry rubbish (an overlay) that must not matter.
    const Bytes bytes = ImageBuilder()
                            .Grey(1, 4, 16, 12, true)
                            .Text(0x0028, 0x1050, "DS", "0")
                            .Text(0x0028, 0x1051, "DS", "4096")
                            .Raw(0x7FE0, 0x0010, "OW", Le16({0x0800, 0x07FF, 0xF000, 0x3800}))
                            .Build();
    ASSERT_EQ(LoadBytes(bytes), kLoadOk);
    // low -2048, scale 1/16: -2048 -> 0, 2047 -> 255, 0 -> 128, -2048 -> 0.
    EXPECT_EQ(PictureBytes(Image()), (Bytes{0, 255, 128, 0}));
}

// Without a file handle the fetch only asks the stream for the frame's
// bytes: a remote resource fetches them; 0 when all came, -1 otherwise.
TEST_F(RawFrameTest, WithoutAHandleTheFetchChecksThatTheFrameArrived) {
    const Bytes file = ReadHostFile(Fixtures::Get().Path("cine16"));
    MemoryResource whole(file);
    handler_ = std::make_unique<DicomHandler>();
    AttachMemory(&whole);  // after construction, as a remote load does
    handler_->Image().adjustment = &adjustment_;
    ASSERT_EQ(handler_->Load(reinterpret_cast<HANDLE>(0x1234), 0), kLoadOk);
    FrameSource* source = Image().frameSource;
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(source->frameCount, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(source->fetch(nullptr, source, nullptr, i), 0) << i;

    // The same file cut inside frame 3: frames 0-2 are there, 3 is not.
    const size_t frameBytes = 40 * 30 * 2;
    MemoryResource cut(Bytes(file.begin(), file.end() - frameBytes / 2));
    AttachMemory(&cut);
    EXPECT_EQ(source->fetch(nullptr, source, nullptr, 2), 0);
    EXPECT_EQ(source->fetch(nullptr, source, nullptr, 3), -1);
    cut.failReads = true;
    EXPECT_EQ(source->fetch(nullptr, source, nullptr, 0), -1);
    DicomStream().detach();
}

TEST_F(RawFrameTest, AFrameWithoutItsBytesFailsAndDoesNotTouchTheImage) {
    const std::u16string path = FixturePath("cine16");
    ASSERT_TRUE(LoadThroughLibrary(path));
    const Bytes before = PictureBytes(file_image_.image);
    // The file shrinks under the loaded image: frame 3 is gone.
    const Bytes file = ReadHostFile(Fixtures::Get().Path("cine16"));
    const std::u16string cut = Put(Bytes(file.begin(), file.end() - 100), "cut.dcm");
    EXPECT_EQ(LoadFrame(cut, 3), (int)kLoadCorrupt);
    EXPECT_EQ(PictureBytes(file_image_.image), before);
    EXPECT_EQ(LoadFrame(cut, 1), 0);
}

TEST_F(RawFrameTest, AbortStopsTheFrameWithFifteen) {
    const std::u16string path = FixturePath("cine16");
    ASSERT_TRUE(LoadThroughLibrary(path));
    SetAbortFlag();
    EXPECT_EQ(LoadFrame(path, 1), (int)kLoadAborted);
    ClearAbortFlag();
    EXPECT_EQ(LoadFrame(path, 1), 0);
}

// The shared window preparation and row mapping of 16-bit decoded samples
// that the compressed decoders use.
TEST(FrameWindowTest, SampleRangeAndRowMappingOfDecodedWords) {
    DisplayAdjustment a;
    InitAdjustment(&a);
    a.bitsAllocated = 16;
    a.bitsStored = 12;
    a.pixelRepresentation = 1;
    const uint16_t words[] = {0x0800, 0x07FF, 0x0000, 0x0010};
    int32_t lo = 0, hi = 0;
    SampleRange16(a, words, 4, &lo, &hi);
    EXPECT_EQ(lo, -2048);
    EXPECT_EQ(hi, 2047);

    a.fileWidth = 0;
    a.smallest = 0;
    a.largest = 0;
    const bool inverted = PrepareFrameWindow(
        &a, true,
        [](void*, DisplayAdjustment* adjustment) {
            adjustment->smallest = -2048;
            adjustment->largest = 2047;
        },
        nullptr);
    EXPECT_FALSE(inverted);
    EXPECT_EQ(a.width, 4095);
    EXPECT_EQ(a.low, -2048);
    BYTE grey[4];
    WindowRow16(a, false, words, 4, 1, grey);
    EXPECT_EQ(grey[0], 0);
    EXPECT_EQ(grey[1], 255);
    EXPECT_EQ(grey[2], (BYTE)(int)(2048 * (256.0f / 4095)));
    BYTE flipped[4];
    WindowRow16(a, true, words, 4, 1, flipped);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(flipped[i], 255 - grey[i]);
    // Colour: red, green, blue in; blue, green, red out.
    const uint16_t rgb[] = {0x0800, 0x0000, 0x07FF};
    BYTE bgr[3];
    WindowRow16(a, true, rgb, 1, 3, bgr);
    EXPECT_EQ(bgr[0], 255);
    EXPECT_EQ(bgr[1], grey[2]);
    EXPECT_EQ(bgr[2], 0);
}

// DefaultWindowFromRange: the window in rescaled units that
// ComputeWindowBounds turns back into the stored range.
TEST(FrameWindowTest, TheDefaultWindowCoversTheStoredRangeForAnySlope) {
    struct Case {
        float slope, intercept;
        int32_t smallest, largest;
    } cases[] = {
        {1.0f, 0.0f, 0, 4095}, {1.0f, -1024.0f, -2000, 3000}, {0.5f, 10.0f, 100, 3000},
        {2.0f, -50.0f, 0, 1000}, {-1.0f, 100.0f, 0, 255}, {-0.25f, 0.0f, 1000, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slope);
        DisplayAdjustment a;
        InitAdjustment(&a);
        a.bitsStored = 16;
        a.rescaleSlope = c.slope;
        a.rescaleIntercept = c.intercept;
        a.smallest = c.smallest;
        a.largest = c.largest;
        DefaultWindowFromRange(&a);
        EXPECT_GT(a.fileWidth, 0);
        a.center = a.fileCenter;
        a.width = a.fileWidth;
        ComputeWindowBounds(&a);
        // Within a few samples of the range (the centre and width are whole
        // numbers in rescaled units).
        const float tolerance = 2.0f / std::fabs(c.slope) + 1.0f;
        EXPECT_NEAR(a.low, c.smallest, tolerance);
        EXPECT_NEAR(a.high, c.largest, tolerance);
    }
}

}  // namespace

// The window table must give, for every 16-bit word, exactly what the row
// mapping gives value by value: signed words by their stored bits, unsigned
// words above the stored bits through the window's arithmetic, inverted or
// not, with a window or without, whole rows of any length.
TEST(FrameWindowTest, TheWindowTableAgreesWithTheRowMappingOnEveryWord) {
    struct Case {
        int bitsStored;
        int pixelRepresentation;
        int32_t center, width;
        bool inverted;
    } cases[] = {
        {12, 0, 1064, 400, false}, {12, 1, 40, 400, true}, {16, 1, -100, 3000, false},
        {16, 0, 30000, 60000, true}, {8, 0, 128, 256, false}, {10, 0, 0, 0, false},
        {1, 1, 0, 2, false},
    };
    std::vector<uint16_t> words(65536 + 3);  // a length that is no multiple of four
    for (size_t i = 0; i < words.size(); ++i) words[i] = (uint16_t)(i * 40503u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bitsStored * 10 + c.pixelRepresentation);
        DisplayAdjustment a;
        InitAdjustment(&a);
        a.bitsAllocated = 16;
        a.bitsStored = c.bitsStored;
        a.pixelRepresentation = c.pixelRepresentation;
        a.center = c.center;
        a.width = c.width;
        ComputeWindowBounds(&a);
        WindowTable table;
        ASSERT_TRUE(table.Build(a, c.inverted, c.bitsStored, c.pixelRepresentation == 1));
        std::vector<BYTE> expected(words.size()), byTable(words.size());
        WindowRow16(a, c.inverted, words.data(), (int)words.size(), 1, expected.data());
        table.MapRow([&](size_t x) { return (uint32_t)words[x]; }, words.size(), byTable.data());
        EXPECT_EQ(byTable, expected);
        // A row of stored values only takes the path without the test per pixel.
        std::vector<uint16_t> inRange(words);
        for (uint16_t& w : inRange) w &= (uint16_t)((1u << c.bitsStored) - 1);
        WindowRow16(a, c.inverted, inRange.data(), (int)inRange.size(), 1, expected.data());
        table.MapRow([&](size_t x) { return (uint32_t)inRange[x]; }, inRange.size(), byTable.data());
        EXPECT_EQ(byTable, expected);
    }
}
