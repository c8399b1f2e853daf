// The application frame with the real graphics device: StartGame creates it, RenderGame brackets the
// application's drawing with the renderer and the drawing interface.
#include "appframe/app.h"
#include "tests/graphics/gl_support.h"

using namespace gfxtest;

namespace {

class PaintApp : public c_App {
  public:
    int renders = 0;
    int p_OnRender() override {
        ++renders;
        EXPECT_EQ(rt_graphics_renderDevice, rt_graphics_device);
        rt_graphics_Translate(5, 5); // the frame starts from the identity again every time
        rt_graphics_SetColor(0, 255, 0);
        rt_graphics_DrawRect(10, 10, 20, 20);
        return 0;
    }
};

TEST(AppFrame, RenderGameDrawsTheApplicationsFrame) {
    Host();
    ASSERT_NE(OpenWindow(), nullptr);
    rt_app__game = Host();
    PaintApp *app = new PaintApp;
    app->m_new();
    rt_app__delegate->StartGame();
    ASSERT_NE(rt_app__delegate->m_graphics, nullptr);
    EXPECT_EQ(rt_graphics_device, rt_app__delegate->m_graphics);
    EXPECT_EQ(rt_graphics_context->font, nullptr); // no default font file in this test's data folder

    for (int i = 0; i < 2; ++i) rt_app__delegate->RenderGame();
    EXPECT_EQ(app->renders, 2);
    EXPECT_EQ(rt_graphics_renderDevice, nullptr);
    EXPECT_EQ(rt_graphics_device->primCount, 0); // EndRender flushed the last batch
    EXPECT_EQ(rt_graphics_device->drawCalls, 1);
    EXPECT_EQ(Rgb(Pixel(20, 20)), 0x00ff00u);
    EXPECT_EQ(Rgb(Pixel(34, 34)), 0x00ff00u);
    EXPECT_NE(Rgb(Pixel(36, 20)), 0x00ff00u);
}

} // namespace
