#include "tests/e2e/harness/x_session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifndef TIDE_SOURCE_DIR
#error "TIDE_SOURCE_DIR must name the source tree"
#endif

namespace e2e {

// Windows come and go (the game replaces its window on a full-screen switch): a request about a
// window that has just gone is not an error for us.
static int ignore_x_errors(Display *, XErrorEvent *) { return 0; }

XSession::XSession(int width, int height, const std::string &logDir) : width_(width), height_(height) {
    MakeDirs(logDir);
    if (!StartServer(logDir)) return;
    XSetErrorHandler(ignore_x_errors);
    dpy_ = XOpenDisplay(DisplayName().c_str());
    if (!dpy_) {
        error_ = "cannot connect to " + DisplayName();
        return;
    }
    wmRunning_ = StartWindowManager(logDir);
}

XSession::~XSession() {
    if (dpy_) {
        if (decoy_) XDestroyWindow(dpy_, decoy_);
        XCloseDisplay(dpy_);
    }
    wm_.Stop(2.0);
    server_.Stop(3.0);
}

bool XSession::StartServer(const std::string &logDir) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        error_ = "pipe failed";
        return false;
    }
    SpawnOptions o;
    std::string geometry = std::to_string(width_) + "x" + std::to_string(height_) + "x24";
    // The server picks a free display number itself and writes it to the pipe once it accepts clients.
    o.argv = {"Xvfb",       "-displayfd", std::to_string(fds[1]), "-screen", "0",         geometry,
              "+extension", "GLX",        "+extension",           "XTEST",   "-nolisten", "tcp",
              "-noreset"};
    o.keepFd = fds[1];
    o.outFile = logDir + "/xvfb.log";
    o.errFile = logDir + "/xvfb.log";
    bool started = server_.Start(o);
    close(fds[1]);
    if (!started) {
        close(fds[0]);
        error_ = "cannot start Xvfb";
        return false;
    }
    std::string number;
    double end = NowSec() + 30;
    while (NowSec() < end && number.find('\n') == std::string::npos) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) {
            if (!server_.Running()) break;
            continue;
        }
        char buf[32];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) break;
        number.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.empty() || number.find('\n') == std::string::npos) {
        error_ = "Xvfb did not report its display: " + ReadFile(logDir + "/xvfb.log");
        return false;
    }
    number_ = std::atoi(number.c_str());
    return true;
}

bool XSession::WindowManagerRunning() {
    Atom check = XInternAtom(dpy_, "_NET_SUPPORTING_WM_CHECK", False);
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    bool found = false;
    if (XGetWindowProperty(dpy_, DefaultRootWindow(dpy_), check, 0, 1, False, XA_WINDOW, &type, &format, &n,
                           &after, &data) == Success &&
        data) {
        found = n == 1;
        XFree(data);
    }
    return found;
}

bool XSession::StartWindowManager(const std::string &logDir) {
    SpawnOptions o;
    o.argv = {"openbox", "--sm-disable", "--config-file", TIDE_SOURCE_DIR "/tests/e2e/openbox-rc.xml"};
    // The window manager keeps its caches and settings in the session's own folder, not the user's.
    o.env = {{"DISPLAY", DisplayName()},
             {"HOME", home_.Path()},
             {"XDG_CONFIG_HOME", home_ / "config"},
             {"XDG_CACHE_HOME", home_ / "cache"},
             {"XDG_DATA_HOME", home_ / "data"}};
    o.unsetEnv = {"SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"};
    o.outFile = logDir + "/openbox.log";
    o.errFile = logDir + "/openbox.log";
    if (!wm_.Start(o)) {
        error_ = "cannot start openbox";
        return false;
    }
    double end = NowSec() + 20;
    while (NowSec() < end) {
        if (WindowManagerRunning()) return true;
        if (!wm_.Running()) break;
        SleepSec(0.05);
    }
    error_ = "openbox did not start: " + ReadFile(logDir + "/openbox.log");
    return false;
}

static std::string window_name(Display *dpy, Window w) {
    Atom netName = XInternAtom(dpy, "_NET_WM_NAME", False), utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    std::string name;
    if (XGetWindowProperty(dpy, w, netName, 0, 256, False, utf8, &type, &format, &n, &after, &data) ==
            Success &&
        data) {
        name.assign(reinterpret_cast<char *>(data), n);
        XFree(data);
    }
    if (name.empty()) {
        char *old = nullptr;
        if (XFetchName(dpy, w, &old) && old) {
            name = old;
            XFree(old);
        }
    }
    return name;
}

static Window find_named(Display *dpy, Window w, const std::string &title) {
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable && window_name(dpy, w) == title)
        return w;
    Window root, parent, *kids = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(dpy, w, &root, &parent, &kids, &n)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < n && !found; ++i)
        found = find_named(dpy, kids[i], title);
    if (kids) XFree(kids);
    return found;
}

static WindowInfo describe(Display *dpy, Window w) {
    WindowInfo info;
    XWindowAttributes a;
    Window child;
    int x = 0, y = 0;
    if (!XGetWindowAttributes(dpy, w, &a) ||
        !XTranslateCoordinates(dpy, w, DefaultRootWindow(dpy), 0, 0, &x, &y, &child))
        return info;
    info.id = w;
    info.area = {x, y, a.width, a.height};
    Atom extents = XInternAtom(dpy, "_NET_FRAME_EXTENTS", False);
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(dpy, w, extents, 0, 4, False, XA_CARDINAL, &type, &format, &n, &after, &data) ==
            Success &&
        data) {
        if (n == 4) {
            const long *e = reinterpret_cast<const long *>(data);
            info.frameLeft = static_cast<int>(e[0]);
            info.frameRight = static_cast<int>(e[1]);
            info.frameTop = static_cast<int>(e[2]);
            info.frameBottom = static_cast<int>(e[3]);
        }
        XFree(data);
    }
    return info;
}

WindowInfo XSession::FindWindow(const std::string &title) {
    if (!dpy_) return {};
    XSync(dpy_, False);
    Window w = find_named(dpy_, DefaultRootWindow(dpy_), title);
    return w ? describe(dpy_, w) : WindowInfo{};
}

bool XSession::HasFocus(const WindowInfo &w) {
    if (!dpy_ || !w.Valid()) return false;
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &focus, &revert);
    return focus == w.id;
}

Image XSession::Capture(Rect area) {
    if (!dpy_) return {};
    if (area.w <= 0 || area.h <= 0) area = {0, 0, width_, height_};
    // Only what lies on the screen can be read.
    int x0 = std::max(area.x, 0), y0 = std::max(area.y, 0);
    int x1 = std::min(area.x + area.w, width_), y1 = std::min(area.y + area.h, height_);
    if (x1 <= x0 || y1 <= y0) return {};
    XImage *xi = XGetImage(dpy_, DefaultRootWindow(dpy_), x0, y0, static_cast<unsigned>(x1 - x0),
                           static_cast<unsigned>(y1 - y0), AllPlanes, ZPixmap);
    if (!xi) return {};
    Image img(x1 - x0, y1 - y0);
    auto shift = [](unsigned long mask) {
        int s = 0;
        while (mask && !(mask & 1))
            mask >>= 1, ++s;
        return s;
    };
    int rs = shift(xi->red_mask), gs = shift(xi->green_mask), bs = shift(xi->blue_mask);
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            unsigned long p = XGetPixel(xi, x, y);
            img.Set(x, y,
                    {static_cast<int>((p & xi->red_mask) >> rs), static_cast<int>((p & xi->green_mask) >> gs),
                     static_cast<int>((p & xi->blue_mask) >> bs)});
        }
    XDestroyImage(xi);
    return img;
}

bool XSession::Xdotool(const std::vector<std::string> &args) {
    SpawnOptions o;
    o.argv = {"xdotool"};
    o.argv.insert(o.argv.end(), args.begin(), args.end());
    o.env = {{"DISPLAY", DisplayName()}};
    return RunCommand(o, 10.0) == 0;
}

void XSession::KeyDown(const std::string &key) { Xdotool({"keydown", key}); }
void XSession::KeyUp(const std::string &key) { Xdotool({"keyup", key}); }

void XSession::Tap(const std::string &key, double holdSec) {
    KeyDown(key);
    SleepSec(holdSec);
    KeyUp(key);
    SleepSec(holdSec);
}

// The server itself times the release (XTEST's delay), so the hold is what was asked for and not
// stretched by the client's scheduling. libXtst is looked up at run time: only its library is installed.
void XSession::QuickTap(const std::string &key, double holdSec) {
    using FakeKey = int (*)(Display *, unsigned int, int, unsigned long);
    static void *xtst = dlopen("libXtst.so.6", RTLD_LAZY);
    static FakeKey fake = xtst ? reinterpret_cast<FakeKey>(dlsym(xtst, "XTestFakeKeyEvent")) : nullptr;
    KeySym sym = XStringToKeysym(key.c_str());
    KeyCode code = sym != NoSymbol && dpy_ ? XKeysymToKeycode(dpy_, sym) : 0;
    if (fake && code) {
        fake(dpy_, code, True, 0);
        fake(dpy_, code, False, static_cast<unsigned long>(holdSec * 1000 + 0.5));
        XSync(dpy_, False);
        return;
    }
    char hold[32];
    std::snprintf(hold, sizeof hold, "%.3f", holdSec);
    Xdotool({"keydown", key, "sleep", hold, "keyup", key});
}

void XSession::MoveMouse(int x, int y) { Xdotool({"mousemove", std::to_string(x), std::to_string(y)}); }

void XSession::Click(int x, int y, double holdSec) {
    MoveMouse(x, y);
    Xdotool({"mousedown", "1"});
    SleepSec(holdSec);
    Xdotool({"mouseup", "1"});
    SleepSec(holdSec);
}

WindowInfo XSession::OpenDecoy(int x, int y, int w, int h) {
    if (!dpy_) return {};
    Window root = DefaultRootWindow(dpy_);
    int screen = DefaultScreen(dpy_);
    decoy_ = XCreateSimpleWindow(dpy_, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), 0,
                                 BlackPixel(dpy_, screen), WhitePixel(dpy_, screen));
    XStoreName(dpy_, decoy_, "decoy");
    // Asked-for position honoured by the window manager, and a window that takes the focus.
    XSizeHints size{};
    size.flags = USPosition | PPosition | USSize | PSize;
    size.x = x;
    size.y = y;
    size.width = w;
    size.height = h;
    XSetWMNormalHints(dpy_, decoy_, &size);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(dpy_, decoy_, &hints);
    XMapWindow(dpy_, decoy_);
    XFlush(dpy_);
    double end = NowSec() + 10;
    while (NowSec() < end) {
        WindowInfo info = FindWindow("decoy");
        if (info.Valid()) return info;
        SleepSec(0.05);
    }
    return {};
}

} // namespace e2e
