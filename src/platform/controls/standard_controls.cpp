// Registration of the standard control classes and the helpers they share:
// notifications, the colour question to the parent, fonts and measuring.
#include "controls/standard_controls.h"

#include "gwes/window_manager.h"

namespace controls {

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

int ControlId(HWND hwnd) { return static_cast<int>(GetWindowLongPtrW(hwnd, GWL_ID)); }

HWND NotifyTarget(HWND hwnd) { return GetParent(hwnd); }

void Notify(HWND hwnd, UINT code) {
    HWND parent = NotifyTarget(hwnd);
    if (!parent) return;
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(ControlId(hwnd) & 0xFFFF, code),
                 reinterpret_cast<LPARAM>(hwnd));
}

HBRUSH ControlColor(HWND hwnd, HDC dc, UINT ctlColorMessage) {
    HWND parent = (Style(hwnd) & WS_CHILD) ? GetParent(hwnd) : nullptr;
    WPARAM w = reinterpret_cast<WPARAM>(dc);
    LPARAM l = reinterpret_cast<LPARAM>(hwnd);
    HBRUSH brush = nullptr;
    if (parent) brush = reinterpret_cast<HBRUSH>(SendMessageW(parent, ctlColorMessage, w, l));
    if (!brush) brush = reinterpret_cast<HBRUSH>(DefWindowProcW(parent ? parent : hwnd, ctlColorMessage, w, l));
    return brush;
}

bool HasClass(HWND hwnd, const WCHAR* className) {
    WCHAR name[32];
    if (GetClassNameW(hwnd, name, 32) == 0) return false;
    return lstrcmpiW(name, className) == 0;
}

std::u16string WindowText(HWND hwnd) {
    // The window manager's own copy, not WM_GETTEXT: controls keep it current.
    int n = static_cast<int>(DefWindowProcW(hwnd, WM_GETTEXTLENGTH, 0, 0));
    std::u16string text(static_cast<size_t>(n) + 1, u'\0');
    n = static_cast<int>(DefWindowProcW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(n));
    return text;
}

HFONT FontOrSystem(HFONT font) { return font ? font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

int LineHeight(HFONT font) {
    MeasureDC m(font);
    TEXTMETRICW tm;
    if (!GetTextMetricsW(m.dc(), &tm)) return 12;
    return tm.tmHeight;
}

MeasureDC::MeasureDC(HFONT font) : dc_(CreateCompatibleDC(nullptr)), old_(nullptr) {
    if (dc_) old_ = SelectObject(dc_, FontOrSystem(font));
}

MeasureDC::~MeasureDC() {
    if (!dc_) return;
    if (old_) SelectObject(dc_, old_);
    DeleteDC(dc_);
}

int MeasureDC::Width(const WCHAR* text, int count) const {
    if (count <= 0 || !dc_) return 0;
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc_, text, count, &size);
    return size.cx;
}

}  // namespace controls

namespace gwes {

namespace {

struct SystemClass {
    const WCHAR* name;
    WNDPROC proc;
    UINT style;
    LPCWSTR cursor;
    WORD ordinal;  // how a dialog template names the class; 0 for none
};

}  // namespace

// Called by the class lookup (with the window lock held) before the first
// lookup, so programs and dialog templates find the controls without
// registering anything.
void RegisterSystemControlClasses() {
    static const SystemClass kClasses[] = {
        {u"Button", controls::ButtonProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0x0080},
        {u"Edit", controls::EditProc, CS_DBLCLKS, IDC_IBEAM, 0x0081},
        {u"Static", controls::StaticProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0x0082},
        {u"ListBox", controls::ListBoxProc, CS_DBLCLKS, IDC_ARROW, 0x0083},
        {u"ScrollBar", controls::ScrollBarProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0x0084},
        {u"ComboBox", controls::ComboBoxProc, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW, IDC_ARROW, 0x0085},
        {controls::kComboListClass, controls::ListBoxProc, CS_DBLCLKS | CS_SAVEBITS, IDC_ARROW, 0},
    };
    Guard guard(Lock());
    for (const SystemClass& c : kClasses) {
        WNDCLASSW wc = {};
        wc.style = c.style | CS_GLOBALCLASS;
        wc.lpfnWndProc = c.proc;
        wc.cbWndExtra = sizeof(void*);
        wc.hCursor = LoadCursorW(nullptr, c.cursor);
        wc.lpszClassName = c.name;
        if (!RegisterClassW(&wc)) continue;
        // Dialog templates name the classes by these small numbers; letting
        // them double as the atoms makes MAKEINTATOM(0x0080) find "Button".
        if (c.ordinal) {
            if (auto cls = FindClass(c.name, nullptr)) cls->atom = c.ordinal;
        }
    }
}

}  // namespace gwes
