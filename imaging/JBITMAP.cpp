// Scratch bitmaps, copies between bitmaps and 24-bit buffers, nearest-neighbour fitting and the
// default background.
#include "JBitmap.h"

#include "JDiag.h"
#include "JFault.h"

#include <stdlib.h>
#include <string.h>

namespace {

// The extra channels in the order in which they are copied, with their element sizes.
struct ChannelSize {
  ULONG bit;
  int bytes;
};
const ChannelSize kChannels[] = {{BMM_CHAN_MTL_ID, 1},  {BMM_CHAN_NODE_ID, 2}, {BMM_CHAN_Z, 4},
                                 {BMM_CHAN_NORMAL, 4},  {BMM_CHAN_UV, 8},      {BMM_CHAN_REALPIX, 4},
                                 {BMM_CHAN_COVERAGE, 1}, {BMM_CHAN_BG, 3},     {BMM_CHAN_NODE_RENDER_ID, 2}};

const BMM_Color_64 kNoFill = {0, 0, 0, 0};

// The resize rule: index i of n destination elements takes this index of m source elements.
inline int SourceIndex(int i, int n, int m) { return i == 0 ? 0 : (int)(((int64_t)(m - 1) * i) / (n - 1)); }

// Byte offsets of the source elements that the n destination columns take; null when memory is short.
size_t* ColumnMap(int n, int m, int bpp) {
  size_t* map = static_cast<size_t*>(malloc(sizeof(size_t) * (size_t)n));
  if (map)
    for (int i = 0; i < n; i++) map[i] = (size_t)SourceIndex(i, n, m) * (size_t)bpp;
  return map;
}

// One destination row of n elements from a source row through the column map. Elements of
// common sizes move as single loads and stores.
template <int Bytes>
void ResampleFixed(unsigned char* d, const unsigned char* s, const size_t* map, int n) {
  for (int i = 0; i < n; i++) memcpy(d + (size_t)i * Bytes, s + map[i], Bytes);
}

// Three-byte elements move as four-byte words, each store's extra byte overwritten by the next
// element, except where the word would reach past the source row or past the destination row.
void Resample3(unsigned char* d, const unsigned char* s, const size_t* map, int n, size_t srcRowBytes) {
  int i = 0;
  for (; i < n - 1 && map[i] + 4 <= srcRowBytes; i++) memcpy(d + (size_t)i * 3, s + map[i], 4);
  for (; i < n; i++) memcpy(d + (size_t)i * 3, s + map[i], 3);
}

void ResampleRow(unsigned char* d, const unsigned char* s, const size_t* map, int n, int bpp, size_t srcRowBytes) {
  switch (bpp) {
    case 1: ResampleFixed<1>(d, s, map, n); return;
    case 2: ResampleFixed<2>(d, s, map, n); return;
    case 3: Resample3(d, s, map, n, srcRowBytes); return;
    case 4: ResampleFixed<4>(d, s, map, n); return;
    case 8: ResampleFixed<8>(d, s, map, n); return;
  }
  for (int i = 0; i < n; i++) memcpy(d + (size_t)i * bpp, s + map[i], bpp);
}

// Render information goes with the copy when asked for and the source has some.
void CopyRenderInfo(BitmapStorage* dst, BitmapStorage* src, unsigned long channels) {
  if (!(channels & JCOPY_RENDERINFO) || !src->GetRenderInfo()) return;
  RenderInfo* ri = dst->AllocRenderInfo();
  if (ri) *ri = *src->GetRenderInfo();
}

inline BMM_Color_24 HighBytes(const BMM_Color_64& p) {
  return BMM_Color_24{(BYTE)(p.r >> 8), (BYTE)(p.g >> 8), (BYTE)(p.b >> 8)};
}

// The bar colours, left to right, as 0 or 1 per channel.
const BYTE kBars[6][3] = {{1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 0, 1}};

// The bar of column x in a line of w columns: bar k covers [(w k) / 6, (w (k + 1)) / 6).
int BarOf(int x, int w) {
  int k = 5;
  while (k > 0 && x < (w * k) / 6) k--;
  return k;
}

}  // namespace

// ---- Scratch bitmaps -------------------------------------------------------------------------

int JCreateBitmap(Bitmap*& bm, int width, int height, float aspect) {
  JDeleteBitmap(bm);
  BitmapInfo bi;
  bi.SetName("FilterTemp.");
  bi.SetWidth((WORD)width);
  bi.SetHeight((WORD)height);
  bi.SetAspect(aspect);
  bi.SetFlags(MAP_HAS_ALPHA);
  bi.SetType(BMM_TRUE_64);
  bm = TheManager->Create(&bi);
  return bm ? 1 : 0;
}

void JDeleteBitmap(Bitmap*& bm) {
  if (!bm) return;
  bm->CloseAll(BMM_CLOSE_COMPLETE);
  bm->DeleteThis();
  bm = nullptr;
}

// ---- Bitmap to bitmap ------------------------------------------------------------------------

int JCopyBitmap(Bitmap* dst, Bitmap* src, unsigned long channels) {
  if (!dst || !src) return 0;
  BitmapStorage* ds = dst->Storage();
  if (!ds) return 0;
  // The source may be a stale bitmap of another plug-in: a fault inside the copy is a failure.
  if (!JGuardedCall([ds, src] { return ds->CopyImage(src, COPY_IMAGE_CROP, kNoFill); }, 0)) return 0;
  BitmapStorage* ss = src->Storage();
  CopyRenderInfo(ds, ss, channels);
  ULONG m = ss->ChannelsPresent() & channels;
  if (!m) return 1;
  if ((ds->CreateChannels(m) & m) != m) return 0;
  size_t n = (size_t)dst->Width() * dst->Height(), ns = (size_t)src->Width() * src->Height();
  if (ns < n) n = ns;  // same size by contract; never read past the source
  for (const ChannelSize& c : kChannels)
    if (m & c.bit) memcpy(ds->GetChannel(c.bit), ss->GetChannel(c.bit), n * c.bytes);
  return 1;
}

int JCopyFit(Bitmap* dst, Bitmap* src, unsigned long channels) {
  if (!jassert(src != nullptr, "JCopyFit: src != NULL", "JBITMAP", 182)) return 0;
  BitmapStorage* ds = dst->Storage();
  if (!ds || !ds->CopyImage(src, COPY_IMAGE_RESIZE, kNoFill)) return 0;
  BitmapStorage* ss = src->Storage();
  CopyRenderInfo(ds, ss, channels);
  ULONG m = ss->ChannelsPresent() & channels;
  if (!m) return 1;
  if (ds->CreateChannels(m) != m) return 0;
  for (const ChannelSize& c : kChannels)
    if (m & c.bit)
      JCopyFit(ds->GetChannel(c.bit), dst->Width(), dst->Height(), ss->GetChannel(c.bit), src->Width(),
               src->Height(), c.bytes);
  return 1;
}

// ---- Element arrays --------------------------------------------------------------------------

void JCopyFit(void* dst, int dw, int dh, void* src, int sw, int sh, int bpp) {
  if (!dst || !src || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || bpp <= 0) return;
  size_t* map = ColumnMap(dw, sw, bpp);
  if (!map) return;
  const size_t dRow = (size_t)dw * bpp, sRow = (size_t)sw * bpp;
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  int previous = -1;
  for (int y = 0; y < dh; y++, d += dRow) {
    int sy = SourceIndex(y, dh, sh);
    if (sy == previous)
      memcpy(d, d - dRow, dRow);
    else
      ResampleRow(d, s + (size_t)sy * sRow, map, dw, bpp, sRow);
    previous = sy;
  }
  free(map);
}

// ---- Bitmap to 24-bit buffer -----------------------------------------------------------------

int JCopy(BMM_Color_24* buf, int w, int h, Bitmap* bm) {
  if (!buf || w <= 0 || h <= 0) return 0;
  memset(buf, 0, (size_t)w * h * sizeof(BMM_Color_24));
  BitmapStorage* s = bm ? bm->Storage() : nullptr;
  if (!s) return 0;
  const int bw = s->Width(), bh = s->Height();
  BMM_Color_64* line = static_cast<BMM_Color_64*>(malloc(sizeof(BMM_Color_64) * (size_t)bw));
  if (!line) return 0;
  const int offY = (h - bh) / 2, offX = (w - bw) / 2;
  const int y0 = offY > 0 ? offY : 0, y1 = offY + bh < h ? offY + bh : h;
  const int x0 = offX > 0 ? offX : 0, x1 = offX + bw < w ? offX + bw : w;
  for (int y = y0; y < y1; y++) {
    s->GetLinearPixels(0, y - offY, bw, line);
    BMM_Color_24* row = buf + (size_t)y * w;
    for (int x = x0; x < x1; x++) row[x] = HighBytes(line[x - offX]);
  }
  free(line);
  return 1;
}

int JCopyFit(BMM_Color_24* buf, int w, int h, Bitmap* bm) {
  if (!buf || w <= 0 || h <= 0) return 0;
  BitmapStorage* s = bm ? bm->Storage() : nullptr;
  if (!s) return 0;
  const int bw = s->Width(), bh = s->Height();
  BMM_Color_64* line = static_cast<BMM_Color_64*>(malloc(sizeof(BMM_Color_64) * (size_t)bw));
  int* map = static_cast<int*>(malloc(sizeof(int) * (size_t)w));
  if (!line || !map) {
    free(line);
    free(map);
    return 0;
  }
  for (int x = 0; x < w; x++) map[x] = SourceIndex(x, w, bw);
  int previous = -1;
  for (int y = 0; y < h; y++) {
    BMM_Color_24* row = buf + (size_t)y * w;
    int sy = SourceIndex(y, h, bh);
    if (sy == previous) {
      memcpy(row, row - w, sizeof(BMM_Color_24) * (size_t)w);
      continue;
    }
    s->GetLinearPixels(0, sy, bw, line);
    for (int x = 0; x < w; x++) row[x] = HighBytes(line[map[x]]);
    previous = sy;
  }
  free(map);
  free(line);
  return 1;
}

// ---- Default background ----------------------------------------------------------------------

int JFillDefault(BMM_Color_24* buf, int w, int h) {
  if (!buf || w < 2 || h < 2) return 0;
  const size_t rowBytes = sizeof(BMM_Color_24) * (size_t)w;
  for (int x = 0; x < w; x++) {
    const BYTE* c = kBars[BarOf(x, w)];
    buf[x] = BMM_Color_24{(BYTE)(c[0] * 255), (BYTE)(c[1] * 255), (BYTE)(c[2] * 255)};
  }
  const int r = (2 * h) / 3;
  for (int y = 1; y < r; y++) memcpy(buf + (size_t)y * w, buf, rowBytes);
  const int rampRow = r > 1 ? r : 1;
  BMM_Color_24* ramp = buf + (size_t)rampRow * w;
  for (int x = 0; x < w; x++) {
    BYTE v = (BYTE)((255 * x) / (w - 1));
    ramp[x] = BMM_Color_24{v, v, v};
  }
  for (int y = rampRow + 1; y < h; y++) memcpy(buf + (size_t)y * w, ramp, rowBytes);
  return 1;
}

int JFillDefault(Bitmap* bm) {
  BitmapStorage* s = bm ? bm->Storage() : nullptr;
  if (!s) return 0;
  const int w = s->Width(), h = s->Height();
  if (w < 2) return 0;
  BMM_Color_64* line = static_cast<BMM_Color_64*>(malloc(sizeof(BMM_Color_64) * (size_t)w));
  if (!line) {
    s->Fill(65535, 0, 0, 65535);
    return 1;
  }
  for (int x = 0; x < w; x++) {
    const BYTE* c = kBars[BarOf(x, w)];
    line[x] = BMM_Color_64{(WORD)(c[0] * 65535), (WORD)(c[1] * 65535), (WORD)(c[2] * 65535), 65535};
  }
  const int r = (2 * h) / 3;
  for (int y = 0; y < r; y++) s->PutPixels(0, y, w, line);
  for (int x = 0; x < w; x++) {
    WORD v = (WORD)((65535 * (int64_t)x) / (w - 1));
    line[x] = BMM_Color_64{v, v, v, 65535};
  }
  for (int y = r; y < h; y++) s->PutPixels(0, y, w, line);
  free(line);
  return 1;
}
