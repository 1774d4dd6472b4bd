// The gradient node: flags, colour cache and evaluation, drawing, bitmap modes, resources, files.
#include "JGrad.h"
#include "JColor.h"
#include "JModule.h"
#include "JSaveLoad.h"

#include <float.h>
#include <math.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

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
const int kLineEnumChild = 790;

constexpr Class_ID kGradID(0x26450C71, 0x6C00010D);
J_INIT_DESCRIPTOR(14) JClassDesc<JGradCtlData, ReferenceTargetRTTI> gradDesc(0, "JGradCtlData", 0x200, kGradID, "");

const float kBelowOne = 0.99999988f;  // bits 0x3F7FFFFE, just below 1
const float kSentinelPos = 17.0f;
const int kBuckets = 64;  // the position grid of the spans' search
const size_t kBitmapHeader = 12;
const size_t kRecordNames = 520;  // name (260) + device (256) + driver data size (4)

struct Locked {
  explicit Locked(CRITICAL_SECTION* cs) : cs(cs) { EnterCriticalSection(cs); }
  ~Locked() { LeaveCriticalSection(cs); }
  CRITICAL_SECTION* cs;
};

float Clamp01(float v) { return v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v; }

// The eased parameter of the host's curves, sampled once at 4097 points per curve; between two
// points a sample follows the straight line through them. The host's curves are smooth, so this
// agrees with them to a few float steps at 1, at a fraction of a call's cost.
const int kEaseSteps = kGradEaseSteps;
struct EaseTables {
  float v[3][2 * (kEaseSteps + 1)];  // Ease In, Ease In Out, Ease Out: (a, b) lines
  EaseTables() {
    float knots[6] = {0.0f, 0.0f, 0.4f, 0.6f, 1.0f, 1.0f};
    for (int k = 0; k < 3; k++) {
      float f[kEaseSteps + 1];
      for (int i = 0; i <= kEaseSteps; i++) {
        float u = (float)i / (float)kEaseSteps;
        f[i] = k == 1 ? spline(u, 6, knots) : bias(k == 0 ? 0.35f : 0.65f, u);
      }
      float* t = v[k];
      for (int i = 0; i < kEaseSteps; i++) {
        double b = (double)f[i + 1] - f[i];
        t[2 * i] = (float)(f[i] - i * b);
        t[2 * i + 1] = (float)b;
      }
      t[2 * kEaseSteps] = f[kEaseSteps];
      t[2 * kEaseSteps + 1] = 0.0f;
    }
  }
};

// Built when the module initialises (the host's curves are there by then), so that lookups need
// no guard.
const EaseTables theEases;

// The table of an eased type, null for Linear and any other number.
inline const float* EaseTable(int type) { return type >= 1 && type <= 3 ? theEases.v[type - 1] : nullptr; }

// u within [0, 1]; a hair outside (rounding) and NaN are taken to the nearest end.
inline float Ease(int type, float u) {
  const float* t = EaseTable(type);
  if (!t) return u;
  u = u > 0.0f ? u : 0.0f;
  return JGradEase(t, (u < 1.0f ? u : 1.0f) * (float)kEaseSteps);
}

// What the inline lookup reads while no spans are published: it holds no position.
const JGradSpan kNoSpan = {{0, 0, 0, 0}, {0, 0, 0, 0}, NAN, NAN, 0.0f, 0, 0, 0, 1, 2, nullptr};

uint32_t FloatBits(float f) {
  uint32_t b;
  memcpy(&b, &f, sizeof b);
  return b;
}

// The largest scale not above want that keeps (pos - lo) * scale at most steps for every pos
// below hi: float rounding only moves that product up to (hi - lo) * scale, never past it.
float SpanScale(float lo, float hi, float want, float steps) {
  if (!(want <= FLT_MAX)) return 0.0f;  // too short for its inverse: u = 0 at its start
  float length = hi - lo, scale = want;
  if (length * scale > steps) scale = steps / length;
  while (scale > 0.0f && length * scale > steps) scale = nextafterf(scale, 0.0f);
  return scale;
}

// The spans of the inline lookup from the sorted records (rec[n] is the sentinel). Fields are
// set one by one so that the padding keeps calloc's zeros and equal caches compare equal.
void BuildSpans(const JGradCacheEntry* rec, int n, JGradSpan* spans) {
  JGradSpan& below = spans[0];  // below the first flag: its colour
  below.lo = -FLT_MAX;
  below.hi = rec[0].pos;
  below.scale = 0.0f;
  below.loBits = below.widthBits = 0;  // positions below the first flag take the library's path
  below.shading = 2;
  for (int k = 0; k < 3; k++) below.color[k] = rec[0].color[k], below.dColor[k] = 0.0f;
  below.color[3] = below.dColor[3] = 0.0f;
  below.ease = nullptr;
  for (int i = 0; i <= n; i++) spans[i].index = i, spans[i].count = n + 1;
  int32_t* buckets = reinterpret_cast<int32_t*>(spans + n + 1);
  for (int b = 0, i = 0; b < kBuckets; b++) {
    float p = (float)b / (float)kBuckets;
    while (i < n && rec[i].pos <= p) i++;  // i: records at or below p, so span i holds p
    buckets[b] = i;
  }
  for (int i = 0; i < n; i++) {
    const JGradCacheEntry& r = rec[i];
    JGradSpan& s = spans[i + 1];
    bool solid = r.interp == 5;
    s.ease = solid ? nullptr : EaseTable(r.interp);
    float steps = s.ease ? (float)kEaseSteps : 1.0f;
    s.lo = r.pos;
    s.hi = rec[i + 1].pos < 1.0f ? rec[i + 1].pos : 1.0f;
    s.scale = SpanScale(s.lo, s.hi, r.invSpan * steps, steps);
    // -0 starts where +0 does; the inline range is empty when the span is.
    uint32_t lo = FloatBits(s.lo > 0.0f ? s.lo : 0.0f), hi = FloatBits(s.hi);
    s.loBits = lo;
    s.widthBits = s.hi > 0.0f && hi > lo ? hi - lo : 0;
    s.shading = r.tex || rec[i + 1].tex ? 2 : solid ? 1 : 0;
    for (int k = 0; k < 3; k++) s.color[k] = r.color[k], s.dColor[k] = solid ? 0.0f : r.dColor[k];
    s.color[3] = s.dColor[3] = 0.0f;
  }
}

// The span that holds pos, searched from s; pos from 1 up and NaN count as just below 1.
inline const JGradSpan* WalkSpans(const JGradSpan* s, float& pos) {
  if (!(pos < 1.0f)) pos = kBelowOne;
  if (pos < -FLT_MAX) pos = -FLT_MAX;  // the span before the first flag starts there
  // Coherent samples stay in s or step to a neighbour. Others start the walk at the span of
  // pos's bucket, which leaves only the flags inside that bucket to step over.
  if (pos >= s->lo ? pos >= s[0].hi && pos >= s[1].hi : pos < s[-1].lo) {
    const JGradSpan* spans = s - s->index;
    const int32_t* buckets = reinterpret_cast<const int32_t*>(spans + s->count);
    int b = pos > 0.0f ? (int)(pos * (float)kBuckets) : 0;
    s = spans + buckets[b < kBuckets ? b : kBuckets - 1];
  }
  while (pos < s->lo) s--;
  while (pos >= s->hi) s++;
  return s;
}

// Walks from the span seen in the hint to the one that holds pos and moves the hint there. The
// compare-and-swap fails when a rebuild has replaced the spans meanwhile: its own hint stays.
inline const JGradSpan* MoveHint(const JGradSpan*& hint, const JGradSpan* seen, float& pos) {
  const JGradSpan* s = WalkSpans(seen, pos);
  if (s != seen) __atomic_compare_exchange_n(&hint, &seen, s, false, __ATOMIC_RELEASE, __ATOMIC_RELAXED);
  return s;
}

int CompareEntries(const void* a, const void* b) {
  const JGradCacheEntry* x = static_cast<const JGradCacheEntry*>(a);
  const JGradCacheEntry* y = static_cast<const JGradCacheEntry*>(b);
  float d = x->pos - y->pos;
  if (d > 0) return 1;
  if (d < 0) return -1;
  return x->index - y->index;
}

Point3 TexColor(Texmap* tex, ShadeContext& sc) {
  AColor a = tex->EvalColor(sc);
  return Point3(a.r, a.g, a.b);
}

Point3 EntryColor(const JGradCacheEntry& e) { return Point3(e.color[0], e.color[1], e.color[2]); }

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
    v = p[0] | (p[1] << 8);
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

// The colour cache: immutable once published. A rebuild makes a new one; the old one is kept
// until the gradient goes, since a lookup on another thread may still be reading it.
// The n + 1 records are followed by n + 1 spans for the inline lookup (span i + 1 is record i's).
struct JGradCtlData::Cache {
  int n;     // flags
  int mode;  // the gradient's mode when the cache was built
  int textured;  // some flag has a texture
  JGradCacheEntry rec[1];  // n + 1 records: the flags by position, then the sentinel
  static size_t SpansAt(int n) {
    size_t a = alignof(JGradSpan), end = offsetof(Cache, rec) + sizeof(JGradCacheEntry) * (size_t)(n + 1);
    return (end + a - 1) / a * a;
  }
  // The spans are followed by kBuckets span indices: bucket b holds the span of position b / kBuckets.
  static size_t Bytes(int n) { return SpansAt(n) + sizeof(JGradSpan) * (size_t)(n + 1) + sizeof(int32_t) * kBuckets; }
  JGradSpan* Spans() { return reinterpret_cast<JGradSpan*>(reinterpret_cast<char*>(this) + SpansAt(n)); }
  const JGradSpan* Spans() const { return const_cast<Cache*>(this)->Spans(); }
};

namespace {
typedef std::vector<void*> Retired;
}

// ---- Construction ----------------------------------------------------------------------------

JGradCtlData::JGradCtlData(int)
    : cache(nullptr), hot(&kNoSpan), retired(new Retired), searchHint(0), dirty(1), resourceSize(0) {
  InitializeCriticalSection(&lock);
  bitmapBlock = new JMemBlock;
  Add(Create_JFloatData(), static_cast<const char*>(nullptr));
  JFlagSetData* flags = Create_JFlagSetData();
  Add(flags, static_cast<const char*>(nullptr));
  Add(Create_JBinaryData(), static_cast<const char*>(nullptr));
  Add(Create_JFloatData(), static_cast<const char*>(nullptr));
  BypassTree(flags, 0);
  BypassView(flags, 1);
}

JGradCtlData::~JGradCtlData() {
  Retired* r = static_cast<Retired*>(retired);
  for (void* p : *r) free(p);
  delete r;
  free(cache);
  for (JMemBlock* b : retiredBlocks) b->DeleteThis();
  if (bitmapBlock) bitmapBlock->DeleteThis();
  DeleteCriticalSection(&lock);
}

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
  Locked l(&lock);
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
  return leaf ? (int)leaf->GetFValue(0) : 0;
}

void JGradCtlData::SetInterpType(int v) {
  if (JFloatData* leaf = dynamic_cast<JFloatData*>((*this)(kInterpOverride))) leaf->SetValue(0, (float)v);
}

JFlagSetData* JGradCtlData::GetFlagSet() { return dynamic_cast<JFlagSetData*>((*this)(kFlags)); }

int JGradCtlData::GetFlagCount() {
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

// Changes of the flag list exclude a cache rebuild on another thread, and leave the cache stale.

void JGradCtlData::AddFlag(JFlagCtlData* f, const char* name) {
  Locked l(&lock);
  if (JFlagSetData* flags = GetFlagSet()) flags->Add(f, name);
  dirty = 1;
  Publish(nullptr);
}

void JGradCtlData::DelFlag(int i) {
  Locked l(&lock);
  JFlagSetData* flags = GetFlagSet();
  if (flags && i >= 0 && i < flags->NumRefs()) flags->Del(i);
  dirty = 1;
  Publish(nullptr);
}

void JGradCtlData::DelAllFlags() {
  Locked l(&lock);
  JFlagSetData* flags = GetFlagSet();
  if (flags)
    for (int i = flags->NumRefs(); i-- > 0;) flags->Del(i);
  dirty = 1;
  Publish(nullptr);
}

// ---- The colour cache ------------------------------------------------------------------------

void JGradCtlData::SetCacheDirty() {
  EnterCriticalSection(&lock);
  dirty = 1;
  Publish(nullptr);
  LeaveCriticalSection(&lock);
}

void JGradCtlData::UpdateCache(int t, Interval& valid) {
  EnterCriticalSection(&lock);
  if (!dirty) {
    LeaveCriticalSection(&lock);
    return;
  }
  int n = GetFlagCount();
  Cache* c = static_cast<Cache*>(calloc(1, Cache::Bytes(n)));
  if (!c) {
    assert1(kLineCacheAlloc, kSource);
    LeaveCriticalSection(&lock);
    return;
  }
  c->n = n;
  c->mode = GetMode();
  int g = GetInterpType();
  for (int i = 0; i < n; i++) {
    JFlagCtlData* f = GetFlag(i);
    if (!f) {
      assert1(kLineMissingFlag, kSource);
      continue;
    }
    JGradCacheEntry& e = c->rec[i];
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
    qsort(c->rec, (size_t)n, sizeof(JGradCacheEntry), CompareEntries);
    c->rec[n] = c->rec[n - 1];
    for (int i = 0; i < n; i++) {
      JGradCacheEntry& e = c->rec[i];
      const JGradCacheEntry& next = c->rec[i + 1];
      e.invSpan = next.pos == e.pos ? 0.0f : 1.0f / (next.pos - e.pos);
      for (int k = 0; k < 3; k++) e.dColor[k] = next.color[k] - e.color[k];
    }
    c->rec[n].pos = kSentinelPos;
    BuildSpans(c->rec, n, c->Spans());
  }
  searchHint = n / 2;
  // A rebuild that changes nothing (a frame of an unanimated gradient) keeps the published cache.
  Cache* old = cache;
  if (old && old->n == n && memcmp(old, c, Cache::Bytes(n)) == 0) {
    free(c);
  } else {
    if (old) static_cast<Retired*>(retired)->push_back(old);
    cache = c;
  }
  dirty = 0;
  Publish(cache->mode == kFlagMode && cache->n > 0 ? cache->Spans() + cache->n / 2 + 1 : nullptr);
  LeaveCriticalSection(&lock);
}

void JGradCtlData::Publish(const JGradSpan* s) { __atomic_store_n(&hot, s ? s : &kNoSpan, __ATOMIC_RELEASE); }

const JGradCtlData::Cache* JGradCtlData::CurrentCache(int t) {
  if (dirty) {
    Interval thrownAway;  // never valid
    UpdateCache(t, thrownAway);
  }
  return cache;
}

namespace {
// The record whose span holds pos in a published cache, and pos's parameter u in that span.
inline float Lookup(const JGradCacheEntry* rec, int n, int& hint, float pos, int& index) {
  if (!(pos < 1.0f)) pos = kBelowOne;  // also catches NaN
  int i = __atomic_load_n(&hint, __ATOMIC_RELAXED);
  if ((unsigned)i >= (unsigned)n) i = n / 2;  // a hint from an earlier, longer cache
  if (pos < rec[i].pos) {
    while (i > 0 && pos < rec[i].pos) i--;
  } else {
    while (pos >= rec[i + 1].pos) i++;
  }
  index = i;
  if (i != hint) __atomic_store_n(&hint, i, __ATOMIC_RELAXED);
  float u = (pos - rec[i].pos) * rec[i].invSpan;
  // Below the first flag: its colour. NaN (a span too short for its inverse) counts as 0.
  return u >= 0.0f ? (u > 1.0f ? 1.0f : u) : 0.0f;
}
}  // namespace

float JGradCtlData::GetInterpolationParams(float pos, int& index, int t) {
  const Cache* c = CurrentCache(t);
  if (!c || c->n == 0) {
    index = -1;
    return 0.0f;
  }
  return Lookup(c->rec, c->n, searchHint, pos, index);
}

RefResult JGradCtlData::NotifyRefChanged(Interval changeInt, RefTargetHandle target, PartID& partID, RefMessage message) {
  if (message == 80 || message == 258) SetCacheDirty();
  return JDataNode::NotifyRefChanged(changeInt, target, partID, message);
}

void JGradCtlData::Update(int t, Interval& valid) {
  EnterCriticalSection(&lock);
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
  LeaveCriticalSection(&lock);
}

// ---- Evaluation ------------------------------------------------------------------------------

namespace {
// The plain flag colour from a cache's spans, walked from the search hint.
inline void FlagColor(const JGradSpan* spans, int n, int& hint, float pos, Point3& c) {
  if (n == 0) {
    c = Point3(0, 0, 0);  // no flags: black
    return;
  }
  int i = __atomic_load_n(&hint, __ATOMIC_RELAXED);
  if ((unsigned)i >= (unsigned)n) i = n / 2;  // a hint from an earlier, longer cache
  const JGradSpan* s = WalkSpans(spans + i + 1, pos);
  int at = s == spans ? 0 : (int)(s - spans) - 1;  // the span before the first flag is record 0's
  if (at != i) __atomic_store_n(&hint, at, __ATOMIC_RELAXED);
  JGradSpanColor(*s, pos, c);
}
}  // namespace

int JGradCtlData::GetFlagColor(Point3& c, float pos, int t) {
  const Cache* k = CurrentCache(t);
  if (!k) {
    c = Point3(0, 0, 0);
    return 1;
  }
  FlagColor(k->Spans(), k->n, searchHint, pos, c);
  return 1;
}

namespace {
// The flag colour at a shading point for record i of a cache and u within its span. Without
// textures there is nothing to call, so that version keeps no registers across calls.
template <bool kTextured>
inline void ShadedColor(const JGradCacheEntry* rec, int i, float u, float pos, float width, ShadeContext& sc, Point3& c) {
  auto colorOf = [&](const JGradCacheEntry& e) { return kTextured && e.tex ? TexColor(e.tex, sc) : EntryColor(e); };
  const JGradCacheEntry& r = rec[i];
  const JGradCacheEntry& next = rec[i + 1];
  Point3 c0 = colorOf(r);
  c = c0;
  if (r.interp != 5) {
    float v = Ease(r.interp, u);
    if (v == 0.0f) return;
    c = c0 + (colorOf(next) - c0) * v;
    return;
  }
  // Solid, filtered over the sampled extent: the step to the next flag is blended by how far the
  // sample reaches past it; a step at the very end wraps to the first flag.
  if (width == 0.0f) return;
  float f = pos + width - next.pos;
  if (f <= 0.0f) return;
  c = c0 + (colorOf(next.pos == 1.0f ? rec[0] : next) - c0) * (f / width);
}

__attribute__((noinline)) int TexturedColor(const JGradCacheEntry* rec, int i, float u, float pos, float width,
                                            ShadeContext& sc, Point3& c) {
  ShadedColor<true>(rec, i, u, pos, width, sc, c);
  return 1;
}

// The shading-point flag colour from a cache's records; calls only at its end, so that the
// common case saves no registers.
__attribute__((always_inline)) inline int ShadedFlagColor(const JGradCacheEntry* rec, int n, int textured, int& hint,
                                                          Point3& c, float pos, float width, ShadeContext& sc) {
  if (n == 0) {
    c = Point3(0, 0, 0);
    return 1;
  }
  int i;
  float u = Lookup(rec, n, hint, pos, i);
  if (textured) return TexturedColor(rec, i, u, pos, width, sc, c);
  ShadedColor<false>(rec, i, u, pos, width, sc, c);
  return 1;
}
}  // namespace

// A stale or missing cache, or (unless only flags are asked for) a bitmap mode.
int JGradCtlData::ShadedColorSlow(Point3& c, float pos, float width, ShadeContext& sc, int t, int flagsOnly) {
  const Cache* k = CurrentCache(t);
  if (!flagsOnly && (k ? k->mode : GetMode()) != kFlagMode) return GetBitmapColor(c, pos, t);
  if (!k) {
    c = Point3(0, 0, 0);
    return 1;
  }
  return ShadedFlagColor(k->rec, k->n, k->textured, searchHint, c, pos, width, sc);
}

int JGradCtlData::GetFlagColor(Point3& c, float pos, float width, ShadeContext& sc, int t) {
  const Cache* k = cache;
  if (dirty || !k) return ShadedColorSlow(c, pos, width, sc, t, 1);
  return ShadedFlagColor(k->rec, k->n, k->textured, searchHint, c, pos, width, sc);
}

// A sample outside the span of the previous lookup, or one the inline path cannot answer.
int JGradCtlData::GetColorSlow(Point3& c, float pos, int t) {
  const JGradSpan* seen = __atomic_load_n(&hot, __ATOMIC_ACQUIRE);
  if (seen == &kNoSpan) {
    CurrentCache(t);  // a rebuild publishes its spans in flag mode
    seen = __atomic_load_n(&hot, __ATOMIC_ACQUIRE);
  }
  if (seen != &kNoSpan) {
    const JGradSpan* s = MoveHint(hot, seen, pos);  // clamps pos first
    JGradSpanColor(*s, pos, c);
    return 1;
  }
  const Cache* k = CurrentCache(t);
  if (k && k->mode == kFlagMode) {
    FlagColor(k->Spans(), k->n, searchHint, pos, c);
    return 1;
  }
  c = Point3(0, 0, 0);
  int mode = k ? k->mode : GetMode();
  return mode == kFlagMode ? 1 : GetBitmapColor(c, pos, t);
}

// A shading-point sample the inline path cannot answer. It moves the hint as plain lookups do,
// so that the samples after it stay inline.
int JGradCtlData::ShadedColorAt(Point3& c, float pos, float width, ShadeContext& sc, int t) {
  const JGradSpan* seen = __atomic_load_n(&hot, __ATOMIC_ACQUIRE);
  if (seen != &kNoSpan) {
    float p = pos;  // the walk clamps its position; the colour below takes pos as it came
    MoveHint(hot, seen, p);
  }
  const Cache* k = cache;
  if (dirty || !k || k->mode != kFlagMode) return ShadedColorSlow(c, pos, width, sc, t, 0);
  return ShadedFlagColor(k->rec, k->n, k->textured, searchHint, c, pos, width, sc);
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
    Point3 c;
    float type;
  };
  // By position; a flag goes before the first one at the same position or above.
  std::vector<Point> list;
  int g = GetInterpType(), n = GetFlagCount();
  list.reserve((size_t)n);
  for (int i = 0; i < n; i++) {
    JFlagCtlData* f = GetFlag(i);
    Point p;
    f->GetPos(t, p.pos);
    f->GetColor(t, p.c);
    float own;
    f->GetInterp(t, own);
    p.type = g ? (float)g : own + 1.0f;
    size_t at = 0;
    while (at < list.size() && list[at].pos < p.pos) at++;
    list.insert(list.begin() + at, p);
  }
  memset(buf, 0, (size_t)width * sizeof(BMM_Color_24));
  auto span = [&](float p0, float p1, const Point3& c0, const Point3& c1, int type) {
    int x0 = (int)(width * p0), x1 = (int)(width * p1);
    if (x1 <= x0) return;
    float du = 1.0f / (float)(x1 - x0), u = 0.0f;
    int end = x1 < width ? x1 : width;
    // One loop per kind of span, so that the pixel loop carries no decisions.
    const float* ease = EaseTable(type);
    Point3 d = c1 - c0;
    if (type == 5) {
      for (int x = x0; x < end; x++) WritePixel(buf + x, c0, mono);
    } else if (!ease) {
      for (int x = x0; x < end; x++, u += du) WritePixel(buf + x, c0 + d * u, mono);
    } else {
      for (int x = x0; x < end; x++, u += du) WritePixel(buf + x, c0 + d * JGradEase(ease, u * (float)kEaseSteps), mono);
    }
  };
  if (!list.empty()) {
    span(0.0f, list[0].pos, list[0].c, list[0].c, (int)list[0].type);
    for (size_t k = 1; k < list.size(); k++)
      span(list[k - 1].pos, list[k].pos, list[k - 1].c, list[k].c, (int)list[k - 1].type);
    span(list.back().pos, 1.0f, list.back().c, list.back().c, (int)list.back().type);
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
  int x = (int)((float)(hdr->width - 1) * Clamp01(pos));
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
  unsigned char* size = reinterpret_cast<unsigned char*>(record.Data() + 516);
  for (int i = 0; i < 4; i++) size[i] = (unsigned char)(n >> (8 * i));
  if (n) memcpy(record.Data() + kRecordNames, bi->GetPiData(), n);
  Interval valid = FOREVER;
  leaf->SetValue(&record, 0, valid, CTRL_ABSOLUTE);
  return 1;
}

int JGradCtlData::GetBitmapInfo(BitmapInfo* bi) {
  JBinaryData* leaf = dynamic_cast<JBinaryData*>((*this)(kBitmapRecord));
  if (!leaf || !bi) return 0;
  JMemBlock record;
  Interval valid = FOREVER;
  leaf->GetValue(&record, 0, valid, CTRL_ABSOLUTE);
  if (record.Size() < kRecordNames) return 0;  // empty (or too short to be a record)
  char name[260], device[256];
  memcpy(name, record.Data(), 259);
  name[259] = 0;
  memcpy(device, record.Data() + 260, 255);
  device[255] = 0;
  const unsigned char* size = reinterpret_cast<const unsigned char*>(record.Data() + 516);
  uint32_t n = size[0] | size[1] << 8 | size[2] << 16 | (uint32_t)size[3] << 24;
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

int JGradCtlData::GetBitmapData(JGradBitmapHeader*& hdr, BMM_Color_32*& pixels) {
  hdr = nullptr;
  pixels = nullptr;
  JMemBlock* block = bitmapBlock;
  if (block && block->Size()) {
    hdr = reinterpret_cast<JGradBitmapHeader*>(block->Data());
    pixels = reinterpret_cast<BMM_Color_32*>(block->Data() + hdr->headerSize);
    return 1;
  }
  EnterCriticalSection(&lock);
  struct Unlock {
    CRITICAL_SECTION* cs;
    ~Unlock() { LeaveCriticalSection(cs); }
  } unlock{&lock};
  block = bitmapBlock;
  if (block && block->Size()) {  // another thread decoded it meanwhile
    hdr = reinterpret_cast<JGradBitmapHeader*>(block->Data());
    pixels = reinterpret_cast<BMM_Color_32*>(block->Data() + hdr->headerSize);
    return 1;
  }
  BitmapInfo bi;
  if (!GetBitmapInfo(&bi) || !bi.Name()[0]) return 0;
  FILE* f = fopen(bi.Name(), "rb");
  if (!f) {
    char why[512];
    DWORD err = GetLastError();
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, err ? err : ERROR_FILE_NOT_FOUND,
                        0, why, sizeof why, nullptr))
      snprintf(why, sizeof why, "error %lu", (unsigned long)err);
    size_t len = strlen(why);
    while (len && (why[len - 1] == '\n' || why[len - 1] == '\r' || why[len - 1] == ' ')) why[--len] = 0;
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
  JMemBlock* decoded = new JMemBlock;
  if (!decoded || !decoded->Alloc((unsigned)(kBitmapHeader + (size_t)width * rows * 4))) {
    if (decoded) decoded->DeleteThis();
    bm->DeleteThis();
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
  JMemBlock* old = bitmapBlock;
  bitmapBlock = decoded;
  if (old) retiredBlocks.push_back(old);
  hdr = h;
  pixels = out;
  return 1;
}

void JGradCtlData::FreeBitmapData() {
  // A reader on another thread may still hold the decoded block: it is retired, not freed.
  JMemBlock* old = bitmapBlock;
  if (!old || !old->Size()) return;
  bitmapBlock = new JMemBlock;
  retiredBlocks.push_back(old);
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
  resourceSize = found ? SizeofResource(inst, found) : 0;
  return JDataNode::LoadResource(inst, id);
}

int JGradCtlData::SetupResource() {
  if (!resource) return 0;
  const unsigned char* start = static_cast<const unsigned char*>(resource);
  Reader r{start, resourceSize ? start + resourceSize : nullptr};
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
