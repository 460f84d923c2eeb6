// Application: the process-wide object of the viewer. It lives on the stack
// of the entry for the whole run, publishes itself so that helpers and other
// windows reach the instance and the main window, and runs the message loop
// with one idle refresh of the toolbar after every burst of real input.
#pragma once

#include <windows.h>
#include <commctrl.h>

class Application {
public:
    Application(HINSTANCE instance, LPCWSTR title);
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Runs the loop for `mainWindow` until the quit message; returns 0.
    int Run(HWND mainWindow);
    // Asks the main frame to refresh its toolbar buttons.
    virtual void OnIdle();
    // False for paint, the system timer and a repeated mouse move at the
    // same point; a mouse move judged idle-worthy is remembered.
    virtual bool IsIdleMessage(const MSG& message);

    HINSTANCE Instance() const { return instance_; }
    LPCWSTR Title() const { return title_; }
    HWND MainWindow() const { return mainWindow_; }

private:
    HINSTANCE instance_;
    WCHAR title_[64];
    HWND mainWindow_ = nullptr;
    UINT lastMoveMessage_ = 0;
    POINT lastMovePoint_ = {0, 0};
};

// The single application object, or null outside its lifetime.
Application* TheApplication();

// The common control classes the viewer uses: list view, tree view, bar
// classes, tab and cool bar.
constexpr DWORD kViewerControlClasses = 0x40F;

// The 16x16 images of disabled video buttons (bitmap 17451, room for 7),
// built at start-up and given to the video toolbar; null before.
constexpr int kDisabledButtonsBitmap = 17451;
HIMAGELIST DisabledButtonImages();
void BuildDisabledButtonImages(HINSTANCE instance);
void ReleaseDisabledButtonImages();
