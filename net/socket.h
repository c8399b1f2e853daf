// Sockets and asynchronous operations. Blocking socket calls run on a worker thread per queue; each
// finished operation is handed back and completes on the main thread inside the event pump
// rt_asyncevent_UpdateAsyncEvents, which the game calls once per update.
#pragma once
#include <netinet/in.h>

#include <atomic>

#include "databuffer/databuffer.h"
#include "runtime/containers.h"
#include "runtime/thread.h"

class c_Socket;

// ---- completion interfaces ----

class c_IOnConnectComplete : public gc_interface {
  public:
    virtual void p_OnConnectComplete(bool connected, c_Socket *source) = 0;
};

class c_IOnSendComplete : public gc_interface {
  public:
    virtual void p_OnSendComplete(c_DataBuffer *data, int offset, int count, c_Socket *source) = 0;
};

class c_IOnReceiveComplete : public gc_interface {
  public:
    virtual void p_OnReceiveComplete(c_DataBuffer *data, int offset, int count, c_Socket *source) = 0;
};

class c_IAsyncEventSource : public gc_interface {
  public:
    virtual void p_UpdateAsyncEvents() = 0;
};

// ---- native sockets ----

class RtSocketAddress : public Object {
  public:
    sockaddr_in addr;
    bool valid = false; // host and port below reflect addr
    String host;
    int port = 0;

    RtSocketAddress();
    void Set(const String &host, int port);
    void Set(RtSocketAddress *other);
    void Set(const sockaddr_in &sa);
    void Validate();
};

class RtSocket : public Object {
  public:
    int sock = -1;
    int proto = 0; // 1 stream, 2 server, 3 datagram
    int accepted = -1;

    static void InitSockets();

    RtSocket();
    explicit RtSocket(int sock);
    ~RtSocket() override;

    bool Open(int proto);
    void Close();
    // Ends both directions at once without releasing the descriptor: a worker blocked on it wakes up,
    // and the descriptor number cannot be reused while that worker may still name it.
    void Shutdown();
    bool Bind(const String &host, int port);
    bool Connect(const String &host, int port);
    bool Listen(int backlog);
    bool Accept();
    RtSocket *Accepted();
    int Send(RtDataBuffer *buf, int offset, int count);
    int Receive(RtDataBuffer *buf, int offset, int count);
    int SendTo(RtDataBuffer *buf, int offset, int count, RtSocketAddress *address);
    int ReceiveFrom(RtDataBuffer *buf, int offset, int count, RtSocketAddress *address);
    void GetLocalAddress(RtSocketAddress *address);
    void GetRemoteAddress(RtSocketAddress *address);
};

// ---- operations ----

class c_AsyncOp : public Object {
  public:
    virtual void p_Execute__UNSAFE__(c_Socket *source) = 0; // worker thread
    virtual void p_Complete(c_Socket *source) = 0;          // main thread
};

class c_AsyncConnectOp : public c_AsyncOp {
  public:
    RtSocket *m_socket = nullptr;
    String m_host; // the worker's own copy
    int m_port = 0;
    c_IOnConnectComplete *m_onComplete = nullptr;
    bool m_connected = false;

    c_AsyncConnectOp *m_new(RtSocket *socket, String host, int port, c_IOnConnectComplete *onComplete);
    void p_Execute__UNSAFE__(c_Socket *source) override;
    void p_Complete(c_Socket *source) override;
    void mark() override;
};

class c_AsyncSocketIoOp : public c_AsyncOp {
  public:
    RtSocket *m_socket = nullptr;
    c_DataBuffer *m_data = nullptr;
    int m_offset = 0;
    int m_count = 0; // bytes asked for; after Execute the bytes moved, 0 on a closed peer, -1 on error

    c_AsyncSocketIoOp *m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count);
    void mark() override;
};

class c_AsyncSendOp : public c_AsyncSocketIoOp {
  public:
    c_IOnSendComplete *m_onComplete = nullptr;

    c_AsyncSendOp *m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count,
                         c_IOnSendComplete *onComplete);
    void p_Execute__UNSAFE__(c_Socket *source) override;
    void p_Complete(c_Socket *source) override;
    void mark() override;
};

class c_AsyncReceiveOp : public c_AsyncSocketIoOp {
  public:
    c_IOnReceiveComplete *m_onComplete = nullptr;

    c_AsyncReceiveOp *m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count,
                            c_IOnReceiveComplete *onComplete);
    void p_Execute__UNSAFE__(c_Socket *source) override;
    void p_Complete(c_Socket *source) override;
    void mark() override;
};

// ---- the queue ----

// A ring of 256 operation slots run in order by one worker thread. Only the main thread writes the
// slots, `put` and `done`; only the worker writes `run`. Each index is published with a release store
// and read with an acquire load, so a slot is fully written before the worker sees it, and an
// operation's results are visible before the main thread completes it.
class c_AsyncQueue : public c_Thread, public c_IAsyncEventSource {
  public:
    static constexpr int kSlots = 256;

    c_Socket *m_source = nullptr;
    Array<c_AsyncOp *> m_queue;
    std::atomic<int> m_put{0}; // next free slot (main thread)
    int m_done = 0;            // next operation to complete (main thread)
    std::atomic<int> m_run{0}; // next operation to execute (worker)

    c_AsyncQueue *m_new(c_Socket *source);
    void p_Enqueue(c_AsyncOp *op);
    // No operation waits to execute (main thread).
    bool p_Idle();
    // Every operation has executed and completed (main thread).
    bool p_Drained() { return m_done == m_put.load(std::memory_order_relaxed); }
    void Run__UNSAFE__() override;
    void p_UpdateAsyncEvents() override;
    void mark() override;
};

// ---- the socket ----

class c_Socket : public Object, public c_IAsyncEventSource {
  public:
    RtSocket *m_sock = nullptr;
    int m_proto = 0;
    int m_state = 0; // 1 open, 2 and 4 connected, 8 listening
    c_AsyncQueue *m_readQueue = nullptr;
    c_AsyncQueue *m_writeQueue = nullptr;
    bool m_closing = false; // closed while a worker was busy: release the descriptor once both are idle

    c_Socket *m_new(String protocol);
    c_Socket *m_new2(RtSocket *sock, int proto, int state);
    bool p_IsOpen() { return (m_state & 1) != 0; }
    bool p_IsConnected() { return (m_state & 4) != 0; }
    bool p_IsListening() { return (m_state & 8) != 0; }
    void p_Close();
    void p_ConnectAsync(String host, int port, c_IOnConnectComplete *onComplete);
    void p_SendAsync(c_DataBuffer *data, int offset, int count, c_IOnSendComplete *onComplete);
    void p_ReceiveAsync(c_DataBuffer *data, int offset, int count, c_IOnReceiveComplete *onComplete);
    void p_UpdateAsyncEvents() override;
    void mark() override;

  private:
    void p_Start();
};

// ---- the event pump ----

// The registered event sources.
class c_Stack3 : public c_StackOf<c_IAsyncEventSource *> {
  public:
    c_Stack3 *m_new() {
        p_Init();
        return this;
    }
    void p_Push(c_IAsyncEventSource *value) { p_PushOne(value); }
};

extern c_Stack3 *rt_asyncevent__sources;
extern c_IAsyncEventSource *rt_asyncevent__current;

void rt_asyncevent_AddAsyncEventSource(c_IAsyncEventSource *source);
// Takes a source out of the pump, keeping the order of the others; a source that is not registered is
// left alone. Safe from inside an update, also for the source being updated.
void rt_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource *source);
void rt_asyncevent_UpdateAsyncEvents();
