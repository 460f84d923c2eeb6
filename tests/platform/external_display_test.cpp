// External displays: device contexts made from the VGA cards' display
// drivers (built into the program folder), the modes they take and refuse,
// drawing on them and closing them with their context.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "device_fixture.h"
#include "display/external_display.h"
#include "windows.h"

namespace {

class ExternalDisplayTest : public DeviceTest {
protected:
    void TearDown() override {
        unsetenv("KESTRAVA_VGA");
        EXPECT_EQ(platform::ExternalDisplayCount(), 0);
        DeviceTest::TearDown();
    }
    // The 5-6-5 pixel at (x, y) of the display last opened.
    static uint16_t Pixel(int x, int y) {
        auto display = platform::ExternalDisplays().back();
        const auto& fb = display->buffer;
        const uint8_t* p = fb.pixels.data() + static_cast<size_t>(y) * fb.pitch + 2 * static_cast<size_t>(x);
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
};

TEST_F(ExternalDisplayTest, DriversThatCannotOpenADisplayGiveNoContext) {
    struct Case {
        const char* name;
        LPCWSTR driver, device, output;
        const char* mode;  // KESTRAVA_VGA, or null
        DWORD error;
    } cases[] = {
        {"missing driver", u"NoSuchCard.dll", nullptr, nullptr, nullptr, ERROR_MOD_NOT_FOUND},
        {"no driver entry", u"KTestModule.dll", nullptr, nullptr, nullptr, ERROR_PROC_NOT_FOUND},
        {"Margi without its device", u"PresentertoGo.dll", u"lcd", u"PTG", nullptr, ERROR_NOT_SUPPORTED},
        {"Margi without its output", u"PresentertoGo.dll", u"crt", nullptr, nullptr, ERROR_NOT_SUPPORTED},
        {"no pixels", u"PCARDVGA.DLL", nullptr, nullptr, "0x0", ERROR_NOT_SUPPORTED},
        {"too large", u"PCARDVGA.DLL", nullptr, nullptr, "100000x100000", ERROR_NOT_SUPPORTED},
        {"no driver named", u"", nullptr, nullptr, nullptr, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        if (c.mode) {
            setenv("KESTRAVA_VGA", c.mode, 1);
        } else {
            unsetenv("KESTRAVA_VGA");
        }
        SetLastError(0);
        EXPECT_EQ(CreateDCW(c.driver, c.device, c.output, nullptr), nullptr) << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name;
        EXPECT_EQ(platform::ExternalDisplayCount(), 0) << c.name;
    }
}

TEST_F(ExternalDisplayTest, ACardsDisplayTakesDrawingAndClosesWithItsContext) {
    struct Case {
        LPCWSTR driver, device, output;
        const char* mode;
        int width, height;
    } cases[] = {
        {u"PresentertoGo.dll", u"crt", u"PTG", nullptr, 640, 480},
        {u"pcardvga.dll", nullptr, nullptr, "1024x768", 1024, 768},
    };
    for (const Case& c : cases) {
        if (c.mode) setenv("KESTRAVA_VGA", c.mode, 1);
        HDC dc = CreateDCW(c.driver, c.device, c.output, nullptr);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), c.width);
        EXPECT_EQ(GetDeviceCaps(dc, VERTRES), c.height);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
        EXPECT_EQ(Pixel(c.width - 1, c.height - 1), 0u);  // opens black

        // A 2x1 picture stretched over the right half.
        HDC memory = CreateCompatibleDC(dc);
        HBITMAP bitmap = CreateCompatibleBitmap(dc, 2, 1);
        ASSERT_NE(bitmap, nullptr);
        HGDIOBJ old = SelectObject(memory, bitmap);
        SetPixel(memory, 0, 0, RGB(255, 0, 0));
        SetPixel(memory, 1, 0, RGB(0, 0, 255));
        EXPECT_TRUE(StretchBlt(dc, c.width / 2, 0, c.width / 2, c.height, memory, 0, 0, 2, 1, SRCCOPY));
        EXPECT_EQ(Pixel(c.width / 2, 0), 0xF800u);
        EXPECT_EQ(Pixel(c.width - 1, c.height - 1), 0x001Fu);
        EXPECT_EQ(Pixel(0, 0), 0u);
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);

        // Nothing can be selected over the display.
        HBITMAP other = CreateCompatibleBitmap(dc, 4, 4);
        EXPECT_EQ(SelectObject(dc, other), nullptr);
        DeleteObject(other);

        EXPECT_TRUE(DeleteDC(dc));
        EXPECT_EQ(platform::ExternalDisplayCount(), 0);
        EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 0);
    }
}

}  // namespace
