// The options box over the menu, and the pause screen over a fight.
#include <string>

#include "tests/game/shell_helpers.h"

namespace {

class Options : public ShellTest {
  protected:
    // Opens the box over the menu and waits until it has slid in.
    void openBox(int row) {
        app->optionsOpen = 1;
        app->optRow = row;
        host.Update(31);
        ASSERT_EQ(app->optionsTimer, 30);
    }
};

TEST_F(Options, SoundLineCyclesThroughItsModes) {
    app->opt[5] = 3;
    app->tunePlaying = 1;
    openBox(1);
    EXPECT_NE(text().find("Sound:Music"), std::string::npos);
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[5], 0);
    EXPECT_EQ(app->tunePlaying, 0); // the music stopped
    EXPECT_NE(text().find("Sound:Off"), std::string::npos);
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[5], 1);
    EXPECT_NE(text().find("Sound:SFX+Music"), std::string::npos);
    EXPECT_EQ(app->tunePlaying, 0); // no game tune to bring back in the menu

    rt_Brinefall_HasMusicStream = 0;
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[5], 0);
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[5], 1);
    EXPECT_NE(text().find("Sound:On"), std::string::npos);
}

TEST_F(Options, FireHeldWhileTheBoxSlidesInChoosesNothing) {
    app->optionsOpen = 1;
    app->optRow = 1;
    host.KeyDown(keys::kSpace);
    host.Update(45);
    EXPECT_EQ(app->opt[5], 1);
    EXPECT_EQ(app->optKeyLatch, 1);
    host.KeyUp(keys::kSpace);
    host.Update();
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[5], 2);
}

TEST_F(Options, UnknownSavedSoundModeReadsAsOff) {
    app->opt[5] = 7;
    app->optionsOpen = 1;
    host.Update();
    EXPECT_EQ(text().find("Sound"), std::string::npos);
    EXPECT_EQ(app->opt[5], 0);
    host.Update();
    EXPECT_NE(text().find("Sound:Off"), std::string::npos);
}

TEST_F(Options, OverscanStepsStayWithinTheBorderLimits) {
    rt_Brinefall_isOuya = 1;
    app->opt[14] = 90;
    openBox(1);
    tap(keys::kO);
    EXPECT_EQ(app->opt[14], 96);
    EXPECT_EQ(rt_Brinefall_overscan, 96);
    app->opt[14] = 8;
    tap(keys::kU);
    EXPECT_EQ(app->opt[14], 1);
    EXPECT_EQ(rt_Brinefall_overscan, 1);
    tap(keys::kO);
    EXPECT_EQ(app->opt[14], 17);
    EXPECT_EQ(app->opt[5], 1); // the shoulder buttons did not choose the sound line
    EXPECT_EQ(app->optionsOpen, 1);
}

TEST_F(Options, CursorLinesAndClosingSaves) {
    app->opt[15] = app->opt[16] = 1;
    openBox(0);
    tap(keys::kDown);
    tap(keys::kDown);
    tap(keys::kDown);
    EXPECT_EQ(app->optRow, 3);
    EXPECT_NE(text().find("LeftThumbstickYNormal"), std::string::npos);
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[15], 0);
    EXPECT_NE(text().find("LeftThumbstickYFlipped"), std::string::npos);
    tap(keys::kRight);
    tap(keys::kSpace);
    EXPECT_EQ(app->opt[16], 0);
    for (int i = 0; i < 6; ++i)
        tap(keys::kUp);
    EXPECT_EQ(app->optRow, 0);

    host.state = String();
    tap(keys::kSpace); // fire on the back gear
    EXPECT_EQ(app->optionsOpen, 0);
    EXPECT_GT(host.state.Length(), 0);
    app->opt[15] = app->opt[16] = 1;
    app->p_Load();
    EXPECT_EQ(app->opt[15], 0);
    EXPECT_EQ(app->opt[16], 0);
    EXPECT_EQ(app->gameMode, 1); // closing did not start anything in the menu
}

// The line switches the window at once; the choice is saved with the others when the box closes.
TEST_F(Options, FullscreenLineSwitchesTheWindow) {
    openBox(2);
    host.state = String();
    EXPECT_NE(text().find("Fullscreen"), std::string::npos);
    tap(keys::kSpace);
    EXPECT_EQ(app->fullscreen, 1);
    EXPECT_EQ(host.devW, 1024); // the test host's desktop
    EXPECT_NE(text().find("Windowed"), std::string::npos);
    tap(keys::kSpace);
    EXPECT_EQ(app->fullscreen, 0);
    EXPECT_EQ(host.devW, 640);
    EXPECT_EQ(host.devH, 480);
    EXPECT_EQ(host.state.Length(), 0) << "a switch saved";
    tap(keys::kEscape);
    EXPECT_EQ(app->optionsOpen, 0);
    EXPECT_GT(host.state.Length(), 0);
}

// Fire on the back gear closes the box only with both of its latches clear, as a press on the gear does.
TEST_F(Options, FireOnTheBackGearWaitsForThePointerLatch) {
    host.MouseDown(320, 20); // held on the panel's edge since before the box slid in
    openBox(0);
    ASSERT_EQ(app->optPointerLatch, 1);
    tap(keys::kSpace);
    EXPECT_EQ(app->optionsOpen, 1) << "closed with the pointer latch set";
    host.MouseUp(320, 20);
    host.Update();
    tap(keys::kSpace);
    EXPECT_EQ(app->optionsOpen, 0);
}

using Pause = ShellTest;

TEST_F(Pause, PauseKeyPausesAndResumeResumesAfterTheSlide) {
    startFight();
    tap(keys::kEscape);
    EXPECT_EQ(app->paused, 1);
    EXPECT_EQ(app->pauseMenuOn, 1);
    host.Update(12);
    EXPECT_EQ(app->pauseMenuY, 240);
    EXPECT_NE(text().find("PAUSED"), std::string::npos);

    tap(keys::kSpace); // resume is selected at first
    EXPECT_EQ(app->pauseMenuOn, -1);
    EXPECT_EQ(app->paused, 1);
    int updates = 0;
    while (app->paused == 1 && updates < 30) {
        host.Update();
        ++updates;
    }
    EXPECT_EQ(app->paused, 0);
    EXPECT_GE(updates, 8);
    EXPECT_EQ(app->gameMode, 10);

    // The pause key resumes too, and a pointer press on the resume button.
    tap(keys::kEscape);
    host.Update(12);
    tap(keys::kEscape);
    EXPECT_EQ(app->pauseMenuOn, -1);
    host.Update(20);
    EXPECT_EQ(app->paused, 0);
    tap(keys::kEscape);
    host.Update(12);
    host.MouseDown(64, 196);
    host.Update();
    host.MouseUp(64, 196);
    EXPECT_EQ(app->pauseMenuOn, -1);
}

// In a portrait window the fight's screen is portrait too (540 x 720 in 480 x 640), and the pause screen
// puts quit and options above the middle, where a press on quit ends the game.
TEST_F(Pause, APortraitWindowGetsThePortraitLayout) {
    host.devW = 480;
    host.devH = 640;
    startFight();
    ASSERT_EQ(app->landscape, 0);
    tap(keys::kEscape);
    host.Update(20);
    ASSERT_EQ(app->pauseMenuY, 360);
    auto at = [&](int slot, int frame, float x, float y) {
        for (int i : host.Records(static_cast<float>(slot)))
            if (host.Record(i)[6] == frame && host.Record(i)[1] == x && host.Record(i)[2] == y) return true;
        return false;
    };
    EXPECT_TRUE(at(97, 1, 540 / 2 - 96, 360 - 24)) << "quit";
    EXPECT_TRUE(at(95, 8, 540 / 2 + 96, 360 - 96)) << "options";
    const float s = app->scaleX;
    host.MouseDown(174.5f * s, 336.5f * s);
    host.Update();
    EXPECT_EQ(app->gameOver, 1);
    EXPECT_EQ(app->quitGame, -1);
}

TEST_F(Pause, QuitItemEndsTheGameAndReturnsToTheMenu) {
    startFight();
    tap(keys::kEscape);
    host.Update(12);
    tap(keys::kUp);
    EXPECT_EQ(app->pauseSel, -1);
    tap(keys::kUp);
    EXPECT_EQ(app->pauseSel, -1);
    app->score = 77;
    tap(keys::kSpace);
    EXPECT_EQ(app->paused, 0);
    EXPECT_EQ(app->gameOver, 1);
    EXPECT_EQ(app->quitGame, -1);
    host.Update(30);
    std::string overlay = text();
    EXPECT_NE(overlay.find("Quit"), std::string::npos);
    EXPECT_NE(overlay.find("Game"), std::string::npos);
    for (int i = 0; i < 120 && app->gameMode != 1; ++i)
        host.Update();
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->hiScores[30], app->score);

    // The next fight's end is an ordinary game over again.
    host.Update(40);
    startFight();
    EXPECT_EQ(app->quitGame, 0);
}

TEST_F(Pause, OptionsButtonOpensTheBoxOverThePause) {
    startFight();
    tap(keys::kEscape);
    host.Update(12);
    tap(keys::kDown);
    EXPECT_EQ(app->pauseSel, 1);
    tap(keys::kSpace);
    EXPECT_EQ(app->optionsOpen, 1);
    host.Update(30);
    tap(keys::kEscape); // closes the box only
    EXPECT_EQ(app->optionsOpen, 0);
    EXPECT_EQ(app->paused, 1);
    EXPECT_EQ(app->pauseMenuOn, 1);
}

} // namespace
