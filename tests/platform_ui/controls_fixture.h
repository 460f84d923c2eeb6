// Helpers for the standard controls' tests: a parent window that records
// what its controls send it (notifications, scroll codes, owner-draw and
// colour requests) and answers the owner-draw questions as a test sets up,
// and pen and key input given in a control's own client coordinates.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gwes_fixture.h"
#include "platform/display.h"
#include "windows.h"

namespace controls_test {

// One message a control sent its parent. WM_COMMAND: id and code;
// WM_HSCROLL/WM_VSCROLL: code = scroll code, pos = HIWORD(wParam), trackPos
// = SIF_TRACKPOS at that moment; WM_DRAWITEM: id = CtlID, code = itemAction,
// pos = itemState, item = itemID; colour questions: from = the control.
struct Note {
    UINT message = 0;
    int id = 0;
    int code = 0;
    HWND from = nullptr;
    int pos = 0;
    int trackPos = 0;
    int item = 0;
    RECT rect = {0, 0, 0, 0};
};

struct ParentSetup {
    HBRUSH brush = nullptr;  // answer to WM_CTLCOLORxxx (0: default handling)
    COLORREF textColor = CLR_INVALID;
    UINT itemHeight = 0;     // answer to WM_MEASUREITEM (0: leave it)
    bool compareByData = false;  // WM_COMPAREITEM: compare item data as numbers
    bool followScroll = false;   // WM_xSCROLL from a bar control moves it as asked
    UINT destroyOn = 0;          // WM_COMMAND or WM_xSCROLL: destroy the sender...
    int destroyCode = -1;        // ... when it sends this code
};

inline std::vector<Note>& Notes() {
    static std::vector<Note> notes;
    return notes;
}
inline ParentSetup& ParentAnswers() {
    static ParentSetup setup;
    return setup;
}

inline bool IsColorQuestion(UINT m) { return m >= WM_CTLCOLORMSGBOX && m <= WM_CTLCOLORSTATIC; }

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Note n;
    n.message = message;
    switch (message) {
    case WM_COMMAND:
        n.id = LOWORD(wParam);
        n.code = HIWORD(wParam);
        n.from = reinterpret_cast<HWND>(lParam);
        Notes().push_back(n);
        if (ParentAnswers().destroyOn == WM_COMMAND && n.code == ParentAnswers().destroyCode) DestroyWindow(n.from);
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        n.code = LOWORD(wParam);
        n.pos = HIWORD(wParam);
        n.from = reinterpret_cast<HWND>(lParam);
        SCROLLINFO si = {sizeof si, SIF_TRACKPOS | SIF_POS | SIF_PAGE | SIF_RANGE, 0, 0, 0, 0, 0};
        if (n.from && GetScrollInfo(n.from, SB_CTL, &si)) n.trackPos = si.nTrackPos;
        Notes().push_back(n);
        if (ParentAnswers().destroyOn == message && n.code == ParentAnswers().destroyCode) {
            DestroyWindow(n.from);
            return 0;
        }
        if (ParentAnswers().followScroll && n.from) {
            int pos = si.nPos;
            switch (n.code) {
            case SB_LINEUP: --pos; break;
            case SB_LINEDOWN: ++pos; break;
            case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
            case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: pos = si.nTrackPos; break;
            default: break;
            }
            SetScrollPos(n.from, SB_CTL, pos, TRUE);
        }
        return 0;
    }
    case WM_DRAWITEM: {
        const DRAWITEMSTRUCT* d = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        n.id = static_cast<int>(d->CtlID);
        n.code = static_cast<int>(d->itemAction);
        n.pos = static_cast<int>(d->itemState);
        n.item = static_cast<int>(d->itemID);
        n.from = d->hwndItem;
        n.rect = d->rcItem;
        n.trackPos = static_cast<int>(d->CtlType);
        Notes().push_back(n);
        return TRUE;
    }
    case WM_MEASUREITEM: {
        MEASUREITEMSTRUCT* m = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        n.id = static_cast<int>(m->CtlID);
        n.item = static_cast<int>(m->itemID);
        n.trackPos = static_cast<int>(m->CtlType);
        Notes().push_back(n);
        if (ParentAnswers().itemHeight) m->itemHeight = ParentAnswers().itemHeight;
        return TRUE;
    }
    case WM_DELETEITEM: {
        const DELETEITEMSTRUCT* d = reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
        n.id = static_cast<int>(d->CtlID);
        n.item = static_cast<int>(d->itemID);
        n.pos = static_cast<int>(d->itemData);
        Notes().push_back(n);
        return TRUE;
    }
    case WM_COMPAREITEM: {
        const COMPAREITEMSTRUCT* c = reinterpret_cast<const COMPAREITEMSTRUCT*>(lParam);
        if (!ParentAnswers().compareByData) return 0;
        return c->itemData1 < c->itemData2 ? -1 : c->itemData1 > c->itemData2 ? 1 : 0;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        n.pos = static_cast<int>(lParam);
        Notes().push_back(n);
        return 0;
    default:
        if (IsColorQuestion(message)) {
            n.from = reinterpret_cast<HWND>(lParam);
            Notes().push_back(n);
            if (ParentAnswers().brush) {
                if (ParentAnswers().textColor != CLR_INVALID) SetTextColor(reinterpret_cast<HDC>(wParam), ParentAnswers().textColor);
                return reinterpret_cast<LRESULT>(ParentAnswers().brush);
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

constexpr const WCHAR* kParentClass = u"ControlsParent";

class ControlTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        Notes().clear();
        ParentAnswers() = ParentSetup();
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = kParentClass;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
        ASSERT_NE(RegisterClassW(&wc), 0);
        // A borderless parent over the whole screen: its client coordinates are
        // screen coordinates.
        parent_ = CreateWindowExW(0, kParentClass, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        Pump();
    }
    void TearDown() override {
        if (ParentAnswers().brush) DeleteObject(ParentAnswers().brush);
        ParentAnswers() = ParentSetup();
        WindowTest::TearDown();
        UnregisterClassW(kParentClass, nullptr);
    }

    HWND Make(const WCHAR* cls, DWORD style, int id, int x, int y, int w, int h, const WCHAR* text = u"") {
        HWND c = CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        Pump();
        return c;
    }

    static POINT Screen(HWND hwnd, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(hwnd, &p);
        return p;
    }
    static void Down(HWND hwnd, int x, int y) {
        POINT p = Screen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Down, p.x, p.y);
        Pump();
    }
    static void Move(HWND hwnd, int x, int y) {
        POINT p = Screen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Move, p.x, p.y);
        Pump();
    }
    static void Up(HWND hwnd, int x, int y) {
        POINT p = Screen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Up, p.x, p.y);
        Pump();
    }
    static void Tap(HWND hwnd, int x, int y) {
        Down(hwnd, x, y);
        Up(hwnd, x, y);
    }
    // Taps twice at the same place, quickly enough for a double tap.
    static void DoubleTap(HWND hwnd, int x, int y) {
        Tap(hwnd, x, y);
        Tap(hwnd, x, y);
    }
    static void Key(UINT vk) {
        platform::InjectKey(vk, true);
        platform::InjectKey(vk, false);
        Pump();
    }
    static void ShiftKey(UINT vk) {
        platform::InjectKey(VK_SHIFT, true);
        Key(vk);
        platform::InjectKey(VK_SHIFT, false);
        Pump();
    }
    static void Type(std::u16string_view text) {
        platform::InjectText(text);
        Pump();
    }

    // The codes of one kind of message a control sent, in order.
    static std::vector<int> Codes(UINT message, HWND from = nullptr) {
        std::vector<int> codes;
        for (const Note& n : Notes())
            if (n.message == message && (!from || n.from == from)) codes.push_back(n.code);
        return codes;
    }
    static std::vector<Note> Taken(UINT message) {
        std::vector<Note> out;
        for (const Note& n : Notes())
            if (n.message == message) out.push_back(n);
        return out;
    }
    static int Count(UINT message, HWND from = nullptr) { return static_cast<int>(Codes(message, from).size()); }

    static std::u16string Text(HWND hwnd) {
        WCHAR buffer[512];
        GetWindowTextW(hwnd, buffer, 512);
        return buffer;
    }
    static std::pair<int, int> Sel(HWND edit) {
        DWORD a = 0, b = 0;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        return {static_cast<int>(a), static_cast<int>(b)};
    }
    static RECT WindowRect(HWND hwnd) {
        RECT r;
        GetWindowRect(hwnd, &r);
        return r;
    }
    static RECT ClientRect(HWND hwnd) {
        RECT r;
        GetClientRect(hwnd, &r);
        return r;
    }
    // The colour on the screen at a control's client point.
    static COLORREF PixelAt(HWND hwnd, int x, int y) {
        POINT p = Screen(hwnd, x, y);
        return gwes_test::ScreenPixel(p.x, p.y);
    }
    // Whether any pixel of a client rectangle has the colour.
    static bool AnyPixel(HWND hwnd, RECT r, COLORREF color) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (PixelAt(hwnd, x, y) == color) return true;
        return false;
    }

    HWND parent_ = nullptr;
};

}  // namespace controls_test
