// Pixel work on host bitmaps and 24-bit pixel buffers: scratch bitmaps, copies with the extra
// channels, nearest-neighbour fitting, a centred copy, the default background and a float-mask
// blur. A 24-bit buffer is width x height BMM_Color_24 pixels, row-major, top row first, without
// gaps between rows. Results are 1 for success and 0 for failure.
#pragma once

#include "JExport.h"
#include "vantor.h"

// The channels argument of JCopyBitmap and JCopyFit: extra channel bits (BMM_CHAN_...), plus this
// bit to copy the render information record as well.
#define JCOPY_RENDERINFO 0x80000000UL

// Deletes bm (JDeleteBitmap), then makes a 64-bit bitmap named "FilterTemp." of width x height
// pixels (1..65535) with pixel aspect aspect and an alpha channel, and stores it in bm (null when
// that fails).
QUORAPI int JCreateBitmap(Bitmap*& bm, int width, int height, float aspect);
// When bm is set: closes its outputs, deletes it and nulls bm.
QUORAPI void JDeleteBitmap(Bitmap*& bm);

// Copies the image of src into dst, which has the same size, then the extra channels named in
// channels that src has (made in dst as needed). A null bitmap, a failed image copy, an access
// fault during it, or channels that dst cannot make: 0.
QUORAPI int JCopyBitmap(Bitmap* dst, Bitmap* src, unsigned long channels);
// The same, resized to dst: the host's resizing copy for the image and the nearest-neighbour rule
// below for each channel. dst must not be null; a null src is reported through jassert. Fails
// when dst ends up with a different channel set than the one copied.
QUORAPI int JCopyFit(Bitmap* dst, Bitmap* src, unsigned long channels);

// Nearest-neighbour resize of a sw x sh array of bpp-byte elements into dw x dh elements: for a
// destination of n elements and a source of m, index i takes source index (m - 1) * i / (n - 1)
// (0 for i = 0), so first and last elements meet. Does nothing for empty sizes.
QUORAPI void JCopyFit(void* dst, int dw, int dh, void* src, int sw, int sh, int bpp);
// Centres the bitmap in the buffer without scaling (the bitmap's centre at the buffer's, cut
// where it is larger); the rest of the buffer is black. Channels take their high byte.
QUORAPI int JCopy(BMM_Color_24* buf, int w, int h, Bitmap* bm);
// Stretches the bitmap over the whole buffer by the nearest-neighbour rule. 0 for an empty buffer.
QUORAPI int JCopyFit(BMM_Color_24* buf, int w, int h, Bitmap* bm);

// The default background: six colour bars (red, yellow, green, cyan, blue, magenta) over the top
// two thirds, a grey ramp from black to white below. The buffer needs w >= 2 and h >= 2 and the
// bitmap a width of at least 2 (smaller sizes: 0, nothing drawn).
QUORAPI int JFillDefault(BMM_Color_24* buf, int w, int h);
QUORAPI int JFillDefault(Bitmap* bm);

// Separable box blur with fractional radii of a width x height float mask (values 0 to 1): each
// row of src blurred by radiusX into dst when radiusX > 0, then each column of dst blurred in
// place by radiusY when radiusY > 0 (reading dst, also when no row pass ran). Edges behave as if
// the first and last values continued; results are clamped to [0, 1]. dst may equal src.
// Answers the result of the last pass run (0 when its working memory was short), 1 when none ran.
QUORAPI int JBlur(float* dst, float* src, unsigned width, unsigned height, float radiusX, float radiusY);
