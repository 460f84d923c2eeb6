// The Options sheet and the colour palette driven as a user drives them:
// pen taps, keys and typed text go in from a thread timer while the sheet's
// (or the palette's) modal loop runs; then the settings, the registry and
// the reported changes are checked.
#include <gtest/gtest.h>

#include <commctrl.h>
#include <sipapi.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/colour_palette.h"
#include "app/options_sheet.h"
#include "app/settings.h"
#include "app/settings_store.h"
#include "app/window_base.h"
#include "gwes_fixture.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "res/resource.h"

namespace {

// ---- The driver: one step per timer tick; a step that returns false is
// tried again on the next tick (waiting for a window to appear). When the
// steps run out and a modal loop is still up, Escape ends it after a while
// and the test fails.
using Step = std::function<bool()>;
std::vector<Step> g_steps;
size_t g_next = 0;
int g_idle = 0;
bool g_stuck = false;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_next < g_steps.size()) {
        Step step = g_steps[g_next];
        if (step()) ++g_next;
        return;
    }
    if (++g_idle > 200) {
        g_idle = 0;
        g_stuck = true;
        platform::InjectKey(VK_ESCAPE, true);
        platform::InjectKey(VK_ESCAPE, false);
    }
}

void TapAt(int x, int y) {
    platform::InjectPen(platform::Pen::Down, x, y);
    platform::InjectPen(platform::Pen::Up, x, y);
}
void TapWindow(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    TapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
void PressKey(UINT vk) {
    platform::InjectKey(vk, true);
    platform::InjectKey(vk, false);
}

HWND SheetWindow() {
    return FindWindowW(nullptr, u"Options");
}
HWND Page() {
    HWND sheet = SheetWindow();
    return sheet ? PropSheet_GetCurrentPageHwnd(sheet) : nullptr;
}
HWND Control(int id) {
    HWND page = Page();
    return page ? GetDlgItem(page, id) : nullptr;
}

// Steps.
Step WaitForSheet() {
    return [] { return Page() != nullptr && IsWindowVisible(Page()); };
}
Step TapControl(int id) {
    return [id] {
        HWND control = Control(id);
        EXPECT_NE(control, nullptr) << id;
        if (control) TapWindow(control);
        return true;
    };
}
Step TapTab(int index) {
    return [index] {
        HWND tab = GetDlgItem(SheetWindow(), kPropertySheetTabId);
        RECT r = {};
        EXPECT_TRUE(TabCtrl_GetItemRect(tab, index, &r));
        MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&r), 2);
        TapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return true;
    };
}
Step WaitForPage(int id) {
    return [id] { return Control(id) != nullptr && IsWindowVisible(Control(id)); };
}
Step TapOk() {
    return [] {
        TapWindow(GetDlgItem(SheetWindow(), IDOK));
        return true;
    };
}
Step Key(UINT vk) {
    return [vk] {
        PressKey(vk);
        return true;
    };
}
// Focus an edit by a tap, select its text, then type over it.
Step SelectAll(int id) {
    return [id] {
        SendMessageW(Control(id), EM_SETSEL, 0, -1);
        return true;
    };
}
Step Type(std::u16string text) {
    return [text] {
        platform::InjectText(text);
        return true;
    };
}
Step Check(std::function<void()> f) {
    return [f] {
        f();
        return true;
    };
}

class OptionsTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ReloadRegistryForTest();
        SetAppInstance(GetModuleHandleW(nullptr));
        g_steps.clear();
        g_next = 0;
        g_idle = 0;
        g_stuck = false;
        SipShowIM(SIPF_OFF);  // a test before may have left it up
        owner_ = Top(0, 0, 240, 320);
        LoadSettings(&settings_, &recent_);
        SetHttpPreload(settings_.httpPreload);
    }
    void TearDown() override {
        g_steps.clear();
        WindowTest::TearDown();
    }
    // Runs `run` with the steps fed in from a thread timer.
    template <typename Run>
    auto Drive(std::vector<Step> steps, Run run) {
        g_steps = std::move(steps);
        g_next = 0;
        g_idle = 0;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        auto result = run();
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_next, g_steps.size()) << "steps left undone";
        EXPECT_FALSE(g_stuck) << "the dialog had to be escaped";
        return result;
    }
    OptionsChanges RunSheet(std::vector<Step> steps) {
        return Drive(std::move(steps),
                     [this] { return RunOptionsSheet(owner_, &settings_, &recent_); });
    }
    static bool StoredNumber(LPCWSTR name, DWORD* value) {
        SettingsStore store(KESTRAVA_SETTINGS_BASE);
        return store.Open(u"Options", false) && store.ReadNumber(name, value);
    }

    HWND owner_ = nullptr;
    SettingsBlock settings_;
    RecentAddresses recent_;
};

bool SameBlock(const SettingsBlock& a, const SettingsBlock& b) {
    return memcmp(&a, &b, sizeof(a)) == 0;
}

TEST(OptionsChangesTest, WhatEachChangeAsksFor) {
    SettingsBlock before = {};
    const struct {
        DWORD SettingsBlock::*field;
        bool reload, background, landscape;
    } cases[] = {
        {&SettingsBlock::iPaqOptimization, true, false, false},
        {&SettingsBlock::loadInReducedSize, true, false, false},
        {&SettingsBlock::bkgColor, false, true, false},
        {&SettingsBlock::landscapeMode, false, false, true},
        {&SettingsBlock::slideDelay, false, false, false},
        {&SettingsBlock::prevHideBar, false, false, false},
    };
    for (const auto& c : cases) {
        SettingsBlock after = before;
        after.*c.field = 1;
        OptionsChanges changes = CompareSettings(before, after);
        EXPECT_TRUE(changes.accepted);
        EXPECT_EQ(changes.reloadImages, c.reload);
        EXPECT_EQ(changes.background, c.background);
        EXPECT_EQ(changes.landscape, c.landscape);
        // The comparison runs both ways.
        OptionsChanges back = CompareSettings(after, before);
        EXPECT_EQ(back.reloadImages, c.reload);
        EXPECT_EQ(back.background, c.background);
        EXPECT_EQ(back.landscape, c.landscape);
    }
}

// Every label on every page can be read whole in the device's font: a
// check box's text fits beside its box, a one-line label inside its control.
std::vector<std::u16string> ClippedLabels(HWND page) {
    std::vector<std::u16string> clipped;
    for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        WCHAR cls[32] = {}, text[128] = {};
        GetClassNameW(c, cls, 32);
        GetWindowTextW(c, text, 128);
        const std::u16string name = cls;
        if (!text[0] || (name != u"Button" && name != u"Static")) continue;
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        if (name == u"Button" && (style & BS_MULTILINE)) continue;
        RECT r;
        GetClientRect(c, &r);
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)));
        std::u16string shown;
        for (const WCHAR* p = text; *p; ++p)
            if (*p != u'&') shown += *p;  // the mnemonic marks take no room
        SIZE size = {};
        GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        TEXTMETRICW tm = {};
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        ReleaseDC(c, dc);
        if (r.bottom >= 2 * tm.tmHeight) continue;  // room for a second line: the text wraps
        const int type = style & BS_TYPEMASK;
        const bool box = name == u"Button" && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX ||
                                               type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON);
        const int room = r.right - (box ? 13 + 4 : 0);
        if (size.cx > room) clipped.push_back(text);
    }
    return clipped;
}

TEST_F(OptionsTest, EveryLabelFitsItsControl) {
    std::vector<std::u16string> clipped;
    auto collect = [&clipped] {
        for (const std::u16string& text : ClippedLabels(Page())) clipped.push_back(text);
    };
    RunSheet({WaitForSheet(), Check(collect), TapTab(1), WaitForPage(IDC_SLIDE_DIRECTION), Check(collect),
              TapTab(2), WaitForPage(IDC_SYNC_ICON), Check(collect), Key(VK_ESCAPE)});
    for (const std::u16string& text : clipped) ADD_FAILURE() << "clipped: " << platform::Utf16ToUtf8(text);
}

TEST_F(OptionsTest, OkWithNothingChangedWritesEveryValueAndReloadsNothing) {
    const SettingsBlock before = settings_;
    OptionsChanges changes =
        RunSheet({WaitForSheet(), Check([] {
                      // Caption, three tabs at the bottom, bold headings.
                      HWND tab = GetDlgItem(SheetWindow(), kPropertySheetTabId);
                      EXPECT_EQ(TabCtrl_GetItemCount(tab), 3);
                      EXPECT_TRUE(GetWindowLongW(tab, GWL_STYLE) & TCS_BOTTOM);
                      HFONT font = reinterpret_cast<HFONT>(
                          SendMessageW(Control(IDC_OPTIONS_HEADING1), WM_GETFONT, 0, 0));
                      LOGFONTW description = {};
                      ASSERT_NE(font, nullptr);
                      GetObjectW(font, sizeof(description), &description);
                      EXPECT_EQ(description.lfWeight, FW_BOLD);
                      EXPECT_FALSE(IsWindowVisible(Control(IDC_LOAD_REDUCED_SIZE)));
                  }),
                  TapOk()});
    EXPECT_TRUE(changes.accepted);
    EXPECT_FALSE(changes.reloadImages);
    EXPECT_FALSE(changes.background);
    EXPECT_FALSE(changes.landscape);
    EXPECT_TRUE(SameBlock(before, settings_));
    // A fresh registry had nothing; now every number is there.
    for (LPCWSTR name :
         {u"BkgColor",          u"NotLoadInBkg",     u"NotCacheImage",  u"iPaqOptimization",
          u"LoadInReducedSize", u"AutoZoomToFit",    u"SlideRepeat",    u"SlideInFullScreen",
          u"WndOnStartSlides",  u"SlideDelay",       u"SlideDirection", u"PrevPosition",
          u"PrevHideBar",       u"PrevVertScroller", u"PrevFileName",   u"PrevSynchronice",
          u"LandscapeMode",     u"ShowSplashScreen", u"HTTPPreload",    u"CleanerAutoOnExit"}) {
        DWORD value;
        EXPECT_TRUE(StoredNumber(name, &value)) << std::string(name, name + lstrlenW(name));
    }
}

TEST_F(OptionsTest, GeneralChecksAndLandscapeAreReported) {
    OptionsChanges changes = RunSheet(
        {WaitForSheet(), TapControl(IDC_IPAQ_OPTIMIZATION), TapControl(IDC_NOT_CACHE_IMAGE),
         TapControl(IDC_LANDSCAPE_MODE), Key(VK_DOWN), Key(VK_RETURN), TapOk()});
    EXPECT_TRUE(changes.accepted);
    EXPECT_TRUE(changes.reloadImages);
    EXPECT_TRUE(changes.landscape);
    EXPECT_FALSE(changes.background);
    EXPECT_EQ(settings_.iPaqOptimization, 1u);
    EXPECT_EQ(settings_.notCacheImage, 1u);
    EXPECT_EQ(settings_.landscapeMode, 1u);
    DWORD stored = 0;
    ASSERT_TRUE(StoredNumber(u"LandscapeMode", &stored));
    EXPECT_EQ(stored, 1u);
}

TEST_F(OptionsTest, BackgroundColourPickedFromThePalette) {
    // Cell 6 of the background palette is white (entry 7: "no colour" is out).
    OptionsChanges changes = RunSheet(
        {WaitForSheet(), TapControl(IDC_BKG_COLOR),
         [] {
             HWND palette = GetCapture();
             if (!palette || palette == Control(IDC_BKG_COLOR)) return false;
             RECT cell = ColourPalette::CellRect(6);
             POINT p = {(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
             ClientToScreen(palette, &p);
             TapAt(p.x, p.y);
             return true;
         },
         Check([] {
             // The button shows the colour before OK.
             HWND button = Control(IDC_BKG_COLOR);
             RECT r;
             GetWindowRect(button, &r);
             HDC screen = GetDC(nullptr);
             EXPECT_EQ(GetPixel(screen, (r.left + r.right) / 2, (r.top + r.bottom) / 2) & 0xFFFFFF,
                       0xFFFFFFu);
             ReleaseDC(nullptr, screen);
         }),
         TapOk()});
    EXPECT_TRUE(changes.background);
    EXPECT_FALSE(changes.reloadImages);
    EXPECT_EQ(settings_.bkgColor, 0xFFFFFFu);
}

TEST_F(OptionsTest, SlideEditsTakeEachChange) {
    // The preload edit lies low on the page: it goes first, before the
    // input panel comes up and covers it.
    OptionsChanges changes =
        RunSheet({WaitForSheet(),
                  TapTab(1),
                  WaitForPage(IDC_SLIDE_DELAY),
                  TapControl(IDC_HTTP_PRELOAD),
                  SelectAll(IDC_HTTP_PRELOAD),
                  Type(u"50"),
                  Check([] { EXPECT_EQ(HttpPreload(), 100u); }),  // copied at once
                  SelectAll(IDC_HTTP_PRELOAD),
                  Type(u"20000"),
                  Check([] { EXPECT_EQ(HttpPreload(), 10000u); }),
                  SelectAll(IDC_HTTP_PRELOAD),
                  Type(u"2500"),
                  TapControl(IDC_SLIDE_DELAY),
                  SelectAll(IDC_SLIDE_DELAY),
                  Type(u"0"),
                  TapControl(IDC_SLIDE_REPEAT),
                  TapControl(IDC_SLIDE_DIRECTION),
                  Key(VK_DOWN),
                  Key(VK_DOWN),
                  Key(VK_RETURN),
                  TapOk()});
    EXPECT_TRUE(changes.accepted);
    EXPECT_FALSE(changes.reloadImages);
    EXPECT_EQ(settings_.slideDelay, 1u);  // 0 becomes 1
    EXPECT_EQ(settings_.httpPreload, 2500u);
    EXPECT_EQ(HttpPreload(), 2500u);
    EXPECT_EQ(settings_.slideRepeat, 1u);
    EXPECT_EQ(settings_.slideDirection, 2u);
    DWORD stored = 0;
    ASSERT_TRUE(StoredNumber(u"SlideDelay", &stored));
    EXPECT_EQ(stored, 1u);
}

TEST_F(OptionsTest, CancelDiscardsAllButThePreload) {
    const SettingsBlock before = settings_;
    OptionsChanges changes = RunSheet({WaitForSheet(), TapControl(IDC_AUTO_ZOOM_TO_FIT), TapTab(1),
                                       WaitForPage(IDC_HTTP_PRELOAD), TapControl(IDC_HTTP_PRELOAD),
                                       SelectAll(IDC_HTTP_PRELOAD), Type(u"300"), Key(VK_ESCAPE)});
    EXPECT_FALSE(changes.accepted);
    EXPECT_FALSE(changes.reloadImages || changes.background || changes.landscape);
    EXPECT_TRUE(SameBlock(before, settings_));
    EXPECT_EQ(HttpPreload(), 300u);  // the running value followed the edit
    DWORD stored;
    EXPECT_FALSE(StoredNumber(u"AutoZoomToFit", &stored));  // nothing saved
}

TEST_F(OptionsTest, HidingThumbnailsGreysTheirChoices) {
    settings_.prevHideBar = 1;
    constexpr int kChoices[] = {IDC_VERT_SCROLLER, IDC_SHOW_FILE_NAME, IDC_SYNC_ICON,
                                IDC_THUMB_POSITION};
    auto expectEnabled = [&kChoices](bool enabled) {
        return Check([enabled, &kChoices] {
            for (int id : kChoices) EXPECT_EQ(IsWindowEnabled(Control(id)) != FALSE, enabled) << id;
            EXPECT_TRUE(IsWindowEnabled(Control(IDC_SHOW_SPLASH)));
        });
    };
    OptionsChanges changes =
        RunSheet({WaitForSheet(), TapTab(2), WaitForPage(IDC_HIDE_THUMBNAILS), expectEnabled(false),
                  TapControl(IDC_HIDE_THUMBNAILS), expectEnabled(true),
                  TapControl(IDC_SHOW_FILE_NAME), TapControl(IDC_HIDE_THUMBNAILS),
                  expectEnabled(false), TapControl(IDC_SHOW_SPLASH), TapOk()});
    EXPECT_TRUE(changes.accepted);
    EXPECT_EQ(settings_.prevHideBar, 1u);
    EXPECT_EQ(settings_.prevFileName, 0u);
    EXPECT_EQ(settings_.showSplashScreen, 0u);
}

TEST_F(OptionsTest, SlideShowOpensTheSlidesPageAlone) {
    settings_.slideDelay = 7;
    OptionsChanges changes = Drive(
        {WaitForSheet(), Check([] {
             EXPECT_EQ(TabCtrl_GetItemCount(GetDlgItem(SheetWindow(), kPropertySheetTabId)), 1);
             EXPECT_NE(Control(IDC_SLIDE_DELAY), nullptr);
             EXPECT_EQ(GetDlgItemInt(Page(), IDC_SLIDE_DELAY, nullptr, FALSE), 7u);
         }),
         TapControl(IDC_WND_ON_START_SLIDES), TapOk()},
        [this] { return RunSlideOptions(owner_, &settings_, &recent_); });
    EXPECT_TRUE(changes.accepted);
    EXPECT_EQ(settings_.wndOnStartSlides, 0u);
    EXPECT_EQ(settings_.slideDelay, 7u);
}

// ---- The palette on its own ----

TEST(ColourPaletteLayoutTest, CellsRowsAndPlacement) {
    RECT anchor = {10, 40, 50, 60};
    ColourPalette background(nullptr, anchor, true, 0), full(nullptr, anchor, false, 0);
    EXPECT_EQ(background.CellCount(), 47);
    EXPECT_EQ(background.Rows(), 6);
    EXPECT_EQ(full.CellCount(), 48);
    EXPECT_EQ(full.Rows(), 6);
    EXPECT_EQ(background.CellColour(0), 0x000000u);
    EXPECT_EQ(full.CellColour(0), ColourPalette::kNoColour);
    EXPECT_EQ(background.CellColour(46), 0x800040u);

    const struct {
        int x, y, background, full;
    } hits[] = {
        {2, 2, 0, 0},
        {16, 16, 0, 0},
        {17, 17, -1, -1},  // the gap between cells
        {19, 2, 1, 1},
        {1, 5, -1, -1},
        {2 + 7 * 17, 2, 7, 7},
        {2 + 8 * 17, 2, -1, -1},           // right of the eighth column
        {2 + 7 * 17, 2 + 5 * 17, -1, 47},  // the background palette has no 48th cell
        {2 + 6 * 17, 2 + 5 * 17 + 14, 46, 46},
    };
    for (const auto& h : hits) {
        EXPECT_EQ(background.CellAt(h.x, h.y), h.background) << h.x << "," << h.y;
        EXPECT_EQ(full.CellAt(h.x, h.y), h.full) << h.x << "," << h.y;
    }

    const struct {
        RECT anchor;
        RECT placed;
    } places[] = {
        {{10, 40, 50, 60}, {10, 60, 152, 166}},    // left-aligned below the button
        {{98, 40, 130, 60}, {98, 60, 240, 166}},   // still fits at screen width - 142
        {{150, 40, 200, 60}, {58, 60, 200, 166}},  // right-aligned with the button
    };
    for (const auto& p : places) {
        RECT r = ColourPalette::Placement(p.anchor, 6, 240);
        EXPECT_TRUE(EqualRect(&r, &p.placed))
            << p.anchor.left << ": " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

class PaletteTest : public OptionsTest {
protected:
    bool Pick(int buttonLeft, bool background, COLORREF* colour, std::vector<Step> steps) {
        HWND button =
            CreateWindowExW(0, u"Button", u"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, buttonLeft, 50,
                            40, 20, owner_, reinterpret_cast<HMENU>(7), nullptr, nullptr);
        return Drive(std::move(steps),
                     [&] { return ColourPalette::Pick(owner_, button, background, colour); });
    }
};

Step TapCell(int cell) {
    return [cell] {
        HWND palette = GetCapture();
        if (!palette) return false;
        RECT r = ColourPalette::CellRect(cell);
        POINT p = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(palette, &p);
        TapAt(p.x, p.y);
        return true;
    };
}
Step ExpectPaletteAt(RECT expected) {
    return [expected] {
        HWND palette = GetCapture();
        if (!palette) return false;
        RECT r;
        GetWindowRect(palette, &r);
        EXPECT_TRUE(EqualRect(&r, &expected))
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        return true;
    };
}

TEST_F(PaletteTest, TapOnACellPicks) {
    const struct {
        bool background;
        int cell;
        COLORREF colour;
    } cases[] = {
        {true, 0, 0x000000},    {true, 15, 0x0000FF},  {true, 46, 0x800040},
        {false, 0, 0xFFFFFFFF}, {false, 16, 0x0000FF}, {false, 47, 0x800040},
    };
    for (const auto& c : cases) {
        COLORREF colour = 0x123456;
        EXPECT_TRUE(Pick(20, c.background, &colour, {TapCell(c.cell)})) << c.cell;
        EXPECT_EQ(colour, c.colour) << c.cell;
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(PaletteTest, TapElsewhereCancels) {
    COLORREF colour = 0x123456;
    // Outside the popup, and inside it between two cells.
    EXPECT_FALSE(Pick(20, true, &colour, {ExpectPaletteAt({20, 70, 162, 176}), [] {
                                              if (!GetCapture()) return false;
                                              TapAt(200, 300);
                                              return true;
                                          }}));
    EXPECT_FALSE(Pick(20, true, &colour, {[] {
                          HWND palette = GetCapture();
                          if (!palette) return false;
                          POINT p = {2 + 15 + 1, 5};
                          ClientToScreen(palette, &p);
                          TapAt(p.x, p.y);
                          return true;
                      }}));
    EXPECT_EQ(colour, 0x123456u);
}

TEST_F(PaletteTest, RightAlignedNearTheRightEdge) {
    COLORREF colour = 0;
    // Button at 180..220: a left-aligned popup would start right of 98.
    EXPECT_TRUE(Pick(180, false, &colour, {ExpectPaletteAt({78, 70, 220, 176}), TapCell(1)}));
    EXPECT_EQ(colour, 0x000000u);
}

}  // namespace
