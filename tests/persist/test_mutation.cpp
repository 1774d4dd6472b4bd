// The reader against damaged streams: truncated, mutated and length-corrupted variants of valid
// streams of realistic trees, each read with its true size from bytes that end exactly at a
// page the process may not touch, so that any read past the data faults at once. Every variant
// loads or answers null; none faults; a failed load leaves no object behind. A length reaching
// one byte past its enclosing chunk, or data shorter than the root header says, must fail.
// QUORTEST_MUTATIONS sets the number of variants (200000 by default). With the default number, a
// checksum of every variant's outcome must match the one stored here, so that a change in how the
// reader answers any variant shows even when the totals stay the same.
#include "GuardPage.h"
#include "Random.h"
#include "TestSupport.h"
#include "boxes.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

using quortest::U32;

namespace {

// A parameter block of the kind plug-ins save: leaves with keyed controllers, a payload, a
// nested block, a slot left empty, and a leaf that two blocks share.
class MutBlock : public JDataNode {
 public:
  explicit MutBlock(int) {}
  JClassDescBase* GetCD() override;
};
JClassDesc<MutBlock, ReferenceTargetRTTI> mutDesc(0, "MutBlock", 0x200, Class_ID(0x7E57A7A7, 1), "");
JClassDescBase* MutBlock::GetCD() { return &mutDesc; }

MutBlock* NewBlock() { return JCreateRegistered<MutBlock>(0x200, Class_ID(0x7E57A7A7, 1)); }

JData* KeyedLeaf(int keys, float scale) {
  JFloatData* f = Create_JFloatData();
  AnimateOn();
  for (int k = 0; k < keys; k++) f->SetValue(k * 160, scale * (float)(k * k - 3));
  AnimateOff();
  return f;
}

MutBlock* BuildTree(int variant) {
  MutBlock* root = NewBlock();
  MutBlock* inner = NewBlock();
  JData* shared = KeyedLeaf(3, 1.5f);
  root->Add(KeyedLeaf(2 + variant, 1.0f), "Radius");
  JColor3Data* color = Create_JColor3Data();
  Point3 c(0.1f * variant, 0.5f, 0.9f);
  color->SetValue(0, c);
  root->Add(color, "Color");
  JBinaryData* payload = Create_JBinaryData();
  payload->Payload().Copy("C:\\maps\\payload.bin\0with bytes after", 36);
  root->Add(payload, "");
  root->Add(inner, "Inner");
  root->Add(shared, "Shared");
  root->SetNumRefs(root->NumRefs() + 1);  // an empty slot: a null reference
  inner->Add(Create_JBoolData(), "Enabled");
  inner->Add(shared, "Shared too");
  if (variant > 0) inner->Add(Create_JSubtex(), "Map");
  root->SetBypassThis(variant & 1);
  return root;
}

// Refuses to open message boxes while the test runs, counting them: the reader's "Load Error"
// box for a damaged class id would otherwise wait for a click each time.
HHOOK hook;
int refusedBoxes = 0;
LRESULT CALLBACK RefuseDialogs(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_CREATEWND) {
    char cls[16];
    if (GetClassNameA(reinterpret_cast<HWND>(wp), cls, sizeof cls) && strcmp(cls, "#32770") == 0) {
      refusedBoxes++;
      return 1;
    }
  }
  return CallNextHookEx(hook, code, wp, lp);
}

// Every chunk header of a stream with the end of the chunk that encloses it (for the root header:
// the end of the data).
std::vector<std::pair<size_t, size_t>> Headers(const std::vector<unsigned char>& b) {
  std::vector<std::pair<size_t, size_t>> out{{0, b.size()}}, todo{{0, b.size()}};
  while (!todo.empty()) {
    auto [header, end] = todo.back();
    todo.pop_back();
    for (size_t at = header + 8; at + 8 <= end;) {
      out.push_back({at, end});
      size_t next = at + 8 + U32(b, at + 4);
      if (quortest::U16(b, at) == 1) todo.push_back({at, next});
      at = next;
    }
  }
  return out;
}

// FNV-1a over 32-bit words, byte by byte: one number for the outcomes of a whole run.
class OutcomeChecksum {
 public:
  void Add(uint32_t v) {
    for (int k = 0; k < 4; k++) {
      h ^= (v >> (8 * k)) & 0xFF;
      h *= 16777619u;
    }
  }
  uint32_t Value() const { return h; }

 private:
  uint32_t h = 2166136261u;
};

// The checksum of the default run: for each variant, the reader's status and its object count.
// A change of the reader's behaviour changes it; when the change is meant, store the new value.
const long kDefaultVariants = 200000;
const uint32_t kDefaultOutcomes = 0xBF250132u;

}  // namespace

TEST(Mutation, DamagedStreamsLoadOrFailCleanly) {
  long variants = kDefaultVariants;
  if (const char* env = getenv("QUORTEST_MUTATIONS")) variants = atol(env);

  std::vector<std::vector<unsigned char>> streams;
  for (int v = 0; v < 3; v++) {
    MutBlock* tree = BuildTree(v);
    streams.push_back(SavedBytes(tree));
    tree->DeleteMe();
  }
  // The valid streams themselves load.
  size_t largest = 0;
  for (auto& s : streams) {
    ReferenceMaker* rm = LoadRefMaker(reinterpret_cast<char*>(s.data()));
    ASSERT_NE(rm, nullptr);
    rm->DeleteMe();
    largest = std::max(largest, s.size());
  }
  quortest::GuardPageBuffer fence(largest);
  ASSERT_TRUE(fence.Ok());
  quortest::AssertRecorder asserts;  // the host's assertions are an acceptable answer to bad input
  hook = SetWindowsHookExA(WH_CBT, RefuseDialogs, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);

  const uint8_t edges[] = {0x00, 0xFF, 0x01, 0x7F, 0x80, 0xFE};
  const uint32_t lengths[] = {0, 1, 7, 8, 9, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u};
  quortest::Random rng(20261205);
  long loaded = 0, failed = 0, leaks = 0, orphansLeft = 0;
  OutcomeChecksum outcomes;
  std::vector<unsigned char> m;
  for (long i = 0; i < variants; i++) {
    const std::vector<unsigned char>& s = streams[i % streams.size()];
    m = s;
    size_t size = m.size();
    switch (i % 4) {
      case 0:  // truncated
        size = rng.Below((int)m.size());
        break;
      case 1: {  // one byte set to an edge value or a random one
        size_t at = rng.Below((int)m.size());
        m[at] = rng.Below(3) ? edges[rng.Below(sizeof edges)] : (uint8_t)rng.Next();
        break;
      }
      case 2: {  // a header's length corrupted
        auto heads = Headers(s);
        size_t at = heads[rng.Below((int)heads.size())].first;
        uint32_t len = U32(m, at + 4);
        int pick = rng.Below(4);
        uint32_t v = pick == 0 ? lengths[rng.Below(sizeof lengths / sizeof lengths[0])]
                     : pick == 1 ? len + 1 + rng.Below(16)
                     : pick == 2 ? len - 1 - rng.Below(len ? (int)len : 1)
                                 : rng.Next();
        quortest::SetU32(m, at + 4, v);
        if (rng.Below(2)) m[at] = (uint8_t)rng.Below(4);  // and maybe its type
        break;
      }
      default: {  // a burst of random bytes
        size_t at = rng.Below((int)m.size());
        size_t n = 1 + rng.Below(12);
        for (size_t k = 0; k < n && at + k < m.size(); k++) m[at + k] = (uint8_t)rng.Next();
        break;
      }
    }
    long live = GetLiveRefTargetCount();
    char* bytes = fence.Place(m.data(), size);
    JLoad load(bytes, (unsigned)size);
    ReferenceMaker* rm = static_cast<ReferenceMaker*>(load.GetAddr(0));
    outcomes.Add((uint32_t)load.Status());
    outcomes.Add((uint32_t)load.NumObjects());
    if (!rm) {
      failed++;
      if (GetLiveRefTargetCount() != live) {
        leaks++;
        if (leaks < 5) ADD_FAILURE() << "variant " << i << " left " << GetLiveRefTargetCount() - live << " object(s)";
      }
      continue;
    }
    // A damaged stream can load whole with objects that nothing references: the caller owns
    // what the load made, so the root goes and so does every object without dependents (each
    // the top of a piece that nothing else holds; references never form cycles).
    loaded++;
    std::vector<ReferenceMaker*> orphans;
    for (int k = 0; k < load.NumObjects(); k++) {
      ReferenceMaker* o = static_cast<ReferenceMaker*>(load.GetAddr(k));
      if (!o || o == rm || !o->IsRefTarget() || static_cast<ReferenceTarget*>(o)->NumDependents()) continue;
      if (std::find(orphans.begin(), orphans.end(), o) == orphans.end()) orphans.push_back(o);
    }
    rm->DeleteMe();
    for (ReferenceMaker* o : orphans) o->DeleteMe();
    if (GetLiveRefTargetCount() != live) orphansLeft++;
  }
  UnhookWindowsHookEx(hook);
  EXPECT_EQ(leaks, 0) << "a failed load leaves nothing behind";
  EXPECT_EQ(orphansLeft, 0);
  EXPECT_EQ(loaded + failed, variants);
  EXPECT_GT(failed, variants / 4) << "most damage is detected";
  EXPECT_GT(refusedBoxes, 0) << "damaged class ids reached the Load Error box";
  printf("%ld variants: %ld loaded, %ld failed, %d load-error boxes, %zu host assertions, outcome checksum 0x%08X\n",
         variants, loaded, failed, refusedBoxes, asserts.Hits().size(), (unsigned)outcomes.Value());
  if (variants == kDefaultVariants) {
    EXPECT_EQ(outcomes.Value(), kDefaultOutcomes) << "the reader answers some damaged stream differently";
  }
}

TEST(Mutation, ALengthReachingPastItsEnclosingChunkOrTheDataFails) {
  MutBlock* tree = BuildTree(2);
  std::vector<unsigned char> bytes = SavedBytes(tree);
  tree->DeleteMe();
  ASSERT_FALSE(bytes.empty());
  quortest::GuardPageBuffer fence(bytes.size());
  quortest::AssertRecorder asserts;
  long live = GetLiveRefTargetCount();
  // Every header that ends where its enclosing chunk ends claims one byte more.
  int tried = 0;
  for (auto [at, end] : Headers(bytes)) {
    if (at + 8 + U32(bytes, at + 4) != end) continue;
    std::vector<unsigned char> m = bytes;
    const uint32_t more = U32(m, at + 4) + 1;
    quortest::SetU32(m, at + 4, more);
    JLoad load(fence.Place(m.data(), m.size()), (unsigned)m.size());
    EXPECT_EQ(load.GetAddr(0), nullptr) << "header at " << at;
    tried++;
  }
  EXPECT_GE(tried, 20);
  EXPECT_EQ(GetLiveRefTargetCount(), live);
  // The whole data one byte short of what the root header says, and no data at all.
  JLoad cut(fence.Place(bytes.data(), bytes.size() - 1), (unsigned)bytes.size() - 1);
  EXPECT_EQ(cut.Status(), IO_ERROR);
  JLoad none(nullptr);
  EXPECT_EQ(none.Status(), IO_ERROR);
}
