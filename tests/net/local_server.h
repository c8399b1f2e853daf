// Test peers on 127.0.0.1: a one-connection TCP server run by a thread of the test, and the bounded
// event pump the tests drive instead of the game's update loop.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "net/socket.h"

namespace testnet {

// Upper bound for anything a test waits for; generous for the ThreadSanitizer build. Never asserted.
constexpr int kWaitMs = 20000;

// Runs the event pump once per millisecond until `done` holds; false if it never did.
template <class F> bool pump_until(F done) {
    for (int i = 0; i < kWaitMs; ++i) {
        rt_asyncevent_UpdateAsyncEvents();
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Waits for `flag`, bounded like everything else.
inline bool wait_for(const std::atomic<bool> &flag) {
    for (int i = 0; i < kWaitMs && !flag.load(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return flag.load();
}

inline int listen_local(int *port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    listen(fd, 4);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr *>(&sa), &len);
    *port = ntohs(sa.sin_port);
    return fd;
}

inline void send_all(int fd, const std::string &bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

// One byte per send, with a pause so that the client's receives really do see the pieces.
inline void send_bytewise(int fd, const std::string &bytes) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    for (char c : bytes) {
        if (send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
}

// Reads until `n` bytes arrived or the peer is gone.
inline std::string read_exactly(int fd, size_t n) {
    std::string got;
    char buf[256];
    while (got.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) break;
        ssize_t k = recv(fd, buf, std::min(sizeof buf, n - got.size()), 0);
        if (k <= 0) break;
        got.append(buf, static_cast<size_t>(k));
    }
    return got;
}

// Reads one HTTP request: the header up to its blank line, then Content-Length bytes of body.
inline std::string read_request(int fd) {
    std::string got;
    char c;
    while (got.find("\r\n\r\n") == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0 || recv(fd, &c, 1, 0) != 1) return got;
        got += c;
    }
    size_t at = got.find("Content-Length: ");
    if (at != std::string::npos) got += read_exactly(fd, std::stoul(got.substr(at + 16)));
    return got;
}

// Waits until the client has closed its end (or reset it).
inline bool wait_closed(int fd) {
    char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) return false;
        if (recv(fd, buf, sizeof buf, 0) <= 0) return true;
    }
}

// Accepts one connection on 127.0.0.1 and runs `script` on it on its own thread.
class LocalServer {
  public:
    explicit LocalServer(std::function<void(int fd)> script) {
        listener_ = listen_local(&port_);
        thread_ = std::thread([this, script] {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, kWaitMs) <= 0) return;
            int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            script(fd);
            close(fd);
        });
    }
    ~LocalServer() {
        join();
        close(listener_);
    }
    int port() const { return port_; }
    String url(const char *path) const { return String("http://127.0.0.1:") + String(port_) + String(path); }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

} // namespace testnet
