// Access-fault trapping for the few calls that the library guards (not part of the client API).
// A guarded call runs with a frame armed for the calling thread; an access violation anywhere
// inside it, in any module, jumps back to the frame and the call yields its fault result.
// Frames nest per thread. Destructors and locks of the abandoned code are skipped, so guard only
// calls that hold neither, and never across SendMessage (the system's frames would be abandoned).
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
