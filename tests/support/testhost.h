// TestHost: runs the game object c_MyApp without the frame loop, for game tests.
//
// It is a desktop host (RtGlfwGame) whose clock, window size, joysticks, data folder and state file are
// set by the test, and it drives the game through the real application frame: updates, renders and
// input events go through the real c_GameDelegate into the real c_InputDevice, exactly as the frame
// loop would deliver them.
//
//   TestHost host;                  // one at a time; it becomes RtGame::_game
//   host.Boot();                    // rtInit, rtMain, start-up (p_OnCreate); the loader is now running
//   host.FinishLoading();           // updates until the loader has finished (gameMode 1, the menu)
//   host.KeyDown(32); host.Update(); host.KeyUp(32);
//   c_MyApp *app = host.App();      // all game state is public
//   host.Records(-3716);            // the oval records of the last update's draw list
//
// Clock: Millisecs() returns `clock`. Update() adds `msPerUpdate` (16 by default) before each update, so
// the frame timing sees time pass; set msPerUpdate = 0 to hold the clock still. A fixed clock makes the
// game's random draws reproducible (the fight reseeds from it every update).
//
// Window: headless by default. The device size is `devW` x `devH` (640 x 480) and SetDeviceWindow only
// changes those numbers; before each update the virtual screen is fitted to them, as the frame rendered
// between two updates does it. The display modes are 640 x 480 and 1024 x 768, the latter the desktop's.
// Pictures and sounds still load (the renderer makes no textures while there is no OpenGL context), so the
// slots fill as in the real game. Render() needs a window: call OpenWindow() first (label the test `gl`, it
// then runs under the build's Xvfb); the device size is then the real window's, and Pixel() reads back what
// was drawn. Keep window tests in their own test program: once a window has existed, textures are made on
// load, which needs a context.
//
// Input: KeyDown/KeyUp/Char (game key codes 1 to 511), MouseMove/MouseDown/MouseUp (device pixels,
// button 0 = left), TouchDown/TouchMove/TouchUp, Accel. Events wait in the input device until the next
// Update(), as they would between two frames. Joysticks: SetJoystick(port, ...) plugs in a pad and
// sets its sticks and buttons; the input device polls it at the start of every update.
// Key 432 (close) and 416 (back) end the process from inside the key event, as in the real program;
// test them in a child process (RunInChild).
//
// Files: the data folder is the source tree's data/ unless `dataDir` names another folder (with a
// trailing slash). Every image and sound file the game asked for is appended to `loaded` (the name
// after "zindle://data/"). The state file lives in `state` (memory), never on disk.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "desktop/glfw_game.h"
#include "game/myapp.h"

class TestHost : public RtGlfwGame {
  public:
    struct Joystick {
        bool present = false;
        float joyx[2] = {0, 0}, joyy[2] = {0, 0}, joyz[2] = {0, 0};
        bool buttons[32] = {};
    };

    int clock = 1000;
    int msPerUpdate = 16;
    int devW = 640, devH = 480;
    std::string dataDir;
    std::vector<std::string> loaded;
    String state;
    int saveResult = 0, saveErrno = 0; // what SaveState reports; a failed save leaves `state` alone
    std::vector<std::string> openedUrls;
    Joystick joysticks[4];

    TestHost();
    ~TestHost() override;

    // Start-up as the real program does it, then the delegate's start (devices, p_OnCreate).
    void Boot();
    c_MyApp *App() const;

    // One game update (through the host's guarded entry point), n times.
    void Update(int n = 1);
    // Updates until the loader is idle; false if it did not finish within `limit` updates.
    bool FinishLoading(int limit = 200);
    void Suspend();
    void Resume();

    // Input, delivered like the window callbacks do.
    void KeyDown(int key);
    void KeyUp(int key);
    void Char(int ch);
    void MouseMove(float x, float y);
    void MouseDown(float x, float y, int button = 0);
    void MouseUp(float x, float y, int button = 0);
    void TouchDown(int finger, float x, float y);
    void TouchMove(int finger, float x, float y);
    void TouchUp(int finger, float x, float y);
    void Accel(float x, float y, float z);
    void SetJoystick(int port, float x, float y, std::initializer_list<int> buttonsHeld = {});
    void UnplugJoysticks();

    // The last update's draw list.
    int RecordCount() const;
    const float *Record(int i) const;
    // Indices of the records of one kind (an image slot, or -3717 rect, -3716 oval, -3715 line,
    // -3714 triangle).
    std::vector<int> Records(float kind) const;

    // A real window with an OpenGL context; false when none could be opened.
    bool OpenWindow(int width = 640, int height = 480);
    // Renders one frame through the delegate (window required). The picture stays in the back buffer.
    void Render();
    // Colour of a device pixel of the last rendered frame as 0xRRGGBB (y counted from the top).
    unsigned Pixel(int x, int y);

    // RtGame / RtGlfwGame overrides.
    int Millisecs() override { return clock; }
    int GetDeviceWidth() override;
    int GetDeviceHeight() override;
    void SetDeviceWindow(int width, int height, int flags) override;
    Array<RtDisplayMode *> GetDisplayModes() override;
    RtDisplayMode *GetDesktopMode() override;
    bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                      Array<bool> buttons) override;
    String PathToFilePath(String path) override;
    unsigned char *LoadImageData(String path, int *width, int *height, int *depth) override;
    FILE *OpenAudioFile(String path) override;
    int SaveState(String s) override;
    String LoadState() override;
    void OpenUrl(String url) override;
    void StartGame() override;
};

// Runs `body` in a child process with its stdout captured; returns the child's exit status (-1 if it was
// killed by a signal or never got to the body) and fills `output`.
// The child is this test program started afresh with only the current test, never a fork: a booted game
// runs the audio mixer's thread, and a fork would inherit its locks but not the thread, so the child's exit
// (which closes the audio device) could wait forever. The child runs the test from its start up to this
// call (the n-th of the test) and runs the body there; earlier calls return -1 in the child without
// running theirs. So the test must reach the call the same way every time.
int RunInChild(const std::function<void()> &body, std::string *output = nullptr);
