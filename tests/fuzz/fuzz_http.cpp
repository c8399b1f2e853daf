// HTTP responses, fed to the request's receive step the way the socket delivers them: each piece goes
// where the request asked for its next receive. The first input byte picks the piece sizes, so a
// response is also tried cut at many places.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "net/http.h"
#include "tests/fuzz/fuzz_support.h"

namespace {
class Listener : public Object, public c_IOnHttpRequestComplete {
  public:
    int calls = 0;
    void p_OnHttpRequestComplete(c_HttpRequest *) override { ++calls; }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::start();
    unsigned pieces = size ? data[0] : 0;
    if (size) {
        ++data;
        --size;
    }
    auto *listener = new Listener;
    c_HttpRequest *req = (new c_HttpRequest)->m_new2(String("GET"), String("http://fuzz/"), listener);
    req->m_header->p_Clear(); // as once the request went out
    size_t at = 0;
    int step = 1;
    while (listener->calls == 0 && at < size) {
        // Piece sizes from 1 byte up to the whole buffer, changing with every piece.
        step = static_cast<int>(1 + (pieces * 131u + static_cast<unsigned>(step) * 17u) % 16384u);
        int offset = req->m_receiveAt;
        int room = req->m_rbuf->m_length - offset;
        if (offset < 0 || room <= 0) std::abort(); // a receive with nowhere to go
        int n = static_cast<int>(
            std::min<size_t>({static_cast<size_t>(step), static_cast<size_t>(room), size - at}));
        std::memcpy(req->m_rbuf->m_data + offset, data + at, static_cast<size_t>(n));
        at += static_cast<size_t>(n);
        req->p_OnReceiveComplete(req->m_rbuf, offset, n, nullptr);
    }
    if (listener->calls == 0) req->p_OnReceiveComplete(req->m_rbuf, req->m_receiveAt, 0, nullptr); // closed
    if (listener->calls != 1) std::abort(); // the listener hears of each request exactly once
    fuzz::collect();
    return 0;
}
