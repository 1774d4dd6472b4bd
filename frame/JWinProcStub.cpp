// The library has no window classes of its own yet: attaching the module registers nothing.
#include "JModule.h"

void JWinProc_Register() {}
