// The desktop host: one GLFW window with its OpenGL context, the paced frame loop, display modes, the
// clock, the program's own paths and the file loaders that need the devices' decoders.
#pragma once
#include <GLFW/glfw3.h>
#include <cstdio>

#include <mutex>
#include <sys/types.h>
#include <vector>

#include "host/rtgame.h"

// The game's entry points: its global initialiser and the function that creates the application.
void rtInit();
int rtMain();

// Count of windows (and so OpenGL contexts) opened so far; surfaces compare it with their own copy to
// notice that their textures went with the old context.
extern int glfwGraphicsSeq;

class RtGlfwVideoMode : public Object {
  public:
    int width = 0;
    int height = 0;
    int red = 0;
    int green = 0;
    int blue = 0;
    RtGlfwVideoMode(int w, int h, int r, int g, int b) : width(w), height(h), red(r), green(g), blue(b) {}
};

// Time and sleep for the frame loop. The default reads GLFW's timer and really sleeps; a test installs
// its own so that pacing is checked exactly instead of timed.
class RtClock {
  public:
    virtual ~RtClock() {}
    virtual double Now() = 0; // seconds
    virtual void Sleep(double seconds) = 0;
};

class RtGlfwClock : public RtClock {
  public:
    double Now() override;
    void Sleep(double seconds) override;
};

class RtGlfwGame : public RtGame {
  public:
    static RtGlfwGame *_glfwGame;

    RtGlfwGame();
    ~RtGlfwGame() override;

    void SetUpdateRate(int hertz) override;
    int Millisecs() override;
    bool PollJoystick(int port, Array<float> joyx, Array<float> joyy, Array<float> joyz,
                      Array<bool> buttons) override;
    void OpenUrl(String url) override;
    void SetMouseVisible(bool visible) override;
    int GetDeviceWidth() override;
    int GetDeviceHeight() override;
    void SetDeviceWindow(int width, int height, int flags) override;
    Array<RtDisplayMode *> GetDisplayModes() override;
    RtDisplayMode *GetDesktopMode() override;
    void SetSwapInterval(int interval) override;
    String PathToFilePath(String path) override;
    unsigned char *LoadImageData(String path, int *width, int *height, int *depth) override;
    unsigned char *LoadAudioData(String path, int *length, int *channels, int *format, int *hertz) override;

    virtual void SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                               int stencil, bool fullscreen);
    virtual RtGlfwVideoMode *GetGlfwDesktopMode();
    virtual Array<RtGlfwVideoMode *> GetGlfwVideoModes();
    // Opens the first window and runs frames until the window has closed.
    virtual void Run();

    // One pass of the frame loop; false once the window has closed (the loop is over).
    bool Frame();
    // Replaces the loop's clock; null restores GLFW's. The host does not own it.
    void SetClock(RtClock *clock);
    GLFWwindow *Window() const { return _window; }
    // True when a window was asked for and GLFW could not open it.
    bool WindowFailed() const { return _windowFailed; }

    // Window callbacks (the input ones live in glfw_input.cpp).
    static void OnKey(GLFWwindow *window, int key, int scancode, int action, int mods);
    static void OnChar(GLFWwindow *window, unsigned int codepoint);
    static void OnMouseButton(GLFWwindow *window, int button, int action, int mods);
    static void OnMousePos(GLFWwindow *window, double x, double y);
    static void OnWindowClose(GLFWwindow *window);
    static void OnWindowSize(GLFWwindow *window, int width, int height);
    static void OnFramebufferSize(GLFWwindow *window, int width, int height);
    static void OnWindowFocus(GLFWwindow *window, int focused);
    static void OnWindowIconify(GLFWwindow *window, int iconified);
    static int TransKey(int glfwKey); // GLFW key token -> game key code (0 when none)
    static int KeyToChar(int key);    // game key code -> character for the char queue (0 when none)
    // Sends a key-up for every key held, so none stays down across a window change. The key pressed
    // last, the one that asked for the change (F11, or fire on the options line), stays released for
    // the game until it is really let go: its autorepeat, which reaches the new window as a fresh press,
    // must not switch again. Any other key still held once the new window is up is pressed again, so a
    // held direction keeps steering.
    void ReleaseHeldKeys();
    // Whether the key (a GLFW token) is the one the host released itself and the player still holds.
    bool HeldThroughWindowChange(int glfwKey) const;
    // A pointer position in window coordinates as framebuffer pixels, the space the game draws in.
    void PointerToPixels(double x, double y, float *px, float *py) const;
    // Whether the window system is a Wayland compositor.
    static bool OnWayland();
    // Whether the program knows its own folder and can reach the data folder beside it; says why not on
    // the terminal.
    static bool DataFolderReadable();
    // Player pad mappings from SDL_GAMECONTROLLERCONFIG, the variable most Linux games read.
    static void LoadPadMappings();

  protected:
    // What the loop asks of the window system; tests replace these to drive frames without a window.
    virtual bool WindowOpened();
    virtual bool WindowActive();
    virtual void SwapWindow();
    virtual void PollEvents();
    virtual void WaitEvents();
    // Whether the connection to the window system has failed.
    virtual bool DisplayLost();
    // Full file name of the running program.
    virtual String ProgramPath();

    void UpdateEvents();
    // Drops the keys released through a window change once the keyboard no longer holds them, and
    // presses the carried ones again while it still does.
    void ForgetReleasedKeys();
    // Filters the key callback for keys released through a window change; true when the event is done.
    bool FilterReleasedKey(int glfwKey, int action);
    void ReapChildren();
    // Sets the current context's swap interval from _swapInterval and the window system.
    void ApplySwapInterval();
    void FillAppPath();

    double _updatePeriod = 0;
    double _nextUpdate = 0;
    String _appPath;
    String _internalPath;
    int _swapInterval = 1;
    GLFWwindow *_window = nullptr;
    int _windowBits[6] = {}; // the colour, alpha, depth and stencil bits the window was made with
    RtClock *_clock;
    bool _windowFailed = false;
    bool _displayLost = false;
    // The per-frame recording (off unless TIDE_FRAME_LOG names a file): one line per buffer swap with
    // the game's own work since the previous swap (its updates, then the draw list and its submission)
    // and the time the swap itself took (where the software renderer does its drawing).
    std::FILE *_frameLog = nullptr;
    double _frameWork = 0;  // seconds of work since the last swap
    double _frameCpu = 0;   // the same work in processor seconds of the main thread
    int _frameUpdates = 0;  // updates since the last swap
    long _frameLogged = 0;
    double _frameLate = 0;  // the latest any of them started after its due time, in seconds
    void LogFrame(double swapped, double swapTime);
    // One update; when recording, timed and checked against its due time (0: none).
    void TimedUpdate(double due);
    // Kept up to date by the window's callbacks: asking the window system every frame costs a round trip
    // to the display server for each question. The window's size is in the desktop's units, its
    // framebuffer's in pixels; on a high-density screen the framebuffer is the larger.
    int _width = 0;
    int _height = 0;
    int _pixelWidth = 0;
    int _pixelHeight = 0;
    bool _focused = false;
    bool _iconified = false;
    // A window the game asked for counts as active until the window system has had time to focus it:
    // replacing the window is not a loss of focus.
    double _focusGraceUntil = 0;
    // Keys released by the host before a window change, by GLFW key token, and when that happened.
    bool _releasedKeys[GLFW_KEY_LAST + 1] = {};
    int _releasedCount = 0;
    double _releasedAt = 0;
    // The other keys released for a window change, which the new window never saw go down: 1 until the
    // host has pressed them again, 2 while it holds them for the game, until the keyboard lets go.
    unsigned char _carriedKeys[GLFW_KEY_LAST + 1] = {};
    int _carriedCount = 0;
    int _lastPressed = -1; // GLFW token of the last key that went down
    // The desktop mode as it was before one of our full-screen windows changed the monitor's mode.
    int _desktop[5] = {0, 0, 0, 0, 0};
    std::once_flag _pathsOnce;
    std::vector<pid_t> _children; // URL openers not yet reaped
};

class RtZindleGame : public RtGlfwGame {
  public:
    // The process's start-up; returns the exit status.
    static int Main(int argc, char **argv);
};

// The command line, kept for the whole process.
extern int rt_argc;
extern char **rt_argv;
