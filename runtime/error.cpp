#include "runtime/error.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <system_error>
#include <thread>
#include <unistd.h>

const char *dbg_info;
String dbg_exstack;

int rtPrint(String text) {
    static std::string bytes; // reused by every call
    bytes.clear();
    rt_utf8_encode(text.Data(), text.Length(), bytes);
    bytes += '\n';
    std::fputs(bytes.c_str(), stdout);
    std::fflush(stdout);
    return 0;
}

int rtDebugLog(String text) { return rtPrint(text); }

void rtError(String text) {
    if (text.Length() == 0) {
        std::fflush(stdout);
        std::exit(0);
    }
    dbg_error(text.ToCString());
}

String dbg_stacktrace() {
    if (!dbg_info || !*dbg_info) return String();
    return String("\n") + String(dbg_info);
}

// A runtime error never waits for a debugger: it prints the error and its (empty) stack, then ends.
void dbg_error(const char *text) {
    rtPrint(String("Zindle Runtime Error : ") + String(text));
    rtPrint(dbg_stacktrace());
    std::fflush(stdout);
    std::exit(-1);
}

void dbg_print(String text) {
    std::string bytes(text.ToCString().c_str());
    bytes += '\n';
    std::fputs(bytes.c_str(), stderr);
    std::fflush(stderr);
}

int rtDebugStop() { return 0; }

namespace {
void (*fatal_cleanup)();
std::atomic<int> stop_signal{0};
// How long the cleanup after a fatal signal may take before the process is ended anyway (seconds).
const unsigned fatal_cleanup_limit = 3;
// How long the main loop has to act on a termination signal before the signal thread ends the process
// itself (seconds).
const unsigned stop_limit = 3;
// The thread that runs the main loop, and whether the process has begun to end through exit.
pthread_t loop_thread;
std::atomic<bool> ending{false};

void write_text(int fd, const char *text) {
    ssize_t ignored = write(fd, text, std::strlen(text));
    (void)ignored;
}

void note_ending() { ending = true; }

// Runs on the loop's thread, whatever it was stuck in: the same cleanup as for a fatal signal, then the
// status a termination signal gives.
void on_stuck(int) {
    if (fatal_cleanup) fatal_cleanup();
    _exit(128 + stop_signal.load());
}

// The signal thread's side once a termination signal has been taken: a loop that has not ended the
// process in time is interrupted to clean up, and the process ends here when even that does not come
// back.
[[noreturn]] void end_unless_stopped(int sig) {
    std::this_thread::sleep_for(std::chrono::seconds(stop_limit));
    if (!ending.exchange(true)) {
        write_text(STDERR_FILENO, "The game did not stop within 3 seconds of the signal: it ends now.\n");
        pthread_kill(loop_thread, SIGRTMIN);
    }
    std::this_thread::sleep_for(std::chrono::seconds(fatal_cleanup_limit));
    _exit(128 + sig);
}

// Runs on the faulting thread; only async-signal-safe calls from here on, but for the cleanup.
void on_signal(int sig) {
    const char *what = sig == SIGSEGV  ? "Memory access violation"
                       : sig == SIGILL ? "Illegal instruction"
                       : sig == SIGFPE ? "Floating point exception"
                                       : "Unknown signal";
    write_text(STDOUT_FILENO, "Zindle Runtime Error : ");
    write_text(STDOUT_FILENO, what);
    write_text(STDOUT_FILENO, "\n\n");
    if (fatal_cleanup) {
        // A cleanup caught in a lock the fault left held ends by the alarm's default action.
        std::signal(SIGALRM, SIG_DFL);
        alarm(fatal_cleanup_limit);
        fatal_cleanup();
    }
    _exit(255);
}

void stop_signals(sigset_t *set) {
    sigemptyset(set);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGHUP);
}
} // namespace

void rtSetFatalSignalCleanup(void (*cleanup)()) { fatal_cleanup = cleanup; }

void rtWatchStopSignals(void (*wake)()) {
    static bool watching = false;
    if (watching) return;
    sigset_t set;
    stop_signals(&set);
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
    loop_thread = pthread_self();
    struct sigaction stuck {};
    stuck.sa_handler = on_stuck;
    sigemptyset(&stuck.sa_mask);
    sigaction(SIGRTMIN, &stuck, nullptr);
    // Registered after the host's own exit handlers, so it runs before them: from then on the process is
    // on its way out and is not interrupted.
    std::atexit(note_ending);
    try {
        std::thread([set, wake] {
            int sig = 0;
            while (sigwait(&set, &sig) != 0) {
            }
            stop_signal = sig;
            if (wake) wake();
            end_unless_stopped(sig);
        }).detach();
        watching = true;
    } catch (const std::system_error &) {
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr); // no watcher: the signals keep their default action
    }
}

int rtStopSignal() { return stop_signal.load(); }

void rtInstallSignalHandlers() {
    std::signal(SIGSEGV, on_signal);
    std::signal(SIGILL, on_signal);
    std::signal(SIGFPE, on_signal);
}
