// Thread records, pins and retired objects: see JReclaimInternal.h for the scheme.
#include "JReclaimInternal.h"
#include "JInternal.h"

#include <malloc.h>
#include <new>

namespace jreclaim {

DWORD tlsIndex = TlsAlloc();

namespace {

// Every thread record, under the registry lock: writers scan them, exiting threads unlink theirs.
struct Registry {
  CRITICAL_SECTION lock;
  ThreadRecord* first = nullptr;
  Registry() { InitializeCriticalSection(&lock); }
  ~Registry() { DeleteCriticalSection(&lock); }
};
Registry& TheRegistry() {
  static Registry r;
  return r;
}

struct RegistryLock : JLock {
  RegistryLock() : JLock(TheRegistry().lock) {}
};

void FreeRecord(ThreadRecord* r) {
  r->~ThreadRecord();
  _aligned_free(r);
}

// Held by a pin, or possibly in use by a thread calling out for its owner (the call may have
// pinned something else in the same slot meanwhile, a gradient texture over another gradient).
bool Pinned(const void* p, const void* owner) {
  for (ThreadRecord* r = TheRegistry().first; r; r = r->next) {
    if (r->Busy(owner)) return true;
    for (const Pin& pin : r->pins)
      if (pin.held.load(std::memory_order_seq_cst) == p) return true;
  }
  return false;
}

}  // namespace

ThreadRecord* NewRecord() {
  // Without a slot (none was free, or the module is being unloaded) a record could never be
  // found again: the callers take their locked paths instead.
  if (tlsIndex == TLS_OUT_OF_INDEXES) return nullptr;
  void* mem = _aligned_malloc(sizeof(ThreadRecord), alignof(ThreadRecord));
  if (!mem) return nullptr;
  ThreadRecord* r = new (mem) ThreadRecord;
  r->thread = GetCurrentThreadId();
  {
    RegistryLock l;
    r->next = TheRegistry().first;
    TheRegistry().first = r;
  }
  TlsSetValue(tlsIndex, r);
  return r;
}

void WaitForReaders(const void* owner) {
  for (int spins = 0;; spins++) {
    bool busy = false;
    {
      RegistryLock l;
      for (ThreadRecord* r = TheRegistry().first; r && !busy; r = r->next)
        busy = r->thread != GetCurrentThreadId() && r->Busy(owner);
    }
    if (!busy) return;
    Sleep(spins < 16 ? 0 : 1);
  }
}

void Retired::Retire(void* p, void (*release)(void*, void*), void* owner) {
  if (p) items.push_back({p, release, owner});
}

void Retired::Collect() {
  if (items.empty()) return;
  // A reader that pins p after this scan loads the published pointer again and finds that p
  // is no longer it, so it never uses p: the writer published the replacement before retiring.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  size_t kept = 0;
  {
    RegistryLock l;
    for (const Item& it : items) {
      if (Pinned(it.p, it.owner))
        items[kept++] = it;
      else
        it.release(it.owner, it.p);
    }
  }
  items.resize(kept);  // shrinking keeps the capacity: no allocation once the list has grown
}

void Retired::FreeAll() {
  for (const Item& it : items) {
    Forget(it.p);
    it.release(it.owner, it.p);
  }
  items.clear();
}

void Forget(const void* p) {
  if (!p) return;
  RegistryLock l;
  for (ThreadRecord* r = TheRegistry().first; r; r = r->next) {
    for (Pin& pin : r->pins) {
      const void* expected = p;
      pin.held.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    }
  }
}

void ThreadDetach() {
  ThreadRecord* mine = static_cast<ThreadRecord*>(TlsGetValue(tlsIndex));
  if (!mine) return;
  {
    RegistryLock l;
    for (ThreadRecord** at = &TheRegistry().first; *at; at = &(*at)->next) {
      if (*at == mine) {
        *at = mine->next;
        break;
      }
    }
  }
  TlsSetValue(tlsIndex, nullptr);
  FreeRecord(mine);
}

void ProcessDetach() {
  RegistryLock l;
  while (ThreadRecord* r = TheRegistry().first) {
    TheRegistry().first = r->next;
    FreeRecord(r);
  }
  // A module unloaded by FreeLibrary gives its slot back, so that loading it again and again
  // does not use up the process's slots.
  if (tlsIndex != TLS_OUT_OF_INDEXES) TlsFree(tlsIndex);
  tlsIndex = TLS_OUT_OF_INDEXES;
}

}  // namespace jreclaim
