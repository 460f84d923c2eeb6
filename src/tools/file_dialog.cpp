// The file chooser's window.
//
// The list view keeps no texts of its own: every item asks back through
// LVN_GETDISPINFO with its index into the FileList, so a folder of ten
// thousand files costs its enumeration and only the texts on screen. Taps
// come as the list view reports them: NM_CLICK when the pen is lifted
// before the 400 ms hold (activate), NM_RCLICK when the hold is reached
// (select only).
#include "tools/file_dialog.h"

#include <aygshell.h>
#include <shellapi.h>
#include <winreg.h>

#include <algorithm>
#include <cstdlib>

#include "app/shell_helpers.h"
#include "res/resource.h"
#include "tools/file_choice.h"
#include "tools/file_type_cache.h"
#include "tools/folder_tree.h"

namespace {

constexpr const WCHAR* kListModeKey = u"Software\\Halvoric\\OpenDlg";
constexpr const WCHAR* kListModeValue = u"ListViewMode";
constexpr DWORD kPlainList = 1;
constexpr DWORD kDetails = 0;

// Details columns: title, width (pixels at 240x320), alignment.
struct ColumnSpec {
    const WCHAR* title;
    int width;
    int format;
};
const ColumnSpec kColumns[kColumnCount] = {
    {u"Name", 90, LVCFMT_LEFT}, {u"Size", 40, LVCFMT_RIGHT}, {u"Date", 50, LVCFMT_RIGHT}, {u"Type", 60, LVCFMT_LEFT}};

// The popup reaches down to the screen's bottom less this much.
constexpr int kTreeBottomMargin = 25;

// Layout in dialog units, from the dialog's edges.
constexpr int kMargin = 3;
constexpr int kRowHeight = 12;
constexpr int kLabelWidth = 26;
constexpr int kSmallButton = 16;
constexpr int kButtonWidth = 40;

std::u16string WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(lstrlenW(text.c_str())));
    return text;
}

bool FitsWidth(const std::u16string& text, void* context) {
    auto* fit = static_cast<std::pair<HDC, int>*>(context);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(fit->first, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx <= fit->second;
}

// The little pictures of the folder display for the device root and a
// storage card, drawn to the size of the system's small icons.
void DrawDevicePicture(HDC dc, int x, int y, int size) {
    const int k = size / 16 > 0 ? size / 16 : 1;
    HBRUSH body = CreateSolidBrush(RGB(64, 64, 72));
    HBRUSH screen = CreateSolidBrush(RGB(120, 170, 230));
    RECT r = {x + 3 * k, y + 1 * k, x + 13 * k, y + 15 * k};
    FillRect(dc, &r, body);
    RECT s = {x + 4 * k, y + 2 * k, x + 12 * k, y + 10 * k};
    FillRect(dc, &s, screen);
    RECT b = {x + 7 * k, y + 12 * k, x + 9 * k, y + 14 * k};
    FillRect(dc, &b, screen);
    DeleteObject(body);
    DeleteObject(screen);
}

void DrawCardPicture(HDC dc, int x, int y, int size) {
    const int k = size / 16 > 0 ? size / 16 : 1;
    HBRUSH card = CreateSolidBrush(RGB(40, 90, 160));
    HBRUSH contacts = CreateSolidBrush(RGB(230, 190, 60));
    RECT r = {x + 2 * k, y + 3 * k, x + 14 * k, y + 13 * k};
    FillRect(dc, &r, card);
    for (int i = 0; i < 4; ++i) {
        RECT c = {x + (4 + 2 * i) * k, y + 4 * k, x + (5 + 2 * i) * k, y + 7 * k};
        FillRect(dc, &c, contacts);
    }
    DeleteObject(card);
    DeleteObject(contacts);
}

// The 16x16 art at the size of the screen's small icons (twice as big on a
// large screen); the original is deleted when a copy is made.
HBITMAP ScreenSizedBitmap(HBITMAP art) {
    BITMAP info = {};
    const int size = GetSystemMetrics(SM_CXSMICON);
    if (!art || !GetObjectW(art, sizeof(info), &info) || info.bmWidth <= 0 || info.bmWidth >= size) return art;
    const int width = info.bmWidth * size / 16, height = std::abs(info.bmHeight) * size / 16;
    HDC screen = GetDC(nullptr);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!scaled || !from || !to) {
        if (scaled) DeleteObject(scaled);
        if (from) DeleteDC(from);
        if (to) DeleteDC(to);
        return art;
    }
    HGDIOBJ oldFrom = SelectObject(from, art), oldTo = SelectObject(to, scaled);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, info.bmWidth, std::abs(info.bmHeight), SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    DeleteObject(art);
    return scaled;
}

}  // namespace

DWORD LoadListViewMode() {
    HKEY key = nullptr;
    DWORD mode = kPlainList;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kListModeKey, 0, 0, &key) != ERROR_SUCCESS) return mode;
    DWORD value = 0, type = 0, size = sizeof(value);
    // Only a 4-byte number of 0 or 1 counts; anything else keeps the default.
    if (RegQueryValueExW(key, kListModeValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof(value) && (type == REG_BINARY || type == REG_DWORD) && value <= 1) {
        mode = value;
    }
    RegCloseKey(key);
    return mode;
}

void SaveListViewMode(DWORD mode) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kListModeKey, 0, nullptr, 0, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS) {
        return;
    }
    RegSetValueExW(key, kListModeValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&mode), sizeof(mode));
    RegCloseKey(key);
}

std::u16string ShortenInMiddle(const std::u16string& text, bool (*fits)(const std::u16string&, void*),
                               void* context) {
    if (text.empty() || fits(text, context)) return text;
    // The longest tail that fits after `prefix`, by halving the range of
    // tail lengths.
    auto longestTail = [&](const std::u16string& prefix, size_t most) {
        size_t low = 0, high = most;
        while (low < high) {
            const size_t middle = (low + high + 1) / 2;
            if (fits(prefix + text.substr(text.size() - middle), context)) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        return prefix + text.substr(text.size() - low);
    };
    // The first component stays ("\Storage Card...") while the whole last
    // component still fits beside it; otherwise the tail gets all the room.
    const size_t headEnd = text.find(u'\\', 1);
    const size_t lastStart = text.rfind(u'\\');
    if (headEnd != std::u16string::npos && lastStart != std::u16string::npos) {
        const std::u16string head = text.substr(0, headEnd) + u"...";
        const std::u16string shortened = longestTail(head, text.size() - headEnd);
        if (shortened.size() - head.size() >= text.size() - lastStart) return shortened;
    }
    return longestTail(u"...", text.size());
}

int ShowFileDialog(FileDialogRequest* request) {
    if (!request) return 0;
    FileDialog dialog(request);
    return dialog.DoModal() == IDOK ? 1 : 0;
}

FileDialog::FileDialog(FileDialogRequest* request) : DialogBase(IDD_FILE_DIALOG, request->owner), request_(request) {
    instance_ = request->instance ? request->instance : AppInstance();
}

LRESULT FileDialog::OnInitDialog() {
    DialogBase::OnInitDialog();
    LoadStringW(instance_, IDS_MY_DEVICE, myDevice_, 64);
    if (!myDevice_[0]) lstrcpyW(myDevice_, u"My Device");
    listMode_ = LoadListViewMode();

    const ChooserStart start = FindStartFolder(request_->path);
    folder_ = start.folder;
    namePreset_ = !start.presetName.empty();

    listView_ = GetDlgItem(hwnd_, IDC_FILE_LIST);
    // The shell owns the icon lists: the list view must never destroy them.
    SetWindowLongW(listView_, GWL_STYLE,
                   GetWindowLongW(listView_, GWL_STYLE) | LVS_SHAREIMAGELISTS | LVS_SINGLESEL | LVS_SHOWSELALWAYS);
    ListView_SetExtendedListViewStyle(listView_, LVS_EX_FULLROWSELECT);
    ListView_SetImageList(listView_, SystemSmallIcons(), LVSIL_SMALL);
    ListView_SetImageList(listView_, SystemLargeIcons(), LVSIL_NORMAL);
    for (int c = 0; c < kColumnCount; ++c) {
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        column.fmt = kColumns[c].format;
        // Widths are given for 240x320; a large screen draws everything twice as big.
        column.cx = kColumns[c].width * GetSystemMetrics(SM_CXSMICON) / 16;
        column.pszText = const_cast<LPWSTR>(kColumns[c].title);
        column.iSubItem = c;
        ListView_InsertColumn(listView_, c, &column);
    }
    modeBitmaps_[0] = ScreenSizedBitmap(LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_FILE_DETAILS)));
    modeBitmaps_[1] = ScreenSizedBitmap(LoadBitmapW(instance_, MAKEINTRESOURCEW(IDB_FILE_PLAIN_LIST)));
    SetListMode(listMode_);

    if (request_->title) SetDlgItemTextW(hwnd_, kTitleControlId, request_->title);
    if (request_->buttonText) SetDlgItemTextW(hwnd_, IDOK, request_->buttonText);
    SendDlgItemMessageW(hwnd_, IDC_FILE_NAME, EM_LIMITTEXT, kMaxPathChars, 0);
    if (!(request_->flags & kChooseNotFullScreen)) InitFullScreenDialog(hwnd_, SHIDIF_SIPDOWN);
    Layout();

    Refill();
    if (namePreset_) {
        SetName(start.presetName);
    } else if ((request_->flags & kChooseWildcards) && (request_->flags & kChooseStartAllFiles)) {
        SetName(u"*.*");
    } else {
        SetName(u"");
    }
    UpdateConfirmButton();
    // The list takes the focus: the input panel stays down until the user
    // taps the name field.
    SetFocus(listView_);
    return FALSE;
}

void FileDialog::Layout() {
    RECT client;
    GetClientRect(hwnd_, &client);
    // Dialog units to pixels for this dialog's font.
    RECT unit = {0, 0, 100, 100};
    MapDialogRect(hwnd_, &unit);
    auto X = [&](int du) { return du * unit.right / 100; };
    auto Y = [&](int du) { return du * unit.bottom / 100; };
    const int width = client.right, height = client.bottom;
    const int m = X(kMargin), row = Y(kRowHeight), gap = Y(2);
    auto place = [&](int id, int x, int y, int w, int h) {
        HWND control = GetDlgItem(hwnd_, id);
        if (control) MoveWindow(control, x, y, w > 0 ? w : 0, h > 0 ? h : 0, TRUE);
    };
    int y = Y(2);
    place(kTitleControlId, m, y, width - 2 * m, Y(10));
    y += Y(10) + gap;
    place(IDC_FILE_NAME_LABEL, m, y + Y(2), X(kLabelWidth), Y(9));
    place(IDC_FILE_NAME, m + X(kLabelWidth), y, width - 2 * m - X(kLabelWidth), row);
    y += row + gap;
    const int small = X(kSmallButton);
    place(IDC_FILE_FOLDER_LABEL, m, y + Y(2), X(kLabelWidth), Y(9));
    place(IDC_FILE_FOLDER, m + X(kLabelWidth), y, width - 2 * m - X(kLabelWidth) - 2 * small - X(2), row + Y(1));
    place(IDC_FILE_UP, width - m - 2 * small - X(1), y, small, row + Y(1));
    place(IDC_FILE_LIST_MODE, width - m - small, y, small, row + Y(1));
    y += row + Y(1) + gap;
    const int buttons = Y(13);
    const int buttonsTop = height - buttons - Y(3);
    place(IDC_FILE_LIST, m, y, width - 2 * m, buttonsTop - gap - y);
    place(IDOK, width - m - 2 * X(kButtonWidth) - X(4), buttonsTop, X(kButtonWidth), buttons);
    place(IDC_FILE_CANCEL, width - m - X(kButtonWidth), buttonsTop, X(kButtonWidth), buttons);
}

void FileDialog::SetListMode(DWORD mode) {
    listMode_ = mode == kDetails ? kDetails : kPlainList;
    DWORD style = static_cast<DWORD>(GetWindowLongW(listView_, GWL_STYLE));
    style = (style & ~LVS_TYPEMASK) | (listMode_ == kPlainList ? LVS_LIST : LVS_REPORT);
    SetWindowLongW(listView_, GWL_STYLE, static_cast<LONG>(style));
    InvalidateRect(listView_, nullptr, TRUE);
    // The button shows 291 in plain-list mode and 290 in details mode.
    HBITMAP picture = modeBitmaps_[listMode_ == kPlainList ? 1 : 0];
    SendDlgItemMessageW(hwnd_, IDC_FILE_LIST_MODE, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

void FileDialog::Refill() {
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SendMessageW(listView_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(listView_);
    list_.Fill(folder_, request_->flags, request_->extensions);
    const int count = list_.Count();
    ListView_SetItemCount(listView_, count);
    for (int i = 0; i < count; ++i) {
        LVITEMW item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
        item.iItem = i;
        item.pszText = LPSTR_TEXTCALLBACKW;
        item.iImage = I_IMAGECALLBACK;
        item.lParam = i;
        item.stateMask = LVIS_OVERLAYMASK;
        item.state = list_.Entry(i)->link ? INDEXTOOVERLAYMASK(1) : 0;
        ListView_InsertItem(listView_, &item);
    }
    SendMessageW(listView_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(listView_, nullptr, TRUE);
    InvalidateRect(GetDlgItem(hwnd_, IDC_FILE_FOLDER), nullptr, TRUE);
    SetCursor(previous);
}

void FileDialog::ChangeFolder(const std::u16string& folder) {
    if (folder.empty() || folder.size() > kMaxPathChars) {
        Refuse(kPathNotFoundId);
        return;
    }
    folder_ = WithoutTrailingSlash(folder);
    Refill();
}

void FileDialog::GoUp() {
    const std::u16string parent = ParentFolder(folder_);
    ClearNameUnlessPreset();
    ChangeFolder(parent.empty() ? u"\\" : parent);
}

void FileDialog::Activate(int index) {
    const FileEntry* entry = list_.Entry(index);
    if (!entry) return;
    if (entry->IsFolder()) {
        const std::u16string path = JoinFolder(folder_, entry->name);
        if (path.size() > kMaxPathChars) {
            Refuse(kPathNotFoundId);
            return;
        }
        ChangeFolder(path);
        return;
    }
    if (request_->flags & kChooseFolder) return;
    SetName(entry->name);
    Confirm();
}

void FileDialog::HoldOn(int index) {
    const FileEntry* entry = list_.Entry(index);
    if (!entry) return;
    if (entry->IsFolder()) {
        SetName(u"");
    } else if (!(request_->flags & kChooseFolder)) {
        SetName(entry->name);
    }
}

void FileDialog::SetName(const std::u16string& text) { SetDlgItemTextW(hwnd_, IDC_FILE_NAME, text.c_str()); }

void FileDialog::ClearNameUnlessPreset() {
    if (!namePreset_) SetName(u"");
}

void FileDialog::UpdateConfirmButton() {
    if (!(request_->flags & kChooseNeedsName)) return;
    EnableWindow(GetDlgItem(hwnd_, IDOK), GetWindowTextLengthW(GetDlgItem(hwnd_, IDC_FILE_NAME)) > 0);
}

void FileDialog::Refuse(UINT messageId) {
    WCHAR text[128], caption[32];
    lstrcpynW(text, LoadResString(messageId, instance_), 128);
    lstrcpynW(caption, LoadResString(kErrorCaptionId, instance_), 32);
    if (!caption[0]) lstrcpyW(caption, u"ERROR");
    MessageBoxW(hwnd_, text, caption, MB_OK | MB_ICONERROR);
}

void FileDialog::Confirm() {
    const Choice choice = ConfirmChoice(request_->flags, request_->extensions, folder_,
                                        WindowText(GetDlgItem(hwnd_, IDC_FILE_NAME)));
    switch (choice.verdict) {
    case ChoiceVerdict::Refuse: Refuse(choice.messageId); return;
    case ChoiceVerdict::AskOverwrite: {
        WCHAR caption[32];
        lstrcpynW(caption, LoadResString(IDS_WARNING_CAPS, instance_), 32);
        if (!caption[0]) lstrcpyW(caption, u"WARNING");
        if (MessageBoxW(hwnd_, kOverwriteQuestion, caption, MB_YESNO | MB_ICONWARNING) != IDYES) return;
        break;
    }
    case ChoiceVerdict::Accept: break;
    }
    lstrcpynW(request_->path, choice.path.c_str(), MAX_PATH);
    End(IDOK);
}

void FileDialog::DrawFolderDisplay(const DRAWITEMSTRUCT* draw) {
    HDC dc = draw->hDC;
    RECT r = draw->rcItem;
    const bool pressed = (draw->itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(pressed ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
    HIMAGELIST icons = SystemSmallIcons();
    int iconSize = 16, ignored = 16;
    ImageList_GetIconSize(icons, &iconSize, &ignored);
    const int height = r.bottom - r.top;
    const int x = r.left + 2, y = r.top + (height - iconSize) / 2;
    const bool root = folder_ == u"\\";
    const DWORD attributes = GetFileAttributesW(folder_.c_str());
    if (root) {
        DrawDevicePicture(dc, x, y, iconSize);
    } else if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_TEMPORARY)) {
        DrawCardPicture(dc, x, y, iconSize);
    } else {
        SHFILEINFOW info = {};
        SHGetFileInfoW(u"\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                       SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
        ImageList_Draw(icons, info.iIcon, dc, x, y, ILD_TRANSPARENT);
    }
    // The drop-down arrow at the right end.
    const int arrow = height / 3 > 3 ? height / 3 : 3;
    const int ax = r.right - arrow * 2 - 2, ay = r.top + (height - arrow) / 2;
    HBRUSH arrowBrush = GetSysColorBrush(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    for (int i = 0; i < arrow; ++i) {
        RECT line = {ax + i, ay + i, ax + 2 * arrow - i, ay + i + 1};
        FillRect(dc, &line, arrowBrush);
    }
    RECT text = {x + iconSize + 3, r.top, ax - 3, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(pressed ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font ? SelectObject(dc, font) : nullptr;
    std::pair<HDC, int> fit(dc, text.right - text.left);
    const std::u16string shown = root ? std::u16string(myDevice_) : ShortenInMiddle(folder_, FitsWidth, &fit);
    DrawTextW(dc, shown.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont) SelectObject(dc, oldFont);
}

void FileDialog::ShowFolderTree() {
    HWND display = GetDlgItem(hwnd_, IDC_FILE_FOLDER);
    RECT below;
    GetWindowRect(display, &below);
    // The margin is in 240x320 pixels; a large screen doubles it as it does everything.
    const int margin = kTreeBottomMargin * std::max(1, GetSystemMetrics(SM_CXSMICON) / 16);
    RECT area = {below.left, below.bottom, below.right, GetSystemMetrics(SM_CYSCREEN) - margin};
    if (area.bottom <= area.top) area.bottom = area.top + 1;
    FolderTreePopup popup(hwnd_, instance_, folder_, area);
    popup.DoModal();
    if (IsWindow(listView_)) SetFocus(listView_);
}

LRESULT FileDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case MSG_CHANGE_FOLDER: {
        auto* folder = reinterpret_cast<LPCWSTR>(wParam);
        // As a tap on a folder in the list: the name field stays as it is.
        if (folder && lstrlenW(folder) <= int(kMaxPathChars)) ChangeFolder(folder);
        return 0;
    }
    case WM_SIZE:
        Layout();
        return 0;
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->CtlID == IDC_FILE_FOLDER) {
            DrawFolderDisplay(draw);
            return TRUE;
        }
        return 0;
    }
    case WM_DESTROY:
        // However the dialog closes, the list mode is kept for the next call.
        SaveListViewMode(listMode_);
        for (HBITMAP& b : modeBitmaps_) {
            if (b) DeleteObject(b);
            b = nullptr;
        }
        return DialogBase::WindowProc(message, wParam, lParam);
    default:
        return DialogBase::WindowProc(message, wParam, lParam);
    }
}

bool FileDialog::OnNotify(int id, NMHDR* header, LRESULT* result) {
    if (id != IDC_FILE_LIST) return false;
    *result = 0;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* di = reinterpret_cast<NMLVDISPINFOW*>(header);
        const int index = static_cast<int>(di->item.lParam);
        if ((di->item.mask & LVIF_TEXT) && di->item.pszText && di->item.cchTextMax > 0) {
            const std::u16string text = list_.Text(index, di->item.iSubItem);
            lstrcpynW(di->item.pszText, text.c_str(), di->item.cchTextMax);
        }
        if (di->item.mask & LVIF_IMAGE) di->item.iImage = list_.Icon(index);
        return true;
    }
    case LVN_COLUMNCLICK: {
        auto* nm = reinterpret_cast<NMLISTVIEW*>(header);
        list_.SortBy(nm->iSubItem);
        // The entries changed places: the items keep their indices.
        ListView_SetItemState(listView_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int i = 0; i < list_.Count(); ++i) {
            ListView_SetItemState(listView_, i, list_.Entry(i)->link ? INDEXTOOVERLAYMASK(1) : 0, LVIS_OVERLAYMASK);
        }
        InvalidateRect(listView_, nullptr, TRUE);
        return true;
    }
    case NM_CLICK: {
        auto* nm = reinterpret_cast<NMITEMACTIVATE*>(header);
        if (nm->iItem < 0) {
            ClearNameUnlessPreset();
        } else {
            // Posted: the list view finishes its pen-up before it is refilled.
            PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_FILE_LIST, LBN_DBLCLK), nm->iItem);
        }
        return true;
    }
    case NM_RCLICK: {
        auto* nm = reinterpret_cast<NMITEMACTIVATE*>(header);
        if (nm->iItem >= 0) HoldOn(nm->iItem);
        return true;
    }
    default:
        return false;
    }
}

bool FileDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    switch (id) {
    case IDOK: {
        // The Action key on a selected folder in the list opens it; anywhere
        // else it confirms.
        const int selected = ListView_GetNextItem(listView_, -1, LVNI_SELECTED);
        const FileEntry* entry = list_.Entry(selected);
        if (GetFocus() == listView_ && entry && entry->IsFolder()) {
            Activate(selected);
        } else {
            Confirm();
        }
        return true;
    }
    case IDCANCEL:
    case IDC_FILE_CANCEL: End(IDCANCEL); return true;
    case IDC_FILE_UP: GoUp(); return true;
    case IDC_FILE_LIST_MODE: SetListMode(listMode_ == kPlainList ? kDetails : kPlainList); return true;
    case IDC_FILE_FOLDER:
        if (HIWORD(wParam) == BN_CLICKED) ShowFolderTree();
        return true;
    case IDC_FILE_NAME:
        if (HIWORD(wParam) == EN_CHANGE) UpdateConfirmButton();
        return false;
    case IDC_FILE_LIST:
        // A tap's activation, posted from NM_CLICK with the item in lParam.
        if (HIWORD(wParam) == LBN_DBLCLK) Activate(static_cast<int>(lParam));
        return true;
    default: return false;
    }
}
