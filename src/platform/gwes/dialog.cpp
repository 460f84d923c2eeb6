// The dialog manager: dialogs created from templates, the dialog class and
// DefDlgProcW, the modal loop with EndDialog, the default push button and the
// focus a dialog keeps while it is inactive, and dialog units.
//
// What the manager knows about a dialog beyond its window (font, base units,
// default button, saved focus, end state) lives in a table keyed by HWND,
// filled when the dialog is created (or on the first message DefDlgProcW
// sees for a window of a program's own dialog class) and emptied on
// WM_NCDESTROY. The table's lock is never held while a message is sent.
//
// Creation follows the desktop system's order: the owner is disabled (modal
// dialogs), the dialog window is created hidden, it gets WM_SETFONT, the
// controls are created in template order (which is the tab order) and each
// gets WM_SETFONT, WM_INITDIALOG sets the focus, and the dialog is shown when
// its template says WS_VISIBLE (the modal loop shows it in any case).
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "gwes/dialog_template.h"
#include "windows.h"

namespace {

// ---- The dialog table ---------------------------------------------------------------

struct DialogInfo {
    HFONT font = nullptr;      // the template's font (null: the system font)
    bool ownsFont = false;     // created from the template; deleted with the dialog
    int xBase = 0, yBase = 0;  // base units: average character width and height
    UINT defId = IDOK;         // the default push button's id (DM_SETDEFID)
    HWND savedFocus = nullptr;  // the control that had the focus when the dialog was deactivated
    std::atomic<bool> ended{false};
    INT_PTR result = 0;
    // The windows a modal dialog disabled (its owner's top-level window and
    // the top-level windows that window owns: menu bar, toolbar), until the
    // dialog ends and enables them again.
    std::vector<HWND> disabledWindows;
    DLGPROC proc = nullptr;        // kept here too for classes without DLGWINDOWEXTRA bytes
};

struct DialogTable {
    std::mutex lock;
    std::unordered_map<HWND, std::shared_ptr<DialogInfo>> byWindow;
};

DialogTable& Table() {
    static auto* table = new DialogTable;  // never destroyed: threads may run during exit
    return *table;
}

std::shared_ptr<DialogInfo> FindInfo(HWND hwnd) {
    DialogTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.byWindow.find(hwnd);
    return it == t.byWindow.end() ? nullptr : it->second;
}

void ForgetInfo(HWND hwnd) {
    DialogTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.byWindow.erase(hwnd);
}

// ---- Fonts and dialog units -----------------------------------------------------------

// MulDiv: value * numerator / denominator through 64 bits, rounded half away
// from zero; -1 for a zero denominator.
int MulDivInt(int value, int numerator, int denominator) {
    if (denominator == 0) return -1;
    int64_t product = static_cast<int64_t>(value) * numerator;
    int64_t d = denominator;
    if (d < 0) {
        d = -d;
        product = -product;
    }
    int64_t q = product >= 0 ? (product + d / 2) / d : -((-product + d / 2) / d);
    return static_cast<int>(q);
}

struct BaseUnits {
    int x;
    int y;
};

// Base units of a font as the system computes them: the average width of the
// 52 Latin letters (rounded) and the character cell height.
BaseUnits BaseUnitsOf(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);
    static const char16_t kLetters[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, kLetters, 52, &size);
    if (old) SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    BaseUnits units = {(size.cx / 26 + 1) / 2, tm.tmHeight};
    if (units.x <= 0) units.x = tm.tmAveCharWidth > 0 ? tm.tmAveCharWidth : 1;
    if (units.y <= 0) units.y = 1;
    return units;
}

BaseUnits SystemBaseUnits() {
    static const BaseUnits units = BaseUnitsOf(nullptr);  // the DC's default is the system font
    return units;
}

// The font a template names, or null for the system font. Point sizes become
// character heights at the screen's resolution.
HFONT TemplateFont(const gwes::DialogTemplate& t) {
    if (!t.hasFont || t.pointSize == 0x7FFF) return nullptr;  // 0x7FFF: the system's message font
    HDC dc = GetDC(nullptr);
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    LOGFONTW lf = {};
    lf.lfHeight = -MulDivInt(t.pointSize, dpi > 0 ? dpi : 96, 72);
    lf.lfWeight = t.extended && t.weight ? t.weight : FW_NORMAL;
    lf.lfItalic = t.italic ? TRUE : FALSE;
    lf.lfCharSet = t.extended ? t.charSet : DEFAULT_CHARSET;
    size_t n = std::min<size_t>(t.faceName.size(), LF_FACESIZE - 1);
    std::copy(t.faceName.begin(), t.faceName.begin() + static_cast<std::ptrdiff_t>(n), lf.lfFaceName);
    lf.lfFaceName[n] = 0;
    return CreateFontIndirectW(&lf);
}

// ---- Small window helpers ----------------------------------------------------------------

bool HasDialogExtra(HWND hwnd) { return GetClassLongW(hwnd, GCL_CBWNDEXTRA) >= DLGWINDOWEXTRA; }

DLGPROC DialogProcOf(HWND hwnd, const DialogInfo* info) {
    if (HasDialogExtra(hwnd)) return reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC));
    return info ? info->proc : nullptr;
}

LRESULT MessageResult(HWND hwnd) {
    return IsWindow(hwnd) && HasDialogExtra(hwnd) ? GetWindowLongPtrW(hwnd, DWLP_MSGRESULT) : 0;
}

HWND TopLevelOf(HWND hwnd) {
    while (hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) {
        HWND parent = GetParent(hwnd);
        if (!parent) break;
        hwnd = parent;
    }
    return hwnd;
}

UINT DlgCode(HWND hwnd) { return hwnd ? static_cast<UINT>(SendMessageW(hwnd, WM_GETDLGCODE, 0, 0)) : 0; }

// Gives the focus to a control, selecting all of an edit's text, as Tab does.
void SetDialogFocus(HWND control) {
    if (DlgCode(control) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
    SetFocus(control);
}

// The push button that shows the default frame now, anywhere in the dialog.
HWND FindDefButton(HWND dialog) {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            if (DlgCode(child) & DLGC_DEFPUSHBUTTON) {
                s->found = child;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// DM_SETDEFID: the new default id; the button that had the default frame
// loses it and the new one (when it is a push button) gets it.
BOOL SetDefId(HWND dialog, DialogInfo& info, UINT id) {
    UINT oldId = info.defId;
    info.defId = id;
    HWND newButton = GetDlgItem(dialog, static_cast<int>(id));
    UINT newCode = DlgCode(newButton);
    if (newButton && !(newCode & (DLGC_UNDEFPUSHBUTTON | DLGC_BUTTON))) return FALSE;
    HWND oldButton = GetDlgItem(dialog, static_cast<int>(oldId));
    if (!oldButton || !(DlgCode(oldButton) & DLGC_DEFPUSHBUTTON)) oldButton = FindDefButton(dialog);
    if (oldButton && oldButton != newButton) SendMessageW(oldButton, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (newButton && (newCode & DLGC_UNDEFPUSHBUTTON)) SendMessageW(newButton, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    return TRUE;
}

// After the focus moved by the keyboard: a push button with the focus shows
// the default frame; any other control gives it back to the default id's button.
void MoveDefaultFrame(HWND dialog, const DialogInfo& info, HWND focus) {
    HWND defButton = GetDlgItem(dialog, static_cast<int>(info.defId));
    UINT code = DlgCode(focus);
    if (focus && !(code & (DLGC_UNDEFPUSHBUTTON | DLGC_DEFPUSHBUTTON))) {
        focus = defButton;
        code = DlgCode(focus);
    }
    HWND current = defButton;
    if (!current || !(DlgCode(current) & DLGC_DEFPUSHBUTTON)) current = FindDefButton(dialog);
    if (current && current != focus) SendMessageW(current, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    if (focus && (code & DLGC_UNDEFPUSHBUTTON)) SendMessageW(focus, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
}

void SaveFocus(HWND dialog, DialogInfo& info) {
    HWND focus = GetFocus();
    if (focus && IsChild(dialog, focus)) info.savedFocus = focus;
}

// Puts the focus back where it was when the dialog was deactivated; the
// first tab stop (or the first control) when nothing was saved, except on
// plain activation, where the window manager then focuses the dialog itself
// and WM_SETFOCUS comes back here.
void RestoreFocus(HWND dialog, DialogInfo& info, bool justActivated) {
    if (info.ended) return;
    HWND focus = info.savedFocus;
    if (!focus || !IsWindow(focus) || !IsChild(dialog, focus)) {
        if (justActivated) return;
        focus = GetNextDlgTabItem(dialog, nullptr, FALSE);
        if (!focus) focus = GetNextDlgGroupItem(dialog, nullptr, FALSE);
        if (!focus) return;
    }
    info.savedFocus = nullptr;
    if (justActivated) SetFocus(focus);
    else SetDialogFocus(focus);
}

// A modal dialog takes its owner's whole top-level window out of use: the
// window itself and every top-level window it owns (the shell's menu bar and
// its toolbar are owned popups, not children), so neither taps nor hot keys
// reach the program behind the dialog. Only what is enabled now is disabled,
// and only that is enabled again.
std::vector<HWND> DisableOwnerFamily(HWND owner) {
    std::vector<HWND> disabled;
    if (!owner) return disabled;
    struct Walk {
        HWND owner;
        std::vector<HWND>* out;
    } walk = {owner, &disabled};
    EnumWindows(
        [](HWND top, LPARAM p) -> BOOL {
            auto* w = reinterpret_cast<Walk*>(p);
            if (top != w->owner && GetWindow(top, GW_OWNER) == w->owner && IsWindowEnabled(top))
                w->out->push_back(top);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    for (HWND h : disabled) EnableWindow(h, FALSE);
    if (IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled.push_back(owner);
    }
    return disabled;
}

void EnableOwnerAgain(DialogInfo& info) {
    std::vector<HWND> windows;
    windows.swap(info.disabledWindows);
    // The owner last disabled is enabled first, so it is usable before its bars.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (IsWindow(*it)) EnableWindow(*it, TRUE);
}

// Keeps a top-level window inside the work area (as much of it as fits).
void KeepInWorkArea(HWND hwnd) {
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (!GetWindowRect(hwnd, &r)) return;
    int x = r.left, y = r.top;
    if (r.right > work.right) x = std::max<int>(work.left, work.right - (r.right - r.left));
    if (r.bottom > work.bottom) y = std::max<int>(work.top, work.bottom - (r.bottom - r.top));
    x = std::max<int>(x, work.left);
    y = std::max<int>(y, work.top);
    if (x != r.left || y != r.top) SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- The dialog class ------------------------------------------------------------------------

void EnsureDialogClass() {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    WNDCLASSW wc = {};
    DWORD error = GetLastError();
    if (GetClassInfoW(nullptr, WC_DIALOG, &wc)) return;
    SetLastError(error);
    wc.style = CS_DBLCLKS | CS_SAVEBITS | CS_GLOBALCLASS;
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = WC_DIALOG;
    // No class brush: WM_ERASEBKGND asks the dialog for its colour.
    RegisterClassW(&wc);
}

// ---- Creation --------------------------------------------------------------------------------

// The most a template handed over by address (without its size) may span.
constexpr size_t kMaxIndirectTemplateBytes = 1u << 20;

std::shared_ptr<DialogInfo> AttachInfo(HWND hwnd) {
    DialogTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto& slot = t.byWindow[hwnd];
    if (!slot) {
        slot = std::make_shared<DialogInfo>();
        BaseUnits units = SystemBaseUnits();
        slot->xBase = units.x;
        slot->yBase = units.y;
    }
    return slot;
}

// A dialog from template bytes; null (with the error set) when the template
// is malformed or the window or a control cannot be created.
HWND CreateFromTemplate(HINSTANCE instance, const void* bytes, size_t size, HWND owner, DLGPROC proc,
                        LPARAM param, bool modal) {
    gwes::DialogTemplate t;
    if (gwes::ParseDialogTemplate(bytes, size, &t) != gwes::TemplateError::kOk) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    DWORD style = t.style;
    DWORD exStyle = t.exStyle;
    if (style & DS_CONTROL) {
        // A dialog inside another one (a property sheet page): no caption,
        // and the outer dialog's keyboard handling walks into it.
        style &= ~static_cast<DWORD>(WS_CAPTION | WS_SYSMENU);
        exStyle |= WS_EX_CONTROLPARENT;
    }
    if (style & DS_MODALFRAME) exStyle |= WS_EX_DLGMODALFRAME;
    const bool child = (style & WS_CHILD) != 0;
    if (!child && owner) owner = TopLevelOf(owner);

    HFONT font = TemplateFont(t);
    BaseUnits units = font ? BaseUnitsOf(font) : SystemBaseUnits();

    // The template gives the client area; the frame comes around it.
    RECT r = {0, 0, MulDivInt(t.cx, units.x, 4), MulDivInt(t.cy, units.y, 8)};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int width = r.right - r.left, height = r.bottom - r.top;
    POINT pos;
    if (style & (DS_CENTER | DS_CENTERMOUSE)) {
        RECT area;
        if (child && owner) GetClientRect(owner, &area);
        else SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
        pos = {area.left + (area.right - area.left - width) / 2, area.top + (area.bottom - area.top - height) / 2};
    } else {
        pos = {r.left + MulDivInt(t.x, units.x, 4), r.top + MulDivInt(t.y, units.y, 8)};
        // Top-level dialogs are placed relative to the owner's client area.
        if (!child && !(style & DS_ABSALIGN) && owner) ClientToScreen(owner, &pos);
    }
    if (!child) {
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        if (pos.x + width > work.right) pos.x = std::max<LONG>(work.left, work.right - width);
        if (pos.y + height > work.bottom) pos.y = std::max<LONG>(work.top, work.bottom - height);
        pos.x = std::max<LONG>(pos.x, work.left);
        pos.y = std::max<LONG>(pos.y, work.top);
    }

    // Menus in dialogs do not exist on Windows CE (the menu bar is a window
    // of its own); a template's menu field is ignored.
    EnsureDialogClass();
    LPCWSTR className = WC_DIALOG;
    if (t.className.ordinal) className = MAKEINTATOM(t.className.ordinal);
    else if (!t.className.text.empty()) className = t.className.text.c_str();

    std::vector<HWND> disabled;
    if (modal && owner) disabled = DisableOwnerFamily(child ? TopLevelOf(owner) : owner);
    HWND hwnd = CreateWindowExW(exStyle, className, t.title.c_str(), style & ~static_cast<DWORD>(WS_VISIBLE),
                                pos.x, pos.y, width, height, owner, nullptr, instance, nullptr);
    if (!hwnd) {
        DWORD error = GetLastError();
        for (auto it = disabled.rbegin(); it != disabled.rend(); ++it) EnableWindow(*it, TRUE);
        if (font) DeleteObject(font);
        SetLastError(error);
        return nullptr;
    }
    std::shared_ptr<DialogInfo> info = AttachInfo(hwnd);
    info->font = font;
    info->ownsFont = font != nullptr;
    info->xBase = units.x;
    info->yBase = units.y;
    info->disabledWindows = std::move(disabled);
    info->proc = proc;
    if (HasDialogExtra(hwnd)) SetWindowLongPtrW(hwnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    if (font) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);

    for (const gwes::DialogItem& item : t.items) {
        LPCWSTR itemClass = item.className.ordinal ? gwes::StandardClassName(item.className.ordinal)
                                                   : item.className.text.c_str();
        // A title given as an ordinal names a resource (the icon of an
        // SS_ICON static); the control receives it as MAKEINTRESOURCE.
        LPCWSTR title = item.title.ordinal ? MAKEINTRESOURCEW(item.title.ordinal) : item.title.text.c_str();
        HWND control = nullptr;
        if (itemClass) {
            control = CreateWindowExW(item.exStyle | WS_EX_NOPARENTNOTIFY, itemClass, title, item.style | WS_CHILD,
                                      MulDivInt(item.x, units.x, 4), MulDivInt(item.y, units.y, 8),
                                      MulDivInt(item.cx, units.x, 4), MulDivInt(item.cy, units.y, 8), hwnd,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)), instance,
                                      const_cast<BYTE*>(item.creationData));
        } else {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        }
        if (!control) {
            if (t.style & DS_NOFAILCREATE) continue;
            DWORD error = GetLastError();
            DestroyWindow(hwnd);  // WM_NCDESTROY enables the owner again and deletes the font
            SetLastError(error);
            return nullptr;
        }
        if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        if (DlgCode(control) & DLGC_DEFPUSHBUTTON) info->defId = static_cast<UINT>(item.id);
    }

    HWND focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    if (!focus) focus = GetNextDlgGroupItem(hwnd, nullptr, FALSE);
    if (SendMessageW(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && IsWindow(hwnd) &&
        (!(style & DS_CONTROL) || (style & WS_VISIBLE))) {
        // TRUE asks for the default focus; WM_INITDIALOG may have changed
        // the controls, so the first tab stop is looked up again.
        focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
        if (!focus) focus = GetNextDlgGroupItem(hwnd, nullptr, FALSE);
        if (focus) SetDialogFocus(focus);
        else if (!child) SetFocus(hwnd);
    }
    if (!IsWindow(hwnd)) return nullptr;
    if ((style & WS_VISIBLE) && !info->ended) ShowWindow(hwnd, SW_SHOWNORMAL);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

// The modal loop: runs until EndDialog, a WM_QUIT (which is posted again for
// the outer loop) or the dialog's destruction.
INT_PTR RunModal(HWND hwnd, HWND owner) {
    std::shared_ptr<DialogInfo> info = FindInfo(hwnd);
    if (!info) return -1;
    const bool idleMessages = !(GetWindowLongW(hwnd, GWL_STYLE) & DS_NOIDLEMSG) && owner;
    if (!info->ended && !IsWindowVisible(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
    while (!info->ended) {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (idleMessages) {
                SendMessageW(owner, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(hwnd));
                if (info->ended || !IsWindow(hwnd)) break;
            }
            if (GetMessageW(&msg, nullptr, 0, 0) == -1) break;
        }
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsWindow(hwnd)) break;
        if (!IsDialogMessageW(hwnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!IsWindow(hwnd)) break;
    }
    // Ended by a quit or by the dialog's destruction: 0, as nothing was chosen.
    INT_PTR result = info->ended ? info->result : 0;
    EnableOwnerAgain(*info);
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    return result;
}

INT_PTR DialogBoxFromBytes(HINSTANCE instance, const void* bytes, size_t size, HWND owner, DLGPROC proc,
                           LPARAM param) {
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    HWND hwnd = CreateFromTemplate(instance, bytes, size, owner, proc, param, true);
    if (!hwnd) return -1;
    return RunModal(hwnd, owner ? TopLevelOf(owner) : nullptr);
}

// The bytes of a dialog resource, or null with the error set.
const void* FindTemplate(HINSTANCE instance, LPCWSTR name, size_t* size) {
    HRSRC resource = FindResourceW(instance, name, RT_DIALOG);
    if (!resource) return nullptr;
    HGLOBAL data = LoadResource(instance, resource);
    if (!data) return nullptr;
    *size = SizeofResource(instance, resource);
    return LockResource(data);
}

// ---- Default processing ------------------------------------------------------------------------

LRESULT DefaultDialogMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DialogInfo& info) {
    switch (message) {
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HBRUSH brush = reinterpret_cast<HBRUSH>(
            SendMessageW(hwnd, WM_CTLCOLORDLG, wParam, reinterpret_cast<LPARAM>(hwnd)));
        if (!brush) brush = GetSysColorBrush(COLOR_STATIC);
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(dc, &r, brush);
        return 1;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC: {
        // Dialogs and their static texts share the device's dialog colours.
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, GetSysColor(COLOR_STATICTEXT));
        SetBkColor(dc, GetSysColor(COLOR_STATIC));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_STATIC));
    }
    case WM_SHOWWINDOW:
        if (!wParam) SaveFocus(hwnd, info);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) RestoreFocus(hwnd, info, true);
        else SaveFocus(hwnd, info);
        return 0;
    case WM_SETFOCUS:
        RestoreFocus(hwnd, info, false);
        return 0;
    case DM_SETDEFID:
        if (info.ended) return FALSE;
        return SetDefId(hwnd, info, static_cast<UINT>(wParam));
    case DM_GETDEFID: {
        if (info.ended) return 0;
        if (info.defId) return MAKELONG(info.defId, DC_HASDEFID);
        if (HWND button = FindDefButton(hwnd)) return MAKELONG(GetDlgCtrlID(button), DC_HASDEFID);
        return 0;
    }
    case DM_REPOSITION:
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) KeepInWorkArea(hwnd);
        return 0;
    case WM_NEXTDLGCTL: {
        HWND target = reinterpret_cast<HWND>(wParam);
        if (!lParam) target = GetNextDlgTabItem(hwnd, GetFocus(), wParam != 0);
        if (target) SetDialogFocus(target);
        MoveDefaultFrame(hwnd, info, target);
        return 0;
    }
    case WM_GETFONT: return reinterpret_cast<LRESULT>(info.font);
    case WM_CLOSE: {
        // Closing is cancelling, unless the Cancel button is disabled.
        HWND cancel = GetDlgItem(hwnd, IDCANCEL);
        if (cancel && !IsWindowEnabled(cancel)) return 0;
        PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return 0;
    }
    case WM_INITDIALOG:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_COMPAREITEM:
        return 0;
    default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// Messages whose answer is the dialog procedure's own return value; for all
// others a handling procedure leaves its answer at DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_COMPAREITEM ||
           message == WM_VKEYTOITEM || message == WM_CHARTOITEM || message == WM_INITDIALOG;
}

}  // namespace

// ---- The API ------------------------------------------------------------------------------------

LRESULT DefDlgProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<DialogInfo> info = FindInfo(hwnd);
    if (!info && message != WM_NCDESTROY) {
        if (!IsWindow(hwnd)) return 0;
        info = AttachInfo(hwnd);  // a program's own dialog class, created without a template
    }
    const bool extra = HasDialogExtra(hwnd);
    if (extra) SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
    DLGPROC proc = DialogProcOf(hwnd, info.get());
    INT_PTR handled = proc ? proc(hwnd, message, wParam, lParam) : FALSE;
    LRESULT result;
    if (!handled && info && IsWindow(hwnd)) result = DefaultDialogMessage(hwnd, message, wParam, lParam, *info);
    else if (ReturnsDirectly(message)) result = handled;
    else result = MessageResult(hwnd);
    if (message == WM_NCDESTROY && info) {
        // Destroyed without EndDialog: the owner must not stay disabled.
        EnableOwnerAgain(*info);
        if (info->ownsFont && info->font) DeleteObject(info->font);
        info->font = nullptr;
        ForgetInfo(hwnd);
    }
    return result;
}

HWND CreateDialogIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC dialogProc, LPARAM initParam) {
    if (!dialogTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateFromTemplate(instance, dialogTemplate, kMaxIndirectTemplateBytes, parent, dialogProc, initParam,
                              false);
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam) {
    size_t size = 0;
    const void* bytes = FindTemplate(instance, templateName, &size);
    if (!bytes) return nullptr;
    return CreateFromTemplate(instance, bytes, size, parent, dialogProc, initParam, false);
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND parent,
                                DLGPROC dialogProc, LPARAM initParam) {
    if (!dialogTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return DialogBoxFromBytes(instance, dialogTemplate, kMaxIndirectTemplateBytes, parent, dialogProc, initParam);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC dialogProc,
                        LPARAM initParam) {
    size_t size = 0;
    const void* bytes = FindTemplate(instance, templateName, &size);
    if (!bytes) return -1;
    return DialogBoxFromBytes(instance, bytes, size, parent, dialogProc, initParam);
}

BOOL EndDialog(HWND hwnd, INT_PTR result) {
    std::shared_ptr<DialogInfo> info = FindInfo(hwnd);
    if (!info) {
        SetLastError(IsWindow(hwnd) ? ERROR_WINDOW_NOT_DIALOG : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    info->result = result;
    info->ended = true;
    // The owner is enabled before the dialog hides, so that it is the window
    // that takes the activation back.
    EnableOwnerAgain(*info);
    if (IsWindowVisible(hwnd))
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Wakes a modal loop that waits for a message.
    PostMessageW(hwnd, WM_NULL, 0, 0);
    return TRUE;
}

BOOL MapDialogRect(HWND hwnd, LPRECT rect) {
    std::shared_ptr<DialogInfo> info = FindInfo(hwnd);
    if (!info) {
        SetLastError(IsWindow(hwnd) ? ERROR_WINDOW_NOT_DIALOG : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    rect->left = MulDivInt(rect->left, info->xBase, 4);
    rect->right = MulDivInt(rect->right, info->xBase, 4);
    rect->top = MulDivInt(rect->top, info->yBase, 8);
    rect->bottom = MulDivInt(rect->bottom, info->yBase, 8);
    return TRUE;
}

LONG GetDialogBaseUnits(void) {
    BaseUnits units = SystemBaseUnits();
    return MAKELONG(units.x, units.y);
}
