// A reference maker for tests: holds n references and records every notification it receives.
#pragma once

#include "vantor.h"

#include <vector>

namespace quortest {

class Recorder : public ReferenceTarget {
 public:
  struct Heard {
    RefMessage message;
    RefTargetHandle target;
    PartID part;
  };
  explicit Recorder(int n = 1) : refs(n, nullptr) {}
  int NumRefs() override { return (int)refs.size(); }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < NumRefs() ? refs[i] : nullptr; }
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) refs[i] = t;
  }
  RefResult NotifyRefChanged(Interval, RefTargetHandle target, PartID& part, RefMessage message) override {
    heard.push_back({message, target, part});
    return REF_SUCCEED;
  }
  int Count(RefMessage m) const {
    int n = 0;
    for (const Heard& h : heard) n += h.message == m;
    return n;
  }
  // Holds target in slot i (so that it lives as long as this recorder does).
  void Hold(ReferenceTarget* target, int i = 0) { MakeRefByID(FOREVER, i, target); }

  std::vector<RefTargetHandle> refs;
  std::vector<Heard> heard;
};

// Holds an object through a recorder for the length of a test; everything the object references
// goes with it.
template <class T>
struct Held {
  explicit Held(T* d) : owner(new Recorder(1)), d(d) { owner->Hold(d); }
  ~Held() { owner->DeleteMe(); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  T* operator->() { return d; }
  Recorder* owner;
  T* d;
};

}  // namespace quortest
