// The runtime module's attach and detach notifications.
#include "builtins.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  // Per-thread state goes with its thread; the thread that unloads the module releases its own.
  if (reason == DLL_THREAD_DETACH || reason == DLL_PROCESS_DETACH) ReleaseThreadRemapDir();
  return TRUE;
}
