// Helpers shared by the gradient tests: a gradient held for the length of a test, flags put on
// it from (position, colour, interpolation) triples, and image files written through the host.
#pragma once

#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string>
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

// Writes an image file whose pixel (x, y) is (x * 16, y * 16, 255 - x * 16) through the host.
inline std::string WriteImage(const char* name, int width, int height) {
  std::string path = quortest::TempPath(name);
  BitmapInfo bi;
  bi.SetWidth((WORD)width);
  bi.SetHeight((WORD)height);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      BMM_Color_64 p = {(WORD)(x * 16 * 257), (WORD)(y * 16 * 257), (WORD)((255 - x * 16) * 257), 65535};
      bm->PutPixels(x, y, 1, &p);
    }
  BitmapInfo out;
  out.SetName(path.c_str());
  EXPECT_EQ(bm->OpenOutput(&out), 1);
  EXPECT_EQ(bm->Write(&out), 1);
  bm->CloseAll();
  bm->DeleteThis();
  return path;
}

}  // namespace gradtest
