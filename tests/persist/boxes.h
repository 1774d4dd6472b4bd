// Reference targets for the stream tests: a Box has reference slots, an integer and a text, and
// can register a post-load callback that records the order things happen in.
#pragma once

#include "Quorlib.h"

#include <string>
#include <vector>

class Box : public ReferenceTargetRTTI {
 public:
  static const Class_ID kID;
  explicit Box(int loading) : loading(loading) {}
  Class_ID ClassID() override { return kID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  int NumRefs() override { return (int)refs.size(); }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < NumRefs() ? refs[i] : nullptr; }
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) refs[i] = t;
  }
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  // Sets the number of slots (a loaded box learns it from its own chunk).
  void Slots(int n) { refs.resize(n, nullptr); }

  std::vector<RefTargetHandle> refs;
  int value = 0;
  std::string text;
  int loading;
  bool writeNothing = false;  // Save writes nothing at all
  static std::vector<std::string> events;  // what happened during loads, in order
};

// Makes a new box (through the host, as a loader would) with n slots.
Box* NewBox(int n, int value = 0);

// The bytes SaveRefMaker writes for rm (none when it fails).
std::vector<unsigned char> SavedBytes(ReferenceMaker* rm);

// Makes the last box of a stream claim references its entry does not hold, so that a load fails
// once that box has been made; false when the stream holds no box.
bool BreakLastBox(std::vector<unsigned char>& bytes);
