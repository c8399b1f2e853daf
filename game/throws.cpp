// What the reborn Tidecrawler throws: single fish, fans, swelling fish that wait and then dart at the
// ship's height, and bursts of sixteen. Every throw opens the mouth and raises the throw level, so the
// choice of throws widens as the fight goes on.
#include <cmath>

#include "game/myapp.h"

namespace {
constexpr int kGfx = 1;
constexpr int kLastObj = 100;
} // namespace

int c_MyApp::m_WhichWayDoIGo(float from, float to, int lo, int hi) {
    const int range = hi - lo;
    const float n = static_cast<float>(range + 1);
    float a = std::fmod(from, n);
    if (a < 0) a += n;
    float b = std::fmod(to, n);
    if (b < 0) b += n;
    float d = std::fmod(b - a, n);
    if (d < 0) d += n;
    const float r = lo + d;
    if (r <= lo + range / 2) return static_cast<int>(r);
    return static_cast<int>(r - range);
}

// The roar, the mouth and the level step that every throw (and every burst shot) begins with.
int c_MyApp::p_ChuckPrelude() {
    p_PlaySFXRate(18, m_Rnd(0.7f, 1.4f));
    players[kMouthTimer] = 30;
    players[kMouthOffset] = 0;
    players[kThrowLevel] += 0.25f;
    const int sound = p_Rand(11, 14);
    p_PlaySFXRate(sound, m_Rnd(0.8f, 1.3f));
    return 0;
}

int c_MyApp::p_ThrowFish(float direction, float speed) {
    const int o = p_FreeObj(kLastObj);
    if (o < 0) return 0;
    obj[o] = kObjFish;
    obj[o + 1] = players[kCrawlerX];
    obj[o + 2] = players[kCrawlerY];
    obj[o + 3] = speed * m_Sin(direction);
    obj[o + 4] = -speed * m_Cos(direction);
    obj[o + 5] = m_Rnd(0, 360);
    obj[o + 6] = m_Rnd(-5, 5);
    obj[o + 7] = 0;
    obj[o + 8] = 0;
    return 0;
}

int c_MyApp::p_ThrowSwellingFish(float x, float y, float timer) {
    const int o = p_FreeObj(kLastObj);
    if (o < 0) return 0;
    obj[o] = kObjSwellFish;
    obj[o + 1] = x;
    obj[o + 2] = y;
    obj[o + 3] = 0;
    obj[o + 4] = 0;
    obj[o + 5] = m_Rnd(0, 360);
    obj[o + 6] = m_Rnd(-5, 5);
    obj[o + 7] = timer;
    obj[o + 8] = 0;
    return 0;
}

int c_MyApp::p_Chuck(int kind) {
    p_ChuckPrelude();
    const float cx = players[kCrawlerX], cy = players[kCrawlerY];
    switch (kind) {
    case 1:
        players[kMouthOffset] = 1;
        p_ThrowFish(270, 8);
        break;
    case 2:
        players[kMouthOffset] = 1;
        for (int k = -1; k <= 1; ++k)
            p_ThrowFish(270 + 27 * k, 5.5f);
        break;
    case 3:
        players[kMouthOffset] = 1;
        for (int k = -3; k <= 3; ++k)
            p_ThrowFish(270 + 12 * k, 3);
        break;
    case 4:
        players[kMouthOffset] = 2;
        p_ThrowSwellingFish(cx + 32, cy, 0);
        break;
    case 5: {
        players[kMouthOffset] = 2;
        const int n = p_Rand(1, 4);
        chuckKind = p_Rand(1, 3); // the spacing of the swelling, in timer units
        const int spacing = chuckKind;
        for (int j = 0; j <= n; ++j) {
            const float x = cx + static_cast<float>(p_Rand(16, 40));
            const float y = cy + static_cast<float>(p_Rand(-48, 48));
            p_ThrowSwellingFish(x, y, static_cast<float>(-(spacing * j)));
        }
        break;
    }
    default:
        // Only the roar: no fish.
        players[kMouthOffset] = 0;
        break;
    }
    return 0;
}

int c_MyApp::p_BurstShot() {
    players[kBurstLeft] -= 1;
    p_ChuckPrelude();
    players[kMouthOffset] = 1;
    p_ThrowFish(270, 8);
    return 0;
}

// Draws a thrown fish; a swelling fish also grows, spins up and, once ripe, darts left so that it
// crosses the ship's height 40 updates later.
int c_MyApp::p_DoFish(int o, float sx, float sy) {
    const int kind = static_cast<int>(obj[o]);
    p_SetRot(obj[o + 5]);
    if (kind == kObjSwellFish) {
        obj[o + 7] += m_Rnd(0.05f, 0.25f);
        obj[o + 6] += m_Rnd(0, 0.05f);
        float frame = 21 + std::floor(obj[o + 7] * 0.25f);
        frame = frame < 21 ? 21 : (frame > 24 ? 24 : frame);
        obj[o + 8] = frame;
        if (obj[o + 7] > 24 && obj[o + 3] == 0) {
            obj[o + 3] = -7;
            obj[o + 4] = -(obj[o + 2] - players[kPlayerY]) / 40;
            p_PlaySFXRate(10, m_Rnd(0.8f, 1.3f));
        }
        p_SetSize(1);
        p_DrawImg(kGfx, sx, sy, frame);
    } else if (kind == kObjFish) {
        p_SetSize(2);
        p_DrawImg(kGfx, sx, sy, 21);
    }
    return 0;
}
