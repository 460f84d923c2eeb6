// The reorder dialog: a working copy of the album's order, edited in a list.
#include "album/reorder_dialog.h"

#include <aygshell.h>

#include <algorithm>

#include "app/shell_helpers.h"
#include "res/resource.h"

ReorderDialog::ReorderDialog(const ImageAlbum& album, HWND parent)
    : DialogBase(IDD_REORDER, parent) {
    order_.reserve(static_cast<size_t>(album.Count()));
    items_.reserve(static_cast<size_t>(album.Count()));
    for (int i = 0; i < album.Count(); ++i) {
        ImageEntry* entry = album.Entry(i);
        order_.push_back(entry);
        items_.push_back({entry->Name(), entry->block.fileTime, entry->block.fileSize});
    }
}

LRESULT ReorderDialog::OnInitDialog() {
    DialogBase::OnInitDialog();
    InitFullScreenDialog(hwnd_, SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN);
    MakeBold(IDC_REORDER_TITLE);
    Fill(-1);
    // Up and Down wait for the first selection.
    EnableWindow(GetDlgItem(hwnd_, IDC_REORDER_UP), FALSE);
    EnableWindow(GetDlgItem(hwnd_, IDC_REORDER_DOWN), FALSE);
    return TRUE;
}

void ReorderDialog::Fill(int selection) {
    HWND list = GetDlgItem(hwnd_, IDC_REORDER_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (size_t i = 0; i < items_.size(); ++i) {
        const LRESULT item = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_[i].name.c_str()));
        if (item >= 0) SendMessageW(list, LB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(i));
    }
    if (selection >= 0) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(selection), 0);
    SetNameExtent(list);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

// Long file names do not fit the narrow list: it scrolls sideways as far as
// the widest name, measured in the list's own font, and its text margins.
void ReorderDialog::SetNameExtent(HWND list) {
    HDC dc = GetDC(list);
    if (!dc) return;
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0));
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    int widest = 0;
    for (const Item& item : items_) {
        SIZE size = {0, 0};
        if (GetTextExtentPoint32W(dc, item.name.c_str(), static_cast<int>(item.name.size()), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    if (old) SelectObject(dc, old);
    ReleaseDC(list, dc);
    SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + kListTextMargins), 0);
}

void ReorderDialog::MoveSelection(int step) {
    HWND list = GetDlgItem(hwnd_, IDC_REORDER_LIST);
    const int selected = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
    const int other = selected + step;
    if (selected < 0 || other < 0 || other >= static_cast<int>(order_.size())) {
        MessageBeep(MB_ICONASTERISK);
        return;
    }
    std::swap(order_[static_cast<size_t>(selected)], order_[static_cast<size_t>(other)]);
    std::swap(items_[static_cast<size_t>(selected)], items_[static_cast<size_t>(other)]);
    Fill(other);
}

void ReorderDialog::Sort(int operation) {
    // The album's own orders: names ignoring case, file times, sizes. The
    // sort runs over indices so that both arrays follow it.
    std::vector<size_t> index(items_.size());
    for (size_t i = 0; i < index.size(); ++i) index[i] = i;
    const std::vector<Item>& items = items_;
    switch (operation) {
    case kSortByName:
        std::sort(index.begin(), index.end(), [&](size_t a, size_t b) {
            return lstrcmpiW(items[a].name.c_str(), items[b].name.c_str()) < 0;
        });
        break;
    case kSortByTime:
        std::sort(index.begin(), index.end(), [&](size_t a, size_t b) {
            return CompareFileTime(&items[a].fileTime, &items[b].fileTime) < 0;
        });
        break;
    default:
        std::sort(index.begin(), index.end(),
                  [&](size_t a, size_t b) { return items[a].fileSize < items[b].fileSize; });
        break;
    }
    std::vector<ImageEntry*> order;
    std::vector<Item> sorted;
    order.reserve(index.size());
    sorted.reserve(index.size());
    for (size_t i : index) {
        order.push_back(order_[i]);
        sorted.push_back(std::move(items_[i]));
    }
    order_.swap(order);
    items_.swap(sorted);
    Fill(-1);
}

bool ReorderDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDC_REORDER_LIST:
        if (HIWORD(wParam) == LBN_SELCHANGE) {
            EnableWindow(GetDlgItem(hwnd_, IDC_REORDER_UP), TRUE);
            EnableWindow(GetDlgItem(hwnd_, IDC_REORDER_DOWN), TRUE);
        }
        return true;
    case IDC_REORDER_UP: MoveSelection(-1); return true;
    case IDC_REORDER_DOWN: MoveSelection(1); return true;
    case IDC_REORDER_SORT_NAME: Sort(kSortByName); return true;
    case IDC_REORDER_SORT_SIZE: Sort(kSortBySize); return true;
    case IDC_REORDER_SORT_DATE: Sort(kSortByTime); return true;
    default: return DialogBase::OnCommand(wParam, lParam);
    }
}
