// Diagnostics for client plug-ins.
#pragma once

#include "JExport.h"

// Answers 1 when cond holds. Otherwise asks in a message box whether to abort: Yes ends the
// process at once with exit code -1, No answers 0 and the caller goes on.
QUORAPI int jassert(int cond, const char* msg, const char* file, int line);
// printf to the debugger's output, at most 1024 characters.
QUORAPI void _printf_dbg(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
