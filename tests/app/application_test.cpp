// The application object: its title, which messages count as real input,
// and the message loop's one idle refresh per burst.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/application.h"
#include "gwes_fixture.h"

namespace {

class ApplicationTest : public gwes_test::WindowTest {};

TEST_F(ApplicationTest, TheTitleIsCutTo63CharactersAndTheObjectIsPublished) {
    const std::u16string longTitle(80, u'x');
    {
        Application application(nullptr, longTitle.c_str());
        EXPECT_EQ(std::u16string(application.Title()), std::u16string(63, u'x'));
        EXPECT_EQ(TheApplication(), &application);
        EXPECT_EQ(application.MainWindow(), nullptr);
    }
    EXPECT_EQ(TheApplication(), nullptr);
}

TEST_F(ApplicationTest, PaintSystemTimersAndRepeatedMovesAreNotInput) {
    Application application(nullptr, u"t");
    auto message = [](UINT code, int x = 0, int y = 0) {
        MSG m = {};
        m.message = code;
        m.pt = {x, y};
        return m;
    };
    struct Case {
        MSG message;
        bool idleWorthy;
    } cases[] = {
        {message(WM_PAINT), false},
        {message(0x118), false},
        {message(WM_TIMER), true},
        {message(WM_MOUSEMOVE, 10, 10), true},
        {message(WM_MOUSEMOVE, 10, 10), false},  // the same point again
        {message(WM_MOUSEMOVE, 11, 10), true},
        {message(WM_KEYDOWN), true},
        {message(WM_MOUSEMOVE, 11, 10), false},  // the last idle-worthy move was there
        {message(WM_LBUTTONDOWN, 11, 10), true},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        EXPECT_EQ(application.IsIdleMessage(cases[i].message), cases[i].idleWorthy) << "case " << i;
    }
}

// Counts the idle refreshes and drives the loop from them: the first posts
// a burst of five messages, the second makes the window paint and starts a
// timer, the third (from the timer, real input) ends the loop.
class CountingApplication : public Application {
public:
    CountingApplication(HWND window) : Application(nullptr, u"t"), window_(window) {}
    void OnIdle() override {
        ++idles;
        if (idles == 1) {
            for (int i = 0; i < 5; ++i) PostMessageW(window_, WM_USER, 0, 0);
        } else if (idles == 2) {
            paintsBefore = PaintCount();
            InvalidateRect(window_, nullptr, TRUE);
            SetTimer(window_, 1, 50, nullptr);
        } else {
            paintsAfter = PaintCount();
            KillTimer(window_, 1);
            PostQuitMessage(0);
        }
    }
    static int PaintCount() {
        int paints = 0;
        for (const auto& entry : gwes_test::TakeLog()) paints += entry.message == WM_PAINT;
        return paints;
    }
    int idles = 0;
    int paintsBefore = 0;
    int paintsAfter = 0;

private:
    HWND window_;
};

TEST_F(ApplicationTest, TheLoopRefreshesOncePerBurstAndNeverForPaint) {
    HWND window = Top(0, 26, 100, 100);
    ASSERT_NE(window, nullptr);
    Pump();
    gwes_test::ClearLog();
    CountingApplication application(window);
    EXPECT_EQ(application.Run(window), 0);
    EXPECT_EQ(application.MainWindow(), window);
    // Start, after the burst of five, after the timer: the paint between
    // them brought none of its own.
    EXPECT_EQ(application.idles, 3);
    EXPECT_EQ(application.paintsAfter, 1);
}

}  // namespace
