// How input carries from one screen to the next: keys and the pointer held through the end of a fight,
// pauses that come with the focus, the menu under the overlay after the last hit, steering that belongs
// to one fight only, the play icon, presses shorter than an update, and the window at a restart.
#include "tests/game/shell_helpers.h"

namespace {

// The play icon at the foot of the score strip, once the menu has slid in (virtual = device pixels).
constexpr float kPlayX = 640 - 140 / 2, kPlayY = 480 - 48;

class ScreenFlow : public ShellTest {
  protected:
    // Ends the running fight as the last hit does and runs the overlay until the menu shows.
    void loseTheFight() {
        app->gameOver = 1;
        for (int i = 0; i < 200 && app->gameMode != 1; ++i)
            host.Update();
        ASSERT_EQ(app->gameMode, 1);
    }
    // Back on the menu with nothing held and the overlay gone.
    void settleOnTheMenu() {
        host.Update(60);
        ASSERT_EQ(app->gameMode, 1);
        ASSERT_EQ(app->gameOverTimer, 0);
    }
    // A press that begins and ends between two updates, and an update with nothing held after it.
    void quickTap(int key) {
        host.KeyDown(key);
        host.KeyUp(key);
        host.Update();
        host.Update();
    }
};

TEST_F(ScreenFlow, FireOrThePointerHeldThroughTheLastHitLeavesTheMenuOnScreen) {
    startFight();
    host.KeyDown(keys::kSpace); // pressed again after the start, so no latch is set in the fight
    host.Update(5);
    ASSERT_NO_FATAL_FAILURE(loseTheFight());
    host.Update(60);
    EXPECT_EQ(app->gameMode, 1) << "a held fire key started the next fight";
    EXPECT_EQ(app->gameOverTimer, 0); // the overlay ran its course over the menu
    host.KeyUp(keys::kSpace);
    host.Update();
    startFight(); // a fresh press still starts one

    // The same with the pointer held on the play icon.
    host.Update(5);
    host.MouseDown(kPlayX, kPlayY);
    host.Update(5);
    ASSERT_NO_FATAL_FAILURE(loseTheFight());
    host.Update(60);
    EXPECT_EQ(app->gameMode, 1) << "a held pointer started the next fight";
    host.MouseUp(kPlayX, kPlayY);
    host.Update();
    host.MouseDown(kPlayX, kPlayY);
    host.Update();
    EXPECT_EQ(app->gameMode, 11);
}

// The menu takes keys as soon as its latches are clear, also while the game-over overlay still fades
// over it: a fresh Esc quits and a fresh fire starts the next fight.
TEST_F(ScreenFlow, TheMenuUnderTheGameOverOverlayTakesFreshKeys) {
    startFight();
    ASSERT_NO_FATAL_FAILURE(loseTheFight());
    ASSERT_GT(app->gameOverTimer, 40);
    host.Update(); // nothing held: the latches set on entering the menu clear
    ASSERT_EQ(app->keyLatch, 0);
    EXPECT_EQ(RunInChild([&] { tap(keys::kEscape); }), 0) << "Esc did not quit under the overlay";
    ASSERT_GT(app->gameOverTimer, 0);
    tap(keys::kSpace);
    EXPECT_GE(app->gameMode, 10) << "fire did not start a fight under the overlay";
    EXPECT_EQ(app->gameOverTimer, 0); // the new fight starts without the old overlay
}

TEST_F(ScreenFlow, APauseThatComesWithTheFocusStartsOnResume) {
    startFight();
    tap(keys::kEscape);
    host.Update(12);
    tap(keys::kUp);
    ASSERT_EQ(app->pauseSel, -1); // quit highlighted
    tap(keys::kEscape);
    host.Update(20);
    ASSERT_EQ(app->paused, 0);

    host.Suspend();
    host.Resume();
    ASSERT_EQ(app->paused, 1);
    EXPECT_EQ(app->pauseSel, 0);
    tap(keys::kSpace); // the natural "continue"
    EXPECT_EQ(app->gameOver, 0);
    EXPECT_EQ(app->pauseMenuOn, -1);
}

// A wide screen has one fit for every screen, the larger scale on both axes (640 x 360 at 3 device pixels
// each on 1920 x 1080): the updates that start a fight replay no record in another fit, and the overlay's
// words stay where they are while it fades from the fight into the menu.
TEST_F(ScreenFlow, AWideScreenKeepsOneFitFromTheMenuIntoTheFightAndBack) {
    host.devW = 1920;
    host.devH = 1080;
    auto sameFit = [&](const char *where) {
        host.Update();
        EXPECT_EQ(app->scaleX, 3) << where;
        EXPECT_EQ(app->scaleY, 3) << where;
        EXPECT_EQ(rt_Brinefall_jscrw, 640) << where;
        EXPECT_EQ(rt_Brinefall_jscrh, 360) << where;
        EXPECT_EQ(app->originX, 0) << where;
    };
    sameFit("menu");
    host.KeyDown(keys::kSpace);
    sameFit("the start press");
    host.KeyUp(keys::kSpace);
    for (int i = 0; i < 4 && app->gameMode != 10; ++i)
        sameFit("starting");
    ASSERT_EQ(app->gameMode, 10);
    sameFit("fight");

    // The G of "GAME" (scale 4) in device pixels, update by update until the overlay has faded.
    app->gameOver = 1;
    float first = -1;
    bool overMenu = false;
    for (int i = 0; i < 300 && (app->gameMode != 1 || app->gameOverTimer > 0); ++i) {
        host.Update();
        overMenu = overMenu || app->gameMode == 1;
        for (int r : host.Records(static_cast<float>(app->font))) {
            const float *g = host.Record(r);
            if (g[6] != 'G' - 32 || g[4] != 4) continue;
            const float x = g[1] * app->scaleX + app->originX;
            if (first < 0) first = x;
            ASSERT_EQ(x, first) << "update " << i << ", mode " << app->gameMode;
        }
    }
    EXPECT_GT(first, 0);
    EXPECT_TRUE(overMenu);
}

// The game-over overlay pauses as the fight does, by key, by the pause icon and by a focus loss. A pause
// still open when the overlay hands over leaves the menu unpaused, and the next fight's first pause
// slides in from the start.
TEST_F(ScreenFlow, TheGameOverOverlayPausesAndItsPauseEndsWithTheGame) {
    startFight();
    app->gameOver = 1;
    host.Update(10);
    tap(keys::kEscape);
    EXPECT_EQ(app->paused, 1) << "the pause key";
    tap(keys::kEscape); // resumes; the pause screen slides out
    host.Update(30);
    ASSERT_EQ(app->paused, 0);
    app->imgInfo[97 * 3] = app->imgInfo[97 * 3 + 1] = 32;
    app->imgScale = 1;
    host.MouseDown(16, 16);
    host.Update();
    host.MouseUp(16, 16);
    EXPECT_EQ(app->paused, 1) << "the pause icon";
    host.Suspend();
    host.Resume();
    EXPECT_EQ(app->paused, 1) << "a focus loss";
    EXPECT_EQ(app->quitGame, 0); // still "GAME OVER", not "Quit Game"

    // The overlay runs its course under the pause and hands over to the menu.
    for (int i = 0; i < 200 && app->gameMode != 1; ++i)
        host.Update();
    ASSERT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->paused, 0) << "the menu was reached paused";
    settleOnTheMenu();
    startFight();
    tap(keys::kEscape);
    ASSERT_EQ(app->paused, 1);
    EXPECT_LT(app->pauseMenuY, rt_Brinefall_jscrh / 2) << "the pause screen skipped its slide";
}

TEST_F(ScreenFlow, EachFightAndEachResumeStartsWithItsOwnSteering) {
    // The first fight ends with the pointer held low on the left and the right key held.
    startFight();
    host.MouseDown(100, 400);
    host.KeyDown(keys::kRight);
    host.Update(10);
    ASSERT_EQ(app->pointerAnchorX, 100);
    ASSERT_GT(app->keyRampX, 0.9f);
    ASSERT_NO_FATAL_FAILURE(loseTheFight());
    host.MouseUp(100, 400);
    host.KeyUp(keys::kRight);
    ASSERT_NO_FATAL_FAILURE(settleOnTheMenu());

    // The second is started with the pointer on the play icon, and it stays held.
    host.MouseDown(kPlayX, kPlayY);
    for (int i = 0; i < 4 && app->gameMode != 10; ++i)
        host.Update();
    ASSERT_EQ(app->gameMode, 10);
    host.Update(5);
    EXPECT_EQ(app->pointerAnchorX, app->mouseX);
    EXPECT_FLOAT_EQ(app->joyX, 0);
    EXPECT_FLOAT_EQ(app->joyY, 0);
    EXPECT_FLOAT_EQ(app->keyRampX, 0);
    EXPECT_GT(app->players[c_MyApp::kPlayerX], 32); // not pinned to the left edge
    host.MouseUp(kPlayX, kPlayY);
    host.Update();

    // Paused while steering right: the resumed fight does not drift.
    host.KeyDown(keys::kRight);
    host.Update(10);
    host.KeyDown(keys::kEscape);
    host.Update();
    host.KeyUp(keys::kRight);
    host.KeyUp(keys::kEscape);
    host.Update(12);
    tap(keys::kSpace); // resume
    for (int i = 0; i < 20 && app->paused; ++i)
        host.Update();
    ASSERT_EQ(app->paused, 0);
    EXPECT_FLOAT_EQ(app->keyRampX, 0);
    host.Update();
    EXPECT_FLOAT_EQ(app->joyX, 0);
}

TEST_F(ScreenFlow, ThePlayIconStartsAFightWhicheverAreaIsSelected) {
    for (int row = 0; row <= 2; ++row) {
        app->menuRow = row;
        host.Update();
        host.MouseDown(kPlayX, kPlayY);
        host.Update();
        EXPECT_EQ(app->gameMode, 11) << "row " << row;
        EXPECT_EQ(app->sidePanelOpen, 0) << "row " << row;
        // Straight back to the menu for the next row.
        app->gameMode = 1;
        host.MouseUp(kPlayX, kPlayY);
        host.Update(2);
    }
}

TEST_F(ScreenFlow, APressShorterThanAnUpdateActsOnceAndAHeldOneAsBefore) {
    quickTap(keys::kLeft);
    EXPECT_EQ(app->menuRow, 0);
    quickTap(keys::kRight);
    EXPECT_EQ(app->menuRow, 1);
    quickTap(keys::kRight);
    EXPECT_EQ(app->menuRow, 2); // once each

    // Held for several updates, a key still moves the cursor once.
    host.KeyDown(keys::kLeft);
    host.Update(5);
    host.KeyUp(keys::kLeft);
    host.Update();
    EXPECT_EQ(app->menuRow, 1);

    // A click shorter than an update opens the options box on the gear, and a quick tap then moves
    // its cursor once it has slid in.
    host.MouseDown(38, 416);
    host.MouseUp(38, 416);
    host.Update();
    ASSERT_EQ(app->optionsOpen, 1);
    host.Update(35);
    int row = app->optRow;
    quickTap(keys::kDown);
    EXPECT_EQ(app->optRow, row + 1);
}

// Every start opens the 640 x 480 window, however the last run left it, and a switch saves nothing; a
// save that still carries a full-screen entry from an older version loads as any other.
TEST_F(ScreenFlow, EveryStartOpensTheWindow) {
    host.state = String();
    tap(122); // F11
    ASSERT_EQ(app->fullscreen, 1);
    ASSERT_EQ(host.devW, 1024);
    EXPECT_EQ(host.state.Length(), 0) << "the switch saved";

    app->opt[15] = 0;
    app->opt[20] = 1;
    app->p_Save();
    TestHost second;
    second.state = host.state;
    second.Boot();
    EXPECT_EQ(second.App()->fullscreen, 0);
    EXPECT_EQ(second.devW, 640);
    EXPECT_EQ(second.devH, 480);
    EXPECT_EQ(second.App()->opt[15], 0); // the settings loaded, their checksum held
    EXPECT_EQ(second.App()->opt[20], 1);
    ASSERT_TRUE(second.FinishLoading());
    EXPECT_EQ(second.App()->gameMode, 1);
}

} // namespace
