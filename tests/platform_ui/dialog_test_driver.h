// Helpers for the dialog manager's tests: a test control class ("TestCtl")
// that records what it is sent and answers WM_GETDLGCODE and BM_GETCHECK from
// its extra bytes, and a dialog driver whose steps run one per timer tick
// while a modal dialog (or message box) runs, so that pen taps and keys are
// injected after the dialog is up and has the focus. A driver that runs out of
// steps ends the dialog with kStuck after a while, so a fault fails the test
// instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "gwes_fixture.h"
#include "platform/display.h"
#include "windows.h"

namespace dialog_test {

constexpr const WCHAR* kTestControlClass = u"TestCtl";
constexpr INT_PTR kStuck = 999;
constexpr UINT_PTR kStepTimer = 0x5151;

// Extra bytes of a TestCtl window.
constexpr int kCheckSlot = 0;                        // BM_SETCHECK's state
constexpr int kCodeSlot = sizeof(LONG_PTR);          // the WM_GETDLGCODE answer
constexpr int kCreateSlot = 2 * sizeof(LONG_PTR);    // lpCreateParams at WM_CREATE
constexpr int kTestControlExtra = 3 * sizeof(LONG_PTR);

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// One log for test controls and the driver's dialog procedure, in order.
inline std::vector<Seen>& SeenLog() {
    static std::vector<Seen> log;
    return log;
}

inline LRESULT CALLBACK TestControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, kCreateSlot, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        SeenLog().push_back({hwnd, message, wParam, lParam});
        return 0;
    }
    case WM_SETFONT:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_LBUTTONDOWN:
    case WM_KEYDOWN:
    case WM_CHAR:
        SeenLog().push_back({hwnd, message, wParam, lParam});
        return 0;
    case WM_GETDLGCODE: return GetWindowLongPtrW(hwnd, kCodeSlot);
    case BM_SETCHECK:
        SeenLog().push_back({hwnd, message, wParam, lParam});
        SetWindowLongPtrW(hwnd, kCheckSlot, static_cast<LONG_PTR>(wParam));
        return 0;
    case BM_GETCHECK: return GetWindowLongPtrW(hwnd, kCheckSlot);
    case BM_CLICK:
    case WM_LBUTTONUP:
        // A click tells the parent, as a button does.
        SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                     reinterpret_cast<LPARAM>(hwnd));
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

inline void RegisterTestControl() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TestControlProc;
    wc.cbWndExtra = kTestControlExtra;
    wc.lpszClassName = kTestControlClass;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    RegisterClassW(&wc);
}

using Step = std::function<void(HWND dialog)>;

// What a driven dialog does; handed to the dialog as its init parameter.
struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    int idleTicks = 0;
    BOOL initResult = TRUE;
    bool endOnCommand = true;  // WM_COMMAND ends the dialog with the command id
    HWND dialog = nullptr;
    // Called first for every message; a result other than -1 is the answer.
    std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> hook;
};

inline INT_PTR CALLBACK DriverProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Driver* d = message == WM_INITDIALOG ? reinterpret_cast<Driver*>(lParam)
                                         : reinterpret_cast<Driver*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        d->dialog = dialog;
        SetTimer(dialog, kStepTimer, 10, nullptr);
    }
    if (message == WM_INITDIALOG || message == WM_SETFONT || message == WM_COMMAND || message == WM_CREATE ||
        message == WM_SHOWWINDOW || message == WM_DRAWITEM)
        SeenLog().push_back({dialog, message, wParam, lParam});
    if (!d) return FALSE;
    if (d->hook) {
        INT_PTR r = d->hook(dialog, message, wParam, lParam);
        if (r != -1) return r;
    }
    switch (message) {
    case WM_INITDIALOG: return d->initResult;
    case WM_TIMER:
        if (wParam != kStepTimer) return FALSE;
        if (d->next < d->steps.size()) {
            d->steps[d->next++](dialog);
        } else if (++d->idleTicks > 100) {
            KillTimer(dialog, kStepTimer);
            EndDialog(dialog, kStuck);
        }
        return TRUE;
    case WM_COMMAND:
        if (!d->endOnCommand) return FALSE;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    default: return FALSE;
    }
}

// ---- Steps ----------------------------------------------------------------------------

inline Step Key(UINT vk) {
    return [vk](HWND) {
        platform::InjectKey(vk, true);
        platform::InjectKey(vk, false);
    };
}

// A key with Shift held. The key state is read when the key message is
// handled, so Shift goes up in a later step (Release).
inline Step ShiftKey(UINT vk) {
    return [vk](HWND) {
        platform::InjectKey(VK_SHIFT, true);
        platform::InjectKey(vk, true);
        platform::InjectKey(vk, false);
    };
}

inline Step Release(UINT vk) {
    return [vk](HWND) { platform::InjectKey(vk, false); };
}

inline Step Text(std::u16string text) {
    return [text](HWND) { platform::InjectText(text); };
}

// A pen tap at the centre of a window.
inline void TapWindow(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    platform::InjectPen(platform::Pen::Down, x, y);
    platform::InjectPen(platform::Pen::Up, x, y);
}

inline Step Tap(int id) {
    return [id](HWND dialog) { TapWindow(GetDlgItem(dialog, id)); };
}

inline Step ExpectFocus(int id) {
    return [id](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, id)) << "focus should be on control " << id << ", is on "
                                                      << GetDlgCtrlID(GetFocus());
    };
}

inline Step Do(std::function<void(HWND)> f) { return f; }

inline int Round(double v) { return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5); }

}  // namespace dialog_test
