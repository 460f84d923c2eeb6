// The album lock under load: while the loader decodes a folder of small
// pictures (and is restarted over it again and again), the main thread
// navigates as the frame does (showing entries under the lock and aborting
// decodes), selects, sorts, moves and deletes entries, frees memory, scrolls,
// and handles what the loader posts, the view's MSG_VIEW_LAYOUT among it.
// It must end without a deadlock, a crash or an entry left half decoded.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <thread>

#include "app/main_frame_messages.h"
#include "res/resource.h"
#include "thumbnail_fixture.h"

namespace {

using thumbnail_test::MessageSpy;
using thumbnail_test::ThumbnailTest;

constexpr auto kRunTime = std::chrono::seconds(3);

class StressTest : public ThumbnailTest {
protected:
    // What MainFrame::Navigate does with the bar and the view.
    void Navigate(int code) {
        ThumbnailBar& bar = *bar_;
        PictureView& view = *view_;
        bar.SetWanted(-1);
        bar.LockAlbum();
        const int previous = Album().current;
        ImageEntry* entry = Album().Step(code, nullptr);
        const int index = Album().current;
        bar.UnlockAlbum();
        if (!entry) {
            view.ShowEntry(nullptr, true);
            return;
        }
        bool redrawn = bar.RedrawCell(previous);
        redrawn = bar.RedrawCell(index) || redrawn;
        bar.ScrollTo(index);
        if (redrawn) UpdateWindow(bar.Handle());
        bar.LockAlbum();
        const int state = entry->loadState;
        if (state == kDecodeFailed) {
            view.ShowMessage(int(entry->errorCode), true);
        } else if (state == kDecoded) {
            view.ShowEntry(entry, true);
        }
        bar.UnlockAlbum();
        if (state == kNotDecoded || state == kDecoding) {
            bar.SetWanted(index);
            if (state == kNotDecoded) {
                view.ShowMessage(kViewLoading, true);
                TheImageLibrary()->AbortAll();
            }
            if (!bar.LoaderRunning() && !bar.StartLoader()) bar.LoadEntry(index);
        }
    }
    // What MainFrame::OpenFile does: the loader stops while the album is
    // rebuilt, the attach starts it again.
    void Reopen() {
        view_->ShowEntry(nullptr, true);
        bar_->StopLoader();
        bar_->LockAlbum();
        ASSERT_GT(Album().Load(u"\\My Documents\\stress", false, false), 0);
        bar_->UnlockAlbum();
        bar_->Attach(host_.get(), &Album());
        Navigate(kNavigateStay);
    }
    // The frame's handling of what the panes post it.
    void HandleHostMessages() {
        std::vector<TestViewerHost::Message> received;
        received.swap(host_->received);
        for (const auto& m : received) {
            if (m.message == MSG_NAVIGATE) Navigate(int(m.wParam));
        }
    }
};

// Ends the process with a message when the test has not finished in time: a
// deadlock would otherwise hang until the test runner's timeout.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; })) {
                  std::fprintf(stderr, "the main thread and the loader deadlocked\n");
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_one();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

TEST_F(StressTest, NavigatingSortingAndDeletingWhileTheLoaderRunsNeverDeadlocks) {
    Watchdog watchdog(std::chrono::seconds(60));
    std::vector<SIZE> sizes;
    for (int i = 0; i < 60; ++i) sizes.push_back({8 + (i * 7) % 57, 8 + (i * 11) % 53});
    MakeFolder(u"stress", sizes);
    ThumbnailBar& bar = MakeBar(240, 72);
    PictureView& view = MakeView();
    MessageSpy::Instance().Watch(view.Handle());
    bar.Attach(host_.get(), &Album());

    std::mt19937 random(1);
    auto pick = [&](int n) { return n > 0 ? int(random() % unsigned(n)) : 0; };
    const auto until = std::chrono::steady_clock::now() + kRunTime;
    while (std::chrono::steady_clock::now() < until) {
        const int count = Album().Count();
        if (!bar.LoaderRunning() || count < 20) {
            Reopen();
            continue;
        }
        switch (pick(10)) {
        case 0: Navigate(kNavigateNext | kNavigateWrap); break;
        case 1: Navigate(kNavigatePrevious | kNavigateWrap); break;
        case 2: Navigate(kNavigateRandom); break;
        case 3: bar.Select(pick(count)); break;
        case 4: {
            const UINT sorts[] = {IDM_SORT_BY_NAME, IDM_SORT_BY_TIME, IDM_SORT_BY_SIZE};
            bar.DoCommand(sorts[pick(3)], pick(count));
            break;
        }
        case 5: bar.DoCommand(pick(2) ? IDM_MOVE_LEFT : IDM_MOVE_RIGHT, pick(count)); break;
        case 6: bar.DoCommand(IDM_DELETE_IMAGE, pick(count)); break;
        case 7: bar.FreeMemory(0, -1, false); break;  // the low-memory notice
        case 8: {
            const int codes[] = {SB_LINEDOWN, SB_LINEUP, SB_PAGEDOWN, SB_TOP, SB_BOTTOM};
            SendMessageW(bar.Handle(), WM_HSCROLL, MAKEWPARAM(codes[pick(5)], 0),
                         reinterpret_cast<LPARAM>(bar.ScrollBar()));
            break;
        }
        default: {
            // The Options sheet's "decode again": every picture and icon goes.
            bar.StopLoader();
            view.ShowEntry(nullptr, false);
            bar.LockAlbum();
            for (int i = 0; i < Album().Count(); ++i) {
                Album().Entry(i)->ReleaseImage();
                Album().Entry(i)->SetIcon(nullptr);
            }
            bar.UnlockAlbum();
            bar.StartLoader();
            Navigate(kNavigateStay);
            break;
        }
        }
        PumpAll();
        HandleHostMessages();
    }
    bar.StopLoader();
    PumpAll();
    HandleHostMessages();
    bar.StopLoader();

    EXPECT_FALSE(MessageSpy::Instance().Of(view.Handle(), MSG_VIEW_LAYOUT).empty());
    bar.LockAlbum();
    for (int i = 0; i < Album().Count(); ++i) {
        const ImageEntry* entry = Album().Entry(i);
        EXPECT_NE(entry->loadState, kDecoding) << i;  // every decode reported its end
        EXPECT_EQ(entry->image != nullptr, entry->loadState == kDecoded) << i;
    }
    // The view shows an entry of the album, or none.
    if (view.Entry()) {
        EXPECT_GE(Album().IndexOf(view.Entry()), 0);
    }
    bar.UnlockAlbum();
}

}  // namespace
