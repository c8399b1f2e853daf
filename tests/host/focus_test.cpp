// Window focus on its own virtual display, so that no other test's window can take the focus midway.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "host/glfw_game.h"
#include "tests/host/x11_support.h"

namespace {

// An Xvfb of our own; it picks a free display number and tells us which.
class PrivateDisplay {
  public:
    std::string name;
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "+extension",
                   "GLX", "-nolisten", "tcp", static_cast<char *>(nullptr));
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

} // namespace
