#include "net/socket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "runtime/error.h"

namespace {

// The first IPv4 address of `host` in network order, or 0 (any) when the text is empty, too long or
// names nothing. getaddrinfo rather than gethostbyname: two sockets may resolve at once on their workers.
in_addr_t resolve(const String &host) {
    int n = host.Length();
    if (n < 1 || n > 1023) return INADDR_ANY;
    char name[1024];
    for (int i = 0; i < n; ++i) {
        name[i] = static_cast<char>(host[i]);
        if (name[i] == 0) return INADDR_ANY; // would silently cut the name short
    }
    name[n] = 0;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo *found = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &found) != 0 || !found) return INADDR_ANY;
    in_addr_t a = reinterpret_cast<sockaddr_in *>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return a;
}

sockaddr_in make_address(const String &host, int port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = resolve(host);
    return sa;
}

// Bytes of `buf` that a transfer of `count` at `offset` may touch: never outside its block.
int span(RtDataBuffer *buf, int offset, int count) {
    if (!buf || offset < 0 || offset > buf->m_length || count < 0) return -1;
    return count < buf->m_length - offset ? count : buf->m_length - offset;
}

} // namespace

// ---- RtSocketAddress ----

RtSocketAddress::RtSocketAddress() {
    RtSocket::InitSockets();
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
}

void RtSocketAddress::Set(const String &host, int port) {
    addr = make_address(host, port);
    valid = false;
}

void RtSocketAddress::Set(RtSocketAddress *other) {
    addr = other->addr;
    valid = false;
}

void RtSocketAddress::Set(const sockaddr_in &sa) {
    addr = sa;
    valid = false;
}

void RtSocketAddress::Validate() {
    if (valid) return;
    const unsigned char *b = reinterpret_cast<const unsigned char *>(&addr.sin_addr.s_addr);
    host = String(static_cast<int>(b[0])) + String(".") + String(static_cast<int>(b[1])) + String(".") +
           String(static_cast<int>(b[2])) + String(".") + String(static_cast<int>(b[3]));
    port = ntohs(addr.sin_port);
    valid = true;
}

// ---- RtSocket ----

void RtSocket::InitSockets() {
    // BSD sockets need no start-up; the flag only records that networking has been used.
    static bool started = false;
    if (started) return;
    started = true;
}

RtSocket::RtSocket() { InitSockets(); }

RtSocket::RtSocket(int sock) : sock(sock) {}

RtSocket::~RtSocket() {
    Close();
    if (accepted >= 0) close(accepted); // accepted, never taken
}

bool RtSocket::Open(int proto) {
    if (sock >= 0 || proto < 1) return false;
    if (proto == 1 || proto == 2) {
        sock = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (sock < 0) return false;
        int on = 1;
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    } else if (proto == 3) {
        sock = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (sock < 0) return false;
    } else {
        return false;
    }
    this->proto = proto;
    return true;
}

void RtSocket::Close() {
    if (sock < 0) return;
    close(sock);
    sock = -1;
}

void RtSocket::Shutdown() {
    if (sock >= 0) shutdown(sock, SHUT_RDWR);
}

bool RtSocket::Bind(const String &host, int port) {
    if (port < 0 || port > 65535) return false; // would bind another port, cut to 16 bits
    sockaddr_in sa = make_address(host, port);
    return bind(sock, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool RtSocket::Connect(const String &host, int port) {
    // A port outside 1 to 65535 names no service; cut to 16 bits it would reach another one.
    if (port < 1 || port > 65535) return false;
    sockaddr_in sa = make_address(host, port);
    // An unresolved name leaves the address 0.0.0.0, which this system would take for the local host;
    // a name that resolves to nothing must not reach a local server instead.
    if (sa.sin_addr.s_addr == INADDR_ANY) return false;
    return connect(sock, reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool RtSocket::Listen(int backlog) { return listen(sock, backlog) == 0; }

bool RtSocket::Accept() {
    // A connection accepted before and never taken by Accepted() is closed, not lost.
    if (accepted >= 0) close(accepted);
    accepted = accept4(sock, nullptr, nullptr, SOCK_CLOEXEC);
    return accepted >= 0;
}

RtSocket *RtSocket::Accepted() {
    if (accepted < 0) return nullptr;
    RtSocket *s = new RtSocket(accepted);
    s->proto = 1;
    accepted = -1; // handed over: only one object may own (and close) the descriptor
    return s;
}

int RtSocket::Send(RtDataBuffer *buf, int offset, int count) {
    count = span(buf, offset, count);
    if (count < 0 || sock < 0) return -1;
    // No SIGPIPE when the peer has gone: the caller gets -1 like any other failure.
    return static_cast<int>(send(sock, buf->m_data + offset, static_cast<size_t>(count), MSG_NOSIGNAL));
}

int RtSocket::Receive(RtDataBuffer *buf, int offset, int count) {
    count = span(buf, offset, count);
    if (count < 0 || sock < 0) return -1;
    return static_cast<int>(recv(sock, buf->m_data + offset, static_cast<size_t>(count), 0));
}

int RtSocket::SendTo(RtDataBuffer *buf, int offset, int count, RtSocketAddress *address) {
    count = span(buf, offset, count);
    if (count < 0 || sock < 0 || !address) return -1;
    return static_cast<int>(sendto(sock, buf->m_data + offset, static_cast<size_t>(count), MSG_NOSIGNAL,
                                   reinterpret_cast<sockaddr *>(&address->addr), sizeof address->addr));
}

int RtSocket::ReceiveFrom(RtDataBuffer *buf, int offset, int count, RtSocketAddress *address) {
    count = span(buf, offset, count);
    if (count < 0 || sock < 0 || !address) return -1;
    sockaddr_in from{};
    socklen_t len = sizeof from;
    int n = static_cast<int>(recvfrom(sock, buf->m_data + offset, static_cast<size_t>(count), 0,
                                      reinterpret_cast<sockaddr *>(&from), &len));
    address->Set(from);
    return n;
}

void RtSocket::GetLocalAddress(RtSocketAddress *address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    socklen_t len = sizeof sa;
    if (sock < 0 || getsockname(sock, reinterpret_cast<sockaddr *>(&sa), &len) != 0) {
        sa = sockaddr_in{};
        sa.sin_family = AF_INET;
    }
    address->Set(sa);
}

void RtSocket::GetRemoteAddress(RtSocketAddress *address) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    socklen_t len = sizeof sa;
    if (sock < 0 || getpeername(sock, reinterpret_cast<sockaddr *>(&sa), &len) != 0) {
        sa = sockaddr_in{};
        sa.sin_family = AF_INET;
    }
    address->Set(sa);
}

// ---- operations ----

c_AsyncConnectOp *c_AsyncConnectOp::m_new(RtSocket *socket, String host, int port,
                                          c_IOnConnectComplete *onComplete) {
    gc_assign(m_socket, socket);
    m_host = RtThread::Strdup(host);
    m_port = port;
    gc_assign(m_onComplete, onComplete);
    return this;
}

void c_AsyncConnectOp::p_Execute__UNSAFE__(c_Socket *) {
    m_connected = m_socket->sock >= 0 && m_socket->Connect(m_host, m_port);
}

void c_AsyncConnectOp::p_Complete(c_Socket *source) {
    // A socket closed while it was connecting stays closed.
    if (m_connected && source->p_IsOpen()) source->m_state |= 2 | 4;
    if (m_onComplete) m_onComplete->p_OnConnectComplete(m_connected, source);
}

void c_AsyncConnectOp::mark() {
    gc_mark_q(m_socket);
    gc_mark_q(gc_as_object(m_onComplete));
}

c_AsyncSocketIoOp *c_AsyncSocketIoOp::m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count) {
    gc_assign(m_socket, socket);
    gc_assign(m_data, data);
    m_offset = offset;
    m_count = count;
    return this;
}

void c_AsyncSocketIoOp::mark() {
    gc_mark_q(m_socket);
    gc_mark_q(m_data);
}

c_AsyncSendOp *c_AsyncSendOp::m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count,
                                    c_IOnSendComplete *onComplete) {
    c_AsyncSocketIoOp::m_new(socket, data, offset, count);
    gc_assign(m_onComplete, onComplete);
    return this;
}

void c_AsyncSendOp::p_Execute__UNSAFE__(c_Socket *) { m_count = m_socket->Send(m_data, m_offset, m_count); }

void c_AsyncSendOp::p_Complete(c_Socket *source) {
    if (m_onComplete) m_onComplete->p_OnSendComplete(m_data, m_offset, m_count, source);
}

void c_AsyncSendOp::mark() {
    c_AsyncSocketIoOp::mark();
    gc_mark_q(gc_as_object(m_onComplete));
}

c_AsyncReceiveOp *c_AsyncReceiveOp::m_new(RtSocket *socket, c_DataBuffer *data, int offset, int count,
                                          c_IOnReceiveComplete *onComplete) {
    c_AsyncSocketIoOp::m_new(socket, data, offset, count);
    gc_assign(m_onComplete, onComplete);
    return this;
}

void c_AsyncReceiveOp::p_Execute__UNSAFE__(c_Socket *) {
    m_count = m_socket->Receive(m_data, m_offset, m_count);
}

void c_AsyncReceiveOp::p_Complete(c_Socket *source) {
    if (m_onComplete) m_onComplete->p_OnReceiveComplete(m_data, m_offset, m_count, source);
}

void c_AsyncReceiveOp::mark() {
    c_AsyncSocketIoOp::mark();
    gc_mark_q(gc_as_object(m_onComplete));
}

// ---- c_AsyncQueue ----

c_AsyncQueue *c_AsyncQueue::m_new(c_Socket *source) {
    c_Thread::m_new();
    gc_assign(m_source, source);
    gc_assign(m_queue, Array<c_AsyncOp *>(kSlots));
    return this;
}

void c_AsyncQueue::p_Enqueue(c_AsyncOp *op) {
    int put = m_put.load(std::memory_order_relaxed);
    int next = (put + 1) % kSlots;
    // Checked before the slot is published, so the worker never runs over the oldest waiting operation.
    if (next == m_done) rtError(String("AsyncQueue queue overflow!"));
    gc_assign(m_queue[put], op);
    m_put.store(next, std::memory_order_release);
    Start(); // nothing happens while the worker runs
}

bool c_AsyncQueue::p_Idle() {
    return m_run.load(std::memory_order_acquire) == m_put.load(std::memory_order_relaxed);
}

void c_AsyncQueue::Run__UNSAFE__() {
    int run = m_run.load(std::memory_order_relaxed);
    while (run != m_put.load(std::memory_order_acquire)) {
        m_queue[run]->p_Execute__UNSAFE__(m_source);
        run = (run + 1) % kSlots;
        m_run.store(run, std::memory_order_release);
    }
}

void c_AsyncQueue::p_UpdateAsyncEvents() {
    int run = m_run.load(std::memory_order_acquire);
    // A worker that saw an empty ring just before an operation arrived has ended without it.
    if (run != m_put.load(std::memory_order_relaxed)) Start();
    // Only what had executed when this update began: an operation requested from a completion below
    // completes on a later update, so one update never spins on a fast peer.
    while (m_done != run) {
        c_AsyncOp *op = m_queue[m_done];
        m_queue[m_done] = nullptr; // the slot no longer keeps the operation alive
        m_done = (m_done + 1) % kSlots;
        op->p_Complete(m_source);
    }
}

void c_AsyncQueue::mark() {
    c_Thread::mark();
    gc_mark_q(m_source);
    gc_mark_q(m_queue);
}

// ---- c_Socket ----

c_Socket *c_Socket::m_new(String protocol) {
    int proto = 0;
    if (protocol == String("stream")) {
        proto = 1;
    } else if (protocol == String("server")) {
        proto = 2;
    } else if (protocol == String("datagram")) {
        proto = 3;
    } else {
        rtError(String("Illegal socket protocol"));
    }
    RtSocket *sock = new RtSocket();
    if (!sock->Open(proto)) rtError(String("Socket open failed"));
    gc_assign(m_sock, sock);
    m_proto = proto;
    m_state = 1;
    p_Start();
    return this;
}

c_Socket *c_Socket::m_new2(RtSocket *sock, int proto, int state) {
    gc_assign(m_sock, sock);
    m_proto = proto;
    m_state = state;
    p_Start();
    return this;
}

void c_Socket::p_Start() {
    gc_assign(m_readQueue, (new c_AsyncQueue)->m_new(this));
    gc_assign(m_writeQueue, (new c_AsyncQueue)->m_new(this));
    rt_asyncevent_AddAsyncEventSource(this);
}

void c_Socket::p_Close() {
    if (m_sock && m_sock->sock >= 0) {
        // Closing a descriptor that a worker is using would let the number be reused under it. Shut
        // the connection down now (waking a blocked worker) and release the descriptor once idle.
        if (m_readQueue->p_Idle() && m_writeQueue->p_Idle()) {
            m_sock->Close();
        } else {
            m_sock->Shutdown();
            m_closing = true;
        }
    }
    m_state = 0;
}

void c_Socket::p_ConnectAsync(String host, int port, c_IOnConnectComplete *onComplete) {
    if (!p_IsOpen() || p_IsConnected() || p_IsListening()) return;
    m_readQueue->p_Enqueue((new c_AsyncConnectOp)->m_new(m_sock, host, port, onComplete));
}

void c_Socket::p_SendAsync(c_DataBuffer *data, int offset, int count, c_IOnSendComplete *onComplete) {
    if (!p_IsConnected()) return;
    m_writeQueue->p_Enqueue((new c_AsyncSendOp)->m_new(m_sock, data, offset, count, onComplete));
}

void c_Socket::p_ReceiveAsync(c_DataBuffer *data, int offset, int count, c_IOnReceiveComplete *onComplete) {
    if (!p_IsConnected()) return;
    m_readQueue->p_Enqueue((new c_AsyncReceiveOp)->m_new(m_sock, data, offset, count, onComplete));
}

void c_Socket::p_UpdateAsyncEvents() {
    m_readQueue->p_UpdateAsyncEvents();
    m_writeQueue->p_UpdateAsyncEvents();
    if (m_closing && m_readQueue->p_Idle() && m_writeQueue->p_Idle()) {
        m_sock->Close();
        m_closing = false;
    }
    // A closed socket takes no new operations: once its last one has completed it leaves the pump, so
    // that finished connections neither pile up in the list nor cost every later update a visit.
    if (!p_IsOpen() && !m_closing && m_readQueue->p_Drained() && m_writeQueue->p_Drained())
        rt_asyncevent_RemoveAsyncEventSource(this);
}

void c_Socket::mark() {
    gc_mark_q(m_sock);
    gc_mark_q(m_readQueue);
    gc_mark_q(m_writeQueue);
}

// ---- the event pump ----

c_Stack3 *rt_asyncevent__sources;
c_IAsyncEventSource *rt_asyncevent__current;
static gc_root root_asyncevent_sources(rt_asyncevent__sources);
// Index of the source being updated; -1 outside an update.
static int rt_asyncevent__at = -1;

void rt_asyncevent_AddAsyncEventSource(c_IAsyncEventSource *source) {
    if (!rt_asyncevent__sources) gc_assign(rt_asyncevent__sources, (new c_Stack3)->m_new());
    if (rt_asyncevent__sources->p_Contains(source)) rtError(String("Async event source is already active"));
    rt_asyncevent__sources->p_Push(source);
}

void rt_asyncevent_UpdateAsyncEvents() {
    if (rt_asyncevent__current || !rt_asyncevent__sources) return; // pumped from inside a completion
    // The length is read afresh: a completion may register a new source (a new request's socket) or
    // remove one (which moves the index back with the sources after it).
    for (rt_asyncevent__at = 0; rt_asyncevent__at < rt_asyncevent__sources->m_length; ++rt_asyncevent__at) {
        rt_asyncevent__current = rt_asyncevent__sources->m_data[rt_asyncevent__at];
        rt_asyncevent__current->p_UpdateAsyncEvents();
    }
    rt_asyncevent__at = -1;
    rt_asyncevent__current = nullptr;
}

void rt_asyncevent_RemoveAsyncEventSource(c_IAsyncEventSource *source) {
    c_Stack3 *sources = rt_asyncevent__sources;
    if (!sources) return;
    for (int i = 0; i < sources->m_length; ++i) {
        if (sources->m_data[i] != source) continue;
        for (int j = i + 1; j < sources->m_length; ++j)
            gc_assign(sources->m_data[j - 1], sources->m_data[j]);
        sources->m_length -= 1;
        sources->m_data[sources->m_length] = nullptr;
        if (i <= rt_asyncevent__at) --rt_asyncevent__at;
        return;
    }
}
