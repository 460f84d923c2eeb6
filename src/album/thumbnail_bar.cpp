// The thumbnail bar: grid, scroll bar, painting, pen input, the entry menu's
// commands, and the loader thread that decodes entries and makes icons.
//
// Locking. The album lock (the loader's critical section) guards every entry
// the loader reads or writes, the grid numbers the loader reads, and every
// structural change of the album. The loader never holds it while decoding,
// and never waits for the main thread while holding it: it only posts to the
// windows of the main thread. That is what keeps the two threads apart: the
// main thread may wait for the lock (Navigate, painting, a delete) at any
// moment, so a loader that sent a message under the lock would wait for a
// thread that waits for it.
#include "album/thumbnail_bar.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "album/reorder_dialog.h"
#include "app/main_frame_messages.h"
#include "app/shell_helpers.h"
#include "image/format_handler.h"
#include "image/frame_source.h"
#include "image/image_library.h"
#include "res/resource.h"
#include "view/adjustment_attachment.h"
#include "view/display_adjustment.h"
#include "view/picture_view.h"

namespace {

constexpr COLORREF kCurrentCellColour = RGB(0, 0, 100);
constexpr COLORREF kIncompleteTextColour = RGB(255, 0, 0);  // as the view's messages
constexpr DWORD kNoImageEstimate = 1048576;
constexpr DWORD kUnknownNeed = 3 * 1048576;  // an out-of-memory decode without a header
constexpr int kNameStrip = 12;                // file names: the cell's bottom 12 pixels
constexpr int kAttempts = 3;

// "Unable to create thread..." is shown once per run.
bool g_threadErrorShown = false;

// Bytes of a DIB of that shape plus the header, saturated at 4 GB.
DWORD DibEstimate(int64_t width, int64_t height, int64_t bitsPerPixel) {
    if (width < 0) width = -width;
    if (height < 0) height = -height;
    const int64_t stride = ((bitsPerPixel * width + 31) / 32) * 4;
    const int64_t bytes = stride * height + 1096;
    return bytes > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<DWORD>(bytes);
}

DWORD ImageEstimate(const ImageFile* file, const EntryBlock& block) {
    if (!file) return kNoImageEstimate;
    if (const BITMAPINFOHEADER* header = file->image.header) {
        return DibEstimate(header->biWidth, header->biHeight, header->biBitCount);
    }
    return DibEstimate(block.width, block.height, block.bitsPerPixel);
}

void FreeImageFile(ImageFile* file) {
    if (!file) return;
    DisplayAdjustment* adjustment = file->image.adjustment;
    file->Unload();
    delete file;
    delete adjustment;
}

void FreeIcon(RImage* icon) {
    if (!icon) return;
    ReleaseImage(icon);
    delete icon;
}

// The text after the last of `separators` in `text`.
LPCWSTR AfterLast(LPCWSTR text, const char16_t* separators) {
    LPCWSTR start = text;
    for (LPCWSTR p = text; *p; ++p) {
        for (const char16_t* s = separators; *s; ++s) {
            if (*p == *s) start = p + 1;
        }
    }
    return start;
}

}  // namespace

DWORD EntryMemoryEstimate(const ImageEntry& entry) {
    return ImageEstimate(entry.image, entry.block);
}

ThumbnailBar::ThumbnailBar() = default;

ThumbnailBar::~ThumbnailBar() {
    StopLoader();
    for (HBITMAP* bitmap : {&failedIcon_, &pendingIcon_, &externalVideoIcon_, &engineVideoIcon_,
                            &fillButton_}) {
        if (*bitmap) DeleteObject(*bitmap);
        *bitmap = nullptr;
    }
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

bool ThumbnailBar::Create(LPCWSTR className, HWND parent, int id, HINSTANCE instance) {
    const RECT none = {0, 0, 0, 0};
    return CreateChild(className, WS_CHILD | WS_CLIPCHILDREN, &none, instance, parent, id) != nullptr;
}

int ThumbnailBar::OnCreate(CREATESTRUCTW*) {
    scale_ = std::max(1, GetSystemMetrics(SM_CXBORDER));
    cellWidth_ = kThumbnailCell * scale_;
    cellHeight_ = (showNames_ ? kThumbnailCellWithName : kThumbnailCell) * scale_;
    if (!font_) {
        LOGFONTW description = {};
        GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(description), &description);
        description.lfHeight = -9 * scale_;
        description.lfWidth = 0;
        font_ = CreateFontIndirectW(&description);
        if (!font_) {
            lstrcpynW(description.lfFaceName, u"MS Sans Serif", LF_FACESIZE);
            font_ = CreateFontIndirectW(&description);
        }
    }
    return 0;
}

void ThumbnailBar::Attach(ViewerHost* host, ImageAlbum* album) {
    StopLoader();  // a running loader must not see the album change under it
    host_ = host;
    album_ = album;
    RecomputeGrid(true);
    if (hwnd_) UpdateWindow(hwnd_);
    StartLoader();
}

void ThumbnailBar::SetMode(bool verticalScroller, bool showNames) {
    const int mode = (verticalScroller ? 1 : 0) | (showNames ? 2 : 0);
    if ((mode ^ mode_) & 1) DestroyScrollBar();
    mode_ = mode;
    LockAlbum();
    horizontal_ = !verticalScroller;
    showNames_ = showNames;
    cellHeight_ = (showNames ? kThumbnailCellWithName : kThumbnailCell) * scale_;
    UnlockAlbum();
    RecomputeGrid(true);
    if (hwnd_) UpdateWindow(hwnd_);
}

int ThumbnailBar::StripThickness(bool sideBySide) const {
    if (sideBySide) return 2 * Gap() + cellWidth_ + (horizontal_ ? 0 : ScrollBarSize());
    return 2 * Gap() + cellHeight_ + (horizontal_ ? ScrollBarSize() : 0);
}

// ---- Grid ----------------------------------------------------------------------------------------

void ThumbnailBar::RecomputeGrid(bool force) {
    if (hwnd_) GetClientRect(hwnd_, &clientRect_);
    const int width = clientRect_.right - clientRect_.left;
    const int height = clientRect_.bottom - clientRect_.top;
    LockAlbum();
    const int count = album_ ? album_->Count() : 0;
    const int stepX = Gap() + cellWidth_;
    const int stepY = Gap() + cellHeight_;
    const int visibleColumns = std::max(0, width / stepX);
    const int visibleRows = std::max(0, height / stepY);
    int rows = visibleRows;
    int columns = visibleColumns;
    if (visibleColumns * visibleRows < count) {
        // The scroll bar takes a strip; a partial row (column) is used when
        // more than half a cell is left beside the whole ones.
        if (horizontal_) {
            const int left = height - ScrollBarSize() - visibleRows * stepY;
            if (visibleRows == 0 || left > cellHeight_ / 2) ++rows;
            columns = (count + rows - 1) / rows;
        } else {
            const int left = width - ScrollBarSize() - visibleColumns * stepX;
            if (visibleColumns == 0 || left > cellWidth_ / 2) ++columns;
            rows = (count + columns - 1) / columns;
        }
    }
    const bool changed = rows != rows_ || columns != columns_ || visibleRows != visibleRows_ ||
                         visibleColumns != visibleColumns_;
    if (!force && !changed) {
        UnlockAlbum();
        return;
    }
    rows_ = rows;
    columns_ = columns;
    visibleRows_ = visibleRows;
    visibleColumns_ = visibleColumns;
    UnlockAlbum();
    UpdateScrollBar();
    if (hwnd_) InvalidateRect(hwnd_, nullptr, TRUE);
}

void ThumbnailBar::UpdateScrollBar() {
    if (!hwnd_) return;
    const int width = clientRect_.right - clientRect_.left;
    const int height = clientRect_.bottom - clientRect_.top;
    const bool needed = horizontal_ ? visibleColumns_ < columns_ : visibleRows_ < rows_;
    if (!needed) {
        DestroyScrollBar();
        return;
    }
    const int current = album_ ? album_->current : -1;
    int initial = 0;
    if (current > 0) initial = horizontal_ ? current / std::max(1, rows_) : current / std::max(1, columns_);
    const bool created = scrollBar_ == nullptr;
    if (created) {
        scrollBar_ = CreateWindowExW(0, u"SCROLLBAR", nullptr,
                                     WS_CHILD | WS_VISIBLE | (horizontal_ ? SBS_HORZ : SBS_VERT), 0, 0,
                                     0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kThumbnailScrollBarId)),
                                     instance_, nullptr);
        if (!scrollBar_) return;
    }
    if (horizontal_) {
        MoveWindow(scrollBar_, 0, height - ScrollBarSize(), width, ScrollBarSize(), TRUE);
    } else {
        MoveWindow(scrollBar_, width - ScrollBarSize(), 0, ScrollBarSize(), height, TRUE);
    }
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE | (created ? SIF_POS : 0);
    info.nMin = 0;
    info.nMax = (horizontal_ ? columns_ : rows_) - 1;
    info.nPage = static_cast<UINT>(horizontal_ ? visibleColumns_ : visibleRows_);
    info.nPos = initial;
    SetScrollInfo(scrollBar_, SB_CTL, &info, TRUE);
    // The loader reads the position; keep it inside what can be scrolled to.
    const int last = std::max(0, info.nMax - static_cast<int>(info.nPage) + 1);
    const int position = std::clamp(GetScrollPos(scrollBar_, SB_CTL), 0, last);
    LockAlbum();
    scrollPosition_ = position;
    UnlockAlbum();
}

void ThumbnailBar::DestroyScrollBar() {
    if (scrollBar_) DestroyWindow(scrollBar_);
    scrollBar_ = nullptr;
    LockAlbum();
    scrollPosition_ = 0;
    UnlockAlbum();
}

void ThumbnailBar::DrawPicture(HDC dc, HBITMAP picture, int x, int y, int width, int height) const {
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, picture);
    if (scale_ == 1) BitBlt(dc, x, y, width, height, memory, 0, 0, SRCCOPY);
    else StretchBlt(dc, x, y, width * scale_, height * scale_, memory, 0, 0, width, height, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

RECT ThumbnailBar::DrawingArea() const {
    RECT area = clientRect_;
    if (scrollBar_) {
        if (horizontal_) {
            area.bottom -= ScrollBarSize();
        } else {
            area.right -= ScrollBarSize();
        }
    }
    return area;
}

bool ThumbnailBar::CellRect(int index, RECT* cell, bool* visible) const {
    if (index < 0 || rows_ <= 0 || columns_ <= 0) return false;
    int row, column;
    if (horizontal_) {
        row = index % rows_;
        column = index / rows_;
    } else {
        column = index % columns_;
        row = index / columns_;
    }
    if (row >= rows_ || column >= columns_) return false;
    const int firstColumn = horizontal_ ? scrollPosition_ : 0;
    const int firstRow = horizontal_ ? 0 : scrollPosition_;
    cell->left = Gap() + (column - firstColumn) * (cellWidth_ + Gap());
    cell->top = Gap() + (row - firstRow) * (cellHeight_ + Gap());
    cell->right = cell->left + cellWidth_;
    cell->bottom = cell->top + cellHeight_;
    if (visible) {
        const RECT area = DrawingArea();
        RECT common;
        *visible = IntersectRect(&common, cell, &area) != FALSE;
    }
    return true;
}

int ThumbnailBar::CellAt(POINT point) const {
    const RECT area = DrawingArea();
    if (!PtInRect(&area, point) || rows_ <= 0 || columns_ <= 0) return -1;
    const int dx = point.x - Gap();
    const int dy = point.y - Gap();
    if (dx < 0 || dy < 0) return -1;
    const int stepX = cellWidth_ + Gap();
    const int stepY = cellHeight_ + Gap();
    if (dx % stepX >= cellWidth_ || dy % stepY >= cellHeight_) return -1;  // the gap between cells
    int column = dx / stepX;
    int row = dy / stepY;
    if (horizontal_) {
        column += scrollPosition_;
    } else {
        row += scrollPosition_;
    }
    if (row >= rows_ || column >= columns_) return -1;
    const int index = horizontal_ ? row + column * rows_ : column + row * columns_;
    const int count = album_ ? album_->Count() : 0;
    return index < count ? index : -1;
}

void ThumbnailBar::Select(int index) {
    if (!album_) return;
    LockAlbum();
    const int previous = album_->current;
    album_->current = index;
    UnlockAlbum();
    bool redrawn = RedrawCell(previous);
    redrawn = RedrawCell(index) || redrawn;
    if (redrawn && hwnd_) UpdateWindow(hwnd_);
    if (host_) PostMessageW(host_->HostWindow(), MSG_NAVIGATE, kNavigateStay, 0);
}

void ThumbnailBar::ScrollTo(int index) {
    if (!scrollBar_ || index < 0) return;
    int line, page;
    if (horizontal_) {
        line = rows_ > 0 ? index / rows_ : 0;
        page = visibleColumns_;
    } else {
        line = columns_ > 0 ? index / columns_ : 0;
        page = visibleRows_;
    }
    if (line >= scrollPosition_ && line < scrollPosition_ + page) return;  // fully visible
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    GetScrollInfo(scrollBar_, SB_CTL, &info);
    const int last = std::max(info.nMin, info.nMax - static_cast<int>(info.nPage) + 1);
    line = std::clamp(line, info.nMin, last);
    SetScrollPos(scrollBar_, SB_CTL, line, TRUE);
    LockAlbum();
    scrollPosition_ = line;
    UnlockAlbum();
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
}

bool ThumbnailBar::RedrawCell(int index) {
    RECT cell;
    bool visible = false;
    if (!hwnd_ || !CellRect(index, &cell, &visible) || !visible) return false;
    InvalidateRect(hwnd_, &cell, TRUE);
    return true;
}

void ThumbnailBar::OnScroll(int code, int thumb) {
    if (!scrollBar_) return;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    if (!GetScrollInfo(scrollBar_, SB_CTL, &info)) return;
    const int page = static_cast<int>(info.nPage);
    int position = info.nPos;
    switch (code) {
    case SB_LINEUP: --position; break;
    case SB_LINEDOWN: ++position; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = thumb; break;
    case SB_TOP: position = info.nMin; break;
    case SB_BOTTOM: position = info.nMax; break;
    default: return;
    }
    position = std::clamp(position, info.nMin, std::max(info.nMin, info.nMax - page + 1));
    if (position == scrollPosition_ && position == info.nPos) return;
    SetScrollPos(scrollBar_, SB_CTL, position, TRUE);
    LockAlbum();
    scrollPosition_ = position;
    UnlockAlbum();
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
}

// ---- Painting ------------------------------------------------------------------------------------

HBITMAP ThumbnailBar::Picture(HBITMAP* slot, int id) {
    if (!*slot) *slot = LoadBitmapW(instance_ ? instance_ : AppInstance(), MAKEINTRESOURCEW(id));
    return *slot;
}

void ThumbnailBar::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd_, &paint);
    if (!dc) return;
    const RECT area = DrawingArea();
    IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    RECT fill;
    if (IntersectRect(&fill, &paint.rcPaint, &area)) {
        FillRect(dc, &fill, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    }
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    SetBkMode(dc, TRANSPARENT);

    // The entries are read under the lock: the loader stores icons and
    // states in them.
    LockAlbum();
    const int count = album_ ? album_->Count() : 0;
    const int current = album_ ? album_->current : -1;
    for (int index = 0; index < count; ++index) {
        RECT cell, common;
        bool visible = false;
        if (!CellRect(index, &cell, &visible) || !visible) continue;
        if (!IntersectRect(&common, &cell, &paint.rcPaint)) continue;
        DrawCell(dc, index, cell, index == current);
    }
    UnlockAlbum();

    SetRectEmpty(&fillButtonRect_);
    const bool fillsScreen = host_ && host_->ThumbnailsFillScreen();
    if (!fillsScreen && scrollBar_) {
        if (HBITMAP button = Picture(&fillButton_, IDB_THUMB_FILL_SCREEN)) {
            BITMAP bits = {};
            GetObjectW(button, sizeof(bits), &bits);
            const int right = clientRect_.right - 2 * scale_ - (horizontal_ ? 0 : ScrollBarSize());
            fillButtonRect_ = {right - bits.bmWidth * scale_, 2 * scale_, right, (2 + bits.bmHeight) * scale_};
            DrawPicture(dc, button, fillButtonRect_.left, fillButtonRect_.top, bits.bmWidth, bits.bmHeight);
        }
    }
    if (oldFont) SelectObject(dc, oldFont);
    EndPaint(hwnd_, &paint);
}

void ThumbnailBar::DrawCell(HDC dc, int index, const RECT& cellRect, bool current) {
    ImageEntry* entry = album_->Entry(index);
    RECT cell = cellRect;
    if (current) {
        HBRUSH brush = CreateSolidBrush(kCurrentCellColour);
        FillRect(dc, &cell, brush);
        DeleteObject(brush);
    } else {
        DrawFrameControl(dc, &cell, DFC_BUTTON, DFCS_BUTTONPUSH);
    }
    const bool loading = entry->loadState == kDecoding;

    // The picture: the icon, a video marker, or the failed/pending icon.
    HBITMAP picture = nullptr;
    const FrameSource* frames = entry->image ? entry->image->image.frameSource : nullptr;
    if (IsMediaPlayerPlaceholder(frames)) {
        // The control plays the file in its own window: its first frame is
        // no picture of it.
        entry->SetIcon(nullptr);
        picture = Picture(&externalVideoIcon_, IDB_THUMB_PLAYER_VIDEO);
    } else if (IsMultiFrame(frames) && frames->step) {
        picture = Picture(&engineVideoIcon_, IDB_THUMB_ENGINE_VIDEO);
    } else if (entry->icon && entry->icon->bitmap) {
        picture = entry->icon->bitmap;
    } else if (!loading) {
        picture = entry->loadState == kDecodeFailed ? Picture(&failedIcon_, IDB_THUMB_FAILED)
                                                    : Picture(&pendingIcon_, IDB_THUMB_PENDING);
    }
    if (picture) {
        BITMAP bits = {};
        int x = cell.left + 2 * scale_, y = cell.top + 2 * scale_;
        int width = cellWidth_ / scale_ - 4, height = cellWidth_ / scale_ - 4;
        if (GetObjectW(picture, sizeof(bits), &bits) != 0) {
            width = bits.bmWidth;
            height = bits.bmHeight < 0 ? -bits.bmHeight : bits.bmHeight;
            x = cell.left + (cellWidth_ - width * scale_) / 2;
            y = cell.top + (cellWidth_ - height * scale_) / 2;
        }
        DrawPicture(dc, picture, x, y, width, height);
    }

    const COLORREF textColour = current ? RGB(255, 255, 255) : RGB(0, 0, 0);
    SetTextColor(dc, textColour);
    const bool hasIcon = entry->icon != nullptr;
    if (!hasIcon && loading) {
        WCHAR text[64];
        LoadResString(IDS_LOADING, instance_, text, 64);
        RECT square = {cell.left, cell.top, cell.right, cell.top + cellWidth_};
        DrawTextW(dc, text, -1, &square, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    // A picture whose file ended early says so in the name row, in the
    // view's message colour, whether or not names are shown.
    const bool incomplete = (entry->icon && entry->icon->truncated) ||
                            (entry->image && entry->image->image.truncated);
    if (incomplete) {
        LPCWSTR text = ImageString(kStringIncompletePicture);
        RECT strip = {cell.left + 1, cell.bottom - kNameStrip, cell.right - 1, cell.bottom};
        SetTextColor(dc, kIncompleteTextColour);
        DrawTextW(dc, text ? text : u"", -1, &strip,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        SetTextColor(dc, textColour);
    } else if (showNames_) {
        LPCWSTR source = entry->sourceUrl.empty() ? entry->Name()
                                                  : AfterLast(entry->sourceUrl.c_str(), u"/\\");
        WCHAR name[MAX_PATH];
        lstrcpynW(name, source, MAX_PATH);
        WCHAR* dot = nullptr;
        for (WCHAR* p = name; *p; ++p) {
            if (*p == u'.') dot = p;
        }
        if (dot) *dot = 0;
        RECT strip = {cell.left + 1, cell.bottom - kNameStrip * scale_, cell.right - 1, cell.bottom};
        DrawTextW(dc, name, -1, &strip, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    } else if (!hasIcon && !loading) {
        WCHAR number[16];
        wsprintfW(number, u"%d.", index + 1);
        TextOutW(dc, cell.left + 12 * scale_, cell.top + 4 * scale_, number, lstrlenW(number));
    }
}

// ---- Pen input and the entry menu ----------------------------------------------------------------

void ThumbnailBar::OnPenDown(POINT point) {
    penDown_ = point;
    penCell_ = CellAt(point);
    holdPending_ = true;
    SetTimer(hwnd_, kHoldTimer, kHoldMs, nullptr);
}

void ThumbnailBar::OnPenUp(POINT point) {
    const bool tap = holdPending_;
    holdPending_ = false;
    KillTimer(hwnd_, kHoldTimer);
    if (PtInRect(&fillButtonRect_, point)) {
        if (host_) PostMessageW(host_->HostWindow(), WM_COMMAND, IDM_THUMBNAILS_FILL_SCREEN, 0);
        return;
    }
    const int index = CellAt(point);
    if (index >= 0 && tap) Select(index);
    if (host_ && host_->ThumbnailsFillScreen()) {
        PostMessageW(host_->HostWindow(), MSG_SHOW_MAIN_LAYOUT, 0, 0);
    }
}

void ThumbnailBar::OnHoldTimer() {
    KillTimer(hwnd_, kHoldTimer);
    if (!holdPending_) return;
    holdPending_ = false;
    HMENU menu = LoadMenuW(instance_ ? instance_ : AppInstance(), MAKEINTRESOURCEW(IDR_MENU_THUMBNAIL));
    if (!menu) return;
    HMENU popup = GetSubMenu(menu, 0);
    const int index = penCell_;
    if (popup) {
        PrepareEntryMenu(popup, index);
        POINT at = penDown_;
        ClientToScreen(hwnd_, &at);
        const UINT command = static_cast<UINT>(
            TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, at.x, at.y, 0, hwnd_, nullptr));
        if (command != 0 && !DoCommand(command, index) && host_) {
            SendMessageW(host_->HostWindow(), WM_COMMAND, command, 0);
        }
    }
    DestroyMenu(menu);
}

void ThumbnailBar::PrepareEntryMenu(HMENU popup, int index) {
    // The same commands in the frame's menus follow the frame's rule; an
    // item enabled here that the frame greys would do nothing when chosen.
    const int count = GetMenuItemCount(popup);
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(popup, i);
        if (id == 0 || id == static_cast<UINT>(-1) || !host_) continue;
        const int rule = host_->IsCommandEnabled(id);
        if (rule != -1) EnableMenuItem(popup, static_cast<UINT>(i), MF_BYPOSITION | (rule ? MF_ENABLED : MF_GRAYED));
    }
    if (index >= 0) return;
    for (UINT id : {IDM_VIEW_THUMBNAIL, IDM_DELETE_IMAGE, IDM_PROPERTIES, IDM_MOVE_LEFT, IDM_MOVE_RIGHT}) {
        EnableMenuItem(popup, id, MF_BYCOMMAND | MF_GRAYED);
    }
}

bool ThumbnailBar::DoCommand(UINT command, int index) {
    if (!album_ || !hwnd_ || index < 0 || index >= album_->Count()) return false;
    switch (command) {
    case IDM_DELETE_IMAGE: {
        LockAlbum();
        ImageEntry* entry = album_->Entry(index);
        // The view must not keep showing an entry that is about to go.
        PictureView* view = host_ ? host_->View() : nullptr;
        if (view && view->Entry() == entry) view->ShowEntry(nullptr, false);
        album_->Remove(index);
        const int count = album_->Count();
        if (count == 0) album_->current = -1;
        UnlockAlbum();
        RecomputeGrid(false);
        InvalidateRect(hwnd_, nullptr, TRUE);
        if (count == 0) {
            if (view) view->ShowEntry(nullptr, true);
            UpdateWindow(hwnd_);
            if (host_) PostMessageW(host_->HostWindow(), MSG_NAVIGATE, kNavigateStay, 0);
        } else {
            Select(index < count ? index : count - 1);
        }
        return true;
    }
    case IDM_VIEW_THUMBNAIL:
        Select(index);
        return true;
    case IDM_SORT_BY_NAME:
    case IDM_SORT_BY_TIME:
    case IDM_SORT_BY_SIZE: {
        const int operation = command == IDM_SORT_BY_NAME   ? kSortByName
                              : command == IDM_SORT_BY_TIME ? kSortByTime
                                                            : kSortBySize;
        LockAlbum();
        album_->Move(operation, index);
        const int current = album_->current;
        UnlockAlbum();
        ScrollTo(current);
        RecomputeGrid(false);
        InvalidateRect(hwnd_, nullptr, TRUE);
        return true;
    }
    case IDM_SORT_MANUALLY:
        RunReorderDialog();
        return true;
    case IDM_MOVE_LEFT:
    case IDM_MOVE_RIGHT:
        LockAlbum();
        album_->Move(command == IDM_MOVE_LEFT ? kMoveLeft : kMoveRight, index);
        UnlockAlbum();
        RecomputeGrid(false);
        InvalidateRect(hwnd_, nullptr, TRUE);
        return true;
    default:
        return false;
    }
}

void ThumbnailBar::RunReorderDialog() {
    LockAlbum();
    ReorderDialog dialog(*album_, hwnd_);
    UnlockAlbum();
    if (dialog.DoModal() != IDOK) return;
    LockAlbum();
    album_->Reorder(dialog.Order().data(), static_cast<int>(dialog.Order().size()));
    const int current = album_->current;
    UnlockAlbum();
    ScrollTo(current);
    RecomputeGrid(false);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

// ---- The loader ----------------------------------------------------------------------------------

bool ThumbnailBar::StartLoader() {
    StopLoader();
    if (!album_ || !host_ || host_->Options().notLoadInBkg) return false;
    if (!loader_.Start(&ThumbnailBar::LoaderMain, this)) {
        if (!g_threadErrorShown) {
            g_threadErrorShown = true;
            ShowMessage(host_->HostWindow(), instance_, MB_OK | MB_ICONSTOP, kErrorCaptionId,
                        IDS_NO_LOADER_THREAD);
        }
        return false;
    }
    return true;
}

void ThumbnailBar::StopLoader() {
    InterlockedExchange(&stopping_, 1);
    if (loader_.Handle()) {
        // A loader waiting for the lock this thread holds could not end.
        UnlockAlbum();
        // A decode that starts just after an abort clears the flag again:
        // abort until the thread has ended (the worker's own wait follows).
        ImageLibrary* library = TheImageLibrary();
        for (DWORD waited = 0; waited < WorkerThread::kStopWaitMs; waited += 10) {
            if (library) library->AbortAll();
            if (WaitForSingleObject(loader_.Handle(), 10) != WAIT_TIMEOUT) break;
        }
    }
    loader_.Stop();
    InterlockedExchange(&stopping_, 0);
}

DWORD WINAPI ThumbnailBar::LoaderMain(LPVOID self) {
    return static_cast<ThumbnailBar*>(self)->RunLoader();
}

DWORD ThumbnailBar::RunLoader() {
    loaderThreadId_ = GetCurrentThreadId();
    while (loader_.State() == WorkerThread::kRunning && !stopping_) {
        LockAlbum();
        const int index = album_ && rows_ > 0 && columns_ > 0 ? ChooseNext() : -1;
        UnlockAlbum();
        if (index < 0 || StopRequested()) break;
        if (!LoadEntry(index)) break;
    }
    loaderThreadId_ = 0;
    return 0;
}

bool ThumbnailBar::OnLoaderThread() const {
    return loaderThreadId_ != 0 && GetCurrentThreadId() == loaderThreadId_;
}

bool ThumbnailBar::StopRequested() const {
    return OnLoaderThread() && (stopping_ || loader_.StopRequested());
}

int ThumbnailBar::ChooseNext() {
    const int count = album_->Count();
    const int wanted = static_cast<int>(InterlockedExchange(&wanted_, -1));
    if (wanted >= 0 && wanted < count && album_->Entry(wanted)->loadState == kNotDecoded) return wanted;
    auto waiting = [this, count](int row, int column) {
        const int index = horizontal_ ? row + column * rows_ : column + row * columns_;
        if (index >= count) return false;
        const ImageEntry* entry = album_->Entry(index);
        return !entry->icon && entry->loadState == kNotDecoded;
    };
    auto at = [this](int row, int column) { return horizontal_ ? row + column * rows_ : column + row * columns_; };
    // The visible cells first, row by row, from the scroll position.
    const int firstRow = horizontal_ ? 0 : scrollPosition_;
    const int lastRow = horizontal_ ? rows_ : std::min(rows_, scrollPosition_ + visibleRows_ + 1);
    const int firstColumn = horizontal_ ? scrollPosition_ : 0;
    const int lastColumn = horizontal_ ? std::min(columns_, scrollPosition_ + visibleColumns_ + 1) : columns_;
    for (int row = firstRow; row < lastRow; ++row) {
        for (int column = firstColumn; column < lastColumn; ++column) {
            if (waiting(row, column)) return at(row, column);
        }
    }
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column) {
            if (waiting(row, column)) return at(row, column);
        }
    }
    return -1;
}

// Reporting a state. The entry is found again by its pointer (it may have
// been removed while unlocked: then nothing happens). For the current entry
// the view takes the entry or the message without drawing; the layout and
// the painting follow on the main thread through MSG_VIEW_LAYOUT. The
// messages are posted, and only after the lock is released: a SendMessage
// from the loader would wait for the main thread, which may itself be
// waiting for this lock.
void ThumbnailBar::Report(ImageEntry* entry, int state, LoadError error) {
    LockAlbum();
    const int index = album_ ? album_->IndexOf(entry) : -1;
    bool layout = false;
    bool redraw = false;
    PictureView* view = host_ ? host_->View() : nullptr;
    if (index >= 0) {
        entry->loadState = state;
        entry->errorCode = error;
        const bool current = index == album_->current;
        if (current && view) {
            if (state == kNotDecoded || state == kDecoded) {
                view->ShowEntry(entry, false);
            } else if (state == kDecoding) {
                if (!host_->SlideShowRunning()) view->ShowMessage(kViewLoading, false);
            } else {
                view->ShowMessage(static_cast<int>(error), false);
            }
        }
        redraw = host_->Options().notLoadInBkg || LoaderRunning() || !OnLoaderThread();
        layout = redraw && current && view;
    }
    UnlockAlbum();
    if (!redraw) return;
    if (OnLoaderThread()) {
        PostMessageW(hwnd_, MSG_REDRAW_CELL, 0, index);
        if (layout) PostMessageW(view->Handle(), MSG_VIEW_LAYOUT, 0, 0);
    } else {
        if (RedrawCell(index)) UpdateWindow(hwnd_);
        if (layout) SendMessageW(view->Handle(), MSG_VIEW_LAYOUT, 0, 0);
    }
}

bool ThumbnailBar::LoadEntry(int index) {
    if (!album_ || !host_) return true;

    // 1. The working copy, taken under the lock.
    LockAlbum();
    ImageEntry* entry = album_->Entry(index);
    if (!entry) {
        UnlockAlbum();
        return true;
    }
    EntryBlock block = entry->block;
    const bool hadIcon = entry->icon != nullptr;
    WCHAR path[MAX_PATH];
    const bool pathKnown = album_->FullPath(index, false, path, MAX_PATH);
    const SettingsBlock& options = host_->Options();
    const bool dither = options.iPaqOptimization != 0;
    const bool reduced = options.loadInReducedSize != 0;
    const bool autoZoom = options.autoZoomToFit != 0;
    const DWORD landscape = options.landscapeMode;
    const bool notCache = options.notCacheImage != 0;
    if (notCache) FreeMemory(0, index, false);

    // 2. A fresh record and adjustment; the entry's window/level choices go
    // into the adjustment.
    auto* file = new ImageFile();
    file->InitImageFile();
    auto* adjustment = new DisplayAdjustment;
    InitAdjustment(adjustment);
    DWORD attachmentSize = 0;
    const BYTE* attachment = entry->Attachment(kAttachmentAdjustment, &attachmentSize);
    AdjustmentAttachment choices;
    if (ReadAdjustmentAttachment(attachment, attachmentSize, &choices)) {
        ApplyAdjustmentAttachment(choices, adjustment);
    }
    file->image.adjustment = adjustment;
    UnlockAlbum();

    // 3. Published as the one being decoded.
    decoding_ = file;
    Report(entry, kDecoding, kLoadOk);

    int finalState = kNotDecoded;
    LoadError error = kLoadOk;
    bool gaveUp = false;
    bool stored = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (StopRequested()) {
            finalState = kNotDecoded;  // decoded again when the loader runs next
            error = kLoadOk;
            break;
        }
        if (!pathKnown) {
            error = kLoadPathNotFound;
            finalState = kDecodeFailed;
            break;
        }
        file->image.adjustment = adjustment;
        // Decoders clear the abort flag as they start; clearing it here too
        // makes a flag found set afterwards mean "aborted during this decode".
        ClearAbortFlag();
        const bool decoded = file->LoadFromPath(path, reduced ? DWORD(kLoadFlagReduced) : DWORD(0));
        if (decoded && AbortFlagSet()) {
            // Some decoders end an aborted decode with success and the rows
            // read so far; such a picture must not be kept as the entry's.
            file->lastError = kLoadAborted;
            file->Unload();
        }
        error = file->lastError;
        if (error == kLoadAborted) {
            error = kLoadOk;
            finalState = kNotDecoded;
            break;
        }
        if (error == kLoadOk) {
            if (dither && TheImageLibrary()) TheImageLibrary()->Dither(file);
            if (StopRequested()) {
                finalState = kNotDecoded;
                break;
            }
            const BITMAPINFOHEADER* header = file->image.header;
            if (header) {
                block.width = header->biWidth;
                block.height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
                block.bitsPerPixel = static_cast<BYTE>(header->biBitCount);
            }
            const bool initialise = block.flags == kDisplayUninitialised;
            if (initialise) {
                block.zoom = 1.0f;
                block.flags = autoZoom ? kDisplayZoomToFit : 0;
                block.rotation = landscape == 1 ? 90 : 0;
                if (landscape == 2) block.flags |= kDisplayRotateToFit;
            }
            RImage* icon = nullptr;
            if (!hadIcon) {
                const int side = (27 - spacing_) * 2;
                icon = new RImage;
                if (!file->MakeThumbnail(side, side, icon)) {
                    FreeMemory(2 * ImageEstimate(file, block), index, false);
                    if (!file->MakeThumbnail(side, side, icon)) {
                        delete icon;
                        icon = nullptr;
                    }
                }
            }
            // Back under the lock: the entry takes the results, unless it
            // was removed meanwhile.
            LockAlbum();
            const int now = album_->IndexOf(entry);
            if (now < 0) {
                FreeIcon(icon);
                FreeImageFile(file);
                finalState = kNotDecoded;
            } else {
                if (entry->image) {
                    FreeImageFile(file);  // decoded on another way meanwhile: keep that one
                } else {
                    entry->image = file;
                    entry->formatText = file->image.formatText;
                }
                if (icon && !entry->icon) {
                    entry->SetIcon(icon);
                } else {
                    FreeIcon(icon);
                }
                entry->block.width = block.width;
                entry->block.height = block.height;
                entry->block.bitsPerPixel = block.bitsPerPixel;
                if (initialise && entry->block.flags == kDisplayUninitialised) {
                    entry->block.zoom = block.zoom;
                    entry->block.flags = block.flags;
                    entry->block.rotation = block.rotation;
                }
                finalState = kDecoded;
                if (host_->Options().notCacheImage && now != album_->current) {
                    // Only the current entry keeps its picture; the icon stays.
                    entry->ReleaseImage();
                    finalState = kNotDecoded;
                }
            }
            UnlockAlbum();
            stored = true;
            file = nullptr;
            break;
        }

        // Failed.
        finalState = kDecodeFailed;
        if (error != kLoadOutOfMemory) break;
        const BITMAPINFOHEADER* header = file->image.header;
        DWORD need = kUnknownNeed;
        if (header) {
            const int64_t bytes = int64_t(header->biWidth) * std::abs(header->biHeight) * 3 + 2048;
            need = bytes > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<DWORD>(std::max<int64_t>(bytes, 0));
        }
        file->Unload();
        if (!FreeMemory(need, index, false) || attempt == kAttempts - 1) {
            gaveUp = true;
            break;
        }
        const LONG wanted = wanted_;
        if (wanted >= 0 && wanted != index) break;  // the view waits for another entry now
    }
    if (!stored) FreeImageFile(file);

    // 5. The published record is the entry's now (or gone).
    decoding_ = nullptr;
    Report(entry, finalState, error);
    return !gaveUp;
}

bool ThumbnailBar::FreeMemory(DWORD bytes, int keepIndex, bool includeCurrent) {
    if (!album_) return false;
    LockAlbum();
    const bool notCache = host_ && host_->Options().notCacheImage;
    const PictureView* view = host_ ? host_->View() : nullptr;
    const ImageEntry* shown = view && !includeCurrent ? view->Entry() : nullptr;
    const int count = album_->Count();
    bool freed = false;
    uint64_t sum = 0;
    for (int round = 0; round < count; ++round) {
        int best = -1;
        DWORD bestEstimate = 0;
        for (int i = count - 1; i >= 0; --i) {
            const ImageEntry* entry = album_->Entry(i);
            if (!entry->image || i == keepIndex || entry == shown) continue;
            if (i == album_->current && !includeCurrent) continue;
            const DWORD estimate = EntryMemoryEstimate(*entry);
            if (best < 0 || estimate > bestEstimate) {
                best = i;
                bestEstimate = estimate;
            }
        }
        if (best < 0) break;
        album_->Entry(best)->ReleaseImage();
        freed = true;
        sum += bestEstimate;
        if (bytes > 0 && sum >= bytes && !notCache) break;
    }
    UnlockAlbum();
    return freed;
}

// ---- Messages ------------------------------------------------------------------------------------

LRESULT ThumbnailBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: {
        RECT client;
        GetClientRect(hwnd_, &client);
        const bool changed = client.right - client.left != clientRect_.right - clientRect_.left ||
                             client.bottom - client.top != clientRect_.bottom - clientRect_.top;
        clientRect_ = client;
        if (changed) RecomputeGrid(true);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_HSCROLL:
    case WM_VSCROLL:
        OnScroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
        return 0;
    case WM_LBUTTONDOWN:
        OnPenDown({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_LBUTTONUP:
        OnPenUp({static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_TIMER:
        if (wParam == kHoldTimer) {
            OnHoldTimer();
            return 0;
        }
        break;
    case MSG_REDRAW_CELL:
        if (RedrawCell(static_cast<int>(lParam))) UpdateWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd_, kHoldTimer);
        StopLoader();
        // A loader that did not end in time may still own its record.
        if (!LoaderRunning() && decoding_) {
            FreeImageFile(decoding_);
            decoding_ = nullptr;
        }
        if (font_) DeleteObject(font_);
        font_ = nullptr;
        scrollBar_ = nullptr;  // a child: destroyed with the bar
        break;
    default:
        break;
    }
    return WindowBase::WindowProc(message, wParam, lParam);
}
