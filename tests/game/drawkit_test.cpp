#include <gtest/gtest.h>

#include <array>

#include "tests/support/testhost.h"

namespace {

class DrawKit : public ::testing::Test {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;
    void SetUp() override {
        host.Boot();
        app = host.App();
        // A font of 7 x 10 cells in slot 90, as the loader leaves it.
        app->font = 90;
        app->imgInfo[270] = 7;
        app->imgInfo[271] = 10;
        app->p_CLS2D();
    }
    // Glyph records of the last drawing, as (frame, x, y).
    std::vector<std::array<float, 3>> glyphs() {
        std::vector<std::array<float, 3>> out;
        for (int i : host.Records(90))
            out.push_back({host.Record(i)[6], host.Record(i)[1], host.Record(i)[2]});
        return out;
    }
};

TEST_F(DrawKit, TheListHoldsAtMost2499Records) {
    for (int i = 0; i < 2499; ++i)
        app->p_Rect(i, 0, 1, 1);
    EXPECT_EQ(app->drawListLen, 37485);
    EXPECT_EQ(host.Record(2498)[1], 2498);
    app->p_Oval(1, 2, 3, 4);
    app->p_DrawImg(5, 0, 0, 0);
    EXPECT_EQ(app->drawListLen, 37485);
    app->p_CLS2D(10, 20, 30, 0.5f);
    EXPECT_EQ(app->drawListLen, 0);
    EXPECT_EQ(app->clsB, 30);
    app->p_CLS2D();
    EXPECT_EQ(app->clsB, 30); // no colour given: the clear colour stays
}

TEST_F(DrawKit, RecordsCarryTheDrawState) {
    app->p_SetCol(10, 20, 30, 0.5f);
    app->p_SetSize(2, -3717);
    app->p_SetRot(30);
    app->drawBlend = 3;
    app->p_DrawImg(7, 11, 12, 3);
    app->p_Tri(1, 2, 3, 4, 5, 6);
    const float *img = host.Record(0);
    EXPECT_EQ(img[0], 7);
    EXPECT_EQ(img[3], -30);
    EXPECT_EQ(img[4], 2);
    EXPECT_EQ(img[5], 2);
    EXPECT_EQ(img[6], 3);
    EXPECT_EQ(img[7], 0.5f);
    EXPECT_EQ(img[11], 20);
    EXPECT_EQ(img[13], 3);
    const float *tri = host.Record(1);
    EXPECT_EQ(tri[0], -3714);
    for (int k = 1; k <= 6; ++k)
        EXPECT_EQ(tri[k], k);
    app->p_SetCol(1, 1, 1); // alpha not given: kept
    EXPECT_EQ(app->drawAlpha, 0.5f);
}

TEST_F(DrawKit, InkPalette) {
    app->p_Ink(4, 0.5f);
    EXPECT_NEAR(app->drawR, 12.75f, 1e-3);
    EXPECT_NEAR(app->drawG, 127.5f, 1e-3);
    EXPECT_NEAR(app->drawB, 12.75f, 1e-3);
    app->p_Ink(9, 2);
    EXPECT_EQ(app->drawR, 255);
    EXPECT_EQ(app->drawB, 255);
    app->p_Ink(0, 1);
    EXPECT_NEAR(app->drawG, 76.5f, 1e-3);
    app->p_Ink(3, -1);
    EXPECT_EQ(app->drawR, 0);
}

TEST_F(DrawKit, TextLayout) {
    app->p_Text(100, 50, String(""), 1, 1, 0);
    EXPECT_EQ(app->drawListLen, 0);

    // One character: the measured width is the leading space, so centred text sits half a cell right.
    app->p_Text(100, 50, String("A"), 1, 1, 0);
    auto g = glyphs();
    ASSERT_EQ(g.size(), 1u);
    EXPECT_EQ(g[0][0], 'A' - 32);
    EXPECT_FLOAT_EQ(g[0][1], 103.5f);
    EXPECT_FLOAT_EQ(g[0][2], 50);

    app->p_CLS2D();
    app->p_Text(100, 50, String("AB\\nCD"), 0, 0, 0);
    g = glyphs();
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[2][0], 'C' - 32);
    EXPECT_FLOAT_EQ(g[2][1], g[0][1]);      // C under A
    EXPECT_FLOAT_EQ(g[2][2], g[0][2] + 10); // one line lower
    EXPECT_FLOAT_EQ(g[1][1], g[0][1] + 7);
    EXPECT_FLOAT_EQ(g[0][2], 55); // top-aligned: glyph centres half a line below y

    // Narrow letters advance less; scale and right alignment move the whole line.
    app->p_CLS2D();
    app->p_SetSize(2);
    app->p_Text(300, 0, String("il"), 2, 1, 0);
    g = glyphs();
    ASSERT_EQ(g.size(), 2u);
    EXPECT_FLOAT_EQ(g[1][1] - g[0][1], (7 - 3) * 2);
    // Measured: the space and the "i" (the last character is not measured) = 14 + 8.
    EXPECT_FLOAT_EQ(g[0][1], 300 - 22 + 14);
}

TEST_F(DrawKit, ButtonIconsFollowTheControlSchemeAndBlink) {
    String text = String("Hit ") + String::FromChar(172) + String("K to Quit");
    auto iconFrame = [&](int scheme, int millis) {
        app->ctrlScheme = scheme;
        host.clock = millis;
        app->p_CLS2D();
        app->p_Text(0, 0, text, 0, 0, 0);
        for (auto &g : glyphs())
            if (g[0] >= 96) return static_cast<int>(g[0]);
        return -1;
    };
    EXPECT_EQ(iconFrame(1, 1000), 109); // 1000 mod 500 = 0: pressed look
    EXPECT_EQ(iconFrame(1, 1250), 97);
    EXPECT_EQ(iconFrame(0, 1000), 113);
    EXPECT_EQ(iconFrame(0, 1250), 113);
    // Nine letters and the icon; spaces draw nothing.
    EXPECT_EQ(glyphs().size(), 10u);
}

TEST_F(DrawKit, NumbersAsText) {
    EXPECT_EQ(app->p_rstr(42, 5, String("0")).ToUtf8(), "00042");
    EXPECT_EQ(app->p_rstr(1234567, 3, String(" ")).ToUtf8(), "567");
    EXPECT_EQ(app->p_rstr(7, 11, String(" ")).ToUtf8(), "          7");
    EXPECT_EQ(app->p_rstr(7, 0, String(" ")).ToUtf8(), "");
    const char *want[] = {"",     "1st",  "2nd",  "3rd",  "4th",  "11th", "12th",
                          "13th", "21st", "22nd", "23rd", "30th", ""};
    int n[] = {0, 1, 2, 3, 4, 11, 12, 13, 21, 22, 23, 30, 31};
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(app->p_Nth(n[i]).ToUtf8(), want[i]) << n[i];
}

TEST_F(DrawKit, VirtualScreenFitsTheWindow) {
    app->p_FitScreen(1280, 640);
    EXPECT_EQ(app->fitMode, 1);
    EXPECT_FLOAT_EQ(app->scaleX, 2);
    EXPECT_FLOAT_EQ(app->scaleY, 2);
    EXPECT_FLOAT_EQ(rt_Brinefall_jscrw, 640);
    EXPECT_FLOAT_EQ(rt_Brinefall_jscrh, 320);
    EXPECT_EQ(app->landscape, 1);

    app->p_FitScreen(480, 640);
    EXPECT_EQ(app->fitMode, 2);
    EXPECT_NEAR(app->scaleX, 0.8889f, 1e-4);
    EXPECT_NEAR(rt_Brinefall_jscrw, 540, 1e-3);
    EXPECT_NEAR(rt_Brinefall_jscrh, 720, 1e-3);
    EXPECT_EQ(app->landscape, 0);

    app->p_FitScreen(0, 0); // no window: the last fit stays
    EXPECT_NEAR(rt_Brinefall_jscrw, 540, 1e-3);

    // The kept side is exactly its design length, not a hair short: the score lists count their lines in
    // it. A full screen of 1280 x 1024 is 600 x 480.
    app->p_FitScreen(1280, 1024);
    EXPECT_EQ(rt_Brinefall_jscrh, 480.0f);
    EXPECT_EQ(rt_Brinefall_jscrw, 600.0f);
    app->p_FitScreen(1920, 1080);
    EXPECT_EQ(rt_Brinefall_jscrw, 640.0f);
    EXPECT_EQ(rt_Brinefall_jscrh, 360.0f);
}

TEST_F(DrawKit, PointerTests) {
    app->p_FitScreen(640, 480);
    app->gameMode = 0;
    host.MouseDown(50, 40);
    host.Update();
    EXPECT_EQ(app->p_MouseIn(40, 30, 20, 20), 1);
    EXPECT_EQ(app->p_MouseIn(50, 30, 20, 20), 0); // on the edge is outside
    EXPECT_EQ(app->p_MouseIn_Centered(55, 45, 12, 12), 1);
    EXPECT_EQ(app->p_MouseIn_Radius(53, 44, 6, 8), 1); // 9 + 16 <= 9 + 16
    EXPECT_EQ(app->p_Touch(51, 41, 10, 10), 1);        // grown by 6 to the left and top
    EXPECT_EQ(app->p_Touch(30, 20, 7, 7), 0);          // ... and by 12 to the right and bottom: 49 < 50
    app->imgInfo[97 * 3] = app->imgInfo[97 * 3 + 1] = 32;
    app->imgScale = 0.5f;
    app->p_SetSize(2);
    EXPECT_EQ(app->p_Button(97, 60, 30, 0), 1);
    EXPECT_EQ(app->buttonHit, 1);
    EXPECT_EQ(app->p_Button(97, 70, 40, 0), 0);
    EXPECT_EQ(app->p_Button0(97, 60, 30, 0), 1);
    host.MouseUp(50, 40);
    host.Update();
    EXPECT_EQ(app->p_Button0(97, 60, 30, 0), 0);
    EXPECT_EQ(app->p_MouseIn(40, 30, 20, 20), 0);
}

} // namespace
