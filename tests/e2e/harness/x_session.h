// A private X display for one end-to-end run: Xvfb on a free display number, a window manager (so
// that focus and the close request behave as on a desktop), screenshots, and real input through the
// XTEST extension (xdotool).
#pragma once
#include <string>
#include <vector>

#include "tests/e2e/harness/image.h"
#include "tests/e2e/harness/process.h"

typedef struct _XDisplay Display;

namespace e2e {

struct WindowInfo {
    unsigned long id = 0;                                             // the client window (0: none)
    Rect area;                                                        // its inside, in root coordinates
    int frameLeft = 0, frameRight = 0, frameTop = 0, frameBottom = 0; // decoration sizes
    bool Valid() const { return id != 0; }
};

class XSession {
  public:
    // `logDir` receives the server's and the window manager's output.
    XSession(int width, int height, const std::string &logDir);
    ~XSession();
    XSession(const XSession &) = delete;
    XSession &operator=(const XSession &) = delete;

    bool Ok() const { return dpy_ != nullptr && wmRunning_; }
    const std::string &Error() const { return error_; }
    std::string DisplayName() const { return ":" + std::to_string(number_); }
    int ScreenWidth() const { return width_; }
    int ScreenHeight() const { return height_; }

    // The mapped client window with this title (first found), or an invalid one.
    WindowInfo FindWindow(const std::string &title);
    bool HasFocus(const WindowInfo &w);

    Image Capture(Rect area = {});
    Image CaptureWindow(const WindowInfo &w) { return Capture(w.area); }

    // Real input, as a person at the keyboard would give it. A tap holds the key long enough for the
    // game (which reads held keys once per update) to see it, then leaves it up as long again.
    void KeyDown(const std::string &key);
    void KeyUp(const std::string &key);
    void Tap(const std::string &key, double holdSec = 0.08);
    // A tap as short as a quick finger gives: press and release exactly `holdSec` apart.
    void QuickTap(const std::string &key, double holdSec);
    void MoveMouse(int x, int y);
    void Click(int x, int y, double holdSec = 0.08);

    // A plain window of our own, to take the focus away from the game with a click.
    WindowInfo OpenDecoy(int x, int y, int w, int h);

  private:
    bool Xdotool(const std::vector<std::string> &args);
    bool StartServer(const std::string &logDir);
    bool StartWindowManager(const std::string &logDir);
    bool WindowManagerRunning();

    int width_, height_;
    int number_ = -1;
    Display *dpy_ = nullptr;
    bool wmRunning_ = false;
    std::string error_;
    TempDir home_{"xhome"};
    Process server_, wm_;
    unsigned long decoy_ = 0;
};

} // namespace e2e
