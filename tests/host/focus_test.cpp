// Window focus on its own virtual display, so that no other test's window can take the focus midway.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <X11/Xatom.h>

#include "desktop/glfw_game.h"
#include "tests/host/x11_support.h"

namespace {

class Counter : public RtGameDelegate {
  public:
    int suspends = 0, resumes = 0, updates = 0, renders = 0;
    void SuspendGame() override { ++suspends; }
    void ResumeGame() override { ++resumes; }
    void UpdateGame() override { ++updates; }
    void RenderGame() override { ++renders; }
};

// Runs frames until the condition holds; an empty event first, so that a suspended loop's wait returns.
bool frames_until(RtGlfwGame &host, const std::function<bool()> &done) {
    for (int i = 0; i < 300; ++i) {
        if (done()) return true;
        glfwPostEmptyEvent();
        if (!host.Frame()) return false;
        usleep(5000);
    }
    return done();
}

TEST(WindowFocus, LosingFocusSuspendsAndRegainingItResumes) {
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "Xvfb did not start";
    std::string oldDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", display.name.c_str(), 1);
    ASSERT_TRUE(glfwInit());
    {
        RtGlfwGame host;
        Counter *count = new Counter;
        host.SetDelegate(count);
        host.SetDeviceWindow(640, 480, 0);
        ASSERT_NE(host.Window(), nullptr);
        host.StartGame();
        host.SetUpdateRate(60);
        Display *dpy = glfwGetX11Display();

        glfwFocusWindow(host.Window());
        ASSERT_TRUE(pump_until([&] { return glfwGetWindowAttrib(host.Window(), GLFW_FOCUSED) != 0; }));
        ASSERT_TRUE(frames_until(host, [&] { return count->updates >= 3; }));
        EXPECT_EQ(count->suspends, 0);

        // Someone else takes the focus.
        XSetInputFocus(dpy, None, RevertToNone, CurrentTime);
        XFlush(dpy);
        ASSERT_TRUE(frames_until(host, [&] { return host.Suspended(); }));
        EXPECT_EQ(count->suspends, 1);
        int updates = count->updates, renders = count->renders;
        for (int i = 0; i < 5; ++i) {
            glfwPostEmptyEvent();
            host.Frame();
        }
        EXPECT_EQ(count->updates, updates);
        EXPECT_EQ(count->renders, renders + 5);
        EXPECT_EQ(count->suspends, 1);

        glfwFocusWindow(host.Window());
        ASSERT_TRUE(frames_until(host, [&] { return !host.Suspended(); }));
        EXPECT_EQ(count->resumes, 1);
        ASSERT_TRUE(frames_until(host, [&] { return count->updates > updates + 2; }));
        EXPECT_EQ(count->suspends, 1);
        EXPECT_EQ(count->resumes, 1);

        // A full-screen window has the focus at once, window manager or not.
        host.SetDeviceWindow(800, 600, 1);
        ASSERT_NE(glfwGetWindowMonitor(host.Window()), nullptr);
        updates = count->updates;
        ASSERT_TRUE(frames_until(host, [&] { return count->updates > updates + 2; }));
        EXPECT_EQ(count->suspends, 1);
    }
    glfwTerminate();
    setenv("DISPLAY", oldDisplay.c_str(), 1);
}

// Tells GLFW that a window manager runs (the check window of the desktop conventions) which acts on no
// request: a new window gets the focus only when the test gives it, as under a window manager that
// takes its time. Must be done before glfwInit, which looks for the window manager once.
void advertise_idle_window_manager(Display *dpy) {
    Window root = DefaultRootWindow(dpy);
    Window check = XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0);
    Atom wmCheck = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    Atom supported = XInternAtom(dpy, "_NET_SUPPORTED", False);
    Atom active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    auto bytes = [](const void *p) { return static_cast<const unsigned char *>(p); };
    XChangeProperty(dpy, root, wmCheck, XA_WINDOW, 32, PropModeReplace, bytes(&check), 1);
    XChangeProperty(dpy, check, wmCheck, XA_WINDOW, 32, PropModeReplace, bytes(&check), 1);
    XChangeProperty(dpy, root, supported, XA_ATOM, 32, PropModeReplace, bytes(&active), 1);
    XSync(dpy, False);
}

// Replaces its window on its third update, as F11 in a fight does.
class Replacer : public Counter {
  public:
    RtGlfwGame *host = nullptr;
    bool fullscreen = true;
    void UpdateGame() override {
        if (++updates == 3) host->SetDeviceWindow(640, 480, fullscreen ? 1 : 0);
    }
};

TEST(WindowFocus, AWindowTheGameAsksForIsNoLossOfFocus) {
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "Xvfb did not start";
    std::string oldDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", display.name.c_str(), 1);
    Display *wm = XOpenDisplay(display.name.c_str());
    ASSERT_NE(wm, nullptr);
    advertise_idle_window_manager(wm);
    ASSERT_TRUE(glfwInit());
    auto focus = [&](GLFWwindow *w) {
        XSetInputFocus(wm, glfwGetX11Window(w), RevertToNone, CurrentTime);
        XSync(wm, False);
        return pump_until([&] { return glfwGetWindowAttrib(w, GLFW_FOCUSED) != 0; });
    };
    // One frame that never blocks, whatever the focus.
    auto frame = [](RtGlfwGame &host) {
        glfwPostEmptyEvent();
        return host.Frame();
    };

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round == 0 ? "to full screen" : round == 1 ? "to a window" : "never focused");
        RtGlfwGame host;
        SteppedClock clock;
        host.SetClock(&clock);
        Replacer *game = new Replacer;
        game->host = &host;
        game->fullscreen = round == 0;
        host.SetDelegate(game);
        host.SetDeviceWindow(640, 480, 0);
        host.StartGame();
        host.SetUpdateRate(60);
        ASSERT_TRUE(focus(host.Window()));
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(frame(host));
        ASSERT_EQ(game->updates, 3); // the window was replaced just now
        ASSERT_EQ(glfwGetWindowAttrib(host.Window(), GLFW_FOCUSED), 0);

        // The window system is still to focus the new window: the game goes on meanwhile.
        for (int i = 0; i < 60; ++i)
            ASSERT_TRUE(frame(host));
        EXPECT_EQ(game->suspends, 0);
        EXPECT_EQ(game->updates, 63);
        if (round < 2) {
            ASSERT_TRUE(focus(host.Window()));
            clock.now += 10;
            for (int i = 0; i < 5; ++i)
                ASSERT_TRUE(frame(host));
            EXPECT_EQ(game->suspends, 0);
            EXPECT_EQ(game->resumes, 0);
        } else {
            // A window that is never focused is a loss of focus after all, once the grace is over.
            clock.now += 3;
            ASSERT_TRUE(frame(host));
            EXPECT_EQ(game->suspends, 1);
        }
    }
    glfwTerminate();
    XCloseDisplay(wm);
    setenv("DISPLAY", oldDisplay.c_str(), 1);
}

} // namespace
