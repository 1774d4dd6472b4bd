// Image files written by bitmap outputs.
#pragma once

#include "vbmm.h"

// Writes the image of s to the file path, in the format its extension names: Windows bitmaps
// (.bmp), PNG, TIFF and JPEG, 24 bits a pixel (the high byte of each colour channel); 1 when the
// whole file was written, 0 for another extension or a failed write.
int WriteImageFile(const char* path, const BitmapStorage* s);
// The high byte of each colour channel of n pixels, as blue, green, red triples: a row of a
// 24-bit Windows bitmap, of the imaging component's 24bppBGR format and of the image window.
void RowToBgr24(const BMM_Color_64* in, int n, unsigned char* out);
