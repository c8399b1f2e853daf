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
