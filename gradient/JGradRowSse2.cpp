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
  __attribute__((always_inline)) static F Load(const float* p) { return _mm_loadu_ps(p); }
  __attribute__((always_inline)) static F Set(float f) { return _mm_set1_ps(f); }
  __attribute__((always_inline)) static F Sub(F a, F b) { return _mm_sub_ps(a, b); }
  __attribute__((always_inline)) static F Mul(F a, F b) { return _mm_mul_ps(a, b); }
  __attribute__((always_inline)) static F Add(F a, F b) { return _mm_add_ps(a, b); }
  enum { kAll = 0xF };
  __attribute__((always_inline)) static F Zero() { return _mm_setzero_ps(); }
  __attribute__((always_inline)) static F Or(F a, F b) { return _mm_or_ps(a, b); }
  __attribute__((always_inline)) static F AndNot(F a, F b) { return _mm_andnot_ps(a, b); }  // b and not a
  __attribute__((always_inline)) static F Select(F m, F a, F b) { return _mm_or_ps(_mm_andnot_ps(m, a), _mm_and_ps(m, b)); }  // m ? b : a
  __attribute__((always_inline)) static int Bits(F m) { return _mm_movemask_ps(m); }
  // From 1 up and NaN to kBelowOne, -infinity to -FLT_MAX: as Walk clamps.
  __attribute__((always_inline)) static F ClampPos(F p) {
    F below = _mm_cmplt_ps(p, Set(1.0f));
    return _mm_max_ps(Select(below, Set(kBelowOne), p), Set(-FLT_MAX));
  }
  __attribute__((always_inline)) static F InsideMask(F p, float lo, float hi) { return _mm_and_ps(_mm_cmpge_ps(p, Set(lo)), _mm_cmplt_ps(p, Set(hi))); }
  // The pieces' coefficients, the same operations in the same order as EaseAt. In a sorted row
  // the four lanes mostly share one piece, whose coefficients are then broadcast; otherwise
  // each lane's are loaded one by one (SSE2 cannot pick lanes by index). Lanes outside the span
  // (a block crossing spans) are kept within the pieces; their results are not used.
  __attribute__((always_inline)) static F Ease(const float* table, F x) {
    x = _mm_min_ps(_mm_max_ps(x, Zero()), Set((float)kEaseSegments));
    // Truncation only grows with x and kEaseSegments - 1 is exact: the same piece as PieceAt.
    __m128i j = _mm_cvttps_epi32(_mm_min_ps(x, Set((float)(kEaseSegments - 1))));
    F f = Sub(x, _mm_cvtepi32_ps(j));
    static_assert(kEaseDegree == 5, "six coefficients");
    F c0, c1, c2, c3, c4, c5;
    int j0 = _mm_cvtsi128_si32(j);
    if (_mm_movemask_epi8(_mm_cmpeq_epi32(j, _mm_set1_epi32(j0))) == 0xFFFF) {
      const float* t = table + j0;
      c0 = Set(t[0]), c1 = Set(t[kEaseSegments]), c2 = Set(t[2 * kEaseSegments]);
      c3 = Set(t[3 * kEaseSegments]), c4 = Set(t[4 * kEaseSegments]), c5 = Set(t[5 * kEaseSegments]);
    } else {
      alignas(16) int32_t at[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(at), j);
      auto lanes = [&](int k) {
        const float* t = table + k * kEaseSegments;
        return _mm_setr_ps(t[at[0]], t[at[1]], t[at[2]], t[at[3]]);
      };
      c0 = lanes(0), c1 = lanes(1), c2 = lanes(2), c3 = lanes(3), c4 = lanes(4), c5 = lanes(5);
    }
    F f2 = Mul(f, f);
    F p01 = Add(c0, Mul(f, c1)), p23 = Add(c2, Mul(f, c3)), p45 = Add(c4, Mul(f, c5));
    F v = Add(p01, Mul(f2, Add(p23, Mul(f2, p45))));
    return _mm_min_ps(_mm_max_ps(v, Zero()), Set(1.0f));
  }
  struct SpanConstants {
    F lo, scale;
    F color[3], dColor[3];  // r g b r, g b r g, b r g b
  };
  // The eased parameters of p in the span k was made for.
  __attribute__((always_inline)) static F Param(F p, const SpanConstants& k, const float* ease) {
    F x = Mul(Sub(p, k.lo), k.scale);
    return ease ? Ease(ease, x) : x;
  }
  static SpanConstants Prepare(const Span& s) {
    const float* c = s.color;
    const float* d = s.dColor;
    return {Set(s.lo),
            Set(s.scale),
            {_mm_setr_ps(c[0], c[1], c[2], c[0]), _mm_setr_ps(c[1], c[2], c[0], c[1]), _mm_setr_ps(c[2], c[0], c[1], c[2])},
            {_mm_setr_ps(d[0], d[1], d[2], d[0]), _mm_setr_ps(d[1], d[2], d[0], d[1]), _mm_setr_ps(d[2], d[0], d[1], d[2])}};
  }
  // color + v * dColor for four positions as the four Point3 records lie: r g b r, g b r g, b r g b.
  __attribute__((always_inline)) static void Colors(F v, const SpanConstants& k, F& r0, F& r1, F& r2) {
    r0 = Add(k.color[0], Mul(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 0, 0, 0)), k.dColor[0]));
    r1 = Add(k.color[1], Mul(_mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 1, 1)), k.dColor[1]));
    r2 = Add(k.color[2], Mul(_mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 2)), k.dColor[2]));
  }
  __attribute__((always_inline)) static void Spread(F m, F& s0, F& s1, F& s2) {
    s0 = _mm_shuffle_ps(m, m, _MM_SHUFFLE(1, 0, 0, 0));
    s1 = _mm_shuffle_ps(m, m, _MM_SHUFFLE(2, 2, 1, 1));
    s2 = _mm_shuffle_ps(m, m, _MM_SHUFFLE(3, 3, 3, 2));
  }
  // A field of each lane's span.
  template <class T>
  __attribute__((always_inline)) static F Field(const Span* const* at, T Span::*f) {
    return _mm_setr_ps(at[0]->*f, at[1]->*f, at[2]->*f, at[3]->*f);
  }
  __attribute__((always_inline)) static F Field(const Span* const* at, int k, float (Span::*f)[4]) {
    return _mm_setr_ps((at[0]->*f)[k], (at[1]->*f)[k], (at[2]->*f)[k], (at[3]->*f)[k]);
  }
  // Four Point3 records from the channels of four positions.
  __attribute__((always_inline)) static void StoreChannels(Point3* out, F r, F g, F b) {
    F rg01 = _mm_unpacklo_ps(r, g);                                 // r0 g0 r1 g1
    F rg23 = _mm_unpackhi_ps(r, g);                                 // r2 g2 r3 g3
    F b0r1 = _mm_shuffle_ps(b, r, _MM_SHUFFLE(1, 1, 0, 0));         // b0 b0 r1 r1
    F g1b1 = _mm_shuffle_ps(g, b, _MM_SHUFFLE(1, 1, 1, 1));         // g1 g1 b1 b1
    F r3g3b2b3 = _mm_shuffle_ps(rg23, b, _MM_SHUFFLE(3, 2, 3, 2));  // r3 g3 b2 b3
    float* o = &out->x;
    _mm_storeu_ps(o, _mm_shuffle_ps(rg01, b0r1, _MM_SHUFFLE(2, 0, 1, 0)));                // r0 g0 b0 r1
    _mm_storeu_ps(o + 4, _mm_shuffle_ps(g1b1, rg23, _MM_SHUFFLE(1, 0, 2, 0)));            // g1 b1 r2 g2
    _mm_storeu_ps(o + 8, _mm_shuffle_ps(r3g3b2b3, r3g3b2b3, _MM_SHUFFLE(3, 1, 0, 2)));  // b2 r3 g3 b3
  }
  __attribute__((always_inline)) static void Store(Point3* out, F r0, F r1, F r2) {
    float* o = &out->x;
    _mm_storeu_ps(o, r0);
    _mm_storeu_ps(o + 4, r1);
    _mm_storeu_ps(o + 8, r2);
  }
};

}  // namespace

void RowSse2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  RowLoop<Sse2>(c, hint, pos, n, out);
}

}  // namespace jgrad
