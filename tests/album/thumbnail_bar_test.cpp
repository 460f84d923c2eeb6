// The thumbnail bar: the grid and its scroll bar, pen input and the entry
// menu, the entry commands, and the loader: its order, the icons and display
// state it makes, memory freeing, an out-of-memory decode that recovers, an
// entry removed while it is decoded, and decoding on the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

#include "album/thumbnail_bar.h"
#include "app/main_frame_messages.h"
#include "image/format_handler.h"
#include "platform/display.h"
#include "platform/sound_log.h"
#include "res/resource.h"
#include "thumbnail_fixture.h"
#include "view/adjustment_attachment.h"

namespace {

using thumbnail_test::BmpBytes;
using thumbnail_test::DibLedger;
using thumbnail_test::MessageSpy;
using thumbnail_test::ThumbnailTest;
using thumbnail_test::WriteFileBytes;

// ---- A driver for modal loops (the popup menu): one step per timer tick;
// a step that returns false is tried again on the next tick. When the steps
// run out and a modal loop is still up, Escape ends it after a while.
using Step = std::function<bool()>;
std::vector<Step> g_steps;
size_t g_next = 0;
int g_idle = 0;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_next < g_steps.size()) {
        if (g_steps[g_next]()) ++g_next;
        return;
    }
    if (++g_idle > 300) {
        g_idle = 0;
        platform::InjectKey(VK_ESCAPE, true);
        platform::InjectKey(VK_ESCAPE, false);
    }
}

void Press(UINT vk) {
    platform::InjectKey(vk, true);
    platform::InjectKey(vk, false);
}

POINT OnScreen(HWND window, int x, int y) {
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return p;
}

// Dispatches messages for `ms` milliseconds (timers included).
void PumpFor(DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    MSG msg;
    while (int(until - GetTickCount()) > 0) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
}

// The centre of cell `index` in the bar's client area.
POINT CellCentre(const ThumbnailBar& bar, int index) {
    const int step = kThumbnailCell + kThumbnailSpacing;
    const int rows = bar.Rows();
    const int column = bar.Horizontal() ? index / rows : index % bar.Columns();
    const int row = bar.Horizontal() ? index % rows : index / bar.Columns();
    return {kThumbnailSpacing + column * step + kThumbnailCell / 2,
            kThumbnailSpacing + row * step + kThumbnailCell / 2};
}

std::vector<std::u16string> Paths(const ImageAlbum& album) {
    std::vector<std::u16string> out;
    for (int i = 0; i < album.Count(); ++i) out.push_back(album.Entry(i)->Name());
    return out;
}

// ---- Grid ----------------------------------------------------------------------------------------

TEST_F(ThumbnailTest, GridFollowsTheClientSizeTheModeAndTheCount) {
    enum Bar { kNone, kHorizontalBar, kVerticalBar };
    const struct {
        int width, height;
        bool vertical, names;
        int count;
        int visibleColumns, visibleRows, rows, columns;
        Bar scrollBar;
        int maximum, page;
    } cases[] = {
        {240, 72, false, false, 25, 4, 1, 1, 25, kHorizontalBar, 24, 4},  // the top strip
        {240, 72, false, false, 3, 4, 1, 1, 4, kNone, 0, 0},
        {240, 72, false, false, 4, 4, 1, 1, 4, kNone, 0, 0},
        {240, 72, false, false, 5, 4, 1, 1, 5, kHorizontalBar, 4, 4},
        // 28 pixels left above the scroll bar: more than half a cell, a partial row.
        {240, 150, false, false, 25, 4, 2, 3, 9, kHorizontalBar, 8, 4},
        // With names the cells are 64 high: 8 pixels left, no partial row.
        {240, 150, false, true, 25, 4, 2, 2, 13, kHorizontalBar, 12, 4},
        {120, 268, true, false, 25, 2, 4, 13, 2, kVerticalBar, 12, 4},
        // The left strip with the vertical scroller: no whole column fits.
        {47, 268, true, false, 25, 0, 4, 25, 1, kVerticalBar, 24, 4},
        {240, 72, false, false, 0, 4, 1, 1, 4, kNone, 0, 0},
    };
    for (const auto& c : cases) {
        Album().Clear();
        AddEntries(c.count);
        Options().notLoadInBkg = 1;
        ThumbnailBar& bar = MakeBar(c.width, c.height);
        bar.SetMode(c.vertical, c.names);
        bar.Attach(host_.get(), &Album());
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) + " " +
                                 std::to_string(c.count) + (c.vertical ? " vertical" : "") +
                                 (c.names ? " names" : "");
        EXPECT_EQ(bar.VisibleColumns(), c.visibleColumns) << what;
        EXPECT_EQ(bar.VisibleRows(), c.visibleRows) << what;
        EXPECT_EQ(bar.Rows(), c.rows) << what;
        EXPECT_EQ(bar.Columns(), c.columns) << what;
        EXPECT_EQ(bar.Horizontal(), !c.vertical) << what;
        HWND scroll = bar.ScrollBar();
        ASSERT_EQ(scroll != nullptr, c.scrollBar != kNone) << what;
        if (scroll) {
            EXPECT_EQ(GetDlgCtrlID(scroll), kThumbnailScrollBarId) << what;
            SCROLLINFO info = {};
            info.cbSize = sizeof(info);
            info.fMask = SIF_ALL;
            ASSERT_TRUE(GetScrollInfo(scroll, SB_CTL, &info)) << what;
            EXPECT_EQ(info.nMin, 0) << what;
            EXPECT_EQ(info.nMax, c.maximum) << what;
            EXPECT_EQ(int(info.nPage), c.page) << what;
            RECT r;
            GetWindowRect(scroll, &r);
            MapWindowPoints(nullptr, bar.Handle(), reinterpret_cast<POINT*>(&r), 2);
            const RECT expected = c.scrollBar == kHorizontalBar
                                      ? RECT{0, c.height - 10, c.width, c.height}
                                      : RECT{c.width - 10, 0, c.width, c.height};
            EXPECT_TRUE(EqualRect(&r, &expected)) << what << ": " << r.left << "," << r.top << " "
                                                  << r.right << "," << r.bottom;
        }
        DestroyWindow(bar.Handle());
    }
}

TEST_F(ThumbnailTest, ScrollingClampsAndMovesTheCellsUnderThePen) {
    AddEntries(25);
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    HWND scroll = bar.ScrollBar();
    ASSERT_NE(scroll, nullptr);
    const struct {
        int code, thumb, position;
    } steps[] = {
        {SB_LINEDOWN, 0, 1}, {SB_PAGEDOWN, 0, 5}, {SB_BOTTOM, 0, 21},  // maximum - page + 1
        {SB_LINEDOWN, 0, 21}, {SB_THUMBTRACK, 30, 21}, {SB_THUMBPOSITION, 7, 7},
        {SB_PAGEUP, 0, 3}, {SB_TOP, 0, 0}, {SB_LINEUP, 0, 0},
    };
    for (const auto& s : steps) {
        SendMessageW(bar.Handle(), WM_HSCROLL, MAKEWPARAM(s.code, s.thumb), reinterpret_cast<LPARAM>(scroll));
        EXPECT_EQ(GetScrollPos(scroll, SB_CTL), s.position) << "code " << s.code;
        // The first whole cell shows the entry at the position.
        EXPECT_EQ(bar.CellAt({kThumbnailSpacing + 5, 20}), s.position) << "code " << s.code;
    }
    // A point in the gap between cells, in the scroll bar's strip, or past
    // the last entry is on no cell.
    EXPECT_EQ(bar.CellAt({kThumbnailSpacing + kThumbnailCell + 1, 20}), -1);
    EXPECT_EQ(bar.CellAt({20, 66}), -1);
    SendMessageW(bar.Handle(), WM_HSCROLL, MAKEWPARAM(SB_BOTTOM, 0), reinterpret_cast<LPARAM>(scroll));
    EXPECT_EQ(bar.CellAt({4 * (kThumbnailCell + kThumbnailSpacing) + 5, 20}), -1);  // column 25

    // ScrollTo moves only when the cell is not wholly visible.
    const struct {
        int index, position;
    } targets[] = {{10, 10}, {13, 10}, {14, 14}, {2, 2}, {24, 21}};
    for (const auto& t : targets) {
        bar.ScrollTo(t.index);
        EXPECT_EQ(GetScrollPos(scroll, SB_CTL), t.position) << t.index;
    }
}

TEST_F(ThumbnailTest, PaintingMarksTheCurrentCellAndDrawsTheFillButtonWithTheScrollBar) {
    AddEntries(25);
    Album().current = 1;
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    // The scroll bar starts at the current entry's column.
    ASSERT_EQ(GetScrollPos(bar.ScrollBar(), SB_CTL), 1);
    SendMessageW(bar.Handle(), WM_HSCROLL, MAKEWPARAM(SB_TOP, 0), reinterpret_cast<LPARAM>(bar.ScrollBar()));
    PumpAll();
    auto near = [](COLORREF a, COLORREF b) {
        return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
               std::abs(GetBValue(a) - GetBValue(b)) <= 8;
    };
    const int step = kThumbnailCell + kThumbnailSpacing;
    // A corner inside the current cell, clear of its pending icon.
    POINT current = OnScreen(bar.Handle(), kThumbnailSpacing + step + 4, kThumbnailSpacing + 4);
    EXPECT_TRUE(near(gwes_test::ScreenPixel(current.x, current.y), RGB(0, 0, 100)));
    POINT other = OnScreen(bar.Handle(), kThumbnailSpacing + 2 * step + 4, kThumbnailSpacing + 4);
    EXPECT_TRUE(near(gwes_test::ScreenPixel(other.x, other.y), GetSysColor(COLOR_BTNFACE)));
    // The fill-the-screen button: 16x16 at the top right, white inside its frame.
    POINT button = OnScreen(bar.Handle(), 240 - 2 - 16 + 4, 2 + 4);
    EXPECT_TRUE(near(gwes_test::ScreenPixel(button.x, button.y), RGB(255, 255, 255)));

    // Without a scroll bar there is no button.
    Album().Clear();
    AddEntries(3);
    bar.RecomputeGrid(true);
    PumpAll();
    EXPECT_EQ(bar.ScrollBar(), nullptr);
    EXPECT_TRUE(near(gwes_test::ScreenPixel(button.x, button.y), GetSysColor(COLOR_BTNFACE)) ||
                near(gwes_test::ScreenPixel(button.x, button.y), RGB(192, 192, 192)));
}

// ---- Pen input -----------------------------------------------------------------------------------

TEST_F(ThumbnailTest, ATapSelectsTheCellAndTheFillButtonAsksTheFrame) {
    AddEntries(25);
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    PumpAll();
    auto tap = [&](POINT client) {
        POINT p = OnScreen(bar.Handle(), client.x, client.y);
        platform::InjectPen(platform::Pen::Down, p.x, p.y);
        platform::InjectPen(platform::Pen::Up, p.x, p.y);
        PumpAll();
    };
    auto received = [&](UINT message, WPARAM wParam) {
        for (const auto& m : host_->received) {
            if (m.message == message && m.wParam == wParam) return true;
        }
        return false;
    };

    tap(CellCentre(bar, 2));
    EXPECT_EQ(Album().current, 2);
    EXPECT_TRUE(received(MSG_NAVIGATE, kNavigateStay));
    EXPECT_FALSE(received(MSG_SHOW_MAIN_LAYOUT, 0));

    host_->received.clear();
    tap({240 - 2 - 8, 2 + 8});  // on the fill button, over cell 3
    EXPECT_TRUE(received(WM_COMMAND, IDM_THUMBNAILS_FILL_SCREEN));
    EXPECT_EQ(Album().current, 2);

    // While the strip fills the screen the button is gone, and any tap
    // returns to the normal layout.
    host_->fillScreen = true;
    InvalidateRect(bar.Handle(), nullptr, TRUE);
    PumpAll();
    host_->received.clear();
    tap(CellCentre(bar, 3));
    EXPECT_EQ(Album().current, 3);
    EXPECT_TRUE(received(MSG_SHOW_MAIN_LAYOUT, 0));
    EXPECT_FALSE(received(WM_COMMAND, IDM_THUMBNAILS_FILL_SCREEN));
}

class HoldTest : public ThumbnailTest {
protected:
    // Holds the pen at `client` until the menu comes up, runs the steps in
    // the menu, then lifts the pen.
    void Hold(ThumbnailBar& bar, POINT client, std::vector<Step> steps) {
        g_steps = std::move(steps);
        g_next = 0;
        g_idle = 0;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        POINT p = OnScreen(bar.Handle(), client.x, client.y);
        platform::InjectPen(platform::Pen::Down, p.x, p.y);
        PumpFor(ThumbnailBar::kHoldMs + 300);
        platform::InjectPen(platform::Pen::Up, p.x, p.y);
        PumpAll();
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_next, g_steps.size()) << "steps left undone";
    }
    // The menu the bar tracks (its WM_INITMENUPOPUP).
    HMENU TrackedMenu(HWND bar) {
        auto inits = MessageSpy::Instance().Of(bar, WM_INITMENUPOPUP);
        return inits.empty() ? nullptr : reinterpret_cast<HMENU>(inits.back().wParam);
    }
    bool Greyed(HMENU menu, UINT id) {
        return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0;
    }
};

TEST_F(HoldTest, HoldOnAnEmptyAreaGreysTheEntryCommands) {
    AddEntries(2);
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    MessageSpy::Instance().Watch(bar.Handle());
    PumpAll();
    bool checked = false;
    Hold(bar, CellCentre(bar, 3), {
        [&] { return FindWindowW(u"#32768", nullptr) != nullptr && TrackedMenu(bar.Handle()); },
        [&] {
            HMENU menu = TrackedMenu(bar.Handle());
            for (UINT id : {IDM_VIEW_THUMBNAIL, IDM_DELETE_IMAGE, IDM_PROPERTIES, IDM_MOVE_LEFT,
                            IDM_MOVE_RIGHT}) {
                EXPECT_TRUE(Greyed(menu, id)) << id;
            }
            for (UINT id : {IDM_SORT_BY_NAME, IDM_SORT_MANUALLY, IDM_OPEN_FROM_BAR}) {
                EXPECT_FALSE(Greyed(menu, id)) << id;
            }
            checked = true;
            Press('N');  // "Sort By &Name": not the bar's without an entry
            return true;
        },
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(FindWindowW(u"#32768", nullptr), nullptr);
    bool sentToFrame = false;
    for (const auto& m : host_->received) sentToFrame |= m.message == WM_COMMAND && m.wParam == IDM_SORT_BY_NAME;
    EXPECT_TRUE(sentToFrame);
    EXPECT_EQ(Album().Count(), 2);
}

TEST_F(HoldTest, HoldOnACellRunsTheChosenCommandOnThatEntry) {
    AddEntries(3);
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    MessageSpy::Instance().Watch(bar.Handle());
    PumpAll();
    Hold(bar, CellCentre(bar, 1), {
        [&] { return FindWindowW(u"#32768", nullptr) != nullptr && TrackedMenu(bar.Handle()); },
        [&] {
            EXPECT_FALSE(Greyed(TrackedMenu(bar.Handle()), IDM_DELETE_IMAGE));
            Press('D');  // "&Delete Image"
            return true;
        },
    });
    EXPECT_EQ(Paths(Album()), (std::vector<std::u16string>{u"00.bmp", u"02.bmp"}));
    EXPECT_EQ(Album().current, 1);  // the same index: the entry after the deleted one
}

// ---- Commands ------------------------------------------------------------------------------------

TEST_F(ThumbnailTest, DeleteSelectsTheSameIndexOrTheOneBefore) {
    const struct {
        int count, index;
        std::vector<std::u16string> left;
        int current;
    } cases[] = {
        {3, 1, {u"00.bmp", u"02.bmp"}, 1},
        {3, 2, {u"00.bmp", u"01.bmp"}, 1},  // the last: the one before it
        {3, 0, {u"01.bmp", u"02.bmp"}, 0},
        {1, 0, {}, -1},                     // the only one: an empty album and view
    };
    for (const auto& c : cases) {
        Album().Clear();
        AddEntries(c.count);
        Album().current = c.index;
        Options().notLoadInBkg = 1;
        ThumbnailBar& bar = MakeBar(240, 72);
        PictureView& view = MakeView();
        bar.Attach(host_.get(), &Album());
        view.ShowEntry(Album().Entry(c.index), false);
        host_->received.clear();
        EXPECT_TRUE(bar.DoCommand(IDM_DELETE_IMAGE, c.index));
        EXPECT_EQ(Paths(Album()), c.left) << c.count << " " << c.index;
        EXPECT_EQ(Album().current, c.current) << c.count << " " << c.index;
        EXPECT_EQ(view.Entry(), nullptr);  // never the removed entry
        PumpAll();
        bool navigated = false;
        for (const auto& m : host_->received) navigated |= m.message == MSG_NAVIGATE;
        EXPECT_TRUE(navigated);
        DestroyWindow(bar.Handle());
    }
}

TEST_F(ThumbnailTest, EntryCommandsMoveSortAndIgnoreIndexesOutside) {
    AddEntries(3);
    // Sizes and times in the reverse order of the names.
    for (int i = 0; i < 3; ++i) {
        Album().Entry(i)->block.fileSize = DWORD(300 - 100 * i);
        Album().Entry(i)->block.fileTime = {DWORD(30 - 10 * i), 0};
    }
    Album().current = 0;
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    platform::TakeBeepLog();
    const struct {
        UINT command;
        int index;
        bool handled;
        std::vector<std::u16string> order;
        int current;
        bool beep;
    } steps[] = {
        {IDM_MOVE_LEFT, 0, true, {u"00.bmp", u"01.bmp", u"02.bmp"}, 0, true},
        {IDM_MOVE_RIGHT, 0, true, {u"01.bmp", u"00.bmp", u"02.bmp"}, 1, false},
        {IDM_MOVE_RIGHT, 2, true, {u"01.bmp", u"00.bmp", u"02.bmp"}, 1, true},
        {IDM_SORT_BY_SIZE, 0, true, {u"02.bmp", u"01.bmp", u"00.bmp"}, 2, false},
        {IDM_SORT_BY_NAME, 1, true, {u"00.bmp", u"01.bmp", u"02.bmp"}, 0, false},
        {IDM_SORT_BY_TIME, 2, true, {u"02.bmp", u"01.bmp", u"00.bmp"}, 2, false},
        {IDM_VIEW_THUMBNAIL, 1, true, {u"02.bmp", u"01.bmp", u"00.bmp"}, 1, false},
        {IDM_SORT_BY_NAME, 3, false, {u"02.bmp", u"01.bmp", u"00.bmp"}, 1, false},  // outside
        {IDM_PROPERTIES, 0, false, {u"02.bmp", u"01.bmp", u"00.bmp"}, 1, false},    // the frame's
        {IDM_OPEN_FROM_BAR, 0, false, {u"02.bmp", u"01.bmp", u"00.bmp"}, 1, false},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(bar.DoCommand(s.command, s.index), s.handled) << s.command << " " << s.index;
        EXPECT_EQ(Paths(Album()), s.order) << s.command << " " << s.index;
        EXPECT_EQ(Album().current, s.current) << s.command << " " << s.index;
        EXPECT_EQ(!platform::TakeBeepLog().empty(), s.beep) << s.command << " " << s.index;
    }
}

// ---- The loader ----------------------------------------------------------------------------------

TEST_F(ThumbnailTest, TheLoaderTakesTheWantedEntryThenTheVisibleCellsThenTheRest) {
    MakeFolder(u"order", std::vector<SIZE>(12, SIZE{8, 8}));
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    bar.ScrollTo(5);  // columns 5-8 whole, 9 partly visible
    ASSERT_EQ(GetScrollPos(bar.ScrollBar(), SB_CTL), 5);
    MessageSpy::Instance().Watch(bar.Handle());
    Options().notLoadInBkg = 0;
    bar.SetWanted(10);
    ASSERT_TRUE(bar.StartLoader());
    ASSERT_TRUE(WaitForLoader(bar));
    PumpAll();
    // Each decode reports "decoding" first: the first redraw of each cell
    // gives the order.
    std::vector<int> order;
    for (const auto& m : MessageSpy::Instance().Of(bar.Handle(), MSG_REDRAW_CELL)) {
        if (std::find(order.begin(), order.end(), int(m.lParam)) == order.end()) order.push_back(int(m.lParam));
    }
    EXPECT_EQ(order, (std::vector<int>{10, 5, 6, 7, 8, 9, 0, 1, 2, 3, 4, 11}));
    for (int i = 0; i < Album().Count(); ++i) {
        EXPECT_NE(Album().Entry(i)->icon, nullptr) << i;
        EXPECT_EQ(Album().Entry(i)->loadState, kDecoded) << i;
    }
}

TEST_F(ThumbnailTest, DecodingMakesTheIconAndSetsUpTheDisplayState) {
    const struct {
        DWORD autoZoom, landscape;
        DWORD flags;
        int rotation;
    } cases[] = {
        {0, 0, 0, 0},
        {1, 0, kDisplayZoomToFit, 0},
        {0, 1, 0, 90},
        {1, 2, kDisplayZoomToFit | kDisplayRotateToFit, 0},
    };
    MakeFolder(u"state", {{100, 60}, {30, 40}});
    // The second entry was set up before (an album file's state): kept.
    Album().Entry(1)->block.flags = kDisplayZoomToFit;
    Album().Entry(1)->block.zoom = 2.0f;
    Album().Entry(1)->block.rotation = 180;
    ThumbnailBar& bar = MakeBar(240, 72);
    Options().notLoadInBkg = 1;
    bar.Attach(host_.get(), &Album());
    for (const auto& c : cases) {
        ImageEntry* first = Album().Entry(0);
        first->block.flags = kDisplayUninitialised;
        first->ReleaseImage();
        first->SetIcon(nullptr);
        Options().autoZoomToFit = c.autoZoom;
        Options().landscapeMode = c.landscape;
        EXPECT_TRUE(bar.LoadEntry(0));
        EXPECT_EQ(first->loadState, kDecoded);
        EXPECT_EQ(first->block.flags, c.flags) << c.autoZoom << " " << c.landscape;
        EXPECT_EQ(first->block.rotation, c.rotation) << c.autoZoom << " " << c.landscape;
        EXPECT_EQ(first->block.zoom, 1.0f);
        EXPECT_EQ(first->block.width, 100);
        EXPECT_EQ(first->block.height, 60);
        EXPECT_EQ(first->block.bitsPerPixel, 24);
        ASSERT_NE(first->icon, nullptr);
        ASSERT_NE(first->icon->header, nullptr);
        EXPECT_EQ(first->icon->header->biWidth, 50);  // fitted into 50x50
        EXPECT_EQ(std::abs(first->icon->header->biHeight), 30);
        EXPECT_FALSE(first->formatText.empty());
    }
    EXPECT_TRUE(bar.LoadEntry(1));
    const ImageEntry* second = Album().Entry(1);
    EXPECT_EQ(second->block.flags, kDisplayZoomToFit);
    EXPECT_EQ(second->block.zoom, 2.0f);
    EXPECT_EQ(second->block.rotation, 180);
    ASSERT_NE(second->icon, nullptr);
    EXPECT_EQ(second->icon->header->biWidth, 30);  // never enlarged
}

TEST_F(ThumbnailTest, TheEntrysWindowLevelChoicesReachTheDecode) {
    MakeFolder(u"adjust", {{4, 4}});
    ImageEntry* entry = Album().Entry(0);
    // The negative of a 24-bit picture inverts every byte.
    BYTE record[kAdjustmentAttachmentSize];
    WriteAdjustmentAttachment({128, 256, -1, 1}, record);
    ASSERT_TRUE(entry->SetAttachment(kAttachmentAdjustment, record, sizeof(record)));
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    ASSERT_TRUE(bar.LoadEntry(0));
    ASSERT_NE(entry->image, nullptr);
    const DisplayAdjustment* adjustment = entry->image->image.adjustment;
    ASSERT_NE(adjustment, nullptr);  // stays with the image for later frames and pages
    EXPECT_EQ(adjustment->center, 128);
    EXPECT_EQ(adjustment->width, 256);
    EXPECT_EQ(adjustment->negative, 1);
    // The bottom-left pixel of the file is blue 0, green 3, red 0.
    const BYTE* bottom = RowAddress(entry->image->image, 0);
    EXPECT_EQ(bottom[0], 255);
    EXPECT_EQ(bottom[1], 255 - 3);
    EXPECT_EQ(bottom[2], 255);
}

TEST_F(ThumbnailTest, WithNotCacheImageOnlyTheCurrentEntryKeepsItsPicture) {
    MakeFolder(u"nocache", std::vector<SIZE>(5, SIZE{16, 16}));
    Album().current = 2;
    Options().notCacheImage = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.SetWanted(2);
    bar.Attach(host_.get(), &Album());
    ASSERT_TRUE(WaitForLoader(bar));
    for (int i = 0; i < Album().Count(); ++i) {
        const ImageEntry* entry = Album().Entry(i);
        EXPECT_NE(entry->icon, nullptr) << i;
        EXPECT_EQ(entry->image != nullptr, i == 2) << i;
        EXPECT_EQ(entry->loadState, i == 2 ? kDecoded : kNotDecoded) << i;
    }
}

TEST_F(ThumbnailTest, WithoutBackgroundLoadingTheEntryIsDecodedOnTheMainThread) {
    MakeFolder(u"main", {{20, 20}, {20, 20}});
    Album().current = 1;
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    PictureView& view = MakeView();
    MessageSpy::Instance().Watch(view.Handle());
    bar.Attach(host_.get(), &Album());
    EXPECT_FALSE(bar.LoaderRunning());
    EXPECT_FALSE(bar.StartLoader());
    EXPECT_EQ(Album().Entry(0)->icon, nullptr);  // no icons in the background
    EXPECT_TRUE(bar.LoadEntry(1));
    EXPECT_EQ(view.Entry(), Album().Entry(1));
    EXPECT_TRUE(view.ImageShown());
    EXPECT_FALSE(MessageSpy::Instance().Of(view.Handle(), MSG_VIEW_LAYOUT).empty());
    EXPECT_EQ(Album().Entry(0)->icon, nullptr);

    // A file that cannot be decoded: the view shows its error.
    WriteFileBytes(u"\\My Documents\\main\\00.bmp", {'B', 'M', 1, 2});
    Album().current = 0;
    EXPECT_TRUE(bar.LoadEntry(0));
    EXPECT_EQ(Album().Entry(0)->loadState, kDecodeFailed);
    EXPECT_EQ(view.Entry(), nullptr);
    EXPECT_EQ(view.ErrorCode(), int(Album().Entry(0)->errorCode));
    EXPECT_NE(view.ErrorCode(), 0);
}

TEST_F(ThumbnailTest, TheLoaderShowsTheCurrentEntryAndAsksTheViewToLayOut) {
    MakeFolder(u"show", {{20, 20}, {24, 24}, {28, 28}});
    Album().current = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    PictureView& view = MakeView();
    MessageSpy::Instance().Watch(view.Handle());
    bar.SetWanted(1);
    bar.Attach(host_.get(), &Album());
    ASSERT_TRUE(WaitForLoader(bar));
    EXPECT_EQ(view.Entry(), Album().Entry(1));
    EXPECT_TRUE(view.ImageShown());
    PumpAll();  // posted by the loader, handled on this thread
    EXPECT_FALSE(MessageSpy::Instance().Of(view.Handle(), MSG_VIEW_LAYOUT).empty());
}

// FreeMemory picks the largest other decoded picture first (from the last
// index on ties), and stops once enough is freed.
TEST_F(ThumbnailTest, FreeMemoryDropsTheLargestPicturesFirst) {
    // Estimates (24 bits): 16x16 1864, 40x40 5896, 64x64 13384, 40x40, 8x8 1288.
    const std::vector<SIZE> sizes = {{16, 16}, {40, 40}, {64, 64}, {40, 40}, {8, 8}};
    const struct {
        DWORD bytes;
        int keep;
        bool includeCurrent;
        DWORD notCache;
        std::vector<bool> left;  // which entries still hold a picture
    } cases[] = {
        {13384, -1, false, 0, {true, true, false, true, true}},
        {13385, -1, false, 0, {true, true, false, false, true}},   // the later of the equal two
        {5896 * 2, 2, false, 0, {true, false, true, false, true}},  // the kept one stays
        {0, -1, false, 0, {true, false, false, false, false}},     // every other; the current stays
        {0, -1, true, 0, {false, false, false, false, false}},
        {1, -1, false, 1, {true, false, false, false, false}},     // not caching: all of them
    };
    MakeFolder(u"free", sizes);
    Album().current = 0;
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    EXPECT_EQ(EntryMemoryEstimate(*Album().Entry(0)), 1048576u);  // nothing decoded
    for (const auto& c : cases) {
        Options().notCacheImage = 0;
        for (int i = 0; i < Album().Count(); ++i) {
            if (!Album().Entry(i)->image) {
                ASSERT_TRUE(bar.LoadEntry(i));
            }
        }
        EXPECT_EQ(EntryMemoryEstimate(*Album().Entry(2)), 13384u);
        Options().notCacheImage = c.notCache;
        EXPECT_TRUE(bar.FreeMemory(c.bytes, c.keep, c.includeCurrent));
        for (int i = 0; i < Album().Count(); ++i) {
            const ImageEntry* entry = Album().Entry(i);
            EXPECT_EQ(entry->image != nullptr, c.left[size_t(i)]) << c.bytes << " entry " << i;
            EXPECT_EQ(entry->loadState, c.left[size_t(i)] ? kDecoded : kNotDecoded);
            EXPECT_NE(entry->icon, nullptr);  // icons stay
        }
    }
    // Nothing left to free.
    Options().notCacheImage = 0;
    for (int i = 1; i < Album().Count(); ++i) Album().Entry(i)->ReleaseImage();
    EXPECT_FALSE(bar.FreeMemory(100, -1, false));
}

TEST_F(ThumbnailTest, AnOutOfMemoryDecodeDropsTheLargestCachedPictureAndRecovers) {
    // Three cached pictures, then a large one that does not fit beside them.
    MakeFolder(u"oom", {{60, 60}, {100, 100}, {40, 40}, {200, 200}});
    Album().current = 0;
    Options().notLoadInBkg = 1;
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    DibLedger& ledger = DibLedger::Instance();
    ledger.Install(0);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(bar.LoadEntry(i));
    Album().current = 3;
    std::vector<HBITMAP> cached;
    for (int i = 0; i < 3; ++i) cached.push_back(Album().Entry(i)->image->image.bitmap);
    const HBITMAP largest = cached[1];
    // 200x200x3 = 120000 bytes must fit once the 100x100 picture (30000) and
    // the others are gone, but not beside them.
    // The 200x200 picture (120000 bytes) does not fit beside the others.
    ledger.SetBudget(ledger.Total() + 120000 - 1000);
    const size_t before = ledger.Deleted().size();
    ASSERT_TRUE(bar.LoadEntry(3));
    const ImageEntry* big = Album().Entry(3);
    EXPECT_EQ(big->loadState, kDecoded);
    ASSERT_NE(big->image, nullptr);
    EXPECT_NE(big->icon, nullptr);
    // The first cached picture to go was the largest.
    HBITMAP firstDropped = nullptr;
    const std::vector<HBITMAP> deleted = ledger.Deleted();
    for (size_t i = before; i < deleted.size() && !firstDropped; ++i) {
        if (std::find(cached.begin(), cached.end(), deleted[i]) != cached.end()) firstDropped = deleted[i];
    }
    EXPECT_EQ(firstDropped, largest);
    EXPECT_EQ(Album().Entry(1)->image, nullptr);
    EXPECT_EQ(Album().Entry(1)->loadState, kNotDecoded);

    // When nothing can be freed the decode gives up: failed with error 1.
    Album().Entry(3)->ReleaseImage();
    for (int i = 0; i < 3; ++i) Album().Entry(i)->ReleaseImage();
    ledger.SetBudget(ledger.Total() + 1000);
    EXPECT_FALSE(bar.LoadEntry(3));
    EXPECT_EQ(big->loadState, kDecodeFailed);
    EXPECT_EQ(big->errorCode, kLoadOutOfMemory);
    ledger.Remove();
}

TEST_F(ThumbnailTest, AnAbortedDecodeIsNotKeptAndTheEntryIsDecodedAgain) {
    MakeFolder(u"abort", {{30, 30}});
    Album().current = 0;
    DibLedger& ledger = DibLedger::Instance();
    std::atomic<int> aborts{1};
    // The first picture the decoder makes is aborted at once: the decoder
    // returns with the rows read so far, which must not become the entry's.
    ledger.onCreate = [&](const BITMAPINFOHEADER& header) {
        if (header.biWidth == 30 && aborts.exchange(0) == 1) SetAbortFlag();
    };
    ledger.Install(0);
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.Attach(host_.get(), &Album());
    ASSERT_TRUE(WaitForLoader(bar));
    EXPECT_EQ(aborts.load(), 0);
    // The entry went back to "not decoded" and was taken again: the whole
    // picture is in.
    const ImageEntry* entry = Album().Entry(0);
    EXPECT_EQ(entry->loadState, kDecoded);
    ASSERT_NE(entry->image, nullptr);
    EXPECT_NE(entry->icon, nullptr);
    const RImage& image = entry->image->image;
    EXPECT_EQ(RowAddress(image, 0)[2 + 29 * 3], BYTE(29));  // bottom row, last pixel: red = x
    ledger.Remove();
}

TEST_F(ThumbnailTest, AnEntryRemovedWhileItIsDecodedDropsTheResult) {
    MakeFolder(u"removed", {{30, 30}, {20, 20}});
    Album().current = 1;
    DibLedger& ledger = DibLedger::Instance();
    HANDLE decoding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE removed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ledger.onCreate = [&](const BITMAPINFOHEADER& header) {
        if (header.biWidth != 30) return;
        SetEvent(decoding);
        WaitForSingleObject(removed, 5000);
    };
    ledger.Install(0);
    ThumbnailBar& bar = MakeBar(240, 72);
    bar.SetWanted(0);
    bar.Attach(host_.get(), &Album());
    ASSERT_EQ(WaitForSingleObject(decoding, 5000), WAIT_OBJECT_0);
    // The decode runs without the lock: the main thread can take it.
    bar.LockAlbum();
    EXPECT_EQ(Album().Entry(0)->loadState, kDecoding);
    Album().Remove(0);
    Album().current = 0;
    bar.UnlockAlbum();
    SetEvent(removed);
    ASSERT_TRUE(WaitForLoader(bar));
    ASSERT_EQ(Album().Count(), 1);
    EXPECT_EQ(Album().Entry(0)->Name(), std::u16string(u"01.bmp"));
    EXPECT_NE(Album().Entry(0)->icon, nullptr);
    PumpAll();
    ledger.Remove();
    CloseHandle(decoding);
    CloseHandle(removed);
}

}  // namespace
