// Image files written by bitmap outputs.
#pragma once

#include "vbmm.h"

// Writes the image of s to the file path, in the format its extension names: Windows bitmaps
// (.bmp), PNG, TIFF and JPEG, 24 bits a pixel (the high byte of each colour channel); 1 when the
// whole file was written, 0 for another extension or a failed write.
int WriteImageFile(const char* path, const BitmapStorage* s);
