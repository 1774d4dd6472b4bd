// Helpers shared by the gradient tests: a gradient held for the length of a test, and flags
// put on it from (position, colour, interpolation) triples.
#pragma once

#include "Recorder.h"

#include "Quorlib.h"

#include <vector>

namespace gradtest {

// A gradient held by a reference maker that deletes it with the test.
struct Grad {
  Grad() : Grad(Create_JGradCtlData()) {}
  explicit Grad(JGradCtlData* made) : owner(new quortest::Recorder(1)), g(made) { owner->Hold(g); }
  ~Grad() { owner->DeleteMe(); }
  JGradCtlData* operator->() { return g; }
  quortest::Recorder* owner;
  JGradCtlData* g;
};

// A flag: position, colour and the flag's own interpolation index (0 Ease In .. 4 Solid).
struct Flag {
  float pos;
  Point3 color;
  float interp;
};

// Replaces the gradient's flags.
inline void SetFlags(JGradCtlData* g, const std::vector<Flag>& flags) {
  g->DelAllFlags();
  for (const Flag& f : flags) {
    JFlagCtlData* d = Create_JFlagCtlData();
    float pos = f.pos, interp = f.interp;
    Point3 c = f.color;
    d->SetPos(0, pos);
    d->SetColor(0, c);
    d->SetInterp(0, interp);
    g->AddFlag(d, "_");
  }
}

}  // namespace gradtest
