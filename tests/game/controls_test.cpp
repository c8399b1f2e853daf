#include <gtest/gtest.h>

#include "tests/support/testhost.h"

namespace {

class Controls : public ::testing::Test {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;
    void SetUp() override {
        host.Boot();
        app = host.App();
        ASSERT_TRUE(host.FinishLoading());
        app->p_FitScreen(640, 480); // one device pixel per virtual pixel
        app->opt[15] = 0;
        app->gameMode = 0; // no screen runs: these tests hold keys that screens would act on
    }
    // One update followed by the fight's steering step.
    void steer() {
        host.Update();
        app->p_AnalogueControl();
    }
};

TEST_F(Controls, KeyboardAndJoystickSources) {
    host.KeyDown(32);
    host.Update();
    EXPECT_EQ(app->p_PlayKey(10, 1, -1), 1);
    EXPECT_EQ(app->p_PlayKeyAll(10, 0), 4); // the keyboard counts once for every pad asked
    host.KeyUp(32);
    host.SetJoystick(0, 0, 0, {0});
    host.Update();
    EXPECT_EQ(app->p_PlayKey(10, 1, -1), 0);
    EXPECT_EQ(app->p_PlayKey(10, 1, 0), 1);
    EXPECT_EQ(app->p_PlayKey(10, 1, 1), 0);
    EXPECT_EQ(app->p_PlayKey(10, 1, -2), 0);
    EXPECT_EQ(app->p_PlayKey(10, 1, 4), 0);
    EXPECT_EQ(app->p_PlayKey(42, 1, 0), 0);

    // Back is never asked of the keyboard alone; pause is.
    host.UnplugJoysticks();
    host.KeyDown(8);
    host.Update();
    EXPECT_EQ(app->p_PlayKey(98, 0, -1), 0);
    EXPECT_EQ(app->p_PlayKey(99, 0, -1), 1);
    EXPECT_EQ(app->p_PlayKey(98, 0, 0), 1);
}

TEST_F(Controls, ThumbstickCountsOnlyWhenAnalogueIsAsked) {
    host.SetJoystick(0, 0, 0.6f); // stick down; the game's y axis is flipped by default
    host.Update();
    EXPECT_LT(app->p_StickY(0, 0), -0.4f);
    EXPECT_EQ(app->p_PlayKey(0, 1, 0), 1);
    EXPECT_EQ(app->p_PlayKey(0, 0, 0), 0);
    EXPECT_EQ(app->p_PlayKey(8, 1, 0), 0);
    app->opt[15] = 1;
    EXPECT_EQ(app->p_PlayKey(8, 1, 0), 1);
    EXPECT_EQ(app->p_StickX(0, -1), 0);
}

TEST_F(Controls, DigitalKeysRampInAndSpringBack) {
    host.KeyDown(39);
    const float in[] = {0.15f, 0.30f, 0.45f};
    for (float want : in) {
        steer();
        EXPECT_NEAR(app->joyX, want, 1e-5);
    }
    host.KeyUp(39);
    const float out[] = {0.25f, 0.05f, 0.0f};
    for (float want : out) {
        steer();
        EXPECT_NEAR(app->joyX, want, 1e-5);
    }
    // Held long enough, the ramp stops at full deflection.
    host.KeyDown(38);
    for (int i = 0; i < 10; ++i)
        steer();
    EXPECT_FLOAT_EQ(app->joyY, -1);
    EXPECT_FLOAT_EQ(app->keyRampY, -1);
}

TEST_F(Controls, PointerStickClampsAndItsCentreCreeps) {
    host.MouseDown(100, 100);
    steer();
    EXPECT_EQ(app->pointerAnchorX, 100);
    EXPECT_EQ(app->joyX, 0);
    host.MouseMove(200, 100);
    steer();
    EXPECT_FLOAT_EQ(app->joyX, 1); // 100 / 72 clamped
    EXPECT_EQ(app->pointerAnchorX, 104);
    app->p_CLS2D(); // no screen runs in these tests to start the frame
    steer();
    EXPECT_EQ(app->pointerAnchorX, 108);
    EXPECT_EQ(app->pointerAnchorY, 100);
    EXPECT_EQ(host.Records(-3716).size(), 2u); // the stick's two circles

    // A slight stick leaves the pointer's steering; a real push replaces both axes.
    host.MouseMove(150, 130);
    host.SetJoystick(0, 0.1f, 0.1f);
    steer();
    EXPECT_NEAR(app->joyX, (150 - 108) / 72.0f, 1e-5);
    EXPECT_NEAR(app->joyY, 30 / 72.0f, 1e-5);
    host.SetJoystick(0, 0.3f, 0);
    steer();
    EXPECT_FLOAT_EQ(app->joyX, 0.3f);
    EXPECT_FLOAT_EQ(app->joyY, 0);

    host.MouseUp(150, 130);
    steer();
    EXPECT_EQ(app->pointerAnchorX, -1);
}

TEST_F(Controls, ICadeLetterProtocol) {
    app->p_iCade(1);
    EXPECT_EQ(rt_Brinefall_iCadeControls, 1);
    host.Char('w');
    host.Update();
    EXPECT_EQ(app->iCadeState[0], 2);
    EXPECT_EQ(app->p_PlayKey(0, 0, -1), 1);
    host.Update(); // no release letter: still held
    EXPECT_EQ(app->p_PlayKey(0, 0, -1), 1);
    host.Char('e');
    host.Update();
    EXPECT_EQ(app->p_PlayKey(0, 0, -1), 0);
    host.Char('W');
    host.Char('h');
    host.Char('?');
    host.Update();
    EXPECT_EQ(app->iCadeState[0], 2);
    EXPECT_EQ(app->iCadeState[10], 2);
    EXPECT_EQ(app->iCadeChar, '?');

    // The cabinet types letters, so letter keys no longer steer.
    host.KeyDown(87);
    host.Char('E');
    host.Update();
    EXPECT_EQ(app->p_PlayKey(0, 0, -1), 0);
    host.KeyUp(87);

    app->p_iCade(0);
    EXPECT_EQ(app->iCadeState[10], 0);
    EXPECT_EQ(rt_Brinefall_iCadeControls, 0);
}

TEST_F(Controls, PointerMapsThroughScaleAndOverscanAndFingersUpAreUnset) {
    rt_Brinefall_overscan = 32;
    host.devW = 1344; // (1344 - 64) / 640: two device pixels per virtual pixel
    host.devH = 1008;
    host.MouseDown(232, 124); // oy = 32 * 1008 / 1344 = 24
    host.Update();
    ASSERT_EQ(app->scaleX, 2);
    EXPECT_EQ(app->mouseX, 100);
    EXPECT_EQ(app->mouseY, 50);
    EXPECT_EQ(app->mouseStartX, 100);
    EXPECT_EQ(app->touchDown[0], 1);
    EXPECT_EQ(app->touchX[0], 100);
    EXPECT_EQ(app->touchX[1], -3717);
    EXPECT_EQ(app->mouseHit, 1);
    host.MouseUp(232, 124);
    app->pointerLatch = 1;
    host.Update();
    EXPECT_EQ(app->mouseDown, 0);
    EXPECT_EQ(app->pointerLatch, 0);
    EXPECT_EQ(app->touchY[0], -3717);

    // A fight fills a wide window as every screen does: three device pixels per virtual one from the
    // corner of a 1920 x 1080 screen, no margin.
    rt_Brinefall_overscan = 0;
    host.devW = 1920;
    host.devH = 1080;
    app->gameMode = 11;
    host.Update();
    host.MouseDown(300, 150);
    host.Update();
    EXPECT_EQ(app->mouseX, 100);
    EXPECT_EQ(app->mouseY, 50);
}

TEST_F(Controls, HeldKeysLatchAcrossScreens) {
    host.KeyDown(32);
    app->keyLatch = 1;
    host.Update();
    EXPECT_EQ(app->keyLatch, 1);
    host.KeyUp(32);
    host.Update();
    EXPECT_EQ(app->keyLatch, 0);

    // In the menu the pause key closes the side panel but leaves the options box open.
    app->gameMode = 1;
    app->optionsOpen = 1;
    app->sidePanelOpen = 1;
    host.KeyDown(27);
    host.Update();
    EXPECT_EQ(app->sidePanelOpen, 0);
    EXPECT_EQ(app->optionsOpen, 1);
    EXPECT_EQ(app->keyLatch, 1);
    EXPECT_EQ(app->pointerLatch, 1);
}

} // namespace
