// Dialogs from the program's resources, bound to their objects.
#include "app/dialog_base.h"

DialogBase::DialogBase(int templateId, HWND parent) : parent_(parent), templateId_(templateId) {
    isDialog_ = true;
}

DialogBase::~DialogBase() = default;

void DialogBase::OnFinalMessage() {
    if (modeless_) delete this;
}

LRESULT DialogBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CLOSE:
        End(IDCANCEL);
        return 1;
    case WM_CTLCOLORSTATIC:
        if (title_ && reinterpret_cast<HWND>(lParam) == title_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, kTitleColour);
            SetBkColor(dc, GetSysColor(COLOR_STATIC));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_STATIC));
        }
        return 0;
    default:
        return WindowBase::WindowProc(message, wParam, lParam);
    }
}

bool DialogBase::OnCommand(WPARAM wParam, LPARAM) {
    int id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL || id == 8) {
        End(id);
        return true;
    }
    return false;
}

LRESULT DialogBase::OnInitDialog() {
    title_ = GetDlgItem(hwnd_, kTitleControlId);
    return 1;
}

INT_PTR DialogBase::DoModal() {
    modeless_ = false;
    HINSTANCE instance = instance_ ? instance_ : AppInstance();
    instance_ = instance;
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId_), RT_DIALOG);
    if (!resource) return -1;
    auto* dialogTemplate = static_cast<LPCDLGTEMPLATEW>(LockResource(LoadResource(instance, resource)));
    if (!dialogTemplate) return -1;
    return DialogBoxIndirectParamW(instance, dialogTemplate, parent_,
                                   reinterpret_cast<DLGPROC>(&WindowBase::SharedProc),
                                   reinterpret_cast<LPARAM>(this));
}

HWND DialogBase::CreateModeless() {
    modeless_ = true;
    if (!instance_) instance_ = AppInstance();
    return CreateDialogParamW(instance_, MAKEINTRESOURCEW(templateId_), parent_,
                              reinterpret_cast<DLGPROC>(&WindowBase::SharedProc),
                              reinterpret_cast<LPARAM>(this));
}

void DialogBase::End(INT_PTR result) {
    if (modeless_) {
        DestroyWindow(hwnd_);
    } else {
        EndDialog(hwnd_, result);
    }
}

void DialogBase::MakeBold(int id) {
    if (!ownedFont_) {
        LOGFONTW description = {};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(description), &description);
        description.lfWeight = FW_BOLD;
        SetOwnedFont(CreateFontIndirectW(&description));
    }
    SendDlgItemMessageW(hwnd_, id, WM_SETFONT, reinterpret_cast<WPARAM>(ownedFont_), TRUE);
}
