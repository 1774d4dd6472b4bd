// Image files through the Windows Imaging Component (inside the runtime only).
#pragma once

#include "vbmm.h"

// Decodes the first frame of an image file into 16-bit RGBA pixels; null when the file cannot
// be read or decoded. The caller frees the pixels with free.
BMM_Color_64* ReadImageFileWIC(const char* path, int* width, int* height);
// Reads the size, pixel aspect (from the resolution, 1 when it is not square-known) and gamma
// (from a PNG gamma chunk, else 2.2) of an image file's first frame without decoding its pixels:
// 1, or 0 when the file cannot be read or decoded.
int ReadImageInfoWIC(const char* path, int* width, int* height, float* aspect, float* gamma);
// Encodes s as PNG, TIFF or JPEG by the path's extension: 1, or 0 for another extension or a
// failed write.
int WriteImageFileWIC(const char* path, const BitmapStorage* s);
