// Output to VGA: at most one card's output on, the Voyager card taking over
// from the Margi card, a second choice turning an output off, a card whose
// driver cannot open its display left off, and black on the display when it is released.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/main_frame.h"
#include "app/utility_hooks.h"
#include "display/external_display.h"
#include "gwes_fixture.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "tools/utilities.h"
#include "tools/vga_output.h"
#include "view/external_outputs.h"

namespace {

class VgaOutputTest : public gwes_test::WindowTest {
protected:
    void TearDown() override {
        ReleaseExternalOutputs();
        SetInternalDisplayEnabled(false);
        SetUtilityHooks(UtilityHooks{});
        EXPECT_EQ(platform::ExternalDisplayCount(), 0);
        WindowTest::TearDown();
    }
    static bool On(int card) { return ExternalOutput(card) != nullptr; }
};

TEST_F(VgaOutputTest, TheMenuTurnsOneCardOnAtATime) {
    struct Step {
        UINT command;
        bool margi, voyager, internal;
    } steps[] = {
        {IDM_OUTPUT_MARGI, true, false, false},
        {IDM_OUTPUT_VOYAGER, false, true, false},  // Margi goes first
        {IDM_OUTPUT_MARGI, true, false, false},
        {IDM_OUTPUT_MARGI, false, false, false},   // a second choice turns it off
        {IDM_OUTPUT_POCKETPC, false, false, true},
        {IDM_OUTPUT_VOYAGER, false, true, true},
        {IDM_OUTPUT_POCKETPC, false, true, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.command);
        ASSERT_TRUE(RunExternalOutputCommand(s.command));
        EXPECT_EQ(On(kMargiCard), s.margi);
        EXPECT_EQ(On(kVoyagerCard), s.voyager);
        EXPECT_EQ(InternalDisplayEnabled(), s.internal);
        EXPECT_EQ(platform::ExternalDisplayCount(), (s.margi ? 1 : 0) + (s.voyager ? 1 : 0));
    }
    EXPECT_FALSE(RunExternalOutputCommand(IDM_OUTPUT_POCKETPC + 1));
}

TEST_F(VgaOutputTest, ACardWhoseDriverCannotOpenItStaysOff) {
    // Modules under the drivers' names that are not display drivers.
    std::string folder = root_ + "/broken-drivers";
    std::filesystem::create_directories(folder);
    for (const char* name : {"PresentertoGo.dll", "PCARDVGA.DLL"})
        std::filesystem::copy_file(std::string(KESTRAVA_BIN_DIR) + "/KTestModule.dll", folder + "/" + name);
    platform::SetProgramFolder(folder);
    EXPECT_FALSE(SetExternalOutput(kMargiCard));
    EXPECT_FALSE(On(kMargiCard));
    EXPECT_FALSE(SetExternalOutput(kVoyagerCard));
    EXPECT_EQ(platform::ExternalDisplayCount(), 0);
}

TEST_F(VgaOutputTest, AReleasedDisplayIsLeftBlack) {
    ASSERT_TRUE(SetExternalOutput(kVoyagerCard));
    HDC dc = ExternalOutput(kVoyagerCard);
    RECT whole = {0, 0, GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)};
    FillRect(dc, &whole, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    std::shared_ptr<platform::ExternalDisplay> display = platform::ExternalDisplays().back();
    ASSERT_EQ(display->buffer.pixels[0], 0xFF);

    ReleaseExternalOutputs();
    EXPECT_FALSE(On(kVoyagerCard));
    const std::vector<uint8_t>& pixels = display->buffer.pixels;
    EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(VgaOutputTest, TheMainWindowReleasesTheOutputAtExit) {
    platform::ReloadRegistryForTest();
    InstallUtilities();
    auto frame = std::make_unique<MainFrame>(u"");
    ASSERT_TRUE(frame->CreateMainWindow(GetModuleHandleW(nullptr)));
    ASSERT_TRUE(SetExternalOutput(kMargiCard));
    DestroyWindow(frame->Handle());
    frame.reset();
    EXPECT_FALSE(On(kMargiCard));
    EXPECT_EQ(platform::ExternalDisplayCount(), 0);
}

}  // namespace
