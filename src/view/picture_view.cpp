// The picture view: layout arithmetic, the paint pipeline, pen input, the
// zoom rectangle, pages and frames, and the commands of the shown item.
//
// Not in this build: drawing mode and annotations, the playback loops and
// the frame slider, the media-player control and the decoder component,
// external displays, and the dialogs reached from here (DICOM information,
// window/level, contrast/brightness). Their commands report "disabled" and
// are not consumed, so that no enabled command does nothing.
#include "view/picture_view.h"

#include <algorithm>
#include <cstdlib>

#include "app/main_frame_messages.h"
#include "image/format_handler.h"
#include "image/frame_source.h"
#include "image/image_library.h"
#include "res/resource.h"
#include "album/image_album.h"
#include "view/contrast_brightness.h"
#include "view/contrast_dialog.h"
#include "view/dicom_info_sheet.h"
#include "view/external_outputs.h"
#include "view/window_level_dialog.h"

namespace {

constexpr int kPlaceholderWidth = 32;
constexpr int kPlaceholderHeight = 38;
constexpr COLORREF kPlaceholderTransparent = RGB(255, 0, 255);
constexpr COLORREF kMessageColour = RGB(255, 0, 0);
constexpr int kMessageMargin = 5;
constexpr int kMessageFontHeight = -9;
// Space above and below the text of the incomplete-picture line.
constexpr int kMessageLinePadding = 1;
// Page steps of this size go to the first or the last page.
constexpr int kPageJump = 1000000;
// The frame's exit timer while a playback is being stopped.
constexpr UINT_PTR kExitTimer = 567;
constexpr UINT kExitDelayMs = 300;
// Sizes beyond this are clamped: the arithmetic then stays inside int.
constexpr float kIntLimit = 1073741824.0f;  // 2^30

// float -> int truncating towards zero, saturating instead of overflowing
// (an absurd zoom from an album file must not overflow the arithmetic).
int Trunc(float value) {
    if (!(value == value)) return 0;
    if (value >= kIntLimit) return 1 << 30;
    if (value <= -kIntLimit) return -(1 << 30);
    return static_cast<int>(value);
}

// An odd multiple of 90 degrees swaps the picture's axes.
bool QuarterTurn(int rotation) {
    const int r = NormaliseRotation(rotation) % 360;
    return r == 90 || r == -90 || r == 270 || r == -270;
}

// One axis of the layout: the offset clamped (a picture larger than the
// client) or centred (a smaller one), and the source and destination spans.
void LayoutAxis(int client, int zoomed, int size, float zoom, int32_t* offset, LONG* sourceLow,
                LONG* sourceHigh, LONG* destLow, LONG* destHigh) {
    if (client < zoomed) {
        if (*offset > 0) *offset = 0;
        if (*offset < client - zoomed) *offset = client - zoomed;
    } else {
        *offset = (client - zoomed) / 2;
    }
    if (zoomed < client) {
        *destLow = (client - zoomed) / 2;
        *destHigh = *destLow + zoomed;
        *sourceLow = 0;
        *sourceHigh = size;
    } else {
        *sourceLow = Trunc(static_cast<float>(-*offset) / zoom);
        *sourceHigh = std::min(*sourceLow + Trunc(static_cast<float>(client) / zoom), size);
        *destLow = 0;
        *destHigh = client;
    }
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

}  // namespace

// ---- The arithmetic ----------------------------------------------------------------------------

int NormaliseRotation(int degrees) {
    if (degrees >= -359 && degrees <= 359) return degrees;
    return degrees - 360 * (degrees / 360);
}

ViewGeometry ComputeLayout(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                           int clientHeight) {
    ViewGeometry geometry = {};
    if (!block || imageWidth <= 0 || imageHeight <= 0 || clientWidth <= 0 || clientHeight <= 0) {
        return geometry;
    }
    int a = imageWidth;
    int b = imageHeight;
    if (QuarterTurn(block->rotation)) std::swap(a, b);
    // A negative zoom is a fit request too (an entry saved with -1).
    if ((block->flags & kDisplayZoomToFit) || block->zoom < 0.0f) {
        float zoom = std::min(static_cast<float>(clientWidth) / static_cast<float>(a),
                              static_cast<float>(clientHeight) / static_cast<float>(b));
        if (zoom > 1.0f) zoom = 1.0f;  // fitting never enlarges
        block->zoom = zoom;
    }
    const float zoom = block->zoom;
    if (!(zoom > 0.0f)) return geometry;  // zero draws nothing
    const int zoomedWidth = Trunc(static_cast<float>(a) * zoom);
    const int zoomedHeight = Trunc(static_cast<float>(b) * zoom);
    LayoutAxis(clientWidth, zoomedWidth, a, zoom, &block->offsetX, &geometry.srcRect.left,
               &geometry.srcRect.right, &geometry.destRect.left, &geometry.destRect.right);
    LayoutAxis(clientHeight, zoomedHeight, b, zoom, &block->offsetY, &geometry.srcRect.top,
               &geometry.srcRect.bottom, &geometry.destRect.top, &geometry.destRect.bottom);
    // Both axes scale by the same ratio: the source width across destRect,
    // before the clamp to the picture's edge shortened it.
    geometry.sourceSpan =
        zoomedWidth < clientWidth ? a : Trunc(static_cast<float>(clientWidth) / zoom);
    return geometry;
}

void RotateBlockToFit(EntryBlock* block, int imageWidth, int imageHeight, int clientWidth,
                      int clientHeight) {
    if (!block) return;
    block->flags |= kDisplayRotateToFit;
    // A square picture or a square client fits either way.
    if (imageWidth == imageHeight || clientWidth == clientHeight) return;
    const bool fits = (clientWidth >= clientHeight) == (imageWidth >= imageHeight);
    const int rotation = NormaliseRotation(block->rotation);
    const bool quarter = QuarterTurn(rotation);
    if (fits != quarter) return;
    const bool back = rotation == 90 || rotation == 180 || rotation == -270;
    block->rotation = NormaliseRotation(rotation + (back ? -90 : 90));
}

RECT ZoomRectangle(float fraction, int clientWidth, int clientHeight) {
    const float margin = (1.0f - fraction) * 0.5f;
    RECT rect;
    rect.left = Trunc(static_cast<float>(clientWidth) * margin);
    rect.top = Trunc(static_cast<float>(clientHeight) * margin);
    rect.right = rect.left + Trunc(static_cast<float>(clientWidth) * fraction);
    rect.bottom = rect.top + Trunc(static_cast<float>(clientHeight) * fraction);
    return rect;
}

bool ZoomBlockToRectangle(EntryBlock* block, const RECT& rectangle, int clientWidth,
                          int clientHeight) {
    if (!block) return false;
    const int width = rectangle.right - rectangle.left;
    const int height = rectangle.bottom - rectangle.top;
    const float zoom = block->zoom;
    if (width <= 0 || height <= 0 || !(zoom > 0.0f)) return false;
    const int kx = clientWidth / width;
    const int ky = clientHeight / height;
    const float newZoom = std::min(static_cast<float>(kx) * zoom, static_cast<float>(ky) * zoom);
    if (!(newZoom > 0.0f)) return false;
    // The picture point under the rectangle's centre goes to the client's.
    const int pointX =
        Trunc(static_cast<float>(rectangle.left + width / 2 - block->offsetX) / zoom);
    const int pointY =
        Trunc(static_cast<float>(rectangle.top + height / 2 - block->offsetY) / zoom);
    block->flags &= ~kDisplayZoomToFit;
    block->offsetX = clientWidth / 2 - Trunc(static_cast<float>(pointX) * newZoom);
    block->offsetY = clientHeight / 2 - Trunc(static_cast<float>(pointY) * newZoom);
    block->zoom = newZoom;
    return true;
}

// ---- The window --------------------------------------------------------------------------------

PictureView::~PictureView() {
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
    if (messageFont_) DeleteObject(messageFont_);
    if (messageBitmap_) DeleteObject(messageBitmap_);
    if (loadingBitmap_) DeleteObject(loadingBitmap_);
}

bool PictureView::Create(ViewerHost* host, HWND parent, const RECT* rect, DWORD style, int id,
                         HINSTANCE instance) {
    host_ = host;
    HINSTANCE module = instance ? instance : AppInstance();
    WNDCLASSW existing;
    if (!GetClassInfoW(module, kPictureViewClass, &existing)) {
        WNDCLASSW wc = {};
        wc.style = CS_VREDRAW | CS_DBLCLKS | CS_PARENTDC;
        wc.lpfnWndProc = &WindowBase::SharedProc;
        wc.hInstance = module;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = kPictureViewClass;
        if (!RegisterClassW(&wc)) return false;
    }
    return CreateChild(kPictureViewClass, style | WS_CHILD, rect, module, parent, id) != nullptr;
}

int PictureView::OnCreate(CREATESTRUCTW*) {
    GetClientRect(hwnd_, &clientRect_);
    SetBackground(RGB(255, 255, 255));
    if (host_) SetBackground(host_->Options().bkgColor);
    // Without a back buffer the view paints its background only; the next
    // paint tries again.
    backBuffer_.CreateSurface();
    return 0;
}

void PictureView::SetBackground(COLORREF colour) {
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    if (backgroundBrush_) DeleteObject(backgroundBrush_);
    backgroundBrush_ = brush;
    backgroundColour_ = colour;
    if (hwnd_ && OnWindowThread()) InvalidateRect(hwnd_, nullptr, TRUE);
}

bool PictureView::OnWindowThread() const {
    return !hwnd_ || GetWindowThreadProcessId(hwnd_, nullptr) == GetCurrentThreadId();
}

int PictureView::DecodedWidth() const {
    const BITMAPINFOHEADER* header = ImageShown() ? entry_->image->image.header : nullptr;
    return header ? header->biWidth : 0;
}

int PictureView::DecodedHeight() const {
    const BITMAPINFOHEADER* header = ImageShown() ? entry_->image->image.header : nullptr;
    return header ? std::abs(header->biHeight) : 0;
}

bool PictureView::ImageShown() const {
    return entry_ && entry_->image && entry_->image->image.header && entry_->image->image.pixels;
}

bool PictureView::MultiFrame() const {
    return ImageShown() && IsMultiFrame(entry_->image->image.frameSource);
}

int PictureView::PageCount() const {
    if (!entry_ || !entry_->image) return 1;
    const DWORD pages = entry_->image->image.pageCount;
    return pages > 1 ? static_cast<int>(std::min<DWORD>(pages, 0x7FFFFFFF)) : 1;
}

int PictureView::FrameCount() const {
    return MultiFrame() ? entry_->image->image.frameSource->frameCount : 1;
}

int PictureView::ImageWidth() const {
    if (ImageShown()) return DecodedWidth();
    return entry_ ? entry_->block.width : 0;
}

int PictureView::ImageHeight() const {
    if (ImageShown()) return DecodedHeight();
    return entry_ ? entry_->block.height : 0;
}

int PictureView::BitsPerPixel() const {
    if (ImageShown()) return entry_->image->image.header->biBitCount;
    return entry_ ? entry_->block.bitsPerPixel : 0;
}

// ---- Showing entries ---------------------------------------------------------------------------

void PictureView::AskForMenuBar(int kind) {
    if (!host_) return;
    // The loader shows entries from its own thread: the frame builds its
    // menu bar on the main thread.
    if (OnWindowThread()) {
        host_->SwitchMenuBar(kind);
    } else {
        PostMessageW(host_->HostWindow(), MSG_SWITCH_MENU_BAR, static_cast<WPARAM>(kind), 0);
    }
}

bool PictureView::ShowEntry(ImageEntry* entry, bool redraw) {
    StopPlayback();
    pageIndex_ = 0;
    frameIndex_ = 0;
    errorCode_ = kViewNoMessage;
    userZoomed_ = false;
    userRotated_ = false;
    if (entry != entry_) zoomRectMode_ = kZoomRectOff;
    // Multi-frame and multi-page items step with the video bar.
    const ImageFile* file = entry ? entry->image : nullptr;
    const bool steps = file && (IsMultiFrame(file->image.frameSource) || file->image.pageCount > 1);
    usesFrameBar_ = steps;
    AskForMenuBar(steps ? kViewVideoMenuBar : kViewMainMenuBar);
    // Last: a paint on the main thread sees the new entry with its state.
    entry_ = entry;
    if (redraw) Layout();
    return ImageShown();
}

void PictureView::ShowMessage(int code, bool redraw) {
    StopPlayback();
    errorCode_ = code;
    entry_ = nullptr;
    pageIndex_ = 0;
    frameIndex_ = 0;
    usesFrameBar_ = false;
    zoomRectMode_ = kZoomRectOff;
    AskForMenuBar(kViewMainMenuBar);
    if (redraw) Layout();
}

void PictureView::StopPlayback() {
    if (playState_ != kPlaying) return;
    // The loops notice the request at their next check.
    playState_ = kPlayStopRequested;
    if (TheImageLibrary()) TheImageLibrary()->AbortAll();
}

// ---- Zoom, rotation, layout --------------------------------------------------------------------

bool PictureView::SetZoom(float zoom, bool redraw) {
    if (!ImageShown()) return false;
    EntryBlock& block = entry_->block;
    if (zoom < 0.0f) {
        userZoomed_ = false;
        block.flags |= kDisplayZoomToFit;
    } else {
        userZoomed_ = true;
        block.flags &= ~kDisplayZoomToFit;
    }
    if (zoom > 0.0f) {
        // The centre of what is visible now stays in the centre.
        const int centreX = srcRect_.left + (srcRect_.right - srcRect_.left) / 2;
        const int centreY = srcRect_.top + (srcRect_.bottom - srcRect_.top) / 2;
        block.offsetX =
            Trunc(static_cast<float>(clientRect_.right / 2) - static_cast<float>(centreX) * zoom);
        block.offsetY =
            Trunc(static_cast<float>(clientRect_.bottom / 2) - static_cast<float>(centreY) * zoom);
    }
    block.zoom = zoom;
    if (redraw) Layout();
    return true;
}

bool PictureView::Rotate(int degrees, bool redraw) {
    if (!ImageShown()) return false;
    EntryBlock& block = entry_->block;
    if (degrees == -1) {
        userRotated_ = false;
        RotateBlockToFit(&block, DecodedWidth(), DecodedHeight(), clientRect_.right,
                         clientRect_.bottom);
    } else {
        block.flags &= ~kDisplayRotateToFit;
        userRotated_ = true;
        // A turn backwards is the same turn forwards: -90 from 0 is kept as
        // 270, the value the menus check.
        int turn = degrees % 360;
        if (turn < 0) turn += 360;
        block.rotation = NormaliseRotation(block.rotation + turn);
    }
    if (redraw) Layout();
    return true;
}

void PictureView::RotationReset() {
    userRotated_ = false;
    Layout();
}

void PictureView::Layout() {
    if (!hwnd_) return;
    if (!OnWindowThread()) {
        PostMessageW(hwnd_, MSG_VIEW_LAYOUT, 0, 0);
        return;
    }
    GetClientRect(hwnd_, &clientRect_);
    if (ImageShown()) {
        EntryBlock& block = entry_->block;
        const int width = DecodedWidth();
        const int height = DecodedHeight();
        if (block.flags & kDisplayRotateToFit) {
            RotateBlockToFit(&block, width, height, clientRect_.right, clientRect_.bottom);
        }
        const ViewGeometry geometry =
            ComputeLayout(&block, width, height, clientRect_.right, clientRect_.bottom);
        srcRect_ = geometry.srcRect;
        destRect_ = geometry.destRect;
        sourceSpan_ = geometry.sourceSpan;
    } else {
        srcRect_ = RECT{};
        destRect_ = RECT{};
        sourceSpan_ = 0;
    }
    destOrigin_ = POINT{destRect_.left, destRect_.top};
    destEnd_ = POINT{destRect_.right, destRect_.bottom};
    ClientToScreen(hwnd_, &destOrigin_);
    ClientToScreen(hwnd_, &destEnd_);
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
}

void PictureView::OnSize(int width, int height) {
    clientRect_ = RECT{0, 0, width, height};
    if (!ImageShown()) return;
    EntryBlock& block = entry_->block;
    if (!userZoomed_ && (block.flags & kDisplayZoomToFit)) block.zoom = -1.0f;
    if (!userRotated_ && (block.flags & kDisplayRotateToFit)) {
        RotateBlockToFit(&block, DecodedWidth(), DecodedHeight(), width, height);
    }
    Layout();
}

// ---- Paint -------------------------------------------------------------------------------------

HBITMAP PictureView::Placeholder(int id) {
    HBITMAP* slot = id == IDB_VIEW_LOADING ? &loadingBitmap_ : &messageBitmap_;
    if (!*slot) *slot = LoadBitmapW(instance_, MAKEINTRESOURCEW(id));
    return *slot;
}

HFONT PictureView::MessageFont() {
    if (!messageFont_) {
        LOGFONTW font = {};
        if (!GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font)) {
            lstrcpyW(font.lfFaceName, u"MS Sans Serif");
            font.lfWeight = FW_NORMAL;
        }
        font.lfHeight = kMessageFontHeight;
        font.lfWidth = 0;
        messageFont_ = CreateFontIndirectW(&font);
    }
    return messageFont_;
}

bool PictureView::ShowsIncompletePicture() const {
    return ImageShown() && entry_->image->image.truncated;
}

void PictureView::PaintIncompleteLine(HDC dc, const RECT& client) {
    // A picture whose file ended early is drawn with its black remainder;
    // the line across the bottom says so, over whatever part is visible, so
    // that no zoom or pan hides it.
    HFONT font = MessageFont();
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = metrics.tmHeight + 2 * kMessageLinePadding;
    RECT line = {client.left, client.bottom - lineHeight, client.right, client.bottom};
    FillRect(dc, &line, backgroundBrush_);
    LPCWSTR text = ImageString(kStringIncompletePicture);
    SetTextColor(dc, kMessageColour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text ? text : u"", -1, &line,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (previous) SelectObject(dc, previous);
}

void PictureView::PaintPlaceholder(HDC dc) {
    // With nothing to say the class background (erased already) shows.
    if (errorCode_ == kViewNoMessage) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, backgroundBrush_);
    const int x = (client.right - kPlaceholderWidth) / 2;
    const int y = (client.bottom - kPlaceholderHeight) / 2;
    HBITMAP picture = Placeholder(errorCode_ == kViewLoading ? IDB_VIEW_LOADING : IDB_VIEW_MESSAGE);
    if (picture) {
        TransparentImage(dc, x, y, kPlaceholderWidth, kPlaceholderHeight, picture, 0, 0,
                         kPlaceholderWidth, kPlaceholderHeight, kPlaceholderTransparent);
    }
    WCHAR loading[64] = {};
    LPCWSTR text = loading;
    if (errorCode_ == kViewLoading) {
        LoadStringW(instance_, IDS_LOADING, loading, 64);
    } else {
        text = LoadErrorMessage(static_cast<LoadError>(errorCode_));
    }
    RECT band = {client.left + kMessageMargin, y + kPlaceholderHeight + kMessageMargin,
                 client.right - kMessageMargin, client.bottom};
    HFONT font = MessageFont();
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SetTextColor(dc, kMessageColour);
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &band, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    if (previous) SelectObject(dc, previous);
}

void PictureView::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd_, &client);
    if (!ImageShown()) {
        PaintPlaceholder(dc);
        EndPaint(hwnd_, &paint);
        return;
    }
    const EntryBlock& block = entry_->block;
    if (block.zoom == 0.0f) {
        EndPaint(hwnd_, &paint);
        return;
    }
    HDC memory = backBuffer_.CreateSurface() ? backBuffer_.MemoryContext() : nullptr;
    if (!memory) {
        FillRect(dc, &client, backgroundBrush_);
        EndPaint(hwnd_, &paint);
        return;
    }
    // Compose: margins, then the visible part scaled and rotated.
    backBuffer_.FillMargins(backgroundColour_, destRect_, client);
    const RImage& image = entry_->image->image;
    const int destWidth = destRect_.right - destRect_.left;
    const int destHeight = destRect_.bottom - destRect_.top;
    if (destWidth > 0 && destHeight > 0) {
        // Only quarter turns can be drawn; anything else draws upright.
        const int rotation = NormaliseRotation(block.rotation) % 360;
        backBuffer_.rotation = rotation % 90 == 0 ? rotation : 0;
        if (!backBuffer_.DrawImage(destRect_.left, destRect_.top, destWidth, destHeight,
                                   srcRect_.left, srcRect_.top, sourceSpan_,
                                   srcRect_.bottom - srcRect_.top, image.header, image.pixels)) {
            backBuffer_.FillRect(backgroundColour_, &destRect_);
        }
    }
    // The contrast/brightness preview changes only what goes to the screen.
    BYTE* saved = ContrastBrightnessActive() ? AdjustSurfaceRect(&backBuffer_, destRect_) : nullptr;
    if (zoomRectMode_ != kZoomRectOff) DrawFocusRect(memory, &zoomRect_);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    RestoreSurfaceRect(&backBuffer_, destRect_, saved);
    if (image.truncated) PaintIncompleteLine(dc, client);
    EndPaint(hwnd_, &paint);
    // A playback loop draws its frames on the external displays itself.
    if (!Playing()) MirrorToExternalOutputs(client);
}

void PictureView::MirrorToExternalOutputs(const RECT& client) {
    if (!AnyExternalOutput()) {
        mirror_.DestroySurface();
        return;
    }
    const int clientWidth = client.right - client.left;
    const int clientHeight = client.bottom - client.top;
    const int destWidth = destRect_.right - destRect_.left;
    const int destHeight = destRect_.bottom - destRect_.top;
    if (clientWidth <= 0 || clientHeight <= 0) return;
    const RImage& image = entry_->image->image;
    for (int card = 0; card < kExternalCardCount; ++card) {
        HDC output = ExternalOutput(card);
        if (!output) continue;
        const int width = GetDeviceCaps(output, HORZRES);
        const int height = GetDeviceCaps(output, VERTRES);
        if (!mirror_.CreateSurfaceOfSize(width, height)) {
            ClearExternalOutput(output);
            continue;
        }
        // The picture as the view shows it (turned, the same part visible),
        // scaled by the smaller of the two ratios and centred; composed
        // here and copied in one block, so the black never shows alone.
        const double scale = std::min(static_cast<double>(width) / clientWidth,
                                      static_cast<double>(height) / clientHeight);
        const int w = static_cast<int>(destWidth * scale);
        const int h = static_cast<int>(destHeight * scale);
        mirror_.FillRect(RGB(0, 0, 0), nullptr);
        if (w > 0 && h > 0) {
            mirror_.rotation = backBuffer_.rotation;
            mirror_.DrawImage((width - w) / 2, (height - h) / 2, w, h, srcRect_.left, srcRect_.top,
                              sourceSpan_, srcRect_.bottom - srcRect_.top, image.header, image.pixels);
        }
        mirror_.CopyTo(output, width, height);
    }
}

// ---- Pen input ---------------------------------------------------------------------------------

void PictureView::OnPenDown(POINT point) {
    penIsDown_ = true;
    zoomRectTap_ = zoomRectMode_ != kZoomRectOff;
    if (zoomRectMode_ != kZoomRectOff) {
        if (PtInRect(&zoomRect_, point)) {
            zoomRectMode_ = kZoomRectPenDown;
            zoomRectPen_ = point;
            SetCapture(hwnd_);
            return;
        }
        // A tap outside ends the mode; the rectangle goes with the repaint.
        zoomRectMode_ = kZoomRectOff;
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
    penDown_ = point;
    penLast_ = point;
    holdPending_ = SetTimer(hwnd_, kViewHoldTimer, kViewHoldMs, nullptr) != 0;
    panState_ = kPanNone;
    if (!ImageShown()) return;
    // A picture that reaches the client's edge in either direction can pan.
    const EntryBlock& block = entry_->block;
    int a = DecodedWidth();
    int b = DecodedHeight();
    if (QuarterTurn(block.rotation)) std::swap(a, b);
    const int zoomedWidth = Trunc(static_cast<float>(a) * block.zoom);
    const int zoomedHeight = Trunc(static_cast<float>(b) * block.zoom);
    if (zoomedWidth >= clientRect_.right || zoomedHeight >= clientRect_.bottom) {
        panState_ = kPanArmed;
        panStartOffset_ = POINT{block.offsetX, block.offsetY};
        SetCapture(hwnd_);
    }
}

void PictureView::OnPenMove(POINT point) {
    if (!penIsDown_) return;
    if (zoomRectMode_ != kZoomRectOff) {
        const int dx = point.x - zoomRectPen_.x;
        const int dy = point.y - zoomRectPen_.y;
        if (dx == 0 && dy == 0) return;
        OffsetRect(&zoomRect_, dx, dy);
        zoomRectPen_ = point;
        zoomRectMode_ = kZoomRectShown;
        InvalidateRect(hwnd_, nullptr, FALSE);
        UpdateWindow(hwnd_);
        return;
    }
    if (holdPending_) {
        if (std::abs(point.x - penDown_.x) <= kViewPanThreshold &&
            std::abs(point.y - penDown_.y) <= kViewPanThreshold) {
            return;
        }
        KillTimer(hwnd_, kViewHoldTimer);
        holdPending_ = false;
        // Panning starts even when the pen-down did not arm it: the layout
        // keeps a small picture centred.
        if (panState_ == kPanNone && ImageShown()) {
            panStartOffset_ = POINT{entry_->block.offsetX, entry_->block.offsetY};
            SetCapture(hwnd_);
        }
        panState_ = kPanActive;
    }
    if (panState_ != kPanActive) return;
    const int dx = point.x - penLast_.x;
    const int dy = point.y - penLast_.y;
    penLast_ = point;
    if (!ImageShown() || (dx == 0 && dy == 0)) return;
    EntryBlock& block = entry_->block;
    // The layout clamps the offsets: a move that would change nothing (the
    // picture already at its edge) is not drawn again.
    EntryBlock trial = block;
    trial.offsetX += dx;
    trial.offsetY += dy;
    ComputeLayout(&trial, DecodedWidth(), DecodedHeight(), clientRect_.right, clientRect_.bottom);
    if (trial.offsetX == block.offsetX && trial.offsetY == block.offsetY) return;
    block.offsetX += dx;
    block.offsetY += dy;
    Layout();
}

void PictureView::OnPenUp(POINT) {
    penIsDown_ = false;
    if (zoomRectMode_ == kZoomRectPenDown) {
        // A tap inside the rectangle without moving it: zoom onto it.
        if (GetCapture() == hwnd_) ReleaseCapture();
        zoomRectMode_ = kZoomRectOff;
        if (ImageShown() && ZoomBlockToRectangle(&entry_->block, zoomRect_, clientRect_.right,
                                                 clientRect_.bottom)) {
            userZoomed_ = true;
        }
        Layout();
        return;
    }
    if (zoomRectMode_ == kZoomRectShown) {
        if (GetCapture() == hwnd_) ReleaseCapture();
        return;
    }
    if (holdPending_) {
        KillTimer(hwnd_, kViewHoldTimer);
        holdPending_ = false;
    }
    EndPanning();
}

void PictureView::EndPanning() {
    panState_ = kPanNone;
    if (GetCapture() == hwnd_) ReleaseCapture();
}

void PictureView::OnHoldTimer() {
    KillTimer(hwnd_, kViewHoldTimer);
    if (!holdPending_) return;
    holdPending_ = false;
    penIsDown_ = false;  // the menu takes the pen from here
    EndPanning();
    HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_VIEW_CONTEXT_MENU));
    if (!menu) return;
    HMENU image = GetSubMenu(menu, 1);
    if (image) {
        POINT at = penDown_;
        ClientToScreen(hwnd_, &at);
        // The commands go to the frame, which also enables the items.
        HWND owner = host_ ? host_->HostWindow() : GetParent(hwnd_);
        TrackPopupMenu(image, TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, 0, owner, nullptr);
    }
    DestroyMenu(menu);
}

void PictureView::OnDoubleTap(WPARAM keys, POINT point) {
    KillTimer(hwnd_, kViewHoldTimer);
    holdPending_ = false;
    // With the zoom rectangle (or right after the tap that zoomed onto it
    // or ended it) a second tap is an ordinary pen-down.
    if (zoomRectMode_ != kZoomRectOff || zoomRectTap_) {
        OnPenDown(point);
        return;
    }
    // The frame toggles full screen: the container passes it on.
    HWND parent = GetParent(hwnd_);
    if (!parent) return;
    MapWindowPoints(hwnd_, parent, &point, 1);
    SendMessageW(parent, WM_LBUTTONDBLCLK, keys, MAKELPARAM(point.x, point.y));
}

void PictureView::StartZoomRect(float fraction) {
    if (!ImageShown()) return;
    zoomRect_ = ZoomRectangle(fraction, clientRect_.right, clientRect_.bottom);
    zoomRectMode_ = kZoomRectShown;
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

// ---- Pages and frames --------------------------------------------------------------------------

bool PictureView::PauseLoader() { return host_ && host_->PauseLoader(); }

void PictureView::ResumeLoader(bool wasRunning) {
    if (wasRunning && host_) host_->ResumeLoader();
}

bool PictureView::StepPage(int delta) {
    if (!ImageShown() || Playing()) return false;
    const int pages = PageCount();
    if (pages < 2) return false;
    const int target = static_cast<int>(
        std::clamp<long long>(static_cast<long long>(pageIndex_) + delta, 0, pages - 1));
    if (target == pageIndex_) return false;
    ImageEntry* entry = entry_;
    ImageFile* file = entry->image;
    const bool loaderWasRunning = PauseLoader();
    ClearAbortFlag();  // an abort meant for the loader must not cut this page short
    const LoadError error = file->LoadPage(target);
    if (error == kLoadOk && host_ && host_->Options().iPaqOptimization && TheImageLibrary()) {
        TheImageLibrary()->Dither(file);
    }
    ResumeLoader(loaderWasRunning);
    if (error != kLoadOk) {
        // The page loader keeps the previous page when it fails.
        const int shownPage = pageIndex_;
        ShowMessage(static_cast<int>(error), true);
        ShowEntry(entry, true);
        pageIndex_ = shownPage;
        return false;
    }
    pageIndex_ = target;
    const BITMAPINFOHEADER* header = file->image.header;
    entry->block.width = header->biWidth;
    entry->block.height = std::abs(header->biHeight);
    entry->block.bitsPerPixel = static_cast<BYTE>(header->biBitCount);
    Layout();
    return true;
}

bool PictureView::GoToFrame(int index) {
    if (Playing() || !MultiFrame()) return false;
    ImageFile* file = entry_->image;
    const int target = std::clamp(index, 0, file->image.frameSource->frameCount - 1);
    HANDLE handle = CreateFileW(file->filePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    // The frame decoders share the process-wide reader with the loader.
    const bool loaderWasRunning = PauseLoader();
    ClearAbortFlag();
    const int result = file->LoadFrame(handle, target, 0, 0);
    CloseHandle(handle);
    if (result == 0 && host_ && host_->Options().iPaqOptimization && TheImageLibrary()) {
        TheImageLibrary()->Dither(file);
    }
    ResumeLoader(loaderWasRunning);
    // The index names the frame on the screen: a step that failed leaves it
    // where it was, so the bar's rules and the next step start from there.
    if (result != 0) return false;
    frameIndex_ = target;
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
    return true;
}

// ---- Commands ----------------------------------------------------------------------------------

bool PictureView::HandleCommand(UINT id) {
    switch (id) {
        case IDM_ZOOM_RECT_FIRST:
            StartZoomRect(0.2f);
            return true;
        case IDM_ZOOM_RECT_MEDIUM:
            StartZoomRect(0.4f);
            return true;
        case IDM_ZOOM_RECT_LAST:
            StartZoomRect(0.7f);
            return true;
        case IDM_PREVIOUS_PAGE:
            StepPage(-1);
            return true;
        case IDM_NEXT_PAGE:
            StepPage(1);
            return true;
        case IDM_VIDEO_FIRST:
            if (PageCount() > 1) {
                StepPage(-kPageJump);
            } else {
                GoToFrame(0);
            }
            return true;
        case IDM_VIDEO_PREVIOUS:
            if (PageCount() > 1) {
                StepPage(-1);
            } else {
                GoToFrame(frameIndex_ - 1);
            }
            return true;
        case IDM_VIDEO_NEXT:
            if (PageCount() > 1) {
                StepPage(1);
            } else {
                GoToFrame(frameIndex_ + 1);
            }
            return true;
        case IDM_VIDEO_LAST:
            if (PageCount() > 1) {
                StepPage(kPageJump);
            } else {
                GoToFrame(FrameCount() - 1);
            }
            return true;
        case IDM_DICOM_INFO:
            if (IsCommandEnabled(id) == 1) {
                ImageAlbum& album = host_->HostAlbum();
                ShowDicomInfo(&album, album.current, host_->HostWindow(), host_);
            }
            return true;
        case IDM_WINDOW_LEVEL:
            if (IsCommandEnabled(id) == 1) OpenWindowLevel();
            return true;
        case IDM_CONTRAST_BRIGHTNESS:
            if (IsCommandEnabled(id) == 1) {
                ImageAlbum& album = host_->HostAlbum();
                OpenContrastDialog(&album, album.current, host_->HostWindow(), hwnd_);
            }
            return true;
        case IDM_EXIT:
            // Exit while playing: the loop ends first, the frame's timer
            // then closes the program.
            if (!Playing()) return false;
            StopPlayback();
            if (host_) SetTimer(host_->HostWindow(), kExitTimer, kExitDelayMs, nullptr);
            return true;
        default:
            return false;
    }
}

int PictureView::IsCommandEnabled(UINT id) {
    const bool shown = ImageShown();
    const int pages = shown ? PageCount() : 1;
    switch (id) {
        case IDM_PREVIOUS_PAGE:
            return shown && pages > 1 && pageIndex_ > 0;
        case IDM_NEXT_PAGE:
            return shown && pages > 1 && pageIndex_ < pages - 1;
        case IDM_CONTRAST_BRIGHTNESS:
        case IDM_WINDOW_LEVEL:
            return shown && host_ && !host_->SlideShowRunning() && !host_->FullScreen() &&
                   !Playing();
        case IDM_DICOM_INFO:
            return shown && host_ && !host_->SlideShowRunning() &&
                   host_->HostAlbum().Count() > 0 && IsRealFile();
        // Drawing mode, playback and the media-player control are not part
        // of this build.
        case IDM_PLAY_VIDEO:
        case IDM_DRAW_NOTES:
        case IDM_VIDEO_START:
        case IDM_VIDEO_STOP:
            return 0;
        case IDM_VIDEO_FIRST:
        case IDM_VIDEO_PREVIOUS:
            return (usesFrameBar_ && frameIndex_ > 0) || (pages > 1 && pageIndex_ > 0);
        case IDM_VIDEO_NEXT:
            if (usesFrameBar_ && frameIndex_ < FrameCount() - 1) return 1;
            return pages > 1 && pageIndex_ < pages - 1;
        case IDM_VIDEO_LAST:
            // Only the decoder component's engine (not in this build) offers
            // the last frame of a movie; pages have a last page.
            return pages > 1 && pageIndex_ < pages - 1;
        default:
            return -1;
    }
}

bool PictureView::IsRealFile() const {
    if (!host_) return false;
    WCHAR path[MAX_PATH];
    const ImageAlbum& album = host_->HostAlbum();
    if (!album.FullPath(album.current, false, path, MAX_PATH)) return false;
    const int length = lstrlenW(path);
    // A link file stands for a remote file, except the one the Open URL
    // command downloads into, which is a real file.
    if (length >= 4 && lstrcmpiW(path + length - 4, u".url") == 0) {
        return lstrcmpiW(path, u"\\My Documents\\temp.url") == 0;
    }
    return true;
}

void PictureView::OpenWindowLevel() {
    ImageAlbum& album = host_->HostAlbum();
    // The dialog decodes the file once more: the loader waits meanwhile.
    const bool loaderWasRunning = PauseLoader();
    const bool changed = OpenWindowLevelDialog(&album, album.current, host_->HostWindow());
    if (changed) {
        // The entry's image was released: decode it anew with the new window.
        ShowMessage(kViewLoading, true);
        PostMessageW(host_->HostWindow(), MSG_NAVIGATE, 3, 0);
    }
    ResumeLoader(loaderWasRunning);
}

// ---- Messages ----------------------------------------------------------------------------------

LRESULT PictureView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The loader replaces the shown entry under the album lock: what reads
    // it here holds the lock too (not the hold timer: its menu loop would
    // keep the loader waiting).
    struct AlbumLock {
        ViewerHost* host;
        explicit AlbumLock(ViewerHost* h) : host(h) {
            if (host) host->LockAlbum();
        }
        ~AlbumLock() {
            if (host) host->UnlockAlbum();
        }
    };
    const bool readsEntry = message == WM_PAINT || message == WM_ERASEBKGND || message == WM_SIZE ||
                            message == WM_LBUTTONDOWN || message == WM_MOUSEMOVE ||
                            message == WM_LBUTTONUP || message == MSG_VIEW_LAYOUT;
    AlbumLock lock(readsEntry ? host_ : nullptr);
    switch (message) {
        case WM_PAINT:
            OnPaint();
            return 0;
        case WM_ERASEBKGND:
            // The paint covers the whole client area.
            if (ImageShown() && entry_->block.zoom != 0.0f) return 1;
            break;
        case WM_SIZE:
            OnSize(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_LBUTTONDOWN:
            OnPenDown(PointOf(lParam));
            return 0;
        case WM_MOUSEMOVE:
            OnPenMove(PointOf(lParam));
            return 0;
        case WM_LBUTTONUP:
            OnPenUp(PointOf(lParam));
            return 0;
        case WM_LBUTTONDBLCLK:
            OnDoubleTap(wParam, PointOf(lParam));
            return 0;
        case WM_TIMER:
            if (wParam == kViewHoldTimer) {
                OnHoldTimer();
                return 0;
            }
            break;
        case WM_CANCELMODE:
            KillTimer(hwnd_, kViewHoldTimer);
            holdPending_ = false;
            penIsDown_ = false;
            EndPanning();
            break;
        case WM_CAPTURECHANGED:
            if (reinterpret_cast<HWND>(lParam) != hwnd_) panState_ = kPanNone;
            return 0;
        case MSG_VIEW_LAYOUT:
            Layout();
            return 0;
        case WM_DESTROY:
            StopPlayback();
            KillTimer(hwnd_, kViewHoldTimer);
            if (messageFont_) DeleteObject(messageFont_);
            if (backgroundBrush_) DeleteObject(backgroundBrush_);
            messageFont_ = nullptr;
            backgroundBrush_ = nullptr;
            break;
        default:
            break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}
