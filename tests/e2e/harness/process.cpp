#include "tests/e2e/harness/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char **environ;

namespace e2e {

double NowSec() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void SleepSec(double sec) {
    if (sec <= 0) return;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(sec);
    ts.tv_nsec = static_cast<long>((sec - static_cast<double>(ts.tv_sec)) * 1e9);
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WriteFile(const std::string &path, const std::string &content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out);
}

bool MakeDirs(const std::string &path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

TempDir::TempDir(const std::string &tag) {
    const char *base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/tidecrawler-" + tag + "-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data())) path_ = buf.data();
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

// The child's environment: the inherited one with the requested changes.
static std::vector<std::string> child_environment(const SpawnOptions &opts) {
    std::vector<std::string> env;
    auto replaced = [&](const std::string &entry) {
        std::string name = entry.substr(0, entry.find('='));
        for (const auto &u : opts.unsetEnv)
            if (u == name) return true;
        for (const auto &kv : opts.env)
            if (kv.first == name) return true;
        return false;
    };
    for (char **e = environ; *e; ++e)
        if (!replaced(*e)) env.emplace_back(*e);
    for (const auto &kv : opts.env)
        env.push_back(kv.first + "=" + kv.second);
    return env;
}

static int open_output(const std::string &path) {
    return open(path.empty() ? "/dev/null" : path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool Process::Start(const SpawnOptions &opts) {
    if (opts.argv.empty()) return false;
    // Everything the child needs is prepared before the fork.
    std::vector<std::string> envStrings = child_environment(opts);
    std::vector<char *> envp, argv;
    for (auto &s : envStrings)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = opts.argv;
    for (auto &s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);
    int out = open_output(opts.outFile), err = open_output(opts.errFile);
    int devnull = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || err < 0 || devnull < 0) {
        if (out >= 0) close(out);
        if (err >= 0) close(err);
        if (devnull >= 0) close(devnull);
        return false;
    }
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        // Its own process group, so that nothing aimed at the test's group reaches it by accident.
        setpgid(0, 0);
        dup2(devnull, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        if (opts.keepFd >= 0) fcntl(opts.keepFd, F_SETFD, 0);
        if (!opts.cwd.empty() && chdir(opts.cwd.c_str()) != 0) _exit(126);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out);
    close(err);
    close(devnull);
    if (pid < 0) return false;
    pid_ = pid;
    exited_ = false;
    status_ = 0;
    return true;
}

Process::~Process() { Stop(1.0); }

bool Process::Running() {
    if (pid_ < 0 || exited_) return false;
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
        exited_ = true;
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
        return false;
    }
    return r == 0;
}

bool Process::WaitExit(double timeoutSec) {
    double end = NowSec() + timeoutSec;
    for (;;) {
        if (!Running()) return pid_ >= 0 && exited_;
        if (NowSec() >= end) return false;
        SleepSec(0.02);
    }
}

void Process::Stop(double graceSec) {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    if (WaitExit(graceSec)) return;
    kill(pid_, SIGKILL);
    WaitExit(5.0);
}

long Process::TicksPerSecond() { return sysconf(_SC_CLK_TCK); }

long Process::CpuTicks() const {
    if (pid_ < 0) return -1;
    std::string stat = ReadFile("/proc/" + std::to_string(pid_) + "/stat");
    // The command name may hold spaces and parentheses: the fields start after the last ')'.
    size_t close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream in(stat.substr(close + 1));
    std::string field;
    long utime = -1, stime = -1;
    // Field 3 (state) comes first; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && (in >> field); ++i) {
        if (i == 14) utime = std::atol(field.c_str());
        if (i == 15) stime = std::atol(field.c_str());
    }
    return utime < 0 || stime < 0 ? -1 : utime + stime;
}

long Process::PeakRssKb() const {
    if (pid_ < 0) return 0;
    std::istringstream in(ReadFile("/proc/" + std::to_string(pid_) + "/status"));
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return 0;
}

int RunCommand(const SpawnOptions &opts, double timeoutSec) {
    Process p;
    if (!p.Start(opts)) return -1;
    if (!p.WaitExit(timeoutSec)) {
        p.Stop(0.5);
        return -1;
    }
    return p.ExitStatus();
}

} // namespace e2e
