// Colour helpers: lightness, and RGB to HLS and back.
#include "ImagingTest.h"

#include <gtest/gtest.h>

#include <math.h>

TEST(Colour, LuminosityAndHlsConversions) {
  EXPECT_FLOAT_EQ(luminosity(0.2f, 0.9f, 0.4f), 0.55f);
  // Hue by the maximum channel (red first when two are), grey without hue, and saturation on
  // either side of lightness one half.
  const float cases[][6] = {{1, 0, 0, 0, 0.5f, 1},           {0.1f, 0.4f, 0.2f, 140, 0.25f, 0.6f},
                            {0, 0, 1, 240, 0.5f, 1},         {1, 0, 1, 300, 0.5f, 1},
                            {0.3f, 0.3f, 0.3f, -1, 0.3f, 0}, {0.9f, 0.8f, 0.7f, 30, 0.8f, 0.5f}};
  float h, l, s, r, g, b;
  for (auto& c : cases) {
    rgb2hls(c[0], c[1], c[2], &h, &l, &s);
    EXPECT_NEAR(h, c[3], 1e-4) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_NEAR(l, c[4], 1e-6) << c[0] << " " << c[1] << " " << c[2];
    EXPECT_NEAR(s, c[5], 1e-6) << c[0] << " " << c[1] << " " << c[2];
  }
  for (float hue : {-1.0f, 0.0f, 123.0f, 359.0f}) {
    hls2rgb(hue, 0.4f, 0.0f, &r, &g, &b);
    EXPECT_TRUE(r == 0.4f && g == 0.4f && b == 0.4f) << hue;
  }
  hls2rgb(0, 0.5f, 1, &r, &g, &b);
  EXPECT_TRUE(r == 1.0f && g == 0.0f && b == 0.0f);
  // Only the stated values are rounded to floats on the way: these colours come out one unit in
  // the last place different when the sum and the hue's numerator are floats too, or m2 is.
  const struct {
    decltype(&rgb2hls) convert;  // either direction: three values in, three out
    float in[3];
    float out[3];
  } exact[] = {{rgb2hls, {0.163f, 0.776f, 0.98f}, {194.98164f, 0.5715f, 0.95332563f}},
               {rgb2hls, {0.807f, 0.943f, 0.437f}, {76.126495f, 0.69f, 0.81612915f}},
               {hls2rgb, {255.1f, 0.262f, 0.76f}, {0.16310377f, 0.06288000f, 0.46111998f}},
               {hls2rgb, {217.1f, 0.03f, 0.861f}, {0.00417000f, 0.023886895f, 0.055829998f}}};
  for (const auto& e : exact) {
    float out[3];
    e.convert(e.in[0], e.in[1], e.in[2], &out[0], &out[1], &out[2]);
    for (int k = 0; k < 3; k++) EXPECT_EQ(out[k], e.out[k]) << e.in[0] << " " << e.in[1] << " " << e.in[2] << ", " << k;
  }
  // Round trips over a grid of colours.
  for (int i = 0; i <= 10; i++)
    for (int j = 0; j <= 10; j++)
      for (int k = 0; k <= 10; k += 5) {
        float c[3] = {i / 10.0f, j / 10.0f, k / 10.0f};
        rgb2hls(c[0], c[1], c[2], &h, &l, &s);
        hls2rgb(h, l, s, &r, &g, &b);
        EXPECT_TRUE(fabsf(r - c[0]) < 1e-5f && fabsf(g - c[1]) < 1e-5f && fabsf(b - c[2]) < 1e-5f)
            << c[0] << " " << c[1] << " " << c[2] << " gave " << r << " " << g << " " << b;
      }
}
