// Undo records of the host's own changes (inside the runtime only).
#pragma once

#include "vanim.h"
#include "vhold.h"

// Undo records keep the targets they mention alive: a target that loses its last dependent
// while a record still needs it is deleted only when the last such record goes.
struct TargetHolds {
  static void Keep(ReferenceTarget* t) {
    if (t) t->holds++;
  }
  static void Release(ReferenceTarget* t) {
    if (!t) return;
    t->holds--;
    t->ReleaseIfOrphan();
  }
};

// A reference slot that changed from one target to another. Undo releases the target the change
// put in (deleting it when that was its last reference); redo repeats the change as it was made,
// so an old target its caller kept is not taken away.
class RefHold : public RestoreObj {
 public:
  RefHold(ReferenceMaker* maker, int which, ReferenceTarget* before, ReferenceTarget* after, BOOL delOld)
      : maker(maker), which(which), before(before), after(after), delOld(delOld) {
    TargetHolds::Keep(MakerTarget());
    TargetHolds::Keep(before);
    TargetHolds::Keep(after);
  }
  ~RefHold() override {
    TargetHolds::Release(after);
    TargetHolds::Release(before);
    TargetHolds::Release(MakerTarget());
  }
  void Restore(int) override { Put(before, TRUE); }
  void Redo() override { Put(after, delOld); }
  const char* Description() override { return "Reference"; }

 private:
  // The maker holds another target again: whoever shows the maker hears that it changed.
  void Put(ReferenceTarget* target, BOOL del) {
    maker->ReplaceReference(which, target, del);
    if (ReferenceTarget* self = MakerTarget()) self->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE);
  }
  ReferenceTarget* MakerTarget() { return maker->IsRefTarget() ? static_cast<ReferenceTarget*>(maker) : nullptr; }
  ReferenceMaker* maker;
  int which;
  ReferenceTarget* before;
  ReferenceTarget* after;
  BOOL delOld;
};
