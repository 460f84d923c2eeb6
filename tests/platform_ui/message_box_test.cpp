// Message boxes: the buttons of each type, the default button, Enter,
// Escape, closing, pen taps and mnemonics; the layout on the screen, the four
// icons and their sounds; MessageBeep and the sound log; bad arguments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_test_driver.h"
#include "gwes_fixture.h"
#include "platform/sound_log.h"
#include "windows.h"

using namespace dialog_test;

namespace {

// The steps of the box that runs now; they run one per tick of a thread
// timer, whose messages the box's modal loop dispatches.
struct BoxDriver {
    std::vector<Step> steps;
    size_t next = 0;
    int idleTicks = 0;
};
BoxDriver* g_driver = nullptr;

void CALLBACK BoxTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = GetActiveWindow();
    if (!g_driver || !box) return;
    if (g_driver->next < g_driver->steps.size()) {
        g_driver->steps[g_driver->next++](box);
    } else if (++g_driver->idleTicks > 100) {
        EndDialog(box, kStuck);
    }
}

int RunBox(HWND owner, const char16_t* text, const char16_t* caption, UINT type, std::vector<Step> steps) {
    BoxDriver driver;
    driver.steps = std::move(steps);
    g_driver = &driver;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, BoxTimer);
    int result = MessageBoxW(owner, text, caption, type);
    KillTimer(nullptr, timer);
    g_driver = nullptr;
    return result;
}

std::u16string TextOf(HWND hwnd) {
    WCHAR text[256];
    GetWindowTextW(hwnd, text, 256);
    return text;
}

std::vector<HWND> Buttons(HWND box) {
    std::vector<HWND> out;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        WCHAR cls[32];
        GetClassNameW(c, cls, 32);
        if (lstrcmpiW(cls, u"Button") == 0) out.push_back(c);
    }
    return out;
}

HWND ButtonLabelled(HWND box, const char16_t* label) {
    for (HWND b : Buttons(box))
        if (TextOf(b) == label) return b;
    return nullptr;
}

Step TapLabel(const char16_t* label) {
    return [label](HWND box) {
        HWND b = ButtonLabelled(box, label);
        ASSERT_NE(b, nullptr) << "no button";
        TapWindow(b);
    };
}

Step ExpectLabels(std::vector<std::u16string> labels, std::u16string focused) {
    return [labels, focused](HWND box) {
        std::vector<std::u16string> got;
        for (HWND b : Buttons(box)) got.push_back(TextOf(b));
        EXPECT_EQ(got, labels);
        EXPECT_EQ(TextOf(GetFocus()), focused);
        HWND def = GetFocus();
        EXPECT_EQ(GetWindowLongW(def, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
        EXPECT_EQ(LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0)), GetDlgCtrlID(def));
    };
}

class MessageBoxTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        owner_ = Top(0, 26, 240, 294);
        ASSERT_NE(owner_, nullptr);
        Pump();
        platform::TakeBeepLog();
    }
    HWND owner_ = nullptr;
};

TEST_F(MessageBoxTest, ButtonsDefaultsAndKeys) {
    const std::vector<std::u16string> ok = {u"OK"}, okCancel = {u"OK", u"Cancel"}, yesNo = {u"&Yes", u"&No"},
                                      yesNoCancel = {u"&Yes", u"&No", u"Cancel"},
                                      retryCancel = {u"&Retry", u"Cancel"},
                                      abortRetryIgnore = {u"&Abort", u"&Retry", u"&Ignore"};
    const Step closeBox = Do([](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
    const struct Row {
        const char* what;
        UINT type;
        std::vector<Step> steps;
        int expected;
    } rows[] = {
        {"OK: Enter", MB_OK, {ExpectLabels(ok, u"OK"), Key(VK_RETURN)}, IDOK},
        {"OK: Escape answers OK", MB_OK, {Key(VK_ESCAPE)}, IDOK},
        {"OK: closing answers OK", MB_OK, {closeBox}, IDOK},
        {"OK/Cancel: Escape", MB_OKCANCEL, {ExpectLabels(okCancel, u"OK"), Key(VK_ESCAPE)}, IDCANCEL},
        {"OK/Cancel, second default: Enter", MB_OKCANCEL | MB_DEFBUTTON2,
         {ExpectLabels(okCancel, u"Cancel"), Key(VK_RETURN)}, IDCANCEL},
        {"Yes/No: Escape and closing do nothing", MB_YESNO,
         {ExpectLabels(yesNo, u"&Yes"), Key(VK_ESCAPE), closeBox, Key(VK_RETURN)}, IDYES},
        {"Yes/No, second default: Enter", MB_YESNO | MB_DEFBUTTON2, {ExpectLabels(yesNo, u"&No"), Key(VK_RETURN)},
         IDNO},
        {"Yes/No: a tap on No", MB_YESNO, {TapLabel(u"&No")}, IDNO},
        {"Yes/No: the mnemonic of No", MB_YESNO, {Text(u"n")}, IDNO},
        {"Yes/No/Cancel: Tab then Enter", MB_YESNOCANCEL,
         {ExpectLabels(yesNoCancel, u"&Yes"), Key(VK_TAB), Key(VK_RETURN)}, IDNO},
        {"Yes/No/Cancel, third default: Escape", MB_YESNOCANCEL | MB_DEFBUTTON3,
         {ExpectLabels(yesNoCancel, u"Cancel"), Key(VK_ESCAPE)}, IDCANCEL},
        {"Retry/Cancel: the mnemonic of Retry", MB_RETRYCANCEL, {ExpectLabels(retryCancel, u"&Retry"), Text(u"r")},
         IDRETRY},
        {"Abort/Retry/Ignore, third default", MB_ABORTRETRYIGNORE | MB_DEFBUTTON3,
         {ExpectLabels(abortRetryIgnore, u"&Ignore"), Key(VK_RETURN)}, IDIGNORE},
        {"a default beyond the buttons is the first", MB_ABORTRETRYIGNORE | MB_DEFBUTTON4, {Key(VK_RETURN)},
         IDABORT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<Step> steps = row.steps;
        steps.insert(steps.begin(), Do([&](HWND box) {
            EXPECT_FALSE(IsWindowEnabled(owner_));
            WCHAR cls[16];
            GetClassNameW(box, cls, 16);
            EXPECT_EQ(std::u16string(cls), WC_DIALOG);
        }));
        EXPECT_EQ(RunBox(owner_, u"Continue?", u"Question", row.type, steps), row.expected);
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_EQ(GetActiveWindow(), owner_);
    }
}

TEST_F(MessageBoxTest, LayoutIsCentredWithTheTextAboveTheButtons) {
    const char16_t* longText =
        u"The image could not be opened because the file is damaged or it is in a format that this "
        u"program does not know. Try another file.";
    for (const char16_t* text : {u"Short", longText}) {
        SCOPED_TRACE(std::string(text, text + 5));
        int result = RunBox(owner_, text, u"Layout", MB_OKCANCEL | MB_ICONASTERISK,
                            {Do([&](HWND box) {
                                 RECT r, client;
                                 GetWindowRect(box, &r);
                                 GetClientRect(box, &client);
                                 EXPECT_LE(std::abs(r.left + r.right - GetSystemMetrics(SM_CXSCREEN)), 1);
                                 EXPECT_LE(std::abs(r.top + r.bottom - GetSystemMetrics(SM_CYSCREEN)), 1);
                                 EXPECT_GE(r.left, 0);
                                 EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
                                 WCHAR title[32];
                                 GetWindowTextW(box, title, 32);
                                 EXPECT_EQ(std::u16string(title), u"Layout");

                                 HWND label = GetDlgItem(box, 0xFFFF);
                                 ASSERT_NE(label, nullptr);
                                 EXPECT_EQ(TextOf(label).substr(0, 5), std::u16string(text).substr(0, 5));
                                 RECT textRect;
                                 GetWindowRect(label, &textRect);
                                 MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&textRect), 2);
                                 EXPECT_GE(textRect.left, 8 + GetSystemMetrics(SM_CXICON));  // right of the icon
                                 EXPECT_LE(textRect.right, client.right);
                                 if (text == longText) {
                                     EXPECT_GT(textRect.bottom - textRect.top, 30);  // wrapped
                                 }

                                 std::vector<HWND> buttons = Buttons(box);
                                 ASSERT_EQ(buttons.size(), 2u);
                                 RECT a, b;
                                 GetWindowRect(buttons[0], &a);
                                 GetWindowRect(buttons[1], &b);
                                 MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&a), 2);
                                 MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&b), 2);
                                 EXPECT_EQ(a.top, b.top);
                                 EXPECT_EQ(a.right - a.left, b.right - b.left);
                                 EXPECT_LT(a.right, b.left);
                                 EXPECT_GE(a.top, textRect.bottom);
                                 EXPECT_LE(b.bottom, client.bottom);
                                 // The pair is centred.
                                 EXPECT_LE(std::abs(a.left - (client.right - b.right)), 1);
                             }),
                             Key(VK_RETURN)});
        EXPECT_EQ(result, IDOK);
    }
}

TEST_F(MessageBoxTest, IconsAreDrawnAndSound) {
    const struct {
        UINT icon;
        POINT spot;  // client point inside the shape, away from its mark
        bool (*colour)(COLORREF);
    } rows[] = {
        {MB_ICONHAND, {13, 24}, [](COLORREF c) { return GetRValue(c) > 150 && GetGValue(c) < 60 && GetBValue(c) < 60; }},
        {MB_ICONQUESTION, {13, 24}, [](COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 60; }},
        {MB_ICONEXCLAMATION, {14, 36},
         [](COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) > 150 && GetBValue(c) < 60; }},
        {MB_ICONASTERISK, {13, 24}, [](COLORREF c) { return GetBValue(c) > 150 && GetRValue(c) < 60; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.icon);
        COLORREF seen = CLR_INVALID;
        COLORREF background = CLR_INVALID;
        RunBox(owner_, u"Icon", u"Icon", MB_OK | row.icon,
               {Do([&](HWND box) {
                    UpdateWindow(box);
                    POINT p = row.spot;
                    ClientToScreen(box, &p);
                    seen = gwes_test::ScreenPixel(p.x, p.y);
                    POINT q = {2, 2};
                    ClientToScreen(box, &q);
                    background = gwes_test::ScreenPixel(q.x, q.y);
                }),
                Key(VK_RETURN)});
        EXPECT_TRUE(row.colour(seen)) << std::hex << seen;
        EXPECT_EQ(background, GetSysColor(COLOR_STATIC));
        EXPECT_EQ(platform::TakeBeepLog(), std::vector<UINT>{row.icon});
    }
    // Without an icon the box is silent.
    RunBox(owner_, u"Quiet", nullptr, MB_OK, {Key(VK_RETURN)});
    EXPECT_TRUE(platform::TakeBeepLog().empty());
}

TEST_F(MessageBoxTest, CaptionDefaultsToError) {
    RunBox(nullptr, u"No owner", nullptr, MB_OK, {Do([](HWND box) {
                                                      WCHAR title[16];
                                                      GetWindowTextW(box, title, 16);
                                                      EXPECT_EQ(std::u16string(title), u"Error");
                                                      EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
                                                  }),
                                                  Key(VK_RETURN)});
}

TEST_F(MessageBoxTest, BadArgumentsFail) {
    SetLastError(0);
    EXPECT_EQ(MessageBoxW(owner_, u"x", u"y", 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MSGBOX_STYLE));
    EXPECT_EQ(MessageBoxW(reinterpret_cast<HWND>(0x7770), u"x", u"y", MB_OK | MB_ICONHAND), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(platform::TakeBeepLog().empty());
}

std::vector<UINT>* g_played = nullptr;

TEST_F(MessageBoxTest, MessageBeepIsLoggedAndPlayed) {
    std::vector<UINT> played;
    g_played = &played;
    platform::SetBeepPlayer([](UINT type) { g_played->push_back(type); });
    EXPECT_TRUE(MessageBeep(0xFFFFFFFF));
    EXPECT_TRUE(MessageBeep(MB_ICONHAND));
    EXPECT_TRUE(MessageBeep(MB_OK));
    platform::SetBeepPlayer(nullptr);
    MessageBeep(MB_ICONQUESTION);
    const std::vector<UINT> expected = {0xFFFFFFFFu, MB_ICONHAND, MB_OK};
    EXPECT_EQ(played, expected);
    const std::vector<UINT> logged = {0xFFFFFFFFu, MB_ICONHAND, MB_OK, MB_ICONQUESTION};
    EXPECT_EQ(platform::TakeBeepLog(), logged);
    EXPECT_TRUE(platform::TakeBeepLog().empty());
    g_played = nullptr;
    // The log keeps the latest beeps only.
    for (int i = 0; i < 300; ++i) MessageBeep(static_cast<UINT>(i));
    std::vector<UINT> last = platform::TakeBeepLog();
    ASSERT_EQ(last.size(), 256u);
    EXPECT_EQ(last.front(), 44u);
    EXPECT_EQ(last.back(), 299u);
}

}  // namespace
