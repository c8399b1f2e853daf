#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "audio/audio.h"
#include "input/input.h"
#include "runtime/mathrand.h"
#include "tests/support/testhost.h"

namespace {

// Seed that makes the generator's next draw equal `r` (a multiple of 2^-24).
int seedForDraw(double r) {
    unsigned state = static_cast<unsigned>(r * 16777216.0) << 8;
    // Inverse of the multiplier modulo 2^32, by Newton's iteration.
    unsigned a = 1664525u, inv = a;
    for (int i = 0; i < 5; ++i)
        inv *= 2u - a * inv;
    return static_cast<int>((state - 1013904223u) * inv);
}

class GameState : public ::testing::Test {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;
    void SetUp() override {
        host.Boot();
        app = host.App();
    }
    // A sound slot with no sample behind it: plays nothing but takes its turn on a channel.
    void fakeSound(int slot) { gc_assign(app->sfx[slot], (new c_Sound)->m_new(nullptr)); }
};

TEST_F(GameState, RandCoversItsRangeWithTheTopValueSlightlyRarer) {
    // The top value starts at 3 / 3.99 of the unit interval instead of at 3 / 4.
    rt_random_Seed = seedForDraw(0.75);
    EXPECT_EQ(app->p_Rand(0, 3), 2);
    rt_random_Seed = seedForDraw(0.7525);
    EXPECT_EQ(app->p_Rand(0, 3), 3);
    rt_random_Seed = seedForDraw(0.0);
    EXPECT_EQ(app->p_Rand(0, 3), 0);
    rt_random_Seed = seedForDraw(1.0 - 1.0 / 16777216.0);
    EXPECT_EQ(app->p_Rand(0, 3), 3);
    for (double r : {0.0, 0.5, 1.0 - 1.0 / 16777216.0}) {
        rt_random_Seed = seedForDraw(r);
        EXPECT_EQ(app->p_Rand(1, 1), 1);
    }
    int seen[4] = {};
    for (int i = 0; i < 4000; ++i) {
        int v = app->p_Rand(0, 3);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 3);
        ++seen[v];
    }
    for (int n : seen)
        EXPECT_GT(n, 800);
}

TEST_F(GameState, SeedingFromAFixedClockIsReproducible) {
    host.clock = 123456;
    app->p_SeedRnd(-37171650);
    int first = rt_random_Seed;
    rt_random_Seed = 99;
    app->p_SeedRnd(-37171650);
    EXPECT_EQ(rt_random_Seed, first);
    app->p_SeedRnd(123456);
    EXPECT_EQ(rt_random_Seed, first);
    app->p_SeedRnd(123457);
    EXPECT_NE(rt_random_Seed, first);
}

TEST_F(GameState, SoundModesGateEffectsAndTunes) {
    fakeSound(5);
    struct Case {
        int mode;
        bool effects, music;
    } cases[] = {{0, false, false}, {1, true, true}, {2, true, false}, {3, false, true}};
    for (const Case &c : cases) {
        app->opt[5] = c.mode;
        int before = app->sfxChannel;
        app->p_PlaySFX(5, 1, 1, 0);
        EXPECT_EQ(app->sfxChannel != before, c.effects) << "mode " << c.mode;
        app->p_StopTune();
        app->p_PlayTune(String("theme"), 1);
        EXPECT_EQ(app->tunePlaying == 1, c.music) << "mode " << c.mode;
        EXPECT_EQ(app->lastTune.ToUtf8(), "theme");
    }
    // An empty slot is skipped without using a channel.
    app->opt[5] = 1;
    int before = app->sfxChannel;
    app->p_PlaySFX(6, 1, 1, 0);
    app->p_PlaySFX(-1, 1, 1, 0);
    app->p_PlaySFX(100, 1, 1, 0);
    EXPECT_EQ(app->sfxChannel, before);
}

TEST_F(GameState, ReplayingTheLastTune) {
    app->opt[5] = 1;
    host.loaded.clear();
    // Before any tune "-1" is taken as a name of its own.
    app->p_PlayTune(String("-1"), 1);
    EXPECT_EQ(app->lastTune.ToUtf8(), "-1");
    ASSERT_FALSE(host.loaded.empty());
    EXPECT_EQ(host.loaded.back(), "sfx/-1.ogg");

    app->p_PlayTune(String("reborn"), 0);
    app->p_PlayTune(String("-1"), 1);
    EXPECT_EQ(app->lastTune.ToUtf8(), "reborn");
    EXPECT_EQ(host.loaded.back(), "sfx/reborn.ogg");

    // An empty name changes nothing.
    app->p_PlayTune(String(""), 1);
    EXPECT_EQ(app->lastTune.ToUtf8(), "reborn");
}

TEST_F(GameState, TwentyFourEffectChannelsInRotation) {
    fakeSound(3);
    app->opt[5] = 2;
    std::vector<int> used;
    for (int i = 0; i < 25; ++i) {
        app->p_PlaySFXVol(3, 0.5f);
        used.push_back(app->channelIds[app->sfxChannel]);
    }
    EXPECT_EQ(used[24], used[0]);
    for (int i = 1; i < 24; ++i)
        EXPECT_NE(used[i], used[0]);
    for (int ch : used)
        EXPECT_LT(ch, 24);
}

TEST_F(GameState, SuspendingAGameBringsItBackPaused) {
    ASSERT_TRUE(host.FinishLoading());
    app->gameMode = 10;
    host.Suspend();
    EXPECT_EQ(host.UpdateRate(), 5);
    EXPECT_EQ(app->paused, 1);
    host.Resume();
    EXPECT_EQ(host.UpdateRate(), 60);
    EXPECT_EQ(app->paused, 1);
    EXPECT_EQ(app->pauseMenuOn, 1);
    EXPECT_EQ(app->pauseMenuY, 240);

    app->gameMode = 1;
    app->paused = 1;
    host.Suspend();
    host.Resume();
    EXPECT_EQ(app->paused, 0);
    EXPECT_EQ(app->pauseMenuOn, 0);
    EXPECT_EQ(rt_Brinefall_iCadeControls, 0);
}

TEST_F(GameState, StartUpValuesAndLoaderThenMenu) {
    EXPECT_EQ(app->gameMode, 1);
    EXPECT_EQ(app->loading, 1);
    EXPECT_EQ(app->opt[5], 1);
    EXPECT_EQ(app->pauseMenuOn, -1);
    EXPECT_EQ(app->pauseMenuY, -64);
    EXPECT_EQ(app->channelIds[32], 32);
    EXPECT_EQ(host.UpdateRate(), 60);
    EXPECT_EQ(rt_Brinefall_MenuSet.Length(), 6);
    EXPECT_EQ(rt_Brinefall_MenuSet[1].ToUtf8(), "Fight the Final\\nTidecrawler.");
    ASSERT_EQ(rt_Brinefall_CreditText.Length(), 57);
    EXPECT_EQ(rt_Brinefall_CreditText[56].ToUtf8(), "End");
    ASSERT_TRUE(host.FinishLoading());
    EXPECT_EQ(app->gameMode, 1);
}

TEST_F(GameState, FlushGameClearsTheFight) {
    app->obj[7] = 1;
    app->marquee[4999999] = 1;
    app->players[499] = 3;
    app->players[500] = 3; // beyond the cleared part
    app->part[2500] = 4;   // particle record 250
    app->score = 10;
    app->camTargetX = 5;
    app->paused = 1;
    app->p_FlushGame();
    EXPECT_EQ(app->obj[7], 0);
    EXPECT_EQ(app->marquee[4999999], 0);
    EXPECT_EQ(app->players[499], 0);
    EXPECT_EQ(app->players[500], 3);
    EXPECT_EQ(app->part[2500], 0);
    EXPECT_EQ(app->maxParticles, 250);
    EXPECT_EQ(app->score, 0);
    EXPECT_EQ(app->camTargetX, 0);
    EXPECT_EQ(app->paused, 0);

    app->part[4990] = 1; // record 499
    app->p_ResetParticles(600);
    EXPECT_EQ(app->maxParticles, 250);
    app->p_ResetParticles(499);
    EXPECT_EQ(app->part[4990], 0);
}

TEST_F(GameState, PauseKeyAndPauseIconInAGame) {
    ASSERT_TRUE(host.FinishLoading());
    app->gameMode = 10;
    host.KeyDown(27);
    host.Update();
    EXPECT_EQ(app->paused, 1);
    EXPECT_EQ(app->pauseMenuOn, 1);
    host.KeyUp(27);

    // The pause icon in the corner answers a press.
    app->paused = 0;
    app->keyLatch = 0;
    app->imgInfo[97 * 3] = app->imgInfo[97 * 3 + 1] = 32;
    app->imgScale = 1;
    host.MouseDown(20, 12);
    host.Update();
    EXPECT_EQ(app->paused, 1);
    EXPECT_EQ(app->pointerLatch, 1);
}

TEST_F(GameState, QuitKeysEndTheProgramBeforeAnyModeWork) {
    ASSERT_TRUE(host.FinishLoading());
    for (int key : {115, 432}) {
        std::string out;
        int status = RunInChild(
            [&] {
                // Mode 5 would switch to the menu and start a load if it got to run.
                app->gameMode = 5;
                static c_MyApp *watched;
                watched = app;
                std::atexit([] { std::printf("mode %d loading %d\n", watched->gameMode, watched->loading); });
                rt_input_device->p_KeyEvent(rt_input_EventKeyDown, key);
                host.Update();
            },
            &out);
        EXPECT_EQ(status, 0) << key;
        EXPECT_NE(out.find("mode 5 loading 0"), std::string::npos) << out;
    }
}

} // namespace
