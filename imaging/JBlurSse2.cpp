// The blur's inner loops with SSE2: two doubles per operation.
#include "JBlurKernel.h"

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>

namespace jblur {

namespace {

struct Constants {
  __m128d f1, f2, inv;
  __m128 zero, one;
  explicit Constants(const Window& w)
      : f1(_mm_set1_pd(w.f1)), f2(_mm_set1_pd(w.f2)), inv(_mm_set1_pd(w.inv)), zero(_mm_setzero_ps()),
        one(_mm_set1_ps(1.0f)) {}
};

// Four lanes of one step; the sums of the lanes are slo (first two) and shi.
inline __m128 Step4(__m128 a, __m128 b, __m128d& slo, __m128d& shi, const Constants& k) {
  const __m128d alo = _mm_cvtps_pd(a), ahi = _mm_cvtps_pd(_mm_movehl_ps(a, a));
  const __m128d blo = _mm_cvtps_pd(b), bhi = _mm_cvtps_pd(_mm_movehl_ps(b, b));
  const __m128d olo = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(slo, _mm_mul_pd(k.f1, alo)), _mm_mul_pd(k.f2, blo)), k.inv);
  const __m128d ohi = _mm_mul_pd(_mm_sub_pd(_mm_add_pd(shi, _mm_mul_pd(k.f1, ahi)), _mm_mul_pd(k.f2, bhi)), k.inv);
  slo = _mm_add_pd(slo, _mm_sub_pd(alo, blo));
  shi = _mm_add_pd(shi, _mm_sub_pd(ahi, bhi));
  const __m128 o = _mm_movelh_ps(_mm_cvtpd_ps(olo), _mm_cvtpd_ps(ohi));
  return _mm_min_ps(_mm_max_ps(o, k.zero), k.one);
}

}  // namespace

void StepSse2(float* out, const float* a, const float* b, double* sums, int lanes, const Window& w) {
  const Constants k(w);
  int c = 0;
  for (; c + 4 <= lanes; c += 4) {
    __m128d slo = _mm_loadu_pd(sums + c), shi = _mm_loadu_pd(sums + c + 2);
    _mm_storeu_ps(out + c, Step4(_mm_loadu_ps(a + c), _mm_loadu_ps(b + c), slo, shi, k));
    _mm_storeu_pd(sums + c, slo);
    _mm_storeu_pd(sums + c + 2, shi);
  }
  StepTail(out, a, b, sums, c, lanes, w);
}

void BlurStripSse2(const float* in, float* out, int n, const Window& w) {
  const Constants k(w);
  double first[kStrip];
  FirstSums(first, kStrip, w, n, [&](int64_t j) { return in + j * kStrip; });
  __m128d s0 = _mm_loadu_pd(first), s1 = _mm_loadu_pd(first + 2), s2 = _mm_loadu_pd(first + 4),
          s3 = _mm_loadu_pd(first + 6);
  for (int64_t i = 0; i < n; i++) {
    const float* a = in + Clamp(i + w.a1 + 1, 0, n - 1) * kStrip;
    const float* b = in + Clamp(i + w.a2 + 1, 0, n - 1) * kStrip;
    _mm_storeu_ps(out + i * kStrip, Step4(_mm_loadu_ps(a), _mm_loadu_ps(b), s0, s1, k));
    _mm_storeu_ps(out + i * kStrip + 4, Step4(_mm_loadu_ps(a + 4), _mm_loadu_ps(b + 4), s2, s3, k));
  }
}

}  // namespace jblur
