// A private Wayland session for one end-to-end run: sway on its headless backend with one output at a
// chosen scale, screenshots through grim, commands through swaymsg, and real key events from a virtual
// keyboard that stays on the seat for the whole session.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness/image.h"
#include "tests/e2e/harness/process.h"

namespace e2e {

// A client window as the compositor places it, in the desktop's units (logical pixels).
struct View {
    bool found = false;
    Rect area;
    bool focused = false, visible = false, fullScreen = false;
};

class SwaySession {
  public:
    // An output of width x height desktop units at `scale` (its pixels are scale times as many each way).
    // `logDir` receives the compositor's and the keyboard's output.
    SwaySession(int width, int height, int scale, const std::string &logDir);
    ~SwaySession();
    SwaySession(const SwaySession &) = delete;
    SwaySession &operator=(const SwaySession &) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string &Error() const { return error_; }
    int ScreenWidth() const { return width_; }
    int ScreenHeight() const { return height_; }
    int Scale() const { return scale_; }

    // Ends the compositor as a session's end does (SIGTERM), keyboard and all.
    void StopCompositor();

    // What a client needs to reach this compositor (and only it: no X display).
    std::vector<std::pair<std::string, std::string>> ClientEnv() const;
    std::vector<std::string> ClientUnsetEnv() const { return {"DISPLAY", "WAYLAND_SOCKET"}; }

    // A sway command (criteria included), as swaymsg takes it; true when sway carried it out.
    bool Command(const std::string &command);
    // The window of the client with this process id.
    View FindView(int pid);

    // A screenshot of an area in desktop units (the whole output by default), at the output's pixels.
    Image Capture(Rect area = {});

    // Key names as the X harness has them (z, space, Escape, Up, F11, ...), sent as evdev key codes.
    void KeyDown(const std::string &key);
    void KeyUp(const std::string &key);
    void Tap(const std::string &key, double holdSec = 0.08);

  private:
    bool StartCompositor(const std::string &logDir);
    bool StartKeyboard(const std::string &logDir);
    int Run(const std::vector<std::string> &argv, std::string *out = nullptr);
    void Key(const std::string &key, bool down);

    int width_, height_, scale_;
    std::string error_, logDir_;
    TempDir runtime_{"wlrun"};
    std::string socket_, ipc_;
    Process sway_, keyboard_;
    int keys_ = -1; // the keyboard's command FIFO
};

} // namespace e2e
