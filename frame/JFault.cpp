// Access-fault trapping: one vectored handler for the module, the armed frames in a TLS slot.
#include "JFault.h"

#include <windows.h>

#include <stdint.h>

namespace {

DWORD frameSlot = TLS_OUT_OF_INDEXES;

// The address ranges of the system modules whose code handles its own faults (memory probes such
// as IsBadReadPtr, string functions that answer 0 for a bad pointer). A vectored handler runs
// before any frame-based one, so a fault there must be left alone to reach the module's handler.
struct CodeRange {
  uintptr_t begin, end;
};
const char* const kSelfHandlingModules[] = {"ntdll.dll", "kernelbase.dll", "kernel32.dll"};
const int kSelfHandlingCount = sizeof kSelfHandlingModules / sizeof kSelfHandlingModules[0];
CodeRange selfHandling[kSelfHandlingCount];

CodeRange ImageRange(HMODULE m) {
  if (!m) return {0, 0};
  const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(m);
  const IMAGE_NT_HEADERS* nt =
      reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const char*>(m) + dos->e_lfanew);
  uintptr_t begin = reinterpret_cast<uintptr_t>(m);
  return {begin, begin + nt->OptionalHeader.SizeOfImage};
}

bool InSelfHandlingModule(const void* address) {
  uintptr_t a = reinterpret_cast<uintptr_t>(address);
  for (const CodeRange& r : selfHandling)
    if (a >= r.begin && a < r.end) return true;
  return false;
}

// Runs before any frame-based handler: an access violation in the library's or a client's code on
// a thread with an armed frame resumes at that frame; everything else goes on to the usual
// handling.
LONG CALLBACK TrapAccessFault(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
  JFaultFrame* f = static_cast<JFaultFrame*>(TlsGetValue(frameSlot));
  if (!f) return EXCEPTION_CONTINUE_SEARCH;
  if (InSelfHandlingModule(info->ExceptionRecord->ExceptionAddress)) return EXCEPTION_CONTINUE_SEARCH;
  TlsSetValue(frameSlot, f->previous);
  __builtin_longjmp(f->jump, 1);
}

// Installs the handler for the life of the module. The system modules are loaded before any
// module of the process and stay at their addresses.
struct FaultTrap {
  void* handler = nullptr;
  FaultTrap() {
    for (int i = 0; i < kSelfHandlingCount; i++)
      selfHandling[i] = ImageRange(GetModuleHandleA(kSelfHandlingModules[i]));
    frameSlot = TlsAlloc();
    if (frameSlot != TLS_OUT_OF_INDEXES) handler = AddVectoredExceptionHandler(1, TrapAccessFault);
  }
  ~FaultTrap() {
    if (handler) RemoveVectoredExceptionHandler(handler);
    if (frameSlot != TLS_OUT_OF_INDEXES) TlsFree(frameSlot);
  }
} theTrap;

}  // namespace

void JFaultArm(JFaultFrame* f) {
  f->previous = static_cast<JFaultFrame*>(TlsGetValue(frameSlot));
  TlsSetValue(frameSlot, f);
}

void JFaultDisarm(JFaultFrame* f) { TlsSetValue(frameSlot, f->previous); }

JFaultPause::JFaultPause() : paused(static_cast<JFaultFrame*>(TlsGetValue(frameSlot))) {
  TlsSetValue(frameSlot, nullptr);
}

JFaultPause::~JFaultPause() { TlsSetValue(frameSlot, paused); }
