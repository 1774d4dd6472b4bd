// Filling a view's display buffer from a reduced image: enlarged by pixel replication, or
// centred on a sunken panel.
#include "JViewFitInternal.h"

#include "vcore.h"

#include <stdint.h>
#include <string.h>

namespace {

// The host colour manager's system colour indices of the panel.
const int kPanelShadow = 16;
const int kPanelFace = 15;
const int kPanelHighlight = 20;

BMM_Color_24 FromColorRef(COLORREF c) {
  return BMM_Color_24{(BYTE)(c & 0xFF), (BYTE)((c >> 8) & 0xFF), (BYTE)((c >> 16) & 0xFF)};
}

}  // namespace

namespace jviewfit {

// Each output row is built once per group of f rows and copied to the group's other rows.
void Replicate(BMM_Color_24* out, int W, int H, const BMM_Color_24* src, int w, int f) {
  const size_t rowBytes = (size_t)W * sizeof(BMM_Color_24);
  for (int y0 = 0, sy = 0; y0 < H; y0 += f, sy++) {
    BMM_Color_24* row = out + (size_t)y0 * W;
    const BMM_Color_24* s = src + (size_t)sy * w;
    int x = 0;
    if (f == 4) {
      // Four copies of a pixel are twelve bytes: three 32-bit words of the same pattern.
      for (; x + 4 <= W; x += 4, s++) {
        const uint32_t r = s->r, g = s->g, b = s->b;
        const uint32_t words[3] = {r | g << 8 | b << 16 | r << 24, g | b << 8 | r << 16 | g << 24,
                                   b | r << 8 | g << 16 | b << 24};
        memcpy(row + x, words, sizeof words);
      }
    }
    for (; x < W; s++)
      for (int k = 0; k < f && x < W; k++) row[x++] = *s;
    const int rows = H - y0 < f ? H - y0 : f;
    for (int k = 1; k < rows; k++) memcpy(row + (size_t)k * W, row, rowBytes);
  }
}

void Panel(BMM_Color_24* out, int W, int H, const BMM_Color_24* src, int w, int h) {
  IColorManager* cm = GetColorManager();
  const BMM_Color_24 shadow = FromColorRef(cm->GetColor(kPanelShadow));
  const BMM_Color_24 face = FromColorRef(cm->GetColor(kPanelFace));
  const BMM_Color_24 highlight = FromColorRef(cm->GetColor(kPanelHighlight));
  const int offX = (W - w) / 2, offY = (H - h) / 2;
  for (int y = 0; y < H; y++) {
    BMM_Color_24* row = out + (size_t)y * W;
    if (y == 0 || y == H - 1) {
      const BMM_Color_24 c = y == 0 ? shadow : highlight;
      for (int x = 0; x < W; x++) row[x] = c;
      continue;
    }
    for (int x = 0; x < W; x++) row[x] = face;
    if (y >= offY && y < offY + h) {
      // The image's columns that fall inside the panel's edge columns.
      const int from = offX > 1 ? offX : 1;
      const int to = offX + w < W - 1 ? offX + w : W - 1;
      if (to > from)
        memcpy(row + from, src + (size_t)(y - offY) * w + (from - offX), (size_t)(to - from) * sizeof(BMM_Color_24));
    }
    row[0] = shadow;
    row[W - 1] = highlight;
  }
}

}  // namespace jviewfit
