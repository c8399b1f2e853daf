// The desktop host on GLFW 3: the window, the paced frame loop, display modes, the clock and the browser.
#include "desktop/glfw_game.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include "runtime/framelog.h"

extern char **environ;

RtGlfwGame *RtGlfwGame::_glfwGame;

static const char *const window_title = "The Final Tidecrawler";
// Most catch-up updates in one frame; a longer backlog is dropped.
static const int max_catch_up = 4;
// How long a window the game asked for may take to get the focus before it counts as lost (seconds).
static const double focus_grace = 2.0;

double RtGlfwClock::Now() { return glfwGetTime(); }

// Sleeps towards an absolute moment on the monotonic clock: a sleep interrupted by a signal goes on to
// the same moment instead of sleeping its remainder again from a later start.
void RtGlfwClock::Sleep(double seconds) {
    if (!(seconds > 0)) return;
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    long long whole = static_cast<long long>(seconds);
    long long nanos = until.tv_nsec + static_cast<long long>((seconds - static_cast<double>(whole)) * 1e9);
    until.tv_sec += static_cast<time_t>(whole + nanos / 1000000000);
    until.tv_nsec = static_cast<long>(nanos % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

static RtGlfwClock glfw_clock;

RtGlfwGame::RtGlfwGame() : _clock(&glfw_clock) {
    _game = this;
    _glfwGame = this;
}

RtGlfwGame::~RtGlfwGame() {
    if (_window) glfwDestroyWindow(_window);
    if (_game == this) _game = nullptr;
    if (_glfwGame == this) _glfwGame = nullptr;
}

void RtGlfwGame::SetClock(RtClock *clock) { _clock = clock ? clock : &glfw_clock; }

void RtGlfwGame::SetUpdateRate(int hertz) {
    _updateRate = hertz;
    if (hertz != 0) _updatePeriod = 1.0 / hertz;
    _nextUpdate = 0;
}

int RtGlfwGame::Millisecs() {
    // Through a 64-bit value so that a long-running process wraps instead of overflowing the conversion.
    return static_cast<int>(static_cast<long long>(_clock->Now() * 1000.0));
}

// ---- the frame loop ----

bool RtGlfwGame::WindowOpened() { return _window && !glfwWindowShouldClose(_window); }

bool RtGlfwGame::WindowActive() {
    return _window && !_iconified && (_focused || (_focusGraceUntil > 0 && _clock->Now() < _focusGraceUntil));
}

// A Wayland swap is answered by the compositor, and the answer wakes the event wait: a suspended game
// that swapped after each event would wake itself at once, for ever. The compositor keeps showing the
// last frame, and a suspended game draws the same picture again anyway.
void RtGlfwGame::SwapWindow() {
    if (_window && !(_suspended && OnWayland())) glfwSwapBuffers(_window);
}

void RtGlfwGame::PollEvents() { glfwPollEvents(); }
void RtGlfwGame::WaitEvents() { glfwWaitEvents(); }

// Looked up at run time, as the X11 calls are: only a Wayland session has the connection and its library.
bool RtGlfwGame::DisplayLost() {
    if (!OnWayland()) return false;
    using GetDisplay = void *(*)();
    using GetError = int (*)(void *);
    static GetDisplay get_display =
        reinterpret_cast<GetDisplay>(dlsym(RTLD_DEFAULT, "glfwGetWaylandDisplay"));
    static GetError get_error = [] {
        void *lib = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD);
        return lib ? reinterpret_cast<GetError>(dlsym(lib, "wl_display_get_error")) : nullptr;
    }();
    void *display = get_display ? get_display() : nullptr;
    return display && get_error && get_error(display) != 0;
}

// A suspended game blocks until the next event, so it uses no processor time in between.
void RtGlfwGame::UpdateEvents() {
    // The compositor has gone (the session ended). The driver's buffer swap may have read its last
    // events and found the connection closed, and GLFW then loops for ever waiting to read more: the
    // events are not asked for again, and the game ends as it does on a close request.
    if (DisplayLost()) {
        _displayLost = true;
        KeyEvent(1, 432);
        KeyEvent(2, 432);
        return;
    }
    if (_suspended)
        WaitEvents();
    else
        PollEvents();
    ForgetReleasedKeys();
    // A termination signal ends the process through exit and its handlers, with the shell's status for it.
    if (int sig = rtStopSignal()) std::exit(128 + sig);
}

// Monotonic seconds, the clock the recording shares with whoever reads it, and the processor time of
// the calling thread: the two differ by the time the thread waited for a processor.
static double clock_seconds(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
static double monotonic_now() { return clock_seconds(CLOCK_MONOTONIC); }
static double thread_cpu_now() { return clock_seconds(CLOCK_THREAD_CPUTIME_ID); }

void RtGlfwGame::Run() {
    // The loop's sleeps end within a few microseconds of their time rather than the 50 the kernel
    // allows a thread by default; the wait stays a real sleep.
    prctl(PR_SET_TIMERSLACK, 5000UL, 0, 0, 0);
    if (const char *path = std::getenv("TIDE_FRAME_LOG")) {
        _frameLog = std::fopen(path, "w");
        framelog::on = _frameLog != nullptr;
        if (_frameLog) std::fputs("# swap_s work_ms swap_ms updates late_ms marks work_cpu_ms\n", _frameLog);
    }
    SetGlfwWindow(640, 480, 8, 8, 8, 0, 0, 0, false);
    // Without a window there is no context for the devices to start on.
    if (!_window) return;
    StartGame();
    while (Frame()) {
    }
}

bool RtGlfwGame::Frame() {
    if (_displayLost || !WindowOpened()) return false;
    ReapChildren();

    double renderStart = _frameLog ? monotonic_now() : 0, renderCpu = _frameLog ? thread_cpu_now() : 0;
    RenderGame();
    if (_frameLog) {
        double rendered = monotonic_now();
        _frameWork += rendered - renderStart;
        _frameCpu += thread_cpu_now() - renderCpu;
        SwapWindow();
        double swapped = monotonic_now();
        LogFrame(swapped, swapped - rendered);
    } else {
        SwapWindow();
    }

    if (_nextUpdate != 0) {
        double wait = _nextUpdate - _clock->Now();
        if (wait > 0) _clock->Sleep(wait);
    }

    UpdateEvents();
    if (_displayLost) return false;

    bool active = WindowActive();
    if (active && _suspended) {
        ResumeGame();
        _nextUpdate = 0;
        framelog::Note(framelog::kSuspend);
    } else if (!active && !_suspended) {
        SuspendGame();
        _nextUpdate = 0;
        framelog::Note(framelog::kSuspend);
    }
    if (_suspended) return true;

    if (_updateRate == 0) {
        TimedUpdate(0);
        return true;
    }
    if (_nextUpdate == 0) _nextUpdate = _clock->Now();
    for (int i = 0; i < max_catch_up; ++i) {
        TimedUpdate(_nextUpdate);
        // A rate change inside the update restarted the schedule: this frame's catch-up is over.
        if (_nextUpdate == 0) return true;
        _nextUpdate += _updatePeriod;
        if (_clock->Now() < _nextUpdate) return true;
    }
    // Too far behind: drop the backlog and start the schedule again from the next frame.
    _nextUpdate = 0;
    return true;
}

void RtGlfwGame::TimedUpdate(double due) {
    if (!_frameLog) {
        UpdateGame();
        return;
    }
    double start = monotonic_now(), cpu = thread_cpu_now();
    if (due > 0) {
        double late = _clock->Now() - due;
        if (late > _frameLate) _frameLate = late;
    }
    UpdateGame();
    _frameWork += monotonic_now() - start;
    _frameCpu += thread_cpu_now() - cpu;
    ++_frameUpdates;
}

void RtGlfwGame::LogFrame(double swapped, double swapTime) {
    std::fprintf(_frameLog, "%.6f %.3f %.3f %d %.3f %u %.3f\n", swapped, _frameWork * 1000, swapTime * 1000,
                 _frameUpdates, _frameLate * 1000, framelog::marks, _frameCpu * 1000);
    // Written out now and then, so that a run cut short still leaves most of its frames behind.
    if (++_frameLogged % 60 == 0) std::fflush(_frameLog);
    framelog::marks = 0;
    _frameWork = 0;
    _frameCpu = 0;
    _frameUpdates = 0;
    _frameLate = 0;
}

// ---- the window ----

// The desktop mode in _desktop: read afresh unless our own full-screen window changed the monitor's
// mode, in which case the one read before still holds.
static bool read_desktop_mode(GLFWwindow *window, int *desktop) {
    if (window && glfwGetWindowMonitor(window)) return desktop[0] > 0;
    GLFWmonitor *monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode *mode = monitor ? glfwGetVideoMode(monitor) : nullptr;
    if (!mode) return false;
    desktop[0] = mode->width;
    desktop[1] = mode->height;
    desktop[2] = mode->redBits;
    desktop[3] = mode->greenBits;
    desktop[4] = mode->blueBits;
    return true;
}

void RtGlfwGame::SetGlfwWindow(int width, int height, int red, int green, int blue, int alpha, int depth,
                               int stencil, bool fullscreen) {
    bool replacing = _window != nullptr;
    int bits[6] = {red, green, blue, alpha, depth, stencil};
    if (_window) {
        ReleaseHeldKeys();
        // A Wayland window changes to full screen and back in place: the compositor shows it in the
        // desktop's own mode either way, and the window keeps its surface, its context and the keyboard
        // focus. A window destroyed under a held key loses that key's release, and GLFW then repeats the
        // key into a window that is gone.
        if (OnWayland() && std::equal(bits, bits + 6, _windowBits)) {
            GLFWmonitor *monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
            glfwSetWindowMonitor(_window, monitor, 0, 0, width, height, GLFW_DONT_CARE);
            framelog::Note(framelog::kWindow);
            glfwGetWindowSize(_window, &_width, &_height);
            glfwGetFramebufferSize(_window, &_pixelWidth, &_pixelHeight);
            return;
        }
        // Destroying a full-screen window gives the monitor its desktop mode back.
        glfwDestroyWindow(_window);
        _window = nullptr;
    }
    bool haveDesktop = read_desktop_mode(nullptr, _desktop);
    GLFWmonitor *monitor = glfwGetPrimaryMonitor();

    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_REFRESH_RATE, 60);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_RED_BITS, red);
    glfwWindowHint(GLFW_GREEN_BITS, green);
    glfwWindowHint(GLFW_BLUE_BITS, blue);
    glfwWindowHint(GLFW_ALPHA_BITS, alpha);
    glfwWindowHint(GLFW_DEPTH_BITS, depth);
    glfwWindowHint(GLFW_STENCIL_BITS, stencil);
    // The size is in the desktop's units: on a high-density X11 desktop the window gets as many more
    // pixels as a Wayland compositor gives it by itself.
    glfwWindowHint(GLFW_SCALE_TO_MONITOR, GLFW_TRUE);
    // A Wayland compositor places its windows, gives the focus itself and shows a full-screen window in
    // the desktop's own mode; it refuses the calls that would do it for it.
    bool wayland = OnWayland();

    if (fullscreen && monitor) {
        _window = glfwCreateWindow(width, height, window_title, monitor, nullptr);
        // Without a window manager nobody else would give a full-screen window the focus.
        if (_window && !wayland) glfwFocusWindow(_window);
    } else {
        // Placed while still hidden, so it never shows up anywhere but the centre.
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        _window = glfwCreateWindow(width, height, window_title, nullptr, nullptr);
        if (_window) {
            if (haveDesktop && !wayland) {
                // Scaled to the monitor, the window may be larger than asked for.
                int mx = 0, my = 0, w = width, h = height;
                glfwGetMonitorPos(monitor, &mx, &my);
                glfwGetWindowSize(_window, &w, &h);
                glfwSetWindowPos(_window, mx + (_desktop[0] - w) / 2, my + (_desktop[1] - h) / 2);
            }
            glfwShowWindow(_window);
        }
    }
    ++glfwGraphicsSeq;
    framelog::Note(framelog::kWindow);

    if (!_window) {
        const char *why = nullptr;
        glfwGetError(&why);
        std::fprintf(stderr, "Could not open the game window (%dx%d%s): %s\n", width, height,
                     fullscreen ? ", full screen" : "", why ? why : "no reason given");
        _windowFailed = true;
        return;
    }
    std::copy(bits, bits + 6, _windowBits);
    glfwMakeContextCurrent(_window);
    ApplySwapInterval();

    glfwSetKeyCallback(_window, OnKey);
    glfwSetCharCallback(_window, OnChar);
    glfwSetMouseButtonCallback(_window, OnMouseButton);
    glfwSetCursorPosCallback(_window, OnMousePos);
    glfwSetWindowCloseCallback(_window, OnWindowClose);
    glfwSetWindowSizeCallback(_window, OnWindowSize);
    glfwSetFramebufferSizeCallback(_window, OnFramebufferSize);
    glfwSetWindowFocusCallback(_window, OnWindowFocus);
    glfwSetWindowIconifyCallback(_window, OnWindowIconify);
    glfwGetWindowSize(_window, &_width, &_height);
    glfwGetFramebufferSize(_window, &_pixelWidth, &_pixelHeight);
    _focused = glfwGetWindowAttrib(_window, GLFW_FOCUSED) != 0;
    _iconified = glfwGetWindowAttrib(_window, GLFW_ICONIFIED) != 0;
    _focusGraceUntil = replacing && !_focused ? _clock->Now() + focus_grace : 0;
}

void RtGlfwGame::SetDeviceWindow(int width, int height, int flags) {
    SetGlfwWindow(width, height, 8, 8, 8, 0, 0, 0, (flags & 1) != 0);
}

// The close button is a key of the game's own: the game decides whether to end.
void RtGlfwGame::OnWindowClose(GLFWwindow *window) {
    glfwSetWindowShouldClose(window, GLFW_FALSE);
    if (!_glfwGame) return;
    _glfwGame->KeyEvent(1, 432);
    _glfwGame->KeyEvent(2, 432);
}

void RtGlfwGame::OnWindowSize(GLFWwindow *window, int width, int height) {
    if (!_glfwGame || window != _glfwGame->_window) return;
    _glfwGame->_width = width;
    _glfwGame->_height = height;
}

void RtGlfwGame::OnFramebufferSize(GLFWwindow *window, int width, int height) {
    if (!_glfwGame || window != _glfwGame->_window) return;
    _glfwGame->_pixelWidth = width;
    _glfwGame->_pixelHeight = height;
}

void RtGlfwGame::OnWindowFocus(GLFWwindow *window, int focused) {
    if (!_glfwGame || window != _glfwGame->_window) return;
    _glfwGame->_focused = focused != 0;
    _glfwGame->_focusGraceUntil = 0; // from now on the window system's word holds
}

void RtGlfwGame::OnWindowIconify(GLFWwindow *window, int iconified) {
    if (_glfwGame && window == _glfwGame->_window) _glfwGame->_iconified = iconified != 0;
}

// The device is the framebuffer: the game fits its screen, chooses its pictures and draws in pixels.
int RtGlfwGame::GetDeviceWidth() { return _window ? _pixelWidth : 0; }
int RtGlfwGame::GetDeviceHeight() { return _window ? _pixelHeight : 0; }

void RtGlfwGame::PointerToPixels(double x, double y, float *px, float *py) const {
    double sx = _width > 0 && _pixelWidth > 0 ? static_cast<double>(_pixelWidth) / _width : 1;
    double sy = _height > 0 && _pixelHeight > 0 ? static_cast<double>(_pixelHeight) / _height : 1;
    *px = static_cast<float>(x * sx);
    *py = static_cast<float>(y * sy);
}

bool RtGlfwGame::OnWayland() {
#ifdef GLFW_PLATFORM_WAYLAND
    return glfwGetPlatform() == GLFW_PLATFORM_WAYLAND;
#else
    // Before 3.4 a GLFW library is built for one window system; only a Wayland one has this call.
    static const bool wayland = dlsym(RTLD_DEFAULT, "glfwGetWaylandDisplay") != nullptr;
    return wayland;
#endif
}

void RtGlfwGame::SetSwapInterval(int interval) {
    _swapInterval = interval;
    if (_window) ApplySwapInterval();
}

// A Wayland compositor sends no frame events to a window it does not show (hidden, on another
// workspace, minimised), so a swap that waits for one would hold the loop, its events and its close
// request for as long as that lasts. The compositor shows only whole frames, so not waiting cannot
// tear, and the loop paces itself.
void RtGlfwGame::ApplySwapInterval() {
    if (OnWayland())
        glfwSwapInterval(0);
    else if (_swapInterval >= 0)
        glfwSwapInterval(_swapInterval);
}

// Hidden rather than captured: the game reads absolute pointer positions.
void RtGlfwGame::SetMouseVisible(bool visible) {
    if (_window) glfwSetInputMode(_window, GLFW_CURSOR, visible ? GLFW_CURSOR_NORMAL : GLFW_CURSOR_HIDDEN);
}

// ---- display modes ----

static const int max_modes = 1024;

static const GLFWvidmode *glfw_modes(int *count) {
    *count = 0;
    GLFWmonitor *monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode *modes = monitor ? glfwGetVideoModes(monitor, count) : nullptr;
    if (!modes) *count = 0;
    if (*count > max_modes) *count = max_modes;
    return modes;
}

Array<RtDisplayMode *> RtGlfwGame::GetDisplayModes() {
    int n;
    const GLFWvidmode *modes = glfw_modes(&n);
    Array<RtDisplayMode *> out(n);
    for (int i = 0; i < n; ++i)
        out[i] = new RtDisplayMode(modes[i].width, modes[i].height);
    return out;
}

RtDisplayMode *RtGlfwGame::GetDesktopMode() {
    if (!read_desktop_mode(_window, _desktop)) return nullptr;
    return new RtDisplayMode(_desktop[0], _desktop[1]);
}

Array<RtGlfwVideoMode *> RtGlfwGame::GetGlfwVideoModes() {
    int n;
    const GLFWvidmode *modes = glfw_modes(&n);
    Array<RtGlfwVideoMode *> out(n);
    for (int i = 0; i < n; ++i) {
        const GLFWvidmode &m = modes[i];
        out[i] = new RtGlfwVideoMode(m.width, m.height, m.redBits, m.greenBits, m.blueBits);
    }
    return out;
}

RtGlfwVideoMode *RtGlfwGame::GetGlfwDesktopMode() {
    if (!read_desktop_mode(_window, _desktop)) return nullptr;
    return new RtGlfwVideoMode(_desktop[0], _desktop[1], _desktop[2], _desktop[3], _desktop[4]);
}

// ---- the browser ----

// The URL goes to xdg-open as one argument, never through a shell. Failure is ignored; the opener is
// reaped by a later frame so that it never lingers as a zombie.
void RtGlfwGame::OpenUrl(String url) {
    std::string text(url.ToCString().c_str());
    // A leading '-' would be read as an option of the opener.
    if (text.empty() || text[0] == '-') return;
    char name[] = "xdg-open";
    char *argv[] = {name, text.data(), nullptr};
    // The opener gets no signals blocked: the game blocks the termination signals in all its threads.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
    pid_t pid;
    if (posix_spawnp(&pid, name, nullptr, &attr, argv, environ) == 0) _children.push_back(pid);
    posix_spawnattr_destroy(&attr);
}

void RtGlfwGame::ReapChildren() {
    for (size_t i = 0; i < _children.size();) {
        pid_t r = waitpid(_children[i], nullptr, WNOHANG);
        if (r == 0) {
            ++i;
            continue;
        }
        _children[i] = _children.back();
        _children.pop_back();
    }
}
