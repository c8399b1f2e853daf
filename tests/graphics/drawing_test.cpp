// Images, frames and the drawing interface: frame layout and flags, the matrix and its stack, and whole
// frames drawn through the rt_graphics_ functions and read back.
#include <unistd.h>

#include "tests/graphics/gl_support.h"

using namespace gfxtest;

namespace {

// A surface of the given size with no pixels and no texture: enough for laying out frames.
gxtkSurface *BareSurface(int w, int h) {
    gxtkSurface *s = new gxtkSurface();
    s->width = w;
    s->height = h;
    return s;
}

c_Image *NewImage() { return (new c_Image)->m_new(); }

std::vector<std::pair<int, int>> FramePositions(c_Image *img) {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < img->frames.Length(); ++i)
        out.emplace_back(img->frames[i]->x, img->frames[i]->y);
    return out;
}

class Images : public ::testing::Test {
  protected:
    void SetUp() override { rt_graphics_SetGraphicsDevice(nullptr); }
};

TEST_F(Images, GridFramesWrapAtTheSourceWidth) {
    c_Image *img = NewImage()->p_Init2(BareSurface(64, 32), 0, 0, 16, 16, 8, 0, nullptr, 0, 0, 64, 32);
    EXPECT_EQ(FramePositions(img),
              (std::vector<std::pair<int, int>>{
                  {0, 0}, {16, 0}, {32, 0}, {48, 0}, {0, 16}, {16, 16}, {32, 16}, {48, 16}}));
    EXPECT_EQ(img->width, 16);
    EXPECT_FALSE(img->flags & c_Image::WholeSurface);

    // Frames cut from a rectangle of another image's surface sit at that rectangle's offset.
    c_Image *src = NewImage()->p_Init(BareSurface(64, 32), 1, 0);
    c_Image *sub = NewImage()->p_Init2(src->surface, 0, 0, 8, 8, 3, 0, src, 16, 8, 16, 16);
    EXPECT_EQ(FramePositions(sub), (std::vector<std::pair<int, int>>{{16, 8}, {24, 8}, {16, 16}}));
    EXPECT_EQ(sub->source, src);
}

TEST_F(Images, StripFramesAndPaddingAndCentredHandle) {
    c_Image *strip = NewImage()->p_Init(BareSurface(40, 10), 4, 0);
    EXPECT_EQ(FramePositions(strip), (std::vector<std::pair<int, int>>{{0, 0}, {10, 0}, {20, 0}, {30, 0}}));

    c_Image *padded = NewImage()->p_Init(BareSurface(34, 12), 1, c_Image::HandleCentred | c_Image::PadX);
    EXPECT_EQ(padded->width, 32);
    EXPECT_EQ(padded->height, 12);
    EXPECT_EQ(padded->frames[0]->x, 1);
    EXPECT_FLOAT_EQ(padded->tx, 16);
    EXPECT_FLOAT_EQ(padded->ty, 6);
    EXPECT_EQ(padded->flags, c_Image::PadX); // centring is done once and cleared; not the whole surface

    c_Image *padY = NewImage()->p_Init(BareSurface(20, 12), 2, c_Image::PadY);
    EXPECT_EQ(FramePositions(padY), (std::vector<std::pair<int, int>>{{0, 1}, {10, 1}}));
    EXPECT_EQ(padY->height, 10);
}

TEST_F(Images, WholeSurfaceSurvivesSetHandle) {
    c_Image *img = NewImage()->p_Init(BareSurface(20, 10), 1, 0);
    EXPECT_TRUE(img->flags & c_Image::WholeSurface);
    img->p_SetHandle(3, 4);
    EXPECT_TRUE(img->flags & c_Image::WholeSurface);
    EXPECT_FLOAT_EQ(img->tx, 3);
    EXPECT_FLOAT_EQ(img->ty, 4);
}

// Runtime errors end the process: each runs in a child whose standard output goes to the checked stream.
TEST(ImageErrors, RaiseTheirRuntimeErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            NewImage()->p_Init2(BareSurface(64, 32), 0, 0, 16, 16, 9, 0, nullptr, 0, 0, 64, 32);
        },
        ::testing::ExitedWithCode(255), "Zindle Runtime Error : Image frame outside surface");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            NewImage()->p_Init2(BareSurface(64, 32), 0, 0, 80, 16, 1, 0, nullptr, 0, 0, 64, 32);
        },
        ::testing::ExitedWithCode(255), "Zindle Runtime Error : Image frame outside surface");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            c_Image *img = NewImage()->p_Init(BareSurface(8, 8), 1, 0);
            img->p_Init(BareSurface(8, 8), 1, 0);
        },
        ::testing::ExitedWithCode(255), "Zindle Runtime Error : Image already initialized");
    EXPECT_EXIT(
        {
            dup2(2, 1);
            NewImage()->p_Init(BareSurface(8, 8), 0, 0);
        },
        ::testing::ExitedWithCode(255), "Zindle Runtime Error : Image frame count must be at least 1");
}

struct Point {
    float x, y;
};
Point Apply(Point p) {
    c_GraphicsContext *c = rt_graphics_context;
    return {c->ix * p.x + c->jx * p.y + c->tx, c->iy * p.x + c->jy * p.y + c->ty};
}

class Matrix : public Images {
  protected:
    void SetUp() override {
        Images::SetUp();
        rt_graphics_BeginRender(); // resets the matrix and its stack
    }
    void TearDown() override { rt_graphics_EndRender(); }
};

TEST_F(Matrix, TransformsApplyTheNewestFirst) {
    rt_graphics_Translate(10, 20);
    rt_graphics_Scale(2, 2);
    Point p = Apply({1, 1});
    EXPECT_FLOAT_EQ(p.x, 12);
    EXPECT_FLOAT_EQ(p.y, 22);

    rt_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
    EXPECT_FALSE(rt_graphics_context->tformed);
    rt_graphics_Scale(2, 2);
    rt_graphics_Translate(10, 20);
    EXPECT_TRUE(rt_graphics_context->tformed);
    p = Apply({1, 1});
    EXPECT_FLOAT_EQ(p.x, 22);
    EXPECT_FLOAT_EQ(p.y, 42);

    rt_graphics_SetMatrix(1, 0, 0, 1, 0, 0);
    rt_graphics_Rotate(90); // the x axis turns to point up the screen
    p = Apply({1, 0});
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, -1, 1e-6);
}

TEST_F(Matrix, StackGrowsByDoublingAndPopsRestoreInReverse) {
    EXPECT_EQ(rt_graphics_context->matrixStack.Length(), 192);
    for (int i = 0; i < 33; ++i) {
        rt_graphics_SetMatrix(1, 0, 0, 1, static_cast<float>(i), static_cast<float>(-i));
        rt_graphics_PushMatrix();
    }
    EXPECT_EQ(rt_graphics_context->matrixStack.Length(), 384);
    EXPECT_EQ(rt_graphics_context->matrixSp, 33 * 6);
    rt_graphics_SetMatrix(5, 0, 0, 5, 0, 0);
    for (int i = 32; i >= 0; --i) {
        rt_graphics_PopMatrix();
        ASSERT_FLOAT_EQ(rt_graphics_context->tx, static_cast<float>(i));
        ASSERT_FLOAT_EQ(rt_graphics_context->ty, static_cast<float>(-i));
        ASSERT_FLOAT_EQ(rt_graphics_context->ix, 1);
    }
    // A pop without a push keeps the matrix.
    rt_graphics_PopMatrix();
    EXPECT_EQ(rt_graphics_context->matrixSp, 0);
    EXPECT_FLOAT_EQ(rt_graphics_context->tx, 0);
}

TEST_F(Matrix, FrameStartResetsStateButKeepsTheFont) {
    c_Image *font = NewImage()->p_Init(BareSurface(8, 8), 1, 0);
    rt_graphics_SetFont(font, 65);
    rt_graphics_Translate(3, 3);
    rt_graphics_PushMatrix();
    rt_graphics_SetColor(1, 2, 3);
    rt_graphics_SetAlpha(0.25f);
    rt_graphics_SetBlend(1);
    rt_graphics_BeginRender();
    c_GraphicsContext *c = rt_graphics_context;
    EXPECT_EQ(c->matrixSp, 0);
    EXPECT_FALSE(c->tformed);
    EXPECT_TRUE(c->matDirty);
    EXPECT_FLOAT_EQ(c->colorR, 255);
    EXPECT_FLOAT_EQ(c->alpha, 1);
    EXPECT_EQ(c->blend, 0);
    EXPECT_EQ(c->font, font);
    EXPECT_EQ(c->firstChar, 65);
}

// ---- Drawing through the interface, against real OpenGL

class Drawing : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        rt_graphics_BeginRender();
        gfx->Cls(0, 0, 0);
    }
};

// A 16 x 16 picture: left half blue, right half red.
c_Image *HalvesImage(int flags) {
    std::vector<unsigned char> px;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            std::vector<unsigned char> c = x < 8 ? std::vector<unsigned char>{0, 0, 255, 255}
                                                 : std::vector<unsigned char>{255, 0, 0, 255};
            px.insert(px.end(), c.begin(), c.end());
        }
    return rt_graphics_LoadImage(String(WritePng("halves.png", 16, 16, 4, px).c_str()), 1, flags);
}

TEST_F(Drawing, MatrixIsSentOnlyWhenADrawNeedsIt) {
    rt_graphics_Translate(100, 50);
    EXPECT_FALSE(gfx->tformed);
    rt_graphics_DrawRect(0, 0, 10, 10);
    EXPECT_TRUE(gfx->tformed);
    EXPECT_FLOAT_EQ(gfx->tx, 100);
    EXPECT_FALSE(rt_graphics_context->matDirty);
    rt_graphics_EndRender();
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(105, 55)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(5, 5)), 0u);
}

TEST_F(Drawing, ImagesDrawTheirFrameAtTheirHandle) {
    // 64 x 32 sheet of 16 x 16 frames, frame i filled with grey level 20 * (i + 1).
    std::vector<unsigned char> px;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            px.push_back(static_cast<unsigned char>(20 * ((y / 16) * 4 + x / 16 + 1)));
    c_Image *sheet = rt_graphics_LoadImage2(String(WritePng("sheet.png", 64, 32, 1, px).c_str()), 16, 16, 8,
                                            c_Image::HandleCentred);
    ASSERT_NE(sheet, nullptr);
    rt_graphics_DrawImage(sheet, 100, 100, 5);

    c_Image *whole = HalvesImage(0);
    ASSERT_NE(whole, nullptr);
    EXPECT_TRUE(whole->flags & c_Image::WholeSurface);
    whole->p_SetHandle(2, 2);
    rt_graphics_DrawImage(whole, 200, 200, 0);
    rt_graphics_DrawImage(whole, 300, 300, 1);  // no such frame: nothing drawn
    rt_graphics_DrawImage(whole, 300, 300, -1); // nor here
    rt_graphics_EndRender();
    gfx->EndRender();

    EXPECT_EQ(Rgb(Pixel(92, 92)), 0x787878u); // frame 5 is grey 120
    EXPECT_EQ(Rgb(Pixel(107, 107)), 0x787878u);
    EXPECT_EQ(Rgb(Pixel(91, 100)), 0u);
    EXPECT_EQ(Rgb(Pixel(108, 100)), 0u);
    EXPECT_EQ(Rgb(Pixel(198, 198)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(213, 213)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(197, 198)), 0u);
    EXPECT_EQ(Rgb(Pixel(305, 305)), 0u);
}

TEST_F(Drawing, DrawImage2RotatesCounterClockwiseAndScalesAboutTheHandle) {
    c_Image *img = HalvesImage(c_Image::HandleCentred);
    ASSERT_NE(img, nullptr);
    rt_graphics_DrawImage2(img, 100, 100, 90, 1, 1, 0);
    rt_graphics_DrawImage2(img, 300, 100, 0, 2, 1, 0);
    rt_graphics_EndRender();
    gfx->EndRender();
    EXPECT_EQ(gfx->drawCalls, 1); // one texture, one batch
    // Turned by 90 degrees, the red right half points up the screen.
    EXPECT_EQ(Rgb(Pixel(100, 94)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(100, 106)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(100, 109)), 0u);
    // Twice as wide about the centre: x 284 to 315.
    EXPECT_EQ(Rgb(Pixel(286, 100)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(314, 100)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(317, 100)), 0u);
    EXPECT_EQ(Rgb(Pixel(300, 109)), 0u);
    // The matrix is back where it was.
    EXPECT_EQ(rt_graphics_context->matrixSp, 0);
    EXPECT_FALSE(rt_graphics_context->tformed);
}

TEST_F(Drawing, AFrameOfShapesThroughTheInterface) {
    rt_graphics_SetColor(0, 0, 255);
    rt_graphics_DrawRect(0, 0, 100, 100);
    rt_graphics_SetColor(255, 0, 0);
    rt_graphics_SetAlpha(0.5f);
    rt_graphics_DrawEllipse(20, 20, 60, 60);
    rt_graphics_SetAlpha(1);
    rt_graphics_SetBlend(1);
    rt_graphics_SetColor(0, 255, 0);
    rt_graphics_DrawLine(0, 90, 100, 90);
    rt_graphics_SetBlend(0);
    rt_graphics_SetScissor(200.9f, 0, 50, 50); // truncated to 200
    rt_graphics_SetColor(255, 255, 255);
    Array<float> tri(6);
    float v[6] = {150, 0, 300, 0, 150, 150};
    for (int i = 0; i < 6; ++i)
        tri[i] = v[i];
    rt_graphics_DrawPoly(tri);
    rt_graphics_SetScissor(0, 0, 640, 480);
    rt_graphics_EndRender();
    gfx->EndRender();

    EXPECT_EQ(Rgb(Pixel(5, 5)), 0x0000ffu);
    EXPECT_TRUE(Near(Pixel(50, 50), 0x7f0080)) << std::hex << Pixel(50, 50);
    EXPECT_EQ(Rgb(Pixel(10, 90)), 0x00ffffu);
    EXPECT_EQ(Rgb(Pixel(199, 10)), 0u);
    EXPECT_EQ(Rgb(Pixel(200, 10)), 0xffffffu);
    EXPECT_EQ(Rgb(Pixel(200, 50)), 0u);
}

TEST_F(Drawing, TexturedPolygonUsesTheFrameOffset) {
    std::vector<unsigned char> px;
    for (int x = 0; x < 32; ++x)
        px.push_back(x < 16 ? 50 : 200);
    c_Image *img = rt_graphics_LoadImage2(String(WritePng("two.png", 32, 1, 1, px).c_str()), 16, 1, 2, 0);
    ASSERT_NE(img, nullptr);
    Array<float> quad(16);
    float v[16] = {0, 0, 0, 0, 40, 0, 16, 0, 40, 40, 16, 1, 0, 40, 0, 1};
    for (int i = 0; i < 16; ++i)
        quad[i] = v[i];
    rt_graphics_Translate(10, 10);
    rt_graphics_DrawPoly2(quad, img, 1);
    rt_graphics_EndRender();
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(30, 30)), 0xc8c8c8u);
    EXPECT_EQ(Rgb(Pixel(5, 30)), 0u);
}

TEST_F(Drawing, NothingIsDrawnOutsideAFrame) {
    c_Image *img = HalvesImage(0);
    rt_graphics_EndRender();
    rt_graphics_DrawRect(0, 0, 10, 10);
    rt_graphics_DrawImage(img, 0, 0, 0);
    rt_graphics_DrawImage2(img, 0, 0, 10, 1, 1, 0);
    rt_graphics_SetColor(1, 2, 3); // kept, but no renderer to tell
    EXPECT_EQ(gfx->primCount, 0);
    EXPECT_FLOAT_EQ(rt_graphics_context->colorR, 1);
    EXPECT_FLOAT_EQ(gfx->r, 255);
}

TEST_F(Drawing, DefaultFontIsLoadedOnceWhenItExists) {
    std::string font = Host()->dataDir + "/tovu_font.png";
    std::remove(font.c_str());
    rt_graphics_context->defaultFont = nullptr;
    rt_graphics_SetFont(nullptr, 40);
    EXPECT_EQ(rt_graphics_context->font, nullptr);

    std::vector<unsigned char> px(96 * 10 * 12 * 2, 255);
    WritePng("tovu_font.png", 96 * 10, 12, 2, px);
    rt_graphics_SetFont(nullptr, 40);
    c_Image *loaded = rt_graphics_context->font;
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(rt_graphics_context->firstChar, 32);
    EXPECT_EQ(loaded->frames.Length(), 96);
    EXPECT_EQ(loaded->width, 8);
    EXPECT_EQ(loaded->frames[1]->x, 11);

    c_Image *other = NewImage()->p_Init(BareSurface(8, 8), 1, 0);
    rt_graphics_SetFont(other, 65);
    EXPECT_EQ(rt_graphics_context->font, other);
    EXPECT_EQ(rt_graphics_context->firstChar, 65);
    rt_graphics_SetFont(nullptr, 0);
    EXPECT_EQ(rt_graphics_context->font, loaded); // not loaded a second time
}

} // namespace
