// Storage of the growable tables. Every table's memory is allocated and freed here, so a table
// can be filled in one module and released in another.
#include "vutil.h"

#include <stdlib.h>
#include <string.h>

namespace {

size_t Bytes(int n, int elsize) { return sizeof(TabHdr) + (size_t)n * (size_t)elsize; }

// Reallocates the table to hold exactly n elements, keeping count within it.
int Realloc(TabHdr** pth, int n, int elsize) {
  if (n <= 0) {
    free(*pth);
    *pth = nullptr;
    return 1;
  }
  TabHdr* nh = static_cast<TabHdr*>(realloc(*pth, Bytes(n, elsize)));
  if (!nh) return 0;
  if (!*pth) nh->count = 0;
  nh->nalloc = n;
  if (nh->count > n) nh->count = n;
  *pth = nh;
  return 1;
}

char* Elems(TabHdr* th) { return reinterpret_cast<char*>(th + 1); }

}  // namespace

int TBMakeSize(TabHdr** pth, int num, int elsize) {
  if (!pth || num < 0) return 0;
  return Realloc(pth, num, elsize);
}

int TBSetCount(TabHdr** pth, int n, int elsize, BOOL resize) {
  if (!pth || n < 0) return 0;
  int cap = *pth ? (*pth)->nalloc : 0;
  if (n > cap || (resize && n != cap)) {
    if (!Realloc(pth, n, elsize)) return 0;
  }
  if (*pth) (*pth)->count = n;
  return 1;
}

int TBInsertAt(TabHdr** pth, int at, int num, const void* el, int elsize, int extra) {
  if (!pth || num < 0) return -1;
  int count = *pth ? (*pth)->count : 0;
  if (at < 0 || at > count) at = count;
  if (num == 0) return at;
  int cap = *pth ? (*pth)->nalloc : 0;
  if (count + num > cap) {
    // Grow by at least half the count, so that appending one at a time stays amortised constant.
    if (extra < count / 2) extra = count / 2;
    if (!Realloc(pth, count + num + extra, elsize)) return -1;
  }
  char* base = Elems(*pth);
  memmove(base + (size_t)(at + num) * elsize, base + (size_t)at * elsize, (size_t)(count - at) * elsize);
  if (el)
    memcpy(base + (size_t)at * elsize, el, (size_t)num * elsize);
  else
    memset(base + (size_t)at * elsize, 0, (size_t)num * elsize);
  (*pth)->count = count + num;
  return at;
}

int TBCopy(TabHdr** pth, int at, int num, const void* el, int elsize) {
  if (!pth || at < 0 || num < 0) return 0;
  int count = *pth ? (*pth)->count : 0;
  if (at > count) at = count;
  int need = at + num;
  if (need > count && !TBSetCount(pth, need, elsize, FALSE)) return 0;
  if (num) memcpy(Elems(*pth) + (size_t)at * elsize, el, (size_t)num * elsize);
  return 1;
}

int TBDelete(TabHdr** pth, int starting, int num, int elsize) {
  if (!pth || !*pth) return 0;
  TabHdr* th = *pth;
  if (starting < 0 || num <= 0 || starting >= th->count) return th->count;
  if (starting + num > th->count) num = th->count - starting;
  char* base = Elems(th);
  memmove(base + (size_t)starting * elsize, base + (size_t)(starting + num) * elsize,
          (size_t)(th->count - starting - num) * elsize);
  th->count -= num;
  return th->count;
}

void zfree(void** p) {
  if (!p) return;
  free(*p);
  *p = nullptr;
}
