// The blur's inner loops with AVX2 and FMA: four doubles per operation. Built with -mavx2 -mfma
// and run only where the processor has both.
#include "JBlurKernel.h"

#include <immintrin.h>

namespace jblur {

namespace {

struct Constants {
  __m256d f1, f2, inv;
  __m128 zero, one;
  explicit Constants(const Window& w)
      : f1(_mm256_set1_pd(w.f1)), f2(_mm256_set1_pd(w.f2)), inv(_mm256_set1_pd(w.inv)), zero(_mm_setzero_ps()),
        one(_mm_set1_ps(1.0f)) {}
};

// Four lanes of one step with their sums s.
inline __m128 Step4(__m128 a, __m128 b, __m256d& s, const Constants& k) {
  const __m256d ad = _mm256_cvtps_pd(a), bd = _mm256_cvtps_pd(b);
  const __m256d o = _mm256_mul_pd(_mm256_fnmadd_pd(k.f2, bd, _mm256_fmadd_pd(k.f1, ad, s)), k.inv);
  s = _mm256_add_pd(s, _mm256_sub_pd(ad, bd));
  return _mm_min_ps(_mm_max_ps(_mm256_cvtpd_ps(o), k.zero), k.one);
}

}  // namespace

void StepAvx2(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w) {
  const Constants k(w);
  int c = 0;
  for (; c + 8 <= lanes; c += 8) {
    __m256d s0 = _mm256_loadu_pd(sums + c), s1 = _mm256_loadu_pd(sums + c + 4);
    _mm_storeu_ps(out + c, Step4(_mm_loadu_ps(a + c), _mm_loadu_ps(b + c), s0, k));
    _mm_storeu_ps(out + c + 4, Step4(_mm_loadu_ps(a + c + 4), _mm_loadu_ps(b + c + 4), s1, k));
    _mm256_storeu_pd(sums + c, s0);
    _mm256_storeu_pd(sums + c + 4, s1);
  }
  StepTail(out, a, b, sums, c, lanes, w);
}

void BlurStripAvx2(const float* in, float* out, int n, const Window& w) {
  const Constants k(w);
  double first[kStrip];
  FirstSums(first, kStrip, w, n, [&](int64_t j) { return in + j * kStrip; });
  __m256d s0 = _mm256_loadu_pd(first), s1 = _mm256_loadu_pd(first + 4);
  for (int64_t i = 0; i < n; i++) {
    const float* a = in + Clamp(i + w.a1 + 1, 0, n - 1) * kStrip;
    const float* b = in + Clamp(i + w.a2 + 1, 0, n - 1) * kStrip;
    _mm_storeu_ps(out + i * kStrip, Step4(_mm_loadu_ps(a), _mm_loadu_ps(b), s0, k));
    _mm_storeu_ps(out + i * kStrip + 4, Step4(_mm_loadu_ps(a + 4), _mm_loadu_ps(b + 4), s1, k));
  }
}

}  // namespace jblur
