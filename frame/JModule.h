// Module state shared by the library's own files (not part of the client API).
#pragma once

#include "JExport.h"
#include "JInternal.h"
#include "vantor.h"

// The host entry points. They are not in the client headers: every client plug-in defines its
// own, and the host finds each module's through GetProcAddress.
QUORENTRY const char* LibDescription();    // "Quorvel library (Selvane)"
QUORENTRY int LibNumberClasses();          // descriptors in the registry; 0 without one
QUORENTRY ClassDesc* LibClassDesc(int i);  // descriptor i, null when i (unsigned) >= count
QUORENTRY ULONG LibVersion();              // 0x13880B00

// The library's static objects are constructed in a fixed order whatever the order of the files:
// the registered classes' descriptors by registry index, the addressing lock between the
// descriptors of indices 14 and 15.
#define J_INIT_DESCRIPTOR(index) __attribute__((init_priority(1100 + 2 * (index))))
#define J_INIT_ADDRESSING_LOCK __attribute__((init_priority(1129)))

extern JCriticalSection theAddressingLock;

// Registers the library's universal window class when the module attaches; the window registry
// of the view layer, which owns the class, defines it.
void JWinProc_Register();
