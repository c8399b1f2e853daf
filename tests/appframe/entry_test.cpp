#include <gtest/gtest.h>

#include <string>

#include "host/rtgame.h"
#include "tests/appframe/child.h"

namespace {

// Records every event that reaches it.
class Recorder : public RtGameDelegate {
  public:
    std::string log;
    bool throwOnUpdate = false;
    void StartGame() override { log += "start "; }
    void SuspendGame() override { log += "suspend "; }
    void ResumeGame() override { log += "resume "; }
    void UpdateGame() override {
        log += "update ";
        if (throwOnUpdate) throw new ThrowableObject;
    }
    void RenderGame() override { log += "render "; }
    void KeyEvent(int e, int d) override { log += "key" + std::to_string(e) + ":" + std::to_string(d) + " "; }
    void MouseEvent(int, int, float, float) override { log += "mouse "; }
    void TouchEvent(int, int, float, float) override { log += "touch "; }
    void MotionEvent(int, int, float, float, float) override { log += "motion "; }
    void DiscardGraphics() override { log += "discard "; }
};

TEST(HostEvents, EventsBeforeStartAreDropped) {
    RtGame game;
    Recorder *rec = new Recorder;
    game.SetDelegate(rec);
    game.KeyEvent(1, 65);
    game.MouseEvent(4, 0, 1, 1);
    game.TouchEvent(7, 0, 1, 1);
    game.MotionEvent(10, 0, 1, 1, 1);
    game.UpdateGame();
    game.RenderGame();
    game.SuspendGame();
    game.DiscardGraphics();
    EXPECT_EQ(rec->log, "");
    EXPECT_FALSE(game.Suspended());
    game.StartGame();
    game.StartGame(); // only once
    game.KeyEvent(1, 65);
    EXPECT_EQ(rec->log, "start key1:65 ");
}

TEST(HostEvents, SuspendedHostRendersButDoesNotUpdate) {
    RtGame game;
    Recorder *rec = new Recorder;
    game.SetDelegate(rec);
    game.StartGame();
    game.SuspendGame();
    game.SuspendGame(); // already suspended: nothing
    game.UpdateGame();
    game.RenderGame();
    game.ResumeGame();
    game.ResumeGame();
    game.UpdateGame();
    EXPECT_EQ(rec->log, "start suspend render resume update ");
}

TEST(HostEvents, AThrowableEscapingAnEventEndsTheProcess) {
    ChildResult r = run_child([] {
        RtGame game;
        Recorder *rec = new Recorder;
        rec->throwOnUpdate = true;
        game.SetDelegate(rec);
        game.StartGame();
        game.UpdateGame();
    });
    EXPECT_EQ(r.out, "Zindle Runtime Error : Uncaught Zindle Exception\n");
    EXPECT_EQ(r.status, 255);
}

TEST(HostEvents, GetDateFillsAsManyFieldsAsTheArrayHolds) {
    RtGame game;
    Array<int> three(3);
    game.GetDate(three);
    EXPECT_GE(three[0], 2024);
    EXPECT_GE(three[1], 1);
    EXPECT_LE(three[1], 12);
    EXPECT_GE(three[2], 1);
    Array<int> nine(9);
    nine[7] = nine[8] = -5;
    game.GetDate(nine);
    EXPECT_EQ(nine[6], 0);
    EXPECT_EQ(nine[7], -5); // beyond the seventh nothing is touched
    game.GetDate(Array<int>());
}

} // namespace
