// The real window on the virtual display: opening, full screen and back, held keys, the close button.
#include <gtest/gtest.h>

#include <string>

#include <GL/gl.h>

#include "desktop/glfw_game.h"
#include "graphics/graphics.h"
#include "tests/host/child_process.h"
#include "tests/host/x11_support.h"

namespace {

class Recorder : public RtGameDelegate {
  public:
    std::string log;
    void KeyEvent(int e, int d) override { log += "key" + std::to_string(e) + ":" + std::to_string(d) + " "; }
    void MouseEvent(int e, int d, float x, float y) override {
        log += "mouse" + std::to_string(e) + ":" + std::to_string(d) + "@" + std::to_string(int(x)) + "," +
               std::to_string(int(y)) + " ";
    }
};

class RealWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(glfwInit()) << "no display for the gl tests"; }
    static void TearDownTestSuite() { glfwTerminate(); }

    RtGlfwGame host;
    Recorder *rec = new Recorder;
    Display *dpy = glfwGetX11Display();

    void SetUp() override { host.SetDelegate(rec); }
    Window Xid() { return glfwGetX11Window(host.Window()); }
};

// Run opens the first window before the game starts, and ends when the window is closed.
class RunHost : public RtGlfwGame {
  protected:
    bool WindowActive() override { return true; } // focus is another test's business
};

class StartRecorder : public RtGameDelegate {
  public:
    int width = 0, height = 0, updates = 0, renders = 0, seq = 0;
    bool context = false;
    std::string title;
    void StartGame() override {
        RtGlfwGame *host = RtGlfwGame::_glfwGame;
        width = host->GetDeviceWidth();
        height = host->GetDeviceHeight();
        context = glfwGetCurrentContext() == host->Window();
        seq = glfwGraphicsSeq;
        title = x11_window_title(glfwGetX11Display(), glfwGetX11Window(host->Window()));
    }
    void RenderGame() override { ++renders; }
    void UpdateGame() override {
        if (++updates == 3) glfwSetWindowShouldClose(RtGlfwGame::_glfwGame->Window(), GLFW_TRUE);
    }
};

TEST_F(RealWindow, RunOpensTheGameWindowFirstAndReturnsWhenItCloses) {
    RunHost runner;
    SteppedClock clock; // a late frame would catch up with several updates after one render
    runner.SetClock(&clock);
    StartRecorder *start = new StartRecorder;
    runner.SetDelegate(start);
    int seqBefore = glfwGraphicsSeq;
    runner.SetUpdateRate(60);
    runner.Run();
    EXPECT_EQ(start->width, 640);
    EXPECT_EQ(start->height, 480);
    EXPECT_TRUE(start->context);
    EXPECT_EQ(start->seq, seqBefore + 1);
    EXPECT_EQ(start->title, "The Final Tidecrawler");
    EXPECT_EQ(start->updates, 3);
    EXPECT_GE(start->renders, 3); // at least one render before each pass's updates
}

TEST_F(RealWindow, FullScreenAndBackToACentredWindow) {
    ASSERT_TRUE(x11_ensure_mode(dpy, 800, 600));
    host.SetDeviceWindow(640, 480, 0);
    RtDisplayMode *desktop = host.GetDesktopMode();
    ASSERT_NE(desktop, nullptr);
    int dw = desktop->width, dh = desktop->height;
    ASSERT_GT(dw, 800);

    int seq = glfwGraphicsSeq;
    host.SetDeviceWindow(800, 600, 1);
    ASSERT_NE(host.Window(), nullptr);
    EXPECT_EQ(glfwGraphicsSeq, seq + 1);
    EXPECT_NE(glfwGetWindowMonitor(host.Window()), nullptr);
    EXPECT_EQ(host.GetDeviceWidth(), 800);
    EXPECT_EQ(host.GetDeviceHeight(), 600);
    // The desktop keeps its own size while the monitor shows the game's mode.
    RtDisplayMode *during = host.GetDesktopMode();
    EXPECT_EQ(during->width, dw);
    EXPECT_EQ(during->height, dh);
    RtGlfwVideoMode *glfwDesktop = host.GetGlfwDesktopMode();
    EXPECT_EQ(glfwDesktop->width, dw);
    EXPECT_GT(glfwDesktop->red, 0);

    host.SetDeviceWindow(800, 600, 0);
    ASSERT_NE(host.Window(), nullptr);
    EXPECT_EQ(glfwGraphicsSeq, seq + 2);
    EXPECT_EQ(glfwGetWindowMonitor(host.Window()), nullptr);
    EXPECT_EQ(host.GetDeviceWidth(), 800);
    EXPECT_EQ(host.GetDeviceHeight(), 600);
    int x = -1, y = -1;
    glfwGetWindowPos(host.Window(), &x, &y);
    EXPECT_EQ(x, (dw - 800) / 2);
    EXPECT_EQ(y, (dh - 600) / 2);
    EXPECT_EQ(x11_window_title(dpy, Xid()), "The Final Tidecrawler");
    const GLFWvidmode *now = glfwGetVideoMode(glfwGetPrimaryMonitor());
    EXPECT_EQ(now->width, dw); // the monitor got its desktop mode back
    EXPECT_EQ(glfwGetCurrentContext(), host.Window());

    // The mode list has the added mode and every entry of the GLFW list.
    Array<RtDisplayMode *> modes = host.GetDisplayModes();
    Array<RtGlfwVideoMode *> full = host.GetGlfwVideoModes();
    ASSERT_EQ(modes.Length(), full.Length());
    bool has800 = false;
    for (int i = 0; i < modes.Length(); ++i) {
        EXPECT_EQ(modes[i]->width, full[i]->width);
        has800 = has800 || (modes[i]->width == 800 && modes[i]->height == 600);
    }
    EXPECT_TRUE(has800);
}

TEST_F(RealWindow, ResizedWindowReportsItsNewSize) {
    host.SetDeviceWindow(640, 480, 0);
    glfwSetWindowSize(host.Window(), 700, 500);
    EXPECT_TRUE(pump_until([&] { return host.GetDeviceWidth() == 700 && host.GetDeviceHeight() == 500; }))
        << host.GetDeviceWidth() << "x" << host.GetDeviceHeight();
}

// A compositor that shows the window at scale 2 gives it twice as many pixels each way as units: the
// picture, the size the game fits its screen to and the pointer are all in those pixels.
TEST_F(RealWindow, AFramebufferLargerThanTheWindowIsDrawnAndPointedInItsPixels) {
    host.SetDeviceWindow(640, 480, 0);
    host.StartGame();
    RtGlfwGame::OnFramebufferSize(host.Window(), 1280, 960);
    EXPECT_TRUE((drawn_size(host) == DrawnSize{1280, 960, 1280, 960}));
    RtGlfwGame::OnMousePos(host.Window(), 320.5, 479);
    EXPECT_EQ(rec->log, "mouse6:-1@641,958 ");
}

TEST_F(RealWindow, KeysHeldAcrossAWindowChangeArriveReleased) {
    host.SetDeviceWindow(640, 480, 0);
    host.StartGame();
    x11_send_key_press(dpy, Xid(), XK_a);
    x11_send_key_press(dpy, Xid(), XK_Left);
    x11_send_key_press(dpy, Xid(), XK_Alt_L); // no game code: never reported
    ASSERT_TRUE(pump_until([&] {
        return glfwGetKey(host.Window(), GLFW_KEY_A) == GLFW_PRESS &&
               glfwGetKey(host.Window(), GLFW_KEY_LEFT) == GLFW_PRESS &&
               glfwGetKey(host.Window(), GLFW_KEY_LEFT_ALT) == GLFW_PRESS;
    }));
    ASSERT_NE(rec->log.find("key1:65 "), std::string::npos) << rec->log;
    rec->log.clear();
    host.SetDeviceWindow(640, 480, 0);
    EXPECT_NE(rec->log.find("key2:65 "), std::string::npos) << rec->log;
    EXPECT_NE(rec->log.find("key2:37 "), std::string::npos) << rec->log;
    EXPECT_EQ(rec->log.find("key2:0 "), std::string::npos) << rec->log;
    EXPECT_EQ(rec->log.find("key1"), std::string::npos) << rec->log;
}

// A host that notes every collection step, and whether game code was running when it came.
class CollectingHost : public RtGlfwGame {
  public:
    bool inUpdate = false;
    int steps = 0, stepsInUpdate = 0;
    void gc_collect() override {
        ++steps;
        if (inUpdate) ++stepsInUpdate;
        RtGlfwGame::gc_collect();
    }
};

// An update that switches to full screen, as the game's F11 does.
class FlipDuringUpdate : public Recorder {
  public:
    CollectingHost *host = nullptr;
    void UpdateGame() override {
        host->inUpdate = true;
        host->SetDeviceWindow(640, 480, 1);
        host->inUpdate = false;
    }
};

TEST_F(RealWindow, KeysHeldAcrossASwitchTheGameMakesArriveReleasedWithoutACollection) {
    CollectingHost game;
    FlipDuringUpdate *flip = new FlipDuringUpdate;
    flip->host = &game;
    game.SetDelegate(flip);
    game.SetDeviceWindow(640, 480, 0);
    game.StartGame();
    Window win = glfwGetX11Window(game.Window());
    x11_send_key_press(dpy, win, XK_a);
    x11_send_key_press(dpy, win, XK_Right);
    ASSERT_TRUE(pump_until([&] {
        return glfwGetKey(game.Window(), GLFW_KEY_A) == GLFW_PRESS &&
               glfwGetKey(game.Window(), GLFW_KEY_RIGHT) == GLFW_PRESS;
    }));
    flip->log.clear();
    int before = game.steps;
    game.UpdateGame();
    EXPECT_NE(flip->log.find("key2:65 "), std::string::npos) << flip->log;
    EXPECT_NE(flip->log.find("key2:39 "), std::string::npos) << flip->log;
    EXPECT_EQ(game.stepsInUpdate, 0) << "a collection step ran inside the update";
    EXPECT_EQ(game.steps, before + 1); // the update's own step, after it
    game.SetDeviceWindow(640, 480, 0);
}

TEST_F(RealWindow, CloseButtonIsOneHitOfTheCloseKeyAndTheWindowStays) {
    host.SetDeviceWindow(640, 480, 0);
    host.StartGame();
    x11_send_close(dpy, Xid());
    ASSERT_TRUE(pump_until([&] { return rec->log.find("key2:432") != std::string::npos; }));
    // The pointer may report where it rests in the new window; the close button gives keys only.
    std::string keys;
    for (size_t at = rec->log.find("key"); at != std::string::npos; at = rec->log.find("key", at + 1))
        keys += rec->log.substr(at, rec->log.find(' ', at) + 1 - at);
    EXPECT_EQ(keys, "key1:432 key2:432 ") << rec->log;
    EXPECT_FALSE(glfwWindowShouldClose(host.Window())); // the game decides
}

// The whole program: start-up order, the first window, and the close button ending it with status 0.
TEST_F(RealWindow, CloseButtonEndsTheProgramWithStatusZero) {
    ChildProcess child;
    ASSERT_TRUE(child.Start(HOST_CHILD));
    ASSERT_TRUE(child.WaitForLine("start ")) << child.out;
    size_t at = child.out.find(" window ");
    Window win = std::stoul(child.out.substr(at + 8));
    x11_send_close(dpy, win);
    EXPECT_EQ(child.Finish(), 0) << child.out;
    EXPECT_EQ(child.out, "init\nmain\nstart 640x480 window " + std::to_string(win) + "\nkey 1:432\n");
}

} // namespace
