// ViewerHost: what the panes of the main window (the picture view and the
// thumbnail bar) ask of the frame that owns them: the album, the settings,
// the frame's modes, and the few frame operations they trigger. The main
// frame implements it; tests may implement it with a plain window. Every
// call is made on the main thread, except that the loader thread reads
// Options() and HostAlbum() under the album lock.
#pragma once

#include <windows.h>

#include "app/settings.h"

class ImageAlbum;
class PictureView;
class ThumbnailBar;

class ViewerHost {
public:
    virtual ~ViewerHost() = default;

    // The frame window: the panes post it MSG_NAVIGATE, WM_COMMAND and
    // MSG_SHOW_MAIN_LAYOUT, and their context menus send it commands.
    virtual HWND HostWindow() const = 0;
    virtual ImageAlbum& HostAlbum() = 0;
    virtual SettingsBlock& Options() = 0;
    virtual PictureView* View() = 0;
    virtual ThumbnailBar* Thumbnails() = 0;

    virtual bool SlideShowRunning() const = 0;
    virtual bool FullScreen() const = 0;
    // Set while the thumbnail bar fills the screen (command 17330).
    virtual bool ThumbnailsFillScreen() const = 0;

    // The album lock (the thumbnail loader's): the view holds it while it
    // reads the shown entry, as the loader changes it under the same lock.
    // Nested use on one thread is harmless.
    virtual void LockAlbum() = 0;
    virtual void UnlockAlbum() = 0;
    // Stops the thumbnail loader if it runs (true) so that a decode on the
    // main thread has the image library to itself; ResumeLoader restarts it.
    virtual bool PauseLoader() = 0;
    virtual void ResumeLoader() = 0;

    // The frame's rule for a command: 1 enabled, 0 disabled, -1 no opinion.
    // The panes' own menus follow it, so that a command greyed in the
    // frame's menus is greyed in theirs too.
    virtual int IsCommandEnabled(UINT /*id*/) { return -1; }

    virtual void SwitchMenuBar(int kind) = 0;
    virtual void RefreshToolbar() = 0;
    // Replaces (or adds to) the album; the count or -code (already reported).
    virtual int OpenFile(LPCWSTR path, bool add) = 0;
};
