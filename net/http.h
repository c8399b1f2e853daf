// URLs and a minimal HTTP/1.0 client on the asynchronous sockets: one request, one connection, the
// answer read until the server closes, the listener called on the main thread. A request whose time
// runs out is dropped without a word to its listener.
#pragma once
#include <chrono>

#include "net/socket.h"
#include "runtime/containers.h"

class c_Url : public Object {
  public:
    String m_defaultScheme;
    int m_defaultPort = 0;
    String m_url;
    String m_scheme;
    String m_username;
    String m_password;
    String m_domain;
    int m_port = 0;
    String m_path;     // "/" when the URL has none
    String m_query;    // without its "?"
    String m_fragment; // without its "#"

    c_Url *m_new(String url, String defaultScheme, int defaultPort);
    void p_Set2(String url);
    String p_Domain() { return m_domain; }
    int p_Port() { return m_port; }
    String p_FullPath();
};

class c_HttpRequest;

class c_IOnHttpRequestComplete : public gc_interface {
  public:
    virtual void p_OnHttpRequestComplete(c_HttpRequest *request) = 0;
};

class c_HttpRequest : public Object,
                      public c_IOnConnectComplete,
                      public c_IOnSendComplete,
                      public c_IOnReceiveComplete,
                      public c_IAsyncEventSource {
  public:
    // Milliseconds a request may take from Send until its answer has ended. A server that says
    // nothing, drips its answer or never closes the connection would otherwise hold the request, its
    // socket and its threads for ever.
    static constexpr int kDefaultTimeout = 30000;

    String m_req;
    c_Url *m_url = nullptr;
    c_IOnHttpRequestComplete *m_onComplete = nullptr;
    c_DataBuffer *m_body = nullptr;
    int m_bodyLength = 0;                // body bytes still to send
    int m_status = 0;                    // -1 until a status line was parsed
    c_StringStack *m_response = nullptr; // body chunks; none while the response header is read
    String m_responseText;
    int m_bytesReceived = 0;
    c_StringStack *m_header = nullptr; // the request's header lines, then the response's
    c_Socket *m_socket = nullptr;
    c_DataBuffer *m_wbuf = nullptr;  // the encoded request header
    c_DataBuffer *m_rbuf = nullptr;  // the receive buffer
    int m_receiveAt = 0;             // where in rbuf the next receive puts its bytes
    int m_timeout = kDefaultTimeout; // milliseconds; 0 or less: no limit

    c_HttpRequest *m_new();
    c_HttpRequest *m_new2(String req, String url, c_IOnHttpRequestComplete *onComplete);
    void p_Open(String req, String url, c_IOnHttpRequestComplete *onComplete);
    void p_Send();
    void p_Send2(String data, String mimeType, String encoding);
    // Applies to the request in flight too. Past it the request lets go of its connection and never
    // completes: the listener is not called.
    void p_SetTimeout(int milliseconds) { m_timeout = milliseconds; }
    int p_Status() { return m_status; }
    String p_ResponseText() { return m_responseText; }

    void p_OnConnectComplete(bool connected, c_Socket *source) override;
    void p_OnSendComplete(c_DataBuffer *data, int offset, int count, c_Socket *source) override;
    void p_OnReceiveComplete(c_DataBuffer *data, int offset, int count, c_Socket *source) override;
    void p_Finish();
    // While the request is in flight it is an event source of its own, for its time limit.
    void p_UpdateAsyncEvents() override;
    void mark() override;

  private:
    int m_held = 0;          // bytes of an unfinished UTF-8 sequence kept at the start of rbuf
    int m_headerBytes = 0;   // response header bytes received so far
    int m_bodyExpected = -1; // the answer's Content-Length; -1 when it gave none
    bool m_finished = false; // finished or dropped: late completions of the socket are ignored
    bool m_pumped = false;   // registered as an event source
    std::chrono::steady_clock::time_point m_sent; // when Send was called

    void p_ReceiveMore(int offset);
    bool p_EndHeader();
    void p_TakeBody(int from, int end);
    void p_Fail();
    void p_Drop();
};
