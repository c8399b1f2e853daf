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

// The mode of the first output's CRTC as "WxH@Hz", or "" when there is none.
std::string current_mode(Display *dpy) {
    XRRScreenResources *res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    if (!res) return "";
    std::string text;
    XRRCrtcInfo *crtc = res->ncrtc > 0 ? XRRGetCrtcInfo(dpy, res, res->crtcs[0]) : nullptr;
    for (int i = 0; crtc && i < res->nmode; ++i) {
        const XRRModeInfo &m = res->modes[i];
        if (m.id != crtc->mode) continue;
        long rate = m.hTotal && m.vTotal ? std::lround(double(m.dotClock) / (double(m.hTotal) * m.vTotal)) : 0;
        text = std::to_string(m.width) + "x" + std::to_string(m.height) + "@" + std::to_string(rate);
    }
    if (crtc) XRRFreeCrtcInfo(crtc);
    XRRFreeScreenResources(res);
    return text;
}

// Adds a mode of the given size and rate to the first output, as `xrandr --newmode` and `--addmode` do.
RRMode add_mode(Display *dpy, int width, int height, int rate) {
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
bool set_mode(Display *dpy, RRMode mode) {
    XRRScreenResources *res = XRRGetScreenResources(dpy, DefaultRootWindow(dpy));
    if (!res || res->ncrtc < 1 || res->noutput < 1) return false;
    Status st = XRRSetCrtcConfig(dpy, res, res->crtcs[0], CurrentTime, 0, 0, mode, RR_Rotate_0, res->outputs, 1);
    XSync(dpy, False);
    XRRFreeScreenResources(res);
    return st == RRSetConfigSuccess;
}

bool wait_for_mode(Display *dpy, const std::string &mode) {
    for (int i = 0; i < 1000 && current_mode(dpy) != mode; ++i)
        usleep(10000);
    return current_mode(dpy) == mode;
}

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
    const WayOut ways[] = {{"F4", 0}, {"close button", 0}, {"runtime error", 255}, {"SIGTERM", 128 + SIGTERM},
                           {"SIGINT", 128 + SIGINT}, {"fault", 255}};
    for (const WayOut &way : ways) {
        SCOPED_TRACE(way.name);
        ASSERT_TRUE(set_mode(dpy, desktop));
        ASSERT_EQ(current_mode(dpy), "1024x768@75");
        ChildProcess child;
        ASSERT_TRUE(child.Start(HOST_CHILD, {"DISPLAY=" + display.name, "HOST_CHILD_FULLSCREEN=1"}, {"DISPLAY"}));
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
        else
            x11_send_key_press(dpy, win, XK_s);
        XFlush(dpy);
        EXPECT_EQ(child.Finish(), way.status) << child.out;
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
        EXPECT_EQ(host.GetDeviceWidth(), 1280);
        EXPECT_EQ(host.GetDeviceHeight(), 960);
        gxtkGraphics *graphics = new gxtkGraphics;
        graphics->BeginRender();
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_EQ(viewport[2], 1280);
        EXPECT_EQ(viewport[3], 960);
    }
    glfwTerminate();
    setenv("DISPLAY", oldDisplay.c_str(), 1);
    XCloseDisplay(dpy);
}

} // namespace
