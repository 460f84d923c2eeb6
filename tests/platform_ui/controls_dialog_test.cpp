// The standard controls inside a dialog made from a template: the classes
// the template names by ordinal and by text, the group box over its radio
// buttons, and each control's reports reaching the dialog procedure.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls_fixture.h"
#include "controls_ids.h"

using namespace controls_test;

namespace {

std::vector<std::pair<int, int>>& Commands() {
    static std::vector<std::pair<int, int>> commands;
    return commands;
}

INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND) Commands().push_back({LOWORD(wParam), HIWORD(wParam)});
    return FALSE;
}

class ControlsDialogTest : public ControlTest {
protected:
    void SetUp() override {
        ControlTest::SetUp();
        Commands().clear();
        dialog_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONTROLS), parent_, Proc, 0);
        ASSERT_NE(dialog_, nullptr);
        Pump();
    }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    HWND dialog_ = nullptr;
};

TEST_F(ControlsDialogTest, TemplateClassesAreTheStandardControls) {
    struct Case {
        int id;
        const char16_t* cls;
    } cases[] = {
        {IDC_CTL_GROUP, u"Button"},   {IDC_CTL_RADIO1, u"Button"}, {IDC_CTL_CHECK, u"Button"},
        {IDC_CTL_LABEL, u"Static"},   {IDC_CTL_EDIT, u"Edit"},     {IDC_CTL_LIST, u"ListBox"},
        {IDC_CTL_COMBO, u"ComboBox"}, {IDC_CTL_SCROLL, u"ScrollBar"}, {IDOK, u"Button"},
        {IDC_CTL_CUSTOM, u"Button"},
    };
    for (const Case& c : cases) {
        HWND item = Item(c.id);
        ASSERT_NE(item, nullptr) << c.id;
        WCHAR name[32];
        GetClassNameW(item, name, 32);
        EXPECT_EQ(std::u16string(name), c.cls) << c.id;
    }
    EXPECT_EQ(Text(Item(IDC_CTL_LABEL)), u"Label");
    EXPECT_EQ(SendMessageW(Item(IDOK), WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    // The dialog's font reached the controls.
    EXPECT_EQ(SendMessageW(Item(IDC_CTL_EDIT), WM_GETFONT, 0, 0), SendMessageW(dialog_, WM_GETFONT, 0, 0));
}

TEST_F(ControlsDialogTest, RadioButtonsInsideTheGroupBoxTakeThePen) {
    HWND one = Item(IDC_CTL_RADIO1), two = Item(IDC_CTL_RADIO2);
    Tap(one, 4, 4);
    Tap(two, 4, 4);
    EXPECT_EQ(SendMessageW(one, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(two, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Commands(), (std::vector<std::pair<int, int>>{{IDC_CTL_RADIO1, BN_CLICKED}, {IDC_CTL_RADIO2, BN_CLICKED}}));
}

TEST_F(ControlsDialogTest, ReportsReachTheDialogProcedure) {
    HWND combo = Item(IDC_CTL_COMBO);
    for (const WCHAR* item : {u"Portrait mode", u"Landscape mode"})
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    Tap(combo, 10, 5);
    ASSERT_TRUE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_FALSE(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0));
    EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
    std::vector<std::pair<int, int>> expected = {{IDC_CTL_COMBO, CBN_SETFOCUS}, {IDC_CTL_COMBO, CBN_DROPDOWN},
                                                 {IDC_CTL_COMBO, CBN_SELCHANGE}, {IDC_CTL_COMBO, CBN_SELENDOK},
                                                 {IDC_CTL_COMBO, CBN_CLOSEUP}};
    EXPECT_EQ(Commands(), expected);

    Commands().clear();
    HWND edit = Item(IDC_CTL_EDIT);
    Tap(edit, 5, 5);
    Type(u"42");
    std::vector<std::pair<int, int>> typed = {{IDC_CTL_COMBO, CBN_KILLFOCUS}, {IDC_CTL_EDIT, EN_SETFOCUS},
                                              {IDC_CTL_EDIT, EN_UPDATE},      {IDC_CTL_EDIT, EN_CHANGE},
                                              {IDC_CTL_EDIT, EN_UPDATE},      {IDC_CTL_EDIT, EN_CHANGE}};
    EXPECT_EQ(Commands(), typed);
    EXPECT_EQ(GetDlgItemInt(dialog_, IDC_CTL_EDIT, nullptr, FALSE), 42u);
}

}  // namespace
