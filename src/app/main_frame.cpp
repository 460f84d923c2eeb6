// The main frame: layouts, menu bars, command dispatch, opening files and
// shutdown.
#include "app/main_frame.h"

#include <aygshell.h>

#include <cmath>
#include <string>

#include "app/about_box.h"
#include "app/application.h"
#include "app/options_sheet.h"
#include "app/shell_helpers.h"
#include "app/utility_hooks.h"
#include "image/image_library.h"
#include "image/load_error.h"
#include "res/resource.h"
#include "view/external_outputs.h"

namespace {

MainFrame* g_mainFrame = nullptr;

constexpr const WCHAR* kTempLinkFile = u"\\My Documents\\temp.url";
constexpr const WCHAR* kHelpFile = u"\\Windows\\Kestrava.htm";
constexpr const WCHAR* kRecentPathsKey = u"Software\\Halvoric\\Kestrava\\RecentPaths";
constexpr int kRecentFilesPosition = 16;  // the "Recent files" submenu of "File"
constexpr int kSplashBitmap = 8801;

// Toolbar buttons: bitmap index = position, enabled, plain unless noted.
constexpr TBBUTTON Button(int index, int command, BYTE style = TBSTYLE_BUTTON,
                          BYTE state = TBSTATE_ENABLED) {
    return TBBUTTON{index, command, state, style, {0}, 0, 0};
}
const TBBUTTON kMainButtons[] = {
    Button(0, IDM_PREVIOUS_IMAGE), Button(1, IDM_NEXT_IMAGE),       Button(2, IDM_ZOOM_OUT),
    Button(3, IDM_ZOOM_IN),        Button(4, IDM_TOGGLE_THUMBNAILS), Button(5, IDM_RECORD_SOUND),
    Button(6, IDM_DRAW_NOTES),     Button(7, IDM_CONTRAST_BRIGHTNESS),
};
const UINT kMainTooltips[] = {21345, 21346, 21347, 21348, 21349, 21350, 17505, 17601};
constexpr int kMainMenuButtons = 2;  // "File", "Image"

const TBBUTTON kVideoButtons[] = {
    Button(0, IDM_VIDEO_START, TBSTYLE_CHECKGROUP),
    Button(1, IDM_VIDEO_STOP, TBSTYLE_CHECKGROUP, TBSTATE_ENABLED | TBSTATE_CHECKED),
    Button(2, IDM_VIDEO_FIRST),
    Button(3, IDM_VIDEO_PREVIOUS),
    Button(4, IDM_VIDEO_NEXT),
    Button(5, IDM_VIDEO_LAST),
    Button(6, IDM_TOGGLE_THUMBNAILS),
    Button(7, IDM_ZOOM_IN),
    Button(8, IDM_ZOOM_OUT),
    Button(9, IDM_CONTRAST_BRIGHTNESS),
};
const UINT kVideoTooltips[] = {10003, 10004, 10005, 10006, 10007, 10008, 21349, 21348, 21347, 17601};
constexpr int kVideoMenuButtons = 1;  // "Video"

// The current toolbar table (process-wide, as the toolbar refresh reads it).
const TBBUTTON* g_buttons = nullptr;
int g_buttonCount = 0;

// Commands whose work another subsystem does and which this build does not
// have yet: they stay disabled, so that no enabled command does nothing.
const UINT kNotYetAvailable[] = {
    IDM_SYSTEM_INFO,   IDM_SLIDE_SHOW,        IDM_RECORD_SOUND,
    IDM_SAVE_SNAPSHOT, IDM_OPEN_URL,
    IDM_SAVE_SCREENSHOT, IDM_QUERY_RETRIEVE, IDM_CLEANER,          IDM_SAVE_VIEW,        IDM_TOGGLE_SLIDER,
    IDM_PROPERTIES,
};

bool NotYetAvailable(UINT id) {
    // The utilities' commands are there once the program installed their hooks.
    if (id == IDM_SYSTEM_INFO) return !CurrentUtilityHooks().showSystemInfo;
    if (id == IDM_CLEANER) return !CurrentUtilityHooks().runCleaner;
    for (UINT c : kNotYetAvailable) {
        if (c == id) return true;
    }
    return false;
}

bool InRange(UINT id, UINT first, UINT last) { return id >= first && id <= last; }

// The stop sound of a refused command.
void Refuse() { MessageBeep(MB_ICONASTERISK); }

}  // namespace

MainFrame* TheMainFrame() { return g_mainFrame; }

bool OfferDicomExtension(HWND owner, HINSTANCE instance, LPWSTR path) {
    WCHAR question[128], caption[32];
    lstrcpynW(question, LoadResString(IDS_ASK_DCM_EXTENSION, instance), 128);
    lstrcpynW(caption, LoadResString(IDS_WARNING, instance), 32);
    if (MessageBoxW(owner, question, caption, MB_YESNO | MB_ICONQUESTION) != IDYES) return false;
    WCHAR renamed[MAX_PATH];
    lstrcpynW(renamed, path, MAX_PATH);
    const int length = lstrlenW(renamed);
    bool fits = length + 4 < MAX_PATH;
    if (fits) {
        if (length == 0 || renamed[length - 1] != u'.') lstrcatW(renamed, u".");
        lstrcatW(renamed, u"dcm");
    }
    if (!fits || !MoveFileW(path, renamed)) {
        WCHAR failed[64];
        lstrcpynW(failed, LoadResString(IDS_DCM_EXTENSION_FAILED, instance), 64);
        lstrcpynW(caption, LoadResString(kErrorCaptionId, instance), 32);
        MessageBoxW(owner, failed, caption, MB_OK | MB_ICONSTOP);
        return false;
    }
    lstrcpynW(path, renamed, MAX_PATH);
    return true;
}

float ZoomForCommand(UINT command, float currentZoom, int imageWidth) {
    const float width = (float)(imageWidth > 0 ? imageWidth : 1);
    switch (command) {
    case IDM_ZOOM_TO_FIT: return -1.0f;
    case IDM_ZOOM_IN: return width * currentZoom * 1.15f / width;
    case IDM_ZOOM_OUT: return width * currentZoom * 0.85f / width;
    case IDM_ZOOM_50: return 0.5f;
    case IDM_ZOOM_75: return 0.75f;
    case IDM_ZOOM_100: return 1.0f;
    case IDM_ZOOM_200: return 2.0f;
    case IDM_ZOOM_300: return 3.0f;
    case IDM_ZOOM_400: return 4.0f;
    default: return 0.0f;
    }
}

LPCWSTR FileNameOf(LPCWSTR path) {
    if (!path) return u"";
    LPCWSTR name = path;
    for (LPCWSTR p = path; *p; ++p) {
        if (*p == u'\\') name = p + 1;
    }
    return name;
}

bool LacksExtension(LPCWSTR path) {
    LPCWSTR name = FileNameOf(path);
    LPCWSTR dot = nullptr;
    for (LPCWSTR p = name; *p; ++p) {
        if (*p == u'.') dot = p;
    }
    return dot == nullptr || dot[1] == 0;
}

bool ResolveChosenPath(LPCWSTR chosen, LPWSTR path, bool* isPattern) {
    *isPattern = false;
    lstrcpynW(path, chosen ? chosen : u"", MAX_PATH);
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const int length = lstrlenW(path);
        if (length + 4 >= MAX_PATH) return false;
        if (length == 0 || path[length - 1] != u'\\') lstrcatW(path, u"\\");
        lstrcatW(path, u"*.*");
        *isPattern = true;
        return true;
    }
    for (LPCWSTR p = FileNameOf(path); *p; ++p) {
        if (*p == u'*' || *p == u'?') {
            *isPattern = true;
            return true;
        }
    }
    return attributes != INVALID_FILE_ATTRIBUTES;
}

MainFrame::MainFrame(LPCWSTR commandLine) {
    LoadSettings(&options_, &recent_);
    if (commandLine && *commandLine) {
        splashPending_ = false;
        lstrcpynW(options_.currentFile, commandLine, MAX_PATH);
    } else {
        splashPending_ = options_.showSplashScreen != 0;
    }
    g_mainFrame = this;
}

MainFrame::~MainFrame() {
    if (splashBitmap_) DeleteObject(splashBitmap_);
    if (g_mainFrame == this) g_mainFrame = nullptr;
}

bool MainFrame::CreateMainWindow(HINSTANCE instance) {
    WCHAR title[128];
    LoadStringW(instance, kTitleStringId, title, 128);
    if (!title[0]) lstrcpyW(title, kProductTitle);
    if (!Create(instance, kMainWindowClass, kMainResourceId, title)) return false;
    // The visible desktop the input panel leaves, below the navigation bar.
    FitToVisibleDesktop(hwnd_);
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    return true;
}

int MainFrame::OnCreate(CREATESTRUCTW* create) {
    if (FrameWindow::OnCreate(create) != 0) return -1;
    RECT client;
    GetClientRect(hwnd_, &client);
    RECT whole = {0, 0, client.right - client.left, client.bottom - client.top};
    if (!panes_.CreateChild(className_, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, &whole, instance_,
                            hwnd_, 0)) {
        return -1;
    }
    SetContent(panes_.Handle());
    if (!thumbnails_.Create(className_, panes_.Handle(), kThumbnailPaneId, instance_) ||
        !view_.Create(this, panes_.Handle(), nullptr, WS_CHILD, kViewPaneId, instance_)) {
        return -1;
    }
    view_.SetBackground(options_.bkgColor);
    SwitchMenuBar(kMenuBarMain);
    ShowWindow(hwnd_, SW_SHOW);
    if (splashPending_) {
        PostMessageW(hwnd_, MSG_SHOW_SPLASH, 0, 0);
    } else {
        SendMessageW(hwnd_, MSG_SHOW_MAIN_LAYOUT, 0, 0);
    }
    return 0;
}

// ---- Menu bars and the toolbar ----------------------------------------------------------------

const TBBUTTON* MainFrame::ToolbarButtons(int* count) const {
    *count = g_buttonCount;
    return g_buttons;
}

void MainFrame::SwitchMenuBar(int kind) {
    // The input-panel button is hidden while the bar changes and comes back
    // with the new bar: outside full screen it is always offered.
    SHFullScreen(hwnd_, SHFS_HIDESIPBUTTON);
    struct ShowSipButton {
        const MainFrame* frame;
        ~ShowSipButton() {
            if (!frame->fullScreen_) SHFullScreen(frame->hwnd_, SHFS_SHOWSIPBUTTON);
        }
    } showSipButton{this};
    if (kind != menuBarKind_) {
        if (kind == kMenuBarNone) kind = menuBarKind_;
        const UINT* tipIds = nullptr;
        int tipCount = 0;
        int menuButtons = 0;
        if (kind == kMenuBarVideo) {
            g_buttons = kVideoButtons;
            g_buttonCount = (int)(sizeof kVideoButtons / sizeof kVideoButtons[0]);
            menuResource_ = 202;
            tipIds = kVideoTooltips;
            tipCount = g_buttonCount;
            menuButtons = kVideoMenuButtons;
        } else if (kind == kMenuBarDrawing) {
            g_buttons = nullptr;
            g_buttonCount = 0;
            BuildMenuBar(kMenuBarDrawing, 0, nullptr, 0, nullptr, 0);
            bar_.FitContent(content_);
            RefreshToolbar();
            return;  // the drawing tools add their own buttons; the kind stays recorded
        } else if (kind == kMenuBarMain) {
            g_buttons = kMainButtons;
            g_buttonCount = (int)(sizeof kMainButtons / sizeof kMainButtons[0]);
            menuResource_ = kMainResourceId;
            tipIds = kMainTooltips;
            tipCount = g_buttonCount;
            menuButtons = kMainMenuButtons;
        }
        // Placeholders for the bar's menu buttons, then one text per button.
        int tips = 0;
        for (int i = 0; i < menuButtons && tips < 16; ++i) tooltips_[tips++] = u"";
        for (int i = 0; i < tipCount && tips < 16; ++i, ++tips) {
            LoadStringW(instance_, tipIds[i], tooltipTexts_[tips], 32);
            tooltips_[tips] = tooltipTexts_[tips];
        }
        BuildMenuBar(menuResource_, kind, g_buttons, g_buttonCount, tooltips_, tips);
        if (kind == kMenuBarMain && bar_.MenuBar()) {
            HMENU file = SHGetSubMenu(bar_.MenuBar(), IDM_MENU_FILE);
            if (file) {
                recentFiles_.Attach(file, kRecentFilesPosition, kRecentPathsKey,
                                    IDM_RECENT_FILE_FIRST);
            }
        }
        menuBarKind_ = kind;
        bar_.FitContent(content_);
    }
    RefreshToolbar();
}

void MainFrame::RefreshToolbar() {
    HWND bar = bar_.MenuBar();
    if (!bar || !g_buttons) return;
    bool video = false;
    for (int i = 0; i < g_buttonCount; ++i) {
        const TBBUTTON& b = g_buttons[i];
        if (b.fsStyle & TBSTYLE_SEP) continue;
        if (b.idCommand == IDM_VIDEO_START || b.idCommand == IDM_VIDEO_STOP) video = true;
        const int enabled = IsCommandEnabled((UINT)b.idCommand);
        if (enabled != -1) SendMessageW(bar, TB_ENABLEBUTTON, (WPARAM)b.idCommand, MAKELONG(enabled, 0));
    }
    if (!video) return;
    if (DisabledButtonImages()) {
        SendMessageW(bar, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(DisabledButtonImages()));
    }
    // No playback loop exists in this build yet: Start shows its play
    // picture, Last its plain one unless enabled, and Stop is checked.
    const int start = 0;
    if (SendMessageW(bar, TB_GETBITMAP, IDM_VIDEO_START, 0) != start) {
        SendMessageW(bar, TB_CHANGEBITMAP, IDM_VIDEO_START, start);
    }
    const int last = IsCommandEnabled(IDM_VIDEO_LAST) == 1 ? 11 : 5;
    if (SendMessageW(bar, TB_GETBITMAP, IDM_VIDEO_LAST, 0) != last) {
        SendMessageW(bar, TB_CHANGEBITMAP, IDM_VIDEO_LAST, last);
    }
    SendMessageW(bar, TB_CHECKBUTTON, IDM_VIDEO_START, MAKELONG(FALSE, 0));
    SendMessageW(bar, TB_CHECKBUTTON, IDM_VIDEO_STOP, MAKELONG(TRUE, 0));
}

int MainFrame::IsCommandEnabled(UINT id) {
    // The view rules on the commands of the shown item.
    const int viewRule = view_.Handle() ? view_.IsCommandEnabled(id) : -1;
    if (viewRule != -1) return viewRule;
    // No slide show and no external media player exist in this build.
    const bool playing = view_.Playing();
    const bool slideShow = SlideShowRunning();
    const bool busy = slideShow || fullScreen_;
    const bool imageShown = view_.ImageShown();
    const bool externalPlayer = false;
    const int count = album_.Count();
    const int current = album_.current;
    if (NotYetAvailable(id)) return 0;
    switch (id) {
    case IDM_OPEN: case IDM_OPEN_FROM_BAR: case IDM_ADD_IMAGES:
        return CurrentFileChooser() && !busy && !playing;
    case IDM_SYSTEM_INFO: case IDM_OPTIONS: case IDM_OPEN_URL: case IDM_QUERY_RETRIEVE:
        return !busy && !playing;
    case IDM_PREVIOUS_IMAGE: case IDM_FIRST_IMAGE:
        return count > 1 && current > 0;
    case IDM_NEXT_IMAGE: case IDM_LAST_IMAGE:
        return count > 0 && current < count - 1;
    case IDM_FULL_SCREEN:
        return imageShown && !(externalPlayer && playing);
    case IDM_SLIDE_SHOW:
        return count > 1 && !playing;
    case IDM_SAVE_SCREENSHOT:
        return !busy && !playing;
    case IDM_RECORD_SOUND: case IDM_PROPERTIES:
        return album_.Current() != nullptr && album_.Current()->loadState == kDecoded && !busy;
    case IDM_TOGGLE_THUMBNAILS:
        return !(externalPlayer && playing);
    case IDM_TOGGLE_SLIDER:
        return 0;  // the frame slider comes with the video player
    case IDM_THUMBNAILS_FILL_SCREEN:
        return count > 0 && !busy && !playing;
    default:
        break;
    }
    if (InRange(id, IDM_OUTPUT_MARGI, IDM_OUTPUT_POCKETPC)) {
        return CurrentUtilityHooks().externalOutputCommand && imageShown && !externalPlayer;
    }
    if (InRange(id, IDM_ZOOM_TO_FIT, IDM_ROTATE_MINUS_90) || id == IDM_ROTATE_TO_FIT ||
        InRange(id, IDM_ZOOM_RECT_FIRST, IDM_ZOOM_RECT_LAST)) {
        return imageShown && !externalPlayer;
    }
    if (id == IDM_SAVE_ALBUM) return CurrentFileChooser() && count > 0 && !slideShow && !playing;
    if (id == IDM_DELETE_IMAGE || InRange(id, IDM_SORT_BY_NAME, IDM_ALL_AUTO_LANDSCAPE) ||
        id == IDM_SAVE_SNAPSHOT || id == IDM_SAVE_VIEW) {
        return count > 0 && !slideShow && !playing;
    }
    return -1;
}

void MainFrame::SetItemText(HMENU menu, UINT id, UINT stringId) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) != id) continue;
        WCHAR text[64];
        LoadStringW(instance_, stringId, text, 64);
        const UINT state = GetMenuState(menu, (UINT)i, MF_BYPOSITION);
        ModifyMenuW(menu, (UINT)i, MF_BYPOSITION | MF_STRING | (state & (MF_GRAYED | MF_CHECKED)), id, text);
        return;
    }
}

void MainFrame::EnableItems(HMENU menu, int depth) {
    if (depth > 8) return;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count && i < 256; ++i) {
        HMENU sub = GetSubMenu(menu, i);
        if (sub) {
            EnableItems(sub, depth + 1);
            continue;
        }
        const UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == (UINT)-1) continue;
        const int enabled = IsCommandEnabled(id);
        if (enabled != -1) EnableMenuItem(menu, (UINT)i, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    }
}

void MainFrame::OnInitMenuPopup(HMENU menu) {
    const bool slideShow = false;
    const bool playing = false;
    SetItemText(menu, IDM_SLIDE_SHOW, slideShow ? 21323 : 21324);
    SetItemText(menu, IDM_PLAY_VIDEO, playing ? 10004 : 10003);
    // The label says what the command will do to the setting: full screen
    // hides the strip whatever the setting says.
    SetItemText(menu, IDM_TOGGLE_THUMBNAILS, options_.prevHideBar ? 21343 : 21344);
    CheckMenuItem(menu, IDM_FULL_SCREEN, MF_BYCOMMAND | (fullScreen_ ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_OUTPUT_MARGI, MF_BYCOMMAND | (ExternalOutput(kMargiCard) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_OUTPUT_VOYAGER, MF_BYCOMMAND | (ExternalOutput(kVoyagerCard) ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_OUTPUT_POCKETPC, MF_BYCOMMAND | (InternalDisplayEnabled() ? MF_CHECKED : MF_UNCHECKED));
    const ImageEntry* shown = view_.ImageShown() ? view_.Entry() : nullptr;
    if (shown) {
        auto check = [menu](UINT id, bool on) {
            CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
        };
        const EntryBlock& block = shown->block;
        check(IDM_ZOOM_TO_FIT, (block.flags & kDisplayZoomToFit) != 0);
        const float zooms[] = {0.5f, 0.75f, 1.0f, 2.0f, 3.0f, 4.0f};
        for (UINT i = 0; i < 6; ++i) check(IDM_ZOOM_50 + i, block.zoom == zooms[i]);
        check(IDM_ROTATE_TO_FIT, (block.flags & kDisplayRotateToFit) != 0);
        check(IDM_ROTATE_PLUS_90, block.rotation == 90 || block.rotation == -270);
        check(IDM_ROTATE_180, block.rotation == 180);
        check(IDM_ROTATE_MINUS_90, block.rotation == -90 || block.rotation == 270);
    }
    EnableItems(menu, 0);
}

void MainFrame::UpdateTitle() {
    const ImageEntry* entry = album_.Current();
    if (!entry) {
        SetWindowTextW(hwnd_, kProductTitle);
        return;
    }
    LPCWSTR source = entry->sourceUrl.empty() ? entry->path.c_str() : entry->sourceUrl.c_str();
    LPCWSTR name = FileNameOf(source);
    WCHAR title[MAX_PATH * 2];
    LPCWSTR albumFile = album_.albumFile;
    if (*albumFile) {
        WCHAR base[MAX_PATH];
        lstrcpynW(base, FileNameOf(albumFile), MAX_PATH);
        WCHAR* dot = nullptr;
        for (WCHAR* p = base; *p; ++p) {
            if (*p == u'.') dot = p;
        }
        if (dot) *dot = 0;
        wsprintfW(title, u"%s[%s]", base, name);
    } else {
        lstrcpynW(title, name, MAX_PATH);
    }
    SetWindowTextW(hwnd_, title);
}

// ---- Layouts -----------------------------------------------------------------------------------

void MainFrame::ShowThumbnails(bool show) {
    if (thumbnails_.Handle()) ShowWindow(thumbnails_.Handle(), show ? SW_SHOW : SW_HIDE);
}

void MainFrame::PlaceThumbnails() {
    if (options_.prevHideBar) {
        ShowThumbnails(false);
    } else {
        const int position = (int)options_.prevPosition;
        if (position != appliedPosition_) {
            // 0 top, 1 left: the bar first; 2 bottom, 3 right: the view first.
            const bool barFirst = position == 0 || position == 1;
            const auto orientation =
                (position == 1 || position == 3) ? PaneContainer::kSideBySide : PaneContainer::kStacked;
            // The bottom and right places mirror the top and left ones.
            panes_.SetPanes(barFirst ? thumbnails_.Handle() : view_.Handle(),
                            barFirst ? view_.Handle() : thumbnails_.Handle(), orientation, !barFirst);
            thumbnails_.SetMode(options_.prevVertScroller != 0, options_.prevFileName != 0);
            // The split follows the strip's mode: one layout, after both are known.
            panes_.SetStripThickness(thumbnails_.StripThickness(orientation == PaneContainer::kSideBySide));
            panes_.Reset();
            appliedPosition_ = position;
        }
        ShowThumbnails(true);
    }
    panes_.Layout();
}

void MainFrame::FillScreenWithThumbnails() {
    SetFullScreen(true);
    ShowWindow(view_.Handle(), SW_HIDE);
    ShowThumbnails(true);
    thumbnailsFillScreen_ = true;
    panes_.Layout();
}

void MainFrame::SetFullScreen(bool on) {
    if (on && fullScreen_) return;
    panes_.SuspendLayout(true);
    ShowWindow(panes_.Handle(), SW_HIDE);
    ShowThumbnails(false);
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    if (on) {
        SHFullScreen(hwnd_, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON | SHFS_HIDESTARTICON);
        if (bar_.MenuBar()) ShowWindow(bar_.MenuBar(), SW_HIDE);
        MoveWindow(hwnd_, 0, 0, width, height, TRUE);
        RECT client;
        GetClientRect(hwnd_, &client);
        MoveWindow(panes_.Handle(), 0, 0, client.right, client.bottom, TRUE);
    } else {
        SHFullScreen(hwnd_, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON | SHFS_SHOWSTARTICON);
        if (bar_.MenuBar()) ShowWindow(bar_.MenuBar(), SW_SHOW);
        // Just below the navigation bar, which is twice as tall on the large screens.
        RECT work;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        MoveWindow(hwnd_, 0, work.top, width, height, TRUE);
        bar_.FitContent(content_);
        if (!options_.prevHideBar) ShowThumbnails(true);
    }
    ShowWindow(panes_.Handle(), SW_SHOW);
    fullScreen_ = on;
    panes_.SuspendLayout(false);
    panes_.Reset();
}

void MainFrame::ShowSplash() {
    if (!splashBitmap_) splashBitmap_ = LoadBitmapW(instance_, MAKEINTRESOURCEW(kSplashBitmap));
    panes_.SetSplash(splashBitmap_);
    SetFullScreen(true);
    SetTimer(hwnd_, kSplashTimer, kSplashMs, nullptr);
}

void MainFrame::ShowMainLayout() {
    if (thumbnailsFillScreen_) {
        SetFullScreen(false);
        ShowWindow(view_.Handle(), SW_SHOW);
        panes_.Layout();
        thumbnailsFillScreen_ = false;
        if (thumbnails_.Handle()) {
            InvalidateRect(thumbnails_.Handle(), nullptr, TRUE);
            UpdateWindow(thumbnails_.Handle());
        }
        RefreshToolbar();
        return;
    }
    if (splashPending_) {
        SetFullScreen(false);
        splashPending_ = false;
    }
    panes_.SetSplash(nullptr);
    panes_.SetPanes(thumbnails_.Handle(), view_.Handle(), PaneContainer::kStacked);
    appliedPosition_ = -1;  // the panes were just reset to the top placement
    ShowWindow(view_.Handle(), SW_SHOW);
    PlaceThumbnails();
    SendMessageW(hwnd_, MSG_OPEN_STORED_FILE, 0, 0);
    SetFocus(hwnd_);
    RefreshToolbar();
}

// ---- Files and navigation ----------------------------------------------------------------------

void MainFrame::OpenStoredFile() {
    PumpMessages();
    // What this viewer shows now: nothing at start-up, else the file a
    // second start's hand-over is to replace.
    WCHAR shown[MAX_PATH];
    lstrcpynW(shown, album_.Count() > 0 ? options_.currentFile : u"", MAX_PATH);
    WCHAR stored[MAX_PATH];
    LoadFileName(stored, MAX_PATH);
    if (OpenFile(stored, false) >= 0) return;
    // The stored file is reported once, never again at the next start: the
    // viewer's own file is stored back, or with none the default folder
    // opens next time.
    if (shown[0]) {
        StoreFileName(shown);
    } else {
        ResetFileName();
        lstrcpynW(options_.currentFile, DefaultFileName(), MAX_PATH);
    }
}

void MainFrame::ReportOpenError(int code) {
    WCHAR caption[32];
    lstrcpynW(caption, LoadResString(kErrorCaptionId, instance_), 32);
    if (!caption[0]) lstrcpyW(caption, u"ERROR");
    MessageBoxW(hwnd_, LoadErrorMessage(static_cast<LoadError>(code)), caption, MB_OK | MB_ICONSTOP);
}

int MainFrame::OpenFile(LPCWSTR path, bool add) {
    // A path that cannot be opened (missing, a damaged album file) leaves the
    // album, the shown picture and the current file as they were.
    const LoadError probe = ImageAlbum::Probe(path);
    if (probe != kLoadOk) {
        ReportOpenError(probe);
        return -int(probe);
    }
    if (!add) view_.ShowEntry(nullptr, true);
    StopSlideShow();
    view_.StopPlayback();
    if (lstrcmpW(path, kTempLinkFile) != 0) DeleteFileW(kTempLinkFile);
    WCHAR copy[MAX_PATH];
    lstrcpynW(copy, path, MAX_PATH);
    // The loader works on the entries: it stops while the album is rebuilt
    // and the bar's attach starts it again.
    thumbnails_.StopLoader();
    thumbnails_.LockAlbum();
    const int result = album_.Load(copy, add, true);
    thumbnails_.UnlockAlbum();
    if (result < 0) {
        ReportOpenError(-result);
    } else {
        lstrcpynW(options_.currentFile, copy, MAX_PATH);
    }
    thumbnails_.Attach(this, &album_);
    PostMessageW(hwnd_, MSG_NAVIGATE, kNavigateStay, 0);
    RefreshToolbar();
    return result;
}

bool MainFrame::PauseLoader() {
    if (!thumbnails_.LoaderRunning()) return false;
    thumbnails_.StopLoader();
    return true;
}

void MainFrame::Navigate(WPARAM code) {
    view_.StopPlayback();
    if (view_.Playing()) return;
    thumbnails_.SetWanted(-1);
    bool endReached = false;
    thumbnails_.LockAlbum();
    const int previous = album_.current;
    ImageEntry* entry = album_.Step((int)code, &endReached);
    const int index = album_.current;
    thumbnails_.UnlockAlbum();
    if (!entry) {
        SetWindowTextW(hwnd_, kProductTitle);
        view_.ShowEntry(nullptr, true);
        RefreshToolbar();
        return;
    }
    bool redrawn = thumbnails_.RedrawCell(previous);
    redrawn = thumbnails_.RedrawCell(index) || redrawn;
    if (options_.prevSynchronice) thumbnails_.ScrollTo(index);
    if (redrawn) UpdateWindow(thumbnails_.Handle());
    UpdateTitle();
    // The loader shows entries under the album lock too.
    thumbnails_.LockAlbum();
    const int state = entry->loadState;
    if (state == kDecodeFailed) {
        view_.ShowMessage(entry->errorCode, true);
    } else if (state == kDecoded) {
        view_.ShowEntry(entry, true);
    }
    thumbnails_.UnlockAlbum();
    if (state == kNotDecoded || state == kDecoding) {
        thumbnails_.SetWanted(index);
        // An entry the loader decodes right now is left to finish; any other
        // decode gives way to the wanted one.
        if (state == kNotDecoded) {
            view_.ShowMessage(kViewLoading, true);
            if (TheImageLibrary()) TheImageLibrary()->AbortAll();
        }
        if (!thumbnails_.LoaderRunning() && !thumbnails_.StartLoader()) thumbnails_.LoadEntry(index);
    }
    RefreshToolbar();
}

void MainFrame::OpenRecent(UINT command) {
    WCHAR path[MAX_PATH];
    if (!recentFiles_.Get(command, path, MAX_PATH)) return;
    recentFiles_.Add(path);
    OpenFile(path, false);
}

void MainFrame::OpenWithDialog(bool add) {
    if (!dialogFolder_[0]) lstrcpynW(dialogFolder_, options_.currentFile, MAX_PATH);
    StopSlideShow();
    FileChooser chooser = CurrentFileChooser();
    if (!chooser) return;
    // Open also offers albums; Add only what the image library reads.
    std::u16string extensions;
    if (TheImageLibrary()) TheImageLibrary()->ExtensionList(&extensions);
    if (extensions.empty()) extensions.push_back(0);
    if (!add) extensions.insert(extensions.size() - 1, std::u16string(u"mab", 4));
    WCHAR title[64], button[32];
    lstrcpynW(title, LoadResString(IDS_ADD_IMAGES_HINT, instance_), 64);
    lstrcpynW(button, LoadResString(IDS_ADD, instance_), 32);
    FileDialogRequest request;
    request.owner = hwnd_;
    request.instance = instance_;
    request.extensions = extensions.c_str();
    request.title = title;
    request.buttonText = add ? button : nullptr;
    request.flags = kChooseToOpen;
    // The remembered folder goes in and the choice comes back into it, so the
    // next Open starts where this one ended.
    lstrcpynW(request.path, dialogFolder_, MAX_PATH);
    if (!chooser(&request)) {
        if (!dialogFolder_[0]) lstrcpyW(dialogFolder_, u"\\");
        return;
    }
    lstrcpynW(dialogFolder_, request.path, MAX_PATH);
    WCHAR path[MAX_PATH];
    bool pattern = false;
    if (!ResolveChosenPath(request.path, path, &pattern)) return;
    if (!pattern && LacksExtension(path) && !OfferDicomExtension(hwnd_, instance_, path)) return;
    if (OpenFile(path, add) >= 0) recentFiles_.Add(path);
}

void MainFrame::SaveAlbum() {
    StopSlideShow();
    bool saved = false;
    const LoadError result = album_.Save(hwnd_, instance_, &saved);
    if (result != kLoadOk) {
        ReportOpenError(result);
        return;
    }
    if (!saved) return;  // cancelled
    UpdateTitle();
    lstrcpynW(options_.currentFile, album_.albumFile, MAX_PATH);
    recentFiles_.Add(album_.albumFile);
}


void MainFrame::SetRotationOfAll(bool rotateToFit, int rotation) {
    // The loader writes the same blocks when it decodes: under the album lock.
    thumbnails_.LockAlbum();
    for (int i = 0; i < album_.Count(); ++i) {
        ImageEntry* entry = album_.Entry(i);
        if (!entry) continue;
        // An entry not yet decoded is set up now as its first decode would
        // do it, so that the first decode does not overwrite this choice.
        if (entry->block.flags == kDisplayUninitialised) {
            entry->block.zoom = 1.0f;
            entry->block.flags = options_.autoZoomToFit ? kDisplayZoomToFit : 0;
        }
        entry->block.flags = rotateToFit ? (entry->block.flags | kDisplayRotateToFit)
                                         : (entry->block.flags & ~kDisplayRotateToFit);
        entry->block.rotation = rotation;
    }
    thumbnails_.UnlockAlbum();
    if (view_.ImageShown()) view_.RotationReset();
}

// ---- Options, about, help ----------------------------------------------------------------------

void MainFrame::RunOptions() {
    StopSlideShow();
    // The sheet saves the settings on OK; what changed is acted on here.
    const OptionsChanges changes = RunOptionsSheet(hwnd_, &options_, &recent_);
    if (!changes.accepted) return;
    if (changes.reloadImages) {
        // Decoded with the old conversion: every image is decoded again.
        thumbnails_.StopLoader();
        view_.ShowEntry(nullptr, false);
        thumbnails_.LockAlbum();
        for (int i = 0; i < album_.Count(); ++i) album_.Entry(i)->ReleaseImage();
        thumbnails_.UnlockAlbum();
        PostMessageW(hwnd_, MSG_NAVIGATE, kNavigateStay, 0);
    }
    if (changes.background) view_.SetBackground(options_.bkgColor);
    if (changes.thumbnails) {
        appliedPosition_ = -1;
        PlaceThumbnails();
    }
    if (changes.landscape) {
        const DWORD mode = options_.landscapeMode;
        SetRotationOfAll(mode == 2, mode == 1 ? 90 : 0);
    }
}

void MainFrame::ShowAbout() {
    StopSlideShow();
    AboutBox about(hwnd_);
    about.DoModal();
}

// ---- Commands ----------------------------------------------------------------------------------

void MainFrame::ApplyZoom(UINT command) {
    if (!view_.ImageShown() || IsCommandEnabled(command) != 1) {
        Refuse();
        return;
    }
    const ImageEntry* entry = view_.Entry();
    view_.SetZoom(ZoomForCommand(command, entry->block.zoom, view_.ImageWidth()), true);
}

bool MainFrame::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    if (view_.Handle() && view_.HandleCommand(id)) return true;
    const int count = album_.Count();
    const int current = album_.current;
    if (id == IDM_NEXT_IMAGE || id == IDM_LAST_IMAGE) {
        if (count == 0 || current >= count - 1) {
            Refuse();
            return true;
        }
    }
    if ((id == IDM_PREVIOUS_IMAGE || id == IDM_FIRST_IMAGE) && current <= 0) {
        Refuse();
        return true;
    }
    if (InRange(id, IDM_RECENT_FILE_FIRST, IDM_RECENT_FILE_LAST)) {
        OpenRecent(id);
        return true;
    }
    if (InRange(id, IDM_ZOOM_TO_FIT, IDM_ZOOM_400)) {
        ApplyZoom(id);
        return true;
    }
    if (NotYetAvailable(id)) {
        Refuse();
        return true;
    }
    switch (id) {
    case IDM_PREVIOUS_IMAGE: PostMessageW(hwnd_, MSG_NAVIGATE, kNavigatePrevious, 0); return true;
    case IDM_NEXT_IMAGE: PostMessageW(hwnd_, MSG_NAVIGATE, kNavigateNext, 0); return true;
    case IDM_FIRST_IMAGE: PostMessageW(hwnd_, MSG_NAVIGATE, kNavigateFirst, 0); return true;
    case IDM_LAST_IMAGE: PostMessageW(hwnd_, MSG_NAVIGATE, kNavigateLast, 0); return true;
    case IDM_FULL_SCREEN: SetFullScreen(!fullScreen_); return true;
    case IDM_ROTATE_PLUS_90: PostMessageW(hwnd_, MSG_ROTATE, 90, 0); return true;
    case IDM_ROTATE_180: PostMessageW(hwnd_, MSG_ROTATE, 180, 0); return true;
    case IDM_ROTATE_MINUS_90: PostMessageW(hwnd_, MSG_ROTATE, 270, 0); return true;
    case IDM_ROTATE_TO_FIT: PostMessageW(hwnd_, MSG_ROTATE, (WPARAM)-1, 0); return true;
    case IDM_OPTIONS: RunOptions(); return true;
    case IDM_OUTPUT_MARGI: case IDM_OUTPUT_VOYAGER: case IDM_OUTPUT_POCKETPC:
        if (auto command = CurrentUtilityHooks().externalOutputCommand) {
            command(id);
            // The output shows the picture at once, or goes black.
            InvalidateRect(view_.Handle(), nullptr, FALSE);
            UpdateWindow(view_.Handle());
        }
        return true;
    case IDM_OPEN: case IDM_OPEN_FROM_BAR: OpenWithDialog(false); return true;
    case IDM_ADD_IMAGES: OpenWithDialog(true); return true;
    case IDM_SAVE_ALBUM: SaveAlbum(); return true;
    case IDM_HELP:
        StopSlideShow();
        if (!ShowHelp(kHelpFile)) {
            // Without a viewer the command would do nothing at all: name the
            // file, so the user can read it another way.
            ShowMessage(hwnd_, instance_, MB_OK | MB_ICONINFORMATION, IDS_INFORMATION, IDS_HELP_UNAVAILABLE,
                        kHelpFile);
        }
        return true;
    case IDM_TOGGLE_THUMBNAILS:
        options_.prevHideBar = !options_.prevHideBar;
        // In full screen only the setting changes; leaving full screen applies it.
        if (!fullScreen_) PlaceThumbnails();
        return true;
    case IDM_DELETE_IMAGE: case IDM_SORT_BY_NAME: case IDM_SORT_BY_TIME: case IDM_SORT_BY_SIZE:
    case IDM_SORT_MANUALLY: case IDM_MOVE_LEFT: case IDM_MOVE_RIGHT:
        if (count > 0) thumbnails_.DoCommand(id, current);
        return true;
    case IDM_THUMBNAILS_FILL_SCREEN: FillScreenWithThumbnails(); return true;
    case IDM_ALL_PORTRAIT: SetRotationOfAll(false, 0); return true;
    case IDM_ALL_LANDSCAPE: SetRotationOfAll(false, 90); return true;
    case IDM_ALL_AUTO_LANDSCAPE: SetRotationOfAll(true, 0); return true;
    case IDM_ABOUT: ShowAbout(); return true;
    case IDM_SYSTEM_INFO: CurrentUtilityHooks().showSystemInfo(hwnd_); return true;
    case IDM_CLEANER:
        StopSlideShow();
        CurrentUtilityHooks().runCleaner(this);
        return true;
    case IDM_EXIT: DestroyWindow(hwnd_); return true;
    default: break;
    }
    return FrameWindow::OnCommand(wParam, lParam);
}

// ---- Shutdown ----------------------------------------------------------------------------------

void MainFrame::OnDestroy() {
    StopSlideShow();
    thumbnails_.StopLoader();
    view_.ShowEntry(nullptr, false);
    album_.Clear();
    SaveSettings(options_, recent_);
    StoreFileName(options_.currentFile);
    DeleteFileW(kTempLinkFile);
    if (auto release = CurrentUtilityHooks().releaseExternalOutputs) release();
    // Last: the cleaner's run at exit, without a question.
    if (CurrentUtilityHooks().cleanOnExit) CurrentUtilityHooks().cleanOnExit(options_);
}

// ---- Messages ----------------------------------------------------------------------------------

LRESULT MainFrame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE && view_.Playing()) view_.StopPlayback();
        break;
    case WM_KILLFOCUS:
        if (view_.Playing()) view_.StopPlayback();
        if (thumbnailsFillScreen_) {
            SetFullScreen(false);
            ShowWindow(view_.Handle(), SW_SHOW);
            panes_.Layout();
        }
        break;
    case WM_KEYDOWN: {
        UINT command = 0;
        if (wParam == VK_RETURN) command = IDM_FULL_SCREEN;
        if (wParam == VK_LEFT || wParam == VK_UP) command = IDM_PREVIOUS_IMAGE;
        if (wParam == VK_RIGHT || wParam == VK_DOWN) command = IDM_NEXT_IMAGE;
        if (command) {
            SendMessageW(hwnd_, WM_COMMAND, command, 0);
            return 0;
        }
        break;
    }
    case WM_TIMER:
        if (wParam != 0) KillTimer(hwnd_, wParam);
        if (wParam == kExitTimer) PostMessageW(hwnd_, WM_COMMAND, IDM_EXIT, 0);
        if (wParam == kSplashTimer && splashPending_) ShowMainLayout();
        return 0;
    case WM_HSCROLL:
        return 0;
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
    case WM_LBUTTONDBLCLK:
        SendMessageW(hwnd_, WM_COMMAND, IDM_FULL_SCREEN, 0);
        return 0;
    case WM_HOTKEY:
        if (wParam == (WPARAM)kScreenCaptureHotKey) UnregisterHotKey(hwnd_, kScreenCaptureHotKey);
        return 0;
    case MSG_LOW_MEMORY:
        // The cache goes, largest picture first, all but the one on show: the
        // notice comes once per crossing, so freeing only part would leave
        // the rest until memory crossed again. Nothing to free: the
        // platform's own handling.
        if (thumbnails_.FreeMemory(0, -1, false)) return 0;
        break;
    case MSG_SHOW_MAIN_LAYOUT: ShowMainLayout(); return 0;
    case MSG_SHOW_SPLASH: ShowSplash(); return 0;
    case MSG_SWITCH_MENU_BAR: SwitchMenuBar((int)wParam); return 0;
    case MSG_ROTATE:
        view_.Rotate(wParam == (WPARAM)-1 ? -1 : (int)wParam, true);
        return 0;
    case MSG_NAVIGATE: Navigate(wParam); return 0;
    case MSG_OPEN_STORED_FILE: OpenStoredFile(); return 0;
    case MSG_UPDATE_TOOLBAR: RefreshToolbar(); return 0;
    default: break;
    }
    return FrameWindow::WindowProc(message, wParam, lParam);
}
