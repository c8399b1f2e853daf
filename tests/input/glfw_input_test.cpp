// The desktop host's input side: key translation, the callbacks feeding the input device, and real key
// and mouse events sent to a real window on the test display.
#include <gtest/gtest.h>

#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>

#include "desktop/glfw_game.h"
#include "input/input.h"

extern char **environ;

// The desktop host's start-up names the game's entry points; these tests start no game.
void rtInit() {}
int rtMain() { return 0; }

namespace {

// Hands every host event straight to the input device, as the application frame does.
class InputDelegate : public RtGameDelegate {
  public:
    void KeyEvent(int event, int data) override { rt_input_device->p_KeyEvent(event, data); }
    void MouseEvent(int event, int data, float x, float y) override {
        rt_input_device->p_MouseEvent(event, data, x, y);
    }
};

TEST(KeyTranslation, GivesTheGameKeyCodes) {
    struct {
        int glfw, code;
    } table[] = {
        {GLFW_KEY_0, 48},
        {GLFW_KEY_9, 57},
        {GLFW_KEY_A, 65},
        {GLFW_KEY_Z, 90},
        {GLFW_KEY_SPACE, 32},
        {GLFW_KEY_APOSTROPHE, 222},
        {GLFW_KEY_COMMA, 188},
        {GLFW_KEY_MINUS, 189},
        {GLFW_KEY_PERIOD, 190},
        {GLFW_KEY_SLASH, 191},
        {GLFW_KEY_SEMICOLON, 186},
        {GLFW_KEY_EQUAL, 187},
        {GLFW_KEY_LEFT_BRACKET, 219},
        {GLFW_KEY_BACKSLASH, 220},
        {GLFW_KEY_RIGHT_BRACKET, 221},
        {GLFW_KEY_GRAVE_ACCENT, 192},
        {GLFW_KEY_ESCAPE, 27},
        {GLFW_KEY_F1, 112},
        {GLFW_KEY_F12, 123},
        {GLFW_KEY_UP, 38},
        {GLFW_KEY_DOWN, 40},
        {GLFW_KEY_LEFT, 37},
        {GLFW_KEY_RIGHT, 39},
        {GLFW_KEY_LEFT_SHIFT, 16},
        {GLFW_KEY_RIGHT_SHIFT, 16},
        {GLFW_KEY_LEFT_CONTROL, 17},
        {GLFW_KEY_RIGHT_CONTROL, 17},
        {GLFW_KEY_TAB, 9},
        {GLFW_KEY_ENTER, 13},
        {GLFW_KEY_BACKSPACE, 8},
        {GLFW_KEY_INSERT, 45},
        {GLFW_KEY_DELETE, 46},
        {GLFW_KEY_PAGE_UP, 33},
        {GLFW_KEY_PAGE_DOWN, 34},
        {GLFW_KEY_HOME, 36},
        {GLFW_KEY_END, 35},
        {GLFW_KEY_KP_0, 96},
        {GLFW_KEY_KP_9, 105},
        {GLFW_KEY_KP_DIVIDE, 111},
        {GLFW_KEY_KP_MULTIPLY, 106},
        {GLFW_KEY_KP_SUBTRACT, 109},
        {GLFW_KEY_KP_ADD, 107},
        {GLFW_KEY_KP_DECIMAL, 110},
        // Keys the game has no code for.
        {GLFW_KEY_F13, 0},
        {GLFW_KEY_KP_ENTER, 0},
        {GLFW_KEY_KP_EQUAL, 0},
        {GLFW_KEY_LEFT_ALT, 0},
        {GLFW_KEY_RIGHT_ALT, 0},
        {GLFW_KEY_CAPS_LOCK, 0},
        {GLFW_KEY_PAUSE, 0},
        {GLFW_KEY_LEFT_SUPER, 0},
        {GLFW_KEY_MENU, 0},
        {GLFW_KEY_WORLD_1, 0},
        {GLFW_KEY_UNKNOWN, 0},
        {GLFW_KEY_LAST + 1, 0},
        {'a', 0},
    };
    for (auto &row : table)
        EXPECT_EQ(RtGlfwGame::TransKey(row.glfw), row.code) << "GLFW key " << row.glfw;

    // Every code the table gives is a keyboard code of the game's key space.
    for (int key = 0; key <= GLFW_KEY_LAST; ++key) {
        int code = RtGlfwGame::TransKey(key);
        EXPECT_TRUE(code == 0 || (code >= 8 && code <= 222)) << key;
    }
}

TEST(KeyTranslation, KeysWithCharacters) {
    EXPECT_EQ(RtGlfwGame::KeyToChar(8), 8);
    EXPECT_EQ(RtGlfwGame::KeyToChar(27), 27);
    EXPECT_EQ(RtGlfwGame::KeyToChar(33), 33 | 0x10000);
    EXPECT_EQ(RtGlfwGame::KeyToChar(37), 65573);
    EXPECT_EQ(RtGlfwGame::KeyToChar(45), 45 | 0x10000);
    EXPECT_EQ(RtGlfwGame::KeyToChar(46), 127);
    EXPECT_EQ(RtGlfwGame::KeyToChar(65), 0);
    EXPECT_EQ(RtGlfwGame::KeyToChar(41), 0);
    EXPECT_EQ(RtGlfwGame::KeyToChar(16), 0);
}

// The callbacks alone, on a host without a window.
class KeyCallbacks : public ::testing::Test {
  protected:
    RtGame host;
    c_InputDevice *dev = nullptr;

    void SetUp() override {
        RtGame::_game = &host;
        host.SetDelegate(new InputDelegate);
        host.StartGame();
        dev = (new c_InputDevice)->m_new();
        rt_input_SetInputDevice(dev);
    }
    void TearDown() override {
        rt_input_device = nullptr;
        RtGame::_game = nullptr;
    }
    void key(int glfwKey, int action) { RtGlfwGame::OnKey(nullptr, glfwKey, 0, action, 0); }
    std::vector<int> chars() {
        std::vector<int> out;
        for (int c; (c = rt_input_GetChar()) != 0;)
            out.push_back(c);
        return out;
    }
};

TEST_F(KeyCallbacks, NavigationAndEditingKeysQueueTheirCharacters) {
    key(GLFW_KEY_LEFT, GLFW_PRESS);
    EXPECT_EQ(rt_input_KeyDown(37), 1);
    key(GLFW_KEY_DELETE, GLFW_PRESS);
    key(GLFW_KEY_A, GLFW_PRESS); // its typed character comes from the character callback
    EXPECT_EQ(rt_input_KeyHit(65), 1);
    RtGlfwGame::OnChar(nullptr, 'a');
    EXPECT_EQ(chars(), (std::vector<int>{65573, 127, 'a'}));
    key(GLFW_KEY_A, GLFW_RELEASE);
    EXPECT_EQ(rt_input_KeyDown(65), 0);
    key(GLFW_KEY_LEFT_ALT, GLFW_PRESS); // untranslated: nothing at all
    EXPECT_EQ(dev->m_keyHitCount, 3);
}

TEST_F(KeyCallbacks, HeldBackspaceTypesOncePerRepeatButHitsOnce) {
    key(GLFW_KEY_BACKSPACE, GLFW_PRESS);
    key(GLFW_KEY_BACKSPACE, GLFW_REPEAT);
    key(GLFW_KEY_BACKSPACE, GLFW_REPEAT);
    EXPECT_EQ(rt_input_KeyHit(8), 1);
    EXPECT_EQ(chars(), (std::vector<int>{8, 8, 8}));
    dev->p_EndUpdate();
    key(GLFW_KEY_BACKSPACE, GLFW_REPEAT);
    EXPECT_EQ(rt_input_KeyHit(8), 0);
    EXPECT_EQ(rt_input_KeyDown(8), 1);
    EXPECT_EQ(chars(), (std::vector<int>{8}));
}

// A real window on the test display, driven by xdotool.
class RealWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(glfwInit(), GLFW_TRUE) << "no display for the window tests"; }
    static void TearDownTestSuite() { glfwTerminate(); }

    RtGlfwGame *game = nullptr;
    c_InputDevice *dev = nullptr;

    void SetUp() override {
        game = new RtGlfwGame;
        game->SetDelegate(new InputDelegate);
        game->StartGame();
        dev = (new c_InputDevice)->m_new();
        rt_input_SetInputDevice(dev);
        game->SetDeviceWindow(640, 480, 0);
        ASSERT_NE(game->Window(), nullptr);
        std::string id = std::to_string(glfwGetX11Window(game->Window()));
        ASSERT_EQ(xdotool({"windowmap", "--sync", id}), 0);
        ASSERT_EQ(xdotool({"windowfocus", "--sync", id}), 0);
        pump();
    }
    void TearDown() override {
        rt_input_device = nullptr;
        delete game;
    }

    int xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), "xdotool");
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid;
        if (posix_spawnp(&pid, "xdotool", nullptr, nullptr, argv.data(), environ) != 0) return -1;
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Handles whatever events have arrived; then again until `done` or a generous bound of rounds.
    template <class F> bool pump_until(F done) {
        for (int round = 0; round < 500; ++round) {
            glfwWaitEventsTimeout(0.01);
            if (done()) return true;
        }
        return false;
    }
    void pump() {
        for (int i = 0; i < 5; ++i)
            glfwWaitEventsTimeout(0.01);
    }
};

TEST_F(RealWindow, KeyPressReachesKeyHitAndTypesItsCharacter) {
    ASSERT_EQ(xdotool({"key", "a"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyHit(65) > 0 && !rt_input_KeyDown(65); }));
    EXPECT_EQ(rt_input_KeyHit(65), 1);
    EXPECT_EQ(rt_input_GetChar(), 'a');

    ASSERT_EQ(xdotool({"key", "Left"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyHit(37) > 0; }));
    EXPECT_EQ(rt_input_GetChar(), 65573);
}

TEST_F(RealWindow, ClickSetsTheLeftButtonAndTheFirstTouchAtThePointer) {
    std::string id = std::to_string(glfwGetX11Window(game->Window()));
    ASSERT_EQ(xdotool({"mousemove", "--window", id, "--sync", "100", "120"}), 0);
    ASSERT_EQ(xdotool({"mousedown", "1"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_MouseDown(0) == 1; }));
    EXPECT_EQ(rt_input_KeyHit(384), 1);
    EXPECT_FLOAT_EQ(rt_input_MouseX(), 100);
    EXPECT_FLOAT_EQ(rt_input_TouchY(0), 120);
    ASSERT_EQ(xdotool({"mouseup", "1"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_MouseDown(0) == 0; }));
    EXPECT_EQ(rt_input_TouchDown(0), 0);
}

TEST_F(RealWindow, HeldKeysAreReleasedBeforeAWindowChange) {
    ASSERT_EQ(xdotool({"keydown", "shift"}), 0);
    bool down = pump_until([&] { return rt_input_KeyDown(16) == 1; });
    game->ReleaseHeldKeys();
    bool released = rt_input_KeyDown(16) == 0;
    xdotool({"keyup", "shift"});
    pump();
    EXPECT_TRUE(down);
    EXPECT_TRUE(released);
}

// F11 held through the full-screen switch it asked for: the host releases it before the change, and its
// autorepeat on the new window (a second press of the held key stands in for it, whatever the server's
// repeat settings) must not come back as a fresh press; the real release and the next press do.
TEST_F(RealWindow, AKeyReleasedForAWindowChangeStaysUpUntilItIsLetGo) {
    ASSERT_EQ(xdotool({"keydown", "F11"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyDown(122) == 1; }));
    dev->p_EndUpdate();
    game->SetDeviceWindow(640, 480, 0);
    EXPECT_EQ(rt_input_KeyDown(122), 0);
    std::string id = std::to_string(glfwGetX11Window(game->Window()));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", id}), 0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(xdotool({"keydown", "F11"}), 0);
        pump();
    }
    for (int i = 0; i < 40; ++i)
        glfwWaitEventsTimeout(0.02); // time for any autorepeat too
    EXPECT_EQ(rt_input_KeyHit(122), 0);
    EXPECT_EQ(rt_input_KeyDown(122), 0);

    ASSERT_EQ(xdotool({"keyup", "F11"}), 0);
    pump();
    EXPECT_FALSE(game->HeldThroughWindowChange(GLFW_KEY_F11));
    ASSERT_EQ(xdotool({"key", "F11"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyHit(122) > 0; }));
    EXPECT_EQ(rt_input_KeyHit(122), 1);
}

// Only the key that asked for the change stays released: a direction held with it steers again in the
// new window, through a second change too, and goes up when the keyboard lets go of it.
TEST_F(RealWindow, AKeyHeldBesideTheOneThatAskedForAWindowChangeActsAgain) {
    ASSERT_EQ(xdotool({"keydown", "Up"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyDown(38) == 1; }));
    ASSERT_EQ(xdotool({"keydown", "F11"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyDown(122) == 1; }));
    for (int change = 0; change < 2; ++change) {
        dev->p_EndUpdate();
        game->SetDeviceWindow(640, 480, 0);
        EXPECT_EQ(rt_input_KeyDown(38), 0) << "held across change " << change;
        std::string id = std::to_string(glfwGetX11Window(game->Window()));
        ASSERT_EQ(xdotool({"windowfocus", "--sync", id}), 0);
        glfwPostEmptyEvent();
        ASSERT_TRUE(game->Frame());
        EXPECT_EQ(rt_input_KeyDown(38), 1) << "the held direction stopped after change " << change;
        EXPECT_EQ(rt_input_KeyDown(122), 0);
        EXPECT_TRUE(game->HeldThroughWindowChange(GLFW_KEY_F11));
    }
    ASSERT_EQ(xdotool({"keyup", "Up"}), 0);
    glfwPostEmptyEvent();
    ASSERT_TRUE(game->Frame());
    EXPECT_EQ(rt_input_KeyDown(38), 0);
    ASSERT_EQ(xdotool({"keyup", "F11"}), 0);
    pump();
}

// Let go before the new window saw anything of it, the key is still free for its next press.
TEST_F(RealWindow, AKeyLetGoBeforeTheNewWindowSawItPressesAgain) {
    ASSERT_EQ(xdotool({"keydown", "space"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyDown(32) == 1; }));
    game->SetDeviceWindow(640, 480, 0);
    ASSERT_EQ(xdotool({"keyup", "space"}), 0); // before the new window has the focus
    pump();
    dev->p_EndUpdate();
    std::string id = std::to_string(glfwGetX11Window(game->Window()));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", id}), 0);
    // The frame loop looks at the keyboard after each round of events.
    glfwPostEmptyEvent();
    ASSERT_TRUE(game->Frame());
    EXPECT_FALSE(game->HeldThroughWindowChange(GLFW_KEY_SPACE));
    ASSERT_EQ(xdotool({"key", "space"}), 0);
    ASSERT_TRUE(pump_until([&] { return rt_input_KeyHit(32) > 0; }));
    EXPECT_EQ(rt_input_KeyHit(32), 1);
}

} // namespace
