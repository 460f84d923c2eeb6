// Top-level frames: class, menu bar, content fitting and the single quit.
#include "app/frame_window.h"

#include <aygshell.h>

#include <algorithm>
#include <cstdlib>

#include "app/shell_helpers.h"

namespace {
// The input panel state a frame had when it was deactivated.
SIPINFO g_savedPanel = {};
constexpr UINT kCommandClose = 57665;
}  // namespace

int StripImageCount(HINSTANCE instance, int bitmapId) {
    HBITMAP strip = LoadBitmapW(instance, MAKEINTRESOURCEW(bitmapId));
    if (!strip) return 0;
    BITMAP bits = {};
    int count = 0;
    // The images are square: as many as the strip's height fits its width.
    if (GetObjectW(strip, sizeof bits, &bits) && bits.bmHeight != 0) {
        count = bits.bmWidth / std::abs(bits.bmHeight);
    }
    DeleteObject(strip);
    return count;
}

FrameWindow::~FrameWindow() {
    if (classAtom_) UnregisterClassW(className_, instance_);
}

bool FrameWindow::Create(HINSTANCE instance, LPCWSTR className, int resourceId, LPCWSTR title) {
    instance_ = instance ? instance : AppInstance();
    resourceId_ = resourceId;
    lstrcpynW(className_, className, 48);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &WindowBase::SharedProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(resourceId));
    wc.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
    wc.lpszClassName = className_;
    classAtom_ = RegisterClassW(&wc);
    if (!classAtom_) return false;
    HWND hwnd = CreateWindowExW(0, className_, title ? title : u"", WS_VISIBLE, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                instance_, this);
    return hwnd != nullptr;
}

int FrameWindow::OnCreate(CREATESTRUCTW*) {
    if (!BuildMenuBar(resourceId_, 0, nullptr, 0, nullptr, 0)) return -1;
    HICON icon = LoadIconW(instance_, MAKEINTRESOURCEW(resourceId_));
    if (icon) {
        SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    return 0;
}

bool FrameWindow::BuildMenuBar(int menuId, int bitmapId, const TBBUTTON* buttons, int buttonCount,
                               LPCWSTR* tooltips, int tooltipCount) {
    HWND bar = bar_.Create(instance_, hwnd_, menuId);
    if (!bar) return false;
    if (tooltips && tooltipCount > 0) {
        SendMessageW(bar, TB_SETTOOLTIPS, (WPARAM)tooltipCount, reinterpret_cast<LPARAM>(tooltips));
    }
    if (bitmapId && buttonCount > 0) {
        // Every image of the strip, not one per button: buttons switch to
        // images further along it (the video bar's enabled Last is its
        // twelfth image for ten buttons).
        TBADDBITMAP bitmap = {instance_, (UINT_PTR)bitmapId};
        const int images = std::max(buttonCount, StripImageCount(instance_, bitmapId));
        SendMessageW(bar, TB_ADDBITMAP, (WPARAM)images, reinterpret_cast<LPARAM>(&bitmap));
    }
    if (buttons && buttonCount > 0) {
        SendMessageW(bar, TB_ADDBUTTONSW, (WPARAM)buttonCount, reinterpret_cast<LPARAM>(buttons));
    }
    InvalidateRect(hwnd_, nullptr, TRUE);
    return true;
}

bool FrameWindow::OnFrameNotify(int, NMHDR*, LRESULT*) { return false; }

bool FrameWindow::OnCommand(WPARAM wParam, LPARAM) {
    UINT id = LOWORD(wParam);
    if (id == kCommandClose || id == 8) {
        DestroyWindow(hwnd_);
        return true;
    }
    return false;
}

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (content_) {
            bar_.FitContent(content_);
            return 1;
        }
        break;
    case WM_ACTIVATE:
        g_savedPanel.cbSize = sizeof(g_savedPanel);
        if (LOWORD(wParam) == WA_INACTIVE) {
            SHSipInfo(SPI_GETSIPINFO, 0, &g_savedPanel, 0);
        } else if (g_savedPanel.cbSize == sizeof(g_savedPanel)) {
            SHSipInfo(SPI_SETSIPINFO, 0, &g_savedPanel, 0);
        }
        break;
    case WM_CLOSE: {
        // The object may be gone once the window is: nothing after it.
        HWND hwnd = hwnd_;
        SetInputPanel(hwnd, false);
        bar_.Destroy();
        DestroyWindow(hwnd);
        return 0;
    }
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETSIPINFO) FitToVisibleDesktop(hwnd_);
        break;
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (content_ && header && OnFrameNotify((int)header->idFrom, header, &result)) return result;
        break;
    }
    case MSG_DETACH:
        WindowBase::WindowProc(message, wParam, lParam);
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}
