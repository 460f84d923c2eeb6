// DialogBase: a dialog from the program's resources, modal or modeless,
// bound to its object like every window. Commands 1 (OK), 2 (Cancel) and 8
// end it with their id; a child with id 700 is its title, drawn in blue.
#pragma once

#include "app/window_base.h"

constexpr int kTitleControlId = 700;
constexpr COLORREF kTitleColour = RGB(0, 0, 255);

class DialogBase : public WindowBase {
public:
    DialogBase(int templateId, HWND parent);
    ~DialogBase() override;

    void OnFinalMessage() override;  // a modeless dialog deletes itself
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnInitDialog() override;
    // Slot 10: runs the dialog modally; the end result.
    virtual INT_PTR DoModal();
    // Slot 11: modeless -> destroy the window; modal -> end with `result`.
    virtual void End(INT_PTR result);

    // Creates the dialog modeless (the object then belongs to the window).
    HWND CreateModeless();
    // Draws control `id` in bold (the bold font is made once per dialog).
    void MakeBold(int id);

    HWND Parent() const { return parent_; }
    HWND TitleControl() const { return title_; }

protected:
    HWND parent_;
    HWND title_ = nullptr;
    int templateId_;
    bool modeless_ = false;
};
