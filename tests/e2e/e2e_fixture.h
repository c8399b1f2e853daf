// What every end-to-end test starts from: a private X session with a window manager, a fresh empty
// working folder, and the game driver writing into the test's own output folder.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/e2e/harness/game_driver.h"
#include "tests/e2e/harness/save_file.h"
#include "tests/e2e/harness/x_session.h"

namespace e2e {

class E2eTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        out_ = std::string(TIDE_E2E_OUTPUT) + "/" + info->test_suite_name() + "." + info->name();
        std::error_code ec;
        std::filesystem::remove_all(out_, ec);
        MakeDirs(out_);
        x_ = std::make_unique<XSession>(screenW_, screenH_, out_ + "/x");
        ASSERT_TRUE(x_->Ok()) << x_->Error();
        game_ = std::make_unique<GameDriver>(*x_, out_);
    }

    void TearDown() override {
        if (HasFailure() && game_) {
            x_->Capture().SavePng(out_ + "/failure-screen.png");
            std::printf("game output:\n%s\n%s\n", game_->Stdout().c_str(), game_->Stderr().c_str());
        }
        game_.reset();
        x_.reset();
    }

    Launch InWorkDir() const {
        Launch l;
        l.workDir = work_.Path();
        return l;
    }

    // Starts the game and waits until it shows its main menu with the focus.
    void StartToMenu(const Launch &launch, Image *menu = nullptr, const std::string &shotName = "01-menu") {
        ASSERT_TRUE(game_->Start(launch));
        ASSERT_TRUE(game_->WaitForWindow(30)) << "no window; output: " << game_->Stderr();
        ASSERT_TRUE(game_->WaitForFocus(15)) << "the window manager gave the game no focus";
        ASSERT_TRUE(game_->WaitFor(shotName, screens::IsMenu, 60)) << "no main menu";
        // The menu slides in over two seconds.
        SleepSec(2.5);
        Image shot = game_->Shot();
        game_->Save(shot, shotName);
        ASSERT_TRUE(screens::IsMenu(shot));
        if (menu) *menu = shot;
    }

    // Quits the fight through the pause screen: pause (unless paused), select the quit button, choose it.
    void QuitThroughPauseMenu() {
        if (!screens::IsPauseDimmed(game_->Shot())) x_->Tap("Escape");
        ASSERT_TRUE(game_->WaitFor("pause-before-quit", screens::IsPauseDimmed, 10)) << "no pause screen";
        x_->Tap("Up");
        x_->Tap("Up");
        x_->Tap("z");
    }

    // From the main menu into the options box and out again: closing the box saves.
    void SaveThroughOptionsBox() {
        x_->Tap("Left");
        x_->Tap("z");
        ASSERT_TRUE(game_->WaitFor("options", screens::IsOptionsBox, 10)) << "no options box";
        SleepSec(0.8);
        x_->Tap("z");
        ASSERT_TRUE(game_->WaitFor("options-closed", screens::IsMenu, 10)) << "the options box did not close";
    }

    // Clicks the decoy window and waits until the game has lost the focus.
    void LoseFocus(const WindowInfo &decoy) {
        x_->Click(decoy.area.x + decoy.area.w / 2, decoy.area.y + decoy.area.h / 2);
        double end = NowSec() + 10;
        while (x_->HasFocus(game_->Window()) && NowSec() < end)
            SleepSec(0.05);
        ASSERT_FALSE(x_->HasFocus(game_->Window())) << "the game kept the focus";
        SleepSec(0.5);
    }

    // Closes the window through the window manager's close button; the game must end with status 0.
    void CloseThroughWindowManager() {
        game_->ClickCloseButton();
        ASSERT_TRUE(game_->Proc().WaitExit(15)) << "the game did not end after the close request";
        EXPECT_EQ(game_->Proc().ExitStatus(), 0) << game_->Stdout();
        EXPECT_EQ(game_->Stdout().find("Runtime Error"), std::string::npos) << game_->Stdout();
        // The sound device is closed on the way out, so OpenAL has nothing to complain about.
        EXPECT_EQ(game_->Stderr().find("AL lib"), std::string::npos) << game_->Stderr();
    }

    SaveFile ReadState() const { return ReadSaveFile(ReadFile(work_ / ".zindlestate")); }
    bool StateExists() const { return std::filesystem::exists(work_ / ".zindlestate"); }

    // 800 x 600: room for the 640 x 480 window with its frame, and a cheap full screen. A fixture that
    // needs another display sets these in its constructor.
    int screenW_ = 800, screenH_ = 600;
    std::string out_;
    TempDir work_{"work"};
    std::unique_ptr<XSession> x_;
    std::unique_ptr<GameDriver> game_;
};

} // namespace e2e
