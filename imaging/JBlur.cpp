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
// Both passes step along "lanes": independent sequences laid side by side in memory, one SIMD lane
// each. The column pass takes blocks of adjacent columns as lanes and walks down the rows, keeping
// in a ring the values it has overwritten but still needs. The row pass transposes strips of eight
// rows so that rows become lanes, and blurs each strip into a second one with the eight sums held
// in registers. The stepping loops are in JBlurSse2.cpp and JBlurAvx2.cpp, chosen at run time.
#include "JBitmap.h"
#include "JBlurKernel.h"

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

using namespace jblur;

namespace {

// Rows of history the kernel keeps: every index between the two sample points, at most n.
int RingRows(const Window& w, int n) {
  int64_t span = w.a1 - w.a2 + 1;
  return span < n ? (int)span : n;
}

// The kernels for this processor: AVX2 with FMA where available, else SSE2.
struct Kernels {
  StripKernel strip;
  StepKernel step;
};

Kernels ChooseKernels() {
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return {BlurStripAvx2, StepAvx2};
  return {BlurStripSse2, StepSse2};
}

const Kernels& TheKernels() {
  static const Kernels k = ChooseKernels();
  return k;
}

// Brings the row at p (bytes) towards the cache ahead of its use.
void Prefetch(const float* p, size_t bytes) {
  const char* c = reinterpret_cast<const char*>(p);
  for (size_t i = 0; i < bytes; i += 64) _mm_prefetch(c + i, _MM_HINT_T0);
}

// Blurs n rows of `lanes` floats in place along the rows (each lane on its own); rows are pitch
// floats apart. Rows are overwritten as the walk goes, so the values still needed are kept in a
// ring of RingRows(w, n) rows of lanes floats; sums has room for lanes doubles.
void BlurLanesInPlace(float* data, size_t pitch, int n, int lanes, const Window& w, float* ring, int ringRows,
                      double* sums) {
  const size_t rowBytes = sizeof(float) * (size_t)lanes;
  const StepKernel step = TheKernels().step;
  auto row = [&](int64_t i) { return data + (size_t)i * pitch; };
  auto slot = [&](int64_t i) { return ring + (size_t)(i % ringRows) * lanes; };

  // The values needed before the first step: rows 0 up to the first entering row.
  int64_t loaded = Clamp(w.a1 + 1, 0, n - 1);
  for (int64_t i = 0; i <= loaded; i++) memcpy(slot(i), row(i), rowBytes);
  FirstSums(sums, lanes, w, n, slot);
  const int64_t kAhead = 4;
  for (int64_t i = 0; i < n; i++) {
    const int64_t in = Clamp(i + w.a1 + 1, 0, n - 1), out = Clamp(i + w.a2 + 1, 0, n - 1);
    if (in > loaded) {
      memcpy(slot(in), row(in), rowBytes);
      loaded = in;
      if (in + kAhead < n) Prefetch(row(in + kAhead), rowBytes);
    }
    step(row(i), slot(in), slot(out), sums, lanes, w);
  }
}

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

// Rows of width n into t as t[column * kStrip + row]; a strip of fewer rows fills the missing
// lanes with zeros.
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
    for (int r = 0; r < kStrip; r++) t[(size_t)j * kStrip + r] = r < rows ? src[(size_t)r * n + j] : 0.0f;
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
    for (int r = 0; r < rows; r++) dst[(size_t)r * n + j] = t[(size_t)j * kStrip + r];
}

int BlurRows(float* dst, const float* src, unsigned width, unsigned height, float radius) {
  if (width == 0 || height == 0) return 1;
  if (!dst || !src) return 0;
  const Window w = MakeWindow(radius);
  const int n = (int)width;
  float* strip = static_cast<float*>(malloc(sizeof(float) * (size_t)n * kStrip * 2));
  if (!strip) return 0;
  float* blurred = strip + (size_t)n * kStrip;
  for (unsigned y = 0; y < height; y += kStrip) {
    const int rows = height - y < (unsigned)kStrip ? (int)(height - y) : kStrip;
    GatherStrip(strip, src + (size_t)y * n, n, rows);
    TheKernels().strip(strip, blurred, n, w);
    ScatterStrip(dst + (size_t)y * n, blurred, n, rows);
  }
  free(strip);
  return 1;
}

int BlurColumns(float* data, unsigned width, unsigned height, float radius) {
  if (height == 0) return 1;
  if (!data) return 0;
  const Window w = MakeWindow(radius);
  const int n = (int)height;
  const int ringRows = RingRows(w, n);
  // Blocks of columns as wide as a ring of 64 KB allows, at most 1024. Each row visit then moves
  // whole cache lines, and the ring together with the rows streaming past it stays in the
  // processor's second-level cache; measured, larger rings cost more than narrower blocks.
  int block = (16384 / ringRows) & ~7;
  if (block < 8) block = 8;
  if (block > 1024) block = 1024;
  if ((unsigned)block > width) block = (int)width;
  float* ring = static_cast<float*>(malloc(sizeof(float) * (size_t)ringRows * block));
  double* sums = static_cast<double*>(malloc(sizeof(double) * (size_t)block));
  int ok = ring && sums;
  for (unsigned x = 0; ok && x < width; x += block) {
    const int lanes = width - x < (unsigned)block ? (int)(width - x) : block;
    BlurLanesInPlace(data + x, width, n, lanes, w, ring, ringRows, sums);
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
