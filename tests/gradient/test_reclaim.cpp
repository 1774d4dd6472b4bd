// What render threads may rely on while the interface thread changes a gradient: memory that
// stays flat however often the cache is rebuilt, textures that are never called after they
// are deleted, and bitmap sizes that are refused rather than allocated short.
#include "GradTest.h"
#include "JGradInternal.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <math.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <vector>

using gradtest::Grad;
using gradtest::kLinear;
using gradtest::kSolid;
using gradtest::Samplers;
using gradtest::SetFlags;

namespace {

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  EXPECT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc));
  // Wine answers the committed private bytes as the page-file usage and leaves PrivateUsage 0.
  size_t bytes = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
  EXPECT_GT(bytes, 0u);
  return bytes;
}

}  // namespace

// An animated gradient updated for every frame of a long render keeps its memory flat while two
// threads read it: each rebuild frees the caches no reader holds any more.
TEST(Reclaim, AnimatedUpdatesKeepMemoryFlatWhileThreadsRead) {
  Grad g;
  SetFlags(g.g, {{0.0f, Point3(1, 0, 0), kLinear}, {0.5f, Point3(0, 0, 1), 0}, {1.0f, Point3(0, 1, 0), kSolid}});
  const int kFrames = 100000, kSettle = 1000, kTicks = GetTicksPerFrame();
  AnimateOn();
  Point3 from(1, 0, 0), to(0, 1, 1);
  g->GetFlag(0)->SetColor(0, from);
  g->GetFlag(0)->SetColor(kFrames * kTicks, to);
  AnimateOff();
  Samplers readers(g.g);
  // The readers settle in (their first calls set up what a thread keeps) before the frames run.
  while (readers.r[0].samples < kSettle * 100 || readers.r[1].samples < kSettle * 100) Sleep(1);
  size_t settled = 0;
  for (int frame = 0; frame < kFrames; frame++) {
    Interval valid = FOREVER;
    g->Update(frame * kTicks, valid);
    if (frame == kSettle) settled = PrivateBytes();
  }
  size_t after = PrivateBytes();
  readers.Join();  // each read something, all in range
  printf("private bytes after %d frames: %zu, after %d frames: %zu\n", kSettle, settled, kFrames, after);
  RecordProperty("PrivateBytesSettled", (int)(settled / 1024));
  RecordProperty("PrivateBytesAfter", (int)(after / 1024));
  const size_t kMegabyte = 1 << 20;
  EXPECT_LE(after, settled + kMegabyte);
  // The last frame's colour is what every thread reads now.
  Point3 c;
  g->GetColor(c, 0.0f, (kFrames - 1) * kTicks);
  EXPECT_NEAR(c.x, 1.0f / kFrames, 1e-4);
}

namespace {

// A texture that poisons itself when deleted; its memory is kept readable until the end of the
// test, so that a call after the deletion shows as a poisoned call rather than as a fault. (The
// compiler takes a delete that keeps the memory for a mismatch.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
const uint32_t kAlive = 0x600DF00D, kDead = 0xDEADDEAD;
std::atomic<long> poisonedCalls{0}, deaths{0};
std::mutex graveyardLock;
std::vector<void*> graveyard;

class PoisonMap : public Texmap {
 public:
  explicit PoisonMap(float green) : green(green) {}
  ~PoisonMap() override {
    state.store(kDead, std::memory_order_release);
    deaths++;
  }
  static void* operator new(size_t n) { return malloc(n); }
  static void operator delete(void* p) {
    std::lock_guard<std::mutex> l(graveyardLock);
    graveyard.push_back(p);
  }
  Class_ID ClassID() override { return Class_ID(0x504F4953, 1); }
  AColor EvalColor(ShadeContext&) override {
    if (state.load(std::memory_order_acquire) != kAlive) poisonedCalls++;
    return AColor(0.0f, green, 0.0f, 1.0f);
  }
  std::atomic<uint32_t> state{kAlive};
  float green;
};

void EmptyGraveyard() {
  std::lock_guard<std::mutex> l(graveyardLock);
  for (void* p : graveyard) free(p);
  graveyard.clear();
}

}  // namespace

// Replacing and removing a flag's texture while two threads sample at shading points: the cache
// is stale at once (the next sample shows the new texture without an Update), and no sample
// ever calls a texture that has been deleted.
TEST(Reclaim, ReplacedTexturesAreNeverCalledAfterTheyAreDeleted) {
  poisonedCalls = 0;
  deaths = 0;
  {
    Grad g;
    SetFlags(g.g, {{0.0f, Point3(1, 0, 0), kLinear}, {0.5f, Point3(0, 0, 1), kLinear}, {1.0f, Point3(0, 0, 1), kLinear}});
    g->GetFlag(1)->SetSubtex(new PoisonMap(0.0f));
    Interval valid = FOREVER;
    g->Update(0, valid);
    Samplers readers(g.g);
    ShadeContext sc;
    const int kRounds = 400;
    int stale = 0, made = 1, held = 1;  // textures made, and set on the flag now
    for (int round = 1; round <= kRounds; round++) {
      float green = (float)round / kRounds;
      if (round % 10 == 0) {
        g->GetFlag(1)->SetSubtex(nullptr);  // the flag's own colour again
        held = 0;
      } else {
        g->GetFlag(1)->SetSubtex(new PoisonMap(green));
        made++;
        held = 1;
        Point3 c;
        g->GetColor(c, 0.5f, 0.0f, sc, 0);  // exactly on the textured flag: its texture's colour
        stale += fabsf(c.y - green) > 1e-6f;
      }
      Sleep(round % 4 == 0 ? 1 : 0);
    }
    readers.Join();
    EXPECT_EQ(stale, 0) << "a lookup right after the change still saw the old texture";
    EXPECT_EQ(deaths.load(), made - held) << "every replaced texture was deleted with its last reference";
  }
  EXPECT_EQ(poisonedCalls.load(), 0) << "a deleted texture was called";
  EmptyGraveyard();
}

// The decoded size of a bitmap (12 + width x rows x 4) is refused when it cannot be had, rather
// than wrapped to a short allocation: the largest bitmap the host reads (65535 square) in UV map
// mode, and on a 32-bit process anything past a quarter of its address space.
TEST(Reclaim, DecodedBitmapSizesThatCannotBeHadAreRefused) {
  EXPECT_EQ(jgrad::DecodedBytes(16, 16), 12u + 16 * 16 * 4);
  EXPECT_EQ(jgrad::DecodedBytes(65535, 1), 12u + 65535u * 4);
  EXPECT_EQ(jgrad::DecodedBytes(65535, 65535), 0u);  // 17 GB: wrapped, it would be about 4 GB short
  EXPECT_EQ(jgrad::DecodedBytes(0, 10), 0u);
  EXPECT_EQ(jgrad::DecodedBytes(10, -1), 0u);
  const size_t kQuarterOf32Bits = (size_t)1 << 30;
  size_t big = jgrad::DecodedBytes(16384, 16384);  // 1 GiB and 12 bytes
  if (sizeof(void*) == 4)
    EXPECT_EQ(big, 0u);
  else
    EXPECT_GT(big, kQuarterOf32Bits);
}
