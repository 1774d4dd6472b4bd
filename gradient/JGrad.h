// The gradient: a data node whose colour at a position 0 to 1 comes from its flags (through a
// sorted colour cache) or from a row of a bitmap file; it draws itself into 24-bit pixel rows and
// travels in gradient files (*.dgr).
#pragma once

#include "JFlag.h"
#include "vbmm.h"

// The decoded bitmap of the bitmap modes, followed by width x rows BMM_Color_32 pixels.
struct JGradBitmapHeader {
  int32_t headerSize;  // 12: the pixels start this many bytes after the header
  int32_t width;
  int32_t rows;  // the bitmap's height in UV map mode, 1 in bitmap mode
};

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
  // The colour at pos (0 to 1; from 1 up and NaN count as just below 1). Safe to call from any
  // number of threads while the gradient is edited on the interface thread; each thread keeps
  // its own place in the gradient, so samples taken in order are the cheapest.
  int GetColor(Point3& c, float pos, int t);
  // The colour at pos for a shading point; width is the sampled extent of pos (Solid steps are
  // blended over it) and flag textures are evaluated for sc. c is left as it was when a bitmap
  // mode cannot read its bitmap.
  int GetColor(Point3& c, float pos, float width, ShadeContext& sc, int t);
  // The colours at n positions, as GetColor gives them one by one, in one call: what a filter
  // colouring an image or a renderer shading a row should use. Positions in rising order are
  // the fastest. Safe from any number of threads. Answers 1, or 0 when a bitmap mode cannot
  // read its bitmap (out is then black) or out or pos is null with n above 0.
  int GetColors(Point3* out, const float* pos, int n, int t);
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
  // The decoded bitmap, decoding the file on first use (once, whatever the threads). The
  // pointers stay valid on the calling thread until it asks again, whatever others free meanwhile.
  int GetBitmapData(JGradBitmapHeader*& hdr, BMM_Color_32*& pixels);
  void FreeBitmapData();
  void EnumAuxFiles(NameEnumCallback& cb, DWORD flags) override;
  void FreeAllBitmaps() override;
  int LoadResource(HINSTANCE inst, int id) override;
  // Rebuilds the flags from the resource: non-zero on success.
  int SetupResource() override;

 protected:
  void SetCacheDirty();
  void UpdateCache(int t, Interval& valid);
  float GetInterpolationParams(float pos, int& index, int t);

 private:
  JGradCtlData(const JGradCtlData&) = delete;  // a node is copied through Clone, never by value
  JGradCtlData& operator=(const JGradCtlData&) = delete;
  struct State;  // the colour cache, the decoded bitmap and their lock: private to the library
  friend struct State;
  State* state;
};

QUORAPI JGradCtlData* Create_JGradCtlData();
// A new gradient with its flags from RCDATA resource id of h. The resource (read by
// SetupResource) is 16-bit little-endian words: a version, 1 (0: nothing to set up); then per flag
// a tag 1, its position in percent, red, green and blue (0 to 255) and its name as bytes ending
// with a NUL, unaligned; an end tag 0. In a .rc file (windres writes numbers as words there):
//   IDR_MY_GRADIENT RCDATA BEGIN 1, 1, 0, 255, 0, 0, "Red\0", 1, 100, 0, 0, 255, "Blue\0", 0 END
QUORAPI JGradCtlData* Create_JGradCtlData(HINSTANCE h, int id);

// Gradient files through the library's file dialog: the titles "Save Gradient..." and
// "Load Gradient...", *.dgr files. path (260 characters) keeps the last name between calls.
// Saving answers 1 or 0; loading answers the gradient, or null (also for a file that holds
// something other than a gradient, which is then deleted).
QUORAPI int JSaveGradientFile(JGradCtlData* grad, HWND owner, char* path);
QUORAPI JGradCtlData* JLoadGradientFile(HWND owner, char* path);
