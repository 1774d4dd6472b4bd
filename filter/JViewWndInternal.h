// What an image view shares between the interface thread and its worker (not installed): the two
// locks, the image, and the worker's handle, request, abort value, update time and priority.
#pragma once

#include "JInternal.h"
#include "JViewWnd.h"

#include <atomic>

// Lock order: threadLock, then bufferLock. Both are recursive, as critical sections are: a
// synchronous computation runs with threadLock held and may take it again inside (a preview
// callback does). The worker takes them one at a time.
struct JViewWnd::State {
  enum Request { kNone = 0, kRestart = 1, kStop = -1 };
  enum Abort { kGoOn = 0, kStopNow = -1 };

  State() {
    InitializeCriticalSection(&bufferLock);
    InitializeCriticalSection(&threadLock);
  }
  ~State() {
    if (wake) CloseHandle(wake);
    DeleteCriticalSection(&threadLock);
    DeleteCriticalSection(&bufferLock);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  CRITICAL_SECTION bufferLock;    // guards pixels against painting and installing
  BMM_Color_24* pixels = nullptr;  // the shown image, W x H, malloc'ed; null until the first one

  CRITICAL_SECTION threadLock;  // guards every write of the fields below except where noted
  // The running worker's handle, closed and nulled by the worker itself as it ends. Read
  // without the lock (acquire) by AbortUpdate's wait loop.
  std::atomic<HANDLE> worker{nullptr};
  // A second handle on the latest worker, used only by the interface thread: to wait for the
  // thread's real end after it has let go of the view, and to set its priority while aborting.
  HANDLE ending = nullptr;
  std::atomic<int> request{kNone};
  // Ends the worker's restart wait early when it is to stop (auto-reset; null if it could not
  // be made, and the wait then runs its course).
  HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  // Polled without the lock by the computation (per pixel, or after the render call) and
  // written by the interface thread under the lock; a flag guarding no other data.
  std::atomic<int> abortValue{kGoOn};
  // Written under the lock, read by the computation after the worker took the lock once.
  std::atomic<int> updateTime{0};
  // The Win32 priority of the next worker, read by the worker as it starts.
  std::atomic<int> priority{0};
  // Raised by a render callback of the library's own that trapped a fault in a call it guards
  // itself (so that it could put back what it held first): the computation that called it then
  // reports the fault as the trap around the callback would. Cleared before the callback and read
  // after it, on the computing thread.
  bool callbackFaulted = false;
};
