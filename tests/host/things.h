// Reference targets of the tests' own: a Thing holds a number of reference slots and an integer,
// records the notifications it receives, saves and loads itself and clones through the remap
// directory. The test program exports them like a plug-in, so scene files can create them.
#pragma once

#include "vantor.h"

#include <utility>
#include <vector>

class Thing : public ReferenceTarget {
 public:
  static const Class_ID kID;
  // A thing with n reference slots.
  explicit Thing(int n = 0, int value = 0) : refs(n, nullptr), value(value) {}
  ~Thing() override { destroyed++; }

  Class_ID ClassID() override { return kID; }
  SClass_ID SuperClassID() override { return superClass; }
  int NumRefs() override { return (int)refs.size(); }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < NumRefs() ? refs[i] : nullptr; }
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) refs[i] = t;
  }
  int NumSubs() override { return NumRefs(); }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  RefResult NotifyRefChanged(Interval, RefTargetHandle target, PartID& part, RefMessage message) override {
    heard.push_back({message, target});
    lastPart = part;
    return answer;
  }
  RefTargetHandle Clone(RemapDir& remap) override;
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

  std::vector<RefTargetHandle> refs;
  int value;
  SClass_ID superClass = REF_TARGET_CLASS_ID;
  RefResult answer = REF_SUCCEED;
  std::vector<std::pair<RefMessage, RefTargetHandle>> heard;
  PartID lastPart = 0;
  static int destroyed;
};
