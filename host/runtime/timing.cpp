// Animate mode, the animation range and the easing curves.
#include "vctrl.h"

namespace {
BOOL animating = FALSE;
TimeValue animStart = 0;
TimeValue animEnd = 100 * 160;

float Clamp01(float u) { return u < 0.0f ? 0.0f : u > 1.0f ? 1.0f : u; }
}  // namespace

BOOL Animating() { return animating; }
void AnimateOn() { animating = TRUE; }
void AnimateOff() { animating = FALSE; }

int GetTicksPerFrame() { return 160; }
TimeValue GetAnimStart() { return animStart; }
TimeValue GetAnimEnd() { return animEnd; }
void SetAnimRange(TimeValue start, TimeValue end) {
  animStart = start < end ? start : end;
  animEnd = start < end ? end : start;
}

// A rational curve (Schlick): no pow, cheap enough for per-pixel use.
float bias(float b, float u) {
  u = Clamp01(u);
  if (b <= 0.0f) return u >= 1.0f ? 1.0f : 0.0f;
  if (b >= 1.0f) return u <= 0.0f ? 0.0f : 1.0f;
  return u / ((1.0f / b - 2.0f) * (1.0f - u) + 1.0f);
}

// Catmull-Rom basis; span i runs from knot i+1 to knot i+2.
float spline(float u, int nknots, float* knots) {
  if (!knots || nknots <= 0) return 0.0f;
  if (nknots < 4) return knots[nknots / 2];
  int spans = nknots - 3;
  float x = Clamp01(u) * (float)spans;
  int span = (int)x;
  if (span >= spans) span = spans - 1;
  x -= (float)span;
  const float* k = knots + span;
  float c3 = -0.5f * k[0] + 1.5f * k[1] - 1.5f * k[2] + 0.5f * k[3];
  float c2 = k[0] - 2.5f * k[1] + 2.0f * k[2] - 0.5f * k[3];
  float c1 = -0.5f * k[0] + 0.5f * k[2];
  float c0 = k[1];
  return ((c3 * x + c2) * x + c1) * x + c0;
}
