// The folder-tree popup.
//
// Taps outside the popup must close it, but a modal dialog's owner gets no
// pen input at all. So the popup holds the pen capture while no gesture is
// under way: a pen-down outside its window closes it; one inside is handed
// to the tree, which captures the pen for the gesture, and the capture comes
// back to the popup when the tree sees the pen lifted.
#include "tools/folder_tree.h"

#include <shellapi.h>

#include "tools/file_choice.h"
#include "tools/file_type_cache.h"
#include "res/resource.h"

namespace {

constexpr UINT MSG_TAKE_PEN = WM_APP + 1;
constexpr int kTreeId = 100;

bool IsShownFolder(const WIN32_FIND_DATAW& found) {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    const std::u16string name = found.cFileName;
    return !name.empty() && name != u"." && name != u"..";
}

int FolderIcon(bool open) {
    SHFILEINFOW info = {};
    SHGetFileInfoW(u"\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info),
                   SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | (open ? SHGFI_OPENICON : 0));
    return info.iIcon;
}

}  // namespace

bool HasSubfolders(const std::u16string& folder) {
    const std::u16string pattern = JoinFolder(folder, u"*.*");
    if (pattern.size() > kMaxPathChars) return false;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool any = false;
    do {
        if (IsShownFolder(found) && JoinFolder(folder, found.cFileName).size() <= kMaxPathChars) any = true;
    } while (!any && FindNextFileW(find, &found));
    FindClose(find);
    return any;
}

FolderTreePopup::FolderTreePopup(HWND chooser, HINSTANCE instance, const std::u16string& currentFolder,
                                 const RECT& area)
    : DialogBase(kFolderTreeTemplateId, chooser), current_(currentFolder), area_(area) {
    instance_ = instance;
}

const std::u16string* FolderTreePopup::PathOf(HTREEITEM item) const {
    TVITEMW it = {};
    it.mask = TVIF_PARAM | TVIF_HANDLE;
    it.hItem = item;
    if (!item || !TreeView_GetItem(tree_, &it)) return nullptr;
    const size_t index = static_cast<size_t>(it.lParam);
    return index < paths_.size() ? &paths_[index] : nullptr;
}

HTREEITEM FolderTreePopup::AddFolder(HTREEITEM parent, const std::u16string& path, LPCWSTR label) {
    paths_.push_back(path);
    hasChildren_.push_back(-1);
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<LPWSTR>(label);
    insert.item.lParam = static_cast<LPARAM>(paths_.size() - 1);
    insert.item.cChildren = I_CHILDRENCALLBACK;  // asked when the item is first shown
    insert.item.iImage = FolderIcon(false);
    insert.item.iSelectedImage = FolderIcon(true);
    return TreeView_InsertItem(tree_, &insert);
}

void FolderTreePopup::FillChildren(HTREEITEM item) {
    if (TreeView_GetChild(tree_, item)) return;  // read once
    const std::u16string* folder = PathOf(item);
    if (!folder) return;
    const std::u16string base = *folder;  // paths_ may grow below
    const std::u16string pattern = JoinFolder(base, u"*.*");
    if (pattern.size() > kMaxPathChars) return;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;  // unreadable: no children
    do {
        if (!IsShownFolder(found)) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) continue;
        const std::u16string path = JoinFolder(base, found.cFileName);
        if (path.size() > kMaxPathChars) continue;  // could not be opened anyway
        AddFolder(item, path, found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    TreeView_SortChildren(tree_, item, FALSE);
}

HTREEITEM FolderTreePopup::FindChild(HTREEITEM parent, const std::u16string& path) {
    for (HTREEITEM child = TreeView_GetChild(tree_, parent); child; child = TreeView_GetNextSibling(tree_, child)) {
        const std::u16string* p = PathOf(child);
        if (p && lstrcmpiW(p->c_str(), path.c_str()) == 0) return child;
    }
    return nullptr;
}

LRESULT FolderTreePopup::OnInitDialog() {
    DialogBase::OnInitDialog();
    LoadStringW(instance_, IDS_MY_DEVICE, myDevice_, 64);
    if (!myDevice_[0]) lstrcpyW(myDevice_, u"My Device");
    // The shell's title bar keeps naming the chooser.
    WCHAR caption[64] = {};
    GetWindowTextW(parent_, caption, 64);
    SetWindowTextW(hwnd_, caption);
    MoveWindow(hwnd_, area_.left, area_.top, area_.right - area_.left, area_.bottom - area_.top, FALSE);
    RECT client;
    GetClientRect(hwnd_, &client);
    tree_ = CreateWindowExW(0, WC_TREEVIEWW, u"",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES |
                                TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            0, 0, client.right, client.bottom, hwnd_, reinterpret_cast<HMENU>(kTreeId),
                            instance_, nullptr);
    TreeView_SetImageList(tree_, SystemSmallIcons(), TVSIL_NORMAL);
    SetWindowLongPtrW(tree_, GWL_USERDATA, reinterpret_cast<LONG_PTR>(this));
    treeProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(tree_, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&FolderTreePopup::TreeProc)));

    // Open the tree down to the current folder.
    HTREEITEM item = AddFolder(TVI_ROOT, u"\\", myDevice_);
    std::u16string reached = u"\\";
    size_t start = 1;
    while (item && start < current_.size()) {
        TreeView_Expand(tree_, item, TVE_EXPAND);
        size_t slash = current_.find(u'\\', start);
        if (slash == std::u16string::npos) slash = current_.size();
        reached = JoinFolder(reached, current_.substr(start, slash - start));
        HTREEITEM child = FindChild(item, reached);
        if (!child) break;  // gone, hidden or reached by another name
        item = child;
        start = slash + 1;
    }
    if (item) {
        TreeView_Expand(tree_, item, TVE_EXPAND);
        TreeView_SelectItem(tree_, item);
        TreeView_EnsureVisible(tree_, item);
    }
    SetFocus(tree_);
    SetCapture(hwnd_);
    return FALSE;  // the focus is set
}

LRESULT CALLBACK FolderTreePopup::TreeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FolderTreePopup*>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    WNDPROC original = self->treeProc_;
    HWND popup = self->hwnd_;
    // The gesture is over once the pen is lifted: the popup takes the pen
    // back after the tree has handled it.
    if (message == WM_LBUTTONUP) PostMessageW(popup, MSG_TAKE_PEN, 0, 0);
    return CallWindowProcW(original, hwnd, message, wParam, lParam);
}

LRESULT FolderTreePopup::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        POINT p = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        RECT client;
        GetClientRect(hwnd_, &client);
        if (!PtInRect(&client, p)) {
            End(IDCANCEL);
            return 0;
        }
        // Inside: the tree takes this gesture.
        ReleaseCapture();
        MapWindowPoints(hwnd_, tree_, &p, 1);
        SendMessageW(tree_, message, wParam, MAKELPARAM(p.x, p.y));
        if (IsWindow(tree_) && GetCapture() == nullptr && !(GetKeyState(VK_LBUTTON) & 0x8000)) {
            SetCapture(hwnd_);
        }
        return 0;
    }
    case WM_LBUTTONUP:
        // A pen lifted over the popup while it held the capture (a gesture
        // the tree did not capture, such as a tap on an expand button).
        return 0;
    case MSG_TAKE_PEN:
        if (GetCapture() == nullptr && IsWindow(hwnd_)) SetCapture(hwnd_);
        return 0;
    case WM_DESTROY:
        if (GetCapture() == hwnd_) ReleaseCapture();
        return DialogBase::WindowProc(message, wParam, lParam);
    default:
        return DialogBase::WindowProc(message, wParam, lParam);
    }
}

void FolderTreePopup::Choose(HTREEITEM item) {
    const std::u16string* path = PathOf(item);
    if (!path) return;
    const std::u16string chosen = *path;
    End(IDOK);
    SendMessageW(parent_, MSG_CHANGE_FOLDER, reinterpret_cast<WPARAM>(chosen.c_str()), 0);
}

bool FolderTreePopup::OnNotify(int id, NMHDR* header, LRESULT* result) {
    if (id != kTreeId) return false;
    *result = 0;
    switch (header->code) {
    case TVN_ITEMEXPANDINGW: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
        if (nm->action & TVE_EXPAND) FillChildren(nm->itemNew.hItem);
        return true;
    }
    case TVN_GETDISPINFOW: {
        auto* di = reinterpret_cast<NMTVDISPINFOW*>(header);
        if (di->item.mask & TVIF_CHILDREN) {
            const size_t index = static_cast<size_t>(di->item.lParam);
            if (index < paths_.size()) {
                if (hasChildren_[index] < 0) hasChildren_[index] = HasSubfolders(paths_[index]) ? 1 : 0;
                di->item.cChildren = hasChildren_[index];
            }
        }
        return true;
    }
    case TVN_SELCHANGEDW: {
        auto* nm = reinterpret_cast<NMTREEVIEWW*>(header);
        if (nm->action == TVC_BYMOUSE) Choose(nm->itemNew.hItem);
        return true;
    }
    case NM_CLICK: {
        // A tap on the folder already selected chooses it too (no change of
        // selection follows).
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(tree_, &p);
        TVHITTESTINFO hit = {};
        hit.pt = p;
        HTREEITEM item = TreeView_HitTest(tree_, &hit);
        if (item && (hit.flags & TVHT_ONITEM) && item == TreeView_GetSelection(tree_)) {
            PostMessageW(hwnd_, WM_COMMAND, IDOK, 0);
        }
        return true;
    }
    case TVN_KEYDOWN: {
        auto* key = reinterpret_cast<NMTVKEYDOWN*>(header);
        if (key->wVKey == VK_RETURN) PostMessageW(hwnd_, WM_COMMAND, IDOK, 0);
        if (key->wVKey == VK_ESCAPE) PostMessageW(hwnd_, WM_COMMAND, IDCANCEL, 0);
        return true;
    }
    default:
        return false;
    }
}

bool FolderTreePopup::OnCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
    case IDOK: {
        HTREEITEM selected = TreeView_GetSelection(tree_);
        if (selected) {
            Choose(selected);
        } else {
            End(IDCANCEL);
        }
        return true;
    }
    case IDCANCEL: End(IDCANCEL); return true;
    default: return false;
    }
}
