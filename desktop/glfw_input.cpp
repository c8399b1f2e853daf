// The desktop host's input side: GLFW's key, character and mouse callbacks turned into the game's key
// codes and host events, and the joysticks read once per update.
#include <dlfcn.h>

#include <cstdlib>

#include "desktop/glfw_game.h"
#include "input/input.h"
#include "input/joylayout.h"

namespace {

// The game's key codes by GLFW key token; tokens not listed give 0 and are ignored. Letters and digits
// are their own upper-case ASCII codes and bypass the table.
struct KeyTable {
    unsigned char code[GLFW_KEY_LAST + 1] = {};

    KeyTable() {
        code[GLFW_KEY_SPACE] = 32;
        code[GLFW_KEY_APOSTROPHE] = 222;
        code[GLFW_KEY_COMMA] = 188;
        code[GLFW_KEY_MINUS] = 189;
        code[GLFW_KEY_PERIOD] = 190;
        code[GLFW_KEY_SLASH] = 191;
        code[GLFW_KEY_SEMICOLON] = 186;
        code[GLFW_KEY_EQUAL] = 187;
        code[GLFW_KEY_LEFT_BRACKET] = 219;
        code[GLFW_KEY_BACKSLASH] = 220;
        code[GLFW_KEY_RIGHT_BRACKET] = 221;
        code[GLFW_KEY_GRAVE_ACCENT] = 192;
        code[GLFW_KEY_ESCAPE] = 27;
        code[GLFW_KEY_ENTER] = 13;
        code[GLFW_KEY_TAB] = 9;
        code[GLFW_KEY_BACKSPACE] = 8;
        code[GLFW_KEY_INSERT] = 45;
        code[GLFW_KEY_DELETE] = 46;
        code[GLFW_KEY_RIGHT] = 39;
        code[GLFW_KEY_LEFT] = 37;
        code[GLFW_KEY_DOWN] = 40;
        code[GLFW_KEY_UP] = 38;
        code[GLFW_KEY_PAGE_UP] = 33;
        code[GLFW_KEY_PAGE_DOWN] = 34;
        code[GLFW_KEY_HOME] = 36;
        code[GLFW_KEY_END] = 35;
        for (int i = 0; i < 12; ++i)
            code[GLFW_KEY_F1 + i] = static_cast<unsigned char>(112 + i);
        for (int i = 0; i < 10; ++i)
            code[GLFW_KEY_KP_0 + i] = static_cast<unsigned char>(96 + i);
        code[GLFW_KEY_KP_DECIMAL] = 110;
        code[GLFW_KEY_KP_DIVIDE] = 111;
        code[GLFW_KEY_KP_MULTIPLY] = 106;
        code[GLFW_KEY_KP_SUBTRACT] = 109;
        code[GLFW_KEY_KP_ADD] = 107;
        code[GLFW_KEY_LEFT_SHIFT] = 16;
        code[GLFW_KEY_RIGHT_SHIFT] = 16;
        code[GLFW_KEY_LEFT_CONTROL] = 17;
        code[GLFW_KEY_RIGHT_CONTROL] = 17;
    }
};

const KeyTable key_table;

// GLFW joystick slots behind the game's four ports, found afresh whenever port 0 is polled.
int joy_slots[4] = {-1, -1, -1, -1};

// Which keys the keyboard holds right now, as the X server knows it (one bit per key code). GLFW keeps
// no such state for a window that has not seen the press, so a key released before the new window got
// any event of it would otherwise never be seen to go up. Looked up at run time: a GLFW built for
// another window system has no X display, and then this answers false.
bool x_keyboard_state(char keys[32]) {
    using GetDisplay = void *(*)();
    using QueryKeymap = int (*)(void *, char *);
    static GetDisplay get_display = reinterpret_cast<GetDisplay>(dlsym(RTLD_DEFAULT, "glfwGetX11Display"));
    static QueryKeymap query_keymap = reinterpret_cast<QueryKeymap>(dlsym(RTLD_DEFAULT, "XQueryKeymap"));
    if (!get_display || !query_keymap) return false;
    void *display = get_display();
    if (!display) return false;
    query_keymap(display, keys);
    return true;
}

// Without the keyboard's state, a released key is given back after this long (seconds).
constexpr double released_key_timeout = 1.0;

} // namespace

int RtGlfwGame::TransKey(int key) {
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return key;
    if (key < 0 || key > GLFW_KEY_LAST) return 0;
    return key_table.code[key];
}

int RtGlfwGame::KeyToChar(int key) {
    switch (key) {
    case 8:
    case 9:
    case 13:
    case 27:
        return key;
    case 33:
    case 34:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
    case 45:
        return key | 0x10000;
    case 46:
        return 127;
    default:
        return 0;
    }
}

// A repeat is a press: the device ignores the repeated down, but keys that type a character type it again.
void RtGlfwGame::OnKey(GLFWwindow *, int key, int, int action, int) {
    int code = TransKey(key);
    if (code == 0 || !_game) return;
    if (_glfwGame && _glfwGame->FilterReleasedKey(key, action)) return;
    if (action == GLFW_RELEASE) {
        _game->KeyEvent(rt_input_EventKeyUp, code);
        return;
    }
    _game->KeyEvent(rt_input_EventKeyDown, code);
    if (int chr = KeyToChar(code)) _game->KeyEvent(rt_input_EventKeyChar, chr);
}

void RtGlfwGame::OnChar(GLFWwindow *, unsigned int codepoint) {
    if (_game) _game->KeyEvent(rt_input_EventKeyChar, static_cast<int>(codepoint));
}

// The pointer goes to the game in the framebuffer's pixels, the space it fits its screen in.
static void send_pointer(int event, int button, double x, double y) {
    float px = static_cast<float>(x), py = static_cast<float>(y);
    if (RtGlfwGame::_glfwGame) RtGlfwGame::_glfwGame->PointerToPixels(x, y, &px, &py);
    RtGame::_game->MouseEvent(event, button, px, py);
}

void RtGlfwGame::OnMouseButton(GLFWwindow *window, int button, int action, int) {
    if (button < 0 || button > 2 || !_game) return;
    double x = 0, y = 0;
    glfwGetCursorPos(window, &x, &y);
    send_pointer(action == GLFW_RELEASE ? rt_input_EventMouseUp : rt_input_EventMouseDown, button, x, y);
}

void RtGlfwGame::OnMousePos(GLFWwindow *, double x, double y) {
    if (_game) send_pointer(rt_input_EventMouseMove, -1, x, y);
}

void RtGlfwGame::ReleaseHeldKeys() {
    if (!_window) return;
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key) {
        int code = TransKey(key);
        if (code == 0 || glfwGetKey(_window, key) != GLFW_PRESS) continue;
        if (!_releasedKeys[key]) {
            _releasedKeys[key] = true;
            ++_releasedCount;
        }
        _releasedAt = _clock->Now();
        KeyEvent(rt_input_EventKeyUp, code);
    }
}

bool RtGlfwGame::HeldThroughWindowChange(int key) const {
    return key >= 0 && key <= GLFW_KEY_LAST && _releasedKeys[key];
}

// One press is one action: the autorepeat of a key released through a window change is dropped, and its
// real release ends the hold (the game has had it up since the change).
bool RtGlfwGame::FilterReleasedKey(int key, int action) {
    if (!HeldThroughWindowChange(key)) return false;
    if (action == GLFW_RELEASE) {
        _releasedKeys[key] = false;
        --_releasedCount;
    }
    return true;
}

void RtGlfwGame::ForgetReleasedKeys() {
    if (_releasedCount == 0) return;
    char keys[32] = {};
    bool known = x_keyboard_state(keys);
    bool timedOut = _clock->Now() - _releasedAt > released_key_timeout;
    for (int key = GLFW_KEY_SPACE; key <= GLFW_KEY_LAST; ++key) {
        if (!_releasedKeys[key]) continue;
        int sc = glfwGetKeyScancode(key);
        bool up = known ? sc <= 0 || sc > 255 || !(keys[sc >> 3] & (1 << (sc & 7))) : timedOut;
        if (up) {
            _releasedKeys[key] = false;
            --_releasedCount;
        }
    }
}

void RtGlfwGame::LoadPadMappings() {
    const char *mappings = std::getenv("SDL_GAMECONTROLLERCONFIG");
    if (mappings && *mappings) glfwUpdateGamepadMappings(mappings);
}

bool RtGlfwGame::PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                              Array<bool> buttons) {
    if (port < 0 || port > 3) return false;
    if (port == 0) {
        int found = 0;
        for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST && found < 4; ++jid) {
            if (glfwJoystickPresent(jid)) joy_slots[found++] = jid;
        }
        while (found < 4)
            joy_slots[found++] = -1;
    }
    int jid = joy_slots[port];
    if (jid < 0) return false;

    // A pad GLFW knows comes in its standard layout, whatever numbers the system gives its buttons.
    GLFWgamepadstate pad;
    if (glfwJoystickIsGamepad(jid) && glfwGetGamepadState(jid, &pad)) {
        rt_joy_MapGamepad(pad.axes, pad.buttons, joyx, joyy, joyz, buttons);
        return true;
    }

    int nAxes = 0, nButtons = 0, nHats = 0;
    const float *rawAxes = glfwGetJoystickAxes(jid, &nAxes);
    const unsigned char *rawButtons = glfwGetJoystickButtons(jid, &nButtons);
    if (!rawAxes) nAxes = 0;
    if (!rawButtons) nButtons = 0;
    // The button list ends with the hats as buttons, up, right, down and left for each.
    if (!glfwGetJoystickHats(jid, &nHats)) nHats = 0;

    // GLFW reports the second axis of each pair (the sticks' vertical) growing downwards; the layouts
    // and the game's thumbstick setting count it growing upwards, so those axes are turned round here.
    float axes[rt_joy_MaxAxes] = {};
    for (int i = 0; i < nAxes && i < rt_joy_MaxAxes; ++i)
        axes[i] = i & 1 ? -rawAxes[i] : rawAxes[i];
    unsigned char pressed[rt_joy_MaxButtons] = {};
    for (int i = 0; i < nButtons && i < rt_joy_MaxButtons; ++i)
        pressed[i] = rawButtons[i];

    rt_joy_Map(axes, nAxes, pressed, nButtons, nHats, joyx, joyy, joyz, buttons);
    return true;
}
