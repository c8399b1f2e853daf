// Player controls: game actions folded from the keyboard, four joysticks, thumbsticks and an iCade
// cabinet; the analogue steering; the pointer as the game sees it; the touch pad and tilt controls.
#include <cmath>

#include "game/myapp.h"
#include "input/input.h"

namespace {

// A key counts as held in an update when it is down now or was hit since the last update: a tap that
// begins and ends between two updates still acts once, and a held key behaves as it always did.
bool keyHeld(int key) { return rt_input_KeyDown(key) != 0 || rt_input_KeyHit(key) > 0; }

// Pointer position in virtual pixels. Before the first frame is rendered there is no scale yet; the
// device pixels are taken as they are instead of dividing by zero.
int toVirtual(float device, float offset, float scale) {
    return tide_int((device - offset) / (scale > 0 ? scale : 1));
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Game actions.

int c_MyApp::p_PlayKey(int action, int analogue, int joy) {
    if (joy < -1 || joy > 3) return 0;
    const bool pad = joy >= 0;
    auto button = [&](int b) {
        return pad && (rt_input_JoyDown(b, joy) != 0 || rt_input_JoyHit(b, joy) > 0);
    };
    auto entry = [&](int i) { return iCadeState[i] != 0; };

    if (rt_Brinefall_iCadeControls == 1) {
        // The cabinet types letters, so only keys without letters count.
        switch (action) {
        case 0:
            return keyHeld(38) || button(9) || entry(0);
        case 3:
            return keyHeld(37) || button(8) || entry(3);
        case 5:
            return keyHeld(39) || button(10) || entry(5);
        case 8:
            return keyHeld(40) || button(11) || entry(8);
        case 10:
            return keyHeld(32) || keyHeld(13) || button(0) || entry(10);
        case 11:
            return keyHeld(17) || button(1) || entry(11);
        case 12:
            return keyHeld(16) || button(2) || entry(12);
        case 13:
        case 14:
        case 15:
            if (!pad) return iCadeState[action];
            return button(action - 10) || entry(action);
        case 99:
            return keyHeld(27) || keyHeld(46) || keyHeld(8) || button(6) || button(7) || button(14) ||
                   entry(16) || entry(17) || entry(19);
        default:
            return 0;
        }
    }
    if (rt_Brinefall_iCadeControls != 0) return 0;

    const bool stick = pad && analogue == 1;
    switch (action) {
    case 0:
        return keyHeld(38) || keyHeld(87) || button(9) || (stick && p_StickY(0, joy) < -0.4f) || entry(0);
    case 3:
        return keyHeld(37) || keyHeld(65) || button(8) || (stick && rt_input_JoyX(0, joy) < -0.4f) ||
               entry(3);
    case 5:
        return keyHeld(39) || keyHeld(68) || button(10) || (stick && rt_input_JoyX(0, joy) > 0.4f) ||
               entry(5);
    case 8:
        return keyHeld(40) || keyHeld(83) || button(11) || (stick && p_StickY(0, joy) > 0.4f) || entry(8);
    case 10:
        return keyHeld(90) || keyHeld(74) || keyHeld(32) || keyHeld(13) || button(0) || entry(10);
    case 11:
        return keyHeld(88) || keyHeld(75) || keyHeld(17) || button(1) || entry(11);
    case 12:
        return keyHeld(67) || keyHeld(76) || keyHeld(16) || button(2) || entry(12);
    case 13:
        return keyHeld(86) || keyHeld(73) || button(3) || entry(13);
    case 14:
        return keyHeld(66) || keyHeld(85) || button(4) || entry(14);
    case 15:
        return keyHeld(78) || keyHeld(79) || button(5) || entry(15);
    case 98:
    case 99:
        if (rt_Brinefall_isOuya == 1) {
            if (!pad) return action == 99 ? iCadeState[19] : 0;
            return keyHeld(27) || entry(19) || button(6) || (action == 99 && button(7));
        }
        if (rt_Brinefall_isOuya != 0) return 0;
        if (!pad && action == 98) return 0;
        return keyHeld(27) || keyHeld(192) || keyHeld(46) || keyHeld(8) || button(6) || button(7) ||
               button(14) || entry(16) || entry(17) || entry(19);
    default:
        return 0;
    }
}

int c_MyApp::p_PlayKeyAll(int action, int analogue) {
    int n = 0;
    for (int joy = 0; joy < 4; ++joy)
        n += p_PlayKey(action, analogue, joy);
    return n;
}

float c_MyApp::p_StickX(int stick, int joy) {
    if (joy < 0 || joy > 3 || stick < 0 || stick > 1) return 0;
    return rt_input_JoyX(stick, joy);
}

float c_MyApp::p_StickY(int stick, int joy) {
    if (joy < 0 || joy > 3 || stick < 0 || stick > 1) return 0;
    float y = rt_input_JoyY(stick, joy);
    return opt[15 + stick] != 0 ? y : -y;
}

// ---------------------------------------------------------------------------------------------
// Steering.

// A fight, and a fight resumed from the pause screen, starts with no pointer stick and no ramped keys, so
// nothing of an earlier press steers it.
int c_MyApp::p_ResetSteering() {
    pointerAnchorX = -1;
    pointerAnchorY = 0;
    keyRampX = keyRampY = 0;
    joyX = joyY = 0;
    return 0;
}

int c_MyApp::p_AnalogueControl() {
    joyX = joyY = 0;

    // A virtual stick: where the press began is its centre.
    if (mouseDown == 0) pointerAnchorX = -1;
    if (mouseDown > 0) {
        if (pointerAnchorX < 0) {
            pointerAnchorX = mouseX;
            pointerAnchorY = mouseY;
        } else {
            joyX = (mouseX - pointerAnchorX) / 72.0f;
            joyY = (mouseY - pointerAnchorY) / 72.0f;
            if (std::fabs(joyX) < 0.1f && std::fabs(joyY) < 0.1f) joyX = joyY = 0;
            // The centre creeps after a pointer that strays far, so steering never runs out of room.
            if (mouseX - pointerAnchorX > 64)
                pointerAnchorX += 4;
            else if (pointerAnchorX - mouseX > 64)
                pointerAnchorX -= 4;
            if (mouseY - pointerAnchorY > 64)
                pointerAnchorY += 4;
            else if (pointerAnchorY - mouseY > 64)
                pointerAnchorY -= 4;
        }
        p_SetCol(0, 100, 250, 0.25f);
        p_Oval(pointerAnchorX, pointerAnchorY, 12, 12);
        p_Oval(mouseX, mouseY, 8, 8);
    }

    float x = rt_input_JoyX(0, 0);
    float y = rt_input_JoyY(0, 0);
    if (opt[15] == 0) y = -y;
    if (std::fabs(x) > 0.2f || std::fabs(y) > 0.2f) {
        joyX = x;
        joyY = y;
    }

    // Digital keys ramp in over 7 updates and spring back over 5.
    if (p_PlayKey(0, 0, 0)) {
        keyRampY -= 0.15f;
        joyY = keyRampY;
    } else if (keyRampY < 0) {
        keyRampY = std::fmin(keyRampY + 0.2f, 0.0f);
        joyY = keyRampY;
    }
    if (p_PlayKey(8, 0, 0)) {
        keyRampY += 0.15f;
        joyY = keyRampY;
    } else if (keyRampY > 0) {
        keyRampY = std::fmax(keyRampY - 0.2f, 0.0f);
        joyY = keyRampY;
    }
    if (p_PlayKey(3, 0, 0)) {
        keyRampX -= 0.15f;
        joyX = keyRampX;
    } else if (keyRampX < 0) {
        keyRampX = std::fmin(keyRampX + 0.2f, 0.0f);
        joyX = keyRampX;
    }
    if (p_PlayKey(5, 0, 0)) {
        keyRampX += 0.15f;
        joyX = keyRampX;
    } else if (keyRampX > 0) {
        keyRampX = std::fmax(keyRampX - 0.2f, 0.0f);
        joyX = keyRampX;
    }

    joyX = std::fmax(-1.0f, std::fmin(1.0f, joyX));
    joyY = std::fmax(-1.0f, std::fmin(1.0f, joyY));
    keyRampX = std::fmax(-1.0f, std::fmin(1.0f, keyRampX));
    keyRampY = std::fmax(-1.0f, std::fmin(1.0f, keyRampY));

    if (rt_Brinefall_DebugMode == 1 && (std::fabs(joyX) > 0.05f || std::fabs(joyY) > 0.05f)) {
        float cx = rt_Brinefall_jscrw - 64, cy = rt_Brinefall_jscrh - 64;
        p_SetCol(0, 180, 250, 0.5f);
        p_Oval(cx, cy, 12, 12);
        p_Oval(cx + 52 * joyX, cy + 52 * joyY, 8, 8);
    }
    p_ResetDraw();
    return 0;
}

// ---------------------------------------------------------------------------------------------
// iCade cabinet.

int c_MyApp::p_iCade(int on) {
    if (on == 1) {
        rt_input_EnableKeyboard();
        rt_Brinefall_iCadeControls = 1;
        do {
            iCadeChar = rt_input_GetChar();
        } while (iCadeChar != 0);
    } else if (on == 0) {
        rt_input_DisableKeyboard();
        for (int i = 0; i <= 18; ++i)
            iCadeState[i] = 0;
        rt_Brinefall_iCadeControls = 0;
    }
    return 0;
}

int c_MyApp::p_iCadeLetter(int ch) {
    // Each control sends one letter when pressed and another when released; case does not matter.
    static const char kPress[] = "WXADYUIOHJKL";
    static const char kRelease[] = "EZQCTFMGRNPV";
    static const int kEntry[] = {0, 8, 3, 5, 13, 14, 15, 16, 10, 11, 12, 17};
    if (ch >= 'a' && ch <= 'z') ch -= 'a' - 'A';
    for (int i = 0; i < 12; ++i) {
        if (ch == kPress[i])
            iCadeState[kEntry[i]] = 2;
        else if (ch == kRelease[i])
            iCadeState[kEntry[i]] = 0;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// The pointer and the fingers, in virtual pixels.

int c_MyApp::p_ReadPointer() {
    mouseStartX = mouseX;
    mouseStartY = mouseY;
    const float ox = originX, oy = originY;
    mouseX = toVirtual(rt_input_MouseX(), ox, scaleX);
    mouseY = toVirtual(rt_input_MouseY(), oy, scaleY);
    // As with keys, a click shorter than an update counts as held for the update that sees it.
    mouseDown = rt_input_MouseDown(0) || rt_input_MouseHit(0) > 0 ? 1 : 0;
    if (mouseDown && mouseDownOld == 0) {
        mouseStartX = mouseX;
        mouseStartY = mouseY;
    }
    mouseHit = rt_input_MouseHit(0);
    for (int i = 0; i < 10; ++i) {
        if (rt_Brinefall_isOuya == 0 && (rt_input_TouchDown(i) || rt_input_KeyHit(384 + i) > 0)) {
            touchDown[i] = 1;
            touchX[i] = toVirtual(rt_input_TouchX(i), ox, scaleX);
            touchY[i] = toVirtual(rt_input_TouchY(i), oy, scaleY);
            mouseDown = 1;
        } else {
            touchDown[i] = 0;
            touchX[i] = touchY[i] = -3717;
        }
    }
    mouseDownOld = mouseDown;
    if (mouseDown == 0) pointerLatch = 0;
    if (pointerCooldown > 0) --pointerCooldown;
    if (rt_Brinefall_isOuya == 1) {
        mouseX = mouseY = mouseStartX = mouseStartY = 0;
        mouseDown = mouseDownOld = mouseHit = 0;
        ctrlScheme = 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// On-screen touch pad and tilt.

int c_MyApp::p_TouchPad() {
    float w = rt_Brinefall_jscrw, h = rt_Brinefall_jscrh;
    opt[10] = tide_int(std::fmax(32.0f, std::fmin(w - 32, static_cast<float>(opt[10]))));
    opt[11] = tide_int(std::fmax(32.0f, std::fmin(h - 32, static_cast<float>(opt[11]))));
    opt[12] = opt[12] < 8 ? 8 : opt[12] > 25 ? 25 : opt[12];
    padX = opt[10];
    padY = tide_int(h - opt[11]);
    padScale = opt[12] / 10.0f;

    p_SetRot(0);
    p_SetCol(255, 255, 255, 0.6f);
    drawBlend = 1;
    p_SetSize(padScale);
    float d = 32 * padScale;
    static const int kFrames[] = {4, 1, 9, 6};
    static const int kEntries[] = {3, 0, 8, 5};
    const float dx[] = {-d, 0, 0, d}, dy[] = {0, -d, d, 0};
    for (int k = 0; k < 4; ++k)
        if (p_Button(94, padX + dx[k], padY + dy[k], kFrames[k]) && paused == 0) iCadeState[kEntries[k]] = 1;
    p_DrawImg(94, padX, padY, 5);

    if (paused != 0) {
        // While paused the pad can be moved with one finger and resized by pinching with two.
        p_SetSize(3);
        if (p_Button0(94, padX, padY, 5) && touchDown[1] == 0) {
            opt[10] = touchX[0];
            opt[11] = tide_int(h - touchY[0]);
        }
        if (touchDown[1] != 0) {
            int spread = -(std::abs(touchX[0] - touchX[1]) / 16);
            if (pinchOn) opt[12] += pinchLast - spread;
            pinchLast = spread;
            pinchOn = 1;
        } else {
            pinchOn = pinchLast = 0;
        }
    }

    p_SetSize(1.5f * padScale);
    if (p_Button(94, w - (padX - 24 * padScale), padY - 24 * padScale, 0)) iCadeState[10] = 1;
    if (p_Button(94, w - (padX + 24 * padScale), padY + 24 * padScale, 0)) iCadeState[11] = 1;
    p_ResetDraw();
    return 0;
}

int c_MyApp::p_TiltControl() {
    if (rt_Brinefall_iCadeControls == 1) {
        tiltX = tiltY = tiltSmoothX = tiltSmoothY = 0;
        return 0;
    }
    float ax = rt_input_AccelX(), ay = rt_input_AccelY();
    tiltX = ax - tiltZeroX;
    tiltY = ay - tiltZeroY;
    tiltSmoothX += (tiltX - tiltSmoothX) / 4;
    if (std::fabs(tiltX - tiltSmoothX) < 0.005f) tiltSmoothX = tiltX;
    tiltSmoothY += (tiltY - tiltSmoothY) / 4;
    if (std::fabs(tiltY - tiltSmoothY) < 0.005f) tiltSmoothY = tiltY;

    float h = rt_Brinefall_jscrh;
    p_ResetDraw();
    p_SetSize(1.5f);
    p_Alpha(0.8f);
    if (p_Button(97, 24, h - 24, 7)) {
        tiltZeroX = ax;
        tiltZeroY = ay;
    }
    p_SetSize(1);
    p_SetCol(100, 255, 100, 0.6f);
    p_Oval(24 + 20 * tiltSmoothX, h - 24 + 20 * tiltSmoothY, 4, 4);
    p_ResetDraw();
    return 0;
}
