// Animate mode, the animation range and the easing curves.
#include "vctrl.h"

#include <vector>

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

// A Bezier curve over the knots as control values at equal spacing, by de Casteljau's steps in
// double precision: it starts at the first knot and ends at the last, and the inner knots pull
// it towards them. With two equal knots at each end it leaves and arrives flat, which is what
// makes the curve over 0, 0, 0.4, 0.6, 1, 1 an S: slow at both ends, fast in the middle.
float spline(float u, int nknots, float* knots) {
  if (!knots || nknots <= 0) return 0.0f;
  double t = Clamp01(u), s = 1.0 - t;
  double small[16];
  std::vector<double> large;
  double* v = small;
  if (nknots > 16) {
    large.resize((size_t)nknots);
    v = large.data();
  }
  for (int i = 0; i < nknots; i++) v[i] = knots[i];
  for (int level = nknots - 1; level > 0; level--)
    for (int i = 0; i < level; i++) v[i] = s * v[i] + t * v[i + 1];
  return (float)v[0];
}
