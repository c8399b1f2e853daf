// The input device: keyboard, mouse, touch, accelerometer and joysticks folded into one key-code space
// (1 to 511) with per-update hit counters, a typed-character queue and pointer positions. The host feeds
// it events between updates; the game reads it through the rt_input_ functions.
#pragma once
#include "runtime/object.h"

// Host event codes, the first argument of the host's KeyEvent / MouseEvent / TouchEvent / MotionEvent.
enum {
    rt_input_EventKeyDown = 1,
    rt_input_EventKeyUp = 2,
    rt_input_EventKeyChar = 3,
    rt_input_EventMouseDown = 4,
    rt_input_EventMouseUp = 5,
    rt_input_EventMouseMove = 6,
    rt_input_EventTouchDown = 7,
    rt_input_EventTouchUp = 8,
    rt_input_EventTouchMove = 9,
    rt_input_EventMotionAccel = 10,
};

// Key codes outside the keyboard's own range.
enum {
    rt_input_KeyMouseLeft = 1,
    rt_input_KeyJoystick0 = 256, // + unit * 32 + button
    rt_input_KeyTouch0 = 384,    // + finger index
    rt_input_KeyBack = 416,
    rt_input_KeyClose = 432,
};

// One joystick as the last poll saw it: two triples of analogue values and 32 buttons.
class c_JoyState : public Object {
  public:
    Array<float> m_joyx;
    Array<float> m_joyy;
    Array<float> m_joyz;
    Array<bool> m_buttons;

    c_JoyState *m_new();
    void mark() override;
};

class c_InputDevice : public Object {
  public:
    static constexpr int KeyCount = 512;
    static constexpr int HitQueueLength = 33;
    static constexpr int CharQueueLength = 32;
    static constexpr int TouchCount = 32;
    static constexpr int JoyPorts = 4;

    Array<c_JoyState *> m_joyStates;
    Array<bool> m_keyDown;
    int m_keyHitCount = 0;
    Array<int> m_keyHitQueue;
    Array<int> m_keyHit;
    int m_charGet = 0;
    int m_charPut = 0;
    Array<int> m_charQueue;
    float m_mouseX = 0;
    float m_mouseY = 0;
    Array<float> m_touchX;
    Array<float> m_touchY;
    float m_accelX = 0;
    float m_accelY = 0;
    float m_accelZ = 0;

    c_InputDevice();
    c_InputDevice *m_new();

    void p_BeginUpdate();
    void p_EndUpdate();
    void p_KeyEvent(int event, int data);
    void p_MouseEvent(int event, int data, float x, float y);
    void p_TouchEvent(int event, int data, float x, float y);
    void p_MotionEvent(int event, int data, float x, float y, float z);

    void p_PutKeyHit(int key);
    bool p_KeyDown(int key);
    int p_KeyHit(int key);
    int p_GetChar();
    float p_MouseX() { return m_mouseX; }
    float p_MouseY() { return m_mouseY; }
    float p_TouchX(int index);
    float p_TouchY(int index);
    float p_JoyX(int index, int unit);
    float p_JoyY(int index, int unit);
    float p_AccelX() { return m_accelX; }
    float p_AccelY() { return m_accelY; }
    bool p_SetKeyboardEnabled(bool enabled);

    void mark() override;

  private:
    void KeyDownEvent(int key);
    void KeyUpEvent(int key);
};

extern c_InputDevice *rt_input_device;

int rt_input_SetInputDevice(c_InputDevice *device);
int rt_input_KeyDown(int key);
int rt_input_KeyHit(int key);
int rt_input_GetChar();
int rt_input_EnableKeyboard();
int rt_input_DisableKeyboard();
float rt_input_MouseX();
float rt_input_MouseY();
int rt_input_MouseDown(int button);
int rt_input_MouseHit(int button);
int rt_input_TouchDown(int index);
float rt_input_TouchX(int index);
float rt_input_TouchY(int index);
int rt_input_JoyDown(int button, int unit);
int rt_input_JoyHit(int button, int unit);
float rt_input_JoyX(int index, int unit);
float rt_input_JoyY(int index, int unit);
float rt_input_AccelX();
float rt_input_AccelY();
