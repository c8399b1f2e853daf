// How a joystick's raw axes and buttons become the six analogue values and 32 buttons of a joystick
// state. Two layouts: one for the 14-button, 5-axis pad, one for every other device.
#pragma once
#include "runtime/object.h"

constexpr int rt_joy_MaxAxes = 6;
constexpr int rt_joy_MaxButtons = 32;

// axes holds rt_joy_MaxAxes values and buttons rt_joy_MaxButtons states (1 = pressed), those the device
// lacks set to 0; nAxes and nButtons are the counts the device reports, which choose the layout and anchor
// the buttons counted from the end.
void rt_joy_Map(const float *axes, int nAxes, const unsigned char *buttons, int nButtons, Array<float> joyx,
                Array<float> joyy, Array<float> joyz, Array<bool> outButtons);
