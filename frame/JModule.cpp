// Module initialisation, the host entry points and the class-descriptor registry.
#include "JClassDesc.h"
#include "JModule.h"
#include "JReclaimInternal.h"

#include <commctrl.h>

namespace {

HINSTANCE libInstance = nullptr;

// The registry holder is created on demand; a null pointer means it does not exist (yet). Being
// constant-initialised, it is null before any descriptor's constructor runs, whatever the order
// of static initialisation across files.
Tab<JClassDescBase*>* registry = nullptr;

char resBuffer[1024];

// The loading flag belongs to the thread that sets it: a loader sets it just before it asks the
// host to create an object on its own thread, and a worker thread creating objects meanwhile (a
// preview completing a tree) must neither take nor clear it.
thread_local int loadingFlag = 0;

bool EnsureRegistry() {
  if (!registry) registry = new (std::nothrow) Tab<JClassDescBase*>;
  return registry != nullptr;
}

}  // namespace

// The lock under which node addressing creates missing children; it exists from static
// initialisation on, so addressing is safe from the first call on any thread.
J_INIT_ADDRESSING_LOCK JCriticalSection theAddressingLock;

// ---- Entry points ----------------------------------------------------------------------------

const char* LibDescription() { return "Quorvel library (Selvane)"; }

int LibNumberClasses() { return registry ? registry->Count() : 0; }

ClassDesc* LibClassDesc(int i) {
  if (!registry || (unsigned)i >= (unsigned)registry->Count()) return nullptr;
  return (*registry)[i];
}

ULONG LibVersion() { return VANTOR_VERSION_LIB; }

int QuorlibVersion() { return 69; }

// ---- Module services -------------------------------------------------------------------------

HINSTANCE GetLibInstance() { return libInstance; }

const char* GetResString(int id) {
  if (!libInstance) return "";
  if (LoadStringA(libInstance, (UINT)id, resBuffer, sizeof resBuffer) <= 0) return "";
  return resBuffer;
}

bool MapLegacyClassID(Class_ID& id) {
  for (const jlib::ClassIDs& c : jlib::kClassIDs) {
    if (id == c.earlier) {
      id = c.current;
      return true;
    }
  }
  return false;
}

int JLoading(int value) {
  int old = loadingFlag;
  if (value != -1) loadingFlag = value;
  return old;
}

// ---- Descriptor registry ---------------------------------------------------------------------

JClassDescBase::JClassDescBase() {
  JClassDescBase* self = this;
  if (EnsureRegistry()) registry->Append(1, &self);
}

// Client plug-ins' descriptors join the registry too and go when their module unloads: each
// descriptor takes only itself out, and the last one out releases the holder.
JClassDescBase::~JClassDescBase() {
  if (!registry) return;
  for (int i = registry->Count(); i-- > 0;)
    if ((*registry)[i] == this) registry->Delete(i, 1);
  if (registry->Count() > 0) return;
  delete registry;
  registry = nullptr;
}

HINSTANCE JClassDescBase::HInstance() { return libInstance; }

// ---- Process attach --------------------------------------------------------------------------

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // A thread's reader record (gradient lookups) goes with the thread.
  if (reason == DLL_THREAD_DETACH) jreclaim::ThreadDetach();
  if (reason == DLL_PROCESS_DETACH) jreclaim::ProcessDetach();
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  InitCommonControls();
  InitCustomControls(instance);
  InitCustomControls(GetModuleHandleA("comdlg32.dll"));
  libInstance = instance;
  EnsureRegistry();
  JWinProc_Register();
  return TRUE;
}
