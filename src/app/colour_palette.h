// ColourPalette: the popup of 48 colour cells (dialog 607, no caption) that
// opens below a colour button and captures the pen: a tap on a cell picks
// its colour and ends with IDOK, a tap anywhere else ends with IDCANCEL.
// Cells are 15x15 pixels at a 17-pixel pitch, 8 to a row, 2 pixels in from
// the top left. For a background the first entry ("no colour") is left out.
#pragma once

#include "app/dialog_base.h"

class ColourPalette : public DialogBase {
public:
    static constexpr int kTemplateId = 607;
    static constexpr int kColourCount = 48;
    static constexpr COLORREF kNoColour = 0xFFFFFFFF;  // entry 0, drawn as a cross
    static const COLORREF kColours[kColourCount];      // 0x00BBGGRR
    static constexpr int kCell = 15, kPitch = 17, kMargin = 2, kColumns = 8;
    static constexpr int kWidth = kColumns * kPitch + 6;  // 142 pixels

    // `anchor`: the colour button's screen rectangle; `background` leaves
    // the "no colour" entry out.
    ColourPalette(HWND parent, const RECT& anchor, bool background, COLORREF current);

    // The colours on offer, in cell order.
    int CellCount() const { return background_ ? kColourCount - 1 : kColourCount; }
    COLORREF CellColour(int cell) const { return kColours[cell + (background_ ? 1 : 0)]; }
    int Rows() const { return (CellCount() + kColumns - 1) / kColumns; }
    // The cell under client point (x, y), or -1.
    int CellAt(int x, int y) const;
    // Cell `cell`'s rectangle in client coordinates.
    static RECT CellRect(int cell);
    // The popup's screen rectangle for a button at `anchor` on a screen
    // `screenWidth` wide with `rows` rows: below the button, left-aligned,
    // or right-aligned when a left-aligned popup would start right of
    // screenWidth - 142.
    static RECT Placement(const RECT& anchor, int rows, int screenWidth);

    // The picked colour after IDOK.
    COLORREF Colour() const { return colour_; }

    // Runs the popup for `button` (a child of `parent`); true and *colour
    // set when a colour was picked.
    static bool Pick(HWND parent, HWND button, bool background, COLORREF* colour);

    LRESULT OnInitDialog() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint(HDC dc);

    RECT anchor_;
    bool background_;
    COLORREF colour_;
};
