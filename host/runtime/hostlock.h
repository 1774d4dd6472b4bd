// The runtime's scoped locks: each holds its lock from its declaration to the end of its scope.
#pragma once

#include <windows.h>

// A critical section, which the owning thread may enter again while it holds it.
class CsLock {
 public:
  explicit CsLock(CRITICAL_SECTION& cs) : cs(cs) { EnterCriticalSection(&cs); }
  ~CsLock() { LeaveCriticalSection(&cs); }
  CsLock(const CsLock&) = delete;
  CsLock& operator=(const CsLock&) = delete;

 private:
  CRITICAL_SECTION& cs;
};

// A slim reader-writer lock taken by a reader, beside other readers.
class SharedLock {
 public:
  explicit SharedLock(SRWLOCK& l) : l(l) { AcquireSRWLockShared(&l); }
  ~SharedLock() { ReleaseSRWLockShared(&l); }
  SharedLock(const SharedLock&) = delete;
  SharedLock& operator=(const SharedLock&) = delete;

 private:
  SRWLOCK& l;
};

// A slim reader-writer lock taken by a writer, alone.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& l) : l(l) { AcquireSRWLockExclusive(&l); }
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&l); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

 private:
  SRWLOCK& l;
};
