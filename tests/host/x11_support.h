// X11 helpers for the window tests: what a window manager or the user would send to a window.
#pragma once
#define GLFW_EXPOSE_NATIVE_X11
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include <GL/gl.h>

#include "desktop/glfw_game.h"
#include "graphics/graphics.h"

// What a frame is drawn at: the device size the game fits its screen to, and the viewport the renderer
// then sets ({width, height, viewport width, viewport height}).
struct DrawnSize {
    int width, height, viewportWidth, viewportHeight;
    bool operator==(const DrawnSize &o) const {
        return width == o.width && height == o.height && viewportWidth == o.viewportWidth &&
               viewportHeight == o.viewportHeight;
    }
};
inline DrawnSize drawn_size(RtGlfwGame &host) {
    gxtkGraphics *graphics = new gxtkGraphics;
    graphics->BeginRender();
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    return {host.GetDeviceWidth(), host.GetDeviceHeight(), viewport[2], viewport[3]};
}

// The close button: the window manager's WM_DELETE_WINDOW request.
inline void x11_send_close(Display *dpy, Window win) {
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = win;
    ev.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, win, False, NoEventMask, &ev);
    XFlush(dpy);
}

// A key press delivered straight to the window, whoever has the focus.
inline void x11_send_key_press(Display *dpy, Window win, KeySym sym) {
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xkey.type = KeyPress;
    ev.xkey.display = dpy;
    ev.xkey.window = win;
    ev.xkey.root = DefaultRootWindow(dpy);
    ev.xkey.time = CurrentTime;
    ev.xkey.same_screen = True;
    ev.xkey.keycode = XKeysymToKeycode(dpy, sym);
    XSendEvent(dpy, win, True, KeyPressMask, &ev);
    XFlush(dpy);
}

inline std::string x11_window_title(Display *dpy, Window win) {
    char *name = nullptr;
    std::string title;
    if (XFetchName(dpy, win, &name) && name) title = name;
    if (name) XFree(name);
    return title;
}

// Makes sure the screen offers a mode of the given size (the virtual test display starts with one).
inline bool x11_ensure_mode(Display *dpy, int width, int height) {
    Window root = DefaultRootWindow(dpy);
    XRRScreenResources *res = XRRGetScreenResources(dpy, root);
    if (!res || res->noutput < 1) return false;
    bool found = false;
    XRROutputInfo *out = XRRGetOutputInfo(dpy, res, res->outputs[0]);
    for (int i = 0; out && i < out->nmode && !found; ++i)
        for (int j = 0; j < res->nmode; ++j)
            if (res->modes[j].id == out->modes[i] && static_cast<int>(res->modes[j].width) == width &&
                static_cast<int>(res->modes[j].height) == height)
                found = true;
    if (!found) {
        XRRModeInfo mode;
        std::memset(&mode, 0, sizeof mode);
        std::string name = std::to_string(width) + "x" + std::to_string(height) + "_tide";
        mode.width = static_cast<unsigned>(width);
        mode.height = static_cast<unsigned>(height);
        mode.hTotal = static_cast<unsigned>(width);
        mode.vTotal = static_cast<unsigned>(height);
        mode.dotClock = static_cast<unsigned long>(width) * static_cast<unsigned long>(height) * 60;
        mode.name = name.data();
        mode.nameLength = static_cast<unsigned>(name.size());
        RRMode id = XRRCreateMode(dpy, root, &mode);
        XRRAddOutputMode(dpy, res->outputs[0], id);
        XSync(dpy, False);
        found = true;
    }
    if (out) XRRFreeOutputInfo(out);
    XRRFreeScreenResources(res);
    return found;
}

// The mode of the first output's CRTC as "WxH@Hz", or "" when there is none.
inline std::string current_mode(Display *dpy) {
    XRRScreenResources *res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    if (!res) return "";
    std::string text;
    XRRCrtcInfo *crtc = res->ncrtc > 0 ? XRRGetCrtcInfo(dpy, res, res->crtcs[0]) : nullptr;
    for (int i = 0; crtc && i < res->nmode; ++i) {
        const XRRModeInfo &m = res->modes[i];
        if (m.id != crtc->mode) continue;
        long rate =
            m.hTotal && m.vTotal ? std::lround(double(m.dotClock) / (double(m.hTotal) * m.vTotal)) : 0;
        text = std::to_string(m.width) + "x" + std::to_string(m.height) + "@" + std::to_string(rate);
    }
    if (crtc) XRRFreeCrtcInfo(crtc);
    XRRFreeScreenResources(res);
    return text;
}

// Adds a mode of the given size and rate to the first output, as `xrandr --newmode` and `--addmode` do.
inline RRMode add_mode(Display *dpy, int width, int height, int rate) {
    XRRScreenResources *res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    if (!res || res->noutput < 1) return 0;
    std::string name = std::to_string(width) + "x" + std::to_string(height) + "_" + std::to_string(rate);
    XRRModeInfo mode;
    std::memset(&mode, 0, sizeof mode);
    mode.width = static_cast<unsigned>(width);
    mode.height = static_cast<unsigned>(height);
    mode.hTotal = static_cast<unsigned>(width);
    mode.vTotal = static_cast<unsigned>(height);
    mode.dotClock = static_cast<unsigned long>(width) * static_cast<unsigned long>(height) * rate;
    mode.name = name.data();
    mode.nameLength = static_cast<unsigned>(name.size());
    RRMode id = XRRCreateMode(dpy, DefaultRootWindow(dpy), &mode);
    XRRAddOutputMode(dpy, res->outputs[0], id);
    XSync(dpy, False);
    XRRFreeScreenResources(res);
    return id;
}

// Switches the first output to the mode, as `xrandr --output ... --mode` does.
inline bool set_mode(Display *dpy, RRMode mode) {
    XRRScreenResources *res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    if (!res || res->ncrtc < 1 || res->noutput < 1) return false;
    Status st =
        XRRSetCrtcConfig(dpy, res, res->crtcs[0], CurrentTime, 0, 0, mode, RR_Rotate_0, res->outputs, 1);
    XSync(dpy, False);
    XRRFreeScreenResources(res);
    return st == RRSetConfigSuccess;
}

inline bool wait_for_mode(Display *dpy, const std::string &mode) {
    for (int i = 0; i < 1000 && current_mode(dpy) != mode; ++i)
        usleep(10000);
    return current_mode(dpy) == mode;
}

// A clock that moves only when the loop sleeps: every frame then runs exactly the updates that are due,
// however slowly the machine runs.
class SteppedClock : public RtClock {
  public:
    double now = 50.0;
    double Now() override { return now; }
    void Sleep(double seconds) override { now += seconds; }
};

// Pumps GLFW's events until the condition holds or five seconds pass.
inline bool pump_until(const std::function<bool()> &done, double seconds = 5) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        glfwWaitEventsTimeout(0.01);
    }
    return true;
}

// An Xvfb of our own; it picks a free display number and tells us which.
class PrivateDisplay {
  public:
    std::string name;
    bool Start(const char *screen = "1024x768x24") {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "+extension", "GLX",
                   "-nolisten", "tcp", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty()) return false;
        name = ":" + number;
        return true;
    }
    ~PrivateDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }

  private:
    pid_t pid_ = -1;
};
