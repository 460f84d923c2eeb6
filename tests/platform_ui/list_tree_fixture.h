// Helpers of the list-view, tree-view and image-list tests: a parent window
// that keeps a copy of every WM_NOTIFY its controls send (the structures
// themselves only live during the call) and lets a test answer them, pen and
// key input through the device's injection, and 24-bit canvases whose
// pixels can be read back exactly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "commctrl.h"
#include "gwes_fixture.h"
#include "list_tree_ids.h"
#include "platform/display.h"

namespace list_tree_test {

// One notification as the parent saw it.
struct Note {
    HWND from = nullptr;
    UINT code = 0;
    // List views (NMLISTVIEW, NMITEMACTIVATE, NMLVDISPINFO, NMLVKEYDOWN).
    int item = -1;
    int subItem = 0;
    UINT newState = 0;
    UINT oldState = 0;
    UINT changed = 0;
    POINT pt = {0, 0};
    LPARAM lParam = 0;
    UINT mask = 0;  // dispinfo: the fields asked for
    WORD key = 0;
    // Tree views (NMTREEVIEW, NMTVDISPINFO).
    UINT action = 0;
    HTREEITEM oldItem = nullptr;
    HTREEITEM newItem = nullptr;
    UINT newItemState = 0;
    LPARAM oldParam = 0;
    LPARAM newParam = 0;
};

inline std::vector<Note>& Notes() {
    static std::vector<Note> notes;
    return notes;
}
// The parent's answer to a notification (0 when not set); it may fill in
// dispinfo structures or call back into the control.
inline std::function<LRESULT(NMHDR*)>& Answer() {
    static std::function<LRESULT(NMHDR*)> answer;
    return answer;
}

inline bool IsClass(HWND hwnd, const WCHAR* name) {
    WCHAR buffer[64] = {};
    GetClassNameW(hwnd, buffer, 64);
    return lstrcmpiW(buffer, name) == 0;
}

inline Note Copy(const NMHDR* h) {
    Note n;
    n.from = h->hwndFrom;
    n.code = h->code;
    if (IsClass(h->hwndFrom, WC_LISTVIEWW)) {
        switch (h->code) {
            case NM_CLICK:
            case NM_DBLCLK:
            case NM_RCLICK:
            case LVN_ITEMACTIVATE: {
                auto* a = reinterpret_cast<const NMITEMACTIVATE*>(h);
                n.item = a->iItem;
                n.subItem = a->iSubItem;
                n.pt = a->ptAction;
                n.lParam = a->lParam;
                break;
            }
            case LVN_GETDISPINFOW: {
                auto* d = reinterpret_cast<const NMLVDISPINFOW*>(h);
                n.item = d->item.iItem;
                n.subItem = d->item.iSubItem;
                n.lParam = d->item.lParam;
                n.mask = d->item.mask;
                break;
            }
            case LVN_KEYDOWN: n.key = reinterpret_cast<const NMLVKEYDOWN*>(h)->wVKey; break;
            case NM_SETFOCUS:
            case NM_KILLFOCUS:
            case NM_RETURN: break;
            default: {
                auto* l = reinterpret_cast<const NMLISTVIEW*>(h);
                n.item = l->iItem;
                n.subItem = l->iSubItem;
                n.newState = l->uNewState;
                n.oldState = l->uOldState;
                n.changed = l->uChanged;
                n.pt = l->ptAction;
                n.lParam = l->lParam;
                break;
            }
        }
    } else if (IsClass(h->hwndFrom, WC_TREEVIEWW)) {
        switch (h->code) {
            case TVN_SELCHANGINGW:
            case TVN_SELCHANGEDW:
            case TVN_ITEMEXPANDINGW:
            case TVN_ITEMEXPANDEDW:
            case TVN_DELETEITEMW:
            case TVN_BEGINDRAGW: {
                auto* t = reinterpret_cast<const NMTREEVIEWW*>(h);
                n.action = t->action;
                n.oldItem = t->itemOld.hItem;
                n.newItem = t->itemNew.hItem;
                n.newItemState = t->itemNew.state;
                n.oldParam = t->itemOld.lParam;
                n.newParam = t->itemNew.lParam;
                break;
            }
            case TVN_GETDISPINFOW: {
                auto* d = reinterpret_cast<const NMTVDISPINFOW*>(h);
                n.newItem = d->item.hItem;
                n.mask = d->item.mask;
                n.newParam = d->item.lParam;
                break;
            }
            case TVN_KEYDOWN: n.key = reinterpret_cast<const NMTVKEYDOWN*>(h)->wVKey; break;
            default: break;
        }
    }
    return n;
}

inline LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto* h = reinterpret_cast<NMHDR*>(lParam);
        Notes().push_back(Copy(h));
        return Answer() ? Answer()(h) : 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr const WCHAR* kParentClass = u"ListTreeParent";

class ListTreeTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&init));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ParentProc;
        wc.lpszClassName = kParentClass;
        wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
        ASSERT_NE(RegisterClassW(&wc), 0);
        Notes().clear();
        Answer() = nullptr;
        parent_ = CreateWindowExW(0, kParentClass, u"parent", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                                  nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent_, nullptr);
        Pump();
    }
    void TearDown() override {
        Answer() = nullptr;
        WindowTest::TearDown();
        UnregisterClassW(kParentClass, nullptr);
        Notes().clear();
    }

    HWND Make(const WCHAR* cls, DWORD style, int x = 10, int y = 10, int w = 200, int h = 200, int id = 100) {
        HWND hwnd = CreateWindowExW(0, cls, u"", WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent_,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        Pump();
        Notes().clear();
        return hwnd;
    }

    // Pen input at a point of `hwnd`'s client area.
    static POINT OnScreen(HWND hwnd, int x, int y) {
        POINT p = {x, y};
        ClientToScreen(hwnd, &p);
        return p;
    }
    static void PenDown(HWND hwnd, int x, int y) {
        POINT p = OnScreen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Down, p.x, p.y);
        Pump();
    }
    static void PenMove(HWND hwnd, int x, int y) {
        POINT p = OnScreen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Move, p.x, p.y);
        Pump();
    }
    static void PenUp(HWND hwnd, int x, int y) {
        POINT p = OnScreen(hwnd, x, y);
        platform::InjectPen(platform::Pen::Up, p.x, p.y);
        Pump();
    }
    // A pen-down on the parent's free corner: the next tap on a control
    // cannot pair with the one before it into a double tap.
    void Unpair() const {
        PenDown(parent_, 236, 316);
        PenUp(parent_, 236, 316);
    }
    void Tap(HWND hwnd, int x, int y) const {
        Unpair();
        PenDown(hwnd, x, y);
        PenUp(hwnd, x, y);
    }
    void DoubleTap(HWND hwnd, int x, int y) const {
        Unpair();
        PenDown(hwnd, x, y);
        PenUp(hwnd, x, y);
        PenDown(hwnd, x, y);
        PenUp(hwnd, x, y);
    }
    // Holds the pen until a notification with `code` arrives (or a generous
    // limit passes, so a broken control fails instead of hanging).
    void Hold(HWND hwnd, int x, int y, UINT code) const {
        Unpair();
        PenDown(hwnd, x, y);
        for (int i = 0; i < 300 && Count(code) == 0; ++i) {
            Sleep(10);
            Pump();
        }
        PenUp(hwnd, x, y);
    }
    static void Key(UINT vk) {
        platform::InjectKey(vk, true);
        platform::InjectKey(vk, false);
        Pump();
    }

    static size_t Count(UINT code) {
        size_t n = 0;
        for (const Note& note : Notes()) n += note.code == code ? 1 : 0;
        return n;
    }
    static std::vector<Note> Only(UINT code) {
        std::vector<Note> out;
        for (const Note& note : Notes())
            if (note.code == code) out.push_back(note);
        return out;
    }
    // The codes in order, leaving out the ones that only ask for data.
    static std::vector<UINT> Codes() {
        std::vector<UINT> out;
        for (const Note& note : Notes())
            if (note.code != LVN_GETDISPINFOW && note.code != TVN_GETDISPINFOW && note.code != NM_SETFOCUS &&
                note.code != NM_KILLFOCUS && note.code != NM_CUSTOMDRAW)
                out.push_back(note.code);
        return out;
    }

    HWND parent_ = nullptr;
};

// A colour as the 16-bit screen stores it.
inline COLORREF AsOnScreen(COLORREF c) {
    HDC dc = GetDC(nullptr);
    COLORREF out = GetNearestColor(dc, c);
    ReleaseDC(nullptr, dc);
    return out;
}

// A 24-bit top-down DIB section in a memory DC, for exact pixel checks.
class Canvas {
public:
    Canvas(int w, int h, COLORREF fill) : w_(w) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint8_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
        RECT r = {0, 0, w, h};
        HBRUSH b = CreateSolidBrush(fill);
        FillRect(dc_, &r, b);
        DeleteObject(b);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;
    HDC dc() const { return dc_; }
    COLORREF At(int x, int y) const {
        size_t stride = (static_cast<size_t>(w_) * 3 + 3) & ~static_cast<size_t>(3);
        const uint8_t* p = bits_ + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
        return RGB(p[2], p[1], p[0]);
    }

private:
    int w_;
    HBITMAP bitmap_ = nullptr;
    uint8_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

inline HINSTANCE Self() { return GetModuleHandleW(nullptr); }

}  // namespace list_tree_test
