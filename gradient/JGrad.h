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
  // The colour at pos; safe to call from several threads while the gradient is edited.
  int GetColor(Point3& c, float pos, int t);
  // The colour at pos for a shading point; width is the sampled extent of pos.
  int GetColor(Point3& c, float pos, float width, ShadeContext& sc, int t);
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
  __attribute__((noinline)) int GetColorSlow(Point3& c, float pos, int t);

 private:
  JMemBlock* volatile bitmapBlock;   // the decoded bitmap; replaced, never freed, while in use
  std::vector<JMemBlock*> retiredBlocks;
  Cache* volatile cache;  // the published cache; lookups read it without the lock
  Cache* volatile fast;   // the published cache while it is current, in flag mode, with flags
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
