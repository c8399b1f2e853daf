#include "runtime/thread.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Keeps every started thread alive for the collector until its worker has finished: the game may drop
// its last reference to a thread whose body is still running, and that body uses the object.
class RtRunningThreads : public Object {
  public:
    std::vector<RtThread *> threads;

    void Prune() {
        std::erase_if(threads, [](RtThread *t) { return t->m_state.load(std::memory_order_acquire) != 1; });
    }
    void mark() override {
        Prune();
        for (RtThread *t : threads)
            gc_mark_q(t);
    }
};

RtRunningThreads *rt_thread_running;
gc_root root_thread_running(rt_thread_running);

void keep_while_running(RtThread *t) {
    if (!rt_thread_running) gc_assign(rt_thread_running, new RtRunningThreads);
    rt_thread_running->Prune();
    gc_mark_q(t); // the keeper may already be marked this cycle
    rt_thread_running->threads.push_back(t);
}

} // namespace

void RtThread::Start() {
    if (m_state.load(std::memory_order_acquire) == 1) return;
    m_result.store(nullptr, std::memory_order_relaxed);
    m_state.store(1, std::memory_order_relaxed);
    keep_while_running(this);
    try {
        std::thread([this] {
            Run__UNSAFE__();
            m_state.store(2, std::memory_order_release); // nothing may touch `this` after this store
        }).detach();
    } catch (const std::system_error &) {
        std::fputs("CreateThread failed!\n", stdout);
        std::fflush(stdout);
        std::exit(-1);
    }
}

bool RtThread::IsRunning() { return m_state.load(std::memory_order_acquire) == 1; }

Object *RtThread::Result() { return m_result.load(std::memory_order_acquire); }

void RtThread::SetResult(Object *result) { m_result.store(result, std::memory_order_release); }

String RtThread::Strdup(const String &text) {
    int n = text.Length();
    // Built by hand: the string allocator hands out the shared empty rep for length 0.
    auto *rep =
        static_cast<String::Rep *>(std::malloc(sizeof(String::Rep) + sizeof(Char) * static_cast<size_t>(n)));
    if (!rep) {
        std::fputs("Out of memory\n", stdout);
        std::exit(-1);
    }
    rep->refs = 1;
    rep->length = n;
    if (n > 0) std::memcpy(rep->data(), text.Data(), sizeof(Char) * static_cast<size_t>(n));
    return String(rep);
}

void RtThread::mark() { gc_mark_q(m_result.load(std::memory_order_acquire)); }
