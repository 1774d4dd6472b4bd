// The whole Quorlib API for client plug-ins.
#pragma once

#include "JExport.h"
#include "JClassDesc.h"
#include "JDiag.h"
#include "JMemBlock.h"
#include "JPropList.h"
#include "JMessages.h"
#include "JBitmap.h"
#include "JOverlay.h"
#include "JCache.h"
