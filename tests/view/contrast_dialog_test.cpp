// The contrast/brightness dialog on the headless screen: the sliders' range
// and labels, the preview against the 8-bit transform (read back from the
// screen, which holds 5-6-5 colours), "Original", and OK against Cancel.
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "album/image_album.h"
#include "album/image_entry.h"
#include "dialog_fixture.h"
#include "res/resource.h"
#include "view/contrast_brightness.h"
#include "view/contrast_dialog.h"
#include "view/window_level_dialog.h"

namespace {

using namespace dialog_test;

constexpr const char16_t* kCaption = u"Set Contrast & Brightness";

HWND Dialog() { return FindWindowW(nullptr, kCaption); }
std::u16string Text(int id) {
    WCHAR text[32] = {};
    GetDlgItemTextW(Dialog(), id, text, 32);
    return text;
}
int Position(int id) {
    return static_cast<int>(SendDlgItemMessageW(Dialog(), id, TBM_GETPOS, 0, 0));
}
Step Slide(int id, int position) {
    return [id, position] {
        HWND slider = GetDlgItem(Dialog(), id);
        SendMessageW(slider, TBM_SETPOS, TRUE, position);
        SendMessageW(Dialog(), WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(slider));
        return true;
    };
}
// A pixel of the preview control, in its client coordinates, from the screen.
COLORREF ControlPixel(int x, int y) {
    HWND control = GetDlgItem(Dialog(), IDC_CB_PREVIEW);
    UpdateWindow(control);
    POINT p = {x, y};
    MapWindowPoints(control, nullptr, &p, 1);
    return gwes_test::ScreenPixel(p.x, p.y);
}

class ContrastDialogTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        SetContrastBrightness(0, 0);
        ImageEntry* entry = album_.Append(Fixtures().Device("photo24.bmp").c_str());
        album_.current = 0;
        entry->image = new ImageFile;
        entry->image->InitImageFile();
        auto* adjustment = new DisplayAdjustment;
        InitAdjustment(adjustment);
        entry->image->image.adjustment = adjustment;
        ASSERT_TRUE(entry->image->LoadFromPath(Fixtures().Device("photo24.bmp").c_str(), 0));
        entry->loadState = kDecoded;
    }
    void TearDown() override {
        SetContrastBrightness(0, 0);
        album_.Clear();  // its images go back to the library before the library goes
        DialogTest::TearDown();
    }
    bool Run(std::vector<Step> steps) {
        steps.insert(steps.begin(), WaitForWindow(kCaption));
        return Drive(steps, [&] { return OpenContrastDialog(&album_, 0, owner_, owner_); });
    }
    ImageAlbum album_;
};

TEST_F(ContrastDialogTest, ThePreviewIsTheEightBitTransformOfTheThumbnail) {
    const ThumbnailGeometry t = ComputeThumbnailGeometry(64, 64, 1);
    const int points[][2] = {{t.thumbX + 5, t.thumbY + 5},
                             {t.thumbX + 60, t.thumbY + 30},
                             {t.thumbX + 110, t.thumbY + 100}};
    int checked = 0;
    EXPECT_FALSE(Run({Check([] {
                          EXPECT_EQ(Text(IDC_CB_CONTRAST_VALUE), u"0 %");
                          EXPECT_EQ(SendDlgItemMessageW(Dialog(), IDC_CB_CONTRAST, TBM_GETRANGEMIN, 0, 0), -100);
                          EXPECT_EQ(SendDlgItemMessageW(Dialog(), IDC_CB_CONTRAST, TBM_GETRANGEMAX, 0, 0), 100);
                          EXPECT_EQ(SendDlgItemMessageW(Dialog(), IDC_CB_BRIGHTNESS, TBM_GETPAGESIZE, 0, 0), 10);
                      }),
                      Slide(IDC_CB_CONTRAST, 50), Slide(IDC_CB_BRIGHTNESS, -20),
                      Check([&] {
                          EXPECT_EQ(Text(IDC_CB_CONTRAST_VALUE), u"50 %");
                          EXPECT_EQ(Text(IDC_CB_BRIGHTNESS_VALUE), u"-20 %");
                          for (const auto& p : points) {
                              const COLORREF original = ControlPixel(p[0], p[1]);
                              const COLORREF preview =
                                  ControlPixel(p[0] + kContrastPreviewOffset, p[1]);
                              const BYTE channels[3][2] = {
                                  {GetRValue(original), GetRValue(preview)},
                                  {GetGValue(original), GetGValue(preview)},
                                  {GetBValue(original), GetBValue(preview)}};
                              for (const auto& c : channels) {
                                  // The screen keeps 5 or 6 bits of each channel.
                                  const int expected = ContrastBrightnessByte(50, -20, c[0]);
                                  EXPECT_LE(std::abs(expected - c[1]), 12)
                                      << p[0] << "," << p[1] << ": " << int(c[0]) << " -> " << int(c[1]);
                              }
                              ++checked;
                          }
                      }),
                      Command(kCaption, IDC_CB_ORIGINAL), Check([] {
                          EXPECT_EQ(Text(IDC_CB_CONTRAST_VALUE), u"0 %");
                          EXPECT_EQ(Text(IDC_CB_BRIGHTNESS_VALUE), u"0 %");
                          EXPECT_EQ(Position(IDC_CB_CONTRAST), 0);
                          EXPECT_EQ(Position(IDC_CB_BRIGHTNESS), 0);
                      }),
                      Slide(IDC_CB_CONTRAST, 30), End(kCaption, IDCANCEL)}));
    EXPECT_EQ(checked, 3);
    // Cancel changed nothing.
    EXPECT_EQ(CurrentContrast(), 0);
    EXPECT_EQ(CurrentBrightness(), 0);
    EXPECT_FALSE(ContrastBrightnessActive());
}

TEST_F(ContrastDialogTest, OkSetsTheValuesAndTheNextOpeningStartsFromThem) {
    EXPECT_TRUE(Run({Slide(IDC_CB_CONTRAST, 50), Slide(IDC_CB_BRIGHTNESS, -20),
                     End(kCaption, IDOK)}));
    EXPECT_EQ(CurrentContrast(), 50);
    EXPECT_EQ(CurrentBrightness(), -20);
    EXPECT_TRUE(ContrastBrightnessActive());
    EXPECT_TRUE(Run({Check([] {
                         EXPECT_EQ(Position(IDC_CB_CONTRAST), 50);
                         EXPECT_EQ(Text(IDC_CB_BRIGHTNESS_VALUE), u"-20 %");
                     }),
                     End(kCaption, IDOK)}));
    // An entry without a decoded image opens nothing.
    album_.Entry(0)->ReleaseImage();
    EXPECT_FALSE(OpenContrastDialog(&album_, 0, owner_));
}

}  // namespace
