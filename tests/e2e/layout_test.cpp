// Texts where the player should find them, in the real program: the wheel entry's description on a
// 5:4 full screen, and the game-over notice inside its box in the standard window.
#include <algorithm>

#include "tests/e2e/e2e_fixture.h"

namespace e2e {
namespace {

// The device box around the pixels of `shot` that pass `test`; w is 0 when there are none.
Rect BoxOf(const Image &shot, bool (*test)(Rgb)) {
    int x0 = shot.Width(), y0 = shot.Height(), x1 = -1, y1 = -1;
    for (int y = 0; y < shot.Height(); ++y)
        for (int x = 0; x < shot.Width(); ++x)
            if (test(shot.At(x, y))) {
                x0 = std::min(x0, x);
                y0 = std::min(y0, y);
                x1 = std::max(x1, x);
                y1 = std::max(y1, y);
            }
    return x1 < 0 ? Rect{} : Rect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

class Layout : public E2eTest {};

class LayoutOnA54Display : public E2eTest {
  protected:
    LayoutOnA54Display() {
        screenW_ = 1280;
        screenH_ = 1024;
    }
};

// A 1280 x 1024 full screen is 600 virtual pixels wide: the description has room beside the wheel.
TEST_F(LayoutOnA54Display, TheWheelEntryIsDescribedInFullScreen) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->Tap("F11");
    auto fullScreenMenu = [&](const Image &s) {
        return s.Width() == 1280 && s.Height() == 1024 && screens::IsMenu(s);
    };
    ASSERT_TRUE(game_->WaitFor("02-full-screen", fullScreenMenu, 20)) << "F11 gave no full-screen menu";
    SleepSec(1.0);
    Image shot = game_->Shot();
    game_->Save(shot, "03-described");
    // The two white lines at 1.5 times the type, from (240, 428) of the 600 x 480 virtual screen.
    const double s = shot.Height() / 480.0;
    const Rect text{static_cast<int>(230 * s), static_cast<int>(420 * s), static_cast<int>(200 * s),
                    static_cast<int>(45 * s)};
    auto white = [](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; };
    EXPECT_GT(shot.Count(white, text), static_cast<long>(200 * s * s)) << "no description under the wheel";
}

// A game quit at once scores 0, which ranks first among the empty best ten: the overlay shows "New
// Highscore" and "1st!", both inside the blue box.
TEST_F(Layout, TheGameOverNoticeSitsInsideItsBox) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->Tap("space");
    ASSERT_TRUE(game_->WaitFor("02-fight", screens::IsFight, 15)) << "fire on the menu started no fight";
    ASSERT_NO_FATAL_FAILURE(QuitThroughPauseMenu());
    ASSERT_TRUE(game_->WaitFor("03-game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";
    SleepSec(0.3);
    Image shot = game_->Shot();
    game_->Save(shot, "04-notice");
    // Under the backdrop's black nothing else is this blue or this green.
    const Rect box = BoxOf(shot, [](Rgb c) { return c.r <= 60 && c.g >= 40 && c.g <= 130 && c.b >= 120; });
    const Rect text = BoxOf(shot, [](Rgb c) { return c.g >= 200 && c.r <= 170 && c.b <= 170; });
    ASSERT_GT(box.w, 0) << "no box";
    ASSERT_GT(text.w, 100) << "no notice";
    EXPECT_GE(text.x, box.x) << "the notice starts left of its box";
    EXPECT_LE(text.x + text.w, box.x + box.w) << "the notice ends past its box";
    EXPECT_GE(text.y, box.y);
    EXPECT_LE(text.y + text.h, box.y + box.h);
}

} // namespace
} // namespace e2e
