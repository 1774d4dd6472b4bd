// Image files written by bitmap outputs.
#include "bmpfile.h"
#include "wicfile.h"

#include <stdio.h>
#include <string.h>

#include <vector>

namespace {

void PutU16(unsigned char* p, uint16_t v) {
  p[0] = (unsigned char)v;
  p[1] = (unsigned char)(v >> 8);
}

void PutU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}

bool HasExtension(const char* path, const char* ext) {
  const char* dot = strrchr(path, '.');
  return dot && _stricmp(dot, ext) == 0;
}

// A bottom-up BI_RGB file: 14-byte file header, 40-byte information header, rows of blue, green,
// red bytes padded to four bytes.
int WriteBmp(const char* path, const BitmapStorage* s) {
  const int w = s->Width(), h = s->Height();
  const uint32_t stride = ((uint32_t)w * 3 + 3) & ~3u;
  const uint32_t imageBytes = stride * (uint32_t)h;
  unsigned char header[54] = {'B', 'M'};
  PutU32(header + 2, 54 + imageBytes);
  PutU32(header + 10, 54);
  PutU32(header + 14, 40);
  PutU32(header + 18, (uint32_t)w);
  PutU32(header + 22, (uint32_t)h);
  PutU16(header + 26, 1);
  PutU16(header + 28, 24);
  PutU32(header + 34, imageBytes);
  PutU32(header + 38, 2835);  // 72 dots per inch
  PutU32(header + 42, 2835);

  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  bool ok = fwrite(header, sizeof header, 1, f) == 1;
  std::vector<BMM_Color_64> line(w);
  std::vector<unsigned char> row(stride, 0);
  for (int y = h - 1; ok && y >= 0; y--) {
    s->GetLinearPixels(0, y, w, line.data());
    RowToBgr24(line.data(), w, row.data());
    ok = fwrite(row.data(), stride, 1, f) == 1;
  }
  if (fclose(f) != 0) ok = false;
  if (!ok) DeleteFileA(path);
  return ok ? 1 : 0;
}

}  // namespace

void RowToBgr24(const BMM_Color_64* in, int n, unsigned char* out) {
  for (int x = 0; x < n; x++) {
    out[3 * x] = (unsigned char)(in[x].b >> 8);
    out[3 * x + 1] = (unsigned char)(in[x].g >> 8);
    out[3 * x + 2] = (unsigned char)(in[x].r >> 8);
  }
}

int WriteImageFile(const char* path, const BitmapStorage* s) {
  if (!path || !s) return 0;
  if (HasExtension(path, ".bmp")) return WriteBmp(path, s);
  return WriteImageFileWIC(path, s);
}
