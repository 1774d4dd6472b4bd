// The float-mask blur: a box filter with fractional radius, run as a sliding window sum so that
// its cost does not depend on the radius.
//
// The blur of value i of n values with radius r is (F(i + c) - F(i + d)) / k with k = r + 1,
// c = k/2 - 0.5 and d = -k/2 - 0.5, where F interpolates linearly between the prefix sums of the
// values, extended to the left by the first value and to the right by the last. With
// a = floor(c), f = c - a (and likewise for d) that is
//     out_i = (W_i + f_c * v[i + a_c + 1] - f_d * v[i + a_d + 1]) / k,
// where W_i is the sum of v over the indices (i + a_d, i + a_c], every index clamped to [0, n - 1].
// W gains one value and loses one per step. It is kept in double precision, as the prefix sums it
// replaces would be.
//
// Both passes run the same kernel over "lanes": independent sequences laid side by side in
// memory, one SIMD lane each. The column pass takes blocks of adjacent columns as lanes and walks
// down the rows; the row pass transposes strips of eight rows so that rows become lanes.
#include "JBitmap.h"

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Window {
  int64_t a1, a2;  // floor(c), floor(d)
  double f1, f2;   // c - a1, d - a2
  double inv;      // 1 / k
};

// Radii beyond this act as this: the result no longer changes visibly, and the window indices
// stay far inside 64 bits.
const float kMaxRadius = 1099511627776.0f;  // 2^40

Window MakeWindow(float radius) {
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

// Rows of history the kernel keeps: every index between the two sample points, at most n.
int RingRows(const Window& w, int n) {
  int64_t span = w.a1 - w.a2 + 1;
  return span < n ? (int)span : n;
}

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }
int64_t CountBetween(int64_t lo, int64_t hi) { return hi >= lo ? hi - lo + 1 : 0; }

// One step for every lane: writes out from the values entering (a) and leaving (b) the window,
// then moves the window sums.
void Step(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w) {
  const __m128d f1 = _mm_set1_pd(w.f1), f2 = _mm_set1_pd(w.f2), inv = _mm_set1_pd(w.inv);
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
  int c = 0;
  for (; c + 4 <= lanes; c += 4) {
    const __m128 va = _mm_loadu_ps(a + c), vb = _mm_loadu_ps(b + c);
    const __m128d alo = _mm_cvtps_pd(va), ahi = _mm_cvtps_pd(_mm_movehl_ps(va, va));
    const __m128d blo = _mm_cvtps_pd(vb), bhi = _mm_cvtps_pd(_mm_movehl_ps(vb, vb));
    const __m128d slo = _mm_loadu_pd(sums + c), shi = _mm_loadu_pd(sums + c + 2);
    const __m128d olo = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(slo, _mm_mul_pd(f1, alo)), _mm_mul_pd(f2, blo)), inv);
    const __m128d ohi = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(shi, _mm_mul_pd(f1, ahi)), _mm_mul_pd(f2, bhi)), inv);
    __m128 o = _mm_movelh_ps(_mm_cvtpd_ps(olo), _mm_cvtpd_ps(ohi));
    o = _mm_min_ps(_mm_max_ps(o, zero), one);
    _mm_storeu_ps(out + c, o);
    _mm_storeu_pd(sums + c, _mm_add_pd(slo, _mm_sub_pd(alo, blo)));
    _mm_storeu_pd(sums + c + 2, _mm_add_pd(shi, _mm_sub_pd(ahi, bhi)));
  }
  for (; c < lanes; c++) {
    const double va = a[c], vb = b[c];
    double o = (sums[c] + w.f1 * va - w.f2 * vb) * w.inv;
    out[c] = o < 0.0 ? 0.0f : o > 1.0 ? 1.0f : (float)o;
    sums[c] += va - vb;
  }
}

// Blurs n rows of `lanes` floats in place along the rows (each lane on its own); rows are pitch
// floats apart. ring has room for RingRows(w, n) rows of lanes floats, sums for lanes doubles.
void BlurLanes(float* data, size_t pitch, int n, int lanes, const Window& w, float* ring, int ringRows,
               double* sums) {
  const size_t rowBytes = sizeof(float) * (size_t)lanes;
  auto row = [&](int64_t i) { return data + (size_t)i * pitch; };
  auto slot = [&](int64_t i) { return ring + (size_t)(i % ringRows) * lanes; };

  // The values needed before the first step: rows 0 up to the first entering row.
  int64_t loaded = Clamp(w.a1 + 1, 0, n - 1);
  for (int64_t i = 0; i <= loaded; i++) memcpy(slot(i), row(i), rowBytes);

  // The first window (i + a2, i + a1] at i = 0: copies of the first value, the values inside,
  // copies of the last value.
  const double before = (double)CountBetween(w.a2 + 1, w.a1 < -1 ? w.a1 : -1);
  const double after = (double)CountBetween(w.a2 + 1 > n ? w.a2 + 1 : n, w.a1);
  const int64_t insideFrom = w.a2 + 1 > 0 ? w.a2 + 1 : 0, insideTo = w.a1 < n - 1 ? w.a1 : n - 1;
  const float* first = slot(0);
  const float* last = after > 0 ? slot(n - 1) : first;
  for (int c = 0; c < lanes; c++) sums[c] = before * first[c] + after * last[c];
  for (int64_t i = insideFrom; i <= insideTo; i++) {
    const float* v = slot(i);
    for (int c = 0; c < lanes; c++) sums[c] += v[c];
  }

  for (int64_t i = 0; i < n; i++) {
    const int64_t in = Clamp(i + w.a1 + 1, 0, n - 1), out = Clamp(i + w.a2 + 1, 0, n - 1);
    if (in > loaded) {
      memcpy(slot(in), row(in), rowBytes);
      loaded = in;
    }
    Step(row(i), slot(in), slot(out), sums, lanes, w);
  }
}

// Rows of a strip that the row pass transposes at a time.
const int kStrip = 8;

// Four floats from each of four rows, transposed: out[j * kStrip + r] = row r, column j.
inline void Transpose4(const float* s0, const float* s1, const float* s2, const float* s3, float* out) {
  __m128 r0 = _mm_loadu_ps(s0), r1 = _mm_loadu_ps(s1), r2 = _mm_loadu_ps(s2), r3 = _mm_loadu_ps(s3);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  _mm_storeu_ps(out, r0);
  _mm_storeu_ps(out + kStrip, r1);
  _mm_storeu_ps(out + 2 * kStrip, r2);
  _mm_storeu_ps(out + 3 * kStrip, r3);
}

inline void UnTranspose4(const float* in, float* d0, float* d1, float* d2, float* d3) {
  __m128 r0 = _mm_loadu_ps(in), r1 = _mm_loadu_ps(in + kStrip), r2 = _mm_loadu_ps(in + 2 * kStrip),
         r3 = _mm_loadu_ps(in + 3 * kStrip);
  _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
  _mm_storeu_ps(d0, r0);
  _mm_storeu_ps(d1, r1);
  _mm_storeu_ps(d2, r2);
  _mm_storeu_ps(d3, r3);
}

// Strip rows y .. y + rows - 1 of width n into t, laid out as t[column * lanes + row].
void GatherStrip(float* t, const float* src, int n, int rows) {
  int j = 0;
  if (rows == kStrip) {
    const float* s = src;
    for (; j + 4 <= n; j += 4) {
      Transpose4(s + j, s + n + j, s + 2 * n + j, s + 3 * n + j, t + j * kStrip);
      Transpose4(s + 4 * n + j, s + 5 * n + j, s + 6 * n + j, s + 7 * n + j, t + j * kStrip + 4);
    }
  }
  for (; j < n; j++)
    for (int r = 0; r < rows; r++) t[(size_t)j * rows + r] = src[(size_t)r * n + j];
}

void ScatterStrip(float* dst, const float* t, int n, int rows) {
  int j = 0;
  if (rows == kStrip) {
    float* d = dst;
    for (; j + 4 <= n; j += 4) {
      UnTranspose4(t + j * kStrip, d + j, d + n + j, d + 2 * n + j, d + 3 * n + j);
      UnTranspose4(t + j * kStrip + 4, d + 4 * n + j, d + 5 * n + j, d + 6 * n + j, d + 7 * n + j);
    }
  }
  for (; j < n; j++)
    for (int r = 0; r < rows; r++) dst[(size_t)r * n + j] = t[(size_t)j * rows + r];
}

int BlurRows(float* dst, const float* src, unsigned width, unsigned height, float radius) {
  if (width == 0 || height == 0) return 1;
  if (!dst || !src) return 0;
  const Window w = MakeWindow(radius);
  const int n = (int)width;
  const int ringRows = RingRows(w, n);
  float* strip = static_cast<float*>(malloc(sizeof(float) * (size_t)n * kStrip));
  float* ring = static_cast<float*>(malloc(sizeof(float) * (size_t)ringRows * kStrip));
  double* sums = static_cast<double*>(malloc(sizeof(double) * kStrip));
  int ok = strip && ring && sums;
  for (unsigned y = 0; ok && y < height; y += kStrip) {
    const int rows = height - y < (unsigned)kStrip ? (int)(height - y) : kStrip;
    GatherStrip(strip, src + (size_t)y * n, n, rows);
    BlurLanes(strip, rows, n, rows, w, ring, ringRows, sums);
    ScatterStrip(dst + (size_t)y * n, strip, n, rows);
  }
  free(sums);
  free(ring);
  free(strip);
  return ok;
}

int BlurColumns(float* data, unsigned width, unsigned height, float radius) {
  if (height == 0) return 1;
  if (!data) return 0;
  const Window w = MakeWindow(radius);
  const int n = (int)height;
  const int ringRows = RingRows(w, n);
  // Blocks of columns as wide as a ring of about 256 KB allows: wide enough that each row
  // visit moves a run of whole cache lines, narrow enough that the ring stays in the cache.
  int block = (65536 / ringRows) & ~7;
  if (block < 8) block = 8;
  if (block > 1024) block = 1024;
  if ((unsigned)block > width) block = (int)width;
  float* ring = static_cast<float*>(malloc(sizeof(float) * (size_t)ringRows * block));
  double* sums = static_cast<double*>(malloc(sizeof(double) * (size_t)block));
  int ok = ring && sums;
  for (unsigned x = 0; ok && x < width; x += block) {
    const int lanes = width - x < (unsigned)block ? (int)(width - x) : block;
    BlurLanes(data + x, width, n, lanes, w, ring, ringRows, sums);
  }
  free(sums);
  free(ring);
  return ok;
}

}  // namespace

int JBlur(float* dst, float* src, unsigned width, unsigned height, float radiusX, float radiusY) {
  int result = 1;
  if (radiusX > 0) result = BlurRows(dst, src, width, height, radiusX);
  if (radiusY > 0 && width > 0) result = BlurColumns(dst, width, height, radiusY);
  return result;
}
