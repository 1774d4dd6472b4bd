// quorbench: throughput of the library's hot paths, each printed as a ratio against a baseline
// measured in the same run, so that figures compare across machines and Wine versions.
// Usage: quorbench [name-filter]
#include "Quorlib.h"

#include <stdio.h>
#include <string.h>

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

struct Bench {
  const char* name;
  void (*run)();
};
const Bench kBenches[] = {{"memblock", MemBlockCopy},
                          {"props", PropertyLookup},
                          {"tree-address", TreeAddressing},
                          {"tree-leafvalue", LeafValue},
                          {"tree-build", TreeBuild},
                          {"saveload", SaveLoad}};

}  // namespace

int main(int argc, char** argv) {
  // The benchmark's own classes are created through the host like a plug-in's.
  RegisterPluginModule(GetLibInstance());
  const char* filter = argc > 1 ? argv[1] : "";
  for (const Bench& b : kBenches)
    if (strstr(b.name, filter)) b.run();
  return 0;
}
