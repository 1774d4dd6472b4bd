// Access-fault trapping for the few calls that the library guards (not part of the client API).
// A guarded call runs with a frame armed for the calling thread; an access violation inside it
// jumps back to the frame and the call yields its fault result. Faults raised inside the system's
// own modules (ntdll, kernelbase, kernel32) are left to them: calls such as IsBadReadPtr or
// lstrlenA probe memory under handlers of their own and answer for a bad pointer.
// Frames nest per thread. Destructors and locks of the abandoned code are skipped, so guard only
// calls that hold neither, and never across SendMessage (the system's frames would be abandoned).
// A guarded call that runs a message loop or a modal box pauses its frame for the time (see
// JFaultPause): the messages it dispatches belong to other windows, whose faults are not its own.
#pragma once

struct JFaultFrame {
  void* jump[5];          // __builtin_setjmp buffer
  JFaultFrame* previous;  // the enclosing frame of this thread
};

// Arms f for the calling thread / disarms it again (the trap disarms a frame it jumps to).
void JFaultArm(JFaultFrame* f);
void JFaultDisarm(JFaultFrame* f);

// Runs call() and answers its result, or faultResult when an access violation interrupted it.
template <class F>
__attribute__((noinline)) int JGuardedCall(F call, int faultResult) {
  JFaultFrame frame;
  if (__builtin_setjmp(frame.jump)) return faultResult;
  JFaultArm(&frame);
  int result = call();
  JFaultDisarm(&frame);
  return result;
}

// For its lifetime the calling thread has no armed frame: faults go on to the usual handling.
// Guarded calls made meanwhile arm frames of their own as usual. The frames armed before are
// armed again at the end.
class JFaultPause {
 public:
  JFaultPause();
  ~JFaultPause();
  JFaultPause(const JFaultPause&) = delete;
  JFaultPause& operator=(const JFaultPause&) = delete;

 private:
  JFaultFrame* paused;
};
