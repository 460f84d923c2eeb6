// Tests of the window manager: message traffic on creation, activation and
// destruction (expected sequences as data), classes, window data, geometry,
// queues across threads, timers, hot keys, capture, input routing, painting
// and clipping.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "gwes_fixture.h"
#include "platform/display.h"

using namespace gwes_test;

namespace {

// ---- Message sequences ----------------------------------------------------------------

struct Step {
    const char* who;  // a role named by the test
    UINT message;
    bool checkWParam;
    WPARAM wParam;
};

using Roles = std::map<std::string, HWND>;

// Compares the logged traffic (creation/destruction messages only) with the table.
void ExpectSequence(const std::vector<Step>& expected, const Roles& roles, const char* what) {
    std::vector<Logged> got;
    for (const Logged& l : TakeLog())
        if (l.message != WM_PAINT && l.message != WM_MOUSEMOVE && l.message != WM_TIMER) got.push_back(l);
    auto name = [&](HWND h) {
        for (auto& [n, v] : roles)
            if (v == h) return n;
        return std::string("?");
    };
    size_t n = std::max(expected.size(), got.size());
    for (size_t i = 0; i < n; ++i) {
        if (i >= expected.size()) {
            ADD_FAILURE() << what << ": unexpected extra message 0x" << std::hex << got[i].message << " to "
                          << name(got[i].hwnd);
            return;
        }
        if (i >= got.size()) {
            ADD_FAILURE() << what << ": missing message 0x" << std::hex << expected[i].message << " to "
                          << expected[i].who;
            return;
        }
        const Step& e = expected[i];
        EXPECT_EQ(got[i].message, e.message) << what << " step " << i << " (" << name(got[i].hwnd) << ")";
        EXPECT_EQ(name(got[i].hwnd), e.who) << what << " step " << i;
        if (e.checkWParam) {
            EXPECT_EQ(got[i].wParam, e.wParam) << what << " step " << i;
        }
        if (got[i].message != e.message) return;
    }
}

const std::vector<Step> kCreateTopLevelVisible = {
    {"top", WM_CREATE, false, 0},
    {"top", WM_SIZE, true, SIZE_RESTORED},
    {"top", WM_MOVE, false, 0},
    {"top", WM_SHOWWINDOW, true, TRUE},
    {"top", WM_WINDOWPOSCHANGING, false, 0},
    {"top", WM_WINDOWPOSCHANGED, false, 0},
    {"top", WM_ACTIVATE, true, WA_ACTIVE},
    {"top", WM_SETFOCUS, false, 0},
};

const std::vector<Step> kCreateChildVisible = {
    {"child", WM_CREATE, false, 0},
    {"child", WM_SIZE, true, SIZE_RESTORED},
    {"child", WM_MOVE, false, 0},
    {"child", WM_SHOWWINDOW, true, TRUE},
    {"child", WM_WINDOWPOSCHANGING, false, 0},
    {"child", WM_WINDOWPOSCHANGED, false, 0},
};

const std::vector<Step> kCreateHidden = {
    {"top", WM_CREATE, false, 0},
    {"top", WM_SIZE, true, SIZE_RESTORED},
    {"top", WM_MOVE, false, 0},
};

const std::vector<Step> kDestroyParentWithChildren = {
    {"top", WM_WINDOWPOSCHANGING, false, 0},
    {"top", WM_WINDOWPOSCHANGED, false, 0},
    {"top", WM_ACTIVATE, true, WA_INACTIVE},
    {"top", WM_KILLFOCUS, true, 0},
    {"top", WM_DESTROY, false, 0},
    {"child1", WM_DESTROY, false, 0},
    {"child2", WM_DESTROY, false, 0},
    {"child2", WM_NCDESTROY, false, 0},
    {"child1", WM_NCDESTROY, false, 0},
    {"top", WM_NCDESTROY, false, 0},
};

const std::vector<Step> kCreateFails = {
    {"new", WM_CREATE, false, 0},
    {"new", WM_DESTROY, false, 0},
    {"new", WM_NCDESTROY, false, 0},
};

const std::vector<Step> kSecondTopLevelTakesActivation = {
    {"second", WM_CREATE, false, 0},
    {"second", WM_SIZE, false, 0},
    {"second", WM_MOVE, false, 0},
    {"second", WM_SHOWWINDOW, true, TRUE},
    {"second", WM_WINDOWPOSCHANGING, false, 0},
    {"second", WM_WINDOWPOSCHANGED, false, 0},
    {"first", WM_ACTIVATE, true, WA_INACTIVE},
    {"second", WM_ACTIVATE, true, WA_ACTIVE},
    {"first", WM_KILLFOCUS, false, 0},
    {"second", WM_SETFOCUS, false, 0},
};

const std::vector<Step> kDestroyActiveActivatesOther = {
    {"second", WM_WINDOWPOSCHANGING, false, 0},
    {"second", WM_WINDOWPOSCHANGED, false, 0},
    {"first", WM_WINDOWPOSCHANGING, false, 0},  // comes to the top
    {"first", WM_WINDOWPOSCHANGED, false, 0},
    {"second", WM_ACTIVATE, true, WA_INACTIVE},
    {"first", WM_ACTIVATE, true, WA_ACTIVE},
    {"second", WM_KILLFOCUS, false, 0},
    {"first", WM_SETFOCUS, false, 0},
    {"second", WM_DESTROY, false, 0},
    {"second", WM_NCDESTROY, false, 0},
};

const std::vector<Step> kDestroyFocusedChild = {
    {"child", WM_WINDOWPOSCHANGING, false, 0},
    {"child", WM_WINDOWPOSCHANGED, false, 0},
    {"child", WM_KILLFOCUS, false, 0},
    {"top", WM_SETFOCUS, false, 0},
    {"child", WM_DESTROY, false, 0},
    {"child", WM_NCDESTROY, false, 0},
};

using GwesSequence = WindowTest;

TEST_F(GwesSequence, CreationAndDestruction) {
    HWND top = Top(0, 26, 240, 294);
    ASSERT_NE(top, nullptr);
    ExpectSequence(kCreateTopLevelVisible, {{"top", top}}, "create visible top-level");

    HWND child1 = Child(top, 1, 0, 0, 50, 50);
    ASSERT_NE(child1, nullptr);
    ExpectSequence(kCreateChildVisible, {{"child", child1}}, "create visible child");
    HWND child2 = Child(top, 2, 60, 0, 50, 50);
    TakeLog();

    ASSERT_TRUE(DestroyWindow(top));
    ExpectSequence(kDestroyParentWithChildren, {{"top", top}, {"child1", child1}, {"child2", child2}},
                   "destroy parent with children");
    // Handles stay safe to test after destruction.
    for (HWND h : {top, child1, child2}) {
        EXPECT_FALSE(IsWindow(h));
        SetLastError(0);
        EXPECT_EQ(GetWindowLongPtrW(h, GWL_USERDATA), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        EXPECT_FALSE(DestroyWindow(h));
    }
}

TEST_F(GwesSequence, HiddenCreationAndFailedCreation) {
    HWND top = Top(0, 26, 100, 100, 0);
    ASSERT_NE(top, nullptr);
    ExpectSequence(kCreateHidden, {{"top", top}}, "create hidden top-level");
    EXPECT_FALSE(IsWindowVisible(top));

    CreateResult() = -1;
    HWND failed = Top(0, 0, 10, 10);
    EXPECT_EQ(failed, nullptr);
    std::vector<Logged> log = TakeLog();
    ASSERT_FALSE(log.empty());
    HWND attempted = log.front().hwnd;
    Log() = log;
    ExpectSequence(kCreateFails, {{"new", attempted}}, "WM_CREATE returns -1");
    EXPECT_FALSE(IsWindow(attempted));
}

TEST_F(GwesSequence, ActivationMovesBetweenTopLevelWindows) {
    HWND first = Top(0, 26, 240, 294);
    TakeLog();
    HWND second = Top(0, 26, 240, 294);
    Roles roles = {{"first", first}, {"second", second}};
    ExpectSequence(kSecondTopLevelTakesActivation, roles, "second window");
    EXPECT_EQ(GetActiveWindow(), second);
    EXPECT_EQ(GetFocus(), second);
    EXPECT_EQ(GetWindow(first, GW_HWNDFIRST), second);

    DestroyWindow(second);
    ExpectSequence(kDestroyActiveActivatesOther, roles, "destroy the active window");
    EXPECT_EQ(GetActiveWindow(), first);
    EXPECT_EQ(GetForegroundWindow(), first);
}

TEST_F(GwesSequence, DestroyingTheFocusedChildMovesTheFocusToItsParent) {
    HWND top = Top(0, 26, 240, 294);
    HWND child = Child(top, 5, 0, 0, 50, 50);
    SetFocus(child);
    EXPECT_EQ(GetFocus(), child);
    TakeLog();
    DestroyWindow(child);
    ExpectSequence(kDestroyFocusedChild, {{"top", top}, {"child", child}}, "destroy focused child");
    EXPECT_EQ(GetFocus(), top);
}

TEST_F(GwesSequence, CloseDestroysThroughDefWindowProc) {
    HWND top = Top(0, 26, 100, 100);
    SendMessageW(top, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(top));
}

// ---- Classes and window data ------------------------------------------------------------

using GwesClass = WindowTest;

LPVOID g_createParam = nullptr;
LRESULT CALLBACK CreateParamProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) g_createParam = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(GwesClass, RegistrationRules) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CreateParamProc;
    wc.lpszClassName = u"GwesParam";
    wc.cbWndExtra = 16;
    ATOM atom = RegisterClassW(&wc);
    ASSERT_NE(atom, 0);
    SetLastError(0);
    EXPECT_EQ(RegisterClassW(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    int marker = 0;
    // Class names ignore case, and the atom names the class too.
    HWND w = CreateWindowExW(0, u"gwesPARAM", nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, &marker);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(g_createParam, &marker);
    HWND byAtom = CreateWindowExW(0, MAKEINTATOM(atom), nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(byAtom, nullptr);
    WCHAR name[32];
    EXPECT_EQ(GetClassNameW(w, name, 32), 9);
    EXPECT_EQ(std::u16string(name), u"GwesParam");

    SetLastError(0);
    EXPECT_FALSE(UnregisterClassW(u"GwesParam", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(w);
    DestroyWindow(byAtom);
    EXPECT_TRUE(UnregisterClassW(u"GwesParam", nullptr));

    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, kRecordingClass, nullptr, WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
}

WNDPROC g_previous = nullptr;
LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 7) return 77;
    return CallWindowProcW(g_previous, hwnd, message, wParam, lParam);
}

TEST_F(GwesClass, WindowDataKeepsPointerWidth) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"GwesExtra";
    wc.cbWndExtra = 12;
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND w = CreateWindowExW(0, u"GwesExtra", nullptr, 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(w, nullptr);

    // A 64-bit pointer survives in GWL_USERDATA through the Ptr forms.
    LONG_PTR big = static_cast<LONG_PTR>(0x123456789ABCDEF0ull);
    EXPECT_EQ(SetWindowLongPtrW(w, GWL_USERDATA, big), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_USERDATA), big);
    EXPECT_EQ(GetWindowLongW(w, GWL_USERDATA), static_cast<LONG>(0x9ABCDEF0u));

    // Subclassing through GWL_WNDPROC, passing the rest on.
    g_previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(w, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
    EXPECT_EQ(g_previous, RecordingProc);
    EXPECT_EQ(SendMessageW(w, WM_USER + 7, 0, 0), 77);
    SendMessageW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"through"));
    WCHAR text[16];
    EXPECT_EQ(GetWindowTextW(w, text, 16), 7);
    EXPECT_EQ(std::u16string(text), u"through");

    // Extra bytes: 32-bit at any offset inside, pointer-sized where it fits.
    EXPECT_EQ(SetWindowLongW(w, 8, 42), 0);
    EXPECT_EQ(GetWindowLongW(w, 8), 42);
    EXPECT_EQ(SetWindowLongPtrW(w, 0, big), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, 0), big);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(w, 8), 0);  // 8 + 8 > 12
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

    EXPECT_EQ(SetWindowLongW(w, GWL_ID, 99), 0);
    EXPECT_EQ(GetWindowLongW(w, GWL_ID), 99);
    DWORD style = static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE));
    SetWindowLongW(w, GWL_STYLE, static_cast<LONG>(style | WS_BORDER));
    EXPECT_TRUE(GetWindowLongW(w, GWL_STYLE) & WS_BORDER);
    DestroyWindow(w);
    UnregisterClassW(u"GwesExtra", nullptr);
}

TEST_F(GwesClass, TextThroughMessages) {
    HWND w = Top(0, 26, 50, 50, 0);
    EXPECT_EQ(GetWindowTextLengthW(w), 3);  // "top"
    EXPECT_TRUE(SetWindowTextW(w, u"A longer title"));
    WCHAR small[5];
    EXPECT_EQ(GetWindowTextW(w, small, 5), 4);
    EXPECT_EQ(std::u16string(small), u"A lo");
    EXPECT_EQ(FindWindowW(kRecordingClass, u"a longer TITLE"), w);
    EXPECT_EQ(FindWindowW(nullptr, u"A longer title"), w);
    EXPECT_EQ(FindWindowW(kRecordingClass, u"other"), nullptr);
}

// ---- Geometry and relations ----------------------------------------------------------------

using GwesGeometry = WindowTest;

TEST_F(GwesGeometry, FramesAndCoordinates) {
    struct Case {
        DWORD style;
        DWORD exStyle;
        RECT client;  // expected client rectangle of a 100x100 window
    };
    const int caption = GetSystemMetrics(SM_CYCAPTION), border = GetSystemMetrics(SM_CXBORDER);
    const int frame = GetSystemMetrics(SM_CXDLGFRAME), scroll = GetSystemMetrics(SM_CXVSCROLL);
    const Case cases[] = {
        {0, 0, {0, 0, 100, 100}},
        {WS_BORDER, 0, {0, 0, 100 - 2 * border, 100 - 2 * border}},
        {WS_CAPTION, 0, {0, 0, 100 - 2 * frame, 100 - 2 * frame - caption}},
        {WS_VSCROLL, 0, {0, 0, 100 - scroll, 100}},
        {WS_BORDER | WS_HSCROLL, 0, {0, 0, 100 - 2 * border, 100 - 2 * border - scroll}},
    };
    for (const Case& c : cases) {
        HWND w = CreateWindowExW(c.exStyle, kRecordingClass, nullptr, c.style, 10, 40, 100, 100, nullptr, nullptr,
                                 nullptr, nullptr);
        RECT r;
        GetClientRect(w, &r);
        EXPECT_TRUE(EqualRect(&r, &c.client)) << "style " << std::hex << c.style << ": " << r.right << "x" << r.bottom;
        RECT wr;
        GetWindowRect(w, &wr);
        EXPECT_EQ(wr.left, 10);
        EXPECT_EQ(wr.top, 40);
        RECT adjusted = c.client;
        AdjustWindowRectEx(&adjusted, c.style, FALSE, c.exStyle);
        EXPECT_EQ(adjusted.right - adjusted.left, 100);
        EXPECT_EQ(adjusted.bottom - adjusted.top, 100);
        DestroyWindow(w);
    }

    HWND top = Top(20, 50, 200, 200, WS_VISIBLE | WS_BORDER);
    HWND child = Child(top, 7, 30, 40, 50, 50);
    POINT p = {0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 20 + border + 30);
    EXPECT_EQ(p.y, 50 + border + 40);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 30);
    EXPECT_EQ(p.y, 40);
    POINT q[2] = {{0, 0}, {5, 5}};
    MapWindowPoints(child, top, q, 2);
    EXPECT_EQ(q[1].x, 35);
    EXPECT_EQ(q[1].y, 45);
    EXPECT_EQ(GetDlgItem(top, 7), child);
    EXPECT_EQ(GetDlgCtrlID(child), 7);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_TRUE(IsChild(top, child));
    EXPECT_EQ(WindowFromPoint(POINT{20 + border + 31, 50 + border + 41}), child);
    EXPECT_EQ(WindowFromPoint(POINT{20 + border + 1, 50 + border + 1}), top);
}

TEST_F(GwesGeometry, DefaultPlacementFillsTheWorkArea) {
    RECT work;
    platform::GetWorkArea(&work);
    EXPECT_EQ(work.top, 26);
    EXPECT_EQ(work.bottom, GetSystemMetrics(SM_CYSCREEN));
    HWND top = CreateWindowExW(0, kRecordingClass, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    RECT r;
    GetWindowRect(top, &r);
    EXPECT_TRUE(EqualRect(&r, &work));
    // A given position with the default size: the size reaches the work area's corner.
    HWND at = CreateWindowExW(0, kRecordingClass, nullptr, 0, 0, 26, CW_USEDEFAULT, 0, nullptr, nullptr, nullptr,
                              nullptr);
    GetWindowRect(at, &r);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    HWND child = CreateWindowExW(0, kRecordingClass, nullptr, WS_CHILD, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, top,
                                 nullptr, nullptr, nullptr);
    GetWindowRect(child, &r);
    EXPECT_TRUE(IsRectEmpty(&r));
}

TEST_F(GwesGeometry, ZOrderAndSetWindowPosFlags) {
    HWND top = Top(0, 26, 240, 294);
    HWND a = Child(top, 1, 0, 0, 10, 10);
    HWND b = Child(top, 2, 0, 0, 10, 10);
    HWND c = Child(top, 3, 0, 0, 10, 10);
    // Children keep creation order from the top of the z-order.
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDNEXT), c);
    EXPECT_EQ(GetWindow(c, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetWindow(c, GW_HWNDPREV), b);
    EXPECT_EQ(GetWindow(b, GW_HWNDLAST), c);

    struct Case {
        HWND window;
        HWND after;
        UINT flags;
        HWND expectFirst, expectSecond, expectThird;
    };
    const Case cases[] = {
        {c, HWND_TOP, SWP_NOMOVE | SWP_NOSIZE, c, a, b},
        {c, HWND_BOTTOM, SWP_NOMOVE | SWP_NOSIZE, a, b, c},
        {a, b, SWP_NOMOVE | SWP_NOSIZE, b, a, c},
        {c, HWND_TOP, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER, b, a, c},
    };
    for (const Case& k : cases) {
        EXPECT_TRUE(SetWindowPos(k.window, k.after, 0, 0, 0, 0, k.flags));
        EXPECT_EQ(GetWindow(top, GW_CHILD), k.expectFirst);
        EXPECT_EQ(GetWindow(k.expectFirst, GW_HWNDNEXT), k.expectSecond);
        EXPECT_EQ(GetWindow(k.expectSecond, GW_HWNDNEXT), k.expectThird);
    }

    // SWP_NOMOVE keeps the place, SWP_NOSIZE the size; a real size change sends WM_SIZE.
    TakeLog();
    SetWindowPos(a, nullptr, 5, 6, 30, 40, SWP_NOMOVE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(a, &r);
    POINT origin = {0, 0};
    ClientToScreen(top, &origin);
    EXPECT_EQ(r.left - origin.x, 0);
    EXPECT_EQ(r.right - r.left, 30);
    bool sized = false;
    for (const Logged& l : TakeLog())
        if (l.hwnd == a && l.message == WM_SIZE && LOWORD(l.lParam) == 30 && HIWORD(l.lParam) == 40) sized = true;
    EXPECT_TRUE(sized);
    MoveWindow(a, 5, 6, 30, 40, TRUE);
    GetWindowRect(a, &r);
    EXPECT_EQ(r.left - origin.x, 5);
    bool movedOnly = true;
    for (const Logged& l : TakeLog())
        if (l.hwnd == a && l.message == WM_SIZE) movedOnly = false;
    EXPECT_TRUE(movedOnly);
    // Showing and hiding with the flags.
    SetWindowPos(b, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_FALSE(IsWindowVisible(b));
    SetWindowPos(b, nullptr, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_TRUE(IsWindowVisible(b));
    ShowWindow(top, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(b));  // a child is only visible with its parent
    EXPECT_TRUE(GetWindowLongW(b, GWL_STYLE) & WS_VISIBLE);
}

TEST_F(GwesGeometry, EnableFocusAndCapture) {
    HWND top = Top(0, 26, 240, 294);
    HWND a = Child(top, 1, 0, 0, 10, 10);
    HWND b = Child(top, 2, 20, 0, 10, 10);
    EXPECT_EQ(SetFocus(a), top);
    TakeLog();
    EXPECT_EQ(SetFocus(b), a);
    ExpectSequence({{"a", WM_KILLFOCUS, true, reinterpret_cast<WPARAM>(b)},
                    {"b", WM_SETFOCUS, true, reinterpret_cast<WPARAM>(a)}},
                   {{"a", a}, {"b", b}}, "focus moves");
    // Disabling the focus window takes the focus away; disabled windows refuse it.
    EXPECT_FALSE(EnableWindow(b, FALSE));
    EXPECT_FALSE(IsWindowEnabled(b));
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_EQ(SetFocus(b), nullptr);
    EXPECT_EQ(GetFocus(), nullptr);
    EXPECT_TRUE(EnableWindow(b, TRUE));
    TakeLog();

    EXPECT_EQ(SetCapture(a), nullptr);
    EXPECT_EQ(SetCapture(b), a);
    EXPECT_EQ(GetCapture(), b);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    ExpectSequence({{"a", WM_CAPTURECHANGED, false, 0}, {"b", WM_CAPTURECHANGED, false, 0}},
                   {{"a", a}, {"b", b}}, "capture changes");
}

// ---- Queues --------------------------------------------------------------------------------

using GwesQueue = WindowTest;

TEST_F(GwesQueue, RetrievalOrderAndFilters) {
    HWND w = Top(0, 26, 100, 100);
    Pump();
    InvalidateRect(w, nullptr, TRUE);
    PostMessageW(w, WM_USER, 1, 0);
    PostMessageW(w, WM_USER + 1, 2, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 3, 0);
    MSG msg;
    // A range filter skips what is outside it; PM_NOREMOVE leaves it queued.
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, nullptr);
    EXPECT_EQ(msg.wParam, 3u);
    // Posted messages come before WM_PAINT.
    const UINT expected[] = {WM_USER, WM_USER + 1, WM_PAINT};
    for (UINT m : expected) {
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
        EXPECT_EQ(msg.message, m);
        DispatchMessageW(&msg);
    }
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    PostQuitMessage(3);
    PostMessageW(w, WM_USER, 0, 0);
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(GwesQueue, TranslateMessageMakesCharacters) {
    HWND w = Top(0, 26, 100, 100);
    Pump();
    TakeLog();
    platform::InjectKey('A', true);
    platform::InjectKey('A', false);
    platform::InjectKey(VK_RETURN, true);
    Pump();
    std::vector<Step> seq = {
        {"w", WM_KEYDOWN, true, 'A'}, {"w", WM_CHAR, true, 'a'}, {"w", WM_KEYUP, true, 'A'},
        {"w", WM_KEYDOWN, true, VK_RETURN}, {"w", WM_CHAR, true, '\r'},
    };
    ExpectSequence(seq, {{"w", w}}, "keys");
    platform::InjectKey(VK_RETURN, false);
    Pump();
}

// Window procedure of the other thread's window: on WM_USER it sends back to
// the window given in lParam (so each side sends while the other waits).
LRESULT CALLBACK PingPongProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        HWND back = reinterpret_cast<HWND>(lParam);
        return SendMessageW(back, WM_USER + 1, wParam + 1, 0) + 1;
    }
    if (message == WM_USER + 1) return static_cast<LRESULT>(wParam) * 10;
    if (message == WM_USER + 2) return static_cast<LRESULT>(GetCurrentThreadId());
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(GwesQueue, SendMessageAcrossThreadsBothWays) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PingPongProc;
    wc.lpszClassName = u"GwesPingPong";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND mine = CreateWindowExW(0, u"GwesPingPong", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);

    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> done{false};
    std::atomic<LRESULT> theirResult{0};
    DWORD mainThread = GetCurrentThreadId();
    std::thread worker([&] {
        HWND w = CreateWindowExW(0, u"GwesPingPong", nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        theirs = w;
        // This thread sends to the main thread's window while the main thread
        // is itself sending to this thread's window.
        theirResult = SendMessageW(mine, WM_USER, 100, reinterpret_cast<LPARAM>(w));
        MSG msg;
        while (!done) {
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
            DispatchMessageW(&msg);
        }
        DestroyWindow(w);
    });
    while (!theirs) Sleep(1);
    // Runs on the owner thread.
    EXPECT_NE(static_cast<DWORD>(SendMessageW(theirs, WM_USER + 2, 0, 0)), mainThread);
    // Main -> worker -> main (nested) -> worker: ((5 + 1) * 10) + 1.
    EXPECT_EQ(SendMessageW(theirs, WM_USER, 5, reinterpret_cast<LPARAM>(mine)), 61);
    done = true;
    PostMessageW(theirs, WM_NULL, 0, 0);
    // The worker's own send (answered by this thread while it waited).
    worker.join();
    EXPECT_EQ(theirResult.load(), 1011);
    DestroyWindow(mine);
    UnregisterClassW(u"GwesPingPong", nullptr);
}

TEST_F(GwesQueue, SendToAThreadThatEndsReturns) {
    std::atomic<HWND> theirs{nullptr};
    std::atomic<bool> go{false};
    std::thread worker([&] {
        theirs = CreateWindowExW(0, kRecordingClass, nullptr, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        while (!go) Sleep(1);
        // Ends without pumping: the pending send is answered with 0.
    });
    while (!theirs) Sleep(1);
    std::thread sender([&] { EXPECT_EQ(SendMessageW(theirs, WM_USER, 0, 0), 0); });
    Sleep(20);
    go = true;
    worker.join();
    sender.join();
}

TEST_F(GwesQueue, MsgWaitForMultipleObjectsWakesForObjectsAndMessages) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    std::thread signal([&] { SetEvent(event); });
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_ALLINPUT), static_cast<DWORD>(WAIT_OBJECT_0));
    signal.join();
    ResetEvent(event);
    PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, INFINITE, QS_POSTMESSAGE),
              static_cast<DWORD>(WAIT_OBJECT_0 + 1));
    // Input that the mask leaves out does not end the wait.
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 0, QS_KEY), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(event);
}

// ---- Timers and hot keys -------------------------------------------------------------------------

std::atomic<int> g_timerProcCalls{0};
void CALLBACK CountingTimerProc(HWND, UINT message, UINT_PTR, DWORD) {
    if (message == WM_TIMER) ++g_timerProcCalls;
}

// Runs the loop until `done` holds; false after ten seconds (a hung test).
template <class F>
bool PumpUntil(F done) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 10000) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

using GwesTimer = WindowTest;

TEST_F(GwesTimer, WindowTimersAndTimerProcs) {
    HWND w = Top(0, 26, 10, 10, 0);
    EXPECT_EQ(SetTimer(w, 5, 10, nullptr), 5u);
    auto timerSeen = [&] {
        for (const Logged& l : Log())
            if (l.hwnd == w && l.message == WM_TIMER && l.wParam == 5) return true;
        return false;
    };
    EXPECT_TRUE(PumpUntil([&] {
        std::lock_guard<std::mutex> guard(LogLock());
        return timerSeen();
    }));
    EXPECT_TRUE(KillTimer(w, 5));
    EXPECT_FALSE(KillTimer(w, 5));
    TakeLog();
    // A killed timer no longer fires, and WM_TIMER waits behind posted messages.
    UINT_PTR id = SetTimer(nullptr, 0, 10, CountingTimerProc);
    EXPECT_NE(id, 0u);
    Sleep(30);
    PostMessageW(w, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    DispatchMessageW(&msg);
    EXPECT_GT(g_timerProcCalls.load(), 0);
    EXPECT_TRUE(KillTimer(nullptr, id));
    {
        std::lock_guard<std::mutex> guard(LogLock());
        EXPECT_FALSE(timerSeen());
    }
    // Destroying a window ends its timers.
    SetTimer(w, 9, 10, nullptr);
    DestroyWindow(w);
    EXPECT_FALSE(KillTimer(w, 9));
}

using GwesHotKey = WindowTest;

TEST_F(GwesHotKey, RegisteredKeysArriveAsWmHotkey) {
    HWND w = Top(0, 26, 100, 100);
    Pump();
    ASSERT_TRUE(RegisterHotKey(w, 7, 0, VK_F5));
    SetLastError(0);
    EXPECT_FALSE(RegisterHotKey(w, 8, 0, VK_F5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));
    TakeLog();
    platform::InjectKey(VK_F5, true);
    platform::InjectKey(VK_F5, false);
    Pump();
    std::vector<Logged> log = TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].message, static_cast<UINT>(WM_HOTKEY));
    EXPECT_EQ(log[0].wParam, 7u);
    EXPECT_EQ(HIWORD(log[0].lParam), VK_F5);
    EXPECT_EQ(log[1].message, static_cast<UINT>(WM_KEYUP));
    EXPECT_TRUE(UnregisterHotKey(w, 7));
    EXPECT_FALSE(UnregisterHotKey(w, 7));
    platform::InjectKey(VK_F5, true);
    platform::InjectKey(VK_F5, false);
    Pump();
    log = TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].message, static_cast<UINT>(WM_KEYDOWN));
}

// ---- Pen input -----------------------------------------------------------------------------------

using GwesPen = WindowTest;

TEST_F(GwesPen, RoutingCaptureAndDoubleClicks) {
    HWND top = Top(0, 26, 240, 294);
    HWND left = Child(top, 1, 0, 0, 100, 100);
    HWND right = Child(top, 2, 120, 0, 100, 100);
    Pump();
    TakeLog();
    platform::InjectPen(platform::Pen::Down, 130, 36);
    platform::InjectPen(platform::Pen::Up, 130, 36);
    Pump();
    std::vector<Logged> log = TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, right);
    EXPECT_EQ(log[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(log[0].wParam, static_cast<WPARAM>(MK_LBUTTON));
    EXPECT_EQ(GET_X_LPARAM(log[0].lParam), 10);
    EXPECT_EQ(GET_Y_LPARAM(log[0].lParam), 10);

    // With the capture, input goes to the capturing window in its coordinates.
    SetCapture(left);
    TakeLog();
    platform::InjectPen(platform::Pen::Down, 130, 36);
    platform::InjectPen(platform::Pen::Move, 140, 46);
    platform::InjectPen(platform::Pen::Up, 140, 46);
    Pump();
    log = TakeLog();
    ASSERT_EQ(log.size(), 3u);
    for (const Logged& l : log) EXPECT_EQ(l.hwnd, left);
    EXPECT_EQ(log[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(GET_X_LPARAM(log[1].lParam), 140);
    ReleaseCapture();

    // Disabled children pass the pen to their parent.
    EnableWindow(right, FALSE);
    TakeLog();
    platform::InjectPen(platform::Pen::Down, 130, 36);
    platform::InjectPen(platform::Pen::Up, 130, 36);
    Pump();
    log = TakeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().hwnd, top);

    // Double clicks only for CS_DBLCLKS classes.
    HWND dbl = CreateWindowExW(0, kDoubleClickClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 150, 50, 50, top, nullptr,
                               nullptr, nullptr);
    Pump();
    TakeLog();
    for (HWND target : {left, dbl}) {
        POINT p = {5, 5};
        ClientToScreen(target, &p);
        for (int i = 0; i < 2; ++i) {
            platform::InjectPen(platform::Pen::Down, p.x, p.y);
            platform::InjectPen(platform::Pen::Up, p.x, p.y);
        }
    }
    Pump();
    log = TakeLog();
    ASSERT_EQ(log.size(), 8u);
    EXPECT_EQ(log[2].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(log[6].hwnd, dbl);
    EXPECT_EQ(log[6].message, static_cast<UINT>(WM_LBUTTONDBLCLK));
}

TEST_F(GwesPen, PenDownActivatesItsTopLevelWindow) {
    HWND first = Top(0, 26, 100, 100);
    HWND second = Top(120, 26, 100, 100);
    EXPECT_EQ(GetActiveWindow(), second);
    TakeLog();
    platform::InjectPen(platform::Pen::Down, 10, 40);
    platform::InjectPen(platform::Pen::Up, 10, 40);
    Pump();
    EXPECT_EQ(GetActiveWindow(), first);
    // Activation comes before the pen-down itself.
    std::vector<Logged> log = TakeLog();
    auto at = [&](HWND h, UINT m) {
        for (size_t i = 0; i < log.size(); ++i)
            if (log[i].hwnd == h && log[i].message == m) return static_cast<int>(i);
        return -1;
    };
    ASSERT_GE(at(first, WM_ACTIVATE), 0);
    EXPECT_EQ(log[static_cast<size_t>(at(first, WM_ACTIVATE))].wParam, static_cast<WPARAM>(WA_CLICKACTIVE));
    EXPECT_LT(at(first, WM_ACTIVATE), at(first, WM_LBUTTONDOWN));
}

// ---- Painting and clipping -------------------------------------------------------------------------

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);

using GwesPaint = WindowTest;

TEST_F(GwesPaint, ChildrenAndHigherSiblingsClip) {
    HWND back = Top(0, 30, 100, 100);
    HWND child = Child(back, 1, 10, 10, 20, 20);
    HWND front = Top(50, 30, 100, 100);
    Pump();
    FillClient(front, kBlue);
    FillClient(child, kGreen);
    FillClient(back, kRed);  // must not reach the child or the window in front
    struct Probe {
        int x, y;
        COLORREF color;
    };
    const Probe probes[] = {
        {5, 35, kRed},     // back, outside the child
        {15, 45, kGreen},  // the child
        {45, 125, kRed},   // back, left of the front window
        {55, 35, kBlue},   // front covers back here
        {140, 120, kBlue},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(ScreenPixel(p.x, p.y), p.color) << p.x << "," << p.y;
    // Brought to the top, back now draws over the old front window.
    SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FillClient(back, kRed);
    EXPECT_EQ(ScreenPixel(55, 35), kRed);
    EXPECT_EQ(ScreenPixel(15, 45), kGreen);
}

TEST_F(GwesPaint, UncoveringInvalidatesWhatWasUncovered) {
    HWND back = Top(0, 30, 200, 200);
    Pump();
    RECT update;
    EXPECT_FALSE(GetUpdateRect(back, &update, FALSE));
    HWND cover = Top(20, 50, 40, 30);
    Pump();
    EXPECT_FALSE(GetUpdateRect(back, &update, FALSE));
    ShowWindow(cover, SW_HIDE);
    ASSERT_TRUE(GetUpdateRect(back, &update, FALSE));
    RECT expected = {20, 20, 60, 50};  // back's client coordinates
    EXPECT_TRUE(EqualRect(&update, &expected))
        << update.left << "," << update.top << "," << update.right << "," << update.bottom;
    // The paint comes through the loop and validates.
    TakeLog();
    Pump();
    bool painted = false;
    for (const Logged& l : TakeLog())
        if (l.hwnd == back && l.message == WM_PAINT) painted = true;
    EXPECT_TRUE(painted);
    EXPECT_FALSE(GetUpdateRect(back, &update, FALSE));

    // Moving a window away uncovers its old place too.
    ShowWindow(cover, SW_SHOW);
    Pump();
    MoveWindow(cover, 120, 50, 40, 30, TRUE);
    ASSERT_TRUE(GetUpdateRect(back, &update, FALSE));
    EXPECT_TRUE(EqualRect(&update, &expected));
}

LRESULT CALLBACK PaintingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RecordingProc(hwnd, message, static_cast<WPARAM>(ps.fErase), 0);
        HBRUSH b = CreateSolidBrush(RGB(0, 0, 255));
        RECT all = {0, 0, 1000, 1000};
        FillRect(dc, &all, b);  // clipped to the update region
        DeleteObject(b);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(GwesPaint, BeginPaintErasesWithTheClassBrushAndClipsToTheUpdate) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = PaintingProc;
    wc.lpszClassName = u"GwesPainting";
    wc.hbrBackground = CreateSolidBrush(kGreen);
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND w = CreateWindowExW(0, u"GwesPainting", nullptr, WS_VISIBLE, 0, 30, 100, 100, nullptr, nullptr, nullptr,
                             nullptr);
    UpdateWindow(w);
    EXPECT_EQ(ScreenPixel(50, 80), kBlue);
    // Only the invalidated part is repainted: erase to the class brush first.
    RECT part = {0, 0, 10, 10};
    HDC dc = GetDC(w);
    RECT all = {0, 0, 100, 100};
    HBRUSH red = CreateSolidBrush(kRed);
    FillRect(dc, &all, red);
    DeleteObject(red);
    ReleaseDC(w, dc);
    InvalidateRect(w, &part, TRUE);
    TakeLog();
    UpdateWindow(w);
    std::vector<Logged> log = TakeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].wParam, static_cast<WPARAM>(FALSE));  // erased by the class brush
    EXPECT_EQ(ScreenPixel(5, 35), kBlue);
    EXPECT_EQ(ScreenPixel(50, 80), kRed);
    DestroyWindow(w);
    UnregisterClassW(u"GwesPainting", nullptr);
    DeleteObject(wc.hbrBackground);
}

TEST_F(GwesPaint, RedrawWindowFlags) {
    HWND top = Top(0, 30, 100, 100);
    HWND child = Child(top, 1, 10, 10, 20, 20);
    Pump();
    RECT r;
    struct Case {
        const RECT* area;
        UINT flags;
        bool topDirty, childDirty;
    };
    const RECT corner = {0, 0, 5, 5};
    const Case cases[] = {
        {nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN, true, true},
        {nullptr, RDW_VALIDATE | RDW_ALLCHILDREN, false, false},
        {nullptr, RDW_INVALIDATE, true, false},  // children clip their parent, so they are left alone
        {nullptr, RDW_VALIDATE, false, false},
        {&corner, RDW_INVALIDATE | RDW_ALLCHILDREN, true, false},  // the corner misses the child
    };
    for (const Case& c : cases) {
        RedrawWindow(top, c.area, nullptr, c.flags);
        EXPECT_EQ(GetUpdateRect(top, &r, FALSE) != FALSE, c.topDirty) << std::hex << c.flags;
        EXPECT_EQ(GetUpdateRect(child, &r, FALSE) != FALSE, c.childDirty) << std::hex << c.flags;
    }
    // RDW_UPDATENOW paints before it returns.
    TakeLog();
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::vector<Logged> log = TakeLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].hwnd, top);
    EXPECT_EQ(log[1].hwnd, child);
    EXPECT_FALSE(GetUpdateRect(top, &r, FALSE));
}

TEST_F(GwesPaint, SizeChangesRedrawAllOnlyWithRedrawStyles) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = u"GwesRedrawStyles";
    wc.style = CS_HREDRAW | CS_VREDRAW;
    ASSERT_NE(RegisterClassW(&wc), 0);
    struct Case {
        const WCHAR* cls;
        RECT expectedUpdate;
    };
    const Case cases[] = {
        {kRecordingClass, {100, 0, 150, 100}},      // only the new strip
        {u"GwesRedrawStyles", {0, 0, 150, 100}},    // everything
    };
    for (const Case& c : cases) {
        HWND w = Top(0, 30, 100, 100, WS_VISIBLE, c.cls);
        Pump();
        SetWindowPos(w, nullptr, 0, 0, 150, 100, SWP_NOMOVE | SWP_NOZORDER);
        RECT r;
        ASSERT_TRUE(GetUpdateRect(w, &r, FALSE));
        EXPECT_TRUE(EqualRect(&r, &c.expectedUpdate)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        DestroyWindow(w);
    }
    UnregisterClassW(u"GwesRedrawStyles", nullptr);
}

}  // namespace
