// Access-fault trapping: one vectored handler for the module, the armed frames in a TLS slot.
#include "JFault.h"

#include <windows.h>

namespace {

DWORD frameSlot = TLS_OUT_OF_INDEXES;

// Runs before any frame-based handler: a fault on a thread with an armed frame resumes at that
// frame; everything else goes on to the usual handling.
LONG CALLBACK TrapAccessFault(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
  JFaultFrame* f = static_cast<JFaultFrame*>(TlsGetValue(frameSlot));
  if (!f) return EXCEPTION_CONTINUE_SEARCH;
  TlsSetValue(frameSlot, f->previous);
  __builtin_longjmp(f->jump, 1);
}

// Installs the handler for the life of the module.
struct FaultTrap {
  void* handler = nullptr;
  FaultTrap() {
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
