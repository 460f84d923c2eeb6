// The toolbar ("ToolbarWindow32") and the Windows CE command bar built on it:
// a row of image buttons along the top of the parent. Images come from
// bitmap strips added with TB_ADDBITMAP (light grey, RGB(192, 192, 192), is
// transparent, as the system maps it to the button face) or from an image
// list. A tap on an enabled button sends WM_COMMAND (id, BN_CLICKED) to the
// parent; check buttons toggle and check groups keep one button checked.
// Disabled buttons draw from the disabled image list when one is set, else
// embossed in grey. Buttons without an image (I_IMAGENONE) show their text,
// as a menu bar's menu buttons do; with TBSTYLE_LIST text follows the image.
// Tooltips come from the toolbar's tooltip control, with texts from the CE
// string array or asked of the parent.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "controls/bar_controls.h"
#include "controls/common_controls.h"

namespace {

constexpr int kSeparatorWidth = 6;
constexpr int kPadTop = 2;
constexpr int kPadBottom = 2;
constexpr int kTextPad = 6;  // text buttons: room left and right of the contents
constexpr int kTextGap = 3;  // between an image and its text
constexpr COLORREF kStripTransparent = RGB(192, 192, 192);
constexpr COLORREF kGreyKey = RGB(255, 0, 255);
constexpr WORD kClicked = 0;  // BN_CLICKED
// The ANSI message numbers of adding and inserting buttons; the layer is
// Unicode throughout, so they take the same buttons.
constexpr UINT kAddButtonsA = WM_USER + 20;
constexpr UINT kInsertButtonA = WM_USER + 21;

struct Button {
    int bitmap = 0;
    int command = 0;
    BYTE state = 0;
    BYTE style = 0;
    DWORD_PTR data = 0;
    INT_PTR string = -1;    // as given: an index into the toolbar's strings or a pointer
    std::u16string text;    // copy of a string given by pointer
    int width = 0;          // TBIF_SIZE; 0: the toolbar's button width
    RECT rect = {0, 0, 0, 0};

    bool Separator() const { return (style & TBSTYLE_SEP) != 0; }
    bool Hidden() const { return (state & TBSTATE_HIDDEN) != 0; }
};

struct Strip {
    HBITMAP bitmap = nullptr;
    bool owned = false;
    int first = 0;
    int count = 0;
};

struct Toolbar {
    HWND hwnd = nullptr;
    std::vector<Button> buttons;
    std::vector<Strip> strips;
    int imageCount = 0;
    SIZE bitmapSize = {16, 16};
    SIZE buttonSize = {23, 22};
    // 2 on the large screens: images are drawn doubled, as high-resolution
    // handhelds showed programs' 16-pixel toolbar images; bitmapSize stays
    // the images' own size.
    int scale = 1;
    bool buttonSizeSet = false;
    size_t structSize = sizeof(TBBUTTON);
    HIMAGELIST images = nullptr;
    HIMAGELIST disabledImages = nullptr;
    HIMAGELIST hotImages = nullptr;
    std::vector<std::u16string> strings;
    HWND tooltip = nullptr;
    bool ownsTooltip = false;
    std::vector<int> tipIds;   // command ids registered as tools
    const LPCWSTR* tipStrings = nullptr;  // the CE form of TB_SETTOOLTIPS
    UINT tipCount = 0;
    HWND notify = nullptr;     // TB_SETPARENT; the parent when null
    int pressed = -1;          // the button the pen holds
    int indent = 0;
    int rows = 1;
    HFONT font = nullptr;
};

DWORD Style(HWND hwnd) { return static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)); }

HWND NotifyTarget(const Toolbar& tb) { return tb.notify ? tb.notify : GetParent(tb.hwnd); }

int IndexOf(const Toolbar& tb, int command) {
    for (size_t i = 0; i < tb.buttons.size(); ++i)
        if (tb.buttons[i].command == command) return static_cast<int>(i);
    return -1;
}

Button* ByCommand(Toolbar& tb, WPARAM command) {
    int i = IndexOf(tb, static_cast<int>(command));
    return i < 0 ? nullptr : &tb.buttons[static_cast<size_t>(i)];
}

// ---- Layout ----

std::u16string TextOf(const Toolbar& tb, const Button& b) {
    if (!b.text.empty()) return b.text;
    if (b.string >= 0 && static_cast<size_t>(b.string) < tb.strings.size())
        return tb.strings[static_cast<size_t>(b.string)];
    return {};
}

// Text shows on buttons without an image (the menu buttons of a menu bar)
// and, with TBSTYLE_LIST, to the right of the image.
bool ShowsText(const Toolbar& tb, const Button& b) {
    return !b.Separator() && (b.bitmap < 0 || (GetWindowLongW(tb.hwnd, GWL_STYLE) & TBSTYLE_LIST)) &&
           !TextOf(tb, b).empty();
}

int TextWidth(const Toolbar& tb, const std::u16string& text) {
    HDC dc = GetDC(tb.hwnd);
    HGDIOBJ old = SelectObject(dc, bars::FontOr(tb.font));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(tb.hwnd, dc);
    return size.cx;
}

int ButtonWidth(const Toolbar& tb, const Button& b) {
    if (b.Separator()) return b.bitmap > 0 ? b.bitmap : kSeparatorWidth;
    if (b.width > 0) return b.width;
    if (!ShowsText(tb, b)) return tb.buttonSize.cx;
    int need = (b.bitmap >= 0 ? tb.bitmapSize.cx * tb.scale + kTextGap : 0) + TextWidth(tb, TextOf(tb, b)) + 2 * kTextPad;
    return (b.style & TBSTYLE_AUTOSIZE) ? need : std::max(static_cast<int>(tb.buttonSize.cx), need);
}

int IdealHeight(const Toolbar& tb) { return kPadTop + tb.rows * tb.buttonSize.cy + kPadBottom; }

void SyncTools(Toolbar& tb);

void Layout(Toolbar& tb) {
    RECT client;
    GetClientRect(tb.hwnd, &client);
    bool wrap = (Style(tb.hwnd) & TBSTYLE_WRAPABLE) != 0;
    int x = tb.indent, y = kPadTop, rows = 1;
    for (Button& b : tb.buttons) {
        if (b.Hidden()) {
            b.rect = {0, 0, 0, 0};
            continue;
        }
        int w = ButtonWidth(tb, b);
        if (wrap && x > tb.indent && x + w > client.right && !b.Separator()) {
            x = tb.indent;
            y += tb.buttonSize.cy;
            ++rows;
        }
        b.rect = {x, y, x + w, y + tb.buttonSize.cy};
        x += w;
        if (b.state & TBSTATE_WRAP) {
            x = tb.indent;
            y += tb.buttonSize.cy;
            ++rows;
        }
    }
    tb.rows = rows;
    SyncTools(tb);
    InvalidateRect(tb.hwnd, nullptr, TRUE);
}

// Fits the toolbar to its parent: the parent's width, as high as its rows,
// along the top (or the bottom with CCS_BOTTOM).
void AutoSize(Toolbar& tb) {
    DWORD style = Style(tb.hwnd);
    HWND parent = GetParent(tb.hwnd);
    if ((style & CCS_NORESIZE) || !parent) {
        Layout(tb);
        return;
    }
    RECT pr, own;
    GetClientRect(parent, &pr);
    GetWindowRect(tb.hwnd, &own);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&own), 2);
    int height = IdealHeight(tb);
    int x = 0, y = 0, width = pr.right;
    if (style & CCS_NOPARENTALIGN) {
        x = own.left;
        y = own.top;
        width = own.right - own.left;
    } else if ((style & CCS_BOTTOM) == CCS_BOTTOM) {
        y = pr.bottom - height;
    } else if ((style & CCS_BOTTOM) == CCS_NOMOVEY) {
        y = own.top;
    }
    SetWindowPos(tb.hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout(tb);
    // Wrapping may have changed the number of rows.
    if (IdealHeight(tb) != height)
        SetWindowPos(tb.hwnd, nullptr, 0, 0, width, IdealHeight(tb),
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

int HitButton(const Toolbar& tb, POINT p) {
    for (size_t i = 0; i < tb.buttons.size(); ++i) {
        const Button& b = tb.buttons[i];
        if (!b.Hidden() && !b.Separator() && PtInRect(&b.rect, p)) return static_cast<int>(i);
    }
    return -1;
}

// ---- Tooltips ----

void CreateOwnTooltip(Toolbar& tb) {
    if (tb.tooltip) return;
    tb.tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                 0, 0, 0, 0, tb.hwnd, nullptr, nullptr, nullptr);
    tb.ownsTooltip = tb.tooltip != nullptr;
}

void SyncTools(Toolbar& tb) {
    if (!tb.tooltip || !IsWindow(tb.tooltip)) return;
    TOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = tb.hwnd;
    for (int id : tb.tipIds) {
        ti.uId = static_cast<UINT_PTR>(id);
        SendMessageW(tb.tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    tb.tipIds.clear();
    for (const Button& b : tb.buttons) {
        if (b.Separator() || b.Hidden()) continue;
        ti.uId = static_cast<UINT_PTR>(b.command);
        ti.rect = b.rect;
        ti.lpszText = LPSTR_TEXTCALLBACKW;
        SendMessageW(tb.tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
        tb.tipIds.push_back(b.command);
    }
}

void RelayToTooltip(const Toolbar& tb, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!tb.tooltip) return;
    MSG msg = {tb.hwnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {0, 0}};
    SendMessageW(tb.tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

// The tooltip asks for a button's text: the CE string array answers when it
// has a string for the button, else the parent is asked.
LRESULT OnTooltipNotify(Toolbar& tb, NMHDR* header) {
    if (header->code == TTN_GETDISPINFOW && tb.tipStrings) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        UINT n = 0;
        for (const Button& b : tb.buttons) {
            if (b.Separator()) continue;
            if (b.command == static_cast<int>(header->idFrom)) {
                if (n < tb.tipCount && tb.tipStrings[n]) {
                    info->lpszText = const_cast<LPWSTR>(tb.tipStrings[n]);
                    return 0;
                }
                break;
            }
            ++n;
        }
    }
    HWND target = NotifyTarget(tb);
    return target ? SendMessageW(target, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header))
                  : 0;
}

// ---- Buttons ----

Button FromTbButton(const Toolbar& tb, const BYTE* raw) {
    TBBUTTON in = {};
    std::memcpy(&in, raw, std::min(tb.structSize, sizeof(TBBUTTON)));
    Button b;
    b.bitmap = in.iBitmap;
    b.command = in.idCommand;
    b.state = in.fsState;
    b.style = in.fsStyle;
    b.data = in.dwData;
    b.string = in.iString;
    if (in.iString != -1 && !IS_INTRESOURCE(in.iString))
        b.text = reinterpret_cast<LPCWSTR>(in.iString);
    return b;
}

bool InsertButtons(Toolbar& tb, size_t at, size_t count, const void* data) {
    if (!data || tb.structSize == 0) return false;
    const BYTE* raw = static_cast<const BYTE*>(data);
    at = std::min(at, tb.buttons.size());
    for (size_t i = 0; i < count; ++i)
        tb.buttons.insert(tb.buttons.begin() + static_cast<std::ptrdiff_t>(at + i),
                          FromTbButton(tb, raw + i * tb.structSize));
    Layout(tb);
    return true;
}

// Checks a button; in a check group the group's other buttons are unchecked.
// A group is the run of adjacent TBSTYLE_GROUP buttons around the button.
void Check(Toolbar& tb, size_t index, bool check) {
    Button& b = tb.buttons[index];
    if (check && (b.style & TBSTYLE_GROUP)) {
        auto uncheck = [&](size_t i) { tb.buttons[i].state &= static_cast<BYTE>(~TBSTATE_CHECKED); };
        for (size_t i = index; i-- > 0 && (tb.buttons[i].style & TBSTYLE_GROUP) &&
                               !tb.buttons[i].Separator();)
            uncheck(i);
        for (size_t i = index + 1; i < tb.buttons.size() && (tb.buttons[i].style & TBSTYLE_GROUP) &&
                                   !tb.buttons[i].Separator();
             ++i)
            uncheck(i);
    }
    if (check) b.state |= TBSTATE_CHECKED;
    else b.state &= static_cast<BYTE>(~TBSTATE_CHECKED);
}

LRESULT SetStateBit(Toolbar& tb, WPARAM command, BYTE bit, bool on) {
    Button* b = ByCommand(tb, command);
    if (!b) return FALSE;
    BYTE old = b->state;
    if (on) b->state |= bit;
    else b->state &= static_cast<BYTE>(~bit);
    if (bit == TBSTATE_ENABLED && !on && tb.pressed == static_cast<int>(b - tb.buttons.data())) {
        b->state &= static_cast<BYTE>(~TBSTATE_PRESSED);
        tb.pressed = -1;
        if (GetCapture() == tb.hwnd) ReleaseCapture();
    }
    if (old != b->state) {
        if ((old ^ b->state) & TBSTATE_HIDDEN) Layout(tb);
        else InvalidateRect(tb.hwnd, &b->rect, TRUE);
    }
    return TRUE;
}

// ---- Images ----

int AddBitmap(Toolbar& tb, UINT count, const TBADDBITMAP* add) {
    if (!add || add->hInst == HINST_COMMCTRL) return -1;  // no system button images here
    Strip strip;
    if (add->hInst) {
        strip.bitmap = LoadBitmapW(add->hInst, MAKEINTRESOURCEW(add->nID));
        strip.owned = true;
    } else {
        strip.bitmap = reinterpret_cast<HBITMAP>(add->nID);
    }
    BITMAP info;
    if (!strip.bitmap || GetObjectW(strip.bitmap, sizeof(info), &info) == 0) {
        if (strip.owned && strip.bitmap) DeleteObject(strip.bitmap);
        return -1;
    }
    strip.count = count ? static_cast<int>(count)
                        : info.bmWidth / std::max<int>(1, static_cast<int>(tb.bitmapSize.cx));
    strip.first = tb.imageCount;
    tb.imageCount += strip.count;
    tb.strips.push_back(strip);
    InvalidateRect(tb.hwnd, nullptr, TRUE);
    return strip.first;
}

// Draws image `index` at (x, y) in its normal colours.
void DrawImage(const Toolbar& tb, HDC dc, int index, int x, int y) {
    if (index < 0) return;
    if (tb.images) {
        ImageList_Draw(tb.images, index, dc, x, y, ILD_TRANSPARENT);
        return;
    }
    for (const Strip& s : tb.strips) {
        if (index < s.first || index >= s.first + s.count) continue;
        int w = tb.bitmapSize.cx, h = tb.bitmapSize.cy;
        TransparentImage(dc, x, y, w, h, s.bitmap, (index - s.first) * w, 0, w, h,
                         kStripTransparent);
        return;
    }
}

// A disabled image without a disabled image list: the image's shape in the
// shadow colour over a highlight copy one pixel down and right.
void DrawGreyed(const Toolbar& tb, HDC dc, int index, int x, int y) {
    int w = tb.bitmapSize.cx, h = tb.bitmapSize.cy;
    if (w <= 0 || h <= 0 || w > 1024 || h > 1024) return;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w + 1;
    bi.bmiHeader.biHeight = -(h + 1);  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* sourceBits = nullptr;
    void* outBits = nullptr;
    HBITMAP source = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &sourceBits, nullptr, 0);
    HBITMAP out = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &outBits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    if (source && out && memory && sourceBits && outBits) {
        const uint32_t key = 0x00FF00FF;  // kGreyKey as a 32-bit DIB pixel
        auto* src = static_cast<uint32_t*>(sourceBits);
        auto* dst = static_cast<uint32_t*>(outBits);
        size_t pixels = static_cast<size_t>(w + 1) * static_cast<size_t>(h + 1);
        std::fill(src, src + pixels, key);
        std::fill(dst, dst + pixels, key);
        HGDIOBJ old = SelectObject(memory, source);
        DrawImage(tb, memory, index, 0, 0);
        COLORREF hi = GetSysColor(COLOR_BTNHIGHLIGHT), sh = GetSysColor(COLOR_BTNSHADOW);
        auto pixel = [](COLORREF c) {
            return static_cast<uint32_t>(GetBValue(c)) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
                   (static_cast<uint32_t>(GetRValue(c)) << 16);
        };
        size_t stride = static_cast<size_t>(w + 1);
        for (int pass = 0; pass < 2; ++pass) {
            uint32_t value = pixel(pass == 0 ? hi : sh);
            int shift = pass == 0 ? 1 : 0;
            for (int row = 0; row < h; ++row)
                for (int col = 0; col < w; ++col)
                    if ((src[static_cast<size_t>(row) * stride + static_cast<size_t>(col)] & 0xFFFFFF) != key)
                        dst[static_cast<size_t>(row + shift) * stride + static_cast<size_t>(col + shift)] = value;
        }
        SelectObject(memory, out);
        TransparentImage(dc, x, y, w + 1, h + 1, memory, 0, 0, w + 1, h + 1, kGreyKey);
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    if (source) DeleteObject(source);
    if (out) DeleteObject(out);
}

// The size a button takes for images of the toolbar's bitmap size.
SIZE DefaultButtonSize(const Toolbar& tb) {
    return {tb.bitmapSize.cx * tb.scale + 7, tb.bitmapSize.cy * tb.scale + 6};
}

// Draws a button's image in its state at (x, y). On the large screens the
// image is drawn at its own size into a keyed memory bitmap and stretched
// from there, so every source (strips, image lists, the greyed shape)
// doubles the same way.
void DrawButtonImage(const Toolbar& tb, HDC dc, int index, bool normal, int x, int y) {
    // A disabled image list may hold fewer images than the strip: a
    // button past its end is greyed from its own image, never blank.
    const bool hasDisabledImage =
        tb.disabledImages && index < ImageList_GetImageCount(tb.disabledImages);
    auto draw = [&](HDC target, int atX, int atY) {
        if (normal) DrawImage(tb, target, index, atX, atY);
        else if (hasDisabledImage) ImageList_Draw(tb.disabledImages, index, target, atX, atY, ILD_TRANSPARENT);
        else DrawGreyed(tb, target, index, atX, atY);
    };
    if (tb.scale == 1) {
        draw(dc, x, y);
        return;
    }
    // One pixel more each way: the greyed shape's highlight lies down and right.
    const int w = tb.bitmapSize.cx + 1, h = tb.bitmapSize.cy + 1;
    if (w <= 1 || h <= 1 || w > 1024 || h > 1024) return;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    if (image && memory && bits) {
        auto* pixels = static_cast<uint32_t*>(bits);
        std::fill(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h), 0x00FF00FFu);  // kGreyKey
        HGDIOBJ old = SelectObject(memory, image);
        draw(memory, 0, 0);
        TransparentImage(dc, x, y, w * tb.scale, h * tb.scale, memory, 0, 0, w, h, kGreyKey);
        SelectObject(memory, old);
    }
    if (memory) DeleteDC(memory);
    if (image) DeleteObject(image);
}

// ---- Painting ----

void DrawButton(const Toolbar& tb, HDC dc, const Button& b, bool flat) {
    RECT r = b.rect;
    if (b.Separator()) {
        if (flat) {
            int x = (r.left + r.right) / 2 - 1;
            RECT line = {x, r.top + 2, x + 2, r.bottom - 2};
            DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT);
        }
        return;
    }
    bool enabled = (b.state & TBSTATE_ENABLED) != 0;
    bool pressed = (b.state & TBSTATE_PRESSED) != 0;
    bool checked = (b.state & TBSTATE_CHECKED) != 0;
    bool indeterminate = (b.state & TBSTATE_INDETERMINATE) != 0;
    if (pressed || checked) {
        RECT inside = r;
        DrawEdge(dc, &inside, flat ? BDR_SUNKENOUTER : EDGE_SUNKEN, BF_RECT | BF_ADJUST);
        if (checked && !pressed) bars::FillSys(dc, inside, COLOR_3DLIGHT);
    } else if (!flat) {
        RECT edge = r;
        DrawEdge(dc, &edge, EDGE_RAISED, BF_RECT | BF_SOFT);
    }
    bool text = ShowsText(tb, b);
    const int imageWidth = tb.bitmapSize.cx * tb.scale, imageHeight = tb.bitmapSize.cy * tb.scale;
    int x = text ? r.left + kTextPad : r.left + (r.right - r.left - imageWidth) / 2;
    int y = r.top + (r.bottom - r.top - imageHeight) / 2;
    int shift = pressed || checked ? 1 : 0;
    x += shift;
    y += shift;
    if (b.bitmap >= 0) {
        DrawButtonImage(tb, dc, b.bitmap, enabled && !indeterminate, x, y);
        x += imageWidth + kTextGap;
    }
    if (!text) return;
    std::u16string label = TextOf(tb, b);
    RECT box = {x, r.top + shift, r.right - kTextPad + shift, r.bottom + shift};
    HGDIOBJ old = SelectObject(dc, bars::FontOr(tb.font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &box,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | ((b.style & TBSTYLE_NOPREFIX) ? DT_NOPREFIX : 0));
    SelectObject(dc, old);
}

void Paint(Toolbar& tb) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(tb.hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(tb.hwnd, &client);
    bars::FillSys(dc, client, COLOR_BTNFACE);
    DWORD style = Style(tb.hwnd);
    if (!(style & CCS_NODIVIDER)) {
        bars::Line(dc, 0, 0, client.right, 0, GetSysColor(COLOR_BTNSHADOW));
        bars::Line(dc, 0, 1, client.right, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    }
    bool flat = (style & TBSTYLE_FLAT) != 0;
    for (const Button& b : tb.buttons) {
        RECT overlap;
        if (!b.Hidden() && IntersectRect(&overlap, &b.rect, &ps.rcPaint)) DrawButton(tb, dc, b, flat);
    }
    EndPaint(tb.hwnd, &ps);
}

// ---- Pen ----

void OnPenDown(Toolbar& tb, POINT p) {
    int i = HitButton(tb, p);
    if (i < 0) return;
    Button& b = tb.buttons[static_cast<size_t>(i)];
    if (!(b.state & TBSTATE_ENABLED)) return;
    if (b.style & TBSTYLE_DROPDOWN) {
        NMTOOLBARW nm = {};
        nm.iItem = b.command;
        nm.rcButton = b.rect;
        HWND self = tb.hwnd;
        LRESULT answer = bars::SendNotify(self, &nm.hdr, TBN_DROPDOWN, NotifyTarget(tb));
        // The parent may have done anything, the toolbar's end included.
        if (!IsWindow(self) || answer != TBDDRET_TREATPRESSED) return;
        i = HitButton(tb, p);
        if (i < 0) return;
    }
    tb.pressed = i;
    tb.buttons[static_cast<size_t>(i)].state |= TBSTATE_PRESSED;
    SetCapture(tb.hwnd);
    InvalidateRect(tb.hwnd, &tb.buttons[static_cast<size_t>(i)].rect, TRUE);
}

void OnPenMove(Toolbar& tb, POINT p) {
    if (tb.pressed < 0 || static_cast<size_t>(tb.pressed) >= tb.buttons.size()) return;
    Button& b = tb.buttons[static_cast<size_t>(tb.pressed)];
    bool inside = PtInRect(&b.rect, p) != FALSE;
    bool shown = (b.state & TBSTATE_PRESSED) != 0;
    if (inside == shown) return;
    if (inside) b.state |= TBSTATE_PRESSED;
    else b.state &= static_cast<BYTE>(~TBSTATE_PRESSED);
    InvalidateRect(tb.hwnd, &b.rect, TRUE);
}

void OnPenUp(Toolbar& tb, POINT p) {
    int i = tb.pressed;
    tb.pressed = -1;
    if (GetCapture() == tb.hwnd) ReleaseCapture();
    if (i < 0 || static_cast<size_t>(i) >= tb.buttons.size()) return;
    Button& b = tb.buttons[static_cast<size_t>(i)];
    b.state &= static_cast<BYTE>(~TBSTATE_PRESSED);
    InvalidateRect(tb.hwnd, nullptr, TRUE);
    if (!PtInRect(&b.rect, p) || !(b.state & TBSTATE_ENABLED)) return;
    if (b.style & TBSTYLE_CHECK) {
        if (b.style & TBSTYLE_GROUP) Check(tb, static_cast<size_t>(i), true);
        else Check(tb, static_cast<size_t>(i), !(b.state & TBSTATE_CHECKED));
    }
    // Last: the command may destroy the toolbar (a menu bar being replaced).
    int command = b.command;
    HWND self = tb.hwnd, target = NotifyTarget(tb);
    UpdateWindow(self);
    if (target)
        SendMessageW(target, WM_COMMAND, MAKEWPARAM(command, kClicked), reinterpret_cast<LPARAM>(self));
}

// ---- Messages ----

LRESULT ButtonInfo(Toolbar& tb, UINT message, WPARAM wParam, TBBUTTONINFOW* info) {
    if (!info || info->cbSize < sizeof(TBBUTTONINFOW)) return -1;
    int index = (info->dwMask & TBIF_BYINDEX) ? static_cast<int>(wParam)
                                              : IndexOf(tb, static_cast<int>(wParam));
    if (index < 0 || static_cast<size_t>(index) >= tb.buttons.size())
        return message == TB_GETBUTTONINFOW ? -1 : FALSE;
    Button& b = tb.buttons[static_cast<size_t>(index)];
    DWORD mask = info->dwMask;
    if (message == TB_GETBUTTONINFOW) {
        if (mask & TBIF_COMMAND) info->idCommand = b.command;
        if (mask & TBIF_IMAGE) info->iImage = b.bitmap;
        if (mask & TBIF_STATE) info->fsState = b.state;
        if (mask & TBIF_STYLE) info->fsStyle = b.style;
        if (mask & TBIF_LPARAM) info->lParam = b.data;
        if (mask & TBIF_SIZE) info->cx = static_cast<WORD>(b.rect.right - b.rect.left);
        if ((mask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
            std::u16string text = TextOf(tb, b);
            size_t n = std::min(text.size(), static_cast<size_t>(info->cchText - 1));
            std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), info->pszText);
            info->pszText[n] = 0;
        }
        return index;
    }
    if (mask & TBIF_COMMAND) b.command = info->idCommand;
    if (mask & TBIF_IMAGE) b.bitmap = info->iImage;
    if (mask & TBIF_STATE) b.state = info->fsState;
    if (mask & TBIF_STYLE) b.style = info->fsStyle;
    if (mask & TBIF_LPARAM) b.data = info->lParam;
    if (mask & TBIF_SIZE) b.width = info->cx;
    if ((mask & TBIF_TEXT) && info->pszText) {
        b.text = info->pszText;
        b.string = -1;
    }
    Layout(tb);
    return TRUE;
}

LRESULT AddStrings(Toolbar& tb, HINSTANCE instance, LPARAM lParam) {
    LRESULT first = static_cast<LRESULT>(tb.strings.size());
    if (instance) {
        // A string resource whose first character separates the strings.
        std::u16string all = bars::TextOrResource(instance, MAKEINTRESOURCEW(LOWORD(lParam)));
        if (all.empty()) return -1;
        char16_t separator = all[0];
        size_t start = 1;
        while (start <= all.size()) {
            size_t end = all.find(separator, start);
            if (end == std::u16string::npos) end = all.size();
            if (end > start || end < all.size()) tb.strings.push_back(all.substr(start, end - start));
            start = end + 1;
        }
        return first;
    }
    // Strings one after another, each ended by a NUL, the list by another.
    LPCWSTR p = reinterpret_cast<LPCWSTR>(lParam);
    if (!p) return -1;
    while (*p) {
        std::u16string s(p);
        p += s.size() + 1;
        tb.strings.push_back(std::move(s));
    }
    return first;
}

LRESULT CALLBACK ToolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Toolbar* tb = bars::StateOf<Toolbar>(hwnd);
    if (!tb) {
        if (message != WM_CREATE) return DefWindowProcW(hwnd, message, wParam, lParam);
        tb = new Toolbar;
        tb->hwnd = hwnd;
        tb->scale = std::max(1, GetSystemMetrics(SM_CXBORDER));
        tb->buttonSize = DefaultButtonSize(*tb);
        bars::SetState(hwnd, tb);
        if (Style(hwnd) & TBSTYLE_TOOLTIPS) CreateOwnTooltip(*tb);
        AutoSize(*tb);
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
        if (tb->ownsTooltip && tb->tooltip) DestroyWindow(tb->tooltip);
        tb->tooltip = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCDESTROY:
        bars::SetState(hwnd, nullptr);
        for (const Strip& s : tb->strips)
            if (s.owned) DeleteObject(s.bitmap);
        delete tb;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        Paint(*tb);
        return 0;
    case WM_SIZE:
        Layout(*tb);
        return 0;
    case WM_SETFONT:
        tb->font = reinterpret_cast<HFONT>(wParam);
        Layout(*tb);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(tb->font);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        RelayToTooltip(*tb, WM_LBUTTONDOWN, wParam, lParam);
        OnPenDown(*tb, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSEMOVE:
        RelayToTooltip(*tb, message, wParam, lParam);
        OnPenMove(*tb, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_LBUTTONUP:
        RelayToTooltip(*tb, message, wParam, lParam);
        OnPenUp(*tb, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_CAPTURECHANGED:
        if (tb->pressed >= 0 && reinterpret_cast<HWND>(lParam) != hwnd) {
            if (static_cast<size_t>(tb->pressed) < tb->buttons.size())
                tb->buttons[static_cast<size_t>(tb->pressed)].state &= static_cast<BYTE>(~TBSTATE_PRESSED);
            tb->pressed = -1;
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        return 0;
    case WM_NOTIFY: {
        NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && tb->tooltip && header->hwndFrom == tb->tooltip) return OnTooltipNotify(*tb, header);
        return 0;
    }

    case TB_BUTTONSTRUCTSIZE:
        tb->structSize = wParam;
        return 0;
    case TB_ADDBITMAP:
        return AddBitmap(*tb, static_cast<UINT>(wParam), reinterpret_cast<const TBADDBITMAP*>(lParam));
    case TB_SETBITMAPSIZE:
        tb->bitmapSize = {LOWORD(lParam), HIWORD(lParam)};
        if (!tb->buttonSizeSet) tb->buttonSize = DefaultButtonSize(*tb);
        Layout(*tb);
        return TRUE;
    case TB_SETBUTTONSIZE:
        if (LOWORD(lParam)) tb->buttonSize.cx = LOWORD(lParam);
        if (HIWORD(lParam)) tb->buttonSize.cy = HIWORD(lParam);
        tb->buttonSizeSet = true;
        Layout(*tb);
        return TRUE;
    case TB_GETBUTTONSIZE:
        return MAKELONG(tb->buttonSize.cx, tb->buttonSize.cy);
    case TB_ADDBUTTONSW:
    case kAddButtonsA:
        return InsertButtons(*tb, tb->buttons.size(), wParam, reinterpret_cast<const void*>(lParam));
    case TB_INSERTBUTTONW:
    case kInsertButtonA: {
        int at = static_cast<int>(wParam);
        size_t where = at < 0 ? tb->buttons.size() : static_cast<size_t>(at);
        return InsertButtons(*tb, where, 1, reinterpret_cast<const void*>(lParam));
    }
    case TB_DELETEBUTTON:
        if (wParam >= tb->buttons.size()) return FALSE;
        if (tb->pressed == static_cast<int>(wParam)) {
            tb->pressed = -1;
            if (GetCapture() == hwnd) ReleaseCapture();
        } else if (tb->pressed > static_cast<int>(wParam)) {
            --tb->pressed;
        }
        tb->buttons.erase(tb->buttons.begin() + static_cast<std::ptrdiff_t>(wParam));
        Layout(*tb);
        return TRUE;
    case TB_BUTTONCOUNT:
        return static_cast<LRESULT>(tb->buttons.size());
    case TB_GETBUTTON: {
        TBBUTTON* out = reinterpret_cast<TBBUTTON*>(lParam);
        if (wParam >= tb->buttons.size() || !out) return FALSE;
        const Button& b = tb->buttons[wParam];
        *out = TBBUTTON{};
        out->iBitmap = b.bitmap;
        out->idCommand = b.command;
        out->fsState = b.state;
        out->fsStyle = b.style;
        out->dwData = b.data;
        out->iString = b.string;
        return TRUE;
    }
    case TB_COMMANDTOINDEX:
        return IndexOf(*tb, static_cast<int>(wParam));
    case TB_SETCMDID:
        if (wParam >= tb->buttons.size()) return FALSE;
        tb->buttons[wParam].command = static_cast<int>(lParam);
        SyncTools(*tb);
        return TRUE;
    case TB_GETITEMRECT:
    case TB_GETRECT: {
        RECT* out = reinterpret_cast<RECT*>(lParam);
        int i = message == TB_GETRECT ? IndexOf(*tb, static_cast<int>(wParam)) : static_cast<int>(wParam);
        if (!out || i < 0 || static_cast<size_t>(i) >= tb->buttons.size()) return FALSE;
        const Button& b = tb->buttons[static_cast<size_t>(i)];
        if (b.Hidden()) return FALSE;
        *out = b.rect;
        return TRUE;
    }
    case TB_HITTEST: {
        const POINT* p = reinterpret_cast<const POINT*>(lParam);
        if (!p) return -1;
        for (size_t i = 0; i < tb->buttons.size(); ++i) {
            const Button& b = tb->buttons[i];
            if (b.Hidden() || !PtInRect(&b.rect, *p)) continue;
            // Separators answer with a negative index.
            return b.Separator() ? -static_cast<LRESULT>(i) - 1 : static_cast<LRESULT>(i);
        }
        return -1;
    }
    case TB_ENABLEBUTTON:
        return SetStateBit(*tb, wParam, TBSTATE_ENABLED, LOWORD(lParam) != 0);
    case TB_CHECKBUTTON: {
        int i = IndexOf(*tb, static_cast<int>(wParam));
        if (i < 0) return FALSE;
        Check(*tb, static_cast<size_t>(i), LOWORD(lParam) != 0);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case TB_PRESSBUTTON:
        return SetStateBit(*tb, wParam, TBSTATE_PRESSED, LOWORD(lParam) != 0);
    case TB_HIDEBUTTON:
        return SetStateBit(*tb, wParam, TBSTATE_HIDDEN, LOWORD(lParam) != 0);
    case TB_INDETERMINATE:
        return SetStateBit(*tb, wParam, TBSTATE_INDETERMINATE, LOWORD(lParam) != 0);
    case TB_ISBUTTONENABLED:
    case TB_ISBUTTONCHECKED:
    case TB_ISBUTTONPRESSED:
    case TB_ISBUTTONHIDDEN:
    case TB_ISBUTTONINDETERMINATE: {
        const Button* b = ByCommand(*tb, wParam);
        if (!b) return -1;
        BYTE bit = message == TB_ISBUTTONENABLED   ? TBSTATE_ENABLED
                   : message == TB_ISBUTTONCHECKED ? TBSTATE_CHECKED
                   : message == TB_ISBUTTONPRESSED ? TBSTATE_PRESSED
                   : message == TB_ISBUTTONHIDDEN  ? TBSTATE_HIDDEN
                                                   : TBSTATE_INDETERMINATE;
        return b->state & bit;
    }
    case TB_SETSTATE: {
        Button* b = ByCommand(*tb, wParam);
        if (!b) return FALSE;
        BYTE old = b->state;
        b->state = static_cast<BYTE>(LOWORD(lParam));
        if ((old ^ b->state) & TBSTATE_HIDDEN) Layout(*tb);
        else InvalidateRect(hwnd, &b->rect, TRUE);
        return TRUE;
    }
    case TB_GETSTATE: {
        const Button* b = ByCommand(*tb, wParam);
        return b ? b->state : -1;
    }
    case TB_CHANGEBITMAP: {
        Button* b = ByCommand(*tb, wParam);
        if (!b) return FALSE;
        b->bitmap = static_cast<int>(LOWORD(lParam)) == 0xFFFF ? -1 : LOWORD(lParam);
        InvalidateRect(hwnd, &b->rect, TRUE);
        return TRUE;
    }
    case TB_GETBITMAP: {
        const Button* b = ByCommand(*tb, wParam);
        return b ? b->bitmap : -1;
    }
    case TB_SETIMAGELIST: {
        HIMAGELIST old = tb->images;
        tb->images = reinterpret_cast<HIMAGELIST>(lParam);
        int cx, cy;
        // Buttons take the image list's image size.
        if (tb->images && ImageList_GetIconSize(tb->images, &cx, &cy)) {
            tb->bitmapSize = {cx, cy};
            if (!tb->buttonSizeSet) tb->buttonSize = DefaultButtonSize(*tb);
        }
        Layout(*tb);
        return reinterpret_cast<LRESULT>(old);
    }
    case TB_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(tb->images);
    case TB_SETDISABLEDIMAGELIST:
    case TB_SETHOTIMAGELIST: {
        HIMAGELIST& slot = message == TB_SETDISABLEDIMAGELIST ? tb->disabledImages : tb->hotImages;
        HIMAGELIST old = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        InvalidateRect(hwnd, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(old);
    }
    case TB_GETDISABLEDIMAGELIST:
        return reinterpret_cast<LRESULT>(tb->disabledImages);
    case TB_GETHOTIMAGELIST:
        return reinterpret_cast<LRESULT>(tb->hotImages);
    case TB_SETTOOLTIPS:
        if (lParam) {
            // Windows CE: wParam strings in the array at lParam, used in place.
            tb->tipStrings = reinterpret_cast<const LPCWSTR*>(lParam);
            tb->tipCount = static_cast<UINT>(wParam);
            CreateOwnTooltip(*tb);
            SyncTools(*tb);
            return TRUE;
        }
        if (tb->ownsTooltip && tb->tooltip && tb->tooltip != reinterpret_cast<HWND>(wParam))
            DestroyWindow(tb->tooltip);
        tb->tooltip = reinterpret_cast<HWND>(wParam);
        tb->ownsTooltip = false;
        tb->tipIds.clear();
        SyncTools(*tb);
        return 0;
    case TB_GETTOOLTIPS:
        return reinterpret_cast<LRESULT>(tb->tooltip);
    case TB_SETPARENT: {
        HWND old = NotifyTarget(*tb);
        tb->notify = reinterpret_cast<HWND>(wParam);
        return reinterpret_cast<LRESULT>(old);
    }
    case TB_AUTOSIZE:
        AutoSize(*tb);
        return 0;
    case TB_SETINDENT:
        tb->indent = static_cast<int>(wParam);
        Layout(*tb);
        return TRUE;
    case TB_SETSTYLE:
        SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(lParam));
        Layout(*tb);
        return 0;
    case TB_GETSTYLE:
        return static_cast<LRESULT>(Style(hwnd));
    case TB_GETROWS:
        return tb->rows;
    case TB_GETBITMAPFLAGS:
        return 0;  // small images only
    case TB_ADDSTRINGW: {
        LRESULT first = AddStrings(*tb, reinterpret_cast<HINSTANCE>(wParam), lParam);
        Layout(*tb);
        return first;
    }
    case TB_GETBUTTONTEXTW: {
        const Button* b = ByCommand(*tb, wParam);
        if (!b) return -1;
        std::u16string text = TextOf(*tb, *b);
        LPWSTR out = reinterpret_cast<LPWSTR>(lParam);
        if (out) {
            std::copy(text.begin(), text.end(), out);
            out[text.size()] = 0;
        }
        return static_cast<LRESULT>(text.size());
    }
    case TB_GETBUTTONINFOW:
    case TB_SETBUTTONINFOW:
        return ButtonInfo(*tb, message, wParam, reinterpret_cast<TBBUTTONINFOW*>(lParam));
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void bars::RegisterToolbarClass() { RegisterControlClass(TOOLBARCLASSNAMEW, ToolbarProc); }

// ---- Command bar ----

HWND CommandBar_Create(HINSTANCE instance, HWND parent, int id) {
    RegisterBarClasses();
    HWND bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_TOP | CCS_NODIVIDER, 0, 0,
                               0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               instance, nullptr);
    if (bar) SendMessageW(bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return bar;
}

BOOL CommandBar_Show(HWND commandBar, BOOL show) {
    if (!IsWindow(commandBar)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    ShowWindow(commandBar, show ? SW_SHOW : SW_HIDE);
    return TRUE;
}

BOOL CommandBar_IsVisible(HWND commandBar) { return IsWindowVisible(commandBar); }

int CommandBar_AddBitmap(HWND commandBar, HINSTANCE instance, int bitmapId, int imageCount,
                         int imageWidth, int imageHeight) {
    if (!IsWindow(commandBar) || imageCount < 0) return -1;
    if (imageWidth > 0 && imageHeight > 0)
        SendMessageW(commandBar, TB_SETBITMAPSIZE, 0, MAKELONG(imageWidth, imageHeight));
    TBADDBITMAP add = {instance, static_cast<UINT_PTR>(bitmapId)};
    return static_cast<int>(SendMessageW(commandBar, TB_ADDBITMAP, static_cast<WPARAM>(imageCount),
                                         reinterpret_cast<LPARAM>(&add)));
}

int CommandBar_Height(HWND commandBar) {
    RECT r;
    if (!GetWindowRect(commandBar, &r)) return 0;
    return r.bottom - r.top;
}
