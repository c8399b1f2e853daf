// Where the player finds things in the real program: the wheel entry's description only on screens wider
// than 600, a fight that fills a 5:4 full screen, and the game-over notice over its box.
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

// The two white lines of the description at 1.5 times the type, from (240, jscrh - 52) of the virtual
// screen, which is 480 high in the window and in the 5:4 full screen alike.
long DescriptionInk(const Image &shot) {
    const double s = shot.Height() / 480.0;
    const Rect text{static_cast<int>(230 * s), static_cast<int>(420 * s), static_cast<int>(200 * s),
                    static_cast<int>(45 * s)};
    return shot.Count([](Rgb c) { return c.r > 200 && c.g > 200 && c.b > 200; }, text);
}

// The window's virtual screen is 640 wide and shows the wheel entry's description; a 1280 x 1024 full
// screen is 600 wide, not above 600, and leaves it out. A fight there fills the screen, edge to edge.
TEST_F(LayoutOnA54Display, TheDescriptionNeedsMoreThan600AndAFightFillsTheFullScreen) {
    Image window;
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir(), &window));
    EXPECT_GT(DescriptionInk(window), 200) << "no description in the window";
    x_->Tap("F11");
    auto fullScreenMenu = [&](const Image &s) {
        return s.Width() == 1280 && s.Height() == 1024 && screens::IsMenu(s);
    };
    ASSERT_TRUE(game_->WaitFor("02-full-screen", fullScreenMenu, 20)) << "F11 gave no full-screen menu";
    SleepSec(2.5); // the menu slides in again after the reload
    Image shot = game_->Shot();
    game_->Save(shot, "03-menu");
    EXPECT_LT(DescriptionInk(shot), 20) << "a description on a screen 600 wide";

    x_->Tap("space");
    ASSERT_TRUE(game_->WaitFor("04-fight", screens::IsFight, 15)) << "fire on the menu started no fight";
    SleepSec(3.0);
    shot = game_->Shot();
    game_->Save(shot, "05-fight");
    auto sea = [](Rgb c) { return c.r < 40 && c.g < 40 && c.b > 50; };
    const int h = shot.Height(), w = shot.Width();
    EXPECT_GT(shot.Share(sea, Rect{0, h / 4, 8, h / 2}), 0.8) << "no sea at the left edge";
    EXPECT_GT(shot.Share(sea, Rect{w - 8, h / 4, 8, h / 2}), 0.8) << "no sea at the right edge";
    EXPECT_GT(shot.Share(sea, Rect{w / 4, h - 8, w / 2, 8}), 0.8) << "no sea at the bottom";
}

// A game quit at once scores 0, which ranks first among the empty best ten: the overlay shows "New
// Highscore" and "1st!" over the blue box, which spans 0.35 to 0.65 of the width, 32 high around 336
// once the bars are out (480 - 0.45 x 480 / 1.5).
TEST_F(Layout, TheGameOverNoticeSitsOverItsBox) {
    ASSERT_NO_FATAL_FAILURE(StartToMenu(InWorkDir()));
    x_->Tap("space");
    ASSERT_TRUE(game_->WaitFor("02-fight", screens::IsFight, 15)) << "fire on the menu started no fight";
    ASSERT_NO_FATAL_FAILURE(QuitThroughPauseMenu());
    ASSERT_TRUE(game_->WaitFor("03-game-over", screens::HasGameOverBars, 10)) << "no game-over overlay";
    SleepSec(0.3);
    Image shot = game_->Shot();
    game_->Save(shot, "04-notice");
    ASSERT_EQ(shot.Width(), 640);
    // Under the backdrop's black nothing else is this blue or this green.
    const Rect box = BoxOf(shot, [](Rgb c) { return c.r <= 60 && c.g >= 40 && c.g <= 130 && c.b >= 120; });
    const Rect text = BoxOf(shot, [](Rgb c) { return c.g >= 200 && c.r <= 170 && c.b <= 170; });
    ASSERT_GT(box.w, 0) << "no box";
    EXPECT_NEAR(box.x, 224, 2);
    EXPECT_NEAR(box.w, 192, 3);
    EXPECT_NEAR(box.y, 320, 2);
    EXPECT_NEAR(box.h, 32, 3);
    ASSERT_GT(text.w, 100) << "no notice";
    // 408 wide as measured, aligned a quarter of that left of the middle: the first letter fills the
    // next cell; the two lines stand above and below the box's middle.
    EXPECT_GE(text.x, 218);
    EXPECT_LE(text.x, 232);
    EXPECT_LT(text.y, 330);
    EXPECT_GT(text.y + text.h, 342);
}

} // namespace
} // namespace e2e
