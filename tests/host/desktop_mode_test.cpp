// The desktop's video mode after the program ends from full screen, on a virtual display of its own whose
// desktop mode runs at a rate the game's full-screen window does not ask for; and the window on a
// high-density desktop.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <X11/Xatom.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <string>

#include "graphics/graphics.h"
#include "tests/host/child_process.h"
#include "tests/host/x11_support.h"

namespace {

TEST(DesktopMode, EveryWayOutOfFullScreenRestoresTheDesktopMode) {
    PrivateDisplay display;
    ASSERT_TRUE(display.Start()) << "Xvfb did not start";
    Display *dpy = XOpenDisplay(display.name.c_str());
    ASSERT_NE(dpy, nullptr);
    // The desktop at 75 Hz; full screen asks for 60, which the same size also offers.
    RRMode desktop = add_mode(dpy, 1024, 768, 75);
    ASSERT_NE(add_mode(dpy, 1024, 768, 60), 0u);
    ASSERT_NE(desktop, 0u);

    struct WayOut {
        const char *name;
        int status;
    };
    const WayOut ways[] = {{"F4", 0},
                           {"close button", 0},
                           {"runtime error", 255},
                           {"SIGTERM", 128 + SIGTERM},
                           {"SIGINT", 128 + SIGINT},
                           {"fault", 255},
                           {"SIGTERM while stuck", 128 + SIGTERM}};
    for (const WayOut &way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_TRUE(set_mode(dpy, desktop));
        ASSERT_EQ(current_mode(dpy), "1024x768@75");
        ChildProcess child;
        ASSERT_TRUE(
            child.Start(HOST_CHILD, {"DISPLAY=" + display.name, "HOST_CHILD_FULLSCREEN=1"}, {"DISPLAY"}));
        ASSERT_TRUE(child.WaitForLine("start ")) << child.out;
        EXPECT_NE(child.out.find("start 1024x768 "), std::string::npos) << child.out;
        Window win = std::stoul(child.out.substr(child.out.find(" window ") + 8));
        ASSERT_TRUE(wait_for_mode(dpy, "1024x768@60")) << "full screen kept " << current_mode(dpy);

        std::string way_name = way.name;
        if (way_name == "F4")
            x11_send_key_press(dpy, win, XK_F4);
        else if (way_name == "close button")
            x11_send_close(dpy, win);
        else if (way_name == "runtime error")
            x11_send_key_press(dpy, win, XK_e);
        else if (way_name == "SIGTERM")
            child.Signal(SIGTERM);
        else if (way_name == "SIGINT")
            child.Signal(SIGINT);
        else if (way_name == "SIGTERM while stuck") {
            x11_send_key_press(dpy, win, XK_b);
            ASSERT_TRUE(child.WaitForLine("blocked")) << child.out;
            child.Signal(SIGTERM);
        } else
            x11_send_key_press(dpy, win, XK_s);
        XFlush(dpy);
        // A loop that does not come back gets 3 s, its cleanup a few more.
        EXPECT_EQ(child.Finish(8), way.status) << child.out;
        EXPECT_EQ(current_mode(dpy), "1024x768@75");
    }
    XCloseDisplay(dpy);
}

// Xft.dpi 192 is how an X11 desktop says "twice the pixels to each unit": the game's 640 x 480 window is
// then 1280 x 960 pixels, centred by that size, and drawn at all of them.
TEST(DesktopScale, AHighDensityDesktopGetsTheWindowInItsUnitsDrawnAtFullResolution) {
    PrivateDisplay display;
    ASSERT_TRUE(display.Start("1920x1080x24")) << "Xvfb did not start";
    Display *dpy = XOpenDisplay(display.name.c_str());
    ASSERT_NE(dpy, nullptr);
    // What xrdb does; the library reads it once, when it opens the display.
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(dpy, DefaultRootWindow(dpy), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(resources), sizeof resources - 1);
    XSync(dpy, False);
    std::string oldDisplay = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", display.name.c_str(), 1);
    ASSERT_TRUE(glfwInit());
    {
        RtGlfwGame host;
        host.SetDelegate(new RtGameDelegate);
        host.SetDeviceWindow(640, 480, 0);
        ASSERT_NE(host.Window(), nullptr);
        float sx = 0, sy = 0;
        glfwGetWindowContentScale(host.Window(), &sx, &sy);
        EXPECT_EQ(sx, 2.0f);
        XWindowAttributes attrs;
        ASSERT_TRUE(XGetWindowAttributes(dpy, glfwGetX11Window(host.Window()), &attrs));
        EXPECT_EQ(attrs.width, 1280);
        EXPECT_EQ(attrs.height, 960);
        int x = -1, y = -1;
        glfwGetWindowPos(host.Window(), &x, &y);
        EXPECT_EQ(x, (1920 - 1280) / 2);
        EXPECT_EQ(y, (1080 - 960) / 2);
        EXPECT_TRUE((drawn_size(host) == DrawnSize{1280, 960, 1280, 960}));
    }
    glfwTerminate();
    setenv("DISPLAY", oldDisplay.c_str(), 1);
    XCloseDisplay(dpy);
}

} // namespace
