// The about box.
#include "app/about_box.h"

#include <aygshell.h>

#include "app/shell_helpers.h"

LRESULT AboutBox::OnInitDialog() {
    DialogBase::OnInitDialog();
    InitFullScreenDialog(hwnd_, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN);
    SetDlgItemTextW(hwnd_, kAboutTitleId, u"Halvoric Kestrava");
    MakeBold(kAboutTitleId);
    return TRUE;
}
