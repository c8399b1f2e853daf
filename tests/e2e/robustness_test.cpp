// The real program under conditions a player's machine may have: no data folder, a damaged state
// file, no sound device, and the window losing and regaining the focus.
#include <filesystem>

#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

class Robustness : public E2eTest {
  protected:
    // From the menu into a fight and a moment of moving and shooting.
    void FightBriefly(const std::function<bool(const Image &)> &fightShown) {
        x_->Tap("space");
        ASSERT_TRUE(game_->WaitFor("02-fight", fightShown, 15)) << "no fight";
        x_->KeyDown("Right");
        for (int i = 0; i < 10; ++i)
            x_->Tap("z", 0.05);
        x_->KeyUp("Right");
    }

    // Quit through the pause screen, see the overlay and the menu again.
    void QuitToMenu(bool expectBars = true) {
        ASSERT_NO_FATAL_FAILURE(QuitThroughPauseMenu());
        if (expectBars) {
            EXPECT_TRUE(game_->WaitFor("game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";
        }
        ASSERT_TRUE(game_->WaitFor("menu-again", screens::IsMenu, 15)) << "no menu after quitting";
    }
};

TEST_F(Robustness, RunsWithoutItsDataFolder) {
    // The program alone in a folder: nothing beside it to load.
    TempDir bare("bare");
    std::string program = bare / "tidecrawler";
    std::filesystem::copy_file(BuiltGame(), program);
    Launch l = InWorkDir();
    l.program = program;

    Image menu;
    ASSERT_NO_FATAL_FAILURE(StartToMenu(l, &menu));
    EXPECT_FALSE(screens::HasTitleArt(menu)) << "title art drawn without a data folder?";
    ASSERT_NO_FATAL_FAILURE(FightBriefly(screens::IsPlayField));
    // Without pictures there is no text and no bar art to look for, but the overlay's bars are plain
    // rectangles and still show.
    ASSERT_NO_FATAL_FAILURE(QuitToMenu());
    CloseThroughWindowManager();
}

// A state file with every checksum wrong but one score group's, an over-long number, letters where
// numbers belong and bytes that are not text.
std::string damaged_state() {
    std::string s;
    for (int i = 0; i < 25; ++i)
        s += (i == 5 ? "3" : i == 3 ? std::string(300, '9') : i == 7 ? "x7" : "12") + std::string("|");
    s += "-1|"; // settings checksum: wrong
    for (int b = 0; b < 8; ++b)
        s += "-1|"; // every badge set...
    s += "5|";      // ...and a wrong sum
    for (int g = 0; g < 8; ++g) {
        int32_t sum = 0;
        for (int k = 0; k < 10; ++k) {
            int top = g == 1 && k == 0 ? 4321 : g == 0 ? 999 : 0;
            int last = g == 1 && k == 0 ? 4321 : 0;
            s += std::to_string(top) + "|" + std::to_string(last) + "|";
            sum += (k + 4) * top + (g + k + 3) * last;
        }
        // Only group 1 (the second score set) keeps a right checksum.
        s += std::to_string(g == 1 ? sum : sum + 1) + "|";
    }
    static const char junk[] = "\xff\xfe\x00\x01garbage|\xc3(|";
    s.append(junk, sizeof junk - 1);
    return s;
}

TEST_F(Robustness, StartsOverADamagedStateFileWithDefaultsAndSavesAValidOne) {
    ASSERT_TRUE(WriteFile(work_ / ".zindlestate", damaged_state()));
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    std::string out = game_->Stdout();
    EXPECT_NE(out.find("Settings Checksum Invalid"), std::string::npos) << out;
    EXPECT_NE(out.find("Badge Checksum Invalid"), std::string::npos) << out;

    // Through the menu to the options box (left to the gear, fire), and out again (fire on the back
    // gear): closing the box saves.
    x_->Tap("Left");
    x_->Tap("z");
    ASSERT_TRUE(game_->WaitFor("02-options", screens::IsOptionsBox, 10)) << "no options box";
    SleepSec(0.8);
    x_->Tap("z");
    ASSERT_TRUE(game_->WaitFor("03-menu", screens::IsMenu, 10)) << "the options box did not close";

    SaveFile saved = ReadState();
    ASSERT_TRUE(saved.valid) << saved.problem << "\n" << ReadFile(work_ / ".zindlestate");
    EXPECT_EQ(saved.Opt(5), 1) << "the sound setting is not back to its default";
    EXPECT_EQ(saved.Opt(3), 0);
    for (int i = 0; i < 256; ++i)
        ASSERT_FALSE(saved.Badge(i)) << "badge " << i;
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(saved.Top(1, k), 0) << "the damaged score group was kept";
    EXPECT_EQ(saved.Top(2, 0), 4321) << "the intact score group was lost";
    EXPECT_EQ(saved.Last(2, 0), 4321);
    CloseThroughWindowManager();
}

TEST_F(Robustness, RunsSilentlyWithoutASoundDevice) {
    Launch l = InWorkDir();
    l.audioDrivers = "no-such-backend";
    ASSERT_NO_FATAL_FAILURE(StartToMenu(l));
    // Shots, hits and the game-over all ask for sounds.
    ASSERT_NO_FATAL_FAILURE(FightBriefly(screens::IsFight));
    ASSERT_NO_FATAL_FAILURE(QuitToMenu());
    ASSERT_TRUE(game_->Proc().Running());
    CloseThroughWindowManager();
}

TEST_F(Robustness, LosingTheFocusSuspendsAndRegainingItResumesPaused) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    // A window of our own in a free corner of the screen takes the focus when clicked.
    WindowInfo decoy = x_->OpenDecoy(4, 4, 60, 30);
    ASSERT_TRUE(decoy.Valid());
    ASSERT_TRUE(game_->WaitForFocus(10));
    ASSERT_NO_FATAL_FAILURE(FightBriefly(screens::IsFight));

    // Running, the picture moves and the program works.
    Image a = game_->Shot();
    double running = game_->CpuShare(1.0);
    Image b = game_->Shot();
    EXPECT_TRUE(b.DiffersFrom(a, {}, 100)) << "the running fight stood still";
    std::printf("processor share of one core, running: %.3f\n", running);

    ASSERT_NO_FATAL_FAILURE(LoseFocus(decoy));

    // Suspended: no updates (the picture stands still) and no processor time.
    a = game_->Shot();
    double suspended = game_->CpuShare(1.0);
    b = game_->Shot();
    game_->Save(b, "03-suspended");
    std::printf("processor share of one core, suspended: %.3f\n", suspended);
    EXPECT_LT(suspended, 0.03) << "a suspended game uses the processor";
    EXPECT_LT(suspended, running);
    EXPECT_FALSE(b.DiffersFrom(a)) << "the suspended game still updates";
    // Suspending saves the state.
    SaveFile saved = ReadState();
    EXPECT_TRUE(saved.valid) << "state after suspending: " << saved.problem;

    // Focus back (a click on the title bar): the fight comes back paused, with the pause screen.
    game_->ClickTitleBar();
    ASSERT_TRUE(game_->WaitForFocus(10));
    ASSERT_TRUE(game_->WaitFor("04-resumed-paused", screens::IsPaused, 10)) << "not paused after resuming";
    ASSERT_NO_FATAL_FAILURE(QuitToMenu());

    // Suspended again, in the menu: the close request still ends the program.
    ASSERT_NO_FATAL_FAILURE(LoseFocus(decoy));
    CloseThroughWindowManager();
}

} // namespace
} // namespace e2e
