// The display gamma manager.
#include "vgamma.h"

GammaMgr gammaMgr;

GammaMgr::GammaMgr() : enable(FALSE) {
  for (int i = 0; i < 256; i++) dispGamTab[i] = (BYTE)i;
}
