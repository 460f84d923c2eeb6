// The window and dialog framework: binding objects to windows, the input
// panel following edit focus, dialog endings, frames quitting once, the
// worker thread's stop.
#include <gtest/gtest.h>

#include <aygshell.h>

#include <atomic>

#include "app/dialog_base.h"
#include "app/shell_helpers.h"
#include "app/window_base.h"
#include "app/worker_thread.h"
#include "gwes_fixture.h"

namespace {

constexpr int kFocusDialog = 100;
constexpr int kEdit = 101, kReadOnly = 102, kDropDownList = 103, kEditableCombo = 104;

bool PanelUp() {
    SIPINFO info = {};
    info.cbSize = sizeof(info);
    return SHSipInfo(SPI_GETSIPINFO, 0, &info, 0) && (info.fdwFlags & SIPF_ON);
}

class FrameworkTest : public gwes_test::WindowTest {};

// A window object that records what the framework calls.
class Probe : public WindowBase {
public:
    int creates = 0, finals = 0;
    int OnCreate(CREATESTRUCTW*) override {
        ++creates;
        return 0;
    }
    void OnFinalMessage() override { ++finals; }
};

TEST_F(FrameworkTest, ObjectsAreBoundFromCreateUntilDetach) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &WindowBase::SharedProc;
    wc.lpszClassName = u"ProbeClass";
    ASSERT_NE(RegisterClassW(&wc), 0);
    Probe probe;
    RECT rect = {0, 0, 50, 40};
    HWND window = probe.CreateChild(u"ProbeClass", WS_VISIBLE, &rect, nullptr, nullptr, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(probe.Handle(), window);
    EXPECT_EQ(WindowBase::FromHandle(window), &probe);
    EXPECT_EQ(probe.creates, 1);
    DestroyWindow(window);
    EXPECT_EQ(probe.finals, 1);
    UnregisterClassW(u"ProbeClass", nullptr);
}

TEST_F(FrameworkTest, SystemControlsAreSubclassedAndGetTheirProcedureBack) {
    HWND parent = Top(0, 0, 100, 100);
    Probe probe;
    RECT rect = {0, 0, 80, 20};
    HWND bar = probe.CreateChild(u"SCROLLBAR", WS_CHILD | WS_VISIBLE, &rect, nullptr, parent, 5);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(WindowBase::FromHandle(bar), &probe);
    EXPECT_EQ(probe.creates, 1);  // OnCreate without creation data
    EXPECT_EQ(GetWindowLongPtrW(bar, GWL_WNDPROC), reinterpret_cast<LONG_PTR>(&WindowBase::SharedProc));
    DestroyWindow(bar);
    EXPECT_EQ(probe.finals, 1);

    Probe invalid;
    EXPECT_FALSE(invalid.Subclass(nullptr));
    EXPECT_FALSE(invalid.Subclass(bar));  // destroyed
}

TEST_F(FrameworkTest, ModifyStyleReportsChange) {
    Probe probe;
    HWND window = Top(0, 0, 50, 50);
    ASSERT_TRUE(probe.Subclass(window));
    EXPECT_TRUE(probe.ModifyStyle(GWL_STYLE, 0, WS_BORDER));
    EXPECT_FALSE(probe.ModifyStyle(GWL_STYLE, 0, WS_BORDER));
    EXPECT_TRUE((GetWindowLongW(window, GWL_STYLE) & WS_BORDER) != 0);
    probe.Unsubclass();
    EXPECT_EQ(WindowBase::FromHandle(window), nullptr);
}

// The dialog records how the framework ended it and where the focus went.
class FocusDialog : public DialogBase {
public:
    FocusDialog() : DialogBase(kFocusDialog, nullptr) {}
    struct Step {
        int control;
        bool panelUp;
    };
    std::vector<Step> steps;
    LRESULT OnInitDialog() override {
        DialogBase::OnInitDialog();
        PostMessageW(hwnd_, WM_USER + 10, 0, 0);
        return 1;
    }
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_USER + 10) {
            SetInputPanel(hwnd_, false);
            for (int id : {kReadOnly, kEdit, kReadOnly, kDropDownList, kEditableCombo, kEdit}) {
                SetFocus(GetDlgItem(hwnd_, id));
                PumpMessages();
                steps.push_back({id, PanelUp()});
            }
            SendMessageW(hwnd_, WM_CLOSE, 0, 0);
            return 0;
        }
        return DialogBase::WindowProc(message, wParam, lParam);
    }
};

TEST_F(FrameworkTest, InputPanelFollowsEditableFocusAndCloseCancels) {
    SetAppInstance(GetModuleHandleW(nullptr));
    FocusDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    const bool expected[] = {
        false,  // a read-only edit leaves the panel down
        true,   // an edit raises it
        false,  // leaving the edit lowers it
        false,  // a drop-down list does not raise it
        true,   // an editable combo box does
        true,   // and from there to the edit it stays up
    };
    ASSERT_EQ(dialog.steps.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(dialog.steps[i].panelUp, expected[i]) << "step " << i;
    }
    EXPECT_NE(dialog.TitleControl(), nullptr);
}

TEST_F(FrameworkTest, StringsAndMissingCaptions) {
    SetAppInstance(GetModuleHandleW(nullptr));
    EXPECT_EQ(std::u16string(LoadResString(412)), u"ERROR");
    EXPECT_EQ(std::u16string(LoadResString(999)), u"");
    WCHAR own[8];
    LoadResString(1000, nullptr, own, 8);
    EXPECT_EQ(std::u16string(own), u"Value %");  // cut at the capacity
}

TEST(WorkerThreadTest, StopEndsTheThreadAndAStartStopsTheOldOne) {
    static std::atomic<int> running{0};
    WorkerThread worker;
    auto loop = [](LPVOID p) -> DWORD {
        auto* self = static_cast<WorkerThread*>(p);
        ++running;
        while (!self->StopRequested()) Sleep(1);
        --running;
        return 0;
    };
    ASSERT_TRUE(worker.Start(loop, &worker));
    while (running == 0) Sleep(1);
    EXPECT_EQ(worker.State(), WorkerThread::kRunning);
    ASSERT_TRUE(worker.Start(loop, &worker));
    while (running == 0) Sleep(1);
    EXPECT_EQ(running, 1);  // the first one ended before the second began
    worker.Lock();          // held by the owner while stopping: released first
    worker.Stop();
    EXPECT_EQ(running, 0);
    EXPECT_EQ(worker.State(), WorkerThread::kNone);
    EXPECT_EQ(worker.Handle(), nullptr);
}

// The lock guards the album between the main thread and the loader: while
// one thread holds it (nested or not), the other must wait.
TEST(WorkerThreadTest, TheLockExcludesTheOtherThreadEvenWhenNested) {
    struct Shared {
        WorkerThread worker;
        std::atomic<bool> entered{false};
    } shared;
    shared.worker.Lock();
    shared.worker.Lock();    // nested on the holding thread: counted
    shared.worker.Unlock();  // the inner unlock keeps it held
    HANDLE other = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            s->worker.Unlock();  // not held by this thread: nothing
            s->worker.Lock();
            s->entered = true;
            s->worker.Unlock();
            return 0;
        },
        &shared, 0, nullptr);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(WaitForSingleObject(other, 200), (DWORD)WAIT_TIMEOUT);
    EXPECT_FALSE(shared.entered);
    shared.worker.Unlock();
    EXPECT_EQ(WaitForSingleObject(other, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(shared.entered);
    CloseHandle(other);
}

}  // namespace
