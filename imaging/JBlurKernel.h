// The float-mask blur's inner loops, shared by its driver (JBlur.cpp) and the instruction-set
// variants that the driver chooses between at run time. Internal to the library.
#pragma once

#include <math.h>
#include <stdint.h>

namespace jblur {

// Where the two sample points of a one-dimensional blur fall relative to the output index (see
// JBlur.cpp): out_i = (W_i + f1 v[i + a1 + 1] - f2 v[i + a2 + 1]) inv.
struct Window {
  int64_t a1, a2;  // floor(c), floor(d)
  double f1, f2;   // c - a1, d - a2
  double inv;      // 1 / k
};

// Radii beyond this act as this: the result no longer changes visibly, and the window indices
// stay far inside 64 bits.
const float kMaxRadius = 1099511627776.0f;  // 2^40

// The window of radius r: k = r + 1, half = k / 2 (both single precision), c = half - 0.5 and
// d = -half - 0.5.
inline Window MakeWindow(float radius) {
  if (!(radius <= kMaxRadius)) radius = kMaxRadius;
  const float k = radius + 1.0f;
  const float half = k * 0.5f;
  const double c = (double)half - 0.5, d = -(double)half - 0.5;
  Window w;
  w.a1 = (int64_t)floor(c);
  w.a2 = (int64_t)floor(d);
  w.f1 = c - (double)w.a1;
  w.f2 = d - (double)w.a2;
  w.inv = 1.0 / (double)k;
  return w;
}

inline int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }
inline int64_t CountBetween(int64_t lo, int64_t hi) { return hi >= lo ? hi - lo + 1 : 0; }

// The first window (i + a2, i + a1] at i = 0 for every lane: copies of the first value, the
// values inside, copies of the last value. row(k) gives the lanes of value k.
template <class Row>
void FirstSums(double* sums, int lanes, const Window& w, int n, Row row) {
  const double before = (double)CountBetween(w.a2 + 1, w.a1 < -1 ? w.a1 : -1);
  const double after = (double)CountBetween(w.a2 + 1 > n ? w.a2 + 1 : n, w.a1);
  const int64_t insideFrom = w.a2 + 1 > 0 ? w.a2 + 1 : 0, insideTo = w.a1 < n - 1 ? w.a1 : n - 1;
  const float* first = row(0);
  const float* last = row(n - 1);
  for (int c = 0; c < lanes; c++) sums[c] = before * first[c] + (after > 0 ? after * last[c] : 0.0);
  for (int64_t i = insideFrom; i <= insideTo; i++) {
    const float* v = row(i);
    for (int c = 0; c < lanes; c++) sums[c] += v[c];
  }
}

// One step of the lanes from `from` on, one lane at a time (the tail of a vector loop).
inline void StepTail(float* out, const float* a, const float* b, double* sums, int from, int lanes, const Window& w) {
  for (int c = from; c < lanes; c++) {
    const double va = a[c], vb = b[c];
    const double o = (sums[c] + w.f1 * va - w.f2 * vb) * w.inv;
    out[c] = o < 0.0 ? 0.0f : o > 1.0 ? 1.0f : (float)o;
    sums[c] += va - vb;
  }
}

// Rows of a strip that the row pass transposes at a time: the lanes of the strip kernel.
const int kStrip = 8;

// Blurs the kStrip interleaved lanes of in (in[j * kStrip + lane], j < n) into out, laid out alike.
typedef void (*StripKernel)(const float* in, float* out, int n, const Window& w);
// One step for every lane: writes out from the sums and the values entering (a) and leaving (b)
// the window, then moves the sums.
typedef void (*StepKernel)(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w);

void BlurStripSse2(const float* in, float* out, int n, const Window& w);
void StepSse2(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w);
void BlurStripAvx2(const float* in, float* out, int n, const Window& w);
void StepAvx2(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w);

}  // namespace jblur
