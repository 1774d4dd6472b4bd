// The evaluation cache: lookup by key, use counting, memory-driven trimming, one lock per cache.
#include "JCache.h"
#include "JInternal.h"

namespace {

// Assertion lines of this source ("JCACHE").
const int kLinePutForeign = 107;  // Put of an entry that is not stored

const unsigned long kCountMask = 0x7FFFFFFFUL;

}  // namespace

JCache::JCache() : total(0), generation(0) { InitializeCriticalSection(&lock); }

JCache::~JCache() {
  for (int i = 0; i < entries.Count(); i++) entries[i]->Release();
  DeleteCriticalSection(&lock);
  entries.Resize(0);
}

int JCache::BeginEval() {
  JLock hold(lock);
  generation++;
  return 1;
}

int JCache::EndEval() {
  Shrink(25, 50);
  return 1;
}

int JCache::HoldEval() {
  Shrink(25, 50);
  return 1;
}

JCacheEntry* JCache::Get(void* key1, void* key2) {
  JCacheEntry* p = NewEntry();
  if (!p) return nullptr;
  if (!p->SetKey(key1, key2)) {
    delete p;
    return nullptr;
  }
  JLock hold(lock);
  for (int i = 0; i < entries.Count(); i++) {
    JCacheEntry* e = entries[i];
    if (e->use & JCacheEntry::HIDDEN) continue;
    if (!p->Matches(e)) continue;
    e->use = (e->use & JCacheEntry::HIDDEN) | ((e->use + 1) & kCountMask);
    e->stamp = generation;
    p->Release();
    return e;
  }
  // A miss: evaluate; when that fails with memory held, drop what nobody holds and try again.
  int ok = p->Evaluate(this);
  while (!ok && p->size != 0) {
    if (!Shrink(101, 50)) break;
    ok = p->Evaluate(this);
  }
  if (ok && entries.Append(1, &p) < 0) ok = 0;
  if (!ok) {
    p->Release();
    return nullptr;
  }
  p->use = 1;
  p->stamp = generation;
  total += p->size;
  return p;
}

int JCache::Put(JCacheEntry* entry) {
  JLock hold(lock);
  for (int i = 0; i < entries.Count(); i++) {
    JCacheEntry* e = entries[i];
    if (e != entry) continue;
    if (e->use & kCountMask) e->use = (e->use & JCacheEntry::HIDDEN) | ((e->use & kCountMask) - 1);
    return 1;
  }
  assert1(kLinePutForeign, "JCACHE");
  return 0;
}

int JCache::Enum(int (*fn)(JCacheEntry*, void*), void* context) {
  JLock hold(lock);
  int i = 0;
  while (i < entries.Count() && fn(entries[i], context)) i++;
  return i;
}

int JCache::Shrink(int percent, int maxCount) {
  JLock hold(lock);
  MEMORYSTATUS ms;
  ms.dwLength = sizeof ms;
  GlobalMemoryStatus(&ms);
  const float factor = (float)percent * 0.01f;
  if ((double)ms.dwAvailPhys > (double)ms.dwTotalPhys * factor && entries.Count() <= maxCount) return 1;
  if (entries.Count() == 0) return 0;
  int removed = 0;
  for (int i = 0; i < entries.Count();) {
    JCacheEntry* e = entries[i];
    e->use &= ~JCacheEntry::HIDDEN;
    if (e->use != 0) {
      i++;
      continue;
    }
    total -= e->size;
    e->Release();
    entries.Delete(i, 1);
    removed++;
  }
  return removed ? 1 : 0;
}
