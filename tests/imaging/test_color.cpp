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
