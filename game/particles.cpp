// The fight's decoration: a fixed pool of short-lived particles, the drifting bubbles behind everything
// and the eased background colour that starts every update's drawing. Nothing here allocates.
#include <cmath>

#include "game/myapp.h"
#include "runtime/mathrand.h"

namespace {
constexpr int kParts = 96;            // "parts": 8 × 8 frames, 256 of them
constexpr int kClockSeed = -37171650; // asks p_SeedRnd for the clock
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;
} // namespace

float c_MyApp::m_Rnd(float lo, float hi) { return rt_random_Rnd2(lo, hi); }

// Degrees are reduced first so that the clock-driven angles stay accurate however long the game runs.
float c_MyApp::m_Sin(float degrees) {
    return static_cast<float>(std::sin(std::fmod(degrees, 360.0) * kDegToRad));
}
float c_MyApp::m_Cos(float degrees) {
    return static_cast<float>(std::cos(std::fmod(degrees, 360.0) * kDegToRad));
}

int c_MyApp::p_ReseedFromClock() {
    int t = rt_app_Millisecs();
    if (t == kClockSeed) t = rt_app_Millisecs();
    p_SeedRnd(t);
    return 0;
}

int c_MyApp::p_FreeParticle() {
    if (maxParticles < 0) return -1;
    for (int p = maxParticles; p >= 0; --p)
        if (part[p * 10] == 0) return p * 10;
    return -1;
}

int c_MyApp::p_ThrowParticle(float x, float y, int kind, int colour, float angle, float speed) {
    if (angle <= kUnset) angle = m_Rnd(0, 360);
    if (speed <= kUnset) speed = m_Rnd(3, 8);
    const int p = p_FreeParticle();
    if (p < 0) return 0; // the pool is full: the particle is dropped
    part[p] = static_cast<float>(kind);
    part[p + 1] = x;
    part[p + 2] = y;
    part[p + 3] = speed * m_Sin(angle);
    part[p + 4] = -speed * m_Cos(angle);
    part[p + 5] = m_Rnd(0, 360);
    part[p + 6] = m_Rnd(-8, 8);
    if (kind == 3) {
        part[p + 5] = y + m_Rnd(-16, 16); // the floor it bounces on
        part[p + 6] = 0;
    }
    part[p + 7] = m_Rnd(0.7f, 1.3f); // above 1 it stays opaque for a while before fading
    part[p + 8] = static_cast<float>(colour);
    part[p + 9] = std::floor(m_Rnd(0, 255.99f));
    return 0;
}

int c_MyApp::p_ThrowParticle(float x, float y, float angle, float speed) {
    return p_ThrowParticle(x, y, 1, 9, angle, speed);
}

int c_MyApp::p_DoParticles(float scale) {
    p_ResetDraw();
    for (int i = 0; i <= maxParticles; ++i) {
        const int p = i * 10;
        const int kind = static_cast<int>(part[p]);
        if (kind <= 0) continue;
        part[p + 1] += part[p + 3];
        part[p + 2] += part[p + 4];
        part[p + 5] += part[p + 6];
        drawRot = kind == 99 ? 0 : -part[p + 5];
        if (kind == 2) {
            part[p + 3] *= 0.95f;
            part[p + 4] += 0.2f;
        } else if (kind == 3) {
            part[p + 3] *= 0.98f;
            part[p + 4] += 0.2f;
            if (part[p + 2] > part[p + 5]) part[p + 4] = m_Rnd(-3, -1);
        }
        drawAlpha = part[p + 7] > 1 ? 1 : part[p + 7];
        drawScaleX = drawScaleY = scale;
        p_Ink(static_cast<int>(part[p + 8]), 1);
        const float sx = part[p + 1] - camX, sy = part[p + 2] - camY;
        if (kind >= 1 && kind <= 9) {
            p_DrawImg(kParts, sx, sy, part[p + 9]);
        } else if (kind == 16) {
            p_Rect(std::floor(sx / 16) * 16, std::floor(sy / 16) * 16, 16, 16);
        } else if (kind == 99) {
            p_Text(sx, sy, String(static_cast<int>(part[p + 9])), 1, 1, 0);
        }
        const float fade = kind == 4 ? 0.003f : (kind == 16 ? 0.013f : 0.01f);
        part[p + 7] -= fade;
        if (part[p + 7] < 0) part[p] = 0;
    }
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_ResetStars(int n) {
    p_ReseedFromClock();
    if (n >= 1 && n <= 499) starCount = n;
    if (starCount < 0) return 0;
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh;
    for (int k = 0; k <= starCount; ++k) {
        const int s = k * 10;
        stars[s] = std::floor(m_Rnd(0, 255.99f));
        stars[s + 1] = m_Rnd(-8, sw + 8);
        stars[s + 2] = m_Rnd(-8, sh + 8);
        stars[s + 3] = m_Rnd(0.2f, 0.8f);
        stars[s + 5] = m_Rnd(0, 360);
        stars[s + 6] = m_Rnd(-0.5f, 0.5f);
    }
    return 0;
}

// Bubbles drift with the camera by their depth, sway on their own phase, and wrap around the screen
// (plus the overscan border) coming back at a new height, depth and look.
int c_MyApp::p_DoStars(float dx, float dy) {
    p_ReseedFromClock();
    p_ResetDraw();
    const float sw = rt_Brinefall_jscrw, sh = rt_Brinefall_jscrh, os = rt_Brinefall_overscan;
    const float m = os + 16;
    const float w = sw + 2 * os + 32, h = sh + 2 * os + 32;
    const int tick = rt_app_Millisecs() / 10;
    for (int k = 0; k <= starCount; ++k) {
        const int s = k * 10;
        float &x = stars[s + 1];
        float &y = stars[s + 2];
        float &depth = stars[s + 3];
        x += dx * depth + m_Sin(static_cast<float>(tick + 15 * k)) * 0.125f;
        y += dy * depth;
        // A star that leaves on one side comes back on the other, at a new height (or place), depth and look.
        auto renew = [&](float &other, float span) {
            other = m_Rnd(-8, span + 8);
            depth = m_Rnd(0.2f, 0.8f);
            stars[s] = std::floor(m_Rnd(0, 255.99f));
        };
        if (x < -m) {
            x += w;
            renew(y, sh);
        }
        if (x > sw + m) {
            x -= w;
            renew(y, sh);
        }
        if (y < -m) {
            y += h;
            renew(x, sw);
        }
        if (y > sh + m) {
            y -= h;
            renew(x, sw);
        }
        stars[s + 5] += stars[s + 6];
        drawAlpha = depth;
        drawRot = -stars[s + 5];
        p_DrawImg(kParts, x, y, stars[s]);
    }
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_DoBG(int r, int g, int b, float alpha) {
    if (r >= -122) bgTargetR = static_cast<float>(r);
    if (g >= -122) bgTargetG = static_cast<float>(g);
    if (b >= -122) bgTargetB = static_cast<float>(b);
    bgR -= (bgR - bgTargetR) * 0.125f;
    bgG -= (bgG - bgTargetG) * 0.125f;
    bgB -= (bgB - bgTargetB) * 0.125f;
    if (alpha == -123)
        alpha = 1;
    else
        alpha = alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha);
    // Clears the draw list and resets the draw state too: every update's drawing starts here.
    p_CLS2D(bgR > kUnset ? bgR : kUnset, bgG, bgB, alpha);
    return 0;
}
