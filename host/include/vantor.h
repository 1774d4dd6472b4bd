// The whole Vantor host SDK.
#pragma once

#include "vbase.h"
#include "vutil.h"
#include "vgeom.h"
#include "vanim.h"
#include "vctrl.h"
#include "vhold.h"
#include "vcore.h"
#include "vscene.h"
#include "vtex.h"
#include "vbmm.h"
#include "vflt.h"
#include "vpost.h"
#include "vmtl.h"
