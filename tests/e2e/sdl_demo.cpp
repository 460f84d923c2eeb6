// A small program for the sdl backend's end-to-end check. It paints a white
// window with a blue marker that the arrow keys move, a red square where the
// pen taps, a green band once the Action key is pressed and one black bar per
// typed letter. Typing 's' saves a screenshot to the path given on the
// command line, 'q' ends it. "--probe FILE X Y" prints a screenshot's pixel
// as RRGGBB instead, for the check script.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/display.h"
#include "windows.h"

namespace {

std::string g_shot;
std::string g_ready;
POINT g_marker = {10, 10};
std::vector<POINT> g_taps;
bool g_action = false;
int g_letters = 0;

void Fill(HDC dc, int l, int t, int r, int b, COLORREF color) {
    RECT rect = {l, t, r, b};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        for (const POINT& p : g_taps) Fill(dc, p.x - 5, p.y - 5, p.x + 5, p.y + 5, RGB(255, 0, 0));
        Fill(dc, g_marker.x, g_marker.y, g_marker.x + 10, g_marker.y + 10, RGB(0, 0, 255));
        if (g_action) Fill(dc, 0, 270, 240, 290, RGB(0, 255, 0));
        for (int i = 0; i < g_letters; ++i) Fill(dc, 200 + i * 6, 100, 204 + i * 6, 120, RGB(0, 0, 0));
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        g_taps.push_back({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_KEYDOWN: {
        int dx = wParam == VK_RIGHT ? 20 : wParam == VK_LEFT ? -20 : 0;
        int dy = wParam == VK_DOWN ? 20 : wParam == VK_UP ? -20 : 0;
        g_marker.x += dx;
        g_marker.y += dy;
        if (wParam == VK_RETURN) g_action = true;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_CHAR:
        if (wParam == 's') {
            UpdateWindow(hwnd);
            platform::SaveScreenshot(g_shot);
        } else if (wParam == 'q') {
            DestroyWindow(hwnd);
        } else if (wParam >= 'a' && wParam <= 'z') {
            ++g_letters;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

int Probe(const char* file, int x, int y) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!platform::LoadScreenshot(file, &w, &h, &rgb) || x < 0 || y < 0 || x >= w || y >= h) return 2;
    const uint8_t* p = rgb.data() + (static_cast<size_t>(y) * w + x) * 3;
    std::printf("%02x%02x%02x\n", p[0], p[1], p[2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--probe") return Probe(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    if (!platform::StartDisplay(&argc, argv) || argc != 3) {
        std::fprintf(stderr, "usage: kestrava_sdl_demo [platform options] SHOT.png READY-FILE\n");
        return 2;
    }
    g_shot = argv[1];
    g_ready = argv[2];
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DemoProc;
    wc.lpszClassName = u"KestravaSdlDemo";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, u"KestravaSdlDemo", u"demo", WS_VISIBLE, 0, 26, 240, 294, nullptr, nullptr,
                             nullptr, nullptr);
    if (!w) return 3;
    UpdateWindow(w);
    std::ofstream(g_ready) << platform::DisplayBackendName() << "\n";
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    platform::StopDisplay();
    return 0;
}
