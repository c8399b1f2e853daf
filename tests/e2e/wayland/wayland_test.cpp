// The real program as a native Wayland client of a real compositor (sway, headless), driven by a
// virtual keyboard: a game at output scales 1 and 2, full screen on and off, and a hidden window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "tests/e2e/harness/game_driver.h"
#include "tests/e2e/harness/image.h"
#include "tests/e2e/harness/process.h"
#include "tests/e2e/wayland/sway_session.h"

namespace e2e {
namespace {

bool Installed(const char *tool) {
    SpawnOptions o;
    o.argv = {"sh", "-c", std::string("command -v ") + tool};
    return RunCommand(o, 10) == 0;
}

// The picture must reach every corner of its window: a corner patch that is mostly black was not drawn.
std::string UnfilledCorners(const Image &shot) {
    int pw = shot.Width() / 20, ph = shot.Height() / 20;
    const struct {
        const char *name;
        Rect area;
    } corners[] = {{"top left", {0, 0, pw, ph}},
                   {"top right", {shot.Width() - pw, 0, pw, ph}},
                   {"bottom left", {0, shot.Height() - ph, pw, ph}},
                   {"bottom right", {shot.Width() - pw, shot.Height() - ph, pw, ph}}};
    std::string unfilled;
    for (const auto &c : corners)
        if (shot.Share([](Rgb p) { return p.r + p.g + p.b < 24; }, c.area) > 0.5)
            unfilled += (unfilled.empty() ? "" : ", ") + std::string(c.name);
    return unfilled;
}

class WaylandGame : public ::testing::Test {
  protected:
    // Starts the session at this scale; a test without sway or grim is skipped.
    void StartSession(int scale) {
        if (!Installed("sway") || !Installed("grim") || !Installed("swaymsg"))
            GTEST_SKIP() << "sway, swaymsg and grim are needed for the Wayland tests";
        const ::testing::TestInfo *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "." + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        out_ = std::string(TIDE_E2E_OUTPUT) + "/" + name;
        std::error_code ec;
        std::filesystem::remove_all(out_, ec);
        MakeDirs(out_);
        sway_ = std::make_unique<SwaySession>(800, 600, scale, out_ + "/sway");
        ASSERT_TRUE(sway_->Ok()) << sway_->Error();
    }

    void TearDown() override {
        if (HasFailure() && sway_) {
            sway_->Capture().SavePng(out_ + "/failure-screen.png");
            std::printf("game output:\n%s\n%s\n", ReadFile(out_ + "/stdout.txt").c_str(),
                        ReadFile(out_ + "/stderr.txt").c_str());
        }
        game_.Stop(2.0);
        sway_.reset();
    }

    View Window() { return sway_->FindView(game_.Pid()); }

    // The game window's inside at the output's pixels, or nothing while it is not shown.
    Image Shot() {
        View v = Window();
        return v.found && v.visible ? sway_->Capture(v.area) : Image{};
    }

    void Save(const Image &shot, const std::string &name) const { shot.SavePng(out_ + "/" + name + ".png"); }

    bool WaitFor(const std::string &name, const std::function<bool(const Image &)> &test, double timeoutSec,
                 Image *last = nullptr) {
        Image shot;
        bool ok = false;
        for (double end = NowSec() + timeoutSec;;) {
            shot = Shot();
            if ((ok = !shot.Empty() && test(shot)) || NowSec() >= end || !game_.Running()) break;
            SleepSec(0.1);
        }
        Save(shot.Empty() ? sway_->Capture() : shot, name);
        if (last) *last = shot;
        return ok;
    }

    // Starts the game and waits until it shows its main menu with the keyboard focus.
    void StartToMenu(Image *menu) {
        SpawnOptions o;
        o.argv = {BuiltGame()};
        o.cwd = work_.Path();
        o.env = sway_->ClientEnv();
        o.env.push_back({"ALSOFT_DRIVERS", "null"});
        o.unsetEnv = sway_->ClientUnsetEnv();
        o.outFile = out_ + "/stdout.txt";
        o.errFile = out_ + "/stderr.txt";
        ASSERT_TRUE(game_.Start(o));
        double end = NowSec() + 30;
        while (!Window().focused && game_.Running() && NowSec() < end)
            SleepSec(0.1);
        ASSERT_TRUE(Window().focused) << "no focused window; output: " << ReadFile(out_ + "/stderr.txt");
        // A menu drawn into the lower-left part of the window only still counts as the menu here: the
        // tests check on their own whether it fills the window.
        auto menuSomewhere = [](const Image &s) {
            return screens::IsMenu(s) ||
                   screens::IsMenu(s.Crop({0, s.Height() / 2, s.Width() / 2, s.Height() / 2}));
        };
        ASSERT_TRUE(WaitFor("01-menu", menuSomewhere, 60)) << "no main menu";
        SleepSec(2.5); // the menu slides in over two seconds
        *menu = Shot();
        Save(*menu, "01-menu");
    }

    // A sway command for the game's window.
    bool TellWindow(const std::string &command) {
        return sway_->Command("[pid=" + std::to_string(game_.Pid()) + "] " + command);
    }

    // From the start to a fight, hidden from view in sway's scratchpad (as on another workspace).
    void StartHiddenFight() {
        Image menu;
        ASSERT_NO_FATAL_FAILURE(StartToMenu(&menu));
        sway_->Tap("space");
        ASSERT_TRUE(WaitFor("02-fight", screens::IsFight, 15)) << "no fight";
        std::filesystem::remove(work_ / ".zindlestate"); // what the game saves from now on shows
        ASSERT_TRUE(TellWindow("move scratchpad"));
        ASSERT_FALSE(Window().visible);
    }

    // A close request through the compositor (what a window's close button sends): status 0.
    void CloseThroughCompositor(double timeoutSec) {
        ASSERT_TRUE(TellWindow("kill"));
        ASSERT_TRUE(game_.WaitExit(timeoutSec)) << "the game did not answer the close request";
        EXPECT_EQ(game_.ExitStatus(), 0) << ReadFile(out_ + "/stdout.txt");
    }

    bool WindowIs(const Image &s, int w, int h) const {
        return s.Width() == w * sway_->Scale() && s.Height() == h * sway_->Scale();
    }

    std::string out_;
    TempDir work_{"work"};
    std::unique_ptr<SwaySession> sway_;
    Process game_;
};

class WaylandScale : public WaylandGame, public ::testing::WithParamInterface<int> {
  protected:
    // The session at the test's scale and the game on its menu, drawn at the output's full pixel
    // resolution into the whole window.
    void StartToFilledMenu() {
        ASSERT_NO_FATAL_FAILURE(StartSession(GetParam()));
        if (IsSkipped()) return;
        Image menu;
        ASSERT_NO_FATAL_FAILURE(StartToMenu(&menu));
        EXPECT_TRUE(WindowIs(menu, 640, 480)) << menu.Width() << " x " << menu.Height();
        EXPECT_EQ(UnfilledCorners(menu), "") << "the menu does not fill its window";
        ASSERT_TRUE(screens::IsMenu(menu)) << "the menu covers only part of its window";
        EXPECT_TRUE(screens::HasTitleArt(menu));
    }
};

// Menu, a fight, pause, the options box, quitting the fight, and the close request.
TEST_P(WaylandScale, PlaysAGameFillingTheWindow) {
    ASSERT_NO_FATAL_FAILURE(StartToFilledMenu());
    if (IsSkipped()) return;
    sway_->Tap("space");
    ASSERT_TRUE(WaitFor("02-fight", screens::IsFight, 15)) << "fire on the menu started no fight";
    sway_->KeyDown("Right");
    for (int i = 0; i < 10; ++i)
        sway_->Tap("z", 0.05);
    sway_->KeyUp("Right");

    sway_->Tap("Escape");
    ASSERT_TRUE(WaitFor("03-paused", screens::IsPaused, 10)) << "Escape did not pause";
    // From the pause screen's back gear, the line below opens the options box; Escape closes it.
    sway_->Tap("Down");
    sway_->Tap("z");
    ASSERT_TRUE(WaitFor("04-options", screens::IsOptionsBox, 10)) << "no options box";
    SleepSec(0.8); // the box ignores keys until it has slid in
    sway_->Tap("Escape");
    ASSERT_TRUE(WaitFor("05-options-closed", screens::IsPaused, 10)) << "the options box stayed";
    SleepSec(0.8);
    sway_->Tap("Escape");
    ASSERT_TRUE(WaitFor("06-resumed", screens::IsFight, 10)) << "Escape did not resume";

    // Quit: pause, up twice to the quit button, fire; the game-over overlay, then the menu.
    sway_->Tap("Escape");
    ASSERT_TRUE(WaitFor("07-paused", screens::IsPauseDimmed, 10));
    sway_->Tap("Up");
    sway_->Tap("Up");
    sway_->Tap("z");
    EXPECT_TRUE(WaitFor("08-game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";
    ASSERT_TRUE(WaitFor("09-menu-again", screens::IsMenu, 15)) << "no menu after quitting";
    ASSERT_NO_FATAL_FAILURE(CloseThroughCompositor(15));
}

// Full screen is the desktop's own: the window takes the whole output and keeps it (a second of key
// repeat later too), then gives it back, filled each time. A window made anew while F11 is down loses
// the key's release, and GLFW's key repeat then fires for no window (an assertion ends the game) or
// for the new one (a second switch): the host switches the one window in place.
TEST_P(WaylandScale, SwitchesFullScreenAndBackFillingTheOutput) {
    ASSERT_NO_FATAL_FAILURE(StartToFilledMenu());
    if (IsSkipped()) return;
    sway_->Tap("F11");
    Image full;
    auto fullScreenMenu = [&](const Image &s) { return WindowIs(s, 800, 600) && screens::IsMenu(s); };
    ASSERT_TRUE(WaitFor("02-full-screen", fullScreenMenu, 20, &full))
        << "F11 gave no full-screen menu" << (game_.Running() ? "" : ": the game ended");
    EXPECT_EQ(UnfilledCorners(full), "") << "the full-screen menu does not fill the output";
    SleepSec(1.0);
    ASSERT_TRUE(game_.Running()) << "the game ended in full screen";
    EXPECT_TRUE(Window().fullScreen) << "the game left full screen by itself";

    sway_->Tap("F11");
    Image windowed;
    auto windowedMenu = [&](const Image &s) { return WindowIs(s, 640, 480) && screens::IsMenu(s); };
    ASSERT_TRUE(WaitFor("03-windowed", windowedMenu, 20, &windowed)) << "F11 did not return to the window";
    EXPECT_EQ(UnfilledCorners(windowed), "") << "the menu does not fill its window again";
    SleepSec(1.0);
    ASSERT_TRUE(game_.Running()) << "the game ended after leaving full screen";
    EXPECT_FALSE(Window().fullScreen) << "the game went back to full screen by itself";
    ASSERT_NO_FATAL_FAILURE(CloseThroughCompositor(15));
}

INSTANTIATE_TEST_SUITE_P(Output, WaylandScale, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &p) {
                             return "Scale" + std::to_string(p.param);
                         });

// A window the compositor does not show gets no frame callbacks: the game must go on reading events
// all the same. It sees the focus go (and saves, as a suspended game does) and answers a close request.
TEST_F(WaylandGame, HiddenWindowKeepsAnsweringAndClosesWithStatusZero) {
    ASSERT_NO_FATAL_FAILURE(StartSession(1));
    if (IsSkipped()) return;
    std::string state = work_ / ".zindlestate";
    ASSERT_NO_FATAL_FAILURE(StartHiddenFight());
    double hidden = NowSec();
    while (!std::filesystem::exists(state) && NowSec() < hidden + 5)
        SleepSec(0.1);
    EXPECT_TRUE(std::filesystem::exists(state)) << "hidden, the game did not suspend (nothing saved)";
    SleepSec(hidden + 4 - NowSec());
    ASSERT_TRUE(game_.Running()) << "the hidden game ended by itself";
    ASSERT_NO_FATAL_FAILURE(CloseThroughCompositor(10));
}

// When the session ends, the compositor goes, and the game must end with it rather than stay behind
// without a display: also when its window is hidden and the game suspended, waiting for events.
TEST_F(WaylandGame, EndsWhenTheCompositorGoes) {
    ASSERT_NO_FATAL_FAILURE(StartSession(1));
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(StartHiddenFight());
    SleepSec(1.0);
    sway_->StopCompositor();
    if (!game_.WaitExit(10)) {
        long before = game_.CpuTicks();
        SleepSec(2.0);
        double share = static_cast<double>(game_.CpuTicks() - before) / Process::TicksPerSecond() / 2.0;
        FAIL() << "the game outlived its compositor, using " << share * 100 << " % of a core";
    }
    std::printf("exit status without a compositor: %d\n", game_.ExitStatus());
}

} // namespace
} // namespace e2e
