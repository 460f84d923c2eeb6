// Registration of the bar controls' classes and the helpers they share.
#include "controls/bar_controls.h"

#include "controls/common_controls.h"

namespace bars {

void RegisterControlClass(LPCWSTR name, WNDPROC proc, UINT style) {
    WNDCLASSW wc = {};
    // A global class without an instance belongs to the layer: every module
    // finds it and nobody can unregister it.
    wc.style = style | CS_GLOBALCLASS;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = sizeof(void*);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    // Already registered by an earlier call: nothing to do.
    RegisterClassW(&wc);
}

LRESULT SendNotify(HWND from, NMHDR* header, UINT code, HWND target) {
    header->hwndFrom = from;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(from));
    header->code = code;
    if (!target) target = GetParent(from);
    if (!target) return 0;
    return SendMessageW(target, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

HFONT FontOr(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

HBRUSH ParentBackground(HWND hwnd, HDC dc) {
    HWND parent = GetParent(hwnd);
    HBRUSH brush = nullptr;
    if (parent)
        brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, WM_CTLCOLORSTATIC,
                                                      reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(hwnd)));
    return brush ? brush : GetSysColorBrush(COLOR_BTNFACE);
}

void FillSys(HDC dc, const RECT& rect, int sysColor) {
    FillRect(dc, &rect, GetSysColorBrush(sysColor));
}

void Line(HDC dc, int x0, int y0, int x1, int y1, COLORREF color) {
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
    SelectObject(dc, old);
    DeleteObject(pen);
}

std::u16string TextOrResource(HINSTANCE instance, LPCWSTR text) {
    if (!text) return {};
    if (IS_INTRESOURCE(text)) {
        const WCHAR* resource = nullptr;
        int n = LoadStringW(instance, static_cast<UINT>(reinterpret_cast<ULONG_PTR>(text)),
                            reinterpret_cast<LPWSTR>(&resource), 0);
        return n > 0 && resource ? std::u16string(resource, static_cast<size_t>(n))
                                 : std::u16string();
    }
    return std::u16string(text);
}

}  // namespace bars

void RegisterBarClasses() {
    bars::RegisterTrackbarClass();
    bars::RegisterProgressClass();
    bars::RegisterToolbarClass();
    bars::RegisterTooltipClass();
    bars::RegisterTabClass();
}
