// The row conversion behind JBitBlt (not installed): packed red, green, blue pixels to the blue,
// green, red order of a device-independent bitmap.
#pragma once

namespace jbitblt {

// Converts the leading pixels of a row in whole steps of sixteen; answers how many it did. The
// caller converts the rest. Only where the processor has SSSE3.
int RgbToBgrSsse3(const unsigned char* src, unsigned char* dst, int width);

}  // namespace jbitblt
