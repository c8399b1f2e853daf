// Surfaces against real OpenGL and real files: decoding, premultiplication, lazy textures across window
// changes, the power-of-two fallback, pixel writes, and broken files.
#include <GL/gl.h>

#include <cstring>

#include "graphics/imagedata.h"
#include "tests/graphics/gl_support.h"

using namespace gfxtest;

namespace {

using Surfaces = GlTest;

std::vector<unsigned char> Repeat(std::vector<unsigned char> pixel, int count) {
    std::vector<unsigned char> out;
    for (int i = 0; i < count; ++i)
        out.insert(out.end(), pixel.begin(), pixel.end());
    return out;
}

TEST_F(Surfaces, LoadingKeepsTheFilesChannelsAndPremultipliesAlpha) {
    gxtkSurface *rgba =
        gfx->LoadSurface(String(WritePng("rgba.png", 3, 2, 4, Repeat({200, 100, 50, 128}, 6)).c_str()));
    ASSERT_NE(rgba, nullptr);
    EXPECT_EQ(rgba->Width(), 3);
    EXPECT_EQ(rgba->Height(), 2);
    EXPECT_EQ(rgba->depth, 4);
    EXPECT_EQ(rgba->format, GL_RGBA);
    EXPECT_EQ(std::vector<unsigned char>(rgba->data, rgba->data + 4),
              (std::vector<unsigned char>{100, 50, 25, 128}));

    gxtkSurface *la = gfx->LoadSurface(String(WritePng("la.png", 2, 1, 2, {255, 0, 200, 255}).c_str()));
    ASSERT_NE(la, nullptr);
    EXPECT_EQ(la->format, GL_LUMINANCE_ALPHA);
    EXPECT_EQ(std::vector<unsigned char>(la->data, la->data + 4),
              (std::vector<unsigned char>{0, 0, 200, 255}));

    gxtkSurface *rgb = gfx->LoadSurface(String(WritePng("rgb.png", 1, 1, 3, {9, 8, 7}).c_str()));
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->format, GL_RGB);
    EXPECT_EQ(rgb->data[2], 7);

    gxtkSurface *grey = gfx->LoadSurface(String(WritePng("grey.png", 1, 1, 1, {77}).c_str()));
    ASSERT_NE(grey, nullptr);
    EXPECT_EQ(grey->format, GL_LUMINANCE);
    EXPECT_EQ(grey->data[0], 77);

    // Loaded surfaces have their texture at once, and the picture draws premultiplied.
    EXPECT_EQ(rgba->seq, glfwGraphicsSeq);
    gfx->SetMatrix(10, 0, 0, 10, 0, 0);
    gfx->DrawSurface(rgba, 0, 0);
    gfx->DrawSurface(grey, 5, 0);
    gfx->EndRender();
    EXPECT_TRUE(Near(Pixel(5, 5), 0x643219)) << std::hex << Pixel(5, 5);
    EXPECT_EQ(Rgb(Pixel(55, 5)), 0x4d4d4du);
}

TEST_F(Surfaces, BrokenFilesGiveNoneFromEveryLoader) {
    std::string good = WritePng("good.png", 32, 32, 4, Repeat({1, 2, 3, 255}, 32 * 32));
    std::vector<unsigned char> bytes = ReadFile(good);
    ASSERT_GT(bytes.size(), 60u);

    std::vector<std::string> broken;
    broken.push_back(TempDir() + "/missing.png");
    broken.push_back(WriteFile("empty.png", {}));
    broken.push_back(WriteFile("truncated.png",
                               std::vector<unsigned char>(bytes.begin(), bytes.begin() + bytes.size() / 2)));
    broken.push_back(
        WriteFile("header-only.png", std::vector<unsigned char>(bytes.begin(), bytes.begin() + 8)));
    std::vector<unsigned char> garbage(bytes.begin(), bytes.begin() + 8);
    for (int i = 0; i < 200; ++i)
        garbage.push_back(static_cast<unsigned char>(i * 37 + 11));
    broken.push_back(WriteFile("garbage.png", garbage));
    // A compressed stream with an impossible header.
    std::vector<unsigned char> badzlib = bytes;
    for (size_t i = 0; i + 4 < badzlib.size(); ++i)
        if (std::memcmp(&badzlib[i], "IDAT", 4) == 0) {
            for (size_t j = i + 4; j < i + 12 && j < badzlib.size(); ++j)
                badzlib[j] = 0xff;
            break;
        }
    broken.push_back(WriteFile("badzlib.png", badzlib));
    // A header that claims a picture far too large to allocate.
    std::vector<unsigned char> huge = bytes;
    const unsigned char dims[8] = {0x7f, 0xff, 0xff, 0xff, 0x7f, 0xff, 0xff, 0xff};
    std::memcpy(&huge[16], dims, 8);
    broken.push_back(WriteFile("huge.png", huge));

    long long extBefore = gc_ext_new_bytes.load();
    for (const std::string &path : broken) {
        SCOPED_TRACE(path);
        if (FILE *fp = std::fopen(path.c_str(), "rb")) {
            int w = -1, h = -1, d = -1;
            EXPECT_EQ(gxtkLoadImageFile(fp, &w, &h, &d), nullptr);
            EXPECT_EQ(w, -1);
            std::fclose(fp);
        }
        String p(path.c_str());
        EXPECT_EQ(gfx->LoadSurface(p), nullptr);
        EXPECT_EQ(rt_graphics_LoadImage(p, 1, 0), nullptr);
        EXPECT_EQ(rt_graphics_LoadImage2(p, 8, 8, 1, 0), nullptr);
    }
    EXPECT_EQ(gc_ext_new_bytes.load(), extBefore);
    // The good file still loads after all that.
    EXPECT_NE(gfx->LoadSurface(String(good.c_str())), nullptr);
}

TEST_F(Surfaces, RefusedSizesFallBackToAPowerOfTwoTexture) {
    EXPECT_EQ(gxtkSurface::PowerOfTwo(0), 1);
    EXPECT_EQ(gxtkSurface::PowerOfTwo(1), 1);
    EXPECT_EQ(gxtkSurface::PowerOfTwo(2), 2);
    EXPECT_EQ(gxtkSurface::PowerOfTwo(100), 128);
    EXPECT_EQ(gxtkSurface::PowerOfTwo(128), 128);

    gxtkSurface::refuseNonPowerOfTwo = true;
    gxtkSurface *s =
        gfx->LoadSurface(String(WritePng("npot.png", 100, 30, 4, Repeat({255, 0, 0, 255}, 3000)).c_str()));
    gxtkSurface::refuseNonPowerOfTwo = false;
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Width(), 100);
    EXPECT_FLOAT_EQ(s->uscale, 1.0f / 128);
    EXPECT_FLOAT_EQ(s->vscale, 1.0f / 32);
    GLint texw = 0, texh = 0;
    glBindTexture(GL_TEXTURE_2D, s->texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &texw);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &texh);
    EXPECT_EQ(texw, 128);
    EXPECT_EQ(texh, 32);

    gfx->DrawSurface(s, 0, 0);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(0, 0)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(99, 29)), 0xff0000u);
    EXPECT_EQ(Rgb(Pixel(100, 10)), 0u);
    EXPECT_EQ(Rgb(Pixel(50, 30)), 0u);
}

TEST_F(Surfaces, TexturesAreRebuiltLazilyAfterANewWindow) {
    // Without a context a new surface makes no GL call; its texture waits for a bind.
    int seq = glfwGraphicsSeq;
    glfwGraphicsSeq = 0;
    gxtkSurface *early = gfx->CreateSurface(2, 2);
    glfwGraphicsSeq = seq;
    EXPECT_EQ(early->seq, -1);
    EXPECT_EQ(early->uscale, 0);

    gxtkSurface *drawn =
        gfx->LoadSurface(String(WritePng("green.png", 4, 4, 4, Repeat({0, 255, 0, 255}, 16)).c_str()));
    gxtkSurface *idle =
        gfx->LoadSurface(String(WritePng("idle.png", 4, 4, 3, Repeat({9, 9, 9}, 16)).c_str()));
    ASSERT_NE(drawn, nullptr);
    ASSERT_NE(idle, nullptr);
    int oldSeq = glfwGraphicsSeq;
    EXPECT_EQ(drawn->seq, oldSeq);

    gfx->EndRender();
    CloseWindow();
    ASSERT_NE(OpenWindow(), nullptr);
    ASSERT_EQ(glfwGraphicsSeq, oldSeq + 1);
    gfx->BeginRender();
    gfx->SetScissor(0, 0, 640, 480);
    gfx->Cls(0, 0, 0);
    gfx->SetMatrix(10, 0, 0, 10, 0, 0);
    gfx->DrawSurface(drawn, 0, 0);
    gfx->DrawSurface(early, 10, 0);
    gfx->EndRender();
    EXPECT_EQ(drawn->seq, glfwGraphicsSeq);
    EXPECT_EQ(Rgb(Pixel(20, 20)), 0x00ff00u); // the picture again, from the kept pixels
    EXPECT_EQ(early->seq, glfwGraphicsSeq);
    EXPECT_FLOAT_EQ(early->uscale, 0.5f);
    EXPECT_EQ(idle->seq, oldSeq); // never drawn again: no texture made
}

TEST_F(Surfaces, PixelWritesArePremultipliedAndReachTheTexture) {
    gxtkSurface *s = gfx->CreateSurface(4, 4);
    Array<int> blue(16);
    for (int i = 0; i < 16; ++i)
        blue[i] = static_cast<int>(0xff0000ffu);
    gfx->WritePixels2(s, blue, 0, 0, 4, 4, 0, 4);
    Array<int> red(6); // a 2 x 2 block, pitch 3
    for (int i = 0; i < 6; ++i)
        red[i] = static_cast<int>(0x80ff0000u);
    gfx->WritePixels2(s, red, 1, 1, 2, 2, 0, 3);
    const unsigned char *p = s->data + (1 * 4 + 1) * 4;
    EXPECT_EQ(std::vector<unsigned char>(p, p + 4), (std::vector<unsigned char>{128, 0, 0, 128}));

    // A block reaching outside the picture is refused whole.
    gfx->WritePixels2(s, red, 3, 0, 2, 2, 0, 3);
    EXPECT_EQ(s->data[3 * 4 + 3], 255);

    gfx->SetMatrix(10, 0, 0, 10, 0, 0);
    gfx->DrawSurface(s, 0, 0);
    gfx->EndRender();
    EXPECT_EQ(Rgb(Pixel(5, 5)), 0x0000ffu);
    EXPECT_EQ(Rgb(Pixel(15, 15)), 0x800000u);
    EXPECT_EQ(Rgb(Pixel(25, 25)), 0x800000u);
    EXPECT_EQ(Rgb(Pixel(35, 25)), 0x0000ffu);

    // Only RGBA surfaces take pixel writes.
    gxtkSurface *grey = gfx->LoadSurface(String(WritePng("grey2.png", 2, 2, 1, {1, 2, 3, 4}).c_str()));
    ASSERT_NE(grey, nullptr);
    gfx->WritePixels2(grey, red, 0, 0, 2, 2, 0, 3);
    EXPECT_EQ(std::vector<unsigned char>(grey->data, grey->data + 4),
              (std::vector<unsigned char>{1, 2, 3, 4}));
}

TEST_F(Surfaces, DiscardAndCollectionReleaseTextureAndPixels) {
    gxtkSurface *s =
        gfx->LoadSurface(String(WritePng("discard.png", 8, 8, 4, Repeat({1, 1, 1, 255}, 64)).c_str()));
    ASSERT_NE(s, nullptr);
    unsigned name = s->texture;
    EXPECT_TRUE(glIsTexture(name));
    s->Discard();
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(s->seq, -1);
    EXPECT_EQ(s->data, nullptr);

    // A surface the game drops is destroyed by the collector with its pixels (the leak checker watches).
    ASSERT_NE(
        gfx->LoadSurface(String(WritePng("dropped.png", 64, 64, 4, Repeat({5, 5, 5, 255}, 4096)).c_str())),
        nullptr);
    long before = gc_destroyed_count;
    Collect();
    EXPECT_GT(gc_destroyed_count, before);
}

} // namespace

// Decoded pictures share one budget: a picture past it is refused, charging nothing, with a message that
// names it; a surface that lets go of its pixels gives their room back.
TEST_F(Surfaces, DecodedPicturesShareOneBudget) {
    const size_t picture = 64 * 64 * 4;
    std::string file = WritePng("budget.png", 64, 64, 4, Repeat({1, 2, 3, 255}, 64 * 64));
    String path(file.c_str());
    const size_t before = gxtkPictureBytes(), budget = gxtkPictureBudget;
    gxtkPictureBudget = before + 3 * picture;

    std::vector<gxtkSurface *> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(gfx->LoadSurface(path));
    for (gxtkSurface *s : held)
        ASSERT_NE(s, nullptr);
    EXPECT_EQ(gxtkPictureBytes(), before + 3 * picture);

    testing::internal::CaptureStderr();
    EXPECT_EQ(gfx->LoadSurface(path), nullptr);
    EXPECT_EQ(rt_graphics_LoadImage(path, 1, 0), nullptr);
    const std::string said = testing::internal::GetCapturedStderr();
    const std::string line =
        "Picture " + file + " could not be loaded: the pictures in memory would pass their budget";
    EXPECT_EQ(said.find(line), 0u) << said;
    EXPECT_NE(said.find(line, line.size()), std::string::npos) << said;
    EXPECT_EQ(gxtkPictureBytes(), before + 3 * picture);

    held[0]->Discard();
    EXPECT_EQ(gxtkPictureBytes(), before + 2 * picture);
    gxtkSurface *again = gfx->LoadSurface(path);
    ASSERT_NE(again, nullptr);
    // A picture that replaces another's pixels gives the old charge back too.
    held[1]->SetData(static_cast<unsigned char *>(std::calloc(picture, 1)), 64, 64, 4);
    EXPECT_EQ(gxtkPictureBytes(), before + 2 * picture);
    gxtkPictureBudget = budget;
}
