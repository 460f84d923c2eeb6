// Image lists. Each image is kept in software at the list's size: 32-bit
// pixels (0xAARRGGBB, alpha used only for ILC_COLOR32 images that carry it)
// and a mask (1 = transparent) for lists made with ILC_MASK. Bitmaps and
// icons come in through GDI blits into a 32-bit DIB section; drawing
// composes the image over what the target shows (read back with BitBlt) or
// over the background colour and writes the block back in one blit. Handles
// are checked against the set of live lists, so a stale one fails cleanly.
// One lock guards every list: lists are shared between threads (a toolbar
// and the shell's menu bar may draw the same list).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <vector>

#include "commctrl.h"

struct _IMAGELIST {
    struct Image {
        std::vector<uint32_t> pixels;  // cx * cy, top row first
        std::vector<uint8_t> mask;     // cx * cy, 1 = transparent
        bool alpha = false;
    };
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    int grow = 4;
    COLORREF bk = CLR_NONE;
    std::vector<Image> images;
    int overlays[16];  // overlay 1..15 -> image index, -1 for none
    // Strip bitmaps handed out by ImageList_GetImageInfo, rebuilt after changes.
    HBITMAP stripImage = nullptr;
    HBITMAP stripMask = nullptr;
    bool stripDirty = true;

    bool Masked() const { return (flags & ILC_MASK) != 0; }
    size_t Pixels() const { return static_cast<size_t>(cx) * static_cast<size_t>(cy); }
    Image Blank() const {
        Image im;
        im.pixels.assign(Pixels(), 0);
        im.mask.assign(Pixels(), 0);
        return im;
    }
};

namespace {

using ImageList = _IMAGELIST;

std::mutex& ListLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
std::unordered_set<ImageList*>& Lists() {
    static auto* lists = new std::unordered_set<ImageList*>;
    return *lists;
}

// The list behind a handle, or null (ERROR_INVALID_HANDLE) for a stale one.
// Call with ListLock() held.
ImageList* Find(HIMAGELIST handle) {
    if (handle && Lists().count(handle)) return handle;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

// Images of one list stay far below this; it keeps size arithmetic in range.
constexpr int kMaxSide = 4096;

void FreeStrips(ImageList& l) {
    if (l.stripImage) DeleteObject(l.stripImage);
    if (l.stripMask) DeleteObject(l.stripMask);
    l.stripImage = l.stripMask = nullptr;
    l.stripDirty = true;
}

// A top-down 32-bit DIB section selected into its own memory DC.
class Dib32 {
public:
    Dib32(int width, int height) : w_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = bitmap_ ? CreateCompatibleDC(nullptr) : nullptr;
        if (dc_) old_ = SelectObject(dc_, bitmap_);
    }
    ~Dib32() {
        if (dc_) {
            SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
        if (bitmap_) DeleteObject(bitmap_);
    }
    Dib32(const Dib32&) = delete;
    Dib32& operator=(const Dib32&) = delete;

    bool Ok() const { return dc_ && bits_; }
    HDC dc() const { return dc_; }
    uint32_t& At(int x, int y) { return bits_[static_cast<size_t>(y) * static_cast<size_t>(w_) + static_cast<size_t>(x)]; }

private:
    int w_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

// A caller's bitmap selected into a memory DC for reading.
class SourceDC {
public:
    explicit SourceDC(HBITMAP bitmap) {
        dc_ = CreateCompatibleDC(nullptr);
        if (!dc_) return;
        old_ = SelectObject(dc_, bitmap);
        if (!old_) {
            DeleteDC(dc_);
            dc_ = nullptr;
        }
    }
    ~SourceDC() {
        if (!dc_) return;
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    SourceDC(const SourceDC&) = delete;
    SourceDC& operator=(const SourceDC&) = delete;
    HDC dc() const { return dc_; }

private:
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

bool BitmapSize(HBITMAP bitmap, BITMAP* bm) {
    *bm = {};
    return bitmap && GetObjectW(bitmap, sizeof(BITMAP), bm) != 0 && bm->bmWidth > 0 &&
           bm->bmHeight > 0;
}

uint32_t FromColorRef(COLORREF c) {
    return (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
           GetBValue(c);
}

// Reads a w x h block at (x, y) of a bitmap into 32-bit pixels through a
// blit; a monochrome bitmap reads as black (0) and white (1). The block is
// stretched to outW x outH when the sizes differ.
bool ReadBlock(HBITMAP bitmap, int x, int y, int w, int h, int outW, int outH,
               std::vector<uint32_t>* out) {
    Dib32 dib(outW, outH);
    SourceDC src(bitmap);
    if (!dib.Ok() || !src.dc()) return false;
    // A monochrome source takes the destination's text (0) and background (1).
    SetTextColor(dib.dc(), RGB(0, 0, 0));
    SetBkColor(dib.dc(), RGB(255, 255, 255));
    BOOL ok = (w == outW && h == outH)
                  ? BitBlt(dib.dc(), 0, 0, w, h, src.dc(), x, y, SRCCOPY)
                  : StretchBlt(dib.dc(), 0, 0, outW, outH, src.dc(), x, y, w, h, SRCCOPY);
    if (!ok) return false;
    out->resize(static_cast<size_t>(outW) * static_cast<size_t>(outH));
    for (int row = 0; row < outH; ++row)
        for (int col = 0; col < outW; ++col)
            (*out)[static_cast<size_t>(row) * static_cast<size_t>(outW) + static_cast<size_t>(col)] =
                dib.At(col, row);
    return true;
}

// Image `n` of a strip bitmap at the list's size; rows below the bitmap's
// height stay black. `mask` (optional) is a monochrome strip of the same layout.
bool ReadStripImage(const ImageList& l, HBITMAP image, const BITMAP& bm, HBITMAP mask, int n,
                    ImageList::Image* out) {
    *out = l.Blank();
    int h = std::min(l.cy, static_cast<int>(bm.bmHeight));
    int w = std::min(l.cx, static_cast<int>(bm.bmWidth) - n * l.cx);
    if (w <= 0 || h <= 0) return false;
    std::vector<uint32_t> block;
    if (!ReadBlock(image, n * l.cx, 0, w, h, w, h, &block)) return false;
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = block[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
            out->pixels[static_cast<size_t>(y) * static_cast<size_t>(l.cx) + static_cast<size_t>(x)] = p;
            anyAlpha = anyAlpha || (p >> 24) != 0;
        }
    // 32-bit images with an alpha channel are blended by it in ILC_COLOR32 lists.
    out->alpha = (l.flags & 0xFE) == ILC_COLOR32 && bm.bmBitsPixel == 32 && anyAlpha;
    if (!out->alpha)
        for (uint32_t& p : out->pixels) p &= 0xFFFFFF;
    if (mask && l.Masked()) {
        BITMAP mb;
        if (!BitmapSize(mask, &mb)) return false;
        int mw = std::min(w, static_cast<int>(mb.bmWidth) - n * l.cx), mh = std::min(h, static_cast<int>(mb.bmHeight));
        if (mw > 0 && mh > 0) {
            if (!ReadBlock(mask, n * l.cx, 0, mw, mh, mw, mh, &block)) return false;
            for (int y = 0; y < mh; ++y)
                for (int x = 0; x < mw; ++x)
                    out->mask[static_cast<size_t>(y) * static_cast<size_t>(l.cx) + static_cast<size_t>(x)] =
                        (block[static_cast<size_t>(y) * static_cast<size_t>(mw) + static_cast<size_t>(x)] & 0xFFFFFF) != 0;
        }
    }
    return true;
}

int ImageCountOf(const ImageList& l, const BITMAP& bm) {
    // A bitmap narrower than one image still gives one (cut at the right).
    return std::max(1, static_cast<int>(bm.bmWidth) / l.cx);
}

// Appends images; returns the index of the first or -1.
int Append(ImageList& l, std::vector<ImageList::Image>&& added) {
    if (added.empty()) return -1;
    int first = static_cast<int>(l.images.size());
    for (auto& im : added) l.images.push_back(std::move(im));
    l.stripDirty = true;
    return first;
}

int AddBitmap(ImageList& l, HBITMAP image, HBITMAP mask) {
    BITMAP bm;
    if (!BitmapSize(image, &bm)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    std::vector<ImageList::Image> added;
    int n = ImageCountOf(l, bm);
    for (int i = 0; i < n; ++i) {
        ImageList::Image im;
        if (!ReadStripImage(l, image, bm, mask, i, &im)) return -1;
        added.push_back(std::move(im));
    }
    return Append(l, std::move(added));
}

int AddMasked(ImageList& l, HBITMAP image, COLORREF key) {
    BITMAP bm;
    if (!BitmapSize(image, &bm)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    COLORREF nearest = key;
    {
        SourceDC src(image);
        if (!src.dc()) return -1;
        // CLR_DEFAULT takes the colour of the top-left pixel; the key is
        // compared as the bitmap stores it (a 16-bit bitmap rounds colours).
        if (key == CLR_DEFAULT) key = GetPixel(src.dc(), 0, 0);
        nearest = GetNearestColor(src.dc(), key);
    }
    uint32_t k1 = FromColorRef(key), k2 = FromColorRef(nearest);
    std::vector<ImageList::Image> added;
    int n = ImageCountOf(l, bm);
    int h = std::min(l.cy, static_cast<int>(bm.bmHeight));
    for (int i = 0; i < n; ++i) {
        ImageList::Image im;
        if (!ReadStripImage(l, image, bm, nullptr, i, &im)) return -1;
        int w = std::min(l.cx, static_cast<int>(bm.bmWidth) - i * l.cx);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                size_t at = static_cast<size_t>(y) * static_cast<size_t>(l.cx) + static_cast<size_t>(x);
                uint32_t p = im.pixels[at] & 0xFFFFFF;
                if (p != k1 && p != k2) continue;
                im.mask[at] = 1;
                // As the desktop does: the keyed pixels of the image go black.
                if (l.Masked()) im.pixels[at] = 0;
            }
        added.push_back(std::move(im));
    }
    return Append(l, std::move(added));
}

// An icon at the list's size (stretched when its own size differs).
bool ReadIcon(const ImageList& l, HICON icon, ImageList::Image* out) {
    ICONINFO info = {};
    if (!icon || !GetIconInfo(icon, &info)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    bool ok = false;
    BITMAP mb;
    if (BitmapSize(info.hbmMask, &mb)) {
        int w = mb.bmWidth, h = info.hbmColor ? mb.bmHeight : mb.bmHeight / 2;
        std::vector<uint32_t> mask, color;
        ok = h > 0 && ReadBlock(info.hbmMask, 0, 0, w, h, l.cx, l.cy, &mask);
        // A monochrome icon keeps its picture in the mask's lower half.
        if (ok)
            ok = info.hbmColor ? ReadBlock(info.hbmColor, 0, 0, w, h, l.cx, l.cy, &color)
                               : ReadBlock(info.hbmMask, 0, h, w, h, l.cx, l.cy, &color);
        if (ok) {
            BITMAP cb;
            bool deep = info.hbmColor && BitmapSize(info.hbmColor, &cb) && cb.bmBitsPixel == 32;
            *out = l.Blank();
            bool anyAlpha = false;
            for (size_t i = 0; i < out->pixels.size(); ++i) anyAlpha = anyAlpha || (color[i] >> 24) != 0;
            out->alpha = (l.flags & 0xFE) == ILC_COLOR32 && deep && anyAlpha;
            for (size_t i = 0; i < out->pixels.size(); ++i) {
                out->mask[i] = (mask[i] & 0xFFFFFF) != 0;
                out->pixels[i] = out->alpha ? color[i] : color[i] & 0xFFFFFF;
                // A masked pixel of an icon with a non-black colour inverts the
                // screen; lists cannot do that and leave it transparent.
                if (out->mask[i] && l.Masked()) out->pixels[i] = 0;
            }
        }
    }
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return ok;
}

uint32_t Mix(uint32_t a, uint32_t b, int bWeight /* of 256 */) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        out |= static_cast<uint32_t>((ca * (256 - bWeight) + cb * bWeight) >> 8) << shift;
    }
    return out;
}

COLORREF Resolve(COLORREF c, COLORREF fallback) { return c == CLR_DEFAULT ? fallback : c; }

bool DrawImage(const ImageList& l, int index, HDC dc, int x, int y, int dx, int dy, COLORREF bk,
               COLORREF fg, UINT style) {
    if (index < 0 || index >= static_cast<int>(l.images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const ImageList::Image& im = l.images[static_cast<size_t>(index)];
    int w = dx > 0 ? std::min(dx, l.cx) : l.cx;
    int h = dy > 0 ? std::min(dy, l.cy) : l.cy;
    Dib32 out(w, h);
    if (!out.Ok()) return false;
    bool masked = l.Masked();
    COLORREF background = Resolve(bk, l.bk);
    if (style & ILD_MASK) {
        // The mask alone: black where the image is, white where it is not.
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col)
                out.At(col, row) =
                    masked && im.mask[static_cast<size_t>(row) * static_cast<size_t>(l.cx) + static_cast<size_t>(col)]
                        ? 0xFFFFFF
                        : 0;
        return BitBlt(dc, x, y, w, h, out.dc(), 0, 0, SRCCOPY) != FALSE;
    }
    bool transparent = masked && ((style & ILD_TRANSPARENT) || background == CLR_NONE);
    int blend = (style & ILD_BLEND50) ? 128 : (style & ILD_BLEND25) ? 64 : 0;
    COLORREF blendColor = Resolve(fg, GetSysColor(COLOR_HIGHLIGHT));
    bool blendWithDest = blend && fg == CLR_NONE;
    if (transparent || im.alpha || blendWithDest) {
        // What the target shows under the image.
        BitBlt(out.dc(), 0, 0, w, h, dc, x, y, SRCCOPY);
    } else if (masked) {
        uint32_t b = FromColorRef(background);
        for (int row = 0; row < h; ++row)
            for (int col = 0; col < w; ++col) out.At(col, row) = b;
    }
    uint32_t tint = FromColorRef(blendColor);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            size_t at = static_cast<size_t>(row) * static_cast<size_t>(l.cx) + static_cast<size_t>(col);
            if (masked && im.mask[at]) continue;
            uint32_t under = out.At(col, row) & 0xFFFFFF;
            uint32_t p = im.pixels[at];
            uint32_t c = p & 0xFFFFFF;
            if (im.alpha) c = Mix(under, c, static_cast<int>(p >> 24) + ((p >> 24) > 127 ? 1 : 0));
            if (blend) c = Mix(c, blendWithDest ? under : tint, blend);
            out.At(col, row) = c;
        }
    if (!BitBlt(dc, x, y, w, h, out.dc(), 0, 0, SRCCOPY)) return false;
    unsigned overlay = (style & ILD_OVERLAYMASK) >> 8;
    if (overlay && l.overlays[overlay] >= 0 && l.overlays[overlay] != index)
        DrawImage(l, l.overlays[overlay], dc, x, y, dx, dy, bk, fg,
                  (style & ~static_cast<UINT>(ILD_OVERLAYMASK)) | ILD_TRANSPARENT);
    return true;
}

// The strip bitmaps of ImageList_GetImageInfo: images side by side.
bool BuildStrips(ImageList& l) {
    if (!l.stripDirty && l.stripImage) return true;
    FreeStrips(l);
    int count = std::max<int>(1, static_cast<int>(l.images.size()));
    if (static_cast<int64_t>(count) * l.cx > 32767) return false;
    int width = count * l.cx;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -l.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    l.stripImage = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!l.stripImage || !bits) return false;
    auto* px = static_cast<uint32_t*>(bits);
    size_t stride = (static_cast<size_t>(width) + 15) / 16 * 2;  // monochrome rows: 16-bit padded
    std::vector<uint8_t> maskBits(stride * static_cast<size_t>(l.cy), 0);
    for (size_t i = 0; i < l.images.size(); ++i)
        for (int y = 0; y < l.cy; ++y)
            for (int x = 0; x < l.cx; ++x) {
                size_t at = static_cast<size_t>(y) * static_cast<size_t>(l.cx) + static_cast<size_t>(x);
                size_t sx = i * static_cast<size_t>(l.cx) + static_cast<size_t>(x);
                px[static_cast<size_t>(y) * static_cast<size_t>(width) + sx] = l.images[i].pixels[at];
                if (l.images[i].mask[at])
                    maskBits[static_cast<size_t>(y) * stride + sx / 8] |= static_cast<uint8_t>(0x80 >> (sx % 8));
            }
    if (l.Masked()) l.stripMask = CreateBitmap(width, l.cy, 1, 1, maskBits.data());
    l.stripDirty = false;
    return true;
}

}  // namespace

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
    if (cx <= 0 || cy <= 0 || cx > kMaxSide || cy > kMaxSide || initial < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto l = std::make_unique<ImageList>();
    l->cx = cx;
    l->cy = cy;
    l->flags = flags;
    l->grow = std::max(1, grow);
    std::fill(std::begin(l->overlays), std::end(l->overlays), -1);
    l->images.reserve(static_cast<size_t>(std::min(initial, 1024)));
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* raw = l.release();
    Lists().insert(raw);
    return raw;
}

BOOL ImageList_Destroy(HIMAGELIST handle) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return FALSE;
    Lists().erase(l);
    FreeStrips(*l);
    delete l;
    return TRUE;
}

int ImageList_GetImageCount(HIMAGELIST handle) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    return l ? static_cast<int>(l->images.size()) : 0;
}

BOOL ImageList_SetImageCount(HIMAGELIST handle, UINT count) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l || count > 65536) return FALSE;
    l->images.resize(count, l->Blank());
    l->stripDirty = true;
    return TRUE;
}

int ImageList_Add(HIMAGELIST handle, HBITMAP image, HBITMAP mask) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    return l ? AddBitmap(*l, image, mask) : -1;
}

int ImageList_AddMasked(HIMAGELIST handle, HBITMAP image, COLORREF maskColor) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    return l ? AddMasked(*l, image, maskColor) : -1;
}

int ImageList_ReplaceIcon(HIMAGELIST handle, int index, HICON icon) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return -1;
    if (index < -1 || index >= static_cast<int>(l->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    ImageList::Image im;
    if (!ReadIcon(*l, icon, &im)) return -1;
    l->stripDirty = true;
    if (index == -1) {
        l->images.push_back(std::move(im));
        return static_cast<int>(l->images.size()) - 1;
    }
    l->images[static_cast<size_t>(index)] = std::move(im);
    return index;
}

BOOL ImageList_Replace(HIMAGELIST handle, int index, HBITMAP image, HBITMAP mask) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return FALSE;
    BITMAP bm;
    if (index < 0 || index >= static_cast<int>(l->images.size()) || !BitmapSize(image, &bm)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ImageList::Image im;
    if (!ReadStripImage(*l, image, bm, mask, 0, &im)) return FALSE;
    l->images[static_cast<size_t>(index)] = std::move(im);
    l->stripDirty = true;
    return TRUE;
}

BOOL ImageList_Remove(HIMAGELIST handle, int index) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return FALSE;
    if (index == -1) {
        l->images.clear();
    } else {
        if (index < 0 || index >= static_cast<int>(l->images.size())) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        l->images.erase(l->images.begin() + index);
    }
    l->stripDirty = true;
    return TRUE;
}

COLORREF ImageList_SetBkColor(HIMAGELIST handle, COLORREF color) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return CLR_NONE;
    COLORREF old = l->bk;
    l->bk = color;
    return old;
}

COLORREF ImageList_GetBkColor(HIMAGELIST handle) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    return l ? l->bk : CLR_NONE;
}

BOOL ImageList_SetOverlayImage(HIMAGELIST handle, int image, int overlay) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return FALSE;
    if (overlay < 1 || overlay > 15 || image < -1 || image >= static_cast<int>(l->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    l->overlays[overlay] = image;
    return TRUE;
}

BOOL ImageList_Draw(HIMAGELIST handle, int index, HDC dc, int x, int y, UINT style) {
    return ImageList_DrawEx(handle, index, dc, x, y, 0, 0, CLR_DEFAULT, CLR_DEFAULT, style);
}

BOOL ImageList_DrawEx(HIMAGELIST handle, int index, HDC dc, int x, int y, int dx, int dy,
                      COLORREF background, COLORREF foreground, UINT style) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l || !dc) return FALSE;
    return DrawImage(*l, index, dc, x, y, dx, dy, background, foreground, style) ? TRUE : FALSE;
}

HICON ImageList_GetIcon(HIMAGELIST handle, int index, UINT flags) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return nullptr;
    if (index < 0 || index >= static_cast<int>(l->images.size())) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const ImageList::Image& im = l->images[static_cast<size_t>(index)];
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = l->cx;
    info.bmiHeader.biHeight = -l->cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!color || !bits) {
        if (color) DeleteObject(color);
        return nullptr;
    }
    size_t stride = (static_cast<size_t>(l->cx) + 15) / 16 * 2;
    std::vector<uint8_t> maskBits(stride * static_cast<size_t>(l->cy), 0);
    auto* px = static_cast<uint32_t*>(bits);
    bool masked = l->Masked() && !(flags & ILD_MASK);
    for (int y = 0; y < l->cy; ++y)
        for (int x = 0; x < l->cx; ++x) {
            size_t at = static_cast<size_t>(y) * static_cast<size_t>(l->cx) + static_cast<size_t>(x);
            bool clear = masked && im.mask[at];
            px[at] = clear ? 0 : (im.pixels[at] & 0xFFFFFF);
            if (clear) maskBits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        }
    HBITMAP mask = CreateBitmap(l->cx, l->cy, 1, 1, maskBits.data());
    ICONINFO ii = {};
    ii.fIcon = TRUE;
    ii.hbmColor = color;
    ii.hbmMask = mask;
    HICON icon = mask ? CreateIconIndirect(&ii) : nullptr;
    DeleteObject(color);
    if (mask) DeleteObject(mask);
    return icon;
}

BOOL ImageList_GetIconSize(HIMAGELIST handle, int* cx, int* cy) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l || !cx || !cy) return FALSE;
    *cx = l->cx;
    *cy = l->cy;
    return TRUE;
}

BOOL ImageList_SetIconSize(HIMAGELIST handle, int cx, int cy) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return FALSE;
    if (cx <= 0 || cy <= 0 || cx > kMaxSide || cy > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // As on the desktop, a new size empties the list.
    l->cx = cx;
    l->cy = cy;
    l->images.clear();
    l->stripDirty = true;
    return TRUE;
}

BOOL ImageList_GetImageInfo(HIMAGELIST handle, int index, IMAGEINFO* info) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l || !info || index < 0 || index >= static_cast<int>(l->images.size())) return FALSE;
    if (!BuildStrips(*l)) return FALSE;
    info->hbmImage = l->stripImage;
    info->hbmMask = l->stripMask;
    info->Unused1 = info->Unused2 = 0;
    info->rcImage = RECT{index * l->cx, 0, (index + 1) * l->cx, l->cy};
    return TRUE;
}

HIMAGELIST ImageList_Duplicate(HIMAGELIST handle) {
    std::lock_guard<std::mutex> guard(ListLock());
    ImageList* l = Find(handle);
    if (!l) return nullptr;
    auto copy = std::make_unique<ImageList>();
    copy->cx = l->cx;
    copy->cy = l->cy;
    copy->flags = l->flags;
    copy->grow = l->grow;
    copy->bk = l->bk;
    copy->images = l->images;
    std::copy(std::begin(l->overlays), std::end(l->overlays), std::begin(copy->overlays));
    ImageList* raw = copy.release();
    Lists().insert(raw);
    return raw;
}

HIMAGELIST ImageList_LoadImageW(HINSTANCE instance, LPCWSTR name, int cx, int grow,
                                COLORREF maskColor, UINT type, UINT flags) {
    if (type != IMAGE_BITMAP || cx <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, flags));
    BITMAP bm;
    if (!BitmapSize(bitmap, &bm)) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    UINT depth = bm.bmBitsPixel >= 32 ? ILC_COLOR32 : bm.bmBitsPixel >= 24 ? ILC_COLOR24
                 : bm.bmBitsPixel >= 16 ? ILC_COLOR16 : ILC_COLOR;
    UINT listFlags = depth | (maskColor != CLR_NONE ? ILC_MASK : 0);
    int count = std::max(1, static_cast<int>(bm.bmWidth) / cx);
    HIMAGELIST list = ImageList_Create(cx, bm.bmHeight, listFlags, count, grow);
    if (list) {
        int first = maskColor != CLR_NONE ? ImageList_AddMasked(list, bitmap, maskColor)
                                          : ImageList_Add(list, bitmap, nullptr);
        if (first < 0) {
            ImageList_Destroy(list);
            list = nullptr;
        }
    }
    DeleteObject(bitmap);
    return list;
}
