// Utility services of the host: growable tables, strings and the assertion service.
#pragma once

#include "vbase.h"

#include <stddef.h>
#include <stdlib.h>

// ---- Growable tables -------------------------------------------------------------------------
// A table is a pointer to a header allocated by the host, followed by its elements. The storage is
// always allocated and released inside the host runtime, so tables can change hands between modules.
struct TabHdr {
  int count;   // elements in use
  int nalloc;  // elements allocated
};

// Inserts num elements (copied from el, or zeroed when el is null) at index at; when the table
// must grow it allocates extra spare elements, and at least half the count. Returns at, or -1
// when memory is short.
HOSTAPI int TBInsertAt(TabHdr** pth, int at, int num, const void* el, int elsize, int extra);
// Copies num elements from el into the table starting at index at, growing the count if needed.
HOSTAPI int TBCopy(TabHdr** pth, int at, int num, const void* el, int elsize);
// Removes num elements from index starting on; returns the new count.
HOSTAPI int TBDelete(TabHdr** pth, int starting, int num, int elsize);
// Sets the allocation to exactly num elements (the count shrinks with it); returns 1, or 0 when
// memory is short. num = 0 releases the storage.
HOSTAPI int TBMakeSize(TabHdr** pth, int num, int elsize);
// Sets the count to n; grows the allocation when needed; with resize, the allocation becomes n.
HOSTAPI int TBSetCount(TabHdr** pth, int n, int elsize, BOOL resize);
// Releases a block of host memory and nulls the pointer.
HOSTAPI void zfree(void** p);

template <class T>
class Tab {
 public:
  Tab() : th(nullptr) {}
  Tab(const Tab& o) : th(nullptr) { *this = o; }
  ~Tab() { TBMakeSize(&th, 0, sizeof(T)); }
  Tab& operator=(const Tab& o) {
    if (this == &o) return *this;
    TBSetCount(&th, 0, sizeof(T), FALSE);
    if (o.Count()) TBCopy(&th, 0, o.Count(), o.Addr(0), sizeof(T));
    return *this;
  }
  void Init() { th = nullptr; }
  int Count() const { return th ? th->count : 0; }
  int Capacity() const { return th ? th->nalloc : 0; }
  void ZeroCount() { if (th) th->count = 0; }
  int SetCount(int n, BOOL resize = TRUE) { return TBSetCount(&th, n, sizeof(T), resize); }
  // Null while the table has no storage.
  T* Addr(int i) const { return th ? reinterpret_cast<T*>(th + 1) + i : nullptr; }
  T& operator[](int i) const { return *Addr(i); }
  int Insert(int at, int num, const T* el) { return TBInsertAt(&th, at, num, el, sizeof(T), 0); }
  int Append(int num, const T* el, int allocExtra = 0) {
    return TBInsertAt(&th, Count(), num, el, sizeof(T), allocExtra);
  }
  int Delete(int start, int num) { return TBDelete(&th, start, num, sizeof(T)); }
  int Resize(int num) { return TBMakeSize(&th, num, sizeof(T)); }
  void Shrink() { TBMakeSize(&th, Count(), sizeof(T)); }
  void Sort(int (*cmp)(const void*, const void*)) {
    if (Count() > 1) qsort(Addr(0), Count(), sizeof(T), cmp);
  }

 private:
  TabHdr* th;
};

// ---- Strings ---------------------------------------------------------------------------------
// A narrow string whose storage belongs to the host runtime.
class HOSTAPI CStr {
 public:
  CStr();
  CStr(const char* s);
  CStr(const CStr& o);
  ~CStr();
  CStr& operator=(const char* s);
  CStr& operator=(const CStr& o);
  CStr& operator+=(const char* s);
  CStr operator+(const char* s) const;
  bool operator==(const char* s) const;
  bool operator!=(const char* s) const { return !(*this == s); }
  bool operator==(const CStr& o) const { return *this == o.data(); }
  const char* data() const;
  operator const char*() const { return data(); }
  int Length() const;
  bool isNull() const { return Length() == 0; }
  // Grows or cuts the string to n characters (new characters are blanks).
  void Resize(int n);
  // printf into the string; returns the length.
  int printf(const char* fmt, ...);

 private:
  char* buf;
};

// ---- Assertions ------------------------------------------------------------------------------
// The host's assertion service: reports a failed check at line of source file, then goes on.
HOSTAPI void assert1(int line, const char* file);
typedef void (*Assert1Handler)(int line, const char* file);
// Replaces the reaction to assert1 (null restores the host's message box) and returns the
// previous handler.
HOSTAPI Assert1Handler SetAssert1Handler(Assert1Handler h);
