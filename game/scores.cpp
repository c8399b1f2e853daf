// What the player sees about scores: the score line of the play field, the game-over overlay with its
// "New Highscore" notice, the best-ten and last-ten lists of each game set, and the badge toasts.
#include <algorithm>
#include <cmath>

#include "game/myapp.h"

namespace {

// First score of the current set's lists; the set is 1-based and only sets 1 to 3 have lists.
int setBase(int gameSet) { return 10 * (std::clamp(gameSet, 1, 3) - 1); }

} // namespace

int c_MyApp::p_ScoreDisplay() {
    if (hudHidden == 1) return 0;
    float jscrw = rt_Brinefall_jscrw;

    shownScore = shownScore - (shownScore - score) / 6;
    if (std::abs(shownScore - score) <= 5) shownScore = score;

    p_SetRot(0);
    p_SetSize(2);
    p_SetCol(100, 255, 100, 0.8f);
    p_Text(jscrw / 2, 28, p_rstr(shownScore, 8, String("0")), 1, 1, 0);

    // The place the running score would take, and the score to beat for the next one up.
    int base = setBase(gameSet);
    int place = 10;
    int target = hiScores[base + 9];
    for (int p = 9; p >= 1; --p) {
        if (hiScores[base + p] < score || hiScores[base + p] == 0) {
            place = p;
            target = hiScores[base + p - 1];
        }
    }
    p_SetSize(1);
    p_SetCol(255, 255, 100, 0.8f);
    p_Text(jscrw / 2, 10, p_Nth(place) + String(" ") + p_rstr(target, 8, String("0")), 1, 1, 0);

    p_SetSize(0.75f);
    p_SetCol(255, 255, 255, 0.8f);
    int lives = tide_int(players[kLives]);
    for (int i = 0; i < lives && i < 64; ++i)
        p_DrawImg(97, jscrw / 2 + 80 + 16 * i, 24, 11);
    p_ResetDraw();
    return 0;
}

String c_MyApp::p_MyNth() {
    int base = setBase(gameSet);
    rank = 0;
    for (int p = 0; p < 10; ++p) {
        if (score >= hiScores[base + p]) {
            rank = p + 1;
            break;
        }
    }
    switch (rank) {
    case 0:
        return String();
    case 1:
        return String("1st!");
    case 2:
        return String("2nd");
    case 3:
        return String("3rd");
    default:
        return String(rank) + String("th");
    }
}

int c_MyApp::p_LoadMenu() {
    int base = setBase(gameSet);
    // A tie goes below the equal entry: the older score keeps its place.
    for (int p = 0; p < 10; ++p) {
        if (score > hiScores[base + p]) {
            for (int j = 9; j > p; --j)
                hiScores[base + j] = hiScores[base + j - 1];
            hiScores[base + p] = score;
            break;
        }
    }
    for (int j = 9; j > 0; --j)
        hiScores[base + 30 + j] = hiScores[base + 30 + j - 1];
    hiScores[base + 30] = score;
    p_Save();
    return 0;
}

int c_MyApp::p_GameOverFan(float a) {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    int cx = tide_int(jscrw / 2), cy = tide_int(jscrh + rt_Brinefall_overscan);
    int r = (rt_app_Millisecs() / 60) % 20;
    auto point = [&](int degrees, int &x, int &y) {
        double d = degrees * M_PI / 180.0;
        x = tide_int(cx + 800 * std::sin(d));
        y = tide_int(cy - 800 * std::cos(d));
    };
    int from, to;
    if (gameMode == 10) {
        from = -12;
        to = std::min(gameOverTimer / 2 - 12, 12);
    } else {
        from = std::max(12 - gameOverTimer / 4, -12);
        to = 12;
    }
    if (to < from) to = from; // the first triangle is always drawn
    p_SetCol(0, 0, 0);
    for (int i = from; i <= to; ++i) {
        int x1, y1, x2, y2;
        point(10 * i + r, x1, y1);
        point(10 * (i + 1) + r, x2, y2);
        p_Alpha((i & 1) == 0 ? a * a : a);
        p_Tri(cx, cy, x1, y1, x2, y2);
    }
    return 0;
}

int c_MyApp::p_GameOver() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    if (gameOverTimer > 0) {
        float a = std::min(gameOverTimer / 40.0f, 0.7f);
        p_ResetDraw();
        if (rt_Brinefall_FadeOutStyle == 2) {
            p_GameOverFan(a);
        } else {
            p_SetCol(0, 0, 0, a);
            if (rt_Brinefall_FadeOutStyle == 1) {
                // Reach into the border kept clear for the television as well.
                float ox = scaleX > 0 ? rt_Brinefall_overscan / scaleX : 0;
                float oy = scaleY > 0 ? rt_Brinefall_overscan / scaleY : 0;
                p_Rect(-ox - 1, -oy - 1, jscrw + 2 * ox + 2, jscrh + 2 * oy + 2);
            } else {
                p_Rect(-1, -1, jscrw + 2, jscrh + 2);
            }
        }

        float y = std::min(12.0f * gameOverTimer, 0.45f * jscrh);
        p_SetCol(255, 255, 0, 0.5f);
        p_Rect(0, 0.45f * jscrh - 8, 2 * y, 16);
        p_SetCol(255, 128, 0, 0.5f);
        p_Rect(jscrw - (2 * y + 1), 0.55f * jscrh - 8, 2 * y + 1, 16);

        p_SetSize(4);
        p_SetCol(255, 180, 180, 1);
        p_Text(0.35f * jscrw, y, String(quitGame == -1 ? "Quit" : "GAME"), 1, 1, 0);
        p_Text(0.65f * jscrw, jscrh - y, String(quitGame == -1 ? "Game" : "OVER"), 1, 1, 0);

        String place = p_MyNth();
        if (rank > 0) {
            const float ny = jscrh - y / 1.5f;
            p_SetCol(0, 125, 255, 0.5f);
            p_Rect(0.35f * jscrw, ny - 16, 0.3f * jscrw, 32);
            p_SetSize(2);
            p_SetCol(100, 255, 100, 1);
            p_Text(jscrw / 2, ny, String("New Highscore\\n           ") + place, 0.5f, 2, 0);
        }
        p_ResetDraw();
    }

    if (gameMode == 10) {
        ++gameOverTimer;
        if (gameOverTimer == 90) {
            gameMode = 2;
            gameOverTimer = 75;
            // A pause taken under the overlay ends with its game: the menu is never paused, and the next
            // fight's first pause slides in from the start.
            paused = 0;
            pauseMenuOn = -1;
            pauseMenuY = -64;
            if (rt_Brinefall_HasMusicStream == 1)
                p_StopTune();
            else
                gameOverTimer = 73;
        }
    } else if (gameMode == 1 || gameMode == 2) {
        gameOverTimer = std::max(gameOverTimer - 2, 0);
    }
    return 0;
}

int c_MyApp::p_ShowBadges() {
    float jscrh = rt_Brinefall_jscrh;
    for (int i = 0; i <= 12; ++i) {
        if (toastTime[i] <= 0) continue;
        int time = ++toastTime[i];
        if (time > 240) { // slid out: the slot is free again
            toastTime[i] = 0;
            continue;
        }
        float x = time >= 231 ? 16.0f * (240 - time) - 160 : 16.0f * time - 160;
        x = std::min(x, 0.0f);
        float y = jscrh - 34.0f * (i + 1);
        p_ResetDraw();
        p_SetCol(0, 0, 80, 0.8f);
        p_Rect(x, y, 160, 32);
        p_SetCol(255, 255, 255, 1);
        p_Text(x + 16, y + 4, p_BadgeName(toastBadge[i]), 0, 0, 0);
        if (toastBadge[i] >= 0 && toastBadge[i] < 64) {
            p_SetSize(0.5f);
            p_DrawImg(80, x + 144, y + 16, toastBadge[i]);
            p_SetSize(1);
        }
    }
    return 0;
}

String c_MyApp::p_BadgeID(int n) {
    if (n == 0) return String("Test Badge|This is a Test Badge which has no purpose.");
    return String("Odd Badge|This badge hasn't been defined!");
}

String c_MyApp::p_BadgeName(int n) {
    String id = p_BadgeID(n);
    int bar = id.Find(String("|"));
    return bar < 0 ? id : id.Slice(0, bar);
}

String c_MyApp::p_BadgeDetail(int n) {
    String id = p_BadgeID(n);
    int bar = id.Find(String("|"));
    return bar < 0 ? String() : id.Slice(bar + 1);
}

int c_MyApp::p_GC_PostScore(int, int) { return 0; }
int c_MyApp::p_GC_Badges() { return 0; }
