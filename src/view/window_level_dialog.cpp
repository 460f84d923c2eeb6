// The window/level dialog and its arithmetic.
#include "view/window_level_dialog.h"

#include <aygshell.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "album/image_album.h"
#include "album/image_entry.h"
#include "app/dialog_base.h"
#include "app/shell_helpers.h"
#include "dicom/frame_window.h"
#include "image/format_handler.h"
#include "image/image_memory.h"
#include "image/screen_surface.h"
#include "res/resource.h"
#include "view/adjustment_attachment.h"
#include "view/window_presets.h"

namespace {

// Load flags of the preview decode: no meaning to the built-in handlers,
// passed on to plug-ins as the adjustment code's mark.
constexpr DWORD kPreviewLoadFlags = 0x100;
// Layout of the drawing area, in pixels from its top-left corner.
constexpr int kPreviewOffset = 116;    // "Preview" box right of "Original"
constexpr int kCaptionHeight = 10;
constexpr int kThumbnailTop = 12;      // below the captions
constexpr int kBoxBottom = 125;        // the frames end here; the histogram starts below
constexpr int kHistogramTop = 126;
constexpr int kBarAreaMargin = 140;    // bar area height = bottom - this
constexpr int kLabelBand = 10;         // the range labels under the base line
constexpr int kFontHeight = 9;
// A running redraw looks for new input this often (rows, columns).
constexpr int kInputCheckRows = 16;
constexpr int kInputCheckColumns = 32;
constexpr COLORREF kDarkGrey = RGB(96, 96, 96);
constexpr COLORREF kLightGrey = RGB(200, 200, 200);

int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

int32_t TruncClamp(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(v);
}

bool SlopeScales(float slope) {
    return slope != 1.0f && slope != 0.0f && std::isfinite(slope);
}

BYTE Luminance(int red, int green, int blue) {
    float y = 0.299f * static_cast<float>(red);
    y += 0.587f * static_cast<float>(green);
    y += 0.114f * static_cast<float>(blue);
    const int v = static_cast<int>(y);
    return static_cast<BYTE>(v > 255 ? 255 : v);
}

// A pixel row of the surface, counted from the top.
BYTE* SurfaceRow(ScreenSurface& surface, int y) {
    return surface.pixels + static_cast<size_t>(surface.height - 1 - y) * surface.stride;
}

}  // namespace

void StretchToDialogWidth(HWND dialog, HWND control) {
    RECT client, r;
    GetClientRect(dialog, &client);
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    MoveWindow(control, 0, r.top, client.right, r.bottom - r.top, TRUE);
}

ThumbnailGeometry ComputeThumbnailGeometry(int width, int height, int topMargin) {
    ThumbnailGeometry g = {};
    if (width <= 0 || height <= 0) return g;
    const float s = std::max(static_cast<float>(kThumbnailBox) / static_cast<float>(width),
                             static_cast<float>(kThumbnailBox) / static_cast<float>(height));
    const int64_t w = static_cast<int64_t>(static_cast<float>(width) * s);
    const int64_t h = static_cast<int64_t>(static_cast<float>(height) * s);
    g.thumbSize = static_cast<int>(std::min<int64_t>(std::min(w, h), kThumbnailBox));
    if (w > h) {
        g.cropX = (width - height) / 2;
        g.cropSize = height;
    } else if (h > w) {
        g.cropY = (height - width) / 2;
        g.cropSize = width;
    } else {
        g.cropSize = std::min(width, height);
    }
    g.thumbX = (kThumbnailBox - g.thumbSize) / 2 + 1;
    g.thumbY = (kThumbnailBox - g.thumbSize) / 2 + topMargin;
    return g;
}

int32_t RescaledValue(const WindowLevelState& state, int32_t stored) {
    const float m = state.result.rescaleSlope;
    if (!SlopeScales(m)) return Clamp32(static_cast<int64_t>(stored) + state.intercept);
    return TruncClamp(static_cast<double>(stored) * m + state.result.rescaleIntercept);
}

void SliderRanges(const WindowLevelState& state, int32_t* widthMin, int32_t* widthMax,
                  int32_t* levelMin, int32_t* levelMax) {
    const float m = state.result.rescaleSlope;
    *widthMin = 0;
    *widthMax = SlopeScales(m) ? TruncClamp(static_cast<double>(state.rangeWidth) * std::fabs(m))
                               : state.rangeWidth;
    const int32_t a = RescaledValue(state, state.rangeLow);
    const int32_t b = RescaledValue(state, state.rangeHigh);
    *levelMin = std::min(a, b);
    *levelMax = std::max(a, b);
}

void WindowFromChoices(WindowLevelState* state) {
    DisplayAdjustment& r = state->result;
    r.autoWindow = 0;
    r.center = state->center;
    r.width = state->width;
    r.negative = state->negative ? 1 : 0;
    ComputeWindowBounds(&r);
    // The decoder's inversions: MONOCHROME1, the negative switch and a
    // negative rescale slope each turn the grey scale round.
    bool inverted = r.photometric == 1;
    if (r.negative) inverted = !inverted;
    if (InvertedBySlope(r)) inverted = !inverted;
    state->resultInverted = inverted;
    state->windowLow = r.low;
    state->windowHigh = r.high;
    state->windowScale = r.scale;
}

BYTE PreviewLevel(const WindowLevelState& state, int32_t value) {
    const BYTE v = state.result.width != 0 ? WindowMap(state.result, value) : static_cast<BYTE>(value);
    return state.resultInverted ? static_cast<BYTE>(255 - v) : v;
}

void InitWindowLevelState(WindowLevelState* state, const DisplayAdjustment& entry,
                          const DisplayAdjustment& preview, int width, int height,
                          int bitsPerPixel) {
    uint32_t* bins = state->bins;
    std::memset(static_cast<void*>(state), 0, sizeof(*state));
    state->bins = bins;
    state->previewAdjustment = preview;
    state->result = entry;
    state->negative = entry.negative != 0;
    state->palette = std::clamp(entry.palette, 0, kPaletteCount - 1);
    state->width = entry.width;
    state->center = entry.center;
    state->intercept = TruncClamp(entry.rescaleIntercept);
    if (state->width == 0) {
        state->center = entry.fileCenter;
        state->width = entry.fileWidth;
    }
    // The sample range with half of it again on either side, inside what
    // the samples can hold. A flat image has no range: one sample wide.
    const int64_t d = (static_cast<int64_t>(preview.largest) - preview.smallest) / 2;
    state->rangeLow = Clamp32(std::max<int64_t>(preview.minValue, preview.smallest - d));
    state->rangeHigh = Clamp32(std::min<int64_t>(preview.largest + d, preview.maxValue));
    if (state->rangeHigh < state->rangeLow) state->rangeHigh = state->rangeLow;
    state->rangeWidth = Clamp32(std::max<int64_t>(
        1, static_cast<int64_t>(state->rangeHigh) - state->rangeLow));
    state->thumb = ComputeThumbnailGeometry(width, height, kThumbnailTop);
    state->bitsPerPixel = bitsPerPixel;
    state->paletteEntries = bitsPerPixel <= 8 ? 256 : 0;
    for (int i = 0; i < 256; ++i) {
        state->colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }
    // The automatic window spreads the sample range over the 256 levels;
    // MONOCHROME1 arrives inverted, so its levels run backwards.
    state->previewInverted = preview.photometric == 1;
    int32_t level[256];
    for (int i = 0; i < 256; ++i) {
        if (preview.minValue == 0 && preview.maxValue == 255) {
            level[i] = i;
        } else {
            const float span = static_cast<float>(static_cast<int64_t>(preview.largest) -
                                                  preview.smallest);
            level[i] = TruncClamp(static_cast<float>(i) * span / 256.0f +
                                  static_cast<float>(preview.smallest));
        }
    }
    for (int i = 0; i < 256; ++i) {
        state->levelValue[i] = state->previewInverted ? level[255 - i] : level[i];
    }
    WindowFromChoices(state);
}

void AutoWindow(WindowLevelState* state) {
    // The middle and extent of the stored range in rescaled units, as the
    // decoder takes the file's window from the range.
    DisplayAdjustment range = state->result;
    range.smallest = state->previewAdjustment.smallest;
    range.largest = state->previewAdjustment.largest;
    DefaultWindowFromRange(&range);
    int64_t center = range.fileCenter;
    // MONOCHROME1 mirrors the centre about the file's own: mirror it first,
    // so that the window lands on the range.
    if (state->result.photometric == 1 && state->result.fileCenter != 0) {
        center = 2 * static_cast<int64_t>(state->result.fileCenter) - center;
    }
    state->center = Clamp32(center);
    state->width = std::max<int32_t>(1, range.fileWidth);
    WindowFromChoices(state);
}

void OriginalWindow(WindowLevelState* state) {
    state->negative = false;
    state->palette = 0;
    state->width = state->previewAdjustment.fileWidth;
    state->center = state->previewAdjustment.fileCenter;
    for (int i = 0; i < 256; ++i) {
        state->colours[i] = {static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }
    WindowFromChoices(state);
}

uint32_t CutPeaks(uint32_t bins[256]) {
    int noted[5];
    uint32_t kept[5];
    for (int n = 0; n < 5; ++n) {
        int top = 0;
        for (int i = 1; i < 256; ++i) {
            if (bins[i] > bins[top]) top = i;
        }
        noted[n] = top;
        kept[n] = bins[top];
        bins[top] = 0;
    }
    uint32_t peak = 0;
    for (int i = 0; i < 256; ++i) peak = std::max(peak, bins[i]);
    if (peak == 0) {
        // Six grey levels or fewer: nothing to cut, the tallest fills the area.
        for (int n = 4; n >= 0; --n) bins[noted[n]] = kept[n];  // later notes may repeat a bin
        for (int i = 0; i < 256; ++i) peak = std::max(peak, bins[i]);
        return std::max<uint32_t>(peak, 1);
    }
    for (int n = 0; n < 5; ++n) bins[noted[n]] = peak;
    return peak;
}

void ComputeHistogram(WindowLevelState* state, const BITMAPINFOHEADER* header,
                      const BYTE* pixels) {
    std::free(state->bins);
    state->bins = static_cast<uint32_t*>(std::calloc(kHistogramBins, sizeof(uint32_t)));
    state->binPeak = 1;
    if (state->bins == nullptr || header == nullptr || pixels == nullptr) return;
    const int width = header->biWidth;
    const int height = std::abs(header->biHeight);
    const int bpp = header->biBitCount;
    if (width <= 0 || height <= 0) return;
    const size_t stride = ((static_cast<size_t>(width) * bpp + 31) / 32) * 4;
    const RGBQUAD* table = bpp <= 8 ? ColourTable(header) : nullptr;
    const DWORD tableSize =
        bpp <= 8 ? (header->biClrUsed != 0 && header->biClrUsed <= (1u << bpp) ? header->biClrUsed
                                                                               : (1u << bpp))
                 : 0;
    BYTE tableLuminance[256] = {};
    for (DWORD i = 0; i < tableSize; ++i) {
        tableLuminance[i] = Luminance(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    }
    const bool rgb565 = bpp == 16 && header->biCompression == BI_BITFIELDS &&
                        reinterpret_cast<const DWORD*>(header + 1)[1] == 0x07E0;
    uint32_t* bins = state->bins;
    const bool inverted = state->previewInverted;
    if (bpp == 8) {
        // The usual preview (grey levels of a DICOM image): one table look-up
        // per pixel, the order of the bins folded into the table. Indices
        // beyond the table count as black.
        BYTE bin[256];
        for (int i = 0; i < 256; ++i) {
            const BYTE lum = static_cast<DWORD>(i) < tableSize ? tableLuminance[i] : 0;
            bin[i] = inverted ? static_cast<BYTE>(255 - lum) : lum;
        }
        for (int y = 0; y < height; ++y) {
            const BYTE* row = pixels + static_cast<size_t>(y) * stride;
            for (int x = 0; x < width; ++x) ++bins[bin[row[x]]];
        }
        state->binPeak = CutPeaks(bins);
        return;
    }
    for (int y = 0; y < height; ++y) {
        const BYTE* row = pixels + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            BYTE lum = 0;
            switch (bpp) {
                case 1: case 2: case 4: case 8: {
                    const size_t bit = static_cast<size_t>(x) * bpp;
                    const int shift = 8 - bpp - static_cast<int>(bit % 8);
                    const DWORD index = (row[bit / 8] >> shift) & ((1u << bpp) - 1);
                    lum = index < tableSize ? tableLuminance[index] : 0;
                    break;
                }
                case 16: {
                    const WORD p = static_cast<WORD>(row[x * 2] | row[x * 2 + 1] << 8);
                    if (rgb565) {
                        lum = Luminance((p >> 11 & 31) * 255 / 31, (p >> 5 & 63) * 255 / 63,
                                        (p & 31) * 255 / 31);
                    } else {
                        lum = Luminance((p >> 10 & 31) * 255 / 31, (p >> 5 & 31) * 255 / 31,
                                        (p & 31) * 255 / 31);
                    }
                    break;
                }
                case 24: {
                    const BYTE* p = row + static_cast<size_t>(x) * 3;
                    lum = Luminance(p[2], p[1], p[0]);
                    break;
                }
                case 32: {
                    const BYTE* p = row + static_cast<size_t>(x) * 4;
                    lum = Luminance(p[2], p[1], p[0]);
                    break;
                }
                default:
                    return;
            }
            // Bins run in stored-sample order, as the histogram's axis does.
            ++bins[inverted ? 255 - lum : lum];
        }
    }
    state->binPeak = CutPeaks(bins);
}

void BarColumn(const uint32_t bins[256], int k, int n, int* m, uint32_t* value) {
    int first = static_cast<int>(static_cast<int64_t>(k) * 256 / n);
    const int last = static_cast<int>(
        std::min<int64_t>(static_cast<int64_t>(k + 1) * 256 / n, 255));
    first = std::min(first, 255);
    if (first < last) {
        uint64_t sum = 0;
        for (int i = first; i <= last; ++i) sum += bins[i];
        *value = static_cast<uint32_t>(sum / static_cast<uint64_t>(last - first + 1));
        *m = first + (last - first) / 2;
    } else {
        *value = bins[first];
        *m = first;
    }
}

void ReleaseWindowLevelState(WindowLevelState* state) {
    std::free(state->bins);
    state->bins = nullptr;
}

namespace {

class WindowLevelDialog : public DialogBase {
public:
    WindowLevelDialog(HWND owner, WindowLevelState* state, const RImage* image,
                      std::vector<WindowPreset> presets)
        : DialogBase(IDD_WINDOW_LEVEL, owner), state_(state), image_(image),
          presets_(std::move(presets)) {}
    ~WindowLevelDialog() override {
        if (font_) DeleteObject(font_);
        surface_.DestroySurface();
    }

    LRESULT OnInitDialog() override {
        DialogBase::OnInitDialog();
        HWND list = GetDlgItem(hwnd_, IDC_WL_PALETTE);
        for (int i = 0; i < kPaletteCount; ++i) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(PaletteName(i)));
        }
        SendMessageW(list, CB_SETCURSEL, state_->palette, 0);
        HWND presets = GetDlgItem(hwnd_, IDC_WL_PRESETS);
        SendMessageW(presets, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(LoadResString(IDS_WL_PRESETS)));
        for (const WindowPreset& preset : presets_) {
            SendMessageW(presets, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(preset.name.c_str()));
        }
        SendMessageW(presets, CB_SETCURSEL, 0, 0);
        EnableWindow(presets, !presets_.empty());
        InitFullScreenDialog(hwnd_, SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN);
        SetInputPanel(hwnd_, false);

        // The drawing area spans the dialog: its two 114-pixel boxes side by
        // side need more than the template's width in dialog units gives.
        HWND drawing = GetDlgItem(hwnd_, IDC_WL_HISTOGRAM);
        StretchToDialogWidth(hwnd_, drawing);
        GetClientRect(drawing, &histogramRect_);
        LOGFONTW description = {};
        description.lfHeight = kFontHeight;
        description.lfWeight = FW_NORMAL;
        lstrcpyW(description.lfFaceName, u"Tahoma");
        font_ = CreateFontIndirectW(&description);
        surface_.CreateSurface();
        DrawStaticParts();
        if (state_->bitsPerPixel > 8) EnableWindow(list, FALSE);
        RequestRedraw();
        return 1;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_DRAWITEM:
                if (wParam == IDC_WL_HISTOGRAM) {
                    auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
                    surface_.CopyTo(item->hDC, item->rcItem.right - item->rcItem.left,
                                    item->rcItem.bottom - item->rcItem.top);
                    return TRUE;
                }
                break;
            case WM_HSCROLL:
                OnSlider(reinterpret_cast<HWND>(lParam));
                return 0;
            default:
                break;
        }
        return DialogBase::WindowProc(message, wParam, lParam);
    }

    bool OnCommand(WPARAM wParam, LPARAM lParam) override {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        switch (id) {
            case IDC_WL_ORIGINAL:
                OriginalWindow(state_);
                SendDlgItemMessageW(hwnd_, IDC_WL_PALETTE, CB_SETCURSEL, 0, 0);
                DrawStaticParts();
                RequestRedraw();
                return true;
            case IDC_WL_NEGATIVE:
                state_->negative = !state_->negative;
                WindowFromChoices(state_);
                RequestRedraw();
                return true;
            case IDC_WL_PALETTE:
                if (code == CBN_SELCHANGE && state_->paletteEntries > 0) {
                    const LRESULT selected =
                        SendDlgItemMessageW(hwnd_, IDC_WL_PALETTE, CB_GETCURSEL, 0, 0);
                    if (selected >= 0 && selected < kPaletteCount) {
                        state_->palette = static_cast<int>(selected);
                        BuildPalette(state_->colours, state_->palette, 256);
                        RequestRedraw();
                    }
                }
                return true;
            case IDC_WL_PRESETS:
                if (code == CBN_SELCHANGE) {
                    const LRESULT selected =
                        SendDlgItemMessageW(hwnd_, IDC_WL_PRESETS, CB_GETCURSEL, 0, 0);
                    if (selected >= 1 && static_cast<size_t>(selected) <= presets_.size()) {
                        const WindowPreset& preset = presets_[selected - 1];
                        state_->center = preset.center;
                        state_->width = preset.width;
                        WindowFromChoices(state_);
                        SetSliders();
                        RequestRedraw();
                    }
                }
                return true;
            case IDC_WL_AUTO:
                AutoWindow(state_);
                DrawStaticParts();
                RequestRedraw();
                return true;
            default:
                return DialogBase::OnCommand(wParam, lParam);
        }
    }

private:
    void SetSliders() {
        updating_ = true;
        int32_t widthMin, widthMax, levelMin, levelMax;
        SliderRanges(*state_, &widthMin, &widthMax, &levelMin, &levelMax);
        // TBM_SETRANGE packs 16-bit ends: too small for 16-bit samples.
        HWND w = GetDlgItem(hwnd_, IDC_WL_WIDTH);
        SendMessageW(w, TBM_SETRANGEMIN, FALSE, widthMin);
        SendMessageW(w, TBM_SETRANGEMAX, TRUE, widthMax);
        SendMessageW(w, TBM_SETPOS, TRUE, state_->width);
        HWND l = GetDlgItem(hwnd_, IDC_WL_LEVEL);
        SendMessageW(l, TBM_SETRANGEMIN, FALSE, levelMin);
        SendMessageW(l, TBM_SETRANGEMAX, TRUE, levelMax);
        SendMessageW(l, TBM_SETPOS, TRUE, state_->center);
        SetDlgItemInt(hwnd_, IDC_WL_WIDTH_VALUE, static_cast<UINT>(state_->width), TRUE);
        SetDlgItemInt(hwnd_, IDC_WL_LEVEL_VALUE, static_cast<UINT>(state_->center), TRUE);
        updating_ = false;
    }

    void OnSlider(HWND slider) {
        if (updating_ || !slider) return;
        const int id = GetDlgCtrlID(slider);
        const int32_t position = static_cast<int32_t>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        if (id == IDC_WL_WIDTH) {
            SetDlgItemInt(hwnd_, IDC_WL_WIDTH_VALUE, static_cast<UINT>(position), TRUE);
            if (position == state_->width) return;
            state_->width = position;
        } else if (id == IDC_WL_LEVEL) {
            SetDlgItemInt(hwnd_, IDC_WL_LEVEL_VALUE, static_cast<UINT>(position), TRUE);
            if (position == state_->center) return;
            state_->center = position;
        } else {
            return;
        }
        WindowFromChoices(state_);
        RequestRedraw();
    }

    void DrawStaticParts() {
        if (!surface_.bitmap) return;
        surface_.FillRect(RGB(255, 255, 255), &histogramRect_);
        WindowFromChoices(state_);
        if (state_->palette >= 0 && state_->paletteEntries > 0) {
            BuildPalette(state_->colours, state_->palette, 256);
        }
        SetSliders();
        HDC dc = surface_.MemoryContext();
        HGDIOBJ oldFont = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        RECT original = {0, 0, kThumbnailBox, kCaptionHeight};
        DrawTextW(dc, u"Original", -1, &original, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
        const ThumbnailGeometry& t = state_->thumb;
        if (image_ && image_->header && t.thumbSize > 0) {
            surface_.rotation = 0;
            surface_.DrawImage(t.thumbX, t.thumbY, t.thumbSize, t.thumbSize, t.cropX, t.cropY,
                               t.cropSize, t.cropSize, image_->header, image_->pixels);
        }
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        Rectangle(dc, 0, kCaptionHeight + 1, kThumbnailBox, kBoxBottom);
        RECT preview = {kPreviewOffset, 0, kPreviewOffset + kThumbnailBox, kCaptionHeight};
        DrawTextW(dc, u"Preview", -1, &preview, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
        Rectangle(dc, kPreviewOffset, kCaptionHeight + 1, kPreviewOffset + kThumbnailBox,
                  kBoxBottom);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldFont);
    }

    // Handles input that arrived during a redraw (a dragged slider ends the
    // redraw by requesting the next); false when the redraw is to stop.
    bool KeepDrawing() {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
            PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
            if (!IsDialogMessageW(hwnd_, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        return drawing_;
    }

    void RequestRedraw() {
        drawing_ = false;  // a running redraw stops at its next check
        if (inRedraw_) {
            pending_ = true;
            return;
        }
        inRedraw_ = true;
        do {
            pending_ = false;
            drawing_ = true;
            Redraw();
        } while (pending_);
        inRedraw_ = false;
        HWND control = GetDlgItem(hwnd_, IDC_WL_HISTOGRAM);
        InvalidateRect(control, nullptr, FALSE);
        UpdateWindow(control);
    }

    void Redraw() {
        if (!surface_.bitmap) return;
        const RECT& r = histogramRect_;
        RECT area = {r.left, kHistogramTop, r.right, r.bottom};
        surface_.FillRect(RGB(255, 255, 255), &area);
        if (!DrawPreview()) return;
        if (state_->bins == nullptr) return;  // no histogram without its counters
        const int g = r.bottom - kBarAreaMargin;
        const int base = r.bottom - kLabelBand;
        if (g <= 0) return;
        const float d = static_cast<float>(r.right - r.left) / static_cast<float>(state_->rangeWidth);
        auto axis = [&](int64_t value) {
            const float x = static_cast<float>(value - state_->rangeLow) * d;
            return static_cast<int>(std::clamp(x, -30000.0f, 30000.0f));
        };
        const int xLow = axis(state_->windowLow);
        const int xHigh = axis(state_->windowHigh);
        if (state_->rangeLow < state_->windowLow) {
            RECT band = {r.left, base - g, xLow, base};
            surface_.FillRect(kDarkGrey, &band);
        }
        if (state_->windowHigh < state_->rangeHigh) {
            RECT band = {xHigh, base - g, r.right, base};
            surface_.FillRect(kDarkGrey, &band);
        }
        const int x0 = axis(state_->previewAdjustment.smallest);
        const int x1 = axis(state_->previewAdjustment.largest);
        const int n = x1 - x0;
        for (int k = 0; k < n; ++k) {
            if (k % kInputCheckColumns == 0 && !KeepDrawing()) return;
            const int x = x0 + k;
            int m;
            uint32_t value;
            BarColumn(state_->bins, k, n, &m, &value);
            const int height = static_cast<int>(
                std::min<uint64_t>(static_cast<uint64_t>(value) * g / state_->binPeak, g));
            if (height <= 0) continue;
            COLORREF colour;
            if (x <= xLow || x >= xHigh) {
                colour = kLightGrey;
            } else if (state_->paletteEntries > 0) {
                const RGBQUAD& c = state_->colours[m];
                colour = RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
            } else {
                colour = RGB(m, m, m);
            }
            VerticalLine(x, base - height - 1, r.bottom - 11, colour);
        }
        HDC dc = surface_.MemoryContext();
        HPEN red = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(dc, red);
        MoveToEx(dc, xLow, base, nullptr);
        LineTo(dc, xHigh, base - g);
        LineTo(dc, r.right, base - g);
        SelectObject(dc, oldPen);
        DeleteObject(red);
        HGDIOBJ oldFont = SelectObject(dc, font_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(0, 0, 0));
        WCHAR text[16];
        RECT band = {r.left, r.bottom - kLabelBand, r.right, r.bottom};
        wsprintfW(text, u"%d", RescaledValue(*state_, state_->rangeLow));
        DrawTextW(dc, text, -1, &band, DT_LEFT | DT_SINGLELINE);
        wsprintfW(text, u"%d", RescaledValue(*state_, state_->rangeHigh));
        DrawTextW(dc, text, -1, &band, DT_RIGHT | DT_SINGLELINE);
        SelectObject(dc, oldFont);
        oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        MoveToEx(dc, r.left, base, nullptr);
        LineTo(dc, r.right, base);
        HPEN blue = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
        SelectObject(dc, blue);
        const int c = xLow + (xHigh - xLow) / 2;
        MoveToEx(dc, c, base, nullptr);
        LineTo(dc, c, base - g);
        SelectObject(dc, oldPen);
        DeleteObject(blue);
    }

    // A column from y0 down to y1 (inclusive), clipped to the drawing area.
    void VerticalLine(int x, int y0, int y1, COLORREF colour) {
        if (x < histogramRect_.left || x >= histogramRect_.right || x >= surface_.width) return;
        y0 = std::max(y0, kHistogramTop);
        y1 = std::min({y1, static_cast<int>(histogramRect_.bottom) - 1, surface_.height - 1});
        for (int y = y0; y <= y1; ++y) {
            BYTE* p = SurfaceRow(surface_, y) + static_cast<size_t>(x) * 3;
            p[0] = GetBValue(colour);
            p[1] = GetGValue(colour);
            p[2] = GetRValue(colour);
        }
    }

    // The "Preview" box from the "Original" thumbnail; false when the
    // redraw was ended early.
    bool DrawPreview() {
        const ThumbnailGeometry& t = state_->thumb;
        const int right = std::min(t.thumbX + t.thumbSize, surface_.width - kPreviewOffset);
        const int bottom = std::min(t.thumbY + t.thumbSize, surface_.height);
        for (int y = t.thumbY; y < bottom; ++y) {
            if ((y - t.thumbY) % kInputCheckRows == 0 && !KeepDrawing()) return false;
            BYTE* row = SurfaceRow(surface_, y);
            for (int x = t.thumbX; x < right; ++x) {
                const BYTE* from = row + static_cast<size_t>(x) * 3;
                BYTE* to = row + static_cast<size_t>(x + kPreviewOffset) * 3;
                if (state_->paletteEntries == 0) {
                    for (int c = 0; c < 3; ++c) {
                        to[c] = PreviewLevel(*state_, state_->levelValue[from[c]]);
                    }
                } else {
                    BYTE f = PreviewLevel(*state_, state_->levelValue[from[0]]);
                    if (state_->width == 0) f = state_->resultInverted ? 255 : 0;
                    const RGBQUAD& colour = state_->colours[f];
                    to[0] = colour.rgbBlue;
                    to[1] = colour.rgbGreen;
                    to[2] = colour.rgbRed;
                }
            }
        }
        return true;
    }

    WindowLevelState* state_;
    const RImage* image_;
    std::vector<WindowPreset> presets_;
    ScreenSurface surface_;
    HFONT font_ = nullptr;
    RECT histogramRect_ = {};
    bool updating_ = false;
    bool drawing_ = false;
    bool inRedraw_ = false;
    bool pending_ = false;
};

bool HasExtension(LPCWSTR path, LPCWSTR extension) {
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = path; *p; ++p) {
        if (*p == u'.') dot = p;
        if (*p == u'\\') dot = nullptr;
    }
    return dot && lstrcmpiW(dot + 1, extension) == 0;
}

}  // namespace

bool OpenWindowLevelDialog(ImageAlbum* album, int row, HWND owner) {
    ImageEntry* entry = album ? album->Entry(row) : nullptr;
    if (!entry || !entry->image || !entry->image->image.header || !entry->image->image.adjustment) {
        return false;
    }
    HCURSOR cursor = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    if (entry->image->image.header->biBitCount < 8) {
        SetCursor(cursor);
        ShowMessage(owner, nullptr, MB_OK | MB_ICONEXCLAMATION, IDS_ERROR, IDS_WL_BPP_ONLY);
        return false;
    }
    WCHAR path[MAX_PATH];
    if (!album->FullPath(row, false, path, MAX_PATH)) {
        SetCursor(cursor);
        return false;
    }
    // The preview: the same file through a copy of the entry's adjustment
    // with the automatic window.
    auto* copy = new (std::nothrow) DisplayAdjustment(*entry->image->image.adjustment);
    if (!copy) {
        SetCursor(cursor);
        return false;
    }
    copy->autoWindow = 1;
    copy->applied = 0;
    PumpMessages();
    ImageFile previewFile;
    previewFile.InitImageFile();
    previewFile.image.adjustment = copy;
    ClearAbortFlag();
    const bool decoded = previewFile.LoadFromPath(path, kPreviewLoadFlags);
    const BITMAPINFOHEADER* header = previewFile.image.header;
    if (!decoded || !header) {
        previewFile.Unload();
        delete copy;
        SetCursor(cursor);
        return false;
    }
    FileWindows windows;
    if (HasExtension(path, u"dcm")) ReadFileWindows(path, &windows);

    WindowLevelState state = {};
    InitWindowLevelState(&state, *entry->image->image.adjustment, *copy, header->biWidth,
                         std::abs(header->biHeight), header->biBitCount);
    ComputeHistogram(&state, header, previewFile.image.pixels);
    SetCursor(cursor);
    INT_PTR result;
    {
        WindowLevelDialog dialog(owner, &state, &previewFile.image, WindowPresets(windows));
        result = dialog.DoModal();
    }
    bool changed = false;
    if (result == IDOK && entry->FindSlot(kAttachmentAdjustment) >= 0) {
        AdjustmentAttachment choices = {state.center, state.width, state.palette,
                                        state.negative ? 1 : 0};
        BYTE data[kAdjustmentAttachmentSize];
        WriteAdjustmentAttachment(choices, data);
        if (entry->SetAttachment(kAttachmentAdjustment, data, kAdjustmentAttachmentSize)) {
            // Decoded anew with the new values when next shown.
            entry->ReleaseImage();
            changed = true;
        }
    }
    ReleaseWindowLevelState(&state);
    previewFile.Unload();
    delete copy;
    return changed;
}
