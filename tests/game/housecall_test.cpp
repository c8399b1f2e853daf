// The housecall against a real server on 127.0.0.1: the exact request, and what the answer switches.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "tests/game/shell_helpers.h"
#include "tests/net/local_server.h"

namespace {

using testnet::LocalServer;

class Housecall : public ShellTest {
  protected:
    std::string request;
    std::string printed;

    // Sends the housecall to a server that answers with `response`, and runs game updates (which pump
    // the socket events) until it completed.
    void call(const std::string &response) {
        LocalServer server([&](int fd) {
            request = testnet::read_request(fd);
            testnet::send_all(fd, response);
        });
        rt_Brinefall_J_On_Able = 0;
        testing::internal::CaptureStdout();
        app->p_GetURL(server.url("/housecall.php"), String("hello=1&gameID=") + String(rt_Brinefall_GameNum));
        EXPECT_EQ(app->houseReply.ToUtf8(), "N/A");
        EXPECT_EQ(app->houseDone, 0);
        for (int i = 0; i < testnet::kWaitMs && app->houseDone == 0; ++i) {
            host.Update();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        printed = testing::internal::GetCapturedStdout();
        server.join();
    }
};

TEST_F(Housecall, RequestIsExactAndAnAnswerEnablesTheFlag) {
    call("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nwelcome");
    ASSERT_EQ(app->houseDone, 1);
    EXPECT_EQ(request, "GET /housecall.php?hello=1&gameID=415 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(app->houseReply.ToUtf8(), "welcome");
    EXPECT_EQ(rt_Brinefall_J_On_Able, 1);
    EXPECT_NE(printed.find("Requesting URL\n"), std::string::npos);
    EXPECT_NE(printed.find("Http GET complete! 200\n"), std::string::npos);

    // A completion that is not the game's own request changes nothing.
    app->houseDone = 0;
    app->p_OnHttpRequestComplete((new c_HttpRequest)->m_new());
    EXPECT_EQ(app->houseDone, 0);
}

TEST_F(Housecall, AnEmptyAnswerLeavesTheFlagOff) {
    call("HTTP/1.0 204 No Content\r\n\r\n");
    ASSERT_EQ(app->houseDone, 1);
    EXPECT_EQ(app->houseReply.ToUtf8(), "");
    EXPECT_EQ(rt_Brinefall_J_On_Able, 0);
    EXPECT_NE(printed.find("Http GET complete! 204\n"), std::string::npos);
}

TEST_F(Housecall, AFailedRequestReportsMinusOne) {
    call("not an http answer\r\n\r\nbody");
    ASSERT_EQ(app->houseDone, 1);
    EXPECT_EQ(rt_Brinefall_J_On_Able, 0);
    EXPECT_NE(printed.find("Http GET complete! -1\n"), std::string::npos);
}

// A server that never answers: once the request's time runs out its connection closes, and the
// request never completes, so the reply stays "N/A".
TEST_F(Housecall, ARequestThatNeverCompletesLeavesTheReplyAtNA) {
    std::atomic<bool> closed{false};
    LocalServer server([&](int fd) {
        testnet::read_request(fd);
        closed = testnet::wait_closed(fd);
    });
    rt_Brinefall_J_On_Able = 0;
    testing::internal::CaptureStdout();
    app->p_GetURL(server.url("/housecall.php"), String("hello=1"));
    app->httpReq->p_SetTimeout(200);
    for (int i = 0; i < testnet::kWaitMs && !closed; ++i) {
        host.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server.join();
    for (int i = 0; i < 20; ++i)
        host.Update();
    printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(closed.load());
    EXPECT_EQ(app->houseDone, 0);
    EXPECT_EQ(app->houseReply.ToUtf8(), "N/A");
    EXPECT_EQ(rt_Brinefall_J_On_Able, 0);
    EXPECT_EQ(printed.find("Http GET complete!"), std::string::npos) << printed;
}

TEST_F(Housecall, StartUpSendsNothingWhileTheSwitchIsOff) {
    EXPECT_EQ(rt_Brinefall_J_On_Allow, 0);
    EXPECT_EQ(app->httpReq, nullptr);
    EXPECT_EQ(app->houseReply.ToUtf8(), "N/A");
}

} // namespace
