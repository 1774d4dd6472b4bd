// The whole Quorlib API for client plug-ins.
#pragma once

#include "JExport.h"
#include "JClassDesc.h"
#include "JDiag.h"
#include "JMemBlock.h"
#include "JPropList.h"
#include "JData.h"
#include "JLeaf.h"
#include "JBinary.h"
#include "JViewCtl.h"
#include "JViewDlg.h"
#include "JSave.h"
#include "JSaveLoad.h"
#include "JColor.h"
#include "JFileDlg.h"
