// quorbench: throughput of the library's hot paths, each printed as a ratio against a baseline
// measured in the same run, so that figures compare across machines and Wine versions.
// Usage: quorbench [--machine] [name-filter]
//   --machine: instead of the table, one line per measurement, "name seconds", for scripts.
#include "JGradInternal.h"
#include "JViewFitInternal.h"
#include "PlainDialog.h"
#include "Quorlib.h"

#include <process.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)freq.QuadPart;
}

// Time of one call of f, averaged over a round of at least the given seconds.
template <class F>
double OneRound(F& f, double seconds) {
  int reps = 0;
  double start = Now(), elapsed;
  do {
    f();
    reps++;
    elapsed = Now() - start;
  } while (elapsed < seconds);
  return elapsed / reps;
}

// Best time of one call of f over several rounds of at least 50 ms.
template <class F>
double BestSeconds(F f) {
  double best = 1e30;
  for (int round = 0; round < 5; round++) best = std::min(best, OneRound(f, 0.05));
  return best;
}

// Best times of a baseline and a workload measured in alternating short rounds, so that both
// see the same machine: a shared host's speed drifts over seconds, and a ratio of two
// measurements taken apart drifts with it.
template <class B, class F>
void BestAlternating(B base, F ours, double& baseSeconds, double& ourSeconds) {
  baseSeconds = ourSeconds = 1e30;
  for (int round = 0; round < 12; round++) {
    baseSeconds = std::min(baseSeconds, OneRound(base, 0.02));
    ourSeconds = std::min(ourSeconds, OneRound(ours, 0.02));
  }
}

volatile unsigned sink;
bool machine = false;

// One measurement for scripts (only in --machine mode).
void Record(const char* name, double seconds) {
  if (machine) printf("%s %.9f\n", name, seconds);
}

// Deterministic data for the image benchmarks.
uint32_t Next(uint32_t& s) {
  s ^= s << 13;
  s ^= s >> 17;
  s ^= s << 5;
  return s;
}

void MemBlockCopy() {
  for (unsigned size : {4096u, 1u << 20, 16u << 20}) {
    std::vector<char> src(size, 'q'), dst(size);
    JMemBlock block;
    double base = BestSeconds([&] {
      memcpy(dst.data(), src.data(), size);
      sink = sink + dst[size - 1];
    });
    double ours = BestSeconds([&] { sink = sink + block.Copy(src.data(), size); });
    if (!machine)
      printf("JMemBlock::Copy %8u B: %8.2f GB/s   memcpy %8.2f GB/s   ratio %.2f\n", size, size / ours / 1e9,
           size / base / 1e9, ours / base);
  }
}

void PropertyLookup() {
  JPropertyList list;
  const int n = 16;
  for (int i = 0; i < n; i++) list.Add(Class_ID(0x1000 + i, 0x2000 + i), i);
  std::vector<unsigned long> plain(n);
  double base = BestSeconds([&] {
    unsigned s = 0;
    for (int i = 0; i < n; i++) s += plain[(i * 7) % n];
    sink = sink + s;
  });
  double ours = BestSeconds([&] {
    unsigned s = 0;
    for (int i = 0; i < n; i++) s += list.Value(Class_ID(0x1000 + (i * 7) % n, 0x2000 + (i * 7) % n));
    sink = sink + s;
  });
  if (!machine)
    printf("JPropertyList::Value (%d records): %.1f ns per lookup   array %.2f ns   ratio %.1f\n", n, ours / n * 1e9,
         base / n * 1e9, ours / base);
}

// ---- Parameter trees -------------------------------------------------------------------------

// A node class of the benchmark's own, with n float leaves.
class BenchNode : public JDataNode {
 public:
  explicit BenchNode(int) {}
  JClassDescBase* GetCD() override;
};
JClassDesc<BenchNode, ReferenceTargetRTTI> benchNodeDesc(0, "BenchNode", 0x200, Class_ID(0x42454E43, 1), "");
JClassDescBase* BenchNode::GetCD() { return &benchNodeDesc; }

struct Virtual {
  virtual ~Virtual() = default;
  virtual void* Get(int i) = 0;
};
struct Plain : Virtual {
  void* slots[8] = {};
  __attribute__((noinline)) void* Get(int i) override { return slots[i & 7]; }
};

void TreeAddressing() {
  BenchNode* node = new BenchNode(0);
  for (int i = 0; i < 8; i++) node->Add(Create_JFloatData(), "leaf");
  Plain plain;
  Virtual* volatile v = &plain;  // volatile: the call stays a real virtual call
  const int n = 100000;
  double base = BestSeconds([&] {
    uintptr_t s = 0;
    for (int i = 0; i < n; i++) s += (uintptr_t)v->Get(i);
    sink = sink + (unsigned)s;
  });
  double ours = BestSeconds([&] {
    uintptr_t s = 0;
    for (int i = 0; i < n; i++) s += (uintptr_t)(*node)(i & 7);
    sink = sink + (unsigned)s;
  });
  printf("JDataNode::operator()(id), existing child: %.1f ns   virtual call %.2f ns   ratio %.1f\n", ours / n * 1e9,
         base / n * 1e9, ours / base);
  node->DeleteMe();
}

void LeafValue() {
  JFloatData* leaf = Create_JFloatData();
  AnimateOn();
  for (int k = 0; k <= 10; k++) leaf->SetValue(k * 1600, (float)(k * k));
  AnimateOff();
  const int n = 100000;
  std::vector<float> table(16001);
  for (int t = 0; t <= 16000; t++) table[t] = (float)t;
  double base = BestSeconds([&] {
    float s = 0;
    for (int i = 0; i < n; i++) s += table[(i * 7) % 16001];
    sink = sink + (unsigned)s;
  });
  double ours = BestSeconds([&] {
    float s = 0;
    for (int i = 0; i < n; i++) s += leaf->GetFValue((i * 7) % 16001);
    sink = sink + (unsigned)s;
  });
  printf("JFloatData::GetFValue, 11 smooth keys: %.1f ns   table read %.2f ns   ratio %.0f\n", ours / n * 1e9,
         base / n * 1e9, ours / base);
  leaf->DeleteMe();
}

void TreeBuild() {
  const int n = 10000;
  double base = BestSeconds([&] {
    std::vector<std::pair<void*, std::string>> v;
    for (int i = 0; i < n; i++) v.emplace_back(new float(0), "leaf");
    for (auto& p : v) delete static_cast<float*>(p.first);
    sink = sink + (unsigned)v.size();
  });
  double ours = BestSeconds([&] {
    BenchNode* node = new BenchNode(0);
    for (int i = 0; i < n; i++) node->Add(Create_JFloatData(), "leaf");
    sink = sink + node->NumRefs();
    node->DeleteMe();
  });
  printf("building and deleting a %d-leaf tree: %.2f ms (%.0f ns per leaf)   vector of owned values %.2f ms   ratio %.0f\n",
         n, ours * 1e3, ours / n * 1e9, base * 1e3, ours / base);
}

void SaveLoad() {
  const int n = 10000;
  BenchNode* node = new BenchNode(0);
  AnimateOn();
  for (int i = 0; i < n; i++) {
    JFloatData* leaf = Create_JFloatData();
    leaf->SetValue(0, (float)i);
    leaf->SetValue(160, (float)(2 * i));
    node->Add(leaf, "leaf");
  }
  AnimateOff();
  const int objects = 1 + 2 * n;  // the node, the leaves, their controllers
  JMemBlock* block = SaveRefMaker(node);
  unsigned size = block->Size();
  std::vector<char> copy(size);
  double base = BestSeconds([&] {
    memcpy(copy.data(), block->Data(), size);
    sink = sink + copy[size / 2];
  });
  double save = BestSeconds([&] {
    JMemBlock* b = SaveRefMaker(node);
    sink = sink + b->Size();
    b->DeleteThis();
  });
  double load = BestSeconds([&] {
    ReferenceMaker* rm = LoadRefMaker(block);
    sink = sink + rm->NumRefs();
    rm->DeleteMe();
  });
  printf("save %d objects (%u bytes): %.1f ms, %.2f M objects/s, %.0f MB/s   memcpy %.0f MB/s   ratio %.0f\n", objects, size,
         save * 1e3, objects / save / 1e6, size / save / 1e6, size / base / 1e6, save / base);
  printf("load (including deleting the copy): %.1f ms, %.2f M objects/s, %.0f MB/s   ratio to memcpy %.0f\n", load * 1e3,
         objects / load / 1e6, size / load / 1e6, load / base);
  block->DeleteThis();
  node->DeleteMe();
}

// ---- Gradients -----------------------------------------------------------------------------

// The colour arithmetic of one span as the lookups do it, in a call that cannot be inlined: the
// floor of a single lookup, which also finds the thread's place and checks the cache.
__attribute__((noinline)) void SpanColorOnly(const jgrad::Span& s, float pos, Point3& c) {
  jgrad::ColorAtX(s, jgrad::XOf(s, pos), c);
}

// Flags spread evenly over [0, 1], or bunched towards 0 (at the cubes of even steps).
JGradCtlData* GradientWith(int flags, int interpIndex, bool bunched = false) {
  JGradCtlData* g = Create_JGradCtlData();
  g->DelAllFlags();
  for (int i = 0; i < flags; i++) {
    JFlagCtlData* f = Create_JFlagCtlData();
    float pos = flags > 1 ? (float)i / (float)(flags - 1) : 0.0f, interp = (float)interpIndex;
    if (bunched) pos = pos * pos * pos;
    Point3 c((float)(i % 3) / 2.0f, (float)(i % 5) / 4.0f, (float)(i % 7) / 6.0f);
    f->SetPos(0, pos);
    f->SetColor(0, c);
    f->SetInterp(0, interp);
    g->AddFlag(f, "_");
  }
  Interval valid = FOREVER;
  g->Update(0, valid);
  return g;
}

// A row of a filter or a renderer: 1920 positions.
const int kRow = 1920;

// GetColors over rows, against the baked table read the same way (a loop summing its colours)
// and filling the same row.
template <class TableLoop>
void RowBench(TableLoop& tableLoop, const std::vector<float>& randomPos) {
  const int n = 100000;  // the table loop's samples
  std::vector<float> sorted(kRow), scattered(randomPos.begin(), randomPos.begin() + kRow);
  for (int i = 0; i < kRow; i++) sorted[i] = (float)i / (float)(kRow - 1);
  std::vector<Point3> out(kRow), table(256);
  auto tableRow = [&] {
    for (int i = 0; i < kRow; i++) out[i] = table[(int)(sorted[i] * 255.0f)];
    sink = sink + (unsigned)out[kRow / 2].x;
  };
  double tableFill = BestSeconds(tableRow);
  printf("GetColors over a row of %d positions (the baked table filling the same row: %.2f ns per sample)\n", kRow,
         tableFill / kRow * 1e9);
  const char* names[] = {"Ease In", "Ease In Out", "Ease Out", "Linear", "Solid"};
  for (int flags : {2, 8, 32}) {
    for (int type = 0; type < 5; type++) {
      JGradCtlData* g = GradientWith(flags, type);
      auto rowOf = [&](const std::vector<float>& pos) {
        const float* at = pos.data();
        Point3* dst = out.data();
        return [=] {
          g->GetColors(dst, at, kRow, 0);
          sink = sink + (unsigned)dst[kRow / 2].x;
        };
      };
      double table, row;
      BestAlternating(tableLoop, rowOf(sorted), table, row);
      double random = BestSeconds(rowOf(scattered));
      double perTable = table / n, perRow = row / kRow;
      printf("  %2d flags %-12s sorted %5.2f ns (x%.2f the table, %.2f ns, beside it; x%.2f its row fill)   random %5.2f ns\n",
             flags, names[type], perRow * 1e9, perRow / perTable, perTable * 1e9, perRow / (tableFill / kRow),
             random / kRow * 1e9);
      char name[64];
      snprintf(name, sizeof name, "gradient-row-%d-%d", flags, type);
      Record(name, perRow);
      g->DeleteMe();
    }
  }
  // Processors without AVX2 run the SSE2 evaluator; on one with AVX2 it is chosen by hand.
  if (!JGradUseRowEvaluator(kRowAvx2)) return;
  JGradUseRowEvaluator(kRowSse2);
  for (int type = 0; type < 5; type++) {
    JGradCtlData* g = GradientWith(8, type);
    auto row = [&] {
      g->GetColors(out.data(), sorted.data(), kRow, 0);
      sink = sink + (unsigned)out[kRow / 2].x;
    };
    double table, sse2;
    BestAlternating(tableLoop, row, table, sse2);
    printf("   8 flags %-12s SSE2 evaluator: sorted %5.2f ns (x%.2f the table)\n", names[type], sse2 / kRow * 1e9,
           sse2 / kRow / (table / n));
    g->DeleteMe();
  }
  JGradUseRowEvaluator(kRowBest);
}

// Two render threads, each sweeping its own half of one gradient, against one thread alone:
// with GetColor sample by sample and with GetColors row by row. Timed as whole runs side by
// side (a best round could be one the other thread sat out).
void TwoThreads() {
  JGradCtlData* g = GradientWith(8, 3);
  struct Sweep {
    JGradCtlData* g;
    float from;
    bool rows;
    double seconds;
    static unsigned __stdcall Run(void* p) {
      Sweep* w = static_cast<Sweep*>(p);
      const int n = 96000, rounds = 60;
      std::vector<float> pos(kRow);
      std::vector<Point3> out(kRow);
      double best = 1e30;
      float s = 0;
      for (int round = 0; round < rounds; round++) {
        double start = Now();
        for (int at = 0; at < n; at += kRow) {
          for (int i = 0; i < kRow; i++) pos[i] = w->from + 0.5f * (float)(at + i) / (float)n;
          if (w->rows) {
            w->g->GetColors(out.data(), pos.data(), kRow, 0);
            s += out[kRow / 2].x;
          } else {
            Point3 c;
            for (int i = 0; i < kRow; i++) {
              w->g->GetColor(c, pos[i], 0);
              s += c.x + c.y + c.z;
            }
          }
        }
        best = std::min(best, (Now() - start) / n);
      }
      sink = sink + (unsigned)s;
      w->seconds = best;
      return 0;
    }
  };
  for (bool rows : {false, true}) {
    Sweep one = {g, 0.0f, rows, 0}, two[2] = {{g, 0.0f, rows, 0}, {g, 0.5f, rows, 0}};
    Sweep::Run(&one);
    HANDLE h[2];
    for (int k = 0; k < 2; k++) h[k] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Sweep::Run, &two[k], 0, nullptr));
    WaitForMultipleObjects(2, h, TRUE, INFINITE);
    for (HANDLE x : h) CloseHandle(x);
    double worst = std::max(two[0].seconds, two[1].seconds);
    printf("  two threads, each sweeping its half, 8 flags Linear, %s: %.2f and %.2f ns per sample, one thread "
           "alone %.2f (x%.2f)\n",
           rows ? "GetColors" : "GetColor ", two[0].seconds * 1e9, two[1].seconds * 1e9, one.seconds * 1e9,
           worst / one.seconds);
  }
  g->DeleteMe();
}

void GradientColors() {
  const int n = 100000;
  std::vector<float> randomPos(n);
  unsigned seed = 1;
  for (float& p : randomPos) p = (float)((seed = seed * 1664525u + 1013904223u) >> 8) / 16777216.0f;
  const float step = 1.0f / n;  // the sweep's positions i * step
  // The baseline: a baked 256-entry colour table indexed by position.
  std::vector<Point3> table(256);
  auto tableLoop = [&] {
    float s = 0;
    for (int i = 0; i < n; i++) {
      const Point3& c = table[(int)((float)i * step * 255.0f)];
      s += c.x + c.y + c.z;
    }
    sink = sink + (unsigned)s;
  };
  double tableSweep = BestSeconds(tableLoop);
  // The floor of any per-sample library call: an exported function that does nothing but answer.
  double emptyCall = BestSeconds([&] {
    float s = 0;
    for (int i = 0; i < n; i++) s += (float)QuorlibVersion() + (float)i * step;
    sink = sink + (unsigned)s;
  });
  const char* names[] = {"Ease In", "Ease In Out", "Ease Out", "Linear", "Solid"};
  printf("GetColor per sample (baked 256-entry table: %.2f ns; an empty library call: %.2f ns)\n", tableSweep / n * 1e9,
         emptyCall / n * 1e9);
  // n plain lookups at the positions at(i), summed so that none can be left out.
  auto lookups = [&](JGradCtlData* g, auto at) {
    return [=] {
      float s = 0;
      Point3 c;
      for (int i = 0; i < n; i++) {
        g->GetColor(c, at(i), 0);
        s += c.x + c.y + c.z;
      }
      sink = sink + (unsigned)s;
    };
  };
  auto swept = [=](int i) { return (float)i * step; };
  auto scattered = [&](int i) { return randomPos[i]; };
  for (int flags : {2, 8, 32}) {
    for (int type = 0; type < 5; type++) {
      JGradCtlData* g = GradientWith(flags, type);
      double table, sweep;
      BestAlternating(tableLoop, lookups(g, swept), table, sweep);
      double random = BestSeconds(lookups(g, scattered));
      printf("  %2d flags %-12s sweep %5.2f ns (x%.1f the table, %.2f ns, beside it)   random %5.2f ns\n", flags,
             names[type], sweep / n * 1e9, sweep / table, table / n * 1e9, random / n * 1e9);
      g->DeleteMe();
    }
  }
  {
    double alone[2];
    // An eased curve's coefficient table (here u itself, piece by piece): the arithmetic costs
    // the same whatever the curve.
    float table[(jgrad::kEaseDegree + 1) * jgrad::kEaseSegments] = {};
    for (int j = 0; j < jgrad::kEaseSegments; j++) {
      table[j] = (float)j / jgrad::kEaseSegments;
      table[jgrad::kEaseSegments + j] = 1.0f / jgrad::kEaseSegments;
    }
    for (int eased = 0; eased < 2; eased++) {
      jgrad::Span span = {};
      for (int k = 0; k < 3; k++) span.dColor[k] = 1.0f / (float)(k + 1);
      span.lo = 0.0f, span.hi = 1.0f;
      span.ease = eased ? table : nullptr;
      span.scale = eased ? (float)jgrad::kEaseSegments : 1.0f;
      alone[eased] = BestSeconds([&] {
        float s = 0;
        Point3 c;
        for (int i = 0; i < n; i++) {
          SpanColorOnly(span, (float)i * step, c);
          s += c.x + c.y + c.z;
        }
        sink = sink + (unsigned)s;
      });
    }
    printf("  the span arithmetic alone, out of line (no thread place, no checks): Linear %.2f ns, eased %.2f ns\n",
           alone[0] / n * 1e9, alone[1] / n * 1e9);
  }
  RowBench(tableLoop, randomPos);
  TwoThreads();
  // Random positions when the flags are not evenly spread.
  {
    JGradCtlData* g = GradientWith(32, 3, true);
    double random = BestSeconds(lookups(g, scattered));
    printf("  32 flags bunched towards 0, Linear, random %5.2f ns\n", random / n * 1e9);
    g->DeleteMe();
  }
  // The shading-point lookup a texture map makes (no flag textures here), sweeping.
  for (int type : {3, 0}) {
    JGradCtlData* g = GradientWith(8, type);
    ShadeContext sc;
    double table, shaded;
    BestAlternating(tableLoop,
                    [&] {
                      float s = 0;
                      Point3 c;
                      for (int i = 0; i < n; i++) {
                        g->GetColor(c, (float)i * step, 0.001f, sc, 0);
                        s += c.x + c.y + c.z;
                      }
                      sink = sink + (unsigned)s;
                    },
                    table, shaded);
    printf("  shading point, 8 flags %-12s sweep %5.2f ns (x%.1f the table)\n", names[type], shaded / n * 1e9,
           shaded / table);
    g->DeleteMe();
  }
  // A swatch row, and a long row where the per-call reading of the flags no longer counts.
  JGradCtlData* g = GradientWith(8, 3);
  for (int w : {1024, 8192}) {
    std::vector<BMM_Color_24> buf(w);
    double render, baked;
    BestAlternating(
        [&] {
          for (int x = 0; x < w; x++) {
            const Point3& c = table[x * 255 / (w - 1)];
            buf[x] = BMM_Color_24{(BYTE)(c.x * 255), (BYTE)(c.y * 255), (BYTE)(c.z * 255)};
          }
          sink = sink + buf[w / 2].r;
        },
        [&] {
          g->RenderFlag(buf.data(), 0, w, 1, 1.0f, 0);
          sink = sink + buf[w / 2].r;
        },
        baked, render);
    printf("RenderFlag, 8 flags, %d pixels: %.2f ns per pixel   table %.2f ns   ratio %.1f\n", w, render / w * 1e9,
           baked / w * 1e9, render / baked);
  }
  g->DeleteMe();
}

// ---- Imaging -----------------------------------------------------------------------------

// JBlur on float masks, both directions at once, against a memcpy of the mask.
void Blur() {
  const int sizes[][2] = {{1920, 1080}, {4096, 4096}};
  for (auto& sz : sizes) {
    const int w = sz[0], h = sz[1];
    const size_t n = (size_t)w * h;
    std::vector<float> src(n), dst(n);
    uint32_t seed = 12345;
    for (float& f : src) f = (float)(Next(seed) >> 8) / 16777215.0f;
    double base = BestSeconds([&] {
      memcpy(dst.data(), src.data(), n * sizeof(float));
      sink = sink + (unsigned)dst[n - 1];
    });
    char name[64];
    snprintf(name, sizeof name, "memcpy/blur/%dx%d", w, h);
    Record(name, base);
    for (float r : {1.0f, 5.0f, 25.0f, 100.0f}) {
      double ours = BestSeconds([&] { sink = sink + JBlur(dst.data(), src.data(), w, h, r, r); });
      snprintf(name, sizeof name, "blur/%dx%d/r%d", w, h, (int)r);
      Record(name, ours);
      if (!machine)
        printf("JBlur %4dx%-4d r=%-3d: %6.2f ms  %5.2f ns/px   memcpy %6.2f ms   ratio %5.2f\n", w, h, (int)r,
               ours * 1e3, ours / n * 1e9, base * 1e3, ours / base);
    }
  }
}

// Overlay of two same-size premultiplied images at (0.5, 0.5): on every processor, and on one
// (the process confined to processor 0, the same threads started), against a memcpy of the
// destination. Thread start-up is measured apart, as an overlay of a few rows.
void OverlayBench() {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  const int procs = (int)si.dwNumberOfProcessors;
  std::vector<BMM_Color_64> tinySrc(4 * (procs + 2)), tinyDst(tinySrc.size());
  double startup = BestSeconds([&] {
    sink = sink + Overlay(tinyDst.data(), 4, procs + 2, tinySrc.data(), 4, procs + 2, 0.5f, 0.5f, nullptr, 0, 0);
  });
  Record("overlay/startup", startup);
  if (!machine) printf("Overlay thread start-up (%d threads, %d rows): %.3f ms\n", procs, procs + 1, startup * 1e3);

  const int sizes[][2] = {{1920, 1080}, {4096, 4096}};
  for (auto& sz : sizes) {
    const int w = sz[0], h = sz[1];
    const size_t n = (size_t)w * h;
    std::vector<BMM_Color_64> src(n), dst(n), copy(n);
    uint32_t seed = 777;
    for (size_t i = 0; i < n; i++) {
      uint16_t a = (uint16_t)Next(seed);
      auto below = [&] { return (uint16_t)(Next(seed) % ((uint32_t)a + 1)); };
      src[i] = BMM_Color_64{below(), below(), below(), a};
      dst[i] = BMM_Color_64{(uint16_t)Next(seed), (uint16_t)Next(seed), (uint16_t)Next(seed), 65535};
    }
    double base = BestSeconds([&] {
      memcpy(copy.data(), dst.data(), n * sizeof(BMM_Color_64));
      sink = sink + copy[n - 1].r;
    });
    auto run = [&] { sink = sink + Overlay(dst.data(), w, h, src.data(), w, h, 0.5f, 0.5f, nullptr, 0, 0); };
    double all = BestSeconds(run);
    DWORD_PTR processMask, systemMask;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    SetProcessAffinityMask(GetCurrentProcess(), processMask & (~processMask + 1));
    double one = BestSeconds(run);
    SetProcessAffinityMask(GetCurrentProcess(), processMask);
    char name[64];
    snprintf(name, sizeof name, "memcpy/overlay/%dx%d", w, h);
    Record(name, base);
    snprintf(name, sizeof name, "overlay/%dx%d/all", w, h);
    Record(name, all);
    snprintf(name, sizeof name, "overlay/%dx%d/one", w, h);
    Record(name, one);
    if (!machine)
      printf("Overlay %4dx%-4d: all %6.2f ms (%5.2f ns/px), one %6.2f ms, speed-up %.2f (%.2f without start-up)"
             "   memcpy %6.2f ms   ratio %5.2f\n",
             w, h, all * 1e3, all / n * 1e9, one * 1e3, one / all, (one - startup) / (all - startup), base * 1e3,
             all / base);
  }
}

// JCopyFit of 24-bit pixels, 1920x1080 down to 640x360 and back up, against a memcpy of the
// destination's bytes.
void CopyFitBench() {
  const int big[2] = {1920, 1080}, small[2] = {640, 360};
  std::vector<unsigned char> large((size_t)big[0] * big[1] * 3), little((size_t)small[0] * small[1] * 3);
  uint32_t seed = 99;
  for (unsigned char& c : large) c = (unsigned char)Next(seed);
  for (unsigned char& c : little) c = (unsigned char)Next(seed);
  struct Case {
    const char* name;
    const int* from;
    const int* to;
    unsigned char* src;
    unsigned char* dst;
  } cases[] = {{"down", big, small, large.data(), little.data()}, {"up", small, big, little.data(), large.data()}};
  std::vector<unsigned char> scratch(large.size());
  for (const Case& c : cases) {
    const size_t bytes = (size_t)c.to[0] * c.to[1] * 3;
    double base = BestSeconds([&] {
      memcpy(scratch.data(), c.dst, bytes);
      sink = sink + scratch[bytes - 1];
    });
    double ours = BestSeconds([&] {
      JCopyFit(c.dst, c.to[0], c.to[1], c.src, c.from[0], c.from[1], 3);
      sink = sink + c.dst[bytes - 1];
    });
    char name[64];
    snprintf(name, sizeof name, "memcpy/copyfit/%s", c.name);
    Record(name, base);
    snprintf(name, sizeof name, "copyfit/%s", c.name);
    Record(name, ours);
    if (!machine)
      printf("JCopyFit 24-bit %dx%d -> %dx%d: %6.3f ms  %5.2f ns/px   memcpy %6.3f ms   ratio %5.2f\n", c.from[0],
             c.from[1], c.to[0], c.to[1], ours * 1e3, ours / (bytes / 3) * 1e9, base * 1e3, ours / base);
  }
}

// The glow sample's Render on a 1920x1080 host bitmap holding the default background (bright
// bars and a grey ramp: a third of it glows), loaded as the host loads a filter plug-in, against a
// memcpy of the bitmap's pixels. Each render starts from the same image: the time of restoring
// it is measured alone and taken off.
void GlowBench() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = strrchr(path, '\\');
  if (!n || !slash || (size_t)(slash - path) + sizeof "glow.flt" >= MAX_PATH) return;
  strcpy(slash + 1, "glow.flt");
  if (!LoadPluginModule(path)) {
    printf("glow: %s is not a loadable filter plug-in\n", path);
    return;
  }
  const Class_ID glowID(0x474C4F57, 0x46494C54);
  ImageFilter* glow = static_cast<ImageFilter*>(CreateInstance(FLT_CLASS_ID, glowID));
  if (!glow) return;
  const int w = 1920, h = 1080;
  BitmapInfo bi;
  bi.SetWidth(w);
  bi.SetHeight(h);
  bi.SetType(BMM_TRUE_64);
  Bitmap* image = TheManager->Create(&bi);
  Bitmap* pristine = TheManager->Create(&bi);
  if (image && pristine && JFillDefault(pristine)) {
    ImageFilterInfo info = {w, h, 1.0f, 0, 0, 0};
    glow->SetFilterInfo(&info);
    glow->SetSource(image);
    const BMM_Color_64 black = {0, 0, 0, 0};
    std::vector<BMM_Color_64> a((size_t)w * h), b(a.size());
    double base, restore, both;
    BestAlternating([&] { sink = sink + image->Storage()->CopyImage(pristine, COPY_IMAGE_CROP, black); },
                    [&] {
                      image->Storage()->CopyImage(pristine, COPY_IMAGE_CROP, black);
                      sink = sink + glow->Render(nullptr);
                    },
                    restore, both);
    base = BestSeconds([&] {
      memcpy(b.data(), a.data(), a.size() * sizeof(BMM_Color_64));
      sink = sink + b[a.size() - 1].r;
    });
    Record("memcpy/glow/1920x1080", base);
    Record("glow/1920x1080", both - restore);
    if (!machine)
      printf("Glow sample 1920x1080 (64-bit bitmap): %6.2f ms  %5.2f ns/px   memcpy %6.2f ms   ratio %5.2f\n",
             (both - restore) * 1e3, (both - restore) / (w * h) * 1e9, base * 1e3, (both - restore) / base);
  }
  if (image) image->DeleteThis();
  if (pristine) pristine->DeleteThis();
  delete glow;
}

// JBitBlt against its floor: SetDIBitsToDevice of the same pixels already laid out as the device
// wants them (bottom-up blue, green, red rows padded to 4 bytes), both into a 32-bit DIB section
// as a window's back buffer would be.
void BitBltBench() {
  const int sizes[][2] = {{640, 480}, {1920, 1080}};
  for (const auto& size : sizes) {
    int w = size[0], h = size[1];
    size_t stride = ((size_t)w * 3 + 3) / 4 * 4;
    std::vector<BMM_Color_24> pixels((size_t)w * h);
    std::vector<unsigned char> prepared(stride * h);
    uint32_t seed = 99;
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) {
        BMM_Color_24& p = pixels[(size_t)y * w + x];
        uint32_t v = Next(seed);
        p.r = (BYTE)v, p.g = (BYTE)(v >> 8), p.b = (BYTE)(v >> 16);
        unsigned char* d = &prepared[(size_t)(h - 1 - y) * stride + (size_t)x * 3];
        d[0] = p.b, d[1] = p.g, d[2] = p.r;
      }
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);
    BITMAPINFO src = bi;
    src.bmiHeader.biBitCount = 24;
    double base, ours;
    BestAlternating(
        [&] {
          SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, prepared.data(), &src, DIB_RGB_COLORS);
          GdiFlush();
          sink = sink + static_cast<unsigned char*>(bits)[0];
        },
        [&] {
          JBitBlt(dc, 0, 0, w, h, pixels.data());
          GdiFlush();
          sink = sink + static_cast<unsigned char*>(bits)[0];
        },
        base, ours);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    char name[64];
    snprintf(name, sizeof name, "setdibits/bitblt/%dx%d", w, h);
    Record(name, base);
    snprintf(name, sizeof name, "bitblt/%dx%d", w, h);
    Record(name, ours);
    if (!machine)
      printf("JBitBlt %dx%d into a 32-bit DIB section: %6.3f ms   SetDIBitsToDevice of a prepared buffer %6.3f ms   ratio %5.2f\n",
             w, h, ours * 1e3, base * 1e3, ours / base);
  }
}

// ---- Dialog refresh ----------------------------------------------------------------------------

// A dialog object over a plain window, refreshing its controls when its time moves, as a dialog
// whose time is not locked to the host's does.
class BenchDialog : public PlainDialog {
 public:
  explicit BenchDialog(HWND w) : PlainDialog(w) {}
  void SetTime(int t) override {
    time = t;
    for (int i = 0; i < NumControls(); i++) GetControl(i)->UpdateView(t, nullptr);
  }
};

// The fifty-control dialog of quorbench.rc: 20 check boxes, 10 groups of three radio buttons and
// 20 drop-down lists, each bound to an animated leaf whose value differs between two times.
constexpr int kBenchFiftyDialog = 100;
constexpr int kChecks = 20, kGroups = 10, kRadios = 3, kLists = 20, kItems = 5;
constexpr int kFirstCheck = 1000, kFirstRadio = 2000, kFirstList = 3000;
constexpr int kBenchTimes[2] = {0, 4800};
const char* const kListItems = "A\nB\nC\nD\nE";

// The leaves go from 0 at the first time to their largest shown value at the second.
struct FiftyLeaves {
  FiftyLeaves() : node(new BenchNode(0)) {
    for (int i = 0; i < kChecks; i++) checks.push_back(Animated(1.0f));
    for (int g = 0; g < kGroups; g++) {
      radios.push_back(Animated(kRadios - 1));
      std::vector<int> ids;
      for (int r = 0; r < kRadios; r++) ids.push_back(kFirstRadio + g * kRadios + r);
      ids.push_back(-1);
      radioIds.push_back(ids);
    }
    for (int i = 0; i < kLists; i++) lists.push_back(Animated(kItems - 1));
  }
  ~FiftyLeaves() { node->DeleteMe(); }
  JFloatData* Animated(float last) {
    JFloatData* leaf = Create_JFloatData();
    node->Add(leaf, "leaf");
    AnimateOn();
    leaf->SetValue(kBenchTimes[0], 0.0f);
    leaf->SetValue(kBenchTimes[1], last);
    AnimateOff();
    return leaf;
  }
  // New controls over the leaves, added to dlg.
  void Bind(JViewDlgBase& dlg) {
    for (int i = 0; i < kChecks; i++)
      dlg += JCheckButton::Create(checks[i], -1, kFirstCheck + i, nullptr, nullptr, nullptr, nullptr);
    for (int g = 0; g < kGroups; g++) dlg += JRadioButton::Create(radios[g], -1, radioIds[g].data(), nullptr);
    for (int i = 0; i < kLists; i++)
      dlg += JDropDownListBox::Create(lists[i], -1, kFirstList + i, kListItems, nullptr, nullptr, nullptr, nullptr);
  }
  BenchNode* node;
  std::vector<JFloatData*> checks, radios, lists;
  std::vector<std::vector<int>> radioIds;
};

// What the bare Win32 calls show at one of the two times.
void ShowBare(HWND wnd, int which) {
  int radio = which ? kRadios - 1 : 0, item = which ? kItems - 1 : 0;
  for (int i = 0; i < kChecks; i++) CheckDlgButton(wnd, kFirstCheck + i, which);
  for (int g = 0; g < kGroups; g++)
    for (int r = 0; r < kRadios; r++) CheckDlgButton(wnd, kFirstRadio + g * kRadios + r, r == radio);
  for (int i = 0; i < kLists; i++) SendDlgItemMessageA(wnd, kFirstList + i, CB_SETCURSEL, item, 0);
}

INT_PTR CALLBACK PassiveDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The fifty controls refreshed for a time change, against the Win32 calls that show the same
// values.
void DialogRefresh() {
  HINSTANCE self = GetModuleHandleA(nullptr);
  HWND wnd = CreateDialogParamA(self, MAKEINTRESOURCEA(kBenchFiftyDialog), nullptr, PassiveDlgProc, 0);
  FiftyLeaves leaves;
  BenchDialog* dlg = new BenchDialog(wnd);
  leaves.Bind(*dlg);
  for (int i = 0; i < dlg->NumControls(); i++) {
    dlg->GetControl(i)->Init(0);
    dlg->GetControl(i)->SetFreeze(0);
  }
  int flip = 0;
  auto bare = [&] {
    flip ^= 1;
    ShowBare(wnd, flip);
  };
  auto ours = [&] {
    flip ^= 1;
    dlg->SetTime(kBenchTimes[flip]);
  };
  double base, mine;
  BestAlternating(bare, ours, base, mine);
  Record("dlgrefresh/win32", base);
  Record("dlgrefresh/controls", mine);
  if (!machine)
    printf("dialog refresh, 50 bound controls: %6.1f us   the same Win32 calls %6.1f us   ratio %.2f\n", mine * 1e6,
           base * 1e6, mine / base);
  while (dlg->NumControls() > 0) {
    JViewCtl* c = dlg->GetControl(0);
    *dlg -= c;
    c->Destroy();
  }
  dlg->DeleteThis();
  DestroyWindow(wnd);
}

// The fifty-control dialog as a plug-in opens it: CreateDlg, which runs the initialisation
// sequence inside WM_INITDIALOG. It notes when that message's handling ends.
class FiftyModeless : public JOneModelessBase {
 public:
  INT_PTR DlgProc(UINT msg, WPARAM wp, LPARAM lp) override {
    INT_PTR r = JOneModelessBase::DlgProc(msg, wp, lp);
    if (msg == WM_INITDIALOG) initEnded = Now();
    return r;
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return kBenchFiftyDialog; }
  const char* ActionName() override { return "Bench"; }
  int SwitchData(JDataBase*, void*) override { return 0; }
  double initEnded = 0;
};

// The same dialog's WM_INITDIALOG done with bare calls: the lists filled, the values shown.
INT_PTR CALLBACK BareInitDlgProc(HWND wnd, UINT msg, WPARAM, LPARAM lp) {
  if (msg != WM_INITDIALOG) return FALSE;
  for (int i = 0; i < kLists; i++)
    for (const char* item : {"A", "B", "C", "D", "E"})
      SendDlgItemMessageA(wnd, kFirstList + i, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
  ShowBare(wnd, 1);
  *reinterpret_cast<double*>(lp) = Now();
  return TRUE;
}

// From CreateDlg to the end of WM_INITDIALOG for the fifty-control dialog, beside the same
// template created with CreateDialogParam and initialised with bare calls. The controls are
// created before and the dialogs closed after the measured span.
void DialogCreate() {
  const int kCycles = 200;
  HINSTANCE self = GetModuleHandleA(nullptr);
  FiftyLeaves leaves;
  GetCOREInterface()->SetTime(kBenchTimes[1], FALSE);
  double base = 1e30, ours = 1e30;
  for (int i = 0; i < kCycles; i++) {
    double ended = 0, start = Now();
    HWND bare = CreateDialogParamA(self, MAKEINTRESOURCEA(kBenchFiftyDialog), nullptr, BareInitDlgProc,
                                   reinterpret_cast<LPARAM>(&ended));
    base = std::min(base, ended - start);
    DestroyWindow(bare);

    FiftyModeless* dlg = new FiftyModeless;
    leaves.Bind(*dlg);
    start = Now();
    if (JOneModelessBase::CreateDlg(nullptr, dlg) != dlg) {
      fprintf(stderr, "quorbench: the fifty-control dialog did not open\n");
      return;
    }
    ours = std::min(ours, dlg->initEnded - start);
    SendMessageA(dlg->GetHwnd(), WM_CLOSE, 0, 0);  // the close sequence, as the title bar's close
  }
  GetCOREInterface()->SetTime(0, FALSE);
  Record("dlgcreate/win32", base);
  Record("dlgcreate/controls", ours);
  if (!machine)
    printf("CreateDlg to the end of WM_INITDIALOG, 50 bound controls: %6.2f ms   CreateDialogParam with bare calls "
           "%6.2f ms   ratio %.2f\n",
           ours * 1e3, base * 1e3, ours / base);
}

// ---- The image view window -------------------------------------------------------------------

// A dialog object for the benchmark's view windows: a plain top-level window with one
// "JUniversalWindow" child of the image size plus its one-pixel frame.
class ViewBenchDialog : public PlainDialog {
 public:
  static const int kViewId = 100;
  ViewBenchDialog(int width, int height) {
    JWinProc::Register();
    hwnd = CreateWindowExA(0, "STATIC", "quorbench", WS_POPUP, 0, 0, width + 2, height + 2, nullptr, nullptr,
                           nullptr, nullptr);
    CreateWindowExA(0, "JUniversalWindow", "", WS_CHILD | WS_VISIBLE, 0, 0, width + 2, height + 2, hwnd,
                    (HMENU)(INT_PTR)kViewId, nullptr, nullptr);
    data = Create_JFloatData();
  }
  ~ViewBenchDialog() override {
    DestroyWindow(hwnd);
    data->DeleteMe();
  }
  // A view of the child window, initialised and unfrozen as a dialog does it.
  JViewWnd* Attach(JViewWnd* v) {
    *this += v;
    v->Init(0);
    v->SetFreeze(0);
    return v;
  }
  JFloatData* data;
};

void PumpFor(double seconds) {
  const double end = Now() + seconds;
  for (double left; (left = end - Now()) > 0;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, (DWORD)(left * 1000) + 1, QS_ALLINPUT);
  }
}

// A render function that takes a set time, asking its window every millisecond whether to stop.
struct TimedRender {
  double seconds = 0.1;
  std::atomic<int> started{0}, finished{0}, lastTime{-1};
  std::atomic<long long> finishedAt{0};  // microseconds of Now()
};

int Timed(BMM_Color_24* out, void* user, int time, int width, int height, float, HWND window) {
  TimedRender* r = static_cast<TimedRender*>(user);
  r->started++;
  const double start = Now();
  while (Now() - start < r->seconds) {
    int stop = 0;
    SendMessageA(window, JWM_QUERYABORT, 0, (LPARAM)&stop);
    if (stop) return 0;
    Sleep(1);
  }
  memset(out, time & 0xFF, (size_t)width * height * sizeof(BMM_Color_24));
  r->lastTime = time;
  r->finishedAt = (long long)(Now() * 1e6);
  r->finished++;
  return 1;
}

// Twenty updates 50 ms apart while a computation takes 100 ms: how many computations follow
// the first (synchronous) one, and how long after the last update its image is there.
void ViewWndCoalescing() {
  const int kCalls = 20;
  const double kApart = 0.05, kRender = 0.1, kRestartWait = 0.2, kSlack = 0.02;
  ViewBenchDialog* dlg = new ViewBenchDialog(320, 240);
  TimedRender render;
  render.seconds = kRender;
  JViewWnd* v = dlg->Attach(JViewWnd::Create(dlg->data, -1, ViewBenchDialog::kViewId, Timed, &render));
  v->SetUpdateFlags(JVWF_THREAD);
  v->UpdateView(0, nullptr);
  render.started = 0;
  render.finished = 0;
  double lastCall = 0;
  for (int i = 1; i <= kCalls; i++) {
    v->UpdateView(i, nullptr);
    lastCall = Now();
    if (i < kCalls) PumpFor(kApart);
  }
  // The image of the last update, then a while longer to see that nothing else is computed.
  const double giveUp = lastCall + 3.0;
  while (render.lastTime != kCalls && Now() < giveUp) PumpFor(0.005);
  // Installing the image right after the render function returns: the same copy and draw.
  BMM_Color_24* copy = static_cast<BMM_Color_24*>(malloc((size_t)320 * 240 * sizeof(BMM_Color_24)));
  memset(copy, 0, (size_t)320 * 240 * sizeof(BMM_Color_24));
  PumpFor(0.5);
  const double installStart = Now();
  *v = copy;
  const double install = Now() - installStart;
  const double latency = render.finishedAt / 1e6 - lastCall + install;
  const double budget = kRestartWait + kRender + kSlack;
  Record("viewwnd/coalesce/latency", latency);
  if (!machine)
    printf("JViewWnd coalescing: %d updates %.0f ms apart, %.0f ms render: %d computations after the first "
           "(%d finished, last time %d; at most 2)\n"
           "  last update -> image installed %6.1f ms (render end + install %.2f ms), budget %.0f ms: %s\n",
           kCalls, kApart * 1e3, kRender * 1e3, render.started.load(), render.finished.load(), render.lastTime.load(),
           latency * 1e3, install * 1e3, budget * 1e3,
           render.started <= 2 && render.lastTime == kCalls && latency <= budget ? "ok" : "MISSED");
  v->Destroy();
  dlg->DeleteThis();
}

// A per-pixel colour that costs the same everywhere: a fixed number of steps of a quadratic map,
// kept in range without branches (whose prediction would depend on how far apart the samples lie).
AColor Costly(void*, float u, float v) {
  float x = u, y = v;
  for (int i = 0; i < 48; i++) {
    const float nx = x * x - y * y + 0.25f * u - 0.5f;
    y = std::min(std::max(2.0f * x * y + 0.25f * v, -2.0f), 2.0f);
    x = std::min(std::max(nx, -2.0f), 2.0f);
  }
  return AColor(x * x * 0.25f, y * y * 0.25f, u, 1.0f);
}

// Computing at 1:2 and 1:4 against 1:1 (each includes replication and installing), and the
// replication of a 1920 x 1080 view from 1:4 against a memcpy of its bytes.
void ViewWndResolution() {
  const int W = 640, H = 480;
  ViewBenchDialog* dlg = new ViewBenchDialog(W, H);
  JViewWnd* v = dlg->Attach(JViewWnd::Create(dlg->data, -1, ViewBenchDialog::kViewId, Costly, nullptr));
  double t[3];
  for (int res = 0; res < 3; res++) {
    v->SetResolution(dlg->data, res, 0);
    t[res] = BestSeconds([&] { v->UpdateView(0, nullptr); });
  }
  // Every update ends in the same W x H display image allocated, installed and drawn into the
  // window, whatever the resolution: that part is measured alone and the ratios are given
  // without it too.
  const double show = BestSeconds([&] {
    *v = static_cast<BMM_Color_24*>(malloc((size_t)W * H * sizeof(BMM_Color_24)));
  });
  Record("viewwnd/resolution/show", show);
  const double expect[3] = {1.0, 0.25, 0.0625};
  const char* names[3] = {"1:1", "1:2", "1:4"};
  for (int res = 0; res < 3; res++) {
    char name[64];
    snprintf(name, sizeof name, "viewwnd/resolution/%d", res);
    Record(name, t[res]);
    const double ratio = t[res] / t[0], net = (t[res] - show) / (t[0] - show);
    if (!machine)
      printf("JViewWnd %dx%d at %s: %7.2f ms, ratio to 1:1 %6.4f (%+5.1f %%); without showing the image %6.4f "
             "(%+5.1f %%; expected %6.4f)\n",
             W, H, names[res], t[res] * 1e3, ratio, (ratio / expect[res] - 1) * 100, net,
             (net / expect[res] - 1) * 100, expect[res]);
  }
  if (!machine) printf("  showing a %dx%d image (allocate, install, draw): %.2f ms\n", W, H, show * 1e3);
  v->Destroy();
  dlg->DeleteThis();

  const int BW = 1920, BH = 1080, sw = (BW + 3) / 4, sh = (BH + 3) / 4;
  std::vector<BMM_Color_24> src((size_t)sw * sh), out((size_t)BW * BH), scratch(out.size());
  uint32_t seed = 5;
  for (BMM_Color_24& p : src) {
    uint32_t r = Next(seed);
    p = BMM_Color_24{(BYTE)r, (BYTE)(r >> 8), (BYTE)(r >> 16)};
  }
  const size_t bytes = out.size() * sizeof(BMM_Color_24);
  double base, ours;
  BestAlternating(
      [&] {
        memcpy(scratch.data(), out.data(), bytes);
        sink = sink + scratch[out.size() - 1].r;
      },
      [&] {
        jviewfit::Replicate(out.data(), BW, BH, src.data(), sw, 4);
        sink = sink + out[out.size() - 1].r;
      },
      base, ours);
  Record("memcpy/viewwnd/fit", base);
  Record("viewwnd/fit", ours);
  if (!machine)
    printf("JViewWnd fit %dx%d from 1:4: %6.3f ms   memcpy of the output %6.3f ms   ratio %5.2f (at most 2)\n", BW,
           BH, ours * 1e3, base * 1e3, ours / base);
}

// ---- One spinner drag step ---------------------------------------------------------------------

// Allocation calls that the library and the host make, counted through their import tables.
struct AllocCounts {
  long library = 0, host = 0;
};
AllocCounts allocs;

typedef void* (*MallocFn)(size_t);
typedef void* (*CallocFn)(size_t, size_t);
typedef void* (*ReallocFn)(void*, size_t);
typedef LPVOID(WINAPI* HeapAllocFn)(HANDLE, DWORD, SIZE_T);
MallocFn realMalloc;
CallocFn realCalloc;
ReallocFn realRealloc;
HeapAllocFn realHeapAlloc;

// Whose import table a hook was reached through is not known inside the hook, so each module
// gets hooks of its own.
template <int Module>
struct Hooks {
  static long& Count() { return Module == 0 ? allocs.library : allocs.host; }
  static void* Malloc(size_t n) {
    Count()++;
    return realMalloc(n);
  }
  static void* Calloc(size_t n, size_t size) {
    Count()++;
    return realCalloc(n, size);
  }
  static void* Realloc(void* p, size_t n) {
    Count()++;
    return realRealloc(p, n);
  }
  static LPVOID WINAPI HeapAllocHook(HANDLE h, DWORD flags, SIZE_T n) {
    Count()++;
    return realHeapAlloc(h, flags, n);
  }
};

// The import slot of function name from dll in module mod, or null.
void** ImportSlot(HMODULE mod, const char* dll, const char* name) {
  BYTE* base = reinterpret_cast<BYTE*>(mod);
  IMAGE_NT_HEADERS* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (IMAGE_IMPORT_DESCRIPTOR* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name;
       imp++) {
    if (_stricmp(reinterpret_cast<char*>(base + imp->Name), dll) != 0) continue;
    IMAGE_THUNK_DATA* names =
        reinterpret_cast<IMAGE_THUNK_DATA*>(base + (imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk));
    IMAGE_THUNK_DATA* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; names++, slots++) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      IMAGE_IMPORT_BY_NAME* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (strcmp(reinterpret_cast<char*>(byName->Name), name) == 0) return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

// Points slot at hook (once the real function is known); answers the function it held.
template <class Fn>
void Patch(HMODULE mod, const char* dll, const char* name, Fn hook, Fn& real) {
  void** slot = ImportSlot(mod, dll, name);
  if (!slot) return;
  if (!real) real = reinterpret_cast<Fn>(*slot);
  DWORD old;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  *slot = reinterpret_cast<void*>(hook);
  VirtualProtect(slot, sizeof *slot, old, &old);
}

template <int Module>
void HookAllocations(HMODULE mod) {
  Patch(mod, "msvcrt.dll", "malloc", &Hooks<Module>::Malloc, realMalloc);
  Patch(mod, "msvcrt.dll", "calloc", &Hooks<Module>::Calloc, realCalloc);
  Patch(mod, "msvcrt.dll", "realloc", &Hooks<Module>::Realloc, realRealloc);
  Patch(mod, "kernel32.dll", "HeapAlloc", &Hooks<Module>::HeapAllocHook, realHeapAlloc);
}

// A library dialog object over a plain window: the host spinner's change message goes through the
// library's own routing to the control that owns the spinner.
class StepDialog : public JViewModelessBase {
 public:
  explicit StepDialog(HWND w) { hwnd = w; }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return 0; }
  const char* ActionName() override { return "Step"; }
  void Destroy() override {}
  int SwitchData(JDataBase*, void*) override { return 0; }
};

LRESULT CALLBACK StepWndProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  StepDialog* d = reinterpret_cast<StepDialog*>(GetWindowLongPtrA(h, GWLP_USERDATA));
  if (d && msg == CC_SPINNER_CHANGE) return d->DlgProc(msg, wp, lp);
  return DefWindowProcA(h, msg, wp, lp);
}

// One step of a spinner drag: the spinner's change message to the dialog, the write into a
// keyed leaf, the leaf's notification and four other spinners of the leaf refreshed; against
// the leaf's SetValue and four SetWindowText of the same numbers.
void SpinnerStep() {
  const int kViews = 4, kEditBase = 100, kSpinBase = 200;
  HINSTANCE exe = GetModuleHandleA(nullptr);
  InitCustomControls(exe);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = StepWndProc;
  wc.hInstance = exe;
  wc.lpszClassName = "QuorbenchStep";
  RegisterClassA(&wc);
  HWND win = CreateWindowA("QuorbenchStep", "spinstep", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, exe, nullptr);
  HWND edits[kViews + 1], spins[kViews + 1];
  for (int i = 0; i <= kViews; i++) {
    edits[i] = CreateWindowA(CUSTEDITWINDOWCLASS, "", WS_CHILD | WS_VISIBLE, 10, 10 + 25 * i, 60, 20, win,
                             (HMENU)(INT_PTR)(kEditBase + i), exe, nullptr);
    spins[i] = CreateWindowA(SPINNERWINDOWCLASS, "", WS_CHILD | WS_VISIBLE, 72, 10 + 25 * i, 12, 20, win,
                             (HMENU)(INT_PTR)(kSpinBase + i), exe, nullptr);
  }
  // The bare operations write a twin of the leaf that has no views, or the leaf's notification
  // would refresh the spinners as well.
  JFloatData* leaf = Create_JFloatData();
  JFloatData* twin = Create_JFloatData();
  AnimateOn();
  for (int k = 0; k <= 10; k++) {
    leaf->SetValue(k * 1600, (float)k);
    twin->SetValue(k * 1600, (float)k);
  }
  AnimateOff();
  StepDialog* dlg = new StepDialog(win);
  SetWindowLongPtrA(win, GWLP_USERDATA, (LONG_PTR)dlg);
  std::vector<JFloatSpinner*> views;
  for (int i = 0; i <= kViews; i++) {
    JFloatSpinner* s = JFloatSpinner::Create(leaf, -1, kSpinBase + i, kEditBase + i, -1e6f, 1e6f, 0.1f);
    *dlg += s;
    s->Init(0);
    s->SetFreeze(0);
    s->UpdateView(0, nullptr);
    views.push_back(s);
  }
  ISpinnerControl* dragged = views[0]->ISC();
  WPARAM change = MAKEWPARAM(kSpinBase, 1);
  float v = 0;
  auto step = [&] {
    v = v == 1.0f ? 2.0f : 1.0f;
    dragged->SetValue(v, FALSE);
    SendMessageA(win, CC_SPINNER_CHANGE, change, (LPARAM)spins[0]);
  };
  auto bare = [&] {
    v = v == 1.0f ? 2.0f : 1.0f;
    twin->SetValue(0, v);
    char text[32];
    snprintf(text, sizeof text, "%.3f", v);
    for (int i = 1; i <= kViews; i++) SetWindowTextA(edits[i], text);
  };
  // As during a drag, an undo hold is open for both: the dialog opens it at the first change.
  theHold.Begin();
  double base, ours;
  BestAlternating(bare, step, base, ours);

  // Allocations per step, counted over many steps after the first ones have warmed every cache.
  const int kCounted = 10000;
  HookAllocations<0>(GetLibInstance());
  HookAllocations<1>(GetModuleHandleA("VantorHost.dll"));
  allocs = AllocCounts();
  for (int i = 0; i < kCounted; i++) step();
  AllocCounts stepAllocs = allocs;
  allocs = AllocCounts();
  for (int i = 0; i < kCounted; i++) bare();
  AllocCounts bareAllocs = allocs;
  theHold.Accept("Step");
  theHold.ClearHistory();

  Record("spinstep/bare", base);
  Record("spinstep", ours);
  if (!machine)
    printf("spinner drag step, 4 views of a keyed leaf, in an undo hold: %.2f us   SetValue + 4 SetWindowText %.2f us   ratio %.2f\n"
           "  allocations per step: library %.3f, host %.3f   (bare: library %.3f, host %.3f)\n",
           ours * 1e6, base * 1e6, ours / base, (double)stepAllocs.library / kCounted,
           (double)stepAllocs.host / kCounted, (double)bareAllocs.library / kCounted, (double)bareAllocs.host / kCounted);
  for (JFloatSpinner* s : views) {
    *dlg -= s;
    s->Destroy();
  }
  SetWindowLongPtrA(win, GWLP_USERDATA, 0);
  dlg->DeleteThis();
  DestroyWindow(win);
  leaf->DeleteMe();
  twin->DeleteMe();
}

struct Bench {
  const char* name;
  void (*run)();
};
const Bench kBenches[] = {{"memblock", MemBlockCopy},  {"props", PropertyLookup},  {"tree-address", TreeAddressing},
                          {"tree-leafvalue", LeafValue}, {"tree-build", TreeBuild},     {"saveload", SaveLoad},
                          {"gradient", GradientColors},  {"blur", Blur},                {"overlay", OverlayBench},     {"copyfit", CopyFitBench},
                          {"glow", GlowBench},
                          {"bitblt", BitBltBench},       {"dlgrefresh", DialogRefresh},  {"dlgcreate", DialogCreate},
                          {"viewwnd-coalesce", ViewWndCoalescing}, {"viewwnd-resolution", ViewWndResolution},
                          {"spinstep", SpinnerStep}};

}  // namespace

int main(int argc, char** argv) {
  // The benchmark's own classes are created through the host like a plug-in's.
  RegisterPluginModule(GetLibInstance());
  int arg = 1;
  if (arg < argc && strcmp(argv[arg], "--machine") == 0) {
    machine = true;
    arg++;
  }
  const char* filter = arg < argc ? argv[arg] : "";
  for (const Bench& b : kBenches)
    if (strstr(b.name, filter)) b.run();
  return 0;
}
