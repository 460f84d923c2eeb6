// The reorder dialog driven as a user drives it: taps on the list and the
// buttons go in from a timer while the dialog's modal loop runs; then the
// album's order and current entry are checked.
#include <gtest/gtest.h>

#include <functional>

#include "album/reorder_dialog.h"
#include "platform/display.h"
#include "platform/sound_log.h"
#include "res/resource.h"
#include "thumbnail_fixture.h"

namespace {

using thumbnail_test::ThumbnailTest;

using Step = std::function<bool()>;
std::vector<Step> g_steps;
size_t g_next = 0;
int g_idle = 0;
bool g_stuck = false;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_next < g_steps.size()) {
        if (g_steps[g_next]()) ++g_next;
        return;
    }
    if (++g_idle > 300) {
        g_idle = 0;
        g_stuck = true;
        HWND dialog = FindWindowW(nullptr, u"Reorder Thumbnails");
        if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

HWND Dialog() { return FindWindowW(nullptr, u"Reorder Thumbnails"); }
HWND Item(int id) { return GetDlgItem(Dialog(), id); }

void TapAt(int x, int y) {
    platform::InjectPen(platform::Pen::Down, x, y);
    platform::InjectPen(platform::Pen::Up, x, y);
}

std::vector<std::u16string> ListTexts() {
    std::vector<std::u16string> texts;
    HWND list = Item(IDC_REORDER_LIST);
    const int count = int(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[MAX_PATH] = {};
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        texts.push_back(text);
    }
    return texts;
}

// Steps.
Step WaitForDialog() {
    return [] { return Dialog() != nullptr && IsWindowVisible(Dialog()); };
}
Step TapItem(int index) {
    return [index] {
        HWND list = Item(IDC_REORDER_LIST);
        RECT r = {};
        EXPECT_NE(SendMessageW(list, LB_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&r)), LB_ERR);
        MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&r), 2);
        TapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return true;
    };
}
Step Tap(int id) {
    return [id] {
        RECT r = {};
        GetWindowRect(Item(id), &r);
        TapAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        return true;
    };
}
Step Expect(std::vector<std::u16string> texts) {
    return [texts] {
        EXPECT_EQ(ListTexts(), texts);
        return true;
    };
}
Step End(int command) {
    return [command] {
        PostMessageW(Dialog(), WM_COMMAND, command, 0);
        return true;
    };
}

class ReorderTest : public ThumbnailTest {
protected:
    void SetUp() override {
        ThumbnailTest::SetUp();
        AddEntries(4);
        // Sizes and times that order the entries differently from the names.
        const DWORD sizes[] = {30, 10, 40, 20};
        const DWORD times[] = {2, 4, 3, 1};
        for (int i = 0; i < 4; ++i) {
            Album().Entry(i)->block.fileSize = sizes[i];
            Album().Entry(i)->block.fileTime = {times[i], 0};
        }
        Album().current = 1;
        Options().notLoadInBkg = 1;
        MakeBar(240, 72).Attach(host_.get(), &Album());
        platform::TakeBeepLog();
    }
    void Run(std::vector<Step> steps) {
        g_steps = std::move(steps);
        g_next = 0;
        g_idle = 0;
        g_stuck = false;
        UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
        EXPECT_TRUE(bar_->DoCommand(IDM_SORT_MANUALLY, 0));
        KillTimer(nullptr, timer);
        EXPECT_EQ(g_next, g_steps.size()) << "steps left undone";
        EXPECT_FALSE(g_stuck) << "the dialog had to be cancelled";
        EXPECT_EQ(Dialog(), nullptr);
    }
    std::vector<std::u16string> Names() {
        std::vector<std::u16string> out;
        for (int i = 0; i < Album().Count(); ++i) out.push_back(Album().Entry(i)->Name());
        return out;
    }
};

TEST_F(ReorderTest, UpAndDownMoveTheSelectionAndBeepAtTheEndsOkWritesBack) {
    bool checkedStart = false;
    Run({
        WaitForDialog(),
        [&] {
            EXPECT_EQ(ListTexts(), (std::vector<std::u16string>{u"00.bmp", u"01.bmp", u"02.bmp", u"03.bmp"}));
            // The item data is the position in the working order.
            EXPECT_EQ(SendMessageW(Item(IDC_REORDER_LIST), LB_GETITEMDATA, 2, 0), 2);
            EXPECT_FALSE(IsWindowEnabled(Item(IDC_REORDER_UP)));
            EXPECT_FALSE(IsWindowEnabled(Item(IDC_REORDER_DOWN)));
            LOGFONTW font = {};
            GetObjectW(reinterpret_cast<HGDIOBJ>(SendMessageW(Item(IDC_REORDER_TITLE), WM_GETFONT, 0, 0)),
                       sizeof(font), &font);
            EXPECT_EQ(font.lfWeight, FW_BOLD);
            checkedStart = true;
            return true;
        },
        TapItem(2),
        [] { return IsWindowEnabled(Item(IDC_REORDER_UP)) && IsWindowEnabled(Item(IDC_REORDER_DOWN)); },
        Tap(IDC_REORDER_UP),
        Expect({u"00.bmp", u"02.bmp", u"01.bmp", u"03.bmp"}),
        Tap(IDC_REORDER_UP),
        Tap(IDC_REORDER_UP),  // already first: a beep
        Expect({u"02.bmp", u"00.bmp", u"01.bmp", u"03.bmp"}),
        [] {
            EXPECT_EQ(SendMessageW(Item(IDC_REORDER_LIST), LB_GETCURSEL, 0, 0), 0);
            EXPECT_EQ(platform::TakeBeepLog(), (std::vector<UINT>{MB_ICONASTERISK}));
            return true;
        },
        TapItem(2),
        Tap(IDC_REORDER_DOWN),
        Tap(IDC_REORDER_DOWN),  // already last
        Expect({u"02.bmp", u"00.bmp", u"03.bmp", u"01.bmp"}),
        [] {
            EXPECT_EQ(platform::TakeBeepLog(), (std::vector<UINT>{MB_ICONASTERISK}));
            return true;
        },
        End(IDOK),
    });
    EXPECT_TRUE(checkedStart);
    EXPECT_EQ(Names(), (std::vector<std::u16string>{u"02.bmp", u"00.bmp", u"03.bmp", u"01.bmp"}));
    EXPECT_EQ(Album().current, 3);  // 01.bmp stays current at its new place
}

TEST_F(ReorderTest, TheSortButtonsSortTheWorkingCopy) {
    const struct {
        int button;
        std::vector<std::u16string> order;
        int current;
    } cases[] = {
        {IDC_REORDER_SORT_SIZE, {u"01.bmp", u"03.bmp", u"00.bmp", u"02.bmp"}, 0},
        {IDC_REORDER_SORT_DATE, {u"03.bmp", u"00.bmp", u"02.bmp", u"01.bmp"}, 3},
        {IDC_REORDER_SORT_NAME, {u"00.bmp", u"01.bmp", u"02.bmp", u"03.bmp"}, 1},
    };
    for (const auto& c : cases) {
        Run({WaitForDialog(), Tap(c.button), Expect(c.order), End(IDOK)});
        EXPECT_EQ(Names(), c.order) << c.button;
        EXPECT_EQ(Album().Entry(Album().current)->Name(), std::u16string(u"01.bmp")) << c.button;
        EXPECT_EQ(Album().current, c.current) << c.button;
    }
}

TEST_F(ReorderTest, CancelLeavesTheAlbumAlone) {
    Run({
        WaitForDialog(),
        Tap(IDC_REORDER_SORT_SIZE),
        TapItem(3),
        Tap(IDC_REORDER_UP),
        Expect({u"01.bmp", u"03.bmp", u"02.bmp", u"00.bmp"}),
        End(IDCANCEL),
    });
    EXPECT_EQ(Names(), (std::vector<std::u16string>{u"00.bmp", u"01.bmp", u"02.bmp", u"03.bmp"}));
    EXPECT_EQ(Album().current, 1);
}

TEST_F(ReorderTest, LongNamesCanBeScrolledIntoView) {
    const struct {
        const WCHAR* path;
        bool scrolls;  // the name is wider than the list
    } cases[] = {
        {u"\\none\\04.bmp", false},
        {u"\\none\\Chest CT of a patient with a very long study description.dcm", true},
    };
    for (const auto& c : cases) {
        ASSERT_NE(Album().Append(c.path), nullptr);
        const std::u16string name = Album().Entry(Album().Count() - 1)->Name();
        Run({
            WaitForDialog(),
            [&] {
                HWND list = Item(IDC_REORDER_LIST);
                // The name as wide as the list's font draws it.
                HDC dc = GetDC(list);
                HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
                SIZE size = {};
                GetTextExtentPoint32W(dc, name.c_str(), int(name.size()), &size);
                SelectObject(dc, old);
                ReleaseDC(list, dc);
                const int extent = int(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
                EXPECT_GE(extent, size.cx + 2) << "the name and the list's indent";
                RECT client = {};
                GetClientRect(list, &client);
                EXPECT_EQ((GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL) != 0, c.scrolls);
                // Scrolled to the end, the name's last letters are inside the list.
                SendMessageW(list, WM_HSCROLL, SB_RIGHT, 0);
                RECT item = {};
                const int last = int(SendMessageW(list, LB_GETCOUNT, 0, 0)) - 1;
                SendMessageW(list, LB_GETITEMRECT, WPARAM(last), reinterpret_cast<LPARAM>(&item));
                EXPECT_LE(item.left + 2 + size.cx, client.right);
                return true;
            },
            End(IDCANCEL),
        });
    }
}

}  // namespace
