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
    RECT srcRect;    // visible part in image pixels (axes of the rotated image)
    RECT destRect;   // where it lands in the client area
    int sourceSpan;  // source pixels across destRect's width: the scale of both axes
};
ViewGeometry ComputeLayout(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                           int clientHeight);
// The rotation normalised into -359..359.
int NormaliseRotation(int degrees);
// Rotate to fit on a block (degrees -1 of Rotate): turns by +-90 when the
// image's orientation does not match the client's.
void RotateBlockToFit(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                      int clientHeight);
// The zoom rectangle of a fraction (0.2, 0.4, 0.7) of the client size,
// centred in the client area.
RECT ZoomRectangle(float fraction, int clientWidth, int clientHeight);
// Zooms a block onto `rectangle` (client coordinates): the zoom grows by the
// whole number of times the rectangle fits into the client (the smaller of
// the two directions) and the image point under the rectangle's centre
// moves to the client's centre. Clears zoom to fit. False for an empty
// rectangle or a block without zoom.
bool ZoomBlockToRectangle(EntryBlock* block, const RECT& rectangle, int clientWidth,
                          int clientHeight);

// Timer and constants of the pen handling.
constexpr UINT_PTR kViewHoldTimer = 125;
constexpr UINT kViewHoldMs = 400;
constexpr int kViewPanThreshold = 5;
// Zoom-rectangle modes.
enum : int { kZoomRectOff = 0, kZoomRectShown = 1, kZoomRectPenDown = 2 };
// Menu bars the view asks the frame for.
constexpr int kViewMainMenuBar = 21000;
constexpr int kViewVideoMenuBar = 187;

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
    // The shown entry's rotation was set from outside (the all-entries
    // commands, the landscape option): the user's own turn no longer holds,
    // and the picture is laid out again.
    void RotationReset();
    void Layout();
    void StopPlayback();
    // The frame offers every command here first; true when consumed.
    bool HandleCommand(UINT id);
    // 1 enabled, 0 disabled, -1 no opinion.
    int IsCommandEnabled(UINT id);
    // Shows frame `index` (clamped to the frames) of a multi-frame image:
    // the frame is decoded from the entry's file into its image and drawn.
    // Nothing while playing; false when nothing was shown, and then the
    // frame index stays on the frame shown before.
    bool GoToFrame(int index);
    // Steps the pages of a multi-page image by `delta` (+-1000000 for the
    // first and last page). False when nothing changed.
    bool StepPage(int delta);

    // Queries of the frame and the thumbnail bar.
    ImageEntry* Entry() const { return entry_; }
    bool ImageShown() const;  // an entry with a decoded image
    bool MultiFrame() const;  // its image has a frame source with 2+ frames
    int PageCount() const;    // 1 without page information
    int FrameCount() const;   // 1 for still images
    int ImageWidth() const;   // of the decoded image, else the entry's stored size
    int ImageHeight() const;
    int BitsPerPixel() const;
    int PlayState() const { return playState_; }
    bool Playing() const { return playState_ == kPlaying; }
    int FrameIndex() const { return frameIndex_; }
    int PageIndex() const { return pageIndex_; }
    int ErrorCode() const { return errorCode_; }
    // The shown picture's file ended before the picture did: the view says
    // so on its message line.
    bool ShowsIncompletePicture() const;
    bool UsesFrameBar() const { return usesFrameBar_; }
    const RECT& SourceRect() const { return srcRect_; }
    const RECT& DestRect() const { return destRect_; }
    int ZoomRectMode() const { return zoomRectMode_; }
    const RECT& ZoomRect() const { return zoomRect_; }
    bool Panning() const { return panState_ == kPanActive; }
    // The off-screen image of the client size (the screen capture copies
    // the display into it).
    ScreenSurface& BackBuffer() { return backBuffer_; }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCTW* create) override;

private:
    enum : int { kPanNone = 0, kPanArmed = 1, kPanActive = 2 };

    void OnPaint();
    void PaintPlaceholder(HDC dc);
    void PaintIncompleteLine(HDC dc, const RECT& client);
    // Shows the visible part on each external display that is on: black,
    // then the picture centred at the display's scale.
    void MirrorToExternalOutputs(const RECT& client);
    HFONT MessageFont();
    void OnSize(int width, int height);
    void OnPenDown(POINT point);
    void OnPenMove(POINT point);
    void OnPenUp(POINT point);
    void OnHoldTimer();
    void OnDoubleTap(WPARAM keys, POINT point);
    void EndPanning();
    void StartZoomRect(float fraction);
    // The menu bar for the entry: main for still images, video otherwise.
    void AskForMenuBar(int kind);
    bool OnWindowThread() const;
    // The loader decodes with the process-wide decoder state: a page or
    // frame decode on this thread waits until it is stopped, and restarts it.
    bool PauseLoader();
    void ResumeLoader(bool wasRunning);
    // The current entry's file is a real file (not a link to a remote one).
    bool IsRealFile() const;
    // Command 30059: the window/level dialog with the loader stopped.
    void OpenWindowLevel();
    // The decoded image's size in its own axes (0 without one).
    int DecodedWidth() const;
    int DecodedHeight() const;
    HBITMAP Placeholder(int id);

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
    int sourceSpan_ = 0;
    ScreenSurface backBuffer_;
    ScreenSurface mirror_;  // the picture at an external display's size

    // Pen state: the pen-down point, the hold timer, panning and the
    // offsets it started from.
    POINT penDown_ = {};
    POINT penLast_ = {};
    bool penIsDown_ = false;
    bool holdPending_ = false;
    int panState_ = kPanNone;
    POINT panStartOffset_ = {};
    // The zoom rectangle: its mode, where it is and the last pen point.
    int zoomRectMode_ = kZoomRectOff;
    bool zoomRectTap_ = false;  // the last pen-down went to the rectangle
    RECT zoomRect_ = {};
    POINT zoomRectPen_ = {};
    HBITMAP messageBitmap_ = nullptr;
    HBITMAP loadingBitmap_ = nullptr;
};
