#include "net/http.h"

namespace {

constexpr int kHeaderBufferBytes = 4096;
constexpr int kReceiveBufferBytes = 16384;
// Any answer this game asks for is a few hundred bytes; a server that sends more than this in its
// header or its body is not one to keep listening to.
constexpr int kMaxResponseBytes = 1 << 20;

// Cuts every character of code 32 or less from both ends (spaces, tabs, the CR before a line feed).
String trim(const String &s) {
    int from = 0, term = s.Length();
    while (from < term && s[from] <= 32)
        ++from;
    while (term > from && s[term - 1] <= 32)
        --term;
    return s.Slice(from, term);
}

// Length of a UTF-8 sequence cut off at the end of bytes [from, end): 0 when the last one is complete
// (or not UTF-8 at all, which the decoder then reports).
int utf8_cut(const unsigned char *p, int from, int end) {
    for (int k = 1; k <= 2 && end - k >= from; ++k) {
        unsigned char b = p[end - k];
        if ((b & 0xc0) == 0x80) continue; // a continuation byte: look further back
        int need = (b & 0xe0) == 0xc0 ? 2 : (b & 0xf0) == 0xe0 ? 3 : 1;
        return need > k ? k : 0;
    }
    return 0;
}

} // namespace

// ---- c_Url ----

c_Url *c_Url::m_new(String url, String defaultScheme, int defaultPort) {
    m_defaultScheme = defaultScheme;
    m_defaultPort = defaultPort;
    p_Set2(url);
    return this;
}

void c_Url::p_Set2(String url) {
    m_url = url;
    m_scheme = m_defaultScheme;
    m_username = m_password = m_domain = m_query = m_fragment = String();
    m_port = m_defaultPort;
    m_path = String("/");

    int length = url.Length();
    int q = url.Find(String("?"));
    int h = url.Find(String("#"));
    int end;
    if (q >= 0 && h >= 0 && q > h) { // a "?" inside the fragment
        q = -1;
        end = h;
    } else {
        end = q >= 0 ? q : h >= 0 ? h : length;
    }
    // Positions of `what` at or after `from` count only before `end`.
    auto before_end = [&](const char *what, int from) {
        int at = url.Find(String(what), from);
        return at >= 0 && at < end ? at : -1;
    };

    int start = 0;
    int i = before_end("://", 0);
    if (i >= 0) {
        m_scheme = url.Slice(0, i);
        start = i + 3;
    }

    int a = before_end("@", start);
    if (a >= 0) {
        int c = url.Find(String(":"), start);
        if (c >= 0 && c < a) {
            m_username = url.Slice(start, c);
            m_password = url.Slice(c + 1, a);
        } else {
            m_username = url.Slice(start, a);
        }
        start = a + 1;
    }

    int c = before_end(":", start);
    int s = before_end("/", start);
    if (c < 0 && s < 0) {
        m_domain = url.Slice(start, end);
    } else if (s < 0) {
        m_domain = url.Slice(start, c);
        m_port = url.Slice(c + 1, end).ToInt();
    } else if (c >= 0 && c < s) {
        m_domain = url.Slice(start, c);
        m_port = url.Slice(c + 1, s).ToInt();
        m_path = url.Slice(s, end);
    } else {
        m_domain = url.Slice(start, s);
        m_path = url.Slice(s, end);
    }

    if (q >= 0) m_query = h >= 0 ? url.Slice(q + 1, h) : url.Slice(q + 1);
    if (h >= 0) m_fragment = url.Slice(h + 1);
}

String c_Url::p_FullPath() {
    String full = m_path;
    if (m_query.Length()) full += String("?") + m_query;
    if (m_fragment.Length()) full += String("#") + m_fragment;
    return full;
}

// ---- c_HttpRequest ----

c_HttpRequest *c_HttpRequest::m_new() {
    gc_assign(m_wbuf, (new c_DataBuffer)->m_new(kHeaderBufferBytes));
    gc_assign(m_rbuf, (new c_DataBuffer)->m_new(kReceiveBufferBytes));
    return this;
}

c_HttpRequest *c_HttpRequest::m_new2(String req, String url, c_IOnHttpRequestComplete *onComplete) {
    m_new();
    p_Open(req, url, onComplete);
    return this;
}

void c_HttpRequest::p_Open(String req, String url, c_IOnHttpRequestComplete *onComplete) {
    m_req = req;
    gc_assign(m_url, (new c_Url)->m_new(url, String("http"), 80));
    gc_assign(m_onComplete, onComplete);
    m_body = nullptr;
    m_bodyLength = 0;
    m_status = -1;
    m_response = nullptr;
    m_responseText = String();
    m_bytesReceived = 0;
    m_held = 0;
    m_headerBytes = 0;
    m_bodyExpected = -1;
    m_receiveAt = 0;
    m_finished = false;
    gc_assign(m_header, (new c_StringStack)->m_new());
    m_header->p_Push4(req + String(" ") + m_url->p_FullPath() + String(" HTTP/1.0"));
    m_header->p_Push4(String("Host: ") + m_url->m_domain);
}

void c_HttpRequest::p_Send2(String data, String mimeType, String encoding) {
    gc_assign(m_body, (new c_DataBuffer)->m_new(data.Length() * 3));
    m_bodyLength = m_body->p_PokeString(0, data, encoding);
    if (mimeType.Length()) m_header->p_Push4(String("Content-Type: ") + mimeType);
    m_header->p_Push4(String("Content-Length: ") + String(m_bodyLength));
    p_Send();
}

void c_HttpRequest::p_Send() {
    m_sent = std::chrono::steady_clock::now();
    if (!m_pumped) rt_asyncevent_AddAsyncEventSource(this);
    m_pumped = true;
    gc_assign(m_socket, (new c_Socket)->m_new(String("stream")));
    m_socket->p_ConnectAsync(m_url->m_domain, m_url->m_port, this);
}

void c_HttpRequest::p_OnConnectComplete(bool connected, c_Socket *source) {
    if (m_finished || source != m_socket) return;
    if (!connected) {
        p_Finish();
        return;
    }
    m_header->p_Push4(String());
    m_header->p_Push4(String());
    String text = m_header->p_Join(String("\r\n"));
    int n = m_wbuf->p_PokeString(0, text, String("ascii"));
    m_header->p_Clear();
    // A header that does not fit would go out cut short; refuse the request instead.
    if (n > m_wbuf->m_length) {
        p_Finish();
        return;
    }
    if (m_socket->p_IsConnected()) m_socket->p_SendAsync(m_wbuf, 0, n, this);
    if (m_socket->p_IsConnected()) p_ReceiveMore(0);
}

void c_HttpRequest::p_OnSendComplete(c_DataBuffer *, int, int, c_Socket *source) {
    if (m_finished || source != m_socket) return;
    // The body follows the header; send counts are not checked (a blocking send takes it all).
    if (m_bodyLength == 0) return;
    if (m_socket->p_IsConnected()) m_socket->p_SendAsync(m_body, 0, m_bodyLength, this);
    m_bodyLength = 0;
}

void c_HttpRequest::p_ReceiveMore(int offset) {
    m_receiveAt = offset;
    if (m_socket && m_socket->p_IsConnected())
        m_socket->p_ReceiveAsync(m_rbuf, offset, m_rbuf->m_length - offset, this);
}

void c_HttpRequest::p_OnReceiveComplete(c_DataBuffer *data, int offset, int count, c_Socket *source) {
    // A request that has finished (out of time, say) ignores what its closed socket still delivers.
    if (m_finished || source != m_socket) return;
    // The server closing the connection ends the answer. One cut short (by a reset, or before its
    // Content-Length was reached) failed: part of an answer must not pass for all of it.
    if (count <= 0) {
        bool whole = m_bodyExpected >= 0 ? m_bytesReceived >= m_bodyExpected : count == 0;
        if (m_response && !whole)
            p_Fail();
        else
            p_Finish();
        return;
    }
    if (m_response) {
        m_bytesReceived += count;
        if (m_bytesReceived > kMaxResponseBytes) {
            p_Fail();
            return;
        }
        p_TakeBody(0, offset + count); // from 0: a held-back sequence start comes first
        return;
    }

    // Header: lines run from `start` to each line feed; an unfinished line waits for more bytes.
    int start = 0, end = offset + count;
    for (int i = offset; i < end; ++i) {
        if (data->m_data[i] != '\n') continue;
        String line = trim(data->p_PeekString(start, i - start, String("ascii")));
        start = i + 1;
        if (line.Length()) {
            m_header->p_Push4(line);
            continue;
        }
        if (m_headerBytes + (i + 1 - offset) > kMaxResponseBytes) { // the header up to its blank line
            p_Fail();
            return;
        }
        if (p_EndHeader()) {
            m_bytesReceived += end - start;
            p_TakeBody(start, end);
        }
        return;
    }
    m_headerBytes += count;
    if (m_headerBytes > kMaxResponseBytes) {
        p_Fail();
        return;
    }
    int pending = end - start;
    // A line that fills the whole buffer can never end: give up rather than wait forever.
    if (pending >= m_rbuf->m_length) {
        p_Finish();
        return;
    }
    if (start > 0) data->p_CopyBytes(start, m_rbuf, 0, pending);
    p_ReceiveMore(pending);
}

// The blank line after the response header: parses the status line and starts the body. False when
// the request finished instead.
bool c_HttpRequest::p_EndHeader() {
    if (m_header->p_Length2() == 0) {
        p_Finish();
        return false;
    }
    Array<String> parts = m_header->p_Get(0).ToUpper().Split(String(" "));
    if (parts.Length() < 3 || !parts[0].StartsWith(String("HTTP/"))) {
        p_Finish();
        return false;
    }
    m_status = parts[1].ToInt();
    for (int i = 1; i < m_header->p_Length2() && m_bodyExpected < 0; ++i) {
        String line = m_header->p_Get(i);
        if (!line.ToUpper().StartsWith(String("CONTENT-LENGTH:"))) continue;
        String value = trim(line.Slice(15));
        // Digits only, and few enough for an int; anything else says nothing about the length.
        bool digits = value.Length() > 0 && value.Length() <= 9;
        for (int k = 0; digits && k < value.Length(); ++k)
            digits = value[k] >= '0' && value[k] <= '9';
        if (digits) m_bodyExpected = value.ToInt();
    }
    gc_assign(m_response, (new c_StringStack)->m_new());
    return true;
}

// Decodes the body bytes [from, end) of the receive buffer as one chunk and asks for more. A UTF-8
// sequence cut off by the end of the chunk waits at the start of the buffer for the rest of its
// bytes, so a character split by the network decodes like one that arrived whole.
void c_HttpRequest::p_TakeBody(int from, int end) {
    int cut = utf8_cut(m_rbuf->m_data, from, end);
    if (end - cut > from) m_response->p_Push4(m_rbuf->p_PeekString(from, end - cut - from, String("utf8")));
    if (cut > 0) m_rbuf->p_CopyBytes(end - cut, m_rbuf, 0, cut);
    m_held = cut;
    p_ReceiveMore(cut);
}

// An answer over the size cap or cut short: it finishes as failed, with no status and no text.
void c_HttpRequest::p_Fail() {
    m_status = -1;
    m_response = nullptr;
    m_held = 0;
    p_Finish();
}

void c_HttpRequest::p_Finish() {
    if (m_finished) return;
    m_finished = true;
    if (m_pumped) rt_asyncevent_RemoveAsyncEventSource(this);
    m_pumped = false;
    if (m_socket) m_socket->p_Close();
    if (m_response) {
        // A sequence still waiting for its last bytes never got them: decode what there is.
        if (m_held > 0) m_response->p_Push4(m_rbuf->p_PeekString(0, m_held, String("utf8")));
        m_held = 0;
        m_responseText = m_response->p_Join(String());
    }
    if (m_onComplete) m_onComplete->p_OnHttpRequestComplete(this);
}

// Out of time: the request lets go of its socket (and so of the socket's threads) and of its listener,
// which is never called. To the game it is a request that never completed.
void c_HttpRequest::p_Drop() {
    m_onComplete = nullptr;
    p_Fail();
}

void c_HttpRequest::p_UpdateAsyncEvents() {
    if (m_finished || m_timeout <= 0) return;
    if (std::chrono::steady_clock::now() - m_sent >= std::chrono::milliseconds(m_timeout)) p_Drop();
}

void c_HttpRequest::mark() {
    gc_mark_q(m_url);
    gc_mark_q(gc_as_object(m_onComplete));
    gc_mark_q(m_body);
    gc_mark_q(m_response);
    gc_mark_q(m_header);
    gc_mark_q(m_socket);
    gc_mark_q(m_wbuf);
    gc_mark_q(m_rbuf);
}
