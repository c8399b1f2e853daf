#include "input/joylayout.h"

namespace {

struct Layout {
    int axisCodes[6];
    int buttons[14]; // device button for output 0..13; negative counts from the end of the device's list
};

// Axis codes: below 16 an axis as is; 16 + k mapped to 0..1; 32 + k mapped to 1..0; 64 + k negated;
// 128 + k a button as 0 or 1; 999 ends the list.
const Layout padLayout = {{0, 1, 2, 4, 67, 66}, {0, 1, 2, 3, 4, 5, 6, 7, -4, -3, -2, -1, 8, 9}};
const Layout otherLayout = {{0, 1, 134, 2, 67, 135}, {1, 2, 0, 3, 4, 5, 8, 9, -4, -3, -2, -1, 10, 11}};

float axis_at(const float *axes, int k) { return k >= 0 && k < rt_joy_MaxAxes ? axes[k] : 0.0f; }

bool pressed_at(const unsigned char *buttons, int b) { return b >= 0 && b < rt_joy_MaxButtons && buttons[b] == 1; }

// Device button b of a layout: negative b is the d-pad (-4 left, -3 up, -2 right, -1 down), taken from
// the first hat when there is one, else counted from the end of the list.
bool button_at(const unsigned char *buttons, int nButtons, int nHats, int b) {
    int own = nButtons - 4 * nHats;
    if (b >= 0) return b < own && pressed_at(buttons, b);
    if (nHats == 0) return pressed_at(buttons, b + nButtons);
    static const int hatOffset[4] = {3, 0, 1, 2}; // left, up, right, down within up, right, down, left
    return pressed_at(buttons, own + hatOffset[b + 4]);
}

} // namespace

void rt_joy_Map(const float *axes, int nAxes, const unsigned char *buttons, int nButtons, int nHats,
                Array<float> joyx, Array<float> joyy, Array<float> joyz, Array<bool> outButtons) {
    if (nHats < 0 || 4 * nHats > nButtons) nHats = 0;
    const Layout &layout = nButtons == 14 && nAxes == 5 ? padLayout : otherLayout;

    float out[6] = {};
    for (int i = 0; i < 6; ++i) {
        int c = layout.axisCodes[i];
        if (c == 999) break;
        if (c < 16)
            out[i] = axis_at(axes, c);
        else if (c < 32)
            out[i] = (1 + axis_at(axes, c - 16)) * 0.5f;
        else if (c < 64)
            out[i] = (1 - axis_at(axes, c - 32)) * 0.5f;
        else if (c < 128)
            out[i] = -axis_at(axes, c - 64);
        else
            out[i] = button_at(buttons, nButtons, nHats, c - 128) ? 1.0f : 0.0f;
    }
    joyx[0] = out[0];
    joyy[0] = out[1];
    joyz[0] = out[2];
    joyx[1] = out[3];
    joyy[1] = out[4];
    joyz[1] = out[5];

    int n = outButtons.Length();
    for (int j = 0; j < n; ++j)
        outButtons[j] = false;
    for (int j = 0; j < 14 && j < n; ++j)
        outButtons[j] = button_at(buttons, nButtons, nHats, layout.buttons[j]);
}

void rt_joy_MapGamepad(const float *axes, const unsigned char *buttons, Array<float> joyx, Array<float> joyy,
                       Array<float> joyz, Array<bool> outButtons) {
    // Standard button for each of the game's buttons 0 to 13.
    static const int kFromPad[14] = {0, 1, 2, 3, 4, 5, 6, 7, 14, 11, 12, 13, 9, 10};
    joyx[0] = axes[0];
    joyy[0] = -axes[1];
    joyz[0] = (1 + axes[4]) * 0.5f;
    joyx[1] = axes[2];
    joyy[1] = -axes[3];
    joyz[1] = (1 + axes[5]) * 0.5f;
    int n = outButtons.Length();
    for (int j = 0; j < n; ++j)
        outButtons[j] = j < 14 && buttons[kFromPad[j]] == 1;
}
