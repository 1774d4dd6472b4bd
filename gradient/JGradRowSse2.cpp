// The row evaluator with SSE2: four positions per step.
#include "JGradRow.h"

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>

namespace jgrad {

namespace {

struct Sse2 {
  enum { W = 4 };
  typedef __m128 F;
  static F Load(const float* p) { return _mm_loadu_ps(p); }
  static F Set(float f) { return _mm_set1_ps(f); }
  static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
  static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
  static F Add(F a, F b) { return _mm_add_ps(a, b); }
  // lo <= p < hi in every lane (NaN in none).
  static bool AllInside(F p, float lo, float hi) {
    F in = _mm_and_ps(_mm_cmpge_ps(p, _mm_set1_ps(lo)), _mm_cmplt_ps(p, _mm_set1_ps(hi)));
    return _mm_movemask_ps(in) == 0xF;
  }
  // Lane by lane: SSE2 has no way to pick each lane's coefficients.
  static F Ease(const float* table, F x) {
    alignas(16) float at[4];
    _mm_store_ps(at, x);
    return _mm_setr_ps(EaseAt(table, at[0]), EaseAt(table, at[1]), EaseAt(table, at[2]), EaseAt(table, at[3]));
  }
  // color + v * dColor for four positions, written as four Point3 records.
  static void StoreColors(Point3* out, F v, const Span& s) {
    F r = Add(Set(s.color[0]), Mul(v, Set(s.dColor[0])));
    F g = Add(Set(s.color[1]), Mul(v, Set(s.dColor[1])));
    F b = Add(Set(s.color[2]), Mul(v, Set(s.dColor[2])));
    F rg01 = _mm_unpacklo_ps(r, g);                                   // r0 g0 r1 g1
    F rg23 = _mm_unpackhi_ps(r, g);                                   // r2 g2 r3 g3
    F b0r1 = _mm_shuffle_ps(b, r, _MM_SHUFFLE(1, 1, 0, 0));           // b0 b0 r1 r1
    F g1b1 = _mm_shuffle_ps(g, b, _MM_SHUFFLE(1, 1, 1, 1));           // g1 g1 b1 b1
    F r3g3b2b3 = _mm_shuffle_ps(rg23, b, _MM_SHUFFLE(3, 2, 3, 2));    // r3 g3 b2 b3
    float* o = &out->x;
    _mm_storeu_ps(o, _mm_shuffle_ps(rg01, b0r1, _MM_SHUFFLE(2, 0, 1, 0)));      // r0 g0 b0 r1
    _mm_storeu_ps(o + 4, _mm_shuffle_ps(g1b1, rg23, _MM_SHUFFLE(1, 0, 2, 0)));  // g1 b1 r2 g2
    _mm_storeu_ps(o + 8, _mm_shuffle_ps(r3g3b2b3, r3g3b2b3, _MM_SHUFFLE(3, 1, 0, 2)));  // b2 r3 g3 b3
  }
};

}  // namespace

void RowSse2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  RowLoop<Sse2>(c, hint, pos, n, out);
}

}  // namespace jgrad
