// Reclaiming memory that readers on other threads may still be reading, without locks on the
// readers' side. Not installed: a private header of the library.
//
// The scheme, in one place: every thread that reads keeps a record of its own, with a small
// table of pins. A reader loads the published object, and if its pin for that owner does not
// hold it already, stores the pointer in the pin and loads the published pointer again until
// both agree (a hazard pointer). A pin stays set after the read (sticky), so a thread that
// keeps reading the same object pays one compare per read and writes nothing shared. A writer
// publishes the new object first, then retires the old one; a retired object is freed as soon
// as no thread's pin holds it. So at most one retired object per reading thread and owner is
// ever kept, however often the writer replaces it. A thread's record goes when the thread
// exits (the module's thread-detach notification).
//
// Readers that call out of the library while reading (a gradient evaluating a flag's texture)
// also mark their record busy for the owner; a writer that must not let the callee die while
// it is used waits until no record is busy for that owner (WaitForReaders).
#pragma once

#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <stdint.h>
#include <vector>

namespace jreclaim {

enum { kPins = 16 };  // per thread; owners whose keys share a slot only cost each other a re-pin

// One pin: what the thread may be reading for one owner, and a position of its own beside it
// (written only by the thread, meaningful only while the pin holds the current object).
struct Pin {
  std::atomic<const void*> held{nullptr};
  const void* hint = nullptr;
};

struct alignas(64) ThreadRecord {
  Pin pins[kPins];
  // The owners whose callees the thread is in, innermost last (a texture may call another
  // gradient); busyDepth of them are set. Written only by the thread.
  enum { kBusyDepth = 4 };
  std::atomic<const void*> busy[kBusyDepth] = {};
  int busyDepth = 0;
  bool Busy(const void* owner) const {
    for (const auto& b : busy)
      if (b.load(std::memory_order_seq_cst) == owner) return true;
    return false;
  }
  ThreadRecord* next = nullptr;
  DWORD thread = 0;
};

// The calling thread's record, made on first use.
ThreadRecord* NewRecord();
extern DWORD tlsIndex;
// The first 64 thread-local slots live in the thread's environment block: read it directly,
// as TlsGetValue does, without the call. (GCC misreads the segment-relative read as an access
// to an empty array.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
// The calling thread's record if it has one and it sits in the environment block (index, a
// copy of tlsIndex, below 64): no call at all. Null sends the caller to ThisThread.
inline ThreadRecord* ThisThreadIfQuick(DWORD index) {
  return index < 64 ? static_cast<ThreadRecord*>(NtCurrentTeb()->TlsSlots[index]) : nullptr;
}
inline ThreadRecord* ThisThread() {
  DWORD i = tlsIndex;
  void* r = i < 64 ? NtCurrentTeb()->TlsSlots[i] : TlsGetValue(i);
  return r ? static_cast<ThreadRecord*>(r) : NewRecord();
}
#pragma GCC diagnostic pop

// The pin of a key in every thread's record.
inline int PinIndex(const void* key) {
  uintptr_t k = reinterpret_cast<uintptr_t>(key) >> 4;
  k *= (uintptr_t)0x9E3779B97F4A7C15ull;  // the top bits mix every bit of the key
  return (int)(k >> (sizeof(uintptr_t) * 8 - 4));
}
static_assert(kPins == 16, "PinIndex answers four bits");
inline Pin& PinFor(ThreadRecord* r, const void* key) { return r->pins[PinIndex(key)]; }

// The object published in src, pinned for the calling thread. fresh is set when the pin
// changed (the thread's hint belongs to another object then).
template <class T>
inline T* Acquire(Pin& pin, const std::atomic<T*>& src, bool& fresh) {
  T* p = src.load(std::memory_order_acquire);
  fresh = pin.held.load(std::memory_order_relaxed) != p;
  if (!fresh) return p;
  for (;;) {
    pin.held.store(p, std::memory_order_seq_cst);
    T* again = src.load(std::memory_order_seq_cst);
    if (again == p) return p;
    p = again;
  }
}

// Marks the calling thread as calling out for owner, then confirms with still() (a check of
// the owner's published state, made after the mark is visible to writers). Answers 1 when the
// call may go ahead (LeaveBusy ends it), 0 when still() failed and -1 when calls nest too deep
// to be marked (the caller then calls under the owner's lock); on 0 and -1 nothing is marked.
enum BusyResult { kBusyNested = -1, kBusyStale = 0, kBusyEntered = 1 };
template <class F>
inline BusyResult EnterBusy(ThreadRecord* r, const void* owner, F still) {
  if (r->busyDepth == ThreadRecord::kBusyDepth) return kBusyNested;
  std::atomic<const void*>& slot = r->busy[r->busyDepth];
  slot.store(owner, std::memory_order_seq_cst);
  if (still()) {
    r->busyDepth++;
    return kBusyEntered;
  }
  slot.store(nullptr, std::memory_order_release);
  return kBusyStale;
}
inline void LeaveBusy(ThreadRecord* r) { r->busy[--r->busyDepth].store(nullptr, std::memory_order_release); }

// Waits until no thread is calling out for owner. The owner has changed its published state
// before (with sequentially consistent stores), so readers arriving later see the change.
void WaitForReaders(const void* owner);

// Retired objects of one owner; used under the owner's lock.
class Retired {
 public:
  Retired() = default;
  Retired(const Retired&) = delete;
  Retired& operator=(const Retired&) = delete;
  ~Retired() { FreeAll(); }
  // Keeps p until no pin holds it and no thread is calling out for owner; then
  // release(owner, p) frees it (or keeps it for reuse).
  void Retire(void* p, void (*release)(void* owner, void* p), void* owner);
  // Frees every retired object that no pin holds.
  void Collect();
  // Frees everything: the owner is going and no reader may use it any more. Pins that still
  // hold these objects are cleared (see Forget).
  void FreeAll();
  size_t Count() const { return items.size(); }

 private:
  struct Item {
    void* p;
    void (*release)(void*, void*);
    void* owner;
  };
  std::vector<Item> items;
};

// Clears every pin that holds p, before p is freed while pinned (its owner is going). A pin
// that kept the address could otherwise take a new object at the same address for the one it
// pinned, with a place (hint) in the old one.
void Forget(const void* p);

// The module's thread-detach and process-detach notifications.
void ThreadDetach();
void ProcessDetach();

}  // namespace jreclaim
