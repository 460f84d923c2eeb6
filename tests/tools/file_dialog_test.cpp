// The file chooser's window, driven as a user drives it: pen taps and holds
// injected on the headless screen, texts typed, buttons pressed, message
// boxes read and answered. Each step runs on a thread timer while the modal
// dialog runs; a driver that runs out of steps cancels the dialog, so a
// fault fails the test instead of hanging it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <commctrl.h>
#include <winreg.h>

#include "app/file_chooser.h"
#include "app/window_base.h"
#include "gwes_fixture.h"
#include "platform/display.h"
#include "platform/registry.h"
#include "platform/wstr.h"
#include "res/resource.h"
#include "tools/file_dialog.h"
#include "tools/folder_tree.h"

namespace {

// ---- The driver ------------------------------------------------------------------------------

// A step returns true when it is done; false runs it again at the next tick.
using Step = std::function<bool()>;

struct Driver {
    std::vector<Step> steps;
    size_t next = 0;
    int idleTicks = 0;
    HWND chooser = nullptr;
};
Driver* g_driver = nullptr;
constexpr UINT kTickMs = 15;
constexpr int kGiveUpTicks = 300;  // 4.5 s past the last step

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    Driver& d = *g_driver;
    if (!d.chooser) {
        HWND active = GetActiveWindow();
        if (active && dynamic_cast<FileDialog*>(WindowBase::FromHandle(active))) d.chooser = active;
        if (!d.chooser) return;
    }
    if (d.next < d.steps.size()) {
        if (d.steps[d.next]()) ++d.next;
        return;
    }
    if (++d.idleTicks == kGiveUpTicks) {
        ADD_FAILURE() << "the dialog was still open after the last step";
        PostMessageW(GetActiveWindow(), WM_COMMAND, IDCANCEL, 0);
        if (GetActiveWindow() != d.chooser) PostMessageW(d.chooser, WM_COMMAND, IDCANCEL, 0);
    }
}

class FileDialogTest : public gwes_test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        platform::ReloadRegistryForTest();
        MakeFile("My Documents/top.bmp", 10);
        MakeFile("My Documents/notes.txt", 10);
        MakeFolder("My Documents/scans");
        MakeFile("My Documents/scans/a.bmp", 2047);
        MakeFile("My Documents/scans/b.bmp", 5000);
        MakeFile("My Documents/scans/c.bmp", 300000);
    }
    void MakeFile(const std::string& relative, uintmax_t size) {
        std::ofstream(Host(relative)).put('x');
        std::filesystem::resize_file(Host(relative), size);
    }
    void MakeFolder(const std::string& relative) { std::filesystem::create_directories(Host(relative)); }

    // Runs the chooser with the steps; its result.
    int Run(FileDialogRequest* request, std::vector<Step> steps) {
        Driver driver;
        driver.steps = std::move(steps);
        g_driver = &driver;
        const UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, Tick);
        const int result = ShowFileDialog(request);
        KillTimer(nullptr, timer);
        g_driver = nullptr;
        EXPECT_EQ(driver.next, driver.steps.size()) << "the dialog closed before its last step";
        return result;
    }

    // ---- What the steps look at and do ----
    static HWND Chooser() { return g_driver->chooser; }
    static FileDialog* Dialog() { return dynamic_cast<FileDialog*>(WindowBase::FromHandle(Chooser())); }
    static HWND Item(int id) { return GetDlgItem(Chooser(), id); }
    static HWND List() { return Item(IDC_FILE_LIST); }
    static std::u16string Text(HWND window) {
        WCHAR text[MAX_PATH] = {};
        GetWindowTextW(window, text, MAX_PATH);
        return text;
    }
    static std::u16string Name() { return Text(Item(IDC_FILE_NAME)); }
    static std::u16string ItemText(int item, int column) {
        WCHAR text[MAX_PATH] = {};
        ListView_GetItemText(List(), item, column, text, MAX_PATH);
        return text;
    }
    static int FindItem(const std::u16string& name) {
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            if (ItemText(i, 0) == name) return i;
        }
        return -1;
    }
    static POINT ItemPoint(int item) {
        RECT r = {};
        ListView_GetItemRect(List(), item, &r, LVIR_LABEL);
        POINT p = {r.left + 4, (r.top + r.bottom) / 2};
        ClientToScreen(List(), &p);
        return p;
    }
    // A tap: the pen goes down now and comes up at the next tick.
    static std::vector<Step> TapAt(std::function<POINT()> where) {
        auto point = std::make_shared<POINT>();
        return {[=] {
                    *point = where();
                    platform::InjectPen(platform::Pen::Down, point->x, point->y);
                    return true;
                },
                [=] {
                    platform::InjectPen(platform::Pen::Up, point->x, point->y);
                    return true;
                }};
    }
    static std::vector<Step> TapItem(const std::u16string& name) {
        return TapAt([name] {
            const int item = FindItem(name);
            EXPECT_GE(item, 0) << platform::Utf16ToUtf8(name);
            return ItemPoint(item);
        });
    }
    // A hold: down, kept past the 400 ms of a tap-and-hold, then up.
    static std::vector<Step> HoldItem(const std::u16string& name) {
        auto point = std::make_shared<POINT>();
        auto since = std::make_shared<DWORD>();
        return {[=] {
                    *point = ItemPoint(FindItem(name));
                    *since = GetTickCount();
                    platform::InjectPen(platform::Pen::Down, point->x, point->y);
                    return true;
                },
                [=] {
                    if (GetTickCount() - *since < 480) return false;
                    platform::InjectPen(platform::Pen::Up, point->x, point->y);
                    return true;
                }};
    }
    static Step Press(int id) {
        return [id] {
            PostMessageW(Chooser(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
            return true;
        };
    }
    static Step Type(const std::u16string& text) {
        return [text] {
            SetWindowTextW(Item(IDC_FILE_NAME), text.c_str());
            return true;
        };
    }
    static Step Check(std::function<void()> check) {
        return [check] {
            check();
            return true;
        };
    }
    // Waits for a message box over the chooser, keeps its texts and
    // answers it.
    static Step Answer(std::u16string* texts, int answer) {
        return [texts, answer] {
            HWND box = GetActiveWindow();
            if (!box || box == Chooser() || WindowBase::FromHandle(box)) return false;
            *texts = Text(box) + u"|";
            EnumChildWindows(
                box,
                [](HWND child, LPARAM p) {
                    *reinterpret_cast<std::u16string*>(p) += Text(child) + u"|";
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(texts));
            PostMessageW(box, WM_COMMAND, answer, 0);
            return true;
        };
    }
    static std::vector<Step> Join(std::initializer_list<std::vector<Step>> parts) {
        std::vector<Step> all;
        for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    static FileDialogRequest OpenRequest() {
        FileDialogRequest request;
        request.extensions = u"bmp\0";
        request.flags = kChooseToOpen;
        return request;
    }
};

bool Contains(const std::u16string& text, const std::u16string& part) { return text.find(part) != std::u16string::npos; }

// ---- Taps ------------------------------------------------------------------------------------

TEST_F(FileDialogTest, ATapOnAFolderOpensItAndATapOnAFileChoosesIt) {
    FileDialogRequest request = OpenRequest();
    const int result = Run(&request, Join({
        {Check([] {
            EXPECT_EQ(Dialog()->Folder(), u"\\My Documents");
            EXPECT_EQ(Name(), u"*.*");
            EXPECT_EQ(Text(Item(kTitleControlId)), u"Open file...");
            EXPECT_EQ(Text(Item(IDOK)), u"&Open");
            // Folders, then the filter's files: not notes.txt.
            EXPECT_EQ(ListView_GetItemCount(List()), 2);
            EXPECT_GE(FindItem(u"scans"), 0);
            EXPECT_GE(FindItem(u"top.bmp"), 0);
        })},
        TapItem(u"scans"),
        {[] { return Dialog()->Folder() == u"\\My Documents\\scans"; }},
        {Check([] { EXPECT_EQ(ListView_GetItemCount(List()), 3); })},
        TapItem(u"b.bmp"),
    }));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::u16string(request.path), u"\\My Documents\\scans\\b.bmp");
}

TEST_F(FileDialogTest, HoldingOnlySelectsAndEmptySpaceClearsAnUnpresetName) {
    FileDialogRequest request = OpenRequest();
    lstrcpyW(request.path, u"\\My Documents\\scans");
    const int result = Run(&request, Join({
        HoldItem(u"c.bmp"),
        {Check([] {
            EXPECT_EQ(Name(), u"c.bmp");
            EXPECT_EQ(Dialog()->Folder(), u"\\My Documents\\scans");
        })},
        // Below the last item.
        TapAt([] {
            RECT r;
            GetClientRect(List(), &r);
            POINT p = {r.right / 2, r.bottom - 4};
            ClientToScreen(List(), &p);
            return p;
        }),
        {Check([] { EXPECT_EQ(Name(), u""); })},
        {Press(IDC_FILE_UP)},
        {Check([] { EXPECT_EQ(Dialog()->Folder(), u"\\My Documents"); })},
        HoldItem(u"scans"),
        {Check([] {
            EXPECT_EQ(Name(), u"");
            EXPECT_EQ(Dialog()->Folder(), u"\\My Documents");
        })},
        // The Action key on the selected folder opens it.
        {Press(IDOK)},
        {Check([] { EXPECT_EQ(Dialog()->Folder(), u"\\My Documents\\scans"); })},
        {Press(IDC_FILE_UP)},
        {Press(IDC_FILE_UP)},
        {Check([] { EXPECT_EQ(Dialog()->Folder(), u"\\"); })},
        {Press(IDC_FILE_UP)},
        {Check([] { EXPECT_EQ(Dialog()->Folder(), u"\\"); })},
        {Press(IDC_FILE_CANCEL)},
    }));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(std::u16string(request.path), u"\\My Documents\\scans");
}

TEST_F(FileDialogTest, FolderModeIgnoresFilesAndAnswersWithTheFolder) {
    FileDialogRequest request;
    request.flags = kChooseFolder | kChooseNotFullScreen;
    const int result = Run(&request, Join({
        {Check([] {
            EXPECT_EQ(ListView_GetItemCount(List()), 1);  // only "scans"
            // 0x100: the dialog keeps its template's size, and its controls fit in it.
            RECT dialog, cancel;
            GetWindowRect(Chooser(), &dialog);
            GetWindowRect(Item(IDC_FILE_CANCEL), &cancel);
            EXPECT_LE(cancel.bottom, dialog.bottom);
            EXPECT_LE(cancel.right, dialog.right);
        })},
        TapItem(u"scans"),
        {[] { return Dialog()->Folder() == u"\\My Documents\\scans"; }},
        {Check([] { EXPECT_EQ(ListView_GetItemCount(List()), 0); })},
        {Press(IDOK)},
    }));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::u16string(request.path), u"\\My Documents\\scans");
}

TEST_F(FileDialogTest, LinksCarryTheLinkOverlayWhereverTheSortPutsThem) {
    MakeFile("My Documents/scans/shortcut.lnk", 100);
    FileDialogRequest request;
    lstrcpyW(request.path, u"\\My Documents\\scans");
    auto overlays = [] {
        std::u16string marked;
        for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
            if (ListView_GetItemState(List(), i, LVIS_OVERLAYMASK) == UINT(INDEXTOOVERLAYMASK(1))) {
                marked += ItemText(i, 0) + u";";
            }
        }
        return marked;
    };
    const int result = Run(&request, {
        Check([&] { EXPECT_EQ(overlays(), u"shortcut.lnk;"); }),
        [] {
            NMLISTVIEW nm = {};
            nm.hdr.hwndFrom = List();
            nm.hdr.idFrom = IDC_FILE_LIST;
            nm.hdr.code = LVN_COLUMNCLICK;
            nm.iItem = -1;
            nm.iSubItem = 1;
            SendMessageW(Chooser(), WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&nm));
            return true;
        },
        Check([&] {
            EXPECT_EQ(ItemText(0, 0), u"shortcut.lnk");  // the smallest
            EXPECT_EQ(overlays(), u"shortcut.lnk;");
        }),
        Press(IDCANCEL),
    });
    EXPECT_EQ(result, 0);
}

// ---- Saving ----------------------------------------------------------------------------------

TEST_F(FileDialogTest, SavingAsksBeforeReplacingAndRefusesWhatTheRulesForbid) {
    FileDialogRequest request;
    request.extensions = u"bmp\0";
    request.flags = kChooseToSave;
    request.title = u"Save images...";
    request.buttonText = u"Save";
    lstrcpyW(request.path, u"\\My Documents\\New.bmp");
    auto refusal = std::make_shared<std::u16string>();
    auto question = std::make_shared<std::u16string>();
    auto second = std::make_shared<std::u16string>();
    const int result = Run(&request, {
        Check([] {
            EXPECT_EQ(Name(), u"New.bmp");
            EXPECT_EQ(Text(Item(kTitleControlId)), u"Save images...");
            EXPECT_EQ(Text(Item(IDOK)), u"Save");
            EXPECT_TRUE(IsWindowEnabled(Item(IDOK)));
        }),
        Type(u""),
        Check([] { EXPECT_FALSE(IsWindowEnabled(Item(IDOK))) << "0x10: no name, no confirm"; }),
        Type(u"sc*n"),
        Check([] { EXPECT_TRUE(IsWindowEnabled(Item(IDOK))); }),
        Press(IDOK),
        Answer(refusal.get(), IDOK),
        Type(u"top.jpg"),
        Press(IDOK),
        Answer(question.get(), IDNO),
        Check([] { EXPECT_TRUE(IsWindow(Chooser())); }),
        Press(IDOK),
        Answer(second.get(), IDYES),
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(std::u16string(request.path), u"\\My Documents\\top.bmp");
    EXPECT_TRUE(Contains(*refusal, u"ERROR|")) << platform::Utf16ToUtf8(*refusal);
    EXPECT_TRUE(Contains(*refusal, u"Wildcard (?,*) not allowed."));
    EXPECT_TRUE(Contains(*question, u"WARNING|")) << platform::Utf16ToUtf8(*question);
    EXPECT_TRUE(Contains(*question, kOverwriteQuestion));
    EXPECT_TRUE(Contains(*second, kOverwriteQuestion));
}

// ---- The list modes --------------------------------------------------------------------------

DWORD ListStyle() { return static_cast<DWORD>(GetWindowLongW(GetDlgItem(g_driver->chooser, IDC_FILE_LIST), GWL_STYLE)); }

TEST_F(FileDialogTest, TheListModeIsKeptBetweenCallsAndDetailsSortByTheTappedColumn) {
    FileDialogRequest request = OpenRequest();
    lstrcpyW(request.path, u"\\My Documents\\scans\\");
    int result = Run(&request, {
        Check([] {
            EXPECT_EQ(ListStyle() & LVS_TYPEMASK, DWORD(LVS_LIST));
            EXPECT_NE(ListStyle() & LVS_SHAREIMAGELISTS, 0u);
        }),
        Press(IDC_FILE_LIST_MODE),
        Check([] { EXPECT_EQ(ListStyle() & LVS_TYPEMASK, DWORD(LVS_REPORT)); }),
        Press(IDC_FILE_CANCEL),
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LoadListViewMode(), 0u);
    result = Run(&request, {
        Check([] {
            EXPECT_EQ(ListStyle() & LVS_TYPEMASK, DWORD(LVS_REPORT));
            const struct {
                int width, format;
                const char16_t* title;
            } columns[] = {{90, LVCFMT_LEFT, u"Name"}, {40, LVCFMT_RIGHT, u"Size"}, {50, LVCFMT_RIGHT, u"Date"},
                           {60, LVCFMT_LEFT, u"Type"}};
            for (int c = 0; c < 4; ++c) {
                WCHAR title[32] = {};
                LVCOLUMNW column = {};
                column.mask = LVCF_WIDTH | LVCF_FMT | LVCF_TEXT;
                column.pszText = title;
                column.cchTextMax = 32;
                ASSERT_TRUE(ListView_GetColumn(List(), c, &column));
                EXPECT_EQ(column.cx, columns[c].width);
                EXPECT_EQ(column.fmt & LVCFMT_JUSTIFYMASK, columns[c].format);
                EXPECT_EQ(std::u16string(title), columns[c].title);
            }
            EXPECT_EQ(ListView_GetExtendedListViewStyle(List()) & LVS_EX_FULLROWSELECT, DWORD(LVS_EX_FULLROWSELECT));
            EXPECT_EQ(ItemText(FindItem(u"a.bmp"), 1), u"1K");  // 2047 bytes
            EXPECT_EQ(ItemText(FindItem(u"c.bmp"), 1), u"292K");
            EXPECT_EQ(ItemText(FindItem(u"c.bmp"), 3), u"Bitmap Image");
        }),
        // The Size header twice: the largest first.
        [] {
            NMLISTVIEW nm = {};
            nm.hdr.hwndFrom = List();
            nm.hdr.idFrom = IDC_FILE_LIST;
            nm.hdr.code = LVN_COLUMNCLICK;
            nm.iItem = -1;
            nm.iSubItem = 1;
            SendMessageW(Chooser(), WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&nm));
            SendMessageW(Chooser(), WM_NOTIFY, IDC_FILE_LIST, reinterpret_cast<LPARAM>(&nm));
            return true;
        },
        Check([] {
            EXPECT_EQ(ItemText(0, 0), u"c.bmp");
            EXPECT_EQ(ItemText(2, 0), u"a.bmp");
        }),
        Press(IDC_FILE_LIST_MODE),
        Press(IDCANCEL),
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(LoadListViewMode(), 1u);
}

TEST_F(FileDialogTest, AListModeOfTheWrongSizeOrTypeIsTheDefault) {
    const struct {
        const char* what;
        DWORD type;
        std::vector<BYTE> bytes;
        DWORD mode;
    } cases[] = {
        {"details", REG_BINARY, {0, 0, 0, 0}, 0},
        {"details as a number", REG_DWORD, {0, 0, 0, 0}, 0},
        {"two bytes", REG_BINARY, {0, 0}, 1},
        {"eight bytes", REG_BINARY, {0, 0, 0, 0, 0, 0, 0, 0}, 1},
        {"a text", REG_SZ, {u'0', 0, 0, 0}, 1},
        {"a mode that does not exist", REG_BINARY, {7, 0, 0, 0}, 1},
        {"empty", REG_BINARY, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HKEY key = nullptr;
        DWORD disposition = 0;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Halvoric\\OpenDlg", 0, nullptr, 0, 0, nullptr, &key,
                                  &disposition),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"ListViewMode", 0, c.type, c.bytes.data(), DWORD(c.bytes.size()));
        RegCloseKey(key);
        EXPECT_EQ(LoadListViewMode(), c.mode);
    }
}

// ---- The folder display and the tree ---------------------------------------------------------

HWND PopupTree() {
    HWND popup = GetActiveWindow();
    auto* tree = dynamic_cast<FolderTreePopup*>(WindowBase::FromHandle(popup));
    return tree ? tree->Tree() : nullptr;
}

std::u16string TreeText(HWND tree, HTREEITEM item) {
    WCHAR text[MAX_PATH] = {};
    TVITEMW it = {};
    it.mask = TVIF_TEXT | TVIF_HANDLE;
    it.hItem = item;
    it.pszText = text;
    it.cchTextMax = MAX_PATH;
    TreeView_GetItem(tree, &it);
    return text;
}

HTREEITEM TreeChild(HWND tree, HTREEITEM parent, const std::u16string& text) {
    for (HTREEITEM c = TreeView_GetChild(tree, parent); c; c = TreeView_GetNextSibling(tree, c)) {
        if (TreeText(tree, c) == text) return c;
    }
    return nullptr;
}

TEST_F(FileDialogTest, TheFolderTreeOpensAtTheCurrentFolderAndAChoiceChangesTheFolder) {
    MakeFolder("My Documents/scans/old");
    MakeFolder("Temp/deep/deeper");
    const std::string docs = Host("My Documents");
    std::filesystem::create_directory_symlink(docs, docs + "/scans/cycle");
    std::filesystem::create_directory_symlink(docs + "/gone", docs + "/dangling");
    FileDialogRequest request = OpenRequest();
    lstrcpyW(request.path, u"\\My Documents\\scans\\a.bmp");
    const int result = Run(&request, {
        Press(IDC_FILE_FOLDER),
        [] { return PopupTree() != nullptr; },
        Check([] {
            HWND tree = PopupTree();
            HTREEITEM selected = TreeView_GetSelection(tree);
            EXPECT_EQ(TreeText(tree, selected), u"scans");
            HTREEITEM root = TreeView_GetRoot(tree);
            EXPECT_EQ(TreeText(tree, root), u"My Device");
            // Opened down to the current folder only; Temp is read when expanded.
            HTREEITEM temp = TreeChild(tree, root, u"Temp");
            ASSERT_NE(temp, nullptr);
            EXPECT_EQ(TreeView_GetChild(tree, temp), nullptr);
            // The popup hangs below the display down to the screen's bottom less 25.
            RECT display, popup;
            GetWindowRect(GetDlgItem(Chooser(), IDC_FILE_FOLDER), &display);
            GetWindowRect(GetActiveWindow(), &popup);
            EXPECT_EQ(popup.top, display.bottom);
            EXPECT_EQ(popup.bottom, GetSystemMetrics(SM_CYSCREEN) - 25);
            // A folder without subfolders shows no button.
            TVITEMW it = {};
            it.mask = TVIF_PARAM | TVIF_HANDLE;
            it.hItem = TreeChild(tree, selected, u"old");
            ASSERT_NE(it.hItem, nullptr);
            TreeView_GetItem(tree, &it);
            HWND treeWindow = tree;
            NMTVDISPINFOW di = {};
            di.hdr.hwndFrom = treeWindow;
            di.hdr.idFrom = GetDlgCtrlID(treeWindow);
            di.hdr.code = TVN_GETDISPINFOW;
            di.item = it;
            di.item.mask = TVIF_CHILDREN;
            SendMessageW(GetActiveWindow(), WM_NOTIFY, di.hdr.idFrom, reinterpret_cast<LPARAM>(&di));
            EXPECT_EQ(di.item.cChildren, 0);
            // A link cycle is followed one level per expansion, never further.
            HTREEITEM cycle = TreeChild(tree, selected, u"cycle");
            ASSERT_NE(cycle, nullptr);
            for (int depth = 0; depth < 30 && cycle; ++depth) {
                TreeView_Expand(tree, cycle, TVE_EXPAND);
                HTREEITEM scans = TreeChild(tree, cycle, u"scans");
                cycle = scans ? TreeChild(tree, scans, u"cycle") : nullptr;
                if (scans) TreeView_Expand(tree, scans, TVE_EXPAND);
                if (scans) cycle = TreeChild(tree, scans, u"cycle");
            }
            EXPECT_EQ(cycle, nullptr) << "the path outgrew 259 characters and stopped";
            // Choose \Temp\deep.
            TreeView_Expand(tree, temp, TVE_EXPAND);
            HTREEITEM deep = TreeChild(tree, temp, u"deep");
            ASSERT_NE(deep, nullptr);
            TreeView_SelectItem(tree, deep);
        }),
        [] {
            PostMessageW(GetActiveWindow(), WM_COMMAND, IDOK, 0);
            return true;
        },
        [] { return GetActiveWindow() == Chooser(); },
        Check([] {
            EXPECT_EQ(Dialog()->Folder(), u"\\Temp\\deep");
            EXPECT_EQ(Name(), u"a.bmp") << "a preset name stays";
        }),
        // Opened again and left by a tap outside it: nothing changes.
        Press(IDC_FILE_FOLDER),
        [] { return PopupTree() != nullptr; },
        [] {
            platform::InjectPen(platform::Pen::Down, 5, 5);
            return true;
        },
        [] {
            platform::InjectPen(platform::Pen::Up, 5, 5);
            return true;
        },
        [] { return GetActiveWindow() == Chooser(); },
        Check([] { EXPECT_EQ(Dialog()->Folder(), u"\\Temp\\deep"); }),
        Press(IDC_FILE_CANCEL),
    });
    EXPECT_EQ(result, 0);
}

TEST_F(FileDialogTest, LongFolderNamesAreShortenedInTheMiddle) {
    auto fitsIn20 = [](const std::u16string& text, void*) { return text.size() <= 20; };
    EXPECT_EQ(ShortenInMiddle(u"\\My Documents", fitsIn20, nullptr), u"\\My Documents");
    EXPECT_EQ(ShortenInMiddle(u"\\Storage Card\\data\\ct\\s1", fitsIn20, nullptr), u"\\Storage Card...t\\s1");
    EXPECT_EQ(ShortenInMiddle(u"\\Storage Card\\data\\ct\\series", fitsIn20, nullptr), u"...rd\\data\\ct\\series");
    EXPECT_EQ(ShortenInMiddle(u"\\A very long first folder\\x\\y", fitsIn20, nullptr), u"... first folder\\x\\y");
    auto fitsIn3 = [](const std::u16string& text, void*) { return text.size() <= 3; };
    EXPECT_EQ(ShortenInMiddle(u"\\abcdef", fitsIn3, nullptr), u"...");
}

}  // namespace
