// ThumbnailBar: the strip of 54-pixel cells beside the picture view, one per
// album entry with its 50x50 icon, the current one highlighted, scrolled by
// its own scroll bar. A tap selects, a tap-and-hold opens the entry menu
// (delete, sort, move, reorder, properties). The bar owns the loader: one
// background thread that decodes entries through the image library, makes
// their icons, caches decoded images (freeing the largest first when memory
// is short) and hands the current entry's image to the picture view. The
// loader's lock is the album lock: every access to the album from the loader
// and every structural change on the main thread takes it. The loader hands
// entries to the view under that lock and only posts to windows (it never
// waits for the main thread), so the view must read its entry under it too.
#pragma once

#include <windows.h>

#include "album/image_album.h"
#include "app/viewer_host.h"
#include "app/window_base.h"
#include "app/worker_thread.h"

// Redraw the cell of lParam (posted by the loader).
constexpr UINT MSG_REDRAW_CELL = 32863;

constexpr int kThumbnailCell = 54;
constexpr int kThumbnailCellWithName = 64;
constexpr int kThumbnailSpacing = 2;
constexpr int kThumbnailIcon = 50;
constexpr int kThumbnailScrollBarId = 999;
constexpr int kThumbnailScrollBarSize = 10;

// The loader's memory estimate of an entry: 1 MB without a decoded image,
// else its DIB size plus the header.
DWORD EntryMemoryEstimate(const ImageEntry& entry);

class ThumbnailBar : public WindowBase {
public:
    ThumbnailBar();
    ~ThumbnailBar() override;

    // Creates the hidden child (the frame's window class) inside `parent`.
    bool Create(LPCWSTR className, HWND parent, int id, HINSTANCE instance);
    // Stores host and album, recomputes the grid, repaints at once and
    // starts the loader.
    void Attach(ViewerHost* host, ImageAlbum* album);
    // Vertical scroller (cells row by row, scrolling up and down) and file
    // names under the icons.
    void SetMode(bool verticalScroller, bool showNames);
    // The thickness the strip needs across the panes: one row of cells
    // (one column when the panes are side by side) with its gaps and, when
    // it runs that way, the scroll bar, so that no cell or name is cut.
    int StripThickness(bool sideBySide) const;
    void Select(int index);
    void ScrollTo(int index);
    bool RedrawCell(int index);
    // Entry menu commands on `index`; false when not handled.
    bool DoCommand(UINT command, int index);
    // Readies the entry menu for a hold on cell `index` (-1: no cell): each
    // item is enabled or greyed by the host's rule for its command, and the
    // items that act on a cell are greyed without one.
    void PrepareEntryMenu(HMENU popup, int index);
    bool StartLoader();
    void StopLoader();
    // Decodes the entry (on the loader thread or, when background loading is
    // off, at once on the main thread). False when it ran out of memory and
    // gave up.
    bool LoadEntry(int index);
    // Drops decoded images of other entries, largest first, until `bytes`
    // are freed (every one for 0). True when anything was freed.
    bool FreeMemory(DWORD bytes, int keepIndex, bool includeCurrent);
    // The grid from the album and the client size; `force` lays out even
    // when the numbers did not change.
    void RecomputeGrid(bool force);

    // The entry the picture view waits for (-1 none).
    void SetWanted(int index) { wanted_ = index; }
    int Wanted() const { return wanted_; }
    bool LoaderRunning() const { return loader_.State() == WorkerThread::kRunning; }
    // The album lock (nested use on one thread is harmless).
    void LockAlbum() { loader_.Lock(); }
    void UnlockAlbum() { loader_.Unlock(); }

    // Grid state, for the frame and tests.
    int Rows() const { return rows_; }
    int Columns() const { return columns_; }
    int VisibleRows() const { return visibleRows_; }
    int VisibleColumns() const { return visibleColumns_; }
    bool Horizontal() const { return horizontal_; }
    HWND ScrollBar() const { return scrollBar_; }
    // The cell index under a client point, or -1.
    int CellAt(POINT point) const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCreate(CREATESTRUCTW* create) override;

    // The hold timer of a tap-and-hold.
    static constexpr UINT_PTR kHoldTimer = 1;
    static constexpr UINT kHoldMs = 400;

private:
    static DWORD WINAPI LoaderMain(LPVOID self);
    DWORD RunLoader();
    // Under the lock: the wanted entry, then visible cells without icon,
    // then the whole grid; -1 when nothing is left.
    int ChooseNext();
    // Stores the state and error in the entry (found again by pointer) and
    // tells the view and the cell; see the comment at the definition.
    void Report(ImageEntry* entry, int state, LoadError error);
    bool OnLoaderThread() const;
    bool StopRequested() const;
    // The cell's rectangle in client coordinates; false for an index outside
    // the grid. *visible: whether it shows in the drawing area.
    bool CellRect(int index, RECT* cell, bool* visible) const;
    // The client area without the scroll bar's strip.
    RECT DrawingArea() const;
    // Draws a bitmap at the strip's scale with its top left at (x, y).
    void DrawPicture(HDC dc, HBITMAP picture, int x, int y, int width, int height) const;
    void UpdateScrollBar();
    void DestroyScrollBar();
    void OnScroll(int code, int thumb);
    void OnPaint();
    void DrawCell(HDC dc, int index, const RECT& cell, bool current);
    void OnPenDown(POINT point);
    void OnPenUp(POINT point);
    void OnHoldTimer();
    void RunReorderDialog();
    HBITMAP Picture(HBITMAP* slot, int id);

    ImageAlbum* album_ = nullptr;
    ViewerHost* host_ = nullptr;
    WorkerThread loader_;
    HBITMAP failedIcon_ = nullptr;
    HBITMAP pendingIcon_ = nullptr;
    HBITMAP externalVideoIcon_ = nullptr;
    HBITMAP engineVideoIcon_ = nullptr;
    HBITMAP fillButton_ = nullptr;
    RECT fillButtonRect_ = {};
    int mode_ = 4;
    HFONT font_ = nullptr;
    HWND scrollBar_ = nullptr;
    RECT clientRect_ = {};
    int cellWidth_ = kThumbnailCell;
    int cellHeight_ = kThumbnailCell;
    BYTE spacing_ = kThumbnailSpacing;
    // 2 on the large screens, which show the strip at twice the size (the
    // icons are made at the one size and drawn doubled); lengths of the
    // grid, the scroll bar and the name row are multiplied by it.
    int scale_ = 1;
    int Gap() const { return spacing_ * scale_; }
    int ScrollBarSize() const { return kThumbnailScrollBarSize * scale_; }
    bool horizontal_ = true;
    bool showNames_ = false;
    int rows_ = -1;
    int columns_ = -1;
    volatile LONG wanted_ = -1;
    int visibleColumns_ = 0;
    int visibleRows_ = 0;

    // The first visible column (horizontal) or row (vertical): the scroll
    // bar's position, kept here for the loader, which reads it under the lock.
    int scrollPosition_ = 0;
    POINT penDown_ = {};
    int penCell_ = -1;
    bool holdPending_ = false;
    // The image record being decoded: the loader's until the entry takes it.
    ImageFile* decoding_ = nullptr;
    volatile DWORD loaderThreadId_ = 0;
    // Set by StopLoader before it aborts: the loader must not start another
    // decode, which would clear the library's abort flag again.
    volatile LONG stopping_ = 0;
};
