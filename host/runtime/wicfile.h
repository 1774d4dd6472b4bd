// Image files through the Windows Imaging Component (inside the runtime only).
#pragma once

#include "vbmm.h"

// Decodes the first frame of an image file into 16-bit RGBA pixels; null when the file cannot
// be read or decoded. The caller frees the pixels with free.
BMM_Color_64* ReadImageFileWIC(const char* path, int* width, int* height);
// Encodes s as PNG, TIFF or JPEG by the path's extension: 1, or 0 for another extension or a
// failed write.
int WriteImageFileWIC(const char* path, const BitmapStorage* s);
