// Helpers for the menu and shell tests: a fixture that starts and ends every
// test with the shell in its normal state (navigation bar and its buttons
// shown, input panel down), a window class that logs the messages menus and
// the shell send, a driver that runs steps from a timer inside modal loops
// (a popup menu's loop), and pen taps and key presses.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "aygshell.h"
#include "gwes_fixture.h"

namespace shell_test {

struct Sent {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

inline std::vector<Sent>& Messages() {
    static std::vector<Sent> messages;
    return messages;
}

inline bool Logged(UINT m) {
    switch (m) {
    case WM_INITMENUPOPUP: case WM_COMMAND: case WM_SETTINGCHANGE: case WM_KEYDOWN: case WM_KEYUP:
    case WM_CHAR: case WM_NOTIFY: case WM_ACTIVATE:
        return true;
    default:
        return false;
    }
}

// What a window of the logging class does on WM_INITMENUPOPUP (set per test).
inline std::function<void(HMENU)>& OnInitMenuPopup() {
    static std::function<void(HMENU)> hook;
    return hook;
}

inline LRESULT CALLBACK LoggingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Logged(message)) Messages().push_back({hwnd, message, wParam, lParam});
    if (message == WM_INITMENUPOPUP && OnInitMenuPopup()) OnInitMenuPopup()(reinterpret_cast<HMENU>(wParam));
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr const WCHAR* kLoggingClass = u"ShellLogging";

// Messages of one kind that a window got, in order.
inline std::vector<Sent> Of(UINT message, HWND hwnd = nullptr) {
    std::vector<Sent> out;
    for (const Sent& s : Messages())
        if (s.message == message && (!hwnd || s.hwnd == hwnd)) out.push_back(s);
    return out;
}

// Steps run one per timer tick on the test's thread, so each sees the input
// of the one before handled. When they run out the driver ends any menu left
// open, so a failing test reports instead of waiting forever.
class Driver {
public:
    Driver() {
        Steps().clear();
        id_ = SetTimer(nullptr, 0, 1, Tick);
    }
    ~Driver() { KillTimer(nullptr, id_); }
    Driver& Then(std::function<void()> step) {
        Steps().push_back(std::move(step));
        return *this;
    }

private:
    static std::vector<std::function<void()>>& Steps() {
        static std::vector<std::function<void()>> steps;
        return steps;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (Steps().empty()) {
            EndMenu();
            return;
        }
        auto step = std::move(Steps().front());
        Steps().erase(Steps().begin());
        step();
    }
    UINT_PTR id_ = 0;
};

inline void Tap(POINT p) {
    platform::InjectPen(platform::Pen::Down, p.x, p.y);
    platform::InjectPen(platform::Pen::Up, p.x, p.y);
}

inline POINT Center(const RECT& r) { return {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

inline void Press(UINT vk) {
    platform::InjectKey(vk, true);
    platform::InjectKey(vk, false);
}

// The centre of an item of a popup menu that is showing.
inline POINT ItemCenter(HMENU menu, UINT position) {
    RECT r = {};
    EXPECT_TRUE(GetMenuItemRect(nullptr, menu, position, &r)) << "item " << position << " is not showing";
    return Center(r);
}

inline RECT WindowRectOf(HWND hwnd) {
    RECT r = {};
    GetWindowRect(hwnd, &r);
    return r;
}

inline RECT WorkArea() {
    RECT r = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

// The shell as a program finds it at start: every bar shown, the panel down.
inline void ResetShell() {
    SipShowIM(SIPF_OFF);
    SHFullScreen(GetDesktopWindow(), SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
}

class ShellTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Messages().clear();
        OnInitMenuPopup() = nullptr;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = LoggingProc;
        wc.lpszClassName = kLoggingClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
        ASSERT_NE(RegisterClassW(&wc), 0);
        ResetShell();
    }
    void TearDown() override {
        ResetShell();
        WindowTest::TearDown();
        UnregisterClassW(kLoggingClass, nullptr);
        OnInitMenuPopup() = nullptr;
    }

    // A visible top-level window of the logging class, active and focused.
    HWND Owner(const WCHAR* title = u"Owner") {
        HWND h = CreateWindowExW(0, kLoggingClass, title, WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr, nullptr,
                                 nullptr);
        EXPECT_NE(h, nullptr);
        Pump();
        return h;
    }
    static HMODULE Module() { return GetModuleHandleW(nullptr); }
};

}  // namespace shell_test
