// The about box: a full-screen dialog with a Done button that shows the
// product title in bold.
#pragma once

#include "app/dialog_base.h"

constexpr int kAboutDialogId = 8802;
constexpr int kAboutTitleId = 8810;

class AboutBox : public DialogBase {
public:
    explicit AboutBox(HWND parent) : DialogBase(kAboutDialogId, parent) {}
    LRESULT OnInitDialog() override;
};
