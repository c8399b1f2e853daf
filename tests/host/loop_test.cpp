// The frame loop's order and pacing, driven frame by frame with a test clock and a pretend window.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "desktop/glfw_game.h"

namespace {

const double period = 1.0 / 60;

class TestClock : public RtClock {
  public:
    double now = 100.0;
    std::vector<double> sleeps;
    double Now() override { return now; }
    void Sleep(double seconds) override {
        sleeps.push_back(seconds);
        now += seconds;
    }
};

// Logs every event as one letter and spends the time the test gives each of them.
class Script : public RtGameDelegate {
  public:
    TestClock *clock = nullptr;
    std::string *log = nullptr;
    double renderCost = 0.001;
    double updateCost = 0;
    std::function<void()> onUpdate;
    void RenderGame() override {
        *log += 'R';
        clock->now += renderCost;
    }
    void UpdateGame() override {
        *log += 'U';
        clock->now += updateCost;
        if (onUpdate) onUpdate();
    }
    void SuspendGame() override { *log += 'S'; }
    void KeyEvent(int event, int key) override {
        *log += "K" + std::to_string(event) + ":" + std::to_string(key);
    }
    void ResumeGame() override { *log += 'Z'; }
};

// A host whose window is a pair of flags: polling and waiting are logged instead of done.
class LoopHost : public RtGlfwGame {
  public:
    bool open = true;
    bool active = true;
    bool lost = false;
    std::string log;
    using RtGlfwGame::_nextUpdate;

  protected:
    bool WindowOpened() override { return open; }
    bool WindowActive() override { return active; }
    void SwapWindow() override { log += 's'; }
    void PollEvents() override { log += 'p'; }
    void WaitEvents() override { log += 'w'; }
    bool DisplayLost() override { return lost; }
};

class FrameLoop : public ::testing::Test {
  protected:
    TestClock clock;
    LoopHost host;
    Script *script = new Script;

    void SetUp() override {
        host.SetClock(&clock);
        script->clock = &clock;
        script->log = &host.log;
        host.SetDelegate(script);
        host.StartGame();
    }
    // Runs one frame and returns what happened in it.
    std::string Frame() {
        host.log.clear();
        clock.sleeps.clear();
        EXPECT_TRUE(host.Frame());
        return host.log;
    }
};

TEST_F(FrameLoop, FastMachineSleepsToEachMarkAndUpdatesOncePerFrame) {
    host.SetUpdateRate(60);
    EXPECT_EQ(Frame(), "RspU"); // the schedule starts: no sleep yet
    double start = host._nextUpdate - period;
    EXPECT_DOUBLE_EQ(start, 100.001);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(Frame(), "RspU") << "frame " << k;
        ASSERT_EQ(clock.sleeps.size(), 1u);
        EXPECT_NEAR(clock.sleeps[0], period - 0.001, 1e-9);
        // Each update starts exactly on its 1/60 s mark.
        EXPECT_NEAR(clock.now, start + k * period, 1e-9);
    }
}

TEST_F(FrameLoop, SlowFramesCatchUpAtMostFourTimesThenDropTheBacklog) {
    host.SetUpdateRate(60);
    Frame();
    Frame();
    // 40 ms late: two updates are due, and the loop catches up without dropping anything.
    script->renderCost = 0.040;
    EXPECT_EQ(Frame(), "RspUU");
    script->renderCost = 0.001;
    EXPECT_EQ(Frame(), "RspU");
    EXPECT_EQ(clock.sleeps.size(), 1u);

    // 100 ms late: four updates, then the rest of the lag is given up.
    script->renderCost = 0.100;
    EXPECT_EQ(Frame(), "RspUUUU");
    EXPECT_EQ(host._nextUpdate, 0.0);
    script->renderCost = 0.001;
    EXPECT_EQ(Frame(), "RspU");
    EXPECT_TRUE(clock.sleeps.empty()); // the schedule restarts from now
    double restart = clock.now;
    EXPECT_EQ(Frame(), "RspU");
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_NEAR(clock.now, restart + period, 1e-9);
}

TEST_F(FrameLoop, RateChangeInsideAnUpdateEndsTheCatchUp) {
    host.SetUpdateRate(60);
    Frame();
    int calls = 0;
    script->onUpdate = [&] {
        if (++calls == 1) host.SetUpdateRate(5);
    };
    script->renderCost = 0.100;
    EXPECT_EQ(Frame(), "RspU");
    EXPECT_EQ(host._nextUpdate, 0.0);
    // The next frame starts the new schedule at once and then keeps 5 updates per second.
    script->renderCost = 0.001;
    EXPECT_EQ(Frame(), "RspU");
    EXPECT_TRUE(clock.sleeps.empty());
    double start = clock.now;
    EXPECT_EQ(Frame(), "RspU");
    ASSERT_EQ(clock.sleeps.size(), 1u);
    EXPECT_NEAR(clock.now, start + 0.2, 1e-9);
}

TEST_F(FrameLoop, RateZeroUpdatesOncePerFrameWithoutSleeping) {
    host.SetUpdateRate(0);
    for (int k = 0; k < 3; ++k) {
        script->renderCost = k == 1 ? 0.5 : 0.001;
        EXPECT_EQ(Frame(), "RspU");
        EXPECT_TRUE(clock.sleeps.empty());
    }
}

TEST_F(FrameLoop, FocusLossSuspendsOnceAndRenderingGoesOnWithoutUpdates) {
    host.SetUpdateRate(60);
    Frame();
    host.active = false;
    EXPECT_EQ(Frame(), "RspS"); // the event that took the focus arrived through a poll
    EXPECT_TRUE(host.Suspended());
    for (int k = 0; k < 3; ++k) {
        // Blocked in the event wait between events; renders after each.
        EXPECT_EQ(Frame(), "Rsw");
        EXPECT_TRUE(clock.sleeps.empty());
    }
    host.active = true;
    EXPECT_EQ(Frame(), "RswZU"); // resumed, and the schedule starts afresh
    EXPECT_FALSE(host.Suspended());
    EXPECT_EQ(Frame(), "RspU");
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

// A suspended loop would wait on a dead connection for ever (and GLFW spins there): the loss is a close
// request, and the loop ends even when the game does not end the process on it.
TEST_F(FrameLoop, ALostDisplayIsAskedNoMoreAndClosesTheGame) {
    host.SetUpdateRate(60);
    Frame();
    host.active = false;
    EXPECT_EQ(Frame(), "RspS");
    host.lost = true;
    host.log.clear();
    EXPECT_FALSE(host.Frame());
    EXPECT_EQ(host.log, "RsK1:432K2:432");
    host.log.clear();
    EXPECT_FALSE(host.Frame());
    EXPECT_EQ(host.log, "");
}

TEST_F(FrameLoop, ClosedWindowEndsTheLoopWithoutAnotherFrame) {
    host.open = false;
    host.log.clear();
    EXPECT_FALSE(host.Frame());
    EXPECT_EQ(host.log, "");
}

TEST(HostClock, MillisecsTruncatesTheClock) {
    TestClock clock;
    RtGlfwGame host;
    host.SetClock(&clock);
    clock.now = 1.2349;
    EXPECT_EQ(host.Millisecs(), 1234);
    clock.now = 0.0009;
    EXPECT_EQ(host.Millisecs(), 0);
}

} // namespace
