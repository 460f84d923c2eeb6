// ReorderDialog: "Reorder Thumbnails" (dialog 21256), full screen. It works
// on its own copy of the album's entry pointers (it owns none of them): the
// list shows each entry's file name in that order, Up and Down move the
// selected one, the three buttons sort the copy. The album is not touched:
// after OK the caller writes Order() back (ImageAlbum::Reorder).
#pragma once

#include <windows.h>

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

private:
    void Fill(int selection);
    // Swaps the selected item with its neighbour `step` away; beeps at the ends.
    void MoveSelection(int step);
    void Sort(int operation);

    std::vector<ImageEntry*> order_;
};
