// The pixel-row conversion of JBitBlt with SSSE3 byte shuffles: sixteen pixels (48 bytes) per
// step. Built with -mssse3 and run only where the processor has it.
#include "JBitBltRows.h"

#include <tmmintrin.h>

namespace jbitblt {

namespace {

// Shuffle masks: output vector v of a 48-byte step takes from input vector u the bytes that
// mask[v][u] names (0x80: none). Output byte k is channel 2 - k % 3 of pixel k / 3.
struct Masks {
  __m128i m[3][3];
  Masks() {
    signed char bytes[16];
    for (int v = 0; v < 3; v++)
      for (int u = 0; u < 3; u++) {
        for (int i = 0; i < 16; i++) {
          int k = 16 * v + i;
          int from = k / 3 * 3 + (2 - k % 3) - 16 * u;
          bytes[i] = from >= 0 && from < 16 ? (signed char)from : (signed char)0x80;
        }
        m[v][u] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
      }
  }
};

}  // namespace

int RgbToBgrSsse3(const unsigned char* src, unsigned char* dst, int width) {
  static const Masks k;
  int i = 0;
  for (; i + 16 <= width; i += 16, src += 48, dst += 48) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
    __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(a, k.m[0][0]), _mm_shuffle_epi8(b, k.m[0][1]));
    __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(a, k.m[1][0]), _mm_shuffle_epi8(b, k.m[1][1])),
                              _mm_shuffle_epi8(c, k.m[1][2]));
    __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(b, k.m[2][1]), _mm_shuffle_epi8(c, k.m[2][2]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), o0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16), o1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 32), o2);
  }
  return i;
}

}  // namespace jbitblt
