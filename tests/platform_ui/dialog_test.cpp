// The dialog manager with controls of a test class: creation from templates
// (font, dialog units, creation order, WM_INITDIALOG and the first focus),
// the tab and group order, modal dialogs driven by pen taps and keys, the
// default button, item helpers, colours and failure cases.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_test_driver.h"
#include "dialogs_ids.h"
#include "gwes_fixture.h"
#include "windows.h"

using namespace dialog_test;

namespace {

class DialogTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        RegisterTestControl();
        SeenLog().clear();
        owner_ = Top(0, 26, 240, 294);
        ASSERT_NE(owner_, nullptr);
        Pump();
    }
    void TearDown() override {
        WindowTest::TearDown();
        UnregisterClassW(kTestControlClass, nullptr);
    }

    static HINSTANCE Self() { return GetModuleHandleW(nullptr); }

    INT_PTR Run(int id, Driver& driver) {
        return DialogBoxParamW(Self(), MAKEINTRESOURCEW(id), owner_, DriverProc, reinterpret_cast<LPARAM>(&driver));
    }

    // A control's rectangle in its dialog's client coordinates.
    static RECT ItemRect(HWND dialog, int id) {
        RECT r;
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    HWND owner_ = nullptr;
};

// Base units of a font measured the way the dialog manager documents it.
void ExpectedUnits(HFONT font, int* x, int* y) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    SIZE size;
    GetTextExtentPoint32W(dc, u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &size);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    *x = (size.cx / 26 + 1) / 2;
    *y = tm.tmHeight;
}

// ---- Creation ---------------------------------------------------------------------------

TEST_F(DialogTest, TemplateFontGivesTheDialogUnits) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(driver.dialog, dialog);

    WCHAR name[32];
    GetClassNameW(dialog, name, 32);
    EXPECT_EQ(std::u16string(name), WC_DIALOG);
    GetWindowTextW(dialog, name, 32);
    EXPECT_EQ(std::u16string(name), u"Test controls");
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
    EXPECT_FALSE(IsWindowVisible(dialog));  // the template has no WS_VISIBLE

    // The template's font: 8 points at the screen's 96 dots per inch.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    LOGFONTW lf;
    ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"MS Sans Serif");

    int ux, uy;
    ExpectedUnits(font, &ux, &uy);
    ASSERT_GT(ux, 0);
    ASSERT_GT(uy, 0);
    RECT r = {4, 20, 64, 32};
    ASSERT_TRUE(MapDialogRect(dialog, &r));
    EXPECT_EQ(r.left, Round(4.0 * ux / 4));
    EXPECT_EQ(r.top, Round(20.0 * uy / 8));
    EXPECT_EQ(r.right, Round(64.0 * ux / 4));
    EXPECT_EQ(r.bottom, Round(32.0 * uy / 8));

    // Every control sits where its template rectangle maps to.
    const struct {
        int id;
        RECT dlu;
    } items[] = {{IDC_FIRST, {4, 4, 54, 16}},   {IDC_SECOND, {4, 20, 54, 32}}, {IDC_NOTAB, {4, 36, 54, 48}},
                 {IDC_DISABLED, {4, 52, 54, 64}}, {IDC_HIDDEN, {62, 4, 112, 16}}, {IDC_THIRD, {62, 20, 112, 32}}};
    for (const auto& item : items) {
        // Position and size are converted each on its own, as the system does.
        RECT origin = {item.dlu.left, item.dlu.top, item.dlu.right - item.dlu.left, item.dlu.bottom - item.dlu.top};
        MapDialogRect(dialog, &origin);
        RECT expected = {origin.left, origin.top, origin.left + origin.right, origin.top + origin.bottom};
        RECT got = ItemRect(dialog, item.id);
        EXPECT_TRUE(EqualRect(&got, &expected)) << "control " << item.id << ": " << got.left << "," << got.top
                                                << "-" << got.right << "," << got.bottom;
        EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, item.id)), item.id);
    }
    // The client area is the template's size; its origin is the template's
    // position in the owner's client area.
    RECT client, size = {0, 0, 120, 90};
    GetClientRect(dialog, &client);
    MapDialogRect(dialog, &size);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    POINT origin = {0, 0}, ownerOrigin = {0, 0};
    ClientToScreen(dialog, &origin);
    ClientToScreen(owner_, &ownerOrigin);
    RECT at = {4, 24, 0, 0};
    MapDialogRect(dialog, &at);
    EXPECT_EQ(origin.x, ownerOrigin.x + at.left);
    EXPECT_EQ(origin.y, ownerOrigin.y + at.top);
    DestroyWindow(dialog);
}

// The order of creation: the dialog's font, each control created and given
// the font in template order, then WM_INITDIALOG with the first tab stop.
TEST_F(DialogTest, CreationOrderAndInitDialog) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    std::vector<std::pair<int, UINT>> got;
    WPARAM initFocus = 0;
    LPARAM initParam = 0;
    for (const Seen& s : SeenLog()) {
        int who = s.hwnd == dialog ? 0 : GetDlgCtrlID(s.hwnd);
        if (s.message == WM_CREATE || s.message == WM_SETFONT || s.message == WM_INITDIALOG)
            got.push_back({who, s.message});
        if (s.message == WM_INITDIALOG) {
            initFocus = s.wParam;
            initParam = s.lParam;
        }
    }
    const std::vector<std::pair<int, UINT>> expected = {
        {0, WM_SETFONT},
        {IDC_FIRST, WM_CREATE},    {IDC_FIRST, WM_SETFONT},    {IDC_SECOND, WM_CREATE}, {IDC_SECOND, WM_SETFONT},
        {IDC_NOTAB, WM_CREATE},    {IDC_NOTAB, WM_SETFONT},    {IDC_DISABLED, WM_CREATE},
        {IDC_DISABLED, WM_SETFONT}, {IDC_HIDDEN, WM_CREATE},   {IDC_HIDDEN, WM_SETFONT},
        {IDC_THIRD, WM_CREATE},    {IDC_THIRD, WM_SETFONT},    {0, WM_INITDIALOG},
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(reinterpret_cast<HWND>(initFocus), GetDlgItem(dialog, IDC_FIRST));
    EXPECT_EQ(initParam, reinterpret_cast<LPARAM>(&driver));
    // The dialog procedure never sees the dialog window's own WM_CREATE.
    for (const Seen& s : SeenLog()) EXPECT_FALSE(s.hwnd == dialog && s.message == WM_CREATE);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, InitDialogResultDecidesTheFirstFocus) {
    Driver takesDefault;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&takesDefault));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_FIRST));
    DestroyWindow(dialog);

    Driver setsItsOwn;
    setsItsOwn.initResult = FALSE;
    setsItsOwn.hook = [](HWND dlg, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) SetFocus(GetDlgItem(dlg, IDC_THIRD));
        return -1;
    };
    dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                reinterpret_cast<LPARAM>(&setsItsOwn));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_THIRD));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, ExtendedTemplateFontAndStyles) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLGEX_FONT), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    LOGFONTW lf;
    ASSERT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    EXPECT_EQ(lf.lfHeight, -12);
    EXPECT_EQ(lf.lfWeight, 700);
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
    HWND first = GetDlgItem(dialog, IDC_FIRST);
    EXPECT_TRUE(GetWindowLongW(first, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    // IDC_STATIC in an extended template is the DWORD -1.
    EXPECT_NE(GetDlgItem(dialog, IDC_STATIC), nullptr);
    DestroyWindow(dialog);
}

TEST_F(DialogTest, NoFontMeansTheSystemFontsUnits) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_NOFONT), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(SendMessageW(dialog, WM_GETFONT, 0, 0), 0);
    int ux, uy;
    ExpectedUnits(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), &ux, &uy);
    LONG units = GetDialogBaseUnits();
    EXPECT_EQ(LOWORD(units), ux);
    EXPECT_EQ(HIWORD(units), uy);
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, Round(40.0 * ux / 4));
    EXPECT_EQ(client.bottom, Round(24.0 * uy / 8));
    // No WM_SETFONT without a font in the template.
    for (const Seen& s : SeenLog()) EXPECT_NE(s.message, static_cast<UINT>(WM_SETFONT));
    DestroyWindow(dialog);
}

TEST_F(DialogTest, CenteredDialogSitsInTheMiddleOfTheWorkArea) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_CENTER), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    RECT work, r;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(dialog, &r);
    EXPECT_LE(std::abs((r.left + r.right) - (work.left + work.right)), 1);
    EXPECT_LE(std::abs((r.top + r.bottom) - (work.top + work.bottom)), 1);
    // DM_REPOSITION brings a dialog that was moved off the screen back.
    SetWindowPos(dialog, nullptr, 200, 300, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(dialog, DM_REPOSITION, 0, 0);
    RECT back;
    GetWindowRect(dialog, &back);
    EXPECT_EQ(back.right, work.right);
    EXPECT_EQ(back.bottom, work.bottom);
    EXPECT_EQ(back.right - back.left, r.right - r.left);
    DestroyWindow(dialog);
}

// Creation data reaches the control's WM_CREATE, size word first; a class
// atom names the dialog's class.
TEST_F(DialogTest, IndirectTemplateWithCreationDataAndClassAtom) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = u"OwnDialogClass";
    ATOM atom = RegisterClassW(&wc);
    ASSERT_NE(atom, 0);
    alignas(4) WORD words[] = {
        1, 0xFFFF,        // DLGTEMPLATEEX version 1
        0, 0,             // help id
        0, 0,             // extended style
        0x0000, 0x8000,   // WS_POPUP
        1,                // one item
        0, 0, 50, 30,     // x, y, cx, cy
        0,                // no menu
        0xFFFF, atom,     // the class by its atom
        0,                // no title
        0,                // item alignment
        0, 0, 0, 0,       // help id, extended style
        0x0000, 0x5001,   // WS_CHILD | WS_VISIBLE | WS_TABSTOP
        1, 1, 10, 10,     // x, y, cx, cy
        7, 0,             // id 7
        'T', 'e', 's', 't', 'C', 't', 'l', 0,
        0,                // empty title
        4, 0xBEEF, 0xCAFE,  // four bytes of creation data
    };
    Driver driver;
    HWND dialog = CreateDialogIndirectParamW(Self(), reinterpret_cast<LPCDLGTEMPLATEW>(words), owner_, DriverProc,
                                             reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    WCHAR name[32];
    GetClassNameW(dialog, name, 32);
    EXPECT_EQ(std::u16string(name), u"OwnDialogClass");
    HWND control = GetDlgItem(dialog, 7);
    ASSERT_NE(control, nullptr);
    auto* data = reinterpret_cast<const WORD*>(GetWindowLongPtrW(control, kCreateSlot));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[0], 4);
    EXPECT_EQ(data[1], 0xBEEF);
    EXPECT_EQ(data[2], 0xCAFE);
    EXPECT_EQ(GetFocus(), control);
    DestroyWindow(dialog);
    UnregisterClassW(u"OwnDialogClass", nullptr);
}

// ---- Tab and group order ---------------------------------------------------------------------

TEST_F(DialogTest, TabAndGroupOrder) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    auto item = [&](int id) { return id ? GetDlgItem(dialog, id) : nullptr; };
    // Tab stops: FIRST, SECOND, THIRD (DISABLED is disabled, HIDDEN hidden,
    // NOTAB has no WS_TABSTOP). Groups: FIRST..HIDDEN, THIRD alone.
    const struct {
        int from;
        BOOL previous;
        int tab;
        int group;
    } rows[] = {
        {0, FALSE, IDC_FIRST, IDC_FIRST},          {0, TRUE, IDC_THIRD, IDC_THIRD},
        {IDC_FIRST, FALSE, IDC_SECOND, IDC_SECOND}, {IDC_SECOND, FALSE, IDC_THIRD, IDC_NOTAB},
        {IDC_NOTAB, FALSE, IDC_THIRD, IDC_FIRST},   {IDC_THIRD, FALSE, IDC_FIRST, IDC_THIRD},
        {IDC_FIRST, TRUE, IDC_THIRD, IDC_NOTAB},    {IDC_SECOND, TRUE, IDC_FIRST, IDC_FIRST},
        {IDC_NOTAB, TRUE, IDC_SECOND, IDC_SECOND},  {IDC_THIRD, TRUE, IDC_SECOND, IDC_THIRD},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(GetNextDlgTabItem(dialog, item(row.from), row.previous), item(row.tab))
            << "tab from " << row.from << (row.previous ? " back" : "");
        EXPECT_EQ(GetNextDlgGroupItem(dialog, item(row.from), row.previous), item(row.group))
            << "group from " << row.from << (row.previous ? " back" : "");
    }
    EXPECT_EQ(GetNextDlgTabItem(reinterpret_cast<HWND>(0x7777), nullptr, FALSE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(dialog);
}

// ---- Modal dialogs driven by input --------------------------------------------------------------

struct ModalRow {
    const char* what;
    std::vector<Step> steps;
    INT_PTR expected;
};

TEST_F(DialogTest, ModalDialogDrivenByPenAndKeys) {
    const ModalRow rows[] = {
        {"Enter without a default button is IDOK", {Key(VK_RETURN)}, IDOK},
        {"Escape is IDCANCEL", {Key(VK_ESCAPE)}, IDCANCEL},
        {"a pen tap on a control", {Tap(IDC_SECOND)}, IDC_SECOND},
        {"Tab and Shift+Tab walk the tab stops",
         {ExpectFocus(IDC_FIRST), Key(VK_TAB), ExpectFocus(IDC_SECOND), Key(VK_TAB), ExpectFocus(IDC_THIRD),
          Key(VK_TAB), ExpectFocus(IDC_FIRST), ShiftKey(VK_TAB), Release(VK_SHIFT), ExpectFocus(IDC_THIRD), Key(VK_ESCAPE)},
         IDCANCEL},
        {"arrow keys walk the group",
         {Key(VK_DOWN), ExpectFocus(IDC_SECOND), Key(VK_DOWN), ExpectFocus(IDC_NOTAB), Key(VK_DOWN),
          ExpectFocus(IDC_FIRST), Key(VK_UP), ExpectFocus(IDC_NOTAB), Key(VK_ESCAPE)},
         IDCANCEL},
        {"DM_SETDEFID moves Enter",
         {Do([](HWND d) { SendMessageW(d, DM_SETDEFID, IDC_THIRD, 0); }),
          Do([](HWND d) { EXPECT_EQ(SendMessageW(d, DM_GETDEFID, 0, 0), MAKELONG(IDC_THIRD, DC_HASDEFID)); }),
          Key(VK_RETURN)},
         IDC_THIRD},
        {"closing is cancelling", {Do([](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); })}, IDCANCEL},
        {"EndDialog from the procedure", {Do([](HWND d) { EndDialog(d, 4321); })}, 4321},
    };
    for (const ModalRow& row : rows) {
        SCOPED_TRACE(row.what);
        Driver driver;
        driver.steps = row.steps;
        driver.steps.insert(driver.steps.begin(), Do([&](HWND d) {
            EXPECT_FALSE(IsWindowEnabled(owner_));  // the owner waits
            EXPECT_TRUE(IsWindowVisible(d));
            EXPECT_EQ(GetActiveWindow(), d);
        }));
        EXPECT_EQ(Run(IDD_DLG_TESTCTL, driver), row.expected);
        EXPECT_FALSE(IsWindow(driver.dialog));
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_EQ(GetActiveWindow(), owner_);
    }
}

TEST_F(DialogTest, PenInputToTheDisabledOwnerIsDropped) {
    Driver driver;
    driver.steps = {
        Do([&](HWND) {
            gwes_test::ClearLog();
            // The owner's bottom edge lies outside the dialog.
            platform::InjectPen(platform::Pen::Down, 120, 315);
            platform::InjectPen(platform::Pen::Up, 120, 315);
        }),
        Do([](HWND d) { EndDialog(d, IDOK); }),
    };
    EXPECT_EQ(Run(IDD_DLG_TESTCTL, driver), IDOK);
    for (const gwes_test::Logged& l : gwes_test::TakeLog()) {
        EXPECT_NE(l.message, static_cast<UINT>(WM_LBUTTONDOWN));
        EXPECT_NE(l.message, static_cast<UINT>(WM_LBUTTONUP));
    }
}

// A modal dialog takes its owner's whole top-level window out of use: the
// window, the top-level windows it owns (a menu bar is an owned popup) and
// its hot keys; windows of nobody else are left alone. Each row names what
// the dialog is given as its owner.
TEST_F(DialogTest, ModalDialogDisablesItsOwnersWholeWindow) {
    enum class OwnerKind { TopLevel, Child, None };
    const struct {
        OwnerKind kind;
        bool familyDisabled;
    } cases[] = {
        {OwnerKind::TopLevel, true},
        {OwnerKind::Child, true},
        {OwnerKind::None, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        HWND child = Child(owner_, 5, 0, 0, 50, 50);
        HWND bar = CreateWindowExW(WS_EX_TOPMOST, gwes_test::kRecordingClass, u"bar", WS_POPUP | WS_VISIBLE, 0, 294,
                                   240, 26, owner_, nullptr, nullptr, nullptr);
        HWND stranger = Top(0, 0, 20, 20);
        HWND alreadyOff = CreateWindowExW(0, gwes_test::kRecordingClass, u"off", WS_POPUP | WS_DISABLED, 0, 0, 10,
                                          10, owner_, nullptr, nullptr, nullptr);
        ASSERT_TRUE(child && bar && stranger && alreadyOff);
        ASSERT_TRUE(RegisterHotKey(owner_, 7, 0, VK_F5));
        HWND dialogOwner = c.kind == OwnerKind::TopLevel ? owner_ : c.kind == OwnerKind::Child ? child : nullptr;
        Driver driver;
        bool hotKeySeen = false;
        driver.steps = {
            Do([&](HWND) {
                EXPECT_EQ(IsWindowEnabled(owner_) == FALSE, c.familyDisabled);
                EXPECT_EQ(IsWindowEnabled(bar) == FALSE, c.familyDisabled);
                EXPECT_TRUE(IsWindowEnabled(stranger));
                gwes_test::ClearLog();
                // A tap on the bar and the owner's hot key.
                platform::InjectPen(platform::Pen::Down, 120, 305);
                platform::InjectPen(platform::Pen::Up, 120, 305);
                platform::InjectKey(VK_F5, true);
                platform::InjectKey(VK_F5, false);
            }),
            Do([&](HWND) {
                for (const gwes_test::Logged& l : gwes_test::TakeLog()) {
                    if (l.message == WM_HOTKEY) hotKeySeen = true;
                    if (c.familyDisabled) {
                        EXPECT_FALSE(l.hwnd == bar && l.message == WM_LBUTTONDOWN);
                    }
                }
            }),
            Do([](HWND d) { EndDialog(d, IDOK); }),
        };
        EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), dialogOwner, DriverProc,
                                  reinterpret_cast<LPARAM>(&driver)),
                  IDOK);
        EXPECT_EQ(hotKeySeen, !c.familyDisabled);
        // Back as they were, the one that was disabled before included.
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_TRUE(IsWindowEnabled(bar));
        EXPECT_FALSE(IsWindowEnabled(alreadyOff));
        UnregisterHotKey(owner_, 7);
        for (HWND h : {child, bar, stranger, alreadyOff}) DestroyWindow(h);
        Pump();
    }
}

TEST_F(DialogTest, EndDialogDuringInitNeverShowsTheDialog) {
    Driver driver;
    driver.hook = [](HWND d, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) EndDialog(d, 77);
        return -1;
    };
    EXPECT_EQ(Run(IDD_DLG_TESTCTL, driver), 77);
    for (const Seen& s : SeenLog()) EXPECT_NE(s.message, static_cast<UINT>(WM_SHOWWINDOW));
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(DialogTest, QuitEndsTheModalLoopAndIsPostedAgain) {
    Driver driver;
    driver.steps = {Do([](HWND) { PostQuitMessage(7); })};
    EXPECT_EQ(Run(IDD_DLG_TESTCTL, driver), 0);
    EXPECT_FALSE(IsWindow(driver.dialog));
    EXPECT_TRUE(IsWindowEnabled(owner_));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST_F(DialogTest, NestedModalDialogsDisableTheirOwners) {
    Driver inner;
    inner.steps = {Do([&](HWND) { EXPECT_FALSE(IsWindowEnabled(owner_)); }), Key(VK_ESCAPE)};
    Driver outer;
    INT_PTR innerResult = 0;
    outer.steps = {
        Do([&](HWND d) {
            // The inner loop dispatches this dialog's timer too: no steps meanwhile.
            KillTimer(d, kStepTimer);
            innerResult = DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_NOFONT), d, DriverProc,
                                          reinterpret_cast<LPARAM>(&inner));
            EXPECT_TRUE(IsWindowEnabled(d));
            EXPECT_EQ(GetActiveWindow(), d);
            SetTimer(d, kStepTimer, 10, nullptr);
        }),
        Key(VK_RETURN),
    };
    EXPECT_EQ(Run(IDD_DLG_TESTCTL, outer), IDOK);
    EXPECT_EQ(innerResult, IDCANCEL);
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

// A modeless dialog gets its keys through the program's own loop.
TEST_F(DialogTest, ModelessDialogThroughIsDialogMessage) {
    Driver driver;
    driver.endOnCommand = false;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    KillTimer(dialog, kStepTimer);
    ShowWindow(dialog, SW_SHOW);
    EXPECT_TRUE(IsWindowEnabled(owner_));  // only modal dialogs disable their owner
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_FIRST));
    platform::InjectKey(VK_TAB, true);
    platform::InjectKey(VK_TAB, false);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_SECOND));
    // Messages of other windows are not the dialog's.
    msg = {owner_, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    EXPECT_FALSE(IsDialogMessageW(dialog, &msg));
    // The focus comes back to the same control after the dialog was inactive.
    SetActiveWindow(owner_);
    EXPECT_EQ(GetFocus(), owner_);
    SetActiveWindow(dialog);
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_SECOND));
    EXPECT_TRUE(EndDialog(dialog, 5));
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(IsWindow(dialog));  // EndDialog hides a modeless dialog; the program destroys it
    DestroyWindow(dialog);
}

// Mnemonics of buttons and labels (test controls answering DLGC_BUTTON /
// DLGC_STATIC): a button is clicked, a label passes the focus on.
TEST_F(DialogTest, MnemonicsClickButtonsAndFollowLabels) {
    Driver driver;
    driver.hook = [](HWND d, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_INITDIALOG) return -1;
        SetWindowLongPtrW(GetDlgItem(d, IDC_NOTAB), kCodeSlot, DLGC_STATIC);
        SetWindowTextW(GetDlgItem(d, IDC_NOTAB), u"&Label");
        SetWindowLongPtrW(GetDlgItem(d, IDC_THIRD), kCodeSlot, DLGC_BUTTON);
        SetWindowTextW(GetDlgItem(d, IDC_THIRD), u"Fish && &Chips");
        return -1;
    };
    driver.steps = {
        Text(u"l"), ExpectFocus(IDC_THIRD),  // after the label, the next tab stop
        Text(u"x"),                          // nobody's mnemonic
        Text(u"C"),                          // case does not matter
    };
    EXPECT_EQ(Run(IDD_DLG_TESTCTL, driver), IDC_THIRD);
}

// ---- Failures ----------------------------------------------------------------------------------

TEST_F(DialogTest, FailuresReportTheirErrors) {
    Driver driver;
    SetLastError(0);
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(1999), owner_, DriverProc, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), reinterpret_cast<HWND>(0x7776),
                              DriverProc, reinterpret_cast<LPARAM>(&driver)),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));

    // A control of an unknown class fails the dialog, and the owner of a
    // modal one is enabled again.
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BADCLASS), owner_, DriverProc,
                              reinterpret_cast<LPARAM>(&driver)),
              -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(IsWindowEnabled(owner_));
    // ... unless the template says DS_NOFAILCREATE.
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_NOFAIL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(GetDlgItem(dialog, IDC_FIRST), nullptr);
    EXPECT_EQ(GetDlgItem(dialog, IDC_SECOND), nullptr);
    EXPECT_NE(GetDlgItem(dialog, IDC_THIRD), nullptr);
    DestroyWindow(dialog);

    EXPECT_FALSE(EndDialog(owner_, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINDOW_NOT_DIALOG));
    RECT r = {1, 1, 1, 1};
    EXPECT_FALSE(MapDialogRect(owner_, &r));
    EXPECT_EQ(DialogBoxIndirectParamW(Self(), nullptr, owner_, DriverProc, 0), -1);
}

// ---- Items -------------------------------------------------------------------------------------

TEST_F(DialogTest, ItemTextNumbersAndChecks) {
    Driver driver;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);

    const struct {
        const char16_t* text;
        BOOL isSigned;
        UINT value;
        BOOL translated;
    } numbers[] = {
        {u"123", TRUE, 123, TRUE},
        {u"  -45", TRUE, static_cast<UINT>(-45), TRUE},
        {u"-45", FALSE, 0, FALSE},
        {u"+7", TRUE, 7, TRUE},
        {u"12abc", TRUE, 12, TRUE},
        {u"abc", TRUE, 0, FALSE},
        {u"", TRUE, 0, FALSE},
        {u"2147483647", TRUE, 2147483647u, TRUE},
        {u"2147483648", TRUE, 0, FALSE},
        {u"-2147483648", TRUE, 0x80000000u, TRUE},
        {u"4294967295", FALSE, 4294967295u, TRUE},
        {u"4294967296", FALSE, 0, FALSE},
        {u"99999999999999999999", FALSE, 0, FALSE},
    };
    for (const auto& row : numbers) {
        ASSERT_TRUE(SetDlgItemTextW(dialog, IDC_FIRST, row.text));
        BOOL translated = 2;
        EXPECT_EQ(GetDlgItemInt(dialog, IDC_FIRST, &translated, row.isSigned), row.value)
            << "\"" << std::string(row.text, row.text + std::char_traits<char16_t>::length(row.text)) << "\"";
        EXPECT_EQ(translated, row.translated);
    }
    WCHAR text[32];
    SetDlgItemInt(dialog, IDC_SECOND, static_cast<UINT>(-5), TRUE);
    EXPECT_EQ(GetDlgItemTextW(dialog, IDC_SECOND, text, 32), 2u);
    EXPECT_EQ(std::u16string(text), u"-5");
    SetDlgItemInt(dialog, IDC_SECOND, 4294967295u, FALSE);
    GetDlgItemTextW(dialog, IDC_SECOND, text, 32);
    EXPECT_EQ(std::u16string(text), u"4294967295");
    EXPECT_EQ(GetDlgItemTextW(dialog, IDC_SECOND, text, 4), 3u);  // cut to the buffer
    EXPECT_EQ(std::u16string(text), u"429");

    text[0] = u'x';
    EXPECT_EQ(GetDlgItemTextW(dialog, 4242, text, 32), 0u);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    EXPECT_FALSE(SetDlgItemTextW(dialog, 4242, u"x"));

    // Check boxes and radio buttons go through BM_SETCHECK / BM_GETCHECK.
    EXPECT_TRUE(CheckDlgButton(dialog, IDC_FIRST, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_FIRST), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_FIRST, BM_GETCHECK, 0, 0), BST_CHECKED);
    SeenLog().clear();
    EXPECT_TRUE(CheckRadioButton(dialog, IDC_SECOND, IDC_NOTAB, IDC_NOTAB));
    std::vector<std::pair<int, WPARAM>> sets;
    for (const Seen& s : SeenLog())
        if (s.message == BM_SETCHECK) sets.push_back({GetDlgCtrlID(s.hwnd), s.wParam});
    // Ids 1101..1103 in z-order (creation order); IDC_FIRST (1100) is outside the range.
    const std::vector<std::pair<int, WPARAM>> expected = {{IDC_SECOND, BST_UNCHECKED}, {IDC_NOTAB, BST_CHECKED},
                                                          {IDC_THIRD, BST_UNCHECKED}};
    EXPECT_EQ(sets, expected);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_FIRST), static_cast<UINT>(BST_CHECKED));
    DestroyWindow(dialog);
}

// ---- Colours -------------------------------------------------------------------------------------

TEST_F(DialogTest, BackgroundComesFromWmCtlColorDlg) {
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    for (bool custom : {false, true}) {
        Driver driver;
        driver.hook = [&](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (custom && message == WM_CTLCOLORDLG) return reinterpret_cast<INT_PTR>(red);
            return -1;
        };
        HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_TESTCTL), owner_, DriverProc,
                                         reinterpret_cast<LPARAM>(&driver));
        ASSERT_NE(dialog, nullptr);
        KillTimer(dialog, kStepTimer);
        ShowWindow(dialog, SW_SHOW);
        Pump();
        // Below the third control: no control there.
        POINT p = {0, 0};
        RECT spot = {90, 60, 0, 0};
        MapDialogRect(dialog, &spot);
        p.x = spot.left;
        p.y = spot.top;
        ClientToScreen(dialog, &p);
        EXPECT_EQ(gwes_test::ScreenPixel(p.x, p.y), custom ? RGB(255, 0, 0) : GetSysColor(COLOR_STATIC));
        DestroyWindow(dialog);
    }
    DeleteObject(red);
}

}  // namespace
