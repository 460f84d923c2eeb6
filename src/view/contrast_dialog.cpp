// The contrast/brightness dialog.
#include "view/contrast_dialog.h"

#include <aygshell.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "album/image_album.h"
#include "album/image_entry.h"
#include "app/dialog_base.h"
#include "app/shell_helpers.h"
#include "image/screen_surface.h"
#include "res/resource.h"
#include "view/contrast_brightness.h"
#include "view/window_level_dialog.h"

namespace {

constexpr int kSliderLimit = 100;
constexpr int kSliderStep = 10;  // tick frequency and page size
constexpr int kThumbnailTop = 1;

class ContrastDialog : public DialogBase {
public:
    ContrastDialog(HWND owner, const RImage* image)
        : DialogBase(IDD_CONTRAST, owner), image_(image) {
        contrast_ = CurrentContrast();
        brightness_ = CurrentBrightness();
    }
    ~ContrastDialog() override { surface_.DestroySurface(); }

    int Contrast() const { return contrast_; }
    int Brightness() const { return brightness_; }

    LRESULT OnInitDialog() override {
        DialogBase::OnInitDialog();
        const int sliders[] = {IDC_CB_CONTRAST, IDC_CB_BRIGHTNESS};
        const int values[] = {contrast_, brightness_};
        for (int i = 0; i < 2; ++i) {
            HWND slider = GetDlgItem(hwnd_, sliders[i]);
            SendMessageW(slider, TBM_SETRANGEMIN, FALSE, -kSliderLimit);
            SendMessageW(slider, TBM_SETRANGEMAX, FALSE, kSliderLimit);
            SendMessageW(slider, TBM_SETTICFREQ, kSliderStep, 0);
            SendMessageW(slider, TBM_SETPAGESIZE, 0, kSliderStep);
            SendMessageW(slider, TBM_SETPOS, TRUE, values[i]);
        }
        ShowValue(IDC_CB_CONTRAST_VALUE, contrast_);
        ShowValue(IDC_CB_BRIGHTNESS_VALUE, brightness_);
        InitFullScreenDialog(hwnd_, SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN);
        SetInputPanel(hwnd_, false);
        surface_.CreateSurface();
        HWND drawing = GetDlgItem(hwnd_, IDC_CB_PREVIEW);
        StretchToDialogWidth(hwnd_, drawing);
        GetClientRect(drawing, &previewRect_);
        if (image_ && image_->header) {
            thumb_ = ComputeThumbnailGeometry(image_->header->biWidth,
                                              std::abs(image_->header->biHeight), kThumbnailTop);
        }
        if (surface_.bitmap) {
            surface_.FillRect(RGB(255, 255, 255), &previewRect_);
            if (image_ && image_->header && thumb_.thumbSize > 0) {
                surface_.rotation = 0;
                surface_.DrawImage(thumb_.thumbX, thumb_.thumbY, thumb_.thumbSize,
                                   thumb_.thumbSize, thumb_.cropX, thumb_.cropY, thumb_.cropSize,
                                   thumb_.cropSize, image_->header, image_->pixels);
            }
        }
        Redraw();
        return 1;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_DRAWITEM:
                if (wParam == IDC_CB_PREVIEW) {
                    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
                    surface_.CopyTo(item->hDC, item->rcItem.right - item->rcItem.left,
                                    item->rcItem.bottom - item->rcItem.top);
                    return TRUE;
                }
                break;
            case WM_HSCROLL: {
                HWND slider = reinterpret_cast<HWND>(lParam);
                const int id = slider ? GetDlgCtrlID(slider) : 0;
                const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
                if (id == IDC_CB_CONTRAST && position != contrast_) {
                    contrast_ = position;
                    ShowValue(IDC_CB_CONTRAST_VALUE, contrast_);
                    Redraw();
                } else if (id == IDC_CB_BRIGHTNESS && position != brightness_) {
                    brightness_ = position;
                    ShowValue(IDC_CB_BRIGHTNESS_VALUE, brightness_);
                    Redraw();
                }
                return 0;
            }
            default:
                break;
        }
        return DialogBase::WindowProc(message, wParam, lParam);
    }

    bool OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (LOWORD(wParam) == IDC_CB_ORIGINAL) {
            contrast_ = 0;
            brightness_ = 0;
            ShowValue(IDC_CB_CONTRAST_VALUE, 0);
            ShowValue(IDC_CB_BRIGHTNESS_VALUE, 0);
            SendDlgItemMessageW(hwnd_, IDC_CB_CONTRAST, TBM_SETPOS, TRUE, 0);
            SendDlgItemMessageW(hwnd_, IDC_CB_BRIGHTNESS, TBM_SETPOS, TRUE, 0);
            Redraw();
            return true;
        }
        return DialogBase::OnCommand(wParam, lParam);
    }

private:
    void ShowValue(int id, int value) {
        WCHAR text[16];
        wsprintfW(text, u"%i %%", value);
        SetDlgItemTextW(hwnd_, id, text);
    }

    // Every byte of the thumbnail, transformed, into the box to its right.
    void Redraw() {
        if (surface_.bitmap && thumb_.thumbSize > 0) {
            BYTE table[256];
            BuildContrastBrightnessBytes(contrast_, brightness_, table);
            const int right = std::min(thumb_.thumbX + thumb_.thumbSize,
                                       surface_.width - kContrastPreviewOffset);
            const int bottom = std::min(thumb_.thumbY + thumb_.thumbSize, surface_.height);
            for (int y = thumb_.thumbY; y < bottom; ++y) {
                BYTE* row = surface_.pixels +
                            static_cast<size_t>(surface_.height - 1 - y) * surface_.stride;
                const BYTE* from = row + static_cast<size_t>(thumb_.thumbX) * 3;
                BYTE* to = row + static_cast<size_t>(thumb_.thumbX + kContrastPreviewOffset) * 3;
                for (int i = 0; i < (right - thumb_.thumbX) * 3; ++i) to[i] = table[from[i]];
            }
        }
        HWND control = GetDlgItem(hwnd_, IDC_CB_PREVIEW);
        InvalidateRect(control, nullptr, FALSE);
        UpdateWindow(control);
    }

    const RImage* image_;
    ScreenSurface surface_;
    RECT previewRect_ = {};
    ThumbnailGeometry thumb_ = {};
    int contrast_ = 0;
    int brightness_ = 0;
};

}  // namespace

bool OpenContrastDialog(ImageAlbum* album, int row, HWND owner, HWND view) {
    ImageEntry* entry = album ? album->Entry(row) : nullptr;
    if (!entry || !entry->image || !entry->image->image.header) return false;
    ContrastDialog dialog(owner, &entry->image->image);
    if (dialog.DoModal() != IDOK) return false;
    SetContrastBrightness(dialog.Contrast(), dialog.Brightness());
    if (view) {
        InvalidateRect(view, nullptr, FALSE);
        UpdateWindow(view);
    }
    return true;
}
