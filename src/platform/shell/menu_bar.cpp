// Menu bars (SHCreateMenuBar): the strip across the bottom of the screen.
//
// A menu bar is a topmost pop-up ("menu_worker", owned by the window that made
// it, never activated) holding a toolbar ("ToolbarWindow32") that fills it, as
// on the device. Every button is a toolbar button, the menu buttons first as
// the SHMENUBAR record lists them, so the toolbar messages a program sends to
// the bar (TB_ADDBITMAP, TB_ADDBUTTONS, TB_ENABLEBUTTON, TB_SETTOOLTIPS, ...)
// are simply passed on and count the buttons as the program expects. The
// toolbar draws the buttons; the bar writes the text of its text buttons over
// them. A menu button is a drop-down button: its TBN_DROPDOWN opens the popup
// above the bar (WM_INITMENUPOPUP first, to the owner), and a tap on another
// menu button while one is open opens that one instead. The chosen command,
// and every toolbar command, goes to the owner as WM_COMMAND; the toolbar's
// other notifications go to the owner too.
//
// The SHMENUBAR record (RCDATA, little-endian words): menu id, button count,
// then seven words per button: image (I_IMAGENONE for text), command, state,
// style, string id, 0, popup index in the menu (NOMENU for none).
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gwes/menu.h"
#include "gwes/window_manager.h"
#include "shell/shell.h"

namespace shell {

namespace {

constexpr const WCHAR* kMenuBarClass = u"menu_worker";
constexpr int kTextPadding = 8;     // left and right of a button's text
constexpr int kMinTextPadding = 3;  // what is left of it on a crowded bar
constexpr int kMinImageMargin = 4;  // pixels beside an image button's image, on a crowded bar
constexpr int kToolbarId = 1;
constexpr size_t kRecordWords = 7;

// The shell's own button texts (IDS_SHNEW ... IDS_SHMENU) for records that name them.
constexpr const char16_t* kShellStrings[] = {u"New", u"Edit", u"Tools", u"View", u"File",
                                            u"Go", u"Favorites", u"Open", u"Menu"};

struct TextButton {
    int command = 0;
    UINT subIndex = NOMENU;   // the popup's position in the bar's menu
    HMENU replaced = nullptr;  // SHCMBM_SETSUBMENU
    std::u16string text;
    bool Popup() const { return subIndex != NOMENU || replaced; }
};

struct MenuBar {
    HWND hwnd = nullptr;
    HWND toolbar = nullptr;
    HWND owner = nullptr;
    HMENU menu = nullptr;
    bool ownsMenu = false;
    DWORD flags = 0;
    COLORREF background = CLR_DEFAULT;
    std::vector<TextButton> buttons;  // the buttons whose text the bar draws
    int imageButtonWidth = 0;         // the toolbar's own width for image buttons, before any fitting

    TextButton* Button(int command) {
        for (TextButton& b : buttons)
            if (b.command == command) return &b;
        return nullptr;
    }
    HMENU PopupOf(const TextButton& b) const {
        if (b.replaced) return b.replaced;
        return b.subIndex == NOMENU || !menu ? nullptr : GetSubMenu(menu, static_cast<int>(b.subIndex));
    }
};

// A button as the record gives it.
struct RecordButton {
    int image = I_IMAGENONE;
    int command = 0;
    BYTE state = TBSTATE_ENABLED;
    BYTE style = TBSTYLE_BUTTON;
    UINT stringId = 0;
    UINT subIndex = NOMENU;
};

// ---- The record ----------------------------------------------------------------------

uint16_t WordAt(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

bool ParseRecord(const uint8_t* data, size_t size, UINT* menuId, std::vector<RecordButton>* buttons) {
    if (!data || size < 4) return false;
    *menuId = WordAt(data);
    size_t count = WordAt(data + 2);
    if ((size - 4) / (kRecordWords * 2) < count) return false;  // fewer buttons than it says
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = data + 4 + i * kRecordWords * 2;
        RecordButton b;
        b.image = static_cast<int16_t>(WordAt(p));  // I_IMAGENONE is stored as 0xFFFE
        b.command = WordAt(p + 2);
        b.state = static_cast<BYTE>(WordAt(p + 4));
        b.style = static_cast<BYTE>(WordAt(p + 6));
        b.stringId = WordAt(p + 8);
        b.subIndex = WordAt(p + 12);
        buttons->push_back(b);
    }
    return true;
}

// "&File" -> "File"; "&&" is a literal ampersand.
std::u16string WithoutMnemonic(const std::u16string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        else if (text[i] == u'&') continue;
        out.push_back(text[i]);
    }
    return out.substr(0, out.find(u'\t'));
}

std::u16string PopupText(HMENU menu, UINT position) {
    WCHAR text[128] = {};
    if (!menu || !GetMenuStringW(menu, position, text, 128, MF_BYPOSITION)) return {};
    return WithoutMnemonic(text);
}

std::u16string ButtonText(HINSTANCE instance, HMENU menu, const RecordButton& b) {
    if (b.stringId) {
        WCHAR text[128] = {};
        if (LoadStringW(instance, b.stringId, text, 128) > 0) return WithoutMnemonic(text);
        if (b.stringId >= 1 && b.stringId <= std::size(kShellStrings)) return kShellStrings[b.stringId - 1];
    }
    return b.subIndex == NOMENU ? std::u16string() : PopupText(menu, b.subIndex);
}

int TextExtent(const std::u16string& text) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return size.cx;
}

// ---- The bars that exist -----------------------------------------------------------------

struct Known {
    HWND bar;
    HWND owner;
    bool hideSip;
};

std::mutex& Lock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::vector<Known>& Bars() {
    static auto* bars = new std::vector<Known>;
    return *bars;
}

MenuBar* BarOf(HWND hwnd) { return reinterpret_cast<MenuBar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// ---- Text on the toolbar's buttons -----------------------------------------------------------

std::atomic<WNDPROC> g_toolbarProc{nullptr};

void DrawTexts(HWND toolbar, const RECT& update) {
    MenuBar* bar = BarOf(GetParent(toolbar));
    if (!bar) return;
    HDC dc = GetDC(toolbar);
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    for (const TextButton& b : bar->buttons) {
        RECT r, overlap;
        if (!SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(b.command), reinterpret_cast<LPARAM>(&r)) ||
            !IntersectRect(&overlap, &r, &update))
            continue;
        LRESULT state = SendMessageW(toolbar, TB_GETSTATE, static_cast<WPARAM>(b.command), 0);
        if (state == -1) continue;
        bool open = (state & TBSTATE_PRESSED) != 0;
        if (open) FillRect(dc, &r, GetSysColorBrush(COLOR_HIGHLIGHT));
        int color = open ? COLOR_HIGHLIGHTTEXT : (state & TBSTATE_ENABLED) ? COLOR_BTNTEXT : COLOR_GRAYTEXT;
        SetTextColor(dc, GetSysColor(color));
        DrawTextW(dc, b.text.c_str(), static_cast<int>(b.text.size()), &r,
                  DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    ReleaseDC(toolbar, dc);
}

// Sizes the buttons so that every one of them lies on the bar: the text
// buttons at their text's width with the usual padding and the image
// buttons at the toolbar's width while that fits; on a crowded bar the text
// padding shrinks first, then the margin around the images, so that no
// button is pushed past the screen's edge.
void FitButtons(HWND toolbar) {
    MenuBar* bar = BarOf(GetParent(toolbar));
    if (!bar) return;
    const int scale = std::max(1, GetSystemMetrics(SM_CXBORDER));
    RECT client;
    GetClientRect(toolbar, &client);
    const int room = client.right - client.left;
    const int count = static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
    int textTotal = 0, texts = 0, images = 0, separators = 0;
    for (int i = 0; i < count; ++i) {
        TBBUTTON tb = {};
        if (!SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tb))) continue;
        if (tb.fsState & TBSTATE_HIDDEN) continue;
        if (tb.fsStyle & TBSTYLE_SEP) {
            separators += tb.iBitmap > 0 ? tb.iBitmap : 8 * scale;
        } else if (bar->Button(tb.idCommand)) {
            textTotal += TextExtent(bar->Button(tb.idCommand)->text);
            ++texts;
        } else {
            ++images;
        }
    }
    // The toolbar's own width for an image button (the image's, doubled on
    // the large screens, plus 7), as it was before the first fitting.
    if (!bar->imageButtonWidth) bar->imageButtonWidth = LOWORD(SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0));
    const int imageWidth = std::max(0, bar->imageButtonWidth - 7);
    int imageButton = bar->imageButtonWidth;
    int padding = kTextPadding * scale;
    auto total = [&] { return textTotal + texts * 2 * padding + images * imageButton + separators; };
    while (total() > room && padding > kMinTextPadding * scale) --padding;
    while (total() > room && imageButton > imageWidth + kMinImageMargin) --imageButton;
    // Buttons take the bar's whole height, so that a tap anywhere on the
    // bar lands on one (on the large screens the bar is twice as tall as
    // its images are).
    const int height = client.bottom - client.top;
    const LRESULT size = SendMessageW(toolbar, TB_GETBUTTONSIZE, 0, 0);
    if (LOWORD(size) != imageButton || HIWORD(size) != height)
        SendMessageW(toolbar, TB_SETBUTTONSIZE, 0, MAKELONG(imageButton, height));
    for (const TextButton& b : bar->buttons) {
        TBBUTTONINFOW size = {};
        size.cbSize = sizeof(size);
        size.dwMask = TBIF_SIZE;
        size.cx = static_cast<WORD>(TextExtent(b.text) + 2 * padding);
        SendMessageW(toolbar, TB_SETBUTTONINFOW, static_cast<WPARAM>(b.command), reinterpret_cast<LPARAM>(&size));
    }
}

LRESULT CALLBACK ToolbarSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    RECT update = {0, 0, 0, 0};
    if (message == WM_PAINT) GetUpdateRect(hwnd, &update, FALSE);
    LRESULT result = CallWindowProcW(g_toolbarProc.load(), hwnd, message, wParam, lParam);
    if (message == WM_PAINT) DrawTexts(hwnd, update);
    // Buttons that come or go (the program adds its own after the bar is
    // made) change what fits.
    static thread_local bool fitting = false;
    if (!fitting && (message == TB_ADDBUTTONSW || message == TB_INSERTBUTTONW || message == TB_DELETEBUTTON ||
                     message == TB_HIDEBUTTON)) {
        fitting = true;
        FitButtons(hwnd);
        fitting = false;
    }
    return result;
}

// ---- Popups ----------------------------------------------------------------------------------

void OpenPopup(MenuBar* bar, int command) {
    HWND self = bar->hwnd, toolbar = bar->toolbar, owner = bar->owner;
    for (;;) {
        TextButton* button = bar->Button(command);
        HMENU popup = button ? bar->PopupOf(*button) : nullptr;
        if (!popup) return;
        RECT buttonRect, barRect;
        if (!SendMessageW(toolbar, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&buttonRect)))
            return;
        MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&buttonRect), 2);
        GetWindowRect(self, &barRect);
        SendMessageW(toolbar, TB_PRESSBUTTON, static_cast<WPARAM>(command), TRUE);
        UpdateWindow(toolbar);

        gwes::TrackRequest request;
        request.menu = popup;
        request.owner = owner;
        request.flags = TPM_LEFTALIGN | TPM_BOTTOMALIGN;
        request.at = {buttonRect.left, barRect.top};
        request.exclude = barRect;
        request.initPosition = button->subIndex == NOMENU ? 0 : static_cast<LPARAM>(button->subIndex);
        gwes::TrackResult result = gwes::TrackMenu(request);

        if (!IsWindow(self)) return;  // the owner's handling may have ended the bar
        SendMessageW(toolbar, TB_PRESSBUTTON, static_cast<WPARAM>(command), FALSE);
        if (result.command) {
            PostMessageW(owner, WM_COMMAND, MAKEWPARAM(result.command, 0), 0);
            return;
        }
        if (!result.dismissedByPen) return;
        // The pen that closed the menu may have landed on another menu button.
        POINT p = result.penPoint;
        ScreenToClient(toolbar, &p);
        LRESULT hit = SendMessageW(toolbar, TB_HITTEST, 0, reinterpret_cast<LPARAM>(&p));
        TBBUTTON tb = {};
        if (hit < 0 || !SendMessageW(toolbar, TB_GETBUTTON, static_cast<WPARAM>(hit), reinterpret_cast<LPARAM>(&tb)))
            return;
        TextButton* next = bar->Button(tb.idCommand);
        if (tb.idCommand == command || !next || !next->Popup() || !(tb.fsState & TBSTATE_ENABLED)) return;
        command = tb.idCommand;
    }
}

// ---- The bar's window --------------------------------------------------------------------------

LRESULT CALLBACK MenuBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MenuBar* bar = BarOf(hwnd);
    switch (message) {
    case WM_CREATE: {
        auto* created = static_cast<MenuBar*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
        return 0;
    }
    case WM_ERASEBKGND: return 1;  // the toolbar covers the bar
    case WM_CLOSE: return 0;       // the program destroys its bar itself
    case WM_SIZE:
        if (bar && bar->toolbar) MoveWindow(bar->toolbar, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_COMMAND:
        return bar ? SendMessageW(bar->owner, WM_COMMAND, wParam, lParam) : 0;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!bar || !header) return 0;
        if (header->code == TBN_DROPDOWN && header->hwndFrom == bar->toolbar) {
            const NMTOOLBARW* nm = reinterpret_cast<const NMTOOLBARW*>(lParam);
            TextButton* b = bar->Button(nm->iItem);
            if (b && b->Popup()) {
                OpenPopup(bar, nm->iItem);
                return TBDDRET_DEFAULT;
            }
        }
        return SendMessageW(bar->owner, WM_NOTIFY, wParam, lParam);
    }
    case SHCMBM_GETMENU: return bar ? reinterpret_cast<LRESULT>(bar->menu) : 0;
    case SHCMBM_GETSUBMENU: {
        TextButton* b = bar ? bar->Button(static_cast<int>(lParam)) : nullptr;
        return b ? reinterpret_cast<LRESULT>(bar->PopupOf(*b)) : 0;
    }
    case SHCMBM_SETSUBMENU: {
        TextButton* b = bar ? bar->Button(static_cast<int>(wParam)) : nullptr;
        if (!b) return 0;
        HMENU old = bar->PopupOf(*b);
        b->replaced = reinterpret_cast<HMENU>(lParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case SHCMBM_OVERRIDEKEY: return TRUE;
    case SHCMBM_SETBKCOLOR:
        if (bar) bar->background = static_cast<COLORREF>(lParam);
        return TRUE;
    case WM_DESTROY:
        if (bar) {
            std::lock_guard<std::mutex> guard(Lock());
            auto& bars = Bars();
            bars.erase(std::remove_if(bars.begin(), bars.end(), [&](const Known& k) { return k.bar == hwnd; }),
                       bars.end());
        }
        if (bar && bar->ownsMenu && bar->menu) DestroyMenu(bar->menu);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete bar;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        // The toolbar's own messages (TB_*) are answered by the toolbar.
        if (bar && bar->toolbar && message > WM_USER && message < SHCMBM_SETSUBMENU)
            return SendMessageW(bar->toolbar, message, wParam, lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RegisterMenuBarClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc = {};
        wc.style = CS_GLOBALCLASS;
        wc.lpfnWndProc = MenuBarProc;
        wc.lpszClassName = kMenuBarClass;
        RegisterClassW(&wc);
    });
}

// The buttons of a bar made from a menu handle: one per item of its top level.
void ButtonsFromMenu(HMENU menu, std::vector<RecordButton>* buttons, std::vector<std::u16string>* texts) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        RecordButton b;
        HMENU sub = GetSubMenu(menu, i);
        MENUITEMINFOW mii = {};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_ID;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &mii);
        // A popup made by AppendMenu carries its handle as id; the button takes a small one instead.
        b.command = static_cast<int>(mii.wID > 0 && mii.wID <= 0xFFFF ? mii.wID : 0xF000u + static_cast<UINT>(i));
        b.subIndex = sub ? static_cast<UINT>(i) : NOMENU;
        buttons->push_back(b);
        texts->push_back(PopupText(menu, static_cast<UINT>(i)));
    }
}

}  // namespace

HWND MenuBarOf(HWND owner) {
    std::vector<Known> bars;
    {
        std::lock_guard<std::mutex> guard(Lock());
        bars = Bars();
    }
    for (auto it = bars.rbegin(); it != bars.rend(); ++it)
        if (it->owner == owner && IsWindow(it->bar)) return it->bar;
    return nullptr;
}

bool MenuBarHidesSipButton(HWND owner) {
    std::lock_guard<std::mutex> guard(Lock());
    for (const Known& k : Bars())
        if (k.owner == owner && k.hideSip) return true;
    return false;
}

}  // namespace shell

using namespace shell;

BOOL SHCreateMenuBar(SHMENUBARINFO* info) {
    if (!info || info->cbSize < offsetof(SHMENUBARINFO, clrBk)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!IsWindow(info->hwndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    auto bar = std::make_unique<MenuBar>();
    bar->owner = info->hwndParent;
    bar->flags = info->dwFlags;
    if ((info->dwFlags & SHCMBF_COLORBK) && info->cbSize >= sizeof(SHMENUBARINFO)) bar->background = info->clrBk;

    std::vector<RecordButton> record;
    std::vector<std::u16string> texts;
    if (info->dwFlags & SHCMBF_EMPTYBAR) {
        // No buttons: the bar only covers the strip.
    } else if (info->dwFlags & SHCMBF_HMENU) {
        HMENU menu = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(info->nToolBarId));
        if (!IsMenu(menu)) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        bar->menu = menu;  // stays the caller's
        ButtonsFromMenu(menu, &record, &texts);
    } else {
        HRSRC found = FindResourceW(info->hInstRes, MAKEINTRESOURCEW(info->nToolBarId), RT_RCDATA);
        if (!found) return FALSE;
        const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(info->hInstRes, found)));
        UINT menuId = 0;
        if (!ParseRecord(data, SizeofResource(info->hInstRes, found), &menuId, &record)) {
            SetLastError(ERROR_BAD_FORMAT);
            return FALSE;
        }
        bool needsMenu = std::any_of(record.begin(), record.end(), [](const RecordButton& b) { return b.subIndex != NOMENU; });
        if (menuId) bar->menu = LoadMenuW(info->hInstRes, MAKEINTRESOURCEW(menuId));
        if (needsMenu && !bar->menu) return FALSE;  // LoadMenuW said why
        bar->ownsMenu = bar->menu != nullptr;
        for (const RecordButton& b : record) texts.push_back(ButtonText(info->hInstRes, bar->menu, b));
    }

    // A record that names a popup the menu does not have is refused.
    for (const RecordButton& b : record) {
        if (b.subIndex != NOMENU && !GetSubMenu(bar->menu, static_cast<int>(b.subIndex))) {
            if (bar->ownsMenu) DestroyMenu(bar->menu);
            SetLastError(ERROR_BAD_FORMAT);
            return FALSE;
        }
    }

    EnsureTaskBar();
    RegisterMenuBarClass();
    InitCommonControls();
    RECT r = gwes::MenuBarRect();
    MenuBar* raw = bar.get();
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kMenuBarClass, nullptr,
                                WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top, info->hwndParent,
                                nullptr, info->hInstRes, raw);
    if (!hwnd) {
        if (bar->ownsMenu) DestroyMenu(bar->menu);
        return FALSE;
    }
    bar.release();  // the window owns it now
    raw->toolbar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NORESIZE | CCS_NOPARENTALIGN, 0, 0,
                                   r.right - r.left, r.bottom - r.top, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolbarId)), info->hInstRes, nullptr);
    if (!raw->toolbar) {
        DestroyWindow(hwnd);
        return FALSE;
    }
    WNDPROC original = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(raw->toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ToolbarSubclass)));
    g_toolbarProc.store(original);
    SendMessageW(raw->toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    if (info->nBmpId && info->cBmpImages > 0) {
        TBADDBITMAP add = {info->hInstRes, static_cast<UINT_PTR>(info->nBmpId)};
        SendMessageW(raw->toolbar, TB_ADDBITMAP, static_cast<WPARAM>(info->cBmpImages), reinterpret_cast<LPARAM>(&add));
    }
    std::vector<TBBUTTON> buttons;
    for (size_t i = 0; i < record.size(); ++i) {
        const RecordButton& b = record[i];
        TBBUTTON tb = {};
        tb.iBitmap = b.image;
        tb.idCommand = b.command;
        tb.fsState = b.state;
        tb.fsStyle = b.subIndex != NOMENU ? static_cast<BYTE>(b.style | TBSTYLE_DROPDOWN)
                                          : static_cast<BYTE>(b.style & ~TBSTYLE_DROPDOWN);
        tb.iString = -1;
        buttons.push_back(tb);
        if (b.image == I_IMAGENONE) raw->buttons.push_back({b.command, b.subIndex, nullptr, texts[i]});
    }
    if (!buttons.empty())
        SendMessageW(raw->toolbar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    FitButtons(raw->toolbar);
    {
        std::lock_guard<std::mutex> guard(Lock());
        Bars().push_back({hwnd, info->hwndParent, (info->dwFlags & SHCMBF_HIDESIPBUTTON) != 0});
    }
    if (!(info->dwFlags & SHCMBF_HIDDEN)) ShowWindow(hwnd, SW_SHOWNA);
    if (info->dwFlags & SHCMBF_HIDESIPBUTTON) RefreshTaskBar();
    info->hwndMB = hwnd;
    return TRUE;
}

HWND SHFindMenuBar(HWND window) { return MenuBarOf(window); }
