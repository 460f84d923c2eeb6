// FrameWindow: a top-level window of its own registered class with a menu
// bar and a content window filling the area above the bar; the base of the
// main frame. Closing it destroys the window and posts one quit message.
#pragma once

#include "app/menu_bar_holder.h"
#include "app/window_base.h"

// The square images of a toolbar strip resource (0 when it is missing).
int StripImageCount(HINSTANCE instance, int bitmapId);

class FrameWindow : public WindowBase {
public:
    FrameWindow() = default;
    ~FrameWindow() override;  // unregisters the class

    // Registers the class (the shared procedure, the icon `resourceId`) and
    // creates the window; the menu bar comes from the same id.
    bool Create(HINSTANCE instance, LPCWSTR className, int resourceId, LPCWSTR title = nullptr);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCTW* create) override;
    // Slot 10: notifications of the content's rebar.
    virtual bool OnFrameNotify(int id, NMHDR* header, LRESULT* result);

    // The holder creates the menu bar from `menuId`; then tooltips, the
    // bitmap (every square image of its strip, at least one per button) and
    // the buttons are added.
    bool BuildMenuBar(int menuId, int bitmapId, const TBBUTTON* buttons, int buttonCount,
                      LPCWSTR* tooltips, int tooltipCount);

    MenuBarHolder& Bar() { return bar_; }
    HWND Content() const { return content_; }
    void SetContent(HWND content) { content_ = content; }

protected:
    ATOM classAtom_ = 0;
    WCHAR className_[48] = {};
    MenuBarHolder bar_;
    int resourceId_ = 0;
    HWND content_ = nullptr;
};
