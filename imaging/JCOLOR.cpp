// Colour helpers.
#include "JColor.h"

namespace {
float Max3(float a, float b, float c) { return a > b ? (a > c ? a : c) : (b > c ? b : c); }
float Min3(float a, float b, float c) { return a < b ? (a < c ? a : c) : (b < c ? b : c); }

// One channel of hls2rgb: the thresholds compare in double precision, the slope constant is the
// single-precision 1/60, and the ramps are worked out in double precision from the unrounded m2.
float Channel(float m1, double m2, float x) {
  const float k = 0.016666668f;
  if (x > 360.0) x -= 360.0f;
  else if (x < 0.0) x += 360.0f;
  if (x < 60.0) return (float)(m1 + (m2 - m1) * x * k);
  if (x < 180.0) return (float)m2;
  if (x < 240.0) return (float)(m1 + (m2 - m1) * (240.0f - x) * k);
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
  // The difference is rounded to a float; the sum, the saturation's quotient and the hue's
  // numerators are not (in double precision they are exact); each result is stored as a float.
  const float d = mx - mn;
  const double sum = (double)mx + mn;
  *s = (float)(sum <= 1.0 ? d / sum : d / (2.0 - sum));
  *l = (float)sum * 0.5f;
  float hue;
  if (r == mx)
    hue = (float)(((double)g - b) / d);
  else if (g == mx)
    hue = (float)(((double)b - r) / d + 2.0);
  else
    hue = (float)(((double)r - g) / d + 4.0);
  hue = hue * 60.0f;
  if (hue < 0.0f) hue += 360.0f;
  *h = hue;
}

void hls2rgb(float h, float l, float s, float* r, float* g, float* b) {
  // m2 stays in double precision; m1 is rounded to a float.
  const double m2 = l < 0.5f ? (double)l * (1.0 + s) : (double)l + s - (double)l * s;
  const float m1 = (float)(2.0 * l - m2);
  if (s == 0.0f) {
    *r = *g = *b = l;
    return;
  }
  *r = Channel(m1, m2, h + 120.0f);
  *g = Channel(m1, m2, h);
  *b = Channel(m1, m2, h - 120.0f);
}
