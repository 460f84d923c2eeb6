// Property sheets: PropertySheetW runs a dialog made from a template built
// here, with a tab control (id 0x3020) holding one tab per page and each page
// a child dialog made from its own template when first shown (or at once with
// PSP_PREMATURE). With PSH_MAXIMIZE the sheet covers the work area as a
// Pocket PC sheet: a title line with the OK button at the top, the pages
// below it and the tabs under them when the sheet's callback gives the tab
// control TCS_BOTTOM. Without it the sheet is a captioned dialog sized to its
// largest page with OK, Cancel, Apply and Help along the bottom. Escape and
// IDCANCEL cancel; WM_HELP asks the page for PSN_HELP.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "controls/bar_controls.h"
#include "controls/common_controls.h"
#include "gwes/window_manager.h"

// An HPROPSHEETPAGE: the page record as it was given, extra bytes included.
struct _PSP {
    std::vector<BYTE> bytes;
};

namespace {

constexpr int kTabControlId = 0x3020;
constexpr int kHeaderHeight = 24;
constexpr int kButtonHeight = 20;
constexpr int kButtonWidth = 50;
constexpr int kMargin = 4;
// Posted to the sheet itself after the focus moved by keys.
constexpr UINT kKeepFocusVisible = WM_APP + 0x3F0;
// The lengths above are the handheld's; the large screens double them.
int Scaled(int length) { return length * std::max(1, GetSystemMetrics(SM_CXBORDER)); }
constexpr size_t kMaxTemplate = 1 << 20;
// A page record larger than this is taken for garbage, not a program's own
// data appended to PROPSHEETPAGEW.
constexpr DWORD kMaxPageRecord = 1 << 16;

bool ValidPageRecord(const PROPSHEETPAGEW* psp) {
    return psp && psp->dwSize >= offsetof(PROPSHEETPAGEW, pfnCallback) && psp->dwSize <= kMaxPageRecord;
}

struct Page {
    std::vector<BYTE> record;  // the PROPSHEETPAGEW copy whose address the page gets
    HPROPSHEETPAGE handle = nullptr;  // when the page came as a handle
    HWND hwnd = nullptr;
    std::u16string title;
    bool changed = false;
    bool refused = false;  // PSPCB_CREATE said no, or the template was unusable

    PROPSHEETPAGEW* Psp() { return reinterpret_cast<PROPSHEETPAGEW*>(record.data()); }
};

struct Sheet {
    PROPSHEETHEADERW header = {};
    std::vector<std::unique_ptr<Page>> pages;
    HWND hwnd = nullptr;
    HWND tab = nullptr;
    int current = -1;
    std::u16string title;
    bool maximized = false;
    bool modeless = false;
    bool ownedByWindow = false;  // a modeless sheet that deletes itself with its window
    HFONT titleFont = nullptr;
    std::vector<DWORD> dialogTemplate;
    // Page handles given to the sheet are its own once it runs.
    std::vector<HPROPSHEETPAGE> ownedHandles;

    ~Sheet() {
        for (HPROPSHEETPAGE handle : ownedHandles) delete handle;
    }
};

// A page record padded to at least the size of PROPSHEETPAGEW, so every
// field can be read whatever dwSize the program gave.
std::vector<BYTE> CopyRecord(const PROPSHEETPAGEW* psp) {
    size_t size = std::max<size_t>(psp->dwSize, sizeof(PROPSHEETPAGEW));
    std::vector<BYTE> bytes(size, 0);
    std::memcpy(bytes.data(), psp, std::min<size_t>(psp->dwSize, size));
    return bytes;
}

// ---- Dialog templates ----

// Reads the fields of a DLGTEMPLATE or DLGTEMPLATEEX just far enough to know
// its length, never past `limit` bytes. Zero when it is malformed.
class TemplateWalker {
public:
    TemplateWalker(const BYTE* data, size_t limit) : data_(data), limit_(limit) {}

    size_t Length() {
        bool extended = Word(0) == 1 && Word(2) == 0xFFFF;
        if (!ok_) return 0;
        DWORD style = extended ? Dword(12) : Dword(0);
        WORD items = extended ? Word(16) : Word(8);
        pos_ = extended ? 26 : 18;
        SkipNameOrOrdinal();  // menu
        SkipNameOrOrdinal();  // class
        SkipString();         // title
        if (style & DS_SETFONT) {
            pos_ += extended ? 6 : 2;
            SkipString();
        }
        for (WORD i = 0; i < items && ok_; ++i) {
            pos_ = (pos_ + 3) & ~static_cast<size_t>(3);
            pos_ += extended ? 24 : 18;
            SkipNameOrOrdinal();  // class
            SkipNameOrOrdinal();  // title
            size_t extra = Word(pos_);
            pos_ += 2 + extra;
        }
        if (!ok_ || pos_ > limit_) return 0;
        return pos_;
    }

private:
    WORD Word(size_t at) {
        if (at + 2 > limit_) {
            ok_ = false;
            return 0;
        }
        WORD v;
        std::memcpy(&v, data_ + at, 2);
        return v;
    }
    DWORD Dword(size_t at) {
        if (at + 4 > limit_) {
            ok_ = false;
            return 0;
        }
        DWORD v;
        std::memcpy(&v, data_ + at, 4);
        return v;
    }
    void SkipString() {
        while (ok_ && Word(pos_) != 0) pos_ += 2;
        pos_ += 2;
    }
    void SkipNameOrOrdinal() {
        WORD first = Word(pos_);
        if (first == 0xFFFF) pos_ += 4;
        else SkipString();
    }

    const BYTE* data_;
    size_t limit_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// Where a template keeps its style and size.
struct TemplateHeader {
    bool extended = false;
    size_t styleAt = 0;
    size_t exStyleAt = 0;
    size_t sizeAt = 0;  // cx then cy, in dialog units
};

TemplateHeader HeaderOf(const BYTE* data) {
    TemplateHeader h;
    WORD version, signature;
    std::memcpy(&version, data, 2);
    std::memcpy(&signature, data + 2, 2);
    h.extended = version == 1 && signature == 0xFFFF;
    h.styleAt = h.extended ? 12 : 0;
    h.exStyleAt = h.extended ? 8 : 4;
    h.sizeAt = h.extended ? 22 : 14;
    return h;
}

// The page's template bytes: from the resource, or from memory with PSP_DLGINDIRECT.
bool PageTemplate(PROPSHEETPAGEW* psp, const BYTE** data, size_t* size) {
    if (psp->dwFlags & PSP_DLGINDIRECT) {
        if (!psp->pResource) return false;
        *data = reinterpret_cast<const BYTE*>(psp->pResource);
        *size = TemplateWalker(*data, kMaxTemplate).Length();
        return *size != 0;
    }
    HRSRC res = FindResourceW(psp->hInstance, psp->pszTemplate, RT_DIALOG);
    if (!res) return false;
    *data = static_cast<const BYTE*>(LockResource(LoadResource(psp->hInstance, res)));
    *size = SizeofResource(psp->hInstance, res);
    return *data && TemplateWalker(*data, *size).Length() != 0;
}

// The caption of a page template, for pages without PSP_USETITLE.
std::u16string TemplateCaption(const BYTE* data, size_t size) {
    TemplateHeader h = HeaderOf(data);
    size_t pos = h.extended ? 26 : 18;
    auto word = [&](size_t at) -> int {
        if (at + 2 > size) return -1;
        WORD v;
        std::memcpy(&v, data + at, 2);
        return v;
    };
    for (int field = 0; field < 2; ++field) {  // menu and class
        int first = word(pos);
        if (first < 0) return {};
        if (first == 0xFFFF) {
            pos += 4;
            continue;
        }
        while (word(pos) > 0) pos += 2;
        pos += 2;
    }
    std::u16string title;
    for (int c; (c = word(pos)) > 0; pos += 2) title.push_back(static_cast<char16_t>(c));
    return title;
}

// ---- Pages ----

LRESULT NotifyPage(Sheet& s, int index, UINT code, LPARAM lParam = 0) {
    if (index < 0 || index >= static_cast<int>(s.pages.size())) return 0;
    HWND page = s.pages[static_cast<size_t>(index)]->hwnd;
    if (!page) return 0;
    PSHNOTIFY psn = {};
    psn.hdr.hwndFrom = s.hwnd;
    psn.hdr.idFrom = 0;
    psn.hdr.code = code;
    psn.lParam = lParam;
    return SendMessageW(page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&psn));
}

RECT DisplayArea(const Sheet& s) {
    RECT r;
    GetClientRect(s.tab, &r);
    SendMessageW(s.tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(s.tab, s.hwnd, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool CreatePage(Sheet& s, int index) {
    Page& page = *s.pages[static_cast<size_t>(index)];
    if (page.hwnd) return true;
    if (page.refused) return false;
    PROPSHEETPAGEW* psp = page.Psp();
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback &&
        psp->pfnCallback(nullptr, PSPCB_CREATE, psp) == 0) {
        page.refused = true;
        return false;
    }
    const BYTE* data = nullptr;
    size_t size = 0;
    if (!PageTemplate(psp, &data, &size)) {
        page.refused = true;
        return false;
    }
    // A page is a child control of the sheet whatever its template says.
    std::vector<DWORD> copy((size + 3) / 4, 0);
    std::memcpy(copy.data(), data, size);
    BYTE* bytes = reinterpret_cast<BYTE*>(copy.data());
    TemplateHeader h = HeaderOf(bytes);
    DWORD style, exStyle;
    std::memcpy(&style, bytes + h.styleAt, 4);
    std::memcpy(&exStyle, bytes + h.exStyleAt, 4);
    style &= ~static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME |
                                 WS_DISABLED | WS_VISIBLE | DS_CENTER | DS_SETFOREGROUND);
    style |= WS_CHILD | DS_CONTROL;
    exStyle |= WS_EX_CONTROLPARENT;
    std::memcpy(bytes + h.styleAt, &style, 4);
    std::memcpy(bytes + h.exStyleAt, &exStyle, 4);
    HWND hwnd = CreateDialogIndirectParamW(psp->hInstance, reinterpret_cast<LPCDLGTEMPLATE>(bytes),
                                           s.hwnd, psp->pfnDlgProc, reinterpret_cast<LPARAM>(psp));
    if (!hwnd) {
        page.refused = true;
        return false;
    }
    if ((psp->dwFlags & PSP_USEREFPARENT) && psp->pcRefParent) ++*psp->pcRefParent;
    page.hwnd = hwnd;
    RECT area = DisplayArea(s);
    SetWindowPos(hwnd, HWND_TOP, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE);
    return true;
}

void ReleasePage(Page& page) {
    PROPSHEETPAGEW* psp = page.Psp();
    if (page.hwnd && (psp->dwFlags & PSP_USEREFPARENT) && psp->pcRefParent && *psp->pcRefParent)
        --*psp->pcRefParent;
    if ((psp->dwFlags & PSP_USECALLBACK) && psp->pfnCallback)
        psp->pfnCallback(nullptr, PSPCB_RELEASE, psp);
    page.hwnd = nullptr;
}

HWND FirstControl(HWND page) {
    HWND first = GetNextDlgTabItem(page, nullptr, FALSE);
    return first ? first : page;
}

// Shows page `index`: the current page may refuse to be left (PSN_KILLACTIVE)
// unless `leave` is false because it already agreed.
bool ActivatePage(Sheet& s, int index, bool leave) {
    if (index < 0 || index >= static_cast<int>(s.pages.size())) return false;
    if (index == s.current) return true;
    if (leave && s.current >= 0 && NotifyPage(s, s.current, PSN_KILLACTIVE)) return false;
    if (!CreatePage(s, index)) return false;
    HWND sheet = s.hwnd;
    // The tab shows the new page while it gets ready; it may still say no.
    SendMessageW(s.tab, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (NotifyPage(s, index, PSN_SETACTIVE) == -1 || !IsWindow(sheet)) {
        if (IsWindow(sheet)) SendMessageW(s.tab, TCM_SETCURSEL, static_cast<WPARAM>(s.current), 0);
        return false;
    }
    HWND old = s.current >= 0 ? s.pages[static_cast<size_t>(s.current)]->hwnd : nullptr;
    HWND page = s.pages[static_cast<size_t>(index)]->hwnd;
    HWND focus = GetFocus();
    bool focusInOld = !focus || focus == s.hwnd || (old && (focus == old || IsChild(old, focus)));
    RECT area = DisplayArea(s);
    SetWindowPos(page, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (old && old != page) ShowWindow(old, SW_HIDE);
    s.current = index;
    if (focusInOld) SetFocus(FirstControl(page));
    return true;
}

void End(Sheet& s, INT_PTR result) {
    if (s.modeless) DestroyWindow(s.hwnd);
    else EndDialog(s.hwnd, result);
}

// Every page that exists applies its values; `closing` tells them it is OK.
bool Apply(Sheet& s, bool closing) {
    HWND sheet = s.hwnd;
    if (s.current >= 0 && NotifyPage(s, s.current, PSN_KILLACTIVE)) return false;
    for (size_t i = 0; i < s.pages.size(); ++i) {
        if (!s.pages[i]->hwnd) continue;
        LRESULT r = NotifyPage(s, static_cast<int>(i), PSN_APPLY, closing ? TRUE : FALSE);
        if (!IsWindow(sheet)) return false;
        if (r == PSNRET_INVALID) {
            ActivatePage(s, static_cast<int>(i), false);
            return false;
        }
        if (r == PSNRET_INVALID_NOCHANGEPAGE) return false;
        s.pages[i]->changed = false;
    }
    if (HWND apply = GetDlgItem(sheet, ID_APPLY_NOW)) EnableWindow(apply, FALSE);
    return true;
}

void Ok(Sheet& s) {
    if (Apply(s, true)) End(s, 1);
}

void Cancel(Sheet& s) {
    HWND sheet = s.hwnd;
    if (s.current >= 0 && NotifyPage(s, s.current, PSN_QUERYCANCEL)) return;
    if (!IsWindow(sheet)) return;
    for (size_t i = 0; i < s.pages.size(); ++i)
        if (s.pages[i]->hwnd) NotifyPage(s, static_cast<int>(i), PSN_RESET, FALSE);
    if (IsWindow(sheet)) End(s, 0);
}

void Help(Sheet& s) { NotifyPage(s, s.current, PSN_HELP); }

// ---- Layout and painting ----

// A maximised sheet fills the visible desktop: below the navigation bar,
// above the input panel when it is up and above the menu bar, whose
// buttons would otherwise cover the tabs at the sheet's bottom.
RECT MaximizedRect() {
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    work.bottom = std::min(work.bottom, gwes::MenuBarRect().top);
    if (work.bottom < work.top) work.bottom = work.top;
    return work;
}

// The top of the current page is moved up (keeping its bottom where it
// was) when the control with the focus would lie below the display area,
// as happens when the input panel comes up under a page made for the
// whole screen. Returns how far.
int PageShift(const Sheet& s, const RECT& display) {
    if (s.current < 0) return 0;
    HWND page = s.pages[static_cast<size_t>(s.current)]->hwnd;
    HWND focus = GetFocus();
    if (!page || !focus || !IsChild(page, focus)) return 0;
    RECT control;
    GetWindowRect(focus, &control);
    // Where the control would be with the page at the top of the display area.
    RECT pageRect;
    GetWindowRect(page, &pageRect);
    POINT origin = {display.left, display.top};
    ClientToScreen(s.hwnd, &origin);
    const int bottom = static_cast<int>(control.bottom - pageRect.top + origin.y);
    RECT displayScreen = display;
    MapWindowPoints(s.hwnd, nullptr, reinterpret_cast<POINT*>(&displayScreen), 2);
    const int overflow = bottom - static_cast<int>(displayScreen.bottom) + 2;
    return std::max(0, overflow);
}

void Layout(Sheet& s) {
    RECT client;
    GetClientRect(s.hwnd, &client);
    RECT area = client;
    if (s.maximized) {
        area.top = Scaled(kHeaderHeight);
        if (HWND ok = GetDlgItem(s.hwnd, IDOK))
            MoveWindow(ok, client.right - Scaled(kMargin) - Scaled(kButtonWidth) + Scaled(14),
                       (Scaled(kHeaderHeight) - Scaled(kButtonHeight)) / 2,
                       Scaled(kButtonWidth) - Scaled(14), Scaled(kButtonHeight), TRUE);
    } else {
        area.bottom -= Scaled(kButtonHeight) + 2 * Scaled(kMargin);
        InflateRect(&area, -Scaled(kMargin), 0);
        area.top += Scaled(kMargin);
        int x = client.right - Scaled(kMargin);
        for (int id : {IDHELP, ID_APPLY_NOW, IDCANCEL, IDOK}) {
            HWND button = GetDlgItem(s.hwnd, id);
            if (!button) continue;
            x -= Scaled(kButtonWidth);
            MoveWindow(button, x, client.bottom - Scaled(kMargin) - Scaled(kButtonHeight), Scaled(kButtonWidth), Scaled(kButtonHeight), TRUE);
            x -= Scaled(kMargin);
        }
    }
    MoveWindow(s.tab, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    RECT display = DisplayArea(s);
    const int shift = PageShift(s, display);
    for (auto& page : s.pages)
        if (page->hwnd)
            SetWindowPos(page->hwnd, HWND_TOP, display.left, display.top - shift, display.right - display.left,
                         display.bottom - display.top + shift, SWP_NOACTIVATE);
    // A page moved up passes under the sheet's own button.
    if (shift > 0)
        if (HWND ok = GetDlgItem(s.hwnd, IDOK)) SetWindowPos(ok, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PaintTitle(Sheet& s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(s.hwnd, &ps);
    if (!dc) return;
    if (s.maximized) {
        RECT client;
        GetClientRect(s.hwnd, &client);
        RECT text = {Scaled(kMargin) + 2, 0, client.right - Scaled(kButtonWidth) - Scaled(kMargin), Scaled(kHeaderHeight) - 1};
        HGDIOBJ old = SelectObject(dc, s.titleFont ? s.titleFont : bars::FontOr(nullptr));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        DrawTextW(dc, s.title.c_str(), static_cast<int>(s.title.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
        SelectObject(dc, old);
        bars::Line(dc, 0, Scaled(kHeaderHeight) - 1, client.right, Scaled(kHeaderHeight) - 1, GetSysColor(COLOR_WINDOWTEXT));
    }
    EndPaint(s.hwnd, &ps);
}

// A size for a sheet that is not maximised: the largest page plus the tabs,
// margins and the row of buttons.
SIZE NaturalSize(Sheet& s) {
    LONG units = GetDialogBaseUnits();
    int baseX = std::max(1, static_cast<int>(LOWORD(units))), baseY = std::max(1, static_cast<int>(HIWORD(units)));
    int cx = 0, cy = 0;
    for (auto& page : s.pages) {
        const BYTE* data = nullptr;
        size_t size = 0;
        if (!PageTemplate(page->Psp(), &data, &size)) continue;
        TemplateHeader h = HeaderOf(data);
        short w, ht;
        std::memcpy(&w, data + h.sizeAt, 2);
        std::memcpy(&ht, data + h.sizeAt + 2, 2);
        cx = std::max(cx, w * baseX / 4);
        cy = std::max(cy, ht * baseY / 8);
    }
    RECT r = {0, 0, std::max(cx, 120), std::max(cy, 60)};
    SendMessageW(s.tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return SIZE{r.right - r.left + 2 * Scaled(kMargin), r.bottom - r.top + 3 * Scaled(kMargin) + Scaled(kButtonHeight)};
}

HWND MakeButton(Sheet& s, int id, const char16_t* text, DWORD style) {
    HWND button = CreateWindowExW(0, u"Button", text, WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0,
                                  Scaled(kButtonWidth), Scaled(kButtonHeight), s.hwnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(bars::FontOr(nullptr)), FALSE);
    return button;
}

int StartPage(Sheet& s) {
    if (s.header.dwFlags & PSH_USEPSTARTPAGE) {
        std::u16string wanted = bars::TextOrResource(s.header.hInstance, s.header.pStartPage);
        for (size_t i = 0; i < s.pages.size(); ++i)
            if (s.pages[i]->title == wanted) return static_cast<int>(i);
        return 0;
    }
    return s.header.nStartPage < s.pages.size() ? static_cast<int>(s.header.nStartPage) : 0;
}

void AddTab(Sheet& s, size_t index) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = s.pages[index]->title.data();
    SendMessageW(s.tab, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&item));
}

std::unique_ptr<Page> MakePage(const PROPSHEETPAGEW* psp, HPROPSHEETPAGE handle) {
    auto page = std::make_unique<Page>();
    page->record = CopyRecord(psp);
    page->handle = handle;
    PROPSHEETPAGEW* copy = page->Psp();
    if (copy->dwFlags & PSP_USETITLE) {
        page->title = bars::TextOrResource(copy->hInstance, copy->pszTitle);
    } else {
        const BYTE* data = nullptr;
        size_t size = 0;
        if (PageTemplate(copy, &data, &size)) page->title = TemplateCaption(data, size);
    }
    return page;
}

void SetTitle(Sheet& s, DWORD style, LPCWSTR text) {
    std::u16string title = bars::TextOrResource(s.header.hInstance, text);
    if (style & PSH_PROPTITLE) title = u"Properties for " + title;
    s.title = title;
    SetWindowTextW(s.hwnd, title.c_str());
    RECT header = {0, 0, 10000, Scaled(kHeaderHeight)};
    InvalidateRect(s.hwnd, &header, TRUE);
}

BOOL InitSheet(Sheet& s, HWND hwnd) {
    s.hwnd = hwnd;
    SetWindowLongPtrW(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(&s));
    SetTitle(s, s.header.dwFlags, s.header.pszCaption);
    if (s.header.dwFlags & PSH_USECALLBACK && s.header.pfnCallback) {
        WCHAR buffer[256] = {};
        s.header.pfnCallback(hwnd, PSCB_GETTITLE, reinterpret_cast<LPARAM>(buffer));
        buffer[255] = 0;
        if (buffer[0]) SetTitle(s, 0, buffer);
    }
    LOGFONTW lf = {};
    GetObjectW(bars::FontOr(nullptr), sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    s.titleFont = CreateFontIndirectW(&lf);

    if (s.maximized) {
        RECT r = MaximizedRect();
        MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
    }
    s.tab = CreateWindowExW(0, WC_TABCONTROLW, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP,
                            0, 0, 0, 0, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabControlId)),
                            nullptr, nullptr);
    if (!s.tab) return FALSE;
    SendMessageW(s.tab, WM_SETFONT, reinterpret_cast<WPARAM>(bars::FontOr(nullptr)), FALSE);
    for (size_t i = 0; i < s.pages.size(); ++i) AddTab(s, i);
    MakeButton(s, IDOK, u"OK", BS_DEFPUSHBUTTON);
    if (!s.maximized) {
        MakeButton(s, IDCANCEL, u"Cancel", BS_PUSHBUTTON);
        if (!(s.header.dwFlags & PSH_NOAPPLYNOW)) EnableWindow(MakeButton(s, ID_APPLY_NOW, u"Apply", BS_PUSHBUTTON), FALSE);
        if (s.header.dwFlags & PSH_HASHELP) MakeButton(s, IDHELP, u"Help", BS_PUSHBUTTON);
        SIZE size = NaturalSize(s);
        RECT frame = {0, 0, size.cx, size.cy};
        AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE)));
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        // Never larger than the screen: the pages get what there is.
        int w = std::min(frame.right - frame.left, work.right - work.left);
        int h = std::min(frame.bottom - frame.top, work.bottom - work.top);
        MoveWindow(hwnd, work.left + std::max(0, static_cast<int>(work.right - work.left - w) / 2),
                   work.top + std::max(0, static_cast<int>(work.bottom - work.top - h) / 2), w, h, FALSE);
    }
    Layout(s);
    for (size_t i = 0; i < s.pages.size(); ++i)
        if (s.pages[i]->Psp()->dwFlags & PSP_PREMATURE) CreatePage(s, static_cast<int>(i));
    if (s.header.dwFlags & PSH_USECALLBACK && s.header.pfnCallback)
        s.header.pfnCallback(hwnd, PSCB_INITIALIZED, reinterpret_cast<LPARAM>(&s.header));
    if (!IsWindow(hwnd)) return FALSE;
    // The callback may have moved the tabs (TCS_BOTTOM): lay out again.
    Layout(s);
    int start = StartPage(s);
    if (!ActivatePage(s, start, false)) {
        for (int i = 0; i < static_cast<int>(s.pages.size()); ++i)
            if (ActivatePage(s, i, false)) break;
    }
    if (s.current < 0) SetFocus(s.tab);
    return FALSE;  // the focus is set
}

Page* PageByWindow(Sheet& s, HWND hwnd, int* index = nullptr) {
    for (size_t i = 0; i < s.pages.size(); ++i) {
        if (s.pages[i]->hwnd == hwnd) {
            if (index) *index = static_cast<int>(i);
            return s.pages[i].get();
        }
    }
    return nullptr;
}

int PageIndex(Sheet& s, WPARAM index, LPARAM handle) {
    if (handle) {
        for (size_t i = 0; i < s.pages.size(); ++i)
            if (s.pages[i]->handle == reinterpret_cast<HPROPSHEETPAGE>(handle)) return static_cast<int>(i);
        return -1;
    }
    return index < s.pages.size() ? static_cast<int>(index) : -1;
}

void RemovePage(Sheet& s, int index) {
    if (index < 0 || index >= static_cast<int>(s.pages.size())) return;
    Page& page = *s.pages[static_cast<size_t>(index)];
    bool wasCurrent = index == s.current;
    if (page.hwnd) DestroyWindow(page.hwnd);
    ReleasePage(page);
    s.pages.erase(s.pages.begin() + index);
    SendMessageW(s.tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    if (s.current > index) --s.current;
    if (wasCurrent) {
        s.current = -1;
        if (!s.pages.empty()) ActivatePage(s, std::min(index, static_cast<int>(s.pages.size()) - 1), false);
    }
}

// Answers a PSM_ message; `result` goes to DWLP_MSGRESULT.
bool SheetMessage(Sheet& s, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    *result = 0;
    switch (message) {
    case PSM_SETCURSEL:
        *result = ActivatePage(s, PageIndex(s, wParam, lParam), true);
        return true;
    case PSM_SETCURSELID:
        for (size_t i = 0; i < s.pages.size(); ++i) {
            PROPSHEETPAGEW* psp = s.pages[i]->Psp();
            if (!(psp->dwFlags & PSP_DLGINDIRECT) && IS_INTRESOURCE(psp->pszTemplate) &&
                reinterpret_cast<ULONG_PTR>(psp->pszTemplate) == static_cast<ULONG_PTR>(lParam)) {
                *result = ActivatePage(s, static_cast<int>(i), true);
                break;
            }
        }
        return true;
    case PSM_CHANGED:
    case PSM_UNCHANGED: {
        if (Page* page = PageByWindow(s, reinterpret_cast<HWND>(wParam))) page->changed = message == PSM_CHANGED;
        bool any = std::any_of(s.pages.begin(), s.pages.end(), [](const auto& p) { return p->changed; });
        if (HWND apply = GetDlgItem(s.hwnd, ID_APPLY_NOW)) EnableWindow(apply, any);
        return true;
    }
    case PSM_APPLY:
        *result = Apply(s, false);
        return true;
    case PSM_PRESSBUTTON:
        switch (wParam) {
        case PSBTN_OK: Ok(s); break;
        case PSBTN_CANCEL: Cancel(s); break;
        case PSBTN_APPLYNOW: Apply(s, false); break;
        case PSBTN_HELP: Help(s); break;
        default: break;
        }
        return true;
    case PSM_GETCURRENTPAGEHWND:
        *result = s.current >= 0 ? reinterpret_cast<LRESULT>(s.pages[static_cast<size_t>(s.current)]->hwnd) : 0;
        return true;
    case PSM_GETTABCONTROL:
        *result = reinterpret_cast<LRESULT>(s.tab);
        return true;
    case PSM_ISDIALOGMESSAGE:
        *result = IsDialogMessageW(s.hwnd, reinterpret_cast<LPMSG>(lParam));
        return true;
    case PSM_QUERYSIBLINGS:
        for (auto& page : s.pages) {
            if (!page->hwnd) continue;
            *result = SendMessageW(page->hwnd, PSM_QUERYSIBLINGS, wParam, lParam);
            if (*result) break;
        }
        return true;
    case PSM_SETTITLEW:
        SetTitle(s, static_cast<DWORD>(wParam), reinterpret_cast<LPCWSTR>(lParam));
        return true;
    case PSM_ADDPAGE: {
        auto* handle = reinterpret_cast<HPROPSHEETPAGE>(lParam);
        if (!handle) return true;
        s.pages.push_back(MakePage(reinterpret_cast<const PROPSHEETPAGEW*>(handle->bytes.data()), handle));
        s.ownedHandles.push_back(handle);
        AddTab(s, s.pages.size() - 1);
        *result = TRUE;
        return true;
    }
    case PSM_REMOVEPAGE:
        RemovePage(s, PageIndex(s, wParam, lParam));
        return true;
    default:
        return false;
    }
}

INT_PTR CALLBACK SheetProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return InitSheet(*reinterpret_cast<Sheet*>(lParam), hwnd);
    Sheet* s = reinterpret_cast<Sheet*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!s) return FALSE;
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: Ok(*s); return TRUE;
        case IDCANCEL: Cancel(*s); return TRUE;
        case ID_APPLY_NOW: Apply(*s, false); return TRUE;
        case IDHELP: Help(*s); return TRUE;
        default: return FALSE;
        }
    case WM_CLOSE:
        Cancel(*s);
        return TRUE;
    case WM_HELP:
        Help(*s);
        return TRUE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header || header->hwndFrom != s->tab) return FALSE;
        if (header->code == TCN_SELCHANGING) {
            // The page being left may refuse.
            LRESULT refuse = s->current >= 0 && NotifyPage(*s, s->current, PSN_KILLACTIVE) ? TRUE : FALSE;
            SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, refuse);
            return TRUE;
        }
        if (header->code == TCN_SELCHANGE) {
            int wanted = static_cast<int>(SendMessageW(s->tab, TCM_GETCURSEL, 0, 0));
            if (!ActivatePage(*s, wanted, false)) SendMessageW(s->tab, TCM_SETCURSEL, static_cast<WPARAM>(s->current), 0);
            return TRUE;
        }
        return FALSE;
    }
    case WM_SIZE:
        Layout(*s);
        return TRUE;
    case WM_NEXTDLGCTL:
        // Tab moves the focus, maybe to a control the input panel covers:
        // once the dialog manager has moved it, the page follows.
        PostMessageW(hwnd, kKeepFocusVisible, 0, 0);
        return FALSE;
    case kKeepFocusVisible:
        if (s->maximized) Layout(*s);
        return TRUE;
    case WM_SETTINGCHANGE:
        // The input panel went up or down: a maximised sheet follows the
        // visible desktop and keeps the focused control in sight.
        if (wParam == SPI_SETSIPINFO && s->maximized) {
            RECT r = MaximizedRect();
            RECT now;
            GetWindowRect(hwnd, &now);
            if (!EqualRect(&r, &now)) MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
            else Layout(*s);
        }
        return FALSE;
    case WM_PAINT:
        PaintTitle(*s);
        return TRUE;
    case WM_DESTROY:
        for (auto& page : s->pages) ReleasePage(*page);
        if (s->titleFont) DeleteObject(s->titleFont);
        s->titleFont = nullptr;
        SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        if (s->ownedByWindow) delete s;
        return FALSE;
    default: {
        LRESULT result;
        if (!SheetMessage(*s, message, wParam, lParam, &result)) return FALSE;
        if (IsWindow(hwnd)) SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
    }
}

// The sheet's own template: a dialog without controls; they are made in
// WM_INITDIALOG once the sheet knows its size.
void BuildTemplate(Sheet& s) {
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | DS_SETFOREGROUND;
    if (!s.maximized) style |= WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / 2, 0);
    DLGTEMPLATE header = {};
    header.style = style;
    header.dwExtendedStyle = WS_EX_CONTROLPARENT;
    std::memcpy(words.data(), &header, sizeof(header));
    words.push_back(0);  // no menu
    words.push_back(0);  // the dialog class
    for (char16_t c : s.title) words.push_back(c);
    words.push_back(0);
    s.dialogTemplate.assign((words.size() * 2 + 3) / 4, 0);
    std::memcpy(s.dialogTemplate.data(), words.data(), words.size() * 2);
}

}  // namespace

HPROPSHEETPAGE CreatePropertySheetPageW(LPCPROPSHEETPAGEW page) {
    if (!ValidPageRecord(page)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto* handle = new _PSP;
    handle->bytes = CopyRecord(page);
    return handle;
}

BOOL DestroyPropertySheetPage(HPROPSHEETPAGE page) {
    if (!page) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    delete page;
    return TRUE;
}

INT_PTR PropertySheetW(LPCPROPSHEETHEADERW header) {
    if (!header || header->dwSize < sizeof(PROPSHEETHEADERW) || header->nPages == 0 ||
        ((header->dwFlags & PSH_PROPSHEETPAGE) ? !header->ppsp : !header->phpage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    RegisterBarClasses();
    auto sheet = std::make_unique<Sheet>();
    Sheet& s = *sheet;
    std::memcpy(&s.header, header, sizeof(PROPSHEETHEADERW));
    s.maximized = (header->dwFlags & PSH_MAXIMIZE) != 0;
    s.modeless = (header->dwFlags & PSH_MODELESS) != 0;
    const BYTE* next = reinterpret_cast<const BYTE*>(header->ppsp);
    for (UINT i = 0; i < header->nPages; ++i) {
        if (header->dwFlags & PSH_PROPSHEETPAGE) {
            // Records follow each other at their own sizes.
            const auto* psp = reinterpret_cast<const PROPSHEETPAGEW*>(next);
            if (!ValidPageRecord(psp)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
            s.pages.push_back(MakePage(psp, nullptr));
            next += psp->dwSize;
        } else {
            HPROPSHEETPAGE handle = header->phpage[i];
            if (!handle) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return -1;
            }
            s.pages.push_back(MakePage(reinterpret_cast<const PROPSHEETPAGEW*>(handle->bytes.data()), handle));
        }
    }
    if (!(header->dwFlags & PSH_PROPSHEETPAGE))
        s.ownedHandles.assign(header->phpage, header->phpage + header->nPages);
    s.title = bars::TextOrResource(header->hInstance, header->pszCaption);
    if (header->dwFlags & PSH_USECALLBACK && header->pfnCallback)
        header->pfnCallback(nullptr, PSCB_GETVERSION, 0);
    BuildTemplate(s);
    auto* dialogTemplate = reinterpret_cast<LPDLGTEMPLATE>(s.dialogTemplate.data());
    if (header->dwFlags & PSH_USECALLBACK && header->pfnCallback)
        header->pfnCallback(nullptr, PSCB_PRECREATE, reinterpret_cast<LPARAM>(dialogTemplate));

    if (s.modeless) {
        HWND hwnd = CreateDialogIndirectParamW(header->hInstance, dialogTemplate, header->hwndParent, SheetProc,
                                               reinterpret_cast<LPARAM>(&s));
        if (!hwnd) return -1;
        // The sheet deletes itself when its window goes.
        sheet.release()->ownedByWindow = true;
        return reinterpret_cast<INT_PTR>(hwnd);
    }
    INT_PTR result = DialogBoxIndirectParamW(header->hInstance, dialogTemplate, header->hwndParent,
                                             SheetProc, reinterpret_cast<LPARAM>(&s));
    if (result < 0) return -1;
    return result == 1 ? 1 : 0;
}
