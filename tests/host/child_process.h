// Runs a helper program with its standard output and its standard error each in a pipe of its own, so
// that tests can read what it printed while it runs and check how it ended. The program's own output is
// kept apart from what libraries write to standard error.
#pragma once
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

class ChildProcess {
  public:
    std::string out;   // standard output read so far
    std::string err;   // standard error read so far
    std::string cwd;   // the folder it starts in, when set
    int killed_by = 0; // after Finish: the signal that ended it, if one did

    // env: extra "NAME=value" entries; unset: names removed from the inherited environment.
    bool Start(const std::string &program, const std::vector<std::string> &env = {},
               const std::vector<std::string> &unset = {}) {
        int fds[2], efds[2];
        if (pipe(fds) != 0) return false;
        if (pipe(efds) != 0) {
            close(fds[0]);
            close(fds[1]);
            return false;
        }
        std::vector<std::string> vars;
        for (char **e = environ; *e; ++e) {
            std::string v = *e;
            bool drop = false;
            for (const std::string &u : unset)
                drop = drop || v.compare(0, u.size() + 1, u + "=") == 0;
            if (!drop) vars.push_back(v);
        }
        vars.insert(vars.end(), env.begin(), env.end());
        std::vector<char *> envp;
        for (std::string &v : vars)
            envp.push_back(v.data());
        envp.push_back(nullptr);
        std::string prog = program;
        char *argv[] = {prog.data(), nullptr};
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&fa, efds[1], STDERR_FILENO);
        posix_spawn_file_actions_addclose(&fa, fds[0]);
        if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
        posix_spawn_file_actions_addclose(&fa, efds[0]);
        int rc = posix_spawn(&pid_, prog.c_str(), &fa, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&fa);
        close(fds[1]);
        close(efds[1]);
        fd_ = fds[0];
        errFd_ = efds[0];
        if (rc != 0) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    // Reads until the output holds `text` or the time runs out.
    bool WaitFor(const std::string &text, double seconds = 10) {
        auto end = Deadline(seconds);
        while (out.find(text) == std::string::npos) {
            if (!ReadSome(end)) return false;
        }
        return true;
    }

    // Reads until a whole line starting with `prefix` has arrived.
    bool WaitForLine(const std::string &prefix, double seconds = 10) {
        auto end = Deadline(seconds);
        for (;;) {
            size_t at = out.rfind("\n" + prefix) != std::string::npos ? out.rfind("\n" + prefix) + 1
                        : out.compare(0, prefix.size(), prefix) == 0  ? 0
                                                                      : std::string::npos;
            if (at != std::string::npos && out.find('\n', at) != std::string::npos) return true;
            if (!ReadSome(end)) return false;
        }
    }

    // Reads to the end and reaps the child: its exit status, or -1 when it was killed (see killed_by) or
    // timed out.
    int Finish(double seconds = 10) {
        auto end = Deadline(seconds);
        while (ReadSome(end)) {
        }
        if (pid_ <= 0) return -1;
        int st = 0;
        pid_t r;
        while ((r = waitpid(pid_, &st, WNOHANG)) == 0 && std::chrono::steady_clock::now() < end)
            usleep(2000);
        if (r == 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &st, 0);
            pid_ = -1;
            return -1;
        }
        pid_ = -1;
        killed_by = WIFSIGNALED(st) ? WTERMSIG(st) : 0;
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }

    void Signal(int sig) {
        if (pid_ > 0) kill(pid_, sig);
    }

    ~ChildProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (fd_ >= 0) close(fd_);
        if (errFd_ >= 0) close(errFd_);
    }

  private:
    pid_t pid_ = -1;

    static std::chrono::steady_clock::time_point Deadline(double seconds) {
        return std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(seconds));
    }
    int fd_ = -1, errFd_ = -1;

    // Reads what either pipe has; false once both have ended or when the time is up.
    bool ReadSome(std::chrono::steady_clock::time_point end) {
        if (fd_ < 0 && errFd_ < 0) return false;
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p[2] = {{fd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
        if (poll(p, 2, static_cast<int>(left.count())) <= 0) return false;
        if (p[0].revents) Drain(fd_, out);
        if (p[1].revents) Drain(errFd_, err);
        return true;
    }

    static void Drain(int &fd, std::string &into) {
        char buf[512];
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) {
            close(fd);
            fd = -1;
        } else {
            into.append(buf, static_cast<size_t>(n));
        }
    }
};
