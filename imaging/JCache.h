// A cache of expensive evaluations: a second request for the same key returns the stored result.
// Clients derive their entry class from JCacheEntry and their cache from JCache; the library does
// the lookup, the use counting, the memory-driven trimming and the locking, so one cache may be
// shared between threads.
#pragma once

#include "JExport.h"
#include "vantor.h"

class JCache;

// The result of one evaluation, stored by the cache. A client class holds the key and the result.
class QUORAPI JCacheEntry {
 public:
  // Bit 31 of use: the entry is hidden from lookups (set by client code, cleared by Shrink).
  enum : unsigned long { HIDDEN = 0x80000000UL };

  JCacheEntry() : size(0), use(0), stamp(0) {}
  virtual ~JCacheEntry() {}

  // Stores the key this entry stands for; 0 rejects the request.
  virtual int SetKey(void* key1, void* key2) = 0;
  // Computes the result and sets size; 0 on failure. Runs under the cache's lock.
  virtual int Evaluate(JCache* cache) = 0;
  // Destroys the entry (the client's module frees it).
  virtual void Release() = 0;
  // Non-zero when other holds the same key as this entry.
  virtual int Matches(JCacheEntry* other) = 0;

  unsigned long size;   // memory the result holds, in the client's unit; added to the cache total
  unsigned long use;    // bits 0-30: current holders (each Get hit adds one, each Put removes one); bit 31: HIDDEN
  unsigned long stamp;  // the cache's evaluation generation at the entry's last Get
};

// The entry list with its lock. Every list operation takes the lock, which is re-entrant, and Get
// holds it while it evaluates: one evaluation at a time per cache, and concurrent requests for
// one key find the entry the first one stored.
class QUORAPI JCache {
 public:
  JCache();
  // Releases every stored entry (without taking the lock: nobody may use the cache any more).
  ~JCache();
  JCache(const JCache&) = delete;
  JCache& operator=(const JCache&) = delete;

  // A new, empty client entry; null when none can be made.
  virtual JCacheEntry* NewEntry() = 0;

  // Starts an evaluation round: the generation grows by one. Answers 1.
  int BeginEval();
  // End or pause of a round: trims when free physical memory is at or below a quarter of the
  // total or the cache holds more than 50 entries (Shrink(25, 50)). Answer 1.
  int EndEval();
  int HoldEval();

  // The entry holding the result for the key, its use count raised: a stored entry that
  // matches, or a new one evaluated and stored (after trimming and retrying when the evaluation
  // fails with memory held). Null for a rejected key or a failed evaluation. Give it back with
  // Put when done.
  JCacheEntry* Get(void* key1, void* key2);
  // Lowers the use count of a stored entry (a count of 0 stays 0). 1; 0 with a host assertion
  // for an entry that is not stored.
  int Put(JCacheEntry* entry);
  // Calls fn(entry, context) for each stored entry in insertion order until fn answers 0, and
  // answers the number of calls that answered non-zero.
  int Enum(int (*fn)(JCacheEntry*, void*), void* context);
  // When available physical memory is at or below percent % of the total, or more than maxCount
  // entries are stored: clears the HIDDEN bit of every entry and removes every entry that nobody
  // holds. 1 when nothing needed doing or something was removed, 0 otherwise.
  int Shrink(int percent, int maxCount);

  // The sum of the sizes of the stored entries, and the evaluation generation.
  unsigned long Total() const { return total; }
  unsigned long Generation() const { return generation; }

 protected:
  unsigned long total;
  unsigned long generation;
  Tab<JCacheEntry*> entries;
  CRITICAL_SECTION lock;
};
