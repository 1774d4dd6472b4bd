// The whole Vantor host SDK.
#pragma once

#include "vbase.h"
#include "vutil.h"
#include "vcore.h"
