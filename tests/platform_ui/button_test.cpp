// The button control: what each style answers to the dialog manager, what a
// tap, a drag off the button, the space key and BM_CLICK do to each style,
// radio groups, check states, focus notifications, owner drawing, the default
// button's frame and the colours the parent gives.
#include <gtest/gtest.h>

#include "controls_fixture.h"

using namespace controls_test;

namespace {

class ButtonTest : public ControlTest {
protected:
    HWND Button(DWORD style, int id = 100, const WCHAR* text = u"Button", int x = 10, int y = 10, int w = 100,
                int h = 24) {
        return Make(u"BUTTON", style, id, x, y, w, h, text);
    }
};

TEST_F(ButtonTest, DialogCodesFollowTheStyle) {
    struct Case {
        DWORD style;
        LRESULT code;
    } cases[] = {
        {BS_PUSHBUTTON, DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON},
        {BS_DEFPUSHBUTTON, DLGC_BUTTON | DLGC_DEFPUSHBUTTON},
        {BS_CHECKBOX, DLGC_BUTTON},
        {BS_AUTOCHECKBOX, DLGC_BUTTON},
        {BS_3STATE, DLGC_BUTTON},
        {BS_RADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {BS_AUTORADIOBUTTON, DLGC_BUTTON | DLGC_RADIOBUTTON},
        {BS_GROUPBOX, DLGC_STATIC},
        {BS_OWNERDRAW, DLGC_BUTTON},
    };
    for (const Case& c : cases) {
        HWND b = Button(c.style);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(SendMessageW(b, WM_GETDLGCODE, 0, 0), c.code) << "style " << c.style;
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, ClassIsFoundWhateverTheCaseAndByItsTemplateOrdinal) {
    for (const WCHAR* name : {u"BUTTON", u"button", u"Button"}) {
        HWND b = Make(name, BS_PUSHBUTTON, 1, 0, 0, 50, 20);
        ASSERT_NE(b, nullptr);
        WCHAR cls[32];
        GetClassNameW(b, cls, 32);
        EXPECT_EQ(std::u16string(cls), u"Button");
        DestroyWindow(b);
    }
    struct Ordinal {
        WORD atom;
        const char16_t* name;
    } ordinals[] = {{0x80, u"Button"}, {0x81, u"Edit"},      {0x82, u"Static"},
                    {0x83, u"ListBox"}, {0x84, u"ScrollBar"}, {0x85, u"ComboBox"}};
    for (const Ordinal& o : ordinals) {
        HWND c = Make(MAKEINTATOM(o.atom), 0, 1, 0, 0, 50, 20);
        ASSERT_NE(c, nullptr) << o.atom;
        WCHAR cls[32];
        GetClassNameW(c, cls, 32);
        EXPECT_EQ(std::u16string(cls), o.name);
        DestroyWindow(c);
    }
}

// One tap on each kind of button: BN_CLICKED, and the check state after one
// and after two taps.
TEST_F(ButtonTest, TapClicksAndAutomaticStylesChangeTheirCheck) {
    struct Case {
        DWORD style;
        LRESULT afterOne;
        LRESULT afterTwo;
    } cases[] = {
        {BS_PUSHBUTTON, BST_UNCHECKED, BST_UNCHECKED},
        {BS_DEFPUSHBUTTON, BST_UNCHECKED, BST_UNCHECKED},
        {BS_CHECKBOX, BST_UNCHECKED, BST_UNCHECKED},
        {BS_AUTOCHECKBOX, BST_CHECKED, BST_UNCHECKED},
        {BS_3STATE, BST_UNCHECKED, BST_UNCHECKED},
        {BS_AUTO3STATE, BST_CHECKED, BST_INDETERMINATE},
        {BS_RADIOBUTTON, BST_UNCHECKED, BST_UNCHECKED},
        {BS_AUTORADIOBUTTON, BST_CHECKED, BST_CHECKED},
        {BS_OWNERDRAW, BST_UNCHECKED, BST_UNCHECKED},
    };
    for (const Case& c : cases) {
        HWND b = Button(c.style, 101);
        Notes().clear();
        Tap(b, 20, 12);
        EXPECT_EQ(Codes(WM_COMMAND, b), std::vector<int>{BN_CLICKED}) << "style " << c.style;
        EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), c.afterOne) << "style " << c.style;
        EXPECT_EQ(GetFocus(), b);
        Tap(b, 20, 12);
        EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), c.afterTwo) << "style " << c.style;
        EXPECT_EQ(Count(WM_COMMAND, b), 2);
        for (const Note& n : Taken(WM_COMMAND)) EXPECT_EQ(n.id, 101);
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, PenLiftedOffTheButtonDoesNotClick) {
    HWND b = Button(BS_AUTOCHECKBOX);
    Down(b, 20, 12);
    EXPECT_TRUE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    Move(b, 150, 12);  // off the button: no longer pushed
    EXPECT_FALSE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    Move(b, 30, 12);  // back on it
    EXPECT_TRUE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    Move(b, 150, 40);
    Up(b, 150, 40);
    EXPECT_EQ(Count(WM_COMMAND, b), 0);
    EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(ButtonTest, SpaceKeyAndBmClickClick) {
    HWND b = Button(BS_AUTOCHECKBOX);
    SetFocus(b);
    Pump();
    platform::InjectKey(VK_SPACE, true);
    Pump();
    EXPECT_TRUE(SendMessageW(b, BM_GETSTATE, 0, 0) & BST_PUSHED);
    EXPECT_EQ(Count(WM_COMMAND, b), 0);
    platform::InjectKey(VK_SPACE, false);
    Pump();
    EXPECT_EQ(Codes(WM_COMMAND, b), std::vector<int>{BN_CLICKED});
    EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_CHECKED);

    Notes().clear();
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_EQ(Codes(WM_COMMAND, b), std::vector<int>{BN_CLICKED});
    EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), BST_UNCHECKED);

    // A disabled button ignores BM_CLICK.
    EnableWindow(b, FALSE);
    Notes().clear();
    SendMessageW(b, BM_CLICK, 0, 0);
    EXPECT_EQ(Count(WM_COMMAND, b), 0);
}

TEST_F(ButtonTest, AutomaticRadioButtonsUncheckTheRestOfTheirGroup) {
    // Two groups: r1..r3 and r4..r5 (WS_GROUP starts each), with a push
    // button inside the first group that is left alone.
    HWND r1 = Button(BS_AUTORADIOBUTTON | WS_GROUP, 1, u"one", 10, 10);
    HWND r2 = Button(BS_AUTORADIOBUTTON, 2, u"two", 10, 40);
    HWND push = Button(BS_PUSHBUTTON, 3, u"push", 10, 70);
    HWND r3 = Button(BS_AUTORADIOBUTTON, 4, u"three", 10, 100);
    HWND r4 = Button(BS_AUTORADIOBUTTON | WS_GROUP, 5, u"four", 10, 130);
    HWND r5 = Button(BS_RADIOBUTTON, 6, u"five", 10, 160);
    SendMessageW(r1, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(r4, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(r5, BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(GetWindowLongW(r1, GWL_STYLE) & WS_TABSTOP);

    Tap(r3, 10, 12);
    EXPECT_EQ(SendMessageW(r1, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(r2, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(r3, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(r4, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(r5, BM_GETCHECK, 0, 0), BST_CHECKED);
    // The checked radio button is the group's tab stop.
    EXPECT_FALSE(GetWindowLongW(r1, GWL_STYLE) & WS_TABSTOP);
    EXPECT_TRUE(GetWindowLongW(r3, GWL_STYLE) & WS_TABSTOP);
    EXPECT_EQ(Codes(WM_COMMAND, r3), std::vector<int>{BN_CLICKED});
    (void)push;

    // Only automatic radio buttons of the group are unchecked.
    Tap(r4, 10, 12);
    EXPECT_EQ(SendMessageW(r5, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(r3, BM_GETCHECK, 0, 0), BST_CHECKED);
}

TEST_F(ButtonTest, SetCheckKeepsToWhatTheStyleCanShow) {
    struct Case {
        DWORD style;
        WPARAM set;
        LRESULT got;
    } cases[] = {
        {BS_PUSHBUTTON, BST_CHECKED, BST_UNCHECKED},     {BS_CHECKBOX, BST_INDETERMINATE, BST_CHECKED},
        {BS_AUTOCHECKBOX, BST_CHECKED, BST_CHECKED},     {BS_3STATE, BST_INDETERMINATE, BST_INDETERMINATE},
        {BS_AUTO3STATE, BST_CHECKED, BST_CHECKED},       {BS_RADIOBUTTON, BST_INDETERMINATE, BST_CHECKED},
        {BS_GROUPBOX, BST_CHECKED, BST_UNCHECKED},       {BS_AUTORADIOBUTTON, BST_UNCHECKED, BST_UNCHECKED},
    };
    for (const Case& c : cases) {
        HWND b = Button(c.style);
        SendMessageW(b, BM_SETCHECK, c.set, 0);
        EXPECT_EQ(SendMessageW(b, BM_GETCHECK, 0, 0), c.got) << "style " << c.style;
        EXPECT_EQ(SendMessageW(b, BM_GETSTATE, 0, 0) & 3, c.got);
        EXPECT_EQ(Count(WM_COMMAND, b), 0);  // setting the check is not a click
        DestroyWindow(b);
    }
}

TEST_F(ButtonTest, FocusNotificationsOnlyWithBsNotify) {
    HWND plain = Button(BS_PUSHBUTTON, 1, u"plain", 10, 10);
    HWND notify = Button(BS_PUSHBUTTON | BS_NOTIFY, 2, u"notify", 10, 40);
    SetFocus(plain);
    SetFocus(notify);
    EXPECT_TRUE(SendMessageW(notify, BM_GETSTATE, 0, 0) & BST_FOCUS);
    SetFocus(plain);
    EXPECT_FALSE(SendMessageW(notify, BM_GETSTATE, 0, 0) & BST_FOCUS);
    EXPECT_EQ(Codes(WM_COMMAND, notify), (std::vector<int>{BN_SETFOCUS, BN_KILLFOCUS}));
    EXPECT_EQ(Count(WM_COMMAND, plain), 0);
}

TEST_F(ButtonTest, OwnerDrawnButtonAsksItsParentToDraw) {
    HWND b = Button(BS_OWNERDRAW, 7, u"", 20, 30, 60, 40);
    UpdateWindow(b);
    std::vector<Note> draws = Taken(WM_DRAWITEM);
    ASSERT_FALSE(draws.empty());
    const Note& first = draws.front();
    EXPECT_EQ(first.trackPos, ODT_BUTTON);
    EXPECT_EQ(first.id, 7);
    EXPECT_EQ(first.from, b);
    EXPECT_EQ(first.code, ODA_DRAWENTIRE);
    EXPECT_EQ(first.pos, 0);
    EXPECT_EQ(first.rect.right, 60);
    EXPECT_EQ(first.rect.bottom, 40);

    // Pushing it and taking the focus are told as ODA_SELECT and ODA_FOCUS.
    Notes().clear();
    Down(b, 10, 10);
    bool focus = false, selected = false;
    for (const Note& n : Taken(WM_DRAWITEM)) {
        if (n.code == ODA_FOCUS && (n.pos & ODS_FOCUS)) focus = true;
        if (n.code == ODA_SELECT && (n.pos & ODS_SELECTED)) selected = true;
    }
    EXPECT_TRUE(focus);
    EXPECT_TRUE(selected);
    Notes().clear();
    Up(b, 10, 10);
    std::vector<Note> after = Taken(WM_DRAWITEM);
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.back().pos & ODS_SELECTED, 0);
    EXPECT_EQ(Codes(WM_COMMAND, b), std::vector<int>{BN_CLICKED});

    EnableWindow(b, FALSE);
    Notes().clear();
    InvalidateRect(b, nullptr, TRUE);
    UpdateWindow(b);
    draws = Taken(WM_DRAWITEM);
    ASSERT_FALSE(draws.empty());
    EXPECT_TRUE(draws.back().pos & ODS_DISABLED);
}

TEST_F(ButtonTest, DefaultButtonHasABlackFrameThatBmSetStyleMoves) {
    HWND ok = Button(BS_DEFPUSHBUTTON, IDOK, u"OK", 10, 10, 80, 24);
    HWND cancel = Button(BS_PUSHBUTTON, IDCANCEL, u"Cancel", 100, 10, 80, 24);
    const COLORREF black = RGB(0, 0, 0);
    EXPECT_EQ(PixelAt(ok, 0, 0), black);
    EXPECT_EQ(PixelAt(ok, 40, 0), black);
    EXPECT_NE(PixelAt(cancel, 40, 0), black);

    // The dialog manager moves the default with BM_SETSTYLE.
    SendMessageW(ok, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    Pump();
    EXPECT_EQ(SendMessageW(cancel, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_DEFPUSHBUTTON);
    EXPECT_EQ(SendMessageW(ok, WM_GETDLGCODE, 0, 0), DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON);
    EXPECT_EQ(PixelAt(cancel, 40, 0), black);
    EXPECT_NE(PixelAt(ok, 40, 0), black);
}

TEST_F(ButtonTest, ParentColoursPushButtonsAndCheckBoxesThroughDifferentQuestions) {
    ParentAnswers().brush = CreateSolidBrush(RGB(255, 0, 0));
    HWND push = Button(BS_PUSHBUTTON, 1, u"", 10, 10, 60, 24);
    HWND check = Button(BS_AUTOCHECKBOX, 2, u"", 10, 40, 60, 24);
    HWND group = Button(BS_GROUPBOX, 3, u"Group", 10, 80, 100, 60);
    EXPECT_GT(Count(WM_CTLCOLORBTN, push), 0);
    EXPECT_EQ(Count(WM_CTLCOLORSTATIC, push), 0);
    EXPECT_GT(Count(WM_CTLCOLORSTATIC, check), 0);
    EXPECT_EQ(Count(WM_CTLCOLORBTN, check), 0);
    EXPECT_GT(Count(WM_CTLCOLORSTATIC, group), 0);
    // The check box's background beside its box is the parent's brush.
    EXPECT_EQ(PixelAt(check, 40, 12), RGB(255, 0, 0));
}

TEST_F(ButtonTest, CheckMarkShowsInTheBox) {
    HWND check = Button(BS_AUTOCHECKBOX, 1, u"", 10, 10, 60, 20);
    RECT box = {2, 5, 11, 14};  // inside the 13-pixel box, left, centred
    const COLORREF black = RGB(0, 0, 0);
    EXPECT_FALSE(AnyPixel(check, box, black));
    Tap(check, 5, 10);
    EXPECT_TRUE(AnyPixel(check, box, black));
}

TEST_F(ButtonTest, GroupBoxLetsTheControlsInsideItShowAndTakeThePen) {
    // The group box comes first, so it lies above the check box it frames.
    HWND group = Button(BS_GROUPBOX, 1, u"Options", 5, 5, 200, 100);
    HWND check = Button(BS_AUTOCHECKBOX, 2, u"Inside", 20, 30, 120, 20);
    ParentAnswers().brush = CreateSolidBrush(RGB(0, 0, 255));
    InvalidateRect(parent_, nullptr, TRUE);
    RedrawWindow(parent_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump();
    EXPECT_EQ(PixelAt(check, 100, 10), RGB(0, 0, 255));  // the check box painted there
    Tap(check, 5, 10);
    EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(Count(WM_COMMAND, group), 0);
    // Its frame is drawn in black.
    EXPECT_EQ(PixelAt(group, 0, 60), RGB(0, 0, 0));
}

// A parent may destroy the button from inside BN_CLICKED: the button must
// not touch anything of itself afterwards (the sanitizer build watches).
TEST_F(ButtonTest, ParentMayDestroyTheButtonWhenItIsClicked) {
    ParentAnswers().destroyOn = WM_COMMAND;
    ParentAnswers().destroyCode = BN_CLICKED;
    for (DWORD style : {BS_PUSHBUTTON, BS_AUTOCHECKBOX, BS_AUTORADIOBUTTON, BS_OWNERDRAW}) {
        HWND b = Button(style);
        Tap(b, 10, 10);
        EXPECT_FALSE(IsWindow(b)) << style;
        EXPECT_EQ(GetCapture(), nullptr);
    }
    HWND b = Button(BS_AUTOCHECKBOX);
    SetFocus(b);
    Key(VK_SPACE);
    EXPECT_FALSE(IsWindow(b));
}

}  // namespace
