// The picture view's arithmetic on plain numbers: the fitted zoom, the
// clamped or centred offsets and the rectangles, the rotation rules and the
// zoom rectangle.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "view/picture_view.h"

namespace {

EntryBlock Block(DWORD flags, float zoom, int rotation, int offsetX = 0, int offsetY = 0) {
    EntryBlock block = {};
    block.flags = flags;
    block.zoom = zoom;
    block.rotation = rotation;
    block.offsetX = offsetX;
    block.offsetY = offsetY;
    return block;
}

std::string Text(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "{%d,%d,%d,%d}", (int)r.left, (int)r.top, (int)r.right, (int)r.bottom);
    return text;
}

TEST(PictureViewLayout, ZoomOffsetsAndRectangles) {
    const struct {
        const char* name;
        int width, height;  // the picture in its own axes
        DWORD flags;
        float zoom;
        int rotation, offsetX, offsetY;
        float zoomAfter;
        int offsetXAfter, offsetYAfter;
        RECT src, dest;
    } cases[] = {
        // clang-format off
        // Fitting never enlarges: a small picture stays at 1.0, centred.
        {"small fit", 100, 50, kDisplayZoomToFit, 1.0f, 0, 0, 0, 1.0f, 70, 109, {0, 0, 100, 50},
         {70, 109, 170, 159}},
        // 240 / 480 = 0.5 and 268 / 640 = 0.41875: the smaller wins.
        {"portrait fit", 480, 640, kDisplayZoomToFit, 1.0f, 0, 0, 0, 0.41875f, 19, 0,
         {0, 0, 480, 640}, {19, 0, 220, 268}},
        // The same picture lying on its side, turned upright by 90 degrees.
        {"turned fit", 640, 480, kDisplayZoomToFit, 1.0f, 90, 0, 0, 0.41875f, 19, 0,
         {0, 0, 480, 640}, {19, 0, 220, 268}},
        {"turned -270 fit", 640, 480, kDisplayZoomToFit, 1.0f, -270, 0, 0, 0.41875f, 19, 0,
         {0, 0, 480, 640}, {19, 0, 220, 268}},
        // A fit request saved as zoom -1 without the flag.
        {"zoom -1", 100, 50, 0, -1.0f, 0, 0, 0, 1.0f, 70, 109, {0, 0, 100, 50}, {70, 109, 170, 159}},
        // Panning never shows a margin: offsets stay in [client - zoomed, 0].
        {"offset above 0", 1000, 1000, 0, 1.0f, 0, 50, 60, 1.0f, 0, 0, {0, 0, 240, 268},
         {0, 0, 240, 268}},
        {"offset below the minimum", 1000, 1000, 0, 1.0f, 0, -5000, -5000, 1.0f, -760, -732,
         {760, 732, 1000, 1000}, {0, 0, 240, 268}},
        {"offset inside", 1000, 1000, 0, 1.0f, 0, -100, -200, 1.0f, -100, -200,
         {100, 200, 340, 468}, {0, 0, 240, 268}},
        // Zoomed: the source spans client / zoom pixels from -offset / zoom.
        {"zoom 2", 400, 400, 0, 2.0f, 0, -100, -50, 2.0f, -100, -50, {50, 25, 170, 159},
         {0, 0, 240, 268}},
        // Wider than the client but lower: pans across, centred down.
        {"wide strip", 1000, 100, 0, 1.0f, 0, -300, -7, 1.0f, -300, 84, {300, 0, 540, 100},
         {0, 84, 240, 184}},
        // Zoom 0 lays out nothing.
        {"zoom 0", 100, 50, 0, 0.0f, 0, 3, 4, 0.0f, 3, 4, {0, 0, 0, 0}, {0, 0, 0, 0}},
        // clang-format on
    };
    for (const auto& c : cases) {
        EntryBlock block = Block(c.flags, c.zoom, c.rotation, c.offsetX, c.offsetY);
        const ViewGeometry g = ComputeLayout(&block, c.width, c.height, 240, 268);
        EXPECT_FLOAT_EQ(block.zoom, c.zoomAfter) << c.name;
        EXPECT_EQ(block.offsetX, c.offsetXAfter) << c.name;
        EXPECT_EQ(block.offsetY, c.offsetYAfter) << c.name;
        EXPECT_EQ(Text(g.srcRect), Text(c.src)) << c.name;
        EXPECT_EQ(Text(g.destRect), Text(c.dest)) << c.name;
    }
}

TEST(PictureViewLayout, NothingToLayOut) {
    const struct {
        int width, height, clientWidth, clientHeight;
    } cases[] = {{0, 10, 240, 268}, {10, -1, 240, 268}, {10, 10, 0, 268}, {10, 10, 240, 0}};
    for (const auto& c : cases) {
        EntryBlock block = Block(kDisplayZoomToFit, 1.0f, 0, 5, 6);
        const ViewGeometry g =
            ComputeLayout(&block, c.width, c.height, c.clientWidth, c.clientHeight);
        EXPECT_EQ(Text(g.destRect), "{0,0,0,0}");
        EXPECT_FLOAT_EQ(block.zoom, 1.0f);  // an empty client does not store a zero zoom
        EXPECT_EQ(block.offsetX, 5);
    }
    EXPECT_EQ(ComputeLayout(nullptr, 10, 10, 240, 268).sourceSpan, 0);
}

TEST(PictureViewLayout, AbsurdZoomDoesNotOverflow) {
    EntryBlock block = Block(0, 1e30f, 0, -100, -100);
    const ViewGeometry g = ComputeLayout(&block, 5000, 5000, 240, 268);
    EXPECT_EQ(g.destRect.right, 240);
    EXPECT_GE(g.srcRect.left, 0);
    EXPECT_LE(g.srcRect.right, 5000);
}

TEST(PictureViewLayout, NormaliseRotation) {
    const struct {
        int in, out;
    } cases[] = {{0, 0},    {90, 90},    {359, 359}, {-359, -359}, {360, 0},    {450, 90},
                 {-360, 0}, {-450, -90}, {720, 0},   {810, 90},    {-630, -270}};
    for (const auto& c : cases) EXPECT_EQ(NormaliseRotation(c.in), c.out) << c.in;
}

TEST(PictureViewLayout, RotateToFit) {
    const struct {
        const char* name;
        int width, height, clientWidth, clientHeight, rotation, after;
    } cases[] = {
        {"landscape in portrait turns +90", 640, 480, 240, 268, 0, 90},
        {"and stays", 640, 480, 240, 268, 90, 90},
        {"kept at -90", 640, 480, 240, 268, -90, -90},
        {"from 180 back by 90", 640, 480, 240, 268, 180, 90},
        {"from -180 on by 90", 640, 480, 240, 268, -180, -90},
        {"portrait in portrait turns back", 480, 640, 240, 268, 90, 0},
        {"from 270 on to 0", 480, 640, 240, 268, 270, 0},
        {"from -270 back to -360, which is 0", 480, 640, 240, 268, -270, 0},
        {"portrait fits upright", 480, 640, 240, 268, 0, 0},
        {"portrait fits upside down", 480, 640, 240, 268, 180, 180},
        {"landscape in landscape", 640, 480, 320, 200, 0, 0},
        {"square picture", 500, 500, 240, 268, 0, 0},
        {"square client", 640, 480, 240, 240, 0, 0},
    };
    for (const auto& c : cases) {
        EntryBlock block = Block(0, 1.0f, c.rotation);
        RotateBlockToFit(&block, c.width, c.height, c.clientWidth, c.clientHeight);
        EXPECT_EQ(block.rotation, c.after) << c.name;
        EXPECT_TRUE(block.flags & kDisplayRotateToFit) << c.name;
        // Asking again changes nothing.
        RotateBlockToFit(&block, c.width, c.height, c.clientWidth, c.clientHeight);
        EXPECT_EQ(block.rotation, c.after) << c.name << " (again)";
    }
}

TEST(PictureViewLayout, ZoomRectangle) {
    const struct {
        float fraction;
        RECT rect;
    } cases[] = {
        {0.2f, {96, 107, 144, 160}},
        {0.4f, {72, 80, 168, 187}},
        {0.7f, {36, 40, 204, 227}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text(ZoomRectangle(c.fraction, 240, 268)), Text(c.rect)) << c.fraction;
    }
}

TEST(PictureViewLayout, ZoomOntoTheRectangle) {
    const struct {
        const char* name;
        RECT rect;
        float zoom;
        int offsetX, offsetY;
        float zoomAfter;
        int offsetXAfter, offsetYAfter;
    } cases[] = {
        // 240 / 168 = 1 and 268 / 187 = 1: the zoom does not change, the
        // centre of the rectangle goes to the centre of the client.
        {"large", {36, 40, 204, 227}, 1.0f, 0, 0, 1.0f, 0, 1},
        // 240 / 96 = 2, 268 / 107 = 2.
        {"medium", {72, 80, 168, 187}, 1.0f, 0, 0, 2.0f, -120, -132},
        // 240 / 48 = 5, 268 / 53 = 5.
        {"small", {96, 107, 144, 160}, 1.0f, 0, 0, 5.0f, -480, -531},
        // The picture point under the centre: (120 - -100) / 0.5 = 440.
        {"small on a panned picture", {96, 107, 144, 160}, 0.5f, -100, -20, 2.5f, -980, -631},
        // The smaller direction rules: 240 / 40 = 6 but 268 / 100 = 2.
        {"tall", {100, 84, 140, 184}, 1.0f, 0, 0, 2.0f, -120, -134},
    };
    for (const auto& c : cases) {
        EntryBlock block = Block(kDisplayZoomToFit, c.zoom, 0, c.offsetX, c.offsetY);
        ASSERT_TRUE(ZoomBlockToRectangle(&block, c.rect, 240, 268)) << c.name;
        EXPECT_FLOAT_EQ(block.zoom, c.zoomAfter) << c.name;
        EXPECT_EQ(block.offsetX, c.offsetXAfter) << c.name;
        EXPECT_EQ(block.offsetY, c.offsetYAfter) << c.name;
        EXPECT_FALSE(block.flags & kDisplayZoomToFit) << c.name;
    }
    EntryBlock block = Block(0, 1.0f, 0);
    EXPECT_FALSE(ZoomBlockToRectangle(&block, RECT{10, 10, 10, 40}, 240, 268));  // empty
    block.zoom = 0.0f;
    EXPECT_FALSE(ZoomBlockToRectangle(&block, RECT{10, 10, 50, 40}, 240, 268));
}

}  // namespace
