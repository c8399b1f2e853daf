// The window under a Wayland compositor of its own (sway on a headless output); skipped where no
// compositor can be started or GLFW has no Wayland support.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "desktop/glfw_game.h"
#include "tests/host/child_process.h"

namespace {

// A headless sway with an empty configuration in a runtime folder of its own.
struct PrivateCompositor {
    std::string dir, socket;
    ChildProcess sway;

    bool Start() {
        char tmpl[] = "/tmp/tide-wayland-XXXXXX";
        if (!mkdtemp(tmpl)) return false;
        dir = tmpl;
        mkdir((dir + "/sway").c_str(), 0700);
        std::ofstream(dir + "/sway/config") << "xwayland disable\n";
        const char *paths[] = {"/usr/bin/sway", "/usr/local/bin/sway"};
        for (const char *path : paths) {
            if (access(path, X_OK) != 0) continue;
            if (!sway.Start(path,
                            {"XDG_RUNTIME_DIR=" + dir, "XDG_CONFIG_HOME=" + dir, "WLR_BACKENDS=headless",
                             "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1"},
                            {"DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK"}))
                return false;
            for (int i = 0; i < 100; ++i) {
                for (const char *name : {"wayland-0", "wayland-1", "wayland-2"})
                    if (access((dir + "/" + name).c_str(), F_OK) == 0) socket = name;
                if (!socket.empty()) return true;
                usleep(50000);
            }
            return false;
        }
        return false;
    }

    ~PrivateCompositor() {
        sway.Signal(SIGTERM);
        sway.Finish(5);
        if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
    }
};

// Full screen and back keep the one window: a window destroyed while the switching key is still held
// never sees the key's release, and GLFW then repeats the key into a window that is gone.
TEST(WaylandWindow, FullScreenAndBackKeepTheWindowAndItsContext) {
    PrivateCompositor compositor;
    if (!compositor.Start()) GTEST_SKIP() << "no Wayland compositor could be started";
    std::string oldDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    unsetenv("DISPLAY");
    setenv("XDG_RUNTIME_DIR", compositor.dir.c_str(), 1);
    setenv("WAYLAND_DISPLAY", compositor.socket.c_str(), 1);
#ifdef GLFW_PLATFORM_WAYLAND
    glfwInitHint(GLFW_PLATFORM, GLFW_PLATFORM_WAYLAND);
#endif
    bool started = glfwInit() && RtGlfwGame::OnWayland();
    if (started) {
        RtGlfwGame host;
        host.SetDelegate(new RtGameDelegate);
        host.SetDeviceWindow(640, 480, 0);
        GLFWwindow *window = host.Window();
        ASSERT_NE(window, nullptr);
        int seq = glfwGraphicsSeq;

        host.SetDeviceWindow(640, 480, 1);
        EXPECT_EQ(host.Window(), window);
        EXPECT_NE(glfwGetWindowMonitor(host.Window()), nullptr);
        host.SetDeviceWindow(800, 600, 0);
        EXPECT_EQ(host.Window(), window);
        EXPECT_EQ(glfwGetWindowMonitor(host.Window()), nullptr);
        EXPECT_EQ(glfwGraphicsSeq, seq);
        EXPECT_EQ(glfwGetCurrentContext(), window);
        int w = 0, h = 0;
        glfwGetWindowSize(host.Window(), &w, &h);
        EXPECT_EQ(w, 800);
        EXPECT_EQ(h, 600);
    }
    glfwTerminate();
    unsetenv("WAYLAND_DISPLAY");
    if (!oldDisplay.empty()) setenv("DISPLAY", oldDisplay.c_str(), 1);
    if (!started) GTEST_SKIP() << "GLFW has no Wayland support here";
}

} // namespace
