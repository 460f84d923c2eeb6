// The tooltip control ("tooltips_class32"): a small topmost popup with the
// text of the tool under the pen. Owners relay their pen messages with
// TTM_RELAYEVENT; on a pen device the tip comes up once the pen has held a
// tool for the initial delay and goes away when the pen lifts or leaves the
// tool. A tool's text is its own string, a string resource, or asked of the
// tool's window with TTN_GETDISPINFOW each time the tip shows.
#include <algorithm>
#include <string>
#include <vector>

#include "controls/bar_controls.h"

namespace {

constexpr UINT_PTR kShowTimer = 1;
constexpr UINT_PTR kPopTimer = 2;
constexpr COLORREF kDefaultColor = 0xFF000000;  // the system's info colours
constexpr int kMarginX = 3;
constexpr int kMarginY = 1;
constexpr LRESULT kMouseNoActivate = 3;  // MA_NOACTIVATE

struct Tool {
    UINT flags = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    RECT rect = {0, 0, 0, 0};
    HINSTANCE instance = nullptr;
    bool callback = false;       // LPSTR_TEXTCALLBACKW
    LPCWSTR resource = nullptr;  // MAKEINTRESOURCE text in `instance`
    std::u16string text;
    LPARAM lParam = 0;
};

struct Tooltip {
    HWND hwnd = nullptr;
    std::vector<Tool> tools;
    bool active = true;
    int initialDelay = -1;  // -1: automatic
    int autopopDelay = -1;
    int reshowDelay = -1;
    int current = -1;  // the tool shown, or waiting for its initial delay
    bool shown = false;
    bool tracking = false;
    POINT trackPoint = {0, 0};
    std::u16string shownText;
    COLORREF back = kDefaultColor;
    COLORREF fore = kDefaultColor;
    int maxWidth = -1;
    HFONT font = nullptr;
};

int Delay(const Tooltip& t, int which) {
    int initial = t.initialDelay >= 0 ? t.initialDelay : static_cast<int>(GetDoubleClickTime());
    switch (which) {
    case TTDT_INITIAL: return initial;
    case TTDT_AUTOPOP: return t.autopopDelay >= 0 ? t.autopopDelay : initial * 10;
    case TTDT_RESHOW: return t.reshowDelay >= 0 ? t.reshowDelay : initial / 5;
    default: return initial;
    }
}

bool ValidInfo(const TOOLINFOW* info) { return info && info->cbSize >= TTTOOLINFOW_V1_SIZE; }

int FindTool(const Tooltip& t, HWND hwnd, UINT_PTR id) {
    for (size_t i = 0; i < t.tools.size(); ++i)
        if (t.tools[i].hwnd == hwnd && t.tools[i].id == id) return static_cast<int>(i);
    return -1;
}
int FindTool(const Tooltip& t, const TOOLINFOW* info) {
    return ValidInfo(info) ? FindTool(t, info->hwnd, info->uId) : -1;
}

void SetText(Tool& tool, HINSTANCE instance, LPWSTR text) {
    tool.callback = text == LPSTR_TEXTCALLBACKW;
    tool.resource = nullptr;
    tool.text.clear();
    if (tool.callback || !text) return;
    if (IS_INTRESOURCE(text)) {
        tool.instance = instance;
        tool.resource = text;
    } else {
        tool.text = text;
    }
}

void FillInfo(const Tool& tool, TOOLINFOW* info) {
    info->uFlags = tool.flags;
    info->hwnd = tool.hwnd;
    info->uId = tool.id;
    info->rect = tool.rect;
    info->hinst = tool.instance;
    if (info->cbSize > TTTOOLINFOW_V1_SIZE) info->lParam = tool.lParam;
    if (tool.callback) {
        info->lpszText = LPSTR_TEXTCALLBACKW;
    } else if (tool.resource) {
        info->lpszText = const_cast<LPWSTR>(tool.resource);
    } else if (info->lpszText && !IS_INTRESOURCE(info->lpszText)) {
        // The caller's buffer: 80 characters, as the tool text limit.
        size_t n = std::min<size_t>(tool.text.size(), 79);
        std::copy(tool.text.begin(), tool.text.begin() + static_cast<std::ptrdiff_t>(n),
                  info->lpszText);
        info->lpszText[n] = 0;
    }
}

// The tool's area on the screen.
RECT ToolScreenRect(const Tool& tool) {
    RECT r = {0, 0, 0, 0};
    if (tool.flags & TTF_IDISHWND) {
        GetWindowRect(reinterpret_cast<HWND>(tool.id), &r);
        return r;
    }
    r = tool.rect;
    MapWindowPoints(tool.hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool ToolContains(const Tool& tool, HWND hwnd, POINT client) {
    if (tool.flags & TTF_IDISHWND) return reinterpret_cast<HWND>(tool.id) == hwnd;
    return tool.hwnd == hwnd && PtInRect(&tool.rect, client);
}

int ToolAt(const Tooltip& t, HWND hwnd, POINT client) {
    for (size_t i = 0; i < t.tools.size(); ++i)
        if (ToolContains(t.tools[i], hwnd, client)) return static_cast<int>(i);
    return -1;
}

LRESULT NotifyTool(Tooltip& t, const Tool& tool, NMHDR* header, UINT code) {
    header->hwndFrom = t.hwnd;
    header->idFrom = tool.id;
    header->code = code;
    return IsWindow(tool.hwnd) ? SendMessageW(tool.hwnd, WM_NOTIFY, tool.id,
                                              reinterpret_cast<LPARAM>(header))
                               : 0;
}

// The text the tip shows now for a tool (asking the tool's window for it when
// the tool has none of its own).
std::u16string TextOf(Tooltip& t, int index) {
    Tool& tool = t.tools[static_cast<size_t>(index)];
    if (tool.resource) return bars::TextOrResource(tool.instance, tool.resource);
    if (!tool.callback) return tool.text;
    NMTTDISPINFOW info = {};
    info.lpszText = info.szText;
    info.hinst = nullptr;
    info.uFlags = tool.flags;
    info.lParam = tool.lParam;
    HWND tip = t.hwnd;
    Tool copy = tool;
    NotifyTool(t, copy, &info.hdr, TTN_GETDISPINFOW);
    // The tooltip may have been destroyed or changed by the answer.
    if (!IsWindow(tip) || index >= static_cast<int>(t.tools.size())) return {};
    info.szText[79] = 0;
    std::u16string text;
    if (info.lpszText && IS_INTRESOURCE(info.lpszText)) {
        text = bars::TextOrResource(info.hinst, info.lpszText);
    } else if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKW) {
        text = info.lpszText;
    }
    if (info.uFlags & TTF_DI_SETITEM) {
        Tool& kept = t.tools[static_cast<size_t>(index)];
        kept.callback = false;
        kept.text = text;
    }
    return text;
}

SIZE Measure(const Tooltip& t, const std::u16string& text) {
    HDC dc = GetDC(t.hwnd);
    HGDIOBJ old = SelectObject(dc, bars::FontOr(t.font));
    RECT r = {0, 0, t.maxWidth > 0 ? t.maxWidth : 10000, 0};
    UINT format = DT_CALCRECT | DT_NOPREFIX | (t.maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    SelectObject(dc, old);
    ReleaseDC(t.hwnd, dc);
    return SIZE{r.right - r.left + 2 * kMarginX + 2, r.bottom - r.top + 2 * kMarginY + 2};
}

void Pop(Tooltip& t) {
    KillTimer(t.hwnd, kShowTimer);
    KillTimer(t.hwnd, kPopTimer);
    int current = t.current;
    bool wasShown = t.shown;
    t.current = -1;
    t.shown = false;
    t.tracking = false;
    if (!wasShown) return;
    ShowWindow(t.hwnd, SW_HIDE);
    if (current >= 0 && current < static_cast<int>(t.tools.size())) {
        NMHDR header = {};
        Tool copy = t.tools[static_cast<size_t>(current)];
        NotifyTool(t, copy, &header, TTN_POP);
    }
}

void Show(Tooltip& t, int index) {
    KillTimer(t.hwnd, kShowTimer);
    if (index < 0 || index >= static_cast<int>(t.tools.size())) return;
    t.current = index;
    std::u16string text = TextOf(t, index);
    if (t.current != index || index >= static_cast<int>(t.tools.size())) return;
    if (text.empty()) {
        // Nothing to say: no tip, but the tool stays current until the pen leaves.
        if (t.shown) {
            t.shown = false;
            ShowWindow(t.hwnd, SW_HIDE);
        }
        return;
    }
    const Tool& tool = t.tools[static_cast<size_t>(index)];
    t.shownText = text;
    SIZE size = Measure(t, text);
    int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
    int x, y;
    if (t.tracking) {
        x = t.trackPoint.x;
        y = t.trackPoint.y;
        if (!(tool.flags & TTF_ABSOLUTE)) y += 2;
    } else {
        // Below the tool, or above it when the tool sits at the bottom of the
        // screen (a menu bar), so the pen's hand does not hide it.
        RECT r = ToolScreenRect(tool);
        x = (tool.flags & TTF_CENTERTIP) ? (r.left + r.right - size.cx) / 2 : r.left;
        y = r.bottom + 2;
        if (y + size.cy > screenH) y = r.top - size.cy - 2;
    }
    x = std::clamp(x, 0, std::max(0, screenW - static_cast<int>(size.cx)));
    y = std::clamp(y, 0, std::max(0, screenH - static_cast<int>(size.cy)));
    NMHDR header = {};
    Tool copy = tool;
    NotifyTool(t, copy, &header, TTN_SHOW);
    if (!IsWindow(t.hwnd)) return;
    SetWindowPos(t.hwnd, HWND_TOPMOST, x, y, size.cx, size.cy,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(t.hwnd, nullptr, TRUE);
    t.shown = true;
    if (!t.tracking) SetTimer(t.hwnd, kPopTimer, static_cast<UINT>(Delay(t, TTDT_AUTOPOP)), nullptr);
}

// The pen went down on, moved over, or left the tool at `index` (-1: none).
void Arm(Tooltip& t, int index) {
    if (index == t.current) return;
    bool reshow = t.shown;
    Pop(t);
    if (index < 0 || !t.active) return;
    t.current = index;
    // Moving from one tip straight to the next tool shows it sooner.
    int delay = Delay(t, reshow ? TTDT_RESHOW : TTDT_INITIAL);
    if (delay <= 0) Show(t, index);
    else SetTimer(t.hwnd, kShowTimer, static_cast<UINT>(delay), nullptr);
}

void Relay(Tooltip& t, const MSG* msg) {
    if (!msg || t.tracking) return;
    POINT p = {GET_X_LPARAM(msg->lParam), GET_Y_LPARAM(msg->lParam)};
    switch (msg->message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        Pop(t);  // a new press starts the wait again
        Arm(t, ToolAt(t, msg->hwnd, p));
        break;
    case WM_MOUSEMOVE:
        Arm(t, ToolAt(t, msg->hwnd, p));
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        Pop(t);
        break;
    default:
        break;
    }
}

void Paint(Tooltip& t) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(t.hwnd, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(t.hwnd, &r);
    HBRUSH back = CreateSolidBrush(t.back == kDefaultColor ? GetSysColor(COLOR_INFOBK) : t.back);
    FillRect(dc, &r, back);
    DeleteObject(back);
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    HGDIOBJ old = SelectObject(dc, bars::FontOr(t.font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, t.fore == kDefaultColor ? GetSysColor(COLOR_INFOTEXT) : t.fore);
    RECT text = {r.left + 1 + kMarginX, r.top + 1 + kMarginY, r.right - 1 - kMarginX,
                 r.bottom - 1 - kMarginY};
    UINT format = DT_NOPREFIX | (t.maxWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(dc, t.shownText.c_str(), static_cast<int>(t.shownText.size()), &text, format);
    SelectObject(dc, old);
    EndPaint(t.hwnd, &ps);
}

LRESULT ToolMessage(Tooltip& t, UINT message, WPARAM wParam, LPARAM lParam) {
    TOOLINFOW* info = reinterpret_cast<TOOLINFOW*>(lParam);
    switch (message) {
    case TTM_ADDTOOLW: {
        if (!ValidInfo(info)) return FALSE;
        Tool tool;
        tool.flags = info->uFlags;
        tool.hwnd = info->hwnd;
        tool.id = info->uId;
        tool.rect = info->rect;
        tool.instance = info->hinst;
        if (info->cbSize > TTTOOLINFOW_V1_SIZE) tool.lParam = info->lParam;
        SetText(tool, info->hinst, info->lpszText);
        t.tools.push_back(tool);
        return TRUE;
    }
    case TTM_DELTOOLW: {
        int i = FindTool(t, info);
        if (i < 0) return 0;
        if (i == t.current) Pop(t);
        t.tools.erase(t.tools.begin() + i);
        if (t.current > i) --t.current;
        return 0;
    }
    case TTM_NEWTOOLRECTW: {
        int i = FindTool(t, info);
        if (i >= 0) t.tools[static_cast<size_t>(i)].rect = info->rect;
        return 0;
    }
    case TTM_GETTOOLINFOW: {
        int i = FindTool(t, info);
        if (i < 0) return FALSE;
        FillInfo(t.tools[static_cast<size_t>(i)], info);
        return TRUE;
    }
    case TTM_SETTOOLINFOW: {
        int i = FindTool(t, info);
        if (i < 0) return 0;
        Tool& tool = t.tools[static_cast<size_t>(i)];
        tool.flags = info->uFlags;
        tool.rect = info->rect;
        tool.instance = info->hinst;
        if (info->cbSize > TTTOOLINFOW_V1_SIZE) tool.lParam = info->lParam;
        SetText(tool, info->hinst, info->lpszText);
        return 0;
    }
    case TTM_UPDATETIPTEXTW: {
        int i = FindTool(t, info);
        if (i < 0) return 0;
        SetText(t.tools[static_cast<size_t>(i)], info->hinst, info->lpszText);
        if (t.shown && i == t.current) Show(t, i);
        return 0;
    }
    case TTM_GETTEXTW: {
        int i = FindTool(t, info);
        if (i < 0 || !info->lpszText) return 0;
        const Tool& tool = t.tools[static_cast<size_t>(i)];
        std::u16string text = tool.resource ? bars::TextOrResource(tool.instance, tool.resource)
                                            : tool.text;
        size_t capacity = wParam ? wParam : 80;
        size_t n = std::min(text.size(), capacity - 1);
        std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), info->lpszText);
        info->lpszText[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case TTM_ENUMTOOLSW:
        if (!ValidInfo(info) || wParam >= t.tools.size()) return FALSE;
        FillInfo(t.tools[wParam], info);
        return TRUE;
    case TTM_GETCURRENTTOOLW:
        if (t.current < 0 || !t.shown) return FALSE;
        if (ValidInfo(info)) FillInfo(t.tools[static_cast<size_t>(t.current)], info);
        return TRUE;
    case TTM_HITTESTW: {
        TTHITTESTINFOW* hit = reinterpret_cast<TTHITTESTINFOW*>(lParam);
        if (!hit) return FALSE;
        int i = ToolAt(t, hit->hwnd, hit->pt);
        if (i < 0) return FALSE;
        if (hit->ti.cbSize >= TTTOOLINFOW_V1_SIZE) FillInfo(t.tools[static_cast<size_t>(i)], &hit->ti);
        return TRUE;
    }
    default:
        return 0;
    }
}

LRESULT CALLBACK TooltipProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Tooltip* t = bars::StateOf<Tooltip>(hwnd);
    if (!t) {
        if (message != WM_CREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
        t = new Tooltip;
        t->hwnd = hwnd;
        bars::SetState(hwnd, t);
        // A tip is always a topmost popup that never takes the focus.
        DWORD style = static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE));
        if (style & WS_CHILD) SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>((style & ~WS_CHILD) | WS_POPUP));
        return 0;
    }
    switch (message) {
    case WM_NCDESTROY:
        bars::SetState(hwnd, nullptr);
        delete t;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(*t);
        return 0;
    case WM_MOUSEACTIVATE:
        return kMouseNoActivate;
    case WM_LBUTTONDOWN:
        // A tap on the tip itself puts it away.
        Pop(*t);
        return 0;
    case WM_TIMER:
        if (wParam == kShowTimer) {
            KillTimer(hwnd, kShowTimer);
            if (t->active && t->current >= 0) Show(*t, t->current);
        } else if (wParam == kPopTimer) {
            Pop(*t);
        }
        return 0;
    case WM_SETFONT:
        t->font = reinterpret_cast<HFONT>(wParam);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(t->font);
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        // The text on show.
        if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(t->shownText.size());
        LPWSTR buffer = reinterpret_cast<LPWSTR>(lParam);
        if (!buffer || wParam == 0) return 0;
        size_t n = std::min<size_t>(t->shownText.size(), wParam - 1);
        std::copy(t->shownText.begin(), t->shownText.begin() + static_cast<std::ptrdiff_t>(n), buffer);
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }

    case TTM_ACTIVATE:
        t->active = wParam != 0;
        if (!t->active) Pop(*t);
        return 0;
    case TTM_SETDELAYTIME: {
        int value = static_cast<SHORT>(LOWORD(lParam));
        switch (wParam) {
        case TTDT_INITIAL: t->initialDelay = value; break;
        case TTDT_AUTOPOP: t->autopopDelay = value; break;
        case TTDT_RESHOW: t->reshowDelay = value; break;
        default:  // TTDT_AUTOMATIC: the others follow the initial delay
            t->initialDelay = value;
            t->autopopDelay = t->reshowDelay = -1;
            break;
        }
        return 0;
    }
    case TTM_GETDELAYTIME:
        return Delay(*t, static_cast<int>(wParam));
    case TTM_RELAYEVENT:
        Relay(*t, reinterpret_cast<const MSG*>(lParam));
        return 0;
    case TTM_GETTOOLCOUNT:
        return static_cast<LRESULT>(t->tools.size());
    case TTM_WINDOWFROMPOINT: {
        const POINT* p = reinterpret_cast<const POINT*>(lParam);
        return p ? reinterpret_cast<LRESULT>(WindowFromPoint(*p)) : 0;
    }
    case TTM_TRACKACTIVATE: {
        int i = FindTool(*t, reinterpret_cast<const TOOLINFOW*>(lParam));
        if (!wParam || i < 0) {
            Pop(*t);
            return 0;
        }
        t->tracking = true;
        Show(*t, i);
        return 0;
    }
    case TTM_TRACKPOSITION:
        t->trackPoint = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (t->tracking && t->current >= 0) Show(*t, t->current);
        return 0;
    case TTM_SETTIPBKCOLOR:
        t->back = static_cast<COLORREF>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TTM_SETTIPTEXTCOLOR:
        t->fore = static_cast<COLORREF>(wParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case TTM_GETTIPBKCOLOR:
        return t->back == kDefaultColor ? GetSysColor(COLOR_INFOBK) : t->back;
    case TTM_GETTIPTEXTCOLOR:
        return t->fore == kDefaultColor ? GetSysColor(COLOR_INFOTEXT) : t->fore;
    case TTM_SETMAXTIPWIDTH: {
        int old = t->maxWidth;
        t->maxWidth = static_cast<int>(lParam);
        return old;
    }
    case TTM_GETMAXTIPWIDTH:
        return t->maxWidth;
    case TTM_POP:
        Pop(*t);
        return 0;
    case TTM_UPDATE:
        if (t->shown && t->current >= 0) Show(*t, t->current);
        return 0;
    case TTM_ADDTOOLW:
    case TTM_DELTOOLW:
    case TTM_NEWTOOLRECTW:
    case TTM_GETTOOLINFOW:
    case TTM_SETTOOLINFOW:
    case TTM_UPDATETIPTEXTW:
    case TTM_GETTEXTW:
    case TTM_ENUMTOOLSW:
    case TTM_GETCURRENTTOOLW:
    case TTM_HITTESTW:
        return ToolMessage(*t, message, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void bars::RegisterTooltipClass() { RegisterControlClass(TOOLTIPS_CLASSW, TooltipProc, CS_SAVEBITS); }
