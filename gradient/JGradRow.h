// The row evaluator's loop, shared by the instruction-set variants (JGradRowSse2.cpp,
// JGradRowAvx2.cpp): each supplies a vector type V with W lanes and these operations. Private.
//
// Blocks of W positions that all fall inside the current span are computed as vectors and
// written as W Point3 records; a block that crosses from one span into the next (a sorted row
// passing a flag) is computed for both, each lane taken from its own span; in other blocks
// each lane finds its span and the lanes are computed together from the spans' fields.
// Positions are clamped as the scalar walk clamps them.
// The records are written as they lie in memory: the eased parameters are spread to the
// pattern r g b r g b ... by one permutation per vector and meet the span's colours laid out
// in that pattern, so that no transposition is needed.
#pragma once

#include "JGradInternal.h"

namespace jgrad {

template <class V>
inline void RowLoop(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out) {
  typedef typename V::F F;
  const Span* s = hint;
  const Span* prepared = s;  // the span k was made for
  typename V::SpanConstants k = V::Prepare(*s);
  int i = 0;
  for (; i + V::W <= n; i += V::W) {
    // Positions that clamping changes (from 1 up, NaN, -infinity) lie in no span as they are,
    // so the check of the whole block needs no clamping.
    F p = V::Load(pos + i);
    F r0, r1, r2;
    F inside = V::InsideMask(p, s->lo, s->hi);
    int bits = V::Bits(inside);
    if (bits == V::kAll) {
      if (s != prepared) k = V::Prepare(*s), prepared = s;
      V::Colors(V::Param(p, k, s->ease), k, r0, r1, r2);
      V::Store(out + i, r0, r1, r2);
      continue;
    }
    // A sorted row crossing a flag: the first lanes lie in the current span and the others,
    // mostly, in the next one. Both spans are evaluated for all lanes and each lane taken from
    // its own; what is left over, and the lanes of scattered positions, is done one by one.
    if (bits && (bits & (bits + 1)) == 0) {
      p = V::ClampPos(p);
      if (s != prepared) k = V::Prepare(*s), prepared = s;
      V::Colors(V::Param(p, k, s->ease), k, r0, r1, r2);
      float q = pos[i + __builtin_ctz((unsigned)~bits)];
      s = Walk(c, s, q);
      k = V::Prepare(*s), prepared = s;
      F take = V::AndNot(inside, V::InsideMask(p, s->lo, s->hi));
      F n0, n1, n2, m0, m1, m2;
      V::Colors(V::Param(p, k, s->ease), k, n0, n1, n2);
      V::Spread(take, m0, m1, m2);
      V::Store(out + i, V::Select(m0, r0, n0), V::Select(m1, r1, n1), V::Select(m2, r2, n2));
      bits = V::Bits(V::Or(inside, take));
      for (int j = 0; j < V::W; j++) {
        if (bits & (1 << j)) continue;
        float q = pos[i + j];
        s = Find(c, q);
        ColorAtX(*s, XOf(*s, q), out[i + j]);
      }
      continue;
    }
    // Scattered positions: each lane finds its own span; when the spans share an easing curve
    // the lanes are evaluated together from their spans' fields.
    // Lanes without a shared curve (Linear and Solid spans, mixed types) cost little one by one.
    const Span* at[V::W];
    alignas(32) float q[V::W];
    bool oneCurve = true;
    for (int j = 0; j < V::W; j++) {
      q[j] = pos[i + j];
      at[j] = Find(c, q[j]);
      oneCurve &= at[j]->ease == at[0]->ease;
    }
    s = at[V::W - 1];
    if (!oneCurve || !at[0]->ease) {
      for (int j = 0; j < V::W; j++) ColorAtX(*at[j], XOf(*at[j], q[j]), out[i + j]);
      continue;
    }
    F x = V::Mul(V::Sub(V::Load(q), V::Field(at, &Span::lo)), V::Field(at, &Span::scale));
    F v = V::Ease(at[0]->ease, x);
    F r = V::Add(V::Field(at, 0, &Span::color), V::Mul(v, V::Field(at, 0, &Span::dColor)));
    F g = V::Add(V::Field(at, 1, &Span::color), V::Mul(v, V::Field(at, 1, &Span::dColor)));
    F b = V::Add(V::Field(at, 2, &Span::color), V::Mul(v, V::Field(at, 2, &Span::dColor)));
    V::StoreChannels(out + i, r, g, b);
  }
  for (; i < n; i++) {
    float q = pos[i];
    s = Walk(c, s, q);
    ColorAtX(*s, XOf(*s, q), out[i]);
  }
  hint = s;
}

}  // namespace jgrad
