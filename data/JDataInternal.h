// What the parameter-tree files share inside the library (not part of the client API).
#pragma once

#include "JData.h"

namespace jdata {

// What a slot whose controller (or map) was assigned tells its dependents: first that the
// reference changed, to its direct dependents only; then a change, to everyone above.
inline void NotifyControllerAssigned(ReferenceTarget* self) {
  self->NotifyDependents(FOREVER, 0, REFMSG_CONTROLREF_CHANGE, NOTIFY_ANY_FILTER_BASE, FALSE, nullptr);
  self->NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, TRUE, nullptr);
}

// A new object of the class of self, from its descriptor, as T; null (and the object deleted)
// when the descriptor makes something else.
template <class T>
T* NewOfClass(JClassBase* self, int loading) {
  JClassDescBase* cd = self->GetCD();
  void* made = cd ? cd->Create(loading) : nullptr;
  if (!made) return nullptr;
  ReferenceTargetRTTI* r = static_cast<ReferenceTargetRTTI*>(made);
  T* t = dynamic_cast<T*>(r);
  if (!t) r->DeleteMe();
  return t;
}

}  // namespace jdata
