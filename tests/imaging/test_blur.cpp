// The float-mask blur against its definition: prefix sums in double precision, a cumulative
// function interpolated between them, and the difference of two of its values per output. Its
// instruction-set variants are checked against the one-lane step they vectorise: the library runs
// only the variant that suits the processor, so every variant the processor can run is tried here.
#include "ImagingTest.h"
#include "JBlurKernel.h"

#include <gtest/gtest.h>

#include <math.h>

using imgtest::Random;

namespace {

// One-dimensional blur of n consecutive values, as defined, into out at the given stride.
void BlurByDefinition(const float* in, float* out, int n, size_t stride, float r) {
  std::vector<double> S(n);
  S[0] = in[0];
  for (int i = 1; i < n; i++) S[i] = S[i - 1] + in[i];
  const double L = in[n - 1];
  const float k = r + 1.0f;
  const float half = k * 0.5f;
  const double inv = 1.0 / k;
  auto F = [&](double p) {
    if (p <= 0) return (p + 1) * S[0];
    if (p >= n - 1) return (p - (n - 1)) * L + S[n - 1];
    int j = (int)p;
    return S[j] + (p - j) * (S[j + 1] - S[j]);
  };
  for (int i = 0; i < n; i++) {
    double v = (F(i + (double)half - 0.5) - F(i - (double)half - 0.5)) * inv;
    out[(size_t)i * stride] = (float)(v < 0 ? 0 : v > 1 ? 1 : v);
  }
}

// The whole blur as defined: rows of src into dst, then columns of dst in place.
void JBlurByDefinition(float* dst, const float* src, int w, int h, float rx, float ry) {
  if (rx > 0)
    for (int y = 0; y < h; y++) BlurByDefinition(src + (size_t)y * w, dst + (size_t)y * w, w, 1, rx);
  if (ry > 0 && w > 0)
    for (int x = 0; x < w; x++) {
      std::vector<float> column(h);
      for (int y = 0; y < h; y++) column[y] = dst[(size_t)y * w + x];
      BlurByDefinition(column.data(), dst + x, h, w, ry);
    }
}

std::vector<float> RandomMask(int n, Random& rnd) {
  std::vector<float> v(n);
  for (float& f : v) f = rnd.Unit();
  return v;
}

double MaxDifference(const std::vector<float>& a, const std::vector<float>& b) {
  double worst = 0;
  for (size_t i = 0; i < a.size(); i++) worst = fmax(worst, fabs((double)a[i] - (double)b[i]));
  return worst;
}

struct Variant {
  const char* name;
  jblur::StripKernel strip;
  jblur::StepKernel step;
};

// The variants this processor can run.
std::vector<Variant> Variants() {
  __builtin_cpu_init();
  std::vector<Variant> v = {{"SSE2", jblur::BlurStripSse2, jblur::StepSse2}};
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
    v.push_back({"AVX2", jblur::BlurStripAvx2, jblur::StepAvx2});
  return v;
}

// The strip blurred one lane and one step at a time.
std::vector<float> StripOneLaneAtATime(const std::vector<float>& in, int n, const jblur::Window& w) {
  const int lanes = jblur::kStrip;
  std::vector<float> out(in.size());
  double sums[lanes];
  jblur::FirstSums(sums, lanes, w, n, [&](int64_t j) { return &in[(size_t)j * lanes]; });
  for (int64_t i = 0; i < n; i++) {
    const float* a = &in[(size_t)jblur::Clamp(i + w.a1 + 1, 0, n - 1) * lanes];
    const float* b = &in[(size_t)jblur::Clamp(i + w.a2 + 1, 0, n - 1) * lanes];
    jblur::StepTail(&out[(size_t)i * lanes], a, b, sums, 0, lanes, w);
  }
  return out;
}

}  // namespace

TEST(JBlur, AgreesWithTheDefinitionAcrossSizesAndRadiiAlsoInPlace) {
  Random rnd(21);
  // Small and odd shapes, a power-of-two width, one wider than a column block, and one whose
  // column blocks narrow for long windows (ending in a partial block).
  const int shapes[][2] = {{1, 1}, {1, 9}, {9, 1}, {2, 2}, {7, 5}, {33, 17}, {64, 64}, {100, 3}, {1300, 4}, {400, 300}};
  const float radii[] = {0.3f, 1.0f, 1.5f, 2.0f, 5.0f, 25.7f, 100.0f, 5000.0f, 1e6f};
  for (auto& s : shapes)
    for (float rx : radii)
      for (float ry : {0.0f, 0.8f, 3.0f, 60.5f, 1e6f}) {
        const int w = s[0], h = s[1];
        std::vector<float> src = RandomMask(w * h, rnd), got(w * h, 0.5f), want(w * h, 0.5f), inPlace = src;
        ASSERT_EQ(JBlur(got.data(), src.data(), w, h, rx, ry), 1);
        JBlurByDefinition(want.data(), src.data(), w, h, rx, ry);
        ASSERT_LE(MaxDifference(got, want), 1e-6) << w << "x" << h << " radii " << rx << ", " << ry;
        ASSERT_EQ(JBlur(inPlace.data(), inPlace.data(), w, h, rx, ry), 1);
        ASSERT_EQ(MaxDifference(got, inPlace), 0.0) << "in place, " << w << "x" << h << " radii " << rx << ", " << ry;
      }
}

TEST(JBlur, WorkedRowsAndColumnsAtRadiusOne) {
  // Neighbours weigh a quarter and the value itself a half; at the edges the first and last
  // values continue; results are clamped to [0, 1] after blurring (1.75 and -0.75 in the middle).
  const std::vector<float> rows[][2] = {{{0.0f, 0.8f, 0.2f, 0.4f, 1.0f, 0.0f}, {0.2f, 0.45f, 0.4f, 0.5f, 0.6f, 0.25f}},
                                        {{3.0f, 3.0f, -2.0f, -2.0f}, {1.0f, 1.0f, 0.0f, 0.0f}}};
  for (auto& r : rows) {
    std::vector<float> in = r[0], out(in.size());
    ASSERT_EQ(JBlur(out.data(), in.data(), (unsigned)in.size(), 1, 1.0f, 0.0f), 1);
    for (size_t i = 0; i < in.size(); i++) EXPECT_NEAR(out[i], r[1][i], 1e-7) << in.size() << " values, at " << i;
  }

  // The column pass reads the destination, even without a row pass.
  const int w = 3, h = 5;
  std::vector<float> src(w * h, 1.0f), dst(w * h, 0.0f);
  dst[2 * w + 1] = 1.0f;  // a single dot in the middle of column 1
  ASSERT_EQ(JBlur(dst.data(), src.data(), w, h, 0.0f, 1.0f), 1);
  EXPECT_NEAR(dst[1 * w + 1], 0.25, 1e-7);
  EXPECT_NEAR(dst[2 * w + 1], 0.5, 1e-7);
  EXPECT_NEAR(dst[3 * w + 1], 0.25, 1e-7);
  EXPECT_EQ(dst[2 * w + 0], 0.0f) << "src was not read";

  // No pass at all: dst is not written and the answer is 1.
  std::vector<float> before = dst;
  EXPECT_EQ(JBlur(dst.data(), src.data(), w, h, 0.0f, -1.0f), 1);
  EXPECT_EQ(dst, before);
}

TEST(JBlurKernels, StepsAgreeWithTheOneLaneStepForEveryLaneCount) {
  Random rnd(31);
  for (const Variant& v : Variants())
    for (int lanes : {1, 3, 4, 7, 8, 13, 1029})
      for (float r : {0.4f, 1.0f, 9.5f}) {
        const jblur::Window w = jblur::MakeWindow(r);
        std::vector<float> a(lanes), b(lanes), got(lanes), want(lanes);
        std::vector<double> sums(lanes), expected(lanes);
        for (int c = 0; c < lanes; c++) {
          a[c] = rnd.Unit();
          b[c] = rnd.Unit();
          sums[c] = expected[c] = (r + 1) * rnd.Unit();
        }
        v.step(got.data(), a.data(), b.data(), sums.data(), lanes, w);
        jblur::StepTail(want.data(), a.data(), b.data(), expected.data(), 0, lanes, w);
        for (int c = 0; c < lanes; c++) {
          ASSERT_NEAR(got[c], want[c], 1e-6) << v.name << " lanes " << lanes << " lane " << c;
          ASSERT_EQ(sums[c], expected[c]) << v.name << " lanes " << lanes << " lane " << c;
        }
      }
}

TEST(JBlurKernels, StripsAgreeWithOneLaneAtATime) {
  Random rnd(37);
  for (const Variant& v : Variants())
    for (int n : {1, 2, 5, 64, 301})
      for (float r : {0.4f, 1.0f, 2.0f, 17.3f, 900.0f}) {
        const jblur::Window w = jblur::MakeWindow(r);
        std::vector<float> in((size_t)n * jblur::kStrip), got(in.size());
        for (float& f : in) f = rnd.Unit();
        v.strip(in.data(), got.data(), n, w);
        std::vector<float> want = StripOneLaneAtATime(in, n, w);
        for (size_t i = 0; i < in.size(); i++)
          ASSERT_NEAR(got[i], want[i], 1e-6) << v.name << " n " << n << " radius " << r << " at " << i;
      }
}
