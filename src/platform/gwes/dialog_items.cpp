// Dialog items by id: text and numbers, check boxes and radio buttons, and
// messages to an item. Everything goes through the control's own messages
// (WM_SETTEXT, WM_GETTEXT, BM_SETCHECK, BM_GETCHECK), so these work on any
// window's children, dialog or not.
#include <cstdint>

#include "windows.h"

namespace {

HWND ItemOrError(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    if (!item && IsWindow(dialog)) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return item;
}

}  // namespace

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND item = ItemOrError(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
    HWND item = ItemOrError(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount) {
    if (text && maxCount > 0) text[0] = 0;
    HWND item = ItemOrError(dialog, id);
    if (!item) return 0;
    int n = GetWindowTextW(item, text, maxCount);
    return n > 0 ? static_cast<UINT>(n) : 0;
}

BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned) {
    WCHAR text[16];
    if (isSigned) wsprintfW(text, u"%d", static_cast<int>(value));
    else wsprintfW(text, u"%u", value);
    return SetDlgItemTextW(dialog, id, text);
}

// Leading blanks are skipped, then an optional minus sign (signed only) and
// at least one digit; reading stops at the first other character. A value
// outside INT (signed) or UINT (unsigned) is not translated.
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned) {
    if (translated) *translated = FALSE;
    WCHAR text[64];
    if (GetDlgItemTextW(dialog, id, text, 64) == 0) return 0;
    const WCHAR* p = text;
    while (*p == u' ' || *p == u'\t') ++p;
    bool negative = false;
    if (isSigned && (*p == u'-' || *p == u'+')) negative = *p++ == u'-';
    if (*p < u'0' || *p > u'9') return 0;
    const uint64_t limit = isSigned ? (negative ? 0x80000000ull : 0x7FFFFFFFull) : 0xFFFFFFFFull;
    uint64_t value = 0;
    for (; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + static_cast<uint64_t>(*p - u'0');
        if (value > limit) return 0;
    }
    if (translated) *translated = TRUE;
    if (negative) return static_cast<UINT>(0u - static_cast<UINT>(value));
    return static_cast<UINT>(value);
}

BOOL CheckDlgButton(HWND dialog, int id, UINT check) {
    HWND item = ItemOrError(dialog, id);
    if (!item) return FALSE;
    SendMessageW(item, BM_SETCHECK, check, 0);
    return TRUE;
}

UINT IsDlgButtonChecked(HWND dialog, int id) {
    return static_cast<UINT>(SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0));
}

// Checks one button of a group by id and unchecks the others whose ids lie in
// [firstId, lastId], among the dialog's direct children.
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId) {
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(c);
        if (id < firstId || id > lastId) continue;
        SendMessageW(c, BM_SETCHECK, id == checkId ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    return TRUE;
}
