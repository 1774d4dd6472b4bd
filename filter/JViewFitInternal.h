// Filling a view's W x H display buffer from its reduced w x h image (not installed). Kept apart
// so that the benchmark measures the very code the view runs.
#pragma once

#include "vbmm.h"

namespace jviewfit {

// Pixel replication with factor f: source pixel (sx, sy) fills the f x f block at (f*sx, f*sy),
// cut at W and H. src must hold at least ceil(W / f) x ceil(H / f) pixels, w per row.
void Replicate(BMM_Color_24* out, int W, int H, const BMM_Color_24* src, int w, int f);

// A sunken panel in the host's shadow, face and highlight colours with the w x h image centred
// on it; the panel's outer rows and columns win over the image.
void Panel(BMM_Color_24* out, int W, int H, const BMM_Color_24* src, int w, int h);

}  // namespace jviewfit
