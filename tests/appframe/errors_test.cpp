#include <gtest/gtest.h>

#include <csignal>

#include "host/rtgame.h"
#include "tests/appframe/child.h"

namespace {

TEST(RuntimeErrors, ErrorPrintsTwoLinesAndEndsWith255) {
    ChildResult r = run_child([] { rtError(String("App has already been created")); });
    EXPECT_EQ(r.out, "Zindle Runtime Error : App has already been created\n\n");
    EXPECT_EQ(r.status, 255);
}

TEST(RuntimeErrors, EmptyErrorIsTheQuietQuit) {
    ChildResult r = run_child([] {
        std::fputs("pending", stdout); // buffered output still reaches the console
        rtError(String());
    });
    EXPECT_EQ(r.out, "pending");
    EXPECT_EQ(r.status, 0);
}

TEST(RuntimeErrors, PrintEncodesUtf8) {
    ChildResult r = run_child([] {
        Char e = 0xe9;
        rtPrint(String(&e, 1));
        std::exit(3);
    });
    EXPECT_EQ(r.out, "\xc3\xa9\n");
    EXPECT_EQ(r.status, 3);
}

TEST(RuntimeErrors, FatalSignalsBecomeRuntimeErrors) {
    ChildResult r = run_child([] {
        rtInstallSignalHandlers();
        std::raise(SIGFPE);
    });
    EXPECT_EQ(r.out, "Zindle Runtime Error : Floating point exception\n\n");
    EXPECT_EQ(r.status, 255);
}

TEST(RuntimeErrors, UncaughtThrowableDies) {
    ChildResult r = run_child([] {
        RtGame game;
        game.Die(nullptr);
    });
    EXPECT_EQ(r.out, "Zindle Runtime Error : Uncaught Zindle Exception\n");
    EXPECT_EQ(r.status, 255);
}

} // namespace
