// The fixture of the bar controls' tests (trackbar, progress bar, toolbar,
// tab control): a full-screen parent window that records the notifications
// its controls send (scrolls, commands, WM_NOTIFY codes), pen taps and drags
// in screen coordinates, and screen colours as the 16-bit display keeps them.
#pragma once

#include <string>
#include <vector>

#include "commctrl.h"
#include "gwes_fixture.h"
#include "windows.h"

namespace bars_test {

struct Event {
    UINT message;
    WPARAM wParam;   // for WM_NOTIFY: idFrom
    LPARAM lParam;   // for WM_NOTIFY: hwndFrom
    UINT code;       // WM_NOTIFY's code; 0 otherwise
};

inline std::vector<Event>& Events() {
    static std::vector<Event> events;
    return events;
}

// What the parent answers to TCN_SELCHANGING (nonzero refuses the change).
inline LRESULT& RefuseTabChange() {
    static LRESULT refuse = 0;
    return refuse;
}

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_COMMAND:
        Events().push_back({message, wParam, lParam, 0});
        return 0;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        Events().push_back({message, header->idFrom, reinterpret_cast<LPARAM>(header->hwndFrom), header->code});
        if (header->code == TCN_SELCHANGING) return RefuseTabChange();
        if (header->code == TTN_GETDISPINFOW) {
            // Tooltips asking their parent: "Tip <id>".
            auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
            std::u16string text = u"Tip " + std::u16string(1, static_cast<char16_t>(u'0' + header->idFrom % 10));
            std::copy(text.begin(), text.end(), info->szText);
            info->szText[text.size()] = 0;
            info->lpszText = info->szText;
        }
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

constexpr const WCHAR* kParentClass = u"BarsParent";

class BarsTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
        ASSERT_TRUE(InitCommonControlsEx(&icc));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = kParentClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
        ASSERT_NE(RegisterClassW(&wc), 0);
        parent_ = CreateWindowExW(0, kParentClass, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        Events().clear();
        RefuseTabChange() = 0;
    }
    void TearDown() override {
        WindowTest::TearDown();
        UnregisterClassW(kParentClass, nullptr);
        Events().clear();
    }

    HWND Control(const WCHAR* cls, DWORD style, int x, int y, int w, int h, int id = 1) {
        return CreateWindowExW(0, cls, nullptr, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                               nullptr);
    }

    static POINT OnScreen(HWND hwnd, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(hwnd, &p);
        return p;
    }
    static void Pen(platform::Pen action, HWND hwnd, int x, int y) {
        POINT p = OnScreen(hwnd, x, y);
        platform::InjectPen(action, p.x, p.y);
        Pump();
    }
    static void Tap(HWND hwnd, int x, int y) {
        Pen(platform::Pen::Down, hwnd, x, y);
        Pen(platform::Pen::Up, hwnd, x, y);
    }
    static void Key(UINT vk) {
        platform::InjectKey(vk, true);
        Pump();
        platform::InjectKey(vk, false);
        Pump();
    }
    // Pumps until `done` holds or two seconds pass (the tooltip's delay).
    template <class F>
    static bool PumpUntil(F done) {
        DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > 2000) return false;
            Pump();
            Sleep(5);
        }
        return true;
    }

    // The colour of a client pixel of `hwnd` as the screen shows it.
    static COLORREF At(HWND hwnd, int x, int y) {
        UpdateWindow(hwnd);
        POINT p = OnScreen(hwnd, x, y);
        return gwes_test::ScreenPixel(p.x, p.y);
    }
    // A colour as the 16-bit screen stores it.
    static COLORREF OnDisplay(COLORREF c) {
        HDC dc = GetDC(nullptr);
        COLORREF out = GetNearestColor(dc, c);
        ReleaseDC(nullptr, dc);
        return out;
    }
    static COLORREF Sys(int index) { return OnDisplay(GetSysColor(index)); }

    static std::vector<Event> Take() {
        std::vector<Event> out = Events();
        Events().clear();
        return out;
    }

    HWND parent_ = nullptr;
};

}  // namespace bars_test
