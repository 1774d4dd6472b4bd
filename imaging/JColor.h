// Colour helpers: lightness, and conversion between RGB and hue-lightness-saturation.
#pragma once

#include "JExport.h"

// (largest + smallest component) / 2.
QUORAPI float luminosity(float r, float g, float b);
// RGB in 0..1 to hue in degrees [0, 360) (-1 for a grey), lightness and saturation in 0..1.
QUORAPI void rgb2hls(float r, float g, float b, float* h, float* l, float* s);
QUORAPI void hls2rgb(float h, float l, float s, float* r, float* g, float* b);
