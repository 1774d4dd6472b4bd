// The row evaluator's loop, shared by the instruction-set variants (JGradRowSse2.cpp,
// JGradRowAvx2.cpp): each supplies a vector type V with W lanes and these operations. Private.
//
// Blocks of W positions that all fall inside the current span are computed as vectors and
// written as W Point3 records; a block that leaves the span is done position by position,
// which moves the span on. Sorted rows thus pay the scalar cost once per flag crossed.
#pragma once

#include "JGradInternal.h"

namespace jgrad {

template <class V>
inline void RowLoop(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  const Span* s = hint;
  int i = 0;
  for (; i + V::W <= n; i += V::W) {
    typename V::F p = V::Load(pos + i);
    if (V::AllInside(p, s->lo, s->hi)) {
      typename V::F x = V::Mul(V::Sub(p, V::Set(s->lo)), V::Set(s->scale));
      typename V::F v = s->ease ? V::Ease(s->ease, x) : x;
      V::StoreColors(out + i, v, *s);
      continue;
    }
    for (int j = i; j < i + V::W; j++) {
      float q = pos[j];
      s = Walk(c, s, q);
      ColorAtX(*s, XOf(*s, q), out[j]);
    }
  }
  for (; i < n; i++) {
    float q = pos[i];
    s = Walk(c, s, q);
    ColorAtX(*s, XOf(*s, q), out[i]);
  }
  hint = s;
}

}  // namespace jgrad
