// The toolbar and the command bar: buttons from a bitmap strip, taps that
// send WM_COMMAND, check buttons and check groups, enabled and hidden state,
// images drawn from the strip, the disabled image list or greyed, and
// tooltips that show while the pen holds a button.
#include <gtest/gtest.h>

#include "bars_fixture.h"
#include "bars_ids.h"

using namespace bars_test;

namespace {

constexpr int kPlain = 100, kCheck = 101, kGroupA = 102, kGroupB = 103, kDisabled = 104;

TBBUTTON Btn(int image, int command, BYTE state, BYTE style) {
    TBBUTTON b = {};
    b.iBitmap = image;
    b.idCommand = command;
    b.fsState = state;
    b.fsStyle = style;
    b.iString = -1;
    return b;
}

class ToolbarTest : public BarsTest {
protected:
    // A command bar with the test strip and the buttons every test uses.
    HWND MakeBar() {
        HWND bar = CommandBar_Create(GetModuleHandleW(nullptr), parent_, 1);
        EXPECT_NE(bar, nullptr);
        EXPECT_EQ(CommandBar_AddBitmap(bar, GetModuleHandleW(nullptr), IDB_BARS_STRIP, 4, 16, 16), 0);
        TBBUTTON buttons[] = {
            Btn(0, kPlain, TBSTATE_ENABLED, TBSTYLE_BUTTON),
            Btn(0, 0, 0, TBSTYLE_SEP),
            Btn(1, kCheck, TBSTATE_ENABLED, TBSTYLE_CHECK),
            Btn(2, kGroupA, TBSTATE_ENABLED, TBSTYLE_CHECKGROUP),
            Btn(3, kGroupB, TBSTATE_ENABLED | TBSTATE_CHECKED, TBSTYLE_CHECKGROUP),
            Btn(0, kDisabled, 0, TBSTYLE_BUTTON),
        };
        EXPECT_TRUE(CommandBar_AddButtons(bar, 6, buttons));
        Pump();
        return bar;
    }
    static LRESULT Send(HWND tb, UINT m, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(tb, m, w, l); }
    static RECT Rect(HWND tb, int command) {
        RECT r = {};
        EXPECT_TRUE(Send(tb, TB_GETRECT, static_cast<WPARAM>(command), reinterpret_cast<LPARAM>(&r)));
        return r;
    }
    static void TapButton(HWND tb, int command) {
        RECT r = Rect(tb, command);
        Tap(tb, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    // The commands the parent got (each checked to come from the toolbar).
    static std::vector<int> Commands(HWND tb) {
        std::vector<int> out;
        for (const Event& e : Take()) {
            if (e.message != WM_COMMAND) continue;
            EXPECT_EQ(HIWORD(e.wParam), 0);  // BN_CLICKED
            EXPECT_EQ(e.lParam, reinterpret_cast<LPARAM>(tb));
            out.push_back(LOWORD(e.wParam));
        }
        return out;
    }
    static COLORREF ImageCentre(HWND tb, int command) {
        RECT r = Rect(tb, command);
        return At(tb, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
};

TEST_F(ToolbarTest, CommandBarLiesAlongTheTop) {
    HWND bar = MakeBar();
    RECT r;
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(CommandBar_Height(bar), 26);
    EXPECT_TRUE(CommandBar_IsVisible(bar));
    CommandBar_Show(bar, FALSE);
    EXPECT_FALSE(CommandBar_IsVisible(bar));

    // Buttons side by side from the left, the separator between them narrower.
    RECT first = Rect(bar, kPlain), second = Rect(bar, kCheck);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.right - first.left, 23);
    EXPECT_EQ(first.bottom - first.top, 22);
    EXPECT_EQ(second.left, first.right + 6);
    EXPECT_EQ(Send(bar, TB_BUTTONCOUNT), 6);
    EXPECT_EQ(Send(bar, TB_COMMANDTOINDEX, kGroupA), 3);
    EXPECT_EQ(Send(bar, TB_COMMANDTOINDEX, 999), -1);
}

TEST_F(ToolbarTest, TapsSendCommandsAndToggleChecks) {
    HWND bar = MakeBar();
    // Each row: the button tapped, the command the parent gets (0: none), and
    // the checked state of the check button and the group's two buttons after.
    struct Row {
        int tapped;
        int command;
        bool check, groupA, groupB;
    } rows[] = {
        {kPlain, kPlain, false, false, true},
        {kCheck, kCheck, true, false, true},
        {kGroupA, kGroupA, true, true, false},
        {kGroupA, kGroupA, true, true, false},  // a checked group button stays checked
        {kCheck, kCheck, false, true, false},
        {kGroupB, kGroupB, false, false, true},
        {kDisabled, 0, false, false, true},
    };
    for (const Row& r : rows) {
        TapButton(bar, r.tapped);
        std::vector<int> expected;
        if (r.command) expected.push_back(r.command);
        EXPECT_EQ(Commands(bar), expected) << r.tapped;
        EXPECT_EQ(Send(bar, TB_ISBUTTONCHECKED, kCheck) != 0, r.check) << r.tapped;
        EXPECT_EQ(Send(bar, TB_ISBUTTONCHECKED, kGroupA) != 0, r.groupA) << r.tapped;
        EXPECT_EQ(Send(bar, TB_ISBUTTONCHECKED, kGroupB) != 0, r.groupB) << r.tapped;
    }
}

TEST_F(ToolbarTest, PenLeavingTheButtonCancelsTheTap) {
    HWND bar = MakeBar();
    RECT r = Rect(bar, kPlain);
    Pen(platform::Pen::Down, bar, r.left + 5, r.top + 5);
    EXPECT_NE(Send(bar, TB_ISBUTTONPRESSED, kPlain), 0);
    Pen(platform::Pen::Move, bar, r.left + 5, r.bottom + 30);
    EXPECT_EQ(Send(bar, TB_ISBUTTONPRESSED, kPlain), 0);
    Pen(platform::Pen::Up, bar, r.left + 5, r.bottom + 30);
    EXPECT_TRUE(Commands(bar).empty());
}

TEST_F(ToolbarTest, StateMessages) {
    HWND bar = MakeBar();
    EXPECT_NE(Send(bar, TB_ISBUTTONENABLED, kPlain), 0);
    EXPECT_TRUE(Send(bar, TB_ENABLEBUTTON, kPlain, MAKELONG(FALSE, 0)));
    EXPECT_EQ(Send(bar, TB_ISBUTTONENABLED, kPlain), 0);
    EXPECT_EQ(Send(bar, TB_GETSTATE, kPlain), 0);
    EXPECT_TRUE(Send(bar, TB_SETSTATE, kPlain, MAKELONG(TBSTATE_ENABLED | TBSTATE_CHECKED, 0)));
    EXPECT_EQ(Send(bar, TB_GETSTATE, kPlain), TBSTATE_ENABLED | TBSTATE_CHECKED);
    // Checking a group button unchecks the rest of its group.
    EXPECT_TRUE(Send(bar, TB_CHECKBUTTON, kGroupA, MAKELONG(TRUE, 0)));
    EXPECT_EQ(Send(bar, TB_ISBUTTONCHECKED, kGroupB), 0);
    // Unknown commands.
    EXPECT_FALSE(Send(bar, TB_ENABLEBUTTON, 999, TRUE));
    EXPECT_EQ(Send(bar, TB_GETSTATE, 999), -1);
    EXPECT_EQ(Send(bar, TB_ISBUTTONCHECKED, 999), -1);

    // Hiding a button moves the ones after it.
    RECT before = Rect(bar, kGroupA);
    EXPECT_TRUE(Send(bar, TB_HIDEBUTTON, kCheck, MAKELONG(TRUE, 0)));
    EXPECT_NE(Send(bar, TB_ISBUTTONHIDDEN, kCheck), 0);
    RECT after = Rect(bar, kGroupA);
    EXPECT_EQ(after.left, before.left - 23);
    RECT hidden;
    EXPECT_FALSE(Send(bar, TB_GETRECT, kCheck, reinterpret_cast<LPARAM>(&hidden)));

    // Inserting, reading and deleting buttons.
    TBBUTTON extra = Btn(2, 200, TBSTATE_ENABLED, TBSTYLE_BUTTON);
    EXPECT_TRUE(Send(bar, TB_INSERTBUTTONW, 1, reinterpret_cast<LPARAM>(&extra)));
    TBBUTTON got = {};
    EXPECT_TRUE(Send(bar, TB_GETBUTTON, 1, reinterpret_cast<LPARAM>(&got)));
    EXPECT_EQ(got.idCommand, 200);
    EXPECT_EQ(got.iBitmap, 2);
    EXPECT_TRUE(Send(bar, TB_DELETEBUTTON, 1));
    EXPECT_FALSE(Send(bar, TB_DELETEBUTTON, 50));
    EXPECT_EQ(Send(bar, TB_COMMANDTOINDEX, 200), -1);
    EXPECT_EQ(Send(bar, TB_BUTTONCOUNT), 6);
}

TEST_F(ToolbarTest, ImagesComeFromTheStrip) {
    HWND bar = MakeBar();
    // The strip's squares; light grey around them is transparent.
    EXPECT_EQ(ImageCentre(bar, kPlain), OnDisplay(RGB(255, 0, 0)));
    EXPECT_EQ(ImageCentre(bar, kGroupA), OnDisplay(RGB(0, 0, 255)));
    RECT r = Rect(bar, kPlain);
    EXPECT_EQ(At(bar, r.left + 4, r.top + 3), Sys(COLOR_BTNFACE));

    // TB_CHANGEBITMAP picks another image of the strip.
    EXPECT_EQ(Send(bar, TB_GETBITMAP, kPlain), 0);
    EXPECT_TRUE(Send(bar, TB_CHANGEBITMAP, kPlain, MAKELPARAM(1, 0)));
    EXPECT_EQ(Send(bar, TB_GETBITMAP, kPlain), 1);
    Pump();
    EXPECT_EQ(ImageCentre(bar, kPlain), OnDisplay(RGB(0, 255, 0)));

    // A second strip continues the numbering.
    TBADDBITMAP more = {GetModuleHandleW(nullptr), IDB_BARS_STRIP};
    EXPECT_EQ(Send(bar, TB_ADDBITMAP, 4, reinterpret_cast<LPARAM>(&more)), 4);
}

TEST_F(ToolbarTest, DisabledButtonsAreGreyedOrUseTheDisabledImageList) {
    HWND bar = MakeBar();
    // Greyed: the square's shape in the shadow colour.
    EXPECT_EQ(ImageCentre(bar, kDisabled), Sys(COLOR_BTNSHADOW));

    HIMAGELIST disabled = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 4, 0);
    ASSERT_NE(disabled, nullptr);
    HBITMAP strip = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BARS_DISABLED));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(ImageList_AddMasked(disabled, strip, RGB(255, 0, 255)), 0);
    DeleteObject(strip);
    EXPECT_EQ(Send(bar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled)), 0);
    EXPECT_EQ(Send(bar, TB_GETDISABLEDIMAGELIST), reinterpret_cast<LRESULT>(disabled));
    Pump();
    EXPECT_EQ(ImageCentre(bar, kDisabled), OnDisplay(RGB(255, 255, 0)));
    // Enabled buttons keep their own images.
    EXPECT_EQ(ImageCentre(bar, kPlain), OnDisplay(RGB(255, 0, 0)));
    // Disabling one switches it to the disabled list.
    Send(bar, TB_ENABLEBUTTON, kPlain, FALSE);
    Pump();
    EXPECT_EQ(ImageCentre(bar, kPlain), OnDisplay(RGB(255, 255, 0)));
    DestroyWindow(bar);
    ImageList_Destroy(disabled);
}

TEST_F(ToolbarTest, NoButtonIsBlankWhateverItsImageIndex) {
    // A disabled image list shorter than the strip (disabled art for only
    // some of the buttons): a disabled button past its end is greyed from
    // its own image. And every image of a strip added whole can be shown.
    HWND bar = MakeBar();
    HIMAGELIST disabled = ImageList_Create(16, 16, ILC_COLOR | ILC_MASK, 1, 0);
    HBITMAP strip = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_BARS_DISABLED));
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(ImageList_AddMasked(disabled, strip, RGB(255, 0, 255)), 0);
    DeleteObject(strip);
    ASSERT_TRUE(ImageList_SetImageCount(disabled, 2));
    Send(bar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled));
    const struct {
        int command;
        int image;
        bool enabled;
        COLORREF centre;
    } cases[] = {
        {kPlain, 0, false, OnDisplay(RGB(255, 255, 0))},  // in the disabled list
        {kPlain, 1, false, OnDisplay(RGB(255, 255, 0))},
        {kPlain, 2, false, Sys(COLOR_BTNSHADOW)},         // past its end: greyed
        {kPlain, 3, false, Sys(COLOR_BTNSHADOW)},
        {kPlain, 3, true, OnDisplay(RGB(0, 0, 0))},        // the strip's last image
        {kPlain, 2, true, OnDisplay(RGB(0, 0, 255))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "image " << c.image << (c.enabled ? " enabled" : " disabled"));
        Send(bar, TB_CHANGEBITMAP, static_cast<WPARAM>(c.command), MAKELPARAM(c.image, 0));
        Send(bar, TB_ENABLEBUTTON, static_cast<WPARAM>(c.command), MAKELONG(c.enabled, 0));
        Pump();
        EXPECT_EQ(ImageCentre(bar, c.command), c.centre);
    }
    DestroyWindow(bar);
    ImageList_Destroy(disabled);
}

TEST_F(ToolbarTest, TooltipShowsWhileThePenHoldsAButton) {
    HWND bar = MakeBar();
    // The Windows CE strings: one per button that is not a separator.
    static const WCHAR* tips[] = {u"Plain", u"Check", u"Group A", u"Group B", u"Disabled"};
    EXPECT_TRUE(CommandBar_AddToolTips(bar, 5, tips));
    HWND tip = reinterpret_cast<HWND>(Send(bar, TB_GETTOOLTIPS));
    ASSERT_NE(tip, nullptr);
    RECT r = Rect(bar, kCheck);
    Pen(platform::Pen::Down, bar, r.left + 5, r.top + 5);
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(tip) != FALSE; }));
    WCHAR text[32];
    GetWindowTextW(tip, text, 32);
    EXPECT_EQ(std::u16string(text), u"Check");
    // Below the button it belongs to.
    RECT tipRect, button = r;
    GetWindowRect(tip, &tipRect);
    MapWindowPoints(bar, nullptr, reinterpret_cast<POINT*>(&button), 2);
    EXPECT_GE(tipRect.top, button.bottom);
    Pen(platform::Pen::Up, bar, r.left + 5, r.top + 5);
    EXPECT_FALSE(IsWindowVisible(tip));
    Take();
}

TEST_F(ToolbarTest, TooltipTextsFromTheParentAndFromResources) {
    HWND tb = Control(TOOLBARCLASSNAMEW, TBSTYLE_TOOLTIPS | CCS_NODIVIDER, 0, 0, 240, 26, 5);
    ASSERT_NE(tb, nullptr);
    Send(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    TBADDBITMAP strip = {GetModuleHandleW(nullptr), IDB_BARS_STRIP};
    EXPECT_EQ(Send(tb, TB_ADDBITMAP, 4, reinterpret_cast<LPARAM>(&strip)), 0);
    TBBUTTON buttons[] = {Btn(0, 7, TBSTATE_ENABLED, 0), Btn(1, 8, TBSTATE_ENABLED, 0)};
    Send(tb, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons));
    HWND tip = reinterpret_cast<HWND>(Send(tb, TB_GETTOOLTIPS));
    ASSERT_NE(tip, nullptr);
    SendMessageW(tip, TTM_SETDELAYTIME, TTDT_INITIAL, MAKELPARAM(0, 0));

    // Without strings the toolbar asks its parent (who answers "Tip <id>").
    RECT r;
    Send(tb, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    Pen(platform::Pen::Down, tb, r.left + 5, r.top + 5);
    EXPECT_TRUE(IsWindowVisible(tip));
    WCHAR text[32];
    GetWindowTextW(tip, text, 32);
    EXPECT_EQ(std::u16string(text), u"Tip 7");
    Pen(platform::Pen::Up, tb, r.left + 5, r.top + 5);
    bool asked = false;
    for (const Event& e : Take())
        asked = asked || (e.message == WM_NOTIFY && e.code == TTN_GETDISPINFOW && e.wParam == 7 &&
                          e.lParam == reinterpret_cast<LPARAM>(tip));
    EXPECT_TRUE(asked);

    // A tool of the program's own with a string resource.
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = parent_;
    ti.uId = 42;
    ti.rect = {0, 100, 50, 150};
    ti.hinst = GetModuleHandleW(nullptr);
    ti.lpszText = MAKEINTRESOURCEW(IDS_BARS_TIP);
    ASSERT_TRUE(SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    MSG msg = {parent_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 110), 0, {0, 0}};
    SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    EXPECT_TRUE(IsWindowVisible(tip));
    GetWindowTextW(tip, text, 32);
    EXPECT_EQ(std::u16string(text), u"Tip from a resource");
    // The text can change; TTM_GETTEXTW reads it back.
    ti.lpszText = const_cast<LPWSTR>(u"New text");
    SendMessageW(tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    WCHAR buffer[80] = {};
    ti.lpszText = buffer;
    SendMessageW(tip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(std::u16string(buffer), u"New text");
    // Deactivated tooltips show nothing.
    SendMessageW(tip, TTM_ACTIVATE, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(tip));
    SendMessageW(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    EXPECT_FALSE(IsWindowVisible(tip));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 3);
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 2);
}

TEST_F(ToolbarTest, TextButtons) {
    HWND tb = Control(TOOLBARCLASSNAMEW, TBSTYLE_FLAT | CCS_NODIVIDER, 0, 0, 240, 26, 9);
    ASSERT_NE(tb, nullptr);
    Send(tb, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON));
    // Strings added as a list: "File", "Image".
    EXPECT_EQ(Send(tb, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(u"File\0Image\0")), 0);
    TBBUTTON buttons[] = {Btn(I_IMAGENONE, 30, TBSTATE_ENABLED, TBSTYLE_AUTOSIZE),
                          Btn(I_IMAGENONE, 31, TBSTATE_ENABLED, TBSTYLE_AUTOSIZE),
                          Btn(I_IMAGENONE, 32, TBSTATE_ENABLED, TBSTYLE_AUTOSIZE)};
    buttons[0].iString = 0;
    buttons[1].iString = 1;
    buttons[2].iString = reinterpret_cast<INT_PTR>(u"A much longer menu");
    Send(tb, TB_ADDBUTTONSW, 3, reinterpret_cast<LPARAM>(buttons));
    WCHAR text[32];
    EXPECT_EQ(Send(tb, TB_GETBUTTONTEXTW, 31, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_EQ(std::u16string(text), u"Image");
    EXPECT_EQ(Send(tb, TB_GETBUTTONTEXTW, 32, reinterpret_cast<LPARAM>(text)), 18);
    // Each button is as wide as its text.
    RECT file = Rect(tb, 30), image = Rect(tb, 31), longer = Rect(tb, 32);
    EXPECT_LT(file.right - file.left, image.right - image.left);
    EXPECT_LT(image.right - image.left, longer.right - longer.left);
    EXPECT_EQ(image.left, file.right);
    // The text is drawn in the button.
    Pump();
    bool ink = false;
    for (int x = file.left; x < file.right && !ink; ++x)
        for (int y = file.top; y < file.bottom && !ink; ++y) ink = At(tb, x, y) == Sys(COLOR_BTNTEXT);
    EXPECT_TRUE(ink);
    TapButton(tb, 31);
    EXPECT_EQ(Commands(tb), (std::vector<int>{31}));
}

TEST_F(ToolbarTest, AutoSizeFollowsTheParent) {
    HWND tb = Control(TOOLBARCLASSNAMEW, CCS_BOTTOM, 5, 5, 10, 10, 6);
    ASSERT_NE(tb, nullptr);
    RECT r;
    GetWindowRect(tb, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 320);
    EXPECT_EQ(r.bottom - r.top, 26);
    MoveWindow(parent_, 0, 0, 200, 300, TRUE);
    Send(tb, TB_AUTOSIZE);
    GetWindowRect(tb, &r);
    EXPECT_EQ(r.right, 200);
    EXPECT_EQ(r.bottom, 300);
}

}  // namespace
