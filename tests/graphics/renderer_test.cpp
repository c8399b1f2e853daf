// The batch renderer against real OpenGL: batching and draw calls, shapes, colour packing, blending,
// scissor, clearing and read-back.
#include <GL/gl.h>

#include "tests/graphics/gl_support.h"

using namespace gfxtest;

namespace {

using Renderer = GlTest;

// A small opaque RGBA surface of one colour, made through the pixel-writing path.
gxtkSurface *SolidSurface(gxtkGraphics *gfx, int w, int h, unsigned argb) {
    gxtkSurface *s = gfx->CreateSurface(w, h);
    Array<int> px(w * h);
    for (int i = 0; i < w * h; ++i)
        px[i] = static_cast<int>(argb);
    gfx->WritePixels2(s, px, 0, 0, w, h, 0, w);
    return s;
}

Array<float> Floats(std::initializer_list<float> v) {
    Array<float> a(static_cast<int>(v.size()));
    int i = 0;
    for (float f : v)
        a[i++] = f;
    return a;
}

TEST_F(Renderer, RectanglesBatchBy256AndFlushOnlyWhenFull) {
    for (int i = 0; i < 256; ++i)
        gfx->DrawRect(static_cast<float>(i % 32) * 20, static_cast<float>(i / 32) * 20, 10, 10);
    EXPECT_EQ(gfx->primCount, 1024);
    EXPECT_EQ(gfx->drawCalls, 0);
    gfx->DrawRect(600, 400, 10, 10); // the 257th cannot fit
    EXPECT_EQ(gfx->drawCalls, 1);
    EXPECT_EQ(gfx->primCount, 4);
    gfx->EndRender();
    EXPECT_EQ(gfx->drawCalls, 2);
    EXPECT_EQ(Rgb(Pixel(5, 5)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(625, 145)), 0xffffffu); // the last of the first batch
    EXPECT_EQ(Rgb(Pixel(605, 405)), 0xffffffu); // the 257th
    EXPECT_EQ(Rgb(Pixel(15, 15)), 0u);          // between rectangles
}

TEST_F(Renderer, TextureChangesFlushButOneTextureSharesABatch) {
    gxtkSurface *red = SolidSurface(gfx, 8, 8, 0xffff0000);
    gxtkSurface *blue = SolidSurface(gfx, 8, 8, 0xff0000ff);
    gfx->DrawSurface(red, 0, 0);
    gfx->DrawSurface(blue, 10, 0);
    gfx->DrawSurface(red, 20, 0);
    gfx->DrawSurface(blue, 30, 0);
    EXPECT_EQ(gfx->drawCalls, 3);
    gfx->DrawSurface2(blue, 40, 0, 0, 0, 4, 4);
    gfx->DrawSurface(blue, 50, 0);
    EXPECT_EQ(gfx->drawCalls, 3);
    gfx->EndRender();
    EXPECT_EQ(gfx->drawCalls, 4);
    EXPECT_EQ(Rgb(Pixel(4, 4)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(14, 4)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(24, 4)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(42, 2)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(45, 5)), 0u); // DrawSurface2 drew a 4 x 4 quad only
}

TEST_F(Renderer, PolygonsJoinTheBatchOfTheirVertexCount) {
    gfx->DrawRect(0, 0, 10, 10);
    gfx->DrawPoly(Floats({20, 0, 30, 0, 30, 10, 20, 10}));
    EXPECT_EQ(gfx->primType, 4);
    EXPECT_EQ(gfx->primCount, 8);
    EXPECT_EQ(gfx->drawCalls, 0);

    Array<float> pentagon = Floats({100, 100, 140, 100, 150, 130, 120, 150, 90, 130});
    gfx->DrawPoly(pentagon);
    EXPECT_EQ(gfx->drawCalls, 1);
    EXPECT_EQ(gfx->primType, 5);
    gfx->DrawPoly(Floats({200, 100, 240, 100, 250, 130, 220, 150, 190, 130}));
    EXPECT_EQ(gfx->primCount, 10);
    gfx->EndRender();
    EXPECT_EQ(gfx->drawCalls, 3); // one fan per pentagon

    EXPECT_EQ(Rgb(Pixel(25, 5)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(120, 125)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(220, 125)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(95, 145)), 0u);
}

TEST_F(Renderer, PolygonsOutsideOneToMaxVerticesAreIgnored) {
    gfx->DrawPoly(Array<float>());
    gfx->DrawPoly(Floats({1})); // half a vertex
    gfx->DrawPoly(Array<float>(2 * 1025));
    EXPECT_EQ(gfx->primCount, 0);
    gfx->DrawPoly(Array<float>(2 * 1024));
    EXPECT_EQ(gfx->primCount, 1024);
}

TEST_F(Renderer, PointsAndLinesLightTheirPixels) {
    gfx->DrawPoint(5, 7);
    gfx->DrawLine(10, 20, 30, 20);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(5, 7)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(6, 7)), 0u);
    EXPECT_EQ(Rgb(Pixel(20, 20)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(20, 21)), 0u);
}

TEST_F(Renderer, OvalVertexCountFollowsItsSize) {
    gfx->DrawOval(0, 0, 10, 10);
    EXPECT_EQ(gfx->primType, 12);
    gfx->DrawOval(0, 0, 200, 200);
    EXPECT_EQ(gfx->primType, 200);
    gfx->DrawOval(0, 0, 3000, 3000);
    EXPECT_EQ(gfx->primType, 1024);
    gfx->DrawOval(0, 0, 50, 25); // 25 + 12 = 37, down to a multiple of 4
    EXPECT_EQ(gfx->primType, 36);
    gfx->DrawOval(0, 0, 40, 40);
    EXPECT_EQ(gfx->primType, 40);
    gfx->SetMatrix(2, 0, 0, 2, 0, 0); // the radii as seen on screen count
    gfx->DrawOval(0, 0, 20, 20);
    EXPECT_EQ(gfx->primType, 40);
    gfx->SetMatrix(1, 0, 0, 1, 0, 0);
    gfx->DrawOval(0, 0, 1e30f, 1e30f);
    EXPECT_EQ(gfx->primType, 1024);

    gfx->Cls(0, 0, 0);
    gfx->DrawOval(100, 100, 100, 60);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(150, 130)), 0xffffffu); // centre
    EXPECT_EQ(Rgb(Pixel(103, 130)), 0xffffffu); // near the left end
    EXPECT_EQ(Rgb(Pixel(105, 105)), 0u);        // the bounding box's corner
}

TEST_F(Renderer, ColourIsPremultipliedByAlphaAndKeptPerVertex) {
    gfx->SetColor(255, 128, 0);
    gfx->SetAlpha(0.5f);
    gfx->DrawRect(0, 0, 10, 10);
    const unsigned char *bytes = reinterpret_cast<const unsigned char *>(&gfx->vertices[0].color);
    EXPECT_EQ(bytes[0], 127);
    EXPECT_EQ(bytes[1], 64);
    EXPECT_EQ(bytes[2], 0);
    EXPECT_EQ(bytes[3], 127);

    gfx->SetColor(0, 0, 255); // no flush: the first rectangle keeps its colour
    gfx->SetAlpha(1);
    gfx->DrawRect(20, 0, 10, 10);
    EXPECT_EQ(gfx->drawCalls, 0);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(5, 5)), 0x7f4000u); // half of orange over black
    EXPECT_EQ(Rgb(Pixel(25, 5)), 0x0000ffu);
}

TEST_F(Renderer, BlendModesAlphaAndAdditive) {
    gfx->SetColor(255, 0, 0);
    gfx->DrawRect(0, 0, 20, 20);
    gfx->SetColor(0, 0, 255);
    gfx->SetAlpha(0.5f);
    gfx->DrawRect(0, 0, 10, 10); // over red: half red, half blue
    gfx->SetBlend(1);
    EXPECT_EQ(gfx->primCount, 0); // a blend change flushes first
    gfx->SetColor(0, 255, 0);
    gfx->SetAlpha(1);
    gfx->DrawRect(10, 10, 10, 10); // added to red
    gfx->SetBlend(0);
    gfx->EndRender();
    EXPECT_TRUE(Near(Pixel(5, 5), 0x80007f)) << std::hex << Pixel(5, 5);
    EXPECT_EQ(Rgb(Pixel(15, 15)), 0xffff00u);
    EXPECT_EQ(Rgb(Pixel(15, 5)), 0xff0000u);
}

TEST_F(Renderer, MatrixMovesVerticesAndIdentitySkipsIt) {
    gfx->SetMatrix(1, 0, 0, 1, 0, 0);
    EXPECT_FALSE(gfx->tformed);
    gfx->SetMatrix(2, 0, 0, 1, 100, 50);
    EXPECT_TRUE(gfx->tformed);
    gfx->DrawRect(0, 0, 10, 10);
    EXPECT_FLOAT_EQ(gfx->vertices[2].x, 120);
    EXPECT_FLOAT_EQ(gfx->vertices[2].y, 60);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(118, 55)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(121, 55)), 0u);
}

TEST_F(Renderer, ScissorFullWindowDisablesAndSmallerClipsWithYFlipped) {
    gfx->SetScissor(10, 20, 30, 40);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_EQ(box[0], 10);
    EXPECT_EQ(box[1], 480 - 20 - 40);
    EXPECT_EQ(box[2], 30);
    EXPECT_EQ(box[3], 40);
    gfx->DrawRect(0, 0, 640, 480);
    gfx->SetScissor(0, 0, 640, 480); // flushes the clipped rectangle first
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(Rgb(Pixel(10, 20)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(39, 59)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(9, 20)), 0u);
    EXPECT_EQ(Rgb(Pixel(10, 19)), 0u);
    EXPECT_EQ(Rgb(Pixel(40, 30)), 0u);
    EXPECT_EQ(Rgb(Pixel(20, 60)), 0u);
}

TEST_F(Renderer, ClearDropsThePendingBatchAndObeysTheScissor) {
    gfx->DrawRect(0, 0, 640, 480);
    gfx->Cls(0, 0, 255);
    EXPECT_EQ(gfx->primCount, 0);
    gfx->SetScissor(0, 0, 10, 10);
    gfx->Cls(255, 0, 0);
    gfx->EndRender();
    EXPECT_EQ(gfx->drawCalls, 0);
    EXPECT_EQ(Pixel(5, 5), 0xffff0000u);
    EXPECT_EQ(Pixel(300, 200), 0xff0000ffu);
}

TEST_F(Renderer, ReadPixelsGivesTheTopRowFirst) {
    gfx->SetColor(255, 0, 0);
    gfx->DrawRect(0, 0, 640, 1);
    gfx->SetColor(0, 255, 0);
    gfx->DrawRect(0, 1, 640, 1);
    Array<int> px(2 + 3 * 5);
    gfx->ReadPixels(px, 0, 0, 3, 2, 2, 5); // flushes the pending rectangles
    EXPECT_EQ(gfx->primCount, 0);
    EXPECT_EQ(static_cast<unsigned>(px[2]), 0xffff0000u);
    EXPECT_EQ(static_cast<unsigned>(px[4]), 0xffff0000u);
    EXPECT_EQ(static_cast<unsigned>(px[7]), 0xff00ff00u);
    EXPECT_EQ(px[5], 0); // outside the rows
    EXPECT_EQ(px[0], 0);
}

TEST_F(Renderer, PixelBlocksThatDoNotFitTheArrayAreRefused) {
    Array<int> px(10);
    for (int i = 0; i < 10; ++i)
        px[i] = 7;
    gfx->ReadPixels(px, 0, 0, 4, 3, 0, 4);  // needs 12
    gfx->ReadPixels(px, 0, 0, 2, 2, -1, 2); // starts before the array
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(px[i], 7);

    gxtkSurface *s = gfx->CreateSurface(4, 4);
    gfx->WritePixels2(s, px, 0, 0, 4, 3, 0, 4);
    EXPECT_EQ(s->data, nullptr);
}

} // namespace
