// MessageBoxW: a modal dialog built in memory as a DLGTEMPLATE (a static with
// the text, one push button per answer) and laid out in pixels when it starts:
// the icon at the top left, the text beside it wrapped to fit the screen, the
// buttons centred in a row below; the box is centred on the screen. The icon
// is drawn by the box itself; the sound of the icon plays as the box opens.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "windows.h"

namespace {

constexpr int kTextId = 0xFFFF;  // the static with the message, as on the desktop system

struct ButtonSpec {
    int id;
    const char16_t* label;
};

struct BoxState {
    UINT type = 0;
    std::vector<ButtonSpec> buttons;
    RECT iconRect = {0, 0, 0, 0};
};

std::vector<ButtonSpec> ButtonsOf(UINT kind) {
    switch (kind) {
    case MB_OK: return {{IDOK, u"OK"}};
    case MB_OKCANCEL: return {{IDOK, u"OK"}, {IDCANCEL, u"Cancel"}};
    case MB_ABORTRETRYIGNORE: return {{IDABORT, u"&Abort"}, {IDRETRY, u"&Retry"}, {IDIGNORE, u"&Ignore"}};
    case MB_YESNOCANCEL: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}, {IDCANCEL, u"Cancel"}};
    case MB_YESNO: return {{IDYES, u"&Yes"}, {IDNO, u"&No"}};
    case MB_RETRYCANCEL: return {{IDRETRY, u"&Retry"}, {IDCANCEL, u"Cancel"}};
    default: return {};
    }
}

// Writes a DLGTEMPLATE: WORDs, items on DWORD boundaries.
class TemplateWriter {
public:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void String(const char16_t* s) {
        for (; s && *s; ++s) Word(static_cast<WORD>(*s));
        Word(0);
    }
    void AlignDword() {
        if (words_.size() % 2) Word(0);
    }
    void Item(DWORD style, WORD id, WORD classOrdinal, const char16_t* title) {
        AlignDword();
        Dword(style);
        Dword(0);                      // extended style
        for (int i = 0; i < 4; ++i) Word(0);  // laid out when the box starts
        Word(id);
        Word(0xFFFF);
        Word(classOrdinal);
        String(title);
        Word(0);  // no creation data
    }
    // The words live in a vector of DWORDs' worth, so the block starts on a
    // DWORD boundary as templates must.
    const DLGTEMPLATE* Data() {
        block_.assign((words_.size() + 1) / 2, 0);
        std::memcpy(block_.data(), words_.data(), words_.size() * sizeof(WORD));
        return reinterpret_cast<const DLGTEMPLATE*>(block_.data());
    }

private:
    std::vector<WORD> words_;
    std::vector<DWORD> block_;
};

int Scale() { return GetSystemMetrics(SM_CXBORDER); }  // 2 on double-density screens

// The four icons, drawn in the system's manner: a red stop sign with a white
// cross, a yellow warning triangle, and blue bubbles with "?" and "i".
void DrawBoxIcon(HDC dc, UINT icon, const RECT& r) {
    const int size = r.right - r.left;
    HPEN outline = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ oldPen = SelectObject(dc, outline);
    const char16_t* glyph = nullptr;
    COLORREF glyphColour = RGB(255, 255, 255);
    HBRUSH fill = nullptr;
    switch (icon) {
    case MB_ICONHAND: {
        fill = CreateSolidBrush(RGB(204, 0, 0));
        HGDIOBJ oldBrush = SelectObject(dc, fill);
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, oldBrush);
        HPEN cross = CreatePen(PS_SOLID, std::max(2, size / 10), RGB(255, 255, 255));
        SelectObject(dc, cross);
        int inset = size * 3 / 10;
        MoveToEx(dc, r.left + inset, r.top + inset, nullptr);
        LineTo(dc, r.right - inset, r.bottom - inset);
        MoveToEx(dc, r.right - inset, r.top + inset, nullptr);
        LineTo(dc, r.left + inset, r.bottom - inset);
        SelectObject(dc, outline);
        DeleteObject(cross);
        break;
    }
    case MB_ICONEXCLAMATION: {
        fill = CreateSolidBrush(RGB(255, 208, 0));
        HGDIOBJ oldBrush = SelectObject(dc, fill);
        POINT triangle[3] = {{r.left + size / 2, r.top}, {r.right - 1, r.bottom - 1}, {r.left, r.bottom - 1}};
        Polygon(dc, triangle, 3);
        SelectObject(dc, oldBrush);
        glyph = u"!";
        glyphColour = RGB(0, 0, 0);
        break;
    }
    case MB_ICONQUESTION:
    case MB_ICONASTERISK: {
        fill = CreateSolidBrush(RGB(0, 64, 192));
        HGDIOBJ oldBrush = SelectObject(dc, fill);
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, oldBrush);
        glyph = icon == MB_ICONQUESTION ? u"?" : u"i";
        break;
    }
    default: break;
    }
    if (glyph) {
        HFONT font = CreateFontW(-(size * 2 / 3), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0,
                                 VARIABLE_PITCH | FF_SWISS, u"Tahoma");
        HGDIOBJ oldFont = SelectObject(dc, font);
        int oldMode = SetBkMode(dc, TRANSPARENT);
        COLORREF oldColour = SetTextColor(dc, glyphColour);
        RECT text = r;
        if (icon == MB_ICONEXCLAMATION) text.top += size / 6;  // the triangle's weight is low
        DrawTextW(dc, glyph, 1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        SetTextColor(dc, oldColour);
        SetBkMode(dc, oldMode);
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    SelectObject(dc, oldPen);
    DeleteObject(outline);
    if (fill) DeleteObject(fill);
}

// The button label's width without its '&' marks.
int LabelWidth(HDC dc, const char16_t* label) {
    std::u16string plain;
    for (const char16_t* p = label; *p; ++p)
        if (*p != u'&') plain.push_back(*p);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, plain.c_str(), static_cast<int>(plain.size()), &size);
    return size.cx;
}

void LayOut(HWND box, BoxState& state) {
    const int s = Scale();
    const int margin = 8 * s;
    const int gap = 6 * s;
    HWND textWindow = GetDlgItem(box, kTextId);
    HDC dc = GetDC(box);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(textWindow, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW tm = {};
    GetTextMetricsW(dc, &tm);

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(box, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(box, GWL_EXSTYLE));
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    const int maxClientWidth = std::max(1, screenWidth - 2 * margin - frameWidth);

    const bool hasIcon = (state.type & MB_ICONMASK) != 0;
    const int icon = hasIcon ? GetSystemMetrics(SM_CXICON) : 0;
    const int iconPart = hasIcon ? icon + margin : 0;

    std::u16string text(static_cast<size_t>(GetWindowTextLengthW(textWindow)) + 1, u'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(textWindow, text.data(), static_cast<int>(text.size()))));
    RECT textRect = {0, 0, std::max(1, maxClientWidth - 2 * margin - iconPart), 0};
    UINT format = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect, format);
    int textWidth = textRect.right - textRect.left;
    int textHeight = std::max<int>(textRect.bottom - textRect.top, tm.tmHeight);

    int buttonWidth = 50 * s;
    for (const ButtonSpec& b : state.buttons) buttonWidth = std::max(buttonWidth, LabelWidth(dc, b.label) + 16 * s);
    const int buttonHeight = tm.tmHeight + 8 * s;
    const int count = static_cast<int>(state.buttons.size());
    const int rowWidth = count * buttonWidth + (count - 1) * gap;
    if (oldFont) SelectObject(dc, oldFont);
    ReleaseDC(box, dc);

    int clientWidth = std::min(maxClientWidth, std::max(iconPart + textWidth, rowWidth) + 2 * margin);
    const int contentHeight = std::max(textHeight, icon);
    int clientHeight = margin + contentHeight + margin + buttonHeight + margin;
    clientHeight = std::min(clientHeight, std::max(1, screenHeight - frameHeight));

    state.iconRect = {margin, margin, margin + icon, margin + icon};
    int textTop = margin + (icon > textHeight ? (icon - textHeight) / 2 : 0);
    MoveWindow(textWindow, margin + iconPart, textTop, clientWidth - 2 * margin - iconPart, textHeight, FALSE);
    int x = (clientWidth - rowWidth) / 2;
    const int y = clientHeight - margin - buttonHeight;
    for (const ButtonSpec& b : state.buttons) {
        MoveWindow(GetDlgItem(box, b.id), x, y, buttonWidth, buttonHeight, FALSE);
        x += buttonWidth + gap;
    }
    const int width = clientWidth + frameWidth, height = clientHeight + frameHeight;
    SetWindowPos(box, nullptr, (screenWidth - width) / 2, std::max(0, (screenHeight - height) / 2), width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

INT_PTR CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(box, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        state = reinterpret_cast<BoxState*>(lParam);
        SetWindowLongPtrW(box, DWLP_USER, lParam);
        LayOut(box, *state);
        size_t index = (state->type & MB_DEFMASK) >> 8;
        if (index >= state->buttons.size()) index = 0;
        int defId = state->buttons[index].id;
        SendMessageW(box, DM_SETDEFID, static_cast<WPARAM>(defId), 0);
        if (state->type & MB_SETFOREGROUND) SetForegroundWindow(box);
        SetFocus(GetDlgItem(box, defId));
        return FALSE;  // the focus is set
    }
    case WM_PAINT: {
        if (!state || !(state->type & MB_ICONMASK)) return FALSE;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(box, &ps);
        DrawBoxIcon(dc, state->type & MB_ICONMASK, state->iconRect);
        EndPaint(box, &ps);
        return TRUE;
    }
    case WM_COMMAND: {
        if (!state || HIWORD(wParam) != BN_CLICKED) return FALSE;
        int id = LOWORD(wParam);
        bool known = false;
        for (const ButtonSpec& b : state->buttons) known = known || b.id == id;
        // Escape (and closing) cancels a box with a Cancel button, answers
        // OK for a box with only OK, and does nothing otherwise.
        if (id == IDCANCEL && !known) {
            if ((state->type & MB_TYPEMASK) != MB_OK) return TRUE;
            id = IDOK;
            known = true;
        }
        if (known) EndDialog(box, id);
        return TRUE;
    }
    default: return FALSE;
    }
}

}  // namespace

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    BoxState state;
    state.type = type;
    state.buttons = ButtonsOf(type & MB_TYPEMASK);
    if (state.buttons.empty()) {
        SetLastError(ERROR_INVALID_MSGBOX_STYLE);
        return 0;
    }
    if (owner && !IsWindow(owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    const int count = static_cast<int>(state.buttons.size());
    size_t defIndex = (type & MB_DEFMASK) >> 8;
    if (defIndex >= state.buttons.size()) defIndex = 0;

    TemplateWriter w;
    w.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_NOIDLEMSG);
    w.Dword(type & MB_TOPMOST ? WS_EX_TOPMOST : 0);
    w.Word(static_cast<WORD>(count + 1));
    for (int i = 0; i < 4; ++i) w.Word(0);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.String(caption ? caption : u"Error");
    w.Item(WS_CHILD | WS_VISIBLE | SS_NOPREFIX | (type & MB_RIGHT ? SS_RIGHT : SS_LEFT), kTextId, 0x0082,
           text ? text : u"");
    for (int i = 0; i < count; ++i) {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | (i == 0 ? WS_GROUP : 0) |
                      (static_cast<size_t>(i) == defIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        w.Item(style, static_cast<WORD>(state.buttons[static_cast<size_t>(i)].id), 0x0080,
               state.buttons[static_cast<size_t>(i)].label);
    }
    if (type & MB_ICONMASK) MessageBeep(type & MB_ICONMASK);
    INT_PTR result = DialogBoxIndirectParamW(nullptr, w.Data(), owner, BoxProc, reinterpret_cast<LPARAM>(&state));
    return result > 0 ? static_cast<int>(result) : 0;
}
