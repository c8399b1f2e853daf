// The real program under conditions a player's machine may have: no data folder, an odd folder name,
// a damaged or unusable state file, no sound device, and the window losing and regaining the focus.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

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

// Without a data folder it can read, the game would be an empty blue window: it says so and ends.
TEST_F(Robustness, EndsWithAMessageWithoutItsDataFolder) {
    TempDir bare("bare");
    std::string program = bare / "tidecrawler";
    std::filesystem::copy_file(BuiltGame(), program);
    Launch l = InWorkDir();
    l.program = program;
    ASSERT_TRUE(game_->Start(l));
    ASSERT_TRUE(game_->Proc().WaitExit(30)) << "the game runs without its data";
    EXPECT_EQ(game_->Proc().ExitStatus(), 255);
    EXPECT_NE(game_->Stderr().find("Cannot read the game's data folder " + (bare / "data")),
              std::string::npos)
        << game_->Stderr();
    if (geteuid() != 0) return;

    // A data folder that the player may not enter is no better.
    ASSERT_TRUE(MakeDirs(bare / "data"));
    chmod(bare.Path().c_str(), 0755);
    chmod((bare / "data").c_str(), 0);
    game_ = std::make_unique<GameDriver>(*x_, out_ + "/unreadable");
    l.user = 65534;
    ASSERT_TRUE(game_->Start(l));
    ASSERT_TRUE(game_->Proc().WaitExit(30)) << "the game runs without reading its data";
    EXPECT_EQ(game_->Proc().ExitStatus(), 255);
    EXPECT_NE(game_->Stderr().find("(Permission denied)"), std::string::npos) << game_->Stderr();
}

// A program folder deeper than the system's path limit (4,096 bytes) cannot be named by the system, so
// the game has no folder of its own: it says so and ends before any window, even with a `data` folder
// in the folder it starts in. The folder is reached through two links, each shorter than the limit.
TEST_F(Robustness, EndsWithAMessageWithoutAFolderOfItsOwn) {
    TempDir top("deep");
    const std::string part(250, 'd');
    int fd = open(top.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string half, hop = "first";
    for (int depth = 0; depth < 20; ++depth) {
        ASSERT_EQ(mkdirat(fd, part.c_str(), 0755), 0) << depth;
        int sub = openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        ASSERT_GE((fd = sub), 0);
        half += (half.empty() ? "" : "/") + part;
        if (depth == 9) { // each link names ten levels, about 2,500 bytes
            ASSERT_EQ(symlink((top.Path() + "/" + half).c_str(), (top / hop).c_str()), 0);
            half.clear();
            hop = "second";
        }
    }
    close(fd);
    ASSERT_EQ(symlink((top / "first/" + half).c_str(), (top / "second").c_str()), 0);
    std::string deep = top / "second";
    std::filesystem::copy_file(BuiltGame(), deep + "/tidecrawler");
    std::filesystem::create_directory_symlink(std::string(TIDE_BINARY_DIR) + "/data", deep + "/data");

    Launch l;
    l.workDir = deep;
    l.program = "./tidecrawler";
    ASSERT_TRUE(game_->Start(l));
    bool ended = game_->Proc().WaitExit(30);
    // The folder is deeper than std::filesystem can remove.
    EXPECT_EQ(system(("rm -rf " + top.Path() + "/*").c_str()), 0);
    ASSERT_TRUE(ended) << "the game runs without a folder of its own";
    EXPECT_EQ(game_->Proc().ExitStatus(), 255) << game_->Stderr();
    EXPECT_NE(game_->Stderr().find("Cannot find the program's own folder (File name too long)"),
              std::string::npos)
        << game_->Stderr();
    EXPECT_EQ(game_->Stdout().find("glfwInit"), std::string::npos) << "it got as far as the window system";
}

// File names are bytes: a folder named with a character beyond 16 bits and bytes that are not UTF-8
// still leads to the data.
TEST_F(Robustness, FindsItsDataUnderAFolderNamedWithAnyBytes) {
    TempDir top("names");
    std::string folder = top / "\xf0\x9f\x90\x99 \xff\xfe game";
    ASSERT_TRUE(MakeDirs(folder));
    std::filesystem::copy_file(BuiltGame(), folder + "/tidecrawler");
    std::filesystem::create_directory_symlink(std::string(TIDE_BINARY_DIR) + "/data", folder + "/data");
    Launch l = InWorkDir();
    l.program = folder + "/tidecrawler";
    Image menu;
    ASSERT_NO_FATAL_FAILURE(StartToMenu(l, &menu));
    EXPECT_TRUE(screens::HasTitleArt(menu)) << "no title art: the data was not found";
    CloseThroughWindowManager();
}

// The player as an ordinary user, in a shared folder like /tmp: a state file the game cannot read
// whole, or another user's link, is kept exactly as it is; the game says so, starts with its defaults
// and does not save over it. None of them keeps the game from starting.
TEST_F(Robustness, KeepsStateFilesItCannotReadWhole) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to play as ordinary users";
    const int player = 65534, other = 65533;
    // The program with its data where the player can reach it.
    TempDir install("install");
    chmod(install.Path().c_str(), 0755);
    std::filesystem::copy_file(BuiltGame(), install / "tidecrawler");
    std::filesystem::copy(std::string(TIDE_BINARY_DIR) + "/data", install / "data",
                          std::filesystem::copy_options::recursive);
    chmod(work_.Path().c_str(), 01777);
    const std::string state = work_ / ".zindlestate", mine = work_ / "mine";
    const std::string scores = "1|2|3|\xc3\xa9|old scores|";

    struct Case {
        const char *name;
        std::function<void()> make;
        std::string kept; // the file whose bytes must not change
    };
    auto owned = [](const std::string &path, int user) { ASSERT_EQ(lchown(path.c_str(), user, user), 0); };
    std::vector<Case> cases = {
        {"unreadable",
         [&] {
             WriteFile(state, scores);
             owned(state, player);
             chmod(state.c_str(), 0);
         },
         state},
        {"planted-link",
         [&] {
             WriteFile(mine, scores);
             owned(mine, player);
             symlink(mine.c_str(), state.c_str());
             owned(state, other);
         },
         mine},
        {"device",
         [&] {
             symlink("/dev/zero", state.c_str());
             owned(state, player);
         },
         ""},
        {"too-long",
         [&] {
             WriteFile(state, scores + std::string(100000, '9'));
             owned(state, player);
         },
         state},
        {"named-pipe",
         [&] {
             mkfifo(state.c_str(), 0666);
             owned(state, player);
         },
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_NO_FATAL_FAILURE(c.make());
        std::string before = c.kept.empty() ? "" : ReadFile(c.kept);
        game_ = std::make_unique<GameDriver>(*x_, out_ + "/" + c.name);
        Launch l = InWorkDir();
        l.program = install / "tidecrawler";
        l.user = player;
        ASSERT_NO_FATAL_FAILURE(StartToMenu(l));
        EXPECT_NE(game_->Stderr().find("cannot be used"), std::string::npos) << game_->Stderr();
        ASSERT_NO_FATAL_FAILURE(SaveThroughOptionsBox());
        EXPECT_NE(game_->Stdout().find("Save failed"), std::string::npos) << game_->Stdout();
        CloseThroughWindowManager();
        if (!c.kept.empty()) {
            EXPECT_EQ(ReadFile(c.kept), before) << "changed";
        }
        struct stat st;
        EXPECT_EQ(lstat(state.c_str(), &st), 0);
        EXPECT_EQ(S_ISLNK(st.st_mode),
                  c.name == std::string("planted-link") || c.name == std::string("device"));
        std::filesystem::remove(state);
        std::filesystem::remove(mine);
    }
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
    ASSERT_NO_FATAL_FAILURE(SaveThroughOptionsBox());

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
