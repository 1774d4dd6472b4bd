// Colour helpers.
#include "JColor.h"

namespace {
float Max3(float a, float b, float c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
float Min3(float a, float b, float c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

// One channel of hls2rgb: the thresholds compare in double precision, the slope constant is the
// single-precision 1/60.
float Channel(float m1, float m2, float x) {
  const float k = 0.016666668f;
  if (x > 360.0) x -= 360.0f;
  else if (x < 0.0) x += 360.0f;
  if (x < 60.0) return m1 + (m2 - m1) * x * k;
  if (x < 180.0) return m2;
  if (x < 240.0) return m1 + (m2 - m1) * (240.0f - x) * k;
  return m1;
}
}  // namespace

float luminosity(float r, float g, float b) { return (Max3(r, g, b) + Min3(r, g, b)) * 0.5f; }

void rgb2hls(float r, float g, float b, float* h, float* l, float* s) {
  float mx = Max3(r, g, b), mn = Min3(r, g, b);
  if (mx == mn) {
    *l = mx;
    *s = 0.0f;
    *h = -1.0f;
    return;
  }
  float d = mx - mn;
  float sum = mx + mn;
  *s = sum <= 1.0f ? d / sum : d / (2.0f - sum);
  *l = sum * 0.5f;
  float hue;
  if (r == mx)
    hue = (g - b) / d;
  else if (g == mx)
    hue = (b - r) / d + 2.0f;
  else
    hue = (r - g) / d + 4.0f;
  hue = hue * 60.0f;
  if (hue < 0.0f) hue += 360.0f;
  *h = hue;
}

void hls2rgb(float h, float l, float s, float* r, float* g, float* b) {
  float m2 = l < 0.5f ? l * (1.0f + s) : l + s - l * s;
  float m1 = 2.0f * l - m2;
  if (s == 0.0f) {
    *r = *g = *b = l;
    return;
  }
  *r = Channel(m1, m2, h + 120.0f);
  *g = Channel(m1, m2, h);
  *b = Channel(m1, m2, h - 120.0f);
}
