// Input as a player gives it, through the real window: fire held past the end of a game, a pause that
// comes with the focus, F11 held down, a direction held through F11, taps much shorter than an update,
// the screen mode switched in a fight, and the window a restart opens.
#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

// The main menu in the 640 x 480 window.
bool WindowedMenu(const Image &s) { return s.Width() == 640 && s.Height() == 480 && screens::IsMenu(s); }

class InputFlow : public E2eTest {
  protected:
    // Which area of the main menu is selected, from the 640 x 480 window: the score strip's edge
    // turns white when it is (2); the green play icon shows while the wheel is (1); else the gear (0).
    static int MenuArea(const Image &shot) {
        if (shot.Width() != 640 || shot.Height() != 480) return -1;
        double edge =
            shot.Share([](Rgb c) { return c.r > 220 && c.g > 220 && c.b > 220; }, {499, 20, 1, 440});
        if (edge > 0.8) return 2;
        long green = shot.Count([](Rgb c) { return c.g > 110 && c.g > c.r + 50 && c.g > c.b + 30; },
                                {530, 392, 80, 80});
        return green > 300 ? 1 : 0;
    }

    bool WaitForArea(int area, const std::string &name) {
        return game_->WaitFor(
            name, [&](const Image &s) { return MenuArea(s) == area; }, 3);
    }

    void ToFight() {
        x_->Tap("space");
        ASSERT_TRUE(game_->WaitFor("02-fight", screens::IsFight, 15)) << "no fight";
        SleepSec(0.5);
    }

    // Holds `key` for `sec` seconds and counts the game windows seen meanwhile and just after, the
    // one it started with included: each switch between window and full screen is a new window.
    size_t WindowsWhileHeld(const std::string &key, double sec) {
        std::vector<unsigned long> windows{game_->Window().id};
        auto look = [&] {
            unsigned long id = game_->Window().id;
            if (id != 0 && id != windows.back()) windows.push_back(id);
        };
        x_->KeyDown(key);
        for (double end = NowSec() + sec; NowSec() < end;) {
            look();
            SleepSec(0.01);
        }
        x_->KeyUp(key);
        for (double end = NowSec() + 1; NowSec() < end;) {
            look();
            SleepSec(0.05);
        }
        std::printf("windows while %s was held: %zu\n", key.c_str(), windows.size());
        return windows.size();
    }

    // Waits until the menu that `test` accepts is live: two such screens that differ. A change of
    // screen size reloads the pictures, and until the loader has drawn its first frame the new window
    // still shows the menu's last frame, while the loader takes no keys.
    bool WaitForLiveMenu(const std::string &name, const std::function<bool(const Image &)> &test,
                         double timeoutSec) {
        Image first;
        if (!game_->WaitFor(name, test, timeoutSec, &first)) return false;
        return game_->WaitFor(
            name + "-live", [&](const Image &s) { return test(s) && s.DiffersFrom(first, {}, 100); },
            timeoutSec);
    }

    bool FullScreen(const Image &s) const {
        return s.Width() == x_->ScreenWidth() && s.Height() == x_->ScreenHeight();
    }
};

TEST_F(InputFlow, FireHeldFromTheEndOfAGameLeavesTheMenuOnScreen) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    ASSERT_NO_FATAL_FAILURE(ToFight());
    // Pause with Esc and quit with a click on the quit button, so that no key latch is set; then fire
    // goes down and stays down through the overlay and back on the menu.
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("03-paused", screens::IsPaused, 10));
    SleepSec(0.5);
    WindowInfo w = game_->Window();
    x_->Click(w.area.x + 64, w.area.y + 96);
    x_->KeyDown("z");
    ASSERT_TRUE(game_->WaitFor("04-game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";
    ASSERT_TRUE(game_->WaitFor("05-menu", screens::IsMenu, 15)) << "no menu after the game";
    // Fire is still held: the menu stays, with the overlay fading over it.
    bool fought = false;
    for (double end = NowSec() + 3; NowSec() < end && !fought;) {
        Image s = game_->Shot();
        fought = !screens::IsMenu(s) && screens::IsPlayField(s);
        if (fought) game_->Save(s, "06-new-fight");
        SleepSec(0.1);
    }
    x_->KeyUp("z");
    EXPECT_FALSE(fought) << "fire held from the last game started a new fight";
    EXPECT_TRUE(screens::IsMenu(game_->Shot()));
    // Pressed afresh, fire starts one.
    x_->Tap("z");
    EXPECT_TRUE(game_->WaitFor("07-next-fight", screens::IsFight, 15));
}

TEST_F(InputFlow, APauseThatComesWithTheFocusResumesOnFire) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    WindowInfo decoy = x_->OpenDecoy(4, 4, 60, 30);
    ASSERT_TRUE(decoy.Valid());
    ASSERT_TRUE(game_->WaitForFocus(10));
    ASSERT_NO_FATAL_FAILURE(ToFight());
    // Quit highlighted, then resumed with Esc.
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("03-paused", screens::IsPaused, 10));
    SleepSec(0.5);
    x_->Tap("Up");
    x_->Tap("Escape");
    ASSERT_TRUE(game_->WaitFor("04-resumed", screens::IsFight, 10));

    ASSERT_NO_FATAL_FAILURE(LoseFocus(decoy));
    game_->ClickTitleBar();
    ASSERT_TRUE(game_->WaitForFocus(10));
    ASSERT_TRUE(game_->WaitFor("05-paused-by-focus", screens::IsPaused, 10));
    SleepSec(0.5);
    x_->Tap("z"); // "continue"
    EXPECT_TRUE(game_->WaitFor("06-resumed", screens::IsFight, 10)) << "fire did not resume the fight";
    SleepSec(1.0);
    Image s = game_->Shot();
    game_->Save(s, "07-still-fighting");
    EXPECT_FALSE(screens::HasGameOverBars(s)) << "fire on the focus pause ended the game";
    EXPECT_TRUE(screens::IsFight(s));
}

TEST_F(InputFlow, F11HeldForTwoSecondsSwitchesOnce) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    EXPECT_EQ(WindowsWhileHeld("F11", 2.0), 2u) << "one switch to full screen";
    auto fullScreenMenu = [&](const Image &s) { return FullScreen(s) && screens::IsMenu(s); };
    EXPECT_TRUE(game_->WaitFor("02-full-screen", fullScreenMenu, 10));

    // The next press switches back, once.
    ASSERT_TRUE(game_->WaitForFocus(10));
    x_->Tap("F11");
    EXPECT_TRUE(game_->WaitFor("03-windowed", WindowedMenu, 10));
    ASSERT_TRUE(game_->WaitForFocus(10));
    CloseThroughWindowManager();
}

TEST_F(InputFlow, FireHeldOnTheFullScreenLineSwitchesOnce) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->Tap("Left"); // the gear
    x_->Tap("z");
    ASSERT_TRUE(game_->WaitFor("02-options", screens::IsOptionsBox, 10)) << "no options box";
    SleepSec(0.8);   // the box takes keys once it has slid in
    x_->Tap("Down"); // sound
    x_->Tap("Down"); // full screen
    EXPECT_EQ(WindowsWhileHeld("z", 2.0), 2u) << "one switch to full screen";
    auto fullScreenBox = [&](const Image &s) { return FullScreen(s) && screens::IsOptionsBox(s); };
    EXPECT_TRUE(game_->WaitFor("03-full-screen", fullScreenBox, 10));
}

TEST_F(InputFlow, TwelveMillisecondTapsOnTheMenuEachAct) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->MoveMouse(x_->ScreenWidth() - 1, x_->ScreenHeight() - 1); // the pointer out of the strip
    ASSERT_TRUE(WaitForArea(1, "02-wheel")) << "the wheel is not selected at first";
    struct Step {
        const char *key;
        int area;
    };
    // Left and right walk gear, wheel and strip; fire on the wheel starts the fight.
    const Step steps[] = {{"Left", 0},  {"Right", 1}, {"Right", 2}, {"Left", 1}, {"Left", 0},
                          {"Right", 1}, {"Right", 2}, {"Left", 1},  {"Left", 0}, {"Right", 1}};
    int acted = 0;
    for (int i = 0; i < 10; ++i) {
        x_->QuickTap(steps[i].key, 0.012);
        char name[32];
        std::snprintf(name, sizeof name, "tap-%02d", i + 1);
        if (WaitForArea(steps[i].area, name))
            ++acted;
        else
            break; // the next steps start from the wrong area
        SleepSec(0.15);
    }
    EXPECT_EQ(acted, 10) << "taps that moved the cursor";
    x_->QuickTap("z", 0.012);
    EXPECT_TRUE(game_->WaitFor("03-fight", screens::IsFight, 15)) << "a 12 ms tap of fire started no fight";
}

TEST_F(InputFlow, SwitchingTheScreenModeInAFightDoesNotPause) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    // Another window on the desktop that had the focus before: the window manager hands the focus back
    // to it while the game's window is being replaced.
    WindowInfo decoy = x_->OpenDecoy(4, 4, 60, 30);
    ASSERT_TRUE(decoy.Valid());
    ASSERT_NO_FATAL_FAILURE(LoseFocus(decoy));
    game_->ClickTitleBar();
    ASSERT_TRUE(game_->WaitForFocus(10));
    ASSERT_TRUE(game_->WaitFor("01-menu-again", screens::IsMenu, 10));
    ASSERT_NO_FATAL_FAILURE(ToFight());
    x_->Tap("F11");
    auto fullScreenFight = [&](const Image &s) { return FullScreen(s) && screens::IsPlayField(s); };
    ASSERT_TRUE(game_->WaitFor("03-full-screen", fullScreenFight, 15));
    ASSERT_TRUE(game_->WaitForFocus(10));
    SleepSec(1.0);
    Image s = game_->Shot();
    game_->Save(s, "04-full-screen-later");
    EXPECT_FALSE(screens::IsPauseDimmed(s)) << "switching to full screen paused the fight";
    EXPECT_TRUE(screens::IsFight(s));

    x_->Tap("F11");
    auto windowedFight = [](const Image &s) {
        return s.Width() == 640 && s.Height() == 480 && screens::IsPlayField(s);
    };
    ASSERT_TRUE(game_->WaitFor("05-windowed", windowedFight, 15));
    ASSERT_TRUE(game_->WaitForFocus(10));
    SleepSec(1.0);
    s = game_->Shot();
    game_->Save(s, "06-windowed-later");
    EXPECT_FALSE(screens::IsPauseDimmed(s)) << "switching back to the window paused the fight";
    EXPECT_TRUE(screens::IsFight(s));
}

// A direction held while F11 switches to full screen keeps steering there: the ship, held at the middle
// by Right and brought to the foot of the field, goes on rising while Up stays down.
TEST_F(InputFlow, ADirectionHeldThroughF11KeepsSteering) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    ASSERT_NO_FATAL_FAILURE(ToFight());
    x_->KeyDown("Right");
    x_->KeyDown("Down");
    SleepSec(3.0);
    x_->KeyUp("Down");
    x_->KeyDown("Up");
    x_->Tap("F11");
    auto fullScreenFight = [&](const Image &s) { return FullScreen(s) && screens::IsPlayField(s); };
    bool switched = game_->WaitFor("03-full-screen", fullScreenFight, 15);
    auto shipY = [&](const Image &s) {
        double sx = s.Width() / 640.0;
        return screens::LookAtFight(s, static_cast<int>(290 * sx), static_cast<int>(350 * sx)).shipY;
    };
    Image first = game_->Shot();
    SleepSec(0.3);
    Image later = game_->Shot();
    x_->KeyUp("Up");
    x_->KeyUp("Right");
    game_->Save(first, "04-held-up");
    game_->Save(later, "05-held-up-later");
    ASSERT_TRUE(switched);
    int from = shipY(first), to = shipY(later);
    std::printf("ship y with Up held after the switch: %d, then %d\n", from, to);
    ASSERT_GE(from, 0) << "no ship";
    ASSERT_GE(to, 0) << "no ship";
    EXPECT_LT(to, from - 4) << "the ship stopped while Up was still held";
}

// Every start opens the 640 x 480 window, also when the last run ended in full screen.
TEST_F(InputFlow, AStartAfterFullScreenOpensTheWindow) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->Tap("F11");
    auto fullScreenMenu = [&](const Image &s) { return FullScreen(s) && screens::IsMenu(s); };
    ASSERT_TRUE(WaitForLiveMenu("02-full-screen", fullScreenMenu, 15));
    ASSERT_TRUE(game_->WaitForFocus(10));
    SleepSec(0.5);
    ASSERT_NO_FATAL_FAILURE(SaveThroughOptionsBox()); // the settings are saved in full screen
    SleepSec(1.0);                                    // the box takes the menu's keys until it has slid out
    // Esc on the menu quits (a full-screen window has no close button).
    x_->Tap("Escape");
    ASSERT_TRUE(game_->Proc().WaitExit(15)) << "Esc on the menu did not quit";
    EXPECT_EQ(game_->Proc().ExitStatus(), 0);

    ASSERT_TRUE(game_->Start(InWorkDir()));
    ASSERT_TRUE(game_->WaitForWindow(30));
    EXPECT_TRUE(game_->WaitFor("03-started-windowed", WindowedMenu, 60)) << "the restart opened full screen";
    CloseThroughWindowManager();
}

} // namespace
} // namespace e2e
