// How a joystick's raw axes and buttons become the six analogue values and 32 buttons of a joystick
// state. Two layouts: one for the 14-button, 5-axis pad, one for every other device.
#pragma once
#include "runtime/object.h"

constexpr int rt_joy_MaxAxes = 6;
constexpr int rt_joy_MaxButtons = 32;

// axes holds rt_joy_MaxAxes values and buttons rt_joy_MaxButtons states (1 = pressed), those the device
// lacks set to 0; nAxes and nButtons are the counts the device reports, which choose the layout. The
// button list ends with the device's hats, nHats of them, each as four buttons: up, right, down, left.
// The layouts' d-pad (outputs 8 to 11: left, up, right, down) is the first hat, read by direction; a
// device without a hat has its d-pad as its last four buttons, in the layouts' order. The layouts' other
// buttons are the device's own, never a hat's.
void rt_joy_Map(const float *axes, int nAxes, const unsigned char *buttons, int nButtons, int nHats,
                Array<float> joyx, Array<float> joyy, Array<float> joyz, Array<bool> outButtons);

// A pad in the standard layout that the window library recognises: 15 buttons (A, B, X, Y, left and right
// shoulder, Back, Start, Guide, left and right thumb, d-pad up, right, down, left) and 6 axes (left stick
// x and y, right stick x and y, both growing right and down; left and right trigger, -1 released to 1).
constexpr int rt_joy_PadButtons = 15;
constexpr int rt_joy_PadAxes = 6;
// Fills the joystick state as the raw layouts do: buttons 0 to 13 are A (fire), B, X, Y, the shoulders,
// Back, Start, d-pad left, up, right, down and the thumbs; sticks 0 and 1 are the left and right stick,
// vertical growing upwards; the z values are the triggers from 0 to 1.
void rt_joy_MapGamepad(const float *axes, const unsigned char *buttons, Array<float> joyx, Array<float> joyy,
                       Array<float> joyz, Array<bool> outButtons);
