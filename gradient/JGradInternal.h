// The gradient's colour cache and its evaluation: shared by the gradient node, its drawing and
// the row evaluators of each instruction set. Private to the library (never installed), so
// that the layout can change without touching a compiled plug-in.
#pragma once

#include "JGrad.h"
#include "JInternal.h"

#include <float.h>
#include <stddef.h>
#include <stdint.h>

namespace jgrad {

// Interpolation types of a span as the cache stores them (plain numbers in the records).
const int32_t kEaseIn = (int32_t)jlib::Interp::EaseIn;
const int32_t kEaseOut = (int32_t)jlib::Interp::EaseOut;
const int32_t kSolid = (int32_t)jlib::Interp::Solid;

// One record of the colour cache: a flag at the cache time, and the span that starts at it.
struct CacheEntry {
  float pos;        // clamped to [0, 1]; 17.0 for the record after the last flag
  int32_t index;    // the flag's index in the flag set
  float color[3];   // clamped to [0, 1]
  int32_t interp;   // jlib::Interp; any other number is Linear
  Texmap* tex;      // the flag's texture or null (not owned)
  float invSpan;    // 1 / (next pos - pos), 0 for an empty span
  float dColor[3];  // next colour - colour
};
static_assert(sizeof(void*) != 4 || sizeof(CacheEntry) == 44, "44-byte cache records on the 32-bit build");

// The eased parameter as piecewise polynomials: u in [0, 1] is cut into kEaseSegments equal
// pieces, and on piece j (x = u * kEaseSegments from j to j + 1, f = x - j) the curve is
// (c0 + f c1) + f^2 ((c2 + f c3) + f^2 (c4 + f c5)). A table holds coefficient k of piece j at
// [k * kEaseSegments + j], so that eight lanes pick their coefficients with one permutation.
enum { kEaseSegments = 8, kEaseDegree = 5 };  // EaseAt and the row evaluators spell out degree 5
// The table of an eased type, null for Linear, Solid and any other number.
const float* EaseTable(int type);
// Whether an eased table follows its host curve closely (measured when the module loads). A
// cache with a span whose table does not is marked direct: its colours come from EaseOf, and
// the fast lookups and the row evaluators never see it.
bool EaseFollowsHost(const float* table);

// One span of the cache, as the evaluators read it. Span 0 lies below the first flag (its
// colour, no change); span i + 1 starts at record i.
struct Span {
  float color[4];   // r, g, b, 0
  float dColor[4];  // towards the next flag's colour; 0 for Solid spans and span 0
  float lo, hi;     // the span holds the positions lo <= pos < hi (hi at most 1)
  // x = (pos - lo) * scale is u (Linear) or u * kEaseSegments (eased). Rounded down where
  // needed so that x never passes 1 or kEaseSegments inside the span.
  float scale;
  // Whether the span's own colour serves shading points: 0 always, 1 with no sampled extent
  // (Solid, whose step is blended over the extent), 2 never (a texture at either end).
  int32_t shading;
  const float* ease;  // EaseTable of the span's type: null for Linear and Solid
};

enum { kBuckets = 64 };  // a grid over [0, 1]: bucket b holds the span of position b / kBuckets

// An immutable colour cache, published whole. n flags: n + 1 records (the last is the
// sentinel) and n + 1 spans.
struct Cache {
  int n;
  int mode;      // the gradient's mode when the cache was built
  int textured;  // some flag has a texture
  int direct;    // some span's easing is computed by calling the host's curve (EaseFollowsHost)
  CacheEntry* rec;
  Span* spans;
  int32_t buckets[kBuckets];
};

const float kBelowOne = 0.99999988f;  // bits 0x3F7FFFFE: positions from 1 up are looked up here

// The span of c that holds pos, found from its bucket (for scattered positions); pos from 1 up
// and NaN become kBelowOne. Below the first flag it is span 0; otherwise the span of pos's
// bucket holds the bucket's start, so pos lies in it or above. Flags are rarely closer than a
// bucket, so one step without a branch mostly ends the search.
inline const Span* Find(const Cache& c, float& pos) {
  if (!(pos < 1.0f)) pos = kBelowOne;
  if (pos < c.spans[1].lo) {
    if (pos < -FLT_MAX) pos = -FLT_MAX;  // span 0 starts there
    return c.spans;
  }
  int b = (int)(pos * (float)kBuckets);
  const Span* s = c.spans + c.buckets[b < kBuckets ? b : kBuckets - 1];
  s += pos >= s->hi;
  while (pos >= s->hi) s++;
  return s;
}

// The span of c that holds pos, searched from s (for positions near the last one).
// Positions inside a span need no clamping (none holds 1, NaN or -infinity); a sorted row
// passing a flag steps to the next span, which exists because s ends below 1.
inline const Span* Walk(const Cache& c, const Span* s, float& pos) {
  if (pos >= s->lo && pos < s->hi) return s;
  if (pos >= s->hi && pos < 1.0f && pos < s[1].hi) return s + 1;
  return Find(c, pos);
}

// An eased parameter kept within [0, 1]; NaN gives 0 (the row evaluators' max and min do the same).
inline float ClampEase(float v) {
  v = v > 0.0f ? v : 0.0f;
  return v < 1.0f ? v : 1.0f;
}

// The eased parameter at x in [0, kEaseSegments], kept within [0, 1].
inline float EaseAt(const float* table, float x) {
  int j = (int)x;
  j = j < kEaseSegments - 1 ? j : kEaseSegments - 1;
  float f = x - (float)j;
  const float* c = table + j;
  // Estrin's order: three short chains instead of one long one.
  const int s = kEaseSegments;
  float f2 = f * f;
  float p01 = c[0] + f * c[s], p23 = c[2 * s] + f * c[3 * s], p45 = c[4 * s] + f * c[5 * s];
  return ClampEase(p01 + f2 * (p23 + f2 * p45));
}

// The colour of span s at x, its scaled parameter (see Span::scale). The row evaluators do
// the same operations lane by lane, so that both give the same bits.
inline void ColorAtX(const Span& s, float x, Point3& c) {
  float v = s.ease ? EaseAt(s.ease, x) : x;
  c.x = s.color[0] + v * s.dColor[0];
  c.y = s.color[1] + v * s.dColor[1];
  c.z = s.color[2] + v * s.dColor[2];
}

inline float XOf(const Span& s, float pos) { return (pos - s.lo) * s.scale; }

// The eased parameter at x of an eased table's type: EaseAt when the table follows the host's
// curve, otherwise the host's curve itself at u = x / kEaseSegments.
float EaseOf(const float* table, float x);

// ColorAtX for any cache, direct ones too (the paths other than the fast ones).
inline void SpanColor(const Span& s, float x, Point3& c) {
  float v = s.ease ? EaseOf(s.ease, x) : x;
  c.x = s.color[0] + v * s.dColor[0];
  c.y = s.color[1] + v * s.dColor[1];
  c.z = s.color[2] + v * s.dColor[2];
}

// Colours of n positions from a flag-mode cache with flags, walking from hint and leaving in
// it the span of the last position; one function per instruction set.
typedef void (*RowFn)(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out);
void RowSse2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out);
void RowAvx2(const Cache& c, const Span*& hint, const float* pos, int n, Point3* out);
// The one this processor runs best.
RowFn BestRow();

}  // namespace jgrad

// For the library's own tests: makes GetColors use the row evaluator of one instruction set
// (kRowSse2, kRowAvx2) or the best one again (kRowBest). Answers 0, changing nothing, when this
// processor cannot run it. Not for concurrent use with GetColors.
enum { kRowBest = -1, kRowSse2 = 0, kRowAvx2 = 1 };
QUORAPI int JGradUseRowEvaluator(int which);
// For the library's own tests: with on, every eased type is evaluated by calling the host's
// curve, as a type whose curve the tables cannot follow is (caches built afterwards); answers the
// previous setting. Whether the tables would follow curve: 1 or 0.
QUORAPI int JGradUseHostCurves(int on);
QUORAPI int JGradEaseFits(float (*curve)(float u));

namespace jgrad {

}  // namespace jgrad

namespace jgrad {

// The bytes of a decoded bitmap (12 + width x rows x 4), or 0 when that is no sensible size:
// not positive, or beyond what a memory block holds (32-bit sizes) and, in a 32-bit process,
// beyond a quarter of the address space.
inline size_t DecodedBytes(int width, int rows) {
  if (width <= 0 || rows <= 0) return 0;
  const uint64_t limit = sizeof(void*) == 4 ? (uint64_t)1 << 30 : (uint64_t)0xFFFFFFFFu;
  uint64_t bytes = 12 + (uint64_t)width * (uint64_t)rows * 4;
  return bytes <= limit ? (size_t)bytes : 0;
}

}  // namespace jgrad
