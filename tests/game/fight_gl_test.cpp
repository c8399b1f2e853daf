// A reborn-phase fight rendered into a real window (runs under Xvfb): the Tidecrawler, the ship, the
// thrown fish and the marquee letters land where the fight puts them.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "tests/support/testhost.h"

namespace {

namespace fs = std::filesystem;

// A sheet of frames (the doubled files a 640 x 480 window asks for), each frame clear but for a solid
// square in its centre whose colour says which frame it is.
void writeSheet(const fs::path &file, int frame, int frames, int columns, int square,
                unsigned (*colourOf)(int)) {
    const int w = frame * columns, h = frame * ((frames + columns - 1) / columns);
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 4, 0);
    for (int f = 0; f < frames; ++f) {
        const unsigned c = colourOf(f);
        if (!c) continue;
        const int x0 = (f % columns) * frame + (frame - square) / 2,
                  y0 = (f / columns) * frame + (frame - square) / 2;
        for (int y = y0; y < y0 + square; ++y)
            for (int x = x0; x < x0 + square; ++x) {
                unsigned char *p = &px[(static_cast<size_t>(y) * w + x) * 4];
                p[0] = c >> 16 & 255;
                p[1] = c >> 8 & 255;
                p[2] = c & 255;
                p[3] = 255;
            }
    }
    fs::create_directories(file.parent_path());
    stbi_write_png(file.c_str(), w, h, 4, px.data(), w * 4);
}

unsigned gfxColour(int f) {
    if (f == 0) return 0xffff00;             // the ship
    if (f >= 7 && f <= 16) return 0xff0000;  // the Tidecrawler in all its looks
    if (f >= 21 && f <= 24) return 0x00ff00; // thrown fish
    return 0;
}
unsigned glyphColour(int f) { return f > 0 ? 0x00ffff : 0; }

fs::path makeFightData() {
    fs::path dir = fs::temp_directory_path() / ("tide_fight_gl_" + std::to_string(::getpid()));
    writeSheet(dir / "gfx-hd.png", 72, 49, 7, 40, gfxColour);
    writeSheet(dir / "fonts" / "shadow_editundo-hd.png", 32, 128, 16, 8, glyphColour);
    writeSheet(dir / "fonts" / "shadow_editundow-hd.png", 32, 128, 16, 8, glyphColour);
    return dir;
}

bool near(unsigned rgb, unsigned want, int tolerance = 8) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>(rgb >> shift & 255) - static_cast<int>(want >> shift & 255)) >
            tolerance)
            return false;
    return true;
}

void saveFrame(const std::string &file) {
    std::vector<unsigned char> px(640 * 480 * 4), flipped(640 * 480 * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    for (int y = 0; y < 480; ++y)
        std::copy_n(&px[(479 - y) * 640 * 4], 640 * 4, &flipped[y * 640 * 4]);
    stbi_write_png(file.c_str(), 640, 480, 4, flipped.data(), 640 * 4);
}

TEST(FightScreen, RebornPhaseShowsTheTidecrawlerFishShipAndMarquee) {
    fs::path dir = makeFightData();
    TestHost host;
    host.dataDir = dir.string() + "/";
    ASSERT_TRUE(host.OpenWindow(640, 480));
    host.Boot();
    c_MyApp *app = host.App();
    ASSERT_TRUE(host.FinishLoading());
    app->gameMode = 11;
    host.Update();
    host.msPerUpdate = 0;

    // Reborn, upright and at rest; no throws due; the marquee brought on screen.
    using App = c_MyApp;
    float *pl = &app->players[0];
    pl[App::kPhase] = 3;
    pl[App::kThrowTimer] = -1000;
    app->camTargetX = app->camX;
    const float cx = app->camX, cy = app->camY;
    pl[App::kCrawlerX] = cx + 450;
    pl[App::kCrawlerY] = cy + 200;
    pl[App::kTargetX] = pl[App::kCrawlerX] + 2; // close enough to rest there this update
    pl[App::kTargetY] = pl[App::kCrawlerY];
    pl[App::kPlayerX] = cx + 100;
    pl[App::kPlayerY] = cy + 300;
    app->p_ResetObj();
    const float fish[3][2] = {{300, 120}, {380, 320}, {200, 60}};
    for (const auto &f : fish) {
        const int o = app->p_FreeObj(100);
        app->obj[o] = App::kObjFish;
        app->obj[o + 1] = cx + f[0];
        app->obj[o + 2] = cy + f[1];
    }
    const int count = static_cast<int>(pl[App::kMarqueeCount]);
    const float shift = rt_Brinefall_jscrw + 128 - 103.5f; // first letter lands at x = 100
    for (int n = 0; n < count; ++n)
        app->marquee[App::kMarqueePlane + n] -= shift;

    app->bgB = 80; // the sea has long reached its colour
    host.Update();
    host.Render();
    saveFrame(std::string(TIDE_BINARY_DIR) + "/fight_phase3.png");

    // Dark blue sea behind everything.
    const unsigned sea = host.Pixel(600, 20);
    EXPECT_TRUE(near(sea, 0x000050, 3)) << std::hex << sea;
    EXPECT_TRUE(near(host.Pixel(450, 200), 0xff0000)) << std::hex << host.Pixel(450, 200);
    EXPECT_TRUE(near(host.Pixel(100, 300), 0xffff00)) << std::hex << host.Pixel(100, 300);
    for (const auto &f : fish)
        EXPECT_TRUE(near(host.Pixel(f[0], f[1]), 0x00ff00)) << f[0] << "," << f[1];
    EXPECT_TRUE(near(host.Pixel(450, 200 + 40), sea)); // the Tidecrawler's square ends 20 below its centre

    // The first marquee letter, riding its wave at the bottom of the screen.
    const float w = std::sin((host.clock / 8) * 3.14159265358979 / 180);
    const int ly = static_cast<int>(std::lround(480 - 64 + 16 * w));
    EXPECT_TRUE(near(host.Pixel(100, ly), 0x00ffff)) << std::hex << host.Pixel(100, ly);
    EXPECT_EQ(app->marquee[App::kMarqueePlane], 100);
    fs::remove_all(dir);
}

} // namespace
