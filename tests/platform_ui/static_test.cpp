// The static control: text placement for each alignment style, word wrap,
// the parent's colours, images set by STM_SETIMAGE, filled and framed
// rectangles, SS_NOTIFY taps, and taps passing through a plain static.
#include <gtest/gtest.h>

#include <cstdlib>

#include "controls_fixture.h"

using namespace controls_test;

namespace {

class StaticTest : public ControlTest {
protected:
    HWND Static(DWORD style, const WCHAR* text, int x = 10, int y = 10, int w = 200, int h = 40, int id = 200) {
        return Make(u"STATIC", style, id, x, y, w, h, text);
    }
    // Glyph edges are blended: a pixel counts as ink when it is close to it.
    static bool Near(COLORREF a, COLORREF b) {
        return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
                   std::abs(GetBValue(a) - GetBValue(b)) < 120;
    }
    // The first and last columns (and rows) that show text-coloured pixels.
    static RECT InkBox(HWND hwnd, COLORREF ink) {
        RECT c = ClientRect(hwnd);
        RECT box = {c.right, c.bottom, -1, -1};
        for (int y = 0; y < c.bottom; ++y)
            for (int x = 0; x < c.right; ++x)
                if (Near(PixelAt(hwnd, x, y), ink)) {
                    box.left = std::min<LONG>(box.left, x);
                    box.right = std::max<LONG>(box.right, x);
                    box.top = std::min<LONG>(box.top, y);
                    box.bottom = std::max<LONG>(box.bottom, y);
                }
        return box;
    }
    static bool AnyPixelOtherThan(HWND hwnd, RECT r, COLORREF background) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (PixelAt(hwnd, x, y) != background) return true;
        return false;
    }
};

TEST_F(StaticTest, AlignmentStylesPlaceTheText) {
    const COLORREF ink = RGB(0, 0, 0);
    HWND left = Static(SS_LEFT, u"Hi", 10, 10, 200, 20, 1);
    HWND center = Static(SS_CENTER, u"Hi", 10, 40, 200, 20, 2);
    HWND right = Static(SS_RIGHT, u"Hi", 10, 70, 200, 20, 3);
    RECT l = InkBox(left, ink), c = InkBox(center, ink), r = InkBox(right, ink);
    ASSERT_GE(l.right, 0);
    int width = l.right - l.left;
    EXPECT_LE(l.left, 2);
    EXPECT_GE(r.right, 196);
    EXPECT_EQ(r.right - r.left, width);
    EXPECT_NEAR((c.left + c.right) / 2, 100, 3);
    EXPECT_EQ(SendMessageW(left, WM_GETDLGCODE, 0, 0), DLGC_STATIC);
}

TEST_F(StaticTest, LeftStaticWrapsWordsAndNoWordWrapDoesNot) {
    const COLORREF ink = RGB(0, 0, 0);
    const WCHAR* text = u"several words that cannot fit";
    HWND wrap = Static(SS_LEFT, text, 10, 10, 60, 80, 1);
    HWND nowrap = Static(SS_LEFTNOWORDWRAP, text, 10, 100, 60, 80, 2);
    RECT w = InkBox(wrap, ink), n = InkBox(nowrap, ink);
    int line = 14;  // more than one line's height apart
    EXPECT_GT(w.bottom - w.top, line);
    EXPECT_LT(n.bottom - n.top, line);
    EXPECT_GE(n.right, 58);  // cut at the edge instead
}

TEST_F(StaticTest, ParentColoursTheStatic) {
    ParentAnswers().brush = CreateSolidBrush(RGB(255, 255, 0));
    ParentAnswers().textColor = RGB(0, 0, 255);
    HWND s = Static(SS_LEFT, u"Blue", 10, 10, 100, 20);
    EXPECT_GT(Count(WM_CTLCOLORSTATIC, s), 0);
    EXPECT_EQ(PixelAt(s, 90, 10), RGB(255, 255, 0));
    EXPECT_NE(InkBox(s, RGB(0, 0, 255)).right, -1);

    // Disabled text is grey whatever the parent says.
    EnableWindow(s, FALSE);
    UpdateWindow(s);
    EXPECT_EQ(InkBox(s, RGB(0, 0, 255)).right, -1);
    RECT text = {0, 0, 40, 20};
    EXPECT_TRUE(AnyPixelOtherThan(s, text, RGB(255, 255, 0)));
}

TEST_F(StaticTest, BitmapStaticTakesItsImageSize) {
    HWND s = Static(SS_BITMAP, u"", 10, 10, 100, 100);
    // A 6x4 red bitmap.
    HDC screen = GetDC(nullptr);
    HBITMAP red = CreateCompatibleBitmap(screen, 6, 4);
    HDC mem = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(mem, red);
    RECT all = {0, 0, 6, 4};
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(mem, &all, brush);
    DeleteObject(brush);
    SelectObject(mem, old);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);

    EXPECT_EQ(SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(red)), 0);
    EXPECT_EQ(reinterpret_cast<HBITMAP>(SendMessageW(s, STM_GETIMAGE, IMAGE_BITMAP, 0)), red);
    EXPECT_EQ(SendMessageW(s, STM_GETIMAGE, IMAGE_ICON, 0), 0);
    RECT c = ClientRect(s);
    EXPECT_EQ(c.right, 6);
    EXPECT_EQ(c.bottom, 4);
    Pump();
    EXPECT_EQ(PixelAt(s, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(s, 5, 3), RGB(255, 0, 0));
    // Replacing it hands the old one back.
    EXPECT_EQ(reinterpret_cast<HBITMAP>(SendMessageW(s, STM_SETIMAGE, IMAGE_BITMAP, 0)), red);
    DestroyWindow(s);
    DeleteObject(red);
}

TEST_F(StaticTest, RectanglesAndFramesUseTheirColours) {
    struct Case {
        DWORD style;
        COLORREF inside;
        COLORREF edge;
    } cases[] = {
        {SS_BLACKRECT, RGB(0, 0, 0), RGB(0, 0, 0)},
        {SS_WHITERECT, RGB(255, 255, 255), RGB(255, 255, 255)},
        {SS_BLACKFRAME, RGB(0, 255, 0), RGB(0, 0, 0)},
    };
    ParentAnswers().brush = CreateSolidBrush(RGB(0, 255, 0));
    for (const Case& c : cases) {
        HWND s = Static(c.style, u"", 10, 10, 30, 20);
        EXPECT_EQ(PixelAt(s, 15, 10), c.inside) << c.style;
        EXPECT_EQ(PixelAt(s, 0, 10), c.edge) << c.style;
        DestroyWindow(s);
    }
}

TEST_F(StaticTest, NotifyStyleReportsTapsAndPlainStaticsPassThemOn) {
    HWND notify = Static(SS_LEFT | SS_NOTIFY, u"tap me", 10, 10, 100, 20, 5);
    HWND plain = Static(SS_LEFT, u"not me", 10, 50, 100, 20, 6);
    Tap(notify, 5, 5);
    EXPECT_EQ(Codes(WM_COMMAND, notify), std::vector<int>{STN_CLICKED});
    Notes().clear();
    Tap(notify, 5, 5);  // the second tap of a double tap
    EXPECT_EQ(Codes(WM_COMMAND, notify), std::vector<int>{STN_DBLCLK});
    EXPECT_EQ(Count(WM_LBUTTONDOWN), 0);

    Notes().clear();
    Tap(plain, 7, 4);
    EXPECT_EQ(Count(WM_COMMAND), 0);
    std::vector<Note> downs = Taken(WM_LBUTTONDOWN);
    ASSERT_EQ(downs.size(), 1u);
    // In the parent's coordinates.
    EXPECT_EQ(GET_X_LPARAM(downs[0].pos), 17);
    EXPECT_EQ(GET_Y_LPARAM(downs[0].pos), 54);
    EXPECT_EQ(Count(WM_LBUTTONUP), 1);
}

TEST_F(StaticTest, SetTextRepaints) {
    HWND s = Static(SS_LEFT, u"", 10, 10, 100, 20);
    EXPECT_EQ(InkBox(s, RGB(0, 0, 0)).right, -1);
    SetWindowTextW(s, u"Now");
    Pump();
    EXPECT_NE(InkBox(s, RGB(0, 0, 0)).right, -1);
    EXPECT_EQ(Text(s), u"Now");
}

}  // namespace
