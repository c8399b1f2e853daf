// The console's "Unexpected Quit" notice: what it shows and when its keys act.
#include <string>

#include "tests/game/shell_helpers.h"

namespace {

using QuitGuard = ShellTest;

TEST_F(QuitGuard, HeldFireFromTheMenuWaitsForTheLatches) {
    rt_Brinefall_isOuya = 1;
    host.KeyDown(keys::kEscape);
    host.Update();
    ASSERT_EQ(app->gameMode, 4);
    host.Update(); // the notice draws from the next update on
    EXPECT_NE(text().find("UnexpectedQuit"), std::string::npos);
    EXPECT_NE(text().find("WhatshouldIdo?"), std::string::npos);

    // The button icons of actions 11 and 10 (pad set, with their blink frame).
    int icons = 0;
    for (int i : host.Records(static_cast<float>(app->font))) {
        int frame = static_cast<int>(host.Record(i)[6]);
        if (frame == 96 || frame == 97 || frame == 109) ++icons;
    }
    EXPECT_EQ(icons, 2);

    host.KeyDown(keys::kSpace); // fire, pressed while the back key is still down
    host.Update();
    host.KeyUp(keys::kEscape);
    host.Update(20);
    EXPECT_EQ(app->gameMode, 4);
    host.KeyUp(keys::kSpace);
    host.Update();
    EXPECT_EQ(app->gameMode, 4);
    EXPECT_EQ(app->keyLatch, 0);

    tap(keys::kSpace);
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->keyLatch, 0);
}

TEST_F(QuitGuard, QuitKeysEndTheProgram) {
    rt_Brinefall_isOuya = 1;
    tap(keys::kEscape);
    ASSERT_EQ(app->gameMode, 4);
    for (int key : {keys::kK, 76 /* L */, keys::kEscape}) {
        std::string out;
        int status = RunInChild(
            [&] {
                host.KeyDown(key);
                host.Update();
            },
            &out);
        EXPECT_EQ(status, 0) << key;
        EXPECT_EQ(out, "") << key;
    }
    // The ignore key held with a quit key does not hide the quit.
    EXPECT_EQ(RunInChild([&] {
                  host.KeyDown(keys::kSpace);
                  host.KeyDown(keys::kK);
                  host.Update();
              }),
              0);
    // While a latch is set nothing quits.
    app->keyLatch = 1;
    int status = RunInChild([&] {
        host.KeyDown(keys::kK);
        host.Update();
    });
    EXPECT_EQ(status, 100); // returned normally
}

} // namespace
