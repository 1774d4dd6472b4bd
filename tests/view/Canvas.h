// A 32-bit top-down DIB section for tests that read back what was drawn.
#pragma once

#include <windows.h>

#include <stdint.h>

namespace quortest {

// The header of a 32-bit top-down image of w x h pixels.
inline BITMAPINFO TopDown32(int w, int h) {
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  return bi;
}

// A 32-bit top-down DIB section selected into a memory DC, filled with a sentinel colour.
class Canvas {
 public:
  Canvas(int w, int h, uint32_t fill = 0x00FF00FF) : width(w), height(h) {
    BITMAPINFO bi = TopDown32(w, h);
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
    old = SelectObject(dc, bitmap);
    for (int i = 0; i < w * h; i++) bits[i] = fill;
  }
  ~Canvas() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  // The pixel at (x, y) as 0xRRGGBB.
  uint32_t At(int x, int y) {
    GdiFlush();
    return bits[y * width + x] & 0xFFFFFF;
  }
  int width, height;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t* bits = nullptr;
};

}  // namespace quortest
