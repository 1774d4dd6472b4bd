// Helpers shared by the gradient tests: a gradient held for the length of a test, flags put on
// it from (position, colour, interpolation) triples, image files written through the host, and
// render threads that sample a gradient while the test changes it.
#pragma once

#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <process.h>

#include <atomic>
#include <string>
#include <vector>

namespace gradtest {

const int kDefaultLayout = 119;  // the library's red-to-blue layout resource
const float kLinear = 3, kSolid = 4;  // a flag's interpolation indices

// A gradient held by a reference maker that deletes it with the test.
struct Grad {
  Grad() : Grad(Create_JGradCtlData()) {}
  explicit Grad(JGradCtlData* made) : owner(new quortest::Recorder(1)), g(made) { owner->Hold(g); }
  ~Grad() { owner->DeleteMe(); }
  JGradCtlData* operator->() { return g; }
  quortest::Recorder* owner;
  JGradCtlData* g;
};

// A flag: position, colour and the flag's own interpolation index (0 Ease In .. 4 Solid).
struct Flag {
  float pos;
  Point3 color;
  float interp;
};

// A new flag, not yet in a gradient.
inline JFlagCtlData* NewFlag(const Flag& f) {
  JFlagCtlData* d = Create_JFlagCtlData();
  float pos = f.pos, interp = f.interp;
  Point3 c = f.color;
  d->SetPos(0, pos);
  d->SetColor(0, c);
  d->SetInterp(0, interp);
  return d;
}

// Replaces the gradient's flags.
inline void SetFlags(JGradCtlData* g, const std::vector<Flag>& flags) {
  g->DelAllFlags();
  for (const Flag& f : flags) g->AddFlag(NewFlag(f), "_");
}

// Writes an image file whose pixel (x, y) is (x * 16, y * 16, 255 - x * 16) through the host.
inline std::string WriteImage(const char* name, int width, int height) {
  std::string path = quortest::TempPath(name);
  BitmapInfo bi;
  bi.SetWidth((WORD)width);
  bi.SetHeight((WORD)height);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  for (int y = 0; y < height; y++)
    for (int x = 0; x < width; x++) {
      BMM_Color_64 p = {(WORD)(x * 16 * 257), (WORD)(y * 16 * 257), (WORD)((255 - x * 16) * 257), 65535};
      bm->PutPixels(x, y, 1, &p);
    }
  BitmapInfo out;
  out.SetName(path.c_str());
  EXPECT_EQ(bm->OpenOutput(&out), 1);
  EXPECT_EQ(bm->Write(&out), 1);
  bm->CloseAll();
  bm->DeleteThis();
  return path;
}

inline bool InUnitRange(const Point3& c) {
  for (int k = 0; k < 3; k++)
    if (!(c[k] >= 0.0f && c[k] <= 1.0f)) return false;
  return true;
}

// A render thread: rows of colours, plain colours and colours at shading points, at positions
// a little past both ends, counting those outside [0, 1]. Plain colours are asked at times
// ticksApart apart (0: all at time 0).
struct Sampler {
  JGradCtlData* g;
  std::atomic<bool>* stop;
  int ticksApart;
  std::atomic<long> samples{0};
  long outside = 0;
  static unsigned __stdcall Run(void* p) {
    Sampler* r = static_cast<Sampler*>(p);
    ShadeContext sc;
    const int kRow = 64, kTimes = 64;
    float pos[kRow];
    Point3 row[kRow];
    for (unsigned i = 0; !r->stop->load(std::memory_order_acquire); i++) {
      for (int k = 0; k < kRow; k++) pos[k] = (float)((i + k) % 1013) / 1000.0f - 0.005f;
      r->g->GetColors(row, pos, kRow, 0);
      for (const Point3& c : row) r->outside += !InUnitRange(c);
      Point3 c;
      r->g->GetColor(c, pos[i % kRow], (int)(i % kTimes) * r->ticksApart);
      r->outside += !InUnitRange(c);
      r->g->GetColor(c, pos[(i + 7) % kRow], 0.01f, sc, 0);
      r->outside += !InUnitRange(c);
      r->samples.fetch_add(kRow + 2, std::memory_order_relaxed);
    }
    return 0;
  }
};

// Two render threads on g from construction until Join.
struct Samplers {
  explicit Samplers(JGradCtlData* g, int ticksApart = 0) : r{{g, &stop, ticksApart}, {g, &stop, ticksApart}} {
    for (int k = 0; k < 2; k++)
      threads[k] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Sampler::Run, &r[k], 0, nullptr));
  }
  // Stops the threads and checks what they saw: at least minSamples each, none outside [0, 1].
  void Join(long minSamples = 1) {
    stop.store(true, std::memory_order_release);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE h : threads) CloseHandle(h);
    for (const Sampler& s : r) {
      EXPECT_GE(s.samples, minSamples);
      EXPECT_EQ(s.outside, 0);
    }
  }
  std::atomic<bool> stop{false};
  Sampler r[2];
  HANDLE threads[2];
};

}  // namespace gradtest
