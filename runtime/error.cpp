#include "runtime/error.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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
// Runs on the faulting thread; only async-signal-safe calls from here on.
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
    _exit(255);
}
} // namespace

void rtInstallSignalHandlers() {
    std::signal(SIGSEGV, on_signal);
    std::signal(SIGILL, on_signal);
    std::signal(SIGFPE, on_signal);
}
