// The dialog manager with the system's own controls: a modal dialog of
// buttons, an edit and a radio group driven by pen taps and keys (Enter,
// Escape, Tab, arrows, mnemonics, the default frame following the focus),
// a property-sheet-style child page that Tab walks into, owner-drawn buttons
// and the colour questions controls ask their dialog.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialog_test_driver.h"
#include "dialogs_ids.h"
#include "gwes_fixture.h"
#include "windows.h"

using namespace dialog_test;

namespace {

class DialogControlsTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SeenLog().clear();
        owner_ = Top(0, 26, 240, 294);
        ASSERT_NE(owner_, nullptr);
        Pump();
    }
    static HINSTANCE Self() { return GetModuleHandleW(nullptr); }

    // Only the push buttons end the dialog; check boxes, radio buttons and
    // the edit notify (EN_SETFOCUS, BN_CLICKED, ...) without ending it.
    static INT_PTR PushButtonsOnly(UINT message, WPARAM wParam) {
        if (message != WM_COMMAND) return -1;
        int id = LOWORD(wParam);
        return id == IDOK || id == IDCANCEL || id == IDC_APPLY ? -1 : TRUE;
    }
    static void EndOnPushButtons(Driver& driver) {
        driver.hook = [](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
            return PushButtonsOnly(message, wParam);
        };
    }

    HWND owner_ = nullptr;
};

bool IsDefault(HWND dialog, int id) {
    return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

Step ExpectDefault(int id) {
    return [id](HWND d) {
        for (int button : {IDC_APPLY, IDOK, IDCANCEL})
            EXPECT_EQ(IsDefault(d, button), button == id) << "button " << button;
    };
}

Step ExpectChecked(int id, UINT state) {
    return [id, state](HWND d) { EXPECT_EQ(IsDlgButtonChecked(d, id), state) << "button " << id; };
}

TEST_F(DialogControlsTest, ButtonsDialogDrivenByPenAndKeys) {
    const struct Row {
        const char* what;
        std::vector<Step> steps;
        INT_PTR expected;
    } rows[] = {
        {"Enter in the edit presses the default button", {ExpectFocus(IDC_EDIT), ExpectDefault(IDOK), Key(VK_RETURN)},
         IDOK},
        {"Escape cancels", {Key(VK_ESCAPE)}, IDCANCEL},
        {"a tap on Cancel", {Tap(IDCANCEL)}, IDCANCEL},
        {"a tap on OK", {Tap(IDOK)}, IDOK},
        {"Tab walks the tab stops and the default frame follows the focus",
         {Key(VK_TAB), ExpectFocus(IDC_CHECK), Key(VK_TAB), ExpectFocus(IDC_RADIO1), Key(VK_TAB),
          ExpectFocus(IDC_APPLY), ExpectDefault(IDC_APPLY), Key(VK_TAB), ExpectFocus(IDOK), ExpectDefault(IDOK),
          Key(VK_TAB), ExpectFocus(IDCANCEL), ExpectDefault(IDCANCEL), Key(VK_TAB), ExpectFocus(IDC_EDIT),
          ExpectDefault(IDOK), ShiftKey(VK_TAB), Release(VK_SHIFT), ExpectFocus(IDCANCEL), Key(VK_ESCAPE)},
         IDCANCEL},
        {"Enter on a focused push button presses it",
         {ShiftKey(VK_TAB), ShiftKey(VK_TAB), ShiftKey(VK_TAB), Release(VK_SHIFT), ExpectFocus(IDC_APPLY),
          Key(VK_RETURN)},
         IDC_APPLY},
        {"arrows move through the radio group and check as they go",
         {Key(VK_TAB), Key(VK_TAB), ExpectFocus(IDC_RADIO1), Key(VK_DOWN), ExpectFocus(IDC_RADIO2),
          ExpectChecked(IDC_RADIO2, BST_CHECKED), Key(VK_DOWN), ExpectFocus(IDC_RADIO3),
          ExpectChecked(IDC_RADIO3, BST_CHECKED), ExpectChecked(IDC_RADIO2, BST_UNCHECKED), Key(VK_DOWN),
          ExpectFocus(IDC_RADIO1), Key(VK_RETURN)},
         IDOK},
        {"a tap on the check box checks it",
         {ExpectChecked(IDC_CHECK, BST_UNCHECKED), Tap(IDC_CHECK), ExpectChecked(IDC_CHECK, BST_CHECKED),
          ExpectFocus(IDC_CHECK), Key(VK_RETURN)},
         IDOK},
        {"the edit keeps its characters; a button's mnemonic from the check box",
         {Text(u"a"), Key(VK_TAB), ExpectFocus(IDC_CHECK), Text(u"a")}, IDC_APPLY},
        {"a label's mnemonic moves to the control after it",
         {Key(VK_TAB), ExpectFocus(IDC_CHECK), Text(u"N"), ExpectFocus(IDC_EDIT), Key(VK_ESCAPE)}, IDCANCEL},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Driver driver;
        EndOnPushButtons(driver);
        driver.steps = row.steps;
        EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BUTTONS), owner_, DriverProc,
                                  reinterpret_cast<LPARAM>(&driver)),
                  row.expected);
        EXPECT_TRUE(IsWindowEnabled(owner_));
    }
}

TEST_F(DialogControlsTest, FirstFocusSelectsTheEditsText) {
    Driver driver;
    driver.hook = [](HWND d, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG) SetDlgItemTextW(d, IDC_EDIT, u"Name");
        return PushButtonsOnly(message, wParam);
    };
    driver.steps = {Do([](HWND d) {
                        DWORD start = 0, end = 0;
                        SendDlgItemMessageW(d, IDC_EDIT, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                            reinterpret_cast<LPARAM>(&end));
                        EXPECT_EQ(start, 0u);
                        EXPECT_EQ(end, 4u);
                        // Typing replaces the selection; the edit takes its characters.
                    }),
                    Text(u"xy"), Do([](HWND d) {
                        WCHAR text[16];
                        GetDlgItemTextW(d, IDC_EDIT, text, 16);
                        EXPECT_EQ(std::u16string(text), u"xy");
                    }),
                    Key(VK_RETURN)};
    EXPECT_EQ(DialogBoxParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BUTTONS), owner_, DriverProc,
                              reinterpret_cast<LPARAM>(&driver)),
              IDOK);
}

TEST_F(DialogControlsTest, CheckHelpersOnRealButtons) {
    Driver driver;
    driver.endOnCommand = false;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BUTTONS), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    KillTimer(dialog, kStepTimer);
    EXPECT_TRUE(CheckRadioButton(dialog, IDC_RADIO1, IDC_RADIO3, IDC_RADIO2));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO1), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO2), static_cast<UINT>(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_RADIO3), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_TRUE(CheckDlgButton(dialog, IDC_CHECK, BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CHECK), static_cast<UINT>(BST_CHECKED));
    EXPECT_TRUE(CheckDlgButton(dialog, IDC_CHECK, BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_CHECK), static_cast<UINT>(BST_UNCHECKED));
    // The template's default push button is the default id.
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDOK, DC_HASDEFID));
    EXPECT_TRUE(SendMessageW(dialog, DM_SETDEFID, IDCANCEL, 0));
    EXPECT_TRUE(IsDefault(dialog, IDCANCEL));
    EXPECT_FALSE(IsDefault(dialog, IDOK));
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELONG(IDCANCEL, DC_HASDEFID));
    DestroyWindow(dialog);
}

// A DS_CONTROL child dialog, as a property sheet makes its pages: no
// caption, WS_EX_CONTROLPARENT, and the outer dialog's Tab walks into it.
TEST_F(DialogControlsTest, ChildPageJoinsTheTabOrder) {
    Driver outer, inner;
    outer.endOnCommand = inner.endOnCommand = false;
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BUTTONS), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&outer));
    ASSERT_NE(dialog, nullptr);
    KillTimer(dialog, kStepTimer);
    ShowWindow(dialog, SW_SHOW);
    HWND page = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_PAGE), dialog, DriverProc,
                                   reinterpret_cast<LPARAM>(&inner));
    ASSERT_NE(page, nullptr);
    KillTimer(page, kStepTimer);
    EXPECT_EQ(GetParent(page), dialog);
    DWORD style = static_cast<DWORD>(GetWindowLongW(page, GWL_STYLE));
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_NE(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION));
    EXPECT_TRUE(GetWindowLongW(page, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    // A hidden page does not take the focus from its sheet.
    EXPECT_EQ(GetFocus(), GetDlgItem(dialog, IDC_EDIT));

    HWND pageEdit = GetDlgItem(page, IDC_PAGE_EDIT);
    HWND pageCheck = GetDlgItem(page, IDC_PAGE_CHECK);
    // Hidden, the page's controls are not in the order.
    EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDCANCEL), FALSE), GetDlgItem(dialog, IDC_EDIT));
    ShowWindow(page, SW_SHOW);
    EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDCANCEL), FALSE), pageEdit);
    EXPECT_EQ(GetNextDlgTabItem(dialog, pageEdit, FALSE), pageCheck);
    EXPECT_EQ(GetNextDlgTabItem(dialog, pageCheck, FALSE), GetDlgItem(dialog, IDC_EDIT));
    EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_EDIT), TRUE), pageCheck);

    SetFocus(GetDlgItem(dialog, IDCANCEL));
    platform::InjectKey(VK_TAB, true);
    platform::InjectKey(VK_TAB, false);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    EXPECT_EQ(GetFocus(), pageEdit);
    DestroyWindow(dialog);
    EXPECT_FALSE(IsWindow(page));
}

// Owner-drawn buttons draw through their dialog's WM_DRAWITEM, and statics
// and edits ask their dialog for colours.
TEST_F(DialogControlsTest, OwnerDrawAndControlColours) {
    static HBRUSH yellow = nullptr;
    yellow = CreateSolidBrush(RGB(255, 255, 0));
    std::vector<DRAWITEMSTRUCT> drawn;
    static std::vector<DRAWITEMSTRUCT>* drawnPtr = nullptr;
    drawnPtr = &drawn;
    for (bool custom : {false, true}) {
        SCOPED_TRACE(custom ? "yellow label" : "default colours");
        drawn.clear();
        Driver driver;
        driver.endOnCommand = false;
        driver.hook = [custom](HWND d, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
            if (message == WM_DRAWITEM) {
                drawnPtr->push_back(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
                auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
                FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
                return TRUE;
            }
            if (custom && message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == GetDlgItem(d, IDC_LABEL)) {
                SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 0));
                return reinterpret_cast<INT_PTR>(yellow);
            }
            return -1;
        };
        HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_OWNERDRAW), owner_, DriverProc,
                                         reinterpret_cast<LPARAM>(&driver));
        ASSERT_NE(dialog, nullptr);
        KillTimer(dialog, kStepTimer);
        ShowWindow(dialog, SW_SHOW);
        Pump();
        ASSERT_FALSE(drawn.empty());
        EXPECT_EQ(drawn.back().CtlType, static_cast<UINT>(ODT_BUTTON));
        EXPECT_EQ(drawn.back().CtlID, static_cast<UINT>(IDC_DRAWN));
        EXPECT_EQ(drawn.back().hwndItem, GetDlgItem(dialog, IDC_DRAWN));
        RECT button;
        GetWindowRect(GetDlgItem(dialog, IDC_DRAWN), &button);
        EXPECT_EQ(gwes_test::ScreenPixel((button.left + button.right) / 2, (button.top + button.bottom) / 2),
                  RGB(0, 0, 0));
        // The label's right end has no text: only its background.
        RECT label;
        GetWindowRect(GetDlgItem(dialog, IDC_LABEL), &label);
        EXPECT_EQ(gwes_test::ScreenPixel(label.right - 2, (label.top + label.bottom) / 2),
                  custom ? RGB(255, 255, 0) : GetSysColor(COLOR_STATIC));
        DestroyWindow(dialog);
    }
    drawnPtr = nullptr;
    DeleteObject(yellow);
}

// An edit asks its dialog for its colours too.
TEST_F(DialogControlsTest, EditColoursComeFromTheDialog) {
    static HBRUSH green = nullptr;
    green = CreateSolidBrush(RGB(0, 255, 0));
    Driver driver;
    driver.endOnCommand = false;
    driver.hook = [](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message != WM_CTLCOLOREDIT) return -1;
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0, 255, 0));
        return reinterpret_cast<INT_PTR>(green);
    };
    HWND dialog = CreateDialogParamW(Self(), MAKEINTRESOURCEW(IDD_DLG_BUTTONS), owner_, DriverProc,
                                     reinterpret_cast<LPARAM>(&driver));
    ASSERT_NE(dialog, nullptr);
    KillTimer(dialog, kStepTimer);
    ShowWindow(dialog, SW_SHOW);
    Pump();
    RECT edit;
    GetWindowRect(GetDlgItem(dialog, IDC_EDIT), &edit);
    EXPECT_EQ(gwes_test::ScreenPixel(edit.right - 4, (edit.top + edit.bottom) / 2), RGB(0, 255, 0));
    DestroyWindow(dialog);
    DeleteObject(green);
}

}  // namespace
