// The gradient node: flags, colour cache and evaluation, drawing, bitmap modes, resources, files.
#include "JGrad.h"
#include "JColor.h"
#include "JGradInternal.h"
#include "JInternal.h"
#include "JModule.h"
#include "JReclaimInternal.h"
#include "JSaveLoad.h"

#include <float.h>
#include <limits.h>
#include <math.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <vector>

using jgrad::Cache;
using jgrad::CacheEntry;
using jgrad::Span;

namespace {

const char kSource[] = "JGRADCTL";
// Lines reported to the host's assertion service.
const int kLineModeChild = 160;
const int kLineSetModeChild = 176;
const int kLineNoFlagSet = 214;
const int kLineFlagIndex = 231;
const int kLineCacheAlloc = 301;
const int kLineMissingFlag = 318;
const int kLineRecordChild = 702;
const int kLineInterpChild = 188;
const int kLineEditFlagSet = 246;
const int kLineNoNode = 212;
const int kLineEnumChild = 790;


constexpr Class_ID kGradID = jlib::ClassIDOf(jlib::kGradCtlDataClass);
J_INIT_DESCRIPTOR(jlib::kGradCtlDataClass) JClassDesc<JGradCtlData, ReferenceTargetRTTI> gradDesc(0, "JGradCtlData", 0x200, kGradID, "");

// A null gradient asked for its flag count. The compiler may assume this is never null, so the
// test is made where it cannot see the argument's origin (no inlining, no interprocedural
// analysis); the rest of the file keeps the assumption, which the lookups profit from.
__attribute__((noipa)) bool NullGradient(const void* g) { return g == nullptr; }

const float kSentinelPos = 17.0f;
const size_t kBitmapHeader = 12;
const size_t kRecordNames = 520;  // name (260) + device (256) + driver data size (4)


// The eased parameter of the host's curves as piecewise polynomials (see JGradInternal.h). On
// each piece the polynomial meets the curve at six Chebyshev-Lobatto points, the piece's ends
// among them, so that neighbouring pieces join where the curve is. A smooth curve stays within
// a few float steps of them in between; whether the host's curves do is measured when the
// module loads, and a type whose table does not follow its curve is evaluated by calling the
// curve itself (EaseOf), on paths that never reach the fast lookups.
const int kEaseSteps = jgrad::kEaseSegments;
const int kCoefficients = jgrad::kEaseDegree + 1;
const int kTableSize = kCoefficients * jgrad::kEaseSegments;
const double kPi = 3.14159265358979323846;
const float kEaseTolerance = 1e-6f;  // the largest difference from the curve a table may make
const int kCheckPoints = 8192;       // where a fitted table is compared with its curve

typedef float (*Curve)(float u);
float EaseInCurve(float u) { return bias(0.35f, u); }
float EaseInOutCurve(float u) {
  float knots[6] = {0.0f, 0.0f, 0.4f, 0.6f, 1.0f, 1.0f};
  return spline(u, 6, knots);
}
float EaseOutCurve(float u) { return bias(0.65f, u); }
const Curve kHostCurves[3] = {EaseInCurve, EaseInOutCurve, EaseOutCurve};  // by type - 1

// Gaussian elimination with partial pivoting; the solution replaces the right side.
void Solve(double (&a)[kCoefficients][kCoefficients + 1]) {
  for (int c = 0; c < kCoefficients; c++) {
    int best = c;
    for (int r = c + 1; r < kCoefficients; r++)
      if (fabs(a[r][c]) > fabs(a[best][c])) best = r;
    for (int k = 0; k <= kCoefficients; k++) std::swap(a[c][k], a[best][k]);
    for (int r = 0; r < kCoefficients; r++) {
      if (r == c) continue;
      double f = a[r][c] / a[c][c];
      for (int k = c; k <= kCoefficients; k++) a[r][k] -= f * a[c][k];
    }
  }
  for (int c = 0; c < kCoefficients; c++) a[c][kCoefficients] /= a[c][c];
}

// Fits table to curve and answers whether the table follows it, within kEaseTolerance at
// kCheckPoints + 1 even steps of u, the pieces' joins among them.
bool FitCurve(Curve curve, float* table) {
  for (int j = 0; j < jgrad::kEaseSegments; j++) {
    double a[kCoefficients][kCoefficients + 1];  // the Vandermonde system, right side last
    for (int m = 0; m < kCoefficients; m++) {
      double f = m == 0 ? 0.0 : m == kCoefficients - 1 ? 1.0 : (1.0 - cos(kPi * m / (kCoefficients - 1))) / 2.0;
      float u = (float)((j + f) / jgrad::kEaseSegments);
      f = (double)u * jgrad::kEaseSegments - j;  // the point the curve is really asked at
      double power = 1.0;
      for (int c = 0; c < kCoefficients; c++, power *= f) a[m][c] = power;
      a[m][kCoefficients] = curve(u);
    }
    Solve(a);
    for (int c = 0; c < kCoefficients; c++) table[c * jgrad::kEaseSegments + j] = (float)a[c][kCoefficients];
  }
  for (int i = 0; i <= kCheckPoints; i++) {
    float u = (float)i / (float)kCheckPoints;
    float want = jgrad::ClampEase(curve(u)), got = jgrad::EaseAt(table, u * (float)jgrad::kEaseSegments);
    if (!(fabsf(got - want) <= kEaseTolerance)) return false;
  }
  return true;
}

struct EaseTables {
  float v[3][kTableSize];  // Ease In, Ease In Out, Ease Out
  bool follows[3];         // whether each table follows the host's curve
  EaseTables() {
    for (int k = 0; k < 3; k++) follows[k] = FitCurve(kHostCurves[k], v[k]);
  }
};

// Built when the module initialises (the host's curves are there by then), so that lookups need
// no guard.
const EaseTables theEases;
// For the tests: every eased type is evaluated by the host's curves (caches built afterwards).
int hostCurvesAlways = 0;

// The type (1 to 3) of an eased table.
int TypeOfTable(const float* table) { return (int)((table - theEases.v[0]) / kTableSize) + 1; }

// The largest scale not above want that keeps (pos - lo) * scale at most steps for every pos
// below hi: float rounding only moves that product up to (hi - lo) * scale, never past it.
float SpanScale(float lo, float hi, float want, float steps) {
  if (!(want <= FLT_MAX)) return 0.0f;  // too short for its inverse: u = 0 at its start
  float length = hi - lo, scale = want;
  if (length * scale > steps) scale = steps / length;
  while (scale > 0.0f && length * scale > steps) scale = nextafterf(scale, 0.0f);
  return scale;
}

// A span from lo to hi between colours c0 and c1, eased by type.
void MakeSpan(Span& s, float lo, float hi, const float* c0, const float* c1, int type, float invSpan) {
  bool solid = type == jgrad::kSolid;
  s.ease = solid ? nullptr : jgrad::EaseTable(type);
  float steps = s.ease ? (float)kEaseSteps : 1.0f;
  s.lo = lo;
  s.hi = hi;
  s.scale = SpanScale(lo, hi, invSpan * steps, steps);
  s.shading = solid ? 1 : 0;
  for (int k = 0; k < 3; k++) s.color[k] = c0[k], s.dColor[k] = solid ? 0.0f : c1[k] - c0[k];
  s.color[3] = s.dColor[3] = 0.0f;
}

// The spans and the bucket grid from the sorted records (rec[n] is the sentinel).
void BuildSpans(Cache& c) {
  const CacheEntry* rec = c.rec;
  int n = c.n;
  Span& below = c.spans[0];  // below the first flag: its colour
  MakeSpan(below, -FLT_MAX, rec[0].pos, rec[0].color, rec[0].color, jgrad::kSolid, 0.0f);
  below.shading = 2;  // answered from the records, as the flag's own span
  for (int i = 0; i < n; i++) {
    const CacheEntry& r = rec[i];
    Span& s = c.spans[i + 1];
    MakeSpan(s, r.pos, rec[i + 1].pos < 1.0f ? rec[i + 1].pos : 1.0f, r.color, rec[i + 1].color, r.interp, r.invSpan);
    if (r.tex || rec[i + 1].tex) s.shading = 2;
    if (s.ease && !jgrad::EaseFollowsHost(s.ease)) c.direct = 1;
  }
  for (int b = 0, i = 0; b < jgrad::kBuckets; b++) {
    float p = (float)b / (float)jgrad::kBuckets;
    while (i < n && rec[i].pos <= p) i++;  // i: records at or below p, so span i holds p
    c.buckets[b] = i;
  }
}

int CompareEntries(const void* a, const void* b) {
  const CacheEntry* x = static_cast<const CacheEntry*>(a);
  const CacheEntry* y = static_cast<const CacheEntry*>(b);
  float d = x->pos - y->pos;
  if (d > 0) return 1;
  if (d < 0) return -1;
  return x->index - y->index;
}

// One allocation holds a cache's header, records and spans.
size_t RecordsAt() { return (sizeof(Cache) + alignof(CacheEntry) - 1) / alignof(CacheEntry) * alignof(CacheEntry); }
size_t SpansAt(int n) {
  size_t end = RecordsAt() + sizeof(CacheEntry) * (size_t)(n + 1), a = alignof(Span);
  return (end + a - 1) / a * a;
}
size_t CacheBytes(int n) { return SpansAt(n) + sizeof(Span) * (size_t)(n + 1); }

// A zeroed cache for n flags (reusing a spare one of that size), or null.
Cache* NewCache(int n, std::vector<Cache*>& spares) {
  Cache* c = nullptr;
  for (size_t i = 0; i < spares.size() && !c; i++) {
    if (spares[i]->n != n) continue;
    c = spares[i];
    spares.erase(spares.begin() + (ptrdiff_t)i);
  }
  if (!c) c = static_cast<Cache*>(malloc(CacheBytes(n)));
  if (!c) return nullptr;
  memset(c, 0, CacheBytes(n));
  char* base = reinterpret_cast<char*>(c);
  c->n = n;
  c->rec = reinterpret_cast<CacheEntry*>(base + RecordsAt());
  c->spans = reinterpret_cast<Span*>(base + SpansAt(n));
  return c;
}

// Two caches of the same flags answer alike (the pointers inside differ, what they hold not).
bool SameCache(const Cache* a, const Cache* b) {
  return a && b && a->n == b->n && a->mode == b->mode && a->textured == b->textured && a->direct == b->direct &&
         memcmp(a->buckets, b->buckets, sizeof a->buckets) == 0 &&
         memcmp(a->rec, b->rec, CacheBytes(a->n) - RecordsAt()) == 0;
}

void FreeBlock(void*, void* p) { static_cast<JMemBlock*>(p)->DeleteThis(); }

Point3 TexColor(Texmap* tex, ShadeContext& sc) {
  AColor a = tex->EvalColor(sc);
  return Point3(a.r, a.g, a.b);
}

Point3 EntryColor(const CacheEntry& e) { return Point3(e.color[0], e.color[1], e.color[2]); }

void WritePixel(BMM_Color_24* px, const Point3& c, int mono) {
  if (mono) {
    BYTE l = (BYTE)(int)(luminosity(c.x, c.y, c.z) * 255.0f);
    px->r = px->g = px->b = l;
  } else {
    px->r = (BYTE)(int)(c.x * 255.0f);
    px->g = (BYTE)(int)(c.y * 255.0f);
    px->b = (BYTE)(int)(c.z * 255.0f);
  }
}

void CopyRowDown(BMM_Color_24* buf, int width, int height) {
  for (int y = 1; y < height; y++) memcpy(buf + (size_t)y * width, buf, (size_t)width * sizeof(BMM_Color_24));
}

// Little-endian readers over a resource whose end may be unknown (null).
struct Reader {
  const unsigned char* p;
  const unsigned char* end;
  bool Word(unsigned& v) {
    if (end && end - p < 2) return false;
    v = jlib::ReadLE16(p);
    p += 2;
    return true;
  }
  bool Text(const char*& s) {
    const unsigned char* start = p;
    while (!end || p < end) {
      if (*p++ == 0) {
        s = reinterpret_cast<const char*>(start);
        return true;
      }
    }
    return false;
  }
};

}  // namespace

const float* jgrad::EaseTable(int type) { return type >= kEaseIn && type <= kEaseOut ? theEases.v[type - 1] : nullptr; }

bool jgrad::EaseFollowsHost(const float* table) { return !hostCurvesAlways && theEases.follows[TypeOfTable(table) - 1]; }

float jgrad::EaseOf(const float* table, float x) {
  if (EaseFollowsHost(table)) return EaseAt(table, x);
  return ClampEase(kHostCurves[TypeOfTable(table) - 1](x * (1.0f / (float)kEaseSegments)));
}

int JGradUseHostCurves(int on) {
  int was = hostCurvesAlways;
  hostCurvesAlways = on ? 1 : 0;
  return was;
}

int JGradEaseFits(float (*curve)(float u)) {
  float table[kTableSize];
  return curve && FitCurve(curve, table) ? 1 : 0;
}

// What the library keeps of a gradient beyond its children. Lookups on any thread read the
// published cache and bitmap without the lock; everything that changes them takes it.
struct JGradCtlData::State {
  explicit State(JGradCtlData* g) : g(g), pinSlot(jreclaim::PinIndex(&cache)), tls(jreclaim::tlsIndex) {
    InitializeCriticalSection(&lock);
  }
  ~State() {
    retired.FreeAll();
    Cache* c = cache.load(std::memory_order_relaxed);
    jreclaim::Forget(c);
    free(c);
    for (Cache* spare : spares) free(spare);  // no pin holds a spare
    JMemBlock* b = bitmap.load(std::memory_order_relaxed);
    jreclaim::Forget(b);
    if (b) b->DeleteThis();
    DeleteCriticalSection(&lock);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  JGradCtlData* g;
  CRITICAL_SECTION lock;
  std::atomic<Cache*> cache{nullptr};      // the published colour cache; null until first built
  std::atomic<JMemBlock*> bitmap{nullptr};  // the decoded bitmap of the bitmap modes, or null
  std::atomic<int> dirty{1};                // the cache must be rebuilt before the next lookup
  // Caches no reader holds any more, kept for the next rebuilds so that an animated gradient
  // updated every frame settles on a few blocks instead of allocating one per frame.
  std::vector<Cache*> spares;
  enum { kMaxSpares = 4 };
  static void Recycle(void* owner, void* p) {
    State* st = static_cast<State*>(owner);
    Cache* c = static_cast<Cache*>(p);
    if (st->spares.size() < kMaxSpares)
      st->spares.push_back(c);
    else
      free(c);
  }
  jreclaim::Retired retired;                // replaced caches and bitmaps that readers may still hold
  // The size of the resource LoadResource found, and which one it was: a layout set later by
  // other means (SetResource) has no known size, so it is read up to its end tag.
  unsigned resourceSize = 0;
  const void* sizedResource = nullptr;
  const int pinSlot;                        // this gradient's pin for its cache in each thread's record
  const DWORD tls;                          // the thread records' slot, kept here for the fast paths

  // The flag-mode cache for a lookup at t on the calling thread: rebuilt first when stale,
  // pinned, with the thread's own place in it (hint). Null record: no memory for the thread.
  struct View {
    const Cache* c = nullptr;
    jreclaim::ThreadRecord* rec = nullptr;
    jreclaim::Pin* pin = nullptr;
    const Span* start = nullptr;  // where the walk starts; null without flags
    // The thread's place is kept for flag-mode caches only, so that the fast paths below never
    // answer a bitmap mode with flag colours.
    void Moved(const Span* s) {
      if (pin && c->mode == kFlagMode && !c->direct) pin->hint = s;
    }
  };
  bool Current(const Cache* c) const {
    return !dirty.load(std::memory_order_seq_cst) && cache.load(std::memory_order_seq_cst) == c;
  }
  void Look(int t, View& v) {
    if (dirty.load(std::memory_order_acquire)) {
      Interval thrownAway;  // never valid
      g->UpdateCache(t, thrownAway);
    }
    v.rec = jreclaim::ThisThread();
    if (!v.rec) {  // out of memory for a thread record: read under the lock (see the JLock callers)
      v.c = cache.load(std::memory_order_acquire);
      v.start = v.c && v.c->n > 0 ? v.c->spans + v.c->n / 2 + 1 : nullptr;
      return;
    }
    v.pin = &v.rec->pins[pinSlot];
    bool fresh;
    v.c = jreclaim::Acquire(*v.pin, cache, fresh);
    if (fresh) v.pin->hint = nullptr;
    v.start = static_cast<const Span*>(v.pin->hint);
    if (!v.start && v.c && v.c->n > 0) v.start = v.c->spans + v.c->n / 2 + 1;
  }
  // The span of the calling thread's last flag-mode lookup when the cache it belongs to is
  // still the fresh, published one and pinned by the thread; null otherwise.
  // Reads the thread's record without making one (a thread without one takes the slow path,
  // which makes it).
  const Span* HotSpan() const {
    const jreclaim::ThreadRecord* r = jreclaim::ThisThreadIfQuick(tls);
    if (!r) return nullptr;
    const jreclaim::Pin& pin = r->pins[pinSlot];
    if (pin.held.load(std::memory_order_relaxed) != cache.load(std::memory_order_acquire) ||
        dirty.load(std::memory_order_relaxed))
      return nullptr;
    return static_cast<const Span*>(pin.hint);
  }
  // The lookups that the thread's last span does not answer.
  static __attribute__((noinline)) int PlainColor(JGradCtlData* g, Point3& c, float pos, int t);
  static __attribute__((noinline)) int ShadedColor(JGradCtlData* g, Point3& c, float pos, float width, ShadeContext& sc,
                                                   int t);
  // The decoded bitmap pinned for the calling thread, or null.
  JMemBlock* PinnedBitmap() {
    jreclaim::ThreadRecord* rec = jreclaim::ThisThread();
    if (!rec) return bitmap.load(std::memory_order_acquire);  // see the lock in GetBitmapData
    bool fresh;
    return jreclaim::Acquire(jreclaim::PinFor(rec, &bitmap), bitmap, fresh);
  }
  // Marks the cache stale; readers that call flag textures of the old cache are waited for,
  // so that a texture replaced after this may be deleted at once.
  void Stale() {
    {
      JLock l(lock);
      dirty.store(1, std::memory_order_seq_cst);
    }
    jreclaim::WaitForReaders(this);
  }
  void RetireBitmap() {
    JMemBlock* old = bitmap.exchange(nullptr, std::memory_order_seq_cst);
    if (!old) return;
    retired.Retire(old, FreeBlock, this);
    retired.Collect();
  }
};

// ---- Construction ----------------------------------------------------------------------------

JGradCtlData::JGradCtlData(int) : state(new State(this)) {
  Add(Create_JFloatData(), static_cast<const char*>(nullptr));
  JFlagSetData* flags = Create_JFlagSetData();
  Add(flags, static_cast<const char*>(nullptr));
  Add(Create_JBinaryData(), static_cast<const char*>(nullptr));
  Add(Create_JFloatData(), static_cast<const char*>(nullptr));
  BypassTree(flags, 0);
  BypassView(flags, 1);
}

JGradCtlData::~JGradCtlData() { delete state; }

JClassDescBase* JGradCtlData::GetCD() { return &gradDesc; }

JGradCtlData* Create_JGradCtlData() { return JCreateRegistered<JGradCtlData>(0x200, kGradID); }

JGradCtlData* Create_JGradCtlData(HINSTANCE h, int id) {
  JGradCtlData* g = Create_JGradCtlData();
  if (g) g->LoadResource(h, id);
  return g;
}

// ---- Mode, interpolation override, flags -----------------------------------------------------

int JGradCtlData::GetMode() {
  JFloatData* leaf = dynamic_cast<JFloatData*>((*this)(kMode));
  if (!leaf) {
    assert1(kLineModeChild, kSource);
    return kFlagMode;
  }
  int m = (int)leaf->GetFValue(0);
  return m < 1 || m >= 4 ? kFlagMode : m;
}

void JGradCtlData::SetMode(int m) {
  JLock l(state->lock);
  JFloatData* leaf = dynamic_cast<JFloatData*>((*this)(kMode));
  if (!leaf) {
    assert1(kLineSetModeChild, kSource);
    return;
  }
  if (m < 1 || m > 3) m = kFlagMode;
  leaf->SetValue(0, (float)m);
  JFlagSetData* flags = GetFlagSet();
  if (!flags) return;
  flags->SetBypassTreeMask(0);
  if (m == kFlagMode) {
    FreeBitmapData();
    flags->SetBypassTree(0, nullptr);
  } else {
    // While a bitmap defines the gradient its flags are hidden from the host's tree.
    flags->SetBypassTree(1, nullptr);
    flags->SetBypassTreeMask(1);
  }
}

int JGradCtlData::GetInterpType() {
  JFloatData* leaf = dynamic_cast<JFloatData*>((*this)(kInterpOverride));
  if (!leaf) {
    assert1(kLineInterpChild, kSource);
    return 0;
  }
  return (int)leaf->GetFValue(0);
}

void JGradCtlData::SetInterpType(int v) {
  JFloatData* leaf = dynamic_cast<JFloatData*>((*this)(kInterpOverride));
  if (!leaf) {
    assert1(kLineInterpChild, kSource);
    return;
  }
  leaf->SetValue(0, (float)v);
}

JFlagSetData* JGradCtlData::GetFlagSet() { return dynamic_cast<JFlagSetData*>((*this)(kFlags)); }

int JGradCtlData::GetFlagCount() {
  if (NullGradient(this)) {
    assert1(kLineNoNode, kSource);
    return 0;
  }
  JFlagSetData* flags = GetFlagSet();
  if (!flags) {
    assert1(kLineNoFlagSet, kSource);
    return 0;
  }
  return flags->NumRefs();
}

JFlagCtlData* JGradCtlData::GetFlag(int i) {
  JFlagSetData* flags = GetFlagSet();
  if (!flags || (unsigned)i >= (unsigned)flags->NumRefs()) {
    assert1(kLineFlagIndex, kSource);
    return nullptr;
  }
  return dynamic_cast<JFlagCtlData*>(flags->GetReference(i));
}

// Changes of the flag list leave the cache stale first: a removed flag may take its texture
// with it, and no reader may still be calling that texture then.

void JGradCtlData::AddFlag(JFlagCtlData* f, const char* name) {
  JLock l(state->lock);
  if (JFlagSetData* flags = GetFlagSet())
    flags->Add(f, name);
  else
    assert1(kLineEditFlagSet, kSource);  // the flag stays the caller's
  state->dirty.store(1, std::memory_order_seq_cst);
}

void JGradCtlData::DelFlag(int i) {
  state->Stale();
  JLock l(state->lock);
  JFlagSetData* flags = GetFlagSet();
  if (!flags) assert1(kLineEditFlagSet, kSource);
  if (flags && i >= 0 && i < flags->NumRefs()) flags->Del(i);
  state->dirty.store(1, std::memory_order_seq_cst);
}

void JGradCtlData::DelAllFlags() {
  state->Stale();
  JLock l(state->lock);
  JFlagSetData* flags = GetFlagSet();
  if (!flags) assert1(kLineEditFlagSet, kSource);
  if (flags)
    for (int i = flags->NumRefs(); i-- > 0;) flags->Del(i);
  state->dirty.store(1, std::memory_order_seq_cst);
}

// ---- The colour cache ------------------------------------------------------------------------

void JGradCtlData::SetCacheDirty() {
  JLock l(state->lock);
  state->dirty.store(1, std::memory_order_seq_cst);
}

void JGradCtlData::UpdateCache(int t, Interval& valid) {
  State& st = *state;
  JLock l(st.lock);
  if (!st.dirty.load(std::memory_order_relaxed)) return;
  int n = GetFlagCount();
  Cache* c = NewCache(n, st.spares);
  if (!c) {
    assert1(kLineCacheAlloc, kSource);
    return;
  }
  c->mode = GetMode();
  int g = GetInterpType();
  for (int i = 0; i < n; i++) {
    JFlagCtlData* f = GetFlag(i);
    if (!f) {
      assert1(kLineMissingFlag, kSource);
      continue;
    }
    CacheEntry& e = c->rec[i];
    f->GetPos(t, e.pos, valid);
    e.index = i;
    float own;
    f->GetInterp(t, own);
    e.interp = g ? g : (int)own + 1;
    Point3 color;
    f->GetColor(t, color, valid);
    e.color[0] = color.x, e.color[1] = color.y, e.color[2] = color.z;
    f->GetSubtex(e.tex);
    if (e.tex) e.tex->Update(t, valid), c->textured = 1;
  }
  if (n > 0) {
    qsort(c->rec, (size_t)n, sizeof(CacheEntry), CompareEntries);
    c->rec[n] = c->rec[n - 1];
    for (int i = 0; i < n; i++) {
      CacheEntry& e = c->rec[i];
      const CacheEntry& next = c->rec[i + 1];
      e.invSpan = next.pos == e.pos ? 0.0f : 1.0f / (next.pos - e.pos);
      for (int k = 0; k < 3; k++) e.dColor[k] = next.color[k] - e.color[k];
    }
    c->rec[n].pos = kSentinelPos;
    BuildSpans(*c);
  }
  // A rebuild that changes nothing (a frame of an unanimated gradient) keeps the published
  // cache and its own memory for the next rebuild: no allocation.
  Cache* old = st.cache.load(std::memory_order_relaxed);
  if (SameCache(old, c)) {
    State::Recycle(&st, c);
  } else {
    st.cache.store(c, std::memory_order_seq_cst);
    if (old) st.retired.Retire(old, State::Recycle, &st);
  }
  st.dirty.store(0, std::memory_order_release);
  st.retired.Collect();
}

namespace {
// The parameter of pos in the span s that holds it: u in [0, 1] (eased types: u * kEaseSegments)
// from the start of record i's span; 0 below the first flag.
inline float SpanX(const Cache& c, const Span* s, float pos) { return s == c.spans ? 0.0f : jgrad::XOf(*s, pos); }
inline int RecordOf(const Cache& c, const Span* s) { return s == c.spans ? 0 : (int)(s - c.spans) - 1; }
}  // namespace

float JGradCtlData::GetInterpolationParams(float pos, int& index, int t) {
  State::View v;
  state->Look(t, v);
  if (!v.c || v.c->n == 0) {
    index = -1;
    return 0.0f;
  }
  const Span* s = jgrad::Walk(*v.c, v.start, pos);
  v.Moved(s);
  index = RecordOf(*v.c, s);
  float x = SpanX(*v.c, s, pos);
  return s->ease ? x / (float)kEaseSteps : x;
}

RefResult JGradCtlData::NotifyRefChanged(Interval changeInt, RefTargetHandle target, PartID& partID, RefMessage message) {
  if (message == REFMSG_CHANGE || message == REFMSG_SUBANIM_STRUCTURE_CHANGED) state->Stale();
  return JDataNode::NotifyRefChanged(changeInt, target, partID, message);
}

void JGradCtlData::Update(int t, Interval& valid) {
  JLock l(state->lock);
  int mode = GetMode();
  if (mode == kUVMapMode) valid.SetInstant(t);  // a UV map changes with every frame
  JGradBitmapHeader* hdr;
  BMM_Color_32* pixels;
  if (mode != kFlagMode && !GetBitmapData(hdr, pixels)) {
    SetMode(kFlagMode);
    mode = kFlagMode;
  }
  if (mode == kFlagMode) {
    SetCacheDirty();
    UpdateCache(t, valid);
  }
}

// ---- Evaluation ------------------------------------------------------------------------------

jgrad::RowFn jgrad::BestRow() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx2") ? RowAvx2 : RowSse2;
}

namespace {

jgrad::RowFn theRow = jgrad::BestRow();  // changed only by the tests' JGradUseRowEvaluator

// The plain flag colour of a cache with flags, walked from start.
inline const Span* FlagColor(const Cache& c, const Span* start, float pos, Point3& out) {
  const Span* s = jgrad::Walk(c, start, pos);
  jgrad::ColorAtX(*s, jgrad::XOf(*s, pos), out);
  return s;
}

// The same for a direct cache (some easing by the host's curves), out of the lookups' way.
__attribute__((noinline)) void DirectColor(const Cache& c, const Span* start, float pos, Point3& out) {
  const Span* s = jgrad::Walk(c, start, pos);
  jgrad::SpanColor(*s, jgrad::XOf(*s, pos), out);
}

// The flag colour at a shading point from record i of a cache, x the parameter of pos in its
// span. Without textures nothing is called, so that version keeps no registers across calls.
template <bool kTextured>
inline void ShadedColor(const Cache& c, int i, float x, float pos, float width, ShadeContext& sc,
                        Point3& out) {
  auto colorOf = [&](const CacheEntry& e) { return kTextured && e.tex ? TexColor(e.tex, sc) : EntryColor(e); };
  const CacheEntry& r = c.rec[i];
  const CacheEntry& next = c.rec[i + 1];
  Point3 c0 = colorOf(r);
  out = c0;
  if (r.interp != jgrad::kSolid) {
    const float* ease = jgrad::EaseTable(r.interp);
    float v = ease ? jgrad::EaseOf(ease, x) : x;
    if (v == 0.0f) return;
    out = c0 + (colorOf(next) - c0) * v;
    return;
  }
  // Solid, filtered over the sampled extent: the step to the next flag is blended by how far the
  // sample reaches past it; a step at the very end wraps to the first flag.
  if (width == 0.0f) return;
  float f = pos + width - next.pos;
  if (f <= 0.0f) return;
  out = c0 + (colorOf(next.pos == 1.0f ? c.rec[0] : next) - c0) * (f / width);
}

__attribute__((noinline)) void TexturedColor(const Cache& c, int i, float x, float pos, float width,
                                             ShadeContext& sc, Point3& out) {
  ShadedColor<true>(c, i, x, pos, width, sc, out);
}

}  // namespace

int JGradCtlData::GetFlagColor(Point3& c, float pos, int t) {
  State::View v;
  state->Look(t, v);
  if (!v.rec) {
    JLock l(state->lock);  // no thread record: nothing may be freed meanwhile
    const Cache* k = state->cache.load(std::memory_order_acquire);
    if (k && k->n > 0 && k->direct) DirectColor(*k, k->spans + k->n / 2 + 1, pos, c);
    else if (k && k->n > 0) FlagColor(*k, k->spans + k->n / 2 + 1, pos, c);
    else c = Point3(0, 0, 0);
    return 1;
  }
  if (!v.c || v.c->n == 0) {
    c = Point3(0, 0, 0);  // no flags: black
    return 1;
  }
  if (__builtin_expect(v.c->direct, 0))
    DirectColor(*v.c, v.start, pos, c);
  else
    v.Moved(FlagColor(*v.c, v.start, pos, c));
  return 1;
}

// The lookups start with the thread's last span: a sample in it costs a few compares and the
// span's arithmetic, in a function that saves no registers; anything else is done out of line.
int JGradCtlData::GetColor(Point3& c, float pos, int t) {
  const Span* s = state->HotSpan();
  if (__builtin_expect(s && pos >= s->lo && pos < s->hi, 1)) {
    jgrad::ColorAtX(*s, jgrad::XOf(*s, pos), c);
    return 1;
  }
  return State::PlainColor(this, c, pos, t);
}

int JGradCtlData::State::PlainColor(JGradCtlData* g, Point3& c, float pos, int t) {
  c = Point3(0, 0, 0);
  State::View v;
  g->state->Look(t, v);
  int mode = v.c ? v.c->mode : g->GetMode();
  if (mode != kFlagMode) return g->GetBitmapColor(c, pos, t);
  if (!v.rec) return g->GetFlagColor(c, pos, t);
  if (v.c && v.c->n > 0) {
    if (__builtin_expect(v.c->direct, 0))
      DirectColor(*v.c, v.start, pos, c);
    else
      v.Moved(FlagColor(*v.c, v.start, pos, c));
  }
  return 1;
}

int JGradCtlData::GetFlagColor(Point3& c, float pos, float width, ShadeContext& sc, int t) {
  State& st = *state;
  for (;;) {
    State::View v;
    st.Look(t, v);
    if (!v.c || v.c->n == 0) {
      c = Point3(0, 0, 0);
      return 1;
    }
    const Cache& k = *v.c;
    float p = pos;  // the walk clamps its position; a Solid step's extent takes pos as it came
    const Span* s = jgrad::Walk(k, v.start, p);
    v.Moved(s);
    if (!k.direct && (s->shading == 0 || (s->shading == 1 && width == 0.0f))) {
      jgrad::ColorAtX(*s, jgrad::XOf(*s, p), c);
      return 1;
    }
    int i = RecordOf(k, s);
    float x = SpanX(k, s, p);
    if (!k.textured || (!k.rec[i].tex && !k.rec[i + 1].tex && !(k.rec[i].interp == jgrad::kSolid && k.rec[0].tex))) {
      ShadedColor<false>(k, i, x, pos, width, sc, c);
      return 1;
    }
    // Textures are called only while this cache is the gradient's current one: a writer that
    // replaces a texture marks the cache stale, then waits for readers inside a texture call.
    jreclaim::BusyResult entered = v.rec ? jreclaim::EnterBusy(v.rec, &st, [&] { return st.Current(v.c); })
                                         : jreclaim::kBusyNested;
    if (entered == jreclaim::kBusyStale) continue;
    if (entered == jreclaim::kBusyNested) {  // no record, or calls nested too deep: under the lock
      JLock l(st.lock);
      if (!st.Current(v.c)) continue;
      TexturedColor(k, i, x, pos, width, sc, c);
      return 1;
    }
    TexturedColor(k, i, x, pos, width, sc, c);
    jreclaim::LeaveBusy(v.rec);
    return 1;
  }
}

int JGradCtlData::GetColor(Point3& c, float pos, float width, ShadeContext& sc, int t) {
  const Span* s = state->HotSpan();
  if (__builtin_expect(s && pos >= s->lo && pos < s->hi && (s->shading == 0 || (s->shading == 1 && width == 0.0f)), 1)) {
    jgrad::ColorAtX(*s, jgrad::XOf(*s, pos), c);
    return 1;
  }
  return State::ShadedColor(this, c, pos, width, sc, t);
}

int JGradCtlData::State::ShadedColor(JGradCtlData* g, Point3& c, float pos, float width, ShadeContext& sc, int t) {
  State::View v;
  g->state->Look(t, v);
  int mode = v.c ? v.c->mode : g->GetMode();
  if (mode != kFlagMode) return g->GetBitmapColor(c, pos, t);
  return g->GetFlagColor(c, pos, width, sc, t);
}

int JGradUseRowEvaluator(int which) {
  if (which == kRowAvx2 && !__builtin_cpu_supports("avx2")) return 0;
  theRow = which == kRowSse2 ? jgrad::RowSse2 : which == kRowAvx2 ? jgrad::RowAvx2 : jgrad::BestRow();
  return 1;
}

int JGradCtlData::GetColors(Point3* out, const float* pos, int n, int t) {
  if (n <= 0) return 1;
  if (!out || !pos) return 0;
  State::View v;
  state->Look(t, v);
  int mode = v.c ? v.c->mode : GetMode();
  if (mode != kFlagMode || !v.rec || !v.c || v.c->n == 0 || v.c->direct) {
    // The bitmap modes, a gradient without flags, a thread without a record, or easing by the
    // host's curves: one by one.
    for (int i = 0; i < n; i++) {
      if (!GetColor(out[i], pos[i], t)) {
        for (int k = 0; k < n; k++) out[k] = Point3(0, 0, 0);
        return 0;
      }
    }
    return 1;
  }
  const Span* s = v.start;
  theRow(*v.c, s, pos, n, out);
  v.Moved(s);
  return 1;
}


// ---- Drawing ---------------------------------------------------------------------------------

int JGradCtlData::Render(BMM_Color_24* buf, int t, int width, int height, float aspect, int mono) {
  if (!buf || width <= 0 || height <= 0) return 0;
  switch (GetMode()) {
    case kFlagMode:
      return RenderFlag(buf, t, width, height, aspect, mono);
    case kUVMapMode:
    case kBitmapMode:
      return RenderBitmap(buf, t, width, height, aspect, mono);
  }
  memset(buf, 0, (size_t)width * height * sizeof(BMM_Color_24));
  return 0;
}

int JGradCtlData::RenderFlag(BMM_Color_24* buf, int t, int width, int height, float, int mono) {
  if (!buf || width <= 0 || height <= 0) return 0;
  struct Point {
    float pos;
    float c[3];
    float type;
  };
  // By position; a flag goes before the first one at the same position or above.
  std::vector<Point> list;
  int g = GetInterpType(), n = GetFlagCount();
  list.reserve((size_t)n);
  for (int i = 0; i < n; i++) {
    JFlagCtlData* f = GetFlag(i);
    Point p;
    Point3 c;
    f->GetPos(t, p.pos);
    f->GetColor(t, c);
    p.c[0] = c.x, p.c[1] = c.y, p.c[2] = c.z;
    float own;
    f->GetInterp(t, own);
    p.type = g ? (float)g : own + 1.0f;
    size_t at = 0;
    while (at < list.size() && list[at].pos < p.pos) at++;
    list.insert(list.begin() + at, p);
  }
  memset(buf, 0, (size_t)width * sizeof(BMM_Color_24));
  // Each span is drawn through the evaluation of the lookups, its parameter u stepping by 1 / n
  // per pixel (eased types: u * kEaseSegments, kept within the table however wide the span).
  auto draw = [&](float p0, float p1, const float* c0, const float* c1, int type) {
    int x0 = (int)(width * p0), x1 = (int)(width * p1);
    if (x1 <= x0) return;
    Span s;
    MakeSpan(s, 0.0f, 1.0f, c0, c1, type, 1.0f);
    float du = 1.0f / (float)(x1 - x0), u = 0.0f, steps = s.ease ? (float)kEaseSteps : 1.0f;
    int end = x1 < width ? x1 : width;
    for (int x = x0; x < end; x++, u += du) {
      float at = u * steps;
      Point3 c;
      jgrad::SpanColor(s, at < steps ? at : steps, c);
      WritePixel(buf + x, c, mono);
    }
  };
  if (!list.empty()) {
    draw(0.0f, list[0].pos, list[0].c, list[0].c, (int)list[0].type);
    for (size_t k = 1; k < list.size(); k++)
      draw(list[k - 1].pos, list[k].pos, list[k - 1].c, list[k].c, (int)list[k - 1].type);
    draw(list.back().pos, 1.0f, list.back().c, list.back().c, (int)list.back().type);
  }
  CopyRowDown(buf, width, height);
  return 1;
}

int JGradCtlData::RenderBitmap(BMM_Color_24* buf, int t, int width, int height, float, int mono) {
  if (!buf || width <= 0 || height <= 0) return 0;
  BOOL silent = TheManager->SetSilentMode(TRUE);
  int ok = 1;
  for (int x = 0; x < width; x++) {
    // One pixel wide: the start of the bitmap's row.
    float pos = width > 1 ? (float)x / (float)(width - 1) : 0.0f;
    Point3 c;
    if (!GetBitmapColor(c, pos, t)) {
      memset(buf, 0, (size_t)width * sizeof(BMM_Color_24));
      ok = 0;
      break;
    }
    WritePixel(buf + x, c, mono);
  }
  TheManager->SetSilentMode(silent);
  CopyRowDown(buf, width, height);
  return ok;
}


// ---- Bitmap modes ----------------------------------------------------------------------------

int JGradCtlData::GetBitmapColor(Point3& c, float pos, int t) {
  JGradBitmapHeader* hdr;
  BMM_Color_32* pixels;
  if (!GetBitmapData(hdr, pixels)) return 0;
  if (!hdr) {
    c = Point3(0, 0, 0);
    return 1;
  }
  float at = pos >= 0.0f ? (pos <= 1.0f ? pos : 1.0f) : 0.0f;  // NaN too becomes 0
  int x = (int)((float)(hdr->width - 1) * at);
  int row = (t / GetTicksPerFrame()) % hdr->rows;
  if (row < 0) row += hdr->rows;  // before frame 0: counted back from the last row
  const BMM_Color_32& p = pixels[(size_t)row * hdr->width + x];
  const float k = 1.0f / 255.0f;
  c = Point3(p.r * k, p.g * k, p.b * k);
  return 1;
}

int JGradCtlData::SetBitmapInfo(BitmapInfo* bi) {
  JBinaryData* leaf = dynamic_cast<JBinaryData*>((*this)(kBitmapRecord));
  if (!leaf) {
    assert1(kLineRecordChild, kSource);
    return 0;
  }
  if (!bi) return 0;
  uint32_t n = bi->GetPiData() ? bi->GetPiDataSize() : 0;
  JMemBlock record;
  if (!record.Alloc((unsigned)(kRecordNames + n))) return 0;
  memset(record.Data(), 0, kRecordNames);
  // Each name up to its terminator, within its field (the rest of the field stays zero).
  memcpy(record.Data(), bi->Name(), strnlen(bi->Name(), 259));
  memcpy(record.Data() + 260, bi->Device(), strnlen(bi->Device(), 255));
  jlib::WriteLE32(record.Data() + 516, n);
  if (n) memcpy(record.Data() + kRecordNames, bi->GetPiData(), n);
  Interval valid = FOREVER;
  leaf->SetValue(&record, 0, valid, CTRL_ABSOLUTE);
  return 1;
}

int JGradCtlData::GetBitmapInfo(BitmapInfo* bi) {
  JBinaryData* leaf = dynamic_cast<JBinaryData*>((*this)(kBitmapRecord));
  if (!leaf) {
    assert1(kLineRecordChild, kSource);
    return 0;
  }
  if (!bi) return 0;
  JMemBlock record;
  Interval valid = FOREVER;
  leaf->GetValue(&record, 0, valid, CTRL_ABSOLUTE);
  if (record.Size() < kRecordNames) return 0;  // empty (or too short to be a record)
  char name[260], device[256];
  memcpy(name, record.Data(), 259);
  name[259] = 0;
  memcpy(device, record.Data() + 260, 255);
  device[255] = 0;
  uint32_t n = jlib::ReadLE32(record.Data() + 516);
  if (n > record.Size() - kRecordNames) n = (uint32_t)(record.Size() - kRecordNames);
  bi->SetName(name);
  bi->SetDevice(device);
  if (n) {
    void* data = bi->AllocPiData(n);
    if (data) memcpy(data, record.Data() + kRecordNames, n);
  }
  return 1;
}

namespace {
// "%s : %s" in the host's status line for three seconds, after a beep.
void ReportBitmapFailure(const char* file, const char* why) {
  MessageBeep(MB_ICONHAND);
  char text[1024];
  snprintf(text, sizeof text, "%s : %s", file, why);
  GetCOREInterface()->DisplayTempPrompt(text, 3000);
}
}  // namespace


namespace {
void SystemErrorText(DWORD err, char* why, size_t size) {
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err ? err : ERROR_FILE_NOT_FOUND,
                      0, why, (DWORD)size, nullptr))
    snprintf(why, size, "error %lu", (unsigned long)err);
  size_t len = strlen(why);
  while (len && (why[len - 1] == '\n' || why[len - 1] == '\r' || why[len - 1] == ' ')) why[--len] = 0;
}

void ExposeBitmap(JMemBlock* block, JGradBitmapHeader*& hdr, BMM_Color_32*& pixels) {
  hdr = reinterpret_cast<JGradBitmapHeader*>(block->Data());
  pixels = reinterpret_cast<BMM_Color_32*>(block->Data() + hdr->headerSize);
}
}  // namespace

// The block is pinned for the calling thread, so the pointers handed out stay valid on that
// thread until it asks again, whatever other threads free or replace meanwhile.
int JGradCtlData::GetBitmapData(JGradBitmapHeader*& hdr, BMM_Color_32*& pixels) {
  hdr = nullptr;
  pixels = nullptr;
  State& st = *state;
  if (JMemBlock* block = st.PinnedBitmap()) {
    ExposeBitmap(block, hdr, pixels);
    return 1;
  }
  JLock l(st.lock);
  if (JMemBlock* block = st.PinnedBitmap()) {  // another thread decoded it meanwhile
    ExposeBitmap(block, hdr, pixels);
    return 1;
  }
  BitmapInfo bi;
  if (!GetBitmapInfo(&bi) || !bi.Name()[0]) return 0;
  FILE* f = fopen(bi.Name(), "rb");
  if (!f) {
    char why[512];
    SystemErrorText(GetLastError(), why, sizeof why);
    ReportBitmapFailure(bi.Name(), why);
    return 0;
  }
  fclose(f);
  BOOL silent = TheManager->SetSilentMode(TRUE);
  Bitmap* bm = TheManager->Load(&bi);
  TheManager->SetSilentMode(silent);
  if (!bm) {
    ReportBitmapFailure(bi.Name(), GetResString(1113));
    return 0;
  }
  int width = bm->Width();
  int rows = GetMode() == kUVMapMode ? bm->Height() : 1;
  // A size that cannot be had is refused as a bitmap that cannot be loaded, never allocated short.
  size_t bytes = jgrad::DecodedBytes(width, rows);
  JMemBlock* decoded = bytes ? new JMemBlock : nullptr;
  if (!decoded || !decoded->Alloc((unsigned)bytes)) {
    if (decoded) decoded->DeleteThis();
    bm->DeleteThis();
    bi.ResetPiData();
    ReportBitmapFailure(bi.Name(), GetResString(1113));
    return 0;
  }
  JGradBitmapHeader* h = reinterpret_cast<JGradBitmapHeader*>(decoded->Data());
  h->headerSize = (int32_t)kBitmapHeader;
  h->width = width;
  h->rows = rows;
  BMM_Color_32* out = reinterpret_cast<BMM_Color_32*>(decoded->Data() + kBitmapHeader);
  std::vector<BMM_Color_64> line((size_t)width);
  for (int y = 0; y < rows; y++) {
    bm->GetLinearPixels(0, y, width, line.data());
    for (int x = 0; x < width; x++) {
      BMM_Color_32& p = out[(size_t)y * width + x];
      p.r = (BYTE)(line[x].r >> 8);
      p.g = (BYTE)(line[x].g >> 8);
      p.b = (BYTE)(line[x].b >> 8);
    }
  }
  bm->DeleteThis();
  bi.ResetPiData();
  st.bitmap.store(decoded, std::memory_order_seq_cst);
  ExposeBitmap(st.PinnedBitmap(), hdr, pixels);
  return 1;
}

void JGradCtlData::FreeBitmapData() {
  JLock l(state->lock);
  state->RetireBitmap();
}

void JGradCtlData::EnumAuxFiles(NameEnumCallback& cb, DWORD flags) {
  JBinaryData* leaf = dynamic_cast<JBinaryData*>((*this)(kBitmapRecord));
  if (!leaf) {
    assert1(kLineEnumChild, kSource);
  } else {
    BitmapInfo bi;
    if (GetBitmapInfo(&bi) && bi.Name()[0]) {
      int mode = GetMode();
      bool report = mode == kUVMapMode || mode == kBitmapMode || (flags & FILE_ENUM_INACTIVE);
      if (report && (flags & FILE_ENUM_MISSING_ONLY)) {
        FILE* f = fopen(bi.Name(), "rb");
        if (f) {
          fclose(f);
          report = false;
        }
      }
      if (report) cb.RecordName(bi.Name());
      bi.ResetPiData();
    }
  }
  JDataNode::EnumAuxFiles(cb, flags);
}

void JGradCtlData::FreeAllBitmaps() { JDataNode::FreeAllBitmaps(); }

// ---- Resources -------------------------------------------------------------------------------

int JGradCtlData::LoadResource(HINSTANCE inst, int id) {
  HRSRC found = FindResourceA(inst, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
  state->resourceSize = found ? SizeofResource(inst, found) : 0;
  state->sizedResource = nullptr;
  if (found) {
    HGLOBAL h = ::LoadResource(inst, found);
    state->sizedResource = h ? LockResource(h) : nullptr;
  }
  return JDataNode::LoadResource(inst, id);
}

int JGradCtlData::SetupResource() {
  if (!resource) return 0;
  const unsigned char* start = static_cast<const unsigned char*>(resource);
  const bool sized = state->resourceSize && resource == state->sizedResource;
  Reader r{start, sized ? start + state->resourceSize : nullptr};
  unsigned version;
  if (!r.Word(version)) return 0;
  if (version == 0) return 1;
  if (version != 1) return 0;
  DelAllFlags();
  for (int made = 0;; made++) {
    unsigned tag;
    if (!r.Word(tag)) return 0;
    if (tag == 0) return 1;
    if (tag != 1) return 0;
    unsigned pos, red, green, blue;
    const char* name;
    if (!r.Word(pos) || !r.Word(red) || !r.Word(green) || !r.Word(blue) || !r.Text(name)) return 0;
    JFlagCtlData* f = Create_JFlagCtlData();
    if (!f) return 0;
    float p = (float)pos * 0.01f;
    f->SetPos(0, p);
    const float k = 1.0f / 255.0f;
    Point3 c((float)red * k, (float)green * k, (float)blue * k);
    f->SetColor(0, c);
    f->SetName(name);
    if (made < 2) BypassTree(f->GetPositionData(), 1);
    AddFlag(f, name);
  }
}

// ---- Gradient files --------------------------------------------------------------------------

namespace {
const char kGradientFilter[] = "Gradient Files (*.dgr)\0*.dgr\0All Files (*.*)\0*.*\0";
}

int JSaveGradientFile(JGradCtlData* grad, HWND owner, char* path) {
  if (!grad) return 0;
  char title[1024];
  snprintf(title, sizeof title, "%s", GetResString(1104));
  return SaveRefMaker(grad, owner, title, path, kGradientFilter, "dgr");
}

JGradCtlData* JLoadGradientFile(HWND owner, char* path) {
  char title[1024];
  snprintf(title, sizeof title, "%s", GetResString(1103));
  ReferenceMaker* rm = LoadRefMaker(owner, title, path, kGradientFilter, "dgr");
  JGradCtlData* g = dynamic_cast<JGradCtlData*>(rm);
  if (rm && !g) rm->DeleteMe();
  return g;
}
