// The colour palette popup: layout, painting and the pen.
#include "app/colour_palette.h"

// clang-format off
const COLORREF ColourPalette::kColours[kColourCount] = {
    0xFFFFFFFF, 0x000000, 0x404040, 0x808080, 0xA0A0A0, 0xC0C0C0, 0xE0E0E0, 0xFFFFFF,
    0x8080FF,   0xBBFFFF, 0xBBFFBB, 0x80FF00, 0xFFFFBF, 0xFF8000, 0xE2C6FF, 0xFF80FF,
    0x0000FF,   0x00FFFF, 0x00FF80, 0x33CC00, 0xFFFF00, 0xC08000, 0xC08080, 0xFF00FF,
    0x404080,   0x95B8FF, 0x009600, 0x808000, 0x804000, 0xFF8080, 0x400080, 0x8000FF,
    0x000080,   0x0080FF, 0x008000, 0x408000, 0xFF0000, 0xA00000, 0x800080, 0x800080,
    0x000040,   0x004080, 0x004000, 0x404000, 0x800000, 0x400000, 0x400040, 0x800040,
};
// clang-format on

ColourPalette::ColourPalette(HWND parent, const RECT& anchor, bool background, COLORREF current)
    : DialogBase(kTemplateId, parent), anchor_(anchor), background_(background), colour_(current) {}

RECT ColourPalette::CellRect(int cell) {
    int x = kMargin + (cell % kColumns) * kPitch;
    int y = kMargin + (cell / kColumns) * kPitch;
    return RECT{x, y, x + kCell, y + kCell};
}

int ColourPalette::CellAt(int x, int y) const {
    if (x < kMargin || y < kMargin) return -1;
    int column = (x - kMargin) / kPitch, row = (y - kMargin) / kPitch;
    if (column >= kColumns || (x - kMargin) % kPitch >= kCell || (y - kMargin) % kPitch >= kCell)
        return -1;
    int cell = row * kColumns + column;
    return cell < CellCount() ? cell : -1;
}

RECT ColourPalette::Placement(const RECT& anchor, int rows, int screenWidth) {
    int left = anchor.left;
    if (left > screenWidth - kWidth) left = anchor.right - kWidth;
    return RECT{left, anchor.bottom, left + kWidth, anchor.bottom + rows * kPitch + 4};
}

LRESULT ColourPalette::OnInitDialog() {
    DialogBase::OnInitDialog();
    RECT r = Placement(anchor_, Rows(), GetSystemMetrics(SM_CXSCREEN));
    SetWindowPos(hwnd_, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOACTIVATE);
    // Every tap comes here, so that a tap outside closes the popup.
    SetCapture(hwnd_);
    return 1;
}

void ColourPalette::Paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left, client.top, client.right, client.bottom);
    for (int cell = 0; cell < CellCount(); ++cell) {
        RECT r = CellRect(cell);
        COLORREF colour = CellColour(cell);
        if (colour == kNoColour) {
            SelectObject(dc, GetStockObject(WHITE_BRUSH));
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
            POINT cross[2] = {{r.left, r.top}, {r.right - 1, r.bottom - 1}};
            Polyline(dc, cross, 2);
            cross[0] = {r.right - 1, r.top};
            cross[1] = {r.left, r.bottom - 1};
            Polyline(dc, cross, 2);
            continue;
        }
        HBRUSH brush = CreateSolidBrush(colour);
        SelectObject(dc, brush);
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        DeleteObject(brush);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
}

LRESULT ColourPalette::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            Paint(dc);
            EndPaint(hwnd_, &ps);
            return 1;
        }
        case WM_LBUTTONDOWN: {
            // Captured: the point may lie outside the popup (negative too).
            int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
            RECT client;
            GetClientRect(hwnd_, &client);
            POINT p = {x, y};
            int cell = PtInRect(&client, p) ? CellAt(x, y) : -1;
            ReleaseCapture();
            if (cell >= 0) {
                colour_ = CellColour(cell);
                End(IDOK);
            } else {
                End(IDCANCEL);
            }
            return 1;
        }
        default:
            return DialogBase::WindowProc(message, wParam, lParam);
    }
}

bool ColourPalette::Pick(HWND parent, HWND button, bool background, COLORREF* colour) {
    RECT anchor = {};
    if (button) GetWindowRect(button, &anchor);
    ColourPalette palette(parent, anchor, background, colour ? *colour : 0);
    if (palette.DoModal() != IDOK) return false;
    if (colour) *colour = palette.Colour();
    return true;
}
