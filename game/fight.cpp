// One fight: the ship against the Tidecrawler. p_LoadGame sets a fight up; p_Game runs one update of it,
// always in the same order, because the order of the random draws and of the drawing is the game.
#include <cmath>

#include "game/myapp.h"

namespace {
constexpr int kGfx = 1;       // ship, shot, Tidecrawler and thrown fish (36 × 36 frames)
constexpr int kPlateImg = 2;  // the sixteen armour plates (8 × 8 frames)
constexpr int kLastObj = 100; // the fight uses object records 0 to 100

// The warnings of the approach, one per 320-pixel stretch of the camera's way.
const char *ApproachText(float camX) {
    if (camX > 30 && camX < 320) return "Your fight is nearly over";
    if (camX > 350 && camX < 640) return "Only one fishy left to defeat.";
    if (camX > 670 && camX < 960) return "Be careful out there.";
    if (camX > 990 && camX < 1280) return "The Final Tidecrawler approaches.";
    return nullptr;
}

float Clamp(float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); }
} // namespace

int c_MyApp::p_LoadGame() {
    gameMode = 10;
    p_PlayTune(String("testmusic"), 1);
    p_FlushGame();
    p_ResetSteering();

    for (int i = 0; i < 16; ++i) {
        obj[i * 10] = kObjPlate;
        obj[i * 10 + 8] = static_cast<float>(i);
    }

    players[kPlayerX] = 64;
    players[kPlayerY] = rt_Brinefall_jscrh / 2;
    // The shot rhythm (gaps 2, 4, 6 ...) starts from a delay of 2, as it does after every release of
    // fire; starting from 0 would give the very first volley two shots on consecutive updates.
    players[kShotDelay] = 2;
    players[kThrowTimer] = -800;
    players[kLives] = 7;
    players[kCrawlerX] = rt_Brinefall_jscrw + 1300;
    players[kCrawlerY] = rt_Brinefall_jscrh / 2;
    players[kHitsToPlate] = 5;
    camTargetX = 64;
    camX = players[kPlayerX];

    p_PlayTune(String("fishb"), 1);

    players[kMarqueeLength] = 0;
    players[kMarqueeCount] = 0;
    p_SetSize(4);
    p_AddMarqueeLines();
    return 0;
}

int c_MyApp::p_FreeObj(int max) {
    if (max > 500) max = 500;
    freeSlot = -1;
    for (int i = 0; i <= max; ++i) {
        if (obj[i * 10] == kObjFree) {
            freeSlot = i * 10;
            break;
        }
    }
    return freeSlot;
}

int c_MyApp::p_Game() {
    // Background, camera (one eighth of the remaining way per update) and the stars drifting with it.
    p_DoBG(0, 0, 80, -123);
    const float dx = (camX - camTargetX) * 0.125f;
    const float dy = (camY - camTargetY) * 0.125f;
    camX -= dx;
    camY -= dy;
    p_DoStars(dx, dy - 0.5f);
    p_AnalogueControl();
    won = 0;

    p_FightTexts();

    p_ResetDraw();
    p_SetSize(4);
    p_DoMarquee();
    p_SetSize(2);

    p_FightPlates();
    p_FightPlayer();
    p_FightCrawler();
    p_FightMouth();
    p_FightFire();
    const int plates = p_FightObjects();

    if (plates < 2 && players[kPhase] < 2) {
        players[kPhase] = 2;
        p_PlayTune(String("fishc"), 1);
    }
    p_DoParticles(1);
    if (players[kLives] < 0) gameOver = 1;
    p_ScoreDisplay();
    return 0;
}

// The warnings of the approach (phase 0) and the victory text of the sinking (phase 2).
int c_MyApp::p_FightTexts() {
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    if (players[kPhase] == 0) {
        camTargetX += 1;
        p_SetSize(2);
        if (const char *text = ApproachText(camX)) p_Text(sw / 2, sh / 2, String(text), 1, 1, 0);
        // Once the Tidecrawler is well on screen the camera target stops moving and the fight is on.
        if (players[kCrawlerX] - camX < sw - 128) players[kPhase] = 1;
    }
    if (players[kPhase] == 2) {
        const float endTimer = players[kEndTimer];
        p_SetCol(255, 255, 255, 1);
        drawBlend = 1;
        p_SetSize(5);
        if (endTimer > 100) p_Alpha(m_Rnd(0.3f, 0.7f));
        if (endTimer > 150) p_Alpha(m_Rnd(0, 0.5f));
        if (endTimer < 189) {
            p_Text(sw / 2, sh / 2, String("CONGRATULATIONS!"), 1, 1, 0);
            won = 1;
        }
        const float whole = std::floor(endTimer);
        if (whole == 100) p_PlaySFXVol(16, 1);
        if (whole == 140) p_StopTune();
    }
    return 0;
}

// Attached plates ride on the Tidecrawler, each already carrying the velocity it will fall with.
int c_MyApp::p_FightPlates() {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            const int o = (c + 4 * r) * 10;
            if (obj[o] != kObjPlate) continue;
            obj[o + 1] = players[kCrawlerX] + 16 * c;
            obj[o + 2] = players[kCrawlerY] + 16 * r;
            obj[o + 3] = m_Rnd(-1, 1);
            obj[o + 5] = 0;
            obj[o + 4] = m_Rnd(0.2f, 1.0f);
            obj[o + 6] = m_Rnd(-3, 3);
        }
    }
    return 0;
}

// Steering with inertia, the ship kept in the left half of the view, and the hurt shield.
int c_MyApp::p_FightPlayer() {
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    float vx = players[kPlayerVX] * 0.9f + joyX * 1.5f;
    float vy = players[kPlayerVY] * 0.9f + joyY * 1.5f;
    if (std::fabs(vx) < 0.15f) vx = 0;
    if (std::fabs(vy) < 0.15f) vy = 0;
    vx = Clamp(vx, -3, 3);
    vy = Clamp(vy, -3, 3);
    players[kPlayerVX] = vx;
    players[kPlayerVY] = vy;
    if (gameOver == 0) {
        players[kPlayerX] += vx;
        players[kPlayerY] += vy;
    }
    players[kPlayerX] = Clamp(players[kPlayerX], camX + 16, camX + sw / 2);
    players[kPlayerY] = Clamp(players[kPlayerY], camY + 16, camY + sh - 16);
    const float px = players[kPlayerX], py = players[kPlayerY];

    if (gameOver == 0) {
        p_DrawImg(kGfx, px - camX, py - camY, 0);
    } else {
        // The wreck keeps bursting where the ship died.
        for (int i = 0; i < 3; ++i) {
            const int kind = p_Rand(1, 2);
            const int colour = static_cast<int>(std::floor(m_Rnd(5, 6.99f)));
            const float angle = m_Rnd(0, 360);
            const float speed = m_Rnd(2, 4);
            p_ThrowParticle(px, py, kind, colour, angle, speed);
        }
    }

    if (players[kHurtTimer] > 0) {
        players[kHurtTimer] -= 1;
        if (std::fmod(players[kHurtTimer], 20.0f) > 6) {
            p_SetCol(255, 100, 100, 0.5f);
            p_Oval(px - camX, py - camY, 24, 24);
        }
    }
    p_SetCol(255, 255, 255, 1);
    return 0;
}

// The Tidecrawler wanders between random targets, sinks in phase 2 and turns upright to throw in phase 3.
int c_MyApp::p_FightCrawler() {
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    players[kCrawlerX] += players[kCrawlerVX];
    players[kCrawlerY] += players[kCrawlerVY];
    if (m_Rnd(0, 60) < 2) {
        players[kTargetX] = camX + static_cast<float>(p_Rand(sw * 0.5f, sw * 0.8f));
        players[kTargetY] = static_cast<float>(p_Rand(64, sh - 64));
    }
    if (std::fabs(players[kCrawlerX] - players[kTargetX]) < 4)
        players[kTargetX] = players[kPlayerX] + static_cast<float>(p_Rand(sw * 0.25f, sw * 0.4f));
    if (std::fabs(players[kCrawlerY] - players[kTargetY]) < 4)
        players[kTargetY] = static_cast<float>(p_Rand(64, sh - 64));

    const int phase = static_cast<int>(players[kPhase]);
    if (phase == 0) {
        players[kCrawlerAngle] += players[kCrawlerSpin];
        crawlerFrame = 7;
    } else if (phase == 1 || phase == 3) {
        for (int axis = 0; axis < 2; ++axis) {
            const float pos = players[kCrawlerX + axis], target = players[kTargetX + axis];
            float v = players[kCrawlerVX + axis];
            if (pos > target) v -= 0.15f;
            if (pos < target) v += 0.15f;
            players[kCrawlerVX + axis] = Clamp(v, -1, 1);
        }
        players[kCrawlerAngle] += players[kCrawlerSpin];
        crawlerFrame = 7;
    } else if (phase == 2) {
        players[kCrawlerVX] = 0;
        players[kCrawlerVY] = 0;
        players[kCrawlerAngle] += players[kCrawlerSpin];
        if (players[kCrawlerY] < sh - 32) {
            players[kCrawlerY] += 0.5f;
            players[kCrawlerAngle] += 0.5f;
        }
        crawlerFrame = 8;
        if (players[kCrawlerY] > sh - 36) {
            players[kEndTimer] += 1;
            const float t = players[kEndTimer];
            if (t > 60 && std::fmod(t, 30.0f) > 15 && p_Rand(0, 1) == 1) crawlerFrame = 9;
            if (t > 190) crawlerFrame = 9;
            if (t > 260) {
                players[kPhase] = 3;
                p_PlaySFXVol(17, 1);
            }
        }
        players[kThrowTimer] = -80;
    }

    if (players[kPhase] == 3) {
        int open = static_cast<int>(players[kThrowLevel] + 1); // kinds of throw open so far
        open = open < 1 ? 1 : (open > 7 ? 7 : open);
        crawlerFrame = 14;
        const float turn =
            Clamp(static_cast<float>(m_WhichWayDoIGo(players[kCrawlerAngle], 0, 0, 359)), -1, 1);
        players[kCrawlerAngle] += turn;
        if (std::fabs(players[kThrowTimer] + 40) < 3 && players[kRebornTune] == 0) {
            p_PlayTune(String("fish"), 1);
            players[kRebornTune] = 1;
        }
        players[kThrowTimer] += m_Rnd(0.5f, 1.5f);
        if (players[kThrowTimer] > 80) {
            players[kThrowTimer] = 0;
            chuckKind = p_Rand(1, static_cast<float>(open));
            if (chuckKind == 6)
                players[kBurstLeft] = 16;
            else
                p_Chuck(chuckKind);
        }
    }
    // A burst, once started, keeps throwing one fish per update whatever the phase.
    if (players[kBurstLeft] > 0) p_BurstShot();
    return 0;
}

// The open mouth of a throw, then the Tidecrawler itself.
int c_MyApp::p_FightMouth() {
    players[kMouthTimer] -= 1;
    if (players[kMouthTimer] < 1) {
        players[kMouthTimer] = 0;
        players[kMouthOffset] = 0;
    } else if (players[kMouthOffset] > 0) {
        crawlerFrame = static_cast<float>(static_cast<int>(players[kMouthOffset] + 14));
    }
    p_SetRot(players[kCrawlerAngle]);
    p_DrawImg(kGfx, players[kCrawlerX] - camX, players[kCrawlerY] - camY, crawlerFrame);
    p_SetRot(0);
    return 0;
}

// Holding fire shoots after 0, 2, 6, 12, 20 ... updates; releasing it resets the rhythm.
int c_MyApp::p_FightFire() {
    const bool held = p_PlayKey(10, 1, 0) == 1 || mouseDown >= 1;
    if (!held) {
        firing = 0;
        players[kShotCooldown] = 0;
        players[kShotDelay] = 2;
        return 0;
    }
    firing = 1;
    players[kShotCooldown] -= 1;
    if (players[kShotCooldown] < 1 && won == 0) {
        const int o = p_FreeObj(kLastObj);
        if (o >= 0) {
            players[kShotCooldown] = players[kShotDelay];
            players[kShotDelay] += 2;
            const int sound = p_Rand(11, 14);
            p_PlaySFXRate(sound, m_Rnd(0.8f, 1.3f));
            obj[o] = kObjShot;
            obj[o + 1] = players[kPlayerX] + 16;
            obj[o + 2] = players[kPlayerY] + 1;
            obj[o + 3] = 8;
            obj[o + 4] = 0;
            obj[o + 5] = 0;
            obj[o + 6] = 0;
            obj[o + 7] = 0;
            obj[o + 8] = 0;
        }
    }
    return 0;
}

// Every object in record order: fish, plates and shots, their hits, their moves.
int c_MyApp::p_FightObjects() {
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    int plates = 0;
    for (int i = 0; i <= kLastObj; ++i) {
        const int o = i * 10;
        int kind = static_cast<int>(obj[o]);
        if (kind <= 0) continue;
        const float sx = obj[o + 1] - camX, sy = obj[o + 2] - camY;

        if (kind > 20 && kind < 30) {
            p_DoFish(o, sx, sy);
            p_SetSize(2);
            const float ddx = players[kPlayerX] - obj[o + 1], ddy = players[kPlayerY] - obj[o + 2];
            const float radius = kind == kObjFish ? 16.0f : 10.0f;
            if (ddx * ddx + ddy * ddy < radius * radius && players[kHurtTimer] == 0 && gameOver == 0)
                p_HitPlayer();
        }
        if (kind == kObjPlate) {
            p_SetRot(obj[o + 5]);
            p_DrawImg(kPlateImg, sx - 24, sy - 24, obj[o + 8]);
            ++plates;
            if (players[kPhase] == 2) {
                obj[o] = kObjLoosePlate;
                kind = kObjLoosePlate;
            }
        }
        if (kind == kObjLoosePlate) {
            p_SetRot(obj[o + 5]);
            p_DrawImg(kPlateImg, sx, sy, obj[o + 8]);
            obj[o + 4] += 0.05f;
        }
        if (kind == kObjShot) {
            p_SetRot(obj[o + 5]);
            p_SetSize(1);
            p_DrawImg(kGfx, sx, sy, 1);
            p_SetSize(2);
            if (sx > sw + 32) obj[o] = kObjFree;
            const float hx = players[kCrawlerX] - obj[o + 1], hy = players[kCrawlerY] - obj[o + 2];
            if (hx * hx + hy * hy < 784) {
                const int pk = p_Rand(1, 2);
                const int colour = static_cast<int>(std::floor(m_Rnd(5, 6.99f)));
                const float angle = m_Rnd(0, 360);
                const float speed = m_Rnd(1, 3);
                p_ThrowParticle(obj[o + 1], obj[o + 2], pk, colour, angle, speed);
                const int sound = p_Rand(1, 9);
                p_PlaySFXRate(sound, m_Rnd(0.8f, 1.3f));
                players[kHitsToPlate] -= 1;
                obj[o] = kObjFree;
                if (players[kHitsToPlate] < 0) {
                    // Knock off a plate picked at random; if it has already gone, the next hit picks again.
                    const int a = p_Rand(0, 3);
                    const int b = p_Rand(0, 3);
                    score += 5;
                    const int po = (a + 4 * b) * 10;
                    if (obj[po] == kObjPlate) {
                        obj[po] = kObjLoosePlate;
                        obj[po + 1] -= 24;
                        obj[po + 2] -= 24;
                        players[kHitsToPlate] = 3;
                    }
                }
            }
        }

        obj[o + 1] += obj[o + 3];
        obj[o + 2] += obj[o + 4];
        obj[o + 5] += obj[o + 6];
        if (sx < -128 || sy < -128 || sy > sh + 128) obj[o] = kObjFree;
    }
    p_SetRot(0);
    return plates;
}

// One second of protection, a ring of white sparks, a life gone; the last one stops the music.
int c_MyApp::p_HitPlayer() {
    const float px = players[kPlayerX], py = players[kPlayerY];
    players[kHurtTimer] = 60;
    for (int j = 0; j < 36; ++j) {
        float angle = j * 10 + m_Rnd(-3, 3);
        float speed = m_Rnd(4, 6);
        p_ThrowParticle(px, py, angle, speed);
        angle = j * 10 + m_Rnd(-3, 3);
        speed = m_Rnd(6, 8);
        p_ThrowParticle(px, py, angle, speed);
    }
    players[kLives] -= 1;
    if (players[kLives] < 0) {
        players[kHurtTimer] = 0;
        p_StopTune();
    }
    const int sound = static_cast<int>(std::floor(m_Rnd(1, 9.99f)));
    p_PlaySFXRate(sound, m_Rnd(0.8f, 1.3f));
    p_PlaySFXVol(15, 1);
    return 0;
}

void c_MyApp::markFight() {}
