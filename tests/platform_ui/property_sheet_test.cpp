// Property sheets driven as a user drives them: the automation script taps
// the tabs and the OK button or presses Escape inside the sheet's modal loop,
// and the pages' notifications are checked as sequences. Pages may refuse to
// be left, to apply or to cancel.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "aygshell.h"
#include "bars_fixture.h"
#include "bars_ids.h"

using namespace bars_test;

namespace {

struct Note {
    int page;
    UINT code;
    LPARAM lParam;
    bool operator==(const Note& o) const { return page == o.page && code == o.code && lParam == o.lParam; }
};
std::ostream& operator<<(std::ostream& out, const Note& n) {
    return out << "{page " << n.page << ", PSN " << static_cast<int>(PSN_FIRST - n.code) << ", " << n.lParam << "}";
}

std::vector<Note> g_notes;
std::vector<int> g_initialised;  // pages in the order they got WM_INITDIALOG
std::vector<UINT> g_sheetCallbacks;
std::vector<std::pair<int, UINT>> g_pageCallbacks;
std::map<std::pair<int, UINT>, std::deque<LRESULT>> g_answers;  // page and code: answers in turn
std::function<void(HWND sheet, HWND page)> g_driver;  // runs when the first page is first shown
std::function<void(HWND page, UINT code)> g_watch;    // sees every notification

// The pages know their index from the record's lParam.
INT_PTR CALLBACK PageProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* psp = reinterpret_cast<PROPSHEETPAGEW*>(lParam);
        SetWindowLongPtrW(hwnd, DWLP_USER, psp->lParam);
        g_initialised.push_back(static_cast<int>(psp->lParam));
        return TRUE;
    }
    if (message != WM_NOTIFY) return FALSE;
    auto* psn = reinterpret_cast<PSHNOTIFY*>(lParam);
    int page = static_cast<int>(GetWindowLongPtrW(hwnd, DWLP_USER));
    g_notes.push_back({page, psn->hdr.code, psn->hdr.code == PSN_APPLY ? psn->lParam : 0});
    EXPECT_EQ(psn->hdr.hwndFrom, GetParent(hwnd));
    LRESULT answer = 0;
    auto it = g_answers.find({page, psn->hdr.code});
    if (it != g_answers.end() && !it->second.empty()) {
        answer = it->second.front();
        it->second.pop_front();
    }
    if (g_watch) g_watch(hwnd, psn->hdr.code);
    if (psn->hdr.code == PSN_SETACTIVE && g_driver) {
        auto driver = std::move(g_driver);
        g_driver = nullptr;
        driver(psn->hdr.hwndFrom, hwnd);
    }
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, answer);
    return TRUE;
}

// The Pocket PC way: tabs at the bottom, and the version query answered.
int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM) {
    g_sheetCallbacks.push_back(message);
    if (message == PSCB_GETVERSION) {
        EXPECT_EQ(hwnd, nullptr);
        return COMCTL32_VERSION;
    }
    if (message == PSCB_INITIALIZED) {
        HWND tab = GetDlgItem(hwnd, 12320);
        EXPECT_NE(tab, nullptr);
        SetWindowLongW(tab, GWL_STYLE, GetWindowLongW(tab, GWL_STYLE) | TCS_BOTTOM);
    }
    return 0;
}

UINT CALLBACK PageCallback(HWND, UINT message, PROPSHEETPAGEW* psp) {
    g_pageCallbacks.emplace_back(static_cast<int>(psp->lParam), message);
    return 1;
}

class PropertySheetTest : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        g_notes.clear();
        g_initialised.clear();
        g_sheetCallbacks.clear();
        g_pageCallbacks.clear();
        g_answers.clear();
        g_driver = nullptr;
        g_watch = nullptr;
        HINSTANCE instance = GetModuleHandleW(nullptr);
        const struct {
            int id;
            DWORD flags;
            LPCWSTR title;
        } pages[] = {
            {IDD_BARS_PAGE_GENERAL, PSP_USETITLE, u"General"},
            {IDD_BARS_PAGE_SLIDES, PSP_USETITLE, MAKEINTRESOURCEW(IDS_BARS_PAGE_TITLE)},
            {IDD_BARS_PAGE_CAPTION, 0, nullptr},  // its tab shows the template's caption
        };
        for (int i = 0; i < 3; ++i) {
            PROPSHEETPAGEW& p = pages_[i];
            p = {};
            p.dwSize = sizeof(p);
            p.dwFlags = pages[i].flags;
            p.hInstance = instance;
            p.pszTemplate = MAKEINTRESOURCEW(pages[i].id);
            p.pszTitle = pages[i].title;
            p.pfnDlgProc = PageProc;
            p.lParam = i;
        }
        header_ = {};
        header_.dwSize = sizeof(header_);
        header_.dwFlags = PSH_PROPSHEETPAGE | PSH_MAXIMIZE | PSH_USECALLBACK | PSH_NOAPPLYNOW;
        header_.hwndParent = parent_;
        header_.hInstance = instance;
        header_.pszCaption = MAKEINTRESOURCEW(IDS_BARS_SHEET);
        header_.nPages = 3;
        header_.nStartPage = 0;
        header_.ppsp = pages_;
        header_.pfnCallback = SheetCallback;
    }
    void TearDown() override {
        g_driver = nullptr;
        g_watch = nullptr;
        BarsTest::TearDown();
    }

    static POINT Centre(HWND hwnd, RECT r) {
        MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    static std::string TapAt(POINT p) { return "tap " + std::to_string(p.x) + " " + std::to_string(p.y) + "\n"; }
    static std::string TapTab(HWND sheet, int index) {
        HWND tab = GetDlgItem(sheet, 12320);
        RECT r = {};
        EXPECT_TRUE(TabCtrl_GetItemRect(tab, index, &r));
        return TapAt(Centre(tab, r));
    }
    static std::string TapButton(HWND sheet, int id) {
        HWND button = GetDlgItem(sheet, id);
        EXPECT_NE(button, nullptr) << id;
        RECT r = {};
        GetClientRect(button, &r);
        return TapAt(Centre(button, r));
    }
    // The sheet's first page starts this script.
    static void Drive(std::function<std::string(HWND sheet, HWND page)> script) {
        g_driver = [script](HWND sheet, HWND page) {
            ASSERT_TRUE(platform::StartScriptText(script(sheet, page)));
        };
    }

    PROPSHEETPAGEW pages_[3];
    PROPSHEETHEADERW header_;
};

constexpr UINT kSet = PSN_SETACTIVE, kKill = PSN_KILLACTIVE, kApply = PSN_APPLY, kReset = PSN_RESET,
               kQuery = PSN_QUERYCANCEL, kHelp = PSN_HELP;

TEST_F(PropertySheetTest, OkAppliesEveryPageThatWasShown) {
    Drive([](HWND sheet, HWND) { return TapTab(sheet, 1) + TapButton(sheet, IDOK); });
    EXPECT_EQ(PropertySheetW(&header_), 1);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0},
                                          {0, kKill, 0},
                                          {1, kSet, 0},
                                          {1, kKill, 0},
                                          {0, kApply, TRUE},
                                          {1, kApply, TRUE}}));
    EXPECT_EQ(g_initialised, (std::vector<int>{0, 1}));
    EXPECT_EQ(g_sheetCallbacks,
              (std::vector<UINT>{PSCB_GETVERSION, PSCB_PRECREATE, PSCB_GETTITLE, PSCB_INITIALIZED}));
}

TEST_F(PropertySheetTest, EscapeCancels) {
    Drive([](HWND, HWND) { return std::string("key escape\n"); });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0}, {0, kQuery, 0}, {0, kReset, 0}}));
}

// The input panel comes up over the bottom of a page while the control
// being typed in lies there, or the focus moves there by Tab while the panel
// is up: the sheet gives way to the panel and the page moves up so that the
// control stays in sight.
TEST_F(PropertySheetTest, FocusedControlStaysVisibleAboveTheInputPanel) {
    const struct {
        const char* name;
        bool tapEditFirst;  // else the panel first, then Tab from the slider
    } cases[] = {{"focus, then the panel", true}, {"the panel, then Tab", false}};
    SHFullScreen(parent_, SHFS_SHOWSIPBUTTON);  // the navigation bar with its input-panel button
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool checked = false;
        HWND edit = nullptr;
        const bool tapEditFirst = c.tapEditFirst;
        Drive([&edit, tapEditFirst](HWND, HWND page) {
            edit = GetDlgItem(page, IDC_BARS_EDIT);
            RECT r = {};
            GetClientRect(edit, &r);
            // The navigation bar's input-panel button is at its right end.
            const std::string panel = "tap 228 13\nidle\n";
            if (tapEditFirst) return TapAt(Centre(edit, r)) + "idle\n" + panel + "key escape\n";
            return panel + "key tab\nidle\nkey escape\n";
        });
        g_watch = [&](HWND page, UINT code) {
            if (code != kQuery) return;
            checked = true;
            HWND sheet = GetParent(page);
            EXPECT_EQ(GetFocus(), edit);
            SIPINFO si = {};
            si.cbSize = sizeof(si);
            ASSERT_TRUE(SHSipInfo(SPI_GETSIPINFO, 0, &si, 0));
            ASSERT_TRUE(si.fdwFlags & SIPF_ON);
            RECT sheetRect, editRect, display;
            GetWindowRect(sheet, &sheetRect);
            EXPECT_EQ(sheetRect.bottom, si.rcVisibleDesktop.bottom);
            HWND tab = GetDlgItem(sheet, 12320);
            GetClientRect(tab, &display);
            TabCtrl_AdjustRect(tab, FALSE, &display);
            MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&display), 2);
            GetWindowRect(edit, &editRect);
            EXPECT_LE(editRect.bottom, display.bottom);
            EXPECT_GE(editRect.top, sheetRect.top);
        };
        EXPECT_EQ(PropertySheetW(&header_), 0);
        EXPECT_TRUE(checked);
        g_watch = nullptr;
        SipShowIM(SIPF_OFF);
    }
}

TEST_F(PropertySheetTest, MaximisedWithTabsAtTheBottom) {
    Drive([](HWND sheet, HWND page) {
        // Below the navigation bar and above the 26-pixel menu bar, whose
        // buttons would cover the tabs.
        RECT r, work;
        GetWindowRect(sheet, &r);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        work.bottom = GetSystemMetrics(SM_CYSCREEN) - 26;
        EXPECT_TRUE(EqualRect(&r, &work));
        WCHAR text[64];
        GetWindowTextW(sheet, text, 64);
        EXPECT_EQ(std::u16string(text), u"Options");
        HWND tab = GetDlgItem(sheet, 12320);
        EXPECT_TRUE(GetWindowLongW(tab, GWL_STYLE) & TCS_BOTTOM);
        EXPECT_EQ(TabCtrl_GetItemCount(tab), 3);
        const char16_t* titles[] = {u"General", u"Slides", u"Cleaner"};
        for (int i = 0; i < 3; ++i) {
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = text;
            item.cchTextMax = 64;
            SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            EXPECT_EQ(std::u16string(text), titles[i]);
        }
        // The page lies above the tabs, which end at the bottom of the screen.
        RECT pageRect, tabRect, item;
        GetWindowRect(page, &pageRect);
        TabCtrl_GetItemRect(tab, 0, &item);
        MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&item), 2);
        GetWindowRect(tab, &tabRect);
        EXPECT_EQ(tabRect.bottom, work.bottom);
        EXPECT_EQ(item.bottom, work.bottom);
        EXPECT_LE(pageRect.bottom, item.top);
        EXPECT_EQ(PropSheet_GetTabControl(sheet), tab);
        // The focus is in the page: the key moves its slider.
        return "key right\n" + TapButton(sheet, IDOK);
    });
    // Once the sheet is up: the page is current and on show.
    bool seen = false;
    g_watch = [&seen](HWND page, UINT code) {
        if (code != PSN_KILLACTIVE) return;
        seen = true;
        HWND sheet = GetParent(page);
        EXPECT_EQ(PropSheet_GetCurrentPageHwnd(sheet), page);
        EXPECT_TRUE(IsWindowVisible(page));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet, IDOK)));
        EXPECT_EQ(SendDlgItemMessageW(page, IDC_BARS_SLIDER, TBM_GETPOS, 0, 0), 1);
    };
    EXPECT_EQ(PropertySheetW(&header_), 1);
    EXPECT_TRUE(seen);
}

TEST_F(PropertySheetTest, InvalidApplyKeepsTheSheetOpen) {
    g_answers[{0, kApply}] = {PSNRET_INVALID_NOCHANGEPAGE};
    Drive([](HWND sheet, HWND) { return TapButton(sheet, IDOK) + TapButton(sheet, IDOK); });
    EXPECT_EQ(PropertySheetW(&header_), 1);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0},
                                          {0, kKill, 0},
                                          {0, kApply, TRUE},
                                          {0, kKill, 0},
                                          {0, kApply, TRUE}}));
}

TEST_F(PropertySheetTest, InvalidApplyShowsTheFailingPage) {
    // Page 0 fails while page 1 is shown: OK brings page 0 back.
    g_answers[{0, kApply}] = {PSNRET_INVALID};
    Drive([](HWND sheet, HWND) { return TapTab(sheet, 1) + TapButton(sheet, IDOK) + "key escape\n"; });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0},
                                          {0, kKill, 0},
                                          {1, kSet, 0},
                                          {1, kKill, 0},
                                          {0, kApply, TRUE},
                                          {0, kSet, 0},
                                          {0, kQuery, 0},
                                          {0, kReset, 0},
                                          {1, kReset, 0}}));
}

TEST_F(PropertySheetTest, PagesMayRefuseToCancelOrToBeLeft) {
    g_answers[{0, kQuery}] = {TRUE};
    g_answers[{0, kKill}] = {TRUE};
    Drive([](HWND sheet, HWND) { return TapTab(sheet, 1) + "key escape\nkey escape\n"; });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0},
                                          {0, kKill, 0},  // refused: page 1 is never made
                                          {0, kQuery, 0},  // refused
                                          {0, kQuery, 0},
                                          {0, kReset, 0}}));
    EXPECT_EQ(g_initialised, (std::vector<int>{0}));
}

TEST_F(PropertySheetTest, HelpGoesToTheCurrentPage) {
    Drive([](HWND sheet, HWND) {
        PostMessageW(sheet, WM_HELP, 0, 0);
        return std::string("key escape\n");
    });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0}, {0, kHelp, 0}, {0, kQuery, 0}, {0, kReset, 0}}));
}

TEST_F(PropertySheetTest, StartPageAndPagesMadeWithTheSheet) {
    header_.nStartPage = 2;
    pages_[1].dwFlags |= PSP_PREMATURE;
    Drive([](HWND sheet, HWND) {
        // Messages to the sheet: PSM_SETCURSEL moves to another page.
        HWND tab = PropSheet_GetTabControl(sheet);
        EXPECT_EQ(TabCtrl_GetCurSel(tab), 2);
        PostMessageW(sheet, PSM_SETCURSEL, 0, 0);
        return std::string("idle\n") + "key escape\n";
    });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_initialised, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(g_notes, (std::vector<Note>{{2, kSet, 0},
                                          {2, kKill, 0},
                                          {0, kSet, 0},
                                          {0, kQuery, 0},
                                          {0, kReset, 0},
                                          {1, kReset, 0},
                                          {2, kReset, 0}}));
}

TEST_F(PropertySheetTest, PageHandlesInACaptionedSheet) {
    HPROPSHEETPAGE handles[2];
    for (int i = 0; i < 2; ++i) {
        pages_[i].dwFlags |= PSP_USECALLBACK;
        pages_[i].pfnCallback = PageCallback;
        handles[i] = CreatePropertySheetPageW(&pages_[i]);
        ASSERT_NE(handles[i], nullptr);
    }
    header_.dwFlags = PSH_USECALLBACK;  // not maximised: OK and Cancel at the bottom
    header_.nPages = 2;
    header_.phpage = handles;
    Drive([](HWND sheet, HWND) {
        EXPECT_TRUE(GetWindowLongW(sheet, GWL_STYLE) & WS_CAPTION);
        return TapButton(sheet, IDCANCEL);
    });
    EXPECT_EQ(PropertySheetW(&header_), 0);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0}, {0, kQuery, 0}, {0, kReset, 0}}));
    // Page 1 was never shown, so never made; both are released with the sheet.
    EXPECT_EQ(g_pageCallbacks, (std::vector<std::pair<int, UINT>>{
                                   {0, PSPCB_CREATE}, {0, PSPCB_RELEASE}, {1, PSPCB_RELEASE}}));
}

TEST_F(PropertySheetTest, PageFromATemplateInMemory) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(IDD_BARS_PAGE_SLIDES), RT_DIALOG);
    ASSERT_NE(res, nullptr);
    pages_[0].dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    pages_[0].pResource = static_cast<LPCDLGTEMPLATE>(LockResource(LoadResource(instance, res)));
    header_.nPages = 1;
    Drive([](HWND sheet, HWND page) {
        EXPECT_NE(GetDlgItem(page, IDC_BARS_CHECK), nullptr);
        return TapButton(sheet, IDOK);
    });
    EXPECT_EQ(PropertySheetW(&header_), 1);
    EXPECT_EQ(g_notes, (std::vector<Note>{{0, kSet, 0}, {0, kKill, 0}, {0, kApply, TRUE}}));
}

TEST_F(PropertySheetTest, BadHeadersFail) {
    EXPECT_EQ(PropertySheetW(nullptr), -1);
    PROPSHEETHEADERW none = header_;
    none.nPages = 0;
    EXPECT_EQ(PropertySheetW(&none), -1);
    PROPSHEETHEADERW small = header_;
    small.dwSize = 8;
    EXPECT_EQ(PropertySheetW(&small), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
