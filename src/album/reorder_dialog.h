// ReorderDialog: "Reorder Thumbnails" (dialog 21256), full screen. It works
// on its own copy of what it shows of each entry (name, time, size), taken
// under the album lock when the dialog is made, and never reads an entry
// again: the list shows the names in the working order, Up and Down move the
// selected one, the three buttons sort the copy. The entry pointers are only
// handed back: after OK the caller writes Order() back under the album lock
// (ImageAlbum::Reorder checks that it is still a permutation of the album).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "album/image_album.h"
#include "app/dialog_base.h"

class ReorderDialog : public DialogBase {
public:
    ReorderDialog(const ImageAlbum& album, HWND parent);

    LRESULT OnInitDialog() override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    // The working order (valid after OK).
    const std::vector<ImageEntry*>& Order() const { return order_; }

    // What the dialog knows of an entry, copied out of the album.
    struct Item {
        std::u16string name;
        FILETIME fileTime;
        DWORD fileSize;
    };

private:
    // A list box indents its text by two pixels; as much again keeps the
    // end of the widest name off the list's edge.
    static constexpr int kListTextMargins = 4;

    void Fill(int selection);
    // Lets the list scroll sideways over the widest name.
    void SetNameExtent(HWND list);
    // Swaps the selected item with its neighbour `step` away; beeps at the ends.
    void MoveSelection(int step);
    void Sort(int operation);

    // Parallel arrays, moved together: order_[i] is the entry items_[i] describes.
    std::vector<ImageEntry*> order_;
    std::vector<Item> items_;
};
