// Worker threads. A thread object runs its Run__UNSAFE__ once per Start on an operating-system thread
// that is never joined; the main thread learns that it has finished by polling IsRunning.
#pragma once
#include <atomic>

#include "runtime/object.h"

class RtThread : public Object {
  public:
    // 0 not started, 1 running, 2 finished. The worker's last act is to store 2 (release), so whoever
    // reads 2 (acquire) also sees everything the worker wrote before.
    std::atomic<int> m_state{0};
    // Set by the worker before it finishes. A worker cannot create collectable objects, so what it
    // stores here is always something the main thread handed it and keeps alive; no write barrier.
    std::atomic<Object *> m_result{nullptr};

    virtual void Start();
    virtual bool IsRunning();
    virtual Object *Result();
    virtual void SetResult(Object *result);
    // The work. It runs on the worker thread: it may touch no collectable object but its own plain
    // fields, and no string reference counts.
    virtual void Run__UNSAFE__() {}

    // A copy with a rep of its own (never the shared empty one), for a worker to read while the main
    // thread goes on changing the reference counts of the original.
    static String Strdup(const String &text);

    void mark() override;
};

class c_Thread : public RtThread {
  public:
    c_Thread *m_new() { return this; }
};
