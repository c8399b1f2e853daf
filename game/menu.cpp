// The main menu: a wheel of entries turning around the options gear in the bottom-left corner, and a
// strip along the right edge with the score lists that widens into a sheet with the credits roll.
#include <algorithm>
#include <cmath>

#include "game/myapp.h"
#include "input/input.h"

namespace {

constexpr int kRepeatTimer = 26; // entries of the fight record that pace held up and down
constexpr int kRepeatDelay = 27;

float sinDeg(float a) { return static_cast<float>(std::sin(a * M_PI / 180.0)); }
float cosDeg(float a) { return static_cast<float>(std::cos(a * M_PI / 180.0)); }

// An angle brought into 0 to 360, so the wheel's snapping works however far it was flung.
float wrap360(float a) {
    float r = std::fmod(a, 360.0f);
    return r < 0 ? r + 360.0f : r;
}

} // namespace

// Starts whatever the selected area stands for.
int c_MyApp::p_MenuStart() {
    switch (menuRow) {
    case 0:
        optionsOpen = 1;
        p_PlaySFX(99, 1, 1, 0);
        break;
    case 1:
        if (menuPos == -1) rtError(String());
        // Button icons follow the way the fight was started.
        ctrlScheme = mouseDown > 0 ? 2 : 1;
        for (int action = 10; action <= 15; ++action)
            if (p_PlayKey(action, 0, -1)) ctrlScheme = 0;
        pointerLatch = 1;
        keyLatch = 1;
        menuScroll = -32.0f * menuPos;
        quitGame = 0; // the last game's way of ending does not carry over
        gameMode = 11;
        break;
    case 2:
        sidePanelOpen = 1;
        p_PlaySFX(99, 1, 1, 0);
        break;
    default:
        break;
    }
    return 0;
}

int c_MyApp::p_MenuScoreLists() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    float lineH = static_cast<float>(imgInfo[font * 3 + 1]);
    int n = lineH > 0 ? tide_int((jscrh - 90 - jscrh / 2) / (1.5f * lineH)) : 10;
    n = std::clamp(n, 1, 10);
    int base = 10 * (std::clamp(gameSet, 1, 3) - 1);

    String top = n == 1 ? String("Highscore") : String("Top ") + String(n);
    String last = n == 1 ? String("Last") : String("Last ") + String(n);
    for (int k = 0; k < n; ++k) {
        top += String("\\n") + p_rstr(hiScores[base + k], 11, String(" "));
        last += String("\\n") + p_rstr(hiScores[base + 30 + k], 11, String(" "));
    }
    float x = jscrw - panelW - 4.0f * menuIntro + 20;
    p_SetRot(0);
    p_SetSize(1.5f);
    p_SetCol(255, 200, 100, 1);
    p_Text(x, 60, top, 0, 0, 0);
    p_Text(x, jscrh / 2 + 20, last, 0, 0, 0);
    return 0;
}

int c_MyApp::p_MenuWheel(float cx, float cy) {
    bool noOverlay = optionsOpen == 0 && sidePanelOpen == 0 && overlayOpen == 0;
    int lowest = rt_Brinefall_isOuya == 1 ? -1 : 0;
    int pairs = rt_Brinefall_MenuSet.Length() / 2;
    int selected = menuPos;

    for (int p = menuPos - 3; p <= menuPos + 3; ++p) {
        if (p < lowest || p > 0) continue;
        float a = 32.0f * p + 48 + menuShown;
        float off = std::fabs(a - 45);
        float g = off <= 45 ? 1.5f * (45 - off) : 0;
        float ex = cx + sinDeg(a) * (116 + g);
        float ey = cy - cosDeg(a) * (116 + g);

        p_SetRot(-(a - 55) / 2);
        p_SetSize(1);
        p_SetCol(255, 255, 255, menuRow == 1 ? 1.0f : 0.3f);
        if (p >= 0) {
            p_DrawImg(95, ex, ey, p % 6);
            if (pairs > 0) {
                p_SetSize(1.5f);
                p_Text(ex, ey, rt_Brinefall_MenuSet[2 * (p % pairs)], 1, 1, 0);
            }
        } else {
            p_SetSize(2);
            p_DrawImg(97, ex, ey, 1);
        }

        // Snapping while the wheel still turns.
        if (std::fabs(menuVel) > 0.05f) {
            float w = wrap360(a);
            if (p == 0) {
                if (w < 30 || w > 200)
                    menuVel = 4;
                else if (w > 60 && w < 200)
                    menuVel = -4;
            }
            if (p != selected && w > 30 && w < 60 && (menuDragging == 0 || std::abs(p - selected) > 1)) {
                menuPos = p;
                p_PlaySFX(99, 1, 1, 0);
            }
        }

        // Presses on the entries.
        bool settled = std::fabs(menuShown - menuScroll) <= 2;
        if (mouseDown > 0 && pointerLatch == 0 && menuDragging == 0 && settled && noOverlay) {
            if (p == menuPos && p_MouseIn_Radius(ex, ey, 64, 64)) {
                menuRow = 1;
                menuScroll = -32.0f * p;
                pointerLatch = 1;
                p_PlaySFX(98, 1, 1, 0);
                p_MenuStart();
            } else if (p != menuPos && p_MouseIn_Radius(ex, ey, 52, 52)) {
                menuRow = 1;
                menuPos = p;
                menuScroll = -32.0f * p;
                pointerLatch = -1;
                menuDragging = 1;
                p_PlaySFX(99, 1, 1, 0);
            }
        }
    }
    p_SetRot(0);
    p_SetSize(1);
    return 0;
}

int c_MyApp::p_MenuSheet() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    float shift = jscrw - panelW; // 0 once the sheet is fully open

    // Credits roll.
    creditScroll -= 0.3f;
    if (p_PlayKeyAll(0, 1) > 0 || p_PlayKeyAll(8, 1) > 0) creditScroll -= 1.5f;
    while (creditScroll < -16) {
        creditScroll += 16;
        ++creditTop;
    }
    int lines = rt_Brinefall_CreditText.Length() - 1; // the closing line is never shown
    p_SetRot(0);
    p_SetSize(1);
    if (lines > 0) {
        for (int i = -3; i <= 4; ++i) {
            int idx = (creditTop + i) % lines;
            if (idx < 0) idx += lines;
            float f = std::fabs((16.0f * i + creditScroll) / 40) - 0.3f;
            float alpha, o;
            if (f <= 0) {
                alpha = 1;
                o = 0;
            } else if (f <= 1) {
                alpha = 1 - f;
                o = 24 * f;
            } else {
                alpha = 0;
                o = 24;
            }
            p_SetCol(255, 255, 255, alpha);
            p_Text((jscrw - 160) + shift, 16.0f * i + jscrh / 2 + 24 - o + creditScroll,
                   rt_Brinefall_CreditText[idx], 0.8f, 0.8f, 0);
        }
    }

    // Debug figures.
    float dx = (jscrw - 20) + shift;
    p_SetCol(255, 255, 255, 1);
    p_Text(dx, 16, String("Debug Stats"), 2, 1, 0);
    p_Text(dx, 32, String("Engine"), 2, 1, 0);
    p_Text(dx, 44, String(tide_int(jscrw)) + String("x") + String(tide_int(jscrh)), 2, 1, 0);
    p_Text(dx, 60, String("Screen"), 2, 1, 0);
    p_Text(dx, 72, String(rt_app_DeviceWidth()) + String("x") + String(rt_app_DeviceHeight()), 2, 1, 0);
    p_Text(dx, 88, String("FPS"), 2, 1, 0);
    p_Text(dx, 100, String(fpsSmooth) + String(" : ") + String(renderFpsSmooth), 2, 1, 0);

    // Ring of coloured circles turning with the roll.
    float rx = jscrw - 150 + shift, ry = jscrh / 2;
    p_Alpha(0.3f);
    for (int j = 0; j <= 10; ++j) {
        float a = 4.0f * (6.0f * j - creditScroll / 16 + creditTop);
        p_Ink(j, 1);
        p_Oval(rx + sinDeg(a) * 100, ry - cosDeg(a) * 100, 32, 32);
    }

    if ((p_PlayKeyAll(10, 0) > 0 || p_PlayKeyAll(11, 0) > 0 || p_PlayKeyAll(12, 0) > 0 ||
         p_PlayKeyAll(13, 0) > 0 || mouseDown > 0) &&
        keyLatch == 0 && pointerLatch == 0) {
        sidePanelOpen = 0;
        p_PlaySFX(99, 1, 1, 0);
        keyLatch = pointerLatch = 1;
    }

    float bx = 0.3f * jscrw + shift;
    p_SetCol(255, 255, 255, 1);
    p_DrawImg(95, bx, jscrh - 64, 12);
    p_Text(bx + 32, jscrh - 64, String("Coded in"), 0, 0, 0);
    p_Text(bx + 32, jscrh - 52, String("C++, GLFW and OpenAL"), 0, 0, 0);
    return 0;
}

int c_MyApp::p_Menu() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    auto latchesClear = [this] { return keyLatch == 0 && pointerLatch == 0; };
    auto noOverlay = [this] { return optionsOpen == 0 && sidePanelOpen == 0 && overlayOpen == 0; };

    if (menuPos > 0) menuPos = 0;
    p_DoBG(20, 80, 160, -123);

    if (menuIntro < 0) menuIntro = tide_int(menuIntro + 0.25);
    panelW = sidePanelX + 140;

    // System keys.
    if (latchesClear()) {
        if (rt_Brinefall_isOuya != 1) {
            if (p_PlayKeyAll(99, 0) > 0) rtError(String());
        } else if (p_PlayKeyAll(98, 0) > 0 || rt_input_KeyDown(27)) {
            gameMode = 4;
            keyLatch = pointerLatch = 1;
        }
    }
    if (pointerLatch == 0) menuDragging = 0;

    // Title.
    p_SetRot(0);
    p_SetSize(1.5f);
    p_SetCol(255, 255, 255, 1);
    p_DrawImg(98, (jscrw - panelW) / 2, 12.0f * menuIntro + 96, 0);

    // Side strip.
    float sx = jscrw - panelW - 8.0f * menuIntro;
    p_SetSize(1);
    p_SetCol(255, 255, 255, menuRow == 2 ? 1.0f : 0.2f);
    p_Rect(sx - 2, -128, 3, jscrh + 128);
    p_SetCol(0, 0, 0, menuRow == 2 ? 0.75f : 0.45f);
    p_Rect(sx, -128, panelW + 32, jscrh + 128);
    bool inStrip = p_MouseIn(sx, -128, panelW + 32, jscrh + 128) != 0;

    // Play icon. Its press is looked at before the strip takes the pointer for itself, or the icon could
    // never be pressed: it sits inside the strip.
    float px = jscrw - panelW / 2, py = jscrh - 48;
    if (menuRow == 1 && !inStrip) {
        p_SetSize(3);
        p_SetCol(100, 255, 100, 0.5f);
        p_DrawImg(97, px, py, 3);
    }
    bool playPressed = false;
    if (p_MouseIn_Centered(px, py, 128, 128) && pointerLatch == 0 && noOverlay()) {
        playPressed = true;
        menuRow = 1;
        p_PlaySFX(98, 1, 1, 0);
        p_MenuStart();
    }
    // A press in the strip only selects it; fire opens the sheet. While the sheet is open a press
    // belongs to the sheet, which closes on it.
    if (!playPressed && inStrip && latchesClear() && sidePanelOpen == 0) {
        p_PlaySFX(99, 1, 1, 0);
        menuRow = 2;
        keyLatch = pointerLatch = 1;
    }

    if (optionsOpen == 0 && overlayOpen == 0) p_MenuScoreLists();

    // Wheel motion.
    if (menuVel != 0) {
        menuScroll += menuVel;
        menuVel *= 0.75f;
        if (std::fabs(menuVel) < 1) menuVel = 0;
    }
    menuShown += (menuScroll - menuShown) / 8;
    if (std::fabs(menuScroll - menuShown) < 0.5f) menuShown = menuScroll;

    // Gear.
    float cx = 12.0f * menuIntro + 38;
    float cy = static_cast<float>(tide_int(jscrh - 64 - 8.0f * menuIntro));
    if (noOverlay()) {
        p_SetRot(0);
        p_SetSize(1);
        p_SetCol(255, 255, 255, menuRow == 0 ? 0.8f : 0.25f);
        p_DrawImg(85, cx, cy, 1);
        if (menuRow == 0) gearAngle = std::fmod(gearAngle + 0.3f, 360.0f);
        p_Alpha(1);
        p_SetRot(-gearAngle);
        p_DrawImg(95, cx, cy, 8);
        p_SetRot(-2 * gearAngle);
        p_DrawImg(95, cx, cy, 9);
        p_SetRot(-4 * gearAngle);
        p_DrawImg(95, cx, cy, 10);
        if (p_MouseIn_Centered(cx, cy, 64, 64) && latchesClear() && noOverlay()) {
            optionsOpen = 1;
            pointerLatch = 1;
            p_PlaySFX(99, 1, 1, 0);
            menuRow = 0;
        }
        p_SetRot(-menuShown);
        p_Alpha(0.25f);
        p_DrawImg(85, cx, cy, 3);
        p_SetRot(0);
    }

    // Dragging the wheel.
    if (mouseDown == 0) {
        dragAnchorX = -1;
    } else if (p_MouseIn_Centered(cx, cy, 500, 500) && !p_MouseIn_Centered(cx, cy, 64, 64) &&
               pointerLatch <= 0) {
        if (dragAnchorX == -1) {
            dragAnchorX = mouseX;
            dragAnchorY = mouseY;
        } else {
            float d = ((dragAnchorX - mouseX) - mouseY + dragAnchorY) * 0.25f;
            menuVel = std::clamp(menuVel - d, -40.0f, 40.0f);
            if (std::fabs(d) > 1) keyLatch = pointerLatch = -1; // a drag, not a press
            menuRow = 1;
            dragAnchorX = mouseX;
            dragAnchorY = mouseY;
        }
    }

    p_MenuWheel(cx, cy);

    // Up and down on the wheel, repeating while held with a shrinking delay.
    int lowest = rt_Brinefall_isOuya == 1 ? -1 : 0;
    bool up = p_PlayKeyAll(0, 1) > 0, down = p_PlayKeyAll(8, 1) > 0;
    if (!up && !down) {
        players[kRepeatTimer] = 0;
        players[kRepeatDelay] = 30;
    } else {
        players[kRepeatTimer] -= 1;
        if (players[kRepeatTimer] <= 0) keyLatch = 0;
    }
    if (menuRow == 1) {
        // Narrow screens have no room beside the wheel for the description.
        if (jscrw > 600 && menuPos >= 0 && rt_Brinefall_MenuSet.Length() >= 2) {
            int pairs = rt_Brinefall_MenuSet.Length() / 2;
            p_SetSize(1.5f);
            p_SetCol(255, 255, 255, 1);
            p_Text(240, jscrh - 52 - 3.0f * menuIntro, rt_Brinefall_MenuSet[2 * (menuPos % pairs) + 1], 0, 0,
                   0);
        }
        if ((up || down) && keyLatch == 0 && pointerLatch == 0 && noOverlay()) {
            players[kRepeatTimer] = players[kRepeatDelay];
            players[kRepeatDelay] = std::max(players[kRepeatDelay] - 12, 3.0f);
            keyLatch = pointerLatch = 1;
            int before = menuPos;
            if (up && menuPos > lowest) --menuPos;
            if (!up && down && menuPos < 0) ++menuPos;
            if (menuPos != before) {
                menuScroll = -32.0f * menuPos;
                p_PlaySFX(99, 1, 1, 0);
            }
        }
    }

    // Moving between the areas, and starting.
    if (latchesClear() && noOverlay()) {
        if (p_PlayKeyAll(3, 1) > 0) {
            menuRow = std::max(menuRow - 1, 0);
            p_PlaySFX(99, 1, 1, 0);
            keyLatch = pointerLatch = 1;
        } else if (p_PlayKeyAll(5, 1) > 0) {
            menuRow = std::min(menuRow + 1, 2);
            p_PlaySFX(99, 1, 1, 0);
            keyLatch = pointerLatch = 1;
        } else if (p_PlayKeyAll(10, 0) > 0 || p_PlayKeyAll(11, 0) > 0 || p_PlayKeyAll(12, 0) > 0) {
            // Every start by fire sounds; the gear and the strip add their own sound after it.
            p_PlaySFX(98, 1, 1, 0);
            keyLatch = pointerLatch = 1;
            p_MenuStart();
        }
    }
    gameSet = 1;

    // Maker's logo at the top of the strip: at half size its emblem and name, 97 frame pixels high in
    // all, stay inside the strip and above the first score list, and the name's strokes stay wider than
    // the pixels sampled from the doubled and quadrupled files.
    p_SetRot(0);
    p_SetSize(0.5f);
    p_SetCol(255, 255, 255, 1);
    p_DrawImg(93, jscrw - panelW / 2, 32, 0);

    if (sidePanelOpen == 1) p_MenuSheet();
    p_ResetDraw();
    return 0;
}
