// The library's diagnostics for client plug-ins.
#include "JDiag.h"

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

int jassert(int cond, const char* msg, const char* file, int line) {
  if (cond) return 1;
  char text[1024];
  snprintf(text, sizeof text, "%s\n\nFile: %s\nLine: %u\n\nAbort the program?", msg ? msg : "",
           file ? file : "", (unsigned)line);
  int answer = MessageBoxA(nullptr, text, "Assertion failed", MB_YESNO | MB_ICONERROR | MB_TASKMODAL);
  if (answer == IDYES) TerminateProcess(GetCurrentProcess(), (UINT)-1);
  return 0;
}

void _printf_dbg(const char* fmt, ...) {
  char text[1024];
  va_list ap;
  va_start(ap, fmt);
  vsnprintf(text, sizeof text, fmt, ap);
  va_end(ap);
  OutputDebugStringA(text);
}
