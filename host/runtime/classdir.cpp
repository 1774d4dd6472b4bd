// The class directory: every class of every registered plug-in module, and creation through it.
#include "builtins.h"
#include "hostlock.h"
#include "vcore.h"

#include <vector>

namespace {

struct Entry {
  HMODULE module;
  int index;
  ClassDesc* cd;
};

// The directory is written while modules load and read whenever something is created; one lock
// keeps a module registered from another thread from tearing a lookup.
class Directory {
 public:
  Directory() { InitializeCriticalSection(&lock); }
  ~Directory() { DeleteCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  std::vector<Entry> entries;
  std::vector<HMODULE> modules;
};

Directory& Dir() {
  static Directory d;
  return d;
}

struct EntryPoints {
  LibDescriptionProc description;
  LibNumberClassesProc numberClasses;
  LibClassDescProc classDesc;
  LibVersionProc version;
};

bool GetEntryPoints(HMODULE m, EntryPoints* ep) {
  ep->description = GetProcAddressAs<LibDescriptionProc>(m, "LibDescription");
  ep->numberClasses = GetProcAddressAs<LibNumberClassesProc>(m, "LibNumberClasses");
  ep->classDesc = GetProcAddressAs<LibClassDescProc>(m, "LibClassDesc");
  ep->version = GetProcAddressAs<LibVersionProc>(m, "LibVersion");
  return ep->description && ep->numberClasses && ep->classDesc && ep->version;
}

// A module built for another API number cannot share our object layouts.
bool VersionAccepted(ULONG v) { return ((v >> 8) & 0xFF) == VANTOR_API_NUM && (v >> 16) <= VANTOR_RELEASE; }

bool IsRegistered(HMODULE m) {
  for (HMODULE r : Dir().modules)
    if (r == m) return true;
  return false;
}

bool IsPlugin(HMODULE m, EntryPoints* ep) { return m && GetEntryPoints(m, ep) && VersionAccepted(ep->version()); }

}  // namespace

int RegisterPluginModule(HMODULE module) {
  EntryPoints ep;
  if (!IsPlugin(module, &ep)) return 0;
  CsLock l(Dir().lock);
  if (IsRegistered(module)) return 0;
  Dir().modules.push_back(module);
  int added = 0;
  int n = ep.numberClasses();
  for (int i = 0; i < n; i++) {
    ClassDesc* cd = ep.classDesc(i);
    if (!cd) continue;
    // The first module to provide a class keeps it.
    if (FindClassDesc(cd->SuperClassID(), cd->ClassID())) continue;
    Dir().entries.push_back(Entry{module, i, cd});
    added++;
  }
  return added;
}

HMODULE LoadPluginModule(const char* path) {
  if (!path) return nullptr;
  HMODULE m = LoadLibraryA(path);
  if (!m) return nullptr;
  EntryPoints ep;
  if (!IsPlugin(m, &ep)) {
    FreeLibrary(m);
    return nullptr;
  }
  // A module the host has registered already keeps the one hold the host took on it, so that one
  // FreeLibrary after UnregisterPluginModule unloads it.
  CsLock l(Dir().lock);
  if (IsRegistered(m)) {
    FreeLibrary(m);
    return m;
  }
  RegisterPluginModule(m);
  return m;
}

void UnregisterPluginModule(HMODULE module) {
  CsLock l(Dir().lock);
  auto& e = Dir().entries;
  for (size_t i = e.size(); i-- > 0;)
    if (e[i].module == module) e.erase(e.begin() + i);
  auto& m = Dir().modules;
  for (size_t i = m.size(); i-- > 0;)
    if (m[i] == module) m.erase(m.begin() + i);
}

int NumPluginClasses() {
  CsLock l(Dir().lock);
  return (int)Dir().entries.size();
}

int GetPluginClass(int i, PluginClassInfo* info) {
  CsLock l(Dir().lock);
  if (!info || i < 0 || i >= (int)Dir().entries.size()) return 0;
  const Entry& e = Dir().entries[i];
  info->module = e.module;
  info->index = e.index;
  info->cd = e.cd;
  return 1;
}

ClassDesc* FindClassDesc(SClass_ID superClassID, const Class_ID& classID) {
  CsLock l(Dir().lock);
  for (const Entry& e : Dir().entries)
    if (e.cd->SuperClassID() == superClassID && e.cd->ClassID() == classID) return e.cd;
  return nullptr;
}

void RegisterBuiltinClass(ClassDesc* cd) {
  HMODULE self = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&RegisterBuiltinClass), &self);
  CsLock l(Dir().lock);
  int index = 0;
  for (const Entry& e : Dir().entries)
    if (e.module == self) index++;
  Dir().entries.push_back(Entry{self, index, cd});
}

void* CreateInstance(SClass_ID superClassID, Class_ID classID) {
  ClassDesc* cd = FindClassDesc(superClassID, classID);
  return cd ? cd->Create(FALSE) : nullptr;
}
