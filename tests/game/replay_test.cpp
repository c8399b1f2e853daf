// The draw list replayed by the real renderer into a real window (runs under Xvfb).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "tests/support/testhost.h"

namespace {

namespace fs = std::filesystem;

// A data folder holding only the logo: a 512 x 512 picture (the doubled file a 640 x 480 window asks
// for), white and opaque in a centre square, clear elsewhere.
fs::path makeLogoData() {
    fs::path dir = fs::temp_directory_path() / ("tide_replay_" + std::to_string(::getpid()));
    fs::create_directories(dir / "common");
    const int n = 512;
    std::vector<unsigned char> px(n * n * 4, 0);
    for (int y = 128; y < 384; ++y)
        for (int x = 128; x < 384; ++x) {
            unsigned char *p = &px[(y * n + x) * 4];
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    stbi_write_png((dir / "common" / "VorloLogo-hd.png").c_str(), n, n, 4, px.data(), n * 4);
    return dir;
}

bool near(unsigned rgb, int r, int g, int b, int tolerance = 3) {
    return std::abs(static_cast<int>(rgb >> 16 & 255) - r) <= tolerance &&
           std::abs(static_cast<int>(rgb >> 8 & 255) - g) <= tolerance &&
           std::abs(static_cast<int>(rgb & 255) - b) <= tolerance;
}

TEST(Replay, LoadingScreenFrame) {
    fs::path dir = makeLogoData();
    TestHost host;
    host.dataDir = dir.string() + "/";
    ASSERT_TRUE(host.OpenWindow(640, 480));
    host.Boot();
    c_MyApp *app = host.App();
    app->bgR = 0;
    app->bgG = 0;
    app->bgB = 96; // fades to 84 this update
    host.Update();
    host.Render();

    EXPECT_FLOAT_EQ(app->scaleX, 1);
    EXPECT_EQ(app->lastDevW, 640);
    // Background: the clear colour in a corner.
    EXPECT_TRUE(near(host.Pixel(2, 2), 0, 0, 84)) << std::hex << host.Pixel(2, 2);
    // The logo: drawn at twice its size at half the file's resolution, centred at (320, 230).
    EXPECT_TRUE(near(host.Pixel(320, 230), 255, 255, 255)) << std::hex << host.Pixel(320, 230);
    EXPECT_TRUE(near(host.Pixel(320 + 250, 230), 0, 0, 84)); // the logo's clear margin
    // The brightest dot of the middle ring, at angle spin + 120 + 40 = 163 degrees, 192 pixels out.
    double a = 163 * 3.14159265358979 / 180;
    int x = static_cast<int>(std::lround(320 + std::sin(a) * 192)),
        y = static_cast<int>(std::lround(240 - std::cos(a) * 192));
    EXPECT_TRUE(near(host.Pixel(x, y), 255, 125, 0)) << std::hex << host.Pixel(x, y);
    fs::remove_all(dir);
}

TEST(Replay, OverscanAndWindowChange) {
    TestHost host;
    ASSERT_TRUE(host.OpenWindow(640, 480));
    host.Boot();
    c_MyApp *app = host.App();
    host.FinishLoading();
    app->gameMode = 0;
    rt_Brinefall_overscan = 64;
    app->p_CLS2D(0, 0, 0, 1);
    app->p_SetCol(0, 255, 0);
    app->p_Rect(0, 0, 10, 10);
    host.Render();
    // 512 x 352 of picture inside the border: scale 0.8 from the width, and the border is 64 by 48.
    EXPECT_FLOAT_EQ(app->scaleX, 0.8f);
    EXPECT_TRUE(near(host.Pixel(66, 50), 0, 255, 0));
    EXPECT_TRUE(near(host.Pixel(60, 50), 0, 0, 0));
    EXPECT_EQ(app->loading, 0);

    host.SetDeviceWindow(800, 600, 0);
    host.Render();
    EXPECT_EQ(app->loading, 1); // a new window: everything loads again
}

} // namespace
