// The options box that slides over the menu or the pause screen, the switch between window and full
// screen, and the pause screen with its line-drawing toy.
#include <algorithm>
#include <cmath>

#include "game/myapp.h"

namespace {

float sinDeg(float a) { return static_cast<float>(std::sin(a * M_PI / 180.0)); }
float cosDeg(float a) { return static_cast<float>(std::cos(a * M_PI / 180.0)); }

// Actions whose release frees the box's key latch.
constexpr int kBoxKeys[] = {0, 3, 5, 8, 10, 11, 12, 13, 14, 15, 16, 17, 99};

} // namespace

// Full screen takes the desktop's own size; going back gives the 640 x 480 window. The host replaces the
// window either way, and the next replay sees the new size and reloads the pictures for it.
int c_MyApp::p_FullscreenFlip() {
    c_DisplayMode *desk = rt_app_DesktopMode();
    if (fullscreen == 0 && desk && desk->m_width > 0 && desk->m_height > 0) {
        fullscreen = 1;
        rt_app_SetDeviceWindow(desk->m_width, desk->m_height, 1);
    } else {
        fullscreen = 0; // without a desktop size there is only the window
        rt_app_SetDeviceWindow(640, 480, 0);
    }
    return 0;
}

// The television overscan setting: a label, a bar and a marker. Pressing the bar jumps between the two
// ends; the shoulder buttons step by 16. `boxLatch` says whether the options box's own key latch
// paces the shoulder buttons (the pause screen uses the menu's).
int c_MyApp::p_OverscanLine(float cx, float y, int boxLatch) {
    p_SetRot(0);
    p_SetSize(2);
    p_SetCol(255, 255, 255, 1);
    String icon = String::FromChar(0xAC); // "¬" and a letter draw a button icon
    p_Text(cx, y, icon + String("U <      Overscan      > ") + icon + String("O"), 1, 1, 0);
    p_SetSize(1);
    p_Rect(cx - 128, y + 14, 256, 9);
    p_Rect(cx - 132 + opt[14] * 2.67f, y + 10, 8, 16);

    if (p_MouseIn(cx - 128, y + 10, 256, 16) && pointerLatch == 0) {
        p_PlaySFX(98, 1, 1, 0);
        opt[14] = opt[14] >= 32 ? 1 : 96;
        pointerLatch = 1;
    }
    int &latch = boxLatch ? optKeyLatch : keyLatch;
    if (latch == 0) {
        if (p_PlayKeyAll(14, 0) > 0) {
            opt[14] -= 16;
            latch = 1;
        } else if (p_PlayKeyAll(15, 0) > 0) {
            opt[14] += 16;
            latch = 1;
        }
    }
    opt[14] = std::clamp(opt[14], 1, 96);
    rt_Brinefall_overscan = static_cast<float>(opt[14]);
    return 0;
}

int c_MyApp::p_CloseOptions() {
    optionsOpen = 0;
    p_PlaySFX(99, 1, 1, 0);
    p_Save();
    keyLatch = pointerLatch = 1;
    optKeyLatch = optPointerLatch = 1;
    return 0;
}

int c_MyApp::p_OptionChoose(int row) {
    switch (row) {
    case 1:
        if (rt_Brinefall_HasMusicStream == 1) {
            int mode = opt[5] >= 0 && opt[5] <= 3 ? opt[5] : 0;
            opt[5] = (mode + 1) % 4;
            if (opt[5] == 0 || opt[5] == 2)
                p_StopTune();
            else if (gameMode == 10)
                p_PlayTune(String("-1"), 1);
        } else {
            opt[5] = opt[5] == 1 ? 0 : 1;
        }
        break;
    case 2:
        p_FullscreenFlip();
        break;
    case 3:
        opt[15] = (opt[15] + 1) % 2;
        break;
    case 4:
        opt[16] = (opt[16] + 1) % 2;
        break;
    case 5:
        rtError(String()); // the console's quit line
    default:
        break;
    }
    return 0;
}

// Draws the lines of the box from `top` down and returns the row chosen by a touch, or 0.
int c_MyApp::p_OptionLines(float top) {
    float jscrw = rt_Brinefall_jscrw;
    static const char *const kSound4[] = {"Sound : Off", "Sound : SFX + Music", "Sound : SFX",
                                          "Sound : Music"};
    static const char *const kSound2[] = {"Sound : Off", "Sound : On"};

    String sound;
    int modes = rt_Brinefall_HasMusicStream == 1 ? 4 : 2;
    if (opt[5] >= 0 && opt[5] < modes) {
        sound = String(modes == 4 ? kSound4[opt[5]] : kSound2[opt[5]]);
    } else {
        opt[5] = 0; // an unknown saved mode shows nothing once, then reads as off
    }
    String texts[4] = {
        sound,
        String(fullscreen ? "Windowed" : "Fullscreen"),
        String(opt[15] != 0 ? "Left Thumbstick Y Normal" : "Left Thumbstick Y Flipped"),
        String(opt[16] != 0 ? "Right Thumbstick Y Normal" : "Right Thumbstick Y Flipped"),
    };

    int touched = 0;
    p_SetRot(0);
    for (int row = 1; row <= 4; ++row) {
        float y = top + 40.0f * (row - 1);
        p_SetSize(1);
        if (optRow == row)
            p_SetCol(0, 180, 255, 0.5f);
        else
            p_SetCol(0, 0, 160, 0.5f);
        if (p_Touch(84, y - 2, jscrw - 168, 24)) touched = row;
        p_SetSize(2);
        p_SetCol(255, 255, 255, 1);
        p_Text(100, y, texts[row - 1], 0, 0, 0);
    }
    if (rt_Brinefall_isOuya == 1 && paused == 0) {
        float y = top + 40.0f * 4 + (landscape ? 40 : 80);
        p_SetSize(1);
        if (optRow == 5)
            p_SetCol(0, 180, 255, 0.5f);
        else
            p_SetCol(0, 0, 160, 0.5f);
        if (p_Touch(jscrw - 280, y - 2, 180, 24)) touched = 5;
        p_SetSize(2);
        p_SetCol(255, 255, 255, 1);
        p_Text(jscrw - 264, y, String("Quit"), 0, 0, 0);
    }
    return touched;
}

int c_MyApp::p_OptionBox() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    int t = optionsTimer;
    int lastRow = rt_Brinefall_isOuya == 1 && paused == 0 ? 5 : 4;
    if (optRow > lastRow) optRow = lastRow;

    p_ResetDraw();
    if (rt_Brinefall_isOuya == 1) { // corner marks for setting up the television border
        p_Rect(0, 0, 16, 8);
        p_Rect(0, 0, 8, 16);
        p_Rect(jscrw - 16, 0, 16, 8);
        p_Rect(jscrw - 8, 0, 8, 16);
        p_Rect(0, jscrh - 8, 16, 8);
        p_Rect(0, jscrh - 16, 8, 16);
        p_Rect(jscrw - 16, jscrh - 8, 16, 8);
        p_Rect(jscrw - 8, jscrh - 16, 8, 16);
    }

    keyLatch = pointerLatch = 1;
    if (t != 30) optKeyLatch = optPointerLatch = 1; // nothing acts while the box is still moving

    p_SetCol(150, 75, 0, 0.85f);
    p_Rect(50, (30.0f - t) * 24, jscrw - 100, jscrh);

    // The back gear.
    gearAngle += 0.2f;
    float gx = (3.0f * t - 90) * 4 + 100, gy = 60;
    float gs = optRow == 0 ? 2.0f : 1.5f;
    p_SetCol(255, 255, 255, 1);
    p_SetSize(gs);
    p_SetRot(-0.66f * gearAngle);
    p_DrawImg(95, gx, gy, 8);
    p_SetRot(-0.33f * gearAngle);
    p_DrawImg(95, gx, gy, 9);
    p_SetRot(-gearAngle);
    p_DrawImg(95, gx, gy, 10);
    p_SetRot(0);
    p_SetSize(2);
    p_Text(gx + 76, gy, String("<[BACK]"), 0, 1, 0);
    float gw = imgInfo[95 * 3] * imgScale * gs, gh = imgInfo[95 * 3 + 1] * imgScale * gs;
    if ((p_MouseIn_Centered(gx, gy, gw, gh) || p_PlayKeyAll(99, 0) > 0) && optKeyLatch == 0 &&
        optPointerLatch == 0) {
        p_CloseOptions();
    }

    float top = (30.0f - t) * 24 + 130;
    if (rt_Brinefall_isOuya == 1) p_OverscanLine(0.6f * jscrw, top + 40.0f * 4, 1);

    int touched = p_OptionLines(top);
    if (touched > 0) optRow = touched;
    int chosen = touched;
    if (chosen == 0 && optRow > 0) {
        for (int action = 10; action <= 15; ++action)
            if (p_PlayKeyAll(action, 0) > 0) chosen = optRow;
    }
    if (chosen > 0 && optKeyLatch == 0 && optPointerLatch == 0) {
        optKeyLatch = optPointerLatch = 1;
        p_PlaySFX(99, 1, 1, 0);
        p_OptionChoose(chosen);
    }

    // Keyboard cursor. Fire on the back gear closes the box as a press on it does: both latches clear.
    if (optKeyLatch == 0) {
        if (optRow == 0 && optPointerLatch == 0 &&
            (p_PlayKeyAll(10, 0) > 0 || p_PlayKeyAll(11, 0) > 0 || p_PlayKeyAll(15, 0) > 0)) {
            p_CloseOptions();
        } else if (p_PlayKeyAll(0, 1) > 0 || p_PlayKeyAll(3, 1) > 0) {
            optRow = std::max(optRow - 1, 0);
            p_PlaySFX(99, 1, 1, 0);
            optKeyLatch = 1;
        } else if (p_PlayKeyAll(8, 1) > 0 || p_PlayKeyAll(5, 1) > 0) {
            optRow = std::min(optRow + 1, lastRow);
            p_PlaySFX(99, 1, 1, 0);
            optKeyLatch = 1;
        }
    }
    bool anyKey = false;
    for (int action : kBoxKeys)
        if (p_PlayKeyAll(action, 1) > 0) anyKey = true;
    if (!anyKey) optKeyLatch = 0;
    if (mouseDown == 0) optPointerLatch = 0;
    p_ResetDraw();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Pause screen.

int c_MyApp::p_PauseToy() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;
    float big = std::min(0.45f * jscrh, 0.45f * (jscrw - 96));
    if (p_PlayKeyAll(0, 1) > 0) toyRadius += 1;
    if (p_PlayKeyAll(8, 1) > 0) toyRadius -= 1;
    toyRadius = std::clamp(toyRadius, 0.0f, big);
    if (p_PlayKeyAll(3, 1) > 0) toySpeed -= 0.25f;
    if (p_PlayKeyAll(5, 1) > 0) toySpeed += 0.25f;
    toySpeed = std::clamp(toySpeed, 0.0f, 128.0f);

    toyAngleA = std::fmod(toyAngleA + 1, 360.0f);
    toyAngleB = std::fmod(toyAngleB + toySpeed, 360.0f);
    toyHue = std::fmod(toyHue + 1.5f, 360.0f);

    float cx = jscrw / 2 + 96, cy = jscrh / 2;
    toyPoints[202] = cx + sinDeg(toyAngleA) * (big - toyRadius) + sinDeg(toyAngleB) * toyRadius;
    toyPoints[203] = cy - cosDeg(toyAngleA) * (big - toyRadius) - cosDeg(toyAngleB) * toyRadius;

    p_ResetDraw();
    for (int i = 0; i <= 100; ++i) {
        float h = toyHue + 2.0f * i;
        auto channel = [](float v) { return static_cast<float>(std::clamp(tide_int(v), 0, 255)); };
        p_SetCol(channel(i + i * sinDeg(h)), channel(i + i * cosDeg(h)), channel(i - i * cosDeg(h)), 1);
        float x1 = toyPoints[2 * i], y1 = toyPoints[2 * i + 1];
        float x2 = toyPoints[2 * i + 2], y2 = toyPoints[2 * i + 3];
        p_Line(x1, y1, x2, y2);
        p_Line(x1 - 0.5f, y1 - 0.5f, x2 - 0.5f, y2 - 0.5f);
        toyPoints[2 * i] = x2;
        toyPoints[2 * i + 1] = y2;
    }
    p_SetCol(100, 255, 100, 0.8f);
    p_Text(jscrw - 8, jscrh - 8, String(tide_int(toySpeed)) + String(":") + String(tide_int(toyRadius)), 2, 2,
           0);
    return 0;
}

int c_MyApp::p_PauseChoose(int item, int byPointer) {
    if (item == 0) {
        pauseMenuOn = -1;
        p_PlaySFX(98, 1, 0.5f, 0);
    } else if (item == -1) {
        paused = 0;
        pauseMenuOn = -1;
        pauseMenuY = -64;
        gameOver = 1;
        quitGame = -1;
        p_PlaySFX(98, 0.5f, 0.5f, 0);
    } else {
        optionsOpen = 1;
        if (byPointer)
            p_PlaySFX(99, 1, 1, 0);
        else
            p_PlaySFX(98, 1, 0.5f, 0);
    }
    if (byPointer)
        pointerLatch = 1;
    else
        keyLatch = 1;
    return 0;
}

int c_MyApp::p_PauseMenu() {
    float jscrw = rt_Brinefall_jscrw, jscrh = rt_Brinefall_jscrh;

    p_DoBG(-123, -123, -123, -123);
    p_SetCol(0, 0, 0, std::fabs(static_cast<float>(pauseMenuY)) / (0.8f * jscrh));
    p_Rect(0, 0, jscrw, jscrh);

    if (pauseMenuOn == 1) {
        pauseMenuY = std::min(pauseMenuY + 24, tide_int(jscrh / 2));
    } else if (pauseMenuOn == -1) {
        pauseMenuY -= 24;
        if (pauseMenuY < -32) {
            paused = 0;
            p_ResetSteering();
        }
    }

    p_PauseToy();
    p_SetSize(4);
    p_SetCol(255, 255, 255, 1);
    p_Text(jscrw / 2 + 96, jscrh / 2, String("PAUSED"), 1, 1, 0);

    if (rt_Brinefall_isOuya == 1) p_OverscanLine(jscrw / 2, pauseMenuY - 150.0f, 0);

    // The three buttons slide in from the left with the screen.
    float x0 = 64 - (jscrh / 2 - pauseMenuY);
    float rx = x0, ry = 196, qx = x0, qy = 96, ox = x0, oy = 296;
    if (!landscape) {
        qx = jscrw / 2 - 96;
        qy = pauseMenuY - 24.0f;
        ox = jscrw / 2 + 96;
        oy = pauseMenuY - 96.0f;
    }
    p_ResetDraw();
    p_SetSize(2);
    int hitResume = p_Button(97, rx, ry, 3);
    int hitQuit = p_Button(97, qx, qy, 1);
    p_SetSize(1);
    float spinA = optionsOpen ? 0 : gearAngle;
    if (optionsOpen == 0) gearAngle += 0.2f;
    p_SetRot(-0.66f * spinA);
    int hitOptions = p_Button(95, ox, oy, 8);
    p_SetRot(-0.33f * spinA);
    p_DrawImg(95, ox, oy, 9);
    p_SetRot(-spinA);
    p_DrawImg(95, ox, oy, 10);
    p_SetRot(0);

    float cx = pauseSel == -1 ? qx : pauseSel == 1 ? ox : rx;
    float cy = pauseSel == -1 ? qy : pauseSel == 1 ? oy : ry;
    p_SetSize(2.5f);
    p_SetCol(255, 255, 100, 1);
    p_DrawImg(97, cx, cy, 6);
    p_ResetDraw();

    if (pointerLatch == 0 && mouseDown > 0) {
        if (hitResume) {
            pauseSel = 0;
            p_PauseChoose(0, 1);
        } else if (hitQuit) {
            pauseSel = -1;
            p_PauseChoose(-1, 1);
        } else if (hitOptions) {
            pauseSel = 1;
            p_PauseChoose(1, 1);
        }
    }
    if (keyLatch == 0) {
        if (p_PlayKeyAll(10, 0) > 0) {
            p_PauseChoose(pauseSel, 0);
        } else if (p_PlayKeyAll(99, 0) > 0) {
            p_PauseChoose(0, 0);
        } else if (p_PlayKeyAll(0, 1) > 0) {
            pauseSel = std::max(pauseSel - 1, -1);
            p_PlaySFX(99, 0.8f, 0.5f, 0);
            keyLatch = 1;
        } else if (p_PlayKeyAll(8, 1) > 0) {
            pauseSel = std::min(pauseSel + 1, 1);
            p_PlaySFX(99, 1.2f, 0.5f, 0);
            keyLatch = 1;
        }
    }
    return 0;
}
