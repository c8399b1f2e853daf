#include <gtest/gtest.h>

#include <poll.h>

#include <map>
#include <vector>

#include "net/socket.h"
#include "tests/net/local_server.h"

using namespace testnet;

namespace {

// Records every completion and whether it arrived from inside the event pump.
class Events : public Object,
               public c_IOnConnectComplete,
               public c_IOnSendComplete,
               public c_IOnReceiveComplete {
  public:
    struct Event {
        char kind; // 'c' connect, 's' send, 'r' receive
        int count;
        c_DataBuffer *data;
        bool inPump;
    };
    std::vector<Event> events;
    bool connected = false;

    void p_OnConnectComplete(bool ok, c_Socket *) override {
        connected = ok;
        events.push_back({'c', ok ? 1 : 0, nullptr, rt_asyncevent__current != nullptr});
    }
    void p_OnSendComplete(c_DataBuffer *data, int, int count, c_Socket *) override {
        events.push_back({'s', count, data, rt_asyncevent__current != nullptr});
    }
    void p_OnReceiveComplete(c_DataBuffer *data, int, int count, c_Socket *) override {
        events.push_back({'r', count, data, rt_asyncevent__current != nullptr});
    }
    size_t size() const { return events.size(); }
};

c_DataBuffer *text_buffer(const std::string &text) {
    c_DataBuffer *b = (new c_DataBuffer)->m_new(static_cast<int>(text.size()));
    for (size_t i = 0; i < text.size(); ++i)
        b->m_data[i] = static_cast<unsigned char>(text[i]);
    return b;
}

std::string text_of(c_DataBuffer *b, int count) {
    return std::string(reinterpret_cast<char *>(b->m_data), count);
}

c_Socket *connect_to(int port, Events *ev) {
    c_Socket *s = (new c_Socket)->m_new(String("stream"));
    s->p_ConnectAsync(String("127.0.0.1"), port, ev);
    EXPECT_TRUE(pump_until([&] { return ev->size() > 0; }));
    EXPECT_TRUE(ev->connected);
    EXPECT_EQ(s->m_state, 1 | 2 | 4);
    ev->events.clear();
    return s;
}

TEST(AsyncSocket, ReceivesCompleteInOrderFromInsideThePump) {
    std::atomic<bool> second{false};
    LocalServer server([&](int fd) {
        send_all(fd, "a");
        if (wait_for(second)) send_all(fd, "b");
        wait_closed(fd);
    });
    auto *ev = new Events;
    c_Socket *s = connect_to(server.port(), ev);
    c_DataBuffer *first = (new c_DataBuffer)->m_new(4), *next = (new c_DataBuffer)->m_new(4);
    s->p_ReceiveAsync(first, 0, 4, ev);
    s->p_ReceiveAsync(next, 0, 4, ev);
    EXPECT_EQ(ev->size(), 0u); // nothing completes inside the request

    ASSERT_TRUE(pump_until([&] { return ev->size() > 0; }));
    ASSERT_EQ(ev->size(), 1u); // the second waits for its data behind the first
    EXPECT_EQ(ev->events[0].data, first);
    EXPECT_EQ(ev->events[0].count, 1);
    EXPECT_EQ(text_of(first, 1), "a");

    second = true;
    ASSERT_TRUE(pump_until([&] { return ev->size() > 1; }));
    EXPECT_EQ(ev->events[1].data, next);
    EXPECT_EQ(ev->events[1].count, 1);
    EXPECT_EQ(text_of(next, 1), "b");
    for (auto &e : ev->events)
        EXPECT_TRUE(e.inPump);
    s->p_Close();
}

TEST(AsyncSocket, SendRunsWhileAReceiveIsBlocked) {
    LocalServer server([](int fd) {
        if (read_exactly(fd, 4) == "ping") send_all(fd, "pong");
        wait_closed(fd);
    });
    auto *ev = new Events;
    c_Socket *s = connect_to(server.port(), ev);
    c_DataBuffer *in = (new c_DataBuffer)->m_new(4);
    s->p_ReceiveAsync(in, 0, 4, ev); // blocks until the server has had the ping
    s->p_SendAsync(text_buffer("ping"), 0, 4, ev);
    // Were the send queued behind the receive, neither would ever complete.
    ASSERT_TRUE(pump_until([&] { return ev->size() == 2; }));
    std::map<char, int> counts;
    for (auto &e : ev->events)
        counts[e.kind] = e.count;
    EXPECT_EQ(counts, (std::map<char, int>{{'r', 4}, {'s', 4}}));
    EXPECT_EQ(text_of(in, 4), "pong");
    s->p_Close();
}

TEST(AsyncSocket, OperationsOnlyInTheRightState) {
    LocalServer server([](int fd) { wait_closed(fd); });
    auto *ev = new Events;

    // Not yet connected: sends and receives are dropped.
    c_Socket *fresh = (new c_Socket)->m_new(String("stream"));
    EXPECT_EQ(fresh->m_state, 1);
    fresh->p_ReceiveAsync((new c_DataBuffer)->m_new(4), 0, 4, ev);
    fresh->p_SendAsync(text_buffer("x"), 0, 1, ev);
    EXPECT_EQ(fresh->m_readQueue->m_put.load(), 0);
    EXPECT_EQ(fresh->m_writeQueue->m_put.load(), 0);

    // Connected: a second connect is dropped, no callback ever comes.
    c_Socket *s = connect_to(server.port(), ev);
    int put = s->m_readQueue->m_put.load();
    s->p_ConnectAsync(String("127.0.0.1"), server.port(), ev);
    EXPECT_EQ(s->m_readQueue->m_put.load(), put);
    for (int i = 0; i < 20; ++i)
        rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(ev->size(), 0u);

    // Closed: nothing more is accepted.
    s->p_Close();
    EXPECT_EQ(s->m_state, 0);
    EXPECT_FALSE(s->p_IsOpen());
    s->p_ConnectAsync(String("127.0.0.1"), server.port(), ev);
    EXPECT_EQ(s->m_readQueue->m_put.load(), put);
}

TEST(AsyncSocket, FailedConnectsLeaveTheSocketOpen) {
    // Refused: a port that is bound but not listening.
    int bound = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(bound, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(bound, reinterpret_cast<sockaddr *>(&sa), &len);
    int refusedPort = ntohs(sa.sin_port);

    // An empty host resolves to no address; it must not reach a server listening on this machine.
    int listeningPort = 0;
    int listening = listen_local(&listeningPort);

    struct Case {
        const char *host;
        int port;
    } cases[] = {{"127.0.0.1", refusedPort}, {"", listeningPort}};
    for (const Case &c : cases) {
        auto *ev = new Events;
        c_Socket *s = (new c_Socket)->m_new(String("stream"));
        s->p_ConnectAsync(String(c.host), c.port, ev);
        ASSERT_TRUE(pump_until([&] { return ev->size() > 0; })) << c.host;
        EXPECT_EQ(ev->events[0].kind, 'c');
        EXPECT_FALSE(ev->connected) << c.host;
        EXPECT_EQ(s->m_state, 1) << c.host;
        s->p_Close();
    }
    close(bound);
    close(listening);
}

TEST(AsyncSocket, CloseWakesABlockedReceiveAndReleasesTheDescriptorWhenIdle) {
    std::atomic<bool> sawClose{false};
    LocalServer server([&](int fd) { sawClose = wait_closed(fd); });
    auto *ev = new Events;
    c_Socket *s = connect_to(server.port(), ev);
    s->p_ReceiveAsync((new c_DataBuffer)->m_new(8), 0, 8, ev);
    s->p_Close();
    EXPECT_EQ(s->m_state, 0);
    ASSERT_TRUE(pump_until([&] { return ev->size() > 0; }));
    EXPECT_EQ(ev->events[0].kind, 'r');
    EXPECT_LE(ev->events[0].count, 0);
    EXPECT_EQ(s->m_sock->sock, -1); // released on the update that found both queues idle
    server.join();
    EXPECT_TRUE(sawClose.load());
}

// Operations that only record when they ran, for driving a queue without a network.
class StepOp : public c_AsyncOp {
  public:
    int index = 0;
    bool executed = false;
    std::vector<int> *completed = nullptr;
    bool executedFirst = true;

    void p_Execute__UNSAFE__(c_Socket *) override { executed = true; }
    void p_Complete(c_Socket *) override {
        executedFirst = executed;
        completed->push_back(index);
    }
};

TEST(AsyncQueue, CompletesInOrderAcrossTheRingEnd) {
    c_AsyncQueue *q = (new c_AsyncQueue)->m_new(nullptr);
    std::vector<int> completed;
    std::vector<StepOp *> ops;
    int next = 0;
    for (int batch = 0; batch < 4; ++batch) { // 4 x 200 operations wrap the 256 slots three times
        for (int i = 0; i < 200; ++i) {
            auto *op = new StepOp;
            op->index = next++;
            op->completed = &completed;
            ops.push_back(op);
            q->p_Enqueue(op);
        }
        for (int i = 0; i < kWaitMs && static_cast<int>(completed.size()) < next; ++i) {
            q->p_UpdateAsyncEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_EQ(static_cast<int>(completed.size()), next);
    }
    for (int i = 0; i < next; ++i) {
        EXPECT_EQ(completed[i], i);
        EXPECT_TRUE(ops[i]->executedFirst);
    }
    EXPECT_EQ(q->m_queue[0], nullptr); // completed slots let go of their operations
}

// An event source that pumps again from inside its own update.
class NestedSource : public Object, public c_IAsyncEventSource {
  public:
    int calls = 0;
    bool sawItselfCurrent = false;
    void p_UpdateAsyncEvents() override {
        ++calls;
        sawItselfCurrent = rt_asyncevent__current == this;
        rt_asyncevent_UpdateAsyncEvents(); // must return at once
    }
};

TEST(AsyncEvents, PumpingFromInsideAnUpdateDoesNothing) {
    auto *src = new NestedSource;
    rt_asyncevent_AddAsyncEventSource(src);
    rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(src->calls, 1);
    EXPECT_TRUE(src->sawItselfCurrent);
    EXPECT_EQ(rt_asyncevent__current, nullptr);
    rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(src->calls, 2);
}

// A source that counts its updates and may take sources out of the pump from inside its own update.
class CountingSource : public Object, public c_IAsyncEventSource {
  public:
    int calls = 0;
    std::vector<c_IAsyncEventSource *> removeOnUpdate;
    void p_UpdateAsyncEvents() override {
        ++calls;
        for (c_IAsyncEventSource *s : removeOnUpdate)
            rt_asyncevent_RemoveAsyncEventSource(s);
    }
};

// Sources taken out during an update, the current one and one already visited, skip none of the rest.
TEST(AsyncEvents, SourcesRemovedDuringAnUpdateSkipNoOther) {
    auto *a = new CountingSource, *b = new CountingSource, *c = new CountingSource;
    for (CountingSource *s : {a, b, c})
        rt_asyncevent_AddAsyncEventSource(s);
    const int registered = rt_asyncevent__sources->m_length;
    b->removeOnUpdate = {a, b};
    rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(rt_asyncevent__sources->m_length, registered - 2);
    rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 1);
    EXPECT_EQ(c->calls, 2);
    rt_asyncevent_RemoveAsyncEventSource(c);
    rt_asyncevent_RemoveAsyncEventSource(c); // not registered: nothing happens
    EXPECT_EQ(rt_asyncevent__sources->m_length, registered - 3);
    rt_asyncevent_AddAsyncEventSource(c); // and may come back
    rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(c->calls, 3);
}

class NopOp : public c_AsyncOp {
  public:
    void p_Execute__UNSAFE__(c_Socket *) override {}
    void p_Complete(c_Socket *) override {}
};

// rtError prints on standard output; death tests match standard error.
void stdout_to_stderr() {
    std::fflush(stdout);
    dup2(2, 1);
}

TEST(AsyncSocketDeathTest, RuntimeErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            c_AsyncQueue *q = (new c_AsyncQueue)->m_new(nullptr);
            for (int i = 0; i < 255; ++i)
                q->p_Enqueue(new NopOp); // completions never delivered
            std::fputs("255 queued\n", stderr);
            q->p_Enqueue(new NopOp);
        },
        testing::ExitedWithCode(255), "255 queued\nZindle Runtime Error : AsyncQueue queue overflow!");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            (new c_Socket)->m_new(String("Stream"));
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Illegal socket protocol");
    EXPECT_EXIT(
        {
            stdout_to_stderr();
            c_Socket *s = (new c_Socket)->m_new(String("datagram"));
            rt_asyncevent_AddAsyncEventSource(s);
        },
        testing::ExitedWithCode(255), "Zindle Runtime Error : Async event source is already active");
}

// A connection accepted and never taken is closed by the next Accept, not leaked: its client sees the
// end of the stream. Ports outside 1 to 65535 are refused rather than cut to 16 bits.
TEST(NativeSocket, SecondAcceptClosesTheUntakenConnectionAndPortsOutOfRangeAreRefused) {
    auto *server = new RtSocket, *first = new RtSocket, *second = new RtSocket;
    ASSERT_TRUE(server->Open(2) && first->Open(1) && second->Open(1));
    ASSERT_TRUE(server->Bind(String("127.0.0.1"), 0) && server->Listen(2));
    auto *addr = new RtSocketAddress;
    server->GetLocalAddress(addr);
    addr->Validate();
    ASSERT_TRUE(first->Connect(String("127.0.0.1"), addr->port));
    ASSERT_TRUE(server->Accept());
    ASSERT_TRUE(second->Connect(String("127.0.0.1"), addr->port));
    ASSERT_TRUE(server->Accept());
    pollfd p{first->sock, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1) << "the first connection is still held open";
    char c;
    EXPECT_EQ(recv(first->sock, &c, 1, 0), 0);
    RtSocket *conn = server->Accepted();
    ASSERT_NE(conn, nullptr);
    conn->Close();

    auto *probe = new RtSocket;
    ASSERT_TRUE(probe->Open(1));
    EXPECT_FALSE(probe->Connect(String("127.0.0.1"), addr->port + 65536));
    EXPECT_FALSE(probe->Connect(String("127.0.0.1"), 0));
    EXPECT_FALSE(probe->Connect(String("127.0.0.1"), -1));
    EXPECT_FALSE(probe->Bind(String("127.0.0.1"), 65536));
    first->Close();
    second->Close();
    server->Close();
    probe->Close();
}

TEST(NativeSocket, AddressesDatagramsAndAcceptedConnections) {
    auto *a = new RtSocketAddress;
    a->Set(String("127.0.0.1"), 80);
    a->Validate();
    EXPECT_EQ(a->host.ToUtf8(), "127.0.0.1");
    EXPECT_EQ(a->port, 80);

    // Datagrams: the receiver learns the sender's address.
    auto *tx = new RtSocket, *rx = new RtSocket;
    ASSERT_TRUE(tx->Open(3) && rx->Open(3));
    ASSERT_TRUE(tx->Bind(String("127.0.0.1"), 0) && rx->Bind(String("127.0.0.1"), 0));
    auto *to = new RtSocketAddress, *from = new RtSocketAddress, *txAddr = new RtSocketAddress;
    rx->GetLocalAddress(to);
    tx->GetLocalAddress(txAddr);
    EXPECT_EQ(tx->SendTo(text_buffer("hello"), 1, 3, to), 3);
    c_DataBuffer *in = (new c_DataBuffer)->m_new(8);
    EXPECT_EQ(rx->ReceiveFrom(in, 2, 99, from), 3); // count cut to the buffer
    EXPECT_EQ(text_of(in, 5).substr(2), "ell");
    from->Validate();
    txAddr->Validate();
    EXPECT_EQ(from->host.ToUtf8(), "127.0.0.1");
    EXPECT_EQ(from->port, txAddr->port);
    EXPECT_EQ(rx->Receive(in, 9, 1), -1); // an offset outside the buffer is refused

    // Stream server: one accepted connection is handed over once.
    auto *server = new RtSocket, *client = new RtSocket;
    ASSERT_TRUE(server->Open(2) && client->Open(1));
    ASSERT_TRUE(server->Bind(String("127.0.0.1"), 0) && server->Listen(1));
    auto *serverAddr = new RtSocketAddress;
    server->GetLocalAddress(serverAddr);
    serverAddr->Validate();
    ASSERT_TRUE(client->Connect(String("127.0.0.1"), serverAddr->port));
    ASSERT_TRUE(server->Accept());
    RtSocket *conn = server->Accepted();
    ASSERT_NE(conn, nullptr);
    EXPECT_EQ(server->Accepted(), nullptr);
    auto *peer = new RtSocketAddress, *clientAddr = new RtSocketAddress;
    conn->GetRemoteAddress(peer);
    client->GetLocalAddress(clientAddr);
    peer->Validate();
    clientAddr->Validate();
    EXPECT_EQ(peer->port, clientAddr->port);

    conn->Close();
    conn->GetLocalAddress(peer); // closed: all zeros
    peer->Validate();
    EXPECT_EQ(peer->host.ToUtf8(), "0.0.0.0");
    EXPECT_EQ(peer->port, 0);
    for (RtSocket *s : {tx, rx, server, client})
        s->Close();
}

} // namespace
