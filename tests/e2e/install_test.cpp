// The installed game: `cmake --install` into a fresh prefix, then played from an unrelated folder
// through its launcher, which keeps one save per user.
#include <sys/stat.h>

#include <filesystem>

#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

std::string line_starting(const std::string &text, const std::string &key) {
    size_t at = text.find("\n" + key);
    if (at == std::string::npos) return {};
    at += 1 + key.size();
    return text.substr(at, text.find('\n', at) - at);
}

// `cmake --install` of the build into `prefix`; empty when it worked, else its log.
std::string install_into(const TempDir &prefix, const std::string &log) {
    SpawnOptions install;
    install.argv = {TIDE_CMAKE_COMMAND, "--install", TIDE_BINARY_DIR, "--prefix", prefix.Path()};
    install.outFile = log;
    install.errFile = log;
    return RunCommand(install, 120) == 0 ? std::string() : "install failed:\n" + ReadFile(log);
}

// A state file whose second score set has `score` at the top of both lists, with the right checksum;
// the settings and badges have wrong ones, so the game starts them from their defaults.
std::string state_with_score(int score) {
    std::string s;
    for (int i = 0; i < 25; ++i)
        s += "0|";
    s += "-1|";
    for (int b = 0; b < 9; ++b)
        s += b == 8 ? "1|" : "0|";
    for (int g = 0; g < 8; ++g) {
        int v = g == 1 ? score : 0;
        s += std::to_string(v) + "|" + std::to_string(v) + "|";
        for (int k = 1; k < 10; ++k)
            s += "0|0|";
        s += std::to_string(4 * v + (g + 3) * v) + "|";
    }
    return s;
}

class Install : public E2eTest {};

TEST_F(Install, InstalledGameKeepsOneSavePerUserWhereverItStarts) {
    TempDir prefix("prefix");
    ASSERT_EQ(install_into(prefix, out_ + "/install.log"), "");

    // The launcher on the PATH, the program with its data, the menu entry and the icon.
    std::string launcher = prefix / "bin/tidecrawler";
    struct stat st {};
    ASSERT_EQ(stat(launcher.c_str(), &st), 0) << "no launcher in bin";
    EXPECT_TRUE(st.st_mode & S_IXUSR);
    EXPECT_TRUE(std::filesystem::exists(prefix / "lib/tidecrawler/data/gfx.png"));
    std::string entry = ReadFile(prefix / "share/applications/tidecrawler.desktop");
    ASSERT_FALSE(entry.empty()) << "no desktop entry";
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(line_starting(entry, "Type="), "Application");
    EXPECT_EQ(line_starting(entry, "Name="), "The Final Tidecrawler");
    EXPECT_EQ(line_starting(entry, "Exec="), "\"" + launcher + "\"");
    std::string iconPath = line_starting(entry, "Icon=");
    Image icon = Image::LoadPng(iconPath);
    ASSERT_FALSE(icon.Empty()) << "the entry's icon is not a picture: " << iconPath;
    EXPECT_EQ(icon.Width(), icon.Height());
    // Made from the game's art: the reborn Tidecrawler is mostly red.
    EXPECT_GT(icon.Share([](Rgb c) { return c.r > 120 && c.r > c.g + 60; }), 0.1);
    for (int size : {48, 64, 128, 256}) {
        std::string s = std::to_string(size);
        EXPECT_TRUE(std::filesystem::exists(prefix /
                                            ("share/icons/hicolor/" + s + "x" + s + "/apps/tidecrawler.png")))
            << size;
    }

    // A player whose save an earlier version left in the home folder starts the installed game from
    // an unrelated folder: the save moves to the player's data folder, the game reads it there (its
    // score survives) and writes it back there, and nowhere else.
    TempDir home("home");
    ASSERT_TRUE(WriteFile(home / ".zindlestate", state_with_score(4321)));
    Image menu;
    Launch l = InWorkDir();
    l.program = launcher;
    l.env = {{"HOME", home.Path()}, {"XDG_DATA_HOME", ""}};
    ASSERT_NO_FATAL_FAILURE(StartToMenu(l, &menu));
    EXPECT_TRUE(screens::HasTitleArt(menu)) << "the installed game found no data";
    std::string saveDir = home / ".local/share/tidecrawler";
    EXPECT_NE(game_->Stdout().find("moved from " + home.Path() + "/.zindlestate"), std::string::npos)
        << game_->Stdout();
    EXPECT_FALSE(std::filesystem::exists(home / ".zindlestate"));
    ASSERT_NO_FATAL_FAILURE(SaveThroughOptionsBox());
    SaveFile saved = ReadSaveFile(ReadFile(saveDir + "/.zindlestate"));
    ASSERT_TRUE(saved.valid) << "no valid state file in " << saveDir << ": " << saved.problem;
    EXPECT_EQ(saved.Top(2, 0), 4321) << "the moved save was not read";
    EXPECT_FALSE(StateExists()) << "a state file in the folder the game was started from";
    EXPECT_FALSE(std::filesystem::exists(prefix / "lib/tidecrawler/.zindlestate"));
    CloseThroughWindowManager();
}

// The launcher's choice of folder, with a stand-in program that reports where it was started.
TEST(Launcher, StartsTheProgramInThePlayersOwnDataFolder) {
    TempDir prefix("prefix"), home("home"), xdg("xdg"), work("work");
    ASSERT_EQ(install_into(prefix, work / "install.log"), "");
    std::string program = prefix / "lib/tidecrawler/tidecrawler";
    std::filesystem::remove(program);
    ASSERT_TRUE(WriteFile(program, "#!/bin/sh\necho \"in $PWD with $#: $*\"\n"));
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    auto run = [&](const std::string &xdgHome, std::string *out) {
        SpawnOptions o;
        o.argv = {prefix / "bin/tidecrawler", "a b", "c"};
        o.cwd = work.Path();
        o.env = {{"HOME", home.Path()}, {"XDG_DATA_HOME", xdgHome}};
        o.outFile = work / "out.txt";
        o.errFile = work / "out.txt";
        int status = RunCommand(o);
        *out = ReadFile(work / "out.txt");
        return status;
    };
    std::string out;

    // An absolute XDG_DATA_HOME is used (the folder made), the arguments pass through unchanged, and
    // a save in the home folder moves there once...
    ASSERT_TRUE(WriteFile(home / ".zindlestate", "old"));
    ASSERT_EQ(run(xdg.Path(), &out), 0) << out;
    EXPECT_NE(out.find("in " + xdg.Path() + "/tidecrawler with 2: a b c"), std::string::npos) << out;
    EXPECT_NE(out.find("moved"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(xdg / "tidecrawler/.zindlestate"), "old");
    EXPECT_FALSE(std::filesystem::exists(home / ".zindlestate"));
    // ...and never over a save already in the data folder.
    ASSERT_TRUE(WriteFile(home / ".zindlestate", "other"));
    ASSERT_EQ(run(xdg.Path(), &out), 0) << out;
    EXPECT_EQ(out.find("moved"), std::string::npos) << out;
    EXPECT_EQ(ReadFile(xdg / "tidecrawler/.zindlestate"), "old");
    EXPECT_EQ(ReadFile(home / ".zindlestate"), "other");

    // A relative XDG_DATA_HOME is no base folder: the default under the home folder is used.
    ASSERT_EQ(run("relative/share", &out), 0) << out;
    EXPECT_NE(out.find("in " + home.Path() + "/.local/share/tidecrawler with"), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(work / "relative"));

    // A data folder that cannot be made stops the launcher with a message, not a game without a save.
    ASSERT_TRUE(WriteFile(work / "a-file", ""));
    EXPECT_NE(run(work / "a-file", &out), 0) << out;
    EXPECT_EQ(out.find("in "), std::string::npos) << out;
    EXPECT_NE(out.find("cannot make"), std::string::npos) << out;
}

} // namespace
} // namespace e2e
