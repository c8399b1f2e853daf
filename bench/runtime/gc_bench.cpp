// Allocation churn through the collector against new/delete of the same objects, in one run.
// Prints nanoseconds per object for both and their ratio, and the cost of an idle collection step.
#include <chrono>
#include <cstdio>
#include <vector>

#include "runtime/object.h"

namespace {

template <int Payload> struct Collected : public Object {
    char payload[Payload];
};
struct PlainBase {
    virtual ~PlainBase() {}
    void *links[2];
    int flags;
};
template <int Payload> struct Plain : PlainBase {
    char payload[Payload];
};

constexpr int kEvents = 20000;
constexpr int kPerEvent = 200; // objects allocated and dropped per simulated event

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Keeps the optimiser from dropping the allocations.
volatile void *sink;

double collected_churn() {
    double t0 = now();
    for (int e = 0; e < kEvents; ++e) {
        for (int i = 0; i < kPerEvent; i += 4) {
            sink = new Collected<4>;  // 32 bytes with the header
            sink = new Collected<12>; // 40
            sink = new Collected<20>; // 48
            sink = new Collected<28>; // 56
        }
        gc_collect_step(nullptr);
    }
    return now() - t0;
}

// The same objects, each deleted at the end of the event that made it.
double plain_churn() {
    std::vector<PlainBase *> live;
    live.reserve(kPerEvent);
    double t0 = now();
    for (int e = 0; e < kEvents; ++e) {
        for (int i = 0; i < kPerEvent; i += 4) {
            live.push_back(new Plain<4>);
            live.push_back(new Plain<12>);
            live.push_back(new Plain<20>);
            live.push_back(new Plain<28>);
        }
        sink = live.back();
        for (PlainBase *p : live) delete p;
        live.clear();
    }
    return now() - t0;
}

double idle_steps(int n) {
    double t0 = now();
    for (int i = 0; i < n; ++i) gc_collect_step(nullptr);
    return now() - t0;
}

} // namespace

int main() {
    gc_init();
    collected_churn(); // warm the caches
    double gc = collected_churn();
    double plain = plain_churn();
    double objects = static_cast<double>(kEvents) * kPerEvent;
    std::printf("collector: %.1f ns per object (allocation, marking, sweeping, lazy destruction)\n", gc / objects * 1e9);
    std::printf("new/delete: %.1f ns per object\n", plain / objects * 1e9);
    std::printf("ratio collector / new-delete: %.2f (goal: at most 1.2)\n", gc / plain);
    const int steps = 1000000;
    std::printf("idle collection step: %.1f ns (goal: under 1000 ns)\n", idle_steps(steps) / steps * 1e9);
    return 0;
}
