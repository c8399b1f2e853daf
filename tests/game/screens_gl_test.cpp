// The screens with the game's own pictures, rendered into real windows of the sizes players have (runs
// under Xvfb): what the player sees must fit the layout at 640 x 480, 800 x 600 and in full screen, on
// square-ish and on wide displays (the commonest laptop panel, 1366 x 768, among them).
// Each frame checked is also written to <build>/screens/ for a look.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <stb/stb_image_write.h>

#include "tests/support/testhost.h"

namespace {

namespace fs = std::filesystem;

struct Size {
    int w, h;
};
const Size kSizes[] = {{640, 480}, {800, 600}, {1280, 1024}, {1920, 1080}, {1366, 768}};

// The last rendered frame, read back once.
class Frame {
  public:
    Frame(int w, int h) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4) {
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, px_.data());
    }
    int W() const { return w_; }
    int H() const { return h_; }
    // 0xRRGGBB of a device pixel, y from the top.
    unsigned At(int x, int y) const {
        const unsigned char *p = &px_[(static_cast<size_t>(h_ - 1 - y) * w_ + x) * 4];
        return static_cast<unsigned>(p[0]) << 16 | static_cast<unsigned>(p[1]) << 8 | p[2];
    }
    void Save(const std::string &name) const {
        fs::path dir = fs::path(TIDE_BINARY_DIR) / "screens";
        fs::create_directories(dir);
        std::vector<unsigned char> flipped(px_.size());
        for (int y = 0; y < h_; ++y)
            std::copy_n(&px_[static_cast<size_t>(h_ - 1 - y) * w_ * 4], w_ * 4,
                        &flipped[static_cast<size_t>(y) * w_ * 4]);
        std::string file =
            (dir / (name + "-" + std::to_string(w_) + "x" + std::to_string(h_) + ".png")).string();
        stbi_write_png(file.c_str(), w_, h_, 4, flipped.data(), w_ * 4);
    }

  private:
    int w_, h_;
    std::vector<unsigned char> px_;
};

class Screens : public ::testing::TestWithParam<Size> {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;
    int w = 0, h = 0;

    void SetUp() override {
        w = GetParam().w;
        h = GetParam().h;
        ASSERT_TRUE(host.OpenWindow(w, h));
        host.Boot();
        app = host.App();
        host.Render(); // the first replay sees the window's size
        ASSERT_TRUE(host.FinishLoading());
        host.Update(140); // the menu has slid in
        ASSERT_EQ(app->gameMode, 1);
    }

    Frame Shot() {
        host.Render();
        return Frame(w, h);
    }
    // Device pixels per virtual pixel.
    float Scale() const { return app->scaleX; }
};

// Where the virtual screen lies in the window: device pixels per virtual pixel and the device position of
// the virtual origin (the overscan border).
struct View {
    float s, ox, oy;
    explicit View(const c_MyApp *app) : s(app->scaleX), ox(app->originX), oy(app->originY) {}
    int X(float x) const { return static_cast<int>(x * s + ox); }
    int Y(float y) const { return static_cast<int>(y * s + oy); }
};

bool near(unsigned rgb, unsigned want, int tolerance) {
    for (int shift : {16, 8, 0})
        if (std::abs(static_cast<int>(rgb >> shift & 255) - static_cast<int>(want >> shift & 255)) >
            tolerance)
            return false;
    return true;
}

// Runs of device rows in [y0, y1) that hold a pixel with more red than `red` somewhere in [x0, x1).
int inkRows(const Frame &f, int x0, int x1, int y0, int y1, int red) {
    int runs = 0;
    bool in = false;
    for (int y = std::max(y0, 0); y < std::min(y1, f.H()); ++y) {
        bool ink = false;
        for (int x = std::max(x0, 0); x < std::min(x1, f.W()) && !ink; ++x)
            ink = static_cast<int>(f.At(x, y) >> 16) > red;
        if (ink && !in) ++runs;
        in = ink;
    }
    return runs;
}

// The score lists in the strip show as many scores as the screen's height has room for (ten on a screen
// 480 high, fewer on a wide one), and the last digit of every score keeps clear of the window's right edge.
TEST_P(Screens, ScoreStripShowsItsScoresClearOfTheEdge) {
    for (int k = 0; k < 10; ++k) {
        app->hiScores[k] = 987654321 - 11111 * k;
        app->hiScores[30 + k] = 123456789 + 11111 * k;
    }
    host.Update();
    Frame f = Shot();
    f.Save("menu");

    const float s = Scale(), jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    // Every pixel of the last four columns is the strip's own shade: no digit, no rim.
    const unsigned strip = f.At(w - 1, 1);
    for (int x = w - 4; x < w; ++x)
        for (int y = 0; y < h; ++y)
            ASSERT_TRUE(near(f.At(x, y), strip, 2)) << "ink at " << x << "," << y;

    // The last three digits of each line (the 9th to 11th characters of an 11-wide number) lie in a band
    // that the headings do not reach. The digits are drawn in (255, 200, 100) with a dark rim, over a
    // dark strip: rows with red in them are digit rows.
    const float adv = 1.5f * app->imgInfo[app->font * 3];
    const float listX = jscrw - 140 + 20;
    const int bx0 = static_cast<int>((listX + 8 * adv) * s), bx1 = static_cast<int>((listX + 11 * adv) * s);
    const int mid = static_cast<int>((jscrh / 2 + 20) * s);
    const int lines = std::clamp(static_cast<int>((jscrh - 90 - jscrh / 2) / 15), 1, 10);
    EXPECT_EQ(lines, jscrh == 480 ? 10 : (jscrh == 360 ? 6 : 5));
    EXPECT_EQ(inkRows(f, bx0, bx1, static_cast<int>(60 * s), mid, 60), lines);
    EXPECT_EQ(inkRows(f, bx0, bx1, mid, h, 60), lines);
}

// Pixels of the frame inside a box of virtual pixels that differ from `colour`.
int countUnlike(const Frame &f, const View &v, float x0, float y0, float x1, float y1, unsigned colour) {
    int n = 0;
    for (int y = std::max(0, v.Y(y0)); y < std::min(f.H(), v.Y(y1)); ++y)
        for (int x = std::max(0, v.X(x0)); x < std::min(f.W(), v.X(x1)); ++x)
            if (!near(f.At(x, y), colour, 12)) ++n;
    return n;
}

// A fight on an empty sea: no drifting field and no marquee, the Tidecrawler still far off.
void startQuietFight(TestHost &host, c_MyApp *app) {
    app->gameMode = 11;
    host.Update(3);
    ASSERT_EQ(app->gameMode, 10);
    app->starCount = -1;
    app->players[c_MyApp::kMarqueeCount] = 0;
    app->bgR = app->bgG = 0;
    app->bgB = 80; // the sea has reached its colour
    host.Update();
}

// The fight draws the ship at twice its size and keeps its centre 16 pixels inside the screen: at every
// clamp all of it is on screen, as much of it as in open water.
TEST_P(Screens, ShipStaysOnScreenAtEveryClamp) {
    startQuietFight(host, app);
    using App = c_MyApp;
    const float sh = rt_Brinefall_jscrh;
    const View v(app);
    const unsigned sea = 0x000050;
    // Places the ship (the fight clamps it) and counts the pixels of it.
    auto shipPixels = [&](float x, float y, const char *shot) {
        app->players[App::kPlayerVX] = app->players[App::kPlayerVY] = 0;
        app->players[App::kPlayerX] = app->camX + x;
        app->players[App::kPlayerY] = app->camY + y;
        host.Update();
        const float px = app->players[App::kPlayerX] - app->camX,
                    py = app->players[App::kPlayerY] - app->camY;
        Frame f = Shot();
        if (shot) f.Save(shot);
        return countUnlike(f, v, px - 40, py - 40, px + 40, py + 40, sea);
    };
    const int open = shipPixels(150, 120, nullptr); // clear of the HUD and the approach texts
    ASSERT_GT(open, 200);
    EXPECT_GE(shipPixels(-100, sh / 2, "fight-left"), 0.95 * open) << "left";
    EXPECT_GE(shipPixels(100, -100, nullptr), 0.95 * open) << "top";
    EXPECT_GE(shipPixels(100, sh + 100, nullptr), 0.95 * open) << "bottom";
    EXPECT_EQ(app->players[App::kPlayerY] - app->camY, sh - 16);
}

// A fight fills the window at its shape, as every screen does: the larger of the two scales on both axes,
// the virtual screen's other side following the window, no bars and nothing cut off.
TEST_P(Screens, FightFillsTheWindowAtItsShape) {
    startQuietFight(host, app);
    Frame f = Shot();
    const View v(app);
    EXPECT_FLOAT_EQ(v.s, std::max(w / 640.0f, h / 480.0f));
    EXPECT_EQ(v.ox, 0);
    EXPECT_EQ(v.oy, 0);
    EXPECT_NEAR(rt_Brinefall_jscrw * v.s, w, 0.01);
    EXPECT_NEAR(rt_Brinefall_jscrh * v.s, h, 0.01);
    for (int x : {0, w - 1})
        for (int y : {h / 2, h - 1})
            EXPECT_TRUE(near(f.At(x, y), 0x000050, 12)) << "no sea at " << x << "," << y;
}

// The remaining ships of the HUD stand 16 pixels apart at three quarters of their size: each reads as a
// ship of its own, with a column of open water between two neighbours.
TEST_P(Screens, HudShipsStandApart) {
    startQuietFight(host, app);
    ASSERT_EQ(app->players[c_MyApp::kLives], 7);
    Frame f = Shot();
    f.Save("fight-hud");
    const View v(app);
    const float x0 = rt_Brinefall_jscrw / 2 + 80;
    const int y0 = v.Y(12), y1 = v.Y(36);
    for (int i = 0; i < 6; ++i) {
        bool gap = false;
        for (int x = v.X(x0 + 16 * i) + 1; x < v.X(x0 + 16 * (i + 1)) && !gap; ++x) {
            gap = true;
            for (int y = y0; y < y1 && gap; ++y)
                gap = near(f.At(x, y), 0x000050, 12);
        }
        EXPECT_TRUE(gap) << "ships " << i << " and " << i + 1 << " touch";
        // and each is really there
        EXPECT_GT(countUnlike(f, v, x0 + 16 * i - 6, 12, x0 + 16 * i + 6, 36, 0x000050), 20) << i;
    }
}

// The wheel's entry carries its name centred on the ball and well inside the ball's coloured face (radius
// 28 of the 64-pixel button, drawn at scale 1).
TEST_P(Screens, WheelLabelSitsCentredOnItsBall) {
    Frame with = Shot();
    // The same frame without the name shows which pixels are the name's.
    const String name = rt_Brinefall_MenuSet[0];
    rt_Brinefall_MenuSet[0] = String();
    host.Update();
    Frame without = Shot();
    rt_Brinefall_MenuSet[0] = name;
    with.Save("menu-wheel");

    const float s = Scale();
    // Entry 0 with the wheel at rest: 48 degrees round, pushed out by 1.5 x (45 - 3).
    const double a = 48 * 3.14159265358979 / 180;
    const float cx = 38, cy = static_cast<float>(static_cast<int>(rt_Brinefall_jscrh - 64));
    const float ex = cx + static_cast<float>(std::sin(a)) * 179,
                ey = cy - static_cast<float>(std::cos(a)) * 179;
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, far = 0;
    for (int y = static_cast<int>((ey - 40) * s); y < (ey + 40) * s; ++y)
        for (int x = static_cast<int>((ex - 40) * s); x < (ex + 40) * s; ++x) {
            if (near(with.At(x, y), without.At(x, y), 24)) continue;
            const float vx = (x + 0.5f) / s, vy = (y + 0.5f) / s;
            minX = std::min(minX, vx);
            maxX = std::max(maxX, vx);
            minY = std::min(minY, vy);
            maxY = std::max(maxY, vy);
            far = std::max(far, std::hypot(vx - ex, vy - ey));
        }
    ASSERT_LT(minX, maxX) << "no label";
    EXPECT_NEAR((minX + maxX) / 2, ex, 1.5f);
    EXPECT_NEAR((minY + maxY) / 2, ey, 1.5f);
    EXPECT_LT(far, 26) << "the name reaches the ball's rim";
}

// Columns of a band of virtual pixels that hold the studio name's gold, counted as runs: one per letter.
int goldLetters(const Frame &f, float s, float x0, float x1, float y0, float y1) {
    int runs = 0;
    bool in = false;
    for (int x = static_cast<int>(x0 * s); x < x1 * s; ++x) {
        bool gold = false;
        for (int y = static_cast<int>(y0 * s); y < y1 * s && !gold; ++y) {
            const unsigned c = f.At(x, y);
            gold = (c >> 16 & 255) > 180 && (c >> 8 & 255) > 130 && (c & 255) < 200;
        }
        if (gold && !in) ++runs;
        in = gold;
    }
    return runs;
}

// The studio's name reads letter by letter on the loading screen and in the menu's strip, where the logo
// is drawn at half its size.
TEST_P(Screens, StudioNameReadsLetterByLetter) {
    const float s = Scale(), jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    Frame menu = Shot();
    // The name's capitals lie 7.5 to 28.5 frame pixels below the logo's centre, 154 across.
    const float lx = jscrw - 70;
    EXPECT_EQ(goldLetters(menu, s, lx - 45, lx + 45, 32 + 3, 32 + 15), 11);

    app->loading = 1;
    host.Update(3);
    Frame loading = Shot();
    loading.Save("loading");
    // The rings of dots turn around the logo; on a wide screen (virtual height 360) they are drawn closer
    // in and sweep across the ends of the name, so the name is read where they stay outside it.
    if (jscrh < 480) return;
    const float ly = jscrh * 0.48f;
    EXPECT_EQ(goldLetters(loading, s, jscrw / 2 - 170, jscrw / 2 + 170, ly + 17, ly + 55), 11);
}

// "<[BACK]" stands to the right of the options box's gear, with the box's own colour between them.
TEST_P(Screens, BackLabelClearsTheGear) {
    app->optionsOpen = 1;
    host.Update(40); // the box has slid in
    const float s = Scale();
    // The panel's orange, with the menu faintly through it; the gear and the label are neither.
    auto panel = [](unsigned c) {
        const int r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
        return r > 110 && r < 175 && g > 55 && g < 105 && b < 45;
    };
    for (int row : {0, 1}) { // the gear at scale 2, and at 1.5 once the cursor is on a line
        app->optRow = row;
        host.Update();
        Frame f = Shot();
        f.Save(row == 0 ? "options" : "options-row1");
        bool gap = false;
        for (int x = static_cast<int>(100 * s); x < 176 * s && !gap; ++x) {
            gap = true;
            for (int y = static_cast<int>(50 * s); y < 70 * s && gap; ++y)
                gap = panel(f.At(x, y));
        }
        EXPECT_TRUE(gap) << "row " << row;
        EXPECT_FALSE(panel(f.At(static_cast<int>(100 * s), static_cast<int>(60 * s)))); // the gear is there
    }
}

// The drifting field of the sea is bubbles: seen on the screen, nearly every one is a ring of light around
// a clear middle, not a dot, a spark or a cross.
TEST_P(Screens, DriftingFieldIsBubbles) {
    startQuietFight(host, app);
    app->p_ResetStars(50);
    host.Update();
    Frame f = Shot();
    f.Save("fight-sea");
    const View v(app);
    const float s = v.s;
    auto light = [&](int x, int y) {
        const unsigned c = f.At(x, y);
        return static_cast<int>((c >> 16 & 255) + (c >> 8 & 255) + (c & 255)) - 80;
    };
    const std::vector<int> stars = host.Records(96);
    ASSERT_GE(stars.size(), 50u);
    int judged = 0, hollow = 0;
    for (size_t i = 0; i < stars.size(); ++i) {
        const float *r = host.Record(stars[i]);
        const float x = r[1], y = r[2];
        bool alone = x > 8 && y > 40 && x < rt_Brinefall_jscrw - 8 && y < rt_Brinefall_jscrh - 8;
        for (size_t j = 0; j < stars.size() && alone; ++j)
            alone = j == i || std::hypot(host.Record(stars[j])[1] - x, host.Record(stars[j])[2] - y) > 10;
        if (!alone) continue;
        int peak = 0;
        for (int dy = static_cast<int>(-4 * s); dy <= 4 * s; ++dy)
            for (int dx = static_cast<int>(-4 * s); dx <= 4 * s; ++dx)
                peak = std::max(peak, light(v.X(x) + dx, v.Y(y) + dy));
        if (peak < 60) continue; // too deep and faint to judge
        ++judged;
        if (light(v.X(x), v.Y(y)) < 0.6 * peak) ++hollow;
    }
    ASSERT_GE(judged, 15);
    EXPECT_GE(hollow, 0.8 * judged) << hollow << " of " << judged;
}

// The device box around the pixels of a frame that pass a colour test; x1 < 0 when there are none.
struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
};
template <class Test> Box boxOf(const Frame &f, Test test) {
    Box b;
    for (int y = 0; y < f.H(); ++y)
        for (int x = 0; x < f.W(); ++x)
            if (test(f.At(x, y))) {
                b.x0 = std::min(b.x0, x);
                b.x1 = std::max(b.x1, x);
                b.y0 = std::min(b.y0, y);
                b.y1 = std::max(b.y1, y);
            }
    return b;
}

// A first game ranks first: the game-over overlay shows "New Highscore" and "1st!" over a blue box from
// 0.35 to 0.65 of the screen's width, 32 high around 0.7 of its height once the bars are out, over the
// fight and then at the same place over the menu.
TEST_P(Screens, GameOverNoticeAndItsBoxSitWhereTheOverlayPutsThem) {
    startQuietFight(host, app);
    app->gameOver = 1;
    auto check = [&](const char *where) {
        Frame f = Shot();
        f.Save(std::string("game-over-") + where);
        const float s = Scale(), jscrw = rt_Brinefall_jscrw, ny = 0.7f * rt_Brinefall_jscrh;
        // Under the backdrop's 0.7 of black nothing else is this blue or this green.
        const Box box = boxOf(f, [](unsigned c) {
            const int r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
            return r <= 60 && g >= 40 && g <= 130 && b >= 120;
        });
        const Box text = boxOf(f, [](unsigned c) {
            const int r = c >> 16 & 255, g = c >> 8 & 255, b = c & 255;
            return g >= 200 && r <= 170 && b <= 170;
        });
        ASSERT_GE(box.x1, 0) << where << ": no box";
        EXPECT_NEAR(box.x0, 0.35f * jscrw * s, 2) << where;
        EXPECT_NEAR(box.x1, 0.65f * jscrw * s, 2) << where;
        EXPECT_NEAR(box.y0, (ny - 16) * s, 2) << where;
        EXPECT_NEAR(box.y1, (ny + 16) * s, 2) << where;
        // The two lines stand on either side of the box's middle. The text measures 408 at scale 2 and is
        // aligned a quarter of that left of the middle; its first letter fills the cell after that point.
        ASSERT_GT(text.x1 - text.x0, 40 * s) << where << ": no notice";
        EXPECT_GE(text.x0, (jscrw / 2 - 102) * s - 2) << where;
        EXPECT_LE(text.x0, (jscrw / 2 - 102 + 14) * s) << where;
        EXPECT_LT(text.y0, ny * s - 4 * s) << where;
        EXPECT_GT(text.y1, ny * s + 4 * s) << where;
    };
    host.Update(30); // the bars are in place; the fight still runs under them
    ASSERT_EQ(app->gameMode, 10);
    ASSERT_EQ(app->rank, 1);
    check("fight");
    for (int i = 0; i < 200 && app->gameMode != 1; ++i)
        host.Update();
    host.Update();
    ASSERT_GE(app->gameOverTimer, 40); // the backdrop is still at its darkest
    check("menu");
}

INSTANTIATE_TEST_SUITE_P(Sizes, Screens, ::testing::ValuesIn(kSizes), [](const auto &info) {
    return std::to_string(info.param.w) + "x" + std::to_string(info.param.h);
});

} // namespace
