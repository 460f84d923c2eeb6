// The input panel ("SipWndClass"): the on-screen keyboard that comes up in the
// strip above the menu bar, since a pen device has no other keyboard. Its
// calls: SHSipInfo, SHSipPreference, SipShowIM, SipGetInfo, SipSetInfo.
//
// A tap on a key is typed into the focus window through the device's own
// keyboard input, exactly as a key of a real keyboard would be: WM_KEYDOWN,
// then WM_CHAR, then WM_KEYUP. Letters, digits, space, Enter, Tab and
// backspace get their character from TranslateMessage like any key; the
// other characters (punctuation, shifted digits) are typed with their
// character right after the key. Shift is a toggle held in the keyboard
// state, so TranslateMessage sees it. The panel never takes the activation,
// so the focus stays where the user was typing.
#include <algorithm>
#include <mutex>
#include <vector>

#include "gwes/window_manager.h"
#include "shell/shell.h"

namespace shell {

namespace {

constexpr const WCHAR* kSipClass = u"SipWndClass";

// Virtual keys of the keys that have no letter or digit of their own.
constexpr UINT kVkOemSemicolon = 0xBA;
constexpr UINT kVkOemPlus = 0xBB;
constexpr UINT kVkOemComma = 0xBC;
constexpr UINT kVkOemMinus = 0xBD;
constexpr UINT kVkOemPeriod = 0xBE;
constexpr UINT kVkOemSlash = 0xBF;
constexpr UINT kVkOemTilde = 0xC0;
constexpr UINT kVkOemOpen = 0xDB;
constexpr UINT kVkOemBackslash = 0xDC;
constexpr UINT kVkOemClose = 0xDD;
constexpr UINT kVkOemQuote = 0xDE;
constexpr UINT kVkProcessKey = 0xE5;  // a character typed without a key of its own

// One key: its labels, its virtual key, and the characters typed with it (0:
// TranslateMessage makes the character from the key). Widths are in thirtieths
// of the panel's width; a key without a virtual key is a gap.
struct Key {
    const char16_t* label;
    const char16_t* shifted;
    UINT vk;
    char16_t ch;
    char16_t shiftedCh;
    int units;
};

constexpr int kUnitsPerRow = 30;
constexpr int kRows = 5;

#define LETTER(l, u) {l, u, static_cast<UINT>(u[0]), 0, 0, 2}
#define DIGIT(d, s) {d, s, static_cast<UINT>(d[0]), 0, s[0], 2}
#define PUNCT(l, s, vk) {l, s, vk, l[0], s[0], 2}

const std::vector<Key> kKeyboard[kRows] = {
    {PUNCT(u"`", u"~", kVkOemTilde), DIGIT(u"1", u"!"), DIGIT(u"2", u"@"), DIGIT(u"3", u"#"), DIGIT(u"4", u"$"),
     DIGIT(u"5", u"%"), DIGIT(u"6", u"^"), DIGIT(u"7", u"&"), DIGIT(u"8", u"*"), DIGIT(u"9", u"("),
     DIGIT(u"0", u")"), PUNCT(u"-", u"_", kVkOemMinus), PUNCT(u"=", u"+", kVkOemPlus),
     {u"\u2190", u"\u2190", VK_BACK, 0, 0, 4}},
    {{u"Tab", u"Tab", VK_TAB, 0, 0, 3}, LETTER(u"q", u"Q"), LETTER(u"w", u"W"), LETTER(u"e", u"E"),
     LETTER(u"r", u"R"), LETTER(u"t", u"T"), LETTER(u"y", u"Y"), LETTER(u"u", u"U"), LETTER(u"i", u"I"),
     LETTER(u"o", u"O"), LETTER(u"p", u"P"), PUNCT(u"[", u"{", kVkOemOpen), PUNCT(u"]", u"}", kVkOemClose),
     {u"\\", u"|", kVkOemBackslash, u'\\', u'|', 3}},
    {{u"", u"", 0, 0, 0, 4}, LETTER(u"a", u"A"), LETTER(u"s", u"S"), LETTER(u"d", u"D"), LETTER(u"f", u"F"),
     LETTER(u"g", u"G"), LETTER(u"h", u"H"), LETTER(u"j", u"J"), LETTER(u"k", u"K"), LETTER(u"l", u"L"),
     PUNCT(u";", u":", kVkOemSemicolon), PUNCT(u"'", u"\"", kVkOemQuote), {u"\u21b5", u"\u21b5", VK_RETURN, 0, 0, 4}},
    {{u"Shift", u"Shift", VK_SHIFT, 0, 0, 5}, LETTER(u"z", u"Z"), LETTER(u"x", u"X"), LETTER(u"c", u"C"),
     LETTER(u"v", u"V"), LETTER(u"b", u"B"), LETTER(u"n", u"N"), LETTER(u"m", u"M"),
     PUNCT(u",", u"<", kVkOemComma), PUNCT(u".", u">", kVkOemPeriod), PUNCT(u"/", u"?", kVkOemSlash),
     {u"Shift", u"Shift", VK_SHIFT, 0, 0, 5}},
    {{u"\u25c0", u"\u25c0", VK_LEFT, 0, 0, 3}, {u"\u25b6", u"\u25b6", VK_RIGHT, 0, 0, 3},
     {u"", u"", VK_SPACE, 0, 0, 18}, {u"Del", u"Del", VK_DELETE, 0, 0, 6}},
};

#undef LETTER
#undef DIGIT
#undef PUNCT

struct State {
    bool up = false;
    bool shift = false;
    HWND window = nullptr;
    const Key* pressed = nullptr;
};

std::mutex& Lock() {
    static auto* lock = new std::mutex;
    return *lock;
}
State& Shared() {
    static auto* state = new State;
    return *state;
}

// The key under a point of the panel's client area, with its rectangle.
const Key* KeyAt(const RECT& client, POINT p, RECT* where) {
    const int width = client.right - client.left, height = client.bottom - client.top;
    for (int row = 0; row < kRows; ++row) {
        int top = client.top + height * row / kRows, bottom = client.top + height * (row + 1) / kRows;
        int units = 0;
        for (const Key& k : kKeyboard[row]) {
            RECT r = {client.left + width * units / kUnitsPerRow, top,
                      client.left + width * (units + k.units) / kUnitsPerRow, bottom};
            units += k.units;
            if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) {
                if (where) *where = r;
                return k.vk ? &k : nullptr;
            }
        }
    }
    return nullptr;
}

HFONT KeyFont() {
    static HFONT font = [] {
        LOGFONTW lf = {};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
        lf.lfHeight = -10 * std::max(1, GetSystemMetrics(SM_CXBORDER));
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
    bool shift;
    const Key* pressed;
    {
        std::lock_guard<std::mutex> guard(Lock());
        shift = Shared().shift;
        pressed = Shared().pressed;
    }
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, KeyFont());
    SetBkMode(dc, TRANSPARENT);
    const int width = client.right - client.left, height = client.bottom - client.top;
    for (int row = 0; row < kRows; ++row) {
        int top = height * row / kRows, bottom = height * (row + 1) / kRows;
        int units = 0;
        for (const Key& k : kKeyboard[row]) {
            RECT r = {width * units / kUnitsPerRow, top, width * (units + k.units) / kUnitsPerRow, bottom};
            units += k.units;
            if (!k.vk) continue;
            bool lit = &k == pressed || (k.vk == VK_SHIFT && shift);
            RECT face = {r.left + 1, r.top + 1, r.right, r.bottom};
            FillRect(dc, &face, GetSysColorBrush(COLOR_BTNSHADOW));
            RECT inner = {face.left, face.top, face.right - 1, face.bottom - 1};
            FillRect(dc, &inner, GetSysColorBrush(lit ? COLOR_HIGHLIGHT : COLOR_WINDOW));
            SetTextColor(dc, GetSysColor(lit ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
            const char16_t* label = shift ? k.shifted : k.label;
            DrawTextW(dc, label, -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        }
    }
    SelectObject(dc, oldFont);
    EndPaint(hwnd, &ps);
}

// Types one key into the focus window.
void Type(const Key& k) {
    if (k.vk == VK_SHIFT) {
        bool shift;
        {
            std::lock_guard<std::mutex> guard(Lock());
            shift = Shared().shift = !Shared().shift;
        }
        gwes::InjectKey(VK_SHIFT, shift);
        return;
    }
    bool shift;
    {
        std::lock_guard<std::mutex> guard(Lock());
        shift = Shared().shift;
    }
    char16_t c = shift ? k.shiftedCh : k.ch;
    UINT vk = k.vk;
    if (shift && k.shiftedCh && !k.ch) vk = kVkProcessKey;  // a shifted digit is not the digit's key
    gwes::InjectKey(vk, true);
    if (c) gwes::InjectChar(c);
    gwes::InjectKey(vk, false);
}

LRESULT CALLBACK SipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CLOSE: return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        RECT client;
        GetClientRect(hwnd, &client);
        const Key* k = KeyAt(client, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, nullptr);
        {
            std::lock_guard<std::mutex> guard(Lock());
            Shared().pressed = k;
        }
        if (k) {
            SetCapture(hwnd);
            Type(*k);
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED: {
        bool wasPressed;
        {
            std::lock_guard<std::mutex> guard(Lock());
            wasPressed = Shared().pressed != nullptr;
            Shared().pressed = nullptr;
        }
        if (message == WM_LBUTTONUP && GetCapture() == hwnd) ReleaseCapture();
        if (wasPressed) InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RegisterSipClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc = {};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = SipProc;
        wc.lpszClassName = kSipClass;
        RegisterClassW(&wc);
    });
}

// Shows the panel's window (made on this thread when there is none alive) or hides it.
void ShowPanel(bool up) {
    HWND window;
    {
        std::lock_guard<std::mutex> guard(Lock());
        window = Shared().window;
    }
    RECT r = gwes::InputPanelRect();
    if (up && (!window || !IsWindow(window))) {
        RegisterSipClass();
        window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kSipClass, nullptr, WS_POPUP,
                                 r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr,
                                 nullptr);
        std::lock_guard<std::mutex> guard(Lock());
        Shared().window = window;
    }
    if (window && IsWindow(window)) PlaceShellWindow(window, r, up);
}

bool SipInfoSizeOk(const SIPINFO* info) {
    if (info && info->cbSize == sizeof(SIPINFO)) return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

}  // namespace

bool InputPanelUp() {
    std::lock_guard<std::mutex> guard(Lock());
    return Shared().up;
}

bool SetInputPanel(bool up) {
    bool releaseShift = false;
    {
        std::lock_guard<std::mutex> guard(Lock());
        State& s = Shared();
        if (s.up == up) return false;
        s.up = up;
        if (!up && s.shift) {
            s.shift = false;
            releaseShift = true;
        }
    }
    gwes::SetShellLayout(TaskBarShown(), up);
    ShowPanel(up);
    if (releaseShift) gwes::InjectKey(VK_SHIFT, false);
    RefreshTaskBar();
    // Every top-level window learns that the visible desktop moved.
    std::vector<HWND> tops;
    EnumWindows(
        [](HWND h, LPARAM p) {
            reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tops));
    for (HWND h : tops) SendNotifyMessageW(h, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
    return true;
}

void FillSipInfo(SIPINFO* info) {
    bool up = InputPanelUp();
    info->fdwFlags = (up ? SIPF_ON : SIPF_OFF) | SIPF_DOCKED;
    gwes::SystemWorkArea(&info->rcVisibleDesktop);
    info->rcSipRect = gwes::InputPanelRect();
    info->dwImDataSize = 0;
    info->pvImData = nullptr;
}

}  // namespace shell

using namespace shell;

BOOL SHSipInfo(UINT action, UINT /*param*/, PVOID data, UINT /*winIni*/) {
    SIPINFO* info = static_cast<SIPINFO*>(data);
    switch (action) {
    case SPI_GETSIPINFO:
        if (!SipInfoSizeOk(info)) return FALSE;
        FillSipInfo(info);
        return TRUE;
    case SPI_SETSIPINFO:
        if (!SipInfoSizeOk(info)) return FALSE;
        EnsureTaskBar();
        SetInputPanel((info->fdwFlags & SIPF_ON) != 0);
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL SHSipPreference(HWND window, SIPSTATE state) {
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    switch (state) {
    case SIP_UP:
    case SIP_INPUTDIALOG:
        EnsureTaskBar();
        SetInputPanel(true);
        return TRUE;
    case SIP_DOWN:
    case SIP_FORCEDOWN:
        SetInputPanel(false);
        return TRUE;
    case SIP_UNCHANGED: return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL SipShowIM(DWORD flags) {
    EnsureTaskBar();
    SetInputPanel((flags & SIPF_ON) != 0);
    return TRUE;
}

BOOL SipGetInfo(SIPINFO* info) {
    if (!SipInfoSizeOk(info)) return FALSE;
    FillSipInfo(info);
    return TRUE;
}

BOOL SipSetInfo(SIPINFO* info) { return SHSipInfo(SPI_SETSIPINFO, 0, info, 0); }
