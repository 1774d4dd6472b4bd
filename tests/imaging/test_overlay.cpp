// Overlay compositing against the per-pixel rules written out plainly, and its progress protocol
// with a real window: message order and values, and an abort in the middle of the bands.
#include "ImagingTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <math.h>

#include <atomic>
#include <thread>

using imgtest::Random;
using imgtest::SamePixel;
using quortest::ThreadsInProcess;

namespace {

typedef std::vector<BMM_Color_64> Image;

// The overlay as defined, one pixel at a time, every product truncated on its own.
void OverlayByDefinition(Image& dst, int dw, int dh, const BMM_Color_64* src, int sw, int sh, float x, float y) {
  if (!(-sw <= x && x <= dw && -sh <= y && y <= dh)) return;
  const double downX = floor((double)x), downY = floor((double)y);
  const int x0 = std::max(0, (int)downX + 1), y0 = std::max(0, (int)downY + 1);
  const int x1 = std::min(dw, (int)ceil((double)sw + x) - 1), y1 = std::min(dh, (int)ceil((double)sh + y) - 1);
  const int sx0 = x < 0 ? -1 - (int)downX : 0, sy0 = y < 0 ? -1 - (int)downY : 0;
  const float fx = (float)(x - downX), gx = 1 - fx, fy = (float)(y - downY), gy = 1 - fy;
  const float wff = fy * fx, wfg = fy * gx, wgf = gy * fx, wgg = gy * gx;
  for (int j = 0; j < y1 - y0; j++)
    for (int i = 0; i < x1 - x0; i++) {
      const BMM_Color_64& p00 = src[(size_t)(sy0 + j) * sw + sx0 + i];
      const BMM_Color_64& p10 = src[(size_t)(sy0 + j) * sw + sx0 + i + 1];
      const BMM_Color_64& p01 = src[(size_t)(sy0 + j + 1) * sw + sx0 + i];
      const BMM_Color_64& p11 = src[(size_t)(sy0 + j + 1) * sw + sx0 + i + 1];
      auto sum = [&](WORD BMM_Color_64::*c) {
        return (int)(p00.*c * wff) + (int)(p10.*c * wfg) + (int)(p01.*c * wgf) + (int)(p11.*c * wgg);
      };
      const int A = sum(&BMM_Color_64::a);
      if (A == 0) continue;
      BMM_Color_64& d = dst[(size_t)(y0 + j) * dw + x0 + i];
      const int R = sum(&BMM_Color_64::r), G = sum(&BMM_Color_64::g), B = sum(&BMM_Color_64::b);
      const float k = (65535 - A) * (1.0f / 65535.0f);  // 0 for an opaque neighbourhood
      d = BMM_Color_64{(WORD)((int)(d.r * k) + R), (WORD)((int)(d.g * k) + G), (WORD)((int)(d.b * k) + B),
                       (WORD)((int)(d.a * k) + A)};
    }
}

Image RandomImage(int w, int h, Random& rnd) {
  Image img((size_t)w * h);
  for (BMM_Color_64& p : img) p = rnd.Premultiplied();
  return img;
}

bool SameImage(const Image& a, const Image& b) { return memcmp(a.data(), b.data(), a.size() * sizeof(BMM_Color_64)) == 0; }

// ---- A progress window that records the protocol ----------------------------------------------

struct ProgressMessage {
  UINT msg;
  WPARAM done;
  LPARAM total;
};

struct ProgressState {
  std::vector<ProgressMessage> log;
  int answer = 0;               // written through JWM_QUERYABORT
  HANDLE onQuery = nullptr;     // set after answering JWM_QUERYABORT, when given ...
  DWORD settle = 0;             // ... then this many milliseconds pass before the reply
  HANDLE onProgress = nullptr;  // set at each JWM_PROGRESS, when given
};
ProgressState* progressState = nullptr;

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == JWM_QUERYABORT && progressState) {
    progressState->log.push_back({msg, wp, 0});
    if (lp) *reinterpret_cast<int*>(lp) = progressState->answer;
    if (progressState->onQuery) {
      SetEvent(progressState->onQuery);
      Sleep(progressState->settle);
    }
    return 0;
  }
  if (msg == JWM_PROGRESS && progressState) {
    progressState->log.push_back({msg, wp, lp});
    if (progressState->onProgress) SetEvent(progressState->onProgress);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// ---- Pacing the workers --------------------------------------------------------------------
// The source of the paced tests is one 4 KB page per row, every page a guard page: a worker's
// first read of a row raises a guard-page exception, which this handler turns into a wait while
// the row is one of the gates. So each worker can be held at a known row until the test lets it go.
struct Pacer {
  const char* base = nullptr;
  size_t bytes = 0;
  std::vector<bool> gate;  // per source row
  HANDLE release = nullptr;
  // Workers held so far. The test reads it after Overlay has waited for every worker to end,
  // which orders the workers' increments before the read.
  std::atomic<long> held{0};
};
Pacer pacer;

LONG CALLBACK PaceWorkers(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  if (r->ExceptionCode != STATUS_GUARD_PAGE_VIOLATION || r->NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
  const char* at = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
  if (at < pacer.base || at >= pacer.base + pacer.bytes) return EXCEPTION_CONTINUE_SEARCH;
  size_t row = (size_t)(at - pacer.base) / 4096;
  if (pacer.gate[row]) {
    pacer.held.fetch_add(1, std::memory_order_relaxed);
    WaitForSingleObject(pacer.release, 20000);
  }
  return EXCEPTION_CONTINUE_EXECUTION;  // the guard is gone once raised: the read now succeeds
}

// Bands as the overlay splits its rows: n = min(rows, processors), the first rows % n one longer.
std::vector<int> BandStarts(int rows, int n) {
  std::vector<int> starts;
  for (int t = 0, at = 0; t < n; t++) {
    starts.push_back(at);
    at += rows / n + (t < rows % n ? 1 : 0);
  }
  starts.push_back(rows);
  return starts;
}

}  // namespace

// ---- Pixels ----------------------------------------------------------------------------------

TEST(Overlay, WorkedPixelsOfTheOverOperatorAndPlacementsThatDrawNothing) {
  // A uniform 4 x 4 source over a uniform 6 x 6 destination at (x, y). At an integral place
  // source pixel (i + 1, j + 1) lands on destination (x + 1 + i, y + 1 + j): 2 x 2 pixels change;
  // at (0.5, 0.5) it is 3 x 3. Pixel (2, 2) is covered each time. At or beyond the edges nothing is drawn.
  const BMM_Color_64 white = {65535, 65535, 65535, 65535}, odd = {65535, 40000, 5, 1234};
  const BMM_Color_64 opaque = {1, 2, 3, 65535}, nines = {9, 9, 9, 9};
  const int kept = (int)(65535 * (32767 * (1.0f / 65535.0f)));  // the single-precision factor of A = 32768
  struct Case {
    BMM_Color_64 src, dst;
    float x, y;
    BMM_Color_64 want;
    int changed;
    const char* what;
  } cases[] = {
      {{1003, 0, 65535, 65535}, nines, 0.5f, 0.5f, {1000, 0, 65532, 65532}, 9, "four quarters, each truncated"},
      {{100, 200, 300, 65535}, odd, 1.0f, 1.0f, {100, 200, 300, 65535}, 4, "an opaque neighbourhood replaces"},
      {{0, 0, 0, 0}, odd, 1.0f, 1.0f, odd, 0, "a clear one keeps even a pixel that is not premultiplied"},
      {{1000, 20000, 32768, 32768}, white, 0.0f, 0.0f,
       {(WORD)(kept + 1000), (WORD)(kept + 20000), (WORD)(kept + 32768), (WORD)(kept + 32768)}, 4, "half alpha"},
      {opaque, nines, 6.0f, 0.0f, nines, 0, "at the right edge"},
      {opaque, nines, 0.0f, -4.0f, nines, 0, "at the top edge"},
      {opaque, nines, 6.5f, 1.0f, nines, 0, "beyond the right edge"},
      {opaque, nines, -4.5f, 1.0f, nines, 0, "beyond the left edge"},
      {opaque, nines, 1.0f, 6.01f, nines, 0, "beyond the bottom edge"},
      {opaque, nines, NAN, 0.0f, nines, 0, "not a number"},
  };
  for (const Case& c : cases) {
    Image src(4 * 4, c.src), dst(6 * 6, c.dst);
    ASSERT_EQ(Overlay(dst.data(), 6, 6, src.data(), 4, 4, c.x, c.y, nullptr, 0, 0), 1) << c.what;
    const BMM_Color_64& d = dst[2 * 6 + 2];
    EXPECT_TRUE(SamePixel(d, c.want)) << c.what << ": " << d.r << " " << d.g << " " << d.b << " " << d.a;
    int changed = 0;
    for (const BMM_Color_64& p : dst) changed += !SamePixel(p, c.dst);
    EXPECT_EQ(changed, c.changed) << c.what;
  }
}

TEST(Overlay, EveryPlacementMatchesTheDefinition) {
  Random rnd(99);
  const int dw = 23, dh = 17;
  const int sizes[][2] = {{9, 7}, {23, 17}, {40, 30}, {2, 2}, {1, 5}};
  const float places[][2] = {{0.5f, 0.5f}, {0.0f, 0.0f},   {3.0f, 2.0f},    {2.25f, 7.8f},  {-2.25f, -1.75f},
                             {-0.5f, 3.5f}, {22.5f, 16.5f}, {-8.5f, -6.5f}, {15.9f, -0.1f}, {-39.0f, 0.3f}};
  for (auto& s : sizes)
    for (auto& p : places) {
      const int sw = s[0], sh = s[1];
      Image src = RandomImage(sw, sh, rnd), dst = RandomImage(dw, dh, rnd), want = dst;
      ASSERT_EQ(Overlay(dst.data(), dw, dh, src.data(), sw, sh, p[0], p[1], nullptr, 0, 0), 1);
      OverlayByDefinition(want, dw, dh, src.data(), sw, sh, p[0], p[1]);
      ASSERT_TRUE(SameImage(dst, want)) << sw << "x" << sh << " at " << p[0] << ", " << p[1];
    }
}

// ---- Threads and progress --------------------------------------------------------------------

class OverlayProgress : public testing::Test {
 protected:
  // A source of `rows` rows of 512 pixels, one guard page each, placed at (0.5, 0.5) over a
  // destination of the same size: destination row j + 1 reads source rows j and j + 1.
  static const int kWidth = 512;
  void SetUp() override {
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    n = (int)si.dwNumberOfProcessors;
    srcRows = std::max(65, 8 * n + 1);
    rows = srcRows - 1;
    Random rnd(17);
    pixels = static_cast<BMM_Color_64*>(
        VirtualAlloc(nullptr, (size_t)srcRows * 4096, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    for (int i = 0; i < kWidth * srcRows; i++) pixels[i] = rnd.Premultiplied();
    original = want = dst = RandomImage(kWidth, srcRows, rnd);
    OverlayByDefinition(want, kWidth, srcRows, pixels, kWidth, srcRows, 0.5f, 0.5f);
    starts = BandStarts(rows, std::min(rows, n));

    pacer.base = reinterpret_cast<const char*>(pixels);
    pacer.bytes = (size_t)srcRows * 4096;
    pacer.gate.assign(srcRows, false);
    pacer.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    pacer.held.store(0, std::memory_order_relaxed);
    handler = AddVectoredExceptionHandler(1, PaceWorkers);
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
    progressState = nullptr;
    RemoveVectoredExceptionHandler(handler);
    SetEvent(pacer.release);
    CloseHandle(pacer.release);
    VirtualFree(pixels, 0, MEM_RELEASE);
  }
  // Holds every worker when it begins band row `stop` (it has then counted `stop` rows).
  void GateEveryBandAt(int stop) {
    for (size_t b = 0; b + 1 < starts.size(); b++) pacer.gate[starts[b] + stop + 1] = true;
    DWORD old;
    VirtualProtect(pixels, (size_t)srcRows * 4096, PAGE_READWRITE | PAGE_GUARD, &old);
  }
  // A window that records the protocol into state.
  HWND Window(ProgressState& state) {
    progressState = &state;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorTestProgress";
    RegisterClassA(&wc);
    return window = CreateWindowA(wc.lpszClassName, "progress", WS_OVERLAPPED, 0, 0, 100, 20, nullptr, nullptr,
                                  wc.hInstance, nullptr);
  }
  bool RowIs(const Image& img, int row) {
    return memcmp(&dst[(size_t)row * kWidth], &img[(size_t)row * kWidth], kWidth * sizeof(BMM_Color_64)) == 0;
  }
  int Expected(int rowsDone, float from, float to, int dh) {
    return (int)(((int)(rowsDone * (to - from) / dh) + from) * 1024);
  }

  int n = 1, srcRows = 0, rows = 0;
  BMM_Color_64* pixels = nullptr;
  Image dst, original, want;
  std::vector<int> starts;
  void* handler = nullptr;
  HWND window = nullptr;
};

TEST_F(OverlayProgress, ReportsQueryThenProgressEveryHalfSecondAndFinishes) {
  const int stop = 3;
  GateEveryBandAt(stop);
  ProgressState state;
  state.onProgress = pacer.release;  // the first progress message lets the workers go on
  ASSERT_NE(Window(state), nullptr);
  ASSERT_EQ(Overlay(dst.data(), kWidth, srcRows, pixels, kWidth, srcRows, 0.5f, 0.5f, window, 8.0f, 0.0f), 1);

  const int bands = (int)starts.size() - 1;
  EXPECT_EQ(pacer.held.load(std::memory_order_relaxed), bands) << "every worker was held once";
  ASSERT_GE(state.log.size(), 2u);
  // progressTo 0 stands for the destination height.
  EXPECT_EQ((int)state.log[1].done, Expected(stop * bands, 8.0f, (float)srcRows, srcRows));
  EXPECT_EQ((int)state.log[1].total, srcRows * 1024);
  for (size_t i = 0; i < state.log.size(); i++)
    EXPECT_EQ(state.log[i].msg, (UINT)(i % 2 ? JWM_PROGRESS : JWM_QUERYABORT)) << i;
  EXPECT_TRUE(SameImage(dst, want)) << "answering 0 lets every band finish";
}

TEST_F(OverlayProgress, AbortStopsEachBandAfterTheRowItWasWritingAndLeavesNoThread) {
  const int stop = 3;
  GateEveryBandAt(stop);
  ProgressState state;
  state.answer = -1;
  // The workers go on at once and have ended their rows before the progress is read.
  state.onQuery = pacer.release;
  state.settle = 300;
  ASSERT_NE(Window(state), nullptr);
  const int threadsBefore = ThreadsInProcess();
  ASSERT_EQ(Overlay(dst.data(), kWidth, srcRows, pixels, kWidth, srcRows, 0.5f, 0.5f, window, 0.0f, 32.0f), 1);
  EXPECT_EQ(ThreadsInProcess(), threadsBefore) << "every worker has ended when Overlay returns";

  const int bands = (int)starts.size() - 1;
  ASSERT_EQ(state.log.size(), 2u) << "one slice timed out; the stopped workers ended within the next";
  EXPECT_TRUE(state.log[0].msg == JWM_QUERYABORT && state.log[1].msg == JWM_PROGRESS);
  // The row each worker was writing when told to stop is finished but not counted.
  EXPECT_EQ((int)state.log[1].done, Expected(stop * bands, 0.0f, 32.0f, srcRows));
  EXPECT_EQ((int)state.log[1].total, 32 * 1024);
  // Destination row 0 is never covered; band rows start at destination row 1.
  EXPECT_TRUE(RowIs(original, 0));
  for (int b = 0; b < bands; b++)
    for (int j = starts[b]; j < starts[b + 1]; j++) {
      // The counted rows plus the one in progress when the abort came are whole; none after.
      const bool written = j - starts[b] <= stop;
      EXPECT_TRUE(RowIs(written ? want : original, j + 1)) << "band " << b << " row " << j - starts[b];
    }
}

TEST_F(OverlayProgress, WithoutAWindowNothingIsSentAndNothingStops) {
  GateEveryBandAt(2);
  // Let the workers through after more than one slice, from a helper thread: nobody else would.
  std::thread opener([] {
    Sleep(700);
    SetEvent(pacer.release);
  });
  EXPECT_EQ(Overlay(dst.data(), kWidth, srcRows, pixels, kWidth, srcRows, 0.5f, 0.5f, nullptr, 0.0f, 0.0f), 1);
  opener.join();
  EXPECT_TRUE(SameImage(dst, want));
}
