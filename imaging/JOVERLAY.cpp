// Overlay compositing: bilinear placement at a fractional offset, the "over" operator on
// premultiplied 16-bit pixels, rows split over one worker thread per processor.
#include "JOverlay.h"

#include "JDiag.h"
#include "JInternal.h"
#include "JMessages.h"

#if defined(__i386__) && !defined(__SSE2__)
#pragma GCC target("sse2")
#endif
#include <emmintrin.h>
#include <math.h>
#include <process.h>
#include <stdlib.h>

#include <atomic>

namespace {

// Assertion lines of this source ("JOVERLAY").
const int kLineWeight[4] = {38, 39, 40, 41};  // w_ff, w_fg, w_gf, w_gg outside 0..1
const int kLineSum[4] = {70, 71, 72, 73};     // sums A, R, G, B outside 0..65535
const int kLineHandles = 177;                 // no memory for the thread handles
const int kLineRecord = 182;                  // no memory for a work record

// What one worker does. The worker owns the record and frees it when it ends.
struct OverlayWork {
  BMM_Color_64* dst;        // first pixel of the band
  int dstStride;            // pixels
  const BMM_Color_64* src;  // the band's first P00
  int srcStride;            // pixels
  int columns, rows;
  float wff, wfg, wgf, wgg;    // weights of P00, P10, P01, P11
  CRITICAL_SECTION* lock;      // guards *rowsDone
  int index;                   // the band's number, from the top
  int* rowsDone;               // shared; null without a progress window
  const std::atomic<int>* abort;  // shared, written by the calling thread; null without a progress window
};

// The progress window answers JWM_QUERYABORT by storing an int through the pointer it is given,
// so the abort value is an atomic int with the layout of a plain one. It is a flag that guards no
// other data: the workers read it relaxed.
static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free,
              "the progress window writes the abort value as a plain int");

inline __m128 PixelToFloats(const BMM_Color_64* p) {
  __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  return _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, _mm_setzero_si128()));
}

// Each channel times its weight, truncated (one product per channel, as the sums require).
inline __m128i Weighted(__m128 p, __m128 w) { return _mm_cvttps_epi32(_mm_mul_ps(p, w)); }

// Reports sums outside 0..65535 (lanes red, green, blue, alpha).
void CheckSums(__m128i sums) {
  alignas(16) int s[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(s), sums);
  const int order[4] = {3, 0, 1, 2};  // A, R, G, B
  for (int i = 0; i < 4; i++) {
    int v = s[order[i]];
    jassert(v >= 0 && v <= 65535, "Overlay: sum out of range", "JOVERLAY", kLineSum[i]);
  }
}

// One pixel of the "over" operator: the destination d (four 32-bit channels) under the weighted
// sums s. A = 0 keeps d; otherwise each channel is truncate(d * k) + s with
// k = (65535 - A) / 65535 in single precision (k = 0 for an opaque neighbourhood).
inline __m128i Blend(__m128i d, __m128i s) {
  const __m128i a = _mm_shuffle_epi32(s, _MM_SHUFFLE(3, 3, 3, 3));
  const __m128 k = _mm_mul_ps(_mm_cvtepi32_ps(_mm_sub_epi32(_mm_set1_epi32(65535), a)),
                              _mm_set1_ps(1.0f / 65535.0f));
  const __m128i over = _mm_add_epi32(_mm_cvttps_epi32(_mm_mul_ps(_mm_cvtepi32_ps(d), k)), s);
  const __m128i keep = _mm_cmpeq_epi32(a, _mm_setzero_si128());
  return _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, over));
}

// Four 32-bit channels of two pixels to eight 16-bit ones (each cut to 16 bits, as stored).
inline __m128i PackPixels(__m128i p0, __m128i p1) {
  const __m128i low = _mm_set1_epi32(0xFFFF), bias = _mm_set1_epi32(32768);
  p0 = _mm_sub_epi32(_mm_and_si128(p0, low), bias);
  p1 = _mm_sub_epi32(_mm_and_si128(p1, low), bias);
  return _mm_add_epi16(_mm_packs_epi32(p0, p1), _mm_set1_epi16((short)0x8000));
}

// One destination row from two source rows: pixel i from P00 = s0[i], P10 = s0[i + 1],
// P01 = s1[i], P11 = s1[i + 1].
void CompositeRow(BMM_Color_64* d, const BMM_Color_64* s0, const BMM_Color_64* s1, int n, const OverlayWork& w) {
  const __m128 wff = _mm_set1_ps(w.wff), wfg = _mm_set1_ps(w.wfg), wgf = _mm_set1_ps(w.wgf),
               wgg = _mm_set1_ps(w.wgg);
  const __m128i zero = _mm_setzero_si128(), limit = _mm_set1_epi32(65535);
  __m128 top = PixelToFloats(s0), bottom = PixelToFloats(s1);
  __m128i sums[2], dsts[2];
  int i = 0;
  auto sumPixel = [&](int at) {
    const __m128 topNext = PixelToFloats(s0 + at + 1), bottomNext = PixelToFloats(s1 + at + 1);
    const __m128i s = _mm_add_epi32(_mm_add_epi32(Weighted(top, wff), Weighted(topNext, wfg)),
                                    _mm_add_epi32(Weighted(bottom, wgf), Weighted(bottomNext, wgg)));
    top = topNext;
    bottom = bottomNext;
    if (_mm_movemask_epi8(_mm_cmpgt_epi32(s, limit))) CheckSums(s);
    return s;
  };
  for (; i + 2 <= n; i += 2) {
    sums[0] = sumPixel(i);
    sums[1] = sumPixel(i + 1);
    const __m128i pair = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    dsts[0] = _mm_unpacklo_epi16(pair, zero);
    dsts[1] = _mm_unpackhi_epi16(pair, zero);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                     PackPixels(Blend(dsts[0], sums[0]), Blend(dsts[1], sums[1])));
  }
  if (i < n) {
    const __m128i s = sumPixel(i);
    const __m128i one = _mm_unpacklo_epi16(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + i)), zero);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(d + i), PackPixels(Blend(one, s), zero));
  }
}

// Runs one band top to bottom. With the shared pointers, after each row: stop when the caller
// asked to abort, otherwise count the row.
unsigned __stdcall OverlayWorker(void* param) {
  OverlayWork* w = static_cast<OverlayWork*>(param);
  for (int j = 0; j < w->rows; j++) {
    const BMM_Color_64* s0 = w->src + (size_t)j * w->srcStride;
    CompositeRow(w->dst + (size_t)j * w->dstStride, s0, s0 + w->srcStride, w->columns, *w);
    if (w->rowsDone && w->abort) {
      if (w->abort->load(std::memory_order_relaxed)) break;
      JLock hold(*w->lock);
      ++*w->rowsDone;
    }
  }
  free(w);
  return 0;
}

int ProcessorCount() {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  return si.dwNumberOfProcessors > 0 ? (int)si.dwNumberOfProcessors : 1;
}

// Waits for every thread of handles (null entries are skipped) in slices of 500 ms, calling
// onTimeout after each slice that ends with a thread still running.
template <class F>
void WaitInSlices(HANDLE* handles, int n, F onTimeout) {
  HANDLE running[MAXIMUM_WAIT_OBJECTS];
  int i = 0;
  while (i < n) {
    // The next group of up to 64 threads (the most one wait can watch).
    int count = 0, next = i;
    for (; next < n && count < MAXIMUM_WAIT_OBJECTS; next++)
      if (handles[next]) running[count++] = handles[next];
    for (;;) {
      DWORD r = count ? WaitForMultipleObjects(count, running, TRUE, 500) : WAIT_OBJECT_0;
      if (r == WAIT_TIMEOUT) {
        onTimeout();
        continue;
      }
      if (r == WAIT_FAILED)
        for (int k = 0; k < count; k++) WaitForSingleObject(running[k], INFINITE);
      break;
    }
    i = next;
  }
}

}  // namespace

int Overlay(BMM_Color_64* dst, int dw, int dh, BMM_Color_64* src, int sw, int sh, float x, float y,
            HWND progress, float progressFrom, float progressTo) {
  if (!dst || !src) return 1;
  if (!(-sw <= x && x <= dw && -sh <= y && y <= dh)) return 1;

  // Placement: destination columns [x0, x1) and rows [y0, y1) take source samples from (sx0, sy0) on.
  const double downX = floor((double)x), downY = floor((double)y);
  int x0 = (int)downX + 1, y0 = (int)downY + 1;
  if (x0 < 0) x0 = 0;
  if (y0 < 0) y0 = 0;
  int x1 = (int)ceil((double)sw + (double)x) - 1, y1 = (int)ceil((double)sh + (double)y) - 1;
  if (x1 > dw) x1 = dw;
  if (y1 > dh) y1 = dh;
  const int sx0 = x < 0 ? -1 - (int)downX : 0, sy0 = y < 0 ? -1 - (int)downY : 0;
  const int columns = x1 - x0, rows = y1 - y0;
  if (columns <= 0 || rows <= 0) return 1;

  const float fx = (float)((double)x - downX), gx = 1.0f - fx;
  const float fy = (float)((double)y - downY), gy = 1.0f - fy;
  const float weights[4] = {fy * fx, fy * gx, gy * fx, gy * gx};
  for (int i = 0; i < 4; i++)
    jassert(weights[i] >= 0.0f && weights[i] <= 1.0f, "Overlay: weight out of range", "JOVERLAY", kLineWeight[i]);

  int n = ProcessorCount();
  if (n > rows) n = rows;
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  int rowsDone = 0;
  std::atomic<int> abortValue{0};
  HANDLE* handles = static_cast<HANDLE*>(calloc((size_t)n, sizeof(HANDLE)));
  if (!jassert(handles != nullptr, "Overlay: no memory for thread handles", "JOVERLAY", kLineHandles)) {
    DeleteCriticalSection(&lock);
    return 1;
  }

  int band = 0;
  for (int t = 0; t < n; t++) {
    const int bandRows = rows / n + (t < rows % n ? 1 : 0);
    OverlayWork* w = static_cast<OverlayWork*>(malloc(sizeof(OverlayWork)));
    // Without a record the band stays undrawn; the assertion has reported it.
    if (jassert(w != nullptr, "Overlay: no memory for a work record", "JOVERLAY", kLineRecord)) {
      *w = OverlayWork{dst + (size_t)(y0 + band) * dw + x0,
                       dw,
                       src + (size_t)(sy0 + band) * sw + sx0,
                       sw,
                       columns,
                       bandRows,
                       weights[0],
                       weights[1],
                       weights[2],
                       weights[3],
                       &lock,
                       t,
                       progress ? &rowsDone : nullptr,
                       progress ? &abortValue : nullptr};
      handles[t] = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, OverlayWorker, w, 0, nullptr));
      // Without a thread the band is still drawn, on the calling thread.
      if (!handles[t]) OverlayWorker(w);
    }
    band += bandRows;
  }

  const float to = progressTo == 0.0f ? (float)dh : progressTo;
  WaitInSlices(handles, n, [&] {
    if (!progress) return;
    SendMessageA(progress, JWM_QUERYABORT, 0, reinterpret_cast<LPARAM>(&abortValue));
    int done;
    {
      JLock hold(lock);
      done = rowsDone;
    }
    const int mapped = (int)(done * (to - progressFrom) / dh);
    SendMessageA(progress, JWM_PROGRESS, (WPARAM)(int)((mapped + progressFrom) * 1024),
                 (LPARAM)(int)(to * 1024));
  });

  for (int t = 0; t < n; t++)
    if (handles[t]) CloseHandle(handles[t]);
  free(handles);
  DeleteCriticalSection(&lock);
  return 1;
}
