// The installed game: `cmake --install` into a fresh prefix, then played from an unrelated folder.
#include <sys/stat.h>

#include <filesystem>

#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

class Install : public E2eTest {};

std::string line_starting(const std::string &text, const std::string &key) {
    size_t at = text.find("\n" + key);
    if (at == std::string::npos) return {};
    at += 1 + key.size();
    return text.substr(at, text.find('\n', at) - at);
}

TEST_F(Install, InstalledGameRunsFromAnyWorkingDirectory) {
    TempDir prefix("prefix");
    SpawnOptions install;
    install.argv = {TIDE_CMAKE_COMMAND, "--install", TIDE_BINARY_DIR, "--prefix", prefix.Path()};
    install.outFile = out_ + "/install.log";
    install.errFile = out_ + "/install.log";
    ASSERT_EQ(RunCommand(install, 120), 0) << ReadFile(out_ + "/install.log");

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

    // Started through the launcher from an unrelated folder, it finds its art (beside the real
    // program) and writes its state into the folder it was started in.
    Image menu;
    Launch l = InWorkDir();
    l.program = launcher;
    ASSERT_NO_FATAL_FAILURE(StartToMenu(l, &menu));
    EXPECT_TRUE(screens::HasTitleArt(menu)) << "the installed game found no data";
    x_->Tap("Left");
    x_->Tap("z");
    ASSERT_TRUE(game_->WaitFor("02-options", screens::IsOptionsBox, 10)) << "no options box";
    SleepSec(0.8);
    x_->Tap("z");
    ASSERT_TRUE(game_->WaitFor("03-menu", screens::IsMenu, 10)) << "the options box did not close";
    EXPECT_TRUE(ReadState().valid) << "no valid state file in the working folder";
    EXPECT_FALSE(std::filesystem::exists(prefix / "lib/tidecrawler/.zindlestate"));
    CloseThroughWindowManager();
}

} // namespace
} // namespace e2e
