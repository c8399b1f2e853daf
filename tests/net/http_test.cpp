#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/socket.h>

#include "net/http.h"
#include "tests/net/local_server.h"

using namespace testnet;

namespace {

const std::thread::id main_thread = std::this_thread::get_id();

class Listener : public Object, public c_IOnHttpRequestComplete {
  public:
    int calls = 0;
    bool onMainThread = false;
    bool fromPump = false;
    void p_OnHttpRequestComplete(c_HttpRequest *) override {
        ++calls;
        onMainThread = std::this_thread::get_id() == main_thread;
        fromPump = rt_asyncevent__current != nullptr;
    }
};

struct Outcome {
    int calls = 0;
    int status = 0;
    std::string text;
    int bytesReceived = 0;
    std::string requestSeen;         // the exact bytes the server read
    std::vector<std::string> header; // the response header lines the client kept
};

// Runs one request against a local server that answers with `response`, whole or a byte at a time.
// `send` makes the request go out (p_Send or p_Send2).
template <class F>
Outcome exchange(const char *method, const std::string &response, bool bytewise, const char *path, F send) {
    Outcome out;
    LocalServer server([&](int fd) {
        out.requestSeen = read_request(fd);
        if (bytewise)
            send_bytewise(fd, response);
        else
            send_all(fd, response);
    });
    auto *listener = new Listener;
    auto *req = (new c_HttpRequest)->m_new2(String(method), server.url(path), listener);
    send(req);
    EXPECT_TRUE(pump_until([&] { return listener->calls > 0; }));
    for (int i = 0; i < 10; ++i)
        rt_asyncevent_UpdateAsyncEvents(); // a second call would show up here
    server.join();
    EXPECT_TRUE(listener->onMainThread);
    EXPECT_TRUE(listener->fromPump);
    EXPECT_FALSE(req->m_socket->p_IsOpen());
    out.calls = listener->calls;
    out.status = req->p_Status();
    out.text = req->p_ResponseText().ToUtf8();
    out.bytesReceived = req->m_bytesReceived;
    for (int i = 0; i < req->m_header->p_Length2(); ++i)
        out.header.push_back(req->m_header->p_Get(i).ToUtf8());
    return out;
}

Outcome get(const std::string &response, bool bytewise = false, const char *path = "/") {
    return exchange("GET", response, bytewise, path, [](c_HttpRequest *r) { r->p_Send(); });
}

const std::string kOk = "HTTP/1.0 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nX-Pad:  7 \r\n\r\n"
                        "hello w\xc3\xb6rld \xe2\x82\xac";

TEST(HttpClient, GetReturnsStatusBodyAndSendsTheExactRequest) {
    Outcome r = get(kOk, false, "/a?b#c");
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.requestSeen, "GET /a?b#c HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.text, "hello w\xc3\xb6rld \xe2\x82\xac");
    EXPECT_EQ(r.bytesReceived, 16);
    EXPECT_EQ(r.header, (std::vector<std::string>{"HTTP/1.0 200 OK",
                                                  "Content-Type: text/plain; charset=utf-8", "X-Pad:  7"}));

    r = get("HTTP/1.0 200 OK\r\n\r\n"); // no body: complete, with empty text
    EXPECT_EQ(r.requestSeen, "GET / HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.text, "");
}

TEST(HttpClient, ByteByByteResponseParsesTheSame) {
    Outcome whole = get(kOk);
    Outcome pieces = get(kOk, true);
    EXPECT_EQ(pieces.calls, 1);
    EXPECT_EQ(pieces.status, whole.status);
    EXPECT_EQ(pieces.header, whole.header);
    EXPECT_EQ(pieces.bytesReceived, whole.bytesReceived);
    EXPECT_EQ(pieces.text, whole.text); // also across the split multi-byte characters

    // A sequence the server never finished decodes byte by byte when the connection ends.
    Outcome cut = get("HTTP/1.0 200 OK\r\n\r\nab\xe2\x82", true);
    EXPECT_EQ(cut.text, "ab\xef\xbf\xa2\xef\xbe\x82"); // U+FFE2, U+FF82
}

TEST(HttpClient, StatusLines) {
    struct Case {
        const char *response;
        int status;
        const char *text;
    } cases[] = {
        {"HTTP/1.1 404 Not Found\r\n\r\ngone", 404, "gone"},
        {"http/1.1 302 found\r\nLocation: /x\r\n\r\n", 302, ""}, // compared in upper case
        {"FTP/1.0 200 OK\r\n\r\nbody", -1, ""},
        {"HTTP/1.0 200\r\n\r\nbody", -1, ""},                // fewer than three words
        {"HTTP/1.0 99999999999 OK\r\n\r\n", 2147483647, ""}, // saturates like the save reader
        {"\r\nbody", -1, ""},                                // a header without any line
        {"", -1, ""},                                        // closed without an answer
    };
    for (const Case &c : cases) {
        Outcome r = get(c.response);
        EXPECT_EQ(r.calls, 1) << c.response;
        EXPECT_EQ(r.status, c.status) << c.response;
        EXPECT_EQ(r.text, c.text) << c.response;
    }
}

// Up to 1 MiB of header or body is taken; past it the request finishes as failed.
TEST(HttpClient, AnswersOverTheSizeCapFinishWithoutStatus) {
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    Outcome r = get(head + std::string(1 << 20, 'b'));
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.text.size(), size_t(1) << 20);

    r = get(head + std::string((1 << 20) + 1, 'b'));
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.text, "");

    std::string lines = "HTTP/1.0 200 OK\r\n";
    while (lines.size() <= (1 << 20))
        lines += "X-Filler: " + std::string(1000, 'h') + "\r\n";
    r = get(lines + "\r\nbody");
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.text, "");
}

TEST(HttpClient, PortOutOfRangeIsNotCutToAnotherPort) {
    int port = 0;
    int fd = listen_local(&port);
    auto *listener = new Listener;
    String url = String("http://127.0.0.1:") + String(port + 65536) + String("/");
    auto *req = (new c_HttpRequest)->m_new2(String("GET"), url, listener);
    req->p_Send();
    EXPECT_TRUE(pump_until([&] { return listener->calls > 0; }));
    EXPECT_EQ(req->p_Status(), -1);
    pollfd p{fd, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 200), 0) << "a connection reached the port cut to 16 bits";
    close(fd);
}

TEST(HttpClient, RefusedConnectionFinishesWithoutStatus) {
    int fd = socket(AF_INET, SOCK_STREAM, 0); // bound, never listening: connections are refused
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len);

    auto *listener = new Listener;
    auto *req =
        (new c_HttpRequest)
            ->m_new2(String("GET"), String("http://127.0.0.1:") + String(ntohs(sa.sin_port)), listener);
    req->p_Send();
    ASSERT_TRUE(pump_until([&] { return listener->calls > 0; }));
    close(fd);
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(req->p_Status(), -1);
    EXPECT_EQ(req->p_ResponseText().Length(), 0);
}

TEST(HttpClient, BodyHeadersFollowTheMimeType) {
    auto post = [](const char *mime) {
        return exchange("POST", "HTTP/1.0 201 Created\r\n\r\nok", false, "/p", [mime](c_HttpRequest *r) {
            Char body[] = {'h', 0xe9, 'l', 'l', 'o'};
            r->p_Send2(String(body, 5), String(mime), String("utf8"));
        });
    };
    Outcome r = post("");
    EXPECT_EQ(r.requestSeen, "POST /p HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: 6\r\n\r\nh\xc3\xa9llo");
    EXPECT_EQ(r.status, 201);
    EXPECT_EQ(r.text, "ok");
    r = post("text/plain");
    EXPECT_EQ(r.requestSeen, "POST /p HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Type: text/plain\r\n"
                             "Content-Length: 6\r\n\r\nh\xc3\xa9llo");
}

TEST(HttpClient, RequestHeaderTooLongForItsBufferIsNotSent) {
    std::string seen = "unset";
    LocalServer server([&](int fd) {
        seen = read_request(fd); // whatever arrives before the client closes
    });
    auto *listener = new Listener;
    auto *req = (new c_HttpRequest)
                    ->m_new2(String("GET"), server.url(("/" + std::string(5000, 'p')).c_str()), listener);
    req->p_Send();
    ASSERT_TRUE(pump_until([&] { return listener->calls > 0; }));
    server.join();
    EXPECT_EQ(seen, "");
    EXPECT_EQ(req->p_Status(), -1);
}

TEST(HttpClient, HeaderLineLongerThanTheReceiveBufferFinishes) {
    std::atomic<bool> clientClosed{false};
    LocalServer server([&](int fd) {
        read_request(fd);
        send_all(fd, "HTTP/1.0 200 OK\r\nX-Long: " + std::string(20000, 'x'));
        clientClosed = wait_closed(fd); // the server never ends the line nor closes
    });
    auto *listener = new Listener;
    auto *req = (new c_HttpRequest)->m_new2(String("GET"), server.url("/"), listener);
    req->p_Send();
    ASSERT_TRUE(pump_until([&] { return listener->calls > 0; }));
    EXPECT_EQ(req->p_Status(), -1);
    EXPECT_EQ(req->p_ResponseText().Length(), 0);
    ASSERT_TRUE(pump_until([&] { return !req->m_socket->m_closing; }));
    server.join();
    EXPECT_TRUE(clientClosed.load());
}

// Part of an answer never passes for all of it: a body ended by a reset, or one shorter than its
// Content-Length, is a failed request. A body that reaches its length is whole.
TEST(HttpClient, AnswersCutShortAreFailedRequests) {
    std::atomic<bool> reset{false};
    LocalServer server([&](int fd) {
        read_request(fd);
        send_all(fd, "HTTP/1.0 200 OK\r\n\r\npartial text");
        if (!wait_for(reset)) return;
        linger hard{1, 0}; // the close below resets the connection
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    });
    auto *listener = new Listener;
    auto *req = (new c_HttpRequest)->m_new2(String("GET"), server.url("/"), listener);
    req->p_Send();
    ASSERT_TRUE(pump_until([&] { return req->m_bytesReceived == 12; }));
    reset = true;
    ASSERT_TRUE(pump_until([&] { return listener->calls > 0; }));
    for (int i = 0; i < 10; ++i)
        rt_asyncevent_UpdateAsyncEvents();
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(req->p_Status(), -1);
    EXPECT_EQ(req->p_ResponseText().ToUtf8(), "");
    EXPECT_EQ(req->m_bytesReceived, 12); // the error's -1 is not counted as bytes

    Outcome r = get("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabcd");
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(r.status, -1);
    EXPECT_EQ(r.text, "");
    r = get("HTTP/1.0 200 OK\r\ncontent-length:  4 \r\n\r\nabcd", true);
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.text, "abcd");
    r = get("HTTP/1.0 200 OK\r\nContent-Length: many\r\n\r\nabcd"); // says nothing of the length
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.text, "abcd");
}

// Entries in a /proc/self folder: open descriptors ("fd") or live threads ("task").
int entries(const char *folder) {
    DIR *d = opendir((std::string("/proc/self/") + folder).c_str());
    if (!d) return -1;
    int n = 0;
    while (dirent *e = readdir(d))
        n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

int sources() { return rt_asyncevent__sources ? rt_asyncevent__sources->m_length : 0; }

// Finished requests leave nothing behind: their sockets leave the event pump and close their
// descriptors, and their worker threads end.
TEST(HttpClient, ThousandRequestsLeaveSourcesDescriptorsAndThreadsWhereTheyBegan) {
    constexpr int kRequests = 1000, kAtOnce = 25;
    for (int i = 0; i < 50; ++i) // earlier tests' closed sockets settle first
        rt_asyncevent_UpdateAsyncEvents();
    std::thread([] {}).join(); // a thread sanitizer starts its own helper thread with the first thread
    const int sourcesBefore = sources(), fdsBefore = entries("fd"), threadsBefore = entries("task");

    int port = 0;
    int listener = listen_local(&port);
    listen(listener, kAtOnce);
    std::thread server([&] {
        for (int i = 0; i < kRequests; ++i) {
            pollfd p{listener, POLLIN, 0};
            if (poll(&p, 1, kWaitMs) <= 0) return;
            int fd = accept(listener, nullptr, nullptr);
            read_request(fd);
            send_all(fd, "HTTP/1.0 200 OK\r\n\r\nok");
            close(fd);
        }
    });
    String url = String("http://127.0.0.1:") + String(port) + String("/");
    int answered = 0;
    for (int sent = 0; sent < kRequests; sent += kAtOnce) {
        auto *done = new Listener;
        std::vector<c_HttpRequest *> batch;
        for (int i = 0; i < kAtOnce; ++i) {
            batch.push_back((new c_HttpRequest)->m_new2(String("GET"), url, done));
            batch.back()->p_Send();
        }
        ASSERT_TRUE(pump_until([&] { return done->calls == kAtOnce; }));
        for (c_HttpRequest *r : batch)
            answered += r->p_Status() == 200 && r->p_ResponseText().ToUtf8() == "ok";
    }
    server.join();
    close(listener);
    EXPECT_EQ(answered, kRequests);
    EXPECT_TRUE(pump_until([&] { return sources() <= sourcesBefore; })) << sources() << " sources";
    EXPECT_LE(entries("fd"), fdsBefore);
    EXPECT_TRUE(pump_until([&] { return entries("task") <= threadsBefore; }))
        << entries("task") << " threads";
}

// A server that says nothing, drips its answer or never closes a Content-Length answer holds a request
// only until its time runs out: then the request lets go of its connection and threads, and never
// completes.
TEST(HttpClient, RequestsOutOfTimeNeverCompleteAndCloseTheirConnection) {
    const char *lengthAnswer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
    const std::function<void(int)> servers[] = {
        [](int) {},  // silent
        [](int fd) { // one byte at a time, never ending
            send_all(fd, "HTTP/1.0 200 OK\r\n\r\n");
            for (int i = 0; i < kWaitMs / 10; ++i) {
                pollfd p{fd, POLLIN, 0};
                if (poll(&p, 1, 10) != 0 || send(fd, "x", 1, MSG_NOSIGNAL) != 1) return;
            }
        },
        [lengthAnswer](int fd) { send_all(fd, lengthAnswer); }, // all said, connection kept open
    };
    std::thread([] {}).join(); // a thread sanitizer starts its own helper thread with the first thread
    for (const auto &script : servers) {
        const int sourcesBefore = sources(), threadsBefore = entries("task");
        std::atomic<bool> clientClosed{false};
        LocalServer server([&](int fd) {
            read_request(fd);
            script(fd);
            clientClosed = wait_closed(fd);
        });
        auto *listener = new Listener;
        auto *req = (new c_HttpRequest)->m_new2(String("GET"), server.url("/"), listener);
        EXPECT_EQ(req->m_timeout, c_HttpRequest::kDefaultTimeout);
        req->p_SetTimeout(300);
        req->p_Send();
        ASSERT_TRUE(pump_until([&] { return sources() <= sourcesBefore; })) << sources() << " sources";
        server.join();
        EXPECT_TRUE(clientClosed.load());
        EXPECT_TRUE(pump_until([&] { return entries("task") <= threadsBefore; }))
            << entries("task") << " threads";
        for (int i = 0; i < 10; ++i)
            rt_asyncevent_UpdateAsyncEvents();
        EXPECT_EQ(listener->calls, 0);
        EXPECT_EQ(req->p_Status(), -1);
        EXPECT_EQ(req->p_ResponseText().Length(), 0);
    }
}

} // namespace
