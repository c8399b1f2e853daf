// The marquee: a line of big wavy letters along the bottom of the screen that scrolls once the
// Tidecrawler is reborn. Every letter is a target: a shot that touches it scores a point and sinks it;
// it comes back whole when it wraps round to the end of the line.
#include <cstring>

#include "game/myapp.h"

namespace {
constexpr int kMarqueeFont = 89; // the font sheet the letters are drawn from
constexpr int kLastObj = 100;
constexpr int kMaxLetters = c_MyApp::kMarqueePlane - 1; // the entry after the last letter stays empty

// Narrow and wide letters, as the text drawing spaces them.
int Spacing(int c) {
    if (c <= 0 || c > 127) return 0;
    if (std::strchr("ifl", c)) return -3;
    if (std::strchr("jskrztn", c)) return -1;
    if (std::strchr("wm", c)) return 2;
    if (std::strchr("WM", c)) return 1;
    return 0;
}

const char *const kLines[] = {
    "Beware | Alert ! Warning | Emergency ! ",
    "Tidecrawler is Reborn     -= Danger =- ",
    "Take Cover!  Destroy  |  FIGHT! ",
    " Thanks for Playing ",
    "Thanks to everyone who played our games on the little console, ",
    "and to all our friends on its forum for the cheering and the bug reports. ",
    "Thanks to Captain Brine and the crew of the Gull Patrol, ",
    "to Old Moss for the coffee, and to Pebble for testing every night. ",
    "Thanks to everyone who drew a fish, hummed a tune or sent a kind word. ",
    "And thanks to you for playing to the very end! ",
    "We hope you had as much fun sinking it as we had making it. ",
    "The sea is quiet now... or is it? ",
    "Farewell, and keep swimming! ",
    "See you in the deep. ",
    " UHOH!  The Final Tidecrawler is still attacking. ",
};
} // namespace

int c_MyApp::p_AddTxt(String s) {
    const String t = s + String("  ");
    const float advance = static_cast<float>(imgInfo[font * 3]);
    const float sw = rt_Brinefall_jscrw;
    for (int i = 0; i < t.Length(); ++i) {
        const int c = t[i];
        int a = Spacing(c);
        if (c == 172) { // an icon escape: wider, and its letter is not a glyph of its own
            a = 2;
            ++i;
        }
        const int n = static_cast<int>(players[kMarqueeCount]);
        if (n >= kMaxLetters) return 0;
        marquee[n] = static_cast<float>(c - 32);
        marquee[kMarqueePlane + n] = players[kMarqueeLength] + sw + 128;
        players[kMarqueeLength] += (advance + a) * drawScaleX;
        players[kMarqueeCount] += 1;
    }
    return 0;
}

int c_MyApp::p_AddMarqueeLines() {
    for (const char *line : kLines)
        p_AddTxt(String(line));
    return 0;
}

// Draws, scrolls and tests the letters; the caller has set white, alpha 1 and scale 4.
int c_MyApp::p_DoMarquee() {
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    const int count = static_cast<int>(players[kMarqueeCount]);
    const float length = players[kMarqueeLength];
    const bool scrolling = players[kPhase] == 3;
    const int tick = rt_app_Millisecs() / 8;
    for (int n = 0; n <= count && n < kMarqueePlane; ++n) {
        const float glyph = marquee[n];
        float &x = marquee[kMarqueePlane + n];
        float &sink = marquee[2 * kMarqueePlane + n];
        if (scrolling) x -= 3.5f;
        if (sink > 0) sink += 4;
        if (x < -256) {
            x = length + sw + 256 + x;
            sink = 0;
        }
        if (!(x > -256 && x < sw + 256 && glyph > 0)) continue;

        // Each letter rides the wave 24 degrees behind the one before it, rocking as it goes.
        const float w = m_Sin(static_cast<float>(tick + 24 * n));
        const float y = sh - 64 + 16 * w + sink;
        drawRot = 16 * w;
        p_DrawImg(kMarqueeFont, x, y, glyph);

        if (x < sw && sink == 0) {
            for (int i = 0; i <= kLastObj; ++i) {
                const int o = i * 10;
                if (obj[o] != kObjShot) continue;
                const float ex = obj[o + 1] - camX - x, ey = obj[o + 2] - camY - y;
                if (ex > -24 && ex < 24 && ey > -24 && ey < 24) {
                    obj[o] = kObjFree;
                    sink += 4;
                    score += 1;
                }
            }
        }
    }
    drawRot = 0;
    return 0;
}
