// The edit control: typing and its notifications, the keys that move the
// caret and extend the selection, the styles that filter or refuse text
// (number, case, read-only, limits, no room), multi-line wrapping and line
// queries, the selection messages, the pen, undo, the clipboard, focus and
// the caret, and what it answers to the dialog manager.
#include <gtest/gtest.h>

#include <algorithm>

#include "controls_fixture.h"
#include "platform/sound_log.h"

using namespace controls_test;

namespace {

class EditTest : public ControlTest {
protected:
    HWND Edit(DWORD style, const WCHAR* text = u"", int w = 150, int h = 20, int id = 300) {
        return Make(u"EDIT", WS_BORDER | style, id, 10, 10, w, h, text);
    }
    HWND FocusedEdit(DWORD style, const WCHAR* text = u"", int w = 150, int h = 20) {
        HWND e = Edit(style, text, w, h);
        SetFocus(e);
        Pump();
        Notes().clear();
        return e;
    }
    static void SetSel(HWND e, int a, int b) { SendMessageW(e, EM_SETSEL, static_cast<WPARAM>(a), b); }
    static std::u16string Line(HWND e, int line) {
        WCHAR buffer[64] = {};
        *reinterpret_cast<WORD*>(buffer) = 63;
        LRESULT n = SendMessageW(e, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buffer));
        return std::u16string(buffer, static_cast<size_t>(n));
    }
    // The client point of a character's left edge, in the middle of its line.
    static POINT CharPoint(HWND e, int index) {
        LRESULT r = SendMessageW(e, EM_POSFROMCHAR, static_cast<WPARAM>(index), 0);
        return POINT{static_cast<SHORT>(LOWORD(r)), static_cast<SHORT>(HIWORD(r)) + 5};
    }
};

TEST_F(EditTest, TypingInsertsAndNotifiesEachChange) {
    HWND e = FocusedEdit(ES_AUTOHSCROLL);
    Type(u"ab");
    EXPECT_EQ(Text(e), u"ab");
    EXPECT_EQ(Sel(e), std::make_pair(2, 2));
    EXPECT_EQ(Codes(WM_COMMAND, e), (std::vector<int>{EN_UPDATE, EN_CHANGE, EN_UPDATE, EN_CHANGE}));
    EXPECT_TRUE(SendMessageW(e, EM_GETMODIFY, 0, 0));
    for (const Note& n : Taken(WM_COMMAND)) EXPECT_EQ(n.id, 300);

    // Typing replaces the selection; Backspace and Delete remove it or one character.
    SetSel(e, 0, 1);
    Type(u"X");
    EXPECT_EQ(Text(e), u"Xb");
    Key(VK_BACK);
    EXPECT_EQ(Text(e), u"b");
    Key(VK_DELETE);
    EXPECT_EQ(Text(e), u"");
    Notes().clear();
    Key(VK_BACK);  // nothing left to remove: no notification
    EXPECT_EQ(Count(WM_COMMAND, e), 0);
}

TEST_F(EditTest, KeysMoveTheCaretAndShiftExtendsTheSelection) {
    struct Step {
        UINT key;
        bool shift;
        int selStart;
        int selEnd;
    };
    struct Case {
        int from;
        std::vector<Step> steps;
    } cases[] = {
        {2, {{VK_LEFT, false, 1, 1}, {VK_RIGHT, false, 2, 2}, {VK_HOME, false, 0, 0}, {VK_END, false, 5, 5}}},
        {2, {{VK_LEFT, true, 1, 2}, {VK_LEFT, true, 0, 2}, {VK_RIGHT, true, 1, 2}}},
        {2, {{VK_END, true, 2, 5}, {VK_HOME, true, 0, 2}}},
        // Without shift an arrow collapses a selection to its side.
        {2, {{VK_END, true, 2, 5}, {VK_LEFT, false, 2, 2}}},
        {2, {{VK_HOME, true, 0, 2}, {VK_RIGHT, false, 2, 2}}},
        // Up and down act as left and right on one line.
        {2, {{VK_UP, false, 1, 1}, {VK_DOWN, false, 2, 2}}},
        {5, {{VK_RIGHT, false, 5, 5}}},
        {0, {{VK_LEFT, false, 0, 0}}},
    };
    HWND e = FocusedEdit(ES_AUTOHSCROLL, u"hello");
    for (const Case& c : cases) {
        SetSel(e, c.from, c.from);
        for (const Step& s : c.steps) {
            if (s.shift) ShiftKey(s.key);
            else Key(s.key);
            EXPECT_EQ(Sel(e), std::make_pair(s.selStart, s.selEnd)) << "from " << c.from << " key " << s.key;
        }
    }
    EXPECT_EQ(Count(WM_COMMAND, e), 0);  // moving changes nothing
}

TEST_F(EditTest, MultiLineKeysCrossLineEnds) {
    HWND e = FocusedEdit(ES_MULTILINE | ES_AUTOVSCROLL, u"ab\r\ncd", 150, 60);
    SetSel(e, 4, 4);  // before "c"
    Key(VK_LEFT);
    EXPECT_EQ(Sel(e), std::make_pair(2, 2));  // the line end is one step
    Key(VK_RIGHT);
    EXPECT_EQ(Sel(e), std::make_pair(4, 4));
    Key(VK_END);
    EXPECT_EQ(Sel(e), std::make_pair(6, 6));
    Key(VK_UP);
    EXPECT_EQ(Sel(e), std::make_pair(2, 2));
    Key(VK_DOWN);
    EXPECT_EQ(Sel(e), std::make_pair(6, 6));
    Key(VK_HOME);
    EXPECT_EQ(Sel(e), std::make_pair(4, 4));
    Key(VK_BACK);  // joins the lines
    EXPECT_EQ(Text(e), u"abcd");
    EXPECT_EQ(Sel(e), std::make_pair(2, 2));
    Key(VK_RETURN);
    EXPECT_EQ(Text(e), u"ab\r\ncd");
    EXPECT_EQ(SendMessageW(e, EM_GETLINECOUNT, 0, 0), 2);
}

TEST_F(EditTest, StylesFilterWhatIsTyped) {
    struct Case {
        DWORD style;
        std::u16string typed;
        std::u16string text;
    } cases[] = {
        {ES_NUMBER, u"1a2-3", u"123"},  // with a beep for each refused character
        {ES_UPPERCASE, u"MiXed", u"MIXED"},
        {ES_LOWERCASE, u"MiXed", u"mixed"},
        {ES_READONLY, u"abc", u""},
        {0, u"a\rb\tc", u"abc"},  // one line takes no line ends or tabs
    };
    for (const Case& c : cases) {
        HWND e = FocusedEdit(ES_AUTOHSCROLL | c.style);
        platform::TakeBeepLog();
        Type(c.typed);
        EXPECT_EQ(Text(e), c.text) << "style " << c.style;
        // Each refused character is a character less of notifications.
        EXPECT_EQ(Count(WM_COMMAND, e), static_cast<int>(2 * c.text.size())) << "style " << c.style;
        size_t beeps = c.style == ES_NUMBER ? 2 : c.style == ES_READONLY ? c.typed.size() : 0;
        EXPECT_EQ(platform::TakeBeepLog().size(), beeps) << "style " << c.style;
        DestroyWindow(e);
    }
}

TEST_F(EditTest, ReadOnlySwitchesAndColoursLikeAStatic) {
    HWND e = FocusedEdit(ES_AUTOHSCROLL, u"abc");
    EXPECT_TRUE(SendMessageW(e, EM_SETREADONLY, TRUE, 0));
    EXPECT_TRUE(GetWindowLongW(e, GWL_STYLE) & ES_READONLY);
    Notes().clear();
    InvalidateRect(e, nullptr, TRUE);
    UpdateWindow(e);
    EXPECT_GT(Count(WM_CTLCOLORSTATIC, e), 0);
    EXPECT_EQ(Count(WM_CTLCOLOREDIT, e), 0);
    Type(u"x");
    Key(VK_BACK);
    Key(VK_DELETE);
    EXPECT_EQ(Text(e), u"abc");
    SendMessageW(e, EM_SETREADONLY, FALSE, 0);
    Notes().clear();
    InvalidateRect(e, nullptr, TRUE);
    UpdateWindow(e);
    EXPECT_GT(Count(WM_CTLCOLOREDIT, e), 0);
    Type(u"x");
    EXPECT_EQ(Text(e), u"xabc");
}

TEST_F(EditTest, LimitTruncatesAndReportsMaxText) {
    HWND e = FocusedEdit(ES_AUTOHSCROLL);
    EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 30000);
    SendMessageW(e, EM_LIMITTEXT, 4, 0);
    EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 4);
    Type(u"abcdef");
    EXPECT_EQ(Text(e), u"abcd");
    std::vector<int> codes = Codes(WM_COMMAND, e);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_CHANGE), 4);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), EN_MAXTEXT), 2);
    // EM_REPLACESEL keeps to the limit too; WM_SETTEXT does not.
    SetSel(e, 1, 2);
    SendMessageW(e, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(u"XYZ"));
    EXPECT_EQ(Text(e), u"aXcd");
    SetWindowTextW(e, u"longer than four");
    EXPECT_EQ(Text(e), u"longer than four");
    SendMessageW(e, EM_LIMITTEXT, 0, 0);
    EXPECT_EQ(SendMessageW(e, EM_GETLIMITTEXT, 0, 0), 0x7FFFFFFE);
}

TEST_F(EditTest, OneLineWithoutAutoScrollRefusesWhatWouldNotShow) {
    HWND fixed = FocusedEdit(0, u"", 40, 20);
    Type(u"wwwwwwwwwwwwwwwwwwww");
    std::u16string kept = Text(fixed);
    EXPECT_LT(kept.size(), 20u);
    EXPECT_GT(kept.size(), 0u);
    EXPECT_GT(Count(WM_COMMAND, fixed), 0);
    std::vector<int> codes = Codes(WM_COMMAND, fixed);
    EXPECT_NE(std::find(codes.begin(), codes.end(), EN_MAXTEXT), codes.end());

    // With ES_AUTOHSCROLL the text scrolls and the caret stays in sight.
    HWND scrolling = FocusedEdit(ES_AUTOHSCROLL, u"", 40, 20);
    Type(u"wwwwwwwwwwwwwwwwwwww");
    EXPECT_EQ(Text(scrolling).size(), 20u);
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_GE(caret.x, 0);
    EXPECT_LE(caret.x, 40);
    EXPECT_EQ(SendMessageW(scrolling, EM_POSFROMCHAR, 0, 0) & 0x8000, 0x8000);  // the first character scrolled off
}

TEST_F(EditTest, MultiLineWrapsAtWordsAndAnswersLineQueries) {
    HWND e = Edit(ES_MULTILINE, u"one two three four five six", 60, 100);
    int lines = static_cast<int>(SendMessageW(e, EM_GETLINECOUNT, 0, 0));
    ASSERT_GT(lines, 2);
    std::u16string joined;
    for (int i = 0; i < lines; ++i) {
        int start = static_cast<int>(SendMessageW(e, EM_LINEINDEX, static_cast<WPARAM>(i), 0));
        // Every line but the first starts a word.
        if (i > 0) {
            EXPECT_EQ(Text(e)[static_cast<size_t>(start) - 1], u' ') << "line " << i;
        }
        EXPECT_EQ(SendMessageW(e, EM_LINEFROMCHAR, static_cast<WPARAM>(start), 0), i);
        std::u16string line = Line(e, i);
        EXPECT_EQ(static_cast<int>(line.size()), SendMessageW(e, EM_LINELENGTH, static_cast<WPARAM>(start), 0));
        joined += line;
    }
    EXPECT_EQ(joined, u"one two three four five six");
    EXPECT_EQ(SendMessageW(e, EM_LINEINDEX, static_cast<WPARAM>(lines), 0), -1);

    // Hard line ends, and an empty last line after a final one.
    SetWindowTextW(e, u"a\r\nbc\r\n");
    EXPECT_EQ(SendMessageW(e, EM_GETLINECOUNT, 0, 0), 3);
    EXPECT_EQ(SendMessageW(e, EM_LINEINDEX, 1, 0), 3);
    EXPECT_EQ(SendMessageW(e, EM_LINEINDEX, 2, 0), 7);
    EXPECT_EQ(SendMessageW(e, EM_LINELENGTH, 3, 0), 2);
    EXPECT_EQ(Line(e, 1), u"bc");
    EXPECT_EQ(Line(e, 2), u"");

    // A multi-line edit with ES_AUTOHSCROLL does not wrap.
    HWND nowrap = Edit(ES_MULTILINE | ES_AUTOHSCROLL, u"one two three four five six", 60, 100);
    EXPECT_EQ(SendMessageW(nowrap, EM_GETLINECOUNT, 0, 0), 1);
}

TEST_F(EditTest, MultiLineScrollsDownAsLinesAreAdded) {
    HWND e = FocusedEdit(ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, u"", 100, 40);
    for (int i = 0; i < 6; ++i) {
        Type(u"line");
        Key(VK_RETURN);
    }
    EXPECT_EQ(SendMessageW(e, EM_GETLINECOUNT, 0, 0), 7);
    EXPECT_GT(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(e, EM_LINESCROLL, 0, -10);
    EXPECT_EQ(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(e, EM_SCROLLCARET, 0, 0);
    EXPECT_GT(SendMessageW(e, EM_GETFIRSTVISIBLELINE, 0, 0), 0);

    // Without ES_AUTOVSCROLL the lines that do not fit are refused.
    HWND fixed = FocusedEdit(ES_MULTILINE | ES_WANTRETURN, u"", 100, 40);
    for (int i = 0; i < 6; ++i) Key(VK_RETURN);
    EXPECT_LT(SendMessageW(fixed, EM_GETLINECOUNT, 0, 0), 7);
    std::vector<int> codes = Codes(WM_COMMAND, fixed);
    EXPECT_NE(std::find(codes.begin(), codes.end(), EN_MAXTEXT), codes.end());
}

TEST_F(EditTest, SetTextNotifiesOnlyOneLineEdits) {
    HWND single = Edit(ES_AUTOHSCROLL, u"", 150, 20, 1);
    HWND multi = Edit(ES_MULTILINE, u"", 150, 40, 2);
    Notes().clear();
    SendMessageW(single, EM_SETMODIFY, TRUE, 0);
    SetWindowTextW(single, u"text");
    SetWindowTextW(multi, u"text");
    EXPECT_EQ(Codes(WM_COMMAND, single), (std::vector<int>{EN_UPDATE, EN_CHANGE}));
    EXPECT_EQ(Count(WM_COMMAND, multi), 0);
    EXPECT_FALSE(SendMessageW(single, EM_GETMODIFY, 0, 0));
    EXPECT_EQ(Sel(single), std::make_pair(0, 0));
    EXPECT_FALSE(SendMessageW(single, EM_CANUNDO, 0, 0));
    EXPECT_EQ(GetWindowTextLengthW(single), 4);
    WCHAR small[3];
    EXPECT_EQ(SendMessageW(single, WM_GETTEXT, 3, reinterpret_cast<LPARAM>(small)), 2);
    EXPECT_EQ(std::u16string(small), u"te");
}

TEST_F(EditTest, SelectionMessages) {
    HWND e = Edit(ES_AUTOHSCROLL, u"hello world");
    struct Case {
        int a;
        int b;
        std::pair<int, int> sel;
    } cases[] = {
        {0, -1, {0, 11}},  // all
        {3, 5, {3, 5}},
        {5, 3, {3, 5}},    // either order
        {4, 100, {4, 11}}, // clamped to the end
        {-1, 0, {11, 11}}, // drops the selection, keeps the caret where it was
    };
    for (const Case& c : cases) {
        SetSel(e, c.a, c.b);
        EXPECT_EQ(Sel(e), c.sel) << c.a << "," << c.b;
    }
    SetSel(e, 2, 7);
    EXPECT_EQ(SendMessageW(e, EM_GETSEL, 0, 0), MAKELRESULT(2, 7));
    SendMessageW(e, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(u"y, w"));
    EXPECT_EQ(Text(e), u"hey, world");
    EXPECT_EQ(Sel(e), std::make_pair(6, 6));
    EXPECT_FALSE(SendMessageW(e, EM_CANUNDO, 0, 0));  // asked not to be undoable
}

TEST_F(EditTest, PenPlacesTheCaretDragsASelectionAndDoubleTapSelectsAWord) {
    HWND e = Edit(ES_AUTOHSCROLL, u"alpha beta gamma", 200, 20);
    POINT b = CharPoint(e, 6);   // "b" of beta
    POINT g = CharPoint(e, 11);  // "g" of gamma
    Tap(e, b.x + 1, b.y);
    EXPECT_EQ(GetFocus(), e);
    EXPECT_EQ(Sel(e), std::make_pair(6, 6));
    EXPECT_EQ(Codes(WM_COMMAND, e), std::vector<int>{EN_SETFOCUS});

    // Dragging backwards from "gamma" to "beta" selects between them, the
    // caret at the end the pen stopped on.
    Down(e, g.x + 1, g.y);
    Move(e, b.x + 1, b.y);
    Up(e, b.x + 1, b.y);
    EXPECT_EQ(Sel(e), std::make_pair(6, 11));
    POINT caret;
    ASSERT_TRUE(GetCaretPos(&caret));
    EXPECT_EQ(caret.x, b.x);
    EXPECT_EQ(GetCapture(), nullptr);

    // Wait out the double-tap time after the drag, then double tap on "gamma".
    Sleep(GetDoubleClickTime() + 50);
    DoubleTap(e, g.x + 3, g.y);
    EXPECT_EQ(Sel(e), std::make_pair(11, 16));
}

TEST_F(EditTest, SelectionShowsOnlyWithTheFocus) {
    HWND e = Edit(ES_AUTOHSCROLL, u"WWWW", 150, 20);
    HWND other = Edit(ES_AUTOHSCROLL, u"", 150, 20, 301);
    SetSel(e, 0, 4);
    Pump();
    RECT text = {2, 2, 30, 18};
    // The highlight colour as the 16-bit screen shows it.
    HDC dc = GetDC(nullptr);
    COLORREF shown = GetNearestColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    ReleaseDC(nullptr, dc);
    EXPECT_FALSE(AnyPixel(e, text, shown));
    SetFocus(e);
    Pump();
    EXPECT_TRUE(AnyPixel(e, text, shown));
    SetFocus(other);
    Pump();
    EXPECT_FALSE(AnyPixel(e, text, shown));
}

TEST_F(EditTest, UndoSwapsWithTheLastChange) {
    HWND e = FocusedEdit(ES_AUTOHSCROLL, u"keep");
    SendMessageW(e, EM_SETSEL, 4, 4);
    Type(u"!");
    EXPECT_TRUE(SendMessageW(e, EM_CANUNDO, 0, 0));
    EXPECT_TRUE(SendMessageW(e, EM_UNDO, 0, 0));
    EXPECT_EQ(Text(e), u"keep");
    EXPECT_TRUE(SendMessageW(e, WM_UNDO, 0, 0));  // undoing the undo
    EXPECT_EQ(Text(e), u"keep!");
    SendMessageW(e, EM_EMPTYUNDOBUFFER, 0, 0);
    EXPECT_FALSE(SendMessageW(e, EM_CANUNDO, 0, 0));
    EXPECT_FALSE(SendMessageW(e, EM_UNDO, 0, 0));
}

TEST_F(EditTest, CutCopyPasteAndClearGoThroughTheClipboard) {
    HWND e = FocusedEdit(ES_AUTOHSCROLL, u"copy this");
    SetSel(e, 0, 4);
    SendMessageW(e, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(std::u16string(static_cast<const WCHAR*>(data)), u"copy");
    CloseClipboard();

    SetSel(e, 9, 9);
    SendMessageW(e, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(e), u"copy thiscopy");
    SetSel(e, 0, 5);
    SendMessageW(e, WM_CUT, 0, 0);
    EXPECT_EQ(Text(e), u"thiscopy");
    SetSel(e, 0, 4);
    SendMessageW(e, WM_CLEAR, 0, 0);
    EXPECT_EQ(Text(e), u"copy");
    SetSel(e, 0, 0);
    SendMessageW(e, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(e), u"copy copy");

    // A password is never copied; a line end cuts what a single line takes.
    HWND password = FocusedEdit(ES_AUTOHSCROLL | ES_PASSWORD, u"secret");
    EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), u'*');
    SetSel(password, 0, -1);
    SendMessageW(password, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(std::u16string(static_cast<const WCHAR*>(GetClipboardData(CF_UNICODETEXT))), u"copy ");
    EmptyClipboard();
    HLOCAL block = LocalAlloc(LMEM_FIXED, 16 * sizeof(WCHAR));
    std::u16string twoLines = u"first\r\nsecond";
    std::copy(twoLines.begin(), twoLines.end(), static_cast<WCHAR*>(block));
    static_cast<WCHAR*>(block)[twoLines.size()] = 0;
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    SetSel(e, 0, -1);
    SendMessageW(e, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(e), u"first");
}

TEST_F(EditTest, FocusBringsNotificationsAndTheCaret) {
    HWND e = Edit(ES_AUTOHSCROLL, u"abc");
    HWND other = Edit(ES_AUTOHSCROLL, u"", 150, 20, 301);
    POINT p;
    SetFocus(other);
    Notes().clear();
    SetFocus(e);
    EXPECT_EQ(Codes(WM_COMMAND, e), std::vector<int>{EN_SETFOCUS});
    ASSERT_TRUE(GetCaretPos(&p));
    SendMessageW(e, EM_SETSEL, 3, 3);
    POINT end;
    ASSERT_TRUE(GetCaretPos(&end));
    EXPECT_GT(end.x, p.x);
    Notes().clear();
    SetFocus(other);
    EXPECT_EQ(Codes(WM_COMMAND, e), std::vector<int>{EN_KILLFOCUS});
    EXPECT_EQ(Codes(WM_COMMAND, other), std::vector<int>{EN_SETFOCUS});
    DestroyWindow(other);
    EXPECT_FALSE(GetCaretPos(&p));  // the caret went with the focus
}

TEST_F(EditTest, DialogCodes) {
    struct Case {
        DWORD style;
        LRESULT code;
    } cases[] = {
        {ES_AUTOHSCROLL, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS},
        {ES_MULTILINE, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS},
        {ES_MULTILINE | ES_WANTRETURN, DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | DLGC_WANTALLKEYS},
    };
    for (const Case& c : cases) {
        HWND e = Edit(c.style);
        EXPECT_EQ(SendMessageW(e, WM_GETDLGCODE, 0, 0), c.code) << c.style;
        DestroyWindow(e);
    }
}

TEST_F(EditTest, ParentMayDestroyTheEditWhenItChanges) {
    ParentAnswers().destroyOn = WM_COMMAND;
    for (int code : {EN_UPDATE, EN_CHANGE}) {
        ParentAnswers().destroyCode = code;
        HWND e = FocusedEdit(ES_AUTOHSCROLL);
        Type(u"ab");
        EXPECT_FALSE(IsWindow(e)) << code;
    }
}

// The caret the edit uses: created hidden, shown and hidden by counts, drawn
// by inverting its rectangle, so hiding gives the pixels back.
TEST_F(EditTest, CaretInvertsWhereItIsWhileShown) {
    HWND w = Make(u"STATIC", 0, 1, 10, 10, 100, 40);
    ParentAnswers().brush = nullptr;
    const COLORREF under = PixelAt(w, 20, 5);
    const COLORREF inverted = RGB(255 - GetRValue(under), 255 - GetGValue(under), 255 - GetBValue(under));
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 10));
    ASSERT_TRUE(SetCaretPos(20, 2));
    EXPECT_EQ(PixelAt(w, 20, 5), under);  // a new caret is hidden
    EXPECT_TRUE(ShowCaret(w));
    EXPECT_EQ(PixelAt(w, 20, 5), inverted);
    EXPECT_EQ(PixelAt(w, 22, 5), under);  // two pixels wide
    EXPECT_TRUE(SetCaretPos(40, 2));
    EXPECT_EQ(PixelAt(w, 20, 5), under);
    EXPECT_EQ(PixelAt(w, 40, 5), inverted);
    EXPECT_TRUE(HideCaret(w));
    EXPECT_TRUE(HideCaret(nullptr));  // the caller's own caret
    EXPECT_TRUE(ShowCaret(w));
    EXPECT_EQ(PixelAt(w, 40, 5), under);  // still hidden once
    EXPECT_TRUE(ShowCaret(w));
    EXPECT_EQ(PixelAt(w, 40, 5), inverted);
    EXPECT_FALSE(ShowCaret(w));  // not hidden any more
    EXPECT_FALSE(ShowCaret(parent_));  // not its caret
    POINT p;
    ASSERT_TRUE(GetCaretPos(&p));
    EXPECT_EQ(p.x, 40);
    EXPECT_EQ(p.y, 2);
    EXPECT_TRUE(DestroyCaret());
    EXPECT_EQ(PixelAt(w, 40, 5), under);
    EXPECT_FALSE(GetCaretPos(&p));
    EXPECT_FALSE(DestroyCaret());
}

}  // namespace
