// Image files through the Windows Imaging Component (inside the runtime only).
#pragma once

#include "vbmm.h"

#include <stdint.h>

// The most pixels an image read from a file or a bitmap the manager creates may have:
// 16384 x 16384, 2 GB of 16-bit pixels. An image file's header gives its size without the
// decoder checking it against the file's length, so a few corrupt bytes can claim any size.
const uint64_t kMaxImagePixels = (uint64_t)1 << 28;

// Whether a w x h image is within kMaxImagePixels and its 16-bit pixels fit this process's
// address space (half of it, so that the 32-bit build never wraps a size).
inline bool ImageSizeAllowed(uint64_t w, uint64_t h) {
  return w > 0 && h > 0 && w <= kMaxImagePixels / h && w * h * sizeof(BMM_Color_64) <= SIZE_MAX / 2;
}

// Decodes the first frame of an image file into 16-bit RGBA pixels; null when the file cannot
// be read or decoded, its size is not allowed (ImageSizeAllowed) or memory is short. The caller
// frees the pixels with free.
BMM_Color_64* ReadImageFileWIC(const char* path, int* width, int* height);
// Reads the size, pixel aspect (from the resolution, 1 when it is not square-known) and gamma
// (from a PNG gamma chunk, else 2.2) of an image file's first frame without decoding its pixels:
// 1, or 0 when the file cannot be read or decoded.
int ReadImageInfoWIC(const char* path, int* width, int* height, float* aspect, float* gamma);
// Encodes s as PNG, TIFF or JPEG by the path's extension: 1, or 0 for another extension or a
// failed write.
int WriteImageFileWIC(const char* path, const BitmapStorage* s);
