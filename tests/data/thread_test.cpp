#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "runtime/thread.h"

namespace {

constexpr int kWaitMs = 20000; // a bound, never asserted

// A thread whose body waits at a gate, counts its runs and hands back a result.
class GatedThread : public c_Thread {
  public:
    bool *gone = nullptr; // set when the collector destroys it
    std::atomic<bool> open{false};
    int runs = 0;           // written by the worker, read once it has finished
    Object *give = nullptr; // kept alive by the test

    ~GatedThread() override {
        if (gone) *gone = true;
    }
    void Run__UNSAFE__() override {
        while (!open.load())
            std::this_thread::yield();
        ++runs;
        SetResult(give);
    }
};

bool wait_finished(RtThread *t) {
    for (int i = 0; i < kWaitMs && t->IsRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return !t->IsRunning();
}

TEST(Thread, RunsOncePerStartAndHandsBackItsResult) {
    auto *t = new GatedThread;
    t->m_new();
    t->give = new Object;
    EXPECT_FALSE(t->IsRunning());
    EXPECT_EQ(t->m_state.load(), 0);

    t->Start();
    EXPECT_TRUE(t->IsRunning());
    t->Start(); // already running: no second worker
    t->open = true;
    ASSERT_TRUE(wait_finished(t));
    EXPECT_EQ(t->m_state.load(), 2);
    EXPECT_EQ(t->runs, 1);
    EXPECT_EQ(t->Result(), t->give);

    t->open = false;
    t->Start(); // a finished thread starts again, its old result cleared
    EXPECT_EQ(t->Result(), nullptr);
    t->open = true;
    ASSERT_TRUE(wait_finished(t));
    EXPECT_EQ(t->runs, 2);
}

TEST(Thread, StrdupNeverSharesARep) {
    String path("zindle://data/a.png");
    String copy = RtThread::Strdup(path);
    EXPECT_TRUE(copy == path);
    EXPECT_FALSE(copy.SameRep(path));
    String empty;
    String emptyCopy = RtThread::Strdup(empty);
    EXPECT_EQ(emptyCopy.Length(), 0);
    EXPECT_FALSE(emptyCopy.SameRep(empty)); // not the shared empty rep the main thread counts on
}

// One full collection: everything not reachable from the roots is freed, then destroyed by a large
// allocation that has to pay for itself.
void collect() {
    for (int i = 0; i < 2; ++i) {
        gc_ext_malloced(gc_cycle_bytes + 1);
        gc_collect_step(nullptr);
    }
    Array<int> big(1 << 20);
    (void)big;
}

TEST(Thread, ARunningThreadSurvivesCollectionWithoutReferences) {
    bool runningGone = false, controlGone = false;
    auto *running = new GatedThread;
    running->gone = &runningGone;
    (new GatedThread)->gone = &controlGone; // never started and unreachable
    running->Start();
    collect();
    EXPECT_TRUE(controlGone);
    EXPECT_FALSE(runningGone);

    running->open = true;
    ASSERT_TRUE(wait_finished(running));
    collect();
    EXPECT_TRUE(runningGone); // finished, so no longer kept
}

} // namespace
