// The glow's pixel work, apart from the plug-in around it: the bright parts of an image (luminance
// above a threshold) are blurred and added over the image through a colour table. The table says
// what is added for each level of the blurred mask; the filter fills it from its gradient, colour
// and strength.
#pragma once

#include "Quorlib.h"

#include <stdint.h>

namespace glow {

// Mask levels of the colour table: the blurred mask (0 to 1) picks entry level x (kLevels - 1).
const int kLevels = 1024;

struct Settings {
  float radius = 0;     // half width of the blur box in pixels; 0: no blur
  float threshold = 1;  // luminance 0 to 1 below which a pixel does not glow
  // What is added at each mask level, per channel in 16-bit units (0 to 65535).
  uint16_t add[kLevels][3] = {};
};

// Fills the table of s: level i adds colour(i / (kLevels - 1)) x strength x (i / (kLevels - 1)),
// each channel cut to 0..65535. colours holds kLevels colours (0 to 1 per channel).
void FillTable(Settings& s, const Point3* colours, float strength);

// Glows images, keeping its working memory from one image to the next (a filter renders frame
// after frame of one size; fresh memory for each would cost more than the work). One thread at a
// time uses a worker. Not copyable: it owns its buffers.
class Worker {
 public:
  Worker() = default;
  ~Worker();
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // Glows the image of bm in place. 1, or 0 when memory is short (the image is left unchanged).
  int GlowBitmap(Bitmap* bm, const Settings& s);
  // The same on a 24-bit buffer of w x h pixels, the table used at 8 bits. (The settings dialog's
  // preview does not come here: it runs the filter's own Render on a host bitmap.)
  int GlowPixels(BMM_Color_24* buf, int w, int h, const Settings& s);

 private:
  // Makes the buffers hold at least the given counts; false when memory is short.
  bool Reserve(size_t maskValues, size_t bandPixels);
  float* mask = nullptr;
  size_t maskSize = 0;
  BMM_Color_64* band = nullptr;
  size_t bandSize = 0;
};

}  // namespace glow
