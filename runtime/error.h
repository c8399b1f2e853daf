// Console output and the ways the process ends.
#pragma once
#include "runtime/string.h"

extern const char *dbg_info;
extern String dbg_exstack;

int rtPrint(String text);
int rtDebugLog(String text);
[[noreturn]] void rtError(String text);
[[noreturn]] void dbg_error(const char *text);
String dbg_stacktrace();
void dbg_print(String text);
int rtDebugStop();
void rtInstallSignalHandlers();
// Cleanup for a fatal signal, run by its handler before the process ends: the one thing that must not be
// left behind (a monitor in another video mode). It runs in a process in an unknown state, so it is
// given a few seconds at most.
void rtSetFatalSignalCleanup(void (*cleanup)());
// Termination requests (SIGINT, SIGTERM, SIGHUP) become a request that the main loop acts on, so that
// the process ends through exit and its exit handlers. Must be called on the main loop's thread before
// the process starts any thread, and after the exit handlers that must run before the process ends: the
// signals are blocked in this thread, and so in every thread started later, and are taken by a thread of
// their own, which calls `wake` (a thread-safe call that wakes the main loop). A loop that is stuck and
// has not ended the process 3 seconds after the signal is interrupted by SIGRTMIN, whose handler runs the
// fatal-signal cleanup and ends the process with the signal's status; a few seconds later the signal
// thread ends it with that status itself. SIGQUIT keeps its default action.
void rtWatchStopSignals(void (*wake)());
// The termination signal that arrived, or 0.
int rtStopSignal();
