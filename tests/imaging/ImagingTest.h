// Helpers shared by the imaging tests: deterministic pixel data biased towards edge values,
// and bitmaps that delete themselves.
#pragma once

#include "Quorlib.h"
#include "Random.h"

#include <stdint.h>
#include <string.h>

#include <vector>

namespace imgtest {

// The shared generator with pixel data biased towards edge values.
class Random : public quortest::Random {
 public:
  using quortest::Random::Random;
  // A 16-bit value that is an edge value (0, 1, 32768, 65534, 65535) one time in three.
  uint16_t Word() {
    static const uint16_t edges[] = {0, 1, 32768, 65534, 65535};
    return Below(3) == 0 ? edges[Below(5)] : (uint16_t)Next();
  }
  // A value in [0, 1], now and then exactly 0 or 1.
  float Unit() {
    int k = Below(8);
    return k == 0 ? 0.0f : k == 1 ? 1.0f : (float)(Next() >> 8) / 16777215.0f;
  }
  // A premultiplied pixel: no colour channel above alpha.
  BMM_Color_64 Premultiplied() {
    uint16_t a = Word();
    auto below = [&](uint16_t limit) { return limit ? (uint16_t)(Next() % ((uint32_t)limit + 1)) : (uint16_t)0; };
    return BMM_Color_64{below(a), below(a), below(a), a};
  }
};

// A bitmap from the library's scratch factory, deleted with the scope.
class ScratchBitmap {
 public:
  ScratchBitmap(int w, int h) { JCreateBitmap(bm, w, h, 1.0f); }
  ~ScratchBitmap() { JDeleteBitmap(bm); }
  ScratchBitmap(const ScratchBitmap&) = delete;
  ScratchBitmap& operator=(const ScratchBitmap&) = delete;
  Bitmap* get() const { return bm; }
  Bitmap* operator->() const { return bm; }

 private:
  Bitmap* bm = nullptr;
};

inline BMM_Color_64 PixelAt(Bitmap* bm, int x, int y) {
  BMM_Color_64 p = {};
  bm->GetLinearPixels(x, y, 1, &p);
  return p;
}

// Byte-wise equality of two pixels (BMM_Color_64 or BMM_Color_24).
template <class Pixel> bool SamePixel(const Pixel& a, const Pixel& b) { return memcmp(&a, &b, sizeof a) == 0; }

}  // namespace imgtest
