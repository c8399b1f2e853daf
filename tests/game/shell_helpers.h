// Shared pieces of the menu, options, scores, saved-data and quit-guard tests: a game booted to its
// menu, key presses, and reading back the text that an update drew.
#pragma once
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tests/support/testhost.h"

// Game key codes used by the tests.
namespace keys {
constexpr int kEnter = 13, kEscape = 27, kSpace = 32;
constexpr int kLeft = 37, kUp = 38, kRight = 39, kDown = 40;
constexpr int kJ = 74, kK = 75, kU = 85, kO = 79;
} // namespace keys

class ShellTest : public ::testing::Test {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;

    void SetUp() override {
        host.Boot();
        app = host.App();
        ASSERT_TRUE(host.FinishLoading());
        app->p_FitScreen(640, 480);
        host.Update(40); // the menu has slid in
        ASSERT_EQ(app->gameMode, 1);
        ASSERT_EQ(app->menuIntro, 0);
    }

    // Holds a key for one update and lets go of it afterwards (the release is seen by the next one).
    void tap(int key) {
        host.KeyDown(key);
        host.Update();
        host.KeyUp(key);
        host.Update();
    }

    // The characters of the last update's text, in drawing order; spaces are not drawn and so absent.
    // With `minX`, only glyphs at or right of that x.
    std::string text(float minX = -1e9f) const {
        std::string out;
        for (int i : host.Records(static_cast<float>(app->font))) {
            const float *r = host.Record(i);
            int frame = static_cast<int>(r[6]);
            if (r[1] >= minX && frame >= 1 && frame < 95) out += static_cast<char>(frame + 32);
        }
        return out;
    }

    // Distinct rows of text at or right of `minX`.
    int textRows(float minX) const {
        std::set<int> rows;
        for (int i : host.Records(static_cast<float>(app->font))) {
            const float *r = host.Record(i);
            if (r[1] >= minX) rows.insert(static_cast<int>(r[2]));
        }
        return static_cast<int>(rows.size());
    }

    // Starts a fight from the menu with the fire key; returns once the fight runs.
    void startFight() {
        tap(keys::kSpace);
        for (int i = 0; i < 4 && app->gameMode != 10; ++i)
            host.Update();
        ASSERT_EQ(app->gameMode, 10);
    }
};
