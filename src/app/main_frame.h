// MainFrame: the program's one top-level window. It owns the album, the pane
// container with the thumbnail bar and the picture view, the recent-files
// list and the settings; builds the menu bars with their toolbar buttons;
// turns commands, toolbar buttons and keys into actions; keeps the commands'
// enabled and checked state current; switches between the splash, normal and
// full-screen layouts; and opens files.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "album/image_album.h"
#include "album/thumbnail_bar.h"
#include "app/file_chooser.h"
#include "app/frame_window.h"
#include "app/main_frame_messages.h"
#include "app/pane_container.h"
#include "app/recent_files.h"
#include "app/settings.h"
#include "app/viewer_host.h"
#include "view/picture_view.h"

// The main window's class and its icon, menu-bar and title resource.
constexpr const WCHAR* kMainWindowClass = u"HALVORIC_IMGSHOW_CLASS";
constexpr int kMainResourceId = 101;
constexpr UINT kTitleStringId = 101;
constexpr const WCHAR* kProductTitle = u"Halvoric Kestrava";

// Menu-bar kinds (also their bitmap resources).
constexpr int kMenuBarNone = 0;
constexpr int kMenuBarMain = 21000;
constexpr int kMenuBarVideo = 187;
constexpr int kMenuBarDrawing = 197;

// Timers and the hot key of the main window.
constexpr UINT_PTR kSplashTimer = 1911;
constexpr UINT kSplashMs = 2000;
constexpr UINT_PTR kExitTimer = 567;
constexpr int kScreenCaptureHotKey = 30583;

// Control ids of the panes.
constexpr int kThumbnailPaneId = 15;
constexpr int kViewPaneId = 16;

// The zoom a zoom command asks for, from the entry's current zoom (the
// fitted value while zoom to fit is on) and the image width: -1 for zoom to
// fit, factors 1.15 and 0.85 through the width in single precision, else the
// command's fixed zoom. 0 for a command that is no zoom command.
float ZoomForCommand(UINT command, float currentZoom, int imageWidth);

// The last component of a path for the title (after the last "\").
LPCWSTR FileNameOf(LPCWSTR path);

// How a chosen open-dialog path is read: a folder becomes "folder\*.*" and
// a pattern; "*" or "?" after the last "\" makes a pattern; otherwise the
// file must exist. False when it does not.
bool ResolveChosenPath(LPCWSTR chosen, LPWSTR path, bool* isPattern);
// Whether a file name lacks an extension: no "." after the last "\", or a
// "." as the last character.
bool LacksExtension(LPCWSTR path);


// Offers the DICOM extension for a file without one; Yes renames the file
// to the name with "." (when it had none) and "dcm" appended and updates
// `path`. False when the user says No or the rename fails (then "Failed to
// add .DCM extension" is shown).
bool OfferDicomExtension(HWND owner, HINSTANCE instance, LPWSTR path);

class MainFrame : public FrameWindow, public ViewerHost {
public:
    // Builds the members and loads every setting; a non-empty command line
    // becomes the current file and suppresses the splash.
    explicit MainFrame(LPCWSTR commandLine);
    ~MainFrame() override;

    // Registers the class, creates and shows the main window.
    bool CreateMainWindow(HINSTANCE instance);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnInitMenuPopup(HMENU menu) override;
    int OnCreate(CREATESTRUCTW* create) override;
    // 1 enabled, 0 disabled, -1 no opinion.
    int IsCommandEnabled(UINT id) override;

    void SwitchMenuBar(int kind) override;
    void RefreshToolbar() override;
    void UpdateTitle();
    // Replaces (or adds to) the album with `path`; the album's count or
    // -code on failure (reported to the user).
    int OpenFile(LPCWSTR path, bool add) override;
    void Navigate(WPARAM code);
    void SetFullScreen(bool on);
    void StopSlideShow() {}

    // What the panes ask of the frame.
    HWND HostWindow() const override { return hwnd_; }
    ImageAlbum& HostAlbum() override { return album_; }
    SettingsBlock& Options() override { return options_; }
    PictureView* View() override { return &view_; }
    ThumbnailBar* Thumbnails() override { return &thumbnails_; }
    bool SlideShowRunning() const override { return false; }
    bool FullScreen() const override { return fullScreen_; }
    bool ThumbnailsFillScreen() const override { return thumbnailsFillScreen_; }
    void LockAlbum() override { thumbnails_.LockAlbum(); }
    void UnlockAlbum() override { thumbnails_.UnlockAlbum(); }
    bool PauseLoader() override;
    void ResumeLoader() override { thumbnails_.StartLoader(); }

    // For tests and the entry.
    ImageAlbum& Album() { return album_; }
    RecentAddresses& Addresses() { return recent_; }
    RecentFiles& Recent() { return recentFiles_; }
    PaneContainer& Panes() { return panes_; }
    HWND ViewPane() const { return view_.Handle(); }
    HWND ThumbnailPane() const { return thumbnails_.Handle(); }
    bool SplashPending() const { return splashPending_; }
    int MenuBarKind() const { return menuBarKind_; }
    LPCWSTR CurrentFile() const { return options_.currentFile; }
    const TBBUTTON* ToolbarButtons(int* count) const;

private:
    void ShowMainLayout();
    void ShowSplash();
    void OpenStoredFile();
    void OnDestroy();
    void ShowThumbnails(bool show);
    // The load error's message box (caption "ERROR").
    void ReportOpenError(int code);
    // Unless the bar is hidden: places it by "PrevPosition" and gives it its
    // mode (when the position differs from the one applied last) and shows
    // it. Then lays the panes out.
    void PlaceThumbnails();
    void FillScreenWithThumbnails();
    void ApplyZoom(UINT command);
    void ApplyOptionsChanges();
    void RunOptions();
    void ShowAbout();
    void OpenRecent(UINT command);
    void OpenWithDialog(bool add);
    void SaveAlbum();
    void SetRotationOfAll(bool rotateToFit, int rotation);
    void OnScreenCaptureKey();
    void SetItemText(HMENU menu, UINT id, UINT stringId);
    void EnableItems(HMENU menu, int depth);

    int menuResource_ = kMainResourceId;
    RecentFiles recentFiles_;
    PaneContainer panes_;
    ThumbnailBar thumbnails_;
    PictureView view_;
    int appliedPosition_ = -1;  // the "PrevPosition" applied last; none at start
    bool fullScreen_ = false;
    bool splashPending_ = false;
    int menuBarKind_ = kMenuBarNone;
    SettingsBlock options_ = {};
    RecentAddresses recent_ = {};
    ImageAlbum album_;
    HBITMAP splashBitmap_ = nullptr;
    bool thumbnailsFillScreen_ = false;
    WCHAR dialogFolder_[MAX_PATH] = {};  // the open dialog's remembered folder
    WCHAR tooltipTexts_[16][32] = {};
    LPCWSTR tooltips_[16] = {};
};

// The main frame while its window exists, or null.
MainFrame* TheMainFrame();
