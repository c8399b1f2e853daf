#include "runtime/error.h"

#include <atomic>
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

// Runs on the faulting thread; only async-signal-safe calls from here on, but for the cleanup.
void on_signal(int sig) {
    const char *what = sig == SIGSEGV ? "Memory access violation"
                       : sig == SIGILL ? "Illegal instruction"
                       : sig == SIGFPE ? "Floating point exception"
                                       : "Unknown signal";
    const char *prefix = "Zindle Runtime Error : ";
    ssize_t ignored = write(STDOUT_FILENO, prefix, std::strlen(prefix));
    ignored = write(STDOUT_FILENO, what, std::strlen(what));
    ignored = write(STDOUT_FILENO, "\n\n", 2);
    (void)ignored;
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
    try {
        std::thread([set, wake] {
            for (;;) {
                int sig = 0;
                if (sigwait(&set, &sig) != 0) continue;
                int none = 0;
                stop_signal.compare_exchange_strong(none, sig);
                if (wake) wake();
            }
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
