// A whole game, as a player has it: menu, fight, pause, options, the reborn Tidecrawler, game over,
// the menu with the new score, full screen and back, and the window's close button.
#include "tests/e2e/e2e_fixture.h"
#include "tests/e2e/harness/pilot.h"

namespace e2e {
namespace {

class Journey : public E2eTest {};

// The last-ten list's first score line on the menu's side strip (in 640 x 480 units).
Rect last_ten_first_line(const Image &menu) {
    double sx = menu.Width() / 640.0, sy = menu.Height() / 480.0;
    return {static_cast<int>(510 * sx), static_cast<int>(270 * sy), static_cast<int>(130 * sx),
            static_cast<int>(22 * sy)};
}

TEST_F(Journey, PlaysAWholeGameFromMenuToMenu) {
    Image menu;
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir(), &menu));
    EXPECT_TRUE(screens::HasTitleArt(menu)) << "the menu shows no title art";

    // Fire starts the selected entry: the fight.
    x_->Tap("space");
    ASSERT_TRUE(game_->WaitFor("02-fight", screens::IsFight, 15)) << "fire on the menu started no fight";

    Pilot pilot(*x_, *game_, out_ + "/pilot.log");
    // Move and shoot for a moment: the ship goes right, shots leave it.
    for (double end = NowSec() + 2.0; NowSec() < end;)
        pilot.Step(Pilot::Aim::LineUp);
    pilot.ReleaseAll();

    // Escape pauses and resumes.
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("03-paused", screens::IsPaused, 10)) << "Escape did not pause";
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("04-resumed", screens::IsFight, 10)) << "Escape did not resume";

    // The options box, from the pause screen: the cursor starts on the back gear; the line below it
    // is the sound setting, which fire changes (music and effects -> effects only). Closing saves.
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("05-paused-again", screens::IsPaused, 10));
    x_->Tap("Down");
    x_->Tap("z");
    Image before, after;
    ASSERT_TRUE(game_->WaitFor("06-options", screens::IsOptionsBox, 10, &before)) << "no options box";
    SleepSec(0.8); // the box ignores keys until it has slid in
    x_->Tap("Down");
    before = game_->Shot();
    x_->Tap("z");
    SleepSec(0.3);
    after = game_->Shot();
    game_->Save(after, "07-sound-changed");
    double sx = after.Width() / 640.0, sy = after.Height() / 480.0;
    Rect soundLine{static_cast<int>(84 * sx), static_cast<int>(126 * sy), static_cast<int>(472 * sx),
                   static_cast<int>(28 * sy)};
    EXPECT_TRUE(after.DiffersFrom(before, soundLine, 50)) << "the sound line did not change";
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("08-options-closed", screens::IsPaused, 10)) << "the options box stayed";
    SleepSec(0.8); // the box takes keys from the pause screen until it has slid out
    SaveFile saved = ReadState();
    ASSERT_TRUE(saved.valid) << "state after closing the options: " << saved.problem;
    EXPECT_EQ(saved.Opt(5), 2) << "the sound setting was not saved";
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("08-resumed", screens::IsFight, 10));

    // The fight itself: line up with the Tidecrawler and shoot until it is reborn, then stay in line
    // so that what it throws ends the game.
    bool fightShot = false, reborn = false, rebornShot = false, over = false;
    double rebornBy = NowSec() + 150, overBy = 0;
    Image shot;
    // A picture every few seconds tells what happened when something goes wrong.
    MakeDirs(out_ + "/fight");
    double nextFrame = NowSec(), fightStart = NowSec(), fishSeen = -1, rebornSeen = 0;
    while (!over) {
        screens::FightView v = pilot.Step(Pilot::Aim::LineUp, &shot);
        if (NowSec() >= nextFrame) {
            char name[64];
            std::snprintf(name, sizeof name, "fight/%05.1f", NowSec() - fightStart);
            game_->Save(shot, name);
            nextFrame += 3;
        }
        // For the record (and the README): the armoured Tidecrawler once it is well in view, and the
        // reborn one once it has risen again.
        double sx = shot.Width() / 640.0, sy = shot.Height() / 480.0;
        bool inView = v.fishX > 380 * sx && v.fishX < 560 * sx && v.fishY > 120 * sy && v.fishY < 360 * sy;
        if (v.fishY >= 0 && fishSeen < 0) fishSeen = NowSec();
        if (!fightShot && fishSeen > 0 && NowSec() > fishSeen + 3 && inView && screens::IsFight(shot)) {
            game_->Save(shot, "09-fight");
            fightShot = true;
        }
        if (!reborn && screens::ShowsRebornTidecrawler(shot)) {
            reborn = true;
            rebornSeen = NowSec();
            overBy = NowSec() + 90;
        }
        if (reborn && !rebornShot && NowSec() > rebornSeen + 4 &&
            ((inView && screens::ShowsRebornTidecrawler(shot)) || NowSec() > rebornSeen + 12)) {
            game_->Save(shot, "10-reborn");
            rebornShot = true;
        }
        over = screens::HasGameOverBars(shot);
        if (!reborn && NowSec() > rebornBy) break;
        if (reborn && NowSec() > overBy) break;
        if (!game_->Proc().Running()) break;
    }
    pilot.ReleaseAll();
    ASSERT_TRUE(game_->Proc().Running()) << "the game ended during the fight";
    EXPECT_TRUE(fightShot) << "the Tidecrawler never came into view";
    EXPECT_TRUE(reborn) << "the Tidecrawler was not reborn in time";
    if (!over) {
        // The ship outlived the time the run allows: end the game the other way a player can.
        std::printf("the game was not over in time: quitting through the pause screen\n");
        ASSERT_NO_FATAL_FAILURE(QuitThroughPauseMenu());
    }
    ASSERT_TRUE(game_->WaitFor("11-game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";

    // Back on the menu, the overlay fades; the last-ten list now starts with the new score.
    Image menuAgain;
    ASSERT_TRUE(game_->WaitFor("12-menu-with-score", screens::IsMenu, 15, &menuAgain))
        << "no menu after the game";
    SleepSec(1.0);
    menuAgain = game_->Shot();
    game_->Save(menuAgain, "12-menu-with-score");
    EXPECT_TRUE(menuAgain.DiffersFrom(menu, last_ten_first_line(menu), 20))
        << "the last-ten list did not change";

    saved = ReadState();
    ASSERT_TRUE(saved.valid) << "state after the game: " << saved.problem;
    EXPECT_EQ(saved.Opt(5), 2);
    int score = saved.Last(1, 0);
    EXPECT_GT(score, 0) << "the game's score was not saved (or nothing was hit)";
    EXPECT_EQ(saved.Top(1, 0), score) << "the first game's score is the best score";
    for (int k = 1; k < 10; ++k) {
        EXPECT_EQ(saved.Last(1, k), 0) << "last ten, place " << k;
        EXPECT_EQ(saved.Top(1, k), 0) << "best ten, place " << k;
    }
    std::printf("score of the game: %d\n", score);

    // F11 switches to full screen and back.
    x_->Tap("F11");
    auto fullScreenMenu = [&](const Image &s) {
        return s.Width() == x_->ScreenWidth() && s.Height() == x_->ScreenHeight() && screens::IsMenu(s);
    };
    ASSERT_TRUE(game_->WaitFor("13-full-screen", fullScreenMenu, 20)) << "F11 gave no full-screen menu";
    ASSERT_TRUE(game_->WaitForFocus(10));
    SleepSec(0.5);
    x_->Tap("F11");
    auto windowedMenu = [](const Image &s) {
        return s.Width() == 640 && s.Height() == 480 && screens::IsMenu(s);
    };
    ASSERT_TRUE(game_->WaitFor("14-windowed", windowedMenu, 20)) << "F11 did not return to the window";
    ASSERT_TRUE(game_->WaitForFocus(10));

    CloseThroughWindowManager();
}

} // namespace
} // namespace e2e
