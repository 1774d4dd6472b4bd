// Fourfold pixel replication of a row, sixteen output pixels a step. Built with -mssse3 and run
// only where the processor has it.
#include "JViewFitInternal.h"

#include <tmmintrin.h>

namespace jviewfit {

int Replicate4RowSsse3(unsigned char* out, int width, const unsigned char* src, int srcWidth) {
  // Four source pixels (bytes 0-11 of a 16-byte load) become 48 bytes: each pixel four times.
  const __m128i first = _mm_setr_epi8(0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 3, 4, 5, 3);
  const __m128i second = _mm_setr_epi8(4, 5, 3, 4, 5, 3, 4, 5, 6, 7, 8, 6, 7, 8, 6, 7);
  const __m128i third = _mm_setr_epi8(8, 6, 7, 8, 9, 10, 11, 9, 10, 11, 9, 10, 11, 9, 10, 11);
  int x = 0, sx = 0;
  // A load reads 16 source bytes: stop while it still lies within the source row.
  for (; x + 16 <= width && sx * 3 + 16 <= srcWidth * 3; x += 16, sx += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + sx * 3));
    unsigned char* d = out + x * 3;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_shuffle_epi8(v, first));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 16), _mm_shuffle_epi8(v, second));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 32), _mm_shuffle_epi8(v, third));
  }
  return x;
}

}  // namespace jviewfit
