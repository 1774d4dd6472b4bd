// The image view's worker: updates after the first run on it, bursts of requests fold into one
// computation with the latest time, aborting waits for a worker that is inside a message sent to
// the interface thread, faults are trapped on the worker too, and destruction at any moment
// leaves no thread, no image and no lock behind.
#include "Random.h"
#include "TestSupport.h"
#include "ViewWndTest.h"

#include <malloc.h>

#include <atomic>

using namespace viewtest;
using quortest::ThreadsInProcess;

namespace {

double NowMs() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return 1000.0 * (double)t.QuadPart / (double)freq.QuadPart;
}

// A render function that takes its time, asking the window whether to stop and reporting
// progress as it goes; it draws the time into every pixel's blue byte.
struct SlowRender {
  struct Call {
    int time;
    DWORD thread;
    bool finished;
    double startMs, endMs;
  };
  JCriticalSection lock;
  std::vector<Call> calls;  // under lock
  std::atomic<int> durationMs{100};  // set by the test, read by the worker
  std::atomic<bool> ignoresAbort{false};  // a render that never asks whether to stop
  std::vector<Call> Calls() {
    JLock hold(lock);
    return calls;
  }
};

int Slow(BMM_Color_24* out, void* user, int time, int width, int height, float, HWND window) {
  SlowRender* r = static_cast<SlowRender*>(user);
  const double start = NowMs();
  bool finished = true;
  const int duration = r->durationMs.load();
  for (double elapsed = 0; elapsed < duration; elapsed = NowMs() - start) {
    int stop = 0;
    if (!r->ignoresAbort.load()) SendMessageA(window, JWM_QUERYABORT, 0, (LPARAM)&stop);
    if (stop) {
      finished = false;
      break;
    }
    SendMessageA(window, JWM_PROGRESS, (WPARAM)elapsed, (LPARAM)duration);
    Sleep(2);
  }
  for (int i = 0; i < width * height; i++) out[i] = BMM_Color_24{0, 0, (BYTE)time};
  JLock hold(r->lock);
  r->calls.push_back({time, GetCurrentThreadId(), finished, start, NowMs()});
  return finished ? 1 : 0;
}

// Bytes the runtime's heap holds for live allocations.
size_t HeapInUse() {
  _HEAPINFO info;
  info._pentry = nullptr;
  size_t used = 0;
  while (_heapwalk(&info) == _HEAPOK)
    if (info._useflag == _USEDENTRY) used += info._size;
  return used;
}

const int kW = 32, kH = 16;
const DWORD kSettleMs = 3000;  // time allowed for a worker to finish in these tests

ProbeView* ThreadedView(Bench& b, JViewRenderFunc f, void* user) {
  ProbeView* v = b.Attach(ProbeView::Make(b.data));
  v->SetRender(f, user);
  v->SetUpdateFlags(JVWF_THREAD | JVWF_PROGRESS);
  return v;
}

bool WorkerEnds(ProbeView* v) {
  return quortest::ControlDriver::PumpUntil([v] { return !v->HasWorker(); }, kSettleMs);
}

}  // namespace

// A fault in the render function on the worker is trapped: the worker's code says so, the image
// stays, and the next update works.
TEST(ViewWndWorker, UpdatesAfterTheFirstRunOnAWorkerThatEndsByItselfAndTrapsFaults) {
  Bench b(kW, kH);
  SlowRender render;
  render.durationMs = 10;
  ProbeView* v = ThreadedView(b, Slow, &render);
  const int threads = ThreadsInProcess();
  v->UpdateView(1, nullptr);
  EXPECT_FALSE(v->HasWorker()) << "the first update runs on the calling thread";
  v->UpdateView(2, nullptr);
  EXPECT_TRUE(v->HasWorker());
  ASSERT_TRUE(WorkerEnds(v));
  EXPECT_EQ(v->WorkerExitCode(kSettleMs), JViewWnd::kInstalled);
  std::vector<SlowRender::Call> calls = render.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].thread, GetCurrentThreadId());
  EXPECT_NE(calls[1].thread, GetCurrentThreadId());
  EXPECT_EQ(calls[1].time, 2);
  EXPECT_EQ(v->Image()[0].b, 2);
  EXPECT_EQ(ThreadsInProcess(), threads);

  v->SetRender(FaultingRender, nullptr);
  v->UpdateView(3, nullptr);
  ASSERT_TRUE(WorkerEnds(v));
  EXPECT_EQ(v->WorkerExitCode(kSettleMs), JViewWnd::kFaulted);
  EXPECT_EQ(v->Image()[0].b, 2);
  v->SetRender(Slow, &render);
  v->UpdateView(4, nullptr);
  ASSERT_TRUE(WorkerEnds(v));
  EXPECT_EQ(v->Image()[0].b, 4);
  v->Destroy();
}

TEST(ViewWndWorker, TwoRequestsDuringAComputationGiveOneRecomputationWithTheSecondTime) {
  Bench b(kW, kH);
  SlowRender render;
  ProbeView* v = ThreadedView(b, Slow, &render);
  v->UpdateView(1, nullptr);
  v->UpdateView(2, nullptr);
  PumpFor(30);
  v->UpdateView(3, nullptr);
  PumpFor(50);
  v->UpdateView(4, nullptr);
  ASSERT_TRUE(WorkerEnds(v));
  std::vector<SlowRender::Call> calls = render.Calls();
  ASSERT_EQ(calls.size(), 3u) << "the first, the aborted one and one recomputation";
  EXPECT_EQ(calls[1].time, 2);
  EXPECT_FALSE(calls[1].finished) << "the running computation is aborted";
  EXPECT_EQ(calls[2].time, 4);
  EXPECT_TRUE(calls[2].finished);
  EXPECT_EQ(v->Image()[0].b, 4);
  v->Destroy();
}

// A restart always waits its full time before computing again, also when the computation that
// was asked to stop ignored it and ran on long after the request.
TEST(ViewWndWorker, ARestartWaitsItsFullTimeAfterAComputationThatIgnoredTheStop) {
  const double kRestartWaitMs = 200.0, kTimerSlackMs = 20.0;
  Bench b(kW, kH);
  SlowRender render;
  render.durationMs = 300;
  render.ignoresAbort = true;
  ProbeView* v = ThreadedView(b, Slow, &render);
  v->UpdateView(1, nullptr);  // synchronous
  v->UpdateView(2, nullptr);
  PumpFor(30);
  v->UpdateView(3, nullptr);
  ASSERT_TRUE(WorkerEnds(v));
  std::vector<SlowRender::Call> calls = render.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(calls[1].finished) << "the render never asked";
  EXPECT_EQ(calls[2].time, 3);
  EXPECT_GE(calls[2].startMs - calls[1].endMs, kRestartWaitMs - kTimerSlackMs);
  v->Destroy();
}

TEST(ViewWndWorker, AbortUpdateServesTheWorkersMessagesWhileItWaits) {
  Bench b(kW, kH);
  SlowRender render;
  ProbeView* v = ThreadedView(b, Slow, &render);
  render.durationMs = 0;
  v->UpdateView(1, nullptr);
  render.durationMs = 60000;  // ends only when asked to
  const int threads = ThreadsInProcess();
  v->UpdateView(2, nullptr);
  PumpFor(20);
  // The worker is now (or soon) blocked in a message to this thread, which does not pump.
  const double start = NowMs();
  v->AbortUpdate();
  EXPECT_LT(NowMs() - start, 1000.0);
  EXPECT_FALSE(v->HasWorker());
  EXPECT_EQ(v->WorkerExitCode(kSettleMs), JViewWnd::kRenderFailed);
  EXPECT_EQ(ThreadsInProcess(), threads) << "the worker has ended";
  EXPECT_EQ(v->Image()[0].b, 1) << "the first image stays";
  EXPECT_EQ(v->Abort(), 0) << "the abort value is reset";
  // The view still works afterwards.
  render.durationMs = 5;
  v->UpdateView(3, nullptr);
  ASSERT_TRUE(WorkerEnds(v));
  EXPECT_EQ(v->Image()[0].b, 3);
  v->Destroy();
}

TEST(ViewWndWorker, ThousandBurstsWithAbortAndDestructionAtRandomMomentsLeaveNothingBehind) {
  const int kCycles = 1000;
  const int kW2 = 48, kH2 = 40;  // a leaked image is 5,760 bytes
  const size_t kImageBytes = (size_t)kW2 * kH2 * sizeof(BMM_Color_24);
  Bench b(kW2, kH2);
  SlowRender render;
  quortest::Random rnd(2026);

  // The heap walk sees allocations: a block of an image's size shows.
  const size_t before = HeapInUse();
  void* volatile probe = malloc(kImageBytes);
  ASSERT_GE(HeapInUse(), before + kImageBytes);
  free(probe);

  auto cycle = [&](int i) {
    render.durationMs = 0;
    ProbeView* v = ThreadedView(b, Slow, &render);
    v->SetUpdatePriority(rnd.Below(2) ? THREAD_PRIORITY_BELOW_NORMAL : THREAD_PRIORITY_NORMAL);
    v->SetResolution(b.data, rnd.Below(3), rnd.Below(2));
    v->UpdateView(0, nullptr);
    render.durationMs = 1 + rnd.Below(8);
    const int burst = 1 + rnd.Below(4);
    for (int k = 0; k < burst; k++) {
      v->UpdateView(i * 10 + k, nullptr);
      if (rnd.Below(4) == 0) v->AbortUpdate();
      PumpFor((DWORD)rnd.Below(6));
    }
    *b.dialog -= v;
    v->Destroy();  // whatever the worker is doing
  };
  cycle(0);  // the runtime's own first-use allocations and threads settle here
  const int threads = ThreadsInProcess();
  const size_t heap = HeapInUse();
  for (int i = 1; i <= kCycles; i++) cycle(i);
  render.calls.clear();
  render.calls.shrink_to_fit();
  EXPECT_EQ(ThreadsInProcess(), threads);
  EXPECT_LT(HeapInUse(), heap + kImageBytes) << "an image or a worker's memory was left behind";
  EXPECT_EQ(GetWinProc(b.window), nullptr);
  EXPECT_EQ(b.data->NumViews(), 0);
}
