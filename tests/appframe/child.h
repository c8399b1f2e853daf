// Runs a function in a forked child and collects what it wrote to standard output and how it ended.
// Only a process that runs no other thread may fork such a child: the child would inherit the locks of
// threads it does not have, and its exit could wait on them forever. Tests whose process runs threads (a
// booted game with its audio mixer) use RunInChild (tests/support/testhost.h), which starts the program
// afresh instead.
#pragma once
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

struct ChildResult {
    std::string out;
    int status = -1; // exit status, or -1 when killed by a signal
};

// Threads of this process, from the kernel's own count.
inline int process_threads() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "Threads:" && status >> word) return std::stoi(word);
    return -1;
}

inline ChildResult run_child(const std::function<void()> &body) {
    if (int threads = process_threads(); threads != 1) {
        ADD_FAILURE() << "run_child forks, but this process runs " << threads << " threads";
        return {};
    }
    int fds[2];
    if (pipe(fds) != 0) return {};
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], STDOUT_FILENO);
        body();
        std::fflush(stdout);
        _exit(77); // the body was expected to end the process itself
    }
    close(fds[1]);
    ChildResult r;
    char buf[512];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) r.out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}
