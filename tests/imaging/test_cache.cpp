// The evaluation cache with a client entry class: hits and misses, use counts, trimming, hidden
// entries, enumeration, failed evaluations, and two threads sharing one cache.
#include "ImagingTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// What the test's entries have seen, shared by every entry of one cache.
struct Journal {
  std::atomic<int> evaluations{0}, releases{0}, destroyed{0}, releasedWhileHeld{0};
  int failEvaluations = 0;   // the next evaluations that fail
  unsigned long failSize = 0;  // the size a failing evaluation reports
};

// A client entry: the key is an integer, the result its square, the size 10 + key.
class SquareEntry : public JCacheEntry {
 public:
  explicit SquareEntry(Journal& j) : journal(j) {}
  ~SquareEntry() override { journal.destroyed++; }
  int SetKey(void* key1, void* key2) override {
    if (!key1) return 0;  // key 0 is rejected
    key = (int)(intptr_t)key1;
    salt = (int)(intptr_t)key2;
    return 1;
  }
  int Evaluate(JCache*) override {
    journal.evaluations++;
    if (journal.failEvaluations > 0) {
      journal.failEvaluations--;
      size = journal.failSize;
      return 0;
    }
    square = key * key;
    size = 10 + key;
    return 1;
  }
  void Release() override {
    journal.releases++;
    if (use & 0x7FFFFFFF) journal.releasedWhileHeld++;
    alive = 0;
    delete this;
  }
  int Matches(JCacheEntry* other) override {
    SquareEntry* o = static_cast<SquareEntry*>(other);
    return o->key == key && o->salt == salt;
  }

  int key = 0, salt = 0, square = -1;
  volatile int alive = 0x600D;
  Journal& journal;
};

// The journal outlives the cache's own destructor, which releases the stored entries.
struct JournalHolder {
  Journal journal;
};

class SquareCache : public JournalHolder, public JCache {
 public:
  JCacheEntry* NewEntry() override { return refuseNew ? nullptr : new SquareEntry(journal); }
  SquareEntry* Get(int key, int salt = 0) {
    return static_cast<SquareEntry*>(JCache::Get((void*)(intptr_t)key, (void*)(intptr_t)salt));
  }
  int Count() { return Enum([](JCacheEntry*, void*) { return 1; }, nullptr); }
  unsigned long SizeSum() {
    unsigned long sum = 0;
    Enum([](JCacheEntry* e, void* c) { *static_cast<unsigned long*>(c) += e->size; return 1; }, &sum);
    return sum;
  }

  bool refuseNew = false;
};

}  // namespace

TEST(JCache, EqualKeysEvaluateOnceAndShareTheEntry) {
  SquareCache cache;
  cache.BeginEval();
  SquareEntry* a = cache.Get(7);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->square, 49);
  EXPECT_EQ(a->use, 1u);
  EXPECT_EQ(a->stamp, 1u);
  EXPECT_EQ(cache.Total(), 17u);

  cache.BeginEval();
  SquareEntry* b = cache.Get(7);
  EXPECT_EQ(b, a);
  EXPECT_EQ(a->use, 2u);
  EXPECT_EQ(a->stamp, 2u) << "a hit takes the current generation";
  EXPECT_EQ(cache.journal.evaluations, 1);
  EXPECT_EQ(cache.journal.releases, 1) << "the prototype of the hit was released";
  EXPECT_EQ(cache.Total(), 17u) << "a hit adds nothing";

  SquareEntry* other = cache.Get(7, 1);
  EXPECT_NE(other, a) << "the second key part counts too";
  EXPECT_EQ(cache.Total(), 34u);

  EXPECT_EQ(cache.Put(a), 1);
  EXPECT_EQ(cache.Put(b), 1);
  EXPECT_EQ(a->use, 0u);
  EXPECT_EQ(cache.Put(a), 1);
  EXPECT_EQ(a->use, 0u) << "a count of 0 stays 0";
  cache.Put(other);
}

TEST(JCache, ShrinkKeepsEntriesWhileMemoryIsFreeAndThenDropsEveryUnheldOne) {
  SquareCache cache;
  SquareEntry* a = cache.Get(3);
  SquareEntry* b = cache.Get(4);
  SquareEntry* held = cache.Get(5);
  cache.Put(a);
  cache.Put(b);
  ASSERT_EQ(cache.Total(), 13u + 14u + 15u);

  EXPECT_EQ(cache.Shrink(0, 100), 1) << "free memory and few entries: nothing to do";
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_EQ(cache.Shrink(0, 2), 1) << "more entries than allowed: the unheld go";
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Total(), 15u);
  EXPECT_EQ(held->alive, 0x600D);
  EXPECT_EQ(cache.journal.releasedWhileHeld, 0);

  EXPECT_EQ(cache.Shrink(101, 50), 0) << "trimming was needed but only a held entry is left";
  EXPECT_EQ(cache.Count(), 1);
  cache.Put(held);
  EXPECT_EQ(cache.Shrink(101, 50), 1);
  EXPECT_EQ(cache.Count(), 0);
  EXPECT_EQ(cache.Total(), 0u);
  EXPECT_EQ(cache.Shrink(101, 50), 0) << "an empty cache has nothing to remove";
}

TEST(JCache, EndEvalTrimsBeyondFiftyEntries) {
  SquareCache cache;
  for (int k = 1; k <= 50; k++) cache.Put(cache.Get(k));
  EXPECT_EQ(cache.EndEval(), 1);
  EXPECT_EQ(cache.Count(), 50);
  SquareEntry* kept = cache.Get(51);
  EXPECT_EQ(cache.HoldEval(), 1);
  EXPECT_EQ(cache.Count(), 1) << "51 entries: all but the held one go";
  EXPECT_EQ(cache.Total(), 61u);
  cache.Put(kept);
}

TEST(JCache, HiddenEntriesAreSkippedUntilTheNextShrinkClearsTheMark) {
  SquareCache cache;
  SquareEntry* first = cache.Get(9);
  first->use |= JCacheEntry::HIDDEN;
  SquareEntry* second = cache.Get(9);
  EXPECT_NE(second, first) << "a hidden entry is not found";
  EXPECT_EQ(cache.journal.evaluations, 2);
  EXPECT_EQ(cache.Put(first), 1);
  EXPECT_EQ(first->use, JCacheEntry::HIDDEN) << "Put keeps the mark";

  // Both are held once more, so the shrink clears the mark and removes nothing.
  cache.Put(second);
  SquareEntry* again = cache.Get(9);
  EXPECT_EQ(again, second);
  first->use |= 1;
  EXPECT_EQ(cache.Shrink(101, 50), 0);
  EXPECT_EQ(first->use, 1u) << "the mark is gone";
  cache.Put(first);
  cache.Put(again);
  EXPECT_EQ(cache.Shrink(101, 50), 1);
  EXPECT_EQ(cache.Count(), 0);
}

TEST(JCache, EnumStopsAtTheFirstZeroAndCountsTheCallsBefore) {
  SquareCache cache;
  for (int k = 1; k <= 5; k++) cache.Put(cache.Get(k));
  std::vector<int> seen;
  int n = cache.Enum(
      [](JCacheEntry* e, void* c) {
        auto* v = static_cast<std::vector<int>*>(c);
        v->push_back(static_cast<SquareEntry*>(e)->key);
        return v->size() == 3 ? 0 : 1;
      },
      &seen);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3})) << "insertion order";
  EXPECT_EQ(cache.Count(), 5);
}

TEST(JCache, RejectedKeysMissingPrototypesAndForeignEntriesChangeNothing) {
  SquareCache cache;
  EXPECT_EQ(cache.Get(0), nullptr);
  EXPECT_EQ(cache.journal.destroyed, 1) << "the rejected prototype is destroyed";
  EXPECT_EQ(cache.journal.releases, 0) << "... through its destructor, not Release";
  SquareEntry* stored = cache.Get(2);
  cache.refuseNew = true;
  EXPECT_EQ(cache.Get(4), nullptr);
  EXPECT_EQ(cache.Count(), 1);
  // Put of an entry that the cache does not hold asserts.
  SquareEntry stranger(cache.journal);
  stranger.use = 1;
  quortest::AssertRecorder asserts;
  EXPECT_EQ(cache.Put(&stranger), 0);
  EXPECT_TRUE(asserts.Saw("JCACHE", 107));
  EXPECT_EQ(stranger.use, 1u);
  EXPECT_EQ(stored->use, 1u);
  cache.Put(stored);
}

TEST(JCache, AFailedEvaluationHoldingMemoryTrimsAndRetries) {
  SquareCache cache;
  for (int k = 1; k <= 3; k++) cache.Put(cache.Get(k));
  SquareEntry* held = cache.Get(4);
  cache.journal.failEvaluations = 1;
  cache.journal.failSize = 500;
  SquareEntry* e = cache.Get(6);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->square, 36);
  EXPECT_EQ(cache.journal.evaluations, 4 + 2);
  EXPECT_EQ(cache.Count(), 2) << "the unheld entries made room; the held one stayed";
  EXPECT_EQ(cache.Total(), 14u + 16u);
  cache.Put(e);
  cache.Put(held);

  // Failing again after the trim: the request fails and the prototype is released.
  cache.journal.failEvaluations = 2;
  const int releases = cache.journal.releases;
  EXPECT_EQ(cache.Get(8), nullptr);
  EXPECT_EQ(cache.journal.releases, releases + 2 + 1) << "two entries trimmed, then the prototype";
  EXPECT_EQ(cache.Count(), 0);

  // A failure that holds nothing is not retried, and nothing is trimmed.
  cache.Put(cache.Get(1));
  cache.journal.failEvaluations = 5;
  cache.journal.failSize = 0;
  const int evaluations = cache.journal.evaluations;
  EXPECT_EQ(cache.Get(2), nullptr);
  EXPECT_EQ(cache.journal.evaluations, evaluations + 1);
  EXPECT_EQ(cache.Count(), 1);
  cache.journal.failEvaluations = 0;
}

TEST(JCache, TwoThreadsKeepTheTotalAndNeverLoseAHeldEntry) {
  SquareCache cache;
  std::atomic<int> wrong{0};
  auto work = [&](uint32_t seed) {
    imgtest::Random rnd(seed);
    for (int i = 0; i < 4000; i++) {
      const int key = 1 + rnd.Below(12);
      SquareEntry* e = cache.Get(key);
      if (!e) {
        wrong++;
        continue;
      }
      // Trim and look around while holding: the entry must outlive both.
      if (rnd.Below(4) == 0) cache.Shrink(101, 0);
      if (rnd.Below(8) == 0) cache.Count();
      if (e->alive != 0x600D || e->key != key || e->square != key * key) wrong++;
      cache.Put(e);
      if (rnd.Below(16) == 0) cache.BeginEval();
    }
  };
  std::thread t1(work, 1u), t2(work, 2u);
  t1.join();
  t2.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(cache.journal.releasedWhileHeld, 0);
  EXPECT_EQ(cache.Total(), cache.SizeSum());
  EXPECT_GT(cache.journal.releases, 100) << "trimming did run against held entries";
}
