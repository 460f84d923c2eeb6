// The sheet against the thumbnail loader: the sheet reads with the
// process-wide DICOM reader, which the loader uses for its decodes. While the
// loader decodes a folder of DICOM files (restarted whenever it finishes),
// the sheet is opened over and over for entries of the same folder; each
// opening pauses the loader around its read. Every sheet must show its own
// file's patient name, every decode of the loader must succeed whole, and
// the run must end without a crash (the sanitizer build runs it too).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <prsht.h>

#include "dialog_fixture.h"
#include "res/resource.h"
#include "thumbnail_fixture.h"
#include "view/dicom_info_sheet.h"

namespace {

using namespace dialog_test;

constexpr auto kRunTime = std::chrono::seconds(2);

class InfoSheetStressTest : public thumbnail_test::ThumbnailTest {};

TEST_F(InfoSheetStressTest, TheSheetReadsItsOwnFileWhileTheLoaderDecodes) {
    ASSERT_EQ(DialogFixtures::Get().Error(), "");
    InstallDicomHandler();
    const std::string folder = Host("My Documents/stress");
    std::filesystem::create_directories(folder);
    // Images the loader decodes, and info files the sheet reads (a name each).
    const char* images[] = {"big.dcm", "cr_mono1.dcm", "big.dcm", "mr_slope2.dcm"};
    for (int i = 0; i < 24; ++i) {
        std::filesystem::copy_file(DialogFixtures::Get().Host(images[i % 4]),
                                   folder + "/img" + std::to_string(10 + i) + ".dcm");
    }
    std::filesystem::copy_file(DialogFixtures::Get().Host("info_explicit.dcm"), folder + "/a.dcm");
    std::filesystem::copy_file(DialogFixtures::Get().Host("info_implicit.dcm"), folder + "/b.dcm");
    ASSERT_EQ(Album().Load(u"\\My Documents\\stress", false, false), 26);
    Album().current = 0;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());

    int openings = 0;
    int wrong = 0;
    int failedDecodes = 0;
    const auto until = std::chrono::steady_clock::now() + kRunTime;
    while (std::chrono::steady_clock::now() < until) {
        if (!bar.LoaderRunning()) {
            // Decode everything again: drop the images, restart.
            bar.StopLoader();
            bar.LockAlbum();
            // A decode the sheet's read disturbed fails or ends early.
            for (int i = 0; i < Album().Count(); ++i) {
                const ImageEntry* entry = Album().Entry(i);
                if (entry->loadState == kDecodeFailed ||
                    (entry->image && entry->image->image.truncated)) {
                    ++failedDecodes;
                }
            }
            for (int i = 0; i < Album().Count(); ++i) Album().Entry(i)->ReleaseImage();
            bar.UnlockAlbum();
            bar.StartLoader();
        }
        const int row = openings % 2;  // a.dcm, b.dcm sort first
        const std::u16string expected = row == 0 ? u"DOE^JOHN  " : u"ROE^JANE";
        std::u16string name;
        Drive({[] {
                   HWND sheet = FindWindowW(nullptr, u"Patient Info");
                   return sheet && PropSheet_GetCurrentPageHwnd(sheet);
               },
               Check([&] {
                   HWND page = PropSheet_GetCurrentPageHwnd(FindWindowW(nullptr, u"Patient Info"));
                   WCHAR text[64] = {};
                   GetDlgItemTextW(page, IDC_PATIENT_NAME, text, 64);
                   name = text;
                   PropSheet_PressButton(FindWindowW(nullptr, u"Patient Info"), PSBTN_OK);
               })},
              [&] { return ShowDicomInfo(&Album(), row, host_->HostWindow(), host_.get()); });
        if (name != expected) ++wrong;
        ++openings;
        PumpAll();
    }
    bar.StopLoader();
    EXPECT_GT(openings, 5);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(failedDecodes, 0);
}

}  // namespace
