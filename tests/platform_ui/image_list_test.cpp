// Image lists: creation, strips split into images, masks from bitmaps and
// from a colour key, icons, drawing styles (normal, transparent, mask,
// blended, overlays), replacing and removing, loading from resources and
// stale handles. Drawing goes into 24-bit canvases read back exactly.
#include "list_tree_fixture.h"

namespace list_tree_test {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kGrey = RGB(100, 100, 100);

class ImageListTest : public ListTreeTest {
protected:
    // The strip of the test resources: red, green and blue 16x16 images,
    // each with a magenta 4x4 top-left corner.
    static HBITMAP Strip() { return LoadBitmapW(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP)); }

    // A monochrome mask as wide as the strip: the top-left 2x2 pixels of
    // every image are 1 (transparent).
    static HBITMAP CornerMask(int images) {
        int w = 16 * images;
        size_t stride = (static_cast<size_t>(w) + 15) / 16 * 2;
        std::vector<uint8_t> bits(stride * 16, 0);
        for (int y = 0; y < 2; ++y)
            for (int i = 0; i < images; ++i)
                for (int x = 0; x < 2; ++x) {
                    int px = i * 16 + x;
                    bits[static_cast<size_t>(y) * stride + static_cast<size_t>(px / 8)] |= static_cast<uint8_t>(0x80 >> (px % 8));
                }
        return CreateBitmap(w, 16, 1, 1, bits.data());
    }

    static HIMAGELIST Masked() {
        HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 1);
        HBITMAP strip = Strip();
        EXPECT_EQ(ImageList_AddMasked(list, strip, kMagenta), 0);
        DeleteObject(strip);
        return list;
    }
};

TEST_F(ImageListTest, CreateRefusesBadSizes) {
    EXPECT_EQ(ImageList_Create(0, 16, ILC_COLOR, 1, 1), nullptr);
    EXPECT_EQ(ImageList_Create(16, -1, ILC_COLOR, 1, 1), nullptr);
    EXPECT_EQ(ImageList_Create(16, 16, ILC_COLOR, -1, 1), nullptr);
    HIMAGELIST list = ImageList_Create(20, 12, ILC_COLOR16, 0, 0);
    ASSERT_NE(list, nullptr);
    int cx = 0, cy = 0;
    EXPECT_TRUE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_EQ(cx, 20);
    EXPECT_EQ(cy, 12);
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(ImageList_GetBkColor(list), static_cast<COLORREF>(CLR_NONE));
    EXPECT_TRUE(ImageList_Destroy(list));
}

TEST_F(ImageListTest, AddSplitsAStripIntoImagesOfTheListWidth) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24, 3, 1);
    HBITMAP strip = Strip();
    EXPECT_EQ(ImageList_Add(list, strip, nullptr), 0);
    EXPECT_EQ(ImageList_Add(list, strip, nullptr), 3);
    EXPECT_EQ(ImageList_GetImageCount(list), 6);
    const COLORREF centre[] = {kRed, kGreen, kBlue, kRed, kGreen, kBlue};
    for (int i = 0; i < 6; ++i) {
        Canvas c(16, 16, kGrey);
        ASSERT_TRUE(ImageList_Draw(list, i, c.dc(), 0, 0, ILD_NORMAL));
        EXPECT_EQ(c.At(8, 8), centre[i]) << i;
        EXPECT_EQ(c.At(1, 1), kMagenta) << i;  // no mask: the corner is drawn as it is
    }
    // A list twice as wide cuts the strip into one image; the rest is dropped.
    HIMAGELIST wide = ImageList_Create(32, 16, ILC_COLOR24, 1, 1);
    EXPECT_EQ(ImageList_Add(wide, strip, nullptr), 0);
    EXPECT_EQ(ImageList_GetImageCount(wide), 1);
    Canvas c(32, 16, kGrey);
    ImageList_Draw(wide, 0, c.dc(), 0, 0, ILD_NORMAL);
    EXPECT_EQ(c.At(24, 8), kGreen);
    DeleteObject(strip);
    ImageList_Destroy(list);
    ImageList_Destroy(wide);
    EXPECT_EQ(ImageList_Add(list, strip, nullptr), -1);  // both are gone now
}

TEST_F(ImageListTest, AStripIsTakenWholeWhateverTheListWasSizedFor) {
    // Toolbars make their lists for a few images and add longer strips:
    // every image of the strip arrives, at the index its place gives it.
    const struct {
        int initial, grow, strips;
    } cases[] = {{0, 0, 1}, {1, 0, 1}, {2, 0, 3}, {3, 1, 2}, {7, 0, 4}};
    const COLORREF centre[] = {kRed, kGreen, kBlue};
    HBITMAP strip = Strip();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "initial " << c.initial << " grow " << c.grow);
        HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, c.initial, c.grow);
        ASSERT_NE(list, nullptr);
        for (int s = 0; s < c.strips; ++s) EXPECT_EQ(ImageList_AddMasked(list, strip, kMagenta), 3 * s);
        ASSERT_EQ(ImageList_GetImageCount(list), 3 * c.strips);
        for (int i = 0; i < 3 * c.strips; ++i) {
            Canvas canvas(16, 16, kGrey);
            ASSERT_TRUE(ImageList_Draw(list, i, canvas.dc(), 0, 0, ILD_TRANSPARENT)) << i;
            EXPECT_EQ(canvas.At(8, 8), centre[i % 3]) << i;
        }
        Canvas canvas(16, 16, kGrey);
        EXPECT_FALSE(ImageList_Draw(list, 3 * c.strips, canvas.dc(), 0, 0, ILD_TRANSPARENT));
        ImageList_Destroy(list);
    }
    DeleteObject(strip);
}

TEST_F(ImageListTest, MaskFromBitmapOrColourKeyDrawsTransparently) {
    HIMAGELIST keyed = Masked();
    HIMAGELIST mapped = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 3, 1);
    HBITMAP strip = Strip(), mask = CornerMask(3);
    ASSERT_EQ(ImageList_Add(mapped, strip, mask), 0);
    struct Case {
        HIMAGELIST list;
        POINT clear;   // a pixel the mask removes
        POINT opaque;  // a pixel of the picture
        COLORREF picture;
    };
    const Case cases[] = {
        {keyed, {3, 3}, {4, 4}, kGreen},
        {mapped, {1, 1}, {2, 2}, kMagenta},
    };
    for (const Case& k : cases) {
        Canvas c(40, 16, kGrey);
        ASSERT_TRUE(ImageList_Draw(k.list, 1, c.dc(), 20, 0, ILD_TRANSPARENT));
        EXPECT_EQ(c.At(20 + k.clear.x, k.clear.y), kGrey);
        EXPECT_EQ(c.At(20 + k.opaque.x, k.opaque.y), k.picture);
        EXPECT_EQ(c.At(20 + 8, 8), kGreen);
        EXPECT_EQ(c.At(19, 8), kGrey);  // nothing drawn outside the image
        // With a background colour ILD_NORMAL fills the masked part with it.
        ImageList_SetBkColor(k.list, kBlue);
        ImageList_Draw(k.list, 1, c.dc(), 0, 0, ILD_NORMAL);
        EXPECT_EQ(c.At(k.clear.x, k.clear.y), kBlue);
        ImageList_SetBkColor(k.list, CLR_NONE);
        ImageList_DrawEx(k.list, 1, c.dc(), 0, 0, 0, 0, kRed, CLR_DEFAULT, ILD_NORMAL);
        EXPECT_EQ(c.At(k.clear.x, k.clear.y), kRed);
        // ILD_MASK draws the mask itself.
        ImageList_Draw(k.list, 1, c.dc(), 0, 0, ILD_MASK);
        EXPECT_EQ(c.At(k.clear.x, k.clear.y), RGB(255, 255, 255));
        EXPECT_EQ(c.At(8, 8), RGB(0, 0, 0));
    }
    DeleteObject(strip);
    DeleteObject(mask);
    ImageList_Destroy(keyed);
    ImageList_Destroy(mapped);
}

TEST_F(ImageListTest, SelectedAndFocusBlendWithTheHighlight) {
    HIMAGELIST list = Masked();
    COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    struct Case {
        UINT style;
        int weight;  // of the highlight, in 256ths
    };
    for (Case k : {Case{ILD_SELECTED, 128}, Case{ILD_FOCUS, 64}}) {
        Canvas c(16, 16, kGrey);
        ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_TRANSPARENT | k.style);
        COLORREF p = c.At(8, 8);
        EXPECT_EQ(GetRValue(p), (255 * (256 - k.weight) + GetRValue(highlight) * k.weight) >> 8);
        EXPECT_EQ(GetBValue(p), (0 * (256 - k.weight) + GetBValue(highlight) * k.weight) >> 8);
        EXPECT_EQ(c.At(1, 1), kGrey);  // the transparent part stays untouched
    }
    Canvas c(16, 16, kGrey);
    ImageList_DrawEx(list, 0, c.dc(), 0, 0, 0, 0, CLR_NONE, kGreen, ILD_TRANSPARENT | ILD_BLEND50);
    EXPECT_EQ(c.At(8, 8), RGB(127, 127, 0));
    ImageList_Destroy(list);
}

TEST_F(ImageListTest, OverlaysDrawOnTopOfTheImage) {
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 1);
    HBITMAP strip = Strip();
    ImageList_Add(list, strip, nullptr);  // 0..2 opaque
    // Image 3: blue with everything but the top-left 2x2 corner masked out.
    HBITMAP inverse;
    {
        std::vector<uint8_t> bits(2 * 16, 0xFF);
        bits[0] = bits[2] = 0x3F;  // rows 0 and 1: the first two pixels opaque
        inverse = CreateBitmap(16, 16, 1, 1, bits.data());
    }
    Canvas blue(16, 16, kBlue);
    HBITMAP plain = CreateCompatibleBitmap(blue.dc(), 16, 16);
    {
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, plain);
        BitBlt(dc, 0, 0, 16, 16, blue.dc(), 0, 0, SRCCOPY);
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    ASSERT_EQ(ImageList_Add(list, plain, inverse), 3);
    EXPECT_TRUE(ImageList_SetOverlayImage(list, 3, 1));
    EXPECT_FALSE(ImageList_SetOverlayImage(list, 3, 16));
    EXPECT_FALSE(ImageList_SetOverlayImage(list, 9, 1));
    Canvas c(16, 16, kGrey);
    ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_NORMAL | INDEXTOOVERLAYMASK(1));
    EXPECT_EQ(c.At(0, 0), kBlue);
    EXPECT_EQ(c.At(8, 8), kRed);
    EXPECT_EQ(c.At(3, 3), kMagenta);
    DeleteObject(strip);
    DeleteObject(inverse);
    DeleteObject(plain);
    ImageList_Destroy(list);
}

TEST_F(ImageListTest, ReplaceAndRemoveKeepTheOthersInOrder) {
    HIMAGELIST list = Masked();
    HBITMAP strip = Strip();
    // Image 2 (blue) becomes the strip's first image (red).
    EXPECT_TRUE(ImageList_Replace(list, 2, strip, nullptr));
    EXPECT_FALSE(ImageList_Replace(list, 3, strip, nullptr));
    auto centre = [&](int i) {
        Canvas c(16, 16, kGrey);
        EXPECT_TRUE(ImageList_Draw(list, i, c.dc(), 0, 0, ILD_NORMAL));
        return c.At(8, 8);
    };
    EXPECT_EQ(centre(2), kRed);
    EXPECT_TRUE(ImageList_Remove(list, 0));
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    EXPECT_EQ(centre(0), kGreen);
    EXPECT_FALSE(ImageList_Remove(list, 5));
    Canvas c(16, 16, kGrey);
    EXPECT_FALSE(ImageList_Draw(list, 2, c.dc(), 0, 0, ILD_NORMAL));
    EXPECT_TRUE(ImageList_RemoveAll(list));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_TRUE(ImageList_SetImageCount(list, 2));
    EXPECT_EQ(ImageList_GetImageCount(list), 2);
    DeleteObject(strip);
    ImageList_Destroy(list);
}

TEST_F(ImageListTest, IconsKeepTheirMask) {
    HICON icon = LoadIconW(Self(), MAKEINTRESOURCEW(IDI_LT_ICON));
    ASSERT_NE(icon, nullptr);
    for (UINT flags : {static_cast<UINT>(ILC_COLOR24 | ILC_MASK), static_cast<UINT>(ILC_COLOR32 | ILC_MASK)}) {
        HIMAGELIST list = ImageList_Create(16, 16, flags, 1, 1);
        EXPECT_EQ(ImageList_AddIcon(list, icon), 0);
        EXPECT_EQ(ImageList_ReplaceIcon(list, 0, icon), 0);
        EXPECT_EQ(ImageList_ReplaceIcon(list, 4, icon), -1);
        Canvas c(16, 16, kGrey);
        ASSERT_TRUE(ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_TRANSPARENT));
        EXPECT_EQ(c.At(3, 8), RGB(0, 128, 255));
        EXPECT_EQ(c.At(12, 8), kGrey);
        // An icon made from the list draws the same picture.
        HICON back = ImageList_GetIcon(list, 0, ILD_NORMAL);
        ASSERT_NE(back, nullptr);
        Canvas d(16, 16, kGrey);
        DrawIconEx(d.dc(), 0, 0, back, 16, 16, 0, nullptr, DI_NORMAL);
        EXPECT_EQ(d.At(3, 8), RGB(0, 128, 255));
        EXPECT_EQ(d.At(12, 8), kGrey);
        DestroyIcon(back);
        ImageList_Destroy(list);
    }
    // A list of another size stretches the icon.
    HIMAGELIST big = ImageList_Create(32, 32, ILC_COLOR24 | ILC_MASK, 1, 1);
    ASSERT_EQ(ImageList_AddIcon(big, icon), 0);
    Canvas c(32, 32, kGrey);
    ImageList_Draw(big, 0, c.dc(), 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(c.At(14, 20), RGB(0, 128, 255));
    EXPECT_EQ(c.At(18, 20), kGrey);
    ImageList_Destroy(big);
    DestroyIcon(icon);
}

TEST_F(ImageListTest, LoadBitmapFromResources) {
    HIMAGELIST list = ImageList_LoadBitmap(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP), 16, 2, CLR_DEFAULT);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(list), 3);
    Canvas c(16, 16, kGrey);
    ImageList_Draw(list, 2, c.dc(), 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(c.At(1, 1), kGrey);  // CLR_DEFAULT: the top-left colour is the key
    EXPECT_EQ(c.At(8, 8), kBlue);
    ImageList_Destroy(list);
    HIMAGELIST opaque = ImageList_LoadImage(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP), 16, 2, CLR_NONE, IMAGE_BITMAP, 0);
    ASSERT_NE(opaque, nullptr);
    ImageList_Draw(opaque, 0, c.dc(), 0, 0, ILD_TRANSPARENT);
    EXPECT_EQ(c.At(1, 1), kMagenta);
    ImageList_Destroy(opaque);
    EXPECT_EQ(ImageList_LoadBitmap(Self(), MAKEINTRESOURCEW(3999), 16, 1, CLR_NONE), nullptr);
    EXPECT_EQ(ImageList_LoadImage(Self(), MAKEINTRESOURCEW(IDB_LT_STRIP), 16, 1, CLR_NONE, IMAGE_ICON, 0), nullptr);
}

TEST_F(ImageListTest, AlphaImagesBlendInThirtyTwoBitLists) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = -16;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(image, nullptr);
    auto* px = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 256; ++i) px[i] = 0xFFFF0000u;  // opaque red
    px[0] = 0x00000000u;                                 // clear
    px[1] = 0x80FF0000u;                                 // red at half opacity
    HIMAGELIST list = ImageList_Create(16, 16, ILC_COLOR32, 1, 1);
    ASSERT_EQ(ImageList_Add(list, image, nullptr), 0);
    Canvas c(16, 16, RGB(0, 0, 200));
    ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_NORMAL);
    EXPECT_EQ(c.At(0, 0), RGB(0, 0, 200));
    EXPECT_EQ(c.At(8, 8), kRed);
    COLORREF half = c.At(1, 0);
    EXPECT_NEAR(GetRValue(half), 128, 2);
    EXPECT_NEAR(GetBValue(half), 99, 2);
    DeleteObject(image);
    ImageList_Destroy(list);
}

TEST_F(ImageListTest, StaleHandlesFailCleanly) {
    HIMAGELIST list = Masked();
    HIMAGELIST copy = ImageList_Duplicate(list);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(ImageList_GetImageCount(copy), 3);
    IMAGEINFO info = {};
    ASSERT_TRUE(ImageList_GetImageInfo(copy, 2, &info));
    EXPECT_NE(info.hbmImage, nullptr);
    EXPECT_NE(info.hbmMask, nullptr);
    EXPECT_EQ(info.rcImage.left, 32);
    EXPECT_EQ(info.rcImage.right, 48);
    EXPECT_TRUE(ImageList_SetIconSize(copy, 8, 8));
    EXPECT_EQ(ImageList_GetImageCount(copy), 0);
    EXPECT_TRUE(ImageList_Destroy(list));
    SetLastError(0);
    EXPECT_FALSE(ImageList_Destroy(list));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    Canvas c(16, 16, kGrey);
    EXPECT_FALSE(ImageList_Draw(list, 0, c.dc(), 0, 0, ILD_NORMAL));
    EXPECT_EQ(ImageList_GetImageCount(list), 0);
    EXPECT_EQ(ImageList_AddMasked(list, nullptr, kMagenta), -1);
    EXPECT_EQ(ImageList_GetIcon(list, 0, 0), nullptr);
    int cx, cy;
    EXPECT_FALSE(ImageList_GetIconSize(list, &cx, &cy));
    EXPECT_FALSE(ImageList_Destroy(nullptr));
    EXPECT_EQ(ImageList_Add(copy, nullptr, nullptr), -1);  // no bitmap
    EXPECT_TRUE(ImageList_Destroy(copy));
}

}  // namespace
}  // namespace list_tree_test
