// RunInChild (testhost.h): the test program started afresh, running the current test up to the call.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/testhost.h"

extern char **environ;

namespace {

// The child learns which call it runs, and where its output goes, from these variables.
const char kChildCallVar[] = "TIDE_CHILD_CALL";
const char kChildOutVar[] = "TIDE_CHILD_OUT";
// Written by the child before the body runs: without it, the child never got to the call.
const char kReachedMark = '\x01';

} // namespace

int RunInChild(const std::function<void()> &body, std::string *output) {
    if (output) output->clear();
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test) return -1;
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    static std::string countedTest;
    static int calls;
    if (countedTest != name) {
        countedTest = name;
        calls = 0;
    }
    int call = ++calls;

    if (const char *want = std::getenv(kChildCallVar)) {
        // The child: earlier calls of the test are skipped, the one asked for runs and ends the process.
        if (std::atoi(want) != call) return -1;
        int fd = std::atoi(std::getenv(kChildOutVar));
        std::fflush(stdout);
        if (write(fd, &kReachedMark, 1) != 1) _exit(101);
        dup2(fd, STDOUT_FILENO);
        close(fd);
        body();
        std::fflush(stdout);
        _exit(100); // the body was expected to end the process itself
    }

    int fds[2];
    if (pipe(fds) != 0) return -1;
    std::string filter = "--gtest_filter=" + name;
    std::string callVar = std::string(kChildCallVar) + "=" + std::to_string(call);
    std::string outVar = std::string(kChildOutVar) + "=" + std::to_string(fds[1]);
    std::vector<char *> env;
    for (char **e = environ; *e; ++e)
        if (std::strncmp(*e, "GTEST_", 6) != 0) env.push_back(*e); // no report files of the child's run
    env.push_back(callVar.data());
    env.push_back(outVar.data());
    env.push_back(nullptr);
    char self[] = "/proc/self/exe";
    char *argv[] = {self, filter.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    // The test framework's own report stays out of the captured output.
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    std::fflush(stdout);
    int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, env.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while (spawned == 0 && (n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    if (out.empty() || out[0] != kReachedMark) {
        ADD_FAILURE() << "the child process did not get to call " << call << " of " << name;
        return -1;
    }
    if (output) *output = out.substr(1);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
