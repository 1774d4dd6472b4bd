// The glow's pixel work. Two passes over the image with the mask blur between them: the first
// turns each row into mask values (how far its luminance lies above the threshold), the second
// adds the table's colour for each blurred mask value. Rows of the host's bitmap travel in bands,
// one call for a band, so that each pass reads the bitmap once and the band stays in the cache.
#include "GlowCore.h"

#include <stdlib.h>

namespace glow {
namespace {

const int kBandRows = 32;  // rows of a bitmap read or written in one call

// Channel range of each pixel type, and how far the 16-bit table is shifted for it.
template <class Px>
struct Depth;
template <>
struct Depth<BMM_Color_64> {
  static const uint32_t kMax = 65535;
  static const int kShift = 0;
};
template <>
struct Depth<BMM_Color_24> {
  static const uint32_t kMax = 255;
  static const int kShift = 8;
};

// Luminance with the television weights 0.299, 0.587, 0.114 (in 256ths, summing to 256).
inline uint32_t Luma(uint32_t r, uint32_t g, uint32_t b) { return (77 * r + 150 * g + 29 * b) >> 8; }

// Where the mask starts and how steeply it rises: luminance at threshold gives 0, full white 1.
struct Ramp {
  uint32_t start;
  float scale;
};

template <class Px>
Ramp MakeRamp(float threshold) {
  const uint32_t top = Depth<Px>::kMax;
  float t = threshold < 0 ? 0 : (threshold > 1 ? 1 : threshold);
  Ramp r;
  r.start = (uint32_t)(t * top + 0.5f);
  r.scale = r.start < top ? 1.0f / (float)(top - r.start) : 0.0f;
  return r;
}

template <class Px>
void MaskRow(const Px* px, float* mask, int n, const Ramp& ramp) {
  for (int i = 0; i < n; i++) {
    uint32_t l = Luma(px[i].r, px[i].g, px[i].b);
    mask[i] = l > ramp.start ? (float)(l - ramp.start) * ramp.scale : 0.0f;
  }
}

template <class Px>
void AddRow(Px* px, const float* mask, int n, const Settings& s) {
  const uint32_t top = Depth<Px>::kMax;
  const int shift = Depth<Px>::kShift;
  const float levels = (float)(kLevels - 1);
  for (int i = 0; i < n; i++) {
    float m = mask[i];
    if (!(m > 0.0f)) continue;  // nothing to add (also catches NaN)
    int level = m >= 1.0f ? kLevels - 1 : (int)(m * levels + 0.5f);
    const uint16_t* a = s.add[level];
    uint32_t r = px[i].r + (a[0] >> shift), g = px[i].g + (a[1] >> shift), b = px[i].b + (a[2] >> shift);
    px[i].r = (decltype(px[i].r))(r < top ? r : top);
    px[i].g = (decltype(px[i].g))(g < top ? g : top);
    px[i].b = (decltype(px[i].b))(b < top ? b : top);
  }
}

// The blur between the passes: a box of 2 x radius + 1 pixels each way.
int BlurMask(float* mask, int w, int h, float radius) {
  if (!(radius > 0)) return 1;
  return JBlur(mask, mask, (unsigned)w, (unsigned)h, 2 * radius, 2 * radius);
}

}  // namespace

void FillTable(Settings& s, const Point3* colours, float strength) {
  const float levels = (float)(kLevels - 1);
  for (int i = 0; i < kLevels; i++) {
    float weight = strength * (float)i / levels * 65535.0f;
    const float c[3] = {colours[i].x, colours[i].y, colours[i].z};
    for (int k = 0; k < 3; k++) {
      float v = c[k] * weight + 0.5f;
      s.add[i][k] = (uint16_t)(v <= 0 ? 0 : (v >= 65535.0f ? 65535 : (int)v));
    }
  }
}

Worker::~Worker() {
  free(mask);
  free(band);
}

bool Worker::Reserve(size_t maskValues, size_t bandPixels) {
  if (maskValues > maskSize) {
    free(mask);
    mask = (float*)malloc(sizeof(float) * maskValues);
    maskSize = mask ? maskValues : 0;
  }
  if (bandPixels > bandSize) {
    free(band);
    band = (BMM_Color_64*)malloc(sizeof(BMM_Color_64) * bandPixels);
    bandSize = band ? bandPixels : 0;
  }
  return maskSize >= maskValues && bandSize >= bandPixels;
}

int Worker::GlowBitmap(Bitmap* bm, const Settings& s) {
  if (!bm) return 0;
  const int w = bm->Width(), h = bm->Height();
  int ok = Reserve((size_t)w * h, (size_t)w * kBandRows);
  const Ramp ramp = MakeRamp<BMM_Color_64>(s.threshold);
  for (int y = 0; ok && y < h; y += kBandRows) {
    const int rows = h - y < kBandRows ? h - y : kBandRows;
    ok = bm->GetLinearPixels(0, y, w * rows, band);
    for (int r = 0; ok && r < rows; r++) MaskRow(band + (size_t)r * w, mask + (size_t)(y + r) * w, w, ramp);
  }
  ok = ok && BlurMask(mask, w, h, s.radius);
  for (int y = 0; ok && y < h; y += kBandRows) {
    const int rows = h - y < kBandRows ? h - y : kBandRows;
    ok = bm->GetLinearPixels(0, y, w * rows, band);
    for (int r = 0; ok && r < rows; r++) AddRow(band + (size_t)r * w, mask + (size_t)(y + r) * w, w, s);
    ok = ok && bm->PutPixels(0, y, w * rows, band);
  }
  return ok;
}

int Worker::GlowPixels(BMM_Color_24* buf, int w, int h, const Settings& s) {
  if (!buf || w < 1 || h < 1 || !Reserve((size_t)w * h, 0)) return 0;
  const Ramp ramp = MakeRamp<BMM_Color_24>(s.threshold);
  for (int y = 0; y < h; y++) MaskRow(buf + (size_t)y * w, mask + (size_t)y * w, w, ramp);
  int ok = BlurMask(mask, w, h, s.radius);
  for (int y = 0; ok && y < h; y++) AddRow(buf + (size_t)y * w, mask + (size_t)y * w, w, s);
  return ok;
}

}  // namespace glow
