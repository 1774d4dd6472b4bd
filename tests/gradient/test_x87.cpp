// The inline colour lookup compiled for x87 arithmetic, as a 32-bit plug-in built with the
// compiler's defaults gets it: it must agree with the library's own lookups.
#include "GradTest.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <math.h>

static_assert(__FLT_EVAL_METHOD__ != 0, "this file is built for x87 arithmetic");

TEST(X87, InlineLookupsAgreeWithTheLibrary) {
  gradtest::Grad held;
  JGradCtlData* g = held.g;
  Point3 black(0, 0, 0), white(1, 1, 1);
  g->GetFlag(0)->SetColor(0, black);  // the default flags at 0 and 1, grey until now
  g->GetFlag(1)->SetColor(0, white);
  for (int type = 1; type <= 4; type++) {
    g->SetInterpType(type);
    Interval valid = FOREVER;
    g->Update(0, valid);
    float worst = 0.0f;
    for (int i = 0; i <= 20000; i++) {
      float pos = (float)i / 20000.0f;
      Point3 inlined, library;
      g->GetColor(inlined, pos, 0);  // the sweep stays in one span: answered inline
      g->GetFlagColor(library, pos, 0);
      worst = fmaxf(worst, fabsf(inlined.x - library.x));
    }
    EXPECT_LT(worst, 2e-7f) << "type " << type;
  }
}
