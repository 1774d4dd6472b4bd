// The row evaluator with AVX2: eight positions per step, eased parameters from the pieces'
// polynomials. Built without FMA so that every lane rounds as the scalar lookup does.
#include "JGradRow.h"

#include <immintrin.h>

namespace jgrad {

namespace {

struct Avx2 {
  enum { W = 8 };
  typedef __m256 F;
  __attribute__((always_inline)) static F Load(const float* p) { return _mm256_loadu_ps(p); }
  __attribute__((always_inline)) static F Set(float f) { return _mm256_set1_ps(f); }
  __attribute__((always_inline)) static F Sub(F a, F b) { return _mm256_sub_ps(a, b); }
  __attribute__((always_inline)) static F Mul(F a, F b) { return _mm256_mul_ps(a, b); }
  __attribute__((always_inline)) static F Add(F a, F b) { return _mm256_add_ps(a, b); }
  enum { kAll = 0xFF };
  __attribute__((always_inline)) static F Zero() { return _mm256_setzero_ps(); }
  __attribute__((always_inline)) static F Or(F a, F b) { return _mm256_or_ps(a, b); }
  __attribute__((always_inline)) static F AndNot(F a, F b) { return _mm256_andnot_ps(a, b); }  // b and not a
  __attribute__((always_inline)) static F Select(F m, F a, F b) { return _mm256_blendv_ps(a, b, m); }  // m ? b : a
  __attribute__((always_inline)) static int Bits(F m) { return _mm256_movemask_ps(m); }
  // From 1 up and NaN to kBelowOne, -infinity to -FLT_MAX: as Walk clamps.
  __attribute__((always_inline)) static F ClampPos(F p) {
    F below = _mm256_cmp_ps(p, Set(1.0f), _CMP_LT_OQ);
    return _mm256_max_ps(Select(below, Set(kBelowOne), p), Set(-FLT_MAX));
  }
  __attribute__((always_inline)) static F InsideMask(F p, float lo, float hi) {
    return _mm256_and_ps(_mm256_cmp_ps(p, Set(lo), _CMP_GE_OQ), _mm256_cmp_ps(p, Set(hi), _CMP_LT_OQ));
  }
  // The pieces' coefficients, the same operations in the same order as EaseAt. In a sorted row
  // the eight lanes mostly share one piece: its coefficients are then broadcast from memory;
  // otherwise each lane picks its piece's from a register of eight.
  __attribute__((always_inline)) static F Ease(const float* table, F x) {
    // Lanes outside the span (a block crossing spans) are kept within the pieces; their results
    // are not used.
    __m256i j = _mm256_min_epi32(_mm256_cvttps_epi32(x), _mm256_set1_epi32(kEaseSegments - 1));
    j = _mm256_max_epi32(j, _mm256_setzero_si256());
    F f = Sub(x, _mm256_cvtepi32_ps(j));
    // Spelled out, not looped: a loop leaves the coefficients in memory between the two steps.
    auto at = [&](int k) { return _mm256_permutevar8x32_ps(_mm256_loadu_ps(table + k * kEaseSegments), j); };
    static_assert(kEaseDegree == 5, "six coefficients");
    F f2 = Mul(f, f);
    F p01 = Add(at(0), Mul(f, at(1))), p23 = Add(at(2), Mul(f, at(3))), p45 = Add(at(4), Mul(f, at(5)));
    F v = Add(p01, Mul(f2, Add(p23, Mul(f2, p45))));
    return _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), Set(1.0f));
  }
  struct SpanConstants {
    F lo, scale;
    F color[3], dColor[3];  // r g b r g b r g, b r g b r g b r, g b r g b r g b
  };
  // The eased parameters of p in the span k was made for.
  __attribute__((always_inline)) static F Param(F p, const SpanConstants& k, const float* ease) {
    F x = Mul(Sub(p, k.lo), k.scale);
    return ease ? Ease(ease, x) : x;
  }
  __attribute__((always_inline)) static F Pattern(const float* c, int first) {
    return _mm256_setr_ps(c[first % 3], c[(first + 1) % 3], c[(first + 2) % 3], c[first % 3], c[(first + 1) % 3],
                          c[(first + 2) % 3], c[first % 3], c[(first + 1) % 3]);
  }
  static SpanConstants Prepare(const Span& s) {
    return {Set(s.lo),
            Set(s.scale),
            {Pattern(s.color, 0), Pattern(s.color, 2), Pattern(s.color, 1)},
            {Pattern(s.dColor, 0), Pattern(s.dColor, 2), Pattern(s.dColor, 1)}};
  }
  // Eight Point3 records as they lie: v0 v0 v0 v1 v1 v1 v2 v2 | v2 v3 v3 v3 v4 v4 v4 v5 |
  // v5 v5 v6 v6 v6 v7 v7 v7 meet the span's colours laid out r g b r g b ...
  __attribute__((always_inline)) static void Spread(F v, F& s0, F& s1, F& s2) {
    s0 = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(0, 0, 0, 1, 1, 1, 2, 2));
    s1 = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(2, 3, 3, 3, 4, 4, 4, 5));
    s2 = _mm256_permutevar8x32_ps(v, _mm256_setr_epi32(5, 5, 6, 6, 6, 7, 7, 7));
  }
  __attribute__((always_inline)) static void Colors(F v, const SpanConstants& k, F& r0, F& r1, F& r2) {
    F s0, s1, s2;
    Spread(v, s0, s1, s2);
    r0 = Add(k.color[0], Mul(s0, k.dColor[0]));
    r1 = Add(k.color[1], Mul(s1, k.dColor[1]));
    r2 = Add(k.color[2], Mul(s2, k.dColor[2]));
  }
  template <class T>
  __attribute__((always_inline)) static F Field(const Span* const* at, T Span::*f) {
    return _mm256_setr_ps(at[0]->*f, at[1]->*f, at[2]->*f, at[3]->*f, at[4]->*f, at[5]->*f, at[6]->*f, at[7]->*f);
  }
  __attribute__((always_inline)) static F Field(const Span* const* at, int k, float (Span::*f)[4]) {
    return _mm256_setr_ps((at[0]->*f)[k], (at[1]->*f)[k], (at[2]->*f)[k], (at[3]->*f)[k], (at[4]->*f)[k],
                          (at[5]->*f)[k], (at[6]->*f)[k], (at[7]->*f)[k]);
  }
  // Eight Point3 records from the channels of eight positions: the four-lane transposition in
  // each half, then the halves put in order.
  __attribute__((always_inline)) static void StoreChannels(Point3* out, F r, F g, F b) {
    F rg01 = _mm256_unpacklo_ps(r, g);
    F rg23 = _mm256_unpackhi_ps(r, g);
    F b0r1 = _mm256_shuffle_ps(b, r, _MM_SHUFFLE(1, 1, 0, 0));
    F g1b1 = _mm256_shuffle_ps(g, b, _MM_SHUFFLE(1, 1, 1, 1));
    F r3g3b2b3 = _mm256_shuffle_ps(rg23, b, _MM_SHUFFLE(3, 2, 3, 2));
    F o0 = _mm256_shuffle_ps(rg01, b0r1, _MM_SHUFFLE(2, 0, 1, 0));
    F o1 = _mm256_shuffle_ps(g1b1, rg23, _MM_SHUFFLE(1, 0, 2, 0));
    F o2 = _mm256_shuffle_ps(r3g3b2b3, r3g3b2b3, _MM_SHUFFLE(3, 1, 0, 2));
    float* o = &out->x;
    _mm256_storeu_ps(o, _mm256_permute2f128_ps(o0, o1, 0x20));
    _mm256_storeu_ps(o + 8, _mm256_blend_ps(o0, o2, 0x0F));
    _mm256_storeu_ps(o + 16, _mm256_permute2f128_ps(o1, o2, 0x31));
  }
  __attribute__((always_inline)) static void Store(Point3* out, F r0, F r1, F r2) {
    float* o = &out->x;
    _mm256_storeu_ps(o, r0);
    _mm256_storeu_ps(o + 8, r1);
    _mm256_storeu_ps(o + 16, r2);
  }
};

}  // namespace

void RowAvx2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  RowLoop<Avx2>(c, hint, pos, n, out);
}

}  // namespace jgrad
