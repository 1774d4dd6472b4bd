// The row evaluator with AVX2: eight positions per step, eased parameters from the pieces'
// polynomials. Built without FMA so that every lane rounds as the scalar lookup does.
#include "JGradRow.h"

#include <immintrin.h>

namespace jgrad {

namespace {

struct Avx2 {
  enum { W = 8 };
  typedef __m256 F;
  static F Load(const float* p) { return _mm256_loadu_ps(p); }
  static F Set(float f) { return _mm256_set1_ps(f); }
  static F Sub(F a, F b) { return _mm256_sub_ps(a, b); }
  static F Mul(F a, F b) { return _mm256_mul_ps(a, b); }
  static F Add(F a, F b) { return _mm256_add_ps(a, b); }
  static bool AllInside(F p, float lo, float hi) {
    F in = _mm256_and_ps(_mm256_cmp_ps(p, Set(lo), _CMP_GE_OQ), _mm256_cmp_ps(p, Set(hi), _CMP_LT_OQ));
    return _mm256_movemask_ps(in) == 0xFF;
  }
  // The pieces' coefficients: each lane picks its piece's from a register of eight. The same
  // operations in the same order as EaseAt.
  static F Ease(const float* table, F x) {
    __m256i j = _mm256_min_epi32(_mm256_cvttps_epi32(x), _mm256_set1_epi32(kEaseSegments - 1));
    F f = Sub(x, _mm256_cvtepi32_ps(j));
    auto c = [&](int k) { return _mm256_permutevar8x32_ps(_mm256_loadu_ps(table + k * kEaseSegments), j); };
    F f2 = Mul(f, f);
    F p01 = Add(c(0), Mul(f, c(1))), p23 = Add(c(2), Mul(f, c(3))), p45 = Add(c(4), Mul(f, c(5)));
    F v = Add(p01, Mul(f2, Add(p23, Mul(f2, p45))));
    return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), Set(1.0f));
  }
  // Eight Point3 records: the four-lane transposition in each half, then the halves put in order.
  static void StoreColors(Point3* out, F v, const Span& s) {
    F r = Add(Set(s.color[0]), Mul(v, Set(s.dColor[0])));
    F g = Add(Set(s.color[1]), Mul(v, Set(s.dColor[1])));
    F b = Add(Set(s.color[2]), Mul(v, Set(s.dColor[2])));
    F rg01 = _mm256_unpacklo_ps(r, g);
    F rg23 = _mm256_unpackhi_ps(r, g);
    F b0r1 = _mm256_shuffle_ps(b, r, _MM_SHUFFLE(1, 1, 0, 0));
    F g1b1 = _mm256_shuffle_ps(g, b, _MM_SHUFFLE(1, 1, 1, 1));
    F r3g3b2b3 = _mm256_shuffle_ps(rg23, b, _MM_SHUFFLE(3, 2, 3, 2));
    F o0 = _mm256_shuffle_ps(rg01, b0r1, _MM_SHUFFLE(2, 0, 1, 0));  // per half: r0 g0 b0 r1
    F o1 = _mm256_shuffle_ps(g1b1, rg23, _MM_SHUFFLE(1, 0, 2, 0));  // g1 b1 r2 g2
    F o2 = _mm256_shuffle_ps(r3g3b2b3, r3g3b2b3, _MM_SHUFFLE(3, 1, 0, 2));  // b2 r3 g3 b3
    float* o = &out->x;
    _mm256_storeu_ps(o, _mm256_permute2f128_ps(o0, o1, 0x20));
    _mm256_storeu_ps(o + 8, _mm256_blend_ps(o0, o2, 0x0F));
    _mm256_storeu_ps(o + 16, _mm256_permute2f128_ps(o1, o2, 0x31));
  }
};

}  // namespace

void RowAvx2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  RowLoop<Avx2>(c, hint, pos, n, out);
}

}  // namespace jgrad
