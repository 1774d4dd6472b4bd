// The assertion service: a failed check is reported and the program goes on.
#include "vutil.h"

#include <stdio.h>

namespace {

void ShowAssertion(int line, const char* file) {
  char text[512];
  snprintf(text, sizeof text, "An assertion failed in %s at line %d.\n\nThe program will go on.",
           file ? file : "(unknown)", line);
  OutputDebugStringA(text);
  MessageBoxA(nullptr, text, "Vantor", MB_OK | MB_ICONWARNING | MB_TASKMODAL);
}

Assert1Handler handler = ShowAssertion;

}  // namespace

void assert1(int line, const char* file) { handler(line, file); }

Assert1Handler SetAssert1Handler(Assert1Handler h) {
  Assert1Handler old = handler;
  handler = h ? h : ShowAssertion;
  return old;
}
