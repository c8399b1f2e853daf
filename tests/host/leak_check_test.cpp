// The sanitized build suppresses the OpenGL driver's own leaks. These checks make sure that the
// suppressions hide exactly those: a window alone ends cleanly, a leak of ours still fails the run.
#include <gtest/gtest.h>

#include "tests/host/child_process.h"

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif

TEST(LeakCheck, TheDriversLeaksAreSuppressedAndOursAreStillReported) {
    if (!sanitized) GTEST_SKIP() << "only the sanitized build checks for leaks";
    {
        ChildProcess clean;
        ASSERT_TRUE(clean.Start(LEAK_PROBE, {}, {"LEAK_PROBE_LEAK"}));
        EXPECT_EQ(clean.Finish(60), 0) << clean.err;
        EXPECT_NE(clean.out.find("probe done"), std::string::npos) << clean.out;
        EXPECT_EQ(clean.err.find("LeakSanitizer"), std::string::npos) << clean.err;
    }
    {
        ChildProcess leaky;
        ASSERT_TRUE(leaky.Start(LEAK_PROBE, {"LEAK_PROBE_LEAK=1"}));
        EXPECT_NE(leaky.Finish(60), 0) << leaky.err;
        EXPECT_NE(leaky.out.find("probe done"), std::string::npos) << leaky.out;
        EXPECT_NE(leaky.err.find("Direct leak of 4321 byte(s)"), std::string::npos) << leaky.err;
        // Only our block is reported.
        EXPECT_NE(leaky.err.find("SUMMARY: AddressSanitizer: 4321 byte(s) leaked in 1 allocation(s)."),
                  std::string::npos)
            << leaky.err;
    }
}
