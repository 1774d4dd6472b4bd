// The blur's instruction-set variants against the one-lane step they vectorise. The library runs
// only the variant that suits the processor; this checks every variant the processor can run.
#include "ImagingTest.h"
#include "JBlurKernel.h"

#include <gtest/gtest.h>

#include <math.h>

using imgtest::Random;
using namespace jblur;

namespace {

struct Variant {
  const char* name;
  StripKernel strip;
  StepKernel step;
  bool runs;
};

std::vector<Variant> Variants() {
  __builtin_cpu_init();
  return {{"SSE2", BlurStripSse2, StepSse2, true},
          {"AVX2", BlurStripAvx2, StepAvx2, __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")}};
}

// The strip blurred one lane and one step at a time.
std::vector<float> StripOneLaneAtATime(const std::vector<float>& in, int n, const Window& w) {
  std::vector<float> out(in.size());
  double sums[kStrip];
  FirstSums(sums, kStrip, w, n, [&](int64_t j) { return &in[(size_t)j * kStrip]; });
  for (int64_t i = 0; i < n; i++) {
    const float* a = &in[(size_t)Clamp(i + w.a1 + 1, 0, n - 1) * kStrip];
    const float* b = &in[(size_t)Clamp(i + w.a2 + 1, 0, n - 1) * kStrip];
    StepTail(&out[(size_t)i * kStrip], a, b, sums, 0, kStrip, w);
  }
  return out;
}

}  // namespace

TEST(JBlurKernels, StepsAgreeWithTheOneLaneStepForEveryLaneCount) {
  Random rnd(31);
  for (const Variant& v : Variants()) {
    if (!v.runs) continue;
    for (int lanes : {1, 3, 4, 7, 8, 13, 1029})
      for (float r : {0.4f, 1.0f, 9.5f}) {
        const Window w = MakeWindow(r);
        std::vector<float> a(lanes), b(lanes), got(lanes), want(lanes);
        std::vector<double> sums(lanes), expected(lanes);
        for (int c = 0; c < lanes; c++) {
          a[c] = rnd.Unit();
          b[c] = rnd.Unit();
          sums[c] = expected[c] = (r + 1) * rnd.Unit();
        }
        v.step(got.data(), a.data(), b.data(), sums.data(), lanes, w);
        StepTail(want.data(), a.data(), b.data(), expected.data(), 0, lanes, w);
        for (int c = 0; c < lanes; c++) {
          ASSERT_NEAR(got[c], want[c], 1e-6) << v.name << " lanes " << lanes << " lane " << c;
          ASSERT_EQ(sums[c], expected[c]) << v.name << " lanes " << lanes << " lane " << c;
        }
      }
  }
}

TEST(JBlurKernels, StripsAgreeWithOneLaneAtATime) {
  Random rnd(37);
  for (const Variant& v : Variants()) {
    if (!v.runs) continue;
    for (int n : {1, 2, 5, 64, 301})
      for (float r : {0.4f, 1.0f, 2.0f, 17.3f, 900.0f}) {
        const Window w = MakeWindow(r);
        std::vector<float> in((size_t)n * kStrip), got(in.size());
        for (float& f : in) f = rnd.Unit();
        v.strip(in.data(), got.data(), n, w);
        std::vector<float> want = StripOneLaneAtATime(in, n, w);
        for (size_t i = 0; i < in.size(); i++)
          ASSERT_NEAR(got[i], want[i], 1e-6) << v.name << " n " << n << " radius " << r << " at " << i;
      }
  }
}
