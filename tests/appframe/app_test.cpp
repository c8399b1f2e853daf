#include <gtest/gtest.h>

#include "appframe/app.h"
#include "tests/appframe/child.h"

namespace {

// A host that reports a fixed list of display modes and no window.
class ModesHost : public RtGame {
  public:
    Array<RtDisplayMode *> modes;
    RtDisplayMode *desktop = nullptr;
    Array<RtDisplayMode *> GetDisplayModes() override { return modes; }
    RtDisplayMode *GetDesktopMode() override { return desktop; }
    int GetDeviceWidth() override { return 320; }
    int GetDeviceHeight() override { return 200; }
};

TEST(AppModule, SecondAppIsARuntimeError) {
    ChildResult r = run_child([] {
        ModesHost host;
        rt_app__game = &host;
        (new c_App)->m_new();
        std::printf("first ok\n");
        (new c_App)->m_new();
    });
    EXPECT_EQ(r.out, "first ok\nZindle Runtime Error : App has already been created\n\n");
    EXPECT_EQ(r.status, 255);
}

TEST(AppModule, AppCreationHandsTheDelegateToTheHost) {
    ChildResult r = run_child([] {
        ModesHost host;
        rt_app__game = &host;
        c_App *app = (new c_App)->m_new();
        bool ok = rt_app__app == app && host.Delegate() == rt_app__delegate && rt_app__delegate;
        std::exit(ok ? 0 : 1);
    });
    EXPECT_EQ(r.status, 0);
}

TEST(AppModule, DisplayModesAreDeduplicatedInFirstSeenOrder) {
    ModesHost host;
    rt_app__game = &host;
    int sizes[][2] = {{640, 480}, {800, 600}, {640, 480}, {1024, 768}, {800, 600}};
    host.modes = Array<RtDisplayMode *>(5);
    for (int i = 0; i < 5; ++i) host.modes[i] = new RtDisplayMode(sizes[i][0], sizes[i][1]);
    rt_app_ValidateDeviceWindow(false);
    rt_app_EnumDisplayModes();
    Array<c_DisplayMode *> modes = rt_app__displayModes;
    ASSERT_EQ(modes.Length(), 3);
    EXPECT_EQ(modes[0]->m_width, 640);
    EXPECT_EQ(modes[1]->m_width, 800);
    EXPECT_EQ(modes[2]->m_height, 768);
    // Without a desktop mode from the host, the window size stands in.
    EXPECT_EQ(rt_app_DesktopMode()->m_width, 320);
    EXPECT_EQ(rt_app_DesktopMode()->m_height, 200);

    host.desktop = new RtDisplayMode(1920, 1080);
    rt_app_EnumDisplayModes();
    EXPECT_EQ(rt_app_DesktopMode()->m_width, 1920);
}

TEST(AppModule, UpdateRateIsRememberedAndPassedOn) {
    ModesHost host;
    rt_app__game = &host;
    rt_app_SetUpdateRate(60);
    EXPECT_EQ(rt_app__updateRate, 60);
    EXPECT_EQ(host.UpdateRate(), 60);
}

} // namespace
