// Helpers for the window manager's tests: a fixture that registers a
// recording window class and cleans up every window, timer and queued
// message afterwards, a message log shared by all threads, and screen
// pixel reads through a screen DC.
#pragma once

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "device_fixture.h"
#include "platform/display.h"
#include "windows.h"

namespace gwes_test {

struct Logged {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LONG time;  // GetMessageTime() while the message was handled
};

inline std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}
inline std::vector<Logged>& Log() {
    static std::vector<Logged> log;
    return log;
}
inline void ClearLog() {
    std::lock_guard<std::mutex> guard(LogLock());
    Log().clear();
}
inline std::vector<Logged> TakeLog() {
    std::lock_guard<std::mutex> guard(LogLock());
    std::vector<Logged> out = Log();
    Log().clear();
    return out;
}

// The messages whose order the sequence tables describe.
inline bool Interesting(UINT m) {
    switch (m) {
    case WM_CREATE: case WM_DESTROY: case WM_NCDESTROY: case WM_SIZE: case WM_MOVE:
    case WM_SHOWWINDOW: case WM_WINDOWPOSCHANGING: case WM_WINDOWPOSCHANGED:
    case WM_ACTIVATE: case WM_SETFOCUS: case WM_KILLFOCUS: case WM_CLOSE: case WM_ENABLE:
    case WM_CAPTURECHANGED: case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
    case WM_MOUSEMOVE: case WM_KEYDOWN: case WM_KEYUP: case WM_CHAR: case WM_COMMAND:
    case WM_HOTKEY: case WM_TIMER: case WM_PAINT: case WM_USER: case WM_USER + 1:
        return true;
    default:
        return false;
    }
}

// What WM_CREATE returns for windows of the recording class (set per test).
inline LRESULT& CreateResult() {
    static LRESULT result = 0;
    return result;
}
// Quit the loop when the recording window is destroyed.
inline bool& QuitOnDestroy() {
    static bool quit = false;
    return quit;
}

inline LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Interesting(message)) {
        std::lock_guard<std::mutex> guard(LogLock());
        Log().push_back({hwnd, message, wParam, lParam, GetMessageTime()});
    }
    if (message == WM_CREATE) return CreateResult();
    if (message == WM_DESTROY && QuitOnDestroy()) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr const WCHAR* kRecordingClass = u"GwesRecording";
constexpr const WCHAR* kDoubleClickClass = u"GwesDoubleClick";

class WindowTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // Every test starts on the device's own screen, whatever ran before.
        platform::DisplayOptions screen;
        screen.root = root_;
        screen.screen = "240x320x16";
        screen.backend = "headless";
        ASSERT_TRUE(platform::StartDisplay(screen));
        ClearLog();
        CreateResult() = 0;
        QuitOnDestroy() = false;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = kRecordingClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
        ASSERT_NE(RegisterClassW(&wc), 0);
        wc.style = CS_DBLCLKS;
        wc.lpszClassName = kDoubleClickClass;
        ASSERT_NE(RegisterClassW(&wc), 0);
    }
    void TearDown() override {
        std::vector<HWND> tops;
        EnumWindows([](HWND h, LPARAM p) {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&tops));
        for (HWND h : tops) DestroyWindow(h);
        ReleaseCapture();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        UnregisterClassW(kRecordingClass, nullptr);
        UnregisterClassW(kDoubleClickClass, nullptr);
        DeviceTest::TearDown();
    }

    HWND Top(int x, int y, int w, int h, DWORD style = WS_VISIBLE, const WCHAR* cls = kRecordingClass) {
        return CreateWindowExW(0, cls, u"top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
    }
    HWND Child(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_VISIBLE) {
        return CreateWindowExW(0, kRecordingClass, u"child", WS_CHILD | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }

    // Dispatches everything that is waiting, paints included.
    static void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
};

inline COLORREF ScreenPixel(int x, int y) {
    HDC dc = GetDC(nullptr);
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(nullptr, dc);
    return c;
}

inline void FillClient(HWND hwnd, COLORREF color) {
    HDC dc = GetDC(hwnd);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    ReleaseDC(hwnd, dc);
}

}  // namespace gwes_test
