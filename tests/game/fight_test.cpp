// The fight, driven update by update through the test host with a fixed clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "runtime/mathrand.h"
#include "tests/support/held_file.h"
#include "tests/support/testhost.h"

namespace {

using App = c_MyApp;

class Fight : public ::testing::Test {
  protected:
    TestHost host;
    c_MyApp *app = nullptr;
    float sw = 0, sh = 0;

    void SetUp() override {
        host.Boot();
        app = host.App();
        ASSERT_TRUE(host.FinishLoading());
        app->gameMode = 11; // what the menu does to start a fight
        host.Update();
        ASSERT_EQ(app->gameMode, 10);
        sw = rt_Brinefall_jscrw;
        sh = rt_Brinefall_jscrh;
    }

    float &P(int i) { return app->players[i]; }
    float &O(int record, int field) { return app->obj[record * 10 + field]; }

    // Armoured phase with the camera at rest and the Tidecrawler parked far to the right.
    void armoured() {
        P(App::kPhase) = 1;
        app->camTargetX = app->camX;
        P(App::kCrawlerX) = app->camX + 560;
        P(App::kCrawlerY) = 80;
        P(App::kPlayerX) = app->camX + 100;
        P(App::kPlayerY) = app->camY + 240;
    }
    void clearFish() {
        for (int i = 0; i <= 100; ++i)
            if (O(i, 0) > 20 && O(i, 0) < 30) O(i, 0) = 0;
    }
    int count(int kind) {
        int n = 0;
        for (int i = 0; i <= 100; ++i)
            n += O(i, 0) == kind;
        return n;
    }
    int put(int kind, float x, float y, float vx = 0, float vy = 0) {
        int o = app->p_FreeObj(100);
        EXPECT_GE(o, 0);
        for (int f = 0; f < 10; ++f)
            app->obj[o + f] = 0;
        app->obj[o] = static_cast<float>(kind);
        app->obj[o + 1] = x;
        app->obj[o + 2] = y;
        app->obj[o + 3] = vx;
        app->obj[o + 4] = vy;
        return o / 10;
    }
    // Sound slots emptied except fakes at the given slots: each play then takes one channel turn.
    void onlySounds(std::initializer_list<int> slots) {
        for (int i = 0; i < 100; ++i)
            gc_assign(app->sfx[i], static_cast<c_Sound *>(nullptr));
        for (int s : slots)
            gc_assign(app->sfx[s], (new c_Sound)->m_new(nullptr));
        app->opt[5] = 2;
    }
    // Frames of the image records of one slot drawn around a screen height.
    std::vector<int> framesAt(int slot, float y, float within) {
        std::vector<int> frames;
        for (int r : host.Records(static_cast<float>(slot))) {
            const float *rec = host.Record(r);
            if (std::fabs(rec[2] - y) < within) frames.push_back(static_cast<int>(rec[6]));
        }
        return frames;
    }
    const float *crawlerRecord() {
        for (int r : host.Records(1)) {
            const float *rec = host.Record(r);
            if (rec[6] >= 7 && rec[6] <= 16) return rec;
        }
        return nullptr;
    }
};

TEST_F(Fight, HeldFireShootsWithGrowingGapsButNotWhileTheVictoryTextShows) {
    host.KeyDown(32);
    std::vector<int> shots;
    for (int u = 0; u < 21; ++u) {
        int before = count(App::kObjShot);
        host.Update();
        if (count(App::kObjShot) > before) shots.push_back(u);
    }
    EXPECT_EQ(shots, (std::vector<int>{0, 2, 6, 12, 20}));
    EXPECT_EQ(app->firing, 1);

    // Releasing resets the rhythm.
    host.KeyUp(32);
    host.Update();
    EXPECT_EQ(app->firing, 0);
    host.KeyDown(32);
    shots.clear();
    for (int u = 0; u < 7; ++u) {
        int before = count(App::kObjShot);
        host.Update();
        if (count(App::kObjShot) > before) shots.push_back(u);
    }
    EXPECT_EQ(shots, (std::vector<int>{0, 2, 6}));

    // The sinking fish rests at the bottom; "CONGRATULATIONS!" shows until its timer reaches 189.
    app->p_ResetObj();
    P(App::kPhase) = 2;
    P(App::kCrawlerX) = app->camX + 600;
    P(App::kCrawlerY) = sh - 33;
    P(App::kEndTimer) = 180;
    for (int u = 0; u < 12; ++u) {
        const float timer = P(App::kEndTimer);
        int before = count(App::kObjShot);
        host.Update();
        const bool shot = count(App::kObjShot) > before;
        EXPECT_EQ(app->won, timer < 189 ? 1 : 0) << timer;
        if (timer < 189) {
            EXPECT_FALSE(shot) << timer;
        } else if (timer == 189) {
            EXPECT_TRUE(shot);
        }
    }
}

TEST_F(Fight, FishHurtWithinTheirRadiusOnceASecondAndEightHitsEndTheGame) {
    armoured();
    const float px = P(App::kPlayerX), py = P(App::kPlayerY);
    auto hitBy = [&](int kind, float distance) {
        clearFish();
        P(App::kHurtTimer) = 0;
        const float lives = P(App::kLives);
        put(kind, px + distance, py);
        host.Update();
        return P(App::kLives) < lives;
    };
    EXPECT_FALSE(hitBy(App::kObjFish, 16));
    EXPECT_TRUE(hitBy(App::kObjFish, 15));
    EXPECT_EQ(P(App::kHurtTimer), 60);
    EXPECT_FALSE(hitBy(App::kObjSwellFish, 10));
    EXPECT_TRUE(hitBy(App::kObjSwellFish, 9.5f));
    EXPECT_EQ(P(App::kLives), 5);

    // A fish resting on the ship: protected for 60 updates, then hit again.
    clearFish();
    P(App::kHurtTimer) = 0;
    put(App::kObjFish, px, py);
    host.Update();
    EXPECT_EQ(P(App::kLives), 4);
    host.Update(59);
    EXPECT_EQ(P(App::kLives), 4);
    host.Update();
    EXPECT_EQ(P(App::kLives), 3);

    // Lives 7 to -1: the eighth hit ends the game, stops the music and hides the ship.
    app->opt[5] = 3;
    app->p_PlayTune(String("fish"), 1);
    ASSERT_EQ(app->tunePlaying, 1);
    P(App::kLives) = 7;
    for (int h = 1; h <= 8; ++h) {
        EXPECT_TRUE(hitBy(App::kObjFish, 0));
        EXPECT_EQ(app->gameOver, h == 8 ? 1 : 0) << h;
        EXPECT_EQ(app->tunePlaying, h == 8 ? 0 : 1) << h;
    }
    EXPECT_EQ(P(App::kLives), -1);
    EXPECT_EQ(P(App::kHurtTimer), 0);
    EXPECT_FALSE(framesAt(1, py - app->camY, 1).empty()); // drawn in the update it died
    host.Update();
    for (int f : framesAt(1, py - app->camY, 1))
        EXPECT_NE(f, 0);
    EXPECT_FALSE(hitBy(App::kObjFish, 0)); // nothing hurts a wreck
}

TEST_F(Fight, HitsOnTheTidecrawlerKnockOffPlatesAndScore) {
    armoured();
    auto hit = [&]() {
        put(App::kObjShot, P(App::kCrawlerX), P(App::kCrawlerY));
        host.Update();
    };
    for (int h = 1; h <= 5; ++h) {
        hit();
        EXPECT_EQ(app->score, 0) << h;
        EXPECT_EQ(P(App::kHitsToPlate), 5 - h);
    }
    EXPECT_EQ(count(App::kObjShot), 0);
    hit();
    EXPECT_EQ(app->score, 5);
    EXPECT_EQ(count(App::kObjPlate), 15);
    EXPECT_EQ(P(App::kHitsToPlate), 3);
    // The loose plate starts from where it was drawn.
    for (int i = 0; i < 16; ++i) {
        if (O(i, 0) != App::kObjLoosePlate) continue;
        const float drawnX = O(i, 1) - O(i, 3) - app->camX, drawnY = O(i, 2) - O(i, 4) - app->camY;
        bool found = false;
        for (int r : host.Records(2)) {
            const float *rec = host.Record(r);
            found |= rec[6] == i && std::fabs(rec[1] - drawnX) < 0.01f && std::fabs(rec[2] - drawnY) < 0.01f;
        }
        EXPECT_TRUE(found);
    }
    for (int h = 7; h <= 10; ++h)
        hit();
    EXPECT_EQ(app->score, 10);
    EXPECT_EQ(count(App::kObjPlate), 14);

    // Two plates left and the counter run down: every hit scores and picks again until one falls.
    app->p_ResetObj();
    for (int i : {0, 15}) {
        O(i, 0) = App::kObjPlate;
        O(i, 8) = static_cast<float>(i);
    }
    P(App::kHitsToPlate) = 0;
    int misses = 0;
    while (count(App::kObjPlate) == 2 && misses < 200) {
        const int score = app->score;
        hit();
        EXPECT_EQ(app->score, score + 5);
        if (count(App::kObjPlate) == 2) {
            ++misses;
            EXPECT_EQ(P(App::kHitsToPlate), -misses);
        }
    }
    EXPECT_GT(misses, 0);
    EXPECT_EQ(count(App::kObjPlate), 1);
    EXPECT_EQ(P(App::kHitsToPlate), 3);
    host.Update();
    EXPECT_EQ(P(App::kPhase), 2); // one plate left: the armour is gone
}

TEST_F(Fight, PhasesFollowTheCameraThePlatesAndTheEndTimer) {
    // Approach: the warning by the camera's position.
    auto centreText = [&]() {
        std::string s;
        for (int f : framesAt(app->font, sh / 2, 30))
            s += static_cast<char>(f + 32);
        return s;
    };
    app->camX = app->camTargetX = 330;
    host.Update();
    EXPECT_EQ(centreText(), "");
    app->camX = app->camTargetX = 400;
    host.Update();
    EXPECT_EQ(centreText(), "Onlyonefishylefttodefeat.");
    EXPECT_EQ(app->camTargetX, 401);
    EXPECT_EQ(P(App::kPhase), 0);
    app->camX = app->camTargetX = P(App::kCrawlerX) - (sw - 128) + 8;
    host.Update();
    EXPECT_EQ(P(App::kPhase), 1);

    // Armoured with one plate left: phase 2 at the end of this update, the plate falls in the next.
    for (int i = 0; i < 16; ++i)
        if (i != 5) O(i, 0) = 0;
    host.Update();
    EXPECT_EQ(P(App::kPhase), 2);
    EXPECT_EQ(O(5, 0), App::kObjPlate);
    host.Update();
    EXPECT_EQ(O(5, 0), App::kObjLoosePlate);
    EXPECT_EQ(P(App::kThrowTimer), -80);

    // Sinking: the fish settles, the timer runs, and past 260 it is reborn with sound 17.
    onlySounds({17});
    P(App::kCrawlerY) = sh - 33;
    P(App::kEndTimer) = 259;
    int channel = app->sfxChannel;
    host.Update();
    EXPECT_EQ(P(App::kPhase), 2);
    EXPECT_EQ(app->sfxChannel, channel);
    host.Update();
    EXPECT_EQ(P(App::kPhase), 3);
    EXPECT_EQ(app->sfxChannel, channel + 1);
}

TEST(WhichWayDoIGo, TurnsTheShortWayOnTheCircle) {
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(10, 0, 0, 359), -9);
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(350, 0, 0, 359), 10);
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(1, 0, 0, 359), 0);
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(-1, 0, 0, 359), 1);
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(0.5f, 0, 0, 359), 0);
    EXPECT_EQ(c_MyApp::m_WhichWayDoIGo(720 + 90, 0, 0, 359), -89);
}

TEST_F(Fight, RebornTheFirstThrowIsOneFishWithTheMouthOpen) {
    armoured();
    P(App::kPhase) = 3;
    P(App::kThrowTimer) = 80;
    host.Update();
    EXPECT_EQ(app->chuckKind, 1);
    ASSERT_EQ(count(App::kObjFish), 1);
    for (int i = 0; i <= 100; ++i) {
        if (O(i, 0) != App::kObjFish) continue;
        EXPECT_NEAR(O(i, 3), -8, 1e-4);
        EXPECT_NEAR(O(i, 4), 0, 1e-4);
    }
    EXPECT_EQ(P(App::kMouthOffset), 1);
    EXPECT_FLOAT_EQ(P(App::kThrowLevel), 0.25f);
    ASSERT_NE(crawlerRecord(), nullptr);
    EXPECT_EQ(crawlerRecord()[6], 15);
    host.Update(28);
    EXPECT_EQ(crawlerRecord()[6], 15);
    host.Update(2);
    EXPECT_EQ(crawlerRecord()[6], 14);
    EXPECT_EQ(P(App::kMouthOffset), 0);
}

TEST_F(Fight, SwellingFishComeInStaggeredGroups) {
    bool sawFiveSpacedByThree = false;
    for (int seed = 0; seed < 300; ++seed) {
        app->p_ResetObj();
        rt_random_Seed = seed;
        app->p_Chuck(5);
        std::vector<float> timers;
        for (int i = 0; i <= 100; ++i) {
            if (O(i, 0) == 0) continue;
            ASSERT_EQ(O(i, 0), App::kObjSwellFish);
            EXPECT_GE(O(i, 1) - P(App::kCrawlerX), 16);
            EXPECT_LT(O(i, 1) - P(App::kCrawlerX), 41);
            EXPECT_LT(std::fabs(O(i, 2) - P(App::kCrawlerY)), 49);
            EXPECT_EQ(O(i, 3), 0);
            timers.push_back(O(i, 7));
        }
        const int spacing = app->chuckKind;
        ASSERT_GE(spacing, 1);
        ASSERT_LE(spacing, 3);
        ASSERT_GE(timers.size(), 2u);
        ASSERT_LE(timers.size(), 5u);
        for (size_t j = 0; j < timers.size(); ++j)
            EXPECT_EQ(timers[j], -spacing * static_cast<float>(j));
        sawFiveSpacedByThree |= timers.size() == 5 && spacing == 3;
        EXPECT_EQ(P(App::kMouthOffset), 2);
    }
    EXPECT_TRUE(sawFiveSpacedByThree);
}

TEST_F(Fight, ASwellingFishWaitsThenDartsAcrossTheShipsHeightAndKeepsItsCourse) {
    const int r = put(App::kObjSwellFish, 300, P(App::kPlayerY) + 80);
    O(r, 7) = 23.75f; // even the largest step leaves it at 24, not past
    app->p_DoFish(r * 10, 0, 0);
    EXPECT_EQ(O(r, 3), 0);
    EXPECT_EQ(O(r, 8), 24);
    O(r, 7) = 24;
    app->p_DoFish(r * 10, 0, 0);
    EXPECT_EQ(O(r, 3), -7);
    EXPECT_FLOAT_EQ(O(r, 4), -2);
    P(App::kPlayerY) -= 100;
    app->p_DoFish(r * 10, 0, 0);
    EXPECT_EQ(O(r, 3), -7);
    EXPECT_FLOAT_EQ(O(r, 4), -2);
    // A fish still waiting its turn stays small.
    O(r, 7) = -12;
    app->p_DoFish(r * 10, 0, 0);
    EXPECT_EQ(O(r, 8), 21);
}

TEST_F(Fight, ABurstWithAFullTableStillTakesSixteenUpdatesAndFourLevels) {
    armoured();
    P(App::kPhase) = 3;
    P(App::kThrowTimer) = -1000;
    app->p_ResetObj();
    for (int i = 0; i <= 100; ++i)
        put(App::kObjFish, app->camX + 400 + i, 40);
    P(App::kBurstLeft) = 16;
    P(App::kThrowLevel) = 1;
    for (int u = 1; u <= 16; ++u) {
        host.Update();
        EXPECT_EQ(P(App::kBurstLeft), 16 - u);
        EXPECT_EQ(P(App::kMouthOffset), 1);
    }
    EXPECT_FLOAT_EQ(P(App::kThrowLevel), 5);
    EXPECT_EQ(count(App::kObjFish), 101);
    EXPECT_EQ(app->freeSlot, -1);
    host.Update();
    EXPECT_FLOAT_EQ(P(App::kThrowLevel), 5);

    // With room, the same burst throws one fish per update.
    app->p_ResetObj();
    P(App::kBurstLeft) = 16;
    host.Update(16);
    EXPECT_EQ(count(App::kObjFish), 16);
}

TEST_F(Fight, ParticlePoolTakesTheHighestFreeRecordAndDropsWhenFull) {
    app->p_ResetParticles(250);
    app->p_ThrowParticle(10, 20, 1, 5, 90, 2);
    app->p_ThrowParticle(10, 20, 2, 6, -3717, -3717);
    EXPECT_EQ(app->part[2500], 1);
    EXPECT_EQ(app->part[2490], 2);
    EXPECT_NEAR(app->part[2503], 2, 1e-5); // 90 degrees: to the right
    EXPECT_NEAR(app->part[2504], 0, 1e-5);
    const float speed = std::hypot(app->part[2493], app->part[2494]);
    EXPECT_GE(speed, 3);
    EXPECT_LE(speed, 8);
    EXPECT_EQ(app->p_FreeParticle(), 2480);

    for (int p = 0; p <= 250; ++p)
        app->part[p * 10] = 4;
    std::vector<float> before(app->part.Data(), app->part.Data() + 5100);
    const int seed = rt_random_Seed;
    app->p_ThrowParticle(1, 2, 1, 9, 0, 1);
    EXPECT_EQ(std::vector<float>(app->part.Data(), app->part.Data() + 5100), before);
    EXPECT_EQ(app->p_FreeParticle(), -1);
    EXPECT_EQ(rt_random_Seed, seed);
}

TEST_F(Fight, AnOverbrightParticleStaysOpaqueThenFades) {
    app->p_ResetParticles(250);
    app->p_ThrowParticle(100, 100, 1, 9, 0, 0);
    app->part[2507] = 1.3f;
    int freedAt = 0;
    for (int u = 1; u <= 140 && !freedAt; ++u) {
        app->drawListLen = 0;
        app->p_DoParticles(1);
        if (u <= 30) {
            ASSERT_EQ(host.Records(96).size(), 1u);
            EXPECT_EQ(host.Record(host.Records(96)[0])[7], 1) << u;
        }
        if (app->part[2500] == 0) freedAt = u;
    }
    EXPECT_GE(freedAt, 130);
    EXPECT_LE(freedAt, 131);
}

TEST_F(Fight, StarsWrapRoundWithANewLook) {
    host.msPerUpdate = 0;
    app->p_ResetStars(50);
    float *s = &app->stars[0];
    s[1] = -16 - 20; // 20 pixels past the left margin
    s[2] = 100;
    s[3] = 0.1f; // outside the depth range, so a new draw shows
    s[0] = 0.5f;
    app->p_DoStars(0, 0);
    EXPECT_NEAR(s[1], sw + 16 - 20, 0.13);
    EXPECT_NE(s[2], 100);
    EXPECT_GE(s[2], -8);
    EXPECT_LE(s[2], sh + 8);
    EXPECT_GE(s[3], 0.2f);
    EXPECT_LE(s[3], 0.8f);
    EXPECT_EQ(s[0], std::floor(s[0]));

    // Past the bottom: back at the top at a new place across.
    s[1] = 200;
    s[2] = sh + 16 + 5;
    app->p_DoStars(0, 0);
    EXPECT_NEAR(s[2], -16 + 5, 1e-3);
    EXPECT_NE(s[1], 200);

    // Drift with the camera by depth; the stars sway on their own but are drawn by the star count.
    s[1] = 300;
    s[2] = 200;
    s[3] = 0.5f;
    app->drawListLen = 0;
    app->p_DoStars(-10, -4);
    EXPECT_NEAR(s[1], 295, 0.13);
    EXPECT_NEAR(s[2], 198, 1e-4);
    EXPECT_EQ(host.Records(96).size(), 51u);
}

TEST_F(Fight, BackgroundEasesToItsTargetAndStartsTheFrame) {
    app->bgR = app->bgG = app->bgB = 0;
    for (int k = 1; k <= 10; ++k) {
        app->p_DoBG(0, 0, 80, -123);
        EXPECT_NEAR(app->bgB, 80 * (1 - std::pow(0.875, k)), 1e-3);
    }
    EXPECT_EQ(app->clsAlpha, 1);
    EXPECT_FLOAT_EQ(app->clsB, app->bgB);
    app->p_DrawImg(1, 0, 0, 0);
    app->drawScaleX = 3;
    app->p_DoBG(-123, -123, -123, -123);
    EXPECT_EQ(app->bgTargetB, 80);
    EXPECT_EQ(app->clsAlpha, 1);
    EXPECT_EQ(app->drawListLen, 0);
    EXPECT_EQ(app->drawScaleX, 1);
    app->p_DoBG(0, 0, 80, 2);
    EXPECT_EQ(app->clsAlpha, 1);
    app->p_DoBG(10, -122, 30, -0.5f);
    EXPECT_EQ(app->clsAlpha, 0);
    EXPECT_EQ(app->bgTargetG, -122);
}

TEST_F(Fight, MarqueeLetterAdvancesFollowTheSpacingTable) {
    app->imgInfo[app->font * 3] = 7;
    app->drawScaleX = 4;
    P(App::kMarqueeLength) = 0;
    P(App::kMarqueeCount) = 0;
    app->p_AddTxt(String("Wi"));
    EXPECT_EQ(P(App::kMarqueeCount), 4);
    EXPECT_EQ(P(App::kMarqueeLength), 48 + 56);
    EXPECT_EQ(app->marquee[0], 'W' - 32);
    EXPECT_EQ(app->marquee[1], 'i' - 32);
    EXPECT_EQ(app->marquee[2], 0);
    EXPECT_EQ(app->marquee[App::kMarqueePlane + 1], sw + 128 + 32);
    EXPECT_EQ(app->marquee[App::kMarqueePlane + 3], sw + 128 + 76);
    app->p_AddTxt(String(""));
    EXPECT_EQ(P(App::kMarqueeCount), 6);
    EXPECT_EQ(P(App::kMarqueeLength), 104 + 56);
}

TEST_F(Fight, MarqueeScrollsOnlyWhenRebornAndShotLettersSinkAndComeBack) {
    armoured();
    const int count = static_cast<int>(P(App::kMarqueeCount));
    float *glyph = &app->marquee[0];
    float *x = &app->marquee[App::kMarqueePlane];
    float *sink = &app->marquee[2 * App::kMarqueePlane];
    std::vector<float> start(x, x + count);
    host.Update(5);
    EXPECT_EQ(std::vector<float>(x, x + count), start);
    for (int r : host.Records(89))
        EXPECT_GE(host.Record(r)[1], sw + 128); // beyond the right edge

    P(App::kPhase) = 3;
    P(App::kThrowTimer) = -1000;
    host.Update();
    EXPECT_FLOAT_EQ(x[0], start[0] - 3.5f);

    // One letter on screen, everything else far off; a shot through it scores once and sinks it.
    int n = 0;
    while (glyph[n] == 0)
        ++n;
    int space = n;
    while (glyph[space] != 0)
        ++space;
    for (int i = 0; i < count; ++i)
        x[i] = 5000;
    x[n] = 203.5f;
    x[space] = 403.5f;
    const int score = app->score;
    put(App::kObjShot, app->camX + 200, app->camY + sh - 64);
    const int spaceShot = put(App::kObjShot, app->camX + 400, app->camY + sh - 64);
    host.Update();
    EXPECT_EQ(app->score, score + 1);
    EXPECT_EQ(sink[n], 4);
    EXPECT_EQ(sink[space], 0);
    EXPECT_EQ(O(spaceShot, 0), App::kObjShot);
    ASSERT_EQ(host.Records(89).size(), 1u);
    EXPECT_EQ(host.Record(host.Records(89)[0])[6], glyph[n]);
    host.Update();
    EXPECT_EQ(sink[n], 8);
    host.Update();
    EXPECT_EQ(sink[n], 12);
    // Sunk letters cannot be hit again.
    put(App::kObjShot, app->camX + x[n] - 3.5f, app->camY + sh - 64 + sink[n] + 4);
    host.Update();
    EXPECT_EQ(app->score, score + 1);

    // Off the left edge it goes to the end of the line, whole again.
    x[n] = -254;
    host.Update();
    EXPECT_EQ(sink[n], 0);
    EXPECT_FLOAT_EQ(x[n], P(App::kMarqueeLength) + sw + 256 - 257.5f);
}

} // namespace

namespace {

// Bytes held by every live OpenAL buffer; the implementation numbers its buffers from 1 upwards.
long liveBufferBytes() {
    long bytes = 0;
    for (ALuint name = 1; name < 8192; ++name) {
        if (!alIsBuffer(name)) continue;
        ALint size = 0;
        alGetBufferi(name, AL_SIZE, &size);
        bytes += size;
    }
    return bytes;
}

// Updates until the tune last started has been decoded and taken up by the device.
void waitForTune(TestHost &host) {
    for (int i = 0; i < 2000 && rt_audio_device->MusicDecoding(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        host.Update();
    }
    ASSERT_FALSE(rt_audio_device->MusicDecoding());
}

TEST(FightMusic, DecodedTunesDoNotPileUpAcrossFights) {
    TestHost host;
    host.Boot();
    c_MyApp *app = host.App();
    ASSERT_TRUE(host.FinishLoading());
    app->opt[5] = 1;
    // Plenty of garbage first, as a reload of every picture and sound leaves: the collector destroys the
    // dead only as fast as the game allocates, so dropped tunes queue up behind all of it.
    for (int i = 0; i < 4000; ++i)
        Array<float> scrap(1024);
    host.Update(2);
    long afterFourth = 0;
    for (int round = 1; round <= 12; ++round) {
        app->gameMode = 11; // each fight start asks for two tunes in a row
        host.Update(20);
        waitForTune(host);
        ASSERT_EQ(app->tunePlaying, 1);
        app->p_StopTune();
        app->gameMode = 1;
        host.Update(20);
        if (round == 4) afterFourth = liveBufferBytes();
    }
    // The fight tune alone is several megabytes; eight more rounds may not keep any of them.
    EXPECT_LT(liveBufferBytes() - afterFourth, 4L << 20);
}

// The fight's first updates come while its tune is still being decoded, and the tune then plays.
TEST(FightMusic, AFightDoesNotWaitForItsTune) {
    struct Host : TestHost {
        FILE *OpenAudioFile(String path) override {
            FILE *fp = TestHost::OpenAudioFile(path);
            if (!fp) return nullptr;
            std::fclose(fp);
            return HeldFiles::Shared().Open(PathToFilePath(path).ToUtf8());
        }
    } host;
    host.Boot();
    c_MyApp *app = host.App();
    ASSERT_TRUE(host.FinishLoading());
    app->opt[5] = 1;
    HeldFiles::Shared().Hold();
    app->gameMode = 11;
    host.Update(30);
    EXPECT_EQ(app->gameMode, 10);
    EXPECT_EQ(app->tunePlaying, 1);
    EXPECT_EQ(rt_audio_MusicState(), 1);
    EXPECT_TRUE(rt_audio_device->MusicDecoding());
    EXPECT_EQ(host.loaded.back(), "sfx/fishb.ogg");

    HeldFiles::Shared().Release();
    waitForTune(host);
    const gxtkChannel &music = rt_audio_device->channels[gxtkAudio::MusicChannel];
    ALint state = 0, size = 0;
    alGetSourcei(music.source, AL_SOURCE_STATE, &state);
    alGetBufferi(music.sample->buffer, AL_SIZE, &size);
    EXPECT_EQ(state, AL_PLAYING);
    EXPECT_GT(size, 1 << 20);
}

// A simple pilot: it follows the Tidecrawler's height and taps fire, one press every other update.
class Pilot {
  public:
    explicit Pilot(TestHost &host) : host_(host), app_(host.App()) {}

    // Taps fire on the menu until a fight runs.
    void StartFight() {
        for (int i = 0; i < 60 && app_->gameMode != 10; ++i) {
            host_.KeyDown(32);
            host_.Update();
            host_.KeyUp(32);
            host_.Update();
        }
    }
    // One update of flying.
    void Step() {
        const float dy = app_->players[c_MyApp::kCrawlerY] - app_->players[c_MyApp::kPlayerY];
        const int want = dy < -6 ? 1 : (dy > 6 ? 2 : 0);
        if (want != held_) {
            if (held_) host_.KeyUp(held_ == 1 ? 38 : 40);
            if (want) host_.KeyDown(want == 1 ? 38 : 40);
            held_ = want;
        }
        if (steps_++ % 2 == 0)
            host_.KeyDown(32);
        else
            host_.KeyUp(32);
        host_.Update();
    }
    void LetGo() {
        if (held_) host_.KeyUp(held_ == 1 ? 38 : 40);
        held_ = 0;
        host_.KeyUp(32);
    }

  private:
    TestHost &host_;
    c_MyApp *app_;
    int held_ = 0; // 1 up, 2 down
    int steps_ = 0;
};

// A whole fight played by the pilot from the menu's fire press to the game-over overlay and back.
// Checks that the phases only move on and that what only goes one way does.
TEST(WholeFight, FromTheMenuThroughAllFourPhasesToGameOverAndBack) {
    TestHost host;
    host.Boot();
    c_MyApp *app = host.App();
    ASSERT_TRUE(host.FinishLoading());
    Pilot pilot(host);
    pilot.StartFight();
    ASSERT_EQ(app->gameMode, 10);

    using App = c_MyApp;
    float *pl = &app->players[0];
    int phase = 0, score = 0, plates = 16, updates = 0, thrown = 0;
    float lives = 7;
    bool seenPhase[4] = {true, false, false, false};
    for (; updates < 20000 && app->gameOver == 0; ++updates) {
        pilot.Step();

        ASSERT_GE(pl[App::kPhase], phase);
        phase = static_cast<int>(pl[App::kPhase]);
        seenPhase[phase] = true;
        ASSERT_GE(app->score, score);
        score = app->score;
        ASSERT_LE(pl[App::kLives], lives);
        lives = pl[App::kLives];
        int attached = 0, fish = 0;
        for (int i = 0; i <= 100; ++i) {
            attached += app->obj[i * 10] == App::kObjPlate;
            fish += app->obj[i * 10] > 20 && app->obj[i * 10] < 30;
        }
        ASSERT_LE(attached, plates);
        plates = attached;
        if (phase < 3) {
            ASSERT_EQ(fish, 0);
        }
        thrown = std::max(thrown, fish);
        ASSERT_LE(app->drawListLen, 37500);
    }
    EXPECT_TRUE(seenPhase[2] && seenPhase[3]); // a quick pilot strips the armour before phase 1
    EXPECT_EQ(app->gameOver, 1);
    EXPECT_GT(thrown, 0);
    EXPECT_GT(score, 5 * 15);

    // The fight keeps running under the overlay until it hands back to the menu.
    pilot.LetGo();
    for (int i = 0; i < 200 && app->gameMode == 10; ++i)
        host.Update();
    host.Update(5);
    EXPECT_EQ(app->gameMode, 1);

    // And the next fight starts afresh.
    app->gameMode = 11;
    host.Update(2);
    EXPECT_EQ(app->gameMode, 10);
    EXPECT_EQ(app->gameOver, 0);
    EXPECT_EQ(pl[App::kLives], 7);
    EXPECT_EQ(app->score, 0);
}

// What decides the fight after one update, table by table, as fingerprints of the bytes.
struct FightPrint {
    int score;
    uint64_t players, obj, part, stars, marquee;
};

uint64_t fingerprint(const float *v, size_t n) {
    uint64_t h = 1469598103934665603ull;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(v);
    for (size_t i = 0; i < n * sizeof(float); ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    return h;
}

// The pilot's fight in a window of the given size, update by update until the game is over.
std::vector<FightPrint> playAt(int w, int h, float *menuHeight, int *lastPhase) {
    TestHost host;
    host.devW = w;
    host.devH = h;
    host.Boot();
    c_MyApp *app = host.App();
    EXPECT_TRUE(host.FinishLoading());
    host.Update();
    *menuHeight = rt_Brinefall_jscrh;
    Pilot pilot(host);
    pilot.StartFight();
    EXPECT_EQ(app->gameMode, 10);
    std::vector<FightPrint> prints;
    const int letters = static_cast<int>(app->players[c_MyApp::kMarqueeCount]) + 1;
    for (int i = 0; i < 20000 && app->gameOver == 0; ++i) {
        pilot.Step();
        prints.push_back({app->score, fingerprint(&app->players[0], 512), fingerprint(&app->obj[0], 1010),
                          fingerprint(&app->part[0], 5100), fingerprint(&app->stars[0], 5100),
                          fingerprint(&app->marquee[0], letters) ^
                              3 * fingerprint(&app->marquee[c_MyApp::kMarqueePlane], letters) ^
                              5 * fingerprint(&app->marquee[2 * c_MyApp::kMarqueePlane], letters)});
    }
    *lastPhase = static_cast<int>(app->players[c_MyApp::kPhase]);
    return prints;
}

// The display's resolution decides how sharp the fight looks, never how it plays: the same fight in the
// standard window and in one twice as large (finer picture files, the same virtual screen) keeps the same
// score, marquee and tables update by update.
TEST(WholeFight, PlaysTheSameAtEveryDisplaySize) {
    float windowMenuH = 0, largeMenuH = 0;
    int windowPhase = 0, largePhase = 0;
    const std::vector<FightPrint> window = playAt(640, 480, &windowMenuH, &windowPhase);
    const std::vector<FightPrint> large = playAt(1280, 960, &largeMenuH, &largePhase);
    EXPECT_EQ(windowMenuH, 480);
    EXPECT_EQ(largeMenuH, 480);
    EXPECT_EQ(windowPhase, 3); // the marquee came into play
    ASSERT_GT(window.back().score, 5 * 16);

    const size_t n = std::min(window.size(), large.size());
    for (size_t i = 0; i < n; ++i) {
        const FightPrint &a = window[i], &b = large[i];
        ASSERT_EQ(a.score, b.score) << "update " << i;
        ASSERT_EQ(a.marquee, b.marquee) << "update " << i;
        ASSERT_EQ(a.players, b.players) << "update " << i;
        ASSERT_EQ(a.obj, b.obj) << "update " << i;
        ASSERT_EQ(a.part, b.part) << "update " << i;
        ASSERT_EQ(a.stars, b.stars) << "update " << i;
    }
    EXPECT_EQ(window.size(), large.size());
}

} // namespace
