#include "input/input.h"

#include "host/rtgame.h"

c_InputDevice *rt_input_device;
static gc_root root_input_device(rt_input_device);

c_JoyState *c_JoyState::m_new() {
    gc_assign(m_joyx, Array<float>(2));
    gc_assign(m_joyy, Array<float>(2));
    gc_assign(m_joyz, Array<float>(2));
    gc_assign(m_buttons, Array<bool>(32));
    return this;
}

void c_JoyState::mark() {
    gc_mark_q(m_joyx);
    gc_mark_q(m_joyy);
    gc_mark_q(m_joyz);
    gc_mark_q(m_buttons);
}

c_InputDevice::c_InputDevice() {
    gc_assign(m_joyStates, Array<c_JoyState *>(JoyPorts));
    gc_assign(m_keyDown, Array<bool>(KeyCount));
    gc_assign(m_keyHitQueue, Array<int>(HitQueueLength));
    gc_assign(m_keyHit, Array<int>(KeyCount));
    gc_assign(m_charQueue, Array<int>(CharQueueLength));
    gc_assign(m_touchX, Array<float>(TouchCount));
    gc_assign(m_touchY, Array<float>(TouchCount));
}

c_InputDevice *c_InputDevice::m_new() {
    for (int i = 0; i < JoyPorts; ++i)
        gc_assign(m_joyStates[i], (new c_JoyState)->m_new());
    return this;
}

void c_InputDevice::mark() {
    gc_mark_q(m_joyStates);
    gc_mark_q(m_keyDown);
    gc_mark_q(m_keyHitQueue);
    gc_mark_q(m_keyHit);
    gc_mark_q(m_charQueue);
    gc_mark_q(m_touchX);
    gc_mark_q(m_touchY);
}

static bool valid_key(int key) { return key >= 1 && key < c_InputDevice::KeyCount; }

void c_InputDevice::p_BeginUpdate() {
    for (int port = 0; port < JoyPorts; ++port) {
        c_JoyState *state = m_joyStates[port];
        if (!state) break;
        if (!RtGame::_game->PollJoystick(port, state->m_joyx, state->m_joyy, state->m_joyz,
                                         state->m_buttons)) {
            // No pad here (nor on the later ports): one that was unplugged reads as a pad left alone,
            // its sticks centred, its triggers and buttons up.
            for (int rest = port; rest < JoyPorts; ++rest) {
                c_JoyState *gone = m_joyStates[rest];
                for (int i = 0; i < 2; ++i)
                    gone->m_joyx[i] = gone->m_joyy[i] = gone->m_joyz[i] = 0;
                for (int b = 0; b < 32; ++b) {
                    gone->m_buttons[b] = false;
                    m_keyDown[rt_input_KeyJoystick0 + rest * 32 + b] = false;
                }
            }
            break;
        }
        for (int b = 0; b < 32; ++b) {
            int key = rt_input_KeyJoystick0 + port * 32 + b;
            if (!state->m_buttons[b]) {
                m_keyDown[key] = false;
            } else if (!m_keyDown[key]) {
                m_keyDown[key] = true;
                p_PutKeyHit(key);
            }
        }
    }
}

void c_InputDevice::p_EndUpdate() {
    for (int i = 0; i < m_keyHitCount; ++i)
        m_keyHit[m_keyHitQueue[i]] = 0;
    m_keyHitCount = 0;
    m_charGet = 0;
    m_charPut = 0;
}

void c_InputDevice::p_PutKeyHit(int key) {
    if (!valid_key(key)) return;
    if (m_keyHitCount == m_keyHitQueue.Length()) return;
    m_keyHit[key] += 1;
    m_keyHitQueue[m_keyHitCount] = key;
    m_keyHitCount += 1;
}

// Touch 0 and the left mouse button are one pointer: each press or release of one is also the other's.
void c_InputDevice::KeyDownEvent(int key) {
    if (!valid_key(key) || m_keyDown[key]) return;
    m_keyDown[key] = true;
    p_PutKeyHit(key);
    if (key == rt_input_KeyMouseLeft) {
        m_keyDown[rt_input_KeyTouch0] = true;
        p_PutKeyHit(rt_input_KeyTouch0);
    } else if (key == rt_input_KeyTouch0) {
        m_keyDown[rt_input_KeyMouseLeft] = true;
        p_PutKeyHit(rt_input_KeyMouseLeft);
    }
}

void c_InputDevice::KeyUpEvent(int key) {
    if (!valid_key(key)) return;
    m_keyDown[key] = false;
    if (key == rt_input_KeyMouseLeft)
        m_keyDown[rt_input_KeyTouch0] = false;
    else if (key == rt_input_KeyTouch0)
        m_keyDown[rt_input_KeyMouseLeft] = false;
}

void c_InputDevice::p_KeyEvent(int event, int data) {
    switch (event) {
    case rt_input_EventKeyDown:
        KeyDownEvent(data);
        break;
    case rt_input_EventKeyUp:
        KeyUpEvent(data);
        break;
    case rt_input_EventKeyChar:
        if (m_charPut < m_charQueue.Length()) m_charQueue[m_charPut++] = data;
        break;
    default:
        break;
    }
}

void c_InputDevice::p_MouseEvent(int event, int data, float x, float y) {
    switch (event) {
    case rt_input_EventMouseDown:
        KeyDownEvent(data + 1);
        break;
    case rt_input_EventMouseUp:
        KeyUpEvent(data + 1);
        return;
    case rt_input_EventMouseMove:
        break;
    default:
        return;
    }
    m_mouseX = x;
    m_mouseY = y;
    m_touchX[0] = x;
    m_touchY[0] = y;
}

void c_InputDevice::p_TouchEvent(int event, int data, float x, float y) {
    if (data < 0 || data >= TouchCount) return;
    switch (event) {
    case rt_input_EventTouchDown:
        KeyDownEvent(rt_input_KeyTouch0 + data);
        break;
    case rt_input_EventTouchUp:
        KeyUpEvent(rt_input_KeyTouch0 + data);
        return;
    case rt_input_EventTouchMove:
        break;
    default:
        return;
    }
    m_touchX[data] = x;
    m_touchY[data] = y;
    if (data == 0) {
        m_mouseX = x;
        m_mouseY = y;
    }
}

void c_InputDevice::p_MotionEvent(int event, int, float x, float y, float z) {
    if (event != rt_input_EventMotionAccel) return;
    m_accelX = x;
    m_accelY = y;
    m_accelZ = z;
}

bool c_InputDevice::p_KeyDown(int key) { return valid_key(key) && m_keyDown[key]; }

int c_InputDevice::p_KeyHit(int key) { return valid_key(key) ? m_keyHit[key] : 0; }

int c_InputDevice::p_GetChar() {
    if (m_charGet == m_charPut) return 0;
    return m_charQueue[m_charGet++];
}

float c_InputDevice::p_TouchX(int index) { return index >= 0 && index < TouchCount ? m_touchX[index] : 0; }

float c_InputDevice::p_TouchY(int index) { return index >= 0 && index < TouchCount ? m_touchY[index] : 0; }

static c_JoyState *joy_state(c_InputDevice *device, int index, int unit) {
    if (index < 0 || index > 1 || unit < 0 || unit >= c_InputDevice::JoyPorts) return nullptr;
    return device->m_joyStates[unit];
}

float c_InputDevice::p_JoyX(int index, int unit) {
    c_JoyState *state = joy_state(this, index, unit);
    return state ? state->m_joyx[index] : 0;
}

float c_InputDevice::p_JoyY(int index, int unit) {
    c_JoyState *state = joy_state(this, index, unit);
    return state ? state->m_joyy[index] : 0;
}

bool c_InputDevice::p_SetKeyboardEnabled(bool enabled) {
    RtGame::_game->SetKeyboardEnabled(enabled);
    return true;
}

int rt_input_SetInputDevice(c_InputDevice *device) {
    gc_assign(rt_input_device, device);
    return 0;
}

int rt_input_KeyDown(int key) { return rt_input_device->p_KeyDown(key) ? 1 : 0; }
int rt_input_KeyHit(int key) { return rt_input_device->p_KeyHit(key); }
int rt_input_GetChar() { return rt_input_device->p_GetChar(); }

int rt_input_EnableKeyboard() {
    rt_input_device->p_SetKeyboardEnabled(true);
    return 1;
}

int rt_input_DisableKeyboard() {
    rt_input_device->p_SetKeyboardEnabled(false);
    return 1;
}

float rt_input_MouseX() { return rt_input_device->p_MouseX(); }
float rt_input_MouseY() { return rt_input_device->p_MouseY(); }
int rt_input_MouseDown(int button) { return rt_input_KeyDown(button + 1); }
int rt_input_MouseHit(int button) { return rt_input_KeyHit(button + 1); }
int rt_input_TouchDown(int index) { return rt_input_KeyDown(rt_input_KeyTouch0 + index); }
float rt_input_TouchX(int index) { return rt_input_device->p_TouchX(index); }
float rt_input_TouchY(int index) { return rt_input_device->p_TouchY(index); }

// The button and unit bits are or-ed, as the key codes are laid out; anything landing outside the key
// space reads as up.
static int joy_key(int button, int unit) { return button | 256 | (unit << 5); }

int rt_input_JoyDown(int button, int unit) { return rt_input_KeyDown(joy_key(button, unit)); }
int rt_input_JoyHit(int button, int unit) { return rt_input_KeyHit(joy_key(button, unit)); }
float rt_input_JoyX(int index, int unit) { return rt_input_device->p_JoyX(index, unit); }
float rt_input_JoyY(int index, int unit) { return rt_input_device->p_JoyY(index, unit); }
float rt_input_AccelX() { return rt_input_device->p_AccelX(); }
float rt_input_AccelY() { return rt_input_device->p_AccelY(); }
