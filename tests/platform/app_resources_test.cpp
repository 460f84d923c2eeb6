// The viewer's own resources in kestrava.rc, read back through the resource
// layer: the menus the frame walks by position, the menu-bar records, the
// strings the shell loads by id, the art's sizes and the help page.
#include <gtest/gtest.h>

#include <string>

#include "commctrl.h"
#include "resource.h"
#include "windows.h"

namespace {

HINSTANCE Self() { return GetModuleHandleW(nullptr); }

std::u16string ItemText(HMENU menu, int position) {
    WCHAR text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

// ---- Menus ---------------------------------------------------------------------------

struct PopupCase {
    UINT menuId;
    int position;
    const char16_t* text;
};

TEST(AppMenuTest, EachMenuHasItsPopups) {
    const PopupCase cases[] = {
        {IDR_MAIN_FRAME, 0, u"&File"},     {IDR_MAIN_FRAME, 1, u"&Image"}, {IDR_MENU_VIDEO, 0, u"&Video"},
        {IDR_MENU_DRAW, 0, u"&Draw"},      {IDR_MENU_THUMBNAIL, 0, u"Image"},
    };
    for (const PopupCase& c : cases) {
        SCOPED_TRACE(c.menuId);
        HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(c.menuId));
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(ItemText(menu, c.position), c.text);
        EXPECT_NE(GetSubMenu(menu, c.position), nullptr);
        DestroyMenu(menu);
    }
}

TEST(AppMenuTest, RecentFilesIsTheSeventeenthItemOfFile) {
    HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(IDR_MAIN_FRAME));
    ASSERT_NE(menu, nullptr);
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(ItemText(file, 16), u"Recent files");
    HMENU recent = GetSubMenu(file, 16);
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(GetMenuItemCount(recent), 1);
    EXPECT_EQ(GetMenuItemID(recent, 0), static_cast<UINT>(IDM_NO_RECENT_FILE));
    EXPECT_EQ(ItemText(recent, 0), u"No recent file");
    EXPECT_TRUE(GetMenuState(recent, 0, MF_BYPOSITION) & MF_GRAYED);
    DestroyMenu(menu);
}

// Finds a command anywhere below `menu`; its text in `text`.
bool FindCommand(HMENU menu, UINT command, std::u16string* text) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (HMENU sub = GetSubMenu(menu, i)) {
            if (FindCommand(sub, command, text)) return true;
        } else if (GetMenuItemID(menu, i) == command) {
            *text = ItemText(menu, i);
            return true;
        }
    }
    return false;
}

struct CommandCase {
    UINT menuId;
    UINT command;
    const char16_t* text;
};

TEST(AppMenuTest, CommandsCarryTheirTexts) {
    const CommandCase cases[] = {
        {IDR_MAIN_FRAME, IDM_OPEN, u"&Open..."},
        {IDR_MAIN_FRAME, IDM_PREVIOUS_IMAGE, u"&Previous Image\t[Up]"},
        {IDR_MAIN_FRAME, IDM_NEXT_IMAGE, u"&Next Image\t[Down]"},
        {IDR_MAIN_FRAME, IDM_ZOOM_TO_FIT, u"Zoom To &Fit"},
        {IDR_MAIN_FRAME, IDM_ZOOM_400, u"Zoom &400%"},
        {IDR_MAIN_FRAME, IDM_ROTATE_MINUS_90, u"Rotate -90"},
        {IDR_MAIN_FRAME, IDM_ALL_LANDSCAPE, u"All To &Lanscape"},
        {IDR_MAIN_FRAME, IDM_SLIDE_SHOW, u"&Start Slide Show"},
        {IDR_MAIN_FRAME, IDM_WINDOW_LEVEL, u"Window/&Level..."},
        {IDR_MAIN_FRAME, IDM_ZOOM_RECT_LAST, u"&Large"},
        {IDR_MAIN_FRAME, IDM_ABOUT, u"&About..."},
        {IDR_MAIN_FRAME, IDM_EXIT, u"&Exit"},
        {IDR_MENU_VIDEO, IDM_PLAY_VIDEO, u"Start Video"},
        {IDR_MENU_VIDEO, IDM_VIDEO_LAST, u"Last Frame"},
        {IDR_MENU_DRAW, IDM_DRAW_CLOSE, u"&Close"},
        {IDR_MENU_DRAW, IDM_DRAW_CLEAR_ALL, u"Clear &All"},
        {IDR_MENU_THUMBNAIL, IDM_VIEW_THUMBNAIL, u"&View"},
        {IDR_MENU_THUMBNAIL, IDM_PROPERTIES, u"P&roperties..."},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.command);
        HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(c.menuId));
        ASSERT_NE(menu, nullptr);
        std::u16string text;
        EXPECT_TRUE(FindCommand(menu, c.command, &text));
        EXPECT_EQ(text, c.text);
        DestroyMenu(menu);
    }
}

// ---- Menu-bar records ------------------------------------------------------------------

struct RecordButton {
    WORD command;
    WORD stringId;
    WORD popup;
};

struct RecordCase {
    UINT id;
    int count;
    RecordButton buttons[2];
};

TEST(AppMenuBarRecordTest, RecordsNameTheirMenuAndPopups) {
    const RecordCase cases[] = {
        {IDR_MAIN_FRAME, 2, {{IDM_MENU_FILE, IDS_MENU_FILE, 0}, {IDM_MENU_IMAGE, IDS_MENU_IMAGE, 1}}},
        {IDR_MENU_VIDEO, 1, {{IDM_MENU_VIDEO, IDS_MENU_VIDEO, 0}, {}}},
        {IDR_MENU_DRAW, 1, {{IDM_MENU_DRAW, IDS_MENU_DRAW, 0}, {}}},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.id);
        HRSRC found = FindResourceW(Self(), MAKEINTRESOURCEW(c.id), RT_RCDATA);
        ASSERT_NE(found, nullptr);
        const auto* words = static_cast<const WORD*>(LockResource(LoadResource(Self(), found)));
        ASSERT_EQ(SizeofResource(Self(), found), 4u + 14u * static_cast<DWORD>(c.count));
        EXPECT_EQ(words[0], c.id);
        EXPECT_EQ(words[1], c.count);
        HMENU menu = LoadMenuW(Self(), MAKEINTRESOURCEW(words[0]));
        ASSERT_NE(menu, nullptr);
        for (int i = 0; i < c.count; ++i) {
            const WORD* b = words + 2 + 7 * i;
            EXPECT_EQ(b[0], 0xFFFE);  // I_IMAGENONE: a text button
            EXPECT_EQ(b[1], c.buttons[i].command);
            EXPECT_EQ(b[2], TBSTATE_ENABLED);
            EXPECT_EQ(b[3], TBSTYLE_DROPDOWN);
            EXPECT_EQ(b[4], c.buttons[i].stringId);
            EXPECT_EQ(b[6], c.buttons[i].popup);
            WCHAR text[32] = {};
            EXPECT_GT(LoadStringW(Self(), b[4], text, 32), 0);
            EXPECT_NE(GetSubMenu(menu, b[6]), nullptr);
        }
        DestroyMenu(menu);
    }
}

// ---- Strings ---------------------------------------------------------------------------

struct StringCase {
    UINT id;
    const char16_t* text;
};

TEST(AppStringTest, ShellStringsAreInTheTable) {
    const StringCase cases[] = {
        {101, u"Halvoric Kestrava"},
        {412, u"ERROR"},
        {452, u"Unknown error"},
        {485, u"No recent file"},
        {10003, u"Start Video"},
        {10008, u"Last Frame"},
        {17505, u"Draw notes"},
        {17601, u"Contrast/Brightness"},
        {21312, u"Add image(s) [*? allowed]"},
        {21323, u"&Stop Slide Show"},
        {21324, u"&Start Slide Show"},
        {21337, u"Options"},
        {21341, u"Auto landscape mode"},
        {21342, u"Add"},
        {21343, u"Show Thumbnails"},
        {21344, u"Hide Thumbnails"},
        {21345, u"Previous Image"},
        {21350, u"Assign Sound"},
        {21322, u"Image data file corrupted or file has a unknown data format."},
        {IDS_ASK_DCM_EXTENSION, u"Do you want to apply .DCM extension to the file?"},
        {IDS_DCM_EXTENSION_FAILED, u"Failed to add .DCM extension"},
        {IDS_WARNING, u"Warning"},
        {IDS_INFORMATION, u"Information"},
    };
    for (const StringCase& c : cases) {
        SCOPED_TRACE(c.id);
        WCHAR text[256] = {};
        int length = LoadStringW(Self(), c.id, text, 256);
        EXPECT_EQ(std::u16string(text, static_cast<size_t>(length)), c.text);
    }
}

// ---- Art and the help page -------------------------------------------------------------

struct BitmapCase {
    UINT id;
    LONG width;
    LONG height;
};

TEST(AppArtTest, BitmapsHaveTheirStripSizes) {
    const BitmapCase cases[] = {
        {IDB_MAIN_TOOLBAR, 8 * 16, 16},
        {IDB_VIDEO_TOOLBAR, 12 * 16, 16},
        {IDB_DISABLED_BUTTONS, 7 * 16, 16},
        {IDB_SPLASH, 240, 320},
    };
    for (const BitmapCase& c : cases) {
        SCOPED_TRACE(c.id);
        HBITMAP bitmap = LoadBitmapW(Self(), MAKEINTRESOURCEW(c.id));
        ASSERT_NE(bitmap, nullptr);
        BITMAP bm{};
        ASSERT_NE(GetObjectW(bitmap, sizeof(bm), &bm), 0);
        EXPECT_EQ(bm.bmWidth, c.width);
        EXPECT_EQ(bm.bmHeight, c.height);
        DeleteObject(bitmap);
    }
}

TEST(AppArtTest, ProgramIconComesInBothSizes) {
    for (int size : {16, 32}) {
        SCOPED_TRACE(size);
        HICON icon =
            static_cast<HICON>(LoadImageW(Self(), MAKEINTRESOURCEW(IDR_MAIN_FRAME), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << GetLastError();
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        GetObjectW(info.hbmColor, sizeof(bm), &bm);
        EXPECT_EQ(bm.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(AppArtTest, HelpPageAndAboutBoxArePresent) {
    HRSRC page = FindResourceW(Self(), MAKEINTRESOURCEW(IDR_HELP_PAGE), RT_RCDATA);
    ASSERT_NE(page, nullptr);
    const char* html = static_cast<const char*>(LockResource(LoadResource(Self(), page)));
    std::string text(html, SizeofResource(Self(), page));
    EXPECT_EQ(text.rfind("<html>", 0), 0u);
    EXPECT_NE(text.find("</html>"), std::string::npos);
    EXPECT_NE(FindResourceW(Self(), MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG), nullptr);
}

}  // namespace
