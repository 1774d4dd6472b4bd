// Module initialisation, the host entry points and the class-descriptor registry.
#include "JClassDesc.h"
#include "JModule.h"
#include "JReclaim.h"

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

struct LegacyID {
  ULONG oldA, oldB;
  ULONG newA, newB;
};

// Earlier class ids of the registered classes, mapped to their current ids.
constexpr LegacyID kLegacyIDs[16] = {
    {0x3ABB35CE, 0x0C7F1760, 0x55756B07, 0x16AD0D15},  // JFloatData
    {0x2A460FE5, 0x1D9039A7, 0x36193D67, 0x43815853},  // JWorldData
    {0x2E351FDF, 0x63FF6635, 0x549C7750, 0x2FDB75B8},  // JAngleData
    {0x38D13B57, 0x4E562514, 0x36CB2D8D, 0x40B60A9F},  // JColorData
    {0x2BEA12AE, 0x58992EE4, 0x611F0BCA, 0x78D42A43},  // JPercentData
    {0x3D501416, 0x35C02CC1, 0x5D656B80, 0x76F60770},  // JBoolData
    {0x42EF0F0B, 0x0B5C5AAC, 0x54A03885, 0x45395460},  // JFloat3Data
    {0x34407059, 0x6C287CDC, 0x7265232F, 0x215B736B},  // JWorld3Data
    {0x79753A7E, 0x04AC01B2, 0x41BE1C7A, 0x6ED25117},  // JColor3Data
    {0x15F966CE, 0x33716E52, 0x27A11519, 0x625449AB},  // JPercent3Data
    {0x6B472B3C, 0x4CBE53C7, 0x2DC57967, 0x7A8D75AB},  // JBinaryData
    {0x20D32002, 0x4BA32724, 0x6AE30B7D, 0x37903626},  // JSubtex
    {0x45BB5BC6, 0x08D40E48, 0x2A100BDF, 0x7ACF24D9},  // TVDummyControl
    {0x42B106BA, 0x1C82676F, 0x181D5EE1, 0x69B06262},  // JFlagCtlData
    {0x66FC775B, 0x12D049EA, 0x15CA4601, 0x62E43DD1},  // JFlagSetData
    {0x56C1005B, 0x77FE7E6D, 0x26450C71, 0x6C00010D},  // JGradCtlData
};

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
  for (const LegacyID& l : kLegacyIDs) {
    if (id.PartA() == l.oldA && id.PartB() == l.oldB) {
      id = Class_ID(l.newA, l.newB);
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
