// quorbench: throughput of the library's hot paths, each printed as a ratio against a baseline
// measured in the same run, so that figures compare across machines and Wine versions.
// Usage: quorbench [name-filter]
#include "Quorlib.h"

#include <stdio.h>
#include <string.h>

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

// Best time of one call of f over several rounds of at least 50 ms.
template <class F>
double BestSeconds(F f) {
  double best = 1e30;
  for (int round = 0; round < 5; round++) {
    int reps = 0;
    double start = Now(), elapsed;
    do {
      f();
      reps++;
      elapsed = Now() - start;
    } while (elapsed < 0.05);
    if (elapsed / reps < best) best = elapsed / reps;
  }
  return best;
}

volatile unsigned sink;

void MemBlockCopy() {
  for (unsigned size : {4096u, 1u << 20, 16u << 20}) {
    std::vector<char> src(size, 'q'), dst(size);
    JMemBlock block;
    double base = BestSeconds([&] {
      memcpy(dst.data(), src.data(), size);
      sink = sink + dst[size - 1];
    });
    double ours = BestSeconds([&] { sink = sink + block.Copy(src.data(), size); });
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
  printf("JPropertyList::Value (%d records): %.1f ns per lookup   array %.2f ns   ratio %.1f\n", n, ours / n * 1e9,
         base / n * 1e9, ours / base);
}

struct Bench {
  const char* name;
  void (*run)();
};
const Bench kBenches[] = {{"memblock", MemBlockCopy}, {"props", PropertyLookup}};

}  // namespace

int main(int argc, char** argv) {
  const char* filter = argc > 1 ? argv[1] : "";
  for (const Bench& b : kBenches)
    if (strstr(b.name, filter)) b.run();
  return 0;
}
