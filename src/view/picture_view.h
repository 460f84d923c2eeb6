// PictureView: the child window that shows the album's current entry. It
// decodes nothing itself: the thumbnail loader decodes an entry and hands it
// over with ShowEntry. The per-entry display state (zoom, rotation, offsets,
// fit flags) lives in the entry's block, so every picture keeps its own view.
// A paint composes the visible part, scaled and rotated, into a back buffer
// of the client size and copies it to the screen in one block. Pen input pans,
// a tap-and-hold opens the "Image" menu, and the zoom rectangle zooms on an
// area. The view also steps the pages of multi-page files and the frames of
// multi-frame (cine) images. Main thread only, except ShowEntry/ShowMessage
// without redraw, which the loader calls under the album lock.
#pragma once

#include <windows.h>

#include "album/image_entry.h"
#include "app/viewer_host.h"
#include "app/window_base.h"
#include "image/screen_surface.h"

constexpr const WCHAR* kPictureViewClass = u"HALVORIC_PICTURE_VIEW";

// Sent by the loader after it changed the shown entry: lay out and paint on
// the main thread.
constexpr UINT MSG_VIEW_LAYOUT = 33134;

// errorCode of an empty view: nothing, or "Loading...".
constexpr int kViewNoMessage = 0;
constexpr int kViewLoading = -1;

// playState.
enum : int { kPlayIdle = 0, kPlaying = 1, kPlayStopRequested = -1, kPlayPauseRequested = -2 };

// The Layout arithmetic on plain numbers, so that it can be checked without
// a window: the fitted zoom, the clamped or centred offsets and the source
// and destination rectangles for an image of imageWidth x imageHeight shown
// with `block`'s zoom, rotation and offsets in a client of clientWidth x
// clientHeight. Updates block.zoom (zoom to fit) and the offsets.
struct ViewGeometry {
    RECT srcRect;   // visible part in image pixels (axes of the rotated image)
    RECT destRect;  // where it lands in the client area
};
ViewGeometry ComputeLayout(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                           int clientHeight);
// The rotation normalised into -359..359.
int NormaliseRotation(int degrees);
// Rotate to fit on a block (degrees -1 of Rotate): turns by +-90 when the
// image's orientation does not match the client's.
void RotateBlockToFit(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                      int clientHeight);

class PictureView : public WindowBase {
public:
    PictureView() = default;
    ~PictureView() override;

    // Registers the class once and creates the (hidden unless `style` says
    // WS_VISIBLE) child. The host answers the view's questions about the
    // frame, the album and the settings.
    bool Create(ViewerHost* host, HWND parent, const RECT* rect, DWORD style, int id,
                HINSTANCE instance);

    void SetBackground(COLORREF colour);
    // Shows the entry (its decoded image when it has one); none shows the
    // empty view. True when an entry is shown.
    bool ShowEntry(ImageEntry* entry, bool redraw);
    // The empty view with a message: kViewNoMessage, kViewLoading or a
    // LoadError code.
    void ShowMessage(int code, bool redraw);
    // zoom -1 = zoom to fit. False when no image is shown.
    bool SetZoom(float zoom, bool redraw);
    // degrees +-90/180/270, or -1 for rotate to fit. False when no image is
    // shown.
    bool Rotate(int degrees, bool redraw);
    void Layout();
    void StopPlayback();
    // The frame offers every command here first; true when consumed.
    bool HandleCommand(UINT id);
    // 1 enabled, 0 disabled, -1 no opinion.
    int IsCommandEnabled(UINT id);

    // Queries of the frame and the thumbnail bar.
    ImageEntry* Entry() const { return entry_; }
    bool ImageShown() const;    // an entry with a decoded image
    bool MultiFrame() const;    // its image has a frame source with 2+ frames
    int PageCount() const;      // 1 without page information
    int FrameCount() const;     // 1 for still images
    int ImageWidth() const;     // of the decoded image, else the entry's stored size
    int ImageHeight() const;
    int BitsPerPixel() const;
    int PlayState() const { return playState_; }
    bool Playing() const { return playState_ == kPlaying; }
    int FrameIndex() const { return frameIndex_; }
    int PageIndex() const { return pageIndex_; }
    int ErrorCode() const { return errorCode_; }
    bool UsesFrameBar() const { return usesFrameBar_; }
    const RECT& SourceRect() const { return srcRect_; }
    const RECT& DestRect() const { return destRect_; }
    // The off-screen image of the client size (the screen capture copies
    // the display into it).
    ScreenSurface& BackBuffer() { return backBuffer_; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCTW* create) override;

private:
    ViewerHost* host_ = nullptr;
    ImageEntry* entry_ = nullptr;
    COLORREF backgroundColour_ = RGB(255, 255, 255);
    HBRUSH backgroundBrush_ = nullptr;
    HFONT messageFont_ = nullptr;
    RECT clientRect_ = {};
    RECT destRect_ = {};
    POINT destOrigin_ = {};
    POINT destEnd_ = {};
    bool usesFrameBar_ = false;
    bool userZoomed_ = false;
    bool userRotated_ = false;
    int playState_ = kPlayIdle;
    int errorCode_ = kViewNoMessage;
    int frameIndex_ = 0;
    int pageIndex_ = 0;
    RECT srcRect_ = {};
    ScreenSurface backBuffer_;
};
