// The gradient: a data node whose colour at a position 0 to 1 comes from its flags (through a
// sorted colour cache) or from a row of a bitmap file; it draws itself into 24-bit pixel rows and
// travels in gradient files (*.dgr).
#pragma once

#include "JFlag.h"
#include "vbmm.h"

#include <vector>

// The decoded bitmap of the bitmap modes, followed by width x rows BMM_Color_32 pixels.
struct JGradBitmapHeader {
  int32_t headerSize;  // 12: the pixels start this many bytes after the header
  int32_t width;
  int32_t rows;  // the bitmap's height in UV map mode, 1 in bitmap mode
};

// One record of the colour cache: a flag at the cache time, and the span that starts at it.
struct JGradCacheEntry {
  float pos;        // clamped to [0, 1]; 17.0 for the record after the last flag
  int32_t index;    // the flag's index in the flag set
  float color[3];   // clamped to [0, 1]
  int32_t interp;   // 1 Ease In, 2 Ease In Out, 3 Ease Out, 4 Linear, 5 Solid
  Texmap* tex;      // the flag's texture or null (not owned)
  float invSpan;    // 1 / (next pos - pos), 0 for an empty span
  float dColor[3];  // next colour - colour
};
static_assert(sizeof(void*) != 4 || sizeof(JGradCacheEntry) == 44, "44-byte cache records on the 32-bit build");

// The published cache again, in the form the inline colour lookup reads: one span before the
// first flag and one from each flag to the next. A span answers the positions lo <= pos < hi
// (hi is never above 1, so positions from 1 up and NaN take the out-of-line path). With
// x = (pos - lo) * scale, the colour is color + v * dColor where v is x itself (Linear: scale is
// 1 / span length) or the eased parameter at x from the table (eased types: scale is
// kGradEaseSteps times larger). scale is rounded down where needed so that x never passes 1 or
// the steps inside the span. Solid spans and the span before the first flag have dColor 0.
typedef float JGradVec4 __attribute__((vector_size(16), aligned(4)));
struct JGradSpan {
  JGradVec4 color;   // r, g, b, 0
  JGradVec4 dColor;  // towards the next flag's colour; 0 in the fourth lane
  float lo, hi, scale;
  // The non-negative part of [lo, hi) as float bit patterns: pos is inside when
  // bits(pos) - loBits < widthBits, unsigned. Non-negative floats order as their bits do, and
  // negative positions, NaN and infinities fall outside. 0 for a span the inline path leaves alone.
  uint32_t loBits, widthBits;
  int32_t index, count;  // this span's place among the cache's spans, and their number
  // Whether the span's colour also serves shading points: 0 always, 1 for a sample with no
  // extent (Solid, whose step is blended over the extent), 2 never (textures at either end).
  uint32_t shading;
  const float* ease;  // null for Linear and Solid
};

// The eased parameter at x in [0, kGradEaseSteps] (u times the steps) from a table that holds,
// for each step i, the line (a, b) through the curve at i and i + 1: a + x * b. The last entry
// is the curve's end with slope 0.
enum { kGradEaseSteps = 4096 };
inline float JGradEase(const float* table, float x) {
  size_t i = (size_t)(intptr_t)x;  // x is not negative; pointer-sized, the index needs no widening
  const float* line = table + 2 * i;
  return line[0] + x * line[1];
}

// The colour of a span at a position inside it.
inline void JGradSpanColor(const JGradSpan& s, float pos, Point3& c) {
  float v = (pos - s.lo) * s.scale;
#if __FLT_EVAL_METHOD__ != 0
  // x87 arithmetic keeps v unrounded, which may carry it a hair past the span's end.
  float end = s.ease ? (float)kGradEaseSteps : 1.0f;
  v = v < end ? v : end;
#endif
  if (s.ease) v = JGradEase(s.ease, v);
  JGradVec4 r = s.color + v * s.dColor;
  c.x = r[0];
  c.y = r[1];
  c.z = r[2];
}

// Children: 0 mode (1 flags, 2 UV map, 3 bitmap), 1 the flags, 2 the bitmap file record,
// 3 interpolation override (0: each flag's own, 1..5 one type for every span).
class QUORAPI JGradCtlData : public JDataNode {
 public:
  enum { kMode, kFlags, kBitmapRecord, kInterpOverride };
  enum { kFlagMode = 1, kUVMapMode = 2, kBitmapMode = 3 };
  explicit JGradCtlData(int loading);
  ~JGradCtlData() override;
  JClassDescBase* GetCD() override;

  int GetMode();
  void SetMode(int m);
  int GetInterpType();
  void SetInterpType(int v);
  JFlagSetData* GetFlagSet();
  int GetFlagCount();
  JFlagCtlData* GetFlag(int i);
  void AddFlag(JFlagCtlData* f, const char* name);
  void DelFlag(int i);
  void DelAllFlags();

  // Prepares evaluation at t and narrows valid to the gradient's validity.
  void Update(int t, Interval& valid);
  // The colour at pos; safe to call from several threads while the gradient is edited. Inline:
  // a sample inside the span of the previous one costs a compare and a few multiply-adds in the
  // caller; anything else (another span, a stale cache, the bitmap modes) calls the library.
  int GetColor(Point3& c, float pos, int t) {
    const JGradSpan* s = __atomic_load_n(&hot, __ATOMIC_ACQUIRE);
    uint32_t bits;
    __builtin_memcpy(&bits, &pos, sizeof bits);
    if (__builtin_expect(bits - s->loBits < s->widthBits, 1)) {
      JGradSpanColor(*s, pos, c);
      return 1;
    }
    // Through a local, so that the caller's colour need not live in memory.
    Point3 r;
    int ok = GetColorSlow(r, pos, t);
    c = r;
    return ok;
  }
  // The colour at pos for a shading point; width is the sampled extent of pos. Inline like the
  // plain lookup: inside the span of the previous lookup, without textures and (for Solid
  // spans) without an extent to blend over, the shading-point colour is the span's colour.
  int GetColor(Point3& c, float pos, float width, ShadeContext& sc, int t) {
    const JGradSpan* s = __atomic_load_n(&hot, __ATOMIC_ACQUIRE);
    uint32_t bits;
    __builtin_memcpy(&bits, &pos, sizeof bits);
    if (__builtin_expect(bits - s->loBits < s->widthBits && s->shading <= (uint32_t)(width == 0.0f), 1)) {
      JGradSpanColor(*s, pos, c);
      return 1;
    }
    Point3 r = c;  // a failed bitmap lookup leaves the caller's colour as it was
    int ok = ShadedColorAt(r, pos, width, sc, t);
    c = r;
    return ok;
  }
  int GetFlagColor(Point3& c, float pos, int t);
  int GetFlagColor(Point3& c, float pos, float width, ShadeContext& sc, int t);
  RefResult NotifyRefChanged(Interval changeInt, RefTargetHandle target, PartID& partID, RefMessage message) override;

  // ---- Drawing, bitmap modes, resources ----
  // Fills width x height pixels (rows identical, the gradient left to right); aspect is unused.
  int Render(BMM_Color_24* buf, int t, int width, int height, float aspect, int mono);
  int RenderFlag(BMM_Color_24* buf, int t, int width, int height, float aspect, int mono);
  int RenderBitmap(BMM_Color_24* buf, int t, int width, int height, float aspect, int mono);
  int GetBitmapColor(Point3& c, float pos, int t);
  int GetBitmapInfo(BitmapInfo* bi);
  int SetBitmapInfo(BitmapInfo* bi);
  // The decoded bitmap, decoding the file on first use (once, whatever the threads).
  int GetBitmapData(JGradBitmapHeader*& hdr, BMM_Color_32*& pixels);
  void FreeBitmapData();
  void EnumAuxFiles(NameEnumCallback& cb, DWORD flags) override;
  void FreeAllBitmaps() override;
  int LoadResource(HINSTANCE inst, int id) override;
  // Rebuilds the flags from the resource: non-zero on success.
  int SetupResource() override;

 protected:
  struct Cache;
  void SetCacheDirty();
  void UpdateCache(int t, Interval& valid);
  float GetInterpolationParams(float pos, int& index, int t);
  const Cache* CurrentCache(int t);
  int GetColorSlow(Point3& c, float pos, int t);
  int ShadedColorSlow(Point3& c, float pos, float width, ShadeContext& sc, int t, int flagsOnly);
  int ShadedColorAt(Point3& c, float pos, float width, ShadeContext& sc, int t);
  void Publish(const JGradSpan* s);

 private:
  JMemBlock* volatile bitmapBlock;   // the decoded bitmap; replaced, never freed, while in use
  std::vector<JMemBlock*> retiredBlocks;
  Cache* volatile cache;  // the published cache; lookups read it without the lock
  // The span of the last plain lookup in the published cache while that cache is current, in
  // flag mode, with flags; otherwise a span that holds no position. Lookups move it along with a compare-and-swap, so a
  // lookup never brings back a span of a cache that a rebuild has replaced.
  const JGradSpan* hot;
  void* retired;          // earlier caches, kept until the gradient goes (a reader may still use one)
  int searchHint;  // read and written by lookups on any thread without the lock: a hint only
  volatile int dirty;
  CRITICAL_SECTION lock;
  unsigned resourceSize;  // 0 when unknown
};

QUORAPI JGradCtlData* Create_JGradCtlData();
// A new gradient with its flags from RCDATA resource id of h.
QUORAPI JGradCtlData* Create_JGradCtlData(HINSTANCE h, int id);

// Gradient files through the library's file dialog: the titles "Save Gradient..." and
// "Load Gradient...", *.dgr files. path (260 characters) keeps the last name between calls.
// Saving answers 1 or 0; loading answers the gradient, or null (also for a file that holds
// something other than a gradient, which is then deleted).
QUORAPI int JSaveGradientFile(JGradCtlData* grad, HWND owner, char* path);
QUORAPI JGradCtlData* JLoadGradientFile(HWND owner, char* path);
