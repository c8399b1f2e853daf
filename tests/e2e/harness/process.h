// Child processes for the end-to-end harness: the display server, the window manager and the game itself.
#pragma once
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct SpawnOptions {
    std::vector<std::string> argv; // argv[0] is looked up on PATH when it has no '/'
    std::string cwd;               // empty: the harness's own
    std::vector<std::pair<std::string, std::string>>
        env;                           // added to (or replacing in) the inherited environment
    std::vector<std::string> unsetEnv; // removed from the inherited environment
    std::string outFile, errFile;      // empty: /dev/null
    int keepFd = -1;                   // one extra descriptor the child inherits
};

class Process {
  public:
    Process() = default;
    ~Process();
    Process(const Process &) = delete;
    Process &operator=(const Process &) = delete;

    bool Start(const SpawnOptions &opts);
    pid_t Pid() const { return pid_; }
    bool Running();
    // Waits up to timeoutSec; true once the process has ended (then ExitStatus is valid).
    bool WaitExit(double timeoutSec);
    // The exit status, or -signal when a signal ended it.
    int ExitStatus() const { return status_; }
    // Asks politely (SIGTERM), then insists (SIGKILL); only ever this process.
    void Stop(double graceSec = 2.0);

    // Processor time (user + system) used so far, in clock ticks, and the tick rate.
    long CpuTicks() const;
    static long TicksPerSecond();
    // Peak resident set size in kB (VmHWM), 0 when unknown.
    long PeakRssKb() const;

  private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = 0;
};

// Runs a command to completion (with a time limit); returns its exit status, or -1.
int RunCommand(const SpawnOptions &opts, double timeoutSec = 30.0);

// A fresh empty folder under the system's temporary folder, removed again by the destructor.
class TempDir {
  public:
    explicit TempDir(const std::string &tag);
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ReadFile(const std::string &path);
bool WriteFile(const std::string &path, const std::string &content);
bool MakeDirs(const std::string &path);
void SleepSec(double sec);
double NowSec(); // monotonic

} // namespace e2e
