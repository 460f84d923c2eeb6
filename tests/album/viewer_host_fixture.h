// A ViewerHost for the pane tests: a plain top-level window of a recording
// class stands in for the main frame, with its own album and settings; the
// messages and commands the panes send or post it are logged, and the frame
// operations are counted. The panes are created as children of the window.
#pragma once

#include <windows.h>

#include <vector>

#include "album/image_album.h"
#include "album/thumbnail_bar.h"
#include "app/settings.h"
#include "app/viewer_host.h"

class TestViewerHost : public ViewerHost {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };

    TestViewerHost() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = u"KestravaTestHost";
        RegisterClassW(&wc);  // a second registration fails harmlessly
        window_ = CreateWindowExW(0, u"KestravaTestHost", u"host", WS_VISIBLE, 0, 26, 240, 268,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetWindowLongPtrW(window_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
        LoadSettings(&options_, &recent_);
    }
    ~TestViewerHost() override {
        if (IsWindow(window_)) DestroyWindow(window_);
    }

    HWND HostWindow() const override { return window_; }
    ImageAlbum& HostAlbum() override { return album_; }
    SettingsBlock& Options() override { return options_; }
    PictureView* View() override { return view; }
    ThumbnailBar* Thumbnails() override { return thumbnails; }
    bool SlideShowRunning() const override { return slideShow; }
    bool FullScreen() const override { return fullScreen; }
    bool ThumbnailsFillScreen() const override { return fillScreen; }
    void LockAlbum() override {
        if (thumbnails) thumbnails->LockAlbum();
    }
    void UnlockAlbum() override {
        if (thumbnails) thumbnails->UnlockAlbum();
    }
    bool PauseLoader() override {
        if (!thumbnails || !thumbnails->LoaderRunning()) return false;
        thumbnails->StopLoader();
        return true;
    }
    void ResumeLoader() override {
        if (thumbnails) thumbnails->StartLoader();
    }
    void SwitchMenuBar(int kind) override { menuBars.push_back(kind); }
    void RefreshToolbar() override { ++toolbarRefreshes; }
    int OpenFile(LPCWSTR path, bool add) override { return album_.Load(path, add, true); }

    // Handles queued messages of this thread (the host's and the panes').
    void Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    PictureView* view = nullptr;
    ThumbnailBar* thumbnails = nullptr;
    bool slideShow = false;
    bool fullScreen = false;
    bool fillScreen = false;
    std::vector<int> menuBars;
    int toolbarRefreshes = 0;
    std::vector<Message> received;  // every message above WM_USER, and WM_COMMAND

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TestViewerHost*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
        if (self && (message == WM_COMMAND || message >= WM_USER)) {
            self->received.push_back({message, wParam, lParam});
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    HWND window_ = nullptr;
    ImageAlbum album_;
    SettingsBlock options_ = {};
    RecentAddresses recent_ = {};
};
