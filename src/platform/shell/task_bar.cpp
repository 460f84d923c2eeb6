// The navigation bar ("HHTaskBar"): the strip across the top of the screen
// with the start icon, the active window's title, the OK or cancel button of
// a dialog that asked for one, and the input-panel button. SHFullScreen hides
// and shows it and its parts; SHDoneButton gives a window its OK button.
//
// The bar is a topmost pop-up that never takes the activation, so a tap on it
// leaves the focus where it was. It repaints whenever the active window or a
// top-level window's title changes (the window manager's caption hook).
#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

#include "gwes/window_manager.h"
#include "shell/shell.h"

namespace shell {

namespace {

constexpr const WCHAR* kTaskBarClass = u"HHTaskBar";

// Widths of the bar's parts at the device's own scale.
constexpr int kStartWidth = 26;
constexpr int kDoneWidth = 28;
constexpr int kSipWidth = 26;

enum class Part { None, Start, Title, Done, Sip };

struct State {
    bool taskBar = true;
    bool sipButton = true;
    bool startIcon = true;
    HWND window = nullptr;
    std::map<HWND, DoneButton> done;
    Part pressed = Part::None;
};

std::mutex& Lock() {
    static auto* lock = new std::mutex;
    return *lock;
}
State& Shared() {
    static auto* state = new State;
    return *state;
}

int Scale() { return std::max(1, GetSystemMetrics(SM_CXBORDER)); }

struct Parts {
    RECT start = {0, 0, 0, 0};
    RECT title = {0, 0, 0, 0};
    RECT done = {0, 0, 0, 0};
    RECT sip = {0, 0, 0, 0};
};

// What the bar shows for the active window right now.
struct View {
    bool startIcon = true;
    bool sipButton = true;
    DoneButton done = DoneButton::None;
    HWND active = nullptr;
};

View CurrentView() {
    View v;
    v.active = GetForegroundWindow();
    {
        std::lock_guard<std::mutex> guard(Lock());
        v.startIcon = Shared().startIcon;
        v.sipButton = Shared().sipButton;
    }
    v.done = DoneButtonOf(v.active);
    if (v.active && MenuBarHidesSipButton(v.active)) v.sipButton = false;
    return v;
}

Parts Layout(const RECT& client, const View& v) {
    const int s = Scale();
    Parts p;
    int left = client.left, right = client.right;
    if (v.startIcon) {
        p.start = {left, client.top, left + kStartWidth * s, client.bottom};
        left = p.start.right;
    }
    if (v.sipButton) {
        p.sip = {right - kSipWidth * s, client.top, right, client.bottom};
        right = p.sip.left;
    }
    if (v.done != DoneButton::None) {
        p.done = {right - kDoneWidth * s, client.top, right, client.bottom};
        right = p.done.left;
    }
    p.title = {left + 4 * s, client.top, right, client.bottom};
    return p;
}

Part HitPart(const Parts& p, POINT pt) {
    if (PtInRect(&p.start, pt)) return Part::Start;
    if (PtInRect(&p.done, pt)) return Part::Done;
    if (PtInRect(&p.sip, pt)) return Part::Sip;
    if (PtInRect(&p.title, pt)) return Part::Title;
    return Part::None;
}

void Fill(HDC dc, RECT r, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

// The start icon: the four-coloured flag, drawn as four squares.
void DrawStartIcon(HDC dc, const RECT& r, bool pressed) {
    const int s = Scale();
    if (pressed) Fill(dc, r, GetSysColor(COLOR_HIGHLIGHT));
    const int side = 6 * s, gap = s, total = 2 * side + gap;
    const int x = (r.left + r.right - total) / 2, y = (r.top + r.bottom - total) / 2;
    const COLORREF colors[4] = {RGB(255, 0, 0), RGB(0, 192, 0), RGB(0, 96, 255), RGB(255, 208, 0)};
    for (int i = 0; i < 4; ++i) {
        int cx = x + (i % 2) * (side + gap), cy = y + (i / 2) * (side + gap);
        Fill(dc, RECT{cx, cy, cx + side, cy + side}, colors[i]);
    }
}

// The input-panel button: a small keyboard, drawn inverted while the panel is up.
void DrawSipButton(HDC dc, const RECT& r, bool up) {
    const int s = Scale();
    COLORREF face = up ? RGB(255, 255, 255) : GetSysColor(COLOR_ACTIVECAPTION);
    COLORREF ink = up ? GetSysColor(COLOR_ACTIVECAPTION) : RGB(255, 255, 255);
    int w = 18 * s, h = 12 * s;
    RECT box = {(r.left + r.right - w) / 2, (r.top + r.bottom - h) / 2, 0, 0};
    box.right = box.left + w;
    box.bottom = box.top + h;
    Fill(dc, box, ink);
    RECT inner = {box.left + s, box.top + s, box.right - s, box.bottom - s};
    Fill(dc, inner, face);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 6; ++col) {
            int kx = inner.left + s + col * 3 * s, ky = inner.top + s + row * 3 * s;
            Fill(dc, RECT{kx, ky, kx + 2 * s, ky + 2 * s}, ink);
        }
    int sy = inner.top + 7 * s;
    Fill(dc, RECT{inner.left + 4 * s, sy, inner.right - 4 * s, sy + 2 * s}, ink);  // the space bar
}

HFONT BoldFont() {
    static HFONT font = [] {
        LOGFONTW lf = {};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
        lf.lfWeight = FW_BOLD;
        return CreateFontIndirectW(&lf);
    }();
    return font;
}

void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd, &client);
    View v = CurrentView();
    Parts p = Layout(client, v);
    Part pressed;
    {
        std::lock_guard<std::mutex> guard(Lock());
        pressed = Shared().pressed;
    }
    Fill(dc, client, GetSysColor(COLOR_ACTIVECAPTION));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_CAPTIONTEXT));
    if (v.startIcon) DrawStartIcon(dc, p.start, pressed == Part::Start);
    WCHAR title[128] = {};
    if (v.active) GetWindowTextW(v.active, title, 128);
    HGDIOBJ oldFont = SelectObject(dc, BoldFont());
    DrawTextW(dc, title, -1, &p.title, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (v.done != DoneButton::None) {
        if (pressed == Part::Done) Fill(dc, p.done, GetSysColor(COLOR_HIGHLIGHT));
        const int s = Scale();
        RECT ring = p.done;
        InflateRect(&ring, -3 * s, -5 * s);
        HPEN pen = CreatePen(PS_SOLID, s, GetSysColor(COLOR_CAPTIONTEXT));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        RoundRect(dc, ring.left, ring.top, ring.right, ring.bottom, 8 * s, 8 * s);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        const WCHAR* label = v.done == DoneButton::Ok ? u"ok" : u"x";
        DrawTextW(dc, label, -1, &ring, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    if (v.sipButton) DrawSipButton(dc, p.sip, InputPanelUp() || pressed == Part::Sip);
    EndPaint(hwnd, &ps);
}

void Act(Part part) {
    switch (part) {
    case Part::Done: {
        HWND active = GetForegroundWindow();
        DoneButton button = DoneButtonOf(active);
        if (button != DoneButton::None)
            PostMessageW(active, WM_COMMAND, MAKEWPARAM(button == DoneButton::Ok ? IDOK : IDCANCEL, 0), 0);
        break;
    }
    case Part::Sip: SetInputPanel(!InputPanelUp()); break;
    default: break;  // the device's start menu is not part of the layer
    }
}

LRESULT CALLBACK TaskBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CLOSE: return 0;  // the bar belongs to the system
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: {
        RECT client;
        GetClientRect(hwnd, &client);
        Part hit = HitPart(Layout(client, CurrentView()), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        Part pressed;
        {
            std::lock_guard<std::mutex> guard(Lock());
            pressed = Shared().pressed;
            Shared().pressed = message == WM_LBUTTONDOWN ? hit : Part::None;
        }
        if (message == WM_LBUTTONDOWN) {
            SetCapture(hwnd);
        } else {
            if (GetCapture() == hwnd) ReleaseCapture();
            if (hit == pressed) Act(hit);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RegisterTaskBarClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc = {};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = TaskBarProc;
        wc.lpszClassName = kTaskBarClass;
        RegisterClassW(&wc);
    });
}

void OnCaptionChanged() { RefreshTaskBar(); }

// Puts a shell window where it belongs and shows or hides it, sending
// nothing when it is already so.
void Place(HWND window, const RECT& r, bool show) {
    RECT now;
    if (!GetWindowRect(window, &now)) return;
    if (EqualRect(&now, &r) && (IsWindowVisible(window) != FALSE) == show) return;
    SetWindowPos(window, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

}  // namespace

void PlaceShellWindow(HWND window, const RECT& r, bool show) { Place(window, r, show); }

void EnsureTaskBar() {
    RegisterTaskBarClass();
    HWND window;
    bool shown;
    {
        std::lock_guard<std::mutex> guard(Lock());
        window = Shared().window;
        shown = Shared().taskBar;
    }
    RECT r = gwes::NavigationBarRect();
    if (!window || !IsWindow(window)) {
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kTaskBarClass, nullptr,
                                 WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                 nullptr, nullptr);
        if (!window) return;
        {
            std::lock_guard<std::mutex> guard(Lock());
            Shared().window = window;
        }
        gwes::SetCaptionHook(OnCaptionChanged);
    }
    Place(window, r, shown);
}

void RefreshTaskBar() {
    HWND window;
    {
        std::lock_guard<std::mutex> guard(Lock());
        window = Shared().window;
    }
    if (window) InvalidateRect(window, nullptr, FALSE);
}

bool TaskBarShown() {
    std::lock_guard<std::mutex> guard(Lock());
    return Shared().taskBar;
}

void SetDoneButton(HWND window, DoneButton button) {
    // Windows that are gone take their buttons with them.
    std::vector<HWND> known, dead;
    {
        std::lock_guard<std::mutex> guard(Lock());
        for (const auto& entry : Shared().done) known.push_back(entry.first);
    }
    for (HWND h : known)
        if (!IsWindow(h)) dead.push_back(h);
    {
        std::lock_guard<std::mutex> guard(Lock());
        auto& done = Shared().done;
        for (HWND h : dead) done.erase(h);
        if (button == DoneButton::None) done.erase(window);
        else done[window] = button;
    }
    RefreshTaskBar();
}

DoneButton DoneButtonOf(HWND window) {
    if (!window) return DoneButton::None;
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Shared().done.find(window);
    return it == Shared().done.end() ? DoneButton::None : it->second;
}

}  // namespace shell

using namespace shell;

BOOL SHFullScreen(HWND requester, DWORD state) {
    if (!IsWindow(requester)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard<std::mutex> guard(Lock());
        State& s = Shared();
        if (state & SHFS_HIDETASKBAR) s.taskBar = false;
        if (state & SHFS_SHOWTASKBAR) s.taskBar = true;
        if (state & SHFS_HIDESIPBUTTON) s.sipButton = false;
        if (state & SHFS_SHOWSIPBUTTON) s.sipButton = true;
        if (state & SHFS_HIDESTARTICON) s.startIcon = false;
        if (state & SHFS_SHOWSTARTICON) s.startIcon = true;
    }
    gwes::SetShellLayout(TaskBarShown(), InputPanelUp());
    EnsureTaskBar();
    RefreshTaskBar();
    return TRUE;
}

BOOL SHDoneButton(HWND requester, DWORD state) {
    if (!IsWindow(requester)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    EnsureTaskBar();
    if (state & SHDB_HIDE) SetDoneButton(requester, DoneButton::None);
    else if (state & SHDB_SHOWCANCEL) SetDoneButton(requester, DoneButton::Cancel);
    else if (state & SHDB_SHOW) SetDoneButton(requester, DoneButton::Ok);
    return TRUE;
}
