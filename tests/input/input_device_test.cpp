#include <gtest/gtest.h>

#include <vector>

#include "host/rtgame.h"
#include "input/input.h"
#include "input/joylayout.h"

namespace {

// A host whose joystick ports hold whatever raw devices the test plugs in.
struct RawPad {
    bool present = false;
    float axes[rt_joy_MaxAxes] = {};
    unsigned char buttons[rt_joy_MaxButtons] = {};
    int nAxes = 0;
    int nButtons = 0; // the hats' four buttons each included
    int nHats = 0;
};

class PadHost : public RtGame {
  public:
    RawPad pads[4];
    std::vector<int> polled;

    bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                      Array<bool> buttons) override {
        polled.push_back(port);
        const RawPad &pad = pads[port];
        if (!pad.present) return false;
        rt_joy_Map(pad.axes, pad.nAxes, pad.buttons, pad.nButtons, pad.nHats, joyx, joyy, joyz, buttons);
        return true;
    }
};

class InputDevice : public ::testing::Test {
  protected:
    PadHost host;
    c_InputDevice *dev = nullptr;

    void SetUp() override {
        RtGame::_game = &host;
        dev = (new c_InputDevice)->m_new();
        rt_input_SetInputDevice(dev);
    }
    void TearDown() override {
        rt_input_device = nullptr;
        RtGame::_game = nullptr;
    }

    // One game update with nothing in it but the bracket.
    void update() {
        dev->p_BeginUpdate();
        dev->p_EndUpdate();
    }
    void press(int key) { dev->p_KeyEvent(rt_input_EventKeyDown, key); }
    void release(int key) { dev->p_KeyEvent(rt_input_EventKeyUp, key); }
};

TEST_F(InputDevice, HeldKeyHitsOnceAndStaysDownAcrossUpdates) {
    press(65);
    press(65); // a repeated down while held is no new hit
    dev->p_BeginUpdate();
    EXPECT_EQ(rt_input_KeyHit(65), 1);
    EXPECT_EQ(rt_input_KeyDown(65), 1);
    dev->p_EndUpdate();
    for (int i = 0; i < 3; ++i) {
        dev->p_BeginUpdate();
        EXPECT_EQ(rt_input_KeyHit(65), 0);
        EXPECT_EQ(rt_input_KeyDown(65), 1);
        dev->p_EndUpdate();
    }
    release(65);
    EXPECT_EQ(rt_input_KeyDown(65), 0);
}

TEST_F(InputDevice, PressAndReleaseTwiceBetweenUpdatesCountsTwoHits) {
    press(32);
    release(32);
    press(32);
    release(32);
    EXPECT_EQ(rt_input_KeyHit(32), 2);
    EXPECT_EQ(rt_input_KeyDown(32), 0);
    update();
    EXPECT_EQ(rt_input_KeyHit(32), 0);
}

TEST_F(InputDevice, HitsBeyondTheQueueAreDroppedButKeysStillShowDown) {
    for (int i = 0; i < 33; ++i) {
        press(40 + i);
        release(40 + i);
    }
    press(100); // the 34th hit of this update
    EXPECT_EQ(rt_input_KeyHit(72), 1);
    EXPECT_EQ(rt_input_KeyHit(100), 0);
    EXPECT_EQ(rt_input_KeyDown(100), 1);
    update();
    for (int key = 40; key < 73; ++key)
        ASSERT_EQ(rt_input_KeyHit(key), 0) << key;
    release(100);
    press(100); // the queue is free again after the update
    EXPECT_EQ(rt_input_KeyHit(100), 1);
}

TEST_F(InputDevice, LeftMouseButtonAndFirstTouchMirrorEachOther) {
    dev->p_MouseEvent(rt_input_EventMouseDown, 0, 12, 34);
    EXPECT_EQ(rt_input_KeyDown(1), 1);
    EXPECT_EQ(rt_input_KeyDown(384), 1);
    EXPECT_EQ(rt_input_MouseHit(0), 1);
    EXPECT_EQ(rt_input_KeyHit(384), 1);
    EXPECT_EQ(rt_input_TouchDown(0), 1);
    EXPECT_FLOAT_EQ(rt_input_TouchX(0), 12);
    EXPECT_FLOAT_EQ(rt_input_MouseY(), 34);

    dev->p_MouseEvent(rt_input_EventMouseUp, 0, 99, 99); // a release does not move the pointer
    EXPECT_EQ(rt_input_MouseDown(0), 0);
    EXPECT_EQ(rt_input_TouchDown(0), 0);
    EXPECT_FLOAT_EQ(rt_input_MouseX(), 12);

    dev->p_TouchEvent(rt_input_EventTouchDown, 0, 5, 6);
    EXPECT_EQ(rt_input_MouseDown(0), 1);
    EXPECT_FLOAT_EQ(rt_input_MouseX(), 5);
    dev->p_TouchEvent(rt_input_EventTouchMove, 3, 50, 60); // other fingers leave the mouse alone
    EXPECT_FLOAT_EQ(rt_input_TouchX(3), 50);
    EXPECT_FLOAT_EQ(rt_input_MouseX(), 5);
    dev->p_TouchEvent(rt_input_EventTouchUp, 0, 0, 0);
    EXPECT_EQ(rt_input_MouseDown(0), 0);

    dev->p_MouseEvent(rt_input_EventMouseDown, 1, 0, 0); // the right button is key 2 alone
    EXPECT_EQ(rt_input_KeyDown(2), 1);
    EXPECT_EQ(rt_input_KeyHit(384), 2); // only the two left presses touched key 384
}

TEST_F(InputDevice, MouseMoveUpdatesBothPointers) {
    dev->p_MouseEvent(rt_input_EventMouseMove, -1, 320, 240);
    EXPECT_FLOAT_EQ(rt_input_MouseX(), 320);
    EXPECT_FLOAT_EQ(rt_input_TouchY(0), 240);
    EXPECT_EQ(rt_input_KeyDown(0), 0);
    EXPECT_EQ(dev->p_KeyHit(0), 0);
}

TEST_F(InputDevice, CharacterQueueHoldsThirtyTwoAndEmptiesEachUpdate) {
    for (int i = 0; i < 40; ++i)
        dev->p_KeyEvent(rt_input_EventKeyChar, 'a' + i % 26);
    std::vector<int> got;
    for (int c; (c = rt_input_GetChar()) != 0;)
        got.push_back(c);
    ASSERT_EQ(got.size(), 32u);
    EXPECT_EQ(got[0], 'a');
    EXPECT_EQ(got[31], 'a' + 31 % 26);

    dev->p_KeyEvent(rt_input_EventKeyChar, 'x');
    update();
    EXPECT_EQ(rt_input_GetChar(), 0); // unread characters are dropped at the end of an update
}

TEST_F(InputDevice, OutOfRangeQueriesReadAsNothing) {
    EXPECT_EQ(rt_input_KeyDown(0), 0);
    EXPECT_EQ(rt_input_KeyHit(512), 0);
    EXPECT_EQ(rt_input_KeyHit(-5), 0);
    EXPECT_FLOAT_EQ(rt_input_TouchX(32), 0);
    EXPECT_FLOAT_EQ(rt_input_TouchY(-1), 0);
    EXPECT_FLOAT_EQ(rt_input_JoyX(2, 0), 0);
    EXPECT_FLOAT_EQ(rt_input_JoyY(0, 4), 0);
    EXPECT_EQ(rt_input_JoyDown(0, 16), 0); // lands past key 511
    // Events that would land outside the key space are ignored rather than written anywhere.
    dev->p_MouseEvent(rt_input_EventMouseDown, 600, 0, 0);
    dev->p_TouchEvent(rt_input_EventTouchDown, 40, 0, 0);
    dev->p_KeyEvent(rt_input_EventKeyDown, 9999);
    EXPECT_EQ(dev->m_keyHitCount, 0);
}

TEST_F(InputDevice, AccelerometerAndKeyboardSwitchReachTheirTargets) {
    dev->p_MotionEvent(rt_input_EventMotionAccel, 0, 0.25f, -0.5f, 1);
    EXPECT_FLOAT_EQ(rt_input_AccelX(), 0.25f);
    EXPECT_FLOAT_EQ(rt_input_AccelY(), -0.5f);
    EXPECT_EQ(rt_input_EnableKeyboard(), 1);
    EXPECT_TRUE(host.KeyboardEnabled());
    EXPECT_EQ(rt_input_DisableKeyboard(), 1);
    EXPECT_FALSE(host.KeyboardEnabled());
}

TEST_F(InputDevice, JoystickButtonsBecomeKeysWithOneHitPerPress) {
    RawPad &pad = host.pads[0];
    pad.present = true;
    pad.nButtons = 12;
    pad.nAxes = 2;
    pad.buttons[1] = 1; // the other layout puts device button 1 on output 0
    dev->p_BeginUpdate();
    EXPECT_EQ(rt_input_JoyHit(0, 0), 1);
    EXPECT_EQ(rt_input_KeyDown(256), 1);
    dev->p_EndUpdate();
    dev->p_BeginUpdate();
    EXPECT_EQ(rt_input_JoyHit(0, 0), 0);
    EXPECT_EQ(rt_input_JoyDown(0, 0), 1);
    dev->p_EndUpdate();
    pad.buttons[1] = 0;
    dev->p_BeginUpdate();
    EXPECT_EQ(rt_input_JoyDown(0, 0), 0);
    dev->p_EndUpdate();
}

TEST_F(InputDevice, JoyHitOfUnitOneReadsKey288) {
    host.pads[0].present = true;
    host.pads[1].present = true;
    host.pads[1].nButtons = 12;
    host.pads[1].buttons[1] = 1;
    dev->p_BeginUpdate();
    EXPECT_EQ(dev->p_KeyHit(288), 1);
    EXPECT_EQ(rt_input_JoyHit(0, 1), 1);
    EXPECT_EQ(rt_input_JoyHit(0, 0), 0);
    // Key 288 pressed any other way reads the same.
    dev->p_EndUpdate();
    host.pads[1].buttons[1] = 0;
    update();
    press(288);
    EXPECT_EQ(rt_input_JoyHit(0, 1), 1);
}

TEST_F(InputDevice, PollingStopsAtTheFirstMissingPort) {
    host.pads[0].present = true;
    host.pads[0].nAxes = 2;
    host.pads[0].axes[0] = 0.5f;
    host.pads[2].present = true; // behind an empty port 1: never polled
    host.pads[2].nButtons = 12;
    host.pads[2].buttons[1] = 1;
    dev->p_BeginUpdate();
    EXPECT_EQ(host.polled, (std::vector<int>{0, 1}));
    EXPECT_FLOAT_EQ(rt_input_JoyX(0, 0), 0.5f);
    EXPECT_EQ(rt_input_JoyDown(0, 2), 0);
    dev->p_EndUpdate();

}

// A pad pulled out with its stick pushed and a trigger pulled must not steer on until it is back.
TEST_F(InputDevice, APadUnpluggedMidStickReadsCentred) {
    RawPad &pad = host.pads[0];
    pad.present = true;
    pad.nAxes = 5;
    pad.nButtons = 14;
    pad.axes[0] = -0.9f;
    pad.axes[1] = 0.7f;
    pad.axes[3] = 0.4f; // the right stick's vertical
    pad.axes[2] = 1.0f; // a trigger
    update();
    ASSERT_FLOAT_EQ(rt_input_JoyX(0, 0), -0.9f);
    pad.present = false;
    update();
    for (int stick = 0; stick < 2; ++stick) {
        EXPECT_FLOAT_EQ(rt_input_JoyX(stick, 0), 0) << stick;
        EXPECT_FLOAT_EQ(rt_input_JoyY(stick, 0), 0) << stick;
        EXPECT_FLOAT_EQ(dev->m_joyStates[0]->m_joyz[stick], 0) << stick;
    }
}

TEST_F(InputDevice, APadUnpluggedWithAButtonHeldReleasesIt) {
    host.pads[0].present = true;
    host.pads[0].nButtons = 12;
    host.pads[0].buttons[1] = 1; // fire in the general layout
    update();
    ASSERT_EQ(rt_input_JoyDown(0, 0), 1);
    host.pads[0].present = false;
    update();
    EXPECT_EQ(rt_input_JoyDown(0, 0), 0);
    // Plugged in again with the button still held, it is a new press.
    host.pads[0].present = true;
    dev->p_BeginUpdate();
    EXPECT_EQ(rt_input_JoyHit(0, 0), 1);
    dev->p_EndUpdate();
}

// Raw device state through the layouts, without a device.
struct Mapped {
    Array<float> x{2}, y{2}, z{2};
    Array<bool> buttons{32};
    explicit Mapped(const RawPad &pad) {
        rt_joy_Map(pad.axes, pad.nAxes, pad.buttons, pad.nButtons, pad.nHats, x, y, z, buttons);
    }
};

TEST(JoystickLayout, PadOfFourteenButtonsAndFiveAxesUsesItsOwnLayout) {
    RawPad pad;
    pad.nButtons = 14;
    pad.nAxes = 5;
    for (int i = 0; i < 5; ++i)
        pad.axes[i] = 0.1f * (i + 1);
    pad.buttons[8] = 1;
    pad.buttons[13] = 1; // the last button: output 11 (counted from the end)
    Mapped m(pad);
    EXPECT_TRUE(m.buttons[12]);
    EXPECT_TRUE(m.buttons[11]);
    for (int j = 0; j < 32; ++j) {
        if (j == 11 || j == 12) continue;
        EXPECT_FALSE(m.buttons[j]) << j;
    }
    EXPECT_FLOAT_EQ(m.x[0], 0.1f);
    EXPECT_FLOAT_EQ(m.y[0], 0.2f);
    EXPECT_FLOAT_EQ(m.z[0], 0.3f);
    EXPECT_FLOAT_EQ(m.x[1], 0.5f);
    EXPECT_FLOAT_EQ(m.y[1], -0.4f);
    EXPECT_FLOAT_EQ(m.z[1], -0.3f);
}

TEST(JoystickLayout, EveryOtherDeviceUsesTheGeneralLayout) {
    RawPad pad;
    pad.nButtons = 16; // no hat: the last four buttons are the d-pad
    pad.nAxes = 4;
    for (int i = 0; i < 4; ++i)
        pad.axes[i] = 0.1f * (i + 1);
    pad.buttons[10] = 1;
    pad.buttons[6] = 1;  // also the first trigger value
    pad.buttons[12] = 1; // fourth from the end: output 8
    Mapped m(pad);
    EXPECT_TRUE(m.buttons[12]);
    EXPECT_TRUE(m.buttons[8]);
    EXPECT_FALSE(m.buttons[6]); // device button 6 is not among the listed outputs 0..7
    EXPECT_FLOAT_EQ(m.x[0], 0.1f);
    EXPECT_FLOAT_EQ(m.y[0], 0.2f);
    EXPECT_FLOAT_EQ(m.z[0], 1.0f);
    EXPECT_FLOAT_EQ(m.x[1], 0.3f);
    EXPECT_FLOAT_EQ(m.y[1], -0.4f);
    EXPECT_FLOAT_EQ(m.z[1], 0.0f);

    // Fourteen buttons alone do not make the pad layout.
    pad.nButtons = 14;
    pad.buttons[12] = 0;
    pad.buttons[8] = 1;
    Mapped other(pad);
    EXPECT_TRUE(other.buttons[12]); // device button 10 still
    EXPECT_TRUE(other.buttons[6]);  // device button 8 lands on output 6
}

TEST(JoystickLayout, SmallDevicesReadMissingButtonsAsUp) {
    RawPad pad;
    pad.nButtons = 2;
    pad.buttons[0] = 1;
    pad.buttons[1] = 1;
    pad.buttons[20] = 1; // beyond the device's count: not read
    Mapped m(pad);
    EXPECT_TRUE(m.buttons[0]);  // device 1
    EXPECT_TRUE(m.buttons[2]);  // device 0
    EXPECT_TRUE(m.buttons[10]); // -2 + 2 = device 0
    EXPECT_TRUE(m.buttons[11]); // -1 + 2 = device 1
    EXPECT_FALSE(m.buttons[8]); // -4 + 2 is before the first button
    EXPECT_FALSE(m.buttons[9]);
}

// A pad the window library recognises, in its standard order.
struct StandardPad {
    float axes[rt_joy_PadAxes] = {0, 0, 0, 0, -1, -1}; // triggers at rest
    unsigned char buttons[rt_joy_PadButtons] = {};
    Array<float> x{2}, y{2}, z{2};
    Array<bool> out{32};
    void map() { rt_joy_MapGamepad(axes, buttons, x, y, z, out); }
};

TEST(JoystickLayout, RecognisedPadsComeInTheStandardLayout) {
    enum { A, B, X, Y, LB, RB, Back, Start, Guide, LThumb, RThumb, Up, Right, Down, Left };
    // Each game button from its standard button, one at a time; Guide has no game button.
    const int expected[14] = {A, B, X, Y, LB, RB, Back, Start, Left, Up, Right, Down, LThumb, RThumb};
    for (int j = 0; j < 14; ++j) {
        StandardPad pad;
        pad.buttons[expected[j]] = 1;
        pad.map();
        for (int k = 0; k < 32; ++k)
            EXPECT_EQ(pad.out[k], k == j) << "standard button " << expected[j] << ", game button " << k;
    }
    StandardPad guide;
    guide.buttons[Guide] = 1;
    guide.map();
    for (int k = 0; k < 32; ++k)
        EXPECT_FALSE(guide.out[k]) << k;

    // Both sticks pushed up and right: x as read, y growing upwards like the left stick's always has;
    // triggers from 0 at rest to 1 pulled.
    StandardPad pad;
    pad.axes[0] = 0.5f;
    pad.axes[1] = -0.75f;
    pad.axes[2] = 0.25f;
    pad.axes[3] = -1.0f;
    pad.axes[4] = 1.0f;
    pad.map();
    EXPECT_FLOAT_EQ(pad.x[0], 0.5f);
    EXPECT_FLOAT_EQ(pad.y[0], 0.75f);
    EXPECT_FLOAT_EQ(pad.x[1], 0.25f);
    EXPECT_FLOAT_EQ(pad.y[1], 1.0f);
    EXPECT_FLOAT_EQ(pad.z[0], 1.0f);
    EXPECT_FLOAT_EQ(pad.z[1], 0.0f);
}

// The window library lists a hat after the buttons as up, right, down, left; the d-pad outputs are
// left, up, right, down, and the layouts' fixed buttons never reach into the hat.
TEST(JoystickLayout, HatIsTheDpadByDirection) {
    const char *names[4] = {"up", "right", "down", "left"};
    const int dpad[4] = {9, 10, 11, 8};
    for (int axes : {5, 4}) { // the pad layout (10 buttons and a hat) and the general one
        for (int dir = 0; dir < 4; ++dir) {
            RawPad pad;
            pad.nAxes = axes;
            pad.nButtons = 14;
            pad.nHats = 1;
            pad.buttons[10 + dir] = 1;
            Mapped m(pad);
            for (int j = 0; j < 32; ++j)
                EXPECT_EQ(m.buttons[j], j == dpad[dir]) << names[dir] << " with " << axes << " axes, output " << j;
        }
    }
}

} // namespace
