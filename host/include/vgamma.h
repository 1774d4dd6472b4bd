// The host's display gamma: images shown on screen pass each 8-bit channel through the display
// table while the correction is enabled.
#pragma once

#include "vbase.h"

class HOSTAPI GammaMgr {
 public:
  GammaMgr();  // disabled, identity table

  BOOL enable;           // non-zero: images on screen are gamma corrected; 0 by default
  BYTE dispGamTab[256];  // 8-bit channel value -> display value; the identity by default
};

// The one gamma manager of the host.
extern HOSTAPI GammaMgr gammaMgr;
