#include <gtest/gtest.h>
#include <unistd.h>

#include "runtime/object.h"

namespace {

int destroyed;

class Counted : public Object {
  public:
    ~Counted() override { ++destroyed; }
};

// 40 bytes with the collector's header: a size the block caches recycle.
void *last_destroyed;

class Block40 : public Object {
  public:
    long long payload = 0;
    ~Block40() override { last_destroyed = this; }
};
static_assert(sizeof(Block40) == 40);

class Parent : public Object {
  public:
    Object *child = nullptr;
    ~Parent() override { ++destroyed; }
    void mark() override { gc_mark_q(child); }
};

Object *g_kept;
static gc_root root_kept(g_kept);

// Objects whose constructor arguments allocate: the argument is allocated after the holder's block.
class HoldsObject : public Object {
  public:
    Object *child = nullptr;
    explicit HoldsObject(Object *c) { gc_assign(child, c); }
    ~HoldsObject() override { ++destroyed; }
    void mark() override { gc_mark_q(child); }
};

class HoldsArray : public Object {
  public:
    Array<Object *> items;
    explicit HoldsArray(Array<Object *> a) { gc_assign(items, a); }
    ~HoldsArray() override { ++destroyed; }
    void mark() override { gc_mark_q(items); }
};

// A collectable class whose collectable base is not its first base.
struct Mixin {
    virtual ~Mixin() {}
    long long tag = 0x5555555555555555LL;
};
class MixedIn : public Mixin, public Object {
  public:
    Object *child = nullptr;
    ~MixedIn() override { ++destroyed; }
    void mark() override { gc_mark_q(child); }
};
MixedIn *g_mixed;
static gc_root root_mixed(g_mixed);

// One host event's worth of collection, with the cycle forced to end.
void sweep() {
    gc_ext_malloced(gc_cycle_bytes + 1);
    gc_collect_step(nullptr);
}

// Destroys whatever the last sweep found dead: destruction happens lazily in later allocations.
void reap() {
    while (gc_free_bytes > 0)
        new Block40;
}

class Collector : public ::testing::Test {
  protected:
    void SetUp() override {
        g_kept = nullptr;
        sweep();
        sweep();
        reap();
        destroyed = 0;
    }
};

TEST_F(Collector, DroppedObjectsDieAfterTheNextSweepAndGlobalsSurvive) {
    new Counted;                    // dropped at once
    gc_assign(g_kept, new Counted); // stored in a root
    gc_collect_step(nullptr);       // an ordinary event: nothing is freed yet
    reap();
    EXPECT_EQ(destroyed, 0);

    sweep();
    reap();
    EXPECT_EQ(destroyed, 1);

    sweep(); // the global is queued again as a root in each new cycle
    reap();
    EXPECT_EQ(destroyed, 1);
    g_kept = nullptr;
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 2);
}

TEST_F(Collector, ChildOfADeadObjectDiesInTheSameSweep) {
    Parent *p = new Parent;
    gc_assign(g_kept, p);
    gc_assign(p->child, new Counted);
    sweep();
    g_kept = nullptr; // the root was queued for this cycle already, so both live until the next sweep
    sweep();
    reap();
    EXPECT_EQ(destroyed, 0);
    sweep();
    reap();
    EXPECT_EQ(destroyed, 2);
}

TEST_F(Collector, BarrierKeepsAnObjectStoredIntoAMarkedParent) {
    Parent *p = new Parent;
    gc_assign(g_kept, p);
    sweep();                          // p survives and is queued as a root
    gc_mark_queued(0x7fffffff);       // ... and is now fully marked
    gc_assign(p->child, new Counted); // the barrier must queue the new child
    sweep();
    reap();
    EXPECT_EQ(destroyed, 0);
    ASSERT_NE(p->child, nullptr);
    g_kept = nullptr;
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 2);
}

// new A(new B) and new A(Array(n)): both objects are collectable, the child lives as long as its holder,
// and both die together once the holder is dropped.
TEST_F(Collector, ConstructorArgumentsThatAllocateLeaveBothObjectsCollectable) {
    HoldsArray *a = new HoldsArray(Array<Object *>(4));
    gc_assign(g_kept, new HoldsObject(new HoldsObject(a)));
    gc_assign(a->items[2], new Counted);
    for (int i = 0; i < 3; ++i) {
        sweep();
        reap();
        for (int j = 0; j < 64; ++j)
            new Block40; // reuse any freed block at once
    }
    EXPECT_EQ(destroyed, 0);
    ASSERT_EQ(a->items.Length(), 4); // read through the holders: ASan reports a freed child here
    EXPECT_EQ(a->items[2]->debug().ToUtf8(), "Object\n");

    g_kept = nullptr;
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 4); // both holders, the array's holder and its element
}

TEST_F(Collector, RootOfAClassWithAnotherFirstBaseIsMarked) {
    gc_assign(g_mixed, new MixedIn);
    gc_assign(g_mixed->child, new Counted);
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(g_mixed->tag, 0x5555555555555555LL);
    g_mixed = nullptr;
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 2);
}

// Sizes the 32-bit counts cannot hold are memory exhaustion, before any byte is written.
TEST(CollectorDeathTest, ArrayTooBigForTheCountsIsOutOfMemory) {
    auto make = [](auto array) {
        std::fflush(stdout);
        dup2(2, 1); // the message goes to standard output; the death test reads standard error
        array();
    };
    EXPECT_EXIT(make([] { Array<int>(1 << 30); }), ::testing::ExitedWithCode(255), "Out of memory");
    EXPECT_EXIT(make([] { Array<String>(0x7fffffff); }), ::testing::ExitedWithCode(255), "Out of memory");
    EXPECT_EXIT(make([] { Array<double>(0x10000001); }), ::testing::ExitedWithCode(255), "Out of memory");
}

TEST_F(Collector, DeadObjectsCanBeDestroyedAtOnce) {
    for (int i = 0; i < 10; ++i)
        new Counted;
    sweep();
    EXPECT_EQ(destroyed, 0);
    gc_destroy_dead();
    EXPECT_EQ(destroyed, 10);
    EXPECT_EQ(gc_free_bytes, 0);
}

TEST_F(Collector, FreedSmallBlockIsReused) {
    for (int i = 0; i < 4; ++i)
        new Block40;
    sweep();
    last_destroyed = nullptr;
    Block40 *next = new Block40; // pays for itself by destroying a dead one, then takes its block
    ASSERT_NE(last_destroyed, nullptr);
    EXPECT_EQ(static_cast<void *>(next), last_destroyed);
}

TEST_F(Collector, ExternalBytesEndTheCycleAtTheNextEvent) {
    int bit = gc_markbit;
    gc_ext_malloced(9 * 1024 * 1024);
    gc_collect_step(nullptr);
    EXPECT_NE(gc_markbit, bit);
    EXPECT_EQ(gc_new_bytes, 0);
    EXPECT_EQ(gc_ext_new_bytes.load(), 0);
}

TEST_F(Collector, IdleEventsNeverSweep) {
    int bit = gc_markbit;
    for (int i = 0; i < 1000; ++i)
        gc_collect_step(nullptr);
    EXPECT_EQ(gc_markbit, bit);
}

TEST_F(Collector, ArraysOfObjectsKeepTheirElements) {
    Array<Object *> arr(3);
    arr[1] = new Counted;
    Array<Object *> *holder = nullptr;
    (void)holder;
    static Array<Object *> g_arr;
    static gc_root root_arr(g_arr);
    gc_assign(g_arr, arr);
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 0);
    g_arr = Array<Object *>();
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 1);
}

TEST_F(Collector, StringArraysReleaseTheirStrings) {
    String shared("shared text");
    {
        Array<String> arr(2);
        arr[0] = shared;
        arr[1] = shared;
    }
    sweep();
    reap();
    // Only our own copy is left once the dead array was destroyed.
    String probe = shared;
    EXPECT_EQ(probe.Length(), 11);
}

TEST_F(Collector, IncrementalMarkingGrowsWithAllocation) {
    // A long list reachable from a root is marked a share at a time, never all at once.
    Parent *head = new Parent;
    gc_assign(g_kept, head);
    Parent *tail = head;
    for (int i = 0; i < 2000; ++i) {
        Parent *n = new Parent;
        gc_assign(tail->child, n);
        tail = n;
    }
    sweep(); // roots queued for the new cycle
    int before = gc_marked_bytes;
    new Block40;
    gc_collect_step(nullptr);
    EXPECT_GT(gc_marked_bytes, before);
    EXPECT_LT(gc_marked_bytes, 2000 * 40);
    g_kept = nullptr;
    sweep();
    sweep();
    reap();
    EXPECT_EQ(destroyed, 2001);
}

} // namespace
