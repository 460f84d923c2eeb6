// The caret: one for the device, owned by one window, drawn by inverting its
// rectangle in the owner's client area. It does not blink, so screenshots are
// stable. It starts hidden; ShowCaret and HideCaret count, as on the desktop
// system. The owner hides it while it paints (the inversion must be undone
// over the same pixels it was made on) and shows it again afterwards.
#include <mutex>

#include "windows.h"

namespace {

struct Caret {
    HWND owner = nullptr;
    int width = 0;
    int height = 0;
    POINT pos = {0, 0};
    int hidden = 1;      // ShowCaret calls still needed before it shows
    bool drawn = false;  // the inversion is on the screen now
    UINT blinkTime = 500;
};

std::recursive_mutex g_caretLock;  // taken before the window lock, never inside it
Caret g_caret;

void Invert(const Caret& c) {
    HDC dc = GetDC(c.owner);
    if (!dc) return;
    PatBlt(dc, c.pos.x, c.pos.y, c.width, c.height, DSTINVERT);
    ReleaseDC(c.owner, dc);
}

void Erase(Caret& c) {
    if (!c.drawn) return;
    c.drawn = false;
    if (IsWindow(c.owner)) Invert(c);
}

void Draw(Caret& c) {
    if (c.drawn || c.hidden > 0 || !c.owner || !IsWindowVisible(c.owner)) return;
    c.drawn = true;
    Invert(c);
}

bool OwnedByCaller(const Caret& c, HWND hwnd) {
    if (!c.owner || !IsWindow(c.owner)) return false;
    if (hwnd) return hwnd == c.owner;
    return GetWindowThreadProcessId(c.owner, nullptr) == GetCurrentThreadId();
}

}  // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP bitmap, int width, int height) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    Erase(g_caret);
    UINT blink = g_caret.blinkTime;
    g_caret = Caret();
    g_caret.blinkTime = blink;
    g_caret.owner = hwnd;
    // A bitmap caret takes the bitmap's size; (HBITMAP)1, the grey caret, is
    // drawn like a solid one.
    BITMAP bm;
    if (bitmap && bitmap != reinterpret_cast<HBITMAP>(1) && GetObjectW(bitmap, sizeof bm, &bm)) {
        width = bm.bmWidth;
        height = bm.bmHeight;
    }
    g_caret.width = width > 0 ? width : GetSystemMetrics(SM_CXBORDER);
    g_caret.height = height > 0 ? height : GetSystemMetrics(SM_CYBORDER);
    return TRUE;
}

BOOL DestroyCaret(void) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    if (!g_caret.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Erase(g_caret);
    g_caret.owner = nullptr;
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    if (!OwnedByCaller(g_caret, hwnd)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    Erase(g_caret);
    ++g_caret.hidden;
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    if (!OwnedByCaller(g_caret, hwnd) || g_caret.hidden == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    --g_caret.hidden;
    Draw(g_caret);
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    if (!g_caret.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (g_caret.pos.x == x && g_caret.pos.y == y) return TRUE;
    Erase(g_caret);
    g_caret.pos = {x, y};
    Draw(g_caret);
    return TRUE;
}

BOOL GetCaretPos(LPPOINT point) {
    if (!point) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    if (!g_caret.owner) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    *point = g_caret.pos;
    return TRUE;
}

UINT GetCaretBlinkTime(void) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    return g_caret.blinkTime;
}

BOOL SetCaretBlinkTime(UINT milliseconds) {
    std::lock_guard<std::recursive_mutex> guard(g_caretLock);
    g_caret.blinkTime = milliseconds;
    return TRUE;
}
