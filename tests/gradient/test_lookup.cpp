// Colour lookups against a straightforward model of the gradient, and the lookup's hint under
// threads.
#include "GradTest.h"
#include "JGradInternal.h"
#include "Random.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>
#include <process.h>

#include <algorithm>
#include <atomic>
#include <vector>

using gradtest::Flag;
using gradtest::Grad;
using quortest::Random;

namespace {

// The knots of the host's ease-in-out spline (the spline takes them as non-const).
float easeKnots[6] = {0.0f, 0.0f, 0.4f, 0.6f, 1.0f, 1.0f};
float HostEaseInOut(float u) { return spline(u, 6, easeKnots); }

// The gradient's colour at p computed the long way: sort, search from the start, ease through
// the host's curves.
Point3 Model(std::vector<Flag> flags, int override, float p) {
  if (flags.empty()) return Point3(0, 0, 0);
  std::vector<int> order(flags.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = (int)i;
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return flags[a].pos < flags[b].pos; });
  if (!(p < 1.0f)) p = 0.99999988f;
  size_t at = 0;
  for (size_t k = 0; k < order.size(); k++)
    if (flags[order[k]].pos <= p) at = k;
  const Flag& r = flags[order[at]];
  const Flag& next = at + 1 < order.size() ? flags[order[at + 1]] : r;
  int type = override ? override : (int)r.interp + 1;
  if (type == 5) return r.color;
  float inv = next.pos == r.pos ? 0.0f : 1.0f / (next.pos - r.pos);
  float u = (p - r.pos) * inv;
  u = u >= 0.0f ? std::min(u, 1.0f) : 0.0f;  // NaN: a span too short for its inverse
  float v = type == 1 ? bias(0.35f, u) : type == 2 ? HostEaseInOut(u) : type == 3 ? bias(0.65f, u) : u;
  return r.color + (next.color - r.color) * v;
}

// The flags, the override, then a frame prepared as a plug-in prepares one: the cache is built
// before any lookup.
void Apply(JGradCtlData* g, const std::vector<Flag>& flags, int override) {
  gradtest::SetFlags(g, flags);
  g->SetInterpType(override);
  Interval valid = FOREVER;
  g->Update(0, valid);
}

// Positions that make ties, spans one float wide and one too short for its inverse.
float FlagPosition(Random& r) {
  switch (r.Below(6)) {
    case 0: return (float)r.Below(5) / 4.0f;
    case 1: return nextafterf(0.5f, 1.0f);
    case 2: return 0.5f;
    case 3: return 1.4e-45f;  // the smallest float above 0
    default: return r.Uniform();
  }
}

// The positions to look up: the odd ones, sweeps both ways, jumps, each flag and its neighbours.
std::vector<float> Probes(const std::vector<Flag>& flags, Random& r) {
  // The odd ones first, while the hint is still where a fresh cache puts it.
  std::vector<float> p = {1.0f, 1.5f, INFINITY, NAN, 0.99999994f, -INFINITY, -1e30f, -0.0f, 0.0f};
  for (int i = 0; i <= 400; i++) p.push_back((float)i / 400.0f);
  for (int i = 400; i >= 0; i--) p.push_back((float)i / 400.0f - 0.001f);
  for (int i = 0; i < 300; i++) p.push_back(r.Uniform() * 1.2f - 0.1f);
  for (const Flag& f : flags) {
    p.push_back(f.pos);
    p.push_back(nextafterf(f.pos, -1.0f));
    p.push_back(nextafterf(f.pos, 2.0f));
  }
  return p;
}

// The row of positions pos as each instruction set this processor runs evaluates it (SSE2
// always).
std::vector<std::vector<Point3>> RowsOfEachEvaluator(JGradCtlData* g, const std::vector<float>& pos) {
  std::vector<std::vector<Point3>> rows;
  for (int isa : {kRowSse2, kRowAvx2}) {
    if (!JGradUseRowEvaluator(isa)) continue;
    rows.emplace_back(pos.size());
    EXPECT_EQ(g->GetColors(rows.back().data(), pos.data(), (int)pos.size(), 0), 1) << "instruction set " << isa;
  }
  JGradUseRowEvaluator(kRowBest);
  return rows;
}

// Every way of asking for a plain colour agrees with the model, whatever the flags, ties,
// spans, interpolation types and the order of the positions asked; a row asked at once gives
// the same bits as its positions asked one by one.
void ExpectModelColorsForRandomLayouts(int layouts) {
  Grad g;
  Random rnd(0x9E3779B9);
  ShadeContext sc;
  // First the layouts whose ends matter most: a Solid step into a flag at 1, a flag on its own.
  const Point3 red(1, 0, 0), blue(0, 0, 1);
  std::vector<std::vector<Flag>> fixed = {{{0.0f, red, 4}, {1.0f, blue, 4}},
                                          {{0.0f, red, 3}, {0.5f, blue, 4}, {1.0f, red, 0}},
                                          {{0.3f, blue, 1}}};
  for (int layout = 0; layout < layouts; layout++) {
    std::vector<Flag> flags(1 + rnd.Below(9));
    for (Flag& f : flags)
      f = {FlagPosition(rnd), Point3(rnd.Uniform(), rnd.Uniform(), rnd.Uniform()), (float)rnd.Below(5)};
    if (layout < (int)fixed.size()) flags = fixed[layout];
    int override = layout % 3 == 2 ? rnd.Below(7) : 0;
    Apply(g.g, flags, override);
    int wrong = 0;
    std::vector<float> probes = Probes(flags, rnd);
    std::vector<std::vector<Point3>> rows = RowsOfEachEvaluator(g.g, probes);
    for (size_t i = 0; i < probes.size(); i++) {
      float p = probes[i];
      Point3 want = Model(flags, override, p), plain(-1, -1, -1), flag(-1, -1, -1), shaded(-1, -1, -1);
      g.g->GetColor(plain, p, 0);
      g.g->GetFlagColor(flag, p, 0);
      g.g->GetColor(shaded, p, 0.0f, sc, 0);
      for (const std::vector<Point3>& row : rows)
        if (memcmp(&plain, &row[i], sizeof plain) != 0 && wrong++ < 5)
          ADD_FAILURE() << "layout " << layout << " at " << p << ": the row call gives (" << row[i].x << ", "
                        << row[i].y << ", " << row[i].z << ")";
      for (const Point3* got : {&plain, &flag, &shaded}) {
        bool close = fabsf(got->x - want.x) <= 2e-6f && fabsf(got->y - want.y) <= 2e-6f && fabsf(got->z - want.z) <= 2e-6f;
        if (!close && wrong++ < 5)
          ADD_FAILURE() << "layout " << layout << " at " << p << ": got (" << got->x << ", " << got->y << ", "
                        << got->z << ") want (" << want.x << ", " << want.y << ", " << want.z << ")";
      }
    }
    EXPECT_EQ(wrong, 0) << "layout " << layout;
  }
}

// Every eased type evaluated by calling the host's curves while it lives.
struct HostCurvesAlways {
  HostCurvesAlways() { JGradUseHostCurves(1); }
  ~HostCurvesAlways() { JGradUseHostCurves(0); }
};

float PowerCurve(float u) { return powf(u, 0.62f); }
float KinkedCurve(float u) { return u < 0.3f ? u * 0.5f : 0.15f + (u - 0.3f) * (0.85f / 0.7f); }
float SmoothStep(float u) { return u * u * (3.0f - 2.0f * u); }

}  // namespace

TEST(Lookup, AgreesWithTheModelForEveryFlagLayout) { ExpectModelColorsForRandomLayouts(60); }

// Whether the library's tables can stand for an easing curve is measured: smooth curves, the
// host's among them, are tabled; a curve steep at its start or with a kink is not.
TEST(Lookup, OnlyCurvesTheTablesFollowAreTabled) {
  EXPECT_EQ(JGradEaseFits([](float u) { return bias(0.35f, u); }), 1);
  EXPECT_EQ(JGradEaseFits([](float u) { return bias(0.65f, u); }), 1);
  EXPECT_EQ(JGradEaseFits(HostEaseInOut), 1);
  EXPECT_EQ(JGradEaseFits(SmoothStep), 1);
  EXPECT_EQ(JGradEaseFits(PowerCurve), 0) << "an infinite slope at 0";
  EXPECT_EQ(JGradEaseFits(KinkedCurve), 0) << "a kink inside a piece";
  EXPECT_EQ(JGradEaseFits(nullptr), 0);
}

// A curve the tables cannot follow is called on every path instead: the plain, flag,
// shading-point and row lookups still agree with the model, the colours are the curve's own
// (not the tables'), and the drawing follows the curve.
TEST(Lookup, CurvesTheTablesCannotFollowAreCalledOnEveryPath) {
  std::vector<float> sweep;
  for (int i = 0; i <= 4000; i++) sweep.push_back((float)i / 4000.0f);
  const std::vector<Flag> easedIn = {{0.0f, Point3(0, 0, 0), 0}, {1.0f, Point3(1, 1, 1), 0}};
  Grad tabled;
  Apply(tabled.g, easedIn, 0);
  {
    HostCurvesAlways always;
    ExpectModelColorsForRandomLayouts(20);
    Grad called;
    Apply(called.g, easedIn, 0);
    int differ = 0;
    std::vector<Point3> row(sweep.size());
    ASSERT_EQ(called->GetColors(row.data(), sweep.data(), (int)sweep.size(), 0), 1);
    for (size_t i = 0; i < sweep.size(); i++) {
      Point3 a, b;
      called->GetColor(a, sweep[i], 0);
      tabled->GetColor(b, sweep[i], 0);
      differ += a.x != b.x;
      EXPECT_EQ(memcmp(&a, &row[i], sizeof a), 0) << sweep[i];
    }
    EXPECT_GT(differ, 0) << "the host's curve itself, not the table";
    // Drawing: each pixel is the curve at its step, truncated to a byte.
    const int kWidth = 200;
    std::vector<BMM_Color_24> px(kWidth);
    ASSERT_EQ(called->Render(px.data(), 0, kWidth, 1, 1.0f, 0), 1);
    for (int x = 0; x < kWidth; x++) {
      int want = (int)(bias(0.35f, (float)x / kWidth) * 255.0f);
      EXPECT_NEAR(px[x].r, want, 1) << x;
    }
  }
}

// Eased spans stay within a few float steps of the host's curves and at most a rounding step
// from rising everywhere, also at the joins of the library's curve pieces (eighths), where
// rounding is tightest; a row evaluated at once gives the same bits as sample by sample.
TEST(Lookup, EasedSpansFollowTheHostCurvesClosely) {
  Grad g;
  std::vector<float> us;
  for (int i = 0; i <= 100000; i++) us.push_back((float)i / 100000.0f);
  const int kJoins = 64;  // every join of the pieces, and more
  for (int k = 1; k < kJoins; k++) {
    float join = (float)k / kJoins;
    us.insert(us.end(), {nextafterf(join, 0.0f), join, nextafterf(join, 1.0f)});
  }
  std::sort(us.begin(), us.end());
  const float kRoundingStep = 1.2e-7f;  // two float steps just below 1
  for (int type = 1; type <= 3; type++) {
    Apply(g.g, {{0.0f, Point3(0, 0, 0), 0}, {1.0f, Point3(1, 1, 1), 0}}, type);
    float worst = 0.0f, last = 0.0f, fall = 0.0f;
    std::vector<std::vector<Point3>> rows = RowsOfEachEvaluator(g.g, us);
    int differ = 0;
    for (size_t i = 0; i < us.size(); i++) {
      float u = us[i], want = type == 2 ? HostEaseInOut(u) : bias(type == 1 ? 0.35f : 0.65f, u);
      Point3 c;
      g.g->GetColor(c, u, 0);
      worst = std::max(worst, fabsf(c.x - want));
      fall = std::max(fall, last - c.x);
      last = c.x;
      for (const std::vector<Point3>& row : rows) differ += memcmp(&c, &row[i], sizeof c) != 0;
    }
    EXPECT_LT(worst, 3e-7f) << "type " << type;
    EXPECT_LE(fall, kRoundingStep) << "type " << type;
    EXPECT_EQ(differ, 0) << "type " << type;
    Point3 end;
    g.g->GetColor(end, 0.99999994f, 0);
    EXPECT_LE(end.x, 1.0f) << "type " << type;
  }
}

namespace {
struct Jumper {
  JGradCtlData* g;
  std::atomic<bool>* stop;
  std::atomic<long> samples;
};

unsigned __stdcall Jump(void* p) {
  Jumper* j = static_cast<Jumper*>(p);
  Random rnd(12345);
  for (; !j->stop->load(std::memory_order_acquire); j->samples.fetch_add(1, std::memory_order_relaxed)) {
    Point3 c;
    j->g->GetColor(c, rnd.Uniform(), 0);  // nearly every sample moves the hint to another span
  }
  return 0;
}
}  // namespace

// A reader moving the hint while the interface thread changes the colours must never put back
// a span of a replaced cache: right after each change the new colours are what everyone reads.
TEST(Lookup, AReaderNeverBringsBackAReplacedCache) {
  Grad g;
  std::vector<Flag> flags;
  for (int i = 0; i < 8; i++) flags.push_back({(float)i / 7.0f, Point3(0, 0, 0), 3});
  Apply(g.g, flags, 0);
  std::atomic<bool> stop{false};
  Jumper jumper{g.g, &stop, {0}};
  HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Jump, &jumper, 0, nullptr));
  while (jumper.samples < 100) Sleep(0);  // the reader is running before the colours change
  long before = jumper.samples;
  int stale = 0;
  for (int round = 1; round <= 3000 && stale < 5; round++) {
    float grey = (float)(round % 1000) / 1000.0f;
    Point3 c(grey, grey, grey);
    for (int i = 0; i < 8; i++) g.g->GetFlag(i)->SetColor(0, c);
    for (float p : {0.05f, 0.5f, 0.95f, 0.3f}) {
      Point3 got;
      g.g->GetColor(got, p, 0);
      if (fabsf(got.x - grey) > 1e-6f) {
        stale++;
        ADD_FAILURE() << "round " << round << " at " << p << ": " << got.x << " instead of " << grey;
      }
    }
  }
  stop.store(true, std::memory_order_release);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  EXPECT_GT(jumper.samples, before) << "the reader ran while the colours changed";
}
